// Test input: events built as the window system builds them and sent to the widget
// under the given point, so that the layer's whole event path runs.
#include "platform/gui/GuiTesting.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolTip>
#include <QTreeView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QMenuBar>
#include <QAbstractProxyModel>
#include <QAbstractScrollArea>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QThread>
#include <QWheelEvent>

#include <functional>

#include "platform/QtApplication.h"
#include "platform/graphics/CanvasQt.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"

// The toolkit's dispatch of a key press to the shortcuts of the focused window, as its own
// test library uses it; true when a shortcut took the key.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString& text, bool autorep, ushort count);

namespace {

Qt::KeyboardModifiers Modifiers(TShiftState shift) {
  Qt::KeyboardModifiers m;
  if (shift.Contains(ssShift)) m |= Qt::ShiftModifier;
  if (shift.Contains(ssCtrl)) m |= Qt::ControlModifier;
  if (shift.Contains(ssAlt)) m |= Qt::AltModifier;
  return m;
}

Qt::MouseButton QtButton(TMouseButton b) {
  return b == mbRight ? Qt::RightButton : b == mbMiddle ? Qt::MiddleButton : Qt::LeftButton;
}

// The widget that receives keys for the control: the focus widget inside it, else itself.
QWidget* KeyTarget(TControl* target) {
  QWidget* w = target->Private()->widget;
  if (!w) return nullptr;
  // The widget that has (or, in an inactive window, will get) the focus.
  for (QWidget* focus : {QApplication::focusWidget(), w->window()->focusWidget()})
    if (focus && (focus == w || w->isAncestorOf(focus))) return focus;
  if (QWidget* proxy = w->focusProxy()) return proxy;
  if (QWidget* child = w->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly); child && child->focusPolicy() != Qt::NoFocus)
    return child;
  return w;
}

// The deepest widget at a client point of the control, and the point in its coordinates.
QWidget* MouseTarget(TControl* target, int x, int y, QPoint& local) {
  QWidget* client = target->Private()->clientWidget();
  if (!client) return nullptr;
  QWidget* w = client->childAt(x, y);
  if (!w || !gui::FindControl(w) || gui::FindControl(w) != target) w = client;
  local = w->mapFrom(client, QPoint(x, y));
  return w;
}

void SendMouse(TControl* target, QEvent::Type type, TMouseButton button, int x, int y, TShiftState shift,
               Qt::MouseButtons held) {
  QPoint local;
  QWidget* w = MouseTarget(target, x, y, local);
  if (!w) return;
  QWidget* grabber = QWidget::mouseGrabber();
  if (grabber && grabber != w) {
    local = grabber->mapFromGlobal(w->mapToGlobal(local));
    w = grabber;
  }
  QPointF global = w->mapToGlobal(QPointF(local));
  QMouseEvent e(type, QPointF(local), global, type == QEvent::MouseMove ? Qt::NoButton : QtButton(button), held,
                Modifiers(shift));
  QCoreApplication::sendEvent(w, &e);
}

std::string Need(int neededWidth, int roomWidth) {
  return ": needs " + std::to_string(neededWidth) + ", has " + std::to_string(roomWidth);
}

// Column captions a header cuts (and, with the view, the widest cell of each column);
// with inView, a column reaching past the view's right edge is cut there.
void HeaderCuts(const std::string& name, QHeaderView* header, QAbstractItemView* view, bool inView,
                std::vector<std::string>& cut) {
  if (!header || header->isHidden()) return;
  for (int i = 0; i < header->count(); ++i) {
    if (header->isSectionHidden(i)) continue;
    int room = header->sectionSize(i);
    if (inView) room = std::min(room, header->viewport()->width() - header->sectionViewportPosition(i));
    const int needed = std::max(header->sectionSizeHint(i), view ? view->sizeHintForColumn(i) : 0);
    const QString caption = header->model()->headerData(i, header->orientation()).toString();
    if (needed > room) cut.push_back(name + " column \"" + caption.toStdString() + "\"" + Need(needed, room));
  }
}

// The entries of a tree (a single column) wider than the part of the tree it shows; the
// machine's own paths (drives and mount points) may be scrolled to.
void TreeCuts(const std::string& name, QTreeView* tree, std::vector<std::string>& cut) {
  if (!tree->model() || tree->model()->columnCount(tree->rootIndex()) > 1) return;
  const int offset = tree->horizontalScrollBar()->value(), room = tree->viewport()->width();
  for (QModelIndex i = tree->model()->index(0, 0, tree->rootIndex()); i.isValid(); i = tree->indexBelow(i)) {
    if (i.data().toString().startsWith(QLatin1Char('/'))) continue;
    const int needed = tree->visualRect(i).left() + offset + tree->sizeHintForIndex(i).width();
    if (needed > room)
      cut.push_back(name + " entry \"" + i.data().toString().toStdString() + "\"" + Need(needed, room));
  }
}

// The rows of a list that hold a full path: a path wider than the list must keep its end
// (the folder's or file's own name) in view, the text drawn stopping short of the list's
// right edge, and show whole as the row's tooltip.
void PathRowCuts(TCustomListBox* list, std::vector<std::string>& cut) {
  auto* area = qobject_cast<QAbstractScrollArea*>(list->Private()->widget.data());
  if (!area || !list->Visible()) return;
  QWidget* view = area->viewport();
  const QImage shot = view->grab().toImage();
  const QFontMetrics fm(ToQFont(*list->Font()));
  const int width = view->width();
  for (int i = list->TopIndex(); i < list->Count(); ++i) {
    const TRect r = list->ItemRect(i);
    if (r.Top >= view->height() || r.Bottom > shot.height()) break;
    const std::string text = list->Items()->Strings(i);
    if (text.empty() || text[0] != '/' || fm.horizontalAdvance(gui::QtText(text)) + 4 <= width) continue;
    const QRgb back = shot.pixel(0, (r.Top + r.Bottom) / 2);
    bool atEdge = false;
    for (int y = r.Top; y < r.Bottom && !atEdge; ++y)
      for (int x = width - 2; x < width; ++x) atEdge = atEdge || qGray(shot.pixel(x, y)) + 60 < qGray(back) ||
                                                       qGray(shot.pixel(x, y)) > qGray(back) + 60;
    QToolTip::hideText();
    const QPoint at((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    QHelpEvent help(QEvent::ToolTip, at, view->mapToGlobal(at));
    QCoreApplication::sendEvent(view, &help);
    const std::string tip = QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
    QToolTip::hideText();
    if (atEdge || tip != text)
      cut.push_back(list->Name() + " row \"" + text + "\": " + (atEdge ? "its end is cut" : "") +
                    (tip != text ? (atEdge ? ", " : "") + std::string("tooltip \"") + tip + "\"" : ""));
  }
}

// The lines of a memo that neither wraps nor scrolls sideways and that are wider than its
// view (tabs taken to the memo's tab stops).
void MemoLineCuts(const std::string& name, QPlainTextEdit* memo, std::vector<std::string>& cut) {
  if (memo->lineWrapMode() != QPlainTextEdit::NoWrap || memo->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
    return;
  const QFontMetrics fm(memo->font());
  const int tabs = int(memo->tabStopDistance()), margins = 2 * int(memo->document()->documentMargin());
  const int room = memo->viewport()->width();
  for (const QString& line : memo->toPlainText().split(QLatin1Char('\n'))) {
    const int needed = fm.boundingRect(QRect(0, 0, 1 << 20, 1 << 10), Qt::TextExpandTabs, line, tabs).width() + margins;
    if (needed > room) cut.push_back(name + " line \"" + line.toStdString() + "\"" + Need(needed, room));
  }
}

// The caption of a panel, where the panel draws it, must not lie under one of its controls.
void PanelCaptionCuts(TCustomPanel* panel, std::vector<std::string>& cut) {
  const std::string text = StripHotkey(panel->Caption());
  if (text.empty()) return;
  const QFontMetrics fm(ToQFont(*panel->Font()));
  const TRect r = panel->AlignClientRect();
  const int tw = fm.horizontalAdvance(gui::QtText(text)), th = fm.height();
  const int x = panel->Alignment() == taLeftJustify    ? r.Left
                : panel->Alignment() == taRightJustify ? r.Right - tw
                                                       : r.Left + (r.Width() - tw) / 2;
  const int y = panel->VerticalAlignment() == tlTop      ? r.Top
                : panel->VerticalAlignment() == tlBottom ? r.Bottom - th
                                                         : (r.Top + r.Bottom - th) / 2;
  for (int i = 0; i < panel->ControlCount(); ++i) {
    TControl* child = panel->Controls(i);
    const TRect b = child->BoundsRect();
    if (child->Visible() && b.Left < x + tw && x < b.Right && b.Top < y + th && y < b.Bottom)
      cut.push_back(panel->Name() + " \"" + panel->Caption() + "\" lies under " + child->Name());
  }
}

// Sends one key event. Every event is built at one address, with no time, as the window
// system builds each of them in turn.
[[gnu::noinline]] void SendKey(QWidget* w, QEvent::Type type, int qtKey, Qt::KeyboardModifiers m, const QString& text) {
  QKeyEvent e(type, qtKey, m, text);
  QCoreApplication::sendEvent(w, &e);
}

}  // namespace

namespace GuiTesting {

void PressKey(TControl* target, uint16_t key, TShiftState shift, char ch) {
  QWidget* w = KeyTarget(target);
  if (!w) return;
  QPointer<QWidget> guard(w);
  const int qtKey = gui::QtKeyFromVirtualKey(key);
  Qt::KeyboardModifiers m = Modifiers(shift);
  if (key >= VK_NUMPAD0 && key <= VK_DIVIDE) m |= Qt::KeypadModifier;
  QString text = ch ? QString(QChar(ch)) : QString();
  SendKey(w, QEvent::KeyPress, qtKey, m, text);
  if (guard) SendKey(w, QEvent::KeyRelease, qtKey, m, text);
}

void PostKey(TControl* target, uint16_t key, TShiftState shift, char ch) {
  QWidget* w = KeyTarget(target);
  if (!w) return;
  const int qtKey = gui::QtKeyFromVirtualKey(key);
  const QString text = ch ? QString(QChar(ch)) : QString();
  for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
    QCoreApplication::postEvent(w, new QKeyEvent(type, qtKey, Modifiers(shift), text));
}

void PostClick(TControl* target, int x, int y) {
  QPoint local;
  QWidget* w = MouseTarget(target, x, y, local);
  if (!w) return;
  const QPointF global = w->mapToGlobal(QPointF(local));
  QCoreApplication::postEvent(
      w, new QMouseEvent(QEvent::MouseButtonPress, QPointF(local), global, Qt::LeftButton, Qt::LeftButton, {}));
  QCoreApplication::postEvent(
      w, new QMouseEvent(QEvent::MouseButtonRelease, QPointF(local), global, Qt::LeftButton, Qt::NoButton, {}));
}

void TypeText(TControl* target, const std::string& text) {
  for (char ch : text) {
    uint16_t vk = 0;
    if (ch >= 'a' && ch <= 'z') vk = uint16_t(ch - 32);
    else if ((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')) vk = uint16_t(ch);
    else if (ch == ' ') vk = VK_SPACE;
    else if (ch == '\r' || ch == '\n') vk = VK_RETURN;
    else if (ch > ' ' && ch < 127) {
      // Punctuation: the key of the main keyboard that types it.
      const QKeyEvent probe(QEvent::KeyPress, ch, Qt::NoModifier);
      vk = gui::VirtualKeyFromQt(&probe);
    }
    PressKey(target, vk, ch >= 'A' && ch <= 'Z' ? TShiftState(ssShift) : TShiftState(), ch == '\n' ? '\r' : ch);
  }
}

void MouseDown(TControl* target, TMouseButton button, int x, int y, TShiftState shift) {
  SendMouse(target, QEvent::MouseButtonPress, button, x, y, shift, QtButton(button));
}
void MouseUp(TControl* target, TMouseButton button, int x, int y, TShiftState shift) {
  SendMouse(target, QEvent::MouseButtonRelease, button, x, y, shift, Qt::NoButton);
}
void MouseMove(TControl* target, int x, int y, TShiftState shift) {
  Qt::MouseButtons held;
  if (shift.Contains(ssLeft)) held |= Qt::LeftButton;
  if (shift.Contains(ssRight)) held |= Qt::RightButton;
  if (shift.Contains(ssMiddle)) held |= Qt::MiddleButton;
  SendMouse(target, QEvent::MouseMove, mbLeft, x, y, shift, held);
}
void Click(TControl* target, int x, int y, TMouseButton button, TShiftState shift) {
  MouseDown(target, button, x, y, shift);
  MouseUp(target, button, x, y, shift);
}
void DoubleClick(TControl* target, int x, int y) {
  Click(target, x, y);
  SendMouse(target, QEvent::MouseButtonDblClick, mbLeft, x, y, TShiftState(), Qt::LeftButton);
  MouseUp(target, mbLeft, x, y);
}

void Wheel(TControl* target, int delta, int x, int y, TShiftState shift) {
  QPoint local;
  QWidget* w = MouseTarget(target, x, y, local);
  if (!w) return;
  QWheelEvent e(QPointF(local), w->mapToGlobal(QPointF(local)), QPoint(), QPoint(0, delta), Qt::NoButton,
                Modifiers(shift), Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(w, &e);
}

TRect FocusedRect(TControl* control) {
  QWidget* focus = KeyTarget(control);
  QWidget* client = control->Private()->clientWidget();
  if (!focus || !client || focus == control->Private()->widget || focus == client) return TRect();
  const QRect r(client->mapFromGlobal(focus->mapToGlobal(QPoint(0, 0))), focus->size());
  return Rect(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
}

bool Grab(TControl* control, TBitmap& out) {
  // A form with its menu bar; other controls their client area.
  QWidget* w = control->Private()->isForm ? control->Private()->widget.data() : control->Private()->clientWidget();
  if (!w) return false;
  QPixmap pm = w->grab();
  if (pm.isNull()) return false;
  QImageToBitmap(pm.toImage().convertToFormat(QImage::Format_RGB32), out);
  return true;
}

std::vector<std::string> CutTexts(TControl* root) {
  std::vector<std::string> cut;
  std::function<void(TControl*)> walk = [&](TControl* control) {
    TSize needed, room;
    // A hidden control that its parent lines up has no place until it shows.
    const bool placed = control->Visible() || control->Align() == alNone;
    if (placed && control->TextRoom(needed, room)) {
      // A parent that does not scroll cuts what lies beyond its client area.
      TWinControl* parent = control->Private()->isForm ? nullptr : control->Parent();
      if (parent && !qobject_cast<QAbstractScrollArea*>(parent->Private()->widget.data())) {
        room.cx = std::min(room.cx, parent->ClientWidth() - std::max(0, control->Left()));
        room.cy = std::min(room.cy, parent->ClientHeight() - std::max(0, control->Top()));
      }
      if (needed.cx > room.cx || needed.cy > room.cy)
        cut.push_back(control->Name() + " \"" + control->Caption() + "\": needs " + std::to_string(needed.cx) + "x" +
                      std::to_string(needed.cy) + ", has " + std::to_string(room.cx) + "x" + std::to_string(room.cy));
    }
    if (auto* view = qobject_cast<QTreeView*>(control->Private()->widget.data()); view && control->Visible()) {
      HeaderCuts(control->Name(), view->isHeaderHidden() ? nullptr : view->header(), nullptr, false, cut);
      TreeCuts(control->Name(), view, cut);
    }
    if (auto* list = dynamic_cast<TCustomListBox*>(control)) PathRowCuts(list, cut);
    if (auto* memo = qobject_cast<QPlainTextEdit*>(control->Private()->widget.data()); memo && control->Visible())
      MemoLineCuts(control->Name(), memo, cut);
    if (auto* panel = dynamic_cast<TCustomPanel*>(control); panel && control->Visible()) PanelCaptionCuts(panel, cut);
    auto* holder = dynamic_cast<TWinControl*>(control);
    if (!holder) return;
    // Texts of visible siblings must not lie over one another.
    std::vector<TControl*> texts;
    for (int i = 0; i < holder->ControlCount(); ++i) {
      TControl* child = holder->Controls(i);
      if (child->Visible() && child->TextRoom(needed, room)) texts.push_back(child);
      walk(child);
    }
    for (size_t a = 0; a < texts.size(); ++a)
      for (size_t b = a + 1; b < texts.size(); ++b) {
        const TRect ra = texts[a]->BoundsRect(), rb = texts[b]->BoundsRect();
        if (ra.Left < rb.Right && rb.Left < ra.Right && ra.Top < rb.Bottom && rb.Top < ra.Bottom)
          cut.push_back(texts[a]->Name() + " \"" + texts[a]->Caption() + "\" lies over " + texts[b]->Name() + " \"" +
                        texts[b]->Caption() + "\"");
      }
  };
  if (root) walk(root);
  return cut;
}

TRect MenuItemRect(TMenuItem* item) {
  QAction* action = nullptr;
  QWidget* w = gui::MenuWidgetOf(item, &action);
  if (!w || !action) return TRect();
  w->ensurePolished();
  gui::RemeasureMenu(w);
  QRect r;
  if (auto* menu = qobject_cast<QMenu*>(w)) {
    menu->adjustSize();
    r = menu->actionGeometry(action);
  } else if (auto* bar = qobject_cast<QMenuBar*>(w)) {
    r = bar->actionGeometry(action);
  }
  return r.isValid() ? Rect(r.left(), r.top(), r.right() + 1, r.bottom() + 1) : TRect();
}

bool GrabMenu(TMenuItem* parent, TBitmap& out) {
  if (!parent || parent->Count() == 0) return false;
  QWidget* w = gui::MenuWidgetOf(parent->Items(0), nullptr);
  auto* menu = qobject_cast<QMenu*>(w);
  if (!menu) return false;
  menu->ensurePolished();
  gui::RemeasureMenu(menu);
  menu->adjustSize();
  QPixmap pm = menu->grab();
  if (pm.isNull()) return false;
  QImageToBitmap(pm.toImage().convertToFormat(QImage::Format_RGB32), out);
  return true;
}

void ScrollStep(TControl* scrollBox, bool vertical, int steps) {
  auto* area = dynamic_cast<QAbstractScrollArea*>(scrollBox->Private()->widget.data());
  if (!area) return;
  QScrollBar* bar = vertical ? area->verticalScrollBar() : area->horizontalScrollBar();
  for (int i = 0; i < std::abs(steps); ++i)
    bar->triggerAction(steps > 0 ? QAbstractSlider::SliderSingleStepAdd : QAbstractSlider::SliderSingleStepSub);
}

void DragScrollThumb(TControl* scrollBox, bool vertical, const std::vector<int>& positions) {
  auto* area = dynamic_cast<QAbstractScrollArea*>(scrollBox->Private()->widget.data());
  if (!area) return;
  QScrollBar* bar = vertical ? area->verticalScrollBar() : area->horizontalScrollBar();
  bar->setSliderDown(true);
  for (int position : positions) bar->setSliderPosition(position);
  bar->setSliderDown(false);
}

void WindowSystemResize(TControl* form, int width, int height, int reportedWidth, int reportedHeight) {
  QWidget* w = form->Private()->isForm ? form->Private()->widget.data() : nullptr;
  if (!w) return;
  const QSize old = w->size();
  w->resize(width, height);
  // The late notice, as a window manager's reply to an earlier request may come.
  QResizeEvent late(QSize(reportedWidth, reportedHeight), old);
  QCoreApplication::sendEvent(w, &late);
}

std::vector<std::string> FileDialogTexts() {
  EnsureQtApplication();
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  std::vector<std::string> texts;
  for (QLabel* label : dialog.findChildren<QLabel*>())
    if (!label->text().isEmpty()) texts.push_back(label->text().toStdString());
  for (QPushButton* button : dialog.findChildren<QPushButton*>())
    if (!button->text().isEmpty()) texts.push_back(button->text().toStdString());
  return texts;
}

std::vector<std::string> FileDialogCutTexts(const std::string& folder) {
  EnsureQtApplication();
  QFileDialog dialog;
  gui::PrepareFileDialog(dialog);
  dialog.setDirectory(gui::QtText(folder));
  gui::FitFileDialog(dialog);
  auto* model = dialog.findChild<QFileSystemModel*>();
  bool loaded = false;
  if (model) QObject::connect(model, &QFileSystemModel::directoryLoaded, &dialog, [&loaded] { loaded = true; });
  dialog.show();
  WaitUntil([&] { return loaded; }, 10000);
  auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  if (!view || !loaded) return {"the file dialog showed no folder"};
  // The files' sizes and types come in after the listing, on a busy machine some time
  // after: what the user sees is the dialog once they are in.
  std::vector<std::string> cut;
  WaitUntil(
      [&] {
        cut.clear();
        HeaderCuts("FileDialog", view->header(), view, true, cut);
        return cut.empty();
      },
      5000);
  return cut;
}

std::string KeysInFileDialog(const std::vector<std::pair<uint16_t, char>>& keys, bool& open) {
  EnsureQtApplication();
  QFileDialog dialog;
  gui::PrepareFileDialog(dialog);
  gui::InFrontOfAskingWindow(&dialog);
  dialog.show();
  auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
  for (const auto& [key, ch] : keys)
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
      if (name) SendKey(name, type, gui::QtKeyFromVirtualKey(key), Qt::NoModifier, ch ? QString(QChar(ch)) : QString());
  open = dialog.isVisible();
  return name ? gui::StdText(name->text()) : std::string();
}

void WhileToolkitDialogShows(const std::function<void()>& open, const std::function<void()>& inside) {
  EnsureQtApplication();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!ToolkitDialogShows()) return;
    poll.stop();
    inside();
    gui::EndToolkitDialogs();
  });
  poll.start(20);
  open();
}

bool ToolkitDialogShows() {
  for (QWidget* window : QApplication::topLevelWidgets())
    if (qobject_cast<QDialog*>(window) && window->isVisible()) return true;
  return false;
}

FileDialogEntry InFileDialogList(const std::string& name) {
  FileDialogEntry entry;
  QFileDialog* dialog = nullptr;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (auto* shown = qobject_cast<QFileDialog*>(window); shown && shown->isVisible()) dialog = shown;
  auto* files = dialog ? dialog->findChild<QFileSystemModel*>() : nullptr;
  auto* view = dialog ? dialog->findChild<QTreeView*>(QStringLiteral("treeView")) : nullptr;
  if (!files || !view) return entry;
  dialog->setViewMode(QFileDialog::Detail);
  const QString path = dialog->directory().absoluteFilePath(gui::QtText(name));
  QModelIndex row;
  WaitUntil([&] {
    const QModelIndex source = files->index(path);
    row = dialog->proxyModel() ? dialog->proxyModel()->mapFromSource(source) : source;
    return row.isValid() && view->visualRect(row).isValid();
  }, 10000);
  if (!row.isValid()) return entry;
  for (int column = 0; column < view->model()->columnCount(row.parent()); ++column)
    entry.cells.push_back(gui::StdText(row.siblingAtColumn(column).data().toString()));
  // The list's menu on the entry, as a right click on it brings it up, is read and closed;
  // Delete and F2 go to the window's shortcuts first and then to the list, and a question
  // they bring up is answered Yes.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&entry] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* action : menu->actions())
        if (action->isVisible() && !action->isSeparator()) entry.menu.push_back(gui::StdText(action->text().remove('&')));
      menu->close();
    }
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    entry.questions.push_back(gui::StdText(box->text()));
    if (QAbstractButton* yes = box->button(QMessageBox::Yes)) yes->click();
    else box->accept();
  });
  watch.start(20);
  view->setFocus();
  view->setCurrentIndex(row);
  const QPoint at = view->visualRect(row).center();
  QContextMenuEvent click(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
  QCoreApplication::sendEvent(view->viewport(), &click);
  const QPersistentModelIndex kept(row);  // a deleted entry leaves it invalid
  for (const int key : {Qt::Key_Delete, Qt::Key_F2}) {
    view->setCurrentIndex(kept);
    if (qt_sendShortcutOverrideEvent(view, 0, key, Qt::NoModifier, QString(), false, 1)) continue;
    SendKey(view, QEvent::KeyPress, key, Qt::NoModifier, QString());
    SendKey(view, QEvent::KeyRelease, key, Qt::NoModifier, QString());
  }
  for (QLineEdit* editor : view->viewport()->findChildren<QLineEdit*>())
    if (editor->isVisible()) {
      entry.editor = true;
      SendKey(editor, QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString());
    }
  return entry;
}

void ProcessEvents() {
  EnsureQtApplication();
  gui::ProcessEvents(false);
}

void Idle() {
  EnsureQtApplication();
  // Something to handle, so that the turn does not wait for the window system.
  QCoreApplication::postEvent(qApp, new QEvent(QEvent::User));
  Application->HandleMessage();
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
  EnsureQtApplication();
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    gui::ProcessEvents(false);
    QThread::msleep(1);
  }
  return true;
}

}  // namespace GuiTesting
