// The drives of the explorer controls: the root, the home and desktop folders, mounted
// volumes and the network shares that gio mounted; and the sub folders of a folder.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/ShellExplorer.h"
#include "platform/shell/ShellInternal.h"

namespace {

bool IsRealFolder(const std::string& path) {
  struct stat st;
  return shell_internal::LstatOf(path, st) && S_ISDIR(st.st_mode);
}

// $XDG_RUNTIME_DIR/gvfs, where gio's FUSE bridge shows the shares it mounted.
std::string GvfsDir() {
  std::string runtime = GetEnvironmentVariable("XDG_RUNTIME_DIR");
  return runtime.empty() ? std::string() : PathJoin(runtime, "gvfs");
}

}  // namespace

std::vector<std::string> SubFolderNames(const std::string& folder, bool firstOnly) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return names;
  while (dirent* entry = ::readdir(dir)) {
    const char* n = entry->d_name;
    if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
    bool isDir = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) isDir = IsRealFolder(PathJoin(folder, n));
    if (!isDir) continue;
    names.emplace_back(n);
    if (firstOnly) break;
  }
  ::closedir(dir);
  return names;
}

std::vector<std::string> NetworkMounts() {
  std::vector<std::string> mounts;
  std::string gvfs = GvfsDir();
  if (!gvfs.empty()) {
    std::vector<std::string> names = SubFolderNames(gvfs);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) mounts.push_back(PathJoin(gvfs, name));
  }
  for (const TDriveInfo& d : MountedDrives(false))
    if (d.Kind == dkRemote) mounts.push_back(d.MountPoint);
  return mounts;
}

std::vector<TExplorerDrive> ExplorerDrives() {
  std::vector<TExplorerDrive> drives;
  auto add = [&](const std::string& path, TDriveKind kind, const std::string& label) {
    if (path.empty() || !IsRealFolder(path)) return;
    for (const TExplorerDrive& d : drives)
      if (d.Path == path) return;
    drives.push_back({path, kind, label});
  };
  // The mount table only: no volume is asked for its space, so a network mount that
  // does not answer cannot stall the folder tree.
  const std::vector<TDriveInfo> mounted = MountedDrives(false);
  auto kindOf = [&](const std::string& path) {
    TDriveInfo info;
    return DriveInfoOfPath(path, info, false) ? info.Kind : dkFixed;
  };
  add("/", kindOf("/"), "/");
  std::string home = ExcludeTrailingPathDelimiter(shell_internal::HomeDir());
  add(home, kindOf(home), "Home");
  add(ExcludeTrailingPathDelimiter(UserFolder(TUserFolder::Desktop)), kindOf(home), "Desktop");
  for (const TDriveInfo& d : mounted) add(d.MountPoint, d.Kind, LastFolderName(d.MountPoint));
  for (const std::string& share : NetworkMounts()) add(share, dkRemote, LastFolderName(share));
  return drives;
}
