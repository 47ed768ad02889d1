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

void TRowPanel::SetFillIn(TControl* child) {
  if (!fillIn(child)) fillIns_.push_back(child);
  AlignControls();
}

bool TRowPanel::fillIn(const TControl* c) const {
  return std::find(fillIns_.begin(), fillIns_.end(), c) != fillIns_.end();
}

void TRowPanel::ControlListChanged(TControl* control, bool inserted) {
  if (!inserted) fillIns_.erase(std::remove(fillIns_.begin(), fillIns_.end(), control), fillIns_.end());
  TPanel::ControlListChanged(control, inserted);
}

void TRowPanel::AlignControls() {
  if (arranging_) return;
  arranging_ = true;
  const TRect r = AlignClientRect();
  // The rows first: which children each holds, and its height.
  std::vector<std::vector<TControl*>> rows(1);
  std::vector<TControl*> rights, fills;
  int firstRowRight = r.Right - spacing_, fillWidth = 0;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (c->Align() != alRight || !c->Visible()) continue;
    if (fillIn(c)) {
      fills.push_back(c);
      fillWidth += c->Width() + spacing_;
    } else {
      rights.push_back(c);
      firstRowRight -= c->Width() + spacing_;
    }
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
  // The fill-ins end where the last row's room ends, or in a row of their own.
  int fillEnd = right;
  if (!fills.empty() && x + fillWidth - spacing_ > right) {
    rows.emplace_back();
    fillEnd = r.Right - spacing_;
  }
  int top = r.Top;
  for (size_t n = 0; n < rows.size(); ++n) {
    const bool fillRow = n + 1 == rows.size();
    int height = rowHeight_;
    for (TControl* c : rows[n]) height = std::max(height, c->Height());
    if (n == 0)
      for (TControl* c : rights) height = std::max(height, c->Height());
    if (fillRow)
      for (TControl* c : fills) height = std::max(height, c->Height());
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
    if (fillRow)
      for (TControl* c : fills) {
        fillEnd -= c->Width();
        place(c, fillEnd);
        fillEnd -= spacing_;
      }
    top += height;
  }
  const int height = top - r.Top + (Height() - r.Height());
  arranging_ = false;
  if (height != Height()) SetHeight(height);
}
