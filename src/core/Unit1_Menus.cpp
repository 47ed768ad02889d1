// The main window's menu bar and popup menus with their captions, shortcuts and
// designed check marks, and the menu commands that open the two palettes.
#include "controls/EventScrollbox.h"
#include "controls/MainMenuXP.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZephFade.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "core/UnitFadestyles.h"
#include "core/UnitFilterselect.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"

namespace {

// A menu item owned by the form, named and added under parent.
TMenuItem* Item(TComponent* owner, TMenuItem* parent, const char* name, const std::string& caption,
                TShortCut shortCut = 0) {
  auto* item = new TMenuItem(owner);
  item->SetName(name);
  item->SetCaption(caption);
  item->SetShortCut(shortCut);
  parent->Add(item);
  return item;
}

// An option item whose check mark toggles on every click.
TMenuItem* Option(TComponent* owner, TMenuItem* parent, const char* name, const std::string& caption, bool checked,
                  TShortCut shortCut = 0) {
  TMenuItem* item = Item(owner, parent, name, caption, shortCut);
  item->SetAutoCheck(true);
  item->SetChecked(checked);
  return item;
}

// One of the exclusive choices of a group.
TMenuItem* Choice(TComponent* owner, TMenuItem* parent, const char* name, const std::string& caption, uint8_t group,
                  bool checked) {
  TMenuItem* item = Item(owner, parent, name, caption);
  item->SetRadioItem(true);
  item->SetGroupIndex(group);
  item->SetChecked(checked);
  return item;
}

void Line(TComponent* owner, TMenuItem* parent) {
  auto* item = new TMenuItem(owner);
  item->SetCaption("-");
  parent->Add(item);
}

TPopupMenu* Popup(TComponent* owner, const char* name) {
  auto* menu = new TPopupMenu(owner);
  menu->SetName(name);
  return menu;
}

constexpr TShortCut Ctrl(char key) { return TShortCut(scCtrl | uint8_t(key)); }
constexpr TShortCut CtrlAlt(char key) { return TShortCut(scCtrl | scAlt | uint8_t(key)); }

}  // namespace

void TForm1::buildMenus() {
  MainMenuXP1 = new TMainMenuXP(this);
  MainMenuXP1->SetName("MainMenuXP1");
  TMenuItem* root = MainMenuXP1->Items();
  TComponent* o = this;

  File1 = Item(o, root, "File1", "&File");
  Open1 = Item(o, File1, "Open1", "&Open...", Ctrl('O'));
  Search1 = Item(o, File1, "Search1", "Find file(s)", Ctrl('F'));
  Line(o, File1);
  SaveasJPG1 = Item(o, File1, "SaveasJPG1", "Compression Center - E-mail/Save images", Ctrl('E'));
  M_Email1 = Item(o, File1, "M_Email1", "E-mail selected files unmodified");
  Compresscompleettree1 = Item(o, File1, "Compresscompleettree1", "Copy and compress complete tree");
  Line(o, File1);
  Importfrommemorycardorfolder2 = Item(o, File1, "Importfrommemorycardorfolder2", "Import from memorycard or folder");
  GetimageTwainscannerwebcametc1 =
      Item(o, File1, "GetimageTwainscannerwebcametc1", "Get image (Twain) - scanner, webcam etc.");
  Line(o, File1);
  Print1 = Item(o, File1, "Print1", "Print preview...");
  Line(o, File1);
  CreateUSBKivo21 = Item(o, File1, "CreateUSBKivo21", "Create Stand Alone Kivo2 (USB)");
  Line(o, File1);
  Close1 = Item(o, File1, "Close1", "&Close");

  Edit1 = Item(o, root, "Edit1", "&Edit");
  Selectall1 = Item(o, Edit1, "Selectall1", "Select all");
  Line(o, Edit1);
  Deletefile1 = Item(o, Edit1, "Deletefile1", "Delete file(s)");
  FileDatetoExifdate1 = Item(o, Edit1, "FileDatetoExifdate1", "Change file date(s) to photo date(s)");
  Line(o, Edit1);
  Clearthumbscachefolder1 = Item(o, Edit1, "Clearthumbscachefolder1", "Clear the thumbnail cache");

  View1 = Item(o, root, "View1", "&View");
  M_Tree = Option(o, View1, "M_Tree", "Navigation", true, VK_F3);
  M_Favorites = Item(o, View1, "M_Favorites", "Favorite folders", VK_F4);
  Onoff1 = Item(o, View1, "Onoff1", "Thumbnail viewer on/off", VK_F5);
  M_Buttons = Option(o, View1, "M_Buttons", "Button bar", true, VK_F6);
  M_Filelistbar = Option(o, View1, "M_Filelistbar", "File list Button bar", true, TShortCut(scCtrl | VK_F6));
  M_Statusbar = Option(o, View1, "M_Statusbar", "Statusbar", true, VK_F7);
  M_FloatingButtons = Option(o, View1, "M_FloatingButtons", "Floating buttons", true, Ctrl('B'));
  Line(o, View1);
  Showallfiles = Option(o, View1, "Showallfiles", "Show all files", false);
  Filesort1 = Item(o, View1, "Filesort1", "File sort...");
  Line(o, View1);
  M_ThumbsSpy = Option(o, View1, "M_ThumbsSpy", "Thumb Spy", true);
  M_ThumbsSpy->SetGroupIndex(2);
  M_ShowExifinspy = Option(o, View1, "M_ShowExifinspy", "Show Exif in thumb spy", false);
  M_IncludeExifhint = Option(o, View1, "M_IncludeExifhint", "Include Exif in hints", false);
  Line(o, View1);
  Exifoverlay = Option(o, View1, "Exifoverlay", "Exif overlay on/off", false);
  Imageinfo1 = Option(o, View1, "Imageinfo1", "Exif information", false, Ctrl('I'));
  M_Exif_info = Item(o, View1, "M_Exif_info", "Exif information (all tags)", CtrlAlt('X'));
  Histogram2 = Item(o, View1, "Histogram2", "Histogram", Ctrl('H'));
  Zoom1 = Item(o, View1, "Zoom1", "Pixel Magnifier", CtrlAlt('P'));
  Line(o, View1);
  Reload1 = Item(o, View1, "Reload1", "Reload folders");

  Picture1 = Item(o, root, "Picture1", "&Picture");
  M_Fitlargertoviewer = Item(o, Picture1, "M_Fitlargertoviewer", "Fit larger pictures", Ctrl('L'));
  M_Strechsmaller = Item(o, Picture1, "M_Strechsmaller", "Stretch smaller pictures", Ctrl('S'));
  M_Centerlarge = Option(o, Picture1, "M_Centerlarge", "Center large images", false);
  JPGscale1 = Item(o, Picture1, "JPGscale1", "JPG decode scale");
  M_Autoscale = Choice(o, JPGscale1, "M_Autoscale", "Automatic", 1, true);
  N111 = Choice(o, JPGscale1, "N111", "1:1", 1, false);
  N121 = Choice(o, JPGscale1, "N121", "1:2", 1, false);
  N141 = Choice(o, JPGscale1, "N141", "1:4", 1, false);
  N181 = Choice(o, JPGscale1, "N181", "1:8", 1, false);
  Line(o, Picture1);
  Smoothstrech = Option(o, Picture1, "Smoothstrech", "Resample Filter (fast system required)", false, Ctrl('R'));
  SetFilter1 = Item(o, Picture1, "SetFilter1", "Resample filters...", Ctrl('T'));
  M_Preview = Option(o, Picture1, "M_Preview", "Preview (view unsampled image first)", false);
  Line(o, Picture1);
  RotateFlip1 = Item(o, Picture1, "RotateFlip1", "JPG Rotate/Flip");
  RotateRight1 = Item(o, RotateFlip1, "RotateRight1", "Rotate Right", CtrlAlt('R'));
  RotateLeft1 = Item(o, RotateFlip1, "RotateLeft1", "Rotate Left", CtrlAlt('L'));
  Upsidedown1 = Item(o, RotateFlip1, "Upsidedown1", "Upside down");
  Fliphorizontally1 = Item(o, RotateFlip1, "Fliphorizontally1", "Flip horizontally");
  Flipvertically1 = Item(o, RotateFlip1, "Flipvertically1", "Flip vertically");
  JPGrotatesettings1 = Item(o, Picture1, "JPGrotatesettings1", "JPG rotate settings");
  M_Fastbatchrotate = Option(o, JPGrotatesettings1, "M_Fastbatchrotate", "Fast batch rotate (don't show)", true);
  M_JPGTRANPerfect = Option(o, JPGrotatesettings1, "M_JPGTRANPerfect", "Perfect rotations only", true);
  M_Losslesbackup = Option(o, JPGrotatesettings1, "M_Losslesbackup", "Backup before rotation/flip", false);
  ChangeAspectRatio1 = Item(o, Picture1, "ChangeAspectRatio1", "(JPG) Aspect ratio tool", CtrlAlt('A'));
  Showaspectratiocurrentimage1 = Item(o, Picture1, "Showaspectratiocurrentimage1", "Show aspect ratio of current image");
  Line(o, Picture1);
  Imagetoclipboard1 = Item(o, Picture1, "Imagetoclipboard1", "Image to clipboard");
  Wallpaper1 = Item(o, Picture1, "Wallpaper1", "Wallpaper");
  WallpaperCenter = Item(o, Wallpaper1, "WallpaperCenter", "Current image Centered");
  WallpaperTiled1 = Item(o, Wallpaper1, "WallpaperTiled1", "Current image Tiled");
  WallpaperStreched1 = Item(o, Wallpaper1, "WallpaperStreched1", "Current image Streched");
  showold1 = Item(o, Wallpaper1, "showold1", "Restore Old Wallpaper");
  RemoveWallpaper1 = Item(o, Wallpaper1, "RemoveWallpaper1", "Remove Wallpaper");
  Line(o, Picture1);
  Compare1 = Item(o, Picture1, "Compare1", "Copy images to new Window", Ctrl('W'));
  Compare2 = Item(o, Picture1, "Compare2", "Compare 2 to 4 images", CtrlAlt('C'));
  Line(o, Picture1);
  M_Playmemo = Item(o, Picture1, "M_Playmemo", "Play voice memo");
  M_Playmemo->SetEnabled(false);

  Folders1 = Item(o, root, "Folders1", "F&olders");
  M_AddFavorite = Item(o, Folders1, "M_AddFavorite", "Add folder to favorites");
  Line(o, Folders1);
  FindFolder1 = Item(o, Folders1, "FindFolder1", "Find folder...");
  GotoDesktop = Item(o, Folders1, "GotoDesktop", "Desktop folder", CtrlAlt('D'));
  GotoMyDocuments1 = Item(o, Folders1, "GotoMyDocuments1", "Documents folder", CtrlAlt('M'));
  Line(o, Folders1);
  M_Recursive = Option(o, Folders1, "M_Recursive", "Recursive mode (include sub-folders)", true);

  Paperclip1 = Item(o, root, "Paperclip1", "Paper&clip");
  M_Addfilestopapercli1 = Item(o, Paperclip1, "M_Addfilestopapercli1", "Add file(s) to the paperclip");
  Removefilesfrompaperclip1 = Item(o, Paperclip1, "Removefilesfrompaperclip1", "Remove file(s) from the paperclip");
  M_Clearpaperclip1 = Item(o, Paperclip1, "M_Clearpaperclip1", "Clear the paperclip");
  TreeToPaperclip = Item(o, Paperclip1, "TreeToPaperclip", "Folder tree to the paperclip");
  Line(o, Paperclip1);
  M_OpenShow = Item(o, Paperclip1, "M_OpenShow", "Paperclip and shows");
  Line(o, Paperclip1);
  SortTool1 = Item(o, Paperclip1, "SortTool1", "Sort tool...");

  Tools1 = Item(o, root, "Tools1", "&Tools");
  Plotfocallengthusage1 = Item(o, Tools1, "Plotfocallengthusage1", "Plot focal length usage (Shotgraph)");
  Checklenslengthusage1 = Item(o, Tools1, "Checklenslengthusage1", "Check lens length usage...");
  Editequivalentlist1 = Item(o, Tools1, "Editequivalentlist1", "Edit the equivalent list...");
  Line(o, Tools1);
  CreateallthumbsforSelTree = Item(o, Tools1, "CreateallthumbsforSelTree", "Create thumbnails for the folder tree");
  Stopbackgroundcreation1 = Item(o, Tools1, "Stopbackgroundcreation1", "Stop background thumbnail creation");

  Slideshow1 = Item(o, root, "Slideshow1", "&Slide show");
  M_Start1 = Item(o, Slideshow1, "M_Start1", "Start slide show", VK_F8);
  Line(o, Slideshow1);
  M_Showfilename = Option(o, Slideshow1, "M_Showfilename", "Show file name", false, Ctrl('A'));
  M_BlackSlideshowBG = Option(o, Slideshow1, "M_BlackSlideshowBG", "Black background for slide show", true);
  M_Movemouse = Option(o, Slideshow1, "M_Movemouse", "Hide mouse (to right bottom)", false);
  SetFading1 = Item(o, Slideshow1, "SetFading1", "Fading...");

  Options1 = Item(o, root, "Options1", "&Options");
  M_Settings = Item(o, Options1, "M_Settings", "Preferences");
  Quickconfigure1 = Item(o, Options1, "Quickconfigure1", "Quick configure");
  Line(o, Options1);
  M_UseTumbCache = Option(o, Options1, "M_UseTumbCache", "Create thumbnails (cache folder)", true);
  M_CacheonlyFixedDiskfiles = Option(o, Options1, "M_CacheonlyFixedDiskfiles", "Cache only files from fixed disks", true);
  Settings1 = Item(o, Options1, "Settings1", "Thumb settings...");

  Help1 = Item(o, root, "Help1", "&Help");
  M_Help = Item(o, Help1, "M_Help", "Help");
  HelpforStandAloneversions1 = Item(o, Help1, "HelpforStandAloneversions1", "Help to Create Stand-Alone versions");
  Line(o, Help1);
  GotoHomepage1 = Item(o, Help1, "GotoHomepage1", "Homepage");
  Donate1 = Item(o, Help1, "Donate1", "Donate...");
  Line(o, Help1);
  M_Types = Item(o, Help1, "M_Types", "About / supported file types");

  SetMenu(MainMenuXP1);
  buildPopupMenus();
}

void TForm1::buildPopupMenus() {
  TComponent* o = this;

  PopupImage = Popup(o, "PopupImage");
  TMenuItem* r = PopupImage->Items();
  Fitlargeronoff1 = Item(o, r, "Fitlargeronoff1", "Fit larger pictures on/off");
  Strechsmalleronoff1 = Item(o, r, "Strechsmalleronoff1", "Stretch smaller pictures on/off");
  Line(o, r);
  Invert1 = Item(o, r, "Invert1", "Show inverted");
  Grayscale1 = Item(o, r, "Grayscale1", "Show as grayscale");
  RunGifImage1 = Item(o, r, "RunGifImage1", "Start/stop animated Gif Image");
  Reloadimage1 = Item(o, r, "Reloadimage1", "Reload image");
  Line(o, r);
  Imagetoclipboard2 = Item(o, r, "Imagetoclipboard2", "Image to clipboard");
  Exifoverlayonoff1 = Option(o, r, "Exifoverlayonoff1", "Exif overlay on/off", false, Ctrl('X'));
  Exifinfo1 = Option(o, r, "Exifinfo1", "Exif information", false);
  Histogram1 = Item(o, r, "Histogram1", "Histogram");
  ogglePixelmagnifier1 = Item(o, r, "ogglePixelmagnifier1", "Toggle Pixel magnifier");
  Line(o, r);
  Playmemo1 = Item(o, r, "Playmemo1", "Play voice memo");
  Playmemo1->SetEnabled(false);
  FloatingButtons1 = Item(o, r, "FloatingButtons1", "Floating buttons");
  FloatingButtons1->SetVisible(false);
  Image1->SetPopupMenu(PopupImage);
  ScrollBox1->SetPopupMenu(PopupImage);

  PopupListbox = Popup(o, "PopupListbox");
  r = PopupListbox->Items();
  P_StartProg = Item(o, r, "P_StartProg", "Open with..");
  P_OwnEditor = Item(o, r, "P_OwnEditor", "Editor");
  P_OwnEditor->SetVisible(false);
  OpenWith1 = Item(o, r, "OpenWith1", "Open with program");
  Browsetoopen1 = Item(o, OpenWith1, "Browsetoopen1", "Browse for a program...");
  Line(o, OpenWith1);
  TMenuItem** history[] = {&P_History1, &P_History2, &P_History3, &P_History4,
                           &P_History5, &P_History6, &P_History7, &P_History8};
  static const char* const historyNames[] = {"P_History1", "P_History2", "P_History3", "P_History4",
                                             "P_History5", "P_History6", "P_History7", "P_History8"};
  for (int i = 0; i < 8; ++i) *history[i] = Item(o, OpenWith1, historyNames[i], "<none>");
  Line(o, r);
  AddToPaperclip = Item(o, r, "AddToPaperclip", "Add file(s) to the paperclip");
  Removefromshow = Item(o, r, "Removefromshow", "Remove file(s) from show or paperclip");
  Removefromshow->SetVisible(false);
  Line(o, r);
  CopyFiles1 = Item(o, r, "CopyFiles1", "Copy file(s)");
  CutFiles1 = Item(o, r, "CutFiles1", "Cut file(s)");
  PasteMovefiles1 = Item(o, r, "PasteMovefiles1", "Paste file(s)");
  PasteMovefiles1->SetEnabled(false);
  P_Deletefile = Item(o, r, "P_Deletefile", "Delete file(s)");
  Renamefile1 = Item(o, r, "Renamefile1", "Rename file");
  BatchReplace = Item(o, r, "BatchReplace", "Batch rename...");
  Line(o, r);
  P_Closelistgoto = Item(o, r, "P_Closelistgoto", "Goto source folder (list closes)");
  P_Closelistgoto->SetEnabled(false);
  Pastememorycardfiles1 = Item(o, r, "Pastememorycardfiles1", "Import from memorycard or folder");
  Line(o, r);
  ThumbsSpy = Option(o, r, "ThumbsSpy", "Thumb Spy", true);
  ThumbsSpy->SetGroupIndex(2);
  Rightclickselect = Option(o, r, "Rightclickselect", "R Mouse button selects", false);
  Rightclickselect->SetVisible(false);
  Rightclickselect->SetEnabled(false);
  ListBox1->SetPopupMenu(PopupListbox);

  PopupQZDir = Popup(o, "PopupQZDir");
  r = PopupQZDir->Items();
  Newfolder1 = Item(o, r, "Newfolder1", "New folder");
  Renamefolder1 = Item(o, r, "Renamefolder1", "Rename folder");
  Deletefolder1 = Item(o, r, "Deletefolder1", "Delete folder");
  Line(o, r);
  Pastefiles1 = Item(o, r, "Pastefiles1", "Paste file(s)");
  Pastefiles1->SetEnabled(false);
  Pastecardfoldercontents = Item(o, r, "Pastecardfoldercontents", "Import from memorycard or folder");
  Line(o, r);
  AddfoldertoFavorites = Item(o, r, "AddfoldertoFavorites", "Add folder to favorites");
  P_FindFolder = Item(o, r, "P_FindFolder", "Find folder...");
  Foldersizes1 = Item(o, r, "Foldersizes1", "Folder sizes");
  Copyandcompresscompletetree1 = Item(o, r, "Copyandcompresscompletetree1", "Copy and compress complete tree");
  QzDirTree211->SetPopupMenu(PopupQZDir);

  PopupSort = Popup(o, "PopupSort");
  r = PopupSort->Items();
  PoNone = Choice(o, r, "PoNone", "Extensions (no sort)", 3, false);
  PoName = Choice(o, r, "PoName", "Name", 3, true);
  PoNameNo = Choice(o, r, "PoNameNo", "Name (date-no style)", 3, false);
  PoSize = Choice(o, r, "PoSize", "Size", 3, false);
  PoDate = Choice(o, r, "PoDate", "File date", 3, false);
  PoPhotodate = Choice(o, r, "PoPhotodate", "Photo date (EXIF)", 3, false);
  Line(o, r);
  PoSortdescend = Option(o, r, "PoSortdescend", "Sort descending", false);
  ZqSortmenu->SetPopupMenu(PopupSort);
  ZqListBoxSortmenu->SetPopupMenu(PopupSort);

  PopupTreeview1 = Popup(o, "PopupTreeview1");
  r = PopupTreeview1->Items();
  P_SaveClipAsShow = Item(o, r, "P_SaveClipAsShow", "Save paperclip as new show");
  P_PasteAsShow = Item(o, r, "P_PasteAsShow", "Paste copied files as new show");
  P_PasteInShow = Item(o, r, "P_PasteInShow", "Paste copied files in show");
  P_PasteClipInShow = Item(o, r, "P_PasteClipInShow", "Paste paperclip in show");
  Line(o, r);
  EditShow1 = Item(o, r, "EditShow1", "Edit show order...");
  RenameNode = Item(o, r, "RenameNode", "Rename");
  P_AddShowFolder = Item(o, r, "P_AddShowFolder", "New show folder");
  P_DeleteShow = Item(o, r, "P_DeleteShow", "Delete show");
  P_DeleteShowFolder = Item(o, r, "P_DeleteShowFolder", "Delete show folder");
  Line(o, r);
  P_ClearPaperclip = Item(o, r, "P_ClearPaperclip", "Clear the paperclip");
  Sorttool2 = Item(o, r, "Sorttool2", "Sort tool...");
  TreeView1->SetPopupMenu(PopupTreeview1);

  PopupZephFade = Popup(o, "PopupZephFade");
  r = PopupZephFade->Items();
  Floatingbuttons2 = Item(o, r, "Floatingbuttons2", "Floating buttons");
  Closeslideshow1 = Item(o, r, "Closeslideshow1", "Close slide show");
  ZephFade1->SetPopupMenu(PopupZephFade);

  PopupZoom = Popup(o, "PopupZoom");
  r = PopupZoom->Items();
  N101 = Item(o, r, "N101", "10%");
  N331 = Item(o, r, "N331", "33%");
  N501 = Item(o, r, "N501", "50%");
  ZQTofit1 = Item(o, r, "ZQTofit1", "Reset");
  N1001 = Item(o, r, "N1001", "100%");
  N1501 = Item(o, r, "N1501", "150%");
  N2001 = Item(o, r, "N2001", "200%");
  N3001 = Item(o, r, "N3001", "300%");
  N4001 = Item(o, r, "N4001", "400%");
  N5001 = Item(o, r, "N5001", "500%");
  Line(o, r);
  tofit1 = Item(o, r, "tofit1", "To fit");
  ZqZoom->SetPopupMenu(PopupZoom);

  PopupButtonRotate = Popup(o, "PopupButtonRotate");
  r = PopupButtonRotate->Items();
  RotateRight2 = Item(o, r, "RotateRight2", "Rotate Right");
  RotateLeft2 = Item(o, r, "RotateLeft2", "Rotate Left");
  UpsideDown2 = Item(o, r, "UpsideDown2", "Upside Down");
  FlipHorizontally2 = Item(o, r, "FlipHorizontally2", "Flip horizontally");
  FlipVertically2 = Item(o, r, "FlipVertically2", "Flip vertically");
  ZqRotate->SetPopupMenu(PopupButtonRotate);

  PopupEmail = Popup(o, "PopupEmail");
  r = PopupEmail->Items();
  Emailcenter1 = Item(o, r, "Emailcenter1", "Compression Center - E-mail/Save images");
  Sendselectedunmodified1 = Item(o, r, "Sendselectedunmodified1", "E-mail selected files unmodified");
  XPCopyCompressTree1 = Item(o, r, "XPCopyCompressTree1", "Copy and compress complete tree");

  PopupGetimage = Popup(o, "PopupGetimage");
  r = PopupGetimage->Items();
  Importfrommemorycardorfolder1 = Item(o, r, "Importfrommemorycardorfolder1", "Import from memorycard or folder");
  Aquireimagetwainscannerebcam1 =
      Item(o, r, "Aquireimagetwainscannerebcam1", "Get image (Twain) - scanner, webcam etc.");
  ZqImport->SetPopupMenu(PopupGetimage);
}

void TForm1::showPaletteAtPictureArea(TForm* palette) {
  if (!palette || palette->Visible()) return;
  const TPoint origin = ScrollBox1->ClientOrigin();
  palette->SetLeft(origin.X);
  palette->SetTop(origin.Y);
  palette->ShowModal();
}

void TForm1::SetFilter1Click(TObject* /*Sender*/) {
  // While a fade shows, the picture area belongs to it.
  if (ZephFade1->Visible()) return;
  showPaletteAtPictureArea(FormFilterSelect);
}

void TForm1::SetFading1Click(TObject* /*Sender*/) { showPaletteAtPictureArea(FormFadestyles); }
