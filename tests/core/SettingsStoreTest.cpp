// The settings store: the designed default of every stored value and the order of the
// names, runs of the program (start, close without opening a tool window, start again)
// that keep every value of a full registry store and of a stand-alone ini (read back with
// Python's configparser, the drive of a path found with df), stores of older builds,
// values of the wrong type, hostile values, the special steps, a read-only machine store,
// the stand-alone icon, failed saves and the end of the desktop session.
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>

#include "MainWindowFixture.h"
#include "controls/EventScrollbox.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/ProgramGlobals.h"
#include "core/StartUp.h"
#include "core/Unit1.h"
#include "core/UnitFilterselect.h"
#include "core/UnitSetting.h"
#include "tools/ExifInfoUnit2.h"
#include "platform/QtApplication.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Classes.h"
#include "tools/CalcAspectForm.h"
#include "tools/UnitAnalize.h"
#include "tools/UnitFloatButtons.h"
#include "tools/UnitGetMemorycard.h"
#include "tools/UnitSaveImage.h"
#include "tools/UnitSaveToFolder.h"
#include "tools/UnitSearch.h"

namespace fs = std::filesystem;

namespace {

// One stored value: its name and its text as the registry file and as the stand-alone
// ini hold it (the registry text after '=': dword:0000000a, "a text").
struct Stored {
  std::string name, reg, ini;
};

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}
Stored Flag(const std::string& name, bool on) { return {name, Dword(on ? 1 : 0), on ? "1" : "0"}; }
Stored Number(const std::string& name, int value) {
  return {name, Dword(uint32_t(value)), std::to_string(value)};
}
Stored Text(const std::string& name, const std::string& text) { return {name, Quoted(text), text}; }

// Section U3 of an ini file as Python's configparser reads it (names keep their case).
std::map<std::string, std::string> IniValues(const std::string& file) {
  auto result = testsupport::Run(
      {"python3", "-c",
       "import configparser,sys\n"
       "c=configparser.RawConfigParser(strict=False,interpolation=None)\n"
       "c.optionxform=str\n"
       "c.read(sys.argv[1],encoding='utf-8')\n"
       "for k,v in c.items('U3'): sys.stdout.write(k+'\\0'+v+'\\0')\n",
       file});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::map<std::string, std::string> values;
  size_t at = 0;
  while (at < result.out.size()) {
    size_t a = result.out.find('\0', at);
    size_t b = result.out.find('\0', a + 1);
    if (a == std::string::npos || b == std::string::npos) break;
    values[result.out.substr(at, a - at)] = result.out.substr(a + 1, b - a - 1);
    at = b + 1;
  }
  return values;
}

// The mount point that holds path, as df reports it.
std::string MountOf(const std::string& path) {
  auto result = testsupport::Run({"df", "--output=target", path});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::string out = result.out;
  size_t nl = out.find('\n');
  out = out.substr(nl + 1);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

// "/media/x/My Photos/" on the drive "/media/x" as the stand-alone ini keeps it.
std::string WindowsForm(const std::string& path, const std::string& mount) {
  std::string rest = mount == "/" ? path : path.substr(mount.size());
  for (char& c : rest)
    if (c == '/') c = '\\';
  return ":" + rest;
}

// The order in which the store writes its names: the order of the value tables with the
// differences the store's save makes ("ASPR_CreateBackup" is the aspect tool's backup box).
const std::vector<std::string> kSaveOrder = {
    "InstallFolder", "Version", "LastPath", "Smooth Stretch", "Stretch Small", "Fit in screen", "Center large",
    "Recursive", "AutoCloseList", "ShowAllFiles", "ThumbSize", "Fade", "MainMenu", "SortNone", "SortDate",
    "SortSize", "SortName", "SortPhotoDate", "SortNameNo", "SortDescend", "Thumb Columns", "Thumbs pos",
    "Cached thumbs", "Cached fixed", "FadeSoft", "FadeCoarse", "FadeDirectional", "ShowFilename",
    "Slidebackground", "Preview", "SlideDelay", "Buttonbar", "FileButtonbar", "StatusBar", "DigiFactor",
    "FilmFactor", "NavigatorHeight", "NavigatorWidth", "FloatBLeft", "FloatBTop", "FloatButtons", "MoveMouse",
    "Thumb Spy", "Thumb Spy Exif", "Thumb Exif Hints", "EquivalentCalc", "CompactExif", "Screensaver",
    "BackupLossless", "FastRotate", "PefectRotate", "Editor1", "ShowDelayButtons", "ShowCopyButtons",
    "ShotgraphVisible", "PrintButton", "ShowLosslessButtons", "ShowLossCameraButton", "ShowImportButton",
    "ResampleFilter", "Gray lists", "PictBackground", "NoAutMemohandling", "Prefix", "UsePrefix", "UseExif",
    "UseLowerCase", "UseCardPrefix", "UseCardSuffix", "CardPrefix", "PlayMemo", "MemoButton", "Showtext",
    "SortButton", "FavoritesW", "Browser", "Favorites", "Thumbs", "Exifoverlay", "AlignMenu", "WebFolder",
    "CustomWebSize", "SmallWidth", "SmallCompression", "WebSettings", "StretchSmall", "Filter", "SaveTop",
    "SaveLeft", "SaveHeight", "SaveWidth", "CardFolder", "R_MouseSelect", "AnalizeSubs", "AnalizeVal1",
    "AnalizeVal2", "Analize3D", "AnalizeBar", "AnalizeMarks", "CalcAlway", "EditMake", "Editmodel",
    "EditMakerTag", "EditMakerDate", "MMCustom", "MMRaw", "RadioButton", "LensHandling", "AnalizeTop",
    "AnalizeLeft", "AnalizeWidth", "AnalizeHeight", "BSearch", "BReplace", "BCase", "BPrefixEdit", "BSuffix",
    "PrinterCustomW", "PrinterCustomH", "PrinterUnits", "PrinterCenter", "ASPR_Portrait", "ASPR_CreateBackup",
    "ASPR_PortToLand", "ASPR_Backup", "ASPR_ComboItem", "ASPR_FastBatch", "ASPR_Lossless", "EForm_T", "EForm_L",
    "EForm_H", "EForm_W", "Language", "WinStatusTop", "WinStatusLeft", "WinStatusWidth", "WinStatusHeight",
    "Associated", "SearchString", "WinStatusMain"};

// Every stored value with another value than its default where the value can hold one
// that a run keeps: the folders exist, "Version" is this build's, "R_MouseSelect" is off
// (it always starts off) and so, in the stand-alone ini, is "Cached fixed".
std::vector<Stored> OwnValues(const std::string& programFolder, const std::string& lastPath,
                              const std::string& webFolder, bool ini, int winStatus) {
  const std::string mount = ini ? MountOf(programFolder) : std::string();
  auto path = [&](const std::string& name, const std::string& p, const std::string& regText) {
    return Stored{name, Quoted(regText), ini ? WindowsForm(p, mount) : std::string()};
  };
  return {path("InstallFolder", programFolder, programFolder.substr(0, programFolder.size() - 1)),
          Number("Version", ThisBuild()),
          path("LastPath", lastPath, lastPath),
          Flag("Smooth Stretch", true),
          Flag("Stretch Small", true),
          Flag("Fit in screen", false),
          Flag("Center large", true),
          Flag("Recursive", false),
          Flag("AutoCloseList", false),
          Flag("ShowAllFiles", true),
          Number("ThumbSize", 2),
          Flag("Fade", true),
          Flag("MainMenu", true),
          Flag("SortNone", false),
          Flag("SortDate", true),
          Flag("SortSize", false),
          Flag("SortName", false),
          Flag("SortPhotoDate", false),
          Flag("SortNameNo", false),
          Flag("SortDescend", true),
          Number("Thumb Columns", 3),
          Number("Thumbs pos", 2),
          Flag("Cached thumbs", false),
          Flag("Cached fixed", false),
          Flag("FadeSoft", true),
          Flag("FadeCoarse", true),
          Flag("FadeDirectional", true),
          Flag("ShowFilename", true),
          Flag("Slidebackground", false),
          Flag("Preview", true),
          Number("SlideDelay", 5),
          Flag("Buttonbar", false),
          Flag("FileButtonbar", false),
          Flag("StatusBar", false),
          Text("DigiFactor", "9,1"),
          Text("FilmFactor", "50"),
          Number("NavigatorHeight", 150),
          Number("NavigatorWidth", 240),
          Number("FloatBLeft", 60),
          Number("FloatBTop", 70),
          Flag("FloatButtons", false),
          Flag("MoveMouse", true),
          Flag("Thumb Spy", false),
          Flag("Thumb Spy Exif", true),
          Flag("Thumb Exif Hints", true),
          Flag("EquivalentCalc", true),
          Flag("CompactExif", true),
          Flag("Screensaver", true),
          Flag("BackupLossless", true),
          Flag("FastRotate", false),
          Flag("PefectRotate", false),
          Text("Editor1", "/opt/My Editor/bin/edit"),
          Flag("ShowDelayButtons", false),
          Flag("ShowCopyButtons", false),
          Flag("ShotgraphVisible", false),
          Flag("PrintButton", false),
          Flag("ShowLosslessButtons", false),
          Flag("ShowLossCameraButton", false),
          Flag("ShowImportButton", false),
          Number("ResampleFilter", 5),
          Flag("Gray lists", true),
          Number("PictBackground", 0x0000FF),
          Flag("NoAutMemohandling", true),
          Text("Prefix", "mine_"),
          Flag("UsePrefix", true),
          Flag("UseExif", true),
          Flag("UseLowerCase", true),
          Flag("UseCardPrefix", true),
          Flag("UseCardSuffix", false),
          Stored{"CardPrefix", Quoted("cam "), ini ? "\"cam \"" : ""},
          Flag("PlayMemo", false),
          Flag("MemoButton", true),
          Flag("Showtext", false),
          Flag("SortButton", true),
          Number("FavoritesW", 200),
          // The maximised runs hide the folder panel.
          Flag("Browser", winStatus != 3),
          Flag("Favorites", true),
          Flag("Thumbs", true),
          Flag("Exifoverlay", true),
          Flag("AlignMenu", false),
          path("WebFolder", webFolder, webFolder),
          Number("CustomWebSize", 640),
          Number("SmallWidth", 4),
          Number("SmallCompression", 2),
          Flag("WebSettings", true),
          Flag("StretchSmall", true),
          Flag("Filter", false),
          Number("SaveTop", 100),
          Number("SaveLeft", 120),
          Number("SaveHeight", 500),
          Number("SaveWidth", 650),
          Text("CardFolder", "/media/card/DCIM"),
          Flag("R_MouseSelect", false),
          Flag("AnalizeSubs", true),
          Number("AnalizeVal1", 12),
          Number("AnalizeVal2", 30),
          Flag("Analize3D", true),
          Flag("AnalizeBar", true),
          Number("AnalizeMarks", 3),
          Flag("CalcAlway", true),
          Text("EditMake", "Canon"),
          Text("Editmodel", "EOS 20D"),
          Text("EditMakerTag", "0x0001"),
          Text("EditMakerDate", "2004:08:15"),
          Flag("MMCustom", true),
          Flag("MMRaw", false),
          Number("RadioButton", 2),
          Flag("LensHandling", true),
          Number("AnalizeTop", 150),
          Number("AnalizeLeft", 210),
          Number("AnalizeWidth", 700),
          Number("AnalizeHeight", 560),
          Text("BSearch", "IMG_"),
          Stored{"BReplace", Quoted("Holiday "), ini ? "\"Holiday \"" : ""},
          Flag("BCase", true),
          Stored{"BPrefixEdit", Quoted("2004 "), ini ? "\"2004 \"" : ""},
          Flag("BSuffix", false),
          Number("PrinterCustomW", 1200),
          Number("PrinterCustomH", 900),
          Number("PrinterUnits", 1),
          Flag("PrinterCenter", false),
          Flag("ASPR_Portrait", true),
          Flag("ASPR_CreateBackup", false),
          Flag("ASPR_PortToLand", true),
          Flag("ASPR_Backup", true),
          Number("ASPR_ComboItem", 2),
          Flag("ASPR_FastBatch", true),
          Flag("ASPR_Lossless", false),
          Number("EForm_T", 200),
          Number("EForm_L", 300),
          Number("EForm_H", 400),
          Number("EForm_W", 380),
          Text("Language", "en"),
          Number("WinStatusTop", 30),
          Number("WinStatusLeft", 40),
          Number("WinStatusWidth", 900),
          Number("WinStatusHeight", 700),
          Text("Associated", ".MKV;.avi;"),
          Text("SearchString", "holiday \"2004\" in C:\\Photos, caf\xc3\xa9"),
          Number("WinStatusMain", winStatus)};
}

class SettingsTest : public MainWindowTest {
 protected:
  // The settings of the windows, loaded as the first showing loads them.
  void Load(bool standAlone = false) {
    if (standAlone) testsupport::WriteFile(ProgramFolder() + "usb_drive.on", "");
    CreateWindows();
    Form1->FAppDir = standAlone ? ProgramFolder() : testsupport::TempPath("appdata") + "/";
    fs::create_directories(Form1->FAppDir);
    Form1->GetUserSettingsFromReg();
  }
  // A folder of the sandbox, made.
  std::string Folder(const std::string& name) {
    const std::string path = testsupport::TempPath(name);
    fs::create_directories(path);
    return path;
  }
  void Reload() {
    const bool standAlone = Form1->FUsbMode;
    DoneApplication();
    Application->Initialize();
    Load(standAlone);
  }
  // One run of the program as the user has it: start-up, the first showing of the main
  // window, and its close, no other window opened.
  void StartAndClose() {
    CreateWindows();
    madeExifWidth_ = ExifInfoForm->Width();
    ShowMainWindow();
    Form1->Close();
    DoneApplication();
    Application->Initialize();
  }
  void WriteIni(const std::vector<Stored>& values) {
    std::string text = "[U3]\r\n";
    for (const Stored& v : values) text += v.name + "=" + v.ini + "\r\n";
    testsupport::WriteFile(ProgramFolder() + "Kivo2_usb.ini", text);
  }
  void WriteRegistryValues(const std::vector<Stored>& values) {
    std::vector<std::string> lines;
    for (const Stored& v : values) lines.push_back(Quoted(v.name) + "=" + v.reg);
    WriteRegistry(lines);
  }
  static void ExpectStored(const std::map<std::string, std::string>& held, const std::vector<Stored>& expected,
                           bool ini, const std::string& when) {
    EXPECT_EQ(held.size(), expected.size()) << when;
    for (const Stored& v : expected) {
      auto it = held.find(v.name);
      if (it == held.end()) {
        ADD_FAILURE() << when << ": " << v.name << " is not stored";
        continue;
      }
      EXPECT_EQ(it->second, ini ? v.ini : v.reg) << when << ": " << v.name;
    }
  }
  int madeExifWidth_ = 0;  // the EXIF window's width when the last start made it
};

// The designed default of every stored value as a fresh store gives it, for the store of
// programFolder whose writable files lie in appDir.
std::vector<Stored> Defaults(const std::string& programFolder, const std::string& appDir,
                             const std::string& documents, int exifWidth) {
  return {Text("InstallFolder", programFolder.substr(0, programFolder.size() - 1)),
          Number("Version", ThisBuild()),
          // With no stored folder the start folder is the documents folder.
          Text("LastPath", documents),
          Flag("Smooth Stretch", false),
          Flag("Stretch Small", false),
          Flag("Fit in screen", true),
          Flag("Center large", false),
          Flag("Recursive", true),
          Flag("AutoCloseList", true),
          Flag("ShowAllFiles", false),
          Number("ThumbSize", 0),
          Flag("Fade", false),
          Flag("MainMenu", false),
          Flag("SortNone", false),
          Flag("SortDate", false),
          Flag("SortSize", false),
          Flag("SortName", true),
          Flag("SortPhotoDate", false),
          Flag("SortNameNo", false),
          Flag("SortDescend", false),
          Number("Thumb Columns", 2),
          Number("Thumbs pos", 1),
          Flag("Cached thumbs", true),
          Flag("Cached fixed", true),
          Flag("FadeSoft", false),
          Flag("FadeCoarse", false),
          Flag("FadeDirectional", false),
          Flag("ShowFilename", false),
          Flag("Slidebackground", true),
          Flag("Preview", false),
          Number("SlideDelay", 2),
          Flag("Buttonbar", true),
          Flag("FileButtonbar", true),
          Flag("StatusBar", true),
          Text("DigiFactor", "8,2"),
          Text("FilmFactor", "35"),
          Number("NavigatorHeight", 185),
          Number("NavigatorWidth", 185),
          Number("FloatBLeft", 40),
          Number("FloatBTop", 40),
          Flag("FloatButtons", true),
          Flag("MoveMouse", false),
          Flag("Thumb Spy", true),
          Flag("Thumb Spy Exif", false),
          Flag("Thumb Exif Hints", false),
          Flag("EquivalentCalc", false),
          Flag("CompactExif", false),
          Flag("Screensaver", false),
          Flag("BackupLossless", false),
          Flag("FastRotate", true),
          Flag("PefectRotate", true),
          Text("Editor1", ""),
          Flag("ShowDelayButtons", true),
          Flag("ShowCopyButtons", true),
          Flag("ShotgraphVisible", true),
          Flag("PrintButton", true),
          Flag("ShowLosslessButtons", true),
          Flag("ShowLossCameraButton", true),
          Flag("ShowImportButton", true),
          Number("ResampleFilter", 2),
          Flag("Gray lists", false),
          Number("PictBackground", int(0xFF000005)),
          Flag("NoAutMemohandling", false),
          Text("Prefix", "small_"),
          Flag("UsePrefix", false),
          Flag("UseExif", false),
          Flag("UseLowerCase", false),
          Flag("UseCardPrefix", false),
          Flag("UseCardSuffix", true),
          Text("CardPrefix", ""),
          Flag("PlayMemo", true),
          Flag("MemoButton", false),
          Flag("Showtext", true),
          Flag("SortButton", false),
          Number("FavoritesW", 185),
          Flag("Browser", true),
          Flag("Favorites", false),
          Flag("Thumbs", false),
          Flag("Exifoverlay", false),
          Flag("AlignMenu", true),
          Text("WebFolder", appDir + "Kivo e-mail images"),
          Number("CustomWebSize", 430),
          Number("SmallWidth", 3),
          Number("SmallCompression", 3),
          Flag("WebSettings", false),
          Flag("StretchSmall", false),
          Flag("Filter", true),
          Number("SaveTop", 181),
          Number("SaveLeft", 230),
          Number("SaveHeight", 550),
          Number("SaveWidth", 700),
          Text("CardFolder", "none"),
          Flag("R_MouseSelect", false),
          Flag("AnalizeSubs", false),
          Number("AnalizeVal1", 10),
          Number("AnalizeVal2", 28),
          Flag("Analize3D", false),
          Flag("AnalizeBar", false),
          Number("AnalizeMarks", -1),
          Flag("CalcAlway", false),
          Text("EditMake", ""),
          Text("Editmodel", ""),
          Text("EditMakerTag", ""),
          Text("EditMakerDate", ""),
          Flag("MMCustom", false),
          Flag("MMRaw", true),
          Number("RadioButton", 0),
          Flag("LensHandling", false),
          Number("AnalizeTop", 174),
          // The width of the browser panel when the store is loaded: its designed 185.
          Number("AnalizeLeft", 185),
          Number("AnalizeWidth", 669),
          Number("AnalizeHeight", 555),
          Text("BSearch", ""),
          Text("BReplace", ""),
          Flag("BCase", false),
          Text("BPrefixEdit", ""),
          Flag("BSuffix", true),
          Number("PrinterCustomW", 1400),
          Number("PrinterCustomH", 1400),
          Number("PrinterUnits", 0),
          Flag("PrinterCenter", true),
          Flag("ASPR_Portrait", false),
          Flag("ASPR_CreateBackup", true),
          Flag("ASPR_PortToLand", false),
          Flag("ASPR_Backup", false),
          Number("ASPR_ComboItem", 0),
          Flag("ASPR_FastBatch", false),
          Flag("ASPR_Lossless", true),
          Number("EForm_T", 145),
          Number("EForm_L", 311),
          Number("EForm_H", 359),
          // The EXIF window's width as made: its designed 347, or what its "Info" page needs.
          Number("EForm_W", exifWidth),
          // No language stored: the untranslated main window gives English.
          Text("Language", "en"),
          // The window starts maximised; its normal place and size stay those stored.
          Number("WinStatusTop", 0),
          Number("WinStatusLeft", 0),
          Number("WinStatusWidth", 0),
          Number("WinStatusHeight", 0),
          Text("Associated", ".AVI;.MPG;.MPEG;.WMV;.MOV;.M1V;.MVR;.CPT;"),
          Text("SearchString", ""),
          Number("WinStatusMain", 3)};
}

}  // namespace

TEST_F(SettingsTest, EveryValueOfAFreshStoreHasItsDesignedDefault) {
  // Only the version is stored, so that the first-run question stays away; every other
  // value takes its default, and the close writes that default.
  WriteRegistry({"\"Version\"=" + Dword(ThisBuild())});
  const std::string documents = GetEnvironmentVariable("HOME") + "/My Papers/";
  fs::create_directories(documents);
  testsupport::WriteFile(GetEnvironmentVariable("XDG_CONFIG_HOME") + "/user-dirs.dirs",
                         "XDG_DOCUMENTS_DIR=\"$HOME/My Papers\"\n");
  StartAndClose();
  const std::string appDir = GetEnvironmentVariable("XDG_DATA_HOME") + "/Kivo2/";
  ExpectStored(UserRegistryValues(RegistryFile()), Defaults(ProgramFolder(), appDir, documents, madeExifWidth_), false,
               "fresh store");
  EXPECT_TRUE(fs::is_directory(appDir + "Kivo e-mail images"));
}

TEST_F(SettingsTest, FirstRunAsksOnceAndWritesEveryNameInTheStoresOrder) {
  ModalResponder::Expect(ModalKind::MessageDlg, mrNo);
  StartAndClose();
  EXPECT_EQ(ModalResponder::Pending(), 0);
  std::vector<std::string> names;
  for (const auto& entry : RegistryEntries(RegistryFile(), "[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]"))
    names.push_back(entry.first);
  EXPECT_EQ(names, kSaveOrder);
  auto values = UserRegistryValues(RegistryFile());
  EXPECT_EQ(values["Version"], Dword(ThisBuild()));
  EXPECT_EQ(values["WinStatusMain"], Dword(3));
}

TEST_F(SettingsTest, RunsWithoutToolWindowsKeepEveryStoredValue) {
  for (int winStatus : {1, 3}) {
    const std::string lastPath = Folder("Photo Album/2004 Trip " + std::to_string(winStatus)) + "/";
    const std::string webFolder = Folder("Web out " + std::to_string(winStatus));
    const auto values = OwnValues(ProgramFolder(), lastPath, webFolder, false, winStatus);
    WriteRegistryValues(values);
    StartAndClose();
    ExpectStored(UserRegistryValues(RegistryFile()), values, false, "first run, state " + std::to_string(winStatus));
    StartAndClose();
    ExpectStored(UserRegistryValues(RegistryFile()), values, false, "second run, state " + std::to_string(winStatus));
  }
}

TEST_F(SettingsTest, StandAloneRunsWithoutToolWindowsKeepEveryStoredValue) {
  KIVO2_REQUIRE_TOOL("python3");
  testsupport::WriteFile(ProgramFolder() + "usb_drive.on", "");
  const std::string lastPath = Folder("Photo Album/2004 Trip") + "/";
  const std::string webFolder = Folder("Web out");
  const auto values = OwnValues(ProgramFolder(), lastPath, webFolder, true, 1);
  WriteIni(values);
  StartAndClose();
  ExpectStored(IniValues(ProgramFolder() + "Kivo2_usb.ini"), values, true, "first run");
  StartAndClose();
  ExpectStored(IniValues(ProgramFolder() + "Kivo2_usb.ini"), values, true, "second run");
  EXPECT_TRUE(fs::is_empty(GetEnvironmentVariable("KIVO2_REGISTRY_DIR")));
}

TEST_F(SettingsTest, CardImportSettingsSurviveRunsThatNeverOpenTheCardWindow) {
  // Values other than the presets, in the store before the first start: the box on, the
  // suffix off, a prefix with the date token, a word with an accent and a blank at its
  // end, and a card folder whose path holds blanks. Two runs that never open the card
  // window keep them; the window shows them when it opens at last. Once through the
  // registry store, once through the stand-alone ini (read back with configparser).
  KIVO2_REQUIRE_TOOL("python3");
  const std::string prefix = "Caf\xc3\xa9 [%d] ";
  for (const bool standAlone : {false, true}) {
    const std::string card = Folder(std::string("media/EOS DIGITAL ") + (standAlone ? "2" : "1") + "/DCIM/100CANON") + "/";
    const std::vector<Stored> values = {Number("Version", ThisBuild()), Flag("UseCardPrefix", true),
                                        Flag("UseCardSuffix", false),
                                        Stored{"CardPrefix", Quoted(prefix), "\"" + prefix + "\""},
                                        Text("CardFolder", card)};
    if (standAlone) {
      testsupport::WriteFile(ProgramFolder() + "usb_drive.on", "");
      WriteIni(values);
    } else {
      WriteRegistryValues(values);
    }
    auto stored = [&] {
      return standAlone ? IniValues(ProgramFolder() + "Kivo2_usb.ini") : UserRegistryValues(RegistryFile());
    };
    auto expectKept = [&](const std::string& when) {
      const auto held = stored();
      for (const Stored& v : values) {
        if (v.name == "Version") continue;
        auto it = held.find(v.name);
        ASSERT_NE(it, held.end()) << when << ": " << v.name;
        EXPECT_EQ(it->second, standAlone ? v.ini : v.reg) << when << ": " << v.name;
      }
    };
    for (int run = 1; run <= 2; ++run) {
      const std::string when = (standAlone ? "stand-alone run " : "run ") + std::to_string(run);
      CreateWindows();
      ShowMainWindow();
      EXPECT_FALSE(FormGetcard->Visible()) << when;
      EXPECT_TRUE(FormGetcard->ChB_CardFilePrefix->Checked()) << when;
      EXPECT_FALSE(FormGetcard->ChB_Suffix->Checked()) << when;
      EXPECT_EQ(FormGetcard->PrefixEdit->Text(), prefix) << when;
      EXPECT_EQ(Form1->FCardFolder, card) << when;
      Form1->Close();
      DoneApplication();
      Application->Initialize();
      expectKept(when);
    }
    // The third run opens the window: it stands on the card folder with the prefix shown,
    // and closing it unchanged keeps every value.
    CreateWindows();
    ShowMainWindow();
    Form1->Importfrommemorycardorfolder1Click(nullptr);
    ASSERT_TRUE(FormGetcard->Visible());
    EXPECT_EQ(IncludeTrailingPathDelimiter(FormGetcard->QzDirTree211->SelectedPath()), card);
    EXPECT_TRUE(FormGetcard->PanelPrefix->Visible());
    EXPECT_TRUE(FormGetcard->PrefixEdit->Enabled());
    EXPECT_EQ(FormGetcard->PrefixEdit->Text(), prefix);
    FormGetcard->ZqButton2->Click();
    EXPECT_FALSE(FormGetcard->Visible());
    Form1->Close();
    DoneApplication();
    Application->Initialize();
    expectKept(standAlone ? "stand-alone run with the window" : "run with the window");
  }
}

TEST_F(SettingsTest, ChangesMadeDuringARunAreSaved) {
  // The values that the tool windows hold while they are open, and the options of the
  // main window, changed by the user.
  WriteRegistry({"\"Version\"=" + Dword(ThisBuild()), "\"Prefix\"=\"mine_\"", "\"Filter\"=dword:00000001"});
  CreateWindows();
  ShowMainWindow();
  SaveToFolderForm->PrefixText->SetText("web copy_");
  FormSaveImage->PanelSettings->SetVisible(true);
  FormSaveImage->Ch_Strech->SetChecked(true);
  FormSaveImage->Ch_Filter->SetChecked(false);
  FormAnalize->ChB_Subs->SetChecked(true);
  Form1->Rightclickselect->SetChecked(true);
  Form1->PoDate->SetChecked(true);
  Form1->FAssociatedList->Clear();
  Form1->FAssociatedList->Add(".MKV");
  Form1->SetWindowState(wsNormal);
  Form1->SetBounds(21, 32, 640, 480);
  UiLanguageCode = "nl";
  Form1->Close();
  auto values = UserRegistryValues(RegistryFile());
  EXPECT_EQ(values["Prefix"], "\"web copy_\"");
  EXPECT_EQ(values["WebSettings"], Dword(1));
  EXPECT_EQ(values["StretchSmall"], Dword(1));
  EXPECT_EQ(values["Filter"], Dword(0));
  EXPECT_EQ(values["AnalizeSubs"], Dword(1));
  EXPECT_EQ(values["R_MouseSelect"], Dword(1));
  EXPECT_EQ(values["SortDate"], Dword(1));
  EXPECT_EQ(values["SortName"], Dword(0));
  EXPECT_EQ(values["Associated"], "\".MKV;\"");
  EXPECT_EQ(values["WinStatusMain"], Dword(1));
  EXPECT_EQ(values["WinStatusLeft"], Dword(21));
  EXPECT_EQ(values["WinStatusTop"], Dword(32));
  EXPECT_EQ(values["WinStatusWidth"], Dword(640));
  EXPECT_EQ(values["WinStatusHeight"], Dword(480));
  EXPECT_EQ(values["Language"], "\"nl\"");
}

TEST_F(SettingsTest, FreshStandAloneIniStartsOnTheProgramsDrive) {
  testsupport::WriteFile(ProgramFolder() + "Kivo2_usb.ini", "[U3]\r\nLanguage=en\r\n");
  Load(true);
  const std::string mount = MountOf(ProgramFolder());
  EXPECT_EQ(Form1->FLastPath, mount == "/" ? "/" : mount + "/");
  EXPECT_EQ(Form1->FWebFolder, mount);
  EXPECT_TRUE(Form1->FUsbMode);
  // A path stored by another copy under another drive letter lands on this drive.
  DoneApplication();
  Application->Initialize();
  const std::string album = testsupport::TempPath("Album");
  fs::create_directories(album);
  testsupport::WriteFile(ProgramFolder() + "Kivo2_usb.ini",
                         "[U3]\r\nLastPath=" + WindowsForm(album + "/", mount) + "\r\n");
  Load(true);
  EXPECT_EQ(Form1->FLastPath, album + "/");
}

TEST_F(SettingsTest, OlderStoreMissingValuesKeepsEveryOtherOne) {
  // No "EForm_T" and no "DigiFactor": the values after them are loaded all the same.
  WriteRegistry({"\"Version\"=dword:00000450", "\"Fit in screen\"=dword:00000000", "\"FilmFactor\"=\"50\"",
                 "\"EForm_L\"=dword:00000064", "\"WinStatusMain\"=dword:00000001", "\"Associated\"=\".MKV;\"",
                 "\"SearchString\"=\"holiday\""});
  Load();
  EXPECT_EQ(Form1->FStoredVersion, 1104);
  EXPECT_FALSE(Form1->ZqFitInScreen->Down());
  EXPECT_EQ(Form1->FDigiFactor, "8,2");
  EXPECT_EQ(Form1->FFilmFactor, "50");
  EXPECT_EQ(ExifInfoForm->Left(), 100);
  EXPECT_EQ(Form1->FWinStatusMain, 1);
  EXPECT_EQ(Form1->FAssociatedList->Count(), 1);
  EXPECT_EQ(SearchForm->EditSearch->Text(), "holiday");
}

TEST_F(SettingsTest, ValuesOfTheWrongTypeKeepTheirDefaults) {
  WriteRegistry({"\"Fit in screen\"=\"yes\"", "\"SlideDelay\"=\"5\"", "\"DigiFactor\"=dword:00000005",
                 "\"ThumbSize\"=hex:01,00,00,00", "\"Recursive\"=dword:00000000", "\"SearchString\"=\"later\""});
  Load();
  EXPECT_TRUE(Form1->ZqFitInScreen->Down());
  EXPECT_EQ(Form1->FSlideDelay, 2);
  EXPECT_EQ(Form1->FDigiFactor, "8,2");
  EXPECT_EQ(Form1->FThumbSize, 0);
  EXPECT_FALSE(Form1->M_Recursive->Checked());
  EXPECT_EQ(SearchForm->EditSearch->Text(), "later");
}

TEST_F(SettingsTest, IniTextsThatAreNoNumbersKeepTheDefaults) {
  testsupport::WriteFile(ProgramFolder() + "Kivo2_usb.ini",
                         "[u3]\r\nfit in screen=maybe\r\nSlideDelay=7\r\nThumbSize= 2 \r\nNavigatorWidth=12x\r\n");
  Load(true);
  EXPECT_TRUE(Form1->ZqFitInScreen->Down());
  EXPECT_EQ(Form1->FSlideDelay, 7);
  EXPECT_EQ(Form1->FThumbSize, 2);
  EXPECT_EQ(Form1->PanelBrowse->Width(), 185);
  // The slide delay runs from 0 to 100 seconds; a value outside gives 2.
  for (const auto& [stored, delay] : {std::pair{100, 100}, {101, 2}, {0, 0}, {-1, 2}}) {
    testsupport::WriteFile(ProgramFolder() + "Kivo2_usb.ini", "[u3]\r\nSlideDelay=" + std::to_string(stored) + "\r\n");
    Reload();
    EXPECT_EQ(Form1->FSlideDelay, delay) << stored;
  }
  // Stored window bounds are used from a side of 100 on.
  for (const auto& [height, applied] : {std::pair{100, true}, {99, false}}) {
    testsupport::WriteFile(ProgramFolder() + "Kivo2_usb.ini",
                           "[u3]\r\nVersion=" + std::to_string(ThisBuild()) + "\r\nWinStatusMain=1\r\nWinStatusLeft=10\r\nWinStatusTop=10\r\nWinStatusWidth=100\r\n"
                           "WinStatusHeight=" + std::to_string(height) + "\r\n");
    Reload();
    ShowMainWindow();
    EXPECT_EQ(Form1->Height() == height, applied) << height;
  }
}

TEST_F(SettingsTest, HostileValuesAreBounded) {
  WriteRegistry({"\"SlideDelay\"=dword:fffffffb", "\"NavigatorWidth\"=dword:000f423f",
                 "\"NavigatorHeight\"=dword:80000000", "\"Thumb Columns\"=dword:00000000",
                 "\"ResampleFilter\"=dword:00000063", "\"AnalizeMarks\"=dword:00000040",
                 "\"SearchString\"=\"" + std::string(40000, 'a') + "\"",
                 "\"Associated\"=\";;.X;;" + std::string(3000, ';') + [] {
                   std::string many;
                   for (int i = 0; i < 400; ++i) many += ".E" + std::to_string(i) + ";";
                   return many;
                 }() + "\""});
  Load();
  EXPECT_EQ(Form1->FSlideDelay, 2);
  EXPECT_EQ(Form1->PanelBrowse->Width(), 4000);
  EXPECT_EQ(Form1->PanelTrees->Height(), 20);
  EXPECT_EQ(Form1->FThumbColumns, 1);
  EXPECT_EQ(FormFilterSelect->RG_Resample->ItemIndex(), 2);
  EXPECT_EQ(FormAnalize->ComboBoxValue->ItemIndex(), -1);
  EXPECT_EQ(SearchForm->EditSearch->Text(), "");
  EXPECT_EQ(Form1->FAssociatedList->Count(), 256);
  EXPECT_EQ(Form1->FAssociatedList->Strings(0), ".X");
  EXPECT_EQ(Form1->Timer1->Interval(), 2000u);
}

// ---------------------------------------------------------------------------
// Special steps
// ---------------------------------------------------------------------------
TEST_F(SettingsTest, AspectToolBackupBoxHasAValueOfItsOwn) {
  // A store of an older build: "ASPR_Portrait" was written last by the backup box.
  WriteRegistry({"\"ASPR_Portrait\"=dword:00000001"});
  Load();
  EXPECT_FALSE(CalculateAspect->CB_ASPPortrait->Checked());
  EXPECT_TRUE(CalculateAspect->CB_BackupAspectR->Checked());
  DoneApplication();
  Application->Initialize();
  WriteRegistry({"\"ASPR_Portrait\"=dword:00000000"});
  Load();
  EXPECT_FALSE(CalculateAspect->CB_ASPPortrait->Checked());
  EXPECT_FALSE(CalculateAspect->CB_BackupAspectR->Checked());

  // This build keeps the two boxes apart.
  CalculateAspect->CB_ASPPortrait->SetChecked(true);
  CalculateAspect->CB_BackupAspectR->SetChecked(false);
  ASSERT_TRUE(Form1->WriteUserSettingsToReg());
  auto values = UserRegistryValues(RegistryFile());
  EXPECT_EQ(values["ASPR_Portrait"], Dword(1));
  EXPECT_EQ(values["ASPR_CreateBackup"], Dword(0));
  Reload();
  EXPECT_TRUE(CalculateAspect->CB_ASPPortrait->Checked());
  EXPECT_FALSE(CalculateAspect->CB_BackupAspectR->Checked());
}

TEST_F(SettingsTest, SortItemsAreOneRadioGroup) {
  WriteRegistry({"\"SortNone\"=dword:00000000", "\"SortDate\"=dword:00000000", "\"SortSize\"=dword:00000000",
                 "\"SortName\"=dword:00000000", "\"SortPhotoDate\"=dword:00000000", "\"SortNameNo\"=dword:00000000"});
  Load();
  for (TMenuItem* item : {Form1->PoNone, Form1->PoDate, Form1->PoSize, Form1->PoName, Form1->PoPhotodate,
                          Form1->PoNameNo})
    EXPECT_FALSE(item->Checked()) << item->Name();
  EXPECT_EQ(Form1->FSortMode, 1);
  DoneApplication();
  Application->Initialize();
  WriteRegistry({"\"SortSize\"=dword:00000001", "\"SortName\"=dword:00000001"});
  Load();
  EXPECT_TRUE(Form1->PoName->Checked());
  EXPECT_FALSE(Form1->PoSize->Checked());
  EXPECT_EQ(Form1->FSortMode, 1);
  DoneApplication();
  Application->Initialize();
  WriteRegistry({"\"SortName\"=dword:00000000", "\"SortPhotoDate\"=dword:00000001"});
  Load();
  EXPECT_EQ(Form1->FSortMode, 6);
}

TEST_F(SettingsTest, DerivedStatesFollowTheLoadedValues) {
  ModalResponder::SetScreenSize(1024, 768);
  WriteRegistry({"\"FloatBLeft\"=dword:0000076c", "\"FloatBTop\"=dword:000007d0", "\"R_MouseSelect\"=dword:00000001",
                 "\"Browser\"=dword:00000000", "\"Favorites\"=dword:00000001", "\"Preview\"=dword:00000001",
                 "\"ShowAllFiles\"=dword:00000001", "\"Cached thumbs\"=dword:00000000", "\"SlideDelay\"=dword:00000009",
                 "\"PictBackground\"=dword:000000ff"});
  Load();
  EXPECT_EQ(FormFloatB->Left(), 40);
  EXPECT_EQ(FormFloatB->Top(), 40);
  EXPECT_FALSE(Form1->Rightclickselect->Checked());
  EXPECT_TRUE(Form1->ZqBrowsePanel->Down());
  EXPECT_FALSE(Form1->ChB_CloseOnClick->Enabled());
  EXPECT_FALSE(Form1->Splitter1->Visible());
  EXPECT_TRUE(Form1->ZqFavoriteslist->Down());
  EXPECT_TRUE(Form1->Splitter3->Visible());
  EXPECT_TRUE(Form1->M_Preview->Checked());
  EXPECT_TRUE(Form1->ZqShowAll->Down());
  EXPECT_FALSE(Form1->CreateallthumbsforSelTree->Enabled());
  EXPECT_EQ(Form1->LabelDelay->Caption(), "9");
  EXPECT_EQ(Form1->Timer1->Interval(), 9000u);
  EXPECT_EQ(Form1->ScrollBox1->Color(), clRed);
}

TEST_F(SettingsTest, AssociatedTextGivesTheExtensionsBeforeEachSemicolon) {
  Load();
  Form1->StringToAssociatedList(".AVI;.MOV");
  ASSERT_EQ(Form1->FAssociatedList->Count(), 1);
  EXPECT_EQ(Form1->FAssociatedList->Strings(0), ".AVI");
  Form1->StringToAssociatedList("");
  EXPECT_EQ(Form1->FAssociatedList->Count(), 1);
  Form1->StringToAssociatedList(".mov;.Mp4;");
  ASSERT_EQ(Form1->FAssociatedList->Count(), 2);
  EXPECT_EQ(Form1->FAssociatedList->Strings(1), ".Mp4");
}

TEST_F(SettingsTest, LocalMachineMarkerUsesTheOtherRoot) {
  testsupport::WriteFile(ProgramFolder() + "localmachinekey.on", "");
  testsupport::WriteFile(GetEnvironmentVariable("KIVO2_REGISTRY_DIR") + "/HKEY_LOCAL_MACHINE.reg",
                         "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Kivo\\Kivo2]\r\n\"SlideDelay\"=dword:00000004\r\n\r\n");
  WriteRegistry({"\"SlideDelay\"=dword:00000008"});
  Load();
  EXPECT_EQ(Form1->FSlideDelay, 4);
  Form1->FSlideDelay = 6;
  ASSERT_TRUE(Form1->WriteUserSettingsToReg());
  auto machine = RegistryValues(GetEnvironmentVariable("KIVO2_REGISTRY_DIR") + "/HKEY_LOCAL_MACHINE.reg",
                                "[HKEY_LOCAL_MACHINE\\Software\\Kivo\\Kivo2]");
  EXPECT_EQ(machine["SlideDelay"], Dword(6));
  auto user = UserRegistryValues(RegistryFile());
  EXPECT_EQ(user["SlideDelay"], Dword(8));
}

// "localmachinekey.on" while the user may not write the machine's settings: the key
// cannot be opened for full access, so nothing is loaded and nothing is written.
TEST_F(SettingsTest, ReadOnlyMachineStoreLoadsAndSavesNothing) {
  testsupport::WriteFile(ProgramFolder() + "localmachinekey.on", "");
  const std::string registryDir = GetEnvironmentVariable("KIVO2_REGISTRY_DIR");
  const std::string machine = registryDir + "/HKEY_LOCAL_MACHINE.reg";
  const std::string text =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Kivo\\Kivo2]\r\n\"SlideDelay\"=dword:00000004\r\n"
      "\"Fit in screen\"=dword:00000000\r\n\"SearchString\"=\"stored\"\r\n\r\n";
  testsupport::WriteFile(machine, text);
  ASSERT_EQ(chmod(machine.c_str(), 0444), 0);
  ASSERT_EQ(chmod(registryDir.c_str(), 0555), 0);
  CreateWindows();
  Form1->FAppDir = ProgramFolder();
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  {
    testsupport::ActingAsOrdinaryUser user;
    Form1->GetUserSettingsFromReg();
    EXPECT_EQ(Form1->FSlideDelay, 2);
    EXPECT_TRUE(Form1->ZqFitInScreen->Down());
    EXPECT_EQ(SearchForm->EditSearch->Text(), "");
    Form1->FSlideDelay = 6;
    EXPECT_FALSE(Form1->WriteUserSettingsToReg());
  }
  chmod(registryDir.c_str(), 0755);
  EXPECT_EQ(ModalResponder::Pending(), 0);
  EXPECT_EQ(testsupport::ReadFile(machine), text);
  EXPECT_FALSE(fs::exists(RegistryFile()));
}

// The stand-alone load marks the mode in the tool bar and gives the program its
// stand-alone icon; the registry load leaves the icon alone.
TEST_F(SettingsTest, StandAloneLoadShowsTheStandAloneMarkAndIcon) {
  KIVO2_REQUIRE_TOOL("identify");
  TIcon none;
  Application->SetIcon(&none);
  Load();
  EXPECT_FALSE(Form1->Usb_Image->Visible());
  EXPECT_TRUE(Application->Icon()->Empty());
  DoneApplication();
  Application->Initialize();
  Load(true);
  EXPECT_TRUE(Form1->Usb_Image->Visible());
  EXPECT_FALSE(Form1->M_CacheonlyFixedDiskfiles->Checked());
  EXPECT_FALSE(Form1->M_CacheonlyFixedDiskfiles->Visible());
  EXPECT_FALSE(FormSettings->BShortCut->Enabled());
  ASSERT_FALSE(Application->Icon()->Empty());
  // The icon as another reader sees it: a 32 by 32 icon, transparent around a stick.
  const std::string file = testsupport::TempPath("usb.ico");
  Application->Icon()->SaveToFile(file);
  auto identify = testsupport::Run({"identify", "-format", "%m %w %h\n", file});
  EXPECT_EQ(identify.out, "ICO 32 32\n") << identify.err;
  testsupport::Raster raster = testsupport::ImageMagickRaster(file);
  ASSERT_EQ(raster.channels, 4);
  EXPECT_EQ(raster.at(0, 0, 3), 0) << "the corner is transparent";
  EXPECT_EQ(raster.at(10, 20, 3), 255) << "the body is opaque";
  EXPECT_EQ(raster.at(10, 20, 2), 0x80) << "and navy";
  EXPECT_EQ(raster.at(10, 20, 0), 0);
  Application->SetIcon(&none);
}

// ---------------------------------------------------------------------------
// The end of the desktop session
// ---------------------------------------------------------------------------
// SIGTERM (logout, shutdown) closes the program as the user's close does, also in full
// screen, where a close by the user only leaves full screen.
TEST_F(SettingsTest, SessionEndSavesTheSettingsAsACloseDoes) {
  WriteRegistry({"\"Version\"=" + Dword(ThisBuild()), "\"Prefix\"=\"mine_\"", "\"WinStatusMain\"=dword:00000001",
                 "\"WinStatusLeft\"=dword:00000014", "\"WinStatusTop\"=dword:0000001e",
                 "\"WinStatusWidth\"=dword:00000320", "\"WinStatusHeight\"=dword:00000258"});
  CreateWindows();
  ShowMainWindow();
  InstallSessionHandler();
  Form1->M_Recursive->SetChecked(false);
  Form1->FullScreen();
  ASSERT_TRUE(Form1->FFullScreen);
  ASSERT_EQ(raise(SIGTERM), 0);
  for (int i = 0; i < 100 && !Application->Terminated(); ++i) Application->ProcessMessages();
  SetSessionHandler(nullptr);
  EXPECT_TRUE(Application->Terminated());
  EXPECT_FALSE(Form1->FFullScreen);
  auto values = UserRegistryValues(RegistryFile());
  EXPECT_EQ(values.size(), kSaveOrder.size());
  EXPECT_EQ(values["Recursive"], Dword(0));
  EXPECT_EQ(values["Prefix"], "\"mine_\"");
  // The window's normal place, not the screen it filled.
  EXPECT_EQ(values["WinStatusMain"], Dword(1));
  EXPECT_EQ(values["WinStatusLeft"], Dword(20));
  EXPECT_EQ(values["WinStatusWidth"], Dword(800));
}

// The session manager's request to save: the settings are written, and the program runs on
// as it was, the paperclip view's empty current folder included.
TEST_F(SettingsTest, SessionSaveRequestWritesTheSettingsAndTheRunGoesOn) {
  WriteRegistry({"\"Version\"=" + Dword(ThisBuild())});
  CreateWindows();
  ShowMainWindow();
  Form1->FSlideDelay = 9;
  const std::string before = testsupport::TempPath("before shows");
  fs::create_directories(before);
  Form1->FFolderBeforeShows = before;
  Form1->FLastPath.clear();
  Form1->SaveSettingsForSession();
  EXPECT_FALSE(Application->Terminated());
  EXPECT_TRUE(Form1->Visible());
  EXPECT_EQ(Form1->FLastPath, "");
  auto values = UserRegistryValues(RegistryFile());
  EXPECT_EQ(values["SlideDelay"], Dword(9));
  EXPECT_EQ(values["LastPath"], Quoted(before));
}

// A session that ends before the settings were loaded leaves the store as it was.
TEST_F(SettingsTest, SessionEndBeforeTheFirstShowingWritesNothing) {
  WriteRegistry({"\"Version\"=" + Dword(ThisBuild()), "\"SlideDelay\"=dword:00000007"});
  const std::string before = testsupport::ReadFile(RegistryFile());
  CreateWindows();
  Form1->EndOfSession();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_EQ(testsupport::ReadFile(RegistryFile()), before);
}

TEST_F(SettingsTest, FailedSaveIsReportedOnce) {
  // The registry's folder lies below a file: nothing can be written there.
  const std::string blocker = testsupport::TempFile("blocker", "");
  setenv("KIVO2_REGISTRY_DIR", (blocker + "/registry").c_str(), 1);
  Load();
  std::string message;
  ModalResponder::Expect(ModalKind::ShowMessage, [&](ModalRequest& request) {
    message = request.text;
    return int(mrOk);
  });
  EXPECT_FALSE(Form1->WriteUserSettingsToReg());
  EXPECT_FALSE(Form1->WriteUserSettingsToReg());
  EXPECT_EQ(ModalResponder::Pending(), 0);
  EXPECT_EQ(ModalResponder::History().size(), 1u);
  EXPECT_EQ(message.rfind("Your settings could not be saved:", 0), 0u) << message;
}

TEST_F(SettingsTest, FailedIniSaveIsReported) {
  Load(true);
  fs::create_directories(ProgramFolder() + "Kivo2_usb.ini");
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  EXPECT_FALSE(Form1->WriteUserSettingsToReg());
  EXPECT_EQ(ModalResponder::Pending(), 0);
}
