#pragma once
// A list box with a check box in front of every item.
#include "platform/gui/StdCtrls.h"

class TCheckListBox : public TCustomListBox {
 public:
  explicit TCheckListBox(TComponent* AOwner);
  bool Checked(int index) const;
  // Setting it runs no event.
  void SetChecked(int index, bool checked);
  TCheckBoxState State(int index) const;
  void SetState(int index, TCheckBoxState state);
  bool ItemEnabled(int index) const;
  void SetItemEnabled(int index, bool enabled);
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool v) { allowGrayed_ = v; }
  void CheckAll(TCheckBoxState state, bool AllowGrayed = true, bool AllowDisabled = true);
  // Draws the box, then the item text after it.
  void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) override;

  // The user toggled a box (click on the box or the space key).
  TNotifyEvent OnClickCheck;

  // For the layer: toggles an item as the user does and runs OnClickCheck.
  void ToggleByUser(int index);
  // Width of the check box area at the start of each item.
  int CheckWidth() const;

 private:
  bool allowGrayed_ = false;
};
