// Moving and copying files and folders without losing or replacing anything by accident.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"
#include "platform/shell/ShellExplorer.h"
#include "platform/shell/ShellInternal.h"

using namespace shell_internal;

namespace {

bool CloseChecked(int fd) { return ::close(fd) == 0 || errno == EINTR; }

// Copies every byte from in to out: in the kernel up to the size the file reports, then
// by reading to the end (files of pseudo file systems report 0 and are read plainly).
bool CopyBytes(int in, int out, int64_t reportedSize) {
  int64_t copied = 0;
  while (copied < reportedSize) {
    ssize_t n = fileio::CopyRange(in, out, size_t(1) << 30);
    if (n > 0) {
      copied += n;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF)
      break;
    return false;
  }
  // The end of a file copied whole in the kernel is seen by a small read; only a file that
  // goes on (or one the kernel could not copy) takes the large buffer.
  char first[4096];
  ssize_t r;
  while ((r = ::read(in, first, sizeof first)) < 0 && errno == EINTR) {
  }
  if (r <= 0) return r == 0;
  if (!fileio::WriteAll(out, first, size_t(r))) return false;
  std::unique_ptr<char[]> buf(new char[size_t(1) << 20]);
  for (;;) {
    r = ::read(in, buf.get(), size_t(1) << 20);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return false;
    if (r == 0) return true;
    if (!fileio::WriteAll(out, buf.get(), size_t(r))) return false;
  }
}

// The permission bits and dates of st, as far as the file system keeps them (a FAT volume
// may refuse modes: the copy itself still counts).
void ApplyAttributes(int fd, const struct stat& st) {
  ::fchmod(fd, st.st_mode & 07777);
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  ::futimens(fd, times);
}

// Copies the open regular file in (described by st) into the open file out.
bool CopyOpenFile(int in, const struct stat& st, int out, bool keepAttributes, bool sync) {
  if (!CopyBytes(in, out, int64_t(st.st_size))) return false;
  if (keepAttributes) ApplyAttributes(out, st);
  if (sync && ::fsync(out) != 0) return false;
  return true;
}

// Opens a regular file for reading; -1 for anything else (a pipe or device is never opened
// in a way that could block).
int OpenRegularForReading(const std::string& path, struct stat& st) {
  int fd = fileio::Open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// A free hidden name beside target for work in progress ("." + name + suffix + XXXXXX).
std::string TempTemplateBeside(const std::string& target, const char* suffix) {
  std::string folder = ExtractFileDir(target);
  std::string name = ExtractFileName(target).substr(0, 100);
  return PathJoin(folder.empty() ? "." : folder, "." + name + suffix + "XXXXXX");
}

// Copies the regular file source into a new file at path (with temporary, a new hidden
// temporary file made from the template path, which receives its name), with the source's
// mode and dates when keepAttributes, flushed to the disk when sync asks; false when
// anything failed, and then nothing is left.
bool CopyIntoNewFile(const std::string& source, std::string& path, bool temporary, bool keepAttributes, bool sync) {
  struct stat st;
  int in = OpenRegularForReading(source, st);
  if (in < 0) return false;
  // Private until the source's mode is applied; else the usual mode under the umask.
  int out = temporary ? fileio::MakeTemp(path, O_CLOEXEC)
                      : fileio::Open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, keepAttributes ? 0600 : 0666);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = CopyOpenFile(in, st, out, keepAttributes, sync);
  ok = CloseChecked(out) && ok;
  ::close(in);
  if (!ok) fileio::Unlink(path);
  return ok;
}

// A complete copy of the regular file source in a hidden file beside target (its name
// into temp).
bool CopyToTempBeside(const std::string& source, const std::string& target, bool sync, std::string& temp) {
  temp = TempTemplateBeside(target, ".kivo2copy-");
  return CopyIntoNewFile(source, temp, true, true, sync);
}

bool RemoveTree(const std::string& path) {
  struct stat st;
  if (!LstatOf(path, st)) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return fileio::Unlink(path) == 0;
  bool ok = true;
  if (DIR* dir = ::opendir(path.c_str())) {
    std::vector<std::string> names;
    while (struct dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : names) ok = RemoveTree(PathJoin(path, name)) && ok;
  } else {
    ok = false;
  }
  return fileio::RemoveDir(path) == 0 && ok;
}

// Copies one entry (not following links) to target, which must not exist.
bool CopyEntry(const std::string& source, const std::string& target) {
  struct stat st;
  if (!LstatOf(source, st)) return false;
  if (S_ISREG(st.st_mode)) return CopyFileExclusive(source, target, true);
  if (S_ISLNK(st.st_mode)) {
    std::vector<char> buf(size_t(st.st_size > 0 ? st.st_size : 4095) + 1);
    ssize_t n = ::readlink(source.c_str(), buf.data(), buf.size());
    if (n < 0 || size_t(n) >= buf.size()) return false;
    return fileio::MakeSymlink(std::string(buf.data(), size_t(n)), target) == 0;
  }
  if (!S_ISDIR(st.st_mode)) return false;  // devices, pipes and sockets are not copied
  if (fileio::MakeDir(target, 0700) != 0) return false;
  DIR* dir = ::opendir(source.c_str());
  if (!dir) return false;
  std::vector<std::string> names;
  while (struct dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  for (const std::string& name : names)
    if (!CopyEntry(PathJoin(source, name), PathJoin(target, name))) return false;
  // The folder's own mode and dates last, after its contents were written.
  int fd = ::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ApplyAttributes(fd, st);
    ::close(fd);
  }
  return true;
}

// Moves a folder or link to another file system: a complete copy under a hidden name
// beside the target, renamed to the target (never replacing), then the source removed.
bool MoveAcrossFileSystems(const std::string& source, const std::string& target) {
  std::string temp = TempTemplateBeside(target, ".kivo2move-");
  if (!fileio::MakeTempDir(temp)) return false;
  std::string copy = PathJoin(temp, "entry");
  bool ok = CopyEntry(source, copy) && fileio::RenameNoReplace(copy, target) == 0;
  RemoveTree(temp);
  if (!ok) return false;
  // The copy is in place; a source that cannot be removed fully is a failed move.
  return RemoveTree(source);
}

}  // namespace

bool CopyFileExclusive(const std::string& source, const std::string& target, bool keepAttributes) {
  if (source.empty() || target.empty()) return false;
  std::string path = target;
  return CopyIntoNewFile(source, path, false, keepAttributes, false);
}

bool CopyFileReplacing(const std::string& source, const std::string& target, const std::function<void()>& pump) {
  if (source.empty() || target.empty()) return false;
  struct stat tst;
  if (::stat(target.c_str(), &tst) == 0 && S_ISDIR(tst.st_mode)) return false;
  // Flushed to disk before it replaces anything, so a crash cannot leave an empty target.
  std::string temp;
  if (!CopyToTempBeside(source, target, true, temp)) return false;
  if (pump) pump();
  if (fileio::Rename(temp, target) != 0) {
    fileio::Unlink(temp);
    return false;
  }
  if (pump) pump();
  return true;
}

bool MovePath(const std::string& source, const std::string& target) {
  struct stat st, tst;
  if (source.empty() || target.empty() || !LstatOf(source, st) || LstatOf(target, tst)) return false;
  if (fileio::RenameNoReplace(source, target) == 0) return true;
  if (errno != EXDEV) return false;
  return MoveAcrossFileSystems(source, target);
}

bool CopyPath(const std::string& source, const std::string& target) {
  struct stat st, tst;
  if (source.empty() || target.empty() || !LstatOf(source, st) || LstatOf(target, tst)) return false;
  // A folder copied into itself would copy its own copy without end.
  if (S_ISDIR(st.st_mode) && IsSameOrInside(ExtractFileDir(ExcludeTrailingPathDelimiter(target)), source))
    return false;
  if (S_ISREG(st.st_mode)) {
    // A file is written under a hidden temporary name beside the target and takes the
    // target's name only whole, by a rename that never replaces.
    std::string temp;
    if (!CopyToTempBeside(source, target, false, temp)) return false;
    if (fileio::RenameNoReplace(temp, target) == 0) return true;
    fileio::Unlink(temp);
    return false;
  }
  // Folders and links are made whole inside a temporary folder first.
  std::string temp = TempTemplateBeside(target, ".kivo2copy-");
  if (!fileio::MakeTempDir(temp)) return false;
  std::string copy = PathJoin(temp, "entry");
  bool ok = CopyEntry(source, copy) && fileio::RenameNoReplace(copy, target) == 0;
  RemoveTree(temp);
  return ok;
}

bool IsSameOrInside(const std::string& path, const std::string& folder) {
  // The nearest existing parent stands for a path that is not made yet.
  auto real = [](std::string p) {
    p = ExcludeTrailingPathDelimiter(ExpandFileName(p));
    for (;;) {
      if (char* r = ::realpath(p.c_str(), nullptr)) {
        std::string s = r;
        std::free(r);
        return s;
      }
      if (p.empty() || p == "/") return std::string("/");
      p = ExtractFileDir(p);
    }
  };
  std::string f = real(folder);
  std::string p = real(path);
  if (p == f) return true;
  if (f == "/") return true;
  return p.size() > f.size() && p.compare(0, f.size(), f) == 0 && p[f.size()] == '/';
}
