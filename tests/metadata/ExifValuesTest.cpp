// Value texts that no outside tool writes: the reader's own code-list words,
// callbacks and cuts, computed by hand from the formatting rules.
#include "metadata/ExifData.h"
#include "metadata/ExifData_Internal.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"
#include "TestSupport.h"

namespace {

// Raw bytes of 16- and 32-bit values in the given order.
std::string Bytes16(bool motorola, std::initializer_list<uint16_t> values) {
  std::string s;
  for (uint16_t v : values) s += motorola ? std::string{char(v >> 8), char(v)} : std::string{char(v), char(v >> 8)};
  return s;
}

std::string Bytes32(bool motorola, std::initializer_list<uint32_t> values) {
  std::string s;
  for (uint32_t v : values)
    s += motorola ? std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}
                  : std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  return s;
}

std::string Shown(const TImageInfo& reader, uint16_t tag, int kind, const std::string& raw, int type) {
  const TTagEntry& def = TImageInfo::LookupTagDef(tag, kind);
  std::string text = reader.FormatValue(raw, type, def.Code, def.FormatS);
  return def.Callback ? def.Callback(text) : PrintableText(text);
}

}  // namespace

TEST(TagValueTexts, CodeListsAndSignedReads) {
  for (bool motorola : {false, true}) {
    TImageInfo reader(nullptr, 255);
    reader.MotorolaOrder = motorola;
    EXPECT_EQ(Shown(reader, 0x0112, 1, Bytes16(motorola, {6}), 3), "CounterClockwise 90°");
    EXPECT_EQ(Shown(reader, 0x0112, 1, Bytes16(motorola, {2}), 3), "");  // not in the list
    EXPECT_EQ(Shown(reader, 0x0106, 1, Bytes16(motorola, {2}), 3), "");  // ", 2:RGB" is never found
    EXPECT_EQ(Shown(reader, 0x0106, 1, Bytes16(motorola, {1}), 3), "Monochrome");
    EXPECT_EQ(Shown(reader, 0x0005, 2, std::string(1, '\0'), 1), "Sealevel");  // GPSAltitudeRef
    // Two values with an empty first word: no separator in front of the second.
    EXPECT_EQ(Shown(reader, 0x0112, 1, Bytes16(motorola, {2, 8}), 3), "Clockwise 90°");
    EXPECT_EQ(reader.FormatValue(Bytes16(motorola, {0xFFFE}), 8, "", ""), "65534");  // SSHORT -2
    EXPECT_EQ(reader.FormatValue(std::string(1, '\xFF'), 6, "", ""), "255");         // SBYTE -1
    EXPECT_EQ(reader.FormatValue(Bytes32(motorola, {0xFFFFFFFF}), 9, "", ""), "-1");
    EXPECT_EQ(reader.FormatValue(Bytes32(motorola, {uint32_t(-1), 3}), 10, "", ""), "-1/3");
    EXPECT_EQ(reader.FormatValue(Bytes32(motorola, {0x3F800000}), 11, "", ""), "-9999.99");
    EXPECT_EQ(reader.NumericValue(Bytes32(motorola, {0x3F800000}), 11), 1.0);
    EXPECT_EQ(reader.FormatValue("abc", 14, "", ""), "0");
    EXPECT_EQ(reader.FormatValue(Bytes32(motorola, {1234}), 13, "", ""), "1234");  // IFD: a LONG
    EXPECT_EQ(reader.FormatValue(Bytes32(motorola, {72, 1}), 5, "", "%5.2f"), "72.00");
    EXPECT_EQ(reader.FormatValue(Bytes32(motorola, {1, 250}), 5, "", "%s sec"), "1/250 sec");
    // The number of several values is the first; signed types keep their sign.
    EXPECT_EQ(reader.NumericValue(Bytes16(motorola, {1, 2}), 3), 1.0);
    EXPECT_EQ(reader.NumericValue(Bytes16(motorola, {0xFFFE, 7}), 8), -2.0);
    EXPECT_EQ(reader.NumericValue(std::string("\xFF\x05", 2), 6), -1.0);
    EXPECT_EQ(reader.NumericValue(Bytes32(motorola, {0xFFFFFFFF, 3}), 10), -1.0 / 3);
    EXPECT_EQ(reader.NumericValue(Bytes32(motorola, {0xFFFFFFFF, 3}), 5), 4294967295.0 / 3);
  }
  TImageInfo reader(nullptr, 255);
  const std::string bytes200(200, '\x07');
  std::string expected = "7";
  for (int i = 1; i < 128; ++i) expected += ", 7";
  EXPECT_EQ(reader.FormatValue(bytes200, 1, "", ""), expected);
  EXPECT_EQ(PrintableText(std::string(60, 'x') + "\n"), std::string(50, 'x'));
  EXPECT_EQ(PrintableText(std::string("a\tb\0c", 5)), "a.b.c");
  EXPECT_EQ(PrintableText(std::string(49, 'x') + "éé"), std::string(49, 'x') + "é");
}

TEST(TagValueTexts, Callbacks) {
  // Every value of the flash's return bits (2 and 4) and mode bits (8 and 16).
  const std::pair<const char*, const char*> flashes[] = {
      {"0", "Off"},
      {"2", "Off, UNKNOWN"},
      {"4", "Off, no strobe return"},
      {"7", "On, strobe return"},
      {"9", "On, forced"},
      {"16", "Off, surpressed"},
      {"25", "On, auto mode"},
      {"32", "Off, no flash function"},
      {"65", "On, red-eye reduction"},
      {"95", "On, strobe return, auto mode, red-eye reduction"}};
  for (const auto& [value, text] : flashes) EXPECT_EQ(FlashText(value), text) << value;
  // The fraction is shown from half a second (APEX 1) down, not above it.
  EXPECT_EQ(ShutterSpeedText("1/1"), "0.5000 sec (1/2)");
  EXPECT_EQ(ShutterSpeedText("99/100"), "0.5035 sec");
  EXPECT_EQ(ShutterSpeedText("6/1"), "0.0156 sec (1/64)");
  EXPECT_EQ(ShutterSpeedText("-1/1"), "2.0000 sec");
  EXPECT_EQ(ShutterSpeedText("1/0"), "1.0000 sec");  // x/0 gives 0
  EXPECT_EQ(ComponentsConfigurationText(std::string("\"\x01\x02\x03\"")), "YCbCr");
  EXPECT_EQ(ComponentsConfigurationText(std::string("\"\x04\x05\x06\x09\"")), "RGB");
  EXPECT_EQ(GpsDegreesText("52/1, 2230/100, 0/1"), "52 Degrees 22 Minutes 18 Seconds");
  EXPECT_EQ(GpsDegreesText("4/1, 54/1, 1500/100"), "4 Degrees 54 Minutes 15 Seconds");
  EXPECT_EQ(GpsDegreesText("4/1"), "4 Degrees 0 Minutes 0 Seconds");
  EXPECT_EQ(GpsTimeText("13/1, 45/1, 30/1"), "13:45:30");
  EXPECT_EQ(WindowsXpText("72, 0, 105, 0, 0, 0"), "Hi");
  EXPECT_EQ(WindowsXpText("233, 0, 120"), "\xE9");
  EXPECT_EQ(UserCommentText("\"ASCII\"xyz"), "yz");
  EXPECT_DOUBLE_EQ(FractionValue(" 1 1/2 "), 1.5);
  EXPECT_EQ(FractionValue("3/0"), 0.0);
  EXPECT_EQ(FractionValue("x/2"), 0.0);
  EXPECT_EQ(FractionValue("7"), 0.0);
  EXPECT_EQ(CodeText("1:Normal,3:Rotated 180°", " 3 "), "Rotated 180°");
  EXPECT_EQ(CodeText("1:Normal,3:Rotated 180°", "13"), "");
}

TEST(TagValueTexts, TablesAndDescriptions) {
  EXPECT_EQ(DescriptionFromName("ExifImageWidth"), "Exif Image Width");
  EXPECT_EQ(DescriptionFromName("ISOSpeedRatings"), "ISOSpeed Ratings");
  EXPECT_EQ(DescriptionFromName("FocalLengthin35mmFilm"), "Focal Lengthin35mm Film");
  EXPECT_EQ(DescriptionFromName("GPSLatitude"), "GPSLatitude");
  EXPECT_EQ(TImageInfo::LookupTagDef(0xA405, 1).Desc, "Focal Length in 35mm Film");
  EXPECT_EQ(TImageInfo::LookupTagDef(0x83BB, 1).Desc, "IPTC/NAA");
  EXPECT_EQ(TImageInfo::LookupTagDef(0x1E, 2).Name, "GPSDifferential");
  EXPECT_EQ(TImageInfo::LookupTagDef(0x1E, 1).Name, "Unknown");
  EXPECT_EQ(TImageInfo::LookupTagDef(0x010F, 3).Name, "Unknown");
  EXPECT_EQ(TImageInfo::FindExifRowByName("focallengthIN35MMfilm"), 241);
  for (size_t i = 0; i < GpsTagTable().size(); ++i) EXPECT_EQ(GpsTagTable()[i].Tag, i);
}

TEST(TagValueTexts, DatesAndTheDutchSeparator) {
  EXPECT_DOUBLE_EQ(TImageInfo::ParseExifDate("2004:05:06 07:08:09"), EncodeDateTime(2004, 5, 6, 7, 8, 9, 0));
  // Leap days by the 4, 100 and 400 year rules, days after them, and each field at its
  // limit and one past it (days counted from 1899-12-30 by hand).
  const std::pair<const char*, double> dates[] = {
      {"2000:02:29 00:00:00", 36585}, {"2000:03:01 00:00:00", 36586}, {"2004:02:29 00:00:00", 38046},
      {"1900:03:01 00:00:00", 61},    {"2100:03:01 00:00:00", 73110}, {"1900:02:29 00:00:00", 0},
      {"2100:02:29 00:00:00", 0},     {"2001:02:29 00:00:00", 0},     {"2004:02:30 07:08:09", 0},
      {"2004:12:31 23:59:59", 38352 + 86399 / 86400.0},               {"2004:13:01 00:00:00", 0},
      {"2004:12:32 00:00:00", 0},     {"2004:12:31 24:00:00", 0},     {"2004:12:31 23:60:00", 0},
      {"2004:12:31 23:59:60", 0},     {"2004:00:10 00:00:00", 0}};
  for (const auto& [text, value] : dates) EXPECT_DOUBLE_EQ(TImageInfo::ParseExifDate(text), value) << text;
  EXPECT_EQ(TImageInfo::ParseExifDate("    :  :     :  :  "), 0.0);
  EXPECT_EQ(TImageInfo::ParseExifDate("2004:05:06"), 0.0);
  SetFormatSettingsForLanguage("nl");
  TImageInfo reader(nullptr, 255);
  EXPECT_EQ(ShutterSpeedText("-1/1"), "2,0000 sec");
  EXPECT_EQ(reader.FormatValue(Bytes32(false, {28, 10}), 5, "", "F%0.1f"), "F2,8");
  SetFormatSettingsForLanguage("en");
}

TEST(TagValueTexts, DutchWords) {
  const std::string locale = testsupport::ProgramDir() + "/locale";
  if (access((locale + "/nl/LC_MESSAGES/default.mo").c_str(), R_OK) != 0) GTEST_SKIP() << "catalogue not built";
  InitTranslation(locale);
  UseLanguage("nl");
  EXPECT_EQ(FlashText("25"), "Aan, automatisch");
  EXPECT_EQ(CodeText("1:Normal,3:Rotated 180°,6:CounterClockwise 90°", "6"), "90° linksom");
  EXPECT_EQ(GpsDegreesText("52/1, 2230/100, 0/1"), "52 graden 22 minuten 18 seconden");
  UseLanguage("en");
  EXPECT_EQ(FlashText("25"), "On, auto mode");
}
