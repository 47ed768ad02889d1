// The write-back of a source's metadata into a newly encoded JPEG, checked by
// exiftool (every tag of the source is in the output, the output validates),
// jpeginfo (the output decodes) and the segment layout; the picture size patch in
// both byte orders and both entry types; TIFF sources; and writes that fail.
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "MetadataTestUtil.h"
#include "metadata/ExifData.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Jpeg.h"
#include "platform/rtl/FileFaults.h"

namespace fs = std::filesystem;

namespace {

using Values = std::map<std::string, std::string>;
const auto Text = mdtest::ToolText;

// Ghostscript's colour profiles: Adobe RGB (564 bytes) and a CMYK one of 187 KB,
// which a JPEG holds in three segments.
const std::string kProfiles = "/usr/share/color/icc/ghostscript/";

// A new picture of the given size, as the save window encodes it.
std::unique_ptr<TJPEGImage> NewPicture(int width, int height) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = uint8_t(x * 4);
      row[3 * x + 1] = uint8_t(y * 5);
      row[3 * x + 2] = 200;
    }
  }
  auto jpeg = std::make_unique<TJPEGImage>();
  jpeg->Assign(&bitmap);
  return jpeg;
}

// exiftool's tags of a file that describe its metadata, not the file or its pixels.
Values MetadataTags(const std::string& file) {
  Values all = mdtest::ExifToolValues(file), kept;
  for (const auto& [key, value] : all) {
    const std::string group = key.substr(0, key.find(':'));
    if (group == "System" || group == "File" || group == "ExifTool" || group == "Composite") continue;
    kept[key] = value;
  }
  return kept;
}

// exiftool's warnings and errors about a file (its validation).
std::string Validation(const std::string& file) {
  auto r = testsupport::Run({"exiftool", "-validate", "-warning", "-error", "-a", "-s", "-s", "-s", file});
  return r.out;
}

void ExpectDecodes(const std::string& file) {
  auto r = testsupport::Run({"jpeginfo", "-c", file});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("OK"), std::string::npos) << r.out;
}

}  // namespace

TEST(WriteBack, EverySourceTagIsCarriedAndTheOutputValidates) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("jpeginfo");
  KIVO2_REQUIRE_TOOL("convert");
  const std::vector<std::string> camera = {"-Make=Canon", "-Model=PowerShot A70", "-DateTimeOriginal=2004:05:06 07:08:09",
                                           "-ExposureTime=1/250", "-FNumber=2.8", "-ISO=400", "-ExposureCompensation=-1",
                                           "-GPSLatitude=52.37", "-GPSLatitudeRef=N", "-UserComment=Hello",
                                           "-ExifImageWidth=64", "-ExifImageHeight=48", "-XMP-dc:Title=Harbour",
                                           "-ICC_Profile<=" + kProfiles + "a98.icc"};
  struct Case {
    const char* name;
    std::vector<std::string> args;
    bool carries;  // a source with Exif, IPTC or a comment
  };
  std::vector<Case> cases = {
      {"exif-ii.jpg", camera, true},
      {"exif-iptc-comment-mm.jpg", camera, true},
      {"iptc.jpg", {"-JFIF:all=", "-IPTC:Keywords=harbour", "-IPTC:City=Delft"}, true},
      {"comment.jpg", {"-Comment=just a comment"}, true},
      {"jfif.jpg", {}, false},
      {"none.jpg", {"-JFIF:all="}, false},
      // A colour profile of three segments, an XMP packet, without other metadata.
      {"profile-only.jpg", {"-ICC_Profile<=" + kProfiles + "default_cmyk.icc"}, true},
      {"xmp-only.jpg", {"-XMP-dc:Title=Harbour at dawn"}, true},
  };
  cases[0].args.push_back("-ExifByteOrder=II");
  for (const char* extra : {"-ExifByteOrder=MM", "-IPTC:Keywords=boat", "-Comment=a comment"})
    cases[1].args.push_back(extra);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string source = mdtest::MakeTaggedJpeg(c.name, c.args);
    const Values before = MetadataTags(source);
    const std::string target = testsupport::TempPath(std::string("out-") + c.name);
    TimgData data(255);
    auto picture = NewPicture(80, 60);
    data.WriteMetadataJpeg(*picture, target, true, source);

    ExpectDecodes(target);
    EXPECT_EQ(Validation(target), "OK\n") << "exiftool warns about the output";
    const Values after = MetadataTags(target);
    for (const auto& [key, value] : before) {
      // A source with Exif gives a file without JFIF segment; the encoder writes its own otherwise.
      if (key.rfind("JFIF:", 0) == 0) continue;
      const std::string want = key == "ExifIFD:ExifImageWidth" ? "80" : key == "ExifIFD:ExifImageHeight" ? "60" : value;
      EXPECT_EQ(after.count(key) ? after.at(key) : "(missing)", want) << key;
    }
    // A copy without the metadata keeps the colour profile alone (and the encoder's JFIF).
    const std::string bare = target + "-bare.jpg";
    data.WriteColourProfileJpeg(*picture, bare, source);
    for (const auto& [key, value] : MetadataTags(bare)) EXPECT_TRUE(key.rfind("ICC", 0) == 0 || key.rfind("JFIF:", 0) == 0) << key;
    // The profile and the XMP packet byte for byte, as exiftool gathers them from their segments.
    for (const std::string tag : {"-ICC_Profile", "-XMP"}) {
      const std::string theirs = testsupport::Run({"exiftool", "-b", tag, source}).out;
      EXPECT_EQ(testsupport::Run({"exiftool", "-b", tag, target}).out, theirs) << tag;
      EXPECT_EQ(testsupport::Run({"exiftool", "-b", tag, bare}).out, tag == "-XMP" ? "" : theirs) << tag;
    }
    if (!c.carries) {
      // Nothing carried: the encoder's file as it is.
      std::string plain = testsupport::TempPath(std::string("plain-") + c.name);
      picture->SaveToFile(plain);
      EXPECT_EQ(testsupport::ReadFile(target), testsupport::ReadFile(plain));
    }
  }
}

TEST(WriteBack, SegmentsComeFirstByteForByteAndTheEncodersOwnAreLeftOut) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string source = mdtest::MakeTaggedJpeg("layout.jpg", {"-Make=Acme", "-Comment=remark"});
  std::string rest;
  const auto sourceSegments = mdtest::SplitJpeg(testsupport::ReadFile(source), rest);
  const std::string target = testsupport::TempPath("layout-out.jpg");
  auto picture = NewPicture(16, 16);
  TimgData data(255);
  data.WriteMetadataJpeg(*picture, target, false, source);

  std::string encoded;
  {
    TMemoryStream stream;
    picture->SaveToStream(stream);
    encoded.assign(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()));
  }
  std::string encodedRest, outRest;
  auto encoderSegments = mdtest::SplitJpeg(encoded, encodedRest);
  const auto out = mdtest::SplitJpeg(testsupport::ReadFile(target), outRest);
  ASSERT_GE(out.size(), 3u);
  auto find = [&](uint8_t marker) {
    for (const auto& s : sourceSegments)
      if (s.marker == marker) return s.body;
    return std::string();
  };
  EXPECT_EQ(out[0].marker, 0xE1);
  EXPECT_EQ(out[0].body, find(0xE1));
  EXPECT_EQ(out[1].marker, 0xFE);
  EXPECT_EQ(out[1].body, find(0xFE));
  // Then the encoder's stream after its own APP0.
  ASSERT_EQ(encoderSegments.front().marker, 0xE0);
  encoderSegments.erase(encoderSegments.begin());
  ASSERT_EQ(out.size() - 2, encoderSegments.size());
  for (size_t i = 0; i < encoderSegments.size(); ++i) {
    EXPECT_EQ(out[i + 2].marker, encoderSegments[i].marker);
    EXPECT_EQ(out[i + 2].body, encoderSegments[i].body);
  }
  EXPECT_EQ(outRest, encodedRest);

  // Only an IPTC segment: the fixed JFIF segment first.
  const std::string iptc = mdtest::MakeTaggedJpeg("iptc-only.jpg", {"-JFIF:all=", "-IPTC:Keywords=x"});
  const std::string target2 = testsupport::TempPath("iptc-out.jpg");
  data.WriteMetadataJpeg(*picture, target2, false, iptc);
  const std::string bytes = testsupport::ReadFile(target2);
  EXPECT_EQ(bytes.substr(0, 20), std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x02\x01\x01\x2C\x01\x2C\x00\x00", 20));
  EXPECT_EQ(bytes.substr(20, 2), "\xFF\xED");
  const Values tool = mdtest::ExifToolValues(target2);
  EXPECT_EQ(Text(tool, "JFIF:XResolution"), "300");
  EXPECT_EQ(Text(tool, "JFIF:JFIFVersion"), "1 2");
}

// The picture size in the Exif data follows the new picture: SHORT and LONG
// entries, Intel and Motorola order.
TEST(WriteBack, AdjustedSizeInBothOrdersAndBothEntryTypes) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  for (bool motorola : {false, true}) {
    for (uint16_t type : {uint16_t(3), uint16_t(4)}) {
      SCOPED_TRACE(std::string(motorola ? "MM" : "II") + (type == 3 ? " SHORT" : " LONG"));
      mdtest::TiffWriter w(motorola);
      w.Put16(1);
      w.Entry(0x8769, 4, 1, 26);
      w.Put32(0);
      w.Put16(2);  // the Exif directory at 26
      w.Entry(0xA002, type, 1, 3000);
      w.Entry(0xA003, type, 1, 2000);
      w.Put32(0);
      const std::string source = mdtest::WriteTemp("size.jpg", mdtest::JpegWithExif(w.Bytes()));
      const std::string target = testsupport::TempPath("size-out.jpg");
      auto picture = NewPicture(120, 80);
      TimgData data(255);
      data.WriteMetadataJpeg(*picture, target, true, source);
      const Values tool = mdtest::ExifToolValues(target);
      EXPECT_EQ(Text(tool, "ExifIFD:ExifImageWidth"), "120");
      EXPECT_EQ(Text(tool, "ExifIFD:ExifImageHeight"), "80");
      // Without the adjustment the source's size stays.
      data.WriteMetadataJpeg(*picture, target, false, source);
      EXPECT_EQ(Text(mdtest::ExifToolValues(target), "ExifIFD:ExifImageWidth"), "3000");
    }
  }
}

// A TIFF source gives a well-formed Exif segment: its camera tags, Exif and GPS
// directories are carried, its own pixel structure is not.
TEST(WriteBack, TiffSourceBecomesAWellFormedExifSegment) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("jpeginfo");
  KIVO2_REQUIRE_TOOL("convert");
  for (const std::string order : {"II", "MM"}) {
    SCOPED_TRACE(order);
    const std::string source = testsupport::TempPath("camera-" + order + ".tif");
    ASSERT_EQ(testsupport::Run({"/usr/bin/convert", "-size", "64x48", "xc:#406080", "-endian",
                                order == "II" ? "LSB" : "MSB", source})
                  .exitCode,
              0);
    auto tagged = testsupport::Run({"exiftool", "-q", "-overwrite_original", "-Make=Nikon", "-Model=D70",
                                    "-Artist=Someone", "-DateTimeOriginal=2004:05:06 07:08:09", "-ExposureTime=1/60",
                                    "-FNumber=5.6", "-ExifImageWidth=64", "-ExifImageHeight=48",
                                    "-GPSLatitude=10.5", "-GPSLatitudeRef=S", "-InteropIndex=R98", source});
    ASSERT_EQ(tagged.exitCode, 0) << tagged.err;
    const Values before = MetadataTags(source);
    const std::string target = testsupport::TempPath("from-tiff-" + order + ".jpg");
    auto picture = NewPicture(32, 24);
    TimgData data(255);
    data.WriteMetadataJpeg(*picture, target, true, source);

    ExpectDecodes(target);
    EXPECT_EQ(Validation(target), "OK\n");
    const Values after = MetadataTags(target);
    int carried = 0;
    for (const auto& [key, value] : before) {
      const bool metadata = key.rfind("ExifIFD:", 0) == 0 || key.rfind("GPS:", 0) == 0 ||
                            key.rfind("InteropIFD:", 0) == 0 || key == "IFD0:Make" || key == "IFD0:Model" ||
                            key == "IFD0:Artist" || key == "IFD0:XResolution" || key == "IFD0:ResolutionUnit";
      if (!metadata) continue;
      ++carried;
      const std::string want = key == "ExifIFD:ExifImageWidth" ? "32" : key == "ExifIFD:ExifImageHeight" ? "24" : value;
      EXPECT_EQ(after.count(key) ? after.at(key) : "(missing)", want) << key;
    }
    EXPECT_GE(carried, 12);
    for (const char* structural : {"IFD0:StripOffsets", "IFD0:StripByteCounts", "IFD0:BitsPerSample",
                                   "IFD0:ImageWidth", "IFD0:PhotometricInterpretation", "IFD0:RowsPerStrip"}) {
      EXPECT_EQ(after.count(structural), 0u) << structural;
    }
    EXPECT_EQ(after.at("ExifIFD:ExifVersion").empty(), before.at("ExifIFD:ExifVersion").empty());
  }
}

TEST(WriteBack, AFailedWriteLeavesTheTargetAsItWas) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string source = mdtest::MakeTaggedJpeg("fail-source.jpg", {"-Make=Acme", "-Comment=c"});
  auto picture = NewPicture(40, 30);
  TimgData data(255);

  // A folder that does not exist: the failure reaches the caller, nothing is made.
  const std::string missing = testsupport::TempPath("no-such-folder") + "/out.jpg";
  EXPECT_THROW(data.WriteMetadataJpeg(*picture, missing, false, source), Exception);
  EXPECT_FALSE(fs::exists(testsupport::TempPath("no-such-folder")));

  // A full disk and a refused rename over an existing file (the original itself).
  const std::string folder = testsupport::TempPath("keep");
  fs::create_directories(folder);
  const std::string target = folder + "/picture.jpg";
  testsupport::WriteFile(target, testsupport::ReadFile(source));
  const std::string original = testsupport::ReadFile(target);
  for (TFileFaultOp op : {TFileFaultOp::Write, TFileFaultOp::Rename}) {
    TFileFaultScope fault(op, op == TFileFaultOp::Write ? ENOSPC : EIO, "/keep/");
    EXPECT_THROW(data.WriteMetadataJpeg(*picture, target, true, target), Exception);
    EXPECT_GE(fault.Hits(), 1);
    EXPECT_EQ(testsupport::ReadFile(target), original);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1) << "a temporary file was left behind";
  }
  // Without a fault the same call rewrites the file in place with its own metadata.
  data.WriteMetadataJpeg(*picture, target, true, target);
  const Values tool = mdtest::ExifToolValues(target);
  EXPECT_EQ(Text(tool, "IFD0:Make"), "Acme");
  EXPECT_EQ(Text(tool, "File:Comment"), "c");
  EXPECT_EQ(Text(tool, "File:ImageWidth"), "40");
}

// Stored segments that are not what the header writer may copy are left out: no
// byte of the encoder's stream is read past its end either.
TEST(WriteBack, HostileSourcesGiveValidFiles) {
  KIVO2_REQUIRE_TOOL("jpeginfo");
  KIVO2_REQUIRE_TOOL("convert");
  // A TIFF whose directories do not fit one segment: no Exif at all.
  mdtest::TiffWriter w(false);
  w.Put16(2);
  w.Entry(0x010F, 2, 4, 0x00414141);
  w.Entry(0x010E, 2, 70000, 38);
  w.Put32(0);
  w.Bytes() += std::string(70000, 'd');
  const std::string tiff = mdtest::WriteTemp("large.tif", w.Bytes());
  const std::string target = testsupport::TempPath("large-out.jpg");
  auto picture = NewPicture(8, 8);
  TimgData data(255);
  data.WriteMetadataJpeg(*picture, target, false, tiff);
  ExpectDecodes(target);
  std::string rest;
  for (const auto& s : mdtest::SplitJpeg(testsupport::ReadFile(target), rest)) EXPECT_NE(s.marker, 0xE1);

  // A TIFF that is no TIFF: a plain save.
  const std::string bogus = mdtest::WriteTemp("bogus.tif", "XX not a tiff");
  data.WriteMetadataJpeg(*picture, target, true, bogus);
  ExpectDecodes(target);

  // After a turn, Exif directories that point at one another are each looked at once (the
  // "Exif directory" here is the first one again, its size entry stays), and one cut short
  // anywhere changes nothing.
  mdtest::TiffWriter loop(true);
  loop.Put16(3);
  loop.Entry(0x0112, 3, 1, 6);
  loop.Entry(0x8769, 4, 1, 8);
  loop.Entry(0xA002, 4, 1, 3000);
  loop.Put32(8);
  const std::string exif = std::string{0, char(loop.Size() + 8)} + std::string("Exif\0\0", 6) + loop.Bytes();
  for (size_t cut = 0; cut <= exif.size(); ++cut) {
    TSegment segment{exif.substr(0, cut), 0xE1, int32_t(exif.size())};
    ResetTurnedOrientation(segment, 100, 200);
    EXPECT_EQ(segment.Data, cut < exif.size() ? exif.substr(0, cut) : exif.substr(0, 27) + '\1' + exif.substr(28));
  }

  // An XMP packet: the attribute and element forms of tiff:Orientation say 1; other values,
  // other names and a value cut off at the end stay.
  for (const auto& [packet, turned] : std::vector<std::pair<std::string, std::string>>{
           {"<d tiff:Orientation=\"6\"/>", "<d tiff:Orientation=\"1\"/>"},
           {"<d tiff:Orientation = '8' x='3'/>", "<d tiff:Orientation = '1' x='3'/>"},
           {"<tiff:Orientation> 3\n</tiff:Orientation><tiff:Orientation>5</t", "<tiff:Orientation> 1\n</tiff:Orientation><tiff:Orientation>1</t"},
           {"tiff:Orientation=\"9\" tiff:Orientations=\"6\" tiff:Orientation=\"66\" exif:Orientation=\"6\"", ""},
           {"<tiff:Orientation>6", ""}, {"tiff:Orientation=\"6", ""}}) {
    std::string changed = packet;
    ResetTurnedXmpOrientation(changed);
    EXPECT_EQ(changed, turned.empty() ? packet : turned);
  }

  // A thumbnail followed by a value of the first directory, replaced: a longer one goes to
  // the end, a shorter one keeps its place, one past 64 KiB leaves all as it was, and a
  // segment cut short anywhere before its end has none. exiftool finds each thumbnail where
  // it was put.
  const std::string small = testsupport::Run({"convert", "-size", "8x8", "xc:red", "jpg:-"}).out;
  const std::string large = testsupport::Run({"convert", "-size", "16x16", "plasma:", "jpg:-"}).out;
  auto withThumbnail = [](const std::string& thumbnail) {
    mdtest::TiffWriter t(false);
    t.Put16(1);
    t.Entry(0x010E, 2, 8, uint32_t(56 + thumbnail.size()));
    t.Put32(26);
    t.Put16(2);
    t.Entry(0x0201, 4, 1, 56);
    t.Entry(0x0202, 4, 1, uint32_t(thumbnail.size()));
    t.Put32(0);
    const std::string tiff = t.Bytes() + thumbnail + std::string("Kivo2 x\0", 8);
    return std::string{char((tiff.size() + 8) >> 8), char(tiff.size() + 8)} + "Exif" + std::string(2, '\0') + tiff;
  };
  const std::string huge = "\xFF\xD8" + std::string(70000, 'x');
  for (const auto& [before, after] : {std::pair{small, large}, {large, small}, {small, huge}}) {
    TSegment segment{withThumbnail(before), 0xE1, 0};
    EXPECT_EQ(ExifThumbnail(segment), before);
    EXPECT_EQ(ReplaceExifThumbnail(segment, after), after.size() < 70000);
    const std::string file = mdtest::WriteTemp("thumbnail.jpg", "\xFF\xD8\xFF\xE1" + segment.Data + small.substr(2));
    EXPECT_EQ(testsupport::Run({"exiftool", "-b", "-ThumbnailImage", file}).out, after.size() < 70000 ? after : before);
    EXPECT_EQ(testsupport::Run({"exiftool", "-s3", "-ImageDescription", file}).out, "Kivo2 x\n");
    // Taken out: exiftool finds no thumbnail, and the rest as it was.
    TSegment gone{withThumbnail(before), 0xE1, 0};
    EXPECT_TRUE(RemoveExifThumbnail(gone));
    const std::string without = mdtest::WriteTemp("without.jpg", "\xFF\xD8\xFF\xE1" + gone.Data + small.substr(2));
    EXPECT_EQ(testsupport::Run({"exiftool", "-s3", "-ThumbnailLength", "-ImageDescription", without}).out, "Kivo2 x\n");
    for (size_t cut = 0; cut < 64 + before.size(); cut += 3) {
      TSegment part{withThumbnail(before).substr(0, cut), 0xE1, 0};
      EXPECT_EQ(ExifThumbnail(part), "");
      EXPECT_FALSE(ReplaceExifThumbnail(part, small) || RemoveExifThumbnail(part));
      EXPECT_EQ(part.Data, withThumbnail(before).substr(0, cut));
    }
  }

  // Exif spread over segments as long as a segment can be (its TIFF data made longer than one
  // holds by zero bytes at its end), joined and spread again as it was; a thumbnail past 64
  // KiB takes its place and is spread on in such segments, which exiftool joins: it finds the
  // thumbnail and the other value. Taken out with its bytes, the thumbnail leaves the run as
  // long as it was. A run cut short, holding another segment, with a segment that claims more than it
  // holds, of shorter segments (3, then 5 bytes of the TIFF data each), or holding two whole
  // Exif segments back to back (each with its TIFF header and thumbnail, after a full segment
  // or not) is none.
  const std::string one = withThumbnail(small), padded = one.substr(8) + std::string(70000, '\0');
  auto runOf = [](const std::string& data, size_t first, size_t size) {
    std::string run;
    for (size_t at = 0; at < data.size(); at += first, first = size) {
      const std::string part = data.substr(at, first);
      run += std::string(at > 0 ? "\xFF\xE1" : "") + char((part.size() + 8) >> 8) + char((part.size() + 8) & 0xFF) +
             "Exif" + std::string(2, '\0') + part;
    }
    return run;
  };
  const std::string run = runOf(padded, 65527, 65527);
  auto read = [&small](const std::string& spread, const char* tag) {
    const std::string file = mdtest::WriteTemp("spread.jpg", "\xFF\xD8\xFF\xE1" + spread + small.substr(2));
    return testsupport::Run({"exiftool", "-b", tag, file}).out;
  };
  const std::string noisy = testsupport::Run({"convert", "-size", "160x160", "xc:#808081", "+noise", "Random",
                                              "-quality", "100", "jpg:-"}).out;
  ASSERT_GT(noisy.size(), 70000u);
  TSegment joined;
  std::vector<size_t> parts;
  ASSERT_TRUE(JoinExifSegments(run, joined, parts));
  EXPECT_EQ(joined.Data.substr(2), std::string("Exif\0\0", 6) + padded);
  EXPECT_EQ(SplitExifSegment(joined, parts), run);
  EXPECT_TRUE(ReplaceExifThumbnail(joined, noisy, 1 << 20));
  const std::string spread = SplitExifSegment(joined, parts);
  EXPECT_TRUE(read(spread, "-ThumbnailImage") == noisy);
  EXPECT_EQ(read(spread, "-ImageDescription"), std::string("Kivo2 x"));
  EXPECT_EQ(spread, runOf(joined.Data.substr(8), 65527, 65527));
  EXPECT_TRUE(RemoveExifThumbnail(joined, true));
  const std::string removed = SplitExifSegment(joined, parts);
  EXPECT_EQ(removed.size(), run.size());
  EXPECT_EQ(read(removed, "-ImageDescription"), std::string("Kivo2 x"));
  EXPECT_EQ(read(removed, "-ThumbnailLength"), "");
  std::string claims = run;
  claims[run.rfind("\xFF\xE1") + 3]++;
  for (const std::string& bad : {run.substr(0, run.size() - 1), run + "\xFF\xE2" + run, claims, std::string(),
                                 runOf(padded, 3, 5), one + "\xFF\xE1" + one, run.substr(0, 65535) + "\xFF\xE1" + one}) {
    TSegment none;
    EXPECT_FALSE(JoinExifSegments(bad, none, parts));
    EXPECT_TRUE(none.Data.empty());
  }
}
