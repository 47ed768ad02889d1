// The paperclip list with real files: adding (each picture once, voice memos never),
// removing, clearing, a folder tree into it (kept unless the user empties it first, links
// to folders not followed), its count and listing in the shows tree, a new order and
// removals made in a view that keep the lines of missing pictures, names that are not
// UTF-8 kept byte for byte, files written on another machine in the Windows code page,
// and writes that fail (ENOSPC, EIO, EACCES) leaving the old list byte for byte.

#include "ListsFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "platform/gui/ComCtrls.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "tools/SortUnit.h"
#include "tools/UnitBatchRename2.h"
#include "tools/UnitDragDrop.h"

namespace fs = std::filesystem;

namespace {

// The lines of a list file, each without its CR LF.
std::vector<std::string> Lines(const std::string& file) {
  std::vector<std::string> lines = testsupport::Lines(testsupport::ReadFile(file));
  for (std::string& line : lines)
    if (!line.empty() && line.back() == '\r') line.pop_back();
  return lines;
}

}  // namespace

class PaperclipTest : public ListsTest {
 protected:
  // The shows tree, which lists the paperclip first.
  void OpenShowsTree() {
    Form1->M_OpenShow->Click();
    ASSERT_TRUE(Form1->TreeView1->Visible());
  }
};

TEST_F(PaperclipTest, AddingTakesEachPictureOnceLeavesVoiceMemosOutAndSaysWhatHappened) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "A.jpg", "memo.wav"}) MakeFile(folder_ + name, name);
  StartIn(folder_, {"\"ShowAllFiles\"=dword:00000001"});
  // Only voice memos selected and no paperclip yet: nothing to add, no file.
  Select({"memo.wav"});
  ExpectMessage("No files selected to add to the paperclip.");
  Form1->M_Addfilestopapercli1->Click();
  EXPECT_FALSE(fs::exists(Paperclip()));

  Select({"a.jpg", "b.jpg", "memo.wav"});
  Form1->M_Addfilestopapercli1->Click();
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), ListText({folder_ + "a.jpg", folder_ + "b.jpg"}));
  EXPECT_EQ(Panel(), "2 files added to the paperclip.");

  // One new and one held: one message names both.
  Select({"a.jpg", "c.jpg"});
  Form1->AddToPaperclip->Click();
  EXPECT_EQ(Panel(), "1 file added to the paperclip. - 1 file already in paperclip.");
  Select({"b.jpg"});
  Form1->Zq_Paperclip->Click();
  EXPECT_EQ(Panel(), "1 file already in paperclip.");
  // On Linux A.jpg is another file than a.jpg; another program adds in the middle of this change.
  Select({"A.jpg"});
  OtherProgramAdds(Paperclip(), folder_ + "o.jpg");
  Form1->M_Addfilestopapercli1->Click();
  WaitOtherProgram();
  EXPECT_EQ(Lines(Paperclip()), (std::vector<std::string>{folder_ + "a.jpg", folder_ + "b.jpg", folder_ + "c.jpg",
                                                          folder_ + "o.jpg", folder_ + "A.jpg"}));
  // A copy or cut waiting for its paste keeps its files.
  Select({"c.jpg"});
  Form1->CopyFiles1->Click();
  Select({"b.jpg"});
  Form1->M_Addfilestopapercli1->Click();
  EXPECT_EQ(Form1->FWorkFiles->ToVector(), std::vector<std::string>{folder_ + "c.jpg"});
  EXPECT_EQ(Form1->FFileAction, 20);
}

TEST_F(PaperclipTest, RemovingTakesTheSelectedLinesOnlyAndClearingAsksFirst) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) MakeFile(folder_ + name, name);
  StartIn();
  const std::string missing = testsupport::TempPath("card") + "/gone.jpg";
  testsupport::WriteFile(Paperclip(), ListText({missing, folder_ + "a.jpg", folder_ + "b.jpg", folder_ + "c.jpg"}));
  Select({"b.jpg", "c.jpg"});
  Form1->Removefilesfrompaperclip1->Click();
  EXPECT_EQ(Lines(Paperclip()), (std::vector<std::string>{missing, folder_ + "a.jpg"}));
  EXPECT_EQ(Panel(), "2 files removed from the paperclip.");
  const std::string before = testsupport::ReadFile(Paperclip());
  ExpectMessage("No files found to remove from the paperclip.");
  Form1->Removefilesfrompaperclip1->Click();
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), before);

  // Clearing: No keeps the list, Yes empties it, an empty paperclip is said so at once.
  ExpectMessage("Remove all files from the papeclip list?", mrNo, ModalKind::MessageDlg);
  Form1->M_Clearpaperclip1->Click();
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), before);
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  ExpectMessage("All files removed from the paperclip.");
  Form1->M_Clearpaperclip1->Click();
  EXPECT_FALSE(fs::exists(Paperclip()));
  ExpectMessage("Paperclip allready empty");
  Form1->M_Clearpaperclip1->Click();
}

TEST_F(PaperclipTest, AFolderTreeJoinsThePaperclipUnlessTheUserEmptiesItFirst) {
  for (const char* name : {"a.jpg", "b.png", "notes.txt", "sub/c.JPG", "sub/deeper/d.gif"})
    MakeFile(folder_ + name, name);
  // A link back to the top would make an endless walk.
  fs::create_directory_symlink(folder_, folder_ + "sub/loop");
  StartIn();
  const std::string missing = testsupport::TempPath("card") + "/gone.jpg";
  const std::string other = testsupport::TempPath("elsewhere") + "/x.jpg";
  MakeFile(other, "x");
  const std::string old = ListText({missing, other, folder_ + "a.jpg"});
  testsupport::WriteFile(Paperclip(), old);
  const std::set<std::string> tree{folder_ + "a.jpg", folder_ + "b.png", folder_ + "sub/c.JPG",
                                   folder_ + "sub/deeper/d.gif"};

  // No: the tree's pictures follow what the paperclip holds, a picture once.
  ExpectMessage("The paperclip is not empty, remove all files from the paperclip list first?", mrNo,
                ModalKind::MessageDlg);
  ExpectMessage("4 files from tree placed in the paperclip");
  Form1->TreeToPaperclip->Click();
  std::vector<std::string> lines = Lines(Paperclip());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
            (std::vector<std::string>{missing, other, folder_ + "a.jpg"}));
  std::set<std::string> added(lines.begin() + 3, lines.end());
  added.insert(folder_ + "a.jpg");
  EXPECT_EQ(added, tree);

  // Yes: the tree's pictures alone.
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  Form1->TreeToPaperclip->Click();
  lines = Lines(Paperclip());
  EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), tree);
  EXPECT_EQ(lines.size(), tree.size());
}

TEST_F(PaperclipTest, TheTreeCountsAndListsTheExistingPicturesAndEveryViewKeepsTheMissingLines) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) MakeFile(folder_ + name, name);
  StartIn();
  const std::string m1 = testsupport::TempPath("card") + "/one.jpg", m2 = testsupport::TempPath("card") + "/two.jpg";
  testsupport::WriteFile(Paperclip(),
                         ListText({folder_ + "a.jpg", m1, folder_ + "b.jpg", folder_ + "c.jpg", m2}));
  OpenShowsTree();
  EXPECT_EQ(Form1->TreeView1->Items()->Item(0)->Text(), "Paperclip (3)");
  EXPECT_EQ(Form1->FShowNodeKind, 3);
  EXPECT_EQ(Form1->Caption(), "PaperClip");
  EXPECT_EQ(Entries(), (std::vector<std::string>{folder_ + "a.jpg", folder_ + "b.jpg", folder_ + "c.jpg"}));
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "a.jpg");

  // The manual-order window's new order: the missing pictures keep their places.
  DragForm->FView = Entries();
  DragForm->ListBox1->Clear();
  for (const char* name : {"c.jpg", "a.jpg", "b.jpg"}) DragForm->ListBox1->Items()->Add(folder_ + name);
  ASSERT_EQ(DragForm->FListFile, Paperclip());
  ASSERT_TRUE(DragForm->SaveList());
  EXPECT_EQ(Lines(Paperclip()), (std::vector<std::string>{folder_ + "c.jpg", m1, folder_ + "a.jpg",
                                                          folder_ + "b.jpg", m2}));
  EXPECT_EQ(Entries(), (std::vector<std::string>{folder_ + "c.jpg", folder_ + "a.jpg", folder_ + "b.jpg"}));

  // Removing entries in the listed paperclip takes out only those.
  Select({folder_ + "a.jpg"});
  Form1->Removefilesfrompaperclip1->Click();
  EXPECT_EQ(Lines(Paperclip()), (std::vector<std::string>{folder_ + "c.jpg", m1, folder_ + "b.jpg", m2}));
  EXPECT_EQ(Entries(), (std::vector<std::string>{folder_ + "c.jpg", folder_ + "b.jpg"}));
  EXPECT_EQ(Form1->TreeView1->Items()->Item(0)->Text(), "Paperclip (2)");
  // Every listed picture removed: the lines of the missing ones are left.
  Form1->Selectall1->Click();
  Form1->Removefromshow->Click();
  EXPECT_EQ(Lines(Paperclip()), (std::vector<std::string>{m1, m2}));
  EXPECT_EQ(Form1->ListBox1->Count(), 0);
  EXPECT_EQ(Form1->TreeView1->Items()->Item(0)->Text(), "Paperclip (0)");

  // The sort tool's order by name while another program takes b's line out and adds d's:
  // the lines still there take the order in their places, b's stays out, d's at the end.
  testsupport::WriteFile(Paperclip(), ListText({folder_ + "c.jpg", m1, folder_ + "a.jpg", folder_ + "b.jpg", m2}));
  Form1->ShowPaperclipFiles();
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest&) {
    testsupport::WriteFile(Paperclip(), ListText({folder_ + "c.jpg", m1, folder_ + "a.jpg", m2, folder_ + "d.jpg"}));
    SortForm->ListView1ColumnClick(nullptr, SortForm->ListView1->Columns()->Items(1));
    SortForm->ZqBCloseAndUse->Click();
    return int(mrNone);
  });
  Form1->Sorttool1Click(nullptr);
  EXPECT_EQ(Lines(Paperclip()), (std::vector<std::string>{folder_ + "a.jpg", m1, folder_ + "c.jpg", m2,
                                                          folder_ + "d.jpg"}));
}

// Names are bytes: a Latin-1 name from an old card ("caf\xE9") beside UTF-8 names goes into
// the paperclip, a show, the favorites and LastPath and comes back byte for byte, over a
// close and a start, without changing any other line; a name with a line break is refused.
TEST_F(PaperclipTest, NamesThatAreNotUtf8GoThroughListsAndSettingsByteForByte) {
  const std::string latin = folder_ + "Fotos Caf\xE9", utf8 = folder_ + "Fotos Café";
  for (const std::string& name : {latin + "/caf\xE9.jpg", latin + "/café.jpg", utf8 + "/a.jpg", latin + "/two\nlines.jpg"})
    MakeFile(name, name);
  StartIn(latin + "/");
  Select({"café.jpg", "caf\xE9.jpg", "two\nlines.jpg"});
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  Form1->M_Addfilestopapercli1->Click();
  EXPECT_EQ(LastMessage(), latin + "/two\nlines.jpg cannot be put in a list: its name holds a line break.");
  EXPECT_TRUE(testsupport::DutchTranslations().count("%s cannot be put in a list: its name holds a line break."));
  const std::string clip = ListText({latin + "/café.jpg", latin + "/caf\xE9.jpg"});
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), clip);
  Select({"caf\xE9.jpg"});
  Form1->CopyFiles1->Click();
  for (const std::string& folder : {latin, utf8}) {
    Form1->FLastPath = folder + "/";
    Form1->SincFavoritesPath();
    ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
    Form1->ZqAdFavorite->Click();
  }
  const std::string favorites = ListText({latin, utf8});
  EXPECT_EQ(testsupport::ReadFile(Form1->FAppDir + "W_Folders.txt"), favorites);
  OpenShowsTree();
  EXPECT_EQ(Entries(), (std::vector<std::string>{latin + "/café.jpg", latin + "/caf\xE9.jpg"}));
  Form1->TreeView1->SetSelected(Form1->TreeView1->Items()->Item(0));
  Form1->P_PasteAsShow->Click();
  const std::string show = Shows() + "My new Pasted show.shw";
  EXPECT_EQ(testsupport::ReadFile(show), ListText({latin + "/caf\xE9.jpg"}));
  Form1->M_OpenShow->Click();
  Form1->QzDirTree211->OpenPath(latin + "/");
  BatchRenameForm->Edit1->SetText("C:\\Users\\me\\");
  Form1->Close();
  DoneApplication();
  Application->Initialize();
  EXPECT_NE(testsupport::ReadFile(RegistryFile()).find("\"LastPath\"=\"" + latin + "/\"\r\n"), std::string::npos);
  // The next run: the folder and the lists as they were.
  CreateWindows();
  ShowMainWindow();
  EXPECT_EQ(Form1->FLastPath, latin + "/");
  EXPECT_EQ(Form1->ListBox2->Items()->ToVector(), (std::vector<std::string>{latin, utf8}));
  Form1->ListBox2->SetItemIndex(1);
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  Form1->ZqRemFavorites->Click();
  EXPECT_EQ(testsupport::ReadFile(Form1->FAppDir + "W_Folders.txt"), ListText({latin}));
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), clip);
  EXPECT_EQ(testsupport::ReadFile(show), ListText({latin + "/caf\xE9.jpg"}));
}

TEST_F(PaperclipTest, StandAloneLinesNameThePicturesOnTheProgramsDrive) {
  testsupport::WriteFile(ProgramFolder() + "usb_drive.on", "");
  testsupport::WriteFile(ProgramFolder() + "Kivo2_usb.ini", "[U3]\r\nVersion=" + std::to_string(ThisBuild()) + "\r\n");
  MakeFile(folder_ + "café.jpg", "a");
  MakeFile(folder_ + "b.jpg", "b");
  StartIn();
  ASSERT_EQ(Form1->FAppDir, ProgramFolder());
  Form1->QzDirTree211->OpenPath(folder_);
  const std::string root = MountPointOf(folder_);
  std::string windows = folder_.substr(root == "/" ? 1 : root.size() + 1);
  std::replace(windows.begin(), windows.end(), '/', '\\');
  // Written on another machine, where the stick was drive E, in the Windows code page.
  testsupport::WriteFile(Paperclip(), "E:\\" + windows + "caf\xE9.jpg\r\n");
  Select({"café.jpg", "b.jpg"});
  Form1->M_Addfilestopapercli1->Click();
  EXPECT_EQ(Panel(), "1 file added to the paperclip. - 1 file already in paperclip.");
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), "E:\\" + windows + "café.jpg\r\nX:\\" + windows + "b.jpg\r\n");
  OpenShowsTree();
  EXPECT_EQ(Entries(), (std::vector<std::string>{folder_ + "café.jpg", folder_ + "b.jpg"}));
}

TEST_F(PaperclipTest, AWriteThatFailsLeavesThePaperclipAsItWasAndSaysSo) {
  for (const char* name : {"a.jpg", "b.jpg"}) MakeFile(folder_ + name, name);
  StartIn();
  MakeFile(Paperclip(), ListText({folder_ + "a.jpg"}));
  for (auto [op, error] : std::vector<std::pair<TFileFaultOp, int>>{
           {TFileFaultOp::Write, ENOSPC}, {TFileFaultOp::Rename, EIO}, {TFileFaultOp::Open, EACCES}}) {
    TFileFaultScope fault(op, error, "paperclip.lst", 0, -1);
    Select({"b.jpg"});
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Form1->M_Addfilestopapercli1->Click();
    EXPECT_GT(fault.Hits(), 0) << error;
    EXPECT_TRUE(Intact(Paperclip())) << error;
    EXPECT_NE(LastMessage().find(Paperclip()), std::string::npos) << LastMessage();
    EXPECT_NE(Panel(), "1 file added to the paperclip.") << error;
  }
  // A clear whose removal fails keeps the list.
  {
    TFileFaultScope fault(TFileFaultOp::Unlink, EACCES, "paperclip.lst", 0, -1);
    ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
    ExpectMessage(Paperclip() + " cannot be changed: Permission denied");
    Form1->M_Clearpaperclip1->Click();
    EXPECT_TRUE(Intact(Paperclip()));
  }
  // A folder only root may change, for an ordinary user.
  chmod(Form1->FAppDir.c_str(), 0555);
  {
    testsupport::ActingAsOrdinaryUser user;
    Select({"b.jpg"});
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Form1->M_Addfilestopapercli1->Click();
  }
  chmod(Form1->FAppDir.c_str(), 0755);
  EXPECT_TRUE(Intact(Paperclip()));
  // No temporary file is left behind.
  for (const std::string& name : FolderEntries(Form1->FAppDir))
    EXPECT_EQ(name.find(".paperclip.lst."), std::string::npos) << name;
}
