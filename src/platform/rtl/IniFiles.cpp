// TIniFile: our own codec with Windows ini semantics. The file is held as its lines,
// so comments, blank lines and the order of untouched lines survive a rewrite.
#include "platform/rtl/IniFiles.h"

#include <algorithm>
#include <cstdio>

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/RtlInternal.h"

namespace {
enum class Kind { Other, Section, Key };

struct Line {
  std::string raw;   // the line as it stands in the file
  Kind kind = Kind::Other;
  std::string name;  // section name or key, trimmed
  std::string value; // the value of a key line, trimmed (quotes still on)
};

Line ParseLine(const std::string& raw) {
  Line l;
  l.raw = raw;
  std::string t = Trim(raw);
  if (t.empty() || t[0] == ';') return l;
  if (t[0] == '[') {
    size_t close = t.find(']');
    l.kind = Kind::Section;
    l.name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return l;
  }
  size_t eq = t.find('=');
  if (eq == std::string::npos) return l;
  l.kind = Kind::Key;
  l.name = Trim(t.substr(0, eq));
  l.value = Trim(t.substr(eq + 1));
  return l;
}

// A line break inside a name or value would split the line and change the file's structure.
std::string OneLine(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c == '\r' || c == '\n') c = ' ';
  return r;
}

std::string Unquote(const std::string& v) {
  if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) return v.substr(1, v.size() - 2);
  return v;
}
}  // namespace

struct TIniFile::Doc {
  std::vector<Line> lines;
  rtl_internal::FileSignature signature;

  // Index of the first header of the section, or -1.
  int FindSection(const std::string& section) const {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].kind == Kind::Section && SameText(lines[i].name, section)) return int(i);
    return -1;
  }
  // One past the last line of the section that starts at header.
  size_t SectionEnd(int header) const {
    size_t i = size_t(header) + 1;
    while (i < lines.size() && lines[i].kind != Kind::Section) ++i;
    return i;
  }
  int FindKey(const std::string& section, const std::string& ident) const {
    int h = FindSection(section);
    if (h < 0) return -1;
    for (size_t i = size_t(h) + 1, e = SectionEnd(h); i < e; ++i)
      if (lines[i].kind == Kind::Key && SameText(lines[i].name, ident)) return int(i);
    return -1;
  }
};

TIniFile::TIniFile(const std::string& fileName) : fileName_(fileName), doc_(std::make_unique<Doc>()) { refresh(); }

TIniFile::~TIniFile() = default;

void TIniFile::refresh() {
  // Writes waiting for EndUpdate must not be replaced by the file's older contents.
  if (pendingSave_) return;
  Doc& d = *doc_;
  if (!d.signature.Update(fileName_)) return;
  d.lines.clear();
  if (!d.signature.existed) return;
  std::string text;
  try {
    // Settings files are small; a huge one is treated as unreadable.
    text = ReadFileBytes(fileName_, 64 << 20);
  } catch (const Exception&) {
    return;
  }
  for (const std::string& line : rtl_internal::SplitLines(rtl_internal::DecodeTextFile(std::move(text))))
    d.lines.push_back(ParseLine(line));
}

void TIniFile::save() {
  if (updateDepth_ > 0) {
    pendingSave_ = true;
    return;
  }
  pendingSave_ = false;
  std::string out;
  for (const Line& l : doc_->lines) {
    out += l.raw;
    out += "\r\n";
  }
  try {
    SaveTextFileAtomically(fileName_, out);
  } catch (const Exception& e) {
    // The file keeps its old contents; so does our view of it.
    doc_->signature.Forget();
    refresh();
    throw EIniFileException(Format(_("Unable to write to %s"), {fileName_}) + "\n" + e.Message());
  }
  doc_->signature.Forget();
  refresh();
}

void TIniFile::BeginUpdate() { ++updateDepth_; }

void TIniFile::EndUpdate() {
  if (updateDepth_ == 0) return;
  if (--updateDepth_ == 0 && pendingSave_) save();
}

bool TIniFile::SectionExists(const std::string& section) {
  refresh();
  // As the class library: a section counts when it holds at least one key.
  int h = doc_->FindSection(section);
  if (h < 0) return false;
  for (size_t i = size_t(h) + 1, e = doc_->SectionEnd(h); i < e; ++i)
    if (doc_->lines[i].kind == Kind::Key) return true;
  return false;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& ident) {
  refresh();
  return doc_->FindKey(section, ident) >= 0;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& ident, const std::string& defaultValue) {
  refresh();
  int k = doc_->FindKey(section, ident);
  if (k < 0) return defaultValue;
  return Unquote(doc_->lines[size_t(k)].value);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& ident, int defaultValue) {
  std::string s = ReadString(section, ident, "");
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = "$" + s.substr(2);
  return StrToIntDef(s, defaultValue);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& ident, bool defaultValue) {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(const std::string& section, const std::string& ident, double defaultValue) {
  std::string s = ReadString(section, ident, "");
  double v;
  if (TryStrToFloat(s, v)) return v;
  TFormatSettings dot;
  dot.DecimalSeparator = '.';
  if (TryStrToFloat(s, v, dot)) return v;
  return defaultValue;
}

namespace {
bool ParseIsoDateTime(const std::string& s, TDateTime& v) {
  int y, m, d, h = 0, n = 0, sec = 0;
  char tail;
  int got = std::sscanf(s.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &m, &d, &h, &n, &sec, &tail);
  if (got != 3 && got != 6) return false;
  return TryEncodeDateTime(y, m, d, h, n, sec, 0, v);
}
}  // namespace

TDateTime TIniFile::ReadDate(const std::string& section, const std::string& ident, TDateTime defaultValue) {
  return ReadDateTime(section, ident, defaultValue);
}

TDateTime TIniFile::ReadDateTime(const std::string& section, const std::string& ident, TDateTime defaultValue) {
  std::string s = ReadString(section, ident, "");
  TDateTime v;
  if (ParseIsoDateTime(Trim(s), v) || TryStrToDateTime(s, v)) return v;
  return defaultValue;
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  refresh();
  std::string sec = Trim(OneLine(section)), key = Trim(OneLine(ident)), val = OneLine(value);
  // A value that reading would change (blanks around it are trimmed, one pair of surrounding
  // quotes is removed) is written inside quotes, so that it reads back as it was written.
  if (Trim(val) != val || Unquote(val) != val) val = "\"" + val + "\"";
  Doc& d = *doc_;
  int k = d.FindKey(sec, key);
  if (k >= 0) {
    Line& l = d.lines[size_t(k)];
    if (Trim(val) == l.value && l.raw == l.name + "=" + val) return;
    l = ParseLine(l.name + "=" + val);
  } else {
    int h = d.FindSection(sec);
    Line line = ParseLine(key + "=" + val);
    if (h < 0) {
      d.lines.push_back(ParseLine("[" + sec + "]"));
      d.lines.push_back(line);
    } else {
      // After the section's last non-blank line.
      size_t pos = d.SectionEnd(h);
      while (pos > size_t(h) + 1 && Trim(d.lines[pos - 1].raw).empty()) --pos;
      d.lines.insert(d.lines.begin() + long(pos), line);
    }
  }
  save();
}

void TIniFile::WriteInteger(const std::string& section, const std::string& ident, int value) {
  WriteString(section, ident, IntToStr(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void TIniFile::WriteFloat(const std::string& section, const std::string& ident, double value) {
  TFormatSettings dot;
  dot.DecimalSeparator = '.';
  WriteString(section, ident, FloatToStr(value, dot));
}

void TIniFile::WriteDate(const std::string& section, const std::string& ident, TDateTime value) {
  WriteString(section, ident, FormatDateTime("yyyy\"-\"mm\"-\"dd", value));
}

void TIniFile::WriteDateTime(const std::string& section, const std::string& ident, TDateTime value) {
  WriteString(section, ident, FormatDateTime("yyyy\"-\"mm\"-\"dd hh\":\"nn\":\"ss", value));
}

void TIniFile::ReadSection(const std::string& section, TStrings& strings) {
  refresh();
  std::vector<std::string> keys;
  int h = doc_->FindSection(section);
  if (h >= 0)
    for (size_t i = size_t(h) + 1, e = doc_->SectionEnd(h); i < e; ++i)
      if (doc_->lines[i].kind == Kind::Key) keys.push_back(doc_->lines[i].name);
  rtl_internal::ReplaceLines(strings, keys);
}

void TIniFile::ReadSections(TStrings& strings) {
  refresh();
  std::vector<std::string> names;
  for (const Line& l : doc_->lines) {
    if (l.kind != Kind::Section) continue;
    if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return SameText(n, l.name); }))
      names.push_back(l.name);
  }
  rtl_internal::ReplaceLines(strings, names);
}

void TIniFile::ReadSectionValues(const std::string& section, TStrings& strings) {
  refresh();
  std::vector<std::string> lines;
  int h = doc_->FindSection(section);
  if (h >= 0)
    for (size_t i = size_t(h) + 1, e = doc_->SectionEnd(h); i < e; ++i)
      if (doc_->lines[i].kind == Kind::Key) lines.push_back(doc_->lines[i].name + "=" + Unquote(doc_->lines[i].value));
  rtl_internal::ReplaceLines(strings, lines);
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  refresh();
  int k = doc_->FindKey(section, ident);
  if (k < 0) return;
  doc_->lines.erase(doc_->lines.begin() + k);
  save();
}

void TIniFile::EraseSection(const std::string& section) {
  refresh();
  bool any = false;
  for (int h; (h = doc_->FindSection(section)) >= 0;) {
    doc_->lines.erase(doc_->lines.begin() + h, doc_->lines.begin() + long(doc_->SectionEnd(h)));
    any = true;
  }
  if (any) save();
}

void TIniFile::UpdateFile() {
  refresh();
  if (doc_->signature.existed || !doc_->lines.empty()) save();
}
