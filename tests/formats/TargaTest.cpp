// The Targa reader and writer: the sample files against their reference PNGs, files
// written by ImageMagick and netpbm in every type and both orientations against
// ImageMagick's reading of them, hand-made headers for what no tool writes, hostile
// headers, and our own files read back by ImageMagick and tgatoppm.

#include "ReaderTestUtil.h"
#include "formats/GraphicFormats_Targa.h"

using namespace pixeltest;
using namespace hostiletest;

namespace {

// An 18-byte header followed by the given bytes.
Bytes Targa(uint8_t type, uint16_t w, uint16_t h, uint8_t pixelSize, uint8_t descriptor, uint8_t mapType = 0,
            uint16_t mapOrigin = 0, uint16_t mapSize = 0, uint8_t mapEntry = 0, const Bytes& rest = {}) {
  const uint8_t header[18] = {0, mapType, type, uint8_t(mapOrigin), uint8_t(mapOrigin >> 8), uint8_t(mapSize),
                              uint8_t(mapSize >> 8), mapEntry, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h),
                              uint8_t(h >> 8), pixelSize, descriptor};
  Bytes b(18 + rest.size());
  std::copy(header, header + 18, b.begin());
  std::copy(rest.begin(), rest.end(), b.begin() + 18);
  return b;
}

// Loads Targa bytes through the graphic class itself.
std::unique_ptr<TTargaGraphic> LoadBytes(const Bytes& data) { return Read<TTargaGraphic>(data); }

// tgatoppm's reading of a Targa file, with the alpha channel when asked for.
Rgba Tgatoppm(const std::string& file, bool withAlpha = false) {
  const std::string alpha = file + ".alpha.pgm";
  std::vector<std::string> argv = {"tgatoppm"};
  if (withAlpha) argv.push_back("-alphaout=" + alpha);
  argv.push_back(file);
  testsupport::CommandResult r = testsupport::Run(argv);
  if (r.exitCode != 0) throw std::runtime_error("tgatoppm failed: " + r.err);
  Rgba rgba = FromRaster(testsupport::ParsePnm(r.out));
  if (withAlpha) {
    const Rgba a = FromRaster(testsupport::ParsePnm(testsupport::ReadFile(alpha)));
    for (size_t i = 3; i < rgba.px.size(); i += 4) rgba.px[i] = a.px[i - 3];
  }
  return rgba;
}

}  // namespace

TEST(TargaReader, SampleFilesMatchTheirReferencePictures) {
  KIVO2_REQUIRE_CORPUS("tga");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string dir = testsupport::CorpusDir() + "/tga/";
  const std::vector<std::string> names = FilesEndingIn(dir, ".tga");
  int compared = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    // The reference is name.png, or the file a name.tga.json names.
    std::string ref = dir + name.substr(0, name.size() - 4) + ".png";
    const std::string json =
        access((dir + name + ".json").c_str(), R_OK) == 0 ? testsupport::ReadFile(dir + name + ".json") : "";
    if (const size_t at = json.find("\"fileName\""); at != std::string::npos) {
      const size_t q1 = json.find('"', json.find(':', at)) + 1;
      ref = dir + json.substr(q1, json.find('"', q1) - q1);
    }
    if (access(ref.c_str(), R_OK) != 0) continue;
    const Rgba ours = LoadRgba(dir + name);
    const Rgba reference = FromRaster(testsupport::ImageMagickRaster(ref));
    // Alpha is compared where the file says its pixels carry 8 alpha bits.
    const std::string file = testsupport::ReadFile(dir + name);
    const bool alpha = uint8_t(file[16]) == 32 && (uint8_t(file[17]) & 0x0F) == 8;
    EXPECT_EQ(Compare(ours, reference, 0, alpha), "");
    ++compared;
  }
  EXPECT_GE(compared, 14);
}

// The files are checked against tgatoppm: ImageMagick's own reading puts the rows of the
// bottom-up files it writes upside down, as its writer does.
TEST(TargaReader, FilesWrittenByImageMagickAndNetpbm) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("pamtotga");
  KIVO2_REQUIRE_TOOL("tgatoppm");
  const std::string ppm = testsupport::TempFile("in.ppm", TestPpm(71, 37, 21));
  struct Case {
    std::string name;
    std::vector<std::string> argv;  // writes the file given last
    uint8_t type, descriptorTop;
  } cases[] = {
      {"im-true", {"convert", ppm}, 2, 0},
      {"im-true-rle", {"convert", ppm, "-compress", "RLE"}, 10, 0},
      {"im-top", {"convert", ppm, "-orient", "TopLeft"}, 2, 0x20},
      {"im-top-rle", {"convert", ppm, "-orient", "TopLeft", "-compress", "RLE"}, 10, 0x20},
      {"im-grey", {"convert", ppm, "-type", "Grayscale"}, 3, 0},
      {"im-grey-rle", {"convert", ppm, "-type", "Grayscale", "-compress", "RLE"}, 11, 0},
      {"im-map", {"convert", ppm, "-colors", "50", "-type", "Palette"}, 1, 0},
      {"im-map-rle", {"convert", ppm, "-colors", "50", "-type", "Palette", "-compress", "RLE"}, 9, 0},
      {"im-alpha", {"convert", ppm, "-alpha", "set", "-channel", "A", "-evaluate", "set", "60%"}, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = testsupport::TempPath(c.name + ".tga");
    std::vector<std::string> argv = c.argv;
    argv.push_back(out);
    ASSERT_EQ(testsupport::Run(argv).exitCode, 0);
    const std::string file = testsupport::ReadFile(out);
    ASSERT_EQ(uint8_t(file[2]), c.type);
    ASSERT_EQ(uint8_t(file[17]) & 0x20, c.descriptorTop);
    const Rgba ours = LoadRgba(out);
    const bool alpha = c.name == "im-alpha";
    EXPECT_EQ(Compare(ours, Tgatoppm(out, alpha), 0, alpha), "");
  }
  // netpbm's writer: run-length by default, raw, colour-mapped (24- and 16-bit maps), grey.
  struct NetpbmCase {
    std::string name;
    std::vector<std::string> options;
  } netpbm[] = {{"pbm-rle", {"-rgb"}}, {"pbm-raw", {"-rgb", "-norle"}}, {"pbm-cmap", {"-cmap"}},
                {"pbm-cmap16", {"-cmap16"}}, {"pbm-mono", {"-mono"}}};
  const std::string few = testsupport::TempPath("few.ppm");
  ASSERT_EQ(testsupport::Run({"convert", ppm, "-colors", "30", few}).exitCode, 0);
  for (const NetpbmCase& c : netpbm) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> argv = {"pamtotga"};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.push_back(few);
    testsupport::CommandResult r = testsupport::Run(argv);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string out = testsupport::TempFile(c.name + ".tga", r.out);
    // A 16-bit colour map gives each 5-bit component times 8; tgatoppm scales it to 255.
    const bool map16 = c.name == "pbm-cmap16";
    EXPECT_EQ(Compare(LoadRgba(out), Tgatoppm(out), map16 ? 7 : 0), "");
    if (!map16 && c.name != "pbm-mono") {
      EXPECT_EQ(Compare(LoadRgba(out), FromRaster(testsupport::ParsePnm(testsupport::ReadFile(few)))), "");
    }
  }
}

TEST(TargaReader, HandMadeHeaders) {
  // A 16-bit colour map starting at index 2: each 5-bit component times 8.
  {
    auto g = LoadBytes(Targa(1, 2, 1, 8, 0x20, 1, 2, 2, 16, {0xFF, 0x7F, 0x1F, 0x00, 2, 3}));
    EXPECT_EQ(g->PixelFormat(), pf8bit);
    EXPECT_EQ(g->PixelColor(0, 0), RGB(248, 248, 248));
    EXPECT_EQ(g->PixelColor(1, 0), RGB(0, 0, 248));
  }
  // Run-length packets crossing rows: a run of 3 and a raw packet of 3 over rows of 2.
  {
    auto g = LoadBytes(Targa(10, 2, 3, 24, 0x20, 0, 0, 0, 0, {0x82, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(g->PixelColor(1, 0), RGB(3, 2, 1));
    EXPECT_EQ(g->PixelColor(0, 1), RGB(3, 2, 1));
    EXPECT_EQ(g->PixelColor(1, 1), RGB(6, 5, 4));
    EXPECT_EQ(g->PixelColor(1, 2), RGB(12, 11, 10));
  }
  // Bottom-up storage, and pixels stored right to left.
  {
    auto up = LoadBytes(Targa(3, 1, 2, 8, 0x00, 0, 0, 0, 0, {10, 20}));
    EXPECT_EQ(up->PixelColor(0, 0), RGB(20, 20, 20));
    auto mirrored = LoadBytes(Targa(3, 3, 1, 8, 0x30, 0, 0, 0, 0, {10, 20, 30}));
    EXPECT_EQ(mirrored->PixelColor(0, 0), RGB(30, 30, 30));
  }
  // 15-bit pixels take two bytes each; grey ignores its colour map (which is skipped).
  {
    auto g = LoadBytes(Targa(2, 2, 1, 15, 0x20, 0, 0, 0, 0, {0x00, 0x7C, 0x1F, 0x00}));
    EXPECT_EQ(g->PixelFormat(), pf15bit);
    EXPECT_GE(g->PixelColor(0, 0) & 0xFF, 248u);
    auto grey = LoadBytes(Targa(3, 2, 1, 8, 0x20, 1, 0, 2, 24, {9, 9, 9, 9, 9, 9, 0, 255}));
    EXPECT_EQ(grey->PixelColor(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(grey->PixelColor(1, 0), RGB(255, 255, 255));
  }
  // An empty colour map (a map type of 1 with no entries): indices without an entry
  // show black, as tgatoppm shows them.
  if (!testsupport::ToolPath("tgatoppm").empty()) {
    for (uint16_t origin : {0, 3}) {
      const Bytes data = Targa(1, 3, 1, 8, 0x20, 1, origin, 0, 24, {0, 2, 7});
      const std::string file = testsupport::TempFile("empty-map.tga", data);
      auto g = LoadBytes(data);
      EXPECT_EQ(g->PixelFormat(), pf8bit);
      EXPECT_EQ(Compare(FromBitmap(*g), Tgatoppm(file)), "") << "origin " << origin;
    }
  }
  // The signature test: a colour map entry size of 0 fails it, but the file loads.
  {
    const Bytes data = Targa(2, 1, 1, 24, 0x20, 0, 0, 0, 0, {1, 2, 3});
    TReadOnlyMemoryStream stream(data.data(), int64_t(data.size()));
    TTargaGraphic g;
    EXPECT_FALSE(g.CanLoad(stream));
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_EQ(LoadBytes(data)->PixelColor(0, 0), RGB(3, 2, 1));
    const Bytes good = Targa(2, 1, 1, 24, 0x20, 0, 0, 0, 24, {1, 2, 3});
    TReadOnlyMemoryStream goodStream(good.data(), int64_t(good.size()));
    EXPECT_TRUE(g.CanLoad(goodStream));
    // More than the 18 header bytes must remain.
    TReadOnlyMemoryStream headerOnly(good.data(), 18), oneMore(good.data(), 19);
    EXPECT_FALSE(g.CanLoad(headerOnly));
    EXPECT_TRUE(g.CanLoad(oneMore));
  }
}

TEST(TargaReader, ThirtyTwoBitPixelsCarryAlphaOnlyWhenTheHeaderSaysSo) {
  KIVO2_REQUIRE_TOOL("tgatoppm");
  // Two pixels whose fourth bytes are 0 and 128, raw and run-length, with 0 or 8
  // alpha bits in the descriptor. tgatoppm gives the colours and, where the header
  // declares 8 alpha bits, the alpha; where it declares none the pixels are opaque.
  const Bytes pixels = {10, 20, 30, 0, 40, 50, 60, 128};
  const Bytes packets = {0x01, 10, 20, 30, 0, 40, 50, 60, 128};
  for (uint8_t alphaBits : {0, 8})
    for (bool rle : {false, true}) {
      SCOPED_TRACE(std::to_string(alphaBits) + (rle ? " alpha bits, run-length" : " alpha bits, raw"));
      const Bytes data =
          Targa(rle ? 10 : 2, 2, 1, 32, uint8_t(0x20 | alphaBits), 0, 0, 0, 0, rle ? packets : pixels);
      const std::string file = testsupport::TempFile("alpha.tga", data);
      const Rgba expected = Tgatoppm(file, alphaBits != 0);
      auto g = LoadBytes(data);
      EXPECT_EQ(g->PixelFormat(), pf32bit);
      EXPECT_EQ(Compare(FromBitmap(*g), expected, 0, true), "");
      EXPECT_EQ(g->ImageProperties.HasAlpha, alphaBits != 0);
    }
}

// A header promises a picture; the file must be able to hold it. Raw pixels must all
// be there, and a run-length packet of 1 + n bytes gives at most 128 pixels. Each
// refusal must come before the bitmap exists: the loads run where a large allocation
// fails.
INSTANTIATE_TEST_SUITE_P(
    Targa, RefusedBeforeAllocating,
    testing::Values(  // Type 0 holds no pixel data at all.
        Refusal{"EmptyType", [] { LoadBytes(Targa(0, 20000, 20000, 8, 0)); }, TooLittle("Targa", 20000, 20000)},
        Refusal{"Raw", [] { LoadBytes(Targa(2, 10000, 10000, 24, 0, 0, 0, 0, 0, Bytes(100, 1))); },
                TooLittle("Targa", 10000, 10000)},
        // 16 pixels of 3 bytes: a cut file of 3 bytes loads, one of 2 is refused.
        Refusal{"RawTooShort", [] { LoadBytes(Targa(2, 4, 4, 24, 0, 0, 0, 0, 0, Bytes(2, 1))); },
                TooLittle("Targa", 4, 4)},
        Refusal{"RunLength", [] { LoadBytes(Targa(10, 15000, 15000, 24, 0, 0, 0, 0, 0, Bytes(1000, 0xFF))); },
                TooLittle("Targa", 15000, 15000)},
        Refusal{"RunLengthGrey", [] { LoadBytes(Targa(11, 30000, 30000, 8, 0, 0, 0, 0, 0, {0xFF, 1})); },
                TooLittle("Targa", 30000, 30000)},
        // Pixels over the bitmap's bytes say so, with the size, also at the widest side.
        Refusal{"TooWide", [] { LoadBytes(Targa(2, 65535, 5000, 32, 0, 0, 0, 0, 0, Bytes(100, 1))); },
                TooLarge(65535, 5000)},
        Refusal{"TooLarge", [] { LoadBytes(Targa(3, 60000, 60000, 8, 0)); }, TooLarge(60000, 60000)}),
    RowName<Refusal>);

// Uncompressed files of ImageMagick in both orientations, cut in their rows, against
// tgatoppm's reading of the whole file.
CutLayout TargaCut(const char* orientation) {
  const std::string file =
      testsupport::Run({"convert", "ppm:-", "-orient", orientation, "-compress", "none", "tga:-"}, TestPpm(31, 17, 21))
          .out;
  if (file.size() <= 18) return {};
  const std::string path = testsupport::TempFile(std::string("cut-") + orientation + ".tga", file);
  return {.file = Bytes(file.begin(), file.end()),
          .whole = Tgatoppm(path),
          .dataStart = size_t(18 + uint8_t(file[0])),
          .rowBytes = 31 * 3,
          .bottomUp = (file[17] & 0x20) == 0};
}
INSTANTIATE_TEST_SUITE_P(
    Targa, CutFiles,
    testing::Values(CutFile{"BottomUp", &ReadRgba<TTargaGraphic>, [] { return TargaCut("BottomLeft"); }},
                    CutFile{"TopDown", &ReadRgba<TTargaGraphic>, [] { return TargaCut("TopLeft"); }}),
    RowName<CutFile>);

TEST(TargaReader, AFileAtTheBoundLoads) {
  // 16 run packets of 4 bytes give the 2048 pixels of 256 x 8.
  KIVO2_REQUIRE_TOOL("tgatoppm");
  Bytes runs;
  for (int i = 0; i < 16; ++i) runs.insert(runs.end(), {0xFF, uint8_t(i * 15), 90, uint8_t(255 - i * 15)});
  const Bytes data = Targa(10, 256, 8, 24, 0x20, 0, 0, 0, 0, runs);
  const std::string file = testsupport::TempFile("bound.tga", data);
  EXPECT_EQ(Compare(FromBitmap(*LoadBytes(data)), Tgatoppm(file)), "");
}

TEST(TargaReader, HostileHeadersFailCleanly) {
  // Random headers and data: each load ends with a picture or an exception.
  std::mt19937 rng(99);
  for (int i = 0; i < 400; ++i) {
    Bytes data(18 + rng() % 200);
    for (uint8_t& b : data) b = uint8_t(rng());
    data[2] = uint8_t(std::vector<int>{0, 1, 2, 3, 9, 10, 11}[rng() % 7]);
    data[16] = uint8_t(std::vector<int>{8, 15, 16, 24, 32, 7}[rng() % 6]);
    data[13] = data[15] = 0;  // at most 255 x 255
    Load<TTargaGraphic>(data);
  }
}

TEST(TargaWriter, FilesReadBackByImageMagickAndTgatoppm) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("tgatoppm");
  const std::string ppm = testsupport::TempFile("src.ppm", TestPpm(53, 29, 21));
  TBitmap source;
  {
    const testsupport::Raster r = testsupport::ParsePnm(testsupport::ReadFile(ppm));
    source.SetPixelFormat(pf24bit);
    source.SetSize(r.width, r.height);
    for (int y = 0; y < r.height; ++y)
      for (int x = 0; x < r.width; ++x)
        for (int c = 0; c < 3; ++c) source.ScanLine(y)[3 * x + c] = uint8_t(r.at(x, y, 2 - c));
  }
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    for (bool compressed : {true, false}) {
      SCOPED_TRACE("format " + std::to_string(format) + (compressed ? " rle" : " raw"));
      TTargaGraphic g;
      g.Assign(&source);
      g.SetPixelFormat(format);
      const Rgba expected = FromBitmap(g);
      const std::string out = testsupport::TempPath("w.tga");
      {
        TFileStream stream(out, fmCreate);
        g.SaveToStream(stream, compressed);
      }
      if (format == pf1bit || format == pf4bit) {
        EXPECT_EQ(g.PixelFormat(), pf8bit);
      }
      const std::string file = testsupport::ReadFile(out);
      EXPECT_EQ(uint8_t(file[2]), (format <= pf8bit ? 1 : 2) + (compressed ? 8 : 0));
      // 15- and 16-bit colours are compared as 5-bit components.
      const int tolerance = format == pf15bit || format == pf16bit ? 7 : 0;
      EXPECT_EQ(Compare(FromRaster(testsupport::ImageMagickRaster(out)), expected, tolerance, format == pf32bit), "");
      EXPECT_EQ(Compare(Tgatoppm(out, format == pf32bit), expected, tolerance, format == pf32bit), "");
      // Our own reader takes the file too, and its signature test accepts it.
      TReadOnlyMemoryStream stream(file.data(), int64_t(file.size()));
      EXPECT_TRUE(g.CanLoad(stream));
    }
  }
}
