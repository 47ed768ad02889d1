// Navigation and the slide show with the slide timer driven by the test (a fake clock:
// each tick is the timer's event, called when the timer would fire): the order of the
// pictures, wrapping, the end of a list, nothing selected, the descent into sub folders,
// the delays, keys that stop the show, full screen, the fades between pictures and the
// screen saver.
#include <set>
#include <tuple>

#include "ViewerFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZephFade.h"
#include "controls/ZqSpeedButton.h"
#include "core/UnitFadestyles.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/rtl/Math.h"
#include "platform/services/ScreenSaver.h"
#include "tools/UnitFloatButtons.h"

namespace fs = std::filesystem;

class SlideShowTest : public ViewerTest {
 protected:
  // One tick of the slide timer, which must be running.
  void Tick() {
    ASSERT_TRUE(Form1->Timer1->Enabled());
    Form1->Timer1->Timer();
  }
  std::string Shown() const { return Form1->FCurrentFile; }
  std::string Message() const { return Form1->LabelShowTextTop->Visible() ? Form1->LabelShowTextTop->Caption() : ""; }
  void Key(uint16_t key, TShiftState shift = TShiftState()) { GuiTesting::PressKey(Form1->ListBox1, key, shift); }
  // What the full-screen show turns on, and what it hides, as the window stands.
  static std::string ShowState() {
    return testsupport::NamesSet(
        {{"full screen", Form1->FFullScreen},          {"show mode", Form1->FSlideShowMode},
         {"show button", Form1->ZqSlideShow->Down()},  {"auto button", Form1->ZqAutonext->Down()},
         {"fit", Form1->ZqFitInScreen->Down()},        {"thumbnails", Form1->PanelThumbHolder->Visible()},
         {"status bar", Form1->StatusBar1->Visible()}, {"browser", Form1->PanelBrowse->Visible()}});
  }
  // Three pictures a, b, c in the photo folder; the show's real timer never fires here.
  void StartOnThree() {
    for (const char* name : {"a.png", "b.png", "c.png"}) MakeColor(name, 64, 48, "red");
    StartIn();
    Form1->M_Recursive->SetChecked(false);
    Form1->FSlideDelay = 100;
  }
  // A recursive show started on a.png, sub1/s1.png, sub2/s2.png and sub2/deeper/d.png.
  void StartRecursiveOnTree() {
    fs::create_directories(folder_ + "sub1");
    fs::create_directories(folder_ + "sub2/deeper");
    for (const char* name : {"a.png", "sub1/s1.png", "sub2/s2.png", "sub2/deeper/d.png"})
      MakeColor(name, 64, 48, "red");
    StartIn();
    Form1->M_Recursive->SetChecked(true);
    Form1->FSlideDelay = 100;
    Form1->M_Start1->Click();
  }
};

TEST_F(SlideShowTest, NextAndPreviousWrapAndANoSelectionStartsAtAnEnd) {
  StartOnThree();
  ASSERT_EQ(Shown(), folder_ + "a.png");
  const std::string expected[] = {"b.png", "c.png", "a.png", "b.png"};
  for (const std::string& name : expected) {
    Form1->ZqNext->Click();
    EXPECT_EQ(Shown(), folder_ + name);
  }
  Form1->ListBox1->SetItemIndex(0);
  Form1->ZqPrevious->Click();
  EXPECT_EQ(Shown(), folder_ + "c.png");
  // Nothing selected: next is the first entry, previous the last.
  Form1->ListBox1->SetItemIndex(-1);
  Form1->ZqNext->Click();
  EXPECT_EQ(Shown(), folder_ + "a.png");
  Form1->ListBox1->SetItemIndex(-1);
  Form1->ZqPrevious->Click();
  EXPECT_EQ(Shown(), folder_ + "c.png");
  // The keys: comma and period step, with Ctrl or Shift to the first and the last.
  for (auto [key, shift, name] : {std::tuple{VK_OEM_COMMA, TShiftState(), "b.png"}, {VK_OEM_PERIOD, {}, "c.png"},
                                  {VK_OEM_COMMA, TShiftState{ssCtrl}, "a.png"}, {VK_OEM_PERIOD, {ssShift}, "c.png"}}) {
    Key(uint16_t(key), shift);
    EXPECT_EQ(Shown(), folder_ + name);
  }
  // An empty list: nothing to show, nothing fails.
  Form1->ListBox1->Clear();
  Form1->ZqNext->Click();
  EXPECT_EQ(Shown(), "");
  Form1->ZqPrevious->Click();
  EXPECT_EQ(Shown(), "");
}

TEST_F(SlideShowTest, TheShowAdvancesOnEachTickWithItsDelayAndWraps) {
  StartOnThree();
  Form1->FSlideDelay = 2;
  Form1->ZqTumblist->SetDown(true);
  Form1->ZqTumblistClick(Form1);
  Form1->ZqFitInScreen->SetDown(false);
  Form1->M_Start1->Click();
  EXPECT_EQ(ShowState(), "full screen, show mode, show button, auto button, fit");
  for (const char* name : {"b.png", "c.png", "a.png", "b.png"}) {
    Tick();
    EXPECT_EQ(Shown(), folder_ + name);
    EXPECT_EQ(Form1->Timer1->Interval(), 2000u);
  }
  // The delay buttons stay within 0 and 100 seconds; the next picture takes the delay.
  for (int i = 0; i < 5; ++i) Form1->ZqSpeedDown->Click();
  EXPECT_EQ(Form1->FSlideDelay, 0);
  EXPECT_EQ(Form1->LabelDelay->Caption(), "0");
  Tick();
  EXPECT_EQ(Form1->Timer1->Interval(), 50u);
  Form1->FSlideDelay = 99;
  Form1->ZqSpeedUp->Click();
  Form1->ZqSpeedUp->Click();
  EXPECT_EQ(Form1->LabelDelay->Caption(), "100");
  // A tick while thumbnails are built waits.
  Form1->FBuildingThumbs = true;
  const std::string before = Shown();
  Tick();
  EXPECT_EQ(Shown(), before);
  Form1->FBuildingThumbs = false;

  // Esc leaves full screen and with it the show; fit and the thumbnails come back.
  Key(VK_ESCAPE);
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_EQ(ShowState(), "thumbnails, status bar, browser");
  EXPECT_EQ(Shown(), before);
}

TEST_F(SlideShowTest, KeysStopTheShowAndSpaceStartsAndPausesIt) {
  StartOnThree();
  Key(VK_SPACE);
  EXPECT_TRUE(Form1->ZqAutonext->Down());
  EXPECT_TRUE(Form1->Timer1->Enabled());
  EXPECT_EQ(Message(), "slide show running...");
  EXPECT_EQ(Form1->ZqAutonext->Hint(), "Pause auto show - Space");
  Tick();
  EXPECT_EQ(Shown(), folder_ + "b.png");
  Key(VK_SPACE);
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_EQ(Message(), "slide show paused...");
  // A step by hand ends the automatic advance.
  Key(VK_SPACE);
  Form1->ZqNext->Click();
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_FALSE(Form1->ZqAutonext->Down());
  // Period in the full-screen show: the show stops, the next picture shows.
  Form1->M_Start1->Click();
  ASSERT_TRUE(Form1->Timer1->Enabled());
  const int index = Form1->ListBox1->ItemIndex();
  Key(VK_OEM_PERIOD);
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_FALSE(Form1->ZqSlideShow->Down());
  EXPECT_EQ(Form1->ListBox1->ItemIndex(), (index + 1) % 3);
  // F8 leaves full screen again.
  Form1->M_Start1->Click();
  EXPECT_FALSE(Form1->FFullScreen);
}

TEST_F(SlideShowTest, OneFileWithoutRecursionStopsTheShowAndOtherwiseOpensAgain) {
  MakeColor("only.png", 64, 48, "blue");
  testsupport::WriteFile(folder_ + "clip.avi", "RIFF video");
  StartIn();
  Form1->M_Recursive->SetChecked(false);
  Form1->FSlideDelay = 100;
  // The associated video file is listed too: two entries, the video passed quickly.
  Form1->M_Start1->Click();
  Tick();
  EXPECT_EQ(Shown(), folder_ + "only.png");
  EXPECT_EQ(Form1->Timer1->Interval(), 100000u);
  Tick();
  EXPECT_EQ(Shown(), folder_ + "clip.avi");
  EXPECT_EQ(Form1->Timer1->Interval(), 10u);
  Form1->M_Start1->Click();
  fs::remove(folder_ + "clip.avi");
  Form1->FLastPath.clear();
  Form1->FillTheListboxWithFiles(folder_);
  ASSERT_EQ(Form1->ListBox1->Count(), 1);
  // Not running: next opens the one picture again.
  Form1->FCurrentFile.clear();
  Form1->ZqNext->Click();
  EXPECT_EQ(Shown(), folder_ + "only.png");
  // Space with one entry has nothing to advance through.
  Key(VK_SPACE);
  EXPECT_FALSE(Form1->ZqAutonext->Down());
  EXPECT_FALSE(Form1->Timer1->Enabled());
  // Running: the show stops with a message and the picture stays.
  Form1->M_Start1->Click();
  Tick();
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_FALSE(Form1->FSlideRunning);
  EXPECT_EQ(Message(), "Show stopped, only one file in the list and recursive folders is off....");
  EXPECT_EQ(Shown(), folder_ + "only.png");
}

TEST_F(SlideShowTest, ARecursiveShowWalksTheSubFoldersAndStartsItsFolderAgain) {
  StartRecursiveOnTree();
  const std::string walk[] = {"sub1/s1.png", "sub2/s2.png", "sub2/deeper/d.png", "a.png", "sub1/s1.png"};
  for (const std::string& name : walk) {
    Tick();
    EXPECT_EQ(Shown(), folder_ + name);
    EXPECT_TRUE(Form1->Timer1->Enabled()) << name;
    EXPECT_TRUE(Form1->FSlideShowMode);
  }
  EXPECT_EQ(Message(), "Moved down......................");
  // Previous in the first folder below the start goes up to the start, but not above it.
  Form1->ZqPrevious->Click();
  EXPECT_EQ(Shown(), folder_ + "a.png");
  Form1->ZqPrevious->Click();
  EXPECT_EQ(Shown(), folder_ + "a.png");
  EXPECT_EQ(Form1->FLastPath, folder_);
  Form1->M_Start1->Click();

  // A search list shown: the show wraps instead of descending.
  Form1->PanelCustomLists->SetVisible(true);
  Form1->M_Start1->Click();
  Tick();
  EXPECT_EQ(Shown(), folder_ + "a.png");
  Form1->M_Start1->Click();
  Form1->PanelCustomLists->SetVisible(false);

  // Ctrl+N and Ctrl+P at the two ends of the whole tree stay where they are.
  TTreeNodes* nodes = Form1->QzDirTree211->Items();
  Form1->QzDirTree211->SetSelected(nodes->Item(nodes->Count() - 1));
  TTreeNode* last = Form1->QzDirTree211->Selected();
  if (last->HasChildren()) last->Expand(false);
  while (nodes->Item(nodes->Count() - 1) != Form1->QzDirTree211->Selected())
    Form1->QzDirTree211->SetSelected(nodes->Item(nodes->Count() - 1));
  Key('N', TShiftState{ssCtrl});
  EXPECT_EQ(Form1->QzDirTree211->Selected(), nodes->Item(nodes->Count() - 1));
  Form1->QzDirTree211->SetSelected(nodes->GetFirstNode());
  Key('P', TShiftState{ssCtrl});
  EXPECT_EQ(Form1->QzDirTree211->Selected(), nodes->GetFirstNode());
}

// The tree reloads when a folder is made or removed in a folder it shows open: the walk
// of a running show still knows its start and comes back to it.
TEST_F(SlideShowTest, ARecursiveShowKeepsItsStartWhenTheTreeReloads) {
  StartRecursiveOnTree();
  Tick();
  ASSERT_EQ(Shown(), folder_ + "sub1/s1.png");

  // A folder made beside the photo folder, in a folder the tree watches.
  const std::string parent = fs::path(folder_).parent_path().parent_path().string() + "/";
  const std::string beside = parent + "made during the show/";
  fs::create_directories(beside);
  auto listed = [&] {
    for (TTreeNode* n = Form1->QzDirTree211->Items()->GetFirstNode(); n; n = n->GetNext())
      if (Form1->QzDirTree211->GetNodePath(n) == beside) return true;
    return false;
  };
  // The new folder shows once the tree has reloaded.
  ASSERT_TRUE(GuiTesting::WaitUntil(listed, 30000)) << "the tree never showed the new folder";
  ASSERT_EQ(Form1->QzDirTree211->SelectedPath(), folder_ + "sub1/");
  EXPECT_TRUE(Form1->Timer1->Enabled());

  for (const char* name : {"sub2/s2.png", "sub2/deeper/d.png", "a.png", "sub1/s1.png"}) {
    Tick();
    EXPECT_EQ(Shown(), folder_ + name);
  }
  EXPECT_EQ(Form1->Caption(), "( First = photos ) - " + folder_ + "sub1");
  Form1->M_Start1->Click();
}

TEST_F(SlideShowTest, FadesRunFromThePreviousPictureToTheNextInTheChosenStyle) {
  MakeColor("a.png", 64, 48, "red");
  MakeColor("b.png", 64, 48, "lime");
  MakeColor("c.png", 64, 48, "blue");
  StartIn();
  Form1->M_Recursive->SetChecked(false);
  Form1->FSlideDelay = 100;
  TZephFade* fade = Form1->ZephFade1;
  fade->SetMsecPerFrame(0);
  fade->SetBlendRate(4);
  fade->SetDisolvRate(6);
  TFormFadestyles* styles = FormFadestyles;
  styles->ChB_Fading->SetChecked(true);
  struct Run {
    bool dissolve;
    int side;
    TColor start, end;
  };
  std::vector<Run> runs;
  // The middle of the picture area's bitmaps as the fade shows them.
  auto middle = [&](const TBitmap& b) { return b.PixelColor(b.Width() / 2, (b.Height() - 4) / 2) & 0xFFFFFF; };
  const TNotifyEvent begin = fade->OnBegin, end = fade->OnEnd;
  fade->OnBegin = [&](TObject* s) {
    begin(s);
    EXPECT_TRUE(Form1->FFadeRunning);
    runs.push_back({!fade->PixelOrder().empty(), fade->FromSide(), middle(fade->ShownBitmap()), TColor(0)});
  };
  fade->OnEnd = [&](TObject* s) {
    runs.back().end = middle(fade->ShownBitmap());
    end(s);
    EXPECT_FALSE(Form1->FFadeRunning);
  };
  Form1->M_Start1->Click();
  // No style chosen: soft blends are taken.
  Tick();
  EXPECT_TRUE(styles->ChB_Soft->Checked());
  EXPECT_EQ(Form1->Timer1->Interval(), 100000u + 4 * 10);
  Tick();
  ASSERT_EQ(runs.size(), 2u);
  // The first fade after the start comes from the picture on the screen (a, red).
  EXPECT_EQ(runs[0].start, TColor(0x0000FF));
  EXPECT_EQ(runs[0].end, TColor(0x00FF00));  // b, lime
  EXPECT_EQ(runs[1].start, TColor(0x00FF00));
  EXPECT_EQ(runs[1].end, TColor(0xFF0000));  // c, blue (B,G,R order)
  for (const Run& r : runs) EXPECT_FALSE(r.dissolve);

  auto styleRuns = [&](bool soft, bool coarse, bool direct, int count) {
    styles->ChB_Soft->SetChecked(soft);
    styles->ChB_Coarse->SetChecked(coarse);
    styles->ChB_Direct->SetChecked(direct);
    runs.clear();
    for (int i = 0; i < count; ++i) Tick();
    EXPECT_EQ(int(runs.size()), count);
  };
  RandSeed = 7;
  styleRuns(false, true, false, 6);
  for (const Run& r : runs) EXPECT_TRUE(r.dissolve && r.side == 0);
  styleRuns(false, false, true, 30);
  std::set<int> sides;
  for (const Run& r : runs) {
    EXPECT_TRUE(r.dissolve);
    sides.insert(r.side);
  }
  EXPECT_EQ(sides, (std::set<int>{1, 2, 3, 4, 5}));
  styleRuns(true, true, false, 30);
  int dissolves = 0;
  for (const Run& r : runs) {
    EXPECT_EQ(r.side, 0);
    dissolves += r.dissolve;
  }
  EXPECT_GT(dissolves, 0);
  EXPECT_LT(dissolves, 30);
  // A fade ends on the new picture each time.
  for (const Run& r : runs) EXPECT_NE(r.start, r.end);
  Form1->M_Start1->Click();
}

// The screen saver is held off, with the option only, in full screen and while a show runs
// (in a window too), once however both come together; each hold is let go with its own
// cookie, also when the window closes during a show.
TEST_F(SlideShowTest, TheScreenSaverIsHeldOffWhileAShowOrFullScreenRuns) {
  StartOnThree();
  int inhibitions = 0;
  std::vector<uint32_t> released;
  TScreenSaverCalls calls;
  calls.Inhibit = [&](const std::string& app, const std::string&, uint32_t& cookie) {
    EXPECT_EQ(app, "Kivo2");
    cookie = uint32_t(100 + ++inhibitions);
    return true;
  };
  calls.UnInhibit = [&](uint32_t cookie) { released.push_back(cookie); };
  SetScreenSaverCalls(&calls);
  Form1->FScreensaver = false;
  Key(VK_F9);
  Key(VK_F9);
  EXPECT_EQ(inhibitions, 0);
  Form1->FScreensaver = true;
  Key(VK_F9);
  EXPECT_TRUE(Form1->FFullScreen);
  EXPECT_EQ(inhibitions, 1);
  Key(VK_F9);
  EXPECT_FALSE(Form1->FFullScreen);
  EXPECT_EQ(released, std::vector<uint32_t>{101});
  Key(VK_SPACE);
  EXPECT_EQ(inhibitions, 2);
  Form1->UpdateScreenSaverInhibit();
  EXPECT_EQ(inhibitions, 2);
  Key(VK_SPACE);
  Form1->M_Start1->Click();
  EXPECT_EQ(inhibitions, 3);
  Key(VK_ESCAPE);
  Key(VK_SPACE);
  Form1->Close();
  EXPECT_EQ(released, (std::vector<uint32_t>{101, 102, 103, 104}));
  SetScreenSaverCalls(nullptr);
}
