// The Autodesk cel reader. No tool here writes or reads cel files, so the files are
// assembled in the test from the format's layout, with palette entries and indices
// chosen so that a wrong offset, component order or scaling shows in the colours.

#include <array>

#include "ReaderTestUtil.h"
#include "formats/GraphicFormats_Cel.h"

using namespace hostiletest;

namespace {

// A cel file: the 32-byte header, the 6-bit palette (entries not given are 0) and the rows.
Bytes Cel(uint16_t w, uint16_t h, const std::vector<std::array<uint8_t, 3>>& palette, const Bytes& pixels,
          uint8_t depth = 8, uint16_t id = 0x9119) {
  Bytes b(32 + 768);
  auto put16 = [&](size_t at, uint16_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); };
  put16(0, id);
  put16(2, w);
  put16(4, h);
  put16(6, 17);  // x and y position: not used for showing
  put16(8, 23);
  b[10] = depth;
  b[11] = 0;
  const uint32_t size = uint32_t(pixels.size());
  for (int i = 0; i < 4; ++i) b[12 + i] = uint8_t(size >> (8 * i));
  for (size_t i = 0; i < palette.size(); ++i)
    for (int c = 0; c < 3; ++c) b[32 + 3 * i + c] = palette[i][c];
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

Bytes Sample() {
  // Entries 0, 1 and 255 differ in every component; the rows use them in other orders.
  std::vector<std::array<uint8_t, 3>> palette(256, {0, 0, 0});
  palette[0] = {63, 0, 32};
  palette[1] = {1, 2, 3};
  palette[2] = {64, 200, 63};  // components above 63 count as 63
  palette[255] = {10, 20, 30};
  return Cel(3, 2, palette, {0, 1, 255, 255, 2, 0});
}

const auto LoadCel = Read<TAutodeskGraphic>;

}  // namespace

TEST(CelReader, PaletteAndRowsOfAHandAssembledFile) {
  const auto g = LoadCel(Sample());
  EXPECT_EQ(g->PixelFormat(), pf8bit);
  ASSERT_EQ(g->Width(), 3);
  ASSERT_EQ(g->Height(), 2);
  // 6-bit components times 4: 63, 0, 32 becomes 252, 0, 128.
  EXPECT_EQ(g->PixelColor(0, 0), RGB(252, 0, 128));
  EXPECT_EQ(g->PixelColor(1, 0), RGB(4, 8, 12));
  EXPECT_EQ(g->PixelColor(2, 0), RGB(40, 80, 120));
  EXPECT_EQ(g->PixelColor(0, 1), RGB(40, 80, 120));
  EXPECT_EQ(g->PixelColor(1, 1), RGB(252, 252, 252));
  EXPECT_EQ(g->PixelColor(2, 1), RGB(252, 0, 128));
  EXPECT_EQ(g->Palette().Count(), 256);
  const TImageProperties& p = g->ImageProperties;
  EXPECT_EQ(p.ColorScheme, csIndexed);
  EXPECT_EQ(p.BitsPerPixel, 8);
  EXPECT_EQ(p.Compression, ctNone);
}

TEST(CelReader, SignatureTestAndThePictureObject) {
  TAutodeskGraphic g;
  const Bytes good = Sample();
  TReadOnlyMemoryStream stream(good.data(), int64_t(good.size()));
  EXPECT_TRUE(g.CanLoad(stream));
  EXPECT_EQ(stream.Position(), 0);
  // The id is little-endian: 0x19 0x91 is a cel file, 0x91 0x19 is not.
  Bytes swapped = good;
  std::swap(swapped[0], swapped[1]);
  TReadOnlyMemoryStream swappedStream(swapped.data(), int64_t(swapped.size()));
  EXPECT_FALSE(g.CanLoad(swappedStream));
  EXPECT_EQ(hostiletest::Load<TAutodeskGraphic>(swapped).error,
            "Cannot load image. Invalid or unexpected Autodesk image format.");
  // Depth 4 fails the signature test, but the file still loads as 8-bit indices.
  const Bytes depth4 = Cel(2, 1, {{1, 1, 1}, {2, 2, 2}}, {1, 0}, 4);
  TReadOnlyMemoryStream depth4Stream(depth4.data(), int64_t(depth4.size()));
  EXPECT_FALSE(g.CanLoad(depth4Stream));
  EXPECT_EQ(LoadCel(depth4)->PixelColor(0, 0), RGB(8, 8, 8));
  // 32 bytes are not enough to tell.
  const Bytes header(good.begin(), good.begin() + 32);
  TReadOnlyMemoryStream headerStream(header.data(), 32);
  EXPECT_FALSE(g.CanLoad(headerStream));

  // Both extensions open through the picture object.
  for (const char* name : {"sample.cel", "sample.PIC"}) {
    const std::string file = testsupport::TempFile(name, good);
    auto picture = pixeltest::LoadPicture(file);
    ASSERT_NE(dynamic_cast<TAutodeskGraphic*>(picture->Graphic()), nullptr) << name;
    EXPECT_EQ(picture->Width(), 3);
  }
}

// A header promises a picture whose rows the file does not hold: refused before the
// bitmap is made, as are sizes over the bitmap's limits and pictures without pixels.
INSTANTIATE_TEST_SUITE_P(
    Cel, RefusedBeforeAllocating,
    testing::Values(Refusal{"NoRows", [] { LoadCel(Cel(30000, 30000, {}, {})); }, TooLittle("Autodesk", 30000, 30000)},
                    // The palette and 16 pixels need 784 bytes: 48 are the least a cut file may hold.
                    Refusal{"CutTooShort", [] {
                              Bytes cut = Cel(4, 4, {}, {});
                              cut.resize(32 + 48);
                              LoadCel(cut);
                            },
                            TooLittle("Autodesk", 4, 4)},
                    Refusal{"TooLarge", [] { LoadCel(Cel(65535, 20000, {}, Bytes(65535, 1))); },
                            TooLarge(65535, 20000)},
                    Refusal{"NoWidth", [] { LoadCel(Cel(0, 5, {}, Bytes(10, 1))); },
                            "Cannot load image. Invalid or unexpected Autodesk image format."}),
    RowName<Refusal>);

// Cuts in the header's fields and far into the palette are refused; cuts later in the
// palette and in the rows load what the file holds.
INSTANTIATE_TEST_SUITE_P(Cel, DamagedFiles,
                         testing::Values(DamagedFile{"Cel", &Load<TAutodeskGraphic>, [] {
                                                       return Damage{
                                                           .file = Cel(40, 30, {{63, 63, 63}, {5, 6, 7}}, Bytes(1200, 1)),
                                                           .refused = {0, 1, 2, 6, 11, 31, 32, 33},
                                                           .tried = {400, 799, 800, 801, 1000, 1999},
                                                           .header = 32,
                                                           .flips = 200};
                                                     }}),
                         RowName<DamagedFile>);

// A cut file, against colours worked out from its palette by hand: entry i is
// (i mod 64, 63 - i mod 64, 2 i mod 64), shown four times as bright.
INSTANTIATE_TEST_SUITE_P(Cel, CutFiles, testing::Values(CutFile{"Cel", &ReadRgba<TAutodeskGraphic>, [] {
                           const int w = 17, h = 9;
                           std::vector<std::array<uint8_t, 3>> palette(256);
                           for (int i = 0; i < 256; ++i)
                             palette[i] = {uint8_t(i % 64), uint8_t(63 - i % 64), uint8_t(2 * i % 64)};
                           palette[0] = {0, 0, 0};
                           Bytes pixels(w * h);
                           pixeltest::Rgba whole{w, h, std::vector<uint8_t>(size_t(w) * h * 4)};
                           for (int i = 0; i < w * h; ++i) {
                             pixels[i] = uint8_t(1 + i * 7 % 255);
                             for (int c = 0; c < 3; ++c) whole.px[4 * i + c] = uint8_t(palette[pixels[i]][c] * 4);
                           }
                           return CutLayout{.file = Cel(w, h, palette, pixels), .whole = whole, .dataStart = 800, .rowBytes = w};
                         }}),
                         RowName<CutFile>);
