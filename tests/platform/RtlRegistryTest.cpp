// TRegistry: the .reg file format written byte for byte as the Windows export has it,
// read back with its escapes and continuation lines, typed reads that raise like the
// class library's, keys without case, shared views, malformed files and failed saves.
#include <sys/stat.h>

#include <cstring>

#include "RtlTestHelpers.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Registry.h"

namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

std::string UserFile() { return RegistryFileName(HKEY_CURRENT_USER); }

TEST(RtlRegistry, FilesLiveInTheRegistryFolder) {
  std::string dir = GetEnvironmentVariable("KIVO2_REGISTRY_DIR");
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(UserFile(), IncludeTrailingPathDelimiter(dir) + "HKEY_CURRENT_USER.reg");
  EXPECT_EQ(RegistryFileName(HKEY_LOCAL_MACHINE), IncludeTrailingPathDelimiter(dir) + "HKEY_LOCAL_MACHINE.reg");
  EXPECT_EQ(RegistryFileName(HKEY_CLASSES_ROOT), "");
  std::string saved = dir;
  unsetenv("KIVO2_REGISTRY_DIR");
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(RegistryFileName(HKEY_CURRENT_USER), "/cfg/Kivo2/registry/HKEY_CURRENT_USER.reg");
  EXPECT_EQ(RegistryFileName(HKEY_LOCAL_MACHINE), "/etc/xdg/Kivo2/registry/HKEY_LOCAL_MACHINE.reg");
  setenv("KIVO2_REGISTRY_DIR", saved.c_str(), 1);
}

// Every value kind as regedit exports it: escapes, dword, hex, hex(2) and wrapped lines.
TEST(RtlRegistry, WritesTheWindowsExportFormatByteForByte) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Kivo\\Kivo2", true));
  reg.WriteString("InstallFolder", "C:\\Program Files\\Kivo \"2\"\\");
  reg.WriteInteger("Count", 42);
  reg.WriteInteger("Minus", -1);
  reg.WriteBool("Smooth", true);
  reg.WriteString("", "default");
  reg.WriteExpandString("Exp", "%HOME%");
  const uint8_t bin[3] = {0x01, 0xAB, 0xFF};
  reg.WriteBinaryData("Bin", bin, 3);
  std::string longData(40, '\x11');
  reg.WriteBinaryData("Long", longData.data(), int(longData.size()));
  ASSERT_TRUE(reg.OpenKey("\\Software\\Kivo\\Other", true));
  reg.WriteString("Empty", "");
  EXPECT_EQ(ReadFile(UserFile()),
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Kivo]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n"
            "\"InstallFolder\"=\"C:\\\\Program Files\\\\Kivo \\\"2\\\"\\\\\"\r\n"
            "\"Count\"=dword:0000002a\r\n"
            "\"Minus\"=dword:ffffffff\r\n"
            "\"Smooth\"=dword:00000001\r\n"
            "@=\"default\"\r\n"
            "\"Exp\"=hex(2):25,48,4f,4d,45,25,00\r\n"
            "\"Bin\"=hex:01,ab,ff\r\n"
            "\"Long\"=hex:11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,\\\r\n"
            "  11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Kivo\\Other]\r\n"
            "\"Empty\"=\"\"\r\n"
            "\r\n");
}

TEST(RtlRegistry, ValuesRoundTripThroughTheFile) {
  const std::pair<std::string, std::string> texts[] = {{"Path", ":\\Photos\\2004\\"},
                                                       {"Quote", "a \"b\" = c;"},
                                                       {"Utf8", "\xE2\x82\xAC \xC3\xA9"},
                                                       {"Lines", "one\r\ntwo"},
                                                       {"Blanks", "  x  "}};
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Kivo\\Kivo2", true));
    for (const auto& [name, value] : texts) reg.WriteString(name, value);
    reg.WriteFloat("Gamma", 2.2);
    reg.WriteInteger("Big", INT32_MIN);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Odd Names \xC3\xA9", true));
    reg.WriteString("back\\slash \"quoted\" = x", "v1");
    reg.WriteString("\xE2\x82\xAC", "v2");
  }
  EXPECT_NE(ReadFile(UserFile()).find("[HKEY_CURRENT_USER\\Software\\Odd Names \xC3\xA9]\r\n"
                                      "\"back\\\\slash \\\"quoted\\\" = x\"=\"v1\"\r\n"),
            std::string::npos);
  // A fresh view of the file, as another process would have it.
  WriteFile(UserFile(), ReadFile(UserFile()));
  TRegistry reg(KEY_READ);
  ASSERT_TRUE(reg.OpenKeyReadOnly("SOFTWARE\\kivo\\KIVO2"));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Kivo\\Kivo2");
  for (const auto& [name, value] : texts) EXPECT_EQ(reg.ReadString(LowerCase(name)), value) << name;
  EXPECT_DOUBLE_EQ(reg.ReadFloat("Gamma"), 2.2);
  EXPECT_EQ(reg.ReadInteger("Big"), INT32_MIN);
  EXPECT_EQ(reg.GetDataType("Gamma"), rdBinary);
  EXPECT_EQ(reg.GetDataType("Path"), rdString);
  EXPECT_EQ(reg.GetDataType("Big"), rdInteger);
  EXPECT_EQ(reg.GetDataType("nothing"), rdUnknown);
  EXPECT_EQ(reg.GetDataSize("Utf8"), 7);  // bytes and the terminating zero
  EXPECT_EQ(reg.GetDataSize("Big"), 4);
  EXPECT_EQ(reg.GetDataSize("nothing"), -1);
  TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(names.CommaText(), "Path,Quote,Utf8,Lines,Blanks,Gamma,Big");
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\software\\ODD NAMES \xC3\x89"));
  EXPECT_EQ(reg.ReadString("BACK\\SLASH \"QUOTED\" = X"), "v1");
  EXPECT_EQ(reg.ReadString("\xE2\x82\xAC"), "v2");
  // Texts that are not UTF-8 beside a drive path and an escaped ":\"", in a file with no
  // UTF-8 line: each comes back byte for byte.
  const std::pair<std::string, std::string> bytes[] = {{"LastPath", "/fotos/caf\xE9/"},
                                                       {"BSearch", "C:\\Users\\me\\"},
                                                       {"Colon", "odd:\"x"},
                                                       {"Lines", "caf\xE9\r\n"},
                                                       {"Zero", std::string("x\0", 2)}};
  const std::string machineFile = RegistryFileName(HKEY_LOCAL_MACHINE);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  {
    TRegistry machine;
    machine.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(machine.OpenKey("Software\\Kivo2", true));
    for (const auto& [name, value] : bytes) machine.WriteString(name, value);
  }
  EXPECT_NE(ReadFile(machineFile).find("\"LastPath\"=\"/fotos/caf\xE9/\"\r\n"), std::string::npos);
  WriteFile(machineFile, ReadFile(machineFile));
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Kivo2"));
  for (const auto& [name, value] : bytes) EXPECT_EQ(reg.ReadString(name), value) << name;
}

TEST(RtlRegistry, TypedReadsRaiseLikeTheClassLibrary) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Kivo\\Kivo2", true));
  reg.WriteString("Text", "5");
  reg.WriteInteger("Number", 5);
  EXPECT_EQ(reg.ReadString("Missing"), "");
  EXPECT_THROW(reg.ReadInteger("Missing"), ERegistryException);
  EXPECT_THROW(reg.ReadBool("Missing"), ERegistryException);
  EXPECT_THROW(reg.ReadInteger("Text"), ERegistryException);
  EXPECT_THROW(reg.ReadString("Number"), ERegistryException);
  EXPECT_THROW(reg.ReadFloat("Number"), ERegistryException);
  try {
    reg.ReadInteger("Text");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Invalid data type for 'Text'");
  }
  EXPECT_TRUE(reg.ReadBool("Number"));
  uint8_t small[2];
  reg.WriteBinaryData("Bin", "abcd", 4);
  EXPECT_THROW(reg.ReadBinaryData("Bin", small, 2), ERegistryException);
  uint8_t buf[8];
  EXPECT_EQ(reg.ReadBinaryData("Bin", buf, 8), 4);
  EXPECT_EQ(std::memcmp(buf, "abcd", 4), 0);
}

TEST(RtlRegistry, KeysOpenRelativelyAbsolutelyAndWithoutCase) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("Software\\Kivo", false));
  ASSERT_TRUE(reg.OpenKey("Software\\Kivo", true));
  ASSERT_TRUE(reg.OpenKey("Kivo2\\", true));  // relative to the open key
  EXPECT_EQ(reg.CurrentPath(), "Software\\Kivo\\Kivo2");
  EXPECT_TRUE(reg.KeyExists("\\software\\KIVO"));
  EXPECT_TRUE(reg.CreateKey("Sub\\Deeper"));
  EXPECT_TRUE(reg.KeyExists("sub"));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Kivo\\Kivo2");  // CreateKey does not open
  ASSERT_TRUE(reg.OpenKey("\\Software\\Kivo", false));
  TStringList keys;
  reg.GetKeyNames(keys);
  EXPECT_EQ(keys.CommaText(), "Kivo2");
  EXPECT_TRUE(reg.HasSubKeys());
  EXPECT_TRUE(reg.DeleteKey("KIVO2"));
  EXPECT_FALSE(reg.KeyExists("Kivo2\\Sub\\Deeper"));
  EXPECT_FALSE(reg.DeleteKey("Kivo2"));
  reg.WriteString("V", "x");
  EXPECT_TRUE(reg.ValueExists("v"));
  EXPECT_TRUE(reg.DeleteValue("V"));
  EXPECT_FALSE(reg.ValueExists("v"));
  reg.CloseKey();
  EXPECT_EQ(reg.CurrentKey(), 0u);
  EXPECT_THROW(reg.WriteString("V", "x"), ERegistryException);  // no key open
}

TEST(RtlRegistry, ReadOnlyKeysAndRootsRefuseWrites) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Kivo", true));
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Kivo"));
  try {
    reg.WriteString("V", "x");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Failed to set data for 'V'");
  }
  TRegistry ro(KEY_READ);
  ASSERT_TRUE(ro.OpenKey("Software\\Kivo", false));
  EXPECT_THROW(ro.WriteInteger("V", 1), ERegistryException);
  EXPECT_FALSE(ro.OpenKey("Software\\New", true));
  TRegistry cr;
  cr.SetRootKey(HKEY_CLASSES_ROOT);
  EXPECT_FALSE(cr.OpenKey(".jpg", true));
  EXPECT_FALSE(cr.KeyExists(".jpg"));
  EXPECT_TRUE(cr.OpenKeyReadOnly(""));
  EXPECT_EQ(cr.ReadString(""), "");
  EXPECT_THROW(cr.WriteString("", "x"), ERegistryException);
}

// A root whose file this user may not write (HKEY_LOCAL_MACHINE under /etc as a normal user):
// its keys open for reading only, never for full access, and the file stays as it was.
TEST(RtlRegistry, AFileTheUserMayNotWriteOpensOnlyForReading) {
  const std::string file = RegistryFileName(HKEY_LOCAL_MACHINE);
  const std::string dir = ExtractFileDir(file);
  const std::string text = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Kivo\\Kivo2]\r\n\"Delay\"=dword:00000004\r\n\r\n";
  WriteFile(file, text);
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
  {
    testsupport::ActingAsOrdinaryUser user;
    TRegistry full(KEY_ALL_ACCESS);
    full.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(full.OpenKey("Software\\Kivo\\Kivo2", true));
    EXPECT_FALSE(full.OpenKey("Software\\Kivo\\Other", true));
    EXPECT_THROW(full.WriteInteger("Delay", 5), ERegistryException);
    TRegistry write(KEY_WRITE);
    write.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(write.OpenKey("Software\\Kivo\\Kivo2", false));
    TRegistry read(KEY_READ);
    read.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(read.OpenKey("Software\\Kivo\\Kivo2", false));
    EXPECT_EQ(read.ReadInteger("Delay"), 4);
    ASSERT_TRUE(full.OpenKeyReadOnly("Software\\Kivo\\Kivo2"));
    EXPECT_EQ(full.ReadInteger("Delay"), 4);
    // A root without a file, in a folder the user may not write, cannot get one either.
    TRegistry own(KEY_ALL_ACCESS);
    EXPECT_FALSE(own.OpenKey("Software\\Kivo\\Kivo2", true));
  }
  chmod(dir.c_str(), 0755);
  EXPECT_EQ(ReadFile(file), text);
  // Once the file may be written, the same open succeeds.
  chmod(file.c_str(), 0644);
  TRegistry full(KEY_ALL_ACCESS);
  full.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_TRUE(full.OpenKey("Software\\Kivo\\Kivo2", true));
}

TEST(RtlRegistry, TwoObjectsAndOtherProgramsShareTheFile) {
  TRegistry a, b;
  ASSERT_TRUE(a.OpenKey("Software\\Kivo\\Kivo2", true));
  a.WriteInteger("Left", 10);
  ASSERT_TRUE(b.OpenKey("Software\\Kivo\\Kivo2", false));
  EXPECT_EQ(b.ReadInteger("Left"), 10);
  b.WriteInteger("Top", 20);
  EXPECT_EQ(a.ReadInteger("Top"), 20);
  WriteFile(UserFile(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n\"Left\"=dword:00000063\r\n");
  EXPECT_EQ(a.ReadInteger("Left"), 99);
  EXPECT_FALSE(a.ValueExists("Top"));
  TRegistry lm;
  lm.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(lm.OpenKey("Software\\Kivo\\Kivo2", true));
  lm.WriteInteger("Left", 1);
  EXPECT_EQ(a.ReadInteger("Left"), 99);  // roots are separate files
}

TEST(RtlRegistry, ReadsExportsOfEitherVersionAndSurvivesMalformedFiles) {
  // A version 5 export keeps hex(2) text as UTF-16.
  WriteFile(UserFile(),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
            "\"Wallpaper\"=\"C:\\\\Users\\\\u\\\\wall.bmp\"\r\n"
            "\"Exp\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\r\n"
            "\"Pair\"=hex(2):00,d8,00,dc,ff,db,ff,df,00,00\r\n"
            "\"Wrapped\"=hex:01,02,\\\r\n"
            "  03,04\r\n"
            "\"Multi\"=hex(7):61,00,00,00,00,00\r\n\r\n");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Control Panel\\Desktop", false));
  EXPECT_EQ(reg.ReadString("Wallpaper"), "C:\\Users\\u\\wall.bmp");
  EXPECT_EQ(reg.ReadString("Exp"), "%HOME%");
  EXPECT_EQ(reg.GetDataType("Exp"), rdExpandString);
  // The first and the last surrogate pair: U+10000 and U+10FFFF.
  EXPECT_EQ(reg.ReadString("Pair"), "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
  uint8_t buf[8];
  EXPECT_EQ(reg.ReadBinaryData("Wrapped", buf, 8), 4);
  EXPECT_EQ(buf[3], 4);
  EXPECT_EQ(reg.GetDataType("Multi"), rdUnknown);
  // Writing keeps values of other types as they were.
  reg.WriteInteger("New", 1);
  EXPECT_NE(ReadFile(UserFile()).find("\"Multi\"=hex(7):61,00,00,00,00,00\r\n"), std::string::npos);

  WriteFile(UserFile(),
            "garbage\r\n[HKEY_CURRENT_USER\\Good]\r\n\"A\"=\"ok\"\r\n"
            "\"Unclosed=\"x\r\n\"B\"=\"unclosed\r\n\"C\"=dword:xyz\r\n\"D\"=dword:123456789\r\n"
            "\"E\"=hex:1,zz\r\n\"F\"=hex(\r\n\"G\"=-\r\n@\r\n[HKEY_CURRENT_USER\\Good\r\n\"H\"=\"in broken\"\r\n"
            "[HKEY_LOCAL_MACHINE\\Elsewhere]\r\n\"I\"=\"other root\"\r\n[-HKEY_CURRENT_USER\\Gone]\r\n"
            "\"J\"=dword:00000007\\\r\n");
  const std::string junk = ReadFile(UserFile());
  TRegistry bad;
  ASSERT_TRUE(bad.OpenKey("Good", false));
  EXPECT_EQ(bad.ReadString("A"), "ok");
  for (const char* n : {"B", "C", "D", "E", "F", "G", "H", "I", "J"}) EXPECT_FALSE(bad.ValueExists(n)) << n;
  EXPECT_FALSE(bad.KeyExists("\\Elsewhere"));
  // A damaged file is said and kept beside before a save, never saved over while it cannot
  // be kept; a cut last line is not read. Blank lines, comments, any line ends are whole.
  std::string kept;
  EXPECT_TRUE(TakeRegistryDamage(HKEY_CURRENT_USER, kept) && ReadFile(kept) == junk);
  const std::string cut = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Good]\r\n\"A\"=\"1\"\r\n\"K\"=dword:0";
  WriteFile(UserFile(), cut);
  ArmFileFault(TFileFaultOp::Open, EACCES, ".damaged-2");
  EXPECT_THROW(bad.WriteString("C", "lost"), ERegistryException);
  EXPECT_TRUE(bad.ValueExists("A") && !bad.ValueExists("K") && TakeRegistryDamage(HKEY_CURRENT_USER, kept));
  bad.WriteString("C", "new");
  EXPECT_EQ(ReadFile(kept), cut);
  WriteFile(UserFile(), "\r\nREGEDIT4\n; a note\n\n[HKEY_CURRENT_USER\\Good]\n\n\"A\"=\"2\"\r\n\n\n");
  EXPECT_TRUE(bad.ValueExists("A") && !TakeRegistryDamage(HKEY_CURRENT_USER, kept)) << kept;
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += char(i * 37);
  WriteFile(UserFile(), binary);
  EXPECT_FALSE(bad.KeyExists("\\Good"));
}

TEST(RtlRegistry, AFailedSaveRaisesAndLeavesTheFile) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Kivo\\Kivo2", true));
  reg.WriteString("Keep", "me");
  std::string before = ReadFile(UserFile());
  {
    rtltest::FileSizeLimit limit(before.size() + 10);
    EXPECT_THROW(reg.WriteString("Big", std::string(1000, 'x')), ERegistryException);
  }
  EXPECT_EQ(ReadFile(UserFile()), before);
  EXPECT_FALSE(reg.ValueExists("Big"));
  EXPECT_EQ(reg.ReadString("Keep"), "me");
}

TEST(RtlRegistry, AnUpdateSavesItsWritesOnceAtItsEnd) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Kivo\\Kivo2", true));
  reg.WriteString("Keep", "me");
  const std::string before = ReadFile(UserFile());
  reg.BeginUpdate();
  for (int i = 0; i < 50; ++i) reg.WriteInteger("N" + IntToStr(i), i);
  EXPECT_EQ(ReadFile(UserFile()), before);
  // Another object of the process sees the writes at once.
  TRegistry other;
  ASSERT_TRUE(other.OpenKey("\\Software\\Kivo\\Kivo2", false));
  EXPECT_EQ(other.ReadInteger("N49"), 49);
  EXPECT_TRUE(reg.EndUpdate());
  const std::string after = ReadFile(UserFile());
  EXPECT_NE(after.find("\"N49\"=dword:00000031\r\n"), std::string::npos) << after;
  // A failing save at the end reports it and leaves the file as it was.
  reg.BeginUpdate();
  reg.WriteString("Big", std::string(5000, 'x'));
  {
    rtltest::FileSizeLimit limit(after.size() + 10);
    EXPECT_FALSE(reg.EndUpdate());
  }
  EXPECT_EQ(ReadFile(UserFile()), after);
  EXPECT_FALSE(reg.ValueExists("Big"));
}

}  // namespace
