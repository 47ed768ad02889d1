// The main window's folder tree: opening a path selects its node and reports it once, a
// path the tree cannot reach changes nothing, a node lists the real sub folders of its
// folder (as find lists them; links to folders are left out), and the computer node
// stands for "Drives".
#include <algorithm>
#include <filesystem>
#include <map>

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

// The real program under a window manager, with two sibling folders that differ only in
// letter case: a click, arrow keys, type-ahead, a click on a row's indentation and a
// folder dragged with the mouse. After each step the window's title, the picture the list
// opened (each folder's picture has a colour of its own) and the files on disk agree with
// the highlighted folder.
TEST(FolderTreeRealWindow, TheHighlightedFolderIsTheOneShownAndActedOn) {
  KIVO2_REQUIRE_REAL_WINDOW();
  KIVO2_REQUIRE_TOOL("convert");
  // In the home folder, a drive of the tree: its rows stay few and in place.
  const std::string root = GetEnvironmentVariable("HOME") + "/walk", shot = testsupport::TempPath("shot.png");
  const std::map<std::string, std::string> colours = {
      {"album", "yellow"}, {"case", "red"}, {"Case", "blue"}, {"zeta", "lime"}};
  for (const auto& [folder, colour] : colours) {
    fs::create_directories(root + "/" + folder);
    ASSERT_EQ(testsupport::Run({"convert", "-size", "320x240", "xc:" + colour, root + "/" + folder + "/" + colour + ".jpg"})
                  .exitCode,
              0);
  }
  const std::string lime = testsupport::TempPath("lime.jpg");
  fs::copy_file(root + "/zeta/lime.jpg", lime);
  testsupport::RealWindow x;
  // A tree tall enough to show every row without scrolling.
  ASSERT_TRUE(x.Start({.registryValues = {"\"LastPath\"=\"" + root + "/case/\"", "\"NavigatorHeight\"=dword:00000258"}}))
      << x.Error();
  const unsigned long main = x.MainWindow();
  const testsupport::XRect w = x.Geometry(main);
  // The window's title names the folder, and the list opened its picture (the middle of
  // the picture area has the folder's colour).
  auto shows = [&](const std::string& folder) {
    SCOPED_TRACE(folder);
    auto rgb = [](const std::string& text) {
      int r = -1, g = -1, b = -1;
      sscanf(text.c_str(), "srgb(%d,%d,%d", &r, &g, &b);
      return std::vector<int>{r / 32, g / 32, b / 32};
    };
    const auto wanted = rgb(testsupport::Run({"convert", "xc:" + colours.at(folder), "-format", "%[pixel:p{0,0}]", "info:"}).out);
    std::string seen;
    EXPECT_TRUE(testsupport::RealWindow::WaitUntil([&] {
      x.Screenshot(shot);
      seen = testsupport::Run({"convert", shot, "-crop", "40x40+" + std::to_string(w.x + (w.width + 180) / 2 - 20) + "+" +
                                   std::to_string(w.y + w.height / 2 - 20),
                               "-resize", "1x1!", "-format", "%[pixel:p{0,0}]", "info:"}).out;
      const std::string title = x.Title(main);
      return (title.find("- " + folder + " ") != std::string::npos || title.find("/" + folder + "/ ") != std::string::npos) &&
             rgb(seen) == wanted;
    }, 15000)) << x.Title(main) << " " << seen;
  };
  // The screen rows that the tree's highlight (its selection colour) fills, read until two
  // screenshots agree.
  int top = 0, height = 0;
  auto row = [&] {
    std::vector<int> rows, before;
    do {
      before = rows;
      x.Screenshot(shot);
      const auto r = testsupport::Run({"convert", shot, "-crop", "140x700+" + std::to_string(w.x + 2) + "+" + std::to_string(w.y),
                                       "+repage", "-fuzz", "6%", "-fill", "black", "+opaque", "srgb(48,140,198)", "-fill",
                                       "white", "-opaque", "srgb(48,140,198)", "-scale", "1x700!", "-depth", "8", "txt:-"});
      rows.clear();
      for (const std::string& line : testsupport::Lines(r.out)) {
        int col = 0, y = 0, grey = 0;
        if (sscanf(line.c_str(), "%d,%d: (%d", &col, &y, &grey) == 3 && grey > 127) rows.push_back(w.y + y);
      }
    } while (rows != before);
    top = rows.empty() ? 0 : rows.front();
    height = rows.empty() ? 0 : rows.back() - rows.front() + 1;
    return top + height / 2;  // the middle of the highlighted row
  };
  // Where the highlighted row's label begins: after its folder icon, the first pixels of
  // the row that are not the highlight's colour.
  auto labelOf = [&](int y) {
    x.Screenshot(shot);
    const auto r = testsupport::Run({"convert", shot, "-crop", "300x1+" + std::to_string(w.x) + "+" + std::to_string(y), "-depth", "8", "txt:-"});
    for (const std::string& line : testsupport::Lines(r.out)) {
      int px = 0, py = 0, red = 0, green = 0, blue = 0;
      if (sscanf(line.c_str(), "%d,%d: (%d,%d,%d", &px, &py, &red, &green, &blue) == 5 && px > 4 &&
          std::abs(red - 48) + std::abs(green - 140) + std::abs(blue - 198) > 90)
        return w.x + px + 24;
    }
    return w.x + 60;
  };
  shows("case");
  const int caseRow = row();
  ASSERT_GT(height, 10) << "no highlighted row";
  x.Key("Down");
  shows("Case");
  const int pitch = row() - caseRow;  // the rows album, case, Case and zeta follow each other
  ASSERT_GE(pitch, height);
  const int label = labelOf(caseRow + pitch);
  auto highlighted = [&](int n) {  // the highlight rests on the n-th row
    EXPECT_TRUE(testsupport::RealWindow::WaitUntil([&] { return row() == caseRow + (n - 1) * pitch; }, 5000)) << n;
  };
  x.Click(label, caseRow - pitch);  // a click on "album"
  shows("album");
  highlighted(0);
  x.Key("Down");
  shows("case");
  highlighted(1);
  x.Type("z");  // type-ahead
  shows("zeta");
  highlighted(3);
  x.Click(w.x + 5, caseRow + pitch);  // on the indentation of "Case"
  shows("Case");
  highlighted(2);
  // "zeta" dragged with Shift (the main window drags folders only so) onto "case": moved.
  x.MoveMouse(label, caseRow + 2 * pitch);
  x.Tool({"xdotool", "keydown", "shift"});
  x.Tool({"xdotool", "mousedown", "1"});
  x.MoveMouse(label, caseRow + pitch);
  x.MoveMouse(label + 2, caseRow);
  x.Tool({"xdotool", "keyup", "shift"});
  x.Tool({"xdotool", "mouseup", "1"});
  shows("case");
  std::vector<std::string> files = testsupport::Lines(testsupport::Run({"find", root, "-type", "f", "-printf", "%P\\n"}).out);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"Case/blue.jpg", "album/yellow.jpg", "case/red.jpg", "case/zeta/lime.jpg"}));
  EXPECT_EQ(testsupport::Run({"cmp", lime, root + "/case/zeta/lime.jpg"}).exitCode, 0);
  // The window shows the program's own icon.
  EXPECT_NE(x.Property(main, "_NET_WM_ICON").find("Icon (64 x 64)"), std::string::npos);
  EXPECT_EQ(x.Close(), 0) << x.Log();
}
