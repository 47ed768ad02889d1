// Deleting to the freedesktop Trash: the home trash for entries on the file system of
// $XDG_DATA_HOME, the volume's own trash folder for entries on other volumes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"
#include "platform/shell/ShellInternal.h"

using namespace shell_internal;

namespace {

// One trash folder to try: its root (holding files/ and info/) and, for a volume's
// trash, the folder that the Path entries are relative to.
struct TrashTarget {
  std::string root;
  std::string topDir;  // "" for the home trash (absolute Path entries)
};

// The device of path, or of its nearest existing parent folder.
bool DeviceOf(std::string path, dev_t& dev) {
  for (;;) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
      dev = st.st_dev;
      return true;
    }
    if (path.empty() || path == "/") return false;
    path = ExtractFileDir(path);
  }
}

// The trash folder of a volume: $topdir/.Trash/$uid when an administrator made $topdir/.Trash
// a real folder with the sticky bit, else $topdir/.Trash-$uid (ours, not a link).
std::string VolumeTrashRoot(const std::string& topDir) {
  std::string uid = std::to_string(::getuid());
  struct stat st;
  std::string shared = PathJoin(topDir, ".Trash");
  if (LstatOf(shared, st) && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
    std::string own = PathJoin(shared, uid);
    if (EnsurePrivateDir(own) && LstatOf(own, st) && st.st_uid == ::getuid()) return own;
  }
  std::string own = PathJoin(topDir, ".Trash-" + uid);
  if (EnsurePrivateDir(own) && LstatOf(own, st) && st.st_uid == ::getuid()) return own;
  return std::string();
}

// Cuts a name to at most maxBytes without splitting a UTF-8 sequence.
std::string CutName(const std::string& name, size_t maxBytes) {
  if (name.size() <= maxBytes) return name;
  size_t n = maxBytes;
  while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  return name.substr(0, n);
}

// The n-th candidate name in the trash: the name itself, then "stem.2.ext", "stem.3.ext" ...
std::string TrashName(const std::string& base, int n) {
  if (n == 1) return base;
  std::string ext = ExtractFileExt(base);
  std::string stem = base.substr(0, base.size() - ext.size());
  if (stem.empty()) return base + "." + std::to_string(n);
  return stem + "." + std::to_string(n) + ext;
}

// Trashes the entry fullPath into target; with byLink the trash gets a second name of the
// file and fullPath stays. Returns 0 on success, else an errno value (EXDEV: the trash lies
// on another file system, try the next one).
int TrashInto(const TrashTarget& target, const std::string& fullPath, bool byLink, std::string* trashedAs) {
  std::string filesDir = PathJoin(target.root, "files");
  std::string infoDir = PathJoin(target.root, "info");
  // A folder that cannot be made says why (a full or read-only disk).
  if (!EnsurePrivateDir(target.root) || !EnsurePrivateDir(filesDir) || !EnsurePrivateDir(infoDir))
    return errno != 0 ? errno : EACCES;

  std::string shownPath = fullPath;
  if (!target.topDir.empty()) {
    // Relative to the volume, so the entry can be restored wherever the volume is mounted.
    shownPath = target.topDir == "/" ? fullPath.substr(1) : fullPath.substr(target.topDir.size() + 1);
  }
  std::string info = "[Trash Info]\nPath=" + TrashInfoEncodePath(shownPath) +
                     "\nDeletionDate=" + FormatDateTime("yyyy-mm-dd\"T\"hh:nn:ss", Now()) + "\n";
  // Room for ".trashinfo" and a counter within the 255 bytes a name may have.
  std::string base = CutName(ExtractFileName(fullPath), 230);

  for (int n = 1; n < 100000; ++n) {
    std::string name = TrashName(base, n);
    std::string infoFile = PathJoin(infoDir, name + ".trashinfo");
    int fd = fileio::Open(infoFile, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return errno;
    }
    bool written = fileio::WriteAll(fd, info.data(), info.size());
    int err = written ? 0 : errno;
    if (::close(fd) != 0 && written) {
      written = false;
      err = errno;
    }
    if (!written) {
      // The reason the info could not be written (a full disk, a quota) is what is said.
      fileio::Unlink(infoFile);
      return err != 0 ? err : EIO;
    }
    std::string dest = PathJoin(filesDir, name);
    if ((byLink ? fileio::Link(fullPath, dest) : fileio::RenameNoReplace(fullPath, dest)) == 0) {
      if (trashedAs) *trashedAs = dest;
      return 0;
    }
    err = errno;
    fileio::Unlink(infoFile);
    if (err != EEXIST) return err;  // a left-over entry without info: try the next name
  }
  return EEXIST;
}

}  // namespace

std::string HomeTrashDir() { return PathJoin(DataHomeDir(), "Trash"); }

std::string TrashInfoEncodePath(const std::string& path) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (unsigned char c : path) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                 c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out += char(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

namespace {

// The entry at path into the trash of its volume (see MoveToTrash); with byLink as a second
// name of the file, path staying. 0 or an errno value.
int TrashEntry(const std::string& path, bool byLink, std::string* trashedAs) {
  if (path.empty()) return ENOENT;
  std::string expanded = ExpandFileName(path);
  struct stat st;
  if (!LstatOf(expanded, st)) return errno;
  std::string name = ExtractFileName(expanded);
  if (name.empty() || name == "." || name == "..") return EINVAL;
  // The folder's real path, so the recorded Path and the volume's mount point agree; the
  // entry itself is not resolved (a link is trashed as a link).
  char* realParent = ::realpath(ExtractFileDir(expanded).c_str(), nullptr);
  if (!realParent) return errno;
  std::string fullPath = PathJoin(realParent, name);
  std::free(realParent);

  dev_t homeDev;
  if (DeviceOf(DataHomeDir(), homeDev) && homeDev == st.st_dev && ForceDirectories(DataHomeDir())) {
    int err = TrashInto({HomeTrashDir(), std::string()}, fullPath, byLink, trashedAs);
    if (err != EXDEV) return err;  // EXDEV: another mount of the same device
  }
  // The volume's own trash, made only when needed.
  std::string topDir = MountPointOf(ExtractFileDir(fullPath));
  if (topDir.empty()) return ENOENT;
  std::string volumeTrash = VolumeTrashRoot(topDir);
  return volumeTrash.empty() ? EACCES : TrashInto({volumeTrash, topDir}, fullPath, byLink, trashedAs);
}

// Takes an entry out of the trash again: its info goes; with putBackAt the entry is renamed
// there (never replacing), else only that name of it is removed (a second name of a file).
bool UndoTrash(const std::string& trashedAs, const std::string& putBackAt) {
  const std::string root = ExtractFileDir(ExtractFileDir(trashedAs));
  const std::string info = PathJoin(PathJoin(root, "info"), ExtractFileName(trashedAs) + ".trashinfo");
  const bool undone = putBackAt.empty() ? fileio::Unlink(trashedAs) == 0
                                        : fileio::RenameNoReplace(trashedAs, putBackAt) == 0;
  if (undone) fileio::Unlink(info);
  return undone;
}

}  // namespace

bool MoveToTrash(const std::string& path, std::string* trashedAs) {
  int err = TrashEntry(path, false, trashedAs);
  if (err != 0) errno = err;
  return err == 0;
}

bool ReplaceTrashingOld(const std::string& ready, const std::string& target) {
  struct stat rst, tst;
  if (ready.empty() || target.empty() || !LstatOf(ready, rst) || !LstatOf(target, tst)) return false;
  std::string trashed;
  if (!S_ISDIR(rst.st_mode) && !S_ISDIR(tst.st_mode)) {
    // The trash gets a second name of the old file; the new one then replaces the target's
    // name in one step, so the name never stands empty.
    int err = TrashEntry(target, true, &trashed);
    if (err == 0) {
      if (fileio::Rename(ready, target) == 0) {
        fileio::SyncFolder(ExtractFileDir(target));
        return true;
      }
      err = errno;
      UndoTrash(trashed, std::string());
      errno = err;
      return false;
    }
    // A file system without second names (FAT) takes the old file itself.
    if (err != EPERM && err != EOPNOTSUPP && err != EMLINK && err != ENOSYS) {
      errno = err;
      return false;
    }
  }
  if (!MoveToTrash(target, &trashed)) return false;
  if (fileio::RenameNoReplace(ready, target) == 0) {
    fileio::SyncFolder(ExtractFileDir(target));
    return true;
  }
  int err = errno;
  // The old entry comes back to its name.
  UndoTrash(trashed, target);
  errno = err;
  return false;
}
