// The pixel magnifier over a made-up screen (each pixel's colour tells its place): the
// area it takes around the pointer, kept on the screen; the enlarged pixels; the colour
// under the pointer; the crosshair drawn inverted; the settings over the window itself;
// the zoom by slider and wheel; the main window's toggle.

#include "ToolWindowFixture.h"
#include "controls/ZqButton.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/ScreenGrab.h"
#include "platform/gui/StdCtrls.h"
#include "tools/ZoomFloatUnit.h"

namespace {

TColor ScreenPixel(int x, int y) { return RGB(uint8_t(x % 256), uint8_t(y % 256), 100); }

TColor Inverted(TColor c) { return RGB(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c)); }

class MagnifierTest : public ToolWindowTest {
 protected:
  void SetUp() override {
    ToolWindowTest::SetUp();
    SetScreenReader([](const TRect& r, TBitmap& b) {
      b.SetPixelFormat(pf24bit);
      b.SetSize(r.Width(), r.Height());
      for (int y = 0; y < r.Height(); ++y) {
        uint8_t* row = b.ScanLine(y);
        for (int x = 0; x < r.Width(); ++x) {
          const TColor c = ScreenPixel(r.Left + x, r.Top + y);
          row[3 * x] = GetBValue(c);
          row[3 * x + 1] = GetGValue(c);
          row[3 * x + 2] = GetRValue(c);
        }
      }
    });
    w_ = UnitZoomFloat;
    w_->SetBounds(1500, 700, 240, 260);
    w_->SetClientWidth(220);
    w_->SetClientHeight(220);
    w_->Slider->SetPosition(2);
  }
  void TearDown() override {
    SetScreenReader(nullptr);
    ToolWindowTest::TearDown();
  }
  TBitmap& Shown() { return *w_->Image1->Picture()->Bitmap(); }
  TUnitZoomFloat* w_ = nullptr;
};

}  // namespace

TEST_F(MagnifierTest, TheAreaAroundThePointerStaysOnTheScreenAndTheZoomFollowsTheSliderAndTheWheel) {
  ASSERT_EQ(w_->Image1->Width(), 220);
  EXPECT_EQ(w_->SourceRect(Point(500, 300)), Rect(445, 245, 555, 355));
  EXPECT_EQ(w_->SourceRect(Point(3, 7)), Rect(0, 0, 110, 110));
  EXPECT_EQ(w_->SourceRect(Point(1919, 1079)), Rect(1810, 970, 1920, 1080));
  w_->Slider->SetPosition(10);
  EXPECT_EQ(w_->SourceRect(Point(500, 300)), Rect(489, 289, 511, 311));

  // The zoom follows the slider and the wheel, within 2 to 10.
  w_->Slider->SetPosition(10);
  EXPECT_EQ(w_->Caption(), "Pixel magnifier 1000%");
  bool handled = false;
  w_->FormMouseWheel(w_, TShiftState(), 120, Point(0, 0), handled);
  EXPECT_EQ(w_->Slider->Position(), 10);
  w_->FormMouseWheel(w_, TShiftState(), -120, Point(0, 0), handled);
  EXPECT_EQ(w_->Slider->Position(), 9);
  EXPECT_EQ(w_->Caption(), "Pixel magnifier 900%");
  w_->Slider->SetPosition(2);
  w_->FormMouseWheel(w_, TShiftState(), -120, Point(0, 0), handled);
  EXPECT_EQ(w_->Slider->Position(), 2);
  EXPECT_EQ(w_->Caption(), "Pixel magnifier 200%");
}

TEST_F(MagnifierTest, EachScreenPixelBecomesZoomByZoomPixelsAndOverItselfItShowsItsSettings) {
  w_->cbSrediste->SetChecked(false);
  w_->CaptureAt(Point(500, 300));
  ASSERT_EQ(Shown().Width(), 220);
  EXPECT_FALSE(w_->ColorPanel->Visible());
  EXPECT_TRUE(w_->Image1->Visible());
  EXPECT_FALSE(w_->Panel1->Visible());
  for (auto [x, y] : {std::pair{0, 0}, {1, 1}, {2, 0}, {219, 219}, {110, 112}, {37, 150}})
    EXPECT_EQ(Shown().PixelColor(x, y), ScreenPixel(445 + x / 2, 245 + y / 2)) << x << "," << y;

  w_->cbSrediste->SetChecked(true);
  w_->CaptureAt(Point(500, 300));
  const TColor under = ScreenPixel(500, 301);
  EXPECT_TRUE(w_->ColorPanel->Visible());
  EXPECT_EQ(w_->ColorPanel->Color(), under);
  EXPECT_EQ(w_->Label6->Caption(), "R 244 G 45 B 100");
  // The crosshair's arms invert what lies under them; the square shows the colour.
  EXPECT_EQ(Shown().PixelColor(110, 90), Inverted(ScreenPixel(500, 290)));
  EXPECT_EQ(Shown().PixelColor(140, 110), Inverted(ScreenPixel(515, 300)));
  EXPECT_EQ(Shown().PixelColor(110, 110), under);
  EXPECT_EQ(Shown().PixelColor(110, 60), ScreenPixel(500, 275));  // beyond the arm's end

  // Over itself it shows its settings, translucent.
  w_->CaptureAt(Point(1510, 720));
  EXPECT_TRUE(w_->Panel1->Visible());
  EXPECT_FALSE(w_->Image1->Visible());
  EXPECT_FALSE(w_->ColorPanel->Visible());
  EXPECT_TRUE(w_->AlphaBlend());
  EXPECT_EQ(w_->AlphaBlendValue(), 180);
  w_->CaptureAt(Point(200, 200));
  EXPECT_FALSE(w_->Panel1->Visible());
  EXPECT_FALSE(w_->AlphaBlend());
}

TEST_F(MagnifierTest, TheMainWindowsToggleStartsAndStopsIt) {
  Form1->Zoom1Click(nullptr);
  EXPECT_TRUE(w_->Visible());
  EXPECT_TRUE(Form1->FMagnifierActive);
  EXPECT_TRUE(w_->Timer1->Enabled());
  EXPECT_EQ(w_->Timer1->Interval(), 25u);
  EXPECT_EQ(w_->Timer2->Interval(), 1000u);
  // The capture timer runs on its own.
  EXPECT_TRUE(GuiTesting::WaitUntil([&] { return w_->Image1->Picture()->Graphic() != nullptr || w_->Panel1->Visible(); },
                                    3000));
  Form1->Zoom1Click(nullptr);
  EXPECT_FALSE(w_->Visible());
  EXPECT_FALSE(Form1->FMagnifierActive);
  EXPECT_FALSE(w_->Timer1->Enabled());
  EXPECT_EQ(w_->Timer1->Interval(), 0u);
  EXPECT_FALSE(w_->Timer2->Enabled());
}
