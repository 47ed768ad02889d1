#include "controls/ZqSpeedButton.h"

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
  Invalidate();
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
  TZqButtonBase::MouseUp(Button, Shift, X, Y);
  if (Button == mbLeft && groupIndex_ == 0) SetDown(false);
}

void TZqSpeedButton::Paint() {
  TBitmap buffer;
  PaintFace(buffer, Face());
  Canvas()->Draw(0, 0, buffer);
}
