// Hostile Exif data that is valid in form but costs unbounded work: directories
// that overlap and point into one another, entries that all copy one large
// value, and numbers far outside the range of the integers they become. The
// read must end quickly, keep a few thousand records at most, hold its memory
// to a few megabytes and say in its status that it stopped.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "MetadataTestUtil.h"
#include "metadata/ExifData.h"

namespace {

using mdtest::WriteTemp;

// Far above what any camera writes into one file, far below what hurts.
constexpr int kFewThousandRecords = 5000;
constexpr size_t kFewMegabytes = size_t(16) << 20;

const std::string kEntryLimit = "Too many Exif entries; the rest was not read";
const std::string kRecordLimit = "Too many Exif tags; the rest was not read";
const std::string kValueLimit = "Exif values too large; the rest was not read";

// The largest TIFF structure that fits in one APP1 segment after "Exif\0\0".
constexpr size_t kSegmentTiffBytes = 65533 - 6;

// A TIFF structure of about `size` bytes whose first directory fills it with
// Exif pointers. In Motorola order the last two bytes of an entry's value field
// are the entry count of a directory that starts two bytes before the next
// entry, so such directories overlap the first one and reuse its entries. Each
// pointer leads to one of them, chosen so that its count still fits in the data:
// some hundreds of distinct directories of thousands of entries each. The first
// entry is Make "Acm".
std::string OverlappingDirectories(size_t size) {
  mdtest::TiffWriter w(true);
  const uint32_t entries = uint32_t((size - 8 - 2 - 4) / 12);
  w.Put16(entries);
  w.Entry(0x010F, 2, 4, 0x41636D00);
  for (uint32_t j = 1; j < entries; ++j) {
    // The directory starting at 8 + 12 (j + 1) reads this value as its count.
    const int64_t m = (int64_t(entries) - j - 9) / 12;
    w.Entry(0x8769, 4, 1, uint32_t(8 + 12 * (m > 0 ? m : 0)));
  }
  w.Put32(0);
  return w.Bytes();
}

// One directory of `entries` entries that each copy the same `valueBytes`
// bytes from offset 8 on, alternately as ImageDescription and UserComment.
std::string RepeatedLargeValues(uint32_t entries, uint32_t valueBytes) {
  mdtest::TiffWriter w(false);
  w.Put16(entries);
  for (uint32_t i = 0; i < entries; ++i) w.Entry(i % 2 ? 0x9286 : 0x010E, 7, valueBytes, 8);
  w.Put32(0);
  if (w.Size() < 8 + valueBytes) w.Bytes().resize(8 + valueBytes, 'v');
  return w.Bytes();
}

// The memory a read keeps: its texts, records and their strings.
size_t RetainedBytes(const TImageInfo& info) {
  size_t n = info.TagText.size() + info.MakerNote.size() + info.Comments.size() + info.MakerNoteText.size() +
             info.Tags.capacity() * sizeof(TTagEntry);
  for (const TTagEntry& t : info.Tags)
    n += t.Name.size() + t.Desc.size() + t.Code.size() + t.Data.size() + t.Raw.size() + t.FormatS.size();
  return n;
}

// The process's peak resident size in kB ("VmHWM"); -1 when unknown.
long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

struct Cost {
  double seconds = 0;
  long peakGrowthKb = -1;  // -1 when the peak could not be reset
};

// Runs the read and measures its time and how far it raised the peak resident size.
Cost Measure(const std::function<void()>& read) {
  Cost cost;
  std::ofstream clear("/proc/self/clear_refs");
  const bool reset = clear && (clear << "5").flush();
  clear.close();
  const long before = PeakResidentKb();
  const auto t0 = std::chrono::steady_clock::now();
  read();
  cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const long after = PeakResidentKb();
  if (reset && before >= 0 && after >= 0) cost.peakGrowthKb = after - before;
  return cost;
}

void ExpectBounded(const Cost& cost, const TImageInfo& info) {
  EXPECT_LT(cost.seconds, 3.0);
  if (cost.peakGrowthKb >= 0) {
    EXPECT_LT(cost.peakGrowthKb, 256 * 1024);
  }
  EXPECT_LE(info.TagCount(), kFewThousandRecords);
  EXPECT_LT(RetainedBytes(info), kFewMegabytes);
}

size_t Lines(const std::string& text) {
  size_t n = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++n;
  return n;
}

// The nearest integer of v held to the range of T.
template <typename T>
T Clamped(double v) {
  const double lo = double(std::numeric_limits<T>::min()), hi = double(std::numeric_limits<T>::max());
  return v <= lo ? std::numeric_limits<T>::min() : v >= hi ? std::numeric_limits<T>::max() : T(std::nearbyint(v));
}

double ToolNumber(const std::map<std::string, std::string>& values, const std::string& key) {
  auto it = values.find(key);
  return it == values.end() ? NAN : std::strtod(it->second.c_str(), nullptr);
}

}  // namespace

TEST(ExifReadLimits, OverlappingDirectoriesInOneSegment) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("exiftool");
  // exiftool reads the construction (small: full size it takes exiftool minutes).
  const std::string small = WriteTemp("overlap-small.jpg", mdtest::JpegWithExif(OverlappingDirectories(2000)));
  ASSERT_EQ(mdtest::ExifToolValues(small)["IFD0:Make"], "Acm");
  // One Exif segment of full size.
  const std::string jpeg = mdtest::JpegWithExif(OverlappingDirectories(kSegmentTiffBytes));
  ASSERT_GT(uint8_t(jpeg[4]) << 8 | uint8_t(jpeg[5]), 65500);
  const std::string file = WriteTemp("overlap.jpg", jpeg);

  TimgData data(255);
  bool read = false;
  const Cost cost = Measure([&] { read = data.ReadFileMetadata(file); });
  ASSERT_TRUE(read);
  ASSERT_NE(data.ImageInfo, nullptr);
  const TImageInfo& info = *data.ImageInfo;
  ExpectBounded(cost, info);
  // What was read before the stop is kept, and the status says why the read stopped.
  EXPECT_EQ(info.CameraMake, "Acm");
  EXPECT_GT(info.TagCount(), 100);
  EXPECT_EQ(data.ErrStr, kRecordLimit);
  EXPECT_EQ(info.ExifSummary(), "File Name: overlap.jpg\r\nExif Error: " + kRecordLimit);
  const std::string locale = testsupport::ProgramDir() + "/locale";
  if (access((locale + "/nl/LC_MESSAGES/default.mo").c_str(), R_OK) == 0) {
    InitTranslation(locale);
    UseLanguage("nl");
    EXPECT_EQ(info.ExifSummary(), "Bestandsnaam: overlap.jpg\r\nExif-fout: Te veel Exif-tags; de rest is niet gelezen");
    UseLanguage("en");
  }

  // Texts only (no records): the entries walked are capped.
  data.ReadMode = 2;
  const Cost textCost = Measure([&] { read = data.ReadFileMetadata(file); });
  ASSERT_TRUE(read);
  ExpectBounded(textCost, *data.ImageInfo);
  EXPECT_EQ(data.ImageInfo->TagCount(), 0);
  EXPECT_LE(Lines(data.ImageInfo->TagText), size_t(2 * kFewThousandRecords));
  EXPECT_EQ(data.ErrStr, kEntryLimit);

  // The same read again starts with a fresh budget.
  data.ReadMode = 255;
  ASSERT_TRUE(data.ReadFileMetadata(file));
  EXPECT_EQ(data.ErrStr, kRecordLimit);
  EXPECT_EQ(data.ImageInfo->CameraMake, "Acm");
}

// Each limit takes exactly its amount; the next take fails and every later one too.
TEST(ExifReadLimits, TheBudgetGivesItsWholeAmountAndNoMore) {
  TReadBudget records, bytes;
  for (int i = 0; i < TReadBudget::kMaxRecords; ++i) ASSERT_TRUE(records.TakeRecord()) << i;
  EXPECT_FALSE(records.TakeRecord());
  EXPECT_TRUE(bytes.TakeValueBytes(TReadBudget::kMaxValueBytes - 1));
  EXPECT_TRUE(bytes.TakeValueBytes(1));
  EXPECT_FALSE(bytes.TakeValueBytes(1));
  EXPECT_FALSE(bytes.TakeEntry());
}

TEST(ExifReadLimits, OverlappingDirectoriesInATiffWindow) {
  // The TIFF entry reads a window four times a segment: the same limits hold.
  std::string tiff = OverlappingDirectories(250000);
  const std::string file = WriteTemp("overlap.tif", tiff);
  TimgData data(255);
  bool read = false;
  const Cost cost = Measure([&] { read = data.ReadFileMetadata(file); });
  ASSERT_TRUE(read);
  ExpectBounded(cost, *data.ImageInfo);
  EXPECT_EQ(data.ImageInfo->CameraMake, "Acm");
  EXPECT_EQ(data.ErrStr, kRecordLimit);

  // A TIFF's bytes are read where its entries point: 8,000 values spread over 2 GB
  // of a sparse file cost no more than the read's budget.
  mdtest::TiffWriter w(false);
  w.Put16(8000);
  w.Entry(0x010F, 2, 4, 0x006D6341);  // "Acm"
  for (uint32_t i = 1; i < 8000; ++i) w.Entry(0x010E, 2, 16, 65536 + i * 262144);
  const std::string spread = WriteTemp("spread.tif", w.Bytes());
  std::filesystem::resize_file(spread, uintmax_t(8000) * 262144);
  // Measured first: the read replaces the record the check then looks at.
  const Cost spreadCost = Measure([&] { ASSERT_TRUE(data.ReadFileMetadata(spread)); });
  ExpectBounded(spreadCost, *data.ImageInfo);
  EXPECT_EQ(data.ImageInfo->CameraMake + "; " + data.ErrStr, "Acm; Exif values too large; the rest was not read");
}

TEST(ExifReadLimits, EntriesThatRepeatOneLargeValue) {
  KIVO2_REQUIRE_TOOL("convert");
  // 5,000 entries that each copy 60,000 bytes of the segment.
  const std::string tiff = RepeatedLargeValues(5000, 60000);
  ASSERT_LE(tiff.size(), kSegmentTiffBytes);
  const std::string file = WriteTemp("large-values.jpg", mdtest::JpegWithExif(tiff));
  TimgData data(255);
  bool read = false;
  const Cost cost = Measure([&] { read = data.ReadFileMetadata(file); });
  ASSERT_TRUE(read);
  const TImageInfo& info = *data.ImageInfo;
  ExpectBounded(cost, info);
  EXPECT_EQ(data.ErrStr, kValueLimit);
  // The values read before the stop are whole.
  ASSERT_GE(info.TagCount(), 2);
  EXPECT_EQ(info.Tags[0].Raw, tiff.substr(8, 60000));
  EXPECT_EQ(info.Tags[1].Name, "UserComment");
  EXPECT_EQ(info.Tags[1].Raw.size(), 60000u);

  // Texts only: the comment texts are bounded the same way.
  data.ReadMode = 2;
  const Cost textCost = Measure([&] { read = data.ReadFileMetadata(file); });
  ASSERT_TRUE(read);
  ExpectBounded(textCost, *data.ImageInfo);
  EXPECT_EQ(data.ErrStr, kValueLimit);
}

TEST(ExifReadLimits, LargeFilesOfRealWritersStayWhole) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("exiftool");
  // A comment of 60,000 characters and a full set of camera tags, written by exiftool.
  const std::string comment(60000, 'c');
  const std::string file = mdtest::MakeTaggedJpeg(
      "long-comment.jpg", {"-Make=Canon", "-Model=PowerShot A70", "-UserComment=" + comment, "-FNumber=2.8",
                           "-ExposureTime=1/250", "-GPSLatitude=52.37", "-GPSLatitudeRef=N"});
  const auto tool = mdtest::ExifToolValues(file);
  ASSERT_EQ(tool.at("ExifIFD:UserComment").size(), comment.size());
  TimgData data(255);
  ASSERT_TRUE(data.ReadFileMetadata(file));
  EXPECT_EQ(data.ErrStr, "<none>");
  EXPECT_EQ(data.ImageInfo->Comments, tool.at("ExifIFD:UserComment"));
  EXPECT_EQ(data.ImageInfo->GetTagNumber("FNumber"), ToolNumber(tool, "ExifIFD:FNumber"));

  // A TIFF whose first directory holds a 200,000-byte value and 2,000 entries.
  mdtest::TiffWriter w(false);
  const uint32_t entries = 2000, valueAt = 8 + 2 + entries * 12 + 4;
  w.Put16(entries);
  w.Entry(0x010F, 2, 4, 0x006D6341);  // "Acm"
  w.Entry(0x02BC, 1, 200000, valueAt);
  for (uint32_t i = 2; i < entries; ++i) w.Entry(i % 2 ? 0x0128 : 0x0129, 3, 1, i);  // ResolutionUnit, PageNumber
  w.Put32(0);
  w.Bytes().resize(valueAt + 200000, 'x');
  const std::string tif = WriteTemp("many-entries.tif", w.Bytes());
  ASSERT_TRUE(data.ReadFileMetadata(tif));
  EXPECT_EQ(data.ErrStr, "<none>");
  EXPECT_EQ(data.ImageInfo->CameraMake, mdtest::ExifToolValues(tif)["IFD0:Make"]);
  EXPECT_EQ(data.ImageInfo->TagCount(), int(entries));
}

TEST(ExifReadLimits, NumbersOutsideTheIntegerRangeAreHeldToIt) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("exiftool");
  // Size tags, Flash and the focal-plane resolution as DOUBLEs and LONGs far
  // beyond the 32-bit range; a resolution unit and focal length so that the
  // 35 mm computation reads them too.
  mdtest::TiffWriter w(true);
  const uint32_t n = 8, dataAt = 8 + 2 + n * 12 + 4;
  w.Put16(n);
  w.Entry(0x0100, 12, 1, dataAt);         // ImageWidth 5.9e180
  w.Entry(0x0101, 4, 1, 0xFFFFFFFF);      // ImageLength 4294967295
  w.Entry(0x011A, 12, 1, dataAt + 8);     // XResolution 1e300
  w.Entry(0x9209, 12, 1, dataAt + 16);    // Flash -5.9e180
  w.Entry(0x920A, 5, 1, dataAt + 24);     // FocalLength 9/1
  w.Entry(0xA20E, 12, 1, dataAt + 8);     // FocalPlaneXResolution 1e300
  w.Entry(0xA20F, 11, 1, 0xFF7FFFFF);     // FocalPlaneYResolution -3.4e38 (FLOAT)
  w.Entry(0xA210, 3, 1, 2);               // FocalPlaneResolutionUnit inch
  w.Put32(0);
  auto putDouble = [&w](double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    w.Put32(uint32_t(bits >> 32));
    w.Put32(uint32_t(bits));
  };
  putDouble(5.9e180);
  putDouble(1e300);
  putDouble(-5.9e180);
  w.Put32(9);
  w.Put32(1);
  const std::string file = WriteTemp("huge-numbers.jpg", mdtest::JpegWithExif(w.Bytes()));
  const auto tool = mdtest::ExifToolValues(file);
  const double width = ToolNumber(tool, "IFD0:ImageWidth"), height = ToolNumber(tool, "IFD0:ImageHeight");
  const double flash = ToolNumber(tool, "IFD0:Flash"), xres = ToolNumber(tool, "IFD0:FocalPlaneXResolution");
  const double yres = ToolNumber(tool, "IFD0:FocalPlaneYResolution");
  ASSERT_GT(width, 1e180);
  ASSERT_EQ(height, 4294967295.0);
  ASSERT_LT(flash, -1e180);
  ASSERT_GT(xres, 1e299);
  ASSERT_LT(yres, -1e38);

  TimgData data(255);
  ASSERT_TRUE(data.ReadFileMetadata(file));
  const TImageInfo& info = *data.ImageInfo;
  EXPECT_EQ(info.Width, Clamped<int32_t>(width));
  EXPECT_EQ(info.Height, Clamped<int32_t>(height));
  EXPECT_EQ(info.FlashUsed, Clamped<int32_t>(flash));
  EXPECT_EQ(info.GetTagInteger("ImageWidth"), Clamped<int64_t>(width));
  EXPECT_EQ(info.GetTagInteger("ImageLength"), Clamped<int64_t>(height));
  EXPECT_EQ(info.GetTagInteger("Flash"), Clamped<int64_t>(flash));
  EXPECT_EQ(info.GetTagInteger("FocalPlaneXResolution"), Clamped<int64_t>(xres));
  EXPECT_EQ(info.GetTagInteger("FocalPlaneYResolution"), Clamped<int64_t>(yres));
  EXPECT_EQ(data.ErrStr, "<none>");
  // The summary shows the held numbers; Flash -5.9e180 has bit 0 clear.
  const std::string summary = info.ExifSummary();
  EXPECT_NE(summary.find("Dimensions: " + mdtest::ToolText(tool, "File:ImageWidth") + " x " +
                         mdtest::ToolText(tool, "File:ImageHeight")),
            std::string::npos)
      << summary;
  EXPECT_NE(summary.find("Flash: No"), std::string::npos) << summary;
}
