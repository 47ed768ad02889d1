#pragma once
// A pixel of a 24-bit bitmap row as three bytes (blue, green, red) and the scalar
// quantities the histogram counts.
#include <cstdint>

#include "platform/rtl/Types.h"

struct TRGBTriple {
  uint8_t rgbtBlue = 0;
  uint8_t rgbtGreen = 0;
  uint8_t rgbtRed = 0;
};
static_assert(sizeof(TRGBTriple) == 3, "one pixel of a 24-bit row");

// The red, green and blue bytes of a colour value as they are (no system colour lookup).
inline TRGBTriple ColorToRGBTriple(TColor color) { return {GetBValue(color), GetGValue(color), GetRValue(color)}; }
inline TRGBTriple RGBtoRGBTriple(uint8_t red, uint8_t green, uint8_t blue) { return {blue, green, red}; }
inline TColor RGBTripleToColor(TRGBTriple t) { return RGB(t.rgbtRed, t.rgbtGreen, t.rgbtBlue); }

// (R + G + B) div 3.
inline int RGBToIntensity(TRGBTriple t) { return (t.rgbtRed + t.rgbtGreen + t.rgbtBlue) / 3; }
// (max + min) div 2 of the three bytes.
inline int RGBToLightness(TRGBTriple t) {
  int hi = t.rgbtRed, lo = t.rgbtRed;
  if (t.rgbtGreen > hi) hi = t.rgbtGreen;
  if (t.rgbtGreen < lo) lo = t.rgbtGreen;
  if (t.rgbtBlue > hi) hi = t.rgbtBlue;
  if (t.rgbtBlue < lo) lo = t.rgbtBlue;
  return (hi + lo) / 2;
}
// Luminance (77 R + 150 G + 29 B) shr 8.
inline int RGBToY(TRGBTriple t) { return (77 * t.rgbtRed + 150 * t.rgbtGreen + 29 * t.rgbtBlue) >> 8; }
