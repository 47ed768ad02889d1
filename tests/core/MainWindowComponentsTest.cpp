// The main window's components as the other windows and commands reach them: every name
// exists (FindComponent), with its kind and its designed state (check marks, shortcuts,
// button groups, hints, visibility, timers); and every text the window shows has a Dutch
// translation in the compiled catalogue (read with gettext's own msgunfmt).
#include <set>

#include "MainWindowFixture.h"
#include "controls/EventScrollbox.h"
#include "controls/KpPanel.h"
#include "controls/MainMenuXP.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZephFade.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "controls/ZrkSound.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"

namespace {

const char* const kMenuItems[] = {
    "Open1", "Close1", "M_Types", "Search1", "SaveasJPG1", "M_Email1", "Compresscompleettree1",
    "Importfrommemorycardorfolder2", "GetimageTwainscannerwebcametc1", "Print1", "CreateUSBKivo21", "Selectall1",
    "Deletefile1", "FileDatetoExifdate1", "Clearthumbscachefolder1", "M_Tree", "M_Favorites", "Onoff1",
    "M_Buttons", "M_Filelistbar", "M_Statusbar", "M_FloatingButtons", "Showallfiles", "Filesort1", "M_ThumbsSpy",
    "M_ShowExifinspy", "M_IncludeExifhint", "Exifoverlay", "Imageinfo1", "M_Exif_info", "Histogram2", "Zoom1",
    "Reload1", "M_Fitlargertoviewer", "M_Strechsmaller", "M_Centerlarge", "M_Autoscale", "N111", "N121", "N141",
    "N181", "Smoothstrech", "SetFilter1", "M_Preview", "RotateFlip1", "RotateRight1", "RotateLeft1", "Upsidedown1",
    "Fliphorizontally1", "Flipvertically1", "M_Fastbatchrotate", "M_JPGTRANPerfect", "M_Losslesbackup",
    "ChangeAspectRatio1", "Showaspectratiocurrentimage1", "Imagetoclipboard1", "Wallpaper1", "WallpaperCenter",
    "WallpaperTiled1", "WallpaperStreched1", "showold1", "RemoveWallpaper1", "Compare1", "Compare2", "M_Playmemo",
    "M_AddFavorite", "FindFolder1", "GotoDesktop", "GotoMyDocuments1", "M_Recursive", "M_Addfilestopapercli1",
    "Removefilesfrompaperclip1", "M_Clearpaperclip1", "TreeToPaperclip", "M_OpenShow", "SortTool1",
    "Plotfocallengthusage1", "Checklenslengthusage1", "Editequivalentlist1", "CreateallthumbsforSelTree",
    "Stopbackgroundcreation1", "M_Start1", "M_Showfilename", "M_BlackSlideshowBG", "M_Movemouse", "SetFading1",
    "M_Settings", "Quickconfigure1", "M_UseTumbCache", "M_CacheonlyFixedDiskfiles", "Settings1", "M_Help",
    "HelpforStandAloneversions1", "GotoHomepage1", "Donate1", "Fitlargeronoff1", "Strechsmalleronoff1", "Invert1",
    "Grayscale1", "RunGifImage1", "Reloadimage1", "Imagetoclipboard2", "Exifoverlayonoff1", "Exifinfo1",
    "Histogram1", "ogglePixelmagnifier1", "Playmemo1", "FloatingButtons1", "P_StartProg", "P_OwnEditor",
    "Browsetoopen1", "P_History1", "P_History8", "AddToPaperclip", "Removefromshow", "CopyFiles1", "CutFiles1",
    "PasteMovefiles1", "P_Deletefile", "Renamefile1", "BatchReplace", "P_Closelistgoto", "Pastememorycardfiles1",
    "ThumbsSpy", "Rightclickselect", "Newfolder1", "Renamefolder1", "Deletefolder1", "Pastefiles1",
    "Pastecardfoldercontents", "AddfoldertoFavorites", "P_FindFolder", "Foldersizes1",
    "Copyandcompresscompletetree1", "PoNone", "PoName", "PoNameNo", "PoSize", "PoDate", "PoPhotodate",
    "PoSortdescend", "P_SaveClipAsShow", "P_PasteAsShow", "P_PasteInShow", "P_PasteClipInShow", "EditShow1",
    "RenameNode", "P_AddShowFolder", "P_DeleteShow", "P_DeleteShowFolder", "P_ClearPaperclip", "Sorttool2",
    "Floatingbuttons2", "Closeslideshow1", "N101", "N331", "N501", "ZQTofit1", "N1001", "N1501", "N2001", "N3001",
    "N4001", "N5001", "tofit1", "RotateRight2", "RotateLeft2", "UpsideDown2", "FlipHorizontally2",
    "FlipVertically2", "Emailcenter1", "Sendselectedunmodified1", "XPCopyCompressTree1",
    "Importfrommemorycardorfolder1", "Aquireimagetwainscannerebcam1"};

const char* const kPopupMenus[] = {"PopupImage", "PopupListbox", "PopupQZDir",    "PopupSort",        "PopupTreeview1",
                                   "PopupZephFade", "PopupZoom", "PopupButtonRotate", "PopupEmail", "PopupGetimage"};

const char* const kSpeedButtons[] = {
    "ZqMainMenu", "ZqBrowsePanel", "ZqFavoriteslist", "ZqTumblist",   "Zq_CustomShow", "ZqPrevious",
    "ZqNext",     "ZqAutonext",    "ZqSlideShow",     "ZqSpeedDown",  "ZqSpeedUp",     "ZqFolderUp",
    "ZqFolderDown", "ZqSpeedButton5", "ZqFitInScreen", "ZqStretchsmaller", "ZqZoom", "ZqRotate",
    "ZqSpeedButton1", "Zq_Shotgraph", "ZqPrint", "Zq_Paperclip", "ZqImport", "ZqSortmenu", "ZqSoundbutton",
    "ZqShowAll", "ZqListBoxSortmenu", "ZqSpeedButton2", "ZqSpeedButton3", "Zq_CloseList"};

const char* const kPanels[] = {"PanelTopButtons", "PanelDelayButtons", "PanelGauge",      "PanelBrowse",
                               "PanelTrees",      "Panel6",            "PanelListOptions", "PanelCustomLists",
                               "PanelListCaption", "PanelFavorites",   "PanelThumbHolder", "PanelScrollBandShrtCut"};

template <class T>
T* Named(const char* name) {
  return dynamic_cast<T*>(Form1->FindComponent(name));
}

}  // namespace

TEST_F(MainWindowTest, EveryNamedComponentExistsWithItsKind) {
  CreateWindows();
  for (const char* name : kMenuItems) EXPECT_NE(Named<TMenuItem>(name), nullptr) << name;
  for (const char* name : kPopupMenus) EXPECT_NE(Named<TPopupMenu>(name), nullptr) << name;
  for (const char* name : kSpeedButtons) EXPECT_NE(Named<TZqSpeedButton>(name), nullptr) << name;
  for (const char* name : kPanels) EXPECT_NE(Named<TPanel>(name), nullptr) << name;
  for (const char* name : {"ZqAdFavorite", "ZqRemFavorites", "ZqCloseFavorites"})
    EXPECT_NE(Named<TZqButton>(name), nullptr) << name;
  for (const char* name : {"Splitter1", "Splitter2", "Splitter3"}) EXPECT_NE(Named<TSplitter>(name), nullptr) << name;
  for (const char* name : {"ListBox1", "ListBox2"}) EXPECT_NE(Named<TListBox>(name), nullptr) << name;
  for (const char* name : {"Image1", "FalseImage", "AsociateImage", "Usb_Image", "ImageSearch1"})
    EXPECT_NE(Named<TImage>(name), nullptr) << name;
  for (const char* name : {"LabelShowTextTop", "LabelShowTextBack", "ExifLabelFront", "ExifLabelBack", "LabelDelay",
                           "Label1", "Label2", "Label3", "Label4", "Label9", "Label10"})
    EXPECT_NE(Named<TLabel>(name), nullptr) << name;
  for (const char* name : {"Ch_DebugLabels", "Ch_Debug_newThumb", "CheckBox2", "ChB_GDI", "CB_DebugShows",
                           "ChB_CloseOnClick"})
    EXPECT_NE(Named<TCheckBox>(name), nullptr) << name;
  EXPECT_NE(Named<TQzDirTree21>("QzDirTree211"), nullptr);
  EXPECT_NE(Named<TTreeView>("TreeView1"), nullptr);
  EXPECT_NE(Named<TEvScrollBox>("ScrollBox1"), nullptr);
  EXPECT_NE(Named<TZephFade>("ZephFade1"), nullptr);
  EXPECT_NE(Named<TRichEdit>("RichEdit1"), nullptr);
  EXPECT_NE(Named<TStatusBar>("StatusBar1"), nullptr);
  EXPECT_NE(Named<TProgressBar>("ProgressBar1"), nullptr);
  EXPECT_NE(Named<TMainMenuXP>("MainMenuXP1"), nullptr);
  EXPECT_NE(Named<TKpFramePanel>("KpFramePanel1"), nullptr);
  EXPECT_NE(Named<TZrkSound>("ZrkSound1"), nullptr);
  for (const char* name : {"Timer1", "TimerShowIt"}) EXPECT_NE(Named<TTimer>(name), nullptr) << name;
  EXPECT_EQ(Form1->MainMenuXP1, Form1->Menu());
  EXPECT_EQ(Form1->StatusBar1->Panels()->Count(), 8);
}

TEST_F(MainWindowTest, DesignedStatesOfTheControlsTheCommandsRead) {
  CreateWindows();
  // Timers.
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_EQ(Form1->Timer1->Interval(), 1500u);
  EXPECT_FALSE(Form1->TimerShowIt->Enabled());
  // Shortcuts.
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
    TMenuItem* item = Named<TMenuItem>(name);
    ASSERT_NE(item, nullptr) << name;
    EXPECT_EQ(ShortCutToText(item->ShortCut()), key) << name;
  }
  // Designed check marks.
  for (const char* name : {"M_Tree", "M_Buttons", "M_Statusbar", "M_Filelistbar", "M_Recursive", "M_Autoscale",
                           "M_ThumbsSpy", "ThumbsSpy", "M_UseTumbCache", "M_CacheonlyFixedDiskfiles",
                           "M_BlackSlideshowBG", "M_Fastbatchrotate", "M_JPGTRANPerfect", "PoName",
                           "M_FloatingButtons"})
    EXPECT_TRUE(Named<TMenuItem>(name)->Checked()) << name;
  for (const char* name : {"Smoothstrech", "M_Centerlarge", "Showallfiles", "Exifoverlay", "M_Losslesbackup",
                           "Rightclickselect", "PoSortdescend", "N111", "N181", "M_Showfilename"})
    EXPECT_FALSE(Named<TMenuItem>(name)->Checked()) << name;
  // The JPEG scale items and the sort items are each one radio group.
  Form1->N141->SetChecked(true);
  EXPECT_FALSE(Form1->M_Autoscale->Checked());
  Form1->PoSize->SetChecked(true);
  EXPECT_FALSE(Form1->PoName->Checked());
  EXPECT_FALSE(Form1->Rightclickselect->Visible());
  EXPECT_FALSE(Form1->Rightclickselect->Enabled());
  EXPECT_FALSE(Form1->P_OwnEditor->Visible());
  // Button groups, all up allowed; fit down.
  const std::pair<const char*, int> groups[] = {{"ZqMainMenu", 1},  {"ZqStretchsmaller", 4}, {"ZqFitInScreen", 5},
                                                {"ZqBrowsePanel", 6}, {"ZqTumblist", 8},     {"ZqSlideShow", 9},
                                                {"ZqAutonext", 10}};
  for (const auto& [name, group] : groups) {
    TZqSpeedButton* b = Named<TZqSpeedButton>(name);
    EXPECT_EQ(b->GroupIndex(), group) << name;
    EXPECT_TRUE(b->AllowAllUp()) << name;
    EXPECT_EQ(b->Down(), std::string(name) == "ZqFitInScreen") << name;
  }
  // Hints the commands rely on.
  const std::pair<const char*, const char*> hints[] = {{"ZqAutonext", "Start auto show - Space"},
                                                       {"ZqNext", "Next - (dot key)"},
                                                       {"ZqPrevious", "Previous - (komma key)"},
                                                       {"ZqFolderDown", "Next folder Ctrl+N"},
                                                       {"ZqFolderUp", "Previous folder Ctrl+P"},
                                                       {"ZqSpeedUp", "Increase slide show delay"},
                                                       {"ZqSpeedDown", "Decrease slide show delay"},
                                                       {"ZqBrowsePanel", "Hide browser panel - F3"},
                                                       {"ZqTumblist", "Thumb selector - F5"},
                                                       {"ZqSpeedButton1", "Copy image to new window"},
                                                       {"ZqSpeedButton5", "Toggle previous/current folder"},
                                                       {"ZqShowAll", "Show/Hide unsupported files"},
                                                       {"ZqSpeedButton3", "Hide this button bar"},
                                                       {"ZqPrint", "Printer - preview"}};
  for (const auto& [name, hint] : hints) EXPECT_EQ(Named<TZqSpeedButton>(name)->Hint(), hint) << name;
  // Visibility and captions at start.
  EXPECT_EQ(Form1->Panel6->Caption(), "Drives and folders");
  EXPECT_EQ(Form1->PanelGauge->Caption(), "stop ");
  EXPECT_EQ(Form1->LabelDelay->Caption(), "2");
  for (TControl* c : std::vector<TControl*>{Form1->PanelGauge, Form1->PanelThumbHolder, Form1->PanelFavorites,
                                            Form1->PanelCustomLists, Form1->TreeView1, Form1->ZephFade1,
                                            Form1->RichEdit1, Form1->KpFramePanel1, Form1->LabelShowTextTop,
                                            Form1->ExifLabelFront, Form1->ZqSoundbutton, Form1->Usb_Image})
    EXPECT_FALSE(c->Visible()) << c->Name();
  EXPECT_EQ(Form1->Image1->PopupMenu(), Form1->PopupImage);
  EXPECT_EQ(Form1->ListBox1->PopupMenu(), Form1->PopupListbox);
  EXPECT_EQ(Form1->QzDirTree211->PopupMenu(), Form1->PopupQZDir);
  EXPECT_EQ(Form1->TreeView1->PopupMenu(), Form1->PopupTreeview1);
  EXPECT_EQ(Form1->ZqZoom->PopupMenu(), Form1->PopupZoom);
  EXPECT_EQ(Form1->ZqRotate->PopupMenu(), Form1->PopupButtonRotate);
  EXPECT_EQ(Form1->ZephFade1->PopupMenu(), Form1->PopupZephFade);
  EXPECT_EQ(Form1->Caption(), "Kivo2");
  EXPECT_TRUE(Form1->KeyPreview());
  // The zoom-in, zoom-out and browse cursors are in the screen's table.
  for (int cursor : {3, 4, 5}) EXPECT_TRUE(Screen->HasCursor(cursor)) << cursor;
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

TEST_F(MainWindowTest, EveryTextOfTheWindowHasADutchTranslation) {
  KIVO2_REQUIRE_TOOL("msgunfmt");
  const std::set<std::string> translated = testsupport::DutchTranslations();
  ASSERT_FALSE(translated.empty());
  // Texts that are the same in every language.
  const std::set<std::string> neutral{"",    "<",   ">",   "+",    "-",    "<>",   "x",    "2",    "1:1",
                                      "1:2", "1:4", "1:8", "10%",  "33%",  "50%",  "100%", "150%", "200%",
                                      "300%", "400%", "500%", "Kivo2", "Label1", "Label2", "Label3", "Label4",
                                      "Label10"};
  CreateWindows();
  int checked = 0;
  for (int i = 0; i < Form1->ComponentCount(); ++i) {
    TComponent* c = Form1->Components(i);
    std::vector<std::string> texts;
    if (auto* item = dynamic_cast<TMenuItem*>(c)) {
      if (!item->IsLine()) texts = {item->Caption(), item->Hint()};
    } else if (auto* control = dynamic_cast<TControl*>(c)) {
      if (!dynamic_cast<TCustomEdit*>(c) && !dynamic_cast<TCustomTreeView*>(c) && !dynamic_cast<TCustomListBox*>(c))
        texts = {control->Caption(), control->Hint()};
    }
    for (const std::string& text : texts) {
      if (neutral.count(text)) continue;
      ++checked;
      EXPECT_TRUE(translated.count(text)) << c->Name() << ": \"" << text << "\" has no Dutch text";
    }
  }
  EXPECT_GT(checked, 200);
}
