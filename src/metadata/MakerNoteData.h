#pragma once
// Maker notes: the camera's private directory inside the Exif MakerNote entry.
// The decoder picks the layout and the tag table by the camera make, walks the
// directory, writes a line per entry into MakerNoteText and keeps a record with
// Key 1 per known entry. Decoders of their own turn the Nikon lens data and colour
// mode and the Canon setting arrays into readable lines.
#include <cstdint>
#include <span>
#include <string>

#include "metadata/ExifData.h"

// What a table row's value goes through besides the code list.
enum class TMakerDecoder : uint8_t {
  None,
  NikonLensType,
  NikonColourMode,
  NikonLensRange,
  CanonSettings1,
  CanonSettings2,
  CanonCustomFunctions,
};

// One row of a maker-note table. Desc is the entry's shown name (the Name when
// null); rows named "Skip" in any case mark entries that are passed over.
struct TMakerNoteRow {
  uint16_t Tag;
  const char* Name;
  const char* Desc;
  const char* Code;
  TMakerDecoder Decoder;
};

using TMakerNoteTable = std::span<const TMakerNoteRow>;

// A field of a Canon setting array (its label, element and value-code list).
struct TCanonField;

// The tables of the makes the dispatch knows.
TMakerNoteTable NikonType1Table();
TMakerNoteTable NikonDTable();
TMakerNoteTable CasioTable();
TMakerNoteTable CasioQvcTable();
TMakerNoteTable FujifilmTable();
TMakerNoteTable CanonTable();
TMakerNoteTable EpsonTable();
TMakerNoteTable SanyoTable();
TMakerNoteTable MinoltaTable();

class TMakerNoteInfo {
 public:
  TMakerNoteInfo(bool readingTiff, TImageInfo& info);

  std::string Make;  // the camera make, once the dispatch knows it
  bool ReadingTiff = false;
  TImageInfo* Info = nullptr;
  int32_t MakerNotePos = 0;

  // Chooses the layout by the make and walks the maker note; False for makes
  // whose maker notes are not decoded and for a directory that does not fit.
  bool DecodeMakerNote();
  // Walks the directory at DirStart (a byte offset into the maker note); a value
  // offset O lies at byte O + DirStart + 2 - Origin of the maker note.
  bool WalkMakerNote(TImageInfo& info, const std::string& makerNote, TMakerNoteTable table, int64_t dirStart,
                     int64_t origin);

  // The decoders: the value text in, the shown text out. The Canon decoders add
  // their fields as records and set the own-lines flag.
  std::string NikonLensType(const std::string& valueText) const;
  std::string NikonColourMode(const std::string& valueText) const;
  std::string NikonLensRange(const std::string& valueText) const;
  std::string CanonSettings1(const std::string& valueText);
  std::string CanonSettings2(const std::string& valueText);
  std::string CanonCustomFunctions(const std::string& valueText);

 private:
  std::string decode(TMakerDecoder decoder, const std::string& valueText);
  // One Canon field: a line and a record when its text is not empty.
  void canonField(std::string& lines, const std::string& label, const std::string& text);
  std::string canonFields(const std::string& valueText, std::span<const TCanonField> fields);

  bool OwnLines = false;  // a decoder wrote its own lines for the entry
};
