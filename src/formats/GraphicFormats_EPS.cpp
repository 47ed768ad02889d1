// The EPS reader: the TIFF preview behind the 30-byte preview header.
#include "formats/GraphicFormats_EPS.h"

#include <algorithm>

#include "formats/GraphicStrings.h"

namespace {

constexpr int kHeaderSize = 30;

struct EPSHeader {
  bool Signature = false;
  uint32_t TIFFOffset = 0;  // from the start of the file
  uint32_t TIFFLength = 0;
};

EPSHeader ParseHeader(const uint8_t* b) {
  auto u32 = [&](int at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24; };
  EPSHeader h;
  h.Signature = b[0] == 0xC5 && b[1] == 0xD0 && b[2] == 0xD3 && b[3] == 0xC6;
  h.TIFFOffset = u32(20);
  h.TIFFLength = u32(24);
  return h;
}

// A read-only view of part of another stream: position 0 is the part's first byte and
// nothing outside the part can be read.
class TStreamWindow : public TStream {
 public:
  TStreamWindow(TStream& inner, int64_t start, int64_t size) : inner_(inner), start_(start), size_(size) {}
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t n = std::clamp<int64_t>(size_ - position_, 0, std::max<int64_t>(count, 0));
    if (n == 0) return 0;
    inner_.SetPosition(start_ + position_);
    const int64_t got = inner_.Read(buffer, n);
    position_ += std::max<int64_t>(got, 0);
    return got;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int64_t from = origin == soBeginning ? 0 : origin == soCurrent ? position_ : size_;
    position_ = std::max<int64_t>(from + offset, 0);
    return position_;
  }
  int64_t Size() override { return size_; }

 private:
  TStream& inner_;
  int64_t start_, size_;
  int64_t position_ = 0;
};

}  // namespace

bool TEPSGraphic::CanLoad(TStream& stream) {
  const int64_t start = stream.Position();
  bool ok = false;
  uint8_t b[kHeaderSize];
  if (stream.Size() - start > kHeaderSize && stream.Read(b, kHeaderSize) == kHeaderSize) {
    const EPSHeader h = ParseHeader(b);
    ok = h.Signature && h.TIFFOffset > uint32_t(kHeaderSize) && h.TIFFLength > 0;
  }
  stream.SetPosition(start);
  return ok;
}

void TEPSGraphic::LoadFromStream(TStream& stream) {
  const int64_t start = stream.Position();
  const int64_t available = stream.Size() - start;
  uint8_t b[kHeaderSize];
  EPSHeader h;
  if (stream.Read(b, kHeaderSize) == kHeaderSize) h = ParseHeader(b);
  // The preview must lie behind the header and start inside the file; a length that
  // runs past the end of the file is cut there.
  if (!h.Signature || h.TIFFLength == 0 || h.TIFFOffset < uint32_t(kHeaderSize) || h.TIFFOffset >= available) {
    ReleaseHandle();
    FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatEPS)});
  }
  TStreamWindow preview(stream, start + h.TIFFOffset, std::min<int64_t>(h.TIFFLength, available - h.TIFFOffset));
  TTIFFGraphic::LoadFromStream(preview);
}
