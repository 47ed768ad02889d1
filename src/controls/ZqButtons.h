#pragma once
// What the two glyph buttons (TZqSpeedButton, TZqButton) share: the colour schemes, the
// routine that paints a complete button face (background, frame, glyph cell, caption,
// drop-down arrow) into a canvas, the 32-band gradient, the colour blend of the hot-track
// fade, the fader that steps that fade every 30 ms, and the face properties both publish.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/graphics/Graphics.h"
#include "platform/gui/Controls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"

enum TZqColorStyle : uint8_t {
  zcsCustom,
  zcsGold,
  zcsChrome,
  zcsBlue,
  zcsRed,
  zcsUltraFlat1,
  zcsUltraFlat2,
  zcsUltraFlatXP,
  zcsAqua,
  zcsDefault,
  ZscFlatDefault,
  zcsQuicken,
  zcsGreens,
  zcsLightBlue
};

// Face styles and glyph layouts; the push button's types are the same ones.
enum TZqSpeedButtonStyle { bsNormal, bsEncarta, bsModern, bsOld, bsShape, bsQuicken };
using TZqButtonStyle = TZqSpeedButtonStyle;
enum TZqSpeedButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
using TZqButtonLayout = TZqSpeedButtonLayout;

// The values a colour scheme gives a button.
struct TZqScheme {
  TColor Color = clBtnFace;
  TColor LightColor = clWhite;
  bool Quicken = false;
  bool Modern = false;
  bool Flat = false;
  TColor FontColor = clBlack;
  TColor HotTrackColor = clNone;
  TColor ColorWhenDown = clNone;
  TColor ShadowColor = clGray;
};
// The scheme of a colour style (only the low 7 bits of the ordinal count); false for
// zcsCustom and unknown ordinals, which change nothing.
bool ZqColorScheme(int style, TZqScheme& scheme);

// face x (1 - step/8) + hot x step/8 on each channel, rounded (halves to even); both
// colours are resolved to plain RGB first. Step 0 gives face, step 8 gives hot.
TColor ZqBlend(TColor face, TColor hot, int step);

// Fills the band with 32 horizontal stripes from first (top) to second (bottom): stripe
// i (0..31) starts at top + i x (bottom - top) div 31, is (bottom - top) div 31 + 1 rows
// high (cut off at bottom) and has first + i x (second - first) / 31 on each channel.
void ZqGradient(TCanvas& canvas, TColor first, TColor second, int left, int top, int right, int bottom);

// Key colour of the transparent parts of a face bitmap (magenta).
constexpr TColor ZqKeyColor = TColor(0x00FF00FF);
// Grey of a disabled caption.
constexpr TColor ZqDisabledTextColor = TColor(0x00808080);

// The inputs of one face.
struct TZqFace {
  int Width = 0;
  int Height = 0;
  TAlignment Alignment = taCenter;
  std::string Caption;  // '&' marks the accelerator, "&&" is a real '&'
  TZqSpeedButtonLayout Layout = blGlyphLeft;
  const TFont* Font = nullptr;  // nullptr: the canvas's font
  TColor ShadowColor = clGray;
  TColor LightColor = clWhite;
  TColor HotTrackColor = clNone;
  TColor ColorWhenDown = clNone;
  TColor Color = clBtnFace;
  TZqSpeedButtonStyle Style = bsNormal;
  bool HasPopupMenu = false;
  bool WordWrap = false;
  bool Flat = false;
  bool Enabled = true;
  bool Transparent = false;  // no background
  bool MouseInside = false;
  bool Down = false;
  const TBitmap* Glyph = nullptr;  // NumGlyphs cells side by side
  int NumGlyphs = 0;
  int FadeStep = 0;  // 0 .. 8
};

// The face colour the face routine uses (hot-track blend, colour when down).
TColor ZqFaceColor(const TZqFace& face);
// The glyph cell shown: 1 when disabled, 3 under the mouse (more than 3 cells), 2 when
// down (more than 2 cells, down wins), else 0; a cell the strip does not have becomes 0.
int ZqGlyphCell(const TZqFace& face);
// Paints the whole face into canvas (0, 0) .. (Width - 1, Height - 1).
void DrawZqFace(TCanvas& canvas, const TZqFace& face);
// The caption shortened from its end, one character at a time, until it fits maxWidth
// pixels of the canvas's font; accelerator marks stay.
std::string ShortenZqCaption(TCanvas& canvas, const std::string& caption, int maxWidth);

// The room the face's caption needs to be read whole - its widest line (its widest word
// when it wraps) beside the glyph, clear of the drop-down arrow, and its lines - or, with
// a glyph alone, the glyph; and the face's size. False with neither caption nor glyph.
bool ZqCaptionRoom(const TZqFace& face, TSize& needed, TSize& room);

// The program's own small bitmaps under their resource names: "ZQARROW" (the drop-down
// arrow, its background the colour of its bottom-left pixel, drawn transparent) and the
// glyph strips of the push button's kinds ("ZQOK", "ZQCANCEL", "ZQHELP", "ZQYES", "ZQNO",
// "ZQCLOSE", "ZQABORT", "ZQRETRY", "ZQIGNORE", "ZQALL": the icon of the glyph table as two
// 16 x 16 cells with alpha, plain and disabled). An unknown name, or a glyph found
// nowhere, gives an empty bitmap.
const TBitmap& ZqResourceBitmap(const std::string& name);

// The hot-track fader: while running it calls its step every 30 ms on the GUI thread.
// Created suspended; the owning button resumes it when a fade must run and the step
// suspends it when the fade is over.
class TZqButtonThread {
 public:
  explicit TZqButtonThread(std::function<void()> step);
  ~TZqButtonThread();
  void Resume();
  void Suspend();
  bool Suspended() const;
  static constexpr unsigned Interval = 30;

 private:
  std::unique_ptr<TTimer> timer_;
};

// The face properties, hot tracking and painting both buttons share, on top of the
// control class they are built on (TGraphicControl for the speed button, TCustomControl
// for the push button). A setter does nothing when the value is unchanged; otherwise it
// stores the value and repaints (at once, or later for the properties that change the
// layout).
template <class Base>
class TZqButtonBase : public Base {
 public:
  TZqButtonBase(TComponent* AOwner, TAlignment alignment, TColor shadowColor)
      : Base(AOwner), alignment_(alignment), shadowColor_(shadowColor) {
    Base::SetBounds(0, 0, 100, 23);
    if (auto* form = dynamic_cast<TCustomForm*>(AOwner)) hotTrackFont_.Assign(form->Font());
  }
  ~TZqButtonBase() override { fader_.reset(); }

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a) { set(alignment_, a, true); }
  TZqColorStyle ColorStyle() const { return colorStyle_; }
  // Any scheme but zcsCustom writes its colours, flatness and style into the button.
  void SetColorStyle(TZqColorStyle style) {
    colorStyle_ = style;
    TZqScheme s;
    if (!ZqColorScheme(style, s)) return;
    Base::SetColor(s.Color);
    lightColor_ = s.LightColor;
    shadowColor_ = s.ShadowColor;
    colorWhenDown_ = s.ColorWhenDown;
    hotTrackColor_ = s.HotTrackColor;
    Base::Font()->SetColor(s.FontColor);
    flat_ = s.Flat;
    style_ = bsNormal;
    if (s.Modern) SetStyle(bsModern);
    if (s.Quicken) SetStyle(bsQuicken);
    paintNow();
  }
  TColor ColorWhenDown() const { return colorWhenDown_; }
  void SetColorWhenDown(TColor c) { set(colorWhenDown_, c, true); }
  // No frame unless the mouse is inside or the button is down.
  bool Flat() const { return flat_; }
  void SetFlat(bool v) { set(flat_, v, true); }
  // The glyph strip: NumGlyphs cells side by side. Setting it copies the bitmap and sets
  // NumGlyphs to its width div its height (0 when empty); nullptr empties it.
  const TBitmap* Glyph() const { return &glyph_; }
  virtual void SetGlyph(const TBitmap* bitmap) {
    glyph_.Assign(const_cast<TBitmap*>(bitmap));
    numGlyphs_ = (bitmap && glyph_.Height() > 0) ? glyph_.Width() / glyph_.Height() : 0;
    Base::Invalidate();
  }
  // The face colour under the mouse (clNone: no change).
  TColor HotTrackColor() const { return hotTrackColor_; }
  void SetHotTrackColor(TColor c) { set(hotTrackColor_, c, true); }
  TFont* HotTrackFont() { return &hotTrackFont_; }
  void SetHotTrackFont(const TFont* font) {
    hotTrackFont_.Assign(const_cast<TFont*>(font));
    Base::Invalidate();
  }
  TZqSpeedButtonLayout Layout() const { return layout_; }
  void SetLayout(TZqSpeedButtonLayout l) { set(layout_, l, true); }
  TColor LightColor() const { return lightColor_; }
  void SetLightColor(TColor c) { set(lightColor_, c, true); }
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int n) { set(numGlyphs_, n < 0 ? 0 : n, false); }
  TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(TColor c) { set(shadowColor_, c, true); }
  // Fade the hot-track colour out over 8 steps of 30 ms after the mouse leaves.
  bool SlowDecease() const { return slowDecease_; }
  void SetSlowDecease(bool v) {
    if (v == slowDecease_) return;
    slowDecease_ = v;
    if (v) {
      if (!fader_) fader_ = std::make_unique<TZqButtonThread>([this] { FadeStep(); });
    } else {
      fadeStep_ = 0;
      fader_.reset();
    }
    Base::Invalidate();
  }
  TZqSpeedButtonStyle Style() const { return style_; }
  virtual void SetStyle(TZqSpeedButtonStyle s) { set(style_, s, false); }
  bool UseHotTrackFont() const { return useHotTrackFont_; }
  void SetUseHotTrackFont(bool v) { set(useHotTrackFont_, v, false); }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v) { set(wordWrap_, v, true); }

  // Fired when the mouse leaves an enabled, visible button.
  TNotifyEvent OnMouseExit;

  // Hot tracking: entering an enabled button shows the hot-track colour at once; leaving
  // fades it out step by step (SlowDecease) or at once.
  void MouseEnter() override {
    if (!Base::Enabled() || !Base::Visible() || !parentShowing()) return;
    mouseInside_ = true;
    fadeStep_ = 8;
    Base::Repaint();
    Base::MouseEnter();
  }
  void MouseLeave() override {
    mouseInside_ = false;
    if (slowDecease_ && fader_) {
      if (fader_->Suspended()) fader_->Resume();
    } else {
      fadeStep_ = 0;
      Base::Repaint();
    }
    if (Base::Enabled() && Base::Visible() && parentShowing() && OnMouseExit) OnMouseExit(this);
  }
  // One step of the fade (the fader runs it every 30 ms).
  void FadeStep() {
    if (--fadeStep_ < 1) {
      if (fader_ && !fader_->Suspended()) fader_->Suspend();
      fadeStep_ = 0;
    }
    Base::Repaint();
  }
  bool MouseInside() const { return mouseInside_; }
  int FadeStepValue() const { return fadeStep_; }
  // The fader exists (SlowDecease, or always for the push button) and is running.
  bool Fading() const { return fader_ && !fader_->Suspended(); }

  bool TextRoom(TSize& needed, TSize& room) const override { return ZqCaptionRoom(Face(), needed, room); }

  // The face as the button draws it now (for painting and for tests).
  TZqFace Face() const {
    TZqFace face;
    face.Width = Base::Width();
    face.Height = Base::Height();
    face.Alignment = alignment_;
    face.Caption = Base::Caption();
    face.Layout = layout_;
    face.Font = useHotTrackFont_ && FaceHot() ? &hotTrackFont_ : Base::Font();
    face.ShadowColor = shadowColor_;
    face.LightColor = lightColor_;
    face.HotTrackColor = hotTrackColor_;
    face.ColorWhenDown = colorWhenDown_;
    face.Color = Base::Color();
    face.Style = style_;
    face.HasPopupMenu = Base::PopupMenu() != nullptr;
    face.WordWrap = wordWrap_;
    face.Flat = flat_;
    face.Enabled = Base::Enabled();
    face.MouseInside = FaceHot();
    face.Down = FaceDown();
    face.Glyph = &glyph_;
    face.NumGlyphs = numGlyphs_;
    face.FadeStep = fadeStep_;
    return face;
  }

 protected:
  // Whether the face is drawn pressed, and drawn as under the mouse.
  virtual bool FaceDown() const = 0;
  virtual bool FaceHot() const { return mouseInside_; }
  // Repaints at once (setters that keep the layout).
  virtual void paintNow() { Base::Repaint(); }
  bool parentShowing() const { return Base::Parent() && Base::Parent()->Showing(); }
  // A face bitmap of the button's size; shaped styles get the transparent key colour.
  static void PrepareBuffer(TBitmap& buffer, int w, int h, bool keyed) {
    buffer.SetPixelFormat(pf24bit);
    buffer.SetSize(w, h);
    if (keyed) {
      buffer.Canvas().Brush().SetColor(ZqKeyColor);
      buffer.Canvas().FillRect(Rect(0, 0, w, h));
      buffer.SetTransparentColor(ZqKeyColor);
      buffer.SetTransparent(true);
    }
  }
  static bool ShapedStyle(TZqSpeedButtonStyle s) { return s == bsModern || s == bsShape || s == bsQuicken; }
  void TextChanged() override {
    Base::TextChanged();
    Base::Invalidate();
  }
  void FontChanged() override {
    Base::FontChanged();
    Base::Invalidate();
  }
  void ColorChanged() override {
    Base::ColorChanged();
    Base::Invalidate();
  }
  template <class T>
  void set(T& field, T value, bool now) {
    if (field == value) return;
    field = value;
    if (now)
      paintNow();
    else
      Base::Invalidate();
  }
  void makeFader() {
    if (!fader_) fader_ = std::make_unique<TZqButtonThread>([this] { FadeStep(); });
  }

 private:
  TAlignment alignment_;
  TZqColorStyle colorStyle_ = zcsCustom;
  TColor colorWhenDown_ = clNone;
  bool flat_ = false;
  TBitmap glyph_;
  TColor hotTrackColor_ = clNone;
  TFont hotTrackFont_;
  TZqSpeedButtonLayout layout_ = blGlyphLeft;
  TColor lightColor_ = clWhite;
  int numGlyphs_ = 0;
  TColor shadowColor_;
  bool slowDecease_ = false;
  TZqSpeedButtonStyle style_ = bsNormal;
  bool useHotTrackFont_ = false;
  bool wordWrap_ = false;
  bool mouseInside_ = false;
  int fadeStep_ = 0;
  std::unique_ptr<TZqButtonThread> fader_;
};
