// The shortcut maker: freedesktop launchers on the XDG desktop, in the application menu and
// in a folder. The launchers are checked with desktop-file-validate and started with GLib's
// own launcher (gio launch), which reads Exec and Path its own way.
#include <sys/stat.h>

#include <filesystem>

#include "TestSupport.h"
#include "controls/vShortcut.h"
#include "platform/gui/ModalResponder.h"
#include "platform/rtl/SysUtils.h"

namespace {

namespace fs = std::filesystem;

class ShortcutMakerTest : public testing::Test {
 protected:
  void SetUp() override {
    home_ = GetEnvironmentVariable("HOME");
    // A desktop folder with another name than "Desktop", not there yet: only the XDG setting finds it.
    desktop_ = home_ + "/Bureau";
    const std::string config = GetEnvironmentVariable("XDG_CONFIG_HOME");
    fs::create_directories(config);
    testsupport::WriteFile(config + "/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
  }

  // A program in a folder whose path needs quoting; it writes its working folder and its
  // arguments, one per line, to out.
  std::string MakeProgram(const std::string& out) {
    const std::string folder = testsupport::TempDir() + "/Program's folder";
    fs::create_directories(folder);
    const std::string program = folder + "/view $it";
    testsupport::WriteFile(program, "#!/bin/sh\npwd > '" + out + ".part'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                                        out + ".part'; done\nmv '" + out + ".part' '" + out + "'\n");
    chmod(program.c_str(), 0755);
    return program;
  }

  static void ExpectValid(const std::string& launcher) {
    if (!testsupport::ToolPath("desktop-file-validate").empty()) {
      const auto result = testsupport::Run({"desktop-file-validate", launcher});
      EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
      EXPECT_EQ(result.out.find("error"), std::string::npos) << result.out;
    }
    // GLib takes the file for a launcher that may be started.
    if (!testsupport::ToolPath("gio").empty()) {
      const auto info = testsupport::Run({"gio", "info", "-a", "standard::content-type,access::can-execute", launcher});
      EXPECT_EQ(info.exitCode, 0) << info.err;
      EXPECT_NE(info.out.find("standard::content-type: application/x-desktop"), std::string::npos) << info.out;
      EXPECT_NE(info.out.find("access::can-execute: TRUE"), std::string::npos) << info.out;
    }
  }

  std::string home_, desktop_;
};

TEST_F(ShortcutMakerTest, DesktopLauncherStartsTheProgramWithItsArgumentsInItsFolder) {
  const std::string out = testsupport::TempDir() + "/args.txt";
  const std::string program = MakeProgram(out);
  TvShortcut shortcut(nullptr);
  shortcut.SetFullExePath(program);
  shortcut.SetExeParameters("\"two words\" '$HOME' 100% 'back\\slash' \"quote\\\"d\"");
  shortcut.SetShortcutCaption("Kivo2");
  shortcut.SetDestination(sdDeskTop);
  shortcut.MakeShortcut();

  const std::string launcher = desktop_ + "/Kivo2.desktop";
  ASSERT_TRUE(fs::exists(launcher));
  struct stat st {};
  ASSERT_EQ(stat(launcher.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR) << "desktops start only executable launchers";
  ExpectValid(launcher);

  KIVO2_REQUIRE_TOOL("gio");
  const auto launched = testsupport::Run({"gio", "launch", launcher});
  ASSERT_EQ(launched.exitCode, 0) << launched.err;
  for (int i = 0; i < 100 && !fs::exists(out); ++i) Sleep(50);
  ASSERT_TRUE(fs::exists(out));
  EXPECT_EQ(testsupport::ReadFile(out), testsupport::TempDir() + "/Program's folder\ntwo words\n$HOME\n100%\n"
                                                                 "back\\slash\nquote\"d\n");
}

// The program folder's launcher shows the icon drawn for the program: a PNG to GLib and
// ImageMagick, with the freedesktop sizes beside it.
TEST_F(ShortcutMakerTest, TheProgramsLauncherShowsItsIcon) {
  KIVO2_REQUIRE_TOOL("gio");
  const std::string folder = testsupport::ProgramDir() + "/";
  TvShortcut shortcut(nullptr);
  shortcut.SetFullExePath(folder + "kivo2");
  shortcut.SetShortcutCaption("Kivo2");
  shortcut.MakeShortcut();
  ExpectValid(desktop_ + "/Kivo2.desktop");
  EXPECT_NE(testsupport::ReadFile(desktop_ + "/Kivo2.desktop").find("\nIcon=" + folder + "kivo2.png\n"), std::string::npos);
  const auto type = testsupport::Run({"gio", "info", "-a", "standard::content-type", folder + "kivo2.png"});
  EXPECT_NE(type.out.find("image/png"), std::string::npos) << type.out;
  std::vector<std::string> identify{"identify", "-format", "%m %wx%h ", folder + "kivo2.png"};
  std::string wanted = "PNG 256x256 ";
  for (const char* side : {"16x16", "22x22", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256"}) {
    identify.push_back(folder + "icons/hicolor/" + side + "/apps/kivo2.png");
    wanted += std::string("PNG ") + side + " ";
  }
  EXPECT_EQ(testsupport::Run(identify).out, wanted);
}

TEST_F(ShortcutMakerTest, EveryDestinationGetsALauncherOfTheCaptionsName) {
  const std::string folder = testsupport::TempDir() + "/Tools";
  fs::create_directories(folder);
  TvShortcut shortcut(nullptr);
  shortcut.SetFullExePath("/opt/Kivo2/kivo2");
  shortcut.SetShortcutCaption("Viewer");
  shortcut.SetShortcutFolder(folder);
  shortcut.SetDestination(sdAll);
  shortcut.MakeShortcut();

  const std::string menu = GetEnvironmentVariable("XDG_DATA_HOME") + "/applications/Viewer.desktop";
  for (const std::string& launcher : {desktop_ + "/Viewer.desktop", menu, folder + "/Viewer.desktop"}) {
    ASSERT_TRUE(fs::exists(launcher)) << launcher;
    ExpectValid(launcher);
    const std::string text = testsupport::ReadFile(launcher);
    EXPECT_NE(text.find("\nExec=/opt/Kivo2/kivo2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nPath=/opt/Kivo2/\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nName=Viewer\n"), std::string::npos) << text;
  }
  // Written again, an existing launcher is replaced, not doubled.
  shortcut.SetShortcutCaption("Viewer");
  shortcut.SetExeParameters("-x");
  shortcut.MakeShortcut();
  EXPECT_NE(testsupport::ReadFile(menu).find("\nExec=/opt/Kivo2/kivo2 -x\n"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(ShortcutMakerTest, FolderDestinationsNeedAFolderAndReportTheirOwnFailures) {
  TvShortcut shortcut(nullptr);
  ModalResponder::Expect(ModalKind::MessageDlg, [](ModalRequest& r) {
    EXPECT_EQ(r.text, "You must specify a folder for the shortcut !");
    return int(mrOk);
  });
  shortcut.SetDestination(sdFolder);
  EXPECT_EQ(shortcut.Destination(), sdDeskTop);

  // A folder that cannot take the launcher: a message, no exception, nothing written.
  shortcut.SetFullExePath("/opt/Kivo2/kivo2");
  shortcut.SetShortcutCaption("Viewer");
  shortcut.SetShortcutFolder(testsupport::TempDir() + "/missing");
  shortcut.SetDestination(sdFolder);
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  EXPECT_NO_THROW(shortcut.MakeShortcut());
  EXPECT_EQ(ModalResponder::Pending(), 0);
  EXPECT_FALSE(fs::exists(testsupport::TempDir() + "/missing"));

  // A desktop folder that cannot be made (a file) is the caller's error; no launcher elsewhere.
  fs::remove_all(desktop_);
  testsupport::WriteFile(desktop_, "");
  shortcut.SetDestination(sdDeskTop);
  EXPECT_THROW(shortcut.MakeShortcut(), EFCreateError);
  EXPECT_FALSE(fs::exists("/Viewer.desktop"));
}

}  // namespace
