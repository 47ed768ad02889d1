#include "tools/ZoomFloatUnit.h"

#include "controls/ZqButton.h"
#include "controls/EventScrollbox.h"
#include "core/FormLayout.h"
#include "core/UnitFilterselect.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ScreenGrab.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Math.h"

TUnitZoomFloat* UnitZoomFloat = nullptr;

TUnitZoomFloat::TUnitZoomFloat(TComponent* AOwner) : TForm(AOwner) {
  SetName("UnitZoomFloat");
  SetCaption("Pixel magnifier 200%");
  SetBorderStyle(bsSizeToolWin);
  SetFormStyle(fsStayOnTop);
  SetColor(clMedGray);
  SetAlphaBlendValue(180);
  SetCursor(crHandPoint);
  SetClientWidth(340);  // its title whole, also in Dutch and at 1000%
  SetClientHeight(220);
  // The whole window, its frame included, stays within these sizes.
  Constraints()->SetMinWidth(167);
  Constraints()->SetMinHeight(183);
  Constraints()->SetMaxWidth(450);
  Constraints()->SetMaxHeight(450);
  const char* hint = "Drag to move\nIf this window the active one, you can use the mousewheel to zoom\nDrag corners "
                     "to resize window";
  SetHintText(this, hint);

  Image1 = NewAligned<TImage>(this, this, "Image1", alClient);
  Image1->SetCursor(crHandPoint);
  ColorPanel = NewControl<TPanel>(this, this, "ColorPanel", 0, 0, 340, 17);
  ColorPanel->SetAnchors(TAnchors{akLeft, akTop, akRight});
  ColorPanel->SetBevelOuter(bvNone);
  ColorPanel->SetCaption("");
  Label6 = NewControl<TLabel>(this, ColorPanel, "Label6", "", 0, 1, 338, 15);
  Label6->SetAutoSize(false);
  Label6->SetTransparent(true);
  Label6->SetAlignment(taCenter);

  Panel1 = NewControl<TPanel>(this, this, "Panel1", 70, 10, 200, 196);
  Panel1->SetCaption("");
  SetHintText(Panel1, hint);
  Panel1->SetVisible(false);
  GroupBox1 = NewControl<TGroupBox>(this, Panel1, "GroupBox1", " Zoom factor ", 6, 4, 188, 74);
  Slider = NewControl<TTrackBar>(this, GroupBox1, "Slider", 6, 18, 176, 28);
  Slider->SetMin(2);
  Slider->SetMax(10);
  Slider->SetPosition(2);
  Slider->SetPageSize(1);
  Slider->SetFrequency(1);
  // Each scale stands centred under its mark of the slider (2, 4 .. 10 of 2 .. 10).
  int mark = 0;
  for (const char* scale : {"2 x", "4 x", "6 x", "8 x", "10 x"}) {
    auto* label = NewControl<TLabel>(this, GroupBox1, (std::string("LabelScale") + scale[0] + scale[1]).c_str(),
                                     scale, 0, 50, 36, 15);
    const int centre = Slider->Left() + 12 + mark++ * (Slider->Width() - 24) / 4;
    label->SetLeft(centre - label->Width() / 2);
  }
  ChB_KivoOnly = NewCheckBox(this, Panel1, "ChB_KivoOnly", "Use in Kivo2 only", true, 8, 86, 184);
  cbSrediste = NewCheckBox(this, Panel1, "cbSrediste", "Show RGB", true, 8, 110, 184);
  ZqButton1 = NewControl<TZqButton>(this, Panel1, "ZqButton1", "Close", 50, 150, 100, 25);

  Timer1 = new TTimer(this);
  Timer1->SetName("Timer1");
  Timer1->SetEnabled(false);
  Timer2 = new TTimer(this);
  Timer2->SetName("Timer2");
  Timer2->SetEnabled(false);

  Timer1->OnTimer = [this](TObject* Sender) { Timer1Timer(Sender); };
  Timer2->OnTimer = [this](TObject* Sender) { Timer2Timer(Sender); };
  Slider->OnChange = [this](TObject* Sender) { SliderChange(Sender); };
  ZqButton1->OnClick = [this](TObject* Sender) { ZqButton1Click(Sender); };
  auto down = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    FormMouseDown(Sender, Button, Shift, X, Y);
  };
  auto move = [this](TObject* Sender, TShiftState Shift, int X, int Y) { FormMouseMove(Sender, Shift, X, Y); };
  OnMouseDown = down;
  Panel1->OnMouseDown = down;
  Image1->OnMouseDown = down;
  OnMouseMove = move;
  Image1->OnMouseMove = move;
  OnMouseWheel = [this](TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled) {
    FormMouseWheel(Sender, Shift, WheelDelta, MousePos, Handled);
  };
  SetKeyPreview(true);
  OnKeyDown = [](TObject* Sender, uint16_t& Key, TShiftState Shift) {
    if (Form1) Form1->HistogramShortCut(Sender, Key, Shift);
  };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnResize = [this](TObject* Sender) { FormResize(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TUnitZoomFloat::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TUnitZoomFloat::FormShow(TObject* /*Sender*/) {
  if (!Form1) return;
  Form1->FMagnifierActive = true;
  // It first opens at the top right corner of the picture area, clear of the main
  // window's menu and bars (and of the copy windows, which open at the top left);
  // afterwards where the user left it.
  if (!placed_ && Form1->Visible()) {
    placed_ = true;
    const TPoint origin = Form1->ScrollBox1->ClientToScreen(Point(0, 0));
    SetLeft(origin.X + Form1->ScrollBox1->Width() - Width() - FrameExtra().cx);
    SetTop(origin.Y);
  }
}

void TUnitZoomFloat::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  if (Form1) Form1->FMagnifierActive = false;
  for (TTimer* timer : {Timer1, Timer2}) {
    timer->SetEnabled(false);
    timer->SetInterval(0);
  }
}

void TUnitZoomFloat::FormResize(TObject* /*Sender*/) {
  Panel1->SetLeft((ClientWidth() - Panel1->Width()) / 2);
  Panel1->SetTop((ClientHeight() - Panel1->Height()) / 2);
  Image1->Picture()->SetGraphic(nullptr);
}

TRect TUnitZoomFloat::SourceRect(const TPoint& Pointer) const {
  const int zoom = Max(1, Slider->Position());
  const int dx = int(Round(double(Image1->Width()) / (2 * zoom)));
  const int dy = int(Round(double(Image1->Height()) / (2 * zoom)));
  TRect r = Rect(Pointer.X - dx, Pointer.Y - dy, Pointer.X + dx, Pointer.Y + dy);
  // Kept on the screen: shifted right or down, or left or up.
  if (r.Left < 0) r = Rect(0, r.Top, r.Right - r.Left, r.Bottom);
  if (r.Top < 0) r = Rect(r.Left, 0, r.Right, r.Bottom - r.Top);
  if (r.Right > Screen->Width()) r = Rect(r.Left - (r.Right - Screen->Width()), r.Top, Screen->Width(), r.Bottom);
  if (r.Bottom > Screen->Height())
    r = Rect(r.Left, r.Top - (r.Bottom - Screen->Height()), r.Right, Screen->Height());
  return r;
}

void TUnitZoomFloat::CaptureAt(const TPoint& Pointer) {
  if (Form1 && Form1->WindowState() == wsMinimized) return;
  const TRect own = BoundsRect();
  if (Pointer.X >= own.Left && Pointer.X < own.Right && Pointer.Y >= own.Top && Pointer.Y < own.Bottom) {
    // Over the magnifier itself: its settings, translucent.
    SetAlphaBlend(true);
    Panel1->SetVisible(true);
    Image1->SetVisible(false);
    ColorPanel->SetVisible(false);
    return;
  }
  SetAlphaBlend(false);
  Panel1->SetVisible(false);
  Image1->SetVisible(true);
  const int width = Image1->Width(), height = Image1->Height();
  if (width <= 0 || height <= 0) return;
  TBitmap area;
  CopyScreenRect(SourceRect(Pointer), area);
  TBitmap enlarged;
  enlarged.SetPixelFormat(pf24bit);
  enlarged.SetSize(width, height);
  TCanvas& canvas = enlarged.Canvas();
  canvas.StretchDraw(Rect(0, 0, width, height), area);

  const int cx = width / 2, cy = height / 2;
  const TColor sampled = enlarged.PixelColor(cx, Min(cy + 2, height - 1));
  ColorPanel->SetColor(sampled);
  Label6->SetCaption("R " + IntToStr(GetRValue(sampled)) + " G " + IntToStr(GetGValue(sampled)) + " B " +
                     IntToStr(GetBValue(sampled)));
  Label6->SetBounds(0, 1, ColorPanel->Width() - 2, ColorPanel->Height() - 2);
  if (cbSrediste->Checked()) {
    const int half = Max(Slider->Position() / 2, 3);
    canvas.Pen().SetStyle(psSolid);
    canvas.Pen().SetWidth(1);
    canvas.Pen().SetColor(clBlack);
    canvas.Pen().SetMode(pmNotXor);
    canvas.Brush().SetStyle(bsClear);
    canvas.MoveTo(cx, cy - 40);
    canvas.LineTo(cx, cy - half);
    canvas.MoveTo(cx, cy + half);
    canvas.LineTo(cx, cy + 40);
    canvas.MoveTo(cx - 40, cy);
    canvas.LineTo(cx - half, cy);
    canvas.MoveTo(cx + half, cy);
    canvas.LineTo(cx + 40, cy);
    canvas.Rectangle(cx - half, cy - half, cx + half, cy + half);
    canvas.Pen().SetMode(pmCopy);
    canvas.Pen().SetStyle(psClear);
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(sampled);
    canvas.Rectangle(cx - half, cy - half, cx + half, cy + half);
  }
  Image1->Picture()->SetGraphic(&enlarged);
  ColorPanel->SetVisible(cbSrediste->Checked());
  if (ColorPanel->Visible()) ColorPanel->BringToFront();
}

void TUnitZoomFloat::Timer1Timer(TObject* /*Sender*/) {
  CaptureAt(Mouse->CursorPos());
  Application->ProcessMessages();
}

void TUnitZoomFloat::Timer2Timer(TObject* /*Sender*/) {
  if (ChB_KivoOnly->Checked() && !Application->Active()) return;
  if (Form1 && Form1->FMagnifierActive && Visible()) RaiseWithoutActivating();
}

void TUnitZoomFloat::SliderChange(TObject* /*Sender*/) {
  SetCaption(_("Pixel magnifier") + " " + IntToStr(Slider->Position()) + "00%");
}

void TUnitZoomFloat::FormMouseWheel(TObject* /*Sender*/, TShiftState /*Shift*/, int WheelDelta, TPoint /*MousePos*/,
                                    bool& Handled) {
  Handled = true;
  if (WheelDelta > 0 && Slider->Position() < 10)
    Slider->SetPosition(Slider->Position() + 1);
  else if (WheelDelta < 0 && Slider->Position() > 2)
    Slider->SetPosition(Slider->Position() - 1);
}

void TUnitZoomFloat::FormMouseDown(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/, int /*X*/,
                                   int /*Y*/) {
  DragPaletteWindow(this, Button);
}

void TUnitZoomFloat::FormMouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  if (ChB_KivoOnly->Checked() && !Application->Active()) return;
  if (!Focused()) SetFocus();
}

void TUnitZoomFloat::ZqButton1Click(TObject* /*Sender*/) { Close(); }
