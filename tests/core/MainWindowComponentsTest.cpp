// The main window's controls as the commands use them (shortcuts, radio groups, pop-up
// menus, the menus hidden together, the list colours), and every text of every program
// window, and every message the program translates, with a Dutch translation in the
// compiled catalogues (read with gettext's own msgunfmt; the messages found in the
// sources by xgettext).
#include <filesystem>
#include <sstream>

#include "MainWindowFixture.h"
#include "controls/MainMenuXP.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZephFade.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"

TEST_F(MainWindowTest, ShortcutsRadioGroupsAndPopupMenusOfTheMainWindow) {
  CreateWindows();
  const std::pair<const char*, const char*> shortcuts[] = {
      {"M_Start1", "F8"},          {"M_Tree", "F3"},           {"M_Favorites", "F4"},
      {"Onoff1", "F5"},            {"M_Buttons", "F6"},        {"M_Statusbar", "F7"},
      {"M_Filelistbar", "Ctrl+F6"}, {"M_Fitlargertoviewer", "Ctrl+L"}, {"M_Strechsmaller", "Ctrl+S"},
      {"Smoothstrech", "Ctrl+R"},  {"SetFilter1", "Ctrl+T"},   {"M_Exif_info", "Ctrl+Alt+X"},
      {"M_FloatingButtons", "Ctrl+B"}, {"M_Showfilename", "Ctrl+A"}, {"Search1", "Ctrl+F"},
      {"SaveasJPG1", "Ctrl+E"},    {"GotoDesktop", "Ctrl+Alt+D"}, {"GotoMyDocuments1", "Ctrl+Alt+M"},
      {"RotateRight1", "Ctrl+Alt+R"}, {"RotateLeft1", "Ctrl+Alt+L"}, {"Compare1", "Ctrl+W"},
      {"Compare2", "Ctrl+Alt+C"},  {"Zoom1", "Ctrl+Alt+P"},    {"Histogram2", "Ctrl+H"},
      {"Exifoverlayonoff1", "Ctrl+X"}, {"ChangeAspectRatio1", "Ctrl+Alt+A"}, {"Imageinfo1", "Ctrl+I"}};
  for (const auto& [name, key] : shortcuts) {
    auto* item = dynamic_cast<TMenuItem*>(Form1->FindComponent(name));
    ASSERT_NE(item, nullptr) << name;
    EXPECT_EQ(ShortCutToText(item->ShortCut()), key) << name;
  }
  // The JPEG scale items and the sort items are each one radio group.
  Form1->N141->SetChecked(true);
  EXPECT_FALSE(Form1->M_Autoscale->Checked());
  Form1->PoSize->SetChecked(true);
  EXPECT_FALSE(Form1->PoName->Checked());
  EXPECT_EQ(Form1->Image1->PopupMenu(), Form1->PopupImage);
  EXPECT_EQ(Form1->ListBox1->PopupMenu(), Form1->PopupListbox);
  EXPECT_EQ(Form1->QzDirTree211->PopupMenu(), Form1->PopupQZDir);
  EXPECT_EQ(Form1->TreeView1->PopupMenu(), Form1->PopupTreeview1);
  EXPECT_EQ(Form1->ZqZoom->PopupMenu(), Form1->PopupZoom);
  EXPECT_EQ(Form1->ZqRotate->PopupMenu(), Form1->PopupButtonRotate);
  EXPECT_EQ(Form1->ZephFade1->PopupMenu(), Form1->PopupZephFade);
  EXPECT_TRUE(Form1->KeyPreview());
}

TEST_F(MainWindowTest, ToggleMainMenusHidesEveryTopLevelItem) {
  CreateWindows();
  TMenuItem* root = Form1->MainMenuXP1->Items();
  ASSERT_GE(root->Count(), 8);
  Form1->ToggleMainMenus(false);
  for (int i = 0; i < root->Count(); ++i) EXPECT_FALSE(root->Items(i)->Visible());
  Form1->ToggleMainMenus(true);
  for (int i = 0; i < root->Count(); ++i) EXPECT_TRUE(root->Items(i)->Visible());
}

TEST_F(MainWindowTest, ListColoursFollowTheGreyListsOption) {
  CreateWindows();
  Form1->FListColorMode = 0;
  Form1->SetAppearence();
  EXPECT_EQ(Form1->ListBox1->Color(), clBtnFace);
  EXPECT_EQ(Form1->QzDirTree211->Color(), clBtnFace);
  EXPECT_EQ(Form1->PanelTopButtons->Color(), Form1->ZqSortmenu->Color());
  EXPECT_EQ(Form1->Color(), Form1->ZqSortmenu->Color());
  EXPECT_EQ(Form1->PanelThumbHolder->Color(), Form1->ZqSortmenu->ShadowColor());
  Form1->FListColorMode = 1;
  Form1->SetAppearence();
  EXPECT_EQ(Form1->ListBox1->Color(), clWindow);
  EXPECT_EQ(Form1->ListBox2->Color(), clWindow);
  EXPECT_EQ(Form1->TreeView1->Color(), clWindow);
  EXPECT_EQ(Form1->PanelTopButtons->Color(), clBtnFace);
}

namespace {

// The texts a window shows in its own language: its caption, the captions and hints of its
// menu items and controls (not the data of edits, lists and trees of folders), the items
// of its radio groups, combo boxes and trees, the columns of its list views, the lines
// of its memos and the file types of its file dialogs.
std::vector<std::pair<std::string, std::string>> ShownTexts(TCustomForm* form) {
  std::vector<std::pair<std::string, std::string>> texts{{form->Name(), form->Caption()}};
  auto add = [&](TComponent* c, const std::string& text) { texts.emplace_back(c->Name(), text); };
  for (int i = 0; i < form->ComponentCount(); ++i) {
    TComponent* c = form->Components(i);
    if (auto* item = dynamic_cast<TMenuItem*>(c)) {
      if (!item->IsLine()) add(c, item->Caption()), add(c, item->Hint());
      continue;
    }
    if (auto* dialog = dynamic_cast<TOpenDialog*>(c)) add(c, dialog->Filter());
    auto* control = dynamic_cast<TControl*>(c);
    if (!control) continue;
    add(c, control->Hint());
    if (auto* memo = dynamic_cast<TMemo*>(c)) {
      for (const std::string& line : memo->Lines()->ToVector()) add(c, line);
    } else if (auto* tree = dynamic_cast<TTreeView*>(c)) {
      for (int n = 0; n < tree->Items()->Count(); ++n) add(c, tree->Items()->Item(n)->Text());
    } else if (auto* list = dynamic_cast<TListView*>(c)) {
      for (int n = 0; n < list->Columns()->Count(); ++n) add(c, list->Columns()->Items(n)->Caption());
    } else if (!dynamic_cast<TCustomEdit*>(c) && !dynamic_cast<TCustomListBox*>(c) &&
               !dynamic_cast<TCustomTreeView*>(c) && !dynamic_cast<TColorBox*>(c)) {
      add(c, control->Caption());
      if (auto* group = dynamic_cast<TCustomRadioGroup*>(c))
        for (const std::string& item : group->Items()->ToVector()) add(c, item);
      if (auto* combo = dynamic_cast<TCustomComboBox*>(c))
        for (const std::string& item : combo->Items()->ToVector()) add(c, item);
    }
  }
  return texts;
}

// A text that reads alike in every language: no word of two letters, a component's own
// name shown as its caption, numbers with units, and the names kept in English.
bool Neutral(const std::string& name, const std::string& text) {
  static const std::set<std::string> kept{"Kivo2", "OK",   "Help",         "E-&mail",        "album",
                                          "Bell",  "Hermite ", "DeleteImage", "Factor 1.333"};
  bool word = false;
  for (size_t i = 1; i < text.size(); ++i) word = word || (isalpha(uint8_t(text[i - 1])) && isalpha(uint8_t(text[i])));
  return !word || text == name || kept.count(text) || text.find(" pixels") != std::string::npos;
}

class EveryWindowTest : public MainWindowTest, public testing::WithParamInterface<const char*> {};

}  // namespace

TEST_P(EveryWindowTest, EveryTextHasADutchTranslation) {
  KIVO2_REQUIRE_TOOL("msgunfmt");
  const auto translated = testsupport::DutchTranslations();
  ASSERT_FALSE(translated.empty());
  CreateWindows();
  auto* form = dynamic_cast<TCustomForm*>(Application->FindComponent(GetParam()));
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(form->Visible()) << "every window starts hidden";
  for (const auto& [name, text] : ShownTexts(form)) {
    // The stand-alone button stays English; the folder combo's hint is its path.
    if (translated.count(text) || name == "USB_Button" || text.rfind("SelectedPath =", 0) == 0) continue;
    // Texts of several lines may be translated line by line.
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      EXPECT_TRUE(Neutral(name, line) || translated.count(line)) << name << ": \"" << line << "\" has no Dutch text";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    ProgramWindows, EveryWindowTest,
    testing::Values("Form1", "AboutBox", "FormSettings", "HelpForm", "ImageCopyForm", "FormFilterSelect", "SearchForm",
                    "FormEditName", "FormFolderFind", "FormFloatB", "FormSaveImage", "FormThumbSpy", "ExifInfoForm",
                    "DragForm", "FormThumbsettings", "FormFadestyles", "SaveToFolderForm", "FormGetcard", "SortForm",
                    "ShowProgressForm", "FormAnalize", "BatchRenameForm", "UnitZoomFloat", "FormCompare",
                    "HistogramForm", "PrintForm", "FormQuickAdd", "CalculateAspect"),
    [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// Every text the sources hand to gettext, as xgettext finds it, is in one of the two
// Dutch catalogues.
TEST(ProgramMessages, EveryTranslatedMessageHasADutchTranslation) {
  KIVO2_REQUIRE_TOOL("xgettext");
  KIVO2_REQUIRE_TOOL("msgunfmt");
  const std::string src = testsupport::SourceDir() + "/src";
  std::vector<std::string> args = {"xgettext",      "-C",           "--from-code=UTF-8", "-k_", "-k_n:1,2",
                                   "-kdgettext:2",  "--no-location", "--omit-header",    "-o",  "-"};
  for (const auto& entry : std::filesystem::recursive_directory_iterator(src))
    if (entry.path().extension() == ".cpp" || entry.path().extension() == ".h") args.push_back(entry.path());
  const testsupport::CommandResult pot = testsupport::Run(args);
  ASSERT_EQ(pot.exitCode, 0) << pot.err;
  auto translated = testsupport::DutchTranslations();
  translated.merge(testsupport::DutchTranslations("corvo"));
  int checked = 0;
  for (const auto& [id, none] : testsupport::PoEntries(pot.out)) {
    ++checked;
    EXPECT_TRUE(translated.count(id)) << "\"" << id << "\" has no Dutch text";
  }
  EXPECT_GT(checked, 400);
}
