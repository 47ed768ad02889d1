// The TIFF and GIF LZW decoders. Each call builds its tables on the stack. The
// table never grows past 4096 entries: once it is full, codes are decoded without
// adding entries until a clear code comes (GIF allows the clear code to be
// deferred).
//
// A table entry is not kept as a prefix chain but as the place in the output where
// its string was last written: an entry is the previous code's string followed by
// the first byte of the string after it, and both lie next to each other in the
// output. Decoding a code is then one copy from earlier output. Every entry ends
// before the output position at the time it is made, so a copy never reads what it
// writes, and there is no walk through the table that could loop.
#include <algorithm>
#include <cstring>

#include "formats/GraphicCompression.h"
#include "formats/GraphicStrings.h"

namespace {

constexpr unsigned kTableSize = 4096;

// The roots' strings: root i is the byte i (the low 8 bits of i for larger roots).
struct RootBytes {
  uint8_t v[256];
  constexpr RootBytes() : v() {
    for (int i = 0; i < 256; ++i) v[i] = uint8_t(i);
  }
};
constexpr RootBytes kRoots;

// Copies n bytes, sizeof(Word) <= n <= 2 * sizeof(Word), as two words that may overlap.
template <class Word>
inline void CopyEnds(uint8_t* d, const uint8_t* src, size_t n) {
  Word a, b;
  std::memcpy(&a, src, sizeof a);
  std::memcpy(&b, src + n - sizeof b, sizeof b);
  std::memcpy(d, &a, sizeof a);
  std::memcpy(d + n - sizeof b, &b, sizeof b);
}

// Copies n bytes (1 <= n) from src to d. The source is a root or earlier output that
// ends at or before d, so the two never overlap. The short strings that make up
// most of the data are moved as two loads and stores.
inline void CopyString(uint8_t* d, const uint8_t* src, size_t n) {
  if (n <= 2) {
    const uint8_t a = src[0], b = src[n - 1];
    d[0] = a;
    d[n - 1] = b;
  } else if (n <= 4) {
    CopyEnds<uint16_t>(d, src, n);
  } else if (n <= 8) {
    CopyEnds<uint32_t>(d, src, n);
  } else if (n <= 16) {
    CopyEnds<uint64_t>(d, src, n);
  } else {
    std::memcpy(d, src, n);
  }
}

// Decodes codes from the packed block until it or the target ends, or the end code
// comes. msbFirst: TIFF's bit order and code-width change, else GIF's.
//
// Codes: the end code ends the call; the clear code resets the table; a code above
// the next free code drops the bits gathered so far (the rest of the current input
// byte) and decoding goes on at the next byte; the first code after a reset must be
// a root. Strings that run past the target are cut at its end.
template <bool msbFirst>
void RunLZW(unsigned clear, unsigned startWidth, const void* source, int32_t packedSize, void* dest,
            int32_t unpackedSize) {
  if (packedSize <= 0 || unpackedSize <= 0) return;
  // Each entry: where its string lies (a root's byte, or earlier output) and its length.
  // One slot more than the table: once the table is full, new entries go to the spare
  // slot, where no code can reach them.
  const uint8_t* start[kTableSize + 1];
  uint16_t length[kTableSize + 1];
  for (unsigned i = 0; i < clear; ++i) {
    start[i] = &kRoots.v[i & 0xFF];
    length[i] = 1;
  }
  const unsigned endCode = clear + 1;

  uint8_t* d = static_cast<uint8_t*>(dest);
  const uint8_t* const dEnd = d + unpackedSize;
  // Below this the target has room for the longest string.
  const uint8_t* const dRoomy = unpackedSize > int32_t(kTableSize) ? dEnd - kTableSize : d;
  const uint8_t* s = static_cast<const uint8_t*>(source);
  const uint8_t* const end = s + packedSize;
  // The unread bits: msbFirst, the top `bits` bits of acc; else its low `bits` bits.
  uint64_t acc = 0;
  unsigned bits = 0;
  unsigned width = 0, mask = 0, shift = 0;
  auto setWidth = [&](unsigned w) {
    width = w;
    mask = (1u << w) - 1;
    shift = 64 - w;
  };

  // Takes the next code into `code`; false when the packed data holds no whole code.
  auto next = [&](unsigned& code) {
    if (bits < width) {
      if (end - s >= 4) {
        const uint32_t word = msbFirst ? uint32_t(s[0]) << 24 | uint32_t(s[1]) << 16 | uint32_t(s[2]) << 8 | s[3]
                                       : uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | uint32_t(s[3]) << 24;
        if (msbFirst)
          acc |= uint64_t(word) << (32 - bits);
        else
          acc |= uint64_t(word) << bits;
        s += 4;
        bits += 32;
      } else {
        while (s < end && bits <= 56) {
          if (msbFirst)
            acc |= uint64_t(*s) << (56 - bits);
          else
            acc |= uint64_t(*s) << bits;
          ++s;
          bits += 8;
        }
        if (bits < width) return false;
      }
    }
    if (msbFirst) {
      code = unsigned(acc >> shift);
      acc <<= width;
    } else {
      code = unsigned(acc) & mask;
      acc >>= width;
    }
    bits -= width;
    return true;
  };
  // Drops the unread bits of the current input byte.
  auto dropPartialByte = [&] {
    const unsigned partial = bits & 7;
    if (msbFirst)
      acc <<= partial;
    else
      acc >>= partial;
    bits -= partial;
  };

  enum { kGoOn, kReset, kStop };
  for (;;) {  // after a reset
    setWidth(startWidth);
    unsigned free = clear + 2;
    // The next free code at which the width grows, or at which the table is full.
    unsigned widen = 0;
    auto nextWiden = [&] {
      const unsigned at = width < 12 ? (msbFirst ? mask : mask + 1) : kTableSize;
      widen = at > free ? at : kTableSize;
    };
    nextWiden();

    // The first code: a root, or nothing yet to refer to.
    unsigned code;
    for (;;) {
      if (d >= dEnd || !next(code) || code == endCode) return;
      if (code == clear) continue;
      if (code > free) {
        dropPartialByte();
        continue;
      }
      if (code < clear) break;
    }
    *d = kRoots.v[code & 0xFF];
    // The previous code's string, the first part of the next entry.
    const uint8_t* old = d++;
    size_t oldLength = 1;

    // One code. With roomy set the target has room for any string.
    auto step = [&](auto roomy) {
      if (!next(code)) return kStop;
      const size_t room = roomy ? kTableSize : size_t(dEnd - d);
      size_t n;  // the string's length
      if (code < free && code - clear >= 2) {
        n = length[code];
        CopyString(d, start[code], roomy ? n : std::min(n, room));
      } else if (code == free) {
        // The code being defined: the previous string and its own first byte. The
        // previous string ends right here, so it is copied and its first byte follows.
        n = oldLength + 1;
        CopyString(d, old, roomy ? oldLength : std::min(oldLength, room));
        if (roomy || oldLength < room) d[oldLength] = old[0];
      } else if (code == clear) {
        return kReset;
      } else if (code == endCode) {
        return kStop;
      } else {
        dropPartialByte();
        return kGoOn;
      }
      // The new entry: the previous string and the first byte of this one.
      start[free] = old;
      length[free] = uint16_t(oldLength + 1);
      if (++free == widen) {
        if (free > kTableSize) {  // the table is full: the entry went to the spare slot
          free = kTableSize;
        } else if (free == kTableSize) {
          widen = kTableSize + 1;
        } else {
          setWidth(width + 1);
          nextWiden();
        }
      }
      old = d;
      oldLength = n;
      d += roomy ? n : std::min(n, room);
      return kGoOn;
    };
    int result = kGoOn;
    while (result == kGoOn && d < dRoomy) result = step(std::true_type());
    while (result == kGoOn && d < dEnd) result = step(std::false_type());
    if (result != kReset) return;
  }
}

}  // namespace

void TTIFFLZWDecoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  RunLZW<true>(256, 9, source, packedSize, dest, unpackedSize);
}

void TGIFLZWDecoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  if (initialCodeSize_ > 11) throw EGraphicCompression(GraphicText(gsLZWCodeSize));
  RunLZW<false>(1u << initialCodeSize_, initialCodeSize_ + 1u, source, packedSize, dest, unpackedSize);
}
