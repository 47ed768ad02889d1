#pragma once
// Helpers for the graphics tests: comparing a bitmap with a raster read by an
// independent tool, and building bitmaps with known pixels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "TestSupport.h"
#include "platform/graphics/Graphics.h"

namespace graphicstest {

// The raster's colour at (x, y) as 0x00BBGGRR (grey rasters give equal channels).
inline TColor RasterColor(const testsupport::Raster& r, int x, int y) {
  auto scale = [&](int v) { return r.maxval == 255 ? v : (v * 255 + r.maxval / 2) / r.maxval; };
  if (r.channels <= 2) {
    int g = scale(r.at(x, y, 0));
    return RGB(uint8_t(g), uint8_t(g), uint8_t(g));
  }
  return RGB(uint8_t(scale(r.at(x, y, 0))), uint8_t(scale(r.at(x, y, 1))), uint8_t(scale(r.at(x, y, 2))));
}

// The largest difference of one channel between the bitmap and the raster; the sizes
// must agree. flipY compares the bitmap's row y with the raster's row h-1-y.
inline int MaxDifference(const TBitmap& bitmap, const testsupport::Raster& r, bool flipY = false) {
  EXPECT_EQ(bitmap.Width(), r.width);
  EXPECT_EQ(bitmap.Height(), r.height);
  if (bitmap.Width() != r.width || bitmap.Height() != r.height) return 999;
  int worst = 0;
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x) {
      TColor a = bitmap.PixelColor(x, flipY ? r.height - 1 - y : y), b = RasterColor(r, x, y);
      worst = std::max({worst, std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                        std::abs(GetBValue(a) - GetBValue(b))});
    }
  return worst;
}

// A palette of n clearly different colours.
inline TPalette TestPalette(int n) {
  TPalette p;
  for (int i = 0; i < n; ++i)
    p.Add(PaletteEntry(uint8_t((i * 37 + 11) & 0xFF), uint8_t((i * 91 + 60) & 0xFF), uint8_t((255 - i * 53) & 0xFF)));
  return p;
}

// A bitmap of the format with a varied pattern (indexed formats use TestPalette).
inline void FillPattern(TBitmap& b, TPixelFormat format, int w, int h) {
  b.SetPixelFormat(format);
  int bits = b.BitsPerPixel();
  if (format == pf1bit || format == pf4bit || format == pf8bit) b.SetPalette(TestPalette(1 << bits));
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.ScanLine(y);
    int bytes = (w * bits + 7) / 8;
    for (int i = 0; i < bytes; ++i) row[i] = uint8_t((i * 29 + y * 71 + 5) ^ (i << 3));
    if (format == pf32bit)
      for (int x = 0; x < w; ++x) row[4 * x + 3] = 255;
    if (format == pf15bit)
      for (int x = 0; x < w; ++x) row[2 * x + 1] &= 0x7F;
    // Clear the pad bits after the last pixel of sub-byte rows.
    if (bits < 8 && (w * bits) % 8) row[bytes - 1] &= uint8_t(0xFF00 >> ((w * bits) % 8));
  }
}

}  // namespace graphicstest
