// The benchmark tool decode2pam: every picture the picture object loads comes out as
// the viewer decodes it (JPEG and icons through their bitmaps), checked against djpeg
// and ImageMagick, and the time it prints covers the decode.

#include <chrono>
#include <climits>
#include <regex>
#include <tuple>

#include "TargaPngPixels.h"

using namespace pixeltest;

namespace {

// The tool beside the test programs in the build folder; empty when it was not built.
std::string Decode2Pam() {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return std::string();
  std::string dir(self, size_t(n));
  dir = dir.substr(0, dir.rfind('/'));
  const std::string tool = dir.substr(0, dir.rfind('/')) + "/bench/decode2pam";
  return access(tool.c_str(), X_OK) == 0 ? tool : std::string();
}

}  // namespace

TEST(DecodeTool, JpegAndIconPicturesAreDecodedAndTheDecodeIsTimed) {
  const std::string tool = Decode2Pam();
  if (tool.empty()) GTEST_SKIP() << "decode2pam not built";
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("djpeg");
  const std::string jpeg = testsupport::TempPath("photo.jpg"), icon = testsupport::TempPath("sign.ico");
  ASSERT_EQ(testsupport::Run({"convert", "-size", "3000x2000", "-seed", "8", "plasma:fractal", "-quality", "90", jpeg})
                .exitCode,
            0);
  ASSERT_EQ(testsupport::Run({"convert", "-size", "32x32", "radial-gradient:yellow-none", icon}).exitCode, 0);

  const testsupport::CommandResult run = testsupport::Run({tool, "-o", testsupport::TempDir(), jpeg, icon});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  const Rgba decoded = FromRaster(testsupport::ParsePnm(testsupport::ReadFile(testsupport::TempPath("photo.ppm"))));
  const testsupport::CommandResult reference = testsupport::Run({"djpeg", "-pnm", jpeg});
  ASSERT_EQ(reference.exitCode, 0) << reference.err;
  EXPECT_EQ(Compare(decoded, FromRaster(testsupport::ParsePnm(reference.out)), 1), "");
  // The icon keeps its alpha.
  EXPECT_EQ(Compare(FromRaster(testsupport::ParsePnm(testsupport::ReadFile(testsupport::TempPath("sign.pam")))),
                    FromRaster(testsupport::ImageMagickRaster(icon)), 0, true),
            "");

  // The time printed for the JPEG covers its decode: it is of the order of djpeg's time
  // for the same picture, not of reading the header alone.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(run.out, m, std::regex("photo\\.jpg: 3000x2000 24-bit, ([0-9.]+) ms")))
      << run.out;
  const double ours = std::stod(m[1].str());
  double djpeg = 1e9;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(testsupport::Run({"djpeg", "-outfile", "/dev/null", jpeg}).exitCode, 0);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    djpeg = std::min(djpeg, took.count());
  }
  EXPECT_GT(ours, 0.25 * djpeg) << "kivo2 " << ours << " ms, djpeg " << djpeg << " ms";
}

// Pictures the tool cannot decode (a Targa of no width or height is invalid) are
// reported on standard error, the rest is decoded, and the tool ends with 1.
TEST(DecodeTool, PicturesItCannotDecodeAreReportedAndTheRestDecoded) {
  const std::string tool = Decode2Pam();
  if (tool.empty()) GTEST_SKIP() << "decode2pam not built";
  std::vector<std::string> argv{tool, "-o", testsupport::TempDir()};
  for (const auto& [name, width, height] :
       std::vector<std::tuple<std::string, int, int>>{{"wide0.tga", 0, 5}, {"high0.tga", 5, 0}, {"good.tga", 5, 6}}) {
    std::string bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, char(width), 0, char(height), 0, 24, 0x20};
    testsupport::WriteFile(testsupport::TempPath(name), bytes + std::string(90, '\x10'));
    argv.push_back(testsupport::TempPath(name));
  }
  const testsupport::CommandResult run = testsupport::Run(argv);
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  for (const char* name : {"wide0.tga", "high0.tga"})
    EXPECT_NE(run.err.find(std::string(name) + ": Cannot load image. Invalid or unexpected Targa image format."),
              std::string::npos)
        << run.err;
  EXPECT_NE(run.out.find("good.tga: 5x6 24-bit"), std::string::npos) << run.out;
}
