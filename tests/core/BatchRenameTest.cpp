// Batch renaming and folder renames with real files: each rule of the batch-rename window
// against names worked out here (voice memos follow their pictures, dates and bytes
// stay), names that are taken (also by a change of letter case only) never replaced,
// renames that fail said as failures with the file still under its old name, a search
// list of full paths, a thousand files; a folder renamed or moved in the folder tree
// taking the paperclip's and the shows' lines with it, siblings left alone; and the lists
// following every command in the same step, whatever another program holds, a kill
// leaves or a disk refuses, checked also against a model of random commands.
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <random>
#include <thread>

#include "ListsFixture.h"
#include "MemoryLimit.h"
#include "RealWindowCase.h"
#include "controls/QzFileExplorer28.h"
#include "core/PictureLists.h"
#include "core/Unit1.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "controls/ZqButton.h"
#include "platform/gui/ComCtrls.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitBatchRename2.h"
#include "tools/UnitEditName.h"

namespace fs = std::filesystem;

class BatchRenameTest : public ListsTest {
 protected:
  // The batch rename with the window closed by OK on this rule.
  // failures: the message that names the files that could not be renamed is expected.
  void Rename(int mode, const std::string& find, const std::string& newText, bool caseSensitive = true,
              int caseIndex = 0, bool failures = false) {
    ModalResponder::Expect(ModalKind::ShowModal, [=](ModalRequest&) {
      BatchRenameForm->FRenameMode = mode;
      BatchRenameForm->FFindText = find;
      BatchRenameForm->FNewText = newText;
      BatchRenameForm->ChB_Case->SetChecked(caseSensitive);
      BatchRenameForm->CaseGroup->SetItemIndex(caseIndex);
      return int(mrOk);
    });
    if (failures) ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Form1->BatchReplace->Click();
    EXPECT_FALSE(ActionRunning);
  }
  // The names in the folder, without hidden ones.
  std::vector<std::string> Names(const std::string& folder) const {
    std::vector<std::string> names;
    for (const std::string& name : FolderEntries(folder))
      if (name[0] != '.') names.push_back(name);
    return names;
  }
  // The program's data folder, known before the program starts.
  static std::string AppDir() { return std::string(getenv("XDG_DATA_HOME")) + "/Kivo2/"; }
  void SetDate(const std::string& path, const std::string& date) {
    ASSERT_EQ(testsupport::Run({"touch", "-d", date, path}).exitCode, 0);
  }
  // The program closed and started again on the photo folder.
  void Restart() {
    DoneApplication();
    Application->Initialize();
    StartIn();
  }
};

// The records of renames in the program's data folder.
static int JournalsIn(const std::string& appDir) {
  int count = 0;
  for (const std::string& name : FolderEntries(appDir)) count += name.rfind(".renames.kivo2journal-", 0) == 0;
  return count;
}
// The records, set-aside records and work copies of the program's own in a folder.
static std::vector<std::string> RecordsIn(const std::string& folder) {
  std::vector<std::string> records;
  for (const std::string& name : FolderEntries(folder))
    if (name[0] == '.' && name.find(".kivo2") != std::string::npos && name != ".kivo2.lock") records.push_back(name);
  return records;
}

TEST_F(BatchRenameTest, EachRuleGivesTheNamesWorkedOutHereAndMemosFollowTheirPictures) {
  for (const char* name : {"IMG_0001.JPG", "IMG_0001.WAV", "img_0002.jpg", "DSC01.JPG", "a.b.jpg", "README"})
    MakeFile(folder_ + name, name);
  SetDate(folder_ + "IMG_0001.JPG", "2019-05-04 10:11:12");
  const std::string before = ModificationTime(folder_ + "IMG_0001.JPG");
  // The paperclip names the first picture, one elsewhere that is missing, and one under
  // the first one's new name that is missing too.
  MakeFile(AppDir() + "paperclip.lst",
           ListText({folder_ + "IMG_0001.JPG", "/elsewhere/missing.jpg", folder_ + "Holiday_0001.JPG"}));
  StartIn(folder_, {"\"ShowAllFiles\"=dword:00000001"});
  ASSERT_EQ(Paperclip(), AppDir() + "paperclip.lst");

  // Replace, letter case as written: img_0002 does not hold "IMG".
  Select({"IMG_0001.JPG", "img_0002.jpg"});
  Rename(1, "IMG", "Holiday");
  EXPECT_EQ(Panel(), "2 files renamed.");
  EXPECT_TRUE(Form1->TimerShowIt->Enabled()) << "the result stays until the next picture";
  EXPECT_TRUE(SameAsMade(folder_ + "Holiday_0001.JPG", folder_ + "IMG_0001.JPG"));
  EXPECT_TRUE(SameAsMade(folder_ + "Holiday_0001.WAV", folder_ + "IMG_0001.WAV"));
  EXPECT_TRUE(Intact(folder_ + "img_0002.jpg"));
  EXPECT_EQ(ModificationTime(folder_ + "Holiday_0001.JPG"), before);
  // The paperclip follows, naming the picture once: the line that named its new name
  // already stays, its old line goes. The line of a missing picture stays.
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), ListText({"/elsewhere/missing.jpg", folder_ + "Holiday_0001.JPG"}));
  EXPECT_NE(std::find(Entries().begin(), Entries().end(), "Holiday_0001.JPG"), Entries().end());

  // Without letter case "img" is found in img_0002; the first place only is replaced.
  Select({"img_0002.jpg"});
  Rename(1, "IMG", "Trip_img", false);
  EXPECT_TRUE(SameAsMade(folder_ + "Trip_img_0002.jpg", folder_ + "img_0002.jpg"));
  // A find text that is not there, or none, leaves the file.
  Select({"DSC01.JPG"});
  Rename(1, "xyz", "abc");
  Rename(1, "", "abc");
  EXPECT_EQ(Panel(), "0 files renamed.");

  // Prefix and suffix around the name without its extension.
  Select({"a.b.jpg", "README"});
  Rename(2, "", "2020 ");
  Select({"2020 a.b.jpg", "2020 README"});
  Rename(3, "", "_x");
  EXPECT_TRUE(SameAsMade(folder_ + "2020 a.b_x.jpg", folder_ + "a.b.jpg"));
  EXPECT_TRUE(SameAsMade(folder_ + "2020 README_x", folder_ + "README"));

  // Letter case of the whole name.
  Select({"DSC01.JPG"});
  Rename(4, "", "", true, 1);
  EXPECT_TRUE(SameAsMade(folder_ + "dsc01.jpg", folder_ + "DSC01.JPG"));
  Select({"Trip_img_0002.jpg"});
  Rename(4, "", "", true, 0);
  EXPECT_TRUE(SameAsMade(folder_ + "TRIP_IMG_0002.JPG", folder_ + "img_0002.jpg"));

  // A text that would make a path leaves the file where it is.
  Select({"dsc01.jpg"});
  Rename(2, "", "sub/");
  Rename(3, "", "/..");
  EXPECT_EQ(Panel(), "0 files renamed.");
  EXPECT_EQ(Names(folder_), (std::vector<std::string>{"2020 README_x", "2020 a.b_x.jpg", "Holiday_0001.JPG",
                                                      "Holiday_0001.WAV", "TRIP_IMG_0002.JPG", "dsc01.jpg"}));

  // Pure rule, worked out by hand.
  EXPECT_EQ(TForm1::BatchRenameTarget("/p/IMG_1.JPG", 1, "img", "X", false, 0), "/p/X_1.JPG");
  EXPECT_EQ(TForm1::BatchRenameTarget("/p/IMG_1.JPG", 1, "img", "X", true, 0), "");
  EXPECT_EQ(TForm1::BatchRenameTarget("/p/Übung 1.jpg", 1, "üBUNG", "Test", false, 0), "/p/Test 1.jpg");
  EXPECT_EQ(TForm1::BatchRenameTarget("/p/x.jpg", 3, "", "", true, 0), "");
  EXPECT_EQ(TForm1::BatchRenameTarget("/p/x.jpg", 0, "x", "y", true, 0), "");
}

TEST_F(BatchRenameTest, TheOptionsDialogClickedThroughRenamesTheFilesOnDisk) {
  // The dialog operated as the user does (page, fields, date button, Start), the main
  // window renaming what it gives; the names are read back with find.
  for (const char* name : {"IMG_0001.JPG", "IMG_0001.WAV", "img_0002.jpg", "DSC_0003.JPG", "Notes.TXT"})
    MakeFile(folder_ + name, name);
  StartIn(folder_, {"\"ShowAllFiles\"=dword:00000001"});
  TBatchRenameForm* w = BatchRenameForm;
  auto onDisk = [this] {
    auto r = testsupport::Run({"find", folder_, "-mindepth", "1", "-maxdepth", "1", "-not", "-name", ".*", "-printf",
                               "%f\n"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> names;
    size_t at = 0;
    for (size_t nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1) names.push_back(r.out.substr(at, nl - at));
    std::sort(names.begin(), names.end());
    return names;
  };
  // Runs the command with the dialog driven by act, which ends with a click on Start or
  // Cancel (any message it meets is answered as expected beforehand).
  auto run = [&](const std::vector<std::string>& selected, const std::function<void()>& act) {
    Select(selected);
    ModalResponder::Expect(ModalKind::ShowModal, [act](ModalRequest&) {
      act();
      return int(mrNone);
    });
    Form1->BatchReplace->Click();
    EXPECT_FALSE(ActionRunning);
  };
  std::string today = testsupport::Run({"date", "+%-m-%-d-%Y"}).out;
  while (!today.empty() && today.back() == '\n') today.pop_back();

  // Replace, letter case as typed: img_0002 stays; the memo follows its picture.
  run({"IMG_0001.JPG", "img_0002.jpg"}, [w] {
    w->PageControl1->SetActivePage(w->TabSheet1);
    w->Edit1->SetText("IMG");
    w->Edit2->SetText("Rome");
    w->ChB_Case->SetChecked(true);
    w->ZqButton1->Click();
  });
  EXPECT_EQ(onDisk(), (std::vector<std::string>{"DSC_0003.JPG", "Notes.TXT", "Rome_0001.JPG", "Rome_0001.WAV",
                                                "img_0002.jpg"}));
  EXPECT_TRUE(SameAsMade(folder_ + "Rome_0001.JPG", folder_ + "IMG_0001.JPG"));

  // A suffix of a hyphen and the date put in with the date button behind the caret.
  run({"DSC_0003.JPG"}, [w] {
    w->PageControl1->SetActivePage(w->TabSheet2);
    w->ChB_Suffix->SetChecked(true);
    w->PrefixEdit->SetText("-");
    w->PrefixEdit->SetSelStart(1);
    w->DateButton->Click();
    w->ZqButton1->Click();
  });
  // A prefix word without the date: no separator is added.
  run({"Notes.TXT"}, [w] {
    w->PageControl1->SetActivePage(w->TabSheet2);
    w->ChB_Suffix->SetChecked(false);
    w->PrefixEdit->SetText("Trip");
    w->ZqButton1->Click();
  });
  EXPECT_EQ(onDisk(), (std::vector<std::string>{"DSC_0003-" + today + ".JPG", "Rome_0001.JPG", "Rome_0001.WAV",
                                                "TripNotes.TXT", "img_0002.jpg"}));
  EXPECT_TRUE(SameAsMade(folder_ + "DSC_0003-" + today + ".JPG", folder_ + "DSC_0003.JPG"));
  EXPECT_TRUE(SameAsMade(folder_ + "TripNotes.TXT", folder_ + "Notes.TXT"));

  // The case page: lower case for the whole name.
  run({"Rome_0001.JPG"}, [w] {
    w->PageControl1->SetActivePage(w->TabSheet3);
    w->CaseGroup->SetItemIndex(1);
    w->ZqButton1->Click();
  });
  EXPECT_TRUE(SameAsMade(folder_ + "rome_0001.jpg", folder_ + "IMG_0001.JPG"));

  // A refused replacement keeps the dialog open; Cancel then renames nothing.
  const std::vector<std::string> before = onDisk();
  run({"img_0002.jpg", "TripNotes.TXT"}, [w] {
    w->PageControl1->SetActivePage(w->TabSheet1);
    w->Edit1->SetText("img");
    w->Edit2->SetText("a/b");
    ExpectMessage("/\\:*?\"<>| characters are not allow in file names");
    w->ZqButton1->Click();
    EXPECT_EQ(w->ModalResult(), mrNone);
    w->ZqButton2->Click();
  });
  EXPECT_EQ(onDisk(), before);
  EXPECT_TRUE(Intact(folder_ + "img_0002.jpg"));
}

TEST_F(BatchRenameTest, ATakenNameIsNeverReplacedNotEvenByAChangeOfLetterCase) {
  MakeFile(folder_ + "a.jpg", "a");
  MakeFile(folder_ + "b.jpg", "b");
  MakeFile(folder_ + "x_a.jpg", "x_a");
  MakeFile(folder_ + "DSC01.JPG", "upper");
  MakeFile(folder_ + "dsc01.jpg", "lower");
  MakeFile(folder_ + "P1.JPG", "P1");
  StartIn();

  Select({"a.jpg", "b.jpg"});
  Rename(2, "", "x_");
  EXPECT_EQ(Panel(), "1 file renamed.");
  EXPECT_TRUE(Intact(folder_ + "a.jpg"));
  EXPECT_TRUE(Intact(folder_ + "x_a.jpg"));
  EXPECT_TRUE(SameAsMade(folder_ + "x_b.jpg", folder_ + "b.jpg"));

  // On Linux DSC01.JPG and dsc01.jpg are two files: neither takes the other's name.
  Select({"DSC01.JPG"});
  Rename(4, "", "", true, 1);
  Select({"dsc01.jpg"});
  Rename(4, "", "", true, 0);
  EXPECT_EQ(Panel(), "0 files renamed.");
  EXPECT_TRUE(Intact(folder_ + "DSC01.JPG"));
  EXPECT_TRUE(Intact(folder_ + "dsc01.jpg"));
  // A change of case to a free name goes through.
  Select({"P1.JPG"});
  Rename(4, "", "", true, 1);
  EXPECT_TRUE(SameAsMade(folder_ + "p1.jpg", folder_ + "P1.JPG"));
  EXPECT_FALSE(fs::exists(folder_ + "P1.JPG"));

  // The no-replace rename itself: a taken name is EEXIST and both files stay.
  EXPECT_EQ(TForm1::RenameNoReplace(folder_ + "DSC01.JPG", folder_ + "dsc01.jpg"), EEXIST);
  EXPECT_TRUE(Intact(folder_ + "DSC01.JPG"));
  EXPECT_TRUE(Intact(folder_ + "dsc01.jpg"));
}

TEST_F(BatchRenameTest, ARenameThatFailsIsSaidAndTheFileKeepsItsName) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) MakeFile(folder_ + name, name);
  StartIn();
  for (int error : {EIO, EACCES, EXDEV, ENOSPC}) {
    TFileFaultScope fault(TFileFaultOp::Rename, error, "b.jpg");
    Select({"a.jpg", "b.jpg", "c.jpg"});
    Rename(2, "", "n", true, 0, true);
    EXPECT_EQ(fault.Hits(), 1) << error;
    EXPECT_EQ(LastMessage(), "1 file could not be renamed:\n" + folder_ + "b.jpg") << error;
    EXPECT_TRUE(Intact(folder_ + "b.jpg")) << error;
    EXPECT_EQ(Panel(), "2 files renamed.") << error;
    EXPECT_EQ(Entries(), (std::vector<std::string>{"na.jpg", "b.jpg", "nc.jpg"})) << error;
    // Back for the next round.
    Select({"na.jpg", "nc.jpg"});
    Rename(1, "n", "");
  }
  // A folder the user may not write: every file stays and the command says so.
  if (::geteuid() != 0) {
    ::chmod(folder_.c_str(), 0555);
    Select({"a.jpg", "c.jpg"});
    Rename(3, "", "_new", true, 0, true);
    ::chmod(folder_.c_str(), 0755);
    EXPECT_EQ(LastMessage(), "2 files could not be renamed:\n" + folder_ + "a.jpg\n" + folder_ + "c.jpg");
    EXPECT_EQ(Panel(), "0 files renamed.");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) EXPECT_TRUE(Intact(folder_ + name));
  }
  const std::string refused =
      "No file was renamed, moved or deleted: the paperclip or a show that lists these files cannot follow.\n";
  // The paperclip's new copy cannot be written (a full disk): known before the first
  // rename, so nothing is renamed and that is said once.
  const std::string clip = ListText({folder_ + "a.jpg"});
  MakeFile(AppDir() + "paperclip.lst", clip);
  {
    TFileFaultScope fault(TFileFaultOp::Write, ENOSPC, "/.paperclip.lst.kivo2save-", 0, -1);
    const size_t shown = ModalResponder::History().size();
    Select({"a.jpg", "c.jpg"});
    Rename(3, "", "_1", true, 0, true);
    EXPECT_EQ(LastMessage(), refused + Paperclip() + " cannot be changed: " + strerror(ENOSPC));
    EXPECT_EQ(ModalResponder::History().size(), shown + 2) << "the dialog and one message";
    EXPECT_EQ(Names(folder_), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
  }
  // The renames cannot be noted down: the same.
  for (const auto& [op, error] : {std::pair{TFileFaultOp::Open, ENOSPC}, {TFileFaultOp::Write, ENOSPC},
                                  {TFileFaultOp::Sync, EIO}, {TFileFaultOp::Lock, ENOLCK}}) {
    TFileFaultScope fault(op, error, "/.renames.", 0, -1);
    Select({"a.jpg", "c.jpg"});
    Rename(2, "", "x_", true, 0, true);
    EXPECT_GE(fault.Hits(), 1) << error;
    EXPECT_EQ(LastMessage(), "No file was renamed, moved or deleted: the paperclip or a show lists these files, and "
                             "the record that keeps those lists up to date could not be written in " +
                                 AppDir().substr(0, AppDir().size() - 1) + " (" + strerror(error) + ").")
        << error;
    EXPECT_EQ(Names(folder_), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"})) << error;
  }
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), clip);
  EXPECT_EQ(RecordsIn(AppDir()), std::vector<std::string>{}) << "no record, no copy left";
  // A batch that no list follows needs neither.
  {
    TFileFaultScope full(TFileFaultOp::Write, ENOSPC, "/Kivo2/", 0, -1);
    Select({"b.jpg", "c.jpg"});
    Rename(2, "", "x_");
    EXPECT_EQ(full.Hits(), 0);
  }
  // The list's copy cannot take its name once the files are renamed (a failing disk): said,
  // with where the record of the renames is kept; it is never taken in later.
  {
    TFileFaultScope fault(TFileFaultOp::Rename, EIO, "paperclip.lst", 0, -1);
    Select({"a.jpg"});
    Rename(3, "", "_1", true, 0, true);
  }
  const std::vector<std::string> kept = RecordsIn(AppDir());
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].rfind(".renames.kivo2unread-", 0), 0u) << kept[0];
  EXPECT_EQ(LastMessage(), "These lists could not be brought up to date:\n" + Paperclip() + " (" + strerror(EIO) +
                               ")\nThe record of the renames is kept as " + AppDir() + kept[0] + ".");
  EXPECT_EQ(Names(folder_), (std::vector<std::string>{"a_1.jpg", "x_b.jpg", "x_c.jpg"}));
  Restart();
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), clip);
  EXPECT_EQ(RecordsIn(AppDir()), kept);
}

// Another program holds the Shows folder. A batch whose files two shows name waits for it
// once (not once per show) and then renames nothing and says why once; the paperclip,
// which it could lock, is not changed either. A delete, a move, a rename and a folder
// rename wait once each as well (here the user gives the wait up at once). Once the folder
// is free the batch renames and every list that names the files follows at once, while a
// show that names none is not written; a line the user adds for a new picture of an old
// name is never taken for the renamed one.
TEST_F(BatchRenameTest, AListAnotherProgramHoldsStopsTheCommandBeforeItsFirstRename) {
  for (const char* name : {"IMG_0001.jpg", "other.jpg", "Sub/s.jpg"}) MakeFile(folder_ + name, name);
  fs::create_directories(folder_ + "Elsewhere");
  MakeFile(AppDir() + "paperclip.lst", ListText({folder_ + "IMG_0001.jpg"}));
  MakeFile(AppDir() + "Shows/s1.shw", ListText({folder_ + "IMG_0001.jpg", folder_ + "other.jpg"}));
  MakeFile(AppDir() + "Shows/s2.shw", ListText({folder_ + "other.jpg", folder_ + "IMG_0001.jpg", folder_ + "Sub/s.jpg"}));
  MakeFile(AppDir() + "Shows/s3.shw", ListText({folder_ + "none.jpg"}));
  fs::last_write_time(AppDir() + "Shows/s3.shw", fs::file_time_type{});
  StartIn();
  const std::vector<std::string> names = Names(folder_);
  auto listsIntact = [&] {
    for (const char* list : {"paperclip.lst", "Shows/s1.shw", "Shows/s2.shw", "Shows/s3.shw"})
      EXPECT_TRUE(Intact(AppDir() + list)) << list;
    EXPECT_EQ(Names(folder_), names);
    EXPECT_EQ(JournalsIn(AppDir()), 0);
  };
  auto held = std::make_unique<testsupport::HeldLock>(AppDir() + "Shows", "90");
  Select({"IMG_0001.jpg"});
  const auto start = std::chrono::steady_clock::now();
  Rename(1, "IMG", "Trip_IMG", true, 0, true);
  const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(waited, 9.5);
  EXPECT_LT(waited, 15.0) << "one wait for both shows";
  const std::string refused =
      "No file was renamed, moved or deleted: the paperclip or a show that lists these files cannot follow.\n";
  EXPECT_EQ(LastMessage(), refused + "Cannot change file \"" + Shows() + "s1.shw\": another program keeps it in use.");
  listsIntact();

  // The user gives each wait up at once (Esc): each command asks once and says so once.
  static int waits = 0;
  const TLockWaiter before = SetLockWaiter([](const std::string&, const std::function<bool()>&) {
    ++waits;
    return false;
  });
  auto once = [&](const std::string& what, const std::function<void()>& command) {
    waits = 0;
    const size_t shown = ModalResponder::History().size();
    command();
    EXPECT_EQ(waits, 1) << what;
    const std::vector<std::string> said = Messages();
    EXPECT_EQ(std::count_if(said.begin() + long(shown), said.end(),
                            [&](const std::string& text) { return text.rfind(refused, 0) == 0; }),
              1)
        << what;
    listsIntact();
  };
  once("delete", [&] {
    Select({"other.jpg"});
    ExpectMessage("Move 1 file to the Trash?", mrYes, ModalKind::MessageDlg);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Form1->P_Deletefile->Click();
  });
  once("move", [&] {
    Select({"other.jpg"});
    Form1->CutFiles1->Click();
    Form1->QzDirTree211->OpenPath(folder_ + "Elsewhere/");
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Form1->CopyPastefiles("", false);
    Form1->QzDirTree211->OpenPath(folder_);
  });
  once("rename", [&] {
    Select({"other.jpg"});
    ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest&) {
      FormEditName->Edit1->SetText("renamed");
      ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
      ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
      FormEditName->ZqButton1->Click();
      return FormEditName->ModalResult();
    });
    Form1->Renamefile1->Click();
  });
  once("folder rename", [&] {
    Form1->QzDirTree211->OpenPath(folder_ + "Sub/");
    ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    EXPECT_FALSE(Form1->QzDirTree211->RenameFolder(Form1->QzDirTree211->Selected(), "Sub2"));
    Form1->QzDirTree211->OpenPath(folder_);
  });
  SetLockWaiter(before);
  held.reset();

  Select({"IMG_0001.jpg"});
  Rename(1, "IMG", "Trip_IMG");
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), ListText({folder_ + "Trip_IMG_0001.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(Shows() + "s1.shw"), ListText({folder_ + "Trip_IMG_0001.jpg", folder_ + "other.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(Shows() + "s2.shw"),
            ListText({folder_ + "other.jpg", folder_ + "Trip_IMG_0001.jpg", folder_ + "Sub/s.jpg"}));
  EXPECT_EQ(fs::last_write_time(Shows() + "s3.shw"), fs::file_time_type{}) << "a show naming none is not written";
  EXPECT_EQ(JournalsIn(AppDir()), 0);
  // The next card's IMG_0001 goes into the first show above the renamed picture; the next
  // batch leaves it where it is.
  MakeFile(folder_ + "IMG_0001.jpg", "the next card");
  testsupport::WriteFile(Shows() + "s1.shw",
                         ListText({folder_ + "IMG_0001.jpg", folder_ + "Trip_IMG_0001.jpg", folder_ + "other.jpg"}));
  Form1->Reload1->Click();
  Select({"other.jpg"});
  Rename(2, "", "x_");
  EXPECT_EQ(testsupport::ReadFile(Shows() + "s1.shw"),
            ListText({folder_ + "IMG_0001.jpg", folder_ + "Trip_IMG_0001.jpg", folder_ + "x_other.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(folder_ + "Trip_IMG_0001.jpg"), "IMG_0001.jpg");
}

// Runs fn in a child process (which a kill fault armed there may end) and waits for it.
static void InChild(const std::function<void()>& fn) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    SetLockWaiter(nullptr);
    fn();
    ::_exit(0);
  }
  ASSERT_GT(pid, 0);
  ::waitpid(pid, nullptr, 0);
}

// A command of the list layer as the main window runs one: the lists follow (Begin), the
// files are renamed in order without replacing any (a deleted one goes into trash), and
// the lists take the renames (Finish). False when it was refused. meanwhile runs once the
// lists are locked, before the first rename.
static bool RunCommand(const TListPlace& place, const std::vector<TFileRename>& plan, const std::string& trash,
                       const std::function<void()>& meanwhile = nullptr) {
  TListRenames lists(place);
  if (!lists.Begin(plan)) return false;
  if (meanwhile) meanwhile();
  static int gone = 0;
  for (const TFileRename& r : plan)
    if (fileio::RenameNoReplace(r.From, r.To.empty() ? trash + std::to_string(::getpid()) + "-" + std::to_string(++gone)
                                                     : r.To) == 0)
      lists.Done(r.From);
  lists.Finish();
  return true;
}

// Writes text to path as an editor that keeps the file's times does: in place, or as a new
// file put in its place.
static void WriteKeepingTimes(const std::string& path, const std::string& text, bool inPlace = true) {
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  const std::string to = inPlace ? path : path + ".new";
  std::ofstream(to, std::ios::binary | std::ios::out | (inPlace ? std::ios::in : std::ios::trunc)) << text;
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, to.c_str(), times, 0), 0);
  if (!inPlace) fs::rename(to, path);
}

// A show that cannot take its new copy (read-only) names a file of a batch: the batch
// renames nothing and says which list; three batches that no list follows then go ahead
// without a record. A show that is a link to another is one list, and a batch whose
// renames chain (the prefix "a" on ab.jpg and b.jpg) leaves it naming each picture once
// where it is. A killed batch's record is taken in at the next start; one that cannot be
// read (cut short, its counts damaged, garbage, of an earlier version, unreadable) is set
// aside and named once with the lists that may name old names, never taken in in part.
TEST_F(BatchRenameTest, AListThatCannotChangeStopsTheBatchAndNoRecordIsTakenInPart) {
  for (const char* name : {"ab.jpg", "b.jpg", "c1.jpg", "o1.jpg", "o2.jpg", "o3.jpg"}) MakeFile(folder_ + name, name);
  auto at = [this](const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(folder_ + name);
    return ListText(paths);
  };
  MakeFile(AppDir() + "Shows/trip/s.shw", at({"ab.jpg", "b.jpg", "c1.jpg"}));
  fs::create_symlink(AppDir() + "Shows/trip/s.shw", AppDir() + "Shows/link.shw");
  StartIn();
  const std::string show = Shows() + "trip/s.shw";
  {
    TFileFaultScope readOnly(TFileFaultOp::Open, EROFS, "/Shows/trip/.", 0, -1);
    Select({"c1.jpg"});
    Rename(1, "c1", "c2", true, 0, true);
    EXPECT_EQ(LastMessage(),
              "No file was renamed, moved or deleted: the paperclip or a show that lists these files cannot follow.\n" +
                  show + " cannot be changed: " + strerror(EROFS));
    for (const char* name : {"o1.jpg", "o2.jpg", "o3.jpg"}) {
      const size_t shown = ModalResponder::History().size();
      Select({name});
      Rename(2, "", "x_");
      EXPECT_EQ(ModalResponder::History().size(), shown + 1) << "the dialog alone";
    }
  }
  // The Shows folder on a file system that locks no folders, read-only so that no lock
  // file can be made there either: a picture no show names is renamed as ever, one that a
  // show names is not, and that is said once.
  {
    TFileFaultScope noLocks(TFileFaultOp::Lock, EBADF, "/Shows", 0, -1);
    TFileFaultScope readOnly(TFileFaultOp::Open, EROFS, "/.kivo2.lock", 0, -1);
    const size_t shown = ModalResponder::History().size();
    Select({"x_o1.jpg"});
    Rename(1, "x_", "y_");
    EXPECT_EQ(ModalResponder::History().size(), shown + 1) << LastMessage();
    Select({"c1.jpg"});
    Rename(1, "c1", "c2", true, 0, true);
    EXPECT_EQ(LastMessage(),
              "No file was renamed, moved or deleted: the paperclip or a show that lists these files cannot follow.\n"
              "Cannot change file \"" +
                  show + "\": it cannot be locked against other programs. " + strerror(EROFS));
  }
  // A show too large to be a list of pictures is neither shown nor changed, and holds
  // nothing up.
  testsupport::WriteFile(Shows() + "huge.shw", at({"y_o1.jpg"}) + std::string(65 << 20, 'x'));
  Select({"y_o1.jpg"});
  Rename(1, "y_", "z_");
  fs::remove(Shows() + "huge.shw");
  EXPECT_EQ(Names(folder_), (std::vector<std::string>{"ab.jpg", "b.jpg", "c1.jpg", "x_o2.jpg", "x_o3.jpg", "z_o1.jpg"}));
  EXPECT_EQ(RecordsIn(AppDir()), std::vector<std::string>{}) << "no record is left";
  Select({"ab.jpg", "b.jpg"});
  Rename(2, "", "a");
  EXPECT_EQ(testsupport::ReadFile(show), at({"aab.jpg", "ab.jpg", "c1.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(Shows() + "link.shw"), at({"aab.jpg", "ab.jpg", "c1.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(folder_ + "ab.jpg"), "b.jpg");
  EXPECT_TRUE(fs::is_symlink(Shows() + "link.shw"));

  // The batch c1 -> c2 killed once the picture is renamed, before the show takes it.
  auto killed = [&] {
    const TListPlace place = Form1->ListPlace();
    InChild([&] {
      ArmFileFault({TFileFaultOp::Rename, kFileFaultKill, "/.s.shw.kivo2save-"});
      RunCommand(place, {{folder_ + "c1.jpg", folder_ + "c2.jpg"}}, "");
    });
    std::vector<std::string> journals;
    for (const std::string& name : FolderEntries(AppDir()))
      if (name.rfind(".renames.kivo2journal-", 0) == 0) journals.push_back(AppDir() + name);
    EXPECT_TRUE(fs::exists(folder_ + "c2.jpg"));
    EXPECT_EQ(journals.size(), 1u);
    return journals.empty() ? std::string() : journals[0];
  };
  std::string journal = killed();
  // Work copies that killed saves left beside the lists go at the next start; one of a
  // program that runs stays.
  std::string live = WorkFileTemplate(Paperclip(), kSaveWorkKind);
  live.replace(live.size() - 6, 6, "Ab12Cd");
  for (const std::string& copy : {AppDir() + ".paperclip.lst.kivo2save-999999999.1-Ab12Cd",
                                  Shows() + "trip/.s.shw.kivo2save-999999999.1-Ab12Cd", live})
    testsupport::WriteFile(copy, "a copy");
  Restart();
  EXPECT_EQ(RecordsIn(AppDir()), std::vector<std::string>{live.substr(AppDir().size())});
  EXPECT_EQ(RecordsIn(Shows() + "trip/"), std::vector<std::string>{});
  fs::remove(live);
  EXPECT_EQ(testsupport::ReadFile(show), at({"aab.jpg", "ab.jpg", "c2.jpg"}));
  EXPECT_EQ(JournalsIn(AppDir()), 0);
  fs::rename(folder_ + "c2.jpg", folder_ + "c1.jpg");
  testsupport::WriteFile(show, at({"aab.jpg", "ab.jpg", "c1.jpg"}));
  const std::string whole = testsupport::ReadFile((journal = killed()));
  fs::remove(journal);

  // Records that cannot be read, each alone at a start.
  std::vector<std::pair<std::string, std::string>> damaged;  // name, bytes
  // Cut short: within the header, after it, within the first field, within the renames.
  for (size_t length : {size_t(0), size_t(5), size_t(23), size_t(40), whole.find(folder_ + "c1.jpg"), whole.size() - 1})
    damaged.emplace_back(journal, whole.substr(0, length));
  std::string counted = whole;
  counted.replace(counted.rfind(std::string("\0", 1) + "1" + std::string("\0", 1)), 3, std::string("\0", 1) + "50000000" + std::string("\0", 1));
  damaged.emplace_back(journal, counted);
  std::string garbage(300, '\0');
  std::mt19937 random(7);
  for (char& c : garbage) c = char(random());
  damaged.emplace_back(journal, garbage);
  const std::string earlier = AppDir() + ".batchrename.kivo2journal-999999999.1-Ab12Cd";
  damaged.emplace_back(earlier, folder_ + "ab.jpg" + '\0' + folder_ + "b.jpg" + '\0' + "1" + '\0' + "2" + '\0');
  damaged.emplace_back(journal, whole);  // unreadable, below
  for (size_t i = 0; i < damaged.size(); ++i) {
    SCOPED_TRACE(i);
    testsupport::WriteFile(damaged[i].first, damaged[i].second);
    if (i == 6) {
      // Its counts claim more than the file could hold: refused before anything is made
      // for them (50,000,000 renames would take gigabytes).
      const auto limited = testsupport::RunWithMemoryLimit(64 * testsupport::kMiB, [] {
        std::string message;
        SettleListJournals(Form1->ListPlace(), message);
        return message;
      });
      EXPECT_EQ(limited.text.rfind("returned: A record of renamed files", 0), 0u) << limited.text;
      for (const std::string& name : RecordsIn(AppDir())) fs::remove(AppDir() + name);
      testsupport::WriteFile(damaged[i].first, damaged[i].second);
    }
    TFileFaultScope unreadable(TFileFaultOp::Open, i + 1 == damaged.size() ? EACCES : 0, ".renames.kivo2journal-", 0, -1);
    const size_t shown = ModalResponder::History().size();
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    const auto start = std::chrono::steady_clock::now();
    Restart();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(ModalResponder::History().size(), shown + 1) << "one message";
    const std::string message = LastMessage();
    const size_t kept = message.find(AppDir());
    ASSERT_NE(kept, std::string::npos) << message;
    const std::string aside = message.substr(kept, message.find(".\n", kept) - kept);
    EXPECT_NE(aside.find(".kivo2unread-"), std::string::npos) << message;
    EXPECT_EQ(testsupport::ReadFile(aside), damaged[i].second);
    // The lists it named when that can be read, else every list.
    EXPECT_EQ(message.substr(0, kept),
              "A record of renamed files that a stopped program left could not be taken in; it is kept as ");
    const bool named = i >= 4 && i <= 6;
    EXPECT_EQ(message.substr(message.find(".\n", kept) + 2),
              "These lists may still name files by their old names:\n" + (named ? show : Shows() + "link.shw"))
        << message;
    fs::remove(aside);
    EXPECT_EQ(testsupport::ReadFile(show), at({"aab.jpg", "ab.jpg", "c1.jpg"}));
  }
  EXPECT_EQ(RecordsIn(AppDir()), std::vector<std::string>{});
}

TEST_F(BatchRenameTest, ASearchListOfFullPathsIsRenamedInPlace) {
  const std::string other = testsupport::TempPath("other") + "/";
  MakeFile(folder_ + "IMG_1.jpg", "1");
  MakeFile(other + "IMG_2.jpg", "2");
  MakeFile(other + "IMG_2.WAV", "memo");
  StartIn();
  // A search list: full paths of files in several folders.
  Form1->PanelCustomLists->SetVisible(true);
  Form1->ListBox1->Clear();
  Form1->ListBox1->Items()->Add(folder_ + "IMG_1.jpg");
  Form1->ListBox1->Items()->Add(other + "IMG_2.jpg");
  Select({folder_ + "IMG_1.jpg", other + "IMG_2.jpg"});
  Rename(1, "IMG", "Day");
  EXPECT_EQ(Panel(), "3 files renamed.");
  EXPECT_EQ(Entries(), (std::vector<std::string>{folder_ + "Day_1.jpg", other + "Day_2.jpg"}));
  EXPECT_TRUE(SameAsMade(folder_ + "Day_1.jpg", folder_ + "IMG_1.jpg"));
  EXPECT_TRUE(SameAsMade(other + "Day_2.jpg", other + "IMG_2.jpg"));
  EXPECT_TRUE(SameAsMade(other + "Day_2.WAV", other + "IMG_2.WAV"));
  // Nothing selected: nothing renamed, nothing fails.
  Form1->ListBox1->ClearSelection();
  Form1->ListBox1->SetItemIndex(-1);
  Rename(2, "", "x");
  EXPECT_EQ(Panel(), "0 files renamed.");
}

TEST_F(BatchRenameTest, AThousandFilesAreRenamedEachOnce) {
  for (int i = 0; i < 1000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%04d.jpg", i);
    testsupport::WriteFile(folder_ + name, name);
  }
  StartIn();
  ASSERT_EQ(Form1->ListBox1->Count(), 1000);
  Form1->Selectall1->Click();
  Rename(1, "f", "photo_");
  EXPECT_EQ(Panel(), "1000 files renamed.");
  const std::vector<std::string> names = Names(folder_);
  ASSERT_EQ(names.size(), 1000u);
  for (int i = 0; i < 1000; ++i) {
    char name[32], was[32];
    std::snprintf(name, sizeof name, "photo_%04d.jpg", i);
    std::snprintf(was, sizeof was, "f%04d.jpg", i);
    ASSERT_EQ(names[size_t(i)], name);
    ASSERT_EQ(testsupport::ReadFile(folder_ + name), was);
    ASSERT_EQ(Form1->ListBox1->Items()->Strings(i), name);
  }
}

TEST_F(BatchRenameTest, NamesThatAreNotUtf8KeepTheirBytesOnDiskAndInThePaperclip) {
  // A Latin-1 name beside one that looks like a Windows path: new names and untouched
  // paperclip lines keep their bytes.
  const std::string latin = folder_ + "caf\xE9", other = folder_ + "odd:\\x", away = "/x/D\xFCsseldorf.jpg";
  for (const std::string& path : {latin, other, folder_ + "IMG_1"}) MakeFile(path + ".jpg", path);
  MakeFile(AppDir() + "paperclip.lst", ListText({latin + ".jpg", away, other + ".jpg", folder_ + "IMG_1.jpg"}));
  StartIn();
  Select({"IMG_1.jpg"});
  Rename(1, "IMG", "Trip");
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), ListText({latin + ".jpg", away, other + ".jpg", folder_ + "Trip_1.jpg"}));
  Select({"caf\xE9.jpg", "odd:\\x.jpg"});
  Rename(3, "", "_2");
  EXPECT_TRUE(SameAsMade(latin + "_2.jpg", latin + ".jpg") && SameAsMade(other + "_2.jpg", other + ".jpg"));
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), ListText({latin + "_2.jpg", away, other + "_2.jpg", folder_ + "Trip_1.jpg"}));
}

TEST_F(BatchRenameTest, TheBatchIsRefusedWhileTheShowsTreeIsShown) {
  MakeFile(folder_ + "a.jpg", "a");
  StartIn();
  Form1->M_OpenShow->Click();
  ASSERT_TRUE(Form1->TreeView1->Visible());
  ExpectMessage("Rename not implemented during the paperclip yet.\nFor now rename the file in normal view!");
  Form1->BatchReplace->Click();
  EXPECT_TRUE(Intact(folder_ + "a.jpg"));
}

TEST_F(BatchRenameTest, AFolderRenamedOrMovedInTheTreeTakesTheListsLinesAlong) {
  MakeFile(folder_ + "Trip/day1/a.jpg", "a");
  MakeFile(folder_ + "Trip2/b.jpg", "b");
  fs::create_directories(folder_ + "Target");
  MakeFile(AppDir() + "paperclip.lst", ListText({folder_ + "Trip/day1/a.jpg", folder_ + "Trip2/b.jpg", folder_ + "Trip/gone.jpg"}));
  MakeFile(AppDir() + "Shows/s.shw", ListText({folder_ + "Trip2/b.jpg", folder_ + "Trip/day1/a.jpg"}));
  MakeFile(AppDir() + "W_Folders.txt", ListText({folder_ + "Trip/day1", folder_ + "Trip2"}));
  StartIn(folder_ + "Trip/");
  ASSERT_EQ(Form1->FAppDir, AppDir());
  ASSERT_EQ(Form1->QzDirTree211->SelectedPath(), folder_ + "Trip/");

  // The tree asks before it renames.
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  ASSERT_TRUE(Form1->QzDirTree211->RenameFolder(Form1->QzDirTree211->Selected(), "Journey"));
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), ListText({folder_ + "Journey/day1/a.jpg", folder_ + "Trip2/b.jpg",
                                                          folder_ + "Trip/gone.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(Shows() + "s.shw"), ListText({folder_ + "Trip2/b.jpg", folder_ + "Journey/day1/a.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(Form1->FAppDir + "W_Folders.txt"),
            ListText({folder_ + "Journey/day1", folder_ + "Trip2"}));

  // A move by the tree's cut and paste (the drop of a drag moves the same way): the tree
  // shows the target afterwards.
  Form1->QzDirTree211->CutFolder();
  Form1->QzDirTree211->OpenPath(folder_ + "Target/");
  ASSERT_TRUE(Form1->QzDirTree211->PasteFolder());
  EXPECT_TRUE(fs::exists(folder_ + "Target/Journey/day1/a.jpg"));
  EXPECT_EQ(testsupport::ReadFile(Shows() + "s.shw"),
            ListText({folder_ + "Trip2/b.jpg", folder_ + "Target/Journey/day1/a.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), ListText({folder_ + "Target/Journey/day1/a.jpg",
                                                          folder_ + "Trip2/b.jpg", folder_ + "Trip/gone.jpg"}));
  // A move to another file system that fails part way (one file cannot be removed from
  // the old place): the files that went are named where they are now, the one that stayed
  // where it stayed.
  MakeFile(folder_ + "Trip2/c.jpg", "c");
  testsupport::WriteFile(Paperclip(), testsupport::ReadFile(Paperclip()) + folder_ + "Trip2/c.jpg\r\n");
  {
    TFileFaultScope exdev(TFileFaultOp::Rename, EXDEV, folder_ + "Trip2");
    TFileFaultScope stays(TFileFaultOp::Unlink, EACCES, folder_ + "Trip2/c.jpg");
    Form1->QzDirTree211->OpenPath(folder_ + "Trip2/");
    Form1->QzDirTree211->CutFolder();
    Form1->QzDirTree211->OpenPath(folder_ + "Target/");
    ModalResponder::Expect(ModalKind::MessageDlg, mrOk);
    EXPECT_FALSE(Form1->QzDirTree211->PasteFolder());
  }
  ASSERT_TRUE(fs::exists(folder_ + "Trip2/c.jpg") && !fs::exists(folder_ + "Trip2/b.jpg"));
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), ListText({folder_ + "Target/Journey/day1/a.jpg",
                                                          folder_ + "Target/Trip2/b.jpg", folder_ + "Trip/gone.jpg",
                                                          folder_ + "Trip2/c.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(Shows() + "s.shw"),
            ListText({folder_ + "Target/Trip2/b.jpg", folder_ + "Target/Journey/day1/a.jpg"}));
  // A drag that moved nothing changes nothing.
  TDragObject* object = nullptr;
  const std::string clip = testsupport::ReadFile(Paperclip());
  Form1->QzDirTree211->OpenPath(folder_ + "Trip2/");
  Form1->QzDirTree211StartDrag(Form1->QzDirTree211, object);
  Form1->QzDirTree211->OpenPath(folder_ + "Target/");
  Form1->QzDirTree211EndDrag(Form1->QzDirTree211, nullptr, 0, 0);
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), clip);
}

// The list layer under random commands, from fixed seeds: batches whose renames chain and
// swap (names from a small set, so that one file's new name is another's old one),
// single renames, deletions, moves to another folder, lines the user adds and a show
// renamed in the tree; a command killed at a random file call, with the next start also
// killed at times, or with two programs starting at once, its record's bits flipped, its
// take-in finding the disk full or a list folder read-only, or its lists wider than this
// program's (a file outside them, a second name outside them: never written, the record set
// aside); a second program running a command at the same time, or killed while this one's
// command waits for its lists; list folders another program holds, or read-only; a list
// edited in place during a command by a program that takes no lock, its time set back
// after. One show is a symbolic link to
// another, one a second name (hard link) of a third, and lines name pictures through a
// link to their folder too. After each step and a start, every list names each of its
// pictures once, where it is on disk, in the order the user gave, and keeps every line the
// user added for a picture that still exists; both names of a show read alike; no list
// keeps room set aside; no record and no work copy is left. Last, a data folder that a
// killed batch's copies fill: the next start clears them and then takes the batch in.
TEST(ListRenamesModelTest, EveryListNamesItsPicturesWhereTheyAreWhateverCommandsKillsAndOtherProgramsDo) {
  const TLockWaiter waiter = SetLockWaiter(nullptr);
  const std::vector<std::string> names{"a", "b", "aa", "ab", "ba", "bb", "aab", "abb", "bab", "bba"};
  // KIVO2_MODEL_SEEDS="first-last" runs other seeds.
  unsigned first = 72, last = 100;
  if (const char* seeds = getenv("KIVO2_MODEL_SEEDS")) std::sscanf(seeds, "%u-%u", &first, &last);
  for (unsigned seed = first; seed <= last; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    auto below = [&](size_t n) { return size_t(random() % n); };
    const std::string top = testsupport::TempPath("model" + std::to_string(seed)) + "/";
    const std::string data = top + "data/", trash = top + "trash/", alias = top + "alias/";
    const std::vector<std::string> folders{top + "pics/", top + "other/"};
    const std::string outside = top + "outside/";
    for (const std::string& dir : {data + "Shows/sub", folders[0], folders[1], trash, outside})
      fs::create_directories(dir);
    fs::create_directory_symlink(folders[0], top + "alias");
    std::vector<std::string> lists{data + "paperclip.lst", data + "Shows/a.shw", data + "Shows/sub/b.shw",
                                   data + "Shows/c.shw"};
    const std::string link = data + "Shows/link.shw", second = data + "Shows/sub/second.shw";
    fs::create_symlink(lists[2], link);
    TListPlace place;
    place.DataFolder = data;
    place.Lists = [&] {
      std::vector<std::string> all = lists;
      all.insert(all.begin() + 2, link);
      all.push_back(second);
      return all;
    };
    place.LineToPath = place.PathToLine = [](const std::string& s) { return s; };
    place.LockTimeoutMs = 300;
    // A program whose lists are wider: a file that names every picture and a second name
    // of the paperclip, both outside this program's lists.
    TListPlace wider = place;
    wider.Lists = [&] {
      std::vector<std::string> all = place.Lists();
      all.insert(all.end(), {outside + "notes.txt", outside + "clip.lst"});
      return all;
    };
    // Pictures 0..7 with their number as their bytes, and the pictures each list names in order.
    std::vector<std::vector<int>> want(lists.size());
    std::vector<std::string> shuffled = names;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    for (int id = 0; id < 10; ++id) {
      testsupport::WriteFile(folders[0] + shuffled[size_t(id)] + ".jpg", std::to_string(id));
      for (auto& list : want)
        if (below(2)) list.push_back(id);
    }
    for (auto& list : want) std::shuffle(list.begin(), list.end(), random);
    auto where = [&] {
      std::map<int, std::string> at;
      for (const std::string& folder : folders)
        for (const std::string& name : FolderEntries(folder))
          if (name[0] != '.') at[std::stoi(testsupport::ReadFile(folder + name))] = folder + name;
      return at;
    };
    // The lines of the pictures in pics/ that name them through the link to that folder.
    std::set<std::pair<size_t, int>> throughAlias;
    auto write = [&](size_t l, const std::map<int, std::string>& at) {
      std::string text;
      for (int id : want[l]) {
        const bool aliased = at.at(id).rfind(folders[0], 0) == 0 && below(3) == 0;
        if (aliased) throughAlias.insert({l, id});
        text += (aliased ? alias + ExtractFileName(at.at(id)) : at.at(id)) + "\r\n";
      }
      testsupport::WriteFile(lists[l], text);
    };
    for (size_t l = 0; l < lists.size(); ++l) write(l, where());
    ASSERT_EQ(::link(lists[3].c_str(), second.c_str()), 0);
    // The picture a line leads to (through the folder's link too); -1 for none.
    auto picture = [&](std::string line, const std::map<int, std::string>& at) {
      if (line.rfind(alias, 0) == 0) line = folders[0] + line.substr(alias.size());
      const auto found = std::find_if(at.begin(), at.end(), [&](const auto& p) { return p.second == line; });
      return found == at.end() ? -1 : found->first;
    };
    auto linesOf = [](const std::string& list) {
      std::vector<std::string> lines = testsupport::Lines(testsupport::ReadFile(list));
      for (std::string& line : lines) line = line.substr(0, line.find('\r'));
      return lines;
    };
    auto check = [&](int step) {
      SCOPED_TRACE("step " + std::to_string(step));
      const std::map<int, std::string> at = where();
      ASSERT_EQ(at.size() + FolderEntries(trash).size(), 10u) << "every picture once";
      for (size_t l = 0; l < lists.size(); ++l) {
        std::vector<int> expected;
        for (int id : want[l])
          if (at.count(id)) expected.push_back(id);
        std::vector<int> named;
        const std::string text = testsupport::ReadFile(lists[l]);
        for (size_t from = 0, end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2) {
          named.push_back(picture(text.substr(from, end - from), at));
          EXPECT_NE(named.back(), -1) << lists[l] << " names " << text.substr(from, end - from);
        }
        EXPECT_EQ(named, expected) << lists[l];
        // No room set aside for a copy is kept.
        struct stat st;
        ASSERT_EQ(::stat(lists[l].c_str(), &st), 0);
        EXPECT_LE(st.st_blocks * 512, (st.st_size + 4095) / 4096 * 4096) << lists[l];
      }
      EXPECT_EQ(testsupport::ReadFile(second), testsupport::ReadFile(lists[3])) << "both names of a show";
      for (const std::string& folder : {data, data + "Shows/", data + "Shows/sub/"})
        for (const std::string& name : FolderEntries(folder))
          EXPECT_TRUE(name == "Shows" || name == "sub" || name[0] != '.' || name == ".kivo2.lock") << name;
    };
    // A start of the program: work copies cleared, records of killed commands taken in. A
    // list the user changed after a kill (changed) may keep a line that could name another
    // picture now, named in the one message; the user has it so.
    std::set<size_t> changed;
    auto start = [&] {
      std::string message;
      ClearListLeftovers(place);
      EXPECT_TRUE(SettleListJournals(place, message)) << message;
      std::replace(message.begin(), message.end(), '\r', '\n');
      const std::vector<std::string> named = testsupport::Lines(message);
      const bool unsure = named.size() > 2 && named[0].starts_with("The renames of a stopped program were taken into");
      for (size_t n = 2; unsure && n < named.size(); ++n) {
        const auto l = std::find_if(changed.begin(), changed.end(), [&](size_t c) { return RealPath(named[n]) == RealPath(lists[c]); });
        ASSERT_NE(l, changed.end()) << named[n] << " was not changed after the kill: " << message;
        want[*l].clear();
        for (const std::string& line : linesOf(lists[*l])) want[*l].push_back(picture(line, where()));
      }
      EXPECT_EQ(unsure ? "" : message, "");
      changed.clear();
    };
    auto journals = [&] {
      std::vector<std::string> found;
      for (const std::string& name : FolderEntries(data))
        if (name.rfind(".renames.kivo2journal-", 0) == 0) found.push_back(data + name);
      return found;
    };
    // The user adds a picture to a list (through the one way in, as a window does).
    auto add = [&](const TListPlace& how) {
      const std::map<int, std::string> at = where();
      const size_t l = below(lists.size());
      const int id = at.empty() ? -1 : std::next(at.begin(), long(below(at.size())))->first;
      if (id >= 0 && !std::count(want[l].begin(), want[l].end(), id) &&
          ChangeListLines(how, lists[l], [&](TStringList& lines) {
            // Where the picture is once the list is had (another program may have moved it meanwhile).
            const std::map<int, std::string> now = where();
            return now.count(id) && lines.Add(now.at(id)) >= 0;
          }))
        want[l].push_back(id);
    };
    // The user edits list l in place with a program that takes no lock: two of its lines
    // swapped, its time set back.
    auto editInPlace = [&](size_t l) {
      std::vector<std::string> lines = linesOf(lists[l]);
      if (lines.size() < 2) return;
      const size_t i = below(lines.size() - 1), j = i + 1 + below(lines.size() - i - 1);
      const auto a = std::find(want[l].begin(), want[l].end(), picture(lines[i], where()));
      const auto b = std::find(want[l].begin(), want[l].end(), picture(lines[j], where()));
      if (a == want[l].end() || b == want[l].end()) return;
      std::iter_swap(a, b);
      std::swap(lines[i], lines[j]);
      std::string text;
      for (const std::string& line : lines) text += line + "\r\n";
      WriteKeepingTimes(lists[l], text);
    };
    // A random command on the pictures as they are now.
    auto command = [&] {
      const std::map<int, std::string> at = where();
      std::vector<std::string> files;
      for (const auto& [id, path] : at) files.push_back(path);
      std::shuffle(files.begin(), files.end(), random);
      std::vector<TFileRename> plan;
      if (files.empty()) return plan;
      // Batches, single renames, a deletion now and then, moves.
      const size_t kind = std::vector<size_t>{0, 0, 0, 1, 1, 3, 3, 2, 4, 4}[below(10)];
      const size_t count = kind == 0 || kind == 4 ? 2 + below(5) : 1 + below(2);
      if (kind == 4) {
        // A chain in one folder: the last file to a new name, each other one to the name
        // the next one has just left.
        std::vector<std::string> chain;
        for (const std::string& file : files)
          if (chain.size() < count && ExtractFilePath(file) == ExtractFilePath(files[0])) chain.push_back(file);
        for (const std::string& name : names)
          if (!fs::exists(ExtractFilePath(chain.back()) + name + ".jpg")) {
            plan.push_back({chain.back(), ExtractFilePath(chain.back()) + name + ".jpg"});
            break;
          }
        for (size_t i = chain.size() - 1; i > 0 && !plan.empty(); --i) plan.push_back({chain[i - 1], chain[i]});
        return plan;
      }
      for (size_t i = 0; i < count && i < files.size(); ++i) {
        const std::string& file = files[i];
        std::string folder = ExtractFilePath(file);
        if (kind == 3) folder = folder == folders[0] ? folders[1] : folders[0];
        plan.push_back({file, kind == 2 ? std::string() : folder + (kind == 3 ? ExtractFileName(file)
                                                                             : names[below(names.size())] + ".jpg")});
      }
      return plan;
    };
    // A window lists a list; another program's command or added line comes before the user's
    // change (entries removed, or a new order less some) is written, at times through the link:
    // the lines still there take the new order in their places, every other line stays.
    auto window = [&] {
      const size_t l = below(lists.size());
      auto has = [](const std::vector<std::string>& in, const std::string& s) { return std::count(in.begin(), in.end(), s); };
      const std::vector<std::string> view = linesOf(lists[l]);
      std::vector<std::string> entries = view, removed, kept, expected;
      std::shuffle(entries.begin(), entries.end(), random);
      for (size_t n = 1 + below(2); n > 0 && !entries.empty(); --n, entries.pop_back())
        removed.push_back(entries.back());
      below(2) ? void(RunCommand(place, command(), trash)) : add(place);
      const bool reorder = below(2);
      const std::vector<std::string> lines = linesOf(lists[l]);
      for (const std::string& entry : entries)
        if (has(lines, entry)) kept.push_back(entry);
      auto next = kept.begin();
      for (const std::string& line : lines)
        if (!has(removed, line)) expected.push_back(reorder && has(kept, line) ? *next++ : line);
      ASSERT_TRUE(ChangeListLines(place, l == 2 && below(2) ? link : lists[l], [&](TStringList& now) {
        return EditListLines(now, reorder ? view : removed, reorder ? entries : std::vector<std::string>{},
                             place.LineToPath, place.PathToLine);
      }) || expected == lines);
      want[l].clear();
      for (const std::string& line : expected) want[l].push_back(picture(line, where()));
    };
    for (int step = 0; step < 24; ++step) {
      const size_t what = below(10);
      SCOPED_TRACE("kind " + std::to_string(what));
      if (what == 0) {
        add(place);
      } else if (what == 9) {
        window();
      } else if (what == 8) {
        // The show a.shw renamed in the tree, and back at times.
        const std::string to = data + (lists[1] == data + "Shows/a.shw" ? "Shows/sub/a2.shw" : "Shows/a.shw");
        ChangeListEntries(place, {lists[1], to}, [&] { ASSERT_EQ(fileio::RenameNoReplace(lists[1], to), 0); });
        lists[1] = to;
        continue;
      } else if (what == 1 || what == 2) {
        // Killed at a random file call; the start after it killed as well at times, or
        // two programs starting at once.
        const TFileFaultOp ops[] = {TFileFaultOp::Open, TFileFaultOp::Write, TFileFaultOp::Rename,
                                    TFileFaultOp::Rename, TFileFaultOp::Sync, TFileFaultOp::Unlink};
        const auto plan = command();
        // Anywhere; among the renames of the files (the record's own rename comes first);
        // while the lists take their new copies; once they all have them.
        const int renames = int(plan.size()) + 1;
        TFileFault kill{ops[below(6)], kFileFaultKill, top, int(below(plan.size() + 5))};
        switch (below(4)) {
          case 1: kill = {TFileFaultOp::Rename, kFileFaultKill, top, int(below(size_t(renames)))}; break;
          case 2: kill = {TFileFaultOp::Rename, kFileFaultKill, top, renames + int(below(3))}; break;
          case 3: kill = {TFileFaultOp::Unlink, kFileFaultKill, top, 0}; break;
        }
        // At times by a program whose lists are wider than this one's.
        const bool wide = what == 1 && below(4) == 0;
        if (wide) {
          std::string every;
          for (const auto& [id, path] : where()) every += path + "\r\n";
          testsupport::WriteFile(outside + "notes.txt", every);
          fs::remove(outside + "clip.lst");
          ASSERT_EQ(::link(lists[0].c_str(), (outside + "clip.lst").c_str()), 0);
        }
        InChild([&] {
          ArmFileFault(kill);
          RunCommand(wide ? wider : place, plan, trash);
        });
        const std::vector<std::string> left = journals();
        if (wide && !left.empty()) {
          // This program writes no file outside its lists and clears nothing beside them:
          // the record is set aside with its message; the wider program then takes it in.
          const std::vector<std::string> beside = FolderEntries(outside);
          const std::string notes = testsupport::ReadFile(outside + "notes.txt");
          const std::string clip = testsupport::ReadFile(outside + "clip.lst");
          std::string message;
          ClearListLeftovers(place);
          SettleListJournals(place, message);
          EXPECT_NE(message.find("could not be taken in"), std::string::npos) << message;
          EXPECT_EQ(FolderEntries(outside), beside);
          EXPECT_EQ(testsupport::ReadFile(outside + "notes.txt"), notes);
          EXPECT_EQ(testsupport::ReadFile(outside + "clip.lst"), clip);
          for (const std::string& name : FolderEntries(data))
            if (name.find(".kivo2unread-") != std::string::npos) fs::rename(data + name, left[0]);
          EXPECT_TRUE(SettleListJournals(wider, message)) << message;
        } else if (what == 1 && !left.empty() && below(2)) {
          // A bit of its record flipped: set aside with one message, never taken in; the
          // record as it was is then taken in.
          const std::string whole = testsupport::ReadFile(left[0]);
          std::string flipped = whole;
          const size_t bit = below(whole.size() * 8);
          flipped[bit / 8] = char(flipped[bit / 8] ^ (1 << (bit % 8)));
          testsupport::WriteFile(left[0], flipped);
          std::string message;
          SettleListJournals(place, message);
          EXPECT_NE(message.find("could not be taken in"), std::string::npos) << "bit " << bit << ": " << message;
          ASSERT_EQ(journals(), std::vector<std::string>{}) << "bit " << bit;
          for (const std::string& name : FolderEntries(data))
            if (name.find(".kivo2unread-") != std::string::npos) fs::remove(data + name);
          testsupport::WriteFile(left[0], whole);
        } else if (what == 1 && !left.empty()) {
          // Its take-in finds the disk full or a list folder read-only: the record stays for
          // the next start.
          const std::string folder = std::vector<std::string>{"data/.paperclip", "Shows/.", "sub/."}[below(3)];
          TFileFaultScope full(below(2) ? TFileFault{TFileFaultOp::Write, ENOSPC, data, 0, -1}
                                        : TFileFault{TFileFaultOp::Open, EROFS, folder, 0, -1});
          std::string message;
          ClearListLeftovers(place);
          if (!SettleListJournals(place, message)) {
            EXPECT_NE(message.find("taken in at the next start"), std::string::npos) << message;
            EXPECT_EQ(journals(), left);
            // A command meanwhile goes ahead only when no list of the kept record names its files.
            RunCommand(place, command(), trash);
          }
        }
        // Before the next start the user renames a show in the Shows folder, has an editor
        // replace a list (a new file of the same bytes and times) or edits one in place.
        if (what == 2 && !left.empty() && below(2)) {
          const size_t how = below(3), l = how == 0 ? 1 : below(how == 1 ? 3 : 4);
          changed.insert(l);
          if (how == 0) {
            const std::string to = data + (lists[1] == data + "Shows/a.shw" ? "Shows/sub/a2.shw" : "Shows/a.shw");
            ASSERT_EQ(fileio::RenameNoReplace(lists[1], to), 0);
            lists[1] = to;
          } else if (how == 1) {
            // At times with a line for a picture by a name the killed command renamed another from.
            std::string more;
            for (const auto& [id, path] : where())
              if (more.empty() && !std::count(want[l].begin(), want[l].end(), id) && below(2) &&
                  std::any_of(plan.begin(), plan.end(), [&](const TFileRename& r) { return r.From == path; })) {
                more = path + "\r\n";
                want[l].push_back(id);
              }
            WriteKeepingTimes(RealPath(lists[l]), testsupport::ReadFile(lists[l]) + more, false);
          } else {
            editInPlace(l);
          }
        }
        // (Its one message is seen here: no other start takes the record in first.)
        if (!changed.empty()) {
        } else if (what == 2 && below(2)) {
          kill = {ops[below(6)], kFileFaultKill, top, int(below(6))};
          InChild([&] {
            ArmFileFault(kill);
            std::string message;
            SettleListJournals(place, message);
          });
        } else if (what == 2) {
          int go[2];
          ASSERT_EQ(::pipe(go), 0);
          for (int i = 0; i < 2; ++i)
            if (::fork() == 0) {
              SetLockWaiter(nullptr);
              char c;
              if (::read(go[0], &c, 1) == 1) {
                std::string message;
                SettleListJournals(place, message);
              }
              ::_exit(0);
            }
          ASSERT_EQ(::write(go[1], "gg", 2), 2);
          ::close(go[0]);
          ::close(go[1]);
          while (::wait(nullptr) > 0) {
          }
        }
      } else if (what == 3) {
        // A second program's command at the same time, or one that pauses among its renames
        // while this program renames what it sees then (what the other one renamed too), and
        // at times is killed there while this program's command, or a line it adds, waits for
        // its lists.
        const auto theirs = command();
        const size_t pauses = below(3);  // 1: goes on after; 2: killed
        const int at = 2 + int(below(std::max<size_t>(theirs.size(), 1)));
        const pid_t pid = ::fork();
        if (pid == 0) {
          SetLockWaiter(nullptr);
          if (pauses) ArmFileFault({TFileFaultOp::Rename, kFileFaultStop, top, at});
          RunCommand(place, theirs, trash);
          ::_exit(0);
        }
        int status = 0;
        if (pauses) ::waitpid(pid, &status, WUNTRACED);
        TListPlace waits = place;
        pid_t killer = -1;
        if (pauses == 2 && WIFSTOPPED(status)) {
          waits.LockTimeoutMs = 5000;
          if ((killer = ::fork()) == 0) {
            ::usleep(150000);
            ::kill(pid, SIGKILL);
            ::_exit(0);
          }
        }
        // At times a third program's command waits for those lists too, begun before or after
        // this one, and is killed at times while it takes the killed one's renames in.
        pid_t third = -1;
        if (killer > 0 && below(2)) {
          const auto plan = command();
          const bool first = below(2), killed = below(3) == 0;
          if ((third = ::fork()) == 0) {
            SetLockWaiter(nullptr);
            if (!first) ::usleep(50000);
            if (killed) ArmFileFault({TFileFaultOp::Rename, kFileFaultKill, data});
            RunCommand(waits, plan, trash);
            ::_exit(0);
          }
          if (first) ::usleep(50000);
        }
        if (killer > 0 && below(3) == 0)
          add(waits);
        else
          RunCommand(waits, command(), trash);
        if (third > 0) ::waitpid(third, nullptr, 0);

        if (pauses == 1 && WIFSTOPPED(status)) ::kill(pid, SIGCONT);
        ::waitpid(pid, nullptr, 0);
        if (killer > 0) ::waitpid(killer, nullptr, 0);
      } else if (what == 4) {
        // A list folder another program holds: the command waits, then does nothing when
        // it needs that folder.
        const std::string folder = std::vector<std::string>{data, data + "Shows", data + "Shows/sub"}[below(3)];
        testsupport::HeldLock held(folder, "30");
        RunCommand(place, command(), trash);
      } else if (what == 5) {
        // A read-only list folder.
        const std::string folder = std::vector<std::string>{"data/.", "Shows/.", "sub/."}[below(3)];
        TFileFaultScope readOnly(TFileFaultOp::Open, EROFS, folder, 0, -1);
        RunCommand(place, command(), trash);
      } else {
        // At times a list is edited in place meanwhile by a program that takes no lock: two of
        // its lines swapped, its time set back.
        const bool edits = below(3) == 0;
        const size_t l = below(lists.size());
        RunCommand(place, command(), trash, [&] {
          if (edits) editInPlace(l);
        });
      }
      start();
      check(step);
      if (HasFailure()) break;
    }
    if (HasFailure()) break;
  }

  // A data folder of 8 MB that a batch of 2,000 pictures named by a 2.4 MB paperclip fills
  // with its work copy, killed at its 1,500th rename: taking the batch in clears that copy
  // first.
  const std::string top = testsupport::TempPath("fulldata") + "/";
  testsupport::ScratchMount full(top + "data", 8);
  if (full.Mounted()) {
    fs::create_directories(top + "pics");
    TListPlace place;
    place.DataFolder = top + "data/";
    place.Lists = [&] { return std::vector<std::string>{top + "data/paperclip.lst"}; };
    place.LineToPath = place.PathToLine = [](const std::string& s) { return s; };
    std::string clip, after;
    std::vector<TFileRename> plan;
    for (int i = 0; i < 24000; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "%05d.jpg", i);
      const std::string far = "/media/card/DCIM/100CANON/a/long/way/to/the/pictures/of/a/trip/" + std::string(name);
      if (i % 12) {
        clip += far + "\r\n";
        after += far + "\r\n";
        continue;
      }
      testsupport::WriteFile(top + "pics/f" + name, name);
      plan.push_back({top + "pics/f" + name, top + "pics/g" + name});
      clip += plan.back().From + "\r\n";
      after += (plan.size() <= 1500 ? plan.back().To : plan.back().From) + "\r\n";
    }
    testsupport::WriteFile(top + "data/paperclip.lst", clip);
    // This program has written into the data folder before (its first write there cleared
    // what was left then), so only the take-in itself can clear the killed one's copy.
    WorkFileTemplate(top + "data/paperclip.lst", kSaveWorkKind);
    InChild([&] {
      ArmFileFault({TFileFaultOp::Rename, kFileFaultKill, top + "pics/", 1500});
      RunCommand(place, plan, "");
    });
    std::string message;
    EXPECT_TRUE(SettleListJournals(place, message)) << message;
    EXPECT_EQ(message, "");
    EXPECT_EQ(testsupport::ReadFile(top + "data/paperclip.lst"), after);
    for (const std::string& name : FolderEntries(top + "data"))
      EXPECT_TRUE(name == "paperclip.lst" || name == ".kivo2.lock") << name;
    // A command that ends as planned keeps no room aside in the list it replaced.
    ASSERT_TRUE(RunCommand(place, {{top + "pics/g00000.jpg", top + "pics/h00000.jpg"}}, ""));
    struct stat st;
    ASSERT_EQ(::stat((top + "data/paperclip.lst").c_str(), &st), 0);
    EXPECT_LE(st.st_blocks * 512, (st.st_size + 4095) / 4096 * 4096);
  }

  // Two programs whose commands meet: the other one, between its record and its renames
  // (x to w, y to x), holds the lists while this one plans x to w. Once that one is done,
  // x holds y's picture and w is taken: this rename fails and the list keeps x for it.
  {
    const std::string dir = testsupport::TempPath("meet") + "/";
    fs::create_directories(dir + "data");
    for (const char* name : {"x.jpg", "y.jpg"}) testsupport::WriteFile(dir + name, name);
    const std::string list = dir + "data/paperclip.lst";
    testsupport::WriteFile(list, dir + "x.jpg\r\n" + dir + "y.jpg\r\n");
    TListPlace place;
    place.DataFolder = dir + "data/";
    place.Lists = [&] { return std::vector<std::string>{list}; };
    place.LineToPath = place.PathToLine = [](const std::string& s) { return s; };
    place.LockTimeoutMs = 5000;
    // While another program's command (theirs) pauses after its record, holding its lists
    // until 0.3 s later, this program does ours.
    auto meanwhile = [&](const std::vector<TFileRename>& theirs, const std::function<void()>& ours) {
      const pid_t other = ::fork();
      if (other == 0) {
        SetLockWaiter(nullptr);
        ArmFileFault({TFileFaultOp::Rename, kFileFaultStop, dir, 1});
        RunCommand(place, theirs, "");
        ::_exit(0);
      }
      int status = 0;
      ::waitpid(other, &status, WUNTRACED);
      const pid_t waker = ::fork();
      if (waker == 0) {
        ::usleep(300000);
        ::kill(other, SIGCONT);
        ::_exit(0);
      }
      ours();
      ::waitpid(other, nullptr, 0);
      ::waitpid(waker, nullptr, 0);
    };
    meanwhile({{dir + "x.jpg", dir + "w.jpg"}, {dir + "y.jpg", dir + "x.jpg"}},
              [&] { EXPECT_TRUE(RunCommand(place, {{dir + "x.jpg", dir + "w.jpg"}}, "")); });
    EXPECT_EQ(testsupport::ReadFile(dir + "w.jpg"), "x.jpg");
    EXPECT_EQ(testsupport::ReadFile(list), dir + "w.jpg\r\n" + dir + "x.jpg\r\n");

    // A paperclip that is a link into another folder: a line added while another program's
    // command holds it waits for that command, and both land.
    fs::create_directories(dir + "elsewhere");
    fs::rename(list, dir + "elsewhere/clip.lst");
    fs::create_symlink(dir + "elsewhere/clip.lst", list);
    meanwhile({{dir + "w.jpg", dir + "v.jpg"}}, [&] {
      ChangeListLines(place, list, [&](TStringList& lines) { return lines.Add(dir + "y.jpg") >= 0; });
    });
    EXPECT_EQ(testsupport::ReadFile(list), dir + "v.jpg\r\n" + dir + "x.jpg\r\n" + dir + "y.jpg\r\n");
    EXPECT_TRUE(fs::is_symlink(list));

    // A record whose list has changed in its place since (its inode number the same: a new
    // list that has that number again, or one written in place) is not taken into it: the
    // chain b to c, a to b killed before the list took it, the list then written in place
    // with the chain done, of the same size, its time set back.
    for (const char* name : {"a.jpg", "b.jpg"}) testsupport::WriteFile(dir + name, name);
    testsupport::WriteFile(list, dir + "b.jpg\r\n" + dir + "a.jpg\r\n");
    InChild([&] {
      ArmFileFault({TFileFaultOp::Rename, kFileFaultKill, dir + "elsewhere/"});
      RunCommand(place, {{dir + "b.jpg", dir + "c.jpg"}, {dir + "a.jpg", dir + "b.jpg"}}, "");
    });
    ASSERT_EQ(testsupport::ReadFile(dir + "c.jpg"), "b.jpg");
    const std::string done = dir + "c.jpg\r\n" + dir + "b.jpg\r\n";
    struct stat was;
    ASSERT_EQ(::stat(list.c_str(), &was), 0);
    std::ofstream(list, std::ios::binary | std::ios::in | std::ios::out) << done;
    const struct timespec times[2] = {was.st_atim, was.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, list.c_str(), times, 0), 0);
    std::string message;
    EXPECT_TRUE(SettleListJournals(place, message)) << message;
    EXPECT_EQ(testsupport::ReadFile(list), done);
  }

  // A show that is a link which another program points to a show in another folder each
  // time this one has waited for a folder (whose holder then lets go), three times: the
  // change writes a show only under its folder's lock, here none at all.
  {
    const std::string dir = testsupport::TempPath("moving") + "/";
    static std::vector<std::unique_ptr<testsupport::HeldLock>> held;
    static std::string show;
    show = dir + "data/s.shw";
    for (int i = 0; i < 4; ++i) {
      fs::create_directories(dir + std::to_string(i));
      testsupport::WriteFile(dir + std::to_string(i) + "/s.shw", "");
      held.push_back(std::make_unique<testsupport::HeldLock>(dir + std::to_string(i), "30"));
    }
    fs::create_directories(dir + "data");
    fs::create_symlink(dir + "0/s.shw", show);
    SetLockWaiter([](const std::string&, const std::function<bool()>& over) {
      const size_t n = size_t(std::count(held.begin(), held.end(), nullptr));
      if (n < 3) {
        fs::remove(show);
        fs::create_symlink(ExtractFileDir(ExtractFileDir(show)) + "/" + std::to_string(n + 1) + "/s.shw", show);
        held[n].reset();
      }
      while (!over()) ::usleep(10000);
      return true;
    });
    TListPlace place;
    place.DataFolder = dir + "data/";
    place.Lists = [&] { return std::vector<std::string>{show}; };
    place.LineToPath = place.PathToLine = [](const std::string& s) { return s; };
    place.LockTimeoutMs = 300;
    EXPECT_ANY_THROW(ChangeListLines(place, show, [](TStringList& lines) { return lines.Add("/x.jpg") >= 0; }));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(testsupport::ReadFile(dir + std::to_string(i) + "/s.shw"), "");
    held.clear();
  }

  // A paperclip and a show with a second name (hard link), pictures in folders a, b, dst, and
  // other programs run beside this one.
  const std::string dir = testsupport::TempPath("more") + "/";
  for (const char* sub : {"data/sub", "a", "b", "dst", "trash"}) fs::create_directories(dir + sub);
  const std::string clip = dir + "data/paperclip.lst", show = dir + "data/h.shw", second = dir + "data/second.shw";
  TListPlace place;
  place.DataFolder = dir + "data/";
  place.Lists = [&] { return std::vector<std::string>{clip, show, second}; };
  place.LineToPath = place.PathToLine = [](const std::string& s) { return s; };
  place.LockTimeoutMs = 5000;
  auto lines = [&](const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += dir + name + "\r\n";
    return text;
  };
  auto run = [&](const std::function<void()>& fn) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      SetLockWaiter(nullptr);
      fn();
      ::_exit(0);
    }
    return pid;
  };
  std::string message;
  // A paste of a/x.jpg and b/x.jpg into dst/, whose x.jpg goes to the Trash first, killed after
  // a/x.jpg was sent to the Trash there for b/x.jpg, or once b/x.jpg is there too: the lines of
  // the pictures in the Trash go, as the paste itself does it.
  for (const std::string killAt : {"b/x.jpg", "data/"}) {
    for (const char* name : {"dst/x.jpg", "a/x.jpg", "b/x.jpg"}) testsupport::WriteFile(dir + name, name);
    testsupport::WriteFile(clip, lines({"dst/x.jpg", "a/x.jpg", "b/x.jpg"}));
    InChild([&] {
      TListRenames renames(place);
      ASSERT_TRUE(renames.Begin({{dir + "dst/x.jpg", ""}, {dir + "a/x.jpg", dir + "dst/x.jpg"}, {dir + "b/x.jpg", dir + "dst/x.jpg"}}));
      int trashed = 0;
      for (const char* from : {"dst/x.jpg", "a/x.jpg", "dst/x.jpg", "b/x.jpg"}) {
        const std::string to = std::string(from) == "dst/x.jpg" ? dir + "trash/" + killAt[0] + std::to_string(++trashed)
                                                                : dir + "dst/x.jpg";
        if (std::string(from) == "b/x.jpg") ArmFileFault({TFileFaultOp::Rename, kFileFaultKill, dir + killAt});
        ASSERT_EQ(fileio::RenameNoReplace(dir + from, to), 0);
        renames.Done(dir + from);
      }
      renames.Finish();
    });
    EXPECT_TRUE(SettleListJournals(place, message) && message.empty()) << message;
    EXPECT_EQ(testsupport::ReadFile(clip), lines({killAt == "data/" ? "dst/x.jpg" : "b/x.jpg"})) << killAt;
    fs::remove(dir + "dst/x.jpg");
  }
  // An editor saves the paperclip after the command's last check of it, while the show's copy
  // is flushed: the paperclip's copy is written anew from the editor's list just before it is put.
  testsupport::WriteFile(dir + "a/p.jpg", "p");
  testsupport::WriteFile(clip, lines({"a/p.jpg"}));
  testsupport::WriteFile(show, lines({"a/p.jpg", "b/x.jpg"}));
  ASSERT_EQ(::link(show.c_str(), second.c_str()), 0);
  const pid_t command = run([&] {
    ArmFileFault({TFileFaultOp::Sync, kFileFaultStop, "/.h.shw.kivo2save-", 1});
    RunCommand(place, {{dir + "a/p.jpg", dir + "a/q.jpg"}}, "", [&] { testsupport::WriteFile(show, testsupport::ReadFile(show)); });
  });
  ::waitpid(command, nullptr, WUNTRACED);
  WriteKeepingTimes(clip, lines({"a/p.jpg", "b/x.jpg"}), false);
  ::kill(command, SIGCONT);
  ::waitpid(command, nullptr, 0);
  EXPECT_EQ(testsupport::ReadFile(clip), lines({"a/q.jpg", "b/x.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(second), lines({"a/q.jpg", "b/x.jpg"}));
  // Killed after the show took its copy and before its second name did; the user then edits
  // the second name in place, its time set back: it keeps the edit and takes the rename.
  testsupport::WriteFile(dir + "b/x.jpg", "x");
  InChild([&] {
    ArmFileFault({TFileFaultOp::Rename, kFileFaultKill, "/.second.shw.kivo2save-"});
    RunCommand(place, {{dir + "b/x.jpg", dir + "b/y.jpg"}}, "");
  });
  ASSERT_EQ(testsupport::ReadFile(show), lines({"a/q.jpg", "b/y.jpg"}));
  WriteKeepingTimes(second, lines({"b/x.jpg", "a/q.jpg"}));
  EXPECT_TRUE(SettleListJournals(place, message) && message.empty()) << message;
  EXPECT_EQ(testsupport::ReadFile(second), lines({"b/y.jpg", "a/q.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(show), lines({"a/q.jpg", "b/y.jpg"}));
  // A record kept while a show's folder is read-only refuses a command on a picture that show
  // names, naming the folder that must be writable, and a line added to the show; a command on
  // a picture no list names goes ahead.
  const std::string kept = dir + "data/sub/k.shw";
  place.Lists = [&] { return std::vector<std::string>{clip, kept}; };
  testsupport::WriteFile(kept, lines({"a/q.jpg", "a/k.jpg"}));
  testsupport::WriteFile(dir + "a/k.jpg", "k");
  InChild([&] {
    ArmFileFault({TFileFaultOp::Rename, kFileFaultKill, "/.paperclip.lst.kivo2save-"});
    RunCommand(place, {{dir + "a/q.jpg", dir + "a/r.jpg"}}, "");
  });
  {
    TFileFaultScope readOnly(TFileFaultOp::Open, EROFS, "sub/.", 0, -1);
    EXPECT_FALSE(SettleListJournals(place, message));
    TListRenames refused(place), free(place);
    EXPECT_FALSE(refused.Begin({{dir + "a/k.jpg", dir + "a/l.jpg"}}));
    EXPECT_EQ(refused.Why(), "No file was renamed, moved or deleted: a list that names these files has to take in the renames "
                             "of a stopped program first, and for that " + dir + "data/sub must be writable (Read-only file system).");
    try {
      ChangeListLines(place, kept, [&](TStringList& l) { return l.Add(dir + "b/y.jpg") >= 0; });
    } catch (const Exception& e) {
      message = e.Message();
    }
    EXPECT_NE(message.find("are kept and taken in at the next start"), std::string::npos) << message;
    EXPECT_TRUE(free.Begin({{dir + "b/y.jpg", dir + "b/z.jpg"}})) << free.Why();
  }
  EXPECT_TRUE(SettleListJournals(place, message) && message.empty()) << message;
  EXPECT_EQ(testsupport::ReadFile(kept), lines({"a/r.jpg", "a/k.jpg"}));
  // P renames a picture that the paperclip and that show name, and is killed while B (a command
  // on a picture only the show names) and Q (a line added to the paperclip) wait for its lists,
  // each begun first once: both lists take P's rename and the others' changes.
  for (const bool qFirst : {false, true}) {
    for (const char* name : {"a/t.jpg", "a/u.jpg", "a/w.jpg"}) testsupport::WriteFile(dir + name, name);
    testsupport::WriteFile(clip, lines({"a/r.jpg"}));
    testsupport::WriteFile(kept, lines({"a/r.jpg", "a/t.jpg"}));
    std::vector<pid_t> programs{run([&] {
      ArmFileFault({TFileFaultOp::Rename, kFileFaultStop, dir + "a/", 1});
      RunCommand(place, {{dir + "a/r.jpg", dir + "a/s.jpg"}, {dir + "a/w.jpg", dir + "a/x.jpg"}}, "");
    })};
    ::waitpid(programs[0], nullptr, WUNTRACED);
    for (int i = 0; i < 2; ++i, ::usleep(100000))
      if ((i == 0) == qFirst)
        programs.push_back(run([&] { ChangeListLines(place, clip, [&](TStringList& l) { return l.Add(dir + "a/u.jpg") >= 0; }); }));
      else
        programs.push_back(run([&] { RunCommand(place, {{dir + "a/t.jpg", dir + "a/v.jpg"}}, ""); }));
    ::kill(programs[0], SIGKILL);
    for (const pid_t pid : programs) ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(testsupport::ReadFile(clip), lines({"a/s.jpg", "a/u.jpg"})) << qFirst;
    EXPECT_EQ(testsupport::ReadFile(kept), lines({"a/s.jpg", "a/v.jpg"})) << qFirst;
    fs::rename(dir + "a/s.jpg", dir + "a/r.jpg");
    fs::remove(dir + "a/v.jpg");
  }
  SetLockWaiter(waiter);
}
// Waits until the batch-rename window has gone and a message stands in its place (up to
// timeoutMs); true when it came.
static bool AwaitBatchMessage(testsupport::RealWindow& x, size_t windows, int timeoutMs) {
  return testsupport::RealWindow::WaitUntil(
      [&] {
        return !x.FindWindow("BatchRenameForm") && !x.FindWindow("LockWaitForm") && x.Windows().size() > windows;
      },
      timeoutMs);
}

// The real program killed (SIGKILL, as a crash or a power cut) at random moments of batches
// of 1,000 renames, fast (shorter than any list update in between could be) or slowed to
// 2 ms each, back and forth, in a folder whose name is not UTF-8 kept as the last folder
// beside a stored text that looks like a Windows path; then started again (in two rounds
// while the killed program is still a zombie, not reaped by its parent), and at last
// left to finish and closed. After each start every file is there once, under its old or
// new name, with its own bytes, and every line of the paperclip and of the show names its
// file where it is; the last folder is stored as it was.
TEST(BatchRenameKillTest, AKilledBatchLosesNoFileAndLeavesTheListsWhole) {
  KIVO2_REQUIRE_REAL_WINDOW();
  constexpr int kFiles = 1000, kRounds = 5;
  const std::string folder = testsupport::TempPath("photos caf\xE9") + "/";
  const std::string appDir = std::string(getenv("XDG_DATA_HOME")) + "/Kivo2/";
  fs::create_directories(folder);
  fs::create_directories(appDir + "Shows");
  auto name = [](char letter, int i) {
    char text[32];
    std::snprintf(text, sizeof text, "%c%04d.jpg", letter, i);
    return std::string(text);
  };
  std::string clip, show;
  for (int i = 0; i < kFiles; ++i) {
    testsupport::WriteFile(folder + name('f', i), name('f', i));
    clip += folder + name('f', i) + "\r\n";
    if (i % 2 == 0) show += folder + name('f', i) + "\r\n";
  }
  testsupport::WriteFile(appDir + "paperclip.lst", clip);
  testsupport::WriteFile(appDir + "Shows/trip.shw", show);
  auto named = [&](char letter) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) count += entry.path().filename().string()[0] == letter;
    return count;
  };
  // Every file once, under either name, with its bytes; each list line names file i where it is, in order.
  const std::string lists[] = {appDir + "paperclip.lst", appDir + "Shows/trip.shw"};
  auto check = [&](int round) {
    SCOPED_TRACE("round " + std::to_string(round));
    EXPECT_EQ(named('f') + named('g'), kFiles);
    for (int i = 0; i < kFiles; ++i) {
      const bool old = fs::exists(folder + name('f', i)), now = fs::exists(folder + name('g', i));
      ASSERT_NE(old, now) << name('f', i);
      EXPECT_EQ(testsupport::ReadFile(folder + name(old ? 'f' : 'g', i)), name('f', i));
    }
    for (int k = 0; k < 2; ++k) {
      const std::string text = testsupport::ReadFile(lists[k]);
      size_t at = 0;
      for (int i = 0; i < kFiles; i += k + 1) {
        const size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << lists[k] << " lost lines";
        const std::string line = text.substr(at, end - at);
        at = end + 2;
        ASSERT_TRUE(line == folder + name('f', i) || line == folder + name('g', i)) << line;
        EXPECT_TRUE(fs::exists(line)) << line;
      }
      EXPECT_EQ(at, text.size()) << lists[k];
    }
  };

  std::random_device seed;
  std::mt19937 random(seed());
  testsupport::RealWindow x;
  testsupport::RealWindow::Options options;
  options.registryValues = {"\"LastPath\"=\"" + folder + "\"", "\"BPrefixEdit\"=\"C:\\\\Users\\\\me\\\\\""};
  for (int round = 1; round <= kRounds; ++round) {
    // Odd rounds rename f to g fast (20 us a file), even ones g to f slowly (2 ms); the last
    // runs to its end.
    const bool slow = round % 2 == 0;
    const char from = slow ? 'g' : 'f', to = slow ? 'f' : 'g';
    options.environment = {std::string("LD_PRELOAD=") + KIVO2_SLOW_RENAME,
                           std::string("KIVO2_RENAME_DELAY_US=") + (slow ? "2000" : "20")};
    ASSERT_TRUE(x.Start(options)) << x.Error();
    ASSERT_TRUE(x.Activate(x.MainWindow()));
    // A cut-off batch goes into the lists once the window shows; its journal then goes.
    ASSERT_TRUE(testsupport::RealWindow::WaitUntil([&] { return JournalsIn(appDir) == 0; }, 20000)) << x.Log();
    check(round);
    x.Reap();
    const int before = named(to);
    const testsupport::XRect d = realwindow::OpenBatchDialog(x, std::string(1, from), std::string(1, to));
    ASSERT_GT(d.width, 0) << x.Describe();
    pollfd watch{inotify_init1(IN_CLOEXEC | IN_NONBLOCK), POLLIN, 0};
    inotify_add_watch(watch.fd, appDir.c_str(), IN_CREATE | IN_MOVED_TO);
    x.Click(d.x + 194, d.y + 178);
    if (round == kRounds) {
      ASSERT_TRUE(testsupport::RealWindow::WaitUntil([&] { return named(to) == kFiles; }, 60000)) << x.Log();
      EXPECT_EQ(x.Close(), 0) << x.Log();
      close(watch.fd);
      check(round);
      break;
    }
    if (slow) {
      const int after = before + 1 + int(random() % unsigned(kFiles - before - 1));
      ASSERT_TRUE(testsupport::RealWindow::WaitUntil([&] { return named(to) >= after; }, 60000)) << x.Log();
    } else {
      // The fast batch renames its 1,000 files in some 30 ms: the kill comes 0-40 ms after
      // the journal is made (inotify tells when).
      for (bool made = false; !made && poll(&watch, 1, 20000) > 0;) {
        char events[4096] __attribute__((aligned(8)));
        const ssize_t size = read(watch.fd, events, sizeof events);
        for (ssize_t at = 0; at < size;) {
          const auto* event = reinterpret_cast<const inotify_event*>(events + at);
          made |= event->len > 0 && std::string(event->name).rfind(".renames.kivo2journal-", 0) == 0;
          at += ssize_t(sizeof(inotify_event) + event->len);
        }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
    }
    x.Kill(round != 2 && round != 3);
    close(watch.fd);
    std::printf("round %d: killed after %d of %d renames\n", round, named(to) - before, kFiles - before);
  }
  // The last folder stays as its bytes stand (grep reads the settings file as bytes).
  EXPECT_EQ(testsupport::Run({"grep", "-acF", "\"LastPath\"=\"" + folder + "\"", x.RegistryFile()}).out, "1\n");
}

// The real program with lists that another program holds, or that a killed program left.
using testsupport::RealWindow;
using testsupport::XRect;

class ListsRealTest : public realwindow::RealWindowCase {
 protected:
  void SetUp() override {
    RealWindowCase::SetUp();
    fs::create_directories(folder_);
    fs::create_directories(appDir_ + "Shows");
  }
  // The selected row's colour in a tree, and the places of the button bar's "Clip" and "Shows" in the main window.
  static constexpr const char* kHighlight = "rgb(48,140,198)";
  static constexpr int kClipX = 1215, kClipY = 32, kShowsX = 311;
  const std::string folder_ = testsupport::TempPath("pics") + "/";
  const std::string appDir_ = std::string(getenv("XDG_DATA_HOME")) + "/Kivo2/";
  std::string Read(const std::string& name) const { return testsupport::ReadFile(appDir_ + name); }
  std::string At(const std::vector<std::string>& names) const {
    std::string text;
    for (const std::string& name : names) text += folder_ + name + "\r\n";
    return text;
  }
  bool Start(bool again = false, const std::vector<std::string>& environment = {}) {
    RealWindow::Options options;
    options.registryValues = {"\"LastPath\"=\"" + folder_ + "\""};
    options.keepSettings = again;
    options.environment = environment;
    return x_.Start(options) && x_.Activate(x_.MainWindow());
  }
  // Edit > Select all in the program's window.
  static bool SelectAll(RealWindow& w) {
    const size_t windows = w.Windows().size();
    w.Key("alt+e");
    if (!RealWindow::WaitUntil([&] { return w.Windows().size() > windows; })) return false;
    w.Key("Return");
    return RealWindow::WaitUntil([&] { return w.Windows().size() == windows; });
  }
  // The processor time the program has used (user and system, /proc/PID/stat), in seconds,
  // and the most memory it has held (VmHWM of /proc/PID/status), in MB.
  double ProcessorSeconds() const {
    const std::string stat = testsupport::ReadFile("/proc/" + std::to_string(x_.Pid()) + "/stat");
    unsigned long user = 0, system = 0;
    if (sscanf(stat.c_str() + stat.rfind(')') + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user,
               &system) != 2)
      return -1;
    return double(user + system) / double(sysconf(_SC_CLK_TCK));
  }
  double PeakMegabytes() const {
    const std::string status = testsupport::ReadFile("/proc/" + std::to_string(x_.Pid()) + "/status");
    const size_t at = status.find("VmHWM:");
    return at == std::string::npos ? -1 : std::stod(status.substr(at + 6)) / 1024;
  }
  // The highlighted row of a tree, found by its colour at the tree's left edge where no
  // folder icon (of much the same blue) lies; empty when there is none.
  XRect Highlight(const XRect& tree) { return BoxNow({tree.x + 1, tree.y, 4, tree.height}, {kHighlight}); }
  // Clicks the highlighted row; false when there is none.
  bool ClickRow(const XRect& tree, int button = 1) {
    const XRect row = Highlight(tree);
    if (row.width) x_.Click(tree.x + tree.width / 2, row.y + row.height / 2, button);
    return row.width > 0;
  }
  // Starts the command of the list's menu ups places above its end on the selected file.
  bool ListMenu(int ups) {
    if (!Opens([&] { x_.Click(35, 460, 3); })) return false;
    for (int i = 0; i < ups; ++i) x_.Key("Up");
    x_.Key("Return");
    return true;
  }
  // What is wrong with a list whose lines should name, one by one, files with these bytes:
  // empty when each line names an existing file that holds its bytes.
  std::string Unfollowed(const std::string& list, const std::vector<std::string>& bytes) const {
    const std::vector<std::string> lines = testsupport::Lines(Read(list));
    int gone = 0, other = 0;
    std::string first;
    for (size_t k = 0; k < lines.size() && k < bytes.size(); ++k) {
      const std::string path = lines[k].substr(0, lines[k].find('\r'));
      const bool there = fs::exists(path);
      if (there && testsupport::ReadFile(path) == bytes[k]) continue;
      ++(there ? other : gone);
      if (first.empty()) first = path;
    }
    if (!gone && !other && lines.size() == bytes.size()) return "";
    return list + ": " + std::to_string(lines.size()) + " lines for " + std::to_string(bytes.size()) + " pictures, " +
           std::to_string(gone) + " name files that are gone, " + std::to_string(other) +
           " another picture; the first: " + first;
  }
  // Once the wait for another program's lock shows its notice, gives it up with Esc: the
  // one message that then says why (within 3 s), answered. False when it did not go so.
  bool GiveUpTheWait() {
    if (!x_.WaitForWindow("LockWaitForm", 8000)) return false;
    const auto escaped = std::chrono::steady_clock::now();
    const size_t windows = x_.Windows().size();
    const unsigned long message = Opens([&] { x_.Key("Escape"); });
    const bool quick = std::chrono::steady_clock::now() - escaped < std::chrono::seconds(3);
    if (!message || x_.FindWindow("LockWaitForm") || !quick) return false;
    x_.Key("Return");
    return RealWindow::WaitUntil([&] { return x_.Windows().size() < windows; });
  }
};

// A batch whose renames chain ("b" by "ab" on ab.jpg, red, and b.jpg, blue) while another
// program holds the Shows folder, where a show, a link to it and a second name of it (a
// hard link) name both pictures: the batch waits with its notice and is killed during the
// wait. Nothing was renamed and the next start has nothing to mend. With the folder free
// the batch renames both, and the show, read through any of its names, names the red
// picture aab.jpg and the blue one ab.jpg, still one file, also after a restart. A show
// that names the pictures through a link to their folder names, line by line, the same
// pictures as before (cmp compares them).
TEST_F(ListsRealTest, AKillDuringAChainedBatchsWaitChangesNothingAndALinkedShowTakesTheBatchOnce) {
  testsupport::WriteFile(folder_ + "ab.jpg", "red");
  testsupport::WriteFile(folder_ + "b.jpg", "blue");
  testsupport::WriteFile(appDir_ + "Shows/trip.shw", At({"ab.jpg", "b.jpg"}));
  fs::create_symlink(appDir_ + "Shows/trip.shw", appDir_ + "Shows/link.shw");
  fs::create_hard_link(appDir_ + "Shows/trip.shw", appDir_ + "Shows/hard.shw");
  const std::string alias = testsupport::TempPath("alias");
  fs::create_directory_symlink(folder_, alias);
  testsupport::WriteFile(appDir_ + "Shows/alias.shw", alias + "/ab.jpg\r\n" + alias + "/b.jpg\r\n");
  const std::vector<std::string> pictures{testsupport::TempFile("red", "red"), testsupport::TempFile("blue", "blue")};
  auto followed = [&] {
    for (const char* show : {"Shows/trip.shw", "Shows/link.shw", "Shows/hard.shw"})
      EXPECT_EQ(Read(show), At({"aab.jpg", "ab.jpg"})) << show;
    EXPECT_TRUE(fs::equivalent(appDir_ + "Shows/trip.shw", appDir_ + "Shows/hard.shw")) << "the names are two files";
    EXPECT_TRUE(fs::is_symlink(appDir_ + "Shows/link.shw"));
    const std::vector<std::string> lines = testsupport::Lines(Read("Shows/alias.shw"));
    ASSERT_EQ(lines.size(), pictures.size()) << Read("Shows/alias.shw");
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string line = lines[i].substr(0, lines[i].find('\r'));
      EXPECT_EQ(testsupport::Run({"cmp", line, pictures[i]}).exitCode, 0) << line << " names another picture";
    }
  };
  auto held = std::make_unique<testsupport::HeldLock>(appDir_ + "Shows", "60");
  ASSERT_TRUE(Start()) << x_.Error();
  XRect d = realwindow::OpenBatchDialog(x_, "b", "ab");
  ASSERT_GT(d.width, 0) << x_.Describe();
  x_.Click(d.x + 194, d.y + 178);
  ASSERT_TRUE(x_.WaitForWindow("LockWaitForm", 8000)) << x_.Describe();
  x_.Kill();
  EXPECT_EQ(testsupport::ReadFile(folder_ + "ab.jpg"), "red");
  EXPECT_EQ(testsupport::ReadFile(folder_ + "b.jpg"), "blue");
  EXPECT_EQ(JournalsIn(appDir_), 0);
  held.reset();

  ASSERT_TRUE(Start(true)) << x_.Error();
  EXPECT_EQ(Read("Shows/trip.shw"), At({"ab.jpg", "b.jpg"}));
  d = realwindow::OpenBatchDialog(x_, "b", "ab");
  ASSERT_GT(d.width, 0) << x_.Describe();
  x_.Click(d.x + 194, d.y + 178);
  // The lists are put in place after the last rename, and then the record goes.
  EXPECT_TRUE(RealWindow::WaitUntil([&] {
    return fs::exists(folder_ + "aab.jpg") && !x_.FindWindow("BatchRenameForm") &&
           Read("Shows/trip.shw") != At({"ab.jpg", "b.jpg"}) && !JournalsIn(appDir_);
  })) << x_.Describe();
  EXPECT_EQ(testsupport::ReadFile(folder_ + "aab.jpg"), "red");
  EXPECT_EQ(testsupport::ReadFile(folder_ + "ab.jpg"), "blue");
  followed();
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
  ASSERT_TRUE(Start(true)) << x_.Error();
  followed();
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
}

// Program A's batch of 1,400 pictures ("b" by "ab"), which the paperclip and two shows
// name, is stopped at some 300 renames holding their locks; program B's rename of another
// picture they name waits with its notice, and A is killed. Once B has the locks it takes
// A's renames in before it reads the lists: each line of each list names its picture (its
// bytes say which) where it is now, B's picture too, and no record is left.
TEST_F(ListsRealTest, ARenameThatWaitedForAKilledBatchTakesTheBatchsRenamesIntoTheLists) {
  constexpr int kFiles = 1400;
  const std::string more = testsupport::TempPath("more") + "/";
  fs::create_directories(more);
  testsupport::WriteFile(more + "q.jpg", "q");
  std::vector<std::string> all, even, third;
  for (int i = 0; i < kFiles; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "b%04d.jpg", i);
    testsupport::WriteFile(folder_ + name, name);
    all.push_back(name);
    if (i % 2 == 0) even.push_back(name);
    if (i % 3 == 0) third.push_back(name);
  }
  testsupport::WriteFile(appDir_ + "paperclip.lst", At(all) + more + "q.jpg\r\n");
  testsupport::WriteFile(appDir_ + "Shows/even.shw", more + "q.jpg\r\n" + At(even));
  testsupport::WriteFile(appDir_ + "Shows/third.shw", At(third));
  auto renamed = [&] {
    int count = 0;
    for (const std::string& name : FolderEntries(folder_)) count += name[0] == 'a';
    return count;
  };
  ASSERT_TRUE(Start(false, {std::string("LD_PRELOAD=") + KIVO2_SLOW_RENAME, "KIVO2_RENAME_DELAY_US=3000"}))
      << x_.Error();
  const XRect d = realwindow::OpenBatchDialog(x_, "b", "ab");
  ASSERT_GT(d.width, 0) << x_.Describe();
  x_.Click(d.x + 194, d.y + 178);
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return renamed() >= 300; }, 30000)) << x_.Describe();
  ::kill(x_.Pid(), SIGSTOP);
  const int done = renamed();
  ASSERT_LT(done, kFiles) << "the batch was over before it was stopped";

  // B: the list's menu, "Rename file" (four up from its end) on q.jpg, "renamed", Yes.
  RealWindow b;
  ASSERT_TRUE(b.Start({.registryValues = {"\"LastPath\"=\"" + more + "\""}}) && b.Activate(b.MainWindow()))
      << b.Error();
  const size_t windows = b.Windows().size();
  b.Click(35, 460, 3);
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return b.Windows().size() > windows; })) << b.Describe();
  b.Key("Up Up Up Up Return");
  ASSERT_TRUE(b.WaitForWindow("FormEditName")) << b.Describe();
  b.Type("renamed");
  b.Key("Return");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return b.Windows().size() > windows + 1; })) << b.Describe();
  b.Key("Return");  // "Rename file to ...?"
  ASSERT_TRUE(b.WaitForWindow("LockWaitForm", 8000)) << b.Describe();
  x_.Kill();
  ASSERT_TRUE(RealWindow::WaitUntil([&] {
    return fs::exists(more + "renamed.jpg") && Read("paperclip.lst").find("renamed.jpg") != std::string::npos &&
           b.Windows().size() == windows;
  })) << b.Describe();
  std::printf("A was stopped after %d of %d renames\n", done, kFiles);
  std::vector<std::string> clip = all, first = even;
  clip.push_back("q");
  first.insert(first.begin(), "q");
  EXPECT_EQ(Unfollowed("paperclip.lst", clip), "");
  EXPECT_EQ(Unfollowed("Shows/even.shw", first), "");
  EXPECT_EQ(Unfollowed("Shows/third.shw", third), "");
  EXPECT_EQ(JournalsIn(appDir_), 0);
  EXPECT_EQ(b.Close(), 0) << b.Log();
}

// Another program holds the paperclip's folder during a batch: the batch waits, Esc gives
// it up with one message and nothing renamed. The user adds the pictures to the paperclip
// again (it names them already), and after the next start it names each once; the batch
// then renames them and the paperclip follows.
TEST_F(ListsRealTest, ThePaperclipHeldDuringABatchThenFilledAgainNamesEachPictureOnce) {
  const std::string first = realwindow::Pictures(folder_, 3);
  testsupport::WriteFile(appDir_ + "paperclip.lst", At({"p0.jpg", "p1.jpg", "p2.jpg"}));
  ASSERT_TRUE(Start()) << x_.Error();
  const size_t windows = x_.Windows().size();
  {
    testsupport::HeldLock held(appDir_, "60");
    const XRect d = realwindow::OpenBatchDialog(x_, "p", "Trip_p");
    ASSERT_GT(d.width, 0) << x_.Describe();
    x_.Click(d.x + 194, d.y + 178);
    EXPECT_TRUE(GiveUpTheWait()) << x_.Describe();
  }
  EXPECT_TRUE(fs::exists(first));
  ASSERT_TRUE(OpensByKeys("alt+e")) << x_.Describe();
  x_.Key("Return");
  ASSERT_TRUE(OpensByKeys("alt+c")) << x_.Describe();
  x_.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Windows().size() == windows; })) << x_.Describe();
  EXPECT_EQ(Read("paperclip.lst"), At({"p0.jpg", "p1.jpg", "p2.jpg"}));
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
  ASSERT_TRUE(Start(true)) << x_.Error();
  EXPECT_EQ(Read("paperclip.lst"), At({"p0.jpg", "p1.jpg", "p2.jpg"}));
  const XRect d = realwindow::OpenBatchDialog(x_, "p", "Trip_p");
  ASSERT_GT(d.width, 0) << x_.Describe();
  x_.Click(d.x + 194, d.y + 178);
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return Read("paperclip.lst") == At({"Trip_p0.jpg", "Trip_p1.jpg", "Trip_p2.jpg"}); }))
      << Read("paperclip.lst");
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
}

// Three shows in a folder another program holds name a picture: its rename (the list's
// "Rename file") and its deletion (the Delete key) each wait once with the notice, and one
// Esc gives each up with one message; nothing is renamed, deleted or written. Then a show
// listed before a second program's rename and deletion loses only the entries removed here.
TEST_F(ListsRealTest, ARenameOrDeleteWaitsOnceForThreeHeldShowsAndOneEscGivesItUp) {
  const std::string first = realwindow::Pictures(folder_, 4);
  for (const char* show : {"Shows/a.shw", "Shows/b.shw", "Shows/c.shw"})
    testsupport::WriteFile(appDir_ + show, At({"p1.jpg", "p0.jpg"}));
  auto held = std::make_unique<testsupport::HeldLock>(appDir_ + "Shows", "90");
  ASSERT_TRUE(Start()) << x_.Error();
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(ListMenu(4)) << x_.Describe();
  ASSERT_TRUE(x_.WaitForWindow("FormEditName")) << x_.Describe();
  x_.Type("renamed");
  ASSERT_TRUE(OpensByKeys("Return")) << x_.Describe();  // "Rename file to ..."
  x_.Key("Return");
  EXPECT_TRUE(GiveUpTheWait()) << x_.Describe();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !x_.FindWindow("FormEditName"); })) << x_.Describe();
  ASSERT_TRUE(x_.Activate(x_.MainWindow()));
  ASSERT_TRUE(OpensByKeys("Delete")) << x_.Describe();  // "Move 1 file to the Trash?"
  x_.Key("Return");
  EXPECT_TRUE(GiveUpTheWait()) << x_.Describe();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30)) << "one wait each, not one per show";
  EXPECT_TRUE(fs::exists(first));
  EXPECT_EQ(FolderEntries(folder_), (std::vector<std::string>{"p0.jpg", "p1.jpg", "p2.jpg", "p3.jpg"}));
  for (const char* show : {"Shows/a.shw", "Shows/b.shw", "Shows/c.shw"}) EXPECT_EQ(Read(show), At({"p1.jpg", "p0.jpg"}));

  // The folder free, this program lists a.shw in "Paperclip and shows"; a second program
  // renames p0.jpg to q0.jpg, this one removes p1 (its list's menu, seven up); the second
  // deletes p3.jpg, this one removes p2: each removal takes its own line out of the show as
  // the second program left it (b.shw follows that program alone).
  held.reset();
  for (const char* show : {"Shows/a.shw", "Shows/b.shw"})
    testsupport::WriteFile(appDir_ + show, At({"p1.jpg", "p2.jpg", "p0.jpg", "p3.jpg"}));
  ASSERT_TRUE(OpensByKeys("alt+c")) << x_.Describe();
  x_.Key("Down Down Down Down Return");
  std::this_thread::sleep_for(std::chrono::seconds(1));
  x_.Key("Down Right a");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return x_.Title(x_.MainWindow()).find("/a.shw") != std::string::npos; }));
  RealWindow y;
  ASSERT_TRUE(y.Start({.registryValues = {"\"LastPath\"=\"" + folder_ + "\""}}) && y.Activate(y.MainWindow()));
  const size_t windows = y.Windows().size();
  auto asks = [&](const std::function<void()>& open, int timeoutMs = 10000) {
    open();
    return RealWindow::WaitUntil([&] { return y.Windows().size() > windows; }, timeoutMs);
  };
  auto removes = [&](const std::vector<std::string>& b, const std::vector<std::string>& a) {
    const std::string before = Read("Shows/a.shw");
    EXPECT_TRUE(RealWindow::WaitUntil([&] { return Read("Shows/b.shw") == At(b); })) << y.Describe();
    EXPECT_TRUE(x_.Activate(x_.MainWindow()) && ListMenu(7) &&
                RealWindow::WaitUntil([&] { return Read("Shows/a.shw") != before; }));
    EXPECT_EQ(Read("Shows/a.shw"), At(a));
  };
  // The list's menu comes once the list has its pictures.
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return asks([&] { y.Click(35, 460, 3); }, 2000); }, 30000)) << y.Describe();
  y.Key("Up Up Up Up Return");
  ASSERT_TRUE(y.WaitForWindow("FormEditName")) << y.Describe();
  y.Type("q0");
  ASSERT_TRUE(asks([&] { y.Key("Return"); })) << y.Describe();  // "Rename file to ...?"
  y.Key("Return");
  removes({"p1.jpg", "p2.jpg", "q0.jpg", "p3.jpg"}, {"p2.jpg", "q0.jpg", "p3.jpg"});
  ASSERT_TRUE(y.Activate(y.MainWindow()) && asks([&] { y.Key("End Delete"); })) << y.Describe();
  y.Key("Return");  // "Move 1 file to the Trash?"
  removes({"p1.jpg", "p2.jpg", "q0.jpg"}, {"q0.jpg"});
  EXPECT_EQ(y.Close(), 0) << y.Log();
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
}

// A record of renames in the data folder as an attacker writes it, whole and with its
// checksum: one list (its path, the stat of the file it names, its other names) and renames
// whose files stand under their new names.
static void ForgeJournal(const std::string& appDir, const std::string& tag, const std::string& list,
                         const std::string& statOf, const std::vector<std::string>& others,
                         const std::vector<std::pair<std::string, std::string>>& renames) {
  std::string text = "kivo2 rename journal 4\n";
  auto field = [&text](const std::string& value) { text += value + '\0'; };
  auto id = [&](const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    field(std::to_string(st.st_dev));
    field(std::to_string(st.st_ino));
    return st;
  };
  field("1");
  field("1");
  field(list);
  const struct stat was = id(statOf);
  field(std::to_string(was.st_size));
  field(std::to_string(was.st_mtim.tv_sec));
  field(std::to_string(was.st_mtim.tv_nsec));
  field(std::to_string(others.size()));
  for (const std::string& name : others) field(name);
  field(std::to_string(renames.size()));
  for (const auto& [from, to] : renames) {
    field(from);
    field(to);
    id(to);
    id(fs::path(from).parent_path());
  }
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08lX", ::crc32(0L, reinterpret_cast<const Bytef*>(text.data()), uInt(text.size())));
  testsupport::WriteFile(appDir + ".renames.kivo2journal-" + tag, text + crc + '\0');
}

// Two programs start at once on the record a killed batch left (its renames chain: c.jpg
// to d.jpg, then b.jpg to c.jpg, among 2,000 others): the show takes it once. The record of
// a second batch killed likewise (each g... back to f...), which two shows follow, is kept
// while the Shows folder is read-only (a read-only bind mount): a picture no list of it names
// is deleted meanwhile, one that a show of it names is not. Once Shows can be written, one
// show renamed there and the other replaced by an editor (same bytes and times), the next
// start takes the record into both without a word. Two records with right checksums that name
// files outside the lists lie beside it at the read-only start: one a text file with a line to
// rename, one a list whose other name is another text file. Both are set aside, with the kept
// one in one message, and neither those files nor a killed program's work file changes.
TEST_F(ListsRealTest, AKilledBatchsRecordIsTakenInOnceAndOnlyIntoTheListsWhenTheyCanBeWritten) {
  std::vector<TFileRename> plan{{folder_ + "c.jpg", folder_ + "d.jpg"}, {folder_ + "b.jpg", folder_ + "c.jpg"}};
  std::vector<std::string> named{"b.jpg", "c.jpg"};
  testsupport::WriteFile(folder_ + "b.jpg", "b");
  testsupport::WriteFile(folder_ + "c.jpg", "c");
  for (int i = 0; i < 2000; ++i) {
    const std::string name = "f" + std::to_string(i) + ".jpg";
    testsupport::WriteFile(folder_ + name, name);
    plan.push_back({folder_ + name, folder_ + "g" + name});
    named.push_back(name);
  }
  testsupport::WriteFile(appDir_ + "Shows/s.shw", At(named));
  TListPlace place;
  place.DataFolder = appDir_;
  place.Lists = [this] { return std::vector<std::string>{appDir_ + "Shows/s.shw", appDir_ + "Shows/u.shw"}; };
  place.LineToPath = place.PathToLine = [](const std::string& s) { return s; };
  InChild([&] {
    ArmFileFault({TFileFaultOp::Rename, kFileFaultKill, "/.s.shw.kivo2save-"});
    RunCommand(place, plan, "");
  });
  ASSERT_EQ(JournalsIn(appDir_), 1);
  RealWindow second;
  std::thread other([&] { EXPECT_TRUE(second.Start({.registryValues = {"\"LastPath\"=\"" + folder_ + "\""}})); });
  ASSERT_TRUE(Start()) << x_.Error();
  other.join();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return JournalsIn(appDir_) == 0; })) << x_.Log() << second.Log();
  named[0] = "c.jpg";
  named[1] = "d.jpg";
  for (size_t i = 2; i < named.size(); ++i) named[i] = "g" + named[i];
  EXPECT_EQ(Read("Shows/s.shw"), At(named));
  EXPECT_EQ(testsupport::ReadFile(folder_ + "c.jpg"), "b");
  EXPECT_EQ(RecordsIn(appDir_), std::vector<std::string>{});
  EXPECT_EQ(second.Close(), 0) << second.Log();
  EXPECT_EQ(x_.Close(), 0) << x_.Log();

  // The second batch killed; the forged records and the work file; Shows made read-only.
  std::vector<TFileRename> back;
  std::vector<std::string> bytes{"b", "c"};
  for (size_t i = 2; i < named.size(); ++i) {
    back.push_back({folder_ + named[i], folder_ + named[i].substr(1)});
    bytes.push_back(named[i].substr(1));
  }
  testsupport::WriteFile(appDir_ + "Shows/u.shw", At({named.begin() + 2, named.begin() + 102}));
  testsupport::WriteFile(folder_ + "a.jpg", "a");
  InChild([&] {
    ArmFileFault({TFileFaultOp::Rename, kFileFaultKill, "/.s.shw.kivo2save-"});
    RunCommand(place, back, "");
  });
  ASSERT_EQ(JournalsIn(appDir_), 1);
  const std::string outside = testsupport::TempPath("outside") + "/", notes = outside + "old.jpg\r\nmore\r\n";
  const std::string leftover = outside + ".notes.txt.kivo2save-999999.1-abcdef";
  fs::create_directories(outside);
  testsupport::WriteFile(outside + "notes.txt", notes);
  testsupport::WriteFile(outside + "new.jpg", "new");
  testsupport::WriteFile(outside + "other.txt", "my own text\n");
  testsupport::WriteFile(leftover, "work");
  testsupport::WriteFile(appDir_ + "paperclip.lst", At({"c.jpg"}));
  ForgeJournal(appDir_, "1", outside + "notes.txt", outside + "notes.txt", {},
               {{outside + "old.jpg", outside + "new.jpg"}});
  ForgeJournal(appDir_, "2", appDir_ + "paperclip.lst", outside + "other.txt", {outside + "other.txt"}, {});
  std::optional<testsupport::ScratchMount> readOnly;
  readOnly.emplace(appDir_ + "Shows", 0, appDir_ + "Shows");
  if (!readOnly->Mounted()) GTEST_SKIP() << "no read-only bind mount of the Shows folder could be made here";
  ASSERT_TRUE(x_.Start({.registryValues = {"\"LastPath\"=\"" + folder_ + "\""}})) << x_.Error();
  const unsigned long message = NewWindow({x_.MainWindow()});
  ASSERT_TRUE(message && x_.Activate(message)) << "no message at the start\n" << x_.Describe();
  x_.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Windows().size() == 1; })) << x_.Describe();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(x_.Windows().size(), 1u) << "a second message\n" << x_.Describe();
  EXPECT_EQ(testsupport::ReadFile(outside + "notes.txt"), notes);
  EXPECT_EQ(testsupport::ReadFile(outside + "other.txt"), "my own text\n");
  EXPECT_TRUE(fs::exists(leftover));
  EXPECT_EQ(Read("paperclip.lst"), At({"c.jpg"}));
  const std::vector<std::string> records = RecordsIn(appDir_);
  EXPECT_EQ(std::count_if(records.begin(), records.end(),
                          [](const std::string& name) { return name.starts_with(".renames.kivo2unread-"); }),
            2)
      << "the forged records are not set aside";
  EXPECT_EQ(JournalsIn(appDir_), 1) << "the batch's record is not kept";
  // The Delete key on a.jpg (first in the folder), then on c.jpg, which the show names.
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return x_.Title(x_.MainWindow()).find(" - pics") != std::string::npos; }, 15000))
      << x_.Describe();
  ASSERT_TRUE(x_.Activate(x_.MainWindow())) << x_.Describe();
  x_.Click(35, 460);
  x_.Key("Home");
  ASSERT_TRUE(OpensByKeys("Delete")) << x_.Describe();  // "Move 1 file to the Trash?"
  x_.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !fs::exists(folder_ + "a.jpg"); })) << x_.Describe();
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return x_.Windows().size() == 1; })) << x_.Describe();
  x_.Key("Home");
  ASSERT_TRUE(OpensByKeys("Delete")) << x_.Describe();
  // The refusal, one message (its text is checked in the list model test).
  ASSERT_TRUE(Opens([&] { x_.Key("Return"); })) << x_.Describe();
  x_.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return x_.Windows().size() == 1; })) << x_.Describe();
  EXPECT_TRUE(fs::exists(folder_ + "c.jpg"));
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
  // Shows writable again; one show renamed there, the other replaced by an editor.
  readOnly.reset();
  fs::rename(appDir_ + "Shows/s.shw", appDir_ + "Shows/t.shw");
  WriteKeepingTimes(appDir_ + "Shows/u.shw", Read("Shows/u.shw"), false);
  ASSERT_TRUE(Start(true)) << x_.Error();
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return JournalsIn(appDir_) == 0; })) << x_.Describe();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(x_.Windows().size(), 1u) << "a message at the start\n" << x_.Describe();
  EXPECT_EQ(Unfollowed("Shows/t.shw", bytes), "");
  EXPECT_EQ(Unfollowed("Shows/u.shw", {bytes.begin() + 2, bytes.begin() + 102}), "");
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
}

// Ten shows of 30 MB each name the two pictures of a batch among a million other lines:
// the real program renames them and all ten follow, for less than 6 s of its processor
// time, and its memory never peaks above 250 MB.
TEST_F(ListsRealTest, TenShowsOf30MegabytesFollowABatchOfTwoInLittleTimeAndMemory) {
  realwindow::Pictures(folder_, 2);
  std::string filler;
  for (int i = 0; filler.size() < (size_t(30) << 20); ++i)
    filler += "/albums/" + std::to_string(i % 1000) + "/f" + std::to_string(i) + ".jpg\r\n";
  const std::string show = At({"p0.jpg"}) + filler + At({"p1.jpg"});
  for (int i = 0; i < 10; ++i) testsupport::WriteFile(appDir_ + "Shows/s" + std::to_string(i) + ".shw", show);
  ASSERT_TRUE(Start()) << x_.Error();
  const XRect d = realwindow::OpenBatchDialog(x_, "p", "Trip_p");
  ASSERT_GT(d.width, 0) << x_.Describe();
  const double before = ProcessorSeconds();
  x_.Click(d.x + 194, d.y + 178);
  ASSERT_TRUE(RealWindow::WaitUntil(
      [&] { return fs::exists(folder_ + "Trip_p1.jpg") && !x_.FindWindow("BatchRenameForm") && !JournalsIn(appDir_); },
      120000))
      << x_.Describe();
  const double used = ProcessorSeconds() - before;
  EXPECT_LT(used, 6.0) << "seconds of processor time for the batch";
  EXPECT_LT(PeakMegabytes(), 250.0);
  const std::string renamed = At({"Trip_p0.jpg"}) + filler + At({"Trip_p1.jpg"});
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(Read("Shows/s" + std::to_string(i) + ".shw") == renamed) << i;
  std::printf("batch: %.2f s of processor time, peak %.0f MB\n", used, PeakMegabytes());
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
}

// "Clip" clicked again and again while a Delete of 3,000 pictures runs (some of which the
// paperclip names): the clicks are dropped; no notice of a wait for the lists the Delete
// holds, and no message that another program keeps them. The paperclip then names only
// its picture of another folder.
TEST_F(ListsRealTest, ClipClickedDuringALongDeleteIsDroppedAndThePaperclipFollowsTheDelete) {
  const std::string other = realwindow::Pictures(testsupport::TempPath("other"), 1);
  std::vector<std::string> clipped;
  for (int i = 0; i < 3000; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%04d.jpg", i);
    fs::copy_file(other, folder_ + name);
    if (i % 300 == 7) clipped.push_back(name);
  }
  testsupport::WriteFile(appDir_ + "paperclip.lst", At(clipped) + other + "\r\n");
  // Each move to the Trash takes a millisecond more: the Delete lasts seconds.
  ASSERT_TRUE(Start(false, {std::string("LD_PRELOAD=") + KIVO2_SLOW_RENAME, "KIVO2_RENAME_DELAY_US=1000"}))
      << x_.Error();
  const XRect c = x_.Geometry(x_.MainWindow());
  const size_t windows = x_.Windows().size();
  ASSERT_TRUE(SelectAll(x_)) << x_.Describe();
  ASSERT_TRUE(OpensByKeys("Delete")) << x_.Describe();  // "Move 3000 files to the Trash?"
  x_.Key("Return");
  int clicks = 0;
  bool notice = false;
  const auto start = std::chrono::steady_clock::now();
  while (FolderEntries(folder_).size() > 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
    x_.Click(c.x + kClipX, c.y + kClipY);
    ++clicks;
    notice |= x_.FindWindow("LockWaitForm") != 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  EXPECT_GE(clicks, 5) << "the Delete was over before Clip was clicked";
  EXPECT_FALSE(notice) << "the click waited for the lists";
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_EQ(x_.Windows().size(), windows) << x_.Describe();
  EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{});
  EXPECT_EQ(Read("paperclip.lst"), other + "\r\n");
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
}

// A paste-move asks whether p0.jpg may replace the file of that name in the folder below.
// While the question stands a second program on the same home starts at once, with no
// word of another program's renames, adds its picture to the paperclip and deletes a show,
// each at once. Answered Yes, the move leaves the show gone and the second program's line
// in the paperclip, and the paperclip and the other show name the moved pictures (cmp)
// where they are now; a show that named only the replaced picture (now in the Trash) names
// nothing. Then the paperclip's three pictures, two of them named p0.jpg, are cut from the
// paperclip and pasted into the first folder, Yes to replace: the first p0.jpg goes to the
// Trash, and its lines go with it, as for a Delete.
TEST_F(ListsRealTest, WhileAPasteMoveAsksASecondProgramChangesTheListsAndTheMoveKeepsThat) {
  realwindow::Pictures(folder_, 2);
  const std::string to = folder_ + "to/", more = testsupport::TempPath("more") + "/";
  const std::vector<std::string> moved{testsupport::TempPath("p0"), testsupport::TempPath("p1"),
                                       testsupport::TempPath("blue")};
  for (int i = 0; i < 2; ++i) fs::copy_file(folder_ + "p" + std::to_string(i) + ".jpg", moved[size_t(i)]);
  fs::create_directories(to);
  fs::create_directories(more);
  ASSERT_EQ(testsupport::Run({"convert", "-size", "64x48", "xc:black", to + "p0.jpg"}).exitCode, 0);
  ASSERT_EQ(testsupport::Run({"convert", "-size", "64x48", "xc:blue", more + "p0.jpg"}).exitCode, 0);
  fs::copy_file(more + "p0.jpg", moved[2]);
  testsupport::WriteFile(appDir_ + "paperclip.lst", At({"p0.jpg", "p1.jpg"}));
  testsupport::WriteFile(appDir_ + "Shows/gone.shw", At({"p0.jpg"}));
  testsupport::WriteFile(appDir_ + "Shows/keep.shw", At({"p1.jpg", "p0.jpg"}));
  testsupport::WriteFile(appDir_ + "Shows/black.shw", to + "p0.jpg\r\n");
  ASSERT_TRUE(Start()) << x_.Error();
  const size_t windows = x_.Windows().size();
  // Select all, the list's menu: "Cut file(s)" (five up from its end while "Paste" and,
  // for two files, "Rename file" are off).
  ASSERT_TRUE(SelectAll(x_) && ListMenu(5)) << x_.Describe();
  // The tree has the keyboard once its menu (a right click on the highlighted folder) is
  // closed again; Right opens the folder and goes to the first below it: "to".
  const XRect c = x_.Geometry(x_.MainWindow());
  ASSERT_TRUE(Opens([&] { ClickRow({c.x, c.y + 65, 170, 150}, 3); })) << x_.Describe();
  x_.Key("Escape");
  auto inTo = [&] {
    const std::string title = x_.Property(x_.MainWindow(), "WM_NAME");
    return title.ends_with(" - to\"") || title.ends_with("/to/\"");
  };
  for (int i = 0; i < 2 && !inTo(); ++i) {
    x_.Key("Right");
    RealWindow::WaitUntil(inTo, 2000);
  }
  ASSERT_TRUE(inTo()) << x_.Property(x_.MainWindow(), "WM_NAME");
  // The list's menu: "Paste file(s)"; "Move 2 files to folder ...?" Yes; the question
  // whether p0.jpg may go stands.
  ASSERT_TRUE(ListMenu(6)) << x_.Describe();
  unsigned long question = 0;
  auto asks = [&](unsigned long before) {
    return RealWindow::WaitUntil([&] {
      for (unsigned long w : x_.Windows())
        if (w != before && x_.Title(w).starts_with("Confirm")) question = w;
      return question != before;
    });
  };
  ASSERT_TRUE(asks(0) && x_.Activate(question)) << x_.Describe();
  x_.Key("Return");
  ASSERT_TRUE(asks(question)) << x_.Describe();

  RealWindow y;
  const auto starting = std::chrono::steady_clock::now();
  ASSERT_TRUE(y.Start({.registryValues = {"\"LastPath\"=\"" + more + "\""}}) && y.Activate(y.MainWindow()))
      << y.Error();
  EXPECT_LT(std::chrono::steady_clock::now() - starting, std::chrono::seconds(8)) << "the start waited";
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(y.Windows().size(), windows) << "a message at the start\n" << y.Describe();
  auto menu = [&](const std::string& key) {
    const size_t before = y.Windows().size();
    y.Key(key);
    return RealWindow::WaitUntil([&] { return y.Windows().size() > before; });
  };
  // Paperclip > "Add file(s) to the paperclip".
  ASSERT_TRUE(SelectAll(y) && menu("alt+c")) << y.Describe();
  y.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return Read("paperclip.lst").find(more) != std::string::npos; }, 5000))
      << y.Describe();
  // Paperclip > "Paperclip and shows"; "Shows" opened, the show typed ("g"): its menu,
  // "Delete show" (third from the end), Yes.
  ASSERT_TRUE(menu("alt+c")) << y.Describe();
  y.Key("Down Down Down Down Return");
  std::this_thread::sleep_for(std::chrono::seconds(1));
  y.Key("Down Right g");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return y.Title(y.MainWindow()).find("/gone.shw") != std::string::npos; }))
      << y.Describe();
  ASSERT_TRUE(menu("Menu")) << y.Describe();
  y.Key("Up Up Up Return");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return y.Windows().size() > windows; })) << y.Describe();
  y.Key("Return");
  EXPECT_TRUE(RealWindow::WaitUntil([&] { return !fs::exists(appDir_ + "Shows/gone.shw"); }, 5000)) << y.Describe();
  EXPECT_EQ(y.Close(), 0) << y.Log();

  ASSERT_TRUE(x_.Activate(question)) << x_.Describe();
  x_.Key("Return");
  ASSERT_TRUE(RealWindow::WaitUntil([&] {
    return !fs::exists(folder_ + "p1.jpg") && x_.Windows().size() == windows && !JournalsIn(appDir_);
  })) << x_.Describe();
  EXPECT_FALSE(fs::exists(appDir_ + "Shows/gone.shw"));
  EXPECT_EQ(Read("paperclip.lst"), to + "p0.jpg\r\n" + to + "p1.jpg\r\n" + more + "p0.jpg\r\n");
  EXPECT_EQ(Read("Shows/keep.shw"), to + "p1.jpg\r\n" + to + "p0.jpg\r\n");
  EXPECT_EQ(Read("Shows/black.shw"), "") << "the replaced picture went to the Trash";
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(testsupport::Run({"cmp", to + "p" + std::to_string(i) + ".jpg", moved[size_t(i)]}).exitCode, 0) << i;

  // Paperclip > "Paperclip and shows": the paperclip's pictures, all cut; the button bar's
  // "Shows" goes back to the folder tree, on "to". The window manager gives the keyboard
  // back to the main window some time after the question has gone.
  ASSERT_TRUE(KeysOpen(x_.MainWindow(), "alt+c")) << x_.Describe();
  x_.Key("Down Down Down Down Return");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return x_.Title(x_.MainWindow()).starts_with("PaperClip"); }))
      << x_.Describe();
  ASSERT_TRUE(SelectAll(x_) && ListMenu(5)) << x_.Describe();
  x_.Click(c.x + kShowsX, c.y + kClipY);
  ASSERT_TRUE(RealWindow::WaitUntil(inTo)) << x_.Describe();
  // Left goes up to the first folder; its menu (a right click): "Paste file(s)", fourth.
  const XRect tree{c.x, c.y + 65, 170, 150};
  ASSERT_TRUE(Opens([&] { ClickRow(tree, 3); })) << x_.Describe();
  x_.Key("Escape");
  x_.Key("Left");
  ASSERT_TRUE(RealWindow::WaitUntil([&] { return x_.Property(x_.MainWindow(), "WM_NAME").ends_with("/pics/\""); }))
      << x_.Property(x_.MainWindow(), "WM_NAME");
  ASSERT_TRUE(Opens([&] { ClickRow(tree, 3); })) << x_.Describe();
  x_.Key("Down Down Down Down Return");
  // "Move 3 files to folder ...?" Yes; "File p0.jpg exists, Overwrite this file?" Yes.
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(asks(question) && x_.Activate(question)) << x_.Describe();
    x_.Key("Return");
  }
  ASSERT_TRUE(RealWindow::WaitUntil([&] {
    return !fs::exists(more + "p0.jpg") && x_.Windows().size() == windows && !JournalsIn(appDir_);
  })) << x_.Describe();
  EXPECT_EQ(testsupport::Run({"cmp", folder_ + "p0.jpg", moved[2]}).exitCode, 0);
  EXPECT_EQ(testsupport::Run({"cmp", folder_ + "p1.jpg", moved[1]}).exitCode, 0);
  const std::string trash = std::string(getenv("XDG_DATA_HOME")) + "/Trash/files/";
  EXPECT_EQ(testsupport::Run({"cmp", trash + "p0.2.jpg", moved[0]}).exitCode, 0)
      << "the first p0.jpg is not in the Trash";
  EXPECT_EQ(Read("paperclip.lst"), At({"p1.jpg", "p0.jpg"}));
  EXPECT_EQ(Read("Shows/keep.shw"), At({"p1.jpg"}));
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
}

// In the import window's folder tree the folder of two pictures is renamed (its menu,
// "Rename Folder", a name, Yes) and then moved into its sibling (its menu, "Cut"; the
// sibling's menu, "Paste"): the paperclip's and a show's lines follow the pictures each time.
TEST_F(ListsRealTest, AFolderRenamedOrMovedInTheImportWindowsTreeTakesTheListsAlong) {
  const std::string card = testsupport::TempPath("card") + "/", outside = "/elsewhere/x.jpg\r\n";
  realwindow::Pictures(card + "trip", 2);
  fs::create_directories(card + "other");
  auto at = [&](const std::string& folder, const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += card + folder + name + "\r\n";
    return text;
  };
  testsupport::WriteFile(appDir_ + "paperclip.lst", at("trip/", {"p0.jpg", "p1.jpg"}) + outside);
  testsupport::WriteFile(appDir_ + "Shows/trip.shw", at("trip/", {"p1.jpg"}));
  ASSERT_TRUE(x_.Start({.registryValues = {"\"LastPath\"=\"" + folder_ + "\"", "\"CardFolder\"=\"" + card + "trip\""}}))
      << x_.Error();
  // File > "Import from memorycard or folder", fifth from the end.
  ASSERT_TRUE(KeysOpen(x_.MainWindow(), "alt+f")) << x_.Describe();
  x_.Key("Up Up Up Up Up Return");
  const unsigned long import = x_.WaitForWindow("FormGetcard");
  ASSERT_TRUE(import) << x_.Describe();
  const XRect g = x_.Geometry(import), tree{g.x + 8, g.y + 8, 240, 454};
  // The tree's menu on its highlighted folder, and the item of this key; only while the
  // highlight stays where it was (the folder the program chose, never another). Other
  // tests make and remove folders beside this one's: the rows keep their places under the
  // pointer, so it rests on the highlight first, and a row that moved all the same is tried again.
  auto command = [&](const std::string& key) {
    for (int tries = 0; tries < 3; ++tries) {
      // The tree opens its folder once the window shows.
      if (!RealWindow::WaitUntil([&] { return Highlight(tree).width > 0; })) return false;
      x_.MoveMouse(tree.x + tree.width / 2, Highlight(tree).y + 2);
      const XRect row = Highlight(tree);
      if (!Opens([&] { ClickRow(tree, 3); })) return false;
      const bool same = Highlight(tree).y == row.y;
      x_.Key(same ? key : "Escape");
      if (same) return true;
    }
    return false;
  };
  ASSERT_TRUE(command("r")) << x_.Describe();
  x_.Key("ctrl+a");
  x_.Type("trip2");
  ASSERT_TRUE(OpensByKeys("Return")) << x_.Describe();  // "Confirm rename"
  x_.Key("Return");
  // The pictures and both lists where the folder went.
  auto followed = [&](const std::string& folder) {
    return RealWindow::WaitUntil([&] {
      return fs::exists(card + folder + "p1.jpg") &&
             Read("paperclip.lst") == at(folder, {"p0.jpg", "p1.jpg"}) + outside &&
             Read("Shows/trip.shw") == at(folder, {"p1.jpg"});
    });
  };
  EXPECT_TRUE(followed("trip2/")) << x_.Describe() << Read("paperclip.lst") << Read("Shows/trip.shw");
  ASSERT_TRUE(fs::exists(card + "trip2")) << "the folder the tree holds now is another";
  ASSERT_TRUE(command("t")) << x_.Describe();
  x_.Key("Up");                                       // "other"
  ASSERT_TRUE(command("p Return")) << x_.Describe();  // "&Paste" (and "&Property")
  EXPECT_TRUE(followed("other/trip2/")) << x_.Describe() << Read("paperclip.lst") << Read("Shows/trip.shw");
  EXPECT_EQ(x_.Close(), 0) << x_.Log();
}

// The real program with its data folder full (every write there fails with ENOSPC): a batch
// of 1,000 pictures that the paperclip and a show name renames none of them and says so
// once; the lists stay as they were.
TEST(BatchRenameRealTest, WithTheDataFolderFullABatchTheListsFollowRenamesNothingAndSaysSoOnce) {
  KIVO2_REQUIRE_REAL_WINDOW();
  constexpr int kFiles = 1000;
  const std::string folder = testsupport::TempPath("full") + "/";
  const std::string appDir = std::string(getenv("XDG_DATA_HOME")) + "/Kivo2/";
  fs::create_directories(folder);
  fs::create_directories(appDir + "Shows");
  std::string clip;
  for (int i = 0; i < kFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%04d.jpg", i);
    testsupport::WriteFile(folder + name, name);
    clip += folder + name + "\r\n";
  }
  testsupport::WriteFile(appDir + "paperclip.lst", clip);
  testsupport::WriteFile(appDir + "Shows/all.shw", clip);

  testsupport::RealWindow x;
  testsupport::RealWindow::Options options;
  options.registryValues = {"\"LastPath\"=\"" + folder + "\""};
  options.environment = {std::string("LD_PRELOAD=") + KIVO2_SLOW_RENAME, "KIVO2_FULL_FOLDER=" + appDir};
  ASSERT_TRUE(x.Start(options)) << x.Error();
  ASSERT_TRUE(x.Activate(x.MainWindow()));
  const size_t windows = x.Windows().size();
  const testsupport::XRect d = realwindow::OpenBatchDialog(x, "f", "g");
  ASSERT_GT(d.width, 0) << x.Describe();
  x.Click(d.x + 194, d.y + 178);
  ASSERT_TRUE(AwaitBatchMessage(x, windows, 20000)) << x.Describe();
  int old = 0;
  for (const auto& entry : fs::directory_iterator(folder)) old += entry.path().filename().string()[0] == 'f';
  EXPECT_EQ(old, kFiles);
  EXPECT_EQ(testsupport::ReadFile(appDir + "paperclip.lst"), clip);
  EXPECT_EQ(testsupport::ReadFile(appDir + "Shows/all.shw"), clip);
  EXPECT_EQ(JournalsIn(appDir), 0);
  // One message: once it is answered no other comes.
  x.Key("Return");
  EXPECT_TRUE(testsupport::RealWindow::WaitUntil([&] { return x.Windows().size() == windows; }));
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(x.Windows().size(), windows) << x.Describe();
  x.Kill();
}
