// ThunderScan 4-bit data, the Photo-CD Huffman residuals and the Photo-CD
// two-times upsampling.
#include <algorithm>
#include <cstring>

#include "formats/GraphicCompression.h"
#include "formats/GraphicStrings.h"

// ---------------------------------------------------------------------------
// ThunderScan
// ---------------------------------------------------------------------------

void TThunderDecoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  static const int kDelta2[4] = {0, 1, 0, -1};             // code 2 skips
  static const int kDelta3[8] = {0, 1, 2, 3, 0, -3, -2, -1};  // code 4 skips
  if (width_ == 0 || packedSize <= 0 || unpackedSize <= 0) return;
  const uint8_t* s = static_cast<const uint8_t*>(source);
  const uint8_t* const end = s + packedSize;
  uint8_t* d = static_cast<uint8_t*>(dest);
  uint8_t* const dEnd = d + unpackedSize;
  const size_t rowBytes = (size_t(width_) + 1) / 2;
  // Rows start on a byte boundary; each row starts with the last pixel 0.
  while (d < dEnd && s < end) {
    const size_t room = std::min(rowBytes, size_t(dEnd - d));
    const uint32_t limit = uint32_t(std::min<size_t>(width_, room * 2));
    uint32_t n = 0;
    unsigned last = 0;
    auto put = [&](unsigned v) {
      if (n & 1)
        d[n >> 1] = uint8_t((d[n >> 1] & 0xF0) | v);
      else
        d[n >> 1] = uint8_t(v << 4);
      ++n;
    };
    while (s < end && n < limit) {
      const uint8_t b = *s++;
      switch (b >> 6) {
        case 0: {  // a run of the last pixel
          const uint32_t count = std::min<uint32_t>(b & 0x3F, limit - n);
          for (uint32_t i = 0; i < count; ++i) put(last);
          break;
        }
        case 1:  // three 2-bit deltas
          for (int shift = 4; shift >= 0 && n < limit; shift -= 2) {
            const unsigned code = (b >> shift) & 3;
            if (code == 2) continue;
            last = unsigned(int(last) + kDelta2[code]) & 0xF;
            put(last);
          }
          break;
        case 2:  // two 3-bit deltas
          for (int shift = 3; shift >= 0 && n < limit; shift -= 3) {
            const unsigned code = (b >> shift) & 7;
            if (code == 4) continue;
            last = unsigned(int(last) + kDelta3[code]) & 0xF;
            put(last);
          }
          break;
        default:  // a raw pixel
          last = b & 0xF;
          put(last);
          break;
      }
    }
    d += room;
  }
}

// ---------------------------------------------------------------------------
// Photo-CD Huffman residuals
// ---------------------------------------------------------------------------

namespace {

// The bit window of the Photo-CD decoder: 32 bits with their count, filled from the
// stream through a 2048-byte buffer. Past the end of the stream zero bytes come in,
// and Exhausted() tells when the window holds nothing real any more.
class PCDBits {
 public:
  explicit PCDBits(TStream* stream) : stream_(stream) {}
  uint32_t W = 0;
  void Skip(int n) {
    W = n >= 32 ? 0 : W << n;
    count_ -= n;
    while (count_ <= 24) {
      W |= uint32_t(NextByte()) << (24 - count_);
      count_ += 8;
    }
  }
  bool Exhausted() const { return padding_ > 4; }

 private:
  uint8_t NextByte() {
    if (pos_ == len_) {
      len_ = stream_ ? size_t(std::max<int64_t>(0, stream_->Read(buffer_, sizeof buffer_))) : 0;
      pos_ = 0;
      if (len_ == 0) {
        ++padding_;
        return 0;
      }
    }
    return buffer_[pos_++];
  }
  TStream* stream_;
  uint8_t buffer_[2048];
  size_t pos_ = 0, len_ = 0;
  int count_ = 32;
  int padding_ = 0;
};

struct HuffmanEntry {
  uint32_t code, mask;
  uint8_t length, value;
};

constexpr uint32_t kRowSync = 0xFFFFFE;

}  // namespace

void TPCDDecoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  (void)dest;
  if (!source || packedSize <= 0 || unpackedSize <= 0) return;
  uint8_t* const* planes = static_cast<uint8_t* const*>(source);
  const size_t rowLength = size_t(packedSize);
  const uint32_t rows = uint32_t(unpackedSize);
  const uint32_t chromaRows = (rows + 1) / 2;
  PCDBits bits(stream_);

  // The Huffman tables: one for the smaller resolutions, else luminance and both chrominances.
  const int tableCount = rowLength <= 1536 ? 1 : 3;
  std::vector<HuffmanEntry> tables[3];
  for (int t = 0; t < tableCount; ++t) {
    bits.Skip(8);
    const unsigned entries = (bits.W & 0xFF) + 1;
    tables[t].resize(entries);
    for (HuffmanEntry& e : tables[t]) {
      bits.Skip(8);
      const unsigned length = (bits.W & 0xFF) + 1;
      if (length > 16) return;
      bits.Skip(16);
      e.code = (bits.W & 0xFFFF) << 16;
      bits.Skip(8);
      e.value = uint8_t(bits.W & 0xFF);
      e.length = uint8_t(length);
      e.mask = ~uint32_t(0) << (32 - length);
      e.code &= e.mask;
    }
    if (bits.Exhausted()) return;
  }

  // The first row header.
  bits.Skip(16);
  bits.Skip(16);
  while (((bits.W >> 12) & 0xFFF) != 0xFFF) {
    if (bits.Exhausted()) return;
    bits.Skip(8);
  }
  while ((bits.W >> 8) != kRowSync) {
    if (bits.Exhausted()) return;
    bits.Skip(1);
  }

  for (;;) {
    // A row header: its number and plane.
    bits.Skip(16);
    const uint32_t row = (bits.W >> 9) & 0x1FFF;
    if (row == rows) return;
    bits.Skip(8);
    const unsigned plane = bits.W >> 30;
    bits.Skip(16);
    uint8_t* pixel = nullptr;
    const std::vector<HuffmanEntry>* table = &tables[0];
    if (plane == 0) {
      if (row >= rows) return;
      pixel = planes[0] + row * rowLength;
    } else if (plane == 1) {
      throw EGraphicCompression(GraphicText(gsPCDPlane));
    } else {
      if (row / 2 >= chromaRows) return;
      pixel = planes[plane - 1] + (row / 2) * rowLength;
      table = &tables[std::min(int(plane) - 1, tableCount - 1)];
    }
    size_t column = 0;
    // The row's codes, up to the next row header.
    while ((bits.W >> 8) != kRowSync) {
      if (bits.Exhausted()) return;
      const HuffmanEntry* found = nullptr;
      for (const HuffmanEntry& e : *table) {
        if ((bits.W & e.mask) == e.code) {
          found = &e;
          break;
        }
      }
      if (!found) {
        // No code fits: the rest of this row is lost; go on at the next row header.
        bits.Skip(1);
        continue;
      }
      if (column < rowLength) {
        const int delta = found->value < 128 ? found->value : found->value - 256;
        pixel[column] = uint8_t(std::clamp(int(pixel[column]) + delta, 0, 255));
        ++column;
      }
      bits.Skip(found->length);
    }
  }
}

// ---------------------------------------------------------------------------
// Photo-CD upsampling
// ---------------------------------------------------------------------------

void Upsample(uint32_t width, uint32_t height, uint32_t scanLength, uint8_t* pixels) {
  if (!pixels || width == 0 || height == 0 || scanLength < 2 * size_t(width)) return;
  const size_t w = width, h = height, stride = scanLength;
  // Rows from the last to the first, pixels from right to left: target row 2y never
  // overwrites a source row still to be read, and row 0 is enlarged in place.
  for (size_t y = h; y-- > 0;) {
    const uint8_t* src = pixels + y * stride;
    uint8_t* dst = pixels + 2 * y * stride;
    const uint8_t lastPixel = src[w - 1];
    dst[2 * w - 1] = lastPixel;
    dst[2 * w - 2] = lastPixel;
    for (size_t x = w - 1; x-- > 0;) {
      const uint8_t a = src[x], b = src[x + 1];
      dst[2 * x + 1] = uint8_t((a + b + 1) / 2);
      dst[2 * x] = a;
    }
  }
  // The odd rows between two enlarged rows.
  for (size_t y = 0; y + 1 < h; ++y) {
    const uint8_t* a = pixels + 2 * y * stride;
    const uint8_t* b = a + 2 * stride;
    uint8_t* t = pixels + (2 * y + 1) * stride;
    for (size_t x = 0; x + 1 < w; ++x) {
      t[2 * x] = uint8_t((a[2 * x] + b[2 * x] + 1) / 2);
      t[2 * x + 1] = uint8_t((a[2 * x] + a[2 * x + 2] + b[2 * x] + b[2 * x + 2] + 2) / 4);
    }
    t[2 * w - 2] = uint8_t((a[2 * w - 2] + b[2 * w - 2] + 1) / 2);
    t[2 * w - 1] = uint8_t((a[2 * w - 1] + b[2 * w - 1] + 1) / 2);
  }
  std::memcpy(pixels + (2 * h - 1) * stride, pixels + (2 * h - 2) * stride, 2 * w);
}
