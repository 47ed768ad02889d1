// The 28 windows of the start-up: the main window first, captions in the stored language,
// and runs of the program itself: a clean close, and the end of the desktop session. (The designed states the settings store starts from are checked through the
// store, by what a fresh store saves.)

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>

#include "MainWindowFixture.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/ProgramForms.h"
#include "core/ProgramGlobals.h"
#include "core/StartUp.h"
#include "core/Unit1.h"
#include "core/UnitFilterselect.h"
#include "core/UnitSetting.h"
#include "tools/ExifInfoUnit2.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "tools/CalcAspectForm.h"
#include "tools/UnitAnalize.h"
#include "tools/UnitBatchRename2.h"
#include "tools/UnitEditName.h"
#include "tools/UnitGetMemorycard.h"
#include "tools/UnitHistogram.h"
#include "tools/UnitSaveImage.h"
#include "tools/UnitSaveToFolder.h"

namespace {

namespace fs = std::filesystem;

class ProgramFormsTest : public testing::Test {
 protected:
  void SetUp() override {
    ModalResponder::Reset();
    ModalResponder::SetFailureHook([](const std::string& message) { ADD_FAILURE() << message; });
    InitTranslation(testsupport::ProgramDir() + "/locale");
    UseLanguage("en");
    Application->Initialize();
  }
  void TearDown() override {
    DoneApplication();
    UseLanguage("en");
    FinalizeProgramGlobals();
  }
  static TCustomForm* FormNamed(const std::string& name) {
    return dynamic_cast<TCustomForm*>(Application->FindComponent(name));
  }
};

}  // namespace

TEST_F(ProgramFormsTest, TheMainWindowComesFirstAndTheApplicationOwnsEveryWindow) {
  const int before = Screen->FormCount();
  CreateProgramForms();
  EXPECT_EQ(Screen->FormCount() - before, ProgramFormCount);
  EXPECT_EQ(Application->MainForm(), Form1);
  EXPECT_EQ(FormNamed("HistogramForm")->Owner(), Application);
  EXPECT_EQ(FormNamed("CalculateAspect"), CalculateAspect);
}

TEST_F(ProgramFormsTest, StoredDutchMakesEveryWindowDutchFromItsCreationOn) {
  std::string programDir = testsupport::TempPath("program");
  fs::create_directories(programDir);
  testsupport::WriteFile(GetEnvironmentVariable("KIVO2_REGISTRY_DIR") + "/HKEY_CURRENT_USER.reg",
                         "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n\"Language\"=\"nl\"\r\n\r\n");
  InitProgramLanguageFor(programDir);
  ASSERT_EQ(UiLanguageCode, "nl");
  CreateProgramForms();

  EXPECT_EQ(Form1->Caption(), "Kivo2") << "the main window's caption is fixed";
  EXPECT_EQ(FormSettings->Caption(), "Voorkeuren");
  EXPECT_EQ(FormNamed("SearchForm")->Caption(), "Bestand zoeken");
  EXPECT_EQ(FormNamed("FormSaveImage")->Caption(), "Compressiecentrum");
  EXPECT_EQ(FormSettings->ChB_ListBgColor->Caption(), "Grijze achtergrond voor lijsten");
  EXPECT_EQ(FormSettings->ZqButton1->Caption(), "Sluiten");
  EXPECT_EQ(FormGetcard->ChB_Suffix->Caption(), "Achtervoegsel");
  EXPECT_EQ(FormGetcard->ChB_Suffix->Hint(), "tekst achter de naam");
  EXPECT_EQ(FormFilterSelect->RG_Resample->Items()->Strings(6), "Lanczos3 (uitstekende scherpe details)");
  EXPECT_EQ(FormSaveImage->ComboBox2->Items()->Strings(5), "uitstekend");
  EXPECT_EQ(FormAnalize->TabSheet7->Caption(), "Equivalentielijst");
  EXPECT_EQ(BatchRenameForm->CaseGroup->Items()->Strings(0), "HOOFDLETTERS");
  EXPECT_EQ(SaveToFolderForm->PrefixText->Text(), "klein_");
  EXPECT_EQ(HistogramForm->ZqSpeedButton2->Hint(), "Sluiten");
}

TEST_F(ProgramFormsTest, HistogramWindowClearsAndTakesTheChart) {
  CreateProgramForms();
  TCanvas* canvas = HistogramForm->Image1->Canvas();
  ASSERT_EQ(canvas->ClipRect(), Rect(0, 0, 256, 140));
  HistogramForm->ClearHistogram(*canvas);
  EXPECT_EQ(canvas->Pixels(0, 0), clSkyBlue);
  EXPECT_EQ(canvas->Pixels(255, 139), clSkyBlue);
  THistogram h;
  h.Bins[128] = 1;
  DrawHistogramChart(0, h, *canvas);
  EXPECT_EQ(canvas->Pixels(128, 0), RGB(128, 128, 128)) << "a bar of the full height";
}

TEST_F(ProgramFormsTest, DialogButtonsEndTheModalRunWithTheirResult) {
  CreateProgramForms();
  ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest& request) {
    EXPECT_EQ(request.form, FormEditName);
    FormEditName->ZqButton2->Click();
    return mrNone;
  });
  EXPECT_EQ(FormEditName->ShowModal(), mrCancel);
  ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest&) {
    BatchRenameForm->Edit1->SetText("IMG");
    BatchRenameForm->ZqButton1->Click();
    return mrNone;
  });
  EXPECT_EQ(BatchRenameForm->ShowModal(), mrOk);
  EXPECT_EQ(ModalResponder::Pending(), 0);
}

// The program itself, run as the user runs it, closes its main window and exits with 0.
// Without a display it says so and ends at once, having written nothing.
TEST(ProgramRun, StartsCreatesTheKeyAndQuitsCleanlyWhenTheMainWindowCloses) {
  std::string exe = testsupport::ProgramDir() + "/kivo2";
  ASSERT_TRUE(fs::exists(exe)) << exe;
  const std::string bare = testsupport::TempPath("bare"), picture = testsupport::TempPath("picture.jpg");
  fs::create_directories(bare);
  testsupport::WriteFile(picture, "x");
  std::vector<std::string> argv{"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", "HOME=" + bare};
  for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "KIVO2_REGISTRY_DIR"})
    argv.push_back(std::string(name) + "=" + bare + "/" + name);
  argv.insert(argv.end(), {"timeout", "20", exe, picture});
  auto run = testsupport::Run(argv);
  EXPECT_TRUE(run.exitCode != 0 && run.exitCode != 124 && run.err.find("display") != std::string::npos)
      << run.exitCode << ": " << run.err;
  EXPECT_TRUE(fs::is_empty(bare));
  // So with a display named that does not answer, or X11 asked for without one: the
  // program's own message in the environment's language, never the toolkit's abort.
  int unused = 4711;
  while (fs::exists("/tmp/.X11-unix/X" + std::to_string(unused))) ++unused;
  for (const std::string& named : {"DISPLAY=:" + std::to_string(unused), std::string("DISPLAY=nohost:0"),
                                   std::string("QT_QPA_PLATFORM=xcb")})
    for (const auto& [language, word] : {std::pair{"LANGUAGE=en", "display"}, {"LANGUAGE=nl", "beeldscherm"}}) {
      std::vector<std::string> args = argv;
      args.insert(args.begin() + 7, {named, language});
      run = testsupport::Run(args);
      EXPECT_TRUE(run.exitCode == 1 && run.err.rfind("kivo2: Kivo2 ", 0) == 0 && run.err.find(word) < run.err.size() &&
                  fs::is_empty(bare)) << named << " " << language << ": " << run.exitCode << ": " << run.err;
    }

  setenv("KIVO2_CLOSE_AFTER_MS", "200", 1);
  run = testsupport::Run({"timeout", "60", exe});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::string reg = testsupport::ReadFile(GetEnvironmentVariable("KIVO2_REGISTRY_DIR") + "/HKEY_CURRENT_USER.reg");
  EXPECT_NE(reg.find("[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]"), std::string::npos);

  // A stand-alone copy (its own program folder with the marker) never touches the registry.
  std::string copyDir = testsupport::TempPath("stick/KIVO2_USB");
  fs::create_directories(copyDir);
  fs::copy_file(exe, copyDir + "/kivo2");
  testsupport::WriteFile(copyDir + "/usb_drive.on", "Kivo2 USB on/off file\r\n");
  testsupport::WriteFile(copyDir + "/Kivo2_usb.ini", "[U3]\r\nLanguage=nl\r\n");
  fs::remove(GetEnvironmentVariable("KIVO2_REGISTRY_DIR") + "/HKEY_CURRENT_USER.reg");
  run = testsupport::Run({"timeout", "60", copyDir + "/kivo2"});
  unsetenv("KIVO2_CLOSE_AFTER_MS");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::is_empty(GetEnvironmentVariable("KIVO2_REGISTRY_DIR")));
}

// The first argument of the program's own command line: a picture opens in its folder
// (the real folder when it is named through a linked folder, which the folder tree does
// not enter); a folder, as a path or a file URL, is passed over and the stored folder
// stays the start folder. The folder the run ends in is the one it saves.
TEST(ProgramRun, APictureArgumentStartsInItsFolderAndAFolderArgumentIsPassedOver) {
  KIVO2_REQUIRE_TOOL("convert");
  const std::string exe = testsupport::ProgramDir() + "/kivo2";
  ASSERT_TRUE(fs::exists(exe)) << exe;
  const std::string registry = GetEnvironmentVariable("KIVO2_REGISTRY_DIR") + "/HKEY_CURRENT_USER.reg";
  const std::string stored = testsupport::TempPath("stored") + "/", album = testsupport::TempPath("Album 2004") + "/";
  const std::string linked = testsupport::TempPath("linked album");
  fs::create_directories(stored);
  fs::create_directories(album + "inner");
  for (const std::string& picture : {stored + "s.jpg", album + "beach.jpg", album + "inner/i.jpg"})
    ASSERT_EQ(testsupport::Run({"convert", "-size", "64x48", "xc:red", picture}).exitCode, 0);
  fs::create_directory_symlink(album, linked);
  // As desktop launchers pass files: a blank is "%20".
  auto url = [](std::string path) {
    for (size_t at = path.find(' '); at != std::string::npos; at = path.find(' ', at)) path.replace(at, 1, "%20");
    return "file://" + path;
  };

  const std::pair<std::string, std::string> runs[] = {
      {album, stored},
      {album + "inner", stored},
      {url(album), stored},
      {linked, stored},
      {album + "beach.jpg", album},
      {album + "inner/i.jpg", album + "inner/"},
      {linked + "/beach.jpg", album},
      {url(album + "inner/i.jpg"), album + "inner/"},
  };
  setenv("KIVO2_CLOSE_AFTER_MS", "300", 1);
  for (const auto& [argument, folder] : runs) {
    testsupport::WriteFile(registry, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n\"Version\"=" +
                                         Dword(uint32_t(ThisBuild())) + "\r\n\"LastPath\"=\"" + stored + "\"\r\n\r\n");
    auto run = testsupport::Run({"timeout", "60", exe, argument});
    EXPECT_EQ(run.exitCode, 0) << argument << ": " << run.err;
    const std::string text = testsupport::ReadFile(registry);
    EXPECT_NE(text.find("\"WinStatusMain\"="), std::string::npos) << argument << ": the settings were not saved";
    EXPECT_NE(text.find("\"LastPath\"=\"" + folder + "\"\r\n"), std::string::npos) << argument << "\n" << text;
  }
  unsetenv("KIVO2_CLOSE_AFTER_MS");
}

// Logging out of the desktop sends the program SIGTERM: it saves its settings as a close
// does and exits normally. The folder of the picture named on the command line is the
// setting this run changes.
TEST(ProgramRun, SigtermAtLogoutSavesTheSettingsOfTheRun) {
  KIVO2_REQUIRE_TOOL("convert");
  const std::string exe = testsupport::ProgramDir() + "/kivo2";
  ASSERT_TRUE(fs::exists(exe)) << exe;
  const std::string registry = GetEnvironmentVariable("KIVO2_REGISTRY_DIR") + "/HKEY_CURRENT_USER.reg";
  testsupport::WriteFile(registry, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n\"Version\"=" +
                                       Dword(ThisBuild()) + "\r\n\"SlideDelay\"=dword:00000007\r\n\r\n");
  const std::string album = testsupport::TempPath("Summer 2004");
  fs::create_directories(album);
  ASSERT_EQ(testsupport::Run({"convert", "-size", "64x48", "xc:red", album + "/beach.jpg"}).exitCode, 0);

  std::vector<std::string> args = {exe, album + "/beach.jpg"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), environ), 0);
  // The settings are loaded once the e-mail folder they name has been made.
  const std::string loaded = GetEnvironmentVariable("XDG_DATA_HOME") + "/Kivo2/Kivo e-mail images";
  for (int i = 0; i < 600 && !fs::exists(loaded); ++i) usleep(50000);
  EXPECT_TRUE(fs::exists(loaded));
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  int status = 0;
  pid_t done = 0;
  for (int i = 0; i < 600 && done == 0; ++i) {
    done = waitpid(pid, &status, WNOHANG);
    if (done == 0) usleep(50000);
  }
  if (done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "the program did not end after SIGTERM";
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << (WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status)) : "exit status");

  const std::string text = testsupport::ReadFile(registry);
  EXPECT_NE(text.find("\"LastPath\"=\"" + album + "/\"\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"SlideDelay\"=dword:00000007\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"WinStatusMain\"="), std::string::npos) << text;
}
