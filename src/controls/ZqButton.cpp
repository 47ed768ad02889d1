#include "controls/ZqButton.h"

#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinCalls.h"

namespace {

struct KindRow {
  const char* resource;
  const char* caption;
  TModalResult result;
};

// The kinds' glyphs, captions (fixed words, not translated) and modal results, bkOK first.
const KindRow kKinds[] = {
    {"ZQOK", "OK", mrOk},
    {"ZQCANCEL", "Abbrechen", mrCancel},
    {"ZQHELP", "Hilfe", mrNone},
    {"ZQYES", "Ja", mrYes},
    {"ZQNO", "Nein", mrNo},
    {"ZQCLOSE", "Schlie\xC3\x9F" "en", mrNone},
    {"ZQABORT", "Abbrechen", mrAbort},
    {"ZQRETRY", "Wiederholen", mrRetry},
    {"ZQIGNORE", "Ignorieren", mrIgnore},
    {"ZQALL", "Alle", mrAll},
};

// A push button in the sense of dialog keys: our own and the class library's, not radio
// buttons or check boxes.
bool IsButton(const TWinControl* control) {
  return dynamic_cast<const TZqButton*>(control) || dynamic_cast<const TButton*>(control);
}

// The windowed control of the form that has the keyboard focus, or nullptr.
TWinControl* FocusedControl(TWinControl* parent) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    auto* child = dynamic_cast<TWinControl*>(parent->Controls(i));
    if (!child) continue;
    if (child->Focused()) return child;
    if (TWinControl* inner = FocusedControl(child)) return inner;
  }
  return nullptr;
}

}  // namespace

TZqButton::TZqButton(TComponent* AOwner) : TZqButtonBase(AOwner, taCenter, clGray) {
  SetTabStop(true);
  SetColor(clBtnFace);
  makeFader();
}

void TZqButton::SetKind(TZqButtonKind kind) {
  if (kind == kind_) return;
  if (kind != bkCustom) {
    const KindRow& row = kKinds[kind - 1];
    settingKind_ = true;
    SetGlyph(&ZqResourceBitmap(row.resource));
    SetNumGlyphs(2);
    SetCaption(row.caption);
    modalResult_ = row.result;
    settingKind_ = false;
  }
  kind_ = kind;
  Invalidate();
}

void TZqButton::SetModalResult(TModalResult r) {
  modalResult_ = r;
  kind_ = bkCustom;
}

void TZqButton::SetGlyph(const TBitmap* bitmap) {
  TZqButtonBase::SetGlyph(bitmap);
  if (!settingKind_) kind_ = bkCustom;
}

void TZqButton::Click() {
  pressed_ = true;
  if (!Visible() || !Enabled() || !pressed_) return;
  setPressed(false);
  TZqButtonBase::Click();
  if (modalResult_ != mrNone)
    if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
  if (TPopupMenu* menu = PopupMenu()) {
    const TPoint at = ClientToScreen(Point(0, Height()));
    menu->SetPopupComponent(this);
    menu->Popup(at.X, at.Y);
  }
}

void TZqButton::SetEnabled(bool enabled) {
  TZqButtonBase::SetEnabled(enabled);
  pressed_ = false;
  Invalidate();
}

void TZqButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && Enabled()) {
    setPressed(true);
    if (CanFocus()) SetFocus();
  }
  TZqButtonBase::MouseDown(Button, Shift, X, Y);
}

// The click of a press comes before this, and only when the mouse was released over the
// button: releasing it elsewhere takes the press back.
void TZqButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) setPressed(false);
  TZqButtonBase::MouseUp(Button, Shift, X, Y);
}

void TZqButton::KeyDown(uint16_t& Key, TShiftState Shift) {
  TZqButtonBase::KeyDown(Key, Shift);
  if ((Key == VK_RETURN || Key == VK_SPACE) && Enabled()) setPressed(true);
}

// Only a key that went down on this button clicks it: a button that gets the focus while
// Enter is held does not fire.
void TZqButton::KeyUp(uint16_t& Key, TShiftState Shift) {
  TZqButtonBase::KeyUp(Key, Shift);
  if ((Key == VK_RETURN || Key == VK_SPACE) && pressed_) Click();
}

void TZqButton::DoEnter() {
  TZqButtonBase::DoEnter();
  Invalidate();
}

// A press ends when the focus goes.
void TZqButton::DoExit() {
  TZqButtonBase::DoExit();
  pressed_ = false;
  Invalidate();
}

bool TZqButton::DialogKey(uint16_t Key, TShiftState Shift) {
  const bool enter = Key == VK_RETURN && default_;
  const bool escape = Key == VK_ESCAPE && cancel_ && !Shift.Contains(ssShift) && !Shift.Contains(ssCtrl) &&
                      !Shift.Contains(ssAlt);
  if (!(enter || escape) || !Visible() || !Enabled()) return false;
  // Enter belongs to a button that has the focus.
  if (enter)
    if (TCustomForm* form = GetParentForm(this))
      if (IsButton(FocusedControl(form))) return false;
  Click();
  return true;
}

bool TZqButton::DialogChar(char Key) {
  if (!IsAccel(Key, Caption()) || !Visible() || !Enabled() || !parentShowing()) return false;
  pressed_ = true;
  Click();
  return true;
}

void TZqButton::Paint() {
  const int w = Width(), h = Height();
  TZqFace face = Face();
  face.Transparent = false;
  const bool keyed = ShapedStyle(Style());
  TBitmap buffer;
  PrepareBuffer(buffer, w, h, keyed);
  const bool focused = Focused();
  if (Style() == bsOld && focused) {
    // The focused old-style face: 2 pixels smaller inside a black frame.
    TBitmap inner;
    PrepareBuffer(inner, w - 2, h - 2, false);
    TZqFace small = face;
    small.Width = w - 2;
    small.Height = h - 2;
    if (pressed_) small.LightColor = small.ShadowColor;
    DrawZqFace(inner.Canvas(), small);
    buffer.Canvas().Draw(1, 1, inner);
    buffer.Canvas().Brush().SetStyle(bsClear);
    buffer.Canvas().Pen().SetColor(clBlack);
    buffer.Canvas().Rectangle(0, 0, w, h);
  } else {
    DrawZqFace(buffer.Canvas(), face);
  }
  if (focused && face.Enabled && Style() != bsShape) DrawFocusRect(buffer.Canvas(), Rect(4, 4, w - 4, h - 4));
  TCanvas* canvas = Canvas();
  if (keyed) {
    // The parent's colour shows around a shaped face.
    canvas->Brush().SetStyle(bsSolid);
    canvas->Brush().SetColor(Parent() ? Parent()->Color() : Color());
    canvas->FillRect(Rect(0, 0, w, h));
  }
  canvas->Draw(0, 0, buffer);
}
