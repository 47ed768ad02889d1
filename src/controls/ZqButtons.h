#pragma once
// What the two glyph buttons (TZqSpeedButton, TZqButton) share: the routine that paints
// a button face into a canvas, and the face properties both publish. This first version
// paints the plain face: background in the face colour, a light and a shadow bevel line
// (swapped while down), and the caption moved by one pixel while down.
#include <string>

#include "platform/graphics/Graphics.h"
#include "platform/gui/Controls.h"

// The inputs of one face.
struct TZqFace {
  int Width = 0;
  int Height = 0;
  std::string Caption;  // '&' marks an accelerator, "&&" is a real '&'
  TAlignment Alignment = taCenter;
  const TFont* Font = nullptr;  // nullptr: the canvas's font
  TColor Color = clBtnFace;
  TColor LightColor = clWhite;
  TColor ShadowColor = clGray;
  bool Flat = false;
  bool Enabled = true;
  bool MouseInside = false;
  bool Down = false;
  bool WordWrap = false;
};

// Grey of a disabled caption.
constexpr TColor ZqDisabledTextColor = TColor(0x808080);

// Paints the face into canvas (0, 0) .. (Width - 1, Height - 1). A disabled button is never
// drawn down; a flat one gets its frame only while the mouse is inside or it is down. The
// caption is shortened from its end until it fits Width - 8 unless WordWrap is set.
void DrawZqFace(TCanvas& canvas, const TZqFace& face);

// The caption as drawn: accelerator marks removed, shortened to maxWidth pixels of canvas's font.
std::string FittedZqCaption(TCanvas& canvas, const std::string& caption, int maxWidth);

// The face properties and painting both buttons share, on top of the control class they
// are built on (TGraphicControl for the speed button, TCustomControl for the push button).
// A setter does nothing when the value is unchanged, else stores it and repaints.
template <class Base>
class TZqButtonBase : public Base {
 public:
  explicit TZqButtonBase(TComponent* AOwner, TAlignment alignment, TColor shadowColor)
      : Base(AOwner), alignment_(alignment), shadowColor_(shadowColor) {
    Base::SetBounds(0, 0, 100, 23);
  }

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a) { update(alignment_, a); }
  // No frame unless the mouse is inside or the button is down.
  bool Flat() const { return flat_; }
  void SetFlat(bool v) { update(flat_, v); }
  TColor LightColor() const { return lightColor_; }
  void SetLightColor(TColor c) { update(lightColor_, c); }
  TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(TColor c) { update(shadowColor_, c); }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v) { update(wordWrap_, v); }

  // The face as the button draws it now (for painting and for tests).
  TZqFace Face() const {
    TZqFace face;
    face.Width = Base::Width();
    face.Height = Base::Height();
    face.Caption = Base::Caption();
    face.Alignment = alignment_;
    face.Font = Base::Font();
    face.Color = Base::Color();
    face.LightColor = lightColor_;
    face.ShadowColor = shadowColor_;
    face.Flat = flat_;
    face.Enabled = Base::Enabled();
    face.MouseInside = FaceHot();
    face.Down = FaceDown();
    face.WordWrap = wordWrap_;
    return face;
  }

  void MouseEnter() override {
    if (!Base::Enabled() || !Base::Visible()) return;
    mouseInside_ = true;
    Base::Invalidate();
    Base::MouseEnter();
  }
  void MouseLeave() override {
    if (mouseInside_) Base::Invalidate();
    mouseInside_ = false;
    if (Base::Enabled() && Base::Visible()) Base::MouseLeave();
  }

 protected:
  // Whether the face is drawn pressed, and drawn as under the mouse.
  virtual bool FaceDown() const = 0;
  virtual bool FaceHot() const { return mouseInside_; }
  // Draws the face into an off-screen bitmap of the button's size; the caller adds to it
  // and copies it to the screen in one step.
  void PaintFace(TBitmap& buffer, const TZqFace& face) {
    buffer.SetPixelFormat(pf24bit);
    buffer.SetSize(Base::Width(), Base::Height());
    DrawZqFace(buffer.Canvas(), face);
  }
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
  void update(T& field, T value) {
    if (field == value) return;
    field = value;
    Base::Invalidate();
  }

 private:
  bool mouseInside_ = false;
  TAlignment alignment_;
  bool flat_ = false;
  TColor lightColor_ = clWhite;
  TColor shadowColor_;
  bool wordWrap_ = false;
};
