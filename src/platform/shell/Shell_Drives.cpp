// Mounted volumes as drives: the mount table, the kind of each volume, free space and size.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"
#include "platform/shell/ShellInternal.h"

namespace {

// Undoes the octal escapes (\040 for a blank ...) of a mount table field.
std::string UnescapeField(const std::string& raw) {
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] >= '0' && raw[i + 1] <= '3' && raw[i + 2] >= '0' &&
        raw[i + 2] <= '7' && raw[i + 3] >= '0' && raw[i + 3] <= '7') {
      out += char((raw[i + 1] - '0') * 64 + (raw[i + 2] - '0') * 8 + (raw[i + 3] - '0'));
      i += 3;
    } else {
      out += raw[i];
    }
  }
  return out;
}

bool OneOf(const std::string& s, std::initializer_list<const char*> list) {
  for (const char* item : list)
    if (s == item) return true;
  return false;
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

std::string FirstLineOf(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// The disk's "removable" flag for a block device name (a partition reports its disk's).
bool DiskIsRemovable(const std::string& name, const std::string& sysfsRoot) {
  std::string direct = PathJoin(sysfsRoot, "block", name);
  if (DirectoryExists(direct)) return Trim(FirstLineOf(PathJoin(direct, "removable"))) == "1";
  // A partition: /sys/class/block/NAME links into its disk's folder.
  std::string classLink = PathJoin(sysfsRoot, "class/block", name);
  if (char* real = ::realpath(classLink.c_str(), nullptr)) {
    std::string disk = ExtractFileDir(real);
    std::free(real);
    std::string flag = PathJoin(disk, "removable");
    if (FileExists(flag)) return Trim(FirstLineOf(flag)) == "1";
  }
  // Without the link: the disk's name is the partition's without its number ("sdb1" ->
  // "sdb", "mmcblk0p1" -> "mmcblk0", "nvme0n1p2" -> "nvme0n1").
  std::string disk = name;
  while (!disk.empty() && disk.back() >= '0' && disk.back() <= '9') disk.pop_back();
  if (disk.size() >= 2 && disk.back() == 'p' && disk[disk.size() - 2] >= '0' && disk[disk.size() - 2] <= '9')
    disk.pop_back();
  if (disk.empty() || disk == name) return false;
  return Trim(FirstLineOf(PathJoin(PathJoin(sysfsRoot, "block", disk), "removable"))) == "1";
}

}  // namespace

std::vector<TMountEntry> ParseMountTable(const std::string& text) {
  std::vector<TMountEntry> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint, fsType;
    if (!(fields >> device >> mountPoint >> fsType) || device[0] == '#') continue;
    out.push_back({UnescapeField(device), UnescapeField(mountPoint), UnescapeField(fsType)});
  }
  return out;
}

std::vector<TMountEntry> ReadMountTable() {
  std::ifstream in("/proc/self/mounts");
  if (!in) in.open("/etc/mtab");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseMountTable(text.str());
}

TDriveKind DriveKindOf(const TMountEntry& entry, const std::string& sysfsRoot) {
  const std::string fs = LowerCase(entry.FsType);
  const std::string& dev = entry.Device;
  if (OneOf(fs, {"nfs", "nfs4", "cifs", "smb", "smb3", "smbfs", "sshfs", "fuse.sshfs", "afs", "ncpfs", "9p",
                 "davfs", "fuse.davfs2", "fuse.rclone", "fuse.curlftpfs", "glusterfs", "fuse.glusterfs", "ceph",
                 "fuse.s3fs", "coda"}) ||
      StartsWith(dev, "//"))
    return dkRemote;
  if (OneOf(fs, {"iso9660", "udf", "cd9660"})) return dkCDRom;
  if (OneOf(fs, {"tmpfs", "ramfs"})) return dkRamDisk;
  if (StartsWith(dev, "/dev/")) {
    std::string name = ExtractFileName(dev);
    if (char* real = ::realpath(dev.c_str(), nullptr)) {
      name = ExtractFileName(real);  // /dev/disk/by-uuid/... and /dev/mapper/... are links
      std::free(real);
    }
    if (StartsWith(name, "sr") || StartsWith(name, "scd")) return dkCDRom;
    if (StartsWith(name, "ram")) return dkRamDisk;
    return DiskIsRemovable(name, sysfsRoot) ? dkRemovable : dkFixed;
  }
  if (OneOf(fs, {"ext2", "ext3", "ext4", "xfs", "btrfs", "zfs", "f2fs", "jfs", "reiserfs", "overlay", "vfat",
                 "exfat", "ntfs", "ntfs3", "fuseblk", "hfsplus", "nilfs2", "bcachefs"}))
    return dkFixed;
  return dkUnknown;
}

bool IsDriveMountPoint(const std::string& mountPoint) {
  if (mountPoint == "/") return true;
  for (const char* below : {"/media/", "/run/media/", "/mnt/"})
    if (StartsWith(mountPoint, below) && mountPoint.size() > std::string(below).size()) return true;
  return mountPoint == MountPointOf(shell_internal::HomeDir());
}

std::vector<TDriveInfo> MountedDrives(bool withSizes) {
  std::vector<TDriveInfo> drives;
  for (const TMountEntry& e : ReadMountTable()) {
    if (!IsDriveMountPoint(e.MountPoint)) continue;
    // A later mount on the same point hides the earlier one.
    drives.erase(std::remove_if(drives.begin(), drives.end(),
                                [&](const TDriveInfo& d) { return d.MountPoint == e.MountPoint; }),
                 drives.end());
    TDriveInfo d;
    d.MountPoint = e.MountPoint;
    d.Device = e.Device;
    d.FsType = e.FsType;
    d.Kind = DriveKindOf(e);
    if (withSizes) {
      d.FreeBytes = DiskFree(e.MountPoint);
      d.TotalBytes = DiskSize(e.MountPoint);
    }
    drives.push_back(std::move(d));
  }
  return drives;
}

std::string DriveOfPath(const std::string& path) { return MountPointOf(path); }

bool DriveInfoOfPath(const std::string& path, TDriveInfo& info, bool withSizes) {
  std::string mountPoint = DriveOfPath(path);
  if (mountPoint.empty()) return false;
  info = TDriveInfo();
  info.MountPoint = mountPoint;
  for (const TMountEntry& e : ReadMountTable()) {
    if (e.MountPoint != mountPoint) continue;
    info.Device = e.Device;
    info.FsType = e.FsType;
    info.Kind = DriveKindOf(e);
  }
  if (withSizes) {
    info.FreeBytes = DiskFree(path);
    info.TotalBytes = DiskSize(path);
  }
  return true;
}
