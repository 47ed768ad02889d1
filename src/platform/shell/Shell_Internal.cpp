// Helpers shared by the shell files.
#include <cerrno>
#include <pwd.h>
#include <unistd.h>

#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/ShellInternal.h"

namespace shell_internal {

std::string HomeDir() {
  std::string home = GetEnvironmentVariable("HOME");
  if (!home.empty()) return home;
  struct passwd pw;
  struct passwd* found = nullptr;
  char buf[4096];
  if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir) return found->pw_dir;
  return "/";
}

std::string DataHomeDir() {
  std::string dir = GetEnvironmentVariable("XDG_DATA_HOME");
  // XDG base directories must be absolute: relative values are ignored.
  if (dir.empty() || dir[0] != '/') dir = PathJoin(HomeDir(), ".local/share");
  return dir;
}

bool LstatOf(const std::string& path, struct stat& st) {
  if (path.empty()) return false;
  int r;
  do {
    r = ::lstat(path.c_str(), &st);
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

bool EnsurePrivateDir(const std::string& dir) {
  struct stat st;
  if (!LstatOf(dir, st)) {
    if (fileio::MakeDir(dir, 0700) != 0 && errno != EEXIST) return false;
    if (!LstatOf(dir, st)) return false;
  }
  if (S_ISDIR(st.st_mode)) return true;
  errno = ENOTDIR;
  return false;
}

}  // namespace shell_internal
