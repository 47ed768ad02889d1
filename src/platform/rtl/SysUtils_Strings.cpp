// Strings of the run-time library: case, comparison, positions, trimming,
// replacing, quoting, line breaks and the text encodings of outside data.
#include <QCollator>
#include <QLocale>
#include <QString>

#include <algorithm>
#include <cstring>

#include "platform/rtl/RtlInternal.h"
#include "platform/rtl/SysUtils.h"

namespace {
inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }
inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

bool IsAscii(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

QString ToQ(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
std::string FromQ(const QString& q) {
  QByteArray b = q.toUtf8();
  return std::string(b.constData(), size_t(b.size()));
}

int SignOf(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }
}  // namespace

void Abort() { throw EAbort("Operation aborted"); }

std::string UpperCase(const std::string& s) {
  std::string r(s);
  for (char& c : r) c = AsciiUpper(c);
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r(s);
  for (char& c : r) c = AsciiLower(c);
  return r;
}

std::string AnsiUpperCase(const std::string& s) {
  if (IsAscii(s) || !IsValidUtf8(s)) return UpperCase(s);
  return FromQ(ToQ(s).toUpper());
}

std::string AnsiLowerCase(const std::string& s) {
  if (IsAscii(s) || !IsValidUtf8(s)) return LowerCase(s);
  return FromQ(ToQ(s).toLower());
}

int CompareText(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(AsciiUpper(a[i]));
    unsigned char cb = static_cast<unsigned char>(AsciiUpper(b[i]));
    if (ca != cb) return int(ca) - int(cb);
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int CompareStr(const std::string& a, const std::string& b) { return SignOf(a.compare(b)); }
bool SameText(const std::string& a, const std::string& b) { return a.size() == b.size() && CompareText(a, b) == 0; }
bool SameStr(const std::string& a, const std::string& b) { return a == b; }

// Both sides upper-cased, then compared by code point: one order for every pair of
// strings, so sorted lists and their binary search agree.
int AnsiCompareText(const std::string& a, const std::string& b) {
  if (IsAscii(a) && IsAscii(b)) return SignOf(CompareText(a, b));
  return SignOf(AnsiUpperCase(a).compare(AnsiUpperCase(b)));
}

int AnsiCompareStr(const std::string& a, const std::string& b) {
  if (a == b) return 0;
  // The collation of the interface language (the default locale); one of code points (C)
  // gives way to English, as words are never sorted by their bytes' values.
  const QLocale wanted = QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale();
  thread_local QCollator collator(wanted);
  if (collator.locale() != wanted) collator = QCollator(wanted);
  // Strings that collate alike go by their bytes: only equal strings are equal.
  const int order = collator.compare(ToQ(a), ToQ(b));
  return order != 0 ? SignOf(order) : CompareStr(a, b);
}
bool AnsiSameText(const std::string& a, const std::string& b) { return AnsiCompareText(a, b) == 0; }

bool StartsText(const std::string& subText, const std::string& text) {
  return text.size() >= subText.size() && AnsiSameText(text.substr(0, subText.size()), subText);
}
bool EndsText(const std::string& subText, const std::string& text) {
  return text.size() >= subText.size() && AnsiSameText(text.substr(text.size() - subText.size()), subText);
}
bool StartsStr(const std::string& subText, const std::string& text) { return text.compare(0, subText.size(), subText) == 0; }
bool EndsStr(const std::string& subText, const std::string& text) {
  return text.size() >= subText.size() && text.compare(text.size() - subText.size(), subText.size(), subText) == 0;
}
bool ContainsText(const std::string& text, const std::string& subText) {
  return Pos(AnsiUpperCase(subText), AnsiUpperCase(text)) > 0;
}
bool ContainsStr(const std::string& text, const std::string& subText) { return Pos(subText, text) > 0; }

int Pos(const std::string& sub, const std::string& s) { return PosEx(sub, s, 1); }

int PosEx(const std::string& sub, const std::string& s, int offset) {
  if (sub.empty() || offset < 1 || size_t(offset) > s.size()) return 0;
  size_t p = s.find(sub, size_t(offset - 1));
  return p == std::string::npos ? 0 : int(p + 1);
}

int LastDelimiter(const std::string& delimiters, const std::string& s) {
  size_t p = s.find_last_of(delimiters);
  return p == std::string::npos ? 0 : int(p + 1);
}

std::string Copy(const std::string& s, int index, int count) {
  if (index < 1) index = 1;
  if (count <= 0 || size_t(index) > s.size()) return std::string();
  return s.substr(size_t(index - 1), size_t(count));
}

void Delete(std::string& s, int index, int count) {
  if (index < 1 || count <= 0 || size_t(index) > s.size()) return;
  s.erase(size_t(index - 1), size_t(count));
}

void Insert(const std::string& sub, std::string& s, int index) {
  if (index < 1) index = 1;
  if (size_t(index) > s.size() + 1) index = int(s.size() + 1);
  s.insert(size_t(index - 1), sub);
}

namespace {
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
}  // namespace

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string TrimLeft(const std::string& s) {
  size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return s.substr(b);
}

std::string TrimRight(const std::string& s) {
  size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return s.substr(0, e);
}

std::string StringReplace(const std::string& s, const std::string& oldPattern, const std::string& newPattern,
                          TReplaceFlags flags) {
  if (oldPattern.empty()) return s;
  bool all = (flags & rfReplaceAll) != 0;
  if ((flags & rfIgnoreCase) && !(IsAscii(s) && IsAscii(oldPattern)) && IsValidUtf8(s) && IsValidUtf8(oldPattern)) {
    // Letters beyond ASCII: search in UTF-16 where Qt knows every letter's case.
    QString hay = ToQ(s), needle = ToQ(oldPattern), repl = ToQ(newPattern), out;
    qsizetype from = 0;
    for (;;) {
      qsizetype p = hay.indexOf(needle, from, Qt::CaseInsensitive);
      if (p < 0) break;
      out += hay.mid(from, p - from);
      out += repl;
      from = p + needle.size();
      if (!all) break;
    }
    out += hay.mid(from);
    return FromQ(out);
  }
  std::string hay = s, needle = oldPattern;
  if (flags & rfIgnoreCase) {
    hay = UpperCase(s);
    needle = UpperCase(oldPattern);
  }
  std::string out;
  size_t from = 0;
  for (;;) {
    size_t p = hay.find(needle, from);
    if (p == std::string::npos) break;
    out.append(s, from, p - from);
    out += newPattern;
    from = p + needle.size();
    if (!all) break;
  }
  out.append(s, from, std::string::npos);
  return out;
}

std::string StringOfChar(char ch, int count) { return count > 0 ? std::string(size_t(count), ch) : std::string(); }

std::string DupeString(const std::string& s, int count) {
  std::string r;
  for (int i = 0; i < count; ++i) r += s;
  return r;
}

std::string QuotedStr(const std::string& s) { return AnsiQuotedStr(s, '\''); }

std::string AnsiQuotedStr(const std::string& s, char quote) {
  std::string r(1, quote);
  for (char c : s) {
    r += c;
    if (c == quote) r += quote;
  }
  r += quote;
  return r;
}

std::string AnsiDequotedStr(const std::string& s, char quote) {
  if (s.size() < 2 || s.front() != quote) return s;
  std::string r;
  size_t i = 1;
  for (; i < s.size(); ++i) {
    if (s[i] == quote) {
      if (i + 1 < s.size() && s[i + 1] == quote) {
        r += quote;
        ++i;
      } else {
        break;
      }
    } else {
      r += s[i];
    }
  }
  // Not closed, or text after the closing quote: not a quoted text.
  if (i != s.size() - 1) return s;
  return r;
}

std::string AdjustLineBreaks(const std::string& s, TTextLineBreakStyle style) {
  const char* lb = style == tlbsCRLF ? "\r\n" : "\n";
  std::string r;
  r.reserve(s.size() + s.size() / 16);
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\r') {
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
      r += lb;
    } else if (c == '\n') {
      r += lb;
    } else {
      r += c;
    }
  }
  return r;
}

bool IsValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size(), i = 0;
  while (i < n) {
    // Plain ASCII eight bytes at a time: lists and names are mostly that.
    while (i + 8 <= n) {
      uint64_t eight;
      std::memcpy(&eight, p + i, 8);
      if (eight & 0x8080808080808080ULL) break;
      i += 8;
    }
    if (i >= n) break;
    unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  // 0x80..0x9F of Windows-1252; the five unassigned bytes keep their C1 code points.
  static const uint16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string r;
  r.reserve(bytes.size() + bytes.size() / 4);
  for (char ch : bytes) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      r += ch;
      continue;
    }
    uint32_t cp = (c < 0xA0) ? kHigh[c - 0x80] : c;
    if (cp < 0x800) {
      r += char(0xC0 | (cp >> 6));
      r += char(0x80 | (cp & 0x3F));
    } else {
      r += char(0xE0 | (cp >> 12));
      r += char(0x80 | ((cp >> 6) & 0x3F));
      r += char(0x80 | (cp & 0x3F));
    }
  }
  return r;
}

std::string TextFromBytes(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return Windows1252ToUtf8(bytes);
}

std::vector<std::string> rtl_internal::SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t i = 0, n = text.size();
  while (i < n) {
    size_t j = text.find_first_of("\r\n", i);
    if (j == std::string::npos) {
      lines.push_back(text.substr(i));
      break;
    }
    lines.push_back(text.substr(i, j - i));
    i = j + 1;
    if (text[j] == '\r' && i < n && text[i] == '\n') ++i;
  }
  return lines;
}

namespace {
// A line that is itself a path of an older Windows version: a drive ("E:\" or, as the
// stand-alone lists keep it, ":\") or a network share ("\\server") at its start.
bool IsOldWindowsPath(std::string_view line) {
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  return (line.size() >= 3 && letter(line[0]) && line[1] == ':' && line[2] == '\\') ||
         (line.size() >= 2 && line[0] == ':' && line[1] == '\\') || line.substr(0, 2) == "\\\\";
}
}  // namespace

std::string rtl_internal::DecodeTextFile(std::string bytes) {
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  if (IsValidUtf8(bytes)) return bytes;
  // Names are bytes, and each line is decided alone: a line that is not UTF-8 (a Latin-1
  // name from an old card, a stored setting) keeps its bytes; only a line that is itself an
  // old Windows path (an older stand-alone list in the Windows code page) is read as
  // Windows-1252. No line changes because of another.
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 8);
  for (size_t i = 0; i < bytes.size();) {
    const size_t end = std::min(bytes.find_first_of("\r\n", i), bytes.size());
    const std::string_view line(bytes.data() + i, end - i);
    if (!IsValidUtf8(line) && IsOldWindowsPath(line))
      text += Windows1252ToUtf8(line);
    else
      text += line;
    if (end < bytes.size()) text += bytes[end];
    i = end + 1;
  }
  return text;
}

std::string_view TextLineAsRead(std::string_view line, std::string& scratch) {
  if (!IsOldWindowsPath(line) || IsValidUtf8(line)) return line;
  scratch = Windows1252ToUtf8(line);
  return scratch;
}

std::string DisplayTextOf(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  // Each sequence that is valid UTF-8 as it stands, each other byte as its Windows-1252 letter.
  std::string shown;
  shown.reserve(bytes.size() + bytes.size() / 2);
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    const size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (len > 0 && i + len <= bytes.size() && IsValidUtf8(bytes.substr(i, len))) {
      shown.append(bytes.substr(i, len));
      i += len;
    } else {
      shown += Windows1252ToUtf8(bytes.substr(i, 1));
      ++i;
    }
  }
  return shown;
}
