#pragma once
// Resampling of bitmaps with a choice of reconstruction filters: two separable
// passes (rows, then columns) driven by contributor lists with 8-bit fixed-point
// weights, computed once per target column and once per target row.
#include <cstdint>

#include "platform/graphics/Graphics.h"

// The filter index of Stretch.
enum TResamplingFilter : uint8_t { sfBox, sfTriangle, sfHermite, sfBell, sfSpline, sfLanczos3, sfMitchell };
constexpr int ResamplingFilterCount = 7;

using TFilterFunction = float (*)(float x);

struct TFilterEntry {
  TFilterFunction Filter;
  float DefaultRadius;  // also the filter's support: it is 0 beyond it
};
// Indexed by TResamplingFilter.
extern const TFilterEntry ResamplingFilters[ResamplingFilterCount];

namespace resampling {
float Box(float x);
float Triangle(float x);
float Hermite(float x);
float Bell(float x);
float Spline(float x);
float Sinc(float x);
float Lanczos3(float x);
float Mitchell(float x);
}  // namespace resampling

// Resamples source into target at newWidth x newHeight. A radius of 0 (or below, or
// not a number) takes the filter's default radius. The target is released, made
// pf24bit and sized; the source is converted to pf24bit in place (the caller's bitmap
// changes its pixel format). A size of 0 in either direction leaves the target empty.
// A filter index beyond the table raises EInvalidGraphicOperation.
void Stretch(uint32_t newWidth, uint32_t newHeight, TResamplingFilter filter, float radius, TBitmap& source,
             TBitmap& target);

// The same two passes on raw 24-bit rows (B, G, R; rows stride bytes apart, any sign).
// Stretch calls it; it is public for callers that hold rows of their own.
void StretchRows(const uint8_t* source, intptr_t sourceStride, int sourceWidth, int sourceHeight, uint8_t* target,
                 intptr_t targetStride, int targetWidth, int targetHeight, TResamplingFilter filter, float radius);
