// The main window's small command handlers: the sort items against an order the test
// works out from the files, the editor receiving each file as one argument whatever its
// name holds, files of a type no program opens, the to-do text, clearing the thumbnail
// cache into the Trash, select all, the desktop and documents folders, e-mailing the files
// as they are, and the compression center opened with the stored presets.
#include <sys/stat.h>

#include "OrganiseFixture.h"
#include "controls/KpPanel.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "platform/gui/CheckLst.h"
#include "platform/gui/ComCtrls.h"
#include "platform/shell/Shell.h"
#include "tools/UnitHelp.h"
#include "tools/UnitSaveImage.h"

namespace fs = std::filesystem;

using CommandHandlersTest = OrganiseTest;

TEST_F(CommandHandlersTest, SortItemsOrderTheListAndPoNoneMarksNoOrder) {
  const std::vector<std::pair<std::string, size_t>> files{{"m.png", 300}, {"a.png", 100}, {"z.png", 200}};
  for (const auto& [name, size] : files) testsupport::WriteFile(folder_ + name, std::string(size, 'x'));
  StartIn();
  Form1->PoSize->Click();
  EXPECT_EQ(Form1->FSortMode, 2);
  EXPECT_FALSE(Form1->PoNone->Checked());
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.png", "z.png", "m.png"}));
  Form1->PoName->Click();
  EXPECT_EQ(Form1->FSortMode, 1);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.png", "m.png", "z.png"}));
  Form1->PoNone->Click();
  EXPECT_EQ(Form1->FSortMode, 0);
  EXPECT_TRUE(Form1->PoNone->Checked());
  // A search list keeps its order: said, nothing else.
  Form1->PanelCustomLists->SetVisible(true);
  ExpectMessage("No sort available for the list/paperclip at this moment");
  Form1->PoSize->Click();
  EXPECT_EQ(Form1->FSortMode, 0);
}

TEST_F(CommandHandlersTest, TheEditorGetsEachFileAsOneArgument) {
  for (const char* name : {"plain.jpg", "with blank.jpg", "quote\"and'apostrophe.jpg", "$HOME;ls.jpg"})
    testsupport::WriteFile(folder_ + name, "x");
  // The editor stand-in writes each argument it got on a line of its own.
  const std::string record = testsupport::TempPath("arguments.txt");
  const std::string editor = testsupport::TempPath("editor.sh");
  testsupport::WriteFile(editor, "#!/bin/sh\nfor a; do printf '%s\\n' \"$a\"; done > " + record + ".part\nmv " + record +
                                     ".part " + record + "\n");
  chmod(editor.c_str(), 0755);
  StartIn();
  Form1->FEditorPath = editor;
  Select({"plain.jpg", "with blank.jpg", "quote\"and'apostrophe.jpg", "$HOME;ls.jpg"});
  Form1->P_OwnEditor->Click();
  for (int i = 0; i < 500 && !fs::exists(record); ++i) usleep(10000);
  EXPECT_EQ(testsupport::ReadFile(record), folder_ + "$HOME;ls.jpg\n" + folder_ + "plain.jpg\n" + folder_ +
                                              "quote\"and'apostrophe.jpg\n" + folder_ + "with blank.jpg\n");
  EXPECT_EQ(Form1->FWorkFiles->Count(), 0);
  EXPECT_EQ(Form1->FFileAction, 10);
  // A file of a type no program opens is said, once for each such file.
  testsupport::WriteFile(folder_ + "data.kivo2unknowntype", "\x01\x02\xff");
  Form1->Showallfiles->SetChecked(true);
  Form1->Reload1Click(Form1);
  Select({"data.kivo2unknowntype"});
  ExpectMessage("No associated program for this file type.");
  Form1->P_StartProg->Click();
}

TEST_F(CommandHandlersTest, ToDoListSelectAllTheUsersFoldersAndClearingTheThumbnailCache) {
  MakeColor("a.png", 8, 8, "red");
  MakeColor("b.png", 8, 8, "blue");
  const std::string desktop = std::string(getenv("HOME")) + "/Desktop";
  fs::create_directories(desktop);
  testsupport::WriteFile(desktop + "/d.png", testsupport::ReadFile(folder_ + "a.png"));
  StartIn();
  Form1->Selectall1->Click();
  EXPECT_TRUE(Form1->ListBox1->MultiSelect());
  EXPECT_EQ(Form1->ListBox1->SelCount(), 2);
  Form1->GotoDesktop->Click();
  EXPECT_EQ(Form1->FLastPath, desktop + "/");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"d.png"}));
  // With the debug panel, Help opens the to-do list in the text window.
  testsupport::WriteFile(Form1->FAppDir + "todo.txt", "first thing\r\nsecond thing\r\n");
  Form1->KpFramePanel1->SetVisible(true);
  Form1->M_Help->Click();
  EXPECT_TRUE(HelpForm->Visible());
  EXPECT_EQ(HelpForm->Caption(), "Todo");
  EXPECT_EQ(HelpForm->FFileName, Form1->FAppDir + "todo.txt");
  EXPECT_EQ(HelpForm->RichEdit1->Lines()->Strings(1), "second thing");
  HelpForm->Close();

  // Clearing the thumbnail cache sends it to the Trash, after a question.
  const std::string cache = Form1->FThumbCacheFolder;
  fs::create_directories(cache);
  ExpectMessage("Thumbs cache folder is empty");
  Form1->Clearthumbscachefolder1->Click();
  testsupport::WriteFile(cache + "/0badc0de.jpg", "t1");
  testsupport::WriteFile(cache + "/12345678.jpg", "t2");
  ExpectMessage("There are 2 cached thumbnail files present.\nDo you want to remove the cached thumbnail files?", mrNo,
                ModalKind::MessageDlg);
  Form1->Clearthumbscachefolder1->Click();
  EXPECT_EQ(FolderEntries(cache).size(), 2u);
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  Form1->Clearthumbscachefolder1->Click();
  EXPECT_EQ(FolderEntries(cache), std::vector<std::string>{});
  const std::string trashed = HomeTrashDir() + "/files/" + fs::path(cache).filename().string();
  EXPECT_EQ(FolderEntries(trashed), (std::vector<std::string>{"0badc0de.jpg", "12345678.jpg"}));
  EXPECT_TRUE(fs::exists(HomeTrashDir() + "/info/" + fs::path(cache).filename().string() + ".trashinfo"));
}

TEST_F(CommandHandlersTest, MailingUnmodifiedHandsTheSelectedFilesAsTheyAre) {
  testsupport::WriteFile(folder_ + "a.jpg", "first picture");
  testsupport::WriteFile(folder_ + "b b.png", "second picture");
  testsupport::WriteFile(folder_ + "c.png", "not chosen");
  // The mail program stand-in writes its arguments, one a line.
  const std::string log = testsupport::TempPath("mail-arguments.txt");
  const std::string bin = testsupport::TempPath("bin");
  fs::create_directories(bin);
  testsupport::WriteFile(bin + "/xdg-email",
                         "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + log + "'\nexit 0\n");
  // The desktop names a mail program.
  testsupport::WriteFile(bin + "/xdg-mime",
                         "#!/bin/sh\n[ \"$*\" = 'query default x-scheme-handler/mailto' ] && echo mail.desktop\nexit 0\n");
  for (const char* program : {"/xdg-email", "/xdg-mime"}) chmod((bin + program).c_str(), 0755);
  // The stand-in comes first on PATH for this test only.
  EnvironmentGuard path({{"PATH", bin + ":" + getenv("PATH")}});
  // Large files together (a sparse file that stat counts as 11 MiB): asked first, with the size.
  ASSERT_EQ(testsupport::Run({"truncate", "-s", "11M", folder_ + "large.png"}).exitCode, 0);
  ASSERT_EQ(testsupport::Run({"stat", "-c", "%s", folder_ + "large.png"}).out, "11534336\n");
  StartIn();
  Select({"a.jpg", "large.png"});
  ExpectMessage("You're about to send one or more (large) files as e-mail\n2 files, together 11.00 MB\n"
                           "continue?", mrNo, ModalKind::MessageDlg);
  Form1->M_Email1->Click();
  EXPECT_FALSE(fs::exists(log));
  EXPECT_EQ(Form1->FWorkFiles->Count(), 0);
  // Small ones go without a question.
  Select({"a.jpg", "b b.png"});
  Form1->Sendselectedunmodified1->Click();
  ASSERT_TRUE(fs::exists(log));
  const std::vector<std::string> args = testsupport::Lines(testsupport::ReadFile(log));
  std::vector<std::string> attached;
  std::string subject;
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "--attach") attached.push_back(testsupport::ReadFile(args[i + 1]));
    if (args[i] == "--subject") subject = args[i + 1];
  }
  EXPECT_EQ(subject, "2 files attached");
  EXPECT_EQ(attached, (std::vector<std::string>{"first picture", "second picture"}));
  EXPECT_EQ(Form1->FWorkFiles->Count(), 0);
  EXPECT_EQ(Form1->FFileAction, 10);
}

TEST_F(CommandHandlersTest, TheCompressionCenterOpensWithTheStoredPresetsOrSaysThereIsNothing) {
  testsupport::WriteFile(folder_ + "notes.txt", "x");
  StartIn();
  ExpectMessage("No files present!");
  Form1->SaveasJPG1->Click();

  MakeColor("a.png", 40, 30, "red");
  MakeColor("b.png", 40, 30, "blue");
  Form1->Reload1Click(Form1);
  Select({"a.png", "b.png"});
  Form1->FSmallWidth = 2;
  Form1->FSmallCompression = 4;
  Form1->FFilter = false;
  bool shown = false;
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& request) {
    EXPECT_EQ(request.form, FormSaveImage);
    shown = true;
    EXPECT_EQ(FormSaveImage->CheckListBox1->Count(), 2);
    EXPECT_EQ(FormSaveImage->ComboBox1->ItemIndex(), 2);
    EXPECT_EQ(FormSaveImage->ComboBox2->ItemIndex(), 4);
    EXPECT_FALSE(FormSaveImage->Ch_Filter->Checked());
    EXPECT_TRUE(FormSaveImage->ZqOverWriteOrg->Enabled());
    EXPECT_NE(FormSaveImage->FJpegOut, nullptr);
    FormSaveImage->Zq_Close->Click();
    return int(mrNone);
  });
  Form1->Emailcenter1->Click();
  EXPECT_TRUE(shown);
  // The window freed what the main window made for it.
  EXPECT_EQ(FormSaveImage->FJpegOut, nullptr);
  EXPECT_EQ(FormSaveImage->FSourceImage, nullptr);
}
