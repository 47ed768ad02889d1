// The row converters of the colour manager: bit-depth scaling, byte order, gamma,
// CMYK, CIE L*a*b* and YCbCr to RGB. Each converts Count target pixels, walking the
// 8-pixel mask: a pixel whose mask bit is clear is left unchanged in the target and
// consumes nothing from the source. Decisions on depth, byte order and gamma are
// taken once per row; the pixel loops themselves call nothing indirectly.
#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "formats/GraphicColor.h"

namespace {

inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
inline uint16_t Swap16(uint16_t v) { return uint16_t((v >> 8) | (v << 8)); }
inline uint16_t Widen(uint8_t v) { return uint16_t(v * 257u); }
inline uint8_t Narrow(uint16_t v) { return uint8_t(v / 257u); }  // v * 255 div 65535
inline uint8_t ClampToByte(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

struct IdentityTable {
  uint8_t v[256];
  constexpr IdentityTable() : v() {
    for (int i = 0; i < 256; ++i) v[i] = uint8_t(i);
  }
};
constexpr IdentityTable kIdentity;

// Calls step(convert) once per target pixel; convert tells whether the pixel's mask
// bit is set. The bit run starts at bit 7 and rotates right.
template <class Step>
inline void RowWalk(uint32_t count, uint8_t mask, Step&& step) {
  if (mask == 0xFF) {
    for (uint32_t i = 0; i < count; ++i) step(std::true_type{});
    return;
  }
  uint8_t run = 0x80;
  for (uint32_t i = 0; i < count; ++i) {
    if (mask & run)
      step(std::true_type{});
    else
      step(std::false_type{});
    run = run == 1 ? 0x80 : uint8_t(run >> 1);
  }
}

// Fields of 1..16 bits packed most significant bit first, possibly across bytes.
// Only the bytes the field occupies are touched.
inline uint32_t ReadField(const uint8_t* data, uint64_t bit, unsigned width) {
  const uint8_t* p = data + (bit >> 3);
  const unsigned offset = unsigned(bit & 7);
  const unsigned bytes = (offset + width + 7) / 8;
  uint32_t window = 0;
  for (unsigned i = 0; i < bytes; ++i) window = (window << 8) | p[i];
  return (window >> (bytes * 8 - offset - width)) & ((1u << width) - 1);
}

inline void WriteField(uint8_t* data, uint64_t bit, unsigned width, uint32_t value) {
  uint8_t* p = data + (bit >> 3);
  const unsigned offset = unsigned(bit & 7);
  if (offset + width <= 8) {
    const unsigned shift = 8 - offset - width;
    const uint8_t fieldMask = uint8_t(((1u << width) - 1) << shift);
    p[0] = uint8_t((p[0] & ~fieldMask) | ((value << shift) & fieldMask));
    return;
  }
  // The field runs into the next byte (widths that do not divide 8).
  const unsigned shift = 16 - offset - width;
  const uint16_t fieldMask = uint16_t(((1u << width) - 1) << shift);
  uint16_t window = uint16_t((p[0] << 8) | p[1]);
  window = uint16_t((window & ~fieldMask) | ((value << shift) & fieldMask));
  p[0] = uint8_t(window >> 8);
  p[1] = uint8_t(window);
}

// Source sample pointers of a colour family: interleaved (one pointer, each sample
// of a pixel following the previous one) or planar (one pointer per plane).
struct SamplePointers {
  const uint8_t* p[4] = {nullptr, nullptr, nullptr, nullptr};
  size_t step = 0;  // bytes from one pixel's sample to the next pixel's
  bool valid = false;
};

SamplePointers InterleavedOrPlanar(const void* const* source, size_t sourceCount, bool planar, unsigned colours,
                                   bool alpha, size_t sampleBytes) {
  SamplePointers s;
  const unsigned samples = colours + (alpha ? 1 : 0);
  if (planar) {
    if (sourceCount < samples) return s;
    for (unsigned i = 0; i < samples; ++i) {
      s.p[i] = static_cast<const uint8_t*>(source[i]);
      if (s.p[i] == nullptr) return s;
    }
    s.step = sampleBytes;
  } else {
    const uint8_t* base = static_cast<const uint8_t*>(source[0]);
    for (unsigned i = 0; i < samples; ++i) s.p[i] = base + i * sampleBytes;
    s.step = samples * sampleBytes;
  }
  s.valid = true;
  return s;
}

inline void Advance(SamplePointers& s, unsigned samples) {
  for (unsigned i = 0; i < samples; ++i) s.p[i] += s.step;
}

inline bool Is8or16(unsigned bits) { return bits == 8 || bits == 16; }

// Where a converter writes one target pixel: samples of 1 or 2 bytes, red, green and
// blue in the scheme's order, and a 4th sample (alpha) left as it is.
struct ColourTarget {
  size_t bytes;
  size_t step;
  unsigned red, blue;
  ColourTarget(bool targetBGR, unsigned bits, bool alpha)
      : bytes(bits / 8), step((alpha ? 4 : 3) * (bits / 8)), red(targetBGR ? 2 : 0), blue(targetBGR ? 0 : 2) {}
  void Put(uint8_t* pixel, unsigned position, uint32_t v) const {
    if (bytes == 2)
      Store16(pixel + position * 2, uint16_t(v));
    else
      pixel[position] = uint8_t(v);
  }
  void Put(uint8_t* pixel, uint32_t r, uint32_t g, uint32_t b) const {
    Put(pixel, red, r);
    Put(pixel, 1, g);
    Put(pixel, blue, b);
  }
};

// The sample pointers of a colour family's row: both depths 8 or 16 bits and every
// plane present, else the row is left untouched (valid false).
SamplePointers FamilySources(const void* const* source, size_t sourceCount, unsigned sourceBits,
                             unsigned targetBits, bool planar, unsigned colours) {
  if (!Is8or16(sourceBits) || !Is8or16(targetBits)) return SamplePointers();
  return InterleavedOrPlanar(source, sourceCount, planar, colours, false, sourceBits / 8);
}

// Calls pixel(target, sources) for every selected pixel of a colour family's row.
template <class Pixel>
void ColourRow(SamplePointers s, unsigned samples, const ColourTarget& t, uint8_t* target, uint32_t count,
               uint8_t mask, Pixel&& pixel) {
  RowWalk(count, mask, [&](auto convert) {
    if constexpr (decltype(convert)::value) {
      pixel(target, s);
      Advance(s, samples);
    }
    target += t.step;
  });
}

// The RGB family's pixel loop for one pair of depths (8 or 16 bits per sample).
// red/green/blue name source sample positions; tr/tb the target positions of red and blue.
template <bool Source16, bool Target16>
void RGBLoop(SamplePointers s, unsigned red, unsigned blue, bool sourceAlpha, bool carryAlpha, uint8_t* t,
             size_t targetStep, unsigned tr, unsigned tb, const uint8_t* table, bool swap, uint32_t count,
             uint8_t mask) {
  const unsigned samples = sourceAlpha ? 4 : 3;
  // One sample through a table (gamma for colours, identity for alpha), scaled to the
  // target depth and put into the wanted byte order.
  auto sample = [&](const uint8_t* p, const uint8_t* through) -> uint32_t {
    if constexpr (!Source16) {
      const uint8_t v = through[*p];
      if constexpr (Target16) {
        const uint16_t w = Widen(v);
        return swap ? Swap16(w) : w;
      } else {
        return v;
      }
    } else {
      uint16_t w = Load16(p);
      if (swap) w = Swap16(w);
      if constexpr (Target16)
        return w;
      else
        return through[Narrow(w)];
    }
  };
  auto colour = [&](const uint8_t* p) { return sample(p, table); };
  auto alpha = [&](const uint8_t* p) { return sample(p, kIdentity.v); };
  auto put = [&](uint8_t* at, uint32_t v) {
    if constexpr (Target16)
      Store16(at, uint16_t(v));
    else
      *at = uint8_t(v);
  };
  constexpr size_t tbytes = Target16 ? 2 : 1;
  RowWalk(count, mask, [&](auto convert) {
    if constexpr (decltype(convert)::value) {
      put(t + tr * tbytes, colour(s.p[red]));
      put(t + 1 * tbytes, colour(s.p[1]));
      put(t + tb * tbytes, colour(s.p[blue]));
      if (carryAlpha) put(t + 3 * tbytes, alpha(s.p[3]));
      Advance(s, samples);
    }
    t += targetStep;
  });
}

}  // namespace

// ---------------------------------------------------------------------------
// Indexed family: palette indices and grey levels, one sample per pixel.
// ---------------------------------------------------------------------------

void TColorManager::IndexedToIndexed8(const TRowArgs& args) {
  const unsigned sourceBits = sourceBPS_, targetBits = targetBPS_;
  if (targetBits > 8) return;  // the target fields are packed into bytes
  const uint8_t* s = static_cast<const uint8_t*>(args.Source[0]);
  uint8_t* target = args.Target;
  if (sourceBits == targetBits && args.Mask == 0xFF) {
    std::memcpy(target, s, (size_t(sourceBits) * args.Count + 7) / 8);
    return;
  }
  if (sourceBits == 8 && targetBits == 8) {
    RowWalk(args.Count, args.Mask, [&](auto convert) {
      if constexpr (decltype(convert)::value) *target = *s++;
      ++target;
    });
    return;
  }
  const uint32_t sourceMax = (1u << sourceBits) - 1, targetMax = (1u << targetBits) - 1;
  uint64_t sourceBit = 0, targetBit = 0;
  RowWalk(args.Count, args.Mask, [&](auto convert) {
    if constexpr (decltype(convert)::value) {
      const uint32_t v = ReadField(s, sourceBit, sourceBits) * targetMax / sourceMax;
      sourceBit += sourceBits;
      WriteField(target, targetBit, targetBits, v);
    }
    targetBit += targetBits;
  });
}

void TColorManager::Indexed16To16(const TRowArgs& args) {
  const uint8_t* s = static_cast<const uint8_t*>(args.Source[0]);
  uint8_t* target = args.Target;
  const bool swap = sourceOptions_.Contains(coNeedByteSwap);
  if (args.Mask == 0xFF && !swap) {
    std::memcpy(target, s, size_t(args.Count) * 2);
    return;
  }
  RowWalk(args.Count, args.Mask, [&](auto convert) {
    if constexpr (decltype(convert)::value) {
      const uint16_t v = Load16(s);
      Store16(target, swap ? Swap16(v) : v);
      s += 2;
    }
    target += 2;
  });
}

void TColorManager::Indexed16ToLow(const TRowArgs& args) {
  const unsigned targetBits = targetBPS_;
  if (targetBits > 8) return;
  const uint8_t* s = static_cast<const uint8_t*>(args.Source[0]);
  const bool swap = sourceOptions_.Contains(coNeedByteSwap);
  const uint32_t targetMax = (1u << targetBits) - 1;
  uint64_t targetBit = 0;
  RowWalk(args.Count, args.Mask, [&](auto convert) {
    if constexpr (decltype(convert)::value) {
      uint16_t v = Load16(s);
      if (swap) v = Swap16(v);
      s += 2;
      WriteField(args.Target, targetBit, targetBits, uint32_t(v) * targetMax / 65535);
    }
    targetBit += targetBits;
  });
}

void TColorManager::IndexedLowTo16(const TRowArgs& args) {
  const unsigned sourceBits = sourceBPS_;
  const uint8_t* s = static_cast<const uint8_t*>(args.Source[0]);
  uint8_t* target = args.Target;
  // The option states the wanted byte order of the 16-bit result here.
  const bool swap = sourceOptions_.Contains(coNeedByteSwap);
  const uint32_t sourceMax = (1u << sourceBits) - 1;
  uint64_t sourceBit = 0;
  RowWalk(args.Count, args.Mask, [&](auto convert) {
    if constexpr (decltype(convert)::value) {
      const uint16_t v = uint16_t(ReadField(s, sourceBit, sourceBits) * 65535u / sourceMax);
      sourceBit += sourceBits;
      Store16(target, swap ? Swap16(v) : v);
    }
    target += 2;
  });
}

// Grey (or grey with alpha) to one grey sample per pixel; no gamma here: grey targets
// take their gamma from the palette.
void TColorManager::GrayToGray(const TRowArgs& args) {
  const unsigned sourceBits = sourceBPS_, targetBits = targetBPS_;
  if (!Is8or16(sourceBits) || !Is8or16(targetBits)) return;
  const uint8_t* s = static_cast<const uint8_t*>(args.Source[0]);
  uint8_t* target = args.Target;
  const size_t sourceStep = (sourceOptions_.Contains(coAlpha) ? 2 : 1) * (sourceBits / 8);
  const bool swap = sourceOptions_.Contains(coNeedByteSwap);
  const size_t targetStep = targetBits / 8;
  RowWalk(args.Count, args.Mask, [&](auto convert) {
    if constexpr (decltype(convert)::value) {
      if (sourceBits == 8) {
        if (targetBits == 8)
          *target = *s;
        else
          Store16(target, Widen(*s));
      } else {
        uint16_t v = Load16(s);
        if (swap) v = Swap16(v);
        if (targetBits == 8)
          *target = Narrow(v);
        else
          Store16(target, v);
      }
      s += sourceStep;
    }
    target += targetStep;
  });
}

// ---------------------------------------------------------------------------
// RGB family
// ---------------------------------------------------------------------------

void TColorManager::ConvertRGBFamily(bool sourceBGR, bool targetBGR, const TRowArgs& args) {
  const unsigned sourceBits = sourceBPS_, targetBits = targetBPS_;
  if (!Is8or16(sourceBits) || !Is8or16(targetBits)) return;
  const bool sourceAlpha = sourceOptions_.Contains(coAlpha);
  const bool targetAlpha = targetOptions_.Contains(coAlpha);
  const bool swap = sourceOptions_.Contains(coNeedByteSwap);
  const uint8_t* table = targetOptions_.Contains(coApplyGamma) ? gammaTable_ : kIdentity.v;
  const SamplePointers s =
      InterleavedOrPlanar(args.Source, args.SourceCount, args.SourceCount > 1, 3, sourceAlpha, sourceBits / 8);
  if (!s.valid) return;
  const unsigned red = sourceBGR ? 2 : 0, blue = sourceBGR ? 0 : 2;
  const ColourTarget t(targetBGR, targetBits, targetAlpha);
  const bool carry = sourceAlpha && targetAlpha;
  auto run = [&](auto loop) {
    loop(s, red, blue, sourceAlpha, carry, args.Target, t.step, t.red, t.blue, table, swap, args.Count, args.Mask);
  };
  if (sourceBits == 8 && targetBits == 8 && table == kIdentity.v && args.Mask == 0xFF && !carry) {
    // The common case: bytes moved into the target's order, nothing else to do.
    const uint8_t *r = s.p[red], *g = s.p[1], *b = s.p[blue];
    uint8_t* target = args.Target;
    uint32_t i = 0;
#if defined(__SSE2__)
    // Interleaved three-byte pixels whose first and third bytes change places: five
    // pixels at a time, the outer bytes shifted by two places. The 16th byte stored
    // is the next block's first and is written again by the next block.
    const uint8_t* source = s.p[0];
    const size_t bytes = size_t(args.Count) * 3;
    if (s.step == 3 && t.step == 3 && red != t.red &&
        (target + bytes <= source || source + bytes <= target)) {
      const __m128i first = _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, 0);
      const __m128i middle = _mm_slli_si128(first, 1), last = _mm_slli_si128(first, 2);
      for (; size_t(i) * 3 + 16 <= bytes; i += 5) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + size_t(i) * 3));
        const __m128i swapped = _mm_or_si128(
            _mm_or_si128(_mm_and_si128(_mm_srli_si128(v, 2), first), _mm_and_si128(_mm_slli_si128(v, 2), last)),
            _mm_and_si128(v, middle));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + size_t(i) * 3), swapped);
      }
      r += size_t(i) * 3, g += size_t(i) * 3, b += size_t(i) * 3, target += size_t(i) * 3;
    }
#endif
    for (; i < args.Count; ++i, r += s.step, g += s.step, b += s.step, target += t.step) {
      target[t.red] = *r;
      target[1] = *g;
      target[t.blue] = *b;
    }
  } else if (sourceBits == 8 && targetBits == 8)
    run(RGBLoop<false, false>);
  else if (sourceBits == 8)
    run(RGBLoop<false, true>);
  else if (targetBits == 8)
    run(RGBLoop<true, false>);
  else
    run(RGBLoop<true, true>);
}

void TColorManager::RGBToRGB(const TRowArgs& args) { ConvertRGBFamily(false, false, args); }
void TColorManager::RGBToBGR(const TRowArgs& args) { ConvertRGBFamily(false, true, args); }
void TColorManager::BGRToRGB(const TRowArgs& args) { ConvertRGBFamily(true, false, args); }
void TColorManager::BGRToBGR(const TRowArgs& args) { ConvertRGBFamily(true, true, args); }

// ---------------------------------------------------------------------------
// CMYK family: red from cyan, green from magenta, blue from yellow, each with black.
// ---------------------------------------------------------------------------

void TColorManager::ConvertCMYK(bool targetBGR, const TRowArgs& args) {
  const unsigned sourceBits = sourceBPS_, targetBits = targetBPS_;
  const SamplePointers s =
      FamilySources(args.Source, args.SourceCount, sourceBits, targetBits, args.SourceCount == 4, 4);
  if (!s.valid) return;
  // 16-bit samples stored most significant byte first are brought into machine order.
  const bool swap = sourceOptions_.Contains(coNeedByteSwap);
  const ColourTarget t(targetBGR, targetBits, targetOptions_.Contains(coAlpha));
  auto sample = [&](const uint8_t* p) -> uint32_t {
    if (sourceBits == 8) return *p;
    const uint16_t v = Load16(p);
    return swap ? Swap16(v) : v;
  };
  auto channel = [&](uint32_t x, uint32_t k) -> uint32_t {
    if (sourceBits == 8) {
      const uint8_t v = ClampToByte(255 - int(x - x * k / 255 + k));
      return targetBits == 8 ? v : Widen(v);
    }
    const uint32_t u = std::min<uint32_t>(x - x * k / 65535 + k, 65535);
    return targetBits == 8 ? ClampToByte(int(255 - u * 255 / 65535)) : 65535 - u;
  };
  ColourRow(s, 4, t, args.Target, args.Count, args.Mask, [&](uint8_t* pixel, const SamplePointers& p) {
    const uint32_t k = sample(p.p[3]);
    t.Put(pixel, channel(sample(p.p[0]), k), channel(sample(p.p[1]), k), channel(sample(p.p[2]), k));
  });
}

void TColorManager::CMYKToRGB(const TRowArgs& args) { ConvertCMYK(false, args); }
void TColorManager::CMYKToBGR(const TRowArgs& args) { ConvertCMYK(true, args); }

// ---------------------------------------------------------------------------
// CIE L*a*b* family. L*a*b* is taken relative to the sRGB white (D65), so that a* = b* = 0
// stays neutral grey whatever white the file names; it becomes CIE XYZ, then linear
// sRGB, which the sRGB transfer curve turns into the values a screen shows (without
// the curve every colour would come out far too dark). 16-bit samples are taken as the
// 8-bit ones scaled by 257 (L*) and 256 (a*, b*), so both depths give the same colours.
// ---------------------------------------------------------------------------

namespace {

// The inverse of the CIE lightness function f: t^3 above (6/29)^3, a straight line below.
inline double LabInverse(double f) {
  constexpr double kEdge = 6.0 / 29.0;
  return f > kEdge ? f * f * f : 3.0 * kEdge * kEdge * (f - 4.0 / 29.0);
}

// Linear sRGB (0..1) to an 8-bit value through the sRGB transfer curve.
inline uint8_t EncodeSRGB(double c) {
  if (!(c > 0.0)) return 0;
  if (c >= 1.0) return 255;
  const double v = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
  return uint8_t(std::nearbyint(v * 255.0));
}

}  // namespace

void TColorManager::ConvertLab(bool targetBGR, const TRowArgs& args) {
  const unsigned sourceBits = sourceBPS_, targetBits = targetBPS_;
  const SamplePointers s = FamilySources(args.Source, args.SourceCount, sourceBits, targetBits, args.SourceCount > 1, 3);
  if (!s.valid) return;
  const bool byteRange = sourceOptions_.Contains(coLabByteRange);
  const bool chromaOffset = sourceOptions_.Contains(coLabChromaOffset);
  const bool swap = sourceOptions_.Contains(coNeedByteSwap);
  const ColourTarget t(targetBGR, targetBits, targetOptions_.Contains(coAlpha));

  auto word = [&](const uint8_t* p) -> uint16_t {
    const uint16_t v = Load16(p);
    return swap ? Swap16(v) : v;
  };
  auto lightness = [&](const uint8_t* p) -> double {
    const double l = sourceBits == 8 ? double(*p) : word(p) / 257.0;
    return byteRange ? l / 2.55 : l;
  };
  auto chroma = [&](const uint8_t* p) -> double {
    if (sourceBits == 8) return chromaOffset ? double(*p) - 128.0 : double(int8_t(*p));
    const uint16_t v = word(p);
    return chromaOffset ? (double(v) - 32768.0) / 256.0 : double(int16_t(v)) / 256.0;
  };
  auto toSample = [&](double c) -> uint32_t {
    const uint8_t b = EncodeSRGB(c);
    return t.bytes == 2 ? Widen(b) : b;
  };
  // The D65 white and the XYZ to linear sRGB matrix of IEC 61966-2-1.
  constexpr double kWhiteX = 0.95047, kWhiteZ = 1.08883;
  ColourRow(s, 3, t, args.Target, args.Count, args.Mask, [&](uint8_t* pixel, const SamplePointers& p) {
    const double l = lightness(p.p[0]), a = chroma(p.p[1]), b = chroma(p.p[2]);
    const double fy = (l + 16.0) / 116.0;
    const double x = kWhiteX * LabInverse(fy + a / 500.0), y = LabInverse(fy), z = kWhiteZ * LabInverse(fy - b / 200.0);
    t.Put(pixel, toSample(3.2406 * x - 1.5372 * y - 0.4986 * z), toSample(-0.9689 * x + 1.8758 * y + 0.0415 * z),
          toSample(0.0557 * x - 0.2040 * y + 1.0570 * z));
  });
}

void TColorManager::LabToRGB(const TRowArgs& args) { ConvertLab(false, args); }
void TColorManager::LabToBGR(const TRowArgs& args) { ConvertLab(true, args); }

// ---------------------------------------------------------------------------
// YCC family (YCbCr and Photo YCC; the lookup tables hold the difference).
// ---------------------------------------------------------------------------

void TColorManager::ConvertYCC(bool targetBGR, const TRowArgs& args) {
  const unsigned sourceBits = sourceBPS_, targetBits = targetBPS_;
  const SamplePointers s = FamilySources(args.Source, args.SourceCount, sourceBits, targetBits, args.SourceCount > 1, 3);
  if (!s.valid || crToRedTable_.size() != 256) return;
  const bool swap = sourceOptions_.Contains(coNeedByteSwap);
  const ColourTarget t(targetBGR, targetBits, targetOptions_.Contains(coAlpha));
  auto word = [&](const uint8_t* p) -> uint16_t {
    const uint16_t v = Load16(p);
    return swap ? Swap16(v) : v;
  };

  if (sourceBits == 16 && targetBits == 16) {
    // Full 16-bit arithmetic in floating point. Photo YCC: its own scale and offsets;
    // YCbCr: the manager's coefficients around the centre 128 x 257.
    const bool photo = sourceScheme_ == csPhotoYCC;
    const float kr = yCbCrCoefficients_[0], kg = yCbCrCoefficients_[1], kb = yCbCrCoefficients_[2];
    const float f1 = 2 - 2 * kr, f2 = 2 - 2 * kb;
    const float f3 = kg != 0 ? kr * f1 / kg : 0, f4 = kg != 0 ? kb * f2 / kg : 0;
    auto limit16 = [](float v) -> uint16_t {
      if (!(v > 0.0f)) return 0;
      if (v >= 65535.0f) return 65535;
      return uint16_t(std::nearbyint(v));
    };
    ColourRow(s, 3, t, args.Target, args.Count, args.Mask, [&](uint8_t* pixel, const SamplePointers& p) {
        const float y = word(p.p[0]), cb = word(p.p[1]), cr = word(p.p[2]);
        float red, green, blue;
        if (photo) {
          const float yy = y * 1.3584f, c1 = cb - 40092.0f, c2 = cr - 35209.0f;
          blue = yy + 2.2179f * c1;
          green = yy - 0.9271435f * c2 - 0.4302726f * c1;
          red = yy + 1.8215f * c2;
        } else {
          const float c1 = cb - 32896.0f, c2 = cr - 32896.0f;
          red = y + f1 * c2;
          blue = y + f2 * c1;
          green = y - f3 * c2 - f4 * c1;
        }
        t.Put(pixel, limit16(red), limit16(green), limit16(blue));
    });
    return;
  }

  const int32_t* crToRed = crToRedTable_.data();
  const int32_t* cbToBlue = cbToBlueTable_.data();
  const int32_t* crToGreen = crToGreenTable_.data();
  const int32_t* cbToGreen = cbToGreenTable_.data();
  auto byteSample = [&](const uint8_t* p) -> uint8_t { return sourceBits == 8 ? *p : Narrow(word(p)); };
  auto out = [&](uint8_t v) -> uint32_t { return t.bytes == 2 ? Widen(v) : v; };
  ColourRow(s, 3, t, args.Target, args.Count, args.Mask, [&](uint8_t* pixel, const SamplePointers& p) {
    const int y = byteSample(p.p[0]), cb = byteSample(p.p[1]), cr = byteSample(p.p[2]);
    t.Put(pixel, out(ClampToByte(y + crToRed[cr])), out(ClampToByte(y + cbToGreen[cb] + crToGreen[cr])),
          out(ClampToByte(y + cbToBlue[cb])));
  });
}

void TColorManager::YCCToRGB(const TRowArgs& args) { ConvertYCC(false, args); }
void TColorManager::YCCToBGR(const TRowArgs& args) { ConvertYCC(true, args); }
