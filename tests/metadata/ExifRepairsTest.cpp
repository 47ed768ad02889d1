// What the reader gets right where a plain reading of the tables would not,
// each against exiftool: signed and multi-valued numbers, one-byte UNDEFINED
// codes, texts with a character-code prefix (UCS-2 in either byte order), and the
// computed 35 mm equivalent, which follows the Exif pixel dimensions and is left
// out when its inputs cannot describe a camera.
#include <filesystem>

#include "MetadataTestUtil.h"
#include "metadata/ExifData.h"

namespace {

using Values = std::map<std::string, std::string>;

const auto Number = mdtest::ToolNumber;
const auto Text = mdtest::ToolText;

}  // namespace

TEST(ExifRepairs, NumbersKeepTheirSignAndGiveTheFirstValue) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  for (const std::string order : {"II", "MM"}) {
    SCOPED_TRACE(order);
    for (const std::string bias : {"-1", "-0.33", "+0.7"}) {
      const std::string file = mdtest::MakeTaggedJpeg(
          "signed-" + order + ".jpg", {"-ExifByteOrder=" + order, "-ExposureCompensation=" + bias,
                                       "-SubjectArea=10 20 30 40", "-TimeZoneOffset=-5 -4", "-ISO=100 200"});
      const Values tool = mdtest::ExifToolValues(file);
      TimgData data(255);
      ASSERT_TRUE(data.ReadFileMetadata(file));
      const TImageInfo& info = *data.ImageInfo;
      EXPECT_NEAR(info.GetTagNumber("ExposureBiasValue"), Number(tool, "ExifIFD:ExposureCompensation"), 1e-9);
      EXPECT_EQ(info.GetTagInteger("ExposureBiasValue"), std::lround(Number(tool, "ExifIFD:ExposureCompensation")));
      // Several values: the number is the first one, as exiftool lists it first.
      EXPECT_EQ(info.GetTagNumber("SubjectLocation"), Number(tool, "ExifIFD:SubjectArea"));
      EXPECT_EQ(info.GetTagNumber("TimeZoneOffset"), Number(tool, "ExifIFD:TimeZoneOffset"));
      EXPECT_EQ(info.GetTagNumber("ISOSpeedRatings"), Number(tool, "ExifIFD:ISO"));
    }
  }
}

TEST(ExifRepairs, OneByteUndefinedValuesUseTheirCodeLists) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string file = mdtest::MakeTaggedJpeg("codes.jpg", {"-FileSource#=3", "-SceneType#=1"});
  const Values tool = mdtest::ExifToolValues(file);
  ASSERT_EQ(Text(tool, "ExifIFD:FileSource"), "3");
  ASSERT_EQ(Text(tool, "ExifIFD:SceneType"), "1");
  TimgData data(255);
  ASSERT_TRUE(data.ReadFileMetadata(file));
  EXPECT_EQ(data.ImageInfo->GetTagValue("FileSource"), "Digital Still Camera");
  EXPECT_EQ(data.ImageInfo->GetTagValue("SceneType"), "Directly Photographed");
  EXPECT_EQ(data.ImageInfo->GetTagInteger("FileSource"), 3);
  if (access((testsupport::ProgramDir() + "/locale/nl/LC_MESSAGES/default.mo").c_str(), R_OK) == 0) {
    mdtest::Language dutch("nl");
    ASSERT_TRUE(data.ReadFileMetadata(file));
    EXPECT_EQ(data.ImageInfo->GetTagValue("FileSource"), "Digitale fotocamera");
  }
  // A value outside the list gives its empty word; one without a list its number.
  const std::string other = mdtest::MakeTaggedJpeg("other-code.jpg", {"-FileSource#=2"});
  ASSERT_TRUE(data.ReadFileMetadata(other));
  EXPECT_EQ(data.ImageInfo->GetTagValue("FileSource"), "");
}

TEST(ExifRepairs, CharacterCodedTextsLoseTheirPrefixAndDecodeUcs2InTheirByteOrder) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  for (const std::string order : {"II", "MM"}) {
    for (const std::string comment : {"Grüße aus Köln", "plain ASCII text", "Smile \xF0\x9F\x98\x80 end"}) {
      SCOPED_TRACE(order + " " + comment);
      const std::string file = mdtest::MakeTaggedJpeg(
          "coded.jpg", {"-ExifByteOrder=" + order, "-UserComment=" + comment, "-GPSProcessingMethod=GPS",
                        "-GPSAreaInformation=Delft, " + comment});
      const Values tool = mdtest::ExifToolValues(file);
      TimgData data(255);
      ASSERT_TRUE(data.ReadFileMetadata(file));
      const TImageInfo& info = *data.ImageInfo;
      EXPECT_EQ(info.Comments, Text(tool, "ExifIFD:UserComment"));
      EXPECT_EQ(info.GetTagValue("UserComment"), Text(tool, "ExifIFD:UserComment"));
      EXPECT_EQ(info.GetTagValue("GPSProcessingMethod"), Text(tool, "GPS:GPSProcessingMethod"));
      EXPECT_EQ(info.GetTagValue("GPSAreaInformation"), PrintableText(Text(tool, "GPS:GPSAreaInformation")));
      // The record keeps the raw bytes with their prefix.
      TTagEntry record;
      info.GetTagRecord("UserComment", record);
      ASSERT_GE(record.Raw.size(), 8u);
      EXPECT_TRUE(record.Raw.compare(0, 7, "UNICODE") == 0 || record.Raw.compare(0, 5, "ASCII") == 0);
    }
  }
  // UCS-2 up to its zero character; a lone surrogate shows as the replacement character.
  EXPECT_EQ(CharacterCodedText(std::string("UNICODE\0A\0B\0\0\0C\0", 16), false), "AB");
  EXPECT_EQ(CharacterCodedText(std::string("UNICODE\0\xD8\x00\0A", 12), true), "\xEF\xBF\xBD" "A");
  EXPECT_EQ(CharacterCodedText(std::string("UNICODE\0\0A", 11), true), "A");
  EXPECT_EQ(CharacterCodedText("short", false), "");
}

TEST(ExifRepairs, ComputedEquivalentFollowsThePixelDimensionsAndOnlyWhenPlausible) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  // A 135 mm shot from a 6000 x 4000 camera with a 23.5 x 15.67 mm sensor.
  const std::vector<std::string> camera = {"-Make=Acme", "-FocalLength=135", "-FocalPlaneXResolution=6485.1",
                                           "-FocalPlaneYResolution=6485.1", "-FocalPlaneResolutionUnit#=2"};
  auto equivalent = [](const std::string& file) -> std::string {
    TimgData data(255);
    EXPECT_TRUE(data.ReadFileMetadata(file));
    if (!data.ImageInfo) return "(no Exif)";
    const int i = data.ImageInfo->FindTagIndex("FocalLengthIn35mmFilm");
    return i < 0 ? std::string() : data.ImageInfo->Tags[size_t(i)].Data;
  };
  std::vector<std::string> args = camera;
  args.insert(args.end(), {"-ExifImageWidth=6000", "-ExifImageHeight=4000"});
  const std::string original = mdtest::MakeTaggedJpeg("shot.jpg", args);
  const Values tool = mdtest::ExifToolValues(original);
  const std::string computed = equivalent(original);
  ASSERT_FALSE(computed.empty());
  EXPECT_NEAR(std::strtod(computed.c_str(), nullptr), Number(tool, "Composite:FocalLength35efl"), 0.5);

  // The picture's own size does not count: a file whose IFD0 says 160 x 107 pixels
  // but whose Exif pixel dimensions are the camera's gives the camera's equivalent.
  args.insert(args.end(), {"-IFD0:ImageWidth=160", "-IFD0:ImageHeight=107"});
  EXPECT_EQ(equivalent(mdtest::MakeTaggedJpeg("ifd0-size.jpg", args)), computed);

  // A resized copy whose pixel dimensions say 160 x 107 would need a sensor of
  // 0.6 mm: no value rather than 5000 mm.
  std::vector<std::string> resized = camera;
  resized.insert(resized.end(), {"-ExifImageWidth=160", "-ExifImageHeight=107"});
  EXPECT_EQ(equivalent(mdtest::MakeTaggedJpeg("resized.jpg", resized)), "");
  // No pixel dimensions: nothing to compute from.
  EXPECT_EQ(equivalent(mdtest::MakeTaggedJpeg("nodims.jpg", camera)), "");
  // A lens of 4000 mm before a 1/2.5" sensor would be above 10 metres.
  EXPECT_EQ(equivalent(mdtest::MakeTaggedJpeg(
                "tele.jpg", {"-Make=Acme", "-FocalLength=4000", "-FocalPlaneXResolution=9000",
                             "-FocalPlaneYResolution=9000", "-FocalPlaneResolutionUnit#=3", "-ExifImageWidth=5184",
                             "-ExifImageHeight=3888"})),
            "");
  // Olympus files have no factor: no entry instead of 0.
  args = camera;
  args[0] = "-Make=OLYMPUS OPTICAL CO.,LTD";
  args.insert(args.end(), {"-ExifImageWidth=6000", "-ExifImageHeight=4000"});
  EXPECT_EQ(equivalent(mdtest::MakeTaggedJpeg("olympus.jpg", args)), "");
}

// Sample files: every computed equivalent agrees with exiftool's; a thumbnail whose
// pixel dimensions are its own (Canon.jpg, 160 x 120 against a 3072-pixel sensor) gets none.
TEST(ExifRepairs, CorpusEquivalents) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_CORPUS("metadata-samples");
  int computed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testsupport::CorpusDir() + "/metadata-samples")) {
    const std::string file = entry.path().string();
    if (LowerCase(entry.path().extension().string()) != ".jpg") continue;
    SCOPED_TRACE(file);
    TimgData data(255);
    if (!data.ReadFileMetadata(file) || !data.ImageInfo) continue;
    const Values tool = mdtest::ExifToolValues(file);
    const int i = data.ImageInfo->FindTagIndex("FocalLengthIn35mmFilm");
    if (i < 0 || !data.ImageInfo->Tags[size_t(i)].Raw.empty() || data.ImageInfo->Tags[size_t(i)].Type != 10) continue;
    if (!Text(tool, "ExifIFD:FocalLengthIn35mmFormat").empty()) continue;
    ++computed;
    const double ours = std::strtod(data.ImageInfo->Tags[size_t(i)].Data.c_str(), nullptr);
    const double theirs = Number(tool, "Composite:FocalLength35efl");
    EXPECT_NEAR(ours, theirs, theirs * 0.03);
  }
  EXPECT_GE(computed, 2);
  TimgData canon(255);
  ASSERT_TRUE(canon.ReadFileMetadata(testsupport::CorpusDir() + "/metadata-samples/Canon.jpg"));
  EXPECT_EQ(canon.ImageInfo->FindTagIndex("FocalLengthIn35mmFilm"), -1);
}
