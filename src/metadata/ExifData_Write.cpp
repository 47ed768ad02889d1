// The write-back of a source file's metadata segments into a newly encoded JPEG:
// the Exif APP1 (or the source's JFIF APP0, or a fixed one), the IPTC APP13 and the
// comment, byte for byte, in front of the encoder's stream; the optional patch of
// the picture size in the Exif data; and the Exif APP1 made from a TIFF source's
// directories.
#include <algorithm>
#include <initializer_list>
#include <map>
#include <vector>

#include "metadata/ExifData.h"
#include "platform/graphics/Jpeg.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

namespace {

// The JFIF APP0 written when the source has neither Exif nor JFIF: version 1.02,
// 300 x 300 dots per inch, no thumbnail.
const unsigned char kFixedJfif[18] = {0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00,
                                      0x01, 0x02, 0x01, 0x01, 0x2C, 0x01, 0x2C, 0x00, 0x00};

constexpr int64_t kMaxSegmentLength = 65535;
const std::string kExifHeader("Exif\0\0", 6);

// A segment as the scan keeps it: its length field first, as long as the segment.
bool WellFormed(const TSegment* segment) {
  return segment && segment->Size >= 2 && segment->Size <= kMaxSegmentLength &&
         int64_t(segment->Data.size()) == segment->Size;
}

// The length bytes and Size say how long the data is; 65,535 for data joined from several
// segments that no one segment holds.
void SetLength(TSegment& segment) {
  const size_t length = std::min(segment.Data.size(), size_t(kMaxSegmentLength));
  if (segment.Data.size() >= 2) segment.Data[0] = char(length >> 8), segment.Data[1] = char(length & 0xFF);
  segment.Size = int32_t(length);
}

void WriteSegment(TStream& stream, const TSegment& segment, int64_t& written) {
  const unsigned char head[2] = {0xFF, static_cast<unsigned char>(segment.Marker)};
  stream.WriteBuffer(head, 2);
  stream.WriteBuffer(segment.Data.data(), int64_t(segment.Data.size()));
  written += 2 + int64_t(segment.Data.size());
}

// ---------------------------------------------------------------------------
// An Exif APP1 from the directories of a TIFF file
// ---------------------------------------------------------------------------

// Tags of the first directory that describe the picture's origin rather than its
// pixel data; everything else there (sizes, strips, tiles, samples, compression,
// colour maps, embedded profiles and packets) belongs to the TIFF's own pixels.
bool KeptInFirstDirectory(uint16_t tag) {
  static const uint16_t kKept[] = {0x010D, 0x010E, 0x010F, 0x0110, 0x0112, 0x011A, 0x011B, 0x0128,
                                   0x0131, 0x0132, 0x013B, 0x013C, 0x013E, 0x013F, 0x0213, 0x8298,
                                   0x9C9B, 0x9C9C, 0x9C9D, 0x9C9E, 0x9C9F};
  return std::find(std::begin(kKept), std::end(kKept), tag) != std::end(kKept);
}

constexpr uint16_t kExifPointer = 0x8769, kGpsPointer = 0x8825, kInteropPointer = 0xA005, kMakerNote = 0x927C;

// Maker notes whose offsets count from the maker note itself survive a move to
// another place; others point into the old file and are left behind.
bool SelfContainedMakerNote(const std::string& note) {
  return note.compare(0, 7, std::string("Nikon\0\2", 7)) == 0 || note.compare(0, 8, "FUJIFILM") == 0 ||
         note.compare(0, 8, "OLYMPUS\0", 8) == 0;
}

struct TIfdEntry {
  uint16_t Tag = 0, Type = 0;
  uint32_t Count = 0;
  std::string Value;  // the raw bytes
  int Pointer = 0;    // for pointer entries: the directory pointed at (1 Exif, 2 GPS, 3 interoperability)
};
using TIfd = std::vector<TIfdEntry>;

class TTiffToExif {
 public:
  TTiffToExif(const TByteSource& tiff, bool motorola, uint32_t firstIfd) : firstIfd_(firstIfd) {
    reader_.SetSource(tiff);
    reader_.MotorolaOrder = motorola;
  }

  // The APP1 payload ("Exif\0\0" and the TIFF structure), or empty when the
  // directories do not fit in one segment.
  std::string Build() {
    readIfd(firstIfd_, 0);
    if (tooLarge_) return std::string();
    addRequiredTags();
    for (bool withMakerNote : {true, false}) {
      if (!withMakerNote) dropMakerNote();
      std::string payload = kExifHeader + serialize();
      if (int64_t(payload.size()) + 2 <= kMaxSegmentLength) return payload;
    }
    return std::string();
  }

 private:
  // Position of a file offset in the TIFF's bytes (file offset 8 is position 1).
  static int64_t Position(uint32_t offset) { return int64_t(offset) - 7; }

  void readIfd(uint32_t offset, int which) {
    if (which > 3 || ifds_.count(which)) return;
    TIfd& ifd = ifds_[which];
    const int64_t start = Position(offset);
    const TByteSource& data = reader_.GetSource();
    const int64_t count = reader_.Get16(start);
    if (start < 1 || start - 1 + 2 + 12 * count > data.Size()) return;
    for (int64_t i = 0; i < count && !tooLarge_; ++i) {
      const int64_t p = start + 2 + 12 * i;
      TIfdEntry e;
      e.Tag = uint16_t(reader_.Get16(p));
      e.Type = uint16_t(reader_.Get16(p + 2));
      e.Count = uint32_t(reader_.Get32(p + 4));
      const int64_t size = int64_t(TypeElementSize(e.Type)) * e.Count;
      if (size == 0) continue;
      const int pointer = e.Tag == kExifPointer ? 1 : e.Tag == kGpsPointer ? 2 : e.Tag == kInteropPointer ? 3 : 0;
      if (pointer) {
        // A pointer of the right kind in the right directory is followed; others go.
        const bool allowed = (which == 0 && pointer != 3) || (which == 1 && pointer == 3);
        if (allowed) {
          e.Pointer = pointer;
          ifd.push_back(e);
          readIfd(uint32_t(reader_.Get32(p + 8)), pointer);
        }
        continue;
      }
      if (which == 0 && !KeptInFirstDirectory(e.Tag)) continue;
      const int64_t valuePos = size <= 4 ? p + 8 : Position(uint32_t(reader_.Get32(p + 8)));
      if (valuePos < 1 || valuePos - 1 + size > data.Size()) continue;  // not in the data
      // Values far beyond what one segment holds are not gathered at all.
      valueBytes_ += size;
      if (valueBytes_ > kMaxGathered) {
        tooLarge_ = true;
        return;
      }
      e.Value = data.Read(valuePos, size);
      if (e.Tag == kMakerNote && which == 1 && !SelfContainedMakerNote(e.Value)) continue;
      ifd.push_back(std::move(e));
    }
    std::stable_sort(ifd.begin(), ifd.end(), [](const TIfdEntry& a, const TIfdEntry& b) { return a.Tag < b.Tag; });
  }

  // The first directory of an Exif segment in a JPEG file states the resolution and
  // the chroma positioning; a TIFF of RGB pixels may lack them: their defaults (72
  // dots per inch, centred) are stated then.
  void addRequiredTags() {
    TIfd& ifd = ifds_[0];
    auto has = [&ifd](uint16_t tag) {
      return std::any_of(ifd.begin(), ifd.end(), [tag](const TIfdEntry& e) { return e.Tag == tag; });
    };
    auto add = [&](uint16_t tag, uint16_t type, uint32_t a, uint32_t b) {
      if (has(tag)) return;
      TIfdEntry e;
      e.Tag = tag;
      e.Type = type;
      e.Count = 1;
      if (type == 5) {
        put32(e.Value, a);
        put32(e.Value, b);
      } else {
        put16(e.Value, a);
      }
      ifd.push_back(std::move(e));
    };
    add(0x011A, 5, 72, 1);
    add(0x011B, 5, 72, 1);
    add(0x0128, 3, 2, 0);
    add(0x0213, 3, 1, 0);
    std::stable_sort(ifd.begin(), ifd.end(), [](const TIfdEntry& a, const TIfdEntry& b) { return a.Tag < b.Tag; });
  }

  void dropMakerNote() {
    for (auto& [which, ifd] : ifds_)
      ifd.erase(std::remove_if(ifd.begin(), ifd.end(), [](const TIfdEntry& e) { return e.Tag == kMakerNote; }),
                ifd.end());
  }

  static int64_t Padded(int64_t n) { return (n + 1) & ~int64_t(1); }

  // A pointer entry stays only when its directory has entries.
  bool present(int which) const {
    auto it = ifds_.find(which);
    return it != ifds_.end() && !it->second.empty();
  }

  int64_t ifdSize(int which) const {
    int64_t n = 0, values = 0;
    for (const TIfdEntry& e : ifds_.at(which)) {
      if (e.Pointer && !present(e.Pointer)) continue;
      ++n;
      if (e.Value.size() > 4) values += Padded(int64_t(e.Value.size()));
    }
    return 2 + 12 * n + 4 + values;
  }

  void put16(std::string& out, uint32_t v) const {
    if (reader_.MotorolaOrder) out += {char(v >> 8), char(v)};
    else out += {char(v), char(v >> 8)};
  }
  void put32(std::string& out, uint32_t v) const {
    if (reader_.MotorolaOrder) out += {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    else out += {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  }

  std::string serialize() const {
    std::map<int, uint32_t> offsets;
    uint32_t next = 8;
    for (int which = 0; which <= 3; ++which) {
      if (!present(which)) continue;
      offsets[which] = next;
      next += uint32_t(ifdSize(which));
    }
    std::string tiff;
    put16(tiff, reader_.MotorolaOrder ? 0x4D4D : 0x4949);
    put16(tiff, 42);
    put32(tiff, 8);
    for (const auto& [which, offset] : offsets) {
      const TIfd& ifd = ifds_.at(which);
      std::string entries, values;
      uint32_t n = 0;
      for (const TIfdEntry& e : ifd)
        if (!e.Pointer || present(e.Pointer)) ++n;
      const uint32_t valueOffset = offset + 2 + 12 * n + 4;
      for (const TIfdEntry& e : ifd) {
        if (e.Pointer && !present(e.Pointer)) continue;
        put16(entries, e.Tag);
        if (e.Pointer) {
          put16(entries, 4);
          put32(entries, 1);
          put32(entries, offsets.at(e.Pointer));
          continue;
        }
        put16(entries, e.Type);
        put32(entries, e.Count);
        if (e.Value.size() <= 4) {
          entries += e.Value + std::string(4 - e.Value.size(), '\0');
        } else {
          put32(entries, valueOffset + uint32_t(values.size()));
          values += e.Value;
          if (values.size() % 2) values += '\0';
        }
      }
      put16(tiff, n);
      tiff += entries;
      put32(tiff, 0);  // no next directory
      tiff += values;
    }
    return tiff;
  }

  tEndInd reader_;
  uint32_t firstIfd_;
  static constexpr int64_t kMaxGathered = 4 * kMaxSegmentLength;
  int64_t valueBytes_ = 0;  // bytes of the values gathered so far
  bool tooLarge_ = false;
  std::map<int, TIfd> ifds_;  // 0 the first directory, 1 Exif, 2 GPS, 3 interoperability
};

}  // namespace

// ---------------------------------------------------------------------------
// Writing into a segment
// ---------------------------------------------------------------------------

void tEndInd::Put32(TSegment& Segment, uint32_t Value, int32_t Position) const {
  for (int i = 0; i < 4; ++i) {
    const int64_t p = int64_t(Position) + i;
    const int shift = MotorolaOrder ? 8 * (3 - i) : 8 * i;
    if (p >= 1 && p <= int64_t(Segment.Data.size())) Segment.Data[size_t(p - 1)] = char((Value >> shift) & 0xFF);
  }
}

void tEndInd::Put16(TSegment& Segment, uint16_t Value, int32_t Position) const {
  for (int i = 0; i < 2; ++i) {
    const int64_t p = int64_t(Position) + i;
    const int shift = MotorolaOrder ? 8 * (1 - i) : 8 * i;
    if (p >= 1 && p <= int64_t(Segment.Data.size())) Segment.Data[size_t(p - 1)] = char((Value >> shift) & 0xFF);
  }
}

void TImageInfo::AdjustSize(int32_t NewHeight, int32_t NewWidth) {
  if (!Parent || !Parent->ExifSegment || Height < 1 || Width < 1) return;
  if (NewWidth == Width && NewHeight == Height) return;
  TSegment& segment = *Parent->ExifSegment;
  // In the entry's own width, left-aligned in its value field (a JPEG's sides fit a SHORT).
  auto patch = [&](int32_t pos, uint16_t type, int32_t value) {
    if (pos < 1 || value < 0 || value > (type == 3 ? 0xFFFF : INT32_MAX)) return;
    if (type == 3)
      Put16(segment, uint16_t(value), pos);
    else if (type == 4)
      Put32(segment, uint32_t(value), pos);
  };
  patch(HeightPos, HeightType, NewHeight);
  patch(WidthPos, WidthType, NewWidth);
  Height = NewHeight;
  Width = NewWidth;
}

// ---------------------------------------------------------------------------
// After a lossless turn or flip
// ---------------------------------------------------------------------------

namespace {

constexpr uint16_t kShort = 3, kLong = 4, kIfd = 13;

// The directories of an Exif APP1 segment as the reads keep it (its length bytes,
// "Exif\0\0", then the TIFF header at position 9, from which offsets count), for the
// changes made in place after a lossless turn. Each directory is looked at once, however
// the offsets point, and only the few that such a change reads.
class TExifDirectories {
 public:
  explicit TExifDirectories(const std::string& data) : size_(int64_t(data.size())) {
    if (data.size() < 16 || data.compare(2, 6, kExifHeader) != 0) return;
    if (data.compare(8, 4, std::string("MM\0*", 4)) == 0)
      Reader.MotorolaOrder = true;
    else if (data.compare(8, 4, std::string("II*\0", 4)) != 0)
      return;
    Reader.SetDataBuffer(data);
    First = Directory(uint32_t(Reader.Get32(13)), FirstCount);
  }

  tEndInd Reader;
  // The first directory: the position of its first entry and its entry count; 0 when the
  // data is no readable Exif.
  int64_t First = 0, FirstCount = 0;

  // The directory at a TIFF offset: the position of its first entry and its entry count,
  // or 0 when its entries and next-directory offset do not lie in the data or it was met
  // before.
  int64_t Directory(uint32_t offset, int64_t& count) {
    const int64_t start = int64_t(offset) + 9;
    if (offset < 8 || start + 1 > size_ || visited_.size() == kMaxDirectories) return 0;
    count = Reader.Get16(start);
    const bool met = std::find(visited_.begin(), visited_.end(), start) != visited_.end();
    if (start + 1 + 12 * count + 4 > size_ || met) return 0;
    visited_.push_back(start);
    return start + 2;
  }
  // The directory that follows the one at first (its next-directory offset).
  int64_t Next(int64_t first, int64_t count, int64_t& nextCount) {
    return Directory(uint32_t(Reader.Get32(first + 12 * count)), nextCount);
  }
  // The directory that a pointer entry (such as the Exif pointer) of the one at first names.
  int64_t Pointed(int64_t first, int64_t count, uint16_t tag, int64_t& pointedCount) {
    const int64_t pointer = EntryOf(first, count, tag, {kLong, kIfd});
    return pointer ? Directory(uint32_t(Reader.Get32(pointer + 8)), pointedCount) : 0;
  }
  // The entry of a tag with one value of one of the types; 0 when there is none.
  int64_t EntryOf(int64_t first, int64_t count, uint16_t tag, std::initializer_list<uint16_t> types) const {
    for (int64_t e = first; e < first + 12 * count; e += 12) {
      if (Reader.Get16(e) != tag) continue;
      const bool typed = std::find(types.begin(), types.end(), Reader.Get16(e + 2)) != types.end();
      return typed && Reader.Get32(e + 4) == 1 ? e : 0;
    }
    return 0;
  }
  // The directories met so far: the positions of their entry counts.
  const std::vector<int64_t>& Visited() const { return visited_; }

 private:
  static constexpr size_t kMaxDirectories = 5;
  int64_t size_;
  std::vector<int64_t> visited_;
};

// Where the JPEG thumbnail of an Exif segment lies: the entries of its offset and length
// in the second directory, and its bytes (0-based in the segment's data).
struct TThumbnailPlace {
  int64_t OffsetEntry = 0, LengthEntry = 0;
  size_t Start = 0, Length = 0;
};

// The thumbnail's place; false when the second directory names none, or its bytes do not
// lie whole in the data, do not begin as a JPEG picture does, or share a byte with the TIFF
// header, a directory or a value of the directories (the first, the second, the Exif, GPS
// and interoperability directories): its bytes may then be replaced without harm to any
// other.
bool ThumbnailPlace(TExifDirectories& exif, const std::string& data, TThumbnailPlace& place) {
  int64_t count1 = 0, countExif = 0, countGps = 0, countInterop = 0;
  const int64_t ifd1 = exif.First ? exif.Next(exif.First, exif.FirstCount, count1) : 0;
  if (ifd1 == 0) return false;
  place.OffsetEntry = exif.EntryOf(ifd1, count1, 0x0201, {kLong});
  place.LengthEntry = exif.EntryOf(ifd1, count1, 0x0202, {kLong});
  if (place.OffsetEntry == 0 || place.LengthEntry == 0) return false;
  const int64_t start = int64_t(uint32_t(exif.Reader.Get32(place.OffsetEntry + 8))) + 8;
  const int64_t length = int64_t(uint32_t(exif.Reader.Get32(place.LengthEntry + 8)));
  if (length < 4 || start + length > int64_t(data.size()) || data.compare(size_t(start), 2, "\xFF\xD8") != 0)
    return false;
  const int64_t exifIfd = exif.Pointed(exif.First, exif.FirstCount, kExifPointer, countExif);
  exif.Pointed(exif.First, exif.FirstCount, kGpsPointer, countGps);
  if (exifIfd) exif.Pointed(exifIfd, countExif, kInteropPointer, countInterop);
  // Ranges of 0-based data positions [from, to).
  auto overlaps = [&](int64_t from, int64_t to) { return from < start + length && start < to; };
  if (overlaps(0, 16)) return false;
  for (const int64_t directory : exif.Visited()) {
    const int64_t count = exif.Reader.Get16(directory);
    if (overlaps(directory - 1, directory + 1 + 12 * count + 4)) return false;
    for (int64_t e = directory + 2; e < directory + 2 + 12 * count; e += 12) {
      const int64_t bytes =
          int64_t(TypeElementSize(int(exif.Reader.Get16(e + 2)))) * uint32_t(exif.Reader.Get32(e + 4));
      const int64_t value = int64_t(uint32_t(exif.Reader.Get32(e + 8))) + 8;
      if (bytes > 4 && overlaps(value, value + bytes)) return false;
    }
  }
  place.Start = size_t(start);
  place.Length = size_t(length);
  return true;
}

// The Exif pixel dimensions of the segment become Width x Height (both given), or the
// ones it holds swapped (SwapSides, both there).
void SetPixelSize(TExifDirectories& exif, TSegment& Segment, uint32_t Width, uint32_t Height, bool SwapSides) {
  int64_t countExif = 0;
  const bool resized = Width > 0 && Height > 0;
  const int64_t exifIfd =
      resized || SwapSides ? exif.Pointed(exif.First, exif.FirstCount, kExifPointer, countExif) : 0;
  if (exifIfd == 0) return;
  if (!resized) {
    // The sides as they are stored, swapped; both must be there.
    for (const auto& [tag, side] : {std::pair<uint16_t, uint32_t*>{0xA003, &Width}, {0xA002, &Height}}) {
      if (const int64_t e = exif.EntryOf(exifIfd, countExif, tag, {kLong}))
        *side = uint32_t(exif.Reader.Get32(e + 8));
      else if (const int64_t e16 = exif.EntryOf(exifIfd, countExif, tag, {kShort}))
        *side = uint16_t(exif.Reader.Get16(e16 + 8));
    }
    if (Width == 0 || Height == 0) return;
  }
  // Each side in its entry's own type, where it fits.
  for (const auto& [tag, side] : {std::pair<uint16_t, uint32_t>{0xA002, Width}, {0xA003, Height}}) {
    const int64_t asLong = exif.EntryOf(exifIfd, countExif, tag, {kLong});
    const int64_t asShort = exif.EntryOf(exifIfd, countExif, tag, {kShort});
    if (asLong != 0)
      exif.Reader.Put32(Segment, side, int32_t(asLong + 8));
    else if (asShort != 0 && side <= 0xFFFF)
      exif.Reader.Put16(Segment, uint16_t(side), int32_t(asShort + 8));
  }
}

}  // namespace

void ResetTurnedOrientation(TSegment& Segment, uint32_t Width, uint32_t Height, bool SwapSides) {
  TExifDirectories exif(Segment.Data);
  if (exif.First == 0) return;
  auto upright = [&](int64_t first, int64_t count) {
    if (const int64_t e = exif.EntryOf(first, count, 0x0112, {kShort})) exif.Reader.Put16(Segment, 1, int32_t(e + 8));
  };
  int64_t count1 = 0;
  upright(exif.First, exif.FirstCount);
  if (const int64_t ifd1 = exif.Next(exif.First, exif.FirstCount, count1)) upright(ifd1, count1);
  SetPixelSize(exif, Segment, Width, Height, SwapSides);
}

void SetExifPixelSize(TSegment& Segment, uint32_t Width, uint32_t Height) {
  TExifDirectories exif(Segment.Data);
  if (exif.First != 0 && Width > 0 && Height > 0) SetPixelSize(exif, Segment, Width, Height, false);
}

void ResetTurnedXmpOrientation(std::string& Packet) {
  static constexpr std::string_view kName = "tiff:Orientation";
  auto space = [&](size_t at) {
    while (at < Packet.size() && (Packet[at] == ' ' || Packet[at] == '\t' || Packet[at] == '\r' || Packet[at] == '\n'))
      ++at;
    return at;
  };
  for (size_t at = Packet.find(kName); at != std::string::npos; at = Packet.find(kName, at + 1)) {
    size_t value = space(at + kName.size());
    char close = '<';
    if (value < Packet.size() && Packet[value] == '=') {
      value = space(value + 1);
      if (value >= Packet.size() || (Packet[value] != '"' && Packet[value] != '\'')) continue;
      close = Packet[value++];
    } else if (value < Packet.size() && Packet[value] == '>') {
      value = space(value + 1);
    } else {
      continue;
    }
    const size_t after = close == '<' ? space(value + 1) : value + 1;
    if (after < Packet.size() && Packet[after] == close && Packet[value] >= '2' && Packet[value] <= '8')
      Packet[value] = '1';
  }
}

std::string ExifThumbnail(const TSegment& Segment) {
  TExifDirectories exif(Segment.Data);
  TThumbnailPlace place;
  return ThumbnailPlace(exif, Segment.Data, place) ? Segment.Data.substr(place.Start, place.Length) : std::string();
}

bool ReplaceExifThumbnail(TSegment& Segment, std::string_view Thumbnail, int64_t MaxLength) {
  TExifDirectories exif(Segment.Data);
  TThumbnailPlace place;
  if (Thumbnail.size() < 4 || !ThumbnailPlace(exif, Segment.Data, place)) return false;
  // The thumbnail that ends the segment (followed by zero padding at most) is replaced
  // where it is, the padding after it; one followed by other bytes keeps its place when the
  // new one fits in it, else the new one goes to the end (at an even offset, as TIFF values
  // lie).
  std::string data = Segment.Data;
  size_t at = place.Start;
  if (data.find_first_not_of('\0', at + place.Length) == std::string::npos) {
    data.replace(at, place.Length, Thumbnail);
  } else if (Thumbnail.size() <= place.Length) {
    data.replace(at, Thumbnail.size(), Thumbnail);
  } else {
    data.resize(data.size() + (data.size() & 1), '\0');
    at = data.size();
    data.append(Thumbnail);
  }
  if (int64_t(data.size()) > std::min(MaxLength, int64_t(INT32_MAX))) return false;
  Segment.Data = std::move(data);
  SetLength(Segment);
  exif.Reader.Put32(Segment, uint32_t(Thumbnail.size()), int32_t(place.LengthEntry + 8));
  exif.Reader.Put32(Segment, uint32_t(at - 8), int32_t(place.OffsetEntry + 8));
  return true;
}

bool RemoveExifThumbnail(TSegment& Segment, bool DropBytes) {
  TExifDirectories exif(Segment.Data);
  TThumbnailPlace place;
  if (!ThumbnailPlace(exif, Segment.Data, place)) return false;
  exif.Reader.Put32(Segment, 0, int32_t(exif.First + 12 * exif.FirstCount));
  if (DropBytes && Segment.Data.find_first_not_of('\0', place.Start + place.Length) == std::string::npos) {
    Segment.Data.resize(place.Start);
    SetLength(Segment);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Exif spread over several segments
// ---------------------------------------------------------------------------

bool ExifSegmentGoesOn(size_t LengthBefore, std::string_view Next) {
  const std::string_view tiff = Next.substr(std::min<size_t>(Next.size(), 6), 4);
  return LengthBefore == size_t(kMaxSegmentLength) && Next.substr(0, 6) == kExifHeader &&
         tiff != std::string_view("II*\0", 4) && tiff != std::string_view("MM\0*", 4);
}

bool JoinExifSegments(std::string_view Run, TSegment& Joined, std::vector<size_t>& Parts) {
  TSegment joined{std::string(), 0xE1, 0};
  std::vector<size_t> parts;
  for (size_t at = 0; parts.empty() || at < Run.size();) {
    if (!parts.empty()) {
      if (Run.size() - at < 2 || Run.substr(at, 2) != "\xFF\xE1" ||
          !ExifSegmentGoesOn(parts.back() + 8, Run.substr(std::min(Run.size(), at + 4))))
        return false;
      at += 2;
    }
    if (Run.size() - at < 8) return false;
    const size_t length = size_t(uint8_t(Run[at])) << 8 | uint8_t(Run[at + 1]);
    if (length < 8 || length > Run.size() - at || Run.substr(at + 2, 6) != kExifHeader) return false;
    joined.Data.append(Run.substr(parts.empty() ? at : at + 8, parts.empty() ? length : length - 8));
    parts.push_back(length - 8);
    at += length;
  }
  SetLength(joined);
  Joined = std::move(joined);
  Parts = std::move(parts);
  return true;
}

std::string SplitExifSegment(const TSegment& Joined, const std::vector<size_t>& Parts) {
  constexpr size_t kWhole = size_t(kMaxSegmentLength) - 8;  // after the length bytes and "Exif\0\0"
  const std::string_view tiff = std::string_view(Joined.Data).substr(std::min<size_t>(8, Joined.Data.size()));
  size_t fill = 0;
  for (size_t i = 0; i + 1 < Parts.size(); ++i) fill = std::max(fill, std::min(Parts[i], kWhole));
  if (fill == 0) fill = kWhole;
  std::string run;
  for (size_t i = 0, at = 0; i == 0 || at < tiff.size(); ++i) {
    const size_t part = std::min(tiff.size() - at, i + 1 < Parts.size() ? std::min(Parts[i], kWhole) : fill);
    if (i > 0) run += "\xFF\xE1";
    run += {char((part + 8) >> 8), char((part + 8) & 0xFF)};
    run += kExifHeader;
    run.append(tiff.substr(at, part));
    at += part;
  }
  return run;
}

// ---------------------------------------------------------------------------
// The write-back
// ---------------------------------------------------------------------------

int64_t TimgData::WriteHeaderSegments(TStream& Stream) {
  int64_t written = 0;
  const unsigned char soi[2] = {0xFF, 0xD8};
  Stream.WriteBuffer(soi, 2);
  written += 2;
  if (ExifSegment && ExifSegment->Marker == 0xE1 && WellFormed(ExifSegment)) {
    WriteSegment(Stream, *ExifSegment, written);
  } else if (JfifSegment && WellFormed(JfifSegment)) {
    WriteSegment(Stream, *JfifSegment, written);
  } else {
    Stream.WriteBuffer(kFixedJfif, sizeof(kFixedJfif));
    written += int64_t(sizeof(kFixedJfif));
  }
  // What makes the copy look as the source does, and its XMP, as they stand.
  for (const TSegment& segment : CarriedSegments)
    if (WellFormed(&segment)) WriteSegment(Stream, segment, written);
  if (WellFormed(IptcSegment)) WriteSegment(Stream, *IptcSegment, written);
  if (WellFormed(CommentSegment)) WriteSegment(Stream, *CommentSegment, written);
  return written;
}

void TimgData::tiffExifToApp1() {
  if (!ExifSegment || ExifSegment->Marker == 0xE1) return;
  // The TIFF window holds the file from offset 8 on; its directories become the
  // Exif data of an APP1 segment, or the Exif goes when they do not fit in one.
  std::string payload = TTiffToExif(Source, MotorolaOrder, TiffFirstIfd).Build();
  ImageInfo.reset();
  if (payload.empty()) {
    ExifSegment = nullptr;
    return;
  }
  TSegment& segment = *ExifSegment;
  const int64_t length = int64_t(payload.size()) + 2;
  segment.Data = std::string{char(length >> 8), char(length & 0xFF)} + payload;
  segment.Size = int32_t(length);
  segment.Marker = 0xE1;
  Budget.Reset();
  SetDataBuffer(segment.Data);
  ImageInfo = std::make_unique<TImageInfo>(this, ReadMode);
  const std::string status = ErrStr;
  processExifHeader(segment);
  ErrStr = status;
}

void TimgData::readForCopy(const std::string& source) {
  collectCarried_ = true;
  FileHasMetadata(source);
  collectCarried_ = false;
}

namespace {

// Where the encoder's stream goes on after its start of image and the leading
// segments of the given markers, in this order and each at most once.
int64_t EncoderBodyStart(TMemoryStream& encoded, std::initializer_list<uint8_t> markers) {
  const uint8_t* bytes = encoded.Memory();
  const int64_t size = encoded.Size();
  int64_t p = 2;
  for (uint8_t marker : markers) {
    if (p + 4 > size || bytes[p] != 0xFF || bytes[p + 1] != marker) continue;
    const int64_t length = (int64_t(bytes[p + 2]) << 8) | bytes[p + 3];
    if (length < 2 || p + 2 + length > size) break;
    p += 2 + length;
  }
  return std::min(p, size);
}

std::string_view Bytes(TMemoryStream& stream, int64_t from, int64_t to) {
  return std::string_view(reinterpret_cast<const char*>(stream.Memory()) + from, size_t(to - from));
}

}  // namespace

void TimgData::WriteMetadataJpeg(TJPEGImage& Jpeg, const std::string& FileName, bool AdjustSize,
                                 const std::string& SourceFile) {
  readForCopy(SourceFile.empty() ? FileName : SourceFile);
  tiffExifToApp1();
  if (!HasMetadata()) {
    writeCarried(Jpeg, FileName);
    return;
  }
  if (AdjustSize && ImageInfo) ImageInfo->AdjustSize(Jpeg.Height(), Jpeg.Width());

  TMemoryStream header;
  WriteHeaderSegments(header);
  TMemoryStream encoded;
  Jpeg.SaveToStream(encoded);
  // The encoder's own leading segments are left out: an APP0, an APP1, an APP13
  // and a comment. The file is saved as a picture is: under a temporary name, then
  // renamed over FileName, so a failed write leaves an existing file as it was.
  const int64_t body = EncoderBodyStart(encoded, {0xE0, 0xE1, 0xED, 0xFE});
  WriteFileReplacing(FileName, {Bytes(header, 0, header.Size()), Bytes(encoded, body, encoded.Size())});
}

void TimgData::WriteColourProfileJpeg(TJPEGImage& Jpeg, const std::string& FileName, const std::string& SourceFile) {
  readForCopy(SourceFile);
  std::erase_if(CarriedSegments, [](const TSegment& segment) { return segment.Marker != 0xE2; });
  writeCarried(Jpeg, FileName);
}

void TimgData::writeCarried(TJPEGImage& Jpeg, const std::string& FileName) {
  TMemoryStream carried;
  int64_t written = 0;
  for (const TSegment& segment : CarriedSegments)
    if (WellFormed(&segment)) WriteSegment(carried, segment, written);
  if (written == 0) {
    Jpeg.SaveToFile(FileName);
    return;
  }
  // The encoder's own header stays; the carried segments follow its APP0.
  TMemoryStream encoded;
  Jpeg.SaveToStream(encoded);
  const int64_t body = EncoderBodyStart(encoded, {0xE0});
  WriteFileReplacing(FileName, {Bytes(encoded, 0, body), Bytes(carried, 0, carried.Size()),
                                Bytes(encoded, body, encoded.Size())});
}
