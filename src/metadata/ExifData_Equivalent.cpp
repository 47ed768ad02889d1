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
constexpr double kLeastEquivalent = 1.0, kGreatestEquivalent = 10000.0;
// Sensor diagonals in millimetres: the smallest phone sensors and the largest digital backs.
constexpr double kLeastSensorDiagonal = 2.0, kGreatestSensorDiagonal = 100.0;
}  // namespace

void TImageInfo::Compute35mmEquivalent() {
  if (FindTagIndex("FocalLengthin35mmFilm") >= 0) return;  // the file's own value stays
  int64_t unit = GetTagInteger("FocalPlaneResolutionUnit");
  if (unit < 1) unit = GetTagInteger("ResolutionUnit");
  const double mmPerUnit = unit == 2 ? 25.4 : unit == 3 ? 10.0 : 0.0;
  const double focalLength = GetTagNumber("FocalLength");
  if (mmPerUnit == 0 || focalLength == 0) return;

  // The focal-plane resolutions count pixels of the picture the camera took, which
  // the Exif pixel dimensions give; the size of the file's own picture (a resized
  // copy, a thumbnail) says nothing about the sensor.
  const int64_t pixelWidth = GetTagInteger("ExifImageWidth");
  const int64_t pixelHeight = GetTagInteger("ExifImageLength");
  const int64_t xr = GetTagInteger("FocalPlaneXResolution");
  const int64_t yr = GetTagInteger("FocalPlaneYResolution");
  if (pixelWidth <= 0 || pixelHeight <= 0 || xr <= 0 || yr <= 0) return;
  const double sensorWidth = double(pixelWidth) * mmPerUnit / double(xr);
  const double sensorHeight = double(pixelHeight) * mmPerUnit / double(yr);
  // Pixel dimensions of a resized copy or a thumbnail against the camera's
  // resolution give a sensor no camera has.
  const double diagonal = std::sqrt(sensorWidth * sensorWidth + sensorHeight * sensorHeight);
  if (!(diagonal >= kLeastSensorDiagonal && diagonal <= kGreatestSensorDiagonal)) return;

  double factor = 0;
  if (UpperCase(CameraMake.substr(0, 5)) != "OLYMP") factor = kFullFrameDiagonal / diagonal;
  const double equivalent = focalLength * factor;
  // No lens of a camera gives less than 1 mm or more than 10 metres: such a result
  // (Olympus files, whose factor is unknown, among them) comes from inputs that do
  // not describe the sensor, and no value is better than a wrong one.
  if (!(equivalent >= kLeastEquivalent && equivalent <= kGreatestEquivalent)) return;

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
  int32_t width, height;
  PictureSize(width, height);
  s += crlf + _("Dimensions:") + " " + IntToStr(width) + " x " + IntToStr(height);
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
