#pragma once
// Autodesk Animator cel and picture files: a 32-byte header, a palette of 256
// entries with 6-bit components and uncompressed rows of 8-bit palette indices.
#include "formats/GraphicFormats.h"

class TAutodeskGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TAutodeskGraphic, TFormatGraphic)

 public:
  // True when more than 32 bytes remain, the file id is 0x9119, the depth 8 and the
  // compression 0; the stream position is restored.
  bool CanLoad(TStream& stream) override;
  using TFormatGraphic::CanLoad;
  // Reads the 32-byte header; false unless the file id is 0x9119 and both sides are
  // above 0 (depth and compression are not checked).
  bool ReadImageProperties(TStream& stream, uint32_t imageIndex) override;
  void LoadFromStream(TStream& stream) override;
};
