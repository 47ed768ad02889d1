// File commands of the main window with real files, with faults injected through the
// platform's file layer (ENOSPC, EACCES, EXDEV, EIO) and with real ones (a file size
// limit, a folder an ordinary user may not write). After each command every original
// still exists byte for byte (cmp) or lies in the Trash with its .trashinfo, and a failure
// is reported as one. Also the repair of shows and paperclip, the work list with voice
// memos, the folder-sizes report and commands run with nothing selected.
#include <signal.h>
#include <sys/resource.h>

#include <cstring>

#include "ListsFixture.h"
#include "controls/QzFileExplorer28.h"
#include "core/Diversen.h"
#include "core/PictureLists.h"
#include "core/UnitSetting.h"
#include "platform/gui/ComCtrls.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace fs = std::filesystem;

namespace {

std::string StatText(const std::string& format, const std::string& file) {
  return testsupport::Run({"stat", "-c", format, file}).out;
}

}  // namespace

class FileCommandsTest : public ListsTest {
 protected:
  std::string Trash() const { return HomeTrashDir(); }
  // The file lies in the Trash, whole, with a .trashinfo that names where it was.
  bool Trashed(const std::string& path, const std::string& keptBytesOf) const {
    const std::string name = fs::path(path).filename().string();
    const std::string info = Trash() + "/info/" + name + ".trashinfo";
    return fs::exists(info) &&
           testsupport::ReadFile(info).find("Path=" + TrashInfoEncodePath(path) + "\n") != std::string::npos &&
           SameAsMade(Trash() + "/files/" + name, keptBytesOf);
  }

  // The folder tree's folder (and with it the listed folder).
  void OpenFolder(const std::string& folder) {
    Form1->QzDirTree211->OpenPath(folder);
    ASSERT_EQ(Form1->QzDirTree211->SelectedPath(), IncludeTrailingPathDelimiter(folder));
  }

  // Copies or cuts the selection, makes target the tree's folder and pastes with Yes;
  // then expects that many messages.
  void Paste(bool cut, const std::string& target, int messages = 0) {
    if (cut)
      Form1->CutFiles1->Click();
    else
      Form1->CopyFiles1->Click();
    // The tree's folder as given, also when it is another spelling of a folder.
    Form1->QzDirTree211->SetSelectedPath(IncludeTrailingPathDelimiter(target));
    ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
    for (int i = 0; i < messages; ++i) ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Form1->PopupListboxPopup(Form1->PopupListbox);
    Form1->PasteMovefiles1->Click();
  }
};

TEST_F(FileCommandsTest, DeleteMovesFilesToTheTrashAndOutOfShowsAndPaperclip) {
  MakeFile(folder_ + "a.jpg", "aaa");
  MakeFile(folder_ + "b.jpg", "bbbb");
  MakeFile(folder_ + "c.jpg", "ccccc");
  StartIn();
  fs::create_directories(Shows() + "Trips");
  testsupport::WriteFile(Shows() + "Trips/one.shw", folder_ + "a.jpg\r\n" + folder_ + "c.jpg\r\n" + folder_ +
                                                       "b.jpg\r\n");
  testsupport::WriteFile(Form1->FAppDir + "paperclip.lst", "/elsewhere/x.jpg\r\n" + folder_ + "b.jpg\r\n");
  // No keeps everything.
  Select({"a.jpg", "b.jpg"});
  ExpectMessage("Move 2 files to the Trash?", mrNo, ModalKind::MessageDlg);
  Form1->P_Deletefile->Click();
  EXPECT_TRUE(Intact(folder_ + "a.jpg") && Intact(folder_ + "b.jpg"));
  EXPECT_EQ(Form1->FFileAction, 10);

  Select({"a.jpg", "b.jpg"});
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  Form1->Deletefile1->Click();
  EXPECT_FALSE(fs::exists(folder_ + "a.jpg"));
  EXPECT_TRUE(Trashed(folder_ + "a.jpg", folder_ + "a.jpg"));
  EXPECT_TRUE(Trashed(folder_ + "b.jpg", folder_ + "b.jpg"));
  EXPECT_TRUE(Intact(folder_ + "c.jpg"));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"c.jpg"}));
  // The deleted files left the show and the paperclip; the rest stayed in order.
  EXPECT_EQ(testsupport::ReadFile(Shows() + "Trips/one.shw"), folder_ + "c.jpg\r\n");
  EXPECT_EQ(testsupport::ReadFile(Form1->FAppDir + "paperclip.lst"), "/elsewhere/x.jpg\r\n");
  // The remaining file is shown.
  EXPECT_EQ(Form1->ListBox1->ItemIndex(), 0);
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "c.jpg");
  EXPECT_FALSE(ActionRunning);
}

TEST_F(FileCommandsTest, DeleteThatCannotReachTheTrashKeepsTheFileAndSaysSo) {
  MakeFile(folder_ + "a.jpg", "aaa");
  MakeFile(folder_ + "b.jpg", "bbbb");
  StartIn();
  // The move into the Trash fails (EIO), or its info file cannot be made or written
  // (EACCES, ENOSPC).
  const std::vector<std::pair<TFileFaultOp, int>> faults{
      {TFileFaultOp::Rename, EIO}, {TFileFaultOp::Write, ENOSPC}, {TFileFaultOp::Open, EACCES}};
  for (auto [op, error] : faults) {
    TFileFaultScope fault(op, error, Trash(), 0, -1);
    Select({"a.jpg", "b.jpg"});
    ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Form1->P_Deletefile->Click();
    EXPECT_GT(fault.Hits(), 0) << error;
    EXPECT_TRUE(Intact(folder_ + "a.jpg") && Intact(folder_ + "b.jpg")) << error;
    EXPECT_EQ(LastMessage(), "2 files could not be moved to the Trash:\n" + folder_ + "b.jpg\n" + folder_ +
                                 "a.jpg")
        << error;
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.jpg", "b.jpg"})) << error;
  }
  EXPECT_EQ(FolderEntries(Trash() + "/files"), std::vector<std::string>{});

  // A real refusal: an ordinary user in a folder of root's that only root may change.
  chmod(folder_.c_str(), 0555);
  {
    testsupport::ActingAsOrdinaryUser user;
    Select({"a.jpg"});
    ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Form1->P_Deletefile->Click();
  }
  chmod(folder_.c_str(), 0755);
  EXPECT_TRUE(Intact(folder_ + "a.jpg"));
  EXPECT_EQ(LastMessage(), "1 file could not be moved to the Trash:\n" + folder_ + "a.jpg");
}

TEST_F(FileCommandsTest, CopyMakesWholeCopiesWithModeDateAndVoiceMemo) {
  MakeFile(folder_ + "a.jpg", std::string(300000, 'a'));
  MakeFile(folder_ + "a.WAV", "memo");
  MakeFile(folder_ + "b.png", "png");
  chmod((folder_ + "a.jpg").c_str(), 0640);
  testsupport::Run({"touch", "-d", "2009-02-03 04:05:06", folder_ + "a.jpg"});
  const std::string target = testsupport::TempPath("target") + "/";
  fs::create_directories(target);
  StartIn();
  Select({"a.jpg"});
  Form1->CopyFiles1->Click();
  EXPECT_EQ(Form1->FWorkFiles->ToVector(), (std::vector<std::string>{folder_ + "a.jpg", folder_ + "a.WAV"}));
  EXPECT_EQ(Form1->FFileAction, 20);
  OpenFolder(target);
  ExpectMessage("Copy 2 files to folder " + target, mrYes, ModalKind::MessageDlg);
  Form1->PopupQZDirPopup(Form1->PopupQZDir);
  Form1->Pastefiles1->Click();
  EXPECT_TRUE(SameAsMade(target + "a.jpg", folder_ + "a.jpg"));
  EXPECT_TRUE(SameAsMade(target + "a.WAV", folder_ + "a.WAV"));
  EXPECT_EQ(StatText("%a %Y", target + "a.jpg"), StatText("%a %Y", folder_ + "a.jpg"));
  EXPECT_TRUE(Intact(folder_ + "a.jpg") && Intact(folder_ + "a.WAV"));
  EXPECT_EQ(FolderEntries(target), (std::vector<std::string>{"a.WAV", "a.jpg"}));
  EXPECT_EQ(Form1->FFileAction, 10);
  EXPECT_EQ(Form1->FWorkFiles->Count(), 0);
  // Without memo handling the voice memo stays behind.
  OpenFolder(folder_);
  FormSettings->ChB_NoMemoHandling->SetChecked(true);
  Select({"a.jpg"});
  Form1->CutFiles1->Click();
  EXPECT_EQ(Form1->FWorkFiles->ToVector(), (std::vector<std::string>{folder_ + "a.jpg"}));
}

TEST_F(FileCommandsTest, PastingAFileOntoItselfStopsWhateverItsSpelling) {
  MakeFile(folder_ + "a.jpg", "the only copy");
  MakeFile(folder_ + "b.jpg", "bbb");
  // The same folder by a link, and a hard link of the picture under the same name.
  const std::string linked = testsupport::TempPath("linked");
  fs::create_directory_symlink(folder_, linked);
  const std::string hard = testsupport::TempPath("hard") + "/";
  fs::create_directories(hard);
  fs::create_hard_link(folder_ + "b.jpg", hard + "b.jpg");
  StartIn();
  for (const std::string& target : {folder_, linked + "/", hard}) {
    for (bool cut : {false, true}) {
      OpenFolder(folder_);
      Select({target == hard ? "b.jpg" : "a.jpg"});
      Paste(cut, target, 1);
      EXPECT_EQ(LastMessage(), "Can't copy/paste, destination and source are the same!") << target;
      EXPECT_TRUE(Intact(folder_ + "a.jpg") && Intact(folder_ + "b.jpg")) << target;
    }
  }
  EXPECT_EQ(FolderEntries(folder_), (std::vector<std::string>{"a.jpg", "b.jpg"}));
  EXPECT_EQ(FolderEntries(Trash() + "/files"), std::vector<std::string>{});
}

TEST_F(FileCommandsTest, AnExistingTargetGoesToTheTrashOnlyWhenTheUserSaysSo) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) MakeFile(folder_ + name, std::string("new ") + name);
  const std::string target = testsupport::TempPath("target") + "/";
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) MakeFile(target + name, std::string("old ") + name);
  StartIn();
  // The paperclip loses the old pictures that go to the Trash, as for a Delete.
  testsupport::WriteFile(Form1->FAppDir + "paperclip.lst", target + "a.jpg\r\n" + target + "b.jpg\r\n");
  // a: No (kept); b: Yes (old one to the Trash); c: Yes to all, and d without a question.
  Select({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
  Form1->CopyFiles1->Click();
  OpenFolder(target);
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  ExpectMessage("File a.jpg exists, Overwrite this file? ", mrNo, ModalKind::MessageDlg);
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  ModalResponder::Expect(ModalKind::MessageDlg, mrYesToAll);
  Form1->Pastefiles1->SetEnabled(true);
  Form1->Pastefiles1->Click();
  EXPECT_EQ(ModalResponder::Pending(), 0);
  EXPECT_TRUE(Intact(target + "a.jpg"));
  for (const char* name : {"b.jpg", "c.jpg", "d.jpg"}) {
    EXPECT_TRUE(SameAsMade(target + name, folder_ + name)) << name;
    EXPECT_TRUE(Trashed(target + name, target + name)) << name;
  }
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) EXPECT_TRUE(Intact(folder_ + name)) << name;
  EXPECT_EQ(testsupport::ReadFile(Form1->FAppDir + "paperclip.lst"), target + "a.jpg\r\n");

  // Cancel stops the run at that file.
  OpenFolder(folder_);
  Select({"a.jpg", "b.jpg"});
  Form1->CutFiles1->Click();
  OpenFolder(target);
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  ModalResponder::Expect(ModalKind::MessageDlg, mrCancel);
  Form1->Pastefiles1->SetEnabled(true);
  Form1->Pastefiles1->Click();
  EXPECT_TRUE(Intact(folder_ + "a.jpg") && Intact(folder_ + "b.jpg") && Intact(target + "a.jpg"));

  // Yes moves the new file over the old one: the source goes, the old one to the Trash.
  OpenFolder(folder_);
  Select({"a.jpg"});
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  Paste(true, target);
  EXPECT_FALSE(fs::exists(folder_ + "a.jpg"));
  EXPECT_TRUE(SameAsMade(target + "a.jpg", folder_ + "a.jpg"));
  EXPECT_TRUE(Trashed(target + "a.jpg", target + "a.jpg"));
}

// Yes to "Overwrite": the new file is whole beside the old one before the old one goes to
// the Trash. A copy or move that fails on the way (the file-fault hook at each step, then a
// real 8 MB file system that fills up) leaves the old file under its name and nothing in
// the Trash, and the message gives the reason.
TEST_F(FileCommandsTest, AFailedOverwriteLeavesTheOldFileUnderItsName) {
  MakeFile(folder_ + "a.jpg", std::string(300000, 'n'));
  MakeFile(folder_ + "b.jpg", std::string(3 << 20, 'B'));
  const std::string target = testsupport::TempPath("target") + "/";
  MakeFile(target + "a.jpg", std::string(200000, 'o'));
  StartIn();
  const std::vector<std::pair<TFileFault, bool>> faults{
      {{TFileFaultOp::Write, ENOSPC, target}, false},        {{TFileFaultOp::Sync, EIO, target}, false},
      {{TFileFaultOp::Rename, EACCES, "Trash", 0, -1}, true}, {{TFileFaultOp::Rename, EIO, ".kivo2copy-"}, false},
      {{TFileFaultOp::Write, ENOSPC, ".trashinfo"}, false},
      {{TFileFaultOp::Rename, EIO, target + "a.jpg", 1}, true}};
  for (const auto& [fault, cut] : faults) {
    SCOPED_TRACE(fault.PathPart + " " + strerror(fault.Error));
    TFileFaultScope armed(fault);
    OpenFolder(folder_);
    Select({"a.jpg"});
    ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
    Paste(cut, target, 1);
    EXPECT_GT(armed.Hits(), 0);
    EXPECT_TRUE(Intact(target + "a.jpg"));
    EXPECT_TRUE(Intact(folder_ + "a.jpg"));
    EXPECT_EQ(LastMessage(), std::string(cut ? "1 file could not be moved:\n" : "1 file could not be copied:\n") +
                                 folder_ + "a.jpg (" + strerror(fault.Error) + ")");
    EXPECT_EQ(FolderEntries(target), std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(FolderEntries(Trash() + "/files"), std::vector<std::string>{});
    EXPECT_EQ(FolderEntries(Trash() + "/info"), std::vector<std::string>{});
  }
  // An 8 MB file system holding two 3 MB pictures: the 1 MB a.jpg takes its place (the old
  // one in the volume's Trash), the 3 MB b.jpg has no room beside the old one.
  testsupport::ScratchMount card(testsupport::TempPath("small"), 8);
  if (!card.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  const std::string small = testsupport::TempPath("small") + "/";
  MakeFile(folder_ + "a.jpg", std::string(1 << 20, 'A'));
  for (const char* name : {"a.jpg", "b.jpg"}) MakeFile(small + name, std::string(3 << 20, name[0]));
  OpenFolder(folder_);
  Select({"a.jpg", "b.jpg"});
  for (int i = 0; i < 2; ++i) ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  Paste(false, small, 1);
  EXPECT_TRUE(Intact(folder_ + "a.jpg") && SameAsMade(small + "a.jpg", folder_ + "a.jpg"));
  EXPECT_TRUE(Intact(small + "b.jpg"));
  EXPECT_TRUE(SameAsMade(small + ".Trash-" + std::to_string(getuid()) + "/files/a.jpg", small + "a.jpg"));
  EXPECT_EQ(LastMessage(), "1 file could not be copied:\n" + folder_ + "b.jpg (" + strerror(ENOSPC) + ")");
  EXPECT_EQ(FolderEntries(small), (std::vector<std::string>{".Trash-" + std::to_string(getuid()), "a.jpg", "b.jpg"}));
}

TEST_F(FileCommandsTest, AMoveRewritesShowsAndPaperclipAndCrossesFileSystemsSafely) {
  MakeFile(folder_ + "a.jpg", std::string(200000, 'a'));
  MakeFile(folder_ + "b.jpg", std::string(100000, 'b'));
  const std::string target = testsupport::TempPath("target") + "/";
  fs::create_directories(target);
  StartIn();
  // No Shows folder: the paperclip is kept in step all the same.
  testsupport::WriteFile(Form1->FAppDir + "paperclip.lst", folder_ + "a.jpg\r\n" + folder_ + "b.jpg\r\n");
  // a moves by a rename; b as across file systems (the rename says EXDEV): copied, read
  // back, then removed.
  TFileFaultScope exdev(TFileFaultOp::Rename, EXDEV, folder_ + "b.jpg");
  Select({"a.jpg", "b.jpg"});
  Paste(true, target);
  EXPECT_EQ(exdev.Hits(), 1);
  EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{});
  EXPECT_TRUE(SameAsMade(target + "a.jpg", folder_ + "a.jpg"));
  EXPECT_TRUE(SameAsMade(target + "b.jpg", folder_ + "b.jpg"));
  EXPECT_EQ(FolderEntries(target), (std::vector<std::string>{"a.jpg", "b.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(Form1->FAppDir + "paperclip.lst"), target + "a.jpg\r\n" + target + "b.jpg\r\n");

  // Two pictures of one name from two folders moved in one paste, the second over the
  // first as the user says, twice: the paperclip names the one that stays there once, and a
  // show that named the first ones, which went to the Trash, loses them (also the one whose
  // replacement no list names).
  for (const char* name : {"p/x.jpg", "q/x.jpg", "p/y.jpg", "q/y.jpg"}) MakeFile(folder_ + name, name);
  testsupport::WriteFile(Form1->FAppDir + "paperclip.lst", folder_ + "p/x.jpg\r\n" + folder_ + "q/x.jpg\r\n");
  MakeFile(Shows() + "red.shw", folder_ + "p/x.jpg\r\n" + folder_ + "p/y.jpg\r\n");
  Form1->FWorkFiles->Clear();
  Form1->FWorkFiles->AddStrings(
      std::vector<std::string>{folder_ + "p/x.jpg", folder_ + "q/x.jpg", folder_ + "p/y.jpg", folder_ + "q/y.jpg"});
  Form1->FFileAction = 40;
  Form1->QzDirTree211->SetSelectedPath(target);
  ModalResponder::Expect(ModalKind::MessageDlg, mrYesToAll);
  ASSERT_TRUE(Form1->CopyPastefiles("", false));
  EXPECT_TRUE(SameAsMade(target + "x.jpg", folder_ + "q/x.jpg") && SameAsMade(target + "y.jpg", folder_ + "q/y.jpg"));
  EXPECT_EQ(testsupport::ReadFile(Form1->FAppDir + "paperclip.lst"), target + "x.jpg\r\n");
  EXPECT_EQ(testsupport::ReadFile(Shows() + "red.shw"), "");
}

// A move or copy that fails - faults injected at each step, then real limits - leaves the
// source whole and says so.
TEST_F(FileCommandsTest, AFailedMoveOrCopyLeavesTheSourceWholeAndSaysSo) {
  MakeFile(folder_ + "a.jpg", std::string(300000, 'a'));
  const std::string target = testsupport::TempPath("target") + "/";
  fs::create_directories(target);
  StartIn();
  struct Case {
    TFileFaultOp op;
    int error;
    std::string where;  // the path part the fault hits
    int skip = 0;       // after this many such calls
  };
  // Each after a rename that says EXDEV: the copy cannot be made, written, flushed, put in
  // place or flushed there, or the source cannot be removed afterwards.
  const std::vector<Case> cases{{TFileFaultOp::Open, EACCES, target},
                                {TFileFaultOp::Write, ENOSPC, target},
                                {TFileFaultOp::Write, EIO, target},
                                {TFileFaultOp::Sync, EIO, ".kivo2move-"},
                                {TFileFaultOp::Rename, EIO, ".kivo2move-"},
                                {TFileFaultOp::Sync, EIO, "/target", 2},
                                {TFileFaultOp::Unlink, EACCES, folder_ + "a.jpg"}};
  for (const Case& c : cases) {
    TFileFaultScope exdev(TFileFaultOp::Rename, EXDEV, folder_ + "a.jpg");
    TFileFaultScope fault(c.op, c.error, c.where, c.skip, -1);
    OpenFolder(folder_);
    Select({"a.jpg"});
    Paste(true, target, 1);
    EXPECT_GT(fault.Hits(), 0) << c.error << " " << c.where;
    EXPECT_TRUE(Intact(folder_ + "a.jpg")) << c.error << " " << c.where;
    EXPECT_EQ(LastMessage(), "1 file could not be moved:\n" + folder_ + "a.jpg (" + strerror(c.error) + ")");
    // Nothing half made stays behind (a complete copy may, when the source could not go).
    for (const std::string& name : FolderEntries(target)) {
      EXPECT_EQ(name, "a.jpg") << c.error;
      EXPECT_TRUE(SameAsMade(target + name, folder_ + "a.jpg"));
      fs::remove(target + name);
    }
  }
  // A plain copy that meets a file size limit (ulimit -f) below the picture's size (a full
  // disk in a plain copy: in the card import's test, through the same paste).
  {
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto previous = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    OpenFolder(folder_);
    Select({"a.jpg"});
    Paste(false, target, 1);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(LastMessage(), "1 file could not be copied:\n" + folder_ + "a.jpg (" + strerror(EFBIG) + ")");
  }
  EXPECT_TRUE(Intact(folder_ + "a.jpg"));
  EXPECT_EQ(FolderEntries(target), std::vector<std::string>{});
  // A folder an ordinary user may not write into.
  chmod(target.c_str(), 0555);
  {
    testsupport::ActingAsOrdinaryUser user;
    OpenFolder(folder_);
    Select({"a.jpg"});
    Paste(true, target, 1);
  }
  chmod(target.c_str(), 0755);
  EXPECT_EQ(LastMessage(), "1 file could not be moved:\n" + folder_ + "a.jpg (" + strerror(EACCES) + ")");
  EXPECT_TRUE(Intact(folder_ + "a.jpg"));
  EXPECT_EQ(FolderEntries(target), std::vector<std::string>{});
}

TEST_F(FileCommandsTest, RenamedPathsReachEveryShowAndTheStandAloneForm) {
  const std::string one = folder_ + "one.jpg", two = folder_ + "two.jpg", other = folder_ + "other.jpg";
  for (const std::string& file : {one, two, other}) MakeFile(file, file);
  StartIn();
  fs::create_directories(Shows() + "A/B");
  testsupport::WriteFile(Shows() + "top.shw", one + "\r\n" + other + "\r\n" + one + "\r\n");
  testsupport::WriteFile(Shows() + "A/B/deep.SHW", "/q/x.jpg\n" + two + "\n");
  testsupport::WriteFile(Shows() + "A/untouched.shw", "/q/y.jpg\r\n");
  testsupport::WriteFile(Form1->FAppDir + "paperclip.lst", two + "\r\n");
  fs::last_write_time(Shows() + "A/untouched.shw", fs::file_time_type{});
  // A command's files, the lists made ready, the renames, the lists brought up to date.
  auto command = [&](const std::vector<std::pair<std::string, std::string>>& renames, bool deleting) {
    for (const auto& [from, to] : renames) {
      Form1->FNamesBefore->Add(from);
      Form1->FNamesAfter->Add(to);
    }
    ASSERT_TRUE(Form1->BeginListRenames(deleting));
    for (const auto& [from, to] : renames) {
      ASSERT_TRUE(deleting ? RecycleFile(from) : RenameFile(from, to));
      Form1->FListRenames->Done(from);
    }
    Form1->CheckForRenamedFiles(deleting);
    EXPECT_EQ(Form1->FNamesBefore->Count(), 0);
  };
  const std::string one2 = folder_ + "1.jpg", two2 = folder_ + "2.jpg";
  command({{one, one2}, {two, two2}}, false);
  EXPECT_EQ(testsupport::ReadFile(Shows() + "top.shw"), one2 + "\r\n" + other + "\r\n" + one2 + "\r\n");
  // A renamed line keeps its line end; the other lines keep their bytes.
  EXPECT_EQ(testsupport::ReadFile(Shows() + "A/B/deep.SHW"), "/q/x.jpg\n" + two2 + "\n");
  EXPECT_EQ(testsupport::ReadFile(Form1->FAppDir + "paperclip.lst"), two2 + "\r\n");
  // A show without those files is not written again.
  EXPECT_EQ(fs::last_write_time(Shows() + "A/untouched.shw"), fs::file_time_type{});

  // Stand-alone: lines in the Windows form name files on the program's drive.
  Form1->FUsbMode = true;
  Form1->FAppDir = testsupport::TempDir() + "/";
  const std::string root = MountPointOf(Form1->FAppDir);
  std::string line = "E:\\" + other.substr(root == "/" ? 1 : root.size() + 1);
  for (char& c : line)
    if (c == '/') c = '\\';
  testsupport::WriteFile(Form1->FAppDir + "paperclip.lst", line + "\r\n" + "E:\\gone.jpg\r\n");
  command({{other, other}}, true);
  EXPECT_EQ(testsupport::ReadFile(Form1->FAppDir + "paperclip.lst"), "E:\\gone.jpg\r\n");
}

TEST_F(FileCommandsTest, FolderSizesAgreeWithTheFilesAndIgnoreFolderLinks) {
  MakeFile(folder_ + "a.jpg", std::string(1 << 20, 'a'));
  MakeFile(folder_ + "sub/b.jpg", std::string(3 << 20, 'b'));
  MakeFile(folder_ + "sub/deeper/c.jpg", std::string(512 << 10, 'c'));
  MakeFile(folder_ + "other/d.jpg", "d");
  // A link back to the top would never end if it were followed.
  fs::create_directory_symlink(folder_, folder_ + "sub/loop");
  StartIn();
  TStringList report;
  Form1->FolderSizesReport(folder_, report);
  // The report's folders are find's folders (links not followed), depth first.
  auto r = testsupport::Run({"find", ExcludeTrailingPathDelimiter(folder_), "-type", "d"});
  const std::vector<std::string> folders = testsupport::Lines(r.out);
  ASSERT_EQ(report.Count(), int(folders.size()) + 2);
  std::map<std::string, std::string> lines;
  for (int i = 0; i < int(folders.size()); ++i) {
    const std::string line = report.Strings(i);
    lines[line.substr(0, line.find('\t'))] = line.substr(line.find('\t'));
  }
  EXPECT_EQ(lines[ExcludeTrailingPathDelimiter(folder_)], "\t     1 MB     ");
  EXPECT_EQ(lines[folder_ + "sub"], "\t     3 MB     ");
  EXPECT_EQ(lines[folder_ + "sub/deeper"], "\t     0.5 MB     ");
  EXPECT_EQ(report.Strings(report.Count() - 2), std::string(43, '-'));
  EXPECT_EQ(report.Strings(report.Count() - 1), " 4.5 MB      (0 GB)");
}

TEST_F(FileCommandsTest, CommandsWithNothingSelectedDoNothing) {
  MakeFile(folder_ + "a.jpg", "aaa");
  StartIn();
  Form1->ListBox1->SetMultiSelect(false);
  Form1->ListBox1->SetItemIndex(-1);
  Form1->P_Deletefile->Click();
  Form1->Renamefile1->Click();
  Form1->CopyFiles1->Click();
  Form1->Pastefiles1Click(Form1);
  EXPECT_EQ(Form1->FWorkFiles->Count(), 0);
  // An empty work list handed to the paste engine (the card import) is said.
  ExpectMessage("No file(s) selected", mrOk, ModalKind::MessageDlg);
  Form1->CopyPastefiles("", false);
  // An empty folder: nothing to select, nothing done.
  OpenFolder(testsupport::TempDir());
  Form1->Selectall1->Click();
  Form1->P_Deletefile->Click();
  EXPECT_TRUE(Intact(folder_ + "a.jpg"));
  // The tree's menu offers its folder commands for a folder, none for the computer node.
  Form1->FFileAction = 20;
  for (const bool folder : {true, false}) {
    if (folder) OpenFolder(folder_);
    TTreeNode* node = folder ? Form1->QzDirTree211->Selected() : Form1->QzDirTree211->Items()->GetFirstNode();
    const TRect r = (node->MakeVisible(), node->DisplayRect(true));
    Form1->QzDirTree211->MouseDown(mbLeft, {}, r.Left + 2, (r.Top + r.Bottom) / 2);
    ASSERT_EQ(Form1->QzDirTree211->SelectedPath() == "Drives", !folder);
    Form1->PopupQZDir->OnPopup(Form1->PopupQZDir);
    for (TMenuItem* item : {Form1->Newfolder1, Form1->Renamefolder1, Form1->Deletefolder1, Form1->Pastefiles1,
                            Form1->Foldersizes1, Form1->Copyandcompresscompletetree1})
      EXPECT_EQ(item->Enabled(), folder) << item->Name();
  }
}

TEST_F(FileCommandsTest, QuestionsAndReportsAreDutchInDutch) {
  MakeFile(folder_ + "a.jpg", "aaa");
  StartIn(std::string(), {"\"Language\"=\"nl\""});
  Select({"a.jpg"});
  ExpectMessage("1 bestand naar de prullenbak verplaatsen?", mrNo, ModalKind::MessageDlg);
  Form1->P_Deletefile->Click();
  Paste(false, folder_, 1);
  const auto history = ModalResponder::History();
  ASSERT_EQ(history.size(), 3u);
  EXPECT_EQ(history[1].text, "1 bestand kopiëren naar map " + folder_);
  EXPECT_EQ(history[2].text, "Kopiëren/plakken kan niet, doel en bron zijn hetzelfde!");
  Form1->FWorkFiles->Clear();
  ExpectMessage("Geen bestand(en) geselecteerd", mrOk, ModalKind::MessageDlg);
  Form1->CopyPastefiles("", false);
  EXPECT_TRUE(Intact(folder_ + "a.jpg"));
}
