// The shell services of the explorer: whole-folder copies that never replace and leave
// nothing when they fail (diff, cmp), zip archives that unzip accepts, folder change
// notification for changes other processes make, and sub folder listings as find sees them.
#include <chrono>
#include <thread>

#include "ShellTestUtil.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/FileFaults.h"
#include "platform/shell/ShellExplorer.h"

namespace {

namespace fs = std::filesystem;
using shelltest::Exists;
using testsupport::ReadFile;

using testsupport::TempPath;
using testsupport::WriteFile;

std::string MakeTree(const std::string& root) {
  fs::create_directories(root + "/sub/deeper");
  WriteFile(root + "/a.jpg", std::string(70000, 'a'));
  WriteFile(root + "/sub/b é.txt", "b");
  WriteFile(root + "/sub/deeper/.hidden", "h");
  fs::create_symlink("a.jpg", root + "/link");
  return root;
}

TEST(ShellExplorer, CopyPathCopiesWholeFoldersAndRefusesWhatWouldLoseOrLoop) {
  const std::string src = MakeTree(TempPath("src"));
  const std::string dst = TempPath("dst");
  ASSERT_TRUE(CopyPath(src, dst));
  EXPECT_EQ(testsupport::Run({"diff", "-r", "--no-dereference", src, dst}).exitCode, 0);
  EXPECT_TRUE(fs::is_symlink(dst + "/link"));
  // Never over an existing name, never into itself.
  WriteFile(TempPath("taken"), "keep");
  EXPECT_FALSE(CopyPath(src + "/a.jpg", TempPath("taken")));
  EXPECT_EQ(ReadFile(TempPath("taken")), "keep");
  EXPECT_FALSE(CopyPath(src, src + "/sub/copy"));
  EXPECT_FALSE(Exists(src + "/sub/copy"));
  EXPECT_TRUE(IsSameOrInside(src + "/sub/not yet", src));
  EXPECT_FALSE(IsSameOrInside(src + "-other", src));
  fs::create_directory_symlink(src + "/sub", TempPath("alias"));
  EXPECT_TRUE(IsSameOrInside(TempPath("alias") + "/deeper", src)) << "links are resolved";
  // A copy that fails half-way leaves nothing beside the target.
  const std::string parent = TempPath("full");
  fs::create_directories(parent);
  {
    TFileFaultScope full(TFileFaultOp::Write, ENOSPC, parent, 1, -1);
    EXPECT_FALSE(CopyPath(src, parent + "/copy"));
  }
  EXPECT_TRUE(fs::is_empty(parent));
}

TEST(ShellExplorer, ZipArchivesUnzipAcceptsAndFailuresLeaveNothing) {
  KIVO2_REQUIRE_TOOL("unzip");
  const std::string src = MakeTree(TempPath("album"));
  const std::string zip = TempPath("album.zip");
  std::string error;
  ASSERT_TRUE(WriteZipArchive(zip, {src, src + "/a.jpg"}, error)) << error;
  auto tested = testsupport::Run({"unzip", "-t", zip});
  EXPECT_EQ(tested.exitCode, 0) << tested.out;
  std::set<std::string> names;
  const std::string out = testsupport::Run({"unzip", "-Z1", zip}).out;
  for (size_t s = 0, e; s < out.size(); s = e + 1) {
    e = out.find('\n', s);
    names.insert(out.substr(s, e - s));
  }
  // Folders with everything below them; the link is left out.
  EXPECT_EQ(names, (std::set<std::string>{"album/", "album/a.jpg", "album/sub/", "album/sub/b é.txt",
                                          "album/sub/deeper/", "album/sub/deeper/.hidden", "a.jpg"}));
  EXPECT_EQ(testsupport::Run({"unzip", "-p", zip, "album/a.jpg"}).out, ReadFile(src + "/a.jpg"));
  // An existing archive is never replaced.
  const std::string before = ReadFile(zip);
  EXPECT_FALSE(WriteZipArchive(zip, {src + "/a.jpg"}, error));
  EXPECT_EQ(ReadFile(zip), before);
  // A failed final rename leaves no archive and no work files.
  const std::string dir = TempPath("zips");
  fs::create_directories(dir);
  {
    TFileFaultScope fault(TFileFaultOp::Rename, EIO, dir);
    EXPECT_FALSE(WriteZipArchive(dir + "/x.zip", {src}, error));
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST(ShellExplorer, WatcherReportsFoldersOtherProcessesChange) {
  Application->Initialize();
  const std::string dir = TempPath("watched");
  fs::create_directories(dir);
  std::vector<std::string> reports;
  {
    TFolderWatcher watcher([&](const std::string& folder) { reports.push_back(folder); });
    watcher.SetFolders({dir, TempPath("missing")});
    EXPECT_EQ(watcher.Folders(), std::vector<std::string>{dir + "/"});
    auto waitReport = [&] {
      auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
      while (reports.empty() && std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      bool got = !reports.empty() && reports.back() == dir + "/";
      reports.clear();
      return got;
    };
    ASSERT_EQ(testsupport::Run({"mkdir", dir + "/new"}).exitCode, 0);
    EXPECT_TRUE(waitReport());
    ASSERT_EQ(testsupport::Run({"mv", dir + "/new", dir + "/renamed"}).exitCode, 0);
    EXPECT_TRUE(waitReport());
    ASSERT_EQ(testsupport::Run({"rmdir", dir + "/renamed"}).exitCode, 0);
    EXPECT_TRUE(waitReport());
    // A volume mounted (where that is allowed) as a folder changes: both are reported.
    fs::create_directories(TempPath("point"));
    fs::create_directory(dir + "/beside a mount");
    if (testsupport::Run({"mount", "-t", "tmpfs", "none", TempPath("point")}).exitCode == 0) {
      EXPECT_TRUE(waitReport()) << "the folder's change went with the drives'";
      EXPECT_EQ(testsupport::Run({"umount", TempPath("point")}).exitCode, 0);
    }
    watcher.SetFolders({});
    ASSERT_EQ(testsupport::Run({"mkdir", dir + "/unwatched"}).exitCode, 0);
    EXPECT_FALSE(waitReport());
  }
  DoneApplication();
}

TEST(ShellExplorer, SubFoldersAndDrivesAsTheSystemSeesThem) {
  const std::string root = MakeTree(TempPath("tree"));
  fs::create_directories(root + "/Ünï ✓");
  fs::create_directory_symlink(root + "/sub", root + "/dirlink");
  auto names = SubFolderNames(root);
  std::sort(names.begin(), names.end());
  auto found = testsupport::Run({"find", root, "-mindepth", "1", "-maxdepth", "1", "-type", "d", "-printf", "%f\\n"});
  std::vector<std::string> expected;
  for (size_t s = 0, e; s < found.out.size(); s = e + 1) {
    e = found.out.find('\n', s);
    expected.push_back(found.out.substr(s, e - s));
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  EXPECT_EQ(SubFolderNames(root, true).size(), 1u);
  // The drives: "/" first, then the home folder.
  std::vector<TExplorerDrive> drives = ExplorerDrives();
  ASSERT_GE(drives.size(), 2u);
  EXPECT_EQ(drives[0].Path, "/");
  EXPECT_EQ(drives[1].Path, std::string(getenv("HOME")));
  EXPECT_EQ(drives[1].Label, "Home");
}

}  // namespace
