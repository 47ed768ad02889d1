#pragma once
// Helpers of the decoder tests: running a decoder over exactly sized blocks (so that
// AddressSanitizer sees any access outside them), building bit streams, and GIF
// files of hand-assembled LZW data with what ImageMagick decodes from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "formats/GraphicCompression.h"

namespace decodertest {

using Bytes = std::vector<uint8_t>;

struct Decoded {
  Bytes out;
  size_t consumed = 0;  // how far the decoder advanced the source
};

// Runs one Decode over a copy of packed into a zero-filled target of targetBytes;
// unpackedArg is what the decoder is told (bytes or pixels, as it counts).
inline Decoded RunDecoder(TDecoder& decoder, const Bytes& packed, size_t targetBytes, int32_t unpackedArg) {
  // Heap blocks of the exact sizes: a read or write past either is caught.
  std::unique_ptr<uint8_t[]> in(new uint8_t[packed.size() ? packed.size() : 1]);
  if (!packed.empty()) std::memcpy(in.get(), packed.data(), packed.size());
  std::unique_ptr<uint8_t[]> out(new uint8_t[targetBytes ? targetBytes : 1]());
  const void* src = in.get();
  void* dst = out.get();
  decoder.Decode(src, dst, int32_t(packed.size()), unpackedArg);
  Decoded r;
  r.out.assign(out.get(), out.get() + targetBytes);
  r.consumed = size_t(static_cast<const uint8_t*>(src) - in.get());
  return r;
}

// Byte-sized decoders: the target holds unpacked bytes.
inline Bytes RunBytes(TDecoder& decoder, const Bytes& packed, size_t unpacked) {
  return RunDecoder(decoder, packed, unpacked, int32_t(unpacked)).out;
}

inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Packs codes of varying width, least significant bit first (GIF) or most
// significant bit first (TIFF).
class BitWriter {
 public:
  explicit BitWriter(bool msbFirst) : msb_(msbFirst) {}
  void Put(uint32_t code, unsigned width) {
    if (msb_) {
      acc_ = (acc_ << width) | code;
      bits_ += width;
      while (bits_ >= 8) {
        bytes_.push_back(uint8_t(acc_ >> (bits_ - 8)));
        bits_ -= 8;
      }
    } else {
      acc_ |= uint64_t(code) << bits_;
      bits_ += width;
      while (bits_ >= 8) {
        bytes_.push_back(uint8_t(acc_));
        acc_ >>= 8;
        bits_ -= 8;
      }
    }
  }
  Bytes Finish() {
    if (bits_ > 0) bytes_.push_back(msb_ ? uint8_t(acc_ << (8 - bits_)) : uint8_t(acc_));
    bits_ = 0;
    acc_ = 0;
    return bytes_;
  }

 private:
  bool msb_;
  uint64_t acc_ = 0;
  unsigned bits_ = 0;
  Bytes bytes_;
};

// The codes of a GIF stream that holds every pixel as its own root code: each code
// after the first of a table adds an entry, so the writer follows the decoder's
// table growth and code widths.
class GifLiteralWriter {
 public:
  explicit GifLiteralWriter(unsigned codeSize)
      : bits_(false), clear_(1u << codeSize), start_(codeSize + 1), width_(codeSize + 1) {
    Clear();
  }
  void Clear() {
    bits_.Put(clear_, width_);
    width_ = start_;
    free_ = clear_ + 2;
    first_ = true;
  }
  // Writes a code and grows the table as the decoder does; returns the entry added (or -1).
  int Code(unsigned code) {
    bits_.Put(code, width_);
    if (first_) {
      first_ = false;
      return -1;
    }
    if (free_ >= 4096) return -1;
    const int added = int(free_);
    if (free_ == (1u << width_) - 1 && width_ < 12) ++width_;
    ++free_;
    return added;
  }
  unsigned Free() const { return free_; }
  Bytes End() {
    bits_.Put(clear_ + 1, width_);
    return bits_.Finish();
  }

 private:
  BitWriter bits_;
  unsigned clear_, start_, width_, free_ = 0;
  bool first_ = true;
};

// Wraps LZW data into a GIF of one frame with a grey colour table (index i is grey i).
inline std::string GifFile(int w, int h, unsigned codeSize, const Bytes& data) {
  std::string f = "GIF89a";
  auto u16 = [&](int v) { f += char(v & 0xFF), f += char(v >> 8); };
  u16(w), u16(h);
  f += char(0xF7), f += char(0), f += char(0);
  for (int i = 0; i < 256; ++i) f += char(i), f += char(i), f += char(i);
  f += ',';
  u16(0), u16(0), u16(w), u16(h);
  f += char(0);
  f += char(codeSize);
  for (size_t i = 0; i < data.size(); i += 255) {
    const size_t n = std::min<size_t>(255, data.size() - i);
    f += char(n);
    f.append(reinterpret_cast<const char*>(data.data()) + i, n);
  }
  f += char(0);
  f += ';';
  return f;
}

// The grey values ImageMagick decodes from a GIF file.
inline Bytes ImageMagickGrey(const std::string& gif) {
  const std::string path = testsupport::TempFile("lzw.gif", gif);
  testsupport::Raster r = testsupport::ImageMagickRaster(path);
  Bytes out;
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x) out.push_back(uint8_t(r.at(x, y, 0)));
  return out;
}

}  // namespace decodertest
