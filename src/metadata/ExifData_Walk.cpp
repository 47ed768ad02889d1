// The Exif tag container: the directory walk over the Exif, GPS, interoperability
// and SubIFD directories, the tag list with its lookups by name, and the dates.
#include <cmath>

#include "metadata/ExifData.h"
#include "metadata/ExifData_Internal.h"
#include "metadata/MakerNoteData.h"

namespace {

// Directories reachable through pointers are followed this deep at most, so a
// long chain of distinct directories cannot exhaust the stack.
constexpr int kMaxDirectoryDepth = 16;
constexpr uint16_t kTagUserComment = 0x9286;
constexpr uint16_t kTagGpsProcessingMethod = 0x1B;
constexpr uint16_t kTagGpsAreaInformation = 0x1C;

bool BuildsText(int32_t readMode) { return readMode == 2 || readMode == 255; }
bool BuildsList(int32_t readMode) { return readMode == 4 || readMode == 255; }

int32_t ClampPos(int64_t p) {
  return p < INT32_MIN ? INT32_MIN : p > INT32_MAX ? INT32_MAX : int32_t(p);
}

}  // namespace

TImageInfo::TImageInfo(TimgData* parent, int32_t readMode) : Parent(parent), ReadMode(readMode) {
  ExifTagTable();  // fills the table descriptions on first use
  GpsTagTable();
}

void TImageInfo::errorText(const std::string& text) {
  if (Parent) Parent->ErrStr = text;
}

// ---------------------------------------------------------------------------
// The budget of a read
// ---------------------------------------------------------------------------

bool TReadBudget::take(int64_t& used, int64_t amount, int64_t limit, const char* text) {
  if (StopText_) return false;
  if (amount > limit - used) {
    StopText_ = text;
    return false;
  }
  used += amount;
  return true;
}

bool TReadBudget::TakeEntry() { return take(Entries_, 1, kMaxEntries, kStatusEntryLimit); }
bool TReadBudget::TakeRecord() { return take(Records_, 1, kMaxRecords, kStatusRecordLimit); }
bool TReadBudget::TakeValueBytes(int64_t bytes) {
  return take(ValueBytes_, bytes < 0 ? 0 : bytes, kMaxValueBytes, kStatusValueLimit);
}

TReadBudget& TImageInfo::Budget() { return Parent ? Parent->Budget : OwnBudget; }

void TImageInfo::BudgetSpent() {
  if (Budget().StopText()) errorText(Budget().StopText());
}

void TImageInfo::WalkDirectory(int64_t start, int64_t base, int kind, int64_t size) {
  walk(start, base, kind, size, 0);
  const int source = photoDateSource();
  DateTime = source < 0 ? std::string() : DateTexts[size_t(source)];
}

void TImageInfo::walk(int64_t start, int64_t base, int kind, int64_t size, int depth) {
  TReadBudget& budget = Budget();
  if (budget.Spent()) return;
  Visited.emplace(base, start);
  const int64_t count = Get16(start);
  // The entries must fit in the data given and in the buffer after Start.
  if (2 + 12 * count > base + size || start < 1 || start - 1 + 2 + 12 * count > Source.Size()) {
    errorText(kStatusBadDirectory);
    return;
  }
  if (kind == kMainDirectory && ThumbStart == 0 && !ReadingTiff) {
    ThumbStart = Get32(start + 2 + 12 * count);
    ThumbLength = ClampPos(base + size - ThumbStart);
  }
  for (int64_t i = 0; i < count; ++i) {
    if (!budget.TakeEntry()) return BudgetSpent();
    const int64_t p = start + 2 + 12 * i;
    const uint16_t tag = uint16_t(Get16(p));
    const uint16_t type = uint16_t(Get16(p + 2));
    const uint32_t values = uint32_t(Get32(p + 4));
    const int64_t byteCount = int64_t(TypeElementSize(type)) * int64_t(values);
    if (byteCount == 0) continue;
    const int64_t valuePos = byteCount <= 4 ? p + 8 : int64_t(Get32(p + 8)) + base;
    // Fewer bytes when the data ends first.
    std::string rawBytes = raw(valuePos, byteCount);
    // Every value copied out of the data (as raw bytes, a comment, a text) is paid for.
    if (!budget.TakeValueBytes(int64_t(rawBytes.size()))) return BudgetSpent();
    std::string valueText;
    const TTagEntry& def = LookupTagDef(tag, kind);
    const bool known = &def != &ExifTagTable().back();

    if (BuildsText(ReadMode)) {
      if (type == 2) {
        // A text ends at its first zero byte: the closing zero, padding and whatever a
        // camera left behind it are not part of it.
        valueText = std::string(rawBytes.substr(0, rawBytes.find('\0')));
      } else if (type == 7 && rawBytes.size() == 1) {
        valueText = UndefinedByteText(*this, rawBytes, def.Code, true);
      } else if (type == 7) {
        valueText = "\"" + std::string(rawBytes.substr(0, rawBytes.find('\0'))) + "\"";
      } else {
        valueText = FormatValue(rawBytes, type, def.Code, def.FormatS);
      }
      if (kind == kGpsDirectory && (tag == kTagGpsProcessingMethod || tag == kTagGpsAreaInformation))
        valueText = Trim(CharacterCodedText(rawBytes, MotorolaOrder));
      if (known && def.Callback)
        valueText = def.Callback(valueText);
      else
        valueText = PrintableText(valueText);
      if (kind == kMainDirectory && tag == kTagUserComment) {
        // The 8-byte character-code prefix is dropped; the text ends with the
        // value (a closing zero byte, when there is one, goes with the trim).
        Comments = Trim(CharacterCodedText(rawBytes, MotorolaOrder));
        valueText = Comments;
        CommentPos = ClampPos(valuePos);
        CommentSize = byteCount > 8 ? ClampPos(byteCount - 8) : 0;
      }
      TagText.append("\r\n").append(def.Desc).append(" = ").append(valueText);
    }

    switch (tag) {
      case 0x010F: CameraMake = valueText.substr(0, 32); break;
      case 0x0110: CameraModel = valueText.substr(0, 40); break;
      case 0x9003:
        DateTimeOriginalPos = ClampPos(valuePos);
        DateTexts[0] = valueText.substr(0, 20);
        break;
      case 0x9004:
        DateTimeDigitizedPos = ClampPos(valuePos);
        DateTexts[1] = valueText.substr(0, 20);
        break;
      case 0x0132:
        DateTimePos = ClampPos(valuePos);
        DateTexts[2] = valueText.substr(0, 20);
        break;
      case 0x9000: ExifVersion = std::string(rawBytes.substr(0, 5)); break;
      case 0x9209: FlashUsed = RoundToRange<int32_t>(NumericValue(rawBytes, type)); break;
      case 0x0100:
      case 0xA002:
      case 0x0101:
      case 0xA003: {
        // The size entry met last wins; its value field and type serve the write-back.
        const bool width = tag == 0x0100 || tag == 0xA002;
        (width ? WidthPos : HeightPos) = ClampPos(p + 8);
        (width ? WidthType : HeightType) = type;
        (width ? Width : Height) = RoundToRange<int32_t>(NumericValue(rawBytes, type));
        // A TIFF's first directory describes its picture (its sub-directories hold
        // previews and raw data).
        if (ReadingTiff && depth == 0 && Parent && (tag == 0x0100 || tag == 0x0101))
          (width ? Parent->PictureWidth : Parent->PictureHeight) = width ? Width : Height;
        break;
      }
      case 0x8769:
      case 0x014A:
      case 0xA005:
      case 0x8825: {
        const int64_t sub = int64_t(Get32(valuePos)) + base;
        if (!Visited.count({base, sub}) && depth < kMaxDirectoryDepth)
          walk(sub, base, tag == 0x8825 ? kGpsDirectory : kMainDirectory, size, depth + 1);
        break;
      }
      case 0x927C:
        MakerNote = rawBytes;
        MakerNotePos = ClampPos(valuePos);
        MakerNoteDecoded = TMakerNoteInfo(ReadingTiff, *this).DecodeMakerNote();
        break;
      default: break;
    }

    // Entries of tags the tables do not know are not kept.
    if (BuildsList(ReadMode) && known) {
      TTagEntry record = def;
      record.Data = std::move(valueText);
      record.Size = int32_t(rawBytes.size());
      record.Raw = std::move(rawBytes);
      record.Position = ClampPos(valuePos);
      record.Type = type;
      AddTag(std::move(record));
    }
    // A limit reached further down (a sub-directory, the maker note, this record) ends the walk.
    if (budget.Spent()) return;
  }
}

// ---------------------------------------------------------------------------
// The tag list
// ---------------------------------------------------------------------------

int TImageInfo::AddTag(const TTagEntry& record) { return AddTag(TTagEntry(record)); }

int TImageInfo::AddTag(TTagEntry&& record) {
  // A record without a name is the empty record; tag number 0 (GPSVersionID) is a tag.
  if (!record.Name.empty()) {
    if (Budget().TakeRecord())
      Tags.push_back(std::move(record));
    else
      BudgetSpent();
  }
  return TagCount() - 1;
}

void TImageInfo::AddSyntheticTag(const std::string& name, const std::string& value, uint16_t type) {
  if (!BuildsList(ReadMode)) return;
  if (!Budget().TakeRecord()) return BudgetSpent();
  TTagEntry record;
  record.Key = 1;
  record.Name = record.Desc = name;
  record.Data = record.Raw = value;
  record.Size = int32_t(value.size());
  record.Position = 0;
  record.Type = type;
  // Decoders' records carry no tag number of their own, so they are kept as they are.
  Tags.push_back(std::move(record));
}

int TImageInfo::FindTagIndex(const std::string& name) const {
  // The Exif and GPS records answer for a name; a maker note's record of the same
  // name (its own WhiteBalance, say) answers only when they have none.
  int makerNote = -1;
  for (size_t i = 0; i < Tags.size(); ++i) {
    if (!SameText(Tags[i].Name, name)) continue;
    if (Tags[i].Key == 0) return int(i);
    if (makerNote < 0) makerNote = int(i);
  }
  return makerNote;
}

void TImageInfo::GetTagValue(const std::string& name, std::string& value) const {
  int i = FindTagIndex(name);
  value = i >= 0 ? Tags[size_t(i)].Data : std::string();
}

std::string TImageInfo::GetTagValue(const std::string& name) const {
  std::string value;
  GetTagValue(name, value);
  return value;
}

void TImageInfo::GetTagRecord(const std::string& name, TTagEntry& record) const {
  int i = FindTagIndex(name);
  record = i >= 0 ? Tags[size_t(i)] : TTagEntry();
}

double TImageInfo::GetTagNumber(const std::string& name) const {
  int i = FindTagIndex(name);
  return i >= 0 ? NumericValue(Tags[size_t(i)].Raw, Tags[size_t(i)].Type) : 0.0;
}

int64_t TImageInfo::GetTagInteger(const std::string& name) const {
  return RoundToRange<int64_t>(GetTagNumber(name));
}

bool TImageInfo::NextTagWithKey(int32_t key, TTagEntry& record) {
  for (int32_t i = IterPos < 0 ? 0 : IterPos; i < TagCount(); ++i) {
    if (Tags[size_t(i)].Key == key) {
      record = Tags[size_t(i)];
      IterPos = i + 1;
      return true;
    }
  }
  IterPos = TagCount();
  return false;
}

void TImageInfo::PictureSize(int32_t& width, int32_t& height) const {
  if (Parent && Parent->PictureWidth > 0 && Parent->PictureHeight > 0) {
    width = Parent->PictureWidth;
    height = Parent->PictureHeight;
  } else {
    width = Width;
    height = Height;
  }
}

// ---------------------------------------------------------------------------
// Dates
// ---------------------------------------------------------------------------

TDateTime TImageInfo::ParseExifDate(const std::string& text) {
  if (text.size() < 19) return 0;
  auto number = [&text](size_t from, size_t len, int& out) {
    out = 0;
    for (size_t i = from; i < from + len; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      out = out * 10 + (text[i] - '0');
    }
    return true;
  };
  int y, mo, d, h, mi, s;
  if (!number(0, 4, y) || !number(5, 2, mo) || !number(8, 2, d) || !number(11, 2, h) || !number(14, 2, mi) ||
      !number(17, 2, s))
    return 0;
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] + (mo == 2 && leap ? 1 : 0) || h > 23 || mi > 59 ||
      s > 59)
    return 0;
  // Days from 0001-01-01 to the date, then shifted to the 1899-12-30 epoch.
  int yy = y - 1;
  int64_t days = int64_t(yy) * 365 + yy / 4 - yy / 100 + yy / 400;
  for (int m = 1; m < mo; ++m) days += kDays[m - 1] + (m == 2 && leap ? 1 : 0);
  days += d - 1;
  constexpr int64_t kEpoch = 693593;  // days from 0001-01-01 to 1899-12-30
  return double(days - kEpoch) + (h * 3600 + mi * 60 + s) / 86400.0;
}

TDateTime TImageInfo::DateAt(int32_t position) const {
  if (position < 1) return 0;
  return ParseExifDate(std::string(raw(position, 19)));
}

int TImageInfo::photoDateSource() const {
  // The moment the picture was taken, else when it was scanned, else when the file
  // was last changed (DateTime is rewritten by every editor).
  const int32_t positions[3] = {DateTimeOriginalPos, DateTimeDigitizedPos, DateTimePos};
  for (int i = 0; i < 3; ++i)
    if (positions[i] >= 1 && DateAt(positions[i]) != 0) return i;
  // A camera without its clock set writes zeros: the first date present then stands.
  for (int i = 0; i < 3; ++i)
    if (positions[i] >= 1) return i;
  return -1;
}

TDateTime TImageInfo::PhotoDateTime() const {
  const int32_t positions[3] = {DateTimeOriginalPos, DateTimeDigitizedPos, DateTimePos};
  const int source = photoDateSource();
  return source < 0 ? 0 : DateAt(positions[source]);
}
