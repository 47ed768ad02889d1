#include "platform/services/HelpWindow.h"

#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <cstdint>

#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr qint64 kMaxResourceBytes = qint64(1) << 20;

// Reads the pages, style sheets and pictures of the help folder, and nothing else.
class HelpBrowser : public HostScrollArea<QTextBrowser> {
 public:
  explicit HelpBrowser(TControl* control) : HostScrollArea<QTextBrowser>(control) {}
  QString root;  // the help folder's real path with a trailing '/'
  QUrl shown;    // the page shown

 protected:
  QVariant loadResource(int type, const QUrl& name) override {
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (!url.isLocalFile() || root.isEmpty()) return QVariant();
    const QFileInfo info(url.toLocalFile());
    const QString path = info.canonicalFilePath();
    if (!path.startsWith(root) || !info.isFile() || info.size() > kMaxResourceBytes) return QVariant();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QVariant();
    const QByteArray bytes = file.read(kMaxResourceBytes);
    if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource)
      return QString::fromUtf8(bytes);
    return bytes;
  }
};

HelpBrowser* BrowserOf(const THtmlView* view) { return dynamic_cast<HelpBrowser*>(view->Private()->widget.data()); }

void MakeHtmlViewWidget(TControl* control) {
  auto* w = new HelpBrowser(control);
  gui::AttachWidget(control, w, w->viewport());
  w->setOpenLinks(true);
  w->setOpenExternalLinks(false);
  // The page's address as the signal gives it: the browser takes it over only afterwards.
  QObject::connect(w, &QTextBrowser::sourceChanged, w, [control, w](const QUrl& url) {
    w->shown = url;
    if (!w->control()) return;
    auto* view = static_cast<THtmlView*>(control);
    if (view->OnPageChange) gui::SafeCall(view, [view] { view->OnPageChange(view); });
  });
}

template <class T>
T* Place(TForm* form, TWinControl* parent, const char* name, TAlign align, int size) {
  T* control = new T(form);
  control->SetName(name);
  control->SetParent(parent);
  if (align == alTop) control->SetBounds(0, 0, parent->ClientWidth(), size);
  if (align == alLeft) control->SetBounds(0, 0, size, parent->ClientHeight());
  control->SetAlign(align);
  return control;
}

TButton* NewButton(TForm* form, TWinControl* parent, const char* name, const std::string& caption, int left) {
  auto* button = new TButton(form);
  button->SetName(name);
  button->SetParent(parent);
  button->SetBounds(left, 4, 96, 27);
  button->SetCaption(caption);
  return button;
}

std::string Folded(const std::string& text) { return QString::fromStdString(text).toCaseFolded().toStdString(); }

THtmlHelpForm* g_helpForm = nullptr;

}  // namespace

// ===========================================================================
// THtmlView
// ===========================================================================
THtmlView::THtmlView(TComponent* AOwner) : TWinControl(AOwner, &MakeHtmlViewWidget) {
  Private()->nativePressFirst = true;
  SetBounds(0, 0, 400, 300);
}

THtmlView::~THtmlView() { DetachEvents(); }

void THtmlView::SetRoot(const std::string& folder) {
  const QString real = QFileInfo(QString::fromStdString(folder)).canonicalFilePath();
  if (HelpBrowser* b = BrowserOf(this)) b->root = real.isEmpty() ? QString() : real + '/';
}

void THtmlView::Open(const std::string& file, const std::string& anchor) {
  HelpBrowser* b = BrowserOf(this);
  if (!b) return;
  QUrl url = QUrl::fromLocalFile(QString::fromStdString(file));
  if (!anchor.empty()) url.setFragment(QString::fromStdString(anchor));
  b->setSource(url);
}

std::string THtmlView::File() const {
  HelpBrowser* b = BrowserOf(this);
  return b ? b->shown.toLocalFile().toStdString() : std::string();
}

std::string THtmlView::Anchor() const {
  HelpBrowser* b = BrowserOf(this);
  return b ? b->shown.fragment().toStdString() : std::string();
}

std::string THtmlView::Title() const {
  HelpBrowser* b = BrowserOf(this);
  return b ? b->documentTitle().trimmed().toStdString() : std::string();
}

std::string THtmlView::Text() const {
  HelpBrowser* b = BrowserOf(this);
  return b ? b->toPlainText().toStdString() : std::string();
}

bool THtmlView::CanGoBack() const {
  HelpBrowser* b = BrowserOf(this);
  return b && b->isBackwardAvailable();
}

bool THtmlView::CanGoForward() const {
  HelpBrowser* b = BrowserOf(this);
  return b && b->isForwardAvailable();
}

void THtmlView::GoBack() {
  if (HelpBrowser* b = BrowserOf(this)) b->backward();
}

void THtmlView::GoForward() {
  if (HelpBrowser* b = BrowserOf(this)) b->forward();
}

// ===========================================================================
// THtmlHelpForm
// ===========================================================================
THtmlHelpForm::THtmlHelpForm(TComponent* AOwner) : TForm(AOwner) {
  g_helpForm = this;
  SetName("HtmlHelpForm");
  SetCaption(_("Help"));
  // In front of the program's windows, also of those that stay on top.
  SetFormStyle(fsStayOnTop);
  SetPosition(poScreenCenter);
  SetKeyPreview(true);
  SetClientWidth(900);
  SetClientHeight(620);

  PanelButtons = Place<TPanel>(this, this, "PanelButtons", alTop, 35);
  PanelButtons->SetCaption("");
  ButtonBack = NewButton(this, PanelButtons, "ButtonBack", _("Back"), 4);
  ButtonForward = NewButton(this, PanelButtons, "ButtonForward", _("Forward"), 104);
  ButtonContents = NewButton(this, PanelButtons, "ButtonContents", _("Contents"), 204);
  ButtonClose = NewButton(this, PanelButtons, "ButtonClose", _("Close"), 304);
  PageControl1 = Place<TPageControl>(this, this, "PageControl1", alLeft, 250);
  TabContents = new TTabSheet(this);
  TabContents->SetName("TabContents");
  TabContents->SetPageControl(PageControl1);
  TabContents->SetCaption(_("Contents"));
  TabIndex = new TTabSheet(this);
  TabIndex->SetName("TabIndex");
  TabIndex->SetPageControl(PageControl1);
  TabIndex->SetCaption(_("Index"));
  TreeContents = Place<TTreeView>(this, TabContents, "TreeContents", alClient, 0);
  TreeContents->SetReadOnly(true);
  TreeContents->SetHideSelection(false);
  auto* label = Place<TLabel>(this, TabIndex, "LabelKeyword", alTop, 20);
  label->SetCaption(_("Type the keyword to find:"));
  EditKeyword = Place<TEdit>(this, TabIndex, "EditKeyword", alTop, 24);
  EditKeyword->SetTop(20);
  ListIndex = Place<TListBox>(this, TabIndex, "ListIndex", alClient, 0);
  View = Place<THtmlView>(this, this, "View", alClient, 0);
  PageControl1->SetActivePage(TabContents);

  ButtonBack->OnClick = [this](TObject*) { View->GoBack(); };
  ButtonForward->OnClick = [this](TObject*) { View->GoForward(); };
  ButtonContents->OnClick = [this](TObject*) {
    PageControl1->SetActivePage(TabContents);
    ShowPage(kHelpContentsPage);
  };
  ButtonClose->OnClick = [this](TObject*) { Close(); };
  View->OnPageChange = [this](TObject*) { pageChanged(); };
  TreeContents->OnChange = [this](TObject*, TTreeNode* node) {
    const auto index = node ? reinterpret_cast<intptr_t>(node->Data()) - 1 : -1;
    if (!syncing_ && index >= 0 && size_t(index) < contentTargets_.size()) ShowPage(contentTargets_[size_t(index)]);
  };
  // On the index the keyword is typed at once.
  PageControl1->OnChange = [this](TObject*) {
    if (PageControl1->ActivePage() == TabIndex && EditKeyword->CanFocus()) EditKeyword->SetFocus();
  };
  EditKeyword->OnChange = [this](TObject*) { FindKeyword(EditKeyword->Text()); };
  EditKeyword->OnKeyDown = [this](TObject*, uint16_t& Key, TShiftState) {
    if (Key != VK_RETURN) return;
    Key = 0;
    openIndexEntry();
  };
  ListIndex->OnClick = [this](TObject*) { openIndexEntry(); };
  OnKeyDown = [this](TObject*, uint16_t& Key, TShiftState Shift) { keyDown(Key, Shift); };
  pageChanged();
  DoCreate();
}

THtmlHelpForm::~THtmlHelpForm() {
  if (g_helpForm == this) g_helpForm = nullptr;
}

void THtmlHelpForm::SetHelpFolder(const std::string& folder) {
  if (folder == folder_) return;
  folder_ = folder;
  View->SetRoot(folder);
  syncing_ = true;
  TreeContents->Items()->BeginUpdate();
  TreeContents->Items()->Clear();
  contentTargets_.clear();
  std::vector<TTreeNode*> parents;  // the last node of each level
  for (const THelpLink& link : ReadHelpLinks(PathJoin(folder, kHelpContentsPage))) {
    const size_t level = std::min(size_t(link.Level), parents.size());
    parents.resize(level);
    contentTargets_.push_back(link.Target);
    void* data = reinterpret_cast<void*>(intptr_t(contentTargets_.size()));
    TTreeNode* node = level == 0 ? TreeContents->Items()->AddObject(nullptr, link.Text, data)
                                 : TreeContents->Items()->AddChildObject(parents.back(), link.Text, data);
    parents.push_back(node);
  }
  TreeContents->Items()->EndUpdate();
  TreeContents->FullExpand();
  fitContents();
  syncing_ = false;
  ListIndex->Items()->Clear();
  indexTargets_.clear();
  for (const THelpLink& link : ReadHelpLinks(PathJoin(folder, kHelpIndexPage))) {
    ListIndex->Items()->Add(std::string(size_t(std::min(link.Level, 4)) * 4, ' ') + link.Text);
    indexTargets_.push_back(link.Target);
  }
}

void THtmlHelpForm::DoShow() {
  // Once the window is laid out.
  if (QWidget* w = Private()->widget) QTimer::singleShot(0, w, [this] { fitContents(); });
  TForm::DoShow();
}

// The contents pane as wide as its widest entry (at most half the window), so that no
// entry is cut in either language.
void THtmlHelpForm::fitContents() {
  auto* tree = qobject_cast<QTreeView*>(TreeContents->Private()->widget.data());
  if (!tree || !tree->model() || tree->model()->rowCount() == 0 || !tree->isVisible()) return;
  // Around the entries: the pane's and the tree's frames and the tree's scroll bar.
  const int around = PageControl1->Width() - tree->viewport()->width();
  const int wanted = static_cast<QAbstractItemView*>(tree)->sizeHintForColumn(0) + around;
  if (wanted > PageControl1->Width()) PageControl1->SetWidth(std::min(wanted, ClientWidth() / 2));
}

bool THtmlHelpForm::ShowPage(const std::string& page) {
  const size_t hash = page.find('#');
  const std::string path = page.substr(0, hash);
  const std::string anchor = hash == std::string::npos ? std::string() : page.substr(hash + 1);
  std::string folder, checked;
  SplitHtmlHelpTopicName(HtmlHelpTopicName(folder_, path), folder, checked);
  if (path.empty() || checked.empty() || folder_.empty()) return false;
  const std::string file = PathJoin(folder_, checked);
  if (!FileExists(file)) return false;
  View->Open(file, anchor);
  bringUp();
  return true;
}

bool THtmlHelpForm::FindKeyword(const std::string& keyword) {
  const std::string wanted = Folded(Trim(keyword));
  if (wanted.empty()) return false;
  int found = -1;
  for (int pass = 0; pass < 2 && found < 0; ++pass)
    for (int i = 0; i < ListIndex->Count() && found < 0; ++i) {
      const std::string entry = Folded(Trim(ListIndex->Items()->Strings(i)));
      if (pass == 0 ? entry.rfind(wanted, 0) == 0 : entry.find(wanted) != std::string::npos) found = i;
    }
  if (found >= 0) ListIndex->SetItemIndex(found);
  return found >= 0;
}

std::string THtmlHelpForm::SelectedIndexTarget() const {
  const int i = ListIndex->ItemIndex();
  return i >= 0 && size_t(i) < indexTargets_.size() ? indexTargets_[size_t(i)] : std::string();
}

void THtmlHelpForm::openIndexEntry() {
  const std::string target = SelectedIndexTarget();
  if (!target.empty()) ShowPage(target);
}

void THtmlHelpForm::bringUp() {
  // While a window runs modally only the windows in front of it take input: the help then
  // comes up in front of that window (the active one when several run), and stays in front
  // of it whatever comes up and goes meanwhile (a message asked for on the way).
  TCustomForm* modal = nullptr;
  for (int i = 0; Screen && i < Screen->FormCount(); ++i) {
    TCustomForm* form = Screen->Forms(i);
    if (form != this && form->Modal() && (!modal || form == Screen->ActiveForm())) modal = form;
  }
  if (modal != PopupParent()) {
    // A shown window that the window system is told to put in front of another can lose
    // its place and its stay-on-top state: it comes up as a new window instead.
    if (QWidget* w = Private()->widget; w && Visible()) {
      SetVisible(false);
      if (w->windowHandle()) w->windowHandle()->destroy();
    }
    SetPopupParent(modal);
  }
  Show();
}

void THtmlHelpForm::pageChanged() {
  const std::string title = View->Title();
  SetCaption(title.empty() ? _("Help") : _("Help") + " - " + title);
  ButtonBack->SetEnabled(View->CanGoBack());
  ButtonForward->SetEnabled(View->CanGoForward());
  // The contents follow the page: its entry (with the anchor shown, else the page's first).
  const std::string file = View->File();
  const std::string anchor = View->Anchor();
  TTreeNode* match = nullptr;
  for (size_t i = 0; i < contentTargets_.size(); ++i) {
    const std::string& target = contentTargets_[i];
    const size_t hash = target.find('#');
    if (PathJoin(folder_, target.substr(0, hash)) != file) continue;
    const std::string targetAnchor = hash == std::string::npos ? std::string() : target.substr(hash + 1);
    TTreeNode* node = TreeContents->Items()->Item(int(i));
    if (targetAnchor == anchor) {
      match = node;
      break;
    }
    if (!match) match = node;
  }
  if (match && match != TreeContents->Selected()) {
    syncing_ = true;
    TreeContents->SetSelected(match);
    syncing_ = false;
  }
}

void THtmlHelpForm::keyDown(uint16_t& Key, TShiftState Shift) {
  if (Key == VK_ESCAPE) {
    Key = 0;
    Close();
  } else if (Shift.Contains(ssAlt) && !Shift.Contains(ssCtrl) && !Shift.Contains(ssShift) &&
             (Key == VK_LEFT || Key == VK_RIGHT)) {
    if (Key == VK_LEFT) View->GoBack();
    else View->GoForward();
    Key = 0;
  }
}

THtmlHelpForm* HtmlHelpForm(bool create) {
  if (!g_helpForm && create && Application) new THtmlHelpForm(Application);
  return g_helpForm;
}
