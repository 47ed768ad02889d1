// The folder tree against the file system as find and stat see it: its nodes, live
// updates when another process makes, renames and removes folders, its folder commands
// (new, rename, delete to the Trash, cut, copy, paste, drop) with nothing ever lost, and
// its menu's enabled states.
#include <sys/stat.h>

#include "ControlsTestSupport.h"
#include "QzExplorerFixture.h"
#include "controls/QzFileExplorer28.h"
#include "platform/gui/GuiTesting.h"

using namespace explorertest;
using testsupport::ReadFile;


namespace {

class QzDirTreeTest : public ExplorerTest {
 protected:
  void SetUp() override {
    ExplorerTest::SetUp();
    tree_ = new TQzDirTree21(form_);
    tree_->SetParent(form_);
    tree_->SetBounds(0, 0, 300, 460);
    tree_->OnDirChange = [this](TObject*, const std::string& p) { changes_.push_back(p); };
    form_->Show();
  }
  std::vector<std::string> Children(const TTreeNode* node) {
    std::vector<std::string> names;
    for (int i = 0; i < node->Count(); ++i) names.push_back(node->Item(i)->Text());
    return names;
  }
  std::vector<std::string> SortedChildren(TTreeNode* node) {
    node->Expand(false);
    std::vector<std::string> names = Children(node);
    std::sort(names.begin(), names.end());
    return names;
  }
  TTreeNode* Child(TTreeNode* node, const std::string& name) {
    for (int i = 0; node && i < node->Count(); ++i)
      if (node->Item(i)->Text() == name) return node->Item(i);
    return nullptr;
  }
  // A left press on the label of a folder's node, as the user clicks it. The node is
  // looked up after the events ran (a change elsewhere on disk may rebuild the tree).
  TTreeNode* FindNode(const std::string& folder) {
    for (TTreeNode* n = tree_->Items()->GetFirstNode(); n; n = n->GetNext())
      if (n->Level() >= 1 && tree_->GetNodePath(n) == folder + "/") return n;
    // Not filled yet (the tree may have been rebuilt): open the way down to it.
    if (folder.size() <= root_.size()) return nullptr;
    TTreeNode* parent = FindNode(fs::path(folder).parent_path().string());
    if (!parent) return nullptr;
    parent->Expand(false);
    return Child(parent, fs::path(folder).filename().string());
  }
  void ClickNode(const std::string& folder) {
    Application->ProcessMessages();
    TTreeNode* node = FindNode(folder);
    ASSERT_NE(node, nullptr) << folder;
    node->MakeVisible();
    TRect r = node->DisplayRect(true);
    ASSERT_GT(r.Bottom, r.Top) << node->Text();
    tree_->MouseDown(mbLeft, {}, r.Left + 2, (r.Top + r.Bottom) / 2);
  }
  TMenuItem* MenuItem(const char* name) { return tree_->BuiltInMenu()->ItemNamed(name); }

  TQzDirTree21* tree_ = nullptr;
  std::vector<std::string> changes_;
};

TEST_F(QzDirTreeTest, NodesAreTheFoldersFindListsWithAnyName) {
  for (const char* sub : {"with blank", "Zürich éé", ".hidden", "plain/deeper", "Ünïcode ✓", "empty"})
    fs::create_directories(root_ + "/" + sub);
  MakeFile(root_ + "/file.jpg", 10);
  fs::create_directory_symlink(root_ + "/plain", root_ + "/link to plain");
  fs::create_directories(root_ + "/locked/inside");
  ::chmod((root_ + "/locked").c_str(), 0);

  tree_->OpenPath(root_);
  ASSERT_EQ(changes_, std::vector<std::string>{root_ + "/"});
  TTreeNode* node = tree_->Selected();
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(SortedChildren(node), FindNames(root_, "d"));
  // The expand button tells whether a folder holds folders, as find sees it.
  for (const std::string& name : Children(node)) {
    TTreeNode* child = Child(node, name);
    EXPECT_EQ(child->HasChildren(), !FindNames(root_ + "/" + name, "d").empty()) << name;
    EXPECT_GE(child->ImageIndex(), 0);
  }
  // An unreadable folder (when permissions apply) opens as find sees it: empty, no crash.
  TTreeNode* locked = Child(node, "locked");
  ASSERT_NE(locked, nullptr);
  EXPECT_EQ(SortedChildren(locked), FindNames(root_ + "/locked", "d"));
  ::chmod((root_ + "/locked").c_str(), 0755);

  // Non-ASCII names lead the way to deeper folders; names differing in case are two
  // folders (each opens, also after the other); a long name scrolls sideways.
  const std::string wide = root_ + "/Zürich éé/" + std::string(120, 'w');
  for (const std::string& f : {root_ + "/Zürich éé", root_ + "/zürich éé", wide, root_ + "/Zürich éé"}) {
    fs::create_directories(f);
    tree_->OpenPath(f);
    EXPECT_TRUE(tree_->SelectedPath() == f + "/" && changes_.back() == f + "/") << tree_->SelectedPath();
    EXPECT_EQ(tree_->GetNodePath(tree_->Selected()), f + "/");
  }
  tree_->OpenPath(wide);
  EXPECT_GT(tree_->Selected()->DisplayRect(true).Right, tree_->ClientWidth());
  // Right on it (it has no sub folders) leaves the view where it is.
  const TRect wideRect = tree_->Selected()->DisplayRect(true);
  for (int i = 0; i < 3; ++i) GuiTesting::PressKey(tree_, VK_RIGHT);
  EXPECT_EQ(tree_->Selected()->DisplayRect(true).Left, wideRect.Left);
  // The drives: the root and the home folder, each a folder of its own.
  TTreeNode* computer = tree_->Items()->GetFirstNode();
  EXPECT_NE(Child(computer, "/"), nullptr);
  EXPECT_NE(Child(computer, StripBackslash(GetEnvironmentVariable("HOME"))), nullptr);
  // The sandbox lies in the root drive's branch or the home drive's, never both.
  EXPECT_EQ(tree_->GetNodePath(tree_->Selected()), wide + "/");
  // First-level folders show folder icons, not their drive's.
  for (int i = 0; i < computer->Count(); ++i)
    for (int k = 0; computer->Item(i)->Expand(false), k < computer->Item(i)->Count(); ++k)
      EXPECT_EQ(computer->Item(i)->Item(k)->SelectedIndex(), tree_->Selected()->SelectedIndex());

  // In a tree 160 wide, a deep folder's name opened comes into view sideways, whole (a
  // name wider than the tree shows its start), and so does F2's editor. Then only the
  // user scrolls sideways: a folder made elsewhere, an expansion, a new height and,
  // after the user's own scroll, a folder made above the rows in view (which keep their
  // place) leave the names where they are.
  tree_->SetBounds(0, 0, 160, 300);
  const std::string deep = root_ + "/plain/deeper/2004 Italy/Rome/Day 3";
  fs::create_directories(deep);
  auto label = [&] { return tree_->Selected()->DisplayRect(true); };
  const int start = tree_->Indent() + 24;  // the expand button and the icon
  for (const std::string& f : {deep, wide}) {
    tree_->OpenPath(f);
    const TRect r = label();
    EXPECT_TRUE(r.Left >= 0 && (r.Right <= tree_->ClientWidth() || r.Left <= start))
        << f << ": " << r.Left << ".." << r.Right << " of " << tree_->ClientWidth();
  }
  tree_->OpenPath(deep);
  const int left = label().Left;
  GuiTesting::PressKey(tree_, VK_F2);
  ASSERT_TRUE(tree_->IsEditing());
  const TRect editor = GuiTesting::FocusedRect(tree_);
  EXPECT_TRUE(editor.Left >= 0 && editor.Right <= tree_->ClientWidth() && editor.Left < label().Right)
      << editor.Left << ".." << editor.Right << " of " << tree_->ClientWidth();
  GuiTesting::PressKey(tree_, VK_ESCAPE);
  EXPECT_EQ(label().Left, left);
  fs::create_directories(deep + "/made elsewhere");
  EXPECT_TRUE(WaitFor([&] { return tree_->Selected()->HasChildren(); }, 1000));
  tree_->Selected()->Expand(false);
  tree_->SetBounds(0, 0, 160, 120);
  Application->ProcessMessages();
  EXPECT_EQ(label().Left, left);
  tree_->SetTopItem(tree_->Selected());
  GuiTesting::ScrollStep(tree_, false, 2);
  const TRect users = label();
  EXPECT_LT(users.Left, left);
  fs::create_directories(root_ + "/0 made above");
  EXPECT_TRUE(WaitFor([&] { return FindNode(root_ + "/0 made above"); }, 1000));
  EXPECT_TRUE(label().Left == users.Left && label().Top == users.Top)
      << label().Left << "," << label().Top << " was " << users.Left << "," << users.Top;
}

TEST_F(QzDirTreeTest, AFolderOfTenThousandFilesListsOnlyItsFolders) {
  for (int i = 0; i < 10000; ++i) testsupport::WriteFile(root_ + "/f" + std::to_string(i) + ".jpg", "");
  for (int i = 0; i < 30; ++i) fs::create_directories(root_ + "/sub" + std::to_string(i));
  tree_->OpenPath(root_);
  ASSERT_NE(tree_->Selected(), nullptr);
  EXPECT_EQ(SortedChildren(tree_->Selected()), FindNames(root_, "d"));
}

TEST_F(QzDirTreeTest, FoldersMadeRenamedAndRemovedByAnotherProgramShowWithinASecond) {
  fs::create_directories(root_ + "/album");
  fs::create_directories(root_ + "/opened/inner");
  tree_->OpenPath(root_);
  TTreeNode* node = tree_->Selected();
  ASSERT_NE(node, nullptr);
  ASSERT_EQ(Children(node), (std::vector<std::string>{"album", "opened"}));
  // The changes go into the nodes they concern: what was opened stays open.
  Child(node, "opened")->Expand(false);
  auto opened = [&] { return Child(tree_->Selected(), "opened") && Child(tree_->Selected(), "opened")->Expanded(); };
  auto shown = [this](const std::vector<std::string>& names) {
    return [this, names] {
      TTreeNode* n = tree_->Selected();
      return n && tree_->SelectedPath() == root_ + "/" && SortedChildren(n) == names;
    };
  };
  const size_t reported = changes_.size();
  ASSERT_EQ(testsupport::Run({"mkdir", root_ + "/made by mkdir"}).exitCode, 0);
  EXPECT_TRUE(WaitFor(shown({"album", "made by mkdir", "opened"}), 1000));
  ASSERT_EQ(testsupport::Run({"mv", root_ + "/album", root_ + "/renamed"}).exitCode, 0);
  EXPECT_TRUE(WaitFor(shown({"made by mkdir", "opened", "renamed"}), 1000));
  ASSERT_EQ(testsupport::Run({"rmdir", root_ + "/made by mkdir"}).exitCode, 0);
  EXPECT_TRUE(WaitFor(shown({"opened", "renamed"}), 1000));
  EXPECT_TRUE(opened());
  // The selected folder stayed the same: no change of it is reported.
  EXPECT_EQ(changes_.size(), reported);
  // Files coming and going do not rebuild the tree (a change of the folder that holds
  // no new folder leaves the nodes as they are).
  TTreeNode* before = tree_->Selected();
  ASSERT_EQ(testsupport::Run({"touch", root_ + "/picture.jpg"}).exitCode, 0);
  tree_->ShellChanged(root_ + "/");
  EXPECT_EQ(tree_->Selected(), before);
  EXPECT_EQ(tree_->Selected()->Count(), 2);

  // The selected folder renamed, then removed with its parent elsewhere: the nearest folder
  // above it is selected and reported; renamed back, the folder shows again.
  auto at = [&](const std::string& p) {
    return [&, p] { return tree_->SelectedPath() == p && changes_.back() == p && tree_->GetNodePath(tree_->Selected()) == p; };
  };
  tree_->OpenPath(root_ + "/opened/inner");
  ASSERT_EQ(testsupport::Run({"mv", root_ + "/opened/inner", root_ + "/outer"}).exitCode, 0);
  EXPECT_TRUE(WaitFor(at(root_ + "/opened/"), 1000)) << tree_->SelectedPath();
  ASSERT_EQ(testsupport::Run({"mv", root_ + "/outer", root_ + "/opened/inner"}).exitCode, 0);
  EXPECT_TRUE(WaitFor([&] { return Children(tree_->Selected()) == std::vector<std::string>{"inner"}; }, 1000));
  tree_->OpenPath(root_ + "/opened/inner");  // and both go
  ASSERT_EQ(testsupport::Run({"rm", "-r", root_ + "/opened"}).exitCode, 0);
  EXPECT_TRUE(WaitFor(at(root_ + "/"), 1000)) << tree_->SelectedPath();
  // Gone before the watcher has said so: F5 goes to the folder above as well.
  fs::create_directories(root_ + "/again");
  tree_->OpenPath(root_ + "/again");
  fs::remove(root_ + "/again");
  GuiTesting::PressKey(tree_, VK_F5);
  EXPECT_TRUE(at(root_ + "/")()) << tree_->SelectedPath();
  // Of five hundred folders shown few are watched (the kernel's count of inotify watches);
  // one given a folder while out of view shows its expand button once scrolled into view.
  for (int i = 100; i < 600; ++i) fs::create_directories(root_ + "/many/m" + std::to_string(i));
  tree_->OpenPath(root_ + "/many");
  ASSERT_EQ(testsupport::Run({"mkdir", root_ + "/many/m590/sub"}).exitCode, 0);
  const auto watches = testsupport::Run({"sh", "-c", "cat /proc/" + std::to_string(getpid()) + "/fdinfo/* | grep -c '^inotify wd:'"});
  EXPECT_LT(atoi(watches.out.c_str()), 200) << watches.out;
  tree_->SetTopItem(tree_->Selected()->Item(480));
  EXPECT_TRUE(WaitFor([&] { return tree_->Selected()->Item(490)->HasChildren(); }, 1000));
}

// The folder combo: a folder made below a node opened in its drop-down shows there; the
// field shows the folder's icon, the path clear of it and of the button.
TEST_F(QzDirTreeTest, TheComboWatchesWhatItsDropDownOpenedAndShowsTheIcon) {
  fs::create_directories(root_ + "/album/2004");
  auto* combo = new TQzDirTreeCombo28(form_);
  combo->SetParent(form_);
  combo->SetBounds(320, 10, 300, 24);
  combo->OpenPath(root_);
  for (uint16_t key : {VK_DOWN, VK_DOWN, VK_RIGHT}) GuiTesting::PressKey(combo, key);  // drop down, album, open
  TTreeNode* album = combo->Tree()->Selected();
  ASSERT_TRUE(album->Text() == "album" && album->Expanded());
  ASSERT_EQ(testsupport::Run({"mkdir", root_ + "/album/made later"}).exitCode, 0);
  EXPECT_TRUE(WaitFor([&] { return album->Count() == 2 && album->Item(1)->Text() == "made later"; }, 3000));
  // A press beside the drop-down, where nothing takes the focus, closes it.
  ASSERT_TRUE(WaitFor([&] { return combo->Tree()->MouseCapture(); }, 1000));
  GuiTesting::MouseDown(form_, mbLeft, 5, form_->ClientHeight() - 5);
  EXPECT_FALSE(combo->DroppedDown());
  // The path is what a field with it shows more than the field without one.
  TBitmap bare, shot;
  combo->SetText(std::string());
  ASSERT_TRUE(GuiTesting::Grab(combo, bare));
  combo->SetText(root_ + std::string(60, 'x'));
  ASSERT_TRUE(GuiTesting::Grab(combo, shot));
  const int w = combo->ClientWidth(), button = w - 17 - 4;
  const TRect icon = pixels::Bounds(shot, TRect(0, 0, 22, 20), [&](TColor c) { return c != shot.PixelColor(w / 2, 1); });
  int first = button, last = -1;
  for (int x = 0; x < button; ++x)
    for (int y = 0; y < 20; ++y)
      if (shot.PixelColor(x, y) != bare.PixelColor(x, y)) first = std::min(first, x), last = std::max(last, x);
  EXPECT_TRUE(icon.Width() >= 12 && first >= 22 && last <= button - 2) << first << ".." << last;
}

TEST_F(QzDirTreeTest, PasteAfterClickingTheTargetActsOnTheCutSourceAndNeverLosesAFile) {
  const std::string a = root_ + "/A", b = root_ + "/B";
  const std::string bytes = MakeFile(a + "/photo.jpg", 5000);
  MakeFile(a + "/sub/inner.jpg", 3000, 'q');
  fs::create_directories(b);
  tree_->OpenPath(a);
  tree_->CutFolder();
  ASSERT_TRUE(tree_->ClipboardPending());
  EXPECT_TRUE(MenuItem("PasteNode") != nullptr);
  // The user clicks the target: its press must not become the paste's source.
  tree_->OpenPath(root_);
  ClickNode(b);
  ASSERT_EQ(tree_->SelectedPath(), b + "/");
  EXPECT_EQ(tree_->ClipboardPath(), a + "/");
  ASSERT_TRUE(tree_->PasteFolder());
  EXPECT_FALSE(tree_->ClipboardPending());
  EXPECT_FALSE(Exists(a));
  EXPECT_EQ(ReadFile(b + "/A/photo.jpg"), bytes);
  EXPECT_TRUE(Exists(b + "/A/sub/inner.jpg"));
  EXPECT_EQ(tree_->SelectedPath(), b + "/");

  // Copy then paste copies: the source stays, the copy is byte-equal.
  tree_->OpenPath(b + "/A");
  tree_->CopyFolder();
  tree_->OpenPath(root_);
  ClickNode(b);
  ClickNode(b + "/A");
  fs::create_directories(root_ + "/C");
  tree_->OpenPath(root_ + "/C");
  ASSERT_TRUE(tree_->PasteFolder());
  EXPECT_TRUE(SameBytes(b + "/A/photo.jpg", root_ + "/C/A/photo.jpg"));
  EXPECT_TRUE(SameBytes(b + "/A/sub/inner.jpg", root_ + "/C/A/sub/inner.jpg"));
}

TEST_F(QzDirTreeTest, PastesOntoItselfIntoItsOwnSubFolderOrOverANameAreRefused) {
  const std::string a = root_ + "/A";
  const std::string bytes = MakeFile(a + "/sub/photo.jpg", 4000);
  MakeFile(root_ + "/B/A/other.jpg", 10, 'o');
  auto tree = [&] { return testsupport::Run({"find", root_, "-printf", "%P %s\\n"}).out; };
  const std::string before = tree();

  for (int op = 0; op < 2; ++op) {
    tree_->OpenPath(a);
    op == 0 ? tree_->CutFolder() : tree_->CopyFolder();
    tree_->OpenPath(a + "/sub");  // its own sub folder
    ExpectMessage(TextOpFailed);
    EXPECT_FALSE(tree_->PasteFolder());
    EXPECT_FALSE(tree_->ClipboardPending()) << "the pending flag clears after a failed paste too";
    tree_->OpenPath(a);
    op == 0 ? tree_->CutFolder() : tree_->CopyFolder();
    tree_->OpenPath(root_ + "/B");  // holds a folder "A" already
    ExpectMessage("\"A\" already exists !");
    ExpectMessage(TextOpFailed);
    EXPECT_FALSE(tree_->PasteFolder());
  }
  EXPECT_EQ(tree(), before);
  EXPECT_EQ(ReadFile(a + "/sub/photo.jpg"), bytes);
}

TEST_F(QzDirTreeTest, APasteThatRunsOutOfSpaceLeavesTheSourceWhole) {
  const std::string a = root_ + "/A";
  MakeFile(a + "/big.jpg", 300000);
  const std::string reference = testsupport::TempPath("big.ref");
  fs::copy_file(a + "/big.jpg", reference);
  // What a crashed move left there goes first (its process id now belongs to another start).
  fs::create_directories(root_ + "/B/.A.kivo2move-1.999999999-Ab12Cd/A");
  tree_->OpenPath(a);
  tree_->CutFolder();
  tree_->OpenPath(root_ + "/B");
  {
    // Another volume (EXDEV), and it fills up during the copy.
    TFileFaultScope exdev(TFileFaultOp::Rename, EXDEV, a);
    TFileFaultScope full(TFileFaultOp::Write, ENOSPC, root_ + "/B");
    ExpectMessage(TextOpFailed);
    EXPECT_FALSE(tree_->PasteFolder());
  }
  EXPECT_TRUE(SameBytes(a + "/big.jpg", reference));
  EXPECT_EQ(FindNames(root_ + "/B", ""), std::vector<std::string>{});
}

TEST_F(QzDirTreeTest, DrivesAreNeverCutDeletedRenamedOrPastedInto) {
  fs::create_directories(root_ + "/copied");
  tree_->OpenPath(root_ + "/copied");
  tree_->CopyFolder();
  const std::vector<std::string> home = FindNames(GetEnvironmentVariable("HOME"), "");
  tree_->OpenPath(GetEnvironmentVariable("HOME"));
  TTreeNode* drive = tree_->Selected();
  ASSERT_TRUE(drive && drive->Level() == 1) << "the home folder is a drive";
  tree_->BuiltInMenu()->UpdateItemStates();
  for (const char* name : {"EditNode", "DelNode", "CutNode", "CopyNode", "PasteNode"})
    EXPECT_FALSE(MenuItem(name)->Enabled()) << name;
  for (const char* name : {"AddNode", "GetTreeSize", "ShowFolderContents", "ItemProperty"})
    EXPECT_TRUE(MenuItem(name)->Enabled()) << name;
  EXPECT_FALSE(tree_->PasteFolder()) << "a copy waits, yet nothing is pasted into a drive";
  EXPECT_EQ(FindNames(GetEnvironmentVariable("HOME"), ""), home);
  tree_->CutFolder();
  EXPECT_FALSE(tree_->ClipboardPending());
  EXPECT_FALSE(tree_->DeleteFolder(drive));
  EXPECT_FALSE(tree_->RenameFolder(drive, "other"));
  // And not through the shell operation either.
  EXPECT_FALSE(ShellFileOperation(foMove, GetEnvironmentVariable("HOME"), root_ + "/home-moved"));
  EXPECT_FALSE(ShellFileOperation(foDelete, "/", ""));
  EXPECT_TRUE(fs::is_directory(GetEnvironmentVariable("HOME")));

  // The computer node: only the two network items.
  tree_->SetSelected(tree_->Items()->GetFirstNode());
  tree_->BuiltInMenu()->UpdateItemStates();
  for (int i = 0; i < tree_->BuiltInMenu()->Items()->Count(); ++i) {
    TMenuItem* item = tree_->BuiltInMenu()->Items()->Items(i);
    if (item->IsLine()) continue;
    EXPECT_EQ(item->Enabled(), item->Tag() == 9 || item->Tag() == 10) << item->Name();
  }
  ExpectMessage("ERROR - Can't add drives");
  EXPECT_FALSE(tree_->AddNewFolder(nullptr, ""));
}

TEST_F(QzDirTreeTest, NewRenameAndDeleteOfFolders) {
  // The first new folder is named in place as typed: "-" and "." (the keypad's too) also
  // when the tree's owner keeps those keys for its window, and F5 typed into the name does
  // not reload the tree under the editor.
  tree_->OnKeyPress = [](TObject*, char& key) {
    if (key == '-' || key == '.' || key == ',') key = 0;
  };
  for (int i = 0; i < 3; ++i) {
    tree_->OpenPath(root_);
    ASSERT_TRUE(tree_->AddNewFolder(tree_->Selected(), ""));
    if (i > 0) continue;
    ASSERT_TRUE(tree_->IsEditing());
    GuiTesting::TypeText(tree_, "2024-05-10 St");
    GuiTesting::PressKey(tree_, VK_F5);
    GuiTesting::PressKey(tree_, VK_DECIMAL, {}, '.');
    GuiTesting::TypeText(tree_, " Louis\r");
    EXPECT_TRUE(WaitFor([&] { return Exists(root_ + "/2024-05-10 St. Louis"); }, 1000));
  }
  EXPECT_EQ(FindNames(root_, "d"), (std::vector<std::string>{"2024-05-10 St. Louis", "New Folder", "New Folder (1)"}));

  // Names with any of the fourteen characters are refused, made or renamed.
  tree_->OpenPath(root_);
  ExpectMessage("Folder Name contains invalid characters");
  EXPECT_FALSE(tree_->AddNewFolder(tree_->Selected(), "a+b"));
  tree_->OpenPath(root_ + "/New Folder");
  ExpectMessage("a,b\nError - Invalid Directory Name");
  ASSERT_TRUE(tree_->Selected()->EditText());
  GuiTesting::PressKey(tree_, 'A', {ssCtrl});
  GuiTesting::TypeText(tree_, "a,b\r");
  EXPECT_TRUE(WaitFor([] { return ModalResponder::Pending() == 0; }, 1000));
  EXPECT_EQ(tree_->SelectedPath(), root_ + "/New Folder/");

  // A rename asks (after the default name's own first rename, which does not) and reports
  // the old path to OnEdited.
  std::string editedOld;
  tree_->OnEdited = [&](TObject*, TTreeNode*, std::string& s) { editedOld = s; };
  MakeFile(root_ + "/New Folder/keep.jpg", 100);
  ExpectMessage("Do you want to rename the selected folder", mrYes);
  ASSERT_TRUE(tree_->RenameFolder(tree_->Selected(), "Holiday 2004"));
  EXPECT_EQ(editedOld, root_ + "/New Folder");
  EXPECT_EQ(tree_->SelectedPath(), root_ + "/Holiday 2004/");
  EXPECT_TRUE(Exists(root_ + "/Holiday 2004/keep.jpg"));
  ExpectMessage("Do you want to rename the selected folder", mrNo);
  EXPECT_FALSE(tree_->RenameFolder(tree_->Selected(), "Other"));
  // Onto an existing name: refused, both kept, and said once; another failure says so.
  for (const char* name : {"New Folder (1)", "Elsewhere"}) {
    TFileFaultScope refused(TFileFaultOp::Rename, EACCES, "Holiday 2004");
    ExpectMessage("Do you want to rename the selected folder", mrYes);
    ExpectMessage(name == std::string("Elsewhere") ? TextOpFailed : "\"New Folder (1)\" already exists !");
    EXPECT_FALSE(tree_->RenameFolder(tree_->Selected(), name));
  }
  EXPECT_TRUE(Exists(root_ + "/Holiday 2004/keep.jpg"));

  // Delete goes to the Trash after a question (No leaves it, and says nothing more); gio (or
  // the .trashinfo file) sees it there.
  for (int answer : {mrNo, mrYes})
    ExpectMessage("Do you want to move \"Holiday 2004\" to the trash?", answer);
  EXPECT_FALSE(tree_->DeleteFolder(tree_->Selected()));
  EXPECT_TRUE(Exists(root_ + "/Holiday 2004/keep.jpg"));
  ASSERT_TRUE(tree_->DeleteFolder(tree_->Selected()));
  EXPECT_FALSE(Exists(root_ + "/Holiday 2004"));
  EXPECT_EQ(tree_->SelectedPath(), root_ + "/");
  const std::string info = ReadFile(HomeTrashDir() + "/info/Holiday 2004.trashinfo");
  EXPECT_NE(info.find("Path=" + TrashInfoEncodePath(root_ + "/Holiday 2004")), std::string::npos);
  EXPECT_TRUE(Exists(HomeTrashDir() + "/files/Holiday 2004/keep.jpg"));
  if (!testsupport::ToolPath("gio").empty()) {
    auto listed = testsupport::Run({"gio", "trash", "--list"});
    if (listed.exitCode == 0) {
      EXPECT_NE(listed.out.find("Holiday%202004"), std::string::npos) << listed.out;
    }
  }

  // A folder another program removed meanwhile: the path and "not found".
  tree_->OpenPath(root_ + "/New Folder (1)");
  fs::remove(root_ + "/New Folder (1)");
  ExpectMessage(root_ + "/New Folder (1)/not found");
  EXPECT_FALSE(tree_->DeleteFolder(tree_->Selected()));
}

TEST_F(QzDirTreeTest, DutchNewFolderNameStartsEditingAndLeavesNoSilentRename) {
  UseLanguage("nl");
  tree_->SetLanguage(lnEnglish);  // whatever is assigned, the interface language decides
  EXPECT_EQ(tree_->Language(), lnDutch);
  EXPECT_EQ(TextNoDisk, "Er is geen disk in de drive of de drive is niet klaar");
  EXPECT_EQ(MenuItem("CopyNode")->Caption(), "&Kopiëren");
  tree_->OpenPath(root_);
  ASSERT_TRUE(tree_->AddNewFolder(tree_->Selected(), ""));
  EXPECT_TRUE(Exists(root_ + "/Nieuwe map"));
  // A later rename of another folder still asks.
  fs::create_directories(root_ + "/other");
  tree_->OpenPath(root_ + "/other");
  ExpectMessage("Wilt u de geselecteerde map een ander naam geven", mrNo);
  EXPECT_FALSE(tree_->RenameFolder(tree_->Selected(), "renamed"));
  UseLanguage("de");
  tree_->SetLanguage(lnGerman);
  EXPECT_EQ(TextNoDisk, "There is no disk in Drive or Drive is not ready");
}

TEST_F(QzDirTreeTest, TreeSizeAddsTheFilesBelowWithoutFollowingLinks) {
  MakeFile(root_ + "/t/a.jpg", 700);
  MakeFile(root_ + "/t/deep/b.jpg", 200);
  fs::create_directory_symlink(root_ + "/t", root_ + "/t/deep/loop");
  tree_->OpenPath(root_ + "/t");
  auto sizes = testsupport::Run({"find", root_ + "/t", "-type", "f", "-printf", "%s\\n"});
  double expected = 0;
  for (const std::string& line : Lines(sizes.out)) expected += std::stod(line);
  ExpectMessage("\"t\"\nand all its Sub-Folders \n =  900 Bytes\n     (i.e. 1.00 KB )");
  EXPECT_EQ(tree_->ShowTreeSize(), expected);
  // Up to 99,999 KB the amount is given in KB, above it in MB.
  for (const auto& [kb, amount] : {std::pair{99999, "(i.e. 99,999.00 KB )"}, {100000, "(i.e. 97.66 MB )"}}) {
    fs::resize_file(root_ + "/t/a.jpg", uintmax_t(kb) * 1024 - 200);
    ExpectMessage(amount);
    tree_->ShowTreeSize();
  }
  // Its own volume only, as find -xdev sees it: not /dev/shm in /dev (given a large file
  // here), and nothing of a pseudo file system (/proc).
  const std::string big = "/dev/shm/kivo2-tree-size-" + std::to_string(getpid());
  testsupport::WriteFile(big, "");
  fs::resize_file(big, uintmax_t(1) << 40);
  double onDev = 0;
  for (const std::string& l : Lines(testsupport::Run({"find", "/dev", "-xdev", "-type", "f", "-printf", "%s\\n"}).out))
    onDev += std::stod(l);
  for (const auto& [folder, bytes] : {std::pair{"/dev", onDev}, {"/proc", 0.0}}) {
    tree_->OpenPath(folder);
    ExpectMessage(" =  " + Format("%0.0n Bytes", {bytes}));
    EXPECT_EQ(tree_->ShowTreeSize(), bytes) << folder;
  }
  fs::remove(big);
}

TEST_F(QzDirTreeTest, FolderContentsListsTheFilesAndReportsTheChoice) {
  MakeFile(root_ + "/c/b photo.jpg", 10);
  MakeFile(root_ + "/c/a.txt", 10);
  fs::create_directories(root_ + "/c/folder");
  tree_->OpenPath(root_ + "/c");
  std::string chosen;
  tree_->OnFileChange = [&](TObject*, const std::string& f) { chosen = f; };
  tree_->ShowFolderContents();
  ASSERT_NE(tree_->ContentsList(), nullptr);
  ASSERT_EQ(tree_->ContentsList()->Items()->Count(), 2);
  EXPECT_EQ(tree_->ContentsList()->Items()->Item(0)->Caption(), "a.txt");
  EXPECT_EQ(tree_->ContentsList()->Font()->Color(), tree_->Font()->Color());
  tree_->ContentsOkClick(nullptr);
  EXPECT_EQ(chosen, root_ + "/c/a.txt");
  EXPECT_EQ(tree_->SelectedFile(), root_ + "/c/a.txt");
  EXPECT_EQ(tree_->SelectedPath(), root_ + "/c/");
  // Closed by its close box instead: freed, and the tree shows the folder again.
  Application->ProcessMessages();
  const int owned = tree_->ComponentCount();
  tree_->ShowFolderContents();
  tree_->ContentsForm()->Close();
  EXPECT_TRUE(WaitFor([&] { return tree_->ComponentCount() == owned && !tree_->ContentsForm(); }, 2000));
  EXPECT_TRUE(tree_->GetNodePath(tree_->Selected()) == root_ + "/c/" && tree_->Selected()->IsVisible());
  // Whole names in columns without a header: from the list's top edge down the first
  // column, and on in the next, right of the longest name.
  for (int i = 10; i < 50; ++i) MakeFile(root_ + "/d/p" + std::to_string(i) + ".jpg", 1);
  MakeFile(root_ + "/d/cam_equivalent.kv2", 1);
  tree_->OpenPath(root_ + "/d");
  tree_->ShowFolderContents();
  TListView* list = tree_->ContentsList();
  EXPECT_LE(list->ClientOrigin().Y - list->Parent()->ClientToScreen(TPoint(0, list->Top())).Y, 2) << "a header";
  int x = 2;
  while (x < list->ClientWidth() && list->GetItemAt(x, 2) == list->Items()->Item(0)) ++x;
  TBitmap measure;
  measure.Canvas().Font().Assign(list->Font());
  EXPECT_GT(x, 16 + measure.Canvas().TextWidth("cam_equivalent.kv2"));
  while (x < list->ClientWidth() && !list->GetItemAt(x, 2)) ++x;
  EXPECT_GT(list->GetItemAt(x, 2) ? list->GetItemAt(x, 2)->Index() : 0, 3);
}

TEST_F(QzDirTreeTest, NetworkDrivesMountThroughGioOrSayWhyNot) {
  EXPECT_EQ(NetworkShareUri("\\\\server\\photos\\2004"), "smb://server/photos/2004");
  EXPECT_EQ(NetworkShareUri(" //nas/share/ "), "smb://nas/share");
  EXPECT_EQ(NetworkShareUri("sftp://me@host/home"), "sftp://me@host/home");
  EXPECT_EQ(NetworkShareUri("C:\\photos"), "");
  EXPECT_EQ(NetworkShareUri("\\\\"), "");
  const int drives = tree_->Items()->GetFirstNode()->Count();

  // Cancel connects nothing.
  ModalResponder::Expect(ModalKind::ShowModal, mrCancel);
  tree_->ConnectNetworkDrive();
  // A path that is no share: a clear message.
  ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest& r) {
    for (int i = 0; i < r.form->ComponentCount(); ++i)
      if (auto* e = dynamic_cast<TEdit*>(r.form->Components(i))) e->SetText("just some text");
    return int(mrOk);
  });
  ExpectMessage("is not a network path");
  tree_->ConnectNetworkDrive();
  // Without gio: the message says so.
  const std::string path = GetEnvironmentVariable("PATH");
  setenv("PATH", root_.c_str(), 1);
  std::string mountPoint;
  ExpectMessage("gio is not installed");
  EXPECT_NE(AddNetConnection("smb://server/share", true, mountPoint), 0);
  setenv("PATH", path.c_str(), 1);
  // A share that cannot be reached: gio fails, the tree stays as it was.
  if (!testsupport::ToolPath("gio").empty()) {
    ExpectMessage("An error occurred while connecting sftp://kivo2-no-such-host.invalid/x");
    EXPECT_NE(AddNetConnection("sftp://kivo2-no-such-host.invalid/x", true, mountPoint), 0);
  }
  EXPECT_EQ(tree_->Items()->GetFirstNode()->Count(), drives);
}

}  // namespace
