// The application object running a small program, and a window with a menu, a tree,
// a list, a panel and a status bar drawn as it would be on the screen. With
// KIVO2_SCREENSHOT=file.png (under an X server) the screen is captured with ImageMagick.
#include <cstdlib>

#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"

namespace {

using App = GuiTest;

std::vector<std::string> g_log;

// A form as the program writes them: components built in the constructor, handlers bound,
// then DoCreate.
class TMainWindow : public TForm {
 public:
  explicit TMainWindow(TComponent* owner) : TForm(owner) {
    g_log.push_back(std::string("create, Main is ") + (Main == this ? "set" : "unset"));
    Timer1 = new TTimer(this);
    Timer1->SetInterval(10);
    Timer1->SetEnabled(false);
    Timer1->OnTimer = [this](TObject*) { Close(); };
    OnCreate = [](TObject*) { g_log.push_back("OnCreate"); };
    OnShow = [this](TObject*) {
      g_log.push_back("OnShow");
      Timer1->SetEnabled(true);
    };
    OnClose = [](TObject*, TCloseAction&) { g_log.push_back("OnClose"); };
    OnDestroy = [](TObject*) { g_log.push_back("OnDestroy"); };
    DoCreate();
  }
  static TMainWindow* Main;
  TTimer* Timer1;
};
TMainWindow* TMainWindow::Main = nullptr;

class TSecondWindow : public TForm {
 public:
  explicit TSecondWindow(TComponent* owner) : TForm(owner) { OnDestroy = [](TObject*) { g_log.push_back("second OnDestroy"); }; }
};

TEST_F(App, RunShowsTheMainFormAndEndsWhenItCloses) {
  g_log.clear();
  TSecondWindow* second = nullptr;
  Application->CreateForm(TMainWindow::Main);
  Application->CreateForm(second);
  EXPECT_EQ(Application->MainForm(), TMainWindow::Main);
  EXPECT_FALSE(second->Visible());
  Application->Run();
  EXPECT_TRUE(Application->Terminated());
  DoneApplication();
  EXPECT_EQ(Application->ComponentCount(), 0);
  EXPECT_EQ(Application->MainForm(), nullptr);
  EXPECT_FALSE(Application->Terminated());
  EXPECT_EQ(g_log, (std::vector<std::string>{"create, Main is set", "OnCreate", "OnShow", "OnClose",
                                             "second OnDestroy", "OnDestroy"}));
}

TEST_F(App, OnMessageHookSeesMessagesAndMayHandleThem) {
  TMsg seen;
  Application->OnMessage = [&](TMsg& msg, bool& handled) {
    seen = msg;
    handled = msg.message == WM_SYSCOMMAND && msg.wParam == SC_SCREENSAVE;
  };
  TMsg screensaver{WM_SYSCOMMAND, SC_SCREENSAVE, 0};
  TMsg other{WM_SYSCOMMAND, SC_MOVE, 0};
  EXPECT_TRUE(Application->DeliverMessage(screensaver));
  EXPECT_FALSE(Application->DeliverMessage(other));
  EXPECT_EQ(seen.wParam, SC_MOVE);
  Application->OnMessage = nullptr;
}

TEST_F(App, ScreenCursorAndCustomCursors) {
  EXPECT_EQ(Screen->Cursor(), crDefault);
  Screen->SetCursor(crHourGlass);
  EXPECT_EQ(Screen->Cursor(), crHourGlass);
  Screen->SetCursor(crDefault);
  TBitmap image;
  image.SetPixelFormat(pf24bit);
  image.SetSize(16, 16);
  EXPECT_FALSE(Screen->HasCursor(3));
  Screen->SetCursors(3, image, 8, 8);
  EXPECT_TRUE(Screen->HasCursor(3));
  EXPECT_FALSE(Screen->LoadCursorFromFile(4, testsupport::TempPath("missing.png")));
}

TEST_F(App, AWindowWithMenuTreeListPanelAndStatusBar) {
  Host h;
  h.form->SetCaption("Kivo2");
  h.form->SetBounds(0, 0, 640, 420);
  auto* menu = new TMainMenu(h.form.get());
  for (const char* title : {"&File", "&View", "&Help"}) {
    auto* top = new TMenuItem(h.form.get());
    top->SetCaption(title);
    menu->Items()->Add(top);
  }
  h.form->SetMenu(menu);
  auto* panel = h.Add<TPanel>();
  panel->SetAlign(alTop);
  panel->SetHeight(32);
  panel->SetCaption("Drives and folders");
  panel->SetColor(clSkyBlue);
  auto* status = h.Add<TStatusBar>();
  for (const char* text : {"1 / 12", "4000 x 3000", "IMG_0001.JPG"}) {
    TStatusPanel* p = status->Panels()->Add();
    p->SetWidth(120);
    p->SetText(text);
  }
  auto* tree = h.Add<TTreeView>();
  tree->SetAlign(alLeft);
  tree->SetWidth(200);
  TTreeNode* home = tree->Items()->Add(nullptr, "Home");
  for (const char* f : {"Pictures", "Holiday 2004", "Scans"}) tree->Items()->AddChild(home, f);
  home->Expand(false);
  auto* splitter = h.Add<TSplitter>();
  splitter->SetLeft(200);
  auto* list = h.Add<TListBox>();
  list->SetAlign(alClient);
  list->SetStyle(lbOwnerDrawFixed);
  list->SetItemHeight(18);
  for (int i = 1; i <= 12; ++i) list->Items()->Add("IMG_" + std::to_string(1000 + i) + ".JPG");
  list->OnDrawItem = [list](TWinControl*, int index, const TRect& r, TOwnerDrawState state) {
    TCanvas* c = list->Canvas();
    if (!state.Contains(odSelected)) c->Brush().SetColor(index % 2 ? clWindow : clCream);
    c->FillRect(r);
    c->TextOut(r.Left + 4, r.Top + 2, list->Items()->Strings(index));
  };
  list->SetItemIndex(2);
  h.form->Show();
  GuiTesting::ProcessEvents();

  EXPECT_EQ(tree->Left(), 0);
  EXPECT_EQ(list->Left(), 203);
  EXPECT_EQ(status->Top() + status->Height(), h.form->ClientHeight());
  TBitmap shot;
  ASSERT_TRUE(GuiTesting::Grab(h.form.get(), shot));
  EXPECT_EQ(shot.Width(), 640);
  EXPECT_EQ(shot.Height(), 420);
  // The panel's colour shows below the menu bar, and the list's second row is cream.
  const int menuHeight = h.form->Height() - h.form->ClientHeight();
  EXPECT_EQ(shot.PixelColor(630, menuHeight + 4) & 0xFFFFFF, clSkyBlue);
  TPoint row = list->ClientToScreen(TPoint(list->ClientWidth() - 3, 2));
  TPoint origin = h.form->ClientToScreen(TPoint(0, -menuHeight));
  EXPECT_EQ(shot.PixelColor(row.X - origin.X, row.Y - origin.Y) & 0xFFFFFF, clCream);

  if (const char* file = getenv("KIVO2_SCREENSHOT")) {
    shot.SaveToFile(std::string(file) + ".bmp");
    if (getenv("DISPLAY")) testsupport::Run({"import", "-window", "root", file});
  }
}

}  // namespace
