#pragma once
// Kodak Photo-CD image packs: the base picture of 768 x 512 pixels, luminance and
// half-size colour planes in Photo YCC, shown upright whatever way the picture was
// turned when it was scanned.
#include "formats/GraphicFormats.h"

// Texts of the Photo-CD reader's refusals: each fills the first %s of gsUnsupportedFeature.
inline constexpr const char* gsPCDOverview = "Overview packs are";

class TPCDGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TPCDGraphic, TFormatGraphic)

 public:
  // True when more than 6144 bytes remain and they start an overview pack ("PCD_OPA")
  // or an image pack ("PCD" at 2048); the stream position is restored.
  bool CanLoad(TStream& stream) override;
  using TFormatGraphic::CanLoad;
  // Reads the first 6144 bytes; the size is that of resolution imageIndex (0 to 5,
  // 192 x 128 pixels times 2 to that power), turned for portrait pictures.
  bool ReadImageProperties(TStream& stream, uint32_t imageIndex) override;
  // Loads the base resolution (768 x 512, turned upright). Overview packs are refused.
  void LoadFromStream(TStream& stream) override;
};
