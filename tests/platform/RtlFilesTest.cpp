// Files and folders: existence, renames that never replace, folder listing with
// case-blind masks and attribute filters, attributes, 64-bit sizes, atomic rewrites,
// file names and the path helper set; checked with find, stat, ln and truncate.
#include <fcntl.h>

#include "RtlTestHelpers.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

namespace {

using rtltest::ToolLine;
using testsupport::ReadFile;
using testsupport::TempPath;
using testsupport::WriteFile;

TEST(RtlFiles, ExistenceOfFilesFoldersAndLinks) {
  std::string dir = TempPath("d");
  ASSERT_TRUE(ForceDirectories(dir + "/a/b/c/"));
  EXPECT_TRUE(DirectoryExists(dir + "/a/b/c"));
  EXPECT_TRUE(ForceDirectories(dir + "/a/b"));  // already there
  EXPECT_FALSE(ForceDirectories(""));
  EXPECT_FALSE(CreateDir(dir + "/a"));
  EXPECT_FALSE(RemoveDir(dir + "/a"));  // not empty
  EXPECT_TRUE(RemoveDir(dir + "/a/b/c"));
  WriteFile(dir + "/f.jpg", "x");
  ASSERT_EQ(symlink("f.jpg", (dir + "/lf.jpg").c_str()), 0);
  ASSERT_EQ(symlink("a", (dir + "/ld").c_str()), 0);
  EXPECT_TRUE(FileExists(dir + "/f.jpg"));
  EXPECT_TRUE(FileExists(dir + "/lf.jpg"));
  EXPECT_FALSE(FileExists(dir + "/a"));
  EXPECT_FALSE(FileExists(dir + "/ld"));
  EXPECT_TRUE(DirectoryExists(dir + "/ld"));
  EXPECT_FALSE(DirectoryExists(dir + "/f.jpg"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(DeleteFile(dir + "/a"));  // folders are not files
  EXPECT_TRUE(DeleteFile(dir + "/lf.jpg"));
  EXPECT_TRUE(FileExists(dir + "/f.jpg"));  // the link went, not its target
}

TEST(RtlFiles, RenameNeverReplacesAnExistingTarget) {
  std::string a = TempPath("a.jpg"), b = TempPath("b.jpg"), c = TempPath("c.jpg");
  WriteFile(a, "first");
  WriteFile(b, "second");
  EXPECT_FALSE(RenameFile(a, b));
  EXPECT_EQ(ReadFile(a), "first");
  EXPECT_EQ(ReadFile(b), "second");
  EXPECT_TRUE(RenameFile(a, c));
  EXPECT_FALSE(FileExists(a));
  EXPECT_EQ(ReadFile(c), "first");
  EXPECT_FALSE(RenameFile(TempPath("missing"), TempPath("other")));
  // Folders: renamed, but never onto another folder or file.
  std::string d1 = TempPath("d1"), d2 = TempPath("d2");
  ASSERT_TRUE(CreateDir(d1));
  ASSERT_TRUE(CreateDir(d2));
  EXPECT_FALSE(RenameFile(d1, d2));
  EXPECT_FALSE(RenameFile(d1, b));
  EXPECT_TRUE(RenameFile(d1, TempPath("d3")));
  EXPECT_TRUE(DirectoryExists(TempPath("d3")));
  // A name differing only in case is another file here, and is not replaced either.
  WriteFile(TempPath("Case.jpg"), "upper");
  WriteFile(TempPath("case.jpg"), "lower");
  EXPECT_FALSE(RenameFile(TempPath("case.jpg"), TempPath("Case.jpg")));
  EXPECT_EQ(ReadFile(TempPath("Case.jpg")), "upper");
}

class RtlFind : public testing::Test {
 protected:
  void SetUp() override {
    dir = TempPath("pics");
    ASSERT_TRUE(CreateDir(dir));
    for (const char* n : {"A.JPG", "b.jpg", "c.Jpeg", "d.txt", ".hidden.jpg", "noext"}) WriteFile(dir + "/" + n, n);
    ASSERT_TRUE(CreateDir(dir + "/sub"));
    ASSERT_TRUE(CreateDir(dir + "/sub.jpg"));
    ASSERT_EQ(symlink("b.jpg", (dir + "/lnk.jpg").c_str()), 0);
    ASSERT_EQ(symlink("sub", (dir + "/dirlink").c_str()), 0);
    ASSERT_EQ(symlink("gone", (dir + "/dangling.jpg").c_str()), 0);
  }

  std::map<std::string, int> List(const std::string& mask, int attr) {
    std::map<std::string, int> out;
    TSearchRec sr;
    if (FindFirst(dir + "/" + mask, attr, sr) == 0) {
      do out[sr.Name] = sr.Attr;
      while (FindNext(sr) == 0);
      FindClose(sr);
    }
    return out;
  }

  static std::set<std::string> Names(const std::map<std::string, int>& m) {
    std::set<std::string> s;
    for (const auto& [k, v] : m) s.insert(k);
    return s;
  }

  std::string dir;
};

// The case-blind mask must select what find -iname selects.
TEST_F(RtlFind, MasksMatchWithoutCaseLikeFindIname) {
  KIVO2_REQUIRE_TOOL("find");
  for (const char* mask : {"*.jpg", "*.JPG", "?.j*", "*.jpe*", "*", "b.*", "*x*"}) {
    auto r = testsupport::Run({"find", dir, "-mindepth", "1", "-maxdepth", "1", "-iname", mask, "-printf", "%f\\n"});
    const std::vector<std::string> lines = testsupport::Lines(r.out);
    const std::set<std::string> expected(lines.begin(), lines.end());
    auto ours = Names(List(mask, faAnyFile));
    ours.erase(".");
    ours.erase("..");
    EXPECT_EQ(ours, expected) << mask;
  }
  // "*.*" also lists names without a dot, and "name.*" the name without extension.
  EXPECT_TRUE(List("*.*", faAnyFile).count("noext"));
  EXPECT_TRUE(List("noext.*", faAnyFile).count("noext"));
}

TEST_F(RtlFind, AttributeMasksFilterLikeWindows) {
  auto files = Names(List("*.jpg", faArchive));
  EXPECT_EQ(files, (std::set<std::string>{"A.JPG", "b.jpg", "lnk.jpg", "dangling.jpg"}));
  auto all = List("*.*", faAnyFile);
  EXPECT_TRUE(all.count(".") && all.count(".."));
  EXPECT_EQ(all["."], faDirectory);
  EXPECT_EQ(all["sub"], faDirectory);
  EXPECT_EQ(all[".hidden.jpg"], faHidden | faArchive);
  EXPECT_EQ(all["lnk.jpg"], faSymLink | faArchive);
  EXPECT_EQ(all["dirlink"], faSymLink | faDirectory);
  EXPECT_EQ(all["dangling.jpg"], faSymLink);
  auto dirs = List("*", faDirectory);
  EXPECT_TRUE(dirs.count("sub") && dirs.count("dirlink") && dirs.count("b.jpg"));
  EXPECT_FALSE(dirs.count(".hidden.jpg"));
  // "." and ".." come first, the rest sorted without case.
  TSearchRec sr;
  ASSERT_EQ(FindFirst(dir + "/*", faAnyFile, sr), 0);
  std::vector<std::string> order{sr.Name};
  while (FindNext(sr) == 0) order.push_back(sr.Name);
  FindClose(sr);
  ASSERT_GE(order.size(), 4u);
  EXPECT_EQ(order[0], ".");
  EXPECT_EQ(order[1], "..");
  EXPECT_EQ(order[2], ".hidden.jpg");
  EXPECT_EQ(order[3], "A.JPG");
  EXPECT_NE(FindFirst(dir + "/*.bmp", faAnyFile, sr), 0);
  EXPECT_NE(FindFirst(TempPath("nofolder") + "/*", faAnyFile, sr), 0);
  EXPECT_NE(FindFirst(dir + "/", faAnyFile, sr), 0);
  // An exact name is found in any case, the exact spelling first.
  ASSERT_EQ(FindFirst(dir + "/a.jpg", faAnyFile, sr), 0);
  EXPECT_EQ(sr.Name, "A.JPG");
  FindClose(sr);
}

TEST_F(RtlFind, SizesAndTimesOfEntries) {
  KIVO2_REQUIRE_TOOL("truncate");
  KIVO2_REQUIRE_TOOL("stat");
  std::string big = dir + "/big.jpg";
  ASSERT_EQ(testsupport::Run({"truncate", "-s", "3G", big}).exitCode, 0);
  std::string size = ToolLine({"stat", "-c", "%s", big});
  EXPECT_EQ(std::to_string(FileSizeByName(big)), size);
  TSearchRec sr;
  ASSERT_EQ(FindFirst(big, faAnyFile, sr), 0);
  EXPECT_EQ(std::to_string(sr.Size), size);
  EXPECT_EQ(sr.Size, int64_t(3) << 30);
  EXPECT_EQ(sr.Time, FileAge(big));
  FindClose(sr);
  EXPECT_EQ(FileSizeByName(TempPath("missing")), -1);
  ASSERT_EQ(FindFirst(dir + "/lnk.jpg", faAnyFile, sr), 0);
  EXPECT_EQ(sr.Size, 5);  // the size of what the link names
}

TEST(RtlFiles, AttributesMapToPermissionsAndNames) {
  KIVO2_REQUIRE_TOOL("stat");
  std::string f = TempPath("ro.jpg");
  WriteFile(f, "x");
  EXPECT_EQ(FileGetAttr(f), faArchive);
  EXPECT_EQ(FileSetAttr(f, faArchive | faReadOnly), 0);
  EXPECT_EQ(ToolLine({"stat", "-c", "%A", f}).find('w'), std::string::npos);
  EXPECT_TRUE(FileIsReadOnly(f));
  EXPECT_TRUE(FileSetReadOnly(f, false));
  EXPECT_EQ(ToolLine({"stat", "-c", "%A", f}).substr(0, 3), "-rw");
  EXPECT_EQ(FileGetAttr(TempPath(".cfg")), -1);
  WriteFile(TempPath(".cfg"), "");
  EXPECT_EQ(FileGetAttr(TempPath(".cfg")), faHidden | faArchive);
  EXPECT_EQ(FileGetAttr(testsupport::TempDir()), faDirectory);
  EXPECT_NE(FileSetAttr(TempPath("missing"), 0), 0);
}

TEST(RtlFiles, FileNameParts) {
  EXPECT_EQ(ExtractFilePath("/a/b/c.jpg"), "/a/b/");
  EXPECT_EQ(ExtractFilePath("c.jpg"), "");
  EXPECT_EQ(ExtractFileDir("/a/b/c.jpg"), "/a/b");
  EXPECT_EQ(ExtractFileDir("/c.jpg"), "/");
  EXPECT_EQ(ExtractFileName("/a/b/c.jpg"), "c.jpg");
  EXPECT_EQ(ExtractFileName("/a/b/"), "");
  EXPECT_EQ(ExtractFileExt("/a/b/c.tar.GZ"), ".GZ");
  EXPECT_EQ(ExtractFileExt("/a.b/c"), "");
  EXPECT_EQ(ExtractFileExt("c."), ".");
  EXPECT_EQ(ChangeFileExt("/a.b/c", ".jpg"), "/a.b/c.jpg");
  EXPECT_EQ(ChangeFileExt("/a/c.jpeg", ".shw"), "/a/c.shw");
  EXPECT_EQ(ChangeFileExt("/a/c.jpeg", ""), "/a/c");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/a//"), "/a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
  EXPECT_EQ(ExpandFileName("/a/./b/../c//d/"), "/a/c/d/");
  EXPECT_EQ(ExpandFileName("/.."), "/");
  std::string cwd = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(testsupport::TempDir()));
  EXPECT_EQ(ExpandFileName("x/../y.jpg"), ExcludeTrailingPathDelimiter(GetCurrentDir()) + "/y.jpg");
  EXPECT_FALSE(SetCurrentDir(TempPath("missing")));
  SetCurrentDir(cwd);
}

TEST(RtlFiles, AtomicRewriteReplacesWholeOrNotAtAll) {
  KIVO2_REQUIRE_TOOL("stat");
  std::string dir = TempPath("w");
  ASSERT_TRUE(CreateDir(dir));
  std::string f = dir + "/list.txt";
  WriteFile(f, "old contents");
  ASSERT_EQ(chmod(f.c_str(), 0640), 0);
  SaveTextFileAtomically(f, "new");
  EXPECT_EQ(ReadFile(f), "new");
  EXPECT_EQ(ToolLine({"stat", "-c", "%a", f}), "640");  // permissions kept
  {
    rtltest::FileSizeLimit limit(1000);
    EXPECT_THROW(SaveTextFileAtomically(f, std::string(5000, 'x')), EWriteError);
  }
  EXPECT_EQ(ReadFile(f), "new");
  EXPECT_EQ(rtltest::ListFolder(dir), "list.txt\n");  // no temporary file left
  EXPECT_THROW(SaveTextFileAtomically(TempPath("nofolder") + "/x.txt", "x"), EFCreateError);
  EXPECT_THROW(SaveTextFileAtomically(dir, "x"), EFCreateError);
  // Through a link: the named file is replaced, the link stays a link.
  ASSERT_EQ(symlink("list.txt", (dir + "/link.txt").c_str()), 0);
  SaveTextFileAtomically(dir + "/link.txt", "via link");
  EXPECT_EQ(ReadFile(f), "via link");
  EXPECT_EQ(FileGetAttr(dir + "/link.txt") & faSymLink, faSymLink);
  if (geteuid() != 0) {
    ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
    EXPECT_THROW(SaveTextFileAtomically(f, "blocked"), EFCreateError);
    chmod(dir.c_str(), 0755);
    EXPECT_EQ(ReadFile(f), "via link");
  }
  EXPECT_THROW(ReadFileBytes(TempPath("missing")), EFOpenError);
  EXPECT_THROW(ReadFileBytes(dir), EFOpenError);
  EXPECT_THROW(ReadFileBytes(f, 3), EReadError);
}

TEST(RtlPaths, JoiningAndNormalising) {
  EXPECT_EQ(PathJoin("/a/", "/b"), "/a/b");
  EXPECT_EQ(PathJoin("/a", "b/"), "/a/b/");
  EXPECT_EQ(PathJoin("/", "b"), "/b");
  EXPECT_EQ(PathJoin("", "b"), "b");
  EXPECT_EQ(PathJoin("/a", ""), "/a");
  EXPECT_EQ(PathJoin("/a//", "b", "c.jpg"), "/a/b/c.jpg");
  EXPECT_EQ(NormalizeFolderPath("/a//b/./c/../"), "/a/b");
  EXPECT_EQ(NormalizeFolderPath("/"), "/");
  EXPECT_EQ(NormalizeFolderPath("/../a"), "/a");
  EXPECT_EQ(NormalizeFolderPath("a/../../b"), "../b");
  EXPECT_TRUE(SameFolderPath("/home/u/Photos/", "/home/u//Photos"));
  EXPECT_FALSE(SameFolderPath("/home/u/Photos", "/home/u/photos"));
  EXPECT_EQ(LastFolderName("/home/u/Photos/"), "Photos");
  EXPECT_TRUE(IsFullPath("/a"));
  EXPECT_FALSE(IsFullPath("a/b"));
}

TEST(RtlPaths, SameFileAndMountPointAgreeWithTheTools) {
  KIVO2_REQUIRE_TOOL("ln");
  KIVO2_REQUIRE_TOOL("stat");
  std::string a = TempPath("a.jpg"), hard = TempPath("hard.jpg"), soft = TempPath("soft.jpg"), other = TempPath("o.jpg");
  WriteFile(a, "x");
  WriteFile(other, "x");
  ASSERT_EQ(testsupport::Run({"ln", a, hard}).exitCode, 0);
  ASSERT_EQ(testsupport::Run({"ln", "-s", a, soft}).exitCode, 0);
  EXPECT_TRUE(SameFile(a, hard));
  EXPECT_TRUE(SameFile(a, soft));
  EXPECT_TRUE(SameFile(a, testsupport::TempDir() + "/./a.jpg"));
  EXPECT_FALSE(SameFile(a, other));
  EXPECT_FALSE(SameFile(a, TempPath("missing")));
  for (const std::string& p : {a, std::string("/"), std::string("/proc/self")}) {
    std::string expected = ToolLine({"stat", "-L", "-c", "%m", p});
    EXPECT_EQ(MountPointOf(p), expected) << p;
  }
  EXPECT_EQ(MountPointOf(TempPath("missing")), "");
}

TEST(RtlPaths, StoredWindowsPathsBecomeLinuxPaths) {
  EXPECT_EQ(WindowsPathToLinux("E:\\Pictures\\2004\\a.jpg", "/media/stick"), "/media/stick/Pictures/2004/a.jpg");
  EXPECT_EQ(WindowsPathToLinux(":\\Photos\\2004", "/media/stick/"), "/media/stick/Photos/2004");
  EXPECT_EQ(WindowsPathToLinux("X:\\Photos\\", "/"), "/Photos/");
  EXPECT_EQ(WindowsPathToLinux("C:", "/mnt/c"), "/mnt/c");
  EXPECT_EQ(WindowsPathToLinux("\\PRIVATE", "/media/s"), "/media/s/PRIVATE");
  EXPECT_EQ(WindowsPathToLinux("/home/u/a\\b.jpg", "/x"), "/home/u/a\\b.jpg");  // a Linux name may hold '\'
  EXPECT_EQ(WindowsPathToLinux("sub\\a.jpg", "/x"), "sub/a.jpg");
  EXPECT_TRUE(IsWindowsStylePath("X:\\a"));
  EXPECT_TRUE(IsWindowsStylePath(":\\a"));
  EXPECT_FALSE(IsWindowsStylePath("/a"));
  EXPECT_FALSE(IsWindowsStylePath("ab:\\"));
  EXPECT_EQ(LinuxPathToWindows("/media/stick/Photos/a.jpg", "/media/stick", ":"), ":\\Photos\\a.jpg");
  EXPECT_EQ(LinuxPathToWindows("/media/stick", "/media/stick/", "X:"), "X:\\");
  EXPECT_EQ(LinuxPathToWindows("/media/sticker/a", "/media/stick", "X:"), "");
  EXPECT_EQ(WindowsPathToLinux(LinuxPathToWindows("/m/s/a b/c.jpg", "/m/s", "X:"), "/m/s"), "/m/s/a b/c.jpg");
}

TEST(RtlPaths, FixedNamesAreFoundWithoutCase) {
  std::string dir = TempPath("prog");
  ASSERT_TRUE(CreateDir(dir));
  WriteFile(dir + "/USB_Drive.on", "");
  EXPECT_EQ(FindNameNoCase(dir, "usb_drive.on"), dir + "/USB_Drive.on");
  EXPECT_EQ(FindNameNoCase(dir, "USB_Drive.on"), dir + "/USB_Drive.on");
  EXPECT_EQ(FindNameNoCase(dir, "usb_drive.off"), "");
  EXPECT_EQ(FindNameNoCase(TempPath("none"), "x"), "");
}

TEST(RtlSystem, ProcessFacts) {
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  exe[n] = 0;
  EXPECT_EQ(ParamStr(0), exe);
  EXPECT_EQ(ProgramDir(), ExtractFilePath(exe));
  char arg0[] = "prog", arg1[] = "/pics/a b.jpg";
  char* argv[] = {arg0, arg1, nullptr};
  SetCommandLine(2, argv);
  EXPECT_EQ(ParamCount(), 1);
  EXPECT_EQ(ParamStr(1), "/pics/a b.jpg");
  EXPECT_EQ(ParamStr(2), "");
  EXPECT_EQ(ParamStr(-1), "");
  setenv("KIVO2_RTL_TEST", "v", 1);
  EXPECT_EQ(GetEnvironmentVariable("KIVO2_RTL_TEST"), "v");
  EXPECT_EQ(GetEnvironmentVariable("KIVO2_RTL_UNSET"), "");
  uint64_t t0 = GetTickCount64();
  Sleep(20);
  EXPECT_GE(GetTickCount64() - t0, 20u);
  EXPECT_GT(DiskSize("/"), 0);
  EXPECT_GE(DiskFree(testsupport::TempDir()), 0);
  EXPECT_EQ(DiskFree(TempPath("missing")), -1);
  EXPECT_EQ(GetTempDir().back(), '/');
  EXPECT_THROW(RaiseLastOSError(ENOENT), EOSError);
}

}  // namespace
