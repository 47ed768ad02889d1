#pragma once
// TZephFade: the fade transition control, a graphic control over the picture area that
// shows a transition from a start picture (PicFrom) to a target picture (PicTo).
//
// This version holds the control's state and events and paints plainly: the start
// picture before a run, the target picture after it, each scaled to the control when
// StretchToFit is set and filled with its colour where no picture covers it. A run fires
// OnBegin, shows the target and fires OnEnd; the dissolve and blend frames come with the
// control's own work.
#include <memory>

#include "platform/graphics/Graphics.h"
#include "platform/gui/Controls.h"
#include "platform/rtl/SysUtils.h"

KIVO2_EXCEPTION(EZephFade, Exception)

class TZephFade : public TGraphicControl {
 public:
  explicit TZephFade(TComponent* AOwner);
  ~TZephFade() override;

  TPicture* PicFrom() const { return picFrom_.get(); }
  void SetPicFrom(TPicture* picture);
  TPicture* PicTo() const { return picTo_.get(); }
  void SetPicTo(TPicture* picture);
  TColor ColorFrom() const { return colorFrom_; }
  void SetColorFrom(TColor c);
  TColor ColorTo() const { return colorTo_; }
  void SetColorTo(TColor c);
  // Divisor of the dissolve: each frame copies (Width x Height) div DisolvRate pixels;
  // kept within 1 .. Width x Height.
  int DisolvRate() const { return disolvRate_; }
  void SetDisolvRate(int v);
  // Blend steps (at least 1).
  int BlendRate() const { return blendRate_; }
  void SetBlendRate(int v);
  // Pixel order of the dissolve, 0 to 6 (other values become 0).
  int FromSide() const { return fromSide_; }
  void SetFromSide(int v);
  bool StretchToFit() const { return stretchToFit_; }
  void SetStretchToFit(bool v);
  bool ProcessMsgs() const { return processMsgs_; }
  void SetProcessMsgs(bool v) { processMsgs_ = v; }
  bool AutoReverse() const { return autoReverse_; }
  void SetAutoReverse(bool v) { autoReverse_ = v; }
  bool SwapOnReverse() const { return swapOnReverse_; }
  void SetSwapOnReverse(bool v) { swapOnReverse_ = v; }
  int SwapDelay() const { return swapDelay_; }
  void SetSwapDelay(int v) { swapDelay_ = v; }
  int MsecPerFrame() const { return msecPerFrame_; }
  void SetMsecPerFrame(int v) { msecPerFrame_ = v; }

  // Transitions from the start picture to the target picture; they return when done.
  void RunDissolve();
  void RunBlend();
  // True once a run has shown the target picture (until a picture or colour changes).
  bool ShowsTarget() const { return showsTarget_; }

  TNotifyEvent OnBegin;
  TNotifyEvent OnEnd;
  TNotifyEvent OnReset;

 protected:
  void Paint() override;

 private:
  void run();
  void reset();
  void paintPicture(TPicture* picture, TColor fill);
  std::unique_ptr<TPicture> picFrom_, picTo_;
  TColor colorFrom_ = clBlack, colorTo_ = clWhite;
  int disolvRate_ = 125, blendRate_ = 32, fromSide_ = 0;
  bool stretchToFit_ = true, processMsgs_ = false, autoReverse_ = false, swapOnReverse_ = true;
  int swapDelay_ = 1, msecPerFrame_ = 40;
  bool showsTarget_ = false;
};
