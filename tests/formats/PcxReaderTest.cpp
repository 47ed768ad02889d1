// The PCX reader: files written by netpbm (1 to 4 planes of 1 bit, packed 2 and 4 bits,
// 8 and 24 bits), ImageMagick (8 bits, three and four planes of 8 bits) and
// GraphicsMagick (uncompressed) against pcxtoppm or ImageMagick, the public sample
// files against their reference pictures, hand-made headers for what no tool writes,
// and damaged or hostile files.

#include "ReaderFiles.h"
#include "ReaderTestUtil.h"
#include "formats/GraphicFormats_PCX.h"

using namespace pixeltest;
using namespace hostiletest;

namespace {

struct PcxHeader {
  uint8_t id = 10, version = 5, encoding = 1, bits = 8;
  uint16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  uint8_t planes = 1;
  uint16_t bytesPerLine = 0, paletteType = 1;
  uint8_t colourMap[48] = {};
};

// A 128-byte header followed by the data.
Bytes Pcx(const PcxHeader& h, const Bytes& data) {
  Bytes b(128 + data.size(), 0);
  auto put16 = [&](int at, uint16_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); };
  b[0] = h.id, b[1] = h.version, b[2] = h.encoding, b[3] = h.bits;
  put16(4, h.xMin), put16(6, h.yMin), put16(8, h.xMax), put16(10, h.yMax);
  std::copy(h.colourMap, h.colourMap + 48, b.begin() + 16);
  b[65] = h.planes;
  put16(66, h.bytesPerLine), put16(68, h.paletteType);
  std::copy(data.begin(), data.end(), b.begin() + 128);
  return b;
}

std::unique_ptr<TPCXGraphic> LoadBytes(const Bytes& data) { return hostiletest::Read<TPCXGraphic>(data); }

Rgba Pcxtoppm(const std::string& file) {
  const testsupport::CommandResult r = testsupport::Run({"pcxtoppm", "-quiet", file});
  if (r.exitCode != 0) throw std::runtime_error("pcxtoppm failed: " + r.err);
  return FromRaster(testsupport::ParsePnm(r.out));
}

}  // namespace

TEST(PcxReader, FilesWrittenByNetpbmAndImageMagickAgainstTheirReaders) {
  KIVO2_REQUIRE_TOOL("ppmtopcx");
  KIVO2_REQUIRE_TOOL("pcxtoppm");
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("gm");
  const std::string full = testsupport::TempFile("full.ppm", hostiletest::TestPpm(37, 23, 11));
  // Black and white (one bit shows black and white whatever the header's colours), and
  // 4, 8, 16 and 200 colours.
  const std::string bw =
      readerfiles::ToolFile("bw.pbm", {"pamditherbw", "-quiet", readerfiles::ToolFile("grey.pgm", {"ppmtopgm", full})});
  std::map<int, std::string> reduced;
  for (int n : {4, 8, 16, 200})
    reduced[n] =
        readerfiles::ToolFile("c" + std::to_string(n) + ".ppm", {"pnmquant", "-quiet", std::to_string(n), full});
  struct Case {
    std::string name;
    std::vector<std::string> argv;  // writes the file to standard output, or to the path given last
    bool magickOracle;
  };
  const std::string rgba = testsupport::TempPath("rgba.png");
  ASSERT_EQ(testsupport::Run({"convert", full, "-alpha", "set", "-channel", "A", "-fx", "(i+j)/60", rgba}).exitCode, 0);
  const std::vector<Case> cases = {
      {"bw.pcx", {"ppmtopcx", "-quiet", bw}, false},
      {"planes2.pcx", {"ppmtopcx", "-quiet", reduced[4]}, false},
      {"planes3.pcx", {"ppmtopcx", "-quiet", reduced[8]}, false},
      {"planes4.pcx", {"ppmtopcx", "-quiet", reduced[16]}, false},
      {"packed2.pcx", {"ppmtopcx", "-quiet", "-packed", reduced[4]}, false},
      {"packed4.pcx", {"ppmtopcx", "-quiet", "-packed", reduced[16]}, false},
      {"eight.pcx", {"ppmtopcx", "-quiet", reduced[200]}, false},
      {"eight-from16.pcx", {"ppmtopcx", "-quiet", "-8bit", reduced[16]}, false},
      {"true.pcx", {"ppmtopcx", "-quiet", "-24bit", full}, false},
      {"im-true.pcx", {"convert", full, ""}, false},
      {"im-eight.pcx", {"convert", reduced[200], "-type", "Palette", ""}, false},
      {"im-rgba.pcx", {"convert", rgba, ""}, true},
      {"gm-raw.pcx", {"gm", "convert", full, "-compress", "None", ""}, true},
  };
  std::set<std::string> layouts;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = readerfiles::ToolFile(c.name, c.argv);
    const std::string bytes = testsupport::ReadFile(file);
    ASSERT_GT(bytes.size(), 128u);
    layouts.insert(std::to_string(uint8_t(bytes[3])) + "x" + std::to_string(uint8_t(bytes[65])) +
                   (bytes[2] ? "" : " raw"));
    const Rgba ours = LoadRgba(file);
    if (c.magickOracle)
      EXPECT_EQ(Compare(ours, FromRaster(testsupport::ImageMagickRaster(file)), 0, true), "");
    else
      EXPECT_EQ(Compare(ours, Pcxtoppm(file)), "");
  }
  // Bits per plane x planes: every layout the reader knows.
  EXPECT_EQ(layouts, (std::set<std::string>{"1x1", "1x2", "1x3", "1x4", "2x1", "4x1", "8x1", "8x3", "8x4", "8x3 raw"}));
}

TEST(PcxReader, SampleFilesMatchTheirReferencePictures) {
  KIVO2_REQUIRE_CORPUS("pcx");
  KIVO2_REQUIRE_TOOL("convert");
  EXPECT_GE(readerfiles::CompareWithReferencePictures("pcx", ".pcx"), 11);
}

TEST(PcxReader, HeaderFieldsPlanesAndPalettes) {
  PcxHeader h;
  h.encoding = 0, h.bits = 1, h.planes = 4, h.xMin = 10, h.xMax = 19, h.yMax = 0, h.bytesPerLine = 2;
  for (int i = 0; i < 16; ++i) h.colourMap[3 * i] = uint8_t(16 * i), h.colourMap[3 * i + 2] = uint8_t(255 - i);
  // Pixel 0 has the bits 1, 0, 1, 1 in planes 1 to 4: index 13; pixel 9 has only plane 2's bit: index 2.
  const Bytes planes = {0x80, 0x00, 0x00, 0x40, 0x80, 0x00, 0x80, 0x00};
  auto g = LoadBytes(Pcx(h, planes));
  EXPECT_EQ(g->Width(), 10);
  EXPECT_EQ(g->PixelFormat(), pf4bit);
  EXPECT_EQ(g->PixelColor(0, 0), RGB(208, 0, 242));
  EXPECT_EQ(g->PixelColor(9, 0), RGB(32, 0, 253));
  EXPECT_EQ(g->PixelColor(5, 0), RGB(0, 0, 255));
  // Version 3 files carry no palette: the system's 16 colours.
  h.version = 3;
  EXPECT_EQ(LoadBytes(Pcx(h, planes))->PixelColor(0, 0), SystemPalette16().Color(13));

  // Screen captures (file id 205) load; file id 12 is no PCX file.
  PcxHeader grey;
  grey.encoding = 0, grey.xMax = 3, grey.yMax = 1, grey.bytesPerLine = 4, grey.paletteType = 2;
  const Bytes rows = {0, 85, 170, 255, 1, 2, 3, 4};
  TPCXGraphic probe;
  for (uint8_t id : {10, 205, 12}) {
    grey.id = id;
    const Bytes file = Pcx(grey, rows);
    TReadOnlyMemoryStream stream(file.data(), int64_t(file.size()));
    EXPECT_EQ(probe.CanLoad(stream), id != 12) << int(id);
    EXPECT_EQ(stream.Position(), 0);
    const hostiletest::LoadResult r = hostiletest::Load<TPCXGraphic>(file);
    EXPECT_EQ(r.error, id == 12 ? "Cannot load image. Invalid or unexpected PCX or SCR image format." : "");
  }
  // Uncompressed 8-bit rows with no palette behind them: all of them are pixels, and a
  // grey-scale palette type gives the grey ramp.
  grey.id = 10;
  auto g8 = LoadBytes(Pcx(grey, rows));
  EXPECT_EQ(g8->PixelColor(1, 0), RGB(85, 85, 85));
  EXPECT_EQ(g8->PixelColor(3, 1), RGB(4, 4, 4));
  // Longer data than the rows take is not read past them.
  Bytes longer = rows;
  longer.resize(5000, 77);
  EXPECT_EQ(LoadBytes(Pcx(grey, longer))->PixelColor(3, 1), RGB(4, 4, 4));
  // Runs may cross rows: three runs of 3 fill two rows of 4 and one more byte.
  grey.encoding = 1;
  auto runs = LoadBytes(Pcx(grey, {0xC3, 10, 0xC3, 20, 0xC2, 30}));
  EXPECT_EQ(runs->PixelColor(3, 0), RGB(20, 20, 20));
  EXPECT_EQ(runs->PixelColor(1, 1), RGB(20, 20, 20));
  EXPECT_EQ(runs->PixelColor(3, 1), RGB(30, 30, 30));
}

TEST(PcxReader, LayoutsAndRowsThatDoNotFitAreRefused) {
  PcxHeader h;
  h.encoding = 0, h.xMax = 3, h.yMax = 1, h.bytesPerLine = 4;
  const Bytes data(64, 1);
  const std::string colour = "Invalid color format in PCX file.";
  const std::string invalid = "Cannot load image. Invalid or unexpected PCX or SCR image format.";
  auto error = [&](PcxHeader v) { return hostiletest::Load<TPCXGraphic>(Pcx(v, data)).error; };
  PcxHeader v = h;
  v.planes = 2;  // two planes of 8 bits
  EXPECT_EQ(error(v), colour);
  v = h, v.bits = 4, v.planes = 3;
  EXPECT_EQ(error(v), colour);
  v = h, v.bits = 24;
  EXPECT_EQ(error(v), colour);
  v = h, v.bytesPerLine = 3;  // rows shorter than the picture
  EXPECT_EQ(error(v), invalid);
  v = h, v.bytesPerLine = 4 + 65;  // up to 64 bytes of padding in a row
  EXPECT_EQ(error(v), invalid);
  v = h, v.bytesPerLine = 4 + 64;
  EXPECT_NE(error(v), invalid);
  v = h, v.xMin = 5;  // corners the wrong way round
  EXPECT_EQ(error(v), invalid);
}

// A huge picture from a small file is refused before anything is allocated for it.
INSTANTIATE_TEST_SUITE_P(Pcx, RefusedBeforeAllocating, testing::Values(Refusal{"Huge", [] {
                           PcxHeader h;
                           h.xMax = h.yMax = 19999, h.bytesPerLine = 20000;
                           LoadBytes(Pcx(h, Bytes(4000, 0xFF)));
                         }, TooLittle("PCX or SCR", 20000, 20000)}),
                         RowName<Refusal>);

// Three planes of 1 bit, 24 bits, and 8 bits with the palette behind the data. Inside the
// header no picture loads; cut at its end, inside the data or the palette block, a picture
// loads with the rows the data gives, or a clear error.
Damage PcxDamage(const char* option) {
  const std::string source = TestPpm(29, 17, 4);
  const std::string eight = testsupport::Run({"pnmquant", "-quiet", "8"}, source).out;
  const std::string file = testsupport::Run({"ppmtopcx", "-quiet", option}, option[1] == '2' ? source : eight).out;
  const Bytes b(file.begin(), file.end());
  if (b.size() <= 128) return Damage{};
  return Damage{.file = b,
                .refused = {0, 3, 65, 127},
                .tried = {128, 140, b.size() / 2, b.size() - 769, b.size() - 400},
                .header = 128,
                .errors = {"Stream read error"}};
}
INSTANTIATE_TEST_SUITE_P(Pcx, DamagedFiles,
                         testing::Values(DamagedFile{"Planes3", &Load<TPCXGraphic>, [] { return PcxDamage("-planes=3"); }},
                                         DamagedFile{"Bits24", &Load<TPCXGraphic>, [] { return PcxDamage("-24bit"); }},
                                         DamagedFile{"Bits8", &Load<TPCXGraphic>, [] { return PcxDamage("-8bit"); }}),
                         RowName<DamagedFile>);
