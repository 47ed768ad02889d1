// The glyph buttons: faces rendered into bitmaps and checked at the pixels the drawing
// rules fix (frames, glyph cell and place, caption place, disabled grey, hot-track colour,
// the shaped styles), the colour schemes, the fader, and the behaviour of the speed and
// push buttons with real mouse and key events.

#include <algorithm>
#include <chrono>
#include <cmath>

#include "ControlsTestSupport.h"
#include "TestSupport.h"
#include "controls/ZqButton.h"
#include "controls/ZqGlyphs.h"
#include "controls/ZqSpeedButton.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinCalls.h"

namespace {

constexpr TColor kFace = RGB(200, 180, 160), kLight = RGB(250, 250, 240), kShadow = RGB(20, 30, 40);
constexpr TColor kCells[4] = {clRed, clLime, clBlue, clYellow};

TZqFace PlainFace(int w, int h) {
  TZqFace face;
  face.Width = w;
  face.Height = h;
  face.Color = kFace;
  face.LightColor = kLight;
  face.ShadowColor = kShadow;
  return face;
}

std::unique_ptr<TBitmap> Draw(const TZqFace& face) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf24bit);
  bmp->SetSize(face.Width, face.Height);
  bmp->Canvas().Brush().SetColor(ZqKeyColor);
  bmp->Canvas().FillRect(Rect(0, 0, face.Width, face.Height));
  DrawZqFace(bmp->Canvas(), face);
  return bmp;
}

// A strip of n cells, 10 x 8 each: a 6 x 5 square of the cell's colour at (2, 1) on the
// key colour (the bottom-left pixel, so the key is the transparent colour).
std::unique_ptr<TBitmap> Strip(int n) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(10 * n, 8);
  TCanvas& c = b->Canvas();
  c.Brush().SetColor(ZqKeyColor);
  c.FillRect(Rect(0, 0, 10 * n, 8));
  for (int i = 0; i < n; ++i) {
    c.Brush().SetColor(kCells[i]);
    c.FillRect(Rect(10 * i + 2, 1, 10 * i + 8, 6));
  }
  return b;
}

// Where the glyph's cell was drawn (its top-left corner) and which cell it was; -1 when none.
int GlyphAt(const TBitmap& face, TPoint& at) {
  for (int i = 0; i < 4; ++i) {
    TRect r = pixels::Bounds(face, Rect(0, 0, face.Width(), face.Height()), pixels::Is(kCells[i]));
    if (r.IsEmpty()) continue;
    at = Point(r.Left - 2, r.Top - 1);
    return i;
  }
  return -1;
}

// The strip's cells against the SVG the icon was drawn from, as librsvg draws it: the
// plain cell is the picture, the disabled one grey and half as opaque, the down one
// darker and the hot one lighter.
void CheckStrip(const TBitmap& strip, int cells, const std::string& svg) {
  ASSERT_EQ(strip.PixelFormat(), pf32bit);
  ASSERT_EQ(strip.Width(), 16 * cells);
  ASSERT_EQ(strip.Height(), 16);
  if (testsupport::ToolPath("rsvg-convert").empty()) GTEST_SKIP() << "rsvg-convert missing";
  const std::string png = testsupport::TempPath("icon.png");
  ASSERT_EQ(testsupport::Run({"rsvg-convert", "-w", "16", "-h", "16", svg, "-o", png}).exitCode, 0);
  const testsupport::Raster drawn = testsupport::ImageMagickRaster(png, {"-depth", "8", "-alpha", "on"});
  ASSERT_EQ(drawn.channels, 4);
  int unlike = 0, seen = 0;
  for (int y = 0; y < 16; ++y) {
    const uint8_t* row = strip.ScanLine(y);
    for (int x = 0; x < 16; ++x) {
      const uint8_t* plain = row + 4 * x;
      const int alpha = drawn.at(x, y, 3);
      if (std::abs(plain[3] - alpha) > 48 || (alpha > 200 && std::abs(plain[2] - drawn.at(x, y, 0)) > 48)) ++unlike;
      if (plain[3] < 200) continue;
      ++seen;
      const uint8_t* grey = plain + 64;
      EXPECT_TRUE(grey[0] == grey[1] && grey[1] == grey[2] && std::abs(grey[3] - plain[3] / 2) <= 1) << x << "," << y;
      for (int c = 0; c < 3 && cells == 4; ++c) {
        EXPECT_LE(plain[128 + c], plain[c]) << "down is darker at " << x << "," << y;
        EXPECT_GE(plain[192 + c], plain[c]) << "hot is lighter at " << x << "," << y;
      }
    }
  }
  EXPECT_GT(seen, 10);
  EXPECT_LE(unlike, 12) << "pixels unlike the drawing";
}

struct TextSize {
  int w, h;
};
TextSize Measure(const TFont& font, const std::string& text) {
  TBitmap scratch;
  scratch.SetSize(1, 1);
  scratch.Canvas().SetFont(font);
  return {scratch.Canvas().TextWidth(text), scratch.Canvas().TextHeight(text)};
}

// The colour a 32-stripe gradient from first (at top) to second (at bottom) leaves on row
// y: stripe i covers top + i (bottom - top) div 31 and the (bottom - top) div 31 rows below
// it, later stripes over earlier ones; its channels are first + i (second - first) / 31.
TColor StripeColor(TColor first, TColor second, int top, int bottom, int y) {
  const int span = bottom - top;
  int stripe = -1;
  for (int i = 0; i < 32; ++i) {
    const int from = top + i * span / 31, to = std::min(from + span / 31 + 1, bottom);
    if (y >= from && y < to) stripe = i;
  }
  auto channel = [stripe](int a, int b) { return uint8_t(std::lround(a + stripe * (b - a) / 31.0)); };
  return RGB(channel(GetRValue(first), GetRValue(second)), channel(GetGValue(first), GetGValue(second)),
             channel(GetBValue(first), GetBValue(second)));
}

TFont TestFont() {
  TFont f;
  f.SetName("DejaVu Sans");
  f.SetSize(9);
  f.SetColor(clBlack);
  return f;
}

}  // namespace

TEST(ZqFace, BevelsByStateAndStyle) {
  // Plain style: light top and left, shadow bottom and right, swapped when down.
  auto up = Draw(PlainFace(30, 12));
  EXPECT_EQ(up->PixelColor(0, 11), kLight);
  EXPECT_EQ(up->PixelColor(0, 0), kLight);
  EXPECT_EQ(up->PixelColor(28, 0), kLight);
  EXPECT_EQ(up->PixelColor(29, 0), kShadow);
  EXPECT_EQ(up->PixelColor(29, 11), kShadow);
  EXPECT_EQ(up->PixelColor(1, 11), kShadow);
  EXPECT_EQ(pixels::Bounds(*up, Rect(1, 1, 29, 11), [](TColor c) { return c != kFace; }), TRect());
  TZqFace face = PlainFace(30, 12);
  face.Down = true;
  auto down = Draw(face);
  EXPECT_EQ(down->PixelColor(0, 0), kShadow);
  EXPECT_EQ(down->PixelColor(29, 11), kLight);
  face.Enabled = false;  // a disabled button is never drawn pressed
  EXPECT_EQ(Draw(face)->PixelColor(0, 0), kLight);

  // Flat: no frame unless hot or down; disabled flat: none at all, disabled raised: kept.
  face = PlainFace(20, 10);
  face.Flat = true;
  EXPECT_EQ(pixels::Bounds(*Draw(face), Rect(0, 0, 20, 10), [](TColor c) { return c != kFace; }), TRect());
  face.MouseInside = true;
  EXPECT_EQ(Draw(face)->PixelColor(0, 0), kLight);
  face.MouseInside = false;
  face.Down = true;
  EXPECT_EQ(Draw(face)->PixelColor(0, 0), kShadow);
  face.Enabled = false;
  EXPECT_EQ(Draw(face)->PixelColor(0, 0), kFace);
  face.Flat = false;
  EXPECT_EQ(Draw(face)->PixelColor(0, 0), kLight);

  // Old style: an inner shadow line and an outer frame ending in the 3-D dark shadow.
  face = PlainFace(30, 12);
  face.Style = bsOld;
  auto old = Draw(face);
  EXPECT_EQ(old->PixelColor(28, 5), kShadow);  // inner line x = w - 2
  EXPECT_EQ(old->PixelColor(10, 10), kShadow);  // inner line y = h - 2
  EXPECT_EQ(old->PixelColor(0, 5), kLight);
  EXPECT_EQ(old->PixelColor(0, 11), ColorToRGB(cl3DDkShadow));  // the bottom line runs to x = 0
  EXPECT_EQ(old->PixelColor(29, 5), ColorToRGB(cl3DDkShadow));
  face.Down = true;
  auto oldDown = Draw(face);
  EXPECT_EQ(oldDown->PixelColor(1, 5), kShadow);
  EXPECT_EQ(oldDown->PixelColor(0, 5), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(oldDown->PixelColor(29, 5), kLight);
}

TEST(ZqFace, ShapedStylesLeaveTheKeyColourAroundThem) {
  TZqFace face = PlainFace(40, 24);
  face.Style = bsModern;
  auto modern = Draw(face);
  EXPECT_EQ(modern->PixelColor(0, 0), ZqKeyColor) << "rounded corner";
  EXPECT_EQ(modern->PixelColor(0, 12), kShadow) << "rounded outline";
  EXPECT_EQ(modern->PixelColor(1, 12), kFace) << "inner outline in the face colour";
  // Two gradients: light to face from y = 2 to the quarter line, face to light below it.
  for (int y = 2; y < 22; ++y) {  // row 22 is the inner outline
    const TColor expected = y < 6 ? StripeColor(kLight, kFace, 2, 6, y) : StripeColor(kFace, kLight, 6, 23, y);
    EXPECT_EQ(modern->PixelColor(20, y), expected) << y;
  }
  face.Down = true;
  auto pressed = Draw(face);
  EXPECT_EQ(pressed->PixelColor(1, 12), kShadow) << "inner outline in the shadow colour when down";
  EXPECT_EQ(pressed->PixelColor(20, 6), StripeColor(kLight, kFace, 2, 7, 6)) << "the quarter line moves down";

  face = PlainFace(40, 24);
  face.Style = bsQuicken;
  auto quicken = Draw(face);
  EXPECT_EQ(quicken->PixelColor(4, 0), kShadow);
  EXPECT_EQ(quicken->PixelColor(34, 0), kShadow);
  EXPECT_EQ(quicken->PixelColor(35, 0), ZqKeyColor);
  EXPECT_EQ(quicken->PixelColor(3, 0), ZqKeyColor);
  EXPECT_EQ(quicken->PixelColor(20, 12), kFace);
  EXPECT_EQ(quicken->PixelColor(20, 23), kShadow);

  face.Style = bsShape;
  auto shape = Draw(face);
  EXPECT_EQ(pixels::Bounds(*shape, Rect(0, 0, 40, 24), [](TColor c) { return c != ZqKeyColor; }), TRect());

  // Transparent: no background at all.
  face = PlainFace(40, 24);
  face.Transparent = true;
  face.Flat = true;
  EXPECT_EQ(Draw(face)->PixelColor(20, 12), ZqKeyColor);
}

TEST(ZqFace, HotTrackFadeAndColourWhenDown) {
  TZqFace face = PlainFace(30, 12);
  face.Color = RGB(0, 100, 200);
  face.HotTrackColor = RGB(255, 20, 101);
  face.FadeStep = 8;
  EXPECT_EQ(Draw(face)->PixelColor(15, 6), RGB(255, 20, 101));
  face.FadeStep = 0;
  EXPECT_EQ(Draw(face)->PixelColor(15, 6), RGB(0, 100, 200));
  // Step 2: 3/4 face + 1/4 hot per channel: 63.75 -> 64, 80, 175.25 -> 175.
  face.FadeStep = 2;
  EXPECT_EQ(Draw(face)->PixelColor(15, 6), RGB(64, 80, 175));
  // Halves round to the even neighbour: (0 + 1) / 2 and (2 + 3) / 2.
  EXPECT_EQ(ZqBlend(RGB(0, 2, 0), RGB(1, 3, 0), 4), RGB(0, 2, 0));
  EXPECT_EQ(ZqBlend(RGB(1, 0, 0), RGB(2, 0, 0), 4), RGB(2, 0, 0));
  EXPECT_EQ(ZqBlend(clBtnFace, clInfoBk, 8), ColorToRGB(clInfoBk));
  // A disabled button and "none" as hot colour: no change.
  face.FadeStep = 8;
  face.Enabled = false;
  EXPECT_EQ(Draw(face)->PixelColor(15, 6), RGB(0, 100, 200));
  face.Enabled = true;
  face.HotTrackColor = clNone;
  EXPECT_EQ(Draw(face)->PixelColor(15, 6), RGB(0, 100, 200));
  face.ColorWhenDown = RGB(9, 9, 9);
  face.Down = true;
  EXPECT_EQ(Draw(face)->PixelColor(15, 6), RGB(9, 9, 9));
}

TEST(ZqFace, GradientRunsFromTheFirstColourToTheSecondIn32Stripes) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(8, 70);
  b.Canvas().Brush().SetColor(clWhite);
  b.Canvas().FillRect(Rect(0, 0, 8, 70));
  ZqGradient(b.Canvas(), RGB(0, 0, 0), RGB(248, 124, 31), 2, 5, 6, 67);
  EXPECT_EQ(b.PixelColor(1, 30), clWhite) << "only between left and right";
  EXPECT_EQ(b.PixelColor(2, 4), clWhite);
  EXPECT_EQ(b.PixelColor(2, 67), clWhite);
  EXPECT_EQ(b.PixelColor(2, 5), RGB(0, 0, 0));
  // 62 rows: stripe i starts at 5 + 2i and is 3 rows high; the next one covers its last row.
  for (int i = 0; i < 31; ++i) {
    const TColor c = b.PixelColor(3, 5 + 2 * i);
    EXPECT_EQ(c, RGB(uint8_t(8 * i), uint8_t(4 * i), uint8_t(i))) << "stripe " << i;
    EXPECT_EQ(b.PixelColor(3, 6 + 2 * i), c);
  }
}

TEST(ZqFace, GlyphCellFollowsStateAndAMissingCellFallsBackToTheFirst) {
  auto strip4 = Strip(4), strip2 = Strip(2), strip1 = Strip(1);
  TZqFace face = PlainFace(60, 20);
  face.Glyph = strip4.get();
  face.NumGlyphs = 4;
  TPoint at;
  EXPECT_EQ(GlyphAt(*Draw(face), at), 0);
  face.MouseInside = true;
  EXPECT_EQ(GlyphAt(*Draw(face), at), 3);
  face.Down = true;
  EXPECT_EQ(GlyphAt(*Draw(face), at), 2) << "down wins over the mouse";
  face.Enabled = false;
  EXPECT_EQ(GlyphAt(*Draw(face), at), 1);
  face = PlainFace(60, 20);
  face.Glyph = strip2.get();
  face.NumGlyphs = 2;
  face.MouseInside = true;
  EXPECT_EQ(GlyphAt(*Draw(face), at), 0);
  face.Down = true;
  EXPECT_EQ(GlyphAt(*Draw(face), at), 0);
  face.Enabled = false;
  EXPECT_EQ(GlyphAt(*Draw(face), at), 1);
  // One cell: a disabled button shows that cell, not the empty space beside it.
  face.Glyph = strip1.get();
  face.NumGlyphs = 1;
  EXPECT_EQ(GlyphAt(*Draw(face), at), 0);
}

TEST(ZqFace, GlyphAndCaptionPlacesFollowLayoutAlignmentAndPress) {
  const TFont font = TestFont();
  auto strip = Strip(1);
  const int gw = 10, gh = 8;
  const std::string caption = "&Next";
  const TextSize t = Measure(font, "Next");
  struct Case {
    TZqSpeedButtonLayout layout;
    TAlignment alignment;
    bool down, withCaption;
  };
  const Case cases[] = {
      {blGlyphLeft, taLeftJustify, false, true},   {blGlyphLeft, taCenter, false, true},
      {blGlyphLeft, taRightJustify, true, true},   {blGlyphRight, taLeftJustify, false, true},
      {blGlyphRight, taCenter, true, true},        {blGlyphRight, taRightJustify, false, true},
      {blGlyphTop, taCenter, false, true},         {blGlyphTop, taLeftJustify, true, true},
      {blGlyphBottom, taRightJustify, false, true}, {blGlyphBottom, taCenter, true, true},
      {blGlyphLeft, taCenter, false, false},       {blGlyphRight, taRightJustify, true, false},
  };
  for (const Case& k : cases) {
    const bool vertical = k.layout == blGlyphTop || k.layout == blGlyphBottom;
    const int w = 140, h = vertical ? 60 : 30;
    TZqFace face = PlainFace(w, h);
    face.Font = &font;
    face.Caption = k.withCaption ? caption : "";
    face.Layout = k.layout;
    face.Alignment = k.alignment;
    face.Down = k.down;
    face.Glyph = strip.get();
    face.NumGlyphs = 1;
    const int p = k.down ? 1 : 0;
    const int tw4 = k.withCaption ? t.w + 4 : 0, th = k.withCaption ? t.h : 0;
    TPoint expected;
    if (!vertical) {
      expected.Y = (h - gh) / 2 + p;
      const bool left = k.layout == blGlyphLeft;
      if (k.alignment == taLeftJustify) expected.X = left ? p + 4 : p + 4 + tw4;
      if (k.alignment == taRightJustify) expected.X = left ? w - 4 - gw - tw4 + p : w - 4 - gw + p;
      if (k.alignment == taCenter) expected.X = (w - gw) / 2 + p + (left ? -(tw4 / 2) : tw4 / 2);
    } else {
      const int block = th + gh + 4;
      expected.Y = k.layout == blGlyphTop ? (h - block) / 2 + p : (h - block) / 2 + p + th;
      if (k.alignment == taLeftJustify) expected.X = p + 4;
      if (k.alignment == taRightJustify) expected.X = w - gw - 4 + p;
      if (k.alignment == taCenter) expected.X = (w - gw) / 2 + p;
    }
    auto bmp = Draw(face);
    TPoint at;
    ASSERT_EQ(GlyphAt(*bmp, at), 0);
    EXPECT_EQ(at.X, expected.X) << "layout " << k.layout << " alignment " << k.alignment << " down " << k.down;
    EXPECT_EQ(at.Y, expected.Y) << "layout " << k.layout << " alignment " << k.alignment << " down " << k.down;
    if (!k.withCaption) continue;
    // The caption's ink lies inside its box: the box's horizontal place by the same rules.
    TRect ink = pixels::Bounds(*bmp, Rect(1, 1, w - 1, h - 1), pixels::Ink);
    ASSERT_FALSE(ink.IsEmpty());
    int boxLeft = p + 4, boxWidth = w - 8;
    if (!vertical) {
      boxWidth -= gw + 4;
      if (k.layout == blGlyphLeft) boxLeft = p + 4 + gw + 4;
    }
    int textLeft = boxLeft;
    if (k.alignment == taCenter) textLeft = boxLeft + (boxWidth - t.w) / 2;
    if (k.alignment == taRightJustify) textLeft = boxLeft + boxWidth - t.w;
    EXPECT_NEAR(ink.Left, textLeft, 2) << "layout " << k.layout << " alignment " << k.alignment;
    int textTop = (h - th) / 2 + p;
    if (k.layout == blGlyphTop) textTop = expected.Y + gh;
    if (k.layout == blGlyphBottom) textTop = expected.Y - th;
    EXPECT_GE(ink.Top, textTop);
    EXPECT_LE(ink.Bottom, textTop + th);
    // The accelerator letter is underlined: ink on the row below the baseline, under "N" only.
  }
}

TEST(ZqFace, CaptionIsGreyWhenDisabledAndShortenedToItsBox) {
  const TFont font = TestFont();
  TZqFace face = PlainFace(80, 24);
  face.Font = &font;
  face.Caption = "&Close";
  face.Color = clWhite;
  auto darkest = [](const TBitmap& b) {
    int lowest = 255;
    for (int y = 1; y < 23; ++y)
      for (int x = 4; x < 76; ++x) lowest = std::min(lowest, int(GetGValue(b.PixelColor(x, y))));
    return lowest;
  };
  EXPECT_LT(darkest(*Draw(face)), 0x40);
  face.Enabled = false;
  const int grey = darkest(*Draw(face));
  EXPECT_LT(grey, 0xC0) << "the caption is drawn";
  EXPECT_GE(grey, 0x80) << "in grey";

  TBitmap scratch;
  scratch.SetSize(1, 1);
  scratch.Canvas().SetFont(font);
  const std::string longText = "A rather long caption \xC3\xA9\xC3\xA9\xC3\xA9 that cannot fit";
  const std::string fitted = ShortenZqCaption(scratch.Canvas(), longText, 60);
  EXPECT_LE(scratch.Canvas().TextWidth(fitted), 60);
  EXPECT_GT(scratch.Canvas().TextWidth(fitted + "xxxx"), 60);
  EXPECT_EQ(longText.compare(0, fitted.size(), fitted), 0);
  EXPECT_EQ(ShortenZqCaption(scratch.Canvas(), "\xC3\xA9\xC3\xA9", 0), "");
  // Too long for its button, the caption is cut, not wrapped or drawn over the frame.
  face.Enabled = true;
  face.Caption = longText;
  face.Width = 70;
  auto cut = Draw(face);
  const TRect ink = pixels::Bounds(*cut, Rect(1, 1, 69, 23), pixels::Ink);
  EXPECT_GE(ink.Left, 4);
  EXPECT_LE(ink.Right, 66);
}

TEST(ZqFace, PopupButtonsShowTheArrowAndEncartaDoesNotMoveWhenDown) {
  TZqFace face = PlainFace(50, 24);
  face.HasPopupMenu = true;
  auto b = Draw(face);
  // The arrow's widest row: 7 black pixels from x = w - 11 at y = h div 2 - 1.
  for (int x = 39; x < 46; ++x) EXPECT_EQ(b->PixelColor(x, 11), clBlack) << x;
  EXPECT_EQ(b->PixelColor(38, 11), kFace);
  EXPECT_EQ(b->PixelColor(42, 14), clBlack);

  auto strip = Strip(1);
  face = PlainFace(60, 20);
  face.Style = bsEncarta;
  face.Glyph = strip.get();
  face.NumGlyphs = 1;
  TPoint up, down;
  GlyphAt(*Draw(face), up);
  face.Down = true;
  GlyphAt(*Draw(face), down);
  EXPECT_EQ(up.X, down.X);
  EXPECT_EQ(up.Y, down.Y);
  face.Style = bsNormal;
  GlyphAt(*Draw(face), down);
  EXPECT_EQ(down.X, up.X + 1);
  EXPECT_EQ(down.Y, up.Y + 1);
}

// One table names each button's icon; its strip comes from the theme's symbolic drawing.
using GlyphTableTest = FormTest;
TEST_F(GlyphTableTest, TheTableNamesTheIconAndTheStripIsMadeFromItsOnePicture) {
  EXPECT_EQ(ZqGlyphName("Form1", "ZqNext"), "go-next");
  EXPECT_EQ(ZqGlyphName("", "ZQCANCEL"), "dialog-cancel");
  EXPECT_EQ(ZqGlyphName("Form1", "NoSuchButton"), "");
  const std::string svg = "/usr/share/icons/Adwaita/scalable/actions/go-next-symbolic.svg";
  if (access(svg.c_str(), R_OK) != 0) GTEST_SKIP() << "no Adwaita icon theme";
  TBitmap strip;
  ASSERT_TRUE(ZqGlyphStrip("go-next", 16, 4, strip));
  CheckStrip(strip, 4, svg);
  EXPECT_FALSE(ZqGlyphStrip("no-such-icon-anywhere", 16, 4, strip));
}

TEST(ZqScheme, TableRowsAndWhatApplyingDoes) {
  TZqScheme s;
  EXPECT_FALSE(ZqColorScheme(zcsCustom, s));
  ASSERT_TRUE(ZqColorScheme(zcsGold, s));
  EXPECT_EQ(s.Color, TColor(0x0000C0C0));
  EXPECT_EQ(s.HotTrackColor, TColor(0x0000DFDF));
  EXPECT_EQ(s.ColorWhenDown, clNone);
  EXPECT_TRUE(s.Modern);
  ASSERT_TRUE(ZqColorScheme(zcsQuicken | 0x80, s)) << "only the low 7 bits count";
  EXPECT_TRUE(s.Quicken);
  EXPECT_EQ(s.FontColor, TColor(0x00FFFFFF));
  ASSERT_TRUE(ZqColorScheme(ZscFlatDefault, s));
  EXPECT_EQ(s.HotTrackColor, clInfoBk);
  EXPECT_TRUE(s.Flat);
  EXPECT_TRUE(ZqColorScheme(zcsLightBlue, s));
  EXPECT_FALSE(ZqColorScheme(zcsLightBlue + 1, s));
}

// ---------------------------------------------------------------------------
// The speed button
// ---------------------------------------------------------------------------

using SpeedButtonTest = FormTest;

TEST_F(SpeedButtonTest, ColourSchemesGlyphsAndDefaults) {
  auto* b = Add<TZqSpeedButton>(0, 0, 100, 23);
  EXPECT_EQ(b->Alignment(), taLeftJustify);
  EXPECT_EQ(b->ShadowColor(), clBlack);
  EXPECT_TRUE(b->ParentColor());
  b->SetLightColor(RGB(1, 2, 3));
  b->SetColorStyle(zcsCustom);
  EXPECT_EQ(b->LightColor(), RGB(1, 2, 3)) << "the custom scheme changes nothing";
  b->SetColorStyle(zcsQuicken);
  EXPECT_EQ(b->Style(), bsQuicken);
  EXPECT_EQ(b->Font()->Color(), TColor(0x00FFFFFF));
  EXPECT_EQ(b->Color(), TColor(0x00603000));
  b->SetColorStyle(zcsGreens);
  EXPECT_EQ(b->Style(), bsNormal);
  EXPECT_TRUE(b->Flat());
  SetScreenBitsPerPixel(8);
  b->SetColorStyle(zcsGold);
  EXPECT_EQ(b->Style(), bsNormal) << "no gradients on a 256-colour screen";
  SetScreenBitsPerPixel(0);
  b->SetStyle(bsModern);
  EXPECT_EQ(b->Style(), bsModern);

  auto strip = Strip(4);
  b->SetGlyph(strip.get());
  EXPECT_EQ(b->NumGlyphs(), 5) << "width div height: 40 div 8";
  b->SetGlyph(nullptr);
  EXPECT_EQ(b->NumGlyphs(), 0);
  EXPECT_TRUE(b->Glyph()->Empty());
}

TEST_F(SpeedButtonTest, GroupedButtonsExcludeEachOther) {
  TZqSpeedButton* b[3];
  for (int i = 0; i < 3; ++i) {
    b[i] = Add<TZqSpeedButton>(i * 30, 0, 30, 20);
    b[i]->SetGroupIndex(9);
  }
  auto* other = Add<TZqSpeedButton>(100, 0, 30, 20);
  other->SetGroupIndex(4);
  other->SetDown(true);
  ShowForm();
  b[0]->SetDown(true);
  GuiTesting::Click(b[1], 5, 5);
  EXPECT_FALSE(b[0]->Down());
  EXPECT_TRUE(b[1]->Down());
  EXPECT_TRUE(other->Down()) << "another group is not touched";
  GuiTesting::Click(b[1], 5, 5);
  EXPECT_TRUE(b[1]->Down()) << "the down button stays down unless all up is allowed";
  b[1]->SetAllowAllUp(true);
  GuiTesting::Click(b[1], 5, 5);
  EXPECT_FALSE(b[1]->Down());
  GuiTesting::Click(b[2], 5, 5, mbRight);
  b[2]->SetEnabled(false);
  GuiTesting::Click(b[2], 5, 5);
  EXPECT_FALSE(b[2]->Down());
  // A plain button is down only while held.
  auto* plain = Add<TZqSpeedButton>(200, 0, 30, 20);
  GuiTesting::MouseDown(plain, mbLeft, 2, 2);
  EXPECT_TRUE(plain->Face().Down);
  GuiTesting::MouseUp(plain, mbLeft, 2, 2);
  EXPECT_FALSE(plain->Down());
}

TEST_F(SpeedButtonTest, ClickPopsTheMenuUpUnderTheButtonThenFiresOnClick) {
  auto* b = Add<TZqSpeedButton>(40, 30, 60, 22);
  auto* menu = new TPopupMenu(form.get());
  b->SetPopupMenu(menu);
  ShowForm();
  std::vector<std::string> order;
  menu->OnPopup = [&](TObject*) { order.push_back("popup"); };
  b->OnClick = [&](TObject*) { order.push_back("click"); };
  GuiTesting::Click(b, 10, 10);
  EXPECT_EQ(order, (std::vector<std::string>{"popup", "click"}));
  EXPECT_EQ(menu->PopupComponent(), b);
  EXPECT_TRUE(b->Face().HasPopupMenu);
  // A double click counts as two presses.
  order.clear();
  b->SetPopupMenu(nullptr);
  GuiTesting::DoubleClick(b, 10, 10);
  EXPECT_EQ(order.size(), 2u);
}

TEST_F(SpeedButtonTest, HotTrackingAndTheSlowFadeOut) {
  auto* b = Add<TZqSpeedButton>(0, 0, 60, 22);
  b->SetHotTrackColor(clYellow);
  ShowForm();
  int enters = 0, exits = 0;
  b->OnMouseEnter = [&](TObject*) { ++enters; };
  b->OnMouseExit = [&](TObject*) { ++exits; };
  b->MouseEnter();
  EXPECT_EQ(b->FadeStepValue(), 8);
  EXPECT_EQ(ZqFaceColor(b->Face()), ColorToRGB(clYellow));
  b->MouseLeave();
  EXPECT_EQ(b->FadeStepValue(), 0) << "without SlowDecease the colour goes at once";
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(exits, 1);

  b->SetSlowDecease(true);
  b->MouseEnter();
  const auto start = std::chrono::steady_clock::now();
  b->MouseLeave();
  EXPECT_TRUE(b->Fading());
  EXPECT_EQ(b->FadeStepValue(), 8);
  ASSERT_TRUE(GuiTesting::WaitUntil([&] { return b->FadeStepValue() == 0; }, 30000));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(7 * 30)) << "8 steps of 30 ms";
  EXPECT_FALSE(b->Fading());
  b->SetSlowDecease(false);
  EXPECT_FALSE(b->Fading());

  // A disabled button ignores the mouse.
  b->SetEnabled(false);
  b->MouseEnter();
  EXPECT_EQ(b->FadeStepValue(), 0);
  EXPECT_EQ(enters, 2);
}

TEST_F(SpeedButtonTest, AltAndTheAcceleratorClicksTheButton) {
  auto* b = Add<TZqSpeedButton>(0, 0, 60, 22);
  b->SetCaption("&Copy");
  auto* edit = Add<TEdit>(0, 40, 100, 22);
  ShowForm();
  edit->SetFocus();
  int clicks = 0;
  bool downDuringClick = false;
  b->OnClick = [&](TObject*) {
    ++clicks;
    downDuringClick = b->Down();
  };
  GuiTesting::PressKey(edit, 'C', TShiftState(ssAlt));
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(downDuringClick);
  EXPECT_FALSE(b->Down());
  GuiTesting::PressKey(edit, 'X', TShiftState(ssAlt));
  b->SetEnabled(false);
  GuiTesting::PressKey(edit, 'C', TShiftState(ssAlt));
  EXPECT_EQ(clicks, 1);
}

// ---------------------------------------------------------------------------
// The push button
// ---------------------------------------------------------------------------

using PushButtonTest = FormTest;

TEST_F(PushButtonTest, KindsSetGlyphCaptionAndModalResult) {
  auto* b = Add<TZqButton>(0, 0, 100, 23);
  EXPECT_EQ(b->Alignment(), taCenter);
  EXPECT_EQ(b->ShadowColor(), TColor(0x808080));
  EXPECT_TRUE(b->TabStop());
  b->SetKind(bkOK);
  EXPECT_EQ(b->Caption(), "OK");
  EXPECT_EQ(b->ModalResult(), mrOk);
  EXPECT_EQ(b->NumGlyphs(), 2);
  EXPECT_EQ(b->Glyph()->Width(), 32);
  b->SetKind(bkClose);
  EXPECT_EQ(b->Caption(), "Schlie\xC3\x9F" "en");
  EXPECT_EQ(b->ModalResult(), mrNone);
  b->SetKind(bkRetry);
  b->SetModalResult(mrAll);
  EXPECT_EQ(b->Kind(), bkCustom);
  EXPECT_EQ(b->Caption(), "Wiederholen") << "glyph and caption stay";
  EXPECT_EQ(b->NumGlyphs(), 2);
  b->SetKind(bkYes);
  auto strip = Strip(2);
  b->SetGlyph(strip.get());
  EXPECT_EQ(b->Kind(), bkCustom);
  // The kinds' glyphs are the glyph table's icons, plain and disabled: OK's is the
  // program's own check mark (no theme here has one) as librsvg draws it.
  CheckStrip(ZqResourceBitmap("ZQOK"), 2, testsupport::ProgramDir() + "/glyphs/dialog-ok.svg");
  EXPECT_TRUE(ZqResourceBitmap("NOSUCH").Empty());
}

TEST_F(PushButtonTest, ClickSetsTheFormsModalResultAfterOnClick) {
  auto* ok = Add<TZqButton>(0, 0, 100, 23);
  ok->SetModalResult(mrOk);
  TModalResult seenInHandler = -1;
  int clicks = 0;
  ok->OnClick = [&](TObject*) {
    ++clicks;
    seenInHandler = form->ModalResult();
  };
  ok->Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(seenInHandler, mrNone);
  EXPECT_EQ(form->ModalResult(), mrOk);
  form->SetModalResult(mrNone);
  ok->SetEnabled(false);
  ok->Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form->ModalResult(), mrNone);
}

TEST_F(PushButtonTest, DialogKeysGoToTheDefaultAndCancelButtonsUnlessAButtonHasTheFocus) {
  auto* edit = Add<TEdit>(10, 10, 100, 22);
  auto* ok = Add<TZqButton>(10, 50, 80, 23);
  ok->SetKind(bkOK);
  ok->SetDefault(true);
  auto* cancel = Add<TZqButton>(100, 50, 80, 23);
  cancel->SetModalResult(mrCancel);
  cancel->SetCancel(true);
  auto* other = Add<TZqButton>(190, 50, 80, 23);
  auto* radio = Add<TRadioButton>(10, 90, 100, 20);
  ShowForm();
  int okClicks = 0, cancelClicks = 0, otherClicks = 0;
  ok->OnClick = [&](TObject*) { ++okClicks; };
  cancel->OnClick = [&](TObject*) { ++cancelClicks; };
  other->OnClick = [&](TObject*) { ++otherClicks; };

  edit->SetFocus();
  GuiTesting::PressKey(edit, VK_RETURN);
  EXPECT_EQ(okClicks, 1);
  EXPECT_EQ(form->ModalResult(), mrOk);
  for (TShiftState shift : {TShiftState(ssShift), TShiftState(ssCtrl), TShiftState(ssAlt)}) {
    GuiTesting::PressKey(edit, VK_ESCAPE, shift);
    EXPECT_EQ(cancelClicks, 0);
  }
  GuiTesting::PressKey(edit, VK_ESCAPE);
  EXPECT_EQ(cancelClicks, 1);
  EXPECT_EQ(form->ModalResult(), mrCancel);

  // Enter belongs to a focused button; a focused radio button leaves it to the default one.
  other->SetFocus();
  GuiTesting::PressKey(other, VK_RETURN);
  EXPECT_EQ(otherClicks, 1);
  EXPECT_EQ(okClicks, 1);
  GuiTesting::PressKey(other, VK_SPACE);
  EXPECT_EQ(otherClicks, 2);
  radio->SetFocus();
  GuiTesting::PressKey(radio, VK_RETURN);
  EXPECT_EQ(okClicks, 2);
  // Alt and the accelerator.
  other->SetCaption("&Retry");
  GuiTesting::PressKey(radio, 'R', TShiftState(ssAlt));
  EXPECT_EQ(otherClicks, 3);
}

TEST_F(PushButtonTest, APressIsTakenBackByReleasingElsewhereAndOnlyAKeyPressedHereClicks) {
  auto* b = Add<TZqButton>(10, 10, 80, 23);
  ShowForm();
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  GuiTesting::MouseDown(b, mbLeft, 5, 5);
  EXPECT_TRUE(b->Pressed());
  EXPECT_TRUE(b->Focused());
  EXPECT_TRUE(b->Face().Down);
  GuiTesting::MouseUp(b, mbLeft, 200, 100);
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(b->Pressed());
  GuiTesting::Click(b, 5, 5);
  EXPECT_EQ(clicks, 1);
  // A key-up without its key-down (the key went down elsewhere) does not click.
  uint16_t key = VK_RETURN;
  b->KeyUp(key, {});
  EXPECT_EQ(clicks, 1);
  key = VK_SPACE;
  b->KeyDown(key, {});
  EXPECT_TRUE(b->Pressed());
  b->SetEnabled(false);
  EXPECT_FALSE(b->Pressed()) << "disabling clears the press";
}

TEST_F(PushButtonTest, TheFocusedButtonShowsAFocusRectangleAndHotFace) {
  auto* a = Add<TZqButton>(10, 10, 80, 24);
  auto* b = Add<TZqButton>(100, 10, 80, 24);
  a->SetColor(clWhite);
  a->SetHotTrackColor(RGB(0, 0, 200));
  ShowForm();
  b->SetFocus();
  GuiTesting::ProcessEvents();
  TBitmap plain;
  ASSERT_TRUE(GuiTesting::Grab(a, plain));
  EXPECT_EQ(plain.PixelColor(40, 4), clWhite);
  a->SetFocus();
  GuiTesting::ProcessEvents();
  TBitmap focused;
  ASSERT_TRUE(GuiTesting::Grab(a, focused));
  // Every other pixel of the focus rectangle is inverted; the face keeps its colour (the
  // hot-track colour comes with the mouse, not with the focus).
  EXPECT_EQ(focused.PixelColor(40, 12), clWhite);
  EXPECT_EQ(focused.PixelColor(40, 4), clBlack);
  EXPECT_EQ(focused.PixelColor(41, 4), clWhite);
  EXPECT_EQ(focused.PixelColor(4, 12), clBlack);
  EXPECT_EQ(focused.PixelColor(75, 19), clBlack);
  EXPECT_EQ(focused.PixelColor(76, 19), clWhite) << "the rectangle ends at width - 4";
  // The old style draws a black frame around a smaller face.
  a->SetStyle(bsOld);
  GuiTesting::ProcessEvents();
  TBitmap old;
  ASSERT_TRUE(GuiTesting::Grab(a, old));
  EXPECT_EQ(old.PixelColor(40, 0), clBlack);
  EXPECT_EQ(old.PixelColor(79, 12), clBlack);
  EXPECT_EQ(old.PixelColor(40, 1), clWhite) << "the face's light line, one pixel in";
}
