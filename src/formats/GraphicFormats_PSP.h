#pragma once
// Paint Shop Pro pictures of major version 3 and later: the first raster layer of the
// layer bank, with its colour channels and, when present, a fourth channel as alpha.
// Channels are stored raw, run-length or deflate compressed. Reading only.
#include <cstdint>
#include <vector>

#include "formats/GraphicFormats.h"

class TPSPGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TPSPGraphic, TFormatGraphic)

 public:
  // True when more than 36 bytes remain, the first 25 are "Paint Shop Pro Image File"
  // in any case and the major version is at least 3; the stream position is restored.
  bool CanLoad(TStream& stream) override;
  using TFormatGraphic::CanLoad;
  // Reads the file header and the general image attributes into ImageProperties;
  // false when the signature, the version or the first block does not fit.
  bool ReadImageProperties(TStream& stream, uint32_t imageIndex) override;
  void LoadFromStream(TStream& stream) override;

 private:
  struct BlockHeader {
    uint8_t Identifier[4] = {};
    uint16_t Id = 0;
    uint32_t Length = 0;  // of the block's contents behind the header
  };
  // False at the stream's end; otherwise reads the header for the file's version.
  bool ReadBlockHeader(TStream& stream, BlockHeader& header);
  void LoadPicture(TStream& stream);
  // Reads the palette block's entries into the bitmap's palette.
  void ReadPalette(TStream& stream, int64_t blockEnd);
  // Walks a layer bank and loads its first raster layer; true when one was loaded.
  bool ReadLayerBank(TStream& stream, int64_t bankEnd);
  // Reads one channel block into its buffer (composite, red, green or blue).
  void ReadChannel(TStream& stream);
  void TransferRows(bool alpha);

  uint16_t majorVersion_ = 0;
  uint16_t compression_ = 0;
  size_t rowSize_ = 0;
  // The channels of the layer being loaded (composite, red, green, blue), each a full
  // picture of rowSize_ x Height bytes once read.
  std::vector<uint8_t> channels_[4];
};
