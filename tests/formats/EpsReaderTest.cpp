// The EPS reader: files with a preview header, PostScript and a TIFF preview written by
// tiffcp, assembled in the test, against tiff2rgba's reading of that TIFF; ImageMagick's
// own EPS files with a preview; files whose header names no preview.

#include "ReaderTestUtil.h"
#include "formats/GraphicFormats_EPS.h"

using namespace hostiletest;
using namespace pixeltest;

namespace {

const std::string kPostScript =
    "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 57 31\n%%EndComments\n"
    "newpath 0 0 moveto 57 31 lineto stroke showpage\n%%EOF\n";

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// The preview header, the PostScript behind it, then the TIFF preview.
Bytes Eps(const std::string& tiff, const std::string& postScript = kPostScript) {
  Bytes b(30, 0);
  b[0] = 0xC5, b[1] = 0xD0, b[2] = 0xD3, b[3] = 0xC6;
  Put32(b, 4, 30);
  Put32(b, 8, uint32_t(postScript.size()));
  Put32(b, 20, uint32_t(30 + postScript.size()));
  Put32(b, 24, uint32_t(tiff.size()));
  b[28] = b[29] = 0xFF;  // no checksum
  b.insert(b.end(), postScript.begin(), postScript.end());
  b.insert(b.end(), tiff.begin(), tiff.end());
  return b;
}

// tiff2rgba's reading of a TIFF file.
Rgba Tiff2rgba(const std::string& tiff) {
  const std::string rgba = tiff + ".rgba.tif";
  const testsupport::CommandResult r = testsupport::Run({"tiff2rgba", "-c", "none", tiff, rgba});
  if (r.exitCode != 0) throw std::runtime_error("tiff2rgba: " + r.err);
  return FromRaster(testsupport::ImageMagickRaster(rgba));
}

std::unique_ptr<TEPSGraphic> LoadEps(const Bytes& data, size_t at = 0) {
  auto g = std::make_unique<TEPSGraphic>();
  TReadOnlyMemoryStream stream(data.data(), int64_t(data.size()));
  stream.SetPosition(int64_t(at));
  g->LoadFromStream(stream);
  return g;
}

// A TIFF written by tiffcp from ImageMagick's uncompressed TIFF of the test picture.
std::string TiffcpFile(const std::string& name, const std::vector<std::string>& options) {
  const std::string ppm = testsupport::TempPath("preview.ppm"), plain = testsupport::TempPath("plain.tif");
  testsupport::WriteFile(ppm, TestPpm(57, 31, 996));
  if (testsupport::Run({"convert", ppm, "-compress", "None", plain}).exitCode != 0) throw std::runtime_error("convert");
  const std::string out = testsupport::TempPath(name);
  std::vector<std::string> argv = {"tiffcp"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.insert(argv.end(), {plain, out});
  const testsupport::CommandResult r = testsupport::Run(argv);
  if (r.exitCode != 0) throw std::runtime_error("tiffcp: " + r.err);
  return out;
}

}  // namespace

TEST(EpsReader, TiffPreviewsWrittenByTiffcp) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("tiffcp");
  KIVO2_REQUIRE_TOOL("tiff2rgba");
  const std::vector<std::vector<std::string>> compressions = {
      {"-c", "none"}, {"-c", "lzw"}, {"-c", "lzw:2"}, {"-c", "packbits"}, {"-c", "zip"}, {"-c", "none", "-r", "5"}};
  for (const auto& options : compressions) {
    SCOPED_TRACE(options[1]);
    const std::string tiff = TiffcpFile("preview.tif", options);
    const Rgba expected = Tiff2rgba(tiff);
    const Bytes eps = Eps(testsupport::ReadFile(tiff));
    const std::string file = testsupport::TempFile("picture.eps", eps);
    auto picture = LoadPicture(file);
    auto* g = dynamic_cast<TEPSGraphic*>(picture->Graphic());
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(Compare(FromBitmap(*g), expected), "");
    EXPECT_EQ(g->ImageProperties.Version, 42u);
    // The same file inside a larger stream, read from where it starts.
    Bytes embedded(123 + eps.size(), 0x25);
    std::copy(eps.begin(), eps.end(), embedded.begin() + 123);
    EXPECT_EQ(Compare(FromBitmap(*LoadEps(embedded, 123)), expected), "");
  }
}

TEST(EpsReader, FilesWrittenByImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("tiff2rgba");
  const std::string ppm = testsupport::TempPath("im.ppm"), eps = testsupport::TempPath("im.eps");
  testsupport::WriteFile(ppm, TestPpm(40, 24, 996));
  ASSERT_EQ(testsupport::Run({"convert", ppm, "EPT2:" + eps}).exitCode, 0);
  const std::string data = testsupport::ReadFile(eps);
  ASSERT_EQ(uint8_t(data[0]), 0xC5);
  auto u32 = [&](size_t at) {
    return uint32_t(uint8_t(data[at])) | uint32_t(uint8_t(data[at + 1])) << 8 | uint32_t(uint8_t(data[at + 2])) << 16 |
           uint32_t(uint8_t(data[at + 3])) << 24;
  };
  const std::string preview = testsupport::TempFile("im-preview.tif", data.substr(u32(20), u32(24)));
  // Its preview is a palette TIFF: the TIFF reader scales the 16-bit colour map values
  // to 8 bits truncating, tiff2rgba rounding.
  EXPECT_EQ(Compare(LoadRgba(eps), Tiff2rgba(preview), 1), "");
}

// A header that names no preview, or one outside the file, and files without the header
// are refused as invalid EPS files; the signature test sees the same.
TEST(EpsReader, FilesWithoutAPreviewAreRefused) {
  const std::string tiff = "II*\0\x08\0\0\0" + std::string(40, '\0');
  const Bytes good = Eps(tiff);
  TEPSGraphic g;
  auto canLoad = [&](const Bytes& data) {
    TReadOnlyMemoryStream stream(data.data(), int64_t(data.size()));
    const bool ok = g.CanLoad(stream);
    EXPECT_EQ(stream.Position(), 0);
    return ok;
  };
  EXPECT_TRUE(canLoad(good));
  const std::string invalid = "Cannot load image. Invalid or unexpected EPS image format.";
  Bytes noPreview = good;
  Put32(noPreview, 24, 0);
  Bytes inHeader = good;
  Put32(inHeader, 20, 12);
  Bytes beyond = good;
  Put32(beyond, 20, uint32_t(good.size() + 1000));
  const std::string text = kPostScript;
  const Bytes refused[] = {noPreview, inHeader, beyond, Bytes(text.begin(), text.end())};
  for (const Bytes& data : refused) {
    // The signature test does not look beyond the header.
    EXPECT_EQ(canLoad(data), &data == &refused[2]);
    EXPECT_EQ(Load<TEPSGraphic>(data).error, invalid);
  }
  // A preview that is no TIFF is refused by the TIFF reader.
  const Bytes notTiff = Eps(std::string(60, 'x'));
  EXPECT_TRUE(canLoad(notTiff));
  EXPECT_EQ(Load<TEPSGraphic>(notTiff).error, "Cannot load image. Invalid or unexpected TIF/TIFF image format.");
}

// Cut in the header, in the PostScript, and in the preview's header, strips and directory
// (which tiffcp writes behind the strips; the values behind the directory are not all
// needed). A header whose preview length stops short of the TIFF's end ends the preview
// there.
INSTANTIATE_TEST_SUITE_P(Eps, DamagedFiles, testing::Values(DamagedFile{"Eps", &Load<TEPSGraphic>, [] {
  if (testsupport::ToolPath("convert").empty() || testsupport::ToolPath("tiffcp").empty()) return Damage{};
  const std::string tiff = testsupport::ReadFile(TiffcpFile("damaged.tif", {"-c", "lzw", "-r", "8"}));
  Damage d{.file = Eps(tiff), .refused = {0, 3, 4, 20, 24, 29, 30, 31}, .header = 30};
  Bytes shorter = d.file;
  Put32(shorter, 24, uint32_t(tiff.size() / 2));
  EXPECT_FALSE(Load<TEPSGraphic>(shorter).loaded);
  const size_t start = 30 + kPostScript.size();
  const size_t directory = start + (uint8_t(tiff[4]) | uint8_t(tiff[5]) << 8 | uint8_t(tiff[6]) << 16);
  d.refused.insert(d.refused.end(), {start - 1, start, start + 4, start + 8, directory + 1, directory + 2 + 12 * 3});
  for (size_t at = start + 9; at < directory; at += 61) d.refused.push_back(at);
  return d;
}}), RowName<DamagedFile>);
