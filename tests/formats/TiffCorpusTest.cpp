// The TIFF reader on libtiff's public test pictures: each decodes to the pixels
// tiff2rgba gives (ImageMagick where tiff2rgba declines), or is refused with a
// "not supported" message naming the reason.
#include <dirent.h>

#include "TiffTestSupport.h"

namespace {

// Per file: "=N" pixels as tiff2rgba's within N per channel, "~N" as ImageMagick's,
// anything else the words of the refusal. 16-bit samples and colour maps may differ
// by one (libtiff keeps the high byte, we scale), YCbCr and CMYK by rounding.
// clang-format off
const std::map<std::string, std::string> kExpected = {
    {"caspian.tif", "sample format"},  // 64-bit floating point
    {"cramps-tile.tif", "Tiled storage"}, {"quad-tile.tif", "Tiled storage"},
    {"off_l16.tif", "compression scheme"}, {"off_luv24.tif", "compression scheme"},  // SGI LogLuv
    {"off_luv32.tif", "compression scheme"}, {"smallliz.tif", "compression scheme"},  // old-style JPEG
    {"zackthecat.tif", "compression scheme"},
    {"cramps.tif", "=0"}, {"fax2d.tif", "=0"}, {"g3test.tif", "=0"}, {"jim___ah.tif", "=0"}, {"jim___cg.tif", "=0"},
    {"jim___dg.tif", "=0"}, {"jim___gg.tif", "=0"}, {"oxford.tif", "=0"}, {"pc260001.tif", "=0"},
    {"quad-lzw.tif", "=0"},  // LZW of the early kind, codes stored least significant bit first
    {"strike.tif", "=0"}, {"jello.tif", "=1"}, {"ladoga.tif", "=1"}, {"quad-jpeg.tif", "=2"},
    {"dscf0013.tif", "=1"}, {"ycbcr-cat.tif", "=1"},  // subsampled YCbCr without JPEG
    {"flower-minisblack-02.tif", "=0"}, {"flower-minisblack-04.tif", "=0"}, {"flower-minisblack-08.tif", "=0"},
    {"flower-minisblack-16.tif", "=1"}, {"flower-palette-02.tif", "=1"}, {"flower-palette-04.tif", "=1"},
    {"flower-palette-08.tif", "=1"}, {"flower-rgb-contig-08.tif", "=0"}, {"flower-rgb-contig-16.tif", "=1"},
    {"flower-rgb-planar-08.tif", "=0"}, {"flower-rgb-planar-16.tif", "=1"}, {"flower-separated-contig-08.tif", "=1"},
    {"flower-separated-planar-08.tif", "=1"}, {"flower-separated-contig-16.tif", "~2"},
    {"flower-separated-planar-16.tif", "~2"},
    {"flower-palette-16.tif", "bit depth"},  // 65536 colours
    {"flower-minisblack-06.tif", "bit depth"}, {"flower-minisblack-10.tif", "bit depth"},
    {"flower-minisblack-12.tif", "bit depth"}, {"flower-minisblack-14.tif", "bit depth"},
    {"flower-minisblack-24.tif", "bit depth"}, {"flower-minisblack-32.tif", "bit depth"},
};
// clang-format on

TEST(TiffCorpus, LibTiffPicturesDecodeOrAreRefused) {
  KIVO2_REQUIRE_CORPUS("tiff");
  KIVO2_REQUIRE_TOOL("tiff2rgba");
  KIVO2_REQUIRE_TOOL("convert");
  int checked = 0;
  for (const char* sub : {"/tiff/", "/tiff/depth/"}) {
    const std::string dir = testsupport::CorpusDir() + sub;
    DIR* d = opendir(dir.c_str());
    ASSERT_NE(d, nullptr);
    while (const dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name.size() < 5 || name.compare(name.size() - 4, 4, ".tif") != 0 || name == "text.tif") continue;
      std::string error;
      auto graphic = tifftest::Load(dir + name, &error);
      const auto it = kExpected.find(name);
      // Files beyond the table (the rgb-*-02..32 depths among them) load or are refused as not supported.
      const std::string want = it != kExpected.end() ? it->second : "";
      if (want[0] == '=' || want[0] == '~') {
        ASSERT_TRUE(graphic) << name << ": " << error;
        const testsupport::Raster raster =
            want[0] == '=' ? tifftest::LibTiffRaster(dir + name) : tifftest::MagickRaster(dir + name);
        EXPECT_TRUE(tifftest::SamePixels(*graphic, raster, want[1] - '0')) << name;
      } else if (!graphic) {
        EXPECT_NE(error.find(want + " is not supported for TIF/TIFF files"), std::string::npos)
            << name << ": " << error;
      } else {
        EXPECT_TRUE(want.empty()) << name << " loaded, expected a refusal: " << want;
      }
      ++checked;
    }
    closedir(d);
  }
  EXPECT_GE(checked, int(kExpected.size()));
}

TEST(TiffCorpus, ThunderScanAndRawFaxData) {
  KIVO2_REQUIRE_CORPUS("tiff");
  KIVO2_REQUIRE_TOOL("tiff2rgba");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string path = testsupport::CorpusDir() + "/tiff/text.tif";
  auto graphic = tifftest::Load(path);
  ASSERT_TRUE(graphic);
  // libtiff leaves a row's last run unwritten when it reaches the row's end (the
  // file's own bilevel copy in its second directory is white there, as we are), so
  // the last 64 columns, the longest run, are left out; and the data ends three rows
  // early (libtiff warns "Not enough data"): those rows stay white here.
  const testsupport::Raster raster = tifftest::LibTiffRaster(path);
  ASSERT_EQ(graphic->Width(), raster.width);
  ASSERT_EQ(graphic->Height(), raster.height);
  long differences = 0;
  for (int y = 0; y + 3 < raster.height; ++y)
    for (int x = 0; x + 64 < raster.width; ++x)
      differences += int(graphic->PixelColor(x, y) & 0xFF) != raster.at(x, y, 0);
  EXPECT_EQ(differences, 0);
  // A raw Group 3 file is no TIFF.
  std::string error;
  EXPECT_FALSE(tifftest::Load(testsupport::CorpusDir() + "/tiff/g3test.g3", &error));
  EXPECT_NE(error.find("Invalid or unexpected TIF/TIFF image format"), std::string::npos) << error;
}

}  // namespace
