// The chart control: series and their marks, zooming and panning by the mouse with
// their events, and drawing whatever the points hold (no points, one, thousands, values
// that are no numbers, huge or negative ones) in 2D and 3D with lines and pointers.
#include <cmath>
#include <limits>

#include "GuiTestSupport.h"
#include "platform/graphics/Graphics.h"
#include "platform/services/Charts.h"

namespace {

using Chart = GuiTest;

struct Shown : Host {
  TChart* chart = Add<TChart>(0, 0, 420, 300);
  Shown() : Host(420, 300) {
    form->Show();
    GuiTesting::ProcessEvents();
  }
};

// The top row of the series colour in column x, -1 when the column has none.
int TopOf(TBitmap& b, int x, TColor color) {
  for (int y = 0; y < b.Height(); ++y)
    if (b.Canvas().Pixels(x, y) == color) return y;
  return -1;
}

}  // namespace

TEST_F(Chart, SeriesHoldTheirPointsAndMarksSayThemInEachStyle) {
  Shown s;
  TBarSeries* bars = s.chart->AddBarSeries("counts");
  TLineSeries* line = s.chart->AddLineSeries();
  EXPECT_EQ(s.chart->SeriesCount(), 2);
  EXPECT_EQ(s.chart->Series(1), line);
  EXPECT_THROW(s.chart->Series(2), EListError);
  bars->Add(6, "100");
  bars->Add(2, "200", clBlue);
  EXPECT_EQ(bars->ValueColor(0), bars->SeriesColor());
  EXPECT_EQ(bars->ValueColor(1), clBlue);
  EXPECT_EQ(bars->YValuesTotal(), 8);
  line->AssignValues(*bars);
  ASSERT_EQ(line->Count(), 2);
  EXPECT_EQ(line->XLabel(1), "200");
  EXPECT_THROW(line->YValue(2), EListError);
  const std::pair<TSeriesMarksStyle, std::string> styles[] = {{smsValue, "6"},
                                                              {smsPercent, "75 %"},
                                                              {smsLabel, "100"},
                                                              {smsPercentTotal, "75 % of 8"},
                                                              {smsLabelPercentTotal, "100 75 % of 8"}};
  for (const auto& [style, text] : styles) {
    bars->Marks().SetStyle(style);
    EXPECT_EQ(bars->MarkText(0), text);
  }
  bars->Clear();
  EXPECT_EQ(bars->Count(), 0);
}

TEST_F(Chart, SeriesWithoutTitlesTakeNoLegendRoom) {
  Shown s;
  TBarSeries* bars = s.chart->AddBarSeries();
  TLineSeries* line = s.chart->AddLineSeries();
  bars->Add(3, "a");
  line->Add(1);
  TBitmap b;
  s.chart->DrawToBitmap(b);
  const TRect full = Rect(0, 0, b.Width(), b.Height());
  const TRect withLegend = s.chart->PlotRect(b.Canvas(), full);
  s.chart->SetLegendVisible(false);
  EXPECT_EQ(s.chart->PlotRect(b.Canvas(), full).Right, withLegend.Right) << "two untitled series, no legend box";
  // One titled series among them is named, and the legend narrows the plot.
  s.chart->SetLegendVisible(true);
  bars->SetTitle("counts");
  EXPECT_LT(s.chart->PlotRect(b.Canvas(), full).Right, withLegend.Right);
}

TEST_F(Chart, BarsRiseInProportionAndTheMouseZoomsPansAndUndoes) {
  Shown s;
  s.chart->SetLegendVisible(false);
  TBarSeries* bars = s.chart->AddBarSeries();
  bars->SetSeriesColor(clRed);
  for (double v : {4.0, 2.0, 1.0}) bars->Add(v, "x");
  TBitmap b;
  s.chart->DrawToBitmap(b);
  // The plot's thirds hold one bar each; their tops stand at 4 : 2 : 1 above one baseline.
  const TRect plot = s.chart->PlotRect(b.Canvas(), Rect(0, 0, b.Width(), b.Height()));
  int tops[3], bottom = -1;
  for (int i = 0; i < 3; ++i) {
    const int x = plot.Left + plot.Width() * (2 * i + 1) / 6;
    tops[i] = TopOf(b, x, clRed);
    ASSERT_GE(tops[i], 0) << i;
    int y = tops[i];
    while (y < b.Height() && b.Canvas().Pixels(x, y) == clRed) ++y;
    if (i == 0) bottom = y;
    EXPECT_EQ(y, bottom) << i;
  }
  EXPECT_NEAR(double(bottom - tops[1]) / (bottom - tops[0]), 0.5, 0.02);
  EXPECT_NEAR(double(bottom - tops[2]) / (bottom - tops[0]), 0.25, 0.02);

  int zooms = 0, undos = 0, scrolls = 0;
  s.chart->OnZoom = [&](TObject*) { ++zooms; };
  s.chart->OnUndoZoom = [&](TObject*) { ++undos; };
  s.chart->OnScroll = [&](TObject*) { ++scrolls; };
  // Dragging right and down zooms into the rectangle: the first bar fills the view.
  GuiTesting::MouseDown(s.chart, mbLeft, plot.Left + 2, plot.Top + 2);
  GuiTesting::MouseMove(s.chart, plot.Left + plot.Width() / 3 - 2, plot.Bottom - 2, TShiftState{ssLeft});
  GuiTesting::MouseUp(s.chart, mbLeft, plot.Left + plot.Width() / 3 - 2, plot.Bottom - 2);
  EXPECT_EQ(zooms, 1);
  EXPECT_TRUE(s.chart->Zoomed());
  s.chart->DrawToBitmap(b);
  int red = 0;
  for (int x = plot.Left; x < plot.Right; ++x) red += b.Canvas().Pixels(x, plot.Bottom - 3) == clRed ? 1 : 0;
  EXPECT_GT(red, plot.Width() * 0.65) << "the first bar fills most of the view";
  EXPECT_LT(red, plot.Width() * 0.8);
  // A right-button drag pans; the view keeps its zoom.
  GuiTesting::MouseDown(s.chart, mbRight, 200, 150);
  GuiTesting::MouseMove(s.chart, 150, 150, TShiftState{ssRight});
  GuiTesting::MouseUp(s.chart, mbRight, 150, 150);
  EXPECT_GE(scrolls, 1);
  EXPECT_GT(s.chart->ScrollX(), 0);
  EXPECT_TRUE(s.chart->Zoomed());
  // Dragging up and left undoes zoom and pan.
  GuiTesting::MouseDown(s.chart, mbLeft, 200, 200);
  GuiTesting::MouseMove(s.chart, 100, 100, TShiftState{ssLeft});
  GuiTesting::MouseUp(s.chart, mbLeft, 100, 100);
  EXPECT_EQ(undos, 1);
  EXPECT_FALSE(s.chart->Zoomed());
  EXPECT_EQ(s.chart->ScrollX(), 0);
  TBitmap again;
  s.chart->DrawToBitmap(again);
  EXPECT_EQ(TopOf(again, plot.Left + plot.Width() / 6, clRed), tops[0]);
}

TEST_F(Chart, AnyPointsDrawInEveryViewWithoutHarm) {
  Shown s;
  TBarSeries* bars = s.chart->AddBarSeries("bars");
  TLineSeries* line = s.chart->AddLineSeries("line");
  line->Pointer().SetVisible(true);
  bars->Marks().SetVisible(true);
  const double odd[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -5, 1e300,
                        0};
  TBitmap b;
  for (int round = 0; round < 4; ++round) {
    s.chart->SetView3D(round % 2 == 1);
    s.chart->SetMaxPointsPerPage(round >= 2 ? 7 : 0);
    bars->Clear();
    line->Clear();
    s.chart->DrawToBitmap(b);  // no points
    for (double v : odd) {
      bars->Add(v, "odd");
      line->Add(v);
    }
    for (int i = 0; i < 2000; ++i) {
      bars->Add(i % 17, "label " + std::to_string(i));
      line->Add(i % 5);
    }
    s.chart->DrawToBitmap(b);
    s.chart->ZoomRect(Rect(60, 40, 62, 41));
    s.chart->ScrollBy(-3000, 5000);
    s.chart->DrawToBitmap(b);
    s.chart->UndoZoom();
    GuiTesting::ProcessEvents();
  }
  // Not-a-number and infinite values count as 0; the rest keep their value.
  EXPECT_EQ(bars->YValue(0), 0);
  EXPECT_EQ(bars->YValue(1), 0);
  EXPECT_EQ(bars->YValue(2), -5);
  // A chart too small for its parts still draws.
  s.chart->SetBounds(0, 0, 3, 2);
  s.chart->DrawToBitmap(b);
  EXPECT_EQ(b.Width(), 3);
}
