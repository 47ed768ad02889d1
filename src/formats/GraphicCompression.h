#pragma once
// The decompressors of the format readers: one small class family whose members
// turn a block of packed bytes into unpacked bytes (and, for Targa, back).
//
// Every Decode takes the packed block (source, packedSize bytes) and the target
// (dest, unpackedSize bytes, or pixels where a decoder says so) and stops at
// whichever end it reaches first: no decoder reads or writes outside the two
// blocks it was given, whatever the packed data says. Source and dest are passed
// by reference; a decoder advances them only where its comment says so.
//
// A reader creates the decoder it needs for one picture (or strip sequence),
// calls DecodeInit, Decode once per block (row, strip or plane), DecodeEnd, and
// frees it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

struct TImageProperties;

// Raised by the decoders for data they cannot decode; the readers let it pass.
KIVO2_EXCEPTION(EGraphicCompression, Exception)

// Messages of the decoders that have no entry in the format library's table.
inline constexpr const char* gsLZWCodeSize = "Invalid LZW code size.";
inline constexpr const char* gsPCDPlane = "Photo-CD data refers to an unknown plane.";

class TDecoder : public TObject {
 public:
  // Decompresses from source into dest. The base raises EAbstractError.
  virtual void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize);
  // Ends a sequence of Decode calls.
  virtual void DecodeEnd() {}
  // Starts a sequence of Decode calls.
  virtual void DecodeInit() {}
  // Compresses count units of source into dest; bytesStored receives the bytes
  // written. The base raises EAbstractError; the decoders that cannot encode do nothing.
  virtual void Encode(const void* source, void* dest, uint32_t& bytesStored, uint32_t count);
  virtual void EncodeInit() {}
  virtual void EncodeEnd() {}
};

// ---------------------------------------------------------------------------
// Run-length decoders
// ---------------------------------------------------------------------------

// Targa run-length packets. unpackedSize counts pixels (the target holds that many);
// source is advanced past the bytes consumed, dest is left unchanged. A packet that
// runs past the requested pixels is carried into the next call, so packets may cross
// rows. Depths 8, 15, 16, 24 and 32 bits; any other depth decodes nothing.
class TTargaRLEDecoder : public TDecoder {
 public:
  explicit TTargaRLEDecoder(int32_t colorDepth);
  void DecodeInit() override;
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
  // Encodes count pixels into Targa packets. dest must hold at least
  // MaxEncodedSize(count) bytes.
  void Encode(const void* source, void* dest, uint32_t& bytesStored, uint32_t count) override;
  uint32_t MaxEncodedSize(uint32_t count) const;
  int32_t ColorDepth() const { return colorDepth_; }

 private:
  int32_t colorDepth_;
  // The rest of a packet that ran past the previous call's target.
  uint32_t pendingCount_ = 0;
  bool pendingRun_ = false;
  uint8_t pendingPixel_[4] = {};
};

// PackBits (TIFF, Photoshop). Sizes in bytes.
class TPackbitsRLEDecoder : public TDecoder {
 public:
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
  void Encode(const void*, void*, uint32_t&, uint32_t) override {}
};

// PCX: a byte with both top bits set repeats the next byte (its low 6 bits times).
class TPCXRLEDecoder : public TDecoder {
 public:
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
  void Encode(const void*, void*, uint32_t&, uint32_t) override {}
};

// SGI run-length rows of 8- or 16-bit samples; a zero count ends the row. Sizes in bytes.
class TSGIRLEDecoder : public TDecoder {
 public:
  explicit TSGIRLEDecoder(uint8_t sampleSize) : sampleSize_(sampleSize) {}
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
  void Encode(const void*, void*, uint32_t&, uint32_t) override {}

 private:
  uint8_t sampleSize_;
};

// Dr. Halo CUT rows: a 2-byte length, packets, a terminating 0. Source is advanced
// past the row, its terminating 0 included.
class TCUTRLEDecoder : public TDecoder {
 public:
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
  void Encode(const void*, void*, uint32_t&, uint32_t) override {}
};

// Paint Shop Pro channels.
class TPSPRLEDecoder : public TDecoder {
 public:
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
  void Encode(const void*, void*, uint32_t&, uint32_t) override {}
};

// RLA channels.
class TRLADecoder : public TDecoder {
 public:
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
  void Encode(const void*, void*, uint32_t&, uint32_t) override {}
};

// ---------------------------------------------------------------------------
// LZW decoders (each Decode builds its own tables; nothing survives a call)
// ---------------------------------------------------------------------------

// TIFF compression 5: codes most significant bit first, the width changing one code
// early, clear code 256, end code 257. Sizes in bytes.
class TTIFFLZWDecoder : public TDecoder {
 public:
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
  void Encode(const void*, void*, uint32_t&, uint32_t) override {}
};

// GIF image data: codes least significant bit first, starting at initialCodeSize + 1
// bits. A code size above 11 raises EGraphicCompression. Sizes in bytes.
class TGIFLZWDecoder : public TDecoder {
 public:
  explicit TGIFLZWDecoder(uint8_t initialCodeSize) : initialCodeSize_(initialCodeSize) {}
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
  void Encode(const void*, void*, uint32_t&, uint32_t) override {}

 private:
  uint8_t initialCodeSize_;
};

// ---------------------------------------------------------------------------
// Deflate, JPEG-in-TIFF, ThunderScan and Photo-CD
// ---------------------------------------------------------------------------

// zlib's inflater. Every Decode runs one inflate call with FlushMode over the given
// blocks and advances source and dest to where zlib stopped. With AutoReset the
// stream starts anew at every Decode (one stream per TIFF strip); without it one
// stream runs through all calls (PNG). After the stream's end or an error later
// calls do nothing. Init and end failures raise "LZ77 decompression error.".
class TLZ77Decoder : public TDecoder {
 public:
  TLZ77Decoder(int32_t flushMode, bool autoReset);
  ~TLZ77Decoder() override;
  void DecodeInit() override;
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
  void DecodeEnd() override;
  void Encode(const void*, void*, uint32_t&, uint32_t) override {}

  uint32_t AvailableInput() const;
  uint32_t AvailableOutput() const;
  // zlib's result of the last call (Z_OK, Z_STREAM_END, or an error).
  int32_t ZLibResult() const { return result_; }

 private:
  struct Stream;
  Stream* stream_;
  int32_t result_;
  int32_t flushMode_;
  bool autoReset_;
  bool initialised_ = false;
};

// JPEG-compressed TIFF strips through libjpeg, with the JPEG tables and strip
// geometry taken from the graphic's properties (JPEGTables, YCbCrSubSampling,
// Width, Height, CurrentRow, RowsPerStrip, BytesPerLine, PlanarConfig,
// SamplesPerPixel, BitsPerSample, ColorScheme, CurrentStrip, StripCount).
// Three-component strips come out as B, G, R bytes, one-component strips as grey
// bytes. libjpeg's errors raise EGraphicCompression with libjpeg's message; its
// warnings go to OnWarning.
class TTIFFJPEGDecoder : public TDecoder {
 public:
  explicit TTIFFJPEGDecoder(TImageProperties* properties);
  ~TTIFFJPEGDecoder() override;
  void DecodeInit() override;
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
  void DecodeEnd() override;
  void Encode(const void*, void*, uint32_t&, uint32_t) override {}

  // Receives the texts of libjpeg's warnings and of a strip that ends early.
  std::function<void(const std::string& message)> OnWarning;

  struct State;  // the libjpeg objects (inside the decoder's unit)

 private:
  TImageProperties* properties_;
  State* state_ = nullptr;
  uint16_t horizontalSampling_ = 1, verticalSampling_ = 1;
  std::vector<uint8_t> rowBuffer_;
};

// 4-bit ThunderScan data, two pixels per byte (high nibble first), Width pixels per row.
class TThunderDecoder : public TDecoder {
 public:
  explicit TThunderDecoder(uint32_t width) : width_(width) {}
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
  void Encode(const void*, void*, uint32_t&, uint32_t) override {}

 private:
  uint32_t width_;
};

// The Huffman-coded residuals of the higher Photo-CD resolutions, read from the
// stream. Decode's source points at an array of three plane pointers (luminance,
// first and second chrominance); packedSize is the plane row length in bytes and
// unpackedSize the luminance row count: the row number that ends decoding, and the
// bound of the rows written (chrominance planes hold half as many rows).
class TPCDDecoder : public TDecoder {
 public:
  explicit TPCDDecoder(TStream* stream) : stream_(stream) {}
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
  void Encode(const void*, void*, uint32_t&, uint32_t) override {}

 private:
  TStream* stream_;
};

// Photo-CD two-times upsampling of one plane in place: width x height bytes at the
// start of rows scanLength bytes apart become 2*width x 2*height bytes. The buffer
// must hold 2*height rows and scanLength must be at least 2*width.
void Upsample(uint32_t width, uint32_t height, uint32_t scanLength, uint8_t* pixels);
