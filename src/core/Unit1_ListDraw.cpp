// The file list and the favorites list drawn in the program's colours, the entry under
// the mouse in blue with the thumbnail preview beside the list, the mouse on the list
// and on the thumbnails (right-click selection, Ctrl and Shift selection), double clicks,
// the list's popup menu and the way back from a search list or the paperclip view.
#include <algorithm>

#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitThumbSpy.h"

namespace {

struct TListColors {
  TColor Font;
  TColor Background;
};

// By colour mode (0 grey lists, 1 window colours) and state: normal, selected, focused,
// selected and focused. A selected entry of a grey list is a darker grey: the menu colour is
// the grey of the list itself in the classic colours, which would hide a multiple selection.
const TListColors kListColors[2][4] = {
    {{TColor(0x00000000), clBtnFace}, {TColor(0x00000000), TColor(0x00B0B0B0)},
     {TColor(0x00FFFFFF), TColor(0x00808080)}, {TColor(0x00FFFFFF), clHighlight}},
    {{clWindowText, clWindow}, {clWindowText, clBtnFace}, {clWindow, clBtnShadow}, {clWindow, clHighlight}},
};

constexpr TColor kMouseOverColor = TColor(0x00FF0000);

// The number of entries selected (a single-select list: its current entry).
int SelectedCount(TListBox* list) {
  if (!list->MultiSelect()) return list->ItemIndex() >= 0 && list->ItemIndex() < list->Count() ? 1 : 0;
  return list->SelCount();
}

// A full path too wide for its row shows its end, the folder's or file's own name, after
// an ellipsis (the list shows the whole path as the row's tooltip).
std::string PathEnd(TCanvas& canvas, const std::string& path, int width) {
  if (!IsFullPath(path) || canvas.TextWidth(path) <= width) return path;
  const std::string ellipsis = "\u2026";
  std::vector<size_t> starts;  // where each character begins
  for (size_t i = 1; i < path.size(); ++i)
    if ((uint8_t(path[i]) & 0xC0) != 0x80) starts.push_back(i);
  // The longest end that fits: the fewest characters dropped.
  size_t low = 0, high = starts.size();
  while (low < high) {
    const size_t mid = (low + high) / 2;
    if (canvas.TextWidth(ellipsis + path.substr(starts[mid])) <= width) high = mid;
    else low = mid + 1;
  }
  return ellipsis + (low < starts.size() ? path.substr(starts[low]) : std::string());
}

}  // namespace

std::string TForm1::ListEntryPath(int Index) const {
  if (Index < 0 || Index >= ListBox1->Count()) return std::string();
  const std::string entry = ListBox1->Items()->Strings(Index);
  return IsFullPath(entry) ? entry : FLastPath + entry;
}

// ===========================================================================
// Drawing
// ===========================================================================
void TForm1::ListBox1DrawItem(TWinControl* Control, int Index, const TRect& Rect, TOwnerDrawState State) {
  auto* list = dynamic_cast<TListBox*>(Control);
  if (!list || Index < 0 || Index >= list->Count()) return;
  const int mode = FListColorMode == 0 ? 0 : 1;
  const int state = (State.Contains(odFocused) ? 2 : 0) + (State.Contains(odSelected) ? 1 : 0);
  TListColors colors = kListColors[mode][state];
  // The entry under the mouse is written in blue.
  if (list == ListBox1 && Index == MouseOverItem && !State.Contains(odSelected)) colors.Font = kMouseOverColor;
  const std::string text = list->Items()->Strings(Index);
  // A favorite whose folder is not there now is written grey.
  if (list == ListBox2 && !State.Contains(odSelected) && !DirectoryExists(text)) colors.Font = clGrayText;
  TCanvas* canvas = list->Canvas();
  canvas->Brush().SetStyle(bsSolid);
  canvas->Brush().SetColor(colors.Background);
  canvas->FillRect(Rect);
  canvas->Font().SetColor(colors.Font);
  canvas->Brush().SetStyle(bsClear);
  canvas->TextRect(Rect, Rect.Left + 2, Rect.Top, PathEnd(*canvas, text, Rect.Right - Rect.Left - 4));
}

void TForm1::ShowMouseOverListboxRect(int /*X*/, int Y) {
  if (ListBox1->MultiSelect() || ListBox1->Count() == 0) return;
  const int height = std::max(ListBox1->ItemHeight(), 1);
  const int entry = (Y + ListBox1->TopIndex() * height) / height;
  if (Y < 0 || entry < 0 || entry >= ListBox1->Count() || entry == ListBox1->ItemIndex()) return;
  if (MouseOverItem == entry) return;
  MouseOverItem = entry;
  ListBox1->Invalidate();
}

// ===========================================================================
// The preview beside the list
// ===========================================================================
void TForm1::ListBox1MouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int X, int Y) {
  if (QzDirTree211->IsEditing() || !Application->Active()) return;
  if (M_ThumbsSpy->Checked() && ListBox1->CanFocus() && !ListBox1->Focused()) ListBox1->SetFocus();
  if (!M_ThumbsSpy->Checked() || Timer1->Enabled()) return;
  ShowMouseOverListboxRect(X, Y);
  const int entry = ListBox1->ItemAtPos(Point(X, Y), true);
  if (entry < 0 || entry == lastSpyIndex_) return;
  Application->CancelHint();
  lastSpyIndex_ = entry;
  if (!FormThumbSpy) return;
  const TRect item = ListBox1->ItemRect(entry);
  const TPoint place = ListBox1->ClientToScreen(Point(item.Left + ListBox1->Width() + 5, item.Top));
  FormThumbSpy->SetLeft(place.X);
  FormThumbSpy->SetTop(place.Y);
  FormThumbSpy->Label1->SetCaption(std::string());
  FormThumbSpy->Label2->SetCaption(std::string());
  FormThumbSpy->Label1->SetWidth(0);

  const std::string path = ListEntryPath(entry);
  if (!IsImageFile(path) || IsAssociatedFile(path)) {
    if (FormThumbSpy->Visible()) FormThumbSpy->Close();
    return;
  }
  const bool shown = LoadThumbnail(path, FormThumbSpy->SpyImage, false);
  if (!shown) {
    if (FormThumbSpy->Visible()) FormThumbSpy->Close();
    return;
  }
  if (M_ShowExifinspy->Checked()) {
    const std::string summary = ExifOverlayText(path);
    FormThumbSpy->Label1->SetCaption(summary);
    FormThumbSpy->Label2->SetCaption(summary);
    FormThumbSpy->Label1->SetWidth(FormThumbSpy->Label1->Canvas()->TextWidth(summary));
  }
  FormThumbSpy->ShowNoActivate();
}

// ===========================================================================
// The mouse on the list and on the thumbnails
// ===========================================================================
void TForm1::ListBox1MouseDown(TObject* Sender, TMouseButton Button, TShiftState /*Shift*/, int X, int Y) {
  if (Sender == ListBox1 && Rightclickselect->Checked() && Button == mbRight) {
    const int entry = ListBox1->ItemAtPos(Point(X, Y), true);
    if (entry >= 0) {
      ListboxMultiSelectOff();
      ListBox1->SetItemIndex(entry);
      ListBox1Click(this);
    }
    return;
  }
  if (ChB_CloseOnClick->Checked() && PanelFavorites->Visible()) {
    ZqFavoriteslist->SetDown(false);
    ZqFavoriteslistClick(this);
  }
  if (MouseOverItem != -1) {
    MouseOverItem = -1;
    ListBox1->Invalidate();
  }
}

void TForm1::PanelThumbHolderMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int /*X*/,
                                       int /*Y*/) {
  auto* control = dynamic_cast<TControl*>(Sender);
  if (!control) return;
  const int entry = int(control->Tag());
  // A thumbnail of an entry the list no longer has does nothing.
  if (entry < 0 || entry >= ListBox1->Count()) return;
  if (Button == mbRight && !Rightclickselect->Checked()) return;
  if (ChB_CloseOnClick->Checked() && PanelFavorites->Visible()) {
    ZqFavoriteslist->SetDown(false);
    ZqFavoriteslistClick(this);
  }
  TShiftState keys = Shift;
  for (TShiftStateItem button : {ssLeft, ssRight, ssMiddle, ssDouble}) keys.Exclude(button);
  const bool shiftClick = Button == mbLeft && keys == TShiftState{ssShift};
  const bool ctrlClick = Button == mbLeft && keys == TShiftState{ssCtrl};
  int rangeStart = -1;
  if (shiftClick || ctrlClick) {
    ListboxMultiSelectOn();
    if (shiftClick) rangeStart = ListBox1->ItemIndex();
  } else {
    ListboxMultiSelectOff();
  }
  const bool wasSelected = ListBox1->Selected(entry);
  ListBox1->SetItemIndex(entry);
  if (ListBox1->MultiSelect()) ListBox1->SetSelected(entry, true);
  BlueThumb();
  // The picture is opened; the thumbnails may be rebuilt meanwhile, so the pressed
  // control is not used after this.
  OpenThePicture(ListBox1->Items()->Strings(entry));
  if (entry >= ListBox1->Count()) return;
  if (ctrlClick) ListBox1->SetSelected(entry, !wasSelected);
  if (rangeStart >= 0 && rangeStart < ListBox1->Count()) {
    const int low = std::min(rangeStart, entry), high = std::max(rangeStart, entry);
    for (int i = 0; i < ListBox1->Count(); ++i) ListBox1->SetSelected(i, i >= low && i <= high);
  }
  ResetThumbColor();
}

void TForm1::ListBox1DblClick(TObject* /*Sender*/) {
  const std::string path = ListEntryPath(ListBox1->ItemIndex());
  if (!path.empty()) OpenWithShell(path);
}

void TForm1::Image1DblClick(TObject* /*Sender*/) {
  if (!FCurrentFile.empty() && IsAssociatedFile(FCurrentFile)) OpenWithShell(FCurrentFile);
}

// ===========================================================================
// The list popup and the way back to the folder's list
// ===========================================================================
// The menu offers commands on the selected entries: with none selected it does not come up
// (a paste into an empty folder is the folder tree's menu's).
void TForm1::PopupListboxPopup(TObject* /*Sender*/) {
  if (SelectedCount(ListBox1) == 0) {
    PopupListbox->CancelPopup();
    return;
  }
  ThumbsSpy->SetChecked(M_ThumbsSpy->Checked());
  if (FormThumbSpy && FormThumbSpy->Visible()) FormThumbSpy->Close();
  std::string info, program;
  const int index = ListBox1->ItemIndex() >= 0 ? ListBox1->ItemIndex() : 0;
  GetAssociationInfo(ExtractFileExt(ListEntryPath(index)), info, program);
  P_StartProg->SetCaption(_("Open with associated program: ") + program);
  const bool paperclipView = TreeView1->Visible();
  Removefromshow->SetVisible(paperclipView);
  AddToPaperclip->SetVisible(!paperclipView);
  Renamefile1->SetEnabled(!paperclipView && SelectedCount(ListBox1) == 1);
  BatchReplace->SetEnabled(!paperclipView);
  PasteMovefiles1->SetEnabled(FFileAction == 20 || FFileAction == 40);
  P_Closelistgoto->SetEnabled(PanelCustomLists->Visible() || paperclipView);
}

void TForm1::RestoreToNormalNavigation() {
  if (PanelCustomLists->Visible()) {
    PanelTrees->SetVisible(true);
    Splitter2->SetVisible(true);
    M_Addfilestopapercli1->SetEnabled(true);
    ListBox1->Clear();
    FLastPath.clear();
    QzDirTree211DirChange(this, QzDirTree211->SelectedPath());
  }
  if (TreeView1->Visible()) {
    Zq_CustomShow->SetDown(false);
    M_OpenShowClick(this);
    ListBox1->Clear();
    FLastPath.clear();
    QzDirTree211DirChange(this, QzDirTree211->SelectedPath());
  }
  ZqFolderUp->SetEnabled(true);
  ZqFolderDown->SetEnabled(true);
}

void TForm1::Zq_CloseListClick(TObject* /*Sender*/) {
  RestoreToNormalNavigation();
  if (M_Filelistbar->Checked()) PanelListOptions->SetVisible(true);
}

void TForm1::P_CloselistgotoClick(TObject* /*Sender*/) {
  const std::string path = ListEntryPath(ListBox1->ItemIndex());
  if (path.empty()) return;
  const std::string folder = ExtractFilePath(path);
  RestoreToNormalNavigation();
  QzDirTree211->OpenPath(folder);
}

void TForm1::ThumbsSpyClick(TObject* /*Sender*/) { M_ThumbsSpy->SetChecked(ThumbsSpy->Checked()); }
