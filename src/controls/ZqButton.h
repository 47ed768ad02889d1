#pragma once
// TZqButton: the program's push button, a focusable windowed control with the glyph
// buttons' face. A click sets the parent form's ModalResult to the button's ModalResult
// (when that is not 0), so a modal dialog closes; Enter and Space press a focused button.
#include "controls/ZqButtons.h"

class TZqButton : public TZqButtonBase<TCustomControl> {
 public:
  explicit TZqButton(TComponent* AOwner);

  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult r) { modalResult_ = r; }
  // True while the mouse or a key holds the button pressed.
  bool Pressed() const { return pressed_; }

  // Fires OnClick, then sets the parent form's ModalResult; nothing for a hidden or
  // disabled button.
  void Click() override;
  // Disabling clears the pressed state.
  void SetEnabled(bool enabled) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;

 protected:
  bool FaceDown() const override { return pressed_; }
  // The focused button looks as under the mouse.
  bool FaceHot() const override { return TZqButtonBase::FaceHot() || Focused(); }
  void Paint() override;

 private:
  void setPressed(bool v) { update(pressed_, v); }
  TModalResult modalResult_ = mrNone;
  bool pressed_ = false;
};
