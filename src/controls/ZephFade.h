#pragma once
// TZephFade: the fade transition control. It shows a transition from a start picture
// (PicFrom) to a target picture (PicTo): a dissolve, which copies the target's pixels into
// the start image a slice at a time in one of seven pixel orders, or a blend, which mixes
// the two images with a weight that rises from 0 to 32 in 32nds. Either effect can run
// back again by itself. Runs are synchronous: a run returns when the transition (and its
// reverse, if any) is complete.
//
// With ProcessMsgs set the application's messages are handled between frames, so handlers
// may change the control while a run goes on: re-rendering (a resize, a picture or colour
// setter) then waits until the run is over, a second run started meanwhile does nothing,
// and a run whose control is freed stops at once without touching it again.
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/Graphics.h"
#include "platform/gui/Controls.h"
#include "platform/rtl/SysUtils.h"

KIVO2_EXCEPTION(EZephFade, Exception)

class TZephFade : public TGraphicControl {
 public:
  explicit TZephFade(TComponent* AOwner);
  ~TZephFade() override;

  // The start and target pictures; the setters copy the picture given (nullptr empties).
  TPicture* PicFrom() const { return picFrom_.get(); }
  void SetPicFrom(TPicture* picture);
  TPicture* PicTo() const { return picTo_.get(); }
  void SetPicTo(TPicture* picture);
  // Fill colours of the two images where no picture covers them.
  TColor ColorFrom() const { return colorFrom_; }
  void SetColorFrom(TColor c);
  TColor ColorTo() const { return colorTo_; }
  void SetColorTo(TColor c);
  // Divisor of the dissolve: each frame copies (Width x Height) div DisolvRate pixels;
  // the setter keeps it within 1 .. Width x Height of the control at that time, and a run
  // lowers it to the pixels the control has then.
  int DisolvRate() const { return disolvRate_; }
  void SetDisolvRate(int v);
  // Blend steps (at least 1): a blend has BlendRate + 1 frames.
  int BlendRate() const { return blendRate_; }
  void SetBlendRate(int v);
  // Pixel order of the dissolve, 0 to 6 (other values become 0): 0 random, 1 columns from
  // the left, 2 columns from the right, 3 rows from the top, 4 rows from the bottom,
  // 5 columns from both edges inwards, 6 rows from both edges inwards.
  int FromSide() const { return fromSide_; }
  void SetFromSide(int v);
  // True: both images are scaled to the control; False: the control takes the picture's size.
  bool StretchToFit() const { return stretchToFit_; }
  void SetStretchToFit(bool v);
  // True: messages are handled while a frame waits; False: the thread sleeps.
  bool ProcessMsgs() const { return processMsgs_; }
  void SetProcessMsgs(bool v) { processMsgs_ = v; }
  // After a forward run, wait SwapDelay seconds and run back to the start image, with the
  // other effect when SwapOnReverse is set.
  bool AutoReverse() const { return autoReverse_; }
  void SetAutoReverse(bool v) { autoReverse_ = v; }
  bool SwapOnReverse() const { return swapOnReverse_; }
  void SetSwapOnReverse(bool v) { swapOnReverse_ = v; }
  int SwapDelay() const { return swapDelay_; }
  void SetSwapDelay(int v) { swapDelay_ = v; }
  int MsecPerFrame() const { return msecPerFrame_; }
  void SetMsecPerFrame(int v) { msecPerFrame_ = v; }

  void RunDissolve();
  void RunBlend();
  // True while a run (or its reverse) goes on.
  bool Running() const { return running_; }

  // Fired when a forward run starts, when it (with its reverse) has finished, and each
  // time the two images have been rendered afresh.
  TNotifyEvent OnBegin;
  TNotifyEvent OnEnd;
  TNotifyEvent OnReset;

  // --- the steps of a run (the benchmark and the tests drive them one by one) ---
  // Renders the start image into the shown bitmap and the target into the target bitmap.
  void PrepareFadeBitmaps();
  // One entry of the dissolve's visiting order.
  struct TPixelPos {
    int32_t Row;
    int32_t Col;
  };
  // Builds the visiting order for FromSide over the shown bitmap's pixels.
  void BuildPixelOrder();
  const std::vector<TPixelPos>& PixelOrder() const { return order_; }
  void FreePixelOrder();
  // Copies the target's pixels of order entries first .. first + count - 1 into the shown bitmap.
  void CopyPixels(size_t first, size_t count);
  // Copies the shown bitmap into the work bitmap (the fixed start side of a blend).
  void StartBlend();
  // Mixes the work and target bitmaps into the shown bitmap with weight 0 .. 32 (0 writes nothing).
  void BlendScanlines(int weight);
  const TBitmap& ShownBitmap() const { return shown_; }
  const TBitmap& TargetBitmap() const { return target_; }
  const TBitmap& WorkBitmap() const { return work_; }

 protected:
  // Draws the shown bitmap at (0, 0), unscaled.
  void Paint() override;
  // A resize renders both images again (after the run, while one goes on).
  void Resize() override;

 private:
  using Clock = std::chrono::steady_clock;
  class RunScope;
  // Renders now, or once the run is over.
  void requestRender();
  // Repaints the frame and waits for its time; false when the control was freed meanwhile.
  bool paceFrame(Clock::time_point& due, const std::shared_ptr<bool>& alive);
  // The frame loops; false when the control was freed meanwhile.
  bool dissolveFrames(const std::shared_ptr<bool>& alive);
  bool blendFrames(const std::shared_ptr<bool>& alive);
  // After a forward run: wait, then run back with the given effect.
  bool runBack(bool dissolve, const std::shared_ptr<bool>& alive);
  void exchangeSides();
  void renderSide(TBitmap& bitmap, TPicture& picture, TColor color, bool stretch);

  std::unique_ptr<TPicture> picFrom_, picTo_;
  TColor colorFrom_ = clBlack, colorTo_ = clWhite;
  int disolvRate_ = 125, blendRate_ = 32, fromSide_ = 0;
  bool stretchToFit_ = true, processMsgs_ = false, autoReverse_ = false, swapOnReverse_ = true;
  int swapDelay_ = 1, msecPerFrame_ = 40;

  TBitmap shown_, target_, work_;
  std::vector<TPixelPos> order_;
  bool swapped_ = false;
  bool savedStretch_ = true;
  bool running_ = false;
  bool renderPending_ = false;
  bool rendering_ = false;
  // Whether the last forward run left the target in the shown bitmap.
  bool endsOnTarget_ = false;
  std::shared_ptr<bool> alive_;
};
