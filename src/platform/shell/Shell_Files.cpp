// Moving and copying files and folders without losing or replacing anything by accident.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
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

// A complete copy of the regular file source in a hidden file beside target (its name
// into temp).
bool CopyToTempBeside(const std::string& source, const std::string& target, bool sync, std::string& temp) {
  temp = WorkFileTemplate(target, ".kivo2copy-");
  return CopyFileToNew(source, temp, true, true, sync);
}

// Copies one entry (not following links) to target, which must not exist; with sync every
// file and folder made is flushed to its disk.
bool CopyEntry(const std::string& source, const std::string& target, bool sync) {
  struct stat st;
  if (!LstatOf(source, st)) return false;
  if (S_ISREG(st.st_mode)) {
    std::string path = target;
    return CopyFileToNew(source, path, false, true, sync);
  }
  if (S_ISLNK(st.st_mode)) {
    std::vector<char> buf(size_t(st.st_size > 0 ? st.st_size : 4095) + 1);
    ssize_t n = ::readlink(source.c_str(), buf.data(), buf.size());
    if (n < 0 || size_t(n) >= buf.size()) return false;
    return fileio::MakeSymlink(std::string(buf.data(), size_t(n)), target) == 0;
  }
  if (!S_ISDIR(st.st_mode)) return false;  // devices, pipes and sockets are not copied
  if (fileio::MakeDir(target, 0700) != 0) return false;
  std::vector<std::string> names;
  if (!FolderNames(source, names)) return false;
  for (const std::string& name : names)
    if (!CopyEntry(PathJoin(source, name), PathJoin(target, name), sync)) return false;
  if (sync && fileio::SyncFolder(target) != 0) return false;
  // The folder's own mode and dates last, after its contents were written.
  int fd = ::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fchmod(fd, st.st_mode & 07777);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(fd, times);
    ::close(fd);
  }
  return true;
}

// The copy holds what the source holds: the same names below every folder, each file's
// bytes read back equal, each link with the same text.
bool SameTree(const std::string& source, const std::string& copy) {
  struct stat st, cst;
  if (!LstatOf(source, st) || !LstatOf(copy, cst) || (st.st_mode & S_IFMT) != (cst.st_mode & S_IFMT)) return false;
  if (S_ISREG(st.st_mode)) return SameFileBytes(source, copy);
  if (S_ISLNK(st.st_mode)) {
    char a[4096], b[4096];
    ssize_t na = ::readlink(source.c_str(), a, sizeof a), nb = ::readlink(copy.c_str(), b, sizeof b);
    return na >= 0 && na == nb && std::memcmp(a, b, size_t(na)) == 0;
  }
  std::vector<std::string> names, copied;
  if (!FolderNames(source, names) || !FolderNames(copy, copied)) return false;
  std::sort(names.begin(), names.end());
  std::sort(copied.begin(), copied.end());
  if (names != copied) return false;
  for (const std::string& name : names)
    if (!SameTree(PathJoin(source, name), PathJoin(copy, name))) return false;
  return true;
}

// A complete copy of source in a work folder beside target (its path into copy: the
// folder's "entry"), flushed to the disk and, with compare, read back equal. False with
// nothing left when any of it failed.
bool CopyIntoWorkFolder(const std::string& source, const std::string& target, const char* kind, bool compare,
                        std::string& workFolder, std::string& copy) {
  workFolder = WorkFileTemplate(target, kind);
  if (!fileio::MakeTempDir(workFolder)) return false;
  copy = PathJoin(workFolder, "entry");
  if (CopyEntry(source, copy, true) && fileio::SyncFolder(workFolder) == 0 && (!compare || SameTree(source, copy)))
    return true;
  RemoveTree(workFolder);
  return false;
}

// Moves an entry to another file system: a complete copy, flushed and read back equal,
// takes the target's name (never replacing) and is on the disk under it before anything of
// the source is removed.
bool MoveAcrossFileSystems(const std::string& source, const std::string& target) {
  std::string work, copy;
  if (!CopyIntoWorkFolder(source, target, ".kivo2move-", true, work, copy)) return false;
  bool ok = fileio::RenameNoReplace(copy, target) == 0;
  if (ok && fileio::SyncFolder(ExtractFileDir(target)) != 0) {
    RemoveTree(target);
    ok = false;
  }
  RemoveTree(work);
  if (!ok) return false;
  // The copy is in place; a source that cannot be removed fully is a failed move.
  return RemoveTree(source);
}

// A source that may be copied or moved to target: it is there, and a folder would not be
// put inside itself (it would copy its own copy without end).
bool MayGoTo(const std::string& source, const std::string& target, struct stat& st) {
  if (source.empty() || target.empty() || !LstatOf(source, st)) return false;
  return !S_ISDIR(st.st_mode) || !IsSameOrInside(ExtractFileDir(ExcludeTrailingPathDelimiter(target)), source);
}

// Puts the copy made in the work folder over target (ReplaceTrashingOld); the work folder goes.
bool WorkCopyOver(const std::string& work, const std::string& copy, const std::string& target) {
  bool ok = ReplaceTrashingOld(copy, target);
  int err = errno;
  RemoveTree(work);
  errno = err;
  return ok;
}

bool SameDevice(const std::string& a, const std::string& folderOfB) {
  struct stat sa, sb;
  return LstatOf(a, sa) && ::stat(folderOfB.empty() ? "." : folderOfB.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

}  // namespace

bool CopyFileExclusive(const std::string& source, const std::string& target, bool keepAttributes) {
  if (source.empty() || target.empty()) return false;
  std::string path = target;
  return CopyFileToNew(source, path, false, keepAttributes, false);
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
  if (!MayGoTo(source, target, st) || LstatOf(target, tst)) return false;
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
  std::string temp = WorkFileTemplate(target, ".kivo2copy-");
  if (!fileio::MakeTempDir(temp)) return false;
  std::string copy = PathJoin(temp, "entry");
  bool ok = CopyEntry(source, copy, false) && fileio::RenameNoReplace(copy, target) == 0;
  RemoveTree(temp);
  return ok;
}

bool CopyPathOver(const std::string& source, const std::string& target) {
  struct stat st;
  if (!MayGoTo(source, target, st)) return false;
  if (S_ISREG(st.st_mode)) {
    std::string temp;
    if (!CopyToTempBeside(source, target, true, temp)) return false;
    if (ReplaceTrashingOld(temp, target)) return true;
    int err = errno;
    fileio::Unlink(temp);
    errno = err;
    return false;
  }
  std::string work, copy;
  return CopyIntoWorkFolder(source, target, ".kivo2copy-", false, work, copy) && WorkCopyOver(work, copy, target);
}

bool MovePathOver(const std::string& source, const std::string& target) {
  struct stat st;
  if (!MayGoTo(source, target, st)) return false;
  if (SameDevice(source, ExtractFileDir(target))) return ReplaceTrashingOld(source, target);
  std::string work, copy;
  return CopyIntoWorkFolder(source, target, ".kivo2move-", true, work, copy) && WorkCopyOver(work, copy, target) &&
         RemoveTree(source);
}

bool IsSameOrInside(const std::string& path, const std::string& folder) {
  // A path that is not made yet stands at its nearest existing folder's real place.
  auto real = [](const std::string& p) { return RealPath(ExcludeTrailingPathDelimiter(ExpandFileName(p))); };
  const std::string f = real(folder), p = real(path);
  if (p == f || f == "/") return true;
  return p.size() > f.size() && p.compare(0, f.size(), f) == 0 && p[f.size()] == '/';
}
