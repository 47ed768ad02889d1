#include "tools/ColorHLS.h"

#include "tools/FloatSpecials.h"

double HLSValue(double hue, double n1, double n2) {
  if (hue >= 360)
    hue -= 360;
  else if (hue < 0)
    hue += 360;
  if (hue < 60) return n2 + (n1 - n2) * hue / 60;
  if (hue < 180) return n1;
  if (hue < 240) return n2 + (n1 - n2) * (240 - hue) / 60;
  return n2;
}

void HLStoRGB(double h, double l, double s, double& r, double& g, double& b) {
  double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
  double m1 = 2 * l - m2;
  if (s != 0) {
    r = HLSValue(h + 120, m2, m1);
    g = HLSValue(h, m2, m1);
    b = HLSValue(h - 120, m2, m1);
    return;
  }
  if (!IsNaN(h)) throw EColorError("HLStoRGB:  S = 0 and H has a value");
  r = g = b = l;
}

void RGBtoHLS(double r, double g, double b, double& h, double& l, double& s) {
  double hi = r > g ? r : g;
  if (b > hi) hi = b;
  double lo = r < g ? r : g;
  if (b < lo) lo = b;
  l = (hi + lo) / 2;
  if (hi == lo) {
    s = 0;
    h = NaN();
    return;
  }
  double delta = hi - lo;
  s = l <= 0.5 ? delta / (hi + lo) : delta / (2 - hi - lo);
  if (r == hi)
    h = (g - b) * 60 / delta;
  else if (g == hi)
    h = (b - r) * 60 / delta + 120;
  else
    h = (r - g) * 60 / delta + 240;
  if (h < 0) h += 360;
}
