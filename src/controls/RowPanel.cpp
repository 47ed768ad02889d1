#include "controls/RowPanel.h"

#include <algorithm>
#include <vector>

void TRowPanel::SetRowHeight(int height) {
  rowHeight_ = std::max(1, height);
  AlignControls();
}

void TRowPanel::SetSpacing(int spacing) {
  spacing_ = std::max(0, spacing);
  AlignControls();
}

void TRowPanel::LineUp() {
  arranging_ = true;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (c->Align() == alNone && !c->Anchors().Contains(akRight)) c->SetAlign(alLeft);
  }
  arranging_ = false;
  AlignControls();
}

void TRowPanel::AlignControls() {
  if (arranging_) return;
  arranging_ = true;
  const TRect r = AlignClientRect();
  // The rows first: which children each holds, and its height.
  std::vector<std::vector<TControl*>> rows(1);
  std::vector<TControl*> rights;
  int firstRowRight = r.Right - spacing_;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (c->Align() != alRight || !c->Visible()) continue;
    rights.push_back(c);
    firstRowRight -= c->Width() + spacing_;
  }
  int x = r.Left + spacing_, right = firstRowRight;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (c->Align() != alLeft || !c->Visible()) continue;
    // A child that does not fit the rest of its row starts the next one (the first row,
    // shortened by the right-aligned children, may keep those alone).
    if (x + c->Width() > right && (!rows.back().empty() || (rows.size() == 1 && right < r.Right - spacing_))) {
      rows.emplace_back();
      x = r.Left + spacing_;
      right = r.Right - spacing_;
    }
    rows.back().push_back(c);
    x += c->Width() + spacing_;
  }
  int top = r.Top;
  for (size_t n = 0; n < rows.size(); ++n) {
    int height = rowHeight_;
    for (TControl* c : rows[n]) height = std::max(height, c->Height());
    if (n == 0)
      for (TControl* c : rights) height = std::max(height, c->Height());
    auto place = [&](TControl* c, int left) { c->SetBounds(left, top + (height - c->Height()) / 2, c->Width(), c->Height()); };
    int left = r.Left + spacing_;
    for (TControl* c : rows[n]) {
      place(c, left);
      left += c->Width() + spacing_;
    }
    if (n == 0) {
      int end = r.Right - spacing_;
      for (TControl* c : rights) {
        end -= c->Width();
        place(c, end);
        end -= spacing_;
      }
    }
    top += height;
  }
  const int height = top - r.Top + (Height() - r.Height());
  arranging_ = false;
  if (height != Height()) SetHeight(height);
}
