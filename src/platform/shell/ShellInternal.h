#pragma once
// Helpers shared by the shell files; not for use outside src/platform/shell.
#include <sys/stat.h>

#include <string>

namespace shell_internal {
// $HOME, or the password database's home folder when HOME is unset.
std::string HomeDir();
// $XDG_DATA_HOME, or ~/.local/share.
std::string DataHomeDir();
// lstat that retries on EINTR; false when the entry is missing.
bool LstatOf(const std::string& path, struct stat& st);
// Makes a folder with mode 0700 when missing; true when a real folder (not a link) is there.
bool EnsurePrivateDir(const std::string& dir);
}  // namespace shell_internal
