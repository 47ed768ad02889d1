// The decoder family's base and the run-length decoders (with the Targa encoder).
// Every copy and fill is bounded by the packed block and by the target.
#include "formats/GraphicCompression.h"

#include <algorithm>
#include <cstring>

void TDecoder::Decode(const void*&, void*&, int32_t, int32_t) { throw EAbstractError("Abstract error"); }

void TDecoder::Encode(const void*, void*, uint32_t&, uint32_t) { throw EAbstractError("Abstract error"); }

namespace {

// A size given as a signed count; negative counts mean nothing.
inline size_t Count(int32_t n) { return n > 0 ? size_t(n) : 0; }

int TargaBytesPerPixel(int32_t depth) {
  switch (depth) {
    case 8: return 1;
    case 15:
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
  }
}

// Writes count copies of a pixel of bpp bytes.
void FillPixels(uint8_t* d, const uint8_t* pixel, int bpp, size_t count) {
  switch (bpp) {
    case 1:
      std::memset(d, pixel[0], count);
      break;
    case 2:
      for (size_t i = 0; i < count; ++i, d += 2) std::memcpy(d, pixel, 2);
      break;
    case 3:
      for (size_t i = 0; i < count; ++i, d += 3) d[0] = pixel[0], d[1] = pixel[1], d[2] = pixel[2];
      break;
    default:
      for (size_t i = 0; i < count; ++i, d += 4) std::memcpy(d, pixel, 4);
      break;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Targa
// ---------------------------------------------------------------------------

TTargaRLEDecoder::TTargaRLEDecoder(int32_t colorDepth) : colorDepth_(colorDepth) {}

void TTargaRLEDecoder::DecodeInit() { pendingCount_ = 0; }

void TTargaRLEDecoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  const int bpp = TargaBytesPerPixel(colorDepth_);
  if (bpp == 0) return;
  const uint8_t* s = static_cast<const uint8_t*>(source);
  const uint8_t* const end = s + Count(packedSize);
  uint8_t* d = static_cast<uint8_t*>(dest);
  size_t pixelsLeft = Count(unpackedSize);
  while (pixelsLeft > 0) {
    if (pendingCount_ == 0) {
      if (s >= end) break;
      const uint8_t p = *s;
      if (p & 0x80) {
        // A run needs its pixel value as well; leave the packet for the next block otherwise.
        if (end - s < 1 + bpp) break;
        std::memcpy(pendingPixel_, s + 1, size_t(bpp));
        s += 1 + bpp;
        pendingRun_ = true;
      } else {
        ++s;
        pendingRun_ = false;
      }
      pendingCount_ = (p & 0x7F) + 1u;
    }
    size_t n = std::min<size_t>(pendingCount_, pixelsLeft);
    if (pendingRun_) {
      FillPixels(d, pendingPixel_, bpp, n);
    } else {
      n = std::min<size_t>(n, size_t(end - s) / size_t(bpp));
      if (n == 0) break;
      std::memcpy(d, s, n * size_t(bpp));
      s += n * size_t(bpp);
    }
    d += n * size_t(bpp);
    pendingCount_ -= uint32_t(n);
    pixelsLeft -= n;
  }
  source = s;
}

uint32_t TTargaRLEDecoder::MaxEncodedSize(uint32_t count) const {
  return count * uint32_t((colorDepth_ + 1) / 8 + 1);
}

void TTargaRLEDecoder::Encode(const void* source, void* dest, uint32_t& bytesStored, uint32_t count) {
  const size_t bpp = size_t((colorDepth_ + 1) / 8);
  bytesStored = 0;
  if (bpp == 0) return;
  const uint8_t* s = static_cast<const uint8_t*>(source);
  uint8_t* d = static_cast<uint8_t*>(dest);
  auto same = [bpp](const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, bpp) == 0; };
  uint32_t left = count;
  while (left > 0) {
    // D: leading pixels that each differ from their next neighbour (the last of the
    // remaining pixels only counts when it is alone). S: equal pixels at the start.
    uint32_t diff = 0;
    if (left == 1) {
      diff = 1;
    } else {
      while (diff < 128 && diff + 1 < left && !same(s + diff * bpp, s + (diff + 1) * bpp)) ++diff;
    }
    uint32_t run = 1;
    while (run < 128 && run < left && same(s, s + run * bpp)) ++run;
    if (diff > 0) {
      *d++ = uint8_t(diff - 1);
      std::memcpy(d, s, diff * bpp);
      d += diff * bpp;
      s += diff * bpp;
      left -= diff;
      bytesStored += uint32_t(diff * bpp + 1);
    } else if (run > 1) {
      *d++ = uint8_t((run - 1) | 0x80);
      std::memcpy(d, s, bpp);
      d += bpp;
      s += run * bpp;
      left -= run;
      bytesStored += uint32_t(bpp + 1);
    }
  }
}

// ---------------------------------------------------------------------------
// PackBits, PCX, SGI, CUT, Paint Shop Pro, RLA
// ---------------------------------------------------------------------------

void TPackbitsRLEDecoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  const uint8_t* s = static_cast<const uint8_t*>(source);
  const uint8_t* const end = s + Count(packedSize);
  uint8_t* d = static_cast<uint8_t*>(dest);
  uint8_t* const dEnd = d + Count(unpackedSize);
  while (d < dEnd && s < end) {
    const int n = int8_t(*s++);
    if (n >= 0) {
      const size_t c = std::min({size_t(n) + 1, size_t(dEnd - d), size_t(end - s)});
      std::memcpy(d, s, c);
      d += c;
      s += c;
    } else if (n != -128) {
      if (s >= end) break;
      const size_t c = std::min(size_t(1 - n), size_t(dEnd - d));
      std::memset(d, *s++, c);
      d += c;
    }
  }
}

void TPCXRLEDecoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  const uint8_t* s = static_cast<const uint8_t*>(source);
  const uint8_t* const end = s + Count(packedSize);
  uint8_t* d = static_cast<uint8_t*>(dest);
  uint8_t* const dEnd = d + Count(unpackedSize);
  while (d < dEnd && s < end) {
    const uint8_t b = *s++;
    if ((b & 0xC0) == 0xC0) {
      if (s >= end) break;
      const size_t c = std::min(size_t(b & 0x3F), size_t(dEnd - d));
      std::memset(d, *s++, c);
      d += c;
    } else {
      *d++ = b;
    }
  }
}

void TSGIRLEDecoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  const uint8_t* s = static_cast<const uint8_t*>(source);
  const uint8_t* const end = s + Count(packedSize);
  uint8_t* d = static_cast<uint8_t*>(dest);
  uint8_t* const dEnd = d + Count(unpackedSize);
  if (sampleSize_ == 16) {
    while (end - s >= 2) {
      const unsigned c = unsigned(s[0]) << 8 | s[1];
      s += 2;
      const size_t count = c & 0x7F;
      if (count == 0) break;
      const size_t room = size_t(dEnd - d) / 2;
      if (c & 0x80) {
        const size_t n = std::min({count, room, size_t(end - s) / 2});
        std::memcpy(d, s, n * 2);
        d += n * 2;
        s += n * 2;
        if (n < count) break;
      } else {
        if (end - s < 2) break;
        const size_t n = std::min(count, room);
        for (size_t i = 0; i < n; ++i, d += 2) d[0] = s[0], d[1] = s[1];
        s += 2;
        if (n < count) break;
      }
    }
  } else {
    while (s < end) {
      const uint8_t c = *s++;
      const size_t count = c & 0x7F;
      if (count == 0) break;
      const size_t room = size_t(dEnd - d);
      if (c & 0x80) {
        const size_t n = std::min({count, room, size_t(end - s)});
        std::memcpy(d, s, n);
        d += n;
        s += n;
        if (n < count) break;
      } else {
        if (s >= end) break;
        const size_t n = std::min(count, room);
        std::memset(d, *s++, n);
        d += n;
        if (n < count) break;
      }
    }
  }
}

void TCUTRLEDecoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  const uint8_t* s = static_cast<const uint8_t*>(source);
  const uint8_t* const end = s + Count(packedSize);
  uint8_t* d = static_cast<uint8_t*>(dest);
  uint8_t* const dEnd = d + Count(unpackedSize);
  s += std::min<size_t>(2, size_t(end - s));  // the row's byte count
  while (s < end) {
    const uint8_t c = *s++;
    if (c == 0) break;
    const size_t count = c & 0x7F;
    const size_t room = size_t(dEnd - d);
    if (c & 0x80) {
      if (s >= end) break;
      const size_t n = std::min(count, room);
      std::memset(d, *s++, n);
      d += n;
    } else {
      const size_t avail = std::min(count, size_t(end - s));
      const size_t n = std::min(avail, room);
      std::memcpy(d, s, n);
      d += n;
      s += avail;
    }
  }
  source = s;
}

void TPSPRLEDecoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  const uint8_t* s = static_cast<const uint8_t*>(source);
  const uint8_t* const end = s + Count(packedSize);
  uint8_t* d = static_cast<uint8_t*>(dest);
  uint8_t* const dEnd = d + Count(unpackedSize);
  while (s < end && d < dEnd) {
    const uint8_t c = *s++;
    if (c < 128) {
      const size_t n = std::min({size_t(c), size_t(end - s), size_t(dEnd - d)});
      std::memcpy(d, s, n);
      d += n;
      s += n;
      if (n < c) break;
    } else {
      if (s >= end) break;
      const size_t n = std::min(size_t(c - 128), size_t(dEnd - d));
      std::memset(d, *s++, n);
      d += n;
    }
  }
}

void TRLADecoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  const uint8_t* s = static_cast<const uint8_t*>(source);
  const uint8_t* const end = s + Count(packedSize);
  uint8_t* d = static_cast<uint8_t*>(dest);
  uint8_t* const dEnd = d + Count(unpackedSize);
  while (s < end && d < dEnd) {
    const int c = int8_t(*s++);
    if (c >= 0) {
      if (s >= end) break;
      const size_t n = std::min(size_t(c) + 1, size_t(dEnd - d));
      std::memset(d, *s++, n);
      d += n;
    } else {
      const size_t n = std::min({size_t(-c), size_t(end - s), size_t(dEnd - d)});
      std::memcpy(d, s, n);
      d += n;
      s += n;
      if (n < size_t(-c)) break;
    }
  }
}
