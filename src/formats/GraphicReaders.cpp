// Loading through a placeholder class: the picture stays empty and the message says
// that the format is not supported yet (the file itself may well be sound). Each
// finished reader removes its line here.
#include "formats/GraphicReaders.h"

#include "formats/GraphicStrings.h"

#define KIVO2_PLACEHOLDER_LOAD(Class, ShortName)                    \
  void Class::LoadFromStream(TStream&) {                            \
    ReleaseHandle();                                                \
    FormatGraphicError(gsNotSupportedYet, {GraphicText(ShortName)}); \
  }

KIVO2_PLACEHOLDER_LOAD(TPCXGraphic, gsFormatPCX)
KIVO2_PLACEHOLDER_LOAD(TSGIGraphic, gsFormatSGI)
KIVO2_PLACEHOLDER_LOAD(TPSDGraphic, gsFormatPSD)
KIVO2_PLACEHOLDER_LOAD(TPPMGraphic, gsFormatPNM)
KIVO2_PLACEHOLDER_LOAD(TPSPGraphic, gsFormatPSP)
