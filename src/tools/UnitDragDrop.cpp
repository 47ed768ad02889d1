#include "tools/UnitDragDrop.h"

#include <memory>
#include <vector>

#include "controls/RowPanel.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "tools/SortUnit.h"

TDragForm* DragForm = nullptr;

namespace {
constexpr int kThumbBox = 134;
constexpr int kPreviewGap = 4;  // between the drop target's thumbnail and the button bar
}  // namespace

TDragForm::TDragForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("DragForm");
  SetCaption("");
  SetFormStyle(fsStayOnTop);
  SetClientWidth(640);
  SetClientHeight(480);

  Panel1 = NewAligned<TPanel>(this, this, "Panel1", alLeft, 223);
  Panel1->SetCaption("");
  StaticText1 = NewControl<TStaticText>(this, Panel1, "StaticText1", 4, 4, 215, 96);
  StaticText1->SetAutoSize(false);
  StaticText1->SetColor(clInfoBk);
  Panel2 = NewControl<TPanel>(this, Panel1, "Panel2", 40, 106, 140, 140);
  Panel2->SetCaption("");
  Image1 = NewControl<TImage>(this, Panel2, "Image1", 2, 2, 136, 136);
  Image1->SetCenter(true);
  // The two lines of the move's caption; the first may wrap.
  Label1 = NewControl<TLabel>(this, Panel1, "Label1", "Move selected image(s) to", 8, 248, 210, 30);
  Label1->SetAutoSize(false);
  Label1->SetWordWrap(true);
  Label1->SetLayout(tlBottom);
  Label1->SetBounds(8, 248, 210, 30);
  Label2 = NewControl<TLabel>(this, Panel1, "Label2", "the location of this image.", 8, 278, 210, 15);
  Label1->SetVisible(false);
  Label2->SetVisible(false);
  Panel3 = NewControl<TPanel>(this, Panel1, "Panel3", 40, 296, 140, 140);
  Panel3->SetCaption("");
  Image2 = NewControl<TImage>(this, Panel3, "Image2", 2, 2, 136, 136);
  Image2->SetCenter(true);
  auto* buttonBar = NewAligned<TRowPanel>(this, Panel1, "Panel4", alBottom, 32);
  buttonBar->SetCaption("");
  buttonBar->SetRowHeight(32);
  buttonBar->SetSpacing(2);
  Panel4 = buttonBar;
  ZqSpeedButton3 = NewControl<TZqSpeedButton>(this, Panel4, "ZqSpeedButton3", "Close", 4, 4, 70, 24);
  Zq_Save = NewControl<TZqSpeedButton>(this, Panel4, "Zq_Save", "Save", 76, 4, 70, 24);
  Zq_Save->SetEnabled(false);
  ZqSpeedButton1 = NewControl<TZqSpeedButton>(this, Panel4, "ZqSpeedButton1", "Sort", 148, 4, 70, 24);
  buttonBar->LineUp();

  PopupMenu1 = new TPopupMenu(this);
  PopupMenu1->SetName("PopupMenu1");
  Delete1 = NewMenuItem(this, PopupMenu1->Items(), "Delete1", "Delete");
  Duplicate1 = NewMenuItem(this, PopupMenu1->Items(), "Duplicate1", "Duplicate");
  ListBox1 = NewAligned<TListBox>(this, this, "ListBox1", alClient);
  ListBox1->SetStyle(lbOwnerDrawFixed);
  ListBox1->SetDragMode(dmAutomatic);
  ListBox1->SetPopupMenu(PopupMenu1);

  ListBox1->OnClick = [this](TObject* Sender) { ListBox1Click(Sender); };
  ListBox1->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    ListBox1MouseMove(Sender, Shift, X, Y);
  };
  ListBox1->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    ListBox1MouseDown(Sender, Button, Shift, X, Y);
  };
  ListBox1->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    ListBox1MouseUp(Sender, Button, Shift, X, Y);
  };
  ListBox1->OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) {
    ListBox1KeyDown(Sender, Key, Shift);
  };
  ListBox1->OnDragOver = [this](TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept) {
    ListBox1DragOver(Sender, Source, X, Y, State, Accept);
  };
  ListBox1->OnEndDrag = [this](TObject* Sender, TObject* Target, int X, int Y) {
    ListBox1EndDrag(Sender, Target, X, Y);
  };
  ListBox1->OnDrawItem = [this](TWinControl* Control, int Index, const TRect& Rect, TOwnerDrawState State) {
    ListBox1DrawItem(Control, Index, Rect, State);
  };
  Delete1->OnClick = [this](TObject* Sender) { Delete1Click(Sender); };
  Duplicate1->OnClick = [this](TObject* Sender) { Duplicate1Click(Sender); };
  ZqSpeedButton1->OnClick = [this](TObject* Sender) { ZqSpeedButton1Click(Sender); };
  Zq_Save->OnClick = [this](TObject* Sender) { Zq_SaveClick(Sender); };
  ZqSpeedButton3->OnClick = [this](TObject* Sender) { ZqSpeedButton3Click(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TDragForm::FormCreate(TObject* /*Sender*/) {
  TranslateComponent(this);
  StaticText1->SetCaption(_("Press and hold the left mouse button down to drag a file\nUse shift to select more "
                            "files, then release the shift button and drag files to another location."));
}

void TDragForm::setModified(bool modified) {
  FModified = modified;
  Zq_Save->SetEnabled(modified);
}

void TDragForm::fitPreview() {
  // The bar's buttons take a second row where their captions are long (Dutch): the window
  // grows by as much as the bar then covers of the thumbnail.
  const int covered = Panel3->Top() + Panel3->Height() + kPreviewGap - Panel4->Top();
  if (covered > 0) SetClientHeight(ClientHeight() + covered);
}

void TDragForm::FormShow(TObject* /*Sender*/) {
  fitPreview();
  setModified(false);
  FDropTarget = -1;
  FPreviewIndex = -1;
  SetCaption(FListFile);
  FView = ListBox1->Items()->ToVector();
  ListBox1->SetMultiSelect(false);
  if (Form1) Form1->SetListBoxHorzBar(ListBox1);
  if (ListBox1->Count() > 0) {
    ListBox1->SetItemIndex(0);
    ShowThumbnail(ListBox1->Items()->Strings(0), Image1);
  }
}

void TDragForm::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  Image1->Picture()->SetGraphic(nullptr);
  Image2->Picture()->SetGraphic(nullptr);
  ListBox1->Clear();
}

// ===========================================================================
// Thumbnails
// ===========================================================================
void TDragForm::ShowThumbnail(const std::string& Entry, TImage* Target) {
  const std::string path = IsFullPath(Entry) || !Form1 ? Entry : Form1->FLastPath + Entry;
  if (!Form1 || Form1->IsAssociatedFile(path) || !FileExists(path)) {
    Target->Picture()->SetGraphic(nullptr);
    return;
  }
  // The thumbnail of the cache (made, and kept as the cache options say, when missing);
  // a file of the cache folder itself is its own thumbnail.
  auto work = std::make_unique<TImage>(nullptr);
  const bool made = Form1->LoadThumbnail(path, work.get(), true);
  if (made) Form1->FitForWindow(work->Picture(), Target->Picture(), kThumbBox, kThumbBox, false);
  if (!made || Form1->FFitError) Target->Picture()->SetGraphic(nullptr);
}

// ===========================================================================
// The list and the mouse
// ===========================================================================
void TDragForm::ListBox1Click(TObject* /*Sender*/) {
  const int index = ListBox1->ItemIndex();
  if (index >= 0 && index < ListBox1->Count()) ShowThumbnail(ListBox1->Items()->Strings(index), Image1);
  Label1->SetVisible(false);
  Label2->SetVisible(false);
}

void TDragForm::ListBox1MouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int X, int Y) {
  const int index = ListBox1->ItemAtPos(Point(X, Y), true);
  if (index < 0 || index == FPreviewIndex) return;
  FPreviewIndex = index;
  if (!ListBox1->MultiSelect()) ListBox1->SetItemIndex(index);
  ShowThumbnail(ListBox1->Items()->Strings(index), Image1);
}

void TDragForm::ListBox1MouseDown(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/,
                                  int /*Y*/) {
  FDropTarget = -1;
}

void TDragForm::ListBox1MouseUp(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/,
                                int /*Y*/) {
  Image2->Picture()->SetGraphic(nullptr);
}

void TDragForm::ListBox1KeyDown(TObject* /*Sender*/, uint16_t& Key, TShiftState Shift) {
  if (Key == VK_SHIFT && Shift == TShiftState{ssShift} && ListBox1->Count() > 0 && !ListBox1->MultiSelect()) {
    const int current = ListBox1->ItemIndex();
    ListBox1->SetMultiSelect(true);
    if (current >= 0) ListBox1->SetSelected(current, true);
  } else if (Key == VK_CONTROL && Shift == TShiftState{ssCtrl}) {
    ListBox1->SetMultiSelect(false);
  }
}

void TDragForm::ListBox1DrawItem(TWinControl* /*Control*/, int Index, const TRect& Rect, TOwnerDrawState State) {
  TCanvas* canvas = ListBox1->Canvas();
  // The drop target on silver; the rest as the list draws them.
  if (Index == FDropTarget && !State.Contains(odSelected)) {
    canvas->Brush().SetColor(TColor(0xC0C0C0));
    canvas->Font().SetColor(clWindowText);
  }
  canvas->FillRect(Rect);
  canvas->Brush().SetStyle(bsClear);
  canvas->TextOut(Rect.Left + 2, Rect.Top, ListBox1->Items()->Strings(Index));
  canvas->Brush().SetStyle(bsSolid);
}

void TDragForm::ListBox1DragOver(TObject* /*Sender*/, TObject* /*Source*/, int X, int Y, TDragState /*State*/,
                                 bool& Accept) {
  const int count = ListBox1->Count();
  if (count == 0) {
    Accept = false;
    return;
  }
  if (!ListBox1->MultiSelect()) {
    const int height = Max(1, ListBox1->ItemHeight());
    const int target = (ListBox1->TopIndex() * height + Y) / height;
    if (target >= count) {
      Accept = false;
    } else {
      Accept = target != ListBox1->ItemIndex();
      if (FDropTarget != -1 && FDropTarget != target) {
        FDropTarget = -1;
        ListBox1->Invalidate();
      }
      if (Accept && target != FDropTarget) {
        FDropTarget = target;
        ListBox1->Invalidate();
      }
    }
  }
  const int under = ListBox1->ItemAtPos(Point(X, Y), true);
  if (under >= 0 && under != FPreviewIndex) {
    FPreviewIndex = under;
    Label1->SetVisible(true);
    Label2->SetVisible(true);
    ShowThumbnail(ListBox1->Items()->Strings(under), Image2);
  }
}

void TDragForm::ListBox1EndDrag(TObject* /*Sender*/, TObject* Target, int X, int Y) {
  if (FDropTarget != -1) {
    FDropTarget = -1;
    ListBox1->Invalidate();
  }
  // The drop target's preview goes however the drag ends: dropped, refused (on the dragged
  // entry's own row), outside the list or given up with Esc.
  Image2->Picture()->SetGraphic(nullptr);
  Label1->SetVisible(false);
  Label2->SetVisible(false);
  if (Target != ListBox1) return;
  TStrings* items = ListBox1->Items();
  const int count = items->Count();
  int target = ListBox1->ItemAtPos(Point(X, Y), false);
  std::vector<int> selected;
  for (int i = 0; i < count; ++i) {
    const bool on = ListBox1->MultiSelect() ? ListBox1->Selected(i) : i == ListBox1->ItemIndex();
    if (on) selected.push_back(i);
  }
  if (selected.empty()) return;
  const int first = selected.front();
  if (first < target) {
    // Downwards: each move takes the block's next entry, which slid into the first place;
    // below the last entry the block goes to the end.
    target = Min(target, count - 1);
    for (size_t n = 0; n < selected.size(); ++n) items->Move(first, target);
  } else {
    // Upwards: the block's entries go one after another to the target.
    if (first == target) --target;
    target = Max(target, 0);
    for (int index : selected) {
      items->Move(index, target);
      ++target;
    }
  }
  setModified(true);
  ListBox1->SetMultiSelect(false);
  const int dropped = ListBox1->ItemAtPos(Point(X, Y), true);
  ListBox1->SetItemIndex(dropped >= 0 ? dropped : count - 1);
  ListBox1->Invalidate();
  ListBox1Click(ListBox1);
}

// ===========================================================================
// Commands
// ===========================================================================
void TDragForm::Delete1Click(TObject* /*Sender*/) {
  if (ListBox1->MultiSelect()) {
    ListBox1->DeleteSelected();
  } else if (const int index = ListBox1->ItemIndex(); index >= 0 && index < ListBox1->Count()) {
    ListBox1->Items()->Delete(index);
  } else {
    return;
  }
  setModified(true);
}

void TDragForm::Duplicate1Click(TObject* /*Sender*/) {
  // Nothing is current in an empty list, or before the user picked an entry.
  const int index = ListBox1->ItemIndex();
  if (index < 0 || index >= ListBox1->Count()) return;
  ListBox1->Items()->Insert(index, ListBox1->Items()->Strings(index));
  setModified(true);
}

void TDragForm::ZqSpeedButton1Click(TObject* /*Sender*/) {
  SortForm->FFromDragList = true;
  if (SortForm->ShowModal() == mrOk) FModified = true;
  setModified(FModified);
}

bool TDragForm::SaveList() {
  // The main window writes the user's changes into the list as it is now: lines of pictures
  // missing now, and lines another program changed meanwhile, stay as they are.
  const std::vector<std::string> entries = ListBox1->Items()->ToVector();
  if (!Form1 || !Form1->EditList(FListFile, FView, entries)) return false;
  FView = entries;
  Form1->ListBox1->Items()->Assign(ListBox1->Items());
  Form1->EmptyAllImages();
  Form1->ResetListbox1();
  Form1->MakePaperclipText();
  return true;
}

void TDragForm::askAndSave() {
  if (TranslatedMessageDialog(_("Save changes to ") + FListFile, mtConfirmation, {mbYes, mbNo}, 0) == mrYes &&
      SaveList())
    setModified(false);
}

void TDragForm::Zq_SaveClick(TObject* /*Sender*/) { askAndSave(); }

void TDragForm::ZqSpeedButton3Click(TObject* /*Sender*/) {
  if (FModified) askAndSave();
  Close();
}
