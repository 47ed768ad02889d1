// Favorite folders: the file "W_Folders.txt" read and written (CR LF, old files, folders
// missing at the start kept), the add, remove and open commands with their questions and
// messages, and favorites following a renamed or moved folder by whole path components.

#include "ViewerFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "platform/rtl/Paths.h"

namespace fs = std::filesystem;

class FavoritesTest : public ViewerTest {
 protected:
  std::string FavoritesFile() const { return Form1->FAppDir + "W_Folders.txt"; }
  // The data folder as the program will take it (the test writes files there first).
  std::string DataFolder() const { return std::string(getenv("XDG_DATA_HOME")) + "/Kivo2/"; }

  std::vector<std::string> Favorites() const { return Form1->ListBox2->Items()->ToVector(); }

  std::string Folder(const std::string& name) {
    const std::string path = testsupport::TempPath(name);
    fs::create_directories(path);
    return path;
  }
};

TEST_F(FavoritesTest, FileRoundTripKeepsFoldersMissingNow) {
  const std::string a = Folder("fav/a"), b = Folder("fav/b");
  const std::string gone = testsupport::TempPath("fav/unplugged");
  // An old file: LF line ends, a final separator, a folder that is not there now.
  fs::create_directories(DataFolder());
  testsupport::WriteFile(DataFolder() + "W_Folders.txt", a + "/\n" + gone + "\n" + b + "\n");
  StartIn();
  ASSERT_EQ(Form1->FAppDir, DataFolder());
  EXPECT_EQ(Favorites(), (std::vector<std::string>{a, gone, b}));

  // Adding the current folder writes the whole list back, the missing folder with it, the
  // other lines as they stood.
  const std::string c = Folder("fav/c");
  Form1->FLastPath = c + "/";
  ExpectMessage("Add folder " + c + " to Favorites?", mrYes, ModalKind::MessageDlg);
  Form1->ZqAdFavorite->Click();
  EXPECT_EQ(testsupport::ReadFile(FavoritesFile()), a + "/\r\n" + gone + "\r\n" + b + "\r\n" + c + "\r\n");
  EXPECT_FALSE(Form1->ZqAdFavorite->Enabled());
  EXPECT_TRUE(Form1->ZqRemFavorites->Enabled());

  // Removing one keeps the rest in order; No changes nothing.
  Form1->ListBox2->SetItemIndex(2);
  ModalResponder::Expect(ModalKind::MessageDlg, mrNo);
  Form1->ZqRemFavorites->Click();
  EXPECT_EQ(Favorites().size(), 4u);
  Form1->ListBox2->SetItemIndex(2);
  ExpectMessage("Remove " + b + " from the Favorites?", mrYes, ModalKind::MessageDlg);
  Form1->ZqRemFavorites->Click();
  EXPECT_EQ(testsupport::ReadFile(FavoritesFile()), a + "/\r\n" + gone + "\r\n" + c + "\r\n");
  // Another program on the same home adds a folder in the middle of this change: both land.
  Form1->FLastPath = a + "/../a2/";
  Form1->SincFavoritesPath();
  ExpectMessage("Add folder " + a + "/../a2 to Favorites?", mrYes, ModalKind::MessageDlg);
  OtherProgramAdds(FavoritesFile(), b);
  Form1->ZqAdFavorite->Click();
  WaitOtherProgram();
  EXPECT_EQ(testsupport::ReadFile(FavoritesFile()), a + "/\r\n" + gone + "\r\n" + c + "\r\n" + b + "\r\n" + a + "/../a2\r\n");
}

TEST_F(FavoritesTest, AFolderIsAddedOnceWhateverItsFinalSeparator) {
  const std::string a = Folder("once/a");
  StartIn();
  Form1->FLastPath = a + "/";
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  Form1->M_AddFavorite->Click();
  const std::string saved = testsupport::ReadFile(FavoritesFile());
  EXPECT_EQ(saved, a + "\r\n");
  // Held with or without its separator, it is the same favorite: said, nothing written.
  for (const std::string& current : {a, a + "/"}) {
    Form1->FLastPath = current;
    ExpectMessage(a + " favorite folder allready present.");
    // (The button and menu items are disabled for a favorite; the command still checks.)
    Form1->ZqAdFavoriteClick(Form1);
  }
  EXPECT_EQ(testsupport::ReadFile(FavoritesFile()), saved);
  // Paths compare exactly: a folder of another letter case is another favorite.
  const std::string upper = Folder("once/A");
  Form1->FLastPath = upper + "/";
  Form1->SincFavoritesPath();
  EXPECT_TRUE(Form1->AddfoldertoFavorites->Enabled());
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  Form1->ZqAdFavorite->Click();
  EXPECT_EQ(Favorites(), (std::vector<std::string>{a, upper}));
}

TEST_F(FavoritesTest, OpeningAFavoriteListsItsFolderAndAMissingOneIsSaidAndThePanelComesAndGoes) {
  MakeColor("x.png", 8, 8, "red");
  const std::string other = Folder("open/other");
  testsupport::WriteFile(other + "/y.png", testsupport::ReadFile(folder_ + "x.png"));
  const std::string gone = testsupport::TempPath("open/gone");
  fs::create_directories(DataFolder());
  testsupport::WriteFile(DataFolder() + "W_Folders.txt", other + "\r\n" + gone + "\r\n");
  StartIn();
  Form1->ListBox2->SetItemIndex(0);
  Form1->ListBox2Click(Form1);
  EXPECT_EQ(Form1->FLastPath, other + "/");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"y.png"}));
  EXPECT_FALSE(Form1->ZqAdFavorite->Enabled());
  Form1->ListBox2->SetItemIndex(1);
  ExpectMessage("Folder " + gone + " not found");
  Form1->ListBox2Click(Form1);
  EXPECT_EQ(Form1->FLastPath, other + "/");
  // Nothing selected: nothing happens.
  Form1->ListBox2->SetItemIndex(-1);
  Form1->ListBox2Click(Form1);
  Form1->ZqRemFavorites->Click();

  // The panel shows and hides with its button and its menu item.
  ASSERT_FALSE(Form1->PanelFavorites->Visible());
  Form1->ZqFavoriteslist->Click();
  EXPECT_TRUE(Form1->PanelFavorites->Visible());
  EXPECT_TRUE(Form1->Splitter3->Visible());
  EXPECT_TRUE(Form1->M_Favorites->Checked());
  EXPECT_TRUE(Form1->ZqFavoriteslist->Down());
  Form1->ZqCloseFavorites->Click();
  EXPECT_FALSE(Form1->PanelFavorites->Visible());
  EXPECT_FALSE(Form1->ZqFavoriteslist->Down());
  Form1->M_Favorites->Click();
  EXPECT_TRUE(Form1->PanelFavorites->Visible());
  EXPECT_TRUE(Form1->M_Favorites->Checked());
}

TEST_F(FavoritesTest, ARenamedFolderMovesItsFavoritesAndNoSiblings) {
  fs::create_directories(DataFolder());
  const std::vector<std::string> stored{"/photos/2020", "/photos/2020/day1", "/photos/2020-old", "/photos/20201",
                                        "/photos", "/other/photos/2020"};
  std::string text;
  for (const std::string& line : stored) text += line + "\r\n";
  testsupport::WriteFile(DataFolder() + "W_Folders.txt", text);
  StartIn();
  Form1->MoveFavoriteFolders("/photos/2020/", "/photos/2021");
  EXPECT_EQ(Favorites(), (std::vector<std::string>{"/photos/2021", "/photos/2021/day1", "/photos/2020-old",
                                                   "/photos/20201", "/photos", "/other/photos/2020"}));
  EXPECT_EQ(testsupport::ReadFile(FavoritesFile()),
            "/photos/2021\r\n/photos/2021/day1\r\n/photos/2020-old\r\n/photos/20201\r\n/photos\r\n"
            "/other/photos/2020\r\n");
  // A folder that holds no favorite leaves the file alone.
  fs::last_write_time(FavoritesFile(), fs::file_time_type{});
  Form1->MoveFavoriteFolders("/elsewhere", "/moved");
  EXPECT_EQ(fs::last_write_time(FavoritesFile()), fs::file_time_type{});

  EXPECT_TRUE(PathIsWithin("/a/b/c.jpg", "/a/b"));
  EXPECT_TRUE(PathIsWithin("/a/b", "/a/b/"));
  EXPECT_FALSE(PathIsWithin("/a/bc", "/a/b"));
  EXPECT_FALSE(PathIsWithin("/A/b", "/a"));
  EXPECT_TRUE(PathIsWithin("/a", "/"));
  EXPECT_EQ(ReplacePathStart("/Pics/Trip", "/Pics/Journey", "/Pics/Trip/Day1/"), "/Pics/Journey/Day1");
  EXPECT_EQ(ReplacePathStart("/Pics/Trip", "/Pics/Journey", "/Pics/Trips"), "/Pics/Trips");
}

TEST_F(FavoritesTest, StandAloneListsNameFoldersOnTheProgramsDrive) {
  // Stand-alone: the writable files lie in the program folder and paths are stored in
  // the Windows form, relative to the drive the program runs from.
  testsupport::WriteFile(ProgramFolder() + "usb_drive.on", "");
  testsupport::WriteFile(ProgramFolder() + "Kivo2_usb.ini", "[U3]\r\nVersion=" + std::to_string(ThisBuild()) + "\r\n");
  const std::string a = Folder("stick/Photos/Day 1");
  StartIn();
  ASSERT_EQ(Form1->FAppDir, ProgramFolder());
  const std::string root = MountPointOf(a);
  std::string relative = a.substr(root == "/" ? 1 : root.size() + 1);
  std::string windows = "X:\\" + relative;
  for (char& ch : windows)
    if (ch == '/') ch = '\\';
  Form1->FLastPath = a + "/";
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  Form1->ZqAdFavorite->Click();
  EXPECT_EQ(testsupport::ReadFile(Form1->FAppDir + "W_Folders.txt"), windows + "\r\n");
  // Written on another machine with drive E: read below this drive.
  testsupport::WriteFile(Form1->FAppDir + "W_Folders.txt", "E" + windows.substr(1) + "\r\n");
  Form1->LoadFavorites();
  EXPECT_EQ(Favorites(), (std::vector<std::string>{a}));
}
