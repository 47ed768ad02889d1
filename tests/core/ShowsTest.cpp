// Shows and the paperclip and shows tree with real files: the tree in the folder tree's
// place and back, the Shows folder's name in every interface language, listing a show
// with missing pictures and the correction mode, new shows from the paperclip and from
// copied files, pasting into a show, removing entries (the lines of missing pictures
// stay), renaming, show folders, deleting to the Trash, and moving by drag (no clash,
// never into a folder's own sub folder); failed writes and renames leave every file.

#include "ListsFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ImgList.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"
#include "tools/UnitHelp.h"

namespace fs = std::filesystem;

class ShowsTest : public ListsTest {
 protected:
  void SetUp() override {
    ListsTest::SetUp();
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) MakeFile(folder_ + name, name);
  }
  void Open() {
    Form1->Zq_CustomShow->Click();
    ASSERT_TRUE(Form1->TreeView1->Visible());
  }
  // The nodes of the tree, depth first: "text/kind".
  static std::vector<std::string> Nodes() {
    std::vector<std::string> nodes;
    TTreeNodes* items = Form1->TreeView1->Items();
    for (int i = 0; i < items->Count(); ++i)
      nodes.push_back(items->Item(i)->Text() + "/" + std::to_string(items->Item(i)->ImageIndex()));
    return nodes;
  }
  // The node of that text, or (text "/a/b.shw") of that path below the Shows folder.
  TTreeNode* Node(const std::string& text) const {
    TTreeNodes* items = Form1->TreeView1->Items();
    for (int i = 0; i < items->Count(); ++i)
      if (text[0] == '/' ? Form1->ShowNodePath(items->Item(i)) == Shows() + text.substr(1)
                         : items->Item(i)->Text() == text)
        return items->Item(i);
    ADD_FAILURE() << "no node " << text;
    return nullptr;
  }
  void Choose(const std::string& text) const {
    TTreeNode* node = Node(text);
    ASSERT_NE(node, nullptr);
    Form1->TreeView1->SetSelected(node);
  }
  // Renames a node as the end of in-place editing does; returns the text it keeps.
  std::string Rename(const std::string& text, const std::string& newText) const {
    TTreeNode* node = Node(text);
    std::string s = newText;
    Form1->TreeView1Edited(Form1->TreeView1, node, s);
    node->SetText(s);
    return s;
  }
  // A drag of one node over another, as the mouse makes it; true when it was accepted
  // (and then dropped).
  bool Drag(const std::string& from, const std::string& onto) const {
    Choose(from);
    TDragObject* object = nullptr;
    Form1->TreeView1StartDrag(Form1->TreeView1, object);
    TTreeNode* target = Node(onto);
    target->MakeVisible();
    const TRect r = target->DisplayRect(true);
    const int x = (r.Left + r.Right) / 2, y = (r.Top + r.Bottom) / 2;
    bool accept = false;
    Form1->TreeView1DragOver(Form1->TreeView1, Form1->TreeView1, x, y, dsDragMove, accept);
    if (accept) Form1->TreeView1DragDrop(Form1->TreeView1, Form1->TreeView1, x, y);
    Form1->TreeView1MouseUp(Form1->TreeView1, mbLeft, TShiftState(), x, y);
    return accept;
  }
  bool Trashed(const std::string& path) const {
    const std::string name = fs::path(path).filename().string();
    return fs::exists(HomeTrashDir() + "/files/" + name) && fs::exists(HomeTrashDir() + "/info/" + name + ".trashinfo");
  }
};

TEST_F(ShowsTest, TheTreeTakesTheFolderTreesPlaceAndGivesItBack) {
  StartIn();
  MakeFile(Shows() + "Trips/one.shw", ListText({folder_ + "a.jpg", folder_ + "b.jpg"}));
  MakeFile(Shows() + "Trips/Sub/deep.shw", ListText({folder_ + "c.jpg"}));
  MakeFile(Shows() + "loose.shw", "");
  Open();
  EXPECT_FALSE(Form1->QzDirTree211->Visible());
  EXPECT_EQ(Form1->Panel6->Caption(), "Paperclip and shows");
  EXPECT_TRUE(Form1->Zq_CustomShow->Down());
  EXPECT_FALSE(Form1->Reload1->Enabled() || Form1->FindFolder1->Enabled() || Form1->ZqFolderUp->Enabled());
  EXPECT_EQ(Form1->FLastPath, "");
  EXPECT_EQ(Form1->FSavedFolderPath, folder_);
  EXPECT_EQ(Nodes(), (std::vector<std::string>{"Paperclip (0)/3", "Shows/4", "Trips/0", "one.shw/1", "Sub/0",
                                               "deep.shw/1", "loose.shw/1"}));
  ASSERT_NE(Form1->TreeView1->Images(), nullptr);
  EXPECT_EQ(Form1->TreeView1->Images()->Count(), 5);
  EXPECT_EQ(Form1->FShowNodeKind, 3);

  Choose("one.shw");
  EXPECT_EQ(Form1->FShowNodeKind, 1);
  EXPECT_EQ(Form1->FShowFile, Shows() + "Trips/one.shw");
  EXPECT_EQ(Form1->FShowFolder, Shows() + "Trips/");
  EXPECT_EQ(Form1->Caption(), Shows() + "Trips/one.shw");
  EXPECT_EQ(Entries(), (std::vector<std::string>{folder_ + "a.jpg", folder_ + "b.jpg"}));
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "a.jpg");
  Choose("Sub");
  EXPECT_EQ(Form1->FShowNodeKind, 0);
  EXPECT_EQ(Form1->ListBox1->Count(), 0);
  Choose("loose.shw");
  EXPECT_EQ(Panel(), "This show is empty.");

  // Back to the folders, with the folder the tree left.
  Form1->M_OpenShow->Click();
  EXPECT_TRUE(Form1->QzDirTree211->Visible());
  EXPECT_FALSE(Form1->TreeView1->Visible());
  EXPECT_FALSE(Form1->Zq_CustomShow->Down());
  EXPECT_EQ(Form1->Panel6->Caption(), "Drives and folders");
  EXPECT_TRUE(Form1->Reload1->Enabled() && Form1->FindFolder1->Enabled());
  EXPECT_EQ(Form1->FLastPath, folder_);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
}

TEST_F(ShowsTest, TheShowsFolderKeepsItsNameInEveryInterfaceLanguage) {
  StartIn();
  MakeFile(Shows() + "holiday.shw", ListText({folder_ + "b.jpg"}));
  UseLanguage("nl");
  Open();
  // Only the node's caption is Dutch; the shows are where they were.
  EXPECT_EQ(Nodes(), (std::vector<std::string>{"Paperclip (0)/3", "Diavoorstellingen/4", "holiday.shw/1"}));
  Choose("holiday.shw");
  EXPECT_EQ(Entries(), (std::vector<std::string>{folder_ + "b.jpg"}));
  Choose("Diavoorstellingen");
  Form1->P_AddShowFolder->Click();
  EXPECT_TRUE(fs::is_directory(Shows() + "Nieuwe diavoorstellingsmap"));
  EXPECT_FALSE(fs::exists(Form1->FAppDir + "Diavoorstellingen"));
  UseLanguage("en");
}

TEST_F(ShowsTest, MissingPicturesAreCountedAndTheDebugCheckCorrectsTheShow) {
  StartIn();
  const std::string missing = testsupport::TempPath("card") + "/gone.jpg";
  MakeFile(Shows() + "one.shw", ListText({folder_ + "a.jpg", missing, folder_ + "c.jpg"}));
  Open();
  ExpectMessage("1/3 files not found and not added to the visible file list.\nYou could manually correct the "
                           "show file " + Shows() + "one.shw with any texteditor");
  Choose("one.shw");
  EXPECT_EQ(Entries(), (std::vector<std::string>{folder_ + "a.jpg", folder_ + "c.jpg"}));
  EXPECT_TRUE(Intact(Shows() + "one.shw"));

  // The debug check lists every line, names the missing one, and saves what the user
  // corrected in the text window; the show is then loaded again.
  Form1->CB_DebugShows->SetChecked(true);
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest&) {
    EXPECT_TRUE(HelpForm->Memo1->Visible());
    EXPECT_EQ(HelpForm->Memo1->Lines()->ToVector(),
              (std::vector<std::string>{folder_ + "a.jpg", missing, folder_ + "c.jpg"}));
    HelpForm->Memo1->Lines()->Delete(1);
    // Meanwhile another program takes c's line out and adds b's: both stay so.
    testsupport::WriteFile(Shows() + "one.shw", ListText({folder_ + "a.jpg", missing, folder_ + "b.jpg"}));
    return int(mrOk);
  });
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  Form1->TreeView1->SetSelected(Node("Shows"));
  Choose("one.shw");
  EXPECT_EQ(Messages()[1], missing);
  EXPECT_EQ(Messages().back(), "Save changes to " + Shows() + "one.shw");
  EXPECT_FALSE(HelpForm->Memo1->Visible());
  EXPECT_EQ(testsupport::ReadFile(Shows() + "one.shw"), ListText({folder_ + "a.jpg", folder_ + "b.jpg"}));
  EXPECT_EQ(Entries(), (std::vector<std::string>{folder_ + "a.jpg", folder_ + "b.jpg"}));
}

TEST_F(ShowsTest, NewShowsComeFromThePaperclipAndFromCopiedFilesAndPastingAddsEachPictureOnce) {
  StartIn();
  fs::create_directories(Shows() + "Trips");
  // Copied files wait for their paste.
  Select({"a.jpg", "c.jpg"});
  Form1->CopyFiles1->Click();
  MakeFile(Paperclip(), ListText({folder_ + "a.jpg", folder_ + "b.jpg"}));
  Open();
  // Saved twice: the second show takes a free name, nothing is written over.
  Form1->P_SaveClipAsShow->Click();
  Form1->TreeView1->SetSelected(Node("Paperclip (2)"));
  Form1->P_SaveClipAsShow->Click();
  EXPECT_TRUE(SameAsMade(Shows() + "My new Show.shw", Paperclip()));
  EXPECT_TRUE(SameAsMade(Shows() + "My new Show (1).shw", Paperclip()));
  EXPECT_EQ(Form1->FShowFile, Shows() + "My new Show (1).shw");

  // With a show folder selected the pasted show lands in it.
  Choose("Trips");
  Form1->PopupTreeview1Popup(Form1->PopupTreeview1);
  EXPECT_TRUE(Form1->P_PasteAsShow->Enabled());
  EXPECT_FALSE(Form1->P_PasteInShow->Enabled());
  EXPECT_TRUE(Form1->P_DeleteShowFolder->Enabled());
  // Another program makes a show by the name chosen while the paste waits for the lock:
  // it stays theirs, the paste takes the next free name.
  const std::string theirs = Shows() + "Trips/My new Pasted show.shw";
  OtherProgramAdds(theirs, "/elsewhere/x.jpg");
  Form1->P_PasteAsShow->Click();
  WaitOtherProgram();
  EXPECT_EQ(testsupport::ReadFile(theirs), "/elsewhere/x.jpg\r\n");
  const std::string pasted = Shows() + "Trips/My new Pasted show (1).shw";
  EXPECT_EQ(testsupport::ReadFile(pasted), ListText({folder_ + "a.jpg", folder_ + "c.jpg"}));
  EXPECT_EQ(Form1->FShowFile, pasted);
  Form1->PopupTreeview1Popup(Form1->PopupTreeview1);
  EXPECT_TRUE(Form1->P_PasteInShow->Enabled() && Form1->P_PasteClipInShow->Enabled() && Form1->EditShow1->Enabled());
  Form1->P_PasteInShow->Click();
  EXPECT_EQ(Panel(), "0 files pasted in show My new Pasted show (1).shw");
  Form1->P_PasteClipInShow->Click();
  EXPECT_EQ(Panel(), "1 file pasted in show My new Pasted show (1).shw");
  EXPECT_TRUE(Form1->LabelShowTextTop->Visible());  // also once the show's first picture is open
  EXPECT_EQ(testsupport::ReadFile(pasted), ListText({folder_ + "a.jpg", folder_ + "c.jpg", folder_ + "b.jpg"}));
  EXPECT_EQ(Entries(), (std::vector<std::string>{folder_ + "a.jpg", folder_ + "c.jpg", folder_ + "b.jpg"}));
  // A show folder: the first free name each time.
  Choose("Trips");
  Form1->P_AddShowFolder->Click();
  Choose("Trips");
  Form1->P_AddShowFolder->Click();
  EXPECT_TRUE(fs::is_directory(Shows() + "Trips/New Show folder") &&
              fs::is_directory(Shows() + "Trips/New Show folder (1)"));
  EXPECT_EQ(Form1->FShowFile, Shows() + "Trips/New Show folder (1)");
}

TEST_F(ShowsTest, RemovingEntriesTakesOnlyThoseLinesAndAFailedWriteKeepsTheShow) {
  StartIn();
  const std::string missing = testsupport::TempPath("card") + "/gone.jpg";
  MakeFile(Shows() + "one.shw", ListText({folder_ + "a.jpg", missing, folder_ + "b.jpg", folder_ + "c.jpg"}));
  MakeFile(Shows() + "two.shw", ListText({folder_ + "a.jpg"}));
  Open();
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  Choose("one.shw");
  Select({folder_ + "b.jpg"});
  // The write fails: the show and its list stay as they were, and the user is told.
  {
    TFileFaultScope fault(TFileFaultOp::Write, ENOSPC, "one.shw", 0, -1);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Form1->Removefromshow->Click();
    EXPECT_GT(fault.Hits(), 0);
    EXPECT_TRUE(Intact(Shows() + "one.shw"));
    EXPECT_NE(LastMessage().find("one.shw"), std::string::npos) << LastMessage();
    EXPECT_EQ(Entries(), (std::vector<std::string>{folder_ + "a.jpg", folder_ + "b.jpg", folder_ + "c.jpg"}));
  }
  // Another program on the same home adds a picture to the show in the middle of this change: it stays.
  MakeFile(folder_ + "d.jpg", "d");
  OtherProgramAdds(Shows() + "one.shw", folder_ + "d.jpg");
  Form1->Removefromshow->Click();
  WaitOtherProgram();
  EXPECT_EQ(testsupport::ReadFile(Shows() + "one.shw"),
            ListText({folder_ + "a.jpg", missing, folder_ + "c.jpg", folder_ + "d.jpg"}));
  EXPECT_EQ(Entries(), (std::vector<std::string>{folder_ + "a.jpg", folder_ + "c.jpg"}));
  // Another program's command takes c's line out while the list still shows it: removing a
  // takes a's line alone, c's stays out.
  testsupport::WriteFile(Shows() + "one.shw", ListText({folder_ + "a.jpg", missing, folder_ + "d.jpg"}));
  Select({folder_ + "a.jpg"});
  Form1->Removefromshow->Click();
  EXPECT_EQ(testsupport::ReadFile(Shows() + "one.shw"), ListText({missing, folder_ + "d.jpg"}));
  // Listed, the show becomes a link to another show: that one loses c's line alone.
  MakeFile(Shows() + "one.shw", ListText({folder_ + "a.jpg", folder_ + "c.jpg"}));
  Choose("two.shw");
  Choose("one.shw");
  const std::string other = testsupport::TempFile("other.shw", ListText({folder_ + "b.jpg", folder_ + "c.jpg"}));
  fs::remove(Shows() + "one.shw");
  fs::create_symlink(other, Shows() + "one.shw");
  Select({folder_ + "c.jpg"});
  Form1->Removefromshow->Click();
  EXPECT_EQ(testsupport::ReadFile(other), ListText({folder_ + "b.jpg"}));
  // Every entry of a show without missing pictures: an empty show remains.
  Choose("two.shw");
  Form1->Selectall1->Click();
  Form1->Removefilesfrompaperclip1->Click();
  EXPECT_TRUE(fs::exists(Shows() + "two.shw"));
  EXPECT_EQ(fs::file_size(Shows() + "two.shw"), 0u);
}

TEST_F(ShowsTest, RenamesNeverReplaceAShowAndRefuseBadNames) {
  StartIn();
  MakeFile(Shows() + "Trips/one.shw", ListText({folder_ + "a.jpg"}));
  MakeFile(Shows() + "Trips/taken.shw", ListText({folder_ + "b.jpg"}));
  Open();
  Choose("one.shw");
  // Another extension becomes ".shw".
  EXPECT_EQ(Rename("one.shw", "first.txt"), "first.shw");
  EXPECT_TRUE(SameAsMade(Shows() + "Trips/first.shw", Shows() + "Trips/one.shw"));
  EXPECT_FALSE(fs::exists(Shows() + "Trips/one.shw"));
  EXPECT_EQ(Form1->FShowFile, Shows() + "Trips/first.shw");
  // A name that is taken gives a free one; the other show stays.
  EXPECT_EQ(Rename("first.shw", "taken"), "taken (1).shw");
  EXPECT_TRUE(Intact(Shows() + "Trips/taken.shw"));
  // A comma is refused, with the name as the show would have had it.
  ExpectMessage("a,b.shw Invalid name");
  EXPECT_EQ(Rename("taken (1).shw", "a,b"), "taken (1).shw");
  // A rename that fails keeps the show and its name.
  {
    TFileFaultScope fault(TFileFaultOp::Rename, EIO, "taken (1).shw", 0, -1);
    ExpectMessage("Error during renaming the show");
    EXPECT_EQ(Rename("taken (1).shw", "later"), "taken (1).shw");
    EXPECT_TRUE(SameAsMade(Shows() + "Trips/taken (1).shw", Shows() + "Trips/one.shw"));
  }
  // Typed into the tree's editor (the menu's "Rename"), every key is the name's: the
  // viewer's "-", "." and "," (the keypad's too), and F3 hides no panel. The comma is
  // refused when the name is committed.
  for (const std::string typed : {"Best-of Amsterdam, day 2", "Best-of Amsterdam - day 2"}) {
    Choose("taken (1).shw");
    Form1->RenameNode->Click();
    ASSERT_TRUE(Form1->TreeView1->IsEditing());
    GuiTesting::PressKey(Form1->TreeView1, 'A', {ssCtrl});
    GuiTesting::TypeText(Form1->TreeView1, "Best");
    GuiTesting::PressKey(Form1->TreeView1, VK_SUBTRACT, {}, '-');
    GuiTesting::TypeText(Form1->TreeView1, typed.substr(5));
    GuiTesting::PressKey(Form1->TreeView1, VK_F3);
    GuiTesting::PressKey(Form1->TreeView1, VK_DECIMAL, {}, '.');
    if (typed.find(',') != std::string::npos) ExpectMessage(typed + ".shw Invalid name");
    GuiTesting::TypeText(Form1->TreeView1, "shw\r");
    GuiTesting::ProcessEvents();
  }
  EXPECT_TRUE(SameAsMade(Shows() + "Trips/Best-of Amsterdam - day 2.shw", Shows() + "Trips/one.shw"));
  EXPECT_TRUE(Form1->M_Tree->Checked());
  // Show folders: a free name is taken, a slash refused, an existing folder never replaced.
  fs::create_directories(Shows() + "Other");
  MakeFile(Shows() + "Other/x.shw", "x");
  Form1->RefillShowsTree();
  EXPECT_EQ(Rename("Trips", "Journeys"), "Journeys");
  EXPECT_TRUE(SameAsMade(Shows() + "Journeys/taken.shw", Shows() + "Trips/taken.shw"));
  ExpectMessage("a/b Invalid name");
  EXPECT_EQ(Rename("Journeys", "a/b"), "Journeys");
  fs::create_directories(Shows() + "Full");
  ExpectMessage("Rename folder " + Shows() + "Full failed!");
  EXPECT_EQ(Rename("Other", "Full"), "Other");
  EXPECT_TRUE(Intact(Shows() + "Other/x.shw"));
  // The roots are not renamed.
  bool allow = true;
  Form1->TreeView1Editing(Form1->TreeView1, Node("Shows"), allow);
  EXPECT_FALSE(allow);
}

TEST_F(ShowsTest, DeletedShowsAndShowFoldersGoToTheTrashAfterAQuestion) {
  StartIn();
  MakeFile(Shows() + "one.shw", ListText({folder_ + "a.jpg"}));
  MakeFile(Shows() + "Old/two.shw", ListText({folder_ + "b.jpg"}));
  Open();
  Choose("one.shw");
  ExpectMessage("Remove " + Shows() + "one.shw", mrNo, ModalKind::MessageDlg);
  Form1->P_DeleteShow->Click();
  EXPECT_TRUE(Intact(Shows() + "one.shw"));
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  Form1->P_DeleteShow->Click();
  EXPECT_FALSE(fs::exists(Shows() + "one.shw"));
  EXPECT_TRUE(Trashed(Shows() + "one.shw"));
  EXPECT_TRUE(SameAsMade(HomeTrashDir() + "/files/one.shw", Shows() + "one.shw"));

  Choose("Old");
  ExpectMessage("Remove " + Shows() + "Old", mrYes, ModalKind::MessageDlg);
  Form1->P_DeleteShowFolder->Click();
  EXPECT_TRUE(Trashed(Shows() + "Old"));
  EXPECT_TRUE(SameAsMade(HomeTrashDir() + "/files/Old/two.shw", Shows() + "Old/two.shw"));
  EXPECT_EQ(Nodes(), (std::vector<std::string>{"Paperclip (0)/3", "Shows/4"}));
  // The Shows root itself is never removed.
  Choose("Shows");
  Form1->P_DeleteShowFolder->Click();
  EXPECT_TRUE(fs::is_directory(Shows()));
}

TEST_F(ShowsTest, DraggingMovesShowsButNeverOntoANameOrIntoAFoldersOwnSubFolder) {
  StartIn();
  MakeFile(Shows() + "loose.shw", ListText({folder_ + "a.jpg"}));
  MakeFile(Shows() + "same.shw", ListText({folder_ + "b.jpg"}));
  MakeFile(Shows() + "Trips/same.shw", ListText({folder_ + "c.jpg"}));
  fs::create_directories(Shows() + "Trips/Sub/Deeper");
  fs::create_directories(Shows() + "Zoo");
  Open();
  EXPECT_TRUE(Drag("loose.shw", "Trips"));
  EXPECT_TRUE(SameAsMade(Shows() + "Trips/loose.shw", Shows() + "loose.shw"));
  EXPECT_FALSE(fs::exists(Shows() + "loose.shw"));
  EXPECT_FALSE(Form1->FTreeDragging);
  EXPECT_EQ(Form1->TreeView1->Selected(), Node("Trips"));
  // A show of that name is there already.
  EXPECT_FALSE(Drag("/same.shw", "Trips"));
  EXPECT_TRUE(Intact(Shows() + "same.shw") && Intact(Shows() + "Trips/same.shw"));
  // Not onto itself, not into a folder below it.
  EXPECT_FALSE(Drag("Trips", "Trips"));
  EXPECT_FALSE(Drag("Trips", "Deeper"));
  EXPECT_TRUE(fs::is_directory(Shows() + "Trips/Sub/Deeper"));
  // A show folder goes into another one with everything in it.
  EXPECT_TRUE(Drag("Trips", "Zoo"));
  EXPECT_TRUE(SameAsMade(Shows() + "Zoo/Trips/same.shw", Shows() + "Trips/same.shw"));
  EXPECT_TRUE(fs::is_directory(Shows() + "Zoo/Trips/Sub/Deeper"));
  // Onto a show no drop is taken.
  EXPECT_FALSE(Drag("/same.shw", "loose.shw"));
}
