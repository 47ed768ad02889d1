// Value texts of the tags: the bounded byte reads, the numeric value of an entry,
// the formatted text with code lists and format strings, and the tag callbacks.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "metadata/ExifData.h"
#include "metadata/ExifData_Internal.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr size_t kMaxElements = 128;
constexpr size_t kPrintableLength = 50;

// The pieces of a text split at a separator.
std::vector<std::string> Split(const std::string& text, const std::string& sep) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (;;) {
    size_t at = text.find(sep, from);
    if (at == std::string::npos) {
      parts.push_back(text.substr(from));
      return parts;
    }
    parts.push_back(text.substr(from, at - from));
    from = at + sep.size();
  }
}

// The first three rationals of a list ("a/b, c/d, e/f"); missing ones are 0.
std::array<double, 3> ThreeFractions(const std::string& valueText) {
  std::vector<std::string> pieces = Split(valueText, ", ");
  std::array<double, 3> v{};
  for (size_t i = 0; i < 3 && i < pieces.size(); ++i) v[i] = FractionValue(pieces[i]);
  return v;
}

}  // namespace

int TypeElementSize(int type) {
  // Type 13 (IFD) is a LONG that points at a directory: libtiff writes the Exif
  // and GPS pointers so when it rewrites a directory.
  static const int kSizes[14] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return type >= 1 && type <= 13 ? kSizes[type] : 0;
}

// ---------------------------------------------------------------------------
// Bounded reads
// ---------------------------------------------------------------------------

int64_t TByteSource::Size() const { return Pages ? Pages->Size() : int64_t(Buffer.size()); }

uint32_t TByteSource::Byte(int64_t p) const {
  if (Pages) return Pages->Byte(p);
  return p >= 1 && p <= int64_t(Buffer.size()) ? static_cast<unsigned char>(Buffer[size_t(p - 1)]) : 0;
}

std::string TByteSource::Read(int64_t p, int64_t count) const {
  if (Pages) return Pages->Read(p, count);
  const int64_t size = int64_t(Buffer.size());
  if (count <= 0 || p < 1 || p > size) return std::string();
  return std::string(Buffer.substr(size_t(p - 1), size_t(std::min(count, size - p + 1))));
}

uint32_t tEndInd::ByteAt(int64_t p) const { return Source.Byte(p); }

uint32_t tEndInd::Get16(int64_t p) const {
  const uint32_t a = ByteAt(p), b = ByteAt(p + 1);
  return MotorolaOrder ? (a << 8) | b : (b << 8) | a;
}

int32_t tEndInd::Get32(int64_t p) const {
  const uint32_t b0 = ByteAt(p), b1 = ByteAt(p + 1), b2 = ByteAt(p + 2), b3 = ByteAt(p + 3);
  const uint32_t v = MotorolaOrder ? (b0 << 24) | (b1 << 16) | (b2 << 8) | b3 : (b3 << 24) | (b2 << 16) | (b1 << 8) | b0;
  return static_cast<int32_t>(v);
}

uint32_t tEndInd::IntegerOfBytes(std::string_view bytes) const {
  // Only the low 32 bits survive: the last four bytes in Motorola order, the
  // first four in Intel order.
  uint32_t v = 0;
  if (MotorolaOrder) {
    size_t from = bytes.size() > 4 ? bytes.size() - 4 : 0;
    for (size_t i = from; i < bytes.size(); ++i) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
  } else {
    size_t n = bytes.size() < 4 ? bytes.size() : 4;
    for (size_t i = n; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
  }
  return v;
}

double tEndInd::NumericValue(std::string_view raw, int type) const {
  // The first value of the entry; signed types keep their sign. A one-byte
  // UNDEFINED value (FileSource, SceneType) is the number it holds.
  if (type == 7 && raw.size() == 1) return double(static_cast<unsigned char>(raw[0]));
  const size_t size = size_t(TypeElementSize(type));
  if (size == 0 || raw.size() < size) return 0;
  const std::string_view first = raw.substr(0, size);
  switch (type) {
    case 1: case 3: case 4: case 13:
      return double(IntegerOfBytes(first));
    case 6: return double(static_cast<int8_t>(IntegerOfBytes(first)));
    case 8: return double(static_cast<int16_t>(IntegerOfBytes(first)));
    case 9: return double(static_cast<int32_t>(IntegerOfBytes(first)));
    case 5: case 10: {
      const uint32_t num = IntegerOfBytes(first.substr(0, 4)), den = IntegerOfBytes(first.substr(4, 4));
      if (den == 0) return 0.0;  // x/0 gives 0
      if (type == 10) return double(static_cast<int32_t>(num)) / double(static_cast<int32_t>(den));
      return double(num) / double(den);
    }
    case 11: {
      uint32_t bits = IntegerOfBytes(first);
      float f;
      std::memcpy(&f, &bits, 4);
      return std::isfinite(f) ? double(f) : 0.0;
    }
    case 12: {
      uint64_t hi = IntegerOfBytes(MotorolaOrder ? first.substr(0, 4) : first.substr(4, 4));
      uint64_t lo = IntegerOfBytes(MotorolaOrder ? first.substr(4, 4) : first.substr(0, 4));
      uint64_t bits = (hi << 32) | lo;
      double d;
      std::memcpy(&d, &bits, 8);
      return std::isfinite(d) ? d : 0.0;
    }
    default:
      return 0;
  }
}

std::string tEndInd::FormatValue(std::string_view raw, int type, const std::string& code,
                                 const std::string& formatS, bool translateCodes) const {
  const int size = TypeElementSize(type);
  if (size == 0) return "0";
  size_t n = raw.size() / size_t(size);
  if (n > kMaxElements) n = kMaxElements;
  std::string text;
  for (size_t i = 0; i < n; ++i) {
    std::string_view element = raw.substr(i * size_t(size), size_t(size));
    std::string piece;
    switch (type) {
      case 1: case 3: case 4: case 6: case 8: case 9: case 13: {
        std::string number = std::to_string(static_cast<int32_t>(IntegerOfBytes(element)));
        piece = code.empty() ? number : translateCodes ? CodeText(code, number) : CodeTextAsIs(code, number);
        break;
      }
      case 5: case 10:
        piece = TimgData::RatioText(static_cast<int32_t>(IntegerOfBytes(element.substr(0, 4))),
                                    static_cast<int32_t>(IntegerOfBytes(element.substr(4, 4))));
        break;
      case 11: case 12:
        piece = "-9999.99";
        break;
      default:
        piece = "?";
        break;
    }
    if (!text.empty()) text += ", ";
    text += piece;
  }
  if (formatS.empty()) return text;
  size_t s = formatS.find("%s");
  if (s != std::string::npos) return Format(formatS, {text});
  return Format(formatS, {NumericValue(raw, type)});
}

std::string CodeTextAsIs(const std::string& code, const std::string& valueText) {
  // The first item "value:text" of the comma-separated list.
  const std::string key = Trim(valueText) + ":";
  for (size_t at = code.find(key); at != std::string::npos; at = code.find(key, at + 1))
    if (at == 0 || code[at - 1] == ',') {
      const size_t from = at + key.size(), end = code.find(',', from);
      return code.substr(from, end == std::string::npos ? std::string::npos : end - from);
    }
  return std::string();
}

std::string CodeText(const std::string& code, const std::string& valueText) {
  const std::string item = CodeTextAsIs(code, valueText);
  return item.empty() ? item : _(item);
}

std::string UndefinedByteText(const tEndInd& reader, std::string_view raw, const std::string& code,
                              bool translateCodes) {
  return reader.FormatValue(raw.substr(0, 1), 1, code, std::string(), translateCodes);
}

std::string MakerNoteValueText(const tEndInd& reader, std::string_view raw, int type, const std::string& code) {
  if (type == 2) return "\"" + std::string(raw.substr(0, raw.find('\0'))) + "\"";
  if (type == 7) {
    if (raw.size() == 1) return UndefinedByteText(reader, raw, code, false);
    return "\"" + std::string(raw) + "\"";
  }
  return reader.FormatValue(raw, type, code, std::string(), false);
}

double FractionValue(const std::string& input) {
  std::string text = Trim(input);
  int64_t whole = 0;
  size_t blank = text.find(' ');
  if (blank != std::string::npos) {
    int32_t w;
    if (!ParseInt32(text.substr(0, blank), w)) return 0;
    whole = w;
    text = text.substr(blank + 1);
  }
  size_t slash = text.find('/');
  if (slash == std::string::npos) return 0;
  int32_t num, den;
  if (!ParseInt32(text.substr(0, slash), num) || !ParseInt32(text.substr(slash + 1), den) || den == 0) return 0;
  return (double(whole) * den + num) / den;
}

std::string PrintableText(const std::string& text) {
  // A text in UTF-8 is cut after 50 characters, any other after 50 bytes.
  size_t cut = text.size();
  if (IsValidUtf8(text)) {
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
      if (chars == kPrintableLength) {
        cut = i;
        break;
      }
      ++chars;
    }
  } else if (cut > kPrintableLength) {
    cut = kPrintableLength;
  }
  std::string out = text.substr(0, cut);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 32) c = '.';
  return out;
}

std::string CharacterCodedText(std::string_view raw, bool motorola) {
  if (raw.size() <= 8) return std::string();
  const std::string_view prefix = raw.substr(0, 8), text = raw.substr(8);
  if (prefix != std::string_view("UNICODE\0", 8)) return std::string(text);
  // UCS-2 (surrogate pairs taken as UTF-16), up to a zero character.
  auto unit = [&](size_t i) -> uint32_t {
    const uint32_t a = static_cast<unsigned char>(text[i]), b = static_cast<unsigned char>(text[i + 1]);
    return motorola ? (a << 8) | b : (b << 8) | a;
  };
  std::string out;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    uint32_t c = unit(i);
    if (c == 0) break;
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < text.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      out += {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
    } else {
      out += {char(0xF0 | (c >> 18)), char(0x80 | ((c >> 12) & 0x3F)), char(0x80 | ((c >> 6) & 0x3F)),
              char(0x80 | (c & 0x3F))};
    }
  }
  return out;
}

std::string TimgData::IntText(int32_t value) { return std::to_string(value); }

std::string TimgData::RatioText(int32_t numerator, int32_t denominator) {
  return std::to_string(numerator) + "/" + std::to_string(denominator);
}

// ---------------------------------------------------------------------------
// Tag callbacks
// ---------------------------------------------------------------------------

std::string ComponentsConfigurationText(const std::string& valueText) {
  static const char* const kNames[7] = {"", "Y", "Cb", "Cr", "R", "G", "B"};
  std::string out;
  // Characters 2 to 5: the four component bytes after the opening quote.
  for (size_t i = 1; i <= 4 && i < valueText.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(valueText[i]);
    if (c >= 1 && c <= 6) out += kNames[c];
  }
  return out;
}

std::string ShutterSpeedText(const std::string& valueText) {
  double x = FractionValue(valueText);
  double t = std::exp2(-x);  // exposure time in seconds
  if (!std::isfinite(t)) t = 0;
  std::string out = Format("%4.4f", {t}) + " " + _("sec");
  if (t > 0 && t <= 0.5) {
    double q = std::nearbyint(1.0 / t);
    if (q <= double(std::numeric_limits<int32_t>::max()))
      out += " (1/" + std::to_string(static_cast<int32_t>(q)) + ")";
  }
  return out;
}

// ApertureValue and MaxApertureValue hold the aperture as an APEX value A; the
// f-number it stands for is 2^(A/2), shown as FNumber is. A value that is no
// number (a zero denominator, several values) stays as it is.
std::string ApexApertureText(const std::string& valueText) {
  const std::string text = Trim(valueText);
  const size_t slash = text.find('/');
  int32_t num, den;
  if (slash == std::string::npos || !ParseInt32(text.substr(0, slash), num) ||
      !ParseInt32(text.substr(slash + 1), den) || den == 0)
    return valueText;
  const double f = std::exp2(double(num) / den / 2);
  return std::isfinite(f) ? Format("F%0.1f", {f}) : valueText;
}

std::string FlashText(const std::string& valueText) {
  int32_t v = 0;
  if (!ParseInt32(valueText, v)) v = 0;
  std::string out = (v & 1) ? _("On") : _("Off");
  switch (v & 6) {
    case 2: out += ", " + _("UNKNOWN"); break;
    case 4: out += ", " + _("no strobe return"); break;
    case 6: out += ", " + _("strobe return"); break;
  }
  switch (v & 24) {
    case 8: out += ", " + _("forced"); break;
    case 16: out += ", " + _("surpressed"); break;
    case 24: out += ", " + _("auto mode"); break;
  }
  if (v & 32) out += ", " + _("no flash function");
  if (v & 64) out += ", " + _("red-eye reduction");
  return out;
}

std::string UserCommentText(const std::string& valueText) {
  return valueText.size() > 8 ? valueText.substr(8) : std::string();
}

std::string WindowsXpText(const std::string& valueText) {
  // The BYTE list holds UCS-2 little-endian characters: every odd piece is a low
  // byte. The piece after the last comma is not used.
  std::vector<std::string> pieces = Split(valueText, ",");
  std::string out;
  for (size_t i = 0; i + 1 < pieces.size(); i += 2) {
    int32_t v;
    if (!ParseInt32(pieces[i], v)) continue;
    if ((v & 0xFF) != 0) out += static_cast<char>(v & 0xFF);
  }
  return out;
}

std::string GpsDegreesText(const std::string& valueText) {
  auto [d, m, s] = ThreeFractions(valueText);
  if (s == 0) {
    // Minutes with a fraction are turned into seconds.
    s = (m - std::trunc(m)) * 100 * 0.6;
    m = std::trunc(m);
  }
  return Format("%0.0f", {d}) + " " + _("Degrees") + " " + Format("%0.0f", {m}) + " " + _("Minutes") + " " +
         Format("%0.0f", {s}) + " " + _("Seconds");
}

std::string GpsTimeText(const std::string& valueText) {
  auto [h, m, s] = ThreeFractions(valueText);
  return Format("%0.0f", {h}) + ":" + Format("%0.0f", {m}) + ":" + Format("%0.0f", {s});
}

bool ParseInt32(const std::string& text, int32_t& value) {
  int v;
  if (!TryStrToInt(Trim(text), v)) return false;
  value = v;
  return true;
}
