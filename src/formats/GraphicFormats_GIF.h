#pragma once
// The format library's GIF reader: the first image of a GIF87a or GIF89a file into
// an 8-bit palette bitmap, de-interlaced, without animation or transparency. The
// picture object opens ".gif" files through this class.
#include "formats/GraphicFormats.h"

class TGIFGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TGIFGraphic, TFormatGraphic)

 public:
  // True when more than 22 bytes remain and they start with "GIF" in any case; the
  // stream position is restored.
  bool CanLoad(TStream& stream) override;
  using TFormatGraphic::CanLoad;
  // Reads the header, the screen descriptor and the first image descriptor (the
  // image index is not used); false unless the stream starts with "GIF" and a
  // two-digit version.
  bool ReadImageProperties(TStream& stream, uint32_t imageIndex) override;
  // Loads the first image. A file that holds no image gives an empty 8-bit bitmap.
  void LoadFromStream(TStream& stream) override;
};
