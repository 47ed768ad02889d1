// Page control and tab sheets, status bar, progress bar, track bar, tool bar and tool
// buttons, rich edit, and the report-style list view.
#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

#include <algorithm>
#include <map>
#include <strings.h>

#include "platform/graphics/CanvasQt.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/ImgList.h"
#include "platform/i18n/GnuGetText.h"

// ===========================================================================
// Page control
// ===========================================================================
namespace {

class TabWidget : public HostWidget<QTabWidget> {
 public:
  explicit TabWidget(TControl* pc) : HostWidget<QTabWidget>(pc) { tabBar()->installEventFilter(this); }
  // Where the pages show, as the tab widget lays them out for its size.
  QRect pageRect() const {
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this);
  }

 protected:
  // A click on another tab asks OnChanging before the page changes.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == tabBar() && event->type() == QEvent::MouseButtonPress && control()) {
      auto* pc = static_cast<TPageControl*>(control());
      auto* me = static_cast<QMouseEvent*>(event);
      int index = tabBar()->tabAt(me->position().toPoint());
      if (me->button() == Qt::LeftButton && index >= 0 && index != currentIndex() && index < pc->PageCount()) {
        pc->UserSelectsPage(pc->Pages(index));
        return true;
      }
    }
    return HostWidget<QTabWidget>::eventFilter(watched, event);
  }
};

QTabWidget* TabsOf(const TPageControl* pc) { return qobject_cast<QTabWidget*>(pc->Private()->widget.data()); }

void MakeTabWidget(TControl* c) {
  auto* w = new TabWidget(c);
  gui::AttachWidget(c, w);
  // Keyboard page changes (the tab bar's own keys) are reported after the fact.
  QObject::connect(w, &QTabWidget::currentChanged, w, [c, w](int index) {
    if (!w->control()) return;  // the page control is being freed
    auto* pc = static_cast<TPageControl*>(c);
    if (index >= 0 && index < pc->PageCount() && pc->Pages(index) != pc->ActivePage())
      pc->UserSelectsPage(pc->Pages(index));
  });
}

}  // namespace

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) {
  Private()->parentColor = true;
  SetBounds(0, 0, 100, 100);
}
TTabSheet::~TTabSheet() {
  DetachEvents();
  if (pageControl_) pageControl_->RemovePage(this);
}
TPageControl* TTabSheet::PageControl() const { return pageControl_; }
void TTabSheet::SetPageControl(TPageControl* pc) { SetParent(pc); }
void TTabSheet::SetParent(TWinControl* parent) {
  if (parent == Parent()) return;
  if (pageControl_) pageControl_->RemovePage(this);
  TWinControl::SetParent(parent);
  if (auto* pc = dynamic_cast<TPageControl*>(parent)) pc->InsertPage(this);
}
int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  for (int i = 0; i < pageControl_->PageCount(); ++i)
    if (pageControl_->Pages(i) == this) return i;
  return -1;
}
void TTabSheet::SetPageIndex(int index) {
  TPageControl* pc = pageControl_;
  if (!pc) return;
  auto& pages = pc->pages_;
  pages.erase(std::remove(pages.begin(), pages.end(), this), pages.end());
  index = std::clamp(index, 0, int(pages.size()));
  pages.insert(pages.begin() + index, this);
  if (QTabWidget* tabs = TabsOf(pc)) {
    pc->syncing_ = true;
    int from = tabs->indexOf(Private()->widget);
    if (from >= 0) tabs->tabBar()->moveTab(from, index);
    pc->syncing_ = false;
  }
}
int TTabSheet::TabIndex() const {
  if (!pageControl_ || !tabVisible_) return -1;
  int n = 0;
  for (int i = 0; i < pageControl_->PageCount(); ++i) {
    TTabSheet* p = pageControl_->Pages(i);
    if (p == this) return n;
    if (p->TabVisible()) ++n;
  }
  return -1;
}
bool TTabSheet::TabVisible() const { return tabVisible_; }
void TTabSheet::SetTabVisible(bool v) {
  tabVisible_ = v;
  if (pageControl_) pageControl_->UpdateTab(this);
}
void TTabSheet::SetVisible(bool visible) {
  // A sheet's visibility is the page control's business; Visible only records it.
  Private()->visible = visible;
}
void TTabSheet::TextChanged() {
  if (pageControl_) pageControl_->UpdateTab(this);
}

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner, &MakeTabWidget) {
  SetTabStop(true);
  SetBounds(0, 0, 289, 193);
}
TPageControl::~TPageControl() {
  DetachEvents();
  syncing_ = true;
  // The sheets are freed after this (as children); they must not come back here then.
  for (TTabSheet* p : pages_) p->pageControl_ = nullptr;
  pages_.clear();
  active_ = nullptr;
}
int TPageControl::PageCount() const { return int(pages_.size()); }
TTabSheet* TPageControl::Pages(int index) const {
  if (index < 0 || index >= PageCount()) gui::ListIndexError(index);
  return pages_[size_t(index)];
}
TTabSheet* TPageControl::ActivePage() const { return active_; }

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  TTabSheet* old = active_;
  if (page == old) return;
  active_ = page;
  if (QTabWidget* tabs = TabsOf(this)) {
    syncing_ = true;
    if (page) tabs->setCurrentWidget(page->Private()->widget);
    syncing_ = false;
  }
  if (old && old->OnHide) gui::SafeCall(old, [old] { old->OnHide(old); });
  if (page && page->OnShow) gui::SafeCall(page, [page] { page->OnShow(page); });
}
int TPageControl::ActivePageIndex() const { return active_ ? active_->PageIndex() : -1; }
void TPageControl::SetActivePageIndex(int index) {
  SetActivePage(index >= 0 && index < PageCount() ? pages_[size_t(index)] : nullptr);
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool GoForward, bool CheckTabVisible) const {
  const int count = PageCount();
  if (count == 0) return nullptr;
  int start = current ? current->PageIndex() : (GoForward ? count - 1 : 0);
  for (int k = 1; k <= count; ++k) {
    int i = ((start + (GoForward ? k : -k)) % count + count) % count;
    TTabSheet* p = pages_[size_t(i)];
    if (!CheckTabVisible || p->TabVisible()) return p;
  }
  return nullptr;
}
void TPageControl::SelectNextPage(bool GoForward, bool CheckTabVisible) {
  if (TTabSheet* p = FindNextPage(active_, GoForward, CheckTabVisible)) UserSelectsPage(p);
}
TTabPosition TPageControl::TabPosition() const { return tabPosition_; }
void TPageControl::SetTabPosition(TTabPosition p) {
  tabPosition_ = p;
  if (QTabWidget* tabs = TabsOf(this))
    tabs->setTabPosition(p == tpBottom ? QTabWidget::South : p == tpLeft ? QTabWidget::West
                         : p == tpRight ? QTabWidget::East : QTabWidget::North);
}
TImageList* TPageControl::Images() const { return images_; }
void TPageControl::SetImages(TImageList* images) {
  images_ = images;
  for (TTabSheet* p : pages_) UpdateTab(p);
}
TRect TPageControl::AlignClientRect() const { return ClientRect(); }
TRect TPageControl::DisplayRect() const {
  auto* tabs = dynamic_cast<TabWidget*>(TabsOf(this));
  if (!tabs) return ClientRect();
  const QRect r = tabs->pageRect();
  return Rect(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
}
bool TPageControl::TextRoom(TSize& needed, TSize& room) const {
  QTabWidget* tabs = TabsOf(this);
  if (!tabs || tabs->count() == 0 || tabPosition_ == tpLeft || tabPosition_ == tpRight) return false;
  int width = 0;
  for (int i = 0; i < tabs->count(); ++i) width += tabs->tabBar()->tabRect(i).width();
  needed = TSize{width, tabs->tabBar()->sizeHint().height()};
  room = TSize{tabs->width(), tabs->height()};
  return true;
}

void TPageControl::InsertPage(TTabSheet* page) {
  if (std::find(pages_.begin(), pages_.end(), page) != pages_.end()) return;
  pages_.push_back(page);
  page->pageControl_ = this;
  if (QTabWidget* tabs = TabsOf(this)) {
    syncing_ = true;
    tabs->addTab(page->Private()->widget, gui::QtText(page->Caption()));
    syncing_ = false;
  }
  UpdateTab(page);
  if (!active_ && page->TabVisible()) SetActivePage(page);
  if (QTabWidget* tabs = TabsOf(this); tabs && active_) {
    syncing_ = true;
    tabs->setCurrentWidget(active_->Private()->widget);
    syncing_ = false;
  }
}

void TPageControl::RemovePage(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  pages_.erase(it);
  page->pageControl_ = nullptr;
  if (QTabWidget* tabs = TabsOf(this)) {
    syncing_ = true;
    int i = tabs->indexOf(page->Private()->widget);
    if (i >= 0) tabs->removeTab(i);
    syncing_ = false;
  }
  if (active_ == page) {
    active_ = nullptr;
    if (!Private()->eventsDetached) SetActivePage(FindNextPage(nullptr, true, true));
  }
}

void TPageControl::UpdateTab(TTabSheet* page) {
  QTabWidget* tabs = TabsOf(this);
  if (!tabs) return;
  int i = tabs->indexOf(page->Private()->widget);
  if (i < 0) return;
  tabs->setTabText(i, gui::QtText(page->Caption()));
  tabs->setTabVisible(i, page->TabVisible());
  QIcon icon;
  if (images_)
    if (const TBitmap* b = images_->ImageWithAlpha(page->ImageIndex()))
      icon = QIcon(QPixmap::fromImage(BitmapToQImage(*b, true)));
  tabs->setTabIcon(i, icon);
}

bool TPageControl::UserSelectsPage(TTabSheet* page) {
  if (syncing_ || page == active_) return true;
  bool allow = true;
  if (OnChanging) gui::SafeCall(this, [&] { OnChanging(this, allow); });
  if (!allow) {
    if (QTabWidget* tabs = TabsOf(this); tabs && active_) {
      syncing_ = true;
      tabs->setCurrentWidget(active_->Private()->widget);
      syncing_ = false;
    }
    return false;
  }
  SetActivePage(page);
  if (OnChange) gui::SafeCall(this, [this] { OnChange(this); });
  return true;
}

// ===========================================================================
// Status bar
// ===========================================================================
namespace {
class StatusBarWidget : public HostWidget<QWidget> {
 public:
  explicit StatusBarWidget(TControl* bar) : HostWidget<QWidget>(bar) { setAutoFillBackground(true); }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (auto* bar = static_cast<TStatusBar*>(control())) bar->PaintBar();
  }
};
void MakeStatusBarWidget(TControl* c) { gui::AttachWidget(c, new StatusBarWidget(c)); }
}  // namespace

void TStatusPanel::SetText(const std::string& s) {
  if (s == text_) return;
  text_ = s;
  if (bar_) bar_->PanelsChanged();
}
void TStatusPanel::SetWidth(int w) {
  width_ = std::max(0, w);
  if (bar_) bar_->PanelsChanged();
}
void TStatusPanel::SetAlignment(TAlignment a) {
  alignment_ = a;
  if (bar_) bar_->PanelsChanged();
}
void TStatusPanel::SetBevel(TStatusPanelBevel b) {
  bevel_ = b;
  if (bar_) bar_->PanelsChanged();
}
void TStatusPanel::SetStyle(TStatusPanelStyle s) {
  style_ = s;
  if (bar_) bar_->PanelsChanged();
}

TStatusPanels::~TStatusPanels() {
  for (TStatusPanel* p : panels_) delete p;
}
TStatusPanel* TStatusPanels::Add() {
  auto* p = new TStatusPanel();
  p->bar_ = bar_;
  p->index_ = Count();
  panels_.push_back(p);
  bar_->PanelsChanged();
  return p;
}
TStatusPanel* TStatusPanels::Items(int index) const {
  if (index < 0 || index >= Count()) gui::ListIndexError(index);
  return panels_[size_t(index)];
}
void TStatusPanels::Delete(int index) {
  delete Items(index);
  panels_.erase(panels_.begin() + index);
  for (int i = 0; i < Count(); ++i) panels_[size_t(i)]->index_ = i;
  bar_->PanelsChanged();
}
void TStatusPanels::Clear() {
  for (TStatusPanel* p : panels_) delete p;
  panels_.clear();
  bar_->PanelsChanged();
}

TStatusBar::TStatusBar(TComponent* AOwner)
    : TWinControl(AOwner, &MakeStatusBarWidget), panels_(std::make_unique<TStatusPanels>(this)) {
  Private()->color = clBtnFace;
  ColorChanged();
  SetBounds(0, 0, 200, 19);
  SetAlign(alBottom);
}
TStatusBar::~TStatusBar() { DetachEvents(); }
void TStatusBar::SetSimplePanel(bool v) {
  simplePanel_ = v;
  Invalidate();
}
void TStatusBar::SetSimpleText(const std::string& s) {
  simpleText_ = s;
  Repaint();
}
void TStatusBar::SetSizeGrip(bool v) {
  sizeGrip_ = v;
  Invalidate();
}
void TStatusBar::PanelsChanged() { Invalidate(); }
bool TStatusBar::TextRoom(TSize& needed, TSize& room) const {
  if (!simplePanel_ || simpleText_.empty()) return false;
  const QFontMetrics fm(ToQFont(*Font()));
  // The text's margins as PaintBar draws it, and the grip's corner.
  needed = TSize{fm.horizontalAdvance(gui::QtText(simpleText_)) + 7 + (sizeGrip_ ? ClientHeight() : 0), fm.height()};
  room = TSize{ClientWidth(), ClientHeight()};
  return true;
}
TCanvas* TStatusBar::Canvas() const { return Private()->ensureCanvas(); }

TRect TStatusBar::PanelRect(int index) const {
  if (index < 0 || index >= panels_->Count()) return TRect();
  int x = 0;
  for (int i = 0; i < index; ++i) x += panels_->Items(i)->Width();
  int right = index == panels_->Count() - 1 ? std::max(x + panels_->Items(index)->Width(), ClientWidth())
                                            : x + panels_->Items(index)->Width();
  return Rect(x, 2, right, ClientHeight());
}

void TStatusBar::PaintBar() {
  QWidget* w = Private()->widget;
  if (!w) return;
  QPainter p(w);
  p.setFont(ToQFont(*Font()));
  const QColor text = ToQColor(Font()->Color());
  const QColor shadow = ToQColor(clBtnShadow), light = ToQColor(clBtnHighlight);
  auto drawPanel = [&](const TRect& r, const std::string& s, TAlignment a, TStatusPanelBevel bevel) {
    QRect q(r.Left, r.Top, r.Width() - 2, r.Height());
    if (bevel != pbNone) {
      p.setPen(bevel == pbLowered ? shadow : light);
      p.drawLine(q.topLeft(), q.topRight());
      p.drawLine(q.topLeft(), q.bottomLeft());
      p.setPen(bevel == pbLowered ? light : shadow);
      p.drawLine(q.bottomLeft(), q.bottomRight());
      p.drawLine(q.topRight(), q.bottomRight());
    }
    p.setPen(text);
    int flags = Qt::AlignVCenter | Qt::TextSingleLine |
                (a == taRightJustify ? Qt::AlignRight : a == taCenter ? Qt::AlignHCenter : Qt::AlignLeft);
    p.drawText(q.adjusted(3, 1, -2, -1), flags, gui::QtText(s));
  };
  if (simplePanel_) {
    drawPanel(Rect(0, 2, ClientWidth(), ClientHeight()), simpleText_, taLeftJustify, pbNone);
  } else {
    for (int i = 0; i < panels_->Count(); ++i) {
      TStatusPanel* panel = panels_->Items(i);
      TRect r = PanelRect(i);
      if (panel->Style() == psOwnerDraw && OnDrawPanel) {
        Private()->paintWithCanvas(p, QRect(r.Left, r.Top, r.Width(), r.Height()), [&] { OnDrawPanel(this, panel, r); });
      } else {
        drawPanel(r, panel->Text(), panel->Alignment(), panel->Bevel());
      }
    }
  }
  if (sizeGrip_) {
    QStyleOption opt;
    opt.initFrom(w);
    opt.rect = QRect(w->width() - 14, w->height() - 14, 14, 14);
    w->style()->drawControl(QStyle::CE_SizeGrip, &opt, &p, w);
  }
}

// ===========================================================================
// Progress bar
// ===========================================================================
namespace {
class ProgressWidget : public HostWidget<QProgressBar> {
 public:
  explicit ProgressWidget(TControl* c) : HostWidget<QProgressBar>(c) { setTextVisible(false); }
};
void MakeProgressWidget(TControl* c) { gui::AttachWidget(c, new ProgressWidget(c)); }
}  // namespace

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner, &MakeProgressWidget) {
  SetBounds(0, 0, 150, 16);
  apply();
}
void TProgressBar::apply() {
  if (auto* w = qobject_cast<QProgressBar*>(Private()->widget.data())) {
    w->setRange(min_, std::max(min_, max_));
    w->setValue(std::clamp(position_, min_, std::max(min_, max_)));
    w->setOrientation(orientation_ == pbVertical ? Qt::Vertical : Qt::Horizontal);
  }
}
void TProgressBar::SetMin(int v) {
  min_ = v;
  position_ = std::max(position_, min_);
  apply();
}
void TProgressBar::SetMax(int v) {
  max_ = v;
  position_ = std::min(position_, std::max(min_, max_));
  apply();
}
void TProgressBar::SetPosition(int v) {
  position_ = std::clamp(v, min_, std::max(min_, max_));
  apply();
}
void TProgressBar::StepIt() {
  // Stepping past the end starts again at the beginning, as the class library's bar does.
  int next = position_ + step_;
  if (next > max_) next = min_ + (next - max_) % std::max(1, max_ - min_);
  position_ = next;
  apply();
}
void TProgressBar::StepBy(int delta) { SetPosition(position_ + delta); }
void TProgressBar::SetOrientation(TProgressBarOrientation o) {
  orientation_ = o;
  apply();
}

// ===========================================================================
// Track bar
// ===========================================================================
namespace {
class SliderWidget : public HostWidget<QSlider> {
 public:
  explicit SliderWidget(TControl* c) : HostWidget<QSlider>(c, Qt::Horizontal) {}

 protected:
  // A click on the track moves one page. The change handler may handle messages (a preview
  // rebuilt) before the toolkit, after that first step, starts repeating it for a held
  // button: a release handled meanwhile ends the repeat, or it would run on to the pointer.
  void mousePressEvent(QMouseEvent* e) override {
    QPointer<QSlider> guard(this);
    pressing_ = true;
    released_ = false;
    QSlider::mousePressEvent(e);
    if (!guard) return;
    pressing_ = false;
    if (released_) setRepeatAction(SliderNoAction);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    released_ = pressing_;
    QSlider::mouseReleaseEvent(e);
  }

 private:
  bool pressing_ = false, released_ = false;
};
void MakeSliderWidget(TControl* c) {
  auto* w = new SliderWidget(c);
  gui::AttachWidget(c, w);
  QObject::connect(w, &QSlider::valueChanged, w, [c, w](int v) {
    if (!w->control()) return;
    auto* tb = static_cast<TTrackBar*>(c);
    if (v != tb->Position()) gui::SafeCall(tb, [tb, v] { tb->SetPosition(v); });
  });
}
}  // namespace

TTrackBar::TTrackBar(TComponent* AOwner) : TWinControl(AOwner, &MakeSliderWidget) {
  Private()->clickOnMouseUp = false;
  SetTabStop(true);
  SetBounds(0, 0, 150, 45);
  apply();
}
void TTrackBar::apply() {
  auto* w = qobject_cast<QSlider*>(Private()->widget.data());
  if (!w) return;
  QSignalBlocker block(w);
  w->setRange(min_, std::max(min_, max_));
  w->setValue(position_);
  w->setSingleStep(lineSize_);
  w->setPageStep(pageSize_);
  w->setTickInterval(frequency_);
  w->setTickPosition(tickStyle_ == tsNone ? QSlider::NoTicks : QSlider::TicksBelow);
  w->setOrientation(orientation_ == trVertical ? Qt::Vertical : Qt::Horizontal);
}
// Min above Max is refused, as the class library's track bar does.
void TTrackBar::SetMin(int v) {
  if (v > max_) throw EInvalidOperation(_("TTrackBar property out of range"));
  min_ = v;
  apply();
  if (position_ < min_) SetPosition(min_);
}
void TTrackBar::SetMax(int v) {
  if (v < min_) throw EInvalidOperation(_("TTrackBar property out of range"));
  max_ = v;
  apply();
  if (position_ > max_) SetPosition(max_);
}
void TTrackBar::SetPosition(int v) {
  v = std::clamp(v, min_, std::max(min_, max_));
  if (v == position_) return;
  position_ = v;
  apply();
  Changed();
}
void TTrackBar::SetFrequency(int v) {
  frequency_ = v;
  apply();
}
void TTrackBar::SetLineSize(int v) {
  lineSize_ = v;
  apply();
}
void TTrackBar::SetPageSize(int v) {
  pageSize_ = v;
  apply();
}
void TTrackBar::SetOrientation(TTrackBarOrientation o) {
  orientation_ = o;
  apply();
}
void TTrackBar::SetTickStyle(TTickStyle t) {
  tickStyle_ = t;
  apply();
}
void TTrackBar::Changed() {
  if (OnChange) OnChange(this);
}

// ===========================================================================
// Tool bar
// ===========================================================================
TToolButton::TToolButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  Private()->clickOnMouseUp = true;
  SetBounds(0, 0, 23, 22);
}
TToolButton::~TToolButton() { DetachEvents(); }

static TToolBar* ToolBarOf(const TToolButton* b) { return dynamic_cast<TToolBar*>(b->Parent()); }

void TToolButton::SetStyle(TToolButtonStyle s) {
  style_ = s;
  if (TToolBar* tb = ToolBarOf(this)) tb->AlignControls();
  Invalidate();
}
void TToolButton::SetDown(bool v) {
  if (v == down_) return;
  down_ = v;
  if (v && grouped_)
    if (TToolBar* tb = ToolBarOf(this))
      for (int i = 0; i < tb->ButtonCount(); ++i)
        if (TToolButton* o = tb->Buttons(i); o != this && o->grouped_ && o->style_ == tbsCheck) o->SetDown(false);
  Invalidate();
}
void TToolButton::SetImageIndex(int i) {
  imageIndex_ = i;
  Invalidate();
}
void TToolButton::Click() {
  if (style_ == tbsSeparator || style_ == tbsDivider) return;
  if (style_ == tbsCheck) {
    if (!down_)
      SetDown(true);
    else if (!grouped_ || allowAllUp_)
      SetDown(false);
  }
  TGraphicControl::Click();
}
void TToolButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) pressed_ = true;
  Invalidate();
  TGraphicControl::MouseDown(Button, Shift, X, Y);
}
void TToolButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  pressed_ = false;
  Invalidate();
  TGraphicControl::MouseUp(Button, Shift, X, Y);
}
void TToolButton::MouseEnter() {
  hot_ = true;
  Invalidate();
  TGraphicControl::MouseEnter();
}
void TToolButton::MouseLeave() {
  hot_ = false;
  Invalidate();
  TGraphicControl::MouseLeave();
}
void TToolButton::TextChanged() { Invalidate(); }

void TToolButton::Paint() {
  TCanvas* c = TGraphicControl::Canvas();
  const int w = Width(), h = Height();
  if (style_ == tbsSeparator || style_ == tbsDivider) {
    if (style_ == tbsDivider) {
      c->Pen().SetColor(clBtnShadow);
      c->MoveTo(w / 2 - 1, 2);
      c->LineTo(w / 2 - 1, h - 2);
      c->Pen().SetColor(clBtnHighlight);
      c->MoveTo(w / 2, 2);
      c->LineTo(w / 2, h - 2);
    }
    return;
  }
  TToolBar* tb = ToolBarOf(this);
  bool flat = !tb || tb->Flat();
  bool sunk = (pressed_ && hot_) || down_;
  if (sunk || hot_ || !flat) {
    TRect r = Rect(0, 0, w, h);
    Frame3D(*c, r, sunk ? clBtnShadow : clBtnHighlight, sunk ? clBtnHighlight : clBtnShadow, 1);
  }
  int off = sunk ? 1 : 0;
  TImageList* images = tb ? tb->Images() : nullptr;
  int textTop = h / 2;
  if (images && imageIndex_ >= 0 && imageIndex_ < images->Count()) {
    const bool captions = tb && tb->ShowCaptions();
    int x = (w - images->Width()) / 2 + off;
    int y = captions ? 3 + off : (h - images->Height()) / 2 + off;
    images->Draw(c, x, y, imageIndex_, Enabled());
    textTop = y + images->Height() + 1;
  }
  if ((!images || (tb && tb->ShowCaptions())) && !Caption().empty()) {
    std::string text = StripHotkey(Caption());
    c->Font().Assign(Font());
    if (!Enabled()) c->Font().SetColor(clGrayText);
    c->Brush().SetStyle(bsClear);
    int tw = c->TextWidth(text), th = c->TextHeight(text);
    int y = images ? textTop : (h - th) / 2;
    c->TextOut((w - tw) / 2 + off, y + off, text);
    c->Brush().SetStyle(bsSolid);
  }
}

TToolBar::TToolBar(TComponent* AOwner) : TWinControl(AOwner) {
  Private()->parentColor = true;
  SetBounds(0, 0, 150, 29);
  SetAlign(alTop);
}
int TToolBar::ButtonCount() const {
  int n = 0;
  for (int i = 0; i < ControlCount(); ++i)
    if (dynamic_cast<TToolButton*>(Controls(i))) ++n;
  return n;
}
TToolButton* TToolBar::Buttons(int index) const {
  int n = 0;
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* b = dynamic_cast<TToolButton*>(Controls(i))) {
      if (n == index) return b;
      ++n;
    }
  gui::ListIndexError(index);
}
void TToolBar::SetButtonWidth(int w) {
  buttonWidth_ = std::max(1, w);
  AlignControls();
}
void TToolBar::SetButtonHeight(int h) {
  buttonHeight_ = std::max(1, h);
  AlignControls();
}
void TToolBar::SetShowCaptions(bool v) {
  showCaptions_ = v;
  AlignControls();
  Invalidate();
}
void TToolBar::SetFlat(bool v) {
  flat_ = v;
  for (int i = 0; i < ButtonCount(); ++i) Buttons(i)->Invalidate();
}
void TToolBar::SetImages(TImageList* images) {
  images_ = images;
  if (images && buttonHeight_ < images->Height() + 6) buttonHeight_ = images->Height() + 6;
  AlignControls();
  for (int i = 0; i < ButtonCount(); ++i) Buttons(i)->Invalidate();
}
void TToolBar::SetWrapable(bool v) {
  wrapable_ = v;
  AlignControls();
}
int TToolBar::spanOf(const TToolButton* b) const {
  return b->Style() == tbsSeparator || b->Style() == tbsDivider ? 8 : buttonWidth_;
}

int TToolBar::RowWidth() const {
  int width = 0;
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* b = dynamic_cast<TToolButton*>(Controls(i)); b && b->Visible()) width += spanOf(b);
  return width;
}

void TToolBar::ControlListChanged(TControl* control, bool inserted) {
  TWinControl::ControlListChanged(control, inserted);
  if (dynamic_cast<TToolButton*>(control)) AlignControls();
}

void TToolBar::AlignControls() {
  TWinControl::AlignControls();
  int x = 0, y = 2;
  for (int i = 0; i < ControlCount(); ++i) {
    auto* b = dynamic_cast<TToolButton*>(Controls(i));
    if (!b || !b->Visible()) continue;
    int w = spanOf(b);
    if (wrapable_ && x > 0 && x + w > ClientWidth()) {
      x = 0;
      y += buttonHeight_;
    }
    b->SetBounds(x, y, w, buttonHeight_);
    x += w;
  }
}

// ===========================================================================
// Rich edit
// ===========================================================================
TRichEdit::TRichEdit(TComponent* AOwner) : TMemo(AOwner) {}

// ===========================================================================
// List view (report style)
// ===========================================================================
struct TListViewPrivate {
  TViewStyle viewStyle = vsReport;
  bool readOnly = true, rowSelect = true, multiSelect = false, hideSelection = true, gridLines = false;
  int quiet = 0;
  TImageList* smallImages = nullptr;
  std::map<int, QIcon> icons;  // the images as icons, made on first use
  int sortColumn = -1;
  bool sortDescending = false;
  TListItem* editing = nullptr;
  bool stale = false;  // items changed inside an update; the window is rebuilt at its end
};

namespace {

constexpr int kListItemRole = Qt::UserRole + 2;

QIcon ListIcon(TListView* view, int index);

// A row of the window: its texts, icon and alignment are read from the TListItem when the
// view asks for them, so making, sorting and freeing thousands of rows stores nothing twice.
class ListRowItem : public QTreeWidgetItem {
 public:
  explicit ListRowItem(TListItem* li) : QTreeWidgetItem(QTreeWidgetItem::UserType), li_(li) {}
  QVariant data(int column, int role) const override {
    switch (role) {
      case kListItemRole: return column == 0 ? QVariant::fromValue(quintptr(li_)) : QVariant();
      case Qt::DisplayRole:
      case Qt::EditRole: {
        if (column == 0) return gui::QtText(li_->Caption());
        TStrings* sub = li_->SubItems();
        return column - 1 < sub->Count() ? QVariant(gui::QtText(sub->Strings(column - 1))) : QVariant(QString());
      }
      case Qt::DecorationRole:
        return column == 0 && li_->ImageIndex() >= 0 ? QVariant(ListIcon(li_->ListView(), li_->ImageIndex()))
                                                     : QVariant();
      case Qt::TextAlignmentRole: {
        TListColumns* columns = li_->ListView()->Columns();
        if (column < 0 || column >= columns->Count()) return QVariant();
        TAlignment a = columns->Items(column)->Alignment();
        return int((a == taRightJustify ? Qt::AlignRight : a == taCenter ? Qt::AlignHCenter : Qt::AlignLeft) |
                   Qt::AlignVCenter);
      }
      default: return QTreeWidgetItem::data(column, role);
    }
  }
  void setData(int column, int role, const QVariant& value) override {
    // An edited caption is kept for the end of editing; the item's text stays its own.
    if (role == Qt::EditRole || role == Qt::DisplayRole) {
      if (column == 0) edited = value.toString();
      return;
    }
    QTreeWidgetItem::setData(column, role, value);
  }
  // The item's texts changed: the view asks again.
  void changed() { emitDataChanged(); }
  TListItem* li_;
  QString edited;
};

TListItem* ListItemOf(const QTreeWidgetItem* item) {
  if (!item) return nullptr;
  if (item->type() == QTreeWidgetItem::UserType) return static_cast<const ListRowItem*>(item)->li_;
  return reinterpret_cast<TListItem*>(item->data(0, kListItemRole).value<quintptr>());
}

class ReportWidget : public HostScrollArea<QTreeWidget> {
 public:
  explicit ReportWidget(TControl* owner) : HostScrollArea<QTreeWidget>(owner), owner_(owner) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int i) {
      TListView* v = view();
      if (v->OnColumnClick && i >= 0 && i < v->Columns()->Count())
        gui::SafeCall(v, [v, i] { v->OnColumnClick(v, v->Columns()->Items(i)); });
    });
  }
  TListView* view() const { return static_cast<TListView*>(owner_); }
  QTreeWidgetItem* qtItemAt(int index) const { return topLevelItem(index); }
  QTreeWidgetItem* qtItem(const TListItem* item) const {
    int i = view()->Items()->IndexOf(item);
    return i >= 0 ? topLevelItem(i) : nullptr;
  }
  QTreeWidgetItem* qtItem(const QModelIndex& index) const { return itemFromIndex(index); }
  QModelIndex indexOf(QTreeWidgetItem* item) const { return indexFromItem(item); }
  // The view the user sees: the report, or in the list style the list over it.
  QAbstractItemView* shown() const {
    if (list_ && !list_->isHidden()) return list_;
    return const_cast<ReportWidget*>(this);
  }
  // The list style: the captions in columns that fill the window from top to bottom and
  // then to the right, each column as wide as its longest caption, without a header. A
  // list of the same rows and the same selection lies over the report and takes the
  // mouse and the keys while it shows.
  void setListStyle(bool on) {
    if (on && !list_) {
      list_ = new HostScrollArea<QListView>(owner_, this);
      list_->setModel(model());
      list_->setSelectionModel(selectionModel());
      list_->setViewMode(QListView::ListMode);
      list_->setFlow(QListView::TopToBottom);
      list_->setWrapping(true);
      list_->setResizeMode(QListView::Adjust);
      list_->setMovement(QListView::Static);
      list_->setWordWrap(false);
      list_->setTextElideMode(Qt::ElideNone);
      list_->setSpacing(1);
      list_->setFrameShape(QFrame::NoFrame);
      list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
      list_->viewport()->setBackgroundRole(viewport()->backgroundRole());
      list_->setMouseTracking(true);
    }
    if (!list_) return;
    if (on) {
      list_->setSelectionMode(selectionMode());
      list_->setIconSize(iconSize());
      list_->setGeometry(contentsRect());
      list_->show();
      list_->raise();
      setFocusProxy(list_);
    } else {
      setFocusProxy(nullptr);
      list_->hide();
    }
    header()->setVisible(!on);
    gui::AttachWidget(owner_, this, on ? list_->viewport() : viewport());
  }
  QListView* list() const { return list_; }

 protected:
  void resizeEvent(QResizeEvent* e) override {
    QTreeWidget::resizeEvent(e);
    if (list_) list_->setGeometry(contentsRect());
  }
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override {
    QTreeWidget::closeEditor(editor, hint);
    TListView* v = view();
    TListItem* li = v->ViewPrivate()->editing;
    v->ViewPrivate()->editing = nullptr;
    QTreeWidgetItem* qi = li ? qtItem(li) : nullptr;
    if (!qi) return;
    ++v->ViewPrivate()->quiet;
    auto* row = static_cast<ListRowItem*>(qi);
    const std::string text = row->edited.toStdString();
    qi->setFlags(qi->flags() & ~Qt::ItemIsEditable);
    row->changed();
    --v->ViewPrivate()->quiet;
    if (hint == QAbstractItemDelegate::RevertModelCache) return;
    std::string s = text;
    gui::SafeCall(v, [&] { v->Edit(li, s); });
  }
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override {
    QTreeWidget::selectionChanged(selected, deselected);
    TListView* view_ = view();
    TListViewPrivate* d = view_->ViewPrivate();
    if (d->quiet) return;
    // The selection model is asked: the items' own flags follow only after this step.
    for (int i = 0; i < topLevelItemCount(); ++i) {
      QTreeWidgetItem* qi = topLevelItem(i);
      TListItem* li = ListItemOf(qi);
      const bool now = selectionModel()->isSelected(indexFromItem(qi));
      if (!li || li->Selected() == now) continue;
      li->SetSelected(now);
      if (view_->OnSelectItem) gui::SafeCall(view_, [&] { view_->OnSelectItem(view_, li, now); });
    }
  }

 private:
  TControl* owner_;
  QListView* list_ = nullptr;
};

ReportWidget* ReportOf(const TListView* v) { return dynamic_cast<ReportWidget*>(v->Private()->widget.data()); }

void MakeReportWidget(TControl* c) {
  auto* w = new ReportWidget(c);
  gui::AttachWidget(c, w, w->viewport());
}

QIcon ListIcon(TListView* view, int index) {
  TListViewPrivate* d = view->ViewPrivate();
  if (!d->smallImages || index < 0 || index >= d->smallImages->Count()) return QIcon();
  auto it = d->icons.find(index);
  if (it != d->icons.end()) return it->second;
  QIcon icon;
  if (const TBitmap* bmp = d->smallImages->ImageWithAlpha(index))
    icon = QIcon(QPixmap::fromImage(BitmapToQImage(*bmp, true)));
  return d->icons[index] = icon;
}

}  // namespace

void TListColumn::SetCaption(const std::string& s) {
  caption_ = s;
  if (view_) view_->ColumnsChanged();
}
void TListColumn::SetWidth(int w) {
  width_ = w;
  if (view_) view_->ColumnsChanged();
}
void TListColumn::SetAlignment(TAlignment a) {
  alignment_ = a;
  if (view_) view_->Rebuild();
}

TListColumns::~TListColumns() {
  for (TListColumn* c : columns_) delete c;
}
TListColumn* TListColumns::Add() {
  auto* c = new TListColumn();
  c->view_ = view_;
  c->index_ = Count();
  columns_.push_back(c);
  view_->ColumnsChanged();
  return c;
}
TListColumn* TListColumns::Items(int index) const {
  if (index < 0 || index >= Count()) gui::ListIndexError(index);
  return columns_[size_t(index)];
}
void TListColumns::Clear() {
  for (TListColumn* c : columns_) delete c;
  columns_.clear();
  view_->ColumnsChanged();
}

TListItem::TListItem(TListView* view) : view_(view), subItems_(std::make_unique<TStringList>()) {
  static_cast<TStringList*>(subItems_.get())->OnChange = [this](TObject*) { view_->ItemChanged(this); };
}
TListItem::~TListItem() { static_cast<TStringList*>(subItems_.get())->OnChange = nullptr; }
void TListItem::reset() {
  auto* lines = static_cast<TStringList*>(subItems_.get());
  TNotifyEvent notify = std::move(lines->OnChange);
  lines->OnChange = nullptr;
  lines->Clear();
  lines->OnChange = std::move(notify);
  caption_.clear();
  data_ = nullptr;
  imageIndex_ = -1;
  selected_ = false;
}
void TListItem::SetCaption(const std::string& s) {
  caption_ = s;
  view_->ItemChanged(this);
}
int TListItem::Index() const { return view_->Items()->IndexOf(this); }
void TListItem::SetImageIndex(int i) {
  imageIndex_ = i;
  view_->ItemChanged(this);
}
bool TListItem::Selected() const { return selected_; }
void TListItem::SetSelected(bool v) {
  selected_ = v;
  if (ReportWidget* w = ReportOf(view_))
    if (QTreeWidgetItem* qi = w->qtItem(this); qi && qi->isSelected() != v) {
      ++view_->ViewPrivate()->quiet;
      if (v && !view_->MultiSelect()) {
        for (int i = 0; i < view_->Items()->Count(); ++i) view_->Items()->Item(i)->selected_ = false;
        selected_ = true;
        w->setCurrentItem(qi);
      }
      qi->setSelected(v);
      --view_->ViewPrivate()->quiet;
    }
}
bool TListItem::Focused() const {
  ReportWidget* w = ReportOf(view_);
  return w && w->currentItem() == w->qtItem(this);
}
void TListItem::SetFocused(bool v) {
  if (ReportWidget* w = ReportOf(view_); w && v) {
    ++view_->ViewPrivate()->quiet;
    w->setCurrentItem(w->qtItem(this), 0, QItemSelectionModel::NoUpdate);
    --view_->ViewPrivate()->quiet;
  }
}
void TListItem::Delete() { view_->Items()->Delete(Index()); }
void TListItem::MakeVisible(bool) {
  if (ReportWidget* w = ReportOf(view_))
    if (QTreeWidgetItem* qi = w->qtItem(this)) w->shown()->scrollTo(w->indexOf(qi));
}

TListItems::~TListItems() {
  for (TListItem* i : items_) delete i;
  for (TListItem* i : spare_) delete i;
}
TListItem* TListItems::Add() { return Insert(Count()); }
TListItem* TListItems::Insert(int index) {
  index = std::clamp(index, 0, Count());
  TListItem* item;
  if (spare_.empty()) {
    item = new TListItem(view_);
  } else {
    // Made new where it is used again, while the caller fills it.
    item = spare_.back();
    spare_.pop_back();
    item->reset();
  }
  items_.insert(items_.begin() + index, item);
  if (updateCount_ > 0) {
    view_->ViewPrivate()->stale = true;
  } else if (ReportWidget* w = ReportOf(view_)) {
    w->insertTopLevelItem(index, new ListRowItem(item));
  }
  return item;
}
TListItem* TListItems::Item(int index) const {
  if (index < 0 || index >= Count()) gui::ListIndexError(index);
  return items_[size_t(index)];
}
void TListItems::Delete(int index) {
  TListItem* item = Item(index);
  items_.erase(items_.begin() + index);
  if (view_->ViewPrivate()->editing == item) view_->ViewPrivate()->editing = nullptr;
  if (updateCount_ > 0) {
    view_->ViewPrivate()->stale = true;
  } else if (ReportWidget* w = ReportOf(view_)) {
    ++view_->ViewPrivate()->quiet;
    delete w->takeTopLevelItem(index);
    --view_->ViewPrivate()->quiet;
  }
  delete item;
}
void TListItems::Clear() {
  if (ReportWidget* w = ReportOf(view_)) {
    ++view_->ViewPrivate()->quiet;
    if (updateCount_ > 0 && spare_.size() + items_.size() <= kMaxSpare) {
      // Inside an update the window's rows stay for the rebuild at its end, which gives
      // them the items then present; until then they show items kept as spares.
      w->clearSelection();
      w->selectionModel()->clearCurrentIndex();
      view_->ViewPrivate()->stale = true;
    } else {
      w->clear();
    }
    --view_->ViewPrivate()->quiet;
  }
  view_->ViewPrivate()->editing = nullptr;
  for (TListItem* i : items_) {
    if (spare_.size() < kMaxSpare) {
      spare_.push_back(i);
    } else {
      delete i;
    }
  }
  items_.clear();
}
int TListItems::IndexOf(const TListItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : int(it - items_.begin());
}
void TListItems::BeginUpdate() {
  if (updateCount_++ == 0)
    if (ReportWidget* w = ReportOf(view_)) w->setUpdatesEnabled(false);
}
void TListItems::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) {
    // Rows added or changed inside the update reach the window in one rebuild.
    if (view_->ViewPrivate()->stale) view_->Rebuild();
    if (ReportWidget* w = ReportOf(view_)) w->setUpdatesEnabled(true);
  }
}

TListView::TListView(TComponent* AOwner)
    : TWinControl(AOwner, &MakeReportWidget),
      view_(std::make_unique<TListViewPrivate>()),
      columns_(std::make_unique<TListColumns>(this)),
      items_(std::make_unique<TListItems>(this)) {
  Private()->color = clWindow;
  Private()->nativePressFirst = true;
  if (ReportWidget* w = ReportOf(this)) Private()->frame = w->frameWidth();
  SetTabStop(true);
  SetBounds(0, 0, 250, 150);
}
TListView::~TListView() {
  DetachEvents();
  ++view_->quiet;
  items_.reset();
  columns_.reset();
}

TViewStyle TListView::ViewStyle() const { return view_->viewStyle; }
void TListView::SetViewStyle(TViewStyle v) {
  view_->viewStyle = v;
  if (ReportWidget* w = ReportOf(this)) w->setListStyle(v == vsList);
}
bool TListView::ReadOnly() const { return view_->readOnly; }
void TListView::SetReadOnly(bool v) { view_->readOnly = v; }
bool TListView::RowSelect() const { return view_->rowSelect; }
void TListView::SetRowSelect(bool v) { view_->rowSelect = v; }
bool TListView::MultiSelect() const { return view_->multiSelect; }
void TListView::SetMultiSelect(bool v) {
  view_->multiSelect = v;
  if (ReportWidget* w = ReportOf(this)) {
    w->setSelectionMode(v ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    if (w->list()) w->list()->setSelectionMode(w->selectionMode());
  }
}
bool TListView::HideSelection() const { return view_->hideSelection; }
void TListView::SetHideSelection(bool v) { view_->hideSelection = v; }
bool TListView::GridLines() const { return view_->gridLines; }
void TListView::SetGridLines(bool v) { view_->gridLines = v; }

int TListView::SelCount() const {
  int n = 0;
  for (int i = 0; i < items_->Count(); ++i)
    if (items_->Item(i)->Selected()) ++n;
  return n;
}
TListItem* TListView::Selected() const {
  for (int i = 0; i < items_->Count(); ++i)
    if (items_->Item(i)->Selected()) return items_->Item(i);
  return nullptr;
}
void TListView::SetSelected(TListItem* item) {
  ++view_->quiet;
  for (int i = 0; i < items_->Count(); ++i) items_->Item(i)->SetSelected(false);
  --view_->quiet;
  if (item) item->SetSelected(true);
}
TListItem* TListView::ItemFocused() const {
  ReportWidget* w = ReportOf(this);
  return w ? ListItemOf(w->currentItem()) : nullptr;
}
void TListView::SetItemFocused(TListItem* item) {
  if (item) item->SetFocused(true);
}
TListItem* TListView::GetItemAt(int X, int Y) const {
  ReportWidget* w = ReportOf(this);
  return w ? ListItemOf(w->qtItem(w->shown()->indexAt(QPoint(X, Y)))) : nullptr;
}
THitTests TListView::GetHitTestInfoAt(int X, int Y) const {
  if (X < 0 || Y < 0 || X >= ClientWidth() || Y >= ClientHeight()) return THitTests{htNowhere};
  return GetItemAt(X, Y) ? THitTests{htOnItem, htOnLabel} : THitTests{htNowhere};
}

TImageList* TListView::SmallImages() const { return view_->smallImages; }
void TListView::SetSmallImages(TImageList* images) {
  view_->smallImages = images;
  view_->icons.clear();
  if (ReportWidget* w = ReportOf(this)) {
    w->setIconSize(images ? QSize(images->Width(), images->Height()) : QSize());
    if (w->list()) w->list()->setIconSize(w->iconSize());
  }
  Rebuild();
}
void TListView::SetSortMark(int column, bool descending) {
  view_->sortColumn = column;
  view_->sortDescending = descending;
  if (ReportWidget* w = ReportOf(this)) {
    w->header()->setSortIndicatorShown(column >= 0);
    // The style draws Qt's ascending mark as an arrow pointing down: that arrow marks
    // a descending list here.
    if (column >= 0) w->header()->setSortIndicator(column, descending ? Qt::AscendingOrder : Qt::DescendingOrder);
    w->header()->viewport()->update();
  }
}
int TListView::SortMarkColumn() const { return view_->sortColumn; }
int TListView::CaptionWidth(int column) const {
  ReportWidget* w = ReportOf(this);
  if (!w || column < 0 || column >= w->header()->count()) return 0;
  QHeaderView* header = w->header();
  const bool marked = header->isSortIndicatorShown();
  header->setSortIndicatorShown(true);
  const int width = header->sectionSizeHint(column);
  header->setSortIndicatorShown(marked);
  return width;
}
bool TListView::CanEdit(TListItem* Item) {
  bool allow = !ReadOnly() && Item;
  if (allow && OnEditing) OnEditing(this, Item, allow);
  return allow;
}
void TListView::Edit(TListItem* Item, std::string& S) {
  if (OnEdited) OnEdited(this, Item, S);
  if (Item) Item->SetCaption(S);
}
bool TListView::EditCaption(TListItem* item) {
  ReportWidget* w = ReportOf(this);
  QTreeWidgetItem* qi = w && item ? w->qtItem(item) : nullptr;
  if (!qi || !CanEdit(item)) return false;
  view_->editing = item;
  static_cast<ListRowItem*>(qi)->edited = gui::QtText(item->Caption());
  qi->setFlags(qi->flags() | Qt::ItemIsEditable);
  w->editItem(qi, 0);
  return true;
}
bool TListView::IsEditing() const { return view_->editing != nullptr; }

bool TListView::CustomSort(const std::function<int(TListItem*, TListItem*)>& compare) {
  std::vector<TListItem*>& items = items_->items_;
  std::vector<size_t> order(items.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return compare(items[a], items[b]) < 0; });
  ApplyOrder(order);
  return true;
}

void TListView::ApplyOrder(const std::vector<size_t>& order) {
  std::vector<TListItem*>& items = items_->items_;
  if (order.size() != items.size()) return;
  std::vector<TListItem*> sorted(items.size());
  for (size_t i = 0; i < order.size(); ++i) sorted[i] = items[order[i]];
  items.swap(sorted);
  ReportWidget* w = ReportOf(this);
  if (items_->updateCount_ > 0 || view_->stale || !w || w->topLevelItemCount() != int(items.size())) {
    // Inside an update the window is rebuilt once at its end.
    if (items_->updateCount_ > 0)
      view_->stale = true;
    else
      Rebuild();
    return;
  }
  ++view_->quiet;
  if (!view_->editing) {
    // The window's rows stay where they are and each shows the item now at its place (a
    // row reads all it shows from its item when it is painted, all rows being of one
    // height); the selection and the current row follow their items. Nothing is taken
    // out of the window or put into it.
    TListItem* current = ListItemOf(w->currentItem());
    QAbstractItemModel* model = w->model();
    const int last = std::max(0, w->columnCount() - 1);
    QItemSelection selection;
    int currentRow = -1;
    for (int i = 0; i < int(items.size()); ++i) {
      static_cast<ListRowItem*>(w->topLevelItem(i))->li_ = items[size_t(i)];
      if (items[size_t(i)] == current) currentRow = i;
      if (!items[size_t(i)]->Selected()) continue;
      int end = i;
      while (end + 1 < int(items.size()) && items[size_t(end) + 1]->Selected()) {
        ++end;
        static_cast<ListRowItem*>(w->topLevelItem(end))->li_ = items[size_t(end)];
        if (items[size_t(end)] == current) currentRow = end;
      }
      selection.select(model->index(i, 0), model->index(end, last));
      i = end;
    }
    w->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (currentRow >= 0) w->setCurrentItem(w->topLevelItem(currentRow), 0, QItemSelectionModel::NoUpdate);
  } else {
    // The row being edited keeps its editor: the window's rows move to their new places.
    QTreeWidgetItem* current = w->currentItem();
    QList<QTreeWidgetItem*> old = w->invisibleRootItem()->takeChildren();
    QList<QTreeWidgetItem*> moved;
    moved.reserve(old.size());
    for (size_t i = 0; i < order.size(); ++i) moved << old[qsizetype(order[i])];
    w->addTopLevelItems(moved);
    for (int i = 0; i < moved.size(); ++i)
      if (items[size_t(i)]->Selected()) moved[i]->setSelected(true);
    if (current) w->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
  }
  w->viewport()->update();
  --view_->quiet;
}
bool TListView::AlphaSort() {
  return CustomSort([this](TListItem* a, TListItem* b) {
    if (OnCompare) {
      int r = 0;
      OnCompare(this, a, b, 0, r);
      return r;
    }
    return strcasecmp(a->Caption().c_str(), b->Caption().c_str());
  });
}
void TListView::Clear() { items_->Clear(); }
TListItem* TListView::TopItem() const { return GetItemAt(0, 0); }

void TListView::ColumnsChanged() {
  ReportWidget* w = ReportOf(this);
  if (!w || !columns_) return;
  w->setColumnCount(std::max(1, columns_->Count()));
  QStringList labels;
  for (int i = 0; i < columns_->Count(); ++i) labels << gui::QtText(columns_->Items(i)->Caption());
  w->setHeaderLabels(labels);
  for (int i = 0; i < columns_->Count(); ++i) w->header()->resizeSection(i, columns_->Items(i)->Width());
}

void TListView::ItemChanged(TListItem* item) {
  if (!items_) return;
  // Inside an update the window is rebuilt once at its end.
  if (items_->updateCount_ > 0) {
    view_->stale = true;
    return;
  }
  ReportWidget* w = ReportOf(this);
  if (!w) return;
  if (QTreeWidgetItem* qi = w->qtItem(item)) static_cast<ListRowItem*>(qi)->changed();
}

void TListView::Rebuild() {
  ReportWidget* w = ReportOf(this);
  if (!w || !items_) return;
  view_->stale = false;
  view_->editing = nullptr;
  ++view_->quiet;
  const std::vector<TListItem*>& items = items_->items_;
  const int want = int(items.size()), have = w->topLevelItemCount();
  if (have == 0 || want == 0) {
    w->clear();
    QList<QTreeWidgetItem*> all;
    all.reserve(qsizetype(want));
    for (TListItem* li : items) all << new ListRowItem(li);
    w->addTopLevelItems(all);
    // Only the selected rows are told (each call looks its row up among all of them).
    for (int i = 0; i < all.size(); ++i)
      if (items[size_t(i)]->Selected()) all[i]->setSelected(true);
  } else {
    // The window's rows are kept and each shows the item now at its place (a row reads
    // all it shows from its item when it is painted); rows are added or taken away at
    // the end only. The rows then stand as new ones would: the selected items selected,
    // no current row, scrolled to the top.
    QAbstractItemModel* model = w->model();
    if (have > want) model->removeRows(want, have - want);
    static const Qt::ItemFlags kNewRowFlags = QTreeWidgetItem().flags();
    for (int i = 0; i < std::min(have, want); ++i) {
      auto* row = static_cast<ListRowItem*>(w->topLevelItem(i));
      row->li_ = items[size_t(i)];
      row->edited.clear();
      if (row->flags() != kNewRowFlags) row->setFlags(kNewRowFlags);
    }
    if (want > have) {
      QList<QTreeWidgetItem*> added;
      added.reserve(qsizetype(want - have));
      for (int i = have; i < want; ++i) added << new ListRowItem(items[size_t(i)]);
      w->addTopLevelItems(added);
    }
    const int last = std::max(0, w->columnCount() - 1);
    QItemSelection selection;
    for (int i = 0; i < want; ++i)
      if (items[size_t(i)]->Selected()) selection.select(model->index(i, 0), model->index(i, last));
    w->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    w->selectionModel()->clearCurrentIndex();
    w->scrollToTop();
    w->viewport()->update();
  }
  --view_->quiet;
}
