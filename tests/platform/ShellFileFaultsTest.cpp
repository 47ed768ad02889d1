// The file fault hook: a chosen open, write, rename or unlink of the platform's file layer
// fails with a chosen errno, and the layer's file commands then fail as failures without
// losing or half-writing anything (checked with cmp and the folder listing).

#include <sys/wait.h>

#include <cerrno>
#include <csignal>

#include "ShellTestUtil.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"
#include "platform/shell/ShellExplorer.h"

namespace {

using shelltest::Exists;
using testsupport::ReadFile;
using testsupport::Run;
using testsupport::TempPath;
using testsupport::WriteFile;

std::string Listing(const std::string& dir) {
  std::string names;
  for (auto& e : std::filesystem::directory_iterator(dir)) names += e.path().filename().string() + "\n";
  return names;
}

bool SameBytes(const std::string& a, const std::string& b) { return Run({"cmp", "-s", a, b}).exitCode == 0; }

class ShellFileFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempPath("faults");
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { ClearFileFaults(); }
  std::string dir_;
};

TEST_F(ShellFileFaults, ArmedFaultHitsOnlyTheChosenCallsAndPaths) {
  std::string a = dir_ + "/a.txt", b = dir_ + "/b.txt";
  {
    // The second write to a path holding "b.txt" fails; writes to a.txt pass.
    TFileFaultScope fault(TFileFaultOp::Write, ENOSPC, "b.txt", 1, 1);
    TFileStream sa(a, fmCreate);
    EXPECT_EQ(sa.Write("xyz", 3), 3);
    TFileStream sb(b, fmCreate);
    EXPECT_EQ(sb.Write("one", 3), 3);
    EXPECT_EQ(sb.Write("two", 3), 0);
    EXPECT_EQ(sb.Write("six", 3), 3) << "the fault fails one call only";
    EXPECT_EQ(fault.Hits(), 1);
  }
  EXPECT_EQ(ReadFile(b), "onesix");
  // Disarmed with its scope.
  EXPECT_TRUE(DeleteFile(a));

  int id = ArmFileFault(TFileFaultOp::Open, EACCES, "", 0, -1);
  EXPECT_THROW(TFileStream(b, fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(a, fmCreate), EFCreateError);
  EXPECT_THROW(ReadFileBytes(b), EFOpenError);
  EXPECT_EQ(FileFaultHits(id), 3);
  DisarmFileFault(id);
  EXPECT_EQ(ReadFileBytes(b), "onesix");
}

TEST_F(ShellFileFaults, AtomicRewriteKeepsTheOldFileOnEveryFault) {
  std::string file = dir_ + "/settings.reg";
  WriteFile(file, "old contents\n");
  std::string keep = TempPath("keep.reg");
  WriteFile(keep, "old contents\n");
  const std::string before = Listing(dir_);
  // The flush before the rename is a step of its own: a file system that cannot flush
  // fails the save.
  for (TFileFaultOp op : {TFileFaultOp::Open, TFileFaultOp::Write, TFileFaultOp::Sync, TFileFaultOp::Rename}) {
    for (int err : {ENOSPC, EACCES, EIO}) {
      TFileFaultScope fault(op, err, dir_);
      EXPECT_ANY_THROW(SaveTextFileAtomically(file, std::string(100000, 'n')));
      EXPECT_EQ(fault.Hits(), 1);
      EXPECT_TRUE(SameBytes(file, keep));
      EXPECT_EQ(Listing(dir_), before) << "no temporary file may stay behind";
    }
  }
  SaveTextFileAtomically(file, "new\n");
  EXPECT_EQ(ReadFile(file), "new\n");
}

TEST_F(ShellFileFaults, RenameNeverReplacesAndFailedRenamesKeepBothNames) {
  std::string a = dir_ + "/a.jpg", b = dir_ + "/b.jpg";
  WriteFile(a, "AAAA");
  WriteFile(b, "BBBB");
  EXPECT_FALSE(RenameFile(a, b));
  EXPECT_EQ(fileio::RenameNoReplace(a, b), -1);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(ReadFile(a), "AAAA");
  EXPECT_EQ(ReadFile(b), "BBBB");
  EXPECT_FALSE(MovePath(a, b));
  EXPECT_EQ(ReadFile(b), "BBBB");

  {
    // Only a rename refused as across file systems takes the copy road.
    TFileFaultScope fault(TFileFaultOp::Rename, EACCES, "", 0, 2);
    EXPECT_FALSE(RenameFile(a, dir_ + "/c.jpg"));
    EXPECT_FALSE(MovePath(a, dir_ + "/c.jpg"));
  }
  EXPECT_EQ(ReadFile(a), "AAAA");
  EXPECT_FALSE(Exists(dir_ + "/c.jpg"));
  {
    TFileFaultScope fault(TFileFaultOp::Unlink, EIO);
    EXPECT_FALSE(DeleteFile(a));
  }
  EXPECT_EQ(ReadFile(a), "AAAA");
}

TEST_F(ShellFileFaults, MoveAcrossFileSystemsThatRunsOutOfSpaceKeepsTheSource) {
  // EXDEV on the rename sends the move through the copy road, as across volumes.
  std::filesystem::create_directories(dir_ + "/album/sub");
  std::string big(3 << 20, 'x');
  for (size_t i = 0; i < big.size(); i += 4099) big[i] = char(i * 7);
  WriteFile(dir_ + "/album/big.jpg", big);
  WriteFile(dir_ + "/album/sub/small.jpg", "small");
  std::string reference = TempPath("big.ref");
  WriteFile(reference, big);
  std::filesystem::create_directories(dir_ + "/target");

  // A disk that fills up, or that cannot flush what was written, before anything of the
  // source is removed.
  for (const char* file : {"", "/big.jpg", "/sub"}) {
    for (TFileFaultOp op : {TFileFaultOp::Write, TFileFaultOp::Sync}) {
      // A file moved alone, then the folder.
      std::string source = dir_ + "/album" + file;
      std::string target = dir_ + "/target/moved";
      TFileFaultScope exdev(TFileFaultOp::Rename, EXDEV, "", 0, 1);
      TFileFaultScope full(op, ENOSPC, "/target/");
      EXPECT_FALSE(MovePath(source, target));
      EXPECT_EQ(exdev.Hits(), 1);
      EXPECT_EQ(full.Hits(), 1);
    }
    EXPECT_TRUE(SameBytes(dir_ + "/album/big.jpg", reference));
    EXPECT_EQ(ReadFile(dir_ + "/album/sub/small.jpg"), "small");
    EXPECT_EQ(Listing(dir_ + "/target"), "") << "no partial copy may stay behind";
  }

  // The copy is read back before the source goes: a read that fails moves nothing.
  {
    TFileFaultScope exdev(TFileFaultOp::Rename, EXDEV, "", 0, 1);
    TFileFaultScope unreadable(TFileFaultOp::Open, EIO, "/album/big.jpg", 1);
    EXPECT_FALSE(MovePath(dir_ + "/album", dir_ + "/target/moved"));
    EXPECT_EQ(unreadable.Hits(), 1);
  }
  EXPECT_EQ(Listing(dir_ + "/target"), "");
  // The copy is in place but the source cannot be removed: a failed move.
  {
    TFileFaultScope exdev(TFileFaultOp::Rename, EXDEV, "", 0, 1);
    TFileFaultScope stuck(TFileFaultOp::Unlink, EACCES, "/album/big.jpg");
    EXPECT_FALSE(MovePath(dir_ + "/album/big.jpg", dir_ + "/target/stuck.jpg"));
    EXPECT_EQ(stuck.Hits(), 1);
  }
  EXPECT_TRUE(SameBytes(dir_ + "/album/big.jpg", reference));

  // Without the disk filling up, the copy road moves everything.
  {
    TFileFaultScope exdev(TFileFaultOp::Rename, EXDEV, "", 0, 1);
    ASSERT_TRUE(MovePath(dir_ + "/album", dir_ + "/target/moved"));
  }
  EXPECT_TRUE(SameBytes(dir_ + "/target/moved/big.jpg", reference));
  EXPECT_EQ(ReadFile(dir_ + "/target/moved/sub/small.jpg"), "small");
  EXPECT_FALSE(Exists(dir_ + "/album"));
}

// A rename to another file system copies the file (bytes, mode, dates: cmp and stat), and
// at each step of the copy a failure leaves the original as the only file.
TEST_F(ShellFileFaults, RenameAcrossFileSystemsKeepsEverythingOrFailsWhole) {
  shelltest::OtherDeviceScratch scratch;
  std::string a = dir_ + "/a.jpg", keep = TempPath("a.keep");
  std::string big(300000, 'x');
  for (size_t i = 0; i < big.size(); i += 7) big[i] = char(i);
  WriteFile(a, big);
  WriteFile(keep, big);
  ASSERT_EQ(::chmod(a.c_str(), 0640), 0);
  ASSERT_EQ(testsupport::Run({"touch", "-d", "2009-08-07 06:05:04.321", a}).exitCode, 0);
  const std::string stamp = shelltest::StatField("%a %.9Y", a);
  std::filesystem::create_directories(dir_ + "/sub");
  struct Step {
    TFileFaultOp op;
    std::string where;
    int skip;
  };
  const std::vector<Step> steps{{TFileFaultOp::Open, "a.jpg", 0},        {TFileFaultOp::Open, ".kivo2copy-", 0},
                                {TFileFaultOp::Write, ".kivo2copy-", 0}, {TFileFaultOp::Sync, ".kivo2copy-", 0},
                                {TFileFaultOp::Rename, ".kivo2copy-", 0}, {TFileFaultOp::Sync, "/sub", 1},
                                {TFileFaultOp::Unlink, "a.jpg", 0}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.where + " " + std::to_string(int(step.op)));
    TFileFaultScope exdev(TFileFaultOp::Rename, EXDEV, "a.jpg", 0, 1);
    TFileFaultScope fault(step.op, EIO, step.where, step.skip, 1);
    EXPECT_FALSE(RenameFile(a, dir_ + "/sub/b.jpg"));
    EXPECT_EQ(fault.Hits(), 1);
    EXPECT_TRUE(SameBytes(a, keep));
    EXPECT_EQ(Listing(dir_ + "/sub"), "");
  }
  // Across a real file system where there is one, else through the hook.
  const std::string target = scratch.Path().empty() ? dir_ + "/sub/b.jpg" : scratch.Path() + "/b.jpg";
  {
    TFileFaultScope exdev(TFileFaultOp::Rename, EXDEV, "a.jpg", 0, scratch.Path().empty() ? 1 : 0);
    ASSERT_TRUE(RenameFile(a, target));
  }
  EXPECT_FALSE(Exists(a));
  EXPECT_TRUE(SameBytes(target, keep));
  EXPECT_EQ(shelltest::StatField("%a %.9Y", target), stamp);
  EXPECT_EQ(Listing(ExtractFileDir(target)), "b.jpg\n");
}

// Work entries of ended processes go (never renamed onto a name that is free), also those
// of a zombie that its parent has not reaped yet; those of a running process and
// look-alikes without a mark stay.
TEST_F(ShellFileFaults, LeftoversOfEndedProcessesGoAndNeverTakeAName) {
  const std::string gone = Trim(testsupport::Run({"sh", "-c", "echo $$.$(cut -d' ' -f22 /proc/$$/stat)"}).out);
  const pid_t child = fork();
  if (child == 0) _exit(0);
  siginfo_t ended;
  ASSERT_EQ(waitid(P_PID, id_t(child), &ended, WEXITED | WNOWAIT), 0);  // ended, not reaped
  const std::string zombie =
      std::to_string(child) + "." +
      Trim(testsupport::Run({"cut", "-d ", "-f22", "/proc/" + std::to_string(child) + "/stat"}).out);
  ASSERT_EQ(testsupport::Run({"ps", "-o", "stat=", "-p", std::to_string(child)}).out.substr(0, 1), "Z");
  const std::string live = Trim(
      testsupport::Run({"sh", "-c", "sleep 60 </dev/null >/dev/null 2>&1 & echo $!.$(cut -d' ' -f22 /proc/$!/stat)"})
          .out);
  // Alike when asked, when the folder is listed (which shows no work entry) and at the
  // first work file asked for in it.
  const std::string listed = dir_ + "/listed", written = dir_ + "/written";
  for (const std::string& d : {written, listed, dir_}) {
    std::filesystem::create_directories(d + "/.album.kivo2move-" + gone + "-Ab12Cd/album/sub");
    WriteFile(d + "/p.jpg", "picture");
    // pid 1 with another start time: an id taken again.
    for (const std::string& name :
         {"a.jpg.kivo2copy-" + gone, "p.jpg.kivo2lossless-" + gone, "q.jpg.kivo2lossless-" + zombie,
          std::string("c.jpg.kivo2copy-1.999999999"), "b.jpg.kivo2copy-" + live, std::string("n.kivo2copy-0")})
      WriteFile(d + "/." + name + "-Ab12Cd", name);
  }
  EXPECT_EQ(ClearLeftovers(dir_), 5);
  WorkFileTemplate(written + "/p.jpg", ".kivo2copy-");
  TSearchRec rec;
  std::string names;
  for (int found = FindFirst(listed + "/*", faAnyFile, rec); found == 0; found = FindNext(rec)) names += rec.Name + " ";
  EXPECT_EQ(names, ". .. .n.kivo2copy-0-Ab12Cd p.jpg ");
  for (const std::string& d : {written, listed, dir_})
    EXPECT_EQ(testsupport::Run({"env", "LC_ALL=C", "ls", "-A", d}).out,
              ".b.jpg.kivo2copy-" + live + "-Ab12Cd\n.n.kivo2copy-0-Ab12Cd\n" + (d == dir_ ? "listed\np.jpg\nwritten\n" : "p.jpg\n"));
  ::kill(pid_t(std::stol(live)), SIGKILL);
  waitpid(child, nullptr, 0);
}

TEST_F(ShellFileFaults, TrashThatCannotTakeTheFileLeavesItAndNoInfo) {
  std::string file = dir_ + "/photo.jpg";
  WriteFile(file, "photo");
  for (TFileFaultOp op : {TFileFaultOp::Open, TFileFaultOp::Write, TFileFaultOp::Rename}) {
    TFileFaultScope fault(op, op == TFileFaultOp::Rename ? EACCES : ENOSPC, "Trash");
    EXPECT_FALSE(MoveToTrash(file));
    EXPECT_EQ(errno, op == TFileFaultOp::Rename ? EACCES : ENOSPC);
    EXPECT_EQ(fault.Hits(), 1);
    EXPECT_EQ(ReadFile(file), "photo");
    std::string info = HomeTrashDir() + "/info";
    if (Exists(info)) {
      EXPECT_EQ(Listing(info), "");
    }
  }
  ASSERT_TRUE(MoveToTrash(file));
  EXPECT_EQ(ReadFile(HomeTrashDir() + "/files/photo.jpg"), "photo");
}

TEST_F(ShellFileFaults, CopiesThatFailRemoveWhatTheyWrote) {
  std::string src = dir_ + "/src.jpg", dst = dir_ + "/dst.jpg";
  WriteFile(src, std::string(200000, 's'));
  WriteFile(dst, "old");
  {
    TFileFaultScope fault(TFileFaultOp::Write, EIO, dir_, 0, -1);
    EXPECT_FALSE(CopyFileExclusive(src, dir_ + "/new.jpg", true));
  }
  // The data cannot be written, or the whole copy cannot take its name.
  for (TFileFaultOp op : {TFileFaultOp::Write, TFileFaultOp::Rename}) {
    TFileFaultScope fault(op, EIO, dir_, 0, -1);
    EXPECT_FALSE(CopyFileReplacing(src, dst));
    EXPECT_FALSE(CopyPath(src, dir_ + "/new.jpg"));
  }
  EXPECT_FALSE(Exists(dir_ + "/new.jpg"));
  EXPECT_EQ(ReadFile(dst), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2);
}

}  // namespace
