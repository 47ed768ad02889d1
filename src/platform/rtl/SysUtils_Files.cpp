// Files and folders with the class library's meanings on Linux: attributes mapped
// from permissions and names, DOS date-times in local time, folder listing with
// case-blind masks, renames that never replace, and atomic rewrites.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/RtlInternal.h"
#include "platform/rtl/SysUtils.h"

std::string rtl_internal::FileErrorText(const char* englishFormat, const std::string& fileName, int errorCode) {
  return Format(_(englishFormat), {fileName, SysErrorMessage(errorCode)});
}

using rtl_internal::FileErrorText;
using rtl_internal::LocalDateTimeFromTimespec;

namespace {
bool StatOf(const std::string& name, struct stat& st) { return !name.empty() && ::stat(name.c_str(), &st) == 0; }
bool LstatOf(const std::string& name, struct stat& st) { return !name.empty() && ::lstat(name.c_str(), &st) == 0; }

TDateTime MTimeOf(const struct stat& st) { return LocalDateTimeFromTimespec(st.st_mtim.tv_sec, st.st_mtim.tv_nsec); }

// fa* attributes from the entry itself (lst) and, for links, what it points to.
int AttrOf(const std::string& name, const struct stat& lst, const struct stat* target) {
  int attr = 0;
  const struct stat& st = target ? *target : lst;
  if (S_ISLNK(lst.st_mode)) attr |= faSymLink;
  if (S_ISLNK(lst.st_mode) && !target) {
    // A dangling link: nothing but the link itself.
  } else if (S_ISDIR(st.st_mode)) {
    attr |= faDirectory;
  } else {
    attr |= faArchive;
  }
  if (!(st.st_mode & S_IWUSR) && !S_ISLNK(st.st_mode)) attr |= faReadOnly;
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") attr |= faHidden;
  return attr;
}

std::string BaseName(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  size_t s = p.rfind('/');
  return s == std::string::npos ? p : p.substr(s + 1);
}

std::u32string Utf8ToCodePoints(const std::string& s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + len > s.size()) len = 1;
    char32_t cp = len == 1 ? c : char32_t(c & (0x7F >> len));
    for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out += cp;
    i += len;
  }
  return out;
}

bool Glob(const std::u32string& name, const std::u32string& mask) {
  size_t n = 0, m = 0, starM = std::u32string::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == U'?' || mask[m] == name[n])) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == U'*') {
      starM = m++;
      starN = n;
    } else if (starM != std::u32string::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == U'*') ++m;
  return m == mask.size();
}

int UmaskNow() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Umask:", 0) == 0) return int(std::strtol(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}
}  // namespace

bool MatchesMask(const std::string& fileName, const std::string& mask) {
  if (mask == "*" || mask == "*.*") return true;
  std::u32string name = Utf8ToCodePoints(AnsiLowerCase(fileName));
  std::u32string m = Utf8ToCodePoints(AnsiLowerCase(mask));
  if (Glob(name, m)) return true;
  // "name.*" also matches "name" without any extension, as on Windows.
  if (m.size() >= 2 && m.compare(m.size() - 2, 2, U".*") == 0 && fileName.find('.') == std::string::npos)
    return Glob(name, m.substr(0, m.size() - 2));
  return false;
}

bool FileExists(const std::string& fileName) {
  struct stat st;
  return StatOf(fileName, st) && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& dir) {
  struct stat st;
  return StatOf(dir, st) && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& dir) { return !dir.empty() && fileio::MakeDir(dir, 0777) == 0; }

bool ForceDirectories(const std::string& dir) {
  if (dir.empty()) return false;
  std::string d = ExcludeTrailingPathDelimiter(dir);
  if (DirectoryExists(d)) return true;
  std::string parent = ExtractFileDir(d);
  if (parent != d && !parent.empty() && !ForceDirectories(parent)) return false;
  if (fileio::MakeDir(d, 0777) == 0) return true;
  return errno == EEXIST && DirectoryExists(d);
}

bool RemoveDir(const std::string& dir) { return !dir.empty() && fileio::RemoveDir(dir) == 0; }

bool DeleteFile(const std::string& fileName) {
  struct stat st;
  if (!LstatOf(fileName, st) || S_ISDIR(st.st_mode)) return false;
  return fileio::Unlink(fileName) == 0;
}

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

bool CopySpan(int in, uint64_t from, uint64_t to, int out) {
  if (to <= from) return true;
  if (::lseek(in, off_t(from), SEEK_SET) != off_t(from)) return false;
  uint64_t left = to - from;
  while (left > 0) {
    const ssize_t n = fileio::CopyRange(in, out, size_t(std::min<uint64_t>(left, uint64_t(1) << 30)));
    if (n > 0) {
      left -= uint64_t(n);
      continue;
    }
    if (n == 0) {
      errno = EIO;  // in ended before to
      return false;
    }
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    std::string buffer(size_t(std::min<uint64_t>(left, 1 << 20)), '\0');
    while (left > 0) {
      const ssize_t r = ::read(in, buffer.data(), size_t(std::min<uint64_t>(left, buffer.size())));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) {
        if (r == 0) errno = EIO;
        return false;
      }
      if (!fileio::WriteAll(out, buffer.data(), size_t(r))) return false;
      left -= uint64_t(r);
    }
  }
  return true;
}

namespace {
bool CloseChecked(int fd) { return ::close(fd) == 0 || errno == EINTR; }

// Opens a regular file for reading; -1 for anything else (a pipe or device is never opened
// in a way that could block).
int OpenRegularForReading(const std::string& path, struct stat& st) {
  int fd = fileio::Open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// This process's mark in work-file names: its id and its start time (clock ticks after
// boot), so that a later process given the same id is not taken for it. -1 when no process
// of that id runs: a zombie (state Z, or X while it goes) has ended, closed its files and
// owns nothing any more, whenever its parent gets round to reaping it.
int64_t ProcessStartTicks(int64_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return -1;
  size_t paren = stat.rfind(')');
  if (paren == std::string::npos || paren + 2 >= stat.size()) return -1;
  const char state = stat[paren + 2];
  if (state == 'Z' || state == 'X' || state == 'x') return -1;
  // Field 22 of the line (the start time): pos goes from the blank before field 3 to the
  // blank before field 22.
  size_t pos = paren + 1;
  for (int field = 3; field < 22 && pos != std::string::npos; ++field) pos = stat.find(' ', pos + 1);
  if (pos == std::string::npos) return -1;
  return std::strtoll(stat.c_str() + pos + 1, nullptr, 10);
}

// Made again in a child that fork gave this process's memory: it is another process.
std::string OwnMark() {
  static std::mutex guard;
  static pid_t markedPid = 0;
  static std::string mark;
  std::lock_guard<std::mutex> lock(guard);
  if (markedPid != ::getpid()) {
    markedPid = ::getpid();
    mark = std::to_string(markedPid) + "." + std::to_string(ProcessStartTicks(markedPid));
  }
  return mark;
}
}  // namespace

bool CopyFileToNew(const std::string& source, std::string& path, bool temporary, bool keepAttributes, bool sync) {
  struct stat st;
  int in = source.empty() || path.empty() ? -1 : OpenRegularForReading(source, st);
  if (in < 0) return false;
  // Private until the source's mode is applied; else the usual mode under the umask.
  int out = temporary ? fileio::MakeTemp(path, O_CLOEXEC)
                      : fileio::Open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, keepAttributes ? 0600 : 0666);
  if (out < 0) {
    int err = errno;
    ::close(in);
    errno = err;
    return false;
  }
  bool ok = CopyBytes(in, out, int64_t(st.st_size));
  if (ok && keepAttributes) {
    // As far as the file system keeps them (a FAT volume may refuse modes: the copy still counts).
    ::fchmod(out, st.st_mode & 07777);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
  }
  if (ok && sync && fileio::Sync(out) != 0) ok = false;
  int err = errno;
  ok = CloseChecked(out) && ok;
  if (ok) err = 0;
  ::close(in);
  if (!ok) {
    fileio::Unlink(path);
    errno = err ? err : EIO;
  }
  return ok;
}

bool SameFileBytes(const std::string& a, const std::string& b) {
  const int fa = fileio::Open(a, O_RDONLY | O_CLOEXEC);
  if (fa < 0) return false;
  const int fb = fileio::Open(b, O_RDONLY | O_CLOEXEC);
  if (fb < 0) {
    ::close(fa);
    return false;
  }
  std::vector<char> ba(size_t(1) << 20), bb(ba.size());
  // Reads a whole buffer unless the file ends first.
  auto fill = [](int fd, std::vector<char>& buffer) {
    size_t got = 0;
    while (got < buffer.size()) {
      const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return ssize_t(-1);
      if (n == 0) break;
      got += size_t(n);
    }
    return ssize_t(got);
  };
  bool same = true;
  for (;;) {
    const ssize_t na = fill(fa, ba), nb = fill(fb, bb);
    if (na < 0 || na != nb || std::memcmp(ba.data(), bb.data(), size_t(na)) != 0) {
      same = false;
      break;
    }
    if (na == 0) break;
  }
  ::close(fa);
  ::close(fb);
  return same;
}

namespace {
// The kinds of work entries that a killed run leaves beside the files it wrote.
const char* const kWorkKinds[] = {".kivo2copy-", ".kivo2move-", ".kivo2lossless-", kSaveWorkKind};

// Reads the mark that WorkFileTemplate put after kind into name: the id and start time of
// the process that made the entry. False for names without a readable mark.
bool ReadWorkMark(const std::string& name, const std::string& kind, long long& pid, long long& start) {
  size_t at = name.rfind(kind);
  if (at == std::string::npos || name.empty() || name[0] != '.') return false;
  const char* p = name.c_str() + at + kind.size();
  char* end = nullptr;
  errno = 0;
  pid = std::strtoll(p, &end, 10);
  if (end == p || *end != '.' || pid <= 0 || errno != 0) return false;
  p = end + 1;
  start = std::strtoll(p, &end, 10);
  return end != p && *end == '-' && errno == 0;
}

// The folders whose dead work entries this process has cleared before writing there.
std::mutex g_sweptGuard;
std::set<std::string> g_swept;
}  // namespace

std::string WorkFileTemplate(const std::string& target, const std::string& kind) {
  std::string folder = ExtractFileDir(ExcludeTrailingPathDelimiter(target));
  std::string name = BaseName(target).substr(0, 200);
  // Every work file is asked for here, so the first write of this run into a folder
  // clears what killed runs left there first (listings do it as they go).
  const std::string dir = folder.empty() ? std::string(".") : folder;
  bool first;
  {
    std::lock_guard<std::mutex> lock(g_sweptGuard);
    first = g_swept.insert(dir).second;
  }
  if (first) ClearLeftovers(dir);
  return (folder.empty() ? std::string() : IncludeTrailingPathDelimiter(folder)) + "." + name + kind + OwnMark() +
         "-XXXXXX";
}

bool WorkFileOwnerGone(const std::string& name, const std::string& kind) {
  long long pid = 0, start = 0;
  if (!ReadWorkMark(name, kind, pid, start) || pid == ::getpid()) return false;
  return ProcessStartTicks(pid) != start;
}

bool IsWorkEntry(const std::string& folder, const std::string& name, bool* cleared) {
  if (cleared) *cleared = false;
  // Most names are not hidden: one look at the first letter is their whole cost.
  if (name.size() < 8 || name[0] != '.' || name.find(".kivo2") == std::string::npos) return false;
  for (const char* kind : kWorkKinds) {
    long long pid = 0, start = 0;
    if (!ReadWorkMark(name, kind, pid, start)) continue;
    // Never put back under a name: a lossless turn keeps the picture under its own name to
    // the end, so a name that is missing now was removed or renamed by the user.
    if (WorkFileOwnerGone(name, kind) && RemoveTree(PathJoin(folder, name)) && cleared) *cleared = true;
    return true;
  }
  return false;
}

int ClearLeftovers(const std::string& folder) {
  std::vector<std::string> names;
  if (folder.empty() || !FolderNames(folder, names)) return 0;
  int count = 0;
  for (const std::string& name : names) {
    bool cleared = false;
    if (IsWorkEntry(folder, name, &cleared) && cleared) ++count;
  }
  return count;
}

bool FolderNames(const std::string& dir, std::vector<std::string>& names) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return false;
  while (struct dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(d);
  return true;
}

bool RemoveTree(const std::string& path) {
  struct stat st;
  if (!LstatOf(path, st)) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return fileio::Unlink(path) == 0;
  std::vector<std::string> names;
  bool ok = FolderNames(path, names);
  for (const std::string& name : names) ok = RemoveTree(PathJoin(path, name)) && ok;
  return fileio::RemoveDir(path) == 0 && ok;
}

namespace {
// The open action of this thread: whether one is open, and when its lock waits end (0 while
// none had to wait).
thread_local bool t_actionOpen = false;
thread_local uint64_t t_actionDeadline = 0;

std::atomic<TLockWaiter> g_lockWaiter{nullptr};

// The user gave up a wait: the other locks of the open action are tried once, not waited for.
void GiveUpAction() {
  if (t_actionOpen) t_actionDeadline = 1;
}

// Another holder keeps the lock (wait for it), as opposed to a lock the file system refuses.
bool HeldElsewhere(int err) { return err == EWOULDBLOCK || err == EINTR; }

// Tries the lock once: 0 when it is had, else why not.
int TryLock(int fd, const std::string& path) { return fileio::Lock(fd, path, LOCK_EX | LOCK_NB) == 0 ? 0 : errno; }

[[noreturn]] void RaiseInUse(const std::string& fileName) {
  throw EFOpenError(Format(_("Cannot change file \"%s\": another program keeps it in use."), {fileName}));
}

[[noreturn]] void RaiseUnlockable(const std::string& fileName, int err) {
  throw EFOpenError(Format(_("Cannot change file \"%s\": it cannot be locked against other programs. %s"),
                           {fileName, SysErrorMessage(err)}));
}

// After a first try that failed with err: waits for the lock of fd (path) while another
// holder keeps it, as the installed waiter waits, until the action's deadline. Returns
// with the lock had; raises EFOpenError when it is not.
void WaitForLock(int fd, const std::string& path, const std::string& fileName, int err, int timeoutMs) {
  int failure = HeldElsewhere(err) ? 0 : err;
  bool had = false, waited = true;
  if (failure == 0) {
    // Only a lock that has to wait starts the action's clock.
    const uint64_t end = TLockWaitScope::WaitDeadline(timeoutMs);
    const std::function<bool()> over = [&] {
      const int e = TryLock(fd, path);
      had = e == 0;
      if (!had && !HeldElsewhere(e)) failure = e;
      return had || failure != 0 || GetTickCount64() >= end;
    };
    if (TLockWaiter waiter = g_lockWaiter.load())
      waited = waiter(fileName, over);
    else
      while (!over()) Sleep(2);
  }
  if (had && waited) return;
  if (had) fileio::Lock(fd, path, LOCK_UN);
  if (!waited) GiveUpAction();
  if (failure != 0) RaiseUnlockable(fileName, failure);
  RaiseInUse(fileName);
}
}  // namespace

const char* const kFolderLockFileName = ".kivo2.lock";
const char* const kSaveWorkKind = ".kivo2save-";

TLockWaiter SetLockWaiter(TLockWaiter waiter) { return g_lockWaiter.exchange(waiter); }

TLockWaitScope::TLockWaitScope() : outermost_(!t_actionOpen) {
  if (!outermost_) return;
  t_actionOpen = true;
  t_actionDeadline = 0;
}

TLockWaitScope::~TLockWaitScope() {
  if (!outermost_) return;
  t_actionOpen = false;
  t_actionDeadline = 0;
}

uint64_t TLockWaitScope::WaitDeadline(int timeoutMs) {
  const uint64_t deadline = GetTickCount64() + uint64_t(std::max(timeoutMs, 0));
  if (!t_actionOpen) return deadline;
  if (t_actionDeadline == 0) t_actionDeadline = deadline;
  return t_actionDeadline;
}

namespace {
// The folders this process holds locked, by device and inode, each with its one descriptor
// and the number of its holders: within one program a folder is locked once, so that a
// change the program makes while its own command holds the folder never waits for itself.
// A child that fork made is another program: it forgets what its parent holds.
struct THeldFolder {
  int fd = -1;
  int holders = 0;
};
std::mutex g_heldGuard;
pid_t g_heldPid = 0;
std::map<std::pair<dev_t, ino_t>, THeldFolder>& HeldFolders() {
  static std::map<std::pair<dev_t, ino_t>, THeldFolder> held;
  if (g_heldPid != ::getpid()) {
    for (auto& [key, folder] : held) ::close(folder.fd);
    held.clear();
    g_heldPid = ::getpid();
  }
  return held;
}
}  // namespace

TFolderLock::TFolderLock(const std::string& fileName, int timeoutMs) {
  const std::string folder = ExtractFileDir(fileName);
  std::string locked = folder.empty() ? std::string(".") : folder;
  int fd = ::open(locked.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder that cannot be opened: the change itself will say what is wrong.
  if (fd < 0) return;
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return;
  }
  key_ = {st.st_dev, st.st_ino};
  {
    std::lock_guard<std::mutex> guard(g_heldGuard);
    auto held = HeldFolders().find(key_);
    if (held != HeldFolders().end()) {
      ++held->second.holders;
      ::close(fd);
      holds_ = true;
      return;
    }
  }
  int err = TryLock(fd, locked);
  if (err != 0 && !HeldElsewhere(err)) {
    // The file system locks no folders (NFS wants a file open for writing): the lock file
    // in the folder stands in.
    ::close(fd);
    locked = IncludeTrailingPathDelimiter(locked) + kFolderLockFileName;
    fd = fileio::Open(locked, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) RaiseUnlockable(fileName, errno);
    err = TryLock(fd, locked);
  }
  if (err != 0) {
    try {
      if (timeoutMs < 0 && HeldElsewhere(err)) RaiseInUse(fileName);
      WaitForLock(fd, locked, fileName, err, timeoutMs);
    } catch (...) {
      ::close(fd);
      throw;
    }
  }
  std::lock_guard<std::mutex> guard(g_heldGuard);
  HeldFolders()[key_] = {fd, 1};
  holds_ = true;
}

void LockOpenFile(int fd, const std::string& path, const std::string& fileName, int timeoutMs) {
  if (const int err = TryLock(fd, path)) WaitForLock(fd, path, fileName, err, timeoutMs);
}

TFolderLock::~TFolderLock() {
  if (!holds_) return;
  std::lock_guard<std::mutex> guard(g_heldGuard);
  auto held = HeldFolders().find(key_);
  if (held == HeldFolders().end() || --held->second.holders > 0) return;
  ::close(held->second.fd);
  HeldFolders().erase(held);
}

bool RenameFile(const std::string& oldName, const std::string& newName) {
  struct stat st;
  if (oldName.empty() || newName.empty() || !LstatOf(oldName, st)) return false;
  if (fileio::RenameNoReplace(oldName, newName) == 0) return true;
  int err = errno;
  if (err == EEXIST) {
    // A case change on a case-blind file system: the "existing" target is the file itself.
    struct stat tst;
    if (oldName != newName && SameText(oldName, newName) && ::lstat(newName.c_str(), &tst) == 0 &&
        tst.st_dev == st.st_dev && tst.st_ino == st.st_ino && st.st_nlink == 1)
      return fileio::Rename(oldName, newName) == 0;
    return false;
  }
  if (err != EXDEV || !S_ISREG(st.st_mode)) return false;
  // To another file system: a copy with the file's mode and dates, flushed and read back
  // equal beside the target, takes the target's name without replacing anything; only when
  // that name is on the disk does the original go. A failure at any step leaves the
  // original as the only file.
  struct stat tst;
  if (::lstat(newName.c_str(), &tst) == 0) return false;
  std::string temp = WorkFileTemplate(newName, ".kivo2copy-");
  if (!CopyFileToNew(oldName, temp, true, true, true)) return false;
  if (!SameFileBytes(oldName, temp) || fileio::RenameNoReplace(temp, newName) != 0) {
    fileio::Unlink(temp);
    return false;
  }
  if (fileio::SyncFolder(ExtractFileDir(newName)) != 0 || fileio::Unlink(oldName) != 0) {
    fileio::Unlink(newName);
    return false;
  }
  fileio::SyncFolder(ExtractFileDir(oldName));
  return true;
}

int64_t FileSizeByName(const std::string& fileName) {
  struct stat st;
  if (!StatOf(fileName, st)) return -1;
  return int64_t(st.st_size);
}

int32_t FileAge(const std::string& fileName) {
  struct stat st;
  if (!StatOf(fileName, st) || S_ISDIR(st.st_mode)) return -1;
  return DateTimeToFileDate(MTimeOf(st));
}

bool FileAge(const std::string& fileName, TDateTime& fileDateTime) {
  struct stat st;
  if (!StatOf(fileName, st) || S_ISDIR(st.st_mode)) return false;
  fileDateTime = MTimeOf(st);
  return true;
}

bool FileAgeAndSize(const std::string& fileName, TDateTime& fileDateTime, int64_t& size) {
  struct stat st;
  if (!StatOf(fileName, st) || !S_ISREG(st.st_mode)) return false;
  fileDateTime = MTimeOf(st);
  size = int64_t(st.st_size);
  return true;
}

int32_t FileGetDate(int handle) {
  struct stat st;
  if (fstat(handle, &st) != 0) return -1;
  return DateTimeToFileDate(MTimeOf(st));
}

bool FileSetDateTime(const std::string& fileName, TDateTime value) {
  if (fileName.empty()) return false;
  int64_t secs = LocalDateTimeToUnix(value);
  int h, n, sec, ms;
  DecodeTime(value, h, n, sec, ms);
  long nsec = long(ms) * 1000000L;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = time_t(secs);
  times[1].tv_nsec = nsec;
  return utimensat(AT_FDCWD, fileName.c_str(), times, 0) == 0;
}

int FileSetDate(const std::string& fileName, int32_t age) {
  TDateTime dt;
  try {
    dt = FileDateToDateTime(age);
  } catch (const EConvertError&) {
    return EINVAL;
  }
  if (fileName.empty()) return ENOENT;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = time_t(LocalDateTimeToUnix(dt));
  times[1].tv_nsec = 0;
  return utimensat(AT_FDCWD, fileName.c_str(), times, 0) == 0 ? 0 : errno;
}

int FileGetAttr(const std::string& fileName) {
  struct stat lst, st;
  if (!LstatOf(fileName, lst)) return -1;
  bool haveTarget = S_ISLNK(lst.st_mode) && ::stat(fileName.c_str(), &st) == 0;
  return AttrOf(BaseName(fileName), lst, haveTarget ? &st : nullptr);
}

int FileSetAttr(const std::string& fileName, int attr) {
  struct stat st;
  if (!StatOf(fileName, st)) return errno ? errno : ENOENT;
  if (S_ISDIR(st.st_mode)) return 0;  // read-only means nothing for folders
  mode_t mode = st.st_mode & 07777;
  if (attr & faReadOnly) mode &= mode_t(~(S_IWUSR | S_IWGRP | S_IWOTH));
  else mode |= S_IWUSR;
  if (mode == (st.st_mode & 07777)) return 0;
  return ::chmod(fileName.c_str(), mode) == 0 ? 0 : errno;
}

bool FileIsReadOnly(const std::string& fileName) {
  int a = FileGetAttr(fileName);
  return a != -1 && (a & faReadOnly);
}

bool FileSetReadOnly(const std::string& fileName, bool readOnly) {
  int a = FileGetAttr(fileName);
  if (a == -1) return false;
  return FileSetAttr(fileName, readOnly ? (a | faReadOnly) : (a & ~faReadOnly)) == 0;
}

// ---------------------------------------------------------------------------
// FindFirst / FindNext
// ---------------------------------------------------------------------------
struct TSearchState {
  std::string folder;  // with a trailing '/', or "" for the current folder
  std::vector<std::string> names;
  size_t next = 0;
  // The folder stays open while it is searched: each entry is looked at relative to it,
  // without walking the whole path again.
  DIR* dir = nullptr;
  TSearchState() = default;
  TSearchState(const TSearchState&) = delete;
  TSearchState& operator=(const TSearchState&) = delete;
  ~TSearchState() {
    if (dir) ::closedir(dir);
  }
};

namespace {
bool NameOrder(const std::string& a, const std::string& b) {
  auto rank = [](const std::string& s) { return s == "." ? 0 : s == ".." ? 1 : 2; };
  int ra = rank(a), rb = rank(b);
  if (ra != rb) return ra < rb;
  int c = CompareText(a, b);
  return c != 0 ? c < 0 : a < b;
}

int FindMatching(TSearchRec& f) {
  TSearchState* s = f.FindHandle.get();
  if (!s) return EBADF;
  while (s->next < s->names.size()) {
    const std::string& name = s->names[s->next++];
    const int at = ::dirfd(s->dir);
    struct stat lst, st;
    if (::fstatat(at, name.c_str(), &lst, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone since the listing
    bool haveTarget = S_ISLNK(lst.st_mode) && ::fstatat(at, name.c_str(), &st, 0) == 0;
    int attr = AttrOf(name, lst, haveTarget ? &st : nullptr);
    if (attr & f.ExcludeAttr) continue;
    const struct stat& info = haveTarget ? st : lst;
    f.Name = name;
    f.Attr = attr;
    f.Size = (attr & faDirectory) || (S_ISLNK(lst.st_mode) && !haveTarget) ? 0 : int64_t(info.st_size);
    f.TimeStamp = MTimeOf(info);
    f.Time = DateTimeToFileDate(f.TimeStamp);
    return 0;
  }
  return ENOENT;
}
}  // namespace

int FindFirst(const std::string& path, int attr, TSearchRec& f) {
  f = TSearchRec();
  f.ExcludeAttr = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
  auto state = std::make_shared<TSearchState>();
  size_t slash = path.rfind('/');
  std::string mask = slash == std::string::npos ? path : path.substr(slash + 1);
  state->folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  if (mask.empty()) return ENOENT;
  const std::string folder = state->folder.empty() ? std::string(".") : state->folder;
  state->dir = ::opendir(folder.c_str());
  if (!state->dir) return errno ? errno : ENOENT;
  bool wild = mask.find_first_of("*?") != std::string::npos;
  while (struct dirent* e = ::readdir(state->dir)) {
    std::string name = e->d_name;
    // The program's work entries are never listed; those of killed runs go as they are met.
    if (IsWorkEntry(folder, name)) continue;
    if (wild ? MatchesMask(name, mask) : AnsiSameText(name, mask)) state->names.push_back(std::move(name));
  }
  std::sort(state->names.begin(), state->names.end(), NameOrder);
  if (!wild) {
    // An exact name wins over names that differ only in case.
    auto exact = std::find(state->names.begin(), state->names.end(), mask);
    if (exact != state->names.end()) state->names = {mask};
  }
  f.FindHandle = std::move(state);
  int r = FindMatching(f);
  if (r != 0) f.FindHandle.reset();
  return r;
}

int FindNext(TSearchRec& f) { return FindMatching(f); }

void FindClose(TSearchRec& f) { f.FindHandle.reset(); }

// ---------------------------------------------------------------------------
// File names
// ---------------------------------------------------------------------------
std::string ExtractFilePath(const std::string& fileName) {
  size_t p = fileName.rfind('/');
  return p == std::string::npos ? std::string() : fileName.substr(0, p + 1);
}

std::string ExtractFileDir(const std::string& fileName) {
  size_t p = fileName.rfind('/');
  if (p == std::string::npos) return std::string();
  if (p == 0) return "/";
  return fileName.substr(0, p);
}

std::string ExtractFileName(const std::string& fileName) {
  size_t p = fileName.rfind('/');
  return p == std::string::npos ? fileName : fileName.substr(p + 1);
}

std::string ExtractFileExt(const std::string& fileName) {
  size_t p = fileName.find_last_of("./");
  if (p == std::string::npos || fileName[p] != '.') return std::string();
  return fileName.substr(p);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& extension) {
  size_t p = fileName.find_last_of("./");
  if (p == std::string::npos || fileName[p] != '.') return fileName + extension;
  return fileName.substr(0, p) + extension;
}

std::string ExpandFileName(const std::string& fileName) {
  if (fileName.empty()) return std::string();
  std::string full = fileName[0] == '/' ? fileName : IncludeTrailingPathDelimiter(GetCurrentDir()) + fileName;
  std::string r = NormalizeFolderPath(full);
  if (full.back() == '/' && r != "/") r += '/';
  return r;
}

std::string IncludeTrailingPathDelimiter(const std::string& s) {
  if (!s.empty() && s.back() == '/') return s;
  return s + '/';
}

std::string ExcludeTrailingPathDelimiter(const std::string& s) {
  std::string r = s;
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  return r;
}

std::string GetCurrentDir() {
  std::vector<char> buf(4096);
  for (;;) {
    if (::getcwd(buf.data(), buf.size())) return std::string(buf.data());
    if (errno != ERANGE || buf.size() > (1u << 20)) return std::string();
    buf.resize(buf.size() * 2);
  }
}

bool SetCurrentDir(const std::string& dir) { return !dir.empty() && ::chdir(dir.c_str()) == 0; }

int64_t DiskFree(const std::string& path) {
  struct statvfs s;
  if (path.empty() || ::statvfs(path.c_str(), &s) != 0) return -1;
  return int64_t(s.f_bavail) * int64_t(s.f_frsize);
}

int64_t DiskSize(const std::string& path) {
  struct statvfs s;
  if (path.empty() || ::statvfs(path.c_str(), &s) != 0) return -1;
  return int64_t(s.f_blocks) * int64_t(s.f_frsize);
}

std::string GetTempDir() {
  std::string t = GetEnvironmentVariable("TMPDIR");
  if (t.empty() || !DirectoryExists(t)) t = "/tmp";
  return IncludeTrailingPathDelimiter(t);
}

// ---------------------------------------------------------------------------
// Whole files
// ---------------------------------------------------------------------------
std::string ReadFileBytes(const std::string& fileName, int64_t maxBytes) {
  int fd = fileName.empty() ? -1 : fileio::Open(fileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EFOpenError(FileErrorText("Cannot open file \"%s\". %s", fileName, errno ? errno : ENOENT));
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw EFOpenError(FileErrorText("Cannot open file \"%s\". %s", fileName, EISDIR));
  }
  if (int64_t(st.st_size) > maxBytes) {
    ::close(fd);
    throw EReadError(Format(_("File \"%s\" is too large"), {fileName}));
  }
  std::string data;
  data.reserve(size_t(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t r = ::read(fd, buf, sizeof buf);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      int err = errno;
      ::close(fd);
      throw EReadError(FileErrorText("Cannot read file \"%s\". %s", fileName, err));
    }
    if (r == 0) break;
    if (int64_t(data.size()) + r > maxBytes) {
      ::close(fd);
      throw EReadError(Format(_("File \"%s\" is too large"), {fileName}));
    }
    data.append(buf, size_t(r));
  }
  ::close(fd);
  return data;
}

void SaveTextFileAtomically(const std::string& fileName, std::string_view bytes) {
  if (fileName.empty()) throw EFCreateError(FileErrorText("Cannot create file \"%s\". %s", fileName, ENOENT));
  // A link is followed, so the file it names is replaced and the link kept.
  std::string target = fileName;
  struct stat lst;
  if (::lstat(fileName.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    if (char* real = ::realpath(fileName.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  struct stat old;
  if (::stat(target.c_str(), &old) == 0 && S_ISDIR(old.st_mode))
    throw EFCreateError(FileErrorText("Cannot create file \"%s\". %s", fileName, EISDIR));
  std::string folder = ExtractFilePath(target);
  // The name carries this process's mark: what a killed save leaves is known as such later.
  std::string path = WorkFileTemplate(target, kSaveWorkKind);
  int fd = fileio::MakeTemp(path, O_CLOEXEC);
  if (fd < 0) throw EFCreateError(FileErrorText("Cannot create file \"%s\". %s", fileName, errno));
  auto fail = [&](int err) {
    ::close(fd);
    fileio::Unlink(path);
    throw EWriteError(FileErrorText("Cannot write file \"%s\". %s", fileName, err));
  };
  ::fchmod(fd, mode_t(NewFileMode(target)));
  if (!fileio::WriteAll(fd, bytes.data(), bytes.size())) fail(errno);
  if (fileio::Sync(fd) != 0) fail(errno);
  if (::close(fd) != 0) {
    int err = errno;
    fileio::Unlink(path);
    throw EWriteError(FileErrorText("Cannot write file \"%s\". %s", fileName, err));
  }
  if (fileio::Rename(path, target) != 0) {
    int err = errno;
    fileio::Unlink(path);
    throw EWriteError(FileErrorText("Cannot write file \"%s\". %s", fileName, err));
  }
  // Make the rename itself durable.
  fileio::SyncFolder(folder);
}

int NewFileMode(const std::string& fileName) {
  struct stat st;
  if (::stat(fileName.c_str(), &st) == 0) return int(st.st_mode & 07777);
  return 0666 & ~UmaskNow();
}

bool rtl_internal::FileSignature::Update(const std::string& fileName) {
  struct stat st;
  bool exists = !fileName.empty() && ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  FileSignature now;
  now.known = true;
  now.existed = exists;
  if (exists) {
    now.dev = uint64_t(st.st_dev);
    now.ino = uint64_t(st.st_ino);
    now.size = int64_t(st.st_size);
    now.mtimeSec = int64_t(st.st_mtim.tv_sec);
    now.mtimeNsec = int64_t(st.st_mtim.tv_nsec);
  }
  bool changed = !known || now.existed != existed || now.dev != dev || now.ino != ino || now.size != size ||
                 now.mtimeSec != mtimeSec || now.mtimeNsec != mtimeNsec;
  *this = now;
  return changed;
}
