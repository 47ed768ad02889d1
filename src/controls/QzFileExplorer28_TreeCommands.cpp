// The folder tree's commands: new, rename, delete, cut, copy and paste of folders, drag
// and drop, the size of a folder tree, a folder's files, network drives, properties; and
// the tree's own context menu.
#include <dirent.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>

#include "controls/QzFileExplorer28.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/shell/ShellExplorer.h"

namespace {

// File systems that hold no files of their own: the kernel's views of processes, devices
// and settings (whose sizes are made up: /proc/kcore is as large as the address space).
bool IsPseudoFileSystem(const std::string& path) {
  struct statfs fs;
  if (::statfs(path.c_str(), &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC: case SYSFS_MAGIC: case CGROUP_SUPER_MAGIC: case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC: case TRACEFS_MAGIC: case SECURITYFS_MAGIC: case PSTOREFS_MAGIC: case BPF_FS_MAGIC:
    case DEVPTS_SUPER_MAGIC: case EFIVARFS_MAGIC: case SELINUX_MAGIC: case BINFMTFS_MAGIC: case NSFS_MAGIC:
    case 0x62656570UL /* configfs */: case 0x65735543UL /* fusectl */: case 0x19800202UL /* mqueue */:
      return true;
    default:
      return false;
  }
}

// The bytes of every file below folder on the folder's own file system, as a drive holds
// them: other volumes mounted inside are not entered, links are not followed (they could
// lead in a circle), and a pseudo file system has none.
double FolderTreeBytes(const std::string& folder) {
  struct stat top;
  if (::stat(folder.c_str(), &top) != 0 || !S_ISDIR(top.st_mode) || IsPseudoFileSystem(folder)) return 0;
  double total = 0;
  std::vector<std::string> pending{folder};
  while (!pending.empty()) {
    const std::string current = std::move(pending.back());
    pending.pop_back();
    DIR* dir = ::opendir(current.c_str());
    if (!dir) continue;
    while (dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      struct stat st;
      const std::string path = PathJoin(current, name);
      if (::lstat(path.c_str(), &st) != 0 || st.st_dev != top.st_dev) continue;
      if (S_ISDIR(st.st_mode))
        pending.push_back(path);
      else if (S_ISREG(st.st_mode))
        total += double(st.st_size);
    }
    ::closedir(dir);
  }
  return total;
}

}  // namespace

// ---------------------------------------------------------------------------
// Renaming in place
// ---------------------------------------------------------------------------

bool TQzDirTree21::CanEdit(TTreeNode* Node) {
  if (!IsFolderNode(Node) || ReadOnly()) return false;
  return TCustomTreeView::CanEdit(Node);
}

void TQzDirTree21::Edit(TTreeNode* Node, std::string& S) {
  // The toolkit still holds the node: the caption is checked now, the tree rebuilt after.
  const std::string newCaption = S;
  S = Node->Text();
  if (newCaption == Node->Text()) return;
  const int level = Node->Level();
  const std::string oldPath = GetNodePath(Node);
  std::weak_ptr<int> alive = FAlive;
  RunAfterCurrentEvent([this, alive, oldPath, newCaption, level] {
    if (alive.expired()) return;
    for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->GetNext())
      if (n->Level() == level && GetNodePath(n) == oldPath) {
        RenameFolder(n, newCaption);
        return;
      }
  });
}

bool TQzDirTree21::RenameFolder(TTreeNode* node, const std::string& newCaption) {
  if (!IsFolderNode(node)) return false;
  if (newCaption.empty() || NameHasAnyChar(InvalidFolderChars, newCaption)) {
    MessageBeep();
    if (!newCaption.empty()) MessageDlg(newCaption + "\n" + TextBadDirName, mtError, {mbOK}, 0);
    return false;
  }
  const std::string oldPath = StripBackslash(GetNodePath(node));
  const std::string newPath = PathJoin(ExtractFileDir(oldPath), newCaption);
  if (newPath == oldPath) return false;
  TCursor saved = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  bool ok = false;
  // Only the folder just made with the default name is renamed without a question.
  bool confirmed = FNamingNewFolder && oldPath == FNamingFolderPath;
  if (!confirmed)
    confirmed = MessageDlg(TextConfirmRename + "\n\n    " + TextFrom + ExtractFileName(oldPath) + "\n    " + TextTo +
                               newCaption,
                           mtConfirmation, {mbYes, mbNo}, 0) == mrYes;
  if (confirmed) {
    bool reported = false;
    ok = changeFolder(oldPath, newPath,
                      [&] { return ShellFileOperation(foRename, oldPath, newPath, &reported); }, reported);
    if (ok) {
      ReloadTree();
      OpenPath(newPath);
      informFileList(AddBackslash(newPath), false);
    } else if (!reported) {
      // One message says why: the name taken is said already.
      MessageDlg(TextOpFailed, mtError, {mbOK}, 0);
    }
  }
  Screen->SetCursor(saved);
  FNamingNewFolder = false;
  FNamingFolderPath.clear();
  if (ok && OnEdited) {
    std::string text = oldPath;
    OnEdited(this, Selected(), text);
  }
  return ok;
}

bool TQzDirTree21::changeFolder(const std::string& source, const std::string& target,
                                const std::function<bool()>& change, bool& reported) {
  if (!OnChangeFolder) return change();
  bool refused = false;
  const bool ok = OnChangeFolder(source, target, change, refused);
  reported = reported || refused;
  return ok;
}

void TQzDirTree21::EditSelectedFolder() {
  if (IsFolderNode(Selected())) Selected()->EditText();
}

// ---------------------------------------------------------------------------
// New and delete
// ---------------------------------------------------------------------------

bool TQzDirTree21::AddNewFolder(TTreeNode* node, const std::string& name) {
  if (!node) node = Selected();
  if (!node) return false;
  if (node->Level() == 0) {
    MessageDlg(TextError + TextCantAddDrives, mtError, {mbOK}, 0);
    return false;
  }
  std::string folderName = name;
  if (folderName.empty()) {
    folderName = TextNewFolder;
    FNamingNewFolder = true;
  }
  const std::string base = GetNodePath(node);
  if (DirectoryExists(base + folderName)) {
    for (int n = 1;; ++n) {
      std::string candidate = folderName + " (" + std::to_string(n) + ")";
      if (!DirectoryExists(base + candidate)) {
        folderName = candidate;
        break;
      }
    }
  }
  if (NameHasAnyChar(InvalidFolderChars, folderName)) {
    MessageBeep();
    MessageDlg(TextBadChars, mtError, {mbOK}, 0);
    FNamingNewFolder = false;
    return false;
  }
  Items()->BeginUpdate();
  const bool made = CreateDir(base + folderName);
  Items()->EndUpdate();
  if (!made) {
    MessageDlg(TextOpFailed, mtError, {mbOK}, 0);
    FNamingNewFolder = false;
    return false;
  }
  ReloadTree();
  OpenPath(base + folderName);
  // In-place editing starts for the default name in either language; only the rename of
  // that folder skips its question.
  if (FNamingNewFolder && folderName == TextNewFolder && Selected()) {
    FNamingFolderPath = base + folderName;
    Selected()->EditText();
  } else {
    FNamingNewFolder = false;
  }
  return true;
}

bool TQzDirTree21::DeleteFolder(TTreeNode* node) {
  if (!IsFolderNode(node)) return false;
  TCursor saved = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  const std::string path = GetNodePath(Selected() ? Selected() : node);
  bool ok = false, reported = false;
  if (DirectoryExists(path)) {
    ok = ShellFileOperation(foDelete, StripBackslash(path), std::string(), &reported);
    if (ok) {
      // The question let events run: the tree may have been rebuilt meanwhile, so the
      // node is looked up again by its folder.
      const std::string parentPath = AddBackslash(ExtractFileDir(StripBackslash(path)));
      TTreeNode* sel = Selected();
      if (sel && sel->Level() >= 2 && GetNodePath(sel) == path) {
        SetSelected(sel->Parent());
        sel->Delete();
      }
      OpenPath(parentPath);
      informFileList(parentPath, false);
    } else if (DirectoryExists(path) && !reported) {
      MessageDlg(TextOpFailed, mtError, {mbOK}, 0);
    }
  } else {
    MessageBeep();
    MessageDlg(path + TextNotFound, mtError, {mbOK}, 0);
  }
  Screen->SetCursor(saved);
  return ok;
}

// ---------------------------------------------------------------------------
// Cut, copy and paste
// ---------------------------------------------------------------------------

void TQzDirTree21::CutFolder() {
  // A drive is never cut: its folder cannot be moved away.
  if (!IsFolderNode(Selected()) || FSelectedPath.empty()) return;
  FClipboardPath = FSelectedPath;
  FClipboardOperation = 2;
  FClipboardPending = true;
}

void TQzDirTree21::CopyFolder() {
  if (!IsFolderNode(Selected()) || FSelectedPath.empty()) return;
  FClipboardPath = FSelectedPath;
  FClipboardOperation = 0;
  FClipboardPending = true;
}

bool TQzDirTree21::PasteFolder() {
  bool ok = false;
  // Never onto a drive, as the menu never offers it there.
  if (IsFolderNode(Selected()) && !FSelectedPath.empty() && FSelectedPath != "Drives" && !FClipboardPath.empty()) {
    FDropPath = AddBackslash(FSelectedPath);
    const std::string source = StripBackslash(FClipboardPath);
    bool reported = false;
    if (FClipboardOperation == 2)
      ok = changeFolder(source, FDropPath + ExtractFileName(source),
                        [&] { return ShellFileOperation(foMove, source, FDropPath); }, reported);
    else
      ok = ShellFileOperation(foCopy, source, FDropPath);
    if (ok) {
      ReloadTree();
      OpenPath(FDropPath);
    } else if (!reported) {
      MessageDlg(TextOpFailed, mtError, {mbOK}, 0);
    }
  }
  FClipboardPending = false;
  return ok;
}

// ---------------------------------------------------------------------------
// Drag and drop
// ---------------------------------------------------------------------------

void TQzDirTree21::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
  Accept = false;
  if (FDragDropEnabled) {
    TTreeNode* node = GetNodeAt(X, Y);
    auto* tree = dynamic_cast<TQzDirTree21*>(Source);
    const bool fromList = FFileList && Source == FFileList;
    Accept = (tree || fromList) && node && node->Level() >= 1 && (!tree || node != tree->FDragNode);
    FDropNode = node;
  }
  if (OnDragOver) OnDragOver(this, Source, X, Y, State, Accept);
}

void TQzDirTree21::DragDrop(TObject* Source, int X, int Y) {
  THitTests hit = GetHitTestInfoAt(X, Y);
  TTreeNode* node = GetNodeAt(X, Y);
  if (FDragDropEnabled && Selected() &&
      (hit.Contains(htOnItem) || hit.Contains(htOnIcon) || hit.Contains(htOnLabel) || hit.Contains(htOnRight))) {
    if (!node || ReadOnly()) return;
    // The keys held at this drop decide, whatever an earlier press in this tree or in the
    // list held: Ctrl copies, none moves.
    DropOnNode(Source, node, DropShiftState().Contains(ssCtrl));
  }
  TCustomTreeView::DragDrop(Source, X, Y);
}

void TQzDirTree21::DropOnNode(TObject* source, TTreeNode* node, bool copy) {
  if (!node || node->Level() < 1) return;
  FDropNode = node;
  FDropPath = GetNodePath(node);
  const std::string target = FDropPath;
  const TShellFileOp op = copy ? foCopy : foMove;
  // What was dropped is what the user held at the drop: taken before events run (a
  // refresh of the list that a change on disk brings would clear its selection).
  auto* tree = dynamic_cast<TQzDirTree21*>(source);
  const bool fromList = !tree && FFileList && source == FFileList;
  if (!tree && !fromList) return;
  const std::string folder = tree ? StripBackslash(tree->FDragPath) : std::string();
  std::vector<std::string> files;
  for (int i = 0; fromList && i < FFileList->Items()->Count(); ++i) {
    TListItem* item = FFileList->Items()->Item(i);
    if (!item->Selected()) continue;
    if (item->SubItems()->Strings(siKind) != "file") {
      item->SetSelected(false);
      continue;
    }
    files.push_back(item->SubItems()->Strings(siPath));
  }
  Application->ProcessMessages();
  if (tree) {
    bool reported = false;
    Items()->BeginUpdate();
    auto change = [&] { return ShellFileOperation(op, folder, target); };
    const bool ok = !folder.empty() && (copy ? change() : changeFolder(folder, target + ExtractFileName(folder),
                                                                        change, reported));
    Items()->EndUpdate();
    if (!ok && !reported) MessageDlg(TextOpFailed, mtError, {mbOK}, 0);
  } else {
    if (files.empty()) {
      MessageDlg(FFileList->ListTexts.NothingSelected, mtWarning, {mbOK}, 0);
      return;
    }
    Items()->BeginUpdate();
    bool ok = true;
    for (const std::string& f : files) ok = ShellFileOperation(op, f, target + ExtractFileName(f)) && ok;
    Items()->EndUpdate();
    if (!ok) MessageDlg(TextOpFailed, mtError, {mbOK}, 0);
  }
  Application->ProcessMessages();
  ReloadTree();
  OpenPath(target);
  informFileList(target, true);
}

// ---------------------------------------------------------------------------
// Tree size and folder contents
// ---------------------------------------------------------------------------

double TQzDirTree21::ShowTreeSize() {
  TTreeNode* node = Selected();
  if (!node || node->Level() < 1) return 0;
  TCursor saved = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  const std::string path = GetNodePath(node);
  const double size = FolderTreeBytes(path);
  Screen->SetCursor(saved);
  const double kb = size > 0 && size < 1024 ? 1 : size / 1024;
  const std::string amount = kb > 99999 ? Format("%.2n MB", {kb / 1024}) : Format("%.2n KB", {kb});
  const std::string bytes = Format("%0.0n Bytes", {size});
  const std::string subject = node->Level() == 1 ? TextDrive + StripBackslash(path)
                                                 : TextFolder + node->Text() + "\"";
  MessageDlg("===== " + TextTreeSize + " =====\n\n" + subject + "\n" + TextAllSubFolders + "\n =  " + bytes +
                 "\n     (i.e. " + amount + " )",
             mtInformation, {mbOK}, 0);
  return size;
}

void TQzDirTree21::ShowFolderContents() {
  TTreeNode* node = Selected();
  if (!node || node->Level() < 1) return;
  FContentsFolder = GetNodePath(node);
  const std::string caption = node->Level() == 1 ? TextFilesIn + "\" " + StripBackslash(FContentsFolder) + " \""
                                                 : TextFilesIn + "\" ../" + node->Text() + " \"";
  if (TTreeNode* first = Items()->GetFirstNode()) first->Collapse(true);
  delete FContentsForm;
  FContentsForm = new TForm(this);
  FContentsForm->SetBorderStyle(bsSizeToolWin);
  FContentsForm->SetFormStyle(fsStayOnTop);
  FContentsForm->SetCaption(caption);
  // However the window closes (OK, its close box, Alt+F4) it is freed and the tree opens
  // the folder again.
  FContentsForm->OnClose = [this](TObject*, TCloseAction& action) {
    action = caFree;
    FContentsForm = nullptr;
    FContentsList = nullptr;
    OpenPath(FContentsFolder);
  };
  TPoint origin = ClientToScreen(TPoint{0, 0});
  FContentsForm->SetBounds(origin.X, origin.Y, std::max(Width(), 200), std::max(Height(), 160));
  auto* bar = new TPanel(FContentsForm);
  bar->SetParent(FContentsForm);
  bar->SetAlign(alBottom);
  bar->SetHeight(22);
  bar->SetCaption("");
  auto* ok = new TButton(FContentsForm);
  ok->SetParent(bar);
  ok->SetCaption("&OK");
  ok->SetBounds(1, 1, 60, 22);
  ok->OnClick = [this](TObject* s) { ContentsOkClick(s); };
  // A list of names, without column headers, in the tree's colours.
  FContentsList = new TListView(FContentsForm);
  FContentsList->SetParent(FContentsForm);
  FContentsList->SetAlign(alClient);
  FContentsList->SetViewStyle(vsList);
  FContentsList->SetHideSelection(false);
  FContentsList->SetColor(Color());
  FContentsList->SetFont(Font());
  FContentsList->SetHint(_("LeftClick - Select\nDblClick  - Open"));
  FContentsList->SetShowHint(true);
  FContentsList->SetSmallImages(SystemSmallImages());
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(FContentsFolder.c_str())) {
    while (dirent* e = ::readdir(dir)) {
      struct stat st;
      const std::string name = e->d_name;
      if (name == "." || name == ".." || ::stat((FContentsFolder + name).c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        continue;
      names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  FContentsList->Items()->BeginUpdate();
  for (const std::string& name : names) {
    TListItem* item = FContentsList->Items()->Add();
    item->SetCaption(name);
    item->SetImageIndex(SystemIconIndexOf(name, false));
    item->SubItems()->Add(FContentsFolder + name);
  }
  FContentsList->Items()->EndUpdate();
  if (FContentsList->Items()->Count() > 0) FContentsList->Items()->Item(0)->SetSelected(true);
  FContentsList->OnDblClick = [this](TObject*) {
    if (TListItem* item = FContentsList->Selected())
      ShellExecuteFile("Open", item->SubItems()->Strings(0), "", 5, FContentsFolder);
  };
  FContentsForm->Show();
}

void TQzDirTree21::ContentsOkClick(TObject* /*Sender*/) {
  FSelectedFile.clear();
  if (FContentsList && FContentsList->Selected()) FSelectedFile = FContentsList->Selected()->SubItems()->Strings(0);
  if (OnFileChange) OnFileChange(this, FSelectedFile);
  if (FContentsForm) FContentsForm->Close();
}

// ---------------------------------------------------------------------------
// Network drives and properties
// ---------------------------------------------------------------------------

void TQzDirTree21::ConnectNetworkDrive() {
  TNetPathDlg dialog(nullptr);
  if (!dialog.Execute()) return;
  std::string mountPoint;
  if (AddNetConnection(dialog.Path(), true, mountPoint, dialog.Reconnect()) != 0) return;
  ReloadTree();
  TTreeNode* computer = Items()->GetFirstNode();
  if (!computer) return;
  computer->Expand(false);
  for (int i = 0; i < computer->Count(); ++i)
    if (computer->Item(i)->Text() == ExcludeTrailingPathDelimiter(mountPoint)) SetSelected(computer->Item(i));
  if (Selected()) FSelectedPath = GetNodePath(Selected());
  informFileList(FSelectedPath, false);
}

void TQzDirTree21::DisconnectNetworkDrive() {
  // The network drive chosen is the one selected, or the one the selected folder lies on.
  std::string share;
  for (const std::string& m : NetworkMounts())
    if (FSelectedPath != "Drives" && !FSelectedPath.empty() && IsSameOrInside(FSelectedPath, m)) share = m;
  if (share.empty()) {
    MessageDlg(_("Select a network drive (or a folder on it) first."), mtInformation, {mbOK}, 0);
    return;
  }
  if (MessageDlg(Format(_("Disconnect the network drive %s?"), {share}), mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
    return;
  std::string error;
  if (!UnmountNetworkShare(share, error)) {
    MessageDlg(error, mtError, {mbOK}, 0);
    return;
  }
  // A drive the user disconnects is not connected again at the next start.
  ForgetNetworkShare(share);
  ReloadTree();
  TTreeNode* computer = Items()->GetFirstNode();
  if (computer && !computer->Expanded()) computer->Expand(false);
  SetSelected(computer);
  FSelectedPath = "Drives";
  informFileList(FSelectedPath, true);
}

void TQzDirTree21::ShowProperties() {
  if (Selected() && !FSelectedPath.empty() && FSelectedPath != "Drives") ShowPropertiesDialog(FSelectedPath);
}

// ---------------------------------------------------------------------------
// The built-in context menu
// ---------------------------------------------------------------------------

namespace {
const TExplorerMenuEntry kTreeMenu[] = {
    {1, "AddNode", "&New Folder", "folder-new"},
    {2, "EditNode", "&Rename Folder", "edit-rename"},
    {3, "DelNode", "&Delete Folder", "edit-delete"},
    {0, nullptr, "-", nullptr},
    {4, "CutNode", "Cu&t", "edit-cut"},
    {5, "CopyNode", "&Copy", "edit-copy"},
    {6, "PasteNode", "&Paste", "edit-paste"},
    {0, nullptr, "-", nullptr},
    {7, "GetTreeSize", "Tree &Size", "drive-harddisk"},
    {8, "ShowFolderContents", "&Folder Contents", "view-list-details"},
    {0, nullptr, "-", nullptr},
    {9, "ConnectNetResource", "&Map Network Drive ...", "network-server"},
    {10, "DisConnectNetResource", "Dis&Connect Network Drive", "network-offline"},
    {0, nullptr, "-", nullptr},
    {11, "ItemProperty", "&Property", "document-properties"},
};
}  // namespace

TMenuItem* AddExplorerMenuItems(TPopupMenu* menu, TMenuItem* parent, const TExplorerMenuEntry* entries, size_t count,
                                const char* context, const TNotifyEvent& click, int subMenuTag) {
  TMenuItem* subMenu = nullptr;
  for (size_t i = 0; i < count; ++i) {
    const TExplorerMenuEntry& e = entries[i];
    auto* item = new TMenuItem(menu);
    if (!e.name) {
      item->SetCaption("-");
      parent->Add(item);
      continue;
    }
    item->SetCaption(ExplorerText(e.caption, context));
    item->SetName(e.name);
    item->SetTag(e.tag);
    if (e.tag != subMenuTag) item->OnClick = click;
    parent->Add(item);
    // The picture comes from the menu's image list: set once the item is in the menu.
    if (e.icon) item->SetImageIndex(ThemeIconIndex({e.icon}));
    if (e.tag == subMenuTag) subMenu = item;
  }
  return subMenu;
}

TQzDirTree21PopUp::TQzDirTree21PopUp(TQzDirTree21* tree) : TPopupMenu(tree), tree_(tree) {
  SetImages(SystemSmallImages());
}

void TQzDirTree21PopUp::BuildTreeMenu() {
  Items()->Clear();
  AddExplorerMenuItems(this, Items(), kTreeMenu, std::size(kTreeMenu), "explorer-tree",
                       [this](TObject* s) { ItemClick(s); });
}

TMenuItem* TQzDirTree21PopUp::ItemNamed(const std::string& name) const {
  for (int i = 0; i < Items()->Count(); ++i)
    if (Items()->Items(i)->Name() == name) return Items()->Items(i);
  return nullptr;
}

void TQzDirTree21PopUp::UpdateItemStates() {
  TTreeNode* node = tree_->Selected();
  const bool driveOrFolder = node && node->Level() >= 1;
  const bool folder = node && node->Level() >= 2;
  for (int i = 0; i < Items()->Count(); ++i) {
    TMenuItem* item = Items()->Items(i);
    switch (item->Tag()) {
      case 1:
      case 7:
      case 8:
      case 11: item->SetEnabled(driveOrFolder); break;
      case 2:
      case 3:
      case 4:
      case 5: item->SetEnabled(folder); break;
      case 6: item->SetEnabled(folder && tree_->ClipboardPending()); break;
      default: break;
    }
  }
}

void TQzDirTree21PopUp::Popup(int X, int Y) {
  UpdateItemStates();
  TPopupMenu::Popup(X + 10, Y + 10);
}

void TQzDirTree21PopUp::ItemClick(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item || item->Name().empty() || item->Tag() == 0) return;
  switch (item->Tag()) {
    case 1: tree_->AddNewFolder(tree_->Selected(), std::string()); break;
    case 2: tree_->EditSelectedFolder(); break;
    case 3:
      if (tree_->Selected()) tree_->DeleteFolder(tree_->Selected());
      break;
    case 4: tree_->CutFolder(); break;
    case 5: tree_->CopyFolder(); break;
    case 6: tree_->PasteFolder(); break;
    case 7: tree_->ShowTreeSize(); break;
    case 8: tree_->ShowFolderContents(); break;
    case 9: tree_->ConnectNetworkDrive(); break;
    case 10: tree_->DisconnectNetworkDrive(); break;
    case 11: tree_->ShowProperties(); break;
    default: break;
  }
}
