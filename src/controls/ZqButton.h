#pragma once
// TZqButton: the program's push button, a focusable windowed control with the glyph
// buttons' faces, colour schemes and hot-track fade, plus stock kinds with a glyph, a
// caption and a modal result, the default (Enter) and cancel (Escape) roles of a dialog
// button, pressing with Enter or Space, and a focus rectangle. A click fires OnClick and
// then sets the parent form's ModalResult to the button's (when not 0), so a modal dialog
// closes.
#include "controls/ZqButtons.h"

enum TZqButtonKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };

class TZqButton : public TZqButtonBase<TCustomControl> {
 public:
  explicit TZqButton(TComponent* AOwner);

  // Any kind but bkCustom sets a two-cell glyph, the kind's caption and its modal result.
  TZqButtonKind Kind() const { return kind_; }
  void SetKind(TZqButtonKind kind);
  // Setting it makes the kind bkCustom.
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult r);
  // Enter clicks a default button, Escape a cancel button (unless a button has the focus).
  bool Default() const { return default_; }
  void SetDefault(bool v) { default_ = v; }
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  // A new glyph makes the kind bkCustom.
  void SetGlyph(const TBitmap* bitmap) override;

  // True while the mouse or a key holds the button pressed.
  bool Pressed() const { return pressed_; }

  // Fires OnClick, sets the parent form's ModalResult and pops up PopupMenu under the
  // button; nothing for a hidden or disabled button.
  void Click() override;
  // Disabling clears the pressed state.
  void SetEnabled(bool enabled) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;
  bool DialogKey(uint16_t Key, TShiftState Shift) override;
  bool DialogChar(char Key) override;

 protected:
  bool FaceDown() const override { return pressed_; }
  // The focused button looks as under the mouse.
  bool FaceHot() const override { return TZqButtonBase::FaceHot() || Focused(); }
  void Paint() override;

 private:
  void setPressed(bool v) { set(pressed_, v, true); }
  TZqButtonKind kind_ = bkCustom;
  TModalResult modalResult_ = mrNone;
  bool default_ = false;
  bool cancel_ = false;
  bool pressed_ = false;
  bool settingKind_ = false;
};
