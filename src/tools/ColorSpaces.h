#pragma once
// Integer colour conversions between a pixel and hue/lightness/saturation,
// hue/saturation/value and cyan/magenta/yellow/black. Hues are 0..360, every other
// component 0..255.
#include "tools/ColorTriples.h"

// Raises EColorError for S = 0 (an integer hue is never undefined).
TRGBTriple HLStoRGBTriple(int h, int l, int s);
// A grey gives H = 0.
void RGBTripleToHLS(TRGBTriple t, int& h, int& l, int& s);
// H = 360 counts as 0; a hue beyond 360 gives black.
TRGBTriple HSVtoRGBTriple(int h, int s, int v);
// H is 0..359; a grey gives H = 0 and S = 0.
void RGBTripleToHSV(TRGBTriple t, int& h, int& s, int& v);
void RGBToCMY(TRGBTriple t, int& c, int& m, int& y);
// C, M and Y after the black part K = min(C, M, Y) is taken out.
void RGBToCMYK(TRGBTriple t, int& c, int& m, int& y, int& k);
