// The small controls: the framed panel (its bar, close box, press zones and dragging),
// the sound player's events over the recording sound service, the scroll box's scroll
// events, the resource meter on crafted memory figures, and the running text's steps.

#include <cmath>
#include <tuple>

#include "ControlsTestSupport.h"
#include "TestSupport.h"
#include "controls/EventScrollbox.h"
#include "controls/KpPanel.h"
#include "controls/Resmeter.h"
#include "controls/RunText.h"
#include "controls/ZrkSound.h"
#include "platform/services/Sound.h"

// ---------------------------------------------------------------------------
// The framed panel
// ---------------------------------------------------------------------------

using FramePanelTest = FormTest;

TEST_F(FramePanelTest, BarLinesCloseBoxAndTheIconsPlace) {
  auto* p = Add<TKpFramePanel>(10, 10, 200, 120);
  ShowForm();
  TBitmap shot;
  ASSERT_TRUE(GuiTesting::Grab(p, shot));
  const TColor light = ColorToRGB(clBtnHighlight), dark = ColorToRGB(clBtnShadow);
  // Two raised lines from x = 2 to x = 200 - 12 - 2: light top and left, dark bottom and
  // right; the close box: 10 pixels square from (189, 1), a raised face with a dark cross.
  for (auto [x, y, colour] : std::vector<std::tuple<int, int, TColor>>{
           {2, 3, light}, {185, 3, light}, {2, 4, light}, {2, 5, dark}, {186, 4, dark}, {2, 6, light},
           {100, 8, dark}, {190, 2, light}, {198, 10, ColorToRGB(cl3DDkShadow)}})
    EXPECT_EQ(shot.PixelColor(x, y), colour) << x << "," << y;
  EXPECT_NE(shot.PixelColor(1, 4), light);
  EXPECT_FALSE(pixels::Bounds(shot, Rect(191, 3, 197, 9), pixels::Is(ColorToRGB(clBtnText))).IsEmpty());

  // With an icon the lines start after it, at 12 + 1 + 2.
  KIVO2_REQUIRE_TOOL("convert");
  const std::string ico = testsupport::TempPath("p.ico");
  ASSERT_EQ(testsupport::Run({"convert", "-size", "16x16", "xc:red", ico}).exitCode, 0);
  TIcon icon;
  icon.LoadFromFile(ico);
  p->SetIcon(&icon);
  GuiTesting::ProcessEvents();
  ASSERT_TRUE(GuiTesting::Grab(p, shot));
  EXPECT_EQ(shot.PixelColor(5, 5), clRed);
  EXPECT_EQ(shot.PixelColor(11, 11), clRed);
  EXPECT_EQ(shot.PixelColor(15, 3), light);
  EXPECT_NE(shot.PixelColor(14, 3), light);

  // A bar on the left: lines downwards from y = 12 + 1, the close box at the top.
  p->SetIcon(nullptr);
  p->SetGrabberPlace(gpRight);
  GuiTesting::ProcessEvents();
  ASSERT_TRUE(GuiTesting::Grab(p, shot));
  EXPECT_EQ(shot.PixelColor(3, 13), light);
  EXPECT_EQ(shot.PixelColor(5, 100), dark);
  EXPECT_EQ(shot.PixelColor(2, 2), light);
}

TEST_F(FramePanelTest, ChildrenLieBelowTheBar) {
  auto* p = Add<TKpFramePanel>(0, 0, 200, 120);
  auto* child = Add<TPanel>(0, 0, 10, 10, p);
  child->SetAlign(alClient);
  p->Realign();
  EXPECT_EQ(child->BoundsRect(), Rect(2, 12, 198, 118)) << "10 pixels for the bar, 2 for the 3-D border";
  p->SetCtl3D(false);
  EXPECT_EQ(child->BoundsRect(), Rect(1, 11, 199, 119));
  p->SetGrabberPlace(gpLeft);
  EXPECT_EQ(child->BoundsRect(), Rect(11, 1, 199, 119));
}

TEST_F(FramePanelTest, PressZonesCloseReportAndDrag) {
  auto* p = Add<TKpFramePanel>(20, 20, 200, 120);
  p->SetMoveable(true);
  ShowForm();
  int closes = 0, captions = 0;
  p->OnClose = [&](TObject*) { ++closes; };
  p->OnCaptionClick = [&](TObject*) { ++captions; };
  // Below the 15-pixel band: nothing.
  GuiTesting::Click(p, 100, 20);
  EXPECT_EQ(captions + closes, 0);
  // The bar: a caption click, then the panel follows the mouse while the button is held.
  GuiTesting::MouseDown(p, mbLeft, 100, 5);
  EXPECT_EQ(captions, 1);
  GuiTesting::MouseMove(p, 130, 25, TShiftState(ssLeft));
  GuiTesting::MouseUp(p, mbLeft, 130, 25);
  EXPECT_EQ(p->Left(), 50);
  EXPECT_EQ(p->Top(), 40);
  EXPECT_EQ(closes, 0);
  // The close corner (5 from the top, 5 from the right): OnClose and hidden; no caption click.
  GuiTesting::Click(p, 195, 5);
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(captions, 1);
  EXPECT_FALSE(p->Visible());
  // A vertical bar has its close corner at the top left; gpBottom behaves as gpTop.
  p->SetVisible(true);
  p->SetGrabberPlace(gpLeft);
  GuiTesting::Click(p, 5, 5);
  EXPECT_EQ(closes, 2);
  p->SetVisible(true);
  p->SetGrabberPlace(gpBottom);
  GuiTesting::Click(p, 195, 5);
  EXPECT_EQ(closes, 3);
}

// ---------------------------------------------------------------------------
// Sound player, scroll box
// ---------------------------------------------------------------------------

TEST(SoundPlayer, PlayAndStopEventsOverTheSoundService) {
  SetSoundRecording(true);
  ClearRecordedSounds();
  TZrkSound sound(nullptr);
  int plays = 0, stops = 0;
  sound.OnStop = [&](TObject*) { ++stops; };
  sound.Stop();
  EXPECT_EQ(stops, 0) << "no OnStop before a Play fired OnPlay";
  const std::string wave = testsupport::TempFile("memo.wav", "RIFF");
  sound.SetSoundFile(wave);
  sound.SetLoopSound(true);
  sound.Play();
  sound.Stop();
  EXPECT_EQ(stops, 0) << "a Play without OnPlay does not arm OnStop";
  sound.OnPlay = [&](TObject*) { ++plays; };
  sound.Play();
  sound.Stop();
  sound.Stop();
  EXPECT_EQ(plays, 1);
  EXPECT_EQ(stops, 2);
  const auto events = RecordedSounds();
  ASSERT_GE(events.size(), 4u);
  EXPECT_TRUE(events[1].Play);
  EXPECT_EQ(events[1].File, wave);
  EXPECT_TRUE(events[1].Loop);
  EXPECT_FALSE(events.back().Play);
}

using ScrollBoxTest = FormTest;

TEST_F(ScrollBoxTest, EveryScrollStepAndThumbMoveIsReported) {
  auto* box = Add<TEvScrollBox>(0, 0, 200, 150);
  auto* inner = Add<TPanel>(0, 0, 1000, 800, box);
  (void)inner;
  ShowForm();
  int v = 0, h = 0, lastV = -1;
  box->OnVScroll = [&](TObject*) {
    ++v;
    lastV = box->VertScrollBar()->Position();
  };
  box->OnHScroll = [&](TObject*) { ++h; };
  GuiTesting::ScrollStep(box, true, 3);
  GuiTesting::ProcessEvents();
  EXPECT_EQ(v, 3);
  EXPECT_GT(lastV, 0) << "the box has scrolled when the event comes";
  // Dragging the thumb: one event per tracking step, none for letting it go.
  GuiTesting::DragScrollThumb(box, false, {10, 40, 90, 120});
  GuiTesting::ProcessEvents();
  EXPECT_EQ(h, 4);
  EXPECT_EQ(box->HorzScrollBar()->Position(), 120);
  // A position set by the program is not a scroll of the user.
  box->VertScrollBar()->SetPosition(0);
  GuiTesting::ProcessEvents();
  EXPECT_EQ(v, 3);
}

// ---------------------------------------------------------------------------
// Resource meter
// ---------------------------------------------------------------------------

TEST(ResourceMeter, FreeMemoryInPercentAndWhenItRunsLow) {
  EXPECT_TRUE(ResourcesLow(55, 10, 80));
  EXPECT_FALSE(ResourcesLow(55, 11, 80));
  EXPECT_TRUE(ResourcesLow(0, 100, 100));
  EXPECT_FALSE(ResourcesLow(-1, -1, -1)) << "not available never counts as low";
  // The real figure lies within 0 .. 100.
  const int real = GetSystemResourcesFree();
  EXPECT_GE(real, 0);
  EXPECT_LE(real, 100);

  const std::string file = testsupport::TempPath("meminfo");
  SetMemInfoFile(file);
  testsupport::WriteFile(file, "MemTotal:        8000 kB\nMemFree:          100 kB\nMemAvailable:     800 kB\n");
  EXPECT_EQ(GetSystemResourcesFree(), 10);
  EXPECT_EQ(GetGDIResourcesFree(), 10);
  EXPECT_EQ(GetUserResourcesFree(), 10);
  EXPECT_TRUE(SystemResourcesLow());
  testsupport::WriteFile(file, "MemTotal: 8000 kB\nMemAvailable: 880 kB\n");
  EXPECT_EQ(GetSystemResourcesFree(), 11);
  EXPECT_FALSE(SystemResourcesLow());
  testsupport::WriteFile(file, "MemTotal: 8000 kB\nMemFree: 4000 kB\n");
  EXPECT_EQ(GetSystemResourcesFree(), 50) << "older systems: the free memory";
  // Hostile or missing figures: not available, never low, no crash.
  for (const std::string& bad : {std::string(), std::string("MemTotal: 0 kB\nMemAvailable: 5 kB\n"),
                                 std::string("MemTotal: -4 kB\nMemAvailable: 5 kB"),
                                 std::string("MemTotal:\nMemAvailable:"), std::string(20000, 'M'),
                                 std::string("MemTotal: 99999999999999999999999 kB\nMemAvailable: 1 kB\n"),
                                 std::string("MemTotal: 99999999999999999999 kB\nMemAvailable: 99999999999999999999 kB\n")}) {
    testsupport::WriteFile(file, bad);
    const int v = GetSystemResourcesFree();
    EXPECT_TRUE(v == -1 || (v >= 0 && v <= 100)) << v;
  }
  testsupport::WriteFile(file, "MemTotal: 100 kB\nMemAvailable: 900 kB\n");
  EXPECT_EQ(GetSystemResourcesFree(), 100);
  SetMemInfoFile(testsupport::TempPath("missing"));
  EXPECT_EQ(GetSystemResourcesFree(), -1);
  EXPECT_FALSE(SystemResourcesLow());
  SetMemInfoFile(std::string());
}

// ---------------------------------------------------------------------------
// Running text
// ---------------------------------------------------------------------------

using RunningTextTest = FormTest;

TEST_F(RunningTextTest, SettersKeepTheirRanges) {
  auto* t = Add<TRunningText>(0, 0, 281, 17);
  // A pass needs a step; the speed lies within 1 .. 1000.
  for (auto [set, speed, steps] : {std::tuple{0, 1, 1}, {5000, 1000, 5000}, {-5, 1, 1}}) {
    t->SetSpeed(set);
    t->SetSteps(set);
    EXPECT_EQ(t->Speed(), speed) << set;
    EXPECT_EQ(t->Steps(), steps) << set;
  }
}

TEST_F(RunningTextTest, APassRunsFromEdgeToEdgeAndTheRepeatsEnd) {
  auto* t = Add<TRunningText>(0, 0, 281, 17);
  t->SetCaption("Thanks");
  ShowForm();
  TBitmap scratch;
  scratch.SetSize(1, 1);
  scratch.Canvas().SetFont(*t->Font());
  const int tw = scratch.Canvas().TextWidth("Thanks") + 2, th = scratch.Canvas().TextHeight("Thanks") + 2;
  // At rest: by Alignment and Layout.
  EXPECT_EQ(t->TextPlace(), Point((281 - tw) / 2, 0));
  t->SetAlignment(taRightJustify);
  t->SetLayout(tlBottom);
  EXPECT_EQ(t->TextPlace(), Point(281 - tw, 17 - th));
  t->SetLayout(tlCenter);
  EXPECT_EQ(t->TextPlace().Y, (17 - th) / 2);

  t->SetDirect(diRightToLeft);
  t->SetSteps(10);
  t->SetNumRepeat(2);
  t->SetActive(true);
  std::vector<int> xs;
  int ticks = 0;
  while (t->Active() && ticks < 100) {
    t->Tick();
    ++ticks;
    if (!t->Active()) break;
    // The place painted by this tick (before a pass's last step wraps to 0).
    const int step = t->Position() == 0 ? 10 : t->Position();
    xs.push_back(int(std::nearbyint((1 - step / 10.0) * (281 + tw))) - tw);
  }
  EXPECT_EQ(xs.size(), 20u) << "two passes of ten steps";
  EXPECT_EQ(ticks, 21) << "then the tick that switches off";
  EXPECT_FALSE(t->Active());
  EXPECT_EQ(xs.front(), int(std::nearbyint(0.9 * (281 + tw))) - tw);
  EXPECT_EQ(xs[9], -tw) << "the last step puts the text just off the left edge";
  // Switched on again it runs two more passes; NumRepeat 0 stops at the first tick.
  t->SetActive(true);
  ticks = 0;
  while (t->Active() && ticks < 100) {
    t->Tick();
    ++ticks;
  }
  EXPECT_EQ(ticks, 21);
  t->SetNumRepeat(0);
  t->SetActive(true);
  t->Tick();
  EXPECT_FALSE(t->Active());
  EXPECT_EQ(t->Position(), 0);
  // Continuous: no end.
  t->SetContinuous(true);
  t->SetActive(true);
  for (int i = 0; i < 55; ++i) t->Tick();
  EXPECT_TRUE(t->Active());
  EXPECT_EQ(t->Position(), 5);
  EXPECT_EQ(t->RepeatCount(), 0);
}

TEST_F(RunningTextTest, TheCaptionIsPaintedWhereItRunsWithItsEmbossing) {
  auto* t = Add<TRunningText>(0, 0, 200, 30);
  t->SetColor(clWhite);
  t->Font()->SetColor(clBlack);
  t->SetCaption("IIIIIIII");
  t->SetDirect(diTopToBottom);
  t->SetSteps(4);
  t->SetContinuous(true);
  ShowForm();
  t->SetActive(true);
  t->Tick();
  t->Tick();
  GuiTesting::ProcessEvents();
  TBitmap shot;
  ASSERT_TRUE(GuiTesting::Grab(t, shot));
  const TPoint at = t->TextPlace();
  const TRect ink = pixels::Bounds(shot, Rect(0, 0, 200, 30), pixels::Ink);
  ASSERT_FALSE(ink.IsEmpty());
  EXPECT_GE(ink.Left, at.X);
  EXPECT_LE(ink.Left, at.X + 4);
  EXPECT_GE(ink.Top, at.Y);
  // Raised: the shadow copy 2 pixels right and down.
  t->SetStyleLabel(slRaised);
  GuiTesting::ProcessEvents();
  ASSERT_TRUE(GuiTesting::Grab(t, shot));
  const TRect drawn = pixels::Bounds(shot, Rect(0, 0, 200, 30), [](TColor c) { return c != clWhite; });
  const TRect raised = pixels::Bounds(shot, Rect(0, 0, 200, 30), pixels::Ink);
  EXPECT_EQ(raised.Left, ink.Left) << "the caption stays in its place";
  EXPECT_NEAR(drawn.Right, raised.Right + 2, 1);
  EXPECT_NEAR(drawn.Bottom, raised.Bottom + 2, 1);
}
