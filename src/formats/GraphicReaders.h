#pragma once
// The graphic classes the format registry names: every format reader's header, so that
// the registry sees every class through this file.
#include "formats/GraphicFormats.h"
#include "formats/GraphicFormats_Targa.h"
#include "formats/GraphicFormats_TIFF.h"
#include "formats/GraphicFormats_EPS.h"
#include "formats/GraphicFormats_PCX.h"
#include "formats/GraphicFormats_RLA.h"
#include "formats/GraphicFormats_SGI.h"
#include "formats/GraphicFormats_PSD.h"
#include "formats/GraphicFormats_PNM.h"
#include "formats/GraphicFormats_Cel.h"
#include "formats/GraphicFormats_PCD.h"
#include "formats/GraphicFormats_GIF.h"
#include "formats/GraphicFormats_CUT.h"
#include "formats/GraphicFormats_PSP.h"
#include "formats/GraphicFormats_PNG.h"
