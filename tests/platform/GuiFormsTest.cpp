// Forms: placement, window states, full screen, activation, the screen's form list,
// hints, edits, the application's exception handling, and the help window.

#include <filesystem>
#include <functional>

#include "GuiTestSupport.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "platform/services/HelpWindow.h"
#include "TestSupport.h"

namespace {

using Forms = GuiTest;

TEST_F(Forms, PositionCentresOnTheScreenOrOnTheMainForm) {
  ModalResponder::SetScreenSize(1000, 800);
  Host h;
  h.form->SetBounds(0, 0, 300, 200);
  h.form->SetPosition(poScreenCenter);
  h.form->Show();
  EXPECT_EQ(h.form->Left(), 350);
  EXPECT_EQ(h.form->Top(), 300);
  auto owner = std::make_unique<TForm>(nullptr);
  owner->SetBounds(100, 50, 600, 400);
  owner->Show();
  auto* dialog = new TForm(owner.get());
  dialog->SetBounds(0, 0, 200, 100);
  dialog->SetPosition(poOwnerFormCenter);
  dialog->Show();
  EXPECT_EQ(dialog->Left(), 300);
  EXPECT_EQ(dialog->Top(), 200);
  // Designed placement is kept.
  auto designed = std::make_unique<TForm>(nullptr);
  designed->SetBounds(12, 34, 100, 100);
  designed->Show();
  EXPECT_EQ(designed->Left(), 12);
  EXPECT_EQ(designed->Top(), 34);
}

TEST_F(Forms, FullScreenCoversTheScreenAndComesBack) {
  Host h;
  h.form->SetBounds(10, 20, 400, 300);
  h.form->Show();
  h.form->SetFullScreen(true);
  EXPECT_TRUE(h.form->FullScreen());
  EXPECT_EQ(h.form->Width(), 1920);
  EXPECT_EQ(h.form->Height(), 1080);
  h.form->SetFullScreen(false);
  EXPECT_EQ(h.form->BoundsRect(), Rect(10, 20, 410, 320));
}

TEST_F(Forms, WindowStateIsKeptUntilShownAndThenApplied) {
  Host h;
  h.form->SetWindowState(wsMaximized);
  EXPECT_EQ(h.form->WindowState(), wsMaximized);
  h.form->Show();
  GuiTesting::ProcessEvents();
  EXPECT_EQ(h.form->WindowState(), wsMaximized);
  h.form->SetWindowState(wsNormal);
  GuiTesting::ProcessEvents();
  EXPECT_EQ(h.form->WindowState(), wsNormal);
}

TEST_F(Forms, ALateResizeNoticeLeavesTheLayoutAtTheWindowsSize) {
  // A window shown maximised can hear of its designed size after the window manager
  // made it larger: its controls must fill the size it has.
  Host h;
  h.form->SetBounds(300, 150, 500, 300);
  auto* panel = h.Add<TPanel>();
  panel->SetBevelOuter(bvNone);
  panel->SetAlign(alClient);
  panel->SetColor(clRed);
  h.form->Show();
  GuiTesting::ProcessEvents();
  GuiTesting::WindowSystemResize(h.form.get(), 700, 450, 500, 300);
  GuiTesting::ProcessEvents();
  EXPECT_EQ(h.form->Width(), 700);
  EXPECT_EQ(h.form->Height(), 450);
  EXPECT_EQ(panel->Width(), 700);
  EXPECT_EQ(panel->Height(), h.form->ClientHeight());
  TBitmap shot;
  ASSERT_TRUE(GuiTesting::Grab(h.form.get(), shot));
  ASSERT_EQ(shot.Width(), 700);
  EXPECT_EQ(shot.PixelColor(690, 440) & 0xFFFFFF, clRed);
}

TEST_F(Forms, AModalWindowOpensInFrontOfTheWindowThatAskedAndStaysOnTopWithIt) {
  auto main = std::make_unique<TForm>(nullptr);
  main->SetCaption("main");
  main->Show();
  GuiTesting::ProcessEvents();
  auto* prefs = new TForm(main.get());
  prefs->SetCaption("prefs");
  prefs->SetFormStyle(fsStayOnTop);
  TCustomForm* questionParent = nullptr;
  bool questionOnTop = false;
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& request) {
    EXPECT_EQ(request.form, prefs);
    EXPECT_EQ(prefs->PopupParent(), main.get());
    // The preferences ask a question: it opens in front of them, on top like them.
    EXPECT_EQ(MessageDlg("Sure?", mtConfirmation, {mbYes, mbNo}, 0), mrYes);
    return int(mrOk);
  });
  ModalResponder::Expect(ModalKind::MessageDlg, [&](ModalRequest& request) {
    questionParent = request.form->PopupParent();
    questionOnTop = request.form->StaysOnTop();
    return int(mrYes);
  });
  EXPECT_EQ(prefs->ShowModal(), mrOk);
  EXPECT_EQ(questionParent, prefs);
  EXPECT_TRUE(questionOnTop);
  // Done, the window stands on its own again.
  EXPECT_EQ(prefs->PopupParent(), nullptr);
  // A question of an ordinary window opens in front of it without staying on top.
  ModalResponder::Expect(ModalKind::MessageDlg, [&](ModalRequest& request) {
    questionParent = request.form->PopupParent();
    questionOnTop = request.form->StaysOnTop();
    return int(mrOk);
  });
  MessageDlg("Done", mtInformation, {mbOK}, 0);
  EXPECT_EQ(questionParent, main.get());
  EXPECT_FALSE(questionOnTop);
}

TEST_F(Forms, ShowAndHideRunOnShowAndOnHideOnce) {
  Host h;
  std::vector<std::string> events;
  h.form->OnShow = [&](TObject*) { events.push_back("show"); };
  h.form->OnHide = [&](TObject*) { events.push_back("hide"); };
  h.form->Show();
  h.form->Show();
  h.form->SetVisible(true);
  h.form->Hide();
  h.form->Hide();
  h.form->ShowNoActivate();
  EXPECT_TRUE(h.form->Visible());
  h.form->Close();
  EXPECT_EQ(events, (std::vector<std::string>{"show", "hide", "show", "hide"}));
  EXPECT_THROW(
      {
        h.form->Show();
        h.form->ShowModal();
      },
      EInvalidOperation);
}

TEST_F(Forms, TheScreenListsTheFormsAndTheActiveOne) {
  const int before = Screen->FormCount();
  auto a = std::make_unique<TForm>(nullptr);
  auto b = std::make_unique<TForm>(nullptr);
  EXPECT_EQ(Screen->FormCount(), before + 2);
  EXPECT_EQ(Screen->Forms(before + 1), b.get());
  int activations = 0;
  b->OnActivate = [&](TObject*) { ++activations; };
  b->Activate();
  b->Activate();
  EXPECT_EQ(activations, 1);
  EXPECT_EQ(Screen->ActiveForm(), b.get());
  b.reset();
  EXPECT_EQ(Screen->FormCount(), before + 1);
  EXPECT_THROW(Screen->Forms(before + 5), EListError);
}

TEST_F(Forms, AutoSizeFitsTheClientAreaAroundTheControls) {
  Host h;
  h.form->SetBounds(0, 0, 500, 500);
  h.Add<TEdit>(10, 10, 150, 21);
  h.Add<TButton>(90, 40, 75, 25);
  h.form->SetAutoSize(true);
  h.form->Show();
  EXPECT_EQ(h.form->ClientWidth(), 165);
  EXPECT_EQ(h.form->ClientHeight(), 65);
}

TEST_F(Forms, HintsFollowShowHintOfTheParentUnlessSet) {
  Host h;
  auto* panel = h.Add<TPanel>();
  auto* button = h.Add<TButton>(0, 0, -1, -1, panel);
  button->SetHint("Print|Prints the picture");
  EXPECT_FALSE(button->ShowHint());  // forms show no hints unless asked
  h.form->SetShowHint(true);
  EXPECT_TRUE(panel->ShowHint());
  EXPECT_TRUE(button->ShowHint());
  button->SetShowHint(false);
  EXPECT_FALSE(button->ParentShowHint());
  EXPECT_FALSE(button->ShowHint());
  EXPECT_EQ(button->Hint(), "Print|Prints the picture");
}

TEST_F(Forms, EditsSelectionMaxLengthCaseAndModified) {
  Host h;
  auto* edit = h.Add<TEdit>();
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->SetText("holiday.jpg");
  EXPECT_EQ(changes, 1);  // code changes the text and OnChange runs, as in the class library
  EXPECT_FALSE(edit->Modified());
  edit->SetSelStart(0);
  edit->SetSelLength(7);
  EXPECT_EQ(edit->SelText(), "holiday");
  edit->SetSelText("summer");
  EXPECT_EQ(edit->Text(), "summer.jpg");
  edit->SetMaxLength(4);
  EXPECT_EQ(edit->MaxLength(), 4);
  edit->SetText("abcdefgh");
  EXPECT_EQ(edit->Text(), "abcd");
  edit->SetMaxLength(0);
  edit->SetText("");
  edit->SetCharCase(ecUpperCase);
  h.form->Show();
  edit->SetFocus();
  GuiTesting::TypeText(edit, "ext");
  EXPECT_EQ(edit->Text(), "EXT");
  EXPECT_TRUE(edit->Modified());
  edit->SetPasswordChar('*');
  EXPECT_EQ(edit->PasswordChar(), '*');
  edit->SetReadOnly(true);
  GuiTesting::TypeText(edit, "x");
  EXPECT_EQ(edit->Text(), "EXT");
}

TEST_F(Forms, StaticTextSizesToItsCaption) {
  Host h;
  auto* text = h.Add<TStaticText>();
  text->SetCaption("short");
  int w1 = text->Width();
  text->SetCaption("a considerably longer destination folder");
  EXPECT_GT(text->Width(), w1);
  text->SetAutoSize(false);
  text->SetWidth(50);
  text->SetCaption("again a long text that does not fit");
  EXPECT_EQ(text->Width(), 50);
}

TEST_F(Forms, ExceptionsOfHandlersGoToOnExceptionAndAbortIsSilent) {
  Host h;
  auto* button = h.Add<TButton>();
  h.form->Show();
  std::vector<std::string> seen;
  Application->OnException = [&](TObject* sender, const Exception& e) {
    seen.push_back(e.Message() + (sender == button ? " from button" : ""));
  };
  button->OnClick = [](TObject*) { throw EInOutError("Disk full"); };
  GuiTesting::Click(button, 5, 5);
  button->OnClick = [](TObject*) { throw EAbort("quiet"); };
  GuiTesting::Click(button, 5, 5);
  button->OnClick = [](TObject*) { throw std::runtime_error("plain"); };
  GuiTesting::Click(button, 5, 5);
  Application->OnException = nullptr;
  EXPECT_EQ(seen, (std::vector<std::string>{"Disk full from button", "plain from button"}));
}

TEST_F(Forms, ReleaseFreesTheFormAfterTheEventThatAskedForIt) {
  auto* form = new TForm(nullptr);
  auto* button = new TButton(form);
  button->SetParent(form);
  bool destroyed = false;
  form->OnDestroy = [&](TObject*) { destroyed = true; };
  button->OnClick = [form, &destroyed](TObject*) {
    form->Release();
    EXPECT_FALSE(destroyed);
  };
  form->Show();
  GuiTesting::Click(button, 5, 5);
  EXPECT_FALSE(destroyed);
  GuiTesting::ProcessEvents();
  EXPECT_TRUE(destroyed);
}

TEST_F(Forms, TabSheetsCanBeReordered) {
  Host h;
  auto* pages = h.Add<TPageControl>();
  std::vector<TTabSheet*> sheets;
  for (const char* c : {"A", "B", "C"}) {
    auto* s = new TTabSheet(h.form.get());
    s->SetCaption(c);
    s->SetPageControl(pages);
    sheets.push_back(s);
  }
  sheets[2]->SetPageIndex(0);
  EXPECT_EQ(pages->Pages(0), sheets[2]);
  EXPECT_EQ(pages->Pages(1), sheets[0]);
  EXPECT_EQ(sheets[1]->PageIndex(), 2);
  sheets[0]->SetTabVisible(false);
  EXPECT_EQ(sheets[1]->TabIndex(), 1);
  EXPECT_EQ(pages->FindNextPage(sheets[2], true, true), sheets[1]);
  EXPECT_EQ(pages->FindNextPage(sheets[2], true, false), sheets[0]);
}

TEST_F(Forms, TheHelpViewerReachesTopicsKeywordsAndContextNumbers) {
  const std::string folder = testsupport::TempPath("help");
  std::filesystem::create_directories(folder);
  auto page = [&](const std::string& name, const std::string& title, const std::string& body) {
    testsupport::WriteFile(folder + "/" + name, "<html><head><meta charset=\"utf-8\"><title>" + title +
                                                    "</title></head><body>" + body + "</body></html>");
  };
  testsupport::WriteFile(testsupport::TempPath("outside.html"), "<p>secret</p>");
  page("contents.html", "Contents",
       "<p>Intro, see <a href=\"b.html\">B</a></p><ul><li><a href=\"a.html\">First</a><ul><li><a href=\"b.html#part\">Deeper</a></li></ul></li>"
       "<li><a href=\"b.html\">Second</a></li></ul>");
  page("keywords.html", "Index",
       "<ul><li><a href=\"a.html\">Alpha</a></li><li><a href=\"b.html#part\">Bravo thing</a>"
       "<ul><li><a href=\"a.html\">inner</a></li></ul></li></ul>");
  page("a.html", "Page A", "<p>about A</p><p><a href=\"b.html\">to B</a></p>");
  page("b.html", "Page \xC3\xA9 B", "<p>top</p><p><a name=\"part\"></a>part of B</p>");
  testsupport::WriteFile(folder + "/contexts.ini", "; pages\r\n[Contexts]\r\n17=a.html\r\n20 = b.html#part\r\n9=../x.html\r\n");
  ASSERT_EQ(symlink("../outside.html", (folder + "/link.html").c_str()), 0);
  THTMLHelpViewer& viewer = HtmlHelpViewer();
  EXPECT_EQ(viewer.GetViewerName(), "HTMLHelp Viewer");
  // A file that is no help folder (the old compiled help, WinHelp, nothing) shows nothing.
  for (const std::string& file : {folder + "/a.chm", folder + "/X.hlp", std::string()}) {
    Application->SetHelpFile(file);
    EXPECT_FALSE(viewer.CanShowTableOfContents());
    EXPECT_FALSE(viewer.UnderstandsTopic("a.html"));
    EXPECT_EQ(viewer.UnderstandsKeyword("alpha"), 0);
    EXPECT_FALSE(viewer.DisplayTopic("a.html"));
  }
  EXPECT_EQ(HtmlHelpForm(false), nullptr);
  Application->SetHelpFile(folder);
  EXPECT_EQ(viewer.GetHelpStrings("alpha"), std::vector<std::string>{"alpha"});
  ASSERT_TRUE(viewer.ShowTableOfContents());
  THtmlHelpForm* help = HtmlHelpForm(false);
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->Visible());
  EXPECT_EQ(help->CurrentPage(), folder + "/contents.html");
  // The contents as the page nests them; the index entries with their sub-entries.
  ASSERT_EQ(help->TreeContents->Items()->Count(), 3);
  EXPECT_EQ(help->TreeContents->Items()->Item(1)->Text(), "Deeper");
  EXPECT_EQ(help->TreeContents->Items()->Item(1)->Parent(), help->TreeContents->Items()->Item(0));
  EXPECT_EQ(help->TreeContents->Items()->Item(2)->Level(), 0);
  EXPECT_EQ(help->ListIndex->Count(), 3);
  struct Request {
    std::function<bool()> go;
    std::string page, anchor;
  };
  const std::vector<Request> requests = {
      {[&] { return viewer.DisplayTopic("/b.html"); }, "b.html", ""},
      {[&] { return viewer.DisplayTopic("a.html"); }, "a.html", ""},
      {[&] { return viewer.DisplayTopic("b.html#part"); }, "b.html", "part"},
      {[&] { return viewer.DisplayHelpByContext(17, folder); }, "a.html", ""},
      {[&] { return viewer.DisplayHelpByContext(20, folder); }, "b.html", "part"},
      {[&] { return viewer.DisplayHelpByContext(9, folder); }, "contents.html", ""},
      {[&] { return viewer.ShowHelp("BRAVO"); }, "b.html", "part"},
      {[&] { return viewer.ShowHelp("thing"); }, "b.html", "part"},
      {[&] { return viewer.ShowHelp("inn"); }, "a.html", ""},
      {[&] { return viewer.ShowHelp("zulu"); }, "keywords.html", ""},
  };
  for (const Request& r : requests) {
    SCOPED_TRACE(r.page + "#" + r.anchor);
    EXPECT_TRUE(r.go());
    EXPECT_EQ(help->CurrentPage(), folder + "/" + r.page);
    EXPECT_EQ(help->View->Anchor(), r.anchor);
  }
  EXPECT_EQ(help->EditKeyword->Text(), "zulu");
  EXPECT_EQ(help->PageControl1->ActivePage(), help->TabIndex);
  // Back and forward walk the pages shown.
  help->ButtonBack->Click();
  EXPECT_EQ(help->CurrentPage(), folder + "/a.html");
  help->ButtonForward->Click();
  EXPECT_EQ(help->CurrentPage(), folder + "/keywords.html");
  // The title names the page, and the contents follow it: the entry with its anchor, else
  // the page's first.
  viewer.DisplayTopic("b.html#part");
  EXPECT_EQ(help->TreeContents->Selected()->Text(), "Deeper");
  viewer.DisplayTopic("b.html");
  EXPECT_EQ(help->TreeContents->Selected()->Text(), "Second");
  EXPECT_EQ(help->Caption(), "Help - Page \xC3\xA9 B");
  viewer.DisplayTopic("a.html");
  EXPECT_EQ(help->Caption(), "Help - Page A");
  // Nothing outside the folder is read, also not through a link inside it.
  EXPECT_FALSE(viewer.DisplayTopic("../outside.html"));
  EXPECT_TRUE(viewer.DisplayTopic("link.html"));
  EXPECT_EQ(help->View->Text().find("secret"), std::string::npos);
  viewer.SoftShutDown();
  EXPECT_FALSE(help->Visible());
}

}  // namespace
