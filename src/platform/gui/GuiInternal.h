#pragma once
// Inside the layer only (files in src/platform): the toolkit side of the controls.
// Each control owns one QWidget made by its class ("host" widgets below report their
// events back to the control); a windowed control may place its children in a
// different widget (a form's client area below the menu bar, a scroll box's viewport).
#include <QEvent>
#include <QPointer>
#include <QWidget>

class QDialog;
class QFileDialog;

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/graphics/Graphics.h"

class QAction;
class QKeyEvent;
class QMenuBar;
class QMouseEvent;
class QPainter;
class TMainMenu;
class TMenuItem;

struct TControlPrivate {
  explicit TControlPrivate(TControl* c) : control(c) {}
  TControl* control;
  QPointer<QWidget> widget;        // the control's own window
  QPointer<QWidget> client;        // where child controls' windows go (often == widget)
  TWinControl* parent = nullptr;
  std::vector<TControl*> children;  // windowed controls only, in insertion order

  // Bounds as the class library keeps them (relative to the parent's client area).
  int left = 0, top = 0, width = 0, height = 0;
  TAlign align = alNone;
  TAnchors anchors{akLeft, akTop};
  std::unique_ptr<TSizeConstraints> constraints;
  int lastClientWidth = -1, lastClientHeight = -1;  // for anchored children
  int alignDisabled = 0;
  bool aligning = false;
  // Frame width on each side (the client area is the rest).
  int frame = 0;

  bool visible = true;
  bool enabled = true;
  bool isWinControl = false;
  bool isForm = false;
  // csClickEvents: a press and release of the left button inside the control is a click.
  bool clickOnMouseUp = true;
  // The toolkit handles a mouse press before OnMouseDown (lists and trees select first).
  bool nativePressFirst = false;
  bool pressedInside = false;
  bool mouseInside = false;

  std::string text;
  std::string hint;
  bool showHint = false;
  bool parentShowHint = true;
  TColor color = clBtnFace;
  bool parentColor = false;
  std::unique_ptr<TFont> font;
  bool parentFont = true;
  bool applyingParentFont = false;
  TCursor cursor = crDefault;
  TPopupMenu* popupMenu = nullptr;
  TDragMode dragMode = dmManual;
  TCursor dragCursor = crDrag;
  bool tabStop = false;
  int tabOrder = -1;
  bool doubleBuffered = false;
  bool opaque = false;

  std::unique_ptr<TCanvas> canvas;  // self-painting controls
  bool eventsDetached = false;

  // --- helpers ---
  QWidget* clientWidget() const { return client ? client.data() : widget.data(); }
  int clientWidth() const;
  int clientHeight() const;
  // Applies left/top/width/height to the widget.
  void applyGeometry();
  // The widget was resized or moved by the toolkit: takes its geometry over. A move
  // carries only the position and a resize only the size (a window's other half may
  // still be on its way from the window system).
  void geometryFromWidget(const QPoint* pos = nullptr, const QSize* size = nullptr);
  void applyFont();
  void applyColor();
  void applyCursor();
  void applyHint();
  bool effectiveShowHint() const;
  // Runs fn with the control's canvas bound to painter (clip: the area being painted).
  void paintWithCanvas(QPainter& painter, const QRect& clip, const std::function<void()>& fn);
  // Paints a self-painting control (its Paint through the canvas).
  void paint(QPainter& painter, const QRect& clip);
  TCanvas* ensureCanvas();
};

namespace gui {

// --- widget registry: which control a widget belongs to ---
void RegisterWidget(QWidget* widget, TControl* control);
void UnregisterWidget(QWidget* widget);
// The control of exactly this widget (nullptr when it is not one of the layer's).
TControl* ControlOfWidget(const QObject* object);
// The control of this widget or of its nearest registered parent.
TControl* FindControl(const QObject* object);
TWinControl* FindWinControl(const QObject* object);

// Installs the control's widget (and its client area, when it is another widget).
void AttachWidget(TControl* control, QWidget* widget, QWidget* client = nullptr);
// Registers an inner widget (a scroll area's viewport, a spin box's edit) so that its
// mouse events reach the control too.
void AttachInnerWidget(TControl* control, QWidget* inner);

// The generic events of a control (mouse, enter/leave, resize, context menu, drag);
// returns true when the event is used up and the toolkit must not see it.
bool DispatchEvent(TControl* control, QWidget* receiver, QEvent* event, bool afterNative);
// Presses, releases, double clicks, moves and the wheel.
bool IsMouseEvent(const QEvent* event);
// Events the toolkit should handle before the control's OnMouseDown.
bool NativeFirst(TControl* control, QEvent* event);

// Raises EListError "List index out of bounds (n)" (translated).
[[noreturn]] void ListIndexError(int index);

// Runs fn, passing an exception that escapes it to the application's handler (event
// handlers must never throw into the toolkit).
void SafeCall(TObject* sender, const std::function<void()>& fn);

// --- conversions ---
TShiftState ShiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
uint16_t VirtualKeyFromQt(const QKeyEvent* event);
int QtKeyFromVirtualKey(uint16_t vk);
Qt::CursorShape QtCursorShape(TCursor cursor);
QCursor QtCursor(TCursor cursor);
QColor QtColor(TColor color);
// The accelerator text for the toolkit: '&' kept, "&&" kept.
QString QtText(const std::string& s);
std::string StdText(const QString& s);

// The application-wide key handling: shortcuts, key preview, OnKeyDown/OnKeyPress/OnKeyUp.
void InstallApplicationFilter();
// A drag of the program's own controls is running.
bool DragActive();
// The mouse's screen position in the last mouse event the layer handled.
QPoint LastMousePos();
void DragStart(TControl* source, bool immediate, int threshold, const QPoint& globalPos);
void DragEnd(bool drop);
TControl* DragSource();

// Forms live in their own top-level windows; the form's menu bar sits above the client.
QWidget* FormClientWidget(TCustomForm* form);
// The window that asks for a dialog: the innermost modal window that runs, else the
// active one, else the one that was active last, else the main window (each only when
// visible and not `except`).
TCustomForm* AskingForm(const TCustomForm* except);
// Puts a toolkit dialog in front of the window that asks: its transient parent, and on
// top when that window or another shown one stays on top (the window system would put it
// behind otherwise).
void InFrontOfAskingWindow(QWidget* dialog);
// Opens Qt's own file dialog at a size that shows each column of its detail view whole
// (name, size, type and date, in the user's language and date format) once it has read
// its first folder, as far as the screen allows.
void FitFileDialog(QFileDialog& dialog);
// Makes Qt's own file dialog the program's: its list in the program's formats and words
// (sizes, dates, folders), and no command in it that deletes or renames a file (the
// list's menu, Delete and F2, drops). Called before the dialog is given its folder.
void PrepareFileDialog(QFileDialog& dialog);
// Runs a toolkit dialog modally; Rejected at once when the program is ending.
int RunDialog(QDialog& dialog);
// Ends every toolkit dialog that runs, as Cancel: the program is ending (its loop would
// wait for the dialog otherwise).
void EndToolkitDialogs();
// A shown form other than `except`, and not one kept in front of it, stays on top.
bool StayOnTopShown(const TCustomForm* except);
// Runs the show/hide bookkeeping of a form whose window the toolkit showed or hid.
void FormVisibilityChanged(TCustomForm* form, bool visible);

// Runs pending deferred deletes and posted calls (used by ProcessMessages).
void ProcessEvents(bool wait);
// Deletes a control's widget now, or right after the event being handled.
void DeleteWidget(QWidget* widget);
// Deletes a toolkit object (a timer, an action, a menu) now, or right after the event being
// handled when that may be its own.
void DeleteSafely(QObject* object);

// The menu or menu bar widget that shows a menu item (and the item's action).
QWidget* MenuWidgetOf(TMenuItem* item, QAction** action);
// Lays a menu's items out again (as before it is shown).
void RemeasureMenu(QWidget* menu);
// The menu bar widget of a main menu, and the form that shows it.
QMenuBar* MenuBarOf(TMainMenu* menu);
void SetMenuForm(TMainMenu* menu, TCustomForm* form);
// The toolkit cursor of a stock or registered cursor.
// (QtCursor above.)

// A plain widget for windowed controls that only hold others; fills its background.
QWidget* NewContainerWidget(TControl* control);
// A widget whose painting is the control's Paint (graphic and custom controls).
QWidget* NewPaintWidget(TControl* control, bool fillBackground);

}  // namespace gui

// What every host widget has: the control it reports to (cleared when the control goes).
class HostBase {
 public:
  explicit HostBase(TControl* control) : control_(control) {}
  virtual ~HostBase() = default;
  TControl* control() const { return control_; }
  void detach() { control_ = nullptr; }
  // The key continues a name the user is typing into the widget to find a row by it: it is
  // the widget's own, and no shortcut, key preview or key event of the control takes it.
  virtual bool continuesTypedName(const QKeyEvent*) const { return false; }

 protected:
  TControl* control_;
};

// A toolkit widget that reports its events to its control.
template <class Base>
class HostWidget : public Base, public HostBase {
 public:
  template <class... Args>
  explicit HostWidget(TControl* control, Args&&... args) : Base(std::forward<Args>(args)...), HostBase(control) {}

 protected:
  bool event(QEvent* e) override {
    TControl* c = control_;
    if (!c) return Base::event(e);
    QPointer<QObject> guard(this);
    if (gui::NativeFirst(c, e)) {
      bool r = Base::event(e);
      if (guard && control_) gui::DispatchEvent(c, this, e, true);
      return r;
    }
    if (gui::DispatchEvent(c, this, e, false)) return true;
    if (!guard) return true;
    bool r = Base::event(e);
    // Mouse events stay with the control they are for: a parent control never sees them.
    if (guard && gui::IsMouseEvent(e)) e->accept();
    return r;
  }
};

// A scroll area (list, tree, memo, scroll box) whose viewport events reach the control too.
template <class Base>
class HostScrollArea : public HostWidget<Base> {
 public:
  template <class... Args>
  explicit HostScrollArea(TControl* control, Args&&... args) : HostWidget<Base>(control, std::forward<Args>(args)...) {}

 protected:
  bool viewportEvent(QEvent* e) override {
    TControl* c = this->control();
    if (!c) return Base::viewportEvent(e);
    QPointer<QObject> guard(this);
    QWidget* vp = this->viewport();
    if (gui::NativeFirst(c, e)) {
      bool r = Base::viewportEvent(e);
      if (guard && this->control()) gui::DispatchEvent(c, vp, e, true);
      return r;
    }
    if (e->type() != QEvent::Resize && e->type() != QEvent::Move && gui::DispatchEvent(c, vp, e, false)) return true;
    if (!guard) return true;
    return Base::viewportEvent(e);
  }
};
