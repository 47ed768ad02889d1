// The Photoshop reader: documents written by ImageMagick (RGB, RGB with alpha, grey,
// grey with alpha, CMYK, indexed and bitmap, 8 and 16 bits, raw and PackBits, with
// layers and with the layer section taken out) against ImageMagick's reading of their
// merged picture; hand-made documents for the modes ImageMagick does not write (Lab,
// duotone) and the header's edge cases; and damaged or hostile files.

#include "ReaderFiles.h"
#include "ReaderTestUtil.h"
#include "formats/GraphicFormats_PSD.h"

using namespace pixeltest;
using namespace hostiletest;

namespace {

void Put16(Bytes& b, uint16_t v) { b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)}); }
void Put32(Bytes& b, uint32_t v) { Put16(b, uint16_t(v >> 16)), Put16(b, uint16_t(v)); }
void PutBlock(Bytes& b, const Bytes& block) {
  Put32(b, uint32_t(block.size()));
  b.insert(b.end(), block.begin(), block.end());
}

// A document: the header, colour data, no image resources, no layers, the compression
// word and the image data.
Bytes Psd(uint16_t channels, uint32_t rows, uint32_t columns, uint16_t depth, uint16_t mode, const Bytes& colourData,
          uint16_t compression, const Bytes& data) {
  Bytes b = {'8', 'B', 'P', 'S'};
  Put16(b, 1);
  b.insert(b.end(), 6, 0);
  Put16(b, channels), Put32(b, rows), Put32(b, columns), Put16(b, depth), Put16(b, mode);
  PutBlock(b, colourData);
  PutBlock(b, {});
  PutBlock(b, {});
  Put16(b, compression);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

std::unique_ptr<TPSDGraphic> LoadBytes(const Bytes& data) { return hostiletest::Read<TPSDGraphic>(data); }

// ImageMagick's reading of the merged picture, its colours as stored (not taken off a
// white background where the picture is transparent).
Rgba Magick(const std::string& file) {
  const testsupport::CommandResult r = testsupport::Run(
      {"convert", "-define", "psd:alpha-unblend=false", file + "[0]", "-colorspace", "sRGB", "-depth", "16", "pam:-"});
  if (r.exitCode != 0) throw std::runtime_error("convert failed: " + r.err);
  return FromRaster(testsupport::ParsePnm(r.out));
}

// The document with its layer and mask section emptied.
std::string WithoutLayers(const std::string& psd) {
  auto u32 = [&](size_t at) {
    return uint32_t(uint8_t(psd[at])) << 24 | uint32_t(uint8_t(psd[at + 1])) << 16 |
           uint32_t(uint8_t(psd[at + 2])) << 8 | uint8_t(psd[at + 3]);
  };
  size_t at = 26;
  at += 4 + u32(at);  // colour data
  at += 4 + u32(at);  // image resources
  return psd.substr(0, at) + std::string(4, '\0') + psd.substr(at + 4 + u32(at));
}

}  // namespace

TEST(PsdReader, DocumentsWrittenByImageMagickAgainstItsReading) {
  KIVO2_REQUIRE_TOOL("convert");
  const std::string colour = testsupport::TempPath("colour.ppm"), deep = testsupport::TempPath("deep.ppm"),
                    flipped = testsupport::TempPath("flipped.ppm");
  testsupport::WriteFile(colour, hostiletest::TestPpm(37, 23, 12));
  ASSERT_EQ(testsupport::Run({"convert", "-size", "37x23", "gradient:red-blue", "-swirl", "150", "-depth", "16", deep})
                .exitCode,
            0);
  ASSERT_EQ(testsupport::Run({"convert", colour, "-flip", flipped}).exitCode, 0);
  const std::vector<std::string> alpha = {"-alpha", "set", "-channel", "A", "-fx", "(i+j)/60", "+channel"};
  struct Case {
    std::string name;
    std::vector<std::string> arguments;
    int tolerance;
  };
  std::vector<Case> cases = {
      {"rgb", {colour}, 0},
      {"rgb16", {deep, "-depth", "16"}, 0},
      {"rgba", {colour}, 0},
      {"grey", {colour, "-colorspace", "Gray"}, 0},
      {"grey16", {deep, "-colorspace", "Gray", "-depth", "16"}, 0},
      {"grey-alpha", {colour, "-colorspace", "Gray"}, 0},
      {"cmyk", {colour, "-colorspace", "CMYK"}, 1},
      {"cmyk16", {deep, "-colorspace", "CMYK", "-depth", "16"}, 1},
      {"bitmap", {colour, "-monochrome", "-depth", "1"}, 0},
      {"layers", {colour, flipped}, 0},
  };
  for (const char* name : {"rgba", "grey-alpha"})
    for (Case& c : cases)
      if (c.name == name) c.arguments.insert(c.arguments.end(), alpha.begin(), alpha.end());
  int checked = 0;
  for (const Case& c : cases)
    for (const char* compression : {"None", "RLE"}) {
      const std::string file = testsupport::TempPath(c.name + "-" + compression + ".psd");
      SCOPED_TRACE(file);
      std::vector<std::string> argv = {"convert"};
      argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
      argv.insert(argv.end(), {"-compress", compression, file});
      ASSERT_EQ(testsupport::Run(argv).exitCode, 0);
      const std::string bytes = testsupport::ReadFile(file);
      const bool alphaToo = c.name == "rgba";
      const Rgba expected = Magick(file);
      EXPECT_EQ(Compare(LoadRgba(file), expected, c.tolerance, alphaToo), "");
      // The same document without its layers.
      const std::string bare = testsupport::TempPath("bare-" + c.name + "-" + compression + ".psd");
      testsupport::WriteFile(bare, WithoutLayers(bytes));
      EXPECT_EQ(Compare(LoadRgba(bare), expected, c.tolerance, alphaToo), "");
      ++checked;
    }
  EXPECT_EQ(checked, 20);
}

// ImageMagick does not read its own indexed documents back; their colours are checked
// against the picture it quantized for them, written in the same run.
TEST(PsdReader, IndexedDocumentsAgainstTheQuantizedPicture) {
  KIVO2_REQUIRE_TOOL("convert");
  const std::string colour = testsupport::TempFile("colour.ppm", hostiletest::TestPpm(37, 23, 13));
  for (const char* compression : {"None", "RLE"}) {
    const std::string file = testsupport::TempPath(std::string("indexed-") + compression + ".psd"),
                      quantized = testsupport::TempPath("quantized.ppm");
    ASSERT_EQ(testsupport::Run({"convert", colour, "-colors", "20", "-type", "Palette", "-write", quantized,
                                "-compress", compression, file})
                  .exitCode,
              0);
    EXPECT_EQ(uint8_t(testsupport::ReadFile(file)[25]), 2) << "indexed mode";
    EXPECT_EQ(Compare(LoadRgba(file), FromRaster(testsupport::ParsePnm(testsupport::ReadFile(quantized)))), "");
  }
}

TEST(PsdReader, ModesImageMagickDoesNotWrite) {
  // Bitmap rows hold eight pixels a byte; a set bit is black.
  auto bitmap = LoadBytes(Psd(1, 2, 13, 1, 0, {}, 0, {0xA0, 0x08, 0x00, 0x00}));
  EXPECT_EQ(bitmap->PixelFormat(), pf1bit);
  EXPECT_EQ(bitmap->PixelColor(0, 0), clBlack);
  EXPECT_EQ(bitmap->PixelColor(1, 0), clWhite);
  EXPECT_EQ(bitmap->PixelColor(12, 0), clBlack);
  EXPECT_EQ(bitmap->PixelColor(12, 1), clWhite);
  // Duotone documents show their grey channel; their colour data is passed over.
  auto duotone = LoadBytes(Psd(1, 1, 3, 8, 8, Bytes(40, 0xEE), 0, {0, 100, 255}));
  EXPECT_EQ(duotone->PixelColor(1, 0), RGB(100, 100, 100));
  // Indexed colour data of 300 entries: reds, greens and blues 300 bytes apart; 256 fit.
  Bytes palette(900);
  for (int i = 0; i < 300; ++i) palette[i] = uint8_t(i), palette[300 + i] = uint8_t(i / 2), palette[600 + i] = 7;
  auto indexed = LoadBytes(Psd(1, 1, 2, 8, 2, palette, 0, {5, 255}));
  EXPECT_EQ(indexed->PixelColor(0, 0), RGB(5, 2, 7));
  EXPECT_EQ(indexed->PixelColor(1, 0), RGB(255, 127, 7));
  // Lab: white, black, and the signs of a* (red against green) and b* (yellow against blue).
  auto lab = LoadBytes(Psd(3, 1, 4, 8, 9, {}, 0, {255, 0, 150, 150, 128, 128, 255, 128, 128, 128, 128, 0}));
  EXPECT_EQ(lab->PixelColor(0, 0), clWhite);
  EXPECT_EQ(lab->PixelColor(1, 0), clBlack);
  const TColor red = lab->PixelColor(2, 0), blue = lab->PixelColor(3, 0);
  EXPECT_GT(GetRValue(red), GetGValue(red));
  EXPECT_GT(GetBValue(blue), GetRValue(blue));
  // CMYK stores 255 minus the ink: stored zeros are full ink, stored 255s none.
  auto cmyk = LoadBytes(Psd(4, 1, 2, 8, 4, {}, 0, {0, 255, 0, 255, 0, 255, 0, 255}));
  EXPECT_EQ(cmyk->PixelColor(0, 0), clBlack);
  EXPECT_EQ(cmyk->PixelColor(1, 0), clWhite);
  // A fifth channel of an RGB document is passed over, the fourth is alpha.
  auto five = LoadBytes(Psd(5, 1, 1, 8, 3, {}, 0, {10, 20, 30, 40, 50}));
  EXPECT_EQ(five->PixelFormat(), pf32bit);
  EXPECT_EQ(five->PixelColor(0, 0), RGB(10, 20, 30));
  EXPECT_EQ(five->ScanLine(0)[3], 40);
}

TEST(PsdReader, SignatureVersionAndRefusals) {
  const Bytes grey = Psd(1, 1, 1, 8, 1, {}, 0, {9});
  Bytes lower = grey, version2 = grey;
  lower[1] = 'b', lower[2] = 'p', lower[3] = 's';
  version2[5] = 2;
  auto canLoad = [](const Bytes& b) {
    TReadOnlyMemoryStream s(b.data(), int64_t(b.size()));
    return TPSDGraphic().CanLoad(s);
  };
  EXPECT_TRUE(canLoad(lower));
  EXPECT_EQ(hostiletest::Load<TPSDGraphic>(lower).error,
            "Cannot load image. Invalid or unexpected PSD or PDD image format.");
  EXPECT_FALSE(canLoad(version2));
  EXPECT_EQ(LoadBytes(version2)->PixelColor(0, 0), RGB(9, 9, 9));

  const std::string colour = "Invalid color format in PSD or PDD file.";
  auto error = [](const Bytes& b) { return hostiletest::Load<TPSDGraphic>(b).error; };
  EXPECT_EQ(error(Psd(2, 1, 1, 8, 3, {}, 0, Bytes(2, 0))), colour);    // RGB from two channels
  EXPECT_EQ(error(Psd(3, 1, 1, 8, 4, {}, 0, Bytes(3, 0))), colour);    // CMYK from three
  EXPECT_EQ(error(Psd(1, 1, 1, 8, 5, {}, 0, Bytes(1, 0))), colour);    // no colour scheme
  EXPECT_EQ(error(Psd(3, 1, 1, 32, 3, {}, 0, Bytes(12, 0))), colour);  // floating point
  EXPECT_EQ(error(Psd(1, 1, 1, 16, 2, {}, 0, Bytes(2, 0))), colour);   // 16-bit indexes
  EXPECT_EQ(error(Psd(1, 1, 8, 8, 1, {}, 2, Bytes(64, 0))),
            "Cannot load image. The compression scheme is not supported for PSD or PDD files.");
  EXPECT_EQ(error(Psd(1, 1, 1, 8, 2, Bytes(2, 0), 0, {0})).empty(), true);  // a palette shorter than one entry
  Bytes hugePalette = Psd(1, 1, 1, 8, 2, {}, 0, {0});
  hugePalette[26] = 0x7F;  // colour data of 2 GiB
  EXPECT_EQ(error(hugePalette), "Stream read error");
}

// The row counts and the rows must be in the file before the bitmap is made.
INSTANTIATE_TEST_SUITE_P(
    Psd, RefusedBeforeAllocating,
    testing::Values(Refusal{"RowCounts", [] { LoadBytes(Psd(3, 9000, 9000, 8, 3, {}, 1, Bytes(60000, 0))); },
                            TooLittle("PSD or PDD", 9000, 9000)},
                    Refusal{"Rows", [] { LoadBytes(Psd(56, 9000, 9000, 16, 3, {}, 0, Bytes(60000, 0))); },
                            TooLittle("PSD or PDD", 9000, 9000)}),
    RowName<Refusal>);

// Cut at every section boundary, and inside the row counts and the rows.
Damage PsdDamage(const char* depth) {
  const std::string colour = testsupport::TempPath("colour.ppm"), file = testsupport::TempPath("cut.psd");
  testsupport::WriteFile(colour, TestPpm(21, 13, 14));
  if (testsupport::Run({"convert", colour, "-depth", depth, "-compress", "RLE", file}).exitCode != 0) return {};
  const std::string text = testsupport::ReadFile(file);
  Damage d{.file = Bytes(text.begin(), text.end()), .refused = {0, 4, 25, 26}};
  auto u32 = [&](size_t at) { return uint32_t(d.file[at]) << 24 | d.file[at + 1] << 16 | d.file[at + 2] << 8 | d.file[at + 3]; };
  size_t at = 26;
  for (int section = 0; section < 3; ++section) {
    d.refused.insert(d.refused.end(), {at + 2, at + 4});
    at += 4 + u32(at);
    d.refused.push_back(at);
  }
  d.header = at + 2 + 13 * 3 * 2;
  d.refused.insert(d.refused.end(), {at + 1, at + 2, at + 30, d.header, (at + d.file.size()) / 2, d.file.size() - 5});
  return d;
}
INSTANTIATE_TEST_SUITE_P(Psd, DamagedFiles,
                         testing::Values(DamagedFile{"Depth8", &Load<TPSDGraphic>, [] { return PsdDamage("8"); }},
                                         DamagedFile{"Depth16", &Load<TPSDGraphic>, [] { return PsdDamage("16"); }}),
                         RowName<DamagedFile>);
