// TCanvas on bitmaps: where shapes, lines, text and copied blocks land.

#include "GraphicsTestHelpers.h"
#include "MemoryLimit.h"

using namespace graphicstest;

namespace {

TBitmap* NewBitmap(TPixelFormat format, int w, int h, TColor background) {
  auto* b = new TBitmap();
  b->SetPixelFormat(format);
  b->SetSize(w, h);
  b->Canvas().Brush().SetColor(background);
  b->Canvas().FillRect(Rect(0, 0, w, h));
  return b;
}

}  // namespace

TEST(GraphicsCanvas, FillRectCoversLeftTopUpToRightBottomInEveryFormat) {
  for (TPixelFormat f : {pf24bit, pf32bit, pf16bit, pf15bit, pf8bit, pf4bit, pfDevice}) {
    std::unique_ptr<TBitmap> b(NewBitmap(f, 8, 6, clWhite));
    b->Canvas().Brush().SetColor(clRed);
    b->Canvas().FillRect(Rect(2, 1, 5, 4));
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) {
        bool inside = x >= 2 && x < 5 && y >= 1 && y < 4;
        EXPECT_EQ(b->Canvas().Pixels(x, y), inside ? clRed : clWhite) << "format " << f << " at " << x << "," << y;
      }
  }
  // A clear brush fills nothing.
  std::unique_ptr<TBitmap> b(NewBitmap(pf24bit, 4, 4, clWhite));
  b->Canvas().Brush().SetStyle(bsClear);
  b->Canvas().FillRect(Rect(0, 0, 4, 4));
  EXPECT_EQ(b->Canvas().Pixels(1, 1), clWhite);
}

TEST(GraphicsCanvas, RectangleOutlineAndInsideStayWithinTheRectangle) {
  std::unique_ptr<TBitmap> b(NewBitmap(pf24bit, 10, 8, clGray));
  TCanvas& c = b->Canvas();
  c.Pen().SetColor(clBlack);
  c.Brush().SetColor(clWhite);
  c.Rectangle(1, 1, 7, 6);
  for (auto [x, y] : std::vector<std::pair<int, int>>{{1, 1}, {6, 1}, {1, 5}, {6, 5}, {3, 1}, {1, 3}})
    EXPECT_EQ(c.Pixels(x, y), clBlack) << x << "," << y;
  EXPECT_EQ(c.Pixels(3, 3), clWhite);
  EXPECT_EQ(c.Pixels(5, 4), clWhite);
  for (auto [x, y] : std::vector<std::pair<int, int>>{{7, 1}, {1, 6}, {0, 0}, {7, 6}})
    EXPECT_EQ(c.Pixels(x, y), clGray) << x << "," << y;
  // FrameRect draws a one-pixel border in the brush colour.
  c.Brush().SetColor(clBlue);
  c.FrameRect(Rect(0, 0, 10, 8));
  EXPECT_EQ(c.Pixels(0, 0), clBlue);
  EXPECT_EQ(c.Pixels(9, 7), clBlue);
  EXPECT_EQ(c.Pixels(8, 6), clGray);
}

TEST(GraphicsCanvas, LinesLeaveOutTheirEndPoint) {
  std::unique_ptr<TBitmap> b(NewBitmap(pf24bit, 8, 8, clWhite));
  TCanvas& c = b->Canvas();
  c.Pen().SetColor(clRed);
  c.MoveTo(1, 2);
  c.LineTo(6, 2);
  for (int x = 1; x < 6; ++x) EXPECT_EQ(c.Pixels(x, 2), clRed) << x;
  EXPECT_EQ(c.Pixels(6, 2), clWhite);
  EXPECT_EQ(c.Pixels(0, 2), clWhite);
  EXPECT_EQ(c.PenPos(), TPoint(6, 2));
  c.LineTo(6, 7);
  for (int y = 2; y < 7; ++y) EXPECT_EQ(c.Pixels(6, y), clRed) << y;
  EXPECT_EQ(c.Pixels(6, 7), clWhite);
  EXPECT_EQ(c.Pixels(5, 3), clWhite);
  // Upwards and leftwards the start point is drawn and the end point left out too.
  c.MoveTo(1, 7);
  c.LineTo(1, 3);
  for (int y = 4; y <= 7; ++y) EXPECT_EQ(c.Pixels(1, y), clRed) << y;
  EXPECT_EQ(c.Pixels(1, 3), clWhite);
  c.MoveTo(5, 5);
  c.LineTo(2, 5);
  for (int x = 3; x <= 5; ++x) EXPECT_EQ(c.Pixels(x, 5), clRed) << x;
  EXPECT_EQ(c.Pixels(2, 5), clWhite);
  // A diagonal leaves out its end point; a line of length zero draws nothing.
  c.MoveTo(7, 0);
  c.LineTo(4, 3);
  EXPECT_EQ(c.Pixels(7, 0), clRed);
  EXPECT_EQ(c.Pixels(5, 2), clRed);
  EXPECT_EQ(c.Pixels(4, 3), clWhite);
  c.MoveTo(0, 6);
  c.LineTo(0, 6);
  EXPECT_EQ(c.Pixels(0, 6), clWhite);
  // An XOR pen inverts twice back to the start.
  c.Pen().SetMode(pmXor);
  c.Pen().SetColor(clWhite);
  c.MoveTo(0, 0);
  c.LineTo(8, 0);
  EXPECT_EQ(c.Pixels(3, 0), clBlack);
  c.MoveTo(0, 0);
  c.LineTo(8, 0);
  EXPECT_EQ(c.Pixels(3, 0), clWhite);
}

TEST(GraphicsCanvas, TextChangesPixelsOnlyInsideItsExtent) {
  std::unique_ptr<TBitmap> b(NewBitmap(pf24bit, 120, 40, clWhite));
  TCanvas& c = b->Canvas();
  c.Font().SetSize(12);
  c.Font().SetColor(clBlack);
  c.Brush().SetStyle(bsClear);
  const std::string text = "Hg Kivo";
  TSize extent = c.TextExtent(text);
  EXPECT_GT(extent.cx, 20);
  EXPECT_GT(extent.cy, 8);
  EXPECT_EQ(c.TextWidth(text), extent.cx);
  EXPECT_EQ(c.TextHeight(text), extent.cy);
  c.TextOut(10, 5, text);
  int changedInside = 0, changedOutside = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) {
      bool inside = x >= 10 && x < 10 + extent.cx && y >= 5 && y < 5 + extent.cy;
      if (c.Pixels(x, y) != clWhite) (inside ? changedInside : changedOutside)++;
    }
  EXPECT_GT(changedInside, 20);
  EXPECT_EQ(changedOutside, 0);
  EXPECT_EQ(c.PenPos(), TPoint(10 + extent.cx, 5));
  // An opaque brush fills the text's background.
  c.Brush().SetColor(clYellow);
  c.TextOut(10, 22, "x");
  EXPECT_EQ(c.Pixels(10, 22), clYellow);
  // TextRect clips to its rectangle.
  std::unique_ptr<TBitmap> d(NewBitmap(pf24bit, 60, 30, clWhite));
  d->Canvas().Brush().SetColor(clAqua);
  d->Canvas().TextRect(Rect(5, 5, 12, 20), 5, 5, "WWWWWWWW");
  EXPECT_EQ(d->Canvas().Pixels(4, 10), clWhite);
  for (int y = 0; y < 30; ++y)
    for (int x = 12; x < 60; ++x) EXPECT_EQ(d->Canvas().Pixels(x, y), clWhite) << x << "," << y;
}

TEST(GraphicsCanvas, CopyRectCombinesWithTheCopyMode) {
  std::unique_ptr<TBitmap> src(NewBitmap(pf24bit, 4, 4, RGB(0x0F, 0xF0, 0x55)));
  std::unique_ptr<TBitmap> dst(NewBitmap(pf24bit, 6, 6, RGB(0xFF, 0x0F, 0x50)));
  dst->Canvas().SetCopyMode(cmSrcInvert);
  dst->Canvas().CopyRect(Rect(1, 1, 5, 5), src->Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(dst->Canvas().Pixels(2, 2), RGB(0xF0, 0xFF, 0x05));
  EXPECT_EQ(dst->Canvas().Pixels(0, 0), RGB(0xFF, 0x0F, 0x50));
  EXPECT_EQ(dst->Canvas().Pixels(5, 5), RGB(0xFF, 0x0F, 0x50));
  dst->Canvas().SetCopyMode(cmSrcAnd);
  dst->Canvas().CopyRect(Rect(0, 0, 1, 1), src->Canvas(), Rect(0, 0, 1, 1));
  EXPECT_EQ(dst->Canvas().Pixels(0, 0), RGB(0x0F, 0x00, 0x50));
  dst->Canvas().SetCopyMode(cmDstInvert);
  dst->Canvas().CopyRect(Rect(5, 5, 6, 6), src->Canvas(), Rect(0, 0, 1, 1));
  EXPECT_EQ(dst->Canvas().Pixels(5, 5), RGB(0x00, 0xF0, 0xAF));
  dst->Canvas().SetCopyMode(cmWhiteness);
  dst->Canvas().CopyRect(Rect(0, 5, 1, 6), src->Canvas(), Rect(0, 0, 1, 1));
  EXPECT_EQ(dst->Canvas().Pixels(0, 5), clWhite);
}

TEST(GraphicsCanvas, StretchDrawRepeatsPixelsAndDrawClips) {
  TBitmap small;
  small.SetPixelFormat(pf24bit);
  small.SetSize(2, 2);
  small.Canvas().SetPixels(0, 0, clRed);
  small.Canvas().SetPixels(1, 0, clLime);
  small.Canvas().SetPixels(0, 1, clBlue);
  small.Canvas().SetPixels(1, 1, clWhite);
  for (TPixelFormat f : {pf24bit, pf32bit, pf8bit}) {
    std::unique_ptr<TBitmap> big(NewBitmap(f, 6, 6, clBlack));
    big->Canvas().StretchDraw(Rect(1, 1, 5, 5), small);
    const TColor expected[2][2] = {{clRed, clLime}, {clBlue, clWhite}};
    for (int y = 1; y < 5; ++y)
      for (int x = 1; x < 5; ++x)
        EXPECT_EQ(big->Canvas().Pixels(x, y), expected[(y - 1) / 2][(x - 1) / 2]) << "format " << f << " " << x << "," << y;
    EXPECT_EQ(big->Canvas().Pixels(0, 0), clBlack);
    EXPECT_EQ(big->Canvas().Pixels(5, 5), clBlack);
    // Drawing partly outside only touches what lies inside.
    big->Canvas().Draw(5, -1, small);
    EXPECT_EQ(big->Canvas().Pixels(5, 0), clBlue);
  }
}

TEST(GraphicsCanvas, TransparentBitmapsAndMasksKeepTheBackground) {
  TBitmap sprite;
  sprite.SetPixelFormat(pf24bit);
  sprite.SetSize(3, 3);
  sprite.Canvas().Brush().SetColor(clFuchsia);
  sprite.Canvas().FillRect(Rect(0, 0, 3, 3));
  sprite.Canvas().SetPixels(1, 1, clNavy);
  sprite.SetTransparent(true);
  std::unique_ptr<TBitmap> target(NewBitmap(pf24bit, 5, 5, clYellow));
  target->Canvas().Draw(1, 1, sprite);
  EXPECT_EQ(target->Canvas().Pixels(2, 2), clNavy);
  EXPECT_EQ(target->Canvas().Pixels(1, 1), clYellow);
  // An explicit mask: set bits keep the destination.
  TBitmap mask;
  const uint8_t bits[] = {0x40, 0, 0x00, 0, 0xE0, 0};  // 3x3, rows padded to 2 bytes
  mask.LoadMonochromeBits(3, 3, bits, 2);
  sprite.SetTransparent(false);
  std::unique_ptr<TBitmap> other(NewBitmap(pf24bit, 3, 3, clGreen));
  other->Canvas().DrawMasked(Rect(0, 0, 3, 3), sprite, Rect(0, 0, 3, 3), mask);
  EXPECT_EQ(other->Canvas().Pixels(0, 0), clFuchsia);
  EXPECT_EQ(other->Canvas().Pixels(1, 0), clGreen);
  EXPECT_EQ(other->Canvas().Pixels(1, 1), clNavy);
  EXPECT_EQ(other->Canvas().Pixels(2, 2), clGreen);
}

TEST(GraphicsCanvas, DrawingOnIndexedBitmapsUsesThePalette) {
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  b.SetPalette(TPalette{PaletteEntry(0, 0, 0), PaletteEntry(255, 0, 0), PaletteEntry(0, 0, 255), PaletteEntry(0, 0, 255)});
  b.SetSize(6, 4);
  b.Canvas().Pen().SetColor(RGB(250, 5, 5));
  b.Canvas().MoveTo(0, 1);
  b.Canvas().LineTo(6, 1);
  b.Canvas().Brush().SetColor(clBlue);
  b.Canvas().FillRect(Rect(0, 3, 6, 4));
  EXPECT_EQ(b.ScanLine(1)[3], 1);
  EXPECT_EQ(b.ScanLine(3)[0], 2) << "the lowest index of equal colours";
  EXPECT_EQ(b.ScanLine(0)[0], 0) << "untouched pixels keep their index";
  b.Canvas().SetPixels(2, 2, clRed);
  EXPECT_EQ(b.ScanLine(2)[2], 1);
  EXPECT_EQ(b.Canvas().Pixels(9, 9), clNone);
}

TEST(GraphicsCanvas, ShapesFillTheirInside) {
  std::unique_ptr<TBitmap> b(NewBitmap(pf24bit, 20, 20, clWhite));
  TCanvas& c = b->Canvas();
  c.Brush().SetColor(clRed);
  c.Pen().SetColor(clBlack);
  c.Ellipse(2, 2, 18, 18);
  EXPECT_EQ(c.Pixels(10, 10), clRed);
  EXPECT_EQ(c.Pixels(2, 2), clWhite);
  EXPECT_EQ(c.Pixels(18, 10), clWhite);
  std::unique_ptr<TBitmap> p(NewBitmap(pf24bit, 20, 20, clWhite));
  p->Canvas().Brush().SetColor(clLime);
  p->Canvas().Polygon({TPoint(0, 0), TPoint(12, 0), TPoint(0, 12)});
  EXPECT_EQ(p->Canvas().Pixels(2, 2), clLime);
  EXPECT_EQ(p->Canvas().Pixels(9, 9), clWhite);
  std::unique_ptr<TBitmap> r(NewBitmap(pf24bit, 20, 20, clWhite));
  r->Canvas().Brush().SetColor(clBlue);
  r->Canvas().RoundRect(2, 2, 18, 18, 10, 10);
  EXPECT_EQ(r->Canvas().Pixels(10, 10), clBlue);
  EXPECT_EQ(r->Canvas().Pixels(2, 2), clWhite) << "rounded corner";
}

// Memory running short: drawing on an indexed bitmap works on a 32-bit copy, and a copy
// that cannot be made raises EOutOfResources instead of reading a missing copy; a
// bitmap that cannot be allocated raises it too. A solid fill needs no copy at all.
TEST(GraphicsCanvas, WhenMemoryRunsShortDrawingRaisesInsteadOfCrashing) {
  const testsupport::LimitedRun run = testsupport::RunWithMemoryLimit(320 * testsupport::kMiB, [] {
    std::string outcome;
    TBitmap b;  // 144 MB; a 32-bit copy of it would take 576 MB
    b.SetPixelFormat(pf8bit);
    b.SetPalette(TPalette{PaletteEntry(0, 0, 0), PaletteEntry(255, 0, 0), PaletteEntry(0, 0, 255)});
    b.SetSize(12000, 12000);
    b.Canvas().Brush().SetColor(RGB(250, 0, 0));
    b.Canvas().FillRect(Rect(10, 20, 11990, 11000));
    outcome += "filled " + std::to_string(b.ScanLine(20)[10]) + std::to_string(b.ScanLine(11000)[10]) + "; ";
    try {
      b.Canvas().Brush().SetColor(clBlue);
      b.Canvas().Ellipse(0, 0, 12000, 12000);
      outcome += "drawn; ";
    } catch (const EOutOfResources& e) {
      outcome += "ellipse: " + e.Message() + "; ";
    }
    outcome += "kept " + std::to_string(b.ScanLine(6000)[6000]) + "; ";
    try {
      TBitmap big;
      big.SetPixelFormat(pf8bit);
      big.SetSize(30000, 30000);
      outcome += "allocated";
    } catch (const EOutOfResources& e) {
      outcome += "bitmap: " + e.Message();
    }
    return outcome;
  });
  EXPECT_TRUE(run.finished) << "signal " << run.signal;
  EXPECT_EQ(run.text, "returned: filled 10; ellipse: Out of system resources; kept 1; bitmap: Out of system resources");
}
