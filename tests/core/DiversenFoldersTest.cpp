// Diversen's folder walks and folder facts, checked against find and stat; a link loop,
// hidden entries, names with non-ASCII letters and a 3 GiB (sparse) file included.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "TestSupport.h"
#include "core/Diversen.h"
#include "platform/rtl/Classes.h"

namespace {

using testsupport::TempPath;
using testsupport::Lines;
using testsupport::WriteFile;

std::set<std::string> Find(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"find"};
  argv.insert(argv.end(), args.begin(), args.end());
  testsupport::CommandResult r = testsupport::Run(argv);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> lines = Lines(r.out);
  return {lines.begin(), lines.end()};
}

std::set<std::string> Set(const TStrings& list) {
  std::set<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.insert(list[i]);
  return out;
}

// A tree with hidden folders and files, non-ASCII names, a link back to the root (a loop),
// a link to a file and an empty folder.
class DiversenTree : public testing::Test {
 protected:
  void SetUp() override {
    root = TempPath("Foto's");
    for (const char* dir : {"2023/zomer/strand", "2023/winter", ".verborgen/binnen", "Ærø", "leeg"})
      std::filesystem::create_directories(root + "/" + dir);
    WriteFile(root + "/a.jpg", "a");
    WriteFile(root + "/.hidden.jpg", "hh");
    WriteFile(root + "/2023/zomer/strand/één.jpg", "123");
    WriteFile(root + "/2023/winter/sneeuw.JPG", "4567");
    WriteFile(root + "/.verborgen/binnen/x.shw", "x");
    WriteFile(root + "/Ærø/kust.jpg", "kust");
    std::filesystem::create_directory_symlink("../..", root + "/2023/zomer/terug");
    std::filesystem::create_symlink("../a.jpg", root + "/Ærø/link.jpg");
  }
  std::string root;
};

TEST_F(DiversenTree, FolderTreeMatchesFindAndIsPreOrder) {
  KIVO2_REQUIRE_TOOL("find");
  TStringList list;
  list.Add("already there");
  ListFolderTree(root, list);
  ASSERT_GT(list.Count(), 1);
  EXPECT_EQ(list[0], "already there") << "the list is appended to";
  EXPECT_EQ(list[1], root);
  list.Delete(0);
  // find does not follow links either: the loop back to the root is not entered.
  EXPECT_EQ(Set(list), Find({root, "-type", "d"}));
  EXPECT_EQ(list.Count(), int(Set(list).size())) << "no folder twice";
  // Depth first, pre-order: every folder comes right after its parent's earlier siblings' subtrees.
  for (int i = 1; i < list.Count(); ++i) {
    std::string parent = std::filesystem::path(list[i]).parent_path().string();
    int at = list.IndexOf(parent);
    ASSERT_GE(at, 0);
    EXPECT_LT(at, i);
    for (int j = at + 1; j < i; ++j) EXPECT_EQ(list[j].rfind(parent + "/", 0), 0u) << list[j] << " inside " << parent;
  }

  TStringList subs;
  ListSubFoldersRecursive(root, subs);
  EXPECT_EQ(subs.Count(), list.Count() - 1);
  TStringList none;
  ListFolderTree(TempPath("missing"), none);
  ListAllFilesInTree(TempPath("missing"), none);
  EXPECT_EQ(none.Count(), 0);
}

TEST_F(DiversenTree, FilesOfTreeAndFolderMatchFind) {
  KIVO2_REQUIRE_TOOL("find");
  TStringList all;
  ListAllFilesInTree(root, all);
  // Everything that is neither a folder nor a link to one.
  EXPECT_EQ(Set(all), Find({root, "!", "-xtype", "d"}));

  TStringList top;
  ListFilesInFolder(root + "/", top);
  EXPECT_EQ(Set(top), (std::set<std::string>{root + "/a.jpg", root + "/.hidden.jpg"}));
  EXPECT_EQ(CountFilesInFolder(root), 2);
  EXPECT_EQ(CountFilesInFolder(root + "/Ærø"), 2);
  EXPECT_EQ(CountFilesInFolder(root + "/2023/zomer"), 0) << "a link to a folder is no file";
  EXPECT_EQ(CountFilesInFolder(TempPath("missing")), 0);
}

TEST_F(DiversenTree, EmptyFolders) {
  EXPECT_TRUE(IsFolderEmpty(root + "/leeg/"));
  EXPECT_TRUE(IsFolderEmpty(root + "/leeg"));
  EXPECT_FALSE(IsFolderEmpty(root + "/2023/"));  // a sub folder is content
  EXPECT_FALSE(IsFolderEmpty(root + "/.verborgen/binnen/"));
  WriteFile(root + "/leeg/.only-hidden", "");
  EXPECT_FALSE(IsFolderEmpty(root + "/leeg/"));
}

TEST(DiversenSizes, LargeSparseFileAndFolderTotals) {
  KIVO2_REQUIRE_TOOL("truncate");
  KIVO2_REQUIRE_TOOL("stat");
  std::string dir = TempPath("groot");
  std::filesystem::create_directories(dir + "/sub");
  std::string big = dir + "/film.mts";
  ASSERT_EQ(testsupport::Run({"truncate", "-s", "3G", big}).exitCode, 0);
  WriteFile(dir + "/klein.jpg", std::string(1500, 'k'));
  WriteFile(dir + "/.verborgen.jpg", std::string(999, 'h'));
  WriteFile(dir + "/sub/diep.jpg", std::string(777, 'd'));

  auto statSize = [](const std::string& f) {
    return std::stoll(testsupport::Run({"stat", "-c", "%s", f}).out);
  };
  EXPECT_EQ(GetFileSizeByName(big), statSize(big));
  EXPECT_EQ(GetFileSizeByName(big), 3LL << 30);
  // Plain files directly in the folder: no hidden file, nothing from below.
  EXPECT_EQ(FolderFilesSize(dir), statSize(big) + statSize(dir + "/klein.jpg"));
  EXPECT_EQ(FolderFilesSize(dir + "/"), FolderFilesSize(dir));
  EXPECT_EQ(FolderFilesSize(TempPath("missing")), 0);

  EXPECT_EQ(FileSizeText(big), "3145728 Kbytes");
  EXPECT_EQ(SizeWithUnitText(GetFileSizeByName(big)), "3.00 GB");
  EXPECT_EQ(FileSizeWithUnitText(big), "3.00 GB");
  EXPECT_EQ(GetFileSizeByName(dir), 0) << "a folder has no size of its own";
  EXPECT_EQ(GetFileSizeByName(TempPath("missing")), 0);
}

TEST(DiversenShows, ShowFilesSortedWithoutCase) {
  std::string dir = TempPath("Shows");
  std::filesystem::create_directories(dir + "/sub.shw.d");
  for (const char* name : {"zomer.shw", "Bergen.SHW", "appel.shw", "notes.txt", "shw"}) WriteFile(dir + "/" + name, "");
  TStringList list;
  list.Add("Middel.shw");
  ListShowFiles(dir, list);
  EXPECT_EQ(list.ToVector(), (std::vector<std::string>{"appel.shw", "Bergen.SHW", "Middel.shw", "zomer.shw"}));
  TStringList none;
  ListShowFiles(TempPath("missing"), none);
  EXPECT_EQ(none.Count(), 0);
}

}  // namespace
