// The main window's folder tree: opening a path selects its node and reports it once, a
// path the tree cannot reach changes nothing, a node lists the real sub folders of its
// folder (as find lists them; links to folders are left out), and the computer node
// stands for "Drives".
#include <algorithm>
#include <filesystem>

#include "MainWindowFixture.h"
#include "RealWindow.h"
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
  std::vector<std::string> expected = testsupport::Lines(found.out), listed = ChildTexts(node), sorted = listed;
  std::sort(expected.begin(), expected.end());
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

// The real program under a window manager, with two sibling folders that differ only in
// letter case: arrow keys, a click, type-ahead, a click on a row's indentation and a folder
// dragged with the mouse. After each step the title, the picture the list opened (each
// folder's own colour), the highlighted row and the files on disk agree.
TEST(FolderTreeRealWindow, TheHighlightedFolderIsTheOneShownAndActedOn) {
  KIVO2_REQUIRE_REAL_WINDOW();
  KIVO2_REQUIRE_TOOL("convert");
  // In the home folder, a drive of the tree: few rows, which stay in place.
  const std::string root = GetEnvironmentVariable("HOME") + "/walk", shot = testsupport::TempPath("shot.png");
  // Each folder's picture colour, and that colour in eighths of its channels.
  const std::map<std::string, std::pair<std::string, std::string>> colours = {
      {"album", {"yellow", "770"}}, {"case", {"red", "700"}}, {"Case", {"blue", "007"}}, {"zeta", {"lime", "070"}}};
  for (const auto& [folder, colour] : colours) {
    fs::create_directories(root + "/" + folder);
    testsupport::Run({"convert", "-size", "320x240", "xc:" + colour.first, root + "/" + folder + "/" + colour.first + ".jpg"});
  }
  const std::string lime = testsupport::TempPath("lime.jpg");
  fs::copy_file(root + "/zeta/lime.jpg", lime);
  testsupport::RealWindow x;
  ASSERT_TRUE(x.Start({.registryValues = {"\"LastPath\"=\"" + root + "/case/\"", "\"NavigatorHeight\"=dword:00000258"}}))
      << x.Error();
  const unsigned long main = x.MainWindow();
  const testsupport::XRect w = x.Geometry(main);
  // The pixels of a box of the screen, as ImageMagick's text image ("x,y: (r,g,b ...").
  auto pixels = [&](int left, int top, int width, int height) {
    x.Screenshot(shot);
    const std::string box = std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(left) + "+" +
                            std::to_string(top);
    return testsupport::Lines(testsupport::Run({"convert", shot, "-crop", box, "-depth", "8", "txt:-"}).out);
  };
  auto shows = [&](const std::string& folder) {  // the title, and the middle of the picture area
    EXPECT_TRUE(testsupport::RealWindow::WaitUntil([&] {
      const std::string title = x.Title(main), middle = pixels(w.x + (w.width + 180) / 2, w.y + w.height / 2, 1, 1).back();
      int px = 0, py = 0, r = 0, g = 0, b = 0;
      sscanf(middle.c_str(), "%d,%d: (%d,%d,%d", &px, &py, &r, &g, &b);
      return (title.find("- " + folder + " ") != std::string::npos || title.find("/" + folder + "/ ") != std::string::npos) &&
             std::to_string(r / 32) + std::to_string(g / 32) + std::to_string(b / 32) == colours.at(folder).second;
    }, 15000)) << folder << ": " << x.Title(main);
  };
  // The tree's rows in its selection colour (read until two screenshots agree): top and
  // height; and, in a row, where the label starts after the folder icon.
  auto selected = [](const std::string& line, int& px, int& py) {
    int r = 0, g = 0, b = 0;
    return sscanf(line.c_str(), "%d,%d: (%d,%d,%d", &px, &py, &r, &g, &b) == 5 &&
           std::abs(r - 48) + std::abs(g - 140) + std::abs(b - 198) < 30;
  };
  int top = 0, height = 0;
  auto row = [&] {
    std::vector<int> rows, before{-1};
    while (rows != before) {
      before = rows;
      rows.clear();
      int px = 0, py = 0;
      for (const std::string& line : pixels(w.x + 4, w.y, 1, 700))
        if (selected(line, px, py)) rows.push_back(w.y + py);
    }
    top = rows.empty() ? 0 : rows.front();
    height = int(rows.size());
    return top + height / 2;
  };
  shows("case");
  const int caseRow = row();
  ASSERT_GT(height, 10) << "no highlighted row";
  x.Key("Down");
  shows("Case");
  const int pitch = row() - caseRow;  // rows: album, case, Case, zeta
  int label = 0, px = 0, py = 0;
  for (const std::string& line : pixels(w.x, caseRow + pitch, 300, 1))
    if (!label && !selected(line, px, py) && px > 4) label = w.x + px + 24;
  auto step = [&](const std::function<void()>& act, const std::string& folder, int n) {
    act();
    shows(folder);
    EXPECT_TRUE(testsupport::RealWindow::WaitUntil([&] { return row() == caseRow + (n - 1) * pitch; }, 5000)) << folder;
  };
  step([&] { x.Click(label, caseRow - pitch); }, "album", 0);
  step([&] { x.Key("Down"); }, "case", 1);
  step([&] { x.Type("z"); }, "zeta", 3);                        // type-ahead
  step([&] { x.Click(w.x + 5, caseRow + pitch); }, "Case", 2);  // on the indentation of "Case"
  step([&] {  // "zeta" dragged onto "case" with Shift (the main window drags folders so): moved
    x.MoveMouse(label, caseRow + 2 * pitch);
    x.Tool({"xdotool", "keydown", "shift"});
    x.Tool({"xdotool", "mousedown", "1"});
    x.MoveMouse(label, caseRow + pitch);
    x.MoveMouse(label + 2, caseRow);
    x.Tool({"xdotool", "keyup", "shift"});
    x.Tool({"xdotool", "mouseup", "1"});
  }, "case", 1);
  std::vector<std::string> files =
      testsupport::Lines(testsupport::Run({"find", root, "-type", "f", "-printf", "%P\\n"}).out);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"Case/blue.jpg", "album/yellow.jpg", "case/red.jpg", "case/zeta/lime.jpg"}));
  EXPECT_EQ(testsupport::Run({"cmp", lime, root + "/case/zeta/lime.jpg"}).exitCode, 0);
  EXPECT_NE(x.Property(main, "_NET_WM_ICON").find("Icon (64 x 64)"), std::string::npos) << "the program's own icon";
  EXPECT_EQ(x.Close(), 0) << x.Log();
}
