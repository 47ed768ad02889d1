// Translation of a form's components, and the class library's dialog texts in Dutch.

#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"

namespace {

class Translate : public GuiTest {
 protected:
  void TearDown() override {
    TP_ClearGlobalIgnores();
    InitTranslation(testsupport::ProgramDir() + "/locale");
    UseLanguage("en");
    GuiTest::TearDown();
  }
  // Compiles a small catalogue with msgfmt into a locale folder of the sandbox.
  void UseCatalogue(const std::string& po) {
    const std::string dir = testsupport::TempDir() + "/locale/nl/LC_MESSAGES";
    testsupport::Run({"mkdir", "-p", dir});
    testsupport::WriteFile(testsupport::TempDir() + "/test.po", po);
    auto r = testsupport::Run({"msgfmt", "-o", dir + "/default.mo", testsupport::TempDir() + "/test.po"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    InitTranslation(testsupport::TempDir() + "/locale");
    UseLanguage("nl");
  }
};

const char* kCatalogue = R"(msgid ""
msgstr "Content-Type: text/plain; charset=UTF-8\n"

msgid "Preferences"
msgstr "Voorkeuren"
msgid "&File"
msgstr "&Bestand"
msgid "Open the file"
msgstr "Open het bestand"
msgid "Close"
msgstr "Sluiten"
msgid "Drives and folders"
msgstr "Stations en mappen"
msgid "English"
msgstr "Engels"
msgid "Dutch"
msgstr "Nederlands"
msgid "Small"
msgstr "Klein"
msgid "Large"
msgstr "Groot"
msgid "Ready"
msgstr "Klaar"
msgid "File name"
msgstr "Bestandsnaam"
msgid "small_"
msgstr "klein_"
msgid "Settings"
msgstr "Instellingen"
msgid "first line"
msgstr "eerste regel"
)";

TEST_F(Translate, CaptionsHintsItemsAndColumnsTurnDutch) {
  KIVO2_REQUIRE_TOOL("msgfmt");
  UseCatalogue(kCatalogue);
  Host h;
  h.form->SetCaption("Preferences");
  auto* menu = new TMainMenu(h.form.get());
  auto* file = new TMenuItem(h.form.get());
  file->SetCaption("&File");
  file->SetHint("Open the file");
  menu->Items()->Add(file);
  auto* line = new TMenuItem(h.form.get());
  line->SetCaption("-");
  file->Add(line);
  auto* button = h.Add<TButton>();
  button->SetName("CloseButton");
  button->SetCaption("Close");
  auto* panel = h.Add<TPanel>();
  panel->SetName("Panel6");
  panel->SetCaption("Drives and folders");
  auto* combo = h.Add<TComboBox>();
  combo->SetStyle(csDropDownList);
  combo->Items()->Add("English");
  combo->Items()->Add("Dutch");
  combo->SetItemIndex(1);
  auto* group = h.Add<TRadioGroup>();
  group->SetCaption("Settings");
  group->Items()->Add("Small");
  group->Items()->Add("Large");
  group->SetItemIndex(1);
  auto* bar = h.Add<TStatusBar>();
  bar->Panels()->Add()->SetText("Ready");
  auto* view = h.Add<TListView>();
  view->Columns()->Add()->SetCaption("File name");
  auto* edit = h.Add<TEdit>();
  edit->SetText("small_");
  auto* memo = h.Add<TMemo>();
  memo->Lines()->Add("first line");
  auto* tree = h.Add<TTreeView>();
  tree->Items()->Add(nullptr, "Settings");
  int groupClicks = 0;
  group->OnClick = [&](TObject*) { ++groupClicks; };

  TranslateComponent(h.form.get());
  EXPECT_EQ(h.form->Caption(), "Voorkeuren");
  EXPECT_EQ(file->Caption(), "&Bestand");
  EXPECT_EQ(file->Hint(), "Open het bestand");
  EXPECT_EQ(line->Caption(), "-");
  EXPECT_EQ(button->Caption(), "Sluiten");
  EXPECT_EQ(panel->Caption(), "Stations en mappen");
  EXPECT_EQ(combo->Items()->Text(), "Engels\r\nNederlands\r\n");
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Text(), "Nederlands");
  EXPECT_EQ(group->Caption(), "Instellingen");
  EXPECT_EQ(group->Items()->Strings(0), "Klein");
  EXPECT_EQ(group->Buttons(1)->Caption(), "Groot");
  EXPECT_EQ(group->ItemIndex(), 1);
  EXPECT_EQ(groupClicks, 0);
  EXPECT_EQ(bar->Panels()->Items(0)->Text(), "Klaar");
  EXPECT_EQ(view->Columns()->Items(0)->Caption(), "Bestandsnaam");
  EXPECT_EQ(edit->Text(), "klein_");
  EXPECT_EQ(memo->Lines()->Strings(0), "eerste regel");
  // Tree nodes are data: the program translates their texts itself.
  EXPECT_EQ(tree->Items()->Item(0)->Text(), "Settings");
}

TEST_F(Translate, IgnoredNamesAndClassesKeepTheirTexts) {
  KIVO2_REQUIRE_TOOL("msgfmt");
  UseCatalogue(kCatalogue);
  Host h;
  h.form->SetCaption("Preferences");
  auto* panel = h.Add<TPanel>();
  panel->SetName("Panel6");
  panel->SetCaption("Drives and folders");
  panel->SetHint("Close");
  auto* other = h.Add<TPanel>();
  other->SetName("Other");
  other->SetCaption("Close");
  other->SetHint("Close");
  auto* edit = h.Add<TEdit>();
  edit->SetText("small_");
  TP_Ignore(h.form.get(), "panel6");
  TP_Ignore(h.form.get(), "Other", "Hint");
  TP_Ignore(h.form.get(), "", "Caption");
  TP_GlobalIgnoreClass<TCustomEdit>();
  TranslateComponent(h.form.get());
  EXPECT_EQ(h.form->Caption(), "Preferences");
  EXPECT_EQ(panel->Caption(), "Drives and folders");
  EXPECT_EQ(panel->Hint(), "Close");
  EXPECT_EQ(other->Caption(), "Sluiten");
  EXPECT_EQ(other->Hint(), "Close");
  EXPECT_EQ(edit->Text(), "small_");
  // The ignore list belongs to its form: another form translates in full.
  auto second = std::make_unique<TForm>(nullptr);
  second->SetCaption("Preferences");
  TranslateComponent(second.get());
  EXPECT_EQ(second->Caption(), "Voorkeuren");
}

TEST_F(Translate, MessageDialogButtonsAndCaptionsComeFromTheClassLibrarysCatalogue) {
  InitTranslation(testsupport::ProgramDir() + "/locale");
  AddDomainForResourceString("corvo");
  UseLanguage("nl");
  if (_("&Yes") == "&Yes") GTEST_SKIP() << "the program folder's catalogues are not built";
  std::unique_ptr<TForm> dlg(CreateMessageDialog("?", mtConfirmation, {mbYes, mbNo, mbCancel}));
  EXPECT_EQ(dlg->Caption(), "Bevestigen");
  EXPECT_EQ(static_cast<TButton*>(dlg->FindComponent("Yes"))->Caption(), "&Ja");
  EXPECT_EQ(static_cast<TButton*>(dlg->FindComponent("No"))->Caption(), "&Nee");
  EXPECT_EQ(static_cast<TButton*>(dlg->FindComponent("Cancel"))->Caption(), "Annuleren");
}

}  // namespace
