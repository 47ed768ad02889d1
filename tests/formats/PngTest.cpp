// The PNG reader: the PNG suite against ImageMagick's decoding (with the reader's
// rules applied: 16-bit samples scaled by 255/65535, the file's gamma applied, alpha
// kept only for RGBA), its corrupt files, pictures that ImageMagick and netpbm write at
// every depth, interlaced and not, over several IDAT chunks, and hand-made chunk
// sequences for the chunk rules and hostile data.
#include <zlib.h>

#include <cmath>

#include "ReaderTestUtil.h"
#include "formats/GraphicFormats_PNG.h"

using namespace pixeltest;
using namespace hostiletest;

namespace {

uint32_t Be32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 | uint32_t(uint8_t(s[at + 2])) << 8 |
         uint8_t(s[at + 3]);
}

// The gamma of a PNG file (0 without gAMA) and the number of its IDAT chunks.
struct ChunkFacts {
  double gamma = 0;
  int idatCount = 0;
};
ChunkFacts ReadChunkFacts(const std::string& f) {
  ChunkFacts facts;
  for (size_t at = 8; at + 8 <= f.size();) {
    const uint32_t length = Be32(f, at);
    const std::string type = f.substr(at + 4, 4);
    if (type == "gAMA" && facts.gamma == 0) facts.gamma = Be32(f, at + 8) / 100000.0;
    if (type == "IDAT") ++facts.idatCount;
    at += 12 + size_t(length);
  }
  return facts;
}

// The reader's view of a tool's decoding: gamma (exponent 1 / (gamma * 2.2)) applied
// to the colour samples.
Rgba Expected(const std::string& file, double gamma) {
  Rgba r = FromRaster(testsupport::ImageMagickRaster(file, {"-depth", "16"}));
  if (gamma > 0) {
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = uint8_t(std::nearbyint(std::pow(i / 255.0, 1.0 / (gamma * 2.2)) * 255.0));
    for (size_t i = 0; i < r.px.size(); ++i)
      if (i % 4 != 3) r.px[i] = table[r.px[i]];
  }
  return r;
}

// Checks one PNG file against ImageMagick; alpha counts for RGBA pictures only.
void CheckAgainstImageMagick(const std::string& file) {
  SCOPED_TRACE(file);
  const std::string bytes = testsupport::ReadFile(file);
  const ChunkFacts facts = ReadChunkFacts(bytes);
  auto picture = LoadPicture(file);
  auto* png = dynamic_cast<TPNGGraphic*>(picture->Graphic());
  ASSERT_NE(png, nullptr);
  const Rgba ours = FromBitmap(*png);
  EXPECT_EQ(Compare(ours, Expected(file, facts.gamma), facts.gamma > 0 ? 1 : 0, png->PixelFormat() == pf32bit), "");
  EXPECT_FLOAT_EQ(png->ImageProperties.FileGamma, facts.gamma > 0 ? float(facts.gamma) : 1.0f);
}

// A chunk with its length and CRC.
void Chunk(Bytes& f, const std::string& type, const Bytes& data) {
  const uint32_t n = uint32_t(data.size());
  for (int s = 24; s >= 0; s -= 8) f.push_back(uint8_t(n >> s));
  Bytes body(type.begin(), type.end());
  body.insert(body.end(), data.begin(), data.end());
  f.insert(f.end(), body.begin(), body.end());
  const uint32_t crc = uint32_t(crc32(0, body.data(), uInt(body.size())));
  for (int s = 24; s >= 0; s -= 8) f.push_back(uint8_t(crc >> s));
}

Bytes Ihdr(uint32_t w, uint32_t h, uint8_t depth, uint8_t colorType, uint8_t interlaced = 0) {
  return {uint8_t(w >> 24), uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w), uint8_t(h >> 24), uint8_t(h >> 16),
          uint8_t(h >> 8),  uint8_t(h),       depth,           colorType, 0,                0,
          interlaced};
}

Bytes Deflate(const Bytes& raw) {
  uLongf size = compressBound(uLong(raw.size()));
  Bytes out(size);
  compress2(out.data(), &size, raw.data(), uLong(raw.size()), 9);
  out.resize(size);
  return out;
}

Bytes Signature() { return {137, 80, 78, 71, 13, 10, 26, 10}; }

std::unique_ptr<TPNGGraphic> LoadBytes(const Bytes& data) { return Read<TPNGGraphic>(data); }

// A PNG of the header, the chunks given, the rows deflated (no IDAT without withData) and IEND.
Bytes PngOf(const Bytes& ihdr, const Bytes& data, bool withData = true,
            const std::vector<std::pair<std::string, Bytes>>& before = {}) {
  Bytes f = Signature();
  Chunk(f, "IHDR", ihdr);
  for (const auto& [type, chunk] : before) Chunk(f, type, chunk);
  if (withData) Chunk(f, "IDAT", Deflate(data));
  Chunk(f, "IEND", {});
  return f;
}

// A 3 x 2 RGB picture (filter 0 rows) with extra chunks placed before the image data.
Bytes SmallRgb(const std::vector<std::pair<std::string, Bytes>>& before, const std::string& idat = "IDAT",
               const std::string& iend = "IEND") {
  Bytes f = Signature();
  Chunk(f, "IHDR", Ihdr(3, 2, 8, 2));
  for (const auto& [type, data] : before) Chunk(f, type, data);
  Bytes raw;
  for (int y = 0; y < 2; ++y) {
    raw.push_back(0);
    for (int x = 0; x < 3; ++x) raw.insert(raw.end(), {uint8_t(10 * x), uint8_t(100 + y), uint8_t(200)});
  }
  Chunk(f, idat, Deflate(raw));
  Chunk(f, iend, {});
  return f;
}

// The message of the EInvalidGraphic that loading the bytes raises (empty when none).
std::string LoadError(const Bytes& data) {
  try {
    LoadBytes(data);
  } catch (const EInvalidGraphic& e) {
    return e.Message();
  }
  return "";
}

}  // namespace

TEST(PngReader, SuiteMatchesImageMagickAndBrokenFilesRaise) {
  KIVO2_REQUIRE_CORPUS("png");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string dir = testsupport::CorpusDir() + "/png/";
  const std::vector<std::string> names = FilesEndingIn(dir, ".png");
  int good = 0, broken = 0;
  for (const std::string& name : names) {
    if (name[0] == 'x') {
      SCOPED_TRACE(name);
      EXPECT_THROW(LoadRgba(dir + name), Exception);
      ++broken;
    } else {
      CheckAgainstImageMagick(dir + name);
      ++good;
    }
  }
  EXPECT_GE(good, 150);
  EXPECT_GE(broken, 14);
}

TEST(PngReader, PicturesWrittenByImageMagickAndNetpbm) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("pnmtopng");
  // A noisy colour picture large enough to need several IDAT chunks.
  const std::string src = testsupport::TempPath("src.ppm");
  ASSERT_EQ(testsupport::Run({"convert", "-size", "211x157", "-seed", "4", "plasma:fractal", "-attenuate", "0.4",
                              "+noise", "Gaussian", src})
                .exitCode,
            0);
  struct Case {
    std::string name;
    std::vector<std::string> options;
  } imageMagick[] = {
      {"grey1", {"-type", "Bilevel", "-define", "png:bit-depth=1"}},
      {"grey2", {"-colorspace", "Gray", "-depth", "2", "-define", "png:color-type=0", "-define", "png:bit-depth=2"}},
      {"grey4", {"-colorspace", "Gray", "-depth", "4", "-define", "png:color-type=0", "-define", "png:bit-depth=4"}},
      {"grey8", {"-colorspace", "Gray", "-define", "png:color-type=0", "-define", "png:bit-depth=8"}},
      {"grey16", {"-colorspace", "Gray", "-depth", "16", "-define", "png:color-type=0"}},
      {"greyalpha8", {"-colorspace", "Gray", "-alpha", "set", "-define", "png:color-type=4"}},
      {"greyalpha16", {"-colorspace", "Gray", "-alpha", "set", "-depth", "16", "-define", "png:color-type=4"}},
      {"pal2", {"-colors", "4", "-define", "png:color-type=3", "-define", "png:bit-depth=2"}},
      {"pal4", {"-colors", "16", "-define", "png:color-type=3", "-define", "png:bit-depth=4"}},
      {"pal8", {"PNG8"}},
      {"rgb8", {"PNG24"}},
      {"rgb16", {"PNG48"}},
      {"rgba8", {"-alpha", "set", "-channel", "A", "-fx", "i/w", "+channel", "PNG32"}},
      {"rgba16", {"-alpha", "set", "-channel", "A", "-fx", "j/h", "+channel", "PNG64"}},
  };
  int multiIdat = 0;
  for (const Case& c : imageMagick) {
    for (bool interlaced : {false, true}) {
      std::vector<std::string> argv = {"convert", src};
      std::string prefix;
      for (const std::string& o : c.options) {
        if (o.rfind("PNG", 0) == 0)
          prefix = o + ":";
        else
          argv.push_back(o);
      }
      if (interlaced) argv.insert(argv.end(), {"-interlace", "PNG"});
      const std::string out = testsupport::TempPath(c.name + (interlaced ? "-i" : "") + ".png");
      argv.push_back(prefix + out);
      ASSERT_EQ(testsupport::Run(argv).exitCode, 0) << c.name;
      if (ReadChunkFacts(testsupport::ReadFile(out)).idatCount > 1) ++multiIdat;
      CheckAgainstImageMagick(out);
    }
  }
  EXPECT_GT(multiIdat, 10);
  // netpbm's writer, from grey maps of maxval 1, 3, 15, 255, 65535 and the colour picture.
  for (std::string maxval : {"1", "3", "15", "255", "65535"}) {
    for (bool interlaced : {false, true}) {
      const std::string pgm = testsupport::TempPath("g" + maxval + ".pgm");
      ASSERT_EQ(testsupport::Run({"convert", src, "-colorspace", "Gray", "-depth", maxval == "65535" ? "16" : "8", pgm})
                    .exitCode,
                0);
      testsupport::CommandResult depth = testsupport::Run({"pamdepth", maxval, pgm});
      ASSERT_EQ(depth.exitCode, 0);
      std::vector<std::string> argv = {"pnmtopng"};
      if (interlaced) argv.push_back("-interlace");
      testsupport::CommandResult png = testsupport::Run(argv, depth.out);
      ASSERT_EQ(png.exitCode, 0) << png.err;
      const std::string out = testsupport::TempFile("n" + maxval + (interlaced ? "-i" : "") + ".png", png.out);
      CheckAgainstImageMagick(out);
    }
  }
  testsupport::CommandResult colour = testsupport::Run({"pnmtopng", "-interlace", src});
  ASSERT_EQ(colour.exitCode, 0);
  const std::string out = testsupport::TempFile("ncolour.png", colour.out);
  CheckAgainstImageMagick(out);
}

TEST(PngReader, ChunkRules) {
  // Chunk types ignore the letters' case; unknown ancillary chunks are skipped.
  auto g = LoadBytes(SmallRgb({{"abCD", {1, 2, 3}}}, "iDaT", "IEnD"));
  EXPECT_EQ(g->PixelFormat(), pf24bit);
  EXPECT_EQ(g->PixelColor(2, 1), RGB(20, 101, 200));
  // An unknown critical chunk, a palette of 10 bytes, a CRC error.
  EXPECT_EQ(LoadError(SmallRgb({{"ABCD", {}}})), "Cannot load PNG image. Unexpected but critical chunk detected.");
  EXPECT_THROW(LoadBytes(SmallRgb({{"PLTE", Bytes(10, 0)}})), EInvalidGraphic);
  Bytes bad = SmallRgb({});
  bad[45] ^= 1;  // inside the IDAT data
  EXPECT_EQ(LoadError(bad), "Cannot load image. CRC error found in PNG file.");
  // A palette in an RGB picture is checked and ignored; gAMA, bKGD and tRNS are taken.
  g = LoadBytes(SmallRgb({{"gAMA", {0, 0, 0xB1, 0x8F}}, {"PLTE", Bytes(6, 7)}, {"bKGD", {0, 1, 0, 2, 0, 3}},
                          {"tRNS", {0, 20, 0, 101, 0, 200}}}));
  EXPECT_NEAR(g->ImageProperties.FileGamma, 0.45455f, 1e-5);
  EXPECT_EQ(g->BackgroundColor(), RGB(1, 2, 3));
  EXPECT_TRUE(g->Transparent());
  EXPECT_EQ(g->TransparentColor(), RGB(20, 101, 200));
  // No gAMA: file gamma 1 and no correction.
  g = LoadBytes(SmallRgb({}));
  EXPECT_EQ(g->ImageProperties.FileGamma, 1.0f);
  EXPECT_FALSE(g->Transparent());
  // No image data at all is no picture.
  EXPECT_THROW(LoadBytes(PngOf(Ihdr(3, 2, 8, 2), {}, false)), EInvalidGraphic);
}

TEST(PngReader, ImageDataRules) {
  // Indexed 2-bit, interlaced, 1 pixel wide: a 4-bit bitmap, passes 0, 2, 4 and 6 only;
  // a tRNS of 3 bytes gives alpha for indexes 0..2 and 255 for the rest.
  {
    // Rows of pass 0 (row 0), pass 2 (row 4), pass 4 (rows 2, 6), pass 6 (odd rows).
    const Bytes raw = {0, 0x40, 0, 0x80, 0, 0xC0, 0, 0x40, 0, 0x80, 0, 0xC0, 0, 0x40, 0, 0x80};
    auto g = LoadBytes(PngOf(Ihdr(1, 8, 2, 3, 1), raw, true,
                             {{"PLTE", {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255}}, {"tRNS", {10, 20, 30}}}));
    EXPECT_EQ(g->PixelFormat(), pf4bit);
    const TColor expected[8] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(0, 0, 255),
                                RGB(0, 255, 0), RGB(255, 0, 0), RGB(255, 0, 0), RGB(0, 255, 0)};
    for (int y = 0; y < 8; ++y) EXPECT_EQ(g->PixelColor(0, y), expected[y]) << "row " << y;
    EXPECT_EQ(g->TransparencyTable().size(), 256u);
    EXPECT_EQ(g->TransparencyTable()[2], 30);
    EXPECT_EQ(g->TransparencyTable()[3], 255);
  }
  // 16-bit RGB over rows of 6 * width + 1 bytes into a 24-bit bitmap; every filter.
  {
    Bytes raw;
    for (uint8_t filter : {0, 2, 1, 3, 4}) {
      raw.push_back(filter);
      for (int i = 0; i < 12; ++i) raw.push_back(filter == 0 ? uint8_t(i * 20) : 0);
    }
    auto g = LoadBytes(PngOf(Ihdr(2, 5, 16, 2), raw));
    EXPECT_EQ(g->PixelFormat(), pf24bit);
    // Up repeats the row above; Sub with zero differences repeats the zero on the left.
    EXPECT_EQ(g->PixelColor(1, 0), RGB(120, 160, 200));
    EXPECT_EQ(g->PixelColor(1, 1), RGB(120, 160, 200));
    EXPECT_EQ(g->PixelColor(1, 2), RGB(0, 0, 0));
  }
  // Image data that ends before the last row: no error, the rest shows the background.
  {
    Bytes f = Signature();
    Chunk(f, "IHDR", Ihdr(2, 4, 8, 0));
    Chunk(f, "bKGD", {0, 77});
    Bytes raw = {0, 9, 9, 0, 8, 8};
    Bytes packed = Deflate(raw);
    packed.resize(packed.size() - 4);  // no end of stream
    Chunk(f, "IDAT", packed);
    Chunk(f, "IEND", {});
    auto g = LoadBytes(f);
    EXPECT_EQ(g->PixelColor(0, 0), RGB(9, 9, 9));
    EXPECT_EQ(g->PixelColor(1, 3), RGB(77, 77, 77));
  }
  // A zlib stream that ends with room left in the row.
  EXPECT_EQ(LoadError(PngOf(Ihdr(4, 2, 8, 0), {0, 1, 2})),
            "Cannot load image. Extra compressed data found in PNG file.");
}

// Deflate turns one stored byte into at most 1032: a picture whose rows need more than
// that from the file's bytes cannot be in the file and is refused before the bitmap is
// made (the loads run where a large allocation fails). Sides over the bitmap's limit
// say that the picture is too large.
// 69 bytes claiming an interlaced grey picture of 32768 x 32768, a row wider than a bitmap
// and a picture of 2^31 - 1 pixels square.
INSTANTIATE_TEST_SUITE_P(
    Png, RefusedBeforeAllocating,
    testing::Values(Refusal{"HeaderOnly", [] { LoadBytes(PngOf(Ihdr(32768, 32768, 8, 0, 1), Bytes(4, 0))); },
                            TooLittle("PNG", 32768, 32768)},
                    Refusal{"Wide", [] { LoadBytes(PngOf(Ihdr(300000000, 1, 8, 0), Bytes(65536, 0))); },
                            TooLarge(300000000, 1)},
                    Refusal{"Huge", [] { LoadBytes(PngOf(Ihdr(0x7FFFFFFF, 0x7FFFFFFF, 16, 6), {}, false)); },
                            TooLarge(0x7FFFFFFF, 0x7FFFFFFF)}),
    RowName<Refusal>);

TEST(PngReader, RowsOfZerosCompressedToTheBoundLoad) {
  // Compressed as far as zlib goes they come close to the bound.
  KIVO2_REQUIRE_TOOL("convert");
  for (uint8_t interlaced : {0, 1}) {
    Bytes f = Signature();
    Chunk(f, "IHDR", Ihdr(3000, 2000, 8, 0, interlaced));
    // The filtered rows of 8-bit grey: one filter byte and the pixels per row of each pass.
    size_t rawSize = 0;
    for (int pass = 0; pass < (interlaced ? 7 : 1); ++pass) {
      static const int row0[7] = {0, 0, 4, 0, 2, 0, 1}, column0[7] = {0, 4, 0, 2, 0, 1, 0},
                       rowStep[7] = {8, 8, 8, 4, 4, 2, 2}, columnStep[7] = {8, 8, 4, 4, 2, 2, 1};
      const int first = interlaced ? row0[pass] : 0, step = interlaced ? rowStep[pass] : 1;
      const int width = interlaced ? (3000 + columnStep[pass] - 1 - column0[pass]) / columnStep[pass] : 3000;
      rawSize += size_t((2000 - first + step - 1) / step) * size_t(1 + width);
    }
    Bytes raw(rawSize, 0);
    const Bytes packed = Deflate(raw);
    Chunk(f, "IDAT", packed);
    Chunk(f, "IEND", {});
    EXPECT_GT(raw.size() / packed.size(), 900u);
    const std::string file = testsupport::TempFile("zeros.png", f);
    CheckAgainstImageMagick(file);
  }
}

TEST(PngReader, HostileFilesFailCleanly) {
  // A chunk longer than the file, a bad colour format.
  Bytes longChunk = Signature();
  Chunk(longChunk, "IHDR", Ihdr(4, 4, 8, 2));
  longChunk.insert(longChunk.end(), {0x7F, 0xFF, 0xFF, 0xF0, 'I', 'D', 'A', 'T', 1, 2, 3});
  EXPECT_THROW(LoadBytes(longChunk), EReadError);
  EXPECT_EQ(LoadError(PngOf(Ihdr(4, 4, 3, 2), Bytes(20, 0))), "Invalid color format in PNG file.");
  // Random bytes in the image data of every colour type: a picture or an exception.
  std::mt19937 rng(3);
  const uint8_t types[][2] = {{0, 1}, {0, 2}, {0, 16}, {2, 8}, {3, 4}, {4, 16}, {6, 8}};
  for (int i = 0; i < 200; ++i) {
    const auto& t = types[i % 7];
    Bytes raw(rng() % 400);
    for (uint8_t& b : raw) b = uint8_t(rng());
    Bytes f = Signature();
    Chunk(f, "IHDR", Ihdr(1 + rng() % 30, 1 + rng() % 30, t[1], t[0], uint8_t(rng() % 2)));
    if (t[0] == 3) Chunk(f, "PLTE", Bytes(3 * (rng() % 300), 5));
    Chunk(f, "IDAT", i % 2 ? Deflate(raw) : raw);
    Chunk(f, "IEND", {});
    Load<TPNGGraphic>(f);
  }
}
