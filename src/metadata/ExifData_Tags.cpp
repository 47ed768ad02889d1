// The tag tables of the Exif reader: the EXIF/TIFF table, the GPS table and the
// JPEG marker table, with the descriptions filled in from the names once.

#include <algorithm>
#include <iterator>

#include "metadata/ExifData.h"
#include "metadata/ExifData_Internal.h"

namespace {

struct TTagRow {
  uint16_t tag;
  const char* name;
  const char* desc;
  const char* code;
  const char* formatS;
  TTagCallback callback;
};

std::string Str(const char* s) { return s ? std::string(s) : std::string(); }

// Rows 0..249 are tags; row 250 is the terminator and the "not found" result.
const TTagRow kExifRows[] = {
    {0x0001, "InteroperabilityIndex", nullptr, nullptr, nullptr, nullptr},
    {0x0002, "InteroperabilityVersion", nullptr, nullptr, nullptr, nullptr},
    {0x000B, "ACDComment", nullptr, nullptr, nullptr, nullptr},
    {0x00FE, "NewSubfileType", nullptr, nullptr, nullptr, nullptr},
    {0x00FF, "SubfileType", nullptr, nullptr, nullptr, nullptr},
    {0x0100, "ImageWidth", nullptr, nullptr, nullptr, nullptr},
    {0x0101, "ImageLength", nullptr, nullptr, nullptr, nullptr},
    {0x0102, "BitsPerSample", nullptr, nullptr, nullptr, nullptr},
    {0x0103, "Compression", nullptr, "6:Jpeg,3:Uncompressed,1:TIFF", nullptr, nullptr},
    {0x0106, "PhotometricInterpretation", nullptr, "1:Monochrome, 2:RGB, 6:YCbCr", nullptr, nullptr},
    {0x010A, "FillOrder", nullptr, nullptr, nullptr, nullptr},
    {0x010D, "DocumentName", nullptr, nullptr, nullptr, nullptr},
    {0x010E, "ImageDescription", nullptr, nullptr, nullptr, nullptr},
    {0x010F, "Make", nullptr, nullptr, nullptr, nullptr},
    {0x0110, "Model", nullptr, nullptr, nullptr, nullptr},
    {0x0111, "StripOffsets", nullptr, nullptr, nullptr, nullptr},
    {0x0112, "Orientation", nullptr, "1:Normal,3:Rotated 180°,6:CounterClockwise 90°,8:Clockwise 90°", nullptr, nullptr},
    {0x0115, "SamplesPerPixel", nullptr, nullptr, nullptr, nullptr},
    {0x0116, "RowsPerStrip", nullptr, nullptr, nullptr, nullptr},
    {0x0117, "StripByteCounts", nullptr, nullptr, nullptr, nullptr},
    {0x0118, "MinSampleValue", nullptr, nullptr, nullptr, nullptr},
    {0x0119, "MaxSampleValue", nullptr, nullptr, nullptr, nullptr},
    {0x011A, "XResolution", nullptr, nullptr, "%5.2f", nullptr},
    {0x011B, "YResolution", nullptr, nullptr, "%5.2f", nullptr},
    {0x011C, "PlanarConfiguration", nullptr, nullptr, nullptr, nullptr},
    {0x011D, "PageName", nullptr, nullptr, nullptr, nullptr},
    {0x011E, "XPosition", nullptr, nullptr, nullptr, nullptr},
    {0x011F, "YPosition", nullptr, nullptr, nullptr, nullptr},
    {0x0120, "FreeOffsets", nullptr, nullptr, nullptr, nullptr},
    {0x0121, "FreeByteCounts", nullptr, nullptr, nullptr, nullptr},
    {0x0122, "GrayReponseUnit", nullptr, nullptr, nullptr, nullptr},
    {0x0123, "GrayReponseCurve", nullptr, nullptr, nullptr, nullptr},
    {0x0124, "T4Options", nullptr, nullptr, nullptr, nullptr},
    {0x0125, "T6Options", nullptr, nullptr, nullptr, nullptr},
    {0x0128, "ResolutionUnit", nullptr, "1:None Specified,2:Inch,3:Centimeter", nullptr, nullptr},
    {0x0129, "PageNumber", nullptr, nullptr, nullptr, nullptr},
    {0x012D, "TransferFunction", nullptr, nullptr, nullptr, nullptr},
    {0x0131, "Software", nullptr, nullptr, nullptr, nullptr},
    {0x0132, "DateTime", nullptr, nullptr, nullptr, nullptr},
    {0x013B, "Artist", nullptr, nullptr, nullptr, nullptr},
    {0x013C, "HostComputer", nullptr, nullptr, nullptr, nullptr},
    {0x013D, "Predictor", nullptr, nullptr, nullptr, nullptr},
    {0x013E, "WhitePoint", nullptr, nullptr, nullptr, nullptr},
    {0x013F, "PrimaryChromaticities", nullptr, nullptr, nullptr, nullptr},
    {0x0140, "ColorMap", nullptr, nullptr, nullptr, nullptr},
    {0x0141, "HalfToneHints", nullptr, nullptr, nullptr, nullptr},
    {0x0142, "TileWidth", nullptr, nullptr, nullptr, nullptr},
    {0x0143, "TileLength", nullptr, nullptr, nullptr, nullptr},
    {0x0144, "TileOffsets", nullptr, nullptr, nullptr, nullptr},
    {0x0145, "TileByteCounts", nullptr, nullptr, nullptr, nullptr},
    {0x014A, "SubIFDs", nullptr, nullptr, nullptr, nullptr},
    {0x014C, "InkSet", nullptr, nullptr, nullptr, nullptr},
    {0x014D, "InkNames", nullptr, nullptr, nullptr, nullptr},
    {0x014E, "NumberOfInks", nullptr, nullptr, nullptr, nullptr},
    {0x0150, "DotRange", nullptr, nullptr, nullptr, nullptr},
    {0x0151, "TargetPrinter", nullptr, nullptr, nullptr, nullptr},
    {0x0152, "ExtraSample", nullptr, nullptr, nullptr, nullptr},
    {0x0153, "SampleFormat", nullptr, nullptr, nullptr, nullptr},
    {0x0154, "SMinSampleValue", nullptr, nullptr, nullptr, nullptr},
    {0x0155, "SMaxSampleValue", nullptr, nullptr, nullptr, nullptr},
    {0x0156, "TransferRange", nullptr, nullptr, nullptr, nullptr},
    {0x0157, "ClipPath", nullptr, nullptr, nullptr, nullptr},
    {0x0158, "XClipPathUnits", nullptr, nullptr, nullptr, nullptr},
    {0x0159, "YClipPathUnits", nullptr, nullptr, nullptr, nullptr},
    {0x015A, "Indexed", nullptr, nullptr, nullptr, nullptr},
    {0x015B, "JPEGTables", nullptr, nullptr, nullptr, nullptr},
    {0x015F, "OPIProxy", nullptr, nullptr, nullptr, nullptr},
    {0x0200, "JPEGProc", nullptr, nullptr, nullptr, nullptr},
    {0x0201, "JPEGInterchangeFormat", nullptr, nullptr, nullptr, nullptr},
    {0x0202, "JPEGInterchangeFormatLength", nullptr, nullptr, nullptr, nullptr},
    {0x0203, "JPEGRestartInterval", nullptr, nullptr, nullptr, nullptr},
    {0x0205, "JPEGLosslessPredictors", nullptr, nullptr, nullptr, nullptr},
    {0x0206, "JPEGPointTransforms", nullptr, nullptr, nullptr, nullptr},
    {0x0207, "JPEGQTables", nullptr, nullptr, nullptr, nullptr},
    {0x0208, "JPEGDCTables", nullptr, nullptr, nullptr, nullptr},
    {0x0209, "JPEGACTables", nullptr, nullptr, nullptr, nullptr},
    {0x0211, "YCbCrCoefficients", nullptr, nullptr, nullptr, nullptr},
    {0x0212, "YCbCrSubSampling", nullptr, nullptr, nullptr, nullptr},
    {0x0213, "YCbCrPositioning", nullptr, "1:Centered,2:Co-sited", nullptr, nullptr},
    {0x0214, "ReferenceBlackWhite", nullptr, nullptr, nullptr, nullptr},
    {0x02BC, "ExtensibleMetadataPlatform", nullptr, nullptr, nullptr, nullptr},
    {0x0301, "Gamma", nullptr, nullptr, nullptr, nullptr},
    {0x0302, "ICCProfileDescriptor", nullptr, nullptr, nullptr, nullptr},
    {0x0303, "SRGBRenderingIntent", nullptr, nullptr, nullptr, nullptr},
    {0x0304, "ImageTitle", nullptr, nullptr, nullptr, nullptr},
    {0x1000, "RelatedImageFileFormat", nullptr, nullptr, nullptr, nullptr},
    {0x1001, "RelatedImageWidth", nullptr, nullptr, nullptr, nullptr},
    {0x1002, "RelatedImageHeight", nullptr, nullptr, nullptr, nullptr},
    {0x5001, "ResolutionXUnit", nullptr, nullptr, nullptr, nullptr},
    {0x5002, "ResolutionYUnit", nullptr, nullptr, nullptr, nullptr},
    {0x5003, "ResolutionXLengthUnit", nullptr, nullptr, nullptr, nullptr},
    {0x5004, "ResolutionYLengthUnit", nullptr, nullptr, nullptr, nullptr},
    {0x5005, "PrintFlags", nullptr, nullptr, nullptr, nullptr},
    {0x5006, "PrintFlagsVersion", nullptr, nullptr, nullptr, nullptr},
    {0x5007, "PrintFlagsCrop", nullptr, nullptr, nullptr, nullptr},
    {0x5008, "PrintFlagsBleedWidth", nullptr, nullptr, nullptr, nullptr},
    {0x5009, "PrintFlagsBleedWidthScale", nullptr, nullptr, nullptr, nullptr},
    {0x500A, "HalftoneLPI", nullptr, nullptr, nullptr, nullptr},
    {0x500B, "HalftoneLPIUnit", nullptr, nullptr, nullptr, nullptr},
    {0x500C, "HalftoneDegree", nullptr, nullptr, nullptr, nullptr},
    {0x500D, "HalftoneShape", nullptr, nullptr, nullptr, nullptr},
    {0x500E, "HalftoneMisc", nullptr, nullptr, nullptr, nullptr},
    {0x500F, "HalftoneScreen", nullptr, nullptr, nullptr, nullptr},
    {0x5010, "JPEGQuality", nullptr, nullptr, nullptr, nullptr},
    {0x5011, "GridSize", nullptr, nullptr, nullptr, nullptr},
    {0x5012, "ThumbnailFormat", nullptr, nullptr, nullptr, nullptr},
    {0x5013, "ThumbnailWidth", nullptr, nullptr, nullptr, nullptr},
    {0x5014, "ThumbnailHeight", nullptr, nullptr, nullptr, nullptr},
    {0x5015, "ThumbnailColorDepth", nullptr, nullptr, nullptr, nullptr},
    {0x5016, "ThumbnailPlanes", nullptr, nullptr, nullptr, nullptr},
    {0x5017, "ThumbnailRawBytes", nullptr, nullptr, nullptr, nullptr},
    {0x5018, "ThumbnailSize", nullptr, nullptr, nullptr, nullptr},
    {0x5019, "ThumbnailCompressedSize", nullptr, nullptr, nullptr, nullptr},
    {0x501A, "ColorTransferFunction", nullptr, nullptr, nullptr, nullptr},
    {0x501B, "ThumbnailData", nullptr, nullptr, nullptr, nullptr},
    {0x5020, "ThumbnailImageWidth", nullptr, nullptr, nullptr, nullptr},
    {0x5021, "ThumbnailImageHeight", nullptr, nullptr, nullptr, nullptr},
    {0x5022, "ThumbnailBitsPerSample", nullptr, nullptr, nullptr, nullptr},
    {0x5023, "ThumbnailCompression", nullptr, nullptr, nullptr, nullptr},
    {0x5024, "ThumbnailPhotometricInterp", nullptr, nullptr, nullptr, nullptr},
    {0x5025, "ThumbnailImageDescription", nullptr, nullptr, nullptr, nullptr},
    {0x5026, "ThumbnailEquipMake", nullptr, nullptr, nullptr, nullptr},
    {0x5027, "ThumbnailEquipModel", nullptr, nullptr, nullptr, nullptr},
    {0x5028, "ThumbnailStripOffsets", nullptr, nullptr, nullptr, nullptr},
    {0x5029, "ThumbnailOrientation", nullptr, nullptr, nullptr, nullptr},
    {0x502A, "ThumbnailSamplesPerPixel", nullptr, nullptr, nullptr, nullptr},
    {0x502B, "ThumbnailRowsPerStrip", nullptr, nullptr, nullptr, nullptr},
    {0x502C, "ThumbnailStripBytesCount", nullptr, nullptr, nullptr, nullptr},
    {0x502D, "ThumbnailResolutionX", nullptr, nullptr, nullptr, nullptr},
    {0x502E, "ThumbnailResolutionY", nullptr, nullptr, nullptr, nullptr},
    {0x502F, "ThumbnailPlanarConfig", nullptr, nullptr, nullptr, nullptr},
    {0x5030, "ThumbnailResolutionUnit", nullptr, nullptr, nullptr, nullptr},
    {0x5031, "ThumbnailTransferFunction", nullptr, nullptr, nullptr, nullptr},
    {0x5032, "ThumbnailSoftwareUsed", nullptr, nullptr, nullptr, nullptr},
    {0x5033, "ThumbnailDateTime", nullptr, nullptr, nullptr, nullptr},
    {0x5034, "ThumbnailArtist", nullptr, nullptr, nullptr, nullptr},
    {0x5035, "ThumbnailWhitePoint", nullptr, nullptr, nullptr, nullptr},
    {0x5036, "ThumbnailPrimaryChromaticities", nullptr, nullptr, nullptr, nullptr},
    {0x5037, "ThumbnailYCbCrCoefficients", nullptr, nullptr, nullptr, nullptr},
    {0x5038, "ThumbnailYCbCrSubsampling", nullptr, nullptr, nullptr, nullptr},
    {0x5039, "ThumbnailYCbCrPositioning", nullptr, nullptr, nullptr, nullptr},
    {0x503A, "ThumbnailRefBlackWhite", nullptr, nullptr, nullptr, nullptr},
    {0x503B, "ThumbnailCopyRight", nullptr, nullptr, nullptr, nullptr},
    {0x5090, "LuminanceTable", nullptr, nullptr, nullptr, nullptr},
    {0x5091, "ChrominanceTable", nullptr, nullptr, nullptr, nullptr},
    {0x5100, "FrameDelay", nullptr, nullptr, nullptr, nullptr},
    {0x5101, "LoopCount", nullptr, nullptr, nullptr, nullptr},
    {0x5110, "PixelUnit", nullptr, nullptr, nullptr, nullptr},
    {0x5111, "PixelPerUnitX", nullptr, nullptr, nullptr, nullptr},
    {0x5112, "PixelPerUnitY", nullptr, nullptr, nullptr, nullptr},
    {0x5113, "PaletteHistogram", nullptr, nullptr, nullptr, nullptr},
    {0x800D, "ImageID", nullptr, nullptr, nullptr, nullptr},
    {0x80E3, "Matteing", nullptr, nullptr, nullptr, nullptr},
    {0x80E4, "DataType", nullptr, nullptr, nullptr, nullptr},
    {0x80E5, "ImageDepth", nullptr, nullptr, nullptr, nullptr},
    {0x80E6, "TileDepth", nullptr, nullptr, nullptr, nullptr},
    {0x828D, "CFARepeatPatternDim", nullptr, nullptr, nullptr, nullptr},
    {0x828E, "CFAPattern", nullptr, nullptr, nullptr, nullptr},
    {0x828F, "BatteryLevel", nullptr, nullptr, nullptr, nullptr},
    {0x8298, "Copyright", nullptr, nullptr, nullptr, nullptr},
    {0x829A, "ExposureTime", nullptr, nullptr, "%s sec", nullptr},
    {0x829D, "FNumber", nullptr, nullptr, "F%0.1f", nullptr},
    {0x83BB, "IPTC/NAA", "IPTC/NAA", nullptr, nullptr, nullptr},
    {0x84E3, "IT8RasterPadding", nullptr, nullptr, nullptr, nullptr},
    {0x84E5, "IT8ColorTable", nullptr, nullptr, nullptr, nullptr},
    {0x8649, "ImageResourceInformation", nullptr, nullptr, nullptr, nullptr},
    {0x8769, "ExifOffset", nullptr, nullptr, nullptr, nullptr},
    {0x8773, "InterColorProfile", nullptr, nullptr, nullptr, nullptr},
    {0x8822, "ExposureProgram", nullptr, "0:Unidentified,1:Manual,2:Normal,3:Aperture priority,4:Shutter priority,5:Creative(slow),6:Action(high-speed),7:Portrait mode,8:Landscape mode", nullptr, nullptr},
    {0x8824, "SpectralSensitivity", nullptr, nullptr, nullptr, nullptr},
    {0x8825, "GPSInfo", nullptr, nullptr, nullptr, nullptr},
    {0x8827, "ISOSpeedRatings", nullptr, nullptr, nullptr, nullptr},
    {0x8828, "OECF", nullptr, nullptr, nullptr, nullptr},
    {0x8829, "Interlace", nullptr, nullptr, nullptr, nullptr},
    {0x882A, "TimeZoneOffset", nullptr, nullptr, nullptr, nullptr},
    {0x882B, "SelfTimerMode", nullptr, nullptr, nullptr, nullptr},
    {0x9000, "ExifVersion", nullptr, nullptr, nullptr, nullptr},
    {0x9003, "DateTimeOriginal", nullptr, nullptr, nullptr, nullptr},
    {0x9004, "DateTimeDigitized", nullptr, nullptr, nullptr, nullptr},
    {0x9101, "ComponentsConfiguration", nullptr, nullptr, nullptr, ComponentsConfigurationText},
    {0x9102, "CompressedBitsPerPixel", nullptr, nullptr, nullptr, nullptr},
    {0x9201, "ShutterSpeedValue", nullptr, nullptr, nullptr, ShutterSpeedText},
    {0x9202, "ApertureValue", nullptr, nullptr, nullptr, ApexApertureText},
    {0x9203, "BrightnessValue", nullptr, nullptr, nullptr, nullptr},
    {0x9204, "ExposureBiasValue", nullptr, nullptr, nullptr, nullptr},
    {0x9205, "MaxApertureValue", nullptr, nullptr, nullptr, ApexApertureText},
    {0x9206, "SubjectDistance", nullptr, nullptr, nullptr, nullptr},
    {0x9207, "MeteringMode", nullptr, "0:Unknown,1:Average,2:Center,3:Spot,4:MultiSpot,5:MultiSegment,6:Partial", nullptr, nullptr},
    {0x9208, "LightSource", nullptr, "0:Unidentified,1:Daylight,2:Fluorescent,3:Tungsten,10:Flash,17:Std A,18:Std B,19:Std C", nullptr, nullptr},
    {0x9209, "Flash", nullptr, nullptr, nullptr, FlashText},
    {0x920A, "FocalLength", nullptr, nullptr, "%5.2f mm", nullptr},
    {0x920B, "FlashEnergy", nullptr, nullptr, nullptr, nullptr},
    {0x920C, "SpatialFrequencyResponse", nullptr, nullptr, nullptr, nullptr},
    {0x920D, "Noise", nullptr, nullptr, nullptr, nullptr},
    {0x920E, "FocalPlaneXResolution", nullptr, nullptr, nullptr, nullptr},
    {0x920F, "FocalPlaneYResolution", nullptr, nullptr, nullptr, nullptr},
    {0x9210, "FocalPlaneResolutionUnit", nullptr, "1:None Specified,2:Inch,3:Centimeter", nullptr, nullptr},
    {0x9211, "ImageNumber", nullptr, nullptr, nullptr, nullptr},
    {0x9212, "SecurityClassification", nullptr, nullptr, nullptr, nullptr},
    {0x9213, "ImageHistory", nullptr, nullptr, nullptr, nullptr},
    {0x9214, "SubjectLocation", nullptr, nullptr, nullptr, nullptr},
    {0x9215, "ExposureIndex", nullptr, nullptr, nullptr, nullptr},
    {0x9216, "TIFF/EPStandardID", nullptr, nullptr, nullptr, nullptr},
    {0x9217, "SensingMethod", nullptr, nullptr, nullptr, nullptr},
    {0x923F, "StoNits", nullptr, nullptr, nullptr, nullptr},
    {0x927C, "MakerNote", nullptr, nullptr, nullptr, nullptr},
    {0x9286, "UserComment", nullptr, nullptr, nullptr, UserCommentText},
    {0x9290, "SubSecTime", nullptr, nullptr, nullptr, nullptr},
    {0x9291, "SubSecTimeOriginal", nullptr, nullptr, nullptr, nullptr},
    {0x9292, "SubSecTimeDigitized", nullptr, nullptr, nullptr, nullptr},
    {0x953C, "ImageSourceData", nullptr, nullptr, nullptr, nullptr},
    {0x9C9B, "Title", nullptr, nullptr, nullptr, WindowsXpText},
    {0x9C9C, "Comments", nullptr, nullptr, nullptr, WindowsXpText},
    {0x9C9D, "Author", nullptr, nullptr, nullptr, WindowsXpText},
    {0x9C9E, "Keywords", nullptr, nullptr, nullptr, WindowsXpText},
    {0x9C9F, "Subject", nullptr, nullptr, nullptr, WindowsXpText},
    {0xA000, "FlashPixVersion", nullptr, nullptr, nullptr, nullptr},
    {0xA001, "ColorSpace", nullptr, "0:sBW,1:sRGB", nullptr, nullptr},
    {0xA002, "ExifImageWidth", nullptr, nullptr, nullptr, nullptr},
    {0xA003, "ExifImageLength", nullptr, nullptr, nullptr, nullptr},
    {0xA004, "RelatedSoundFile", nullptr, nullptr, nullptr, nullptr},
    {0xA005, "InteroperabilityOffset", nullptr, nullptr, nullptr, nullptr},
    {0xA20B, "FlashEnergy", nullptr, nullptr, nullptr, nullptr},
    {0xA20C, "SpatialFrequencyResponse", nullptr, nullptr, nullptr, nullptr},
    {0xA20E, "FocalPlaneXResolution", nullptr, nullptr, nullptr, nullptr},
    {0xA20F, "FocalPlaneYResolution", nullptr, nullptr, nullptr, nullptr},
    {0xA210, "FocalPlaneResolutionUnit", nullptr, "1:None Specified,2:Inch,3:Centimeter", nullptr, nullptr},
    {0xA211, "ImageNumber", nullptr, nullptr, nullptr, nullptr},
    {0xA212, "SecurityClassification", nullptr, nullptr, nullptr, nullptr},
    {0xA213, "ImageHistory", nullptr, nullptr, nullptr, nullptr},
    {0xA214, "SubjectLocation", nullptr, nullptr, nullptr, nullptr},
    {0xA215, "ExposureIndex", nullptr, nullptr, nullptr, nullptr},
    {0xA216, "TIFF/EPStandardID", "TIFF/EPStandardID", nullptr, nullptr, nullptr},
    {0xA217, "SensingMethod", nullptr, "0:Unknown,1:MonochromeArea,2:OneChipColorArea,3:TwoChipColorArea,4:ThreeChipColorArea,5:ColorSequentialArea,6:MonochromeLinear,7:TriLinear,8:ColorSequentialLinear", nullptr, nullptr},
    {0xA300, "FileSource", nullptr, "1:Unknown,3:Digital Still Camera", nullptr, nullptr},
    {0xA301, "SceneType", nullptr, "0:Unknown,1:Directly Photographed", nullptr, nullptr},
    {0xA302, "CFAPattern", nullptr, nullptr, nullptr, nullptr},
    {0xA401, "CustomRendered", nullptr, "0:Normal process,1:Custom process", nullptr, nullptr},
    {0xA402, "ExposureMode", nullptr, "0:Auto,1:Manual,2:Auto bracket", nullptr, nullptr},
    {0xA403, "WhiteBalance", nullptr, "0:Auto,1:Manual", nullptr, nullptr},
    {0xA404, "DigitalZoomRatio", nullptr, nullptr, nullptr, nullptr},
    {0xA405, "FocalLengthin35mmFilm", "Focal Length in 35mm Film", nullptr, "%5.2f mm", nullptr},
    {0xA406, "SceneCaptureType", nullptr, "0:Standard,1:Landscape,2:Portrait,3:Night scene", nullptr, nullptr},
    {0xA407, "GainControl", nullptr, "0:None,1:Low gain up,2:High gain up,3:Low gain down,4:High gain down", nullptr, nullptr},
    {0xA408, "Contrast", nullptr, "0:Normal,1:Soft,2:Hard", nullptr, nullptr},
    {0xA409, "Saturation", nullptr, "0:Normal,1:Low,2:High", nullptr, nullptr},
    {0xA40A, "Sharpness", nullptr, "0:Normal,1:Soft,2:Hard", nullptr, nullptr},
    {0xA40B, "DeviceSettingDescription", nullptr, nullptr, nullptr, nullptr},
    {0xA40C, "SubjectDistanceRange", nullptr, "0:Unknown,1:Macro,2:Close view,3:Distant view", nullptr, nullptr},
    {0xA420, "ImageUniqueID", nullptr, nullptr, nullptr, nullptr},
    {0x0000, "Unknown", nullptr, nullptr, nullptr, nullptr},
};
static_assert(sizeof(kExifRows) / sizeof(kExifRows[0]) == 251, "EXIF/TIFF table has 251 rows");

// The GPS directory's tags 0x00..0x1E.
const TTagRow kGpsRows[] = {
    {0x00, "GPSVersionID", nullptr, nullptr, nullptr, nullptr},
    {0x01, "GPSLatitudeRef", nullptr, nullptr, nullptr, nullptr},
    {0x02, "GPSLatitude", nullptr, nullptr, nullptr, GpsDegreesText},
    {0x03, "GPSLongitudeRef", nullptr, nullptr, nullptr, nullptr},
    {0x04, "GPSLongitude", nullptr, nullptr, nullptr, GpsDegreesText},
    {0x05, "GPSAltitudeRef", nullptr, "0:Sealevel", nullptr, nullptr},
    {0x06, "GPSAltitude", nullptr, nullptr, nullptr, nullptr},
    {0x07, "GPSTimeStamp", nullptr, nullptr, nullptr, GpsTimeText},
    {0x08, "GPSSatellites", nullptr, nullptr, nullptr, nullptr},
    {0x09, "GPSStatus", nullptr, nullptr, nullptr, nullptr},
    {0x0A, "GPSMeasureMode", nullptr, nullptr, nullptr, nullptr},
    {0x0B, "GPSDOP", nullptr, nullptr, nullptr, nullptr},
    {0x0C, "GPSSpeedRef", nullptr, nullptr, nullptr, nullptr},
    {0x0D, "GPSSpeed", nullptr, nullptr, nullptr, nullptr},
    {0x0E, "GPSTrackRef", nullptr, nullptr, nullptr, nullptr},
    {0x0F, "GPSTrack", nullptr, nullptr, nullptr, nullptr},
    {0x10, "GPSImgDirectionRef", nullptr, nullptr, nullptr, nullptr},
    {0x11, "GPSImgDirection", nullptr, nullptr, nullptr, nullptr},
    {0x12, "GPSMapDatum", nullptr, nullptr, nullptr, nullptr},
    {0x13, "GPSDestLatitudeRef", nullptr, nullptr, nullptr, nullptr},
    {0x14, "GPSDestLatitude", nullptr, nullptr, nullptr, GpsDegreesText},
    {0x15, "GPSDestLongitudeRef", nullptr, nullptr, nullptr, nullptr},
    {0x16, "GPSDestLongitude", nullptr, nullptr, nullptr, GpsDegreesText},
    {0x17, "GPSDestBearingRef", nullptr, nullptr, nullptr, nullptr},
    {0x18, "GPSDestBearing", nullptr, nullptr, nullptr, nullptr},
    {0x19, "GPSDestDistanceRef", nullptr, nullptr, nullptr, nullptr},
    {0x1A, "GPSDestDistance", nullptr, nullptr, nullptr, nullptr},
    {0x1B, "GPSProcessingMethod", nullptr, nullptr, nullptr, nullptr},
    {0x1C, "GPSAreaInformation", nullptr, nullptr, nullptr, nullptr},
    {0x1D, "GPSDateStamp", nullptr, nullptr, nullptr, nullptr},
    {0x1E, "GPSDifferential", nullptr, nullptr, nullptr, nullptr},
};
static_assert(sizeof(kGpsRows) / sizeof(kGpsRows[0]) == 31, "GPS table has 31 rows");

struct TMarkerRow {
  uint16_t marker;
  const char* desc;
};
const TMarkerRow kMarkerRows[] = {
    {0xC0, "Baseline"},
    {0xC1, "Extended sequential"},
    {0xC2, "Progressive"},
    {0xC3, "Lossless"},
    {0xC4, "Define Huffman table"},
    {0xC5, "Differential sequential"},
    {0xC6, "Differential progressive"},
    {0xC7, "Differential lossless"},
    {0xC9, "Extended sequential, arithmetic coding"},
    {0xCA, "Progressive, arithmetic coding"},
    {0xCB, "Lossless, arithmetic coding"},
    {0xCD, "Differential sequential, arithmetic coding"},
    {0xCC, "Define arithmetic coding conditioning"},
    {0xCE, "Differential progressive, arithmetic coding"},
    {0xCF, "Differential lossless, arithmetic coding"},
    {0xD8, "Start of Image"},
    {0xD9, "End of Image"},
    {0xDA, "Start of Scan"},
    {0xDB, "Define quantization table"},
    {0xDC, "Define number of lines"},
    {0xDD, "Restart interoperability definition"},
    {0xDE, "Define hierarchical progression"},
    {0xDF, "Expand reference component"},
    {0xE0, "JPG marker"},
    {0xE1, "Exif Data"},
    {0xE2, "Exif Extended Data"},
    {0xFE, "Comment"},
    {0xED, "IPTC data"},
    {0xEE, "Photoshop data"},
    {0x00, "Unknown"},
};

std::vector<TTagEntry> BuildTable(const TTagRow* rows, size_t count) {
  std::vector<TTagEntry> table;
  table.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    TTagEntry e;
    e.Tag = rows[i].tag;
    e.Name = Str(rows[i].name);
    e.Desc = Str(rows[i].desc);
    if (e.Desc.empty()) e.Desc = DescriptionFromName(e.Name);
    e.Code = Str(rows[i].code);
    e.FormatS = Str(rows[i].formatS);
    e.Callback = rows[i].callback;
    table.push_back(std::move(e));
  }
  return table;
}

}  // namespace

std::string DescriptionFromName(const std::string& name) {
  if (name.size() < 2) return name;
  auto capital = [](char c) { return c >= 'A' && c <= 'Z'; };
  std::string desc(1, name[0]);
  for (size_t i = 1; i < name.size(); ++i) {
    if (capital(name[i]) && !capital(name[i - 1])) desc += ' ';
    desc += name[i];
  }
  return desc;
}

const std::vector<TTagEntry>& ExifTagTable() {
  static const std::vector<TTagEntry> table = BuildTable(kExifRows, std::size(kExifRows));
  return table;
}

const std::vector<TTagEntry>& GpsTagTable() {
  static const std::vector<TTagEntry> table = BuildTable(kGpsRows, std::size(kGpsRows));
  return table;
}

const std::vector<TTagEntry>& JpegMarkerTable() {
  static const std::vector<TTagEntry> table = [] {
    std::vector<TTagEntry> t;
    for (const auto& row : kMarkerRows) {
      TTagEntry e;
      e.Tag = row.marker;
      e.Desc = row.desc;
      t.push_back(std::move(e));
    }
    return t;
  }();
  return table;
}

namespace {

// The rows of a table by tag number; where a tag has several rows, the last one counts.
class TTagIndex {
 public:
  TTagIndex(const std::vector<TTagEntry>& table, size_t rows) {
    for (size_t i = 0; i < rows; ++i) rows_.emplace_back(table[i].Tag, &table[i]);
    // Stable, so that among equal tags the last row stays last.
    std::stable_sort(rows_.begin(), rows_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  }
  const TTagEntry* Find(uint16_t tag) const {
    const auto end =
        std::upper_bound(rows_.begin(), rows_.end(), tag, [](uint16_t t, const auto& row) { return t < row.first; });
    return end != rows_.begin() && std::prev(end)->first == tag ? std::prev(end)->second : nullptr;
  }

 private:
  std::vector<std::pair<uint16_t, const TTagEntry*>> rows_;
};

}  // namespace

const TTagEntry& TImageInfo::LookupTagDef(uint16_t tag, int kind) {
  // A read looks up every entry of every directory: the tables are indexed once.
  const auto& exif = ExifTagTable();
  static const TTagIndex exifIndex(exif, exif.size() - 1);  // the terminator is not searched
  static const TTagIndex gpsIndex(GpsTagTable(), GpsTagTable().size());
  const TTagEntry* found = kind == kMainDirectory ? exifIndex.Find(tag)
                           : kind == kGpsDirectory ? gpsIndex.Find(tag)
                                                   : nullptr;
  return found ? *found : exif.back();
}

int TImageInfo::FindExifRowByName(const std::string& name) {
  const auto& exif = ExifTagTable();
  for (size_t i = 0; i + 1 < exif.size(); ++i)
    if (SameText(exif[i].Name, name)) return int(i);
  return -1;
}
