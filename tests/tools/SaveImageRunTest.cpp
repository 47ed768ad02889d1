// The compression center's runs when things go wrong or the user steps in: files that
// exist are replaced only when the user says so (and then whole), failed writes leave
// nothing behind, a picture that cannot be read is left out instead of being written
// from the previous one, the originals are replaced in their own folders, a run stops
// when its window or the program closes (a whole tree: in the tree-copy test), and the
// settings the window changes are stored.

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "SaveImageFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/gui/CheckLst.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/FileFaults.h"
#include "tools/UnitSaveImage.h"
#include "tools/UnitSaveToFolder.h"

namespace fs = std::filesystem;

namespace {

bool NoTemporaryFilesIn(const std::string& folder) {
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.path().filename().string()[0] == '.') return false;
  return true;
}

}  // namespace

TEST_F(SaveImageTest, ExistingCopiesAreReplacedOnlyWhenTheUserSaysSo) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) MakePicture(name, 800, 600);
  testsupport::WriteFile(Output() + "a.jpg", "old a");
  testsupport::WriteFile(Output() + "b.jpg", "old b");
  testsupport::WriteFile(Output() + "c.jpg", "old c");
  RunWindow({"a.jpg", "b.jpg", "c.jpg", "d.jpg"}, [&] {
    AnswerSaveFolder(Output());
    Answer(ModalKind::MessageDlg, mrYes);  // save 4 files
    Answer(ModalKind::MessageDlg, mrNo);   // a exists: keep it
    Answer(ModalKind::MessageDlg, 10);     // b exists: yes to all
    Answer(ModalKind::ShowMessage, mrOk);  // summary
    FormSaveImage->Zq_Save->Click();
  });
  ASSERT_EQ(Texts().size(), 5u);
  EXPECT_EQ(Texts()[2], "File " + Output() + "a.jpg exists, Overwrite this file? ");
  EXPECT_EQ(Texts()[4], "3 of 4 files saved");
  EXPECT_EQ(testsupport::ReadFile(Output() + "a.jpg"), "old a");
  // Yes to all: c was replaced without a question.
  for (const char* name : {"b.jpg", "c.jpg", "d.jpg"}) EXPECT_EQ(Geometry(Output() + name), "640x480") << name;
  EXPECT_TRUE(NoTemporaryFilesIn(Output()));

  // Cancel ends the run and still gives the summary.
  for (const char* name : {"a.jpg", "b.jpg"}) testsupport::WriteFile(Output() + name, "kept");
  RunWindow({"a.jpg", "b.jpg", "c.jpg", "d.jpg"}, [&] {
    AnswerSaveFolder(Output());
    Answer(ModalKind::MessageDlg, mrYes);
    Answer(ModalKind::MessageDlg, mrCancel);
    Answer(ModalKind::ShowMessage, mrOk);
    FormSaveImage->Zq_Save->Click();
  });
  EXPECT_EQ(Texts().back(), "0 of 4 files saved");
  EXPECT_EQ(testsupport::ReadFile(Output() + "a.jpg"), "kept");
  EXPECT_EQ(testsupport::ReadFile(Output() + "b.jpg"), "kept");
}

TEST_F(SaveImageTest, AFailedWriteLeavesTheOldFileAndNoPartOfTheNewOne) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) MakePicture(name, 800, 600);
  testsupport::WriteFile(Output() + "b.jpg", "the old b");
  for (TFileFaultOp op : {TFileFaultOp::Write, TFileFaultOp::Sync, TFileFaultOp::Rename, TFileFaultOp::Open}) {
    SCOPED_TRACE(int(op));
    fs::remove(Output() + "a.jpg");
    fs::remove(Output() + "c.jpg");
    // The faults hit the copy of b (its temporary file and its rename), not the source.
    TFileFaultScope fault(op, op == TFileFaultOp::Open ? EACCES : ENOSPC, Output() + ".b.jpg", 0, -1);
    RunWindow({"a.jpg", "b.jpg", "c.jpg"}, [&] {
      AnswerSaveFolder(Output());
      Answer(ModalKind::MessageDlg, mrYes);   // save 3 files
      Answer(ModalKind::MessageDlg, mrYes);   // b exists: replace it
      Answer(ModalKind::ShowMessage, mrOk);   // error creating file .../b.jpg
      Answer(ModalKind::ShowMessage, mrOk);   // summary
      FormSaveImage->Zq_Save->Click();
    });
    EXPECT_GT(fault.Hits(), 0);
    ASSERT_GE(Texts().size(), 2u);
    EXPECT_EQ(Texts()[Texts().size() - 2].rfind("error creating file " + Output() + "b.jpg", 0), 0u)
        << Texts()[Texts().size() - 2];
    EXPECT_EQ(Texts().back(), "2 of 3 files saved");
    EXPECT_EQ(testsupport::ReadFile(Output() + "b.jpg"), "the old b");
    EXPECT_EQ(Geometry(Output() + "c.jpg"), "640x480");
    EXPECT_TRUE(NoTemporaryFilesIn(Output()));
  }
}

TEST_F(SaveImageTest, APictureThatCannotBeReadIsLeftOutNotWrittenFromTheOneBefore) {
  MakePicture("first.jpg", 800, 600);
  testsupport::WriteFile(Pictures() + "broken.jpg", std::string("\xFF\xD8\xFF\xE0 this is no picture", 24));
  MakePicture("last.png", 600, 800);
  RunWindow({"first.jpg", "broken.jpg", "last.png"}, [&] {
    AnswerSaveFolder(Output());
    Answer(ModalKind::MessageDlg, mrYes);
    Answer(ModalKind::ShowMessage, mrOk);  // the broken one
    Answer(ModalKind::ShowMessage, mrOk);  // summary
    FormSaveImage->Zq_Save->Click();
  });
  ASSERT_EQ(Texts().size(), 4u);
  EXPECT_EQ(Texts()[2], "error creating file " + Pictures() + "broken.jpg");
  EXPECT_EQ(Texts()[3], "2 of 3 files saved");
  EXPECT_FALSE(fs::exists(Output() + "broken.jpg"));
  EXPECT_EQ(Geometry(Output() + "first.jpg"), "640x480");
  EXPECT_EQ(Geometry(Output() + "last.jpg"), "480x640");
}

TEST_F(SaveImageTest, TheOverwriteRunReplacesEachOriginalInItsOwnFolder) {
  KIVO2_REQUIRE_TOOL("exiftool");
  // A list of full paths from two folders (as a search gives it), while the tree shows a
  // third folder that holds a file of the same name.
  const std::string one = testsupport::TempPath("one") + "/", two = testsupport::TempPath("two") + "/";
  fs::create_directories(one);
  fs::create_directories(two);
  const std::string jpeg = MakeTaggedPicture(one + "IMG_1.JPG", 1600, 1200, {"-Make=KivoCam", "-ISO=100"});
  const std::string png = MakePicture(two + "photo.png", 1200, 1600);
  const std::string pngBytes = testsupport::ReadFile(png);
  const std::string bystander = MakePicture("IMG_1.jpg", 300, 200);
  const std::string bystanderBytes = testsupport::ReadFile(bystander);
  Form1->QzDirTree211->OpenPath(Pictures());
  RunWindow({jpeg, png}, [&] {
    Answer(ModalKind::MessageDlg, mrYes);  // Danger! ... overwrite original files
    Answer(ModalKind::MessageDlg, mrYes);  // IMG_1.JPG exists: replace it
    Answer(ModalKind::ShowMessage, mrOk);  // summary
    FormSaveImage->ZqOverWriteOrg->Click();
  });
  ASSERT_EQ(Texts().size(), 3u);
  EXPECT_EQ(Texts()[1], "File " + jpeg + " exists, Overwrite this file? ");
  EXPECT_EQ(Texts()[2], "2 of 2 files saved");
  EXPECT_EQ(Geometry(jpeg), "640x480");
  EXPECT_EQ(Metadata(jpeg)["IFD0:Make"], "KivoCam");
  EXPECT_EQ(testsupport::ReadFile(png), pngBytes);
  EXPECT_EQ(Geometry(two + "photo.jpg"), "480x640");
  EXPECT_EQ(testsupport::ReadFile(bystander), bystanderBytes);
  EXPECT_FALSE(fs::exists(one + "IMG_1.jpg"));
}

TEST_F(SaveImageTest, ARunStopsWhenItsWindowOrTheProgramClosesOrTheUserAborts) {
  for (int i = 0; i < 6; ++i) MakePicture("p" + std::to_string(i) + ".jpg", 1200, 900);
  const std::vector<std::string> names{"p0.jpg", "p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg", "p5.jpg"};
  // What happens once the run has saved its second copy.
  auto whenSecondSaved = [&](std::function<void()> act) {
    auto* timer = new TTimer(FormSaveImage);
    timer->SetInterval(1);
    timer->OnTimer = [timer, act, this](TObject*) {
      if (!fs::exists(Output() + "p1.jpg")) return;
      timer->SetEnabled(false);
      act();
    };
    timer->SetEnabled(true);
  };
  struct Case {
    const char* what;
    std::function<void()> act;
    bool asks;
  };
  const Case cases[] = {
      {"window closed", [] { FormSaveImage->Close(); }, false},
      {"program ending", [] { Application->Terminate(); }, false},
      {"abort button", [] { FormSaveImage->ZqButton1->Click(); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& e : fs::directory_iterator(Output())) fs::remove(e.path());
    TModalResult closing = mrNone;
    RunWindow(names, [&] {
      AnswerSaveFolder(Output());
      Answer(ModalKind::MessageDlg, mrYes);
      if (c.asks) Answer(ModalKind::MessageDlg, mrYes);  // Stop current file batch handling?
      Answer(ModalKind::ShowMessage, mrOk);              // summary
      whenSecondSaved(c.act);
      FormSaveImage->Zq_Save->Click();
      EXPECT_FALSE(FormSaveImage->FBatchRunning);
      closing = FormSaveImage->ModalResult();
    });
    Application->ResetTerminated();
    // The run ended after the file it was writing; the window closed only once it had.
    int written = 0;
    for (const auto& e : fs::directory_iterator(Output())) written += e.path().extension() == ".jpg";
    EXPECT_GE(written, 2);
    EXPECT_LT(written, 6);
    EXPECT_EQ(Texts().back(), std::to_string(written) + " of 6 files saved");
    if (c.asks) {
      EXPECT_EQ(Texts()[Texts().size() - 2], "Stop current file batch handling?");
    }
    // The close waited for the run and then went ahead.
    if (std::string(c.what) == "window closed") {
      EXPECT_EQ(closing, mrCancel);
    }
    EXPECT_TRUE(NoTemporaryFilesIn(Output()));
  }
}

TEST_F(SaveImageTest, TheWindowsChoicesAreStoredWithTheSettings) {
  MakePicture("a.jpg", 400, 300);
  RunWindow({"a.jpg"}, [] {
    FormSaveImage->ComboBox1->SetItemIndex(6);
    FormSaveImage->ComboBox2->SetItemIndex(5);
    FormSaveImage->Ch_Filter->SetChecked(false);
    FormSaveImage->Ch_Strech->SetChecked(true);
    FormSaveImage->Panel2->Click();  // shows the settings panel
  });
  EXPECT_EQ(Form1->FSmallWidth, 6);
  EXPECT_EQ(Form1->FSmallCompression, 5);
  EXPECT_FALSE(Form1->FFilter);
  EXPECT_TRUE(Form1->FStretchSmall);
  EXPECT_TRUE(Form1->FWebSettings);
  ASSERT_TRUE(Form1->WriteUserSettingsToReg());
  const std::string reg = testsupport::ReadFile(GetEnvironmentVariable("KIVO2_REGISTRY_DIR") + "/HKEY_CURRENT_USER.reg");
  for (const char* line : {"\"SmallWidth\"=dword:00000006", "\"SmallCompression\"=dword:00000005",
                           "\"Filter\"=dword:00000000", "\"StretchSmall\"=dword:00000001", "\"WebSettings\"=dword:00000001"})
    EXPECT_NE(reg.find(line), std::string::npos) << line;
}
