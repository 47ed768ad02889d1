// The chart control: layout, axes, bars, lines, marks, legend and depth drawn through a
// canvas; the window paints the very bitmap that the clipboard and the saved file get.
#include "platform/services/Charts.h"

#include <algorithm>
#include <cmath>

#include "platform/gui/Clipbrd.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Math.h"
#include "platform/rtl/SysUtils.h"

namespace {

// The colours a series gets by its place in the chart, as the chart library gives them.
const TColor kSeriesColors[] = {clRed, clGreen, clYellow, clBlue, clGray, clFuchsia, clTeal, clNavy, clMaroon,
                                clLime, clOlive, clPurple, clSilver, clAqua};
const TColor kWallColor = TColor(0xF4F4F4);
const TColor kFrameColor = TColor(0x808080);
const TColor kGridColor = TColor(0xD8D8D8);
const TColor kMarkColor = TColor(0xC0FFFF);

// A colour mixed with white (amount > 0) or black (amount < 0), amount in -1..1.
TColor Shade(TColor color, double amount) {
  const TColor rgb = ColorToRGB(color);
  auto mix = [amount](int c) {
    const double v = amount >= 0 ? c + (255 - c) * amount : c * (1 + amount);
    return std::clamp(int(std::lround(v)), 0, 255);
  };
  return TColor(mix(rgb & 0xFF) | (mix((rgb >> 8) & 0xFF) << 8) | (mix((rgb >> 16) & 0xFF) << 16));
}

// A step of 1, 2 or 5 times a power of ten near span / count.
double NiceStep(double span, int count) {
  if (!(span > 0) || count < 1) return 1;
  const double raw = span / count;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (raw <= m * power) return m * power;
  return 10 * power;
}

// A number as the axis and the marks show it: at most two decimals, none when whole.
std::string NumberText(double v) { return FloatToStr(RoundTo(v, -2)); }

std::string PercentText(double value, double total) {
  return NumberText(total != 0 ? value * 100 / total : 0) + " %";
}

bool Overlaps(const TRect& a, const TRect& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// The segment p-q cut to the rectangle (Liang-Barsky); false when nothing of it is inside.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, const TRect& r) {
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - r.Left, r.Right - 1 - x0, y0 - r.Top, r.Bottom - 1 - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0)
      t0 = std::max(t0, t);
    else
      t1 = std::min(t1, t);
    if (t0 > t1) return false;
  }
  const double sx = x0, sy = y0;
  x0 = sx + t0 * dx;
  y0 = sy + t0 * dy;
  x1 = sx + t1 * dx;
  y1 = sy + t1 * dy;
  return true;
}

}  // namespace

// ===========================================================================
// Series
// ===========================================================================
TChartSeries::TChartSeries(TChart* chart) : chart_(chart) {}

void TChartSeries::Repaint() {
  if (chart_) chart_->Changed();
}

void TChartSeries::Clear() {
  points_.clear();
  Repaint();
}

int TChartSeries::Add(double value, const std::string& label, TColor color) {
  points_.push_back({std::isfinite(value) ? value : 0, label, color});
  Repaint();
  return int(points_.size()) - 1;
}

double TChartSeries::YValue(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(_("List index out of bounds (%d)"), {index}));
  return points_[size_t(index)].value;
}

std::string TChartSeries::XLabel(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(_("List index out of bounds (%d)"), {index}));
  return points_[size_t(index)].label;
}

TColor TChartSeries::ValueColor(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(_("List index out of bounds (%d)"), {index}));
  const TColor c = points_[size_t(index)].color;
  return c == clTeeColor ? color_ : c;
}

void TChartSeries::AssignValues(const TChartSeries& source) {
  if (&source == this) return;
  points_ = source.points_;
  Repaint();
}

double TChartSeries::YValuesTotal() const {
  double total = 0;
  for (const Point& p : points_) total += p.value;
  return total;
}

std::string TChartSeries::MarkText(int index) const {
  const double value = YValue(index);
  const std::string label = XLabel(index).empty() ? NumberText(value) : XLabel(index);
  const double total = YValuesTotal();
  switch (marks_.Style()) {
    case smsValue:
      return NumberText(value);
    case smsPercent:
      return PercentText(value, total);
    case smsLabel:
      return label;
    case smsPercentTotal:
      return Format(_("%s of %s"), {PercentText(value, total), NumberText(total)});
    case smsLabelPercentTotal:
      return label + " " + Format(_("%s of %s"), {PercentText(value, total), NumberText(total)});
  }
  return label;
}

void TChartSeries::SetActive(bool v) {
  active_ = v;
  Repaint();
}

void TChartSeries::SetSeriesColor(TColor c) {
  color_ = c;
  Repaint();
}

void TChartSeries::SetTitle(const std::string& t) {
  title_ = t;
  Repaint();
}

// ===========================================================================
// Chart
// ===========================================================================
struct TChart::Layout {
  TRect bounds;
  TRect plot;    // the front plane
  int depth = 0;  // the 3D offset of the back plane (right and up)
  int textHeight = 0;
  int titleTop = 0;
  TRect legend;   // empty without a legend
  int legendColumns = 1, legendColumnWidth = 0;
  int axisTitleLeft = 0;
  Range y;        // the values shown, for the tick labels
  double tickStep = 1;
};

TChart::TChart(TComponent* AOwner) : TCustomControl(AOwner) {
  SetBounds(0, 0, 400, 250);
  SetColor(clWhite);
  SetDoubleBuffered(true);
}

TChart::~TChart() { DetachEvents(); }

template <class S>
S* TChart::addSeries(S* s, const std::string& title) {
  s->color_ = kSeriesColors[series_.size() % std::size(kSeriesColors)];
  s->title_ = title;
  series_.emplace_back(s);
  Changed();
  return s;
}

TBarSeries* TChart::AddBarSeries(const std::string& title) { return addSeries(new TBarSeries(this), title); }

TLineSeries* TChart::AddLineSeries(const std::string& title) { return addSeries(new TLineSeries(this), title); }

TChartSeries* TChart::Series(int index) const {
  if (index < 0 || index >= SeriesCount()) throw EListError(Format(_("List index out of bounds (%d)"), {index}));
  return series_[size_t(index)].get();
}

void TChart::SetTitleText(const std::string& text) {
  title_ = text;
  Changed();
}

void TChart::SetLeftAxisTitle(const std::string& text) {
  leftAxisTitle_ = text;
  Changed();
}

void TChart::SetLegendVisible(bool v) {
  legendVisible_ = v;
  Changed();
}

void TChart::SetView3D(bool v) {
  view3D_ = v;
  Changed();
}

void TChart::SetMaxPointsPerPage(int n) {
  maxPointsPerPage_ = std::max(0, n);
  Changed();
}

void TChart::Changed() { Invalidate(); }

int TChart::visibleSeriesCount() const {
  return int(std::count_if(series_.begin(), series_.end(), [](const auto& s) { return s->Active(); }));
}

int TChart::pointCount() const {
  int n = 0;
  for (const auto& s : series_)
    if (s->Active()) n = std::max(n, s->Count());
  return n;
}

void TChart::homeRanges(Range& x, Range& y) const {
  int n = pointCount();
  if (maxPointsPerPage_ > 0) n = std::min(n, maxPointsPerPage_);
  x = {-0.5, std::max(n, 1) - 0.5};
  double low = 0, high = 0;
  for (const auto& s : series_) {
    if (!s->Active()) continue;
    for (const auto& p : s->points_) {
      low = std::min(low, p.value);
      high = std::max(high, p.value);
    }
  }
  if (high <= low) high = low + 1;
  // Room above the highest point for its mark, on a whole tick.
  const double step = NiceStep(high - low, 5);
  y = {low, std::ceil((high + (high - low) * 0.05) / step) * step};
}

void TChart::viewRanges(Range& x, Range& y) const {
  if (ownRanges_) {
    x = viewX_;
    y = viewY_;
  } else {
    homeRanges(x, y);
  }
}

TChart::Layout TChart::layout(TCanvas& canvas, const TRect& rect) {
  Layout l;
  l.bounds = rect;
  canvas.SetFont(*Font());
  l.textHeight = std::max(1, canvas.TextHeight("Ag"));
  const int th = l.textHeight;
  int top = rect.Top + 4;
  l.titleTop = top;
  if (!title_.empty()) top += th + 6;
  const int bottom = rect.Bottom - 6 - th;
  Range x;
  viewRanges(x, l.y);
  int left = rect.Left + 6;
  l.axisTitleLeft = left;
  if (!leftAxisTitle_.empty()) left += th + 4;
  const int plotHeightGuess = std::max(10, bottom - top);
  l.tickStep = NiceStep(l.y.max - l.y.min, std::max(1, plotHeightGuess / (th * 3)));
  // Counts are whole numbers: the unzoomed axis steps by whole numbers too.
  if (!ownRanges_ && l.y.max - l.y.min >= 2) l.tickStep = std::max(l.tickStep, 1.0);
  int labelWidth = 0;
  for (double v = std::ceil(l.y.min / l.tickStep) * l.tickStep; v <= l.y.max + l.tickStep * 1e-9; v += l.tickStep)
    labelWidth = std::max(labelWidth, canvas.TextWidth(NumberText(std::abs(v) < l.tickStep * 1e-9 ? 0 : v)));
  left += labelWidth + 6;
  int right = rect.Right - 10;
  if (legendVisible_) {
    const std::vector<LegendEntry> entries = legendEntries();
    const int count = int(entries.size());
    int w = 0;
    for (const LegendEntry& e : entries) w = std::max(w, canvas.TextWidth(e.text));
    if (count > 0 && right - left > w + 80) {
      // Entries that do not fit under one another go on in further columns, as many as
      // leave the plot a third of the width.
      l.legendColumnWidth = w + 26;
      const int fit = std::max(1, (bottom - top - 8) / (th + 2));
      const int most = std::max(1, (right - left) * 2 / 3 / l.legendColumnWidth);
      l.legendColumns = std::clamp((count + fit - 1) / fit, 1, most);
      const int rows = std::min(fit, (count + l.legendColumns - 1) / l.legendColumns);
      const int legendWidth = l.legendColumns * l.legendColumnWidth;
      l.legend = Rect(right - legendWidth, top, right, top + rows * (th + 2) + 6);
      right -= legendWidth + 10;
    }
  }
  const int room = std::max(0, std::min(right - left, bottom - top));
  l.depth = view3D_ ? std::clamp(room / 12, 4, 15) : 0;
  l.plot = Rect(left, top + l.depth, std::max(left + 1, right - l.depth), std::max(top + l.depth + 1, bottom));
  return l;
}

TRect TChart::PlotRect(TCanvas& canvas, const TRect& rect) { return layout(canvas, rect).plot; }

void TChart::drawFrame(TCanvas& canvas, const Layout& l, const Range& y) {
  const TRect& p = l.plot;
  const int d = l.depth;
  const TRect back = Rect(p.Left + d, p.Top - d, p.Right + d, p.Bottom - d);
  canvas.Pen().SetColor(kFrameColor);
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetWidth(1);
  canvas.Brush().SetColor(kWallColor);
  if (d > 0) {
    canvas.Polygon({{p.Left, p.Top}, {back.Left, back.Top}, {back.Left, back.Bottom}, {p.Left, p.Bottom}});
    canvas.Brush().SetColor(Shade(kWallColor, -0.08));
    canvas.Polygon({{p.Left, p.Bottom}, {back.Left, back.Bottom}, {back.Right, back.Bottom}, {p.Right, p.Bottom}});
    canvas.Brush().SetColor(kWallColor);
  }
  canvas.Rectangle(back.Left, back.Top, back.Right + 1, back.Bottom + 1);
  // Grid lines and tick labels at every step of the value axis.
  canvas.Brush().SetStyle(bsClear);
  const double span = y.max - y.min;
  for (double v = std::ceil(y.min / l.tickStep) * l.tickStep; v <= y.max + l.tickStep * 1e-9; v += l.tickStep) {
    const int py = p.Bottom - int(std::lround((v - y.min) / span * p.Height()));
    if (v > y.min + l.tickStep * 1e-9 && v < y.max - l.tickStep * 1e-9) {
      canvas.Pen().SetColor(kGridColor);
      canvas.MoveTo(back.Left + 1, py - d);
      canvas.LineTo(back.Right, py - d);
      if (d > 0) {
        canvas.MoveTo(p.Left + 1, py);
        canvas.LineTo(back.Left, py - d);
      }
    }
    canvas.Pen().SetColor(kFrameColor);
    canvas.MoveTo(p.Left - 4, py);
    canvas.LineTo(p.Left, py);
    const std::string text = NumberText(std::abs(v) < l.tickStep * 1e-9 ? 0 : v);
    canvas.Font().SetColor(clBlack);
    canvas.TextOut(p.Left - 6 - canvas.TextWidth(text), py - l.textHeight / 2, text);
  }
  canvas.Pen().SetColor(clBlack);
  canvas.MoveTo(p.Left, p.Top - (d > 0 ? 0 : 0));
  canvas.LineTo(p.Left, p.Bottom);
  canvas.LineTo(p.Right + 1, p.Bottom);
}

void TChart::drawSeries(TCanvas& canvas, const Layout& l, const Range& x, const Range& y) {
  const TRect& p = l.plot;
  const int d = l.depth;
  const double xSpan = x.max - x.min, ySpan = y.max - y.min;
  auto px = [&](double i) { return p.Left + (i - x.min) / xSpan * p.Width(); };
  auto py = [&](double v) { return p.Bottom - (v - y.min) / ySpan * p.Height(); };
  const double slot = p.Width() / xSpan;
  std::vector<const TChartSeries*> bars;
  for (const auto& s : series_)
    if (s->Active() && dynamic_cast<const TBarSeries*>(s.get())) bars.push_back(s.get());
  const double groupWidth = slot * 0.7;
  canvas.Brush().SetStyle(bsSolid);
  for (size_t b = 0; b < bars.size(); ++b) {
    const TChartSeries& s = *bars[b];
    const double barWidth = groupWidth / double(bars.size());
    for (int i = 0; i < s.Count(); ++i) {
      const double cx = px(i);
      const int x1 = int(std::lround(cx - groupWidth / 2 + barWidth * double(b)));
      const int x2 = std::max(x1 + 1, int(std::lround(cx - groupWidth / 2 + barWidth * double(b + 1))));
      if (x2 <= p.Left || x1 >= p.Right) continue;
      const double base = std::clamp(0.0, y.min, y.max);
      int yTop = int(std::lround(py(std::max(s.YValue(i), base))));
      int yBottom = int(std::lround(py(std::min(s.YValue(i), base))));
      yTop = std::clamp(yTop, p.Top, p.Bottom);
      yBottom = std::clamp(yBottom, p.Top, p.Bottom);
      const int left = std::max(x1, p.Left), right = std::min(x2, p.Right);
      const TColor color = s.ValueColor(i);
      if (d > 0) {
        canvas.Pen().SetColor(Shade(color, -0.45));
        canvas.Brush().SetColor(Shade(color, 0.3));
        canvas.Polygon({{left, yTop}, {left + d, yTop - d}, {right + d, yTop - d}, {right, yTop}});
        canvas.Brush().SetColor(Shade(color, -0.3));
        canvas.Polygon({{right, yTop}, {right + d, yTop - d}, {right + d, yBottom - d}, {right, yBottom}});
        canvas.Brush().SetColor(color);
        canvas.Rectangle(left, yTop, right + 1, yBottom + 1);
      } else if (yBottom > yTop) {
        canvas.Brush().SetColor(color);
        canvas.FillRect(Rect(left, yTop, right, yBottom));
      }
    }
  }
  for (const auto& sp : series_) {
    auto* line = dynamic_cast<const TLineSeries*>(sp.get());
    if (!line || !line->Active()) continue;
    const int shift = d / 2;
    canvas.Pen().SetColor(line->SeriesColor());
    canvas.Pen().SetWidth(d > 0 ? 2 : 1);
    for (int i = 0; i + 1 < line->Count(); ++i) {
      double x0 = px(i) + shift, y0 = py(line->YValue(i)) - shift, x1 = px(i + 1) + shift,
             y1 = py(line->YValue(i + 1)) - shift;
      if (!ClipSegment(x0, y0, x1, y1, p)) continue;
      canvas.MoveTo(int(std::lround(x0)), int(std::lround(y0)));
      canvas.LineTo(int(std::lround(x1)), int(std::lround(y1)));
    }
    canvas.Pen().SetWidth(1);
    const TSeriesPointer& pointer = line->Pointer();
    if (!pointer.Visible()) continue;
    for (int i = 0; i < line->Count(); ++i) {
      const int cx = int(std::lround(px(i))) + shift, cy = int(std::lround(py(line->YValue(i)))) - shift;
      if (cx < p.Left || cx >= p.Right || cy < p.Top || cy >= p.Bottom) continue;
      const TColor fill = pointer.BrushColor() == clTeeColor ? line->ValueColor(i) : pointer.BrushColor();
      canvas.Brush().SetColor(fill);
      canvas.Pen().SetColor(clBlack);
      const int hx = pointer.HorizSize(), hy = pointer.VertSize();
      if (pointer.Style() == psCircle)
        canvas.Ellipse(cx - hx, cy - hy, cx + hx + 1, cy + hy + 1);
      else
        canvas.Rectangle(cx - hx, cy - hy, cx + hx + 1, cy + hy + 1);
    }
  }
}

void TChart::drawMarks(TCanvas& canvas, const Layout& l, const Range& x, const Range& y) {
  const TRect& p = l.plot;
  const int d = l.depth;
  TRect last = Rect(0, 0, 0, 0);
  for (const auto& s : series_) {
    if (!s->Active() || !s->Marks().Visible()) continue;
    for (int i = 0; i < s->Count(); ++i) {
      const int cx = int(std::lround(p.Left + (i - x.min) / (x.max - x.min) * p.Width())) + d / 2;
      const double value = s->YValue(i);
      const int py = int(std::lround(p.Bottom - (value - y.min) / (y.max - y.min) * p.Height())) - d;
      if (cx < p.Left || cx > p.Right + d || py < p.Top - d || py > p.Bottom) continue;
      const std::string text = s->MarkText(i);
      const int w = canvas.TextWidth(text) + 6, h = l.textHeight + 2;
      const int top = std::max(l.bounds.Top + 1, py - 8 - h);
      const TRect box = Rect(cx - w / 2, top, cx - w / 2 + w, top + h);
      // Marks that would cover the one drawn before are left out, so each stays readable.
      if (Overlaps(box, last)) continue;
      canvas.Pen().SetColor(kFrameColor);
      canvas.MoveTo(cx, box.Bottom);
      canvas.LineTo(cx, py);
      canvas.Brush().SetColor(kMarkColor);
      canvas.Rectangle(box);
      canvas.Brush().SetStyle(bsClear);
      canvas.Font().SetColor(clBlack);
      canvas.TextOut(box.Left + 3, box.Top + 1, text);
      canvas.Brush().SetStyle(bsSolid);
      last = box;
    }
  }
}

void TChart::drawLabels(TCanvas& canvas, const Layout& l, const Range& x) {
  const TRect& p = l.plot;
  const TChartSeries* source = nullptr;
  for (const auto& s : series_)
    if (s->Active() && (!source || s->Count() > source->Count())) source = s.get();
  if (!source) return;
  canvas.Brush().SetStyle(bsClear);
  canvas.Font().SetColor(clBlack);
  int lastRight = INT32_MIN;
  for (int i = 0; i < source->Count(); ++i) {
    const int cx = int(std::lround(p.Left + (i - x.min) / (x.max - x.min) * p.Width()));
    if (cx < p.Left || cx > p.Right) continue;
    const std::string text = source->XLabel(i).empty() ? IntToStr(i) : source->XLabel(i);
    const int w = canvas.TextWidth(text);
    const int left = cx - w / 2;
    // A label that would touch the one before it is left out.
    if (left < lastRight + 4) continue;
    canvas.Pen().SetColor(kFrameColor);
    canvas.MoveTo(cx, p.Bottom);
    canvas.LineTo(cx, p.Bottom + 4);
    canvas.TextOut(left, p.Bottom + 5, text);
    lastRight = left + w;
  }
}

std::vector<TChart::LegendEntry> TChart::legendEntries() const {
  std::vector<LegendEntry> entries;
  const TChartSeries* only = nullptr;
  for (const auto& s : series_)
    if (s->Active()) {
      // A series without a title is named by nothing in the legend.
      if (!s->Title().empty()) entries.push_back({s->SeriesColor(), s->Title()});
      only = s.get();
    }
  if (visibleSeriesCount() == 1 && only->Count() > 0) {
    entries.clear();
    for (int i = 0; i < only->Count(); ++i)
      entries.push_back({only->ValueColor(i), only->XLabel(i) + "  " + NumberText(only->YValue(i))});
  }
  return entries;
}

bool TChart::TextRoom(TSize& needed, TSize& room) const {
  TBitmap scratch;
  scratch.SetSize(1, 1);
  const Layout l = const_cast<TChart*>(this)->layout(scratch.Canvas(), ClientRect());
  const int count = int(legendEntries().size());
  if (l.legend.Right <= l.legend.Left || count == 0) return false;
  const int rows = (count + l.legendColumns - 1) / l.legendColumns;
  needed = TSize{l.legend.Width(), rows * (l.textHeight + 2) + 6};
  room = TSize{l.legend.Width(), l.legend.Height()};
  return true;
}

void TChart::drawLegend(TCanvas& canvas, const Layout& l) {
  const TRect& r = l.legend;
  if (r.Right <= r.Left) return;
  const std::vector<LegendEntry> entries = legendEntries();
  canvas.Pen().SetColor(kFrameColor);
  canvas.Brush().SetColor(clWhite);
  canvas.Rectangle(r);
  const int th = l.textHeight;
  int x = r.Left, y = r.Top + 3;
  for (const LegendEntry& e : entries) {
    if (y + th > r.Bottom - 2) {
      x += l.legendColumnWidth;
      y = r.Top + 3;
      if (x >= r.Right) break;
    }
    canvas.Brush().SetColor(e.color);
    canvas.Pen().SetColor(clBlack);
    canvas.Rectangle(x + 4, y + th / 2 - 4, x + 14, y + th / 2 + 5);
    canvas.Brush().SetStyle(bsClear);
    canvas.Font().SetColor(clBlack);
    canvas.TextOut(x + 19, y, e.text);
    canvas.Brush().SetStyle(bsSolid);
    y += th + 2;
  }
}

void TChart::Draw(TCanvas& canvas, const TRect& rect) {
  const Layout l = layout(canvas, rect);
  Range x, y;
  viewRanges(x, y);
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(clWhite);
  canvas.FillRect(rect);
  drawFrame(canvas, l, y);
  drawSeries(canvas, l, x, y);
  drawMarks(canvas, l, x, y);
  drawLabels(canvas, l, x);
  drawLegend(canvas, l);
  canvas.Brush().SetStyle(bsClear);
  canvas.Font().SetColor(clBlack);
  if (!title_.empty()) {
    TFont bold(*Font());
    bold.SetStyle(bold.Style() | fsBold);
    canvas.SetFont(bold);
    canvas.TextOut((rect.Left + rect.Right - canvas.TextWidth(title_)) / 2, l.titleTop, title_);
    canvas.SetFont(*Font());
  }
  if (!leftAxisTitle_.empty()) {
    // The axis title reads upwards: drawn level into a bitmap and turned a quarter left.
    TBitmap level;
    level.SetPixelFormat(pf24bit);
    level.Canvas().SetFont(*Font());
    const int w = level.Canvas().TextWidth(leftAxisTitle_), h = l.textHeight;
    level.SetSize(std::max(1, w), std::max(1, h));
    level.Canvas().Brush().SetColor(clWhite);
    level.Canvas().FillRect(Rect(0, 0, level.Width(), level.Height()));
    level.Canvas().Font().SetColor(clBlack);
    level.Canvas().TextOut(0, 0, leftAxisTitle_);
    TBitmap turned;
    turned.SetPixelFormat(pf24bit);
    turned.SetSize(level.Height(), level.Width());
    for (int row = 0; row < level.Height(); ++row) {
      const uint8_t* src = level.ScanLine(row);
      for (int col = 0; col < level.Width(); ++col) {
        uint8_t* dst = turned.ScanLine(level.Width() - 1 - col) + row * 3;
        std::copy(src + col * 3, src + col * 3 + 3, dst);
      }
    }
    const int centre = (l.plot.Top + l.plot.Bottom) / 2;
    canvas.Draw(l.axisTitleLeft, centre - turned.Height() / 2, turned);
  }
  canvas.Brush().SetStyle(bsSolid);
}

void TChart::drawInto(TBitmap& bitmap, TPixelFormat format) {
  bitmap.SetPixelFormat(format);
  bitmap.SetSize(std::max(1, Width()), std::max(1, Height()));
  Draw(bitmap.Canvas(), Rect(0, 0, bitmap.Width(), bitmap.Height()));
}

void TChart::DrawToBitmap(TBitmap& bitmap) { drawInto(bitmap, pf24bit); }

void TChart::SaveToBitmapFile(const std::string& fileName) {
  TBitmap bitmap;
  DrawToBitmap(bitmap);
  bitmap.SaveToFile(fileName);
}

void TChart::CopyToClipboardBitmap() {
  TBitmap bitmap;
  DrawToBitmap(bitmap);
  Clipboard()->Assign(&bitmap);
}

void TChart::Paint() {
  // The window's copy is drawn in 32 bits a pixel, which the painter fills several times
  // faster than 24; it looks the same.
  TBitmap bitmap;
  drawInto(bitmap, pf32bit);
  TCanvas& canvas = *Canvas();
  canvas.Draw(0, 0, bitmap);
  if (drag_ == Drag::Zoom) {
    canvas.Brush().SetStyle(bsClear);
    canvas.Pen().SetColor(clBlack);
    canvas.Pen().SetStyle(psDot);
    canvas.Rectangle(std::min(dragStart_.X, dragNow_.X), std::min(dragStart_.Y, dragNow_.Y),
                     std::max(dragStart_.X, dragNow_.X) + 1, std::max(dragStart_.Y, dragNow_.Y) + 1);
    canvas.Pen().SetStyle(psSolid);
    canvas.Brush().SetStyle(bsSolid);
  }
  if (OnPaint) OnPaint(this);
}

void TChart::pixelsToRanges(const TRect& r, Range& x, Range& y) {
  TBitmap scratch;
  scratch.SetPixelFormat(pf24bit);
  scratch.SetSize(1, 1);
  const TRect plot = layout(scratch.Canvas(), ClientRect()).plot;
  Range vx, vy;
  viewRanges(vx, vy);
  const double w = std::max(1, plot.Width()), h = std::max(1, plot.Height());
  x.min = vx.min + (r.Left - plot.Left) / w * (vx.max - vx.min);
  x.max = vx.min + (r.Right - plot.Left) / w * (vx.max - vx.min);
  y.max = vy.min + (plot.Bottom - r.Top) / h * (vy.max - vy.min);
  y.min = vy.min + (plot.Bottom - r.Bottom) / h * (vy.max - vy.min);
}

void TChart::ZoomRect(const TRect& rect) {
  if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
  Range x, y;
  pixelsToRanges(rect, x, y);
  viewX_ = x;
  viewY_ = y;
  ownRanges_ = true;
  zoomed_ = true;
  scrollX_ = scrollY_ = 0;
  Changed();
  if (OnZoom) OnZoom(this);
}

void TChart::UndoZoom() {
  ownRanges_ = false;
  zoomed_ = false;
  scrollX_ = scrollY_ = 0;
  Changed();
  if (OnUndoZoom) OnUndoZoom(this);
}

void TChart::ScrollBy(int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  Range x, y;
  pixelsToRanges(Rect(0, 0, dx < 0 ? -dx : dx, dy < 0 ? -dy : dy), x, y);
  Range vx, vy;
  viewRanges(vx, vy);
  // The distance in chart units that the drag covered.
  const double ux = (x.max - x.min) * (dx < 0 ? 1 : -1);
  const double uy = (y.max - y.min) * (dy < 0 ? -1 : 1);
  viewX_ = {vx.min + ux, vx.max + ux};
  viewY_ = {vy.min + uy, vy.max + uy};
  ownRanges_ = true;
  scrollX_ += ux;
  scrollY_ += uy;
  Changed();
  if (OnScroll) OnScroll(this);
}

void TChart::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft || Button == mbRight) {
    drag_ = Button == mbLeft ? Drag::Zoom : Drag::Pan;
    dragStart_ = dragNow_ = Point(X, Y);
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TChart::MouseMove(TShiftState Shift, int X, int Y) {
  if (drag_ == Drag::Zoom) {
    dragNow_ = Point(X, Y);
    Invalidate();
  } else if (drag_ == Drag::Pan) {
    const TPoint before = dragNow_;
    dragNow_ = Point(X, Y);
    ScrollBy(X - before.X, Y - before.Y);
  }
  TCustomControl::MouseMove(Shift, X, Y);
}

void TChart::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && drag_ == Drag::Zoom) {
    drag_ = Drag::None;
    const int dx = X - dragStart_.X, dy = Y - dragStart_.Y;
    // Right and down zooms into the rectangle; a drag to the left or up undoes the zoom.
    if (dx > 3 && dy > 3)
      ZoomRect(Rect(dragStart_.X, dragStart_.Y, X, Y));
    else if (dx < -3 || dy < -3)
      UndoZoom();
    else
      Invalidate();
  } else if (Button == mbRight && drag_ == Drag::Pan) {
    drag_ = Drag::None;
  }
  TCustomControl::MouseUp(Button, Shift, X, Y);
}
