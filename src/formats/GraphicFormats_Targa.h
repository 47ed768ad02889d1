#pragma once
// Truevision Targa pictures: colour-mapped, true-colour and grey, raw or run-length
// compressed, 8, 15, 16, 24 and 32 bits per pixel, stored top-down or bottom-up.
// The only format class that also writes its format.
#include "formats/GraphicFormats.h"

class TTargaGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TTargaGraphic, TFormatGraphic)

 public:
  // True when more than 18 bytes remain and the header there is a plausible Targa
  // header; the stream position is restored.
  bool CanLoad(TStream& stream) override;
  using TFormatGraphic::CanLoad;
  // Reads the 18-byte header into ImageProperties; answers true.
  bool ReadImageProperties(TStream& stream, uint32_t imageIndex) override;
  void LoadFromStream(TStream& stream) override;
  // Writes a run-length compressed Targa file.
  void SaveToStream(TStream& stream) override;
  // Writes a run-length compressed (compressed true) or uncompressed Targa file.
  // 1- and 4-bit bitmaps become 8-bit bitmaps first.
  void SaveToStream(TStream& stream, bool compressed);
};
