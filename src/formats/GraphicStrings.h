#pragma once
// The message table of the format library: every text the format readers, the
// decoders, the colour manager and the format registry show. The texts are the
// English message ids; GraphicText() looks them up in the translation catalogue
// at the moment they are shown, so a language switch takes effect at once.
#include <initializer_list>
#include <string>

#include "platform/rtl/SysUtils.h"

// Translated text of one of the entries below.
std::string GraphicText(const char* text);
// Translated text formatted with the arguments (the arguments are used as given).
std::string GraphicTextFmt(const char* text, std::initializer_list<TVarRec> args);

// --- Load errors of the format readers (%s: the format's short name) ---
inline constexpr const char* gsInvalidImage = "Cannot load image. Invalid or unexpected %s image format.";
inline constexpr const char* gsInvalidColorFormat = "Invalid color format in %s file.";
inline constexpr const char* gsStreamReadError = "Stream read error in %s file.";
// First %s: gsCompressionScheme (translated), second: the format's short name.
inline constexpr const char* gsUnsupportedFeature = "Cannot load image. %s not supported for %s files.";
inline constexpr const char* gsCompressionScheme = "The compression scheme is";
inline constexpr const char* gsInvalidCRC = "Cannot load image. CRC error found in %s file.";
inline constexpr const char* gsCompressionError = "Cannot load image. Compression error found in %s file.";
inline constexpr const char* gsExtraCompressedData = "Cannot load image. Extra compressed data found in %s file.";
inline constexpr const char* gsInvalidPalette = "Cannot load image. Palette in %s file is invalid.";
inline constexpr const char* gsUnknownCriticalChunk = "Cannot load PNG image. Unexpected but critical chunk detected.";
inline constexpr const char* gsInvalidTiff = "Invalid Tiff";

// --- Progress phases ---
inline constexpr const char* gsPreparing = "Preparing...";
inline constexpr const char* gsLoadingData = "Loading data...";
inline constexpr const char* gsUpsampling = "Upsampling...";
inline constexpr const char* gsTransfering = "Transfering...";

// --- Decoders ---
inline constexpr const char* gsLZ77Error = "LZ77 decompression error.";
inline constexpr const char* gsJPEGEOI = "JPEG decompression error. Unexpected end of input.";
inline constexpr const char* gsJPEGStripSize = "Improper JPEG strip/tile size.";
inline constexpr const char* gsJPEGComponentCount = "Improper JPEG component count.";
inline constexpr const char* gsJPEGDataPrecision = "Improper JPEG data precision.";
inline constexpr const char* gsJPEGSamplingFactors = "Improper JPEG sampling factors.";
inline constexpr const char* gsJPEGScanline = "Fractional JPEG scanline unsupported.";
inline constexpr const char* gsJPEGBogusTableField = "Bogus JPEG tables field.";
inline constexpr const char* gsWarning = "Warning";

// --- Colour manager ---
inline constexpr const char* gsInvalidBitsPerSample = "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
inline constexpr const char* gsInvalidSampleCount = "Sample count per pixel does not correspond to the given color scheme.";
inline constexpr const char* gsIndexedNotSupported = "Conversion between indexed and non-indexed pixel formats is not supported.";
inline constexpr const char* gsConversionUnsupported = "Color conversion failed. Could not find a proper method.";
inline constexpr const char* gsInvalidSubSampling = "Subsampling value is invalid. Allowed are 1, 2 and 4.";
inline constexpr const char* gsVerticalSubSamplingError = "Vertical subsampling value must be <= horizontal subsampling value.";

// --- Resampling ---
inline constexpr const char* gsInvalidFilter = "Invalid resampling filter";

// --- Format registry ---
inline constexpr const char* gsRegisterTwice = "Attempt to register %s twice.";

// --- Short names of the formats, put into the load errors ---
inline constexpr const char* gsFormatTIFF = "TIF/TIFF";
inline constexpr const char* gsFormatEPS = "EPS";
inline constexpr const char* gsFormatPNM = "PBM, PGM or PPM";
inline constexpr const char* gsFormatPPM = "PPM";
inline constexpr const char* gsFormatCUT = "CUT";
inline constexpr const char* gsFormatTarga = "Targa";
inline constexpr const char* gsFormatPNG = "PNG";
inline constexpr const char* gsFormatPSD = "PSD or PDD";
inline constexpr const char* gsFormatPSP = "PSP";
inline constexpr const char* gsFormatPCX = "PCX or SCR";
inline constexpr const char* gsFormatPCD = "PCD";
inline constexpr const char* gsFormatGIF = "GIF";
inline constexpr const char* gsFormatRLA = "RLA";
inline constexpr const char* gsFormatSGI = "sgi, bw or rgb(a)";
inline constexpr const char* gsFormatCEL = "Autodesk";

// --- Descriptions of the registered formats ---
inline constexpr const char* gsDescBitmaps = "Windows bitmaps";
inline constexpr const char* gsDescRLEBitmaps = "Run length encoded Windows bitmaps";
inline constexpr const char* gsDescDIB = "Device independant Windows bitmaps";
inline constexpr const char* gsDescIcons = "Windows icons";
inline constexpr const char* gsDescMetafiles = "Windows metafiles";
inline constexpr const char* gsDescEnhancedMetafiles = "Windows enhanced meta files";
inline constexpr const char* gsDescJPG = "JPG images";
inline constexpr const char* gsDescJFIF = "JFIF images";
inline constexpr const char* gsDescJPE = "JPE images";
inline constexpr const char* gsDescJPEG = "JPEG images";
inline constexpr const char* gsDescTarga = "Truevision images";
inline constexpr const char* gsDescTIFF = "Tagged image file format images";
inline constexpr const char* gsDescTIFFExt = "Macintosh TIFF images";
inline constexpr const char* gsDescTIF = "PC TIF images";
inline constexpr const char* gsDescFax = "GFI fax images";
inline constexpr const char* gsDescEPS = "Encapsulated Postscript images";
inline constexpr const char* gsDescPCX = "ZSoft Paintbrush images";
inline constexpr const char* gsDescSCR = "Word 5.x screen capture images";
inline constexpr const char* gsDescRLA = "Alias/Wavefront images";
inline constexpr const char* gsDescSGI = "SGI images";
inline constexpr const char* gsDescSGITrueColor = "SGI true color images";
inline constexpr const char* gsDescSGITrueColorAlpha = "SGI true color images with alpha";
inline constexpr const char* gsDescSGIMono = "SGI black/white images";
inline constexpr const char* gsDescPSD = "Photoshop images";
inline constexpr const char* gsDescPortable = "Portable map images";
inline constexpr const char* gsDescPPM = "Portable pixel map images";
inline constexpr const char* gsDescPGM = "Portable gray map images";
inline constexpr const char* gsDescPBM = "Portable bitmap images";
inline constexpr const char* gsDescCEL = "Autodesk images";
inline constexpr const char* gsDescPCD = "Kodak Photo-CD images";
inline constexpr const char* gsDescGIF = "CompuServe images";
inline constexpr const char* gsDescCUT = "Dr. Halo images";
inline constexpr const char* gsDescPSP = "Paintshop Pro images";
inline constexpr const char* gsDescPNG = "Portable network graphic images";
