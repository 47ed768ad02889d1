// Drives (mounted volumes) checked against findmnt and df; user folders checked against
// xdg-user-dir.

#include <cstdlib>
#include <sstream>

#include "ShellTestUtil.h"
#include "platform/shell/Shell.h"

namespace {

using testsupport::TempPath;
using testsupport::WriteFile;

// The last line of findmnt's answer (a point mounted twice is listed twice; the last mount is the one in use).
std::string FindmntLast(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"findmnt", "-n"};
  argv.insert(argv.end(), args.begin(), args.end());
  testsupport::CommandResult r = testsupport::Run(argv);
  std::string s = r.out;
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return r.exitCode == 0 ? s.substr(s.rfind('\n') == std::string::npos ? 0 : s.rfind('\n') + 1) : std::string();
}

TEST(ShellDrives, MountTableParsing) {
  std::vector<TMountEntry> table = ParseMountTable(
      "/dev/sdb1 /media/u/MY\\040STICK vfat rw,nosuid 0 0\n"
      "server:/export /mnt/nfs nfs4 rw 0 0\n"
      "\n"
      "garbage\n"
      "//nas/foto's /mnt/tab\\011name cifs rw 0 0\n"
      "/dev/x /bad\\9 ext4 rw 0 0\n");
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[0].Device, "/dev/sdb1");
  EXPECT_EQ(table[0].MountPoint, "/media/u/MY STICK");
  EXPECT_EQ(table[0].FsType, "vfat");
  EXPECT_EQ(table[1].MountPoint, "/mnt/nfs");
  EXPECT_EQ(table[2].MountPoint, "/mnt/tab\tname");
  EXPECT_EQ(table[3].MountPoint, "/bad\\9") << "an incomplete escape stays as it is";

  EXPECT_TRUE(IsDriveMountPoint("/"));
  EXPECT_TRUE(IsDriveMountPoint("/media/u/MY STICK"));
  EXPECT_TRUE(IsDriveMountPoint("/run/media/u/CARD"));
  EXPECT_TRUE(IsDriveMountPoint("/mnt/nfs"));
  EXPECT_FALSE(IsDriveMountPoint("/mnt"));
  EXPECT_FALSE(IsDriveMountPoint("/proc"));
  EXPECT_FALSE(IsDriveMountPoint("/sys/fs/cgroup"));
}

TEST(ShellDrives, KindsFromFileSystemAndDisk) {
  // A small copy of the kernel's block device folder.
  std::string sys = TempPath("sys");
  std::filesystem::create_directories(sys + "/block/sdb");
  std::filesystem::create_directories(sys + "/block/sda");
  std::filesystem::create_directories(sys + "/block/mmcblk0");
  std::filesystem::create_directories(sys + "/block/nvme0n1");
  std::filesystem::create_directories(sys + "/devices/usb1/sdc/sdc1");
  std::filesystem::create_directories(sys + "/class/block");
  WriteFile(sys + "/block/sdb/removable", "1\n");
  WriteFile(sys + "/block/sda/removable", "0\n");
  WriteFile(sys + "/block/mmcblk0/removable", "1\n");
  WriteFile(sys + "/block/nvme0n1/removable", "0\n");
  WriteFile(sys + "/devices/usb1/sdc/removable", "1\n");
  std::filesystem::create_directory_symlink("../../devices/usb1/sdc/sdc1", sys + "/class/block/sdc1");

  auto kind = [&](const char* dev, const char* fs) { return DriveKindOf({dev, "/mnt/x", fs}, sys); };
  EXPECT_EQ(kind("/dev/sdb1", "vfat"), dkRemovable);
  EXPECT_EQ(kind("/dev/sdb", "exfat"), dkRemovable);
  EXPECT_EQ(kind("/dev/mmcblk0p1", "vfat"), dkRemovable);
  EXPECT_EQ(kind("/dev/sdc1", "vfat"), dkRemovable) << "a partition found through its class link";
  EXPECT_EQ(kind("/dev/sda2", "ext4"), dkFixed);
  EXPECT_EQ(kind("/dev/nvme0n1p2", "btrfs"), dkFixed);
  EXPECT_EQ(kind("/dev/sr0", "iso9660"), dkCDRom);
  EXPECT_EQ(kind("/dev/sr1", "auto"), dkCDRom);
  EXPECT_EQ(kind("/dev/loop3", "udf"), dkCDRom);
  EXPECT_EQ(kind("tmpfs", "tmpfs"), dkRamDisk);
  EXPECT_EQ(kind("none", "ramfs"), dkRamDisk);
  EXPECT_EQ(kind("server:/export", "nfs4"), dkRemote);
  EXPECT_EQ(kind("//nas/share", "cifs"), dkRemote);
  EXPECT_EQ(kind("u@host:/photos", "fuse.sshfs"), dkRemote);
  EXPECT_EQ(kind("overlay", "overlay"), dkFixed);
  EXPECT_EQ(kind("proc", "proc"), dkUnknown);
  EXPECT_EQ(kind("sysfs", "sysfs"), dkUnknown);
}

TEST(ShellDrives, DriveOfPathAgreesWithFindmnt) {
  KIVO2_REQUIRE_TOOL("findmnt");
  for (const std::string& path : {testsupport::TempDir(), std::string("/"), std::string("/dev/shm"),
                                  std::string("/proc/self"), shelltest::OtherDeviceScratch().Path()}) {
    if (path.empty()) continue;
    std::string expected = FindmntLast({"-o", "TARGET", "--target", path});
    if (expected.empty()) continue;
    EXPECT_EQ(DriveOfPath(path), expected) << path;
  }
  EXPECT_EQ(DriveOfPath(TempPath("missing/file.jpg")), "");
  TDriveInfo info;
  EXPECT_FALSE(DriveInfoOfPath(TempPath("missing"), info));
}

TEST(ShellDrives, FreeSpaceSizeAndKindAgreeWithDfAndFindmnt) {
  KIVO2_REQUIRE_TOOL("df");
  KIVO2_REQUIRE_TOOL("findmnt");
  for (const std::string& path : {testsupport::TempDir(), std::string("/dev/shm")}) {
    if (!std::filesystem::exists(path)) continue;
    TDriveInfo info;
    ASSERT_TRUE(DriveInfoOfPath(path, info)) << path;
    testsupport::CommandResult df = testsupport::Run({"df", "-B1", "--output=size,avail", path});
    ASSERT_EQ(df.exitCode, 0);
    std::istringstream lines(df.out);
    std::string header;
    long long size = -1, avail = -1;
    std::getline(lines, header);
    lines >> size >> avail;
    EXPECT_EQ(info.TotalBytes, size) << path;
    // Other programs write meanwhile: allow a little drift.
    EXPECT_NEAR(double(info.FreeBytes), double(avail), 256.0 * 1024 * 1024) << path;
    std::string fsType = FindmntLast({"-o", "FSTYPE", "--target", path});
    EXPECT_EQ(info.FsType, fsType) << path;
    if (fsType == "tmpfs") {
      EXPECT_EQ(info.Kind, dkRamDisk);
    }
  }
}

TEST(ShellDrives, MountedDrivesListsTheRootOnce) {
  int roots = 0;
  for (const TDriveInfo& d : MountedDrives()) {
    EXPECT_TRUE(IsDriveMountPoint(d.MountPoint)) << d.MountPoint;
    if (d.MountPoint == "/") {
      ++roots;
      EXPECT_GT(d.TotalBytes, 0);
      EXPECT_NE(d.Kind, dkUnknown);
    }
  }
  EXPECT_EQ(roots, 1);
}

class ShellUserFolders : public testing::Test {
 protected:
  void TearDown() override {
    for (const char* v : {"XDG_DESKTOP_DIR", "XDG_DOCUMENTS_DIR", "XDG_PICTURES_DIR"}) unsetenv(v);
  }
  // What xdg-user-dir says for every folder kind, against our answer.
  void ExpectSameAsXdgUserDir() {
    const std::pair<TUserFolder, const char*> kinds[] = {
        {TUserFolder::Desktop, "DESKTOP"}, {TUserFolder::Documents, "DOCUMENTS"}, {TUserFolder::Pictures, "PICTURES"}};
    for (const auto& [kind, name] : kinds) {
      testsupport::CommandResult r = testsupport::Run({"xdg-user-dir", name});
      ASSERT_EQ(r.exitCode, 0);
      std::string expected = r.out.substr(0, r.out.find('\n'));
      EXPECT_EQ(UserFolder(kind), expected) << name;
    }
  }
};

TEST_F(ShellUserFolders, WithoutTheFileOrWithTheEnvironment) {
  KIVO2_REQUIRE_TOOL("xdg-user-dir");
  ExpectSameAsXdgUserDir();
  setenv("XDG_PICTURES_DIR", (testsupport::TempDir() + "/Beelden").c_str(), 1);
  ExpectSameAsXdgUserDir();
}

TEST_F(ShellUserFolders, FromUserDirsFile) {
  KIVO2_REQUIRE_TOOL("xdg-user-dir");
  std::string config = getenv("XDG_CONFIG_HOME");
  WriteFile(config + "/user-dirs.dirs",
            "# written by xdg-user-dirs-update\n"
            "XDG_DESKTOP_DIR=\"$HOME/Bureaublad\"\n"
            "XDG_DOCUMENTS_DIR=\"/srv/Documenten \\\"gedeeld\\\"\"\n"
            "XDG_PICTURES_DIR=\"$HOME/Afbeeldingen\"\n"
            "XDG_PICTURES_DIR=\"$HOME/Foto's\"\n");
  // The file wins over the environment.
  setenv("XDG_DESKTOP_DIR", "/elsewhere", 1);
  ExpectSameAsXdgUserDir();
  EXPECT_EQ(UserFolder(TUserFolder::Desktop), std::string(getenv("HOME")) + "/Bureaublad");

  // Windows line ends and a trailing separator are tolerated.
  WriteFile(config + "/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Bureaublad/\"\r\n");
  EXPECT_EQ(UserFolder(TUserFolder::Desktop), std::string(getenv("HOME")) + "/Bureaublad");
}

}  // namespace
