// The folder tree: nodes, lazy expansion, navigation, the language, and reloading when
// folders or drives change on disk.
#include <algorithm>

#include "controls/QzFileExplorer28.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/shell/Shell.h"
#include "platform/shell/ShellExplorer.h"

namespace {

// The parts of a path below its drive: "/media/x/a/b/" below "/media/x" gives a, b.
std::vector<std::string> SegmentsBelow(const std::string& path, const std::string& drive) {
  std::vector<std::string> parts;
  std::string rest = path.substr(drive == "/" ? 1 : drive.size());
  size_t start = 0;
  while (start < rest.size()) {
    size_t slash = rest.find('/', start);
    if (slash == std::string::npos) slash = rest.size();
    if (slash > start) parts.push_back(rest.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

// The drive (its folder) path lies on: equal to it or below it.
bool IsOnDrive(const std::string& path, const std::string& drive) {
  if (drive == "/") return !path.empty() && path[0] == '/';
  return path.compare(0, drive.size(), drive) == 0 && (path.size() == drive.size() || path[drive.size()] == '/');
}

}  // namespace

TQzDirTree21::TQzDirTree21(TComponent* AOwner) : TCustomTreeView(AOwner) {
  SetBounds(0, 0, 180, 120);
  SetImages(SystemSmallImages());
  FWatcher = std::make_unique<TFolderWatcher>([this](const std::string& folder) { ShellChanged(folder); });
  SetLanguage(lnEnglish);  // loads the texts and builds the built-in menu
  SetReadOnly(false);
  SetSortType(stNone);
  SetHideSelection(false);
  SetDragMode(dmManual);
  ReloadTree();
  if (TTreeNode* computer = Items()->GetFirstNode()) computer->Expand(false);
}

TQzDirTree21::~TQzDirTree21() {
  FWatcher.reset();  // the registration ends with the control
  if (FFileList && FFileList->DirTree() == this) FFileList->SetDirTree(nullptr);
}

void TQzDirTree21::Notification(TComponent* component, TOperation operation) {
  TCustomTreeView::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == FFileList) FFileList = nullptr;
  if (component == FPopup) FPopup = nullptr;
}

// Paths compare byte for byte: on Linux "case" and "Case" are two folders.
void TQzDirTree21::SetSelectedPath(const std::string& path) {
  if (path != FSelectedPath) FSelectedPath = path;
}

void TQzDirTree21::SetSelectedFile(const std::string& file) {
  if (file != FSelectedFile) FSelectedFile = file;
}

void TQzDirTree21::SetFileList(TQzFilelistView28* list) {
  if (FFileList == list) return;
  FFileList = list;
  if (list) {
    list->FreeNotification(this);
    if (list->DirTree() != this) list->SetDirTree(this);
    if (!FSelectedPath.empty()) list->SetDirectory(FSelectedPath);
  }
}

void TQzDirTree21::SetPopUpMenuEnabled(bool v) {
  if (v == FPopUpMenuEnabled) return;
  FPopUpMenuEnabled = v;
  SetPopupMenu(v ? FPopup : nullptr);
}

void TQzDirTree21::SetLanguage(TLanguage /*language*/) {
  const TLanguage now = TreeLanguage();
  if (now == FLanguage) return;
  FLanguage = now;
  ExplorerLanguage = now;
  LoadTreeTexts();
  rebuildMenu();
  Refresh();
}

void TQzDirTree21::rebuildMenu() {
  const bool ownMenu = PopupMenu() && PopupMenu() != FPopup;
  delete FPopup;
  FPopup = new TQzDirTree21PopUp(this);
  FPopup->BuildTreeMenu();
  FPopup->SetAutoPopup(true);
  // A form that put its own menu in place keeps it.
  if (!ownMenu) SetPopupMenu(FPopup);
  FPopUpMenuEnabled = true;
}

void TQzDirTree21::ReloadTree() {
  ++FOwnChanges;
  Items()->BeginUpdate();
  FDragNode = FDropNode = nullptr;
  Items()->Clear();
  loadRoot();
  loadDrives();
  Items()->EndUpdate();
  --FOwnChanges;
  updateWatches();
}

void TQzDirTree21::loadRoot() {
  TTreeNode* computer = Items()->AddChild(nullptr, _("Computer"));
  computer->SetImageIndex(DriveIconIndex(dkFixed));
  computer->SetSelectedIndex(computer->ImageIndex());
}

void TQzDirTree21::loadDrives() {
  TTreeNode* computer = Items()->GetFirstNode();
  if (!computer) return;
  Items()->BeginUpdate();
  FDriveKinds.clear();
  for (const TExplorerDrive& drive : ExplorerDrives()) {
    TTreeNode* node = Items()->AddChild(computer, drive.Path);
    node->SetImageIndex(DriveIconIndex(drive.Kind));
    node->SetSelectedIndex(GetOpenIconIndex(drive.Path));
    node->SetHasChildren(true);
    FDriveKinds[drive.Path] = drive.Kind;
  }
  computer->SetHasChildren(computer->Count() > 0);
  Items()->EndUpdate();
}

bool TQzDirTree21::CanExpand(TTreeNode* Node) {
  if (Node && Node->Level() >= 1 && Node->Count() == 0) {
    TCursor saved = Screen->Cursor();
    Screen->SetCursor(crHourGlass);
    Node->SetHasChildren(false);
    addSubFolders(Node);
    Screen->SetCursor(saved);
  } else if (Node && Node->Level() == 0 && Node->Count() == 0) {
    loadDrives();
  }
  return TCustomTreeView::CanExpand(Node);
}

void TQzDirTree21::Expand(TTreeNode* Node) {
  TCustomTreeView::Expand(Node);
  updateWatches();
}

void TQzDirTree21::Collapse(TTreeNode* Node) {
  TCustomTreeView::Collapse(Node);
  updateWatches();
}

std::string ExplorerNodePath(const TTreeNode* node) {
  if (!node || node->Level() == 0) return std::string();
  std::vector<std::string> parts;
  const TTreeNode* n = node;
  while (n && n->Level() > 1) {
    parts.push_back(n->Text());
    n = n->Parent();
  }
  if (!n) return std::string();
  std::string path = n->Text();
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) path = PathJoin(path, *it);
  return AddBackslash(path);
}

void AddFolderChildren(TTreeNodes* nodes, TTreeNode* node, bool probe) {
  const std::string folder = ExplorerNodePath(node);
  if (folder.empty()) return;
  // A folder's own icons, also below a drive (whose open icon is the drive's).
  const int folderIcon = SystemIconIndexOf("", true);
  const int openIcon = SystemIconIndexOf("", true, true);
  for (const std::string& name : SubFolderNames(folder)) {
    TTreeNode* child = nodes->AddChild(node, name);
    child->SetImageIndex(folderIcon);
    child->SetSelectedIndex(openIcon);
    child->SetHasChildren(!probe || !SubFolderNames(PathJoin(folder, name), true).empty());
  }
  node->AlphaSort(false);
}

void TQzDirTree21::addSubFolders(TTreeNode* node) {
  TTreeNode* drive = node;
  while (drive && drive->Level() > 1) drive = drive->Parent();
  // Folders on network drives are not probed: they always show an expand button.
  const auto kind = drive ? FDriveKinds.find(drive->Text()) : FDriveKinds.end();
  AddFolderChildren(Items(), node, !(kind != FDriveKinds.end() && kind->second == dkRemote));
}

std::string TQzDirTree21::GetNodePath(const TTreeNode* node) {
  FNodePath = ExplorerNodePath(node);
  return FNodePath;
}

TTreeNode* TQzDirTree21::findChild(TTreeNode* parent, const std::string& caption) const {
  for (int i = 0; i < parent->Count(); ++i)
    if (parent->Item(i)->Text() == caption) return parent->Item(i);
  return nullptr;
}

TTreeNode* TQzDirTree21::driveNodeOf(const std::string& folder) const {
  TTreeNode* computer = Items()->GetFirstNode();
  TTreeNode* best = nullptr;
  if (!computer) return nullptr;
  // The drive that holds the folder most closely.
  for (int i = 0; i < computer->Count(); ++i) {
    TTreeNode* drive = computer->Item(i);
    if (IsOnDrive(folder, drive->Text()) && (!best || drive->Text().size() > best->Text().size())) best = drive;
  }
  return best;
}

void TQzDirTree21::OpenPath(const std::string& path) {
  if (path.size() < 2 || !DirectoryExists(path)) return;
  const std::string target = AddBackslash(path);
  const std::string folder = ExcludeTrailingPathDelimiter(target);

  ++FOwnChanges;
  Items()->BeginUpdate();
  TTreeNode* computer = Items()->GetFirstNode();
  if (!computer) {
    loadRoot();
    computer = Items()->GetFirstNode();
  }
  if (computer->Count() == 0) loadDrives();
  if (computer->Expanded()) computer->Collapse(true);
  computer->Expand(false);

  TTreeNode* current = driveNodeOf(folder);
  bool complete = current != nullptr;
  if (current) {
    SetSelected(current);
    current->Expand(false);
    for (const std::string& segment : SegmentsBelow(folder, current->Text())) {
      TTreeNode* child = findChild(current, segment);
      if (!child) {
        // Made since the node was filled (and before its change was reported), also in a
        // folder that had none then: fill it again.
        current->DeleteChildren();
        addSubFolders(current);
        child = findChild(current, segment);
      }
      if (!child) {
        complete = false;
        break;
      }
      current = child;
      SetSelected(current);
      current->Expand(false);
    }
  }
  if (complete) current->MakeVisible();
  Items()->EndUpdate();
  --FOwnChanges;
  updateWatches();
  if (!complete) return;
  SetSelectedPath(target);
  if (OnDirChange) OnDirChange(this, FSelectedPath);
}

void TQzDirTree21::ChangePath(const std::string& path) {
  if (path.empty() || path == FLastChangePath) return;
  const std::string target = AddBackslash(path);
  if (target == FLastChangePath) return;
  if (!DirectoryExists(target)) return;
  FLastChangePath = target;
  OpenPath(target);
  informFileList(target, false);
}

void TQzDirTree21::informFileList(const std::string& path, bool refresh) {
  if (!FFileList || path.empty()) return;
  FFileList->SetDirectory(path);
  if (refresh) FFileList->UpdateFileList();
}

bool TQzDirTree21::mayLackMedium(const TTreeNode* driveNode) const {
  if (!driveNode) return false;
  const auto kind = FDriveKinds.find(driveNode->Text());
  // Only these are tested: a slow network mount must not stall the tree.
  return kind != FDriveKinds.end() && (kind->second == dkRemovable || kind->second == dkCDRom);
}

void TQzDirTree21::openQuietly(const std::string& path) {
  TDirChangeEvent handler = std::move(OnDirChange);
  OnDirChange = nullptr;
  if (path == "Drives") {
    ++FOwnChanges;
    SetSelected(Items()->GetFirstNode());
    --FOwnChanges;
    FSelectedPath = path;
  } else if (!path.empty()) {
    OpenPath(path);
  }
  OnDirChange = std::move(handler);
}

void TQzDirTree21::pathChangedByUser(bool byMouse) {
  TTreeNode* node = Selected();
  if (!node) return;
  if (node->Level() == 0) {
    if (node->Count() == 0) loadDrives();
    FSelectedPath = "Drives";
  } else {
    std::string path = GetNodePath(node);
    // A removable drive or disc that is gone: back to the folder before.
    if (node->Level() == 1 && mayLackMedium(node) && !CheckDriveReady(path, true)) {
      if (byMouse) {
        OpenPath(FPreviousPath);
        FSelectedPath = FPreviousPath;
      } else {
        openQuietly(FSelectedPath);
      }
      return;
    }
    FSelectedPath = path;
  }
  if (OnDirChange) OnDirChange(this, FSelectedPath);
  informFileList(FSelectedPath, false);
  FPreviousPath = FSelectedPath;
}

void TQzDirTree21::Change(TTreeNode* Node) {
  TCustomTreeView::Change(Node);
  if (FOwnChanges > 0 || !SelectionChangedByUser()) return;
  // Checked once the event that moved the highlight is over: a click on a node and the
  // arrow keys take their folder themselves by then.
  RunAfterCurrentEvent([this, alive = std::weak_ptr<int>(FAlive)] {
    if (!alive.expired()) settleHighlight();
  });
}

void TQzDirTree21::settleHighlight() {
  TTreeNode* node = Selected();
  if (!node || IsEditing() || Dragging()) return;
  const std::string path = node->Level() == 0 ? std::string("Drives") : GetNodePath(node);
  if (path == FSelectedPath) return;
  FPreviousPath = FSelectedPath;
  FHighlightSettled = true;
  pathChangedByUser(false);
}

void TQzDirTree21::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomTreeView::MouseDown(Button, Shift, X, Y);
  FNodePath.clear();
  FPreviousPath = FSelectedPath;
  TTreeNode* node = GetNodeAt(X, Y);
  THitTests hit = GetHitTestInfoAt(X, Y);
  if (!node || (!hit.Contains(htOnItem) && !hit.Contains(htOnIcon) && !hit.Contains(htOnLabel))) return;
  if (Selected() != node) SetSelected(node);
  pathChangedByUser(true);
  // A message (a drive without its medium) lets events run, and a change on disk may
  // have rebuilt the tree meanwhile: the pressed node must still be the selected one.
  if (Selected() != node) return;
  if (FDragDropEnabled && Button == mbLeft && node->Level() >= 1) {
    // The dragged folder is kept apart from a pending cut or copy: a click on the paste
    // target must not become the paste's source.
    FDragNode = node;
    FDragPath = GetNodePath(node);
    if (DragMode() == dmManual && node->Level() >= 2) BeginDrag(false);
  }
}

void TQzDirTree21::KeyDown(uint16_t& Key, TShiftState Shift) {
  FHighlightSettled = false;
  TCustomTreeView::KeyDown(Key, Shift);
}

void TQzDirTree21::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (Key == VK_UP || Key == VK_DOWN || Key == VK_LEFT || Key == VK_RIGHT) {
    TCustomTreeView::KeyUp(Key, Shift);
    // Unless the highlight's folder was opened as soon as the key moved it.
    if (Selected() && !FHighlightSettled) pathChangedByUser(false);
  } else if (Key == VK_F5) {
    const std::string path = FSelectedPath;
    ReloadTree();
    OpenPath(path);
    informFileList(path, true);
  }
  FHighlightSettled = false;
}

std::vector<std::string> TQzDirTree21::WatchedFolders() const { return FWatcher->Folders(); }

void TQzDirTree21::updateWatches() {
  if (!FWatcher || Items()->Count() == 0) return;
  std::vector<std::string> folders;
  for (TTreeNode* node = Items()->GetFirstNode(); node; node = node->GetNext())
    if (node->Level() >= 1 && (node->Expanded() || node->Count() > 0))
      folders.push_back(const_cast<TQzDirTree21*>(this)->GetNodePath(node));
  FWatcher->SetFolders(folders);
}

void TQzDirTree21::ShellChanged(const std::string& folder) {
  if (IsEditing()) {
    if (!FChangeAfterEdit) {
      FChangeAfterEdit = new TTimer(this);
      FChangeAfterEdit->SetInterval(300);
      FChangeAfterEdit->OnTimer = [this](TObject*) {
        if (IsEditing()) return;
        FChangeAfterEdit->SetEnabled(false);
        ShellChanged(std::string());
      };
    }
    FChangeAfterEdit->SetEnabled(true);
    return;
  }
  if (!folder.empty()) {
    // Only folders made, removed or renamed count; files coming and going do not.
    TTreeNode* node = nullptr;
    for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->GetNext())
      if (n->Level() >= 1 && GetNodePath(n) == AddBackslash(folder)) {
        node = n;
        break;
      }
    if (node && (node->Expanded() || node->Count() > 0)) {
      std::vector<std::string> now = SubFolderNames(folder);
      std::vector<std::string> shown;
      for (int i = 0; i < node->Count(); ++i) shown.push_back(node->Item(i)->Text());
      std::sort(now.begin(), now.end());
      std::sort(shown.begin(), shown.end());
      if (now == shown) return;
    } else if (node) {
      if ((!SubFolderNames(folder, true).empty()) == node->HasChildren()) return;
    }
  }
  const std::string remembered = FSelectedPath;
  Items()->BeginUpdate();
  ReloadTree();
  if (TTreeNode* computer = Items()->GetFirstNode(); computer && !computer->Expanded()) computer->Expand(false);
  Items()->EndUpdate();
  // The folder that was selected is opened again. It did not change, so OnDirChange
  // stays silent: a folder made somewhere else must not make the window reload its
  // files and lose the picture it shows.
  if (!remembered.empty() && remembered != "Drives") openQuietly(remembered);
  // The list is refreshed where it shows this folder; a list that has meanwhile moved on
  // by itself (its events ran while it refilled) is not sent back.
  if (FFileList && (remembered == "Drives" ? FFileList->IsDriveView() : FFileList->Directory() == AddBackslash(remembered)))
    FFileList->UpdateFileList();
}
