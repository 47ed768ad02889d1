#pragma once
// TIniFile: a settings file with Windows ini semantics. Section and key names compare
// without case; a value is the text after the first '=' with blanks around key and value
// trimmed and one pair of surrounding quotes removed when read; there are no escapes;
// lines without '=' and comment lines (';') are ignored but kept when the file is rewritten.
// Every write is saved at once through SaveTextFileAtomically (CR LF line ends);
// a save that fails raises EIniFileException and leaves the old file as it was.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

class TIniFile : public TObject {
 public:
  // A missing or unreadable file reads as empty. The file is read again when it changed on disk.
  explicit TIniFile(const std::string& fileName);
  ~TIniFile() override;
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return fileName_; }

  bool SectionExists(const std::string& section);
  bool ValueExists(const std::string& section, const std::string& ident);

  std::string ReadString(const std::string& section, const std::string& ident, const std::string& defaultValue);
  // Decimal or "0x" hex; any other text (or none) gives the default.
  int ReadInteger(const std::string& section, const std::string& ident, int defaultValue);
  // "0" is false, any other integer true; anything else gives the default.
  bool ReadBool(const std::string& section, const std::string& ident, bool defaultValue);
  // Accepts '.' and the decimal separator of FormatSettings; else the default.
  double ReadFloat(const std::string& section, const std::string& ident, double defaultValue);
  TDateTime ReadDate(const std::string& section, const std::string& ident, TDateTime defaultValue);
  TDateTime ReadDateTime(const std::string& section, const std::string& ident, TDateTime defaultValue);

  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& ident, int value);
  void WriteBool(const std::string& section, const std::string& ident, bool value);  // "1" / "0"
  void WriteFloat(const std::string& section, const std::string& ident, double value);  // '.' always
  void WriteDate(const std::string& section, const std::string& ident, TDateTime value);
  void WriteDateTime(const std::string& section, const std::string& ident, TDateTime value);

  // Key names of the section, in file order (replaces the list's contents).
  void ReadSection(const std::string& section, TStrings& strings);
  void ReadSection(const std::string& section, TStrings* strings) { ReadSection(section, *strings); }
  void ReadSections(TStrings& strings);
  void ReadSections(TStrings* strings) { ReadSections(*strings); }
  // "key=value" lines of the section.
  void ReadSectionValues(const std::string& section, TStrings& strings);
  void ReadSectionValues(const std::string& section, TStrings* strings) { ReadSectionValues(section, *strings); }

  void DeleteKey(const std::string& section, const std::string& ident);
  void EraseSection(const std::string& section);
  // Writes the file as it is now (every write already saved; this saves again).
  void UpdateFile();
  // Between BeginUpdate and the matching EndUpdate writes are kept in memory and saved
  // together, once, by EndUpdate (which raises EIniFileException when that save fails).
  // A settings store that writes a hundred values then costs one save instead of a hundred.
  void BeginUpdate();
  void EndUpdate();

 private:
  struct Doc;
  void refresh();
  void save();
  std::string fileName_;
  std::unique_ptr<Doc> doc_;
  int updateDepth_ = 0;
  bool pendingSave_ = false;
};
