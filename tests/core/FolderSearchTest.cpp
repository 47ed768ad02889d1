// Folder search, reload and the program history with real folders and programs: the walk
// asks at each hit and stops at No, never enters links to folders, and says when nothing
// was found; the history keeps eight programs, the last used first, each once, skips
// programs that are gone, and starts the chosen one with the current picture; commands
// with nothing selected or an empty item say so instead of failing silently.

#include <chrono>
#include <functional>
#include <thread>

#include "ListsFixture.h"
#include "controls/QzFileExplorer28.h"
#include "core/Diversen.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitFindFolder.h"

namespace fs = std::filesystem;

class FolderSearchTest : public ListsTest {
 protected:
  // Asks the find-folder window for text (ChB_Root as given), answering the questions
  // at the hits with answers; the caption the window showed.
  std::string Find(const std::string& text, const std::function<void()>& answers = {}, bool fromRoot = false) {
    std::string caption;
    ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest&) {
      caption = FormFolderFind->ChB_Root->Caption();
      FormFolderFind->ChB_Root->SetChecked(fromRoot);
      FormFolderFind->FFolderName = text;
      return int(mrOk);
    });
    if (answers) answers();
    Form1->FindFolder1->Click();
    return caption;
  }
  // A program that writes its arguments into out.
  std::string Program(const std::string& name, const std::string& out) {
    const std::string path = testsupport::TempPath("bin") + "/" + name;
    fs::create_directories(fs::path(path).parent_path());
    testsupport::WriteFile(path, "#!/bin/sh\nprintf '%s' \"$*\" > '" + out + "'\n");
    chmod(path.c_str(), 0755);
    return path;
  }
  static std::string WaitForFile(const std::string& path) {
    for (int i = 0; i < 500 && !fs::exists(path); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return fs::exists(path) ? testsupport::ReadFile(path) : std::string("(nothing)");
  }
  std::string History() const { return Form1->FAppDir + "historyprogs.lst"; }
};

TEST_F(FolderSearchTest, TheWalkAsksAtEachHitStopsAtNoAndNeverEntersLinksToFolders) {
  const std::string root = testsupport::TempPath("disk") + "/";
  for (const char* folder : {"Pictures", "x/MyPics/inner", "x/other", "y"}) fs::create_directories(root + folder);
  fs::create_directory_symlink(root, root + "x/loop");
  fs::create_directory_symlink(root + "y", root + "PicLink");
  StartIn(root);
  std::vector<std::string> hits;
  auto answer = [&](int result) {
    ModalResponder::Expect(ModalKind::MessageDlg, [&, result](ModalRequest& request) {
      // The hit is open in the folder tree while the question shows.
      hits.push_back(Form1->QzDirTree211->SelectedPath());
      EXPECT_EQ(request.text, "Found " + RemoveTrailingBackslash(hits.back()) + "\nFind next folder?");
      return result;
    });
  };
  const std::string mount = MountPointOf(root);
  EXPECT_EQ(Find("pic", [&] {
              answer(mrYes);
              answer(mrYes);
            }),
            "Start search from top " + IncludeTrailingPathDelimiter(mount));
  std::sort(hits.begin(), hits.end());
  EXPECT_EQ(hits, (std::vector<std::string>{root + "Pictures/", root + "x/MyPics/"}));
  EXPECT_EQ(Panel(), "Find folder done.");
  EXPECT_EQ(ModalResponder::Pending(), 0);

  // No after the first hit ends the whole walk.
  Form1->QzDirTree211->OpenPath(root);
  hits.clear();
  Find("PIC", [&] { answer(mrNo); });
  EXPECT_EQ(hits.size(), 1u);
  EXPECT_EQ(Panel(), "Find folder done.");
  Form1->QzDirTree211->OpenPath(root);
  Find("nothing like it");
  EXPECT_EQ(Panel(), "No folders found.");
  // An empty text (the window closed) does nothing.
  Form1->ShowIt("before");
  Find("");
  EXPECT_EQ(Panel(), "before");
}

TEST_F(FolderSearchTest, ReloadListsWhatTheFolderHoldsNow) {
  MakeFile(folder_ + "a.jpg", "a");
  StartIn();
  MakeFile(folder_ + "b.jpg", "b");
  EXPECT_EQ(Entries(), std::vector<std::string>{"a.jpg"});
  Form1->Reload1->Click();
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.jpg", "b.jpg"}));
  EXPECT_EQ(Form1->FLastPath, folder_);
  EXPECT_EQ(Form1->QzDirTree211->SelectedPath(), folder_);
}

TEST_F(FolderSearchTest, TheHistoryKeepsEightProgramsTheLastUsedFirstEachOnce) {
  MakeFile(folder_ + "a b.jpg", "a");
  StartIn();
  const std::string out = testsupport::TempPath("out");
  std::vector<std::string> programs;
  for (int i = 1; i <= 10; ++i) programs.push_back(Program("p" + std::to_string(i), out + std::to_string(i)));

  // Browsing for a program starts it with the picture and puts it in the history.
  ModalResponder::Expect(ModalKind::OpenDialog, mrOk, programs[0]);
  Form1->Browsetoopen1->Click();
  EXPECT_EQ(WaitForFile(out + "1"), folder_ + "a b.jpg");
  EXPECT_EQ(testsupport::ReadFile(History()), ListText({programs[0]}));
  EXPECT_EQ(Form1->P_History1->Caption(), programs[0]);
  EXPECT_EQ(Form1->P_History2->Caption(), "<none>");

  for (int i = 1; i < 9; ++i) Form1->UpdateHistorylist(programs[size_t(i)]);
  // Nine programs used: the first is gone; one used again moves up, not in twice.
  Form1->UpdateHistorylist(programs[4]);
  EXPECT_EQ(testsupport::ReadFile(History()), ListText({programs[4], programs[8], programs[7], programs[6],
                                                        programs[5], programs[3], programs[2], programs[1]}));
  // A program that is gone: the items after it move up.
  fs::remove(programs[4]);
  Form1->FillHistory();
  EXPECT_EQ(Form1->P_History1->Caption(), programs[8]);
  EXPECT_EQ(Form1->P_History7->Caption(), programs[1]);
  EXPECT_EQ(Form1->P_History8->Caption(), "<none>");
  Form1->P_History1->Click();
  EXPECT_EQ(WaitForFile(out + "9"), folder_ + "a b.jpg");

  // An empty item and a list without a selection say so.
  ExpectMessage("The program <none> could not be started.");
  Form1->P_History8->Click();
  Form1->ListBox1->ClearSelection();
  Form1->ListBox1->SetItemIndex(-1);
  ExpectMessage("No file selected!");
  Form1->P_History1->Click();
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  Form1->Browsetoopen1->Click();
  EXPECT_EQ(LastMessage(), "No file selected!");
}

TEST_F(FolderSearchTest, AHistoryThatCannotBeWrittenStaysAsItWas) {
  MakeFile(folder_ + "a.jpg", "a");
  StartIn();
  const std::string one = Program("one", testsupport::TempPath("o1")), two = Program("two", testsupport::TempPath("o2"));
  Form1->UpdateHistorylist(one);
  MakeFile(History(), testsupport::ReadFile(History()));
  for (auto [op, error] : std::vector<std::pair<TFileFaultOp, int>>{
           {TFileFaultOp::Write, ENOSPC}, {TFileFaultOp::Rename, EIO}, {TFileFaultOp::Open, EACCES}}) {
    TFileFaultScope fault(op, error, "historyprogs.lst", 0, -1);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Form1->UpdateHistorylist(two);
    EXPECT_GT(fault.Hits(), 0) << error;
    EXPECT_TRUE(Intact(History())) << error;
    EXPECT_EQ(Form1->P_History1->Caption(), one) << error;
  }
}
