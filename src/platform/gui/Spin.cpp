// The spin edit: a number edit with up and down buttons.
#include "platform/gui/Spin.h"

#include <QLineEdit>
#include <QSpinBox>

#include <climits>

#include "platform/graphics/CanvasQt.h"
#include "platform/gui/GuiInternal.h"

namespace {
class SpinWidget : public HostWidget<QSpinBox> {
 public:
  explicit SpinWidget(TControl* c) : HostWidget<QSpinBox>(c) {}
  QLineEdit* edit() const { return lineEdit(); }
};
SpinWidget* SpinOf(const TControl* c) { return dynamic_cast<SpinWidget*>(c->Private()->widget.data()); }
void MakeSpinWidget(TControl* c) {
  auto* w = new SpinWidget(c);
  gui::AttachWidget(c, w);
  gui::AttachInnerWidget(c, w->edit());
  QObject::connect(w, &QSpinBox::valueChanged, w, [c, w](int) {
    if (!w->control()) return;
    auto* spin = static_cast<TSpinEdit*>(c);
    gui::SafeCall(spin, [spin] { spin->Change(); });
  });
}
}  // namespace

TSpinEdit::TSpinEdit(TComponent* AOwner) : TCustomEdit(AOwner, &MakeSpinWidget) {
  SetBounds(0, 0, 121, 22);
  applyRange();
}

void TSpinEdit::applyRange() {
  SpinWidget* w = SpinOf(this);
  if (!w) return;
  QSignalBlocker block(w);
  if (maxValue_ > minValue_)
    w->setRange(minValue_, maxValue_);
  else
    w->setRange(INT_MIN, INT_MAX);
  w->setSingleStep(increment_);
}

int TSpinEdit::Value() const {
  SpinWidget* w = SpinOf(this);
  if (!w) return minValue_;
  if (w->cleanText().trimmed().isEmpty()) return minValue_;
  return w->value();
}
void TSpinEdit::SetValue(int v) {
  if (maxValue_ > minValue_) v = std::clamp(v, minValue_, maxValue_);
  if (SpinWidget* w = SpinOf(this)) {
    if (w->value() == v && !w->cleanText().trimmed().isEmpty()) return;
    w->setValue(v);
  }
}
void TSpinEdit::SetMinValue(int v) {
  minValue_ = v;
  applyRange();
}
void TSpinEdit::SetMaxValue(int v) {
  maxValue_ = v;
  applyRange();
}
void TSpinEdit::SetIncrement(int v) {
  increment_ = v > 0 ? v : 1;
  applyRange();
}
void TSpinEdit::SetEditorEnabled(bool v) {
  editorEnabled_ = v;
  if (SpinWidget* w = SpinOf(this)) w->edit()->setReadOnly(!v);
}
std::string TSpinEdit::GetText() const {
  SpinWidget* w = SpinOf(this);
  return w ? gui::StdText(w->cleanText()) : Private()->text;
}
void TSpinEdit::TextChanged() {
  int v = 0;
  if (TryStrToInt(Private()->text, v)) SetValue(v);
}
void TSpinEdit::ColorChanged() {
  if (SpinWidget* w = SpinOf(this)) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Base, ToQColor(Color()));
    w->setPalette(pal);
  }
}
