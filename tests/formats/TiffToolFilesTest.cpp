// The TIFF reader on files written by tiffcp, ImageMagick and netpbm: every
// compression, both byte orders, strips of several sizes, grey (min-is-white and
// min-is-black), palette, 16-bit, CMYK, alpha, separate planes, fill order 2 and fax
// coding, each compared pixel by pixel with tiff2rgba (or ImageMagick).

#include "TiffTestSupport.h"

namespace {

using Args = std::vector<std::string>;

// Runs a tool that writes `name` (in the sandbox) as its last argument, or, for
// pnmtotiff, to standard output.
std::string Make(const std::string& name, Args argv) {
  const std::string out = testsupport::TempPath(name);
  if (argv[0] == "pnmtotiff") {
    const testsupport::CommandResult r = testsupport::Run(argv);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    testsupport::WriteFile(out, r.out);
  } else {
    argv.push_back(out);
    tifftest::Tool(argv);
  }
  return out;
}

// A colourful 61 x 37 picture (odd sizes leave partial bytes at row ends), and
// uncompressed TIFF versions of it made by ImageMagick with extra options.
struct Pictures {
  std::string ppm = Make("rgb.ppm", {"convert", "-size", "61x37", "-seed", "5", "plasma:fractal", "-depth", "8"});
  std::string Magick(const std::string& name, Args options) {
    options.insert(options.begin(), {"convert", ppm});
    options.insert(options.end(), {"-compress", "none"});
    return Make(name, options);
  }
};

int counter = 0;

void ExpectPixels(const std::string& file, int tolerance, bool libtiff = true) {
  auto graphic = tifftest::Load(file);
  ASSERT_TRUE(graphic) << file;
  EXPECT_TRUE(
      tifftest::SamePixels(*graphic, libtiff ? tifftest::LibTiffRaster(file) : tifftest::MagickRaster(file), tolerance))
      << file;
}

std::string Tiffcp(const std::string& base, Args options) {
  options.insert(options.begin(), "tiffcp");
  options.push_back(base);
  return Make("copy" + std::to_string(counter++) + ".tif", options);
}

// Every lossless compression of tiffcp in both byte orders, and strips of 1 and 7
// rows. libtiff writes the predictor for 8- and 16-bit samples only.
void EveryCompression(const std::string& base, int tolerance, bool predictor = true) {
  for (const char* c : {"none", "lzw", "lzw:2", "zip", "zip:2", "packbits"})
    for (const char* order : {"-L", "-B"})
      if (predictor || std::string(c).find(':') == std::string::npos)
        ExpectPixels(Tiffcp(base, {"-c", c, order}), tolerance);
  for (const char* rows : {"1", "7"})
    ExpectPixels(Tiffcp(base, {"-c", predictor ? "lzw:2" : "lzw", "-r", rows, "-B"}), tolerance);
}

#define KIVO2_REQUIRE_TIFF_TOOLS() \
  KIVO2_REQUIRE_TOOL("tiffcp");    \
  KIVO2_REQUIRE_TOOL("tiff2rgba"); \
  KIVO2_REQUIRE_TOOL("convert");   \
  KIVO2_REQUIRE_TOOL("pnmtotiff"); \
  KIVO2_REQUIRE_TOOL("tiffinfo")

TEST(TiffToolFiles, RgbGreyPaletteCmykInEveryCompression) {
  KIVO2_REQUIRE_TIFF_TOOLS();
  Pictures p;
  EveryCompression(p.Magick("rgb.tif", {}), 0);
  EveryCompression(p.Magick("g8.tif", {"-colorspace", "Gray"}), 0);
  EveryCompression(p.Magick("g4.tif", {"-colorspace", "Gray", "-depth", "4"}), 0, false);
  EveryCompression(p.Magick("g2.tif", {"-colorspace", "Gray", "-depth", "2"}), 0, false);
  // 16-bit samples and colour maps: libtiff keeps the high byte where the colour
  // manager scales by 255/65535, so the two may differ by one.
  EveryCompression(p.Magick("rgb16.tif", {"-depth", "16"}), 1);
  EveryCompression(p.Magick("g16.tif", {"-colorspace", "Gray", "-depth", "16"}), 1);
  EveryCompression(p.Magick("p8.tif", {"-colors", "200", "-type", "Palette"}), 1);
  EveryCompression(p.Magick("p4.tif", {"-colors", "12", "-depth", "4", "-type", "Palette"}), 1, false);
  ExpectPixels(p.Magick("p1.tif", {"-colors", "2", "-depth", "1", "-type", "Palette"}), 1);
  // Narrow RGB rows: the predictor sums five pixels at a time and the rest one by one.
  for (int w : {1, 5, 6, 11})
    ExpectPixels(Tiffcp(p.Magick("narrow.tif", {"-crop", std::to_string(w) + "x37+3+0", "+repage"}), {"-c", "lzw:2"}),
                 0);
  EveryCompression(p.Magick("cmyk.tif", {"-colorspace", "CMYK"}), 1);
  ExpectPixels(p.Magick("cmyk16.tif", {"-colorspace", "CMYK", "-depth", "16"}), 2, false);  // tiff2rgba declines
  // Min-is-white and min-is-black from netpbm; ImageMagick's own writers and options.
  const std::string grey = p.Magick("g8.pgm", {"-colorspace", "Gray"}), bw = p.Magick("bw.pbm", {"-threshold", "50%"});
  for (const char* photometric : {"-miniswhite", "-minisblack"}) {
    ExpectPixels(Make("grey.tif", {"pnmtotiff", photometric, grey}), 0);
    EveryCompression(Make(std::string("bw") + photometric + ".tif", {"pnmtotiff", photometric, bw}), 0, false);
  }
  ExpectPixels(Make("im-lzw.tif", {"convert", p.ppm, "-compress", "LZW", "-define", "tiff:predictor=2"}), 0);
  ExpectPixels(Make("im-zip.tif", {"convert", p.ppm, "-compress", "Zip", "-define", "tiff:endian=msb"}), 0);
  ExpectPixels(Make("im-rle.tif", {"convert", p.ppm, "-compress", "RLE", "-define", "tiff:rows-per-strip=5"}), 0);
  ExpectPixels(Make("im-none.tif", {"convert", p.ppm, "-define", "tiff:rows-per-strip=20"}), 0);  // short last strip
}

TEST(TiffToolFiles, AlphaSeparatePlanesAndFillOrderTwo) {
  KIVO2_REQUIRE_TIFF_TOOLS();
  Pictures p;
  // Unassociated alpha: the colours as stored (libtiff would premultiply them).
  const std::string rgba = p.Magick("rgba.tif", {"-alpha", "set", "-channel", "A", "-fx", "i/w", "+channel"});
  const std::string ga =
      p.Magick("ga.tif", {"-colorspace", "Gray", "-alpha", "set", "-channel", "A", "-fx", "j/h", "+channel"});
  for (const char* c : {"none", "lzw:2", "zip"}) {
    ExpectPixels(Tiffcp(rgba, {"-c", c, "-B"}), 0, false);
    ExpectPixels(Tiffcp(ga, {"-c", c}), 0, false);
  }
  // Palette with alpha: the colours of the colour map (libtiff leaves them unweighted too).
  const std::string pa = p.Magick("pa.tif", {"-colors", "50", "-alpha", "set", "-channel", "A", "-fx", "i/w",
                                             "+channel", "-type", "PaletteAlpha"});
  const std::string layout = testsupport::Run({"tiffinfo", pa}).out;
  ASSERT_NE(layout.find("palette color"), std::string::npos) << layout;
  ASSERT_NE(layout.find("Samples/Pixel: 2"), std::string::npos) << layout;
  for (const char* c : {"none", "lzw:2", "packbits"})
    for (const char* order : {"-L", "-B"}) ExpectPixels(Tiffcp(pa, {"-c", c, order}), 1);
  // Separate planes: tiff2rgba declines them and ImageMagick misreads them, so libtiff's
  // pixels of the interleaved original stand for them.
  auto separate = tifftest::Load(Tiffcp(pa, {"-p", "separate", "-c", "zip"}));
  ASSERT_TRUE(separate);
  EXPECT_TRUE(tifftest::SamePixels(*separate, tifftest::LibTiffRaster(pa), 1));
  const std::string rgb = p.Magick("rgb.tif", {}), cmyk = p.Magick("cmyk.tif", {"-colorspace", "CMYK"});
  for (const std::string& base : {rgb, cmyk})
    for (const char* c : {"none", "lzw:2", "zip", "packbits"})
      for (const char* order : {"-L", "-B"})
        ExpectPixels(Tiffcp(base, {"-p", "separate", "-c", c, order, "-r", "8"}), base == rgb ? 0 : 1);
  for (const char* endian : {"lsb", "msb"})  // tiffcp separates 8-bit samples only
    ExpectPixels(Make(std::string("planar16") + endian + ".tif",
                      {"convert", p.ppm, "-depth", "16", "-interlace", "Plane", "-compress", "LZW", "-define",
                       "tiff:predictor=2", "-define", std::string("tiff:endian=") + endian}),
                 1);
  // Fill order 2 reverses the bits of every stored byte, whatever the compression.
  for (const std::string& base : {rgb, p.Magick("g4.tif", {"-colorspace", "Gray", "-depth", "4"})})
    for (const char* c : {"none", "lzw", "packbits", "zip"}) ExpectPixels(Tiffcp(base, {"-f", "lsb2msb", "-c", c}), 0);
}

// CIE L*a*b* files of ImageMagick (a photograph, a grey ramp) show in sRGB: on average
// within 3 levels of libtiff, each sample within 3 of libtiff or ImageMagick (the two
// differ by up to 30: libtiff's display model shows the darkest 1% of light as black).
TEST(TiffToolFiles, CieLabInSrgb) {
  KIVO2_REQUIRE_TIFF_TOOLS();
  for (const char* source : {"rose:", "gradient:white-black"}) {
    SCOPED_TRACE(source);
    const std::string lab =
        Make("lab.tif", {"convert", "-size", "70x46", source, "-colorspace", "Lab", "-depth", "8", "-compress", "none"});
    auto graphic = tifftest::Load(lab);
    const testsupport::Raster libtiff = tifftest::LibTiffRaster(lab), magick = tifftest::MagickRaster(lab);
    ASSERT_TRUE(graphic && graphic->Width() == libtiff.width && graphic->Height() == libtiff.height);
    int64_t sum = 0, worst = 0;
    for (int y = 0; y < libtiff.height; ++y)
      for (int x = 0; x < libtiff.width; ++x)
        for (int ch = 0; ch < 3; ++ch) {
          const int ours = int(graphic->PixelColor(x, y) >> (8 * ch) & 0xFF);
          sum += ours - libtiff.at(x, y, ch);
          worst = std::max<int64_t>(
              worst, std::min(std::abs(ours - libtiff.at(x, y, ch)), std::abs(ours - magick.at(x, y, ch))));
        }
    EXPECT_LE(std::abs(sum) / (3.0 * libtiff.width * libtiff.height), 3.0);
    EXPECT_LE(worst, 3);
  }
}

TEST(TiffToolFiles, FaxAndJpeg) {
  KIVO2_REQUIRE_TIFF_TOOLS();
  // A fax-wide page with long and short runs of both colours, up to the right edge.
  const std::string page = Make("page.pbm", {"convert",    "-size",
                                             "1728x300",   "xc:white",
                                             "-fill",      "black",
                                             "-draw",      "rectangle 20,20 1700,24",
                                             "-draw",      "circle 300,150 300,260",
                                             "-draw",      "rectangle 1000,100 1727,180",
                                             "-draw",      "ellipse 800,200 300,40 0,360",
                                             "-draw",      "line 0,299 1727,0",
                                             "-seed",      "3",
                                             "-attenuate", "0.2",
                                             "+noise",     "Impulse",
                                             "-threshold", "60%"});
  for (const char* photometric : {"-miniswhite", "-minisblack"}) {
    const std::string base = Make("page.tif", {"pnmtotiff", photometric, page});
    for (const Args& options : std::vector<Args>{{"-c", "g3"},
                                                 {"-c", "g3:1d:fill", "-r", "7"},
                                                 {"-c", "g3:1d", "-f", "lsb2msb", "-r", "1"},
                                                 {"-c", "g3:1d:fill", "-f", "lsb2msb", "-B"}})
      ExpectPixels(Tiffcp(base, options), 0);
    for (const char* refused : {"g3:2d", "g4"}) {
      std::string error;
      EXPECT_FALSE(tifftest::Load(Tiffcp(base, {"-c", refused}), &error));
      EXPECT_NE(error.find("not supported for TIF/TIFF files"), std::string::npos) << error;
    }
  }
  ExpectPixels(Make("im-fax.tif", {"convert", page, "-compress", "Fax"}), 0);
  // JPEG strips: YCbCr, RGB and grey, decoded by the same libjpeg on both sides.
  Pictures p;
  const std::string rgb = p.Magick("rgb.tif", {}), grey = p.Magick("g8.tif", {"-colorspace", "Gray"});
  ExpectPixels(Tiffcp(rgb, {"-c", "jpeg", "-r", "16"}), 2);
  ExpectPixels(Tiffcp(rgb, {"-c", "jpeg:r", "-r", "8", "-B"}), 2);
  ExpectPixels(Tiffcp(grey, {"-c", "jpeg", "-r", "8"}), 2);
  ExpectPixels(Make("im-jpeg.tif", {"convert", p.ppm, "-compress", "JPEG", "-quality", "90"}), 2);
  // A damaged JPEG strip (an end of image inside the scan) loads with libjpeg's warning
  // in the warning box, once, in the words libtiff's reader passes on for the file.
  const std::string damaged = Tiffcp(rgb, {"-c", "jpeg", "-r", "37"});
  std::string bytes = testsupport::ReadFile(damaged);
  ASSERT_NE(bytes.find("\xFF\xDA"), std::string::npos);
  testsupport::WriteFile(damaged, bytes.replace(bytes.find("\xFF\xDA") + 60, 2, "\xFF\xD9"));
  const std::string libtiff = testsupport::Run({"tiff2rgba", damaged, testsupport::TempPath("out.tif")}).err;
  ModalResponder::Expect(ModalKind::MessageDlg, mrOk);
  EXPECT_TRUE(tifftest::Load(damaged));
  ASSERT_EQ(ModalResponder::History().size(), 1u);
  EXPECT_EQ(ModalResponder::History()[0].caption, "Warning");
  EXPECT_EQ(ModalResponder::History()[0].text, "Corrupt JPEG data: premature end of data segment");
  EXPECT_NE(libtiff.find(ModalResponder::History()[0].text), std::string::npos) << libtiff;
}

}  // namespace
