// GIF pictures in the main window: an animated GIF plays in the picture area (frames,
// delays, disposal, transparency showing the area's colour, looping as its loop
// extension says), the popup's switch stops and starts it, a running slide show shows its
// first frame, still GIFs show as pictures, and leaving or closing during playback is safe.
#include <chrono>
#include <filesystem>
#include <thread>

#include "MainWindowFixture.h"
#include "controls/EventScrollbox.h"
#include "core/ProgramGlobals.h"
#include "core/Unit1.h"
#include "formats/GIFImage.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Menus.h"

namespace fs = std::filesystem;

namespace {

// Handles events for a while, or until done says so.
void ProcessEventsFor(int ms, const std::function<bool()>& done = nullptr) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    Application->ProcessMessages();
    if (done && done()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace

class DisplayGifTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    folder_ = testsupport::TempPath("gifs");
    fs::create_directories(folder_);
  }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }

  void Convert(const std::vector<std::string>& args, const std::string& name) {
    std::vector<std::string> argv{"convert"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(Path(name));
    const testsupport::CommandResult r = testsupport::Run(argv);
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }

  // Three frames of 60 x 40 (red, green, blue squares on transparency), 4 hundredths
  // each, restored to the background, looping `loops` times (0: for ever).
  void MakeAnimation(const std::string& name, int loops) {
    Convert({"-delay", "4", "-dispose", "background", "-size", "60x40", "xc:none", "-fill", "red", "-draw",
             "rectangle 0,0 19,19", "(", "-size", "60x40", "xc:none", "-fill", "lime", "-draw", "rectangle 20,10 39,29",
             ")", "(", "-size", "60x40", "xc:none", "-fill", "blue", "-draw", "rectangle 40,20 59,39", ")", "-loop",
             std::to_string(loops)},
            name);
  }

  void Start(const std::string& name) {
    SetArguments({Path(name)});
    CreateWindows();
    ShowMainWindow();
    // The window's layout settles first: a resize opens the picture again.
    ProcessEventsFor(200);
    Form1->ScrollBox1->SetColor(clYellow);
    Form1->OpenThePicture(name);
  }

  // The colour the picture area shows at (x, y) of the picture.
  TColor Shown(int x, int y) {
    TBitmap grabbed;
    if (!GuiTesting::Grab(Form1->Image1, grabbed)) return clNone;
    return grabbed.PixelColor(x, y);
  }

  std::string folder_;
};

TEST_F(DisplayGifTest, AnAnimatedGifPlaysWithItsDelaysAndTransparencyStopsByThePopupAndIsLeftSafely) {
  MakeAnimation("anim.gif", 0);
  Start("anim.gif");
  ASSERT_TRUE(Form1->FAnimatedGif);
  ASSERT_NE(Form1->FGifImage, nullptr);
  EXPECT_EQ(Form1->Image1->Picture()->Graphic(), Form1->FGifImage);
  EXPECT_FALSE(Form1->Image1->AutoSize());
  EXPECT_TRUE(Form1->Image1->Stretch());
  EXPECT_EQ(Form1->StatusBar1->Panels()->Items(2)->Text(), "60 x 40");
  // The frames follow each other: each square shows in turn, on the area's colour.
  std::vector<TColor> seen;
  int frames = 0;
  Form1->FGifImage->OnAfterPaint = [&](TObject*) { ++frames; };
  ProcessEventsFor(3000, [&] {
    const TColor c[3] = {Shown(5, 5), Shown(25, 15), Shown(45, 25)};
    for (TColor colour : c)
      if (colour != clYellow && colour != clNone && std::find(seen.begin(), seen.end(), colour) == seen.end())
        seen.push_back(colour);
    return frames >= 7 && seen.size() == 3;
  });
  EXPECT_EQ(seen.size(), 3u);
  EXPECT_GE(frames, 7);
  // Restored to the background: the squares of earlier frames are gone again.
  int lit = 0;
  for (TColor c : {Shown(5, 5), Shown(25, 15), Shown(45, 25)}) lit += c != clYellow;
  EXPECT_EQ(lit, 1);
  EXPECT_EQ(Shown(59, 0), clYellow);

  // The popup's switch stops and starts it, at full size only.
  ProcessEventsFor(1000, [&] { return Form1->FGifImage->DrawPainter() != nullptr; });
  ASSERT_NE(Form1->FGifImage->DrawPainter(), nullptr);
  Form1->RunGifImage1->Click();
  EXPECT_FALSE(Form1->FGifImage->GetAnimate());
  ProcessEventsFor(2000, [&] { return Form1->FGifImage->DrawPainter() == nullptr; });
  EXPECT_EQ(Form1->FGifImage->DrawPainter(), nullptr);
  Form1->RunGifImage1->Click();
  EXPECT_TRUE(Form1->FGifImage->GetAnimate());
  ProcessEventsFor(2000, [&] { return Form1->FGifImage->DrawPainter() != nullptr; });
  EXPECT_NE(Form1->FGifImage->DrawPainter(), nullptr);
  // At another zoom the switch does nothing.
  Form1->FZoomPercent = 150;
  Form1->RunGifImage1->Click();
  EXPECT_TRUE(Form1->FGifImage->GetAnimate());

  // Leaving the animation for another picture and coming back, at any moment, is safe.
  Convert({"-size", "20x20", "xc:navy"}, "next.png");
  for (int round = 0; round < 5; ++round) {
    ProcessEventsFor(30 * round);
    Form1->OpenThePicture("next.png");
    EXPECT_EQ(Form1->FGifImage, nullptr);
    Form1->OpenThePicture("anim.gif");
    ASSERT_NE(Form1->FGifImage, nullptr);
  }
  // Resizing the window opens the GIF again.
  Form1->SetBounds(0, 0, 900, 600);
  ProcessEventsFor(100);
  EXPECT_NE(Form1->FGifImage, nullptr);
  // The windows go while the animation runs (TearDown frees them).
}

// An animation plays at the size of its logical screen, also when its first image is
// smaller: here a 10 x 10 red square on a 30 x 30 screen, then the whole screen blue.
TEST_F(DisplayGifTest, AnAnimationPlaysAtItsScreenSize) {
  Convert({"-delay", "4", "-size", "10x10", "xc:red", "-set", "page", "30x30+10+10", "(", "-size", "30x30", "xc:blue",
           "-set", "page", "+0+0", ")", "-loop", "0"},
          "screen.gif");
  Start("screen.gif");
  ASSERT_NE(Form1->FGifImage, nullptr);
  EXPECT_EQ(Form1->StatusBar1->Panels()->Items(2)->Text(), "30 x 30");
  EXPECT_EQ(Form1->Image1->Width(), 30);
  EXPECT_EQ(Form1->Image1->Height(), 30);
  bool red = false, blue = false;
  ProcessEventsFor(3000, [&] { return (red = red || Shown(15, 15) == clRed) && (blue = blue || Shown(27, 27) == clBlue); });
  EXPECT_TRUE(red && blue);
}

TEST_F(DisplayGifTest, TheLoopExtensionEndsTheAnimationAfterItsCount) {
  KIVO2_REQUIRE_TOOL("gifsicle");
  // A loop count of 2 in the file plays the picture twice in all.
  MakeAnimation("once.gif", 0);
  ASSERT_EQ(testsupport::Run({"gifsicle", "--loopcount=2", Path("once.gif"), "-o", Path("twice.gif")}).exitCode, 0);
  Start("twice.gif");
  ASSERT_NE(Form1->FGifImage, nullptr);
  int frames = 0, loops = 0;
  Form1->FGifImage->OnAfterPaint = [&](TObject*) { ++frames; };
  Form1->FGifImage->OnLoop = [&](TObject*) { ++loops; };
  ProcessEventsFor(3000, [&] { return frames > 0 && Form1->FGifImage->DrawPainter() == nullptr; });
  EXPECT_EQ(Form1->FGifImage->DrawPainter(), nullptr);
  EXPECT_EQ(loops, 1);
  // The last frame stays on show.
  EXPECT_EQ(Shown(45, 25), clBlue);
}

TEST_F(DisplayGifTest, ARunningSlideShowAndStillGifsShowTheFirstFrame) {
  KIVO2_REQUIRE_TOOL("gifsicle");
  MakeAnimation("anim.gif", 0);
  Convert({"-size", "30x20", "gradient:red-blue", "-colors", "64"}, "still.gif");
  Start("still.gif");
  EXPECT_FALSE(Form1->FAnimatedGif);
  EXPECT_EQ(Form1->FGifImage, nullptr);
  EXPECT_FALSE(Form1->FPlaceholderShown);
  EXPECT_EQ(Form1->StatusBar1->Panels()->Items(2)->Text(), "30 x 20");
  const testsupport::Raster expected = testsupport::ImageMagickRaster(Path("still.gif"));
  TBitmap shown;
  shown.Assign(Form1->Image1->Picture()->Graphic());
  ASSERT_EQ(shown.Width(), 30);
  for (int y = 0; y < 20; y += 7)
    for (int x = 0; x < 30; x += 7)
      EXPECT_EQ(shown.PixelColor(x, y), RGB(uint8_t(expected.at(x, y, 0)), uint8_t(expected.at(x, y, 1)),
                                            uint8_t(expected.at(x, y, 2))));
  // A comment after the only image makes no second frame: still, not animated.
  std::string bytes = testsupport::ReadFile(Path("still.gif"));
  bytes.insert(bytes.size() - 1, std::string("\x21\xFE\x05notes\x00", 9));
  testsupport::WriteFile(Path("comment.gif"), bytes);
  EXPECT_NE(testsupport::Run({"gifsicle", "--info", Path("comment.gif")}).out.find("1 image"), std::string::npos);
  Form1->OpenThePicture("comment.gif");
  EXPECT_FALSE(Form1->FAnimatedGif || Form1->FGifImage || Form1->FPlaceholderShown);
  // During a running show an animated GIF is its first frame, not animated.
  Form1->FSlideRunning = true;
  Form1->OpenThePicture("anim.gif");
  Form1->FSlideRunning = false;
  EXPECT_EQ(Form1->FGifImage, nullptr);
  EXPECT_EQ(dynamic_cast<TGIFImage*>(Form1->Image1->Picture()->Graphic()), nullptr);
  EXPECT_FALSE(Form1->FPlaceholderShown);
}
