// The Paint Shop Pro reader. No tool here writes the format, so the files are put
// together in the test from its block layout (versions 3 and 5), with channel values
// chosen so that a wrong offset, plane or channel order shows; the public sample file
// is checked against the JPEG copy of its picture that it carries.
#include <zlib.h>

#include "ReaderFiles.h"
#include "ReaderTestUtil.h"
#include "formats/GraphicFormats_PSP.h"

using namespace hostiletest;

namespace {

void Put16(Bytes& b, uint16_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void Put32(Bytes& b, uint32_t v) { Put16(b, uint16_t(v)), Put16(b, uint16_t(v >> 16)); }
Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// One channel of a layer: its type (0 composite, 1 red, 2 green, 3 blue) and its bytes.
struct Channel {
  uint16_t type;
  Bytes data;
};

struct Layer {
  uint8_t type = 0;  // version 3: 0 normal; later: 0 or 1 raster, 2 and more others
  std::vector<Channel> channels;
  Bytes subBlock;  // later versions: a block between the information and the bitmap chunk
};

struct PspFile {
  uint16_t major = 5;
  int32_t width = 5, height = 3;
  uint16_t depth = 24;
  uint16_t compression = 0;
  uint8_t greyscale = 0;
  double resolution = 72;
  uint8_t metric = 1;
  std::vector<uint8_t> palette;  // entries of blue, green, red, reserved
  uint32_t paletteCount = 0;     // 0: the entries' count
  std::vector<Layer> layers;
  Bytes extraBlock;  // a block of another kind before the layer bank

  Bytes Block(uint16_t id, const Bytes& contents) const {
    Bytes b = {'~', 'B', 'K', 0};
    Put16(b, id);
    if (major == 3) Put32(b, uint32_t(contents.size()));
    Put32(b, uint32_t(contents.size()));
    return Join(b, contents);
  }
  // Later versions put each chunk's size (its own four bytes included) in front of it.
  Bytes Chunk(const Bytes& contents) const {
    if (major == 3) return contents;
    Bytes b;
    Put32(b, uint32_t(contents.size() + 4));
    return Join(b, contents);
  }
  Bytes Packed(const Bytes& data) const {
    if (compression == 1) {  // runs for equal bytes, copies for the rest
      Bytes out;
      for (size_t i = 0; i < data.size();) {
        size_t n = 1;
        while (i + n < data.size() && n < 127 && data[i + n] == data[i]) ++n;
        if (n >= 3) {
          out.insert(out.end(), {uint8_t(128 + n), data[i]});
        } else {
          out.push_back(uint8_t(n));
          out.insert(out.end(), data.begin() + std::ptrdiff_t(i), data.begin() + std::ptrdiff_t(i + n));
        }
        i += n;
      }
      return out;
    }
    if (compression == 2) {
      uLongf size = compressBound(uLong(data.size()));
      Bytes out(size);
      compress(out.data(), &size, data.data(), uLong(data.size()));
      out.resize(size);
      return out;
    }
    return data;
  }
  Bytes Build() const {
    Bytes file(kSignature, kSignature + 32);
    Put16(file, major), Put16(file, 0);
    Bytes attributes;
    Put32(attributes, uint32_t(width)), Put32(attributes, uint32_t(height));
    attributes.resize(attributes.size() + 8);
    std::memcpy(attributes.data() + 8, &resolution, 8);
    attributes.push_back(metric);
    Put16(attributes, compression), Put16(attributes, depth), Put16(attributes, 1);
    Put32(attributes, depth == 24 ? 1u << 24 : 1u << depth);
    attributes.push_back(greyscale);
    Put32(attributes, 0), Put32(attributes, 0), Put16(attributes, uint16_t(layers.size())), Put32(attributes, 0);
    file = Join(file, Block(0, Chunk(attributes)));
    if (!palette.empty()) {
      Bytes count;
      Put32(count, paletteCount ? paletteCount : uint32_t(palette.size() / 4));
      file = Join(file, Block(2, Join(Chunk(count), palette)));
    }
    Bytes bank;
    for (const Layer& layer : layers) {
      Bytes contents;
      Bytes information(115, 0);
      information[0] = layer.type;
      if (major == 3) {
        contents = Join(Bytes(256, 'n'), information);
      } else {
        Bytes named;
        Put16(named, 4);
        named.insert(named.end(), {'n', 'a', 'm', 'e'});
        contents = Join(Chunk(Join(named, information)), layer.subBlock);
      }
      Bytes counts;
      Put16(counts, 1), Put16(counts, uint16_t(layer.channels.size()));
      contents = Join(contents, Chunk(counts));
      for (const Channel& channel : layer.channels) {
        const Bytes stored = Packed(channel.data);
        Bytes info;
        Put32(info, uint32_t(stored.size())), Put32(info, uint32_t(channel.data.size())), Put16(info, 0),
            Put16(info, channel.type);
        contents = Join(contents, Block(5, Join(Chunk(info), stored)));
      }
      bank = Join(bank, Block(4, contents));
    }
    return Join(Join(file, extraBlock), Block(3, bank));
  }
  static constexpr char kSignature[33] = "Paint Shop Pro Image File\n\x1a\0\0\0\0";
};

std::unique_ptr<TPSPGraphic> LoadBytes(const Bytes& data) { return hostiletest::Read<TPSPGraphic>(data); }

// A 5 x 3 picture whose channels differ in every pixel, row and plane.
uint8_t Red(int x, int y) { return uint8_t(10 + 40 * x + y); }
uint8_t Green(int, int y) { return uint8_t(200 - 30 * y); }
uint8_t Blue(int x, int y) { return uint8_t(7 * x * y + 3); }

Bytes Plane(uint8_t (*value)(int, int)) {
  Bytes b;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) b.push_back(value(x, y));
  return b;
}

Layer ColourLayer(uint8_t type = 0) { return Layer{type, {{1, Plane(Red)}, {2, Plane(Green)}, {3, Plane(Blue)}}, {}}; }

::testing::AssertionResult ShowsTheColourPicture(const TBitmap& g) {
  if (g.Width() != 5 || g.Height() != 3) return ::testing::AssertionFailure() << g.Width() << "x" << g.Height();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      if (g.PixelColor(x, y) != RGB(Red(x, y), Green(x, y), Blue(x, y)))
        return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex << g.PixelColor(x, y);
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST(PspReader, ColourLayersOfEachVersionAndCompression) {
  for (uint16_t major : {3, 5})
    for (uint16_t compression : {0, 1, 2}) {
      SCOPED_TRACE(std::to_string(major) + "/" + std::to_string(compression));
      PspFile f;
      f.major = major, f.compression = compression;
      f.layers = {ColourLayer()};
      auto g = LoadBytes(f.Build());
      EXPECT_EQ(g->PixelFormat(), pf24bit);
      EXPECT_TRUE(ShowsTheColourPicture(*g));
      EXPECT_EQ(g->ImageProperties.Version, major);
    }
  // A fourth channel, the transparency mask, becomes alpha.
  PspFile f;
  f.layers = {ColourLayer()};
  f.layers[0].channels.push_back({0, Bytes(15, 0x5A)});
  auto g = LoadBytes(f.Build());
  EXPECT_EQ(g->PixelFormat(), pf32bit);
  EXPECT_TRUE(ShowsTheColourPicture(*g));
  EXPECT_EQ(g->ScanLine(2)[4 * 4 + 3], 0x5A);
}

TEST(PspReader, PalettesGreyAndSmallDepths) {
  PspFile f;
  f.depth = 8, f.width = 3, f.height = 2;
  for (int i = 0; i < 256; ++i) f.palette.insert(f.palette.end(), {uint8_t(i), uint8_t(2 * i), uint8_t(255 - i), 0});
  f.layers = {Layer{0, {{0, {0, 1, 2, 100, 200, 255}}}, {}}};
  auto indexed = LoadBytes(f.Build());
  EXPECT_EQ(indexed->PixelFormat(), pf8bit);
  EXPECT_EQ(indexed->PixelColor(2, 0), RGB(253, 4, 2));
  EXPECT_EQ(indexed->PixelColor(1, 1), RGB(55, 144, 200));
  // More entries than a palette holds: the first 256 are taken, the rest passed over.
  f.paletteCount = 1000;
  f.palette.resize(4 * 1000, 9);
  EXPECT_EQ(LoadBytes(f.Build())->PixelColor(2, 1), RGB(0, 254, 255));
  f.palette.clear();
  f.greyscale = 1;
  EXPECT_EQ(LoadBytes(f.Build())->PixelColor(1, 1), RGB(200, 200, 200));
  // 1-bit rows of (width + 7) / 8 bytes, 4-bit rows of width / 2 + 1.
  f.depth = 1, f.width = 10, f.height = 2;
  f.layers = {Layer{0, {{0, {0x80, 0x40, 0x00, 0x80}}}, {}}};
  auto bits = LoadBytes(f.Build());
  EXPECT_EQ(bits->PixelColor(0, 0), clWhite);
  EXPECT_EQ(bits->PixelColor(9, 0), clWhite);
  EXPECT_EQ(bits->PixelColor(8, 0), clBlack);
  EXPECT_EQ(bits->PixelColor(8, 1), clWhite);
  EXPECT_EQ(bits->PixelColor(9, 1), clBlack);
  f.depth = 4, f.width = 4;
  f.layers = {Layer{0, {{0, {0x0F, 0x5A, 0x00, 0xF0, 0x00, 0x11}}}, {}}};
  auto nibbles = LoadBytes(f.Build());
  EXPECT_EQ(nibbles->PixelColor(1, 0), clWhite);
  EXPECT_EQ(nibbles->PixelColor(3, 0), RGB(170, 170, 170));
  EXPECT_EQ(nibbles->PixelColor(0, 1), clWhite);
  EXPECT_EQ(nibbles->PixelColor(1, 1), clBlack);
}

TEST(PspReader, LayerChoiceResolutionAndSignature) {
  // Version 3 takes only normal layers (type 0); later versions take raster layers
  // (types 0 and 1) and pass over the others.
  PspFile f;
  Layer other = ColourLayer();
  for (Channel& c : other.channels) c.data.assign(15, 1);
  f.major = 3;
  f.layers = {other, ColourLayer()};
  f.layers[0].type = 1;
  EXPECT_TRUE(ShowsTheColourPicture(*LoadBytes(f.Build())));
  f.major = 5;
  f.layers = {ColourLayer(1), other};
  EXPECT_TRUE(ShowsTheColourPicture(*LoadBytes(f.Build())));
  f.layers = {other, ColourLayer()};
  f.layers[0].type = 2;
  EXPECT_TRUE(ShowsTheColourPicture(*LoadBytes(f.Build())));
  // Blocks of later versions between a layer's information and its bitmap chunk.
  f.layers = {ColourLayer()};
  f.layers[0].subBlock = f.Block(33, Bytes(40, 0x7E));
  EXPECT_TRUE(ShowsTheColourPicture(*LoadBytes(f.Build())));
  // A bank without layers gives the picture's size and no pixels, without an error
  // (when the file could hold the picture at all).
  f.layers.clear();
  f.extraBlock = f.Block(10, Bytes(64, 0));
  auto empty = LoadBytes(f.Build());
  EXPECT_EQ(empty->Width(), 5);
  EXPECT_EQ(empty->PixelColor(2, 2), clBlack);

  f.resolution = 100, f.metric = 2;
  auto dpi = LoadBytes(f.Build());
  EXPECT_FLOAT_EQ(dpi->ImageProperties.XResolution, 254.0f);
  EXPECT_FLOAT_EQ(dpi->ImageProperties.YResolution, 254.0f);

  Bytes lower = f.Build();
  for (int i = 0; i < 25; ++i) lower[i] = uint8_t(std::tolower(lower[i]));
  Bytes old = f.Build();
  old[32] = 2;
  auto canLoad = [](const Bytes& b) {
    TReadOnlyMemoryStream s(b.data(), int64_t(b.size()));
    return TPSPGraphic().CanLoad(s);
  };
  EXPECT_TRUE(canLoad(f.Build()));
  EXPECT_TRUE(canLoad(lower));
  EXPECT_FALSE(canLoad(old));
  EXPECT_EQ(hostiletest::Load<TPSPGraphic>(old).error, "Cannot load image. Invalid or unexpected PSP image format.");
}

TEST(PspReader, DamagedChannelsAndRefusals) {
  PspFile f;
  // Raw channel data longer than the picture, a channel of an unknown type whose data
  // looks like a block, and no green channel: red and blue load, green shows zero.
  f.layers = {Layer{0, {{1, Join(Plane(Red), Bytes(200, 0xEE))}, {9, f.Block(5, Bytes(30, 1))}, {3, Plane(Blue)}}, {}}};
  auto g = LoadBytes(f.Build());
  EXPECT_EQ(g->PixelColor(4, 2), RGB(Red(4, 2), 0, Blue(4, 2)));
  // A second composite channel (a grey picture's mask) does not replace the picture.
  PspFile grey;
  grey.depth = 8, grey.greyscale = 1, grey.width = 2, grey.height = 1;
  grey.layers = {Layer{0, {{0, {10, 20}}, {0, {255, 255}}}, {}}};
  EXPECT_EQ(LoadBytes(grey.Build())->PixelColor(1, 0), RGB(20, 20, 20));
  // Channels no decoder here reads.
  f.layers = {ColourLayer()};
  f.compression = 3;
  EXPECT_EQ(hostiletest::Load<TPSPGraphic>(f.Build()).error,
            "Cannot load image. The compression scheme is not supported for PSP files.");
  f.compression = 0, f.depth = 16;
  EXPECT_EQ(hostiletest::Load<TPSPGraphic>(f.Build()).error, "Invalid color format in PSP file.");
}

// A huge picture from a small file is refused before anything is allocated for it.
INSTANTIATE_TEST_SUITE_P(Psp, RefusedBeforeAllocating, testing::Values(Refusal{"Huge", [] {
                           PspFile f;
                           f.layers = {ColourLayer()};
                           f.width = 20000, f.height = 10000;
                           LoadBytes(f.Build());
                         }, TooLittle("PSP", 20000, 10000)}),
                         RowName<Refusal>);

TEST(PspReader, SampleFileAgainstItsJpegCopy) {
  KIVO2_REQUIRE_CORPUS("metadata-samples/PSP.psp");
  KIVO2_REQUIRE_TOOL("djpeg");
  const std::string file = testsupport::ReadFile(testsupport::CorpusDir() + "/metadata-samples/PSP.psp");
  const size_t start = file.find("\xFF\xD8\xFF"), end = file.find("\xFF\xD9", start);
  ASSERT_NE(end, std::string::npos);
  const std::string jpeg = testsupport::TempFile("copy.jpg", file.substr(start, end + 2 - start));
  const testsupport::CommandResult copy = testsupport::Run({"djpeg", "-pnm", jpeg});
  ASSERT_EQ(copy.exitCode, 0);
  const pixeltest::Rgba ours = pixeltest::LoadRgba(testsupport::CorpusDir() + "/metadata-samples/PSP.psp");
  EXPECT_EQ(pixeltest::Compare(ours, pixeltest::FromRaster(testsupport::ParsePnm(copy.out)), 2), "");
}

// Within the file header nothing loads; then every four bytes through the blocks.
Damage PspDamage(uint16_t major) {
  PspFile f;
  f.major = major, f.compression = 2, f.depth = 8;
  f.palette.assign(4 * 16, 0x33);
  f.layers = {ColourLayer(1), Layer{0, {{0, Plane(Red)}}, {}}};
  Damage d{.file = f.Build(), .refused = {0, 25, 32, 35}, .flips = 400};
  for (size_t n = 36; n < d.file.size(); n += 4) d.tried.push_back(n);
  return d;
}
INSTANTIATE_TEST_SUITE_P(Psp, DamagedFiles,
                         testing::Values(DamagedFile{"Version3", &Load<TPSPGraphic>, [] { return PspDamage(3); }},
                                         DamagedFile{"Version5", &Load<TPSPGraphic>, [] { return PspDamage(5); }}),
                         RowName<DamagedFile>);
