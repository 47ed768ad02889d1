#pragma once
// Portable Network Graphics pictures: every colour type and bit depth, the five
// filters, Adam7 interlacing, gamma (gAMA), background (bKGD) and transparency
// (tRNS). Reading only.
#include <vector>

#include "formats/GraphicFormats.h"

class TLZ77Decoder;

class TPNGGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TPNGGraphic, TFormatGraphic)

 public:
  TPNGGraphic();
  ~TPNGGraphic() override;

  // True when more than 8 bytes remain and they start with the PNG signature; the
  // stream position is restored.
  bool CanLoad(TStream& stream) override;
  using TFormatGraphic::CanLoad;
  // Reads the signature, the IHDR chunk and the first gAMA chunk into ImageProperties.
  bool ReadImageProperties(TStream& stream, uint32_t imageIndex) override;
  void LoadFromStream(TStream& stream) override;

  // What the last loaded file said about its background and transparency. They are
  // kept for the graphic's users; apart from filling the picture before its rows are
  // decoded, they are not applied to the pixels.
  TColor BackgroundColor() const { return backgroundColor_; }
  // The colour key of grey and RGB pictures (clNone when the file gives none).
  TColor TransparentKey() const { return transparentColor_; }
  // Alpha per palette index of indexed pictures (empty when the file gives none).
  const std::vector<uint8_t>& TransparencyTable() const { return transparency_; }

 private:
  struct Chunk {
    uint32_t Length = 0;
    uint32_t Type = 0;  // the four letters, first letter in the top byte
  };
  struct Header {
    uint32_t Width = 0, Height = 0;
    uint8_t BitDepth = 0, ColorType = 0, Compression = 0, Filter = 0, Interlaced = 0;
  };

  void ReadChunkHeader(TStream& stream);
  void ReadChunkData(TStream& stream);
  void SkipChunk(TStream& stream);
  void SetupColors();
  void ResolveKeyColors();
  void DecodeImage(TStream& stream);
  bool ReadRow(TStream& stream, uint8_t* row, uint32_t size);
  void FillBackground(int fromRow);

  Chunk chunk_;
  uint32_t crc_ = 0;
  std::vector<uint8_t> raw_;  // the data of the current chunk
  Header header_;
  TLZ77Decoder* decoder_ = nullptr;
  const uint8_t* input_ = nullptr;  // the decoder's next input byte in raw_
  uint32_t inputLeft_ = 0;
  bool outputFull_ = false;  // the last inflate filled its target: zlib may hold more
  uint32_t sourceBPP_ = 1;
  bool colorsSet_ = false;
  TPalette palette_;
  TColor backgroundColor_ = 0xFFFFFF;
  TColor transparentColor_ = clNone;
  std::vector<uint8_t> transparency_;
  // Grey or RGB keys as stored, resolved to colours once the colours are set up.
  int backgroundIndex_ = -1, transparentIndex_ = -1;
  bool backgroundRGB_ = false, transparentRGB_ = false;
  uint16_t backgroundSamples_[3] = {}, transparentSamples_[3] = {};
};
