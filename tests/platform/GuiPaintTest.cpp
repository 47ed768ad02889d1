// Painting: self-painting controls through their canvas, images (with pictures made by
// ImageMagick), paint boxes, gauges, panels, labels, image lists and disabled controls
// of every kind, checked pixel by pixel on the rendered window.

#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/CheckLst.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Gauges.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdCtrls.h"

namespace {

using Paint = GuiTest;

TColor At(const TBitmap& b, int x, int y) { return b.PixelColor(x, y) & 0xFFFFFF; }

struct Canvas : Host {
  Canvas() : Host(200, 150) { form->SetColor(clWhite); }
  // Shows the form and renders it (the form's client area starts at the top: no menu).
  void Shot(TBitmap& b) {
    form->Show();
    GuiTesting::ProcessEvents();
    EXPECT_TRUE(GuiTesting::Grab(form.get(), b));
  }
};

class Swatch : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  TColor fill = clRed;
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    Canvas()->Brush().SetColor(fill);
    Canvas()->FillRect(ClientRect());
    Canvas()->Pen().SetColor(clBlack);
    Canvas()->MoveTo(0, 0);
    Canvas()->LineTo(Width(), 0);
  }
};

TEST_F(Paint, ACustomControlPaintsItselfThroughItsCanvas) {
  Canvas c;
  auto* swatch = c.Add<Swatch>(20, 30, 40, 20);
  TBitmap shot;
  c.Shot(shot);
  EXPECT_GT(swatch->paints, 0);
  EXPECT_EQ(At(shot, 30, 40), clRed);
  EXPECT_EQ(At(shot, 30, 30), clBlack);
  EXPECT_EQ(At(shot, 61, 40), clWhite);
  // Repaint paints at once with the new state.
  swatch->fill = clBlue;
  swatch->Repaint();
  TBitmap again;
  ASSERT_TRUE(GuiTesting::Grab(c.form.get(), again));
  EXPECT_EQ(At(again, 30, 40), clBlue);
}

TEST_F(Paint, PaintBoxAndFormOnPaint) {
  Canvas c;
  auto* box = c.Add<TPaintBox>(100, 10, 50, 50);
  box->OnPaint = [box](TObject*) {
    box->Canvas()->Brush().SetColor(clLime);
    box->Canvas()->FillRect(Rect(0, 0, 25, 50));
  };
  c.form->OnPaint = [&](TObject*) {
    c.form->Canvas()->Brush().SetColor(clNavy);
    c.form->Canvas()->FillRect(Rect(0, 100, 10, 110));
  };
  TBitmap shot;
  c.Shot(shot);
  EXPECT_EQ(At(shot, 110, 30), clLime);
  EXPECT_EQ(At(shot, 130, 30), clWhite);  // the paint box is transparent where it draws nothing
  EXPECT_EQ(At(shot, 5, 105), clNavy);
}

TEST_F(Paint, ImageShowsAPictureMadeByImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  // Four quadrants of 4x4 pixels: red, lime / blue, yellow.
  const std::string file = testsupport::TempPath("quad.bmp");
  auto r = testsupport::Run({"convert", "-size", "4x4", "xc:#FF0000", "-size", "4x4", "xc:#00FF00", "+append", "(",
                             "-size", "4x4", "xc:#0000FF", "-size", "4x4", "xc:#FFFF00", "+append", ")", "-append",
                             "-type", "TrueColor", "BMP3:" + file});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  testsupport::Raster expected = testsupport::ImageMagickRaster(file);
  Canvas c;
  auto* image = c.Add<TImage>(0, 0, 80, 40);
  image->SetAutoSize(true);
  image->Picture()->LoadFromFile(file);
  EXPECT_EQ(image->Width(), 8);  // AutoSize took the picture's size
  image->SetAutoSize(false);
  image->SetBounds(0, 0, 80, 40);
  image->SetStretch(true);
  TBitmap shot;
  c.Shot(shot);
  auto rgb = [&](int x, int y) {
    return RGB(uint8_t(expected.at(x, y, 0)), uint8_t(expected.at(x, y, 1)), uint8_t(expected.at(x, y, 2)));
  };
  // Stretched to 80x40: each source pixel covers 10x5 screen pixels.
  EXPECT_EQ(At(shot, 15, 8), rgb(1, 1));
  EXPECT_EQ(At(shot, 65, 8), rgb(6, 1));
  EXPECT_EQ(At(shot, 15, 32), rgb(1, 6));
  EXPECT_EQ(At(shot, 65, 32), rgb(6, 6));
  // Proportional and centred: 40x40 in the middle of 80x40.
  image->SetProportional(true);
  image->SetCenter(true);
  EXPECT_EQ(image->DestRect(), Rect(20, 0, 60, 40));
  ASSERT_TRUE(GuiTesting::Grab(c.form.get(), shot));
  EXPECT_EQ(At(shot, 10, 10), clWhite);
  EXPECT_EQ(At(shot, 25, 10), rgb(0, 0));

  // A picture wider than 32,768 pixels (40000 x 1, every column its own colour, with alpha
  // so that it has 32 bits a pixel) shown at half its width, its right end in the form:
  // each pixel on the screen shows one of the two columns under it.
  const std::string wide = testsupport::TempPath("wide.bmp");
  r = testsupport::Run({"convert", "-size", "40000x1", "xc:", "-channel", "R", "-fx", "(i%256)/255", "-channel", "G",
                        "-fx", "floor(i/256)/255", "+channel", "-alpha", "set", wide});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  expected = testsupport::ImageMagickRaster(wide);
  image->SetProportional(false);
  image->SetBounds(200 - 20000, 0, 20000, 1);
  image->Picture()->LoadFromFile(wide);
  ASSERT_TRUE(GuiTesting::Grab(c.form.get(), shot));
  int wrong = 0;
  for (int x = 0, column = 39600; x < 200; ++x, column += 2)
    wrong += At(shot, x, 0) != rgb(column, 0) && At(shot, x, 0) != rgb(column + 1, 0);
  EXPECT_EQ(wrong, 0) << "at the right end " << std::hex << At(shot, 199, 0) << " instead of " << rgb(39999, 0);
}

TEST_F(Paint, DrawingOnAnImageMakesItsPictureABitmapAndRepaints) {
  Canvas c;
  auto* image = c.Add<TImage>(10, 10, 30, 20);
  TBitmap first;
  c.Shot(first);
  TCanvas* canvas = image->Canvas();
  auto* bitmap = dynamic_cast<TBitmap*>(image->Picture()->Graphic());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), 30);
  EXPECT_EQ(bitmap->Height(), 20);
  canvas->Brush().SetColor(clFuchsia);
  canvas->FillRect(Rect(0, 0, 30, 20));
  GuiTesting::ProcessEvents();
  TBitmap shot;
  ASSERT_TRUE(GuiTesting::Grab(c.form.get(), shot));
  EXPECT_EQ(At(shot, 20, 20), clFuchsia);
  // A picture of another kind cannot be drawn on.
  TIcon icon;
  image->Picture()->SetGraphic(&icon);
  EXPECT_THROW(image->Canvas(), EInvalidOperation);
}

TEST_F(Paint, GaugeFillsItsPercentage) {
  Canvas c;
  auto* gauge = c.Add<TGauge>(0, 0, 102, 20);
  gauge->SetShowText(false);
  gauge->SetForeColor(clRed);
  gauge->SetBackColor(clWhite);
  gauge->SetMinValue(10);
  gauge->SetMaxValue(30);
  gauge->SetProgress(20);
  EXPECT_EQ(gauge->PercentDone(), 50);
  TBitmap shot;
  c.Shot(shot);
  EXPECT_EQ(At(shot, 10, 10), clRed);
  EXPECT_EQ(At(shot, 49, 10), clRed);
  EXPECT_EQ(At(shot, 53, 10), clWhite);
  gauge->SetProgress(99);  // kept in range
  EXPECT_EQ(gauge->Progress(), 30);
  gauge->SetMaxValue(10);
  EXPECT_EQ(gauge->PercentDone(), 0);
}

TEST_F(Paint, PanelBevelsAndCaption) {
  Canvas c;
  auto* panel = c.Add<TPanel>(0, 0, 100, 40);
  panel->SetColor(clYellow);
  panel->SetBevelOuter(bvLowered);
  TBitmap shot;
  c.Shot(shot);
  EXPECT_EQ(At(shot, 50, 0), ColorToRGB(clBtnShadow) & 0xFFFFFF);
  EXPECT_EQ(At(shot, 50, 39), ColorToRGB(clBtnHighlight) & 0xFFFFFF);
  EXPECT_EQ(At(shot, 5, 5), clYellow);
  // The caption is drawn in the middle: some pixels there are not yellow.
  panel->SetCaption("MMMM");
  panel->Repaint();
  ASSERT_TRUE(GuiTesting::Grab(c.form.get(), shot));
  int ink = 0;
  for (int x = 35; x < 65; ++x)
    for (int y = 14; y < 26; ++y) ink += At(shot, x, y) != clYellow;
  EXPECT_GT(ink, 10);
}

TEST_F(Paint, LabelsSizeToTheirTextAndStripAccelerators) {
  Canvas c;
  auto* label = c.Add<TLabel>();
  label->SetCaption("&Name");
  int w1 = label->Width();
  label->SetCaption("Name");
  EXPECT_EQ(label->Width(), w1);  // "&" is not shown
  label->SetCaption("A much longer name");
  EXPECT_GT(label->Width(), w1);
  const int right = label->Left() + label->Width();
  label->SetAlignment(taRightJustify);
  label->SetCaption("Short");
  EXPECT_EQ(label->Left() + label->Width(), right);  // right-aligned labels keep their right edge
  label->SetAutoSize(false);
  label->SetBounds(0, 0, 10, 10);
  label->SetCaption("Longer again");
  EXPECT_EQ(label->Width(), 10);
  auto* wrap = c.Add<TLabel>();
  wrap->SetWidth(40);
  wrap->SetWordWrap(true);
  wrap->SetCaption("several words that wrap");
  EXPECT_EQ(wrap->Width(), 40);
  EXPECT_GT(wrap->Height(), label->Font()->Size());
}

TEST_F(Paint, ImageListCutsStripsAndDrawsTransparently) {
  TImageList list(nullptr);
  list.SetWidth(4);
  list.SetHeight(4);
  TBitmap strip;
  strip.SetPixelFormat(pf24bit);
  strip.SetSize(12, 4);
  strip.Canvas().Brush().SetColor(clFuchsia);  // the mask colour
  strip.Canvas().FillRect(Rect(0, 0, 12, 4));
  strip.Canvas().Brush().SetColor(clRed);
  strip.Canvas().FillRect(Rect(1, 1, 3, 3));
  strip.Canvas().Brush().SetColor(clBlue);
  strip.Canvas().FillRect(Rect(4, 0, 8, 4));
  EXPECT_EQ(list.AddMasked(&strip, clFuchsia), 0);
  EXPECT_EQ(list.Count(), 3);
  Canvas c;
  auto* box = c.Add<TPaintBox>(0, 0, 20, 20);
  box->OnPaint = [&](TObject*) {
    list.Draw(box->Canvas(), 0, 0, 0);
    list.Draw(box->Canvas(), 10, 0, 1);
  };
  TBitmap shot;
  c.Shot(shot);
  EXPECT_EQ(At(shot, 1, 1), clRed);
  EXPECT_EQ(At(shot, 0, 0), clWhite);  // the fuchsia border is transparent
  EXPECT_EQ(At(shot, 12, 2), clBlue);
  TBitmap single;
  list.SetBkColor(clGreen);
  list.GetBitmap(0, &single);
  EXPECT_EQ(single.Width(), 4);
  EXPECT_EQ(single.PixelColor(0, 0) & 0xFFFFFF, clGreen);
  EXPECT_EQ(single.PixelColor(1, 2) & 0xFFFFFF, clRed);
  list.Delete(1);
  EXPECT_EQ(list.Count(), 2);
}

TEST_F(Paint, OwnerDrawnMenusDrawAndMeasureThroughTheirItems) {
  Canvas c;
  auto* menu = new TMainMenu(c.form.get());
  auto* top = new TMenuItem(c.form.get());
  top->SetCaption("&File");
  auto* open = new TMenuItem(c.form.get());
  open->SetCaption("&Open");
  top->Add(open);
  menu->Items()->Add(top);
  c.form->SetMenu(menu);
  TBitmap plain;
  c.Shot(plain);
  const TRect plainRect = GuiTesting::MenuItemRect(open);
  ASSERT_FALSE(plainRect.IsEmpty());

  menu->SetOwnerDraw(true);
  std::vector<TOwnerDrawState> states;
  top->OnAdvancedDrawItem = [&](TObject*, TCanvas* canvas, const TRect& r, TOwnerDrawState state) {
    states.push_back(state);
    canvas->Brush().SetColor(clRed);
    canvas->FillRect(r);
  };
  open->OnMeasureItem = [](TObject*, TCanvas*, int& width, int&) { width += 40; };
  open->OnAdvancedDrawItem = [](TObject*, TCanvas* canvas, const TRect& r, TOwnerDrawState) {
    canvas->Brush().SetColor(clBlue);
    canvas->FillRect(r);
  };
  top->SetCaption("&File");  // a change lays the bar out again
  c.form->Repaint();
  TBitmap shot;
  ASSERT_TRUE(GuiTesting::Grab(c.form.get(), shot));
  const TRect topRect = GuiTesting::MenuItemRect(top);
  ASSERT_FALSE(topRect.IsEmpty());
  EXPECT_EQ(At(shot, topRect.Left + 2, topRect.Top + 2), clRed);
  ASSERT_FALSE(states.empty());
  EXPECT_FALSE(states.back().Contains(odSelected));
  const TRect ownRect = GuiTesting::MenuItemRect(open);
  EXPECT_EQ(ownRect.Width(), plainRect.Width() + 40);
  TBitmap dropDown;
  ASSERT_TRUE(GuiTesting::GrabMenu(top, dropDown));
  EXPECT_EQ(At(dropDown, ownRect.Left + 5, ownRect.Top + 2), clBlue);
  // A menu that is not owner-drawn ignores the handlers.
  menu->SetOwnerDraw(false);
  TBitmap native;
  ASSERT_TRUE(GuiTesting::GrabMenu(top, native));
  EXPECT_NE(At(native, ownRect.Left + 5, ownRect.Top + 2), clBlue);
}

// A disabled control of each kind is drawn greyed, on the grey and on the white list
// colour: nothing of it is darker than mid grey, and it is lighter than when enabled.
class DisabledControls : public GuiTest, public ::testing::WithParamInterface<TColor> {};

TEST_P(DisabledControls, AreDrawnGreyed) {
  Host h(620, 330);
  h.form->SetColor(GetParam());
  auto* group = h.Add<TRadioGroup>();
  auto* list = h.Add<TListBox>();
  auto* checks = h.Add<TCheckListBox>();
  auto* spin = h.Add<TSpinEdit>();
  auto* tree = h.Add<TTreeView>();
  auto* pages = h.Add<TPageControl>();
  auto* track = h.Add<TTrackBar>();
  auto* colours = h.Add<TColorBox>();
  std::vector<TControl*> all{h.Add<TLabel>(), h.Add<TStaticText>(), h.Add<TEdit>(), h.Add<TMemo>(), h.Add<TButton>(),
                             h.Add<TCheckBox>(), h.Add<TRadioButton>(), h.Add<TGroupBox>(), h.Add<TComboBox>(),
                             group, list, checks, spin, tree, pages, track, colours};
  for (size_t i = 0; i < all.size(); ++i) {
    all[i]->SetBounds(int(i % 4) * 155 + 4, int(i / 4) * 55 + 4, 140, 50);
    all[i]->SetText("Find words");
  }
  for (TStrings* items : {group->Items(), list->Items(), checks->Items()}) items->Add("Find words");
  group->SetItemIndex(0);
  spin->SetValue(42);
  track->SetPosition(5);
  colours->SetSelected(clBlack);
  tree->Items()->Add(nullptr, "Find words");
  auto* sheet = new TTabSheet(h.form.get());
  sheet->SetCaption("Find words");
  sheet->SetPageControl(pages);
  h.form->Show();
  auto darkest = [](TControl* c) {
    TBitmap b;
    EXPECT_TRUE(GuiTesting::Grab(c, b));
    int grey = 255;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) {
        const TColor p = At(b, x, y);
        grey = std::min(grey, (GetRValue(p) * 299 + GetGValue(p) * 587 + GetBValue(p) * 114) / 1000);
      }
    return grey;
  };
  for (TControl* c : all) {
    SCOPED_TRACE(typeid(*c).name());
    GuiTesting::ProcessEvents();
    const int enabled = darkest(c);
    c->SetEnabled(false);
    GuiTesting::ProcessEvents();
    const int disabled = darkest(c);
    EXPECT_GE(disabled, 90);
    EXPECT_GT(disabled, enabled);
  }
}
INSTANTIATE_TEST_SUITE_P(Paint, DisabledControls, ::testing::Values(clBtnFace, clWindow),
                         [](const auto& i) { return std::string(i.param == clWindow ? "WindowColours" : "GreyLists"); });

}  // namespace
