#pragma once
// Helpers of the decoder tests: running a decoder over exactly sized blocks (so that
// AddressSanitizer sees any access outside them) and building bit streams.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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

}  // namespace decodertest
