#pragma once
// Small pieces the format readers share: integers of either byte order, from memory
// and from a stream (a short stream raises the stream's read error), and a window on
// the file for reading planar pictures row by row.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/graphics/Graphics.h"
#include "platform/rtl/Streams.h"

// A byte buffer whose elements are left uninitialised; large ones come from the system
// in huge pages, as the bitmap's pixels do, which makes their first touch cheap.
using TByteBuffer = std::vector<uint8_t, graphics_detail::DefaultInitAllocator<uint8_t>>;

inline uint16_t BigEndian16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
inline uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline uint16_t LittleEndian16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t LittleEndian32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The next 2 or 4 bytes of the stream as an integer, most (bigEndian) or least
// significant byte first.
inline uint32_t ReadInteger(TStream& stream, int bytes, bool bigEndian) {
  uint8_t b[4];
  stream.ReadBuffer(b, bytes);
  if (bytes == 2) return bigEndian ? BigEndian16(b) : LittleEndian16(b);
  return bigEndian ? BigEndian32(b) : LittleEndian32(b);
}

// The next Size bytes of the stream, parsed by parse (given their address).
template <int Size, class Parse>
auto ReadHeaderBytes(TStream& stream, Parse&& parse) {
  uint8_t bytes[Size];
  stream.ReadBuffer(bytes, Size);
  return parse(bytes);
}

// Whether the stream holds more than headerSize bytes from its position and the first
// headerSize of them pass test (given their address); the position is left where it was.
template <class Test>
bool ProbeHeader(TStream& stream, int headerSize, Test&& test) {
  const int64_t start = stream.Position();
  bool ok = false;
  if (stream.Size() - start > headerSize) {
    std::vector<uint8_t> header(static_cast<size_t>(headerSize));
    ok = stream.Read(header.data(), headerSize) == headerSize && test(header.data());
  }
  stream.Seek(start, soBeginning);
  return ok;
}

// Reading the planes of a planar picture row by row: one window per plane keeps a
// block of the file around the plane's next row, so that planes stored one after the
// other are still read in large sequential pieces instead of a seek and a small read
// per row and plane.
class TFileWindow {
 public:
  static constexpr size_t kBlockSize = size_t(256) << 10;

  // The bytes at position, up to count of them; available receives how many the file
  // has there (fewer near or past its end). A request inside the window is served from
  // it; any other reads a new block at the requested place.
  const uint8_t* Fetch(TStream& stream, int64_t position, size_t count, size_t& available) {
    if (position < offset_ || position + int64_t(count) > offset_ + int64_t(size_)) {
      const int64_t fileLeft = std::max<int64_t>(0, stream.Size() - position);
      const size_t want = size_t(std::min<int64_t>(int64_t(std::max(count, kBlockSize)), fileLeft));
      if (bytes_.size() < want) bytes_.resize(want);
      size_ = 0;
      if (want > 0) {
        stream.Seek(position, soBeginning);
        size_ = size_t(std::max<int64_t>(0, stream.Read(bytes_.data(), int64_t(want))));
      }
      offset_ = position;
    }
    const size_t at = size_t(position - offset_);
    available = std::min(count, size_ - std::min(at, size_));
    return bytes_.data() + std::min(at, size_);
  }

 private:
  int64_t offset_ = -1;
  size_t size_ = 0;
  std::vector<uint8_t> bytes_;
};
