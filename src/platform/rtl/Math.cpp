#include "platform/rtl/Math.h"

#include <chrono>
#include <cmath>
#include <limits>

namespace {
int64_t ClampToInt64(double x) {
  if (std::isnan(x)) return 0;
  // 2^63 is exactly representable; anything at or beyond it does not fit.
  if (x >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
  if (x < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return int64_t(x);
}

int ClampToInt(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return std::numeric_limits<int>::max();
  if (x <= -2147483648.0) return std::numeric_limits<int>::min();
  return int(x);
}

// Halves to even independent of the current floating-point rounding mode.
double RoundHalfEven(double x) {
  double r = std::floor(x);
  double diff = x - r;
  if (diff > 0.5) return r + 1;
  if (diff < 0.5) return r;
  return std::fmod(r, 2.0) == 0 ? r : r + 1;
}
}  // namespace

int64_t Round(double x) { return ClampToInt64(RoundHalfEven(x)); }
int64_t Trunc(double x) { return ClampToInt64(std::trunc(x)); }
double Frac(double x) { return x - std::trunc(x); }
double Int(double x) { return std::trunc(x); }
int Ceil(double x) { return ClampToInt(std::ceil(x)); }
int Floor(double x) { return ClampToInt(std::floor(x)); }

double RoundTo(double value, int digit) {
  if (digit == 0) return RoundHalfEven(value);
  if (digit < 0) {
    double f = IntPower(10.0, -digit);
    return RoundHalfEven(value * f) / f;
  }
  double f = IntPower(10.0, digit);
  return RoundHalfEven(value / f) * f;
}

double SimpleRoundTo(double value, int digit) {
  double f = IntPower(10.0, digit < 0 ? -digit : digit);
  double scaled = digit < 0 ? value * f : value / f;
  double r = scaled < 0 ? -std::floor(-scaled + 0.5) : std::floor(scaled + 0.5);
  return digit < 0 ? r / f : r * f;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  int64_t p = int64_t(a) * int64_t(b);
  int64_t d = c;
  int64_t q = p / d;
  int64_t r = p % d;
  // Round to nearest, halves away from zero.
  if (r != 0) {
    int64_t ar = r < 0 ? -r : r;
    int64_t ad = d < 0 ? -d : d;
    if (2 * ar >= ad) q += ((p < 0) != (d < 0)) ? -1 : 1;
  }
  if (q > std::numeric_limits<int>::max() || q < -int64_t(std::numeric_limits<int>::max())) return -1;
  return int(q);
}

uint32_t RandSeed = 0;

namespace {
uint32_t NextRandom() {
  RandSeed = RandSeed * 0x08088405u + 1u;
  return RandSeed;
}
}  // namespace

int Random(int range) {
  if (range <= 0) return 0;
  return int((uint64_t(NextRandom()) * uint64_t(range)) >> 32);
}

double Random() { return double(NextRandom()) / 4294967296.0; }

void Randomize() {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  RandSeed = uint32_t(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

double IntPower(double base, int exponent) {
  bool negative = exponent < 0;
  uint64_t e = negative ? uint64_t(-int64_t(exponent)) : uint64_t(exponent);
  double result = 1.0;
  while (e) {
    if (e & 1) result *= base;
    base *= base;
    e >>= 1;
  }
  return negative ? 1.0 / result : result;
}

double Power(double base, double exponent) {
  if (exponent == 0) return 1.0;
  if (exponent == std::trunc(exponent) && std::fabs(exponent) <= 0x7FFFFFFF) return IntPower(base, int(exponent));
  return std::pow(base, exponent);
}

double Log10(double x) { return std::log10(x); }
double Log2(double x) { return std::log2(x); }
