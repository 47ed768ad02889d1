// The tree view: nodes kept as the class library keeps them (TTreeNodes with absolute
// indexes, navigation, sorting), each shown by one toolkit tree item. Expanding,
// collapsing, selecting and label editing ask the Can... steps first (OnExpanding,
// OnChanging, OnEditing) and report afterwards (OnExpanded, OnChange, OnEdited).
#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <strings.h>

#include "platform/graphics/CanvasQt.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/ImgList.h"

struct TTreeNodePrivate {
  QTreeWidgetItem* item = nullptr;
  bool expanded = false;
  bool deleting = false;
};

struct TTreeViewPrivate {
  bool readOnly = false, hideSelection = true, showRoot = true, showLines = true, showButtons = true;
  bool rowSelect = false, hotTrack = false, autoExpand = false;
  TImageList* images = nullptr;
  TImageList* stateImages = nullptr;
  TSortType sortType = stNone;
  TTreeNode* selected = nullptr;
  TTreeNode* dropTarget = nullptr;
  int quiet = 0;  // selection and expansion events are not reported while > 0
  int programmatic = 0;  // > 0 while the program itself sets the current node
  int userInput = 0;     // > 0 while the toolkit handles a key or mouse event of the user
  bool userChange = false;  // the change being reported came from the user
  bool changePending = false;  // the user moved the current node; reported once the toolkit is done
  bool clearing = false;
  bool destroying = false;  // the tree goes: nodes are freed without events
};

namespace {

constexpr int kNodeRole = Qt::UserRole + 1;

TTreeNode* NodeOf(const QTreeWidgetItem* item) {
  return item ? reinterpret_cast<TTreeNode*>(item->data(0, kNodeRole).value<quintptr>()) : nullptr;
}

class TreeDelegate : public QStyledItemDelegate {
 public:
  explicit TreeDelegate(TControl* tree, QObject* parent) : QStyledItemDelegate(parent), tree_(tree) {}
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (!edit) return;
    auto* widget = qobject_cast<QTreeWidget*>(parent());
    TTreeNode* node = widget ? NodeOf(widget->itemFromIndex(index)) : nullptr;
    if (!node) return;
    std::string s = gui::StdText(edit->text());
    auto* tree = static_cast<TCustomTreeView*>(tree_);
    gui::SafeCall(tree, [&] { tree->Edit(node, s); });
    node->SetText(s);
  }
  // The editor starts where the name starts and ends at the view's right edge (the row
  // itself may reach far beyond it): it is seen whole.
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    auto* view = qobject_cast<QAbstractItemView*>(parent());
    if (!view) return;
    QRect r = editor->geometry();
    r.setLeft(std::max(r.left(), 0));
    r.setRight(std::min(r.right(), view->viewport()->width() - 1));
    editor->setGeometry(r);
  }

 private:
  TControl* tree_;
};

// The end of a name typed into a view to find a row: no key typed for the toolkit's search
// interval (after which a key starts a new name), or anything else the user does meanwhile
// (another key, a click in the view or elsewhere). The view is told how it ended before
// that input is handled.
class TypingPause : public QObject {
 public:
  TypingPause(QWidget* view, std::function<void(TTypingEnd)> ended) : view_(view), ended_(std::move(ended)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { end(teTypingPaused); });
  }
  ~TypingPause() override { qApp->removeEventFilter(this); }
  void restart() {
    typed_.start();
    if (!active_) qApp->installEventFilter(this);
    active_ = true;
    timer_.start(QApplication::keyboardInputInterval());
  }
  bool active() const { return active_; }
  // A character typed soon enough after the last one continues the name.
  bool continues(const QKeyEvent* e) const {
    const bool modified = e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return typed_.isValid() && typed_.elapsed() <= QApplication::keyboardInputInterval() && !modified &&
           e->text().size() == 1 && e->text()[0].isPrint();
  }

 protected:
  // An event of the user's comes to its window first (before the window hands it to a
  // widget, which the tree's reaction may not take away); one sent to a widget straight.
  bool eventFilter(QObject* watched, QEvent* e) override {
    const QEvent::Type type = e->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
      const QWidget* to = watched->isWidgetType()
                              ? static_cast<QWidget*>(watched)
                              : QApplication::widgetAt(static_cast<QMouseEvent*>(e)->globalPosition().toPoint());
      end(to && (to == view_ || view_->isAncestorOf(to)) ? teInTree : teElsewhere);
    }
    if (type != QEvent::KeyPress) return false;
    // Shift and the like only come with the next character.
    const auto* key = static_cast<QKeyEvent*>(e);
    const int k = key->key();
    if (k == Qt::Key_Shift || k == Qt::Key_Control || k == Qt::Key_Alt || k == Qt::Key_AltGr || k == Qt::Key_Meta ||
        k == Qt::Key_CapsLock)
      return false;
    const QObject* to = watched->isWindowType() ? QApplication::focusWidget() : watched;
    if (to == view_ && continues(key)) return false;
    const bool moves = k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_Left || k == Qt::Key_Right ||
                       k == Qt::Key_PageUp || k == Qt::Key_PageDown || k == Qt::Key_Home || k == Qt::Key_End;
    end(to == view_ && moves ? teInTree : teTypingPaused);
    return false;
  }

 private:
  void end(TTypingEnd how) {
    if (!active_) return;
    active_ = false;
    timer_.stop();
    qApp->removeEventFilter(this);
    ended_(how);
  }
  QWidget* view_;
  std::function<void(TTypingEnd)> ended_;
  QTimer timer_;
  QElapsedTimer typed_;
  bool active_ = false;
};

class TreeWidget : public HostScrollArea<QTreeWidget> {
 public:
  explicit TreeWidget(TControl* tree) : HostScrollArea<QTreeWidget>(tree), owner_(tree) {
    setColumnCount(1);
    header()->hide();
    header()->setStretchLastSection(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setUniformRowHeights(true);
    setItemDelegate(new TreeDelegate(tree, this));
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(true);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { expanded(item, true); });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) { expanded(item, false); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { rowsMoved(); });
    // The user scrolled (the scroll bar, the wheel): the view stays where the user put it.
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { shown_ = QPersistentModelIndex(); });
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, [this] { sidewaysByUser_ = true; });
  }

 protected:
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
    TTreeNode* node = NodeOf(itemFromIndex(index));
    if (!node || tree()->ReadOnly()) return false;
    if (trigger != QAbstractItemView::AllEditTriggers && trigger != EditKeyPressed && trigger != SelectedClicked)
      return false;
    bool allow = false;
    gui::SafeCall(tree(), [&] { allow = tree()->CanEdit(node); });
    if (!allow) return false;
    // The editor opens over the name: the name is brought into view first (a click that
    // starts editing does so once its delay has passed).
    if (trigger != SelectedClicked) bringIntoView(index, EnsureVisible, true);
    return QTreeWidget::edit(index, trigger, event);
  }

  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
    TTreeViewPrivate* d = tree()->TreePrivate();
    TTreeNode* node = NodeOf(itemFromIndex(current));
    if (d->quiet > 0 || d->clearing || node == d->selected) {
      QTreeWidget::currentChanged(current, previous);
      if (d->quiet == 0 && !d->clearing) d->selected = node;
      return;
    }
    bool allow = true;
    if (node) gui::SafeCall(tree(), [&] { allow = tree()->CanChange(node); });
    // A handler that removed the node selected before has made this one the selection and
    // reported it already.
    if (node && node == d->selected) return;
    if (!allow) {
      ++d->quiet;
      setCurrentIndex(previous);
      --d->quiet;
      return;
    }
    QTreeWidget::currentChanged(current, previous);
    TTreeNode* old = d->selected;
    d->selected = node;
    updateIcon(old);
    updateIcon(node);
    // A move of the user's is reported once the toolkit has handled the key or the press
    // whole: a handler that lets events run would otherwise let a quicker click be handled
    // in the middle, after which the rest of the press selected its own row again.
    if (d->userInput > 0 && d->programmatic == 0)
      d->changePending = true;
    else
      reportChange(node, false);
  }
  void reportChange(TTreeNode* node, bool byUser) {
    TTreeViewPrivate* d = tree()->TreePrivate();
    d->changePending = false;
    const bool wasUser = d->userChange;
    d->userChange = byUser;
    gui::SafeCall(tree(), [&] { tree()->Change(node); });
    d->userChange = wasUser;
  }

  // Keys (arrows, type-ahead) and the mouse move the current node as the user's doing;
  // the toolkit's own moves (a first focus, a removed row) are not.
  void keyPressEvent(QKeyEvent* e) override {
    // The next letter of a name typed (a "-" in it too, which would close the node).
    if (continuesTypedName(e)) {
      asUser([&] { keyboardSearch(e->text()); });
      return e->accept();
    }
    // Right on a node with nothing to open does nothing (the toolkit would scroll sideways
    // a step at each press, until no name is left in sight).
    const int sideways = horizontalScrollBar()->value();
    QTreeWidgetItem* before = currentItem();
    asUser([&] { QTreeWidget::keyPressEvent(e); });
    if (e->key() == Qt::Key_Right && currentItem() == before) horizontalScrollBar()->setValue(sideways);
  }
  // Rows stay where they are between a press and its release: the pressed row is not
  // scrolled into view, and moving the mouse with a button held neither drags the
  // highlight along nor scrolls the view (a folder drag is the control's own).
  void mousePressEvent(QMouseEvent* e) override {
    // A press outside the view (which holds the mouse) is no press on a row.
    if (!viewport()->rect().contains(e->position().toPoint())) return;
    pressed_ = true;
    shown_ = QPersistentModelIndex();
    ++pressing_;
    asUser([&] { QTreeWidget::mousePressEvent(e); });
    --pressing_;
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    ++pressing_;
    QTreeWidget::mouseDoubleClickEvent(e);
    --pressing_;
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (e->buttons() != Qt::NoButton) return;
    asUser([&] { QTreeWidget::mouseMoveEvent(e); });
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    pressed_ = e->buttons() != Qt::NoButton;
    asUser([&] { QTreeWidget::mouseReleaseEvent(e); });
  }
  // A name typed to find a row: the toolkit finds it, and the pause that ends the name is
  // reported to the tree.
  void keyboardSearch(const QString& search) override {
    typing_.restart();
    QTreeWidget::keyboardSearch(search);
  }
  template <class F>
  void asUser(const F& handle) {
    QPointer<TreeWidget> guard(this);
    TTreeViewPrivate* d = tree()->TreePrivate();
    ++d->userInput;
    handle();
    if (!guard) return;
    if (--d->userInput == 0 && d->changePending) reportChange(d->selected, true);
  }

  // Showing a node scrolls the view up or down to it, and sideways as far as its name
  // needs, at once: nothing else scrolls the tree sideways later. A node made current
  // while the program changes the tree (its updates held) is scrolled to up or down only:
  // the program shows the node it ends on itself. Until the user scrolls the view or
  // presses on it, the node shown last stays among the rows in view when the view's size
  // changes (the window may settle its layout after the tree was filled, and a scroll bar
  // that comes narrows the view); its name stays in view sideways too, unless the user
  // scrolled sideways since, whose scroll is kept.
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override {
    // Nor does the row the pointer is on move when it becomes current (a press, hot tracking).
    if (pressing_ > 0 || underPointer(index)) return;
    if (hint != EnsureVisible) shown_ = QPersistentModelIndex();
    bringIntoView(index, hint, updatesEnabled());
  }
  void bringIntoView(const QModelIndex& index, ScrollHint hint, bool sideways) {
    if (hint == EnsureVisible) shown_ = index;
    sideways = sideways && hint == EnsureVisible && !keeping_;
    if (sideways) sidewaysByUser_ = false;
    const int now = horizontalScrollBar()->value();
    QTreeWidget::scrollTo(index, hint);
    horizontalScrollBar()->setValue(sideways ? sidewaysFor(index, now) : now);
  }
  // The sideways scroll, nearest to `now`, that shows the node's row from its expand
  // button to the end of its name, else from its icon to the end of its name; a name too
  // wide for the view shows its start (the button and the icon before it).
  int sidewaysFor(const QModelIndex& index, int now) {
    QTreeWidgetItem* item = itemFromIndex(index);
    const QRect r = visualRect(index);
    if (!item || !r.isValid()) return now;
    const int width = viewport()->width(), icon = iconRoom(item);
    const int start = r.left() + horizontalOffset(), button = start - indentation(), end = start + icon + textRoom(item);
    int wanted = width >= indentation() + icon ? button : start;
    if (end - button <= width)
      wanted = std::clamp(now, end - width, button);
    else if (end - start <= width)
      wanted = std::clamp(now, end - width, start);
    // The one column grows to the widest row near the rows in view; the node may have
    // just come among them.
    if (wanted > horizontalScrollBar()->maximum()) {
      keeping_ = true;
      updateGeometries();
      keeping_ = false;
    }
    return std::clamp(wanted, 0, horizontalScrollBar()->maximum());
  }
  QPersistentModelIndex shown_;
  QSize rowsSize_;
  bool keeping_ = false;
  bool sidewaysByUser_ = false;  // the user scrolled sideways since a node was shown
  bool rowsPending_ = false;
  // The rows in view changed: the tree hears of it once the event that moved them is over.
  void rowsMoved() {
    if (rowsPending_) return;
    rowsPending_ = true;
    QTimer::singleShot(0, this, [this] {
      rowsPending_ = false;
      if (TControl* c = control()) gui::SafeCall(c, [&] { static_cast<TCustomTreeView*>(c)->VisibleRowsChanged(); });
    });
  }

  // The one column is as wide as the widest open row (at least the view's width), so a
  // deep or long folder name scrolls sideways instead of being cut off.
  void updateGeometries() override {
    if (!fitting_ && columnCount() == 1) {
      fitting_ = true;
      const int wanted = std::max(viewport()->width(), sizeHintForColumn(0));
      if (header()->sectionSize(0) != wanted) header()->resizeSection(0, wanted);
      fitting_ = false;
    }
    QTreeWidget::updateGeometries();
    if (viewport()->size() == rowsSize_ || keeping_) return;
    rowsSize_ = viewport()->size();
    if (shown_.isValid()) {
      keeping_ = true;
      scrollTo(shown_);
      keeping_ = false;
      QScrollBar* sideways = horizontalScrollBar();
      if (!sidewaysByUser_ && pressing_ == 0 && !underPointer(shown_))
        sideways->setValue(sidewaysFor(shown_, sideways->value()));
    }
    rowsMoved();
  }

 public:
  bool editing() const { return state() == QAbstractItemView::EditingState; }
  bool typingName() const { return typing_.active(); }
  bool continuesTypedName(const QKeyEvent* e) const override { return typing_.continues(e); }
  // The program shows a node (the toolkit's own scrollToItem would bypass what the tree
  // adds to scrolling).
  void showItem(const QTreeWidgetItem* item, ScrollHint hint) { bringIntoView(indexFromItem(item), hint, true); }
  // The room of a node's icon and of its label, which follow each other from the start
  // of its row.
  int iconRoom(const QTreeWidgetItem* item) const { return item->icon(0).isNull() ? 0 : iconSize().width() + 4; }
  int textRoom(const QTreeWidgetItem* item) const { return fontMetrics().horizontalAdvance(item->text(0)) + 6; }
  // A mouse button pressed on the view is still held.
  bool mouseHeld() const { return pressed_ && QApplication::mouseButtons() != Qt::NoButton; }
  bool underPointer(const QModelIndex& index) const {
    if (!index.isValid() || !viewport()->underMouse()) return false;
    const QPoint p = viewport()->mapFromGlobal(QCursor::pos());
    const QRect r = visualRect(index);
    return viewport()->rect().contains(p) && p.y() >= r.top() && p.y() <= r.bottom();
  }
  void updateIcon(TTreeNode* node) {
    if (!node || !node->Private()->item) return;
    TTreeViewPrivate* d = tree()->TreePrivate();
    int index = node == d->selected && node->SelectedIndex() >= 0 ? node->SelectedIndex() : node->ImageIndex();
    QIcon icon;
    if (d->images)
      if (const TBitmap* b = d->images->ImageWithAlpha(index)) icon = QIcon(QPixmap::fromImage(BitmapToQImage(*b, true)));
    node->Private()->item->setIcon(0, icon);
  }

 private:
  TypingPause typing_{this, [this](TTypingEnd how) {
    if (TControl* c = control()) gui::SafeCall(c, [&] { static_cast<TCustomTreeView*>(c)->TypingEnded(how); });
  }};
  bool fitting_ = false;
  bool pressed_ = false;
  int pressing_ = 0;
  void expanded(QTreeWidgetItem* item, bool on) {
    TTreeNode* node = NodeOf(item);
    TTreeViewPrivate* d = tree()->TreePrivate();
    if (!node) return;
    if (d->quiet > 0) {
      node->Private()->expanded = on;
      return;
    }
    bool allow = true;
    gui::SafeCall(tree(), [&] { allow = on ? tree()->CanExpand(node) : tree()->CanCollapse(node); });
    if (!allow || !node->Private()->item) {
      ++d->quiet;
      if (node->Private()->item) node->Private()->item->setExpanded(!on);
      --d->quiet;
      return;
    }
    node->Private()->expanded = on;
    gui::SafeCall(tree(), [&] {
      if (on)
        tree()->Expand(node);
      else
        tree()->Collapse(node);
    });
  }
  TCustomTreeView* tree() const { return static_cast<TCustomTreeView*>(owner_); }
  TControl* owner_;
};

TreeWidget* TreeOf(const TCustomTreeView* tree) { return dynamic_cast<TreeWidget*>(tree->Private()->widget.data()); }

void MakeTreeWidget(TControl* c) {
  auto* w = new TreeWidget(c);
  gui::AttachWidget(c, w, w->viewport());
}

// Compares node texts as the tree sorts them: without case, lower case first on ties.
int CompareNodeText(const std::string& a, const std::string& b) {
  int r = strcasecmp(a.c_str(), b.c_str());
  if (r != 0) return r;
  return -a.compare(b);
}

}  // namespace

// ===========================================================================
// TTreeNode
// ===========================================================================
TTreeNode::TTreeNode(TTreeNodes* owner) : owner_(owner), d_(std::make_unique<TTreeNodePrivate>()) {}
TTreeNode::~TTreeNode() = default;

TCustomTreeView* TTreeNode::TreeView() const { return owner_ ? owner_->Owner() : nullptr; }

void TTreeNode::SetText(const std::string& text) {
  text_ = text;
  if (d_->item) d_->item->setText(0, gui::QtText(text));
}
void TTreeNode::SetImageIndex(int index) {
  imageIndex_ = index;
  if (TreeWidget* w = TreeOf(TreeView())) w->updateIcon(this);
}
void TTreeNode::SetSelectedIndex(int index) {
  selectedIndex_ = index;
  if (TreeWidget* w = TreeOf(TreeView())) w->updateIcon(this);
}

int TTreeNode::Level() const {
  int level = 0;
  for (TTreeNode* p = parent_; p; p = p->parent_) ++level;
  return level;
}
bool TTreeNode::HasChildren() const { return hasChildren_ || !children_.empty(); }
void TTreeNode::SetHasChildren(bool v) {
  hasChildren_ = v;
  if (d_->item)
    d_->item->setChildIndicatorPolicy(v ? QTreeWidgetItem::ShowIndicator
                                        : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}
TTreeNode* TTreeNode::Item(int index) const {
  if (index < 0 || index >= Count()) gui::ListIndexError(index);
  return children_[size_t(index)];
}
int TTreeNode::IndexOf(const TTreeNode* child) const {
  auto it = std::find(children_.begin(), children_.end(), child);
  return it == children_.end() ? -1 : int(it - children_.begin());
}
int TTreeNode::Index() const {
  const auto& siblings = parent_ ? parent_->children_ : owner_->roots_;
  auto it = std::find(siblings.begin(), siblings.end(), this);
  return it == siblings.end() ? -1 : int(it - siblings.begin());
}
int TTreeNode::AbsoluteIndex() const {
  owner_->rebuildFlat();
  auto it = std::find(owner_->flat_.begin(), owner_->flat_.end(), this);
  return it == owner_->flat_.end() ? -1 : int(it - owner_->flat_.begin());
}

bool TTreeNode::Expanded() const { return d_->expanded; }
void TTreeNode::SetExpanded(bool v) {
  if (v)
    Expand(false);
  else
    Collapse(false);
}
void TTreeNode::Expand(bool Recurse) {
  TCustomTreeView* tree = TreeView();
  if (!d_->expanded && HasChildren() && tree && tree->CanExpand(this)) {
    TTreeViewPrivate* d = tree->TreePrivate();
    ++d->quiet;
    if (d_->item) d_->item->setExpanded(true);
    --d->quiet;
    d_->expanded = true;
    tree->Expand(this);
  }
  if (Recurse)
    for (size_t i = 0; i < children_.size(); ++i) children_[i]->Expand(true);
}
void TTreeNode::Collapse(bool Recurse) {
  TCustomTreeView* tree = TreeView();
  if (Recurse)
    for (size_t i = 0; i < children_.size(); ++i) children_[i]->Collapse(true);
  if (d_->expanded && tree && tree->CanCollapse(this)) {
    TTreeViewPrivate* d = tree->TreePrivate();
    ++d->quiet;
    if (d_->item) d_->item->setExpanded(false);
    --d->quiet;
    d_->expanded = false;
    tree->Collapse(this);
  }
}
void TTreeNode::MakeVisible() {
  for (TTreeNode* p = parent_; p; p = p->parent_) p->Expand(false);
  if (TreeWidget* w = TreeOf(TreeView()); w && d_->item) w->showItem(d_->item, QAbstractItemView::EnsureVisible);
}
bool TTreeNode::IsVisible() const {
  for (TTreeNode* p = parent_; p; p = p->parent_)
    if (!p->d_->expanded) return false;
  return true;
}
bool TTreeNode::Selected() const { return TreeView() && TreeView()->Selected() == this; }
void TTreeNode::SetSelected(bool v) {
  if (!TreeView()) return;
  if (v)
    TreeView()->SetSelected(this);
  else if (Selected())
    TreeView()->SetSelected(nullptr);
}
bool TTreeNode::Focused() const {
  TreeWidget* w = TreeOf(TreeView());
  return w && d_->item && w->currentItem() == d_->item && w->hasFocus();
}
void TTreeNode::SetFocused(bool v) {
  if (v) SetSelected(true);
}
void TTreeNode::Delete() { owner_->Delete(this); }
void TTreeNode::DeleteChildren() {
  while (!children_.empty()) owner_->Delete(children_.back());
}

bool TTreeNode::EditText() {
  TreeWidget* w = TreeOf(TreeView());
  if (!w || !d_->item) return false;
  ++TreeView()->TreePrivate()->programmatic;
  w->setCurrentItem(d_->item);
  --TreeView()->TreePrivate()->programmatic;
  w->editItem(d_->item, 0);
  return TreeView()->IsEditing();
}
void TTreeNode::EndEdit(bool Cancel) {
  TreeWidget* w = TreeOf(TreeView());
  if (!w || !d_->item) return;
  QWidget* editor = w->itemWidget(d_->item, 0);
  if (!editor) editor = w->findChild<QLineEdit*>();
  if (!editor) return;
  if (Cancel)
    w->closePersistentEditor(d_->item, 0);
  else
    w->setFocus();
}

bool TTreeNode::CustomSort(const TCompare& compare, bool Recurse) {
  std::stable_sort(children_.begin(), children_.end(), [&](TTreeNode* a, TTreeNode* b) { return compare(a, b) < 0; });
  if (d_->item) {
    // The toolkit items follow; expansion states are put back afterwards.
    QList<QTreeWidgetItem*> taken = d_->item->takeChildren();
    (void)taken;
    for (TTreeNode* c : children_) d_->item->addChild(c->d_->item);
    TCustomTreeView* tree = TreeView();
    TTreeViewPrivate* d = tree ? tree->TreePrivate() : nullptr;
    if (d) ++d->quiet;
    std::vector<TTreeNode*> stack(children_.begin(), children_.end());
    while (!stack.empty()) {
      TTreeNode* n = stack.back();
      stack.pop_back();
      if (n->d_->item) n->d_->item->setExpanded(n->d_->expanded);
      stack.insert(stack.end(), n->children_.begin(), n->children_.end());
    }
    if (d) --d->quiet;
  }
  owner_->Invalidate();
  if (Recurse)
    for (TTreeNode* c : children_) c->CustomSort(compare, true);
  return true;
}

bool TTreeNode::AlphaSort(bool Recurse) {
  TCustomTreeView* tree = TreeView();
  return CustomSort(
      [tree](TTreeNode* a, TTreeNode* b) {
        if (tree && tree->OnCompare) {
          int r = 0;
          tree->OnCompare(tree, a, b, 0, r);
          return r;
        }
        return CompareNodeText(a->Text(), b->Text());
      },
      Recurse);
}

void TTreeNode::MoveTo(TTreeNode* destination, TNodeAttachMode mode) {
  if (destination == this || (destination && destination->HasAsParent(this))) return;
  TTreeNodes* nodes = owner_;
  // Take the node out.
  auto& from = parent_ ? parent_->children_ : nodes->roots_;
  from.erase(std::remove(from.begin(), from.end(), this), from.end());
  if (d_->item) {
    if (QTreeWidgetItem* p = d_->item->parent())
      p->removeChild(d_->item);
    else if (TreeWidget* w = TreeOf(TreeView()))
      w->takeTopLevelItem(w->indexOfTopLevelItem(d_->item));
  }
  TTreeNode* newParent = nullptr;
  int index = 0;
  if (!destination) {
    index = int(nodes->roots_.size());
  } else {
    switch (mode) {
      case naAdd: newParent = destination->parent_; index = int(nodes->siblingsOf(newParent).size()); break;
      case naAddFirst: newParent = destination->parent_; index = 0; break;
      case naAddChild: newParent = destination; index = destination->Count(); break;
      case naAddChildFirst: newParent = destination; index = 0; break;
      case naInsert: newParent = destination->parent_; index = destination->Index(); break;
    }
  }
  auto& to = nodes->siblingsOf(newParent);
  to.insert(to.begin() + index, this);
  parent_ = newParent;
  if (d_->item) {
    if (newParent && newParent->d_->item)
      newParent->d_->item->insertChild(index, d_->item);
    else if (TreeWidget* w = TreeOf(TreeView()))
      w->insertTopLevelItem(index, d_->item);
    d_->item->setExpanded(d_->expanded);
  }
  nodes->Invalidate();
}

TRect TTreeNode::DisplayRect(bool TextOnly) const {
  TreeWidget* w = TreeOf(TreeView());
  if (!w || !d_->item || !IsVisible()) return TRect();
  QRect r = w->visualItemRect(d_->item);
  if (r.isEmpty()) return TRect();
  if (TextOnly) {
    const int icon = w->iconRoom(d_->item);
    return Rect(r.left() + icon, r.top(), r.left() + icon + w->textRoom(d_->item), r.bottom() + 1);
  }
  return Rect(0, r.top(), w->viewport()->width(), r.bottom() + 1);
}

TTreeNode* TTreeNode::GetNextSibling() const {
  const auto& siblings = parent_ ? parent_->children_ : owner_->roots_;
  int i = Index();
  return i >= 0 && i + 1 < int(siblings.size()) ? siblings[size_t(i + 1)] : nullptr;
}
TTreeNode* TTreeNode::GetPrevSibling() const {
  const auto& siblings = parent_ ? parent_->children_ : owner_->roots_;
  int i = Index();
  return i > 0 ? siblings[size_t(i - 1)] : nullptr;
}
TTreeNode* TTreeNode::GetNext() const {
  if (!children_.empty()) return children_.front();
  for (const TTreeNode* n = this; n; n = n->parent_)
    if (TTreeNode* s = n->GetNextSibling()) return s;
  return nullptr;
}
TTreeNode* TTreeNode::GetPrev() const {
  TTreeNode* prev = GetPrevSibling();
  if (!prev) return parent_;
  while (!prev->children_.empty()) prev = prev->children_.back();
  return prev;
}
TTreeNode* TTreeNode::GetNextVisible() const {
  if (!IsVisible()) return nullptr;
  if (d_->expanded && !children_.empty()) return children_.front();
  for (const TTreeNode* n = this; n; n = n->parent_)
    if (TTreeNode* s = n->GetNextSibling()) return s;
  return nullptr;
}
TTreeNode* TTreeNode::GetPrevVisible() const {
  TTreeNode* prev = GetPrevSibling();
  if (!prev) return parent_;
  while (prev->d_->expanded && !prev->children_.empty()) prev = prev->children_.back();
  return prev;
}
bool TTreeNode::HasAsParent(const TTreeNode* node) const {
  for (TTreeNode* p = parent_; p; p = p->parent_)
    if (p == node) return true;
  return false;
}

// ===========================================================================
// TTreeNodes
// ===========================================================================
TTreeNodes::TTreeNodes(TCustomTreeView* owner) : owner_(owner) {}
TTreeNodes::~TTreeNodes() {
  // Nodes go without events when the tree itself goes.
  std::vector<TTreeNode*> stack(roots_.begin(), roots_.end());
  roots_.clear();
  while (!stack.empty()) {
    TTreeNode* n = stack.back();
    stack.pop_back();
    stack.insert(stack.end(), n->children_.begin(), n->children_.end());
    delete n;
  }
}

std::vector<TTreeNode*>& TTreeNodes::siblingsOf(TTreeNode* parent) { return parent ? parent->children_ : roots_; }

void TTreeNodes::rebuildFlat() const {
  if (flatValid_) return;
  flat_.clear();
  std::vector<TTreeNode*> stack(roots_.rbegin(), roots_.rend());
  while (!stack.empty()) {
    TTreeNode* n = stack.back();
    stack.pop_back();
    flat_.push_back(n);
    stack.insert(stack.end(), n->children_.rbegin(), n->children_.rend());
  }
  flatValid_ = true;
}

int TTreeNodes::Count() const {
  rebuildFlat();
  return int(flat_.size());
}
TTreeNode* TTreeNodes::Item(int index) const {
  rebuildFlat();
  if (index < 0 || index >= int(flat_.size()))
    gui::ListIndexError(index);
  return flat_[size_t(index)];
}
TTreeNode* TTreeNodes::GetFirstNode() const { return roots_.empty() ? nullptr : roots_.front(); }

TTreeNode* TTreeNodes::insertNode(TTreeNode* parent, int index, const std::string& text, void* data) {
  auto* node = new TTreeNode(this);
  node->text_ = text;
  node->data_ = data;
  node->parent_ = parent;
  auto& siblings = siblingsOf(parent);
  index = std::clamp(index, 0, int(siblings.size()));
  siblings.insert(siblings.begin() + index, node);
  flatValid_ = false;
  if (TreeWidget* w = TreeOf(owner_)) {
    auto* item = new QTreeWidgetItem();
    item->setText(0, gui::QtText(text));
    item->setData(0, kNodeRole, QVariant::fromValue(quintptr(node)));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    node->d_->item = item;
    if (parent && parent->d_->item)
      parent->d_->item->insertChild(index, item);
    else
      w->insertTopLevelItem(index, item);
  }
  TTreeViewPrivate* d = owner_->TreePrivate();
  if (updateCount_ == 0 && (d->sortType == stText || d->sortType == stBoth)) {
    if (parent)
      parent->AlphaSort(false);
    else
      owner_->AlphaSort(false);
  }
  return node;
}

void TTreeNodes::removeNode(TTreeNode* node) {
  node->d_->deleting = true;
  while (!node->children_.empty()) removeNode(node->children_.back());
  TTreeViewPrivate* d = owner_->TreePrivate();
  // OnDeletion runs for every node freed, also by Clear (handlers free their node data).
  if (!d->destroying) gui::SafeCall(owner_, [&] { owner_->Delete(node); });
  auto& siblings = siblingsOf(node->parent_);
  siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
  flatValid_ = false;
  if (d->selected == node) d->selected = nullptr;
  if (d->dropTarget == node) d->dropTarget = nullptr;
  if (QTreeWidgetItem* item = node->d_->item) {
    node->d_->item = nullptr;
    ++d->quiet;
    delete item;
    --d->quiet;
  }
  delete node;
}

void TTreeNodes::Delete(TTreeNode* node) {
  if (!node || node->d_->deleting) return;
  TTreeViewPrivate* d = owner_->TreePrivate();
  bool wasSelected = d->selected == node || (d->selected && d->selected->HasAsParent(node));
  removeNode(node);
  // The toolkit chose the next current item; report it as the new selection.
  if (wasSelected && !d->clearing)
    if (TreeWidget* w = TreeOf(owner_)) {
      TTreeNode* now = NodeOf(w->currentItem());
      d->selected = now;
      d->changePending = false;  // a move of the user's that was still to be reported is this one
      const bool wasUser = d->userChange;
      d->userChange = false;
      if (now) gui::SafeCall(owner_, [&] { owner_->Change(now); });
      d->userChange = wasUser;
    }
}

void TTreeNodes::Clear() {
  TTreeViewPrivate* d = owner_->TreePrivate();
  d->clearing = true;
  BeginUpdate();
  while (!roots_.empty()) removeNode(roots_.back());
  EndUpdate();
  d->selected = nullptr;
  d->changePending = false;
  d->clearing = false;
}

TTreeNode* TTreeNodes::Add(TTreeNode* sibling, const std::string& text) { return AddObject(sibling, text, nullptr); }
TTreeNode* TTreeNodes::AddObject(TTreeNode* sibling, const std::string& text, void* data) {
  TTreeNode* parent = sibling ? sibling->parent_ : nullptr;
  return insertNode(parent, int(siblingsOf(parent).size()), text, data);
}
TTreeNode* TTreeNodes::AddFirst(TTreeNode* sibling, const std::string& text) {
  return insertNode(sibling ? sibling->parent_ : nullptr, 0, text, nullptr);
}
TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const std::string& text) {
  return AddChildObject(parent, text, nullptr);
}
TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, const std::string& text, void* data) {
  return insertNode(parent, int(siblingsOf(parent).size()), text, data);
}
TTreeNode* TTreeNodes::AddChildFirst(TTreeNode* parent, const std::string& text) {
  return insertNode(parent, 0, text, nullptr);
}
TTreeNode* TTreeNodes::Insert(TTreeNode* sibling, const std::string& text) {
  return InsertObject(sibling, text, nullptr);
}
TTreeNode* TTreeNodes::InsertObject(TTreeNode* sibling, const std::string& text, void* data) {
  if (!sibling) return AddObject(nullptr, text, data);
  return insertNode(sibling->parent_, sibling->Index(), text, data);
}

void TTreeNodes::BeginUpdate() {
  if (updateCount_++ == 0)
    if (TreeWidget* w = TreeOf(owner_)) w->setUpdatesEnabled(false);
}
void TTreeNodes::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0)
    if (TreeWidget* w = TreeOf(owner_)) w->setUpdatesEnabled(true);
}

void TTreeNodes::Assign(TPersistent* source) {
  auto* other = dynamic_cast<TTreeNodes*>(source);
  if (!other) return TPersistent::Assign(source);
  Clear();
  BeginUpdate();
  std::vector<std::pair<TTreeNode*, TTreeNode*>> stack;  // (source node, new parent)
  for (auto it = other->roots_.rbegin(); it != other->roots_.rend(); ++it) stack.emplace_back(*it, nullptr);
  while (!stack.empty()) {
    auto [src, parent] = stack.back();
    stack.pop_back();
    TTreeNode* n = AddChildObject(parent, src->text_, src->data_);
    n->imageIndex_ = src->imageIndex_;
    n->selectedIndex_ = src->selectedIndex_;
    n->SetHasChildren(src->hasChildren_);
    for (auto it = src->children_.rbegin(); it != src->children_.rend(); ++it) stack.emplace_back(*it, n);
  }
  EndUpdate();
}

// ===========================================================================
// TCustomTreeView
// ===========================================================================
TCustomTreeView::TCustomTreeView(TComponent* AOwner)
    : TWinControl(AOwner, &MakeTreeWidget),
      items_(std::make_unique<TTreeNodes>(this)),
      tree_(std::make_unique<TTreeViewPrivate>()) {
  Private()->color = clWindow;
  Private()->nativePressFirst = true;
  if (TreeWidget* w = TreeOf(this)) Private()->frame = w->frameWidth();
  SetTabStop(true);
  ColorChanged();
  SetBounds(0, 0, 121, 97);
}

TCustomTreeView::~TCustomTreeView() {
  DetachEvents();
  tree_->clearing = true;
  tree_->destroying = true;
  ++tree_->quiet;
  items_.reset();
}

TTreeNodes* TCustomTreeView::Items() const { return items_.get(); }
TTreeNode* TCustomTreeView::Selected() const { return tree_->selected; }
void TCustomTreeView::SetSelected(TTreeNode* node) {
  TreeWidget* w = TreeOf(this);
  if (!w) return;
  if (!node) {
    ++tree_->quiet;
    w->setCurrentItem(nullptr);
    w->clearSelection();
    --tree_->quiet;
    tree_->selected = nullptr;
    return;
  }
  ++tree_->programmatic;
  if (node->Private()->item) w->setCurrentItem(node->Private()->item);
  --tree_->programmatic;
}
bool TCustomTreeView::SelectionChangedByUser() const { return tree_->userChange; }
bool TCustomTreeView::TypingName() const {
  TreeWidget* w = TreeOf(this);
  return w && w->typingName();
}
TTreeNode* TCustomTreeView::TopItem() const {
  TreeWidget* w = TreeOf(this);
  return w ? NodeOf(w->itemAt(0, 0)) : nullptr;
}
void TCustomTreeView::SetTopItem(TTreeNode* node) {
  TreeWidget* w = TreeOf(this);
  if (w && node && node->Private()->item) w->showItem(node->Private()->item, QAbstractItemView::PositionAtTop);
}

bool TCustomTreeView::ReadOnly() const { return tree_->readOnly; }
void TCustomTreeView::SetReadOnly(bool v) { tree_->readOnly = v; }
bool TCustomTreeView::HideSelection() const { return tree_->hideSelection; }
void TCustomTreeView::SetHideSelection(bool v) { tree_->hideSelection = v; }
bool TCustomTreeView::ShowRoot() const { return tree_->showRoot; }
void TCustomTreeView::SetShowRoot(bool v) {
  tree_->showRoot = v;
  if (TreeWidget* w = TreeOf(this)) w->setRootIsDecorated(v);
}
bool TCustomTreeView::ShowLines() const { return tree_->showLines; }
void TCustomTreeView::SetShowLines(bool v) { tree_->showLines = v; }
bool TCustomTreeView::ShowButtons() const { return tree_->showButtons; }
void TCustomTreeView::SetShowButtons(bool v) { tree_->showButtons = v; }
bool TCustomTreeView::RowSelect() const { return tree_->rowSelect; }
void TCustomTreeView::SetRowSelect(bool v) { tree_->rowSelect = v; }
bool TCustomTreeView::HotTrack() const { return tree_->hotTrack; }
void TCustomTreeView::SetHotTrack(bool v) { tree_->hotTrack = v; }
int TCustomTreeView::Indent() const {
  TreeWidget* w = TreeOf(this);
  return w ? w->indentation() : 19;
}
void TCustomTreeView::SetIndent(int v) {
  if (TreeWidget* w = TreeOf(this)) w->setIndentation(v);
}
TImageList* TCustomTreeView::Images() const { return tree_->images; }
void TCustomTreeView::SetImages(TImageList* images) {
  tree_->images = images;
  if (images) {
    images->FreeNotification(this);
    if (TreeWidget* w = TreeOf(this)) w->setIconSize(QSize(images->Width(), images->Height()));
  }
  if (TreeWidget* w = TreeOf(this))
    for (int i = 0; i < items_->Count(); ++i) w->updateIcon(items_->Item(i));
}
TImageList* TCustomTreeView::StateImages() const { return tree_->stateImages; }
void TCustomTreeView::SetStateImages(TImageList* images) { tree_->stateImages = images; }
TSortType TCustomTreeView::SortType() const { return tree_->sortType; }
void TCustomTreeView::SetSortType(TSortType t) {
  tree_->sortType = t;
  if (t == stText || t == stBoth) AlphaSort(true);
}
TBorderStyle TCustomTreeView::BorderStyle() const { return Private()->frame > 0 ? bsSingle : bsNone; }
void TCustomTreeView::SetBorderStyle(TBorderStyle s) {
  if (TreeWidget* w = TreeOf(this)) {
    w->setFrameStyle(s == bsNone ? QFrame::NoFrame : (QFrame::StyledPanel | QFrame::Sunken));
    Private()->frame = w->frameWidth();
  }
}
bool TCustomTreeView::AutoExpand() const { return tree_->autoExpand; }
void TCustomTreeView::SetAutoExpand(bool v) { tree_->autoExpand = v; }
bool TCustomTreeView::IsEditing() const {
  TreeWidget* w = TreeOf(this);
  return w && w->editing();
}
bool TCustomTreeView::MouseHeld() const {
  TreeWidget* w = TreeOf(this);
  return w && w->mouseHeld();
}

TTreeNode* TCustomTreeView::GetNodeAt(int X, int Y) const {
  TreeWidget* w = TreeOf(this);
  return w ? NodeOf(w->itemAt(X, Y)) : nullptr;
}

THitTests TCustomTreeView::GetHitTestInfoAt(int X, int Y) const {
  THitTests result;
  TreeWidget* w = TreeOf(this);
  if (!w) return result;
  if (Y < 0) result.Include(htAbove);
  if (Y >= ClientHeight()) result.Include(htBelow);
  if (X < 0) result.Include(htToLeft);
  if (X >= ClientWidth()) result.Include(htToRight);
  if (!result.Empty()) return result;
  QTreeWidgetItem* item = w->itemAt(X, Y);
  if (!item) return THitTests{htNowhere};
  QRect r = w->visualItemRect(item);
  if (X < r.left()) {
    // The branch area: the last indentation step holds the expand button.
    if (X >= r.left() - w->indentation() && NodeOf(item)->HasChildren())
      result.Include(htOnButton);
    else
      result.Include(htOnIndent);
    return result;
  }
  int x = X - r.left();
  const int icon = w->iconRoom(item), text = w->textRoom(item);
  if (x < icon)
    result = THitTests{htOnIcon, htOnItem};
  else if (x < icon + text)
    result = THitTests{htOnLabel, htOnItem};
  else
    result.Include(htOnRight);
  return result;
}

void TCustomTreeView::FullExpand() {
  for (TTreeNode* n : std::vector<TTreeNode*>(items_->Roots())) n->Expand(true);
}
void TCustomTreeView::FullCollapse() {
  for (TTreeNode* n : std::vector<TTreeNode*>(items_->Roots())) n->Collapse(true);
}

bool TCustomTreeView::AlphaSort(bool Recurse) {
  auto& roots = const_cast<std::vector<TTreeNode*>&>(items_->Roots());
  auto compare = [this](TTreeNode* a, TTreeNode* b) {
    if (OnCompare) {
      int r = 0;
      OnCompare(this, a, b, 0, r);
      return r < 0;
    }
    return CompareNodeText(a->Text(), b->Text()) < 0;
  };
  std::stable_sort(roots.begin(), roots.end(), compare);
  if (TreeWidget* w = TreeOf(this)) {
    ++tree_->quiet;
    while (w->topLevelItemCount() > 0) w->takeTopLevelItem(0);
    for (TTreeNode* n : roots)
      if (n->Private()->item) {
        w->addTopLevelItem(n->Private()->item);
        n->Private()->item->setExpanded(n->Private()->expanded);
      }
    if (tree_->selected && tree_->selected->Private()->item) w->setCurrentItem(tree_->selected->Private()->item);
    --tree_->quiet;
  }
  items_->Invalidate();
  if (Recurse)
    for (TTreeNode* n : roots) n->AlphaSort(true);
  return true;
}

TTreeNode* TCustomTreeView::DropTarget() const { return tree_->dropTarget; }
void TCustomTreeView::SetDropTarget(TTreeNode* node) {
  TTreeNode* old = tree_->dropTarget;
  tree_->dropTarget = node;
  QFont f;
  if (old && old->Private()->item) {
    f = old->Private()->item->font(0);
    f.setUnderline(false);
    old->Private()->item->setFont(0, f);
  }
  if (node && node->Private()->item) {
    f = node->Private()->item->font(0);
    f.setUnderline(true);
    node->Private()->item->setFont(0, f);
  }
}
TCanvas* TCustomTreeView::Canvas() const { return Private()->ensureCanvas(); }

bool TCustomTreeView::CanChange(TTreeNode* Node) {
  bool allow = true;
  if (OnChanging) OnChanging(this, Node, allow);
  return allow;
}
void TCustomTreeView::Change(TTreeNode* Node) {
  if (OnChange) OnChange(this, Node);
}
bool TCustomTreeView::CanExpand(TTreeNode* Node) {
  bool allow = true;
  if (OnExpanding) OnExpanding(this, Node, allow);
  return allow;
}
void TCustomTreeView::Expand(TTreeNode* Node) {
  if (OnExpanded) OnExpanded(this, Node);
}
bool TCustomTreeView::CanCollapse(TTreeNode* Node) {
  bool allow = true;
  if (OnCollapsing) OnCollapsing(this, Node, allow);
  return allow;
}
void TCustomTreeView::Collapse(TTreeNode* Node) {
  if (OnCollapsed) OnCollapsed(this, Node);
}
bool TCustomTreeView::CanEdit(TTreeNode* Node) {
  bool allow = true;
  if (OnEditing) OnEditing(this, Node, allow);
  return allow;
}
void TCustomTreeView::Edit(TTreeNode* Node, std::string& S) {
  if (OnEdited) OnEdited(this, Node, S);
}
void TCustomTreeView::Delete(TTreeNode* Node) {
  if (OnDeletion) OnDeletion(this, Node);
}
void TCustomTreeView::VisibleRowsChanged() {}
void TCustomTreeView::TypingEnded(TTypingEnd /*How*/) {}

void TCustomTreeView::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == tree_->images) tree_->images = nullptr;
  if (component == tree_->stateImages) tree_->stateImages = nullptr;
}

void TCustomTreeView::FontChanged() {}
void TCustomTreeView::ColorChanged() {
  if (TreeWidget* w = TreeOf(this)) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Base, ToQColor(Color()));
    w->setPalette(pal);
  }
}
