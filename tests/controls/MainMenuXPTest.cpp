// The owner-drawn main menu: widths, the silver bar, the selection, separators, shortcut
// texts, check marks and greyed glyphs, on a real menu of a form rendered offscreen. The
// expected pixels come from the menu's own rules (fixed colours and offsets).

#include "ControlsTestSupport.h"
#include "controls/MainMenuXP.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/WinCalls.h"

namespace {

TColor At(const TBitmap& b, int x, int y) { return b.PixelColor(x, y); }

struct MenuFixture : testing::Test {
  void SetUp() override {
    Application->Initialize();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 500, 300);
    menu = new TMainMenuXP(form.get());
    file = Item(menu->Items(), "&File");
    open = Item(file, "&Open...");
    open->SetShortCut(ShortCut('O', ssCtrl));
    line = Item(file, "-");
    check = Item(file, "Checked");
    check->SetChecked(true);
    radio = Item(file, "Radio");
    radio->SetRadioItem(true);
    radio->SetChecked(true);
    off = Item(file, "Disabled");
    off->SetEnabled(false);
    form->SetMenu(menu);
    form->Show();
  }
  void TearDown() override { SetScreenBitsPerPixel(0); }

  TMenuItem* Item(TMenuItem* parent, const std::string& caption) {
    auto* item = new TMenuItem(form.get());
    item->SetCaption(caption);
    parent->Add(item);
    return item;
  }

  std::unique_ptr<TForm> form;
  TMainMenuXP* menu = nullptr;
  TMenuItem *file = nullptr, *open = nullptr, *line = nullptr, *check = nullptr, *radio = nullptr, *off = nullptr;
};

}  // namespace

TEST_F(MenuFixture, EveryItemGetsTheMenusHandlersAlsoWhenAddedLater) {
  EXPECT_TRUE(menu->OwnerDraw());
  for (TMenuItem* item : {file, open, line, check, radio, off}) {
    EXPECT_TRUE(bool(item->OnAdvancedDrawItem)) << item->Caption();
  }
  EXPECT_FALSE(bool(file->OnMeasureItem)) << "menu-bar items keep the library's measurement";
  EXPECT_TRUE(bool(open->OnMeasureItem));
  // A handler the form had put there is overwritten; an item added at run time is served.
  bool formHandler = false;
  open->OnAdvancedDrawItem = [&](TObject*, TCanvas*, const TRect&, TOwnerDrawState) { formHandler = true; };
  TMenuItem* sub = Item(open, "Sub item");
  TMenuItem* later = Item(menu->Items(), "&Later");
  EXPECT_TRUE(bool(sub->OnAdvancedDrawItem) && bool(sub->OnMeasureItem));
  EXPECT_TRUE(bool(later->OnAdvancedDrawItem));
  TBitmap shot;
  ASSERT_TRUE(GuiTesting::GrabMenu(file, shot));
  EXPECT_FALSE(formHandler);
  int w = 120, h = 19;
  menu->MeasureMenuItem(open, nullptr, w, h);
  EXPECT_EQ(w, 160);
  EXPECT_EQ(h, 19);
}

TEST_F(MenuFixture, DropDownItemsHaveTheSilverBarWhiteBodyShortcutAndSeparator) {
  TBitmap shot;
  ASSERT_TRUE(GuiTesting::GrabMenu(file, shot));
  const TRect r = GuiTesting::MenuItemRect(open);
  ASSERT_FALSE(r.IsEmpty());
  // The bar: 20 pixels of 0xC0C0C0, then the window colour.
  EXPECT_EQ(At(shot, r.Left, r.Top + 1), TColor(0xC0C0C0));
  EXPECT_EQ(At(shot, r.Left + 19, r.Bottom - 1), TColor(0xC0C0C0));
  EXPECT_EQ(At(shot, r.Left + 20, r.Top + 1), ColorToRGB(clWindow));
  // The caption starts 25 pixels in, the shortcut text ends 10 pixels before the right edge.
  const TRect ink = pixels::Bounds(shot, r, pixels::Ink);
  ASSERT_FALSE(ink.IsEmpty());
  EXPECT_GE(ink.Left, r.Left + 25);
  EXPECT_LE(ink.Left, r.Left + 27);
  EXPECT_LE(ink.Right, r.Right - 10);
  EXPECT_GE(ink.Right, r.Right - 12);
  // The separator: an etched line from the bar's edge, 4 pixels below the item's top.
  const TRect s = GuiTesting::MenuItemRect(line);
  ASSERT_FALSE(s.IsEmpty());
  EXPECT_EQ(At(shot, s.Left + 30, s.Top + 4), ColorToRGB(clBtnShadow));
  EXPECT_EQ(At(shot, s.Left + 30, s.Top + 5), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(At(shot, s.Left + 19, s.Top + 4), TColor(0xC0C0C0));
  EXPECT_EQ(At(shot, s.Left + 20, s.Top + 4), ColorToRGB(clBtnShadow));
}

// The handlers drawn straight into a bitmap, as the menu window calls them.
TEST_F(MenuFixture, SelectionCheckMarksAndGreyedGlyphs) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(200, 22);
  TCanvas& c = b.Canvas();
  c.Font().SetColor(clMenuText);
  const TRect r = Rect(0, 0, 200, 22);
  menu->DrawMenuItem(check, &c, r, TOwnerDrawState(odSelected));
  EXPECT_EQ(At(b, 0, 0), ColorToRGB(clActiveCaption)) << "a frame in the caption colour";
  EXPECT_EQ(At(b, 199, 21), ColorToRGB(clActiveCaption));
  EXPECT_EQ(At(b, 10, 20), TColor(0x9F9F9F)) << "over the bar too";
  EXPECT_EQ(At(b, 150, 11), TColor(0x9F9F9F));
  // The check mark lies in the glyph box from (1, 1) of a selected item.
  const TBitmap& mark = MenuCheckBitmap();
  const TRect markInk = pixels::Bounds(mark, Rect(0, 0, mark.Width(), mark.Height()), pixels::Is(clBlack));
  const TRect drawn = pixels::Bounds(b, Rect(1, 1, 20, 21), pixels::Is(clBlack));
  EXPECT_EQ(drawn.Left, markInk.Left + 1);
  EXPECT_EQ(drawn.Top, markInk.Top + 1);
  // Unselected: from (2, 2); a checked radio item shows the menu arrow instead.
  menu->DrawMenuItem(radio, &c, r, TOwnerDrawState());
  const TBitmap& arrow = MenuArrowBitmap();
  const TRect arrowInk = pixels::Bounds(arrow, Rect(0, 0, arrow.Width(), arrow.Height()), pixels::Is(clBlack));
  const TRect radioDrawn = pixels::Bounds(b, Rect(0, 0, 20, 22), pixels::Is(clBlack));
  EXPECT_EQ(radioDrawn.Left, arrowInk.Left + 2);
  EXPECT_EQ(radioDrawn.Top, arrowInk.Top + 2);
  EXPECT_EQ(radioDrawn.Width(), arrowInk.Width());

  // On a 256-colour screen the selection is the caption colour with white text.
  SetScreenBitsPerPixel(8);
  menu->DrawMenuItem(open, &c, r, TOwnerDrawState(odSelected));
  EXPECT_EQ(At(b, 150, 11), ColorToRGB(clActiveCaption));
  EXPECT_FALSE(pixels::Bounds(b, Rect(25, 1, 120, 21), pixels::Is(clWhite)).IsEmpty());

  // The menu bar: button face, the caption 2 pixels in.
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect(r);
  menu->DrawMenuBarItem(file, &c, Rect(0, 0, 40, 22), TOwnerDrawState());
  EXPECT_EQ(At(b, 1, 1), ColorToRGB(clBtnFace));
  EXPECT_EQ(At(b, 39, 21), ColorToRGB(clBtnFace));
  EXPECT_EQ(At(b, 40, 10), clRed);
}

TEST_F(MenuFixture, DisabledGlyphsTurnLightGrey) {
  // Colours and the greys they become: (r + g + b) div 3 + 70, at most 230.
  TBitmap glyph;
  glyph.SetPixelFormat(pf24bit);
  glyph.SetSize(4, 1);
  const TColor colours[4] = {clBlack, RGB(30, 60, 90), RGB(200, 100, 0), clWhite};
  const int greys[4] = {70, 130, 170, 230};
  for (int x = 0; x < 4; ++x) glyph.Canvas().SetPixels(x, 0, colours[x]);
  TBitmap copy;
  copy.Assign(&glyph);
  TMainMenuXP::GrayOutBitmap(&copy);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(copy.PixelColor(x, 0), RGB(greys[x], greys[x], greys[x])) << x;

  // A disabled item with a picture: the picture drawn 16 wide in light greys.
  TBitmap picture;
  picture.SetPixelFormat(pf24bit);
  picture.SetSize(16, 16);
  picture.Canvas().Brush().SetColor(RGB(0, 0, 150));
  picture.Canvas().FillRect(Rect(0, 0, 16, 16));
  off->SetBitmap(&picture);
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(200, 22);
  menu->DrawMenuItem(off, &b.Canvas(), Rect(0, 0, 200, 22), TOwnerDrawState(odDisabled));
  EXPECT_EQ(b.PixelColor(2, 2), RGB(120, 120, 120));
  EXPECT_EQ(b.PixelColor(17, 21), RGB(120, 120, 120));
  EXPECT_EQ(b.PixelColor(18, 10), TColor(0xC0C0C0));
  // From an image list the item takes its picture first.
  auto* images = new TImageList(form.get());
  picture.Canvas().Brush().SetColor(RGB(30, 30, 30));
  picture.Canvas().FillRect(Rect(0, 0, 16, 16));
  images->Add(&picture);
  menu->SetImages(images);
  off->SetImageIndex(0);
  menu->DrawMenuItem(off, &b.Canvas(), Rect(0, 0, 200, 22), TOwnerDrawState(odDisabled));
  EXPECT_EQ(b.PixelColor(8, 8), RGB(100, 100, 100));
}
