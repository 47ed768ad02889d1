// The Dr. Halo CUT reader. No tool here writes CUT files; ImageMagick reads them with
// their palette files. The files are assembled in the test from the format's layout, with
// runs, copies and palette entries chosen so that a wrong offset or order shows.

#include <array>

#include "ReaderTestUtil.h"
#include "formats/GraphicFormats_CUT.h"

using namespace hostiletest;
using namespace pixeltest;

namespace {

// One row: its 16-bit length, its packets and the closing 0.
Bytes Row(const std::vector<Bytes>& packets) {
  Bytes row(2, 0);
  for (const Bytes& p : packets)
    for (uint8_t b : p) row.push_back(b);
  row.push_back(0);
  const size_t length = row.size() - 2;
  row[0] = uint8_t(length);
  row[1] = uint8_t(length >> 8);
  return row;
}

Bytes Cut(uint16_t w, uint16_t h, const std::vector<Bytes>& rows) {
  Bytes b = {uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8), 0, 0};
  for (const Bytes& r : rows) b.insert(b.end(), r.begin(), r.end());
  return b;
}

// A palette file: the header (highest index at 12, the largest component values 255 at
// 14..19) and 6-byte entries from byte 40, none straddling two 512-byte blocks.
// highestIndex may name more entries than are given.
Bytes Palette(const std::vector<std::array<uint16_t, 3>>& entries, int highestIndex = -1) {
  Bytes b(512, 0);
  b[0] = 'A', b[1] = 'H';
  b[6] = 'P';
  const uint16_t highest = uint16_t(highestIndex < 0 ? int(entries.size()) - 1 : highestIndex);
  b[12] = uint8_t(highest), b[13] = uint8_t(highest >> 8);
  for (int i = 14; i < 20; i += 2) b[size_t(i)] = 255;
  size_t block = 0, at = 40;
  for (const auto& e : entries) {
    if (at > 506) {
      block += 512;
      at = 0;
      b.resize(block + 512, 0);
    }
    for (int c = 0; c < 3; ++c) {
      b[block + at + 2 * c] = uint8_t(e[c]);
      b[block + at + 2 * c + 1] = uint8_t(e[c] >> 8);
    }
    at += 6;
  }
  return b;
}

// Rows 5 wide: a copy of all five, a run of five, a copy of two and a run of three.
Bytes Sample() {
  return Cut(5, 3, {Row({{5, 0, 1, 2, 3, 4}}), Row({{0x85, 2}}), Row({{2, 4, 3}, {0x83, 1}})});
}

const std::vector<std::array<uint16_t, 3>> kFiveColours = {
    {10, 20, 30}, {200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {250, 250, 5}};

// Writes name.cut (and name.pal when given) into the sandbox; returns the .cut path.
std::string WriteCut(const std::string& name, const Bytes& cut, const Bytes& pal = {},
                     const std::string& palExtension = ".pal") {
  const std::string file = testsupport::TempFile(name + ".cut", cut);
  if (!pal.empty()) testsupport::WriteFile(testsupport::TempPath(name + palExtension), std::string(pal.begin(), pal.end()));
  return file;
}

}  // namespace

TEST(CutReader, HandAssembledFilesAgainstImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  // With its palette file, and without one (a grey ramp: index i shows as grey i).
  for (bool withPalette : {true, false}) {
    SCOPED_TRACE(withPalette ? "palette" : "grey");
    const std::string file = WriteCut(withPalette ? "coloured" : "grey", Sample(),
                                      withPalette ? Palette(kFiveColours) : Bytes());
    const Rgba ours = LoadRgba(file);
    EXPECT_EQ(Compare(ours, FromRaster(testsupport::ImageMagickRaster(file))), "");
    if (withPalette) {
      EXPECT_EQ(ours.at(4, 0)[0], 250);  // the copy packet's last index, 4
      EXPECT_EQ(ours.at(0, 1)[1], 200);  // the run of index 2
      EXPECT_EQ(ours.at(1, 2)[2], 200);  // the second byte of the short copy, 3
      EXPECT_EQ(ours.at(4, 2)[0], 200);  // the run of index 1
    }
  }
  // 256 entries take four blocks: 78 in the first, 85 in each of the next two, 8 in the
  // last. Every entry has its own colour, so an entry read from the wrong place shows.
  std::vector<std::array<uint16_t, 3>> entries(256);
  for (int i = 0; i < 256; ++i) entries[size_t(i)] = {uint16_t(i), uint16_t(255 - i), uint16_t((i * 7) & 255)};
  std::vector<Bytes> rows;
  for (int y = 0; y < 16; ++y) {
    Bytes copy = {16};
    for (int x = 0; x < 16; ++x) copy.push_back(uint8_t(16 * y + x));
    rows.push_back(Row({copy}));
  }
  const std::string file = WriteCut("blocks", Cut(16, 16, rows), Palette(entries));
  EXPECT_EQ(Compare(LoadRgba(file), FromRaster(testsupport::ImageMagickRaster(file))), "");
}

TEST(CutReader, PaletteFileNamesAndStreamLoads) {
  // The palette is found by the picture's name with ".pal", or ".PAL".
  const std::string upper = WriteCut("UPPER", Sample(), Palette(kFiveColours), ".PAL");
  EXPECT_EQ(LoadRgba(upper).at(1, 0)[0], 200);
  TCUTGraphic g;
  g.LoadFromFile(upper);
  EXPECT_EQ(g.PaletteFileName(), testsupport::TempPath("UPPER.PAL"));
  EXPECT_EQ(g.PixelColor(3, 0), RGB(0, 0, 200));
  // A stream load uses the palette of the last file named to the graphic.
  const Bytes other = Cut(2, 1, {Row({{0x82, 3}})});
  TReadOnlyMemoryStream stream(other.data(), int64_t(other.size()));
  g.LoadFromStream(stream);
  EXPECT_EQ(g.PixelColor(1, 0), RGB(0, 0, 200));
  // Never given a file, a graphic shows grey levels.
  TCUTGraphic fresh;
  TReadOnlyMemoryStream again(other.data(), int64_t(other.size()));
  fresh.LoadFromStream(again);
  EXPECT_EQ(fresh.PixelColor(0, 0), RGB(3, 3, 3));
  EXPECT_FALSE(fresh.CanLoad(again));
  EXPECT_EQ(fresh.ImageProperties.Compression, ctRLE);
}

// A palette file may name more than 256 entries; only 256 fit a palette, and only those
// are read. A palette file that ends before its entries is a read error.
TEST(CutReader, PaletteCountsFromTheFileAreBounded) {
  std::vector<std::array<uint16_t, 3>> entries(300);
  for (size_t i = 0; i < entries.size(); ++i) entries[i] = {uint16_t(i & 255), 7, 9};
  const std::string many = WriteCut("many", Sample(), Palette(entries, 65535));
  TCUTGraphic g;
  g.LoadFromFile(many);
  EXPECT_EQ(g.Palette().Count(), 256);
  EXPECT_EQ(g.PixelColor(4, 0), RGB(4, 7, 9));

  Bytes shortPalette = Palette(kFiveColours, 100);
  shortPalette.resize(300);
  const std::string cut = WriteCut("shortpal", Sample(), shortPalette);
  TCUTGraphic h;
  try {
    h.LoadFromFile(cut);
    ADD_FAILURE() << "loaded";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Stream read error in CUT file.");
  }
}

// Packets that describe more than a row holds are cut at the row's end; the next row
// starts behind the row's closing 0 all the same.
TEST(CutReader, RowsLongerThanThePictureStayInTheirRow) {
  const Bytes data = Cut(3, 2, {Row({{5, 9, 8, 7, 6, 5}, {0xFF, 4}}), Row({{0x83, 1}})});
  const auto r = hostiletest::Load<TCUTGraphic>(data);
  ASSERT_TRUE(r.loaded) << r.error;
  TCUTGraphic g;
  TReadOnlyMemoryStream stream(data.data(), int64_t(data.size()));
  g.LoadFromStream(stream);
  EXPECT_EQ(g.ScanLine(0)[0], 9);
  EXPECT_EQ(g.ScanLine(0)[2], 7);
  EXPECT_EQ(g.ScanLine(1)[0], 1);
  EXPECT_EQ(g.ScanLine(1)[2], 1);
}

// A run packet of two bytes gives 127 pixels at the most.
INSTANTIATE_TEST_SUITE_P(
    Cut, RefusedBeforeAllocating,
    testing::Values(Refusal{"FewPackets", [] { Read<TCUTGraphic>(Cut(20000, 20000, {Row({{0xFF, 1}, {0xFF, 2}})})); },
                            TooLittle("CUT", 20000, 20000)},
                    Refusal{"TooLarge", [] { Read<TCUTGraphic>(Cut(40000, 30000, {})); }, TooLarge(40000, 30000)},
                    Refusal{"NoHeight", [] { Read<TCUTGraphic>(Cut(5, 0, {Row({{0x85, 1}})})); },
                            "Cannot load image. Invalid or unexpected CUT image format."}),
    RowName<Refusal>);

// Twelve rows of a copy, a run and a run of a second colour.
Bytes TwelveRows() {
  std::vector<Bytes> rows;
  for (int y = 0; y < 12; ++y) rows.push_back(Row({{4, 1, 2, 3, 4}, {0x90, uint8_t(y)}, {0x84, 9}}));
  return Cut(24, 12, rows);
}

// Every cut before the last row, in the header, inside a row's length, behind it, inside
// a copy and between rows, is a truncated file and says so.
INSTANTIATE_TEST_SUITE_P(Cut, DamagedFiles, testing::Values(DamagedFile{"Cut", &Load<TCUTGraphic>, [] {
                           Damage d{.file = TwelveRows(), .refused = {0, 2, 5, 6, 7}, .header = 6};
                           for (size_t at = 6; at < d.file.size() - 12; at += 12)  // rows of 12 bytes
                             d.refused.insert(d.refused.end(), {at + 1, at + 2, at + 5, at + 12});
                           d.errors = {"Stream read error in CUT file.", TooLittle("CUT", 24, 12),
                                       "Cannot load image. Invalid or unexpected CUT image format."};
                           return d;
                         }}),
                         RowName<DamagedFile>);

// A cut inside the last row keeps what the row holds; its missing pixels are index 0.
TEST(CutReader, ACutInTheLastRowKeepsItsPixels) {
  const Bytes data = TwelveRows();
  const auto g = Read<TCUTGraphic>(Bytes(data.begin(), data.end() - 3));
  EXPECT_EQ(g->ScanLine(11)[19], 11);
  EXPECT_EQ(g->ScanLine(11)[20], 0);
}
