// The main window's components, built in code as a form resource would hold them:
// the button bar at the top, the folder tree, file list and favorites on the left, the
// picture area on the right, the status bar at the bottom and the hidden debug panel.
#include <algorithm>

#include "controls/EventScrollbox.h"
#include "controls/KpPanel.h"
#include "controls/QzFileExplorer28.h"
#include "controls/RowPanel.h"
#include "controls/ZephFade.h"
#include "controls/ZqButton.h"
#include "controls/ZqGlyphs.h"
#include "controls/ZqSpeedButton.h"
#include "controls/ZrkSound.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Gauges.h"
#include "platform/gui/Spin.h"

namespace {

constexpr int kBarHeight = 28;
constexpr int kButtonHeight = 24;
// The height the file list keeps below the folder tree (some seven rows), or half the room
// of a very low side panel.
constexpr int kListRoom = 120;

// A speed button of a bar, aligned after the ones before it (so hidden buttons leave no gap).
TZqSpeedButton* BarButton(TComponent* owner, TWinControl* parent, const char* name, const std::string& caption,
                          const std::string& hint, int width, TAlign align = alLeft) {
  auto* b = NewControl<TZqSpeedButton>(owner, parent, name, caption, 0, 2, width, kButtonHeight);
  b->SetAlign(align);
  b->SetAlignment(taCenter);
  b->SetFlat(true);
  if (!hint.empty()) SetHintText(b, hint);
  return b;
}

// A button that stays down until clicked again (its own group, all up allowed).
TZqSpeedButton* ToggleButton(TComponent* owner, TWinControl* parent, const char* name, const std::string& caption,
                             const std::string& hint, int width, int group, bool down = false) {
  TZqSpeedButton* b = BarButton(owner, parent, name, caption, hint, width);
  b->SetGroupIndex(group);
  b->SetAllowAllUp(true);
  b->SetDown(down);
  return b;
}

// A few pixels of room between groups of buttons.
void Gap(TComponent* owner, TWinControl* parent, const char* name) {
  auto* bevel = NewControl<TBevel>(owner, parent, name, 0, 0, 6, kButtonHeight);
  bevel->SetShape(bsSpacer);
  bevel->SetAlign(alLeft);
}

TLabel* NewLabel(TComponent* owner, TWinControl* parent, const char* name, const std::string& caption, int left,
                 int top) {
  auto* label = NewControl<TLabel>(owner, parent, name, caption, left, top, 60, 15);
  label->SetAutoSize(true);
  return label;
}

// The placeholder of a file that cannot be shown: a grey card crossed out.
void DrawFalsePicture(TImage* image) {
  TBitmap* bmp = image->Picture()->Bitmap();
  bmp->SetPixelFormat(pf24bit);
  bmp->SetSize(120, 90);
  TCanvas& c = bmp->Canvas();
  c.Brush().SetColor(clSilver);
  c.FillRect(Rect(0, 0, 120, 90));
  c.Pen().SetColor(clGray);
  c.Pen().SetWidth(3);
  c.MoveTo(20, 15);
  c.LineTo(100, 75);
  c.MoveTo(100, 15);
  c.LineTo(20, 75);
  c.Pen().SetWidth(1);
  c.Brush().SetStyle(bsClear);
  c.Rectangle(0, 0, 120, 90);
}

// The placeholder of an associated (video) file: a strip of film.
void DrawAssociatedPicture(TImage* image) {
  TBitmap* bmp = image->Picture()->Bitmap();
  bmp->SetPixelFormat(pf24bit);
  bmp->SetSize(120, 90);
  TCanvas& c = bmp->Canvas();
  c.Brush().SetColor(clBlack);
  c.FillRect(Rect(0, 0, 120, 90));
  c.Brush().SetColor(clWhite);
  for (int x = 6; x < 120; x += 16) {
    c.FillRect(Rect(x, 5, x + 8, 13));
    c.FillRect(Rect(x, 77, x + 8, 85));
  }
  c.Brush().SetColor(clGray);
  c.FillRect(Rect(12, 20, 108, 70));
  c.Brush().SetColor(clWhite);
  c.Polygon({Point(50, 32), Point(50, 58), Point(74, 45)});
}

}  // namespace

void TForm1::buildLayout() {
  SetKeyPreview(true);

  // --- the top button bar ---
  auto* bar = NewAligned<TRowPanel>(this, this, "PanelTopButtons", alTop, kBarHeight + 2);
  bar->SetRowHeight(kBarHeight + 2);
  bar->SetBevelOuter(bvNone);
  PanelTopButtons = bar;
  ZqMainMenu = ToggleButton(this, bar, "ZqMainMenu", "Menu", "Hide Main menu", 46, 1);
  ZqBrowsePanel = ToggleButton(this, bar, "ZqBrowsePanel", "Browser", "Hide browser panel - F3", 58, 6);
  ZqFavoriteslist = ToggleButton(this, bar, "ZqFavoriteslist", "Favorites", "Favorite folders - F4", 64, 7);
  ZqTumblist = ToggleButton(this, bar, "ZqTumblist", "Thumbs", "Thumb selector - F5", 54, 8);
  Zq_CustomShow = ToggleButton(this, bar, "Zq_CustomShow", "Shows", "Paperclip and shows", 50, 12);
  Gap(this, bar, "BevelGap1");
  ZqPrevious = BarButton(this, bar, "ZqPrevious", "<", "Previous - (komma key)", 26);
  ZqNext = BarButton(this, bar, "ZqNext", ">", "Next - (dot key)", 26);
  ZqAutonext = ToggleButton(this, bar, "ZqAutonext", "Auto", "Start auto show - Space", 42, 10);
  ZqSlideShow = ToggleButton(this, bar, "ZqSlideShow", "Show", "Full screen Slide show - F8", 44, 9);
  PanelDelayButtons = NewAligned<TPanel>(this, bar, "PanelDelayButtons", alLeft, 66);
  PanelDelayButtons->SetHeight(kButtonHeight);
  PanelDelayButtons->SetBevelOuter(bvNone);
  ZqSpeedDown = BarButton(this, PanelDelayButtons, "ZqSpeedDown", "-", "Decrease slide show delay", 20);
  LabelDelay = NewControl<TLabel>(this, PanelDelayButtons, "LabelDelay", "2", 0, 0, 26, kButtonHeight);
  LabelDelay->SetAlign(alLeft);
  LabelDelay->SetAutoSize(false);
  LabelDelay->SetAlignment(taCenter);
  LabelDelay->SetLayout(tlCenter);
  ZqSpeedUp = BarButton(this, PanelDelayButtons, "ZqSpeedUp", "+", "Increase slide show delay", 20);
  Gap(this, bar, "BevelGap2");
  ZqFolderUp = BarButton(this, bar, "ZqFolderUp", "Up", "Previous folder Ctrl+P", 32);
  ZqFolderDown = BarButton(this, bar, "ZqFolderDown", "Down", "Next folder Ctrl+N", 44);
  ZqSpeedButton5 = BarButton(this, bar, "ZqSpeedButton5", "<>", "Toggle previous/current folder", 28);
  ZqSpeedButton5->SetEnabled(false);
  Gap(this, bar, "BevelGap3");
  ZqFitInScreen = ToggleButton(this, bar, "ZqFitInScreen", "Fit", "Fit larger pictures", 32, 5, true);
  ZqStretchsmaller = ToggleButton(this, bar, "ZqStretchsmaller", "Stretch", "Stretch smaller pictures", 52, 4);
  ZqZoom = BarButton(this, bar, "ZqZoom", "Zoom", "Zoom in/out (+ - keys)", 44);
  Label9 = NewLabel(this, bar, "Label9", "", 0, 7);
  Label9->SetAlign(alLeft);
  Label9->SetLayout(tlCenter);
  Gap(this, bar, "BevelGap4");
  ZqRotate = BarButton(this, bar, "ZqRotate", "Rotate", "Lossless JPG rotate/flip", 48);
  ZqSpeedButton1 = BarButton(this, bar, "ZqSpeedButton1", "Copy", "Copy image to new window", 40);
  Zq_Shotgraph = BarButton(this, bar, "Zq_Shotgraph", "Shotgraph", "Plot focal length usage (Shotgraph)", 66);
  ZqPrint = BarButton(this, bar, "ZqPrint", "Print", "Printer - preview", 38);
  Zq_Paperclip = BarButton(this, bar, "Zq_Paperclip", "Clip", "Add selected file(s) to the paperclip", 34);
  ZqImport = BarButton(this, bar, "ZqImport", "Import", "Import from memorycard or folder", 48);
  ZqSortmenu = BarButton(this, bar, "ZqSortmenu", "Sort", "File sort...", 36);
  ZqSoundbutton = BarButton(this, bar, "ZqSoundbutton", "Memo", "Play voice memo", 44);
  ZqSoundbutton->SetVisible(false);
  Usb_Image = NewControl<TImage>(this, bar, "Usb_Image", 0, 4, 22, 22);
  Usb_Image->SetAlign(alLeft);
  Usb_Image->SetVisible(false);
  SetHintText(Usb_Image, "Stand-alone (USB) mode");
  {
    TBitmap* mark = Usb_Image->Picture()->Bitmap();
    mark->SetPixelFormat(pf24bit);
    mark->SetSize(22, 22);
    TCanvas& c = mark->Canvas();
    c.Brush().SetColor(clBtnFace);
    c.FillRect(Rect(0, 0, 22, 22));
    c.Brush().SetColor(clNavy);
    c.FillRect(Rect(4, 8, 16, 16));
    c.FillRect(Rect(16, 10, 20, 14));
  }
  PanelGauge = NewControl<TPanel>(this, bar, "PanelGauge", "stop ", 0, 0, 140, kBarHeight);
  PanelGauge->SetAlign(alRight);
  PanelGauge->SetAlignment(taLeftJustify);
  PanelGauge->SetVisible(false);
  Gauge1 = NewControl<TGauge>(this, PanelGauge, "Gauge1", 34, 6, 100, 16);
  ProgressBar1 = NewControl<TProgressBar>(this, bar, "ProgressBar1", 0, 0, 120, kBarHeight);
  ProgressBar1->SetAlign(alRight);
  ProgressBar1->SetVisible(false);
  // Runs while thumbnails are made in the background for a folder tree.
  BGBuildingAvi = NewControl<TProgressBar>(this, bar, "BGBuildingAvi", 0, 0, 48, kBarHeight);
  BGBuildingAvi->SetAlign(alRight);
  BGBuildingAvi->SetMax(0);
  BGBuildingAvi->SetVisible(false);
  // They show while a job runs, in the room the buttons leave: the buttons stay in place.
  for (TControl* c : std::initializer_list<TControl*>{PanelGauge, ProgressBar1, BGBuildingAvi}) bar->SetFillIn(c);

  // --- status bar, thumbnails (built on demand; aligned after the bars, so that they
  // lie below the button bar or above the status bar) ---
  StatusBar1 = NewAligned<TStatusBar>(this, this, "StatusBar1", alBottom, 22);
  for (int width : {70, 130, 100, 100, 120, 110, 90, 200}) StatusBar1->Panels()->Add()->SetWidth(width);
  PanelThumbHolder = NewAligned<TPanel>(this, this, "PanelThumbHolder", alTop, 85);
  PanelThumbHolder->SetBevelOuter(bvNone);
  PanelThumbHolder->SetVisible(false);

  // --- the navigation side ---
  PanelBrowse = NewAligned<TPanel>(this, this, "PanelBrowse", alLeft, 185);
  PanelBrowse->SetBevelOuter(bvNone);
  PanelTrees = NewAligned<TPanel>(this, PanelBrowse, "PanelTrees", alTop, 185);
  PanelTrees->SetBevelOuter(bvNone);
  Panel6 = NewAligned<TPanel>(this, PanelTrees, "Panel6", alTop, 20);
  Panel6->SetCaption("Drives and folders");
  Panel6->SetBevelOuter(bvNone);
  Panel6->SetBevelInner(bvLowered);
  QzDirTree211 = NewAligned<TQzDirTree21>(this, PanelTrees, "QzDirTree211", alClient);
  TreeView1 = NewAligned<TTreeView>(this, PanelTrees, "TreeView1", alClient);
  TreeView1->SetVisible(false);
  TreeView1->SetHideSelection(false);
  Splitter2 = NewSplitter(this, PanelBrowse, "Splitter2", alTop);
  // The file-list bar is as wide as the navigation side, which the user chooses: its
  // buttons run on in a second row when their captions need more room than one row has.
  auto* listBar = NewAligned<TRowPanel>(this, PanelBrowse, "PanelListOptions", alTop, kBarHeight);
  listBar->SetRowHeight(kBarHeight);
  listBar->SetBevelOuter(bvNone);
  PanelListOptions = listBar;
  ZqShowAll = ToggleButton(this, PanelListOptions, "ZqShowAll", "All files", "Show/Hide unsupported files", 56, 11);
  ZqListBoxSortmenu = BarButton(this, PanelListOptions, "ZqListBoxSortmenu", "Sort", "File sort...", 36);
  ZqSpeedButton2 = BarButton(this, PanelListOptions, "ZqSpeedButton2", "Order", "Sort tool", 44);
  ZqSpeedButton3 = BarButton(this, PanelListOptions, "ZqSpeedButton3", "x", "Hide this button bar", 22, alRight);
  PanelCustomLists = NewAligned<TPanel>(this, PanelBrowse, "PanelCustomLists", alTop, kBarHeight);
  PanelCustomLists->SetBevelOuter(bvNone);
  PanelCustomLists->SetVisible(false);
  // The list's caption lies between the picture and the Close button, centred in the room
  // they leave, so that neither covers it.
  ImageSearch1 = NewControl<TImage>(this, PanelCustomLists, "ImageSearch1", 0, 0, 22, kBarHeight);
  ImageSearch1->SetAlign(alLeft);
  Zq_CloseList = BarButton(this, PanelCustomLists, "Zq_CloseList", "Close", "Close the list", 44, alRight);
  PanelListCaption = NewAligned<TPanel>(this, PanelCustomLists, "PanelListCaption", alClient);
  PanelListCaption->SetCaption("Search results");
  PanelListCaption->SetBevelOuter(bvNone);
  ListBox1 = NewAligned<TListBox>(this, PanelBrowse, "ListBox1", alClient);
  PanelBrowse->OnResize = [this](TObject*) { fitFolderTree(); };
  Splitter2->OnCanResize = [this](TObject*, int& NewSize, bool&) { NewSize = std::min(NewSize, folderTreeLimit()); };
  Splitter1 = NewSplitter(this, this, "Splitter1", alLeft);

  // --- the favorite folders ---
  PanelFavorites = NewAligned<TPanel>(this, this, "PanelFavorites", alLeft, 185);
  PanelFavorites->SetBevelOuter(bvNone);
  PanelFavorites->SetVisible(false);
  auto* favoriteButtons = NewAligned<TRowPanel>(this, PanelFavorites, "PanelFavoriteButtons", alTop, kBarHeight);
  favoriteButtons->SetBevelOuter(bvNone);
  favoriteButtons->SetSpacing(2);
  ZqAdFavorite = NewControl<TZqButton>(this, favoriteButtons, "ZqAdFavorite", "Add", 2, 2, 52, kButtonHeight);
  SetHintText(ZqAdFavorite, "Add the current folder to the favorites");
  ZqRemFavorites =
      NewControl<TZqButton>(this, favoriteButtons, "ZqRemFavorites", "Remove", 56, 2, 62, kButtonHeight);
  SetHintText(ZqRemFavorites, "Remove the selected favorite");
  ZqRemFavorites->SetEnabled(false);
  ZqCloseFavorites =
      NewControl<TZqButton>(this, favoriteButtons, "ZqCloseFavorites", "Close", 120, 2, 52, kButtonHeight);
  favoriteButtons->LineUp();
  ChB_CloseOnClick = NewCheckBox(this, PanelFavorites, "ChB_CloseOnClick", "Close when clicked outside", true, 0, 0, 180);
  ChB_CloseOnClick->SetAlign(alBottom);
  ListBox2 = NewAligned<TListBox>(this, PanelFavorites, "ListBox2", alClient);
  Splitter3 = NewSplitter(this, this, "Splitter3", alLeft);
  Splitter3->SetVisible(false);

  // --- the picture area ---
  PanelScrollBandShrtCut = NewAligned<TPanel>(this, this, "PanelScrollBandShrtCut", alClient);
  PanelScrollBandShrtCut->SetBevelOuter(bvNone);
  PanelScrollBandShrtCut->SetBevelInner(bvLowered);
  ScrollBox1 = NewAligned<TEvScrollBox>(this, PanelScrollBandShrtCut, "ScrollBox1", alClient);
  ScrollBox1->SetBorderStyle(bsNone);
  ScrollBox1->HorzScrollBar()->SetTracking(true);
  ScrollBox1->VertScrollBar()->SetTracking(true);
  Image1 = NewControl<TImage>(this, ScrollBox1, "Image1", 0, 0, 10, 10);
  Image1->SetAutoSize(true);
  ZephFade1 = NewControl<TZephFade>(this, ScrollBox1, "ZephFade1", 0, 0, 75, 75);
  ZephFade1->SetVisible(false);
  RichEdit1 = NewControl<TRichEdit>(this, ScrollBox1, "RichEdit1", 0, 0, 200, 100);
  RichEdit1->SetVisible(false);
  RichEdit1->SetReadOnly(true);
  RichEdit1->SetScrollBars(ssBoth);
  FalseImage = NewControl<TImage>(this, ScrollBox1, "FalseImage", 0, 0, 120, 90);
  FalseImage->SetVisible(false);
  DrawFalsePicture(FalseImage);
  AsociateImage = NewControl<TImage>(this, ScrollBox1, "AsociateImage", 0, 0, 120, 90);
  AsociateImage->SetVisible(false);
  DrawAssociatedPicture(AsociateImage);
  // The shadow labels lie under the front ones, one pixel right and down.
  auto overlayLabel = [this](const char* name, TColor color) {
    TLabel* label = NewLabel(this, ScrollBox1, name, "", 0, 0);
    label->SetTransparent(true);
    label->SetShowAccelChar(false);
    label->Font()->SetColor(color);
    label->Font()->SetSize(10);
    label->Font()->SetStyle(fsBold);
    label->SetVisible(false);
    return label;
  };
  LabelShowTextBack = overlayLabel("LabelShowTextBack", clWhite);
  LabelShowTextTop = overlayLabel("LabelShowTextTop", clBlack);
  ExifLabelBack = overlayLabel("ExifLabelBack", clBlack);
  ExifLabelFront = overlayLabel("ExifLabelFront", clWhite);

  // --- the debug panel ---
  KpFramePanel1 = NewControl<TKpFramePanel>(this, this, "KpFramePanel1", 0, 0, 280, 250);
  KpFramePanel1->SetVisible(false);
  KpFramePanel1->SetMoveable(true);
  KpFramePanel1->SetColor(clInfoBk);
  KpFramePanel1->SetBevelInner(bvLowered);
  KpFramePanel1->SetBevelOuter(bvNone);
  Label1 = NewLabel(this, KpFramePanel1, "Label1", "Label1", 10, 16);
  Label2 = NewLabel(this, KpFramePanel1, "Label2", "Label2", 10, 34);
  Label3 = NewLabel(this, KpFramePanel1, "Label3", "Label3", 10, 52);
  Label4 = NewLabel(this, KpFramePanel1, "Label4", "Label4", 10, 70);
  Label10 = NewLabel(this, KpFramePanel1, "Label10", "Label10", 10, 88);
  Ch_DebugLabels = NewCheckBox(this, KpFramePanel1, "Ch_DebugLabels", "Show load and resample sizes", false, 10, 110, 260);
  Ch_Debug_newThumb = NewCheckBox(this, KpFramePanel1, "Ch_Debug_newThumb", "Thumbnail cache state", false, 10, 130, 260);
  CheckBox2 = NewCheckBox(this, KpFramePanel1, "CheckBox2", "Show copy/cut work list", false, 10, 150, 260);
  ChB_GDI = NewCheckBox(this, KpFramePanel1, "ChB_GDI", "Show system resources", false, 10, 170, 260);
  CB_DebugShows = NewCheckBox(this, KpFramePanel1, "CB_DebugShows", "Check show files", false, 10, 190, 260);
  SpinEdit1 = NewControl<TSpinEdit>(this, KpFramePanel1, "SpinEdit1", 10, 214, 60, 22);
  SpinEdit1->SetMinValue(0);
  SpinEdit1->SetMaxValue(4);
  SpinEdit1->SetValue(0);

  // --- non-visual components ---
  Timer1 = new TTimer(this);
  Timer1->SetName("Timer1");
  Timer1->SetEnabled(false);
  Timer1->SetInterval(1500);
  TimerShowIt = new TTimer(this);
  TimerShowIt->SetName("TimerShowIt");
  TimerShowIt->SetEnabled(false);
  TimerShowIt->SetInterval(5500);
  TimerFirstShow = new TTimer(this);
  TimerFirstShow->SetName("TimerFirstShow");
  TimerFirstShow->SetEnabled(false);
  OpenDialog1 = new TOpenDialog(this);
  OpenDialog1->SetName("OpenDialog1");
  OpenDialog1->SetDefaultExt("exe");
  OpenDialog1->SetFilter("Program(*.com *.exe)|*.exe;*.com|All|*.*");
  OpenPictureDialog1 = new TOpenDialog(this);
  OpenPictureDialog1->SetName("OpenPictureDialog1");
  // Only a picture that is there can be opened: a name typed for none leaves the dialog open.
  OpenPictureDialog1->SetOptions({ofHideReadOnly, ofEnableSizing, ofFileMustExist});
  ZrkSound1 = new TZrkSound(this);
  ZrkSound1->SetName("ZrkSound1");
  // The bars' buttons have their glyphs before they are fitted to their captions.
  ApplyZqGlyphs(this);
}

int TForm1::folderTreeLimit() const {
  // The side panel's height less the bars and the splitter above and below the tree and the list.
  int room = PanelBrowse->ClientHeight();
  for (int i = 0; i < PanelBrowse->ControlCount(); ++i) {
    const TControl* c = PanelBrowse->Controls(i);
    if (c != PanelTrees && c->Visible() && (c->Align() == alTop || c->Align() == alBottom)) room -= c->Height();
  }
  return std::max(0, room - std::min(kListRoom, room / 2));
}

void TForm1::fitFolderTree() {
  const int height = std::min(folderTreeHeight_, folderTreeLimit());
  if (height != PanelTrees->Height()) PanelTrees->SetHeight(height);
}

void TForm1::SetFolderTreeHeight(int Height) {
  folderTreeHeight_ = Height;
  fitFolderTree();
}
