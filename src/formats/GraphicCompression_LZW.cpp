// The TIFF and GIF LZW decoders. Each call builds its tables on the stack. The
// table never grows past 4096 entries: once it is full, codes are decoded without
// adding entries until a clear code comes (GIF allows the clear code to be
// deferred), so no entry can refer to itself and every prefix walk ends.
#include <algorithm>
#include <cstring>

#include "formats/GraphicCompression.h"
#include "formats/GraphicStrings.h"

namespace {

constexpr unsigned kTableSize = 4096;
constexpr unsigned kNoCode = kTableSize;

// The tables and output state shared by both bit orders.
struct LZWState {
  uint16_t prefix[kTableSize];
  uint8_t suffix[kTableSize];
  uint8_t stack[kTableSize + 1];
  unsigned clear, end, free, width, oldCode;
  uint8_t firstChar = 0;
  uint8_t* d;
  uint8_t* dEnd;

  void Reset(unsigned startWidth) {
    width = startWidth;
    free = clear + 2;
    oldCode = kNoCode;
  }

  // Writes a string held in reverse on the stack, as far as the target has room.
  void Pop(unsigned sp) {
    const size_t n = std::min<size_t>(sp, size_t(dEnd - d));
    for (size_t i = 0; i < n; ++i) *d++ = stack[sp - 1 - i];
  }

  // Decodes one code that is neither the clear nor the end code and lies within the
  // table (code <= free). tiffOrder: the width changes one code early.
  void Step(unsigned code, bool tiffOrder) {
    if (oldCode == kNoCode) {
      if (code >= clear) return;  // nothing can be referred to yet
      firstChar = uint8_t(code);
      oldCode = code;
      if (d < dEnd) *d++ = firstChar;
      return;
    }
    const unsigned inCode = code;
    unsigned sp = 0;
    if (code == free) {
      stack[sp++] = firstChar;
      code = oldCode;
    }
    while (code > clear && sp < kTableSize) {
      stack[sp++] = suffix[code];
      code = prefix[code];
    }
    firstChar = suffix[code];
    stack[sp++] = firstChar;
    if (free < kTableSize) {
      prefix[free] = uint16_t(oldCode);
      suffix[free] = firstChar;
      if (tiffOrder) {
        ++free;
        if (free == (1u << width) - 1 && width < 12) ++width;
      } else {
        if (free == (1u << width) - 1 && width < 12) ++width;
        ++free;
      }
    }
    oldCode = inCode;
    Pop(sp);
  }
};

// Decodes codes from the packed block until it or the target ends, or the end code
// comes. msbFirst: TIFF's bit order and code-width change, else GIF's.
template <bool msbFirst>
void RunLZW(unsigned clear, unsigned startWidth, const void* source, int32_t packedSize, void* dest,
            int32_t unpackedSize) {
  if (packedSize <= 0 || unpackedSize <= 0) return;
  LZWState st;
  st.clear = clear;
  st.end = clear + 1;
  for (unsigned i = 0; i < clear; ++i) {
    st.prefix[i] = uint16_t(kNoCode);
    st.suffix[i] = uint8_t(i);
  }
  st.Reset(startWidth);
  st.d = static_cast<uint8_t*>(dest);
  st.dEnd = st.d + unpackedSize;
  const uint8_t* s = static_cast<const uint8_t*>(source);
  const uint8_t* const end = s + packedSize;
  uint32_t acc = 0;
  unsigned bits = 0;
  while (s < end && st.d < st.dEnd) {
    if (msbFirst)
      acc = (acc << 8) | *s++;
    else
      acc |= uint32_t(*s++) << bits;
    bits += 8;
    while (bits >= st.width) {
      unsigned code;
      if (msbFirst) {
        code = (acc >> (bits - st.width)) & ((1u << st.width) - 1);
      } else {
        code = acc & ((1u << st.width) - 1);
        acc >>= st.width;
      }
      bits -= st.width;
      if (code == st.end) return;
      if (code == st.clear) {
        st.Reset(startWidth);
        continue;
      }
      if (code > st.free) {
        acc = 0;  // drop what was gathered and go on with the next byte
        bits = 0;
        break;
      }
      st.Step(code, msbFirst);
    }
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
