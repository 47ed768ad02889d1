#include "controls/RunText.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/Graphics.h"

TRunningText::TRunningText(TComponent* AOwner) : TCustomPanel(AOwner), FTimer(new TTimer(this)) {
  FTimer->SetEnabled(false);
  FTimer->SetInterval(unsigned(FSpeed));
  FTimer->OnTimer = [this](TObject*) { Tick(); };
}

TRunningText::~TRunningText() {
  FTimer->SetEnabled(false);
  FTimer->OnTimer = nullptr;
}

void TRunningText::SetActive(bool v) {
  if (v == FActive) return;
  FActive = v;
  FRepeatCount = 0;
  FPosition = 0;
  FTimer->SetEnabled(v);
  if (!v) Invalidate();
}

void TRunningText::SetDirect(TDirect v) {
  if (v == FDirect) return;
  FDirect = v;
  if (FActive) Invalidate();
}

void TRunningText::SetSteps(int v) {
  v = std::max(v, 1);
  if (v == FSteps) return;
  FSteps = v;
}

void TRunningText::SetStyleLabel(TStyleLabel v) {
  if (v == FStyleLabel) return;
  FStyleLabel = v;
  Invalidate();
}

void TRunningText::SetSpeed(int v) {
  if (v == FSpeed) return;
  FSpeed = std::clamp(v, 1, 1000);
  FTimer->SetInterval(unsigned(FSpeed));
}

void TRunningText::SetLayout(TTextLayout v) {
  if (v == FLayout) return;
  FLayout = v;
  Invalidate();
}

void TRunningText::Tick() {
  if (FNumRepeat <= FRepeatCount && !FContinuous) {
    SetActive(false);
    return;
  }
  ++FPosition;
  Repaint();
  if (FPosition >= FSteps) {
    FPosition = 0;
    if (!FContinuous) ++FRepeatCount;
  }
}

TPoint TRunningText::TextPlace() {
  TCanvas* canvas = Canvas();
  canvas->SetFont(*Font());
  const int w = Width(), h = Height();
  const int tw = canvas->TextWidth(Caption()) + 2, th = canvas->TextHeight(Caption()) + 2;
  int x0 = 0, y0 = 0;
  if (Alignment() == taRightJustify) x0 = w - tw;
  if (Alignment() == taCenter) x0 = (w - tw) / 2;
  if (FLayout == tlCenter) y0 = (h - th) / 2;
  if (FLayout == tlBottom) y0 = h - th;
  if (!FActive) return Point(x0, y0);
  const double f = double(FPosition) / double(FSteps);
  // Rounded to the nearest whole pixel, halves to even.
  auto round = [](double v) { return int(std::nearbyint(v)); };
  switch (FDirect) {
    case diLeftToRight: return Point(round((w + tw) * f) - tw, y0);
    case diRightToLeft: return Point(round((1 - f) * (w + tw)) - tw, y0);
    case diTopToBottom: return Point(x0, round((h + th) * f) - th);
    case diBottomToTop: return Point(x0, round((1 - f) * (h + th)) - th);
  }
  return Point(x0, y0);
}

void TRunningText::Paint() {
  const int w = Width(), h = Height();
  if (w <= 0 || h <= 0) return;
  const TPoint at = TextPlace();
  TBitmap buffer;
  buffer.SetPixelFormat(pf24bit);
  buffer.SetSize(w, h);
  TCanvas& c = buffer.Canvas();
  c.SetFont(*Font());
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Color());
  c.FillRect(c.ClipRect());
  c.Brush().SetStyle(bsClear);
  const std::string text = Caption();
  const TColor ink = Font()->Color();
  if (FStyleLabel != slNormal) {
    c.Font().SetColor(FStyleLabel == slLowered ? clBtnHighlight : clBtnShadow);
    c.TextOut(at.X + 2, at.Y + 2, text);
  }
  c.Font().SetColor(ink);
  c.TextOut(at.X, at.Y, text);
  Canvas()->Draw(0, 0, buffer);
}

bool TRunningText::TextRoom(TSize& needed, TSize& room) const {
  if (!TCustomPanel::TextRoom(needed, room)) return false;
  if (FActive && (FDirect == diLeftToRight || FDirect == diRightToLeft)) needed.cx = 0;
  if (FActive && (FDirect == diTopToBottom || FDirect == diBottomToTop)) needed.cy = 0;
  return true;
}
