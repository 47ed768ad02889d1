// Message dialogs, input queries, the folder browser and the common dialogs. Every one
// goes through the modal responder: under test it answers from the script, in a real
// run the dialog is shown.
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTextLayout>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/QtApplication.h"
#include "platform/graphics/CanvasQt.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/PrintersInternal.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

namespace {

struct ButtonInfo {
  const char* name;
  const char* caption;
  TModalResult result;
};
// In the order of TMsgDlgBtn.
constexpr ButtonInfo kButtons[] = {
    {"Yes", "&Yes", mrYes},         {"No", "&No", mrNo},
    {"OK", "OK", mrOk},             {"Cancel", "Cancel", mrCancel},
    {"Abort", "&Abort", mrAbort},   {"Retry", "&Retry", mrRetry},
    {"Ignore", "&Ignore", mrIgnore}, {"All", "&All", mrAll},
    {"NoToAll", "N&o to All", mrNoToAll}, {"YesToAll", "Yes to &All", mrYesToAll},
    {"Help", "&Help", mrNone},
};

QStyle::StandardPixmap IconOf(TMsgDlgType type) {
  switch (type) {
    case mtWarning: return QStyle::SP_MessageBoxWarning;
    case mtError: return QStyle::SP_MessageBoxCritical;
    case mtInformation: return QStyle::SP_MessageBoxInformation;
    case mtConfirmation: return QStyle::SP_MessageBoxQuestion;
    default: return QStyle::SP_CustomBase;
  }
}

// Converts CR LF and lone CR to LF, as message texts come with any of them.
std::string NormalizeLineBreaks(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      out += '\n';
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

int ShowScriptedOrForm(TForm* form) { return form->ShowModal(); }

// The room of a message box: its margins, icon and buttons around the text.
constexpr int kMargin = 12, kIconSize = 32, kIconGap = 12, kButtonW = 75, kButtonH = 25, kButtonGap = 8;

// A message as it fits the work area, in the message box's font.
struct FittedMessage {
  std::string text;  // the message's lines that show, and what says how many more there are
  QString shown;     // the same, each line broken where it is wider than the room
  int width = 0;     // of its widest line
};

// Breaks each line of the text where it is wider than `width` (between words, or within a
// word longer than that), and leaves out the lines that `height` has no room for: the
// last line then says how many lines of the message were left out. Such a list of files
// of a batch thus keeps its buttons on the screen.
FittedMessage FitMessage(const std::string& text, int width, int height) {
  EnsureQtApplication();
  const QFont font = ToQFont(TFont());
  const QFontMetrics metrics(font);
  const int room = std::max(1, height / std::max(1, metrics.lineSpacing()));
  QTextOption wrap;
  wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  // The rows of a line of the message as shown.
  auto rows = [&](const QString& line) {
    QStringList out;
    QTextLayout layout(line, font);
    layout.setTextOption(wrap);
    layout.beginLayout();
    for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
      row.setLineWidth(width);
      // The blank where a line was broken stays behind at the end of its row.
      QString text = line.mid(row.textStart(), row.textLength());
      while (text.endsWith(QLatin1Char(' '))) text.chop(1);
      out << text;
    }
    layout.endLayout();
    if (out.isEmpty()) out << QString();
    return out;
  };
  // The lines keep their bytes (a name that is no UTF-8); only their rows are measured.
  std::vector<std::string> lines;
  for (size_t start = 0;;) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  QStringList shown;
  std::vector<int> heights;  // rows of each line taken
  for (const std::string& line : lines) {
    const QStringList more = rows(gui::QtText(line));
    if (shown.size() + more.size() > room) break;
    shown << more;
    heights.push_back(int(more.size()));
  }
  FittedMessage fitted{text, QString(), 0};
  if (heights.size() < lines.size()) {
    // A line for the count: the last lines taken give way to it where the room is full.
    while (!heights.empty() && shown.size() + 1 > room) {
      shown = shown.mid(0, shown.size() - heights.back());
      heights.pop_back();
    }
    const int left = int(lines.size() - heights.size());
    const std::string count = Format(_n("... and %d more", "... and %d more", unsigned(left)), {left});
    fitted.text.clear();
    for (size_t i = 0; i < heights.size(); ++i) fitted.text += lines[i] + "\n";
    fitted.text += count;
    shown << gui::QtText(count);
  }
  fitted.shown = shown.join(QLatin1Char('\n'));
  for (const QString& row : shown) fitted.width = std::max(fitted.width, metrics.horizontalAdvance(row));
  return fitted;
}

// The height a message box has for its text on the work area, with the frame given. A frame
// not known yet (no framed window to go by) is taken as a title bar of 40 pixels.
int MessageRoom(int frameHeight) {
  const TRect area = Screen->WorkAreaRect();
  if (frameHeight == 0 && !ModalResponder::Scripted()) frameHeight = 40;
  return area.Height() - frameHeight - (4 * kMargin + kButtonH) - 2;
}

// The widest a message's lines may be.
int MessageWidth() { return std::max(200, ModalResponder::ScreenSize().cx / 2); }

// Return in a file dialog's name box presses its Open or Save button, and so does nothing
// while that button is disabled (a name typed for no file where one must exist): the
// toolkit's dialog would take the name all the same and then warn about it.
class ReturnPressesAcceptButton : public QObject {
 public:
  explicit ReturnPressesAcceptButton(QFileDialog* dialog) : QObject(dialog), dialog_(dialog) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    auto* box = dialog_->findChild<QDialogButtonBox*>();
    QPushButton* accept = box ? box->button(dialog_->acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                                              : QDialogButtonBox::Open)
                              : nullptr;
    return (key == Qt::Key_Return || key == Qt::Key_Enter) && accept && !accept->isEnabled();
  }

 private:
  QFileDialog* dialog_;
};

// The list of a file dialog in the program's own formats and words, as its other windows
// show files: sizes in Bytes, KB, MB or GB with the separators of the interface language,
// dates as the language writes them, and the type of folders and drives in that language
// where the toolkit's catalogue has no word for them. Rows and their order stay the
// toolkit's: sorting is left to the file system model.
class ProgramFormats : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, const int role) const override {
    auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || !index.isValid()) return QIdentityProxyModel::data(index, role);
    const QModelIndex source = mapToSource(index);
    switch (index.column()) {
      case 1:
        if (!files->isDir(source)) return gui::QtText(ByteSizeText(files->size(source)));
        break;
      case 2: {
        // The toolkit's untranslated words for them.
        const QString type = files->type(source);
        if (type == QLatin1String("Folder")) return gui::QtText(_("Folder"));
        if (type == QLatin1String("Drive")) return gui::QtText(_("Drive"));
        return type;
      }
      case 3: {
        const QDateTime modified = files->lastModified(source);
        if (modified.isValid()) return gui::QtText(DateTimeToStr(UnixToLocalDateTime(modified.toSecsSinceEpoch())));
        break;
      }
      default:
        break;
    }
    return QIdentityProxyModel::data(index, role);
  }
};

// A file dialog offers no command that removes or renames a file: the program never
// removes a file for good, and a file renamed or moved behind its back would leave its
// lists pointing at nothing. The toolkit's Delete and Rename entries leave the list's menu,
// Delete and F2 do nothing in the list, and nothing dropped on the list is moved into its
// folders. New Folder stays, and names its new folder in place as before.
void WithoutDeleteAndRename(QFileDialog& dialog) {
  const QString deleteText = QFileDialog::tr("&Delete"), renameText = QFileDialog::tr("&Rename");
  for (QAction* action : dialog.findChildren<QAction*>()) {
    const QString name = action->objectName();
    if (name == QLatin1String("qt_delete_action") || name == QLatin1String("qt_rename_action") ||
        action->text() == deleteText || action->text() == renameText) {
      action->setVisible(false);
      action->setEnabled(false);
    }
  }
  const QList<QKeySequence> deleteKeys = QKeySequence::keyBindings(QKeySequence::Delete);
  for (QShortcut* shortcut : dialog.findChildren<QShortcut*>())
    if (deleteKeys.contains(shortcut->key()) || shortcut->key() == QKeySequence(Qt::Key_F2)) shortcut->setEnabled(false);
  for (QAbstractItemView* view : dialog.findChildren<QAbstractItemView*>()) {
    if (view->model() != dialog.proxyModel()) continue;  // the places beside the list keep theirs
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setDragDropMode(QAbstractItemView::DragOnly);
  }
}

std::string NativeFileName(const std::string& path) {
  // Paths from the toolkit are already '/'-separated; drop a trailing '/' of folders.
  if (path.size() > 1 && path.back() == '/') return path.substr(0, path.size() - 1);
  return path;
}

}  // namespace

std::string MessageDialogCaption(TMsgDlgType DlgType) {
  switch (DlgType) {
    case mtWarning: return _("Warning");
    case mtError: return _("Error");
    case mtInformation: return _("Information");
    case mtConfirmation: return _("Confirm");
    default: return Application ? Application->Title() : std::string();
  }
}

namespace {

// The message dialog with its window title.
TForm* MessageDialogWithCaption(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                                const std::string& caption) {
  EnsureQtApplication();
  auto* form = new TForm(Application);
  const std::string text = NormalizeLineBreaks(Msg);
  form->SetBorderStyle(bsDialog);
  form->SetPosition(poScreenCenter);
  form->SetCaption(caption);

  int textLeft = kMargin;
  if (IconOf(DlgType) != QStyle::SP_CustomBase) {
    auto* image = new TImage(form);
    image->SetName("Image");
    image->SetParent(form);
    image->SetBounds(kMargin, kMargin, kIconSize, kIconSize);
    QPixmap pm = QApplication::style()->standardIcon(IconOf(DlgType)).pixmap(kIconSize, kIconSize);
    QImageToBitmap(pm.toImage(), *image->Picture()->Bitmap());
    textLeft = kMargin + kIconSize + kIconGap;
  }
  // The text is broken into lines by the box itself, and as long as the work area is high.
  const FittedMessage fitted = FitMessage(text, MessageWidth(), MessageRoom(form->FrameExtra().cy));
  form->SetMessageDialogInfo(fitted.text, int(DlgType), Buttons.Bits());
  auto* label = new TLabel(form);
  label->SetName("Message");
  label->SetParent(form);
  label->SetShowAccelChar(false);
  const QRect tr = QFontMetrics(ToQFont(*label->Font())).boundingRect(QRect(0, 0, 100000, 100000), 0, fitted.shown);
  const int textWidth = std::max(fitted.width, tr.width());
  label->SetBounds(textLeft, kMargin, textWidth + 2, tr.height() + 2);
  label->SetCaption(gui::StdText(fitted.shown));

  int count = 0;
  for (int b = 0; b <= int(mbHelp); ++b)
    if (Buttons.Contains(TMsgDlgBtn(b))) ++count;
  const int buttonsWidth = count * kButtonW + std::max(0, count - 1) * kButtonGap;
  // Wide enough for the text, the buttons and the title the window manager shows.
  TSize title, room;
  form->TextRoom(title, room);
  const int clientW = std::max({textLeft + textWidth + kMargin, buttonsWidth + 2 * kMargin,
                                title.cx - (room.cx - form->ClientWidth())});
  const int textBottom = kMargin + std::max(IconOf(DlgType) != QStyle::SP_CustomBase ? kIconSize : 0, tr.height());
  const int buttonTop = textBottom + 2 * kMargin;
  form->SetClientWidth(clientW);
  form->SetClientHeight(buttonTop + kButtonH + kMargin);

  TMsgDlgBtn defaultButton = Buttons.Contains(mbOK) ? mbOK : Buttons.Contains(mbYes) ? mbYes : mbRetry;
  TMsgDlgBtn cancelButton = Buttons.Contains(mbCancel) ? mbCancel : Buttons.Contains(mbNo) ? mbNo : mbOK;
  int x = (clientW - buttonsWidth) / 2;
  for (int b = 0; b <= int(mbHelp); ++b) {
    if (!Buttons.Contains(TMsgDlgBtn(b))) continue;
    auto* button = new TButton(form);
    button->SetName(kButtons[b].name);
    button->SetParent(form);
    button->SetCaption(_(kButtons[b].caption));
    button->SetModalResult(kButtons[b].result);
    button->SetBounds(x, buttonTop, kButtonW, kButtonH);
    if (TMsgDlgBtn(b) == defaultButton) {
      button->SetDefault(true);
      form->SetActiveControl(button);
    }
    if (TMsgDlgBtn(b) == cancelButton) button->SetCancel(true);
    x += kButtonW + kButtonGap;
  }
  return form;
}

}  // namespace

TForm* CreateMessageDialog(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
  return MessageDialogWithCaption(Msg, DlgType, Buttons, MessageDialogCaption(DlgType));
}

TForm* CreateMessageDialog(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                           const std::string& Caption) {
  return MessageDialogWithCaption(Msg, DlgType, Buttons, Caption);
}

int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx) {
  return MessageDlgPos(Msg, DlgType, Buttons, HelpCtx, -1, -1);
}

int MessageDlgPos(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int, int X, int Y) {
  std::unique_ptr<TForm> form(CreateMessageDialog(Msg, DlgType, Buttons));
  if (X >= 0) {
    form->SetPosition(poDesigned);
    form->SetLeft(X);
  }
  if (Y >= 0) {
    form->SetPosition(poDesigned);
    form->SetTop(Y);
  }
  return ShowScriptedOrForm(form.get());
}

void ShowMessage(const std::string& Msg) { ShowMessagePos(Msg, -1, -1); }

void ShowMessagePos(const std::string& Msg, int X, int Y) {
  if (ModalResponder::Scripted()) {
    ModalRequest request;
    request.kind = ModalKind::ShowMessage;
    request.caption = Application ? Application->Title() : std::string();
    // What the message box would show.
    request.text = FitMessage(NormalizeLineBreaks(Msg), MessageWidth(), MessageRoom(0)).text;
    request.dlgType = mtCustom;
    request.buttons = TMsgDlgButtons{mbOK};
    int result = 0;
    ModalResponder::Answer(request, result);
    return;
  }
  MessageDlgPos(Msg, mtCustom, {mbOK}, 0, X, Y);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, int flags) {
  TMsgDlgButtons buttons;
  switch (flags & 0xF) {
    case MB_OKCANCEL: buttons = {mbOK, mbCancel}; break;
    case MB_ABORTRETRYIGNORE: buttons = {mbAbort, mbRetry, mbIgnore}; break;
    case MB_YESNOCANCEL: buttons = {mbYes, mbNo, mbCancel}; break;
    case MB_YESNO: buttons = {mbYes, mbNo}; break;
    case MB_RETRYCANCEL: buttons = {mbRetry, mbCancel}; break;
    default: buttons = {mbOK}; break;
  }
  TMsgDlgType type = mtCustom;
  switch (flags & 0xF0) {
    case MB_ICONHAND: type = mtError; break;
    case MB_ICONQUESTION: type = mtConfirmation; break;
    case MB_ICONEXCLAMATION: type = mtWarning; break;
    case MB_ICONASTERISK: type = mtInformation; break;
    default: break;
  }
  std::unique_ptr<TForm> form(MessageDialogWithCaption(text, type, buttons, caption));
  return form->ShowModal();
}

bool InputQuery(const std::string& ACaption, const std::string& APrompt, std::string& Value) {
  if (ModalResponder::Scripted()) {
    ModalRequest request;
    request.kind = ModalKind::InputQuery;
    request.caption = ACaption;
    request.text = APrompt;
    request.buttons = TMsgDlgButtons{mbOK, mbCancel};
    std::string answer = Value;
    request.value = &answer;
    int result = 0;
    ModalResponder::Answer(request, result);
    if (result == 0 || result == mrCancel) return false;
    Value = answer;
    return true;
  }
  auto form = std::make_unique<TForm>(Application);
  form->SetBorderStyle(bsDialog);
  form->SetPosition(poScreenCenter);
  form->SetCaption(ACaption);
  form->SetClientWidth(280);
  form->SetClientHeight(100);
  auto* label = new TLabel(form.get());
  label->SetParent(form.get());
  label->SetBounds(12, 10, 256, 16);
  label->SetCaption(APrompt);
  auto* edit = new TEdit(form.get());
  edit->SetParent(form.get());
  edit->SetBounds(12, 30, 256, 21);
  edit->SetText(Value);
  edit->SelectAll();
  auto* ok = new TButton(form.get());
  ok->SetParent(form.get());
  ok->SetCaption(_("OK"));
  ok->SetModalResult(mrOk);
  ok->SetDefault(true);
  ok->SetBounds(110, 64, 75, 25);
  auto* cancel = new TButton(form.get());
  cancel->SetParent(form.get());
  cancel->SetCaption(_("Cancel"));
  cancel->SetModalResult(mrCancel);
  cancel->SetCancel(true);
  cancel->SetBounds(193, 64, 75, 25);
  form->SetActiveControl(edit);
  if (form->ShowModal() != mrOk) return false;
  Value = edit->Text();
  return true;
}

std::string InputBox(const std::string& ACaption, const std::string& APrompt, const std::string& Default) {
  std::string value = Default;
  return InputQuery(ACaption, APrompt, value) ? value : Default;
}

bool SelectDirectory(const std::string& Caption, const std::string& Root, std::string& Directory) {
  if (ModalResponder::Scripted()) {
    ModalRequest request;
    request.kind = ModalKind::SelectDirectory;
    request.caption = Caption;
    request.text = Root;
    std::string answer = Directory;
    request.value = &answer;
    int result = 0;
    ModalResponder::Answer(request, result);
    if (result == 0 || result == mrCancel) return false;
    Directory = NativeFileName(answer);
    return true;
  }
  EnsureQtApplication();
  QFileDialog dlg(nullptr, gui::QtText(Caption));
  gui::PrepareFileDialog(dlg);
  dlg.setDirectory(gui::QtText(Directory.empty() ? Root : Directory));
  dlg.setFileMode(QFileDialog::Directory);
  dlg.setOption(QFileDialog::ShowDirsOnly, true);
  gui::InFrontOfAskingWindow(&dlg);
  if (gui::RunDialog(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
  Directory = NativeFileName(gui::StdText(dlg.selectedFiles().first()));
  return true;
}

void MessageBeep(int) {
  if (QCoreApplication::instance()) QApplication::beep();
}

// ===========================================================================
// Common dialogs
// ===========================================================================
TOpenDialog::TOpenDialog(TComponent* AOwner) : TCommonDialog(AOwner), files_(std::make_unique<TStringList>()) {}
TOpenDialog::~TOpenDialog() = default;

TStrings* TOpenDialog::Files() const { return files_.get(); }

std::vector<std::string> TOpenDialog::ToolkitFilters() const {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= filter_.size()) {
    size_t bar = filter_.find('|', start);
    if (bar == std::string::npos) bar = filter_.size();
    parts.push_back(filter_.substr(start, bar - start));
    start = bar + 1;
  }
  std::vector<std::string> out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string masks;
    size_t p = 0;
    const std::string& m = parts[i + 1];
    while (p <= m.size()) {
      size_t semi = m.find(';', p);
      if (semi == std::string::npos) semi = m.size();
      std::string one = m.substr(p, semi - p);
      while (!one.empty() && one.front() == ' ') one.erase(one.begin());
      while (!one.empty() && one.back() == ' ') one.pop_back();
      if (one == "*.*") one = "*";
      if (!one.empty()) masks += (masks.empty() ? "" : " ") + one;
      p = semi + 1;
    }
    // A description that names its patterns itself ("JPEG Image File (*.jpg)") shows them
    // once: the toolkit's part in brackets takes their place.
    std::string description = parts[i];
    const size_t open = description.rfind('(');
    if (!description.empty() && description.back() == ')' && open != std::string::npos &&
        description.find('*', open) != std::string::npos) {
      description.erase(open);
      while (!description.empty() && description.back() == ' ') description.pop_back();
    }
    out.push_back(description + " (" + masks + ")");
  }
  return out;
}

std::string TOpenDialog::WithDefaultExt(const std::string& name) const {
  if (defaultExt_.empty() || name.empty()) return name;
  size_t slash = name.find_last_of('/');
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  if (base.empty() || base.find('.') != std::string::npos) return name;
  std::string ext = defaultExt_;
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  return name + "." + ext;
}

bool TOpenDialog::Execute() { return ExecuteAs(ModalKind::OpenDialog); }
bool TSaveDialog::Execute() { return ExecuteAs(ModalKind::SaveDialog); }

void gui::PrepareFileDialog(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setProxyModel(new ProgramFormats(&dialog));
  WithoutDeleteAndRename(dialog);
}

int gui::RunDialog(QDialog& dialog) {
  // A program that is ending opens no dialog: nobody would be there to answer it.
  if (Application && Application->Terminated()) return QDialog::Rejected;
  return dialog.exec();
}

void gui::EndToolkitDialogs() {
  if (!QCoreApplication::instance()) return;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible()) dialog->reject();
}

namespace {
// Tells of each mouse press on the object it watches.
class PressWatch : public QObject {
 public:
  PressWatch(QObject* parent, std::function<void()> pressed) : QObject(parent), pressed_(std::move(pressed)) {}

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress) pressed_();
    return false;
  }

 private:
  std::function<void()> pressed_;
};
}  // namespace

void gui::FitFileDialog(QFileDialog& dialog) {
  auto* model = dialog.findChild<QFileSystemModel*>();
  if (!model) return;
  // The columns fit the first folder shown. Its sizes and types come in after the folder is
  // listed (the model asks for them in a thread), so the fit is made again, a moment after
  // each batch of them, only ever wider, until the user sizes a column or goes elsewhere.
  struct Fit {
    QString folder;  // the first folder shown; empty until it is listed
    bool over = false;
  };
  auto fit = std::make_shared<Fit>();
  auto* again = new QTimer(&dialog);
  again->setSingleShot(true);
  again->setInterval(30);
  QFileDialog* d = &dialog;
  QObject::connect(again, &QTimer::timeout, d, [d, model, fit] {
    auto* view = d->findChild<QTreeView*>(QStringLiteral("treeView"));
    if (fit->over || !view || !view->isVisible()) return;
    if (model->rootPath() != fit->folder) {
      fit->over = true;
      return;
    }
    QHeaderView* header = view->header();
    int total = 0;
    for (int i = 0; i < header->count(); ++i) {
      if (header->isSectionHidden(i)) continue;
      const int cells = static_cast<QAbstractItemView*>(view)->sizeHintForColumn(i);
      const int wanted = std::max(header->sectionSizeHint(i), cells);
      if (i > 0 && header->sectionSize(i) < wanted) header->resizeSection(i, wanted);
      total += header->sectionSize(i);
    }
    const int missing = total - view->viewport()->width();
    if (missing <= 0) return;
    // Wider by what the columns miss, as far as the work area allows, and still centred
    // where it stood over the window that asked. Place and size go in one request: the
    // window's own record of its place may still hold the corner of the screen where it
    // was made, and a size given alone would take it there.
    const QRect area = d->screen() ? d->screen()->availableGeometry() : QRect(QPoint(0, 0), d->frameSize());
    const QRect inner = d->geometry(), outer = d->frameGeometry();
    const int sides = outer.width() - inner.width();
    const int width = std::min(inner.width() + missing + 2, area.width() - sides);
    if (width <= inner.width()) return;
    const int first = area.left() + inner.left() - outer.left();
    const int last = std::max(first, area.right() + 1 - width - (outer.right() - inner.right()));
    const int left = std::clamp(inner.left() - (width - inner.width()) / 2, first, last);
    if (QWindow* window = d->windowHandle()) window->setGeometry(left, inner.top(), width, inner.height());
  });
  QObject::connect(model, &QFileSystemModel::directoryLoaded, d, [model, fit, again](const QString& folder) {
    if (!fit->folder.isEmpty() || folder != model->rootPath()) return;
    fit->folder = folder;
    again->start();
  });
  auto more = [fit, again] {
    if (!fit->folder.isEmpty() && !fit->over) again->start();
  };
  QObject::connect(model, &QAbstractItemModel::dataChanged, d, more);
  QObject::connect(model, &QAbstractItemModel::rowsInserted, d, more);
  QObject::connect(model, &QAbstractItemModel::layoutChanged, d, more);
  // Columns the user takes in hand (a press on the header: sizing or sorting) are theirs.
  if (auto* view = d->findChild<QTreeView*>(QStringLiteral("treeView")))
    view->header()->viewport()->installEventFilter(new PressWatch(view->header(), [fit] { fit->over = true; }));
}

bool TOpenDialog::ExecuteAs(ModalKind kind) {
  std::vector<std::string> chosen;
  if (OnShow) OnShow(this);
  if (ModalResponder::Scripted()) {
    ModalRequest request;
    request.kind = kind;
    request.caption = title_;
    request.text = initialDir_;
    request.dialog = this;
    std::string answer = fileName_;
    request.value = &answer;
    request.files = &chosen;
    int result = 0;
    ModalResponder::Answer(request, result);
    if (OnClose) OnClose(this);
    if (result == 0 || result == mrCancel) return false;
    if (chosen.empty()) chosen.push_back(answer);
  } else {
    EnsureQtApplication();
    QFileDialog dlg(nullptr, gui::QtText(title_));
    gui::PrepareFileDialog(dlg);
    gui::InFrontOfAskingWindow(&dlg);
    dlg.setAcceptMode(kind == ModalKind::SaveDialog ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (kind == ModalKind::OpenDialog)
      dlg.setFileMode(options_.Contains(ofAllowMultiSelect) ? QFileDialog::ExistingFiles
                      : options_.Contains(ofFileMustExist)   ? QFileDialog::ExistingFile
                                                             : QFileDialog::AnyFile);
    if (kind == ModalKind::SaveDialog && !options_.Contains(ofOverwritePrompt))
      dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    QStringList filters;
    for (const auto& f : ToolkitFilters()) filters << gui::QtText(f);
    if (!filters.isEmpty()) {
      dlg.setNameFilters(filters);
      if (filterIndex_ >= 1 && filterIndex_ <= filters.size()) dlg.selectNameFilter(filters[filterIndex_ - 1]);
    }
    std::string dir = initialDir_;
    if (dir.empty() && fileName_.find('/') != std::string::npos) dir = fileName_.substr(0, fileName_.rfind('/'));
    if (!dir.empty()) dlg.setDirectory(gui::QtText(dir));
    if (!fileName_.empty()) dlg.selectFile(gui::QtText(fileName_));
    if (!defaultExt_.empty()) dlg.setDefaultSuffix(gui::QtText(defaultExt_));
    gui::FitFileDialog(dlg);
    if (auto* name = dlg.findChild<QLineEdit*>("fileNameEdit")) name->installEventFilter(new ReturnPressesAcceptButton(&dlg));
    bool ok = gui::RunDialog(dlg) == QDialog::Accepted;
    if (OnClose) OnClose(this);
    if (!ok) return false;
    int idx = int(filters.indexOf(dlg.selectedNameFilter()));
    if (idx >= 0) filterIndex_ = idx + 1;
    for (const QString& f : dlg.selectedFiles()) chosen.push_back(gui::StdText(f));
    if (chosen.empty()) return false;
  }
  files_->Clear();
  for (auto& f : chosen) files_->Add(WithDefaultExt(f));
  fileName_ = files_->Strings(0);
  return true;
}

namespace {

// Runs a common dialog: OnShow, then the scripted answer under test or the real dialog,
// then OnClose. prepare fills the request's answer fields.
bool RunCommonDialog(TCommonDialog* dialog, ModalKind kind, const std::function<void(ModalRequest&)>& prepare,
                     const std::function<bool()>& real) {
  if (dialog->OnShow) dialog->OnShow(dialog);
  bool ok;
  if (ModalResponder::Scripted()) {
    ModalRequest request;
    request.kind = kind;
    request.dialog = dialog;
    if (prepare) prepare(request);
    int result = 0;
    ModalResponder::Answer(request, result);
    ok = result != 0 && result != mrCancel;
  } else {
    EnsureQtApplication();
    ok = real();
  }
  if (dialog->OnClose) dialog->OnClose(dialog);
  return ok;
}

}  // namespace

bool TColorDialog::Execute() {
  TColor answer = color_;
  bool ok = RunCommonDialog(
      this, ModalKind::ColorDialog, [&](ModalRequest& r) { r.color = &answer; },
      [&] {
        QColorDialog dlg(ToQColor(color_));
        gui::InFrontOfAskingWindow(&dlg);
        if (gui::RunDialog(dlg) != QDialog::Accepted || !dlg.selectedColor().isValid()) return false;
        answer = FromQColor(dlg.selectedColor());
        return true;
      });
  if (ok) color_ = answer;
  return ok;
}

TFontDialog::TFontDialog(TComponent* AOwner) : TCommonDialog(AOwner), font_(std::make_unique<TFont>()) {}
TFontDialog::~TFontDialog() = default;
void TFontDialog::SetFont(const TFont* font) {
  if (font) font_->Assign(const_cast<TFont*>(font));
}

bool TFontDialog::Execute() {
  return RunCommonDialog(this, ModalKind::FontDialog, nullptr, [this] {
    QFontDialog dlg(ToQFont(*font_));
    gui::InFrontOfAskingWindow(&dlg);
    if (gui::RunDialog(dlg) != QDialog::Accepted) return false;
    const QFont chosen = dlg.selectedFont();
    font_->SetName(gui::StdText(chosen.family()));
    if (chosen.pointSize() > 0) font_->SetSize(chosen.pointSize());
    TFontStyles st = 0;
    if (chosen.bold()) st |= fsBold;
    if (chosen.italic()) st |= fsItalic;
    if (chosen.underline()) st |= fsUnderline;
    if (chosen.strikeOut()) st |= fsStrikeOut;
    font_->SetStyle(st);
    return true;
  });
}

bool TPrintDialog::Execute() {
  return RunCommonDialog(this, ModalKind::PrintDialog, nullptr, [this] {
    QPrintDialog dlg(&SharedQPrinter());
    gui::InFrontOfAskingWindow(&dlg);
    if (gui::RunDialog(dlg) != QDialog::Accepted) return false;
    copies_ = SharedQPrinter().copyCount();
    return true;
  });
}

bool TPrinterSetupDialog::Execute() {
  return RunCommonDialog(this, ModalKind::PrinterSetupDialog, nullptr, [] {
    QPrintDialog dlg(&SharedQPrinter());
    gui::InFrontOfAskingWindow(&dlg);
    return gui::RunDialog(dlg) == QDialog::Accepted;
  });
}
