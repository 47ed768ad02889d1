// The segment scan and the TIFF entry: which segments the record keeps (checked
// against exiv2's and exiftool's view of the same files) and hostile input:
// truncations, byte flips, short segments, directory loops and chains.
#include <chrono>
#include <cstdio>
#include <random>

#include "MetadataTestUtil.h"
#include "metadata/ExifData.h"
#include "metadata/ExifData_Internal.h"

namespace {

using mdtest::Segment;
using mdtest::WriteTemp;
const auto Text = mdtest::ToolText;

const std::set<std::string> kStatusTexts = {"",
                                            "<none>",
                                            "Not an EXIF file",
                                            "Illegal Exif construction",
                                            "Incorrect Exif header",
                                            "Invalid Exif alignment marker",
                                            "Too many Exif entries; the rest was not read",
                                            "Too many Exif tags; the rest was not read",
                                            "Exif values too large; the rest was not read"};

// (marker, length) of every segment before the scan, as exiv2 -pS lists them.
std::vector<std::pair<int, int>> Exiv2Segments(const std::string& file) {
  std::vector<std::pair<int, int>> list;
  auto r = testsupport::Run({"exiv2", "-pS", file});
  mdtest::ForEachLine(r.out, [&list](const std::string& line) {
    unsigned marker;
    char name[16];
    int length;
    size_t bar = line.find('|');
    if (bar == std::string::npos) return;
    if (std::sscanf(line.c_str() + bar + 1, " 0xff%2x %15s | %d", &marker, name, &length) == 3)
      list.emplace_back(int(marker), length);
  });
  return list;
}

// A camera-like file: Exif (IFD0, Exif, GPS) followed by an XMP APP1 and a comment.
std::string CameraJpeg(const std::string& name) {
  return mdtest::MakeTaggedJpeg(name, {"-Make=Nikon", "-Model=E990", "-FNumber=4", "-ExposureTime=1/60",
                                        "-GPSLatitude=10.5", "-GPSLatitudeRef=S", "-XMP:Title=xmp packet",
                                        "-Comment=a comment", "-UserComment=note", "-DateTimeOriginal=2001:02:03 04:05:06"});
}

}  // namespace

TEST(JpegSegmentScan, KeepsTheSegmentsExiv2Lists) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("exiv2");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string file = CameraJpeg("camera.jpg");
  TimgData data(255);
  ASSERT_TRUE(data.ReadFileMetadata(file));
  // exiv2's list (segments with a length, so without SOI and SOS) less the APP1
  // segments after the first, which the reader gives back; the reader ends with SOS.
  std::vector<std::pair<int, int>> expected;
  bool app1 = false;
  for (auto [marker, length] : Exiv2Segments(file)) {
    if (marker == 0xE1 && app1) continue;
    app1 = app1 || marker == 0xE1;
    expected.emplace_back(marker, length);
  }
  std::vector<std::pair<int, int>> ours;
  for (int i = 0; i < data.SegmentCount; ++i)
    ours.emplace_back(data.Segments[size_t(i)].Marker, data.Segments[size_t(i)].Size);
  ASSERT_GE(expected.size(), 5u);
  ASSERT_EQ(ours.size(), expected.size() + 1);
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(ours[i], expected[i]) << i;
  EXPECT_EQ(ours.back().first, 0xDA);

  ASSERT_NE(data.ExifSegment, nullptr);
  EXPECT_EQ(data.ExifSegment->Data.substr(2, 6), std::string("Exif\0\0", 6));
  std::string comment;
  data.CommentText(comment);
  EXPECT_EQ(comment, mdtest::ExifToolValues(file)["File:Comment"]);
  EXPECT_FALSE(data.HasThumbnail());
}

TEST(JpegSegmentScan, WhichSegmentsCount) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string camera = testsupport::ReadFile(CameraJpeg("camera.jpg"));
  std::string rest;
  const std::vector<Segment> segments = mdtest::SplitJpeg(camera, rest);
  Segment exif, xmp;
  std::vector<Segment> tables;
  for (const auto& s : segments) {
    if (s.marker == 0xE1 && s.body.compare(2, 4, "Exif") == 0) exif = s;
    else if (s.marker == 0xE1) xmp = s;
    else if (s.marker != 0xE0 && s.marker != 0xFE) tables.push_back(s);
  }
  ASSERT_FALSE(exif.body.empty());
  ASSERT_FALSE(xmp.body.empty());
  ASSERT_GE(tables.size(), 3u);
  const Segment app2 = mdtest::MakeSegment(0xE2, "filler");
  TimgData data(255);

  // An XMP packet ahead of the Exif segment does not hide it (exiftool reads both).
  const std::string xmpFirst = WriteTemp("xmp-first.jpg", mdtest::JoinJpeg({xmp, exif, tables[0]}, rest));
  ASSERT_EQ(mdtest::ExifToolValues(xmpFirst)["IFD0:Make"], "Nikon");
  ASSERT_TRUE(data.ReadFileMetadata(xmpFirst));
  ASSERT_TRUE(data.HasExif());
  EXPECT_EQ(data.ImageInfo->CameraMake, "Nikon");
  EXPECT_EQ(data.Segments[0].Data, exif.body);

  // Metadata must show within the first four segments; the fifth is not examined.
  const std::string fourth = WriteTemp("fourth.jpg", mdtest::JoinJpeg({app2, app2, app2, exif, tables[0]}, rest));
  EXPECT_TRUE(data.ReadFileMetadata(fourth));
  EXPECT_TRUE(data.HasExif());
  const std::string fifth = WriteTemp("fifth.jpg", mdtest::JoinJpeg({app2, app2, app2, app2, exif, tables[0]}, rest));
  EXPECT_FALSE(data.ReadFileMetadata(fifth));
  EXPECT_EQ(data.ErrStr, "Not an EXIF file");
  EXPECT_EQ(data.ImageInfo, nullptr);  // the earlier read's container is gone

  // An Exif segment at the sixth place is not taken; a comment earlier makes the read succeed.
  const Segment com = mdtest::MakeSegment(0xFE, "just a comment");
  const std::string sixth =
      WriteTemp("sixth.JPG", mdtest::JoinJpeg({com, app2, app2, app2, app2, exif, tables[0]}, rest));
  EXPECT_TRUE(data.ReadFileMetadata(sixth));
  EXPECT_EQ(data.ErrStr, "<none>");
  EXPECT_FALSE(data.HasExif());
  EXPECT_TRUE(data.HasMetadata());

  // The frame header gives the picture's size, also when it lies past the segments kept.
  std::vector<Segment> many = {exif};
  many.resize(25, app2);
  many.insert(many.end(), tables.begin(), tables.end());
  const std::string late = WriteTemp("late-frame.jpg", mdtest::JoinJpeg(many, rest));
  ASSERT_TRUE(data.ReadFileMetadata(late));
  EXPECT_EQ(IntToStr(data.PictureWidth) + "x" + IntToStr(data.PictureHeight),
            Text(mdtest::ExifToolWords(late), "Composite:ImageSize"));

  // Only the extension decides the reader.
  const std::string png = WriteTemp("camera.png", camera);
  EXPECT_FALSE(data.ReadFileMetadata(png));
  EXPECT_EQ(data.ErrStr, "Not an EXIF file");
  EXPECT_FALSE(data.ReadFileMetadata(testsupport::TempPath("missing.jpg")));
  EXPECT_EQ(data.ErrStr, "");
}

TEST(JpegSegmentScan, ShortAndTruncatedSegmentsEndSafely) {
  TimgData data(255);
  const std::string soi = "\xFF\xD8";
  // A file ending inside a run of fill bytes.
  EXPECT_FALSE(data.ReadFileMetadata(WriteTemp("fill.jpg", soi + std::string(300, '\xFF'))));
  // An Exif segment too short for its TIFF header: kept, the header reported.
  const std::string shortExif = soi + "\xFF\xE1" + std::string("\x00\x08", 2) + std::string("Exif\0\0", 6) + "\xFF\xD9";
  EXPECT_TRUE(data.ReadFileMetadata(WriteTemp("short.jpg", shortExif)));
  EXPECT_EQ(data.ErrStr, "Invalid Exif alignment marker");
  EXPECT_EQ(data.ImageInfo->TagCount(), 0);
  // A length below 2 and a length past the end keep what came before.
  const std::string com = std::string("\xFF\xFE\x00\x05hey", 7);
  EXPECT_TRUE(data.ReadFileMetadata(WriteTemp("len1.jpg", soi + com + std::string("\xFF\xE1\x00\x01", 4))));
  EXPECT_EQ(data.SegmentCount, 1);
  EXPECT_TRUE(data.ReadFileMetadata(WriteTemp("past.jpg", soi + com + std::string("\xFF\xE1\x40\x00" "Exif", 8))));
  EXPECT_EQ(data.SegmentCount, 1);
  EXPECT_FALSE(data.HasExif());
  // A run of fill bytes longer than any segment ends the scan.
  EXPECT_FALSE(data.ReadFileMetadata(WriteTemp("longfill.jpg", soi + std::string(70000, '\xFF') + com)));
  EXPECT_TRUE(data.ReadFileMetadata(WriteTemp("shortfill.jpg", soi + std::string(1000, '\xFF') + com)));
}

TEST(JpegSegmentScan, TruncationsAndByteFlipsOfARealFile) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string camera = testsupport::ReadFile(CameraJpeg("camera.jpg"));
  std::vector<size_t> cuts;
  for (size_t p = 2; p + 4 <= camera.size() && camera[p] == '\xFF';) {
    for (size_t d : {0, 1, 2, 3, 4, 11, 20}) cuts.push_back(p + d);
    if (uint8_t(camera[p + 1]) == 0xDA) break;
    p += 2 + ((uint8_t(camera[p + 2]) << 8) | uint8_t(camera[p + 3]));
  }
  TimgData data(255);
  const std::string path = testsupport::TempPath("cut.jpg");
  for (size_t cut : cuts) {
    testsupport::WriteFile(path, camera.substr(0, cut));
    data.ReadFileMetadata(path);
    EXPECT_TRUE(kStatusTexts.count(data.ErrStr)) << cut << ": " << data.ErrStr;
  }

  std::mt19937 random(20240607);
  const size_t span = std::min<size_t>(camera.size(), 1400);
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < 1500; ++round) {
    std::string bytes = camera;
    const int flips = 1 + int(random() % 8);
    for (int f = 0; f < flips; ++f) {
      const size_t at = random() % span;
      switch (random() % 3) {
        case 0: bytes[at] = char(random()); break;
        case 1: bytes[at] = '\xFF'; break;
        default: bytes[at] = char(bytes[at] ^ (1 << (random() % 8))); break;
      }
    }
    testsupport::WriteFile(path, bytes);
    data.ReadFileMetadata(path);
    ASSERT_TRUE(kStatusTexts.count(data.ErrStr)) << round << ": " << data.ErrStr;
    if (data.ImageInfo) {
      EXPECT_LE(data.ImageInfo->CameraMake.size(), 32u);
      EXPECT_LE(data.ImageInfo->TagCount(), 20000);
    }
  }
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 120.0);
}

TEST(ExifDirectoryWalk, LoopsChainsAndOversizedDirectoriesAreBounded) {
  KIVO2_REQUIRE_TOOL("convert");
  TimgData data(255);
  // IFD0 holds Make and Exif and GPS pointers back to itself.
  {
    mdtest::TiffWriter w(true);
    w.Put16(4);
    w.Entry(0x010F, 2, 4, 0x41636D00);  // "Acm"
    w.Entry(0x8769, 4, 1, 8);
    w.Entry(0x8825, 4, 1, 8);
    w.Entry(0x014A, 4, 1, 8);
    w.Put32(0);
    ASSERT_TRUE(data.ReadFileMetadata(WriteTemp("loop.jpg", mdtest::JpegWithExif(w.Bytes()))));
    const std::string& text = data.ImageInfo->TagText;
    size_t makes = 0;
    for (size_t at = text.find("Make = "); at != std::string::npos; at = text.find("Make = ", at + 1)) ++makes;
    EXPECT_EQ(makes, 1u);
    EXPECT_EQ(data.ImageInfo->CameraMake, "Acm");
  }
  // A chain of 4000 distinct directories, each pointing at the next.
  {
    mdtest::TiffWriter w(false);
    for (uint32_t i = 0; i < 4000; ++i) {
      const uint32_t next = uint32_t(w.Size()) + 2 + 12 + 4;
      w.Put16(1);
      w.Entry(0x8769, 4, 1, next);
      w.Put32(0);
    }
    EXPECT_TRUE(data.ReadFileMetadata(WriteTemp("chain.jpg", mdtest::JpegWithExif(w.Bytes()))));
    EXPECT_LE(data.ImageInfo->TagCount(), 20);
  }
  // Entry counts past the data, huge value counts and offsets outside the segment.
  {
    mdtest::TiffWriter w(false);
    w.Put16(3);
    w.Entry(0x010F, 2, 0xFFFFFFFF, 0x7FFFFFF0);
    w.Entry(0x829D, 5, 0x20000000, 0xFFFFFF00);
    w.Entry(0x8769, 4, 1, 8 + 2 + 3 * 12 + 4);
    w.Put32(0);
    w.Put16(0xFFFF);  // the Exif directory claims 65535 entries
    EXPECT_TRUE(data.ReadFileMetadata(WriteTemp("oversized.jpg", mdtest::JpegWithExif(w.Bytes()))));
    EXPECT_EQ(data.ImageInfo->CameraMake, "");
    EXPECT_EQ(data.ImageInfo->GetTagValue("FNumber"), "F0.0");
    EXPECT_EQ(data.ImageInfo->TagCount(), 3);
    TImageInfo direct(&data, 255);
    direct.SetDataBuffer(data.ExifSegment->Data);
    direct.WalkDirectory(50 + 9, 9, 1, data.ExifSegment->Size - 6);
    EXPECT_EQ(data.ErrStr, "Illegally sized directory");
  }
}

TEST(ExifDirectoryWalk, ZeroDenominatorsHugeExponentsShortCommentsAndBadDates) {
  KIVO2_REQUIRE_TOOL("convert");
  mdtest::TiffWriter w(true);
  const uint32_t dataAt = 8 + 2 + 8 * 12 + 4;
  w.Put16(8);
  w.Entry(0x829D, 5, 1, dataAt);        // FNumber 0/0
  w.Entry(0x920A, 5, 1, dataAt + 8);    // FocalLength 5/0
  w.Entry(0x9201, 10, 1, dataAt + 16);  // ShutterSpeedValue 2000/1
  w.Entry(0x9202, 10, 1, dataAt + 24);  // ApertureValue -7/0
  w.Entry(0x9286, 7, 4, 0x41534349);    // UserComment of 4 bytes: not even its prefix
  w.Entry(0x0132, 2, 20, dataAt + 32);  // DateTime of a camera without its clock set
  w.Entry(0x011A, 5, 1, dataAt + 8);    // XResolution 5/0
  w.Entry(0x9204, 10, 1, dataAt + 52);  // ExposureBiasValue -1/3
  w.Put32(0);
  for (uint32_t v : {0u, 0u, 5u, 0u, 2000u, 1u, uint32_t(-7), 0u}) w.Put32(v);
  w.Bytes() += std::string("0000:00:00 00:00:00\0", 20);
  w.Put32(uint32_t(-1));
  w.Put32(3);
  TimgData data(255);
  ASSERT_TRUE(data.ReadFileMetadata(WriteTemp("zeros.jpg", mdtest::JpegWithExif(w.Bytes()))));
  const TImageInfo& info = *data.ImageInfo;
  EXPECT_EQ(info.GetTagValue("FNumber"), "F0.0");
  EXPECT_EQ(info.GetTagNumber("FNumber"), 0.0);
  EXPECT_EQ(info.GetTagValue("FocalLength"), " 0.00 mm");
  EXPECT_EQ(info.GetTagValue("XResolution"), " 0.00");
  EXPECT_EQ(info.GetTagValue("ShutterSpeedValue"), "0.0000 sec");
  EXPECT_EQ(info.GetTagValue("ApertureValue"), "-7/0");  // no f-number: the value as stored
  EXPECT_EQ(info.GetTagValue("ExposureBiasValue"), "-1/3");
  EXPECT_EQ(info.Comments, "");
  EXPECT_EQ(info.CommentSize, 0);
  EXPECT_EQ(info.DateTime, "0000:00:00 00:00:00");
  EXPECT_EQ(info.PhotoDateTime(), 0.0);
  EXPECT_EQ(ShutterSpeedText("-2000/1"), "0.0000 sec");
  EXPECT_EQ(ShutterSpeedText("30/1"), "0.0000 sec (1/1073741824)");
  EXPECT_EQ(ShutterSpeedText("31/1"), "0.0000 sec");  // 1/T no longer fits
}

TEST(TiffEntry, FirstDirectoryWhereTheHeaderSaysIt) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("tiffset");
  // Pictures of several sizes from ImageMagick, tagged by exiftool (which puts every
  // directory in front); tiffset then writes the first directory after the pixels, past
  // the first 256,000 bytes of the larger ones, while the Exif directory stays in front.
  const std::vector<std::vector<std::string>> pictures = {
      {"120x90"}, {"635x348", "-compress", "lzw"}, {"1392x1040", "-depth", "16"}, {"2000x1500", "-type", "TrueColor"}};
  TimgData data(255);
  for (const auto& picture : pictures) {
    SCOPED_TRACE(picture[0]);
    const std::string tif = testsupport::TempPath("picture.tif");
    std::vector<std::string> make = {"/usr/bin/convert", "-size", picture[0], "xc:gray", "+noise", "Random"};
    make.insert(make.end(), picture.begin() + 1, picture.end());
    make.push_back(tif);
    ASSERT_EQ(testsupport::Run(make).exitCode, 0);
    ASSERT_EQ(testsupport::Run({"exiftool", "-q", "-overwrite_original", "-Make=TiffCam",
                                "-DateTimeOriginal=2008:05:30 15:56:01", "-ModifyDate=2008:07:31 10:38:00", tif})
                  .exitCode,
              0);
    ASSERT_EQ(testsupport::Run({"tiffset", "-s", "305", "Kivo2 test", tif}).exitCode, 0);
    const mdtest::ToolValues tool = mdtest::ExifToolValues(tif);
    ASSERT_TRUE(data.ReadFileMetadata(tif));
    const TImageInfo& info = *data.ImageInfo;
    EXPECT_EQ(info.CameraMake, Text(tool, "IFD0:Make"));
    EXPECT_EQ(info.GetTagValue("Software"), Text(tool, "IFD0:Software"));
    EXPECT_EQ(info.DateTime, Text(tool, "ExifIFD:DateTimeOriginal"));
    EXPECT_NE(info.ExifSummary().find("Dimensions: " + Text(tool, "IFD0:ImageWidth") + " x " + Text(tool, "IFD0:ImageHeight")),
              std::string::npos);
    EXPECT_FALSE(data.ReadingTiff);
  }

  // The same first directory (Make "Far", which exiftool reads at each place) wherever it lies.
  for (const uint32_t at : {255000u, 256016u, 3000001u}) {
    mdtest::TiffWriter far(false);
    far.At32(4, at);
    far.Bytes().resize(at, '\0');
    far.Put16(1);
    far.Entry(0x010F, 2, 4, 0x00726146);  // "Far"
    far.Put32(0);
    const std::string path = WriteTemp("far.tiff", far.Bytes());
    ASSERT_EQ(mdtest::ExifToolValues(path)["IFD0:Make"], "Far") << at;
    EXPECT_TRUE(data.ReadFileMetadata(path));
    EXPECT_EQ(data.ImageInfo->CameraMake, "Far") << at;
    EXPECT_EQ(data.ImageInfo->TagCount(), 1) << at;
  }
  // A foreign header is refused.
  EXPECT_FALSE(data.ReadFileMetadata(WriteTemp("foreign.nef", std::string("XX*\0", 4))));
  EXPECT_FALSE(data.ReadingTiff);
  EXPECT_EQ(data.ErrStr, "Not an EXIF file");
}
