// The file search against find(1) with the same criteria: names holding a text or any of
// several words, with or without sub folders, viewable pictures only or every file,
// several roots, locked folders; it never follows a link round in a circle, and Abort,
// closing the window or the program end it.
#include <algorithm>
#include <filesystem>

#include "FileToolsFixture.h"
#include "controls/ZqButton.h"
#include "core/Unit1.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Classes.h"
#include "tools/UnitSearch.h"

namespace fs = std::filesystem;

namespace {

void Touch(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  testsupport::WriteFile(path, "x");
}

class SearchTest : public FileToolsTest {
 protected:
  TSearchForm* w = nullptr;
  std::string root;
  void SetUp() override {
    FileToolsTest::SetUp();
    w = SearchForm;
    root = Folder("tree");
    for (const char* f : {"Holiday.JPG", "holiday2.png", "notes holiday.txt", ".hidden_holiday.jpg",
                          "beach photo.jpg", "x.jpeg", "sea.JPEG", "a/HOLIDAY_a.jpg", "a/sea.jpg", "a/b/holiday_b.png",
                          "a/b/c/holiday_c.jpg", "a/b/c/d/deep holiday.jpg", "locked/holiday_locked.jpg",
                          "photos2024/beach.png"})
      Touch(root + f);
    // A link back up the tree: following it would never end.
    fs::create_directory_symlink(root, root + "a/loop");
  }
  // The search as the user runs it.
  std::set<std::string> Search(const std::string& text, const std::string& path, bool subFolders = true,
                               bool viewable = true, int type = 0) {
    w->EditSearch->SetText(text);
    w->EditPath->SetText(path);
    w->ChBox_SubSearch->SetChecked(subFolders);
    w->Ch_K2viewable->SetChecked(viewable);
    w->SearchType->SetItemIndex(type);
    w->ZqButton1->Click();
    return Listed();
  }
  static std::set<std::string> Listed() {
    const std::vector<std::string> paths = Form1->ListBox1->Items()->ToVector();
    return std::set<std::string>(paths.begin(), paths.end());
  }
  // find(1) from start with these tests; only regular files, links not followed.
  static std::set<std::string> Find(const std::string& start, std::vector<std::string> tests) {
    std::vector<std::string> argv = {"find", start};
    argv.insert(argv.end(), tests.begin(), tests.end());
    argv.insert(argv.end(), {"-type", "f", "-print"});
    auto result = testsupport::Run(argv);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const auto lines = testsupport::Lines(result.out);
    return std::set<std::string>(lines.begin(), lines.end());
  }
  // The picture types of the tree that the viewer shows, as find tests.
  static std::vector<std::string> Viewable() { return {"(", "-iname", "*.jpg", "-o", "-iname", "*.jpeg", "-o", "-iname", "*.png", ")"}; }
};

// Enough folders that a search of them lasts well beyond the first milliseconds.
constexpr int kBigTree = 5000;

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

TEST_F(SearchTest, ResultsAreThoseOfFindWithTheSameCriteria) {
  // The tree's text file is no picture of the viewer; every other type is.
  ASSERT_TRUE(Form1->IsImageFile("a.JPG") && Form1->IsImageFile("a.jpeg") && Form1->IsImageFile("a.png"));
  ASSERT_FALSE(Form1->IsImageFile("a.txt"));

  auto found = Search("holi", root);
  EXPECT_EQ(found, Find(root, Join({"-iname", "*holi*"}, Viewable())));
  EXPECT_EQ(found.size(), 8u);
  EXPECT_EQ(w->Actionlabel->Caption(), "8 files found");
  EXPECT_EQ(Form1->Caption(), "8 files found");
  EXPECT_TRUE(Form1->PanelCustomLists->Visible());
  EXPECT_EQ(Form1->PanelListCaption->Caption(), "Search result");
  EXPECT_FALSE(Form1->PanelTrees->Visible());
  // The first result is shown.
  EXPECT_EQ(Form1->ListBox1->ItemIndex(), 0);
  EXPECT_EQ(Form1->FCurrentFile, Form1->ListBox1->Items()->Strings(0));

  // Without sub folders the root's own folders are still searched, nothing deeper.
  EXPECT_EQ(Search("holi", root, false), Find(root, Join({"-maxdepth", "2", "-iname", "*holi*"}, Viewable())));
  // Every file, not only pictures.
  EXPECT_EQ(Search("HOLI", root, true, false), Find(root, {"-iname", "*holi*"}));
  // "*.jpeg" looks for ".JPEG" in the names.
  EXPECT_EQ(Search("*.jpeg", root), Find(root, {"-iname", "*.jpeg*"}));
  // Find words: either word; find string: both, blank between.
  EXPECT_EQ(Search("beach sea", root, true, true, 1),
            Find(root, Join({"(", "-iname", "*beach*", "-o", "-iname", "*sea*", ")"}, Viewable())));
  EXPECT_EQ(Search("beach photo", root, true, true, 0), Find(root, {"-iname", "*beach photo*"}));
  // Two blanks make no empty word that every name would hold.
  EXPECT_EQ(Search("beach  sea", root, true, true, 1), Search("beach sea", root, true, true, 1));
  // An empty search finds nothing (not every file).
  EXPECT_TRUE(Search("", root).empty());
}

TEST_F(SearchTest, SeveralRootsAreSearchedOneAfterTheOther) {
  ExpectMessage("/no/such/folder/ not found!");
  auto found = Search("holi", root + "a/b+/no/such/folder+" + root + "locked");
  auto expected = Find(root + "a/b/", Join({"-iname", "*holi*"}, Viewable()));
  auto locked = Find(root + "locked/", Join({"-iname", "*holi*"}, Viewable()));
  expected.insert(locked.begin(), locked.end());
  EXPECT_EQ(found, expected);
  EXPECT_EQ(found.size(), 4u);

  // "Don't clear the list": a second search adds, never twice the same path.
  w->ChB_DontClear->SetChecked(true);
  found = Search("sea", root);
  w->ChB_DontClear->SetChecked(false);
  auto sea = Find(root, Join({"-iname", "*sea*"}, Viewable()));
  expected.insert(sea.begin(), sea.end());
  EXPECT_EQ(found, expected);
  EXPECT_EQ(size_t(Form1->ListBox1->Count()), expected.size());
  w->ChB_DontClear->SetChecked(true);
  Search("sea", root);
  w->ChB_DontClear->SetChecked(false);
  EXPECT_EQ(size_t(Form1->ListBox1->Count()), expected.size());
}

TEST_F(SearchTest, LockedFoldersAreLeftOutAndTheirListIsEdited) {
  // The editor opens for the magic word, shows the list, adds the path and saves.
  testsupport::WriteFile(ProgramFolder() + "skipsearch.ini", "/nowhere/\r\n");
  w->EditSearch->SetText("lockedfolders");
  w->ZqButton1->Click();
  EXPECT_TRUE(w->PanelEditLocked->Visible());
  EXPECT_EQ(w->Memo1->Lines()->Count(), 1);
  w->EditPath->SetText(root + "locked/");
  w->Button3->Click();
  w->Memo1->Lines()->Add("");  // an empty line must not lock every folder
  w->Button1->Click();
  EXPECT_TRUE(Form1->FSkipLockedFolders);
  EXPECT_EQ(Form1->FLockedFolders->Count(), 3);
  EXPECT_EQ(testsupport::ReadFile(ProgramFolder() + "skipsearch.ini"),
            "/nowhere/\r\n" + root + "locked/\r\n\r\n");
  w->Button2->Click();
  EXPECT_FALSE(w->PanelEditLocked->Visible());

  EXPECT_EQ(Search("holi", root), Find(root, Join({"-path", root + "locked", "-prune", "-o", "-iname", "*holi*"}, Viewable())));
  EXPECT_FALSE(Listed().count(root + "locked/holiday_locked.jpg"));
}

TEST_F(SearchTest, AbortEndsTheRootBeingSearchedAndTheNextRootStillRunsClosingEndsIt) {
  const std::string big = Folder("big");
  for (int i = 0; i < kBigTree; ++i) Touch(big + "f" + std::to_string(i) + "/holi" + std::to_string(i) + ".jpg");
  // Once the search is well into the first root.
  WhenReady([] { return Form1->ListBox1->Count() > 10; }, [this] {
    EXPECT_TRUE(w->ZqButton3->Enabled());
    EXPECT_TRUE(w->Searching());
    // A second start meanwhile is not taken.
    w->ZqButton1->Click();
    w->ZqButton3->Click();
  });
  auto found = Search("holi", big + "+" + root + "a/b/c");
  EXPECT_LT(found.size(), size_t(kBigTree));
  EXPECT_TRUE(found.count(root + "a/b/c/holiday_c.jpg"));
  EXPECT_TRUE(found.count(root + "a/b/c/d/deep holiday.jpg"));
  EXPECT_FALSE(w->ZqButton3->Enabled());
  EXPECT_FALSE(w->Searching());

  // Closing the window ends the search too, and so does the program closing.
  WhenReady([] { return Form1->ListBox1->Count() > 10; }, [this] { w->Close(); });
  w->Show();
  EXPECT_LT(Search("holi", big).size(), size_t(kBigTree));
  EXPECT_FALSE(w->Visible());
  WhenReady([] { return Form1->ListBox1->Count() > 10; }, [] { Application->Terminate(); });
  EXPECT_LT(Search("holi", big).size(), size_t(kBigTree));
  EXPECT_TRUE(Application->Terminated());
}
