// The fade transition control: its properties, the seven pixel orders, the frames of
// dissolves and blends (start, middle and end frames against pictures made and blended by
// ImageMagick and against plain arithmetic), the run back, and runs whose control is
// resized, changed, started again or freed while messages are handled between frames, or
// that are too small for their dissolve rate. These also run under the sanitizers.

#include <algorithm>

#include "ControlsTestSupport.h"
#include "TestSupport.h"
#include "controls/ZephFade.h"
#include "platform/gui/ExtCtrls.h"

namespace {

// A fade control that reports each frame it paints while a run goes on.
class RecordingFade : public TZephFade {
 public:
  using TZephFade::TZephFade;
  std::function<void()> OnFrame;

 protected:
  void Paint() override {
    TZephFade::Paint();
    if (Running() && OnFrame) OnFrame();
  }
};

// Pixels of the shown bitmap equal to the target bitmap's.
int TargetPixels(const TZephFade& f) {
  int n = 0;
  const TBitmap& s = f.ShownBitmap();
  const TBitmap& t = f.TargetBitmap();
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) n += s.PixelColor(x, y) == t.PixelColor(x, y);
  return n;
}

// The control's pixel (x, y) against a raster decoded by ImageMagick.
TColor RasterColor(const testsupport::Raster& r, int x, int y) {
  return RGB(uint8_t(r.at(x, y, 0)), uint8_t(r.at(x, y, 1)), uint8_t(r.at(x, y, 2)));
}

struct FadeTest : FormTest {
  RecordingFade* NewFade(int w, int h) {
    auto* f = new RecordingFade(form.get());
    f->SetParent(form.get());
    f->SetBounds(0, 0, w, h);
    f->SetMsecPerFrame(0);
    f->SetSwapDelay(0);
    return f;
  }
  // A picture made by ImageMagick, as a 24-bit BMP, and its raster as ImageMagick reads it.
  bool MakePicture(const std::string& name, const std::string& source, int w, int h, TPicture& picture,
                   testsupport::Raster& raster) {
    if (testsupport::ToolPath("convert").empty()) return false;
    const std::string path = testsupport::TempPath(name + ".bmp");
    const auto made = testsupport::Run({"convert", "-size", std::to_string(w) + "x" + std::to_string(h), "-seed",
                                        "3", source, "-type", "TrueColor", "BMP3:" + path});
    if (made.exitCode != 0) return false;
    picture.LoadFromFile(path);
    raster = testsupport::ImageMagickRaster(path);
    return true;
  }
  // A control of w x h fading between two pictures made by ImageMagick (nullptr without it).
  RecordingFade* PictureFade(int w, int h, const std::string& fromSource, const std::string& toSource) {
    if (!MakePicture("from", fromSource, w, h, from, a) || !MakePicture("to", toSource, w, h, to, b)) return nullptr;
    auto* f = NewFade(w, h);
    f->SetPicFrom(&from);
    f->SetPicTo(&to);
    return f;
  }
  TPicture from, to;
  testsupport::Raster a, b;
};

}  // namespace

TEST_F(FadeTest, PropertiesKeepTheirRanges) {
  auto* f = NewFade(75, 75);
  f->SetFromSide(7);
  EXPECT_EQ(f->FromSide(), 0);
  f->SetFromSide(-1);
  EXPECT_EQ(f->FromSide(), 0);
  f->SetFromSide(6);
  EXPECT_EQ(f->FromSide(), 6);
  f->SetDisolvRate(0);
  EXPECT_EQ(f->DisolvRate(), 1);
  f->SetDisolvRate(100000);
  EXPECT_EQ(f->DisolvRate(), 75 * 75);
  f->SetBlendRate(0);
  EXPECT_EQ(f->BlendRate(), 1);
  // Rendering: plain colours where no picture covers the images.
  int resets = 0;
  f->OnReset = [&](TObject*) { ++resets; };
  f->SetColorFrom(clRed);
  f->SetColorFrom(clRed);
  EXPECT_EQ(resets, 1) << "an unchanged colour renders nothing";
  EXPECT_EQ(f->ShownBitmap().PixelColor(74, 74), clRed);
  EXPECT_EQ(f->TargetBitmap().PixelColor(0, 0), clWhite);
}

TEST_F(FadeTest, PixelOrders) {
  auto* f = NewFade(5, 3);
  f->PrepareFadeBitmaps();
  auto columns = [&] {
    std::vector<int> out;
    for (const auto& p : f->PixelOrder())
      if (out.empty() || out.back() != p.Col) out.push_back(p.Col);
    return out;
  };
  auto rows = [&] {
    std::vector<int> out;
    for (const auto& p : f->PixelOrder())
      if (out.empty() || out.back() != p.Row) out.push_back(p.Row);
    return out;
  };
  f->SetFromSide(1);
  f->BuildPixelOrder();
  EXPECT_EQ(columns(), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(f->PixelOrder()[1].Row, 1) << "each column from the top row down";
  f->SetFromSide(2);
  f->BuildPixelOrder();
  EXPECT_EQ(columns(), (std::vector<int>{4, 3, 2, 1, 0}));
  f->SetFromSide(3);
  f->BuildPixelOrder();
  EXPECT_EQ(rows(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(f->PixelOrder()[1].Col, 1);
  f->SetFromSide(4);
  f->BuildPixelOrder();
  EXPECT_EQ(rows(), (std::vector<int>{2, 1, 0}));
  f->SetFromSide(5);
  f->BuildPixelOrder();
  EXPECT_EQ(columns(), (std::vector<int>{0, 4, 1, 3, 2}));
  EXPECT_EQ(f->PixelOrder().size(), 15u) << "the middle column once";
  f->SetBounds(0, 0, 3, 5);
  f->SetFromSide(6);
  f->BuildPixelOrder();
  EXPECT_EQ(rows(), (std::vector<int>{0, 4, 1, 3, 2}));
  EXPECT_EQ(f->PixelOrder().size(), 15u);
  // Random: every pixel once.
  f->SetBounds(0, 0, 40, 30);
  f->SetFromSide(0);
  f->BuildPixelOrder();
  std::set<std::pair<int, int>> seen;
  for (const auto& p : f->PixelOrder()) seen.insert({p.Row, p.Col});
  EXPECT_EQ(f->PixelOrder().size(), 1200u);
  EXPECT_EQ(seen.size(), 1200u);
  EXPECT_EQ(seen.begin()->first, 0);
  EXPECT_EQ(seen.rbegin()->first, 29);
}

TEST_F(FadeTest, DissolveFramesCopyTheirSliceAndEndOnTheTarget) {
  auto* f = NewFade(75, 75);
  ShowForm();
  std::vector<int> counts;
  f->OnFrame = [&] { counts.push_back(TargetPixels(*f)); };
  int begins = 0, ends = 0;
  f->OnBegin = [&](TObject*) {
    ++begins;
    EXPECT_EQ(TargetPixels(*f), 0) << "the start image is rendered before OnBegin";
  };
  f->OnEnd = [&](TObject*) { ++ends; };
  f->SetFromSide(3);
  f->RunDissolve();
  ASSERT_EQ(counts.size(), 126u) << "125 frames and the final paint";
  for (int i = 0; i < 125; ++i) EXPECT_EQ(counts[i], 45 * (i + 1)) << i;
  EXPECT_EQ(counts.back(), 5625);
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(ends, 1);
  EXPECT_TRUE(f->PixelOrder().empty()) << "the order is freed";
  // 20 frames of 281 pixels, then the last 5 without a frame of their own.
  counts.clear();
  f->SetDisolvRate(20);
  f->SetFromSide(0);
  f->RunDissolve();
  ASSERT_EQ(counts.size(), 21u);
  EXPECT_EQ(counts[0], 281);
  EXPECT_EQ(counts[19], 281 * 20);
  EXPECT_EQ(counts[20], 5625);
}

TEST_F(FadeTest, BlendWeightsRiseFromZeroTo32) {
  auto* f = NewFade(8, 4);
  ShowForm();
  std::vector<int> weights;
  // Black to white: each byte is (255 x w) shr 5, which tells w.
  f->OnFrame = [&] {
    const int v = GetRValue(f->ShownBitmap().PixelColor(3, 2));
    int w = 0;
    while (w < 32 && (255 * w) >> 5 != v) ++w;
    weights.push_back(w);
  };
  f->SetBlendRate(25);
  f->RunBlend();
  EXPECT_EQ(weights, (std::vector<int>{0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 14, 15, 16, 17, 19, 20, 21, 23, 24,
                                       25, 26, 28, 29, 30, 32}));
  weights.clear();
  f->SetBlendRate(32);
  f->RunBlend();
  ASSERT_EQ(weights.size(), 33u);
  for (int i = 0; i <= 32; ++i) EXPECT_EQ(weights[i], i);
}

TEST_F(FadeTest, BlendFramesMatchImageMagicksBlendAndPlainArithmetic) {
  const int w = 64, h = 48;
  auto* f = PictureFade(w, h, "plasma:red-blue", "gradient:yellow-navy");
  if (!f) GTEST_SKIP() << "ImageMagick missing";
  f->PrepareFadeBitmaps();
  f->StartBlend();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(f->ShownBitmap().PixelColor(x, y), RasterColor(a, x, y)) << "start";
  const std::string mid = testsupport::TempPath("mid.ppm");
  ASSERT_EQ(testsupport::Run({"composite", "-blend", "50", testsupport::TempPath("to.bmp"),
                              testsupport::TempPath("from.bmp"), "-depth", "8", mid})
                .exitCode,
            0);
  const testsupport::Raster m = testsupport::ImageMagickRaster(mid);
  for (int weight : {8, 16, 32}) {
    f->BlendScanlines(weight);
    int off = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const TColor got = f->ShownBitmap().PixelColor(x, y);
        for (int c = 0; c < 3; ++c) {
          const int pa = a.at(x, y, c), pb = b.at(x, y, c);
          const int channel = c == 0 ? GetRValue(got) : c == 1 ? GetGValue(got) : GetBValue(got);
          ASSERT_EQ(channel, (pa * (32 - weight) + pb * weight) >> 5) << x << "," << y << " weight " << weight;
          // Half way: ImageMagick rounds where the blend truncates.
          if (weight == 16) off = std::max(off, std::abs(channel - int(m.at(x, y, c))));
        }
      }
    if (weight == 16) {
      EXPECT_LE(off, 1);
    }
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(f->ShownBitmap().PixelColor(x, y), RasterColor(b, x, y)) << "end";
  // Weight 0 writes nothing.
  f->BlendScanlines(0);
  EXPECT_EQ(f->ShownBitmap().PixelColor(5, 5), RasterColor(b, 5, 5));
}

TEST_F(FadeTest, DissolveFramesAreTheTargetsPixelsInOrder) {
  const int w = 40, h = 30;
  auto* f = PictureFade(w, h, "plasma:green-white", "plasma:black-orange");
  if (!f) GTEST_SKIP() << "ImageMagick missing";
  ShowForm();
  f->SetFromSide(4);  // rows from the bottom
  f->SetDisolvRate(30);
  int frame = 0;
  f->OnFrame = [&] {
    if (++frame != 15) return;
    // After 15 frames of 40 pixels: the 15 bottom rows are the target's, the rest the start's.
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(f->ShownBitmap().PixelColor(x, y), RasterColor(y >= h - 15 ? b : a, x, y)) << x << "," << y;
  };
  f->RunDissolve();
  EXPECT_EQ(frame, 31);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(f->ShownBitmap().PixelColor(x, y), RasterColor(b, x, y));
}

TEST_F(FadeTest, AutoReverseRunsBackWithTheOtherEffectAndEndsOnTheStart) {
  auto* f = NewFade(20, 10);
  ShowForm();
  f->SetColorFrom(clNavy);
  f->SetColorTo(clYellow);
  f->SetAutoReverse(true);
  int begins = 0, ends = 0, partial = 0;
  f->OnBegin = [&](TObject*) { ++begins; };
  f->OnEnd = [&](TObject*) {
    ++ends;
    EXPECT_EQ(f->ShownBitmap().PixelColor(3, 3), clNavy);
  };
  // A blended frame has a colour of neither side: the run back of a dissolve is a blend.
  f->OnFrame = [&] {
    const TColor c = f->ShownBitmap().PixelColor(3, 3);
    partial += c != clNavy && c != clYellow;
  };
  f->SetDisolvRate(4);
  f->RunDissolve();
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(ends, 1);
  EXPECT_GT(partial, 20);
  EXPECT_EQ(f->ColorFrom(), clNavy) << "the sides are given back";
  EXPECT_EQ(f->ColorTo(), clYellow);
  EXPECT_EQ(f->TargetBitmap().PixelColor(0, 0), clYellow);
  // Without the swap a dissolve runs back as a dissolve: no blended colours.
  partial = 0;
  f->SetSwapOnReverse(false);
  f->RunDissolve();
  EXPECT_EQ(partial, 0);
  EXPECT_EQ(f->ShownBitmap().PixelColor(3, 3), clNavy);
}

TEST_F(FadeTest, WithoutStretchingTheControlTakesThePicturesSize) {
  auto* f = NewFade(75, 75);
  TPicture pic;
  TBitmap* bmp = pic.Bitmap();
  bmp->SetPixelFormat(pf24bit);
  bmp->SetSize(30, 20);
  bmp->Canvas().Brush().SetColor(clGreen);
  bmp->Canvas().FillRect(Rect(0, 0, 30, 20));
  f->SetStretchToFit(false);
  f->SetPicFrom(&pic);
  EXPECT_EQ(f->Width(), 30);
  EXPECT_EQ(f->Height(), 20);
  EXPECT_EQ(f->ShownBitmap().PixelColor(29, 19), clGreen);
  EXPECT_EQ(f->TargetBitmap().Width(), 30);
  EXPECT_EQ(f->TargetBitmap().PixelColor(10, 10), clWhite) << "a plain ColorTo area";
}

// A run that handles messages between frames while handlers resize the control, change
// its pictures and colours and start other runs: the run keeps its own images, the second
// run does nothing, and the changes take effect when the run is over.
TEST_F(FadeTest, ChangesDuringARunWaitForItsEnd) {
  auto* f = NewFade(60, 40);
  ShowForm();
  f->SetProcessMsgs(true);
  f->SetMsecPerFrame(4);
  f->SetFromSide(0);
  TPicture big;
  big.Bitmap()->SetPixelFormat(pf24bit);
  big.Bitmap()->SetSize(300, 200);
  big.Bitmap()->Canvas().Brush().SetColor(clAqua);
  big.Bitmap()->Canvas().FillRect(Rect(0, 0, 300, 200));
  int begins = 0, ends = 0, ticks = 0;
  f->OnBegin = [&](TObject*) { ++begins; };
  f->OnEnd = [&](TObject*) { ++ends; };
  TTimer timer(nullptr);
  timer.SetInterval(3);
  timer.OnTimer = [&](TObject*) {
    switch (ticks++ % 6) {
      case 0: f->SetBounds(0, 0, 5, 3); break;
      case 1: f->SetBounds(0, 0, 400, 300); break;
      case 2: f->SetPicTo(&big); break;
      case 3: f->SetColorFrom(TColor(0x102030 + ticks)); break;
      case 4:
        f->RunBlend();
        f->RunDissolve();
        break;
      case 5: f->SetStretchToFit(!f->StretchToFit()); break;
    }
  };
  timer.SetEnabled(true);
  f->RunDissolve();
  timer.SetEnabled(false);
  EXPECT_GT(ticks, 6) << "the handlers ran during the run";
  EXPECT_EQ(begins, 1) << "runs started during a run do nothing";
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(f->Running());
  // Rendered again afresh after the run, at the control's size now, showing the target.
  EXPECT_EQ(f->ShownBitmap().Width(), f->Width());
  EXPECT_EQ(f->ShownBitmap().Height(), f->Height());
  EXPECT_EQ(TargetPixels(*f), f->Width() * f->Height());
  // And the same for a blend with its run back.
  f->SetAutoReverse(true);
  f->SetStretchToFit(true);
  ticks = 0;
  timer.SetEnabled(true);
  f->RunBlend();
  timer.SetEnabled(false);
  EXPECT_EQ(begins, 2);
  EXPECT_EQ(ends, 2);
  EXPECT_EQ(f->ShownBitmap().Width(), f->Width());
}

TEST_F(FadeTest, AControlFreedDuringARunStopsItCleanly) {
  for (bool blend : {false, true}) {
    auto* f = NewFade(80, 60);
    ShowForm();
    f->SetProcessMsgs(true);
    f->SetMsecPerFrame(5);
    int ends = 0;
    f->OnEnd = [&](TObject*) { ++ends; };
    TTimer timer(nullptr);
    timer.SetInterval(20);
    timer.OnTimer = [&](TObject*) {
      timer.SetEnabled(false);
      delete f;
    };
    timer.SetEnabled(true);
    if (blend)
      f->RunBlend();
    else
      f->RunDissolve();
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(form->ComponentCount(), 0) << "the control is gone";
  }
}

TEST_F(FadeTest, SmallControlsFadeWhateverTheirDissolveRate) {
  auto* f = NewFade(75, 75);
  ShowForm();
  f->SetDisolvRate(125);
  for (TSize size : {TSize{1, 1}, TSize{2, 1}, TSize{10, 10}, TSize{0, 0}, TSize{0, 5}}) {
    f->SetBounds(0, 0, size.cx, size.cy);
    int ends = 0;
    f->OnEnd = [&](TObject*) { ++ends; };
    for (int side = 0; side <= 6; ++side) {
      f->SetFromSide(side);
      EXPECT_NO_THROW(f->RunDissolve()) << size.cx << "x" << size.cy;
      EXPECT_EQ(TargetPixels(*f), size.cx * size.cy);
    }
    EXPECT_NO_THROW(f->RunBlend());
    EXPECT_EQ(ends, 8);
  }
}
