// The animation painter: frame order, delays and loops with a clock of the test's own;
// stopping, restarting and freeing an animation while its painter runs (these run under
// the sanitizers too); and drawing an animated image into a canvas->

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "GifTestSupport.h"

using namespace giftest;

namespace {

// A clock that only moves when a painter waits.
class FakeClock : public TGIFPainterClock {
 public:
  FakeClock() { SetGIFPainterClock(this); }
  ~FakeClock() override { SetGIFPainterClock(nullptr); }
  uint32_t Now() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return now_;
  }
  TWaitResult Wait(TEvent& wake, unsigned ms) override {
    if (ms == INFINITE) {
      record(ms);
      return wake.WaitFor(INFINITE);
    }
    if (wake.WaitFor(0) == wrSignaled) return wrSignaled;
    record(ms);
    return wrTimeout;
  }
  void Sleep(unsigned ms) override { record(ms); }
  std::vector<unsigned> Waits() {
    std::lock_guard<std::mutex> lock(mutex_);
    return waits_;
  }

 private:
  void record(unsigned ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    waits_.push_back(ms);
    if (ms != INFINITE) now_ += ms;
  }
  std::mutex mutex_;
  uint32_t now_ = 1000;
  std::vector<unsigned> waits_;
};

// An image of frames with the given delays (hundredths); a loop extension with `loops`
// in frame 0 when loops >= 0.
std::unique_ptr<TGIFImage> Animation(const std::vector<int>& delays, int loops = -1, int width = 8, int height = 6) {
  GifWriter w(width, height);
  if (loops >= 0) w.Loop(loops);
  for (size_t i = 0; i < delays.size(); ++i) {
    w.GraphicControl(1, delays[i]);
    w.Descriptor(0, 0, width, height);
    w.Pixels(2, Bytes(size_t(width) * height, uint8_t(i % 4)));
  }
  w.Trailer();
  return LoadGif(w.bytes());
}

struct Recorder {
  std::vector<int> frames;
  std::vector<uint32_t> times;
  int loops = 0, starts = 0, ends = 0;
  void Attach(TGIFImage& gif, TGIFPainterClock& clock) {
    gif.OnPaint = [this, &clock](TObject* sender) {
      frames.push_back(static_cast<TGIFPainter*>(sender)->ActiveFrame());
      times.push_back(clock.Now());
    };
    gif.OnLoop = [this](TObject*) { ++loops; };
    gif.OnStartPaint = [this](TObject*) { ++starts; };
    gif.OnEndPaint = [this](TObject*) { ++ends; };
  }
};

// Runs the painter's work on this thread until the painter has ended (or `until` says so).
void PumpUntilEnded(TGIFPainter*& painter, const std::function<bool()>& until = nullptr) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (painter && std::chrono::steady_clock::now() < deadline) {
    if (until && until()) return;
    if (!CheckSynchronize()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(painter, nullptr) << "the painter did not end";
}

// Whether another thread can take the image's painter list within two seconds; the
// thread is joined when the probe goes (after the list has been let go).
class ListProbe {
 public:
  bool Try(TGIFImage& gif) {
    if (thread_.joinable()) return false;  // one probe only
    auto state = state_;
    thread_ = std::thread([state, &gif] {
      gif.Painters().Count();
      std::lock_guard<std::mutex> lock(state->mutex);
      state->done = true;
      state->cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->cv.wait_for(lock, std::chrono::seconds(2), [&] { return state_->done; });
  }
  ~ListProbe() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
  std::thread thread_;
};

std::unique_ptr<TBitmap> Canvas(int width, int height) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(width, height);
  return b;
}

}  // namespace

TEST(GifPainter, FramesAndDelaysOfAThreadedPainterLoopingAsTheExtensionSays) {
  FakeClock clock;
  // Delay 1 plays as 3 hundredths, 0 as the default 10.
  std::unique_ptr<TGIFImage> gif = Animation({1, 0, 50, 7}, 2);
  Recorder r;
  r.Attach(*gif, clock);
  std::unique_ptr<TBitmap> target = Canvas(8, 6);
  TGIFPainter* painter = nullptr;
  ASSERT_NE(gif->Paint(target->Canvas(), Rect(0, 0, 8, 6), GIFImageDefaultDrawOptions, &painter), nullptr);
  painter->Start();
  PumpUntilEnded(painter);
  EXPECT_EQ(r.frames, (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3}));
  // 12 ms per hundredth; the first frame comes at once.
  EXPECT_EQ(clock.Waits(), (std::vector<unsigned>{36, 120, 600, 84, 36, 120, 600}));
  EXPECT_EQ(r.loops, 1);
  EXPECT_EQ(r.starts, 1);
  EXPECT_EQ(r.ends, 1);
  // The last frame is what the target shows.
  EXPECT_EQ(target->PixelColor(3, 3), gif->Header().ColorMap().Colors(3));
}

TEST(GifPainter, SpeedHalvesOrHoldsTheDelaysAndBelowZeroNeverWaits) {
  {
    FakeClock clock;
    std::unique_ptr<TGIFImage> gif = Animation({10, 20, 30});
    gif->AnimationSpeed = 200;
    std::unique_ptr<TBitmap> target = Canvas(8, 6);
    TGIFPainter* painter = nullptr;
    gif->Paint(target->Canvas(), Rect(0, 0, 8, 6), GIFImageDefaultDrawOptions, &painter)->Start();
    PumpUntilEnded(painter);
    EXPECT_EQ(clock.Waits(), (std::vector<unsigned>{60, 120}));
  }
  {
    FakeClock clock;
    std::unique_ptr<TGIFImage> gif = Animation({10, 20, 30});
    gif->AnimationSpeed = -5;
    std::unique_ptr<TBitmap> target = Canvas(8, 6);
    TGIFPainter* painter = nullptr;
    Recorder r;
    r.Attach(*gif, clock);
    gif->Paint(target->Canvas(), Rect(0, 0, 8, 6), GIFImageDefaultDrawOptions, &painter)->Start();
    PumpUntilEnded(painter);
    EXPECT_EQ(r.frames, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(clock.Waits().empty());
  }
  {
    // Speed 0 holds a threaded animation at its first frame until it is stopped.
    FakeClock clock;
    std::unique_ptr<TGIFImage> gif = Animation({10, 20, 30});
    gif->AnimationSpeed = 0;
    Recorder r;
    r.Attach(*gif, clock);
    std::unique_ptr<TBitmap> target = Canvas(8, 6);
    TGIFPainter* painter = nullptr;
    gif->Paint(target->Canvas(), Rect(0, 0, 8, 6), GIFImageDefaultDrawOptions, &painter)->Start();
    PumpUntilEnded(painter, [&] { return !clock.Waits().empty(); });
    EXPECT_EQ(r.frames, std::vector<int>{0});
    const auto started = std::chrono::steady_clock::now();
    gif->StopAll();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(painter, nullptr);
    EXPECT_EQ(r.frames, std::vector<int>{0});
  }
}

TEST(GifPainter, UnthreadedPaintersWaitInNapsPlayOnceAndEndAtAnEmptyFrame) {
  FakeClock clock;
  // A loop count of 0 plays an unthreaded animation once; a delay of 2000 is held to
  // 1000 hundredths, 12 seconds at speed 100, slept in naps of at most 100 ms.
  std::unique_ptr<TGIFImage> gif = Animation({2000, 5}, 0);
  Recorder r;
  r.Attach(*gif, clock);
  std::unique_ptr<TBitmap> target = Canvas(8, 6);
  EXPECT_EQ(gif->Paint(target->Canvas(), Rect(0, 0, 8, 6), doAnimate | doLoop | doTransparent), nullptr);
  EXPECT_EQ(r.frames, (std::vector<int>{0, 1}));
  const std::vector<unsigned> naps = clock.Waits();
  unsigned total = 0;
  for (unsigned n : naps) {
    EXPECT_LE(n, 100u);
    total += n;
  }
  // 12 ms before the first frame, then 12 seconds.
  EXPECT_EQ(total, 12u + 12000u);

  // An empty frame ends the pass.
  std::unique_ptr<TGIFImage> gap = Animation({5, 5, 5});
  gap->Images()[1]->FreeImage();
  Recorder g;
  g.Attach(*gap, clock);
  gap->AnimationSpeed = -1;
  gap->Paint(target->Canvas(), Rect(0, 0, 8, 6), doAnimate | doLoop);
  EXPECT_EQ(g.frames, std::vector<int>{0});
}

TEST(GifPainter, ALoopCountOfZeroLoopsAThreadedPainterUntilItIsStopped) {
  FakeClock clock;
  std::unique_ptr<TGIFImage> gif = Animation({5, 5}, 0);
  Recorder r;
  r.Attach(*gif, clock);
  std::unique_ptr<TBitmap> target = Canvas(8, 6);
  TGIFPainter* painter = nullptr;
  gif->Paint(target->Canvas(), Rect(0, 0, 8, 6), GIFImageDefaultDrawOptions, &painter)->Start();
  PumpUntilEnded(painter, [&] { return r.loops >= 5; });
  gif->StopAll();
  EXPECT_EQ(painter, nullptr);
  EXPECT_GE(r.loops, 5);
  // A stopped painter calls no more events, the end event included.
  EXPECT_EQ(r.ends, 0);
}

TEST(GifPainter, DrawShowsTheFirstFrameWithoutHoldingThePainterListWhileItWaits) {
  std::unique_ptr<TGIFImage> gif = Animation({3, 3, 3});
  // Another thread must be able to take the painter list while Draw waits for the first
  // frame on this thread.
  ListProbe probe;
  bool lockFree = false;
  gif->OnStartPaint = [&](TObject*) { lockFree = probe.Try(*gif); };
  std::unique_ptr<TBitmap> canvas = Canvas(16, 12);
  canvas->Canvas().StretchDraw(Rect(0, 0, 16, 12), *gif);
  EXPECT_TRUE(lockFree);
  // The same for an unthreaded animation, which plays inside Draw.
  std::unique_ptr<TGIFImage> inline_ = Animation({1, 1});
  inline_->SetDrawOptions(doAnimate | doTransparent);
  inline_->AnimationSpeed = -1;
  ListProbe inlineProbe;
  bool inlineLockFree = false;
  inline_->OnAfterPaint = [&](TObject*) { inlineLockFree = inlineLockFree || inlineProbe.Try(*inline_); };
  std::unique_ptr<TBitmap> small = Canvas(8, 6);
  small->Canvas().Draw(0, 0, *inline_);
  EXPECT_TRUE(inlineLockFree);
  // The first frame is already there, stretched.
  EXPECT_EQ(canvas->PixelColor(15, 11), gif->Header().ColorMap().Colors(0));
  EXPECT_NE(gif->DrawPainter(), nullptr);
  gif->StopDraw();
  EXPECT_EQ(gif->DrawPainter(), nullptr);
}

TEST(GifPainter, StoppingRestartingAndFreeingAnImageWhileItsAnimationRuns) {
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    auto gif = Animation({1, 1, 1, 1});
    std::unique_ptr<TBitmap> canvas = Canvas(8, 6);
    int drawn = 0;
    gif->OnAfterPaint = [&](TObject*) { ++drawn; };
    canvas->Canvas().Draw(0, 0, *gif);
    // Let a few frames come, then toggle the animation off and on again.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(round % 5 * 20);
    while (std::chrono::steady_clock::now() < until)
      if (!CheckSynchronize()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    gif->SetAnimate(false);
    canvas->Canvas().Draw(0, 0, *gif);
    gif->SetAnimate(true);
    canvas->Canvas().Draw(0, 0, *gif);
    EXPECT_NE(gif->DrawPainter(), nullptr);
    // A picture object that holds the image takes another picture (the image is freed)
    // while a painter may be waiting for the GUI thread.
    TPicture picture;
    picture.SetGraphic(gif.get());
    std::unique_ptr<TBitmap> other = Canvas(2, 2);
    canvas->Canvas().Draw(0, 0, *picture.Graphic());
    if (round % 2 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    picture.SetGraphic(other.get());
    gif.reset();
    EXPECT_GE(drawn, 1);
  }
  // Whatever the freed painters handed to this thread runs without them.
  for (int i = 0; i < 50; ++i) CheckSynchronize();
}

TEST(GifPainter, DisposalToTheBackgroundColourWithoutTransparency) {
  // Frame 1 covers the middle and is restored to the image's background colour (index 2
  // of the global table) before frame 2, which is drawn elsewhere.
  GifWriter w(6, 4, 4, 2);
  w.GraphicControl(1, 5);
  w.Descriptor(0, 0, 6, 4);
  w.Pixels(2, Bytes(24, 0));
  w.GraphicControl(2, 5);
  w.Descriptor(2, 1, 2, 2);
  w.Pixels(2, Bytes(4, 1));
  w.GraphicControl(1, 5);
  w.Descriptor(0, 0, 1, 1);
  w.Pixels(2, Bytes(1, 3));
  w.Trailer();
  std::unique_ptr<TGIFImage> gif = LoadGif(w.bytes());
  gif->AnimationSpeed = -1;
  std::unique_ptr<TBitmap> target = Canvas(6, 4);
  std::vector<TColor> middle;
  gif->OnAfterPaint = [&](TObject*) { middle.push_back(target->PixelColor(2, 1)); };
  gif->Paint(target->Canvas(), Rect(0, 0, 6, 4), doAnimate);
  TGIFColorMap& map = gif->Header().ColorMap();
  EXPECT_EQ(middle, (std::vector<TColor>{map.Colors(0), map.Colors(1), map.Colors(2)}));
  // DrawBackgroundColor, when set, is the colour restored to.
  gif->DrawBackgroundColor = clFuchsia;
  middle.clear();
  gif->Paint(target->Canvas(), Rect(0, 0, 6, 4), doAnimate);
  EXPECT_EQ(middle.back(), clFuchsia);
}
