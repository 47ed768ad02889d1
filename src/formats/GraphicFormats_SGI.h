#pragma once
// Silicon Graphics image files: verbatim or run-length encoded, 8 or 16 bits per
// sample, one to four channels, each channel a plane of its own, rows stored bottom
// to top. One channel (and grey with alpha) shows as a 256-level grey picture, three
// as RGB, four as RGB with alpha. Reading only.
#include "formats/GraphicFormats.h"

class TSGIGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TSGIGraphic, TFormatGraphic)

 public:
  // True when more than 512 bytes remain and the header there has the magic 474,
  // 1 or 2 bytes per sample and dimension 1, 2 or 3; the stream position is restored.
  bool CanLoad(TStream& stream) override;
  using TFormatGraphic::CanLoad;
  // Reads the 512-byte header into ImageProperties; false unless the magic is 474.
  bool ReadImageProperties(TStream& stream, uint32_t imageIndex) override;
  void LoadFromStream(TStream& stream) override;

 private:
  void LoadPicture(TStream& stream);
};
