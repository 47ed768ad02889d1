// The Shotgraph window in the running program: the counts per focal length, ISO,
// aperture and shutter time of a folder of pictures tagged by exiftool, against the
// counts worked out here from exiftool's own reading; the chart's bars where the
// counts say, the same picture in the window, on the clipboard and in the saved file;
// stopping, closing the window and closing the program during a run; the path list;
// the lens-equivalence list editor writing its file whole or not at all.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <functional>

#include "ShotgraphTestSupport.h"
#include "ToolWindowFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/Charts.h"
#include "tools/ExifInfoUnit2.h"
#include "tools/UnitAnalize.h"

namespace fs = std::filesystem;
using shots::Shot;

namespace {

struct ChartPoint {
  std::string label;
  double value;
};

std::vector<ChartPoint> Points(const TChartSeries* series) {
  std::vector<ChartPoint> points;
  for (int i = 0; i < series->Count(); ++i) points.push_back({series->XLabel(i), series->YValue(i)});
  return points;
}

// The series' bars in order, as label and count.
using Bars = std::vector<std::pair<std::string, int>>;
Bars BarsOf(const TChartSeries* series) {
  Bars bars;
  for (const ChartPoint& p : Points(series)) bars.emplace_back(p.label, int(p.value));
  return bars;
}
template <typename Map, typename Label>
Bars Labelled(const Map& counts, Label label) {
  Bars bars;
  for (const auto& [key, count] : counts) bars.emplace_back(label(key), count);
  return bars;
}

double Number(const std::string& text) { return text.empty() ? -1 : std::stod(text); }

// Halves to the even neighbour, as the window rounds shutter fractions.
long long RoundHalfEven(double v) { return std::llround(std::nearbyint(v)); }

// The shutter label of an exposure in seconds, as the "1/100" option writes it.
std::string FractionLabel(double t) {
  if (t < 1) return "1/" + std::to_string(RoundHalfEven(1 / t));
  return std::to_string(RoundHalfEven(t));
}

// The folder of pictures of the scan tests: camera values of every kind, files that
// lack some of them, extensions in both cases, a file without Exif data, one that is
// no picture, an exposure of 0 seconds and a sub-folder.
std::vector<Shot> ScanShots() {
  auto shot = [](const char* name, const char* focal, const char* f, const char* t, const char* iso) {
    Shot s{name, {}};
    if (*focal) s.tags.push_back(std::string("-FocalLength=") + focal);
    if (*f) s.tags.push_back(std::string("-FNumber=") + f);
    if (*t) s.tags.push_back(std::string("-ExposureTime=") + t);
    if (*iso) s.tags.push_back(std::string("-ISO=") + iso);
    return s;
  };
  return {shot("a01.jpg", "50", "2.8", "1/250", "100"),    shot("a02.jpg", "50", "2.8", "1/250", "100"),
          shot("a03.jpg", "18", "4", "1/60", "100"),        shot("a04.JPG", "85.5", "5.6", "0.5", "200"),
          shot("a05.jpeg", "27.49", "11", "2", "1600"),     shot("A06.JPEG", "24", "8", "30", "6400"),
          shot("a07.jpe", "200", "16", "1/4000", "100"),    shot("a08.jpg", "35", "2.8", "1/250", "100"),
          shot("a09.jpg", "35", "4", "", ""),               shot("a10.jpg", "", "", "", ""),
          shot("a11.jpg", "50", "", "0", "100"),            shot("sub/b01.jpg", "70", "4", "1/125", "400"),
          shot("sub/deeper/b02.thm", "70", "2.8", "1/125", "400")};
}

}  // namespace

class ShotgraphTest : public ToolWindowTest {
 protected:
  void SetUp() override {
    ToolWindowTest::SetUp();
    folder_ = Pictures() + "shots";
  }

  // Runs the scan over folder, the way the window is used: shown, then Start.
  void Scan(const std::string& folder) {
    Form1->QzDirTree211->SetSelectedPath(folder + "/");
    if (!FormAnalize->Visible()) FormAnalize->Show();
    FormAnalize->StartAnalizing->Click();
  }

  // The counts the window should find, worked out from exiftool's values of the pictures
  // (those of the sub-folders only with subs): label -> count per quantity.
  struct Expected {
    std::map<int, int> focal;
    std::map<int, int> iso;
    std::map<double, int> aperture;
    std::map<double, int> shutter;  // by exposure in seconds
    int files = 0, withFocal = 0;
  };
  Expected FromExiftool(bool subs) {
    Expected e;
    for (auto& [file, tags] : shots::ExiftoolValues(folder_, {"FocalLength", "FNumber", "ExposureTime", "ISO"})) {
      if (!subs && file.find("/sub/") != std::string::npos) continue;
      ++e.files;
      if (!tags["FocalLength"].empty()) {
        ++e.withFocal;
        ++e.focal[int(std::floor(Number(tags["FocalLength"]) + 0.5))];
      }
      if (!tags["ISO"].empty() && Number(tags["ISO"]) != 0) ++e.iso[int(Number(tags["ISO"]))];
      if (!tags["FNumber"].empty()) ++e.aperture[Number(tags["FNumber"])];
      if (!tags["ExposureTime"].empty() && Number(tags["ExposureTime"]) > 0) ++e.shutter[Number(tags["ExposureTime"])];
    }
    return e;
  }

  void CheckCounts(const Expected& e) {
    EXPECT_EQ(FormAnalize->FTotalFiles, e.files);
    EXPECT_EQ(FormAnalize->FAnalysedFiles, e.withFocal);
    // Focal lengths and ISO numbers ascending, labelled by the number; apertures ascending
    // by their number ("F4.0" before "F11.0"); shutter times the longest exposure first.
    auto number = [](int n) { return std::to_string(n); };
    EXPECT_EQ(BarsOf(FormAnalize->BarSeries1), Labelled(e.focal, number));
    EXPECT_EQ(BarsOf(FormAnalize->BarSeries2), Labelled(e.iso, number));
    EXPECT_EQ(BarsOf(FormAnalize->BarSeries3), Labelled(e.aperture, [](double f) {
                char label[16];
                snprintf(label, sizeof label, "F%.1f", f);
                return std::string(label);
              }));
    EXPECT_EQ(BarsOf(FormAnalize->BarSeries4),
              Labelled(std::map<double, int, std::greater<>>(e.shutter.begin(), e.shutter.end()), FractionLabel));
  }

  // kMany copies of one picture tagged by exiftool: a scan long enough to be stopped.
  static constexpr int kMany = 400;
  void ManyShots(const std::vector<std::string>& tags) {
    shots::WriteShots(folder_, {{"s000.jpg", tags}});
    for (int i = 1; i < kMany; ++i)
      fs::copy_file(folder_ + "/s000.jpg", folder_ + "/s" + std::to_string(1000 + i) + ".jpg");
  }

  std::string folder_;
};

// The counts of the folder and of its sub folders; the chart's bitmap has its bars where the
// counts say and is the same in the window, on the clipboard and in the saved file.
TEST_F(ShotgraphTest, CountsPerValueMatchExiftoolOverTheFolderAndItsSubFoldersAndTheChartShowsThem) {
  KIVO2_REQUIRE_TOOL("exiftool");
  shots::WriteShots(folder_, ScanShots());
  testsupport::WriteFile(folder_ + "/notes.txt", "not a picture");
  FormAnalize->ZqSetforRealLength->SetDown(true);
  Scan(folder_);
  CheckCounts(FromExiftool(false));
  // Six files of ISO 100: one bar of 6 beside the bars of 1.
  EXPECT_EQ(Points(FormAnalize->BarSeries2).front().value, 6);
  EXPECT_TRUE(FormAnalize->StartAnalizing->Visible());
  EXPECT_FALSE(FormAnalize->StopAnalizing->Visible());
  EXPECT_EQ(FormAnalize->StatusBar1->SimpleText(), "Files analyzed: 10 out of total: 11");
  // A complete run marks the charts up to date; another folder in the main window marks
  // them out of date again.
  EXPECT_EQ(FormAnalize->StatusPanel->Color(), TColor(0xC0DCC0));
  Form1->setWithQzDirPath(true);
  EXPECT_EQ(FormAnalize->StatusPanel->Color(), TColor(0xCBDCED));
  EXPECT_EQ(FormAnalize->Caption(), "Exif analize: " + folder_ + "/");

  FormAnalize->ChB_Subs->SetChecked(true);
  Scan(folder_);
  const Expected e = FromExiftool(true);
  CheckCounts(e);

  // The ISO chart's bitmap: its bars where those counts say.
  TChart* chart = FormAnalize->Chart6;
  chart->SetLegendVisible(false);
  chart->SetBounds(0, 0, 640, 400);
  TBitmap picture;
  chart->DrawToBitmap(picture);
  ASSERT_EQ(picture.Width(), 640);
  // The bars are the runs of columns holding the series colour (pure red).
  struct Bar {
    int left, right, top, bottom;
  };
  std::vector<Bar> bars;
  for (int x = 0; x < picture.Width(); ++x) {
    int top = -1, bottom = -1;
    for (int y = 0; y < picture.Height(); ++y)
      if (picture.Canvas().Pixels(x, y) == clRed) {
        if (top < 0) top = y;
        bottom = y;
      }
    if (top < 0) continue;
    if (!bars.empty() && bars.back().right == x - 1)
      bars.back().right = x;
    else
      bars.push_back({x, x, top, bottom});
  }
  ASSERT_EQ(bars.size(), e.iso.size());
  // One baseline; heights in proportion to the counts, in the order of the ISO numbers.
  int tallest = 0, most = 0;
  for (const Bar& b : bars) tallest = std::max(tallest, b.bottom - b.top + 1);
  for (auto [iso, count] : e.iso) most = std::max(most, count);
  size_t i = 0;
  for (auto [iso, count] : e.iso) {
    EXPECT_EQ(bars[i].bottom, bars[0].bottom) << "ISO " << iso;
    EXPECT_NEAR(bars[i].bottom - bars[i].top + 1, double(tallest) * count / most, 1.5) << "ISO " << iso;
    EXPECT_GT(bars[i].right - bars[i].left, 10);
    if (i > 0) {
      EXPECT_GT(bars[i].left, bars[i - 1].right);
    }
    ++i;
  }

  // The window shows that very picture, and so do the clipboard and the saved file
  // (read back by ImageMagick).
  FormAnalize->PageControl1->SetActivePage(FormAnalize->TabSheet3);
  FormAnalize->PageControl1Change(nullptr);
  FormAnalize->SetBounds(0, 0, 800, 600);
  GuiTesting::ProcessEvents();
  TBitmap shown, drawn, copied;
  ASSERT_TRUE(GuiTesting::Grab(chart, shown));
  chart->DrawToBitmap(drawn);
  ASSERT_EQ(shown.Width(), drawn.Width());
  ASSERT_EQ(shown.Height(), drawn.Height());
  chart->CopyToClipboardBitmap();
  ASSERT_TRUE(Clipboard()->GetBitmap(copied));
  const std::string saved = testsupport::TempPath("ISO_graph.bmp");
  chart->SaveToBitmapFile(saved);
  testsupport::Raster file = testsupport::ImageMagickRaster(saved);
  ASSERT_EQ(file.width, drawn.Width());
  ASSERT_EQ(file.height, drawn.Height());
  int differences = 0;
  for (int y = 0; y < drawn.Height(); ++y)
    for (int x = 0; x < drawn.Width(); ++x) {
      const TColor c = drawn.Canvas().Pixels(x, y);
      const TColor fileColor = TColor(file.at(x, y, 0) | file.at(x, y, 1) << 8 | file.at(x, y, 2) << 16);
      if (c != shown.Canvas().Pixels(x, y) || c != copied.Canvas().Pixels(x, y) || c != fileColor) ++differences;
    }
  EXPECT_EQ(differences, 0);
}

TEST_F(ShotgraphTest, ThirtyFiveMillimetreValuesComeFromTheFileElseFromTheTypedFactor) {
  KIVO2_REQUIRE_TOOL("exiftool");
  shots::WriteShots(folder_, {{"own.jpg", {"-FocalLength=10", "-FocalLengthIn35mmFormat=28"}},
                              {"own2.jpg", {"-FocalLength=20", "-FocalLengthIn35mmFormat=56"}},
                              {"typed.jpg", {"-FocalLength=10"}},
                              {"typed2.jpg", {"-FocalLength=12.5"}}});
  FormAnalize->Show();
  FormAnalize->Edit1->SetText("5");
  FormAnalize->Edit2->SetText("35");
  Scan(folder_);
  std::map<int, int> expected;
  for (auto& [file, tags] : shots::ExiftoolValues(folder_, {"FocalLength", "FocalLengthIn35mmFormat"})) {
    const double own = tags["FocalLengthIn35mmFormat"].empty() ? 0 : Number(tags["FocalLengthIn35mmFormat"]);
    ++expected[int(std::floor((own > 0 ? own : Number(tags["FocalLength"]) * 35 / 5) + 0.5))];
  }
  EXPECT_EQ(BarsOf(FormAnalize->BarSeries1), Labelled(expected, [](int mm) { return std::to_string(mm); }));

  // Typed factors that are no numbers, or a lens length of 0: a file that needs them ends
  // the run with the message, nothing plotted; always working them out is refused before
  // any scan.
  const std::string bad35 = "The lens length and its 35mm equivalent must be numbers above 0.";
  for (bool always : {false, true}) {
    FormAnalize->Ch_AlwaysCalc->SetChecked(always);
    for (const char* bad : {"0", "abc", ""}) {
      FormAnalize->BarSeries1->Clear();
      FormAnalize->Edit1->SetText(bad);
      FormAnalize->FAnalysedFiles = -1;  // a run sets it to 0 first
      ExpectMessage(bad35, mrOk, ModalKind::ShowMessage);
      FormAnalize->StartAnalizing->Click();
      EXPECT_EQ(FormAnalize->BarSeries1->Count(), 0) << bad;
      if (always)
        EXPECT_EQ(FormAnalize->FAnalysedFiles, -1) << bad;
      else
        EXPECT_GE(FormAnalize->FAnalysedFiles, 0) << bad;
    }
  }
  // Files that all have their own 35 mm values do not need the pair: they are counted
  // without a message.
  FormAnalize->Ch_AlwaysCalc->SetChecked(false);
  ASSERT_EQ(std::remove((folder_ + "/typed.jpg").c_str()), 0);
  ASSERT_EQ(std::remove((folder_ + "/typed2.jpg").c_str()), 0);
  Scan(folder_);
  EXPECT_EQ(BarsOf(FormAnalize->BarSeries1), (Bars{{"28", 1}, {"56", 1}}));
}

TEST_F(ShotgraphTest, MarksShowTheChosenStatistics) {
  FormAnalize->Show();
  TBarSeries* bars = FormAnalize->BarSeries2;
  bars->Add(3, "100");
  bars->Add(1, "200");
  const std::vector<std::pair<int, std::vector<std::string>>> cases = {
      {1, {"100", "200"}}, {2, {"3", "1"}}, {3, {"75 %", "25 %"}}, {4, {"75 % of 4", "25 % of 4"}},
      {5, {"100 75 % of 4", "200 25 % of 4"}}};
  for (const auto& [index, texts] : cases) {
    FormAnalize->ComboBoxValue->SetItemIndex(index);
    FormAnalize->ComboBoxValueChange(nullptr);
    EXPECT_TRUE(bars->Marks().Visible());
    EXPECT_EQ((std::vector<std::string>{bars->MarkText(0), bars->MarkText(1)}), texts) << index;
  }
  FormAnalize->ComboBoxValue->SetItemIndex(0);
  FormAnalize->ComboBoxValueChange(nullptr);
  EXPECT_FALSE(bars->Marks().Visible());
}

TEST_F(ShotgraphTest, KeysAndOrdersOfTheRun) {
  using namespace shotgraph;
  int v = 0;
  ASSERT_TRUE(StrToRoundedInt("27,5 mm", v));
  EXPECT_EQ(v, 28);
  ASSERT_TRUE(StrToRoundedInt("27.49 mm", v));
  EXPECT_EQ(v, 27);
  ASSERT_TRUE(StrToRoundedInt(" 4,5 mm", v));
  EXPECT_EQ(FocalKey(v), "____5");
  // Text without a digit before the separator gives no key instead of ending the run.
  EXPECT_FALSE(StrToRoundedInt("mm", v));
  EXPECT_FALSE(StrToRoundedInt(",5", v));
  EXPECT_FALSE(StrToRoundedInt("99999999999 mm", v));
  EXPECT_EQ(FocalKey(RoundToStep(35, 10, 28)), "___40");
  EXPECT_EQ(RoundToStep(34, 10, 28), 30);
  EXPECT_EQ(RoundToStep(24, 10, 28), 24);
  EXPECT_EQ(RoundToStep(28, 10, 28), 28);  // the limit itself is left as it is
  EXPECT_EQ(RoundToStep(29, 10, 28), 30);
  EXPECT_EQ(RoundToStep(24, 10, 0), 20);
  EXPECT_EQ(FocalKey(12345), "12345");
  EXPECT_EQ(RoundToStep(12, 0, 0), 12);
  // The fill sorts before digits, so keys of one width sort by their number.
  std::vector<std::string> keys = {"__100", "___50", "____5", "__200", "___85"};
  std::sort(keys.begin(), keys.end(), [](auto& a, auto& b) { return CompareKeys(a, b) < 0; });
  EXPECT_EQ(keys, (std::vector<std::string>{"____5", "___50", "___85", "__100", "__200"}));
  std::vector<std::string> fractions = {"1/250", "2", "1/2", "30", "1/60", "1", "15", "1/4"};
  std::sort(fractions.begin(), fractions.end(), [](auto& a, auto& b) { return CompareFractionStrings(a, b) < 0; });
  EXPECT_EQ(fractions, (std::vector<std::string>{"30", "15", "2", "1", "1/2", "1/4", "1/60", "1/250"}));
  EXPECT_EQ(ShutterText(0.004, true), "1/250");
  EXPECT_EQ(ShutterText(0.3, true), "1/3");
  EXPECT_EQ(ShutterText(2.5, true), "2");
  EXPECT_EQ(ShutterText(0.004, false), "0.004");
  // No exposure (0 s, or none read) gives no shutter text rather than a division by zero.
  EXPECT_EQ(ShutterText(0, true), "");
  EXPECT_EQ(ShutterText(-1, true), "");
  EXPECT_TRUE(IsJpegExt("x.JPEG") && IsJpegExt("x.thm") && IsJpegExt("x.Jpe") && !IsJpegExt("x.png"));
}

// Stop during the first folder still plots what was gathered; closing the window or the
// program during a run ends it quietly.
TEST_F(ShotgraphTest, StopPlotsWhatWasGatheredAndClosingTheWindowOrTheProgramEndsARunQuietly) {
  KIVO2_REQUIRE_TOOL("exiftool");
  ManyShots({"-FocalLength=50", "-ISO=200"});
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(1);
  auto scanAndAtTheFirstTick = [&](const std::function<void()>& action) {
    ticks = 0;
    timer.OnTimer = [&, action](TObject*) {
      if (++ticks == 1) action();
    };
    timer.SetEnabled(true);
    Scan(folder_);
    timer.SetEnabled(false);
  };
  ExpectMessage("Plot interrupted, graph not complete.", mrOk, ModalKind::ShowMessage);
  scanAndAtTheFirstTick([] { FormAnalize->StopAnalizing->Click(); });
  EXPECT_GT(FormAnalize->FAnalysedFiles, 0);
  EXPECT_LT(FormAnalize->FAnalysedFiles, kMany);
  ASSERT_EQ(FormAnalize->BarSeries1->Count(), 1);
  EXPECT_EQ(FormAnalize->BarSeries1->YValue(0), FormAnalize->FAnalysedFiles);
  EXPECT_TRUE(FormAnalize->StartAnalizing->Visible());
  // A stopped run leaves the charts marked out of date.
  EXPECT_EQ(FormAnalize->StatusPanel->Color(), TColor(0xCBDCED));

  // No message after the window went (none is expected), and the window was cleared as a
  // close does.
  scanAndAtTheFirstTick([] { FormAnalize->Close(); });
  EXPECT_FALSE(FormAnalize->Visible());
  EXPECT_FALSE(FormAnalize->Running());
  EXPECT_EQ(FormAnalize->BarSeries1->Count(), 0);
  EXPECT_LT(FormAnalize->FAnalysedFiles, kMany);
  // The window works again afterwards.
  Scan(folder_);
  EXPECT_EQ(FormAnalize->FAnalysedFiles, kMany);
  ASSERT_EQ(FormAnalize->BarSeries1->Count(), 1);

  scanAndAtTheFirstTick([] { Form1->Close(); });
  EXPECT_TRUE(Application->Terminated());
  EXPECT_LT(FormAnalize->FAnalysedFiles, kMany);
  EXPECT_FALSE(FormAnalize->Running());
}

TEST_F(ShotgraphTest, ThePathListNamesEachFileAndAClickShowsIt) {
  KIVO2_REQUIRE_TOOL("exiftool");
  shots::WriteShots(folder_, ScanShots());
  Form1->InitExtensions();
  FormAnalize->Show();
  FormAnalize->RadioGroup1->SetItemIndex(1);
  Scan(folder_);
  TStrings* lines = FormAnalize->RichEdit1->Lines();
  ASSERT_EQ(lines->Count(), 11);
  EXPECT_TRUE(FormAnalize->Zq_SaveRichedit->Enabled());
  // The list is also written beside the program's files.
  TStringList written;
  written.LoadFromFile(ProgramFolder() + "fp_debug.txt");
  EXPECT_EQ(written.Text(), lines->Text());
  int line = -1;
  for (int i = 0; i < lines->Count(); ++i) {
    const std::string text = lines->Strings(i);
    if (text.find("A06.JPEG") != std::string::npos) {
      EXPECT_EQ(text.rfind("ISO 6400 - " + folder_ + "/A06.JPEG", 0), 0u) << text;
      line = i;
    }
    if (text.find("a01.jpg") != std::string::npos) {
      EXPECT_EQ(text.rfind("ISO _100 - ", 0), 0u) << text;
    }
    if (text.find("a10.jpg") != std::string::npos) {
      EXPECT_EQ(text.rfind("ISO n/a   - ", 0), 0u) << text;
    }
  }
  ASSERT_GE(line, 0);
  // A click on the line of a ".JPEG" file shows that file's thumbnail, made into the cache.
  Form1->M_UseTumbCache->SetChecked(true);
  int start = 0;
  for (int i = 0; i < line; ++i) start += int(lines->Strings(i).size()) + 1;
  FormAnalize->RichEdit1->SetSelStart(start + 2);
  FormAnalize->RichEdit1MouseDown(nullptr, mbLeft, TShiftState(), 0, 0);
  EXPECT_EQ(FormAnalize->Label15->Caption().rfind("A06.JPEG\n", 0), 0u) << FormAnalize->Label15->Caption();
  EXPECT_NE(FormAnalize->Label15->Caption().find("ISO: 6400"), std::string::npos);
  ASSERT_NE(FormAnalize->Image1->Picture()->Graphic(), nullptr);
  EXPECT_FALSE(FormAnalize->Image1->Picture()->Graphic()->Empty());
  EXPECT_EQ(FormAnalize->RichEdit1->SelText(), folder_ + "/A06.JPEG");
  const std::string cached = Form1->ThumbNailName(folder_ + "/A06.JPEG");
  const auto size = testsupport::Run({"identify", "-format", "%w %h", cached});
  EXPECT_EQ(size.out, std::to_string(FormAnalize->Image1->Picture()->Width()) + " " +
                          std::to_string(FormAnalize->Image1->Picture()->Height()))
      << size.err;
}

TEST_F(ShotgraphTest, ChartsMoveBetweenTheOverviewAndTheirPagesAndPointsPerPageWrap) {
  FormAnalize->Show();
  EXPECT_EQ(FormAnalize->Chart6->Parent(), FormAnalize->PanelOverview);
  FormAnalize->ChartDblClick(FormAnalize->Chart6, FormAnalize->TabSheet3);
  EXPECT_EQ(FormAnalize->PageControl1->ActivePage(), FormAnalize->TabSheet3);
  EXPECT_EQ(FormAnalize->Chart6->Parent(), FormAnalize->TabSheet3);
  FormAnalize->ChartDblClick(FormAnalize->Chart6, FormAnalize->TabSheet3);
  EXPECT_EQ(FormAnalize->PageControl1->ActivePage(), FormAnalize->TabSheet1);
  for (TChart* c : {FormAnalize->Chart5, FormAnalize->Chart6, FormAnalize->Chart7, FormAnalize->Chart8})
    EXPECT_EQ(c->Parent(), FormAnalize->PanelOverview);
  FormAnalize->SpinEdit3->SetValue(-10);
  EXPECT_EQ(FormAnalize->SpinEdit3->Value(), 100);
  EXPECT_EQ(FormAnalize->Chart7->MaxPointsPerPage(), 100);
  FormAnalize->SpinEdit3->SetValue(110);
  EXPECT_EQ(FormAnalize->SpinEdit3->Value(), 0);
  EXPECT_EQ(FormAnalize->Chart7->MaxPointsPerPage(), 0);
  // Zooming enables the fit buttons; fitting disables them again.
  TChart* chart = FormAnalize->Chart6;
  FormAnalize->BarSeries2->Add(4, "100");
  FormAnalize->BarSeries2->Add(2, "200");
  GuiTesting::MouseDown(chart, mbLeft, 40, 40);
  GuiTesting::MouseMove(chart, 120, 120, TShiftState{ssLeft});
  GuiTesting::MouseUp(chart, mbLeft, 120, 120);
  EXPECT_TRUE(chart->Zoomed());
  EXPECT_TRUE(FormAnalize->ZqSpeedButton2->Enabled());
  EXPECT_TRUE(FormAnalize->ZqSpeedButton8->Enabled());
  FormAnalize->ZqSpeedButton2->Click();
  EXPECT_FALSE(chart->Zoomed());
  EXPECT_FALSE(FormAnalize->ZqSpeedButton2->Enabled());
  // A right-button drag pans; dragging the zoom rectangle backwards undoes.
  GuiTesting::MouseDown(chart, mbRight, 100, 100);
  GuiTesting::MouseMove(chart, 60, 80, TShiftState{ssRight});
  GuiTesting::MouseUp(chart, mbRight, 60, 80);
  EXPECT_NE(chart->ScrollX(), 0);
  EXPECT_TRUE(FormAnalize->ZqSpeedButton2->Enabled());
  GuiTesting::MouseDown(chart, mbLeft, 120, 120);
  GuiTesting::MouseMove(chart, 40, 40, TShiftState{ssLeft});
  GuiTesting::MouseUp(chart, mbLeft, 40, 40);
  EXPECT_EQ(chart->ScrollX(), 0);
  EXPECT_FALSE(FormAnalize->ZqSpeedButton8->Enabled());
}

TEST_F(ShotgraphTest, TheLensListEditorWritesTheListWholeOrNotAtAll) {
  const std::string list = ProgramFolder() + "cam_equivalent.txt";
  FormAnalize->Show();
  ASSERT_FALSE(fs::exists(list));
  // A new list starts with the two comment lines, and saving creates the file.
  FormAnalize->ZqButton1->Click();
  EXPECT_TRUE(FormAnalize->Memo1->Enabled());
  EXPECT_FALSE(FormAnalize->ZqButton1->Enabled());
  ASSERT_EQ(FormAnalize->Memo1->Lines()->Count(), 2);
  EXPECT_EQ(FormAnalize->Memo1->Lines()->Strings(0), "; Lines started with a semicolon (;) are ignored bij Shotgraph");
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  FormAnalize->ZqButton2->Click();
  EXPECT_EQ(testsupport::ReadFile(list),
            "; Lines started with a semicolon (;) are ignored bij Shotgraph\r\n"
            "; See the help how to add cameras without 35mm information in the exif.\r\n");
  EXPECT_FALSE(FormAnalize->Memo1->Enabled());
  EXPECT_FALSE(FormAnalize->ZqButton2->Enabled());

  // Answering No leaves text, buttons and file as they were.
  FormAnalize->ZqButton1->Click();
  FormAnalize->Memo1->Lines()->Add("[_START][MAKE]Acme[MODEL]One[REAL_LENS]5[35MM_EQUIVALENT]35[_END]");
  EXPECT_TRUE(FormAnalize->ZqButton2->Enabled());
  const std::string before = testsupport::ReadFile(list);
  ModalResponder::Expect(ModalKind::MessageDlg, mrNo);
  FormAnalize->ZqButton2->Click();
  EXPECT_EQ(testsupport::ReadFile(list), before);
  EXPECT_EQ(FormAnalize->Memo1->Lines()->Count(), 3);
  EXPECT_TRUE(FormAnalize->ZqButton2->Enabled());

  // A disk that fails while the list is written leaves the old list whole and the text
  // in the editor; the failure is said.
  for (TFileFaultOp op : {TFileFaultOp::Write, TFileFaultOp::Rename}) {
    TFileFaultScope fault(op, op == TFileFaultOp::Write ? ENOSPC : EIO, "cam_equivalent");
    ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    FormAnalize->ZqButton2->Click();
    EXPECT_GE(fault.Hits(), 1);
    EXPECT_EQ(testsupport::ReadFile(list), before);
    EXPECT_EQ(FormAnalize->Memo1->Lines()->Count(), 3);
    EXPECT_TRUE(FormAnalize->Memo1->Enabled());
  }
  for (const auto& entry : fs::directory_iterator(ProgramFolder()))
    EXPECT_EQ(entry.path().filename().string().find("cam_equivalent.txt."), std::string::npos) << entry.path();

  // Closing drops the edit; emptying the editor at rest offers nothing to save.
  FormAnalize->ZqButton3->Click();
  EXPECT_FALSE(FormAnalize->ZqButton2->Enabled());
  EXPECT_TRUE(FormAnalize->ZqButton1->Enabled());

  // The defaults, saved, replace the user's list, and the main window reads them.
  fs::copy_file(testsupport::ProgramDir() + "/cam_equivalent.kv2", ProgramFolder() + "cam_equivalent.kv2");
  FormAnalize->Close();
  FormAnalize->Show();
  ASSERT_TRUE(FormAnalize->ZqButton4->Visible());
  FormAnalize->ZqButton4->Click();
  EXPECT_EQ(FormAnalize->Memo1->Font()->Color(), TColor(0x008000));
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  FormAnalize->ZqButton2->Click();
  TStringList defaults, saved;
  defaults.LoadFromFile(ProgramFolder() + "cam_equivalent.kv2");
  saved.LoadFromFile(list);
  EXPECT_EQ(saved.Text(), defaults.Text());
  EXPECT_GE(Form1->FEquivalentList->Count(), 4);
  EXPECT_EQ(FormAnalize->PageControl1->ActivePage(), FormAnalize->TabSheet1);
}

TEST_F(ShotgraphTest, QuestionsAboutOneFileReadItOnceAndFollowItsChanges) {
  KIVO2_REQUIRE_TOOL("exiftool");
  shots::WriteShots(folder_, {{"one.jpg", {"-ISO=100", "-FNumber=4"}}, {"two.jpg", {"-ISO=800"}}});
  const std::string one = folder_ + "/one.jpg", two = folder_ + "/two.jpg";
  EXPECT_EQ(ExifInfoForm->Get_ISO_NR(one), 100);
  std::string aperture;
  ExifInfoForm->Get_Aperture(one, aperture);
  EXPECT_EQ(aperture, "F4.0");
  // The file rewritten in between: the next question reads it again.
  ASSERT_EQ(testsupport::Run({"exiftool", "-q", "-overwrite_original", "-ISO=400", one}).exitCode, 0);
  EXPECT_EQ(ExifInfoForm->Get_ISO_NR(one), 400);
  // The record read for another file by the window itself is not taken for the first.
  ExifInfoForm->ExifData->ReadFileMetadata(two);
  EXPECT_EQ(ExifInfoForm->Get_ISO_NR(one), 400);
  EXPECT_EQ(ExifInfoForm->Get_ISO_NR(two), 800);
}

TEST_F(ShotgraphTest, TheMainWindowOpensTheWindowOnItsChartsOrOnTheLensList) {
  KIVO2_REQUIRE_TOOL("exiftool");
  shots::WriteShots(folder_, {{"a.jpg", {"-FocalLength=50"}}, {"b.jpg", {"-FocalLength=50"}}});
  Form1->QzDirTree211->SetSelectedPath(folder_ + "/");
  Form1->FDigiFactor = "5,5";
  Form1->FFilmFactor = "35";
  Form1->Zq_Shotgraph->Click();
  ASSERT_TRUE(FormAnalize->Visible());
  EXPECT_EQ(FormAnalize->PageControl1->ActivePage(), FormAnalize->TabSheet1);
  EXPECT_EQ(FormAnalize->Edit1->Text(), "5.5");
  EXPECT_EQ(FormAnalize->Caption(), "Exif analize: " + folder_ + "/");
  FormAnalize->StartAnalizing->Click();
  ASSERT_EQ(FormAnalize->BarSeries1->Count(), 1);
  EXPECT_EQ(FormAnalize->BarSeries1->YValue(0), 2);
  // The list command loads the list editor; again while it edits, the edit stays.
  Form1->Editequivalentlist1->Click();
  EXPECT_EQ(FormAnalize->PageControl1->ActivePage(), FormAnalize->TabSheet7);
  EXPECT_TRUE(FormAnalize->Memo1->Enabled());
  FormAnalize->Memo1->Lines()->Add("my camera");
  Form1->Editequivalentlist1->Click();
  EXPECT_EQ(FormAnalize->Memo1->Lines()->Count(), 3);
  EXPECT_TRUE(FormAnalize->ZqButton2->Enabled());
}
