// Diversen: unique names for copies, taking names apart, number texts, aspect-ratio names,
// the fit rectangle and percentages.
#include <sys/stat.h>

#include <climits>
#include <cmath>

#include "core/Diversen.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

namespace {

bool EntryExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The folder with repeated separators collapsed (a "//" would otherwise reach the name).
std::string CollapseSeparators(const std::string& folder) {
  std::string out;
  for (char c : folder)
    if (!(c == PathDelim && !out.empty() && out.back() == PathDelim)) out += c;
  return out;
}

// q rounded as the program rounds percentages: the integer quotient, plus one when the
// remainder is more than half the divisor (exactly half stays down); 0 when it does not fit.
int RoundedQuotient(int64_t dividend, int64_t divisor) {
  if (divisor == 0) return 0;
  int64_t quotient = dividend / divisor;
  int64_t remainder = dividend % divisor;
  if (double(remainder) / double(divisor) > 0.5) ++quotient;
  if (quotient > INT_MAX || quotient < INT_MIN) return 0;
  return int(quotient);
}

}  // namespace

// ---------------------------------------------------------------------------
// Names
// ---------------------------------------------------------------------------

std::string UniqueCopyName(const std::string& folder, const std::string& name, const std::string& extension) {
  const std::string dir = CollapseSeparators(folder);
  auto candidate = [&](const std::string& bareName) {
    return dir.empty() ? bareName + extension : PathJoin(dir, bareName + extension);
  };
  std::string first = candidate(name);
  if (!EntryExists(first)) return first;

  // The number goes between prefix and suffix. Only the bare name is searched for
  // parentheses: those of a folder ("Trip (2005)") or an extension never count.
  std::string prefix = name + " (", suffix = ")";
  size_t open = name.rfind('('), close = name.rfind(')');
  if (open != std::string::npos && close != std::string::npos) {
    int number;
    if (open < close && TryStrToInt(name.substr(open + 1, close - open - 1), number)) {
      prefix = name.substr(0, open + 1);
      suffix = name.substr(close);
    } else {
      prefix = name + " - copy (";
    }
  }
  // Every candidate is tested, the " - copy (n)" names too, so no existing file is named.
  for (int n = 1; n < INT_MAX; ++n) {
    std::string next = candidate(prefix + std::to_string(n) + suffix);
    if (!EntryExists(next)) return next;
  }
  return first;
}

std::string UniqueNameWithExt(const std::string& fullPath, const std::string& newExtension) {
  return UniqueCopyName(ExtractFilePath(fullPath), FileNameWithoutExt(fullPath), newExtension);
}

std::string FileNameWithoutExt(const std::string& path) {
  std::string name = ExtractFileName(path);
  return name.substr(0, name.size() - ExtractFileExt(name).size());
}

bool IsValidFileName(const std::string& text, bool strict) {
  for (unsigned char c : text) {
    if (c < 32) return false;
    switch (c) {
      case '"':
      case '*':
      case '/':
      case ':':
      case '<':
      case '>':
      case '?':
      case '\\':
      case '|':
        return false;
      default:
        break;
    }
  }
  if (strict && (Trim(text).empty() || text[0] == ' ' || text[0] == '.')) return false;
  return true;
}

void SplitToList(char delimiter, const std::string& text, TStrings& list) {
  list.Clear();
  size_t start = 0;
  for (;;) {
    size_t end = text.find(delimiter, start);
    if (end == std::string::npos) {
      list.Add(text.substr(start));
      return;
    }
    list.Add(text.substr(start, end - start));
    start = end + 1;
  }
}

std::string StripChar(const std::string& text, char ch) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != ch) out += c;
  return out;
}

std::string DeleteChar(const std::string& text, char ch) {
  std::string out = text;
  for (size_t p = out.find(ch); p != std::string::npos; p = out.find(ch, p)) out.erase(p, 1);
  return out;
}

bool ContainsAnyChar(const std::string& chars, const std::string& text) {
  return !chars.empty() && text.find_first_of(chars) != std::string::npos;
}

std::string PadLeft(const std::string& text, int width, char fill) {
  int length = int(text.size());
  if (length > width) return text;
  return std::string(size_t(width - length + 1), fill) + text;
}

// ---------------------------------------------------------------------------
// Number texts
// ---------------------------------------------------------------------------

bool IsNumericText(const std::string& text) {
  if (text.empty()) return false;
  const char separator = DecimalSeparator();
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == separator)) return false;
  return true;
}

int IntegerPartOf(const std::string& text) {
  const std::string before = text.substr(0, text.find(DecimalSeparator()));
  int64_t value = 0;
  bool any = false;
  for (char c : before) {
    if (c < '0' || c > '9') continue;
    value = value * 10 + (c - '0');
    if (value > INT_MAX) return -1;
    any = true;
  }
  return any ? int(value) : -1;
}

std::string UseLocaleDecimalSeparator(const std::string& text) {
  const char separator = DecimalSeparator();
  if (separator != ',' && separator != '.') return text;
  const char other = separator == ',' ? '.' : ',';
  std::string out = text;
  for (char& c : out)
    if (c == other) c = separator;
  return out;
}

std::string AspectRatioName(const std::string& ratioText) {
  static const char* const table[][2] = {{"1.00", "1:1"},
                                         {"1.33", "4:3"},
                                         {"1.37", "Academy ratio"},
                                         {"1.43", "Imax format"},
                                         {"1.50", "3:2 SLR/DSLR"},
                                         {"1.56", "14:9"},
                                         {"1.60", "16:10 Wide screen monitor"},
                                         {"1.66", "Super16 format"},
                                         {"1.67", "5:3"},
                                         {"1.78", "16:9"},
                                         {"1.81", "Close to 16:9"}};
  for (const auto& [pointForm, name] : table) {
    std::string commaForm = pointForm;
    commaForm[1] = ',';
    if (ratioText == pointForm || ratioText == commaForm) return name;
  }
  return "Unknown Aspect Ratio";
}

double LongToShortRatio(int a, int b) {
  return a > b ? double(a) / double(b) : double(b) / double(a);
}

// ---------------------------------------------------------------------------
// Fitting and percentages
// ---------------------------------------------------------------------------

void CalcFitRect(int boxWidth, int pictureWidth, int boxHeight, int pictureHeight, bool& error, TRect& rect) {
  error = false;
  // A zero size would divide by zero; nothing of the rectangle is changed then.
  if (pictureWidth == 0 || pictureHeight == 0) {
    error = true;
    return;
  }
  const double horizontal = double(boxWidth) / pictureWidth;
  const double vertical = double(boxHeight) / pictureHeight;
  // The height limits when the horizontal factor is the larger one, else the width.
  const bool heightLimits = horizontal > vertical;
  const double scaled = std::trunc(heightLimits ? pictureWidth * vertical : pictureHeight * horizontal);
  if (!(scaled >= INT_MIN && scaled <= INT_MAX)) {
    error = true;
    return;
  }
  if (heightLimits) {
    rect.Left = 0;
    rect.Bottom = boxHeight;
    rect.Right = int(scaled);
  } else {
    rect.Top = 0;
    rect.Right = boxWidth;
    rect.Bottom = int(scaled);
  }
}

int RoundedPercent(int a, int b) { return RoundedQuotient(int64_t(a) * 100, b); }

int PercentOfValue(int a, int b) { return RoundedQuotient(int64_t(a) * b, 100); }
