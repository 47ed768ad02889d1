// Moving through the pictures and folders: next and previous picture with the slide
// show's end-of-list rules, the next and previous folder of the folder tree (also the
// descent of a recursive show), automatic advance, the start of the full-screen show and
// the slide delay.
#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitFloatButtons.h"
#include "tools/UnitThumbSpy.h"

namespace {

constexpr int kMaxSlideDelay = 100;

// True when node is still one of the tree's nodes (a reload of the tree frees them all).
bool NodeInTree(TCustomTreeView* tree, const TTreeNode* node) {
  if (!node) return false;
  TTreeNodes* nodes = tree->Items();
  for (int i = 0; i < nodes->Count(); ++i)
    if (nodes->Item(i) == node) return true;
  return false;
}

}  // namespace

TTreeNode* TForm1::startNode() {
  // A node of a reload may take the place of a freed one: the folder must match too.
  if (NodeInTree(QzDirTree211, FStartNode) && QzDirTree211->GetNodePath(FStartNode) == startNodePath_)
    return FStartNode;
  FStartNode = nullptr;
  // The tree frees the nodes of folders that went (and all of them on a reload): the walk
  // of a running show starts its folder again all the same.
  if (startNodePath_.empty()) return nullptr;
  for (TTreeNode* n = QzDirTree211->Items()->GetFirstNode(); n; n = n->GetNext())
    if (n->Level() == FStartLevel && QzDirTree211->GetNodePath(n) == startNodePath_) return FStartNode = n;
  return nullptr;
}

// ===========================================================================
// Pictures
// ===========================================================================
void TForm1::ListboxMultiSelectOff() {
  if (!ListBox1->MultiSelect()) return;
  const int index = ListBox1->ItemIndex();
  ListBox1->SetMultiSelect(false);
  if (index >= 0 && index < ListBox1->Count()) ListBox1->SetItemIndex(index);
}

void TForm1::ListboxMultiSelectOn() {
  if (ListBox1->MultiSelect()) return;
  const int top = ListBox1->TopIndex(), current = ListBox1->ItemIndex();
  ListBox1->SetMultiSelect(true);
  ListBox1->SetTopIndex(top);
  if (current >= 0 && current < ListBox1->Count()) {
    ListBox1->SetItemIndex(current);
    ListBox1->SetSelected(current, true);
  }
}

void TForm1::SelectAndOpen(int Index) {
  if (Index < 0 || Index >= ListBox1->Count()) return;
  ListboxMultiSelectOff();
  ListBox1->SetItemIndex(Index);
  OpenThePicture(ListBox1->Items()->Strings(Index));
}

void TForm1::ShowNextPicture() {
  const bool customList = PanelCustomLists->Visible() || TreeView1->Visible();
  if (ListBox1->Count() == 1 && !M_Recursive->Checked() && Timer1->Enabled()) {
    FSlideRunning = false;
    Timer1->SetEnabled(false);
    ZqSlideShow->SetDown(false);
    ShowIt(_("Show stopped, only one file in the list and recursive folders is off...."));
    UpdateScreenSaverInhibit();
    return;
  }
  try {
    const int index = ListBox1->ItemIndex();
    const int count = ListBox1->Count();
    bool descended = false;
    // Nothing selected counts as before the first entry.
    if (index < count - 1) {
      ListBox1->SetItemIndex(std::max(index + 1, 0));
    } else if (M_Recursive->Checked() && !customList) {
      RecursiveSelectDown(false);
      descended = true;
      ShowIt(_("Moved down......................"));
    } else if (count > 0) {
      ListBox1->SetItemIndex(0);
    }
    ListboxMultiSelectOff();
    const int selected = ListBox1->ItemIndex();
    if (selected >= 0 && selected < ListBox1->Count()) {
      const std::string entry = ListBox1->Items()->Strings(selected);
      // Listing the next folder opened its first picture already.
      if (!(descended && FCurrentFile == ListEntryPath(selected))) OpenThePicture(entry);
    } else {
      // An empty folder: a running show moves on soon.
      if (ListBox1->Count() == 0) Timer1->SetInterval(100);
      FCurrentFile.clear();
    }
  } catch (const std::exception&) {
    // The show goes on with the next tick.
  }
}

void TForm1::ZqNextClick(TObject* /*Sender*/) {
  Timer1->SetEnabled(false);
  ZqSlideShow->SetDown(false);
  FSlideRunning = false;
  ZqAutonext->SetDown(false);
  if (FormFloatB) FormFloatB->ZqAutonext->SetDown(false);
  UpdateScreenSaverInhibit();
  ShowNextPicture();
}

void TForm1::ZqPreviousClick(TObject* /*Sender*/) {
  Timer1->SetEnabled(false);
  ZqSlideShow->SetDown(false);
  FSlideRunning = false;
  const int index = ListBox1->ItemIndex();
  if (index >= 1 && index < ListBox1->Count()) {
    ListBox1->SetItemIndex(index - 1);
  } else if (!M_Recursive->Checked()) {
    if (ListBox1->Count() > 0) ListBox1->SetItemIndex(ListBox1->Count() - 1);
  } else {
    RecursiveSelectUp(false);
  }
  ZqAutonext->SetDown(false);
  if (FormFloatB) FormFloatB->ZqAutonext->SetDown(false);
  UpdateScreenSaverInhibit();
  ListboxMultiSelectOff();
  const int selected = ListBox1->ItemIndex();
  if (selected >= 0 && selected < ListBox1->Count())
    OpenThePicture(ListBox1->Items()->Strings(selected));
  else
    FCurrentFile.clear();
}

// ===========================================================================
// Folders
// ===========================================================================
std::string TForm1::MakePath(TTreeNode* Node) {
  if (!Node) return std::string();
  if (Node->Level() == 0) return "Drives";
  return ExcludeTrailingPathDelimiter(QzDirTree211->GetNodePath(Node));
}

void TForm1::RecursiveSelectDown(bool KeyFlag) {
  Timer1->SetEnabled(false);
  TTreeNode* node = QzDirTree211->Selected();
  if (node) {
    if (!node->Expanded()) node->Expand(false);
    TTreeNode* candidate = node->GetNext();
    Label2->SetCaption(candidate ? IntToStr(candidate->Level()) : std::string());
    if (!KeyFlag && (!candidate || candidate->Level() <= FStartLevel)) {
      // The walk would leave the folder where the show began (or the tree ends): the
      // show starts that folder again.
      TTreeNode* start = startNode() ? startNode() : node;
      if (node == start) ListBox1->SetItemIndex(ListBox1->Count() > 0 ? 0 : -1);
      candidate = start;
    }
    // Ctrl+N after the last folder of the tree stays where it is.
    if (candidate) listTreeNode(candidate);
  }
  if (FSlideRunning) Timer1->SetEnabled(true);
}

void TForm1::RecursiveSelectUp(bool KeyFlag) {
  TTreeNode* node = QzDirTree211->Selected();
  if (!node) return;
  TTreeNode* before = node->GetPrev();
  // The first node of the tree has nothing before it.
  if (!before) return;
  if (!before->Expanded()) before->Expand(false);
  if (!KeyFlag) {
    if (node->Level() <= FStartLevel) return;
  } else if (node->Level() <= FStartLevel) {
    FStartLevel = node->Level();
  }
  if (TTreeNode* target = node->GetPrev()) listTreeNode(target);
}

void TForm1::listTreeNode(TTreeNode* Node) {
  // The selection is the walk's, not the user's: the folder-change handler stays out.
  descending_ = true;
  QzDirTree211->SetSelected(Node);
  descending_ = false;
  const std::string path = MakePath(Node);
  QzDirTree211->SetSelectedPath(IncludeTrailingPathDelimiter(path));
  SetCaptionPath(path);
  FillTheListboxWithFiles(path);
}

void TForm1::ZqFolderDownClick(TObject* /*Sender*/) {
  RestoreToNormalNavigation();
  TTreeNode* node = QzDirTree211->Selected();
  if (!node) return;
  if (!node->Expanded()) node->Expand(false);
  TTreeNode* next = node->GetNext();
  if (!next) return;
  QzDirTree211->SetSelected(next);
  QzDirTree211->OpenPath(MakePath(next));
}

void TForm1::ZqFolderUpClick(TObject* /*Sender*/) {
  RestoreToNormalNavigation();
  TTreeNode* node = QzDirTree211->Selected();
  if (!node) return;
  TTreeNode* before = node->GetPrev();
  if (!before) return;
  if (!before->Expanded()) before->Expand(false);
  TTreeNode* target = node->GetPrev();
  if (!target) return;
  QzDirTree211->SetSelected(target);
  QzDirTree211->OpenPath(MakePath(target));
}

void TForm1::QzDirTree211DirChange(TObject* /*Sender*/, const std::string& SelectedPath) {
  if (FSuspendUpdates || descending_) return;
  // The tree reports its folder again after changes on disk: the listed folder is still
  // the one shown, so the show goes on with its picture.
  if (!FLastPath.empty() && IncludeTrailingPathDelimiter(SelectedPath) == FLastPath &&
      SelectedPath == QzDirTree211->SelectedPath() && FCurrentTreePath == SelectedPath)
    return;
  HideExifLabels();
  ListboxMultiSelectOff();
  PanelCustomLists->SetVisible(false);
  Timer1->SetEnabled(false);
  ZqSlideShow->SetDown(false);
  ZqAutonext->SetDown(false);
  if (FormFloatB) FormFloatB->ZqAutonext->SetDown(false);
  FSlideRunning = false;
  UpdateScreenSaverInhibit();
  FCurrentFile.clear();
  setWithQzDirPath(false);
  SincFavoritesPath();
}

void TForm1::QzDirTree211MouseDown(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState Shift, int /*X*/,
                                   int /*Y*/) {
  if (ChB_CloseOnClick->Checked() && PanelFavorites->Visible()) {
    ZqFavoriteslist->SetDown(false);
    ZqFavoriteslistClick(this);
  }
  // Folders are dragged only with Shift held.
  QzDirTree211->SetDragDropEnabled(Shift.Contains(ssShift));
}

void TForm1::QzDirTree211KeyPress(TObject* /*Sender*/, char& Key) {
  // The window's own keys: zoom, next and previous.
  if (Key == '=' || Key == '-' || Key == '.' || Key == ',') Key = 0;
}

void TForm1::M_RecursiveClick(TObject* /*Sender*/) { SetCaptionPath(QzDirTree211->SelectedPath()); }

// ===========================================================================
// Automatic advance, the show and its delay
// ===========================================================================
void TForm1::ZqAutonextClick(TObject* /*Sender*/) {
  if (FormThumbSpy && FormThumbSpy->Visible()) FormThumbSpy->Close();
  if (ListBox1->Count() > 1) {
    ZqAutonext->SetHint(ZqAutonext->Down() ? _("Pause auto show - Space") : _("Start auto show - Space"));
    FSlideRunning = ZqAutonext->Down();
    Timer1->SetEnabled(FSlideRunning);
    if (FormFloatB) FormFloatB->ZqAutonext->SetDown(ZqAutonext->Down());
    ShowIt(Timer1->Enabled() ? _("slide show running...") : _("slide show paused..."));
  } else {
    // Nothing to advance through.
    Timer1->SetEnabled(false);
    ZqAutonext->SetDown(false);
    FSlideRunning = false;
    if (FormFloatB) FormFloatB->ZqAutonext->SetDown(false);
  }
  UpdateScreenSaverInhibit();
}

void TForm1::M_Start1Click(TObject* /*Sender*/) {
  if (FFullScreen) {
    FullScreen();
    return;
  }
  if (Timer1->Enabled()) Timer1->SetEnabled(false);
  ZqSlideShow->SetDown(true);
  FSlideRunning = true;
  ZqSlideShowClick(this);
}

void TForm1::ZqSpeedUpClick(TObject* /*Sender*/) {
  if (FSlideDelay < kMaxSlideDelay) ++FSlideDelay;
  LabelDelay->SetCaption(IntToStr(FSlideDelay));
}

void TForm1::ZqSpeedDownClick(TObject* /*Sender*/) {
  if (FSlideDelay > 0) --FSlideDelay;
  LabelDelay->SetCaption(IntToStr(FSlideDelay));
}
