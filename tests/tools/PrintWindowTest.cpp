// The print window: the preview's layout from the printer's page, the starting size of
// small and large pictures, the custom size boxes (bad text, too large, decimal
// separators), a window opened without a picture, and the printed PDF page checked with
// pdfinfo and pdftoppm against the preview the window shows.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "ToolWindowFixture.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Printers.h"
#include "platform/gui/Shapes.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/SysUtils.h"
#include "tools/PrintUnit.h"

namespace {

namespace fs = std::filesystem;

// The bounding box of the pixels that are red (the test pictures are plain red).
struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  void add(int x, int y) {
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x + 1);
    bottom = std::max(bottom, y + 1);
  }
  bool empty() const { return right < 0; }
};

bool Reddish(int r, int g, int b) { return r > 180 && g < 90 && b < 90; }

Box RedBox(const TBitmap& b) {
  Box box;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const TColor c = b.PixelColor(x, y);
      if (Reddish(GetRValue(c), GetGValue(c), GetBValue(c))) box.add(x, y);
    }
  return box;
}

Box RedBox(const testsupport::Raster& r) {
  Box box;
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x)
      if (Reddish(r.at(x, y, 0), r.at(x, y, 1), r.at(x, y, 2))) box.add(x, y);
  return box;
}

class PrintWindowTest : public ToolWindowTest {
 protected:
  void SetUp() override {
    ToolWindowTest::SetUp();
    Printer()->SetOrientation(poPortrait);
  }
  // Shows the print window for the file as the main window does and runs body while it shows.
  void WithPrintWindow(const std::string& file, const std::function<void(TPrintForm&)>& body) {
    Form1->FCurrentFile = file;
    ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest&) {
      GuiTesting::ProcessEvents();
      body(*PrintForm);
      return int(mrCancel);
    });
    PrintForm->ShowModal();
  }
  std::string RedPicture(const std::string& name, int width, int height) {
    const std::string path = Pictures() + name;
    auto made = testsupport::Run({"convert", "-size", std::to_string(width) + "x" + std::to_string(height),
                                  "xc:red", "-quality", "95", path});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return path;
  }
  // Prints the window's picture into a PDF file (no printer is set up in the tests).
  void PrintToPdf(TPrintForm& w, const std::string& pdf) {
    ExpectMessage("Print picture now?", mrYes, ModalKind::MessageDlg);
    ModalResponder::Expect(ModalKind::SaveDialog, pdf.empty() ? 0 : 1, pdf);
    w.ZqPrintClick(nullptr);
  }
  // The page rendered at the size of the preview's paper, and where the red picture lies on
  // both; they agree to a pixel or two (the preview's percentages are whole numbers).
  void ExpectPageAsPreview(TPrintForm& w, const std::string& pdf) {
    TBitmap preview;
    ASSERT_TRUE(GuiTesting::Grab(w.papier, preview));
    const std::string ppm = testsupport::TempPath("page");
    auto rendered = testsupport::Run({"pdftoppm", "-scale-to-x", std::to_string(preview.Width()), "-scale-to-y",
                                      std::to_string(preview.Height()), "-singlefile", pdf, ppm});
    ASSERT_EQ(rendered.exitCode, 0) << rendered.err;
    const testsupport::Raster page = testsupport::ParsePnm(testsupport::ReadFile(ppm + ".ppm"));
    ASSERT_EQ(page.width, preview.Width());
    const Box shown = RedBox(preview), printed = RedBox(page);
    ASSERT_FALSE(shown.empty());
    ASSERT_FALSE(printed.empty());
    // The picture is no speck: a fair part of the paper's width.
    EXPECT_GT(shown.right - shown.left, preview.Width() / 8);
    EXPECT_NEAR(printed.left, shown.left, 2);
    EXPECT_NEAR(printed.top, shown.top, 2);
    EXPECT_NEAR(printed.right, shown.right, 2);
    EXPECT_NEAR(printed.bottom, shown.bottom, 2);
  }
};

}  // namespace

TEST_F(PrintWindowTest, ThePrintedPageIsThePageOfThePreview) {
  KIVO2_REQUIRE_TOOL("pdfinfo");
  KIVO2_REQUIRE_TOOL("pdftoppm");
  if (TPrinter::PrintersSetUp()) GTEST_SKIP() << "a printer is set up";
  const std::string picture = RedPicture("red.jpg", 300, 200);
  const std::string centred = testsupport::TempPath("centred.pdf"), corner = testsupport::TempPath("corner.pdf");
  WithPrintWindow(picture, [&](TPrintForm& w) {
    ASSERT_TRUE(w.papier->Visible());
    EXPECT_TRUE(w.ZqPrint->Enabled());
    PrintToPdf(w, centred);
    ASSERT_TRUE(fs::exists(centred));
    ExpectPageAsPreview(w, centred);
    // Not centred: at the top-left corner of the printable area on both.
    w.Centered->SetChecked(false);
    EXPECT_EQ(w.PhotoScrn->Left(), w.Shape1->Left());
    EXPECT_EQ(w.PhotoScrn->Top(), w.Shape1->Top());
    PrintToPdf(w, corner);
    ExpectPageAsPreview(w, corner);
    w.Centered->SetChecked(true);
  });
  // The page of the PDF is the printer's page.
  auto info = testsupport::Run({"pdfinfo", centred});
  const double dpi = Printer()->GetDeviceCaps(LOGPIXELSX);
  std::string sizeLine = info.out.substr(info.out.find("Page size:"));
  sizeLine = sizeLine.substr(0, sizeLine.find('\n'));
  double pw = 0, ph = 0;
  ASSERT_EQ(sscanf(sizeLine.c_str(), "Page size: %lf x %lf", &pw, &ph), 2) << sizeLine;
  EXPECT_NEAR(pw, Printer()->GetDeviceCaps(PHYSICALWIDTH) * 72 / dpi, 0.5);
  EXPECT_NEAR(ph, Printer()->GetDeviceCaps(PHYSICALHEIGHT) * 72 / dpi, 0.5);

  // The hidden "Resample" option resamples with the Mitchell filter: an enlarged step's
  // edge overshoots as in ImageMagick's Mitchell enlargement, not as its Lanczos one.
  KIVO2_REQUIRE_TOOL("pdfimages");
  const std::string step = Pictures() + "step.png", pdf = testsupport::TempPath("step.pdf");
  testsupport::Run({"convert", "-size", "40x30", "xc:gray25", "-fill", "gray75", "-draw", "rectangle 20,0 39,29", step});
  WithPrintWindow(step, [&](TPrintForm& w) {
    w.ChB_ResamplePrint->SetChecked(true);
    PrintToPdf(w, pdf);
  });
  testsupport::Run({"pdfimages", "-png", pdf, testsupport::TempPath("printed")});
  const std::string printed = testsupport::TempPath("printed") + "-000.png";
  const std::string size = testsupport::Run({"identify", "-format", "%wx%h!", printed}).out;
  auto peak = [&](const std::string& filter) {
    std::vector<std::string> argv{"convert", printed};
    if (!filter.empty()) argv = {"convert", step, "-filter", filter, "-resize", size};
    argv.insert(argv.end(), {"-format", "%[max]", "info:"});
    return std::atof(testsupport::Run(argv).out.c_str());
  };
  const double ours = peak(""), mitchell = peak("Mitchell"), lanczos = peak("Lanczos");
  EXPECT_LT(std::abs(ours - mitchell), std::abs(ours - lanczos)) << ours << " " << mitchell << " " << lanczos;
}

TEST_F(PrintWindowTest, SmallPicturesAlsoLandscapeStartAtTheirNaturalSizeLargeOnesFitThePrintableArea) {
  const std::string small = RedPicture("small.jpg", 200, 300), large = RedPicture("large.jpg", 3000, 4000);
  const int dpi = Printer()->GetDeviceCaps(LOGPIXELSY);
  WithPrintWindow(small, [&](TPrintForm& w) {
    // A portrait picture: its height's share of the printable height.
    const int natural = int(std::lround(300.0 * dpi / 72));
    EXPECT_EQ(w.FScale, (natural * 100 + w.FPrintableHeight / 2) / w.FPrintableHeight);
    EXPECT_EQ(w.TrackBar1->Position(), w.FScale);
    EXPECT_NEAR(w.FPrintRect.Bottom, natural, natural / 50);
    EXPECT_EQ(w.Label6->Caption(), "Picture 300 pixels x 200 pixels");
    // The track bar scales the picture; moving it redraws the preview.
    const int before = w.PhotoScrn->Height();
    w.TrackBar1->SetPosition(w.FScale * 2);
    EXPECT_GT(w.PhotoScrn->Height(), before * 3 / 2);
  });
  WithPrintWindow(large, [&](TPrintForm& w) {
    EXPECT_EQ(w.FScale, 100);
    EXPECT_EQ(w.TrackBar1->Position(), 100);
    // Fitted to the printable area: one side reaches it.
    EXPECT_TRUE(w.FPrintRect.Bottom == w.FPrintableHeight || w.FPrintRect.Right == w.FPrintableWidth);
    EXPECT_LE(w.FPrintRect.Bottom, w.FPrintableHeight);
    EXPECT_LE(w.FPrintRect.Right, w.FPrintableWidth);
  });
  WithPrintWindow(RedPicture("wide.jpg", 300, 200), [&](TPrintForm& w) {
    // A landscape picture on portrait paper: the share of the side that fills more of the
    // printable area sets the scale, so it is printed at 72 pixels to the inch on both sides.
    const int dpiX = Printer()->GetDeviceCaps(LOGPIXELSX);
    EXPECT_NEAR(w.FPrintRect.Right, 300.0 * dpiX / 72, 300.0 * dpiX / 72 / 50);
    EXPECT_NEAR(w.FPrintRect.Bottom, 200.0 * dpi / 72, 200.0 * dpi / 72 / 50);
  });
}

TEST_F(PrintWindowTest, CustomSizeBoxesRefuseBadTextAndSizesBeyondThePage) {
  const std::string picture = RedPicture("red.jpg", 300, 200);
  const int dpi = Printer()->GetDeviceCaps(LOGPIXELSX);
  WithPrintWindow(picture, [&](TPrintForm& w) {
    w.Units->SetItemIndex(0);
    w.Edit1->SetText("2,5");
    w.Edit1Exit(w.Edit1);
    EXPECT_EQ(w.Edit1->Text(), "2.5");
    EXPECT_EQ(w.FPrintWidth, int(std::lround(2.5 * dpi)));
    EXPECT_EQ(w.FCustomOffsetX, (Printer()->GetDeviceCaps(PHYSICALWIDTH) - w.FPrintWidth) / 2);

    // Text that is no number is refused with a message and changes nothing.
    w.Edit1->SetText("abc");
    ExpectMessage("'abc' is not a valid floating point value", mrOk, ModalKind::ShowMessage);
    w.Edit1Exit(w.Edit1);
    EXPECT_EQ(w.FPrintWidth, int(std::lround(2.5 * dpi)));
    EXPECT_EQ(w.Edit1->Text(), "2.5");

    w.Units->SetItemIndex(1);
    w.Edit2->SetText("5000");
    ExpectMessage("Error, height too large", mrOk, ModalKind::ShowMessage);
    w.Edit2Exit(w.Edit2);
    EXPECT_EQ(w.FPrintHeight, 0);
    EXPECT_EQ(w.FCustomOffsetY, 0);
    w.Edit2->SetText("12");
    w.Edit2Exit(w.Edit2);
    EXPECT_EQ(w.FPrintHeight, int(std::lround(12 * dpi / 2.54)));

    // The custom margins centre the custom size; a width of 0 leaves the printer's margins.
    w.ChB_UseCustomSize->SetChecked(true);
    EXPECT_EQ(w.FMarginTop, w.FCustomOffsetY);
    EXPECT_EQ(w.FMarginLeft, w.FCustomOffsetX);
    w.Edit1->SetText("0");
    w.Edit1Exit(w.Edit1);
    EXPECT_EQ(w.FPrintWidth, 0);
    EXPECT_EQ(w.FMarginLeft, Printer()->GetDeviceCaps(PHYSICALOFFSETX));
    w.ChB_UseCustomSize->SetChecked(false);
    w.Units->SetItemIndex(0);
  });
}

TEST_F(PrintWindowTest, WithoutAPictureThePaperShowsAndNothingPrints) {
  WithPrintWindow("", [&](TPrintForm& w) {
    EXPECT_TRUE(w.papier->Visible());
    EXPECT_FALSE(w.PhotoScrn->Visible());
    EXPECT_FALSE(w.ZqPrint->Enabled());
    EXPECT_GT(w.Shape1->Width(), 0);
    EXPECT_EQ(w.Label6->Caption(), "Picture 0 pixels x 0 pixels");
  });
  // A file that is gone is said so by the main window's command.
  Form1->FCurrentFile = Pictures() + "gone.jpg";
  ExpectMessage("No file selected!", mrOk, ModalKind::ShowMessage);
  Form1->Print1Click(nullptr);
}

TEST_F(PrintWindowTest, DecliningThePrintOrTheFileWritesNothing) {
  const std::string picture = RedPicture("red.jpg", 300, 200);
  const std::string pdf = testsupport::TempPath("never.pdf");
  WithPrintWindow(picture, [&](TPrintForm& w) {
    ModalResponder::Expect(ModalKind::MessageDlg, int(mrNo));
    w.ZqPrintClick(nullptr);
    if (!TPrinter::PrintersSetUp()) PrintToPdf(w, "");
    EXPECT_FALSE(Printer()->Printing());
  });
  EXPECT_FALSE(fs::exists(pdf));
  EXPECT_FALSE(Form1->FExactRescale);
}
