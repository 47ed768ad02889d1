// The save-folder dialog: a refused prefix or folder keeps the dialog open (the Save
// button sets the result only when everything passed), refused characters are not typed,
// a typed folder is created with its parents after asking, paths compare exactly, and the
// Save button follows the tree.

#include <cerrno>
#include <filesystem>

#include "SaveImageFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "core/Unit1.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/FileFaults.h"
#include "tools/UnitSaveToFolder.h"

namespace fs = std::filesystem;

namespace {

// Shows the dialog; body runs while it shows and returns what the dialog's result is then.
int ShowDialog(const std::function<void(TSaveToFolderForm*)>& body) {
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest&) {
    GuiTesting::ProcessEvents();
    body(SaveToFolderForm);
    return mrNone;
  });
  return SaveToFolderForm->ShowModal();
}

}  // namespace

TEST_F(SaveImageTest, ARefusedPrefixKeepsTheDialogOpen) {
  struct Case {
    const char* prefix;
    bool enabled;
    const char* message;  // "" when accepted
  };
  const Case cases[] = {
      {".x", false, "Space or a \".\" not allowed at first text position"},
      {".x", true, "Space or a \".\" not allowed at first text position"},
      {" x", true, "Space or a \".\" not allowed at first text position"},
      {" x", false, ""},
      {"a|b", true, "/\\:*?\"<>| characters are not allow in file names"},
      {"a|b", false, ""},
      {"web_", true, ""},
      {"", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.prefix + "\" " + (c.enabled ? "enabled" : "disabled"));
    const size_t before = Texts().size();
    const int result = ShowDialog([&](TSaveToFolderForm* f) {
      if (*c.message) Answer(ModalKind::ShowMessage, 1);
      f->Edit1->SetText(Output());
      f->ChB_UsePrefix->SetChecked(c.enabled);
      f->PrefixText->SetText(c.prefix);
      f->ZqButton2->Click();
      // A refusal leaves the result unset: the dialog stays; Cancel closes it then.
      if (*c.message) {
        EXPECT_EQ(f->ModalResult(), mrNone);
        f->ZqButton1->Click();
      }
    });
    if (*c.message) {
      EXPECT_EQ(result, mrCancel);
      ASSERT_EQ(Texts().size(), before + 1);
      EXPECT_EQ(Texts().back(), c.message);
    } else {
      EXPECT_EQ(result, mrOk);
      EXPECT_EQ(SaveToFolderForm->FChosenFolder, Output());
      EXPECT_EQ(Form1->FPrefix, c.prefix);
    }
  }
}

TEST_F(SaveImageTest, RefusedCharactersAreNotTypedIntoThePrefix) {
  ShowDialog([](TSaveToFolderForm* f) {
    f->ChB_UsePrefix->SetChecked(true);
    f->FormActivate(f);
    EXPECT_TRUE(f->PrefixText->Enabled());
    f->PrefixText->SetText("");
    f->PrefixText->SetFocus();
    GuiTesting::TypeText(f->PrefixText, "a:b*c?d\"e<f>g|h\\i/j");
    EXPECT_EQ(f->PrefixText->Text(), "abcdefghij");
    f->ChB_UsePrefix->SetChecked(false);
    EXPECT_FALSE(f->PrefixText->Enabled());
    f->ChB_WriteExif->SetChecked(true);
    EXPECT_EQ(f->ChB_WriteExif->Font()->Color(), clRed);
    f->ZqButton1->Click();
  });
}

TEST_F(SaveImageTest, ATypedFolderIsCreatedOnlyAfterAskingAndPathsCompareExactly) {
  const std::string fresh = Output() + "new/deeper";
  // Esc closes the dialog as Cancel does.
  EXPECT_EQ(ShowDialog([&](TSaveToFolderForm* f) {
              GuiTesting::PressKey(f->Edit1, VK_ESCAPE);
              if (f->ModalResult() == mrNone) f->ZqButton2->Click();
            }),
            mrCancel);
  // No: the dialog stays open and nothing is made.
  EXPECT_EQ(ShowDialog([&](TSaveToFolderForm* f) {
              Answer(ModalKind::MessageDlg, mrNo);
              f->Edit1->SetText(fresh);
              f->ZqButton2->Click();
              EXPECT_EQ(f->ModalResult(), mrNone);
              f->ZqButton1->Click();
            }),
            mrCancel);
  EXPECT_EQ(Texts().back(), "Create folder " + fresh);
  EXPECT_FALSE(fs::exists(Output() + "new"));
  // A folder that cannot be made: said, and the dialog stays open.
  {
    TFileFaultScope refused(TFileFaultOp::Open, EACCES, Output() + "new", 0, -1);
    EXPECT_EQ(ShowDialog([&](TSaveToFolderForm* f) {
                Answer(ModalKind::MessageDlg, mrYes);
                Answer(ModalKind::ShowMessage, 1);
                f->Edit1->SetText(fresh);
                f->ZqButton2->Click();
                EXPECT_EQ(f->ModalResult(), mrNone);
                f->ZqButton1->Click();
              }),
              mrCancel);
    EXPECT_EQ(Texts().back(), "Could't create folder " + fresh);
  }
  // A name that is no full path is refused without a question.
  EXPECT_EQ(ShowDialog([&](TSaveToFolderForm* f) {
              Answer(ModalKind::ShowMessage, 1);
              f->Edit1->SetText("relative/folder");
              f->ZqButton2->Click();
              EXPECT_EQ(f->ModalResult(), mrNone);
              f->ZqButton1->Click();
            }),
            mrCancel);
  EXPECT_EQ(Texts().back(), "Could't create folder relative/folder");
  EXPECT_FALSE(fs::exists("relative"));
  // Yes: made with its parents and chosen.
  EXPECT_EQ(ShowDialog([&](TSaveToFolderForm* f) {
              Answer(ModalKind::MessageDlg, mrYes);
              f->Edit1->SetText(fresh);
              f->ZqButton2->Click();
            }),
            mrOk);
  EXPECT_TRUE(fs::is_directory(fresh));
  EXPECT_EQ(SaveToFolderForm->FChosenFolder, fresh + "/");
  // A folder that differs from the tree's only in letter case is another folder.
  fs::create_directories(Output() + "Photos");
  Form1->FWebFolder = Output() + "Photos";
  EXPECT_EQ(ShowDialog([&](TSaveToFolderForm* f) {
              Answer(ModalKind::MessageDlg, mrYes);
              EXPECT_EQ(f->ShellTreeView1->SelectedPath(), Output() + "Photos/");
              EXPECT_TRUE(f->ZqButton2->Enabled());
              f->Edit1->SetText(Output() + "photos");
              f->ZqButton2->Click();
            }),
            mrOk);
  EXPECT_EQ(Texts().back(), "Create folder " + Output() + "photos");
  EXPECT_EQ(SaveToFolderForm->FChosenFolder, Output() + "photos/");
  // The tree's own folder, typed as it stands, needs no question.
  EXPECT_EQ(ShowDialog([&](TSaveToFolderForm* f) {
              f->Edit1->SetText(Output() + "Photos/");
              f->ZqButton2->Click();
            }),
            mrOk);
  EXPECT_EQ(SaveToFolderForm->FChosenFolder, Output() + "Photos/");
}

TEST_F(SaveImageTest, TheDefaultFolderCanBeSetFromTheDialog) {
  fs::create_directories(Output() + "chosen");
  Form1->FWebFolder = Output() + "chosen";
  const std::string desktop = testsupport::TempPath("Desktop");
  fs::create_directories(desktop);
  Form1->FDesktopFolder = desktop + "/";
  ShowDialog([&](TSaveToFolderForm* f) {
    Answer(ModalKind::ShowMessage, 1);
    Answer(ModalKind::ShowMessage, 1);
    EXPECT_EQ(f->PDesktop->Caption(), desktop + "/");
    f->SetDefault1->Click();
    EXPECT_EQ(Form1->FWebFolder, Output() + "chosen");
    f->PDesktop->Click();
    EXPECT_EQ(Form1->FWebFolder, desktop);
    EXPECT_EQ(f->Edit1->Text(), desktop);
    f->ZqButton1->Click();
  });
  EXPECT_EQ(Texts()[0], "Default save location is now: " + Output() + "chosen");
  EXPECT_EQ(Texts()[1], "Images will be saved at: " + desktop);
}
