// The maker-note tables of the makes the dispatch knows: tag, name, shown name
// where it differs, value-code list and decoder. Texts are shown as they stand.
#include "metadata/MakerNoteData.h"

namespace {

using D = TMakerDecoder;

const TMakerNoteRow kNikonType1[] = {
    {0x0002, "FamilyID", nullptr, nullptr, D::None},
    {0x0003, "Quality", nullptr,
     "1:Vga Basic,2:Vga Normal,3:Vga Fine,4:SXGA Basic,5:SXGA Normal,6:SXGA Fine,10:2 Mpixel Basic,11:2 Mpixel "
     "Normal,12:2 Mpixel Fine",
     D::None},
    {0x0004, "ColorMode", nullptr, "1:Color,2:Monochrome", D::None},
    {0x0005, "ImageAdjustment", nullptr, "0:Normal,1:Bright+,2:Bright-,3:Contrast+,4:Contrast-", D::None},
    {0x0006, "ISOSpeed", nullptr, "0:ISO80,2:ISO160,4:ISO320,5:ISO100", D::None},
    {0x0007, "WhiteBalance", nullptr,
     "0:Auto,1:Preset,2:Daylight,3:Incandescense,4:Fluorescence,5:Cloudy,6:SpeedLight", D::None},
    {0x0008, "Focus", nullptr, nullptr, D::None},
    {0x0009, "Skip", nullptr, nullptr, D::None},
    {0x000A, "DigitalZoom", nullptr, nullptr, D::None},
    {0x000B, "Converter", nullptr, "0:Not used,1:Used", D::None},
    {0x0F00, "Skip", nullptr, nullptr, D::None},
};

const TMakerNoteRow kNikonD[] = {
    {0x0001, "FamilyID", "Family ID", nullptr, D::None},
    {0x0002, "ISOSpeed", "ISO Speed", nullptr, D::None},
    {0x0003, "ColorMode", "Color Mode", nullptr, D::None},
    {0x0004, "Quality", nullptr, nullptr, D::None},
    {0x0005, "WhiteBalance", "White Balance", nullptr, D::None},
    {0x0006, "ImageSharpening", "Image Sharpening", nullptr, D::None},
    {0x0007, "FocusMode", "Focus Mode", nullptr, D::None},
    {0x0008, "FlashSetting", "Flash Setting", nullptr, D::None},
    {0x0009, "AutoFlashMode", "Auto Flash Mode", nullptr, D::None},
    {0x000A, "Skip", nullptr, nullptr, D::None},
    {0x000B, "WhiteBiasValue", "White Bias Value", nullptr, D::None},
    {0x000F, "DigitalZoom", "Digital Zoom", nullptr, D::None},
    {0x0010, "Skip", nullptr, nullptr, D::None},
    {0x0011, "Skip", nullptr, nullptr, D::None},
    {0x0080, "ImageAdjustment", "Image adjustment setting", nullptr, D::None},
    {0x0081, "ToneComp", "Tone Compensation", nullptr, D::None},
    {0x0082, "Adapter", nullptr, nullptr, D::None},
    {0x0083, "LensType", "Lens Type", nullptr, D::NikonLensType},
    {0x0084, "LensInformation", "Lens Information", nullptr, D::NikonLensRange},
    {0x0085, "ManualFocusDistance", "Manual Focus Distance", nullptr, D::None},
    {0x0086, "DigitalZoom", "Digital Zoom", nullptr, D::None},
    {0x0088, "FocusArea", "Focus Area", nullptr, D::None},
    {0x0089, "Mode", nullptr, nullptr, D::None},
    {0x008D, "ColorMode", "Color Mode", nullptr, D::NikonColourMode},
    {0x008F, "SceneMode", "Scene Mode", nullptr, D::None},
    {0x0092, "HueAdjustment", "Hue Adjustment", nullptr, D::None},
    {0x0094, "Saturation", nullptr, nullptr, D::None},
    {0x0095, "NoiseReduction", "Noise Reduction", nullptr, D::None},
    {0x0F00, "Skip", nullptr, nullptr, D::None},
};

const TMakerNoteRow kCasio[] = {
    {0x0001, "RecordingMode", nullptr, "1:Single Shutter,2:Panorama,3:Night Scene,4:Portrait,5:Landscape", D::None},
    {0x0002, "Quality", nullptr, "1:Economy,2:Normal,3:Fine", D::None},
    {0x0003, "FocusingMode", nullptr, "2:Macro,3:Auto Focus,4:Manual Focus,5:Infinity", D::None},
    {0x0004, "FlashMode", nullptr, "1:Auto,2:On,3:Off,4:Red Eye Reduction", D::None},
    {0x0005, "FlashIntensity", nullptr, "11:Weak,13:Normal,15:Strong", D::None},
    {0x0006, "ObjectDistance", nullptr, nullptr, D::None},
    {0x0007, "WhiteBalance", nullptr, "1:Auto,2:Tungsten,3:Daylight,4:Fluorescent,5:Shade,129:Manual", D::None},
    {0x0008, "Skip", nullptr, nullptr, D::None},
    {0x0009, "Skip", nullptr, nullptr, D::None},
    {0x000A, "DigitalZoom", nullptr, "65536:Off,65537:2X Digital Zoom", D::None},
    {0x000B, "Sharpness", nullptr, "0:Normal,1:Soft,2:Hard", D::None},
    {0x000C, "Contrast", nullptr, "0:Normal,1:Low,2:High", D::None},
    {0x000D, "Saturation", nullptr, "0:Normal,1:Low,2:High", D::None},
    {0x000E, "Skip", nullptr, nullptr, D::None},
    {0x000F, "Skip", nullptr, nullptr, D::None},
    {0x0010, "Skip", nullptr, nullptr, D::None},
    {0x0011, "Skip", nullptr, nullptr, D::None},
    {0x0012, "Skip", nullptr, nullptr, D::None},
    {0x0013, "Skip", nullptr, nullptr, D::None},
    {0x0014, "CCDSensitivity", nullptr, "64:Normal,125:+1.0,250:+2.0,244:+3.0,80:Normal,100:High", D::None},
    {0x0015, "Skip", nullptr, nullptr, D::None},
    {0x0016, "Skip", nullptr, nullptr, D::None},
    {0x0017, "Skip", nullptr, nullptr, D::None},
    {0x0018, "Skip", nullptr, nullptr, D::None},
    {0x0019, "Skip", nullptr, nullptr, D::None},
    {0x001A, "Skip", nullptr, nullptr, D::None},
};

const TMakerNoteRow kCasioQvc[] = {
    {0x0002, "ThumbnailDimensions", "Thumbnail Dimensions", nullptr, D::None},
    {0x0003, "ThumbnailSize", "Thumbnail Size", nullptr, D::None},
    {0x0004, "ThumbnailOffset", "Thumbnail OffSet", nullptr, D::None},
    {0x0008, "Quality", nullptr, "0:Economy,1:Normal,2:Fine", D::None},
    {0x0009, "ImageSize", nullptr,
     "0:640 x 480,4:1600 x 1200,5:2048 x 1536,20:2288 x 1712,21:2592 x 1944,22:2304 x 1728,36:3008 x 2008",
     D::None},
    {0x000D, "FocusMode", nullptr, "0:Normal,1:Macro", D::None},
    {0x0014, "IsoSensitivity", nullptr, "3:50,4:64,6:100,9:200", D::None},
    {0x0019, "WhiteBalance", nullptr, "0:Auto,1:Daylight,2:Shade,3:Tungsten,4:Fluorescent,5:Manual", D::None},
    {0x001D, "FocalLength", "Focal Length (.1 mm)", nullptr, D::None},
    {0x001F, "Saturation", nullptr, "0:-1,1:Normal,2:+1", D::None},
    {0x0020, "Contrast", nullptr, "0:-1,1:Normal,2:+1", D::None},
    {0x0021, "Sharpness", nullptr, "0:-1,1:Normal,2:+1", D::None},
    {0x0E00, "PIM", "\tPrint Image Matching Info", nullptr, D::None},
    {0x2000, "Skip", nullptr, nullptr, D::None},
    {0x2001, "Skip", nullptr, nullptr, D::None},
    {0x2002, "Skip", nullptr, nullptr, D::None},
    {0x2003, "Skip", nullptr, nullptr, D::None},
    {0x2011, "WhiteBalanceBias", "White Balance Bias", nullptr, D::None},
    {0x2013, "Skip", nullptr, nullptr, D::None},
    {0x2012, "WhiteBalance", "White Balance", "0:Manual,1:Daylight,4:Flash,12:Flash", D::None},
    {0x2021, "Skip", nullptr, nullptr, D::None},
    {0x2022, "ObjectDistance", "Object Distance (mm)", nullptr, D::None},
    {0x2023, "Skip", nullptr, nullptr, D::None},
    {0x2031, "Skip", nullptr, nullptr, D::None},
    {0x2032, "Skip", nullptr, nullptr, D::None},
    {0x2033, "Skip", nullptr, nullptr, D::None},
    {0x2034, "FlashDistance", "Flash Distance", nullptr, D::None},
    {0x3000, "RecordMode", "Record Mode", "2:Normal", D::None},
    {0x3001, "SelfTimer", "Self Timer", "0:Off,1:On", D::None},
    {0x3002, "Quality", nullptr, "1:Economy,2:Normal,3:Fine", D::None},
    {0x3003, "FocusMode", "Focus Mode", "1:Fixed,3:Auto Focus,6:Multi-Area Auto Focus", D::None},
    {0x3005, "Skip", nullptr, nullptr, D::None},
    {0x3006, "TimeZone", "Time Zone", nullptr, D::None},
    {0x3007, "BestshotMode", "Bestshot Mode", "0:Off,1:On", D::None},
    {0x3011, "Skip", nullptr, nullptr, D::None},
    {0x3012, "Skip", nullptr, nullptr, D::None},
    {0x3013, "Skip", nullptr, nullptr, D::None},
    {0x3014, "CCDSensitivity", "CCD Sensitivity", nullptr, D::None},
    {0x3015, "ColorMode", "Color Mode", "0:Off,1:On", D::None},
    {0x3016, "Enhancement", nullptr, "0:Off,1:On", D::None},
    {0x3017, "Filter", nullptr, "0:Off,1:On", D::None},
    {0x3018, "Skip", nullptr, nullptr, D::None},
    {0x3019, "Skip", nullptr, nullptr, D::None},
    {0x301A, "Skip", nullptr, nullptr, D::None},
    {0x301B, "Skip", nullptr, nullptr, D::None},
};

const TMakerNoteRow kFujifilm[] = {
    {0x0000, "Version", nullptr, nullptr, D::None},
    {0x1000, "Quality", nullptr, nullptr, D::None},
    {0x1001, "Sharpness", nullptr, "1:Soft,2:Soft,3:Normal,4:Hard,5:Hard", D::None},
    {0x1002, "WhiteBalance", nullptr,
     "0:Auto,256:Daylight,512:Cloudy,768:DaylightColor-fluorescence,769:DaywhiteColor-fluorescence,770:White-"
     "fluorescence,1024:Incandenscense,3840:Custom white balance.",
     D::None},
    {0x1003, "Color", nullptr, "0:Normal,256:High,512:Low", D::None},
    {0x1004, "Tone", nullptr, "0:Normal,256:High,512:Low", D::None},
    {0x1010, "FlashMode", nullptr, "0:Auto,1:On,2:Off,3:Red-eye reduction", D::None},
    {0x1011, "FlashStrength", nullptr, nullptr, D::None},
    {0x1020, "Macro", nullptr, "0:Off,1:On", D::None},
    {0x1021, "Focusmode", nullptr, "0:Auto Focus,1:Manual Focus", D::None},
    {0x1030, "SlowSync", nullptr, "0:Off,1:On", D::None},
    {0x1031, "PictureMode", nullptr,
     "0:Auto,1:Portrait scene,2:Landscape scene,4:Sports scene,5:Night scene,6:Program AE,256:Aperture prior "
     "AE,512:Shutter prior AE,768:Manual exposure",
     D::None},
    {0x1032, "Skip", nullptr, nullptr, D::None},
    {0x1100, "ContTake/Bracket", nullptr, "0:Off,1:On", D::None},
    {0x1200, "Skip", nullptr, nullptr, D::None},
    {0x1300, "BlurWarning", nullptr, "0:No blur warning,1:Blur warning", D::None},
    {0x1301, "FocusWarning", nullptr, "0:Auto Focus good,1:Out of focus", D::None},
    {0x1302, "AEWarning", nullptr, "0:AE good,1:Over exposure", D::None},
};

const TMakerNoteRow kCanon[] = {
    {0x0000, "Skip", nullptr, nullptr, D::None},
    {0x0001, "ExposureInfo1", nullptr, nullptr, D::CanonSettings1},
    {0x0002, "Skip", nullptr, nullptr, D::None},
    {0x0003, "Skip", nullptr, nullptr, D::None},
    {0x0004, "ExposureInfo2", nullptr, nullptr, D::CanonSettings2},
    {0x0006, "ImageType", nullptr, nullptr, D::None},
    {0x0007, "FirmwareVersion", nullptr, nullptr, D::None},
    {0x0008, "ImageNumber", nullptr, nullptr, D::None},
    {0x0009, "OwnerName", nullptr, nullptr, D::None},
    {0x000A, "Skip", nullptr, nullptr, D::None},
    {0x000B, "Skip", nullptr, nullptr, D::None},
    {0x000C, "CameraSerialNumber", nullptr, nullptr, D::None},
    {0x000D, "Skip", nullptr, nullptr, D::None},
    {0x000E, "Skip", nullptr, nullptr, D::None},
    {0x000F, "CustomFunctions", nullptr, nullptr, D::CanonCustomFunctions},
    {0x0010, "Skip", nullptr, nullptr, D::None},
};

const TMakerNoteRow kEpson[] = {
    {0x0200, "Special Mode", nullptr, nullptr, D::None},
    {0x0201, "JpegQuality", nullptr, nullptr, D::None},
    {0x0202, "Macro", nullptr, nullptr, D::None},
    {0x0203, "Skip", nullptr, nullptr, D::None},
    {0x0204, "DigiZoom", nullptr, nullptr, D::None},
    {0x0209, "CameraID", nullptr, nullptr, D::None},
    {0x020A, "Comments", nullptr, nullptr, D::None},
    {0x020B, "Width", nullptr, nullptr, D::None},
    {0x020C, "Height", nullptr, nullptr, D::None},
    {0x020D, "SoftRelease", nullptr, nullptr, D::None},
    {0x0300, "??", nullptr, nullptr, D::None},
    {0x0F00, "skip", nullptr, nullptr, D::None},
};

const TMakerNoteRow kSanyo[] = {
    {0x0200, "Special Mode", nullptr, nullptr, D::None},
    {0x0201, "JpegQuality", nullptr, nullptr, D::None},
    {0x0202, "Macro", nullptr, nullptr, D::None},
    {0x0203, "Skip", nullptr, nullptr, D::None},
    {0x0204, "DigiZoom", nullptr, nullptr, D::None},
    {0x0F00, "DataDump", nullptr, nullptr, D::None},
};

const TMakerNoteRow kMinolta[] = {
    {0x0000, "ModelID", nullptr, nullptr, D::None},
    {0x0E00, "PIMdata", nullptr, nullptr, D::None},
};

static_assert(std::size(kNikonType1) == 11 && std::size(kNikonD) == 29 && std::size(kCasio) == 26 &&
                  std::size(kCasioQvc) == 45 && std::size(kFujifilm) == 18 && std::size(kCanon) == 16 &&
                  std::size(kEpson) == 12 && std::size(kSanyo) == 6 && std::size(kMinolta) == 2,
              "maker-note tables keep their row counts");

}  // namespace

TMakerNoteTable NikonType1Table() { return kNikonType1; }
TMakerNoteTable NikonDTable() { return kNikonD; }
TMakerNoteTable CasioTable() { return kCasio; }
TMakerNoteTable CasioQvcTable() { return kCasioQvc; }
TMakerNoteTable FujifilmTable() { return kFujifilm; }
TMakerNoteTable CanonTable() { return kCanon; }
TMakerNoteTable EpsonTable() { return kEpson; }
TMakerNoteTable SanyoTable() { return kSanyo; }
TMakerNoteTable MinoltaTable() { return kMinolta; }
