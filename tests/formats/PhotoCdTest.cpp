// The Photo-CD reader against ImageMagick, which writes image packs and reads them. The
// two convert Photo YCC to RGB with different formulas, so the pictures are compared
// within a bound that such a difference stays inside but that a wrong plane, row, offset
// or turn exceeds many times over. The turned pictures are made by patching the rotation
// byte of ImageMagick's packs.

#include "ReaderTestUtil.h"
#include "formats/GraphicFormats_PCD.h"

using namespace hostiletest;
using namespace pixeltest;

namespace {

constexpr size_t kRotationByte = 0x0E02;
constexpr size_t kBaseImage = 96 * 2048;

// The average and the largest difference of the red, green and blue samples.
struct Difference {
  double mean = 0;
  int largest = 0;
};

Difference Differ(const Rgba& a, const Rgba& b) {
  Difference d;
  if (a.width != b.width || a.height != b.height) {
    d.mean = 1e9;
    return d;
  }
  double sum = 0;
  for (size_t i = 0; i < a.px.size(); ++i) {
    if (i % 4 == 3) continue;
    const int v = std::abs(int(a.px[i]) - int(b.px[i]));
    sum += v;
    d.largest = std::max(d.largest, v);
  }
  d.mean = sum / double(a.px.size() / 4 * 3);
  return d;
}

// The bound of the two YCC conversions (measured on the test picture: on average 7.5,
// at most 31; the picture turned or with its planes mixed up differs by 50 and more).
void ExpectClose(const Rgba& ours, const Rgba& reference) {
  const Difference d = Differ(ours, reference);
  EXPECT_LE(d.mean, 9.0);
  EXPECT_LE(d.largest, 40);
}

// ImageMagick's reading of a pack as RGB (its PAM output keeps Photo YCC samples).
Rgba ImageMagickRgb(const std::string& file, const std::vector<std::string>& options = {}) {
  std::vector<std::string> argv = {"convert", file};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.insert(argv.end(), {"-depth", "8", "ppm:-"});
  const testsupport::CommandResult r = testsupport::Run(argv);
  if (r.exitCode != 0) throw std::runtime_error(r.err);
  return FromRaster(testsupport::ParsePnm(r.out));
}

// A picture of the base size with a different colour in each corner, colour ramps and a
// swirl, in colours that Photo YCC holds without clipping.
std::string TestPicture() {
  const std::string file = testsupport::TempPath("source.ppm");
  const testsupport::CommandResult r = testsupport::Run(
      {"convert", "-size", "768x512", "gradient:rgb(210,90,60)-rgb(50,100,200)", "-swirl", "120", "-fill",
       "rgb(60,200,70)", "-draw", "rectangle 0,0 99,99", "-fill", "rgb(220,210,60)", "-draw",
       "rectangle 668,0 767,99", "-fill", "rgb(235,235,235)", "-draw", "rectangle 0,412 99,511", "-fill",
       "rgb(40,40,120)", "-draw", "rectangle 668,412 767,511", file});
  if (r.exitCode != 0) throw std::runtime_error(r.err);
  return file;
}

Bytes ReadBytes(const std::string& file) {
  const std::string s = testsupport::ReadFile(file);
  return Bytes(s.begin(), s.end());
}

// Sizes of the pictures of a pack as ReadImageProperties gives them.
TImageProperties PropertiesOf(const Bytes& data, uint32_t index) {
  TPCDGraphic g;
  TReadOnlyMemoryStream stream(data.data(), int64_t(data.size()));
  EXPECT_TRUE(g.ReadImageProperties(stream, index));
  return g.ImageProperties;
}

}  // namespace

TEST(PhotoCdReader, PacksWrittenByImageMagickAndGraphicsMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  const std::string source = TestPicture();
  const std::string im = testsupport::TempPath("im.pcd");
  ASSERT_EQ(testsupport::Run({"convert", source, im}).exitCode, 0);
  const Bytes pack = ReadBytes(im);
  ASSERT_EQ(std::string(pack.begin() + 2048, pack.begin() + 2051), "PCD");
  ASSERT_EQ(pack[kRotationByte] & 3, 0);
  const Rgba upright = LoadRgba(im);
  ExpectClose(upright, ImageMagickRgb(im));
  // The corners keep their colours: green top left, dark blue bottom right.
  EXPECT_GT(upright.at(10, 10)[1], 150);
  EXPECT_LT(upright.at(10, 10)[0], 110);
  EXPECT_GT(upright.at(757, 501)[2], 80);
  EXPECT_LT(upright.at(757, 501)[1], 70);
  if (!testsupport::ToolPath("gm").empty()) {
    const std::string gm = testsupport::TempPath("gm.pcd");
    ASSERT_EQ(testsupport::Run({"gm", "convert", source, gm}).exitCode, 0);
    ExpectClose(LoadRgba(gm), ImageMagickRgb(gm));
  }

  // Turned pictures: codes 1 and 3 as ImageMagick turns them; code 2 as stored.
  for (uint8_t code : {1, 2, 3}) {
    SCOPED_TRACE("rotation " + std::to_string(code));
    Bytes turned = pack;
    turned[kRotationByte] = uint8_t((turned[kRotationByte] & ~3) | code);
    const std::string file = testsupport::TempFile("turned" + std::to_string(code) + ".pcd", turned);
    const Rgba ours = LoadRgba(file);
    EXPECT_EQ(ours.width, code == 2 ? 768 : 512);
    ExpectClose(ours, ImageMagickRgb(file));
    // The green corner: top right after a quarter turn to the right (code 3), bottom left
    // after a quarter turn to the left (code 1), where it was for code 2.
    const int x = code == 3 ? 501 : 10;
    const int y = code == 3 ? 10 : code == 1 ? 757 : 10;
    EXPECT_GT(ours.at(x, y)[1], 150);
    EXPECT_LT(ours.at(x, y)[0], 110);
  }
}

TEST(PhotoCdReader, PropertiesOfEachResolution) {
  KIVO2_REQUIRE_TOOL("convert");
  const std::string im = testsupport::TempPath("props.pcd");
  ASSERT_EQ(testsupport::Run({"convert", "-size", "64x64", "xc:orange", im}).exitCode, 0);
  Bytes pack = ReadBytes(im);
  for (uint32_t index = 0; index <= 6; ++index) {
    const TImageProperties p = PropertiesOf(pack, index);
    const uint32_t n = std::min<uint32_t>(index, 5);
    EXPECT_EQ(p.Width, 192u << n);
    EXPECT_EQ(p.Height, 128u << n);
    EXPECT_EQ(p.Compression, n < 3 ? ctNone : ctPCDHuffmann);
    EXPECT_EQ(p.ColorScheme, csPhotoYCC);
    EXPECT_EQ(p.BitsPerPixel, 24);
  }
  pack[kRotationByte] = 1;
  const TImageProperties turned = PropertiesOf(pack, 4);
  EXPECT_EQ(turned.Width, 2048u);
  EXPECT_EQ(turned.Height, 3072u);
  EXPECT_EQ(turned.Rotate, 1);
  // Whatever resolution the properties name, the base picture is loaded.
  TPCDGraphic g;
  TReadOnlyMemoryStream stream(pack.data(), int64_t(pack.size()));
  g.LoadFromStream(stream);
  EXPECT_EQ(g.Width(), 512);
  EXPECT_EQ(g.Height(), 768);
  EXPECT_EQ(g.ImageProperties.Width, 768u);
  EXPECT_EQ(g.PixelFormat(), pf24bit);
}

// Overview packs hold small pictures in a layout of their own, and other data is no
// Photo-CD file: both are refused with a message rather than shown as noise or as an
// empty picture.
TEST(PhotoCdReader, OverviewPacksAndOtherDataAreRefused) {
  Bytes overview(kBaseImage + 768 * 512 * 3 / 2, 0x55);
  std::memcpy(overview.data(), "PCD_OPA", 7);
  overview[kRotationByte] = 0;
  overview[10] = 0, overview[11] = 12;
  TPCDGraphic g;
  TReadOnlyMemoryStream stream(overview.data(), int64_t(overview.size()));
  EXPECT_TRUE(g.CanLoad(stream));
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(Load<TPCDGraphic>(overview).error,
            "Cannot load image. Overview packs are not supported for PCD files.");
  ASSERT_TRUE(g.ReadImageProperties(stream, 3));
  EXPECT_TRUE(g.ImageProperties.Overview);
  EXPECT_EQ(g.ImageProperties.ImageCount, 12);
  EXPECT_EQ(g.ImageProperties.Width, 192u);

  const Bytes noise(kBaseImage + 768 * 512 * 3 / 2, 0x37);
  TReadOnlyMemoryStream noiseStream(noise.data(), int64_t(noise.size()));
  EXPECT_FALSE(g.CanLoad(noiseStream));
  EXPECT_EQ(Load<TPCDGraphic>(noise).error, "Cannot load image. Invalid or unexpected PCD image format.");

  // 6144 bytes are not enough to tell; one more is.
  Bytes header(6144, 0);
  std::memcpy(&header[2048], "PCD_IPI", 7);
  TReadOnlyMemoryStream exact(header.data(), int64_t(header.size()));
  EXPECT_FALSE(g.CanLoad(exact));
  header.push_back(0);
  TReadOnlyMemoryStream longer(header.data(), int64_t(header.size()));
  EXPECT_TRUE(g.CanLoad(longer));
}

// Cut in the header, before the base picture and anywhere in it: the picture the pack
// cannot hold is refused before anything is allocated for it (a load within 8 MiB says so).
// Changed bytes in the header (the rotation among them) and anywhere.
INSTANTIATE_TEST_SUITE_P(PhotoCd, DamagedFiles, testing::Values(DamagedFile{"Pack", &Load<TPCDGraphic>, [] {
  const std::string im = testsupport::TempPath("cut.pcd");
  if (testsupport::Run({"convert", "-size", "40x30", "gradient:green-red", im}).exitCode != 0) return Damage{};
  const Bytes pack = ReadBytes(im);
  const std::string tooLittle = TooLittle("PCD", 768, 512);
  const testsupport::LimitedRun run = testsupport::RunWithMemoryLimit(8 * testsupport::kMiB, [&] {
    return Load<TPCDGraphic>(Bytes(pack.begin(), pack.begin() + kBaseImage + 1000)).error;
  });
  EXPECT_EQ(run.text, "returned: " + tooLittle);
  return Damage{.file = pack,
                .refused = {0, 7, 2048, 2051, 3586, 6144, 6145, kBaseImage - 1, kBaseImage, kBaseImage + 2303,
                            kBaseImage + 2304, kBaseImage + 300000, kBaseImage + 768 * 512 * 3 / 2 - 1},
                .header = 6144,
                .errors = {"Cannot load image. Invalid or unexpected PCD image format.", tooLittle},
                .flips = 30};
}}), RowName<DamagedFile>);
