// Deleting to the freedesktop Trash, checked with Python's own INI and URL decoders.

#include "ShellTestUtil.h"
#include "platform/shell/Shell.h"

namespace {

using shelltest::Exists;
using testsupport::ReadFile;
using testsupport::TempPath;
using testsupport::WriteFile;

// Decodes a .trashinfo file with Python: the Path entry's bytes (percent-decoding undone),
// after checking that DeletionDate is an ISO 8601 local time. Empty when it does not parse.
std::string PathFromTrashInfo(const std::string& infoFile) {
  const char* script =
      "import sys, configparser, urllib.parse, datetime\n"
      "c = configparser.RawConfigParser(); c.optionxform = str\n"
      "c.read(sys.argv[1], encoding='ascii')\n"
      "s = c['Trash Info']\n"
      "datetime.datetime.strptime(s['DeletionDate'], '%Y-%m-%dT%H:%M:%S')\n"
      "sys.stdout.buffer.write(urllib.parse.unquote_to_bytes(s['Path']))\n";
  testsupport::CommandResult r = testsupport::Run({"python3", "-c", script, infoFile});
  return r.exitCode == 0 ? r.out : std::string();
}

std::string InfoFileFor(const std::string& trashedAs) {
  std::filesystem::path p(trashedAs);
  return (p.parent_path().parent_path() / "info" / (p.filename().string() + ".trashinfo")).string();
}

TEST(ShellTrash, FileGoesToHomeTrashWithValidInfo) {
  KIVO2_REQUIRE_TOOL("python3");
  std::string dir = TempPath("Foto's 2024 (zomer)");
  std::filesystem::create_directories(dir);
  std::string file = dir + "/Ærø strand #1.jpg";
  WriteFile(file, "picture bytes");

  std::string trashedAs;
  ASSERT_TRUE(MoveToTrash(file, &trashedAs));
  EXPECT_FALSE(Exists(file));
  EXPECT_EQ(trashedAs, HomeTrashDir() + "/files/Ærø strand #1.jpg");
  EXPECT_EQ(ReadFile(trashedAs), "picture bytes");

  std::string info = InfoFileFor(trashedAs);
  std::string text = ReadFile(info);
  EXPECT_EQ(text.rfind("[Trash Info]\n", 0), 0u) << text;
  std::string pathLine = text.substr(text.find("\nPath=") + 1);
  pathLine = pathLine.substr(0, pathLine.find('\n'));
  for (unsigned char c : pathLine) EXPECT_TRUE(c > ' ' && c < 0x7F) << "the Path entry is percent-encoded: " << text;
  EXPECT_EQ(PathFromTrashInfo(info), std::filesystem::canonical(dir).string() + "/Ærø strand #1.jpg");
  EXPECT_EQ(shelltest::StatField("%a", HomeTrashDir()), "700");
}

TEST(ShellTrash, SameNameTwiceGetsDistinctTrashNames) {
  KIVO2_REQUIRE_TOOL("python3");
  std::string a = TempPath("a"), b = TempPath("b");
  std::filesystem::create_directories(a);
  std::filesystem::create_directories(b);
  WriteFile(a + "/photo.jpg", "first");
  WriteFile(b + "/photo.jpg", "second");
  WriteFile(a + "/.hidden", "third");
  WriteFile(b + "/.hidden", "fourth");

  std::string first, second, third, fourth;
  ASSERT_TRUE(MoveToTrash(a + "/photo.jpg", &first));
  ASSERT_TRUE(MoveToTrash(b + "/photo.jpg", &second));
  ASSERT_TRUE(MoveToTrash(a + "/.hidden", &third));
  ASSERT_TRUE(MoveToTrash(b + "/.hidden", &fourth));
  EXPECT_NE(first, second);
  EXPECT_NE(third, fourth);
  EXPECT_EQ(ReadFile(first), "first");
  EXPECT_EQ(ReadFile(second), "second");
  EXPECT_EQ(ReadFile(fourth), "fourth");
  // Each trashed entry has its own info naming where it came from.
  EXPECT_EQ(PathFromTrashInfo(InfoFileFor(first)), std::filesystem::canonical(a).string() + "/photo.jpg");
  EXPECT_EQ(PathFromTrashInfo(InfoFileFor(second)), std::filesystem::canonical(b).string() + "/photo.jpg");
  EXPECT_EQ(PathFromTrashInfo(InfoFileFor(fourth)), std::filesystem::canonical(b).string() + "/.hidden");
}

TEST(ShellTrash, LinksFoldersAndMissingEntries) {
  std::string target = TempPath("kept.jpg");
  WriteFile(target, "keep me");
  std::string link = TempPath("link.jpg");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  std::string trashedLink;
  ASSERT_TRUE(MoveToTrash(link, &trashedLink));
  // The link itself is trashed, never the file it points to.
  EXPECT_EQ(ReadFile(target), "keep me");
  struct stat st;
  ASSERT_EQ(::lstat(trashedLink.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  std::string folder = TempPath("album");
  std::filesystem::create_directories(folder + "/sub");
  WriteFile(folder + "/sub/x.jpg", "x");
  std::string trashedFolder;
  ASSERT_TRUE(MoveToTrash(folder, &trashedFolder));
  EXPECT_EQ(ReadFile(trashedFolder + "/sub/x.jpg"), "x");

  // A missing entry is a failure that leaves no info file behind.
  std::string infoDir = HomeTrashDir() + "/info";
  auto count = [&] { return std::distance(std::filesystem::directory_iterator(infoDir), {}); };
  auto before = count();
  EXPECT_FALSE(MoveToTrash(TempPath("missing.jpg")));
  EXPECT_FALSE(MoveToTrash(""));
  EXPECT_EQ(count(), before);
}

TEST(ShellTrash, EncodingAgreesWithPython) {
  KIVO2_REQUIRE_TOOL("python3");
  const std::string samples[] = {"/home/u/Foto's/zomer 2024/ü%20é.jpg", "/a/b~c/d-e_f.g", "/x/[1]+(2)&#?=;,@!$*",
                                 std::string("/raw/\x01\x7f\xff name")};
  for (const std::string& s : samples) {
    testsupport::CommandResult r =
        testsupport::Run({"python3", "-c",
             "import sys, urllib.parse; "
             "sys.stdout.write(urllib.parse.quote(sys.stdin.buffer.read(), safe='/'))"},
            s);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(TrashInfoEncodePath(s), r.out) << s;
  }
}

TEST(ShellTrash, EntryOnAnotherVolumeGoesToThatVolumesTrash) {
  KIVO2_REQUIRE_TOOL("python3");
  shelltest::OtherDeviceScratch scratch;
  if (scratch.Path().empty()) GTEST_SKIP() << "no second writable file system";
  std::string volumeTrash = "/dev/shm/.Trash-" + std::to_string(getuid());
  bool hadVolumeTrash = Exists(volumeTrash);

  std::string file = scratch.Path() + "/on volume.jpg";
  WriteFile(file, "elsewhere");
  std::string trashedAs;
  bool moved = MoveToTrash(file, &trashedAs);
  std::string info = moved ? ReadFile(InfoFileFor(trashedAs)) : std::string();
  std::string recorded = moved ? PathFromTrashInfo(InfoFileFor(trashedAs)) : std::string();
  std::string content = moved ? ReadFile(trashedAs) : std::string();
  // Clean up the volume's trash before judging, so a failure leaves nothing behind.
  std::error_code ec;
  if (moved) {
    std::filesystem::remove(trashedAs, ec);
    std::filesystem::remove(InfoFileFor(trashedAs), ec);
  }
  if (!hadVolumeTrash) std::filesystem::remove_all(volumeTrash, ec);

  ASSERT_TRUE(moved);
  EXPECT_EQ(trashedAs.rfind(volumeTrash + "/files/", 0), 0u) << trashedAs;
  EXPECT_EQ(content, "elsewhere");
  // Relative to the volume's top folder, so it restores wherever the volume is mounted.
  EXPECT_EQ(recorded, scratch.Path().substr(std::string("/dev/shm/").size()) + "/on volume.jpg");
  EXPECT_FALSE(Exists(file));
  EXPECT_FALSE(Exists(HomeTrashDir() + "/files/on volume.jpg"));
}

}  // namespace
