#pragma once
// A progress gauge painted by the layer: a bar filling from the left (or bottom), or a
// pie, with the percentage in the middle.
#include "platform/gui/Controls.h"

enum TGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };

class TGauge : public TGraphicControl {
 public:
  explicit TGauge(TComponent* AOwner);
  int MinValue() const { return minValue_; }
  void SetMinValue(int v);
  int MaxValue() const { return maxValue_; }
  void SetMaxValue(int v);
  int Progress() const { return progress_; }
  void SetProgress(int v);
  void AddProgress(int v) { SetProgress(progress_ + v); }
  // Whole percent done (0 when MaxValue equals MinValue).
  int PercentDone() const;
  TColor ForeColor() const { return foreColor_; }
  void SetForeColor(TColor c);
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor c);
  TGaugeKind Kind() const { return kind_; }
  void SetKind(TGaugeKind k);
  bool ShowText() const { return showText_; }
  void SetShowText(bool v);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle s);

 protected:
  void Paint() override;

 private:
  int minValue_ = 0, maxValue_ = 100, progress_ = 0;
  TColor foreColor_ = clBlack, backColor_ = clWhite;
  TGaugeKind kind_ = gkHorizontalBar;
  bool showText_ = true;
  TBorderStyle borderStyle_ = bsSingle;
};
