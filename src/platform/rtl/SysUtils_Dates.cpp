// Dates and times: TDateTime counts days since 1899-12-30 with the time of day as
// the fraction; formatting and parsing follow the class library's pattern letters.
#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/LocalTimes.h"
#include "platform/rtl/RtlInternal.h"
#include "platform/rtl/SysUtils.h"

namespace {
// Days from 1899-12-30 to the given civil date (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468 + 25569;  // 25569 = 1970-01-01 as a TDateTime
}

void CivilFromDays(int64_t days, int& y, int& m, int& d) {
  int64_t z = days - 25569 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = int(doy - (153 * mp + 2) / 5 + 1);
  m = int(mp < 10 ? mp + 3 : mp - 9);
  y = int(int64_t(yoe) + era * 400 + (m <= 2));
}

// The day number and milliseconds of the day, as the class library splits a TDateTime:
// the day is the whole part, the time the absolute fraction.
void Split(TDateTime v, int64_t& day, int& msOfDay) {
  if (!std::isfinite(v)) v = 0;
  double whole = std::trunc(v);
  day = int64_t(whole);
  double ms = std::round(std::fabs(v - whole) * MSecsPerDay);
  if (ms >= MSecsPerDay) ms = MSecsPerDay - 1;
  msOfDay = int(ms);
}

TDateTime Compose(TDateTime date, TDateTime time) { return date >= 0 ? date + time : date - time; }

struct Parts {
  int year, month, day, hour, min, sec, msec, dow;
};

Parts Decode(TDateTime v) {
  Parts p;
  int64_t day;
  int ms;
  Split(v, day, ms);
  CivilFromDays(day, p.year, p.month, p.day);
  p.hour = ms / 3600000;
  p.min = ms / 60000 % 60;
  p.sec = ms / 1000 % 60;
  p.msec = ms % 1000;
  // 1899-12-30 was a Saturday (7).
  p.dow = int(((day % 7) + 7 + 6) % 7) + 1;
  return p;
}
}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0); }

int DaysInAMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

int DaysInMonth(TDateTime date) {
  Parts p = Decode(date);
  return DaysInAMonth(p.year, p.month);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInAMonth(year, month)) return false;
  date = double(DaysFromCivil(year, unsigned(month), unsigned(day)));
  return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time) {
  if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 || msec >= 1000) return false;
  time = (double(hour) * 3600000.0 + double(min) * 60000.0 + double(sec) * 1000.0 + double(msec)) / MSecsPerDay;
  return true;
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec, TDateTime& value) {
  TDateTime d, t;
  if (!TryEncodeDate(year, month, day, d) || !TryEncodeTime(hour, min, sec, msec, t)) return false;
  value = Compose(d, t);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime d;
  if (!TryEncodeDate(year, month, day, d)) throw EConvertError(_("Invalid argument to date encode"));
  return d;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime t;
  if (!TryEncodeTime(hour, min, sec, msec, t)) throw EConvertError(_("Invalid argument to time encode"));
  return t;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec) {
  return Compose(EncodeDate(year, month, day), EncodeTime(hour, min, sec, msec));
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  Parts p = Decode(date);
  year = p.year;
  month = p.month;
  day = p.day;
}

void DecodeDate(TDateTime date, uint16_t& year, uint16_t& month, uint16_t& day) {
  int y, m, d;
  DecodeDate(date, y, m, d);
  year = uint16_t(y);
  month = uint16_t(m);
  day = uint16_t(d);
}

void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec) {
  Parts p = Decode(time);
  hour = p.hour;
  min = p.min;
  sec = p.sec;
  msec = p.msec;
}

void DecodeTime(TDateTime time, uint16_t& hour, uint16_t& min, uint16_t& sec, uint16_t& msec) {
  int h, n, s, z;
  DecodeTime(time, h, n, s, z);
  hour = uint16_t(h);
  min = uint16_t(n);
  sec = uint16_t(s);
  msec = uint16_t(z);
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& min, int& sec, int& msec) {
  Parts p = Decode(value);
  year = p.year;
  month = p.month;
  day = p.day;
  hour = p.hour;
  min = p.min;
  sec = p.sec;
  msec = p.msec;
}

int YearOf(TDateTime v) { return Decode(v).year; }
int MonthOf(TDateTime v) { return Decode(v).month; }
int DayOf(TDateTime v) { return Decode(v).day; }
int HourOf(TDateTime v) { return Decode(v).hour; }
int MinuteOf(TDateTime v) { return Decode(v).min; }
int SecondOf(TDateTime v) { return Decode(v).sec; }
int DayOfWeek(TDateTime date) { return Decode(date).dow; }

TDateTime IncDay(TDateTime value, int numberOfDays) { return value + numberOfDays; }

TDateTime IncMonth(TDateTime value, int numberOfMonths) {
  Parts p = Decode(value);
  int64_t total = int64_t(p.year) * 12 + (p.month - 1) + numberOfMonths;
  int y = int(total / 12), m = int(total % 12) + 1;
  if (y < 1 || y > 9999) throw EConvertError(_("Invalid argument to date encode"));
  int d = std::min(p.day, DaysInAMonth(y, m));
  int64_t day;
  int ms;
  Split(value, day, ms);
  return Compose(EncodeDate(y, m, d), ms / MSecsPerDay);
}

TDateTime IncSecond(TDateTime value, int64_t numberOfSeconds) {
  // Work in milliseconds on a continuous time line (negative dates count backwards in days only).
  int64_t day;
  int ms;
  Split(value, day, ms);
  int64_t total = day * 86400000LL + ms + numberOfSeconds * 1000;
  int64_t nd = total >= 0 ? total / 86400000LL : -((-total + 86399999LL) / 86400000LL);
  int64_t nms = total - nd * 86400000LL;
  return Compose(double(nd), double(nms) / MSecsPerDay);
}

// ---------------------------------------------------------------------------
// Clock and time zones
// ---------------------------------------------------------------------------
namespace {
TDateTime LocalFromTimespec(int64_t sec, long nsec) {
  time_t t = time_t(sec);
  struct tm tmv;
  if (!localtime_r(&t, &tmv)) return 0;
  TDateTime d;
  if (!TryEncodeDate(tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday, d)) return 0;
  double tod = (double(tmv.tm_hour) * 3600.0 + double(tmv.tm_min) * 60.0 + double(std::min(tmv.tm_sec, 59)) +
                double(nsec) / 1e9) / SecsPerDay;
  return Compose(d, tod);
}
}  // namespace

TDateTime UnixToLocalDateTime(int64_t unixSeconds) { return LocalFromTimespec(unixSeconds, 0); }

namespace {
constexpr uint32_t kAskEachTime = 0xFFFFFFFFu;
constexpr int64_t kDayBias = int64_t(1) << 30, kOffsetBias = int64_t(1) << 20;
int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The offset that turns every second of the UTC day into the system's local time, or
// kAskEachTime.
uint32_t DayOffset(int64_t day) {
  const int64_t first = day * 86400, last = first + 86399;
  struct tm atFirst, atLast;
  const time_t t0 = time_t(first), t1 = time_t(last);
  if (!localtime_r(&t0, &atFirst) || !localtime_r(&t1, &atLast)) return kAskEachTime;
  const int64_t offset = atFirst.tm_gmtoff;
  if (atLast.tm_gmtoff != offset || offset <= -kOffsetBias || offset >= kOffsetBias) return kAskEachTime;
  const auto same = [offset](int64_t at, const struct tm& local) {
    TDateTime d;
    return TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, d) &&
           Compose(d, double(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / SecsPerDay) ==
               UnixToDateTime(at + offset);
  };
  return same(first, atFirst) && same(last, atLast) ? uint32_t(offset + kOffsetBias) : kAskEachTime;
}
}  // namespace

TLocalTimes::TLocalTimes() : days_(new std::atomic<uint64_t>[kDays]()) {}

TDateTime TLocalTimes::FromUnix(int64_t unixSeconds) {
  const int64_t day = FloorDiv(unixSeconds, 86400);
  // Years 1 to 9999 only, where the system's way gives a date.
  if (day < -719162 || day > 2932896) return LocalFromTimespec(unixSeconds, 0);
  const uint64_t key = uint64_t(day + kDayBias);
  std::atomic<uint64_t>& slot = days_[size_t(key % kDays)];
  uint64_t entry = slot.load(std::memory_order_relaxed);
  if (entry >> 32 != key) {
    // Two threads may ask for one day at once; both find the same.
    entry = key << 32 | DayOffset(day);
    slot.store(entry, std::memory_order_relaxed);
  }
  const uint32_t offset = uint32_t(entry);
  if (offset == kAskEachTime) return LocalFromTimespec(unixSeconds, 0);
  const TDateTime local = UnixToDateTime(unixSeconds + (int64_t(offset) - kOffsetBias));
  return local >= -693593 && local < 2958466 ? local : LocalFromTimespec(unixSeconds, 0);
}

TDateTime rtl_internal::LocalDateTimeFromTimespec(int64_t sec, long nsec) { return LocalFromTimespec(sec, nsec); }

int64_t LocalDateTimeToUnix(TDateTime value) {
  Parts p = Decode(value);
  struct tm tmv = {};
  tmv.tm_year = p.year - 1900;
  tmv.tm_mon = p.month - 1;
  tmv.tm_mday = p.day;
  tmv.tm_hour = p.hour;
  tmv.tm_min = p.min;
  tmv.tm_sec = p.sec;
  tmv.tm_isdst = -1;
  return int64_t(mktime(&tmv));
}

TDateTime UnixToDateTime(int64_t unixSeconds) {
  int64_t days = unixSeconds >= 0 ? unixSeconds / 86400 : -((-unixSeconds + 86399) / 86400);
  int64_t secs = unixSeconds - days * 86400;
  return Compose(double(days + 25569), double(secs) / SecsPerDay);
}

int64_t DateTimeToUnix(TDateTime value) {
  int64_t day;
  int ms;
  Split(value, day, ms);
  return (day - 25569) * 86400 + ms / 1000;
}

TDateTime Now() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return LocalFromTimespec(ts.tv_sec, ts.tv_nsec);
}

TDateTime Date() { return std::trunc(Now()); }

TDateTime Time() {
  TDateTime n = Now();
  return n - std::trunc(n);
}

int32_t DateTimeToFileDate(TDateTime value) {
  Parts p = Decode(value);
  if (p.year < 1980 || p.year > 2107) return 0;
  uint32_t dosDate = uint32_t((p.year - 1980) << 9 | p.month << 5 | p.day);
  uint32_t dosTime = uint32_t(p.hour << 11 | p.min << 5 | p.sec / 2);
  return int32_t(dosDate << 16 | dosTime);
}

TDateTime FileDateToDateTime(int32_t fileDate) {
  uint32_t u = uint32_t(fileDate);
  uint32_t dosDate = u >> 16, dosTime = u & 0xFFFF;
  TDateTime d, t;
  if (!TryEncodeDate(int(dosDate >> 9) + 1980, int((dosDate >> 5) & 15), int(dosDate & 31), d) ||
      !TryEncodeTime(int(dosTime >> 11), int((dosTime >> 5) & 63), int(dosTime & 31) * 2, 0, t))
    throw EConvertError(_("Invalid argument to date encode"));
  return d + t;
}

// ---------------------------------------------------------------------------
// FormatDateTime
// ---------------------------------------------------------------------------
namespace {
// Appends v in decimal with at least width digits (leading zeros).
void AppendPadded(std::string& out, int v, int width) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
  const int length = int(end - digits);
  if (length < width) out.append(size_t(width - length), '0');
  out.append(digits, end);
}

char Up(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

bool StartsNoCase(const std::string& f, size_t i, const char* word) {
  for (size_t k = 0; word[k]; ++k)
    if (i + k >= f.size() || Up(f[i + k]) != Up(word[k])) return false;
  return true;
}

// Whether the format holds an AM/PM marker outside quotes (then hours count 1..12).
bool HasAmPm(const std::string& f) {
  char quote = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if ((c == 'a' || c == 'A') &&
               (StartsNoCase(f, i, "am/pm") || StartsNoCase(f, i, "a/p") || StartsNoCase(f, i, "ampm"))) {
      return true;
    }
  }
  return false;
}

void AppendFormatted(std::string& out, const std::string& f, const Parts& p, int msOfDay, const TFormatSettings& fs,
                     int depth) {
  if (depth > 2) return;
  const bool twelve = HasAmPm(f);
  bool afterHour = false;
  size_t i = 0;
  while (i < f.size()) {
    char c = f[i];
    char u = Up(c);
    size_t run = 1;
    while (i + run < f.size() && Up(f[i + run]) == u) ++run;
    switch (u) {
      case '"':
      case '\'': {
        size_t end = f.find(c, i + 1);
        if (end == std::string::npos) end = f.size();
        out.append(f, i + 1, end - i - 1);
        i = end + 1;
        continue;
      }
      case 'C':
        AppendFormatted(out, fs.ShortDateFormat, p, msOfDay, fs, depth + 1);
        if (msOfDay != 0) {
          out += ' ';
          AppendFormatted(out, fs.LongTimeFormat, p, msOfDay, fs, depth + 1);
        }
        i += 1;
        afterHour = false;
        continue;
      case 'D':
        if (run >= 6) {
          AppendFormatted(out, fs.LongDateFormat, p, msOfDay, fs, depth + 1);
          run = 6;
        } else if (run == 5) {
          AppendFormatted(out, fs.ShortDateFormat, p, msOfDay, fs, depth + 1);
        } else if (run == 4) {
          out += fs.LongDayNames[size_t(p.dow - 1)];
        } else if (run == 3) {
          out += fs.ShortDayNames[size_t(p.dow - 1)];
        } else {
          AppendPadded(out, p.day, int(run));
        }
        i += run;
        afterHour = false;
        continue;
      case 'M':
        if (afterHour && run <= 2) {
          AppendPadded(out, p.min, int(run));
        } else if (run >= 4) {
          out += fs.LongMonthNames[size_t(p.month - 1)];
          run = 4;
        } else if (run == 3) {
          out += fs.ShortMonthNames[size_t(p.month - 1)];
        } else {
          AppendPadded(out, p.month, int(run));
        }
        i += run;
        afterHour = false;
        continue;
      case 'Y':
        if (run <= 2) AppendPadded(out, p.year % 100, 2);
        else AppendPadded(out, p.year, 4);
        i += run;
        afterHour = false;
        continue;
      case 'H': {
        int h = p.hour;
        if (twelve) {
          h %= 12;
          if (h == 0) h = 12;
        }
        run = std::min<size_t>(run, 2);
        AppendPadded(out, h, int(run));
        i += run;
        afterHour = true;
        continue;
      }
      case 'N':
        run = std::min<size_t>(run, 2);
        AppendPadded(out, p.min, int(run));
        i += run;
        afterHour = false;
        continue;
      case 'S':
        run = std::min<size_t>(run, 2);
        AppendPadded(out, p.sec, int(run));
        i += run;
        afterHour = false;
        continue;
      case 'Z':
        if (run >= 3) {
          AppendPadded(out, p.msec, 3);
          run = 3;
        } else {
          out += std::to_string(p.msec);
          run = 1;
        }
        i += run;
        afterHour = false;
        continue;
      case 'T':
        run = std::min<size_t>(run, 2);
        AppendFormatted(out, run == 2 ? fs.LongTimeFormat : fs.ShortTimeFormat, p, msOfDay, fs, depth + 1);
        i += run;
        afterHour = false;
        continue;
      case 'A':
        if (StartsNoCase(f, i, "am/pm")) {
          std::string s = p.hour < 12 ? "am" : "pm";
          if (f[i] == 'A') s = UpperCase(s);
          out += s;
          i += 5;
        } else if (StartsNoCase(f, i, "a/p")) {
          std::string s = p.hour < 12 ? "a" : "p";
          if (f[i] == 'A') s = UpperCase(s);
          out += s;
          i += 3;
        } else if (StartsNoCase(f, i, "ampm")) {
          out += p.hour < 12 ? fs.TimeAMString : fs.TimePMString;
          i += 4;
        } else {
          out += c;
          i += 1;
        }
        afterHour = false;
        continue;
      case '/':
        out += fs.DateSeparator;
        i += 1;
        continue;
      case ':':
        out += fs.TimeSeparator;
        i += 1;
        continue;
      default:
        out += c;
        i += 1;
        continue;
    }
  }
}
}  // namespace

std::string FormatDateTime(const std::string& format, TDateTime value, const TFormatSettings& fs) {
  Parts p = Decode(value);
  int64_t day;
  int ms;
  Split(value, day, ms);
  static const std::string kDefault = "c";
  std::string out;
  out.reserve(format.size() + 16);
  AppendFormatted(out, format.empty() ? kDefault : format, p, ms, fs, 0);
  return out;
}

std::string FormatDateTime(const std::string& format, TDateTime value) {
  return FormatDateTime(format, value, FormatSettings);
}

std::string DateTimeToStr(TDateTime value) { return FormatDateTime("c", value); }
std::string DateToStr(TDateTime value) { return FormatDateTime(FormatSettings.ShortDateFormat, value); }
std::string TimeToStr(TDateTime value) { return FormatDateTime(FormatSettings.LongTimeFormat, value); }

// ---------------------------------------------------------------------------
// Parsing
// ---------------------------------------------------------------------------
namespace {
struct Scanner {
  const std::string& s;
  size_t i = 0;
  void Blanks() {
    while (i < s.size() && s[i] == ' ') ++i;
  }
  bool Number(int& v, int& digits) {
    Blanks();
    v = 0;
    digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && digits < 9) {
      v = v * 10 + (s[i] - '0');
      ++i;
      ++digits;
    }
    return digits > 0;
  }
  bool Char(char c) {
    Blanks();
    if (i < s.size() && s[i] == c) {
      ++i;
      return true;
    }
    return false;
  }
  bool AtEnd() {
    Blanks();
    return i >= s.size();
  }
};

// The order of day, month and year in the short date format: "DMY", "MDY" or "YMD".
std::string DateOrder(const std::string& f) {
  std::string order;
  for (char c : f) {
    char u = Up(c);
    if ((u == 'D' || u == 'M' || u == 'Y') && order.find(u) == std::string::npos) order += u;
  }
  if (order.size() != 3) order = "MDY";
  return order;
}

bool ScanDate(Scanner& sc, const TFormatSettings& fs, TDateTime& date) {
  int n[3] = {0, 0, 0}, dg[3] = {0, 0, 0};
  if (!sc.Number(n[0], dg[0])) return false;
  if (!sc.Char(fs.DateSeparator)) return false;
  if (!sc.Number(n[1], dg[1])) return false;
  int count = 2;
  size_t save = sc.i;
  if (sc.Char(fs.DateSeparator)) {
    if (sc.Number(n[2], dg[2])) count = 3;
    else sc.i = save;
  }
  std::string order = DateOrder(fs.ShortDateFormat);
  int y = 0, m = 0, d = 0, yDigits = 4;
  if (count == 3) {
    for (int k = 0; k < 3; ++k) {
      if (order[size_t(k)] == 'Y') {
        y = n[k];
        yDigits = dg[k];
      } else if (order[size_t(k)] == 'M') {
        m = n[k];
      } else {
        d = n[k];
      }
    }
  } else {
    // Two numbers: day and month in the format's order, this year.
    std::string dm;
    for (char c : order)
      if (c != 'Y') dm += c;
    if (dm[0] == 'M') {
      m = n[0];
      d = n[1];
    } else {
      d = n[0];
      m = n[1];
    }
    y = YearOf(Now());
  }
  if (count == 3 && yDigits <= 2) {
    // Two-digit years fall within the century window around this year.
    int now = YearOf(Now());
    int century = now - fs.TwoDigitYearCenturyWindow;
    y += century / 100 * 100;
    if (fs.TwoDigitYearCenturyWindow > 0 && y < century) y += 100;
  }
  return TryEncodeDate(y, m, d, date);
}

bool ScanTime(Scanner& sc, const TFormatSettings& fs, TDateTime& time) {
  int h, n = 0, s = 0, z = 0, dg;
  if (!sc.Number(h, dg)) return false;
  if (!sc.Char(fs.TimeSeparator)) return false;
  if (!sc.Number(n, dg)) return false;
  if (sc.Char(fs.TimeSeparator)) {
    if (!sc.Number(s, dg)) return false;
    if (sc.Char('.') || sc.Char(fs.DecimalSeparator)) {
      int zd;
      if (!sc.Number(z, zd)) return false;
      while (zd > 3) {
        z /= 10;
        --zd;
      }
      while (zd < 3) {
        z *= 10;
        ++zd;
      }
    }
  }
  sc.Blanks();
  auto matchWord = [&](const std::string& w) {
    if (w.empty() || sc.i + w.size() > sc.s.size()) return false;
    if (!SameText(sc.s.substr(sc.i, w.size()), w)) return false;
    sc.i += w.size();
    return true;
  };
  int ampm = 0;
  if (matchWord(fs.TimeAMString) || matchWord("AM") || matchWord("A")) ampm = 1;
  else if (matchWord(fs.TimePMString) || matchWord("PM") || matchWord("P")) ampm = 2;
  if (ampm) {
    if (h < 1 || h > 12) return false;
    if (ampm == 1 && h == 12) h = 0;
    if (ampm == 2 && h < 12) h += 12;
  }
  return TryEncodeTime(h, n, s, z, time);
}
}  // namespace

bool TryStrToDateTime(const std::string& s, TDateTime& value, const TFormatSettings& fs) {
  Scanner sc{s};
  TDateTime d = 0, t = 0;
  size_t save = sc.i;
  if (ScanDate(sc, fs, d)) {
    if (sc.AtEnd()) {
      value = d;
      return true;
    }
    if (ScanTime(sc, fs, t) && sc.AtEnd()) {
      value = Compose(d, t);
      return true;
    }
    return false;
  }
  sc.i = save;
  if (ScanTime(sc, fs, t) && sc.AtEnd()) {
    value = t;
    return true;
  }
  return false;
}

bool TryStrToDateTime(const std::string& s, TDateTime& value) { return TryStrToDateTime(s, value, FormatSettings); }

bool TryStrToDate(const std::string& s, TDateTime& value) {
  Scanner sc{s};
  TDateTime d;
  if (!ScanDate(sc, FormatSettings, d) || !sc.AtEnd()) return false;
  value = d;
  return true;
}

bool TryStrToTime(const std::string& s, TDateTime& value) {
  Scanner sc{s};
  TDateTime t;
  if (!ScanTime(sc, FormatSettings, t) || !sc.AtEnd()) return false;
  value = t;
  return true;
}

TDateTime StrToDate(const std::string& s) {
  TDateTime v;
  if (!TryStrToDate(s, v)) throw EConvertError(Format(_("'%s' is not a valid date"), {s}));
  return v;
}

TDateTime StrToTime(const std::string& s) {
  TDateTime v;
  if (!TryStrToTime(s, v)) throw EConvertError(Format(_("'%s' is not a valid time"), {s}));
  return v;
}

TDateTime StrToDateTime(const std::string& s) {
  TDateTime v;
  if (!TryStrToDateTime(s, v)) throw EConvertError(Format(_("'%s' is not a valid date and time"), {s}));
  return v;
}
