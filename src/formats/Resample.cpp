// Two-pass resampling with precomputed contributor lists.
//
// Each target position (a column in the first pass, a row in the second) gets one
// list of source positions with 8-bit fixed-point weights (the filter value times
// 256, rounded). Source positions outside the picture are mirrored at its edges and
// then clamped into it, so a source smaller than the filter's reach never reads
// outside the picture. The contributors of one list are kept as a dense run of
// weights over consecutive source positions (a mirrored or clamped position adds its
// weight to the position it lands on): the integer sums are the same, and the inner
// loops become plain multiply-adds over raw rows.
//
// A target sample is sum / total (truncated, clamped to 0..255), where total is the
// sum of the list's weights; an empty list gives black.
#include "formats/Resample.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "formats/GraphicStrings.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Math.h"

namespace resampling {

float Box(float x) { return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f; }

float Triangle(float x) {
  const double a = std::fabs(double(x));
  return a < 1.0 ? float(1.0 - a) : 0.0f;
}

float Hermite(float x) {
  const double a = std::fabs(double(x));
  return a < 1.0 ? float((2.0 * a - 3.0) * a * a + 1.0) : 0.0f;
}

float Bell(float x) {
  const double a = std::fabs(double(x));
  if (a < 0.5) return float(0.75 - double(x) * double(x));
  if (a < 1.5) {
    const double d = double(float(a - 1.5));
    return float(0.5 * d * d);
  }
  return 0.0f;
}

float Spline(float x) {
  const double a = std::fabs(double(x));
  const double t = double(float(double(x) * double(x)));
  if (a < 1.0) return float(0.5 * t * a - t + 2.0 / 3.0);
  if (a < 2.0) {
    const double d = 2.0 - a;
    return float(d * d * d / 6.0);
  }
  return 0.0f;
}

float Sinc(float x) {
  if (x == 0.0f) return 1.0f;
  const double p = double(float(M_PI * double(x)));
  return float(std::sin(p) / p);
}

float Lanczos3(float x) {
  const float a = std::fabs(x);
  if (a < 3.0f) return float(double(Sinc(a)) * double(Sinc(float(double(a) / 3.0))));
  return 0.0f;
}

float Mitchell(float x) {
  const double a = std::fabs(double(x));
  const double t = double(float(double(x) * double(x)));
  if (a < 1.0) return float((7.0 * a * t - 12.0 * t + 16.0 / 3.0) / 6.0);
  if (a < 2.0) return float((-7.0 / 3.0 * a * t + 12.0 * t - 20.0 * a + 32.0 / 3.0) / 6.0);
  return 0.0f;
}

}  // namespace resampling

const TFilterEntry ResamplingFilters[ResamplingFilterCount] = {
    {resampling::Box, 0.5f},      {resampling::Triangle, 1.0f}, {resampling::Hermite, 1.0f},
    {resampling::Bell, 1.5f},     {resampling::Spline, 2.0f},   {resampling::Lanczos3, 3.0f},
    {resampling::Mitchell, 2.0f},
};

namespace {

// Weights of one list below this scale are computed at this scale instead: with a
// stronger reduction the 8-bit weights would all round to 0 and the picture would
// come out black. Dividing by the list's total keeps the result normalised.
constexpr double MinimumWeightScale = 1.0 / 64.0;

// The SIMD paths divide in single precision, which is exact while |sum| < 2^24.
constexpr int64_t ExactFloatLimit = int64_t(1) << 24;

struct ContributorLists {
  int count = 0;
  std::vector<int32_t> start;    // first source position of each list
  std::vector<int32_t> length;   // number of dense weights
  std::vector<size_t> offset;    // into weights32
  std::vector<size_t> offset16;  // into weights16
  std::vector<int32_t> total;    // sum of the list's weights
  std::vector<uint8_t> fast;     // weights fit 16 bits, total > 0 and sums stay exact in floats
  std::vector<int32_t> weights32;
  std::vector<int16_t> weights16;
  int maxLength = 0;
};

// The scale of a pass: the plain ratio when either size is 1, else the ratio that maps
// the first and last pixels of source and target onto each other.
float PassScale(int sourceSize, int targetSize) {
  if (sourceSize == 1 || targetSize == 1) return float(double(targetSize) / double(sourceSize));
  return float(double(targetSize - 1) / double(sourceSize - 1));
}

ContributorLists BuildContributors(int sourceSize, int targetSize, const TFilterEntry& entry, float radius) {
  ContributorLists lists;
  lists.count = targetSize;
  lists.start.resize(size_t(targetSize));
  lists.length.resize(size_t(targetSize));
  lists.offset.resize(size_t(targetSize));
  lists.total.resize(size_t(targetSize));
  lists.fast.resize(size_t(targetSize));

  const float scale = PassScale(sourceSize, targetSize);
  float width, f;
  if (scale < 1.0f) {
    width = float(double(radius) / double(scale));
    f = scale;
  } else {
    width = radius;
    f = 1.0f;
  }
  // The filters are 0 beyond their default radius, so a wider window adds nothing.
  const double reach = std::min(double(width), (double(entry.DefaultRadius) + 1.0) / double(f));
  const double weightScale = std::max(double(f), MinimumWeightScale) * 256.0;

  std::vector<int32_t> dense;
  std::vector<std::pair<int32_t, int32_t>> pairs;  // (source position, weight)
  for (int i = 0; i < targetSize; ++i) {
    const float center = float(double(i) / double(scale));
    const int64_t left = int64_t(std::floor(double(center) - reach));
    const int64_t right = int64_t(std::ceil(double(center) + reach));
    pairs.clear();
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (int64_t j = left; j <= right; ++j) {
      const float x = float((double(center) - double(j)) * double(f));
      const int64_t weight = Round(double(entry.Filter(x)) * weightScale);
      if (weight == 0) continue;
      int64_t n = j < 0 ? -j : (j >= sourceSize ? 2 * int64_t(sourceSize) - 1 - j : j);
      n = std::clamp<int64_t>(n, 0, sourceSize - 1);
      pairs.emplace_back(int32_t(n), int32_t(weight));
      lo = std::min(lo, int32_t(n));
      hi = std::max(hi, int32_t(n));
    }
    lists.offset[size_t(i)] = lists.weights32.size();
    if (pairs.empty()) {
      lists.start[size_t(i)] = 0;
      lists.length[size_t(i)] = 0;
      lists.total[size_t(i)] = 0;
      lists.fast[size_t(i)] = 0;
      continue;
    }
    const int len = hi - lo + 1;
    dense.assign(size_t(len), 0);
    uint32_t total = 0;
    for (const auto& [n, w] : pairs) {
      dense[size_t(n - lo)] = int32_t(uint32_t(dense[size_t(n - lo)]) + uint32_t(w));
      total += uint32_t(w);
    }
    int64_t absSum = 0;
    bool fits16 = true;
    for (int32_t w : dense) {
      absSum += std::abs(int64_t(w));
      fits16 = fits16 && w >= INT16_MIN && w <= INT16_MAX;
    }
    lists.start[size_t(i)] = lo;
    lists.length[size_t(i)] = len;
    lists.total[size_t(i)] = int32_t(total);
    lists.fast[size_t(i)] = fits16 && int32_t(total) > 0 && absSum * 255 < ExactFloatLimit;
    lists.weights32.insert(lists.weights32.end(), dense.begin(), dense.end());
    lists.maxLength = std::max(lists.maxLength, len);
  }
  // The 16-bit copies for the SIMD paths, each list padded with zeros to a multiple of
  // 16 weights (lists that do not fit 16 bits go the exact way and are not read here).
  lists.offset16.resize(size_t(targetSize));
  size_t padded = 0;
  for (int i = 0; i < targetSize; ++i) {
    lists.offset16[size_t(i)] = padded;
    padded += size_t((lists.length[size_t(i)] + 15) & ~15);
  }
  lists.weights16.assign(padded, 0);
  for (int i = 0; i < targetSize; ++i) {
    const int32_t* w = lists.weights32.data() + lists.offset[size_t(i)];
    int16_t* w16 = lists.weights16.data() + lists.offset16[size_t(i)];
    for (int k = 0; k < lists.length[size_t(i)]; ++k) w16[k] = int16_t(std::clamp<int32_t>(w[k], INT16_MIN, INT16_MAX));
  }
  return lists;
}

// The exact result of one channel: sum / total truncated and clamped; with a total of 0
// the sum scaled down by 256 (an empty list gives black, a negative sum 0).
inline uint8_t Finish(int32_t sum, int32_t total) {
  int32_t v;
  if (total != 0) {
    // INT32_MIN / -1 is the one quotient that does not fit.
    v = (total == -1) ? (sum == INT32_MIN ? INT32_MAX : -sum) : sum / total;
  } else {
    v = sum >> 8;
  }
  return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// ---------------------------------------------------------------------------
// First pass: one source row into one row of the work buffer.
// ---------------------------------------------------------------------------

// Splits a B, G, R row into three 16-bit planes (padded behind with zeros).
void SplitRow(const uint8_t* row, int width, int16_t* blue, int16_t* green, int16_t* red) {
  for (int x = 0; x < width; ++x) {
    blue[x] = row[0];
    green[x] = row[1];
    red[x] = row[2];
    row += 3;
  }
}

void HorizontalExact(const ContributorLists& lists, int i, const int16_t* const planes[3], uint8_t* out) {
  const int start = lists.start[size_t(i)], len = lists.length[size_t(i)];
  const int32_t* w = lists.weights32.data() + lists.offset[size_t(i)];
  for (int c = 0; c < 3; ++c) {
    const int16_t* p = planes[c] + start;
    uint32_t sum = 0;
    for (int k = 0; k < len; ++k) sum += uint32_t(int32_t(p[k]) * w[k]);
    out[c] = Finish(int32_t(sum), lists.total[size_t(i)]);
  }
}

#if defined(__SSE2__)
void HorizontalPassSSE2(const ContributorLists& lists, const int16_t* const planes[3], uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  for (int i = 0; i < lists.count; ++i, out += 3) {
    if (!lists.fast[size_t(i)]) {
      HorizontalExact(lists, i, planes, out);
      continue;
    }
    const int start = lists.start[size_t(i)];
    const int len = lists.length[size_t(i)];
    const int16_t* w = lists.weights16.data() + lists.offset16[size_t(i)];
    const int16_t* pb = planes[0] + start;
    const int16_t* pg = planes[1] + start;
    const int16_t* pr = planes[2] + start;
    __m128i sb = zero, sg = zero, sr = zero;
    for (int k = 0; k < len; k += 8) {
      const __m128i wk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + k));
      sb = _mm_add_epi32(sb, _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pb + k)), wk));
      sg = _mm_add_epi32(sg, _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pg + k)), wk));
      sr = _mm_add_epi32(sr, _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pr + k)), wk));
    }
    // Horizontal sums of the three accumulators into (B, G, R, 0).
    const __m128i bg = _mm_add_epi32(_mm_unpacklo_epi32(sb, sg), _mm_unpackhi_epi32(sb, sg));
    const __m128i r0 = _mm_add_epi32(_mm_unpacklo_epi32(sr, zero), _mm_unpackhi_epi32(sr, zero));
    const __m128i sums = _mm_add_epi32(_mm_unpacklo_epi64(bg, r0), _mm_unpackhi_epi64(bg, r0));
    const __m128 q = _mm_div_ps(_mm_cvtepi32_ps(sums), _mm_set1_ps(float(lists.total[size_t(i)])));
    __m128i v = _mm_cvttps_epi32(q);
    v = _mm_packs_epi32(v, v);
    v = _mm_packus_epi16(v, v);
    const uint32_t bgr = uint32_t(_mm_cvtsi128_si32(v));
    out[0] = uint8_t(bgr);
    out[1] = uint8_t(bgr >> 8);
    out[2] = uint8_t(bgr >> 16);
  }
}
#endif

void HorizontalPass(const ContributorLists& lists, const int16_t* const planes[3], uint8_t* out) {
#if defined(__SSE2__)
  HorizontalPassSSE2(lists, planes, out);
#else
  for (int i = 0; i < lists.count; ++i, out += 3) HorizontalExact(lists, i, planes, out);
#endif
}

// ---------------------------------------------------------------------------
// Second pass: one target row from rows of the work buffer.
// ---------------------------------------------------------------------------

void VerticalExact(const uint8_t* const* rows, const int32_t* w, int len, int32_t total, size_t from, size_t to,
                   uint8_t* out) {
  for (size_t x = from; x < to; ++x) {
    uint32_t sum = 0;
    for (int k = 0; k < len; ++k) sum += uint32_t(int32_t(rows[k][x]) * w[k]);
    out[x] = Finish(int32_t(sum), total);
  }
}

#if defined(__SSE2__)
// 16 bytes of the row at a time; contributor rows are taken in pairs so that one
// 16-bit multiply-add handles two of them.
void VerticalRowSSE2(const uint8_t* const* rows, const int16_t* w16, const int32_t* w32, int len, int32_t total,
                     size_t bytes, uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128 divisor = _mm_set1_ps(float(total));
  const int pairs = (len + 1) / 2;
  size_t x = 0;
  for (; x + 16 <= bytes; x += 16) {
    __m128i a0 = zero, a1 = zero, a2 = zero, a3 = zero;
    for (int p = 0; p < pairs; ++p) {
      const int k = 2 * p;
      const __m128i ra = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + x));
      const __m128i rb =
          k + 1 < len ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k + 1] + x)) : zero;
      const __m128i wpair = _mm_set1_epi32(int32_t(uint32_t(uint16_t(w16[k])) | (uint32_t(uint16_t(w16[k + 1])) << 16)));
      const __m128i lo = _mm_unpacklo_epi8(ra, rb);  // a0 b0 a1 b1 ... (bytes)
      const __m128i hi = _mm_unpackhi_epi8(ra, rb);
      a0 = _mm_add_epi32(a0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), wpair));
      a1 = _mm_add_epi32(a1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), wpair));
      a2 = _mm_add_epi32(a2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), wpair));
      a3 = _mm_add_epi32(a3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), wpair));
    }
    const __m128i q0 = _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(a0), divisor));
    const __m128i q1 = _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(a1), divisor));
    const __m128i q2 = _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(a2), divisor));
    const __m128i q3 = _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(a3), divisor));
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(q0, q1), _mm_packs_epi32(q2, q3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), packed);
  }
  // The remaining bytes through the exact path with the same weights.
  if (x < bytes) VerticalExact(rows, w32, len, total, x, bytes, out);
}
#endif

}  // namespace

void StretchRows(const uint8_t* source, intptr_t sourceStride, int sourceWidth, int sourceHeight, uint8_t* target,
                 intptr_t targetStride, int targetWidth, int targetHeight, TResamplingFilter filter, float radius) {
  if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0) return;
  if (int(filter) >= ResamplingFilterCount) throw EInvalidGraphicOperation(GraphicText(gsInvalidFilter));
  const TFilterEntry& entry = ResamplingFilters[filter];
  if (!(radius > 0.0f) || !std::isfinite(radius)) radius = entry.DefaultRadius;

  // First pass: rows, into a work buffer targetWidth wide and sourceHeight high, held
  // to the limit of a bitmap's pixels.
  const size_t workStride = size_t(targetWidth) * 3;
  if (uint64_t(workStride) * uint64_t(sourceHeight) > uint64_t(MaxBitmapBytes))
    throw EOutOfResources(_("Bitmap is too large"));
  std::vector<uint8_t> work(workStride * size_t(sourceHeight));
  {
    const ContributorLists lists = BuildContributors(sourceWidth, targetWidth, entry, radius);
    // Planes padded behind so that the 16-bit loads of the last lists stay inside.
    const size_t planeSize = size_t(sourceWidth) + 32;
    std::vector<int16_t> planeBuffer(planeSize * 3, 0);
    const int16_t* const planes[3] = {planeBuffer.data(), planeBuffer.data() + planeSize,
                                      planeBuffer.data() + 2 * planeSize};
    for (int y = 0; y < sourceHeight; ++y) {
      SplitRow(source + y * sourceStride, sourceWidth, planeBuffer.data(), planeBuffer.data() + planeSize,
               planeBuffer.data() + 2 * planeSize);
      HorizontalPass(lists, planes, work.data() + size_t(y) * workStride);
    }
  }

  // Second pass: columns, from the work buffer into the target, one target row at a time.
  const ContributorLists lists = BuildContributors(sourceHeight, targetHeight, entry, radius);
  std::vector<const uint8_t*> rows(size_t(lists.maxLength) + 2);
  for (int i = 0; i < targetHeight; ++i) {
    uint8_t* out = target + i * targetStride;
    const int len = lists.length[size_t(i)];
    const int start = lists.start[size_t(i)];
    for (int k = 0; k < len; ++k) rows[size_t(k)] = work.data() + size_t(start + k) * workStride;
#if defined(__SSE2__)
    if (lists.fast[size_t(i)]) {
      VerticalRowSSE2(rows.data(), lists.weights16.data() + lists.offset16[size_t(i)],
                      lists.weights32.data() + lists.offset[size_t(i)], len, lists.total[size_t(i)], workStride, out);
      continue;
    }
#endif
    VerticalExact(rows.data(), lists.weights32.data() + lists.offset[size_t(i)], len, lists.total[size_t(i)], 0,
                  workStride, out);
  }
}

void Stretch(uint32_t newWidth, uint32_t newHeight, TResamplingFilter filter, float radius, TBitmap& source,
             TBitmap& target) {
  if (int(filter) >= ResamplingFilterCount) throw EInvalidGraphicOperation(GraphicText(gsInvalidFilter));
  // One bitmap as both source and target: resample from a copy.
  std::unique_ptr<TBitmap> copy;
  TBitmap* from = &source;
  if (&source == &target) {
    copy = std::make_unique<TBitmap>();
    copy->Assign(&source);
    from = copy.get();
  }
  target.ReleaseHandle();
  target.SetPixelFormat(pf24bit);
  target.SetSize(int(std::min<uint32_t>(newWidth, INT_MAX)), int(std::min<uint32_t>(newHeight, INT_MAX)));
  from->SetPixelFormat(pf24bit);
  const int sw = from->Width(), sh = from->Height(), tw = target.Width(), th = target.Height();
  if (sw == 0 || sh == 0 || tw == 0 || th == 0) return;
  StretchRows(from->ScanLine(0), from->RowStride(), sw, sh, target.ScanLine(0), target.RowStride(), tw, th, filter,
              radius);
}
