// The folder tree: nodes, lazy expansion, navigation, the language, and reloading when
// folders or drives change on disk.
#include <strings.h>

#include <algorithm>
#include <map>
#include <set>

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

void AddFolderChildren(TTreeNodes* nodes, TTreeNode* node, bool probe) { MergeFolderChildren(nodes, node, probe); }

void MergeChildren(TTreeNodes* nodes, TTreeNode* parent, const std::vector<std::string>& wanted,
                   const std::function<void(TTreeNode*)>& made) {
  const std::set<std::string> keep(wanted.begin(), wanted.end());
  std::map<std::string, TTreeNode*> have;
  for (int i = parent->Count() - 1; i >= 0; --i) {
    TTreeNode* child = parent->Item(i);
    if (!keep.count(child->Text()) || have.count(child->Text()))
      child->Delete();
    else
      have[child->Text()] = child;
  }
  // From the last wanted text back: a new node goes before the node of the text after it.
  TTreeNode* after = nullptr;
  for (auto it = wanted.rbegin(); it != wanted.rend(); ++it) {
    if (auto found = have.find(*it); found != have.end()) {
      after = found->second;
      continue;
    }
    after = after ? nodes->Insert(after, *it) : nodes->AddChild(parent, *it);
    made(after);
  }
}

void MergeFolderChildren(TTreeNodes* nodes, TTreeNode* node, bool probe) {
  const std::string folder = ExplorerNodePath(node);
  if (folder.empty()) return;
  // In the tree's order: names without case, lower case first where only the case differs.
  std::vector<std::string> names = SubFolderNames(folder);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const int r = strcasecmp(a.c_str(), b.c_str());
    return r != 0 ? r < 0 : a.compare(b) > 0;
  });
  // A folder's own icons, also below a drive (whose open icon is the drive's).
  const int folderIcon = SystemIconIndexOf("", true);
  const int openIcon = SystemIconIndexOf("", true, true);
  MergeChildren(nodes, node, names, [&](TTreeNode* child) {
    child->SetImageIndex(folderIcon);
    child->SetSelectedIndex(openIcon);
    child->SetHasChildren(!probe || !SubFolderNames(PathJoin(folder, child->Text()), true).empty());
  });
  node->SetHasChildren(node->Count() > 0);
}

namespace {
// A node by the texts of its ancestors and itself, which outlive the node.
std::vector<std::string> TextsOf(const TTreeNode* node) {
  std::vector<std::string> texts;
  for (; node; node = node->Parent()) texts.insert(texts.begin(), node->Text());
  return texts;
}
TTreeNode* NodeOfTexts(const TCustomTreeView* tree, const std::vector<std::string>& texts) {
  TTreeNode* node = nullptr;
  for (const std::string& text : texts) {
    TTreeNode* next = node ? node->getFirstChild() : tree->Items()->GetFirstNode();
    while (next && next->Text() != text) next = next->GetNextSibling();
    if (!(node = next)) return nullptr;
  }
  return node;
}
}  // namespace

void KeepRowsInPlace(TCustomTreeView* tree, const std::function<void()>& change) {
  const TPoint p = tree->ScreenToClient(Mouse->CursorPos());
  TTreeNode* anchor = nullptr;
  if (p.X >= 0 && p.Y >= 0 && p.X < tree->ClientWidth() && p.Y < tree->ClientHeight())
    anchor = tree->GetNodeAt(p.X, p.Y);
  if (!anchor) anchor = tree->TopItem();
  const std::vector<std::string> texts = TextsOf(anchor);
  const int top = anchor ? anchor->DisplayRect(false).Top : 0;
  change();
  TTreeNode* again = texts.empty() ? nullptr : NodeOfTexts(tree, texts);
  const TRect now = again ? again->DisplayRect(false) : TRect();
  if (now.Height() <= 0 || now.Top == top) return;
  // The rows are of one height: the row that goes on top lies that many rows above.
  TTreeNode* first = again;
  for (int rows = std::max(top, 0) / now.Height(); rows > 0 && first->GetPrevVisible(); --rows)
    first = first->GetPrevVisible();
  tree->SetTopItem(first);
}

void TQzDirTree21::addSubFolders(TTreeNode* node) {
  // Folders on network drives are not probed: they always show an expand button.
  AddFolderChildren(Items(), node, !onNetworkDrive(node));
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
        // folder that had none then: take it in.
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
  // A folder's name being typed: its folder opens once the typing pauses, so that opening
  // the folders passed on the way neither holds up nor breaks off the name.
  if (FOwnChanges > 0 || !SelectionChangedByUser() || TypingName()) return;
  // Checked once the event that moved the highlight is over: a click on a node and the
  // arrow keys take their folder themselves by then.
  RunAfterCurrentEvent([this, alive = std::weak_ptr<int>(FAlive)] {
    if (!alive.expired()) settleHighlight();
  });
}

void TQzDirTree21::TypingEnded(TTypingEnd How) {
  // The name is done (a key such as Return or a shortcut acts on its folder).
  if (How == teTypingPaused) return settleHighlight();
  // A move or click in the tree ends the name without opening the folder it named first:
  // Down or a click on a row opens the folder it chooses; one that leaves the highlight
  // where the name put it (Right, a click beside the rows) opens that folder once handled.
  if (How == teInTree) {
    const std::string path = Selected() ? ExplorerNodePath(Selected()) : std::string();
    RunAfterCurrentEvent([this, alive = std::weak_ptr<int>(FAlive), path] {
      if (!alive.expired() && Selected() && ExplorerNodePath(Selected()) == path) settleHighlight();
    });
    return;
  }
  // A click elsewhere acts on what the window shows: the highlight goes back to the folder
  // that is open.
  TTreeNode* open = FSelectedPath == "Drives" ? Items()->GetFirstNode() : nodeOfFolder(FSelectedPath);
  if (!open || open == Selected()) return;
  ++FOwnChanges;
  SetSelected(open);
  --FOwnChanges;
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
    if (IsFullPath(path) && !DirectoryExists(path)) {
      followGoneFolder();  // gone meanwhile: the nearest folder above it that is still there
    } else {
      OpenPath(path);
      informFileList(path, true);
    }
  }
  FHighlightSettled = false;
}

std::vector<std::string> TQzDirTree21::WatchedFolders() const { return FWatcher->Folders(); }

void TQzDirTree21::VisibleRowsChanged() {
  TCustomTreeView::VisibleRowsChanged();
  updateWatches();
}

bool TQzDirTree21::onNetworkDrive(const TTreeNode* node) const {
  while (node && node->Level() > 1) node = node->Parent();
  const auto kind = node ? FDriveKinds.find(node->Text()) : FDriveKinds.end();
  return kind != FDriveKinds.end() && kind->second == dkRemote;
}

void TQzDirTree21::updateWatches() {
  if (!FWatcher || Items()->Count() == 0) return;
  std::vector<std::string> folders;
  // An open folder (or one filled before): its sub folders come and go in its node.
  for (TTreeNode* node = Items()->GetFirstNode(); node; node = node->GetNext())
    if (node->Level() >= 1 && (node->Expanded() || node->Count() > 0)) folders.push_back(GetNodePath(node));
  // A closed folder in view: its expand button tells whether it holds folders now. Only
  // the rows in view are watched, however many folders the open branches show; a row that
  // comes into view is looked at afresh, as it went unwatched while out of view. (Folders
  // on network drives always offer to expand and are never probed.)
  std::set<std::string> inView;
  for (TTreeNode* node = TopItem(); node && node->DisplayRect(false).Top < ClientHeight();
       node = node->GetNextVisible()) {
    if (node->Level() < 2 || node->Expanded() || node->Count() > 0 || onNetworkDrive(node)) continue;
    const std::string folder = GetNodePath(node);
    if (!FRowsWatched.count(folder)) node->SetHasChildren(!SubFolderNames(folder, true).empty());
    inView.insert(folder);
    folders.push_back(folder);
  }
  FRowsWatched.swap(inView);
  FWatcher->SetFolders(folders);
}

void TQzDirTree21::ShellChanged(const std::string& folder) {
  FPendingChanges.insert(folder);
  applyChanges();
}

void TQzDirTree21::applyChanges() {
  // While a folder's name is edited in place, a mouse button is held on the tree or a
  // folder is dragged, changes wait: rows must not move under the user's hand (and the
  // edit, with the name typed, must keep its node).
  if (IsEditing() || MouseHeld() || Dragging()) {
    if (!FChangeLater) {
      FChangeLater = new TTimer(this);
      FChangeLater->SetInterval(300);
      FChangeLater->OnTimer = [this](TObject*) { applyChanges(); };
    }
    FChangeLater->SetEnabled(true);
    return;
  }
  if (FChangeLater) FChangeLater->SetEnabled(false);
  std::set<std::string> changed;
  changed.swap(FPendingChanges);
  if (changed.empty()) return;
  const std::vector<std::string> selected = TextsOf(Selected());
  // Each change goes into the nodes it concerns; what the user opened stays open.
  KeepRowsInPlace(this, [&] {
    ++FOwnChanges;
    Items()->BeginUpdate();
    for (const std::string& f : changed) {
      if (f.empty()) {
        mergeDrives();
        continue;
      }
      // Only folders made, removed or renamed count; files coming and going change no node.
      if (TTreeNode* n = nodeOfFolder(f)) {
        if (n->Expanded() || n->Count() > 0)
          addSubFolders(n);
        else
          n->SetHasChildren(!SubFolderNames(f, true).empty());
      }
    }
    Items()->EndUpdate();
    // The highlighted node gone: the nearest node above it takes the highlight. (When the
    // folder shown is gone too, the folder above it is reported below.)
    if (!selected.empty() && !NodeOfTexts(this, selected)) {
      std::vector<std::string> above = selected;
      TTreeNode* nearest = nullptr;
      while (!above.empty() && !(nearest = NodeOfTexts(this, above))) above.pop_back();
      if (nearest) SetSelected(nearest);
    }
    --FOwnChanges;
  });
  FDragNode = FDropNode = nullptr;
  updateWatches();
  if (IsFullPath(FSelectedPath) && !DirectoryExists(FSelectedPath)) {
    followGoneFolder();
    return;
  }
  // The attached list shows its folder's files and folders: it follows when that changed.
  if (FFileList)
    for (const std::string& f : changed)
      if (f.empty() ? FFileList->IsDriveView() : FFileList->Directory() == AddBackslash(f)) {
        FFileList->UpdateFileList();
        break;
      }
}

TTreeNode* TQzDirTree21::nodeOfFolder(const std::string& folder) {
  const std::string path = AddBackslash(folder);
  for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->GetNext())
    if (n->Level() >= 1 && GetNodePath(n) == path) return n;
  return nullptr;
}

void TQzDirTree21::followGoneFolder() {
  std::string above = StripBackslash(FSelectedPath);
  do above = ExtractFileDir(above);
  while (above.size() > 1 && !DirectoryExists(above));
  if (!DirectoryExists(above)) return;
  above = AddBackslash(above);
  // The last folder handled by ChangePath is gone too: a later call for it opens it again.
  FLastChangePath.clear();
  TTreeNode* node = nodeOfFolder(above);
  if (!node) {
    // Not in the tree (a drive went and its branch with it): the way down is opened.
    OpenPath(above);
  } else {
    // Its node is there: the open branches stay as they are.
    ++FOwnChanges;
    SetSelected(node);
    node->MakeVisible();
    --FOwnChanges;
    FSelectedPath = above;
    if (OnDirChange) OnDirChange(this, FSelectedPath);
  }
  FPreviousPath = FSelectedPath;
  informFileList(FSelectedPath, true);
}

void TQzDirTree21::mergeDrives() {
  TTreeNode* computer = Items()->GetFirstNode();
  if (!computer) return;
  std::vector<std::string> paths;
  FDriveKinds.clear();
  const std::vector<TExplorerDrive> drives = ExplorerDrives();
  for (const TExplorerDrive& drive : drives) {
    paths.push_back(drive.Path);
    FDriveKinds[drive.Path] = drive.Kind;
  }
  MergeChildren(Items(), computer, paths, [&](TTreeNode* node) {
    node->SetImageIndex(DriveIconIndex(FDriveKinds[node->Text()]));
    node->SetSelectedIndex(GetOpenIconIndex(node->Text()));
    node->SetHasChildren(true);
  });
  computer->SetHasChildren(computer->Count() > 0);
}
