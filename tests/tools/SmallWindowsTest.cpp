// The histogram window (the main window's toggle and chart, the 8-bit counts, the scaling
// to 100 and the line chart), the text viewer (loading, saving through a temporary file)
// and the about box; and the Dutch texts of every tool window of this group.
#include <cerrno>
#include <filesystem>
#include <sstream>

#include "ToolWindowFixture.h"
#include "controls/RunText.h"
#include "controls/ZqButton.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/FileFaults.h"
#include "tools/CalcAspectForm.h"
#include "tools/PrintUnit.h"
#include "tools/UnitAbout.h"
#include "tools/UnitCompare.h"
#include "tools/UnitDragDrop.h"
#include "tools/UnitHelp.h"
#include "tools/UnitHistogram.h"
#include "tools/UnitImageCopy.h"
#include "tools/UnitQuickAdd.h"
#include "tools/ZoomFloatUnit.h"

namespace {

namespace fs = std::filesystem;
using SmallWindowsTest = ToolWindowTest;

// Rows of column x, from the bottom up, in the chart's colour (not the background).
int BarHeight(TBitmap& b, int x) {
  int n = 0;
  for (int y = b.Height() - 1; y >= 0 && b.PixelColor(x, y) != TColor(0xF0CAA6); --y) ++n;
  return n;
}

}  // namespace

TEST_F(SmallWindowsTest, TheHistogramMenuShowsTheChartOfTheShownPictureAndHidesIt) {
  // A picture of 30 black and 10 white pixels per row: intensity 0 three times as often as 255.
  TBitmap shown;
  shown.SetPixelFormat(pf24bit);
  shown.SetSize(40, 20);
  shown.Canvas().Brush().SetColor(clBlack);
  shown.Canvas().FillRect(Rect(0, 0, 30, 20));
  shown.Canvas().Brush().SetColor(clWhite);
  shown.Canvas().FillRect(Rect(30, 0, 40, 20));
  Form1->Image1->Picture()->SetGraphic(&shown);

  Form1->Histogram2Click(nullptr);
  EXPECT_TRUE(HistogramForm->Visible());
  EXPECT_TRUE(Form1->Histogram1->Checked());
  EXPECT_TRUE(Form1->Histogram2->Checked());
  TBitmap& chart = *HistogramForm->Image1->Picture()->Bitmap();
  ASSERT_EQ(chart.Width(), 256);
  EXPECT_EQ(BarHeight(chart, 0), chart.Height());
  EXPECT_NEAR(BarHeight(chart, 255), chart.Height() / 3, 1);
  EXPECT_EQ(BarHeight(chart, 128), 0);

  // The chart's window toggles its translucency; closing it clears both check marks.
  EXPECT_FALSE(HistogramForm->AlphaBlend());
  HistogramForm->Image1Click(nullptr);
  EXPECT_TRUE(HistogramForm->AlphaBlend());
  EXPECT_EQ(HistogramForm->AlphaBlendValue(), 150);
  HistogramForm->ZqSpeedButton1Click(nullptr);
  EXPECT_FALSE(HistogramForm->AlphaBlend());
  Form1->Histogram1->Click();
  EXPECT_FALSE(HistogramForm->Visible());
  EXPECT_FALSE(Form1->Histogram1->Checked());
  EXPECT_FALSE(Form1->Histogram2->Checked());
  Form1->Histogram2Click(nullptr);
  HistogramForm->ZqSpeedButton2Click(nullptr);
  EXPECT_FALSE(HistogramForm->Visible());
  EXPECT_FALSE(Form1->Histogram2->Checked());
}

TEST_F(SmallWindowsTest, TheEightBitCountsScaledTo100AndTheirLine) {
  // Five pixels a row: the row's padding bytes are no pixels.
  TBitmap bytes;
  bytes.SetPixelFormat(pf8bit);
  bytes.SetSize(5, 4);
  for (int y = 0; y < 4; ++y) {
    uint8_t* row = bytes.ScanLine(y);
    for (int x = 0; x < 8; ++x) row[x] = uint8_t(x < 5 ? 10 * x : 200);
  }
  std::array<int, 256> H;
  H.fill(7);
  HistogramForm->Histogram(bytes, H);
  EXPECT_EQ(H[0], 4);
  EXPECT_EQ(H[40], 4);
  EXPECT_EQ(H[200], 0);
  int total = 0;
  for (int n : H) total += n;
  EXPECT_EQ(total, 20);

  std::array<int, 256> small{};
  small[3] = 99;
  small[4] = 50;
  HistogramForm->Histogram100(small);
  EXPECT_EQ(small[3], 99);
  EXPECT_EQ(small[4], 50);
  std::array<int, 256> large{};
  large[3] = 200;
  large[4] = 50;
  large[5] = 3;
  HistogramForm->Histogram100(large);
  EXPECT_EQ(large[3], 100);
  EXPECT_EQ(large[4], 25);
  EXPECT_EQ(large[5], 1);

  HistogramForm->DrawHistogram(large);
  TBitmap& line = *HistogramForm->Image1->Picture()->Bitmap();
  ASSERT_EQ(line.Width(), 256);
  ASSERT_EQ(line.Height(), 125);
  EXPECT_EQ(HistogramForm->Image1->Height(), 125);
  EXPECT_EQ(line.PixelColor(100, 50), TColor(0xC0C0C0));
  EXPECT_EQ(line.PixelColor(150, 124), clBlack);  // the line along the empty bins' foot
  EXPECT_EQ(line.PixelColor(4, 100), clBlack);     // 125 - 25 at bin 4
  EXPECT_EQ(line.PixelColor(150, 100), TColor(0xC0C0C0));
}

TEST_F(SmallWindowsTest, TheTextViewerLoadsAndSavesItsFileWhole) {
  const std::string todo = ProgramFolder() + "todo.txt";
  HelpForm->FFileName = todo;
  HelpForm->ZqButton2->SetVisible(true);
  // No file yet: an empty editor; saving makes the file.
  HelpForm->Show();
  EXPECT_EQ(HelpForm->RichEdit1->Lines()->Count(), 0);
  EXPECT_FALSE(HelpForm->ZqButton2->Enabled());
  HelpForm->RichEdit1->SetText("first\nsecond");
  EXPECT_FALSE(HelpForm->ZqButton2->Enabled());
  GuiTesting::TypeText(HelpForm->RichEdit1, "!");
  EXPECT_TRUE(HelpForm->ZqButton2->Enabled());
  HelpForm->ZqButton2Click(nullptr);
  EXPECT_EQ(testsupport::ReadFile(todo), "!first\r\nsecond\r\n");
  EXPECT_FALSE(HelpForm->ZqButton2->Enabled());
  HelpForm->Close();
  EXPECT_EQ(HelpForm->RichEdit1->Lines()->Count(), 0);

  // Opened again it shows the file; a save the disk refuses is said and leaves it whole.
  HelpForm->Show();
  ASSERT_EQ(HelpForm->RichEdit1->Lines()->Count(), 2);
  EXPECT_EQ(HelpForm->RichEdit1->Lines()->Strings(1), "second");
  GuiTesting::TypeText(HelpForm->RichEdit1, "?");
  {
    TFileFaultScope fault(TFileFaultOp::Write, ENOSPC, "todo.txt");
    ModalResponder::Expect(ModalKind::ShowMessage, [](ModalRequest& r) {
      EXPECT_NE(r.text.find("todo.txt"), std::string::npos) << r.text;
      return int(mrOk);
    });
    HelpForm->ZqButton2Click(nullptr);
  }
  EXPECT_EQ(testsupport::ReadFile(todo), "!first\r\nsecond\r\n");
  EXPECT_TRUE(HelpForm->ZqButton2->Enabled()) << "the text is still to be saved";
  for (auto& e : fs::directory_iterator(ProgramFolder()))
    EXPECT_EQ(e.path().filename().string().find("todo.txt."), std::string::npos) << e.path();
  // Another program adds a line meanwhile: the save changes the first line and keeps that one.
  testsupport::WriteFile(todo, "!first\r\nsecond\r\nthird\r\n");
  HelpForm->ZqButton2Click(nullptr);
  EXPECT_EQ(testsupport::ReadFile(todo), HelpForm->RichEdit1->Lines()->Strings(0) + "\r\nsecond\r\nthird\r\n");
  // Pressing Close shows Save; clicking it hides Save and closes.
  HelpForm->ZqButton2->SetVisible(false);
  HelpForm->ZqButton1MouseDown(nullptr, mbLeft, TShiftState{ssLeft}, 2, 2);
  EXPECT_TRUE(HelpForm->ZqButton2->Visible());
  HelpForm->ZqButton1Click(nullptr);
  EXPECT_FALSE(HelpForm->ZqButton2->Visible());
  EXPECT_FALSE(HelpForm->Visible());
}

// The types come from the main window each time; the line of thanks runs only while the
// box shows and is emptied when it closes.
TEST_F(SmallWindowsTest, TheAboutBoxShowsTheTypesTheMainWindowGivesEachTime) {
  AboutBox->FCommentText = ".bmp .jpg ";
  TRunningText* thanks = AboutBox->RunningText1;
  EXPECT_FALSE(thanks->Active());
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest&) {
    EXPECT_EQ(AboutBox->Comments->Caption(), ".bmp .jpg ");
    EXPECT_TRUE(thanks->Active());
    EXPECT_FALSE(thanks->Caption().empty());
    return int(mrOk);
  });
  AboutBox->ShowModal();
  EXPECT_FALSE(thanks->Active());
  EXPECT_TRUE(thanks->Caption().empty());
  // Metafiles, never shown, are named apart.
  AboutBox->FCommentText = ".png .wmf .emf .xwmf ";
  ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest&) {
    EXPECT_EQ(AboutBox->Comments->Caption(), ".png .xwmf \nMetafiles (.wmf .emf) are listed but never shown.");
    return int(mrOk);
  });
  AboutBox->ShowModal();
}
