// Diversen's file facts and file operations, checked with date, stat, cmp, df and
// ImageMagick; size texts with English and Dutch separators.
#include <sys/stat.h>

#include <filesystem>

#include "TestSupport.h"
#include "core/Diversen.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempPath;
using testsupport::WriteFile;

std::string Out(const std::vector<std::string>& argv) {
  std::string out = testsupport::Run(argv).out;
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

class DiversenLanguage : public testing::Test {
 protected:
  void TearDown() override { SetFormatSettingsForLanguage("en"); }
};

TEST(DiversenFileFacts, DatesAgreeWithDateAndStat) {
  KIVO2_REQUIRE_TOOL("date");
  KIVO2_REQUIRE_TOOL("touch");
  std::string file = TempPath("oud.jpg");
  WriteFile(file, "x");
  ASSERT_EQ(testsupport::Run({"touch", "-d", "2003-07-14 23:59:58", file}).exitCode, 0);
  EXPECT_EQ(FileDateAsExifText(file), Out({"date", "-r", file, "+%Y:%m:%d %H:%M:%S"}));
  EXPECT_EQ(FileDateAsExifText(TempPath("missing.jpg")), "0000:00:00 00:00:00");

  // The DOS packing of the time as stored (UTC), from date's own decomposition.
  std::string utc = Out({"date", "-u", "-r", file, "+%Y %m %d %H %M %S"});
  int y, mo, d, h, mi, s;
  ASSERT_EQ(std::sscanf(utc.c_str(), "%d %d %d %d %d %d", &y, &mo, &d, &h, &mi, &s), 6);
  uint32_t expected = uint32_t((y - 1980) << 25 | mo << 21 | d << 16 | h << 11 | mi << 5 | s / 2);
  EXPECT_EQ(uint32_t(FileDosDateTime(file)), expected);
  EXPECT_EQ(FileDosDateTime(TempPath("missing.jpg")), -1);
  EXPECT_EQ(FileDosDateTime(testsupport::TempDir()), -1);

  std::string target = TempPath("nieuw.jpg");
  WriteFile(target, "y");
  EXPECT_EQ(CopyFileDate(file, target), 0);
  EXPECT_EQ(Out({"stat", "-c", "%Y", target}), Out({"stat", "-c", "%Y", file}));
  EXPECT_EQ(CopyFileDate(file, TempPath("missing.jpg")), -1);
  std::string before = Out({"stat", "-c", "%Y", target});
  EXPECT_NE(CopyFileDate(TempPath("missing.jpg"), target), 0);
  EXPECT_EQ(Out({"stat", "-c", "%Y", target}), before);
}

TEST_F(DiversenLanguage, SizeTexts) {
  std::string file = TempPath("f.bin");
  WriteFile(file, std::string(1023, 'x'));
  EXPECT_EQ(FileSizeText(file), "0 Kbytes");
  WriteFile(file, std::string(1500, 'x'));
  EXPECT_EQ(FileSizeText(file), "1 Kbytes");
  EXPECT_EQ(FileSizeText(TempPath("missing")), "0 bytes");
  EXPECT_EQ(FileSizeWithUnitText(TempPath("missing")), "0.00 Bytes");

  EXPECT_EQ(SizeWithUnitText(1023), "1,023.00 Bytes");
  EXPECT_EQ(SizeWithUnitText(1536), "1.50 KB");
  EXPECT_EQ(SizeWithUnitText(5LL << 30), "5.00 GB");
  EXPECT_EQ(SizeWithUnitText(5LL << 40), "5,120.00 GB");
  EXPECT_EQ(SizeWithUnitText(1048575), "1,024.00 KB");
  EXPECT_EQ(MegabyteText(9.0 * 1048576), " 9 MB     ");
  EXPECT_EQ(MegabyteText(9.5 * 1048576), " 9.5 MB");
  EXPECT_EQ(MegabyteText(1234.567 * 1048576), " 1,234.57 MB");
  EXPECT_EQ(GigabyteText(2.25 * 1073741824.0), "2.25 GB");

  SetFormatSettingsForLanguage("nl");
  EXPECT_EQ(SizeWithUnitText(1023), "1.023,00 Bytes");
  EXPECT_EQ(SizeWithUnitText(1536), "1,50 KB");
  EXPECT_EQ(FileSizeWithUnitText(TempPath("missing")), "0,00 Bytes");
  EXPECT_EQ(MegabyteText(1234.567 * 1048576), " 1.234,57 MB");
  EXPECT_EQ(GigabyteText(2.25 * 1073741824.0), "2,25 GB");
}

TEST(DiversenFileFacts, DrivesAgreeWithDfAndFindmnt) {
  KIVO2_REQUIRE_TOOL("df");
  std::string dir = testsupport::TempDir();
  std::string avail = Out({"df", "-B1", "--output=avail", dir});
  long long expected = std::stoll(avail.substr(avail.find('\n') + 1));
  EXPECT_NEAR(double(DriveFreeSpace(dir)), double(expected), 256.0 * 1024 * 1024);
  EXPECT_EQ(DriveFreeSpace(""), -1);
  EXPECT_EQ(DriveFreeSpace(TempPath("missing/deeper")), -1);

  EXPECT_EQ(DriveKind(TempPath("missing")), 255);
  EXPECT_EQ(DriveKind(""), 255);
  EXPECT_EQ(DriveKind("/proc"), 255);
  if (std::filesystem::exists("/dev/shm") &&
      Out({"findmnt", "-n", "-o", "FSTYPE", "--target", "/dev/shm"}).rfind("tmpfs", 0) == 0) {
    EXPECT_EQ(DriveKind("/dev/shm"), 5);
  }
  EXPECT_NE(DriveKind(dir), 255);
}

TEST(DiversenFileFacts, JpegDimensionsFromImageMagickFiles) {
  KIVO2_REQUIRE_TOOL("convert");
  std::string jpeg = TempPath("breed.jpg"), png = TempPath("echt-png.jpg"), bmp = TempPath("plaatje.bmp");
  ASSERT_EQ(testsupport::Run({"convert", "-size", "123x45", "xc:red", jpeg}).exitCode, 0);
  ASSERT_EQ(testsupport::Run({"convert", "-size", "20x10", "xc:blue", "png:" + png}).exitCode, 0);
  ASSERT_EQ(testsupport::Run({"convert", "-size", "20x10", "xc:blue", bmp}).exitCode, 0);
  int h = -1, w = -1;
  ASSERT_TRUE(GetJpegDimensions(jpeg, h, w));
  EXPECT_EQ(h, 45);
  EXPECT_EQ(w, 123);
  EXPECT_FALSE(GetJpegDimensions(png, h, w)) << "a PNG behind a .jpg name does not load as JPEG";
  EXPECT_FALSE(GetJpegDimensions(bmp, h, w)) << "a bitmap is no JPEG";
  EXPECT_FALSE(GetJpegDimensions(TempPath("missing.jpg"), h, w));
  WriteFile(TempPath("kapot.jpg"), std::string("\xFF\xD8\xFF\xE0", 4));
  EXPECT_FALSE(GetJpegDimensions(TempPath("kapot.jpg"), h, w));
}

TEST(DiversenFileOps, RecycleAndForceDelete) {
  std::string dir = TempPath("weg");
  std::filesystem::create_directories(dir);
  WriteFile(dir + "/één.jpg", "1");
  WriteFile(dir + "/twee.jpg", "2");
  ASSERT_TRUE(RecycleFile(dir + "/één.jpg"));
  EXPECT_EQ(ReadFile(HomeTrashDir() + "/files/één.jpg"), "1");
  EXPECT_FALSE(RecycleFile(dir + "/één.jpg"));
  EXPECT_FALSE(RecycleFile(dir)) << "a folder is no file";

  // The path is made a full path first.
  std::string old = std::filesystem::current_path().string();
  std::filesystem::current_path(dir);
  bool deleted = ShellDeleteToRecycleBin("twee.jpg");
  std::filesystem::current_path(old);
  ASSERT_TRUE(deleted);
  EXPECT_TRUE(std::filesystem::exists(HomeTrashDir() + "/info/twee.jpg.trashinfo"));
  EXPECT_FALSE(ShellDeleteToRecycleBin(dir + "/twee.jpg"));

  std::string locked = dir + "/alleen-lezen.jpg";
  WriteFile(locked, "r");
  ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
  ClearReadOnly(locked);
  EXPECT_EQ(Out({"stat", "-c", "%a", locked}), "644");
  ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
  EXPECT_TRUE(ForceDeleteFile(locked));
  EXPECT_FALSE(std::filesystem::exists(locked));
  EXPECT_FALSE(ForceDeleteFile(locked));
  EXPECT_FALSE(ForceDeleteFile(dir));
  EXPECT_TRUE(std::filesystem::is_directory(dir));
}

TEST(DiversenFileOps, CopyKeepingAttributesNeverLosesTheTarget) {
  KIVO2_REQUIRE_TOOL("cmp");
  std::string dir = TempPath("kopie");
  std::filesystem::create_directories(dir);
  std::string source = dir + "/bron.jpg", target = dir + "/doel.jpg";
  WriteFile(source, std::string(70000, 's'));
  ASSERT_EQ(::chmod(source.c_str(), 0444), 0);
  ASSERT_EQ(testsupport::Run({"touch", "-d", "2001-02-03 04:05:06", source}).exitCode, 0);
  WriteFile(target, "oud");
  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);

  ASSERT_TRUE(CopyFileKeepAttr(source, target));
  EXPECT_EQ(testsupport::Run({"cmp", source, target}).exitCode, 0);
  EXPECT_EQ(Out({"stat", "-c", "%a %Y", target}), Out({"stat", "-c", "%a %Y", source}));

  // A copy that fails half-way keeps the old target.
  ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
  WriteFile(target, "precious");
  EXPECT_FALSE(CopyFileKeepAttr("/proc/self/mem", target));
  EXPECT_FALSE(CopyFileKeepAttr(dir + "/missing.jpg", target));
  EXPECT_EQ(ReadFile(target), "precious");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);
  // The same file under its own name stays whole.
  EXPECT_TRUE(CopyFileKeepAttr(target, target));
  EXPECT_EQ(ReadFile(target), "precious");
}

TEST(DiversenPaths, SeparatorsAndKinds) {
  KIVO2_REQUIRE_TOOL("xdg-user-dir");
  std::string p = "/home/u/Foto's";
  AddTrailingBackslash(p);
  EXPECT_EQ(p, "/home/u/Foto's/");
  AddTrailingBackslash(p);
  EXPECT_EQ(p, "/home/u/Foto's/");
  std::string empty;
  AddTrailingBackslash(empty);
  EXPECT_EQ(empty, "");
  EXPECT_EQ(RemoveTrailingBackslash("/a/b/"), "/a/b");
  EXPECT_EQ(RemoveTrailingBackslash("/"), "/");
  EXPECT_EQ(RemoveTrailingBackslash(""), "");
  for (auto [in, out] : {std::pair<std::string, std::string>{"/home/u/Foto's/2024/", "2024"},
                         {"/home/u/Zomer", "Zomer"}, {"Zomer/", "Zomer"}, {"/", ""}, {"", ""}}) {
    LastFolderName(in);
    EXPECT_EQ(in, out);
  }
  EXPECT_EQ(GetPathKind("relative/path"), 0);
  EXPECT_EQ(GetPathKind(""), 0);
  EXPECT_EQ(GetPathKind(testsupport::TempDir()), 1);
  EXPECT_EQ(GetPathKind("/no/such/folder"), 1);
  EXPECT_TRUE(FolderExists(testsupport::TempDir()));
  EXPECT_FALSE(FolderExists(TempPath("missing")));
  EXPECT_EQ(GetTempFolder().back(), '/');
  EXPECT_TRUE(FolderExists(GetTempFolder()));
  EXPECT_EQ(DesktopFolder(), Out({"xdg-user-dir", "DESKTOP"}));
  EXPECT_TRUE(IsDirectoryAttr(faDirectory | faReadOnly));
  EXPECT_FALSE(IsDirectoryAttr(faArchive | faHidden));
}

}  // namespace
