// The metadata record: the choice of reader by extension, the JPEG segment scan
// with the Exif header check, and the TIFF entry.
#include "metadata/ExifData.h"
#include "metadata/ExifData_Internal.h"
#include "metadata/IptcData.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

const char* const kStatusNone = "<none>";
const char* const kStatusNotExif = "Not an EXIF file";
const char* const kStatusIllegal = "Illegal Exif construction";
const char* const kStatusBadHeader = "Incorrect Exif header";
const char* const kStatusBadAlignment = "Invalid Exif alignment marker";
const char* const kStatusBadDirectory = "Illegally sized directory";
const char* const kStatusEntryLimit = "Too many Exif entries; the rest was not read";
const char* const kStatusRecordLimit = "Too many Exif tags; the rest was not read";
const char* const kStatusValueLimit = "Exif values too large; the rest was not read";

namespace {

constexpr int kMetadataSearchSegments = 5;
constexpr int kMaxFillBytes = 65536;

}  // namespace

TimgData::TimgData(int32_t readMode) : ReadMode(readMode) { reset(); }

TimgData::~TimgData() = default;

void TimgData::reset() {
  SegmentCount = 0;
  ExifSegment = IptcSegment = CommentSegment = JfifSegment = nullptr;
  FileName.clear();
  FileDate = 0;
  FileSize = 0;
  ErrStr.clear();
  ImageInfo.reset();
  IptcData.reset();
  TiffFirstIfd = 0;
  MotorolaOrder = false;
  ReadingTiff = false;
  DataBuffer = std::string_view();
  Budget.Reset();
}

bool TimgData::HasMetadata() const {
  return ExifSegment != nullptr || CommentSegment != nullptr || IptcSegment != nullptr;
}

bool TimgData::HasThumbnail() const {
  if (!ExifSegment || !ImageInfo) return false;
  return ImageInfo->ThumbStart >= 22 && ImageInfo->ThumbLength >= 257;
}

void TimgData::CommentText(std::string& text) const {
  text.clear();
  if (!CommentSegment) return;
  const std::string& data = CommentSegment->Data;
  const int64_t n = int64_t(CommentSegment->Size) - 2;
  if (n > 0 && data.size() > 2) text = data.substr(2, size_t(n));
}

bool TimgData::FileHasMetadata(const std::string& fileName) {
  ReadFileMetadata(fileName);
  return HasMetadata();
}

bool TimgData::ReadFileMetadata(const std::string& fileName) {
  reset();
  // One look at the file gives whether it is one, its date and its size.
  TDateTime date = 0;
  int64_t size = -1;
  if (!FileAgeAndSize(fileName, date, size)) return false;
  try {
    FileName = fileName;
    FileDate = date;
    FileSize = size;
    ErrStr = kStatusNotExif;
    const std::string ext = LowerCase(ExtractFileExt(fileName));
    if (ext == ".jpg" || ext == ".jpeg" || ext == ".thm" || ext == ".jpe") {
      if (!readJpeg(fileName)) return false;
    } else if (ext == ".tif" || ext == ".tiff" || ext == ".nef") {
      if (!readTiff(fileName)) return false;
    } else {
      return false;
    }
    // A header that could not be read keeps its text, and so does a read that a
    // limit stopped (what was read before it is kept); any other read ends well.
    if (Budget.Spent())
      ErrStr = Budget.StopText();
    else if (ErrStr != kStatusBadHeader && ErrStr != kStatusBadAlignment)
      ErrStr = kStatusNone;
    return true;
  } catch (...) {
    ReadingTiff = false;
    ErrStr = kStatusIllegal;
    return false;
  }
}

bool TimgData::readJpeg(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  return ScanJpegSegments(stream);
}

bool TimgData::ScanJpegSegments(TStream& stream) {
  unsigned char soi[2];
  if (stream.Read(soi, 2) != 2 || soi[0] != 0xFF || soi[1] != 0xD8) return false;
  SegmentCount = 0;
  while (SegmentCount < kMaxSegments) {
    // Fill bytes and the 0xFF that opens the marker; the end of the data, or a run
    // of fill bytes longer than any segment, ends the scan.
    unsigned char marker = 0xFF;
    int fill = 0;
    do {
      if (stream.Read(&marker, 1) != 1 || ++fill > kMaxFillBytes) return HasMetadata();
    } while (marker == 0xFF);

    TSegment& segment = Segments[size_t(SegmentCount)];
    ++SegmentCount;
    unsigned char len[2];
    if (stream.Read(len, 2) != 2) {
      --SegmentCount;  // a segment cut short is not kept
      break;
    }
    const int32_t size = (int32_t(len[0]) << 8) | len[1];
    if (size < 2) {
      --SegmentCount;
      break;
    }
    segment.Marker = marker;
    segment.Size = size;
    segment.Data.resize(size_t(size));
    segment.Data[0] = char(len[0]);
    segment.Data[1] = char(len[1]);
    if (stream.Read(segment.Data.data() + 2, size - 2) != size - 2) {
      --SegmentCount;
      break;
    }

    if (SegmentCount == kMetadataSearchSegments && !HasMetadata()) break;

    switch (marker) {
      case 0xE1: {
        // Only an APP1 segment with the Exif header is taken as the Exif segment;
        // any other (an XMP packet, say) is given back, so a later one overwrites it.
        const bool exifHeader = segment.Data.size() >= 7 && segment.Data.compare(2, 5, std::string("Exif\0", 5)) == 0;
        if (SegmentCount <= kMetadataSearchSegments && !ExifSegment && exifHeader) {
          ExifSegment = &segment;
          ImageInfo = std::make_unique<TImageInfo>(this, ReadMode);
          DataBuffer = segment.Data;
          processExifHeader(segment);
        } else {
          --SegmentCount;
        }
        break;
      }
      case 0xED:
        if (!IptcSegment) {
          IptcSegment = &segment;
          IptcData = std::make_unique<TIPTCdata>(this);
        }
        break;
      case 0xFE: CommentSegment = &segment; break;
      case 0xE0: JfifSegment = &segment; break;
      case 0xD9:
      case 0xDA: return HasMetadata();
      default: break;
    }
  }
  return HasMetadata();
}

void TimgData::processExifHeader(TSegment& segment) {
  if (!ImageInfo) ImageInfo = std::make_unique<TImageInfo>(this, ReadMode);
  const std::string& data = segment.Data;
  if (data.size() < 7 || data.compare(2, 5, std::string("Exif\0", 5)) != 0) {
    ErrStr = kStatusBadHeader;
    return;
  }
  if (data.size() >= 10 && data[8] == 'I' && data[9] == 'I') {
    MotorolaOrder = false;
  } else if (data.size() >= 10 && data[8] == 'M' && data[9] == 'M') {
    MotorolaOrder = true;
  } else {
    ErrStr = kStatusBadAlignment;
    return;
  }
  TImageInfo& info = *ImageInfo;
  info.TagText.clear();
  info.SetDataBuffer(data);
  info.MotorolaOrder = MotorolaOrder;
  // Offsets count from the TIFF header at position 9.
  const int64_t first = Get32(13);
  const int64_t start = first == 0 ? 17 : first + 9;
  info.WalkDirectory(start, 9, kMainDirectory, int64_t(segment.Size) - 6);
  if (!ErrStr.empty()) info.Compute35mmEquivalent();
}

bool TimgData::readTiff(const std::string& fileName) {
  ReadingTiff = true;
  struct ClearFlag {
    bool& flag;
    ~ClearFlag() { flag = false; }
  } clearFlag{ReadingTiff};
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  char header[8] = {};
  if (stream.Read(header, 2) != 2) return false;
  const bool intel = header[0] == 'I' && header[1] == 'I';
  const bool motorola = header[0] == 'M' && header[1] == 'M';
  if (!intel && !motorola) return false;
  stream.Read(header + 2, 6);

  // The window: the file's bytes from offset 8 on (file offset X at position X - 7),
  // zeros after a short file's end.
  TSegment& segment = Segments[0];
  segment.Data.assign(size_t(kTiffWindow), '\0');
  const int64_t got = stream.Read(segment.Data.data(), kTiffWindow);
  (void)got;
  segment.Marker = 0;
  segment.Size = 0;
  SegmentCount = 1;
  ExifSegment = &segment;

  MotorolaOrder = motorola;
  ImageInfo = std::make_unique<TImageInfo>(this, ReadMode);
  TImageInfo& info = *ImageInfo;
  info.ReadingTiff = ReadingTiff;
  info.TagText.clear();
  info.SetDataBuffer(segment.Data);
  DataBuffer = segment.Data;
  info.MotorolaOrder = motorola;

  // The first directory lies where the header says; one outside the window reads as empty.
  auto byte = [&header](int i) { return uint32_t(static_cast<unsigned char>(header[i])); };
  const uint32_t ifd0 = motorola ? (byte(4) << 24) | (byte(5) << 16) | (byte(6) << 8) | byte(7)
                                 : (byte(7) << 24) | (byte(6) << 16) | (byte(5) << 8) | byte(4);
  TiffFirstIfd = ifd0;
  info.WalkDirectory(int64_t(ifd0) - 7, -7, kMainDirectory, kTiffWindow);
  info.Compute35mmEquivalent();
  return true;
}
