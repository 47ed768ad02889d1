#pragma once
// Encapsulated PostScript files with a preview header: the TIFF preview they carry
// is shown (the PostScript itself is not interpreted).
#include "formats/GraphicFormats_TIFF.h"

class TEPSGraphic : public TTIFFGraphic {
  KIVO2_GRAPHIC_CLASS(TEPSGraphic, TTIFFGraphic)

 public:
  // True when more than 30 bytes remain, they start with the preview header's
  // signature, and the header names a TIFF preview that starts behind it; the stream
  // position is restored.
  bool CanLoad(TStream& stream) override;
  using TTIFFGraphic::CanLoad;
  // Loads the TIFF preview as the TIFF reader does, its offsets taken from its own
  // start. A file without a preview header, or whose header names no preview inside
  // the file, is refused as an invalid EPS file.
  void LoadFromStream(TStream& stream) override;
};
