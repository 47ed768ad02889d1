#pragma once
// TRowPanel: a bar that keeps every one of its controls in sight at any width. Its
// left-aligned children run left to right in their order, Spacing pixels apart, and go
// on in the next row where the rest of a row is too short; its right-aligned children
// keep the right end of the first row. A row is RowHeight high, or as high as its
// tallest child, with its children centred in it; the panel's height follows the rows.
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
  void AlignControls() override;

 private:
  int rowHeight_ = 28;
  int spacing_ = 0;
  bool arranging_ = false;
};
