#pragma once
// TZqSpeedButton: the flat tool button of the program's button bars. A graphic control
// with a caption, face and bevel colours, and a Down state; buttons of one parent that
// share a GroupIndex other than 0 behave like radio buttons.
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
  void SetGroupIndex(int v) { update(groupIndex_, v); }

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 protected:
  bool FaceDown() const override { return down_; }
  void Paint() override;

 private:
  bool allowAllUp_ = false;
  bool down_ = false;
  int groupIndex_ = 0;
};
