// Resampling: exact cases worked out from the filter definitions, edge handling of
// small sources, and every filter compared with ImageMagick's resize of the same
// picture with the filter of the same definition.
//
// Geometry: our passes map the first and last pixels of source and target onto each
// other (scale (n-1)/(m-1)); ImageMagick maps pixel centres (scale n/m, offset a half
// pixel). The two agree exactly when the scale is 3 or 1/3, so the strict comparisons
// use such sizes (cropping ImageMagick's result by one pixel where its grid is one
// larger); at other sizes the pictures are shifted against each other by up to about
// a pixel and only a looser agreement is expected.

#include <cmath>
#include <cstdio>
#include <cstring>

#include "TestSupport.h"
#include "formats/Resample.h"

namespace {

const char* const kImageMagickFilter[ResamplingFilterCount] = {"Box",    "Triangle", "Hermite", "Quadratic",
                                                              "Spline", "Lanczos",  "Mitchell"};
const char* const kName[ResamplingFilterCount] = {"Box",    "Triangle", "Hermite", "Bell",
                                                  "Spline", "Lanczos3", "Mitchell"};

void MakeBitmap(TBitmap& bmp, int w, int h) {
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(w, h);
}

// A small picture with detail for the cases that need no oracle: a fixed pattern of
// gradients and noise.
void FillPattern(TBitmap& bmp, int w, int h) {
  MakeBitmap(bmp, w, h);
  uint32_t seed = 99;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) {
        seed = seed * 1103515245u + 12345u;
        bmp.ScanLine(y)[x * 3 + c] = uint8_t(x * 5 + y * 3 * c + ((seed >> 16) & 31));
      }
}

// Makes a photo-like picture with ImageMagick (plasma at a quarter of the size,
// enlarged, with fine noise and a few hard-edged shapes; the same on every run) as a
// PPM file, and loads it into a 24-bit bitmap.
void MakePicture(int w, int h, const std::string& path, TBitmap& bmp) {
  const std::string draw = "rectangle " + std::to_string(w / 15) + "," + std::to_string(h / 13) + " " +
                           std::to_string(w * 3 / 20) + "," + std::to_string(h * 7 / 40) + " circle " +
                           std::to_string(w * 5 / 6) + "," + std::to_string(h / 4) + " " +
                           std::to_string(w * 53 / 60) + "," + std::to_string(h * 3 / 10);
  const auto res = testsupport::Run({"convert", "-seed", "7", "-size", std::to_string(w / 4) + "x" + std::to_string(h / 4),
                                     "plasma:fractal", "-filter", "Triangle", "-resize",
                                     std::to_string(w) + "x" + std::to_string(h) + "!", "-seed", "7", "-attenuate",
                                     "0.4", "+noise", "Gaussian", "-fill", "#10f020", "-draw", draw, "-depth", "8",
                                     "ppm:" + path});
  ASSERT_EQ(res.exitCode, 0) << res.err;
  const testsupport::Raster r = testsupport::ParsePnm(testsupport::ReadFile(path));
  ASSERT_EQ(r.width, w);
  MakeBitmap(bmp, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) bmp.ScanLine(y)[x * 3 + 2 - c] = uint8_t(r.at(x, y, c));
}

struct Agreement {
  int maxDiff = 0;
  double psnr = 0;
};

// Our target against ImageMagick's raster (offset into it by ox, oy), leaving out a
// margin at each border.
Agreement Compare(const TBitmap& ours, const testsupport::Raster& ref, int ox, int oy, int margin) {
  Agreement a;
  double se = 0;
  long n = 0;
  for (int y = margin; y < ours.Height() - margin; ++y) {
    const uint8_t* row = ours.ScanLine(y);
    for (int x = margin; x < ours.Width() - margin; ++x)
      for (int c = 0; c < 3; ++c) {
        const int d = std::abs(int(row[x * 3 + 2 - c]) - int(ref.at(x + ox, y + oy, c)));
        a.maxDiff = std::max(a.maxDiff, d);
        se += double(d) * d;
        ++n;
      }
  }
  const double mse = n ? se / double(n) : 0;
  a.psnr = mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
  return a;
}

// ImageMagick's resize of the picture in ppmPath to w x h with the filter.
testsupport::Raster ImageMagickResize(const std::string& ppmPath, int filter, int w, int h) {
  return testsupport::ImageMagickRaster(ppmPath, {"-filter", kImageMagickFilter[filter], "-resize",
                                                  std::to_string(w) + "x" + std::to_string(h) + "!", "-depth", "8"});
}

// The largest difference expected at matched geometry: a few levels from the 8-bit
// weights. Lanczos3 overshoots at hard edges, where the result depends on which pass
// clamps first (ours clamps after the rows, ImageMagick chooses its own order), so a
// few pixels along such edges may differ by more.
int MaxDiffAllowed(int filter) { return filter == sfLanczos3 ? 16 : 4; }

void Report(const char* what, int filter, const Agreement& a) {
  std::printf("[resample] %-22s %-9s max |diff| %3d  PSNR %6.2f dB\n", what, kName[filter], a.maxDiff, a.psnr);
  ::testing::Test::RecordProperty(std::string(what) + "_" + kName[filter] + "_max", a.maxDiff);
  ::testing::Test::RecordProperty(std::string(what) + "_" + kName[filter] + "_psnr", std::to_string(a.psnr));
}

}  // namespace

TEST(Resample, FilterDefinitions) {
  using namespace resampling;
  EXPECT_EQ(Box(0.5f), 1.0f);
  EXPECT_EQ(Box(-0.5f), 0.0f);
  EXPECT_FLOAT_EQ(Triangle(0.25f), 0.75f);
  EXPECT_FLOAT_EQ(Hermite(0.5f), 0.5f);   // (1 - 3) * 0.25 + 1
  EXPECT_FLOAT_EQ(Bell(0.0f), 0.75f);
  EXPECT_FLOAT_EQ(Bell(1.0f), 0.125f);    // 0.5 * 0.25
  EXPECT_FLOAT_EQ(Spline(0.0f), 2.0f / 3.0f);
  EXPECT_FLOAT_EQ(Spline(1.0f), 1.0f / 6.0f);
  EXPECT_FLOAT_EQ(Sinc(0.0f), 1.0f);
  EXPECT_NEAR(Sinc(0.5f), 2.0f / float(M_PI), 1e-6);
  EXPECT_NEAR(Lanczos3(1.0f), 0.0f, 1e-6);
  EXPECT_NEAR(Lanczos3(1.5f), -0.1350949f, 1e-5);  // sinc(1.5) * sinc(0.5)
  EXPECT_EQ(Lanczos3(3.0f), 0.0f);
  EXPECT_FLOAT_EQ(Mitchell(0.0f), 16.0f / 18.0f);
  EXPECT_NEAR(Mitchell(1.0f), 1.0f / 18.0f, 1e-6);
  EXPECT_EQ(Mitchell(2.0f), 0.0f);
}

TEST(Resample, ExactCasesSizesAndPixelFormats) {
  TBitmap source, target;
  FillPattern(source, 100, 100);
  // At scale 1 Box, Triangle and Hermite have one contributor of weight 256.
  for (TResamplingFilter f : {sfBox, sfTriangle, sfHermite}) {
    Stretch(100, 100, f, 0, source, target);
    ASSERT_EQ(target.Width(), 100);
    for (int y = 0; y < 100; ++y)
      ASSERT_EQ(std::memcmp(source.ScanLine(y), target.ScanLine(y), 300), 0) << kName[f] << " row " << y;
  }
  // 2 x 1 to 3 x 1 with Triangle: the middle pixel has two weights of 128.
  MakeBitmap(source, 2, 1);
  const uint8_t two[6] = {10, 20, 30, 200, 101, 0};
  std::memcpy(source.ScanLine(0), two, 6);
  Stretch(3, 1, sfTriangle, 0, source, target);
  const uint8_t expected[9] = {10, 20, 30, 105, 60, 15, 200, 101, 0};
  EXPECT_EQ(std::memcmp(target.ScanLine(0), expected, 9), 0);

  // Negative lobes: results clamp to 0..255 (Lanczos3 overshoots at a hard edge).
  MakeBitmap(source, 8, 1);
  std::memset(source.ScanLine(0), 0, 12);
  std::memset(source.ScanLine(0) + 12, 255, 12);
  Stretch(29, 1, sfLanczos3, 0, source, target);
  bool sawBlack = false, sawWhite = false;
  for (int i = 0; i < 29 * 3; ++i) {
    sawBlack |= target.ScanLine(0)[i] == 0;
    sawWhite |= target.ScanLine(0)[i] == 255;
  }
  EXPECT_TRUE(sawBlack && sawWhite);

  // Size 0 in either direction: an empty target and no error.
  Stretch(0, 10, sfMitchell, 0, source, target);
  EXPECT_TRUE(target.Empty());
  Stretch(10, 0, sfMitchell, 0, source, target);
  EXPECT_TRUE(target.Empty());
  EXPECT_EQ(target.PixelFormat(), pf24bit);

  // A source of another pixel format is converted to 24 bits and stays so.
  TBitmap indexed;
  indexed.SetPixelFormat(pf8bit);
  indexed.SetSize(4, 4);
  Stretch(2, 2, sfBox, 0, indexed, target);
  EXPECT_EQ(indexed.PixelFormat(), pf24bit);
  EXPECT_EQ(target.Width(), 2);

  // Radius 0 means the filter's own radius; an explicit one is used as given.
  FillPattern(source, 60, 40);
  TBitmap byDefault, byThree, byOneAndHalf;
  Stretch(25, 17, sfLanczos3, 0, source, byDefault);
  Stretch(25, 17, sfLanczos3, 3.0f, source, byThree);
  Stretch(25, 17, sfLanczos3, 1.5f, source, byOneAndHalf);
  bool same = true, differs = false;
  for (int y = 0; y < 17; ++y) {
    same &= std::memcmp(byDefault.ScanLine(y), byThree.ScanLine(y), 75) == 0;
    differs |= std::memcmp(byDefault.ScanLine(y), byOneAndHalf.ScanLine(y), 75) != 0;
  }
  EXPECT_TRUE(same);
  EXPECT_TRUE(differs);
  EXPECT_THROW(Stretch(5, 5, TResamplingFilter(7), 0, source, target), EInvalidGraphicOperation);

  // The work buffer between the passes is held to a bitmap's limit: one column of
  // 32768 pixels spread over 32768 columns would need 3 GB.
  TBitmap column;
  MakeBitmap(column, 1, 32768);
  EXPECT_THROW(Stretch(32768, 1, sfBox, 0, column, target), EOutOfResources);

  // Source and target may be one bitmap.
  FillPattern(source, 30, 30);
  Stretch(10, 12, sfSpline, 0, source, source);
  EXPECT_EQ(source.Width(), 10);
  EXPECT_EQ(source.Height(), 12);
}

// Every filter takes a pixel as far away as the filter is clearly above zero: from 51 to
// 11 pixels (target pixel 1 at source 5, one source pixel 0.2 filter units), one white
// pixel at the farthest such place lightens target pixel 1 of an otherwise black row.
TEST(Resample, EveryFilterReachesAsFarAsItIsNotZero) {
  for (int f = 0; f < ResamplingFilterCount; ++f) {
    int far = 1;
    for (int d = 1; d < 40; ++d)
      if (ResamplingFilters[f].Filter(0.2f * float(d)) >= 0.025f) far = d;
    TBitmap source, target;
    MakeBitmap(source, 51, 1);
    std::memset(source.ScanLine(0), 0, 51 * 3);
    std::memset(source.ScanLine(0) + (5 + far) * 3, 255, 3);
    Stretch(11, 1, TResamplingFilter(f), 0, source, target);
    EXPECT_GT(target.ScanLine(0)[3], 0) << kName[f] << " at " << far * 0.2 << " filter units";
  }
}

TEST(Resample, ConstantPicturesStayConstantAtEverySizeAndFilter) {
  // Small sources reach past their edges with the wide filters (a 1-pixel source with
  // Lanczos3, shrinking to 1..4 pixels): every contributor must still come from inside
  // the picture, so a constant picture stays constant (and the sanitizers see no
  // read outside the rows).
  const int sizes[][4] = {{1, 1, 7, 5},  {1, 9, 3, 1},   {2, 1, 9, 4},   {5, 3, 1, 1},
                          {9, 9, 4, 2},  {40, 7, 3, 30}, {13, 1, 200, 1}, {300, 2, 2, 2}};
  for (int f = 0; f < ResamplingFilterCount; ++f)
    for (const auto& s : sizes) {
      TBitmap source, target;
      MakeBitmap(source, s[0], s[1]);
      for (int y = 0; y < s[1]; ++y)
        for (int x = 0; x < s[0]; ++x) {
          uint8_t* p = source.ScanLine(y) + x * 3;
          p[0] = 17;
          p[1] = 130;
          p[2] = 250;
        }
      Stretch(uint32_t(s[2]), uint32_t(s[3]), TResamplingFilter(f), 0, source, target);
      ASSERT_EQ(target.Width(), s[2]);
      for (int y = 0; y < s[3]; ++y)
        for (int x = 0; x < s[2]; ++x) {
          const uint8_t* p = target.ScanLine(y) + x * 3;
          ASSERT_TRUE(p[0] == 17 && p[1] == 130 && p[2] == 250)
              << kName[f] << " " << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3] << " at " << x << "," << y;
        }
    }
  // A strong reduction (wider than 256:1) still averages instead of turning black.
  TBitmap wide, small;
  MakeBitmap(wide, 4000, 2);
  std::memset(wide.ScanLine(0), 200, 12000);
  std::memset(wide.ScanLine(1), 200, 12000);
  for (int f = 0; f < ResamplingFilterCount; ++f) {
    Stretch(5, 1, TResamplingFilter(f), 0, wide, small);
    for (int i = 0; i < 15; ++i) ASSERT_EQ(small.ScanLine(0)[i], 200) << kName[f];
  }
}

// One resampling of `picture` against ImageMagick's of the file it came from; ImageMagick
// makes imW x imH and our target lies at (offset, offset) in it.
struct Case {
  const char* what;
  const TBitmap* picture;
  std::string path;
  int w, h, imW, imH, offset, margin;
};

Agreement RunCase(const Case& c, int filter) {
  TBitmap source, target;
  source.Assign(const_cast<TBitmap*>(c.picture));
  Stretch(uint32_t(c.w), uint32_t(c.h), TResamplingFilter(filter), 0, source, target);
  const Agreement a = Compare(target, ImageMagickResize(c.path, filter, c.imW, c.imH), c.offset, c.offset, c.margin);
  Report(c.what, filter, a);
  return a;
}

TEST(Resample, AgreesWithImageMagickWhereTheGeometriesMatch) {
  KIVO2_REQUIRE_TOOL("convert");
  // Down by 3 (1498 -> 500) and up by 3 (200 -> 598): ImageMagick's grid is one pixel
  // larger on each side of the source (down) or target (up).
  TBitmap picture, small;
  const std::string big = testsupport::TempPath("big.ppm"), smallPath = testsupport::TempPath("small.ppm");
  ASSERT_NO_FATAL_FAILURE(MakePicture(1500, 1002, big, picture));
  ASSERT_NO_FATAL_FAILURE(MakePicture(200, 150, smallPath, small));
  TBitmap inner;
  MakeBitmap(inner, 1498, 1000);
  for (int y = 0; y < 1000; ++y) std::memcpy(inner.ScanLine(y), picture.ScanLine(y + 1) + 3, 1498 * 3);
  const Case cases[] = {{"down 1/3 (matched)", &inner, big, 500, 334, 500, 334, 0, 4},
                        {"up x3 (matched)", &small, smallPath, 598, 448, 600, 450, 1, 4}};
  for (int f = 0; f < ResamplingFilterCount; ++f)
    for (const Case& c : cases) {
      const Agreement a = RunCase(c, f);
      EXPECT_LE(a.maxDiff, MaxDiffAllowed(f)) << c.what << " " << kName[f];
      EXPECT_GE(a.psnr, 45.0) << c.what << " " << kName[f];
    }
}

TEST(Resample, AgreesWithImageMagickAtTheViewerSizes) {
  KIVO2_REQUIRE_TOOL("convert");
  // 6000 x 4000 to 1600 x 1067, and 640 x 480 enlarged 2.5 times. The two mappings
  // differ by up to about a pixel here (see the top of this file), so only gross
  // faults (wrong channels, shifted or flipped pictures) are caught.
  TBitmap picture, small;
  const std::string big = testsupport::TempPath("big.ppm"), smallPath = testsupport::TempPath("small.ppm");
  ASSERT_NO_FATAL_FAILURE(MakePicture(6000, 4000, big, picture));
  ASSERT_NO_FATAL_FAILURE(MakePicture(640, 480, smallPath, small));
  const Case cases[] = {{"down 6000->1600", &picture, big, 1600, 1067, 1600, 1067, 0, 16},
                        {"up x2.5", &small, smallPath, 1600, 1200, 1600, 1200, 0, 16}};
  for (int f = 0; f < ResamplingFilterCount; ++f)
    for (const Case& c : cases) EXPECT_GE(RunCase(c, f).psnr, 30.0) << c.what << " " << kName[f];
}
