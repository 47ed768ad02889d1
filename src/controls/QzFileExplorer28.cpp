#include "controls/QzFileExplorer28.h"

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

#include "platform/gui/Forms.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {

// A real folder (not a link to one): the tree never leads through links, so a walk down
// the tree cannot run in a circle.
bool IsRealFolder(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The sub folders of folder (links to folders left out), in directory order.
std::vector<std::string> SubFolderNames(const std::string& folder, bool firstOnly) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool isDir = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) isDir = IsRealFolder(PathJoin(folder, name));
    if (!isDir) continue;
    names.push_back(name);
    if (firstOnly) break;
  }
  closedir(dir);
  return names;
}

std::string WithSlash(const std::string& path) { return IncludeTrailingPathDelimiter(path); }

// The parts of a path below its drive: "/media/x/a/b/" below "/media/x" gives a, b.
std::vector<std::string> SegmentsBelow(const std::string& path, const std::string& mount) {
  std::vector<std::string> parts;
  std::string rest = path.substr(mount == "/" ? 1 : mount.size());
  size_t start = 0;
  while (start < rest.size()) {
    size_t slash = rest.find('/', start);
    if (slash == std::string::npos) slash = rest.size();
    if (slash > start) parts.push_back(rest.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

// The drive (mount point) path lies on: equal to it or below it.
bool IsOnMount(const std::string& path, const std::string& mount) {
  if (mount == "/") return !path.empty() && path[0] == '/';
  return path.compare(0, mount.size(), mount) == 0 && (path.size() == mount.size() || path[mount.size()] == '/');
}

}  // namespace

TQzDirTree21::TQzDirTree21(TComponent* AOwner) : TCustomTreeView(AOwner) {
  SetBounds(0, 0, 180, 120);
  SetReadOnly(true);
  SetSortType(stNone);
  SetHideSelection(false);
  ReloadTree();
  if (TTreeNode* computer = Items()->GetFirstNode()) computer->Expand(false);
}

void TQzDirTree21::SetSelectedPath(const std::string& path) {
  if (!AnsiSameText(path, selectedPath_)) selectedPath_ = path;
}

void TQzDirTree21::ReloadTree() {
  Items()->BeginUpdate();
  Items()->Clear();
  TTreeNode* computer = Items()->AddChild(nullptr, _("Computer"));
  computer->SetHasChildren(true);
  loadDrives();
  Items()->EndUpdate();
}

void TQzDirTree21::loadDrives() {
  TTreeNode* computer = Items()->GetFirstNode();
  if (!computer) return;
  for (const TDriveInfo& drive : MountedDrives()) {
    if (!IsRealFolder(drive.MountPoint)) continue;
    TTreeNode* node = Items()->AddChild(computer, drive.MountPoint);
    node->SetHasChildren(true);
  }
}

bool TQzDirTree21::CanExpand(TTreeNode* Node) {
  if (Node && Node->Level() >= 1 && Node->Count() == 0) {
    TCursor saved = Screen->Cursor();
    Screen->SetCursor(crHourGlass);
    Node->SetHasChildren(false);
    addSubFolders(Node);
    Node->AlphaSort(false);
    Screen->SetCursor(saved);
  }
  return TCustomTreeView::CanExpand(Node);
}

void TQzDirTree21::addSubFolders(TTreeNode* node) {
  const std::string folder = GetNodePath(node);
  if (folder.empty()) return;
  TDriveInfo drive;
  const bool remote = DriveInfoOfPath(folder, drive) && drive.Kind == dkRemote;
  for (const std::string& name : SubFolderNames(folder, false)) {
    TTreeNode* child = Items()->AddChild(node, name);
    // Folders on network drives are not probed: they always show an expand button.
    child->SetHasChildren(remote || !SubFolderNames(PathJoin(folder, name), true).empty());
  }
}

std::string TQzDirTree21::GetNodePath(const TTreeNode* node) const {
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
  return WithSlash(path);
}

TTreeNode* TQzDirTree21::findChild(TTreeNode* parent, const std::string& caption) const {
  TTreeNode* withoutCase = nullptr;
  for (int i = 0; i < parent->Count(); ++i) {
    TTreeNode* child = parent->Item(i);
    if (child->Text() == caption) return child;
    if (!withoutCase && AnsiSameText(child->Text(), caption)) withoutCase = child;
  }
  return withoutCase;
}

void TQzDirTree21::OpenPath(const std::string& path) {
  if (path.empty() || !DirectoryExists(path)) return;
  const std::string target = WithSlash(path);
  const std::string folder = ExcludeTrailingPathDelimiter(target);

  Items()->BeginUpdate();
  TTreeNode* computer = Items()->GetFirstNode();
  if (!computer) {
    ReloadTree();
    computer = Items()->GetFirstNode();
  }
  if (computer->Count() == 0) loadDrives();
  if (computer->Expanded()) computer->Collapse(true);
  computer->Expand(false);

  // The drive: the mount point that holds the folder most closely.
  TTreeNode* current = nullptr;
  for (int i = 0; i < computer->Count(); ++i) {
    TTreeNode* drive = computer->Item(i);
    if (IsOnMount(folder, drive->Text()) && (!current || drive->Text().size() > current->Text().size()))
      current = drive;
  }
  bool complete = current != nullptr;
  if (current) {
    SetSelected(current);
    current->Expand(false);
    for (const std::string& segment : SegmentsBelow(folder, current->Text())) {
      TTreeNode* child = findChild(current, segment);
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
  if (!complete) return;
  SetSelectedPath(target);
  if (OnDirChange) OnDirChange(this, selectedPath_);
}

void TQzDirTree21::ChangePath(const std::string& path) {
  if (path.empty() || AnsiSameText(path, lastChangePath_)) return;
  const std::string target = WithSlash(path);
  if (!DirectoryExists(target)) return;
  lastChangePath_ = target;
  OpenPath(target);
}

void TQzDirTree21::selectionChangedByUser() {
  TTreeNode* node = Selected();
  if (!node) return;
  if (node->Level() == 0) {
    if (node->Count() == 0) loadDrives();
    selectedPath_ = "Drives";
  } else {
    selectedPath_ = GetNodePath(node);
  }
  if (OnDirChange) OnDirChange(this, selectedPath_);
  previousPath_ = selectedPath_;
}

void TQzDirTree21::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomTreeView::MouseDown(Button, Shift, X, Y);
  previousPath_ = selectedPath_;
  TTreeNode* node = GetNodeAt(X, Y);
  if (!node) return;
  THitTests hit = GetHitTestInfoAt(X, Y);
  if (!hit.Contains(htOnItem) && !hit.Contains(htOnIcon) && !hit.Contains(htOnLabel)) return;
  if (Selected() != node) SetSelected(node);
  selectionChangedByUser();
}

void TQzDirTree21::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (Key == VK_UP || Key == VK_DOWN || Key == VK_LEFT || Key == VK_RIGHT) {
    TCustomTreeView::KeyUp(Key, Shift);
    selectionChangedByUser();
  } else if (Key == VK_F5) {
    const std::string path = selectedPath_;
    ReloadTree();
    OpenPath(path);
  }
}
