#pragma once
// Wavefront RLA and RPF pictures: 8-bit red, green and blue channels and an optional
// matte (shown as alpha), each channel of each row run-length coded, rows usually
// stored bottom to top, with the file's gamma applied.
#include "formats/GraphicFormats.h"

class TRLAGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TRLAGraphic, TFormatGraphic)

 public:
  // True when more than 740 bytes remain, the header's revision is 0xFFFE and its
  // colour channel space is "rgb" or "xyz" in any case; the stream position is restored.
  bool CanLoad(TStream& stream) override;
  using TFormatGraphic::CanLoad;
  // Reads the 740-byte header; false for the "xyz" channel space and for an active
  // window without columns. The stream is left behind the header.
  bool ReadImageProperties(TStream& stream, uint32_t imageIndex) override;
  // Loads pictures of three 8-bit colour channels in the "rgb" space; others are
  // refused with the invalid colour format message.
  void LoadFromStream(TStream& stream) override;
};
