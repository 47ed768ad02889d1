// Modal runs as the class library has them: ShowModal ends with the result of the button
// clicked or with Cancel when closed, close queries and close actions, message dialogs
// and their buttons, input queries and the common dialogs' results.

#include <algorithm>
#include <filesystem>

#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "platform/gui/Dialogs.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/gui/StdCtrls.h"

namespace {

using Responder = GuiTest;

TEST_F(Responder, ShowModalReturnsTheResultOfTheButtonTheScriptClicks) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetCaption("Settings");
  auto* ok = new TButton(form.get());
  ok->SetParent(form.get());
  ok->SetName("OkButton");
  ok->SetModalResult(mrOk);
  int clicks = 0;
  ok->OnClick = [&](TObject*) { ++clicks; };
  bool shownDuringScript = false;
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& r) {
    shownDuringScript = r.form->Visible() && r.form->Modal();
    static_cast<TButton*>(r.form->FindComponent("okbutton"))->Click();
    return mrNone;  // leave the form's own ModalResult
  });
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(shownDuringScript);
  EXPECT_FALSE(form->Visible());
  EXPECT_FALSE(form->Modal());
  ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest& r) {
    r.form->Close();  // closing a modal form means Cancel
    return mrNone;
  });
  EXPECT_EQ(form->ShowModal(), mrCancel);
}

TEST_F(Responder, AModalFormWhoseCloseQueryRefusesIsAskedAgain) {
  auto form = std::make_unique<TForm>(nullptr);
  int queries = 0;
  form->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = ++queries > 1; };
  int shows = 0, hides = 0;
  form->OnShow = [&](TObject*) { ++shows; };
  form->OnHide = [&](TObject*) { ++hides; };
  ModalResponder::Expect(ModalKind::ShowModal, mrOk);
  ModalResponder::Expect(ModalKind::ShowModal, mrCancel);
  EXPECT_EQ(form->ShowModal(), mrCancel);
  EXPECT_EQ(queries, 2);
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(hides, 1);
}

TEST_F(Responder, CloseWithACloseQueryThatRefusesKeepsTheForm) {
  auto form = std::make_unique<TForm>(nullptr);
  bool allow = false;
  form->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = allow; };
  TCloseAction seen = caNone;
  form->OnClose = [&](TObject*, TCloseAction& action) { seen = action; };
  form->Show();
  form->Close();
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(seen, caNone);  // OnClose did not run
  allow = true;
  form->Close();
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(seen, caHide);
}

TEST_F(Responder, OnCloseWithCaNoneKeepsTheFormAndCaFreeReleasesIt) {
  auto* form = new TForm(nullptr);
  TCloseAction next = caNone;
  form->OnClose = [&](TObject*, TCloseAction& action) { action = next; };
  bool destroyed = false;
  form->OnDestroy = [&](TObject*) { destroyed = true; };
  form->Show();
  form->Close();
  EXPECT_TRUE(form->Visible());
  next = caFree;
  form->Close();
  EXPECT_FALSE(destroyed);  // freed once the events being handled are done
  GuiTesting::ProcessEvents();
  EXPECT_TRUE(destroyed);
}

TEST_F(Responder, CreateMessageDialogHasNamedButtonsThatCanBeRecaptioned) {
  std::unique_ptr<TForm> dlg(CreateMessageDialog("Save changes?", mtConfirmation, {mbYes, mbNo, mbCancel}));
  for (const char* name : {"yes", "NO", "Cancel"}) ASSERT_NE(dlg->FindComponent(name), nullptr) << name;
  EXPECT_EQ(dlg->FindComponent("OK"), nullptr);
  auto* yes = static_cast<TButton*>(dlg->FindComponent("Yes"));
  EXPECT_EQ(yes->Caption(), "&Yes");
  EXPECT_EQ(yes->ModalResult(), mrYes);
  EXPECT_TRUE(yes->Default());
  EXPECT_TRUE(static_cast<TButton*>(dlg->FindComponent("Cancel"))->Cancel());
  yes->SetCaption("&Ja");
  dlg->SetCaption("Bevestig");
  std::string seenCaption, seenButton, seenText;
  ModalResponder::Expect(ModalKind::MessageDlg, [&](ModalRequest& r) {
    seenCaption = r.caption;
    seenText = r.text;
    seenButton = static_cast<TButton*>(r.form->FindComponent("Yes"))->Caption();
    static_cast<TButton*>(r.form->FindComponent("No"))->Click();
    return mrNone;
  });
  EXPECT_EQ(dlg->ShowModal(), mrNo);
  EXPECT_EQ(seenCaption, "Bevestig");
  EXPECT_EQ(seenButton, "&Ja");
  EXPECT_EQ(seenText, "Save changes?");
}

// Lines end at CR, LF or both. A message box fits the screen: a line wider than half of it
// goes on in more rows, and of more lines than its height holds the last say how many more.
TEST_F(Responder, MessageTextsShowAsLinesThatFitTheScreen) {
  ModalResponder::Expect(ModalKind::MessageDlg, mrOk);
  MessageDlg("one\r\ntwo\rthree", mtInformation, {mbOK}, 0);
  EXPECT_EQ(ModalResponder::History().at(0).text, "one\ntwo\nthree");
  EXPECT_EQ(ModalResponder::History().at(0).caption, "Information");

  ModalResponder::SetScreenSize(800, 600);
  std::string list = "300 files could not be renamed:";
  for (int i = 1; i <= 300; ++i) list += "\r/photos/holiday/IMG_" + std::to_string(1000 + i) + ".JPG";
  const std::string longLine = "/photos/" + std::string(400, 'x') + ".jpg could not be read";
  for (const std::string& text : {list, longLine}) {
    ModalResponder::Expect(ModalKind::MessageDlg, [&](ModalRequest& r) {
      // The box lies on the screen, its text shown whole above its button.
      const auto* label = static_cast<TLabel*>(r.form->FindComponent("Message"));
      const auto* ok = static_cast<TButton*>(r.form->FindComponent("OK"));
      EXPECT_LE(r.form->Width(), 800);
      EXPECT_LE(r.form->Height(), 600);
      EXPECT_LE(label->Top() + label->Height(), ok->Top());
      EXPECT_LE(ok->Top() + ok->Height(), r.form->ClientHeight());
      for (const std::string& cut : GuiTesting::CutTexts(r.form)) ADD_FAILURE() << cut;
      return mrOk;
    });
    MessageDlg(text, mtError, {mbOK}, 0);
  }
  // The long line is all there; the list its first lines and how many are left out.
  EXPECT_EQ(ModalResponder::History().at(2).text, longLine);
  const std::string shown = ModalResponder::History().at(1).text;
  const size_t last = shown.rfind('\n');
  const int lines = int(std::count(shown.begin(), shown.end(), '\n'));
  ASSERT_GT(lines, 10);
  std::string first = list.substr(0, last + 1);
  std::replace(first.begin(), first.end(), '\r', '\n');
  EXPECT_EQ(shown.substr(0, last + 1), first);
  EXPECT_EQ(shown.substr(last + 1), "... and " + std::to_string(301 - lines) + " more");
  // ShowMessage says the same.
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  ShowMessage(list);
  EXPECT_EQ(ModalResponder::History().at(3).text, shown);
}

TEST_F(Responder, ApplicationMessageBoxMapsItsFlags) {
  ModalResponder::Expect(ModalKind::MessageDlg, [](ModalRequest& r) {
    EXPECT_EQ(r.dlgType, mtWarning);
    EXPECT_TRUE(r.buttons == (TMsgDlgButtons{mbYes, mbNo, mbCancel}));
    EXPECT_EQ(r.caption, "Title");
    return mrNo;
  });
  EXPECT_EQ(Application->MessageBox("Body", "Title", MB_YESNOCANCEL | MB_ICONWARNING), IDNO);
}

TEST_F(Responder, InputQueryAndInputBoxTakeTheScriptedText) {
  ModalResponder::Expect(ModalKind::InputQuery, [](ModalRequest& r) {
    EXPECT_EQ(*r.value, "old");
    EXPECT_EQ(r.text, "New name:");
    *r.value = "new";
    return mrOk;
  });
  std::string value = "old";
  EXPECT_TRUE(InputQuery("Rename", "New name:", value));
  EXPECT_EQ(value, "new");
  ModalResponder::Expect(ModalKind::InputQuery, mrCancel);
  EXPECT_EQ(InputBox("Rename", "New name:", "default"), "default");
  ModalResponder::Expect(ModalKind::InputQuery, mrOk, "typed");
  EXPECT_EQ(InputBox("Rename", "New name:", "default"), "typed");
}

TEST_F(Responder, FileDialogsGiveFileNamesWithTheDefaultExtension) {
  TSaveDialog save(nullptr);
  save.SetDefaultExt("jpg");
  save.SetFilter("JPEG|*.jpg;*.jpeg|All|*.*");
  ModalResponder::Expect(ModalKind::SaveDialog, mrOk, "/home/u/picture");
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName(), "/home/u/picture.jpg");
  EXPECT_EQ(save.ToolkitFilters(), (std::vector<std::string>{"JPEG (*.jpg *.jpeg)", "All (*)"}));
  // Patterns the description names itself are shown once.
  save.SetFilter("JPEG Image File (*.jpg)|*.jpg|file(*.bmp)|*.bmp");
  EXPECT_EQ(save.ToolkitFilters(), (std::vector<std::string>{"JPEG Image File (*.jpg)", "file (*.bmp)"}));

  TOpenDialog open(nullptr);
  open.SetOptions(TOpenOptions{ofAllowMultiSelect});
  ModalResponder::Expect(ModalKind::OpenDialog, [](ModalRequest& r) {
    *r.files = {"/a/1.png", "/a/2.png"};
    return 1;
  });
  ASSERT_TRUE(open.Execute());
  ASSERT_EQ(open.Files()->Count(), 2);
  EXPECT_EQ(open.Files()->Strings(1), "/a/2.png");
  EXPECT_EQ(open.FileName(), "/a/1.png");
  ModalResponder::Expect(ModalKind::OpenDialog, 0);
  EXPECT_FALSE(open.Execute());
  EXPECT_EQ(open.FileName(), "/a/1.png");

  // The toolkit's own dialogs, with the script off. In Dutch the list gives sizes, dates
  // and folders as the program writes them.
  const std::string folder = testsupport::TempPath("shown");
  std::filesystem::create_directories(folder + "/sub");
  const std::string file = testsupport::TempFile("shown/big.jpg", std::string(138330, 'x'));
  InitTranslation(testsupport::ProgramDir() + "/locale");
  AddDomainForResourceString("corvo");
  UseLanguage("nl");
  ModalResponder::SetScripted(false);
  open.SetInitialDir(folder);
  GuiTesting::FileDialogEntry big, sub;
  GuiTesting::WhileToolkitDialogShows([&] { open.Execute(); }, [&] {
    big = GuiTesting::InFileDialogList("big.jpg");
    sub = GuiTesting::InFileDialogList("sub");
  });
  const std::string date = testsupport::Run({"date", "-r", file, "+%-d-%-m-%Y %-H:%M:%S"}).out;
  ASSERT_EQ(big.cells.size(), 4u);
  EXPECT_EQ(big.cells[1], "135,09 KB");
  EXPECT_EQ(big.cells[3] + "\n", date);
  ASSERT_EQ(sub.cells.size(), 4u);
  EXPECT_EQ(sub.cells[2], "Map");
  // Open, Save As and the folder browser offer no Delete or Rename, and Delete and F2 in
  // their lists neither ask nor edit; New Folder stays.
  UseLanguage("en");
  save.SetInitialDir(folder);
  std::string chosen = folder;
  const std::vector<std::pair<std::function<void()>, std::vector<std::string>>> dialogs{
      {[&] { open.Execute(); }, {"big.jpg", "sub"}},
      {[&] { save.Execute(); }, {"big.jpg", "sub"}},
      {[&] { SelectDirectory("Pick", "", chosen); }, {"sub"}}};
  for (const auto& [run, names] : dialogs)
    GuiTesting::WhileToolkitDialogShows(run, [&] {
      for (const std::string& name : names) {
        const GuiTesting::FileDialogEntry entry = GuiTesting::InFileDialogList(name);
        EXPECT_EQ(entry.cells.size(), 4u) << name;
        EXPECT_EQ(entry.menu, (std::vector<std::string>{"Show hidden files", "New Folder"})) << name;
        EXPECT_EQ(entry.questions, std::vector<std::string>{}) << name;
        EXPECT_FALSE(entry.editor) << name;
        EXPECT_TRUE(std::filesystem::exists(folder + "/" + name)) << name;
      }
    });
  EXPECT_EQ(testsupport::Run({"ls", folder}).out, "big.jpg\nsub\n");
}

TEST_F(Responder, ColorDialogAndFolderBrowser) {
  TColorDialog color(nullptr);
  color.SetColor(clRed);
  ModalResponder::Expect(ModalKind::ColorDialog, [](ModalRequest& r) {
    EXPECT_EQ(*r.color, clRed);
    *r.color = clBlue;
    return 1;
  });
  ASSERT_TRUE(color.Execute());
  EXPECT_EQ(color.Color(), clBlue);
  std::string dir = "/start";
  ModalResponder::Expect(ModalKind::SelectDirectory, mrOk, "/media/card/DCIM/");
  ASSERT_TRUE(SelectDirectory("Pick", "", dir));
  EXPECT_EQ(dir, "/media/card/DCIM");
}

TEST_F(Responder, AnExceptionEscapingAHandlerIsShownAsAnError) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* button = new TButton(form.get());
  button->SetParent(form.get());
  button->SetBounds(10, 10, 80, 24);
  button->OnClick = [](TObject*) { throw EConvertError("'x' is not a valid integer value"); };
  form->Show();
  ModalResponder::Expect(ModalKind::MessageDlg, [](ModalRequest& r) {
    EXPECT_EQ(r.dlgType, mtError);
    EXPECT_EQ(r.text, "'x' is not a valid integer value.");
    return mrOk;
  });
  GuiTesting::Click(button, 5, 5);
  EXPECT_EQ(ModalResponder::Pending(), 0);
}

}  // namespace
