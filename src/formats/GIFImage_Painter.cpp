// The animation painter: plays the frames of a GIF image into a canvas, timed by their
// graphic control extensions, looping as the loop extension says, with the disposal
// methods. A threaded painter only waits on its own thread: everything that reads the
// image or draws runs on the GUI thread through synchronisation, after a look at the
// stop flag, so a stopped painter never touches an image or canvas that went away.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "formats/GIFImage.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/Math.h"

namespace {

constexpr int kDefaultDelay = 10;  // hundredths of a second
constexpr int kMinimumDelay = 3;
constexpr int kMaximumDelay = 1000;  // unthreaded painters only
constexpr int kMsPerHundredth = 12;
constexpr unsigned kNap = 100;  // longest sleep of an unthreaded painter between message checks

class SystemClock : public TGIFPainterClock {
 public:
  uint32_t Now() override { return GetTickCount(); }
  TWaitResult Wait(TEvent& wake, unsigned ms) override { return wake.WaitFor(ms); }
  void Sleep(unsigned ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

std::atomic<TGIFPainterClock*> g_clock{nullptr};

TGIFPainterClock& Clock() {
  static SystemClock system;
  TGIFPainterClock* clock = g_clock.load();
  return clock ? *clock : system;
}

}  // namespace

void SetGIFPainterClock(TGIFPainterClock* clock) { g_clock = clock; }

TGIFPainter::TGIFPainter(TGIFPainter** backReference, TGIFDrawOptions options, const TRect& rect, TCanvas* canvas,
                         TGIFImage* image)
    : TThread(true),
      image_(image),
      canvas_(canvas),
      rect_(rect),
      drawOptions_(options),
      animationSpeed_(image ? image->AnimationSpeed : 100),
      backReference_(backReference) {
  SetFreeOnTerminate(true);
  OnTerminate = [this](TObject*) { EndHandler(); };
  // Every threaded painter can be woken from its wait, so that stopping is prompt.
  if (options & doThreaded) wake_ = std::make_unique<TEvent>(false, false);
  if (image) {
    onStartPaint_ = image->OnStartPaint;
    onPaint_ = image->OnPaint;
    onAfterPaint_ = image->OnAfterPaint;
    onLoop_ = image->OnLoop;
    onEndPaint_ = image->OnEndPaint;
  }
  if (backReference_) *backReference_ = this;
}

TGIFPainter::~TGIFPainter() {
  if (!ended_) EndHandler();
}

void TGIFPainter::Start() {
  if (Threaded()) TThread::Start();
}

void TGIFPainter::Stop() {
  Terminate();
  if (Threaded()) {
    if (wake_) wake_->SetEvent();
    SetPriority(tpNormal);
    if (Suspended()) Resume();
  }
}

void TGIFPainter::EndHandler() {
  if (image_) {
    image_->painters_.LockList();
    if (backReference_ && *backReference_ == this) *backReference_ = nullptr;
    image_->painters_.Remove(this);
    image_->painters_.UnlockList();
  }
  workBitmap_.reset();
  previousBitmap_.reset();
  backgroundBitmap_.reset();
  ended_ = true;
}

void TGIFPainter::Execute() { Run(); }

bool TGIFPainter::Deliver(const std::function<void()>& fn) {
  if (!Threaded()) {
    if (Terminated() || !image_) return false;
    fn();
    return true;
  }
  bool ran = false;
  Synchronize([&] {
    if (Terminated() || !image_) return;
    fn();
    ran = true;
  });
  return ran;
}

void TGIFPainter::Fire(const TNotifyEvent& event) {
  if (event) Deliver([&] { event(this); });
}

bool TGIFPainter::Expired() const { return Terminated() || !image_; }

// The background colour and the buffers that the disposal methods of the frames need.
void TGIFPainter::Prepare() {
  backgroundColor_ = image_->PainterBackgroundColor();
  bool background = (drawOptions_ & doBackgroundBuffer) != 0, previous = false;
  for (int i = 0; i < image_->Images().GetCount(); ++i) {
    if (TGIFGraphicControlExtension* gce = image_->Images()[i]->GraphicControlExtension()) {
      background = background || gce->Disposal() == dmBackground;
      previous = previous || gce->Disposal() == dmPrevious;
    }
  }
  const int w = rect_.Width(), h = rect_.Height();
  const TRect whole = ::Rect(0, 0, w, h);
  if (background && (drawOptions_ & doTransparent)) {
    backgroundBitmap_ = std::make_unique<TBitmap>();
    backgroundBitmap_->SetPixelFormat(pf24bit);
    backgroundBitmap_->SetSize(w, h);
    backgroundBitmap_->Canvas().CopyRect(whole, *canvas_, rect_);
  }
  if (background || previous) {
    workBitmap_ = std::make_unique<TBitmap>();
    workBitmap_->SetPixelFormat(pf24bit);
    workBitmap_->SetSize(w, h);
    workBitmap_->Canvas().Brush().SetColor(backgroundColor_);
    workBitmap_->Canvas().CopyRect(whole, *canvas_, rect_);
    previousBitmap_ = std::make_unique<TBitmap>();
    previousBitmap_->SetPixelFormat(pf24bit);
    previousBitmap_->SetSize(w, h);
    previousBitmap_->Canvas().Brush().SetColor(backgroundColor_);
    buffers_ = true;
  }
}

void TGIFPainter::RestoreFrameArea(TGIFSubImage& frame) {
  TCanvas& work = workBitmap_->Canvas();
  const int screenW = image_->Width(), screenH = image_->Height();
  const bool tile = (drawOptions_ & doTile) != 0;
  std::vector<TRect> areas;
  if (tile) {
    const int stepX = screenW > 0 ? screenW : frame.Width(), stepY = screenH > 0 ? screenH : frame.Height();
    if (stepX > 0 && stepY > 0)
      for (int x = frame.Left(); x < rect_.Width(); x += stepX)
        for (int y = frame.Top(); y < rect_.Height(); y += stepY) areas.push_back(Bounds(x, y, frame.Width(), frame.Height()));
  } else {
    const TRect r = frame.ScaleRect(rect_);
    areas.push_back(TRect(r.Left - rect_.Left, r.Top - rect_.Top, r.Right - rect_.Left, r.Bottom - rect_.Top));
  }
  if (drawOptions_ & doTransparent) {
    if (!backgroundBitmap_) return;
    for (const TRect& a : areas) work.CopyRect(a, backgroundBitmap_->Canvas(), a);
    return;
  }
  // Tiled pictures whose frames differ from the picture in both sides are filled with the
  // image's own background setting.
  const bool ownColor = tile && screenW != frame.Width() && screenH != frame.Height();
  work.Brush().SetColor(ownColor && image_->DrawBackgroundColor != clNone ? image_->DrawBackgroundColor : backgroundColor_);
  for (const TRect& a : areas) work.FillRect(a);
}

void TGIFPainter::DrawFrame(TGIFSubImage& frame) {
  const bool transparent = (drawOptions_ & doTransparent) != 0, tile = (drawOptions_ & doTile) != 0;
  if (!buffers_) {
    frame.StretchDraw(*canvas_, rect_, transparent, tile);
    frameDrawn_ = true;
    return;
  }
  if ((drawOptions_ & doValidateDC) && canvas_->ClipRect().IsEmpty()) {
    Terminate();
    return;
  }
  const TRect whole = ::Rect(0, 0, rect_.Width(), rect_.Height());
  TCanvas* target = &workBitmap_->Canvas();
  bool toDestination = false;
  if (thisDisposal_ == dmPrevious) {
    if (previousDisposal_ == dmNone || previousDisposal_ == dmNoDisposal) {
      toDestination = true;
      target = canvas_;
    } else {
      previousBitmap_->Canvas().CopyRect(whole, workBitmap_->Canvas(), whole);
      target = &previousBitmap_->Canvas();
    }
  }
  if ((drawOptions_ & doBackgroundBuffer) && activeFrame_ == 0) RestoreFrameArea(frame);
  frame.StretchDraw(*target, toDestination ? rect_ : whole, transparent, tile);
  if (!toDestination) canvas_->CopyRect(rect_, *target, whole);
  if (thisDisposal_ == dmBackground) RestoreFrameArea(frame);
  frameDrawn_ = true;
}

void TGIFPainter::Run() {
  if (!Terminated()) {
    activeFrame_ = 0;
    if (Deliver([this] { Prepare(); })) {
      Fire(onStartPaint_);
      frameDrawn_ = false;
      const bool threaded = Threaded();
      constexpr int kForever = -1;
      int loopsLeft = 1, loopStart = 0;
      bool loopSeen = false;
      int delay = threaded ? 0 : 1;
      previousDisposal_ = dmNoDisposal;
      uint32_t lastTime = Clock().Now();
      int64_t lastWait = 0;
      do {
        if ((loopsLeft == 0 && !(drawOptions_ & doLoopForever)) || Expired()) break;
        activeFrame_ = loopStart;
        if (frameDrawn_) Fire(onLoop_);
        while (!Expired()) {
          // The frame must exist and hold pixels; an empty frame ends the pass.
          bool present = false;
          if (!Deliver([&] {
                TGIFImageList& frames = image_->Images();
                const int i = activeFrame_;
                present = i >= 0 && i < frames.GetCount() && !frames[i]->Empty();
                if (present && delay > 0) frames[i]->GetBitmap();
              }))
            break;
          if (!present) break;

          // 1. Wait the previous frame's delay.
          if (delay > 0 && animationSpeed_ >= 0) {
            const uint32_t now = Clock().Now();
            int64_t wait;
            if (animationSpeed_ < 1) {
              wait = threaded ? int64_t(INFINITE) : int64_t(kMaximumDelay) * kMsPerHundredth;
            } else {
              const int64_t h = (int64_t(uint32_t(now - lastTime)) - lastWait) / 2;
              wait = MulDiv(int(std::clamp<int64_t>(int64_t(delay) * kMsPerHundredth - h, -(1 << 30), 1 << 30)), 100,
                            animationSpeed_);
              lastWait = wait;
            }
            lastTime = now;
            if (threaded) {
              if (wait >= 1 || animationSpeed_ == 0) {
                if (Clock().Wait(*wake_, animationSpeed_ == 0 ? INFINITE : unsigned(wait)) == wrSignaled) {
                  lastWait = 0;
                  lastTime = Clock().Now();
                }
              }
            } else {
              int64_t left = std::max<int64_t>(wait, 1);
              while (left > 0 && !Terminated()) {
                const unsigned nap = unsigned(std::min<int64_t>(left, kNap));
                Clock().Sleep(nap);
                left -= nap;
                Application->ProcessMessages();
                // The program is closing: the painter ends with it.
                if (Application->Terminated()) Terminate();
              }
            }
          } else {
            TThread::Yield();
          }

          // 2. The frame is about to be drawn.
          if (Expired()) break;
          Fire(onPaint_);
          if (Expired()) break;

          // 3-5. Its disposal, the loop extension, the drawing and its delay.
          bool drawn = false;
          if (!Deliver([&] {
                TGIFImageList& frames = image_->Images();
                const int i = activeFrame_;
                if (i < 0 || i >= frames.GetCount()) return;
                TGIFSubImage& frame = *frames[i];
                thisDisposal_ = dmNoDisposal;
                for (int e = 0; e < frame.Extensions().GetCount(); ++e) {
                  TGIFExtension* extension = frame.Extensions().GetExtension(e);
                  if (auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(extension)) {
                    thisDisposal_ = gce->Disposal();
                  } else if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(extension); loop && !loopSeen) {
                    loopSeen = true;
                    loopsLeft = loop->Loops;
                    loopStart = i;
                    if (threaded && (loop->Loops == 0 || (drawOptions_ & doLoopForever))) loopsLeft = kForever;
                  }
                }
                DrawFrame(frame);
                previousDisposal_ = thisDisposal_;
                delay = kDefaultDelay;
                if (TGIFGraphicControlExtension* gce = frame.GraphicControlExtension(); gce && gce->Delay() != 0) {
                  delay = std::max<int>(gce->Delay(), kMinimumDelay);
                  if (!threaded) delay = std::min(delay, kMaximumDelay);
                }
                drawn = true;
              }))
            break;
          if (!drawn || Expired()) break;

          // 6. The frame has been drawn; handlers may pick the next one.
          const int before = activeFrame_;
          Fire(onAfterPaint_);
          firstFrameShown_ = true;
          if (Expired()) break;
          if (activeFrame_ == before) ++activeFrame_;
          // 7. Without animation one frame is all.
          if (!(drawOptions_ & doAnimate)) break;
        }
        if (loopsLeft > 0) --loopsLeft;
      } while ((drawOptions_ & doLoop) && (drawOptions_ & doAnimate));
    }
  }
  activeFrame_ = -1;
  Fire(onEndPaint_);
}
