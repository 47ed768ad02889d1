// Diversen's names, number texts, aspect-ratio names, fit rectangle and percentages.
#include <climits>
#include <filesystem>

#include "TestSupport.h"
#include "core/Diversen.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

namespace {

using testsupport::TempPath;
using testsupport::WriteFile;

class DiversenNames : public testing::Test {
 protected:
  void SetUp() override {
    dir = TempPath("Trip (2005)") + "/";
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { SetFormatSettingsForLanguage("en"); }
  void Touch(const std::string& name) { WriteFile(dir + name, "x"); }
  std::string dir;
};

TEST_F(DiversenNames, UniqueCopyNames) {
  EXPECT_EQ(UniqueCopyName(dir, "photo", ".jpg"), dir + "photo.jpg");
  Touch("photo.jpg");
  // The folder's own "(2005)" is no counter of the name.
  EXPECT_EQ(UniqueCopyName(dir, "photo", ".jpg"), dir + "photo (1).jpg");
  Touch("photo (1).jpg");
  EXPECT_EQ(UniqueCopyName(dir, "photo", ".jpg"), dir + "photo (2).jpg");

  Touch("photo (4).jpg");
  EXPECT_EQ(UniqueCopyName(dir, "photo (4)", ".jpg"), dir + "photo (2).jpg");

  Touch("a (x).jpg");
  EXPECT_EQ(UniqueCopyName(dir, "a (x)", ".jpg"), dir + "a (x) - copy (1).jpg");
  Touch("a (x) - copy (1).jpg");
  EXPECT_EQ(UniqueCopyName(dir, "a (x)", ".jpg"), dir + "a (x) - copy (2).jpg") << "never an existing name";
  Touch("b )x(.jpg");
  EXPECT_EQ(UniqueCopyName(dir, "b )x(", ".jpg"), dir + "b )x( - copy (1).jpg");
  Touch("c (.jpg");
  EXPECT_EQ(UniqueCopyName(dir, "c (", ".jpg"), dir + "c ( (1).jpg");

  // A '%' in a name is plain text; a folder of the name counts as taken.
  Touch("100% (3).jpg");
  EXPECT_EQ(UniqueCopyName(dir, "100% (3)", ".jpg"), dir + "100% (1).jpg");
  std::filesystem::create_directories(dir + "map.jpg");
  EXPECT_EQ(UniqueCopyName(dir, "map", ".jpg"), dir + "map (1).jpg");

  // Without the trailing separator, and with doubled ones.
  std::string bare = dir.substr(0, dir.size() - 1);
  EXPECT_EQ(UniqueCopyName(bare, "photo", ".jpg"), dir + "photo (2).jpg");
  std::string doubled = bare;
  doubled.insert(doubled.rfind('/'), "/");
  EXPECT_EQ(UniqueCopyName(doubled + "//", "photo", ".jpg"), dir + "photo (2).jpg");

  Touch("zomer.shw");
  EXPECT_EQ(UniqueNameWithExt(dir + "zomer.txt", ".shw"), dir + "zomer (1).shw");
  EXPECT_EQ(UniqueNameWithExt(dir + "winter.lst", ".shw"), dir + "winter.shw");
}

TEST_F(DiversenNames, NamePartsAndValidity) {
  EXPECT_EQ(FileNameWithoutExt("/a.b/c"), "c");
  EXPECT_EQ(FileNameWithoutExt("/x/archief.tar.gz"), "archief.tar");
  EXPECT_EQ(FileNameWithoutExt("Ærø.JPG"), "Ærø");
  EXPECT_EQ(FileNameWithoutExt("/x/.verborgen"), "");

  for (const char* bad : {"a*b", "a/b", "a:b", "a<b", "a>b", "a?b", "a\\b", "a|b", "a\"b", "tab\there", "\x1f"}) {
    EXPECT_FALSE(IsValidFileName(bad, false)) << bad;
    EXPECT_FALSE(IsValidFileName(bad, true)) << bad;
  }
  for (const char* good : {"photo.jpg", "Ærø strand (2).jpg", "a b", "100%"}) EXPECT_TRUE(IsValidFileName(good, true));
  EXPECT_TRUE(IsValidFileName(".hidden", false));
  EXPECT_FALSE(IsValidFileName(".hidden", true));
  EXPECT_TRUE(IsValidFileName(" lead", false));
  EXPECT_FALSE(IsValidFileName(" lead", true));
  EXPECT_TRUE(IsValidFileName("", false));
  EXPECT_FALSE(IsValidFileName("   ", true));
  EXPECT_FALSE(IsValidFileName("", true));
}

TEST_F(DiversenNames, TextHelpers) {
  TStringList list;
  list.Add("old");
  SplitToList(';', "a;;b;", list);
  EXPECT_EQ(list.ToVector(), (std::vector<std::string>{"a", "", "b", ""}));
  SplitToList(';', "", list);
  EXPECT_EQ(list.ToVector(), (std::vector<std::string>{""}));

  EXPECT_EQ(StripChar("-a-b--c-", '-'), "abc");
  EXPECT_EQ(StripChar("---", '-'), "");
  EXPECT_EQ(StripChar("-ü-", '-'), "ü");
  EXPECT_EQ(DeleteChar("-a-b--c-", '-'), "abc");
  EXPECT_TRUE(ContainsAnyChar("*?", "a?b"));
  EXPECT_FALSE(ContainsAnyChar("*?", "ab"));
  EXPECT_FALSE(ContainsAnyChar("", "ab"));

  // One fill character more than the width asks for.
  EXPECT_EQ(PadLeft("7", 5, '_'), "_____7");
  EXPECT_EQ(PadLeft("12345", 5, '0'), "012345");
  EXPECT_EQ(PadLeft("123456", 5, '0'), "123456");
}

TEST_F(DiversenNames, NumberTextsInEnglishAndDutch) {
  EXPECT_TRUE(IsNumericText("12.5"));
  EXPECT_FALSE(IsNumericText("12,5"));
  EXPECT_FALSE(IsNumericText(""));
  EXPECT_FALSE(IsNumericText("-1"));
  EXPECT_EQ(IntegerPartOf("f/2.8"), 2);
  EXPECT_EQ(IntegerPartOf("1/250"), 1250);
  EXPECT_EQ(IntegerPartOf(".5"), -1);
  EXPECT_EQ(IntegerPartOf("abc"), -1);
  EXPECT_EQ(IntegerPartOf("99999999999"), -1);
  EXPECT_EQ(UseLocaleDecimalSeparator("1,5 and 2.5"), "1.5 and 2.5");

  SetFormatSettingsForLanguage("nl");
  EXPECT_TRUE(IsNumericText("12,5"));
  EXPECT_FALSE(IsNumericText("12.5"));
  EXPECT_EQ(IntegerPartOf("12,5"), 12);
  EXPECT_EQ(IntegerPartOf("12.5"), 125);
  EXPECT_EQ(UseLocaleDecimalSeparator("1,5 and 2.5"), "1,5 and 2,5");
}

TEST_F(DiversenNames, AspectRatioNamesFromRealSizes) {
  struct Case {
    int w, h;
    const char* name;
  } cases[] = {{4000, 3000, "4:3"},          {3000, 4000, "4:3"},      {6000, 4000, "3:2 SLR/DSLR"},
               {1920, 1080, "16:9"},         {1920, 1200, "16:10 Wide screen monitor"},
               {500, 500, "1:1"},            {1000, 746, "Unknown Aspect Ratio"}};
  for (const char* language : {"en", "nl"}) {
    SetFormatSettingsForLanguage(language);
    for (const Case& c : cases) {
      std::string text = FormatFloat("0.00", LongToShortRatio(c.w, c.h));
      EXPECT_EQ(AspectRatioName(text), c.name) << language << " " << c.w << "x" << c.h << " " << text;
    }
  }
  EXPECT_EQ(AspectRatioName("1.33"), "4:3");
  EXPECT_EQ(AspectRatioName("1,33"), "4:3");
  EXPECT_EQ(AspectRatioName("1.34"), "Unknown Aspect Ratio");
  EXPECT_EQ(AspectRatioName("1.3"), "Unknown Aspect Ratio");
  EXPECT_DOUBLE_EQ(LongToShortRatio(3, 4), 4.0 / 3.0);
}

TEST(DiversenFit, RectanglesForEveryShape) {
  struct Case {
    int bw, pw, bh, ph;
    TRect expected;
  } cases[] = {
      // Landscape into a wider box: the height limits.
      {1280, 4000, 800, 3000, {0, -1, 1066, 800}},
      // Portrait: the height limits.
      {1280, 3000, 800, 4000, {0, -1, 600, 800}},
      // Wide panorama: the width limits.
      {1280, 12000, 800, 2000, {-1, 0, 1280, 213}},
      // Tiny picture blown up.
      {1280, 3, 800, 2, {0, -1, 1200, 800}},
      // Exactly the box's proportions: the width branch.
      {1600, 800, 1000, 500, {-1, 0, 1600, 1000}},
      // Huge picture.
      {1920, 100000, 1080, 1, {-1, 0, 1920, 0}},
  };
  for (const Case& c : cases) {
    TRect r(-1, -1, -1, -1);
    bool error = true;
    CalcFitRect(c.bw, c.pw, c.bh, c.ph, error, r);
    EXPECT_FALSE(error);
    EXPECT_EQ(r, c.expected) << c.pw << "x" << c.ph << " in " << c.bw << "x" << c.bh;
  }
  for (auto [pw, ph] : {std::pair{0, 100}, std::pair{100, 0}, std::pair{0, 0}}) {
    TRect r(1, 2, 3, 4);
    bool error = false;
    CalcFitRect(1280, pw, 800, ph, error, r);
    EXPECT_TRUE(error) << pw << "x" << ph;
    EXPECT_EQ(r, TRect(1, 2, 3, 4));
  }
  // Negative sizes from a broken caller can push the result beyond the integer range.
  TRect r(1, 2, 3, 4);
  bool error = false;
  CalcFitRect(INT_MAX, -1, 1, INT_MAX, error, r);
  EXPECT_TRUE(error);
  EXPECT_EQ(r, TRect(1, 2, 3, 4));
}

TEST(DiversenPercent, RoundingAndZeroDivisors) {
  EXPECT_EQ(RoundedPercent(1, 2), 50);
  EXPECT_EQ(RoundedPercent(1, 8), 12) << "exactly one half stays down";
  EXPECT_EQ(RoundedPercent(2, 3), 67);
  EXPECT_EQ(RoundedPercent(1, 3), 33);
  EXPECT_EQ(RoundedPercent(5, 0), 0);
  EXPECT_EQ(RoundedPercent(-2, 3), -66) << "the integer quotient, the negative fraction never rounds";
  EXPECT_EQ(RoundedPercent(INT_MAX, 1), 0) << "beyond the integer range";
  EXPECT_EQ(PercentOfValue(50, 800), 400);
  EXPECT_EQ(PercentOfValue(3, 50), 1);
  EXPECT_EQ(PercentOfValue(7, 11), 1);
  EXPECT_EQ(PercentOfValue(151, 1), 2);
  EXPECT_EQ(PercentOfValue(5, 0), 0);
  EXPECT_EQ(PercentOfValue(INT_MAX, INT_MAX), 0);
}

}  // namespace
