// The deflate decoder over zlib's inflater.
#include <zlib.h>

#include "formats/GraphicCompression.h"
#include "formats/GraphicStrings.h"

struct TLZ77Decoder::Stream {
  z_stream z{};
};

TLZ77Decoder::TLZ77Decoder(int32_t flushMode, bool autoReset)
    : stream_(new Stream), result_(Z_OK), flushMode_(flushMode), autoReset_(autoReset) {}

TLZ77Decoder::~TLZ77Decoder() {
  if (initialised_) inflateEnd(&stream_->z);
  delete stream_;
}

void TLZ77Decoder::DecodeInit() {
  if (initialised_) inflateEnd(&stream_->z);
  stream_->z = z_stream{};
  result_ = inflateInit(&stream_->z);
  if (result_ < 0) throw EGraphicCompression(GraphicText(gsLZ77Error));
  initialised_ = true;
}

void TLZ77Decoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  if (!initialised_) return;
  z_stream& z = stream_->z;
  z.next_in = static_cast<Bytef*>(const_cast<void*>(source));
  z.avail_in = packedSize > 0 ? uInt(packedSize) : 0;
  // A new stream per call: the reset's own result decides whether this call decodes.
  if (autoReset_) result_ = inflateReset(&z);
  if (result_ != Z_OK) return;
  z.next_out = static_cast<Bytef*>(dest);
  z.avail_out = unpackedSize > 0 ? uInt(unpackedSize) : 0;
  result_ = inflate(&z, flushMode_);
  // zlib's "no progress possible" only asks for more input or room; it is no error.
  if (result_ == Z_BUF_ERROR) result_ = Z_OK;
  source = z.next_in;
  dest = z.next_out;
}

void TLZ77Decoder::DecodeEnd() {
  if (!initialised_) return;
  initialised_ = false;
  if (inflateEnd(&stream_->z) < 0) throw EGraphicCompression(GraphicText(gsLZ77Error));
}

uint32_t TLZ77Decoder::AvailableInput() const { return stream_->z.avail_in; }

uint32_t TLZ77Decoder::AvailableOutput() const { return stream_->z.avail_out; }
