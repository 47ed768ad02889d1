// The IPTC reader against exiftool: every dataset of the table written by exiftool
// reads back as exiftool reads it (repeated keywords, a caption of the largest
// length, texts in Latin-1 and in UTF-8), the lines the EXIF window shows, the
// names of datasets the table lacks, and APP13 segments that lie about their
// datasets. Also the dataset list's operations and MergeList.
#include <chrono>
#include <filesystem>

#include "MetadataTestUtil.h"
#include "metadata/ExifData.h"
#include "metadata/IptcData.h"
#include "platform/rtl/Classes.h"

namespace {

const std::string kSeparator = "|#|";

// exiftool's IPTC datasets of a file: dataset number, exiftool's name, and the
// values (a repeated dataset gives several), in exiftool's order.
struct ToolDataset {
  int number = 0;
  std::string name;
  std::vector<std::string> values;
};

std::vector<ToolDataset> ExifToolIptc(const std::string& file) {
  auto r = testsupport::Run({"exiftool", "-IPTC:all", "-n", "-G1", "-a", "-s", "-D", "-sep", kSeparator, file});
  std::vector<ToolDataset> out;
  mdtest::ForEachLine(r.out, [&out](const std::string& line) {
    // "[IPTC]  25 Keywords  : a|#|b"
    const size_t close = line.find(']'), colon = line.find(" : ");
    if (close == std::string::npos || colon == std::string::npos) return;
    std::string left = Trim(line.substr(close + 1, colon - close - 1));
    ToolDataset d;
    d.number = std::stoi(left.substr(0, left.find(' ')));
    d.name = Trim(left.substr(left.find(' ')));
    std::string value = line.substr(colon + 3);
    for (size_t at; (at = value.find(kSeparator)) != std::string::npos; value.erase(0, at + kSeparator.size()))
      d.values.push_back(value.substr(0, at));
    d.values.push_back(value);
    out.push_back(d);
  });
  return out;
}

// Dates and times as the datasets hold them: exiftool shows them with colons.
std::string StoredForm(int number, const std::string& value) {
  static const std::set<int> kDateTime = {30, 35, 37, 38, 47, 55, 60, 62, 63};
  return kDateTime.count(number) ? StringReplace(value, ":", "", rfReplaceAll) : value;
}

const TTagEntry* TableRow(int record, int number) {
  for (const TTagEntry& row : IptcDatasetTable())
    if (row.Record == record && row.Tag == number) return &row;
  return nullptr;
}

// An APP13 segment's data (length bytes first) from the bytes after "Photoshop 3.0\0".
std::string App13(const std::string& resources) {
  const std::string payload = std::string("Photoshop 3.0\0", 14) + resources;
  const size_t length = payload.size() + 2;
  return std::string{char(length >> 8), char(length & 0xFF)} + payload;
}

// A resource block; its name a Pascal string padded to an even length.
std::string Resource(uint16_t id, const std::string& data, const std::string& name = "") {
  std::string r = "8BIM";
  r += {char(id >> 8), char(id & 0xFF), char(name.size())};
  r += name + std::string(name.size() % 2 ? 0 : 1, '\0');
  const uint32_t n = uint32_t(data.size());
  r += {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
  r += data;
  if (data.size() % 2) r += '\0';
  return r;
}

std::string Dataset(uint8_t record, uint8_t number, const std::string& data) {
  return std::string{'\x1C', char(record), char(number), char(data.size() >> 8), char(data.size() & 0xFF)} + data;
}

}  // namespace

TEST(Iptc, EveryDatasetWrittenByExifToolReadsBack) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string caption(2000, 'c');
  const std::vector<std::string> args = {
      "-IPTC:ObjectTypeReference=1:News", "-IPTC:ObjectAttributeReference=001:Current",
      "-IPTC:ObjectName=Harbour at dawn", "-IPTC:EditStatus=Final", "-IPTC:EditorialUpdate#=01", "-IPTC:Urgency=5",
      "-IPTC:SubjectReference=IPTC:01000000", "-IPTC:Category=ART", "-IPTC:SupplementalCategories=boats",
      "-IPTC:SupplementalCategories=sea", "-IPTC:FixtureIdentifier=fixture", "-IPTC:Keywords=harbour",
      "-IPTC:Keywords=dawn", "-IPTC:Keywords=Delft", "-IPTC:ContentLocationCode=NLD",
      "-IPTC:ContentLocationName=Netherlands", "-IPTC:ReleaseDate=2024:01:02", "-IPTC:ReleaseTime=10:11:12+01:00",
      "-IPTC:ExpirationDate=2025:03:04", "-IPTC:ExpirationTime=13:14:15+00:00", "-IPTC:SpecialInstructions=None",
      "-IPTC:ActionAdvised#=02", "-IPTC:ReferenceService=svc", "-IPTC:ReferenceDate=2023:05:06",
      "-IPTC:ReferenceNumber=42", "-IPTC:DateCreated=2004:05:06", "-IPTC:TimeCreated=07:08:09+02:00",
      "-IPTC:DigitalCreationDate=2004:05:07", "-IPTC:DigitalCreationTime=08:09:10+02:00",
      "-IPTC:OriginatingProgram=Kivo2 test", "-IPTC:ProgramVersion=2.0", "-IPTC:ObjectCycle#=a",
      "-IPTC:By-line=Photographer", "-IPTC:By-lineTitle=Staff", "-IPTC:City=Delft", "-IPTC:Sub-location=Centre",
      "-IPTC:Province-State=Zuid-Holland", "-IPTC:Country-PrimaryLocationCode=NLD",
      "-IPTC:Country-PrimaryLocationName=Netherlands", "-IPTC:OriginalTransmissionReference=ref",
      "-IPTC:Headline=A headline", "-IPTC:Credit=Credit line", "-IPTC:Source=Source line",
      "-IPTC:CopyrightNotice=(c) nobody", "-IPTC:Contact=Contact line", "-IPTC:Caption-Abstract=" + caption,
      "-IPTC:Writer-Editor=Writer", "-IPTC:ImageType=2C", "-IPTC:ImageOrientation=L",
      "-IPTC:LanguageIdentifier=nl"};
  for (bool utf8 : {false, true}) {
    SCOPED_TRACE(utf8 ? "UTF-8 texts" : "Latin-1 texts");
    std::vector<std::string> all = args;
    all.push_back("-IPTC:Keywords=Ærø");
    all.push_back("-IPTC:Sub-location=Côte d'Azur");
    if (utf8) all.insert(all.begin(), {"-charset", "iptc=UTF8", "-IPTC:CodedCharacterSet=UTF8"});
    const std::string file = mdtest::MakeTaggedJpeg("iptc.jpg", all);
    const std::vector<ToolDataset> tool = ExifToolIptc(file);
    ASSERT_GE(tool.size(), 45u);

    TimgData data(255);
    ASSERT_TRUE(data.ReadFileMetadata(file));
    ASSERT_NE(data.IptcSegment, nullptr);
    ASSERT_NE(data.IptcData, nullptr);
    TIPTCdata& iptc = *data.IptcData;
    const std::vector<std::string> lines = iptc.IptcLines(data.IptcSegment->Data);
    iptc.ParseIptc(data.IptcSegment->Data);

    int compared = 0;
    for (const ToolDataset& d : tool) {
      if (d.name == "CodedCharacterSet" || d.name == "EnvelopeRecordVersion") continue;  // record 1
      SCOPED_TRACE(d.name);
      const TTagEntry* row = TableRow(2, d.number);
      ASSERT_NE(row, nullptr);
      if (row->Name == "SKIP") {
        // The record version has no name of its own: "Custom_0", two bytes.
        const int i = iptc.FindDataset("Custom_0");
        ASSERT_GE(i, 0);
        const std::string& raw = iptc.Dataset(i).Data;
        ASSERT_EQ(raw.size(), 2u);
        EXPECT_EQ(std::to_string((uint8_t(raw[0]) << 8) | uint8_t(raw[1])), d.values[0]);
        continue;
      }
      ++compared;
      // One line per dataset, in the order of the data, shown as the window shows it.
      std::vector<std::string> ours;
      for (const std::string& line : lines)
        if (line.rfind(row->Desc + " = ", 0) == 0) ours.push_back(TextFromBytes(line.substr(row->Desc.size() + 3)));
      ASSERT_EQ(ours.size(), d.values.size());
      for (size_t k = 0; k < ours.size(); ++k) EXPECT_EQ(ours[k], StoredForm(d.number, d.values[k]));
      // The list: one record per name, repeated datasets merged into comma text.
      std::string value;
      iptc.ReadDataset(row->Name, "(none)", value);
      if (IsRepeatableDataset(d.number)) {
        TStringList items;
        items.SetCommaText(value);
        ASSERT_EQ(items.Count(), int(d.values.size()));
        for (int k = 0; k < items.Count(); ++k) EXPECT_EQ(TextFromBytes(items.Strings(k)), d.values[size_t(k)]);
      } else {
        EXPECT_EQ(TextFromBytes(value), StoredForm(d.number, d.values[0]));
      }
    }
    EXPECT_GE(compared, 45);
    std::string read;
    iptc.ReadDataset("ImageCaption", "", read);
    EXPECT_EQ(read, caption);
  }
}

TEST(Iptc, CorpusFile) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_CORPUS("metadata-samples");
  const std::string file = testsupport::CorpusDir() + "/metadata-samples/IPTC.jpg";
  const std::vector<ToolDataset> tool = ExifToolIptc(file);
  TimgData data(255);
  ASSERT_TRUE(data.ReadFileMetadata(file));
  ASSERT_NE(data.IptcSegment, nullptr);
  const std::vector<std::string> lines = data.IptcData->IptcLines(data.IptcSegment->Data);
  int compared = 0;
  for (const ToolDataset& d : tool) {
    const TTagEntry* row = TableRow(2, d.number);
    if (!row || row->Name == "SKIP" || d.name == "CodedCharacterSet") continue;
    for (const std::string& v : d.values) {
      const std::string expected = row->Desc + " = " + StoredForm(d.number, v);
      bool found = false;
      for (size_t k = 0; k < lines.size() && !found; ++k) found = TextFromBytes(lines[k]) == expected;
      EXPECT_TRUE(found) << expected;
      ++compared;
    }
  }
  EXPECT_GE(compared, 5);
}

// Datasets the table lacks, the record version, an envelope dataset, and datasets
// found only inside the IPTC resource.
TEST(Iptc, NamesOfDatasetsAndWhereTheyAreFound) {
  const std::string iptcData = Dataset(1, 90, "\x1B%G") + Dataset(2, 0, std::string("\0\x04", 2)) +
                               Dataset(2, 25, "one") + Dataset(2, 25, "two words") + Dataset(2, 200, "extra") +
                               Dataset(8, 10, "ab");
  // A thumbnail resource before the IPTC resource holds a byte pair that looks like a
  // dataset; both resources have names, of an odd and an even length.
  const std::string thumbnail = std::string(10, 'x') + "\x1C\x02\x05\x00\x04junk" + std::string(10, 'y');
  const std::string data = App13(Resource(0x0409, thumbnail, "Thumb") + Resource(0x0404, iptcData, "IPTC-NAA"));
  TIPTCdata iptc(nullptr);
  EXPECT_EQ(iptc.IptcLines(data),
            (std::vector<std::string>{"Custom_0 = " + std::string("\0\x04", 2), "Keywords = one",
                                      "Keywords = two words", "Custom_200 = extra", "Subfile = ab"}));
  iptc.ParseIptc(data);
  EXPECT_EQ(iptc.FindDataset("ObjectName"), -1);  // the thumbnail's bytes are not a dataset
  std::string keywords;
  iptc.ReadDataset("Keywords", "", keywords);
  // The merge splits a keyword at its blank (the items of a comma text).
  EXPECT_EQ(keywords, "one,two,words");
  ASSERT_GE(iptc.FindDataset("Custom_200"), 0);
  EXPECT_EQ(iptc.Dataset(iptc.FindDataset("Custom_200")).Tag, 200);
  EXPECT_EQ(iptc.Dataset(iptc.FindDataset("Custom_200")).Size, 64);
  EXPECT_EQ(iptc.Dataset(iptc.FindDataset("Subfile")).Record, 8);
  EXPECT_EQ(iptc.Count(), 4);

  // Without resource blocks: the datasets after the signature.
  TIPTCdata plain(nullptr);
  EXPECT_EQ(plain.IptcLines(std::string("\0\0", 2) + "Photoshop 3.0" + Dataset(2, 90, "Delft")),
            (std::vector<std::string>{"City = Delft"}));
}

// Lengths past the end, a chain whose next marker is missing, and huge numbers of
// tiny datasets: the reading ends at the data's end, at the broken link, at the budget.
TEST(Iptc, LyingSegmentsEndSafely) {
  TIPTCdata iptc(nullptr);
  // The last dataset claims more bytes than there are: cut at the end.
  std::string data = App13(Resource(0x0404, Dataset(2, 90, "Delft") + Dataset(2, 120, "short")));
  data.resize(data.size() - 2);
  data[data.size() - 1] = 'x';
  EXPECT_EQ(iptc.IptcLines(data).size(), 2u);
  // A dataset followed by something else than the next marker ends the reading.
  std::string broken = Dataset(2, 90, "Delft") + "Z" + Dataset(2, 92, "Centre").substr(1);
  EXPECT_EQ(iptc.IptcLines(App13(Resource(0x0404, broken))), (std::vector<std::string>{"City = Delft"}));
  // A resource size beyond the data: the plain search, bounded by the data.
  std::string lying = App13(Resource(0x0404, Dataset(2, 90, "Delft")));
  lying[2 + 14 + 4 + 2 + 2 + 3] = '\x7F';
  EXPECT_EQ(iptc.IptcLines(lying), (std::vector<std::string>{"City = Delft"}));
  // 30000 empty datasets: the read's budget ends them.
  std::string many;
  for (int i = 0; i < 30000; ++i) many += Dataset(2, 25, "");
  TimgData owner(255);
  TIPTCdata counted(&owner);
  const auto started = std::chrono::steady_clock::now();
  counted.ParseIptc(App13(Resource(0x0404, many)));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_EQ(owner.ErrStr, "Too many Exif entries; the rest was not read");
  EXPECT_LE(counted.Count(), 1);
  // Nothing at all.
  EXPECT_TRUE(iptc.IptcLines("").empty());
  EXPECT_TRUE(iptc.IptcLines(std::string(3, '\x1C')).empty());
}

TEST(Iptc, ThousandsOfKeywordsMergeQuickly) {
  // 8000 keyword datasets (one more differs from the first only by case) and a
  // supplemental category of 10000 items in one dataset: each value is merged once,
  // not compared with every item before it.
  std::string datasets, expectedKeywords, categories;
  for (int i = 0; i < 8000; ++i) {
    const std::string keyword = "k" + std::to_string(i);
    datasets += Dataset(2, 25, keyword);
    expectedKeywords += (i ? "," : "") + keyword;
  }
  datasets += Dataset(2, 25, "K0");
  for (int i = 0; i < 10000; ++i) categories += (i ? "," : "") + ("s" + std::to_string(i));
  ASSERT_LT(categories.size(), 65536u);
  datasets += Dataset(2, 20, categories);
  TimgData owner(255);
  TIPTCdata iptc(&owner);
  const auto started = std::chrono::steady_clock::now();
  iptc.ParseIptc(App13(Resource(0x0404, datasets)));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  ASSERT_EQ(iptc.Count(), 2);
  std::string keywords, supplemental;
  iptc.ReadDataset("Keywords", "", keywords);
  iptc.ReadDataset("SuppCategory", "", supplemental);
  EXPECT_EQ(keywords, expectedKeywords);
  EXPECT_EQ(supplemental, categories);
}

TEST(Iptc, ListOperationsAndMergeList) {
  TIPTCdata iptc(nullptr);
  EXPECT_EQ(iptc.AddDataset("city", "Delft"), 0);
  EXPECT_EQ(iptc.Dataset(0).Name, "City");
  EXPECT_EQ(iptc.Dataset(0).Tag, 90);
  EXPECT_EQ(iptc.AddDataset("City", ""), 0);  // an empty value leaves the value
  EXPECT_EQ(iptc.Dataset(0).Data, "Delft");
  EXPECT_EQ(iptc.AddDataset("NoSuchName", "x"), -1);
  EXPECT_EQ(iptc.WriteDataset("Keywords", "a"), 1);
  EXPECT_EQ(iptc.WriteDataset("KEYWORDS", "B,\"c d\""), 1);
  EXPECT_EQ(iptc.Dataset(1).Data, "a,B,\"c d\"");
  EXPECT_EQ(iptc.WriteDataset("Keywords", "b"), 1);  // present but for case
  EXPECT_EQ(iptc.Dataset(1).Data, "a,B,\"c d\"");
  EXPECT_EQ(iptc.WriteDataset("City", "Leiden"), 0);
  EXPECT_EQ(iptc.Dataset(0).Data, "Leiden");
  EXPECT_EQ(iptc.WriteDataset("Nothing", "x"), -1);
  std::string value;
  iptc.ReadDataset("Headline", "none", value);
  EXPECT_EQ(value, "none");
  iptc.RemoveDataset("city");
  EXPECT_EQ(iptc.Count(), 1);
  EXPECT_EQ(iptc.Dataset(0).Name, "Keywords");
  EXPECT_EQ(MergeList("", "one two"), "one,two");
  EXPECT_EQ(MergeList("a", " A , \"b,c\""), "a,\"b,c\"");
  EXPECT_EQ(IptcDatasetTable().size(), 49u);
}

TEST(Iptc, ReadFileKeepsTheListItsRecordOwns) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string first = mdtest::MakeTaggedJpeg("first.jpg", {"-IPTC:City=Delft", "-IPTC:Keywords=a"});
  const std::string second = mdtest::MakeTaggedJpeg("second.jpg", {"-IPTC:City=Leiden"});
  TimgData data(255);
  ASSERT_TRUE(data.ReadFileMetadata(first));
  TIPTCdata* list = data.IptcData.get();
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(list->ReadFile(second));
  EXPECT_EQ(data.IptcData.get(), list);
  std::string city;
  list->ReadDataset("City", "", city);
  EXPECT_EQ(city, "Leiden");
  EXPECT_EQ(list->FindDataset("Keywords"), -1);
  EXPECT_FALSE(list->ReadFile(mdtest::MakeTaggedJpeg("none.jpg", {"-Make=Acme"})));
  EXPECT_FALSE(list->HasData());
}
