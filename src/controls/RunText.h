#pragma once
// TRunningText: a panel whose caption runs across it, driven by a timer of its own: from
// one edge to the other in Steps steps of Speed milliseconds, NumRepeat times or without
// end, with an optional embossed look. All drawing goes through an off-screen bitmap, so
// the text moves without flicker.
#include <cstdint>

#include "platform/gui/ExtCtrls.h"

enum TDirect { diLeftToRight, diRightToLeft, diTopToBottom, diBottomToTop };
enum TStyleLabel { slNormal, slLowered, slRaised };

class TRunningText : public TCustomPanel {
 public:
  explicit TRunningText(TComponent* AOwner);
  ~TRunningText() override;

  // Switching it on or off starts again at the first step of the first pass; an inactive
  // control shows the caption at rest (by Alignment and Layout).
  bool Active() const { return FActive; }
  void SetActive(bool v);
  TDirect Direct() const { return FDirect; }
  void SetDirect(TDirect v);
  TStyleLabel StyleLabel() const { return FStyleLabel; }
  void SetStyleLabel(TStyleLabel v);
  // Passes to run when not Continuous (0: the first tick stops the control).
  uint16_t NumRepeat() const { return FNumRepeat; }
  void SetNumRepeat(uint16_t v) { FNumRepeat = v; }
  bool Continuous() const { return FContinuous; }
  void SetContinuous(bool v) { FContinuous = v; }
  // Steps per pass; values below 1 are kept at 1 (a pass needs a step).
  int Steps() const { return FSteps; }
  void SetSteps(int v);
  // Milliseconds per step, kept within 1 .. 1000.
  int Speed() const { return FSpeed; }
  void SetSpeed(int v);
  // Vertical place of the text when it does not move vertically.
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout v);
  // The current step (0 .. Steps - 1) and the passes completed since the last activation.
  int Position() const { return FPosition; }
  int RepeatCount() const { return FRepeatCount; }

  // One step of the timer.
  void Tick();

  // Where the caption is drawn now (its top-left corner).
  TPoint TextPlace();
  // A caption that runs across the control passes through it whole: only the other
  // direction must fit.
  bool TextRoom(TSize& needed, TSize& room) const override;

 protected:
  void Paint() override;

 private:
  TTimer* FTimer;
  int FRepeatCount = 0;
  bool FActive = false;
  TDirect FDirect = diLeftToRight;
  TStyleLabel FStyleLabel = slNormal;
  TTextLayout FLayout = tlTop;
  int FSpeed = 100;
  uint16_t FNumRepeat = 0;
  bool FContinuous = false;
  int FSteps = 100;
  int FPosition = 0;
};
