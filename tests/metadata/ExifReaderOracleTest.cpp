// The metadata reader against exiftool: files tagged by exiftool itself and the
// sample corpus. Raw values must equal exiftool's numeric reading (-n); value
// texts must be the reader's formatting of those numbers.
#include <ctime>
#include <filesystem>
#include <sys/stat.h>

#include "MetadataTestUtil.h"
#include "metadata/ExifData.h"

namespace {

using Values = std::map<std::string, std::string>;

const auto Number = mdtest::ToolNumber;
const auto Text = mdtest::ToolText;

// Degrees from the three rationals of a GPS tag as stored in the record.
double StoredDegrees(const TImageInfo& info, const std::string& name) {
  TTagEntry r;
  info.GetTagRecord(name, r);
  double value = 0, scale = 1;
  for (size_t i = 0; i + 8 <= r.Raw.size() && i < 24; i += 8, scale *= 60) {
    double num = info.IntegerOfBytes(r.Raw.substr(i, 4)), den = info.IntegerOfBytes(r.Raw.substr(i + 4, 4));
    if (den != 0) value += num / den / scale;
  }
  return value;
}

TDateTime ExifToolDate(const std::string& text) {
  int y, mo, d, h, mi, s;
  if (std::sscanf(text.c_str(), "%d:%d:%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) return 0;
  return EncodeDateTime(y, mo, d, h, mi, s, 0);
}

const std::vector<std::string> kCameraTags = {
    "-Make=Canon", "-Model=PowerShot A70", "-DateTimeOriginal=2004:05:06 07:08:09",
    "-ModifyDate=2005:01:02 03:04:05", "-ExposureTime=1/250", "-FNumber=2.8", "-ISO=400", "-FocalLength=5.8",
    "-FocalLengthIn35mmFormat=38", "-ApertureValue=2.8", "-MaxApertureValue=1.7", "-Orientation#=6", "-GPSLatitude=52.371667", "-GPSLatitudeRef=N",
    "-GPSLongitude=4.9", "-GPSLongitudeRef=E", "-GPSTimeStamp=13:45:30", "-UserComment=Hello world",
    "-EXIF:Flash#=25"};

}  // namespace

TEST(ExifReaderOracle, TagsWrittenByExifToolInBothByteOrders) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  for (const std::string order : {"II", "MM"}) {
    SCOPED_TRACE(order);
    std::vector<std::string> args = kCameraTags;
    args.push_back("-ExifByteOrder=" + order);
    const std::string file = mdtest::MakeTaggedJpeg("camera-" + order + ".jpg", args);
    const Values tool = mdtest::ExifToolValues(file);
    ASSERT_EQ(Text(tool, "ExifIFD:ExifVersion").empty(), false) << "exiftool wrote no Exif";

    TimgData data(255);
    ASSERT_TRUE(data.ReadFileMetadata(file));
    EXPECT_EQ(data.ErrStr, "<none>");
    ASSERT_TRUE(data.HasExif());
    const TImageInfo& info = *data.ImageInfo;
    EXPECT_EQ(info.MotorolaOrder, order == "MM");

    // Raw values against exiftool -n.
    EXPECT_EQ(info.CameraMake, Text(tool, "IFD0:Make"));
    EXPECT_EQ(info.CameraModel, Text(tool, "IFD0:Model"));
    EXPECT_EQ(info.DateTime, Text(tool, "ExifIFD:DateTimeOriginal"));
    // The shot's date, not the later ModifyDate.
    EXPECT_DOUBLE_EQ(info.PhotoDateTime(), ExifToolDate(Text(tool, "ExifIFD:DateTimeOriginal")));
    EXPECT_DOUBLE_EQ(info.GetTagNumber("ExposureTime"), Number(tool, "ExifIFD:ExposureTime"));
    EXPECT_DOUBLE_EQ(info.GetTagNumber("FNumber"), Number(tool, "ExifIFD:FNumber"));
    EXPECT_DOUBLE_EQ(info.GetTagNumber("FocalLength"), Number(tool, "ExifIFD:FocalLength"));
    EXPECT_EQ(info.GetTagInteger("ISOSpeedRatings"), std::lround(Number(tool, "ExifIFD:ISO")));
    EXPECT_EQ(info.GetTagInteger("FocalLengthin35mmFilm"), std::lround(Number(tool, "ExifIFD:FocalLengthIn35mmFormat")));
    EXPECT_EQ(info.GetTagInteger("Orientation"), std::lround(Number(tool, "IFD0:Orientation")));
    EXPECT_EQ(info.FlashUsed, std::lround(Number(tool, "ExifIFD:Flash")));
    EXPECT_EQ(info.Comments, Text(tool, "ExifIFD:UserComment"));
    EXPECT_EQ(info.ExifVersion, Text(tool, "ExifIFD:ExifVersion"));
    EXPECT_NEAR(StoredDegrees(info, "GPSLatitude"), Number(tool, "GPS:GPSLatitude"), 1e-6);
    EXPECT_NEAR(StoredDegrees(info, "GPSLongitude"), Number(tool, "GPS:GPSLongitude"), 1e-6);

    // Value texts: the reader's formats applied to exiftool's numbers.
    EXPECT_EQ(info.GetTagValue("FNumber"), Format("F%0.1f", {Number(tool, "ExifIFD:FNumber")}));
    for (const std::string apex : {"ApertureValue", "MaxApertureValue"})  // exiftool gives their f-numbers
      EXPECT_EQ(info.GetTagValue(apex), Format("F%0.1f", {Number(tool, "ExifIFD:" + apex)}));
    EXPECT_EQ(info.GetTagValue("FocalLength"), Format("%5.2f mm", {Number(tool, "ExifIFD:FocalLength")}));
    EXPECT_EQ(info.GetTagValue("FocalLengthin35mmFilm"), "38.00 mm");
    EXPECT_EQ(info.GetTagValue("ExposureTime"), "1/250 sec");
    EXPECT_EQ(info.GetTagValue("ISOSpeedRatings"), "400");
    EXPECT_EQ(info.GetTagValue("Orientation"), "CounterClockwise 90°");
    EXPECT_EQ(info.GetTagValue("Flash"), "On, auto mode");
    EXPECT_EQ(info.GetTagValue("ComponentsConfiguration"), "YCbCr");
    EXPECT_EQ(info.GetTagValue("UserComment"), "Hello world");
    EXPECT_EQ(info.GetTagValue("GPSLatitude"), "52 Degrees 22 Minutes 18 Seconds");
    EXPECT_EQ(info.GetTagValue("GPSLongitude"), "4 Degrees 54 Minutes 0 Seconds");
    EXPECT_EQ(info.GetTagValue("GPSTimeStamp"), Text(tool, "GPS:GPSTimeStamp"));
    EXPECT_EQ(info.GetTagValue("ExifVersion"), "\"0232\"");
    EXPECT_NE(info.TagText.find("\r\nGPSLatitude Ref = N"), std::string::npos);
    // GPSVersionID has tag number 0, a tag like any other.
    EXPECT_EQ(info.GetTagValue("GPSVersionID"), StringReplace(Text(tool, "GPS:GPSVersionID"), " ", ", ", rfReplaceAll));
    EXPECT_NE(info.TagText.find("\r\nGPSVersion ID = "), std::string::npos);
    TTagEntry version;
    info.GetTagRecord("GPSVersionID", version);
    EXPECT_EQ(version.Tag, 0);
    EXPECT_EQ(version.Raw, std::string("\x02\x03\x00\x00", 4));
    // Read in Dutch, the numbers take its decimal separator.
    mdtest::Language dutch("nl");
    ASSERT_TRUE(data.ReadFileMetadata(file));
    EXPECT_EQ(data.ImageInfo->GetTagValue("FNumber"), "F2,8");
    EXPECT_EQ(data.ImageInfo->GetTagValue("FocalLength"), " 5,80 mm");
    EXPECT_EQ(data.ImageInfo->GetTagValue("FocalLengthin35mmFilm"), "38,00 mm");
  }
}

TEST(ExifReaderOracle, SummaryThumbnailAndIptcSegment) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string file = mdtest::MakeTaggedJpeg("summary.jpg", kCameraTags);
  const Values tool = mdtest::ExifToolValues(file);
  TimgData data(255);
  ASSERT_TRUE(data.ReadFileMetadata(file));
  EXPECT_FALSE(data.HasThumbnail());
  EXPECT_EQ(data.IptcData, nullptr);
  EXPECT_EQ(data.ImageInfo->ExifSummary(),
            "File Name: summary.jpg\r\nFile Size: " + IntToStr(FileSizeByName(file) / 1024) +
                "k\r\nFile Date: " + DateTimeToStr(data.FileDate) +
                "\r\nPhoto Date: 2004:05:06 07:08:09\r\nMake (Model): Canon (PowerShot A70)\r\nDimensions: " +
                Text(tool, "File:ImageWidth") + " x " + Text(tool, "File:ImageHeight") +
                "\r\nExposure Time: 1/250 sec\r\nFocal Length:  5.80 mm\r\nFocal Length (35mm): 38.00 mm"
                "\r\nFNumber: F2.8\r\nISO: 400\r\nFlash: Yes");
  // The modification time as the system's stat gives it, in local time.
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  struct tm local {};
  ASSERT_NE(localtime_r(&st.st_mtime, &local), nullptr);
  EXPECT_NEAR(data.FileDate,
              EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                             local.tm_sec, 0),
              1.5 / 86400);

  // A thumbnail written by exiftool and IPTC keywords in an APP13 segment.
  const std::string thumb = testsupport::TempPath("thumb.jpg");
  ASSERT_EQ(testsupport::Run({"/usr/bin/convert", "-size", "160x120", "plasma:", "-quality", "90", thumb}).exitCode, 0);
  const std::string rich = mdtest::MakeTaggedJpeg("rich.jpg", {"-Make=Canon", "-ThumbnailImage<=" + thumb,
                                                               "-IPTC:Keywords=harbour", "-IPTC:City=Delft"});
  ASSERT_FALSE(Text(mdtest::ExifToolValues(rich), "IFD1:ThumbnailLength").empty());
  ASSERT_TRUE(data.ReadFileMetadata(rich));
  EXPECT_TRUE(data.HasThumbnail());
  ASSERT_NE(data.IptcSegment, nullptr);
  EXPECT_NE(data.IptcData, nullptr);
  EXPECT_EQ(data.IptcSegment->Marker, 0xED);
  EXPECT_NE(data.IptcSegment->Data.find("Delft"), std::string::npos);

  // A read that failed shows the file name and the error only.
  const std::string bad = testsupport::TempPath("bad.jpg");
  testsupport::WriteFile(bad, std::string("\xFF\xD8\xFF\xE1\x00\x08" "Exif\0\0\xFF\xD9", 14));
  ASSERT_TRUE(data.ReadFileMetadata(bad));
  EXPECT_EQ(data.ImageInfo->ExifSummary(), "File Name: bad.jpg\r\nExif Error: Invalid Exif alignment marker");
}

TEST(ExifReaderOracle, ComputedEquivalentAgreesWithExifToolsScaleFactor) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  // A 7.2 x 5.4 mm sensor (diagonal 9 mm) behind a 9 mm lens.
  const std::string file = mdtest::MakeTaggedJpeg(
      "sensor.jpg", {"-Make=Acme", "-FocalLength=9", "-ExifImageWidth=720", "-ExifImageHeight=540",
                     "-FocalPlaneXResolution=1000", "-FocalPlaneYResolution=1000", "-FocalPlaneResolutionUnit#=3"});
  const Values tool = mdtest::ExifToolValues(file);
  TimgData data(255);
  ASSERT_TRUE(data.ReadFileMetadata(file));
  const TImageInfo& info = *data.ImageInfo;
  const int i = info.FindTagIndex("FocalLengthIn35mmFilm");
  ASSERT_GE(i, 0);
  EXPECT_EQ(info.Tags[size_t(i)].Data, "43.27");
  EXPECT_EQ(info.Tags[size_t(i)].Type, 10);
  EXPECT_NEAR(std::strtod(info.Tags[size_t(i)].Data.c_str(), nullptr), Number(tool, "Composite:FocalLength35efl"),
              0.01);
  EXPECT_NE(info.TagText.find("\r\nFocal Length in 35mm Film = 43.27"), std::string::npos);

  // Without a resolution unit (exiftool's IFD0 says 1, none) nothing is computed.
  const std::string noUnit = mdtest::MakeTaggedJpeg(
      "nounit.jpg", {"-FocalLength=9", "-ExifImageWidth=720", "-ExifImageHeight=540",
                     "-FocalPlaneXResolution=1000", "-FocalPlaneYResolution=1000", "-XResolution=72"});
  ASSERT_TRUE(data.ReadFileMetadata(noUnit));
  EXPECT_EQ(data.ImageInfo->FindTagIndex("FocalLengthIn35mmFilm"), -1);
}

// Every sample file: what exiftool reads from the first Exif segment, the reader reads too.
TEST(ExifReaderOracle, CorpusFiles) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_CORPUS("metadata-samples");
  int compared = 0;
  for (const char* sub : {"metadata-samples", "exif-orientation"}) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(testsupport::CorpusDir() + "/" + sub, ec)) {
      const std::string file = entry.path().string();
      const std::string ext = LowerCase(entry.path().extension().string());
      if (ext != ".jpg" && ext != ".tif") continue;
      SCOPED_TRACE(file);
      const Values tool = mdtest::ExifToolValues(file);
      TimgData data(255);
      const bool read = data.ReadFileMetadata(file);
      if (Text(tool, "IFD0:Make").empty() && Text(tool, "IFD0:Orientation").empty()) continue;
      ASSERT_TRUE(read) << data.ErrStr;
      ASSERT_TRUE(data.HasExif());
      const TImageInfo& info = *data.ImageInfo;
      ++compared;
      EXPECT_EQ(Trim(info.CameraMake), Trim(Text(tool, "IFD0:Make")));
      EXPECT_EQ(Trim(info.CameraModel), Trim(Text(tool, "IFD0:Model")));
      auto same = [&](const std::string& ours, const std::string& theirs) {
        double expected = Number(tool, theirs);
        if (std::isnan(expected)) return;
        EXPECT_NEAR(info.GetTagNumber(ours), expected, 1e-9 + std::fabs(expected) * 1e-9) << ours;
      };
      same("Orientation", "IFD0:Orientation");
      same("ExposureTime", "ExifIFD:ExposureTime");
      same("FNumber", "ExifIFD:FNumber");
      same("FocalLength", "ExifIFD:FocalLength");
      same("FocalLengthin35mmFilm", "ExifIFD:FocalLengthIn35mmFormat");
      const std::string iso = Text(tool, "ExifIFD:ISO");
      if (!iso.empty() && iso.find(' ') == std::string::npos) same("ISOSpeedRatings", "ExifIFD:ISO");
      if (!Text(tool, "ExifIFD:Flash").empty()) {
        EXPECT_EQ(info.FlashUsed, std::lround(Number(tool, "ExifIFD:Flash")));
      }
      // The photo date: the shot's, else the digitizing's, else the last change's.
      std::string photoDate;
      for (const char* tag : {"ExifIFD:DateTimeOriginal", "ExifIFD:CreateDate", "IFD0:ModifyDate"})
        if (photoDate.empty()) photoDate = Text(tool, tag);
      EXPECT_EQ(info.DateTime, photoDate);
      EXPECT_DOUBLE_EQ(info.PhotoDateTime(), ExifToolDate(photoDate));
      // A name the Exif data and a maker note share answers with the Exif value (exiftool's words).
      const std::string balance = Text(tool, "ExifIFD:WhiteBalance");
      if (balance == "0" || balance == "1") {
        EXPECT_EQ(info.GetTagValue("WhiteBalance"), balance == "0" ? "Auto" : "Manual");
      }
      // Value texts made from exiftool's numbers by the reader's formats and code lists.
      auto text = [&](const std::string& ours, const std::string& theirs, const std::string& format) {
        if (Text(tool, theirs).empty()) return;
        EXPECT_EQ(info.GetTagValue(ours), Format(format, {Number(tool, theirs)})) << ours;
      };
      text("FNumber", "ExifIFD:FNumber", "F%0.1f");
      for (const std::string apex : {"ApertureValue", "MaxApertureValue"}) text(apex, "ExifIFD:" + apex, "F%0.1f");
      text("FocalLength", "ExifIFD:FocalLength", "%5.2f mm");
      text("XResolution", "IFD0:XResolution", "%5.2f");
      if (!Text(tool, "IFD0:Orientation").empty()) {
        static const std::map<long, std::string> kWords = {
            {1, "Normal"}, {3, "Rotated 180°"}, {6, "CounterClockwise 90°"}, {8, "Clockwise 90°"}};
        auto word = kWords.find(std::lround(Number(tool, "IFD0:Orientation")));
        EXPECT_EQ(info.GetTagValue("Orientation"), word == kWords.end() ? "" : word->second);
      }
      const std::string exposure = info.GetTagValue("ExposureTime");
      if (!Text(tool, "ExifIFD:ExposureTime").empty()) {
        ASSERT_GT(exposure.size(), 4u);
        EXPECT_EQ(exposure.substr(exposure.size() - 4), " sec");
        EXPECT_NEAR(FractionValue(exposure.substr(0, exposure.size() - 4)), Number(tool, "ExifIFD:ExposureTime"), 1e-9);
      }
      if (!iso.empty() && iso.find(' ') == std::string::npos) {
        EXPECT_EQ(info.GetTagValue("ISOSpeedRatings"), iso);
      }
      if (!Text(tool, "GPS:GPSLatitude").empty()) {
        EXPECT_NEAR(StoredDegrees(info, "GPSLatitude"), Number(tool, "GPS:GPSLatitude"), 1e-6);
        EXPECT_NEAR(StoredDegrees(info, "GPSLongitude"), Number(tool, "GPS:GPSLongitude"), 1e-6);
      }
    }
  }
  EXPECT_GT(compared, 20);
}
