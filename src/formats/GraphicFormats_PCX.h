#pragma once
// ZSoft Paintbrush pictures (and the related screen captures): run-length or
// uncompressed rows of 1, 2, 4 or 8 bits in one plane, one to four planes of 1 bit
// (shown as 4-bit pictures), and three or four planes of 8 bits (true colour, the
// fourth plane as alpha). Reading only.
#include "formats/GraphicFormats.h"

class TPCXGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TPCXGraphic, TFormatGraphic)

 public:
  // True when more than 128 bytes remain and the header there has the file id 10
  // (pictures) or 205 (screen captures), version 0, 2, 3 or 5 and encoding 0 or 1;
  // the stream position is restored.
  bool CanLoad(TStream& stream) override;
  using TFormatGraphic::CanLoad;
  // Reads the 128-byte header into ImageProperties; false unless its file id is 10 or
  // 205 and its corners span a picture.
  bool ReadImageProperties(TStream& stream, uint32_t imageIndex) override;
  void LoadFromStream(TStream& stream) override;

 private:
  void LoadPicture(TStream& stream);
};
