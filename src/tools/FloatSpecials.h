#pragma once
// Not-a-number helpers for the real-valued colour conversions.
#include <cstdint>
#include <cstring>

// True for a double whose exponent bits are all ones and whose mantissa is not zero
// (infinities and ordinary numbers give false).
inline bool IsNaN(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return (bits & 0x7FF0000000000000ull) == 0x7FF0000000000000ull && (bits & 0x000FFFFFFFFFFFFFull) != 0;
}

// The not-a-number value with every bit but the sign set.
inline double NaN() {
  const uint64_t bits = 0x7FFFFFFFFFFFFFFFull;
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}
