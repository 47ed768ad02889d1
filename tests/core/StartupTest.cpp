// The start-up: application key name by marker file, the stored language from the
// stand-alone ini file or the registry (root by marker file), and its activation.

#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>

#include "TestSupport.h"
#include "core/ProgramGlobals.h"
#include "core/StartUp.h"
#include "platform/gui/GuiTesting.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/SysUtils.h"

namespace {

namespace fs = std::filesystem;

class StartupTest : public testing::Test {
 protected:
  void SetUp() override {
    programDir = testsupport::TempPath("program");
    fs::create_directories(programDir);
    registryDir = GetEnvironmentVariable("KIVO2_REGISTRY_DIR");
    InitTranslation(testsupport::ProgramDir() + "/locale");
  }
  void TearDown() override {
    UseLanguage("en");
    FinalizeProgramGlobals();
  }
  void Marker(const std::string& name) { testsupport::WriteFile(programDir + "/" + name, "x"); }
  std::string RegistryFile(const std::string& root) { return registryDir + "/" + root + ".reg"; }
  // A registry file as the Windows export format writes it, made without our registry code.
  void WriteRegistry(const std::string& root, const std::string& keyLines) {
    testsupport::WriteFile(RegistryFile(root), "REGEDIT4\r\n\r\n" + keyLines + "\r\n");
  }
  std::vector<std::string> RegistryFiles() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(registryDir)) names.push_back(e.path().filename().string());
    return names;
  }

  std::string programDir, registryDir;
};

}  // namespace

TEST_F(StartupTest, FirstRunCreatesTheKeyLeavesTheCodeEmptyAndAppliesTheEnvironmentsLanguage) {
  UseLanguage("en");
  InitProgramLanguageFor(programDir);
  EXPECT_EQ(AppKeyName, "Kivo2");
  EXPECT_EQ(UiLanguageCode, "");
  EXPECT_EQ(GetCurrentLanguage(), "en");
  std::string reg = testsupport::ReadFile(RegistryFile("HKEY_CURRENT_USER"));
  EXPECT_NE(reg.find("[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]"), std::string::npos) << reg;
  EXPECT_FALSE(fs::exists(RegistryFile("HKEY_LOCAL_MACHINE")));
  // A Dutch desktop's first start: its formats and the toolkit's dialogs are Dutch as its texts.
  setenv("LANGUAGE", "nl", 1);
  InitProgramLanguageFor(programDir);
  EXPECT_EQ(GetCurrentLanguage(), "nl");
  EXPECT_EQ(DecimalSeparator(), ',');
  const std::vector<std::string> dialog = GuiTesting::FileDialogTexts();
  EXPECT_NE(std::find(dialog.begin(), dialog.end(), "Zoeken in:"), dialog.end());
}

TEST_F(StartupTest, StoredLanguageIsActivatedWithTheResourceStringDomain) {
  WriteRegistry("HKEY_CURRENT_USER", "[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n\"Language\"=\"nl\"\r\n");
  // A save killed at its flush or at its rename leaves its work file beside; the start removes it.
  for (TFileFaultOp killedAt : {TFileFaultOp::Sync, TFileFaultOp::Rename}) {
    if (::fork() == 0) {
      ArmFileFault(killedAt, kFileFaultKill, ".kivo2save-");
      TRegistry().CreateKey("Software\\Kivo\\Run" + std::to_string(int(killedAt)));
      ::_exit(1);
    }
    ::wait(nullptr);
    EXPECT_EQ(RegistryFiles().size(), 2u);
    InitProgramLanguageFor(programDir);
    EXPECT_EQ(RegistryFiles(), std::vector<std::string>{"HKEY_CURRENT_USER.reg"});
  }
  EXPECT_EQ(UiLanguageCode, "nl");
  EXPECT_EQ(GetCurrentLanguage(), "nl");
  EXPECT_EQ(DecimalSeparator(), ',');
  // A text of the class library's domain, reached through the program's lookup.
  EXPECT_EQ(_("'%s' is not a valid integer value"), "'%s' is geen geldige gehele waarde");
}

TEST_F(StartupTest, CompilerMarkerChangesTheKeyTheLanguageIsReadFrom) {
  WriteRegistry("HKEY_CURRENT_USER",
                "[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n\"Language\"=\"en\"\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2 Corvo compiler]\r\n\"Language\"=\"nl\"\r\n");
  Marker("UNIT1.PAS");  // marker names compare without case
  InitProgramLanguageFor(programDir);
  EXPECT_EQ(AppKeyName, "Kivo2 Corvo compiler");
  EXPECT_EQ(SettingsKeyPath(), "Software\\Kivo\\Kivo2 Corvo compiler");
  EXPECT_EQ(UiLanguageCode, "nl");
}

TEST_F(StartupTest, LocalMachineMarkerReadsTheOtherRoot) {
  WriteRegistry("HKEY_CURRENT_USER", "[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n\"Language\"=\"en\"\r\n");
  WriteRegistry("HKEY_LOCAL_MACHINE", "[HKEY_LOCAL_MACHINE\\Software\\Kivo\\Kivo2]\r\n\"Language\"=\"nl\"\r\n");
  Marker("localmachinekey.on");
  InitProgramLanguageFor(programDir);
  EXPECT_EQ(UiLanguageCode, "nl");

  // A user who may not write the machine's settings cannot open the key as the start-up
  // opens it (for full access), so no language is read.
  const std::string machine = RegistryFile("HKEY_LOCAL_MACHINE");
  ASSERT_EQ(chmod(machine.c_str(), 0444), 0);
  ASSERT_EQ(chmod(registryDir.c_str(), 0555), 0);
  {
    testsupport::ActingAsOrdinaryUser user;
    InitProgramLanguageFor(programDir);
  }
  chmod(registryDir.c_str(), 0755);
  EXPECT_EQ(UiLanguageCode, "");
}

TEST_F(StartupTest, StandAloneModeReadsTheIniAndNeverTheRegistry) {
  Marker("usb_drive.on");
  Marker("localmachinekey.on");
  testsupport::WriteFile(programDir + "/kivo2_USB.ini", "[Other]\r\nLanguage=en\r\n[U3]\r\nLanguage=nl\r\n");
  // Both roots name another language: a registry read would show.
  WriteRegistry("HKEY_CURRENT_USER", "[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n\"Language\"=\"en\"\r\n");
  WriteRegistry("HKEY_LOCAL_MACHINE", "[HKEY_LOCAL_MACHINE\\Software\\Kivo\\Kivo2]\r\n\"Language\"=\"en\"\r\n");
  InitProgramLanguageFor(programDir);
  EXPECT_EQ(UiLanguageCode, "nl");
  EXPECT_EQ(GetCurrentLanguage(), "nl");

  // Without the ini file the language stays empty, and no registry key is made.
  fs::remove_all(registryDir);
  fs::create_directories(registryDir);
  fs::remove(programDir + "/kivo2_USB.ini");
  InitProgramLanguageFor(programDir);
  EXPECT_EQ(UiLanguageCode, "");
  EXPECT_TRUE(RegistryFiles().empty());
}

TEST_F(StartupTest, UnreadableOrOddStoredValuesGiveNoLanguage) {
  // A number where a text belongs.
  WriteRegistry("HKEY_CURRENT_USER", "[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n\"Language\"=dword:00000001\r\n");
  UseLanguage("en");
  InitProgramLanguageFor(programDir);
  EXPECT_EQ(UiLanguageCode, "");
  // A value that is no language code is kept as read but not handed to the translation library.
  WriteRegistry("HKEY_CURRENT_USER", "[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n\"Language\"=\"../../tmp/x\"\r\n");
  InitProgramLanguageFor(programDir);
  EXPECT_EQ(UiLanguageCode, "../../tmp/x");
  EXPECT_EQ(GetCurrentLanguage(), "en");
  // A folder named like a marker is no marker.
  fs::create_directories(programDir + "/usb_drive.on");
  EXPECT_FALSE(ProgramMarkerExists(programDir, "usb_drive.on"));
}

TEST_F(StartupTest, TheUnitInitialisationRunsOnce) {
  InitProgramLanguage();
  EXPECT_EQ(AppKeyName, "Kivo2");
  AppKeyName = "changed";
  InitProgramLanguage();
  EXPECT_EQ(AppKeyName, "changed");
  FinalizeProgramGlobals();
  EXPECT_EQ(AppKeyName, "");
  EXPECT_EQ(UiLanguageCode, "");
}
