// Shows and the paperclip and shows tree. A show is a saved list of pictures: a ".shw"
// file of one picture path a line in the folder "Shows" of the program's data folder,
// grouped in show folders to any depth. TreeView1 takes the folder tree's place in the
// navigator: its first root is the paperclip, its second the Shows folder. Selecting a
// show lists its pictures in the file list; the tree's popup makes, fills, renames,
// moves and removes shows and show folders.
//
// The folder is named "Shows" on disk whatever the interface language (only the node's
// caption is translated), so a language switch never hides the user's shows. Show files
// are read again and rewritten whole through a temporary file under the lock of their
// folder, so that another program's change in between is kept; a line of a missing
// picture stays in the file when entries are removed or reordered.
#include <algorithm>
#include <unordered_set>

#include "controls/KpPanel.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/PictureLists.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/ShellExplorer.h"
#include "tools/UnitDragDrop.h"
#include "tools/UnitHelp.h"

namespace {

// Node kinds: the image index of a node of TreeView1.
constexpr int kShowFolder = 0, kShow = 1, kShowSelected = 2, kPaperclip = 3, kShowsRoot = 4;

// Characters a show or show folder name may not hold.
const std::string kInvalidNameChars = "\\*?/=\"<>|:,;+^";

// The name S gets as a show: its extension (if any) replaced by ".shw".
std::string AsShowName(const std::string& s) {
  const size_t dot = s.rfind('.');
  return (dot == std::string::npos || dot == 0 ? s : s.substr(0, dot)) + ".shw";
}

bool EntryExists(const std::string& path) { return FileExists(path) || DirectoryExists(path); }

// The pictures of the shows tree, from the desktop's icon theme.
TImageList* MakeShowImages(TComponent* owner) {
  auto* images = new TImageList(owner);
  const std::vector<std::vector<std::string>> names = {
      {"folder"},
      {"x-office-presentation", "view-presentation", "image-x-generic"},
      {"media-playback-start", "x-office-presentation", "image-x-generic"},
      {"mail-attachment", "edit-paste"},
      {"folder-pictures", "folder-images", "folder"}};
  for (const auto& alternatives : names)
    if (const TBitmap* icon = SystemSmallImages()->ImageWithAlpha(ThemeIconIndex(alternatives)))
      images->Add(icon);
  return images;
}

}  // namespace

std::string TForm1::ShowNodePath(const TTreeNode* Node) const {
  if (!Node) return std::string();
  std::vector<std::string> names;
  const TTreeNode* root = Node;
  for (; root->Parent(); root = root->Parent()) names.push_back(root->Text());
  if (root->ImageIndex() == kPaperclip) return PaperclipFile();
  std::string path = ShowsFolder();
  for (auto it = names.rbegin(); it != names.rend(); ++it) path = PathJoin(path, *it);
  return path;
}

void TForm1::RefillShowsTree() {
  FShowNode = nullptr;
  TreeView1->Items()->Clear();
  FillShowsTree(ShowsFolder() + "/", TreeView1, true, kShowFolder, kShowFolder);
  MakePaperclipText();
}

namespace {

TTreeNode* SelectNodeOfPath(TForm1& form, const std::string& path) {
  TTreeNodes* items = form.TreeView1->Items();
  for (int i = 0; i < items->Count(); ++i) {
    TTreeNode* node = items->Item(i);
    if (node->Level() > 0 && form.ShowNodePath(node) == path) {
      node->MakeVisible();
      form.TreeView1->SetSelected(node);
      return node;
    }
  }
  return nullptr;
}

}  // namespace

int TForm1::FindNodeWithTextFromIndex(int Start, const std::string& Text, int Kind) {
  TTreeNodes* items = TreeView1->Items();
  for (int i = std::max(0, Start); i < items->Count(); ++i) {
    TTreeNode* node = items->Item(i);
    if (node->ImageIndex() == Kind && SameText(node->Text(), Text)) {
      TreeView1->SetSelected(node);
      return i;
    }
  }
  return -1;
}

// ===========================================================================
// The navigator: folder tree or shows tree
// ===========================================================================
void TForm1::M_OpenShowClick(TObject* /*Sender*/) {
  if (FFullScreen || FSlideShowMode) {
    Zq_CustomShow->SetDown(TreeView1->Visible());
    return;
  }
  if (ZqBrowsePanel->Down()) ZqBrowsePanelClick(this);
  if (ChB_CloseOnClick->Checked() && ZqFavoriteslist->Down()) {
    ZqFavoriteslist->SetDown(false);
    ZqFavoriteslistClick(this);
  }
  FShowNode = nullptr;
  TreeView1->Items()->Clear();
  HideExifLabels();

  if (TreeView1->Visible()) {
    // Back to the folders.
    Panel6->SetCaption(_("Drives and folders"));
    ZqSpeedButton5->SetVisible(true);
    QzDirTree211->SetVisible(true);
    if (M_Filelistbar->Checked()) PanelListOptions->SetVisible(true);
    TreeView1->SetVisible(false);
    for (TZqSpeedButton* button : {ZqFolderUp, ZqFolderDown, ZqSortmenu, ZqListBoxSortmenu})
      button->SetEnabled(true);
    for (TMenuItem* item : {Filesort1, FindFolder1, Search1, Reload1, AddfoldertoFavorites}) item->SetEnabled(true);
    Zq_CustomShow->SetDown(false);
    FShowNodeKind = -1;
    FShowFile.clear();
    FShowFolder.clear();
    if (DragForm) DragForm->FListFile.clear();
    ListBox1->Clear();
    FLastPath.clear();
    if (!FSavedFolderPath.empty() && DirectoryExists(FSavedFolderPath))
      QzDirTree211->OpenPath(FSavedFolderPath);
    else
      setWithQzDirPath(false);
    FFolderBeforeShows.clear();
    ShowExifLabel();
    return;
  }

  if (!DirectoryExists(ShowsFolder())) ForceDirectories(ShowsFolder());
  if (!DirectoryExists(ShowsFolder())) {
    Zq_CustomShow->SetDown(false);
    ShowMessage(_("Can't create show folder"));
    return;
  }
  if (!showImages_) {
    showImages_ = MakeShowImages(this);
    TreeView1->SetImages(showImages_);
  }
  Panel6->SetCaption(_("Paperclip and shows"));
  ZqSpeedButton5->SetVisible(false);
  PanelListOptions->SetVisible(false);
  for (TZqSpeedButton* button : {ZqFolderUp, ZqFolderDown, ZqSortmenu}) button->SetEnabled(false);
  for (TMenuItem* item : {Filesort1, FindFolder1, Search1, Reload1, AddfoldertoFavorites}) item->SetEnabled(false);
  ZqListBoxSortmenu->SetEnabled(true);
  // The folder comes back when the folders return; the settings save it meanwhile.
  FSavedFolderPath = FLastPath;
  FFolderBeforeShows = FLastPath;
  FLastPath.clear();
  QzDirTree211->SetVisible(false);
  TreeView1->SetVisible(true);
  Zq_CustomShow->SetDown(true);
  if (TreeView1->CanFocus()) TreeView1->SetFocus();
  ListBox1->Clear();
  EmptyAllImages();
  FCurrentFile.clear();
  RefillShowsTree();
  // The paperclip node lists the paperclip.
  if (TreeView1->Items()->Count() > 0) TreeView1->SetSelected(TreeView1->Items()->Item(0));
  SetListBoxHorzBar(ListBox1);
}

void TForm1::TreeView1Change(TObject* /*Sender*/, TTreeNode* /*Node*/) {
  if (FTreeDragging) return;
  // A change handled while this one lets events run has shown its own node: this one stops.
  const int change = ++showChanges_;
  auto overtaken = [&] { return change != showChanges_; };
  FShowFile.clear();
  FShowFolder.clear();
  FShowNodeKind = -1;
  FShowParentIndex = -1;
  FShowNode = nullptr;
  if (DragForm) DragForm->FListFile.clear();
  Application->ProcessMessages();
  if (overtaken()) return;
  // The events just handled may have changed or rebuilt the tree.
  TTreeNode* node = TreeView1->Selected();
  if (!node || !TreeView1->Visible()) return;
  FShowNode = node;
  FShowNodeKind = node->ImageIndex();
  FShowFile = ShowNodePath(node);
  FShowFolder = FShowFile;
  if (node->Parent() && FShowNodeKind != kShowFolder)
    FShowParentIndex = node->Parent()->AbsoluteIndex();
  else
    FShowParentIndex = std::max(1, node->AbsoluteIndex());
  switch (FShowNodeKind) {
    case kShowFolder:
    case kShowsRoot:
      // A folder lists nothing.
      SetCaption(FShowFolder);
      ListBox1->Clear();
      EmptyAllImages();
      FCurrentFile.clear();
      ResetListbox1();
      break;
    case kShow:
    case kShowSelected:
      FShowNodeKind = kShow;
      FShowFolder = ExtractFilePath(FShowFile);
      SetCaption(FShowFile);
      if (DragForm) DragForm->FListFile = FShowFile;
      LoadAShow();
      if (overtaken()) return;
      ResetListbox1();
      if (overtaken()) return;
      if (ListBox1->Count() == 0) ShowIt(_("This show is empty."));
      break;
    case kPaperclip:
      ShowPaperclipFiles();
      break;
    default:
      break;
  }
}

void TForm1::LoadAShow() {
  HourGlassCursor();
  const int change = showChanges_;
  for (;;) {
    ListBox1->Clear();
    EmptyAllImages();
    FCurrentFile.clear();
    Application->ProcessMessages();
    // Another node was selected meanwhile: the list is that node's.
    if (change != showChanges_) break;
    const bool debug = CB_DebugShows->Checked();
    int missing = 0;
    TStringList lines, listed;
    if (FileExists(FShowFile) && !LoadListFile(FShowFile, lines)) break;
    for (int i = 0; i < lines.Count(); ++i) {
      const std::string& line = lines.StringRef(i);
      if (line.empty()) continue;
      const std::string path = PathFromListLine(line);
      const bool exists = FileExists(path);
      if (exists || debug) listed.Add(path);
      if (exists) continue;
      ++missing;
      if (debug) ShowMessage(line);
    }
    ListBox1->Items()->Assign(&listed);
    SetListBoxHorzBar(ListBox1);
    if (missing == 0) break;
    if (!debug) {
      ShowMessage(Format(_n("%s file not found and not added to the visible file list.",
                            "%s files not found and not added to the visible file list.", lines.Count()),
                         {IntToStr(missing) + "/" + IntToStr(lines.Count())}) +
                  "\r" + _("You could manually correct the show file") + " " + FShowFile + _(" with any texteditor"));
      break;
    }
    // The debug check: the lines in the text window, saved when the user says so, and
    // the show loaded again.
    HelpForm->ZqButton2->SetVisible(KpFramePanel1->Visible());
    HelpForm->Memo1->Lines()->Assign(lines);
    HelpForm->FLoaded = lines.ToVector();
    HelpForm->Memo1->SetVisible(true);
    HelpForm->FFileName = FShowFile;
    HelpForm->SetCaption(FShowFile);
    HelpForm->ShowModal();
    HelpForm->Memo1->SetVisible(false);
    if (TranslatedMessageDialog(_("Save changes to ") + FShowFile, mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0) !=
        mrYes)
      break;
    if (!HelpForm->SaveEdit(*HelpForm->Memo1->Lines())) break;
  }
  Application->ProcessMessages();
  RestoreCursor();
}

// ===========================================================================
// New shows
// ===========================================================================
namespace {

// The folder a new show goes into: the Shows folder while the paperclip is selected,
// else the selected show folder (or the folder of the selected show); "" when nothing
// inside the shows folder is selected.
std::string NewShowFolder(const TForm1& form) {
  if (form.FShowNodeKind == kPaperclip) return form.ShowsFolder();
  if (form.FShowNodeKind < 0 || form.FShowFolder.empty()) return std::string();
  const std::string folder = RemoveTrailingBackslash(form.FShowFolder);
  return PathIsWithin(folder, form.ShowsFolder()) ? folder : std::string();
}

}  // namespace

std::string TForm1::NewShow(const std::string& Folder, const std::string& BaseName,
                            const std::vector<std::string>& Lines) {
  // A free name, taken under its lock: a show another program made by that name since it
  // was chosen stays as it is, and the next free name is taken.
  for (int tries = 0; tries < 100; ++tries) {
    const std::string show = UniqueNameWithExt(PathJoin(Folder, BaseName), ".shw");
    bool taken = false;
    if (!ChangeList(show, [&](TStringList& lines) {
          if ((taken = FileExists(show))) return false;
          lines.AddStrings(Lines);
          return true;
        }))
      return std::string();
    if (!taken) return show;
  }
  return std::string();
}

void TForm1::P_SaveClipAsShowClick(TObject* /*Sender*/) {
  const std::string folder = NewShowFolder(*this);
  TStringList clip;
  if (!folder.empty() && FileExists(PaperclipFile()) && LoadListFile(PaperclipFile(), clip)) {
    const std::string show = NewShow(folder, _("My new Show.shw"), clip.ToVector());
    if (!show.empty()) {
      RefillShowsTree();
      SelectNodeOfPath(*this, show);
    }
  }
  EmptyAllImages();
  ResetListbox1();
}

void TForm1::P_PasteAsShowClick(TObject* /*Sender*/) {
  if (FWorkFiles->Count() == 0 || (FFileAction != 20 && FFileAction != 40)) {
    MessageDlg(_("No file(s) selected"), mtWarning, TMsgDlgButtons{mbOK}, 0);
    return;
  }
  const std::string folder = NewShowFolder(*this);
  if (folder.empty()) return;
  std::vector<std::string> lines;
  for (const std::string& file : ListableFiles(FWorkFiles->ToVector())) lines.push_back(ListLineFromPath(file));
  const std::string show = NewShow(folder, _("My new Pasted show"), lines);
  if (show.empty()) return;
  FShowFolder = show;
  RefillShowsTree();
  SelectNodeOfPath(*this, show);
}

bool TForm1::AddToList(const std::string& ListFile, const std::vector<std::string>& Files, int& Count) {
  std::vector<std::string> added;
  std::unordered_set<std::string> once;
  for (const std::string& file : Files)
    if (FileExists(file) && once.insert(file).second) added.push_back(file);
  Count = 0;
  return EditList(ListFile, {}, added, &Count);
}

void TForm1::P_PasteInShowClick(TObject* /*Sender*/) {
  if (FWorkFiles->Count() == 0 || (FFileAction != 20 && FFileAction != 40)) {
    MessageDlg(_("No file(s) selected"), mtWarning, TMsgDlgButtons{mbOK}, 0);
    return;
  }
  if (FShowNodeKind != kShow || FShowFile.empty()) return;
  int count = 0;
  if (!AddToList(FShowFile, ListableFiles(FWorkFiles->ToVector()), count)) return;
  ShowIt(Format(_n("%d file pasted in show %s", "%d files pasted in show %s", count),
                {count, ExtractFileName(FShowFile)}));
  LoadAShow();
}

void TForm1::P_PasteClipInShowClick(TObject* /*Sender*/) {
  if (FShowNodeKind != kShow || FShowFile.empty()) return;
  TStringList clip;
  if (!LoadListFile(PaperclipFile(), clip)) return;
  std::vector<std::string> files;
  for (int i = 0; i < clip.Count(); ++i)
    if (!clip.StringRef(i).empty()) files.push_back(PathFromListLine(clip.StringRef(i)));
  int count = 0;
  if (!AddToList(FShowFile, files, count)) return;
  const std::string show = ExtractFileName(FShowFile);
  LoadAShow();
  ResetListbox1();
  // After the show's first picture: opening one hides the message panel.
  ShowIt(Format(_n("%d file pasted in show %s", "%d files pasted in show %s", count), {count, show}));
}

// ===========================================================================
// Removing entries, editing the order
// ===========================================================================
void TForm1::RemovefromshowClick(TObject* /*Sender*/) {
  std::string target;
  if (FShowNodeKind == kPaperclip) {
    target = PaperclipFile();
  } else if (FShowNodeKind == kShow && !FShowFile.empty()) {
    target = FShowFile;
  }
  if (target.empty() || ListBox1->SelCount() == 0) return;
  std::vector<std::string> removed;
  for (int i = 0; i < ListBox1->Count(); ++i)
    if (ListBox1->Selected(i)) removed.push_back(ListBox1->Items()->Strings(i));
  // The file, as it is now, loses the removed entries' lines; every other line stays as it
  // is. A file that cannot be written keeps the list as it is.
  if (!EditList(target, removed, {})) return;
  for (int i = ListBox1->Count() - 1; i >= 0; --i) {
    if (!ListBox1->Selected(i)) continue;
    // The thumbnails stand in list order: the entry's one goes with it.
    if (PanelThumbHolder->Visible() && FThumbScrollBox && i < FThumbScrollBox->ControlCount() &&
        dynamic_cast<TPanel*>(FThumbScrollBox->Controls(i)))
      delete FThumbScrollBox->Controls(i);
  }
  ListBox1->DeleteSelected();
  EmptyAllImages();
  FCurrentFile.clear();
  if (ListBox1->Count() > 0) {
    ListBox1->SetItemIndex(0);
    if (ListBox1->MultiSelect()) ListBox1->SetSelected(0, true);
    OpenThePicture(ListBox1->Items()->Strings(0));
  }
  if (PanelThumbHolder->Visible()) TestThumbRealign();
  MakePaperclipText();
}

void TForm1::EditShow1Click(TObject* /*Sender*/) {
  if (FShowNodeKind != kShow || FShowFile.empty() || !DragForm) return;
  DragForm->ListBox1->Items()->Assign(*ListBox1->Items());
  DragForm->FListFile = FShowFile;
  DragForm->ShowModal();
}

void TForm1::TreeView1DblClick(TObject* Sender) {
  if (FShowNodeKind == kShow) EditShow1Click(Sender);
}

// ===========================================================================
// Show folders, deleting, renaming
// ===========================================================================
void TForm1::P_AddShowFolderClick(TObject* /*Sender*/) {
  TTreeNode* parentNode = FShowNode;
  if (FShowNodeKind == kPaperclip) {
    FShowFolder = ShowsFolder() + "/";
  } else if (FShowNodeKind == kShow) {
    // Beside the show, in its folder.
    parentNode = FShowNode ? FShowNode->Parent() : nullptr;
  } else if (FShowNodeKind != kShowFolder && FShowNodeKind != kShowsRoot) {
    return;
  }
  const std::string parent = NewShowFolder(*this);
  if (parent.empty()) return;
  std::string name = _("New Show folder");
  for (int n = 1; EntryExists(PathJoin(parent, name)); ++n) name = _("New Show folder") + " (" + IntToStr(n) + ")";
  const std::string folder = PathJoin(parent, name);
  bool made = false;
  if (!ChangeShowEntries({folder}, [&] { made = CreateDir(folder); })) return;
  if (!made) {
    ShowMessage(_("Can't create show folder"));
    return;
  }
  if (FShowNodeKind == kPaperclip || !parentNode) {
    RefillShowsTree();
    SelectNodeOfPath(*this, folder);
    return;
  }
  TTreeNode* node = TreeView1->Items()->AddChild(parentNode, name);
  node->SetImageIndex(kShowFolder);
  node->SetSelectedIndex(kShowFolder);
  parentNode->Expand(false);
  TreeView1->SetSelected(node);
}

void TForm1::P_DeleteShowClick(TObject* /*Sender*/) {
  if (FShowNodeKind != kShow || FShowFile.empty() || !FShowNode) return;
  const std::string show = FShowFile;
  if (TranslatedMessageDialog(Format(_("Remove %s"), {show}), mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0) == mrNo)
    return;
  // To the Trash, from where the user can take it back.
  bool removed = false;
  if (!ChangeShowEntries({show}, [&] { removed = RecycleFile(show); })) return;
  if (!removed) {
    ShowMessage(Format(_("%s could not be removed."), {show}));
    return;
  }
  ListBox1->Clear();
  EmptyAllImages();
  FCurrentFile.clear();
  TTreeNode* node = FShowNode;
  FShowNode = nullptr;
  node->Delete();
}

void TForm1::P_DeleteShowFolderClick(TObject* /*Sender*/) {
  Application->ProcessMessages();
  if (FShowNodeKind != kShowFolder || !FShowNode || FShowNode->Level() < 1 || FShowFolder.empty()) return;
  const std::string folder = RemoveTrailingBackslash(FShowFolder);
  // Only a folder below the Shows folder is ever removed here.
  if (!PathIsWithin(folder, ShowsFolder()) || SameFolderPath(folder, ShowsFolder())) return;
  if (!DirectoryExists(folder)) {
    MessageBeep(MB_ICONHAND);
    MessageDlg(Format(_("%s not found."), {folder}), mtError, TMsgDlgButtons{mbOK}, 0);
  } else if (TranslatedMessageDialog(Format(_("Remove %s"), {folder}), mtConfirmation, TMsgDlgButtons{mbYes, mbNo},
                                     0) != mrNo) {
    HourGlassCursor();
    bool trashed = false;
    const bool locked = ChangeShowEntries({folder}, [&] { trashed = ShellDeleteToRecycleBin(folder); });
    RestoreCursor();
    if (!locked) {
      // Said already.
    } else if (trashed) {
      TTreeNode* node = FShowNode;
      FShowNode = nullptr;
      node->Delete();
    } else {
      ShowMessage(Format(_("%s could not be removed."), {folder}));
    }
  }
  EmptyAllImages();
  ResetListbox1();
}

void TForm1::RenameNodeClick(TObject* /*Sender*/) {
  if (FShowNode && FShowNode->Level() > 0) FShowNode->EditText();
}

void TForm1::TreeView1Editing(TObject* /*Sender*/, TTreeNode* Node, bool& AllowEdit) {
  AllowEdit = Node && Node->Level() > 0;
}

void TForm1::TreeView1Edited(TObject* /*Sender*/, TTreeNode* Node, std::string& S) {
  if (!Node || Node->Level() == 0) return;
  const std::string oldText = Node->Text();
  const std::string oldPath = ShowNodePath(Node);
  const bool selected = Node == FShowNode;
  if (S == oldText) return;
  switch (Node->ImageIndex()) {
    case kShow:
    case kShowSelected: {
      if (AsShowName(S) == oldText) {
        S = oldText;
        return;
      }
      if (S.empty() || ContainsAnyChar(kInvalidNameChars, S)) {
        ShowMessage(Format(_("%s Invalid name"), {AsShowName(S)}));
        S = oldText;
        return;
      }
      const std::string newPath = UniqueNameWithExt(PathJoin(ExtractFileDir(oldPath), S), ".shw");
      int error = EIO;
      if (!ChangeShowEntries({oldPath, newPath}, [&] { error = RenameNoReplace(oldPath, newPath); })) {
        S = oldText;
        return;
      }
      if (error != 0) {
        S = oldText;
        ShowMessage(_("Error during renaming the show"));
        return;
      }
      S = ExtractFileName(newPath);
      if (selected) {
        FShowFile = newPath;
        SetCaption(newPath);
        if (DragForm) DragForm->FListFile = newPath;
      }
      break;
    }
    case kShowFolder: {
      if (S.empty() || S == "." || S == ".." || ContainsAnyChar(kInvalidNameChars, S)) {
        ShowMessage(Format(_("%s Invalid name"), {S}));
        S = oldText;
        return;
      }
      const std::string newPath = PathJoin(ExtractFileDir(oldPath), S);
      int error = EIO;
      if (!ChangeShowEntries({oldPath, newPath}, [&] { error = RenameNoReplace(oldPath, newPath); })) {
        S = oldText;
        return;
      }
      if (error != 0) {
        ShowMessage(Format(_("Rename folder %s failed!"), {newPath}));
        S = oldText;
        return;
      }
      if (selected) {
        FShowFolder = newPath;
        FShowFile = newPath;
      }
      break;
    }
    default:
      S = oldText;
      break;
  }
}

// ===========================================================================
// Moving shows and show folders by drag
// ===========================================================================
namespace {

// The dragged show or show folder may go into node.
bool DropAllowed(const TForm1& form, const TTreeNode* node) {
  if (!node || (node->ImageIndex() != kShowFolder && node->ImageIndex() != kShowsRoot)) return false;
  const std::string& dragged = form.FDragNodePath;
  if (dragged.empty() || !PathIsWithin(dragged, form.ShowsFolder())) return false;
  const std::string target = form.ShowNodePath(node);
  if (EntryExists(PathJoin(target, form.FDragNodeName))) return false;
  // A folder goes neither into itself nor into a folder below it.
  return !DirectoryExists(dragged) || !PathIsWithin(target, dragged);
}

}  // namespace

void TForm1::TreeView1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  ListBox1MouseDown(Sender, Button, Shift, X, Y);
  TTreeNode* node = TreeView1->GetNodeAt(X, Y);
  if (Button == mbLeft && node && node->Level() > 0) TreeView1->BeginDrag(false, 10);
}

void TForm1::TreeView1StartDrag(TObject* /*Sender*/, TDragObject*& /*DragObject*/) {
  // The drag begins only when the mouse has moved: FTreeDragging is set by the first
  // drag over the tree, where the node under the mouse gets selected.
  TTreeNode* node = TreeView1->Selected();
  FDragNodeName = node && node->Level() > 0 ? node->Text() : std::string();
  FDragNodePath = node && node->Level() > 0 ? ShowNodePath(node) : std::string();
}

void TForm1::TreeView1DragOver(TObject* /*Sender*/, TObject* Source, int X, int Y, TDragState /*State*/,
                               bool& Accept) {
  Accept = false;
  if (Source != TreeView1) return;
  const THitTests hit = TreeView1->GetHitTestInfoAt(X, Y);
  if (!hit.Contains(htOnItem) && !hit.Contains(htOnIcon) && !hit.Contains(htOnLabel)) return;
  TTreeNode* node = TreeView1->GetNodeAt(X, Y);
  if (!node) return;
  FTreeDragging = true;
  if (TreeView1->Selected() != node) TreeView1->SetSelected(node);
  Accept = DropAllowed(*this, node);
  FDropIndex = node->AbsoluteIndex();
  SetCaption(FDragNodePath);
}

void TForm1::TreeView1DragDrop(TObject* /*Sender*/, TObject* Source, int X, int Y) {
  if (Source != TreeView1) return;
  TTreeNode* node = TreeView1->GetNodeAt(X, Y);
  if (!node) node = TreeView1->Selected();
  if (!DropAllowed(*this, node)) {
    FTreeDragging = false;
    return;
  }
  const std::string target = ShowNodePath(node);
  const bool folder = DirectoryExists(FDragNodePath);
  const std::string moving = FDragNodePath, to = PathJoin(target, FDragNodeName);
  bool moved = false;
  FTreeDragging = false;
  if (ChangeShowEntries({moving, to}, [&] { moved = (folder || FileExists(moving)) && ShellMoveFile(moving, to); }) &&
      !moved)
    ShowMessage(Format(_("%s could not be moved."), {moving}));
  RefillShowsTree();
  if (!folder) {
    ListBox1->Clear();
    EmptyAllImages();
    FCurrentFile.clear();
  }
  // The target by its path: the nodes before it may have moved.
  if (TTreeNode* selected = SelectNodeOfPath(*this, target); selected && selected->AbsoluteIndex() > 1)
    selected->Expand(false);
  else if (!selected && TreeView1->Items()->Count() > 1)
    TreeView1->SetSelected(TreeView1->Items()->Item(1));
}

void TForm1::TreeView1MouseUp(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/,
                              int /*Y*/) {
  FTreeDragging = false;
}

void TForm1::TreeView1KeyPress(TObject* /*Sender*/, char& Key) {
  if (Key == '=' || Key == '-' || Key == '.' || Key == ',') Key = 0;
}

void TForm1::PopupTreeview1Popup(TObject* /*Sender*/) {
  // The items follow the node the menu opens on: the right press selected it, and the
  // menu may come while the change handler still lets events run, before it has set the
  // fields of the node.
  const TTreeNode* node = TreeView1->Selected();
  const int kind = node ? node->ImageIndex() : -1;
  const bool copied = FFileAction == 20 || FFileAction == 40;
  const bool show = kind == kShow || kind == kShowSelected;
  const bool clip = FileExists(PaperclipFile());
  P_PasteAsShow->SetEnabled(copied);
  P_PasteInShow->SetEnabled(copied && show);
  P_PasteClipInShow->SetEnabled(show && clip);
  P_SaveClipAsShow->SetEnabled(clip);
  P_ClearPaperclip->SetEnabled(clip);
  RenameNode->SetEnabled(node && node->Level() > 0);
  P_DeleteShow->SetEnabled(show);
  EditShow1->SetEnabled(show);
  P_DeleteShowFolder->SetEnabled(kind == kShowFolder);
}
