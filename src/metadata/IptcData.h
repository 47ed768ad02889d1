#pragma once
// The IPTC datasets of a metadata record: captions, keywords, credits and the like
// that photo tools store as IPTC-IIM records inside the Photoshop image resources
// of the APP13 segment. The list keeps one tag record per dataset (repeatable
// datasets merged into one comma text) with operations to find, add, merge,
// remove and read them by name.
#include <string>
#include <vector>

#include "metadata/ExifData.h"

class TimgData;

// The dataset table: record and dataset number, name, description and the
// dataset's largest length (Size). The row of dataset 2:0 is named "SKIP".
const std::vector<TTagEntry>& IptcDatasetTable();
// Datasets that may occur more than once: Supplemental category (20) and Keywords (25).
bool IsRepeatableDataset(int datasetNumber);

// The items of New (comma text of a string list; trimmed) added to those of Old
// unless an item equal but for case is there; the result as comma text.
std::string MergeList(const std::string& Old, const std::string& New);

class TIPTCdata {
 public:
  explicit TIPTCdata(TimgData* parent) : Parent(parent) {}
  virtual ~TIPTCdata() = default;
  TIPTCdata(const TIPTCdata&) = delete;
  TIPTCdata& operator=(const TIPTCdata&) = delete;

  TimgData* Parent = nullptr;
  std::vector<TTagEntry> Datasets;

  int Count() const { return int(Datasets.size()); }
  const TTagEntry& Dataset(int index) const { return Datasets.at(size_t(index)); }
  bool HasData() const { return Count() >= 1; }

  // Index of the first dataset whose name equals Name without case; -1 when none.
  virtual int FindDataset(const std::string& Name) const;
  virtual void RemoveDataset(const std::string& Name);
  // Sets the dataset's value (an empty Value leaves it) or appends the table row of
  // that name with Value; -1 for a name the table lacks.
  virtual int AddDataset(const std::string& Name, const std::string& Value);
  // As AddDataset, the value merged into the dataset's comma text.
  virtual int AddMultiDataset(const std::string& Name, const std::string& Value);
  // AddMultiDataset for a repeatable dataset, AddDataset for another; -1 for a name the table lacks.
  virtual int WriteDataset(const std::string& Name, const std::string& Value);
  virtual void ReadDataset(const std::string& Name, const std::string& Default, std::string& Value) const;
  // Reads the file with the parent record and parses its APP13 segment; True when
  // datasets were found.
  virtual bool ReadFile(const std::string& FileName);

  // Fills the list from an APP13 segment's data.
  void ParseIptc(const std::string& Data);
  // One line "Desc = Data" per dataset of an APP13 segment's data, in their order.
  std::vector<std::string> IptcLines(const std::string& Data);

 private:
  int append(const TTagEntry& record);
  TReadBudget& budget();
  // A limit that stopped the datasets is said in the parent's status text.
  void noteBudgetStop();
  TReadBudget OwnBudget;
};
