#pragma once
// The graphic classes the format registry names. A class whose reader is not built
// yet stands here as a placeholder: it exists with its class reference and its place
// in the class tree, and its LoadFromStream raises EInvalidGraphic saying that the
// format is not supported yet. A finished reader replaces its line below by an
// #include of its own header, so that the registry keeps seeing every class through
// this file.
#include "formats/GraphicFormats.h"

#define KIVO2_PLACEHOLDER_READER(Class, Parent)     \
  class Class : public Parent {                     \
    KIVO2_GRAPHIC_CLASS(Class, Parent)              \
   public:                                          \
    void LoadFromStream(TStream& stream) override;  \
  };

#include "formats/GraphicFormats_Targa.h"
#include "formats/GraphicFormats_TIFF.h"
#include "formats/GraphicFormats_EPS.h"
KIVO2_PLACEHOLDER_READER(TPCXGraphic, TFormatGraphic)
#include "formats/GraphicFormats_RLA.h"
KIVO2_PLACEHOLDER_READER(TSGIGraphic, TFormatGraphic)
KIVO2_PLACEHOLDER_READER(TPSDGraphic, TFormatGraphic)
KIVO2_PLACEHOLDER_READER(TPPMGraphic, TFormatGraphic)
#include "formats/GraphicFormats_Cel.h"
#include "formats/GraphicFormats_PCD.h"
#include "formats/GraphicFormats_GIF.h"
#include "formats/GraphicFormats_CUT.h"
KIVO2_PLACEHOLDER_READER(TPSPGraphic, TFormatGraphic)
#include "formats/GraphicFormats_PNG.h"
