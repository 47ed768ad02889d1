#pragma once
// TZqSpeedButton: the flat tool button of the program's button bars. A graphic control
// with a glyph and a caption, colour schemes, hot-track colours and font, a slow fade of
// the hot-track colour, group toggling like radio buttons, and a popup menu shown under
// the button on click. Buttons of one parent that share a GroupIndex other than 0
// exclude each other.
#include "controls/ZqButtons.h"

class TZqSpeedButton : public TZqButtonBase<TGraphicControl> {
 public:
  explicit TZqSpeedButton(TComponent* AOwner);

  // A grouped button may be raised by clicking it again.
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool v) { allowAllUp_ = v; }
  // Setting Down raises the other buttons of the same group first; setting the value the
  // button already has does nothing.
  bool Down() const { return down_; }
  void SetDown(bool v);
  // 0: a plain button; any other number: the group of buttons that exclude each other.
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int v) { set(groupIndex_, v, true); }
  // No background: the parent shows through around the caption and glyph.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  // bsModern becomes bsNormal on a screen of 8 bits per pixel or fewer.
  void SetStyle(TZqSpeedButtonStyle s) override;

  // Pops the popup menu up under the button, then fires OnClick.
  void Click() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  // The second press of a double click counts as a press of its own.
  void DblClick() override;
  // Alt and the caption's accelerator letter clicks the button.
  bool DialogChar(char Key) override;

 protected:
  bool FaceDown() const override { return down_; }
  void paintNow() override;
  void Paint() override;

 private:
  bool allowAllUp_ = false;
  bool down_ = false;
  int groupIndex_ = 0;
  bool transparent_ = false;
  bool secondPress_ = false;
};
