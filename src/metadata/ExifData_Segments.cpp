// The metadata record: the choice of reader by extension, the JPEG segment scan
// with the Exif header check, and the TIFF entry.
#include <algorithm>

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
// Segments looked at past the records kept, for the frame header and a copy's
// colour profile and XMP; and how much of those a copy carries at most (a profile
// has at most 255 chunks of 64 KB).
constexpr int kMaxSkimmedSegments = 512;
constexpr size_t kMaxCarriedSegments = 512;
constexpr int64_t kMaxCarriedBytes = int64_t(32) << 20;

bool StartsWith(const std::string& data, size_t at, std::string_view text) {
  return data.size() >= at + text.size() && std::string_view(data).substr(at, text.size()) == text;
}

// Start-of-frame markers: every SOFn but DHT (C4), JPG (C8) and DAC (CC).
bool IsFrameHeader(int marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Reads the fill bytes, the marker and the length field of the next segment;
// False at the end of the data or after a run of fill bytes longer than any segment.
bool ReadMarker(TStream& stream, unsigned char& marker, unsigned char (&len)[2]) {
  marker = 0xFF;
  int fill = 0;
  do {
    if (stream.Read(&marker, 1) != 1 || ++fill > kMaxFillBytes) return false;
  } while (marker == 0xFF);
  return stream.Read(len, 2) == 2;
}

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
  PictureWidth = PictureHeight = 0;
  CarriedSegments.clear();
  carriedBytes_ = 0;
  MotorolaOrder = false;
  ReadingTiff = false;
  Source = TByteSource();
  TiffPages.reset();
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
    unsigned char marker, len[2];
    if (!ReadMarker(stream, marker, len)) return HasMetadata();
    TSegment& segment = Segments[size_t(SegmentCount)];
    ++SegmentCount;
    const int32_t size = (int32_t(len[0]) << 8) | len[1];
    if (size < 2) {
      --SegmentCount;  // a segment cut short is not kept
      return HasMetadata();
    }
    segment.Marker = marker;
    segment.Size = size;
    segment.Data.resize(size_t(size));
    segment.Data[0] = char(len[0]);
    segment.Data[1] = char(len[1]);
    if (stream.Read(segment.Data.data() + 2, size - 2) != size - 2) {
      --SegmentCount;
      return HasMetadata();
    }

    if (SegmentCount == kMetadataSearchSegments && !HasMetadata()) return false;
    takeFrameOrCarried(segment);

    switch (marker) {
      case 0xE1: {
        // Only an APP1 segment with the Exif header is taken as the Exif segment;
        // any other (an XMP packet, say) is given back, so a later one overwrites it.
        const bool exifHeader = segment.Data.size() >= 7 && segment.Data.compare(2, 5, std::string("Exif\0", 5)) == 0;
        if (SegmentCount <= kMetadataSearchSegments && !ExifSegment && exifHeader) {
          ExifSegment = &segment;
          ImageInfo = std::make_unique<TImageInfo>(this, ReadMode);
          SetDataBuffer(segment.Data);
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

  // Past the records kept: the frame header when it was not among them, and while
  // a copy is made, its colour profile and XMP. Other segments are passed over.
  for (int n = 0; n < kMaxSkimmedSegments && (PictureWidth == 0 || collectCarried_); ++n) {
    unsigned char marker, len[2];
    if (!ReadMarker(stream, marker, len) || marker == 0xD9 || marker == 0xDA) break;
    const int32_t size = (int32_t(len[0]) << 8) | len[1];
    if (size < 2) break;
    if (!IsFrameHeader(marker) && !(collectCarried_ && (marker == 0xE1 || marker == 0xE2))) {
      if (stream.Seek(size - 2, soCurrent) < 0) break;
      continue;
    }
    TSegment segment{std::string(size_t(size), '\0'), marker, size};
    segment.Data[0] = char(len[0]);
    segment.Data[1] = char(len[1]);
    if (stream.Read(segment.Data.data() + 2, size - 2) != size - 2) break;
    takeFrameOrCarried(segment);
  }
  return HasMetadata();
}

void TimgData::takeFrameOrCarried(const TSegment& segment) {
  const std::string& data = segment.Data;
  if (IsFrameHeader(segment.Marker) && PictureWidth == 0 && data.size() >= 7) {
    // Length, precision, then the number of lines and of samples per line.
    auto at = [&data](size_t i) { return int32_t(static_cast<unsigned char>(data[i])); };
    PictureHeight = (at(3) << 8) | at(4);
    PictureWidth = (at(5) << 8) | at(6);
    return;
  }
  if (!collectCarried_ || CarriedSegments.size() >= kMaxCarriedSegments ||
      carriedBytes_ + int64_t(data.size()) > kMaxCarriedBytes)
    return;
  const bool profile = segment.Marker == 0xE2 && StartsWith(data, 2, std::string_view("ICC_PROFILE\0", 12));
  const bool xmp = segment.Marker == 0xE1 && (StartsWith(data, 2, std::string_view("http://ns.adobe.com/xap/1.0/\0", 29)) ||
                                              StartsWith(data, 2, std::string_view("http://ns.adobe.com/xmp/extension/\0", 35)));
  if (!profile && !xmp) return;
  CarriedSegments.push_back(segment);
  carriedBytes_ += int64_t(data.size());
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
  char header[8] = {};
  {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    if (stream.Read(header, 2) != 2) return false;
    stream.Read(header + 2, 6);
  }
  const bool intel = header[0] == 'I' && header[1] == 'I';
  const bool motorola = header[0] == 'M' && header[1] == 'M';
  if (!intel && !motorola) return false;

  // The file from offset 8 on (file offset X at position X - 7), its bytes read
  // where the directories and values lie.
  TiffPages = std::make_unique<TFilePages>(fileName, 8, Budget);
  TSegment& segment = Segments[0];
  segment.Data.clear();
  segment.Marker = 0;
  segment.Size = 0;
  SegmentCount = 1;
  ExifSegment = &segment;

  MotorolaOrder = motorola;
  Source = TByteSource{std::string_view(), TiffPages.get()};
  ImageInfo = std::make_unique<TImageInfo>(this, ReadMode);
  TImageInfo& info = *ImageInfo;
  info.ReadingTiff = ReadingTiff;
  info.TagText.clear();
  info.SetSource(Source);
  info.MotorolaOrder = motorola;

  // The first directory lies where the header says.
  auto byte = [&header](int i) { return uint32_t(static_cast<unsigned char>(header[i])); };
  const uint32_t ifd0 = motorola ? (byte(4) << 24) | (byte(5) << 16) | (byte(6) << 8) | byte(7)
                                 : (byte(7) << 24) | (byte(6) << 16) | (byte(5) << 8) | byte(4);
  TiffFirstIfd = ifd0;
  info.WalkDirectory(int64_t(ifd0) - 7, -7, kMainDirectory, TiffPages->Size() + 8);  // the whole file
  info.Compute35mmEquivalent();
  TiffPages->Close();
  return true;
}

// ---------------------------------------------------------------------------
// A file's bytes read where they lie
// ---------------------------------------------------------------------------

TFilePages::TFilePages(const std::string& fileName, int64_t origin, TReadBudget& budget)
    : fileName_(fileName), origin_(origin), budget_(budget) {
  TDateTime date;
  int64_t size = -1;
  if (FileAgeAndSize(fileName, date, size)) size_ = std::max<int64_t>(0, size - origin);
}

TFilePages::~TFilePages() = default;

void TFilePages::Close() { stream_.reset(); }

bool TFilePages::readAt(int64_t offset, char* out, int64_t count) {
  try {
    if (!stream_) stream_ = std::make_unique<TFileStream>(fileName_, fmOpenRead | fmShareDenyWrite);
    return stream_->Seek(offset, soBeginning) == offset && stream_->Read(out, count) == count;
  } catch (const std::exception&) {
    return false;  // a file gone or changed since reads as zeros
  }
}

const std::string* TFilePages::page(int64_t index) {
  if (index == lastIndex_) return last_;
  auto found = pages_.find(index);
  if (found == pages_.end()) {
    const int64_t from = index * kPageSize;
    const int64_t count = std::min(kPageSize, size_ - from);
    if (count <= 0 || !budget_.TakeValueBytes(kPageSize)) return nullptr;
    std::string bytes(size_t(count), '\0');
    if (!readAt(origin_ + from, bytes.data(), count)) bytes.assign(size_t(count), '\0');
    found = pages_.emplace(index, std::move(bytes)).first;
  }
  lastIndex_ = index;
  last_ = &found->second;
  return last_;
}

uint32_t TFilePages::Byte(int64_t p) {
  if (p < 1 || p > size_) return 0;
  const std::string* bytes = page((p - 1) / kPageSize);
  return bytes ? static_cast<unsigned char>((*bytes)[size_t((p - 1) % kPageSize)]) : 0;
}

std::string TFilePages::Read(int64_t p, int64_t count) {
  if (count <= 0 || p < 1 || p > size_) return std::string();
  count = std::min({count, size_ - p + 1, kLongestRead});
  const int64_t first = (p - 1) / kPageSize, last = (p - 1 + count - 1) / kPageSize;
  std::string out;
  if (last - first > 1) {
    // A long value is read as it stands, past the pages; whoever asks for it pays for it.
    out.assign(size_t(count), '\0');
    if (!readAt(origin_ + p - 1, out.data(), count)) out.clear();
    return out;
  }
  out.reserve(size_t(count));
  for (int64_t at = p; at < p + count;) {
    const int64_t index = (at - 1) / kPageSize, within = (at - 1) % kPageSize;
    const int64_t take = std::min(count - (at - p), kPageSize - within);
    const std::string* bytes = page(index);
    if (!bytes) break;
    out.append(*bytes, size_t(within), size_t(take));
    at += take;
  }
  return out;
}
