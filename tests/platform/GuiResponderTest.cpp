// The modal responder: scripted answers for message dialogs, ShowModal, input queries
// and common dialogs; unscripted calls fail the test at once instead of blocking.
#include <algorithm>
#include <memory>

#include "GuiTestSupport.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/StdCtrls.h"

namespace {

using Responder = GuiTest;

// Captures the failures of unanswered calls instead of failing the test.
struct CapturedFailures {
  std::vector<std::string> messages;
  CapturedFailures() {
    ModalResponder::SetFailureHook([this](const std::string& m) { messages.push_back(m); });
  }
  ~CapturedFailures() {
    ModalResponder::SetFailureHook([](const std::string& message) { ADD_FAILURE() << message; });
  }
};

TEST_F(Responder, MessageDialogsReturnTheScriptedAnswersInOrder) {
  ModalResponder::Expect(ModalKind::MessageDlg, mrNo);
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  EXPECT_EQ(MessageDlg("Delete it?", mtConfirmation, {mbYes, mbNo}, 0), mrNo);
  EXPECT_EQ(MessageDlg("Really?", mtConfirmation, {mbYes, mbNo, mbCancel}, 0), mrYes);
  auto history = ModalResponder::History();
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0].text, "Delete it?");
  EXPECT_EQ(history[1].text, "Really?");
  EXPECT_EQ(history[0].caption, "Confirm");
  EXPECT_TRUE(history[1].answered);
}

TEST_F(Responder, AnUnansweredCallFiresTheHookAndReturnsCancel) {
  CapturedFailures failures;
  EXPECT_EQ(MessageDlg("Nobody answers", mtWarning, {mbOK, mbCancel}, 0), mrCancel);
  std::string value = "preset";
  EXPECT_FALSE(InputQuery("Name", "Give a name", value));
  EXPECT_EQ(value, "preset");
  ShowMessage("A notice");
  ASSERT_EQ(failures.messages.size(), 3u);
  EXPECT_NE(failures.messages[0].find("Nobody answers"), std::string::npos);
  EXPECT_NE(failures.messages[1].find("InputQuery"), std::string::npos);
  EXPECT_NE(failures.messages[2].find("A notice"), std::string::npos);
  EXPECT_EQ(ModalResponder::Unanswered(), 3);
}

TEST_F(Responder, AnExpectationOfAnotherKindDoesNotAnswer) {
  CapturedFailures failures;
  ModalResponder::Expect(ModalKind::OpenDialog, 1, "/tmp/x.jpg");
  EXPECT_EQ(MessageDlg("Question", mtConfirmation, {mbYes, mbNo}, 0), mrCancel);
  ASSERT_EQ(failures.messages.size(), 1u);
  EXPECT_NE(failures.messages[0].find("OpenDialog"), std::string::npos);
  EXPECT_EQ(ModalResponder::Pending(), 1);
  ModalResponder::Reset();
}

TEST_F(Responder, AnAnswerThatIsNoButtonOfTheDialogIsAFault) {
  CapturedFailures failures;
  ModalResponder::Expect(ModalKind::MessageDlg, mrOk);
  EXPECT_EQ(MessageDlg("Yes or no?", mtConfirmation, {mbYes, mbNo}, 0), mrCancel);
  EXPECT_EQ(failures.messages.size(), 1u);
}

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

TEST_F(Responder, MessageTextsWithCarriageReturnsShowAsLines) {
  ModalResponder::Expect(ModalKind::MessageDlg, mrOk);
  MessageDlg("one\r\ntwo\rthree", mtInformation, {mbOK}, 0);
  EXPECT_EQ(ModalResponder::History().at(0).text, "one\ntwo\nthree");
  EXPECT_EQ(ModalResponder::History().at(0).caption, "Information");
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

TEST_F(Responder, EnvironmentDefaultsUnderTestAndCanBeChanged) {
  EXPECT_TRUE(Application->Active());
  EXPECT_EQ(Screen->Width(), 1920);
  EXPECT_EQ(Screen->Height(), 1080);
  ModalResponder::SetApplicationActive(false);
  ModalResponder::SetScreenSize(800, 600);
  EXPECT_FALSE(Application->Active());
  EXPECT_EQ(Screen->Width(), 800);
  EXPECT_EQ(Screen->WorkAreaRect(), Rect(0, 0, 800, 600));
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

TEST_F(Responder, AModalCallInsideAScriptedOneTakesTheNextAnswer) {
  // The preferences dialog asks a question from its close handler while it is modal.
  auto form = std::make_unique<TForm>(nullptr);
  std::vector<int> answers;
  form->OnClose = [&](TObject*, TCloseAction&) {
    answers.push_back(MessageDlg("Associated list changed, save now?", mtConfirmation, {mbYes, mbNo}, 0));
  };
  ModalResponder::Expect(ModalKind::ShowModal, mrOk);
  ModalResponder::Expect(ModalKind::MessageDlg, mrNo);
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_EQ(answers, (std::vector<int>{mrNo}));
  auto history = ModalResponder::History();
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0].kind, ModalKind::ShowModal);
  EXPECT_EQ(history[1].kind, ModalKind::MessageDlg);
}

TEST_F(Responder, AnyKindAnswersWhateverComesAndCloseInsideTheScriptCancels) {
  ModalResponder::Expect(ModalKind::Any, mrOk);
  ShowMessage("Done");
  auto form = std::make_unique<TForm>(nullptr);
  ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest& r) {
    r.form->Close();  // closing a modal form means Cancel
    return mrNone;
  });
  EXPECT_EQ(form->ShowModal(), mrCancel);
  // A modal form's OnShow and OnActivate run before the script answers.
  std::vector<std::string> events;
  form->OnShow = [&](TObject*) { events.push_back("show"); };
  form->OnActivate = [&](TObject*) { events.push_back("activate"); };
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest&) {
    events.push_back("script");
    return mrOk;
  });
  form->ShowModal();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[0], "show");
  EXPECT_EQ(events.back(), "script");
  EXPECT_NE(std::find(events.begin(), events.end(), "activate"), events.end());
}

TEST_F(Responder, ScriptingCanBeSwitchedAndTheHistoryReset) {
  EXPECT_TRUE(ModalResponder::Scripted());
  ModalResponder::Expect(ModalKind::MessageDlg, mrOk);
  EXPECT_EQ(ModalResponder::Pending(), 1);
  ModalResponder::Reset();
  EXPECT_EQ(ModalResponder::Pending(), 0);
  EXPECT_TRUE(ModalResponder::History().empty());
  EXPECT_STREQ(ModalKindName(ModalKind::SelectDirectory), "SelectDirectory");
}

}  // namespace
