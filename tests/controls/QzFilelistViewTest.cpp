// The report-style file list against find, stat and ls: its rows and columns, every sort
// order, masks, a folder of 10,000 files; its commands (rename, new folder, delete to the
// Trash, permanent delete, cut, copy and paste, clipboard files of other programs) with
// nothing lost; the drive view's refusals; the menu's enabled states; and the send-to
// targets checked with unzip and a recording mail service.
#include <sys/stat.h>

#include "QzExplorerFixture.h"
#include "controls/QzFileExplorer28.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/GuiTesting.h"

using namespace explorertest;
using testsupport::ReadFile;

namespace {

class QzFilelistTest : public ExplorerTest {
 protected:
  void SetUp() override {
    ExplorerTest::SetUp();
    list_ = new TQzFilelistView28(form_);
    list_->SetParent(form_);
    list_->SetBounds(0, 0, 600, 400);
    form_->Show();
  }
  std::vector<std::string> Captions() {
    std::vector<std::string> c;
    for (int i = 0; i < list_->Items()->Count(); ++i) c.push_back(list_->Items()->Item(i)->Caption());
    return c;
  }
  TListItem* Row(const std::string& caption) {
    for (int i = 0; i < list_->Items()->Count(); ++i)
      if (list_->Items()->Item(i)->Caption() == caption) return list_->Items()->Item(i);
    return nullptr;
  }
  void Select(const std::vector<std::string>& captions) {
    list_->SetSelected(nullptr);
    for (const std::string& c : captions) {
      TListItem* row = Row(c);
      ASSERT_NE(row, nullptr) << c;
      row->SetSelected(true);
    }
  }
  TMenuItem* MenuItem(const char* name) { return list_->BuiltInMenu()->ItemNamed(name); }
  // The rows in the order the window shows them, top down.
  std::vector<std::string> Shown() {
    Application->ProcessMessages();
    std::vector<std::string> shown;
    for (int y = 0; y < list_->ClientHeight(); y += 3)
      if (TListItem* item = list_->GetItemAt(40, y); item && (shown.empty() || shown.back() != item->Caption()))
        shown.push_back(item->Caption());
    return shown;
  }
  // Touches a file to a given modification time (seconds since 1970).
  void Touch(const std::string& path, long seconds) {
    testsupport::Run({"touch", "-m", "-d", "@" + std::to_string(seconds), path});
  }

  TQzFilelistView28* list_ = nullptr;
};

TEST_F(QzFilelistTest, RowsAreTheEntriesFindListsWithTheirSizesAndDates) {
  MakeFile(root_ + "/with blank.jpg", 1500);
  MakeFile(root_ + "/Ünïcode ✓.png", 1);
  MakeFile(root_ + "/.hidden.txt", 2048);
  MakeFile(root_ + "/empty", 0);
  MakeFile(root_ + "/locked.jpg", 3);
  fs::create_directories(root_ + "/folder é");
  fs::create_directories(root_ + "/kept");
  chmod((root_ + "/locked.jpg").c_str(), 0444);
  chmod((root_ + "/kept").c_str(), 0555);
  list_->SetFileSize(fsByte);
  const std::string cwd = GetCurrentDir();
  list_->SetDirectory(root_);
  EXPECT_EQ(list_->Directory(), root_ + "/");
  EXPECT_EQ(GetCurrentDir(), cwd) << "the process's current folder stays where it was";
  std::vector<std::string> listed = Captions();
  ASSERT_FALSE(listed.empty());
  EXPECT_EQ(listed[0], " Parent");
  listed.erase(listed.begin());
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, FindNames(root_, ""));
  for (const std::string& name : FindNames(root_, "f")) {
    TListItem* row = Row(name);
    ASSERT_NE(row, nullptr) << name;
    const std::string path = root_ + "/" + name;
    EXPECT_EQ(row->SubItems()->Strings(siSize), testsupport::Run({"stat", "-c", "%s", path}).out.substr(0, row->SubItems()->Strings(siSize).size())) << name;
    EXPECT_EQ(row->SubItems()->Strings(siPath), path);
    EXPECT_EQ(row->SubItems()->Strings(siKind), "file");
    const long mtime = std::stol(testsupport::Run({"stat", "-c", "%Y", path}).out);
    EXPECT_EQ(std::stoll(row->SubItems()->Strings(siSortTime)) / 1000000000LL, mtime) << name;
    EXPECT_GE(row->ImageIndex(), 0);
  }
  EXPECT_EQ(Row(".hidden.txt")->SubItems()->Strings(siAttr), "AH");
  EXPECT_EQ(Row("locked.jpg")->SubItems()->Strings(siAttr), "AR");
  EXPECT_EQ(Row("kept")->SubItems()->Strings(siAttr), "R");
  // A read-only folder is not renamed.
  list_->SetSelected(Row("kept"));
  ModalResponder::Expect(ModalKind::MessageDlg, mrOk);
  list_->RenameSelected();
  EXPECT_EQ(ModalResponder::History().back().text, "It's ReadOnly");
  EXPECT_EQ(Row("folder é")->SubItems()->Strings(siKind), "dir");
  EXPECT_EQ(Row("folder é")->SubItems()->Strings(siSize), " ");
  // In KB: 1..1023 bytes count as 1 KB, nothing as 0 KB.
  list_->SetFileSize(fsKB);
  list_->UpdateFileList();
  EXPECT_EQ(Row("Ünïcode ✓.png")->SubItems()->Strings(siSize), "1 KB");
  EXPECT_EQ(Row("empty")->SubItems()->Strings(siSize), "0 KB");
  EXPECT_EQ(Row("with blank.jpg")->SubItems()->Strings(siSize), "1 KB");
  // Hidden and read-only files only while the filter holds their attribute.
  list_->SetFileType(TFileType{ftReadOnly, ftArchive});
  EXPECT_EQ(Row(".hidden.txt"), nullptr);
  EXPECT_NE(Row("locked.jpg"), nullptr);
  list_->SetFileType(TFileType{ftHidden, ftArchive});
  EXPECT_EQ(Row("locked.jpg"), nullptr);
  EXPECT_NE(Row(".hidden.txt"), nullptr);
  EXPECT_NE(Row("empty"), nullptr);
}

TEST_F(QzFilelistTest, EverySortOrderAgreesWithLs) {
  const long base = 1100000000;
  const char* names[] = {"b.jpg", "A.jpg", "c.JPG", "d.gif", "e.txt"};
  const size_t sizes[] = {3000, 100, 50000, 7000, 20};
  for (int i = 0; i < 5; ++i) {
    MakeFile(root_ + "/" + names[i], sizes[i]);
    Touch(root_ + "/" + names[i], base + (i * 7919) % 5 * 1000);
  }
  fs::create_directories(root_ + "/zfolder");
  fs::create_directories(root_ + "/Afolder");
  list_->SetFileSize(fsByte);
  list_->SetDirectory(root_);
  // By name ascending: the parent first, the folders, then the files (names without case).
  EXPECT_EQ(Captions(), (std::vector<std::string>{" Parent", "Afolder", "zfolder", "A.jpg", "b.jpg", "c.JPG", "d.gif",
                                                  "e.txt"}));
  EXPECT_EQ(list_->SortMarkColumn(), 0);
  // Size: largest first, folders after the files; the parent stays first.
  list_->ColumnClick(1);
  auto files = [this] {
    std::vector<std::string> c;
    for (const std::string& n : Captions())
      if (n.find('.') != std::string::npos && n != " Parent") c.push_back(n);
    return c;
  };
  auto lsOrder = [this](const std::string& flag) {
    auto r = testsupport::Run({"ls", "-1", flag, "--", root_});
    std::vector<std::string> c;
    for (const std::string& n : Lines(r.out))
      if (n.find('.') != std::string::npos) c.push_back(n);
    return c;
  };
  EXPECT_EQ(files(), lsOrder("-S"));
  EXPECT_EQ(Captions().front(), " Parent");
  EXPECT_EQ(Captions()[6].find('.'), std::string::npos) << "folders after the files";
  EXPECT_EQ(Shown(), Captions());
  // Again: smallest first, folders first.
  list_->ColumnClick(1);
  std::vector<std::string> smallFirst = lsOrder("-S");
  std::reverse(smallFirst.begin(), smallFirst.end());
  EXPECT_EQ(files(), smallFirst);
  EXPECT_EQ(Captions()[1], "Afolder");
  // Date: newest first, as ls -t.
  list_->ColumnClick(3);
  EXPECT_EQ(files(), lsOrder("-t"));
  EXPECT_EQ(Shown(), Captions()) << "the window shows the rows in the sorted order";
  // A refill sorts by name descending when it was sorted by another column.
  list_->UpdateFileList();
  EXPECT_EQ(Captions()[1], "e.txt");
  EXPECT_TRUE(list_->SortDescending());
}

TEST_F(QzFilelistTest, MasksListTheirFilesAndATenThousandFileFolderIsComplete) {
  MakeFile(root_ + "/a.jpg", 1);
  MakeFile(root_ + "/b.GIF", 1);
  MakeFile(root_ + "/c.png", 1);
  list_->SetDirectory(root_);
  list_->SetMask("  *.jpg;*.gif  ");
  EXPECT_EQ(Captions(), (std::vector<std::string>{" Parent", "a.jpg", "b.GIF"}));
  list_->SetMask("*.*");
  list_->SetFileSize(fsByte);
  // Sizes and dates of their own, links to a folder and to nothing: every row's size, date
  // and kind as find gives them (links followed, a dangling one as itself).
  for (int i = 0; i < 10000; ++i) testsupport::WriteFile(root_ + "/n" + std::to_string(i) + ".jpg", std::string(i % 97, 'x'));
  fs::create_directories(root_ + "/sub");
  fs::create_directory_symlink("sub", root_ + "/to sub.d");
  fs::create_symlink("missing", root_ + "/dangling.jpg");
  list_->UpdateFileList();
  EXPECT_EQ(list_->Items()->Count(), int(FindNames(root_, "").size()) + 1);
  std::map<std::string, std::string> found;
  for (const std::string& line : Lines(testsupport::Run({"find", "-L", root_, "-mindepth", "1", "-maxdepth", "1",
                                                         "-printf", "%f|%s|%T@|%y\n"}).out)) {
    const size_t bar = line.find('|');
    found[line.substr(0, bar)] = line.substr(bar + 1);
  }
  for (int i = 1; i < list_->Items()->Count(); ++i) {
    TListItem* row = list_->Items()->Item(i);
    const std::string want = found[row->Caption()];
    SCOPED_TRACE(row->Caption() + " " + want);
    const bool folder = want.ends_with("|d");
    EXPECT_EQ(row->SubItems()->Strings(siKind), folder ? "dir" : "file");
    if (!folder) {
      EXPECT_EQ(row->SubItems()->Strings(siSize), want.substr(0, want.find('|')));
    }
    const double seconds = std::stod(want.substr(want.find('|') + 1));
    EXPECT_NEAR(std::stod(row->SubItems()->Strings(siSortTime)) / 1e9, seconds, 1e-3);
    EXPECT_EQ(row->SubItems()->Strings(siPath), root_ + "/" + row->Caption());
  }
}

TEST_F(QzFilelistTest, ClipboardFilesOfAnotherProgramAreCopiedNeverMoved) {
  const std::string src = root_ + "/src";
  const std::string bytes = MakeFile(src + "/photo.jpg", 9000);
  MakeFile(src + "/cut.jpg", 100);
  for (const char* d : {"/dst", "/third", "/fourth"}) fs::create_directories(root_ + d);
  // A cut and paste inside this list moves ...
  list_->SetDirectory(src);
  Select({"cut.jpg"});
  list_->CutCopy(2);
  EXPECT_EQ(list_->PendingOperation(), 2);
  list_->SetDirectory(root_ + "/dst");
  list_->Paste();
  EXPECT_TRUE(Exists(root_ + "/dst/cut.jpg"));
  EXPECT_FALSE(Exists(src + "/cut.jpg"));
  // ... and what it leaves behind must not turn another program's copy into a move.
  SetClipboardFiles({src + "/photo.jpg"}, false);
  list_->SetDirectory(root_ + "/third");
  list_->Paste();
  EXPECT_EQ(ReadFile(src + "/photo.jpg"), bytes) << "a copied file must stay where it was";
  EXPECT_TRUE(SameBytes(src + "/photo.jpg", root_ + "/third/photo.jpg"));
  // A cut on the clipboard (the GNOME marker) moves.
  SetClipboardFiles({src + "/photo.jpg"}, true);
  list_->SetDirectory(root_ + "/fourth");
  list_->Paste();
  EXPECT_FALSE(Exists(src + "/photo.jpg"));
  EXPECT_EQ(ReadFile(root_ + "/fourth/photo.jpg"), bytes);
}

TEST_F(QzFilelistTest, PastesOverExistingNamesAndFailedCopiesLoseNothing) {
  const std::string bytesA = MakeFile(root_ + "/a/photo.jpg", 4000, 'a');
  const std::string bytesB = MakeFile(root_ + "/b/photo.jpg", 4000, 'b');
  list_->SetDirectory(root_ + "/a");
  Select({"photo.jpg"});
  list_->CutCopy(2);
  list_->SetDirectory(root_ + "/b");
  ExpectMessage("\"photo.jpg\" already exists !");
  ExpectMessage(TextOpFailed);
  list_->Paste();
  EXPECT_EQ(ReadFile(root_ + "/a/photo.jpg"), bytesA);
  EXPECT_EQ(ReadFile(root_ + "/b/photo.jpg"), bytesB);
  // The disk fills up while copying: the copy fails, the source stays, no partial file.
  fs::create_directories(root_ + "/c");
  SetClipboardFiles({root_ + "/a/photo.jpg"}, false);
  list_->SetDirectory(root_ + "/c");
  {
    TFileFaultScope full(TFileFaultOp::Write, ENOSPC, root_ + "/c", 0, -1);
    ExpectMessage(TextOpFailed);
    list_->Paste();
  }
  EXPECT_EQ(ReadFile(root_ + "/a/photo.jpg"), bytesA);
  EXPECT_EQ(FindNames(root_ + "/c", ""), std::vector<std::string>{});
  // Rename onto an existing name: refused; a plain rename works.
  list_->SetDirectory(root_ + "/b");
  MakeFile(root_ + "/b/other.jpg", 10, 'o');
  list_->UpdateFileList();
  ExpectMessage("\"other.jpg\" already exists !");
  EXPECT_FALSE(list_->RenameItem(Row("photo.jpg"), "other.jpg"));
  EXPECT_EQ(ReadFile(root_ + "/b/photo.jpg"), bytesB);
  EXPECT_TRUE(list_->RenameItem(Row("photo.jpg"), "Photo 2004.jpg"));
  EXPECT_EQ(ReadFile(root_ + "/b/Photo 2004.jpg"), bytesB);
  EXPECT_NE(Row("Photo 2004.jpg"), nullptr);
}

TEST_F(QzFilelistTest, DeleteGoesToTheTrashAndPermanentDeleteStopsAtAFolder) {
  MakeFile(root_ + "/a.jpg", 10);
  MakeFile(root_ + "/b.jpg", 10);
  fs::create_directories(root_ + "/c folder");
  MakeFile(root_ + "/d.jpg", 10);
  list_->SetDirectory(root_);
  for (int answer : {mrNo, mrYes}) {  // No keeps both and says nothing more
    Select({"a.jpg", "b.jpg"});
    ExpectMessage("Do you want to move these 2 items to the trash?", answer);
    list_->DeleteSelected();
    EXPECT_NE(Exists(root_ + "/b.jpg"), answer == mrYes);
  }
  EXPECT_FALSE(Exists(root_ + "/a.jpg"));
  EXPECT_TRUE(Exists(HomeTrashDir() + "/files/a.jpg"));
  EXPECT_NE(ReadFile(HomeTrashDir() + "/info/b.jpg.trashinfo").find("Path=" + TrashInfoEncodePath(root_ + "/b.jpg")),
            std::string::npos);
  // Shift+Delete: the folder ends the command; the file after it is never asked for.
  Select({"c folder", "d.jpg"});
  uint16_t key = VK_DELETE;
  list_->KeyDown(key, TShiftState{ssShift});
  EXPECT_TRUE(Exists(root_ + "/d.jpg"));
  // A file before a folder is asked for and deleted for good.
  list_->ColumnClick(0);  // descending: files first
  Select({"d.jpg", "c folder"});
  ExpectMessage("Are you sure you want to permanently delete file\n  \"d.jpg\"?", mrYes);
  key = VK_DELETE;
  list_->KeyDown(key, TShiftState{ssShift});
  EXPECT_FALSE(Exists(root_ + "/d.jpg"));
  EXPECT_FALSE(Exists(HomeTrashDir() + "/files/d.jpg"));
  EXPECT_TRUE(Exists(root_ + "/c folder"));
  // A file that cannot be deleted is reported, not passed over in silence.
  MakeFile(root_ + "/e.jpg", 10);
  list_->UpdateFileList();
  Select({"e.jpg"});
  TFileFaultScope refused(TFileFaultOp::Unlink, EACCES, "e.jpg");
  ExpectMessage("\"e.jpg\"?", mrYes);
  ExpectMessage(TextOpFailed);
  key = VK_DELETE;
  list_->KeyDown(key, TShiftState{ssShift});
  EXPECT_TRUE(Exists(root_ + "/e.jpg"));
}

TEST_F(QzFilelistTest, TheDriveViewRefusesToDeleteCutRenameOrMakeFolders) {
  list_->SetDirectory("Drives");
  ASSERT_TRUE(list_->IsDriveView());
  ASSERT_GT(list_->Items()->Count(), 0);
  EXPECT_EQ(list_->Columns()->Items(2)->Caption(), "Disk Size");
  TListItem* home = nullptr;
  for (int i = 0; i < list_->Items()->Count(); ++i)
    if (list_->Items()->Item(i)->Caption() == StripBackslash(GetEnvironmentVariable("HOME")))
      home = list_->Items()->Item(i);
  ASSERT_NE(home, nullptr);
  list_->SetSelected(home);
  list_->DeleteSelected();
  uint16_t key = VK_DELETE;
  list_->KeyDown(key, TShiftState{ssShift});
  list_->CutCopy(2);
  EXPECT_TRUE(list_->PendingFiles().empty());
  EXPECT_FALSE(list_->RenameItem(home, "x"));
  list_->NewFolder();
  EXPECT_TRUE(fs::is_directory(GetEnvironmentVariable("HOME")));
  list_->BuiltInMenu()->UpdateItemStates();
  for (const char* name : {"ItemOpCut", "ItemOpCopy", "ItemRename", "ItemDelete", "ItemFolder", "ItemOpPaste"})
    EXPECT_FALSE(MenuItem(name)->Enabled()) << name;
  EXPECT_FALSE(list_->BuiltInMenu()->AutoPopup());
  // Opening a drive shows its folder.
  list_->OpenItem();
  EXPECT_EQ(list_->Directory(), GetEnvironmentVariable("HOME") + "/");
  // From a drive's folder one level up is the drive list again.
  list_->OneLevelUp();
  EXPECT_TRUE(list_->IsDriveView());
}

TEST_F(QzFilelistTest, MenuItemsFollowTheSelection) {
  MakeFile(root_ + "/note.TXT", 10);
  MakeFile(root_ + "/photo.jpg", 10);
  list_->SetDirectory(root_);
  Select({"note.TXT"});
  list_->BuiltInMenu()->UpdateItemStates();
  EXPECT_TRUE(MenuItem("ItemView")->Enabled());
  EXPECT_TRUE(MenuItem("Send_To1")->Enabled());
  EXPECT_TRUE(MenuItem("ItemRename")->Enabled());
  Select({"note.TXT", "photo.jpg"});
  list_->BuiltInMenu()->UpdateItemStates();
  EXPECT_FALSE(MenuItem("ItemRename")->Enabled());
  EXPECT_FALSE(MenuItem("Send_To1")->Enabled());
  EXPECT_TRUE(MenuItem("ItemDelete")->Enabled());
  list_->SetSelected(nullptr);
  Clipboard()->SetAsText("no files");
  list_->BuiltInMenu()->UpdateItemStates();
  EXPECT_FALSE(MenuItem("ItemOpen")->Enabled());
  EXPECT_FALSE(MenuItem("ItemOpPaste")->Enabled());
  SetClipboardFiles({root_ + "/photo.jpg"}, false);
  list_->BuiltInMenu()->UpdateItemStates();
  EXPECT_TRUE(MenuItem("ItemOpPaste")->Enabled());
  // New folders: "New Folder", then "New Folder(2)" ... the first free number.
  fs::create_directories(root_ + "/New Folder");
  fs::create_directories(root_ + "/New Folder(2)");
  list_->NewFolder();
  EXPECT_TRUE(fs::is_directory(root_ + "/New Folder(3)"));
}

TEST_F(QzFilelistTest, SendToZipMailDesktopAndAnyFolder) {
  const std::string bytes = MakeFile(root_ + "/photo one.jpg", 20000);
  MakeFile(root_ + "/sub/inner é.txt", 300);
  list_->SetDirectory(root_);
  TQzFilelistView28PopUp* menu = list_->BuiltInMenu();
  auto target = [menu](const std::string& t) {
    const auto& paths = menu->SendToPaths();
    auto it = std::find(paths.begin(), paths.end(), t);
    return it == paths.end() ? std::string() : *it;
  };
  // A compressed folder: unzip tests it and lists the files.
  Select({"photo one.jpg", "sub"});
  list_->SendTo(target("zip:"));
  // Named after the first item chosen (folders come first in the list).
  const std::string zip = root_ + "/sub.zip";
  ASSERT_TRUE(Exists(zip));
  if (!testsupport::ToolPath("unzip").empty()) {
    auto tested = testsupport::Run({"unzip", "-t", zip});
    EXPECT_EQ(tested.exitCode, 0) << tested.out;
    auto listed = testsupport::Run({"unzip", "-Z1", zip});
    auto names = Lines(listed.out);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"photo one.jpg", "sub/", "sub/inner é.txt"}));
    auto extracted = testsupport::Run({"unzip", "-p", zip, "photo one.jpg"});
    EXPECT_EQ(extracted.out, bytes);
  }
  // Again: a new name, the first archive untouched.
  Select({"sub"});
  list_->SendTo("zip:");
  EXPECT_TRUE(Exists(root_ + "/sub (2).zip"));

  // The mail recipient: the files go to the mail service.
  std::vector<std::string> mailed;
  SetMailFilesHandler([&](const std::vector<std::string>& files) {
    mailed = files;
    return true;
  });
  Select({"photo one.jpg", "sub"});
  list_->SendTo("mailto:");
  EXPECT_EQ(mailed, std::vector<std::string>{root_ + "/photo one.jpg"});

  // The desktop folder: a copy.
  const std::string desktop = UserFolder(TUserFolder::Desktop);
  fs::create_directories(desktop);
  menu->FillSendToMenu();
  ASSERT_EQ(target(desktop), desktop);
  Select({"photo one.jpg"});
  list_->SendTo(desktop);
  EXPECT_TRUE(SameBytes(root_ + "/photo one.jpg", desktop + "/photo one.jpg"));

  // Any folder: Browse, choose, then OK in the dialog shown again.
  fs::create_directories(root_ + "/chosen");
  ModalResponder::Expect(ModalKind::ShowModal, 10);
  ModalResponder::Expect(ModalKind::SelectDirectory, 1, root_ + "/chosen");
  ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest& r) {
    auto* edit = dynamic_cast<TEdit*>(r.form->FindComponent("SendToPath"));
    EXPECT_NE(edit, nullptr);
    return 1;
  });
  list_->SendToSpecial(0);
  EXPECT_TRUE(SameBytes(root_ + "/photo one.jpg", root_ + "/chosen/photo one.jpg"));

  // File names on the clipboard, and a desktop launcher for the file.
  list_->SendToSpecial(2);
  EXPECT_EQ(Clipboard()->AsText(), root_ + "/photo one.jpg\n");
  list_->CreateDesktopShortcut();
  const std::string launcher = ReadFile(desktop + "/photo one.desktop");
  EXPECT_NE(launcher.find("Type=Link"), std::string::npos);
  if (!testsupport::ToolPath("desktop-file-validate").empty()) {
    EXPECT_EQ(testsupport::Run({"desktop-file-validate", desktop + "/photo one.desktop"}).exitCode, 0);
  }
}

TEST_F(QzFilelistTest, FollowsTheTreeAndTheTreeFollowsIt) {
  fs::create_directories(root_ + "/album/2004");
  auto* tree = new TQzDirTree21(form_);
  tree->SetParent(form_);
  list_->SetDirTree(tree);
  EXPECT_EQ(tree->FileList(), list_);
  fs::create_directories(root_ + "/Album");  // another folder, its name differing in case only
  for (const char* f : {"/Album", "/album"}) {
    tree->ChangePath(root_ + f);
    EXPECT_EQ(list_->Directory(), root_ + f + "/");
  }
  list_->SetSelected(Row("2004"));
  list_->OpenItem();
  EXPECT_EQ(tree->SelectedPath(), root_ + "/album/2004/");
  list_->OneLevelUp();
  EXPECT_EQ(tree->SelectedPath(), root_ + "/album/");
  ASSERT_NE(list_->Selected(), nullptr);
  EXPECT_EQ(list_->Selected()->Caption(), "2004");
  // Files of the list dragged onto a folder of the tree: the keys held at the drop decide
  // (plain moves, Ctrl copies), not an earlier Ctrl-click in the tree.
  tree->SetBounds(0, 0, 240, 400);
  list_->SetBounds(250, 0, 380, 400);
  const std::string plain = MakeFile(root_ + "/album/photo.jpg", 700, 'p');
  MakeFile(root_ + "/album/second.jpg", 900, 's');
  GuiTesting::Click(tree, tree->Selected()->DisplayRect(true).Left + 4, tree->Selected()->DisplayRect(true).Top + 4,
                    mbLeft, {ssCtrl});
  for (auto [name, keys] : {std::pair<const char*, TShiftState>{"photo.jpg", {}}, {"second.jpg", {ssCtrl}}}) {
    tree->OpenPath(root_ + "/album");
    list_->SetDirectory(root_ + "/album");
    list_->UpdateFileList();
    const TRect to = tree->Selected()->Item(0)->DisplayRect(true);  // "2004"
    const int x = to.Left + 4, y = (to.Top + to.Bottom) / 2;
    int row = 0;
    while (row < list_->ClientHeight() && list_->GetItemAt(40, row) != Row(name)) ++row;
    GuiTesting::MouseDown(list_, mbLeft, 40, row);
    GuiTesting::MouseMove(tree, x, y - 2, {ssLeft});
    GuiTesting::MouseUp(tree, mbLeft, x, y, keys);
  }
  EXPECT_EQ(FindNames(root_ + "/album/2004", "f"), (std::vector<std::string>{"photo.jpg", "second.jpg"}));
  EXPECT_EQ(FindNames(root_ + "/album", "f"), std::vector<std::string>{"second.jpg"});
  EXPECT_EQ(ReadFile(root_ + "/album/2004/photo.jpg"), plain);
  EXPECT_TRUE(SameBytes(root_ + "/album/second.jpg", root_ + "/album/2004/second.jpg"));
  delete tree;
  EXPECT_EQ(list_->DirTree(), nullptr);
}

}  // namespace
