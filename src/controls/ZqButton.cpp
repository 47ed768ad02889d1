#include "controls/ZqButton.h"

#include "platform/gui/Forms.h"

TZqButton::TZqButton(TComponent* AOwner) : TZqButtonBase(AOwner, taCenter, clGray) {
  SetTabStop(true);
  SetColor(clBtnFace);
}

void TZqButton::Click() {
  if (!Visible() || !Enabled()) return;
  setPressed(false);
  TZqButtonBase::Click();
  if (modalResult_ != mrNone)
    if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
}

void TZqButton::SetEnabled(bool enabled) {
  TZqButtonBase::SetEnabled(enabled);
  setPressed(false);
}

void TZqButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && Enabled()) {
    setPressed(true);
    if (CanFocus()) SetFocus();
  }
  TZqButtonBase::MouseDown(Button, Shift, X, Y);
}

void TZqButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) setPressed(false);
  TZqButtonBase::MouseUp(Button, Shift, X, Y);
}

void TZqButton::KeyDown(uint16_t& Key, TShiftState Shift) {
  TZqButtonBase::KeyDown(Key, Shift);
  if ((Key == VK_RETURN || Key == VK_SPACE) && Enabled()) setPressed(true);
}

void TZqButton::KeyUp(uint16_t& Key, TShiftState Shift) {
  TZqButtonBase::KeyUp(Key, Shift);
  if ((Key == VK_RETURN || Key == VK_SPACE) && pressed_) Click();
}

void TZqButton::DoEnter() {
  TZqButtonBase::DoEnter();
  Invalidate();
}

// A press ends when the focus goes.
void TZqButton::DoExit() {
  TZqButtonBase::DoExit();
  setPressed(false);
  Invalidate();
}

void TZqButton::Paint() {
  TBitmap buffer;
  TZqFace face = Face();
  PaintFace(buffer, face);
  if (Focused() && face.Enabled) {
    // The focus mark: a dotted rectangle inside the bevels.
    TCanvas& c = buffer.Canvas();
    c.Brush().SetStyle(bsClear);
    c.Pen().SetStyle(psDot);
    c.Pen().SetColor(clBlack);
    c.Rectangle(4, 4, Width() - 4, Height() - 4);
  }
  Canvas()->Draw(0, 0, buffer);
}
