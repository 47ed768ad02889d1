// The 35 mm equivalent focal length computed from the sensor size, and the
// short summary of a read.
#include <cmath>

#include "metadata/ExifData.h"
#include "metadata/ExifData_Internal.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

namespace {
// The diagonal of the 36 x 24 mm frame in millimetres.
constexpr double kFullFrameDiagonal = 43.26661531;
}  // namespace

void TImageInfo::Compute35mmEquivalent() {
  if (FindTagIndex("FocalLengthin35mmFilm") >= 0) return;  // the file's own value stays
  int64_t unit = GetTagInteger("FocalPlaneResolutionUnit");
  if (unit < 1) unit = GetTagInteger("ResolutionUnit");
  const double mmPerUnit = unit == 2 ? 25.4 : unit == 3 ? 10.0 : 0.0;
  const double focalLength = GetTagNumber("FocalLength");
  if (mmPerUnit == 0 || focalLength == 0) return;

  const int64_t xr = GetTagInteger("FocalPlaneXResolution");
  const int64_t yr = GetTagInteger("FocalPlaneYResolution");
  const double sensorWidth = xr > 0 ? Width * mmPerUnit / double(xr) : 0.0;
  const double sensorHeight = yr > 0 ? Height * mmPerUnit / double(yr) : 0.0;

  double factor = 0;
  if (UpperCase(CameraMake.substr(0, 5)) != "OLYMP") {
    if (sensorWidth * sensorHeight <= 0) return;
    factor = kFullFrameDiagonal / std::sqrt(sensorWidth * sensorWidth + sensorHeight * sensorHeight);
  }
  const double equivalent = focalLength * factor;

  const int row = FindExifRowByName("FocalLengthIn35mmFilm");
  if (row < 0) return;
  TTagEntry record = ExifTagTable()[size_t(row)];
  record.Data = Format("%5.2f", {equivalent});
  record.Raw.clear();
  record.FormatS = "%s mm";
  record.Type = 10;
  AddTag(record);
  TagText += "\r\n" + record.Desc + " = " + record.Data;
}

std::string TImageInfo::ExifSummary() const {
  if (!Parent || !Parent->ExifSegment) return std::string();
  const std::string crlf = "\r\n";
  const std::string name = TextFromBytes(ExtractFileName(Parent->FileName));
  if (Parent->ErrStr != kStatusNone)
    return _("File Name:") + " " + name + crlf + _("Exif Error:") + " " + _(Parent->ErrStr);

  std::string s = _("File Name:") + " " + name;
  s += crlf + _("File Size:") + " " + IntToStr(Parent->FileSize / 1024) + "k";
  s += crlf + _("File Date:") + " " + DateTimeToStr(Parent->FileDate);
  // Texts from the file are shown through the one conversion of raw metadata bytes.
  s += crlf + _("Photo Date:") + " " + TextFromBytes(DateTime);
  s += crlf + _("Make (Model):") + " " + TextFromBytes(CameraMake) + " (" + TextFromBytes(CameraModel) + ")";
  s += crlf + _("Dimensions:") + " " + IntToStr(Width) + " x " + IntToStr(Height);
  if (ReadMode == 2 || ReadMode == 255) {
    auto line = [&s, &crlf](const std::string& label, const std::string& value) {
      if (!value.empty()) s += crlf + label + " " + TextFromBytes(value);
    };
    std::string exposure = GetTagValue("ExposureTime");
    if (exposure.empty()) exposure = GetTagValue("ShutterSpeedValue");
    line(_("Exposure Time:"), exposure);
    line(_("Focal Length:"), GetTagValue("FocalLength"));
    line(_("Focal Length (35mm):"), GetTagValue("FocalLengthin35mmFilm"));
    line(_("FNumber:"), GetTagValue("FNumber"));
    line(_("ISO:"), GetTagValue("ISOSpeedRatings"));
  }
  s += crlf + _("Flash:") + " " + ((FlashUsed & 1) ? _("Yes") : _("No"));
  return s;
}
