// The histogram counts and chart, and the colour conversions behind its planes.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <regex>
#include <sstream>

#include "TestSupport.h"
#include "platform/graphics/Graphics.h"
#include "tools/ColorHLS.h"
#include "tools/ColorSpaces.h"
#include "tools/FloatSpecials.h"
#include "tools/HistogramTools.h"

namespace {

std::unique_ptr<TBitmap> OnePixel(uint8_t r, uint8_t g, uint8_t b) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf24bit);
  bmp->SetSize(1, 1);
  uint8_t* p = bmp->ScanLine(0);
  p[0] = b;
  p[1] = g;
  p[2] = r;
  return bmp;
}

// The one non-empty bin of a one-pixel histogram (-1 when not exactly one pixel was counted).
int BinOf(const TBitmap& bmp, int plane) {
  THistogram h;
  GetHistogram(bmp, plane, h);
  int found = -1, total = 0;
  for (int i = 0; i < 256; ++i) {
    total += h.Bins[size_t(i)];
    if (h.Bins[size_t(i)]) found = i;
  }
  return total == 1 ? found : -1;
}

std::unique_ptr<TBitmap> ChartBitmap(int width, int height) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf24bit);
  bmp->SetSize(width, height);
  return bmp;
}

constexpr TColor kChartBackground = TColor(0xF0CAA6);

// Rows of column x, from the bottom up, that are not background.
int PaintedHeight(const TBitmap& bmp, int x) {
  int n = 0;
  for (int y = bmp.Height() - 1; y >= 0 && bmp.PixelColor(x, y) != kChartBackground; --y) ++n;
  return n;
}

}  // namespace

TEST(ColorConversions, EdgeValuesOfTheIntegerAndRealConversions) {
  int h, s, v;
  RGBTripleToHSV(RGBtoRGBTriple(255, 0, 0), h, s, v);
  EXPECT_EQ(std::vector<int>({h, s, v}), std::vector<int>({0, 255, 255}));
  RGBTripleToHSV(RGBtoRGBTriple(0, 0, 255), h, s, v);
  EXPECT_EQ(std::vector<int>({h, s, v}), std::vector<int>({240, 255, 255}));
  RGBTripleToHSV(RGBtoRGBTriple(77, 77, 77), h, s, v);
  EXPECT_EQ(std::vector<int>({h, s, v}), std::vector<int>({0, 0, 77}));
  // A hue below zero wraps: red max, blue above green.
  RGBTripleToHSV(RGBtoRGBTriple(200, 10, 100), h, s, v);
  EXPECT_EQ(h, 360 + MulDiv(10 - 100, 60, 190));

  EXPECT_EQ(RGBTripleToColor(HSVtoRGBTriple(120, 255, 255)), clLime);
  EXPECT_EQ(RGBTripleToColor(HSVtoRGBTriple(360, 255, 255)), clRed);
  EXPECT_EQ(RGBTripleToColor(HSVtoRGBTriple(420, 255, 255)), clBlack);
  EXPECT_EQ(RGBTripleToColor(HSVtoRGBTriple(50, 0, 90)), RGB(90, 90, 90));

  int l;
  RGBTripleToHLS(RGBtoRGBTriple(255, 255, 255), h, l, s);
  EXPECT_EQ(std::vector<int>({h, l, s}), std::vector<int>({0, 255, 0}));
  RGBTripleToHLS(RGBtoRGBTriple(255, 0, 0), h, l, s);
  EXPECT_EQ(std::vector<int>({h, l, s}), std::vector<int>({0, 128, 255}));
  EXPECT_EQ(RGBTripleToColor(HLStoRGBTriple(240, 128, 255)), RGB(1, 1, 255));
  EXPECT_THROW(HLStoRGBTriple(10, 100, 0), EColorError);

  double r, g, b;
  HLStoRGB(NaN(), 0.25, 0, r, g, b);
  EXPECT_DOUBLE_EQ(r, 0.25);
  EXPECT_DOUBLE_EQ(b, 0.25);
  try {
    HLStoRGB(10, 0.5, 0, r, g, b);
    ADD_FAILURE() << "no error for a defined hue without saturation";
  } catch (const EColorError& e) {
    EXPECT_EQ(e.Message(), "HLStoRGB:  S = 0 and H has a value");
  }

  int c, m, y, k;
  RGBToCMYK(RGBtoRGBTriple(255, 0, 0), c, m, y, k);
  EXPECT_EQ(std::vector<int>({c, m, y, k}), std::vector<int>({0, 255, 255, 0}));
  RGBToCMYK(RGBtoRGBTriple(0, 0, 0), c, m, y, k);
  EXPECT_EQ(std::vector<int>({c, m, y, k}), std::vector<int>({0, 0, 0, 255}));
  EXPECT_EQ(RGBToY(RGBtoRGBTriple(255, 255, 255)), 255);

  EXPECT_TRUE(IsNaN(NaN()));
  EXPECT_FALSE(IsNaN(std::numeric_limits<double>::infinity()));
  uint64_t quiet = 0x7FF8000000000000ull;
  double q;
  std::memcpy(&q, &quiet, sizeof q);
  EXPECT_TRUE(IsNaN(q));
  EXPECT_FALSE(IsNaN(1e308));
}

TEST(Histogram, OnePixelLandsInTheBinWorkedOutByHand) {
  // Red; white, whose undefined hue counts as 0.
  auto red = OnePixel(255, 0, 0), white = OnePixel(255, 255, 255);
  for (auto [bmp, plane, bin] : {std::tuple{red.get(), 1, 255}, {red.get(), 0, 85}, {red.get(), 4, 0}, {red.get(), 13, 0},
                                 {white.get(), 8, 255}, {white.get(), 9, 0}, {white.get(), 7, 0}, {white.get(), 15, 255}})
    EXPECT_EQ(BinOf(*bmp, plane), bin) << (bmp == red.get() ? "red" : "white") << " plane " << plane;

  // R 10, G 20, B 200: intensity 230 div 3, luminance 9570 shr 8, V 200, S 242,
  // hue 240 - 3 = 237 scaled to 168; C 245 M 235 Y 55 less K 55.
  auto blueish = OnePixel(10, 20, 200);
  const std::map<int, int> expected = {{0, 76},  {1, 10},  {2, 20},  {3, 200}, {4, 168}, {5, 242},
                                       {6, 200}, {10, 190}, {11, 180}, {12, 0}, {13, 55}, {14, 76}, {15, 37}};
  for (auto [plane, bin] : expected) EXPECT_EQ(BinOf(*blueish, plane), bin) << "plane " << plane;
  // HLS: L = (200 + 10) / 2 / 255, S = 190 / 210 -> 231, hue 237 -> 168 of 255.
  EXPECT_EQ(BinOf(*blueish, 8), 105);
  EXPECT_EQ(BinOf(*blueish, 9), 231);
  EXPECT_EQ(BinOf(*blueish, 7), MulDiv(237, 255, 360));
  // A plane outside 0..15 counts the pixel in bin 0.
  EXPECT_EQ(BinOf(*blueish, 16), 0);
}

TEST(Histogram, RefusesBitmapsThatAreNot24Bit) {
  THistogram h;
  h.Bins[7] = 3;
  for (TPixelFormat format : {pf8bit, pf32bit, pfDevice}) {
    TBitmap bmp;
    bmp.SetPixelFormat(format);
    bmp.SetSize(2, 2);
    try {
      GetHistogram(bmp, 0, h);
      ADD_FAILURE() << "no error for format " << int(format);
    } catch (const EHistogramError& e) {
      EXPECT_EQ(e.Message(), "GetHistogram:  Bitmap must be 24-bit.");
    }
    EXPECT_EQ(h.Bins[7], 3) << "the histogram must stay as it was";
  }
}

TEST(Histogram, ChannelCountsAgreeWithImageMagicksHistogram) {
  KIVO2_REQUIRE_TOOL("convert");
  std::string file = testsupport::TempPath("plasma.bmp");
  auto made = testsupport::Run(
      {"convert", "-seed", "7", "-size", "37x23", "plasma:", "-depth", "8", "-type", "TrueColor", "BMP3:" + file});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  auto info = testsupport::Run({"convert", file, "-depth", "8", "-format", "%c", "histogram:info:-"});
  ASSERT_EQ(info.exitCode, 0) << info.err;

  // "   12: (255,  0,  0) #FF0000 red": count and colour of every distinct colour.
  std::array<std::array<int, 256>, 16> want{};
  std::regex line(R"(^\s*(\d+):\s*\(\s*(\d+),\s*(\d+),\s*(\d+))");
  std::istringstream lines(info.out);
  std::string text;
  int total = 0;
  while (std::getline(lines, text)) {
    std::smatch m;
    if (!std::regex_search(text, m, line)) continue;
    int n = std::stoi(m[1]), r = std::stoi(m[2]), g = std::stoi(m[3]), b = std::stoi(m[4]);
    total += n;
    want[0][(r + g + b) / 3] += n;
    want[1][r] += n;
    want[2][g] += n;
    want[3][b] += n;
    want[15][(77 * r + 150 * g + 29 * b) >> 8] += n;
    const int hi = std::max({r, g, b}), lo = std::min({r, g, b});
    want[8][(hi + lo) / 2] += n;    // lightness
    want[13][255 - hi] += n;        // black
    want[6][hi] += n;               // value
  }
  ASSERT_EQ(total, 37 * 23);

  TBitmap bmp;
  bmp.LoadFromFile(file);
  bmp.SetPixelFormat(pf24bit);
  for (int plane : {0, 1, 2, 3, 6, 8, 13, 15}) {
    THistogram h;
    GetHistogram(bmp, plane, h);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(h.Bins[size_t(i)], want[size_t(plane)][size_t(i)]) << "plane " << plane << " bin " << i;
  }
}

TEST(HistogramChart, BarHeightsScaleToTheLargestBinAndTicksOverlayThem) {
  auto chart = ChartBitmap(256, 140);
  TBitmap& bmp = *chart;
  THistogram h;
  h.Bins[0] = 8;   // full height
  h.Bins[1] = 1;   // 17.5 rounds to 18 (halves to even)
  h.Bins[3] = 3;   // 52.5 rounds to 52
  h.Bins[100] = 2; // 35, with the 8-pixel tick of x = 100 at its foot
  h.Bins[255] = 4; // 70
  DrawHistogramChart(0, h, bmp.Canvas());

  // x = 20: a small tick on an empty bin; x = 50: a large tick.
  for (auto [x, height] : std::map<int, int>{{0, 140}, {1, 18}, {2, 0}, {3, 52}, {100, 35}, {255, 70}, {20, 4}, {50, 8}})
    EXPECT_EQ(PaintedHeight(bmp, x), height) << "x = " << x;

  EXPECT_EQ(bmp.PixelColor(1, 139), RGB(1, 1, 1));
  EXPECT_EQ(bmp.PixelColor(255, 100), RGB(255, 255, 255));
  EXPECT_EQ(bmp.PixelColor(100, 139), TColor(0x808080));
  EXPECT_EQ(bmp.PixelColor(100, 132), TColor(0x808080));
  EXPECT_EQ(bmp.PixelColor(100, 131), RGB(100, 100, 100));
}

TEST(HistogramChart, PlaneColoursOfTheLines) {
  auto chart = ChartBitmap(256, 20);
  TBitmap& bmp = *chart;
  THistogram h;
  h.Bins.fill(1);
  DrawHistogramChart(13, h, bmp.Canvas());
  EXPECT_EQ(bmp.PixelColor(3, 5), RGB(252, 252, 252));
  DrawHistogramChart(3, h, bmp.Canvas());
  EXPECT_EQ(bmp.PixelColor(203, 5), RGB(0, 0, 203));
  DrawHistogramChart(4, h, bmp.Canvas());
  EXPECT_EQ(bmp.PixelColor(0, 5), clRed);
  EXPECT_EQ(bmp.PixelColor(85, 5), RGBTripleToColor(HSVtoRGBTriple(MulDiv(85, 359, 255), 255, 255)));
  DrawHistogramChart(5, h, bmp.Canvas());
  EXPECT_EQ(bmp.PixelColor(201, 5), clBlack);
}

TEST(HistogramChart, OnlyTheBackgroundForAnEmptyHistogramOrAWrongWidth) {
  THistogram empty;
  auto chart = ChartBitmap(256, 50);
  TBitmap& bmp = *chart;
  DrawHistogramChart(0, empty, bmp.Canvas());
  auto narrowChart = ChartBitmap(200, 50);
  TBitmap& narrow = *narrowChart;
  THistogram full;
  full.Bins.fill(5);
  DrawHistogramChart(0, full, narrow.Canvas());
  for (const TBitmap* b : {&bmp, &narrow})
    for (int y = 0; y < b->Height(); ++y)
      for (int x = 0; x < b->Width(); ++x) ASSERT_EQ(b->PixelColor(x, y), kChartBackground) << x << "," << y;
}

namespace {

// The colours of a row of pixels after ImageMagick's conversion (args), each channel as a
// fraction 0..1, read from the hexadecimal column of its 16-bit text output.
std::vector<std::vector<double>> ImageMagickChannels(const std::vector<std::array<int, 3>>& colours,
                                                     const std::vector<std::string>& args) {
  std::vector<std::string> argv{"convert"};
  for (auto [r, g, b] : colours)
    argv.push_back("xc:rgb(" + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b) + ")");
  argv.push_back("+append");
  argv.insert(argv.end(), args.begin(), args.end());
  argv.insert(argv.end(), {"-depth", "16", "txt:-"});
  auto result = testsupport::Run(argv);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::vector<std::vector<double>> out;
  std::istringstream lines(result.out);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t hash = line.find('#');
    if (line.empty() || line[0] == '#' || hash == std::string::npos) continue;
    std::string hex = line.substr(hash + 1, line.find(' ', hash) - hash - 1);
    std::vector<double> channels;
    for (size_t i = 0; i + 4 <= hex.size(); i += 4) channels.push_back(std::stoi(hex.substr(i, 4), nullptr, 16) / 65535.0);
    out.push_back(channels);
  }
  return out;
}

// Black, white, the primaries and secondaries, greys, and a few colours between.
const std::vector<std::array<int, 3>> kKnownPoints = {
    {0, 0, 0},     {255, 255, 255}, {255, 0, 0},   {0, 255, 0},    {0, 0, 255},   {0, 255, 255},
    {255, 0, 255}, {255, 255, 0},   {64, 64, 64},  {128, 128, 128}, {200, 200, 200}, {10, 20, 200},
    {200, 10, 100}, {255, 128, 0},  {30, 90, 60},  {250, 240, 230}};

int Near(double unit) { return int(std::lround(unit * 255)); }

}  // namespace

TEST(ColorConversions, AgreeWithImageMagicksColourSpacesAtKnownPoints) {
  KIVO2_REQUIRE_TOOL("convert");
  const auto hsb = ImageMagickChannels(kKnownPoints, {"-colorspace", "HSB"});
  const auto hsl = ImageMagickChannels(kKnownPoints, {"-colorspace", "HSL"});
  const auto cmyk = ImageMagickChannels(kKnownPoints, {"-colorspace", "CMYK"});
  const auto luma = ImageMagickChannels(kKnownPoints, {"-grayscale", "Rec601Luma"});
  const auto average = ImageMagickChannels(kKnownPoints, {"-grayscale", "Average"});
  const auto lightness = ImageMagickChannels(kKnownPoints, {"-grayscale", "Lightness"});
  ASSERT_EQ(hsb.size(), kKnownPoints.size());
  ASSERT_EQ(cmyk.size(), kKnownPoints.size());
  auto hueDistance = [](int a, double degrees) {
    const double d = std::fabs(a - degrees);
    return std::min(d, 360 - d);
  };
  for (size_t i = 0; i < kKnownPoints.size(); ++i) {
    const auto [r, g, b] = kKnownPoints[i];
    const TRGBTriple t = RGBtoRGBTriple(uint8_t(r), uint8_t(g), uint8_t(b));
    SCOPED_TRACE("rgb(" + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b) + ")");
    int h, s, v, l;
    RGBTripleToHSV(t, h, s, v);
    const bool grey = r == g && g == b;
    EXPECT_LE(grey ? 0 : hueDistance(h, hsb[i][0] * 360), 1.0);
    EXPECT_NEAR(s, hsb[i][1] * 255, 1.0);
    EXPECT_EQ(v, Near(hsb[i][2]));
    RGBTripleToHLS(t, h, l, s);
    EXPECT_LE(grey ? 0 : hueDistance(h, hsl[i][0] * 360), 1.0);
    EXPECT_NEAR(s, hsl[i][1] * 255, 1.0);
    EXPECT_NEAR(l, hsl[i][2] * 255, 0.51);
    // ImageMagick's cyan, magenta and yellow are scaled up by the black taken out.
    int c, m, y, k;
    RGBToCMYK(t, c, m, y, k);
    EXPECT_EQ(k, Near(cmyk[i][3]));
    EXPECT_NEAR(c, cmyk[i][0] * (255 - k), 1.0);
    EXPECT_NEAR(m, cmyk[i][1] * (255 - k), 1.0);
    EXPECT_NEAR(y, cmyk[i][2] * (255 - k), 1.0);
    RGBToCMY(t, c, m, y);
    EXPECT_EQ(c + m + y, 765 - r - g - b);
    // The luminance's weights are whole 256ths (29 for blue against 29.3) and it is cut
    // down, not rounded: a little more than one level apart at most.
    EXPECT_NEAR(RGBToY(t), luma[i][0] * 255, 1.5);
    EXPECT_NEAR(RGBToIntensity(t), average[i][0] * 255, 1.0);
    EXPECT_NEAR(RGBToLightness(t), lightness[i][0] * 255, 0.51);
    // And back: the hue, saturation and value give the colour again (to rounding).
    if (!grey) {
      RGBTripleToHSV(t, h, s, v);
      const TColor again = RGBTripleToColor(HSVtoRGBTriple(h, s, v));
      EXPECT_NEAR(GetRValue(again), r, 3);
      EXPECT_NEAR(GetGValue(again), g, 3);
      EXPECT_NEAR(GetBValue(again), b, 3);
    }
  }
}
