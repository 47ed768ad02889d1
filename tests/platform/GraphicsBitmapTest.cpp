// TBitmap: sizes, row access, pixel-format conversions, palettes and masks.

#include "GraphicsTestHelpers.h"
#include "MemoryLimit.h"
#include "platform/graphics/PictureBounds.h"

using namespace graphicstest;

TEST(GraphicsBitmap, NewBitmapIsEmptyDeviceDependentAndRowsArePaddedTopDown) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.PixelFormat(), pfDevice);
  b.SetPixelFormat(pf24bit);
  b.SetSize(5, 3);
  EXPECT_EQ(b.ScanLineSize(), 16);  // 15 bytes of pixels padded to 16
  EXPECT_EQ(b.ScanLine(1) - b.ScanLine(0), b.RowStride());
  for (int y = 0; y < 3; ++y)
    for (int i = 0; i < 16; ++i) EXPECT_EQ(b.ScanLine(y)[i], 0) << "new pixels are zero";
  // Row 0 is the top row: B,G,R of the top-left pixel.
  b.ScanLine(0)[0] = 0x10;
  b.ScanLine(0)[1] = 0x20;
  b.ScanLine(0)[2] = 0x30;
  EXPECT_EQ(b.PixelColor(0, 0), RGB(0x30, 0x20, 0x10));

  TBitmap one;
  one.SetPixelFormat(pf1bit);
  one.SetSize(33, 2);
  EXPECT_EQ(one.ScanLineSize(), 8);
}

TEST(GraphicsBitmap, ScanLineOutsideTheRowsRaises) {
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  b.SetSize(4, 3);
  EXPECT_NO_THROW(b.ScanLine(2));
  EXPECT_THROW(b.ScanLine(3), EInvalidGraphicOperation);
  EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
  try {
    b.ScanLine(3);
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), "Scan line index out of range");
  }
  TBitmap empty;
  EXPECT_THROW(empty.ScanLine(0), EInvalidGraphicOperation);
}

TEST(GraphicsBitmap, ResizingKeepsTheOverlapAndZeroesTheRest) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap b;
    FillPattern(b, f, 11, 5);
    TBitmap before;
    before.Assign(&b);
    b.SetSize(7, 9);
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 7; ++x) {
        if (y < 5)
          EXPECT_EQ(b.PixelColor(x, y), before.PixelColor(x, y)) << "format " << f << " at " << x << "," << y;
        else
          EXPECT_EQ(b.ScanLine(y)[x * b.BitsPerPixel() / 8], 0) << "new rows are zero";
      }
    // Growing again: the columns that were cut off come back as zero, also inside a shared byte.
    b.SetWidth(11);
    for (int y = 0; y < 5; ++y)
      for (int x = 7; x < 11; ++x) {
        TBitmap zero;
        zero.SetPixelFormat(f);
        zero.SetPalette(b.Palette());
        zero.SetSize(1, 1);
        EXPECT_EQ(b.PixelColor(x, y), zero.PixelColor(0, 0)) << "format " << f << " at " << x << "," << y;
      }
  }
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(3, 3);
  b.ReleaseHandle();
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.PixelFormat(), pf24bit);
}

TEST(GraphicsBitmap, HostileSizesAreRefused) {
  TBitmap b;
  b.SetPixelFormat(pf32bit);
  EXPECT_THROW(b.SetSize(MaxBitmapSide + 1, 1), EOutOfResources);
  EXPECT_THROW(b.SetSize(40000, 7000), EOutOfResources);  // 1.04 GiB
  EXPECT_TRUE(b.Empty());
  b.SetSize(-5, 4);
  EXPECT_TRUE(b.Empty());
  // Only the bytes bound the sides: a panorama of 40000 x 6000 takes 720 MB at 24 bits.
  b.SetPixelFormat(pf24bit);
  b.SetSize(40000, 6000);
  EXPECT_EQ(b.Width(), 40000);
  b.ReleaseHandle();
  // A picture file's sides and bytes up to the limits, and data that just suffices, are
  // taken; one more is refused.
  EXPECT_NO_THROW(CheckPictureSize(40000, 8947, 24));
  EXPECT_THROW(CheckPictureSize(40000, 8948, 24), EInvalidGraphic);  // a row past 1 GiB
  EXPECT_NO_THROW(CheckPictureSize(1, 40000, 24));
  EXPECT_NO_THROW(CheckPictureSize(MaxBitmapSide, 1, 32));  // 1 GiB
  EXPECT_THROW(CheckPictureSize(MaxBitmapSide + 1, 1, 8), EInvalidGraphic);
  EXPECT_NO_THROW(CheckPictureData("PPM", 10, 10, 300, 300, UncompressedData));
  EXPECT_THROW(CheckPictureData("PPM", 10, 10, 301, 300, UncompressedData), EInvalidGraphic);
}

TEST(GraphicsBitmap, CustomPixelFormatRaises) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(2, 2);
  EXPECT_THROW(b.SetPixelFormat(pfCustom), EInvalidGraphic);
  EXPECT_EQ(b.PixelFormat(), pf24bit);
}

TEST(GraphicsBitmap, EveryFormatConvertsTo24BitKeepingColours) {
  for (TPixelFormat f : {pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf32bit}) {
    TBitmap b;
    FillPattern(b, f, 9, 4);
    TBitmap before;
    before.Assign(&b);
    b.SetPixelFormat(pf24bit);
    ASSERT_EQ(b.PixelFormat(), pf24bit);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 9; ++x) {
        EXPECT_EQ(b.PixelColor(x, y), before.PixelColor(x, y)) << "format " << f;
        const uint8_t* p = b.ScanLine(y) + 3 * x;
        EXPECT_EQ(RGB(p[2], p[1], p[0]), before.PixelColor(x, y)) << "rows are B,G,R";
      }
  }
}

TEST(GraphicsBitmap, ThirtyTwoTo24DropsTheFourthByte) {
  TBitmap b;
  b.SetPixelFormat(pf32bit);
  b.SetSize(2, 1);
  uint8_t px[8] = {1, 2, 3, 77, 4, 5, 6, 0};
  std::copy(px, px + 8, b.ScanLine(0));
  b.SetPixelFormat(pf24bit);
  const uint8_t* row = b.ScanLine(0);
  EXPECT_EQ(std::vector<uint8_t>(row, row + 6), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(GraphicsBitmap, IndexedFormatsWidenKeepingIndicesAndPalette) {
  for (TPixelFormat f : {pf1bit, pf4bit}) {
    TBitmap b;
    FillPattern(b, f, 13, 3);
    TPalette palette = b.Palette();
    std::vector<int> indices;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 13; ++x) {
        const uint8_t* row = b.ScanLine(y);
        indices.push_back(f == pf1bit ? (row[x / 8] >> (7 - x % 8)) & 1 : (x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4));
      }
    b.SetPixelFormat(pf8bit);
    EXPECT_EQ(b.Palette(), palette);
    size_t i = 0;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 13; ++x) EXPECT_EQ(b.ScanLine(y)[x], indices[i++]);
  }
  // A mask (0 and 1) keeps its two values in 8 bits.
  TBitmap mask;
  mask.LoadMonochromeBits(10, 2, std::vector<uint8_t>{0xA5, 0xC0, 0x01, 0x40}.data(), 2);
  mask.SetPixelFormat(pf8bit);
  const uint8_t* r0 = mask.ScanLine(0);
  EXPECT_EQ(std::vector<uint8_t>(r0, r0 + 10), (std::vector<uint8_t>{1, 0, 1, 0, 0, 1, 0, 1, 1, 1}));
  const uint8_t* r1 = mask.ScanLine(1);
  EXPECT_EQ(std::vector<uint8_t>(r1, r1 + 10), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 1, 0, 1}));
}

TEST(GraphicsBitmap, ColoursToEightBitTakeTheNearestPaletteEntry) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(3, 1);
  TPalette palette{PaletteEntry(0, 0, 0), PaletteEntry(250, 10, 10), PaletteEntry(10, 250, 10), PaletteEntry(255, 255, 255)};
  b.SetPalette(palette);
  b.Canvas().SetPixels(0, 0, RGB(200, 40, 30));
  b.Canvas().SetPixels(1, 0, RGB(30, 190, 60));
  b.Canvas().SetPixels(2, 0, RGB(230, 230, 220));
  b.SetPixelFormat(pf8bit);
  EXPECT_EQ(b.Palette(), palette);
  const uint8_t* row = b.ScanLine(0);
  EXPECT_EQ(row[0], 1);
  EXPECT_EQ(row[1], 2);
  EXPECT_EQ(row[2], 3);
  // Without a palette of its own the bitmap takes the halftone palette.
  TBitmap c;
  c.SetPixelFormat(pf24bit);
  c.SetSize(1, 1);
  c.Canvas().SetPixels(0, 0, RGB(204, 102, 0));
  c.SetPixelFormat(pf8bit);
  EXPECT_EQ(c.Palette().Count(), 256);
  EXPECT_EQ(c.PixelColor(0, 0), RGB(204, 102, 0));
}

TEST(GraphicsBitmap, ShortPalettesShowBlackBeyondTheirEnd) {
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  b.SetPalette(TPalette{PaletteEntry(255, 0, 0), PaletteEntry(0, 0, 255), PaletteEntry(0, 255, 0), PaletteEntry(9, 9, 9)});
  b.SetSize(3, 1);
  EXPECT_EQ(b.Palette().Count(), 4);
  b.ScanLine(0)[0] = 1;
  b.ScanLine(0)[1] = 200;
  EXPECT_EQ(b.PixelColor(0, 0), clBlue);
  EXPECT_EQ(b.PixelColor(1, 0), clBlack);
  b.SetPixelFormat(pf24bit);
  EXPECT_EQ(b.PixelColor(1, 0), clBlack);
  // A palette longer than the format allows is cut.
  TBitmap f;
  f.SetPixelFormat(pf4bit);
  f.SetPalette(TestPalette(40));
  EXPECT_EQ(f.Palette().Count(), 16);
}

TEST(GraphicsBitmap, DefaultPalettesOfNewIndexedBitmaps) {
  TBitmap one, four, eight;
  one.SetPixelFormat(pf1bit);
  four.SetPixelFormat(pf4bit);
  eight.SetPixelFormat(pf8bit);
  EXPECT_EQ(one.Palette(), MonochromePalette());
  EXPECT_EQ(four.Palette(), SystemPalette16());
  EXPECT_EQ(eight.Palette(), HalftonePalette());
  EXPECT_TRUE(one.Monochrome());
  EXPECT_EQ(SystemPalette16().Color(7), clSilver);
  EXPECT_EQ(SystemPalette16().Color(8), clGray);
  EXPECT_EQ(SystemPalette16().Color(15), clWhite);
  EXPECT_EQ(DefaultPalette20().Count(), 20);
  const TPalette& h = HalftonePalette();
  EXPECT_EQ(h.Color(10 + 36 * 5 + 6 * 2 + 1), RGB(255, 102, 51));
  EXPECT_EQ(h.Color(255), clWhite);
  EXPECT_EQ(h.Color(0), clBlack);
}

TEST(GraphicsBitmap, NearestPaletteIndexPrefersTheLowestIndexOnTies) {
  TPalette p{PaletteEntry(10, 0, 0), PaletteEntry(30, 0, 0), PaletteEntry(20, 0, 0), PaletteEntry(20, 0, 0)};
  EXPECT_EQ(NearestPaletteIndex(p, RGB(20, 0, 0)), 2);
  EXPECT_EQ(NearestPaletteIndex(p, RGB(25, 0, 0)), 1);  // 30 and 20 tie: 1 comes before 2
  EXPECT_EQ(NearestPaletteIndex(TPalette(), clRed), -1);
}

TEST(GraphicsBitmap, AssignCopiesDeeply) {
  TBitmap a;
  FillPattern(a, pf8bit, 6, 4);
  a.SetTransparent(true);
  TBitmap b;
  b.Assign(&a);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(b.Palette(), a.Palette());
  EXPECT_TRUE(b.Transparent());
  b.ScanLine(0)[0] ^= 0xFF;
  EXPECT_NE(b.ScanLine(0)[0], a.ScanLine(0)[0]);
  TPicture picture;
  picture.SetGraphic(&a);
  a.ScanLine(1)[1] ^= 0xFF;
  EXPECT_NE(static_cast<TBitmap*>(picture.Graphic())->ScanLine(1)[1], a.ScanLine(1)[1]) << "the picture keeps its own copy";
  // Copies share one block of pixels until one of them changes, so that a large picture
  // held by the loader, the view and the screen takes its memory once: three copies of
  // 96 MB fit where only two blocks do.
  const testsupport::LimitedRun run = testsupport::RunWithMemoryLimit(200 * testsupport::kMiB, [] {
    TBitmap big, copies[3];
    big.SetPixelFormat(pf24bit);
    big.SetSize(8000, 4000);
    for (TBitmap& copy : copies) copy.Assign(&big);
    copies[0].ScanLine(3999)[23999] = 9;
    return std::to_string(copies[0].PixelColor(7999, 3999)) + std::to_string(big.PixelColor(7999, 3999)) +
           std::to_string(copies[2].PixelColor(7999, 3999));
  });
  EXPECT_EQ(run.text, "returned: 900");
}

TEST(GraphicsBitmap, TransparentColourAndMask) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(4, 3);
  b.Canvas().Brush().SetColor(clLime);
  b.Canvas().FillRect(Rect(0, 0, 4, 3));
  b.Canvas().SetPixels(1, 1, clRed);
  b.Canvas().SetPixels(3, 0, clRed);
  EXPECT_EQ(b.TransparentMode(), tmAuto);
  EXPECT_EQ(b.TransparentColor(), clLime) << "the bottom-left pixel";
  auto mask = b.CreateMask();
  ASSERT_EQ(mask->PixelFormat(), pf1bit);
  EXPECT_EQ(mask->PixelColor(0, 0), clWhite);
  EXPECT_EQ(mask->PixelColor(1, 1), clBlack);
  EXPECT_EQ(mask->PixelColor(3, 0), clBlack);
  b.SetTransparentColor(clRed);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  mask = b.CreateMask();
  EXPECT_EQ(mask->PixelColor(1, 1), clWhite);
  EXPECT_EQ(mask->PixelColor(0, 0), clBlack);
}

TEST(GraphicsBitmap, ChangesFireOnChange) {
  TBitmap b;
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  b.SetPixelFormat(pf24bit);
  b.SetSize(2, 2);
  int afterSize = changes;
  EXPECT_GT(afterSize, 0);
  b.Canvas().FillRect(Rect(0, 0, 2, 2));
  EXPECT_GT(changes, afterSize);
  EXPECT_TRUE(b.Modified());
}
