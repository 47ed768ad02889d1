// The plumbing between the toolkit and the controls: which widget belongs to which
// control, the routing of mouse, wheel, context-menu and resize events, the
// application-wide key handling (menu shortcuts, key preview, dialog keys), focus
// changes, the drag and drop between the program's own controls, and safe deletion of
// widgets while the toolkit may still be inside one of their event handlers.
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QAbstractSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <unordered_map>

#include "platform/QtApplication.h"
#include "platform/graphics/CanvasQt.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/Threads.h"
#include "platform/i18n/GnuGetText.h"

namespace {

std::unordered_map<const QObject*, TControl*>& Registry() {
  static std::unordered_map<const QObject*, TControl*> registry;
  return registry;
}

// Depth of event handling by the layer; widgets freed meanwhile are deleted after it.
int g_dispatchDepth = 0;
std::vector<QPointer<QObject>>& PendingDeletes() {
  static std::vector<QPointer<QObject>> pending;
  return pending;
}

void FlushPendingDeletes() {
  if (g_dispatchDepth > 0) return;
  auto& pending = PendingDeletes();
  while (!pending.empty()) {
    std::vector<QPointer<QObject>> now;
    now.swap(pending);
    for (auto& w : now)
      if (w) delete w.data();
  }
}

struct DepthGuard {
  DepthGuard() { ++g_dispatchDepth; }
  ~DepthGuard() {
    if (--g_dispatchDepth == 0) FlushPendingDeletes();
  }
};

// --- drag and drop between controls ---
struct DragState {
  TControl* source = nullptr;
  TDragObject* object = nullptr;  // from OnStartDrag, or nullptr: the source is passed
  bool active = false;
  int threshold = 5;
  QPoint start;
  TControl* target = nullptr;
  bool accepted = false;
  bool overrideCursor = false;
  QPoint last;  // the mouse's last screen position during the drag
  TShiftState shift;  // the keys and buttons of the drag's last mouse event
};
DragState g_drag;
// The keys held when the drag being dropped ended (for the target's DragDrop), and at
// the last mouse press.
TShiftState g_dropShift;
TShiftState g_pressShift;
// The mouse's screen position in the last mouse event the layer saw.
QPoint g_lastMouse;
// The buttons held after the last press or release delivered to any widget (seen before
// the widget handles it: a press's handler that lets events run may see its release).
Qt::MouseButtons g_heldButtons;

TObject* DragSourceObject() { return g_drag.object ? static_cast<TObject*>(g_drag.object) : g_drag.source; }

QPoint ClientPosOf(TControl* c, const QPoint& global) {
  QWidget* cw = c->Private()->clientWidget();
  return cw ? cw->mapFromGlobal(global) : global;
}

void SetDragCursor(TCursor cursor) {
  if (g_drag.overrideCursor)
    QGuiApplication::changeOverrideCursor(gui::QtCursor(cursor));
  else {
    QGuiApplication::setOverrideCursor(gui::QtCursor(cursor));
    g_drag.overrideCursor = true;
  }
}

void DragMoveTo(const QPoint& global) {
  if (!g_drag.source) return;
  g_drag.last = global;
  if (!g_drag.active) {
    if ((global - g_drag.start).manhattanLength() < g_drag.threshold) return;
    g_drag.active = true;
  }
  TControl* target = FindDragTarget(TPoint(global.x(), global.y()), false);
  TObject* source = DragSourceObject();
  if (target != g_drag.target) {
    if (g_drag.target) {
      bool dummy = false;
      QPoint p = ClientPosOf(g_drag.target, global);
      TControl* old = g_drag.target;
      gui::SafeCall(old, [&] { old->DragOver(source, p.x(), p.y(), dsDragLeave, dummy); });
    }
    g_drag.target = target;
    g_drag.accepted = false;
    if (target) {
      QPoint p = ClientPosOf(target, global);
      bool accept = false;
      gui::SafeCall(target, [&] { target->DragOver(source, p.x(), p.y(), dsDragEnter, accept); });
      g_drag.accepted = accept;
    }
  } else if (target) {
    QPoint p = ClientPosOf(target, global);
    bool accept = false;
    gui::SafeCall(target, [&] { target->DragOver(source, p.x(), p.y(), dsDragMove, accept); });
    g_drag.accepted = accept;
  }
  if (g_drag.source) SetDragCursor(g_drag.accepted ? g_drag.source->DragCursor() : crNoDrop);
}

class ApplicationFilter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool keyPress(QWidget* receiver, QKeyEvent* event);
  bool keyRelease(QWidget* receiver, QKeyEvent* event);
  bool resending_ = false;
};

ApplicationFilter* g_filter = nullptr;

// Enter or Esc for a form's default or cancel button, when the focused control does not
// use that key itself: every windowed control of the form is asked (DialogKey).
bool DialogKey(TCustomForm* form, TWinControl* focused, uint16_t vk, TShiftState shift) {
  if (!form || (vk != VK_RETURN && vk != VK_ESCAPE)) return false;
  if (vk == VK_RETURN) {
    if (auto* memo = dynamic_cast<TMemo*>(focused); memo && memo->WantReturns()) return false;
    if (dynamic_cast<TButton*>(focused)) return false;  // Enter presses the focused button itself
  }
  if (auto* combo = dynamic_cast<TCustomComboBox*>(focused); combo && combo->DroppedDown()) return false;
  std::vector<TWinControl*> stack{form};
  while (!stack.empty()) {
    TWinControl* w = stack.back();
    stack.pop_back();
    for (int i = 0; i < w->ControlCount(); ++i) {
      auto* wc = dynamic_cast<TWinControl*>(w->Controls(i));
      // Hidden or disabled controls (and what they hold) take no keys.
      if (!wc || !wc->Visible() || !wc->Enabled()) continue;
      bool taken = false;
      gui::SafeCall(wc, [&] { taken = wc->DialogKey(vk, shift); });
      if (taken) return true;
      stack.push_back(wc);
    }
  }
  return false;
}

// Alt with a letter or digit for the control whose caption has it as its accelerator:
// the visible and enabled controls of the form are asked in turn (DialogChar).
bool DialogChar(TCustomForm* form, uint16_t vk, TShiftState shift) {
  if (!form || !shift.Contains(ssAlt) || shift.Contains(ssCtrl)) return false;
  if (!((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))) return false;
  std::vector<TWinControl*> stack{form};
  while (!stack.empty()) {
    TWinControl* w = stack.back();
    stack.pop_back();
    for (int i = 0; i < w->ControlCount(); ++i) {
      TControl* c = w->Controls(i);
      if (!c->Visible() || !c->Enabled()) continue;
      bool taken = false;
      gui::SafeCall(c, [&] { taken = c->DialogChar(char(vk)); });
      if (taken) return true;
      if (auto* wc = dynamic_cast<TWinControl*>(c)) stack.push_back(wc);
    }
  }
  return false;
}

// A text editor with the keyboard (an edit box, a memo, a tree's or list's name being
// edited in place) keeps the keys it edits with - Ctrl+A selects its text, Ctrl+X cuts,
// Home goes to the start of the line: no menu shortcut takes them. The editor itself
// says which keys those are, as it would to the toolkit's own shortcuts.
bool EditorTakesKey(QWidget* receiver, QKeyEvent* event) {
  bool editor = false;
  if (auto* line = qobject_cast<QLineEdit*>(receiver)) editor = !line->isReadOnly();
  else if (auto* text = qobject_cast<QTextEdit*>(receiver)) editor = !text->isReadOnly();
  else if (auto* plain = qobject_cast<QPlainTextEdit*>(receiver)) editor = !plain->isReadOnly();
  else if (auto* spin = qobject_cast<QAbstractSpinBox*>(receiver)) editor = !spin->isReadOnly();
  if (!editor) return false;
  QKeyEvent ask(QEvent::ShortcutOverride, event->key(), event->modifiers(), event->text(), event->isAutoRepeat(),
                ushort(event->count()));
  ask.ignore();
  QCoreApplication::sendEvent(receiver, &ask);
  return ask.isAccepted();
}

// The editor a tree or a list opened on one of its rows to edit its text in place. While
// it is open every key is its own: no shortcut, no dialog key, no key preview of the form
// and none of the control's key events (the viewer's "-", "." and "," that a tree's key
// handler swallows, F5 that reloads the folder tree) - only the name typed.
bool InPlaceEditor(const QWidget* receiver) {
  if (!qobject_cast<const QLineEdit*>(receiver) || gui::ControlOfWidget(receiver)) return false;
  const QWidget* parent = receiver->parentWidget();
  const auto* view = parent ? qobject_cast<const QAbstractItemView*>(parent->parentWidget()) : nullptr;
  return view && view->viewport() == parent;
}

// The control of the window a key or the focus went to: the widget's own, or that of its
// nearest parent within the same window. A window that is not one of the layer's - a
// dialog of the toolkit, which opens as the child of the form that asked for it - keeps
// its keys to itself: there is no control then, and that form hears nothing of them. A
// popup (a combo box's open list) is part of the window that opened it.
TWinControl* WindowControl(const QWidget* receiver) {
  for (const QObject* o = receiver; o; o = o->parent()) {
    if (gui::ControlOfWidget(o)) return gui::FindWinControl(o);
    if (o->isWidgetType()) {
      const auto* w = static_cast<const QWidget*>(o);
      if (w->isWindow() && w->windowType() != Qt::Popup) return nullptr;
    }
  }
  return nullptr;
}

// A shortcut shown beside an item of a popup menu works wherever that menu can be opened:
// the popup menus of the form's visible, enabled controls are asked in turn (each once).
bool PopupShortCut(TCustomForm* form, TShortCut sc) {
  if (!form) return false;
  std::vector<TPopupMenu*> asked;
  std::vector<TControl*> stack{form};
  while (!stack.empty()) {
    TControl* c = stack.back();
    stack.pop_back();
    if (!c->Visible() || !c->Enabled()) continue;
    if (TPopupMenu* pm = c->PopupMenu(); pm && std::find(asked.begin(), asked.end(), pm) == asked.end()) {
      asked.push_back(pm);
      if (pm->IsShortCut(sc)) return true;
    }
    if (auto* w = dynamic_cast<TWinControl*>(c))
      for (int i = w->ControlCount() - 1; i >= 0; --i) stack.push_back(w->Controls(i));
  }
  return false;
}

bool ApplicationFilter::keyPress(QWidget* receiver, QKeyEvent* event) {
  TWinControl* control = WindowControl(receiver);
  if (!control || control->Private()->eventsDetached || InPlaceEditor(receiver)) return false;
  if (auto* host = dynamic_cast<HostBase*>(receiver); host && host->continuesTypedName(event)) return false;
  TCustomForm* form = GetParentForm(control);
  QPointer<QWidget> guard(receiver);
  uint16_t vk = gui::VirtualKeyFromQt(event);
  TShiftState shift = gui::ShiftFromQt(event->modifiers(), Qt::NoButton);
  // An editor's own keys go to the editor: neither menu shortcuts nor the form's key
  // preview take them (Delete, "-" or "." typed into a name are not commands).
  const bool editing = EditorTakesKey(receiver, event);
  const bool preview = form && form != control && form->KeyPreview() && !editing;

  if (gui::DragActive() && vk == VK_ESCAPE) {
    gui::DragEnd(false);
    return true;
  }
  if (vk) {
    // Menu shortcuts first: the focused control's popup menus, then the form's menus,
    // then the popup menus of the form's other controls.
    TShortCut sc = ShortCut(vk, shift);
    if (vk != VK_SHIFT && vk != VK_CONTROL && vk != VK_MENU && !editing) {
      for (TControl* c = control; c; c = c->Parent()) {
        if (TPopupMenu* pm = c->PopupMenu(); pm && pm->IsShortCut(sc)) return true;
        if (!guard) return true;
      }
      if (form && form->IsShortCut(vk, shift)) return true;
      if (!guard) return true;
      if (PopupShortCut(form, sc)) return true;
      if (!guard) return true;
    }
    if (DialogChar(form, vk, shift)) return true;
    if (!guard) return true;
    if (DialogKey(form, control, vk, shift)) return true;
    if (!guard) return true;
    uint16_t key = vk;
    if (preview) {
      gui::SafeCall(form, [&] { form->KeyDown(key, shift); });
      if (key == 0 || !guard) return true;
    }
    gui::SafeCall(control, [&] { control->KeyDown(key, shift); });
    if (key == 0 || !guard) return true;
  }
  // The character, for OnKeyPress (ASCII and the control characters Enter, Esc, Tab, Backspace).
  QString text = event->text();
  if (text.size() == 1 && text[0].unicode() < 128 && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    char original = char(text[0].unicode());
    char ch = original;
    if (preview) {
      gui::SafeCall(form, [&] { form->KeyPress(ch); });
      if (ch == 0 || !guard) return true;
    }
    gui::SafeCall(control, [&] { control->KeyPress(ch); });
    if (ch == 0 || !guard) return true;
    if (ch != original) {
      // The handler replaced the character: the widget gets the new one.
      QKeyEvent changed(QEvent::KeyPress, ch >= 'a' && ch <= 'z' ? ch - 32 : ch, event->modifiers(), QString(QChar(ch)),
                        event->isAutoRepeat(), ushort(event->count()));
      resending_ = true;
      QCoreApplication::sendEvent(receiver, &changed);
      resending_ = false;
      return true;
    }
  }
  return false;
}

bool ApplicationFilter::keyRelease(QWidget* receiver, QKeyEvent* event) {
  if (event->isAutoRepeat()) return false;
  TWinControl* control = WindowControl(receiver);
  if (!control || control->Private()->eventsDetached || InPlaceEditor(receiver)) return false;
  TCustomForm* form = GetParentForm(control);
  QPointer<QWidget> guard(receiver);
  uint16_t key = gui::VirtualKeyFromQt(event);
  if (!key) return false;
  TShiftState shift = gui::ShiftFromQt(event->modifiers(), Qt::NoButton);
  if (form && form != control && form->KeyPreview() && !EditorTakesKey(receiver, event)) {
    gui::SafeCall(form, [&] { form->KeyUp(key, shift); });
    if (key == 0 || !guard) return true;
  }
  gui::SafeCall(control, [&] { control->KeyUp(key, shift); });
  return key == 0;
}

bool ApplicationFilter::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick)
    g_heldButtons = static_cast<QMouseEvent*>(event)->buttons();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  if (resending_ || !watched->isWidgetType() || qobject_cast<QMenu*>(watched)) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  // A key the receiver ignores travels up to its parents: handle it once.
  if (KeyEventTakenUp(event)) return false;
  DepthGuard depth;
  auto* widget = static_cast<QWidget*>(watched);
  return type == QEvent::KeyPress ? keyPress(widget, key) : keyRelease(widget, key);
}

void FocusChanged(QWidget* old, QWidget* now) {
  TWinControl* from = WindowControl(old);
  TWinControl* to = WindowControl(now);
  if (from == to) return;
  DepthGuard depth;
  QPointer<QWidget> toGuard(now);
  if (from && !from->Private()->eventsDetached) gui::SafeCall(from, [from] { from->DoExit(); });
  if (!toGuard) return;
  to = WindowControl(now);
  if (to && !to->Private()->eventsDetached) {
    if (TCustomForm* form = GetParentForm(to); form && form != to) form->SetActiveControl(to);
    gui::SafeCall(to, [to] { to->DoEnter(); });
  }
}

}  // namespace

namespace gui {

void RegisterWidget(QWidget* widget, TControl* control) {
  if (widget) Registry()[widget] = control;
}

void UnregisterWidget(QWidget* widget) { Registry().erase(widget); }

TControl* ControlOfWidget(const QObject* object) {
  auto& r = Registry();
  auto it = r.find(object);
  return it == r.end() ? nullptr : it->second;
}

TControl* FindControl(const QObject* object) {
  for (const QObject* o = object; o; o = o->parent())
    if (TControl* c = ControlOfWidget(o)) return c;
  return nullptr;
}

TWinControl* FindWinControl(const QObject* object) {
  for (TControl* c = FindControl(object); c; c = c->Parent())
    if (auto* w = dynamic_cast<TWinControl*>(c)) return w;
  return nullptr;
}

void AttachWidget(TControl* control, QWidget* widget, QWidget* client) {
  TControlPrivate* d = control->Private();
  d->widget = widget;
  d->client = client ? client : widget;
  RegisterWidget(widget, control);
  if (client && client != widget) RegisterWidget(client, control);
  widget->setMouseTracking(true);
  if (client) client->setMouseTracking(true);
  widget->setAttribute(Qt::WA_DeleteOnClose, false);
}

void AttachInnerWidget(TControl* control, QWidget* inner) {
  if (!inner) return;
  RegisterWidget(inner, control);
  inner->setMouseTracking(true);
}

void ListIndexError(int index) { throw EListError(Format(_("List index out of bounds (%d)"), {index})); }

void SafeCall(TObject* sender, const std::function<void()>& fn) {
  DepthGuard depth;
  try {
    fn();
  } catch (const EAbort&) {
    // Silent, as in the class library.
  } catch (const std::exception& e) {
    if (Application) Application->HandleException(sender, e);
  }
}

bool IsMouseEvent(const QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
      return true;
    default:
      return false;
  }
}

bool NativeFirst(TControl* control, QEvent* event) {
  return control->Private()->nativePressFirst &&
         (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick);
}

static bool ButtonOf(Qt::MouseButton b, TMouseButton& out) {
  switch (b) {
    case Qt::LeftButton: out = mbLeft; return true;
    case Qt::RightButton: out = mbRight; return true;
    case Qt::MiddleButton: out = mbMiddle; return true;
    default: return false;
  }
}

static QPoint ClientPos(TControl* c, QWidget* receiver, const QPoint& pos) {
  QWidget* cw = c->Private()->clientWidget();
  if (!cw || cw == receiver) return pos;
  return cw->mapFromGlobal(receiver->mapToGlobal(pos));
}

// Pops up the popup menu of the control or of its nearest parent that has one.
static bool ContextPopup(TControl* c, const QPoint& global) {
  for (TControl* ctl = c; ctl; ctl = ctl->Parent()) {
    QPoint p = ClientPosOf(ctl, global);
    bool handled = false;
    SafeCall(ctl, [&] { ctl->DoContextPopup(TPoint(p.x(), p.y()), handled); });
    if (handled) return true;
    TPopupMenu* pm = ctl->PopupMenu();
    if (pm && pm->AutoPopup()) {
      pm->SetPopupComponent(ctl);
      SafeCall(pm, [&] { pm->Popup(global.x(), global.y()); });
      return true;
    }
  }
  return false;
}

QPoint LastMousePos() { return g_lastMouse; }

bool DispatchEvent(TControl* c, QWidget* receiver, QEvent* event, bool afterNative) {
  TControlPrivate* d = c->Private();
  if (d->eventsDetached) return false;
  DepthGuard depth;
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
      event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonDblClick)
    g_lastMouse = receiver->mapToGlobal(static_cast<QMouseEvent*>(event)->position().toPoint());
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto* me = static_cast<QMouseEvent*>(event);
      TMouseButton button;
      if (!ButtonOf(me->button(), button)) return false;
      QPoint p = ClientPos(c, receiver, me->position().toPoint());
      TShiftState shift = ShiftFromQt(me->modifiers(), me->buttons());
      g_pressShift = shift;  // a drag begun by this press starts with its keys
      QPointer<QWidget> guard(receiver);
      if (event->type() == QEvent::MouseButtonDblClick) {
        d->pressedInside = false;
        shift.Include(ssDouble);
        if (button == mbLeft) SafeCall(c, [c] { c->DblClick(); });
        if (!guard || d->eventsDetached) return true;
      } else if (button == mbLeft) {
        d->pressedInside = true;
      }
      SafeCall(c, [&] { c->MouseDown(button, shift, p.x(), p.y()); });
      if (!guard || d->eventsDetached) return true;
      if (button == mbLeft && d->dragMode == dmAutomatic && !DragActive()) c->BeginDrag(false);
      (void)afterNative;
      return false;
    }
    case QEvent::MouseButtonRelease: {
      auto* me = static_cast<QMouseEvent*>(event);
      TMouseButton button;
      if (!ButtonOf(me->button(), button)) return false;
      QPoint global = receiver->mapToGlobal(me->position().toPoint());
      if (DragSource() == c) {
        if (button == mbLeft) {
          d->pressedInside = false;
          g_drag.shift = ShiftFromQt(me->modifiers(), me->buttons());
          if (global != g_drag.last) DragMoveTo(global);
          DragEnd(true);
          return true;
        }
      }
      QPoint p = ClientPos(c, receiver, me->position().toPoint());
      TShiftState shift = ShiftFromQt(me->modifiers(), me->buttons());
      QPointer<QWidget> guard(receiver);
      if (button == mbLeft && d->pressedInside) {
        d->pressedInside = false;
        if (d->clickOnMouseUp && p.x() >= 0 && p.y() >= 0 && p.x() < d->clientWidth() && p.y() < d->clientHeight()) {
          SafeCall(c, [c] { c->Click(); });
          if (!guard || d->eventsDetached) return true;
        }
      }
      SafeCall(c, [&] { c->MouseUp(button, shift, p.x(), p.y()); });
      if (!guard || d->eventsDetached) return true;
      // The context menu comes after the right button is released, as on Windows.
      if (button == mbRight) return ContextPopup(c, global);
      return false;
    }
    case QEvent::MouseMove: {
      auto* me = static_cast<QMouseEvent*>(event);
      QPoint global = receiver->mapToGlobal(me->position().toPoint());
      if (DragSource() == c) {
        g_drag.shift = ShiftFromQt(me->modifiers(), me->buttons());
        DragMoveTo(global);
        return true;
      }
      QPoint p = ClientPos(c, receiver, me->position().toPoint());
      TShiftState shift = ShiftFromQt(me->modifiers(), me->buttons());
      SafeCall(c, [&] { c->MouseMove(shift, p.x(), p.y()); });
      return false;
    }
    case QEvent::Enter:
      if (!d->mouseInside) {
        d->mouseInside = true;
        SafeCall(c, [c] { c->MouseEnter(); });
      }
      return false;
    case QEvent::Leave:
      if (d->mouseInside) {
        d->mouseInside = false;
        SafeCall(c, [c] { c->MouseLeave(); });
      }
      return false;
    case QEvent::Wheel: {
      auto* we = static_cast<QWheelEvent*>(event);
      int delta = we->angleDelta().y();
      if (delta == 0) return false;
      TShiftState shift = ShiftFromQt(we->modifiers(), we->buttons());
      QPoint global = we->globalPosition().toPoint();
      // The control under the mouse first, then its parents up to the form.
      for (TControl* ctl = c; ctl; ctl = ctl->Parent()) {
        bool handled = false;
        SafeCall(ctl, [&] { handled = ctl->DoMouseWheel(shift, delta, TPoint(global.x(), global.y())); });
        if (handled) return true;
      }
      return false;
    }
    case QEvent::ContextMenu: {
      auto* ce = static_cast<QContextMenuEvent*>(event);
      // Mouse-made context menus are raised on the button release instead.
      if (ce->reason() == QContextMenuEvent::Mouse) return true;
      return ContextPopup(c, ce->globalPos());
    }
    case QEvent::Resize:
      if (receiver == d->widget) {
        // The widget's own size, not the event's: a window's resize notice can arrive
        // after the window system has already given it another size (a window shown
        // maximised hears of its designed size last), and its layout must follow the
        // size it has.
        QSize size = receiver->size();
        d->geometryFromWidget(nullptr, &size);
      }
      return false;
    case QEvent::Move:
      if (receiver == d->widget) {
        // A window's position is that of its frame.
        QPoint pos = d->isForm ? receiver->pos() : static_cast<QMoveEvent*>(event)->pos();
        d->geometryFromWidget(&pos, nullptr);
      }
      return false;
    default:
      return false;
  }
}

bool DragActive() { return g_drag.source && g_drag.active; }
TControl* DragSource() { return g_drag.source; }

void DragStart(TControl* source, bool immediate, int threshold, const QPoint& globalPos) {
  if (g_drag.source) DragEnd(false);
  // A drag follows the left button held down. Asked for once the button is up again (the
  // press's handler let its release run), it would hold the mouse and end only at the next
  // release, taking the click that belongs elsewhere.
  if (!(g_heldButtons & Qt::LeftButton)) return;
  g_drag = DragState();
  g_drag.source = source;
  g_drag.threshold = threshold < 0 ? 5 : threshold;
  g_drag.start = globalPos;
  g_drag.last = globalPos;
  g_drag.active = false;
  g_drag.shift = g_pressShift;
  TDragObject* obj = nullptr;
  SafeCall(source, [&] { source->DoStartDrag(obj); });
  if (g_drag.source != source) return;  // the handler ended it
  g_drag.object = obj;
  if (QWidget* w = source->Private()->clientWidget()) w->grabMouse();
  if (immediate) {
    g_drag.active = true;
    DragMoveTo(globalPos);
  }
}

void DragEnd(bool drop) {
  if (!g_drag.source) return;
  DragState state = g_drag;
  g_drag = DragState();
  if (state.overrideCursor) QGuiApplication::restoreOverrideCursor();
  if (QWidget* w = state.source->Private()->clientWidget()) w->releaseMouse();
  QPoint global = state.last;
  TObject* sourceObj = state.object ? static_cast<TObject*>(state.object) : state.source;
  TControl* target = nullptr;
  QPoint p;
  if (state.active && state.target) {
    p = ClientPosOf(state.target, global);
    if (drop && state.accepted) target = state.target;
    else {
      bool dummy = false;
      SafeCall(state.target, [&] { state.target->DragOver(sourceObj, p.x(), p.y(), dsDragLeave, dummy); });
    }
  }
  g_dropShift = state.shift;
  if (target) SafeCall(target, [&] { target->DragDrop(sourceObj, p.x(), p.y()); });
  SafeCall(state.source, [&] { state.source->DoEndDrag(target, target ? p.x() : 0, target ? p.y() : 0); });
}

void InstallApplicationFilter() {
  if (g_filter) return;
  EnsureQtApplication();
  g_filter = new ApplicationFilter();
  qApp->installEventFilter(g_filter);
  QObject::connect(qApp, &QApplication::focusChanged, g_filter, &FocusChanged);
}

void ProcessEvents(bool wait) {
  QCoreApplication::processEvents(wait ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  CheckSynchronize();
  FlushPendingDeletes();
}

// Deletes a control's widget now, or after the event being handled when the layer is
// inside an event handler (the widget may be the one handling it).
void DeleteWidget(QWidget* widget) {
  if (!widget) return;
  UnregisterWidget(widget);
  DeleteSafely(widget);
}

void DeleteSafely(QObject* object) {
  if (!object) return;
  if (g_dispatchDepth > 0) {
    if (object->isWidgetType()) static_cast<QWidget*>(object)->hide();
    object->disconnect();
    PendingDeletes().emplace_back(object);
  } else {
    delete object;
  }
}

Qt::CursorShape QtCursorShape(TCursor cursor) {
  switch (cursor) {
    case crNone: return Qt::BlankCursor;
    case crCross: return Qt::CrossCursor;
    case crIBeam: return Qt::IBeamCursor;
    case crSizeNESW: return Qt::SizeBDiagCursor;
    case crSizeNS: return Qt::SizeVerCursor;
    case crSizeNWSE: return Qt::SizeFDiagCursor;
    case crSizeWE: return Qt::SizeHorCursor;
    case crUpArrow: return Qt::UpArrowCursor;
    case crHourGlass: return Qt::WaitCursor;
    case crSQLWait: return Qt::WaitCursor;
    case crDrag: return Qt::DragCopyCursor;
    case crMultiDrag: return Qt::DragCopyCursor;
    case crNoDrop: return Qt::ForbiddenCursor;
    case crNo: return Qt::ForbiddenCursor;
    case crHSplit: return Qt::SplitHCursor;
    case crVSplit: return Qt::SplitVCursor;
    case crAppStart: return Qt::BusyCursor;
    case crHelp: return Qt::WhatsThisCursor;
    case crHandPoint: return Qt::PointingHandCursor;
    case crSizeAll: return Qt::SizeAllCursor;
    default: return Qt::ArrowCursor;
  }
}

QColor QtColor(TColor color) { return ToQColor(color); }

QString QtText(const std::string& s) {
  if (IsValidUtf8(s)) return QString::fromUtf8(s.data(), int(s.size()));
  const std::string shown = DisplayTextOf(s);
  return QString::fromUtf8(shown.data(), int(shown.size()));
}
std::string StdText(const QString& s) { return s.toUtf8().toStdString(); }

}  // namespace gui

TShiftState DropShiftState() { return g_dropShift; }

TControl* FindDragTarget(const TPoint& screenPos, bool allowDisabled) {
  QWidget* w = QApplication::widgetAt(QPoint(screenPos.X, screenPos.Y));
  for (TControl* c = gui::FindControl(w); c; c = c->Parent())
    if (allowDisabled || c->Enabled()) return c;
  return nullptr;
}

TCustomForm* GetParentForm(const TControl* control) {
  for (const TControl* c = control; c; c = c->Parent())
    if (auto* f = dynamic_cast<const TCustomForm*>(c)) return const_cast<TCustomForm*>(f);
  return nullptr;
}
