// Dates and times: the day count, calendar rules, pattern formatting and parsing,
// DOS date-time packing and file times, checked against the date and touch tools.
#include <cmath>

#include "RtlTestHelpers.h"
#include "platform/rtl/LocalTimes.h"
#include "platform/rtl/SysUtils.h"

namespace {

using rtltest::ToolLine;

class RtlDates : public testing::Test {
 protected:
  void TearDown() override { SetFormatSettingsForLanguage("en"); }
};

TEST_F(RtlDates, DayNumbersAndCalendarRules) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465);
  EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
  EXPECT_THROW(EncodeDate(2000, 13, 1), EConvertError);
  EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_EQ(DaysInAMonth(2004, 2), 29);
  EXPECT_EQ(DayOfWeek(EncodeDate(2004, 3, 5)), 6);  // a Friday
  EXPECT_EQ(DayOfWeek(0), 7);                       // 1899-12-30 was a Saturday
  // Before 1899-12-30 the whole part counts days back and the fraction is still the time.
  TDateTime v = EncodeDateTime(1899, 12, 29, 6, 0, 0, 0);
  EXPECT_DOUBLE_EQ(v, -1.25);
  int y, m, d, h, n, s, z;
  DecodeDateTime(v, y, m, d, h, n, s, z);
  EXPECT_EQ(y * 10000 + m * 100 + d, 18991229);
  EXPECT_EQ(h, 6);
  DecodeDateTime(EncodeDateTime(2004, 3, 5, 23, 59, 59, 999), y, m, d, h, n, s, z);
  EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + z, 235959999);
  EXPECT_EQ(IncMonth(EncodeDate(2004, 1, 31), 1), EncodeDate(2004, 2, 29));
  EXPECT_EQ(IncMonth(EncodeDate(2004, 1, 31), -2), EncodeDate(2003, 11, 30));
  EXPECT_EQ(IncDay(EncodeDate(2004, 2, 28), 2), EncodeDate(2004, 3, 1));
  EXPECT_DOUBLE_EQ(IncSecond(EncodeDateTime(2004, 3, 5, 23, 59, 59, 0), 2), EncodeDateTime(2004, 3, 6, 0, 0, 1, 0));
}

// The calendar against date(1): day numbers spread over the years 1..9999.
TEST_F(RtlDates, DecodingAgreesWithTheDateTool) {
  KIVO2_REQUIRE_TOOL("date");
  for (int64_t day = -693593; day <= 2958465; day += 97103) {
    int64_t secs = (day - 25569) * 86400 + 3723;  // 01:02:03
    std::string expected = ToolLine({"date", "-u", "-d", "@" + std::to_string(secs), "+%Y-%m-%d %H:%M:%S %w"});
    ASSERT_FALSE(expected.empty());
    TDateTime v = UnixToDateTime(secs);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", v) + " " + std::to_string(DayOfWeek(v) - 1), expected) << day;
    EXPECT_EQ(DateTimeToUnix(v), secs);
    int y, m, d;
    DecodeDate(v, y, m, d);
    EXPECT_DOUBLE_EQ(EncodeDate(y, m, d), double(day));
  }
}

TEST_F(RtlDates, FormatDateTimePatterns) {
  TDateTime v = EncodeDateTime(2004, 3, 5, 7, 8, 9, 12);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", v), "2004-03-05 07:08:09.012");
  EXPECT_EQ(FormatDateTime("d/m/yy", v), "5/3/04");
  EXPECT_EQ(FormatDateTime("ddd dddd mmm mmmm", v), "Fri Friday Mar March");
  EXPECT_EQ(FormatDateTime("h:mm", v), "7:08");      // m after h is the minute
  EXPECT_EQ(FormatDateTime("hh:mm:ss", v), "07:08:09");
  EXPECT_EQ(FormatDateTime("mm", v), "03");
  EXPECT_EQ(FormatDateTime("h am/pm", v), "7 am");
  EXPECT_EQ(FormatDateTime("h AM/PM", v + 0.5), "7 PM");
  EXPECT_EQ(FormatDateTime("hh a/p", v + 0.5), "07 p");
  EXPECT_EQ(FormatDateTime("h ampm", EncodeTime(0, 30, 0, 0)), "12 AM");
  EXPECT_EQ(FormatDateTime("'yyyy' \"mm\" yyyy", v), "yyyy mm 2004");
  EXPECT_EQ(FormatDateTime("c", v), "3/5/2004 7:08:09 AM");
  EXPECT_EQ(FormatDateTime("c", EncodeDate(2004, 3, 5)), "3/5/2004");
  EXPECT_EQ(FormatDateTime("", EncodeDate(2004, 3, 5)), "3/5/2004");
  EXPECT_EQ(FormatDateTime("ddddd", v), "3/5/2004");
  EXPECT_EQ(FormatDateTime("dddddd", v), "Friday, March 5, 2004");
  SetFormatSettingsForLanguage("nl");
  EXPECT_EQ(FormatDateTime("d/m/yyyy hh:nn", v), "5-3-2004 07:08");
  EXPECT_EQ(FormatDateTime("dddd d mmmm", v), "vrijdag 5 maart");
  EXPECT_EQ(DateTimeToStr(v + 0.5), "5-3-2004 19:08:09");
}

TEST_F(RtlDates, ParsingFollowsTheShortDateOrder) {
  EXPECT_EQ(StrToDate("5/3/2004"), EncodeDate(2004, 5, 3));  // M/d/yyyy
  EXPECT_EQ(StrToDate("12/31/04"), EncodeDate(2004, 12, 31));
  EXPECT_DOUBLE_EQ(StrToDateTime("3/5/2004 7:08:09 PM"), EncodeDateTime(2004, 3, 5, 19, 8, 9, 0));
  EXPECT_DOUBLE_EQ(StrToTime("12:30 AM"), EncodeTime(0, 30, 0, 0));
  EXPECT_THROW(StrToDate("2/30/2004"), EConvertError);
  EXPECT_THROW(StrToDate("5/3/2004x"), EConvertError);
  EXPECT_THROW(StrToDateTime(""), EConvertError);
  EXPECT_THROW(StrToTime("13:00 PM"), EConvertError);
  SetFormatSettingsForLanguage("nl");
  EXPECT_EQ(StrToDate("5-3-2004"), EncodeDate(2004, 3, 5));
  EXPECT_DOUBLE_EQ(StrToDateTime("5-3-2004 19:08"), EncodeDateTime(2004, 3, 5, 19, 8, 0, 0));
}

TEST_F(RtlDates, DosDateTimePacking) {
  TDateTime v = EncodeDateTime(2004, 3, 5, 7, 8, 11, 500);
  // 2004-03-05 07:08:10: date (24<<9 | 3<<5 | 5), time (7<<11 | 8<<5 | 10/2).
  EXPECT_EQ(uint32_t(DateTimeToFileDate(v)), 0x30653905u);
  EXPECT_DOUBLE_EQ(FileDateToDateTime(DateTimeToFileDate(v)), EncodeDateTime(2004, 3, 5, 7, 8, 10, 0));
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31)), 0);
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(2108, 1, 1)), 0);
  EXPECT_DOUBLE_EQ(FileDateToDateTime(DateTimeToFileDate(EncodeDateTime(2107, 12, 31, 23, 59, 58, 0))),
                   EncodeDateTime(2107, 12, 31, 23, 59, 58, 0));
  EXPECT_THROW(FileDateToDateTime(0), EConvertError);           // month 0
  EXPECT_THROW(FileDateToDateTime(int32_t(0x306539FF)), EConvertError);  // 62 seconds
}

TEST_F(RtlDates, FileTimesAgreeWithTouchAndDate) {
  KIVO2_REQUIRE_TOOL("touch");
  KIVO2_REQUIRE_TOOL("date");
  std::string f = testsupport::TempPath("dated.jpg");
  testsupport::WriteFile(f, "x");
  ASSERT_EQ(testsupport::Run({"touch", "-d", "2004-03-05 07:08:09.250", f}).exitCode, 0);
  EXPECT_EQ(FileAge(f), DateTimeToFileDate(EncodeDateTime(2004, 3, 5, 7, 8, 8, 0)));
  TDateTime full;
  ASSERT_TRUE(FileAge(f, full));
  EXPECT_NEAR(full, EncodeDateTime(2004, 3, 5, 7, 8, 9, 250), 1e-8);
  EXPECT_EQ(FileAge(testsupport::TempPath("missing")), -1);
  EXPECT_EQ(FileAge(testsupport::TempDir()), -1);

  ASSERT_EQ(FileSetDate(f, DateTimeToFileDate(EncodeDateTime(1999, 12, 31, 23, 59, 58, 0))), 0);
  EXPECT_EQ(ToolLine({"date", "-r", f, "+%Y-%m-%d %H:%M:%S"}), "1999-12-31 23:59:58");
  ASSERT_TRUE(FileSetDateTime(f, EncodeDateTime(2010, 6, 7, 8, 9, 10, 500)));
  EXPECT_EQ(ToolLine({"date", "-r", f, "+%Y-%m-%d %H:%M:%S.%3N"}), "2010-06-07 08:09:10.500");
  EXPECT_NE(FileSetDate(f, 0), 0);
  EXPECT_NE(FileSetDate(testsupport::TempPath("missing"), DateTimeToFileDate(Now())), 0);
  // Now is local time, as the tool gives it.
  std::string now = ToolLine({"date", "+%Y-%m-%d %H:%M"});
  std::string ours = FormatDateTime("yyyy-mm-dd hh:nn", Now());
  if (ours != now) {
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", Now() - 60.0 / SecsPerDay), now);
  }
  EXPECT_NEAR(UnixToLocalDateTime(LocalDateTimeToUnix(EncodeDateTime(2004, 7, 1, 12, 0, 0, 0))),
              EncodeDateTime(2004, 7, 1, 12, 0, 0, 0), 1e-9);
}

// The local times a file list shows, worked out once per day, against the date tool in
// zones with summer time (also of half an hour), an odd offset change and leap seconds;
// instants around the changes and at the ends of days, each asked twice.
TEST_F(RtlDates, LocalTimesOfManyFilesAgreeWithTheDateTool) {
  const std::pair<const char*, std::vector<int64_t>> zones[] = {
      {"Europe/Amsterdam", {1711846799, 1711846800, 1711850399, 1711850400, 1729990799, 1729990800, 1729994400,
                            1700006399, 1700006400, -2208988800, 0}},
      {"Australia/Lord_Howe", {1712415599, 1712415600, 1712417400, 1728142199, 1728142200, 1728143999}},
      {"Asia/Kathmandu", {504901799, 504901800, 504902699, 504902700, 504950399}},
      {"right/UTC", {1600000000, 1483228799, 1483228825, 1483228827, 1483315199}}};
  const std::string saved = std::getenv("TZ") ? std::getenv("TZ") : "";
  int zonesSeen = 0;
  for (const auto& [zone, instants] : zones) {
    if (!FileExists(std::string("/usr/share/zoneinfo/") + zone)) continue;
    ++zonesSeen;
    setenv("TZ", zone, 1);
    tzset();
    TLocalTimes times;
    for (int64_t t : instants)
      for (int round = 0; round < 2; ++round)
        EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", times.FromUnix(t)),
                  ToolLine({"env", std::string("TZ=") + zone, "date", "-d", "@" + std::to_string(t), "+%F %T"}))
            << zone << " " << t;
  }
  saved.empty() ? unsetenv("TZ") : setenv("TZ", saved.c_str(), 1);
  tzset();
  if (zonesSeen == 0) GTEST_SKIP() << "no time zone files";
}

}  // namespace
