// Maker notes against exiftool: the raw bytes of every entry of every maker-note
// sample (and of maker notes exiftool copied into new files and changed there)
// equal exiftool's verbose dump; coded entries show the words of their make's
// table; maker notes of every layout built here read as exiftool reads them; and
// maker notes that are not what their make promises end quickly and safely.
#include <chrono>
#include <regex>

#include "MetadataTestUtil.h"
#include "metadata/ExifData.h"
#include "metadata/MakerNoteData.h"

namespace {

using Values = std::map<std::string, std::string>;

const auto Text = mdtest::ToolText;
const auto Number = mdtest::ToolNumber;

// One entry of a maker-note directory as exiftool's verbose dump shows it: the tag,
// the value's size, and the bytes it prints (all of them, or the first ones when it
// cuts a long value short).
struct ToolEntry {
  uint16_t tag = 0;
  size_t bytes = 0;
  std::string shown;
};

int Bars(const std::string& line) {
  int bars = 0;
  for (char c : line) {
    if (c == '|') ++bars;
    else if (c != ' ') break;
  }
  return bars;
}

std::vector<ToolEntry> ExifToolMakerNoteEntries(const std::string& file) {
  const std::string dump = testsupport::Run({"exiftool", "-v3", file}).out;
  std::vector<ToolEntry> entries;
  static const std::regex tagLine(R"(- Tag 0x([0-9a-f]{4}) \((\d+) bytes,)");
  static const std::regex hexLine(R"(^[ |]*[0-9a-f]{4,}: ((?:[0-9a-f]{2} )+))");
  int depth = -1;
  bool done = false;
  mdtest::ForEachLine(dump, [&](const std::string& line) {
    if (done) return;
    if (depth < 0) {
      if (line.find("+ [MakerNotes directory with") != std::string::npos) depth = Bars(line);
      return;
    }
    const int bars = Bars(line);
    if (bars <= depth) done = true;
    if (bars != depth + 1) return;
    std::smatch m;
    if (std::regex_search(line, m, tagLine)) {
      entries.push_back({uint16_t(std::stoul(m[1].str(), nullptr, 16)), size_t(std::stoul(m[2].str())), ""});
    } else if (!entries.empty() && std::regex_search(line, m, hexLine)) {
      std::string hex = m[1].str();
      for (size_t i = 0; i + 1 < hex.size(); i += 3)
        entries.back().shown += char(std::stoul(hex.substr(i, 2), nullptr, 16));
    }
  });
  return entries;
}

// The first row of a table with the tag, and the code list of its last row.
const TMakerNoteRow* Row(TMakerNoteTable table, uint16_t tag, const char** code) {
  const TMakerNoteRow* row = nullptr;
  for (const TMakerNoteRow& r : table) {
    if (r.Tag != tag) continue;
    if (!row) row = &r;
    *code = r.Code;
  }
  return row;
}

// The word a value-code list of the tables gives a number (test's own reading of "n:word,...").
std::string Word(const std::string& code, int64_t value) {
  size_t from = 0;
  while (from <= code.size()) {
    size_t comma = code.find(',', from);
    const std::string item = code.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    const size_t colon = item.find(':');
    if (colon != std::string::npos && item.substr(0, colon) == std::to_string(value)) return item.substr(colon + 1);
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  return std::string();
}

uint32_t Unsigned(const std::string& bytes, bool motorola) {
  uint32_t v = 0;
  if (motorola)
    for (unsigned char c : bytes) v = (v << 8) | c;
  else
    for (size_t i = bytes.size(); i-- > 0;) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
  return v;
}

// Compares the maker-note records of a read with exiftool's dump of the same file:
// every entry of the make's table is kept with exiftool's bytes, entries named
// "Skip" are not, and an entry with a code list shows its word. Returns the
// entries compared.
int CompareWithExifTool(const std::string& file, TMakerNoteTable table, bool noteMotorola) {
  TimgData data(255);
  EXPECT_TRUE(data.ReadFileMetadata(file));
  if (!data.ImageInfo) return 0;
  const TImageInfo& info = *data.ImageInfo;
  EXPECT_TRUE(info.MakerNoteDecoded);
  const std::vector<ToolEntry> tool = ExifToolMakerNoteEntries(file);
  EXPECT_FALSE(tool.empty()) << "exiftool found no maker note";
  std::map<uint16_t, int> seen;
  int compared = 0;
  for (const ToolEntry& entry : tool) {
    const char* code = nullptr;
    const TMakerNoteRow* row = Row(table, entry.tag, &code);
    const int occurrence = seen[entry.tag]++;
    std::vector<const TTagEntry*> ours;
    for (const TTagEntry& t : info.Tags)
      if (t.Key == 1 && t.Tag == entry.tag && row && t.Name == row->Name) ours.push_back(&t);
    SCOPED_TRACE("tag " + IntToHex(entry.tag, 4));
    if (!row || UpperCase(row->Desc ? row->Desc : row->Name) == "SKIP") {
      EXPECT_TRUE(ours.empty());
      continue;
    }
    EXPECT_GT(ours.size(), size_t(occurrence)) << "entry not kept";
    if (ours.size() <= size_t(occurrence)) continue;
    const TTagEntry& record = *ours[size_t(occurrence)];
    EXPECT_EQ(record.Raw.size(), entry.bytes);
    EXPECT_EQ(record.Raw.substr(0, entry.shown.size()), entry.shown);
    EXPECT_EQ(record.Desc, row->Desc ? row->Desc : row->Name);
    ++compared;
    const int size = TypeElementSize(record.Type);
    const bool integer = record.Type == 1 || record.Type == 3 || record.Type == 4;
    if (code && integer && size > 0 && entry.shown.size() == size_t(size) && row->Decoder == TMakerDecoder::None) {
      EXPECT_EQ(record.Data, Word(code, Unsigned(entry.shown, noteMotorola)));
    }
  }
  return compared;
}

std::string Corpus(const std::string& name) { return testsupport::CorpusDir() + "/metadata-samples/" + name; }

// The data of the first maker-note record with the label, "(none)" without one; with
// decoded, only the records a decoder made (tag 0, text).
std::string Value(const TImageInfo& info, const std::string& label, bool decoded = false) {
  for (const TTagEntry& t : info.Tags)
    if (t.Key == 1 && t.Desc == label && (!decoded || (t.Tag == 0 && t.Type == 2))) return t.Data;
  return "(none)";
}

// ---------------------------------------------------------------------------
// Maker notes built here, in the layouts of the makes
// ---------------------------------------------------------------------------

struct NoteEntry {
  uint16_t tag, type;
  uint32_t count;
  std::string value;  // count elements, already in the maker note's byte order
};

using Writer = mdtest::TiffWriter;

// A maker note: header, then a directory of the entries with their long values
// after it. A long value at byte p of the maker note gets the offset p + offsetBase.
std::string MakerIfd(bool motorola, const std::string& header, int64_t offsetBase,
                     const std::vector<NoteEntry>& entries) {
  Writer dir(motorola, false);
  dir.Put16(uint32_t(entries.size()));
  std::string values;
  const size_t dataStart = header.size() + 2 + 12 * entries.size() + 4;
  for (const NoteEntry& e : entries) {
    dir.Put16(e.tag).Put16(e.type).Put32(e.count);
    if (e.value.size() <= 4) {
      dir.Raw(e.value + std::string(4 - e.value.size(), '\0'));
    } else {
      dir.Put32(uint32_t(int64_t(dataStart + values.size()) + offsetBase));
      values += e.value;
    }
  }
  dir.Put32(0);
  return header + dir.Bytes() + values;
}

// A JPEG whose Exif holds Make, Model, ExifVersion, the maker note and the picture
// size; makeNote is given the maker note's offset from the Exif TIFF header.
std::string JpegWithMakerNote(bool motorola, const std::string& make, const std::string& model,
                              const std::string& exifVersion, const std::function<std::string(uint32_t)>& makeNote) {
  const std::string makeZ = make + std::string(1, '\0'), modelZ = model + std::string(1, '\0');
  const uint32_t ifd0 = 8, strings = ifd0 + 2 + 3 * 12 + 4;
  const uint32_t exif = strings + uint32_t(makeZ.size() + modelZ.size());
  const uint32_t note = exif + 2 + 4 * 12 + 4;
  const std::string blob = makeNote(note);
  Writer t(motorola);  // its header points at ifd0
  t.Put16(3);
  t.Put16(0x010F).Put16(2).Put32(uint32_t(makeZ.size())).Put32(strings);
  t.Put16(0x0110).Put16(2).Put32(uint32_t(modelZ.size())).Put32(strings + uint32_t(makeZ.size()));
  t.Put16(0x8769).Put16(4).Put32(1).Put32(exif);
  t.Put32(0);
  t.Raw(makeZ).Raw(modelZ);
  t.Put16(4);
  t.Put16(0x9000).Put16(7).Put32(4).Raw(exifVersion);
  t.Put16(0x927C).Put16(7).Put32(uint32_t(blob.size())).Put32(note);
  t.Put16(0xA002).Put16(3).Put32(1).Put16(640).Put16(0);
  t.Put16(0xA003).Put16(3).Put32(1).Put16(480).Put16(0);
  t.Put32(0);
  t.Raw(blob);
  return mdtest::JpegWithExif(t.Bytes());
}

std::string Shorts(bool motorola, const std::vector<uint32_t>& values) {
  Writer b(motorola, false);
  for (uint32_t v : values) b.Put16(v);
  return b.Bytes();
}

std::string Rationals(bool motorola, const std::vector<uint32_t>& values) {
  Writer b(motorola, false);
  for (uint32_t v : values) b.Put32(v);
  return b.Bytes();
}

std::string Ascii(const std::string& text) { return text + std::string(1, '\0'); }

}  // namespace

// Every maker-note sample: the raw values equal exiftool's, the texts follow the tables.
TEST(MakerNotes, CorpusFilesAgreeWithExifTool) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_CORPUS("metadata-samples");
  struct Sample {
    const char* file;
    TMakerNoteTable table;
    bool noteMotorola;
  };
  const Sample samples[] = {
      {"Canon.jpg", CanonTable(), false},          {"Casio.jpg", CasioTable(), true},
      {"Casio2.jpg", CasioQvcTable(), true},       {"FujiFilm.jpg", FujifilmTable(), false},
      {"Minolta.jpg", MinoltaTable(), true},       {"Nikon.jpg", NikonDTable(), false},
      {"NikonD2Hs.jpg", NikonDTable(), true},      {"NikonD70.jpg", NikonDTable(), true},
      {"Sanyo.jpg", SanyoTable(), false},
  };
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.file);
    EXPECT_GE(CompareWithExifTool(Corpus(s.file), s.table, s.noteMotorola), 1);
  }
  // Olympus maker notes are not decoded.
  TimgData data(255);
  ASSERT_TRUE(data.ReadFileMetadata(Corpus("Olympus.jpg")));
  EXPECT_FALSE(data.ImageInfo->MakerNoteDecoded);
  EXPECT_EQ(data.ImageInfo->MakerNoteText, "");
}

// The decoders of the samples: Canon's setting arrays by element, Nikon's lens and colour mode.
TEST(MakerNotes, CorpusDecodersAgreeWithExifTool) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_CORPUS("metadata-samples");
  {
    const Values tool = mdtest::ExifToolValues(Corpus("Canon.jpg"));
    TimgData data(255);
    ASSERT_TRUE(data.ReadFileMetadata(Corpus("Canon.jpg")));
    const TImageInfo& info = *data.ImageInfo;
    auto field = [&](const std::string& label) { return Value(info, label, true); };
    const std::map<std::string, std::string> drive = {{"0", "Single"}, {"1", "Continuous"}};
    EXPECT_EQ(field("Drive Mode"), drive.at(Text(tool, "Canon:ContinuousDrive")));
    const std::map<std::string, std::string> easy = {{"0", "Full Auto"}, {"1", "Manual"}, {"2", "Landscape"}};
    EXPECT_EQ(field("Easy Shoot"), easy.at(Text(tool, "Canon:EasyMode")));
    EXPECT_EQ(field("Long focal"), " " + Text(tool, "Canon:MaxFocalLength"));
    EXPECT_EQ(field("Short focal"), " " + Text(tool, "Canon:MinFocalLength"));
    EXPECT_EQ(field("Sequence Number"), " " + Text(tool, "Canon:SequenceNumber"));
    const std::map<std::string, std::string> white = {{"0", "Auto"}, {"1", "Sunny"}, {"2", "Cloudy"}};
    EXPECT_EQ(field("White balance"), white.at(Text(tool, "Canon:WhiteBalance")));
    // The decoders' lines stand before the line of the entry with its value list.
    EXPECT_NE(info.MakerNoteText.find("\r\nDrive Mode = "), std::string::npos);
    EXPECT_NE(info.MakerNoteText.find("\r\nExposureInfo1 = 92, "), std::string::npos);
    TTagEntry owner;
    info.GetTagRecord("OwnerName", owner);
    EXPECT_EQ(owner.Data, "\"" + Text(tool, "Canon:OwnerName") + "\"");
  }
  {
    const Values tool = mdtest::ExifToolValues(Corpus("NikonD70.jpg"));
    TimgData data(255);
    ASSERT_TRUE(data.ReadFileMetadata(Corpus("NikonD70.jpg")));
    const TImageInfo& info = *data.ImageInfo;
    auto value = [&](const std::string& desc) { return Value(info, desc); };
    EXPECT_EQ(value("ISO Speed"), StringReplace(Text(tool, "Nikon:ISO"), " ", ", ", rfReplaceAll));
    ASSERT_EQ(Text(tool, "Nikon:LensType"), "6");
    EXPECT_EQ(value("Lens Type"), "Nikon D series Lens");
    double a, b, c, d;
    ASSERT_EQ(std::sscanf(Text(tool, "Nikon:Lens").c_str(), "%lf %lf %lf %lf", &a, &b, &c, &d), 4);
    EXPECT_EQ(value("Lens Information"), Format("%0.1f-%0.1f(mm)  F%0.1f-F%0.1f", {a, b, c, d}));
    ASSERT_EQ(Trim(Text(tool, "Nikon:ColorHue")), "MODE2");
    EXPECT_EQ(value("Color Mode"), "Mode 2 (Adobe RGB)");
  }
}

// Maker notes that exiftool moved into new files (it fixes their offsets) and changed there.
TEST(MakerNotes, MakerNotesWrittenByExifTool) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_CORPUS("metadata-samples");
  struct Copy {
    const char* file;
    TMakerNoteTable table;
    bool noteMotorola;
    std::vector<std::string> change;
  };
  const Copy copies[] = {
      {"Canon.jpg", CanonTable(), false, {"-Canon:OwnerName=Tester Two"}},
      {"FujiFilm.jpg", FujifilmTable(), false, {"-FujiFilm:Sharpness#=5"}},
      {"NikonD70.jpg", NikonDTable(), true, {"-Nikon:Quality=BASIC", "-Nikon:WhiteBalance=SUNNY"}},
      // A D-series maker note (its own TIFF header) from a camera that writes Exif 2.1.
      {"NikonD2Hs.jpg", NikonDTable(), true, {"-ExifIFD:ExifVersion=0210"}},
      {"Casio2.jpg", CasioQvcTable(), true, {}},
      {"Sanyo.jpg", SanyoTable(), false, {}},
  };
  for (const Copy& c : copies) {
    for (const std::string order : {"II", "MM"}) {
      SCOPED_TRACE(std::string(c.file) + " in a file of order " + order);
      std::vector<std::string> args = {"-TagsFromFile", Corpus(c.file), "-Make", "-Model", "-ExifVersion",
                                       "-MakerNotes", "-ExifByteOrder=" + order};
      const std::string file = mdtest::MakeTaggedJpeg("copied.jpg", args);
      if (!c.change.empty()) {
        std::vector<std::string> edit = {"exiftool", "-q", "-overwrite_original"};
        edit.insert(edit.end(), c.change.begin(), c.change.end());
        edit.push_back(file);
        ASSERT_EQ(testsupport::Run(edit).exitCode, 0);
      }
      EXPECT_GE(CompareWithExifTool(file, c.table, c.noteMotorola), 1);
      TimgData data(255);  // the changed owner as the record shows it
      if (c.file == std::string("Canon.jpg") && data.ReadFileMetadata(file)) {
        EXPECT_EQ(data.ImageInfo->GetTagValue("OwnerName"), "\"Tester Two\"");
      }
    }
  }
}

// A Canon maker note of our own: the settings arrays' fields, a contrast of -1,
// a custom function, a "Skip" entry and an unknown entry.
TEST(MakerNotes, CanonFieldsSkipAndUnknownEntries) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  for (bool motorola : {false, true}) {
    SCOPED_TRACE(motorola ? "MM" : "II");
    std::vector<uint32_t> settings1(33, 0);
    settings1[0] = 66;
    settings1[1] = 1;       // Macro mode: Macro
    settings1[3] = 3;       // Compression: Fine
    settings1[13] = 65535;  // Contrast: -1
    settings1[16] = 17;     // CCD ISO 100
    settings1[23] = 135;
    // Self timer, metering (Evaluative), AF point (Center), exposure mode (Program AE), focus (Continuous).
    for (auto [at, v] : {std::pair{2, 10u}, {17, 3u}, {19, 12291u}, {20, 1u}, {32, 1u}}) settings1[size_t(at)] = v;
    std::vector<uint32_t> settings2(21, 0);
    settings2[7] = 2;       // White balance: Cloudy
    settings2[15] = 65504;  // Flash bias -1 EV
    // The size, slow shutter, sequence number, AF points in focus and distance.
    for (auto [at, v] : {std::pair{0, 42u}, {8, 3u}, {9, 42u}, {14, 12290u}, {19, 250u}}) settings2[size_t(at)] = v;
    const std::string file = mdtest::WriteTemp(
        "canon.jpg", JpegWithMakerNote(motorola, "Canon", "Canon PowerShot S1", "0220", [&](uint32_t at) {
          return MakerIfd(motorola, "", at,
                          {{0x0000, 3, 2, Shorts(motorola, {1, 2})},
                           {0x0001, 3, 33, Shorts(motorola, settings1)},
                           {0x0004, 3, 21, Shorts(motorola, settings2)},
                           {0x0009, 2, 12, Ascii("Owner Three")},
                           {0x000F, 3, 3, Shorts(motorola, {0x0101, 0x0301, 0})},
                           {0x0099, 3, 1, Shorts(motorola, {7})}});
        }));
    const Values tool = mdtest::ExifToolValues(file);
    ASSERT_EQ(Text(tool, "Canon:OwnerName"), "Owner Three");
    ASSERT_EQ(Text(tool, "Canon:Contrast"), "-1");
    ASSERT_EQ(Text(tool, "Canon:MacroMode"), "1");
    TimgData data(255);
    ASSERT_TRUE(data.ReadFileMetadata(file));
    const TImageInfo& info = *data.ImageInfo;
    EXPECT_TRUE(info.MakerNoteDecoded);
    auto field = [&](const std::string& label) { return Value(info, label, true); };
    // Each field reads the element the maker numbers it by, with the maker's words.
    const Values words = mdtest::ExifToolWords(file);
    ASSERT_EQ(Text(words, "Canon:Quality"), "Fine");
    EXPECT_EQ(field("Self Timer"), " " + Text(tool, "Canon:SelfTimer"));
    for (const auto& [label, tag] : {std::pair{"Metering Mode", "MeteringMode"}, {"AF Point", "AFPoint"},
                                     {"Exposure Mode", "CanonExposureMode"}})
      EXPECT_EQ(field(label), Text(words, std::string("Canon:") + tag));
    EXPECT_NE(info.MakerNoteText.find("\r\nFocus Mode = " + Text(words, "Canon:FocusContinuous") + "\r\n"),
              std::string::npos);  // element 32's field, after element 7's of that label
    EXPECT_EQ(field("Sequence Number"), " " + Text(tool, "Canon:SequenceNumber"));
    EXPECT_EQ(field("AF point"), " " + Text(tool, "Canon:AFPointsInFocus"));
    EXPECT_EQ(field("Distance"), " " + std::to_string(std::lround(Number(tool, "Canon:FocusDistanceUpper") * 100)));
    for (const auto& [label, want] : {std::pair{"Contrast", "Low"}, {"CCD ISO", "100"}, {"Long focal", " 135"},
                                      {"White balance", "Cloudy"}, {"Flash bias", "-1 EV"}, {"Noise Reduction", " On"},
                                      {"Mirror Lockup", "Enable"}, {"Macro mode", "Macro"}, {"Compression Rate", "Fine"}})
      EXPECT_EQ(field(label), want) << label;
    EXPECT_NE(info.MakerNoteText.find("\r\nNoise Reduction =  On"), std::string::npos);
    // Skip: neither a line nor a record. Unknown: a line, no record.
    EXPECT_EQ(info.MakerNoteText.find("Skip"), std::string::npos);
    EXPECT_NE(info.MakerNoteText.find("\r\nUnknown = 7"), std::string::npos);
    for (const TTagEntry& t : info.Tags) {
      EXPECT_FALSE(t.Key == 1 && (t.Name == "Skip" || t.Name == "Unknown"));
    }
    // The walk left the Exif data and its byte order as they were.
    EXPECT_EQ(info.Width, 640);
    EXPECT_EQ(info.Height, 480);
    EXPECT_EQ(info.MotorolaOrder, motorola);
  }
}

// The layouts of the other makes, each as exiftool reads it.
TEST(MakerNotes, EveryLayoutReadsAsExifToolReadsIt) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  for (bool motorola : {false, true}) {
    SCOPED_TRACE(motorola ? "Exif in MM" : "Exif in II");
    // Nikon with a TIFF header of its own, in the other byte order than the Exif.
    const bool inner = !motorola;
    const std::string nikon = mdtest::WriteTemp(
        "nikon3.jpg", JpegWithMakerNote(motorola, "NIKON CORPORATION", "NIKON D70", "0221", [&](uint32_t) {
          std::string header = std::string("Nikon\0\x02\x10\0\0", 10) + (inner ? "MM" : "II");
          header += inner ? std::string("\0\x2A\0\0\0\x08", 6) : std::string("\x2A\0\x08\0\0\0", 6);
          return MakerIfd(inner, header, -10,
                          {{0x0002, 3, 2, Shorts(inner, {0, 400})},
                           {0x0004, 2, 8, Ascii("NORMAL ")},
                           {0x0083, 1, 1, std::string(1, '\x0E')},
                           {0x0084, 5, 4, Rationals(inner, {18, 1, 55, 1, 35, 10, 56, 10})}});
        }));
    Values tool = mdtest::ExifToolValues(nikon);
    TimgData data(255);
    ASSERT_TRUE(data.ReadFileMetadata(nikon));
    EXPECT_EQ(Value(*data.ImageInfo, "ISO Speed"), StringReplace(Text(tool, "Nikon:ISO"), " ", ", ", rfReplaceAll));
    EXPECT_EQ(Value(*data.ImageInfo, "Quality"), "\"" + Text(tool, "Nikon:Quality") + " \"");
    EXPECT_EQ(Value(*data.ImageInfo, "Lens Type"), "Nikon G series Lens)");
    EXPECT_EQ(Value(*data.ImageInfo, "Lens Information"), "18.0-55.0(mm)  F3.5-F5.6");
    EXPECT_EQ(Text(tool, "Nikon:Lens"), "18 55 3.5 5.6");

    // Fujifilm: Intel order whatever the file's; the file's order is back after it. Its
    // model text holds a byte behind a zero, which is not part of the text.
    const std::string fuji = mdtest::WriteTemp(
        "fuji.jpg", JpegWithMakerNote(motorola, "FUJIFILM", std::string("FinePix\0F", 9), "0210", [&](uint32_t) {
          return MakerIfd(false, std::string("FUJIFILM\x0C\0\0\0", 12), 0,
                          {{0x0000, 7, 4, "0130"},
                           {0x1001, 3, 1, Shorts(false, {4})},
                           {0x1002, 3, 1, Shorts(false, {512})},
                           {0x1000, 2, 8, Ascii("NORMAL ")}});
        }));
    tool = mdtest::ExifToolValues(fuji);
    ASSERT_TRUE(data.ReadFileMetadata(fuji));
    ASSERT_EQ(Text(tool, "FujiFilm:Sharpness"), "4");
    EXPECT_EQ(Value(*data.ImageInfo, "Sharpness"), "Hard");
    ASSERT_EQ(Text(tool, "FujiFilm:WhiteBalance"), "512");
    EXPECT_EQ(Value(*data.ImageInfo, "WhiteBalance"), "Cloudy");
    EXPECT_EQ(Value(*data.ImageInfo, "Version"), "\"0130\"");
    EXPECT_EQ(data.ImageInfo->MotorolaOrder, motorola);
    EXPECT_EQ(data.ImageInfo->Width, 640);
    EXPECT_EQ(Text(tool, "IFD0:Model"), "FinePix");
    EXPECT_EQ(data.ImageInfo->CameraModel, "FinePix");
    EXPECT_EQ(data.ImageInfo->GetTagValue("Model"), "FinePix");

    // Casio with the "QVC" header; offsets count from the Exif header.
    const std::string casio = mdtest::WriteTemp(
        "casio.jpg", JpegWithMakerNote(motorola, "CASIO COMPUTER CO.,LTD", "EX-Z3", "0220", [&](uint32_t at) {
          return MakerIfd(motorola, std::string("QVC\0\0\0", 6), at,
                          {{0x0002, 3, 2, Shorts(motorola, {320, 240})},
                           {0x3001, 3, 1, Shorts(motorola, {1})},
                           {0x3006, 2, 9, Ascii("New York")},
                           {0x3014, 3, 1, Shorts(motorola, {64})}});
        }));
    tool = mdtest::ExifToolValues(casio);
    ASSERT_TRUE(data.ReadFileMetadata(casio));
    EXPECT_EQ(Value(*data.ImageInfo, "Thumbnail Dimensions"),
              StringReplace(Text(tool, "Casio:PreviewImageSize"), " ", ", ", rfReplaceAll));
    ASSERT_EQ(Text(tool, "Casio:ReleaseMode"), "1");
    EXPECT_EQ(Value(*data.ImageInfo, "Self Timer"), "On");
    EXPECT_EQ(Value(*data.ImageInfo, "Time Zone"), "\"" + Text(tool, "Casio:HometownCity") + "\"");
    EXPECT_EQ(Value(*data.ImageInfo, "CCD Sensitivity"), Text(tool, "Casio:ISO"));

    // Casio without a header, Canon-style offsets.
    const std::string casio1 = mdtest::WriteTemp(
        "casio1.jpg", JpegWithMakerNote(motorola, "CASIO", "QV-3000EX", "0210", [&](uint32_t at) {
          return MakerIfd(motorola, "", at,
                          {{0x0001, 3, 1, Shorts(motorola, {4})}, {0x0004, 3, 1, Shorts(motorola, {2})},
                           {0x0008, 3, 1, Shorts(motorola, {1})}});
        }));
    tool = mdtest::ExifToolValues(casio1);
    ASSERT_TRUE(data.ReadFileMetadata(casio1));
    ASSERT_EQ(Text(tool, "Casio:RecordingMode"), "4");
    EXPECT_EQ(Value(*data.ImageInfo, "RecordingMode"), "Portrait");
    EXPECT_EQ(Value(*data.ImageInfo, "FlashMode"), "On");

    // Sanyo and Epson: an 8-byte header; Minolta: none.
    for (const std::string make : {"SANYO Electric Co.,Ltd.", "SEIKO EPSON CORP."}) {
      const std::string header = make[1] == 'A' ? "SANYO" : "SEIKO";
      const std::string file = mdtest::WriteTemp(
          "eight.jpg", JpegWithMakerNote(motorola, make, "Model", "0220", [&](uint32_t at) {
            return MakerIfd(motorola, header + std::string("\0\x01\0", 3), at,
                            {{0x0201, 3, 1, Shorts(motorola, {2})}, {0x0202, 3, 1, Shorts(motorola, {1})}});
          }));
      tool = mdtest::ExifToolValues(file);
      ASSERT_TRUE(data.ReadFileMetadata(file));
      EXPECT_TRUE(data.ImageInfo->MakerNoteDecoded);
      EXPECT_EQ(Value(*data.ImageInfo, "JpegQuality"), "2");
      EXPECT_EQ(Value(*data.ImageInfo, "Macro"), "1");
      if (header == "SANYO") {
        EXPECT_EQ(Text(tool, "Sanyo:Macro"), "1");
      }
    }
    const std::string minolta = mdtest::WriteTemp(
        "minolta.jpg", JpegWithMakerNote(motorola, "Minolta Co., Ltd.", "DiMAGE", "0220", [&](uint32_t at) {
          return MakerIfd(motorola, "", at, {{0x0000, 7, 4, "MLT0"}});
        }));
    ASSERT_TRUE(data.ReadFileMetadata(minolta));
    EXPECT_EQ(Value(*data.ImageInfo, "ModelID"), "\"MLT0\"");
    tool = mdtest::ExifToolValues(minolta);
    EXPECT_EQ(Text(tool, "Minolta:MakerNoteVersion"), "MLT0");

    // Olympus and other makes: nothing decoded.
    for (const std::string make : {"OLYMPUS OPTICAL CO.,LTD", "Acme"}) {
      const std::string file = mdtest::WriteTemp(
          "other.jpg", JpegWithMakerNote(motorola, make, "X", "0220", [&](uint32_t at) {
            return MakerIfd(motorola, std::string("OLYMP\0\x01\0", 8), at, {{0x0200, 3, 1, Shorts(motorola, {1})}});
          }));
      ASSERT_TRUE(data.ReadFileMetadata(file));
      EXPECT_FALSE(data.ImageInfo->MakerNoteDecoded);
      EXPECT_EQ(data.ImageInfo->MakerNoteText, "");
    }
  }
}

// Maker notes that are not what their make promises: no crash, no hang, bounded work.
TEST(MakerNotes, HostileMakerNotesEndSafely) {
  KIVO2_REQUIRE_TOOL("convert");
  for (bool motorola : {false, true}) {
    // A count far beyond the maker note: nothing decoded.
    std::string file = mdtest::WriteTemp(
        "count.jpg", JpegWithMakerNote(motorola, "Canon", "X", "0220", [&](uint32_t) {
          return Writer(motorola, false).Put16(60000).Bytes() + std::string(40, '\x01');
        }));
    TimgData data(255);
    ASSERT_TRUE(data.ReadFileMetadata(file));
    EXPECT_FALSE(data.ImageInfo->MakerNoteDecoded);
    EXPECT_EQ(data.ImageInfo->MakerNoteText, "");
    EXPECT_EQ(data.ErrStr, "<none>");

    // Offsets before, beyond and across the ends of the data, huge counts.
    file = mdtest::WriteTemp("offsets.jpg", JpegWithMakerNote(motorola, "Canon", "X", "0220", [&](uint32_t) {
                               Writer b(motorola, false);
                               b.Put16(5);
                               b.Put16(0x0001).Put16(3).Put32(0xFFFFFFF0u).Put32(0x7FFFFFF0u);
                               b.Put16(0x0004).Put16(5).Put32(1000).Put32(0xFFFFFF00u);
                               b.Put16(0x0006).Put16(2).Put32(64).Put32(60);
                               b.Put16(0x0007).Put16(12).Put32(0x20000000).Put32(4);
                               b.Put16(0x0009).Put16(99).Put32(5).Put32(0);
                               b.Put32(0);
                               return b.Bytes();
                             }));
    ASSERT_TRUE(data.ReadFileMetadata(file));
    EXPECT_TRUE(data.ImageInfo->MakerNoteDecoded);
    for (const TTagEntry& t : data.ImageInfo->Tags) EXPECT_LE(t.Raw.size(), 65536u);

    // A maker note of many small entries inside a TIFF window: the read's budget stops it.
    mdtest::TiffWriter w(motorola);
    const uint32_t entries = 20000;
    const uint32_t exif = 8 + 2 + 3 * 12 + 4, note = exif + 2 + 12 + 4, noteSize = 2 + 12 * entries + 4;
    w.Put16(3);
    w.Entry(0x010F, 2, 6, note + noteSize);                    // "NIKON"
    w.Entry(0x0110, 2, 3, motorola ? 0x45370000 : 0x00003745);  // "E7": no D-series layout
    w.Entry(0x8769, 4, 1, exif);
    w.Put32(0);
    w.Put16(1);
    w.Entry(0x927C, 7, noteSize, note);
    w.Put32(0);
    w.Put16(entries);
    for (uint32_t i = 0; i < entries; ++i) w.Entry(0x0002, 3, 2, 0);
    w.Put32(0);
    w.Bytes() += std::string("NIKON\0", 6);
    const std::string tiff = mdtest::WriteTemp("many.nef", w.Bytes());
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(data.ReadFileMetadata(tiff));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(data.ErrStr, "Too many Exif tags; the rest was not read");
    EXPECT_LE(data.ImageInfo->TagCount(), int(TReadBudget::kMaxRecords));
  }
}
