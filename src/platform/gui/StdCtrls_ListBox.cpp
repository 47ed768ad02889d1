// List boxes and check list boxes, drawn by the layer: items of one height (or of their
// own height with lbOwnerDrawVariable), scrolled by whole items, owner-drawn items
// painted by OnDrawItem through the list's canvas, selection kept as the class
// library keeps it (ItemIndex, Selected[i], single, multiple or extended selection).
#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolTip>

#include <algorithm>
#include <strings.h>
#include <utility>

#include "platform/graphics/CanvasQt.h"
#include "platform/gui/CheckLst.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/StdCtrls.h"

struct TListBoxData {
  struct Item {
    std::string text;
    TObject* object = nullptr;
    bool selected = false;
    int height = 0;  // lbOwnerDrawVariable
    TCheckBoxState state = cbUnchecked;
    bool enabled = true;
  };
  std::vector<Item> items;
  int itemIndex = -1;
  int anchor = -1;
  bool multiSelect = false, extendedSelect = true;
  int itemHeight = 13;
  bool itemHeightSet = false;
  TListBoxStyle style = lbStandard;
  bool sorted = false;
  int columns = 0;
  int scrollWidth = 0;
  bool integralHeight = false;
  int updating = 0;
};

namespace {

class ListWidget;
ListWidget* ListOf(const TCustomListBox* lb);

class ListWidget : public HostScrollArea<QAbstractScrollArea> {
 public:
  explicit ListWidget(TControl* c) : HostScrollArea<QAbstractScrollArea>(c) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(true);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), [this](int) { viewport()->update(); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(), [this](int) { viewport()->update(); });
  }
  TCustomListBox* list() const { return static_cast<TCustomListBox*>(control()); }
  void updateBars();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override { mousePressEvent(e); }
  void mouseMoveEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void resizeEvent(QResizeEvent* e) override {
    QAbstractScrollArea::resizeEvent(e);
    updateBars();
  }
  // A row wider than the list shows whole as its tooltip.
  bool viewportEvent(QEvent* e) override {
    if (e->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton &&
        pressedSelected_ >= 0 && control()) {
      // The release of a press on a selected item that started no drag chooses that item alone.
      const int index = std::exchange(pressedSelected_, -1);
      QPointer<QWidget> guard(this);
      if (!gui::DragActive() && index < list()->Count()) userSelect(index, Qt::NoModifier, false);
      if (!guard) return true;
    }
    if (e->type() != QEvent::ToolTip || !control()) return HostScrollArea<QAbstractScrollArea>::viewportEvent(e);
    TCustomListBox* lb = list();
    auto* help = static_cast<QHelpEvent*>(e);
    const int index = lb->ItemAtPos(Point(help->pos().x(), help->pos().y()), true);
    const QString text = index >= 0 ? gui::QtText(lb->Items()->Strings(index)) : QString();
    if (text.isEmpty() || QFontMetrics(ToQFont(*lb->Font())).horizontalAdvance(text) + 4 <= viewport()->width())
      return HostScrollArea<QAbstractScrollArea>::viewportEvent(e);
    const TRect r = lb->ItemRect(index);
    QToolTip::showText(help->globalPos(), text, viewport(), QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top));
    return true;
  }
  void focusInEvent(QFocusEvent* e) override {
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
  }
  void focusOutEvent(QFocusEvent* e) override {
    QAbstractScrollArea::focusOutEvent(e);
    viewport()->update();
  }

 private:
  // The user chose index with the mouse or the keyboard.
  void userSelect(int index, Qt::KeyboardModifiers mods, bool toggle);
  // The selected item a plain press fell on in a multi-selection list that drags by
  // itself (-1: none): the press may drag the whole selection, so only its release
  // chooses the item alone.
  int pressedSelected_ = -1;
};

ListWidget* ListOf(const TCustomListBox* lb) { return dynamic_cast<ListWidget*>(lb->Private()->widget.data()); }

void MakeListWidget(TControl* c) {
  auto* w = new ListWidget(c);
  gui::AttachWidget(c, w, w->viewport());
}

// The rows a list of one column shows whole: those of its view, between its scroll bars
// (before it is first shown, of its inside).
int FullRows(const TCustomListBox* lb) {
  const ListWidget* w = ListOf(lb);
  const int height = w && w->isVisible() ? w->viewport()->height() : lb->ClientHeight();
  return std::max(1, height / std::max(1, lb->ItemHeight()));
}

int ItemsPerColumn(const TCustomListBox* lb) {
  return std::max(1, lb->ClientHeight() / std::max(1, lb->ItemHeight()));
}

void ListChanged(TCustomListBox* lb) {
  if (lb->Data()->updating > 0) return;
  if (ListWidget* w = ListOf(lb)) {
    w->updateBars();
    w->viewport()->update();
  }
}

// The items of a list box, kept by the list itself.
class TListBoxStrings : public TStrings {
 public:
  explicit TListBoxStrings(TCustomListBox* lb) : lb_(lb) {}
  TListBoxData* d() const { return lb_->Data(); }
  int Count() const override { return int(d()->items.size()); }
  std::string Strings(int index) const override {
    if (index < 0 || index >= Count()) Error(index);
    return d()->items[size_t(index)].text;
  }
  void SetStrings(int index, const std::string& s) override {
    if (index < 0 || index >= Count()) Error(index);
    d()->items[size_t(index)].text = s;
    ListChanged(lb_);
  }
  TObject* Objects(int index) const override {
    if (index < 0 || index >= Count()) Error(index);
    return d()->items[size_t(index)].object;
  }
  void SetObjects(int index, TObject* o) override {
    if (index < 0 || index >= Count()) Error(index);
    d()->items[size_t(index)].object = o;
  }
  void Insert(int index, const std::string& s) override {
    if (index < 0 || index > Count()) Error(index);
    TListBoxData::Item item;
    item.text = s;
    d()->items.insert(d()->items.begin() + index, item);
    if (d()->itemIndex >= index) ++d()->itemIndex;
    measure(index);
    ListChanged(lb_);
  }
  int Add(const std::string& s) override {
    int index = Count();
    if (d()->sorted) {
      auto& items = d()->items;
      auto it = std::upper_bound(items.begin(), items.end(), s, [](const std::string& v, const TListBoxData::Item& i) {
        return strcasecmp(v.c_str(), i.text.c_str()) < 0;
      });
      index = int(it - items.begin());
    }
    Insert(index, s);
    return index;
  }
  void Delete(int index) override {
    if (index < 0 || index >= Count()) Error(index);
    d()->items.erase(d()->items.begin() + index);
    if (d()->itemIndex == index)
      d()->itemIndex = -1;
    else if (d()->itemIndex > index)
      --d()->itemIndex;
    if (d()->anchor >= Count()) d()->anchor = -1;
    ListChanged(lb_);
  }
  void Clear() override {
    d()->items.clear();
    d()->itemIndex = -1;
    d()->anchor = -1;
    if (ListWidget* w = ListOf(lb_)) {
      w->verticalScrollBar()->setValue(0);
      w->horizontalScrollBar()->setValue(0);
    }
    ListChanged(lb_);
  }
  void Exchange(int a, int b) override {
    if (a < 0 || a >= Count()) Error(a);
    if (b < 0 || b >= Count()) Error(b);
    std::swap(d()->items[size_t(a)], d()->items[size_t(b)]);
    ListChanged(lb_);
  }

 protected:
  void SetUpdateState(bool updating) override {
    if (updating)
      ++d()->updating;
    else if (--d()->updating == 0)
      ListChanged(lb_);
  }

 private:
  void measure(int index) {
    if (d()->style != lbOwnerDrawVariable) return;
    int h = d()->itemHeight;
    if (lb_->OnMeasureItem) gui::SafeCall(lb_, [&] { lb_->OnMeasureItem(lb_, index, h); });
    d()->items[size_t(index)].height = std::max(1, h);
  }
  TCustomListBox* lb_;
};

}  // namespace

void ListWidget::updateBars() {
  TCustomListBox* lb = list();
  if (!lb) return;
  TListBoxData* d = lb->Data();
  const int count = int(d->items.size());
  QScrollBar* vb = verticalScrollBar();
  QScrollBar* hb = horizontalScrollBar();
  if (d->columns > 0) {
    const int perCol = ItemsPerColumn(lb);
    const int cols = (count + perCol - 1) / perCol;
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(cols > d->columns ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    hb->setRange(0, std::max(0, cols - d->columns));
    hb->setPageStep(d->columns);
    hb->setSingleStep(1);
    return;
  }
  int fullyVisible;
  if (d->style == lbOwnerDrawVariable) {
    int h = 0, n = 0;
    for (int i = count - 1; i >= 0; --i) {
      h += d->items[size_t(i)].height > 0 ? d->items[size_t(i)].height : d->itemHeight;
      if (h > viewport()->height()) break;
      ++n;
    }
    vb->setRange(0, std::max(0, count - std::max(1, n)));
    fullyVisible = std::max(1, n);
  } else {
    fullyVisible = FullRows(lb);
    vb->setRange(0, std::max(0, count - fullyVisible));
  }
  vb->setPageStep(fullyVisible);
  vb->setSingleStep(1);
  setVerticalScrollBarPolicy(count > fullyVisible ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  const int extent = d->scrollWidth;
  setHorizontalScrollBarPolicy(extent > viewport()->width() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  hb->setRange(0, std::max(0, extent - viewport()->width()));
  hb->setPageStep(std::max(1, viewport()->width()));
  hb->setSingleStep(8);
}

void ListWidget::paintEvent(QPaintEvent* e) {
  TCustomListBox* lb = list();
  if (!lb) return;
  TListBoxData* d = lb->Data();
  QPainter painter(viewport());
  painter.fillRect(e->rect(), ToQColor(lb->Color()));
  const int count = int(d->items.size());
  const bool focused = hasFocus();
  lb->Private()->paintWithCanvas(painter, e->rect(), [&] {
    TCanvas* canvas = lb->Canvas();
    for (int i = lb->TopIndex(); i < count; ++i) {
      TRect r = lb->ItemRect(i);
      if (r.Top >= viewport()->height() || r.Left >= viewport()->width()) {
        if (d->columns > 0) continue;
        break;
      }
      if (r.Bottom <= 0 || r.Right <= 0) continue;
      TOwnerDrawState state;
      // A single-selection list highlights its ItemIndex alone.
      if (d->multiSelect ? d->items[size_t(i)].selected : i == d->itemIndex) state.Include(odSelected);
      if (focused && i == d->itemIndex) state.Include(odFocused);
      if (!lb->Enabled()) state.Include(odDisabled);
      // The canvas is prepared as the class library prepares it for OnDrawItem.
      canvas->Font().Assign(lb->Font());
      if (state.Contains(odSelected)) {
        canvas->Brush().SetColor(clHighlight);
        canvas->Font().SetColor(clHighlightText);
      } else {
        canvas->Brush().SetColor(lb->Color());
      }
      canvas->Brush().SetStyle(bsSolid);
      const bool ownerDraw = d->style == lbOwnerDrawFixed || d->style == lbOwnerDrawVariable;
      painter.save();
      painter.setClipRect(QRect(r.Left, r.Top, r.Width(), r.Height()));
      if (ownerDraw && lb->OnDrawItem)
        lb->OnDrawItem(lb, i, r, state);
      else
        lb->DrawItem(i, r, state);
      painter.restore();
    }
  });
}

void ListWidget::userSelect(int index, Qt::KeyboardModifiers mods, bool toggle) {
  TCustomListBox* lb = list();
  TListBoxData* d = lb->Data();
  const int count = int(d->items.size());
  if (index < 0 || index >= count) return;
  // A Shift range starts at the anchor, else at the current item (a list that has just
  // become multi-select, or whose current item the program set).
  const int rangeStart = d->anchor >= 0 ? d->anchor : d->itemIndex;
  if (!d->multiSelect) {
    for (auto& it : d->items) it.selected = false;
    d->items[size_t(index)].selected = true;
    d->itemIndex = index;
    d->anchor = index;
  } else if (d->extendedSelect && (mods & Qt::ShiftModifier) && rangeStart >= 0 && rangeStart < count) {
    if (!(mods & Qt::ControlModifier))
      for (auto& it : d->items) it.selected = false;
    for (int i = std::min(rangeStart, index); i <= std::max(rangeStart, index); ++i) d->items[size_t(i)].selected = true;
    d->itemIndex = index;
    d->anchor = rangeStart;
  } else if (toggle || !d->extendedSelect || (mods & Qt::ControlModifier)) {
    d->items[size_t(index)].selected = !d->items[size_t(index)].selected;
    d->itemIndex = index;
    d->anchor = index;
  } else {
    for (auto& it : d->items) it.selected = false;
    d->items[size_t(index)].selected = true;
    d->itemIndex = index;
    d->anchor = index;
  }
  // Keep the chosen item in view.
  if (d->columns == 0) {
    int top = lb->TopIndex();
    int full = FullRows(lb);
    if (index < top)
      lb->SetTopIndex(index);
    else if (index >= top + full)
      lb->SetTopIndex(index - full + 1);
  }
  viewport()->update();
  gui::SafeCall(lb, [lb] { lb->Click(); });
}

void ListWidget::mousePressEvent(QMouseEvent* e) {
  TCustomListBox* lb = list();
  pressedSelected_ = -1;
  if (!lb) return;
  if (e->button() != Qt::LeftButton) return;
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  QPoint p = e->position().toPoint();
  int index = lb->ItemAtPos(TPoint(p.x(), p.y()), true);
  if (index < 0) return;
  QPointer<QWidget> guard(this);
  if (auto* clb = dynamic_cast<TCheckListBox*>(lb); clb && p.x() - lb->ItemRect(index).Left < clb->CheckWidth()) {
    if (e->type() != QEvent::MouseButtonDblClick) gui::SafeCall(clb, [clb, index] { clb->ToggleByUser(index); });
    if (!guard) return;
  }
  TListBoxData* d = lb->Data();
  if (d->multiSelect && d->items[size_t(index)].selected && lb->DragMode() == dmAutomatic &&
      !(e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier))) {
    pressedSelected_ = index;
    return;
  }
  userSelect(index, e->modifiers(), false);
}

void ListWidget::mouseMoveEvent(QMouseEvent* e) {
  TCustomListBox* lb = list();
  if (!lb || !(e->buttons() & Qt::LeftButton) || gui::DragSource() == lb) return;
  TListBoxData* d = lb->Data();
  if (d->multiSelect) return;
  // Dragging with the button held moves the selection, as in a Windows list box.
  QPoint p = e->position().toPoint();
  int index = lb->ItemAtPos(TPoint(p.x(), std::clamp(p.y(), 0, viewport()->height() - 1)), true);
  if (index >= 0 && index != d->itemIndex) userSelect(index, Qt::NoModifier, false);
}

void ListWidget::keyPressEvent(QKeyEvent* e) {
  TCustomListBox* lb = list();
  if (!lb) return;
  TListBoxData* d = lb->Data();
  const int count = int(d->items.size());
  if (count == 0) return;
  int page = std::max(1, viewport()->height() / std::max(1, d->itemHeight) - 1);
  int cur = d->itemIndex;
  int next = cur;
  switch (e->key()) {
    case Qt::Key_Up: next = cur <= 0 ? 0 : cur - 1; break;
    case Qt::Key_Down: next = cur < 0 ? 0 : std::min(count - 1, cur + 1); break;
    case Qt::Key_PageUp: next = std::max(0, cur - page); break;
    case Qt::Key_PageDown: next = std::min(count - 1, std::max(0, cur) + page); break;
    case Qt::Key_Home: next = 0; break;
    case Qt::Key_End: next = count - 1; break;
    case Qt::Key_Space:
      if (auto* clb = dynamic_cast<TCheckListBox*>(lb); clb && cur >= 0) {
        gui::SafeCall(clb, [clb, cur] { clb->ToggleByUser(cur); });
        return;
      }
      if (d->multiSelect && cur >= 0) userSelect(cur, Qt::NoModifier, true);
      return;
    default: {
      QString t = e->text();
      if (t.size() != 1 || !t[0].isPrint()) return QAbstractScrollArea::keyPressEvent(e);
      // The next item starting with the typed character.
      QString ch = t.toLower();
      for (int k = 1; k <= count; ++k) {
        int i = (std::max(cur, 0) + k) % count;
        if (gui::QtText(d->items[size_t(i)].text).left(1).toLower() == ch) {
          next = i;
          break;
        }
      }
      break;
    }
  }
  if (next != cur || (next >= 0 && !d->multiSelect && cur < 0)) userSelect(next, e->modifiers(), false);
}

// ===========================================================================
// TCustomListBox
// ===========================================================================
TCustomListBox::TCustomListBox(TComponent* AOwner, TWidgetFactory factory)
    : TWinControl(AOwner, factory),
      data_(std::make_unique<TListBoxData>()),
      items_(std::make_unique<TListBoxStrings>(this)) {
  Private()->color = clWindow;
  Private()->clickOnMouseUp = false;
  Private()->nativePressFirst = true;
  if (auto* w = ListOf(this)) Private()->frame = w->frameWidth();
  SetTabStop(true);
  ColorChanged();
  FontChanged();
  SetBounds(0, 0, 121, 97);
}
TCustomListBox::~TCustomListBox() { DetachEvents(); }

TStrings* TCustomListBox::Items() const { return items_.get(); }
void TCustomListBox::SetItems(const TStrings* items) {
  if (items) Items()->Assign(*items);
}
int TCustomListBox::Count() const { return int(data_->items.size()); }
void TCustomListBox::Clear() { Items()->Clear(); }

int TCustomListBox::ItemIndex() const { return data_->itemIndex; }
void TCustomListBox::SetItemIndex(int index) {
  if (index < -1 || index >= Count()) index = -1;
  data_->itemIndex = index;
  if (!data_->multiSelect) {
    data_->anchor = index;
    for (auto& it : data_->items) it.selected = false;
    if (index >= 0) data_->items[size_t(index)].selected = true;
  }
  if (index >= 0 && data_->columns == 0) {
    const int full = FullRows(this);
    if (index < TopIndex())
      SetTopIndex(index);
    else if (index >= TopIndex() + full)
      SetTopIndex(index - full + 1);
  }
  ListChanged(this);
}
bool TCustomListBox::Selected(int index) const {
  if (index < 0 || index >= Count()) gui::ListIndexError(index);
  return data_->multiSelect ? data_->items[size_t(index)].selected : index == data_->itemIndex;
}
void TCustomListBox::SetSelected(int index, bool selected) {
  if (index < 0 || index >= Count()) gui::ListIndexError(index);
  if (data_->multiSelect) {
    data_->items[size_t(index)].selected = selected;
  } else if (selected) {
    SetItemIndex(index);
    return;
  } else if (index == data_->itemIndex) {
    SetItemIndex(-1);
    return;
  }
  ListChanged(this);
}
int TCustomListBox::SelCount() const {
  if (!data_->multiSelect) return -1;
  return int(std::count_if(data_->items.begin(), data_->items.end(), [](const auto& i) { return i.selected; }));
}
void TCustomListBox::SelectAll() {
  if (!data_->multiSelect) return;
  for (auto& it : data_->items) it.selected = true;
  ListChanged(this);
}
void TCustomListBox::ClearSelection() {
  for (auto& it : data_->items) it.selected = false;
  if (!data_->multiSelect) data_->itemIndex = -1;
  ListChanged(this);
}
void TCustomListBox::DeleteSelected() {
  Items()->BeginUpdate();
  for (int i = Count() - 1; i >= 0; --i)
    if (Selected(i)) Items()->Delete(i);
  Items()->EndUpdate();
}
bool TCustomListBox::MultiSelect() const { return data_->multiSelect; }
void TCustomListBox::SetMultiSelect(bool v) {
  if (v == data_->multiSelect) return;
  data_->multiSelect = v;
  for (auto& it : data_->items) it.selected = false;
  if (!v && data_->itemIndex >= 0) data_->items[size_t(data_->itemIndex)].selected = true;
  ListChanged(this);
}
bool TCustomListBox::ExtendedSelect() const { return data_->extendedSelect; }
void TCustomListBox::SetExtendedSelect(bool v) { data_->extendedSelect = v; }

int TCustomListBox::TopIndex() const {
  ListWidget* w = ListOf(this);
  if (!w) return 0;
  if (data_->columns > 0) return w->horizontalScrollBar()->value() * ItemsPerColumn(this);
  return w->verticalScrollBar()->value();
}
void TCustomListBox::SetTopIndex(int index) {
  ListWidget* w = ListOf(this);
  if (!w) return;
  w->updateBars();
  if (data_->columns > 0)
    w->horizontalScrollBar()->setValue(index / ItemsPerColumn(this));
  else
    w->verticalScrollBar()->setValue(index);
}
int TCustomListBox::ItemHeight() const { return data_->itemHeight; }
void TCustomListBox::SetItemHeight(int h) {
  if (h <= 0) return;
  data_->itemHeight = h;
  data_->itemHeightSet = true;
  ListChanged(this);
}

int TCustomListBox::ItemAtPos(const TPoint& pos, bool Existing) const {
  const int count = Count();
  if (pos.X < 0 || pos.Y < 0 || pos.X >= ClientWidth() || pos.Y >= ClientHeight()) return Existing ? -1 : count;
  if (data_->columns > 0) {
    const int perCol = ItemsPerColumn(this);
    const int colW = std::max(1, ClientWidth() / data_->columns);
    int index = TopIndex() + (pos.X / colW) * perCol + pos.Y / std::max(1, data_->itemHeight);
    if (pos.Y / std::max(1, data_->itemHeight) >= perCol || index >= count) return Existing ? -1 : count;
    return index;
  }
  int y = 0;
  for (int i = TopIndex(); i < count; ++i) {
    int h = data_->style == lbOwnerDrawVariable && data_->items[size_t(i)].height > 0 ? data_->items[size_t(i)].height
                                                                                    : data_->itemHeight;
    if (pos.Y < y + h) return i;
    y += h;
  }
  return Existing ? -1 : count;
}

TRect TCustomListBox::ItemRect(int index) const {
  const int ih = data_->itemHeight;
  if (data_->columns > 0) {
    const int perCol = ItemsPerColumn(this);
    const int colW = std::max(1, ClientWidth() / data_->columns);
    const int rel = index - TopIndex();
    const int col = rel >= 0 ? rel / perCol : (rel - perCol + 1) / perCol;
    const int row = index % perCol;
    return Bounds(col * colW, row * ih, colW, ih);
  }
  ListWidget* w = ListOf(this);
  const int hoff = w ? w->horizontalScrollBar()->value() : 0;
  const int width = std::max(ClientWidth(), data_->scrollWidth);
  int top = 0;
  if (data_->style == lbOwnerDrawVariable) {
    auto height = [&](int i) { return data_->items[size_t(i)].height > 0 ? data_->items[size_t(i)].height : ih; };
    if (index >= TopIndex())
      for (int i = TopIndex(); i < index; ++i) top += height(i);
    else
      for (int i = index; i < TopIndex(); ++i) top -= height(i);
    return Bounds(-hoff, top, width, index >= 0 && index < Count() ? height(index) : ih);
  }
  top = (index - TopIndex()) * ih;
  return Bounds(-hoff, top, width, ih);
}

TListBoxStyle TCustomListBox::Style() const { return data_->style; }
void TCustomListBox::SetStyle(TListBoxStyle style) {
  data_->style = style;
  ListChanged(this);
}
bool TCustomListBox::Sorted() const { return data_->sorted; }
void TCustomListBox::SetSorted(bool v) {
  data_->sorted = v;
  if (!v) return;
  std::stable_sort(data_->items.begin(), data_->items.end(),
                   [](const auto& a, const auto& b) { return strcasecmp(a.text.c_str(), b.text.c_str()) < 0; });
  data_->itemIndex = -1;
  ListChanged(this);
}
int TCustomListBox::Columns() const { return data_->columns; }
void TCustomListBox::SetColumns(int n) {
  data_->columns = std::max(0, n);
  ListChanged(this);
}
int TCustomListBox::ScrollWidth() const { return data_->scrollWidth; }
void TCustomListBox::SetScrollWidth(int w) {
  data_->scrollWidth = std::max(0, w);
  ListChanged(this);
}
bool TCustomListBox::IntegralHeight() const { return data_->integralHeight; }
void TCustomListBox::SetIntegralHeight(bool v) { data_->integralHeight = v; }
TBorderStyle TCustomListBox::BorderStyle() const { return Private()->frame > 0 ? bsSingle : bsNone; }
void TCustomListBox::SetBorderStyle(TBorderStyle s) {
  if (ListWidget* w = ListOf(this)) {
    w->setFrameStyle(s == bsNone ? QFrame::NoFrame : (QFrame::StyledPanel | QFrame::Sunken));
    Private()->frame = w->frameWidth();
    ListChanged(this);
  }
}
TCanvas* TCustomListBox::Canvas() const { return Private()->ensureCanvas(); }

void TCustomListBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  TCanvas* c = Canvas();
  c->FillRect(Rect);
  if (Index >= 0 && Index < Count()) {
    // The text of a disabled list (or item) is grey; a selected one keeps its highlight text.
    if (State.Contains(odDisabled) && !State.Contains(odSelected)) c->Font().SetColor(clGrayText);
    c->Brush().SetStyle(bsClear);
    c->TextOut(Rect.Left + 2, Rect.Top, data_->items[size_t(Index)].text);
    c->Brush().SetStyle(bsSolid);
  }
}

void TCustomListBox::FontChanged() {
  if (!data_->itemHeightSet) {
    QFontMetrics fm(ToQFont(*Font()));
    data_->itemHeight = std::max(1, fm.height());
  }
  ListChanged(this);
}
void TCustomListBox::ColorChanged() {
  if (ListWidget* w = ListOf(this)) {
    QPalette pal = w->viewport()->palette();
    pal.setColor(QPalette::Window, ToQColor(Color()));
    w->viewport()->setPalette(pal);
    w->viewport()->update();
  }
}

TListBox::TListBox(TComponent* AOwner) : TCustomListBox(AOwner, &MakeListWidget) {}

// ===========================================================================
// TCheckListBox
// ===========================================================================
TCheckListBox::TCheckListBox(TComponent* AOwner) : TCustomListBox(AOwner, &MakeListWidget) {}

static TListBoxData::Item& CheckItem(const TCheckListBox* lb, int index) {
  if (index < 0 || index >= lb->Count()) gui::ListIndexError(index);
  return lb->Data()->items[size_t(index)];
}

bool TCheckListBox::Checked(int index) const { return CheckItem(this, index).state == cbChecked; }
void TCheckListBox::SetChecked(int index, bool checked) { SetState(index, checked ? cbChecked : cbUnchecked); }
TCheckBoxState TCheckListBox::State(int index) const { return CheckItem(this, index).state; }
void TCheckListBox::SetState(int index, TCheckBoxState state) {
  CheckItem(this, index).state = state;
  ListChanged(this);
}
bool TCheckListBox::ItemEnabled(int index) const { return CheckItem(this, index).enabled; }
void TCheckListBox::SetItemEnabled(int index, bool enabled) {
  CheckItem(this, index).enabled = enabled;
  ListChanged(this);
}
void TCheckListBox::CheckAll(TCheckBoxState state, bool AllowGrayed, bool AllowDisabled) {
  for (auto& it : Data()->items) {
    if (!AllowDisabled && !it.enabled) continue;
    if (!AllowGrayed && it.state == cbGrayed) continue;
    it.state = state;
  }
  ListChanged(this);
}
int TCheckListBox::CheckWidth() const { return 16; }

void TCheckListBox::ToggleByUser(int index) {
  TListBoxData::Item& it = CheckItem(this, index);
  if (!it.enabled) return;
  switch (it.state) {
    case cbUnchecked: it.state = allowGrayed_ ? cbGrayed : cbChecked; break;
    case cbChecked: it.state = cbUnchecked; break;
    case cbGrayed: it.state = cbChecked; break;
  }
  ListChanged(this);
  if (OnClickCheck) OnClickCheck(this);
}

void TCheckListBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  TCanvas* c = Canvas();
  TRect box = Rect;
  box.Right = box.Left + CheckWidth();
  TColor textBrush = c->Brush().Color();
  c->Brush().SetColor(Color());
  c->FillRect(box);
  if (QPainter* p = c->Impl().painter; p && Index >= 0 && Index < Count()) {
    const TListBoxData::Item& it = Data()->items[size_t(Index)];
    QStyleOptionButton opt;
    int size = std::min(13, Rect.Height() - 2);
    opt.rect = QRect(box.Left + (CheckWidth() - size) / 2, box.Top + (Rect.Height() - size) / 2, size, size);
    opt.state = QStyle::State_Enabled;
    if (!it.enabled || !Enabled()) opt.state &= ~QStyle::State_Enabled;
    opt.state |= it.state == cbChecked ? QStyle::State_On : it.state == cbGrayed ? QStyle::State_NoChange : QStyle::State_Off;
    QApplication::style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opt, p, ListOf(this));
  }
  c->Brush().SetColor(textBrush);
  TRect text = Rect;
  text.Left += CheckWidth();
  if (Index >= 0 && Index < Count() && !Data()->items[size_t(Index)].enabled) State.Include(odDisabled);
  TCustomListBox::DrawItem(Index, text, State);
}
