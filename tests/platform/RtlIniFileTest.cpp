// TIniFile: Windows ini semantics (names without case, trimmed values, one pair of
// quotes removed, no escapes), rewrites that keep untouched lines, and saves that are
// atomic and report failure. Python's configparser reads what we write.
#include "RtlTestHelpers.h"
#include "platform/rtl/IniFiles.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempPath;
using testsupport::WriteFile;

TEST(RtlIniFile, ReadsWindowsIniSemantics) {
  std::string f = TempPath("Kivo2_usb.ini");
  WriteFile(f,
            "; settings\r\n"
            "[U3]\r\n"
            "  LastPath = :\\Photos\\2004  \r\n"
            "Title=\"  quoted  \"\r\n"
            "Single='x'\r\n"
            "Half=\"open\r\n"
            "Eq=a=b=c\r\n"
            "Empty=\r\n"
            "no equals sign here\r\n"
            "Hex=0x1F\r\n"
            "Bad=12abc\r\n"
            "Neg= -5\r\n"
            "Bool2=2\r\n"
            "Name=caf\xE9\r"  // not UTF-8 (kept as bytes beside a drive path) and a lone CR
            "[Other]\n"
            "LastPath=elsewhere\n");
  TIniFile ini(f);
  EXPECT_EQ(ini.ReadString("u3", "LASTPATH", "d"), ":\\Photos\\2004");
  EXPECT_EQ(ini.ReadString("U3", "Title", "d"), "  quoted  ");
  EXPECT_EQ(ini.ReadString("U3", "Single", "d"), "x");
  EXPECT_EQ(ini.ReadString("U3", "Half", "d"), "\"open");
  EXPECT_EQ(ini.ReadString("U3", "Eq", "d"), "a=b=c");
  EXPECT_EQ(ini.ReadString("U3", "Empty", "d"), "");
  EXPECT_EQ(ini.ReadString("U3", "Missing", "d"), "d");
  EXPECT_EQ(ini.ReadString("Nosection", "LastPath", "d"), "d");
  EXPECT_EQ(ini.ReadString("Other", "LastPath", "d"), "elsewhere");
  EXPECT_EQ(ini.ReadString("U3", "Name", ""), "caf\xE9");
  EXPECT_EQ(ini.ReadInteger("U3", "Hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("U3", "Bad", 7), 7);
  EXPECT_EQ(ini.ReadInteger("U3", "Neg", 7), -5);
  EXPECT_EQ(ini.ReadInteger("U3", "Empty", 7), 7);
  EXPECT_TRUE(ini.ReadBool("U3", "Bool2", false));
  EXPECT_TRUE(ini.ReadBool("U3", "Bad", true));
  EXPECT_FALSE(ini.ReadBool("U3", "Bad", false));
  EXPECT_TRUE(ini.ValueExists("u3", "empty"));
  EXPECT_FALSE(ini.ValueExists("u3", "no equals sign here"));
  EXPECT_TRUE(ini.SectionExists("other"));
  TStringList keys;
  ini.ReadSection("U3", keys);
  EXPECT_EQ(keys.Count(), 11);
  EXPECT_EQ(keys[0], "LastPath");
  ini.ReadSections(keys);
  EXPECT_EQ(keys.CommaText(), "U3,Other");
  ini.ReadSectionValues("Other", keys);
  EXPECT_EQ(keys.Text(), "LastPath=elsewhere\r\n");
  TIniFile missing(TempPath("none.ini"));
  EXPECT_EQ(missing.ReadInteger("a", "b", 3), 3);
  EXPECT_FALSE(missing.SectionExists("a"));
}

TEST(RtlIniFile, WritesKeepEveryUntouchedLine) {
  std::string f = TempPath("keep.ini");
  WriteFile(f, "; top comment\n[Main]\nA=1\n; inner\nb = 2\n\n[Second]\nX=y\n");
  TIniFile ini(f);
  ini.WriteInteger("main", "B", 3);  // the key keeps its spelling
  ini.WriteString("Main", "New", "v");
  ini.WriteBool("Third", "On", true);
  EXPECT_EQ(ReadFile(f),
            "; top comment\r\n[Main]\r\nA=1\r\n; inner\r\nb=3\r\nNew=v\r\n\r\n[Second]\r\nX=y\r\n[Third]\r\nOn=1\r\n");
  ini.DeleteKey("MAIN", "a");
  ini.EraseSection("second");
  ini.DeleteKey("Main", "nothing");
  EXPECT_EQ(ReadFile(f), "; top comment\r\n[Main]\r\n; inner\r\nb=3\r\nNew=v\r\n\r\n[Third]\r\nOn=1\r\n");
}

TEST(RtlIniFile, OddValuesRoundTrip) {
  std::string f = TempPath("odd.ini");
  // Trailing to Single: values that a plain "name=value" line would not give back (reading
  // trims the blanks around a value and removes one pair of surrounding quotes).
  const std::pair<std::string, std::string> texts[] = {
      {"Path", "C:\\Program Files\\Kivo\\"}, {"Eq", "a=b"}, {"Quotes", "say \"hi\""},
      {"Utf8", "\xE2\x82\xAC \xC3\xA9"}, {"Empty", ""}, {"Semi", ";not a comment"}, {"Trailing", "cam "},
      {"Leading", "  x"}, {"Quoted", "\"a b\""}, {"Single", "'c'"}};
  {
    TIniFile ini(f);
    for (const auto& [name, value] : texts) ini.WriteString("S", name, value);
    ini.WriteString("S", "Lines", "one\r\ntwo");  // a line break cannot split the file
    ini.WriteFloat("S", "F", 2.5);
    ini.WriteDateTime("S", "When", EncodeDateTime(2004, 3, 5, 7, 8, 9, 0));
    ini.WriteInteger("S", "Int", -42);
  }
  const std::string text = ReadFile(f);
  EXPECT_NE(text.find("\r\nTrailing=\"cam \"\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nQuoted=\"\"a b\"\"\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nPath=C:\\Program Files\\Kivo\\\r\n"), std::string::npos) << text;
  TIniFile ini(f);
  for (const auto& [name, value] : texts) EXPECT_EQ(ini.ReadString("s", LowerCase(name), "d"), value) << name;
  EXPECT_EQ(ini.ReadString("s", "lines", ""), "one  two");
  EXPECT_DOUBLE_EQ(ini.ReadFloat("s", "f", 0), 2.5);
  EXPECT_DOUBLE_EQ(ini.ReadDateTime("s", "when", 0), EncodeDateTime(2004, 3, 5, 7, 8, 9, 0));
  EXPECT_EQ(ini.ReadInteger("s", "int", 0), -42);
  TStringList keys;
  ini.ReadSection("S", keys);
  EXPECT_EQ(keys.Count(), 14);
}

// Another ini reader sees the same values in the file we wrote.
TEST(RtlIniFile, PythonConfigParserReadsOurFile) {
  KIVO2_REQUIRE_TOOL("/usr/bin/python3");
  std::string f = TempPath("py.ini");
  {
    TIniFile ini(f);
    ini.WriteString("U3", "LastPath", ":\\Photos\\2004");
    ini.WriteInteger("U3", "Delay", 1500);
    ini.WriteBool("U3", "Smooth Stretch", false);
    ini.WriteString("Other", "Name", "caf\xC3\xA9 a=b");
  }
  auto r = testsupport::Run(
      {"/usr/bin/python3", "-c",
       "import configparser,sys\n"
       "c=configparser.ConfigParser(interpolation=None)\n"
       "c.read(sys.argv[1],encoding='utf-8')\n"
       "print(c['U3']['lastpath']);print(c['U3']['delay']);print(c['U3']['smooth stretch']);print(c['Other']['name'])",
       f});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, ":\\Photos\\2004\n1500\n0\ncaf\xC3\xA9 a=b\n");
}

TEST(RtlIniFile, TwoObjectsSeeEachOthersWrites) {
  std::string f = TempPath("shared.ini");
  TIniFile a(f), b(f);
  a.WriteString("S", "K", "from a");
  EXPECT_EQ(b.ReadString("S", "K", ""), "from a");
  b.WriteString("S", "K2", "from b");
  EXPECT_EQ(a.ReadString("S", "K2", ""), "from b");
  EXPECT_EQ(a.ReadString("S", "K", ""), "from a");
  WriteFile(f, "[S]\r\nK=edited\r\n");  // an edit by another program
  EXPECT_EQ(a.ReadString("S", "K", ""), "edited");
}

TEST(RtlIniFile, AFailedSaveRaisesAndLeavesTheFile) {
  std::string dir = TempPath("inidir");
  ASSERT_TRUE(CreateDir(dir));
  std::string f = dir + "/settings.ini";
  WriteFile(f, "[S]\r\nK=old\r\n");
  TIniFile ini(f);
  {
    rtltest::FileSizeLimit limit(64);
    EXPECT_THROW(ini.WriteString("S", "Big", std::string(500, 'x')), EIniFileException);
  }
  EXPECT_EQ(ReadFile(f), "[S]\r\nK=old\r\n");
  EXPECT_EQ(rtltest::ListFolder(dir), "settings.ini\n");
  EXPECT_FALSE(ini.ValueExists("S", "Big"));  // our view is the file's again
  TIniFile nowhere(TempPath("no/such/folder.ini"));
  EXPECT_THROW(nowhere.WriteInteger("S", "K", 1), EIniFileException);
}

TEST(RtlIniFile, AnUpdateSavesItsWritesOnceAtItsEnd) {
  std::string f = TempPath("batch.ini");
  WriteFile(f, "[S]\r\nK=old\r\n");
  TIniFile ini(f);
  ini.BeginUpdate();
  ini.WriteString("S", "K", "new");
  ini.BeginUpdate();
  for (int i = 0; i < 50; ++i) ini.WriteInteger("S", "N" + IntToStr(i), i);
  ini.EndUpdate();
  // Nothing reached the file yet, but this object reads its own writes.
  EXPECT_EQ(ReadFile(f), "[S]\r\nK=old\r\n");
  EXPECT_EQ(ini.ReadString("S", "K", ""), "new");
  EXPECT_EQ(ini.ReadInteger("S", "N49", -1), 49);
  ini.EndUpdate();
  std::string text = ReadFile(f);
  EXPECT_EQ(text.rfind("[S]\r\nK=new\r\nN0=0\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("N49=49\r\n"), std::string::npos);
  // A failing save at the end raises and leaves the file as it was.
  ini.BeginUpdate();
  ini.WriteString("S", "Big", std::string(5000, 'x'));
  {
    rtltest::FileSizeLimit limit(text.size() + 10);
    EXPECT_THROW(ini.EndUpdate(), EIniFileException);
  }
  EXPECT_EQ(ReadFile(f), text);
  EXPECT_FALSE(ini.ValueExists("S", "Big"));
}

}  // namespace
