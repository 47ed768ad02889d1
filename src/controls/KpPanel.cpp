#include "controls/KpPanel.h"

#include "platform/gui/WinCalls.h"

namespace {

// A raised line over the box (x1, y1) - (x2, y2).
void RaisedLine(TCanvas& c, int x1, int y1, int x2, int y2) {
  c.Pen().SetColor(clBtnHighlight);
  c.MoveTo(x2, y1);
  c.LineTo(x1, y1);
  c.LineTo(x1, y2);
  c.Pen().SetColor(clBtnShadow);
  c.LineTo(x2, y2);
  c.LineTo(x2, y1 - 1);
}

// Zones of a press, 15 pixels deep whatever the grabber size.
constexpr int kZone = 15;

}  // namespace

TKpFramePanel::TKpFramePanel(TComponent* AOwner) : TPanel(AOwner) { SetBevelOuter(bvNone); }

void TKpFramePanel::SetGrabberSize(int v) {
  if (v == grabberSize_) return;
  grabberSize_ = v;
  Invalidate();
}

void TKpFramePanel::SetGrabberPlace(TKpGrabberPlace v) {
  if (v == grabberPlace_) return;
  grabberPlace_ = v;
  Realign();
  Invalidate();
}

void TKpFramePanel::SetIcon(TIcon* icon) {
  if (icon)
    icon_->Assign(icon);
  else
    icon_ = std::make_unique<TIcon>();
  Invalidate();
}

void TKpFramePanel::SetCtl3D(bool v) {
  if (v == ctl3D_) return;
  ctl3D_ = v;
  Realign();
  Invalidate();
}

TRect TKpFramePanel::AlignClientRect() const {
  TRect r = TPanel::AlignClientRect();
  if (horizontal())
    r.Top += 10;
  else
    r.Left += 10;
  const int inset = ctl3D_ ? 2 : 1;
  r.Left += inset;
  r.Top += inset;
  r.Right -= inset;
  r.Bottom -= inset;
  return r;
}

void TKpFramePanel::Paint() {
  TPanel::Paint();
  TCanvas& c = *Canvas();
  TRect r = ClientRect();
  const int g = grabberSize_;
  if (horizontal()) {
    if (!icon_->Empty()) {
      c.StretchDraw(Bounds(0, 0, g, g), *icon_);
      r.Left += g + 1;
    }
    DrawCaptionCloseBox(c, Bounds(r.Right - g + 1, r.Top + 1, g - 2, g - 2));
    RaisedLine(c, r.Left + 2, r.Top + 3, r.Right - g - 2, r.Top + 5);
    RaisedLine(c, r.Left + 2, r.Top + 6, r.Right - g - 2, r.Top + 8);
  } else {
    if (!icon_->Empty()) {
      r.Bottom -= g + 2;
      c.StretchDraw(Bounds(0, r.Bottom + 1, g, g), *icon_);
    }
    DrawCaptionCloseBox(c, Bounds(r.Left + 1, r.Top + 1, g - 2, g - 2));
    RaisedLine(c, r.Left + 3, r.Top + g + 1, r.Left + 5, r.Bottom - 2);
    RaisedLine(c, r.Left + 6, r.Top + g + 1, r.Left + 8, r.Bottom - 2);
  }
}

void TKpFramePanel::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TPanel::MouseDown(Button, Shift, X, Y);
  closeDown_ = grabDown_ = false;
  if (Button != mbLeft) return;
  if (horizontal()) {
    closeDown_ = X > Width() - kZone;
    grabDown_ = Y < kZone;
  } else {
    closeDown_ = Y < kZone;
    grabDown_ = X < kZone;
  }
  if (grabDown_ && !closeDown_) {
    if (OnCaptionClick) OnCaptionClick(this);
    if (moveable_) {
      dragging_ = true;
      dragStart_ = Point(X, Y);
      SetMouseCapture(true);
    }
  }
}

void TKpFramePanel::MouseMove(TShiftState Shift, int X, int Y) {
  TPanel::MouseMove(Shift, X, Y);
  if (dragging_) SetBounds(Left() + X - dragStart_.X, Top() + Y - dragStart_.Y, Width(), Height());
}

void TKpFramePanel::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TPanel::MouseUp(Button, Shift, X, Y);
  if (dragging_) {
    dragging_ = false;
    SetMouseCapture(false);
  }
  if (closeDown_ && grabDown_) {
    if (OnClose) OnClose(this);
    SetVisible(false);
  }
  closeDown_ = grabDown_ = false;
}
