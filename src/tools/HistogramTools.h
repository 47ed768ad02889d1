#pragma once
// The histogram of one colour plane of a 24-bit bitmap and its chart.
//
// Planes: 0 intensity, 1 red, 2 green, 3 blue, 4 HSV hue (0..359 scaled to 0..255),
// 5 HSV saturation, 6 HSV value, 7 HLS hue (0..360 scaled to 0..255), 8 lightness,
// 9 HLS saturation, 10 cyan, 11 magenta, 12 yellow (each after black removal),
// 13 black, 14 intensity again, 15 luminance.
#include <array>
#include <cstdint>

#include "platform/rtl/SysUtils.h"

class TBitmap;
class TCanvas;

KIVO2_EXCEPTION(EHistogramError, Exception)

class THistogram {
 public:
  THistogram() { Clear(); }
  void Clear() { Bins.fill(0); }
  void Increment(uint8_t index) { ++Bins[index]; }
  std::array<int32_t, 256> Bins;
};

// Counts every pixel of a 24-bit bitmap into the bin of its value in the plane; any other
// pixel format raises EHistogramError "GetHistogram:  Bitmap must be 24-bit." and leaves
// the histogram as it was. A plane outside 0..15 counts every pixel in bin 0.
void GetHistogram(const TBitmap& bitmap, int plane, THistogram& histogram);

// Fills the canvas's clip rectangle with the chart background ($F0CAA6); when the clip
// rectangle is 256 pixels wide and some bin is not empty, draws one vertical line per
// bin from the bottom, its height bin * Bottom / largest bin (rounded, halves to even),
// in the plane's colour, and grey ticks every 10 pixels along the bottom.
void DrawHistogramChart(int plane, const THistogram& histogram, TCanvas& canvas);
