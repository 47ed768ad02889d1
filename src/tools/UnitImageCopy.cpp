#include "tools/UnitImageCopy.h"

#include "controls/QzFileExplorer28.h"
#include "core/FormLayout.h"
#include "core/UnitFilterselect.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ImgList.h"
#include "tools/ToolGlyphs.h"
#include "tools/ZoomFloatUnit.h"

TImageCopyForm* ImageCopyForm = nullptr;

namespace {

// The tiling commands: halves, thirds (columns or rows) and quarters of the work area.
enum TTile {
  tLeft2, tRight2, tLeft3, tMiddle3, tRight3, tTopLeft, tBottomLeft, tTopRight, tBottomRight, tTop3, tMiddleRow3,
  tBottom3
};

// The window's place for a tiling command in an area of sw x sh pixels.
TRect TileBounds(TTile tile, int sw, int sh) {
  switch (tile) {
    case tLeft2: return Bounds(0, 0, sw / 2, sh);
    case tRight2: return Bounds(sw / 2, 0, sw / 2, sh);
    case tLeft3: return Bounds(0, 0, sw / 3, sh);
    case tMiddle3: return Bounds(sw / 3, 0, sw / 3, sh);
    case tRight3: return Bounds(2 * (sw / 3), 0, sw / 3, sh);
    case tTopLeft: return Bounds(0, 0, sw / 2, sh / 2);
    case tBottomLeft: return Bounds(0, sh / 2, sw / 2, sh / 2);
    case tTopRight: return Bounds(sw / 2, 0, sw / 2, sh / 2);
    case tBottomRight: return Bounds(sw / 2, sh / 2, sw / 2, sh / 2);
    case tTop3: return Bounds(0, 0, sw, sh / 3);
    case tMiddleRow3: return Bounds(0, sh / 3, sw, sh / 3);
    case tBottom3: return Bounds(0, 2 * (sh / 3), sw, sh / 3);
  }
  return Bounds(0, 0, sw, sh);
}

}  // namespace

TImageCopyForm::TImageCopyForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("ImageCopyForm");
  SetCaption("Copy window");
  SetFormStyle(fsStayOnTop);
  SetKeyPreview(true);
  SetClientWidth(480);
  SetClientHeight(360);

  ImageList1 = new TImageList(this);
  ImageList1->SetName("ImageList1");
  AddCopyWindowGlyphs(*ImageList1);
  AlignToolBar = NewAligned<TToolBar>(this, this, "AlignToolBar", alTop, 26);
  AlignToolBar->SetImages(ImageList1);
  auto tool = [&](const char* name, int glyph, const char* hint) {
    auto* b = new TToolButton(this);
    b->SetName(name);
    b->SetParent(AlignToolBar);
    b->SetImageIndex(glyph);
    if (hint) SetHintText(b, hint);
    return b;
  };
  auto separator = [&] {
    auto* b = new TToolButton(this);
    b->SetParent(AlignToolBar);
    b->SetStyle(tbsSeparator);
  };
  const char* align = "Resize and align";
  ToolButton3 = tool("ToolButton3", cgFullView, "Toggle full size (f9)");
  separator();
  ToolButton1 = tool("ToolButton1", cgLeftOf2, align);
  ToolButton2 = tool("ToolButton2", cgRightOf2, align);
  separator();
  ToolButton4 = tool("ToolButton4", cgLeftOf3, align);
  ToolButton5 = tool("ToolButton5", cgMiddleOf3, align);
  ToolButton6 = tool("ToolButton6", cgRightOf3, align);
  separator();
  ToolButton7 = tool("ToolButton7", cgTopLeft, align);
  ToolButton9 = tool("ToolButton9", cgTopRight, align);
  ToolButton10 = tool("ToolButton10", cgBottomLeft, align);
  ToolButton11 = tool("ToolButton11", cgBottomRight, align);
  separator();
  ToolButton18 = tool("ToolButton18", cgTopRow, align);
  ToolButton19 = tool("ToolButton19", cgMiddleRow, align);
  ToolButton20 = tool("ToolButton20", cgBottomRow, align);
  separator();
  ToolButton26 = tool("ToolButton26", cgMagnifier, "Toggle Pixel magnifier");
  ToolButton22 = tool("ToolButton22", cgRealSize, "Load original image");
  ToolButton24 = tool("ToolButton24", cgDelete, "Delete Image");
  ToolButton24->SetCaption("DeleteImage");
  ToolButton13 = tool("ToolButton13", cgFolder, "goto image folder");
  separator();
  ToolButton15 = tool("ToolButton15", cgClose, "close window");

  ScrollBox1 = NewAligned<TScrollBox>(this, this, "ScrollBox1", alClient);
  Image1 = NewControl<TImage>(this, ScrollBox1, "Image1", 0, 0, 105, 105);
  Image1->SetAutoSize(true);
  Image1->SetCursor(crHandPoint);
  Label1 = NewControl<TLabel>(this, ScrollBox1, "Label1", "", 8, 8, 4, 15);
  Label1->SetTransparent(true);
  SetHintText(Label1, "Click to swap background");

  PopupMenu1 = new TPopupMenu(this);
  PopupMenu1->SetName("PopupMenu1");
  TMenuItem* root = PopupMenu1->Items();
  Alignwindow1 = NewMenuItem(this, root, "Alignwindow1", "Align window");
  auto tileItem = [&](const char* name, const char* caption, TTile tile) {
    TMenuItem* item = NewMenuItem(this, Alignwindow1, name, caption);
    item->SetTag(tile);
    item->OnClick = [this](TObject* Sender) { AlignClick(Sender); };
    return item;
  };
  auto line = [&](TMenuItem* parent) { parent->Add(NewLine()); };
  left2inscreen1 = tileItem("left2inscreen1", "Align left (2 windows)", tLeft2);
  Rightfor2onscreen1 = tileItem("Rightfor2onscreen1", "Align right (2 windows)", tRight2);
  line(Alignwindow1);
  Leftfor3onscreen1 = tileItem("Leftfor3onscreen1", "Align left (3 windows)", tLeft3);
  Middlefor3onscreen1 = tileItem("Middlefor3onscreen1", "Align middle (3 windows)", tMiddle3);
  Rightfor3onscreen1 = tileItem("Rightfor3onscreen1", "Align right (3 windows)", tRight3);
  line(Alignwindow1);
  TopLeft4 = tileItem("TopLeft4", "Allign Top Left (4 windows)", tTopLeft);
  BottomLeft4 = tileItem("BottomLeft4", "Allign Bottom Left (4 windows)", tBottomLeft);
  TopRight4 = tileItem("TopRight4", "Allign Top Right (4 windows)", tTopRight);
  Bottomright4 = tileItem("Bottomright4", "Allign Bottom right (4 Windows)", tBottomRight);
  line(Alignwindow1);
  Alligntop1 = tileItem("Alligntop1", "Allign top (3 windows)", tTop3);
  Alignmiddle1 = tileItem("Alignmiddle1", "Align middle (3 windows)", tMiddleRow3);
  Alignbottom1 = tileItem("Alignbottom1", "Align bottom (3 windows)", tBottom3);
  ogglefullview1 = NewMenuItem(this, root, "ogglefullview1", "Toggle full view");
  ogglefullview1->SetShortCut(ShortCut(VK_F9, TShiftState()));
  Showtoolbar = NewMenuItem(this, root, "Showtoolbar", "Show tool bar");
  Showtoolbar->SetAutoCheck(true);
  Showtoolbar->SetChecked(true);
  ogglePixelmagnifier1 = NewMenuItem(this, root, "ogglePixelmagnifier1", "Toggle Pixel magnifier");
  Realsize1 = NewMenuItem(this, root, "Realsize1", "Real size");
  DeleteImage1 = NewMenuItem(this, root, "DeleteImage1", "Delete Image");
  Openpath1 = NewMenuItem(this, root, "Openpath1", "Goto image folder and show file");
  Closewindow1 = NewMenuItem(this, root, "Closewindow1", "Close window");
  ScrollBox1->SetPopupMenu(PopupMenu1);
  Image1->SetPopupMenu(PopupMenu1);
  Label1->SetPopupMenu(PopupMenu1);

  const std::pair<TToolButton*, TTile> tiles[] = {
      {ToolButton1, tLeft2},     {ToolButton2, tRight2},     {ToolButton4, tLeft3},     {ToolButton5, tMiddle3},
      {ToolButton6, tRight3},    {ToolButton7, tTopLeft},    {ToolButton9, tTopRight},  {ToolButton10, tBottomLeft},
      {ToolButton11, tBottomRight}, {ToolButton18, tTop3}, {ToolButton19, tMiddleRow3}, {ToolButton20, tBottom3}};
  for (auto [button, tile] : tiles) {
    button->SetTag(tile);
    button->OnClick = [this](TObject* Sender) { AlignClick(Sender); };
  }
  ToolButton3->OnClick = [this](TObject* Sender) { ToolButton3Click(Sender); };
  ogglefullview1->OnClick = [this](TObject* Sender) { ToolButton3Click(Sender); };
  ToolButton22->OnClick = [this](TObject* Sender) { ToolButton22Click(Sender); };
  Realsize1->OnClick = [this](TObject* Sender) { ToolButton22Click(Sender); };
  ToolButton24->OnClick = [this](TObject* Sender) { ToolButton24Click(Sender); };
  DeleteImage1->OnClick = [this](TObject* Sender) { ToolButton24Click(Sender); };
  ToolButton13->OnClick = [this](TObject* Sender) { Openpath1Click(Sender); };
  Openpath1->OnClick = [this](TObject* Sender) { Openpath1Click(Sender); };
  ToolButton26->OnClick = [this](TObject* Sender) { MagnifierClick(Sender); };
  ogglePixelmagnifier1->OnClick = [this](TObject* Sender) { MagnifierClick(Sender); };
  ToolButton15->OnClick = [this](TObject*) { Close(); };
  Closewindow1->OnClick = [this](TObject*) { Close(); };
  Showtoolbar->OnClick = [this](TObject* Sender) { ShowtoolbarClick(Sender); };
  PopupMenu1->OnPopup = [this](TObject* Sender) { PopupMenu1Popup(Sender); };
  Label1->OnClick = [this](TObject* Sender) { Label1Click(Sender); };
  Image1->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    Image1MouseDown(Sender, Button, Shift, X, Y);
  };
  Image1->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    Image1MouseMove(Sender, Shift, X, Y);
  };
  Image1->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    Image1MouseUp(Sender, Button, Shift, X, Y);
  };
  OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { FormKeyDown(Sender, Key, Shift); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TImageCopyForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TImageCopyForm::FormShow(TObject* /*Sender*/) {
  // However small the picture, the window is as wide as its tool bar: every button, the
  // last one ("close window") too, and the title have room.
  const int bar = AlignToolBar->RowWidth() + AlignToolBar->Width() - AlignToolBar->ClientWidth();
  if (ClientWidth() < bar) SetClientWidth(bar);
}

void TImageCopyForm::FormClose(TObject* /*Sender*/, TCloseAction& Action) {
  if (FFreeOnClose) Action = caFree;
}

void TImageCopyForm::AlignClick(TObject* Sender) {
  auto* component = dynamic_cast<TComponent*>(Sender);
  if (!component) return;
  // The tiles share the work area (the screen without the desktop's panels), each window
  // with its frame inside its tile, so that no part of it lies off the screen.
  const TRect area = Screen->WorkAreaRect();
  const TRect r = TileBounds(TTile(component->Tag()), area.Width(), area.Height());
  SetFrameBounds(Bounds(area.Left + r.Left, area.Top + r.Top, r.Width(), r.Height()));
}

void TImageCopyForm::Image1MouseDown(TObject* /*Sender*/, TMouseButton Button, TShiftState Shift, int X, int Y) {
  TShiftState keys = Shift;
  keys.Exclude(ssLeft);
  keys.Exclude(ssRight);
  keys.Exclude(ssMiddle);
  keys.Exclude(ssDouble);
  if (Button == mbLeft && keys == TShiftState{ssCtrl}) {
    // Ctrl and the left button move the window itself.
    DragPaletteWindow(this, Button);
    return;
  }
  FDragStartX = X;
  FDragStartY = Y;
  FDragging = true;
  Label1->SetVisible(false);
}

void TImageCopyForm::Image1MouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int X, int Y) {
  if (Form1 && Form1->FMagnifierActive && UnitZoomFloat) UnitZoomFloat->Timer2->SetEnabled(true);
  if (!FDragging) return;
  // The picture's own coordinates: it scrolls along, so the start point stays valid.
  if (const int dy = FDragStartY - Y) ScrollBox1->VertScrollBar()->SetPosition(ScrollBox1->VertScrollBar()->Position() + dy);
  if (const int dx = FDragStartX - X) ScrollBox1->HorzScrollBar()->SetPosition(ScrollBox1->HorzScrollBar()->Position() + dx);
}

void TImageCopyForm::Image1MouseUp(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/,
                                   int /*Y*/) {
  FDragging = false;
  Label1->SetLeft(8);
  Label1->SetTop(8);
  Label1->SetVisible(true);
}

void TImageCopyForm::ToolButton3Click(TObject* /*Sender*/) {
  if (BorderStyle() == bsSizeable) {
    AlignToolBar->SetVisible(false);
    SetBorderStyle(bsNone);
  } else {
    AlignToolBar->SetVisible(Showtoolbar->Checked());
    SetBorderStyle(bsSizeable);
  }
}

void TImageCopyForm::FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState /*Shift*/) {
  if (Key == VK_F9) {
    ToolButton3Click(Sender);
    Key = 0;
  } else if (Key == VK_ESCAPE) {
    Key = 0;
    Close();
  }
}

void TImageCopyForm::PopupMenu1Popup(TObject* /*Sender*/) {
  if (Form1 && Form1->FMagnifierActive && UnitZoomFloat) {
    UnitZoomFloat->Timer2->SetEnabled(false);
    Application->ProcessMessages();
    SetFocus();
  }
  Showtoolbar->SetEnabled(BorderStyle() != bsNone);
}

void TImageCopyForm::ShowtoolbarClick(TObject* /*Sender*/) {
  if (Form1) Form1->FAlignMenu = Showtoolbar->Checked();
  AlignToolBar->SetVisible(Showtoolbar->Checked());
}

void TImageCopyForm::ToolButton22Click(TObject* /*Sender*/) {
  Image1->Picture()->SetGraphic(nullptr);
  try {
    Image1->Picture()->LoadFromFile(Caption());
  } catch (const Exception& e) {
    ShowMessage(e.Message());
    return;
  }
  ToolButton22->SetEnabled(false);
  Realsize1->SetEnabled(false);
}

void TImageCopyForm::ToolButton24Click(TObject* /*Sender*/) {
  if (Form1 && Form1->DeleteOneImage(Caption())) Close();
}

void TImageCopyForm::Openpath1Click(TObject* /*Sender*/) {
  if (!Form1) return;
  const std::string path = Caption();
  const std::string folder = ExtractFilePath(path), name = ExtractFileName(path);
  Form1->RestoreToNormalNavigation();
  Form1->QzDirTree211->OpenPath(folder);
  TStrings* items = Form1->ListBox1->Items();
  for (int i = 0; i < items->Count(); ++i) {
    if (items->Strings(i) != name) continue;
    Form1->ListBox1->SetItemIndex(i);
    Form1->OpenThePicture(name);
    return;
  }
}

void TImageCopyForm::Label1Click(TObject* /*Sender*/) { Label1->SetTransparent(!Label1->Transparent()); }

void TImageCopyForm::MagnifierClick(TObject* Sender) {
  if (Form1) Form1->Zoom1Click(Sender);
}
