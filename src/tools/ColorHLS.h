#pragma once
// Real-valued hue, lightness and saturation: hue in degrees 0 <= H < 360 or NaN for
// "undefined" (greys), lightness, saturation and red, green, blue in 0..1.
#include "platform/rtl/SysUtils.h"

KIVO2_EXCEPTION(EColorError, Exception)

// One channel of the HLS to RGB conversion (hue brought into range by one step of 360).
double HLSValue(double hue, double n1, double n2);
// Raises EColorError "HLStoRGB:  S = 0 and H has a value" for a zero saturation with a defined hue.
void HLStoRGB(double h, double l, double s, double& r, double& g, double& b);
// A grey (max = min) gives S = 0 and H = NaN.
void RGBtoHLS(double r, double g, double b, double& h, double& l, double& s);
