#include "controls/ZqSpeedButton.h"

#include "platform/gui/Menus.h"
#include "platform/gui/WinCalls.h"

TZqSpeedButton::TZqSpeedButton(TComponent* AOwner) : TZqButtonBase(AOwner, taLeftJustify, clBlack) {
  SetParentColor(true);
}

void TZqSpeedButton::SetDown(bool v) {
  if (down_ == v) return;
  if (groupIndex_ != 0 && Parent()) {
    TWinControl* parent = Parent();
    for (int i = 0; i < parent->ControlCount(); ++i) {
      auto* other = dynamic_cast<TZqSpeedButton*>(parent->Controls(i));
      if (other && other != this && other->groupIndex_ == groupIndex_) other->SetDown(false);
    }
  }
  down_ = v;
  paintNow();
}

void TZqSpeedButton::SetTransparent(bool v) {
  if (v == transparent_) return;
  transparent_ = v;
  if (v)
    Invalidate();
  else
    paintNow();
}

void TZqSpeedButton::SetStyle(TZqSpeedButtonStyle s) {
  if (s == bsModern && ScreenBitsPerPixel() <= 8) s = bsNormal;
  TZqButtonBase::SetStyle(s);
}

void TZqSpeedButton::paintNow() {
  if (transparent_)
    Invalidate();
  else
    Repaint();
}

void TZqSpeedButton::Click() {
  if (TPopupMenu* menu = PopupMenu()) {
    const TPoint at = ClientToScreen(Point(0, Height()));
    menu->SetPopupComponent(this);
    menu->Popup(at.X, at.Y);
  }
  TZqButtonBase::Click();
}

void TZqSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TZqButtonBase::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  if (groupIndex_ == 0 || !down_)
    SetDown(true);
  else if (allowAllUp_)
    SetDown(false);
}

void TZqSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const bool second = secondPress_;
  secondPress_ = false;
  TZqButtonBase::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  if (groupIndex_ == 0) SetDown(false);
  if (second && Enabled() && X >= 0 && Y >= 0 && X < Width() && Y < Height()) Click();
}

void TZqSpeedButton::DblClick() {
  TZqButtonBase::DblClick();
  secondPress_ = true;
}

bool TZqSpeedButton::DialogChar(char Key) {
  if (!IsAccel(Key, Caption()) || !Enabled() || !Visible() || !parentShowing()) return false;
  const bool wasDown = down_;
  down_ = true;
  Repaint();
  Click();
  down_ = wasDown;
  Repaint();
  return true;
}

void TZqSpeedButton::Paint() {
  if (!Visible()) return;
  TZqFace face = Face();
  face.Transparent = transparent_;
  TBitmap buffer;
  PrepareBuffer(buffer, Width(), Height(), transparent_ || ShapedStyle(Style()));
  DrawZqFace(buffer.Canvas(), face);
  Canvas()->Draw(0, 0, buffer);
}
