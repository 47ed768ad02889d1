// Panels, bevels, splitters, images, paint boxes, radio groups, timers and the colour box.
#include <QComboBox>
#include <QFontMetrics>
#include <QIcon>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <strings.h>

#include "platform/QtApplication.h"
#include "platform/graphics/CanvasQt.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiInternal.h"
#include "platform/i18n/GnuGetText.h"

// ===========================================================================
// Frame3D and panels
// ===========================================================================
void Frame3D(TCanvas& canvas, TRect& rect, TColor topColor, TColor bottomColor, int width) {
  canvas.Pen().SetWidth(1);
  canvas.Pen().SetStyle(psSolid);
  --rect.Bottom;
  --rect.Right;
  while (width > 0) {
    --width;
    canvas.Pen().SetColor(topColor);
    canvas.MoveTo(rect.Left, rect.Bottom);
    canvas.LineTo(rect.Left, rect.Top);
    canvas.LineTo(rect.Right, rect.Top);
    canvas.Pen().SetColor(bottomColor);
    canvas.LineTo(rect.Right, rect.Bottom);
    canvas.LineTo(rect.Left - 1, rect.Bottom);
    ++rect.Left;
    ++rect.Top;
    --rect.Right;
    --rect.Bottom;
  }
  ++rect.Bottom;
  ++rect.Right;
}

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  SetBounds(0, 0, 185, 41);
  Private()->color = clBtnFace;
  ColorChanged();
}
TCustomPanel::~TCustomPanel() { DetachEvents(); }

TBevelCut TCustomPanel::BevelInner() const { return bevelInner_; }
void TCustomPanel::SetBevelInner(TBevelCut v) {
  bevelInner_ = v;
  Realign();
  Invalidate();
}
TBevelCut TCustomPanel::BevelOuter() const { return bevelOuter_; }
void TCustomPanel::SetBevelOuter(TBevelCut v) {
  bevelOuter_ = v;
  Realign();
  Invalidate();
}
int TCustomPanel::BevelWidth() const { return bevelWidth_; }
void TCustomPanel::SetBevelWidth(int v) {
  bevelWidth_ = std::max(1, v);
  Realign();
  Invalidate();
}
int TCustomPanel::BorderWidth() const { return borderWidth_; }
void TCustomPanel::SetBorderWidth(int v) {
  borderWidth_ = std::max(0, v);
  Realign();
  Invalidate();
}
TBorderStyle TCustomPanel::BorderStyle() const { return borderStyle_; }
void TCustomPanel::SetBorderStyle(TBorderStyle s) {
  borderStyle_ = s == bsSingle ? bsSingle : bsNone;
  Private()->frame = borderStyle_ == bsSingle ? 1 : 0;
  Realign();
  Invalidate();
}
TAlignment TCustomPanel::Alignment() const { return alignment_; }
void TCustomPanel::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}
TTextLayout TCustomPanel::VerticalAlignment() const { return verticalAlignment_; }
void TCustomPanel::SetVerticalAlignment(TTextLayout l) {
  verticalAlignment_ = l;
  Invalidate();
}
bool TCustomPanel::ParentBackground() const { return parentBackground_; }
void TCustomPanel::SetParentBackground(bool v) {
  parentBackground_ = v;
  if (QWidget* w = Private()->widget) w->setAutoFillBackground(!v);
  Invalidate();
}
bool TCustomPanel::AutoSize() const { return autoSize_; }
void TCustomPanel::SetAutoSize(bool v) { autoSize_ = v; }
bool TCustomPanel::FullRepaint() const { return fullRepaint_; }
void TCustomPanel::SetFullRepaint(bool v) { fullRepaint_ = v; }

TRect TCustomPanel::AlignClientRect() const {
  TRect r = ClientRect();
  int bevel = borderWidth_;
  if (bevelOuter_ != bvNone) bevel += bevelWidth_;
  if (bevelInner_ != bvNone) bevel += bevelWidth_;
  return Rect(r.Left + bevel, r.Top + bevel, r.Right - bevel, r.Bottom - bevel);
}

void TCustomPanel::Paint() {
  TCanvas* c = Canvas();
  TRect r = Rect(0, 0, Width(), Height());
  if (borderStyle_ == bsSingle) {
    c->Brush().SetColor(clWindowFrame);
    c->FrameRect(r);
    r = Rect(1, 1, Width() - 1, Height() - 1);
  }
  auto colors = [](TBevelCut cut, TColor& top, TColor& bottom) {
    top = cut == bvLowered ? clBtnShadow : clBtnHighlight;
    bottom = cut == bvLowered ? clBtnHighlight : clBtnShadow;
  };
  TColor top, bottom;
  if (bevelOuter_ != bvNone) {
    colors(bevelOuter_, top, bottom);
    Frame3D(*c, r, top, bottom, bevelWidth_);
  }
  Frame3D(*c, r, Color(), Color(), borderWidth_);
  if (bevelInner_ != bvNone) {
    colors(bevelInner_, top, bottom);
    Frame3D(*c, r, top, bottom, bevelWidth_);
  }
  if (!parentBackground_) {
    c->Brush().SetColor(Color());
    c->Brush().SetStyle(bsSolid);
    c->FillRect(r);
  }
  std::string text = StripHotkey(Caption());
  if (!text.empty()) {
    c->Brush().SetStyle(bsClear);
    c->Font().Assign(Font());
    const int th = c->TextHeight("W"), tw = c->TextWidth(text);
    int y = verticalAlignment_ == tlTop ? r.Top : verticalAlignment_ == tlBottom ? r.Bottom - th : (r.Bottom + r.Top - th) / 2;
    int x = alignment_ == taLeftJustify ? r.Left : alignment_ == taRightJustify ? r.Right - tw : r.Left + (r.Width() - tw) / 2;
    c->TextRect(r, x, y, text);
    c->Brush().SetStyle(bsSolid);
  }
  if (OnPaint) OnPaint(this);
}

bool TCustomPanel::TextRoom(TSize& needed, TSize& room) const {
  const std::string text = StripHotkey(Caption());
  if (text.empty()) return false;
  const QFontMetrics fm(ToQFont(*Font()));
  const TRect r = AlignClientRect();
  needed = TSize{fm.horizontalAdvance(QString::fromStdString(text)), fm.height()};
  room = TSize{r.Width(), r.Height()};
  return true;
}

void TCustomPanel::TextChanged() { Invalidate(); }

// ===========================================================================
// TBevel
// ===========================================================================
TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 50, 50); }
void TBevel::SetShape(TBevelShape s) {
  shape_ = s;
  Invalidate();
}
void TBevel::SetStyle(TBevelStyle s) {
  style_ = s;
  Invalidate();
}
void TBevel::Paint() {
  TCanvas* c = Canvas();
  TColor c1 = style_ == bsLowered ? clBtnShadow : clBtnHighlight;
  TColor c2 = style_ == bsLowered ? clBtnHighlight : clBtnShadow;
  const int w = Width(), h = Height();
  auto line = [c](TColor color, int x1, int y1, int x2, int y2) {
    c->Pen().SetColor(color);
    c->MoveTo(x1, y1);
    c->LineTo(x2, y2);
  };
  auto bevelRect = [&](const TRect& r, TColor a, TColor b) {
    c->Pen().SetColor(a);
    c->Polyline({TPoint(r.Left, r.Bottom), TPoint(r.Left, r.Top), TPoint(r.Right, r.Top)});
    c->Pen().SetColor(b);
    c->Polyline({TPoint(r.Right, r.Top), TPoint(r.Right, r.Bottom), TPoint(r.Left, r.Bottom)});
  };
  c->Pen().SetWidth(1);
  switch (shape_) {
    case bsBox: bevelRect(Rect(0, 0, w - 1, h - 1), c1, c2); break;
    case bsFrame:
      bevelRect(Rect(1, 1, w - 1, h - 1), c2, c2);
      bevelRect(Rect(0, 0, w - 2, h - 2), c1, c1);
      break;
    case bsTopLine:
      line(c1, 0, 0, w, 0);
      line(c2, 0, 1, w, 1);
      break;
    case bsBottomLine:
      line(c1, 0, h - 2, w, h - 2);
      line(c2, 0, h - 1, w, h - 1);
      break;
    case bsLeftLine:
      line(c1, 0, 0, 0, h);
      line(c2, 1, 0, 1, h);
      break;
    case bsRightLine:
      line(c1, w - 2, 0, w - 2, h);
      line(c2, w - 1, 0, w - 1, h);
      break;
    case bsSpacer: break;
  }
}

// ===========================================================================
// TSplitter
// ===========================================================================
TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetAlign(alLeft);
  SetBounds(0, 0, 3, 100);
  Private()->clickOnMouseUp = false;
  updateCursor();
}

void TSplitter::updateCursor() { SetCursor(Align() == alTop || Align() == alBottom ? crVSplit : crHSplit); }

void TSplitter::SetBeveled(bool v) {
  beveled_ = v;
  Invalidate();
}

TControl* TSplitter::ResizeControl() const {
  TWinControl* p = Parent();
  if (!p) return nullptr;
  TPoint pt(Left(), Top());
  switch (Align()) {
    case alLeft: --pt.X; break;
    case alRight: pt.X += Width(); break;
    case alTop: --pt.Y; break;
    case alBottom: pt.Y += Height(); break;
    default: return nullptr;
  }
  for (int i = 0; i < p->ControlCount(); ++i) {
    TControl* c = p->Controls(i);
    if (c == this || !c->Visible() || !c->Enabled()) continue;
    TRect r = c->BoundsRect();
    if (r.Width() == 0) (Align() == alTop || Align() == alLeft) ? --r.Left : ++r.Right;
    if (r.Height() == 0) (Align() == alTop || Align() == alLeft) ? --r.Top : ++r.Bottom;
    if (r.Contains(pt)) return c;
  }
  return nullptr;
}

void TSplitter::MoveBy(int delta) {
  TControl* c = ResizeControl();
  TWinControl* p = Parent();
  if (!c || !p || delta == 0) return;
  const bool horizontal = Align() == alLeft || Align() == alRight;
  const int old = horizontal ? c->Width() : c->Height();
  const int sign = (Align() == alLeft || Align() == alTop) ? 1 : -1;
  int newSize = old + sign * delta;
  // The room left for the other controls: the parent's client size less the aligned
  // controls on this axis, the resized one excepted.
  int room = horizontal ? p->ClientWidth() : p->ClientHeight();
  for (int i = 0; i < p->ControlCount(); ++i) {
    TControl* o = p->Controls(i);
    if (o == c || !o->Visible()) continue;
    if (horizontal && (o->Align() == alLeft || o->Align() == alRight)) room -= o->Width();
    if (!horizontal && (o->Align() == alTop || o->Align() == alBottom)) room -= o->Height();
  }
  const int maxSize = room - minSize_;
  if (newSize < minSize_)
    newSize = minSize_;
  else if (newSize > maxSize)
    newSize = maxSize;
  bool accept = true;
  if (OnCanResize) OnCanResize(this, newSize, accept);
  if (!accept) return;
  // Reaching the minimum size snaps the control shut.
  if (newSize <= minSize_ && autoSnap_) newSize = 0;
  newSize = std::max(0, newSize);
  if (newSize == old) return;
  if (horizontal)
    c->SetWidth(newSize);
  else
    c->SetHeight(newSize);
  if (resizeStyle_ == rsUpdate && OnMoved) OnMoved(this);
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  dragging_ = true;
  downPos_ = TPoint(X, Y);
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!dragging_) return;
  const bool horizontal = Align() == alLeft || Align() == alRight;
  int delta = horizontal ? X - downPos_.X : Y - downPos_.Y;
  // The splitter moves with the control, so the press point stays under the mouse.
  MoveBy(delta);
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft || !dragging_) return;
  dragging_ = false;
  if (resizeStyle_ != rsUpdate && OnMoved) OnMoved(this);
}

void TSplitter::Paint() {
  TCanvas* c = Canvas();
  c->Brush().SetColor(Color());
  c->FillRect(ClientRect());
  if (beveled_) {
    TRect r = ClientRect();
    if (Align() == alLeft || Align() == alRight)
      r = Rect(r.Left + 1, r.Top, r.Right - 1, r.Bottom);
    else
      r = Rect(r.Left, r.Top + 1, r.Right, r.Bottom - 1);
    Frame3D(*c, r, clBtnHighlight, clBtnShadow, 1);
  }
}

// ===========================================================================
// TImage
// ===========================================================================
TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), picture_(std::make_unique<TPicture>()) {
  picture_->OnChange = [this](TObject* sender) { pictureChanged(sender); };
  picture_->OnProgress = [this](TObject* sender, TProgressStage stage, uint8_t percent, bool redrawNow,
                                const TRect& r, const std::string& msg) {
    if (OnProgress) OnProgress(sender, stage, percent, redrawNow, r, msg);
  };
  SetBounds(0, 0, 105, 105);
}
TImage::~TImage() {
  DetachEvents();
  picture_->OnChange = nullptr;
  picture_->OnProgress = nullptr;
}

TPicture* TImage::Picture() const { return picture_.get(); }
void TImage::SetPicture(const TPicture* picture) { picture_->Assign(const_cast<TPicture*>(picture)); }

TCanvas* TImage::Canvas() {
  if (!picture_->Graphic()) {
    TBitmap bitmap;
    bitmap.SetSize(Width(), Height());
    picture_->SetGraphic(&bitmap);
  }
  auto* bitmap = dynamic_cast<TBitmap*>(picture_->Graphic());
  if (!bitmap) throw EInvalidOperation(_("Can only modify an image if it contains a bitmap"));
  return &bitmap->Canvas();
}

void TImage::SetAutoSize(bool v) {
  autoSize_ = v;
  if (v && picture_->Width() > 0 && picture_->Height() > 0) SetBounds(Left(), Top(), picture_->Width(), picture_->Height());
}
void TImage::SetStretch(bool v) {
  stretch_ = v;
  Invalidate();
}
void TImage::SetCenter(bool v) {
  center_ = v;
  Invalidate();
}
void TImage::SetProportional(bool v) {
  proportional_ = v;
  Invalidate();
}
void TImage::SetTransparent(bool v) {
  transparent_ = v;
  if (TGraphic* g = picture_->Graphic(); g && !dynamic_cast<TIcon*>(g) && !dynamic_cast<TMetafile*>(g))
    g->SetTransparent(v);
  Invalidate();
}

TRect TImage::DestRect() const {
  int w = picture_->Width(), h = picture_->Height();
  const int cw = ClientWidth(), ch = ClientHeight();
  if (stretch_ || (proportional_ && (w > cw || h > ch))) {
    if (proportional_ && w > 0 && h > 0) {
      const double aspect = double(w) / h;
      if (w > h) {
        w = cw;
        h = int(std::trunc(cw / aspect));
        if (h > ch) {
          h = ch;
          w = int(std::trunc(ch * aspect));
        }
      } else {
        h = ch;
        w = int(std::trunc(ch * aspect));
        if (w > cw) {
          w = cw;
          h = int(std::trunc(cw / aspect));
        }
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  TRect r(0, 0, w, h);
  if (center_) {
    r.Left += (cw - w) / 2;
    r.Right += (cw - w) / 2;
    r.Top += (ch - h) / 2;
    r.Bottom += (ch - h) / 2;
  }
  return r;
}

void TImage::Paint() {
  TGraphic* g = picture_->Graphic();
  if (!g || g->Empty()) return;
  bool saved = drawing_;
  drawing_ = true;
  try {
    TGraphicControl::Canvas()->StretchDraw(DestRect(), *g);
  } catch (...) {
    drawing_ = saved;
    throw;
  }
  drawing_ = saved;
}

void TImage::pictureChanged(TObject*) {
  if (autoSize_ && picture_->Width() > 0 && picture_->Height() > 0)
    SetBounds(Left(), Top(), picture_->Width(), picture_->Height());
  if (TGraphic* g = picture_->Graphic(); g && !dynamic_cast<TIcon*>(g) && !dynamic_cast<TMetafile*>(g))
    if (g->Transparent() != transparent_) g->SetTransparent(transparent_);
  if (!drawing_) Invalidate();
}

// ===========================================================================
// TPaintBox
// ===========================================================================
TPaintBox::TPaintBox(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 105, 105); }
void TPaintBox::Paint() {
  Canvas()->Font().Assign(Font());
  Canvas()->Brush().SetColor(Color());
  if (OnPaint) OnPaint(this);
}

// ===========================================================================
// Radio groups
// ===========================================================================
struct TCustomRadioGroup::Impl {
  std::unique_ptr<TStringList> items = std::make_unique<TStringList>();
  std::vector<TRadioButton*> buttons;
  int itemIndex = -1;
  int columns = 1;
  int updating = 0;
};

TCustomRadioGroup::TCustomRadioGroup(TComponent* AOwner) : TGroupBox(AOwner), impl_(std::make_unique<Impl>()) {
  impl_->items->OnChange = [this](TObject*) { ItemsChanged(); };
}
TCustomRadioGroup::~TCustomRadioGroup() {
  DetachEvents();
  impl_->items->OnChange = nullptr;
}

TStrings* TCustomRadioGroup::Items() const { return impl_->items.get(); }
void TCustomRadioGroup::SetItems(const TStrings* items) {
  if (items) impl_->items->Assign(*items);
}

void TCustomRadioGroup::ItemsChanged() {
  const int count = impl_->items->Count();
  ++impl_->updating;
  while (int(impl_->buttons.size()) > count) {
    TRadioButton* b = impl_->buttons.back();
    impl_->buttons.pop_back();
    delete b;
  }
  while (int(impl_->buttons.size()) < count) {
    auto* b = new TRadioButton(this);
    b->SetParent(this);
    b->OnClick = [this, b](TObject*) { ButtonClicked(b); };
    impl_->buttons.push_back(b);
  }
  for (int i = 0; i < count; ++i) {
    impl_->buttons[size_t(i)]->SetCaption(impl_->items->Strings(i));
    impl_->buttons[size_t(i)]->SetChecked(i == impl_->itemIndex);
  }
  if (impl_->itemIndex >= count) impl_->itemIndex = -1;
  --impl_->updating;
  AlignControls();
}

int TCustomRadioGroup::ItemIndex() const { return impl_->itemIndex; }
void TCustomRadioGroup::SetItemIndex(int index) {
  const int count = int(impl_->buttons.size());
  if (index < -1) index = -1;
  if (index >= count) index = count - 1;
  if (index == impl_->itemIndex) return;
  if (impl_->itemIndex >= 0) impl_->buttons[size_t(impl_->itemIndex)]->SetChecked(false);
  impl_->itemIndex = index;
  // Checking the button clicks it, and its click is the group's click.
  if (index >= 0) impl_->buttons[size_t(index)]->SetChecked(true);
}

int TCustomRadioGroup::Columns() const { return impl_->columns; }
void TCustomRadioGroup::SetColumns(int n) {
  impl_->columns = std::clamp(n, 1, 16);
  AlignControls();
}
TRadioButton* TCustomRadioGroup::Buttons(int index) const {
  if (index < 0 || index >= int(impl_->buttons.size()))
    gui::ListIndexError(index);
  return impl_->buttons[size_t(index)];
}

void TCustomRadioGroup::ButtonClicked(TRadioButton* button) {
  if (impl_->updating) return;
  auto it = std::find(impl_->buttons.begin(), impl_->buttons.end(), button);
  if (it == impl_->buttons.end()) return;
  impl_->itemIndex = int(it - impl_->buttons.begin());
  Click();
}

void TCustomRadioGroup::AlignControls() {
  TGroupBox::AlignControls();
  if (!impl_ || impl_->buttons.empty()) return;
  const int count = int(impl_->buttons.size());
  const int cols = impl_->columns;
  const int perCol = (count + cols - 1) / cols;
  const int buttonWidth = (Width() - 10) / cols;
  QFontMetrics fm(ToQFont(*Font()));
  const int room = Height() - fm.height() - 5;
  const int buttonHeight = room / perCol;
  const int topMargin = fm.height() + 1 + (room % perCol) / 2;
  for (int i = 0; i < count; ++i)
    impl_->buttons[size_t(i)]->SetBounds((i / perCol) * buttonWidth + 8, (i % perCol) * buttonHeight + topMargin,
                                         buttonWidth, buttonHeight);
}

// ===========================================================================
// TTimer
// ===========================================================================
struct TTimer::Impl {
  QTimer* timer = nullptr;
  unsigned interval = 1000;
  bool enabled = true;
  void update() {
    if (enabled && interval > 0)
      timer->start(int(std::min<unsigned>(interval, 0x7FFFFFFF)));
    else
      timer->stop();
  }
};

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner), impl_(std::make_unique<Impl>()) {
  EnsureQtApplication();
  impl_->timer = new QTimer();
  QObject::connect(impl_->timer, &QTimer::timeout, impl_->timer, [this] { Timer(); });
  impl_->update();
}
TTimer::~TTimer() {
  impl_->timer->stop();
  gui::DeleteSafely(impl_->timer);
}
bool TTimer::Enabled() const { return impl_->enabled; }
void TTimer::SetEnabled(bool v) {
  if (v == impl_->enabled) return;
  impl_->enabled = v;
  impl_->update();
}
unsigned TTimer::Interval() const { return impl_->interval; }
void TTimer::SetInterval(unsigned ms) {
  if (ms == impl_->interval) return;
  impl_->interval = ms;
  impl_->update();
}
void TTimer::Timer() {
  if (OnTimer) gui::SafeCall(this, [this] { OnTimer(this); });
}

// ===========================================================================
// Colour names and the colour box
// ===========================================================================
namespace {
struct NamedColor {
  TColor color;
  const char* ident;
  const char* pretty;
};
constexpr NamedColor kStandard[] = {
    {clBlack, "clBlack", "Black"},       {clMaroon, "clMaroon", "Maroon"}, {clGreen, "clGreen", "Green"},
    {clOlive, "clOlive", "Olive"},       {clNavy, "clNavy", "Navy"},       {clPurple, "clPurple", "Purple"},
    {clTeal, "clTeal", "Teal"},          {clGray, "clGray", "Gray"},       {clSilver, "clSilver", "Silver"},
    {clRed, "clRed", "Red"},             {clLime, "clLime", "Lime"},       {clYellow, "clYellow", "Yellow"},
    {clBlue, "clBlue", "Blue"},          {clFuchsia, "clFuchsia", "Fuchsia"}, {clAqua, "clAqua", "Aqua"},
    {clWhite, "clWhite", "White"},
};
constexpr NamedColor kExtended[] = {
    {clMoneyGreen, "clMoneyGreen", "Money Green"}, {clSkyBlue, "clSkyBlue", "Sky Blue"},
    {clCream, "clCream", "Cream"},                 {clMedGray, "clMedGray", "Medium Gray"},
};
constexpr NamedColor kSystem[] = {
    {clActiveBorder, "clActiveBorder", "Active Border"},
    {clActiveCaption, "clActiveCaption", "Active Caption"},
    {clAppWorkSpace, "clAppWorkSpace", "Application Workspace"},
    {clBackground, "clBackground", "Background"},
    {clBtnFace, "clBtnFace", "Button Face"},
    {clBtnHighlight, "clBtnHighlight", "Button Highlight"},
    {clBtnShadow, "clBtnShadow", "Button Shadow"},
    {clBtnText, "clBtnText", "Button Text"},
    {clCaptionText, "clCaptionText", "Caption Text"},
    {clGrayText, "clGrayText", "Gray Text"},
    {clHighlight, "clHighlight", "Highlight Background"},
    {clHighlightText, "clHighlightText", "Highlight Text"},
    {clInactiveBorder, "clInactiveBorder", "Inactive Border"},
    {clInactiveCaption, "clInactiveCaption", "Inactive Caption"},
    {clInactiveCaptionText, "clInactiveCaptionText", "Inactive Caption Text"},
    {clInfoBk, "clInfoBk", "Info Background"},
    {clInfoText, "clInfoText", "Info Text"},
    {clMenu, "clMenu", "Menu Background"},
    {clMenuText, "clMenuText", "Menu Text"},
    {clScrollBar, "clScrollBar", "Scroll Bar"},
    {cl3DDkShadow, "cl3DDkShadow", "3D Dark Shadow"},
    {cl3DLight, "cl3DLight", "3D Light"},
    {clWindow, "clWindow", "Window Background"},
    {clWindowFrame, "clWindowFrame", "Window Frame"},
    {clWindowText, "clWindowText", "Window Text"},
};
constexpr NamedColor kSpecial[] = {{clNone, "clNone", "None"}, {clDefault, "clDefault", "Default"}};

template <class F>
bool ForEachNamed(F f) {
  for (const auto* table : {static_cast<const NamedColor*>(kStandard), static_cast<const NamedColor*>(kExtended),
                            static_cast<const NamedColor*>(kSystem), static_cast<const NamedColor*>(kSpecial)}) {
    size_t n = table == kStandard ? std::size(kStandard)
               : table == kExtended ? std::size(kExtended)
               : table == kSystem   ? std::size(kSystem)
                                    : std::size(kSpecial);
    for (size_t i = 0; i < n; ++i)
      if (f(table[i])) return true;
  }
  return false;
}

QIcon Swatch(TColor c) {
  QPixmap pm(14, 12);
  pm.fill(ToQColor(c));
  return QIcon(pm);
}
}  // namespace

std::string ColorToString(TColor color) {
  std::string found;
  ForEachNamed([&](const NamedColor& n) {
    if (n.color != color) return false;
    found = n.ident;
    return true;
  });
  if (!found.empty()) return found;
  char buf[16];
  snprintf(buf, sizeof buf, "$%.8X", unsigned(color));
  return buf;
}

bool IdentToColor(const std::string& ident, TColor& color) {
  return ForEachNamed([&](const NamedColor& n) {
    if (strcasecmp(n.ident, ident.c_str()) != 0) return false;
    color = n.color;
    return true;
  });
}

TColor StringToColor(const std::string& text) {
  TColor c;
  if (IdentToColor(text, c)) return c;
  return TColor(StrToInt(text));
}

namespace {
class ColorBoxWidget : public HostWidget<QComboBox> {
 public:
  explicit ColorBoxWidget(TControl* c) : HostWidget<QComboBox>(c) {}
};
void MakeColorBoxWidget(TControl* c) {
  auto* w = new ColorBoxWidget(c);
  gui::AttachWidget(c, w);
  QObject::connect(w, &QComboBox::activated, w, [c, w](int) {
    if (!w->control()) return;
    auto* box = static_cast<TColorBox*>(c);
    gui::SafeCall(box, [box] {
      box->Click();
      box->Select();
    });
  });
}
}  // namespace

TColorBox::TColorBox(TComponent* AOwner) : TCustomComboBox(AOwner, &MakeColorBoxWidget) {
  TCustomComboBox::SetStyle(csDropDownList);
  fill();
}
TColorBox::~TColorBox() { DetachEvents(); }

void TColorBox::fill() {
  TStrings* items = Items();
  items->BeginUpdate();
  items->Clear();
  auto add = [&](const NamedColor& n) {
    bool pretty = style_.Contains(cbPrettyNames);
    TColor shown = n.color == clDefault ? defaultColorColor_ : n.color == clNone ? noneColorColor_ : n.color;
    // Pretty names are the user's words for the colours, in the interface language.
    items->AddObject(pretty ? _(n.pretty) : n.ident, reinterpret_cast<TObject*>(intptr_t(uint32_t(n.color))));
    if (auto* box = qobject_cast<QComboBox*>(Private()->widget.data())) box->setItemIcon(box->count() - 1, Swatch(shown));
  };
  if (style_.Contains(cbCustomColor)) {
    items->AddObject(_("Custom..."), reinterpret_cast<TObject*>(intptr_t(uint32_t(clBlack))));
  }
  if (style_.Contains(cbStandardColors))
    for (const auto& n : kStandard) add(n);
  if (style_.Contains(cbExtendedColors))
    for (const auto& n : kExtended) add(n);
  if (style_.Contains(cbSystemColors))
    for (const auto& n : kSystem) add(n);
  if (style_.Contains(cbIncludeNone)) add(kSpecial[0]);
  if (style_.Contains(cbIncludeDefault)) add(kSpecial[1]);
  items->EndUpdate();
  SetSelected(selected_);
}

TColor TColorBox::Selected() const { return selected_; }
void TColorBox::SetSelected(TColor color) {
  selected_ = color;
  int index = Items()->IndexOfObject(reinterpret_cast<TObject*>(intptr_t(uint32_t(color))));
  if (index == 0 && style_.Contains(cbCustomColor)) index = -1;
  if (index < 0 && style_.Contains(cbCustomColor)) {
    Items()->SetObjects(0, reinterpret_cast<TObject*>(intptr_t(uint32_t(color))));
    if (auto* box = qobject_cast<QComboBox*>(Private()->widget.data())) box->setItemIcon(0, Swatch(color));
    index = 0;
  }
  SetItemIndex(index);
}
TColorBoxStyle TColorBox::Style() const { return style_; }
void TColorBox::SetStyle(TColorBoxStyle style) {
  style_ = style;
  fill();
}
TColor TColorBox::DefaultColorColor() const { return defaultColorColor_; }
void TColorBox::SetDefaultColorColor(TColor c) {
  defaultColorColor_ = c;
  fill();
}
TColor TColorBox::NoneColorColor() const { return noneColorColor_; }
void TColorBox::SetNoneColorColor(TColor c) {
  noneColorColor_ = c;
  fill();
}
int TColorBox::ColorCount() const { return Items()->Count(); }
TColor TColorBox::Colors(int index) const { return TColor(intptr_t(Items()->Objects(index))); }
std::string TColorBox::ColorNames(int index) const { return Items()->Strings(index); }

void TColorBox::Select() {
  const int index = ItemIndex();
  if (index == 0 && style_.Contains(cbCustomColor)) {
    TColorDialog dialog(nullptr);
    dialog.SetColor(selected_);
    if (!dialog.Execute()) {
      SetSelected(selected_);
      return;
    }
    SetSelected(dialog.Color());
  } else if (index >= 0) {
    selected_ = Colors(index);
  }
  TCustomComboBox::Select();
}
