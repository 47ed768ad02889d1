// The armed file faults and the layer's file calls that consult them.
#include "platform/rtl/FileFaults.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <map>
#include <mutex>

namespace {

struct Armed {
  TFileFault fault;
  int seen = 0;  // matching calls so far
  int hits = 0;  // calls failed so far
};

std::mutex& FaultMutex() {
  static std::mutex m;
  return m;
}
std::map<int, Armed>& Faults() {
  static std::map<int, Armed> faults;
  return faults;
}
std::atomic<int> gArmedCount{0};
int gNextId = 1;

bool PathMatches(const TFileFault& fault, const std::string& a, const std::string& b) {
  const std::string& part = fault.PathPart;
  if (fault.WholePath) return a == part || (!b.empty() && b == part);
  if (part.empty()) return true;
  return a.find(part) != std::string::npos || (!b.empty() && b.find(part) != std::string::npos);
}

// The errno value an armed fault gives this call, or 0 to let it run.
int FaultFor(TFileFaultOp op, const std::string& path, const std::string& path2 = std::string()) {
  if (gArmedCount.load(std::memory_order_acquire) == 0) return 0;
  std::lock_guard<std::mutex> lock(FaultMutex());
  for (auto& [id, a] : Faults()) {
    if (a.fault.Op != op || !PathMatches(a.fault, path, path2)) continue;
    int n = a.seen++;
    if (n < a.fault.Skip) continue;
    if (a.fault.Times >= 0 && n >= a.fault.Skip + a.fault.Times) continue;
    ++a.hits;
    if (a.fault.Error == kFileFaultKill) ::kill(::getpid(), SIGKILL);
    if (a.fault.Error == kFileFaultStop) {
      ::kill(::getpid(), SIGSTOP);
      return 0;
    }
    return a.fault.Error;
  }
  return 0;
}

// The path an open descriptor names, for faults that choose their writes by path.
std::string PathOfDescriptor(int fd) {
  char buf[PATH_MAX];
  std::string link = "/proc/self/fd/" + std::to_string(fd);
  ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

int DescriptorFaultFor(TFileFaultOp op, int fd) {
  if (gArmedCount.load(std::memory_order_acquire) == 0) return 0;
  return FaultFor(op, PathOfDescriptor(fd));
}
int WriteFaultFor(int fd) { return DescriptorFaultFor(TFileFaultOp::Write, fd); }

int Fail(int err) {
  errno = err;
  return -1;
}

}  // namespace

int ArmFileFault(const TFileFault& fault) {
  std::lock_guard<std::mutex> lock(FaultMutex());
  int id = gNextId++;
  Faults()[id] = Armed{fault};
  gArmedCount.store(int(Faults().size()), std::memory_order_release);
  return id;
}

int ArmFileFault(TFileFaultOp op, int error, const std::string& pathPart, int skip, int times) {
  TFileFault f;
  f.Op = op;
  f.Error = error;
  f.PathPart = pathPart;
  f.Skip = skip;
  f.Times = times;
  return ArmFileFault(f);
}

void DisarmFileFault(int id) {
  std::lock_guard<std::mutex> lock(FaultMutex());
  Faults().erase(id);
  gArmedCount.store(int(Faults().size()), std::memory_order_release);
}

void ClearFileFaults() {
  std::lock_guard<std::mutex> lock(FaultMutex());
  Faults().clear();
  gArmedCount.store(0, std::memory_order_release);
}

int FileFaultHits(int id) {
  std::lock_guard<std::mutex> lock(FaultMutex());
  auto it = Faults().find(id);
  return it == Faults().end() ? 0 : it->second.hits;
}

namespace fileio {

int Open(const std::string& path, int flags, mode_t mode) {
  if (int err = FaultFor(TFileFaultOp::Open, path)) return Fail(err);
  for (;;) {
    int fd = ::open(path.c_str(), flags, mode);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

int MakeTemp(std::string& templ, int flags) {
  if (int err = FaultFor(TFileFaultOp::Open, templ)) return Fail(err);
  return ::mkostemp(templ.data(), flags);
}

bool MakeTempDir(std::string& templ) {
  if (int err = FaultFor(TFileFaultOp::Open, templ)) {
    errno = err;
    return false;
  }
  return ::mkdtemp(templ.data()) != nullptr;
}

int MakeDir(const std::string& path, mode_t mode) {
  if (int err = FaultFor(TFileFaultOp::Open, path)) return Fail(err);
  return ::mkdir(path.c_str(), mode);
}

int MakeSymlink(const std::string& target, const std::string& linkPath) {
  if (int err = FaultFor(TFileFaultOp::Open, linkPath)) return Fail(err);
  return ::symlink(target.c_str(), linkPath.c_str());
}

ssize_t Write(int fd, const void* buffer, size_t count) {
  if (int err = WriteFaultFor(fd)) return Fail(err);
  for (;;) {
    ssize_t w = ::write(fd, buffer, count);
    if (w >= 0 || errno != EINTR) return w;
  }
}

bool WriteAll(int fd, const void* buffer, size_t count) {
  const char* p = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    ssize_t w = Write(fd, p + done, count - done);
    if (w < 0) return false;
    if (w == 0) {
      errno = ENOSPC;
      return false;
    }
    done += size_t(w);
  }
  return true;
}

int Reserve(int fd, off_t size) {
  if (int err = WriteFaultFor(fd)) return Fail(err);
  for (;;) {
    if (size <= 0 || ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0) return 0;
    if (errno == EOPNOTSUPP || errno == ENOSYS) return 0;
    if (errno != EINTR) return -1;
  }
}

ssize_t CopyRange(int in, int out, size_t count) {
  if (int err = WriteFaultFor(out)) return Fail(err);
  return ::copy_file_range(in, nullptr, out, nullptr, count, 0);
}

int Rename(const std::string& from, const std::string& to) {
  if (int err = FaultFor(TFileFaultOp::Rename, from, to)) return Fail(err);
  return ::rename(from.c_str(), to.c_str());
}

int RenameNoReplace(const std::string& from, const std::string& to) {
  if (int err = FaultFor(TFileFaultOp::Rename, from, to)) return Fail(err);
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
  // No RENAME_NOREPLACE on this file system: a hard link refuses an existing name by
  // itself; where there are no hard links (FAT), check and rename.
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) return -1;
  if (S_ISREG(st.st_mode)) {
    if (::link(from.c_str(), to.c_str()) == 0) {
      if (Unlink(from) != 0) {
        int err = errno;
        ::unlink(to.c_str());  // the old name stays; the rename failed as a whole
        return Fail(err);
      }
      return 0;
    }
    if (errno == EEXIST) return -1;
  }
  if (::lstat(to.c_str(), &st) == 0) return Fail(EEXIST);
  if (errno != ENOENT) return -1;
  return ::rename(from.c_str(), to.c_str());
}

int Link(const std::string& from, const std::string& to) {
  if (int err = FaultFor(TFileFaultOp::Rename, from, to)) return Fail(err);
  return ::link(from.c_str(), to.c_str());
}

int Sync(int fd) {
  if (int err = DescriptorFaultFor(TFileFaultOp::Sync, fd)) return Fail(err);
  for (;;) {
    int r = ::fsync(fd);
    if (r == 0 || errno != EINTR) return r;
  }
}

int SyncAll(const std::vector<int>& fds) {
  for (int fd : fds)
    if (int err = DescriptorFaultFor(TFileFaultOp::Sync, fd)) return Fail(err);
  for (int fd : fds)
    while (::fsync(fd) != 0)
      if (errno != EINTR) return -1;
  return 0;
}

int SyncFolder(const std::string& folder) {
  const std::string path = folder.empty() ? std::string(".") : folder;
  if (int err = FaultFor(TFileFaultOp::Sync, path)) return Fail(err);
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  int r = ::fsync(fd);
  int err = errno;
  ::close(fd);
  // Some file systems cannot flush a folder by itself; their entries are written with the files.
  if (r != 0 && (err == EINVAL || err == EROFS)) return 0;
  return r == 0 ? 0 : Fail(err);
}

int Lock(int fd, const std::string& path, int operation) {
  if (int err = FaultFor(TFileFaultOp::Lock, path)) return Fail(err);
  for (;;) {
    int r = ::flock(fd, operation);
    if (r == 0 || errno != EINTR) return r;
  }
}

int Unlink(const std::string& path) {
  if (int err = FaultFor(TFileFaultOp::Unlink, path)) return Fail(err);
  return ::unlink(path.c_str());
}

int RemoveDir(const std::string& path) {
  if (int err = FaultFor(TFileFaultOp::Unlink, path)) return Fail(err);
  return ::rmdir(path.c_str());
}

}  // namespace fileio
