#pragma once
// File faults for tests, and the file calls that they control.
//
// Every file the platform layer creates, writes, renames or removes goes through one of
// the calls in namespace fileio below. A test arms a fault (ArmFileFault or the scope
// object) and the chosen call then fails with the chosen errno value (ENOSPC, EACCES,
// EXDEV, EIO ...) exactly as the system call would, so the code under test meets a full
// disk, a refused permission or a rename across file systems on demand. With no fault
// armed the calls cost one atomic load more than the system calls.
//
// The six points a fault can hit:
//   Open    opening or creating a file, a temporary file or folder, a folder, a link
//   Write   writing bytes into an open file (also copies made inside the kernel)
//   Rename  renaming or linking an entry to a new name
//   Unlink  removing a file, a link or an empty folder
//   Sync    flushing a file or a folder to its disk
//   Lock    locking a file or a folder against other processes
#include <sys/types.h>

#include <string>
#include <vector>

enum class TFileFaultOp { Open, Write, Rename, Unlink, Sync, Lock };

// The Error that ends the process at the call instead (SIGKILL), as a crash or a kill there
// would: what the process wrote before stays, nothing after it happens.
constexpr int kFileFaultKill = -1;
// The Error that stops the process at the call (SIGSTOP) until it is continued (SIGCONT),
// as a program busy elsewhere would pause there; the call then goes on.
constexpr int kFileFaultStop = -2;

struct TFileFault {
  TFileFaultOp Op = TFileFaultOp::Open;
  int Error = 0;           // the errno value the call fails with, kFileFaultKill or kFileFaultStop
  std::string PathPart;    // only calls whose path holds this text ("" = every path; a rename: either name)
  int Skip = 0;            // this many matching calls succeed first
  int Times = 1;           // then this many fail; -1: every matching call from then on
  bool WholePath = false;  // PathPart must be the whole path (a folder, not the files in it)
};

// Arms a fault and returns its id. Faults are process-wide and thread-safe.
int ArmFileFault(const TFileFault& fault);
// Short form: the next call at op on a path holding pathPart fails with error.
int ArmFileFault(TFileFaultOp op, int error, const std::string& pathPart = std::string(), int skip = 0,
                 int times = 1);
void DisarmFileFault(int id);
void ClearFileFaults();
// How many calls the fault has failed so far (0 for an unknown id).
int FileFaultHits(int id);

// A fault armed for the life of the object.
class TFileFaultScope {
 public:
  explicit TFileFaultScope(const TFileFault& fault) : id_(ArmFileFault(fault)) {}
  TFileFaultScope(TFileFaultOp op, int error, const std::string& pathPart = std::string(), int skip = 0,
                  int times = 1)
      : id_(ArmFileFault(op, error, pathPart, skip, times)) {}
  ~TFileFaultScope() { DisarmFileFault(id_); }
  TFileFaultScope(const TFileFaultScope&) = delete;
  TFileFaultScope& operator=(const TFileFaultScope&) = delete;
  int Hits() const { return FileFaultHits(id_); }

 private:
  int id_;
};

// The layer's file calls. Each returns what its system call returns (-1 with errno set on
// failure), after the armed faults had their say.
namespace fileio {
// open(2).
int Open(const std::string& path, int flags, mode_t mode = 0);
// mkostemp(3): templ ends in "XXXXXX" and receives the name made.
int MakeTemp(std::string& templ, int flags);
// mkdtemp(3): true when made; templ receives the name.
bool MakeTempDir(std::string& templ);
// mkdir(2) (an Open point).
int MakeDir(const std::string& path, mode_t mode);
// symlink(2) (an Open point): a link at linkPath holding target.
int MakeSymlink(const std::string& target, const std::string& linkPath);
// write(2), retried on EINTR; a short count only when the device is full.
ssize_t Write(int fd, const void* buffer, size_t count);
// Writes every byte (EINTR and short writes handled); false with errno set on failure
// (ENOSPC when the device took nothing).
bool WriteAll(int fd, const void* buffer, size_t count);
// Sets disk space aside for an open file up to size bytes without changing its size
// (fallocate with FALLOC_FL_KEEP_SIZE; a Write point), so that writing it again within that
// size cannot find the disk full. 0 also where the file system cannot set space aside.
int Reserve(int fd, off_t size);
// copy_file_range(2) from the current offsets (a Write point for out).
ssize_t CopyRange(int in, int out, size_t count);
// rename(2): replaces an existing target. Only for putting a finished temporary file in
// the place of the file it rewrites.
int Rename(const std::string& from, const std::string& to);
// A rename that never replaces an existing entry: renameat2 with RENAME_NOREPLACE, or,
// where the file system lacks it, a hard link and unlink for files and a checked rename
// for the rest. EEXIST when the target exists.
int RenameNoReplace(const std::string& from, const std::string& to);
// link(2): a second name for a file; EEXIST when the name is taken (a Rename point).
int Link(const std::string& from, const std::string& to);
// fsync(2) of an open file (a Sync point chosen by the file's path).
int Sync(int fd);
// fsync(2) of several open files one by one (a flush of their whole file system would wait
// for every other program's unwritten data on it too); a Sync point for each file, all asked
// in their order before the first is flushed.
int SyncAll(const std::vector<int>& fds);
// Flushes a folder's entries (names made, renamed or removed in it) to its disk; "" is the
// current folder (a Sync point).
int SyncFolder(const std::string& folder);
// flock(2) of an open file or folder, retried on EINTR; path names it for the faults (a
// Lock point).
int Lock(int fd, const std::string& path, int operation);
// unlink(2) and rmdir(2) (both Unlink points).
int Unlink(const std::string& path);
int RemoveDir(const std::string& path);
}  // namespace fileio
