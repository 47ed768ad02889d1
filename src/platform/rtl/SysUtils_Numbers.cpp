// Numbers as text: integer and floating point conversions with the class library's
// meanings, the picture format of FormatFloat, and Format. Decimal and thousands
// separators come from the format settings; the C library's locale is never used.
#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

TFormatSettings FormatSettings;

TFormatSettings FormatSettingsForLanguage(const std::string& languageCode) {
  TFormatSettings fs;
  std::string lang = LowerCase(languageCode.substr(0, 2));
  if (lang == "nl") {
    fs.DecimalSeparator = ',';
    fs.ThousandSeparator = '.';
    fs.DateSeparator = '-';
    fs.TimeSeparator = ':';
    fs.ListSeparator = ';';
    fs.ShortDateFormat = "d-M-yyyy";
    fs.LongDateFormat = "dddd d mmmm yyyy";
    fs.ShortTimeFormat = "h:nn";
    fs.LongTimeFormat = "h:nn:ss";
    fs.TimeAMString = "";
    fs.TimePMString = "";
    fs.ShortMonthNames = {"jan", "feb", "mrt", "apr", "mei", "jun", "jul", "aug", "sep", "okt", "nov", "dec"};
    fs.LongMonthNames = {"januari", "februari", "maart",     "april",   "mei",      "juni",
                         "juli",    "augustus", "september", "oktober", "november", "december"};
    fs.ShortDayNames = {"zo", "ma", "di", "wo", "do", "vr", "za"};
    fs.LongDayNames = {"zondag", "maandag", "dinsdag", "woensdag", "donderdag", "vrijdag", "zaterdag"};
    fs.CurrencyString = "\xE2\x82\xAC";  // the euro sign
    fs.CurrencyFormat = 2;
    fs.NegCurrFormat = 12;
  }
  return fs;
}

void SetFormatSettingsForLanguage(const std::string& languageCode) {
  FormatSettings = FormatSettingsForLanguage(languageCode);
}

// ---------------------------------------------------------------------------
// Integers
// ---------------------------------------------------------------------------
std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string IntToHex(int64_t value, int digits) {
  uint64_t u = (value >= INT_MIN && value <= INT_MAX) ? uint64_t(uint32_t(int32_t(value))) : uint64_t(value);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(u));
  std::string s(buf);
  if (digits > 32) digits = 32;
  if (int(s.size()) < digits) s.insert(0, size_t(digits) - s.size(), '0');
  return s;
}

namespace {
// The class library's integer syntax: leading blanks, a sign, then decimal digits or
// hex after "$", "0x" or "0X" (or "x"); nothing may follow. bits is 32 or 64: hex may
// fill every bit (so "$FFFFFFFF" is -1 as a 32-bit value), decimal must fit the signed range.
bool ParseInteger(const std::string& s, int bits, int64_t& out) {
  size_t i = 0, n = s.size();
  while (i < n && s[i] == ' ') ++i;
  bool neg = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    neg = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i < n && (s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return false;
  uint64_t v = 0;
  const uint64_t limitHex = bits == 32 ? 0xFFFFFFFFull : ~0ull;
  const uint64_t limitDec = (bits == 32 ? uint64_t(INT32_MAX) : uint64_t(INT64_MAX)) + (neg ? 1 : 0);
  for (; i < n; ++i) {
    char c = s[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    if (hex) {
      if (v > (limitHex >> 4)) return false;
      v = (v << 4) | uint64_t(d);
    } else {
      if (v > (limitDec - uint64_t(d)) / 10) return false;
      v = v * 10 + uint64_t(d);
    }
  }
  int64_t r;
  if (hex) r = bits == 32 ? int64_t(int32_t(uint32_t(v))) : int64_t(v);
  else r = neg ? int64_t(0 - v) : int64_t(v);
  if (hex && neg) r = bits == 32 ? int64_t(int32_t(0u - uint32_t(r))) : int64_t(0 - uint64_t(r));
  out = r;
  return true;
}

[[noreturn]] void InvalidInteger(const std::string& s) {
  throw EConvertError(Format(_("'%s' is not a valid integer value"), {s}));
}
}  // namespace

bool TryStrToInt(const std::string& s, int& value) {
  int64_t v;
  if (!ParseInteger(s, 32, v)) return false;
  value = int(v);
  return true;
}

bool TryStrToInt64(const std::string& s, int64_t& value) { return ParseInteger(s, 64, value); }

int StrToInt(const std::string& s) {
  int v;
  if (!TryStrToInt(s, v)) InvalidInteger(s);
  return v;
}

int64_t StrToInt64(const std::string& s) {
  int64_t v;
  if (!TryStrToInt64(s, v)) InvalidInteger(s);
  return v;
}

int StrToIntDef(const std::string& s, int defaultValue) {
  int v;
  return TryStrToInt(s, v) ? v : defaultValue;
}

int64_t StrToInt64Def(const std::string& s, int64_t defaultValue) {
  int64_t v;
  return TryStrToInt64(s, v) ? v : defaultValue;
}

std::string BoolToStr(bool b, bool useBoolStrs) {
  if (useBoolStrs) return b ? "True" : "False";
  return b ? "-1" : "0";
}

bool TryStrToBool(const std::string& s, bool& value) {
  if (SameText(s, "True")) {
    value = true;
    return true;
  }
  if (SameText(s, "False")) {
    value = false;
    return true;
  }
  double d;
  if (TryStrToFloat(s, d)) {
    value = d != 0;
    return true;
  }
  return false;
}

bool StrToBool(const std::string& s) {
  bool b;
  if (!TryStrToBool(s, b)) throw EConvertError(Format(_("'%s' is not a valid boolean value"), {s}));
  return b;
}

bool StrToBoolDef(const std::string& s, bool defaultValue) {
  bool b;
  return TryStrToBool(s, b) ? b : defaultValue;
}

// ---------------------------------------------------------------------------
// Floating point from text
// ---------------------------------------------------------------------------
bool TryStrToFloat(const std::string& s, double& value, const TFormatSettings& fs) {
  // Blanks around the number; sign; digits with one decimal separator; optional exponent.
  size_t i = 0, n = s.size();
  while (i < n && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  while (n > i && static_cast<unsigned char>(s[n - 1]) <= ' ') --n;
  std::string c;
  c.reserve(n - i);
  if (i < n && (s[i] == '+' || s[i] == '-')) c += s[i++];
  bool digits = false, sep = false;
  for (; i < n; ++i) {
    char ch = s[i];
    if (ch >= '0' && ch <= '9') {
      c += ch;
      digits = true;
    } else if (ch == fs.DecimalSeparator && !sep) {
      c += '.';
      sep = true;
    } else {
      break;
    }
  }
  if (!digits) return false;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    c += 'e';
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) c += s[i++];
    bool expDigits = false;
    for (; i < n && s[i] >= '0' && s[i] <= '9'; ++i) {
      c += s[i];
      expDigits = true;
    }
    if (!expDigits) return false;
  }
  if (i != n) return false;
  const char* b = c.data();
  if (*b == '+') ++b;
  double v = 0;
  auto res = std::from_chars(b, c.data() + c.size(), v);
  if (res.ptr != c.data() + c.size()) return false;
  if (res.ec == std::errc::result_out_of_range) {
    // Too large is an error; too small is zero. strtod tells which (LC_NUMERIC is always "C").
    if (std::fabs(std::strtod(c.c_str(), nullptr)) > 1) return false;
    v = 0;
  } else if (res.ec != std::errc()) {
    return false;
  }
  if (!std::isfinite(v)) return false;
  value = v;
  return true;
}

bool TryStrToFloat(const std::string& s, double& value) { return TryStrToFloat(s, value, FormatSettings); }

double StrToFloat(const std::string& s, const TFormatSettings& fs) {
  double v;
  if (!TryStrToFloat(s, v, fs)) throw EConvertError(Format(_("'%s' is not a valid floating point value"), {s}));
  return v;
}

double StrToFloat(const std::string& s) { return StrToFloat(s, FormatSettings); }

double StrToFloatDef(const std::string& s, double defaultValue, const TFormatSettings& fs) {
  double v;
  return TryStrToFloat(s, v, fs) ? v : defaultValue;
}

double StrToFloatDef(const std::string& s, double defaultValue) { return StrToFloatDef(s, defaultValue, FormatSettings); }

// ---------------------------------------------------------------------------
// Floating point to text
// ---------------------------------------------------------------------------
namespace {
// A value as decimal digits: 0.d1d2d3... * 10^exponent. Empty digits mean zero.
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

// 18 significant digits, like the class library's extended-precision conversion; the
// rounding to the wanted digits is then done on these decimal digits, halves away from zero.
Decimal ToDecimal(double v) {
  Decimal d;
  d.negative = std::signbit(v);
  v = std::fabs(v);
  if (v == 0) return d;
  // "d.ddddddddddddddddde+XX", the digits exact and rounded as printf's "%.17e" gives them
  // (to_chars is several times faster).
  char buf[64];
  const auto written = std::to_chars(buf, buf + sizeof buf - 1, v, std::chars_format::scientific, 17);
  *written.ptr = '\0';
  const char* e = std::strchr(buf, 'e');
  d.digits += buf[0];
  for (const char* p = buf + 2; p < e; ++p) d.digits += *p;
  d.exponent = std::atoi(e + 1) + 1;
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

// Keeps at most precision significant digits and at most decimals digits after the point.
void RoundDecimal(Decimal& d, int precision, int decimals) {
  if (d.digits.empty()) return;
  long keep = precision;
  if (decimals != INT_MAX) keep = std::min<long>(keep, long(d.exponent) + decimals);
  if (keep >= long(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    d.exponent = 0;
    return;
  }
  bool up = d.digits[size_t(keep)] >= '5';
  d.digits.resize(size_t(keep));
  if (up) {
    long i = keep - 1;
    while (i >= 0 && d.digits[size_t(i)] == '9') {
      d.digits[size_t(i)] = '0';
      --i;
    }
    if (i < 0) {
      d.digits.insert(d.digits.begin(), '1');
      d.exponent++;
    } else {
      d.digits[size_t(i)]++;
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.exponent = 0;
}

char DigitAt(const Decimal& d, int i) { return (i >= 0 && i < int(d.digits.size())) ? d.digits[size_t(i)] : '0'; }

std::string Group(const std::string& intPart, char sep) {
  if (sep == 0 || intPart.size() <= 3) return intPart;
  std::string r;
  size_t n = intPart.size();
  for (size_t i = 0; i < n; ++i) {
    r += intPart[i];
    size_t left = n - 1 - i;
    if (left > 0 && left % 3 == 0) r += sep;
  }
  return r;
}

// Integer part and fraction (exactly decimals digits) of a rounded decimal.
void FixedParts(const Decimal& d, int decimals, std::string& intPart, std::string& frac) {
  intPart.clear();
  for (int i = 0; i < d.exponent; ++i) intPart += DigitAt(d, i);
  if (intPart.empty()) intPart = "0";
  frac.clear();
  for (int i = 0; i < decimals; ++i) frac += DigitAt(d, d.exponent + i);
}

std::string ExponentText(int exp, int minDigits, bool plusSign) {
  std::string r;
  if (exp < 0) r += '-';
  else if (plusSign) r += '+';
  std::string digits = std::to_string(exp < 0 ? -exp : exp);
  if (int(digits.size()) < minDigits) digits.insert(0, size_t(minDigits) - digits.size(), '0');
  return r + digits;
}

std::string SpecialValue(double v) {
  if (std::isnan(v)) return "NAN";
  return v < 0 ? "-INF" : "INF";
}

std::string FormatGeneral(Decimal d, int precision, int digits, char decSep) {
  RoundDecimal(d, precision, INT_MAX);
  if (d.digits.empty()) return "0";
  std::string r = d.negative ? "-" : "";
  if (d.exponent > precision || d.exponent < -3) {
    r += d.digits[0];
    if (d.digits.size() > 1) {
      r += decSep;
      r += d.digits.substr(1);
    }
    r += 'E';
    r += ExponentText(d.exponent - 1, digits, false);
    return r;
  }
  if (d.exponent <= 0) {
    r += '0';
    r += decSep;
    r.append(size_t(-d.exponent), '0');
    r += d.digits;
    return r;
  }
  for (int i = 0; i < d.exponent; ++i) r += DigitAt(d, i);
  if (int(d.digits.size()) > d.exponent) {
    r += decSep;
    r += d.digits.substr(size_t(d.exponent));
  }
  return r;
}

std::string FormatExponent(Decimal d, int precision, int digits) {
  RoundDecimal(d, precision, INT_MAX);
  std::string r = (d.negative && !d.digits.empty()) ? "-" : "";
  int exp = d.digits.empty() ? 0 : d.exponent - 1;
  r += DigitAt(d, 0);
  if (precision > 1) r += '.';  // replaced by the decimal separator by the caller
  for (int i = 1; i < precision; ++i) r += DigitAt(d, i);
  r += 'E';
  r += ExponentText(exp, digits, true);
  return r;
}

std::string CurrencyText(const std::string& number, bool negative, const TFormatSettings& fs) {
  const std::string& c = fs.CurrencyString;
  if (!negative) {
    switch (fs.CurrencyFormat) {
      case 1: return number + c;
      case 2: return c + " " + number;
      case 3: return number + " " + c;
      default: return c + number;
    }
  }
  switch (fs.NegCurrFormat) {
    case 1: return "-" + c + number;
    case 2: return c + "-" + number;
    case 3: return c + number + "-";
    case 4: return "(" + number + c + ")";
    case 5: return "-" + number + c;
    case 6: return number + "-" + c;
    case 7: return number + c + "-";
    case 8: return "-" + number + " " + c;
    case 9: return "-" + c + " " + number;
    case 10: return number + " " + c + "-";
    case 11: return c + " " + number + "-";
    case 12: return c + " -" + number;
    case 13: return number + "- " + c;
    case 14: return "(" + c + " " + number + ")";
    case 15: return "(" + number + " " + c + ")";
    default: return "(" + c + number + ")";
  }
}
}  // namespace

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits, const TFormatSettings& fs) {
  if (!std::isfinite(value)) return SpecialValue(value);
  if (precision < 1) precision = 1;
  if (precision > 18) precision = 18;
  Decimal d = ToDecimal(value);
  switch (format) {
    case ffGeneral:
      return FormatGeneral(d, precision, std::clamp(digits, 0, 4), fs.DecimalSeparator);
    case ffExponent: {
      std::string r = FormatExponent(d, precision, std::clamp(digits, 0, 4));
      size_t dot = r.find('.');
      if (dot != std::string::npos) r[dot] = fs.DecimalSeparator;
      return r;
    }
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
      digits = std::clamp(digits, 0, 18);
      Decimal p = d;
      RoundDecimal(p, precision, INT_MAX);
      if (p.exponent > precision) return FormatGeneral(d, precision, 0, fs.DecimalSeparator);
      RoundDecimal(d, precision, digits);
      std::string intPart, frac;
      FixedParts(d, digits, intPart, frac);
      if (format != ffFixed) intPart = Group(intPart, fs.ThousandSeparator);
      std::string number = intPart;
      if (digits > 0) {
        number += fs.DecimalSeparator;
        number += frac;
      }
      bool negative = d.negative && !d.digits.empty();
      if (format == ffCurrency) return CurrencyText(number, negative, fs);
      return negative ? "-" + number : number;
    }
  }
  return std::string();
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
  return FloatToStrF(value, format, precision, digits, FormatSettings);
}

std::string FloatToStr(double value, const TFormatSettings& fs) { return FloatToStrF(value, ffGeneral, 15, 0, fs); }
std::string FloatToStr(double value) { return FloatToStr(value, FormatSettings); }

// ---------------------------------------------------------------------------
// FormatFloat: the picture format
// ---------------------------------------------------------------------------
namespace {
// Splits the format into its sections at ';' outside quoted text.
std::vector<std::string> Sections(const std::string& format) {
  std::vector<std::string> out(1);
  char quote = 0;
  for (char c : format) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      out.emplace_back();
      continue;
    }
    out.back() += c;
  }
  return out;
}

struct Picture {
  int intPlaceholders = 0;  // '0' and '#' before the decimal point
  int minInt = 0;           // placeholders from the first integer '0' to the point
  int decPlaceholders = 0;  // '0' and '#' after the point
  int minDec = 0;           // up to the last '0' after the point
  bool hasPoint = false;
  bool thousands = false;
  bool scientific = false;
  bool anyPlaceholder = false;
};

Picture Analyse(const std::string& sec) {
  Picture p;
  char quote = 0;
  bool afterPoint = false;
  int firstZeroInt = -1;
  for (size_t i = 0; i < sec.size(); ++i) {
    char c = sec[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '0' || c == '#') {
      p.anyPlaceholder = true;
      if (afterPoint) {
        p.decPlaceholders++;
        if (c == '0') p.minDec = p.decPlaceholders;
      } else {
        if (c == '0' && firstZeroInt < 0) firstZeroInt = p.intPlaceholders;
        p.intPlaceholders++;
      }
    } else if (c == '.') {
      if (!afterPoint) {
        afterPoint = true;
        p.hasPoint = true;
      }
    } else if (c == ',') {
      p.thousands = true;
    } else if ((c == 'E' || c == 'e') && i + 1 < sec.size() && (sec[i + 1] == '+' || sec[i + 1] == '-')) {
      p.scientific = true;
      break;
    }
  }
  if (firstZeroInt >= 0) p.minInt = p.intPlaceholders - firstZeroInt;
  return p;
}

std::string ApplyPicture(const std::string& sec, double value, bool withSign, const TFormatSettings& fs) {
  Picture p = Analyse(sec);
  Decimal d = ToDecimal(value);
  d.negative = false;
  std::string intDigits, fracDigits, expText;
  if (p.scientific) {
    int intCount = std::max(p.intPlaceholders, 1);
    RoundDecimal(d, std::min(18, intCount + p.decPlaceholders), INT_MAX);
    int exp = d.digits.empty() ? 0 : d.exponent - intCount;
    for (int i = 0; i < intCount; ++i) intDigits += DigitAt(d, i);
    for (int i = 0; i < p.decPlaceholders; ++i) fracDigits += DigitAt(d, intCount + i);
    size_t s = intDigits.find_first_not_of('0');
    intDigits = s == std::string::npos ? std::string() : intDigits.substr(s);
    expText = std::to_string(exp < 0 ? -exp : exp);
    // The exponent's sign is handled while writing.
    if (exp < 0) expText.insert(0, 1, '-');
  } else {
    RoundDecimal(d, 18, p.decPlaceholders);
    for (int i = 0; i < d.exponent; ++i) intDigits += DigitAt(d, i);
    for (int i = 0; i < p.decPlaceholders; ++i) fracDigits += DigitAt(d, d.exponent + i);
  }
  if (int(intDigits.size()) < p.minInt) intDigits.insert(0, size_t(p.minInt) - intDigits.size(), '0');
  while (int(fracDigits.size()) > p.minDec && fracDigits.back() == '0') fracDigits.pop_back();

  std::string out = withSign ? "-" : "";
  char quote = 0;
  bool afterPoint = false;
  int intSeen = 0, fracSeen = 0;
  const int intLen = int(intDigits.size());
  auto emitIntDigit = [&](int idx) {
    out += intDigits[size_t(idx)];
    int right = intLen - 1 - idx;
    if (p.thousands && right > 0 && right % 3 == 0 && fs.ThousandSeparator) out += fs.ThousandSeparator;
  };
  for (size_t i = 0; i < sec.size(); ++i) {
    char c = sec[i];
    if (quote) {
      if (c == quote) quote = 0;
      else out += c;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '0' || c == '#') {
      if (!afterPoint) {
        // Placeholder k of N stands for the digit N-1-k places left of the point;
        // the first one also writes every digit that has no placeholder of its own.
        int k = intSeen++;
        int posFromRight = p.intPlaceholders - 1 - k;
        if (k == 0) {
          for (int idx = 0; idx < intLen - p.intPlaceholders; ++idx) emitIntDigit(idx);
        }
        int idx = intLen - 1 - posFromRight;
        if (idx >= 0) emitIntDigit(idx);
      } else {
        if (fracSeen < int(fracDigits.size())) out += fracDigits[size_t(fracSeen)];
        fracSeen++;
      }
    } else if (c == '.') {
      if (!afterPoint) {
        afterPoint = true;
        if (intSeen == 0 && p.intPlaceholders == 0) {
          for (int idx = 0; idx < intLen; ++idx) emitIntDigit(idx);
        }
        if (!fracDigits.empty()) out += fs.DecimalSeparator;
      }
    } else if (c == ',') {
      // Grouping is decided for the whole number.
    } else if (p.scientific && (c == 'E' || c == 'e') && i + 1 < sec.size() && (sec[i + 1] == '+' || sec[i + 1] == '-')) {
      bool plus = sec[i + 1] == '+';
      i += 2;
      int minDigits = 0;
      while (i < sec.size() && sec[i] == '0') {
        ++minDigits;
        ++i;
      }
      --i;
      bool negExp = !expText.empty() && expText[0] == '-';
      std::string digits = negExp ? expText.substr(1) : expText;
      if (int(digits.size()) < std::min(minDigits, 4)) digits.insert(0, size_t(std::min(minDigits, 4)) - digits.size(), '0');
      out += c;
      if (negExp) out += '-';
      else if (plus) out += '+';
      out += digits;
    } else {
      out += c;
    }
  }
  return out;
}
}  // namespace

std::string FormatFloat(const std::string& format, double value, const TFormatSettings& fs) {
  if (!std::isfinite(value)) return SpecialValue(value);
  if (format.empty()) return FloatToStr(value, fs);
  std::vector<std::string> secs = Sections(format);
  auto usable = [&](size_t i) { return i < secs.size() && !secs[i].empty(); };
  // Which section: the rounded value decides whether the zero section applies.
  const std::string& positive = secs[0];
  bool negative = value < 0;
  size_t which = (negative && usable(1)) ? 1 : 0;
  Picture p = Analyse(secs[which]);
  Decimal d = ToDecimal(value);
  if (p.scientific) RoundDecimal(d, std::min(18, std::max(p.intPlaceholders, 1) + p.decPlaceholders), INT_MAX);
  else RoundDecimal(d, 18, p.decPlaceholders);
  if (d.digits.empty()) {
    if (usable(2)) return ApplyPicture(secs[2], 0.0, false, fs);
    return ApplyPicture(positive, 0.0, false, fs);
  }
  if (which == 1) return ApplyPicture(secs[1], std::fabs(value), false, fs);
  return ApplyPicture(positive, std::fabs(value), negative, fs);
}

std::string FormatFloat(const std::string& format, double value) { return FormatFloat(format, value, FormatSettings); }

// ---------------------------------------------------------------------------
// Format
// ---------------------------------------------------------------------------
namespace {
[[noreturn]] void InvalidFormat(const std::string& fmt) {
  throw EConvertError(Format(_("Format '%s' invalid or incompatible with argument"), {fmt}));
}

size_t Utf8Count(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

// The first count characters (code points) of s.
std::string Utf8Prefix(const std::string& s, size_t count) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (n == count) return s.substr(0, i);
      ++n;
    }
  }
  return s;
}
}  // namespace

std::string Format(const std::string& fmt, const std::vector<TVarRec>& args, const TFormatSettings& fs) {
  std::string out;
  out.reserve(fmt.size() + 16);
  size_t argIndex = 0;
  size_t i = 0, n = fmt.size();
  auto nextArg = [&]() -> const TVarRec& {
    if (argIndex >= args.size()) throw EConvertError(Format(_("No argument for format '%s'"), {fmt}));
    return args[argIndex++];
  };
  auto intArg = [&]() -> int64_t {
    const TVarRec& a = nextArg();
    if (a.Kind != TVarRec::vtInteger && a.Kind != TVarRec::vtInt64) InvalidFormat(fmt);
    return a.I;
  };
  while (i < n) {
    char c = fmt[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    ++i;
    if (i >= n) InvalidFormat(fmt);
    if (fmt[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    // [index:] [-] [width] [.precision] type
    auto readNumber = [&](int& value) -> bool {
      if (i < n && fmt[i] == '*') {
        ++i;
        int64_t v = intArg();
        value = int(std::clamp<int64_t>(v, -1000000, 1000000));
        return true;
      }
      bool any = false;
      int64_t v = 0;
      while (i < n && fmt[i] >= '0' && fmt[i] <= '9') {
        v = std::min<int64_t>(v * 10 + (fmt[i] - '0'), 1000000);
        ++i;
        any = true;
      }
      value = int(v);
      return any;
    };
    // An argument index: digits followed by ':'.
    size_t digitsEnd = i;
    while (digitsEnd < n && fmt[digitsEnd] >= '0' && fmt[digitsEnd] <= '9') ++digitsEnd;
    if (digitsEnd > i && digitsEnd < n && fmt[digitsEnd] == ':') {
      int index = 0;
      readNumber(index);
      argIndex = size_t(index);
      ++i;
    }
    bool left = false;
    if (i < n && fmt[i] == '-') {
      left = true;
      ++i;
    }
    int width = 0, precision = -1;
    readNumber(width);
    if (width < 0) {
      left = true;
      width = -width;
    }
    if (i < n && fmt[i] == '.') {
      ++i;
      int p = 0;
      readNumber(p);
      precision = p < 0 ? -1 : p;
    }
    if (i >= n) InvalidFormat(fmt);
    char type = char(fmt[i] | 0x20);  // lower case
    char typeAsWritten = fmt[i];
    ++i;
    std::string text;
    switch (type) {
      case 'd':
      case 'u':
      case 'x': {
        const TVarRec& a = nextArg();
        if (a.Kind != TVarRec::vtInteger && a.Kind != TVarRec::vtInt64) InvalidFormat(fmt);
        bool neg = false;
        std::string digits;
        if (type == 'd') {
          neg = a.I < 0;
          uint64_t mag = neg ? uint64_t(0) - uint64_t(a.I) : uint64_t(a.I);
          digits = std::to_string(mag);
        } else {
          uint64_t u = a.Kind == TVarRec::vtInteger ? uint64_t(uint32_t(int32_t(a.I))) : uint64_t(a.I);
          if (type == 'u') {
            digits = std::to_string(u);
          } else {
            char buf[32];
            std::snprintf(buf, sizeof buf, typeAsWritten == 'X' ? "%llX" : "%llx", static_cast<unsigned long long>(u));
            digits = buf;
            // The class library always writes hex digits in upper case.
            digits = UpperCase(digits);
          }
        }
        if (precision > int(digits.size())) digits.insert(0, size_t(precision) - digits.size(), '0');
        text = neg ? "-" + digits : digits;
        break;
      }
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm': {
        const TVarRec& a = nextArg();
        if (a.Kind != TVarRec::vtExtended) InvalidFormat(fmt);
        switch (type) {
          case 'e': text = FloatToStrF(a.F, ffExponent, precision < 0 ? 15 : std::max(precision, 1), 3, fs); break;
          case 'g': text = FloatToStrF(a.F, ffGeneral, precision < 0 ? 15 : std::max(precision, 1), 3, fs); break;
          case 'f': text = FloatToStrF(a.F, ffFixed, 18, precision < 0 ? 2 : precision, fs); break;
          case 'n': text = FloatToStrF(a.F, ffNumber, 18, precision < 0 ? 2 : precision, fs); break;
          default: text = FloatToStrF(a.F, ffCurrency, 18, precision < 0 ? fs.CurrencyDecimals : precision, fs); break;
        }
        break;
      }
      case 's': {
        const TVarRec& a = nextArg();
        if (a.Kind == TVarRec::vtString) text = a.S;
        else if (a.Kind == TVarRec::vtChar) text = std::string(1, char(a.I));
        else InvalidFormat(fmt);
        if (precision >= 0) text = Utf8Prefix(text, size_t(precision));
        break;
      }
      case 'p': {
        const TVarRec& a = nextArg();
        if (a.Kind != TVarRec::vtPointer) InvalidFormat(fmt);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(a.P)));
        text = buf;
        break;
      }
      default:
        InvalidFormat(fmt);
    }
    size_t len = Utf8Count(text);
    if (int(len) < width) {
      std::string pad(size_t(width) - len, ' ');
      text = left ? text + pad : pad + text;
    }
    out += text;
  }
  return out;
}

std::string Format(const std::string& fmt, const std::vector<TVarRec>& args) { return Format(fmt, args, FormatSettings); }

std::string Format(const std::string& fmt, std::initializer_list<TVarRec> args) {
  return Format(fmt, std::vector<TVarRec>(args), FormatSettings);
}

std::string ByteSizeText(int64_t byteCount) {
  static const char* const units[] = {" Bytes", " KB", " MB", " GB"};
  // Divide while the next unit still has a whole number; GB is the largest unit, so a count
  // of terabytes stays in GB (5 TB gives 5,120.00 GB, never 5.00 GB).
  int unit = 0;
  double value = double(byteCount);
  while (unit < 3 && std::trunc(value / 1024) != 0) {
    value /= 1024;
    ++unit;
  }
  return Format("%n", {value}) + units[unit];
}
