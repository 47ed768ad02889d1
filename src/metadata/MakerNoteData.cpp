// Maker notes: the dispatch by camera make, the walk of a maker-note directory and
// the decoders of the Nikon lens data and colour mode and the Canon setting arrays.
#include "metadata/MakerNoteData.h"

#include <vector>

#include "metadata/ExifData_Internal.h"
#include "platform/rtl/SysUtils.h"

namespace {

bool BuildsList(int32_t readMode) { return readMode == 4 || readMode == 255; }

// While it lives, the reads of the tag container address the maker note, in the
// byte order the maker note is written in; the Exif data and the file's byte
// order come back at its end.
class TBufferSwitch {
 public:
  TBufferSwitch(TImageInfo& info, std::string_view buffer, bool motorola)
      : info_(info), saved_(info.GetSource()), savedOrder_(info.MotorolaOrder) {
    info.SetDataBuffer(buffer);
    info.MotorolaOrder = motorola;
  }
  ~TBufferSwitch() {
    info_.SetSource(saved_);
    info_.MotorolaOrder = savedOrder_;
  }
  TBufferSwitch(const TBufferSwitch&) = delete;
  TBufferSwitch& operator=(const TBufferSwitch&) = delete;
  const TByteSource& Saved() const { return saved_; }

 private:
  TImageInfo& info_;
  TByteSource saved_;
  bool savedOrder_;
};

// Whether the bytes at offset `at` of a buffer are `text`.
bool BytesAt(const std::string& buffer, size_t at, std::string_view text) {
  return buffer.size() >= at + text.size() && std::string_view(buffer).substr(at, text.size()) == text;
}

std::string RowDesc(const TMakerNoteRow& row) { return row.Desc ? row.Desc : row.Name; }

// The pieces of a value list as FormatValue writes it ("a, b, c"), split at the
// commas; each piece after the first keeps the blank that follows its comma.
std::vector<std::string> CommaPieces(const std::string& text) {
  std::vector<std::string> pieces;
  size_t from = 0;
  for (;;) {
    const size_t at = text.find(',', from);
    pieces.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) return pieces;
    from = at + 1;
  }
}

}  // namespace

// A field of a Canon setting array: its label, the element it reads (counted
// from 0) and its value-code list (none: the element's text as it stands).
struct TCanonField {
  const char* Label;
  int Element;
  const char* Code;
};

namespace {

constexpr const char* kLowNormalHigh = "65535:Low,0:Normal,1:High";

const TCanonField kCanonSettings1[] = {
    {"Macro mode", 1, "1:Macro,2:Normal"},
    {"Self Timer", 2, nullptr},
    {"Compression Rate", 3, "1:Economy,2:Normal,3:Fine,4:RAW,5:SuperFine"},
    {"Flash Mode", 4,
     "0:Not fired,1:Auto,2:On,3:Red-eye,4:Slow sync,5:Auto+red-eye,6:On+red eye,16:External flash"},
    {"Drive Mode", 5, "0:Single,1:Continuous"},
    {"Focus Mode", 7, "0:One-Shot,1:AI Servo,2:AI Focus,3:MF,4:Single,5:Continuous,6:MF"},
    {"Image Size", 10, "0:Large,1:Medium,2:Small,4:5MPixel,5:2 MPixel,6:1.5 MPixel"},
    {"Easy Shoot", 11,
     "0:Full Auto,1:Manual,2:Landscape,3:Fast Shutter,4:Slow Shutter,5:Night,6:B&W,7:Sepia,8:Portrait,9:Sports,"
     "10:Macro/Close-Up,11:Black & White,12:Pan Focus"},
    {"Contrast", 13, kLowNormalHigh},
    {"Saturation", 14, kLowNormalHigh},
    {"Sharpness", 15, kLowNormalHigh},
    {"CCD ISO", 16, "0:Not used,15:auto,16:50,17:100,18:200,19:400"},
    {"Metering Mode", 17, "0:Default,1:Spot,2:Average,3:Evaluative,4:Partial,5:Center-weighted average"},
    {"AF Point", 19,
     "8197:Manual AF point selection,12288:None (MF),12289:Auto AF point selection,12290:Right,12291:Center,"
     "12292:Left,16385:Auto AF point selection,16390:Face Detect"},
    {"Exposure Mode", 20,
     "0:Easy,1:Program AE,2:Shutter speed priority AE,3:Aperture-priority AE,4:Manual,5:Depth-of-field AE,"
     "6:M-Dep,7:Bulb,8:Flexible-priority AE"},
    {"Long focal", 23, nullptr},
    {"Short focal", 24, nullptr},
    {"Focal Units", 25, nullptr},
    {"Flash Details", 28, nullptr},
    {"Focus Mode", 32, "0:Single,1:Continuous,8:Manual"},
};

const TCanonField kCanonSettings2[] = {
    {"White balance", 7, "0:Auto,1:Sunny,2:Cloudy,3:Tungsten,4:Flourescent,5:Flash,6:Custom"},
    {"Sequence Number", 9, nullptr},
    {"OpticalZoom Step", 10, nullptr},
    {"AF point", 14, nullptr},
    {"Flash bias", 15,
     "65472:-2 EV,65484:-1.67 EV,65488:-1.50 EV,65492:-1.33 EV,65504:-1 EV,65516:-0.67 EV,65520:-0.50 EV,65524:-0.33 "
     "EV,0:0 EV,12:0.33 EV,16:0.50 EV,20:0.67 EV,32:1 EV,44:1.33 EV,48:1.50 EV,52:1.67 EV,64:2 EV"},
    {"Distance", 19, nullptr},
};

// The custom functions 1 to 15: label and value-code list.
const TCanonField kCanonCustomFunctions[] = {
    {"Noise Reduction", 1, "0: Off,1: On"},
    {"Shutter AE Lock Button", 2, "0:AF/AE lock,1:AE lock/AF,2:AF/AF lock,3:AE+release/AE+AF"},
    {"Mirror Lockup", 3, "0:Disable,1:Enable"},
    {"Exposure Level", 4, "0:1/2 stop,1:1/3 stop"},
    {"AF Assist", 5, "0:On (auto),1:Off"},
    {"AV Shutter Speed", 6, "0:Automatic,1: 1/200 (fixed)"},
    {"AEB Sequence", 7, "0:0 - + / Enabled,1:0 - + / Disabled,2:- 0 + / Enabled,3:- 0 + / Disabled"},
    {"Shutter Sync", 8, "0:1st-curtain sync,1: 2nd-curtain sync"},
    {"Lens AF Button", 9, "0:AF stop,1:Operate AF,2:Lock AE and start timer"},
    {"Fill Flash Reduction", 10, "0:Enable,1:Disable"},
    {"Menu Return", 11, "0:Top,1:Previous (volatile),2:Previous"},
    {"Set Button", 12, "0:Not assigned,1:Change quality,2:Change ISO speed,3:Select parameters"},
    {"Sensor Cleaning", 13, "0:Disable,1:Enable"},
    {"Superimposed Display", 14, "0: On,1: Off"},
    {"Shutter Release w/o CF Card", 15, "0:Enable,1:Disable"},
};

}  // namespace

TMakerNoteInfo::TMakerNoteInfo(bool readingTiff, TImageInfo& info)
    : ReadingTiff(readingTiff), Info(&info), MakerNotePos(info.MakerNotePos) {}

bool TMakerNoteInfo::DecodeMakerNote() {
  TImageInfo& info = *Info;
  const std::string& note = info.MakerNote;
  const int64_t pos = MakerNotePos;
  const std::string make5 = UpperCase(info.CameraMake.substr(0, 5));
  bool decoded = false;
  if (make5 == "NIKON") {
    // The maker note's own header tells its layout: "Nikon", a zero byte and a
    // version byte of 2 come with a TIFF header of their own at byte 10 (the D
    // series, whatever Exif version the camera writes); a version byte of 1 is the
    // early layout; no header at all is the D layout without one.
    const bool ownTiffHeader =
        BytesAt(note, 0, std::string_view("Nikon\0\x02", 7)) && (BytesAt(note, 10, "MM") || BytesAt(note, 10, "II"));
    if (ownTiffHeader) {
      // Offsets count from that header, and its byte-order mark says how its
      // numbers are written.
      bool motorola = info.MotorolaOrder;
      if (BytesAt(note, 10, "MM")) motorola = true;
      if (BytesAt(note, 10, "II")) motorola = false;
      const bool saved = info.MotorolaOrder;
      info.MotorolaOrder = motorola;
      decoded = WalkMakerNote(info, note, NikonDTable(), 18, 9);
      info.MotorolaOrder = saved;
    } else if (BytesAt(note, 0, "Nikon")) {
      decoded = WalkMakerNote(info, note, NikonType1Table(), 8, pos);
    } else {
      decoded = WalkMakerNote(info, note, NikonDTable(), 0, pos - 8);
    }
  } else if (make5 == "CASIO") {
    if (BytesAt(note, 0, "QVC"))
      decoded = WalkMakerNote(info, note, CasioQvcTable(), 6, pos - 2);
    else
      decoded = WalkMakerNote(info, note, CasioTable(), 0, pos - 8);
  } else if (make5 == "FUJIF") {
    // Fujifilm writes its maker note in Intel order whatever the file's order.
    const bool saved = info.MotorolaOrder;
    info.MotorolaOrder = false;
    decoded = WalkMakerNote(info, note, FujifilmTable(), 12, 13);
    info.MotorolaOrder = saved;
  } else if (make5 == "CANON") {
    decoded = WalkMakerNote(info, note, CanonTable(), 0, pos - 8);
  } else if (make5 == "SEIKO") {
    decoded = WalkMakerNote(info, note, EpsonTable(), 8, pos);
  } else if (make5 == "SANYO") {
    decoded = WalkMakerNote(info, note, SanyoTable(), 8, pos);
  } else if (make5 == "MINOL") {
    decoded = WalkMakerNote(info, note, MinoltaTable(), 0, pos - 8);
  }
  // Olympus and every other make: nothing is walked.
  if (decoded) Make = info.CameraMake;
  return decoded;
}

bool TMakerNoteInfo::WalkMakerNote(TImageInfo& info, const std::string& makerNote, TMakerNoteTable table,
                                   int64_t dirStart, int64_t origin) {
  TReadBudget& budget = info.Budget();
  if (budget.Spent()) return false;
  TBufferSwitch buffer(info, makerNote, info.MotorolaOrder);
  const TByteSource& exifData = buffer.Saved();
  const int64_t size = int64_t(makerNote.size());
  const int64_t base = dirStart + 2 - origin;
  // The entries must lie inside the maker note: a maker note of another layout
  // would otherwise give thousands of lines of noise. A maker note keeps the byte
  // order its camera wrote when a program rewrote the Exif data in the other one:
  // when its count only fits that way, it is read that way.
  auto fits = [&](int64_t count) { return dirStart >= 0 && count > 0 && dirStart + 2 + 12 * count <= size; };
  int64_t count = info.Get16(dirStart + 1);
  if (!fits(count)) {
    info.MotorolaOrder = !info.MotorolaOrder;
    count = info.Get16(dirStart + 1);
    if (!fits(count)) return false;
  }

  for (int64_t i = 0; i < count; ++i) {
    if (!budget.TakeEntry()) {
      info.BudgetSpent();
      return true;
    }
    const int64_t p = dirStart + 3 + 12 * i;
    const uint16_t tag = uint16_t(info.Get16(p));
    const uint16_t type = uint16_t(info.Get16(p + 2));
    const int64_t byteCount = int64_t(TypeElementSize(type)) * int64_t(uint32_t(info.Get32(p + 4)));
    const int64_t valuePos = byteCount <= 4 ? p + 8 : int64_t(info.Get32(p + 8)) + base;
    // A value the maker note does not hold whole is read where it continues: in the
    // Exif data around the maker note.
    std::string raw;
    if (valuePos >= 1 && valuePos + byteCount - 1 <= size)
      raw = makerNote.substr(size_t(valuePos - 1), size_t(byteCount));
    else
      raw = exifData.Read(valuePos + MakerNotePos - 1, byteCount);
    if (!budget.TakeValueBytes(int64_t(raw.size()))) {
      info.BudgetSpent();
      return true;
    }

    const TMakerNoteRow* row = nullptr;
    const char* code = nullptr;
    for (const TMakerNoteRow& r : table) {
      if (r.Tag != tag) continue;
      if (!row) row = &r;
      code = r.Code;  // the code list of the last row with the tag
    }
    const std::string name = row ? RowDesc(*row) : std::string("Unknown");
    if (UpperCase(name) == "SKIP") continue;
    if (!BuildsList(info.ReadMode)) continue;

    std::string valueText;
    try {
      valueText = MakerNoteValueText(info, raw, type, code ? code : "");
    } catch (const std::exception&) {
      valueText.clear();
    }
    OwnLines = false;
    const std::string shown =
        row && row->Decoder != TMakerDecoder::None ? decode(row->Decoder, valueText) : PrintableText(valueText);
    if (!OwnLines)
      info.MakerNoteText += "\r\n" + name + " = " + shown;
    else
      info.MakerNoteText += shown + "\r\n" + name + " = " + valueText;

    if (row) {
      TTagEntry record;
      record.Key = 1;
      record.Tag = row->Tag;
      record.Name = row->Name;
      record.Desc = name;
      record.Code = row->Code ? row->Code : "";
      record.Type = type;
      record.Size = int32_t(raw.size());
      record.Raw = std::move(raw);
      record.Data = OwnLines ? valueText : shown;
      info.AddTag(record);
    }
    if (budget.Spent()) return true;
  }
  return true;
}

std::string TMakerNoteInfo::decode(TMakerDecoder decoder, const std::string& valueText) {
  switch (decoder) {
    case TMakerDecoder::NikonLensType: return NikonLensType(valueText);
    case TMakerDecoder::NikonColourMode: return NikonColourMode(valueText);
    case TMakerDecoder::NikonLensRange: return NikonLensRange(valueText);
    case TMakerDecoder::CanonSettings1: return CanonSettings1(valueText);
    case TMakerDecoder::CanonSettings2: return CanonSettings2(valueText);
    case TMakerDecoder::CanonCustomFunctions: return CanonCustomFunctions(valueText);
    case TMakerDecoder::None: break;
  }
  return PrintableText(valueText);
}

// ---------------------------------------------------------------------------
// Decoders
// ---------------------------------------------------------------------------

std::string TMakerNoteInfo::NikonLensType(const std::string& valueText) const {
  if (valueText == "6") return "Nikon D series Lens";
  if (valueText == "14") return "Nikon G series Lens)";
  return valueText;
}

std::string TMakerNoteInfo::NikonColourMode(const std::string& valueText) const {
  const std::string mode = valueText.size() > 1 ? valueText.substr(1, 5) : std::string();
  if (mode == "MODE1") return "Mode1 (sRGB)";
  if (mode == "MODE2") return "Mode 2 (Adobe RGB)";
  if (mode == "MODE3") return "Mode 3 (sRGB): higher saturation";
  return mode;
}

std::string TMakerNoteInfo::NikonLensRange(const std::string& valueText) const {
  std::vector<double> v;
  size_t from = 0;
  while (v.size() < 4) {
    const size_t at = valueText.find(", ", from);
    v.push_back(FractionValue(valueText.substr(from, at == std::string::npos ? std::string::npos : at - from)));
    if (at == std::string::npos) break;
    from = at + 2;
  }
  v.resize(4, 0.0);
  return Format("%0.1f-%0.1f(mm)  F%0.1f-F%0.1f", {v[0], v[1], v[2], v[3]});
}

void TMakerNoteInfo::canonField(std::string& lines, const std::string& label, const std::string& text) {
  if (Trim(text).empty()) return;
  lines += "\r\n" + label + " = " + text;
  Info->AddSyntheticTag(label, text, 2);
}

std::string TMakerNoteInfo::canonFields(const std::string& valueText, std::span<const TCanonField> fields) {
  OwnLines = true;
  const std::vector<std::string> pieces = CommaPieces(valueText);
  std::string lines;
  for (const TCanonField& field : fields) {
    const std::string piece = size_t(field.Element) < pieces.size() ? pieces[size_t(field.Element)] : std::string();
    canonField(lines, field.Label, field.Code ? CodeTextAsIs(field.Code, piece) : piece);
  }
  return lines;
}

std::string TMakerNoteInfo::CanonSettings1(const std::string& valueText) {
  return canonFields(valueText, kCanonSettings1);
}

std::string TMakerNoteInfo::CanonSettings2(const std::string& valueText) {
  return canonFields(valueText, kCanonSettings2);
}

std::string TMakerNoteInfo::CanonCustomFunctions(const std::string& valueText) {
  OwnLines = true;
  std::vector<std::string> pieces = CommaPieces(valueText);
  pieces.pop_back();  // the numbers before the last comma
  std::string lines;
  for (const std::string& piece : pieces) {
    int32_t n = 0;
    if (!ParseInt32(piece, n)) continue;
    const int32_t function = n / 256;
    if (function < 1 || function > 15) continue;
    const TCanonField& field = kCanonCustomFunctions[function - 1];
    canonField(lines, field.Label, CodeTextAsIs(field.Code, std::to_string(n & 0xFF)));
  }
  return lines;
}
