#pragma once
// GIF image data: the unit's exception and messages, the tolerant LZW decoder of one
// frame's image data (shared by the GIF image class and the format library's GIF
// reader), and the two coders that write image data, a real LZW compressor and a
// run-length coder whose output every GIF decoder reads.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/rtl/Classes.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

// No frame, and no logical screen, is larger than this many pixels.
inline constexpr int64_t kGIFMaxPixels = int64_t(1) << 28;
// The memory a logical screen may take as a 24-bit bitmap beyond what the file's data
// could fill: a full screen of 7680 x 4320 pixels fits.
inline constexpr int64_t kGIFScreenBudget = int64_t(128) << 20;
// A code of the image data stands for at most 4096 pixels and takes at least 3 bits, so
// one byte of data fills at most this many pixels.
inline constexpr int64_t kGIFMaxPixelsPerDataByte = 8 * 4096 / 3 + 1;

// Every failure of the GIF unit; recoverable read problems go to the image's warning
// event instead.
class GIFException : public EInvalidGraphic {
 public:
  using EInvalidGraphic::EInvalidGraphic;
};

// Messages of the GIF unit (English message ids; translated when raised or reported).
inline constexpr const char* gsGIFInvalidSignature = "Invalid GIF signature";
inline constexpr const char* gsGIFUnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* gsGIFUnknownExtension = "Unknown extension type";
inline constexpr const char* gsGIFInvalidPixel = "Invalid pixel coordinates";
inline constexpr const char* gsGIFImageEmpty = "Image is empty";
inline constexpr const char* gsGIFPrematureEOF = "Premature end of data";
inline constexpr const char* gsGIFInvalidIntroducer = "Invalid extension introducer";
inline constexpr const char* gsGIFExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* gsGIFWidthTooSmall = "Image width too small for contained frames";
inline constexpr const char* gsGIFHeightTooSmall = "Image height too small for contained frames";
inline constexpr const char* gsGIFColorOverflow = "Color table overflow";
inline constexpr const char* gsGIFInvalidColorIndex = "Invalid color index";
inline constexpr const char* gsGIFColorTableEmpty = "Color table is empty";
inline constexpr const char* gsGIFBitBufferUnderrun = "Decoder bit buffer under-run";
inline constexpr const char* gsGIFCircularTable = "Circular decoder table entry";
inline constexpr const char* gsGIFCodeSize = "Invalid LZW code size.";
inline constexpr const char* gsGIFColorNotInTable = "Color not in color table";
inline constexpr const char* gsGIFInvalidStreamOperation = "Invalid stream operation";
inline constexpr const char* gsGIFUnsupportedPixelFormat = "Unsupported PixelFormat";
inline constexpr const char* gsGIFInvalidDimensions = "Invalid image dimensions";
inline constexpr const char* gsGIFNoDIB = "Image has no DIB";
inline constexpr const char* gsGIFDIBMemory = "Failed to allocate memory for GIF DIB";
inline constexpr const char* gsGIFUnsupportedObject = "Object type not supported for operation";
inline constexpr const char* gsGIFNoColorTable = "No global or local color table defined";
inline constexpr const char* gsGIFUnknownBlock = "Unknown GIF block type";
inline constexpr const char* gsGIFInvalidTrailer = "Invalid Image trailer";
inline constexpr const char* gsGIFClipboardStore = "Failed to store GIF on clipboard";
inline constexpr const char* gsGIFUnsupportedClipboard = "Unsupported clipboard format";
inline constexpr const char* gsGIFExtensionMismatch = "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* gsGIFAppExtensionSize = "Unsupported Application Extension block size";
inline constexpr const char* gsGIFInvalidData = "Invalid GIF data";
inline constexpr const char* gsGIFInvalidReduction = "Invalid reduction method";
inline constexpr const char* gsGIFTooLarge = "Image is too large";
// Progress phases and the clipboard format's description.
inline constexpr const char* gsGIFLoading = "Loading...";
inline constexpr const char* gsGIFSaving = "Saving...";
inline constexpr const char* gsGIFCopying = "Copying...";
inline constexpr const char* gsGIFRendering = "Rendering...";
inline constexpr const char* gsGIFConverting = "Converting...";
inline constexpr const char* gsGIFOptimizing = "Optimizing...";
inline constexpr const char* gsGIFImageDescription = "GIF Image";

namespace GifCodec {

// Raises GIFException with the translated message.
[[noreturn]] void Error(const char* message);
// The translated text of a message.
std::string Text(const char* message);

// Receives the decoder's warnings (the translated message).
using TWarningSink = std::function<void(const std::string& message)>;

// Reads the image data of one frame at the stream's position, the LZW minimum code
// size byte and the data sub-blocks, into pixels: width x height colour indices, rows
// top to bottom, in file order or in interlace order. The caller fills pixels first
// with the value that the pixels the data does not reach keep. Short or damaged data
// gives warnings and a partly filled frame; the stream is left after the block
// terminator (or at its end). A code size above 11 and a decoder table whose strings
// loop raise GIFException; the pixels decoded so far stay.
void DecodeGIFImageData(TStream& stream, uint8_t* pixels, int width, int height, bool interlaced,
                        const TWarningSink& warning);

}  // namespace GifCodec

// ---------------------------------------------------------------------------
// Writing image data
// ---------------------------------------------------------------------------

// A stream that only its descendants may write: reading and seeking (and writing on
// this class itself) raise Exception "Invalid stream operation".
class TGIFStream : public TStream {
 public:
  explicit TGIFStream(TStream& target) : stream_(target) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  TStream& Target() { return stream_; }

  GifCodec::TWarningSink OnWarning;
  std::function<void(TObject* sender)> OnProgress;

 protected:
  virtual void Progress(TObject* sender);
  TStream& stream_;
  uint8_t buffer_[256] = {};
  int bufferCount_ = 0;
};

// Packs written bytes into data sub-blocks of at most 255 bytes; destruction writes the
// last block.
class TGIFWriter : public TGIFStream {
 public:
  explicit TGIFWriter(TStream& target);
  ~TGIFWriter() override;
  int64_t Write(const void* buffer, int64_t count) override;
  void WriteByte(uint8_t value);
  void FlushBuffer();

 private:
  bool dirty_ = false;
};

// Bit packing, code-size state and the pixel walk shared by the two coders.
class TGIFEncoder {
 public:
  virtual ~TGIFEncoder() = default;
  // Writes the minimum code size byte, the packed codes and the block terminator.
  void Encode(TStream& stream, int bitsPerPixel, int maxColor, const uint8_t* data, bool interlace, int height,
              int width);
  GifCodec::TWarningSink OnWarning;

 protected:
  virtual void Output(int code);
  virtual void Clear();
  virtual void Compress() = 0;
  // Moves to the next pixel; false when the walk is over.
  bool BumpPixel();
  int CurrentPixel() const { return *pixel_; }

  int MaxColor = 0;
  int BitsPerPixel = 0;
  int Width = 0, Height = 0;
  bool Interlace = false;
  const uint8_t* Data = nullptr;
  std::unique_ptr<TGIFWriter> writer_;
  uint32_t BitBuffer = 0;
  int BitCount = 0;
  bool ClearFlag = false;
  int BitsPerCode = 0, InitialBitsPerCode = 0;
  uint16_t MaxCode = 0, ClearCode = 0, EndCode = 0, BaseCode = 0;

 private:
  const uint8_t* pixel_ = nullptr;
  int64_t PixelsLeft = 0;
  int Row = 0, Pass = 0;
};

// The LZW string table: 8009 words, each a 20-bit key above a 12-bit code; an empty
// entry has all bits set.
class THashTable {
 public:
  THashTable() { Clear(); }
  void Clear();
  void Insert(uint32_t key, int code);
  int Lookup(uint32_t key) const;
  static constexpr int kSize = 8009;

 private:
  static int HashKey(uint32_t key) { return int(((key >> 4) ^ key) % uint32_t(kSize)); }
  static int NextHashKey(int h) {
    h = h == 0 ? -1 : h - (kSize - h);
    return h < 0 ? h + kSize : h;
  }
  uint32_t table_[kSize];
};

class TLZWEncoder : public TGIFEncoder {
 protected:
  void Output(int code) override;
  void Clear() override;
  void Compress() override;

 private:
  uint16_t Prefix = 0;
  uint16_t FreeEntry = 0;
  std::unique_ptr<THashTable> HashTable;
};

// Codes that stand only for runs of one colour: no string matching, but every GIF
// decoder reads the stream.
class TRLEEncoder : public TGIFEncoder {
 protected:
  void Clear() override;
  void Compress() override;

 private:
  void OutputPlain(int code);
  static unsigned ISqrt(unsigned x);
  static unsigned ComputeTriangleCount(unsigned count, unsigned n);
  void MaxOutClear() { OutClear = MaxOCodes; }
  void ResetOutClear();
  void FlushFromClear(int count);
  void FlushClearOrRep(int count);
  void FlushWithTable(int count);
  void Flush(int count);

  int MaxOCodes = 0, OutBumpInit = 0, OutClearInit = 0;
  int RLPixel = -1, RLTableMax = 0, RLTablePixel = 0;
  int OutCount = 0, OutClear = 0, OutBump = 0;
};
