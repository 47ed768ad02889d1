#pragma once
// The main window: the program's shared state, its components (folder tree, favorites
// and file list on the left, the picture area on the right, the button bars, the menus
// and the status bar), its creation, first showing, painting, resizing and closing, the
// message panel and the other small helpers, and the settings store.
//
// The unit is split by topic: Unit1_Layout.cpp and Unit1_Menus.cpp build the components,
// Unit1_Lifecycle.cpp the window's stages, Unit1_Messages.cpp the message panel, overlay,
// caption and cursor helpers, Unit1_Shell.cpp the shell and file-type helpers,
// Unit1_Settings.cpp the settings store, Unit1_Display.cpp the picture display,
// Unit1_FileList.cpp the file list, Unit1_Commands.cpp the command handlers.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/PictureLists.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"

class TStringList;
class TTreeNode;
class TTreeView;
class TMenuItem;
class TPopupMenu;
class TPanel;
class TSplitter;
class TListBox;
class TImage;
class TLabel;
class TCheckBox;
class TRichEdit;
class TStatusBar;
class TProgressBar;
class TGauge;
class TTimer;
class TSpinEdit;
class TOpenDialog;
class TGIFImage;
class TScrollBox;
class TZqSpeedButton;
class TZqButton;
class TQzDirTree21;
class TZephFade;
class TMainMenuXP;
class TEvScrollBox;
class TKpFramePanel;
class TZrkSound;
class TScreenSaverInhibitor;
class TCorvoTwain;
class TMemoryStream;

// Program-wide flags of the main window unit.
extern bool StopRequested;       // Esc asked a running batch file operation to stop
extern bool ActionRunning;       // a batch file operation runs
extern int MouseOverItem;        // list entry framed under the mouse, -1 for none
extern bool FolderSearchActive;  // a folder search runs

// The screen cursor table's custom cursors (drawn in code at creation).
constexpr TCursor crZoomIn = 3, crZoomOut = 4, crBrowse = 5;

// The shell's answers of RunShellCommand: above 32 is success.
constexpr int SE_ERR_FNF = 2;       // the file was not found
constexpr int SE_ERR_NOASSOC = 31;  // no program is associated with the file type
constexpr int SE_OK = 42;           // started
constexpr int SW_SHOWNORMAL = 1;

// The build number of a four-part version: major * 1000000 + minor * 10000 + release * 100
// + build (each of minor, release and build below 100), so that 1.1.0.5 gives 1010005 and
// versions compare in their order. Stores of older builds hold the parts' digits run
// together in 16 bits (1.1.0.5 as 1105); such a value is always below 1000000.
int32_t EncodeBuildNumber(int major, int minor, int release, int build);
// True when a stored "Version" is of the same build as buildNumber (an old-style value
// never is).
bool SameBuild(int32_t storedVersion, int32_t buildNumber);

// One stored setting of the settings store: its name, kind and default, where its value
// comes from when the settings are saved and where a loaded value goes.
enum class TSettingKind { Bool, Integer, Text };
struct TSettingValue {
  int Int = 0;       // integers, and booleans as 0 or 1
  std::string Text;  // texts
  friend bool operator==(const TSettingValue&, const TSettingValue&) = default;
};
struct TSettingRow {
  std::string Name;
  TSettingKind Kind = TSettingKind::Bool;
  std::function<TSettingValue()> Default;  // the designed state or the preset of the load
  std::function<TSettingValue()> Save;     // the value written at exit
  std::function<void(const TSettingValue&)> Load;
  // A step that follows the row's read, whether the store held the value or not.
  std::function<void(bool fromIni)> AfterLoad;
};

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* AOwner);
  ~TForm1() override;

  // ===================================================================
  // Components
  // ===================================================================
  TMainMenuXP* MainMenuXP1 = nullptr;
  // Top-level menus.
  TMenuItem *File1 = nullptr, *Edit1 = nullptr, *View1 = nullptr, *Picture1 = nullptr, *Folders1 = nullptr,
            *Paperclip1 = nullptr, *Tools1 = nullptr, *Slideshow1 = nullptr, *Options1 = nullptr,
            *Help1 = nullptr;
  // File.
  TMenuItem *Open1 = nullptr, *Search1 = nullptr, *SaveasJPG1 = nullptr, *M_Email1 = nullptr,
            *Compresscompleettree1 = nullptr, *Importfrommemorycardorfolder2 = nullptr,
            *GetimageTwainscannerwebcametc1 = nullptr, *Print1 = nullptr, *CreateUSBKivo21 = nullptr,
            *Close1 = nullptr;
  // Edit.
  TMenuItem *Selectall1 = nullptr, *Deletefile1 = nullptr, *FileDatetoExifdate1 = nullptr,
            *Clearthumbscachefolder1 = nullptr;
  // View.
  TMenuItem *M_Tree = nullptr, *M_Favorites = nullptr, *Onoff1 = nullptr, *M_Buttons = nullptr,
            *M_Filelistbar = nullptr, *M_Statusbar = nullptr, *M_FloatingButtons = nullptr,
            *Showallfiles = nullptr, *Filesort1 = nullptr, *M_ThumbsSpy = nullptr, *M_ShowExifinspy = nullptr,
            *M_IncludeExifhint = nullptr, *Exifoverlay = nullptr, *Imageinfo1 = nullptr, *M_Exif_info = nullptr,
            *Histogram2 = nullptr, *Zoom1 = nullptr, *Reload1 = nullptr;
  // Picture.
  TMenuItem *M_Fitlargertoviewer = nullptr, *M_Strechsmaller = nullptr, *M_Centerlarge = nullptr,
            *JPGscale1 = nullptr, *M_Autoscale = nullptr, *N111 = nullptr, *N121 = nullptr, *N141 = nullptr,
            *N181 = nullptr, *Smoothstrech = nullptr, *SetFilter1 = nullptr, *M_Preview = nullptr,
            *RotateFlip1 = nullptr, *RotateRight1 = nullptr, *RotateLeft1 = nullptr, *Upsidedown1 = nullptr,
            *Fliphorizontally1 = nullptr, *Flipvertically1 = nullptr, *JPGrotatesettings1 = nullptr,
            *M_Fastbatchrotate = nullptr, *M_JPGTRANPerfect = nullptr, *M_Losslesbackup = nullptr,
            *ChangeAspectRatio1 = nullptr, *Showaspectratiocurrentimage1 = nullptr, *Imagetoclipboard1 = nullptr,
            *Wallpaper1 = nullptr, *WallpaperCenter = nullptr, *WallpaperTiled1 = nullptr,
            *WallpaperStreched1 = nullptr, *showold1 = nullptr, *RemoveWallpaper1 = nullptr, *Compare1 = nullptr,
            *Compare2 = nullptr, *M_Playmemo = nullptr;
  // Folders.
  TMenuItem *M_AddFavorite = nullptr, *FindFolder1 = nullptr, *GotoDesktop = nullptr, *GotoMyDocuments1 = nullptr,
            *M_Recursive = nullptr;
  // Paperclip.
  TMenuItem *M_Addfilestopapercli1 = nullptr, *Removefilesfrompaperclip1 = nullptr, *M_Clearpaperclip1 = nullptr,
            *TreeToPaperclip = nullptr, *M_OpenShow = nullptr, *SortTool1 = nullptr;
  // Tools.
  TMenuItem *Plotfocallengthusage1 = nullptr, *Checklenslengthusage1 = nullptr, *Editequivalentlist1 = nullptr,
            *CreateallthumbsforSelTree = nullptr, *Stopbackgroundcreation1 = nullptr;
  // Slide show.
  TMenuItem *M_Start1 = nullptr, *M_Showfilename = nullptr, *M_BlackSlideshowBG = nullptr, *M_Movemouse = nullptr,
            *SetFading1 = nullptr;
  // Options.
  TMenuItem *M_Settings = nullptr, *Quickconfigure1 = nullptr, *M_UseTumbCache = nullptr,
            *M_CacheonlyFixedDiskfiles = nullptr, *Settings1 = nullptr;
  // Help.
  TMenuItem *M_Help = nullptr, *HelpforStandAloneversions1 = nullptr, *GotoHomepage1 = nullptr, *Donate1 = nullptr,
            *M_Types = nullptr;

  // Popup menus and their items.
  TPopupMenu* PopupImage = nullptr;
  TMenuItem *Fitlargeronoff1 = nullptr, *Strechsmalleronoff1 = nullptr, *Invert1 = nullptr, *Grayscale1 = nullptr,
            *RunGifImage1 = nullptr, *Reloadimage1 = nullptr, *Imagetoclipboard2 = nullptr,
            *Exifoverlayonoff1 = nullptr, *Exifinfo1 = nullptr, *Histogram1 = nullptr,
            *ogglePixelmagnifier1 = nullptr, *Playmemo1 = nullptr, *FloatingButtons1 = nullptr;
  TPopupMenu* PopupListbox = nullptr;
  TMenuItem *P_StartProg = nullptr, *P_OwnEditor = nullptr, *OpenWith1 = nullptr, *Browsetoopen1 = nullptr,
            *P_History1 = nullptr, *P_History2 = nullptr, *P_History3 = nullptr, *P_History4 = nullptr,
            *P_History5 = nullptr, *P_History6 = nullptr, *P_History7 = nullptr, *P_History8 = nullptr,
            *AddToPaperclip = nullptr, *Removefromshow = nullptr, *CopyFiles1 = nullptr, *CutFiles1 = nullptr,
            *PasteMovefiles1 = nullptr, *P_Deletefile = nullptr, *Renamefile1 = nullptr, *BatchReplace = nullptr,
            *P_Closelistgoto = nullptr, *Pastememorycardfiles1 = nullptr, *ThumbsSpy = nullptr,
            *Rightclickselect = nullptr;
  TPopupMenu* PopupQZDir = nullptr;
  TMenuItem *Newfolder1 = nullptr, *Renamefolder1 = nullptr, *Deletefolder1 = nullptr, *Pastefiles1 = nullptr,
            *Pastecardfoldercontents = nullptr, *AddfoldertoFavorites = nullptr, *P_FindFolder = nullptr,
            *Foldersizes1 = nullptr, *Copyandcompresscompletetree1 = nullptr;
  TPopupMenu* PopupSort = nullptr;
  TMenuItem *PoNone = nullptr, *PoName = nullptr, *PoNameNo = nullptr, *PoSize = nullptr, *PoDate = nullptr,
            *PoPhotodate = nullptr, *PoSortdescend = nullptr;
  TPopupMenu* PopupTreeview1 = nullptr;
  TMenuItem *P_SaveClipAsShow = nullptr, *P_PasteAsShow = nullptr, *P_PasteInShow = nullptr,
            *P_PasteClipInShow = nullptr, *EditShow1 = nullptr, *RenameNode = nullptr, *P_AddShowFolder = nullptr,
            *P_DeleteShow = nullptr, *P_DeleteShowFolder = nullptr, *P_ClearPaperclip = nullptr,
            *Sorttool2 = nullptr;
  TPopupMenu* PopupZephFade = nullptr;
  TMenuItem *Floatingbuttons2 = nullptr, *Closeslideshow1 = nullptr;
  TPopupMenu* PopupZoom = nullptr;
  TMenuItem *N101 = nullptr, *N331 = nullptr, *N501 = nullptr, *ZQTofit1 = nullptr, *N1001 = nullptr,
            *N1501 = nullptr, *N2001 = nullptr, *N3001 = nullptr, *N4001 = nullptr, *N5001 = nullptr,
            *tofit1 = nullptr;
  TPopupMenu* PopupButtonRotate = nullptr;
  TMenuItem *RotateRight2 = nullptr, *RotateLeft2 = nullptr, *UpsideDown2 = nullptr, *FlipHorizontally2 = nullptr,
            *FlipVertically2 = nullptr;
  TPopupMenu* PopupEmail = nullptr;
  TMenuItem *Emailcenter1 = nullptr, *Sendselectedunmodified1 = nullptr, *XPCopyCompressTree1 = nullptr;
  TPopupMenu* PopupGetimage = nullptr;
  TMenuItem *Importfrommemorycardorfolder1 = nullptr, *Aquireimagetwainscannerebcam1 = nullptr;

  // The top button bar.
  TPanel* PanelTopButtons = nullptr;
  TZqSpeedButton *ZqMainMenu = nullptr, *ZqBrowsePanel = nullptr, *ZqFavoriteslist = nullptr,
                 *ZqTumblist = nullptr, *Zq_CustomShow = nullptr, *ZqPrevious = nullptr, *ZqNext = nullptr,
                 *ZqAutonext = nullptr, *ZqSlideShow = nullptr, *ZqFolderUp = nullptr, *ZqFolderDown = nullptr,
                 *ZqSpeedButton5 = nullptr, *ZqFitInScreen = nullptr, *ZqStretchsmaller = nullptr,
                 *ZqZoom = nullptr, *ZqRotate = nullptr, *ZqSpeedButton1 = nullptr, *Zq_Shotgraph = nullptr,
                 *ZqPrint = nullptr, *Zq_Paperclip = nullptr, *ZqImport = nullptr, *ZqSortmenu = nullptr,
                 *ZqSoundbutton = nullptr;
  TPanel* PanelDelayButtons = nullptr;
  TZqSpeedButton *ZqSpeedDown = nullptr, *ZqSpeedUp = nullptr;
  TLabel* LabelDelay = nullptr;  // the slide delay in seconds
  TLabel* Label9 = nullptr;      // digit of the JPEG decode scale
  TImage* Usb_Image = nullptr;   // the stand-alone mark
  TPanel* PanelGauge = nullptr;  // "stop ": shown while thumbnails are built
  TGauge* Gauge1 = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  TProgressBar* BGBuildingAvi = nullptr;  // runs while thumbnails are made in the background

  // The navigation side: folder tree or paperclip and shows tree, then the file list.
  TPanel* PanelBrowse = nullptr;
  TPanel* PanelTrees = nullptr;
  TPanel* Panel6 = nullptr;  // "Drives and folders" / "Paperclip and shows"
  TQzDirTree21* QzDirTree211 = nullptr;
  TTreeView* TreeView1 = nullptr;
  TSplitter* Splitter2 = nullptr;
  TPanel* PanelListOptions = nullptr;  // the file-list button bar
  TZqSpeedButton *ZqShowAll = nullptr, *ZqListBoxSortmenu = nullptr, *ZqSpeedButton2 = nullptr,
                 *ZqSpeedButton3 = nullptr;
  TPanel* PanelCustomLists = nullptr;  // shown while a search list replaces the folder's files
  TPanel* PanelListCaption = nullptr;
  TImage* ImageSearch1 = nullptr;
  TZqSpeedButton* Zq_CloseList = nullptr;
  TListBox* ListBox1 = nullptr;  // the file list
  TSplitter* Splitter1 = nullptr;

  // The favorite folders.
  TPanel* PanelFavorites = nullptr;
  TZqButton *ZqAdFavorite = nullptr, *ZqRemFavorites = nullptr, *ZqCloseFavorites = nullptr;
  TListBox* ListBox2 = nullptr;
  TCheckBox* ChB_CloseOnClick = nullptr;  // close the favorites when clicked outside them
  TSplitter* Splitter3 = nullptr;

  // The picture side.
  TPanel* PanelThumbHolder = nullptr;
  TPanel* PanelScrollBandShrtCut = nullptr;
  TEvScrollBox* ScrollBox1 = nullptr;  // the picture area
  TImage* Image1 = nullptr;
  TZephFade* ZephFade1 = nullptr;
  TRichEdit* RichEdit1 = nullptr;  // text files shown in the viewer
  TLabel *LabelShowTextBack = nullptr, *LabelShowTextTop = nullptr;  // the message panel
  TLabel *ExifLabelBack = nullptr, *ExifLabelFront = nullptr;        // the EXIF overlay
  TImage* FalseImage = nullptr;     // placeholder of a file that is no picture
  TImage* AsociateImage = nullptr;  // placeholder of an associated file
  TStatusBar* StatusBar1 = nullptr;

  // The debug panel (Ctrl+D with the marker file "debug.txt").
  TKpFramePanel* KpFramePanel1 = nullptr;
  TLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label10 = nullptr;
  TCheckBox *Ch_DebugLabels = nullptr, *Ch_Debug_newThumb = nullptr, *CheckBox2 = nullptr, *ChB_GDI = nullptr,
            *CB_DebugShows = nullptr;
  TSpinEdit* SpinEdit1 = nullptr;  // size of the cached thumbnails

  // Non-visual components.
  TTimer* Timer1 = nullptr;       // the slide timer
  TTimer* TimerShowIt = nullptr;  // hides the message panel
  // Ends the first showing once the window system has placed and painted the window.
  TTimer* TimerFirstShow = nullptr;
  TOpenDialog* OpenDialog1 = nullptr;         // chooses a program
  TOpenDialog* OpenPictureDialog1 = nullptr;  // File, Open
  TZrkSound* ZrkSound1 = nullptr;
  TCorvoTwain* Twain = nullptr;  // the scanner component

  // ===================================================================
  // Shared state
  // ===================================================================
  // The folder of the running program (read-only companions and marker files), with '/'.
  std::string FProgramDir;
  std::string FAppDir;   // where the program keeps its writable files, with a trailing '/'
  std::string FAppName;  // "Kivo2"
  int32_t FBuildNumber = 0;
  int32_t FStoredVersion = 0;
  std::string FVersionText;
  std::string FDesktopFolder, FDocumentsFolder;
  std::string FLastPath;  // the current folder
  std::string FCurrentFile;
  std::string FThumbCacheFolder;
  std::string FWebFolder;
  std::string FEditorPath;
  std::string FExtensionFilter;
  std::unique_ptr<TStringList> FKnownExtList, FImageExtList, FAssociatedList, FEquivalentList, FLockedFolders;
  std::unique_ptr<TStringList> FWorkFiles, FNamesBefore, FNamesAfter, FTreeFiles;
  // The lists following the rename, move or deletion that runs (BeginListRenames to
  // CheckForRenamedFiles); none between commands.
  std::unique_ptr<TListRenames> FListRenames;
  bool FSkipLockedFolders = false;
  std::unique_ptr<TPicture> FSourcePicture, FDisplayPicture, FFadeFromPicture;
  bool FSuspendUpdates = true;  // from creation until the first paint
  bool FFullScreen = false, FSlideShowMode = false, FSlideRunning = false, FFadeRunning = false;
  bool FScreensaver = false;
  bool FUsbMode = false;
  int16_t FListColorMode = 0;
  int32_t FWinStatusMain = 3, FWinStatusTop = 0, FWinStatusLeft = 0, FWinStatusWidth = 0, FWinStatusHeight = 0;
  int32_t FSlideDelay = 2;
  int16_t FSlideExtraMs = 0;
  int32_t FZoomPercent = 100;
  int16_t FFitMargin = 20;
  bool FIsWinNT = true;
  TCursor FDefaultCursor = crDefault;
  bool FBuildingThumbs = false, FBackgroundThumbs = false;
  bool FStopSearch = false;  // asks the file search to end

  // View, thumbnail and tool settings (loaded and saved by the settings store).
  int32_t FThumbSize = 0, FThumbColumns = 2, FThumbsPos = 1;
  int32_t FSortMode = 1;
  bool FPreview = false, FBrowseMode = false, FExactRescale = false, FAlignMenu = true;
  bool FEquivalentCalc = false, FCompactExif = false;
  std::string FDigiFactor = "8,2", FFilmFactor = "35";
  std::string FPrefix, FCardFolder;
  bool FMagnifierActive = false, FSavedThumbsVisible = false, FSavedFitState = false;
  int32_t FCustomWebSize = 430, FSmallWidth = 3, FSmallCompression = 3;
  bool FWebSettings = false, FStretchSmall = false, FFilter = true, FAnalizeSubs = false;

  // State of the picture road, the file list, the thumbnails, the shows and the drags.
  std::string FScaleText;
  int32_t FImageWidth = 0, FImageHeight = 0, FFitWidth = 0, FFitHeight = 0;
  bool FFitError = false, FAnimatedGif = false, FPlaceholderShown = false;
  // The GIF image that Image1's picture holds and animates (Image1's picture owns it).
  TGIFImage* FGifImage = nullptr;
  std::string FCurrentTreePath, FPreviousFolder, FFolderBeforeShows, FSavedFolderPath;
  TTreeNode* FStartNode = nullptr;
  std::string startNodePath_;  // the folder of FStartNode, to find it again after a reload
  int32_t FStartLevel = 0;
  int32_t FThumbImageSize = 45, FThumbPanelSize = 55, FThumbGapX = 3, FThumbGapY = 3, FThumbX = 0, FThumbY = 0;
  bool FThumbsVertical = false;
  TScrollBox* FThumbScrollBox = nullptr;
  int32_t FLastHoverThumb = -1;
  int16_t FFileAction = 10;
  int32_t FShowNodeKind = -1, FShowParentIndex = -1;
  TTreeNode* FShowNode = nullptr;
  std::string FShowFile, FShowFolder;
  bool FTreeDragging = false, FDragging = false;
  std::string FDragNodeName, FDragNodePath, FDragSourceFolder;
  int32_t FDropIndex = -1, FDragStartX = 0, FDragStartY = 0;

  // ===================================================================
  // Stages of the window
  // ===================================================================
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormPaint(TObject* Sender);
  void FormResize(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  // The rest of the first showing: the start folder, the file list, the first picture,
  // the thumbnails and the questions, once the window has its final size.
  void TimerFirstShowTimer(TObject* Sender);
  // The first showing waits for its window to be on the screen.
  bool FirstShowPending() const;
  // The application's message hook: swallows screen-saver and monitor power-off requests
  // while FScreensaver is set.
  void AppMessage(TMsg& Msg, bool& Handled);

  // File, Open: a picture into the copy window. File, Close. The supported types.
  void Open1Click(TObject* Sender);
  void Close1Click(TObject* Sender);
  void Types1Click(TObject* Sender);
  // The preferences dialog on its quick-configure page (also offered after an update).
  void Quickconfigure1Click(TObject* Sender);
  // The resample-filter and fade-style palettes, opened modally at the picture area's
  // top-left corner (the filter palette not while a fade shows).
  void SetFilter1Click(TObject* Sender);
  void SetFading1Click(TObject* Sender);

  void GetSpecialPaths();
  // The colours of the window, the lists and the bars (by FListColorMode).
  void SetAppearence();
  // Shows or hides every top-level item of the main menu.
  void ToggleMainMenus(bool Show);
  // Rebuilds FExtensionFilter, FImageExtList and FKnownExtList from the format registry
  // and FAssociatedList.
  void InitExtensions();
  // Loads FEquivalentList from "cam_equivalent.txt" (made from the shipped
  // "cam_equivalent.kv2" when missing); True when it holds at least 4 entries.
  bool ReadEquivalentData();
  // FVersionText and FBuildNumber from the program's version.
  void GetFileVersStrs();
  // Inhibits the desktop's screen saver while FScreensaver is set and a picture is shown
  // full screen or in a show; releases it otherwise. Called when those states change.
  void UpdateScreenSaverInhibit();

  // ===================================================================
  // Message panel, EXIF overlay, caption and small helpers
  // ===================================================================
  void ShowIt(const std::string& Text, bool AutoHide = false);
  void ShowItShow();
  void ShowItHide();
  void TimerShowItTimer(TObject* Sender);
  void ShowExifLabel();
  void HideExifLabels();
  // The window caption for a folder path, with the recursive-browsing start folder when
  // M_Recursive is checked (named apart from the plain caption setter SetCaption).
  void SetCaptionPath(const std::string& Path);
  // The text file beside the current picture: its folder, its name, ".txt".
  std::string ExifTXTName() const;
  void HourGlassCursor();
  void RestoreCursor();
  // Opens File with its program (a document) or starts it (a program) with Parameters in
  // Folder; returns SE_ERR_NOASSOC, SE_ERR_FNF or another value of 32 and below on
  // failure, a value above 32 when it started.
  int RunShellCommand(const std::string& File, const std::string& Parameters, const std::string& Folder,
                      int ShowMode);
  // Opens a document with its program (RunShellCommand) and says so when it cannot.
  void OpenWithShell(const std::string& File);
  // The registered program of a file type (an extension with its dot): a description in
  // Info and the program's file name in ProgramName; both "n/a" when there is none.
  void GetAssociationInfo(const std::string& Extension, std::string& Info, std::string& ProgramName);

  // ===================================================================
  // Settings store
  // ===================================================================
  void GetUserSettingsFromReg();
  // Writes every setting; a failure is reported once (returns false then).
  bool WriteUserSettingsToReg();
  // The desktop session asks for the program's data while the program runs on: the
  // settings are written as a close writes them.
  void SaveSettingsForSession();
  // The desktop session ends the program: the window closes as when the user closes it
  // (full screen is left first), which saves the settings, and the program ends even
  // when the close is refused.
  void EndOfSession();
  void StringToAssociatedList(const std::string& Text);
  void InitFormSettings();
  // The stand-alone ini file beside the program.
  std::string UsbIniFileName() const;
  // The stored settings in the order they are loaded (the main window's and those of the
  // other windows, which must all exist), and the order of the names as they are saved.
  std::vector<TSettingRow> SettingsTable();
  static std::vector<std::string> SettingsSaveOrder();

  // ===================================================================
  // Picture display (Unit1_Display.cpp)
  // ===================================================================
  // Loads and shows a file: a picture fitted, rescaled or centred by the view settings,
  // a text file as text, an associated file or an unreadable one as a placeholder; fills
  // the status bar. A name that is not a full path is taken in the current folder.
  void OpenThePicture(const std::string& FileName);
  // The file list's click: opens the selected entry.
  void ListBox1Click(TObject* Sender);
  // Selects and opens the first entry (when there is one); rebuilds the thumbnails.
  void ResetListbox1();
  // Clears the view and forgets the shown picture and its sound.
  void EmptyAllImages();
  // The extension (upper-cased, with its dot) is one of the picture formats.
  bool IsImageFile(const std::string& FileName) const;
  // The extension is one of the user's associated (not decoded) types.
  bool IsAssociatedFile(const std::string& FileName) const;
  // A GIF file with more than one image; sets FAnimatedGif for a GIF file.
  bool IsAmimatedGif(const std::string& FileName);
  // The picture popup's GIF switch: starts or stops the shown GIF's animation at 100 %.
  void RunGifImage1Click(TObject* Sender);
  // Shows a ".txt" file as text when that option is on and no fade runs (true then);
  // otherwise hides the text view (false).
  bool ShowTextFile(const std::string& FileName, bool Fading);
  // The voice memo: the ".wav" file of the picture's name beside it, played when Play.
  void SoundExists(const std::string& FileName, bool Play);
  // The progress event of the picture being loaded.
  void ImageLoadProgress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                         const TRect& R, const std::string& Msg);
  // The JPEG decode scale of the picture being loaded, from the scale menu or from the
  // picture and area sizes; sets FScaleText and Label9.
  void ApplyJpegScale(TPicture* Picture);
  // Draws Source proportionally into the box (less the margin when UseMargin) as a new
  // bitmap held by Destination; FFitError tells when no fit could be made.
  void FitForWindow(TPicture* Source, TPicture* Destination, int BoxHeight, int BoxWidth, bool UseMargin);
  // The filtered fit of Source into the box (Filter as the filter palette numbers it:
  // 0 Box ... 5 Mitchell, 6 Lanczos3); a smaller picture keeps its size unless
  // "stretch smaller" is on. FastStretch uses the plain nearest-pixel stretch.
  void RescaleImage(TBitmap* Source, TBitmap* Destination, int BoxHeight, int BoxWidth, bool FastStretch,
                    int Filter);
  // The same for pictures: Source's bitmap into a bitmap that Destination then holds.
  void RescaleImage(TPicture* Source, TPicture* Destination, int BoxHeight, int BoxWidth, bool FastStretch,
                    int Filter);
  // The filter with which the tool windows (compression centre, print) resample.
  static constexpr int kMitchellPaletteIndex = 5;
  void CenterImage(int Height, int Width);
  void CenterLarge();
  // Inverts the shown bitmap's pixels.
  void InvertImage();
  void ResetStatusbar();
  // Brings the status bar in line with what is shown, after whatever changed it: the
  // place in the list as the list is now, the shown file's name (a rename changes it),
  // and no picture's details when no picture is shown. Runs whenever the program is idle.
  void StatusFollowsView();
  void FillStatusbar(const std::string& FileName, const std::string& LoadTimeText);
  // The place in the list, "3/12" (the first panel's text).
  std::string ListPlaceText() const;
  // A note in the first panel ("Locked"), kept there until the place in the list changes
  // or the status bar is filled afresh.
  void ShowStatusNote(const std::string& Note);
  std::string statusNote_, statusNotePlace_;

  // ===================================================================
  // File list (Unit1_FileList.cpp)
  // ===================================================================
  // Takes the folder tree's selection as the current folder; fills the list unless NoFill.
  void setWithQzDirPath(bool NoFill);
  // Lists the folder's files in the sort order and opens the first; nothing when the
  // folder is the current one.
  void FillTheListboxWithFiles(const std::string& Path);
  // The list's horizontal scroll extent: its widest entry plus 5 pixels.
  void SetListBoxHorzBar(TListBox* List);
  // The folder (with its trailing separator) contains a line of the locked-folder list.
  bool IsLockedFolder(const std::string& Folder) const;

  // ===================================================================
  // Command handlers (Unit1_Commands.cpp)
  // ===================================================================
  // Options, Preferences: the dialog on its first page, then the settings applied.
  void M_SettingsClick(TObject* Sender);
  // The sort items: the list's sort order from the checked item.
  void PoNoneClick(TObject* Sender);
  // Pops the sort menu up under the sort button.
  void Filesort1Click(TObject* Sender);
  // Opens each selected file with its associated program.
  void P_StartProgClick(TObject* Sender);
  // Opens the selected files in the user's editor.
  void P_OwnEditorClick(TObject* Sender);
  // The help file (or, with the debug panel, the to-do list).
  void M_HelpClick(TObject* Sender);
  void Search1Click(TObject* Sender);
  // E-mails the selected files as they are.
  void M_Email1Click(TObject* Sender);
  // The compression center for the selected files.
  void SaveasJPG1Click(TObject* Sender);
  void GotoDesktopClick(TObject* Sender);
  void GotoMyDocuments1Click(TObject* Sender);
  // Binds the menu items, buttons and lists of the organising commands.
  void bindOrganiseEvents();

  // ===================================================================
  // Routines the thumbnail, full-screen, slide-show, histogram and EXIF-window work
  // completes.
  // ===================================================================
  // The window's keys (it sees every key first).
  void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void FillHistory();
  void CreateDummyFadeFromPicture();
  void ZqTumblistClick(TObject* Sender);
  // Shows the selected file again (after the resample filter changed).
  void SmoothstrechClick(TObject* Sender);
  // Enters or leaves full screen.
  void FullScreen();
  // Reopens a JPEG decoded at a reduced scale when the area has grown past it.
  bool IsJPGLargerScale();
  // The EXIF summary of a file for the overlay (the facade's summary, a line a row).
  std::string ExifOverlayText(const std::string& FileName);
  // The EXIF window on its first page (Imageinfo1, Exifinfo1) or on the maker-specific
  // page (M_Exif_info): placed at the picture area, shown or hidden, filled for the
  // current picture.
  void Imageinfo1Click(TObject* Sender);
  void M_Exif_infoClick(TObject* Sender);
  // The folder-change event of the folder tree.
  void QzDirTree211DirChange(TObject* Sender, const std::string& SelectedPath);
  // Rebuilds the thumbnail panel of the list.
  void FillTheTumbsNow();
  // The thumbnail panel shows the list beside it (the same files in the same order).
  bool ThumbsShowTheList() const;
  // Highlights the current entry's thumbnail.
  void BlueThumb();
  // Paints Source centred into Destination on the fade background (with Draw), or leaves
  // only the background.
  void PaintZephFadeCanvas(TBitmap* Source, TBitmap* Destination, bool Draw, int Width, int Height);
  // Runs the fade from FFadeFromPicture to the shown picture.
  void FadePicture();
  // Image1's picture as a bitmap (empty without one).
  std::unique_ptr<TBitmap> ShownBitmap() const;
  // Draws the histogram of the shown picture into the histogram window.
  void ShowTheHistogram();
  // The EXIF window shows a file's metadata, or is emptied.
  void ShowExifWindowFile(const std::string& FileName);
  void ClearExifWindow();

  // ===================================================================
  // Thumbnail panel and cache (Unit1_Thumbs.cpp)
  // ===================================================================
  // The cache file of a picture: the cache folder, the CRC-32 of the picture's path in
  // 8 hexadecimal digits and ".jpg". Each cache file holds the path it was made for, so a
  // second path with the same checksum takes the next free name ("..._1.jpg" on).
  std::string ThumbNailName(const std::string& FileName);
  // True when the picture exists and its cache file was made from it as it is now (same
  // path, size and modification time) and is not empty.
  bool ValidThumbFileExists(const std::string& FileName);
  // Makes the thumbnail of a picture into Target (scaled to fit ThumbCacheSide) and, as
  // the cache options say, saves it as the picture's cache file. True when Target holds
  // a thumbnail.
  bool SaveAsJpgThumb(const std::string& FileName, TImage* Target, bool Always);
  // The thumbnail of a picture into Target: a file of the cache folder is its own
  // thumbnail, else its valid cache file is read, else one is made now (SaveAsJpgThumb
  // with Always). True when Target holds one; a file that cannot be read gives false.
  bool LoadThumbnail(const std::string& FileName, TImage* Target, bool Always);
  // True for a file of the thumbnail cache itself (paths compare exactly: names differ by case).
  bool InThumbCacheFolder(const std::string& FileName) const;
  // Renews the cache file and the panel of one entry after its picture changed.
  void UpdateThumbnail(int Index, const std::string& FileName);
  // The geometry of thumbnail size 0 to 3 (other values keep the geometry).
  void SetSlideSize(int Size);
  // The long side of cached thumbnails, from the debug panel's spin edit.
  int ThumbCacheSide() const;
  // The JPEG decode scale (0 to 3 for 1/1 to 1/8) that still covers Side pixels.
  static int ChooseJpegScale(int Side, int Height, int Width);
  // Colours the panels: the current entry blue, other selected ones navy.
  void ResetThumbColor();
  // The file name, the size (with the picture's sizes when given) and, as the option
  // says, the EXIF summary, one a line.
  void CreateThumbHint(const std::string& FileName, const std::string& WidthText, std::string& Hint,
                       const std::string& HeightText);
  // A panel under the mouse turns silver.
  void PanelThumbHolderMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);

  // ===================================================================
  // Full screen, the slide-show tick and fades (Unit1_FullScreen.cpp)
  // ===================================================================
  void ShowTitleBar();
  void HideTitleBar();
  void ZqSlideShowClick(TObject* Sender);
  void Timer1Timer(TObject* Sender);
  // Shows the floating bar when the mouse reaches the left or top edge in full screen.
  void ActivateFloatButtons(int X, int Y);
  void ZephFade1Begin(TObject* Sender);
  void ZephFade1End(TObject* Sender);
  void ZephFade1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ZephFade1MouseEnter(TObject* Sender);

  // ===================================================================
  // Zoom, keys and the mouse on the picture (Unit1_Zoom.cpp)
  // ===================================================================
  // Shows Image1 at Percent of the fitted picture, keeping the centre of the view.
  void ZoomPicture(int Percent);
  void Image1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void Image1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // The wheel scrolls a picture larger than the area (with Shift sideways).
  void ScrollBox1MouseWheel(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled);
  // Browse mode on or off, with its message, popup menus and cursors.
  void ToggleBrowseMode();
  // Stops the slide timer and raises the show button.
  void StopSlideTimer();

  // ===================================================================
  // Navigation and slide-show control (Unit1_Navigate.cpp)
  // ===================================================================
  void ShowNextPicture();
  void ZqNextClick(TObject* Sender);
  void ZqPreviousClick(TObject* Sender);
  // Selects the next (previous) folder of the tree and lists it; KeyFlag: asked by
  // Ctrl+N (Ctrl+P), not bounded by the folder where the browsing started.
  void RecursiveSelectDown(bool KeyFlag);
  void RecursiveSelectUp(bool KeyFlag);
  void ZqFolderDownClick(TObject* Sender);
  void ZqFolderUpClick(TObject* Sender);
  void ZqAutonextClick(TObject* Sender);
  void M_Start1Click(TObject* Sender);
  void ZqSpeedUpClick(TObject* Sender);
  void ZqSpeedDownClick(TObject* Sender);
  void M_RecursiveClick(TObject* Sender);
  void ListboxMultiSelectOff();
  // Makes the file list multi-select, keeping its top entry and its current entry selected.
  void ListboxMultiSelectOn();
  // The folder of a tree node, without a trailing separator ("/" for the root).
  std::string MakePath(TTreeNode* Node);
  void QzDirTree211MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void QzDirTree211KeyPress(TObject* Sender, char& Key);
  // Selects entry Index (when there is one) and opens it.
  void SelectAndOpen(int Index);

  // ===================================================================
  // View commands and window panels (Unit1_ViewCommands.cpp)
  // ===================================================================
  void ZqFitInScreenClick(TObject* Sender);
  void ZqStretchsmallerClick(TObject* Sender);
  void M_FitlargertoviewerClick(TObject* Sender);
  void M_StrechsmallerClick(TObject* Sender);
  void Fitlargeronoff1Click(TObject* Sender);
  void Strechsmalleronoff1Click(TObject* Sender);
  // The decode-scale items: the item clicked is checked and the picture opened again.
  void M_AutoscaleClick(TObject* Sender);
  void M_PreviewClick(TObject* Sender);
  void Invert1Click(TObject* Sender);
  void Grayscale1Click(TObject* Sender);
  void Reloadimage1Click(TObject* Sender);
  void PopupImagePopup(TObject* Sender);
  void ZqBrowsePanelClick(TObject* Sender);
  void M_TreeClick(TObject* Sender);
  void ZqMainMenuClick(TObject* Sender);
  void M_ButtonsClick(TObject* Sender);
  void M_StatusbarClick(TObject* Sender);
  void M_FloatingButtonsClick(TObject* Sender);
  void FloatingButtons1Click(TObject* Sender);
  void Onoff1Click(TObject* Sender);
  void PanelGaugeClick(TObject* Sender);
  void M_ShowfilenameClick(TObject* Sender);
  void FormMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void ScrollBox1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void Splitter2Moved(TObject* Sender);

  // ===================================================================
  // File list drawing, the preview and the list popup (Unit1_ListDraw.cpp)
  // ===================================================================
  void ListBox1DrawItem(TWinControl* Control, int Index, const TRect& Rect, TOwnerDrawState State);
  // Frames the entry under the mouse in blue.
  void ShowMouseOverListboxRect(int X, int Y);
  void ListBox1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void ListBox1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void PanelThumbHolderMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ListBox1DblClick(TObject* Sender);
  void Image1DblClick(TObject* Sender);
  void PopupListboxPopup(TObject* Sender);
  // Closes a search list or the paperclip view and lists the tree's folder again.
  void RestoreToNormalNavigation();
  void Zq_CloseListClick(TObject* Sender);
  void P_CloselistgotoClick(TObject* Sender);
  void ThumbsSpyClick(TObject* Sender);
  // The full path of a list entry (an entry that is a full path stays as it is).
  std::string ListEntryPath(int Index) const;

  // ===================================================================
  // Commands of the organising work that the keys and the views call.
  // ===================================================================
  void Reload1Click(TObject* Sender);
  void M_OpenShowClick(TObject* Sender);

  // ===================================================================
  // Favorite folders (Unit1_Favorites.cpp)
  // ===================================================================
  // Reads "W_Folders.txt" into ListBox2 at the first showing. Every stored folder is
  // listed, also one that is missing now (an unplugged drive, a share offline): it is
  // drawn grey and stays in the file until the user removes it.
  void LoadFavorites();
  // Reads "W_Folders.txt" again (another program on the same home may have changed it),
  // lets Change change its folders, writes it back through a temporary file when they
  // changed (the lines of unchanged folders as they stood) and lists the result. False,
  // after saying so, when it cannot be read or written.
  bool ChangeFavorites(const std::function<void(std::vector<std::string>& Folders)>& Change);
  // Marks the current folder in the list and sets the add and remove buttons.
  void SincFavoritesPath();
  void ZqFavoriteslistClick(TObject* Sender);
  void M_FavoritesClick(TObject* Sender);
  void ZqCloseFavoritesClick(TObject* Sender);
  // Adds the current folder (also the menu items M_AddFavorite and AddfoldertoFavorites).
  void ZqAdFavoriteClick(TObject* Sender);
  void ZqRemFavoritesClick(TObject* Sender);
  // Opens the clicked favorite in the folder tree.
  void ListBox2Click(TObject* Sender);
  void ListBox2DrawItem(TWinControl* Control, int Index, const TRect& Rect, TOwnerDrawState State);
  // After the folder OldFolder became NewFolder (renamed or moved in the folder tree):
  // every favorite at or below OldFolder, matched by whole path components, lies at the
  // same place below NewFolder; the file is saved when any changed.
  void MoveFavoriteFolders(const std::string& OldFolder, const std::string& NewFolder);
  // The path a line of a stored list (favorites, paperclip, shows) names: in stand-alone
  // mode a Windows-style line ("X:\Photos\a.jpg") lies below the program's drive.
  std::string PathFromListLine(const std::string& Line) const;
  // The line a path is stored as: in stand-alone mode, for a path on the program's
  // drive, the Windows form with a placeholder drive letter; else the path itself.
  std::string ListLineFromPath(const std::string& Path) const;

  // ===================================================================
  // File commands (Unit1_FileCommands.cpp)
  // ===================================================================
  // Fills FWorkFiles with the full paths of the selected entries of ListBox1, in list
  // order (only JPEG files while FFileAction is 50). WithCompanions adds after a JPEG
  // file its voice memo (the ".WAV" file of its name beside it, any letter case) unless
  // memo handling is off.
  void FillWorkFileList(bool WithCompanions);
  // Moves the selected files to the Trash after asking (also the Delete key).
  void P_DeletefileClick(TObject* Sender);
  // Copy and cut only fill the work list; the paste copies or moves it.
  void CopyFiles1Click(TObject* Sender);
  void CutFiles1Click(TObject* Sender);
  void Pastefiles1Click(TObject* Sender);
  // Copies (FFileAction 20) or moves (40) the files of FWorkFiles into the folder tree's
  // folder, each named NameText + " " + its name, or, with the card window's suffix box
  // checked, its base name + " " + NameText + its extension (NameText empty: its own
  // name). A name that exists is offered for overwriting; the file there then goes to
  // the Trash, never written over. A copy takes its name only when complete; a moved
  // file's source is deleted only after its copy was read back equal. Opens the first
  // copy with OpenFirst. Stops at StopRequested. False when a file could not be copied
  // or moved (each such file was reported).
  bool CopyPastefiles(const std::string& NameText, bool OpenFirst);
  // Renames the selected file through the rename dialog.
  void Renamefile1Click(TObject* Sender);
  // Before a command renames, moves or deletes files: FNamesBefore -> FNamesAfter (in
  // DeleteMode the files of FNamesBefore go) are its files. The lists that name them are
  // locked, their new copies and the journal written (TListRenames). False, after saying
  // why and clearing both lists, when no file may be changed.
  bool BeginListRenames(bool DeleteMode);
  // After the command: every list that named its files names them where they are now
  // (a file that was not renamed keeps its line; in DeleteMode the lines of deleted files
  // go), the journal and the locks go. The lists that could not be brought up to date are
  // said. Without BeginListRenames first no list changes.
  void CheckForRenamedFiles(bool DeleteMode);
  // Renames one file as a command of its own (the lists follow); 0 when it was renamed,
  // -1 when the lists could not follow (said; nothing renamed), else the errno value.
  int RenameOneFile(const std::string& From, const std::string& To);
  // Where the lists of pictures live and how their lines name files.
  TListPlace ListPlace() const;
  // Takes the journals that killed programs left into the lists, saying what needs
  // saying; false when it could not be done now (then no list may change). Changed tells
  // whether a list was written.
  bool SettleListJournals(bool* Changed = nullptr);
  // "paperclip.lst" (when it exists), then every show file below the Shows folder.
  void FillListWithShowFiles(TStringList& List) const;
  // The folder of the shows: FAppDir + "Shows", whatever the interface language.
  std::string ShowsFolder() const;
  void Selectall1Click(TObject* Sender);
  void Clearthumbscachefolder1Click(TObject* Sender);
  void Foldersizes1Click(TObject* Sender);
  // The folder-sizes report of a folder tree, line by line.
  void FolderSizesReport(const std::string& Folder, TStringList& Report);
  // Every picture (known extension) of the folder tree is added to "paperclip.lst" after
  // what it holds (no file twice).
  void GetAllFilesFromFolder(const std::string& Folder);
  void PopupQZDirPopup(TObject* Sender);
  void Newfolder1Click(TObject* Sender);
  void Deletefolder1Click(TObject* Sender);
  void Renamefolder1Click(TObject* Sender);

  // ===================================================================
  // Lossless JPEG rotation and flipping (Unit1_Rotate.cpp)
  // ===================================================================
  // The five commands: the batch over the selected JPEG files, then the thumbnails
  // rebuilt when they are shown.
  void RotateRight2Click(TObject* Sender);
  void RotateLeft2Click(TObject* Sender);
  void UpsideDown2Click(TObject* Sender);
  void FlipHorizontally2Click(TObject* Sender);
  void FlipVertically2Click(TObject* Sender);
  // The batch: jpegtran's Option ("rotate" or "flip") with Value ("90", "180", "270",
  // "horizontal", "vertical") on each selected JPEG file, until Esc.
  void RotateInitStart(const std::string& Value, const std::string& Option);
  // One file (a full path). jpegtran writes into a temporary file beside it, which takes
  // the file's name, mode and date only when jpegtran succeeded and wrote a whole JPEG
  // file; on any failure the file (or, with a backup, the backup given its name again)
  // is as it was. True on success.
  bool RotateJPG(const std::string& Value, const std::string& Option, const std::string& FileName);
  // The jpegtran that runs: the program folder's "jpegtran/jpegtran", else jpegtran on
  // PATH; "" when there is neither.
  std::string JpegtranProgram() const;
  // Removes the cached thumbnail of a picture when there is one.
  void DeleteCachedThumb(const std::string& FileName);
  // One lossless jpegtran step on a file: what it runs and how it treats the file.
  struct TLosslessStep {
    std::vector<std::string> Transform;  // jpegtran's transformation ("-rotate", "90")
    bool Backup = false;                 // the untouched file is kept as "backup_" + name
    bool Perfect = false;                // "-perfect": refuse what cannot be done exactly
    bool ShowResult = false;             // open the file afterwards
    std::string FailureText;             // the message of any failure
    // True when jpegtran's output of outWidth x outHeight is the whole result for an
    // input of width x height.
    std::function<bool(int width, int height, int outWidth, int outHeight)> WholeResult;
  };
  // Runs the step on FileName (a full path): the backup question, jpegtran into a work
  // file beside it, which takes the file's name, mode, date and trailer only when jpegtran
  // ended with status 0 and wrote a whole JPEG file of the expected size (its Exif and
  // thumbnail made to show what its pixels show, see FitExifToPicture); the backup
  // ("backup_" + name) is a second name or a copy of the untouched file made just before.
  // A link is kept: the picture it points to is turned, with its backup beside it.
  // On any failure the file is as it was and FailureText is shown with the file's name and
  // the reason; in a batch a full or read-only disk leaves that to the batch, which stops.
  // True on success.
  bool LosslessTransform(const TLosslessStep& Step, const std::string& FileName);
  // Further pictures of MPF files (carried along, not changed) met by the running batch.
  int FLosslessFurtherImages = 0;
  // The failure on a full or read-only disk that stopped the running batch ("" for none).
  std::string FLosslessStopText;
  // The batch of a lossless command: OneFile on each selected JPEG file in list order,
  // each marked in the list while it is handled, until Esc; the last one opened when
  // OpenLast; "No jpg files found!" for none when ReportEmpty.
  void LosslessBatch(const std::function<void(const std::string&)>& OneFile, bool OpenLast, bool ReportEmpty);

  // ===================================================================
  // Aspect ratio through the lossless crop (Unit1_AspectRatio.cpp)
  // ===================================================================
  // Names the ratio of the current picture.
  void Showaspectratiocurrentimage1Click(TObject* Sender);
  // The aspect tool, then the crop of the selected JPEG files in place or of copies in
  // the folder "ASPR tmp" handed to the compression window.
  void ChangeAspectRatio1Click(TObject* Sender);
  // The crop of each selected JPEG file to the ratio Factor (long side to short side).
  void AspectRatioInitStart(double Factor);
  // The crop argument ("crop WxH+X+Y") that gives the file the ratio Factor; false when
  // nothing is to be done or the file is no readable JPEG.
  bool CanChangeAspectString(const std::string& FileName, std::string& CropText, double Factor);
  // Crops one file by the crop argument; true on success.
  bool ChangeAspectRatioJPG(const std::string& CropText, const std::string& FileName);
  // The crop argument in the title while its picture is shown, and the title it replaced
  // (given back when another picture is opened).
  struct {
    std::string file, text, before;
  } FCropCaption;

  // ===================================================================
  // Hand-offs to the tool windows (Unit1_ToolHandOffs.cpp). The paperclip count is a
  // least version that the paperclip work completes.
  // ===================================================================
  // Shows the histogram window (drawn for the shown picture) or hides it; both menu
  // items take its visibility as their check mark.
  void Histogram2Click(TObject* Sender);
  // Ctrl+H typed in the histogram or the magnifier toggles the histogram as in this window.
  void HistogramShortCut(TObject* Sender, uint16_t& Key, TShiftState Shift);
  // Shows the pixel magnifier with its timers running, or hides it.
  void Zoom1Click(TObject* Sender);
  // The print window, modally, for the shown picture (or for none).
  void Print1Click(TObject* Sender);
  // Two to four selected JPEG files into the compare window, shown modally.
  void Compare2Click(TObject* Sender);
  // The Shotgraph window, not modal, on its overview, with the stored lens pair; and the
  // same window on its lens-equivalence list, loaded for editing.
  void Checklenslengthusage1Click(TObject* Sender);
  void Editequivalentlist1Click(TObject* Sender);
  // Deletes one picture (a full path): through the list's delete command when the list
  // holds it, else to the trash after asking; true when the file is gone.
  bool DeleteOneImage(const std::string& FileName);
  // Opens each selected picture and a copy window of it.
  void Compare1Click(TObject* Sender);
  // A new copy window (freed when closed) of the picture shown now.
  void CreateACompareWindow(int Index);
  // Opens the folder shown before in the folder tree.
  void ZqSpeedButton5Click(TObject* Sender);
  void HelpforStandAloneversions1Click(TObject* Sender);
  // Thanks and opens the donation page.
  void Donate1Click(TObject* Sender);
  // From a removable drive, a note stays up while the settings are written.
  void FormCloseQuery(TObject* Sender, bool& CanClose);

  // ===================================================================
  // Zoom presets, the clipboard and small handlers (Unit1_SmallHandlers.cpp)
  // ===================================================================
  void ZoomPreset(int Percent);
  // The zoom that fits the picture into the picture area.
  void tofit1Click(TObject* Sender);
  // The picture as it is shown: a copy of a bitmap, any other graphic drawn into a 24-bit
  // bitmap of the picture control's size.
  void ShownPictureBitmap(TBitmap& Bitmap) const;
  // The shown picture onto the desktop's clipboard.
  void Imagetoclipboard1Click(TObject* Sender);
  void Exifoverlayonoff1Click(TObject* Sender);
  // Switches the overlay's background on or off.
  void ExifLabelFrontDblClick(TObject* Sender);
  void M_JPGTRANPerfectClick(TObject* Sender);
  void ZqShowAllClick(TObject* Sender);
  void ZqSpeedButton3Click(TObject* Sender);
  void M_FilelistbarClick(TObject* Sender);
  void Splitter1Moved(TObject* Sender);
  // The tree commands of the File menu and the mail button's menu, only for folders.
  void PopupEmailPopup(TObject* Sender);
  // The import commands, only for folders.
  void PopupGetimagePopup(TObject* Sender);
  void M_UseTumbCacheClick(TObject* Sender);
  // The paperclip node's text with the number of existing files of "paperclip.lst".
  void MakePaperclipText();
  // The full paths of the file list's selected entries, in list order.
  std::vector<std::string> SelectedFiles() const;

  // ===================================================================
  // The paperclip list (Unit1_Paperclip.cpp). "paperclip.lst" and the show files hold
  // one picture path a line; every command reads the file, changes it and writes it back
  // whole through a temporary file. A line whose picture is missing now (a drive not
  // plugged in) is neither counted nor listed, but it stays in the file.
  // ============================================================
  // ===================================================================
  std::string PaperclipFile() const;
  // Adds the selected files (not ".wav" files, no file twice).
  void M_Addfilestopapercli1Click(TObject* Sender);
  // Removes the selected files of a folder listing from the paperclip.
  void RemovefromPapeclipfile();
  // RemovefromPapeclipfile in a folder listing; with the shows tree shown, the selected
  // entries of the listed paperclip or show (RemovefromshowClick).
  void Removefilesfrompaperclip1Click(TObject* Sender);
  void M_Clearpaperclip1Click(TObject* Sender);
  // Every picture of the folder tree's folder and its sub folders into the paperclip,
  // after what it holds unless the user chose to empty it first.
  void TreeToPaperclipClick(TObject* Sender);
  // Lists the paperclip's existing files in ListBox1.
  void ShowPaperclipFiles();
  // The sort tool; the paperclip takes the new order when it is listed.
  void Sorttool1Click(TObject* Sender);
  // Applies what the user made of a view of a list file to the file as it is now
  // (EditListLines, as one change through ChangeList): View holds the entries the view was
  // filled with (or only those a removal or an addition is about), Entries what the user
  // made of them. Delta, when given, tells how many lines the file gained (less than 0: lost).
  // False, after saying why, when the file could not be read or written; it then stays as it was.
  bool EditList(const std::string& ListFile, const std::vector<std::string>& View,
                const std::vector<std::string>& Entries, int* Delta = nullptr);
  // The files whose names fit a line of a list; the others (names with a line break) are
  // named in a message and left out.
  std::vector<std::string> ListableFiles(const std::vector<std::string>& Files);
  // Reads a list file into Lines (nothing for a missing file); false, after saying why,
  // when it cannot be read or is too large to be a list.
  bool LoadListFile(const std::string& FileName, TStringList& Lines);
  // Changes a list file as one step that another program on the same home cannot come
  // between (ChangeListLines: locked where the file lives, read again, changed, written
  // whole under each of its names); false, after saying why, when it could not be read,
  // locked or written: it then stays as it was.
  bool ChangeList(const std::string& FileName, const std::function<bool(TStringList& Lines)>& Change,
                  int64_t MaxBytes = kMaxListFileSize);
  // Makes, removes, renames or moves shows or show folders (Change) under the locks of the
  // folders of Entries (ChangeListEntries); false, after saying why, when they were not had
  // and Change did not run.
  bool ChangeShowEntries(const std::vector<std::string>& Entries, const std::function<void()>& Change);
  // A new show of these lines in Folder, under the first free name from BaseName; "" after
  // saying why when none could be made.
  std::string NewShow(const std::string& Folder, const std::string& BaseName, const std::vector<std::string>& Lines);
  // Appends to a list file each of Files that exists and that it does not name yet, as one
  // change (EditList); Count says how many. False after saying why it failed.
  bool AddToList(const std::string& ListFile, const std::vector<std::string>& Files, int& Count);
  // The line index of Lines that names Path (the same text, or the same file by another
  // spelling); -1 when none.
  int ListLineIndexOf(const TStringList& Lines, const std::string& Path) const;

  // ===================================================================
  // Shows and the paperclip and shows tree (Unit1_Shows.cpp)
  // ===================================================================
  // The selection of TreeView1 lists the paperclip, a show or nothing.
  void TreeView1Change(TObject* Sender, TTreeNode* Node);
  // Fills ListBox1 with the existing pictures of the show FShowFile.
  void LoadAShow();
  // A new show from the paperclip, from the copied or cut files; the copied or cut files
  // or the paperclip appended to the selected show.
  void P_SaveClipAsShowClick(TObject* Sender);
  void P_PasteAsShowClick(TObject* Sender);
  void P_PasteInShowClick(TObject* Sender);
  void P_PasteClipInShowClick(TObject* Sender);
  // Removes the selected entries of the listed paperclip or show from its file.
  void RemovefromshowClick(TObject* Sender);
  // The manual-order window on the selected show.
  void EditShow1Click(TObject* Sender);
  void TreeView1DblClick(TObject* Sender);
  void P_AddShowFolderClick(TObject* Sender);
  void P_DeleteShowClick(TObject* Sender);
  void P_DeleteShowFolderClick(TObject* Sender);
  void RenameNodeClick(TObject* Sender);
  void TreeView1Editing(TObject* Sender, TTreeNode* Node, bool& AllowEdit);
  void TreeView1Edited(TObject* Sender, TTreeNode* Node, std::string& S);
  void TreeView1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void TreeView1StartDrag(TObject* Sender, TDragObject*& DragObject);
  void TreeView1DragOver(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept);
  void TreeView1DragDrop(TObject* Sender, TObject* Source, int X, int Y);
  void TreeView1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void TreeView1KeyPress(TObject* Sender, char& Key);
  void PopupTreeview1Popup(TObject* Sender);
  // From the absolute index Start on, the first node of the kind (image index) whose text
  // equals Text without case: selected, and its index returned; -1 when none.
  int FindNodeWithTextFromIndex(int Start, const std::string& Text, int Kind);
  // The file or folder a node of TreeView1 stands for: the shows folder for the "Shows"
  // root and the folders and shows below it, "paperclip.lst" for the paperclip.
  std::string ShowNodePath(const TTreeNode* Node) const;
  // Clears TreeView1 and fills it again from the shows folder.
  void RefillShowsTree();

  // ===================================================================
  // Folder search and the program history (Unit1_FolderSearch.cpp)
  // ===================================================================
  void FindFolder1Click(TObject* Sender);
  // Walks the folders below Path (which ends with '/') for names holding Text (without
  // case), opening each hit in the folder tree and asking whether to go on; returns the
  // number of hits. Links to folders are not entered.
  int FindDirectories(const std::string& Path, const std::string& Text);
  void FindSubDirectories(const std::string& Path, const std::string& Text);
  // Opens the current picture with a program chosen in the open dialog.
  void Browsetoopen1Click(TObject* Sender);
  // Puts Program first in "historyprogs.lst" (at most eight, each once).
  void UpdateHistorylist(const std::string& Program);
  // The eight history items; each opens the current picture with its program.
  void P_History1Click(TObject* Sender);
  // Starts Program with the current picture; false, after saying so, when it cannot.
  bool ActivateHistoryProg(const std::string& Program);
  // Path as it is on this machine (in stand-alone mode on the program's drive; "" when
  // it is not there).
  void UseIfProgOnUSB(const std::string& Path, std::string& Result);

  // ===================================================================
  // Folder renames and moves, batch renaming and small tools (Unit1_Rename.cpp)
  // ===================================================================
  void QzDirTree211Editing(TObject* Sender, TTreeNode* Node, bool& AllowEdit);
  // After the folder tree renamed a folder; S holds the folder's old path.
  void QzDirTree211Edited(TObject* Sender, TTreeNode* Node, std::string& S);
  void QzDirTree211StartDrag(TObject* Sender, TDragObject*& DragObject);
  void QzDirTree211EndDrag(TObject* Sender, TObject* Target, int X, int Y);
  // The favorites follow a folder that moved from OldFolder to NewFolder (both without a
  // trailing separator).
  void FolderMoved(const std::string& OldFolder, const std::string& NewFolder);
  // The folder tree renames or moves a folder (change does it) with the shows and the
  // paperclip following the files below it; Reported when a refusal was said already.
  bool ChangeFolderWithLists(const std::string& OldFolder, const std::string& NewFolder,
                             const std::function<bool()>& Change, bool& Reported);
  // The selected files renamed by the batch-rename window's rule.
  void BatchReplaceClick(TObject* Sender);
  // The path a file gets by the batch-rename rule (Mode 1 replace FindText by NewText in
  // the name without extension, matched with or without case; 2 NewText before, 3 after
  // the name; 4 the whole name upper (CaseIndex 0) or lower case); "" when the rule
  // leaves the file as it is.
  static std::string BatchRenameTarget(const std::string& Path, int Mode, const std::string& FindText,
                                       const std::string& NewText, bool CaseSensitive, int CaseIndex);
  // Renames From to To without ever replacing another file; a change of letter case
  // only also works where the file system ignores case. 0 or the errno value.
  static int RenameNoReplace(const std::string& From, const std::string& To);
  void FileDatetoExifdate1Click(TObject* Sender);
  // Lays out the thumbnail panels that are left after removals.
  void TestThumbRealign();
  void ExifoverlayClick(TObject* Sender);
  void ScrollBox1HScroll(TObject* Sender);
  void FormMouseWheelDown(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled);
  void FormMouseWheelUp(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled);
  void ZephFade1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void PopupZephFadePopup(TObject* Sender);
  void Closeslideshow1Click(TObject* Sender);
  void ListBox1DragOver(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept);
  void ListBox1EndDrag(TObject* Sender, TObject* Target, int X, int Y);
  void ZqSoundbuttonClick(TObject* Sender);
  void ShowallfilesClick(TObject* Sender);
  void GotoHomepage1Click(TObject* Sender);
  // Binds the menu items, buttons and events of the paperclip, shows, folder search,
  // history and rename work.
  void bindListEvents();

  // ===================================================================
  // Hand-offs to the desktop (Unit1_Desktop.cpp), the tree copy (Unit1_TreeCopy.cpp) and
  // the stand-alone copy (Unit1_StandAlone.cpp)
  // ===================================================================
  // Opens the help window at the page of a context number or of a topic ("about.html"),
  // or says that the help file cannot be opened.
  void ShowHelpContext(int Context);
  void ShowHelpTopic(const std::string& Topic);
  // The shown picture, scaled to the screen, as the desktop wallpaper: Style 2 stretched,
  // else centred; Tile 1 tiled. The picture is written to FileName first; the desktop is
  // changed only when it is there, and its wallpaper before the first change is noted.
  void SetWallpaper(const std::string& FileName, int Style, int Tile);
  std::string WallpaperFileName() const;
  void WallpaperCenterClick(TObject* Sender);
  void WallpaperTiled1Click(TObject* Sender);
  void WallpaperStreched1Click(TObject* Sender);
  // Puts back the wallpaper the desktop had before the program first changed it.
  void showold1Click(TObject* Sender);
  void RemoveWallpaper1Click(TObject* Sender);
  // Hands the tree below the selected folder to the compression window (Unit1_TreeCopy.cpp).
  void Compresscompleettree1Click(TObject* Sender);
  // Copies the program into "KIVO2_USB" below the selected folder of a removable drive.
  void CreateUSBKivo21Click(TObject* Sender);
  // At a start from a stand-alone copy that was cut short: says that files are missing.
  void ReportUnfinishedStandAloneCopy();

  // ===================================================================
  // Card import and thumbnail tools (Unit1_ToolWindows.cpp)
  // ===================================================================
  // Shows the card import window on the last card folder.
  void Importfrommemorycardorfolder1Click(TObject* Sender);
  // The thumbnail settings palette at the picture area, modally.
  void Settings1Click(TObject* Sender);
  // Starts (stops) the background thumbnail creation for the folder tree's folder.
  void CreateallthumbsforSelTreeClick(TObject* Sender);
  void Stopbackgroundcreation1Click(TObject* Sender);

  // ===================================================================
  // Scanner (Unit1_Scanner.cpp)
  // ===================================================================
  // Loads the scanner component, lets the user choose a scanner and starts its dialog.
  void Aquireimagetwainscannerebcam1Click(TObject* Sender);
  // Saves each delivered picture as a new JPEG file in the tree's folder and opens it.
  void TwainTwainAcquire(TObject* Sender, int Index, TBitmap* Image, bool& Cancel);
  void TwainAcquireError(TObject* Sender, int Index, int ErrorCode, int Additional);
  void TwainAcquireCancel(TObject* Sender, int Index);
  // Writes Data as a new file Folder + BaseName + Extension, or with "_2", "_3" ... after
  // BaseName when that name is taken; never replaces a file. Returns the name used; raises
  // EFCreateError or EWriteError (and leaves nothing behind) when it cannot be written.
  static std::string SaveNewFile(const std::string& Folder, const std::string& BaseName,
                                 const std::string& Extension, TMemoryStream& Data);

 private:
  void buildScanner();
  void buildLayout();
  // The folder tree takes the height the user gave it (by its splitter, or stored) as far as
  // the side panel leaves the file list below it a usable height: in a window lower than the
  // one the height was chosen in the tree gives way, and it takes its height back when the
  // window grows again.
  void SetFolderTreeHeight(int Height);
  int folderTreeLimit() const;
  void fitFolderTree();
  int folderTreeHeight_ = 185;
  // The end of a delete, paste or other file batch: the work list emptied, the progress
  // bar hidden, "Action aborted by user" after a stop, and the files that failed listed
  // after FailureText (a format with %d for their number).
  void finishFileBatch(const std::string& FailureText, const std::vector<std::string>& Failed);
  // A lossless transformation of the selected files, then the thumbnails rebuilt.
  void rotateSelected(const char* Value, const char* Option);
  // Places the file-list bar's buttons in as many rows as its width needs.
  void buildMenus();
  void buildPopupMenus();
  void bindEvents();
  void bindToolWindows();
  // The events of the thumbnails, full screen, zoom, navigation, view commands and lists.
  void bindViewerEvents();
  void bindToolHandOffs();
  void bindSmallHandlers();
  void bindDesktopHandOffs();
  void loadCursors();
  bool firstShowSetup();
  void finishFirstShow();
  // Offers the quick configuration when the stored version is another build's.
  void askForQuickConfiguration();
  // The journals of killed programs settled once the window shows, what killed saves left
  // beside the lists cleared, and the shown lists refreshed.
  void settleRenameJournalsAtStart();
  void placeHistogramWindow();
  // Opens a palette modally at the top-left corner of the picture area.
  void showPaletteAtPictureArea(TForm* palette);
  void loadFromStore(class TSettingsReader& reader, bool fromIni);
  void saveToStore(class TSettingsWriter& writer, bool toIni);
  void setDerivedStates(const std::string& associated);

  // The first showing waits this long for the window's first paint, then goes on.
  static constexpr unsigned kFirstShowFallbackMs = 1000, kFirstShowAfterPaintMs = 1;
  bool firstShowDone_ = false;     // the set-up of the first showing ran
  bool firstShowPending_ = false;  // its second half waits for the window
  std::string commandLineFile_;    // the file named on the command line (bare name)
  std::string commandLineFolder_;  // and its folder
  // The picture the next filling of the list selects and opens in place of its first
  // entry, when the list holds it (the command line's at the first show).
  std::string startPicture_;
  std::string missingCommandLineFile_;  // a name on the command line that is not there
  std::string settingsDamage_;          // a damaged store, said once the window shows
  std::unique_ptr<TScreenSaverInhibitor> screenSaver_;
  bool settingsSaveReported_ = false;
  bool settingsLoaded_ = false;  // a save before the load would overwrite the store with defaults
  bool sessionEnding_ = false;
  std::string loadedAssociated_;  // the "Associated" text read, handed on after the load
  bool noPicture_ = false;        // the shown file is no picture (status size "n/a")
  // FFadeFromPicture is what the screen shows: pictures opened without a fade (before the
  // show's flag is on, or between shows) leave it behind.
  bool fadeFromShown_ = false;
  // Each thumbnail build takes the next number; a build that finds another number after
  // handling messages was replaced by a newer one and stops.
  unsigned thumbBuildGeneration_ = 0;
  // The files of the list the thumbnail panel was built for, in the list's order.
  std::vector<std::string> thumbsListed_;
  int lastSpyIndex_ = -1;  // the list entry the preview window shows
  // The folder tree's node changes made by the folder descent are not the user's: the
  // folder-change handler leaves the show running.
  bool descending_ = false;
  // FStartNode while the folder tree still holds it; after a reload of the tree (which
  // frees its nodes) the node of the same folder, taken as the new FStartNode; nullptr
  // when the folder is no longer in the tree.
  TTreeNode* startNode();
  // Selects a folder node for the folder walk and lists its folder.
  void listTreeNode(TTreeNode* Node);
  // A change into or out of full screen is under way (it handles messages meanwhile).
  bool fullScreenChanging_ = false;
  // The folder search: hits so far, whether to go on, and the folders entered (device,
  // inode), so that no folder is walked twice.
  int folderSearchHits_ = 0;
  bool folderSearchGoOn_ = false;
  std::vector<std::pair<uint64_t, uint64_t>> folderSearchSeen_;
  // The programs of the history items P_History1 ... P_History8 ("" for "<none>").
  std::vector<std::string> historyPrograms_;
  // The shows tree's pictures: folder, show, selected show, paperclip, shows root.
  class TImageList* showImages_ = nullptr;
  // Counts the selection changes of the shows tree: a load that lets events run stops when
  // a newer change (a quicker click) was handled meanwhile.
  int showChanges_ = 0;
  // The index of the list entry that holds Path ("" or -1 when none).
  int listIndexOfPath(const std::string& Path) const;
  // The files of the selection, without disturbing a copy or cut that waits for its paste.
  std::vector<std::string> selectedWorkFiles();
  // In stand-alone mode: the folder tree's folder lies on another drive than the program
  // (said to the user); true when the command must stop.
  bool refusedInStandAloneMode();
};

extern TForm1* Form1;
