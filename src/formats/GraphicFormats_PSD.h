#pragma once
// Photoshop documents: the merged picture stored at the end of the file, raw or
// PackBits-compressed, in bitmap, grey, duotone, indexed, RGB, multichannel, CMYK or
// Lab mode at 8 or 16 bits per channel (bitmaps at 1 bit). Layers, image resources
// and masks are passed over. Reading only.
#include "formats/GraphicFormats.h"

class TPSDGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TPSDGraphic, TFormatGraphic)

 public:
  // True when more than 26 bytes remain, the first four are "8BPS" in any case and the
  // version is 1; the stream position is restored.
  bool CanLoad(TStream& stream) override;
  using TFormatGraphic::CanLoad;
  // Reads the header and passes the colour data, image resources and layers to the
  // compression word; false unless the signature is exactly "8BPS".
  bool ReadImageProperties(TStream& stream, uint32_t imageIndex) override;
  void LoadFromStream(TStream& stream) override;

 private:
  void LoadPicture(TStream& stream);
};
