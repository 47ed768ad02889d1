#pragma once
// A small chart control: bar and line series of labelled values on a white panel, with
// a title, a value axis on the left with its title, the point labels along the bottom,
// marks above the points, a legend, and an optional depth (3D). The user zooms by
// dragging a rectangle with the left button to the right and down, undoes the zoom by
// dragging the other way, and pans with the right button. One drawing routine serves
// the window, the clipboard and the saved bitmap, so all three look the same.
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Graphics.h"
#include "platform/gui/Controls.h"

class TChart;

// A point's colour that stands for the colour of its series.
constexpr TColor clTeeColor = TColor(0x20000000);

// What the marks above the points show (numbered as the chart library numbers them).
enum TSeriesMarksStyle {
  smsValue = 0,              // the value
  smsPercent = 1,            // the value's share of the series total: "75 %"
  smsLabel = 2,              // the point label
  smsPercentTotal = 6,       // "75 % of 4"
  smsLabelPercentTotal = 7,  // "label 75 % of 4"
};

class TSeriesMarks {
 public:
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  TSeriesMarksStyle Style() const { return style_; }
  void SetStyle(TSeriesMarksStyle s) { style_ = s; }

 private:
  bool visible_ = false;
  TSeriesMarksStyle style_ = smsLabel;
};

enum TSeriesPointerStyle { psRectangle, psCircle };

// The small figures a line series draws at its points.
class TSeriesPointer {
 public:
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  int HorizSize() const { return horizSize_; }
  void SetHorizSize(int v) { horizSize_ = v < 1 ? 1 : v; }
  int VertSize() const { return vertSize_; }
  void SetVertSize(int v) { vertSize_ = v < 1 ? 1 : v; }
  TColor BrushColor() const { return brushColor_; }
  void SetBrushColor(TColor c) { brushColor_ = c; }
  TSeriesPointerStyle Style() const { return style_; }
  void SetStyle(TSeriesPointerStyle s) { style_ = s; }

 private:
  bool visible_ = true;
  int horizSize_ = 4, vertSize_ = 4;
  TColor brushColor_ = clTeeColor;
  TSeriesPointerStyle style_ = psRectangle;
};

// One series of points: a value, a label and a colour each, in the order added.
class TChartSeries {
 public:
  virtual ~TChartSeries() = default;
  TChartSeries(const TChartSeries&) = delete;
  TChartSeries& operator=(const TChartSeries&) = delete;

  TChart* ParentChart() const { return chart_; }
  void Clear();
  // Adds a point and returns its index.
  int Add(double value, const std::string& label = std::string(), TColor color = clTeeColor);
  int Count() const { return int(points_.size()); }
  double YValue(int index) const;
  std::string XLabel(int index) const;
  // The colour the point is drawn in (the series colour for clTeeColor).
  TColor ValueColor(int index) const;
  // The points of another series take the place of this one's.
  void AssignValues(const TChartSeries& source);
  double YValuesTotal() const;
  // The text of a point's mark in the marks' style.
  std::string MarkText(int index) const;

  // An inactive series is not drawn and takes no part in the axes.
  bool Active() const { return active_; }
  void SetActive(bool v);
  TColor SeriesColor() const { return color_; }
  void SetSeriesColor(TColor c);
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& t);
  TSeriesMarks& Marks() { return marks_; }
  const TSeriesMarks& Marks() const { return marks_; }
  void Repaint();

 protected:
  explicit TChartSeries(TChart* chart);

 private:
  friend class TChart;
  struct Point {
    double value;
    std::string label;
    TColor color;
  };
  TChart* chart_;
  std::vector<Point> points_;
  bool active_ = true;
  TColor color_ = clRed;
  std::string title_;
  TSeriesMarks marks_;
};

class TBarSeries : public TChartSeries {
 private:
  friend class TChart;
  explicit TBarSeries(TChart* chart) : TChartSeries(chart) {}
};

class TLineSeries : public TChartSeries {
 public:
  TSeriesPointer& Pointer() { return pointer_; }
  const TSeriesPointer& Pointer() const { return pointer_; }

 private:
  friend class TChart;
  explicit TLineSeries(TChart* chart) : TChartSeries(chart) {}
  TSeriesPointer pointer_;
};

class TChart : public TCustomControl {
 public:
  explicit TChart(TComponent* AOwner);
  ~TChart() override;

  // The series belong to the chart; their index is the order of adding.
  TBarSeries* AddBarSeries(const std::string& title = std::string());
  TLineSeries* AddLineSeries(const std::string& title = std::string());
  int SeriesCount() const { return int(series_.size()); }
  TChartSeries* Series(int index) const;

  const std::string& TitleText() const { return title_; }
  void SetTitleText(const std::string& text);
  const std::string& LeftAxisTitle() const { return leftAxisTitle_; }
  void SetLeftAxisTitle(const std::string& text);
  bool LegendVisible() const { return legendVisible_; }
  void SetLegendVisible(bool v);
  bool View3D() const { return view3D_; }
  void SetView3D(bool v);
  // The number of points shown side by side (0: all); the others are reached by panning.
  int MaxPointsPerPage() const { return maxPointsPerPage_; }
  void SetMaxPointsPerPage(int n);

  // Zooming and panning. Zoomed is true after a zoom until UndoZoom, which also brings a
  // panned view home. ScrollX and ScrollY say how far (in points and in values) the view
  // was panned from where zooming left it; both are 0 when it was not panned.
  bool Zoomed() const { return zoomed_; }
  void UndoZoom();
  // Zooms into the part of the plot under a rectangle of client pixels.
  void ZoomRect(const TRect& rect);
  // Pans the view by a distance in client pixels (as a right-button drag does).
  void ScrollBy(int dx, int dy);
  double ScrollX() const { return scrollX_; }
  double ScrollY() const { return scrollY_; }
  TNotifyEvent OnZoom;
  TNotifyEvent OnUndoZoom;
  TNotifyEvent OnScroll;

  // Draws the whole chart into rect of a canvas.
  void Draw(TCanvas& canvas, const TRect& rect);
  // The chart at its size in a 24-bit bitmap, on white.
  void DrawToBitmap(TBitmap& bitmap);
  // That bitmap written as a BMP file (replacing the file only when complete; raises on failure).
  void SaveToBitmapFile(const std::string& fileName);
  // That bitmap put on the clipboard.
  void CopyToClipboardBitmap();
  // The plot area (inside the axes, the front plane in 3D) for a chart drawn into rect.
  TRect PlotRect(TCanvas& canvas, const TRect& rect);
  // The legend's room: what it needs to name every entry, and what the chart gives it.
  bool TextRoom(TSize& needed, TSize& room) const override;

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

  // For the series: the chart changed and paints again.
  void Changed();

 protected:
  void Paint() override;

 private:
  void drawInto(TBitmap& bitmap, TPixelFormat format);
  struct Range {
    double min = 0, max = 1;
  };
  struct Layout;
  // Takes a new series into the chart with its colour by place and its title.
  template <class S>
  S* addSeries(S* s, const std::string& title);
  Layout layout(TCanvas& canvas, const TRect& rect);
  // The ranges shown now: the automatic ones, or those zooming and panning left.
  void viewRanges(Range& x, Range& y) const;
  void homeRanges(Range& x, Range& y) const;
  void drawFrame(TCanvas& canvas, const Layout& l, const Range& y);
  void drawSeries(TCanvas& canvas, const Layout& l, const Range& x, const Range& y);
  void drawLabels(TCanvas& canvas, const Layout& l, const Range& x);
  void drawMarks(TCanvas& canvas, const Layout& l, const Range& x, const Range& y);
  void drawLegend(TCanvas& canvas, const Layout& l);
  // The legend's entries: the active series by title, or the points of the only one.
  struct LegendEntry {
    TColor color;
    std::string text;
  };
  std::vector<LegendEntry> legendEntries() const;
  int visibleSeriesCount() const;
  int pointCount() const;
  // The rectangle of client pixels back in chart ranges.
  void pixelsToRanges(const TRect& r, Range& x, Range& y);

  std::vector<std::unique_ptr<TChartSeries>> series_;
  std::string title_, leftAxisTitle_;
  bool legendVisible_ = true, view3D_ = false;
  int maxPointsPerPage_ = 0;
  // Set while the view is zoomed or panned: the ranges it shows.
  bool zoomed_ = false, ownRanges_ = false;
  Range viewX_, viewY_;
  double scrollX_ = 0, scrollY_ = 0;
  // A drag in progress.
  enum class Drag { None, Zoom, Pan } drag_ = Drag::None;
  TPoint dragStart_, dragNow_;
};
