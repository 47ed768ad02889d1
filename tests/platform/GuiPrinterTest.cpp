// The printer writing PDF files: the page and printable area it reports against pdfinfo,
// where the canvas draws against pdftoppm's rendering, and the file put in place only
// when the document is complete. Also the screen copy and the shape control.
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <regex>
#include <sys/stat.h>

#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Printers.h"
#include "platform/gui/ScreenGrab.h"
#include "platform/gui/Shapes.h"
#include "platform/rtl/FileFaults.h"

namespace {

namespace fs = std::filesystem;
using Printing = GuiTest;

// "Page size:      595.276 x 841.89 pts (A4)" -> width and height in points.
bool PdfPageSize(const std::string& file, double& width, double& height) {
  auto info = testsupport::Run({"pdfinfo", file});
  std::smatch m;
  static const std::regex size(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)");
  if (info.exitCode != 0 || !std::regex_search(info.out, m, size)) return false;
  width = std::stod(m[1]);
  height = std::stod(m[2]);
  return true;
}

// Files of the folder whose names start with a dot (the temporary files of a document).
int HiddenFiles(const std::string& folder) {
  int n = 0;
  for (auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string()[0] == '.') ++n;
  return n;
}

void DrawBlock(TPrinter* printer, int left, int top, int right, int bottom) {
  TCanvas* canvas = printer->Canvas();
  canvas->Brush().SetColor(clRed);
  canvas->Brush().SetStyle(bsSolid);
  canvas->FillRect(Rect(left, top, right, bottom));
}

}  // namespace

TEST_F(Printing, APdfPageHasTheReportedSizeAndTheCanvasStartsAtThePrintableArea) {
  KIVO2_REQUIRE_TOOL("pdfinfo");
  KIVO2_REQUIRE_TOOL("pdftoppm");
  TPrinter* printer = Printer();
  const std::string file = testsupport::TempPath("page.pdf");
  ::umask(022);
  printer->SetOutputFileName(file);
  printer->SetOrientation(poPortrait);
  const int dpi = printer->GetDeviceCaps(LOGPIXELSX);
  ASSERT_GT(dpi, 0);
  EXPECT_EQ(printer->GetDeviceCaps(LOGPIXELSY), dpi);
  const int physW = printer->GetDeviceCaps(PHYSICALWIDTH), physH = printer->GetDeviceCaps(PHYSICALHEIGHT);
  const int offX = printer->GetDeviceCaps(PHYSICALOFFSETX), offY = printer->GetDeviceCaps(PHYSICALOFFSETY);
  EXPECT_LT(physW, physH);
  EXPECT_LE(offX + printer->PageWidth(), physW);
  EXPECT_LE(offY + printer->PageHeight(), physH);

  printer->BeginDoc();
  EXPECT_TRUE(printer->Printing());
  EXPECT_FALSE(fs::exists(file)) << "the file appears only when the document is complete";
  // A block of one inch square, one inch right and two inches down of the printable area.
  DrawBlock(printer, dpi, 2 * dpi, 2 * dpi, 3 * dpi);
  printer->EndDoc();
  EXPECT_FALSE(printer->Printing());
  printer->SetOutputFileName("");

  EXPECT_EQ(testsupport::Run({"stat", "-c", "%a", file}).out, "644\n") << "as any new file under the umask";
  double w = 0, h = 0;
  ASSERT_TRUE(PdfPageSize(file, w, h));
  EXPECT_NEAR(w, physW * 72.0 / dpi, 0.5);
  EXPECT_NEAR(h, physH * 72.0 / dpi, 0.5);

  // Rendered at 50 pixels per inch the block lies at the offsets plus 50 and 100 pixels.
  const std::string ppm = testsupport::TempPath("page");
  ASSERT_EQ(testsupport::Run({"pdftoppm", "-r", "50", "-singlefile", file, ppm}).exitCode, 0);
  testsupport::Raster page = testsupport::ParsePnm(testsupport::ReadFile(ppm + ".ppm"));
  const double scale = 50.0 / dpi;
  const int left = int(std::lround((offX + dpi) * scale)), top = int(std::lround((offY + 2 * dpi) * scale));
  auto red = [&](int x, int y) { return page.at(x, y, 0) > 200 && page.at(x, y, 1) < 60 && page.at(x, y, 2) < 60; };
  EXPECT_TRUE(red(left + 2, top + 2));
  EXPECT_TRUE(red(left + 47, top + 47));
  EXPECT_FALSE(red(left - 3, top + 25));
  EXPECT_FALSE(red(left + 25, top - 3));
  EXPECT_FALSE(red(left + 53, top + 25));
  EXPECT_FALSE(red(left + 25, top + 53));
  EXPECT_EQ(HiddenFiles(testsupport::TempDir()), 0);
}

TEST_F(Printing, AFailedDocumentLeavesAnOlderFileOfThatNameAsItWas) {
  TPrinter* printer = Printer();
  const std::string file = testsupport::TempFile("old.pdf", "an older document");
  printer->SetOutputFileName(file);
  {
    TFileFaultScope fault(TFileFaultOp::Rename, ENOSPC, "old.pdf");
    printer->BeginDoc();
    DrawBlock(printer, 0, 0, 100, 100);
    EXPECT_THROW(printer->EndDoc(), EPrinter);
    EXPECT_EQ(fault.Hits(), 1);
  }
  EXPECT_FALSE(printer->Printing());
  EXPECT_EQ(testsupport::ReadFile(file), "an older document");
  EXPECT_EQ(HiddenFiles(testsupport::TempDir()), 0);

  // A document dropped half-way leaves nothing either; one that cannot start says so.
  printer->BeginDoc();
  printer->Abort();
  EXPECT_EQ(HiddenFiles(testsupport::TempDir()), 0);
  {
    TFileFaultScope fault(TFileFaultOp::Open, EACCES, "old.pdf");
    EXPECT_THROW(printer->BeginDoc(), EPrinter);
  }
  EXPECT_FALSE(printer->Printing());
  printer->SetOutputFileName("");
  EXPECT_EQ(testsupport::ReadFile(file), "an older document");
}

TEST_F(Printing, WithoutAPrinterAndWithoutAFileThereIsNothingToPrintTo) {
  if (TPrinter::PrintersSetUp()) GTEST_SKIP() << "a printer is set up";
  EXPECT_EQ(Printer()->PrinterName(), "");
  EXPECT_THROW(Printer()->BeginDoc(), EPrinter);
  EXPECT_FALSE(Printer()->Printing());
}

TEST_F(Printing, LandscapeSwapsTheSidesOfThePage) {
  TPrinter* printer = Printer();
  printer->SetOrientation(poPortrait);
  const int w = printer->GetDeviceCaps(PHYSICALWIDTH), h = printer->GetDeviceCaps(PHYSICALHEIGHT);
  printer->SetOrientation(poLandscape);
  EXPECT_EQ(printer->Orientation(), poLandscape);
  EXPECT_EQ(printer->GetDeviceCaps(PHYSICALWIDTH), h);
  EXPECT_EQ(printer->GetDeviceCaps(PHYSICALHEIGHT), w);
  printer->SetOrientation(poPortrait);
}

TEST_F(Printing, TheScreenCopyShowsTheProgramsWindowsWhereTheyStand) {
  Host h;
  h.form->SetBorderStyle(bsNone);
  h.form->SetBounds(100, 80, 60, 40);
  h.form->SetColor(clLime);
  h.form->Show();
  GuiTesting::ProcessEvents();
  const TPoint origin = h.form->ClientOrigin();
  TBitmap copy;
  CopyScreenRect(Rect(origin.X - 10, origin.Y - 10, origin.X + 50, origin.Y + 30), copy);
  ASSERT_EQ(copy.Width(), 60);
  ASSERT_EQ(copy.Height(), 40);
  EXPECT_EQ(copy.PixelFormat(), pf24bit);
  EXPECT_EQ(copy.PixelColor(15, 15), clLime);
  EXPECT_EQ(copy.PixelColor(59, 39), clLime);
  EXPECT_NE(copy.PixelColor(5, 5), clLime);

  TBitmap painted;
  ASSERT_TRUE(PaintControlToBitmap(h.form.get(), painted));
  EXPECT_EQ(painted.Width(), 60);
  EXPECT_EQ(painted.PixelColor(30, 20), clLime);

  // A stand-in for the screen answers instead (tests of the magnifier use one).
  SetScreenReader([](const TRect& r, TBitmap& b) {
    b.SetPixelFormat(pf24bit);
    b.SetSize(r.Width(), r.Height());
    b.Canvas().Brush().SetColor(clNavy);
    b.Canvas().FillRect(Rect(0, 0, r.Width(), r.Height()));
  });
  CopyScreenRect(Rect(0, 0, 3, 3), copy);
  SetScreenReader(nullptr);
  EXPECT_EQ(copy.PixelColor(1, 1), clNavy);
}

TEST_F(Printing, AShapeDrawsItsOutlineInsideItsBounds) {
  Host h(100, 80);
  h.form->SetColor(clWhite);
  auto* shape = h.Add<TShape>(10, 10, 50, 40);
  shape->Pen().SetColor(clRed);
  shape->Pen().SetWidth(3);
  shape->Brush().SetColor(clBlue);
  h.form->Show();
  GuiTesting::ProcessEvents();
  TBitmap shot;
  ASSERT_TRUE(GuiTesting::Grab(h.form.get(), shot));
  EXPECT_EQ(shot.PixelColor(10, 30), clRed);   // the outline at the left edge
  EXPECT_EQ(shot.PixelColor(59, 30), clRed);   // and at the right edge, inside the bounds
  EXPECT_EQ(shot.PixelColor(35, 30), clBlue);  // the inside
  EXPECT_EQ(shot.PixelColor(9, 30), clWhite);
  EXPECT_EQ(shot.PixelColor(60, 30), clWhite);
}
