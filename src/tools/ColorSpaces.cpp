#include "tools/ColorSpaces.h"

#include "platform/rtl/Math.h"
#include "tools/ColorHLS.h"
#include "tools/FloatSpecials.h"

namespace {
uint8_t ByteOf(double unit) { return uint8_t(EnsureRange(int(Round(unit * 255)), 0, 255)); }
}  // namespace

TRGBTriple HLStoRGBTriple(int h, int l, int s) {
  double r, g, b;
  HLStoRGB(h, l / 255.0, s / 255.0, r, g, b);
  return RGBtoRGBTriple(ByteOf(r), ByteOf(g), ByteOf(b));
}

void RGBTripleToHLS(TRGBTriple t, int& h, int& l, int& s) {
  double hr, lr, sr;
  RGBtoHLS(t.rgbtRed / 255.0, t.rgbtGreen / 255.0, t.rgbtBlue / 255.0, hr, lr, sr);
  h = IsNaN(hr) ? 0 : int(Round(hr));
  l = int(Round(255 * lr));
  s = int(Round(255 * sr));
}

TRGBTriple HSVtoRGBTriple(int h, int s, int v) {
  if (s == 0) return RGBtoRGBTriple(uint8_t(v), uint8_t(v), uint8_t(v));
  if (h == 360) h = 0;
  int sector = h / 60;
  int f = h % 60;
  int p = v - (v * s) / 255;
  int q = v - (v * s * f) / 15300;
  int t = v - ((60 - f) * v * s) / 15300;
  auto triple = [](int r, int g, int b) { return RGBtoRGBTriple(uint8_t(r), uint8_t(g), uint8_t(b)); };
  switch (sector) {
    case 0: return triple(v, t, p);
    case 1: return triple(q, v, p);
    case 2: return triple(p, v, t);
    case 3: return triple(p, q, v);
    case 4: return triple(t, p, v);
    case 5: return triple(v, p, q);
    default: return triple(0, 0, 0);
  }
}

void RGBTripleToHSV(TRGBTriple t, int& h, int& s, int& v) {
  int r = t.rgbtRed, g = t.rgbtGreen, b = t.rgbtBlue;
  v = Max(r, Max(g, b));
  int delta = v - Min(r, Min(g, b));
  s = v != 0 ? MulDiv(delta, 255, v) : 0;
  if (s == 0) {
    h = 0;
    return;
  }
  if (r == v)
    h = MulDiv(g - b, 60, delta);
  else if (g == v)
    h = 120 + MulDiv(b - r, 60, delta);
  else
    h = 240 + MulDiv(r - g, 60, delta);
  if (h < 0) h += 360;
}

void RGBToCMY(TRGBTriple t, int& c, int& m, int& y) {
  c = 255 - t.rgbtRed;
  m = 255 - t.rgbtGreen;
  y = 255 - t.rgbtBlue;
}

void RGBToCMYK(TRGBTriple t, int& c, int& m, int& y, int& k) {
  RGBToCMY(t, c, m, y);
  k = Min(c, Min(m, y));
  c -= k;
  m -= k;
  y -= k;
}
