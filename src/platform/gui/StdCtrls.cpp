// Labels, static texts, edits, memos, buttons, check boxes, radio buttons, combo
// boxes and group boxes. (List boxes are in StdCtrls_ListBox.cpp.)
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QStyle>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <strings.h>

#include "platform/graphics/CanvasQt.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/StdCtrls.h"

namespace {

QColor PaletteColor(TColor c) { return ToQColor(c); }

void SetBackground(QWidget* w, QPalette::ColorRole role, TColor color) {
  if (!w) return;
  QPalette pal = w->palette();
  pal.setColor(role, PaletteColor(color));
  w->setPalette(pal);
}

// The label text as shown: accelerator marks removed ("&&" is '&').
QString ShownText(const std::string& caption, bool accel) {
  if (!accel) return gui::QtText(caption);
  return gui::QtText(StripHotkey(caption));
}

}  // namespace

// ===========================================================================
// TLabel
// ===========================================================================
namespace {
class LabelWidget : public HostWidget<QWidget> {
 public:
  explicit LabelWidget(TControl* c) : HostWidget<QWidget>(c) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    auto* label = static_cast<TLabel*>(control());
    if (!label) return;
    QPainter p(this);
    if (!label->Transparent()) p.fillRect(rect(), ToQColor(label->Color()));
    int flags = Qt::TextExpandTabs;
    const TAlignment a = label->Alignment();
    flags |= a == taRightJustify ? Qt::AlignRight : a == taCenter ? Qt::AlignHCenter : Qt::AlignLeft;
    const TTextLayout l = label->Layout();
    flags |= l == tlBottom ? Qt::AlignBottom : l == tlCenter ? Qt::AlignVCenter : Qt::AlignTop;
    if (label->WordWrap()) flags |= Qt::TextWordWrap;
    p.setFont(font());
    p.setPen(label->Enabled() ? ToQColor(label->Font()->Color()) : palette().color(QPalette::Disabled, QPalette::WindowText));
    p.drawText(rect(), flags, ShownText(label->Caption(), label->ShowAccelChar()));
  }
};
void MakeLabelWidget(TControl* c) { gui::AttachWidget(c, new LabelWidget(c)); }
}  // namespace

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner, &MakeLabelWidget) {
  Private()->parentColor = true;
  SetBounds(0, 0, 65, 13);
  AdjustBounds();
}
TLabel::~TLabel() { DetachEvents(); }
bool TLabel::Transparent() const { return transparent_; }
void TLabel::SetTransparent(bool v) {
  transparent_ = v;
  Invalidate();
}
bool TLabel::AutoSize() const { return autoSize_; }
void TLabel::SetAutoSize(bool v) {
  autoSize_ = v;
  AdjustBounds();
}
TAlignment TLabel::Alignment() const { return alignment_; }
void TLabel::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}
TTextLayout TLabel::Layout() const { return layout_; }
void TLabel::SetLayout(TTextLayout l) {
  layout_ = l;
  Invalidate();
}
bool TLabel::WordWrap() const { return wordWrap_; }
void TLabel::SetWordWrap(bool v) {
  wordWrap_ = v;
  AdjustBounds();
  Invalidate();
}
bool TLabel::ShowAccelChar() const { return showAccel_; }
void TLabel::SetShowAccelChar(bool v) {
  showAccel_ = v;
  AdjustBounds();
  Invalidate();
}
void TLabel::AdjustBounds() {
  if (!autoSize_) return;
  QFontMetrics fm(ToQFont(*Font()));
  QString text = ShownText(Caption(), showAccel_);
  if (text.isEmpty()) text = QStringLiteral(" ");
  QRect r;
  if (wordWrap_)
    r = fm.boundingRect(QRect(0, 0, std::max(1, Width()), 100000), Qt::TextWordWrap | Qt::TextExpandTabs, text);
  else
    r = fm.boundingRect(QRect(0, 0, 100000, 100000), Qt::TextExpandTabs, text);
  int w = wordWrap_ ? Width() : r.width(), h = r.height();
  int left = Left();
  if (!wordWrap_ && alignment_ == taRightJustify) left = Left() + Width() - w;
  if (!wordWrap_ && alignment_ == taCenter) left = Left() + (Width() - w) / 2;
  SetBounds(left, Top(), w, h);
}
bool TLabel::TextRoom(TSize& needed, TSize& room) const {
  const QString text = ShownText(Caption(), showAccel_);
  if (text.trimmed().isEmpty()) return false;
  const QFontMetrics fm(ToQFont(*Font()));
  room = TSize{Width(), Height()};
  if (wordWrap_) {
    int widest = 0;
    for (const QString& word : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
      widest = std::max(widest, fm.horizontalAdvance(word));
    const QRect r =
        fm.boundingRect(QRect(0, 0, std::max(1, Width()), 100000), Qt::TextWordWrap | Qt::TextExpandTabs, text);
    needed = TSize{std::max(widest, r.width()), r.height()};
  } else {
    const QRect r = fm.boundingRect(QRect(0, 0, 100000, 100000), Qt::TextExpandTabs, text);
    needed = TSize{r.width(), r.height()};
  }
  return true;
}
void TLabel::TextChanged() {
  AdjustBounds();
  Invalidate();
}
void TLabel::FontChanged() { AdjustBounds(); }
void TLabel::ColorChanged() { Invalidate(); }

// ===========================================================================
// TStaticText
// ===========================================================================
namespace {
class StaticTextWidget : public HostWidget<QLabel> {
 public:
  explicit StaticTextWidget(TControl* c) : HostWidget<QLabel>(c) { setTextFormat(Qt::PlainText); }
};
void MakeStaticTextWidget(TControl* c) { gui::AttachWidget(c, new StaticTextWidget(c)); }
QLabel* StaticLabel(const TControl* c) { return static_cast<QLabel*>(c->Private()->widget.data()); }
}  // namespace

TStaticText::TStaticText(TComponent* AOwner) : TWinControl(AOwner, &MakeStaticTextWidget) {
  Private()->parentColor = true;
  Private()->widget->setAutoFillBackground(true);
  SetBounds(0, 0, 65, 17);
}
bool TStaticText::AutoSize() const { return autoSize_; }
void TStaticText::SetAutoSize(bool v) {
  autoSize_ = v;
  TextChanged();
}
TAlignment TStaticText::Alignment() const { return alignment_; }
void TStaticText::SetAlignment(TAlignment a) {
  alignment_ = a;
  if (QLabel* l = StaticLabel(this))
    l->setAlignment((a == taRightJustify ? Qt::AlignRight : a == taCenter ? Qt::AlignHCenter : Qt::AlignLeft) |
                    Qt::AlignTop);
}
TStaticBorderStyle TStaticText::BorderStyle() const { return border_; }
void TStaticText::SetBorderStyle(TStaticBorderStyle s) {
  border_ = s;
  if (QLabel* l = StaticLabel(this)) {
    l->setFrameStyle(s == sbsNone ? QFrame::NoFrame : s == sbsSingle ? (QFrame::Box | QFrame::Plain) : (QFrame::Panel | QFrame::Sunken));
    l->setLineWidth(1);
    Private()->frame = l->frameWidth();
  }
  TextChanged();
}
bool TStaticText::Transparent() const { return transparent_; }
void TStaticText::SetTransparent(bool v) {
  transparent_ = v;
  if (QWidget* w = Private()->widget) w->setAutoFillBackground(!v);
}
void TStaticText::TextChanged() {
  QLabel* l = StaticLabel(this);
  if (!l) return;
  // As the system's static texts, a text of fixed size breaks its lines between words.
  l->setWordWrap(!autoSize_);
  l->setText(ShownText(Private()->text, true));
  if (autoSize_) {
    QSize s = l->sizeHint();
    SetBounds(Left(), Top(), s.width(), s.height());
  }
}
void TStaticText::FontChanged() { TextChanged(); }
void TStaticText::ColorChanged() {
  SetBackground(Private()->widget, QPalette::Window, Color());
  Invalidate();
}

// ===========================================================================
// TCustomEdit, TEdit
// ===========================================================================
namespace {
class EditWidget : public HostWidget<QLineEdit> {
 public:
  explicit EditWidget(TControl* c) : HostWidget<QLineEdit>(c) {}
  bool autoSelect = true;
  TEditCharCase charCase = ecNormal;

 protected:
  void focusInEvent(QFocusEvent* e) override {
    QLineEdit::focusInEvent(e);
    if (autoSelect && e->reason() != Qt::PopupFocusReason && e->reason() != Qt::MouseFocusReason) selectAll();
  }
};
void MakeEditWidget(TControl* c) {
  auto* w = new EditWidget(c);
  gui::AttachWidget(c, w);
  QObject::connect(w, &QLineEdit::textChanged, w, [c, w](const QString&) {
    if (!w->control()) return;
    auto* edit = static_cast<TCustomEdit*>(c);
    gui::SafeCall(edit, [edit] { edit->Change(); });
  });
  QObject::connect(w, &QLineEdit::textEdited, w, [w](const QString& t) {
    if (w->charCase == ecNormal) return;
    QString conv = w->charCase == ecUpperCase ? t.toUpper() : t.toLower();
    if (conv != t) {
      int pos = w->cursorPosition();
      w->setText(conv);
      w->setCursorPosition(pos);
      w->setModified(true);
    }
  });
}
QLineEdit* LineEdit(const TControl* c) { return qobject_cast<QLineEdit*>(c->Private()->widget.data()); }
}  // namespace

TCustomEdit::TCustomEdit(TComponent* AOwner, TWidgetFactory factory) : TWinControl(AOwner, factory) {
  Private()->color = clWindow;
  Private()->clickOnMouseUp = true;
  SetTabStop(true);
  ColorChanged();
}
TCustomEdit::~TCustomEdit() { DetachEvents(); }

int TCustomEdit::MaxLength() const {
  QLineEdit* e = LineEdit(this);
  return e && e->maxLength() != 32767 ? e->maxLength() : 0;
}
void TCustomEdit::SetMaxLength(int v) {
  if (QLineEdit* e = LineEdit(this)) e->setMaxLength(v > 0 ? v : 32767);
}
bool TCustomEdit::ReadOnly() const {
  QLineEdit* e = LineEdit(this);
  return e && e->isReadOnly();
}
void TCustomEdit::SetReadOnly(bool v) {
  if (QLineEdit* e = LineEdit(this)) e->setReadOnly(v);
}
int TCustomEdit::SelStart() const {
  QLineEdit* e = LineEdit(this);
  if (!e) return 0;
  return e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
}
void TCustomEdit::SetSelStart(int v) {
  if (QLineEdit* e = LineEdit(this)) e->setCursorPosition(v);
}
int TCustomEdit::SelLength() const {
  QLineEdit* e = LineEdit(this);
  return e ? int(e->selectedText().size()) : 0;
}
void TCustomEdit::SetSelLength(int v) {
  if (QLineEdit* e = LineEdit(this)) e->setSelection(SelStart(), v);
}
std::string TCustomEdit::SelText() const {
  QLineEdit* e = LineEdit(this);
  return e ? gui::StdText(e->selectedText()) : std::string();
}
void TCustomEdit::SetSelText(const std::string& s) {
  if (QLineEdit* e = LineEdit(this)) e->insert(gui::QtText(s));
}
void TCustomEdit::SelectAll() {
  if (QLineEdit* e = LineEdit(this)) e->selectAll();
}
void TCustomEdit::ClearSelection() {
  if (QLineEdit* e = LineEdit(this)) e->del();
}
void TCustomEdit::Clear() { SetText(std::string()); }
void TCustomEdit::CopyToClipboard() {
  if (QLineEdit* e = LineEdit(this)) e->copy();
}
void TCustomEdit::CutToClipboard() {
  if (QLineEdit* e = LineEdit(this)) e->cut();
}
void TCustomEdit::PasteFromClipboard() {
  if (QLineEdit* e = LineEdit(this)) e->paste();
}
bool TCustomEdit::Modified() const {
  if (QLineEdit* e = LineEdit(this)) return e->isModified();
  // A memo: its document knows whether the user changed it since it was set.
  auto* memo = qobject_cast<QPlainTextEdit*>(Private()->widget.data());
  return memo && memo->document()->isModified();
}
void TCustomEdit::SetModified(bool v) {
  if (QLineEdit* e = LineEdit(this)) e->setModified(v);
  if (auto* memo = qobject_cast<QPlainTextEdit*>(Private()->widget.data())) memo->document()->setModified(v);
}
bool TCustomEdit::AutoSelect() const {
  auto* w = dynamic_cast<EditWidget*>(Private()->widget.data());
  return w && w->autoSelect;
}
void TCustomEdit::SetAutoSelect(bool v) {
  if (auto* w = dynamic_cast<EditWidget*>(Private()->widget.data())) w->autoSelect = v;
}
TEditCharCase TCustomEdit::CharCase() const {
  auto* w = dynamic_cast<EditWidget*>(Private()->widget.data());
  return w ? w->charCase : ecNormal;
}
void TCustomEdit::SetCharCase(TEditCharCase c) {
  auto* w = dynamic_cast<EditWidget*>(Private()->widget.data());
  if (!w) return;
  w->charCase = c;
  if (c == ecUpperCase) w->setText(w->text().toUpper());
  if (c == ecLowerCase) w->setText(w->text().toLower());
}
void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

TEdit::TEdit(TComponent* AOwner) : TCustomEdit(AOwner, &MakeEditWidget) { SetBounds(0, 0, 121, 21); }
char TEdit::PasswordChar() const {
  QLineEdit* e = LineEdit(this);
  return e && e->echoMode() == QLineEdit::Password ? '*' : '\0';
}
void TEdit::SetPasswordChar(char c) {
  if (QLineEdit* e = LineEdit(this)) e->setEchoMode(c ? QLineEdit::Password : QLineEdit::Normal);
}
void TEdit::SetTextMargins(int left, int right) {
  if (QLineEdit* e = LineEdit(this)) e->setTextMargins(left, 0, right, 0);
}
bool TEdit::AutoSize() const { return true; }
void TEdit::SetAutoSize(bool) {}
TAlignment TEdit::Alignment() const {
  QLineEdit* e = LineEdit(this);
  if (!e) return taLeftJustify;
  if (e->alignment() & Qt::AlignRight) return taRightJustify;
  if (e->alignment() & Qt::AlignHCenter) return taCenter;
  return taLeftJustify;
}
void TEdit::SetAlignment(TAlignment a) {
  if (QLineEdit* e = LineEdit(this))
    e->setAlignment((a == taRightJustify ? Qt::AlignRight : a == taCenter ? Qt::AlignHCenter : Qt::AlignLeft) |
                    Qt::AlignVCenter);
}
std::string TEdit::GetText() const {
  QLineEdit* e = LineEdit(this);
  return e ? gui::StdText(e->text()) : Private()->text;
}
void TEdit::TextChanged() {
  if (QLineEdit* e = LineEdit(this)) {
    QString t = gui::QtText(Private()->text);
    if (e->text() != t) e->setText(t);
  }
}
void TEdit::ColorChanged() { SetBackground(Private()->widget, QPalette::Base, Color()); }

// ===========================================================================
// TMemo and its lines
// ===========================================================================
namespace {

class MemoWidget : public HostScrollArea<QPlainTextEdit> {
 public:
  explicit MemoWidget(TControl* c) : HostScrollArea<QPlainTextEdit>(c) {}
};

QPlainTextEdit* TextEdit(const TControl* c) { return qobject_cast<QPlainTextEdit*>(c->Private()->widget.data()); }

// Replaces a memo's whole text as the program does: the memo is not modified by the user
// afterwards, also when its change event runs.
void SetMemoText(TMemo* memo, const QString& text) {
  QPlainTextEdit* e = TextEdit(memo);
  if (!e) return;
  {
    const QSignalBlocker quiet(e);
    e->setPlainText(text);
  }
  e->document()->setModified(false);
  gui::SafeCall(memo, [memo] { memo->Change(); });
}

// The lines of a memo, read and written in the text itself. A final line break adds
// no empty line, as in the class library.
class TMemoStrings : public TStrings {
 public:
  explicit TMemoStrings(TMemo* memo) : memo_(memo) {}
  QPlainTextEdit* edit() const { return TextEdit(memo_); }
  QTextDocument* doc() const { return edit() ? edit()->document() : nullptr; }

  int Count() const override {
    QTextDocument* d = doc();
    if (!d) return 0;
    int n = d->blockCount();
    if (d->lastBlock().text().isEmpty()) --n;
    return std::max(0, n);
  }
  std::string Strings(int index) const override {
    if (index < 0 || index >= Count()) Error(index);
    return gui::StdText(doc()->findBlockByNumber(index).text());
  }
  void SetStrings(int index, const std::string& s) override {
    if (index < 0 || index >= Count()) Error(index);
    QTextCursor c(doc()->findBlockByNumber(index));
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.insertText(gui::QtText(s));
  }
  void Insert(int index, const std::string& s) override {
    const int count = Count();
    if (index < 0 || index > count) Error(index);
    QTextDocument* d = doc();
    if (!d) return;
    QTextBlock block = d->findBlockByNumber(index);
    if (block.isValid()) {
      QTextCursor c(block);
      c.insertText(gui::QtText(s) + "\n");
    } else {
      QTextCursor c(d);
      c.movePosition(QTextCursor::End);
      c.insertText("\n" + gui::QtText(s));
    }
  }
  void Delete(int index) override {
    if (index < 0 || index >= Count()) Error(index);
    QTextDocument* d = doc();
    QTextBlock block = d->findBlockByNumber(index);
    QTextCursor c(block);
    QTextBlock next = block.next();
    if (next.isValid()) {
      c.setPosition(next.position(), QTextCursor::KeepAnchor);
    } else {
      c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
      if (block.previous().isValid()) {
        c.setPosition(block.previous().position() + block.previous().length() - 1);
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
      }
    }
    c.removeSelectedText();
  }
  void Clear() override {
    if (QPlainTextEdit* e = edit()) e->clear();
  }
  void SetText(const std::string& text) override {
    // Any line break in, one line per line; a final line break stays.
    std::string t;
    t.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r') {
        t += '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else {
        t += text[i];
      }
    }
    if (!t.empty() && t.back() != '\n') t += '\n';
    SetMemoText(memo_, gui::QtText(t));
  }

 protected:
  void SetUpdateState(bool updating) override {
    if (QPlainTextEdit* e = edit()) e->setUpdatesEnabled(!updating);
  }

 private:
  TMemo* memo_;
};

void MakeMemoWidget(TControl* c) {
  auto* w = new MemoWidget(c);
  gui::AttachWidget(c, w, w->viewport());
  QObject::connect(w, &QPlainTextEdit::textChanged, w, [c, w] {
    if (!w->control()) return;
    auto* memo = static_cast<TMemo*>(c);
    gui::SafeCall(memo, [memo] { memo->Change(); });
  });
  w->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  w->setTabChangesFocus(true);
}

}  // namespace

TMemo::TMemo(TComponent* AOwner) : TMemo(AOwner, &MakeMemoWidget) {}
TMemo::TMemo(TComponent* AOwner, TWidgetFactory factory)
    : TCustomEdit(AOwner, factory), lines_(std::make_unique<TMemoStrings>(this)) {
  Private()->nativePressFirst = true;
  Private()->frame = TextEdit(this) ? TextEdit(this)->frameWidth() : 0;
  SetBounds(0, 0, 185, 89);
}
TMemo::~TMemo() { DetachEvents(); }
TStrings* TMemo::Lines() const { return lines_.get(); }
void TMemo::SetLines(const TStrings* lines) {
  if (lines) lines_->Assign(*lines);
}
TScrollStyle TMemo::ScrollBars() const {
  QPlainTextEdit* e = TextEdit(this);
  if (!e) return ssNone;
  bool h = e->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
  bool v = e->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
  return h && v ? ssBoth : h ? ssHorizontal : v ? ssVertical : ssNone;
}
void TMemo::SetScrollBars(TScrollStyle s) {
  QPlainTextEdit* e = TextEdit(this);
  if (!e) return;
  e->setHorizontalScrollBarPolicy(s == ssHorizontal || s == ssBoth ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  e->setVerticalScrollBarPolicy(s == ssVertical || s == ssBoth ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}
bool TMemo::WordWrap() const {
  QPlainTextEdit* e = TextEdit(this);
  return e && e->lineWrapMode() != QPlainTextEdit::NoWrap;
}
void TMemo::SetWordWrap(bool v) {
  if (QPlainTextEdit* e = TextEdit(this)) e->setLineWrapMode(v ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}
bool TMemo::WantReturns() const { return wantReturns_; }
void TMemo::SetWantReturns(bool v) { wantReturns_ = v; }
bool TMemo::WantTabs() const {
  QPlainTextEdit* e = TextEdit(this);
  return e && !e->tabChangesFocus();
}
void TMemo::SetWantTabs(bool v) {
  if (QPlainTextEdit* e = TextEdit(this)) e->setTabChangesFocus(!v);
}
int TMemo::WidthForLines(const std::vector<std::string>& lines) const {
  QPlainTextEdit* e = TextEdit(this);
  if (!e) return Width();
  QTextOption option = e->document()->defaultTextOption();
  option.setWrapMode(QTextOption::NoWrap);
  qreal widest = 0;
  for (const std::string& line : lines) {
    QTextLayout layout(gui::QtText(line), e->font());
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
      l.setLineWidth(1 << 20);
      widest = std::max(widest, l.naturalTextWidth());
    }
    layout.endLayout();
  }
  const int bar = e->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff
                      ? 0
                      : e->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, e->verticalScrollBar());
  // The text cursor's pixel after the line's end.
  return int(std::ceil(widest + 2 * e->document()->documentMargin())) + 1 + 2 * e->frameWidth() + bar;
}
TAlignment TMemo::Alignment() const { return taLeftJustify; }
void TMemo::SetAlignment(TAlignment) {}
TBorderStyle TMemo::BorderStyle() const { return Private()->frame > 0 ? bsSingle : bsNone; }
void TMemo::SetBorderStyle(TBorderStyle s) {
  if (QPlainTextEdit* e = TextEdit(this)) {
    e->setFrameStyle(s == bsNone ? QFrame::NoFrame : (QFrame::StyledPanel | QFrame::Sunken));
    Private()->frame = e->frameWidth();
  }
}
int TMemo::SelStart() const {
  QPlainTextEdit* e = TextEdit(this);
  return e ? e->textCursor().selectionStart() : 0;
}
void TMemo::SetSelStart(int v) {
  if (QPlainTextEdit* e = TextEdit(this)) {
    QTextCursor c = e->textCursor();
    c.setPosition(std::clamp(v, 0, int(e->document()->characterCount()) - 1));
    e->setTextCursor(c);
  }
}
int TMemo::SelLength() const {
  QPlainTextEdit* e = TextEdit(this);
  if (!e) return 0;
  QTextCursor c = e->textCursor();
  return c.selectionEnd() - c.selectionStart();
}
void TMemo::SetSelLength(int v) {
  if (QPlainTextEdit* e = TextEdit(this)) {
    QTextCursor c = e->textCursor();
    int start = c.selectionStart();
    c.setPosition(start);
    c.setPosition(std::clamp(start + v, 0, int(e->document()->characterCount()) - 1), QTextCursor::KeepAnchor);
    e->setTextCursor(c);
  }
}
std::string TMemo::SelText() const {
  QPlainTextEdit* e = TextEdit(this);
  return e ? gui::StdText(e->textCursor().selectedText().replace(QChar(0x2029), "\r\n")) : std::string();
}
void TMemo::SetSelText(const std::string& s) {
  if (QPlainTextEdit* e = TextEdit(this)) e->insertPlainText(gui::QtText(s));
}
void TMemo::SelectAll() {
  if (QPlainTextEdit* e = TextEdit(this)) e->selectAll();
}
void TMemo::Clear() {
  if (QPlainTextEdit* e = TextEdit(this)) e->clear();
}
void TMemo::SetReadOnly(bool v) {
  if (QPlainTextEdit* e = TextEdit(this)) e->setReadOnly(v);
}
void TMemo::SetMaxLength(int) {}
void TMemo::CopyToClipboard() {
  if (QPlainTextEdit* e = TextEdit(this)) e->copy();
}
void TMemo::CutToClipboard() {
  if (QPlainTextEdit* e = TextEdit(this)) e->cut();
}
void TMemo::PasteFromClipboard() {
  if (QPlainTextEdit* e = TextEdit(this)) e->paste();
}
std::string TMemo::GetText() const {
  QPlainTextEdit* e = TextEdit(this);
  if (!e) return Private()->text;
  std::string t = gui::StdText(e->toPlainText());
  std::string out;
  out.reserve(t.size() + t.size() / 16);
  for (char ch : t) {
    if (ch == '\n') out += '\r';
    out += ch;
  }
  return out;
}
void TMemo::TextChanged() {
  if (TextEdit(this)) {
    std::string t;
    for (size_t i = 0; i < Private()->text.size(); ++i) {
      char ch = Private()->text[i];
      if (ch == '\r') {
        t += '\n';
        if (i + 1 < Private()->text.size() && Private()->text[i + 1] == '\n') ++i;
      } else {
        t += ch;
      }
    }
    SetMemoText(this, gui::QtText(t));
  }
}
void TMemo::ColorChanged() {
  SetBackground(Private()->widget, QPalette::Base, Color());
  if (QPlainTextEdit* e = TextEdit(this)) SetBackground(e->viewport(), QPalette::Base, Color());
}

// ===========================================================================
// Buttons
// ===========================================================================
namespace {
class PushButtonWidget : public HostWidget<QPushButton> {
 public:
  explicit PushButtonWidget(TControl* c) : HostWidget<QPushButton>(c) { setAutoDefault(true); }
};
void MakeButtonWidget(TControl* c) {
  auto* w = new PushButtonWidget(c);
  gui::AttachWidget(c, w);
  QObject::connect(w, &QPushButton::clicked, w, [c, w](bool) {
    if (w->control()) gui::SafeCall(c, [c] { c->Click(); });
  });
}
}  // namespace

TButtonControl::TButtonControl(TComponent* AOwner, TWidgetFactory factory) : TWinControl(AOwner, factory) {
  Private()->clickOnMouseUp = false;
  SetTabStop(true);
}
void TButtonControl::TextChanged() {
  if (auto* b = qobject_cast<QAbstractButton*>(Private()->widget.data())) b->setText(gui::QtText(Private()->text));
}

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner, &MakeButtonWidget) {
  SetBounds(0, 0, 75, 25);
}
TModalResult TButton::ModalResult() const { return modalResult_; }
void TButton::SetModalResult(TModalResult r) { modalResult_ = r; }
bool TButton::Default() const { return default_; }
void TButton::SetDefault(bool v) {
  default_ = v;
  if (auto* b = qobject_cast<QPushButton*>(Private()->widget.data())) b->setDefault(v);
}
bool TButton::Cancel() const { return cancel_; }
void TButton::SetCancel(bool v) { cancel_ = v; }
bool TButton::DialogKey(uint16_t Key, TShiftState Shift) {
  const bool mine = (Key == VK_RETURN && Default()) || (Key == VK_ESCAPE && Cancel());
  if (!mine || !Shift.Empty() || !Showing() || !Enabled()) return false;
  Click();
  return true;
}

void TButton::Click() {
  if (TModalResult r = ModalResult(); r != mrNone)
    if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(r);
  TButtonControl::Click();
}

// ===========================================================================
// TCheckBox
// ===========================================================================
namespace {
class CheckBoxWidget : public HostWidget<QCheckBox> {
 public:
  explicit CheckBoxWidget(TControl* c) : HostWidget<QCheckBox>(c) {}

 protected:
  // The whole control takes clicks, not only the box and its text.
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
  // The control decides the next state (and runs OnClick).
  void nextCheckState() override {
    if (auto* cb = dynamic_cast<TCheckBox*>(control())) gui::SafeCall(cb, [cb] { cb->Toggle(); });
  }
};
void MakeCheckBoxWidget(TControl* c) { gui::AttachWidget(c, new CheckBoxWidget(c)); }
void ShowCheckState(QWidget* w, TCheckBoxState s) {
  if (auto* cb = qobject_cast<QCheckBox*>(w)) {
    QSignalBlocker block(cb);
    cb->setTristate(s == cbGrayed || cb->isTristate());
    cb->setCheckState(s == cbChecked ? Qt::Checked : s == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked);
  }
}
}  // namespace

TCheckBox::TCheckBox(TComponent* AOwner) : TCheckBox(AOwner, &MakeCheckBoxWidget) {}
TCheckBox::TCheckBox(TComponent* AOwner, TWidgetFactory factory) : TButtonControl(AOwner, factory) {
  Private()->parentColor = true;
  SetBounds(0, 0, 97, 17);
}
bool TCheckBox::Checked() const { return state_ == cbChecked; }
void TCheckBox::SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }
TCheckBoxState TCheckBox::State() const { return state_; }
void TCheckBox::SetState(TCheckBoxState s) {
  if (s == state_) return;
  state_ = s;
  ShowCheckState(Private()->widget, s);
  Click();
}
bool TCheckBox::AllowGrayed() const { return allowGrayed_; }
void TCheckBox::SetAllowGrayed(bool v) {
  allowGrayed_ = v;
  if (auto* cb = qobject_cast<QCheckBox*>(Private()->widget.data())) cb->setTristate(v);
}
TAlignment TCheckBox::Alignment() const { return alignment_; }
void TCheckBox::SetAlignment(TAlignment a) {
  alignment_ = a;
  if (QWidget* w = Private()->widget) w->setLayoutDirection(a == taLeftJustify ? Qt::RightToLeft : Qt::LeftToRight);
}
bool TCheckBox::WordWrap() const { return false; }
void TCheckBox::SetWordWrap(bool) {}
void TCheckBox::Toggle() {
  switch (State()) {
    case cbUnchecked: SetState(AllowGrayed() ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}
void TCheckBox::ColorChanged() { SetBackground(Private()->widget, QPalette::Window, Color()); }

// ===========================================================================
// TRadioButton
// ===========================================================================
namespace {
class RadioWidget : public HostWidget<QRadioButton> {
 public:
  explicit RadioWidget(TControl* c) : HostWidget<QRadioButton>(c) { setAutoExclusive(false); }

 protected:
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
  void nextCheckState() override {
    if (auto* rb = dynamic_cast<TRadioButton*>(control())) gui::SafeCall(rb, [rb] { rb->SetChecked(true); });
  }
};
void MakeRadioWidget(TControl* c) { gui::AttachWidget(c, new RadioWidget(c)); }
}  // namespace

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner, &MakeRadioWidget) {
  Private()->parentColor = true;
  SetBounds(0, 0, 113, 17);
}
bool TRadioButton::Checked() const { return checked_; }
void TRadioButton::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  if (auto* rb = qobject_cast<QRadioButton*>(Private()->widget.data())) {
    QSignalBlocker block(rb);
    rb->setChecked(v);
  }
  if (!v) return;
  if (TWinControl* p = Parent())
    for (int i = 0; i < p->ControlCount(); ++i)
      if (auto* sibling = dynamic_cast<TRadioButton*>(p->Controls(i)); sibling && sibling != this)
        sibling->SetChecked(false);
  Click();
}
TAlignment TRadioButton::Alignment() const {
  QWidget* w = Private()->widget;
  return w && w->layoutDirection() == Qt::RightToLeft ? taLeftJustify : taRightJustify;
}
void TRadioButton::SetAlignment(TAlignment a) {
  if (QWidget* w = Private()->widget) w->setLayoutDirection(a == taLeftJustify ? Qt::RightToLeft : Qt::LeftToRight);
}
bool TRadioButton::WordWrap() const { return false; }
void TRadioButton::SetWordWrap(bool) {}
void TRadioButton::ColorChanged() { SetBackground(Private()->widget, QPalette::Window, Color()); }

// ===========================================================================
// Combo boxes
// ===========================================================================
namespace {

class ComboWidget : public HostWidget<QComboBox> {
 public:
  explicit ComboWidget(TControl* c) : HostWidget<QComboBox>(c) {}
  void showPopup() override {
    if (auto* cb = dynamic_cast<TCustomComboBox*>(control()))
      if (cb->OnDropDown) gui::SafeCall(cb, [cb] { cb->OnDropDown(cb); });
    QComboBox::showPopup();
  }
  void hidePopup() override {
    QComboBox::hidePopup();
    if (auto* cb = dynamic_cast<TCustomComboBox*>(control()))
      if (cb->OnCloseUp) gui::SafeCall(cb, [cb] { cb->OnCloseUp(cb); });
  }
};

QComboBox* Combo(const TControl* c) { return qobject_cast<QComboBox*>(c->Private()->widget.data()); }

class TComboStrings : public TStrings {
 public:
  explicit TComboStrings(TCustomComboBox* combo) : combo_(combo) {}
  QComboBox* box() const { return Combo(combo_); }
  int Count() const override { return box() ? box()->count() : 0; }
  std::string Strings(int index) const override {
    if (index < 0 || index >= Count()) Error(index);
    return gui::StdText(box()->itemText(index));
  }
  void SetStrings(int index, const std::string& s) override {
    if (index < 0 || index >= Count()) Error(index);
    box()->setItemText(index, gui::QtText(s));
  }
  TObject* Objects(int index) const override {
    if (index < 0 || index >= Count()) Error(index);
    return reinterpret_cast<TObject*>(box()->itemData(index, Qt::UserRole).value<quintptr>());
  }
  void SetObjects(int index, TObject* o) override {
    if (index < 0 || index >= Count()) Error(index);
    box()->setItemData(index, QVariant::fromValue(quintptr(o)), Qt::UserRole);
  }
  void Insert(int index, const std::string& s) override {
    if (index < 0 || index > Count()) Error(index);
    QSignalBlocker block(box());
    // Adding items chooses none of them and keeps the text (the toolkit would choose
    // the first and show it in place of the text).
    const bool first = box()->count() == 0;
    const QString text = box()->isEditable() ? box()->currentText() : QString();
    box()->insertItem(index, gui::QtText(s));
    if (first) {
      box()->setCurrentIndex(-1);
      if (box()->isEditable()) box()->setEditText(text);
    }
  }
  int Add(const std::string& s) override {
    int index = Count();
    if (combo_->Sorted()) {
      int lo = 0, hi = Count();
      while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (strcasecmp(Strings(mid).c_str(), s.c_str()) <= 0)
          lo = mid + 1;
        else
          hi = mid;
      }
      index = lo;
    }
    Insert(index, s);
    return index;
  }
  void Delete(int index) override {
    if (index < 0 || index >= Count()) Error(index);
    QSignalBlocker block(box());
    box()->removeItem(index);
  }
  void Clear() override {
    QSignalBlocker block(box());
    QString text = box()->isEditable() ? box()->currentText() : QString();
    box()->clear();
    if (box()->isEditable()) box()->setEditText(text);
  }

 private:
  TCustomComboBox* combo_;
};

void MakeComboWidget(TControl* c) {
  auto* w = new ComboWidget(c);
  w->setEditable(true);
  w->setInsertPolicy(QComboBox::NoInsert);
  gui::AttachWidget(c, w);
  QObject::connect(w, &QComboBox::activated, w, [c, w](int) {
    if (!w->control()) return;
    auto* combo = static_cast<TCustomComboBox*>(c);
    gui::SafeCall(combo, [combo] {
      combo->Click();
      combo->Select();
    });
  });
  QObject::connect(w, &QComboBox::editTextChanged, w, [c, w](const QString&) {
    if (!w->control()) return;
    auto* combo = static_cast<TCustomComboBox*>(c);
    // Typing only; choosing an item runs Select.
    if (w->lineEdit() && w->lineEdit()->isModified()) {
      w->lineEdit()->setModified(false);
      gui::SafeCall(combo, [combo] { combo->Change(); });
    }
  });
  if (w->lineEdit()) gui::AttachInnerWidget(c, w->lineEdit());
}

}  // namespace

TCustomComboBox::TCustomComboBox(TComponent* AOwner, TWidgetFactory factory)
    : TWinControl(AOwner, factory), items_(std::make_unique<TComboStrings>(this)) {
  Private()->color = clWindow;
  Private()->clickOnMouseUp = false;
  SetTabStop(true);
  SetBounds(0, 0, 145, 21);
  ColorChanged();
}
TCustomComboBox::~TCustomComboBox() { DetachEvents(); }
TStrings* TCustomComboBox::Items() const { return items_.get(); }
void TCustomComboBox::SetItems(const TStrings* items) {
  if (items) items_->Assign(*items);
}
int TCustomComboBox::ItemIndex() const {
  QComboBox* c = Combo(this);
  if (!c) return -1;
  if (c->isEditable() && c->currentIndex() >= 0 && c->currentText() != c->itemText(c->currentIndex())) return -1;
  return c->currentIndex();
}
void TCustomComboBox::SetItemIndex(int index) {
  QComboBox* c = Combo(this);
  if (!c) return;
  QSignalBlocker block(c);
  if (index < 0 || index >= c->count()) {
    c->setCurrentIndex(-1);
    if (c->isEditable()) c->setEditText(QString());
  } else {
    c->setCurrentIndex(index);
  }
}
TComboBoxStyle TCustomComboBox::Style() const { return style_; }
void TCustomComboBox::SetStyle(TComboBoxStyle style) {
  style_ = style;
  QComboBox* c = Combo(this);
  if (!c) return;
  QSignalBlocker block(c);
  bool editable = style == csDropDown || style == csSimple;
  c->setEditable(editable);
  if (editable) {
    c->setInsertPolicy(QComboBox::NoInsert);
    if (c->lineEdit()) gui::AttachInnerWidget(this, c->lineEdit());
  }
}
int TCustomComboBox::DropDownCount() const {
  QComboBox* c = Combo(this);
  return c ? c->maxVisibleItems() : 8;
}
void TCustomComboBox::SetDropDownCount(int n) {
  if (QComboBox* c = Combo(this)) c->setMaxVisibleItems(std::max(1, n));
}
bool TCustomComboBox::Sorted() const { return sorted_; }
void TCustomComboBox::SetSorted(bool v) {
  sorted_ = v;
  if (!v) return;
  std::vector<std::pair<std::string, TObject*>> all;
  for (int i = 0; i < items_->Count(); ++i) all.emplace_back(items_->Strings(i), items_->Objects(i));
  std::stable_sort(all.begin(), all.end(),
                   [](const auto& a, const auto& b) { return strcasecmp(a.first.c_str(), b.first.c_str()) < 0; });
  items_->Clear();
  for (auto& [s, o] : all) items_->InsertObject(items_->Count(), s, o);
}
int TCustomComboBox::MaxLength() const {
  QComboBox* c = Combo(this);
  return c && c->lineEdit() && c->lineEdit()->maxLength() != 32767 ? c->lineEdit()->maxLength() : 0;
}
void TCustomComboBox::SetMaxLength(int v) {
  QComboBox* c = Combo(this);
  if (c && c->lineEdit()) c->lineEdit()->setMaxLength(v > 0 ? v : 32767);
}
bool TCustomComboBox::DroppedDown() const {
  QComboBox* c = Combo(this);
  return c && c->view() && c->view()->isVisible();
}
void TCustomComboBox::SetDroppedDown(bool v) {
  QComboBox* c = Combo(this);
  if (!c) return;
  if (v)
    c->showPopup();
  else
    c->hidePopup();
}
int TCustomComboBox::ItemHeight() const { return itemHeight_; }
void TCustomComboBox::SetItemHeight(int v) { itemHeight_ = v; }
void TCustomComboBox::Clear() {
  items_->Clear();
  SetText(std::string());
}
void TCustomComboBox::SelectAll() {
  QComboBox* c = Combo(this);
  if (c && c->lineEdit()) c->lineEdit()->selectAll();
}
int TCustomComboBox::ItemCount() const { return items_->Count(); }
void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}
void TCustomComboBox::Select() {
  if (OnSelect)
    OnSelect(this);
  else
    Change();
}
std::string TCustomComboBox::GetText() const {
  QComboBox* c = Combo(this);
  return c ? gui::StdText(c->currentText()) : Private()->text;
}
void TCustomComboBox::TextChanged() {
  QComboBox* c = Combo(this);
  if (!c) return;
  QSignalBlocker block(c);
  QString t = gui::QtText(Private()->text);
  if (c->isEditable()) {
    c->setEditText(t);
  } else {
    c->setCurrentIndex(c->findText(t));
  }
}
void TCustomComboBox::ColorChanged() {
  SetBackground(Private()->widget, QPalette::Base, Color());
  SetBackground(Private()->widget, QPalette::Button, Color());
}

TComboBox::TComboBox(TComponent* AOwner) : TCustomComboBox(AOwner, &MakeComboWidget) {}

// ===========================================================================
// TGroupBox
// ===========================================================================
namespace {
class GroupBoxWidget : public HostWidget<QGroupBox> {
 public:
  explicit GroupBoxWidget(TControl* c) : HostWidget<QGroupBox>(c) {}
};
void MakeGroupBoxWidget(TControl* c) { gui::AttachWidget(c, new GroupBoxWidget(c)); }
}  // namespace

TGroupBox::TGroupBox(TComponent* AOwner) : TGroupBox(AOwner, &MakeGroupBoxWidget) {}
TGroupBox::TGroupBox(TComponent* AOwner, TWidgetFactory factory) : TWinControl(AOwner, factory) {
  Private()->parentColor = true;
  SetBounds(0, 0, 185, 105);
}
TRect TGroupBox::AlignClientRect() const {
  TRect r = ClientRect();
  QFontMetrics fm(ToQFont(*Font()));
  r.Top += fm.height();
  r.Left += 2;
  r.Top += 2;
  r.Right -= 2;
  r.Bottom -= 2;
  return r;
}
void TGroupBox::TextChanged() {
  if (auto* g = qobject_cast<QGroupBox*>(Private()->widget.data())) g->setTitle(gui::QtText(Private()->text));
}
