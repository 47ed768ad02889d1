// TJPEGImage: decoding at every DCT scale against djpeg, grey and CMYK pictures,
// compression checked by jpeginfo and djpeg, and damaged input.

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "GraphicsTestHelpers.h"
#include "MemoryLimit.h"
#include "platform/graphics/Jpeg.h"

using namespace graphicstest;
using testsupport::ParsePnm;

using testsupport::TempPath;

namespace {

std::string MakeJpeg(const std::string& name, const std::vector<std::string>& options, int w = 301, int h = 203) {
  std::string path = TempPath(name);
  std::vector<std::string> argv{"convert", "-size", std::to_string(w) + "x" + std::to_string(h), "-seed", "5",
                                "plasma:"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(path);
  auto r = testsupport::Run(argv);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return path;
}

testsupport::Raster Djpeg(const std::string& file, const std::vector<std::string>& options = {}) {
  std::vector<std::string> argv{"djpeg", "-pnm"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(file);
  auto r = testsupport::Run(argv);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return ParsePnm(r.out);
}

double MeanDifference(const TBitmap& b, const testsupport::Raster& r) {
  double sum = 0;
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x) {
      TColor a = b.PixelColor(x, y), c = RasterColor(r, x, y);
      sum += std::abs(GetRValue(a) - GetRValue(c)) + std::abs(GetGValue(a) - GetGValue(c)) +
             std::abs(GetBValue(a) - GetBValue(c));
    }
  return sum / (3.0 * r.width * r.height);
}

// The position of the first marker of the given kind at or after from (npos when none).
size_t FindMarker(const std::string& bytes, uint8_t marker, size_t from = 2) {
  for (size_t at = from; at + 4 <= bytes.size();) {
    if (uint8_t(bytes[at]) != 0xFF) return std::string::npos;
    if (uint8_t(bytes[at + 1]) == marker) return at;
    at += 2 + (size_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]));
  }
  return std::string::npos;
}

// The file cut behind its first scan header: every header, no coded data.
std::string HeaderOnly(const std::string& bytes) {
  const size_t sos = FindMarker(bytes, 0xDA);
  return bytes.substr(0, sos + 2 + (size_t(uint8_t(bytes[sos + 2])) << 8 | uint8_t(bytes[sos + 3])));
}

// Writes another picture size into the frame header (baseline, progressive or arithmetic).
void SetFrameSize(std::string& bytes, int width, int height) {
  size_t sof = FindMarker(bytes, 0xC0);
  if (sof == std::string::npos) sof = FindMarker(bytes, 0xC2);
  if (sof == std::string::npos) sof = FindMarker(bytes, 0xC9);
  bytes[sof + 5] = char(height >> 8), bytes[sof + 6] = char(height);
  bytes[sof + 7] = char(width >> 8), bytes[sof + 8] = char(width);
}

}  // namespace

TEST(Jpeg, DecodesAtEveryScaleLikeDjpeg) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("djpeg");
  // Large pictures (a second thread decodes their lower part) of odd sizes, with chroma
  // halved both ways, sideways only and not at all, and with restart markers, equal to
  // djpeg's pixel for pixel.
  struct Case {
    std::string name;
    std::vector<std::string> options;
    int w = 301, h = 203;
    double cut = 2.0 / 3;  // the share of the file left by a cut
  };
  for (const Case& c : std::vector<Case>{{"base.jpg", {"-quality", "85"}},
                                         {"progressive.jpg", {"-quality", "80", "-interlace", "JPEG"}},
                                         {"sub444.jpg", {"-quality", "92", "-sampling-factor", "1x1"}},
                                         {"large420.jpg", {"-resize", "1501x1403!", "-sampling-factor", "2x2"}, 300, 280},
                                         {"large422.jpg", {"-resize", "1403x1501!", "-sampling-factor", "2x1"}, 280, 300},
                                         {"large444.jpg",
                                          {"-resize", "1450x1450!", "-quality", "95", "-define", "jpeg:restart-interval=3"},
                                          290, 290},
                                         {"smooth.jpg", {"-resize", "900x600!", "-quality", "85"}, 3, 2, 0.1},
                                         {"smooth-prog.jpg", {"-resize", "900x600!", "-interlace", "JPEG"}, 3, 2, 0.1}}) {
    const std::string& name = c.name;
    std::string file = MakeJpeg(name, c.options, c.w, c.h);
    const TJPEGScale scales[] = {jsFullSize, jsHalf, jsQuarter, jsEighth};
    for (int i = 0; i < 4; ++i) {
      TJPEGImage jpeg;
      jpeg.SetScale(scales[i]);
      jpeg.LoadFromFile(file);
      auto expected = Djpeg(file, {"-scale", "1/" + std::to_string(1 << i)});
      // The size is known from the header before any pixel is decoded.
      EXPECT_EQ(jpeg.Width(), expected.width) << name << " scale 1/" << (1 << i);
      EXPECT_EQ(jpeg.Height(), expected.height);
      TBitmap& b = jpeg.Bitmap();
      EXPECT_EQ(b.PixelFormat(), pf24bit);
      EXPECT_EQ(MaxDifference(b, expected), 0) << name << " scale 1/" << (1 << i);
    }
    // Cut short (smooth shades, few bytes a block, a tenth in): the rows the data holds and
    // what libjpeg makes of the rest, as djpeg shows it.
    const std::string cut = TempPath("cut-" + name);
    testsupport::WriteFile(cut, testsupport::ReadFile(file).substr(0, size_t(std::filesystem::file_size(file) * c.cut)));
    TJPEGImage jpeg;
    jpeg.LoadFromFile(cut);
    const auto warned = testsupport::Run({"djpeg", "-pnm", cut});
    EXPECT_EQ(warned.exitCode, 2) << "djpeg warns of the missing data";
    EXPECT_EQ(MaxDifference(jpeg.Bitmap(), ParsePnm(warned.out)), 0) << "cut " << name;
  }
}

TEST(Jpeg, ScaleChangesTheReportedSizeAndTheDecode) {
  KIVO2_REQUIRE_TOOL("convert");
  std::string file = MakeJpeg("s.jpg", {"-quality", "85"});
  TJPEGImage jpeg;
  jpeg.LoadFromFile(file);
  EXPECT_EQ(jpeg.Width(), 301);
  EXPECT_EQ(jpeg.Height(), 203);
  jpeg.SetScale(jsEighth);
  EXPECT_EQ(jpeg.Width(), 38);  // rounded up
  EXPECT_EQ(jpeg.Height(), 26);
  EXPECT_EQ(jpeg.Bitmap().Width(), 38);
  jpeg.SetScale(jsHalf);
  EXPECT_EQ(jpeg.Bitmap().Width(), 151);
  TBitmap copy;
  copy.Assign(&jpeg);
  EXPECT_EQ(copy.Width(), 151);
  EXPECT_EQ(copy.PixelFormat(), pf24bit);
  EXPECT_THROW(jpeg.SetWidth(10), EInvalidGraphicOperation);
}

TEST(Jpeg, GreyAndCmykPicturesDecodeLikeTheReferenceTools) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("djpeg");
  std::string grey = MakeJpeg("grey.jpg", {"-colorspace", "Gray", "-quality", "85"});
  TJPEGImage g;
  g.LoadFromFile(grey);
  auto expected = Djpeg(grey);
  ASSERT_EQ(expected.channels, 1);
  EXPECT_EQ(g.Bitmap().PixelFormat(), pf24bit);
  EXPECT_LE(MaxDifference(g.Bitmap(), expected), 0);
  // Asked for grey: 8 bits with a grey ramp.
  TJPEGImage g8;
  g8.SetGrayscale(true);
  g8.LoadFromFile(grey);
  EXPECT_EQ(g8.Bitmap().PixelFormat(), pf8bit);
  EXPECT_LE(MaxDifference(g8.Bitmap(), expected), 0);

  std::string cmyk = MakeJpeg("cmyk.jpg", {"-colorspace", "CMYK", "-quality", "90"});
  TJPEGImage c;
  c.LoadFromFile(cmyk);
  EXPECT_LE(MaxDifference(c.Bitmap(), Djpeg(cmyk)), 1);
  EXPECT_LE(MaxDifference(c.Bitmap(), testsupport::ImageMagickRaster(cmyk, {"-colorspace", "sRGB", "-depth", "8"})), 2);
  // Four components without an Adobe marker (here with a JFIF marker instead) are
  // inverted CMYK as well, as djpeg and ImageMagick take them.
  {
    const std::string adobe = testsupport::ReadFile(cmyk);
    const size_t app14 = FindMarker(adobe, 0xEE);
    ASSERT_NE(app14, std::string::npos);
    const size_t app14Length = 2 + (size_t(uint8_t(adobe[app14 + 2])) << 8 | uint8_t(adobe[app14 + 3]));
    const std::string jfif("\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 18);
    const std::string plain =
        adobe.substr(0, 2) + jfif + adobe.substr(2, app14 - 2) + adobe.substr(app14 + app14Length);
    const std::string file = testsupport::TempFile("cmyk-jfif.jpg", plain);
    TJPEGImage p;
    p.LoadFromFile(file);
    EXPECT_LE(MaxDifference(p.Bitmap(), Djpeg(file)), 1);
    EXPECT_LE(MaxDifference(p.Bitmap(), testsupport::ImageMagickRaster(file, {"-colorspace", "sRGB", "-depth", "8"})),
              2);
  }
  // A CMYK picture asked for in grey: the grey of the colours ImageMagick sees.
  TJPEGImage cgrey;
  cgrey.SetGrayscale(true);
  cgrey.LoadFromFile(cmyk);
  ASSERT_EQ(cgrey.Bitmap().PixelFormat(), pf8bit);
  auto colours = testsupport::ImageMagickRaster(cmyk, {"-colorspace", "sRGB", "-depth", "8"});
  int worst = 0;
  for (int y = 0; y < colours.height; ++y)
    for (int x = 0; x < colours.width; ++x) {
      int grey = (colours.at(x, y, 0) * 77 + colours.at(x, y, 1) * 150 + colours.at(x, y, 2) * 29 + 128) >> 8;
      worst = std::max(worst, std::abs(GetRValue(cgrey.Bitmap().PixelColor(x, y)) - grey));
    }
  EXPECT_LE(worst, 2);
  // A colour picture asked for in grey.
  std::string colour = MakeJpeg("colour.jpg", {"-quality", "85"});
  TJPEGImage cg;
  cg.SetGrayscale(true);
  cg.LoadFromFile(colour);
  EXPECT_LE(MaxDifference(cg.Bitmap(), Djpeg(colour, {"-grayscale"})), 0);
}

// What a picture costs follows the data of its file, made where a large allocation fails.
// Coded data of one scan that ends before a 16th of the rows its header promises gives the
// rows it gave, djpeg's top rows; true flat pictures of the same size show whole. A
// progressive picture has libjpeg keep the whole picture's coefficients from its start;
// each block takes a bit of its first scan, and a header promising far more is refused.
TEST(Jpeg, WhatAPictureCostsFollowsTheDataOfItsFile) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("djpeg");
  KIVO2_REQUIRE_TOOL("cjpeg");
  auto limited = [](const std::string& file, TJPEGScale scale) {
    return testsupport::RunWithMemoryLimit(64 * testsupport::kMiB, [&] {
      TJPEGImage jpeg;
      jpeg.SetScale(scale);
      jpeg.LoadFromFile(file);
      return std::to_string(jpeg.Bitmap().Width()) + "x" + std::to_string(jpeg.Bitmap().Height());
    });
  };
  // The rows a file gives: at most a 16th of its header's height, djpeg's top rows (below
  // them, in a picture small enough to decode whole, djpeg shows libjpeg's flat grey fill).
  auto rowsGiven = [&](const std::string& name, const std::string& bytes, const std::string& width, int height) {
    const std::string file = testsupport::TempFile(name, bytes), text = limited(file, jsFullSize).text;
    const int rows = text.rfind("returned: " + width + "x", 0) == 0 ? std::atoi(&text[11 + width.size()]) : 0;
    ASSERT_TRUE(rows > 0 && rows <= height / 16) << name << ": " << text;
    TJPEGImage jpeg;
    jpeg.LoadFromFile(file);
    const auto top = testsupport::Run({"djpeg", "-crop", width + "x" + std::to_string(rows) + "+0+0", file});
    EXPECT_EQ(MaxDifference(jpeg.Bitmap(), ParsePnm(top.out)), 0) << name;
    const auto all = height < 16000 ? ParsePnm(testsupport::Run({"djpeg", file}).out) : testsupport::Raster();
    EXPECT_TRUE(std::all_of(all.samples.begin() + std::min(all.samples.size(), size_t(rows) * all.width * 3),
                            all.samples.end(), [](uint16_t v) { return v == 128; })) << name;
  };
  // True flat grey pictures of 16000 x 16000: 125 bytes arithmetic-coded, 3 MB Huffman-coded.
  const std::string pgm = "P5 16000 16000 255\n" + std::string(size_t(16000) * 16000, '\x80');
  const std::string arithmetic = testsupport::Run({"cjpeg", "-grayscale", "-arithmetic"}, pgm).out;
  const std::string huffman = testsupport::Run({"cjpeg", "-grayscale"}, pgm).out;
  ASSERT_TRUE(arithmetic.size() < 200 && huffman.size() > 2000000);
  for (const std::string* bytes : {&arithmetic, &huffman})
    EXPECT_EQ(limited(testsupport::TempFile("true-flat.jpg", *bytes), jsEighth).text, "returned: 2000x2000");
  // A small picture's arithmetic-coded data under that header, the file ending 190 bytes in;
  // 96 KB of random bytes as Huffman-coded data under it; a smooth picture cut 2 % into its data.
  std::string lying = testsupport::Run({"cjpeg", "-arithmetic", MakeJpeg("small.pgm", {"-colorspace", "Gray"})}).out;
  SetFrameSize(lying, 16000, 16000);
  rowsGiven("lying-arithmetic.jpg", lying.substr(0, 190), "16000", 16000);
  std::string noise = HeaderOnly(huffman);
  for (uint32_t i = 0, x = 5; i < 96 * 1024; ++i) noise.push_back(char((x = x * 1103515245 + 12345) >> 23));
  rowsGiven("random-huffman.jpg", noise + "\xFF\xD9", "16000", 16000);
  const std::string smooth =
      testsupport::ReadFile(MakeJpeg("smooth.jpg", {"-resize", "1500x1000!", "-quality", "85"}, 3, 2));
  const size_t data = HeaderOnly(smooth).size();
  rowsGiven("smooth-cut.jpg", smooth.substr(0, data + (smooth.size() - data) / 50), "1500", 1000);

  for (const std::string& name : {std::string("flat.jpg"), std::string("flat-progressive.jpg")}) {
    SCOPED_TRACE(name);
    std::vector<std::string> options{"-size", "2000x1600", "xc:#808070", "-quality", "50"};
    if (name == "flat-progressive.jpg") options.insert(options.end(), {"-interlace", "JPEG"});
    const std::string file = TempPath(name);
    options.insert(options.begin(), "convert");
    options.push_back(file);
    ASSERT_EQ(testsupport::Run(options).exitCode, 0);
    TJPEGImage flat;
    flat.LoadFromFile(file);
    EXPECT_LE(MaxDifference(flat.Bitmap(), Djpeg(file)), 0);

    std::string header = testsupport::ReadFile(file).substr(0, 4096);
    SetFrameSize(header, 16000, 16000);
    if (name == "flat.jpg") {
      rowsGiven("flat-cut.jpg", header, "16000", 16000);
      continue;
    }
    EXPECT_EQ(limited(testsupport::TempFile("flat-cut.jpg", header), jsFullSize).text,
              "EInvalidGraphic: Cannot load image. The JPEG file holds too little data for a picture of 16000 x "
              "16000 pixels.");
  }
  // Sides up to the format's own 65,500 pixels decode at full size; a frame wider than
  // that is refused with libjpeg's message.
  const std::string wide = TempPath("wide.jpg");
  ASSERT_EQ(testsupport::Run({"convert", "-size", "16x40000", "gradient:red-blue", "-rotate", "90", wide}).exitCode, 0);
  TJPEGImage jpeg;
  jpeg.LoadFromFile(wide);
  EXPECT_EQ(jpeg.Bitmap().Width(), 40000);
  EXPECT_LE(MaxDifference(jpeg.Bitmap(), Djpeg(wide)), 0);
  std::string header = HeaderOnly(testsupport::ReadFile(wide));
  SetFrameSize(header, 65501, 16);
  TReadOnlyMemoryStream stream(header.data(), int64_t(header.size()));
  try {
    jpeg.LoadFromStream(stream);
    ADD_FAILURE() << "a frame of 65501 x 16 was taken";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "JPEG error: Maximum supported image dimension is 65500 pixels");
  }
}

TEST(Jpeg, EightBitOutputQuantisesToAPalette) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("djpeg");
  std::string file = MakeJpeg("q.jpg", {"-quality", "85"});
  TJPEGImage jpeg;
  jpeg.SetPixelFormat(jf8Bit);
  jpeg.LoadFromFile(file);
  TBitmap& b = jpeg.Bitmap();
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_LE(b.Palette().Count(), 256);
  EXPECT_GT(b.Palette().Count(), 16);
  EXPECT_LT(MeanDifference(b, Djpeg(file)), 8.0);
}

TEST(Jpeg, CompressedPicturesAreValidAndCloseToTheBitmap) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("jpeginfo");
  KIVO2_REQUIRE_TOOL("djpeg");
  // A smooth picture read by ImageMagick from a PNG, so the source is independent of libjpeg.
  std::string png = TempPath("src.png");
  ASSERT_EQ(testsupport::Run({"convert", "-size", "97x61", "gradient:red-blue", png}).exitCode, 0);
  auto source = testsupport::ImageMagickRaster(png);
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(source.width, source.height);
  for (int y = 0; y < source.height; ++y)
    for (int x = 0; x < source.width; ++x) bitmap.Canvas().SetPixels(x, y, RasterColor(source, x, y));

  for (TPixelFormat f : {pf24bit, pf32bit, pf8bit, pf16bit}) {
    TBitmap converted;
    converted.Assign(&bitmap);
    converted.SetPixelFormat(f);
    for (bool progressive : {false, true}) {
      TJPEGImage jpeg;
      jpeg.Assign(&converted);
      EXPECT_EQ(jpeg.Width(), 97);
      jpeg.SetCompressionQuality(90);
      jpeg.SetProgressiveEncoding(progressive);
      jpeg.Compress();
      std::string out = TempPath("out.jpg");
      jpeg.SaveToFile(out);
      auto info = testsupport::Run({"jpeginfo", "-c", out});
      EXPECT_EQ(info.exitCode, 0) << info.out;
      EXPECT_NE(info.out.find("OK"), std::string::npos) << info.out;
      EXPECT_NE(info.out.find(progressive ? " P " : " N "), std::string::npos) << info.out;
      EXPECT_NE(info.out.find("97 x   61"), std::string::npos) << info.out;
      EXPECT_LT(MeanDifference(converted, Djpeg(out)), 4.0) << "format " << f;
    }
  }
  // Grey compression writes a one-component file.
  TJPEGImage grey;
  grey.Assign(&bitmap);
  grey.SetGrayscale(true);
  std::string out = TempPath("grey.jpg");
  grey.SaveToFile(out);
  EXPECT_EQ(Djpeg(out).channels, 1);
  // Quality changes the size of the result.
  TJPEGImage low, high;
  low.Assign(&bitmap);
  high.Assign(&bitmap);
  low.SetCompressionQuality(10);
  high.SetCompressionQuality(95);
  TMemoryStream a, b;
  low.SaveToStream(a);
  high.SaveToStream(b);
  EXPECT_LT(a.Size(), b.Size());
}

TEST(Jpeg, AnUnchangedPictureSavesItsOriginalBytes) {
  KIVO2_REQUIRE_TOOL("convert");
  std::string file = MakeJpeg("orig.jpg", {"-quality", "77"});
  TJPEGImage jpeg;
  jpeg.LoadFromFile(file);
  jpeg.SetScale(jsQuarter);
  jpeg.Bitmap();  // decoding does not count as a change
  jpeg.SetCompressionQuality(20);
  std::string out = TempPath("copy.jpg");
  jpeg.SaveToFile(out);
  EXPECT_EQ(testsupport::ReadFile(out), testsupport::ReadFile(file));
  // Drawing on the bitmap does.
  jpeg.Bitmap().Canvas().FillRect(Rect(0, 0, 10, 10));
  jpeg.SaveToFile(out);
  EXPECT_NE(testsupport::ReadFile(out), testsupport::ReadFile(file));
}

TEST(Jpeg, TruncatedAndGarbageInputFailsCleanly) {
  KIVO2_REQUIRE_TOOL("convert");
  for (const std::string& name : {std::string("base.jpg"), std::string("prog.jpg")}) {
    std::string file =
        MakeJpeg(name, name == "prog.jpg" ? std::vector<std::string>{"-interlace", "JPEG"} : std::vector<std::string>{});
    std::string bytes = testsupport::ReadFile(file);
    for (size_t cut : {size_t(1), size_t(2), size_t(20), size_t(200), bytes.size() / 3, bytes.size() / 2,
                       bytes.size() - 2}) {
      std::string part = bytes.substr(0, cut);
      TReadOnlyMemoryStream stream(part.data(), int64_t(part.size()));
      TJPEGImage jpeg;
      try {
        jpeg.LoadFromStream(stream);
        TBitmap& b = jpeg.Bitmap();
        EXPECT_EQ(b.Width(), 301) << name << " cut at " << cut;
      } catch (const EInvalidGraphic& e) {
        EXPECT_FALSE(e.Message().empty());
      }
    }
    // Flipped bytes in the stream: a picture or EInvalidGraphic, never a crash.
    for (size_t at = 2; at < bytes.size(); at += bytes.size() / 40 + 1) {
      std::string damaged = bytes;
      damaged[at] = char(damaged[at] ^ 0x5A);
      TReadOnlyMemoryStream stream(damaged.data(), int64_t(damaged.size()));
      TJPEGImage jpeg;
      try {
        jpeg.LoadFromStream(stream);
        jpeg.Bitmap();
      } catch (const EInvalidGraphic&) {
      }
    }
  }
  std::string garbage = "\xFF\xD8\xFF\xE0 this is not a picture at all, only words that go on for a while.";
  TReadOnlyMemoryStream g(garbage.data(), int64_t(garbage.size()));
  TJPEGImage jpeg;
  EXPECT_THROW(jpeg.LoadFromStream(g), EInvalidGraphic);
  EXPECT_TRUE(jpeg.Empty());
  TReadOnlyMemoryStream empty("", 0);
  EXPECT_THROW(jpeg.LoadFromStream(empty), EInvalidGraphic);
}

TEST(Jpeg, PictureObjectOpensJpegFilesByExtension) {
  KIVO2_REQUIRE_TOOL("convert");
  std::string file = MakeJpeg("pic.jpg", {"-quality", "85"});
  std::string upper = TempPath("PIC.JPEG");
  testsupport::WriteFile(upper, testsupport::ReadFile(file));
  TPicture picture;
  picture.LoadFromFile(upper);
  auto* jpeg = dynamic_cast<TJPEGImage*>(picture.Graphic());
  ASSERT_NE(jpeg, nullptr);
  EXPECT_EQ(picture.Width(), 301);
  // Drawn on a bitmap's canvas it lands at its own size.
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(400, 300);
  target.Canvas().Draw(10, 20, *jpeg);
  EXPECT_EQ(target.PixelColor(10, 20), jpeg->Bitmap().PixelColor(0, 0));
  EXPECT_EQ(target.PixelColor(310, 222), jpeg->Bitmap().PixelColor(300, 202));
  EXPECT_EQ(target.PixelColor(311, 223), clBlack);
}
