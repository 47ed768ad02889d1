// BMP files: what we write must read the same in ImageMagick, what ImageMagick
// writes must read the same here, and damaged files must fail cleanly.

#include <cstring>

#include "GraphicsTestHelpers.h"

using namespace graphicstest;
using testsupport::ImageMagickRaster;
using testsupport::Run;
using testsupport::TempPath;

namespace {

// A small varied picture made by ImageMagick (odd width, so rows need padding).
std::string MakeSource(int w = 13, int h = 7) {
  std::string path = TempPath("source.png");
  auto r = Run({"convert", "-size", std::to_string(w) + "x" + std::to_string(h), "-seed", "3", "plasma:", path});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return path;
}

// Converts source with ImageMagick to out ("CODER:name"); returns the file's path.
std::string ConvertWith(const std::string& source, const std::vector<std::string>& options, const std::string& out) {
  std::vector<std::string> argv{"convert", source};
  argv.insert(argv.end(), options.begin(), options.end());
  size_t colon = out.find(':');
  std::string path = TempPath(out.substr(colon + 1));
  argv.push_back(out.substr(0, colon + 1) + path);
  auto r = Run(argv);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return path;
}

// Appends v to bytes, its lowest byte first.
void Put32(std::vector<uint8_t>& bytes, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
}

uint32_t Le32(const std::string& s, size_t at) {
  return uint8_t(s[at]) | (uint8_t(s[at + 1]) << 8) | (uint8_t(s[at + 2]) << 16) | (uint32_t(uint8_t(s[at + 3])) << 24);
}

}  // namespace

TEST(GraphicsBmp, OurFilesReadTheSameInImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfDevice}) {
    TBitmap b;
    FillPattern(b, f, 13, 7);
    std::string path = TempPath("ours" + std::to_string(int(f)) + ".bmp");
    b.SaveToFile(path);
    std::string bytes = testsupport::ReadFile(path);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(Le32(bytes, 2), bytes.size()) << "file size field";
    EXPECT_GT(int32_t(Le32(bytes, 22)), 0) << "rows are stored bottom-up";
    auto raster = ImageMagickRaster(path);
    int tolerance = (f == pf15bit || f == pf16bit) ? 4 : 0;
    EXPECT_LE(MaxDifference(b, raster), tolerance) << "pixel format " << f;
  }
}

TEST(GraphicsBmp, OurFilesReadBackUnchanged) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap b;
    FillPattern(b, f, 13, 7);
    TMemoryStream stream;
    b.SaveToStream(stream);
    stream.SetPosition(0);
    TBitmap back;
    back.LoadFromStream(stream);
    EXPECT_EQ(back.PixelFormat(), f);
    ASSERT_EQ(back.Height(), 7);
    for (int y = 0; y < 7; ++y)
      EXPECT_EQ(0, std::memcmp(back.ScanLine(y), b.ScanLine(y), size_t(b.ScanLineSize()))) << "format " << f;
    if (f <= pf8bit) {
      EXPECT_EQ(back.Palette(), b.Palette());
    }
  }
}

TEST(GraphicsBmp, ImageMagickFilesReadTheSameHere) {
  KIVO2_REQUIRE_TOOL("convert");
  std::string source = MakeSource();
  struct Case {
    std::vector<std::string> options;
    std::string file;
    TPixelFormat expected;
    int tolerance;
  };
  const std::vector<Case> cases = {
      {{"-colors", "2", "-type", "palette", "-compress", "None"}, "BMP3:p1.bmp", pf1bit, 0},
      {{"-colors", "12", "-type", "palette", "-compress", "None"}, "BMP3:p4.bmp", pf4bit, 0},
      {{"-colors", "200", "-type", "palette", "-compress", "None"}, "BMP3:p8.bmp", pf8bit, 0},
      {{"-colors", "200", "-type", "palette", "-compress", "RLE"}, "BMP3:rle8.bmp", pf8bit, 0},
      {{"-type", "TrueColor"}, "BMP3:t24.bmp", pf24bit, 0},
      {{"-define", "bmp:subtype=RGB565"}, "BMP:565.bmp", pf16bit, 4},
      {{"-define", "bmp:subtype=RGB555"}, "BMP:555.bmp", pf15bit, 4},
      {{"-alpha", "set", "-type", "TrueColorAlpha"}, "BMP:a32.bmp", pf32bit, 0},
      {{}, "BMP2:core.bmp", pf24bit, 0},
  };
  for (const Case& c : cases) {
    std::string file = ConvertWith(source, c.options, c.file);
    TBitmap b;
    ASSERT_NO_THROW(b.LoadFromFile(file)) << c.file;
    EXPECT_EQ(b.PixelFormat(), c.expected) << c.file;
    EXPECT_LE(MaxDifference(b, ImageMagickRaster(file)), c.tolerance) << c.file;
  }
}

// The fourth byte of a 32-bit pixel is alpha only where the header gives an alpha mask;
// without one (BI_RGB, or bit fields for colours only) the pixels are opaque. netpbm's
// bmptopnm gives the colours of the files made here, ImageMagick the alpha of its own.
TEST(GraphicsBmp, ThirtyTwoBitPixelsCarryAlphaOnlyWhenTheHeaderSaysSo) {
  KIVO2_REQUIRE_TOOL("bmptopnm");
  KIVO2_REQUIRE_TOOL("convert");
  for (bool bitFields : {false, true}) {
    SCOPED_TRACE(bitFields ? "bit fields without alpha" : "BI_RGB");
    // 3 x 2 pixels whose fourth bytes are 0, 1, 128 and 255.
    const uint8_t fourth[4] = {0, 1, 128, 255};
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 6; ++i)
      pixels.insert(pixels.end(), {uint8_t(40 * i), uint8_t(200 - 30 * i), uint8_t(90 + i), fourth[i % 4]});
    std::vector<uint8_t> file = {'B', 'M'};
    const uint32_t offBits = 14 + 40 + (bitFields ? 12 : 0);
    for (uint32_t v : {offBits + uint32_t(pixels.size()), 0u, offBits, 40u, 3u, 2u, 1u | (32u << 16),
                       bitFields ? 3u : 0u, uint32_t(pixels.size()), 0u, 0u, 0u, 0u})
      Put32(file, v);
    if (bitFields)
      for (uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu}) Put32(file, mask);
    file.insert(file.end(), pixels.begin(), pixels.end());
    const std::string path = testsupport::TempFile("x32.bmp", file);
    TBitmap b;
    b.LoadFromFile(path);
    ASSERT_EQ(b.PixelFormat(), pf32bit);
    const testsupport::CommandResult netpbm = testsupport::Run({"bmptopnm", path});
    ASSERT_EQ(netpbm.exitCode, 0) << netpbm.err;
    EXPECT_EQ(MaxDifference(b, testsupport::ParsePnm(netpbm.out)), 0);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(b.ScanLine(y)[4 * x + 3], 255) << x << "," << y;
  }
  // ImageMagick's 32-bit files with an alpha mask keep their alpha.
  const std::string alpha = ConvertWith(MakeSource(), {"-alpha", "set", "-channel", "A", "-fx", "i/w", "+channel"},
                                        "BMP:alpha.bmp");
  TBitmap a;
  a.LoadFromFile(alpha);
  ASSERT_EQ(a.PixelFormat(), pf32bit);
  const testsupport::Raster expected = ImageMagickRaster(alpha);
  ASSERT_EQ(expected.channels, 4);
  int worst = 0;
  for (int y = 0; y < expected.height; ++y)
    for (int x = 0; x < expected.width; ++x)
      worst = std::max(worst, std::abs(int(a.ScanLine(y)[4 * x + 3]) - int(expected.at(x, y, 3))));
  EXPECT_EQ(worst, 0);
}

TEST(GraphicsBmp, TopDownRowsAndShortPalettes) {
  KIVO2_REQUIRE_TOOL("convert");
  std::string source = MakeSource();
  std::string file = ConvertWith(source, {"-type", "TrueColor"}, "BMP3:t24.bmp");
  std::string bytes = testsupport::ReadFile(file);
  // The same rows with a negative height are the picture upside down.
  int32_t h = int32_t(Le32(bytes, 22));
  int32_t neg = -h;
  std::memcpy(&bytes[22], &neg, 4);
  std::string flipped = TempPath("topdown.bmp");
  testsupport::WriteFile(flipped, bytes);
  TBitmap b;
  b.LoadFromFile(flipped);
  EXPECT_EQ(MaxDifference(b, ImageMagickRaster(file), true), 0);

  // A 4-colour palette in an 8-bit file.
  std::string few = ConvertWith(source, {"-colors", "4", "-type", "palette", "-compress", "None", "-define",
                                        "bmp3:alpha=false"},
                               "BMP3:few.bmp");
  TBitmap c;
  c.LoadFromFile(few);
  std::string fewBytes = testsupport::ReadFile(few);
  uint32_t clrUsed = Le32(fewBytes, 46);
  if (clrUsed > 0) {
    EXPECT_EQ(c.Palette().Count(), int(clrUsed));
  }
  EXPECT_EQ(MaxDifference(c, ImageMagickRaster(few)), 0);
}

TEST(GraphicsBmp, Rle4IsDecodedLikeImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  // 6x3 RLE4: bottom row a run, middle row an absolute run, top row a short run.
  std::vector<uint8_t> pixels = {
      6, 0x12, 0, 0,                    // row 0 (bottom): 1 2 1 2 1 2
      0, 5, 0x34, 0x56, 0x70, 0, 0, 0,  // row 1: absolute 3 4 5 6 7, then end of line
      3, 0xF0, 0, 0, 0, 1};             // row 2: F 0 F, end of line, end of bitmap
  std::vector<uint8_t> file = {'B', 'M'};
  const uint32_t offBits = 14 + 40 + 16 * 4;
  // 6 x 3, one plane of 4 bits, RLE4, 16 colours.
  for (uint32_t v : {offBits + uint32_t(pixels.size()), 0u, offBits, 40u, 6u, 3u, 1u | (4u << 16), 2u,
                     uint32_t(pixels.size()), 0u, 0u, 16u, 0u})
    Put32(file, v);
  for (int i = 0; i < 16; ++i) file.insert(file.end(), {uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t((i * 97) & 255), 0});
  file.insert(file.end(), pixels.begin(), pixels.end());
  std::string path = TempPath("rle4.bmp");
  testsupport::WriteFile(path, std::string(file.begin(), file.end()));
  TBitmap b;
  b.LoadFromFile(path);
  EXPECT_EQ(b.PixelFormat(), pf4bit);
  EXPECT_EQ(MaxDifference(b, ImageMagickRaster(path)), 0);
}

TEST(GraphicsBmp, DamagedFilesFailCleanlyOrKeepWhatIsThere) {
  KIVO2_REQUIRE_TOOL("convert");
  std::string source = MakeSource(40, 30);
  std::vector<std::string> files;
  for (auto opts : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"-colors", "200", "-type", "palette", "-compress", "RLE"}, "BMP3:rle.bmp"},
           {{"-type", "TrueColor"}, "BMP3:t24.bmp"},
           {{"-colors", "12", "-type", "palette", "-compress", "None"}, "BMP3:p4.bmp"},
           {{"-alpha", "set", "-type", "TrueColorAlpha"}, "BMP:a32.bmp"}}) {
    files.push_back(ConvertWith(source, opts.first, opts.second));
  }
  for (const std::string& file : files) {
    std::string bytes = testsupport::ReadFile(file);
    for (size_t cut : {size_t(0), size_t(2), size_t(14), size_t(30), size_t(54), size_t(60), bytes.size() / 2,
                       bytes.size() - 3}) {
      std::string part = bytes.substr(0, std::min(cut, bytes.size()));
      TReadOnlyMemoryStream stream(part.data(), int64_t(part.size()));
      TBitmap b;
      try {
        b.LoadFromStream(stream);
        // Whatever loaded must have the header's size.
        EXPECT_EQ(b.Width(), 40) << file << " cut at " << cut;
      } catch (const EInvalidGraphic&) {
        EXPECT_TRUE(b.Empty());
      }
    }
    // Flipped bytes in the header and in the data never crash.
    for (size_t at = 0; at < bytes.size(); at += 7) {
      std::string damaged = bytes;
      damaged[at] = char(damaged[at] ^ 0xA5);
      TReadOnlyMemoryStream stream(damaged.data(), int64_t(damaged.size()));
      TBitmap b;
      try {
        b.LoadFromStream(stream);
      } catch (const EInvalidGraphic&) {
      }
    }
  }
}

TEST(GraphicsBmp, HugeSizesWithLittleDataAreRefusedBeforeAllocating) {
  // A header claiming 30000 x 30000 at 8 bits with 20 bytes of data.
  std::vector<uint8_t> h = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54 + 8, 0, 0, 0, 40, 0, 0, 0};
  for (uint32_t v : {30000u, 30000u, 1u | (8u << 16), 0u, 0u, 0u, 0u, 2u, 0u, 0u, 0x00FFFFFFu}) Put32(h, v);
  h.insert(h.end(), 20, 0x11);
  TReadOnlyMemoryStream stream(h.data(), int64_t(h.size()));
  TBitmap b;
  EXPECT_THROW(b.LoadFromStream(stream), EInvalidGraphic);
  // Garbage is not a bitmap.
  std::string garbage(500, 'x');
  TReadOnlyMemoryStream g(garbage.data(), int64_t(garbage.size()));
  try {
    b.LoadFromStream(g);
    FAIL() << "garbage loaded";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Bitmap image is not valid");
  }
}
