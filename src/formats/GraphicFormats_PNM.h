#pragma once
// Portable any-maps: the six kinds P1 (text bitmap), P2 (text grey map), P3 (text
// pixel map), P4 (raw bitmap), P5 (raw grey map) and P6 (raw pixel map), with any
// maximum sample value up to 65535 (two bytes per raw sample above 255). Samples are
// scaled from the file's maximum to 8 bits. Reading only.
#include <cstddef>
#include <cstdint>

#include "formats/GraphicFormats.h"

class TPPMGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TPPMGraphic, TFormatGraphic)

 public:
  // True when more than 10 bytes remain and they start with "P" and a digit 1..6; the
  // stream position is restored.
  bool CanLoad(TStream& stream) override;
  using TFormatGraphic::CanLoad;
  // Reads the header (magic, width, height and, but for bitmaps, the maximum value)
  // into ImageProperties; false when it is no portable any-map header.
  bool ReadImageProperties(TStream& stream, uint32_t imageIndex) override;
  void LoadFromStream(TStream& stream) override;

 private:
  struct Header {
    int Kind = 0;  // the digit of the magic, 1..6
    uint32_t Width = 0, Height = 0;
    uint32_t MaxValue = 1;
  };
  // Reads the header from the stream's position through the read buffer; false when
  // it is not one of the six kinds, has no size, or a maximum outside 1..65535.
  bool ReadHeader(TStream& stream, Header& header);
  void LoadPicture(TStream& stream);
  void ReadTextRows(const Header& header);
  void ReadRawRows(const Header& header);

  // The read buffer: refilled with up to its size from the stream when used up.
  // NextByte raises "Stream read error in PPM file." at the end of the stream;
  // NextByteOrEnd gives -1 there.
  int NextByteOrEnd();
  uint8_t NextByte();
  // Skips bytes up to a digit ("#" starts a comment that runs to the end of its line)
  // and gives the digit; -1 at the end of the stream.
  int SkipToDigitOrEnd();
  // The decimal number from the next digit on; the first byte after it is consumed.
  // ReadNumber raises the stream read error at the end of the stream, ReadNumberOrEnd
  // gives -1 there.
  uint32_t ReadNumber();
  int64_t ReadNumberOrEnd();
  // The next bit of a text bitmap: the next "0" or "1", with or without separators;
  // -1 at the end of the stream.
  int ReadTextBit();
  // Up to count bytes of raw data: the buffered bytes first, then straight from the
  // stream. Gives how many there were; the rest of target is left as it is.
  size_t ReadRaw(uint8_t* target, size_t count);
  // Bytes of the stream behind the buffered ones.
  int64_t BytesLeft();

  static constexpr size_t kBufferSize = 4096;
  TStream* source_ = nullptr;
  uint8_t buffer_[kBufferSize] = {};
  size_t index_ = kBufferSize;
  size_t filled_ = kBufferSize;
};
