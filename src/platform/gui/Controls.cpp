// TControl, TWinControl, TGraphicControl, TCustomControl: bounds, alignment, parents,
// fonts, colours, hints, painting through the canvas, and the mouse object.
#include <QApplication>
#include <QGuiApplication>
#include <QCursor>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleHints>

#include <algorithm>
#include <strings.h>

#include "platform/QtApplication.h"
#include "platform/graphics/CanvasQt.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/gui/Menus.h"

namespace {

class ContainerWidget : public HostWidget<QWidget> {
 public:
  explicit ContainerWidget(TControl* c) : HostWidget<QWidget>(c) {}
};

class PaintWidget : public HostWidget<QWidget> {
 public:
  PaintWidget(TControl* c, bool fill) : HostWidget<QWidget>(c) { setAutoFillBackground(fill); }

 protected:
  void paintEvent(QPaintEvent* e) override {
    TControl* c = control();
    if (!c) return;
    QPainter painter(this);
    c->Private()->paint(painter, e->rect());
  }
};

void MakeGraphicWidget(TControl* c) { gui::AttachWidget(c, gui::NewPaintWidget(c, false)); }
void MakeContainerWidget(TControl* c) { gui::AttachWidget(c, gui::NewContainerWidget(c)); }
void MakeCustomWidget(TControl* c) { gui::AttachWidget(c, gui::NewPaintWidget(c, true)); }

std::string ShortHint(const std::string& hint) {
  size_t bar = hint.find('|');
  return bar == std::string::npos ? hint : hint.substr(0, bar);
}

}  // namespace

QWidget* gui::NewContainerWidget(TControl* control) {
  auto* w = new ContainerWidget(control);
  w->setAutoFillBackground(true);
  return w;
}

QWidget* gui::NewPaintWidget(TControl* control, bool fillBackground) { return new PaintWidget(control, fillBackground); }

// ===========================================================================
// TSizeConstraints
// ===========================================================================
void TSizeConstraints::changed() {
  if (OnChange) OnChange(this);
}
void TSizeConstraints::SetMinWidth(int v) {
  minWidth_ = std::max(0, v);
  changed();
}
void TSizeConstraints::SetMinHeight(int v) {
  minHeight_ = std::max(0, v);
  changed();
}
void TSizeConstraints::SetMaxWidth(int v) {
  maxWidth_ = std::max(0, v);
  changed();
}
void TSizeConstraints::SetMaxHeight(int v) {
  maxHeight_ = std::max(0, v);
  changed();
}
void TSizeConstraints::Assign(TPersistent* source) {
  auto* s = dynamic_cast<TSizeConstraints*>(source);
  if (!s) return TPersistent::Assign(source);
  minWidth_ = s->minWidth_;
  minHeight_ = s->minHeight_;
  maxWidth_ = s->maxWidth_;
  maxHeight_ = s->maxHeight_;
  changed();
}
int TSizeConstraints::ClampWidth(int w) const {
  if (maxWidth_ > 0 && w > maxWidth_) w = maxWidth_;
  if (w < minWidth_) w = minWidth_;
  return w;
}
int TSizeConstraints::ClampHeight(int h) const {
  if (maxHeight_ > 0 && h > maxHeight_) h = maxHeight_;
  if (h < minHeight_) h = minHeight_;
  return h;
}

// ===========================================================================
// TControlPrivate
// ===========================================================================
int TControlPrivate::clientWidth() const { return control->ClientWidth(); }
int TControlPrivate::clientHeight() const { return control->ClientHeight(); }

void TControlPrivate::applyGeometry() {
  if (!widget) return;
  if (isForm) {
    widget->move(left, top);
    widget->resize(std::max(0, width), std::max(0, height));
  } else {
    widget->setGeometry(left, top, std::max(0, width), std::max(0, height));
  }
}

void TControlPrivate::geometryFromWidget(const QPoint* pos, const QSize* size) {
  if (!widget || eventsDetached) return;
  QRect g = isForm ? QRect(widget->pos(), widget->size()) : widget->geometry();
  if (pos || size) g = QRect(pos ? *pos : QPoint(left, top), size ? *size : QSize(width, height));
  if (g.x() == left && g.y() == top && g.width() == std::max(0, width) && g.height() == std::max(0, height)) return;
  bool sized = g.width() != width || g.height() != height;
  left = g.x();
  top = g.y();
  width = g.width();
  height = g.height();
  if (sized) {
    if (isWinControl) static_cast<TWinControl*>(control)->AlignControls();
    gui::SafeCall(control, [this] { control->Resize(); });
  }
}

void TControlPrivate::applyFont() {
  if (!widget || !font) return;
  QFont f = ToQFont(*font);
  widget->setFont(f);
  // The font colour is the text colour of an enabled control; a disabled one shows its
  // text in the system's grey text colour, whatever its font colour.
  QPalette pal = widget->palette();
  const QColor c = ToQColor(font->Color());
  const QColor grey = ToQColor(clGrayText);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    pal.setColor(QPalette::Active, role, c);
    pal.setColor(QPalette::Inactive, role, c);
    pal.setColor(QPalette::Disabled, role, grey);
  }
  widget->setPalette(pal);
  if (canvas) canvas->Font().Assign(font.get());
}

void TControlPrivate::applyColor() {
  if (!widget) return;
  QPalette pal = widget->palette();
  pal.setColor(QPalette::Window, ToQColor(color));
  widget->setPalette(pal);
  if (client && client != widget) {
    QPalette cp = client->palette();
    cp.setColor(QPalette::Window, ToQColor(color));
    client->setPalette(cp);
  }
}

void TControlPrivate::applyCursor() {
  if (!widget) return;
  if (cursor == crDefault) {
    widget->unsetCursor();
    if (client && client != widget) client->unsetCursor();
  } else {
    QCursor c = gui::QtCursor(cursor);
    widget->setCursor(c);
    if (client && client != widget) client->setCursor(c);
  }
}

bool TControlPrivate::effectiveShowHint() const {
  if (parentShowHint && parent) return parent->Private()->effectiveShowHint();
  return showHint;
}

void TControlPrivate::applyHint() {
  if (!widget) return;
  bool show = effectiveShowHint() && (!Application || Application->ShowHint());
  QString tip = show ? gui::QtText(ShortHint(hint)) : QString();
  widget->setToolTip(tip);
  if (client && client != widget) client->setToolTip(tip);
}

TCanvas* TControlPrivate::ensureCanvas() {
  if (!canvas) {
    canvas = std::make_unique<TCanvas>();
    if (font) canvas->Font().Assign(font.get());
    canvas->Brush().SetColor(color);
  }
  return canvas.get();
}

void TControlPrivate::paintWithCanvas(QPainter& painter, const QRect& clip, const std::function<void()>& fn) {
  TCanvas* c = ensureCanvas();
  TCanvasPainterBinding binding(*c, painter, clip);
  gui::SafeCall(control, fn);
}

void TControlPrivate::paint(QPainter& painter, const QRect& clip) {
  if (eventsDetached) return;
  if (auto* g = dynamic_cast<TGraphicControl*>(control)) {
    paintWithCanvas(painter, clip, [g] { g->Paint(); });
  } else if (auto* f = dynamic_cast<TCustomForm*>(control)) {
    paintWithCanvas(painter, clip, [f] { f->Paint(); });
  } else if (auto* cc = dynamic_cast<TCustomControl*>(control)) {
    paintWithCanvas(painter, clip, [cc] { cc->Paint(); });
  }
}

// ===========================================================================
// TControl
// ===========================================================================
TControl::TControl(TComponent* AOwner) : TControl(AOwner, &MakeGraphicWidget) {}

TControl::TControl(TComponent* AOwner, TWidgetFactory factory)
    : TComponent(AOwner), d_(std::make_unique<TControlPrivate>(this)) {
  EnsureQtApplication();
  gui::InstallApplicationFilter();
  d_->font = std::make_unique<TFont>();
  d_->font->OnChange = [this](TObject*) {
    if (!d_->applyingParentFont) d_->parentFont = false;
    d_->applyFont();
    FontChanged();
    for (TControl* child : d_->children) child->ParentChanged();
  };
  d_->constraints = std::make_unique<TSizeConstraints>();
  d_->constraints->OnChange = [this](TObject*) { SetBounds(d_->left, d_->top, d_->width, d_->height); };
  if (factory) factory(this);
  d_->applyFont();
  d_->applyColor();
}

TControl::~TControl() {
  DetachEvents();
  if (gui::DragSource() == this) gui::DragEnd(false);
  if (d_->parent) {
    TWinControl* p = d_->parent;
    auto& siblings = p->Private()->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    d_->parent = nullptr;
    if (!p->Private()->eventsDetached) {
      p->ControlListChanged(this, false);
      if (d_->align != alNone && d_->visible) p->AlignControls();
    }
  }
  QWidget* client = d_->client;
  if (client && client != d_->widget) gui::UnregisterWidget(client);
  gui::DeleteWidget(d_->widget);
}

void TControl::DetachEvents() {
  if (d_->eventsDetached) return;
  d_->eventsDetached = true;
  if (auto* h = dynamic_cast<HostBase*>(d_->widget.data())) h->detach();
  if (d_->client && d_->client != d_->widget)
    if (auto* h = dynamic_cast<HostBase*>(d_->client.data())) h->detach();
  if (d_->widget && d_->widget->hasFocus()) d_->widget->clearFocus();
}

TWinControl* TControl::Parent() const { return d_->parent; }

void TControl::SetParent(TWinControl* parent) {
  if (parent == d_->parent) return;
  if (parent == this) throw EInvalidOperation(_("A control cannot have itself as its parent"));
  if (TWinControl* old = d_->parent) {
    auto& siblings = old->Private()->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    d_->parent = nullptr;
    old->ControlListChanged(this, false);
    if (d_->align != alNone) old->AlignControls();
  }
  d_->parent = parent;
  if (!d_->widget) return;
  if (parent) {
    parent->Private()->children.push_back(this);
    d_->widget->setParent(parent->Private()->clientWidget());
    d_->applyGeometry();
    d_->widget->setVisible(d_->visible);
    ParentChanged();
    parent->ControlListChanged(this, true);
    if (d_->align != alNone || !(d_->anchors == TAnchors{akLeft, akTop})) parent->AlignControls();
  } else if (!d_->isForm) {
    d_->widget->hide();
    d_->widget->setParent(nullptr);
  }
}

TCustomForm* TControl::ParentForm() const { return GetParentForm(this); }

int TControl::Left() const { return d_->left; }
int TControl::Top() const { return d_->top; }
int TControl::Width() const { return d_->width; }
int TControl::Height() const { return d_->height; }
void TControl::SetLeft(int v) { SetBounds(v, d_->top, d_->width, d_->height); }
void TControl::SetTop(int v) { SetBounds(d_->left, v, d_->width, d_->height); }
void TControl::SetWidth(int v) { SetBounds(d_->left, d_->top, v, d_->height); }
void TControl::SetHeight(int v) { SetBounds(d_->left, d_->top, d_->width, v); }

void TControl::SetBounds(int left, int top, int width, int height) {
  // A form's limits hold for the whole window, its frame included.
  const TSize frame = d_->isForm ? static_cast<TCustomForm*>(this)->FrameExtra() : TSize{0, 0};
  width = std::max(0, d_->constraints->ClampWidth(width + frame.cx) - frame.cx);
  height = std::max(0, d_->constraints->ClampHeight(height + frame.cy) - frame.cy);
  if (left == d_->left && top == d_->top && width == d_->width && height == d_->height) return;
  bool sized = width != d_->width || height != d_->height;
  d_->left = left;
  d_->top = top;
  d_->width = width;
  d_->height = height;
  d_->applyGeometry();
  if (d_->eventsDetached) return;
  if (sized) {
    if (auto* w = dynamic_cast<TWinControl*>(this)) w->AlignControls();
    gui::SafeCall(this, [this] { Resize(); });
  }
  if (d_->parent && d_->align != alNone && d_->visible && !d_->parent->Private()->aligning)
    d_->parent->AlignControls();
  else if (auto* box = dynamic_cast<TScrollingWinControl*>(d_->parent))
    box->UpdateScrollBars();
}

TRect TControl::BoundsRect() const { return Bounds(d_->left, d_->top, d_->width, d_->height); }
void TControl::SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
int TControl::ClientWidth() const { return std::max(0, d_->width - 2 * d_->frame); }
int TControl::ClientHeight() const { return std::max(0, d_->height - 2 * d_->frame); }
void TControl::SetClientWidth(int v) { SetWidth(v + (d_->width - ClientWidth())); }
void TControl::SetClientHeight(int v) { SetHeight(v + (d_->height - ClientHeight())); }
TRect TControl::ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }

TPoint TControl::ClientOrigin() const { return ClientToScreen(TPoint(0, 0)); }

TPoint TControl::ClientToScreen(const TPoint& p) const {
  QWidget* cw = d_->clientWidget();
  if (!cw) return p;
  QPoint g = cw->mapToGlobal(QPoint(p.X, p.Y));
  return TPoint(g.x(), g.y());
}

TPoint TControl::ScreenToClient(const TPoint& p) const {
  QWidget* cw = d_->clientWidget();
  if (!cw) return p;
  QPoint c = cw->mapFromGlobal(QPoint(p.X, p.Y));
  return TPoint(c.x(), c.y());
}

TAlign TControl::Align() const { return d_->align; }
void TControl::SetAlign(TAlign align) {
  if (align == d_->align) return;
  d_->align = align;
  if (d_->parent) d_->parent->AlignControls();
}
TAnchors TControl::Anchors() const { return d_->anchors; }
void TControl::SetAnchors(TAnchors anchors) { d_->anchors = anchors; }
TSizeConstraints* TControl::Constraints() const { return d_->constraints.get(); }

bool TControl::Visible() const { return d_->visible; }
void TControl::SetVisible(bool visible) {
  if (visible == d_->visible) return;
  d_->visible = visible;
  if (d_->widget && d_->parent) d_->widget->setVisible(visible);
  if (d_->parent && d_->align != alNone) d_->parent->AlignControls();
}
void TControl::Show() { SetVisible(true); }
void TControl::Hide() { SetVisible(false); }

bool TControl::Showing() const {
  if (!d_->visible) return false;
  if (d_->isForm) return d_->widget && d_->widget->isVisible();
  return d_->parent && d_->parent->Showing();
}

bool TControl::Enabled() const { return d_->enabled; }
void TControl::SetEnabled(bool enabled) {
  if (enabled == d_->enabled) return;
  d_->enabled = enabled;
  if (d_->widget) d_->widget->setEnabled(enabled);
}

std::string TControl::GetText() const { return d_->text; }
void TControl::SetText(const std::string& s) {
  if (s == GetText() && s == d_->text) return;
  d_->text = s;
  TextChanged();
}
void TControl::TextChanged() {}

std::string TControl::Hint() const { return d_->hint; }
void TControl::SetHint(const std::string& hint) {
  d_->hint = hint;
  d_->applyHint();
}
bool TControl::ShowHint() const { return d_->parentShowHint ? d_->effectiveShowHint() : d_->showHint; }
void TControl::SetShowHint(bool show) {
  d_->showHint = show;
  d_->parentShowHint = false;
  d_->applyHint();
  ParentChanged();
}
bool TControl::ParentShowHint() const { return d_->parentShowHint; }
void TControl::SetParentShowHint(bool v) {
  d_->parentShowHint = v;
  d_->applyHint();
}

TColor TControl::Color() const { return d_->color; }
void TControl::SetColor(TColor color) {
  d_->parentColor = false;
  if (color == d_->color) return;
  d_->color = color;
  if (d_->canvas) d_->canvas->Brush().SetColor(color);
  ColorChanged();
  if (dynamic_cast<TWinControl*>(this))
    for (TControl* child : d_->children)
      if (child->Private()->parentColor) child->ParentChanged();
}
bool TControl::ParentColor() const { return d_->parentColor; }
void TControl::SetParentColor(bool v) {
  d_->parentColor = v;
  if (v && d_->parent) ParentChanged();
}

TFont* TControl::Font() const { return d_->font.get(); }
void TControl::SetFont(const TFont* font) {
  if (font) d_->font->Assign(const_cast<TFont*>(font));
}
bool TControl::ParentFont() const { return d_->parentFont; }
void TControl::SetParentFont(bool v) {
  d_->parentFont = v;
  if (v && d_->parent) ParentChanged();
}

void TControl::FontChanged() {}
void TControl::ColorChanged() {
  d_->applyColor();
  if (d_->widget) d_->widget->update();
}

void TControl::ParentChanged() {
  TWinControl* p = d_->parent;
  if (!p) return;
  if (d_->parentColor && d_->color != p->Color()) {
    d_->color = p->Color();
    if (d_->canvas) d_->canvas->Brush().SetColor(d_->color);
    ColorChanged();
    if (dynamic_cast<TWinControl*>(this))
      for (TControl* child : d_->children)
        if (child->Private()->parentColor) child->ParentChanged();
  }
  if (d_->parentFont) {
    d_->applyingParentFont = true;
    d_->font->Assign(p->Font());
    d_->applyingParentFont = false;
  }
  if (d_->parentShowHint) d_->applyHint();
}

TCursor TControl::Cursor() const { return d_->cursor; }
void TControl::SetCursor(TCursor cursor) {
  d_->cursor = cursor;
  d_->applyCursor();
}

TPopupMenu* TControl::PopupMenu() const { return d_->popupMenu; }
void TControl::SetPopupMenu(TPopupMenu* menu) {
  d_->popupMenu = menu;
  if (menu) menu->FreeNotification(this);
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == d_->popupMenu) d_->popupMenu = nullptr;
}

void TControl::Repaint() {
  if (d_->widget) d_->widget->repaint();
  if (d_->client && d_->client != d_->widget) d_->client->repaint();
}
void TControl::Invalidate() {
  if (d_->widget) d_->widget->update();
  if (d_->client && d_->client != d_->widget) d_->client->update();
}
void TControl::Update() { Repaint(); }

void TControl::BringToFront() {
  if (!d_->widget) return;
  // The offscreen platform has no stacking order of windows.
  if (!d_->isForm || QGuiApplication::platformName() != QLatin1String("offscreen")) d_->widget->raise();
  if (d_->isForm) d_->widget->activateWindow();
}
void TControl::SendToBack() {
  if (d_->widget) d_->widget->lower();
}

TDragMode TControl::DragMode() const { return d_->dragMode; }
void TControl::SetDragMode(TDragMode mode) { d_->dragMode = mode; }
TCursor TControl::DragCursor() const { return d_->dragCursor; }
void TControl::SetDragCursor(TCursor cursor) { d_->dragCursor = cursor; }
void TControl::BeginDrag(bool Immediate, int Threshold) {
  gui::DragStart(this, Immediate, Threshold, gui::LastMousePos());
}
void TControl::EndDrag(bool Drop) {
  if (gui::DragSource() == this) gui::DragEnd(Drop);
}
bool TControl::Dragging() const { return gui::DragSource() == this; }

bool TControl::MouseCapture() const { return d_->widget && QWidget::mouseGrabber() == d_->clientWidget(); }
void TControl::SetMouseCapture(bool capture) {
  QWidget* w = d_->clientWidget();
  if (!w) return;
  if (capture)
    w->grabMouse();
  else if (QWidget::mouseGrabber() == w)
    w->releaseMouse();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}
bool TControl::DialogChar(char) { return false; }

// The toolkit's own text controls: buttons, check boxes and radio buttons by their text
// and mark, group boxes by their title, static texts by their text.
bool TControl::TextRoom(TSize& needed, TSize& room) const {
  QWidget* w = d_->widget;
  if (!w || d_->text.empty()) return false;
  const QFontMetrics fm(w->font());
  const QString text = gui::QtText(StripHotkey(d_->text));
  room = TSize{w->width(), w->height()};
  if (qobject_cast<QPushButton*>(w)) {
    needed = TSize{fm.horizontalAdvance(text) + 12, fm.height()};
  } else if (qobject_cast<QAbstractButton*>(w)) {
    // The mark, its gap and the text, as the style lays them out.
    needed = TSize{w->sizeHint().width(), fm.height()};
  } else if (qobject_cast<QGroupBox*>(w)) {
    needed = TSize{fm.horizontalAdvance(text) + 16, fm.height()};
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    if (label->wordWrap()) {
      // Every word on the width, and the lines they make in the height.
      int widest = 0;
      for (const QString& word : label->text().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        widest = std::max(widest, fm.horizontalAdvance(word));
      const int frame = 2 * label->frameWidth() + 2 * label->margin();
      const QRect lines =
          fm.boundingRect(QRect(0, 0, std::max(1, w->width() - frame), 100000), Qt::TextWordWrap, label->text());
      needed = TSize{std::max(widest, lines.width()) + frame, label->heightForWidth(w->width())};
    } else {
      const QSize hint = label->sizeHint();
      needed = TSize{hint.width(), hint.height()};
    }
  } else {
    return false;
  }
  return true;
}

void FitControlsToText(TWinControl* root) {
  if (!root) return;
  std::vector<TControl*> placed;
  bool row = root->ControlCount() > 0;
  for (int i = 0; i < root->ControlCount(); ++i) {
    TControl* c = root->Controls(i);
    if (auto* holder = dynamic_cast<TWinControl*>(c)) FitControlsToText(holder);
    TSize needed, room;
    if (c->Align() == alNone)
      placed.push_back(c);
    else if ((c->Align() == alLeft || c->Align() == alRight) && c->TextRoom(needed, room) && needed.cx > room.cx)
      c->SetWidth(c->Width() + needed.cx - room.cx);  // its parent moves the others along
    row = row && (c->Align() == alLeft || c->Align() == alRight);
  }
  // A group of controls side by side in a bar is as wide as they are together.
  if (row && (root->Align() == alLeft || root->Align() == alRight)) {
    int width = root->Width() - root->ClientWidth();
    for (int i = 0; i < root->ControlCount(); ++i)
      if (root->Controls(i)->Visible()) width += root->Controls(i)->Width();
    if (width > root->Width()) root->SetWidth(width);
  }
  std::sort(placed.begin(), placed.end(), [](TControl* a, TControl* b) { return a->Left() < b->Left(); });
  for (TControl* c : placed) {
    TSize needed, room;
    if (!c->TextRoom(needed, room) || needed.cx <= room.cx) continue;
    // The controls right of it in its row move along with its right edge.
    std::vector<TControl*> row;
    int right = c->Left() + c->Width();
    for (TControl* other : placed)
      if (other != c && other->Left() >= c->Left() + c->Width() - 1 && other->Top() < c->Top() + c->Height() &&
          c->Top() < other->Top() + other->Height()) {
        row.push_back(other);
        right = std::max(right, other->Left() + other->Width());
      }
    const int need = needed.cx - room.cx;
    int grow = std::min(need, root->ClientWidth() - right);
    if (grow < need && !root->Parent()) {
      // A window lends what its client area lacks: it grows, and what stands in its right
      // half, below or above the control, keeps its place from the right edge.
      const int more = need - std::max(grow, 0);
      for (TControl* other : placed)
        if (other != c && std::find(row.begin(), row.end(), other) == row.end() &&
            other->Left() > root->ClientWidth() / 2 && !other->Anchors().Contains(akRight))
          other->SetLeft(other->Left() + more);
      root->SetClientWidth(root->ClientWidth() + more);
      grow = need;
    }
    if (grow <= 0) continue;
    for (TControl* other : row) other->SetLeft(other->Left() + grow);
    c->SetWidth(c->Width() + grow);
  }
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}
void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}
void TControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}
void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}
void TControl::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}
void TControl::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}
bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, Shift, WheelDelta, MousePos, handled);
  if (!handled) {
    if (WheelDelta < 0) {
      if (OnMouseWheelDown) OnMouseWheelDown(this, Shift, MousePos, handled);
    } else if (OnMouseWheelUp) {
      OnMouseWheelUp(this, Shift, MousePos, handled);
    }
  }
  return handled;
}
void TControl::Resize() {
  if (OnResize) OnResize(this);
}
void TControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
  Accept = false;
  if (OnDragOver) {
    Accept = true;
    OnDragOver(this, Source, X, Y, State, Accept);
  }
}
void TControl::DragDrop(TObject* Source, int X, int Y) {
  if (OnDragDrop) OnDragDrop(this, Source, X, Y);
}
void TControl::DoStartDrag(TDragObject*& DragObject) {
  if (OnStartDrag) OnStartDrag(this, DragObject);
}
void TControl::DoEndDrag(TObject* Target, int X, int Y) {
  if (OnEndDrag) OnEndDrag(this, Target, X, Y);
}
void TControl::DoContextPopup(TPoint MousePos, bool& Handled) {
  if (OnContextPopup) OnContextPopup(this, MousePos, Handled);
}

// ===========================================================================
// TWinControl
// ===========================================================================
TWinControl::TWinControl(TComponent* AOwner) : TWinControl(AOwner, &MakeContainerWidget) {}

TWinControl::TWinControl(TComponent* AOwner, TWidgetFactory factory) : TControl(AOwner, factory) {
  Private()->isWinControl = true;
  if (QWidget* w = Private()->widget) w->setFocusPolicy(Qt::NoFocus);
}

TWinControl::~TWinControl() {
  DetachEvents();
  // The controls inside go first (the last one first), as the class library does.
  auto& children = Private()->children;
  while (!children.empty()) {
    TControl* c = children.back();
    delete c;
    if (!children.empty() && children.back() == c) children.pop_back();
  }
}

int TWinControl::ControlCount() const { return int(Private()->children.size()); }
TControl* TWinControl::Controls(int index) const {
  const auto& children = Private()->children;
  if (index < 0 || index >= int(children.size()))
    gui::ListIndexError(index);
  return children[size_t(index)];
}
TControl* TWinControl::FindChildControl(const std::string& name) const {
  for (TControl* c : Private()->children)
    if (!name.empty() && strcasecmp(c->Name().c_str(), name.c_str()) == 0) return c;
  return nullptr;
}
bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control; c; c = c->Parent())
    if (c == this) return true;
  return false;
}

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation(_("Cannot focus a disabled or invisible window"));
  if (TCustomForm* form = GetParentForm(this)) {
    if (form != this) form->SetActiveControl(this);
    if (QWidget* top = form->Private()->widget) top->activateWindow();
  }
  if (QWidget* w = Private()->widget) w->setFocus(Qt::OtherFocusReason);
}
bool TWinControl::Focused() const {
  QWidget* focus = QApplication::focusWidget();
  return focus && gui::FindWinControl(focus) == this;
}
bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  TCustomForm* form = GetParentForm(this);
  return form && form->Showing();
}
bool TWinControl::TabStop() const { return Private()->tabStop; }
void TWinControl::SetTabStop(bool v) {
  Private()->tabStop = v;
  if (QWidget* w = Private()->widget) {
    if (v)
      w->setFocusPolicy(Qt::StrongFocus);
    else if (w->focusPolicy() == Qt::StrongFocus || w->focusPolicy() == Qt::TabFocus)
      w->setFocusPolicy(Qt::ClickFocus);
  }
}
int TWinControl::TabOrder() const {
  if (Private()->tabOrder >= 0) return Private()->tabOrder;
  if (!Parent()) return -1;
  int n = 0;
  for (TControl* c : Parent()->Private()->children) {
    if (c == this) return n;
    if (dynamic_cast<TWinControl*>(c)) ++n;
  }
  return -1;
}
void TWinControl::SetTabOrder(int order) {
  Private()->tabOrder = order;
  if (!Parent()) return;
  std::vector<TWinControl*> siblings;
  for (TControl* c : Parent()->Private()->children)
    if (auto* w = dynamic_cast<TWinControl*>(c)) siblings.push_back(w);
  std::stable_sort(siblings.begin(), siblings.end(),
                   [](TWinControl* a, TWinControl* b) { return a->TabOrder() < b->TabOrder(); });
  for (size_t i = 1; i < siblings.size(); ++i)
    if (siblings[i - 1]->Private()->widget && siblings[i]->Private()->widget)
      QWidget::setTabOrder(siblings[i - 1]->Private()->widget, siblings[i]->Private()->widget);
}
bool TWinControl::DoubleBuffered() const { return Private()->doubleBuffered; }
void TWinControl::SetDoubleBuffered(bool v) { Private()->doubleBuffered = v; }

void TWinControl::DisableAlign() { ++Private()->alignDisabled; }
void TWinControl::EnableAlign() {
  if (Private()->alignDisabled > 0 && --Private()->alignDisabled == 0) AlignControls();
}
void TWinControl::Realign() { AlignControls(); }

TRect TWinControl::AlignClientRect() const { return ClientRect(); }

void TWinControl::AlignControls() {
  TControlPrivate* d = Private();
  if (d->alignDisabled > 0 || d->aligning || d->eventsDetached) return;
  d->aligning = true;
  const int cw = ClientWidth(), ch = ClientHeight();
  // Anchored controls follow a change of the client size.
  if (d->lastClientWidth >= 0 && (cw != d->lastClientWidth || ch != d->lastClientHeight)) {
    const int dx = cw - d->lastClientWidth, dy = ch - d->lastClientHeight;
    for (TControl* c : d->children) {
      TControlPrivate* cd = c->Private();
      if (cd->align != alNone) continue;
      int l = cd->left, t = cd->top, w = cd->width, h = cd->height;
      const bool aL = cd->anchors.Contains(akLeft), aR = cd->anchors.Contains(akRight);
      const bool aT = cd->anchors.Contains(akTop), aB = cd->anchors.Contains(akBottom);
      if (aR && aL) w += dx;
      else if (aR) l += dx;
      else if (!aL) l += dx / 2;
      if (aB && aT) h += dy;
      else if (aB) t += dy;
      else if (!aT) t += dy / 2;
      c->SetBounds(l, t, w, h);
    }
  }
  d->lastClientWidth = cw;
  d->lastClientHeight = ch;
  TRect r = AlignClientRect();
  for (TAlign kind : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* c : d->children) {
      TControlPrivate* cd = c->Private();
      if (cd->align != kind || !cd->visible) continue;
      const int rw = std::max(0, r.Width()), rh = std::max(0, r.Height());
      switch (kind) {
        case alTop:
          c->SetBounds(r.Left, r.Top, rw, cd->height);
          r.Top += c->Height();
          break;
        case alBottom:
          c->SetBounds(r.Left, r.Bottom - cd->height, rw, cd->height);
          r.Bottom -= c->Height();
          break;
        case alLeft:
          c->SetBounds(r.Left, r.Top, cd->width, rh);
          r.Left += c->Width();
          break;
        case alRight:
          c->SetBounds(r.Right - cd->width, r.Top, cd->width, rh);
          r.Right -= c->Width();
          break;
        case alClient:
          c->SetBounds(r.Left, r.Top, rw, rh);
          break;
        default:
          break;
      }
    }
  }
  d->aligning = false;
}

void TWinControl::ControlListChanged(TControl*, bool) {}

void TWinControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}
void TWinControl::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (OnKeyUp) OnKeyUp(this, Key, Shift);
}
void TWinControl::KeyPress(char& Key) {
  if (OnKeyPress) OnKeyPress(this, Key);
}
bool TWinControl::DialogKey(uint16_t, TShiftState) { return false; }

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}
void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

// ===========================================================================
// TGraphicControl, TCustomControl
// ===========================================================================
TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner, &MakeGraphicWidget) {}
TGraphicControl::TGraphicControl(TComponent* AOwner, TWidgetFactory factory) : TControl(AOwner, factory) {}
TGraphicControl::~TGraphicControl() { DetachEvents(); }
TCanvas* TGraphicControl::Canvas() const { return Private()->ensureCanvas(); }
bool TGraphicControl::Opaque() const { return Private()->opaque; }
void TGraphicControl::SetOpaque(bool v) {
  Private()->opaque = v;
  if (QWidget* w = Private()->widget) w->setAutoFillBackground(v);
}
void TGraphicControl::Paint() {}

TCustomControl::TCustomControl(TComponent* AOwner) : TCustomControl(AOwner, &MakeCustomWidget) {}
TCustomControl::TCustomControl(TComponent* AOwner, TWidgetFactory factory) : TWinControl(AOwner, factory) {}
TCustomControl::~TCustomControl() { DetachEvents(); }
TCanvas* TCustomControl::Canvas() const { return Private()->ensureCanvas(); }
void TCustomControl::Paint() {
  if (OnPaint) OnPaint(this);
}

// ===========================================================================
// TMouse
// ===========================================================================
static TMouse g_mouse;
TMouse* Mouse = &g_mouse;

TPoint TMouse::CursorPos() const {
  QPoint p = QCursor::pos();
  return TPoint(p.x(), p.y());
}
void TMouse::SetCursorPos(const TPoint& p) { QCursor::setPos(p.X, p.Y); }
TControl* TMouse::Capture() const { return gui::FindControl(QWidget::mouseGrabber()); }
void TMouse::SetCapture(TControl* control) {
  if (control)
    control->SetMouseCapture(true);
  else
    ReleaseCapture();
}
int TMouse::WheelScrollLines() const {
  EnsureQtApplication();
  return QApplication::wheelScrollLines();
}

void ReleaseCapture() {
  if (QWidget* w = QWidget::mouseGrabber()) w->releaseMouse();
}
