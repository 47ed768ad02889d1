#pragma once
// TRowPanel: a bar that keeps every one of its controls in sight at any width. Its
// left-aligned children run left to right in their order, Spacing pixels apart, and go
// on in the next row where the rest of a row is too short; its right-aligned children
// keep the right end of the first row. A row is RowHeight high, or as high as its
// tallest child, with its children centred in it; the panel's height follows the rows.
#include <vector>

#include "platform/gui/ExtCtrls.h"

class TRowPanel : public TPanel {
 public:
  explicit TRowPanel(TComponent* AOwner) : TPanel(AOwner) {}
  int RowHeight() const { return rowHeight_; }
  void SetRowHeight(int height);
  int Spacing() const { return spacing_; }
  void SetSpacing(int spacing);
  // The children placed by hand (all but those anchored to the right edge) join the rows,
  // in the order they were made.
  void LineUp();
  // A right-aligned child that shows only for a while (a progress bar) takes the room the
  // rows leave at the right end of the last row instead, or a row of its own below them
  // when that room is too short: showing or hiding it moves none of the other children.
  void SetFillIn(TControl* child);
  void AlignControls() override;

 protected:
  void ControlListChanged(TControl* control, bool inserted) override;

 private:
  bool fillIn(const TControl* c) const;
  std::vector<TControl*> fillIns_;
  int rowHeight_ = 28;
  int spacing_ = 0;
  bool arranging_ = false;
};
