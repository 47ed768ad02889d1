// The SGI reader: grey, RGB and RGB with alpha, run-length and verbatim, 8 and 16 bits,
// written by netpbm, ImageMagick and GraphicsMagick and checked against sgitopnm; the
// public sample files against their reference pictures; hand-made files for grey with
// alpha and the row order; and damaged or hostile files.

#include "ReaderFiles.h"
#include "ReaderTestUtil.h"
#include "formats/GraphicFormats_SGI.h"

using namespace pixeltest;
using namespace hostiletest;

namespace {

// A 512-byte header followed by the data.
Bytes Sgi(uint8_t storage, uint8_t bytesPerSample, uint16_t dimension, uint16_t x, uint16_t y, uint16_t z,
          const Bytes& data) {
  Bytes b(512 + data.size(), 0);
  auto put16 = [&](int at, uint16_t v) { b[at] = uint8_t(v >> 8), b[at + 1] = uint8_t(v); };
  put16(0, 474);
  b[2] = storage, b[3] = bytesPerSample;
  put16(4, dimension), put16(6, x), put16(8, y), put16(10, z);
  std::copy(data.begin(), data.end(), b.begin() + 512);
  return b;
}

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::unique_ptr<TSGIGraphic> LoadBytes(const Bytes& data) { return Read<TSGIGraphic>(data); }

// sgitopnm's reading, with the fourth channel as alpha when there is one.
Rgba Sgitopnm(const std::string& file, bool alpha) {
  const testsupport::CommandResult r = testsupport::Run({"sgitopnm", "-quiet", file});
  if (r.exitCode != 0) throw std::runtime_error("sgitopnm failed: " + r.err);
  Rgba rgba = FromRaster(testsupport::ParsePnm(r.out));
  if (alpha) {
    const Rgba a = FromRaster(testsupport::ParsePnm(testsupport::Run({"sgitopnm", "-quiet", "-channel=3", file}).out));
    for (size_t i = 3; i < rgba.px.size(); i += 4) rgba.px[i] = a.px[i - 3];
  }
  return rgba;
}

}  // namespace

TEST(SgiReader, FilesWrittenByNetpbmImageMagickAndGraphicsMagickAgainstSgitopnm) {
  KIVO2_REQUIRE_TOOL("pnmtosgi");
  KIVO2_REQUIRE_TOOL("sgitopnm");
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("gm");
  const std::string colour = testsupport::TempPath("colour.ppm"), grey = testsupport::TempPath("grey.pgm"),
                    deep = testsupport::TempPath("deep.ppm"), deepGrey = testsupport::TempPath("deep.pgm"),
                    alpha = testsupport::TempPath("alpha.png");
  testsupport::WriteFile(colour, TestPpm(37, 23, 6));
  testsupport::WriteFile(grey, testsupport::Run({"ppmtopgm", colour}).out);
  // 16-bit samples that are no widened bytes.
  ASSERT_EQ(testsupport::Run({"convert", "-size", "37x23", "gradient:red-blue", "-swirl", "120", "-depth", "16", deep})
                .exitCode,
            0);
  testsupport::WriteFile(deepGrey, testsupport::Run({"ppmtopgm", deep}).out);
  ASSERT_EQ(
      testsupport::Run({"convert", colour, "-alpha", "set", "-channel", "A", "-fx", "(i+2*j)/90", alpha}).exitCode, 0);
  struct Case {
    std::string name;
    std::vector<std::string> argv;  // writes to standard output, or to the path given last
  };
  const std::vector<Case> cases = {
      {"grey-rle.sgi", {"pnmtosgi", grey}},          {"grey-verbatim.sgi", {"pnmtosgi", "-verbatim", grey}},
      {"rgb-rle.sgi", {"pnmtosgi", colour}},         {"rgb-verbatim.sgi", {"pnmtosgi", "-verbatim", colour}},
      {"grey16-rle.sgi", {"pnmtosgi", deepGrey}},    {"grey16-verbatim.sgi", {"pnmtosgi", "-verbatim", deepGrey}},
      {"rgb16-rle.sgi", {"pnmtosgi", deep}},         {"rgb16-verbatim.sgi", {"pnmtosgi", "-verbatim", deep}},
      {"im-rgb.sgi", {"convert", colour, ""}},       {"im-rgba.sgi", {"convert", alpha, ""}},
      {"im-rgb16.sgi", {"convert", deep, ""}},       {"gm-grey.sgi", {"gm", "convert", grey, ""}},
      {"gm-rgba.sgi", {"gm", "convert", alpha, ""}},
  };
  std::set<std::string> kinds;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = readerfiles::ToolFile(c.name, c.argv);
    const std::string bytes = testsupport::ReadFile(file);
    ASSERT_GT(bytes.size(), 512u);
    const int channels = uint8_t(bytes[11]);
    kinds.insert(std::string(bytes[2] ? "rle" : "verbatim") + " " + std::to_string(8 * bytes[3]) + " bits " +
                 std::to_string(channels) + " channels");
    EXPECT_EQ(Compare(LoadRgba(file), Sgitopnm(file, channels == 4), 0, channels == 4), "");
  }
  for (const char* kind : {"rle 8 bits 1 channels", "verbatim 8 bits 1 channels", "rle 8 bits 3 channels",
                           "verbatim 8 bits 3 channels", "rle 16 bits 1 channels", "verbatim 16 bits 1 channels",
                           "rle 16 bits 3 channels", "verbatim 16 bits 3 channels", "rle 8 bits 4 channels"})
    EXPECT_EQ(kinds.count(kind), 1u) << kind;
}

TEST(SgiReader, SampleFilesMatchTheirReferencePictures) {
  KIVO2_REQUIRE_CORPUS("sgi");
  KIVO2_REQUIRE_TOOL("convert");
  EXPECT_GE(readerfiles::CompareWithReferencePictures("sgi", ".rgb"), 6);
}

TEST(SgiReader, RowOrderGreyWithAlphaAndTheHeaderChecks) {
  // The first stored row is the bottom row.
  auto rows = LoadBytes(Sgi(0, 1, 2, 1, 2, 1, {10, 20}));
  EXPECT_EQ(rows->PixelColor(0, 1), RGB(10, 10, 10));
  EXPECT_EQ(rows->PixelColor(0, 0), RGB(20, 20, 20));
  // Grey with alpha (two channels) shows its grey channel.
  auto greyAlpha = LoadBytes(Sgi(0, 1, 3, 2, 1, 2, {40, 50, 255, 0}));
  EXPECT_EQ(greyAlpha->PixelFormat(), pf8bit);
  EXPECT_EQ(greyAlpha->PixelColor(0, 0), RGB(40, 40, 40));
  EXPECT_EQ(greyAlpha->PixelColor(1, 0), RGB(50, 50, 50));
  // 16-bit grey run-length rows are scaled, however long the row is: a run of 3 and a
  // copy of 2 samples, stored most significant byte first.
  const Bytes tables = {0, 0, 2, 8, 0, 0, 0, 12};  // one row: start 520, 12 bytes
  auto deep = LoadBytes(Sgi(1, 2, 1, 5, 1, 1, Join(tables, {0, 3, 0x80, 0x00, 0, 0x82, 0xFF, 0xFF, 0x01, 0x01, 0, 0})));
  EXPECT_EQ(deep->PixelColor(0, 0), RGB(127, 127, 127));
  EXPECT_EQ(deep->PixelColor(3, 0), RGB(255, 255, 255));
  EXPECT_EQ(deep->PixelColor(4, 0), RGB(1, 1, 1));

  // Dimension 4 fails the format test, yet the picture loads.
  const Bytes fourDimensions = Sgi(0, 1, 4, 1, 1, 1, {7});
  TReadOnlyMemoryStream stream(fourDimensions.data(), int64_t(fourDimensions.size()));
  EXPECT_FALSE(TSGIGraphic().CanLoad(stream));
  EXPECT_EQ(LoadBytes(fourDimensions)->PixelColor(0, 0), RGB(7, 7, 7));
  const std::string invalid = "Cannot load image. Invalid or unexpected sgi, bw or rgb(a) image format.";
  EXPECT_EQ(Load<TSGIGraphic>(Sgi(0, 3, 2, 1, 1, 1, {1, 2, 3})).error, invalid);
  EXPECT_EQ(Load<TSGIGraphic>(Sgi(0, 1, 2, 1, 1, 0, {1})).error, invalid);
  EXPECT_EQ(Load<TSGIGraphic>(Sgi(0, 1, 2, 0, 1, 1, {1})).error, invalid);
  Bytes badMagic = Sgi(0, 1, 2, 1, 1, 1, {1});
  badMagic[1] = 0xDB;
  EXPECT_EQ(Load<TSGIGraphic>(badMagic).error, invalid);
}

// Verbatim planes and run-length tables must be in the file before the bitmap is made.
INSTANTIATE_TEST_SUITE_P(
    Sgi, RefusedBeforeAllocating,
    testing::Values(Refusal{"Planes", [] { LoadBytes(Sgi(0, 1, 3, 9000, 9000, 3, Bytes(5000, 1))); },
                            TooLittle("sgi, bw or rgb(a)", 9000, 9000)},
                    Refusal{"Tables", [] { LoadBytes(Sgi(1, 1, 3, 9000, 9000, 3, Bytes(5000, 1))); },
                            TooLittle("sgi, bw or rgb(a)", 9000, 9000)}),
    RowName<Refusal>);

TEST(SgiReader, RowsOutsideTheFile) {
  // Rows that start beyond the file, or claim more bytes than it has, stay black.
  const Bytes tables = {0xFF, 0xFF, 0xFF, 0x00, 0, 0, 2, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  auto g = LoadBytes(Sgi(1, 1, 2, 4, 2, 1, Join(tables, {0x84, 1, 2, 3, 4, 0})));
  EXPECT_EQ(g->PixelColor(0, 1), RGB(0, 0, 0));
  EXPECT_EQ(g->PixelColor(3, 0), RGB(4, 4, 4));
}

// Inside the header no picture loads; inside the tables a clear error; inside the rows the
// picture loads with what is there or is refused as too short.
Damage SgiDamage(const char* storage) {
  const std::string file = testsupport::Run({"pnmtosgi", storage}, TestPpm(23, 13, 9)).out;
  const size_t tables = 512 + 8 * 13 * 3;
  if (file.size() <= 512) return {};
  return {.file = Bytes(file.begin(), file.end()),
          .refused = {0, 11, 511},
          .tried = {512, 600, tables - 1, tables + 5, file.size() - 9},
          .header = tables,
          .errors = {"Stream read error"}};
}
// A verbatim grey file cut in its rows (stored bottom row first), against sgitopnm's
// reading of the whole file.
INSTANTIATE_TEST_SUITE_P(Sgi, CutFiles, testing::Values(CutFile{"Verbatim", &ReadRgba<TSGIGraphic>, [] {
                           const std::string pgm = testsupport::Run({"ppmtopgm"}, TestPpm(23, 13, 9)).out;
                           const std::string file = testsupport::Run({"pnmtosgi", "-verbatim"}, pgm).out;
                           if (pgm.empty() || file.size() <= 512) return CutLayout{};
                           const std::string path = testsupport::TempFile("cut.sgi", file);
                           return CutLayout{.file = Bytes(file.begin(), file.end()),
                                            .whole = Sgitopnm(path, false),
                                            .dataStart = 512,
                                            .rowBytes = 23,
                                            .bottomUp = true};
                         }}),
                         RowName<CutFile>);

INSTANTIATE_TEST_SUITE_P(Sgi, DamagedFiles,
                         testing::Values(DamagedFile{"Rle", &Load<TSGIGraphic>, [] { return SgiDamage("-rle"); }},
                                         DamagedFile{"Verbatim", &Load<TSGIGraphic>, [] { return SgiDamage("-verbatim"); }}),
                         RowName<DamagedFile>);
