#pragma once
// Routines shared by the files of the Exif reader: the tag callbacks named by
// the tables and the small text and number helpers they use.
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

class TFileStream;
class TReadBudget;

// The bytes of a file from a given offset on, read where they lie. A TIFF file's
// directories and values may stand anywhere in it (most programs write them after
// the pixels), so its walk asks for the bytes it needs instead of reading one
// window of the file: a page is read when first needed and kept for the read, and
// every page read is paid from the read's budget. Position 1 is the file's offset
// Origin. The file is open only while pages are read; Close lets it go.
class TFilePages {
 public:
  static constexpr int64_t kPageSize = 4096;
  // The longest run one Read gives: a tag may hold a picture's layers or previews,
  // of which the texts shown need only the start.
  static constexpr int64_t kLongestRead = 256000;

  TFilePages(const std::string& fileName, int64_t origin, TReadBudget& budget);
  ~TFilePages();
  TFilePages(const TFilePages&) = delete;
  TFilePages& operator=(const TFilePages&) = delete;

  int64_t Size() const { return size_; }
  uint32_t Byte(int64_t p);
  std::string Read(int64_t p, int64_t count);
  void Close();

 private:
  // The page of that number; nullptr when it cannot be read or the budget is spent.
  const std::string* page(int64_t index);
  bool readAt(int64_t offset, char* out, int64_t count);

  std::string fileName_;
  int64_t origin_ = 0, size_ = 0;
  TReadBudget& budget_;
  std::unique_ptr<TFileStream> stream_;
  std::unordered_map<int64_t, std::string> pages_;
  int64_t lastIndex_ = -1;
  const std::string* last_ = nullptr;
};

// Tag callbacks: the value text in, the shown text out.
std::string ComponentsConfigurationText(const std::string& valueText);
std::string ShutterSpeedText(const std::string& valueText);
std::string ApexApertureText(const std::string& valueText);
std::string FlashText(const std::string& valueText);
std::string UserCommentText(const std::string& valueText);
std::string WindowsXpText(const std::string& valueText);
std::string GpsDegreesText(const std::string& valueText);
std::string GpsTimeText(const std::string& valueText);

class tEndInd;

// A one-byte UNDEFINED value (FileSource, SceneType) read as the number it holds,
// so that its value-code list applies.
std::string UndefinedByteText(const tEndInd& reader, std::string_view raw, const std::string& code,
                              bool translateCodes);
// The value text of a maker-note entry: an ASCII text in double quotes (up to its
// zero byte), an UNDEFINED value whole in double quotes (one byte as its number),
// other types formatted with the code list, whose texts stay as the table has them.
std::string MakerNoteValueText(const tEndInd& reader, std::string_view raw, int type, const std::string& code);

// An integer text with optional blanks around it; false when it is none.
bool ParseInt32(const std::string& text, int32_t& value);

// The nearest integer of a number read from a file, held to the range of T:
// a file may hold any DOUBLE, and converting one outside that range would be
// undefined. NaN gives 0.
template <typename T>
T RoundToRange(double value) {
  if (std::isnan(value)) return 0;
  const double rounded = std::nearbyint(value);
  // The limits as doubles are exact, but for 64 bits the maximum becomes 2^63:
  // every value below it converts.
  if (rounded <= double(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
  if (rounded >= double(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
  return static_cast<T>(rounded);
}
