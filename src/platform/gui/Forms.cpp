// Forms, scroll boxes, the application object and the screen.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <utility>
#include <unistd.h>

#include "platform/QtApplication.h"
#include "platform/graphics/CanvasQt.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/Menus.h"
#include "platform/gui/ModalResponder.h"
#include "platform/i18n/GnuGetText.h"

// ===========================================================================
// Form windows
// ===========================================================================
namespace {

// Marks a window that the toolkit will make anew when it next shows it.
constexpr char kMadeAnew[] = "kivo2MadeAnew";

// Sets the flags of a form's toolkit window alone. A change of its stay-on-top state makes
// the toolkit make the window anew when it next shows it, behind the widget's back and
// without its role: such a window is marked, and SetVisible has the widget make it anew.
void SetWindowFlagsNow(QWidget* w, Qt::WindowFlags flags) {
  QWindow* window = w->windowHandle();
  if (!window || window->flags() == flags) return;
  if ((window->flags() ^ flags) & Qt::WindowStaysOnTopHint) w->setProperty(kMadeAnew, true);
  window->setFlags(flags);
}

void SetOnTopNow(QWidget* w, bool on) {
  if (QWindow* window = w->windowHandle())
    SetWindowFlagsNow(w, on ? window->flags() | Qt::WindowStaysOnTopHint : window->flags() & ~Qt::WindowStaysOnTopHint);
}

class FormWidget : public HostWidget<QWidget> {
 public:
  explicit FormWidget(TControl* form) : HostWidget<QWidget>(form, nullptr, Qt::Window) {}

  // Where the last press in the window found the window's inside on the screen.
  std::optional<QPoint> pressOrigin;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::MouseButtonPress) {
      auto* press = static_cast<QMouseEvent*>(e);
      pressOrigin = (press->globalPosition() - press->position()).toPoint();
    }
    return false;
  }
  bool event(QEvent* e) override {
    // The window's presses, before any control of it has them.
    if (e->type() == QEvent::Show && windowHandle()) windowHandle()->installEventFilter(this);
    if (auto* form = dynamic_cast<TCustomForm*>(control())) {
      if (e->type() == QEvent::WindowActivate) {
        gui::SafeCall(form, [form] { form->Activate(); });
        return QWidget::event(e);
      }
      if (e->type() == QEvent::WindowDeactivate) {
        gui::SafeCall(form, [form] { form->Deactivate(); });
        return QWidget::event(e);
      }
      // While a modal window blocks it, a shown window that stays on top steps down among
      // the others: a click on it cannot put it over the modal window then.
      const bool blocked = e->type() == QEvent::WindowBlocked;
      if ((blocked || e->type() == QEvent::WindowUnblocked) && isVisible())
        SetOnTopNow(this, !blocked && ((windowFlags() & Qt::WindowStaysOnTopHint) ||
                                       (form->Modal() && gui::StayOnTopShown(form))));
    }
    return HostWidget<QWidget>::event(e);
  }
  void resizeEvent(QResizeEvent* e) override {
    QWidget::resizeEvent(e);
    if (auto* form = dynamic_cast<TCustomForm*>(control())) form->LayoutWindow();
  }
  void moveEvent(QMoveEvent* e) override {
    QWidget::moveEvent(e);
    if (auto* form = dynamic_cast<TCustomForm*>(control())) form->WindowMoved();
  }
  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    if (auto* form = dynamic_cast<TCustomForm*>(control())) gui::SafeCall(form, [form] { form->Close(); });
  }
};

// The forms whose ShowModal runs, the innermost last.
std::vector<TCustomForm*>& ModalForms() {
  static std::vector<TCustomForm*> forms;
  return forms;
}

// The form that was active last. Between a dialog closing and the window system giving
// the keyboard back to the form behind it no form is active, yet a question asked then
// comes from that form.
TCustomForm* g_lastActive = nullptr;

// Once a modal window has closed, the window that asked for it gets the keyboard back, to
// the control that had it: the window manager leaves no window active when the window it
// gives the keyboard to closes right after (a modal window's question answered with Yes).
// The window system takes such a request only when it carries a time after the closing,
// which the toolkit learns from the events that follow: it is asked again (a few times at
// most) until the window is active, unless another window has taken the keyboard or runs
// modally meanwhile.
void GiveKeyboardBack(QWidget* asking, int tries = 10, int delayMs = 0) {
  if (!asking) return;
  QTimer::singleShot(delayMs, asking, [asking, tries] {
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* active = QApplication::activeWindow();
    if (!asking->isVisible() || (modal && modal != asking) || (active && active->isVisible())) return;
    asking->activateWindow();
    if (tries > 1) GiveKeyboardBack(asking, tries - 1, 50);
  });
}

// A toolkit dialog gives the keyboard back to the window that asked for it as it closes.
class KeyboardBackOnHide : public QObject {
 public:
  KeyboardBackOnHide(QWidget* dialog, QWidget* asking) : QObject(dialog), asking_(asking) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Hide) GiveKeyboardBack(asking_);
    return false;
  }

 private:
  QPointer<QWidget> asking_;
};

void MakeFormWidget(TControl* c) {
  auto* w = new FormWidget(c);
  QWidget* client = gui::NewPaintWidget(c, true);
  client->setParent(w);
  gui::AttachWidget(c, w, client);
}

}  // namespace

struct TCustomForm::Data {
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  TModalResult modalResult = mrNone;
  bool modal = false;
  bool created = false;
  bool destroyed = false;
  bool active = false;
  bool noActivate = false;
  TFormStyle formStyle = fsNormal;
  TBorderStyle borderStyle = bsSizeable;
  Qt::WindowFlags windowFlags = Qt::Window;  // as last given to the toolkit
  QRect nudgedFrom;  // where the inside goes back to after a frame change
  TBorderIcons borderIcons{biSystemMenu, biMinimize, biMaximize};
  TWindowState windowState = wsNormal;
  bool fullScreen = false;
  bool framePending = false;  // shown, but not yet framed by the window system
  QRect savedGeometry;
  // The window's state before full screen (maximised or normal), given back after it.
  Qt::WindowStates savedState = Qt::WindowNoState;
  TPosition position = poDesigned;
  TCustomForm* popupParent = nullptr;     // set by the program
  TCustomForm* modalParent = nullptr;     // the window that asked, while ShowModal runs
  TMainMenu* menu = nullptr;
  TWinControl* activeControl = nullptr;
  bool autoSize = false;
  bool keyPreview = false;
  bool alphaBlend = false;
  uint8_t alphaBlendValue = 255;
  // Message dialog forms answer as MessageDlg under test.
  bool messageDialog = false;
  std::string messageText;
  int dlgType = mtCustom;
  uint64_t buttons = 0;
};

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner, &MakeFormWidget), data_(std::make_unique<Data>()) {
  TControlPrivate* d = Private();
  d->isForm = true;
  d->visible = false;
  d->clickOnMouseUp = true;
  d->parentFont = false;
  d->parentColor = false;
  d->parentShowHint = false;
  d->color = clBtnFace;
  d->applyColor();
  SetBounds(0, 0, 320, 240);
  Constraints()->OnChange = [this](TObject*) {
    applySizeLimits();
    SetBounds(Left(), Top(), Width(), Height());
  };
  Screen->AddForm(this);
  applyWindowFlags();
}

TCustomForm::~TCustomForm() {
  BeforeDestruction();
  *data_->alive = false;
  auto& modal = ModalForms();
  modal.erase(std::remove(modal.begin(), modal.end(), this), modal.end());
  if (g_lastActive == this) g_lastActive = nullptr;
  if (Screen)
    for (int i = 0; i < Screen->FormCount(); ++i) {
      TCustomForm* other = Screen->Forms(i);
      if (other->data_->popupParent == this) other->data_->popupParent = nullptr;
      if (other->data_->modalParent == this) other->data_->modalParent = nullptr;
    }
  if (Screen) Screen->RemoveForm(this);
  if (Application) Application->FormCreated(nullptr);  // forgets this form as main form if it was
  if (data_->menu) gui::SetMenuForm(data_->menu, nullptr);
}

void TCustomForm::BeforeDestruction() {
  if (data_->destroyed) return;
  data_->destroyed = true;
  if (OnDestroy) gui::SafeCall(this, [this] { OnDestroy(this); });
  // No event may reach the form's handlers any more: detach every control of the form.
  std::vector<TControl*> stack{this};
  while (!stack.empty()) {
    TControl* c = stack.back();
    stack.pop_back();
    c->Private()->eventsDetached = true;
    if (auto* h = dynamic_cast<HostBase*>(c->Private()->widget.data())) h->detach();
    if (auto* h = dynamic_cast<HostBase*>(c->Private()->client.data())) h->detach();
    for (TControl* child : c->Private()->children) stack.push_back(child);
  }
  if (QWidget* w = Private()->widget) w->hide();
}

void TCustomForm::DoCreate() {
  if (data_->created) return;
  data_->created = true;
  if (OnCreate) OnCreate(this);
}

void TCustomForm::LayoutWindow() {
  QWidget* w = Private()->widget;
  QWidget* client = Private()->client;
  if (!w || !client) return;
  int mh = 0;
  if (data_->menu) {
    if (QMenuBar* bar = gui::MenuBarOf(data_->menu); bar && !bar->isHidden()) {
      mh = bar->sizeHint().height();
      bar->setGeometry(0, 0, w->width(), mh);
    }
  }
  client->setGeometry(0, mh, w->width(), std::max(0, w->height() - mh));
  AlignControls();
}

int TCustomForm::ClientWidth() const { return Width(); }
int TCustomForm::ClientHeight() const {
  int mh = 0;
  if (data_ && data_->menu)
    if (QMenuBar* bar = gui::MenuBarOf(data_->menu); bar && !bar->isHidden()) mh = bar->sizeHint().height();
  return std::max(0, Height() - mh);
}
void TCustomForm::SetClientWidth(int v) { SetWidth(v); }
void TCustomForm::SetClientHeight(int v) { SetHeight(v + (Height() - ClientHeight())); }

void TCustomForm::TextChanged() {
  if (QWidget* w = Private()->widget) w->setWindowTitle(gui::QtText(Private()->text));
}

void TCustomForm::applyWindowFlags() {
  QWidget* w = Private()->widget;
  if (!w) return;
  Qt::WindowFlags f = Qt::Window;
  switch (data_->borderStyle) {
    case bsNone:
      // A frameless window in front of another is a tool window of it: only so does the
      // window system keep it in front of that window, also of a full-screen one.
      f = PopupParent() ? Qt::Tool | Qt::FramelessWindowHint : Qt::Window | Qt::FramelessWindowHint;
      break;
    case bsDialog: f = Qt::Dialog; break;
    case bsToolWindow:
    case bsSizeToolWin: f = Qt::Tool; break;
    default: break;
  }
  if (data_->formStyle == fsStayOnTop) f |= Qt::WindowStaysOnTopHint;
  // A window in front of a stay-on-top window must stay on top as well, or the window
  // system puts it behind that window.
  if (TCustomForm* parent = PopupParent(); parent && parent->StaysOnTop()) f |= Qt::WindowStaysOnTopHint;
  if (data_->noActivate) f |= Qt::WindowDoesNotAcceptFocus;
  if (data_->windowFlags == f) return;
  data_->windowFlags = f;
  QWindow* window = w->windowHandle();
  if (!window || !window->handle() || !w->isVisible()) {
    // A hidden window is made anew by the widget when it shows next (see SetWindowFlagsNow).
    if (window && window->handle()) window->destroy();
    w->setWindowFlags(f);
    return;
  }
  // A shown window keeps its window: only the flags change, and the window manager puts the
  // frame on or off around an inside that stays where it is. (Made anew, the window would
  // lose its role and come back where the window manager last had its frame.)
  w->overrideWindowFlags(f);
  SetWindowFlagsNow(w, f);
  if (w->windowState() != Qt::WindowNoState) return;
  // The window manager keeps the inside in place only once told that the inside's place
  // counts (static gravity). The toolkit tells it so of a window it has placed by its inside,
  // not of one placed by its frame as every window is at its first showing, and it sends no
  // move to where the window is: a pixel aside, and back once the window manager has put it
  // there (WindowMoved). By then the frame is the new one, and the toolkit learns its size
  // from the moves.
  data_->nudgedFrom = window->geometry();
  window->setGeometry(data_->nudgedFrom.translated(1, 0));
}

void TCustomForm::applyPosition() {
  int x = Left(), y = Top();
  TCustomForm* over = nullptr;
  switch (data_->position) {
    case poScreenCenter:
    case poDesktopCenter: {
      TRect r = Screen->WorkAreaRect();
      x = r.Left + (r.Width() - Width()) / 2;
      y = r.Top + (r.Height() - Height()) / 2;
      break;
    }
    case poMainFormCenter: over = Application->MainForm(); break;
    case poOwnerFormCenter: over = dynamic_cast<TCustomForm*>(Owner()); break;
    default: return;
  }
  if (data_->position == poMainFormCenter || data_->position == poOwnerFormCenter) {
    if (over && over != this && over->Visible()) {
      x = over->Left() + (over->Width() - Width()) / 2;
      y = over->Top() + (over->Height() - Height()) / 2;
    } else {
      x = (Screen->Width() - Width()) / 2;
      y = (Screen->Height() - Height()) / 2;
    }
  }
  SetBounds(std::max(0, x), std::max(0, y), Width(), Height());
}

TSize TCustomForm::FrameExtra() const {
  // Under test the screen is the responder's, with windows without frames.
  if (ModalResponder::Scripted()) return TSize{0, 0};
  auto extra = [](const QWidget* w) {
    return w ? TSize{w->frameGeometry().width() - w->width(), w->frameGeometry().height() - w->height()} : TSize{0, 0};
  };
  TSize own = extra(Private()->widget);
  if (own.cx > 0 || own.cy > 0) return own;
  // Before its first showing the window has no frame yet: the main window's is the
  // estimate (tool windows have smaller ones, so the window stays inside).
  TCustomForm* main = Application ? Application->MainForm() : nullptr;
  if (main && main != this && main->Private()->widget && main->Private()->widget->isVisible() &&
      !main->FullScreen())
    return extra(main->Private()->widget);
  return own;
}

void TCustomForm::SetFrameBounds(const TRect& outer) {
  const TSize extra = FrameExtra();
  SetBounds(outer.Left, outer.Top, std::max(0, outer.Width() - extra.cx), std::max(0, outer.Height() - extra.cy));
}

void TCustomForm::keepInWorkArea() {
  if (ModalResponder::Scripted() || !Screen) return;
  const TRect area = Screen->WorkAreaRect();
  const TSize extra = FrameExtra();
  // Too large a window is made smaller, then moved until the whole of it is inside.
  const int width = std::min(Width(), std::max(1, area.Width() - extra.cx));
  const int height = std::min(Height(), std::max(1, area.Height() - extra.cy));
  const int left = std::max(int(area.Left), std::min(Left(), int(area.Right) - width - extra.cx));
  const int top = std::max(int(area.Top), std::min(Top(), int(area.Bottom) - height - extra.cy));
  if (left != Left() || top != Top() || width != Width() || height != Height()) SetBounds(left, top, width, height);
}

void TCustomForm::applySizeLimits() {
  QWidget* w = Private()->widget;
  if (!w) return;
  const TSizeConstraints* c = Constraints();
  const TSize extra = FrameExtra();
  auto limit = [](int value, int frame, int none) { return value > 0 ? std::max(1, value - frame) : none; };
  w->setMinimumSize(limit(c->MinWidth(), extra.cx, 0), limit(c->MinHeight(), extra.cy, 0));
  w->setMaximumSize(limit(c->MaxWidth(), extra.cx, QWIDGETSIZE_MAX), limit(c->MaxHeight(), extra.cy, QWIDGETSIZE_MAX));
}

void TCustomForm::WindowMoved() {
  QWidget* w = Private()->widget;
  // The frame may be new: the limits of the inside follow it.
  applySizeLimits();
  if (!data_->nudgedFrom.isNull() && w && w->geometry().topLeft() == data_->nudgedFrom.topLeft() + QPoint(1, 0)) {
    const QRect inside = std::exchange(data_->nudgedFrom, QRect());
    if (QWindow* window = w->windowHandle()) window->setGeometry(inside);
    return;
  }
  if (!data_->framePending || !w || !w->isVisible() || w->frameGeometry() == w->geometry()) return;
  data_->framePending = false;
  if (WindowState() == wsNormal && !data_->fullScreen) keepInWorkArea();
}

void TCustomForm::SetVisible(bool visible) {
  TControlPrivate* d = Private();
  QWidget* w = d->widget;
  if (!w) return;
  if (visible) {
    if (d->visible && w->isVisible()) return;
    d->visible = true;
    if (data_->autoSize) {
      // The size the controls need: free controls their extent, bars along an edge their
      // depth, and a control that fills the rest what its own free controls need.
      int right = 0, bottom = 0, edgeX = 0, edgeY = 0, fillX = 0, fillY = 0;
      for (TControl* c : d->children) {
        if (!c->Visible()) continue;
        const TAlign align = c->Align();
        if (align == alNone) {
          right = std::max(right, c->Left() + c->Width());
          bottom = std::max(bottom, c->Top() + c->Height());
        } else if (align == alTop || align == alBottom) {
          edgeY += c->Height();
        } else if (align == alLeft || align == alRight) {
          edgeX += c->Width();
        } else if (align == alClient) {
          const int frame = 2 * c->Private()->frame;
          for (TControl* inner : c->Private()->children)
            if (inner->Visible() && inner->Align() == alNone) {
              fillX = std::max(fillX, inner->Left() + inner->Width() + frame);
              fillY = std::max(fillY, inner->Top() + inner->Height() + frame);
            }
        }
      }
      if (fillX > 0 && fillY > 0) {
        right = std::max(right, edgeX + fillX);
        bottom = std::max(bottom, edgeY + fillY);
      }
      if (right > 0 && bottom > 0) {
        SetClientWidth(right);
        SetClientHeight(bottom);
      }
    }
    if (data_->windowState == wsNormal && !data_->fullScreen) applyPosition();
    QPointer<QWidget> guard(w);
    gui::SafeCall(this, [this] { DoShow(); });
    if (!guard || !d->visible) return;
    if (data_->windowState == wsNormal && !data_->fullScreen) {
      keepInWorkArea();
      data_->framePending = data_->borderStyle != bsNone;
    }
    if (w->property(kMadeAnew).toBool()) {
      w->setProperty(kMadeAnew, QVariant());
      if (QWindow* window = w->windowHandle(); window && window->handle()) window->destroy();
    }
    w->setAttribute(Qt::WA_ShowWithoutActivating, data_->noActivate);
    // The form's name is the window's role: window managers and session tools tell the
    // program's windows apart by it.
    w->setWindowRole(gui::QtText(Name()));
    applyTransientParent();
    if (data_->windowState == wsNormal && !data_->fullScreen && !ModalResponder::Scripted())
      if (QWindow* window = w->windowHandle()) {
        // The frame goes to Left and Top, as at a first showing: a window made anew (its
        // stay-on-top state changed while a question blocked it) would otherwise be placed
        // by its inside at the corner the window manager left it at, its title bar out of
        // reach above the work area.
        window->create();
        window->setFramePosition(QPoint(Left(), Top()));
      }
    if (data_->fullScreen && !ModalResponder::Scripted())
      w->showFullScreen();
    else if (data_->windowState == wsMaximized)
      w->showMaximized();
    else if (data_->windowState == wsMinimized)
      w->showMinimized();
    else
      w->show();
    // A modal window blocks every other window of the program: none may cover it. The
    // shown window is told so (a new window would lose the role and place it was given).
    if (data_->modal && gui::StayOnTopShown(this)) SetOnTopNow(w, true);
    LayoutWindow();
    if (!data_->noActivate) {
      if (QGuiApplication::platformName() != QLatin1String("offscreen")) w->raise();
      w->activateWindow();
      if (data_->activeControl && data_->activeControl->CanFocus())
        if (QWidget* aw = data_->activeControl->Private()->widget) aw->setFocus(Qt::ActiveWindowFocusReason);
    }
  } else {
    if (!d->visible && !w->isVisible()) return;
    d->visible = false;
    SetOnTopNow(w, w->windowFlags() & Qt::WindowStaysOnTopHint);
    w->hide();
    data_->active = false;
    gui::SafeCall(this, [this] { DoHide(); });
  }
}

void TCustomForm::Show() {
  data_->noActivate = false;
  applyWindowFlags();
  SetVisible(true);
  BringToFront();
}

void TCustomForm::ShowNoActivate() {
  data_->noActivate = true;
  applyWindowFlags();
  SetVisible(true);
}

int TCustomForm::ShowModal() {
  if (Visible() && Private()->widget && Private()->widget->isVisible())
    throw EInvalidOperation(_("Cannot make a visible window modal"));
  // The modal window opens in front of the window that asked.
  data_->modalParent = gui::AskingForm(this);
  ModalForms().push_back(this);
  auto alive = data_->alive;
  struct Done {
    TCustomForm* form;
    std::shared_ptr<bool> alive;
    ~Done() {
      auto& modal = ModalForms();
      modal.erase(std::remove(modal.begin(), modal.end(), form), modal.end());
      if (*alive) {
        // The window that asked has the keyboard back (or soon will): a question asked
        // before the window system says so comes from it, not from the main window.
        if (TCustomForm* asking = form->data_->modalParent) {
          g_lastActive = asking;
          GiveKeyboardBack(asking->Private()->widget);
        }
        form->data_->modalParent = nullptr;
        form->applyWindowFlags();
      }
    }
  } done{this, alive};
  return ModalResponder::Scripted() ? showModalScripted() : showModalReal();
}

TCustomForm* gui::AskingForm(const TCustomForm* except) {
  for (auto it = ModalForms().rbegin(); it != ModalForms().rend(); ++it)
    if (*it != except && (*it)->Visible()) return *it;
  if (Screen)
    if (TCustomForm* active = Screen->ActiveForm(); active && active != except && active->Visible()) return active;
  if (g_lastActive && g_lastActive != except && g_lastActive->Visible()) return g_lastActive;
  if (Application)
    if (TCustomForm* main = Application->MainForm(); main && main != except && main->Visible()) return main;
  return nullptr;
}

void gui::InFrontOfAskingWindow(QWidget* dialog) {
  TCustomForm* asking = AskingForm(nullptr);
  QWidget* parent = asking ? asking->Private()->widget.data() : nullptr;
  Qt::WindowFlags flags = dialog->windowFlags();
  // The dialog runs modally: no window of the program may cover it.
  if ((asking && asking->StaysOnTop()) || StayOnTopShown(nullptr)) flags |= Qt::WindowStaysOnTopHint;
  if (parent) dialog->setParent(parent, flags);
  else if (flags != dialog->windowFlags()) dialog->setWindowFlags(flags);
  dialog->installEventFilter(new KeyboardBackOnHide(dialog, parent));
}

bool gui::StayOnTopShown(const TCustomForm* except) {
  for (int i = 0; Screen && i < Screen->FormCount(); ++i) {
    TCustomForm* form = Screen->Forms(i);
    if (form == except || !form->Visible() || !form->StaysOnTop()) continue;
    // A window kept in front of `except` (the help asked for from it) is in front of it anyway.
    bool inFront = false;
    const TCustomForm* parent = form->PopupParent();
    for (int depth = 0; parent && !inFront && depth < 64; ++depth, parent = parent->PopupParent())
      inFront = parent == except;
    if (!inFront) return true;
  }
  return false;
}

TCustomForm* TCustomForm::PopupParent() const {
  return data_->popupParent ? data_->popupParent : data_->modalParent;
}
void TCustomForm::SetPopupParent(TCustomForm* parent) {
  data_->popupParent = parent == this ? nullptr : parent;
  applyWindowFlags();
}

bool TCustomForm::StaysOnTop() const {
  if (data_->formStyle == fsStayOnTop) return true;
  // A chain of windows in front of one another ends at a window without parent.
  const TCustomForm* form = this;
  for (int depth = 0; depth < 64; ++depth) {
    TCustomForm* parent = form->PopupParent();
    if (!parent || parent == this) return false;
    if (parent->data_->formStyle == fsStayOnTop) return true;
    form = parent;
  }
  return false;
}

void TCustomForm::applyTransientParent() {
  QWidget* w = Private()->widget;
  TCustomForm* parent = PopupParent();
  if (!w || QGuiApplication::platformName() == QLatin1String("offscreen")) return;
  QWidget* pw = parent ? parent->Private()->widget.data() : nullptr;
  if (!pw || !pw->isVisible()) {
    // In front of no window any more (the help asked for from the main window after it
    // was asked for from a modal window).
    if (QWindow* window = w->windowHandle(); window && window->transientParent()) window->setTransientParent(nullptr);
    return;
  }
  w->winId();
  pw->winId();
  if (QWindow* window = w->windowHandle()) window->setTransientParent(pw->windowHandle());
}

int TCustomForm::showModalReal() {
  auto alive = data_->alive;
  QWidget* w = Private()->widget;
  data_->modal = true;
  data_->modalResult = mrNone;
  w->setWindowModality(Qt::ApplicationModal);
  Show();
  while (true) {
    Application->HandleMessage();
    if (!*alive) return mrCancel;
    if (Application->Terminated()) data_->modalResult = mrCancel;
    if (data_->modalResult != mrNone && CloseModal()) break;
  }
  int result = data_->modalResult;
  SetVisible(false);
  w->setWindowModality(Qt::NonModal);
  data_->modal = false;
  return result;
}

int TCustomForm::showModalScripted() {
  auto alive = data_->alive;
  data_->modal = true;
  data_->modalResult = mrNone;
  Show();
  if (!*alive) return mrCancel;
  if (!data_->active) gui::SafeCall(this, [this] { Activate(); });
  while (*alive) {
    ModalRequest request;
    request.kind = data_->messageDialog ? ModalKind::MessageDlg : ModalKind::ShowModal;
    request.caption = Caption();
    request.text = data_->messageDialog ? data_->messageText : Caption();
    request.dlgType = TMsgDlgType(data_->dlgType);
    request.buttons = TMsgDlgButtons::FromBits(data_->buttons);
    request.form = this;
    const int unansweredBefore = ModalResponder::Unanswered();
    int result = mrNone;
    ModalResponder::Answer(request, result);
    if (!*alive) return result;
    if (ModalResponder::Unanswered() != unansweredBefore) {
      data_->modalResult = mrCancel;
      break;
    }
    if (result != mrNone) data_->modalResult = result;
    if (data_->modalResult == mrNone) data_->modalResult = mrCancel;
    if (CloseModal()) break;
    // OnCloseQuery or OnClose kept the form open: the script is asked again.
  }
  if (!*alive) return mrCancel;
  int result = data_->modalResult;
  SetVisible(false);
  data_->modal = false;
  return result;
}

bool TCustomForm::CloseModal() {
  try {
    TCloseAction action = caNone;
    if (CloseQuery()) {
      action = caHide;
      DoClose(action);
    }
    if (action == caNone) {
      data_->modalResult = mrNone;
      return false;
    }
    if (action == caFree) Release();
    return true;
  } catch (const std::exception& e) {
    data_->modalResult = mrNone;
    Application->HandleException(this, e);
    return false;
  }
}

void TCustomForm::Close() {
  if (data_->modal) {
    data_->modalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application->MainForm() == this)
    Application->Terminate();
  else if (action == caHide)
    SetVisible(false);
  else if (action == caMinimize)
    SetWindowState(wsMinimized);
  else
    Release();
}

void TCustomForm::Release() {
  SetVisible(false);
  auto alive = data_->alive;
  QMetaObject::invokeMethod(
      qApp,
      [alive, this] {
        if (*alive) delete this;
      },
      Qt::QueuedConnection);
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

TModalResult TCustomForm::ModalResult() const { return data_->modalResult; }
void TCustomForm::SetModalResult(TModalResult result) { data_->modalResult = result; }
bool TCustomForm::Modal() const { return data_->modal; }
bool TCustomForm::Active() const { return data_->active; }

void TCustomForm::Activate() {
  if (data_->active) return;
  data_->active = true;
  g_lastActive = this;
  if (OnActivate) OnActivate(this);
}
void TCustomForm::Deactivate() {
  if (!data_->active) return;
  data_->active = false;
  if (OnDeactivate) OnDeactivate(this);
}

TFormStyle TCustomForm::FormStyle() const { return data_->formStyle; }
void TCustomForm::SetFormStyle(TFormStyle style) {
  data_->formStyle = style;
  applyWindowFlags();
}
TBorderStyle TCustomForm::BorderStyle() const { return data_->borderStyle; }
void TCustomForm::SetBorderStyle(TBorderStyle style) {
  data_->borderStyle = style;
  applyWindowFlags();
}
TBorderIcons TCustomForm::BorderIcons() const { return data_->borderIcons; }
void TCustomForm::SetBorderIcons(TBorderIcons icons) { data_->borderIcons = icons; }

TWindowState TCustomForm::WindowState() const {
  QWidget* w = Private()->widget;
  if (w && w->isVisible()) {
    Qt::WindowStates s = w->windowState();
    if (s & Qt::WindowMinimized) return wsMinimized;
    if (s & (Qt::WindowMaximized | Qt::WindowFullScreen)) return wsMaximized;
    return wsNormal;
  }
  return data_->windowState;
}
void TCustomForm::SetWindowState(TWindowState state) {
  data_->windowState = state;
  QWidget* w = Private()->widget;
  if (!w || !w->isVisible()) return;
  switch (state) {
    case wsNormal: w->showNormal(); break;
    case wsMinimized: w->showMinimized(); break;
    case wsMaximized: w->showMaximized(); break;
  }
}

bool TCustomForm::FullScreen() const { return data_->fullScreen; }
void TCustomForm::SetFullScreen(bool on) {
  if (on == data_->fullScreen) return;
  QWidget* w = Private()->widget;
  data_->fullScreen = on;
  // Under test the screen is the responder's: the form simply takes its size.
  const bool scripted = ModalResponder::Scripted();
  if (on) {
    data_->savedGeometry = QRect(Left(), Top(), Width(), Height());
    data_->savedState = w ? w->windowState() & ~(Qt::WindowFullScreen | Qt::WindowMinimized) : Qt::WindowNoState;
    if (scripted) {
      TSize s = ModalResponder::ScreenSize();
      SetBounds(0, 0, s.cx, s.cy);
    } else if (w && w->isVisible()) {
      w->showFullScreen();
    }
  } else if (!scripted && w && w->isVisible()) {
    // The window system gives back the frame and, for a normal window, the place and size
    // it had; a maximised window is maximised again. Moving the window here would place
    // it by a frame the window system has not yet put back.
    w->setWindowState(data_->savedState);
  } else {
    const QRect& g = data_->savedGeometry;
    SetBounds(g.x(), g.y(), g.width(), g.height());
  }
}

TPosition TCustomForm::Position() const { return data_->position; }
void TCustomForm::SetPosition(TPosition position) { data_->position = position; }

TMainMenu* TCustomForm::Menu() const { return data_->menu; }
void TCustomForm::SetMenu(TMainMenu* menu) {
  if (menu == data_->menu) return;
  if (data_->menu) gui::SetMenuForm(data_->menu, nullptr);
  data_->menu = menu;
  if (menu) {
    // A menu shown by another form moves here.
    if (TCustomForm* other = menu->Form(); other && other != this) other->SetMenu(nullptr);
    menu->FreeNotification(this);
    gui::SetMenuForm(menu, this);
    menu->MenuChanged(nullptr, true);
  }
  LayoutWindow();
}

TWinControl* TCustomForm::ActiveControl() const { return data_->activeControl; }
void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control && control != data_->activeControl) control->FreeNotification(this);
  data_->activeControl = control;
  if (control && Showing() && control->CanFocus() && !control->Focused())
    if (QWidget* w = control->Private()->widget) w->setFocus(Qt::OtherFocusReason);
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == data_->menu) {
    data_->menu = nullptr;
    LayoutWindow();
  }
  if (component == data_->activeControl) data_->activeControl = nullptr;
}

bool TCustomForm::AutoSize() const { return data_->autoSize; }
void TCustomForm::SetAutoSize(bool v) { data_->autoSize = v; }
bool TCustomForm::KeyPreview() const { return data_->keyPreview; }
void TCustomForm::SetKeyPreview(bool v) { data_->keyPreview = v; }

void TCustomForm::StartSystemMove() {
  auto* w = static_cast<FormWidget*>(Private()->widget.data());
  QWindow* window = w ? w->windowHandle() : nullptr;
  if (!window) return;
  // The toolkit tells the window system where the drag starts by the place it believes
  // the window has. Right after a showing it may still believe the place the window
  // manager reported before it had placed the window, and the window would jump by the
  // difference: the press, on the screen and in the window, says where the window is.
  if (w->pressOrigin && *w->pressOrigin != window->position()) window->setPosition(*w->pressOrigin);
  window->startSystemMove();
}

void TCustomForm::RaiseWithoutActivating() {
  QWidget* w = Private()->widget;
  if (w && w->isVisible() && QGuiApplication::platformName() != QLatin1String("offscreen")) w->raise();
}

bool TCustomForm::AlphaBlend() const { return data_->alphaBlend; }
void TCustomForm::SetAlphaBlend(bool on) {
  data_->alphaBlend = on;
  applyOpacity();
}
uint8_t TCustomForm::AlphaBlendValue() const { return data_->alphaBlendValue; }
void TCustomForm::SetAlphaBlendValue(uint8_t value) {
  data_->alphaBlendValue = value;
  applyOpacity();
}
void TCustomForm::applyOpacity() {
  if (QWidget* w = Private()->widget) w->setWindowOpacity(data_->alphaBlend ? data_->alphaBlendValue / 255.0 : 1.0);
}

bool TCustomForm::TextRoom(TSize& needed, TSize& room) const {
  QWidget* w = Private()->widget;
  if (!w || BorderStyle() == bsNone || (Caption().empty() && QGuiApplication::applicationDisplayName().isEmpty()))
    return false;
  // The window system's title: the caption, a dash and the program's name (Qt adds it),
  // in a bold face beside the window's icon and three buttons, each as wide as the title
  // bar is high, with the label's padding of one more (as common title bars lay them out;
  // a narrower window has its title cut in the middle or at its end).
  QString title = gui::QtText(Caption());
  const QString program = QGuiApplication::applicationDisplayName();
  if (!program.isEmpty() && !title.endsWith(program)) title += (title.isEmpty() ? QString() : QStringLiteral(" \u2014 ")) + program;
  QFont font = QApplication::font();
  font.setBold(true);
  const QFontMetrics metrics(font);
  const int decoration = 5 * (metrics.height() + 8);
  needed = TSize{metrics.horizontalAdvance(title) + decoration, metrics.height()};
  room = TSize{Width(), Height()};
  return true;
}

void TCustomForm::SetIcon(const TIcon* icon) {
  QWidget* w = Private()->widget;
  if (!w) return;
  if (!icon || icon->Empty())
    w->setWindowIcon(QIcon());
  else
    w->setWindowIcon(QIcon(QPixmap::fromImage(BitmapToQImage(icon->Image(), true))));
}

TCanvas* TCustomForm::Canvas() const { return Private()->ensureCanvas(); }

bool TCustomForm::IsShortCut(uint16_t Key, TShiftState Shift) {
  if (!data_->menu) return false;
  return data_->menu->IsShortCut(::ShortCut(Key, Shift));
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}
void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}
void TCustomForm::DoClose(TCloseAction& Action) {
  if (OnClose) OnClose(this, Action);
}
void TCustomForm::Paint() {
  if (OnPaint) OnPaint(this);
}

void TCustomForm::SetMessageDialogInfo(const std::string& text, int dlgType, uint64_t buttons) {
  data_->messageDialog = true;
  data_->messageText = text;
  data_->dlgType = dlgType;
  data_->buttons = buttons;
}

// ===========================================================================
// Scroll boxes
// ===========================================================================
namespace {

class ScrollBoxWidget : public HostScrollArea<QAbstractScrollArea> {
 public:
  explicit ScrollBoxWidget(TControl* c) : HostScrollArea<QAbstractScrollArea>(c) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The area behind the children shows the box's Color (the toolkit's viewports
    // would paint the text-field background instead).
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
  }

 protected:
  void scrollContentsBy(int dx, int dy) override {
    if (viewport()->isVisible()) return viewport()->scroll(dx, dy);
    // The toolkit does not scroll a hidden area: its children move here, or they would keep
    // the old offset when the box shows again (and lie outside it, back at position 0).
    if (auto* box = dynamic_cast<TScrollingWinControl*>(control()))
      for (TControl* c : box->Private()->children) c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
  }
  void resizeEvent(QResizeEvent* e) override {
    QAbstractScrollArea::resizeEvent(e);
    if (auto* sb = dynamic_cast<TScrollingWinControl*>(control())) sb->UpdateScrollBars();
  }
  bool viewportEvent(QEvent* e) override {
    // The wheel scrolls only when a handler does it (as in the class library).
    if (e->type() == QEvent::Wheel) {
      HostScrollArea<QAbstractScrollArea>::viewportEvent(e);
      return true;
    }
    return HostScrollArea<QAbstractScrollArea>::viewportEvent(e);
  }
  void wheelEvent(QWheelEvent* e) override { e->accept(); }
};

int ScrollBarExtent() { return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent); }

void MakeScrollBoxWidget(TControl* c) {
  auto* w = new ScrollBoxWidget(c);
  gui::AttachWidget(c, w, w->viewport());
  // The toolkit reports the action before the contents move; the control hears of it after.
  QPointer<QWidget> guard(w);
  auto scrolled = [guard](TScrollBarKind kind) {
    QMetaObject::invokeMethod(
        guard.data(),
        [guard, kind] {
          auto* host = dynamic_cast<HostBase*>(guard.data());
          if (!host || !host->control()) return;
          auto* sb = static_cast<TScrollingWinControl*>(host->control());
          gui::SafeCall(sb, [sb, kind] { sb->DoScroll(kind); });
        },
        Qt::QueuedConnection);
  };
  QObject::connect(w->horizontalScrollBar(), &QScrollBar::actionTriggered, w, [scrolled](int) { scrolled(sbHorizontal); });
  QObject::connect(w->verticalScrollBar(), &QScrollBar::actionTriggered, w, [scrolled](int) { scrolled(sbVertical); });
}

QScrollBar* BarOf(const TScrollingWinControl* c, TScrollBarKind kind) {
  auto* w = dynamic_cast<QAbstractScrollArea*>(c->Private()->widget.data());
  if (!w) return nullptr;
  return kind == sbHorizontal ? w->horizontalScrollBar() : w->verticalScrollBar();
}

}  // namespace

TControlScrollBar::TControlScrollBar(TScrollingWinControl* control, TScrollBarKind kind)
    : control_(control), kind_(kind) {}

int TControlScrollBar::Position() const {
  QScrollBar* bar = BarOf(control_, kind_);
  return bar ? bar->value() : position_;
}
void TControlScrollBar::SetPosition(int v) {
  int max = std::max(0, range_ - ControlSize());
  v = std::clamp(v, 0, max);
  position_ = v;
  if (QScrollBar* bar = BarOf(control_, kind_)) {
    if (bar->maximum() < v) bar->setMaximum(v);
    bar->setValue(v);
  }
}
int TControlScrollBar::Range() const { return range_; }
void TControlScrollBar::SetRange(int v) {
  control_->SetAutoScroll(false);
  range_ = std::max(0, v);
  control_->UpdateScrollBars();
}
void TControlScrollBar::SetVisible(bool v) {
  visible_ = v;
  control_->UpdateScrollBars();
}
bool TControlScrollBar::IsScrollBarVisible() const {
  QScrollBar* bar = BarOf(control_, kind_);
  auto* w = dynamic_cast<QAbstractScrollArea*>(control_->Private()->widget.data());
  if (!bar || !w) return false;
  Qt::ScrollBarPolicy p = kind_ == sbHorizontal ? w->horizontalScrollBarPolicy() : w->verticalScrollBarPolicy();
  return p == Qt::ScrollBarAlwaysOn;
}
int TControlScrollBar::ControlSize() const {
  return kind_ == sbHorizontal ? control_->ClientWidth() : control_->ClientHeight();
}
void TControlScrollBar::Assign(TPersistent* source) {
  auto* s = dynamic_cast<TControlScrollBar*>(source);
  if (!s) return TPersistent::Assign(source);
  visible_ = s->visible_;
  tracking_ = s->tracking_;
  increment_ = s->increment_;
  margin_ = s->margin_;
  style_ = s->style_;
  range_ = s->range_;
  control_->UpdateScrollBars();
  SetPosition(s->Position());
}

TScrollingWinControl::TScrollingWinControl(TComponent* AOwner) : TScrollingWinControl(AOwner, &MakeScrollBoxWidget) {}
TScrollingWinControl::TScrollingWinControl(TComponent* AOwner, TWidgetFactory factory)
    : TWinControl(AOwner, factory),
      horz_(std::make_unique<TControlScrollBar>(this, sbHorizontal)),
      vert_(std::make_unique<TControlScrollBar>(this, sbVertical)) {}
TScrollingWinControl::~TScrollingWinControl() { DetachEvents(); }

TControlScrollBar* TScrollingWinControl::HorzScrollBar() const { return horz_.get(); }
TControlScrollBar* TScrollingWinControl::VertScrollBar() const { return vert_.get(); }
bool TScrollingWinControl::AutoScroll() const { return autoScroll_; }
void TScrollingWinControl::SetAutoScroll(bool v) {
  if (v == autoScroll_) return;
  autoScroll_ = v;
  UpdateScrollBars();
}

int TScrollingWinControl::ClientWidth() const {
  int w = TWinControl::ClientWidth();
  if (vert_ && vert_->IsScrollBarVisible()) w -= ScrollBarExtent();
  return std::max(0, w);
}
int TScrollingWinControl::ClientHeight() const {
  int h = TWinControl::ClientHeight();
  if (horz_ && horz_->IsScrollBarVisible()) h -= ScrollBarExtent();
  return std::max(0, h);
}
TRect TScrollingWinControl::AlignClientRect() const {
  // Aligned controls fill the scrolled area (the range) when it is larger.
  TRect r = ClientRect();
  return r;
}

void TScrollingWinControl::AlignControls() {
  TWinControl::AlignControls();
  UpdateScrollBars();
}

void TScrollingWinControl::ControlListChanged(TControl* control, bool inserted) {
  TWinControl::ControlListChanged(control, inserted);
  UpdateScrollBars();
}

void TScrollingWinControl::UpdateScrollBars() {
  auto* w = dynamic_cast<QAbstractScrollArea*>(Private()->widget.data());
  if (!w || updatingBars_ || Private()->eventsDetached) return;
  updatingBars_ = true;
  const int hpos = horz_->Position(), vpos = vert_->Position();
  if (autoScroll_) {
    int hr = 0, vr = 0;
    for (TControl* c : Private()->children) {
      if (!c->Visible()) continue;
      TAnchors a = c->Anchors();
      if (c->Align() == alLeft || (c->Align() == alNone && (a * TAnchors{akLeft, akRight}) == akLeft))
        hr = std::max(hr, hpos + c->Left() + c->Width());
      if (c->Align() == alTop || (c->Align() == alNone && (a * TAnchors{akTop, akBottom}) == akTop))
        vr = std::max(vr, vpos + c->Top() + c->Height());
    }
    horz_->range_ = hr > 0 ? hr + horz_->margin_ : 0;
    vert_->range_ = vr > 0 ? vr + vert_->margin_ : 0;
  }
  const int sb = ScrollBarExtent();
  const int fullW = std::max(0, Width() - 2 * Private()->frame), fullH = std::max(0, Height() - 2 * Private()->frame);
  bool hvis = horz_->visible_ && horz_->range_ > fullW;
  bool vvis = vert_->visible_ && vert_->range_ > fullH;
  if (vvis && !hvis) hvis = horz_->visible_ && horz_->range_ > fullW - sb;
  if (hvis && !vvis) vvis = vert_->visible_ && vert_->range_ > fullH - sb;
  w->setHorizontalScrollBarPolicy(hvis ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  w->setVerticalScrollBarPolicy(vvis ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  const int cw = std::max(0, fullW - (vvis ? sb : 0)), ch = std::max(0, fullH - (hvis ? sb : 0));
  QScrollBar* hb = w->horizontalScrollBar();
  QScrollBar* vb = w->verticalScrollBar();
  hb->setRange(0, hvis ? std::max(0, horz_->range_ - cw) : std::max(0, hpos));
  hb->setPageStep(std::max(1, cw));
  hb->setSingleStep(horz_->increment_);
  vb->setRange(0, vvis ? std::max(0, vert_->range_ - ch) : std::max(0, vpos));
  vb->setPageStep(std::max(1, ch));
  vb->setSingleStep(vert_->increment_);
  // Without a bar the contents go back to the start.
  if (!hvis && hb->value() != 0) hb->setValue(0);
  if (!vvis && vb->value() != 0) vb->setValue(0);
  if (!hvis) hb->setRange(0, 0);
  if (!vvis) vb->setRange(0, 0);
  updatingBars_ = false;
}

void TScrollingWinControl::ScrollInView(TControl* control) {
  if (!control || control->Parent() != this) return;
  TRect r = control->BoundsRect();
  const int cw = ClientWidth(), ch = ClientHeight();
  if (r.Left < 0)
    horz_->SetPosition(horz_->Position() + r.Left - horz_->margin_);
  else if (r.Right > cw) {
    int delta = r.Right - cw + horz_->margin_;
    if (r.Width() > cw) delta = r.Left;
    horz_->SetPosition(horz_->Position() + delta);
  }
  if (r.Top < 0)
    vert_->SetPosition(vert_->Position() + r.Top - vert_->margin_);
  else if (r.Bottom > ch) {
    int delta = r.Bottom - ch + vert_->margin_;
    if (r.Height() > ch) delta = r.Top;
    vert_->SetPosition(vert_->Position() + delta);
  }
}

void TScrollingWinControl::ScrollBy(int dx, int dy) {
  if (QWidget* cw = Private()->clientWidget()) cw->scroll(dx, dy);
}

void TScrollingWinControl::DoScroll(TScrollBarKind) {}

TScrollBox::TScrollBox(TComponent* AOwner) : TScrollingWinControl(AOwner) {
  SetBorderStyle(bsSingle);
  SetBounds(0, 0, 185, 41);
  Private()->color = clBtnFace;
  Private()->parentColor = true;
}
TBorderStyle TScrollBox::BorderStyle() const { return Private()->frame > 0 ? bsSingle : bsNone; }
void TScrollBox::SetBorderStyle(TBorderStyle s) {
  auto* w = dynamic_cast<QAbstractScrollArea*>(Private()->widget.data());
  if (!w) return;
  if (s == bsNone) {
    w->setFrameStyle(QFrame::NoFrame);
  } else {
    w->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  }
  Private()->frame = w->frameWidth();
  UpdateScrollBars();
  AlignControls();
}

// ===========================================================================
// The application object
// ===========================================================================
struct TApplication::Impl {
  std::string title = "Kivo2";
  bool terminated = false;
  bool initialized = false;
  TCustomForm* mainForm = nullptr;
  std::string helpFile;
  bool showHint = true;
  std::unique_ptr<TIcon> icon;
  bool active = false;
};

TApplication* Application = new TApplication();
TScreen* Screen = new TScreen();

TApplication::TApplication() : TComponent(nullptr), impl_(std::make_unique<Impl>()) {}
TApplication::~TApplication() = default;

void TApplication::Initialize() {
  EnsureQtApplication();
  gui::InstallApplicationFilter();
  if (impl_->initialized) return;
  impl_->initialized = true;
  qApp->setQuitOnLastWindowClosed(false);
  QObject::connect(qApp, &QGuiApplication::applicationStateChanged, qApp, [this](Qt::ApplicationState state) {
    SetActiveState(state == Qt::ApplicationActive);
  });
}

std::string TApplication::Title() const { return impl_->title; }
void TApplication::SetTitle(const std::string& title) {
  impl_->title = title;
  EnsureQtApplication();
  QGuiApplication::setApplicationDisplayName(gui::QtText(title));
}

void TApplication::FormCreated(TCustomForm* form) {
  if (!form) {
    // A form is being freed: it is no longer the main form.
    bool stillThere = false;
    for (int i = 0; Screen && i < Screen->FormCount(); ++i)
      if (Screen->Forms(i) == impl_->mainForm) stillThere = true;
    if (!stillThere) impl_->mainForm = nullptr;
    return;
  }
  form->DoCreate();
  if (!impl_->mainForm) impl_->mainForm = form;
}

TCustomForm* TApplication::MainForm() const { return impl_->mainForm; }

void TApplication::Run() {
  Initialize();
  if (impl_->mainForm && !impl_->terminated) impl_->mainForm->Show();
  while (!impl_->terminated) HandleMessage();
}

void TApplication::Terminate() {
  impl_->terminated = true;
  // A dialog of the toolkit runs a loop of its own, which would keep the program waiting.
  gui::EndToolkitDialogs();
  // Wakes a waiting loop.
  if (QCoreApplication::instance()) QCoreApplication::postEvent(qApp, new QEvent(QEvent::User));
}
bool TApplication::Terminated() const { return impl_->terminated; }

void TApplication::ProcessMessages() {
  EnsureQtApplication();
  gui::ProcessEvents(false);
}

void TApplication::HandleMessage() {
  EnsureQtApplication();
  gui::ProcessEvents(true);
  if (OnIdle) {
    bool done = true;
    gui::SafeCall(this, [&] { OnIdle(this, done); });
  }
}

bool TApplication::DeliverMessage(TMsg& msg) {
  bool handled = false;
  if (OnMessage) gui::SafeCall(this, [&] { OnMessage(msg, handled); });
  return handled;
}

bool TApplication::Active() const { return ModalResponder::ApplicationActive(); }
void TApplication::SetActiveState(bool active) {
  if (active == impl_->active) return;
  impl_->active = active;
  if (active && OnActivate) gui::SafeCall(this, [this] { OnActivate(this); });
  if (!active && OnDeactivate) gui::SafeCall(this, [this] { OnDeactivate(this); });
}

std::string TApplication::HelpFile() const { return impl_->helpFile; }
void TApplication::SetHelpFile(const std::string& file) { impl_->helpFile = file; }

std::string TApplication::ExeName() const {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

TIcon* TApplication::Icon() const {
  if (!impl_->icon) impl_->icon = std::make_unique<TIcon>();
  return impl_->icon.get();
}
void TApplication::SetIcon(const TIcon* icon) {
  Icon()->Assign(const_cast<TIcon*>(icon));
  EnsureQtApplication();
  if (!icon || icon->Empty())
    QApplication::setWindowIcon(QIcon());
  else
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(BitmapToQImage(icon->Image(), true))));
}

bool TApplication::ShowHint() const { return impl_->showHint; }
void TApplication::SetShowHint(bool v) { impl_->showHint = v; }
void TApplication::CancelHint() {
  EnsureQtApplication();
  QToolTip::hideText();
}

void TApplication::BringToFront() {
  if (impl_->mainForm) impl_->mainForm->BringToFront();
}
void TApplication::Minimize() {
  if (impl_->mainForm) impl_->mainForm->SetWindowState(wsMinimized);
}
void TApplication::Restore() {
  if (impl_->mainForm) impl_->mainForm->SetWindowState(wsNormal);
}

void TApplication::HandleException(TObject* Sender, const std::exception& e) {
  if (dynamic_cast<const EAbort*>(&e)) return;
  if (OnException) {
    if (auto* ex = dynamic_cast<const Exception*>(&e)) {
      OnException(Sender, *ex);
      return;
    }
    Exception wrapped(e.what());
    OnException(Sender, wrapped);
    return;
  }
  ShowException(e);
}

void TApplication::ShowException(const std::exception& e) {
  std::string msg = e.what();
  if (!msg.empty() && msg.back() != '.') msg += '.';
  MessageBox(msg, Title(), MB_OK | MB_ICONERROR);
}

void DoneApplication() {
  if (!Application) return;
  // Forms first run OnDestroy while the whole program is still intact.
  for (int i = Application->ComponentCount() - 1; i >= 0; --i)
    if (auto* f = dynamic_cast<TCustomForm*>(Application->Components(i))) f->BeforeDestruction();
  Application->DestroyComponents();
  Application->FormCreated(nullptr);
  Application->ResetTerminated();
  gui::ProcessEvents(false);
}

void TApplication::ResetTerminated() { impl_->terminated = false; }

// ===========================================================================
// The screen
// ===========================================================================
struct TScreen::Impl {
  std::vector<TCustomForm*> forms;
  TCursor cursor = crDefault;
  bool overridePushed = false;
};

namespace {
// Cursors registered under positive numbers.
std::map<int, QCursor>& CursorTable() {
  static std::map<int, QCursor> table;
  return table;
}
}  // namespace

TScreen::TScreen() : TComponent(nullptr), impl_(std::make_unique<Impl>()) {}
TScreen::~TScreen() = default;

TCursor TScreen::Cursor() const { return impl_->cursor; }
void TScreen::SetCursor(TCursor cursor) {
  impl_->cursor = cursor;
  EnsureQtApplication();
  if (cursor == crDefault) {
    if (impl_->overridePushed) QGuiApplication::restoreOverrideCursor();
    impl_->overridePushed = false;
  } else if (impl_->overridePushed) {
    QGuiApplication::changeOverrideCursor(gui::QtCursor(cursor));
  } else {
    QGuiApplication::setOverrideCursor(gui::QtCursor(cursor));
    impl_->overridePushed = true;
  }
}

void TScreen::SetCursors(int index, const TBitmap& image, int hotX, int hotY) {
  EnsureQtApplication();
  QPixmap pm = QPixmap::fromImage(BitmapToQImage(image, image.PixelFormat() == pf32bit));
  CursorTable()[index] = QCursor(pm, hotX, hotY);
}

bool TScreen::LoadCursorFromFile(int index, const std::string& fileName, int hotX, int hotY) {
  EnsureQtApplication();
  QPixmap pm;
  if (!pm.load(gui::QtText(fileName))) return false;
  CursorTable()[index] = QCursor(pm, hotX, hotY);
  return true;
}

bool TScreen::HasCursor(int index) const { return CursorTable().count(index) > 0; }

int TScreen::Width() const { return ModalResponder::ScreenSize().cx; }
int TScreen::Height() const { return ModalResponder::ScreenSize().cy; }

TRect TScreen::WorkAreaRect() const {
  if (!ModalResponder::Scripted() && QCoreApplication::instance())
    if (QScreen* s = QGuiApplication::primaryScreen()) {
      QRect r = s->availableGeometry();
      return Rect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
    }
  return Rect(0, 0, Width(), Height());
}

int TScreen::PixelsPerInch() const {
  if (QCoreApplication::instance())
    if (QScreen* s = QGuiApplication::primaryScreen()) return int(s->logicalDotsPerInch() + 0.5);
  return 96;
}

int TScreen::FormCount() const { return int(impl_->forms.size()); }
TCustomForm* TScreen::Forms(int index) const {
  if (index < 0 || index >= int(impl_->forms.size()))
    gui::ListIndexError(index);
  return impl_->forms[size_t(index)];
}
TCustomForm* TScreen::ActiveForm() const {
  for (TCustomForm* f : impl_->forms)
    if (f->Active()) return f;
  return nullptr;
}
TWinControl* TScreen::ActiveControl() const {
  TCustomForm* f = ActiveForm();
  return f ? f->ActiveControl() : nullptr;
}
void TScreen::AddForm(TCustomForm* form) { impl_->forms.push_back(form); }
void TScreen::RemoveForm(TCustomForm* form) {
  impl_->forms.erase(std::remove(impl_->forms.begin(), impl_->forms.end(), form), impl_->forms.end());
}

QCursor gui::QtCursor(TCursor cursor) {
  if (cursor > 0) {
    auto it = CursorTable().find(cursor);
    if (it != CursorTable().end()) return it->second;
  }
  return QCursor(QtCursorShape(cursor));
}
