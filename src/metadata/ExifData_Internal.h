#pragma once
// Routines shared by the files of the Exif reader: the tag callbacks named by
// the tables and the small text and number helpers they use.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

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
