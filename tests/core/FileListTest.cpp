// The file list: every sort order against an order the test works out itself from the
// files (sizes, modification dates set with touch, photo dates written with exiftool),
// descending order, the extension-list order, locked folders, hidden names, and that the
// same folder is not listed twice.
#include <strings.h>

#include <algorithm>
#include <filesystem>

#include "MainWindowFixture.h"
#include "controls/QzFileExplorer28.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Classes.h"

namespace fs = std::filesystem;

namespace {

bool LessNoCase(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; }

}  // namespace

class FileListTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    folder_ = testsupport::TempPath("list") + "/";
    fs::create_directories(folder_);
  }

  // Lists folder anew in the given sort mode.
  std::vector<std::string> List(const std::string& folder, int mode, bool descending = false) {
    Form1->FSortMode = mode;
    Form1->PoSortdescend->SetChecked(descending);
    Form1->FLastPath.clear();
    Form1->FillTheListboxWithFiles(folder);
    return Form1->ListBox1->Items()->ToVector();
  }

  void Touch(const std::string& file, const std::string& date) {
    auto r = testsupport::Run({"touch", "-d", date, file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }

  std::string folder_;
};

TEST_F(FileListTest, NameOrdersPlainAndWithNumbersAndNamesThatDifferOnlyInCase) {
  for (const char* name : {"img10.jpg", "img2.jpg", "Beach.png", "apple.bmp", "img1.jpg", "Zoo.tif"})
    testsupport::WriteFile(folder_ + name, "x");
  Start();
  std::vector<std::string> expected{"apple.bmp", "Beach.png", "img1.jpg", "img10.jpg", "img2.jpg", "Zoo.tif"};
  EXPECT_EQ(List(folder_, 1), expected);
  std::reverse(expected.begin(), expected.end());
  EXPECT_EQ(List(folder_, 1, true), expected);
  // Names right-aligned in 30 characters: shorter names first, so img2 before img10.
  EXPECT_EQ(List(folder_, 7),
            (std::vector<std::string>{"Zoo.tif", "img1.jpg", "img2.jpg", "apple.bmp", "Beach.png", "img10.jpg"}));
  // The first picture of the list is shown.
  EXPECT_EQ(Form1->ListBox1->ItemIndex(), 0);
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "Zoo.tif");

  // Accented names sort as English words sort (GNU sort's order).
  const std::string words = folder_ + "words/", names = "zebra.jpg\nÉclair.jpg\napple.jpg\nBanana.jpg\n";
  fs::create_directories(words);
  for (const std::string& name : testsupport::Lines(names)) testsupport::WriteFile(words + name, "x");
  EXPECT_EQ(List(words, 1), testsupport::Lines(testsupport::Run({"env", "LC_ALL=en_US.UTF-8", "sort"}, names).out));
  // Names that differ only in case are two files (three here) in every name order.
  const std::string cased = folder_ + "case/";
  fs::create_directories(cased);
  for (const char* name : {"Photo.jpg", "photo.jpg", "PHOTO.JPG"}) testsupport::WriteFile(cased + name, "x");
  for (int mode : {0, 1, 7}) {
    std::vector<std::string> items = List(cased, mode);
    std::sort(items.begin(), items.end());
    EXPECT_EQ(items, (std::vector<std::string>{"PHOTO.JPG", "Photo.jpg", "photo.jpg"})) << mode;
  }
}

TEST_F(FileListTest, SizeOrderHandlesFilesPastTwoGibibytes) {
  std::map<std::string, uintmax_t> sizes{{"small.jpg", 10},  {"b.png", 700},  {"a.png", 700},
                                         {"mid.bmp", 5000}, {"movie.avi", 0}, {"clip.mpg", 0}};
  for (const auto& [name, size] : sizes) testsupport::WriteFile(folder_ + name, std::string(size, 'x'));
  // Sparse videos (associated files) of 3 GiB and 2 GiB + 1: signed 32-bit sizes would be negative.
  fs::resize_file(folder_ + "movie.avi", uintmax_t(3) << 30);
  fs::resize_file(folder_ + "clip.mpg", (uintmax_t(2) << 30) + 1);
  Start();
  std::vector<std::string> expected;
  for (const auto& entry : fs::directory_iterator(folder_)) expected.push_back(entry.path().filename());
  std::sort(expected.begin(), expected.end(), [&](const std::string& a, const std::string& b) {
    const uintmax_t sa = fs::file_size(folder_ + a), sb = fs::file_size(folder_ + b);
    return sa != sb ? sa < sb : LessNoCase(a, b);
  });
  EXPECT_EQ(List(folder_, 2), expected);
  EXPECT_EQ(expected.back(), "movie.avi");
  // Descending: equal sizes by name descending too.
  std::reverse(expected.begin(), expected.end());
  EXPECT_EQ(List(folder_, 2, true), expected);
}

TEST_F(FileListTest, FileDateAndPhotoDateOrders) {
  KIVO2_REQUIRE_TOOL("exiftool");
  for (const char* name : {"p1.jpg", "p2.jpg", "p3.jpg", "plain.png"}) {
    auto r = testsupport::Run({"convert", "-size", "8x8", "xc:red", folder_ + name});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  // Photo dates run the other way round from the file dates.
  const std::map<std::string, std::string> photoDates{
      {"p1.jpg", "2001:01:01 10:00:00"}, {"p2.jpg", "1999:06:01 10:00:00"}, {"p3.jpg", "2005:03:03 03:03:03"}};
  for (const auto& [name, date] : photoDates) {
    // Each edited later: its edit date (ModifyDate) is not its photo date.
    auto r = testsupport::Run({"exiftool", "-q", "-overwrite_original", "-DateTimeOriginal=" + date,
                               "-ModifyDate=2009:09:09 09:09:09", folder_ + name});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  Touch(folder_ + "p1.jpg", "1998-01-01 00:00:00");
  Touch(folder_ + "p2.jpg", "2010-01-01 00:00:00");
  Touch(folder_ + "p3.jpg", "2000-01-01 00:00:00");
  // No photo date: its file date (2003) places it among the dated pictures.
  Touch(folder_ + "plain.png", "2003-07-07 12:00:00");
  Start();
  EXPECT_EQ(List(folder_, 3), (std::vector<std::string>{"p1.jpg", "p3.jpg", "plain.png", "p2.jpg"}));
  EXPECT_EQ(List(folder_, 6), (std::vector<std::string>{"p2.jpg", "p1.jpg", "plain.png", "p3.jpg"}));
  EXPECT_EQ(List(folder_, 6, true), (std::vector<std::string>{"p3.jpg", "plain.png", "p1.jpg", "p2.jpg"}));

  // "Change file date(s) to photo date(s)": each picture's file gets the moment it was shot.
  Form1->ListboxMultiSelectOn();
  for (int i = 0; i < Form1->ListBox1->Count(); ++i) Form1->ListBox1->SetSelected(i, true);
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  Form1->FileDatetoExifdate1Click(nullptr);
  EXPECT_TRUE(Form1->LabelShowTextTop->Visible() && Form1->LabelShowTextTop->Caption() == "3 file dates changed.");
  for (const auto& [name, date] : photoDates) {
    auto shot = testsupport::Run({"exiftool", "-s3", "-d", "%s", "-DateTimeOriginal", folder_ + name});
    auto mtime = testsupport::Run({"stat", "-c", "%Y", folder_ + name});
    EXPECT_EQ(std::stol(mtime.out), std::stol(shot.out)) << name;  // odd seconds too (03:03:03)
  }
}

TEST_F(FileListTest, ExtensionOrderWithoutSortingAndWhatIsNeverListed) {
  for (const char* name : {"b.png", "a.jpg", "c.bmp", "d.JPG", "e.jpeg", "notes.doc", "README", ".hidden.jpg"})
    testsupport::WriteFile(folder_ + name, "x");
  fs::create_directories(folder_ + "sub.jpg");
  Start();
  const std::vector<std::string> listed = List(folder_, 0);
  ASSERT_EQ(listed.size(), 5u);
  // Each extension's files come in the order of the (sorted) extension list.
  const std::vector<std::string> extensions = Form1->FKnownExtList->ToVector();
  auto rank = [&](const std::string& name) {
    std::string ext = fs::path(name).extension();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::toupper);
    return std::find(extensions.begin(), extensions.end(), ext) - extensions.begin();
  };
  for (size_t i = 1; i < listed.size(); ++i) EXPECT_LE(rank(listed[i - 1]), rank(listed[i])) << listed[i];
  // A ".jpeg" file is listed once in every order.
  for (int mode : {0, 1, 2, 7}) {
    const std::vector<std::string> items = List(folder_, mode);
    EXPECT_EQ(std::count(items.begin(), items.end(), "e.jpeg"), 1) << mode;
    EXPECT_EQ(items.size(), 5u) << mode;
  }
  // Showing all files adds the other plain files, still no hidden files or folders.
  Form1->Showallfiles->SetChecked(true);
  EXPECT_EQ(List(folder_, 1),
            (std::vector<std::string>{"a.jpg", "b.png", "c.bmp", "d.JPG", "e.jpeg", "notes.doc", "README"}));
}

TEST_F(FileListTest, TheSameFolderIsNotListedAgain) {
  testsupport::WriteFile(folder_ + "a.jpg", "x");
  Start();
  List(folder_, 1);
  Form1->FCurrentFile = "kept";
  testsupport::WriteFile(folder_ + "b.jpg", "x");
  Form1->FillTheListboxWithFiles(folder_);
  EXPECT_EQ(Form1->FCurrentFile, "kept");
  EXPECT_EQ(Form1->ListBox1->Count(), 1);
  // Written without its trailing separator it is the same folder.
  Form1->FillTheListboxWithFiles(folder_.substr(0, folder_.size() - 1));
  EXPECT_EQ(Form1->ListBox1->Count(), 1);
}

TEST_F(FileListTest, LockedFoldersWithWindowsLinesAndBlankLines) {
  const std::string locked = folder_ + "Photos/Private/2005/";
  const std::string secret = folder_ + "Archive/Secret/";
  const std::string open = folder_ + "Photos/Public/";
  for (const std::string& f : {locked, secret, open}) {
    fs::create_directories(f);
    testsupport::WriteFile(f + "a.jpg", "x");
  }
  // Lines as the Windows program wrote them, with blank lines between.
  testsupport::WriteFile(ProgramFolder() + "skipsearch.ini", "\\PRIVATE\r\n\r\n   \r\nD:\\Archive\\Secret\r\n");
  Start();
  ASSERT_TRUE(Form1->FSkipLockedFolders);
  EXPECT_TRUE(List(locked, 1).empty());
  EXPECT_EQ(Form1->Image1->Picture()->Width(), 0);
  EXPECT_TRUE(List(secret, 1).empty());
  EXPECT_EQ(List(open, 1), std::vector<std::string>{"a.jpg"});
  // Switched off (Ctrl+\), the lines lock nothing.
  Form1->FSkipLockedFolders = false;
  EXPECT_EQ(List(locked, 1), std::vector<std::string>{"a.jpg"});
}

TEST_F(FileListTest, UnderscoreNamesHideOnlyWithBothMarkers) {
  for (const char* name : {"_private.jpg", "public.jpg"}) testsupport::WriteFile(folder_ + name, "x");
  // In the interface language's word order '_' comes before the letters.
  const std::vector<std::string> both{"_private.jpg", "public.jpg"};
  Start();  // neither marker
  EXPECT_EQ(List(folder_, 1), both);
  testsupport::WriteFile(ProgramFolder() + "debug.txt", "");
  EXPECT_EQ(List(folder_, 1), both);  // the marker alone hides nothing
  Form1->FSkipLockedFolders = true;
  EXPECT_EQ(List(folder_, 1), std::vector<std::string>{"public.jpg"});
  fs::remove(ProgramFolder() + "debug.txt");
  EXPECT_EQ(List(folder_, 1), both);  // locked-folder mode alone hides nothing
}

TEST_F(FileListTest, OnlyTheEntryTheUserMovedToIsHighlighted) {
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) testsupport::WriteFile(folder_ + name, "not a picture");
  Start({"\"LastPath\"=\"" + folder_ + "\""});
  TListBox* list = Form1->ListBox1;
  ASSERT_EQ(list->Count(), 3);
  ASSERT_EQ(list->ItemIndex(), 0);
  TBitmap shot;
  // Right of the short names each row shows only its background.
  auto row = [&](int index) {
    return shot.PixelColor(60, list->ItemRect(index).Top + list->ItemHeight() / 2) & 0xFFFFFF;
  };
  // The list draws its current entry in the colours of the focused list once it has the focus.
  GuiTesting::Click(list, 5, list->ItemRect(0).Top + 2);
  GuiTesting::ProcessEvents();
  ASSERT_TRUE(GuiTesting::Grab(list, shot));
  const TColor highlight = row(0), background = row(2);
  ASSERT_NE(highlight, background);
  GuiTesting::PressKey(list, VK_DOWN);
  GuiTesting::ProcessEvents();
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "b.bmp");
  ASSERT_TRUE(GuiTesting::Grab(list, shot));
  EXPECT_EQ(row(0), background) << "the entry selected when the list was filled stays highlighted";
  EXPECT_EQ(row(1), highlight);
  EXPECT_EQ(row(2), background);
  // Stepping (".") through names wider than the list, the current one shows above the horizontal scroll bar.
  for (int i = 10; i < 70; ++i) testsupport::WriteFile(folder_ + std::to_string(i) + std::string(90, ' ') + ".bmp", "");
  Form1->FLastPath.clear();
  Form1->FillTheListboxWithFiles(folder_);
  for (int step = 0; step < 40; ++step) {
    GuiTesting::PressKey(list, VK_OEM_PERIOD);
    GuiTesting::ProcessEvents();
    ASSERT_TRUE(GuiTesting::Grab(list, shot));
    ASSERT_EQ(row(list->ItemIndex()), highlight) << step;
  }
}

TEST_F(FileListTest, AnEmptyOrUnreadableFolderLeavesNoDetailsOfThePreviousPicture) {
  const std::string empty = folder_ + "empty/";
  const std::string locked = folder_ + "locked/";
  fs::create_directories(empty);
  fs::create_directories(locked);
  auto r = testsupport::Run({"convert", "-size", "64x48", "xc:red", folder_ + "a.png"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  testsupport::WriteFile(locked + "b.png", "x");
  Start({"\"LastPath\"=\"" + folder_ + "\""});
  TStatusPanels* panels = Form1->StatusBar1->Panels();
  ASSERT_EQ(panels->Items(2)->Text(), "64 x 48");
  auto allEmpty = [&](const std::string& where) {
    for (int i = 0; i < 8; ++i) EXPECT_EQ(panels->Items(i)->Text(), "") << "panel " << i << " in " << where;
  };
  // The user chooses the empty folder in the tree.
  Form1->QzDirTree211->OpenPath(empty);
  ASSERT_EQ(Form1->QzDirTree211->SelectedPath(), empty);
  EXPECT_EQ(Form1->ListBox1->Count(), 0);
  allEmpty(empty);
  // Back to the picture, then a folder that cannot be read.
  Form1->QzDirTree211->OpenPath(folder_);
  ASSERT_EQ(panels->Items(2)->Text(), "64 x 48");
  fs::permissions(locked, fs::perms::none);
  // (A user who reads every folder, as root does, finds the picture in it instead.)
  const bool unreadable = access(locked.c_str(), R_OK) != 0;
  Form1->QzDirTree211->OpenPath(locked);
  fs::permissions(locked, fs::perms::owner_all);
  if (unreadable) {
    EXPECT_EQ(Form1->ListBox1->Count(), 0);
    allEmpty(locked);
  }
}
