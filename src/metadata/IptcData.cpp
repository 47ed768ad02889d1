// The IPTC reader: the datasets of the Photoshop image resource 0x0404 inside an
// APP13 segment, their names from the dataset table, and the dataset list.
#include "metadata/IptcData.h"

#include <bitset>
#include <functional>
#include <iterator>
#include <map>
#include <unordered_set>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

namespace {

struct TDatasetRow {
  uint16_t record, dataset;
  const char* name;
  const char* desc;
  int32_t size;
};

const TDatasetRow kDatasetRows[] = {
    {2, 0, "SKIP", "Record Version", 64},
    {2, 3, "ObjectType", "Object Type Ref", 67},
    {2, 4, "ObjectAttr", "Object Attribute Ref", 67},
    {2, 5, "ObjectName", "Object name", 64},
    {2, 7, "EditStatus", "Edit Status", 64},
    {2, 8, "EditorialUpdate", "Editorial Update", 2},
    {2, 10, "Urgency", "Urgency", 1},
    {2, 12, "SubRef", "Subject Reference", 236},
    {2, 15, "Category", "Category", 3},
    {2, 20, "SuppCategory", "Supplemental category", 32},
    {2, 22, "FixtureID", "Fixture ID", 32},
    {2, 25, "Keywords", "Keywords", 64},
    {2, 26, "ContentLocCode", "Content Location Code", 3},
    {2, 27, "ContentLocName", "Content Location Name", 64},
    {2, 30, "ReleaseDate", "Release Date", 8},
    {2, 35, "ReleaseTime", "Release Time", 11},
    {2, 37, "ExpireDate", "Expiration Date", 8},
    {2, 38, "ExpireTime", "Expiration Time", 11},
    {2, 40, "SpecialInstru", "Special Instructions", 256},
    {2, 42, "ActionAdvised", "Action Advised", 2},
    {2, 45, "RefService", "Reference Service", 10},
    {2, 47, "RefDate", "Reference Date", 8},
    {2, 50, "RefNumber", "Reference Number", 8},
    {2, 55, "DateCreated", "Date created", 8},
    {2, 60, "TimeCreated", "Time created", 11},
    {2, 62, "DigitizeDate", "Digital Creation Date", 8},
    {2, 63, "DigitizeTime", "Digital Creation Time", 11},
    {2, 65, "OriginatingProgram", "Originating Program", 32},
    {2, 70, "ProgramVersion", "Program version", 10},
    {2, 75, "ObjectCycle", "Object Cycle", 1},
    {2, 80, "ByLine", "ByLine", 32},
    {2, 85, "ByLineTitle", "ByLine Title", 32},
    {2, 90, "City", "City", 32},
    {2, 92, "SubLocation", "Sublocation", 32},
    {2, 95, "State", "Province/State", 32},
    {2, 100, "LocationCode", "Country/Primary Location Code", 3},
    {2, 101, "LocationName", "Country/Primary Location Name", 64},
    {2, 103, "TransmissionRef", "Original Transmission Reference", 32},
    {2, 105, "ImageHeadline", "Image headline", 256},
    {2, 110, "ImageCredit", "Image credit", 32},
    {2, 115, "Source", "Source", 32},
    {2, 116, "Copyright", "Copyright Notice", 128},
    {2, 118, "Contact", "Contact", 128},
    {2, 120, "ImageCaption", "Image caption", 2000},
    {2, 122, "ImageCaptionWriter", "Image caption writer", 32},
    {2, 130, "ImageType", "Image type", 2},
    {2, 131, "Orientation", "Image Orientation", 1},
    {2, 135, "LangID", "Language ID", 3},
    {8, 10, "Subfile", "Subfile", 2},
};
static_assert(std::size(kDatasetRows) == 49, "the dataset table has 49 rows");

constexpr uint8_t kDatasetMarker = 0x1C;
constexpr uint16_t kIptcResource = 0x0404;
const std::string kPhotoshopSignature = "Photoshop 3.0";

uint32_t Byte(const std::string& data, size_t i) { return i < data.size() ? static_cast<unsigned char>(data[i]) : 0; }

// The part of the data that holds the datasets: the Photoshop image resource
// 0x0404 when the data is a well-formed list of resource blocks that has one;
// otherwise everything after the signature (the first 13 bytes when it is absent).
void DatasetRange(const std::string& data, size_t& begin, size_t& end) {
  const size_t signature = data.find(kPhotoshopSignature);
  begin = signature == std::string::npos ? 12 : signature + kPhotoshopSignature.size();
  end = data.size();
  if (signature == std::string::npos) return;
  // Resource blocks: "8BIM", the resource id, a Pascal name padded to an even
  // length, the data size and the data padded to an even length.
  size_t p = signature + kPhotoshopSignature.size() + 1;
  while (p + 12 <= data.size() && data.compare(p, 4, "8BIM") == 0) {
    const uint32_t id = (Byte(data, p + 4) << 8) | Byte(data, p + 5);
    size_t q = p + 6;
    const size_t nameLength = Byte(data, q);
    q += (nameLength + 2) & ~size_t(1);
    if (q + 4 > data.size()) return;
    const size_t size = (Byte(data, q) << 24) | (Byte(data, q + 1) << 16) | (Byte(data, q + 2) << 8) | Byte(data, q + 3);
    q += 4;
    if (size > data.size() - q) return;
    if (id == kIptcResource) {
      begin = q;
      end = q + size;
      return;
    }
    p = q + ((size + 1) & ~size_t(1));
  }
}

// The record of one dataset: the table row of its record and dataset number
// (with the data), a "Custom_" record for one the table lacks (and for 2:0),
// the empty record for records other than 2 and 8.
TTagEntry DatasetRecord(uint8_t recordNo, uint8_t datasetNo, std::string data) {
  TTagEntry record;
  if (recordNo != 2 && recordNo != 8) return record;
  for (const TTagEntry& row : IptcDatasetTable()) {
    if (row.Record == recordNo && row.Tag == datasetNo && row.Name != "SKIP") {
      record = row;
      record.Data = std::move(data);
      return record;
    }
  }
  record.Name = record.Desc = "Custom_" + std::to_string(datasetNo);
  record.Tag = datasetNo;
  record.Record = recordNo;
  record.Size = 64;
  record.Data = std::move(data);
  return record;
}

// Reads every dataset of an APP13 segment's data in order, within the budget. A
// dataset runs to its length or the end of the data; the reading ends where the
// byte after a dataset is not the marker of the next one.
void ForEachDataset(const std::string& data, TReadBudget& budget, const std::function<void(TTagEntry&&)>& take) {
  size_t begin = 0, end = 0;
  DatasetRange(data, begin, end);
  size_t pos = std::string::npos;
  for (size_t i = begin; i + 1 < end; ++i) {
    if (Byte(data, i) == kDatasetMarker && (Byte(data, i + 1) == 2 || Byte(data, i + 1) == 8)) {
      pos = i + 1;
      break;
    }
  }
  if (pos == std::string::npos) return;
  while (pos + 3 < end) {
    if (!budget.TakeEntry()) return;
    const uint8_t recordNo = uint8_t(Byte(data, pos)), datasetNo = uint8_t(Byte(data, pos + 1));
    const size_t length = (Byte(data, pos + 2) << 8) | Byte(data, pos + 3);
    pos += 4;
    const size_t got = length < end - pos ? length : end - pos;
    if (!budget.TakeValueBytes(int64_t(got))) return;
    take(DatasetRecord(recordNo, datasetNo, data.substr(pos, got)));
    if (length >= end - pos || Byte(data, pos + length) != kDatasetMarker) return;
    pos += length + 1;
  }
}

}  // namespace

const std::vector<TTagEntry>& IptcDatasetTable() {
  static const std::vector<TTagEntry> table = [] {
    std::vector<TTagEntry> t;
    for (const TDatasetRow& row : kDatasetRows) {
      TTagEntry e;
      e.Record = row.record;
      e.Tag = row.dataset;
      e.Name = row.name;
      e.Desc = row.desc;
      e.Size = row.size;
      t.push_back(std::move(e));
    }
    return t;
  }();
  return table;
}

bool IsRepeatableDataset(int datasetNumber) {
  static const std::bitset<256> repeatable = [] {
    std::bitset<256> set;
    set.set(20);
    set.set(25);
    return set;
  }();
  return datasetNumber >= 0 && datasetNumber < 256 && repeatable.test(size_t(datasetNumber));
}

namespace {

// A comma text list that takes further items unless one equal but for case is in it.
// The items' upper-case forms are kept in a set, so that merging thousands of
// keywords takes time in proportion to their number, not its square.
class TMergedList {
 public:
  explicit TMergedList(const std::string& old = std::string()) {
    items_.SetCommaText(old);
    for (int i = 0; i < items_.Count(); ++i) keys_.insert(AnsiUpperCase(items_.Strings(i)));
  }
  void Add(const std::string& commaText) {
    TStringList added;
    added.SetCommaText(commaText);
    for (int i = 0; i < added.Count(); ++i) {
      std::string item = Trim(added.Strings(i));
      if (keys_.insert(AnsiUpperCase(item)).second) items_.Add(item);
    }
  }
  std::string CommaText() const { return items_.CommaText(); }

 private:
  TStringList items_;
  std::unordered_set<std::string> keys_;
};

}  // namespace

std::string MergeList(const std::string& Old, const std::string& New) {
  TMergedList list(Old);
  list.Add(New);
  return list.CommaText();
}

// ---------------------------------------------------------------------------
// The dataset list
// ---------------------------------------------------------------------------

TReadBudget& TIPTCdata::budget() { return Parent ? Parent->Budget : OwnBudget; }

void TIPTCdata::noteBudgetStop() {
  if (Parent && budget().StopText()) Parent->ErrStr = budget().StopText();
}

int TIPTCdata::append(const TTagEntry& record) {
  if (!budget().TakeRecord()) return -1;
  Datasets.push_back(record);
  return Count() - 1;
}

int TIPTCdata::FindDataset(const std::string& Name) const {
  for (size_t i = 0; i < Datasets.size(); ++i)
    if (SameText(Datasets[i].Name, Name)) return int(i);
  return -1;
}

void TIPTCdata::RemoveDataset(const std::string& Name) {
  const int i = FindDataset(Name);
  if (i >= 0) Datasets.erase(Datasets.begin() + i);
}

int TIPTCdata::AddDataset(const std::string& Name, const std::string& Value) {
  const int i = FindDataset(Name);
  if (i >= 0) {
    if (!Value.empty()) Datasets[size_t(i)].Data = Value;
    return i;
  }
  for (const TTagEntry& row : IptcDatasetTable()) {
    if (SameText(row.Name, Name)) {
      TTagEntry record = row;
      record.Data = Value;
      return append(record);
    }
  }
  return -1;
}

int TIPTCdata::AddMultiDataset(const std::string& Name, const std::string& Value) {
  const int i = FindDataset(Name);
  if (i < 0) return AddDataset(Name, MergeList(std::string(), Value));
  if (!Value.empty()) Datasets[size_t(i)].Data = MergeList(Datasets[size_t(i)].Data, Value);
  return i;
}

int TIPTCdata::WriteDataset(const std::string& Name, const std::string& Value) {
  for (const TTagEntry& row : IptcDatasetTable()) {
    if (SameText(row.Name, Name))
      return IsRepeatableDataset(row.Tag) ? AddMultiDataset(Name, Value) : AddDataset(Name, Value);
  }
  return -1;
}

void TIPTCdata::ReadDataset(const std::string& Name, const std::string& Default, std::string& Value) const {
  const int i = FindDataset(Name);
  Value = i >= 0 ? Datasets[size_t(i)].Data : Default;
}

bool TIPTCdata::ReadFile(const std::string& FileName) {
  Datasets.clear();
  // The read renews the parent record, which would free the list it owns: this
  // list stays the parent's and takes the new segment's datasets.
  TimgData own(255);
  TimgData& parent = Parent ? *Parent : own;
  std::unique_ptr<TIPTCdata> self;
  if (parent.IptcData.get() == this) self = std::move(parent.IptcData);
  parent.ReadFileMetadata(FileName);
  const bool hasSegment = parent.IptcSegment != nullptr;
  if (self) {
    parent.IptcData = std::move(self);
  }
  if (hasSegment) ParseIptc(parent.IptcSegment->Data);
  return HasData();
}

void TIPTCdata::ParseIptc(const std::string& Data) {
  Datasets.clear();
  // The values of a repeatable dataset gather in one merged list per dataset, which
  // gives the dataset its comma text at the end.
  struct Merged {
    int Index = -1;
    TMergedList List;
  };
  std::map<std::string, Merged> merged;
  ForEachDataset(Data, budget(), [this, &merged](TTagEntry&& record) {
    if (record.Name.empty()) return;  // a record of another kind than 2 and 8
    if (!IsRepeatableDataset(record.Tag)) {
      append(record);
      return;
    }
    auto found = merged.find(record.Name);
    if (found == merged.end()) {
      const int index = AddDataset(record.Name, std::string());
      if (index < 0) return;
      found = merged.try_emplace(record.Name).first;
      found->second.Index = index;
    }
    found->second.List.Add(record.Data);
  });
  for (const auto& [name, dataset] : merged) Datasets[size_t(dataset.Index)].Data = dataset.List.CommaText();
  noteBudgetStop();
}

std::vector<std::string> TIPTCdata::IptcLines(const std::string& Data) {
  std::vector<std::string> lines;
  ForEachDataset(Data, budget(), [&lines](TTagEntry&& record) {
    if (!record.Name.empty()) lines.push_back(record.Desc + " = " + record.Data);
  });
  noteBudgetStop();
  return lines;
}
