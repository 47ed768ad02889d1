#include "TestSupport.h"
#include "platform/gui/GuiTesting.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

#include <algorithm>

#include <clocale>
#include <cstdlib>

namespace {

// The catalogues of the program folder hold Dutch texts for both domains.
class TranslationTest : public testing::Test {
 protected:
  void SetUp() override {
    InitTranslation(testsupport::ProgramDir() + "/locale");
    AddDomainForResourceString("corvo");
  }
  void TearDown() override { UseLanguage("en"); }
};

TEST_F(TranslationTest, DutchLookupWorksUnderTheCAndPosixLocales) {
  for (const char* loc : {"C", "POSIX"}) {
    setenv("LC_ALL", loc, 1);
    InitTranslation(testsupport::ProgramDir() + "/locale");
    unsetenv("LC_ALL");
    UseLanguage("nl");
    EXPECT_EQ(_("Stream read error"), "Fout bij lezen van stroom") << loc;
    // The class library's texts come from the second domain.
    EXPECT_EQ(_("Stream write error"), "Fout bij schrijven naar stroom") << loc;
    EXPECT_EQ(GetCurrentLanguage(), "nl");
  }
}

TEST_F(TranslationTest, SwitchingBackToEnglishGivesTheMessageIds) {
  UseLanguage("nl");
  EXPECT_EQ(_("Stream read error"), "Fout bij lezen van stroom");
  // The toolkit's file dialog too, from its own Dutch catalogue (qt6-translations-l10n).
  const std::vector<std::string> dutch = GuiTesting::FileDialogTexts();
  EXPECT_EQ(std::count(dutch.begin(), dutch.end(), "Zoeken in:"), 1);
  // A regional code takes its language's catalogue; one we have none for is English, its
  // formats too.
  UseLanguage("nl_BE");
  EXPECT_EQ(GetCurrentLanguage(), "nl");
  UseLanguage("de");
  EXPECT_EQ(GetCurrentLanguage(), "en");
  EXPECT_EQ(DecimalSeparator(), '.');
  EXPECT_EQ(_("Stream read error"), "Stream read error");
  EXPECT_EQ(_(""), "");
  EXPECT_EQ(_("A text nobody translated"), "A text nobody translated");
}

TEST_F(TranslationTest, NumbersStayInTheCLocale) {
  setenv("LC_ALL", "nl_NL.UTF-8", 1);
  InitTranslation(testsupport::ProgramDir() + "/locale");
  unsetenv("LC_ALL");
  EXPECT_STREQ(setlocale(LC_NUMERIC, nullptr), "C");
  EXPECT_EQ(atof("1.5"), 1.5);
}

}  // namespace
