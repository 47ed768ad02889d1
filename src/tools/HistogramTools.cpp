#include "tools/HistogramTools.h"

#include "platform/graphics/Graphics.h"
#include "platform/gui/Dialogs.h"
#include "platform/rtl/Math.h"
#include "tools/ColorSpaces.h"

namespace {

// Component Part of the pixel's hue/saturation/value, hue/lightness/saturation or
// cyan/magenta/yellow/black, the hues scaled from degrees to 0..255.
template <int Part>
int HsvPart(TRGBTriple t) {
  int hsv[3];
  RGBTripleToHSV(t, hsv[0], hsv[1], hsv[2]);
  return Part == 0 ? MulDiv(hsv[0], 255, 359) : hsv[Part];
}
template <int Part>
int HlsPart(TRGBTriple t) {
  int hls[3];
  RGBTripleToHLS(t, hls[0], hls[1], hls[2]);
  return Part == 0 ? MulDiv(hls[0], 255, 360) : hls[Part];
}
template <int Part>
int CmykPart(TRGBTriple t) {
  int cmyk[4];
  RGBToCMYK(t, cmyk[0], cmyk[1], cmyk[2], cmyk[3]);
  return cmyk[Part];
}

// The plane's value comes in as a lambda, so each plane's loop is compiled with its
// conversion inlined. Rows are scanned from the last up and each row from its last
// pixel down; the order does not change the counts.
template <class PlaneValue>
void CountPlane(const TBitmap& bitmap, THistogram& histogram, PlaneValue value) {
  for (int row = bitmap.Height() - 1; row >= 0; --row) {
    const uint8_t* line = bitmap.ScanLine(row);
    for (int col = bitmap.Width() - 1; col >= 0; --col) {
      const uint8_t* p = line + 3 * col;
      int v = value(TRGBTriple{p[0], p[1], p[2]});
      if (v < 0 || v > 255) {
        ShowMessage("Histogram index = " + std::to_string(v) + " (i,j) = (" + std::to_string(col) + ", " +
                    std::to_string(row) + ")");
        v = 0;
      }
      histogram.Increment(uint8_t(v));
    }
  }
}

TColor LineColor(int plane, int i) {
  switch (plane) {
    case 1: return RGB(uint8_t(i), 0, 0);
    case 2: return RGB(0, uint8_t(i), 0);
    case 3: return RGB(0, 0, uint8_t(i));
    case 4: return RGBTripleToColor(HSVtoRGBTriple(MulDiv(i, 359, 255), 255, 255));
    case 7: return RGBTripleToColor(HLStoRGBTriple(MulDiv(i, 359, 255), 128, 255));
    case 5:
    case 9: return clBlack;
    case 13: return RGB(uint8_t(255 - i), uint8_t(255 - i), uint8_t(255 - i));
    default: return RGB(uint8_t(i), uint8_t(i), uint8_t(i));
  }
}

}  // namespace

void GetHistogram(const TBitmap& bitmap, int plane, THistogram& histogram) {
  if (bitmap.PixelFormat() != pf24bit) throw EHistogramError("GetHistogram:  Bitmap must be 24-bit.");
  histogram.Clear();
  switch (plane) {
    case 0:
    case 14: CountPlane(bitmap, histogram, [](TRGBTriple t) { return RGBToIntensity(t); }); break;
    case 1: CountPlane(bitmap, histogram, [](TRGBTriple t) { return int(t.rgbtRed); }); break;
    case 2: CountPlane(bitmap, histogram, [](TRGBTriple t) { return int(t.rgbtGreen); }); break;
    case 3: CountPlane(bitmap, histogram, [](TRGBTriple t) { return int(t.rgbtBlue); }); break;
    case 4: CountPlane(bitmap, histogram, [](TRGBTriple t) { return HsvPart<0>(t); }); break;
    case 5: CountPlane(bitmap, histogram, [](TRGBTriple t) { return HsvPart<1>(t); }); break;
    case 6: CountPlane(bitmap, histogram, [](TRGBTriple t) { return HsvPart<2>(t); }); break;
    case 7: CountPlane(bitmap, histogram, [](TRGBTriple t) { return HlsPart<0>(t); }); break;
    case 8: CountPlane(bitmap, histogram, [](TRGBTriple t) { return RGBToLightness(t); }); break;
    case 9: CountPlane(bitmap, histogram, [](TRGBTriple t) { return HlsPart<2>(t); }); break;
    case 10: CountPlane(bitmap, histogram, [](TRGBTriple t) { return CmykPart<0>(t); }); break;
    case 11: CountPlane(bitmap, histogram, [](TRGBTriple t) { return CmykPart<1>(t); }); break;
    case 12: CountPlane(bitmap, histogram, [](TRGBTriple t) { return CmykPart<2>(t); }); break;
    case 13: CountPlane(bitmap, histogram, [](TRGBTriple t) { return CmykPart<3>(t); }); break;
    case 15: CountPlane(bitmap, histogram, [](TRGBTriple t) { return RGBToY(t); }); break;
    default: CountPlane(bitmap, histogram, [](TRGBTriple) { return 0; }); break;
  }
}

void DrawHistogramChart(int plane, const THistogram& histogram, TCanvas& canvas) {
  TRect clip = canvas.ClipRect();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(TColor(0xF0CAA6));
  canvas.FillRect(clip);
  int32_t largest = 0;
  for (int32_t bin : histogram.Bins)
    if (bin > largest) largest = bin;
  if (clip.Right != 256 || largest < 1) return;
  // A bar of height h covers the rows Bottom - h .. Bottom - 1 (the line from the bottom
  // row up by h pixels); each is drawn top-down, the end row excluded.
  const int bottom = clip.Bottom;
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetWidth(1);
  for (int i = 0; i < 256; ++i) {
    int height = int(Round(double(int64_t(histogram.Bins[size_t(i)]) * bottom) / largest));
    if (height <= 0) continue;
    canvas.Pen().SetColor(LineColor(plane, i));
    canvas.MoveTo(i, bottom - height);
    canvas.LineTo(i, bottom);
  }
  // Grey ticks along the bottom: 8 pixels every 50, 4 pixels every 10.
  canvas.Pen().SetColor(TColor(0x808080));
  for (int k = 0; k <= 25; ++k) {
    canvas.MoveTo(10 * k, bottom - (k % 5 == 0 ? 8 : 4));
    canvas.LineTo(10 * k, bottom);
  }
}
