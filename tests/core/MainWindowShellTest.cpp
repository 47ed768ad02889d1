// Starting files and programs through the desktop, a file type's registered program from
// the MIME database (checked against xdg-mime), and the screen-saver inhibition.
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "MainWindowFixture.h"
#include "core/Unit1.h"
#include "platform/QtApplication.h"
#include "platform/gui/GuiTesting.h"
#include "platform/services/ScreenSaver.h"

namespace fs = std::filesystem;

namespace {

// A MIME database and a desktop entry of the test's own file type ".kvt".
void MakeFileTypeDatabase(const std::string& data, const std::string& config, const std::string& program) {
  fs::create_directories(data + "/mime/application");
  fs::create_directories(data + "/applications");
  fs::create_directories(config);
  testsupport::WriteFile(data + "/mime/globs2", "# comment\n80:application/x-kivotest:*.kvt\n50:text/plain:*.txt\n");
  testsupport::WriteFile(data + "/mime/application/x-kivotest.xml",
                         "<?xml version=\"1.0\"?>\n<mime-type type=\"application/x-kivotest\">\n"
                         "  <comment xml:lang=\"nl\">Kivo-testbestand</comment>\n"
                         "  <comment>Kivo test &amp; file</comment>\n</mime-type>\n");
  testsupport::WriteFile(data + "/applications/kivotest.desktop",
                         "[Desktop Entry]\nType=Application\nName=Kivo test viewer\nExec=" + program +
                             " --view %f\n");
  testsupport::WriteFile(config + "/mimeapps.list",
                         "[Default Applications]\napplication/x-kivotest=kivotest.desktop;\n");
}

}  // namespace

TEST_F(MainWindowTest, AssociatedProgramOfAFileTypeComesFromTheMimeDatabase) {
  KIVO2_REQUIRE_TOOL("xdg-mime");
  const std::string data = testsupport::TempPath("share");
  const std::string config = testsupport::TempPath("xdgconfig");
  // xdg-mime names only entries whose program is there.
  const std::string viewer = testsupport::TempPath("bin") + "/kvview";
  fs::create_directories(testsupport::TempPath("bin"));
  testsupport::WriteFile(viewer, "#!/bin/sh\n");
  fs::permissions(viewer, fs::perms::owner_all);
  MakeFileTypeDatabase(data, config, viewer);
  EnvironmentGuard env({{"XDG_DATA_HOME", data}, {"XDG_DATA_DIRS", testsupport::TempPath("none")},
                        {"XDG_CONFIG_HOME", config}, {"XDG_CONFIG_DIRS", testsupport::TempPath("none")}});
  // The desktop's own tool finds the same entry.
  auto oracle = testsupport::Run({"xdg-mime", "query", "default", "application/x-kivotest"});
  ASSERT_EQ(oracle.exitCode, 0) << oracle.err;
  EXPECT_EQ(oracle.out, "kivotest.desktop\n");

  CreateWindows();
  std::string info, program;
  Form1->GetAssociationInfo(".KVT", info, program);
  EXPECT_EQ(program, "kvview");
  EXPECT_EQ(info, "Extension: .KVT\rTypename: application/x-kivotest\rDisplayname: Kivo test & file\r"
                  "Server: " + viewer + " --view %f");
  // An unknown type, and a known type without a program, give "n/a".
  for (const char* extension : {".zzqx", ".txt"}) {
    Form1->GetAssociationInfo(extension, info, program);
    EXPECT_EQ(info + " " + program, "n/a n/a") << extension;
  }
}

// A file is handed to the program of its type, never run: an executable script named like
// a picture has no program; missing files are said.
TEST_F(MainWindowTest, RunShellCommandNeverRunsAFileAndSaysWhatItCannotOpen) {
  KIVO2_REQUIRE_TOOL("xdg-mime");
  const std::string script = testsupport::TempPath("IMG_0002.JPG"), doc = testsupport::TempPath("paper.zzqx");
  testsupport::WriteFile(script, "#!/bin/sh\ntouch \"$0.ran\"\n");
  fs::permissions(script, fs::perms::owner_all);
  testsupport::WriteFile(doc, "\x01\x02\xff");
  CreateWindows();
  EXPECT_EQ(Form1->RunShellCommand("IMG_0002.JPG", "", testsupport::TempPath(""), SW_SHOWNORMAL), SE_ERR_NOASSOC);
  EXPECT_FALSE(GuiTesting::WaitUntil([&] { return fs::exists(script + ".ran"); }, 1500));
  EXPECT_EQ(Form1->RunShellCommand(doc, "", "", SW_SHOWNORMAL), SE_ERR_NOASSOC);
  EXPECT_EQ(Form1->RunShellCommand(testsupport::TempPath("gone.zzqx"), "", "", SW_SHOWNORMAL), SE_ERR_FNF);
  EXPECT_EQ(Form1->RunShellCommand("", "", "", SW_SHOWNORMAL), SE_ERR_FNF);
}

// ---------------------------------------------------------------------------
// Screen saver (held off in full screen and during a show: in the slide show's test)
// ---------------------------------------------------------------------------
TEST(ScreenSaverService, NoServiceOnTheBusMeansNothingHappens) {
  KIVO2_REQUIRE_TOOL("dbus-daemon");
  // A session bus of our own, on which no screen saver runs.
  const std::string config = testsupport::TempPath("bus.conf");
  const std::string socket = testsupport::TempPath("bus-socket");
  testsupport::WriteFile(config,
                         "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                         " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                         "<busconfig><type>session</type><listen>unix:path=" +
                             socket +
                             "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\""
                             " eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
  auto started = testsupport::Run({"dbus-daemon", "--config-file=" + config, "--fork", "--print-pid"});
  ASSERT_EQ(started.exitCode, 0) << started.err;
  const int pid = std::atoi(started.out.c_str());
  ASSERT_GT(pid, 0);
  {
    EnvironmentGuard bus({{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + socket}});
    EnsureQtApplication();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ScreenSaverServiceAvailable());
    TScreenSaverInhibitor inhibitor("Kivo2", "test");
    EXPECT_FALSE(inhibitor.SetInhibited(true));
    EXPECT_FALSE(inhibitor.Inhibited());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
  // The daemon removes its socket as it ends: the sandbox goes only after it has ended.
  kill(pid, SIGTERM);
  // (It is no child of ours: once ended it may stay a zombie where nothing reaps orphans.)
  EXPECT_TRUE(GuiTesting::WaitUntil(
      [pid] {
        std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
        std::string stat;
        std::getline(file, stat);
        const size_t paren = stat.rfind(')');
        return stat.empty() || (paren != std::string::npos && stat.compare(paren, 3, ") Z") == 0);
      },
      20000));
}
