// Batch renaming and folder renames with real files: each rule of the batch-rename window
// against names worked out here (voice memos follow their pictures, dates and bytes
// stay), names that are taken (also by a change of letter case only) never replaced,
// renames that fail said as failures with the file still under its old name, a search
// list of full paths, a thousand files; and a folder renamed or moved in the folder tree
// taking the paperclip's and the shows' lines with it, siblings left alone.
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>
#include <tuple>

#include "ListsFixture.h"
#include "RealWindowCase.h"
#include "controls/QzFileExplorer28.h"
#include "core/Unit1.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "controls/ZqButton.h"
#include "platform/gui/ComCtrls.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitBatchRename2.h"

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

// The batch journals left in the program's data folder.
static int JournalsIn(const std::string& appDir) {
  int count = 0;
  for (const std::string& name : FolderEntries(appDir)) count += name.rfind(".batchrename.", 0) == 0;
  return count;
}

TEST_F(BatchRenameTest, EachRuleGivesTheNamesWorkedOutHereAndMemosFollowTheirPictures) {
  for (const char* name : {"IMG_0001.JPG", "IMG_0001.WAV", "img_0002.jpg", "DSC01.JPG", "a.b.jpg", "README"})
    MakeFile(folder_ + name, name);
  SetDate(folder_ + "IMG_0001.JPG", "2019-05-04 10:11:12");
  const std::string before = ModificationTime(folder_ + "IMG_0001.JPG");
  MakeFile(AppDir() + "paperclip.lst", folder_ + "IMG_0001.JPG\r\n/elsewhere/missing.jpg\r\n");
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
  // The paperclip follows; the line of a missing picture stays.
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), ListText({folder_ + "Holiday_0001.JPG", "/elsewhere/missing.jpg"}));
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
  // A paperclip that could not take a batch's new names (said) takes them before the next batch.
  MakeFile(AppDir() + "paperclip.lst", ListText({folder_ + "a.jpg"}));
  {
    TFileFaultScope fault(TFileFaultOp::Rename, EIO, "paperclip.lst", 0, -1);
    Select({"a.jpg"});
    Rename(3, "", "_1", true, 0, true);
    EXPECT_EQ(LastMessage(), "These shows could not be brought up to date:\n" + Paperclip());
  }
  Select({"a_1.jpg"});
  Rename(3, "", "_2");
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), ListText({folder_ + "a_1_2.jpg"}));

  // The renames cannot be noted down (a full or failing disk): while a list names a file
  // of the batch, no file is renamed, and that is said once; a batch that no list
  // follows goes on.
  const std::string clip = ListText({folder_ + "a_1_2.jpg"});
  for (const auto& [op, error] : {std::pair{TFileFaultOp::Open, ENOSPC}, {TFileFaultOp::Write, ENOSPC},
                                  {TFileFaultOp::Sync, EIO}}) {
    TFileFaultScope fault(op, error, "/.batchrename.", 0, -1);
    const size_t shown = ModalResponder::History().size();
    Select({"a_1_2.jpg", "c.jpg"});
    Rename(2, "", "x_", true, 0, true);
    EXPECT_GE(fault.Hits(), 1) << error;
    EXPECT_EQ(LastMessage(), "No file was renamed: the paperclip or a show lists these files, and the record that "
                             "keeps those lists up to date could not be written in " +
                                 AppDir().substr(0, AppDir().size() - 1) + " (" + strerror(error) + ").")
        << error;
    EXPECT_EQ(ModalResponder::History().size(), shown + 2) << "the dialog and one message";
    EXPECT_EQ(Names(folder_), (std::vector<std::string>{"a_1_2.jpg", "b.jpg", "c.jpg"})) << error;
    EXPECT_EQ(testsupport::ReadFile(Paperclip()), clip) << error;
    EXPECT_EQ(JournalsIn(AppDir()), 0) << error;
  }
  TFileFaultScope full(TFileFaultOp::Write, ENOSPC, "/.batchrename.", 0, -1);
  Select({"b.jpg", "c.jpg"});
  Rename(2, "", "x_");
  EXPECT_EQ(Names(folder_), (std::vector<std::string>{"a_1_2.jpg", "x_b.jpg", "x_c.jpg"}));
  EXPECT_EQ(full.Hits(), 0);
}

// Another program holds the Shows folder: the batch waits for it once for all shows (not
// once per show), says which shows could not follow, and the paperclip follows at once.
// A new picture of the old name then joins the paperclip; the next batch brings the shows
// up to date and leaves the paperclip, which took the renames already, alone.
TEST_F(BatchRenameTest, ListsThatCouldNotTakeABatchTakeItLaterAndNoOtherListTakesItTwice) {
  for (const char* name : {"IMG_0001.jpg", "other.jpg"}) MakeFile(folder_ + name, name);
  MakeFile(AppDir() + "paperclip.lst", ListText({folder_ + "IMG_0001.jpg"}));
  MakeFile(AppDir() + "Shows/s1.shw", ListText({folder_ + "IMG_0001.jpg", folder_ + "other.jpg"}));
  MakeFile(AppDir() + "Shows/s2.shw", ListText({folder_ + "other.jpg", folder_ + "IMG_0001.jpg"}));
  StartIn();
  auto held = std::make_unique<testsupport::HeldLock>(AppDir() + "Shows", "60");
  Select({"IMG_0001.jpg"});
  const auto start = std::chrono::steady_clock::now();
  Rename(1, "IMG", "Trip_IMG", true, 0, true);
  const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  held.reset();
  EXPECT_GE(waited, 9.5);
  EXPECT_LT(waited, 15.0) << "one wait for both shows";
  EXPECT_EQ(LastMessage(), "These shows could not be brought up to date:\n" + Shows() + "s1.shw\n" + Shows() + "s2.shw");
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), ListText({folder_ + "Trip_IMG_0001.jpg"}));
  EXPECT_EQ(JournalsIn(AppDir()), 1);

  MakeFile(folder_ + "IMG_0001.jpg", "the next card");
  testsupport::WriteFile(Paperclip(), ListText({folder_ + "Trip_IMG_0001.jpg", folder_ + "IMG_0001.jpg"}));
  Select({"other.jpg"});
  Rename(2, "", "x_");
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), ListText({folder_ + "Trip_IMG_0001.jpg", folder_ + "IMG_0001.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(Shows() + "s1.shw"), ListText({folder_ + "Trip_IMG_0001.jpg", folder_ + "x_other.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(Shows() + "s2.shw"), ListText({folder_ + "x_other.jpg", folder_ + "Trip_IMG_0001.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(folder_ + "Trip_IMG_0001.jpg"), "IMG_0001.jpg");
  EXPECT_EQ(JournalsIn(AppDir()), 0);
}

// A show that cannot be written through four batches (its new text cannot be put in
// place): three pictures renamed, then c1 -> c2 -> c3, then the prefix "a" on b.jpg beside
// ab.jpg (one's new name is the other's old one). New pictures of the first old names join
// the paperclip (one the show too); at the next start the show takes every batch once, in
// order, and ends naming each file where it is, the line added after the batches kept; the
// paperclip, which took them all, stays as it is. A journal of the earlier layout (renames
// only, of a program that has ended) is applied to every list, leaving a line whose old
// name another file has taken since.
TEST_F(BatchRenameTest, AtTheNextStartOnlyTheListsThatOweABatchTakeItInOrder) {
  for (const char* name : {"IMG_0001.jpg", "IMG_0002.jpg", "c1.jpg", "ab.jpg", "b.jpg", "o1.jpg", "o2.jpg"})
    MakeFile(folder_ + name, name);
  auto at = [this](const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(folder_ + name);
    return ListText(paths);
  };
  MakeFile(AppDir() + "paperclip.lst", at({"IMG_0001.jpg", "IMG_0002.jpg", "c1.jpg", "b.jpg"}));
  MakeFile(AppDir() + "Shows/trip/s.shw", at({"IMG_0001.jpg", "IMG_0002.jpg", "c1.jpg", "ab.jpg", "b.jpg"}));
  StartIn();
  {
    TFileFaultScope fault(TFileFaultOp::Rename, EIO, "/Shows/", 0, -1);
    for (const auto& [names, mode, find, text] :
         {std::tuple{std::vector<std::string>{"IMG_0001.jpg", "IMG_0002.jpg"}, 1, "IMG", "Trip_IMG"},
          {{"c1.jpg"}, 1, "c1", "c2"},
          {{"c2.jpg"}, 1, "c2", "c3"},
          {{"ab.jpg", "b.jpg"}, 2, "", "a"}}) {
      Select(names);
      Rename(mode, find, text, true, 0, true);
      EXPECT_EQ(LastMessage(), "These shows could not be brought up to date:\n" + Shows() + "trip/s.shw") << find;
    }
  }
  EXPECT_EQ(Names(folder_), (std::vector<std::string>{"Trip_IMG_0001.jpg", "Trip_IMG_0002.jpg", "aab.jpg", "ab.jpg",
                                                      "c3.jpg", "o1.jpg", "o2.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(folder_ + "ab.jpg"), "b.jpg");
  MakeFile(folder_ + "IMG_0001.jpg", "new 1");
  MakeFile(folder_ + "IMG_0002.jpg", "new 2");
  testsupport::WriteFile(Paperclip(), at({"Trip_IMG_0001.jpg", "Trip_IMG_0002.jpg", "c3.jpg", "ab.jpg", "o1.jpg",
                                          "o2.jpg", "IMG_0001.jpg", "IMG_0002.jpg"}));
  // The earlier layout: from, to, device, inode, each ended by a zero byte; o1 and o2 were
  // renamed by it, and a new o2 came since.
  std::string earlier;
  for (const char* name : {"o1", "o2"}) {
    fs::rename(folder_ + name + ".jpg", folder_ + name + "_r.jpg");
    struct stat st;
    ASSERT_EQ(::stat((folder_ + name + "_r.jpg").c_str(), &st), 0);
    for (const std::string& field : {folder_ + name + ".jpg", folder_ + name + "_r.jpg", std::to_string(st.st_dev),
                                      std::to_string(st.st_ino)})
      earlier += field + '\0';
  }
  MakeFile(folder_ + "o2.jpg", "new o2");
  testsupport::WriteFile(AppDir() + ".batchrename.kivo2journal-999999999.1-Ab12Cd", earlier);
  testsupport::WriteFile(Shows() + "trip/s.shw", testsupport::ReadFile(Shows() + "trip/s.shw") + at({"IMG_0001.jpg"}));
  Restart();
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), at({"Trip_IMG_0001.jpg", "Trip_IMG_0002.jpg", "c3.jpg", "ab.jpg",
                                                    "o1_r.jpg", "o2.jpg", "IMG_0001.jpg", "IMG_0002.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(Shows() + "trip/s.shw"),
            at({"Trip_IMG_0001.jpg", "Trip_IMG_0002.jpg", "c3.jpg", "aab.jpg", "ab.jpg", "IMG_0001.jpg"}));
  EXPECT_EQ(JournalsIn(AppDir()), 0);
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

  // A move by drag: the tree shows the target afterwards.
  TDragObject* object = nullptr;
  Form1->QzDirTree211StartDrag(Form1->QzDirTree211, object);
  fs::rename(folder_ + "Journey", folder_ + "Target/Journey");
  Form1->QzDirTree211->OpenPath(folder_ + "Target/");
  Form1->QzDirTree211EndDrag(Form1->QzDirTree211, nullptr, 0, 0);
  EXPECT_EQ(testsupport::ReadFile(Shows() + "s.shw"),
            ListText({folder_ + "Trip2/b.jpg", folder_ + "Target/Journey/day1/a.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), ListText({folder_ + "Target/Journey/day1/a.jpg",
                                                          folder_ + "Trip2/b.jpg", folder_ + "Trip/gone.jpg"}));
  // A drag that moved nothing changes nothing.
  const std::string clip = testsupport::ReadFile(Paperclip());
  Form1->QzDirTree211->OpenPath(folder_ + "Trip2/");
  Form1->QzDirTree211StartDrag(Form1->QzDirTree211, object);
  Form1->QzDirTree211->OpenPath(folder_ + "Target/");
  Form1->QzDirTree211EndDrag(Form1->QzDirTree211, nullptr, 0, 0);
  EXPECT_EQ(testsupport::ReadFile(Paperclip()), clip);
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
    inotify_add_watch(watch.fd, appDir.c_str(), IN_CREATE);
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
          made |= event->len > 0 && std::string(event->name).rfind(".batchrename.", 0) == 0;
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

// The real program while another program holds the Shows folder: the batch renames the
// paperclip's picture, waits once for the show and says it could not follow; a new
// picture of the old name joins the paperclip. The next start shows the window at once
// (the folder still held); once the folder is free the show takes the batch, and the
// paperclip keeps both pictures.
TEST(BatchRenameRealTest, AHeldShowTakesTheBatchAfterTheNextStartAndThePaperclipKeepsItsNewPicture) {
  KIVO2_REQUIRE_REAL_WINDOW();
  const std::string folder = testsupport::TempPath("pics") + "/";
  const std::string appDir = std::string(getenv("XDG_DATA_HOME")) + "/Kivo2/";
  fs::create_directories(folder);
  fs::create_directories(appDir + "Shows");
  testsupport::WriteFile(folder + "IMG_0001.jpg", "first");
  testsupport::WriteFile(appDir + "paperclip.lst", folder + "IMG_0001.jpg\r\n");
  testsupport::WriteFile(appDir + "Shows/trip.shw", folder + "IMG_0001.jpg\r\n");
  auto held = std::make_unique<testsupport::HeldLock>(appDir + "Shows", "60");

  testsupport::RealWindow x;
  testsupport::RealWindow::Options options;
  options.registryValues = {"\"LastPath\"=\"" + folder + "\""};
  ASSERT_TRUE(x.Start(options)) << x.Error();
  ASSERT_TRUE(x.Activate(x.MainWindow()));
  const size_t windows = x.Windows().size();
  const testsupport::XRect d = realwindow::OpenBatchDialog(x, "IMG", "Trip_IMG");
  ASSERT_GT(d.width, 0) << x.Describe();
  const auto start = std::chrono::steady_clock::now();
  x.Click(d.x + 194, d.y + 178);
  // While it waits for the show the window says so.
  EXPECT_TRUE(x.WaitForWindow("LockWaitForm", 5000)) << x.Describe();
  ASSERT_TRUE(AwaitBatchMessage(x, windows, 20000)) << x.Describe();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(9));
  x.Key("Return");
  EXPECT_TRUE(fs::exists(folder + "Trip_IMG_0001.jpg"));
  EXPECT_EQ(testsupport::ReadFile(appDir + "paperclip.lst"), folder + "Trip_IMG_0001.jpg\r\n");
  EXPECT_EQ(testsupport::ReadFile(appDir + "Shows/trip.shw"), folder + "IMG_0001.jpg\r\n");
  EXPECT_EQ(JournalsIn(appDir), 1);
  EXPECT_EQ(x.Close(), 0) << x.Log();

  // The next card import.
  testsupport::WriteFile(folder + "IMG_0001.jpg", "second");
  testsupport::WriteFile(appDir + "paperclip.lst", folder + "Trip_IMG_0001.jpg\r\n" + folder + "IMG_0001.jpg\r\n");
  options.keepSettings = true;
  const auto restart = std::chrono::steady_clock::now();
  ASSERT_TRUE(x.Start(options)) << x.Error();
  EXPECT_LT(std::chrono::steady_clock::now() - restart, std::chrono::seconds(8)) << "the window comes first";
  held.reset();
  EXPECT_TRUE(testsupport::RealWindow::WaitUntil([&] { return JournalsIn(appDir) == 0; }, 15000)) << x.Log();
  EXPECT_EQ(testsupport::ReadFile(appDir + "paperclip.lst"),
            folder + "Trip_IMG_0001.jpg\r\n" + folder + "IMG_0001.jpg\r\n");
  EXPECT_EQ(testsupport::ReadFile(appDir + "Shows/trip.shw"), folder + "Trip_IMG_0001.jpg\r\n");
  EXPECT_EQ(testsupport::ReadFile(folder + "Trip_IMG_0001.jpg"), "first");
  EXPECT_EQ(x.Close(), 0) << x.Log();
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
