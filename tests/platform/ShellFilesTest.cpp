// Moving and copying files and folders: nothing replaced by accident, nothing lost on
// failure, modes and dates kept (checked with stat, cmp and diff).

#include "ShellTestUtil.h"
#include "platform/shell/Shell.h"
#include "platform/shell/ShellExplorer.h"

namespace {

using shelltest::Exists;
using shelltest::StatField;
using testsupport::ReadFile;
using testsupport::TempPath;
using testsupport::WriteFile;

int Files(const std::string& dir) { return int(std::distance(std::filesystem::directory_iterator(dir), {})); }

TEST(ShellFiles, FailedCopyKeepsOldTargetAndLeavesNoTemporaryFile) {
  std::string dir = TempPath("failing");
  std::filesystem::create_directories(dir);
  std::string target = dir + "/doel.jpg";
  WriteFile(target, "precious");

  // A source whose reading fails half-way (the kernel refuses to read address 0).
  EXPECT_FALSE(CopyFileReplacing("/proc/self/mem", target));
  // Sources that are no regular file, or missing, or a folder as the target.
  EXPECT_FALSE(CopyFileReplacing(dir, target));
  EXPECT_FALSE(CopyFileReplacing(dir + "/missing.jpg", target));
  std::string fifo = dir + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(CopyFileReplacing(fifo, target)) << "a pipe must be refused, not waited on";
  EXPECT_FALSE(CopyFileReplacing(target, dir));

  EXPECT_EQ(ReadFile(target), "precious");
  EXPECT_EQ(Files(dir), 2);

  // An exclusive copy never replaces an existing file.
  std::string other = dir + "/other.jpg";
  WriteFile(other, "other");
  EXPECT_FALSE(CopyFileExclusive(other, target, true));
  EXPECT_EQ(ReadFile(target), "precious");

  // A complete copy replaces the target, read-only or not, and the GUI is served meanwhile.
  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
  int pumps = 0;
  ASSERT_TRUE(CopyFileReplacing(other, target, [&] { ++pumps; }));
  EXPECT_EQ(ReadFile(target), "other");
  EXPECT_EQ(pumps, 2);
  EXPECT_EQ(Files(dir), 3);
}

TEST(ShellFiles, CopiedFileTakesItsNameWholeWithModeAndDatesAndNeverReplaces) {
  KIVO2_REQUIRE_TOOL("cmp");
  KIVO2_REQUIRE_TOOL("stat");
  std::string dir = TempPath("copyfile");
  std::filesystem::create_directories(dir + "/to");
  std::string source = dir + "/IMG 0001.JPG", target = dir + "/to/IMG 0001.JPG";
  std::string bytes(3 << 20, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 2654435761u) >> 13);
  WriteFile(source, bytes);
  ASSERT_EQ(::chmod(source.c_str(), 0640), 0);
  ASSERT_EQ(testsupport::Run({"touch", "-d", "2021-03-04 05:06:07.5", source}).exitCode, 0);

  ASSERT_TRUE(CopyPath(source, target));
  EXPECT_EQ(testsupport::Run({"cmp", source, target}).exitCode, 0);
  EXPECT_EQ(StatField("%a %y", target), StatField("%a %y", source));
  EXPECT_EQ(Files(dir + "/to"), 1) << "a temporary file was left behind";

  // A taken name is refused and stays as it was.
  WriteFile(dir + "/other.jpg", "other");
  EXPECT_FALSE(CopyPath(dir + "/other.jpg", target));
  EXPECT_EQ(testsupport::Run({"cmp", source, target}).exitCode, 0);
  EXPECT_EQ(Files(dir + "/to"), 1);

  // Files that report no size (or less than they hold) are read to their end: a short
  // one and one of megabytes.
  for (const char* pseudo : {"/proc/version", "/proc/kallsyms"}) {
    if (::access(pseudo, R_OK) != 0) continue;
    std::string copy = dir + "/to" + pseudo + ".txt";
    std::filesystem::create_directories(std::filesystem::path(copy).parent_path());
    ASSERT_TRUE(CopyPath(pseudo, copy)) << pseudo;
    EXPECT_EQ(testsupport::Run({"cmp", pseudo, copy}).exitCode, 0) << pseudo;
  }
}

TEST(ShellFiles, MoveOnOneFileSystemNeverReplaces) {
  std::string dir = TempPath("move");
  std::filesystem::create_directories(dir + "/album");
  WriteFile(dir + "/album/a.jpg", "a");
  WriteFile(dir + "/b.jpg", "b");
  WriteFile(dir + "/c.jpg", "c");

  EXPECT_FALSE(MovePath(dir + "/b.jpg", dir + "/c.jpg"));
  EXPECT_EQ(ReadFile(dir + "/b.jpg"), "b");
  EXPECT_EQ(ReadFile(dir + "/c.jpg"), "c");
  EXPECT_FALSE(MovePath(dir + "/album", dir + "/album/inside"));
  EXPECT_FALSE(MovePath(dir + "/missing.jpg", dir + "/d.jpg"));

  ASSERT_TRUE(MovePath(dir + "/album", dir + "/Ålbum 2"));
  EXPECT_EQ(ReadFile(dir + "/Ålbum 2/a.jpg"), "a");
  EXPECT_FALSE(Exists(dir + "/album"));
}

TEST(ShellFiles, MoveAcrossFileSystemsCopiesTheWholeTree) {
  KIVO2_REQUIRE_TOOL("diff");
  KIVO2_REQUIRE_TOOL("stat");
  shelltest::OtherDeviceScratch scratch;
  if (scratch.Path().empty()) GTEST_SKIP() << "no second writable file system";

  std::string source = TempPath("reis");
  std::filesystem::create_directories(source + "/dag 1/leeg");
  WriteFile(source + "/dag 1/strand.jpg", std::string(100000, 'x'));
  WriteFile(source + "/.verborgen", "hidden");
  ASSERT_EQ(::chmod((source + "/dag 1/strand.jpg").c_str(), 0600), 0);
  ASSERT_EQ(testsupport::Run({"touch", "-d", "2010-01-02 03:04:05", source + "/dag 1/strand.jpg"}).exitCode, 0);
  // A link back up the tree: copied as a link, never followed.
  ASSERT_EQ(::symlink("..", (source + "/dag 1/terug").c_str()), 0);
  std::string reference = TempPath("reference");
  ASSERT_EQ(testsupport::Run({"cp", "-a", source, reference}).exitCode, 0);

  std::string target = scratch.Path() + "/reis";
  ASSERT_TRUE(MovePath(source, target));
  EXPECT_FALSE(Exists(source));
  EXPECT_EQ(testsupport::Run({"diff", "-r", "--no-dereference", reference, target}).exitCode, 0);
  EXPECT_EQ(StatField("%a", target + "/dag 1/strand.jpg"), "600");
  EXPECT_EQ(StatField("%Y", target + "/dag 1/strand.jpg"), StatField("%Y", reference + "/dag 1/strand.jpg"));
  EXPECT_EQ(StatField("%F", target + "/dag 1/terug"), "symbolic link");
  EXPECT_EQ(Files(scratch.Path()), 1) << "no work folder is left";

  // And back, a single file this time, refusing to replace on the way.
  WriteFile(TempPath("strand.jpg"), "in the way");
  EXPECT_FALSE(MovePath(target + "/dag 1/strand.jpg", TempPath("strand.jpg")));
  EXPECT_EQ(ReadFile(TempPath("strand.jpg")), "in the way");
  EXPECT_TRUE(Exists(target + "/dag 1/strand.jpg"));
  ASSERT_TRUE(MovePath(target + "/dag 1/strand.jpg", TempPath("strand2.jpg")));
  EXPECT_EQ(ReadFile(TempPath("strand2.jpg")), std::string(100000, 'x'));
}

TEST(ShellFiles, FailedMoveAcrossFileSystemsKeepsTheSource) {
  shelltest::OtherDeviceScratch scratch;
  if (scratch.Path().empty()) GTEST_SKIP() << "no second writable file system";
  std::string source = TempPath("met pijp");
  std::filesystem::create_directories(source);
  WriteFile(source + "/a.jpg", "a");
  // A named pipe cannot be copied: the move must fail as a whole.
  ASSERT_EQ(::mkfifo((source + "/pipe").c_str(), 0600), 0);
  EXPECT_FALSE(MovePath(source, scratch.Path() + "/met pijp"));
  EXPECT_EQ(ReadFile(source + "/a.jpg"), "a");
  EXPECT_TRUE(Exists(source + "/pipe"));
  EXPECT_EQ(Files(scratch.Path()), 0) << "no partial target or work folder";
}

}  // namespace
