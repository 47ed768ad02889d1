// Menus: items kept as the class library keeps them, each shown through a toolkit
// action; a main menu is a menu bar of its form, a popup menu a toolkit menu.
// Shortcuts are not given to the toolkit: the layer's key handling finds them (so
// they work while items or the whole bar are hidden), and the menus only show their text.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include <algorithm>
#include <strings.h>

#include "platform/QtApplication.h"
#include "platform/graphics/CanvasQt.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/gui/ModalResponder.h"

struct TMenuItemPrivate {
  std::string caption;
  bool checked = false, enabled = true, visible = true, isDefault = false, autoCheck = false, radioItem = false;
  uint8_t groupIndex = 0;
  TShortCut shortCut = 0;
  std::string hint;
  int imageIndex = -1;
  std::unique_ptr<TBitmap> bitmap;
  TMenuItem* parent = nullptr;
  std::vector<TMenuItem*> items;
  TMenu* menu = nullptr;  // set on the root item only
  QPointer<QAction> action;
  QPointer<QMenu> submenu;
  bool destroying = false;
};

struct TMenuPrivate {
  std::unique_ptr<TMenuItem> root;
  TImageList* images = nullptr;
  bool ownerDraw = false;
  QPointer<QMenuBar> bar;  // main menus
  QPointer<QMenu> popup;   // popup menus
  TCustomForm* form = nullptr;
  TComponent* popupComponent = nullptr;
  bool autoPopup = true;
  TPopupAlignment alignment = paLeft;
  bool popupCancelled = false;  // set by OnPopup through CancelPopup
};

namespace {

TMenuItem* ItemOfAction(const QAction* a) {
  return a ? reinterpret_cast<TMenuItem*>(a->data().value<quintptr>()) : nullptr;
}

// The menu item a style option of a menu or menu bar widget is about.
TMenuItem* ItemForOption(const QStyleOption* opt, const QWidget* w, const QString& text) {
  QAction* a = nullptr;
  if (auto* menu = qobject_cast<const QMenu*>(w)) {
    if (opt->rect.isValid()) a = menu->actionAt(opt->rect.center());
    if (!a)
      for (QAction* candidate : menu->actions())
        if (candidate->text() == text) a = candidate;
  } else if (auto* bar = qobject_cast<const QMenuBar*>(w)) {
    if (opt->rect.isValid()) a = bar->actionAt(opt->rect.center());
  }
  return ItemOfAction(a);
}

bool OwnerDrawn(TMenuItem* item) {
  TMenu* menu = item ? item->GetParentMenu() : nullptr;
  return menu && menu->OwnerDraw();
}

// Draws the items of owner-drawn menus through their OnAdvancedDrawItem / OnDrawItem and
// lets OnMeasureItem change their size; every other item is drawn by the toolkit's style.
class OwnerDrawStyle : public QProxyStyle {
 public:
  void drawControl(ControlElement element, const QStyleOption* opt, QPainter* p, const QWidget* w) const override {
    if (element == CE_MenuItem || element == CE_MenuBarItem) {
      auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(opt);
      TMenuItem* item = mi ? ItemForOption(opt, w, mi->text) : nullptr;
      if (OwnerDrawn(item) && (item->OnAdvancedDrawItem || item->OnDrawItem)) {
        TOwnerDrawState state;
        if (opt->state & State_Selected) state.Include(odSelected);
        if (!(opt->state & State_Enabled)) state.Include(odDisabled);
        if (!(opt->state & State_Enabled)) state.Include(odGrayed);
        if (item->Checked()) state.Include(odChecked);
        if (item->Default()) state.Include(odDefault);
        const TRect r(opt->rect.left(), opt->rect.top(), opt->rect.right() + 1, opt->rect.bottom() + 1);
        TCanvasPainterBinding binding(canvas_, *p, opt->rect);
        if (w) {
          const QFont& f = w->font();
          canvas_.Font().SetName(gui::StdText(f.family()));
          if (f.pointSize() > 0)
            canvas_.Font().SetSize(f.pointSize());
          else
            canvas_.Font().SetHeight(-f.pixelSize());
        }
        canvas_.Font().SetColor(clMenuText);
        gui::SafeCall(item, [&] {
          if (item->OnAdvancedDrawItem)
            item->OnAdvancedDrawItem(item, &canvas_, r, state);
          else
            item->OnDrawItem(item, &canvas_, r, state);
        });
        // As the system does for owner-drawn items, the arrow that says a submenu follows
        // is drawn over the item's right end.
        if (element == CE_MenuItem && mi->menuItemType == QStyleOptionMenuItem::SubMenu) drawSubmenuArrow(*mi, p, w);
        return;
      }
    }
    QProxyStyle::drawControl(element, opt, p, w);
  }

  QSize sizeFromContents(ContentsType type, const QStyleOption* opt, const QSize& size,
                         const QWidget* w) const override {
    QSize s = QProxyStyle::sizeFromContents(type, opt, size, w);
    if (type != CT_MenuItem && type != CT_MenuBarItem) return s;
    auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(opt);
    TMenuItem* item = mi ? ItemForOption(opt, w, mi->text) : nullptr;
    if (!OwnerDrawn(item)) return s;
    // An owner-drawn separator is as high as the class library measures it (half a
    // classic menu line), room for the line its handler draws.
    if (mi->menuItemType == QStyleOptionMenuItem::Separator) s.setHeight(std::max(s.height(), 9));
    if (!item->OnMeasureItem) return s;
    int width = s.width(), height = s.height();
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter painter(&scratch);
    TCanvasPainterBinding binding(canvas_, painter);
    gui::SafeCall(item, [&] { item->OnMeasureItem(item, &canvas_, width, height); });
    return QSize(std::max(0, width), std::max(0, height));
  }

 private:
  void drawSubmenuArrow(const QStyleOptionMenuItem& item, QPainter* p, const QWidget* w) const {
    QStyleOption arrow(item);
    const int side = std::max(5, item.rect.height() / 2 - 2);
    arrow.rect = QRect(item.rect.right() - side - 5, item.rect.center().y() - side / 2, side, side);
    const QColor colour = gui::QtColor((item.state & State_Enabled) ? clMenuText : clGrayText);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
      arrow.palette.setColor(role, colour);
    arrow.state &= ~State_Selected;
    proxy()->drawPrimitive(PE_IndicatorArrowRight, &arrow, p, w);
  }

  mutable TCanvas canvas_;
};

// Makes a menu measure its items again (owner-drawn items may measure differently now).
void Remeasure(QWidget* menu) {
  if (!menu) return;
  QEvent change(QEvent::StyleChange);
  QCoreApplication::sendEvent(menu, &change);
}

QStyle* MenuStyle() {
  static OwnerDrawStyle* style = [] {
    auto* s = new OwnerDrawStyle();
    s->setParent(qApp);
    return s;
  }();
  return style;
}

QIcon ItemIcon(TMenuItem* item) {
  TMenu* menu = item->GetParentMenu();
  TImageList* images = menu ? menu->Images() : nullptr;
  if (images && item->ImageIndex() >= 0 && item->ImageIndex() < images->Count())
    if (const TBitmap* b = images->ImageWithAlpha(item->ImageIndex()))
      return QIcon(QPixmap::fromImage(BitmapToQImage(*b, true)));
  TMenuItemPrivate* d = item->Private();
  if (d->bitmap && !d->bitmap->Empty()) return QIcon(QPixmap::fromImage(BitmapToQImage(*d->bitmap)));
  return QIcon();
}

void UpdateAction(TMenuItem* item) {
  TMenuItemPrivate* d = item->Private();
  QAction* a = d->action;
  if (!a) return;
  if (d->caption == "-") {
    a->setSeparator(true);
    a->setVisible(d->visible);
    return;
  }
  a->setSeparator(false);
  QString text = gui::QtText(d->caption);
  std::string sc = ShortCutToText(d->shortCut);
  if (!sc.empty()) text += "\t" + gui::QtText(sc);
  a->setText(text);
  a->setEnabled(d->enabled);
  a->setVisible(d->visible);
  a->setCheckable(d->checked || d->autoCheck || d->radioItem);
  a->setChecked(d->checked);
  QFont f = a->font();
  f.setBold(d->isDefault);
  a->setFont(f);
  a->setStatusTip(gui::QtText(d->hint));
  a->setIcon(ItemIcon(item));
}

// Rebuilds the list of actions shown for the sub-items of item.
void RebuildChildren(TMenuItem* item) {
  TMenuItemPrivate* d = item->Private();
  QWidget* host = nullptr;
  if (d->menu) {
    TMenuPrivate* md = d->menu->Private();
    host = md->bar ? static_cast<QWidget*>(md->bar.data()) : static_cast<QWidget*>(md->popup.data());
  } else if (!d->items.empty()) {
    if (!d->submenu) {
      d->submenu = new QMenu();
      d->submenu->setStyle(MenuStyle());
      QMenu* m = d->submenu;
      // An item that opens its sub-items is clicked first, so its handler can set them up.
      QObject::connect(m, &QMenu::aboutToShow, m, [m, item] {
        if (item->OnClick) item->OnClick(item);
        Remeasure(m);
      });
    }
    host = d->submenu;
    if (d->action) d->action->setMenu(d->submenu);
  } else if (d->submenu) {
    if (d->action) d->action->setMenu(nullptr);
    gui::DeleteSafely(d->submenu);
  }
  if (!host) return;
  for (QAction* a : host->actions()) host->removeAction(a);
  for (TMenuItem* child : d->items)
    if (QAction* a = child->Private()->action) host->addAction(a);
}

void UpdateBarVisibility(TMenu* menu) {
  TMenuPrivate* md = menu->Private();
  if (!md->bar) return;
  bool any = false;
  for (TMenuItem* top : md->root->Private()->items)
    if (top->Visible()) any = true;
  bool changed = md->bar->isHidden() == any;
  md->bar->setVisible(any && md->form);
  if (changed && md->form) md->form->LayoutWindow();
}

}  // namespace

// ===========================================================================
// TMenuItem
// ===========================================================================
TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), d_(std::make_unique<TMenuItemPrivate>()) {
  EnsureQtApplication();
  d_->action = new QAction();
  d_->action->setData(QVariant::fromValue(quintptr(this)));
  QObject::connect(d_->action, &QAction::triggered, d_->action, [this](bool) {
    gui::SafeCall(this, [this] { Click(); });
    if (d_ && d_->action) d_->action->setChecked(d_->checked);
  });
  UpdateAction(this);
}

TMenuItem::~TMenuItem() {
  d_->destroying = true;
  if (d_->parent) d_->parent->Remove(this);
  while (!d_->items.empty()) {
    TMenuItem* child = d_->items.back();
    d_->items.pop_back();
    child->d_->parent = nullptr;
    delete child;
  }
  gui::DeleteSafely(d_->submenu);
  gui::DeleteSafely(d_->action);
}

std::string TMenuItem::Caption() const { return d_->caption; }
void TMenuItem::SetCaption(const std::string& caption) {
  if (caption == d_->caption) return;
  d_->caption = caption;
  UpdateAction(this);
  changed(false);
}
bool TMenuItem::Checked() const { return d_->checked; }
void TMenuItem::SetChecked(bool v) {
  if (v == d_->checked) return;
  d_->checked = v;
  // A checked radio item unchecks the others of its group.
  if (v && d_->radioItem && d_->parent)
    for (TMenuItem* sibling : d_->parent->d_->items)
      if (sibling != this && sibling->d_->radioItem && sibling->d_->groupIndex == d_->groupIndex &&
          sibling->d_->checked) {
        sibling->d_->checked = false;
        UpdateAction(sibling);
      }
  UpdateAction(this);
  changed(false);
}
bool TMenuItem::Enabled() const { return d_->enabled; }
void TMenuItem::SetEnabled(bool v) {
  if (v == d_->enabled) return;
  d_->enabled = v;
  UpdateAction(this);
  changed(false);
}
bool TMenuItem::Visible() const { return d_->visible; }
void TMenuItem::SetVisible(bool v) {
  if (v == d_->visible) return;
  d_->visible = v;
  UpdateAction(this);
  changed(false);
  if (d_->parent && d_->parent->d_->menu) UpdateBarVisibility(d_->parent->d_->menu);
}
bool TMenuItem::Default() const { return d_->isDefault; }
void TMenuItem::SetDefault(bool v) {
  d_->isDefault = v;
  UpdateAction(this);
}
TShortCut TMenuItem::ShortCut() const { return d_->shortCut; }
void TMenuItem::SetShortCut(TShortCut shortCut) {
  d_->shortCut = shortCut;
  UpdateAction(this);
  changed(false);
}
bool TMenuItem::AutoCheck() const { return d_->autoCheck; }
void TMenuItem::SetAutoCheck(bool v) {
  d_->autoCheck = v;
  UpdateAction(this);
}
bool TMenuItem::RadioItem() const { return d_->radioItem; }
void TMenuItem::SetRadioItem(bool v) {
  d_->radioItem = v;
  UpdateAction(this);
}
uint8_t TMenuItem::GroupIndex() const { return d_->groupIndex; }
void TMenuItem::SetGroupIndex(uint8_t v) { d_->groupIndex = v; }
std::string TMenuItem::Hint() const { return d_->hint; }
void TMenuItem::SetHint(const std::string& hint) {
  d_->hint = hint;
  UpdateAction(this);
}
int TMenuItem::ImageIndex() const { return d_->imageIndex; }
void TMenuItem::SetImageIndex(int index) {
  d_->imageIndex = index;
  UpdateAction(this);
  changed(false);
}
TBitmap* TMenuItem::Bitmap() {
  if (!d_->bitmap) d_->bitmap = std::make_unique<TBitmap>();
  return d_->bitmap.get();
}
void TMenuItem::SetBitmap(const TBitmap* bitmap) {
  if (bitmap)
    Bitmap()->Assign(const_cast<TBitmap*>(bitmap));
  else
    d_->bitmap.reset();
  UpdateAction(this);
}

int TMenuItem::Count() const { return int(d_->items.size()); }
TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= int(d_->items.size()))
    throw EMenuError(_("Menu index out of range"));
  return d_->items[size_t(index)];
}
void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }
void TMenuItem::Add(const std::vector<TMenuItem*>& items) {
  for (TMenuItem* i : items) Add(i);
}
void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item) return;
  if (item->d_->parent) throw EMenuError(_("Menu inserted twice"));
  if (index < 0 || index > Count()) throw EMenuError(_("Menu index out of range"));
  d_->items.insert(d_->items.begin() + index, item);
  item->d_->parent = this;
  RebuildChildren(this);
  changed(true);
  if (d_->menu) UpdateBarVisibility(d_->menu);
}
void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(d_->items.begin(), d_->items.end(), item);
  if (it == d_->items.end()) return;
  d_->items.erase(it);
  item->d_->parent = nullptr;
  if (d_->destroying) return;
  RebuildChildren(this);
  changed(true);
  if (d_->menu) UpdateBarVisibility(d_->menu);
}
void TMenuItem::Delete(int index) { delete Items(index); }
void TMenuItem::Clear() {
  while (!d_->items.empty()) delete d_->items.back();
}
int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(d_->items.begin(), d_->items.end(), item);
  return it == d_->items.end() ? -1 : int(it - d_->items.begin());
}
TMenuItem* TMenuItem::Find(const std::string& caption) const {
  std::string want = StripHotkey(caption);
  for (TMenuItem* i : d_->items)
    if (strcasecmp(StripHotkey(i->d_->caption).c_str(), want.c_str()) == 0) return i;
  return nullptr;
}
TMenuItem* TMenuItem::Parent() const { return d_->parent; }
int TMenuItem::MenuIndex() const { return d_->parent ? d_->parent->IndexOf(this) : -1; }
void TMenuItem::SetMenuIndex(int index) {
  TMenuItem* p = d_->parent;
  if (!p) return;
  p->Remove(this);
  p->Insert(std::clamp(index, 0, p->Count()), this);
}
TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* i = this;
  while (i->d_->parent) i = i->d_->parent;
  return i->d_->menu;
}
void TMenuItem::SetParentMenu(TMenu* menu) { d_->menu = menu; }

void TMenuItem::Click() {
  if (!d_->enabled) return;
  if (d_->autoCheck) SetChecked(!d_->checked);
  if (OnClick) OnClick(this);
}

void TMenuItem::changed(bool rebuild) {
  if (TMenu* m = GetParentMenu()) m->MenuChanged(this, rebuild);
}

// ===========================================================================
// TMenu, TMainMenu, TPopupMenu
// ===========================================================================
TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), d_(std::make_unique<TMenuPrivate>()) {
  EnsureQtApplication();
  d_->root = std::make_unique<TMenuItem>(nullptr);
  d_->root->SetParentMenu(this);
}

TMenu::~TMenu() {
  // The items go with the menu, as in the class library.
  d_->root.reset();
  gui::DeleteSafely(d_->bar);
  gui::DeleteSafely(d_->popup);
}

TMenuItem* TMenu::Items() const { return d_->root.get(); }
TImageList* TMenu::Images() const { return d_->images; }
void TMenu::SetImages(TImageList* images) {
  d_->images = images;
  if (images) images->FreeNotification(this);
  std::vector<TMenuItem*> stack{d_->root.get()};
  while (!stack.empty()) {
    TMenuItem* i = stack.back();
    stack.pop_back();
    UpdateAction(i);
    for (int k = 0; k < i->Count(); ++k) stack.push_back(i->Items(k));
  }
}
bool TMenu::OwnerDraw() const { return d_->ownerDraw; }
void TMenu::SetOwnerDraw(bool v) {
  d_->ownerDraw = v;
  Remeasure(d_->bar);
  Remeasure(d_->popup);
  std::vector<TMenuItem*> stack{d_->root.get()};
  while (!stack.empty()) {
    TMenuItem* i = stack.back();
    stack.pop_back();
    Remeasure(i->Private()->submenu);
    for (int k = 0; k < i->Count(); ++k) stack.push_back(i->Items(k));
  }
}

TMenuItem* TMenu::FindShortCut(TShortCut shortCut) const {
  if (!shortCut) return nullptr;
  std::vector<TMenuItem*> stack;
  for (int k = d_->root->Count() - 1; k >= 0; --k) stack.push_back(d_->root->Items(k));
  while (!stack.empty()) {
    TMenuItem* i = stack.back();
    stack.pop_back();
    if (!i->Enabled()) continue;  // a disabled item or branch does not fire
    if (i->ShortCut() == shortCut && !i->IsLine()) return i;
    for (int k = i->Count() - 1; k >= 0; --k) stack.push_back(i->Items(k));
  }
  return nullptr;
}

bool TMenu::IsShortCut(TShortCut shortCut) {
  TMenuItem* item = FindShortCut(shortCut);
  if (!item) return false;
  gui::SafeCall(item, [item] { item->Click(); });
  return true;
}

void TMenu::MenuChanged(TMenuItem* source, bool rebuild) {
  if (OnChange) gui::SafeCall(this, [&] { OnChange(this, source, rebuild); });
}

// The menu bar exists while the menu is a form's menu (it is a child of the form's window).
TMainMenu::TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}
TMainMenu::~TMainMenu() {
  if (TCustomForm* f = Private()->form) {
    TMenuPrivate* d = Private();
    d->form = nullptr;
    if (f->Menu() == this) f->SetMenu(nullptr);
  }
}
TCustomForm* TMainMenu::Form() const { return Private()->form; }

QMenuBar* gui::MenuBarOf(TMainMenu* menu) { return menu ? menu->Private()->bar.data() : nullptr; }
void gui::SetMenuForm(TMainMenu* menu, TCustomForm* form) {
  if (!menu) return;
  TMenuPrivate* d = menu->Private();
  d->form = form;
  if (!form) {
    gui::DeleteSafely(d->bar);
    return;
  }
  if (!d->bar) {
    d->bar = new QMenuBar(form->Private()->widget);
    d->bar->setStyle(MenuStyle());
    d->bar->setNativeMenuBar(false);
    d->bar->hide();
    RebuildChildren(d->root.get());
  }
  UpdateBarVisibility(menu);
}

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {
  Private()->popup = new QMenu();
  Private()->popup->setStyle(MenuStyle());
  QMenu* m = Private()->popup;
  QObject::connect(m, &QMenu::aboutToShow, m, [m] { Remeasure(m); });
  QObject::connect(Private()->popup, &QMenu::aboutToHide, Private()->popup, [this] {
    if (OnClose) gui::SafeCall(this, [this] { OnClose(this); });
  });
}
TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::Popup(int X, int Y) {
  Private()->popupCancelled = false;
  if (OnPopup) OnPopup(this);
  if (Private()->popupCancelled) return;
  if (ModalResponder::Scripted()) return;  // nothing is shown under test; items are clicked directly
  QMenu* m = Private()->popup;
  if (!m) return;
  QPoint p(X, Y);
  if (Private()->alignment == paRight)
    p.rx() -= m->sizeHint().width();
  else if (Private()->alignment == paCenter)
    p.rx() -= m->sizeHint().width() / 2;
  m->popup(p);
}
void TPopupMenu::CancelPopup() { Private()->popupCancelled = true; }
bool TPopupMenu::AutoPopup() const { return Private()->autoPopup; }
void TPopupMenu::SetAutoPopup(bool v) { Private()->autoPopup = v; }
TComponent* TPopupMenu::PopupComponent() const { return Private()->popupComponent; }
void TPopupMenu::SetPopupComponent(TComponent* c) { Private()->popupComponent = c; }
TPopupAlignment TPopupMenu::Alignment() const { return Private()->alignment; }
void TPopupMenu::SetAlignment(TPopupAlignment a) { Private()->alignment = a; }

std::string StripHotkey(const std::string& caption) {
  std::string out;
  out.reserve(caption.size());
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += caption[i];
  }
  return out;
}

TMenuItem* NewItem(const std::string& caption, TShortCut shortCut, bool checked, bool enabled, TNotifyEvent onClick,
                   const std::string& name) {
  auto* item = new TMenuItem(nullptr);
  item->SetName(name);
  item->SetCaption(caption);
  item->SetShortCut(shortCut);
  item->SetChecked(checked);
  item->SetEnabled(enabled);
  item->OnClick = std::move(onClick);
  return item;
}

TMenuItem* NewLine() {
  auto* item = new TMenuItem(nullptr);
  item->SetCaption("-");
  return item;
}

void gui::RemeasureMenu(QWidget* menu) { Remeasure(menu); }

QWidget* gui::MenuWidgetOf(TMenuItem* item, QAction** action) {
  TMenuItem* parent = item ? item->Parent() : nullptr;
  if (!parent) return nullptr;
  if (action) *action = item->Private()->action;
  TMenuItemPrivate* pd = parent->Private();
  if (pd->menu) {
    TMenuPrivate* md = pd->menu->Private();
    return md->bar ? static_cast<QWidget*>(md->bar.data()) : static_cast<QWidget*>(md->popup.data());
  }
  return pd->submenu;
}
