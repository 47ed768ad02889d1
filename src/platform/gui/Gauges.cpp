// The gauge, painted by the layer through its canvas.
#include "platform/gui/Gauges.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/Graphics.h"

TGauge::TGauge(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetBounds(0, 0, 100, 100);
  SetOpaque(true);
}

void TGauge::SetMinValue(int v) {
  minValue_ = v;
  if (maxValue_ < minValue_) maxValue_ = minValue_;
  progress_ = std::clamp(progress_, minValue_, maxValue_);
  Invalidate();
}
void TGauge::SetMaxValue(int v) {
  maxValue_ = v;
  if (minValue_ > maxValue_) minValue_ = maxValue_;
  progress_ = std::clamp(progress_, minValue_, maxValue_);
  Invalidate();
}
void TGauge::SetProgress(int v) {
  v = std::clamp(v, minValue_, maxValue_);
  if (v == progress_) return;
  progress_ = v;
  Invalidate();
}
int TGauge::PercentDone() const {
  const int64_t range = int64_t(maxValue_) - minValue_;
  if (range <= 0) return 0;
  return int((int64_t(progress_) - minValue_) * 100 / range);
}
void TGauge::SetForeColor(TColor c) {
  foreColor_ = c;
  Invalidate();
}
void TGauge::SetBackColor(TColor c) {
  backColor_ = c;
  Invalidate();
}
void TGauge::SetKind(TGaugeKind k) {
  kind_ = k;
  Invalidate();
}
void TGauge::SetShowText(bool v) {
  showText_ = v;
  Invalidate();
}
void TGauge::SetBorderStyle(TBorderStyle s) {
  borderStyle_ = s;
  Invalidate();
}

void TGauge::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  if (borderStyle_ == bsSingle) {
    c->Brush().SetColor(clWindowFrame);
    c->FrameRect(r);
    r = Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
  }
  c->Brush().SetStyle(bsSolid);
  c->Brush().SetColor(backColor_);
  c->FillRect(r);
  const int percent = PercentDone();
  c->Brush().SetColor(foreColor_);
  c->Pen().SetColor(foreColor_);
  switch (kind_) {
    case gkHorizontalBar:
      if (percent > 0) c->FillRect(Rect(r.Left, r.Top, r.Left + r.Width() * percent / 100, r.Bottom));
      break;
    case gkVerticalBar:
      if (percent > 0) c->FillRect(Rect(r.Left, r.Bottom - r.Height() * percent / 100, r.Right, r.Bottom));
      break;
    case gkPie:
    case gkNeedle: {
      const double angle = 3.14159265358979 * 2 * percent / 100.0;
      const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
      const int rx = r.Width() / 2, ry = r.Height() / 2;
      if (kind_ == gkPie) {
        c->Pen().SetColor(clBlack);
        c->Brush().SetColor(backColor_);
        c->Ellipse(r.Left, r.Top, r.Right, r.Bottom);
        if (percent > 0) {
          std::vector<TPoint> slice{TPoint(cx, cy)};
          for (int k = 0; k <= 64; ++k) {
            double a = -3.14159265358979 / 2 + angle * k / 64.0;
            slice.emplace_back(cx + int(std::lround(rx * std::cos(a))), cy + int(std::lround(ry * std::sin(a))));
          }
          c->Brush().SetColor(foreColor_);
          c->Polygon(slice);
        }
      } else {
        const double a = 3.14159265358979 * (1.0 - percent / 100.0);
        c->Pen().SetColor(foreColor_);
        c->MoveTo(cx, r.Bottom - 1);
        c->LineTo(cx + int(std::lround(rx * std::cos(a))), r.Bottom - 1 - int(std::lround(r.Height() * std::sin(a))));
      }
      break;
    }
    case gkText: break;
  }
  if (showText_) {
    std::string text = std::to_string(percent) + "%";
    c->Font().Assign(Font());
    c->Brush().SetStyle(bsClear);
    const int tw = c->TextWidth(text), th = c->TextHeight(text);
    c->TextOut(r.Left + (r.Width() - tw) / 2, r.Top + (r.Height() - th) / 2, text);
    c->Brush().SetStyle(bsSolid);
  }
}
