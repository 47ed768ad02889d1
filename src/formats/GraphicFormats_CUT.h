#pragma once
// Dr. Halo CUT pictures: 8-bit palette indices in run-length coded rows, with the
// palette in a file of the same name and the extension ".pal" (or ".PAL").
// Without a palette file the picture shows in 256 grey levels.
#include <string>

#include "formats/GraphicFormats.h"

class TCUTGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TCUTGraphic, TFormatGraphic)

 public:
  // CUT files have no signature: they are known by their extension only.
  bool CanLoad(TStream& stream) override;
  using TFormatGraphic::CanLoad;
  // Notes the palette file of fileName, then loads the file.
  void LoadFromFile(const std::string& fileName) override;
  // Reads width and height; false when the header is short or a side is 0.
  bool ReadImageProperties(TStream& stream, uint32_t imageIndex) override;
  // Loads the picture with the palette file of the last file named to LoadFromFile.
  void LoadFromStream(TStream& stream) override;

  const std::string& PaletteFileName() const { return paletteFileName_; }

 private:
  TPalette LoadPalette() const;

  std::string paletteFileName_;
};
