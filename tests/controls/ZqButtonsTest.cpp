// The glyph buttons: the plain face they paint, the speed buttons' groups and the push
// button's modal result.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/Forms.h"

namespace {

constexpr TColor kFace = RGB(200, 180, 160), kLight = RGB(250, 250, 240), kShadow = RGB(20, 30, 40);

TZqFace PlainFace(int w, int h) {
  TZqFace face;
  face.Width = w;
  face.Height = h;
  face.Color = kFace;
  face.LightColor = kLight;
  face.ShadowColor = kShadow;
  return face;
}

std::unique_ptr<TBitmap> Draw(const TZqFace& face) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf24bit);
  bmp->SetSize(face.Width, face.Height);
  DrawZqFace(bmp->Canvas(), face);
  return bmp;
}

// Pixels of the colour inside the rectangle.
int CountColor(const TBitmap& bmp, TColor color, const TRect& r) {
  int n = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) n += bmp.PixelColor(x, y) == color;
  return n;
}

struct FormFixture : testing::Test {
  void SetUp() override {
    Application->Initialize();
    form = std::make_unique<TForm>(nullptr);
  }
  std::unique_ptr<TForm> form;
};

}  // namespace

TEST(ZqFace, BevelIsLightTopLeftAndShadowBottomRightSwappedWhenDown) {
  auto up = Draw(PlainFace(30, 12));
  EXPECT_EQ(up->PixelColor(0, 0), kLight);
  EXPECT_EQ(up->PixelColor(0, 10), kLight);
  EXPECT_EQ(up->PixelColor(28, 0), kLight);
  EXPECT_EQ(up->PixelColor(29, 0), kShadow);  // the shadow line starts at the top-right corner
  EXPECT_EQ(up->PixelColor(29, 11), kShadow);
  EXPECT_EQ(up->PixelColor(1, 11), kShadow);
  EXPECT_EQ(up->PixelColor(15, 6), kFace);
  EXPECT_EQ(CountColor(*up, kFace, Rect(1, 1, 29, 11)), 28 * 10);

  TZqFace face = PlainFace(30, 12);
  face.Down = true;
  auto down = Draw(face);
  EXPECT_EQ(down->PixelColor(0, 0), kShadow);
  EXPECT_EQ(down->PixelColor(29, 11), kLight);

  // Disabled: never drawn down.
  face.Enabled = false;
  auto disabled = Draw(face);
  EXPECT_EQ(disabled->PixelColor(0, 0), kLight);
}

TEST(ZqFace, FlatButtonsShowTheirFrameOnlyWhenHotOrDown) {
  TZqFace face = PlainFace(20, 10);
  face.Flat = true;
  EXPECT_EQ(CountColor(*Draw(face), kFace, Rect(0, 0, 20, 10)), 200);
  face.MouseInside = true;
  EXPECT_EQ(Draw(face)->PixelColor(0, 0), kLight);
  face.MouseInside = false;
  face.Down = true;
  EXPECT_EQ(Draw(face)->PixelColor(0, 0), kShadow);
  // A disabled flat button has no frame even when down; a disabled raised one keeps it.
  face.Enabled = false;
  EXPECT_EQ(Draw(face)->PixelColor(0, 0), kFace);
  face.Flat = false;
  EXPECT_EQ(Draw(face)->PixelColor(0, 0), kLight);
}

TEST(ZqFace, CaptionIsGreyWhenDisabledAndShortenedToTheButton) {
  TZqFace face = PlainFace(80, 24);
  face.Caption = "&Close";
  face.Color = clWhite;
  face.Enabled = false;
  // Text pixels are blended into the background: a disabled caption has no pixel darker
  // than its grey, an enabled (black) one has.
  auto darkest = [](const TBitmap& b) {
    int lowest = 255;
    for (int y = 1; y < 23; ++y)
      for (int x = 4; x < 76; ++x) lowest = std::min(lowest, int(GetGValue(b.PixelColor(x, y))));
    return lowest;
  };
  int disabledDarkest = darkest(*Draw(face));
  EXPECT_LT(disabledDarkest, 255) << "the caption is drawn";
  EXPECT_GE(disabledDarkest, 0x80);
  face.Enabled = true;
  EXPECT_LT(darkest(*Draw(face)), 0x60);

  TBitmap canvasOwner;
  canvasOwner.SetSize(10, 10);
  TCanvas& c = canvasOwner.Canvas();
  std::string longText = "A rather long caption \xC3\xA9\xC3\xA9\xC3\xA9 that cannot fit";
  std::string fitted = FittedZqCaption(c, longText, 60);
  EXPECT_LE(c.TextWidth(fitted), 60);
  EXPECT_FALSE(fitted.empty());
  EXPECT_EQ(longText.compare(0, fitted.size(), fitted), 0);
  EXPECT_EQ(FittedZqCaption(c, "Fish && &Chips", 1000), "Fish & Chips");
  EXPECT_EQ(FittedZqCaption(c, "\xC3\xA9\xC3\xA9", 0), "");
}

TEST_F(FormFixture, GroupedSpeedButtonsExcludeEachOther) {
  TZqSpeedButton* b[3];
  for (auto*& button : b) {
    button = new TZqSpeedButton(form.get());
    button->SetParent(form.get());
    button->SetGroupIndex(9);
  }
  auto* other = new TZqSpeedButton(form.get());
  other->SetParent(form.get());
  other->SetGroupIndex(4);
  other->SetDown(true);

  b[0]->SetDown(true);
  b[1]->MouseDown(mbLeft, {}, 1, 1);
  EXPECT_FALSE(b[0]->Down());
  EXPECT_TRUE(b[1]->Down());
  EXPECT_TRUE(other->Down()) << "another group is not touched";
  // Clicking the down button again keeps it down unless AllowAllUp is set.
  b[1]->MouseDown(mbLeft, {}, 1, 1);
  b[1]->MouseUp(mbLeft, {}, 1, 1);
  EXPECT_TRUE(b[1]->Down());
  b[1]->SetAllowAllUp(true);
  b[1]->MouseDown(mbLeft, {}, 1, 1);
  EXPECT_FALSE(b[1]->Down());
  // The right button and a disabled button do nothing.
  b[2]->MouseDown(mbRight, {}, 1, 1);
  b[2]->SetEnabled(false);
  b[2]->MouseDown(mbLeft, {}, 1, 1);
  EXPECT_FALSE(b[2]->Down());
}

TEST_F(FormFixture, PlainSpeedButtonIsDownOnlyWhileHeld) {
  auto* b = new TZqSpeedButton(form.get());
  b->SetParent(form.get());
  b->MouseDown(mbLeft, {}, 2, 2);
  EXPECT_TRUE(b->Down());
  EXPECT_TRUE(b->Face().Down);
  b->MouseUp(mbLeft, {}, 2, 2);
  EXPECT_FALSE(b->Down());
}

TEST_F(FormFixture, PushButtonSetsTheFormsModalResultWhenClicked) {
  auto* ok = new TZqButton(form.get());
  ok->SetParent(form.get());
  ok->SetModalResult(mrOk);
  int clicks = 0;
  ok->OnClick = [&](TObject*) { ++clicks; };
  ok->Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form->ModalResult(), mrOk);

  form->SetModalResult(mrNone);
  ok->SetEnabled(false);
  ok->Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form->ModalResult(), mrNone);

  // Without a modal result the form's stays as it is.
  auto* plain = new TZqButton(form.get());
  plain->SetParent(form.get());
  plain->Click();
  EXPECT_EQ(form->ModalResult(), mrNone);
}

TEST_F(FormFixture, PushButtonPressedByMouseOrKeysAndReleasedWhenDisabled) {
  auto* b = new TZqButton(form.get());
  b->SetParent(form.get());
  b->SetModalResult(mrYes);
  b->MouseDown(mbLeft, {}, 3, 3);
  EXPECT_TRUE(b->Pressed());
  EXPECT_TRUE(b->Face().Down);
  b->SetEnabled(false);
  EXPECT_FALSE(b->Pressed());
  b->SetEnabled(true);

  uint16_t key = VK_SPACE;
  b->KeyDown(key, {});
  EXPECT_TRUE(b->Pressed());
  key = VK_SPACE;
  b->KeyUp(key, {});
  EXPECT_FALSE(b->Pressed());
  EXPECT_EQ(form->ModalResult(), mrYes);
  // A key-up without a press does not click.
  form->SetModalResult(mrNone);
  key = VK_RETURN;
  b->KeyUp(key, {});
  EXPECT_EQ(form->ModalResult(), mrNone);
}
