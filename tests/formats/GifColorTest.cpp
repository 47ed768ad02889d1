// Colour reduction: the octree quantizer and every ditherer on photo-like pictures
// against ImageMagick's reduction to 256 colours, the fixed palettes and lookups, the
// colour tables of frames and the DIB writer.

#include <cmath>

#include "GifTestSupport.h"

using namespace giftest;

namespace {

// A picture as a 24-bit bitmap, read from a BMP that ImageMagick writes.
std::unique_ptr<TBitmap> Photo(const std::string& source, const std::string& size) {
  const std::string bmp = testsupport::TempPath("photo" + size + ".bmp");
  std::vector<std::string> argv{"convert", source, "-resize", size + "!"};
  argv.insert(argv.end(), {"-type", "truecolor", "bmp3:" + bmp});
  if (testsupport::Run(argv).exitCode != 0) throw std::runtime_error("convert failed");
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->LoadFromFile(bmp);
  bitmap->SetPixelFormat(pf24bit);
  return bitmap;
}

double Psnr(const TBitmap& a, const TBitmap& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const TColor p = a.PixelColor(x, y), q = b.PixelColor(x, y);
      for (int shift : {0, 8, 16}) {
        const double d = double((p >> shift) & 0xFF) - double((q >> shift) & 0xFF);
        sum += d * d;
      }
    }
  const double mse = sum / (3.0 * a.Width() * a.Height());
  return 10.0 * std::log10(255.0 * 255.0 / std::max(mse, 1e-9));
}

size_t DistinctColours(const TBitmap& b) {
  std::set<TColor> colours;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) colours.insert(b.PixelColor(x, y));
  return colours.size();
}

// ImageMagick's reduction of the same bitmap to 256 colours with the given dither.
std::unique_ptr<TBitmap> ImageMagickReduced(TBitmap& source, const std::string& dither) {
  const std::string in = testsupport::TempPath("in.bmp"), out = testsupport::TempPath("out.bmp");
  source.SaveToFile(in);
  if (testsupport::Run({"convert", in, "-dither", dither, "-colors", "256", "-type", "truecolor", "bmp3:" + out})
          .exitCode != 0)
    throw std::runtime_error("convert failed");
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->LoadFromFile(out);
  return bitmap;
}

}  // namespace

TEST(GifColor, QuantizerAndDitherersComeWithinOneDecibelOfImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  // Photos: ImageMagick's own sample photo, and the corpus's when it is there.
  std::vector<std::string> sources{"rose:"};
  for (const char* name : {"exif-orientation/Landscape_0.jpg", "exif-orientation/Portrait_3.jpg"}) {
    const std::string corpus = testsupport::CorpusDir() + "/" + name;
    if (!testsupport::CorpusDir().empty() && access(corpus.c_str(), R_OK) == 0) sources.push_back(corpus);
  }
  for (const std::string& source : sources) {
    SCOPED_TRACE(source);
    std::unique_ptr<TBitmap> photo = Photo(source, source == "rose:" ? "70x46" : "320x240");
    const double plain = Psnr(*photo, *ImageMagickReduced(*photo, "None"));
    const double diffused = Psnr(*photo, *ImageMagickReduced(*photo, "FloydSteinberg"));
    for (TDitherMode mode : {dmNearest, dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNi, dmSteveArche, dmBurkes}) {
      SCOPED_TRACE(int(mode));
      TBitmap copy;
      copy.Assign(photo.get());
      std::unique_ptr<TBitmap> ours = GifCodec::ReduceFrameColors(copy, rmQuantize, mode, 8, nullptr);
      ASSERT_EQ(ours->PixelFormat(), pf8bit);
      EXPECT_EQ(ours->Palette().Count(), 256);
      const size_t colours = DistinctColours(*ours);
      EXPECT_LE(colours, 256u);
      EXPECT_GE(colours, 150u);
      // Error diffusion is compared with ImageMagick's Floyd-Steinberg, plain mapping with
      // its undithered reduction.
      const double theirs = mode == dmNearest ? plain : diffused;
      const double psnr = Psnr(*photo, *ours);
      EXPECT_GE(psnr, theirs - 1.0) << "ours " << psnr << " dB, ImageMagick " << theirs << " dB";
    }
  }
}

TEST(GifColor, FixedLookupsAndPalettes) {
  int r, g, b;
  TNetscapeColorLookup web;
  EXPECT_EQ(web.Lookup(255, 255, 255, r, g, b), 215);
  EXPECT_EQ(web.Lookup(48, 48, 48, r, g, b), 43);
  EXPECT_EQ(r, 51);
  TMonochromeLookup mono;
  EXPECT_EQ(mono.Lookup(127, 127, 127, r, g, b), 0);
  EXPECT_EQ(mono.Lookup(128, 128, 128, r, g, b), 1);
  EXPECT_EQ(r, 255);
  TGrayScaleLookup grey;
  EXPECT_EQ(grey.Lookup(255, 0, 0, r, g, b), 76);
  TPalette palette = GifCodec::WebPalette();
  ASSERT_EQ(palette.Count(), 216);
  EXPECT_EQ(palette.Entry(2 * 36 + 3 * 6 + 4), PaletteEntry(102, 153, 204));
  // The general lookup finds the nearest entry, the lowest index on ties.
  TSlowColorLookup slow(TPalette{PaletteEntry(0, 0, 0), PaletteEntry(200, 0, 0), PaletteEntry(200, 0, 0)});
  EXPECT_EQ(slow.Lookup(190, 10, 0, r, g, b), 1);
  EXPECT_EQ(slow.Lookup(60, 0, 0, r, g, b), 0);
}

TEST(GifColor, ReductionMethodsGiveTheirPalettes) {
  TBitmap three;
  three.SetPixelFormat(pf24bit);
  three.SetSize(30, 10);
  for (int x = 0; x < 30; ++x)
    for (int y = 0; y < 10; ++y) three.Canvas().SetPixels(x, y, x < 10 ? clRed : x < 20 ? clLime : clBlue);
  std::unique_ptr<TBitmap> q4 = GifCodec::ReduceFrameColors(three, rmQuantize, dmNearest, 4, nullptr);
  ASSERT_EQ(q4->Palette().Count(), 16);
  EXPECT_EQ(DistinctColours(*q4), 3u);
  EXPECT_EQ(q4->PixelColor(0, 0), clRed);
  EXPECT_EQ(q4->PixelColor(15, 5), clLime);
  // Entries after the quantized colours are black.
  EXPECT_EQ(q4->Palette().Entry(15), PaletteEntry(0, 0, 0, PC_NOCOLLAPSE));
  std::unique_ptr<TBitmap> windows = GifCodec::ReduceFrameColors(three, rmQuantizeWindows, dmNearest, 8, nullptr);
  ASSERT_EQ(windows->Palette().Count(), 256);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(windows->Palette().Entry(i), DefaultPalette20().Entry(i));
    EXPECT_EQ(windows->Palette().Entry(246 + i), DefaultPalette20().Entry(10 + i));
  }
  std::unique_ptr<TBitmap> none = GifCodec::ReduceFrameColors(three, rmNone, dmStucki, 8, nullptr);
  EXPECT_EQ(none->PixelFormat(), pf24bit);
  EXPECT_EQ(none->PixelColor(25, 3), clBlue);
  std::unique_ptr<TBitmap> greys = GifCodec::ReduceFrameColors(three, rmWindowsGray, dmNearest, 8, nullptr);
  EXPECT_EQ(greys->Palette().Count(), 4);
  // Methods and modes outside the tables give an empty bitmap.
  EXPECT_TRUE(GifCodec::ReduceFrameColors(three, TColorReduction(12), dmNearest, 8, nullptr)->Empty());
  EXPECT_TRUE(GifCodec::ReduceFrameColors(three, rmWebPalette, TDitherMode(9), 8, nullptr)->Empty());
}

TEST(GifColor, DitherersOnExactPalettesUniformGreysAndNarrowPictures) {
  // With every colour in the palette, every ditherer gives the nearest indices.
  TBitmap eight;
  eight.SetPixelFormat(pf24bit);
  eight.SetSize(17, 9);
  const TColor colours[4] = {clBlack, clWhite, clRed, clNavy};
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 17; ++x) eight.Canvas().SetPixels(x, y, colours[(x * 3 + y) % 4]);
  const TPalette exact{PaletteEntry(0, 0, 0), PaletteEntry(255, 255, 255), PaletteEntry(255, 0, 0),
                       PaletteEntry(0, 0, 128)};
  std::unique_ptr<TBitmap> nearest = GifCodec::ReduceFrameColors(eight, rmPalette, dmNearest, 8, &exact);
  for (TDitherMode mode : {dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNi, dmSteveArche, dmBurkes}) {
    std::unique_ptr<TBitmap> d = GifCodec::ReduceFrameColors(eight, rmPalette, mode, 8, &exact);
    for (int y = 0; y < 9; ++y)
      EXPECT_EQ(std::memcmp(d->ScanLine(y), nearest->ScanLine(y), 17), 0) << int(mode) << " row " << y;
  }
  // A uniform grey in black and white: about its share of white pixels, in both
  // directions of long rows; a picture one pixel wide works for every scheme.
  for (TDitherMode mode : {dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNi, dmSteveArche, dmBurkes}) {
    SCOPED_TRACE(int(mode));
    TBitmap grey;
    grey.SetPixelFormat(pf24bit);
    grey.SetSize(400, 40);
    grey.Canvas().Brush().SetColor(RGB(64, 64, 64));
    grey.Canvas().FillRect(Rect(0, 0, 400, 40));
    std::unique_ptr<TBitmap> d = GifCodec::ReduceFrameColors(grey, rmMonochrome, mode, 8, nullptr);
    int white = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 400; ++x) white += d->ScanLine(y)[x];
    EXPECT_NEAR(double(white) / (400 * 40), 64.0 / 255, 0.02);
    TBitmap column;
    column.SetPixelFormat(pf24bit);
    column.SetSize(1, 30);
    column.Canvas().Brush().SetColor(RGB(64, 64, 64));
    column.Canvas().FillRect(Rect(0, 0, 1, 30));
    std::unique_ptr<TBitmap> c = GifCodec::ReduceFrameColors(column, rmMonochrome, mode, 8, nullptr);
    EXPECT_EQ(c->Width(), 1);
  }
}

TEST(GifColor, ColourTables) {
  TGIFImage gif;
  TGIFColorMap& map = gif.Header().ColorMap();
  for (int i = 0; i < 256; ++i) EXPECT_EQ(map.Add(RGB(uint8_t(i), 0, 0)), i);
  try {
    map.Add(clWhite);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message(), "Color table overflow");
  }
  EXPECT_EQ(map.Count(), 256);
  map.Clear();
  map.Add(clRed);
  map.Add(clBlue);
  map.Add(clRed);
  EXPECT_EQ(map.IndexOf(clRed), 2);
  map.SetOptimized(true);
  EXPECT_EQ(map.IndexOf(clRed), 0);
  EXPECT_EQ(map.Capacity(), 16);
  // Out of range: a warning and entry 0; an empty table fails.
  std::vector<std::string> warnings;
  gif.OnWarning = [&](TObject*, int, const std::string& m) { warnings.push_back(m); };
  EXPECT_EQ(map.Colors(9), clRed);
  EXPECT_EQ(warnings, std::vector<std::string>{"Invalid color index"});
  map.Clear();
  EXPECT_THROW(map.Colors(0), GIFException);
  // Sorting by use: the global table of an image without frames is left alone.
  map.Add(clRed);
  map.Add(clBlue);
  EXPECT_FALSE(map.Optimize());
}

TEST(GifColor, SortingATableByUseRemapsThePixelsAndDropsUnusedColours) {
  TGIFImage gif;
  auto* frame = new TGIFSubImage(&gif);
  frame->SetBounds(0, 0, 4, 1);
  for (TColor c : {clRed, clLime, clBlue, clWhite}) frame->ColorMap().Add(c);
  const uint8_t pixels[4] = {2, 2, 1, 2};
  std::copy(pixels, pixels + 4, frame->Data());
  gif.Add(frame);
  EXPECT_TRUE(frame->ColorMap().Optimize());
  EXPECT_EQ(frame->ColorMap().Count(), 2);
  EXPECT_EQ(frame->ColorMap().Colors(0), clBlue);
  EXPECT_EQ(frame->ColorMap().Colors(1), clLime);
  EXPECT_EQ(frame->Pixels(0, 0), 0);
  EXPECT_EQ(frame->Pixels(2, 0), 1);
  // Already in order: true, and nothing changes.
  EXPECT_TRUE(frame->ColorMap().Optimize());
  EXPECT_EQ(frame->Pixels(2, 0), 1);
  // The frame's last row and column are in it; the next ones are not.
  EXPECT_EQ(frame->Pixels(3, 0), 0);
  EXPECT_THROW(frame->Pixels(4, 0), GIFException);
  EXPECT_THROW(frame->Pixels(0, 1), GIFException);
  EXPECT_THROW(frame->SetPixel(4, 0, 1), GIFException);
  EXPECT_THROW(frame->SetPixel(0, 1, 1), GIFException);
  EXPECT_THROW(frame->ScanLine(1), GIFException);
  EXPECT_EQ(frame->ScanLine(0)[3], 0);
}

TEST(GifColor, TheDIBWriter) {
  TBitmap target;
  {
    TDIBWriter writer(target, pf24bit, 3, 3, TPalette());
    std::memset(writer.ScanLine(0), 0xFF, 9);
    EXPECT_TRUE(target.Empty());  // unchanged until the writer is done
    EXPECT_THROW(writer.ScanLine(3), EInvalidGraphicOperation);
  }
  ASSERT_EQ(target.Width(), 3);
  EXPECT_EQ(target.PixelColor(2, 0), clWhite);
  EXPECT_EQ(target.PixelColor(0, 1), clBlack);
  EXPECT_EQ(GifCodec::BytesPerScanline(3, 24, 32), 12);
  EXPECT_THROW(TDIBWriter(target, pf4bit, 3, 3, TPalette()), GIFException);
  EXPECT_THROW(TDIBWriter(target, pf8bit, 0, 3, TPalette()), GIFException);
  EXPECT_EQ(GifCodec::Colors2bpp(0), 0);
  EXPECT_EQ(GifCodec::Colors2bpp(2), 1);
  EXPECT_EQ(GifCodec::Colors2bpp(5), 3);
  EXPECT_EQ(GifCodec::Colors2bpp(256), 8);
}
