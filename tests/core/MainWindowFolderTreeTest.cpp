// The main window's folder tree: opening a path selects its node and reports it once, a
// path the tree cannot reach changes nothing, a node lists the real sub folders of its
// folder (as find lists them; links to folders are left out), and the computer node
// stands for "Drives".
#include <algorithm>
#include <filesystem>

#include "MainWindowFixture.h"
#include "controls/QzFileExplorer28.h"
#include "core/Unit1.h"
#include "platform/gui/GuiTesting.h"

namespace fs = std::filesystem;

namespace {

class FolderTreeTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    CreateWindows();
    tree_ = Form1->QzDirTree211;
    tree_->OnDirChange = [this](TObject*, const std::string& path) { reported_.push_back(path); };
  }
  TQzDirTree21* tree_ = nullptr;
  std::vector<std::string> reported_;
};

std::vector<std::string> ChildTexts(const TTreeNode* node) {
  std::vector<std::string> texts;
  for (int i = 0; i < node->Count(); ++i) texts.push_back(node->Item(i)->Text());
  return texts;
}

}  // namespace

TEST_F(FolderTreeTest, OpenPathSelectsTheFolderAndReportsItOnce) {
  const std::string root = testsupport::TempPath("Photo Archive");
  fs::create_directories(root + "/2004/Summer trip");
  tree_->OpenPath(root + "/2004/Summer trip");
  ASSERT_EQ(reported_.size(), 1u);
  EXPECT_EQ(reported_[0], root + "/2004/Summer trip/");
  EXPECT_EQ(tree_->SelectedPath(), root + "/2004/Summer trip/");
  ASSERT_NE(tree_->Selected(), nullptr);
  EXPECT_EQ(tree_->Selected()->Text(), "Summer trip");
  EXPECT_EQ(tree_->Selected()->Parent()->Text(), "2004");
  EXPECT_EQ(tree_->GetNodePath(tree_->Selected()), root + "/2004/Summer trip/");

  // The same folder again through ChangePath: once, then ignored.
  reported_.clear();
  tree_->ChangePath(root + "/2004");
  tree_->ChangePath(root + "/2004/");
  EXPECT_EQ(reported_.size(), 1u);
  EXPECT_EQ(tree_->SelectedPath(), root + "/2004/");
}

TEST_F(FolderTreeTest, UnreachablePathsChangeNothing) {
  const std::string root = testsupport::TempPath("base");
  fs::create_directories(root + "/a");
  tree_->OpenPath(root + "/a");
  reported_.clear();
  tree_->OpenPath("");
  tree_->OpenPath(root + "/missing");
  tree_->ChangePath(root + "/missing");
  EXPECT_TRUE(reported_.empty());
  EXPECT_EQ(tree_->SelectedPath(), root + "/a/");
  // A folder reached through a link is not walked into.
  fs::create_directories(root + "/real/inner");
  fs::create_directory_symlink(root + "/real", root + "/link");
  tree_->OpenPath(root + "/link/inner");
  EXPECT_TRUE(reported_.empty());
  EXPECT_EQ(tree_->SelectedPath(), root + "/a/");
}

TEST_F(FolderTreeTest, ANodeListsTheRealSubFoldersOfItsFolder) {
  KIVO2_REQUIRE_TOOL("find");
  const std::string root = testsupport::TempPath("listing");
  for (const char* sub : {"beta", "Alpha", ".hidden", "gamma/deeper", "with blank"}) fs::create_directories(root + "/" + sub);
  testsupport::WriteFile(root + "/file.jpg", "x");
  fs::create_directory_symlink(root + "/beta", root + "/link to beta");
  tree_->OpenPath(root);
  TTreeNode* node = tree_->Selected();
  ASSERT_NE(node, nullptr);
  node->Expand(false);

  auto found = testsupport::Run({"find", root, "-mindepth", "1", "-maxdepth", "1", "-type", "d", "-printf", "%f\\n"});
  ASSERT_EQ(found.exitCode, 0) << found.err;
  std::vector<std::string> expected;
  size_t start = 0;
  while (start < found.out.size()) {
    size_t end = found.out.find('\n', start);
    expected.push_back(found.out.substr(start, end - start));
    start = end + 1;
  }
  std::vector<std::string> listed = ChildTexts(node);
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> sorted = listed;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, expected);
  // Sorted by name without case; a folder with sub folders offers to expand.
  EXPECT_EQ(listed, (std::vector<std::string>{".hidden", "Alpha", "beta", "gamma", "with blank"}));
  for (int i = 0; i < node->Count(); ++i)
    EXPECT_EQ(node->Item(i)->HasChildren(), node->Item(i)->Text() == "gamma") << node->Item(i)->Text();
}

TEST_F(FolderTreeTest, ComputerNodeStandsForTheDrives) {
  TTreeNode* computer = tree_->Items()->GetFirstNode();
  ASSERT_NE(computer, nullptr);
  EXPECT_EQ(computer->Text(), "Computer");
  EXPECT_GE(computer->Count(), 1);
  // Every drive node is a mounted folder, and "/" is one of them.
  bool root = false;
  for (int i = 0; i < computer->Count(); ++i) {
    EXPECT_TRUE(fs::is_directory(computer->Item(i)->Text())) << computer->Item(i)->Text();
    root = root || computer->Item(i)->Text() == "/";
  }
  EXPECT_TRUE(root);
  WriteRegistry({"\"Version\"=" + Dword(ThisBuild())});
  ShowMainWindow();
  tree_->OnDirChange = [this](TObject*, const std::string& path) { reported_.push_back(path); };
  reported_.clear();
  computer = tree_->Items()->GetFirstNode();
  tree_->SetSelected(computer);
  TRect r = computer->DisplayRect(true);
  GuiTesting::MouseDown(tree_, mbLeft, r.Left + 2, r.Top + r.Height() / 2);
  GuiTesting::MouseUp(tree_, mbLeft, r.Left + 2, r.Top + r.Height() / 2);
  ASSERT_FALSE(reported_.empty());
  EXPECT_EQ(reported_.back(), "Drives");
  EXPECT_EQ(tree_->SelectedPath(), "Drives");
}
