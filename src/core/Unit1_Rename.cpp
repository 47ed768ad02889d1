// Folder renames and moves, batch renaming and the small tools of the main window: the
// favorites, the shows and the paperclip follow a folder that the folder tree renamed
// or moved; the batch rename renames the selected files by the batch-rename window's
// rule; file dates are set to the photo dates; the thumbnails are laid out again after
// removals; and the small handlers of the Shotgraph, the overlay, the wheel, the fade
// control, the file list's drag, the memo button, the show-all item and the homepage.
//
// No rename ever replaces a file: a name that is taken is skipped, also when a change of
// letter case meets another file of that spelling, and a rename that fails is reported.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <optional>
#include <unordered_map>

#include "controls/EventScrollbox.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZephFade.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "controls/ZrkSound.h"
#include "core/Diversen.h"
#include "core/PictureLists.h"
#include "core/Unit1.h"
#include "metadata/ExifData.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/Threads.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"
#include "tools/UnitBatchRename2.h"
#include "tools/UnitFloatButtons.h"

namespace {

// Any entry of that name (a link to nothing too).
bool EntryExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The end of the UTF-8 character that starts at i.
size_t NextCharacter(const std::string& s, size_t i) {
  ++i;
  while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  return i;
}

// The first place of find in text without letter case: its byte offset and byte length
// in text (upper and lower case forms of a letter may differ in length).
bool FindWithoutCase(const std::string& text, const std::string& find, size_t& pos, size_t& length) {
  const std::string wanted = AnsiUpperCase(find);
  size_t characters = 0;
  for (size_t i = 0; i < find.size(); i = NextCharacter(find, i)) ++characters;
  for (size_t i = 0; i < text.size(); i = NextCharacter(text, i)) {
    size_t end = i, taken = 0;
    while (end < text.size() && taken < characters) {
      end = NextCharacter(text, end);
      ++taken;
    }
    if (taken < characters) return false;
    if (AnsiUpperCase(text.substr(i, end - i)) == wanted) {
      pos = i;
      length = end - i;
      return true;
    }
  }
  return false;
}

// The photo date of a picture; 0 when it has none.
TDateTime PhotoDate(const std::string& fileName) {
  try {
    TimgData data;
    if (!data.ReadFileMetadata(fileName) || !data.HasExif() || !data.ImageInfo) return 0;
    return data.ImageInfo->PhotoDateTime();
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace

// ===========================================================================
// Folders renamed or moved in the folder tree
// ===========================================================================
void TForm1::FolderMoved(const std::string& OldFolder, const std::string& NewFolder) {
  MoveFavoriteFolders(OldFolder, NewFolder);
  FNamesBefore->Clear();
  FNamesAfter->Clear();
}

bool TForm1::ChangeFolderWithLists(const std::string& OldFolder, const std::string& NewFolder,
                                   const std::function<bool()>& Change, bool& Reported) {
  Reported = false;
  // The files below the folder, each to its place below the new one: the lists that name
  // them follow (the lines of files that are not there stay as they are).
  FNamesBefore->Clear();
  FNamesAfter->Clear();
  if (FileExists(PaperclipFile()) || DirectoryExists(ShowsFolder())) {
    TStringList files;
    ListAllFilesInTree(OldFolder, files);
    for (int i = 0; i < files.Count(); ++i) {
      FNamesBefore->Add(files.StringRef(i));
      FNamesAfter->Add(ReplacePathStart(OldFolder, NewFolder, files.StringRef(i)));
    }
  }
  // The question a taken name brings comes before anything is locked.
  if (TargetExists(NewFolder)) {
    FNamesBefore->Clear();
    FNamesAfter->Clear();
    Reported = true;
    return false;
  }
  if (!BeginListRenames(false)) {
    Reported = true;
    return false;
  }
  ActionRunning = true;
  bool changed;
  {
    // Until the lists follow the program takes no input but Esc. Which files went with the
    // folder the lists read from the disk, also when the move failed part way (a move to
    // another file system copies, then removes what it can): each file is under its new
    // name and no more under its old, or it stayed.
    TBusyInput busy;
    changed = Change();
    for (int i = 0; i < FNamesBefore->Count(); ++i) FListRenames->Done(FNamesBefore->StringRef(i));
    CheckForRenamedFiles(false);
  }
  ActionRunning = false;
  return changed;
}

void TForm1::QzDirTree211Editing(TObject* /*Sender*/, TTreeNode* /*Node*/, bool& /*AllowEdit*/) {
  FNamesBefore->Clear();
  FNamesAfter->Clear();
}

void TForm1::QzDirTree211Edited(TObject* /*Sender*/, TTreeNode* /*Node*/, std::string& S) {
  // The tree has renamed the folder and shows it under its new name.
  const std::string oldFolder = RemoveTrailingBackslash(S);
  const std::string newFolder = RemoveTrailingBackslash(QzDirTree211->SelectedPath());
  if (!IsFullPath(oldFolder) || !IsFullPath(newFolder) || oldFolder == newFolder) return;
  if (DirectoryExists(oldFolder) || !DirectoryExists(newFolder)) return;
  FolderMoved(oldFolder, newFolder);
}

void TForm1::QzDirTree211StartDrag(TObject* /*Sender*/, TDragObject*& /*DragObject*/) {
  // The pressed folder is the tree's folder by now.
  FDragSourceFolder = RemoveTrailingBackslash(QzDirTree211->SelectedPath());
  FNamesBefore->Clear();
}

void TForm1::QzDirTree211EndDrag(TObject* /*Sender*/, TObject* /*Target*/, int /*X*/, int /*Y*/) {
  const std::string source = FDragSourceFolder;
  FDragSourceFolder.clear();
  const std::string target = RemoveTrailingBackslash(QzDirTree211->SelectedPath());
  if (!IsFullPath(source) || !IsFullPath(target) || source == target) {
    FNamesBefore->Clear();
    return;
  }
  // Only a folder that really went: a refused or failed move changes no favorite.
  const std::string moved = PathJoin(target, ExtractFileName(source));
  if (DirectoryExists(source) || !DirectoryExists(moved)) return;
  FolderMoved(source, moved);
}

// ===========================================================================
// Batch rename
// ===========================================================================
std::string TForm1::BatchRenameTarget(const std::string& Path, int Mode, const std::string& FindText,
                                      const std::string& NewText, bool CaseSensitive, int CaseIndex) {
  const std::string folder = ExtractFilePath(Path);
  const std::string name = ExtractFileName(Path);
  const std::string ext = ExtractFileExt(name);
  std::string base = name.substr(0, name.size() - ext.size());
  std::string target;
  switch (Mode) {
    case 1: {
      // An empty find text is found nowhere.
      if (FindText.empty()) return std::string();
      size_t pos = 0, length = FindText.size();
      if (CaseSensitive) {
        pos = base.find(FindText);
        if (pos == std::string::npos) return std::string();
      } else if (!FindWithoutCase(base, FindText, pos, length)) {
        return std::string();
      }
      base.replace(pos, length, NewText);
      target = folder + base + ext;
      break;
    }
    case 2:
      target = folder + NewText + base + ext;
      break;
    case 3:
      target = folder + base + NewText + ext;
      break;
    case 4:
      target = folder + (CaseIndex == 0 ? AnsiUpperCase(name) : AnsiLowerCase(name));
      break;
    default:
      return std::string();
  }
  // A name that does not change, or one that is no name, leaves the file alone.
  const std::string newName = ExtractFileName(target);
  if (target == Path || newName.empty() || newName == "." || newName == ".." ||
      target.find('/', folder.size()) != std::string::npos)
    return std::string();
  return target;
}

int TForm1::RenameNoReplace(const std::string& From, const std::string& To) {
  if (From == To) return 0;
  if (fileio::RenameNoReplace(From, To) == 0) return 0;
  const int error = errno;
  // Where the file system ignores letter case, the "existing" target of a change of case
  // is the file itself: the rename goes through a free name in the same folder.
  if (error != EEXIST || AnsiUpperCase(From) != AnsiUpperCase(To) || !SameFile(From, To)) return error;
  std::string step;
  for (int n = 1; n < 1000; ++n) {
    step = ExtractFilePath(To) + "." + ExtractFileName(To) + ".renaming-" + IntToStr(n);
    if (!EntryExists(step)) break;
  }
  if (fileio::RenameNoReplace(From, step) != 0) return errno;
  if (fileio::RenameNoReplace(step, To) == 0) return 0;
  const int second = errno;
  fileio::RenameNoReplace(step, From);
  return second;
}

void TForm1::BatchReplaceClick(TObject* /*Sender*/) {
  if (TreeView1->Visible()) {
    ShowMessage(_("Rename not implemented during the paperclip yet.") + "\r" +
                _("For now rename the file in normal view!"));
    return;
  }
  if (!BatchRenameForm || ActionRunning) return;
  const int answer = BatchRenameForm->ShowModal();
  Application->ProcessMessages();
  if (answer != mrOk) return;
  const int mode = BatchRenameForm->FRenameMode;
  const std::string findText = BatchRenameForm->FFindText, newText = BatchRenameForm->FNewText;
  const bool caseSensitive = BatchRenameForm->ChB_Case->Checked();
  const int caseIndex = BatchRenameForm->CaseGroup->ItemIndex();
  ActionRunning = true;
  FFileAction = 10;
  FillWorkFileList(true);
  // The renames the rule makes; the lists that name the files follow them in the same step.
  FNamesBefore->Clear();
  FNamesAfter->Clear();
  for (const std::string& file : FWorkFiles->ToVector()) {
    const std::string target = BatchRenameTarget(file, mode, findText, newText, caseSensitive, caseIndex);
    if (target.empty()) continue;
    FNamesBefore->Add(file);
    FNamesAfter->Add(target);
  }
  if (!BeginListRenames(false)) {
    FWorkFiles->Clear();
    ActionRunning = false;
    return;
  }
  const std::vector<std::string> sources = FNamesBefore->ToVector(), targets = FNamesAfter->ToVector();
  StopRequested = false;
  // Each entry of the list by the file it names (a search list holds full paths).
  std::unordered_map<std::string, int> entryOf;
  for (int i = 0; i < ListBox1->Count(); ++i) entryOf.emplace(ListEntryPath(i), i);
  const bool fullPaths = PanelCustomLists->Visible();
  HourGlassCursor();
  int count = 0;
  std::vector<std::string> failed;
  auto lastPump = std::chrono::steady_clock::now();
  // Between the first rename and the lists' update the program takes no input but Esc.
  std::optional<TBusyInput> busy(std::in_place);
  for (size_t k = 0; k < sources.size(); ++k) {
    const std::string& file = sources[k];
    const std::string& target = targets[k];
    // A file that has the new name already keeps it (a change of case finds the file
    // itself only where the file system ignores case).
    if (!EntryExists(target) || SameFile(file, target)) {
      struct stat before;
      const bool dated = ::stat(file.c_str(), &before) == 0;
      const int error = RenameNoReplace(file, target);
      if (error == 0) {
        ++count;
        FListRenames->Done(file);
        // The shown picture goes by its new name from now on.
        if (FCurrentFile == file) FCurrentFile = target;
        // The file keeps its date.
        struct stat after;
        if (dated && ::stat(target.c_str(), &after) == 0 &&
            (after.st_mtim.tv_sec != before.st_mtim.tv_sec || after.st_mtim.tv_nsec != before.st_mtim.tv_nsec)) {
          const struct timespec times[2] = {before.st_atim, before.st_mtim};
          ::utimensat(AT_FDCWD, target.c_str(), times, 0);
        }
        const auto entry = entryOf.find(file);
        if (entry != entryOf.end() && entry->second < ListBox1->Count()) {
          const int index = entry->second;
          if (PanelThumbHolder->Visible() && FThumbScrollBox && index < FThumbScrollBox->ControlCount())
            if (auto* panel = dynamic_cast<TPanel*>(FThumbScrollBox->Controls(index))) {
              std::string hint;
              CreateThumbHint(target, std::string(), hint, std::string());
              panel->SetHint(hint);
            }
          ListBox1->Items()->SetStrings(index, fullPaths ? target : ExtractFileName(target));
        }
      } else if (error != EEXIST) {
        failed.push_back(file);
      }
    }
    // Esc is seen between files; the window stays alive meanwhile.
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPump > std::chrono::milliseconds(40)) {
      Application->ProcessMessages();
      if (busy->Escaped()) StopRequested = true;
      lastPump = now;
    }
    if (StopRequested || Application->Terminated()) break;
  }
  // The lists take the renames that took place.
  CheckForRenamedFiles(false);
  busy.reset();
  RestoreCursor();
  // The result goes by itself, as the next picture or folder would take it away.
  ShowIt(Format(_n("%d file renamed.", "%d files renamed.", count), {count}), true);
  if (!failed.empty())
    ShowMessage(Format(_n("%d file could not be renamed:", "%d files could not be renamed:", failed.size()),
                       {int(failed.size())}) +
                NameLines(failed));
  FWorkFiles->Clear();
  FFileAction = 10;
  StopRequested = false;
  ActionRunning = false;
}

// ===========================================================================
// File dates from photo dates
// ===========================================================================
void TForm1::FileDatetoExifdate1Click(TObject* /*Sender*/) {
  FFileAction = 50;
  FillWorkFileList(false);
  if (FWorkFiles->Count() == 0 ||
      TranslatedMessageDialog(_("Change file date(s) to match internal photo date(s)?"), mtConfirmation,
                              TMsgDlgButtons{mbYes, mbNo}, 0) != mrYes) {
    FWorkFiles->Clear();
    FFileAction = 10;
    return;
  }
  HourGlassCursor();
  int count = 0;
  std::vector<std::string> failed;
  for (int i = 0; i < FWorkFiles->Count(); ++i) {
    const std::string file = FWorkFiles->Strings(i);
    const TDateTime photo = PhotoDate(file);
    if (photo <= 0) continue;
    // Compared as the system's file dates (two-second steps), so that a file already
    // within that step is left alone; the date set is the photo's own, to the second.
    if (DateTimeToFileDate(photo) == FileAge(file)) continue;
    if (FileSetDateTime(file, photo))
      ++count;
    else
      failed.push_back(file);
  }
  RestoreCursor();
  if (!failed.empty())
    ShowMessage(Format(_n("%d file date could not be changed:", "%d file dates could not be changed:", failed.size()),
                       {int(failed.size())}) +
                NameLines(failed));
  FWorkFiles->Clear();
  FFileAction = 10;
  if (!FCurrentFile.empty()) OpenThePicture(FCurrentFile);
  // After the picture: opening one hides the message panel.
  ShowIt(Format(_n("%d file date changed.", "%d file dates changed.", count), {count}));
}

// ===========================================================================
// Thumbnails after removals
// ===========================================================================
void TForm1::TestThumbRealign() {
  if (ListBox1->Count() == 0 || !FThumbScrollBox) return;
  FThumbsVertical = FThumbsPos == 2;
  if (FThumbsVertical) {
    PanelThumbHolder->SetAlign(alRight);
    PanelThumbHolder->SetWidth((FThumbPanelSize + FThumbGapX) * FThumbColumns + 30);
  } else {
    PanelThumbHolder->SetAlign(FThumbsPos == 1 ? alTop : alBottom);
    PanelThumbHolder->SetHeight(FThumbPanelSize + 30);
  }
  FThumbX = FThumbGapX;
  FThumbY = FThumbGapY;
  FThumbScrollBox->HorzScrollBar()->SetPosition(0);
  FThumbScrollBox->VertScrollBar()->SetPosition(0);
  Application->ProcessMessages();
  // The events just handled may have rebuilt the thumbnails.
  if (!FThumbScrollBox) return;
  for (int i = 0; i < FThumbScrollBox->ControlCount(); ++i) {
    auto* panel = dynamic_cast<TPanel*>(FThumbScrollBox->Controls(i));
    if (!panel) continue;
    panel->SetTag(i);
    if (panel->ControlCount() > 0) panel->Controls(0)->SetTag(i);
    panel->SetLeft(FThumbX - FThumbScrollBox->HorzScrollBar()->Position());
    panel->SetTop(FThumbY - FThumbScrollBox->VertScrollBar()->Position());
    FThumbX += FThumbPanelSize + FThumbGapX;
    if (FThumbsVertical && FThumbX + FThumbGapX + FThumbPanelSize > FThumbScrollBox->Width()) {
      FThumbX = FThumbGapX;
      FThumbY += FThumbPanelSize + FThumbGapY;
    }
  }
}

// ===========================================================================
// Small tools
// ===========================================================================
void TForm1::ExifoverlayClick(TObject* /*Sender*/) { ShowExifLabel(); }

void TForm1::ScrollBox1HScroll(TObject* /*Sender*/) { HideExifLabels(); }

void TForm1::FormMouseWheelDown(TObject* /*Sender*/, TShiftState /*Shift*/, TPoint /*MousePos*/, bool& /*Handled*/) {
  if (PanelThumbHolder->Focused() && FThumbScrollBox)
    FThumbScrollBox->VertScrollBar()->SetPosition(FThumbScrollBox->VertScrollBar()->Position() + 20);
}

void TForm1::FormMouseWheelUp(TObject* /*Sender*/, TShiftState /*Shift*/, TPoint /*MousePos*/, bool& /*Handled*/) {
  if (PanelThumbHolder->Focused() && FThumbScrollBox)
    FThumbScrollBox->VertScrollBar()->SetPosition(FThumbScrollBox->VertScrollBar()->Position() - 20);
}

void TForm1::ZephFade1MouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int X, int Y) {
  if (!Application->Active() || (FormFloatB && FormFloatB->Visible())) return;
  ActivateFloatButtons(X, Y);
}

void TForm1::PopupZephFadePopup(TObject* /*Sender*/) {
  FloatingButtons1->SetChecked(FormFloatB && FormFloatB->Visible());
}

void TForm1::Closeslideshow1Click(TObject* /*Sender*/) {
  if (FFullScreen) FullScreen();
}

void TForm1::ListBox1DragOver(TObject* /*Sender*/, TObject* /*Source*/, int /*X*/, int /*Y*/, TDragState /*State*/,
                              bool& Accept) {
  Accept = true;
}

void TForm1::ListBox1EndDrag(TObject* /*Sender*/, TObject* /*Target*/, int /*X*/, int /*Y*/) {
  if (MouseOverItem == -1) return;
  MouseOverItem = -1;
  ListBox1->Invalidate();
}

void TForm1::ZqSoundbuttonClick(TObject* /*Sender*/) {
  if (!FCurrentFile.empty()) SoundExists(FCurrentFile, true);
}

void TForm1::ShowallfilesClick(TObject* /*Sender*/) {
  FLastPath.clear();
  ZqShowAll->SetDown(Showallfiles->Checked());
  setWithQzDirPath(false);
}

// Kivo2 has no web site: its home is the help's page about the program.
void TForm1::GotoHomepage1Click(TObject* /*Sender*/) { ShowHelpTopic("about.html"); }

// ===========================================================================
// Events
// ===========================================================================
void TForm1::bindListEvents() {
  auto click = [this](void (TForm1::*handler)(TObject*)) {
    return [this, handler](TObject* Sender) { (this->*handler)(Sender); };
  };
  // The paperclip.
  for (TMenuItem* item : {M_Addfilestopapercli1, AddToPaperclip})
    item->OnClick = click(&TForm1::M_Addfilestopapercli1Click);
  Zq_Paperclip->OnClick = click(&TForm1::M_Addfilestopapercli1Click);
  Removefilesfrompaperclip1->OnClick = click(&TForm1::Removefilesfrompaperclip1Click);
  for (TMenuItem* item : {M_Clearpaperclip1, P_ClearPaperclip}) item->OnClick = click(&TForm1::M_Clearpaperclip1Click);
  TreeToPaperclip->OnClick = click(&TForm1::TreeToPaperclipClick);
  for (TMenuItem* item : {SortTool1, Sorttool2}) item->OnClick = click(&TForm1::Sorttool1Click);
  ZqSpeedButton2->OnClick = click(&TForm1::Sorttool1Click);

  // Shows and their tree.
  Panel6->OnClick = click(&TForm1::M_OpenShowClick);
  Zq_CustomShow->OnClick = click(&TForm1::M_OpenShowClick);
  M_OpenShow->OnClick = click(&TForm1::M_OpenShowClick);
  TreeView1->OnChange = [this](TObject* Sender, TTreeNode* Node) { TreeView1Change(Sender, Node); };
  TreeView1->OnDblClick = click(&TForm1::TreeView1DblClick);
  TreeView1->OnEditing = [this](TObject* Sender, TTreeNode* Node, bool& Allow) { TreeView1Editing(Sender, Node, Allow); };
  TreeView1->OnEdited = [this](TObject* Sender, TTreeNode* Node, std::string& S) { TreeView1Edited(Sender, Node, S); };
  TreeView1->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    TreeView1MouseDown(Sender, Button, Shift, X, Y);
  };
  TreeView1->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    TreeView1MouseUp(Sender, Button, Shift, X, Y);
  };
  TreeView1->OnStartDrag = [this](TObject* Sender, TDragObject*& Object) { TreeView1StartDrag(Sender, Object); };
  TreeView1->OnDragOver = [this](TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept) {
    TreeView1DragOver(Sender, Source, X, Y, State, Accept);
  };
  TreeView1->OnDragDrop = [this](TObject* Sender, TObject* Source, int X, int Y) {
    TreeView1DragDrop(Sender, Source, X, Y);
  };
  TreeView1->OnEndDrag = [this](TObject*, TObject*, int, int) { FTreeDragging = false; };
  TreeView1->OnKeyPress = [this](TObject* Sender, char& Key) { TreeView1KeyPress(Sender, Key); };
  PopupTreeview1->OnPopup = click(&TForm1::PopupTreeview1Popup);
  P_SaveClipAsShow->OnClick = click(&TForm1::P_SaveClipAsShowClick);
  P_PasteAsShow->OnClick = click(&TForm1::P_PasteAsShowClick);
  P_PasteInShow->OnClick = click(&TForm1::P_PasteInShowClick);
  P_PasteClipInShow->OnClick = click(&TForm1::P_PasteClipInShowClick);
  Removefromshow->OnClick = click(&TForm1::RemovefromshowClick);
  EditShow1->OnClick = click(&TForm1::EditShow1Click);
  RenameNode->OnClick = click(&TForm1::RenameNodeClick);
  P_AddShowFolder->OnClick = click(&TForm1::P_AddShowFolderClick);
  P_DeleteShow->OnClick = click(&TForm1::P_DeleteShowClick);
  P_DeleteShowFolder->OnClick = click(&TForm1::P_DeleteShowFolderClick);

  // Folder search, reload, the program history.
  for (TMenuItem* item : {FindFolder1, P_FindFolder}) item->OnClick = click(&TForm1::FindFolder1Click);
  Reload1->OnClick = click(&TForm1::Reload1Click);
  Browsetoopen1->OnClick = click(&TForm1::Browsetoopen1Click);
  for (TMenuItem* item : {P_History1, P_History2, P_History3, P_History4, P_History5, P_History6, P_History7,
                          P_History8})
    item->OnClick = click(&TForm1::P_History1Click);

  // Folder renames and moves, batch renaming, small tools.
  QzDirTree211->OnEditing = [this](TObject* Sender, TTreeNode* Node, bool& Allow) {
    QzDirTree211Editing(Sender, Node, Allow);
  };
  QzDirTree211->OnEdited = [this](TObject* Sender, TTreeNode* Node, std::string& S) {
    QzDirTree211Edited(Sender, Node, S);
  };
  QzDirTree211->OnChangeFolder = [this](const std::string& OldPath, const std::string& NewPath,
                                        const std::function<bool()>& Change, bool& Reported) {
    return ChangeFolderWithLists(OldPath, NewPath, Change, Reported);
  };
  QzDirTree211->OnStartDrag = [this](TObject* Sender, TDragObject*& Object) { QzDirTree211StartDrag(Sender, Object); };
  QzDirTree211->OnEndDrag = [this](TObject* Sender, TObject* Target, int X, int Y) {
    QzDirTree211EndDrag(Sender, Target, X, Y);
  };
  BatchReplace->OnClick = click(&TForm1::BatchReplaceClick);
  FileDatetoExifdate1->OnClick = click(&TForm1::FileDatetoExifdate1Click);
  Exifoverlay->OnClick = click(&TForm1::ExifoverlayClick);
  ScrollBox1->OnHScroll = click(&TForm1::ScrollBox1HScroll);
  ScrollBox1->OnVScroll = click(&TForm1::ScrollBox1HScroll);
  OnMouseWheelDown = [this](TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled) {
    FormMouseWheelDown(Sender, Shift, MousePos, Handled);
  };
  OnMouseWheelUp = [this](TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled) {
    FormMouseWheelUp(Sender, Shift, MousePos, Handled);
  };
  ZephFade1->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    ZephFade1MouseMove(Sender, Shift, X, Y);
  };
  PopupZephFade->OnPopup = click(&TForm1::PopupZephFadePopup);
  Closeslideshow1->OnClick = click(&TForm1::Closeslideshow1Click);
  ListBox1->OnDragOver = [this](TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept) {
    ListBox1DragOver(Sender, Source, X, Y, State, Accept);
  };
  ListBox1->OnEndDrag = [this](TObject* Sender, TObject* Target, int X, int Y) {
    ListBox1EndDrag(Sender, Target, X, Y);
  };
  ZqSoundbutton->OnClick = click(&TForm1::ZqSoundbuttonClick);
  for (TMenuItem* item : {Playmemo1, M_Playmemo}) item->OnClick = click(&TForm1::ZqSoundbuttonClick);
  Showallfiles->OnClick = click(&TForm1::ShowallfilesClick);
  GotoHomepage1->OnClick = click(&TForm1::GotoHomepage1Click);
}
