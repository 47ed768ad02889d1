// The map-network-drive dialog and the folder combo with its drop-down tree.
#include <algorithm>
#include <map>

#include "controls/QzFileExplorer28.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/shell/ShellExplorer.h"

// ===========================================================================
// Map network drive dialog
// ===========================================================================

TNetPathDlg::TNetPathDlg(TComponent* AOwner) : TComponent(AOwner) {
  form_ = new TForm(this);
  form_->SetBorderStyle(bsDialog);
  form_->SetPosition(poScreenCenter);
  form_->SetClientWidth(400);
  form_->SetClientHeight(160);
  form_->SetCaption(ExplorerText("Map Network Drive"));
  auto label = [this](int l, int t, int w, int h, const char* text) {
    auto* lb = new TLabel(form_);
    lb->SetParent(form_);
    lb->SetBounds(l, t, w, h);
    lb->SetCaption(ExplorerText(text));
    return lb;
  };
  // The description breaks its lines at the width the window gives it (it would stretch
  // to its longest line if it took its text before breaking lines).
  auto* description = new TLabel(form_);
  description->SetParent(form_);
  description->SetWordWrap(true);
  description->SetBounds(28, 8, form_->ClientWidth() - 2 * 28, 26);
  description->SetCaption(ExplorerText(
      "Specify an avilable Drive Letter in My Computer for the connection \nand the path to the Network Computer that "
      "you want to connect to:"));
  label(28, 56, 25, 13, "Drive");
  label(28, 88, 25, 13, "Path");
  driveList_ = new TComboBox(form_);
  driveList_->SetParent(form_);
  driveList_->SetBounds(60, 52, 189, 21);
  // On Linux a share gets no letter: gio puts it in a folder of its own, which then
  // stands for the drive.
  driveList_->Items()->Add(ExplorerText("(a folder chosen by gio)"));
  driveList_->SetItemIndex(0);
  pathEdit_ = new TEdit(form_);
  pathEdit_->SetParent(form_);
  pathEdit_->SetBounds(60, 84, 189, 21);
  reconnectBox_ = new TCheckBox(form_);
  reconnectBox_->SetParent(form_);
  reconnectBox_->SetBounds(60, 116, 244, 21);
  reconnectBox_->SetCaption(ExplorerText("Reconnect at logon"));
  reconnectBox_->SetHint(ExplorerText("Kivo2 connects the share again when it starts next."));
  reconnectBox_->SetShowHint(true);
  reconnectBox_->SetChecked(true);
  auto button = [this](int t, const char* caption, int result) {
    auto* b = new TButton(form_);
    b->SetParent(form_);
    b->SetBounds(312, t, 75, 23);
    b->SetCaption(ExplorerText(caption));
    b->SetModalResult(result);
    return b;
  };
  button(52, "OK", mrOk)->SetDefault(true);
  button(84, "Browse", mrNone)->OnClick = [this](TObject* s) { BrowseClick(s); };
  button(116, "Cancel", mrCancel)->SetCancel(true);
  // The description takes the lines its words need; what lies below it moves down.
  if (const int lower = description->Top() + description->Height() + 10 - 52; lower > 0) {
    for (int i = 0; i < form_->ControlCount(); ++i)
      if (TControl* c = form_->Controls(i); c != description) c->SetTop(c->Top() + lower);
    form_->SetClientHeight(form_->ClientHeight() + lower);
  }
}

TNetPathDlg::~TNetPathDlg() = default;

void TNetPathDlg::BrowseClick(TObject* /*Sender*/) {
  std::string folder = GetEnvironmentVariable("XDG_RUNTIME_DIR");
  std::string path = folder.empty() ? std::string() : PathJoin(folder, "gvfs");
  std::string chosen = path;
  if (SelectDirectory(TextSpecifyDir, DirectoryExists(path) ? path : std::string(), chosen) && !chosen.empty()) {
    path_ = StripBackslash(chosen);
    pathEdit_->SetText(path_);
  }
}

bool TNetPathDlg::Execute() {
  pathEdit_->SetText(path_);
  const int result = form_->ShowModal();
  reconnect_ = reconnectBox_->Checked();
  if (result == mrOk) path_ = pathEdit_->Text();
  return result == mrOk;
}

// ===========================================================================
// The drop-down tree
// ===========================================================================

TQzDirTreeView::TQzDirTreeView(TComponent* AOwner) : TCustomTreeView(AOwner) {
  SetReadOnly(true);
  SetHideSelection(false);
  SetHotTrack(true);
  SetImages(SystemSmallImages());
}

std::string TQzDirTreeView::NodePath(const TTreeNode* node) const { return ExplorerNodePath(node); }

void TQzDirTreeView::LoadDrives() {
  Items()->BeginUpdate();
  Items()->Clear();
  TTreeNode* computer = Items()->AddChild(nullptr, _("Computer"));
  computer->SetImageIndex(DriveIconIndex(dkFixed));
  computer->SetSelectedIndex(computer->ImageIndex());
  for (const TExplorerDrive& drive : ExplorerDrives()) {
    TTreeNode* node = Items()->AddChild(computer, drive.Path);
    node->SetImageIndex(DriveIconIndex(drive.Kind));
    node->SetSelectedIndex(node->ImageIndex());
    node->SetHasChildren(true);
  }
  Items()->EndUpdate();
  if (expandRoot_) computer->Expand(false);
}

bool TQzDirTreeView::CanExpand(TTreeNode* Node) {
  if (Node && Node->Level() >= 1 && Node->Count() == 0) {
    TCursor saved = Screen->Cursor();
    Screen->SetCursor(crHourGlass);
    Node->SetHasChildren(false);
    AddFolderChildren(Items(), Node, true);
    Screen->SetCursor(saved);
  }
  return TCustomTreeView::CanExpand(Node);
}

bool TQzDirTreeView::WalkTo(const std::string& path) {
  TTreeNode* computer = Items()->GetFirstNode();
  if (!computer) return false;
  Items()->BeginUpdate();
  computer->Collapse(true);
  computer->Expand(false);
  const std::string folder = StripBackslash(path);
  TTreeNode* current = nullptr;
  for (int i = 0; i < computer->Count(); ++i) {
    const std::string d = computer->Item(i)->Text();
    const bool on = d == "/" || folder == d || folder.compare(0, d.size() + 1, d + "/") == 0;
    if (on && (!current || d.size() > current->Text().size())) current = computer->Item(i);
  }
  bool complete = current != nullptr;
  if (current) {
    SetSelected(current);
    current->Expand(false);
    std::string rest = folder.substr(current->Text() == "/" ? 1 : current->Text().size());
    size_t start = 0;
    while (start < rest.size()) {
      size_t slash = rest.find('/', start);
      if (slash == std::string::npos) slash = rest.size();
      if (slash > start) {
        const std::string segment = rest.substr(start, slash - start);
        TTreeNode* next = nullptr;
        for (int i = 0; i < current->Count() && !next; ++i)
          if (current->Item(i)->Text() == segment) next = current->Item(i);
        if (!next) {
          complete = false;
          break;
        }
        current = next;
        SetSelected(current);
        current->Expand(false);
      }
      start = slash + 1;
    }
  }
  Items()->EndUpdate();
  return complete;
}

void TQzDirTreeView::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomTreeView::MouseMove(Shift, X, Y);
  // The pointer back inside: the tree's own rows take the mouse again.
  if (MouseCapture() && X >= 0 && Y >= 0 && X < ClientWidth() && Y < ClientHeight()) SetMouseCapture(false);
  // Hot tracking: the node under the pointer's label becomes the selection.
  if (TTreeNode* node = GetNodeAt(X, Y); node && GetHitTestInfoAt(X, Y).Contains(htOnLabel) && node != Selected())
    SetSelected(node);
}

bool TQzDirTreeView::DoMouseWheel(TShiftState /*Shift*/, int WheelDelta, TPoint /*MousePos*/) {
  TTreeNode* node = Selected();
  if (!node) return true;
  TTreeNode* next = WheelDelta <= 0 ? node->GetNextVisible() : node->GetPrevVisible();
  if (next) SetSelected(next);
  return true;
}

// ===========================================================================
// The folder combo
// ===========================================================================

namespace {
// The window the drop-down tree floats in.
TForm* DropDownFormOf(TQzDirTreeView* tree) { return dynamic_cast<TForm*>(tree->Parent()); }
}  // namespace

TQzDirTreeCombo28::TQzDirTreeCombo28(TComponent* AOwner) : TEdit(AOwner) {
  SetBounds(Left(), Top(), 216, 21);
  SetTabOrder(0);
  SetReadOnly(true);
  button_ = new TQzSpeedButton(this);
  button_->SetParent(this);
  button_->SetCaption("\u25BE");
  button_->SetFlat(true);
  button_->OnClick = [this](TObject*) {
    if (DroppedDown())
      CloseUp();
    else
      DropDown();
  };
  // The window the tree drops down in is made when it first drops down.
  tree_ = new TQzDirTreeView(this);
  tree_->SetVisible(false);
  tree_->OnMouseUp = [this](TObject*, TMouseButton button, TShiftState, int x, int y) {
    if (button != mbLeft) return;
    THitTests hit = tree_->GetHitTestInfoAt(x, y);
    if (tree_->GetNodeAt(x, y) && (hit.Contains(htOnLabel) || hit.Contains(htOnIcon))) TakeChoice(tree_);
  };
  // While the pointer is outside the drop-down, the drop-down holds the mouse: a press
  // anywhere else (a label, a panel, another window) closes it and does nothing more.
  tree_->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int x, int y) {
    if (x < 0 || y < 0 || x >= tree_->ClientWidth() || y >= tree_->ClientHeight()) CloseUp();
  };
  tree_->OnMouseLeave = [this](TObject*) {
    if (!tree_->MouseCapture()) holdMouse();
  };
  // The window system shows the drop-down (only then can it take the mouse) when it gives
  // it the keyboard.
  tree_->OnEnter = [this](TObject*) { holdMouse(); };
  tree_->OnKeyDown = [this](TObject*, uint16_t& key, TShiftState shift) {
    if (key == VK_RETURN || key == VK_ESCAPE || key == VK_F4) KeyDown(key, shift);
  };
  // Every node opened in the drop-down is watched, as in the folder tree.
  tree_->OnExpanded = [this](TObject*, TTreeNode*) { updateWatches(); };
  tree_->OnCollapsed = [this](TObject*, TTreeNode*) { updateWatches(); };
  icon_ = new TImage(this);
  icon_->SetParent(this);
  icon_->SetCenter(true);
  icon_->SetTransparent(true);
  tree_->OnExit = [this](TObject*) {
    RunAfterCurrentEvent([this, alive = std::weak_ptr<int>(alive_)] {
      if (!alive.expired() && !Focused() && !tree_->Focused()) CloseUp();
    });
  };
  tree_->LoadDrives();
  showNode(tree_->Items()->GetFirstNode());
  selectedPath_ = "Drives";
  SetShowHint(true);
  watcher_ = std::make_unique<TFolderWatcher>([this](const std::string& folder) { ShellChanged(folder); });
  updateWatches();
  SetLanguage(lnEnglish);
  Resize();
}

TQzDirTreeCombo28::~TQzDirTreeCombo28() {
  watcher_.reset();
  if (fileList_ && fileList_->DirTreeCombo() == this) fileList_->SetDirTreeCombo(nullptr);
}

void TQzDirTreeCombo28::SetLanguage(TLanguage /*language*/) {
  const TLanguage now = TreeLanguage();
  if (now == language_) return;
  language_ = now;
  ExplorerLanguage = now;
  LoadTreeTexts();
}

void TQzDirTreeCombo28::SetSelectedPath(const std::string& path) {
  if (path == selectedPath_) return;
  selectedPath_ = path;
  if (fileList_) fileList_->SetDirectory(path);
}

void TQzDirTreeCombo28::SetFileList(TQzFilelistView28* list) {
  if (fileList_ == list) return;
  fileList_ = list;
  if (list && list->DirTreeCombo() != this) list->SetDirTreeCombo(this);
}

bool TQzDirTreeCombo28::DroppedDown() const {
  TForm* f = DropDownFormOf(tree_);
  return f && f->Visible();
}

void TQzDirTreeCombo28::Resize() {
  TEdit::Resize();
  if (button_) button_->SetBounds(Width() - 17 - 4, 1, 17, std::max(Height() - 4, 10));
  if (icon_) icon_->SetBounds(5, ClientHeight() / 2 - 8, 16, 16);
  // The path starts right of the icon and ends before the drop-down button.
  SetTextMargins(icon_ && !icon_->Picture()->Graphic() ? 0 : 23 - 1, 17 + 6);
}

void TQzDirTreeCombo28::DropDown() {
  TForm* f = DropDownFormOf(tree_);
  if (!f) {
    f = new TForm(this);
    f->SetBorderStyle(bsNone);
    f->SetFormStyle(fsStayOnTop);
    tree_->SetParent(f);
    tree_->SetAlign(alClient);
    tree_->SetVisible(true);
  }
  if (f->Visible()) {
    CloseUp();
    return;
  }
  SetFocus();
  TPoint below = ClientToScreen(TPoint{0, Height()});
  int top = below.Y;
  if (top + treeHeight_ > Screen->Height()) top = ClientToScreen(TPoint{0, 0}).Y - treeHeight_;
  f->SetBounds(below.X, top, Width(), treeHeight_);
  tree_->SetEnabled(true);
  f->Show();
  f->BringToFront();
  if (tree_->CanFocus()) tree_->SetFocus();
  // The mouse is taken once the window system shows the drop-down: tried again a few
  // times, in case it does not give the drop-down the keyboard.
  if (!holdTimer_) {
    holdTimer_ = new TTimer(this);
    holdTimer_->SetInterval(150);
    holdTimer_->OnTimer = [this](TObject*) {
      holdMouse();
      if (++holdTries_ >= 5) holdTimer_->SetEnabled(false);
    };
  }
  holdTries_ = 0;
  holdTimer_->SetEnabled(true);
}

void TQzDirTreeCombo28::holdMouse() {
  const TPoint p = tree_->ScreenToClient(Mouse->CursorPos());
  if (DroppedDown() && (p.X < 0 || p.Y < 0 || p.X >= tree_->ClientWidth() || p.Y >= tree_->ClientHeight()))
    tree_->SetMouseCapture(true);
}

void TQzDirTreeCombo28::CloseUp() {
  TForm* f = DropDownFormOf(tree_);
  if (!f || !f->Visible()) return;
  const bool hadFocus = tree_->Focused();
  if (holdTimer_) holdTimer_->SetEnabled(false);
  tree_->SetMouseCapture(false);
  f->Hide();
  tree_->SetEnabled(false);
  if (hadFocus && CanFocus()) SetFocus();
}

void TQzDirTreeCombo28::showNode(TTreeNode* node) {
  if (!node) return;
  if (const TBitmap* image = SystemSmallImages()->ImageWithAlpha(node->ImageIndex())) {
    icon_->Picture()->Assign(const_cast<TBitmap*>(image));
    Resize();
  }
  SetText(node->Level() == 0 ? node->Text() : StripBackslash(tree_->NodePath(node)));
  SetHint(node ? "SelectedPath =\n" + selectedPath_ : std::string("Selected = nil"));
}

void TQzDirTreeCombo28::TakeChoice(TObject* sender) {
  TTreeNode* node = tree_->Selected();
  if (!node) return;
  tree_->previousPath_ = AddBackslash(tree_->selectedPath_);
  std::string path = node->Level() == 0 ? std::string("Drives") : tree_->NodePath(node);
  if (node->Level() == 1 && MayLackMedium(path) && !CheckDriveReady(path, true)) {
    tree_->selectedPath_ = tree_->previousPath_;
    return;
  }
  tree_->selectedPath_ = path;
  SetSelectedPath(path);
  showNode(node);
  if (OnPathChange) OnPathChange(sender, selectedPath_);
  CloseUp();
}

void TQzDirTreeCombo28::OpenPath(const std::string& path) {
  if (path.size() < 2 || !DirectoryExists(path)) return;
  const std::string target = AddBackslash(path);
  tree_->WalkTo(target);
  showNode(tree_->Selected());
  tree_->selectedPath_ = target;
  selectedPath_ = target;
  if (fileList_) fileList_->SetDirectory(target);
  updateWatches();
  if (OnPathChange) OnPathChange(this, selectedPath_);
}

void TQzDirTreeCombo28::ReloadTree() {
  tree_->LoadDrives();
  updateWatches();
}

void TQzDirTreeCombo28::updateWatches() {
  std::vector<std::string> folders;
  for (TTreeNode* n = tree_->Items()->GetFirstNode(); n; n = n->GetNext())
    if (n->Level() >= 1 && (n->Expanded() || n->Count() > 0)) folders.push_back(tree_->NodePath(n));
  if (watcher_) watcher_->SetFolders(folders);
}

void TQzDirTreeCombo28::ShellChanged(const std::string& folder) {
  // A folder open in the drop-down takes its new sub folders and loses the gone ones, the
  // drives follow the drives there are; what else the user opened stays open.
  KeepRowsInPlace(tree_, [&] {
    TTreeNode* computer = tree_->Items()->GetFirstNode();
    if (folder.empty() && computer) {
      std::vector<std::string> paths;
      std::map<std::string, TDriveKind> kinds;
      for (const TExplorerDrive& drive : ExplorerDrives()) {
        paths.push_back(drive.Path);
        kinds[drive.Path] = drive.Kind;
      }
      MergeChildren(tree_->Items(), computer, paths, [&](TTreeNode* node) {
        node->SetImageIndex(DriveIconIndex(kinds[node->Text()]));
        node->SetSelectedIndex(node->ImageIndex());
        node->SetHasChildren(true);
      });
    }
    for (TTreeNode* n = computer; n && !folder.empty(); n = n->GetNext())
      if (n->Level() >= 1 && tree_->NodePath(n) == AddBackslash(folder)) {
        if (n->Expanded() || n->Count() > 0)
          MergeFolderChildren(tree_->Items(), n, true);
        else
          n->SetHasChildren(!SubFolderNames(folder, true).empty());
        break;
      }
  });
  updateWatches();
  if (fileList_ && (folder.empty() ? fileList_->IsDriveView() : fileList_->Directory() == AddBackslash(folder)))
    fileList_->UpdateFileList();
}

void TQzDirTreeCombo28::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (!tree_->Selected()) {
    if (TTreeNode* first = tree_->Items()->GetFirstNode()) {
      tree_->SetSelected(first);
      first->Expand(false);
    }
  }
  TTreeNode* node = tree_->Selected();
  switch (Key) {
    case VK_RIGHT:
      if (node) node->Expand(false);
      break;
    case VK_LEFT:
      if (node && node->Expanded()) node->Collapse(true);
      if (node) {
        TTreeNode* prev = node->GetPrevVisible();
        if (prev && prev->Level() > 0) tree_->SetSelected(prev);
      }
      break;
    case VK_DOWN:
      if (!DroppedDown())
        DropDown();
      else if (node && node->GetNextVisible())
        tree_->SetSelected(node->GetNextVisible());
      break;
    case VK_UP:
      if (node && node->Level() > 0 && node->GetPrevVisible()) tree_->SetSelected(node->GetPrevVisible());
      break;
    case VK_F4: DropDown(); break;
    case VK_F5: {
      const std::string path = selectedPath_;
      ReloadTree();
      OpenPath(path);
      if (fileList_) fileList_->UpdateFileList();
      break;
    }
    case VK_RETURN:
      if (node) {
        TakeChoice(this);
        CloseUp();
      }
      break;
    case VK_ESCAPE: CloseUp(); break;
    default: break;
  }
  TEdit::KeyDown(Key, Shift);
}

void TQzDirTreeCombo28::DoExit() {
  TEdit::DoExit();
  RunAfterCurrentEvent([this, alive = std::weak_ptr<int>(alive_)] {
    if (!alive.expired() && !Focused() && !tree_->Focused()) CloseUp();
  });
}

void TQzDirTreeCombo28::MouseEnter() {
  TEdit::MouseEnter();
  if (!DroppedDown()) SetHint(tree_->Selected() ? "SelectedPath =\n" + selectedPath_ : std::string("Selected = nil"));
}
