// The main window's stages: creation, first showing, painting, resizing and closing,
// the message hook, the appearance routines, the extension lists, the focal-length
// equivalence list, the program's version and the File commands Open, Close and Types.
#include <algorithm>
#include <cstdlib>

#include "Kivo2Version.h"
#include "controls/EventScrollbox.h"
#include "controls/MainMenuXP.h"
#include "controls/QzFileExplorer28.h"
#include "controls/Resmeter.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/PictureLists.h"
#include "core/ProgramGlobals.h"
#include "core/StartUp.h"
#include "core/Unit1.h"
#include "core/UnitFilterselect.h"
#include "core/UnitSetting.h"
#include "formats/GraphicFormats.h"
#include "tools/ExifInfoUnit2.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/ScreenSaver.h"
#include "platform/shell/Shell.h"
#include "tools/PrintUnit.h"
#include "tools/UnitAbout.h"
#include "tools/UnitHistogram.h"
#include "tools/UnitImageCopy.h"
#include "tools/UnitShowProgress2.h"
#include "tools/UnitThumbSpy.h"

namespace {

// The equivalence list is a small text; a larger file is not read at all.
constexpr int64_t kMaxEquivalentFileSize = 8 << 20;

// "file:///a%20b.jpg" (as desktop launchers pass files) gives "/a b.jpg"; other texts stay.
std::string PathFromArgument(const std::string& arg) {
  const std::string prefix = "file://";
  if (arg.compare(0, prefix.size(), prefix) != 0) return arg;
  std::string path;
  for (size_t i = prefix.size(); i < arg.size(); ++i) {
    if (arg[i] == '%' && i + 2 < arg.size() && isxdigit((unsigned char)arg[i + 1]) &&
        isxdigit((unsigned char)arg[i + 2])) {
      path += char(std::stoi(arg.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      path += arg[i];
    }
  }
  return path;
}

// The user's data folder of the program: $XDG_DATA_HOME/Kivo2/.
std::string UserDataFolder() {
  std::string base = GetEnvironmentVariable("XDG_DATA_HOME");
  if (base.empty() || !IsFullPath(base)) base = PathJoin(GetEnvironmentVariable("HOME"), ".local/share");
  return IncludeTrailingPathDelimiter(PathJoin(base, "Kivo2"));
}

// The user's cache folder of the program: $XDG_CACHE_HOME/Kivo2/.
std::string UserCacheFolder() {
  std::string base = GetEnvironmentVariable("XDG_CACHE_HOME");
  if (base.empty() || !IsFullPath(base)) base = PathJoin(GetEnvironmentVariable("HOME"), ".cache");
  return IncludeTrailingPathDelimiter(PathJoin(base, "Kivo2"));
}

// A cursor picture: drawn in 24 bits on a key colour, then made 32 bits with the key
// colour transparent.
constexpr TColor kCursorKey = TColor(0xFF00FF);

void DrawMagnifier(TCanvas& c, bool plus) {
  c.Pen().SetColor(clBlack);
  c.Pen().SetWidth(2);
  c.Brush().SetColor(clWhite);
  c.Ellipse(2, 2, 20, 20);
  c.MoveTo(10 - 5, 11);
  c.LineTo(10 + 6, 11);
  if (plus) {
    c.MoveTo(11, 10 - 5);
    c.LineTo(11, 10 + 6);
  }
  c.Pen().SetWidth(4);
  c.MoveTo(18, 18);
  c.LineTo(28, 28);
}

void DrawBrowseArrows(TCanvas& c) {
  c.Pen().SetColor(clBlack);
  c.Brush().SetColor(clWhite);
  c.Polygon({Point(1, 16), Point(11, 6), Point(11, 12), Point(20, 12), Point(20, 6), Point(30, 16), Point(20, 26),
             Point(20, 20), Point(11, 20), Point(11, 26)});
}

void RegisterCursor(int index, void (*draw)(TCanvas&, bool), bool flag, int hotX, int hotY) {
  TBitmap picture;
  picture.SetPixelFormat(pf24bit);
  picture.SetSize(32, 32);
  picture.Canvas().Brush().SetColor(kCursorKey);
  picture.Canvas().FillRect(Rect(0, 0, 32, 32));
  draw(picture.Canvas(), flag);
  TBitmap cursor;
  cursor.SetPixelFormat(pf32bit);
  cursor.SetSize(32, 32);
  for (int y = 0; y < 32; ++y) {
    const uint8_t* src = picture.ScanLine(y);
    uint8_t* dst = cursor.ScanLine(y);
    for (int x = 0; x < 32; ++x) {
      const uint8_t b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
      const bool key = RGB(r, g, b) == kCursorKey;
      dst[4 * x] = key ? 0 : b;
      dst[4 * x + 1] = key ? 0 : g;
      dst[4 * x + 2] = key ? 0 : r;
      dst[4 * x + 3] = key ? 0 : 255;
    }
  }
  Screen->SetCursors(index, cursor, hotX, hotY);
}

}  // namespace

// ===========================================================================
// Creation
// ===========================================================================
void TForm1::loadCursors() {
  RegisterCursor(crBrowse, [](TCanvas& c, bool) { DrawBrowseArrows(c); }, false, 16, 16);
  RegisterCursor(crZoomOut, DrawMagnifier, false, 11, 11);
  RegisterCursor(crZoomIn, DrawMagnifier, true, 11, 11);
}

void TForm1::FormCreate(TObject* /*Sender*/) {
  TranslateComponent(this);
  FDefaultCursor = Screen->Cursor();
  loadCursors();
  FAppName = "Kivo2";
  Application->OnMessage = [this](TMsg& Msg, bool& Handled) { AppMessage(Msg, Handled); };
  FFullScreen = false;
  FIsWinNT = IsWinNT();  // false: the free memory is the resource meter
  FSuspendUpdates = true;
  FSlideShowMode = false;
  FSlideRunning = false;
  FFadeRunning = false;
  SetCaption("Kivo2");
  GetSpecialPaths();
}

void TForm1::AppMessage(TMsg& Msg, bool& Handled) {
  if (!FScreensaver || Msg.message != WM_SYSCOMMAND) return;
  const uintptr_t command = Msg.wParam & 0xFFF0;
  if (command != SC_SCREENSAVE && command != SC_MONITORPOWER) return;
  Msg.message = 0xF010;
  Msg.wParam = 0;
  Handled = true;
}

void TForm1::GetSpecialPaths() {
  FDesktopFolder = UserFolder(TUserFolder::Desktop);
  FDocumentsFolder = UserFolder(TUserFolder::Documents);
}

void TForm1::GetFileVersStrs() {
  FVersionText = IntToStr(KIVO2_VERSION_MAJOR) + "." + IntToStr(KIVO2_VERSION_MINOR) + "." +
                 IntToStr(KIVO2_VERSION_PATCH) + "." + IntToStr(KIVO2_VERSION_TWEAK);
  FBuildNumber = EncodeBuildNumber(KIVO2_VERSION_MAJOR, KIVO2_VERSION_MINOR, KIVO2_VERSION_PATCH,
                                   KIVO2_VERSION_TWEAK);
}

// ===========================================================================
// First showing
// ===========================================================================
void TForm1::FormShow(TObject* /*Sender*/) {
  if (FSuspendUpdates && !firstShowDone_) {
    // The window is not on the screen yet: the settings, its placement and its bars are
    // set now; the folder, the file list, the first picture and the questions follow
    // once the window has its final size (finishFirstShow).
    firstShowDone_ = true;
    firstShowSetup();
    firstShowPending_ = true;
    // Armed for a window that is never painted (started minimised or covered); the
    // first paint shortens it.
    TimerFirstShow->SetInterval(kFirstShowFallbackMs);
    TimerFirstShow->SetEnabled(true);
    return;
  }
  askForQuickConfiguration();
  placeHistogramWindow();
  if (Usb_Image->Visible()) Usb_Image->SetVisible(false);
}

void TForm1::TimerFirstShowTimer(TObject* /*Sender*/) {
  TimerFirstShow->SetEnabled(false);
  if (!firstShowPending_) return;
  firstShowPending_ = false;
  finishFirstShow();
}

bool TForm1::FirstShowPending() const { return firstShowPending_; }

void TForm1::finishFirstShow() {
  // The network drives connected with "Reconnect at logon" come back first: the start
  // folder may lie on one.
  RestoreNetConnections(true);
  std::string startPath = DirectoryExists(FLastPath) ? FLastPath : FProgramDir;
  if (DirectoryExists(startPath)) {
    // The tree reports its new folder: the list is filled once, below, as at creation.
    const bool suspended = FSuspendUpdates;
    FSuspendUpdates = true;
    QzDirTree211->ChangePath(startPath);
    QzDirTree211->OpenPath(startPath);
    FSuspendUpdates = suspended;
  }
  FLastPath.clear();
  // A picture named on the command line is the one the list opens (a large picture is
  // read once, and no other before it); one the list did not open is opened after.
  const std::string picture = commandLineFile_.empty() ? std::string() : commandLineFolder_ + commandLineFile_;
  startPicture_ = picture;
  setWithQzDirPath(false);
  startPicture_.clear();
  SincFavoritesPath();
  if (!picture.empty() && FCurrentFile != picture) {
    const int index = listIndexOfPath(picture);
    if (index >= 0) {
      ListBox1->SetItemIndex(index);
      if (ListBox1->MultiSelect()) ListBox1->SetSelected(index, true);
    }
    OpenThePicture(picture);
  }
  Application->ProcessMessages();
  if (ZqTumblist->Down()) ZqTumblistClick(this);

  // A picture named on the command line that is not there, and settings that could not be
  // read whole, are reported in front of the window that now shows the start folder.
  if (!missingCommandLineFile_.empty())
    ShowMessage(Format(_("The picture %s does not exist."), {missingCommandLineFile_}));
  missingCommandLineFile_.clear();
  if (!settingsDamage_.empty()) ShowMessage(settingsDamage_);
  settingsDamage_.clear();
  ReportUnfinishedStandAloneCopy();
  askForQuickConfiguration();
  placeHistogramWindow();
  if (Usb_Image->Visible()) Usb_Image->SetVisible(false);
  settleRenameJournalsAtStart();
}

void TForm1::settleRenameJournalsAtStart() {
  // The renames of a killed program are taken into the lists once the window shows: a
  // list another program keeps locked then costs one wait for all lists, with the window
  // on the screen. What killed saves and commands left beside the lists goes first, since
  // it holds room the lists' new copies may need.
  if (ActionRunning) return;
  ActionRunning = true;
  bool changed = false;
  ClearListLeftovers(ListPlace());
  SettleListJournals(&changed);
  ActionRunning = false;
  if (!changed) return;
  // What shows the lists' contents shows them anew.
  MakePaperclipText();
  if (TreeView1->Visible() && TreeView1->Selected()) TreeView1Change(this, TreeView1->Selected());
}

void TForm1::askForQuickConfiguration() {
  if (!SameBuild(FStoredVersion, FBuildNumber) && commandLineFile_.empty()) {
    if (UiLanguageCode == "nl" && PrintForm) PrintForm->Units->SetItemIndex(1);
    SetFolderTreeHeight(PanelBrowse->Height() / 2);
    const std::string question = "Old version: " + IntToStr(FStoredVersion) + " new version: " +
                                 IntToStr(FBuildNumber) + "\r" + AppKeyName + " " + FVersionText + "\r" +
                                 _("Program update or First time installation!") + "\r\n\r\n" +
                                 _("Do you want to use the quick configure menu now?") + "\r\n";
    if (TranslatedMessageDialog(question, mtInformation, TMsgDlgButtons{mbYes, mbNo}, 0) == mrYes)
      Quickconfigure1Click(this);
    if (FUsbMode) M_UseTumbCache->SetChecked(false);
  }
}

bool TForm1::firstShowSetup() {
  FZoomPercent = 100;
  for (auto* list : {&FAssociatedList, &FLockedFolders, &FWorkFiles, &FNamesBefore, &FNamesAfter, &FEquivalentList,
                     &FTreeFiles})
    (*list)->Clear();

  // Writable files lie beside the program in stand-alone mode, else in the user's data folder.
  FAppDir = ProgramMarkerExists(FProgramDir, "usb_drive.on") ? IncludeTrailingPathDelimiter(FProgramDir)
                                                            : UserDataFolder();
  ForceDirectories(FAppDir);

  GetUserSettingsFromReg();

  // A picture named on the command line: its folder becomes the start folder (the real
  // folder when the name goes through a linked folder, which the folder tree does not
  // enter). A folder is passed over; a name that is nothing at all is reported once the
  // window shows.
  commandLineFolder_.clear();
  commandLineFile_.clear();
  missingCommandLineFile_.clear();
  if (ParamCount() >= 1) {
    std::string arg = PathFromArgument(ParamStr(1));
    if (!arg.empty() && !IsFullPath(arg)) arg = ExpandFileName(arg);
    if (!arg.empty() && FileExists(arg) && !DirectoryExists(arg)) {
      commandLineFile_ = ExtractFileName(arg);
      commandLineFolder_ = RealFolderPath(ExtractFilePath(arg));
      FLastPath = commandLineFolder_;
    } else if (!arg.empty() && !DirectoryExists(arg)) {
      missingCommandLineFile_ = arg;
    }
  }

  // The start folder.
  if (!FUsbMode) {
    if (FLastPath.empty() && DirectoryExists(FDocumentsFolder)) FLastPath = IncludeTrailingPathDelimiter(FDocumentsFolder);
  } else if (FLastPath.empty() || !DirectoryExists(FLastPath)) {
    FLastPath = IncludeTrailingPathDelimiter(MountPointOf(FAppDir));
  }

  FListColorMode = FormSettings->ChB_ListBgColor->Checked() ? 0 : 1;
  SetAppearence();
  if (ZqMainMenu->Down()) ToggleMainMenus(false);

  // The stored place and size are the normal window's, whatever its state: a window that
  // starts maximised or minimised goes back to them when restored. They are used only
  // when they make a window one can see and reach.
  if (FWinStatusMain >= 1 && FWinStatusMain <= 3 && FWinStatusWidth >= 100 && FWinStatusHeight >= 100 &&
      FWinStatusWidth <= 20000 && FWinStatusHeight <= 20000 && std::abs(FWinStatusLeft) <= 20000 &&
      std::abs(FWinStatusTop) <= 20000)
    SetBounds(FWinStatusLeft, FWinStatusTop, FWinStatusWidth, FWinStatusHeight);
  switch (FWinStatusMain) {
    case 1:
      SetWindowState(wsNormal);
      break;
    case 2:
      SetWindowState(wsMinimized);
      break;
    case 3:
      SetWindowState(wsMaximized);
      break;
    default:
      break;
  }

  if (UiLanguageCode.empty()) UiLanguageCode = Panel6->Caption() == "Drives and folders" ? "en" : "nl";
  Application->SetHelpFile(FProgramDir + (UiLanguageCode == "nl" ? "help/nl" : "help/en"));

  const std::string lockedList = FileExists(FAppDir + "skipsearch.ini") ? FAppDir + "skipsearch.ini"
                                                                        : FProgramDir + "skipsearch.ini";
  FSkipLockedFolders = FileExists(lockedList);
  FillHistory();
  FThumbCacheFolder = FUsbMode ? FAppDir + "Thumbcache" : UserCacheFolder() + "Thumbcache";

  FEditorPath = FormSettings->JPGEdit->Text();
  P_OwnEditor->SetVisible(!FEditorPath.empty() && FileExists(FEditorPath));
  P_OwnEditor->SetCaption(_("Open with: ") + ExtractFileName(FEditorPath));
  Timer1->SetInterval(unsigned(FSlideDelay * 1000 + FSlideExtraMs));

  M_Tree->SetChecked(!ZqBrowsePanel->Down());
  M_Favorites->SetChecked(ZqFavoriteslist->Down());
  M_Strechsmaller->SetChecked(ZqStretchsmaller->Down());
  M_Fitlargertoviewer->SetChecked(ZqFitInScreen->Down());
  PanelTopButtons->SetVisible(M_Buttons->Checked());
  PanelListOptions->SetVisible(M_Filelistbar->Checked());
  StatusBar1->SetVisible(M_Statusbar->Checked());
  GotoDesktop->SetEnabled(DirectoryExists(FDesktopFolder));
  GotoMyDocuments1->SetEnabled(DirectoryExists(FDocumentsFolder));

  PanelDelayButtons->SetVisible(FormSettings->ChB_ShowDelay->Checked());
  ZqSpeedButton1->SetVisible(FormSettings->Chb_CopyButton->Checked());
  Zq_Shotgraph->SetVisible(FormSettings->CB_Shotgraph->Checked());
  ZqPrint->SetVisible(FormSettings->CB_PrintButton->Checked());
  ZqRotate->SetVisible(FormSettings->ChB_RotateButton->Checked());
  Zq_Paperclip->SetVisible(FormSettings->CB_ShowCameraBttn->Checked());
  ZqImport->SetVisible(FormSettings->ChB_AddImportButton->Checked());
  ZqSortmenu->SetVisible(FormSettings->CB_FileSort->Checked());
  ListBox1->SetDoubleBuffered(true);
  PanelListOptions->SetDoubleBuffered(true);

  CreateDummyFadeFromPicture();
  ReadEquivalentData();
  if (FSkipLockedFolders) {
    try {
      if (GetFileSizeByName(lockedList) <= kMaxEquivalentFileSize) FLockedFolders->LoadFromFile(lockedList);
    } catch (const Exception&) {
      FLockedFolders->Clear();
    }
  }
  if (FWebFolder.empty()) FWebFolder = FAppDir + "Kivo e-mail images";
  ZqSlideShow->SetHint(_("Full screen Slide show - F8"));
  InitExtensions();

  LoadFavorites();
  return true;
}

void TForm1::placeHistogramWindow() {
  if (!HistogramForm) return;
  TPoint origin = ScrollBox1->ClientOrigin();
  HistogramForm->SetLeft(origin.X + ScrollBox1->Width() - HistogramForm->Width());
  HistogramForm->SetTop(origin.Y);
}

// ===========================================================================
// Appearance
// ===========================================================================
void TForm1::SetAppearence() {
  SetColor(ZqSortmenu->Color());
  PanelGauge->SetColor(ZqSortmenu->Color());
  PanelThumbHolder->SetColor(ZqSortmenu->ShadowColor());
  const bool grey = FListColorMode == 0;
  PanelTopButtons->SetColor(grey ? ZqSortmenu->Color() : clBtnFace);
  const TColor listColor = grey ? clBtnFace : clWindow;
  QzDirTree211->SetColor(listColor);
  TreeView1->SetColor(listColor);
  ListBox1->SetColor(listColor);
  ListBox2->SetColor(listColor);
}

void TForm1::ToggleMainMenus(bool Show) {
  TMenuItem* root = MainMenuXP1->Items();
  for (int i = 0; i < root->Count(); ++i) root->Items(i)->SetVisible(Show);
}

// ===========================================================================
// Extension lists and the equivalence list
// ===========================================================================
void TForm1::InitExtensions() {
  FKnownExtList->Clear();
  FImageExtList->Clear();
  FExtensionFilter.clear();
  if (FileFormatList) {
    FileFormatList->GetExtensionList(*FKnownExtList);
    FileFormatList->GetExtensionList(*FImageExtList);
  }
  for (int i = 0; i < FImageExtList->Count(); ++i) {
    const std::string ext = FImageExtList->Strings(i);
    FExtensionFilter += "." + ext + " ";
    FKnownExtList->SetStrings(i, "." + UpperCase(ext));
    FImageExtList->SetStrings(i, "." + UpperCase(ext));
  }
  for (int i = 0; i < FAssociatedList->Count(); ++i) FKnownExtList->Add(FAssociatedList->Strings(i));
  FKnownExtList->Sort();
}

bool TForm1::ReadEquivalentData() {
  const std::string listFile = FAppDir + "cam_equivalent.txt";
  const std::string shipped = FindNameNoCase(FProgramDir, "cam_equivalent.kv2");
  if (!FileExists(listFile) && !shipped.empty() && GetFileSizeByName(shipped) <= kMaxEquivalentFileSize) {
    try {
      // Only while there is still no list: another program may have saved one meanwhile.
      ChangeListFile(listFile, [&](TStringList& lines) {
        if (FileExists(listFile)) return false;
        lines.LoadFromFile(shipped);
        return true;
      });
    } catch (const Exception&) {
      // A copy that cannot be made leaves the list empty.
    }
  }
  Editequivalentlist1->SetEnabled(true);
  FEquivalentList->Clear();
  if (FileExists(listFile) && GetFileSizeByName(listFile) <= kMaxEquivalentFileSize) {
    TStringList lines;
    try {
      lines.LoadFromFile(listFile);
    } catch (const Exception&) {
      lines.Clear();
    }
    std::string block;
    for (int i = 0; i < lines.Count(); ++i) {
      const std::string& line = lines.Strings(i);
      if (line.empty() || line[0] == ';') continue;
      if (SameText(line, "[_END]")) {
        const std::string upper = UpperCase(block);
        if (upper.find("[MAKE]") != std::string::npos && upper.find("[MODEL]") != std::string::npos &&
            upper.find("[REAL_LENS]") != std::string::npos && upper.find("[35MM_EQUIVALENT]") != std::string::npos)
          FEquivalentList->Add(block);
        block.clear();
      } else if (!SameText(line, "[_START]")) {
        block += line;
      }
    }
  }
  return FEquivalentList->Count() >= 4;
}

// ===========================================================================
// Painting, resizing, closing
// ===========================================================================
void TForm1::FormPaint(TObject* /*Sender*/) {
  FSuspendUpdates = false;
  // The window system paints a window once it has placed and sized it: the rest of the
  // first showing runs right after this paint.
  if (firstShowPending_ && TimerFirstShow->Interval() != kFirstShowAfterPaintMs) {
    TimerFirstShow->SetInterval(kFirstShowAfterPaintMs);
    TimerFirstShow->SetEnabled(true);
  }
}

void TForm1::FormResize(TObject* /*Sender*/) {
  UpdateScreenSaverInhibit();
  if (FSuspendUpdates) return;
  if (FormThumbSpy && FormThumbSpy->Visible()) FormThumbSpy->Close();
  HideExifLabels();
  if (HistogramForm && !HistogramForm->Visible()) placeHistogramWindow();
  if (FCurrentFile.empty()) return;
  if (FAnimatedGif) {
    OpenThePicture(FCurrentFile);
  } else if (FPlaceholderShown) {
    CenterImage(Image1->Height(), Image1->Width());
  } else if (!IsJPGLargerScale()) {
    if (ZqFitInScreen->Down()) {
      RescaleImage(FSourcePicture.get(), Image1->Picture(), ScrollBox1->Height(), ScrollBox1->Width(),
                   !Smoothstrech->Checked(), FormFilterSelect->RG_Resample->ItemIndex());
      CenterImage(Image1->Picture()->Height(), Image1->Picture()->Width());
    } else {
      FSourcePicture->Assign(Image1->Picture()->Bitmap());
      CenterImage(Image1->Height(), Image1->Width());
    }
    CenterLarge();
    ShowExifLabel();
  }
}

void TForm1::FormClose(TObject* /*Sender*/, TCloseAction& Action) {
  // A window closed before its first showing ended fills no list and asks nothing any
  // more (the events handled below would let it go on).
  firstShowPending_ = false;
  TimerFirstShow->SetEnabled(false);
  if (FBuildingThumbs) {
    FBuildingThumbs = false;
    Application->ProcessMessages();
  }
  if (FBackgroundThumbs) {
    FBackgroundThumbs = false;
    ShowIt(_("Aborting background thumbnail creation, closing application..............."));
    Application->ProcessMessages();
  }
  if (Timer1->Enabled()) {
    Timer1->SetEnabled(false);
    Application->ProcessMessages();
  }
  if (ExifInfoForm && ExifInfoForm->Visible()) {
    ExifInfoForm->Close();
    Application->ProcessMessages();
  }
  if (FFullScreen) {
    // The first close request in full screen only leaves full screen.
    FullScreen();
    Action = caNone;
    return;
  }
  Application->ProcessMessages();
  WriteUserSettingsToReg();
  FSuspendUpdates = true;
  if (screenSaver_) screenSaver_->SetInhibited(false);
  if (FUsbMode && ShowProgressForm) ShowProgressForm->Close();
}

void TForm1::UpdateScreenSaverInhibit() {
  const bool wanted = FScreensaver && (FFullScreen || FSlideShowMode || FSlideRunning);
  if (!wanted && !screenSaver_) return;
  if (!screenSaver_) screenSaver_ = std::make_unique<TScreenSaverInhibitor>("Kivo2", _("Showing pictures"));
  screenSaver_->SetInhibited(wanted);
}

// ===========================================================================
// File commands
// ===========================================================================
void TForm1::Open1Click(TObject* /*Sender*/) {
  std::string masks;
  for (int i = 0; i < FImageExtList->Count(); ++i) {
    if (!masks.empty()) masks += ";";
    masks += "*" + LowerCase(FImageExtList->Strings(i));
  }
  OpenPictureDialog1->SetFilter(_("Pictures") + "|" + (masks.empty() ? std::string("*.*") : masks) + "|" + _("All") +
                                "|*.*");
  // The dialog starts in the folder shown: the shown picture's, else the tree's (a name
  // kept from the last choice would take it to that one's folder).
  OpenPictureDialog1->SetFileName("");
  OpenPictureDialog1->SetInitialDir(FCurrentFile.empty() ? QzDirTree211->SelectedPath() : ExtractFilePath(FCurrentFile));
  if (!OpenPictureDialog1->Execute()) return;
  const std::string fileName = OpenPictureDialog1->FileName();
  try {
    ImageCopyForm->Image1->Picture()->LoadFromFile(fileName);
  } catch (const Exception& e) {
    ShowMessage(e.Message());
    return;
  }
  ImageCopyForm->SetCaption(fileName);
  if (!ImageCopyForm->Visible()) ImageCopyForm->Show();
}

void TForm1::Close1Click(TObject* /*Sender*/) {
  ZqAutonext->SetDown(false);
  FSlideRunning = false;
  Timer1->SetEnabled(false);
  FSuspendUpdates = true;
  Close();
}

void TForm1::Types1Click(TObject* /*Sender*/) {
  AboutBox->FCommentText = FExtensionFilter;
  AboutBox->VersionLabel->SetCaption(FVersionText);
  AboutBox->ShowModal();
}

void TForm1::Quickconfigure1Click(TObject* /*Sender*/) {
  FormSettings->PlaceAssociatedInListbox();
  FormSettings->PageControl1->SetActivePage(FormSettings->TabSheet2);
  FormSettings->ShowModal();
  InitFormSettings();
}
