// The aspect-ratio window: presets and typed sizes give the factor, the sample rectangle
// and the ratio's name; sizes that are no numbers or 0 are refused without changing the
// factor; the portrait note once per run; the options and "Select All".

#include "ToolWindowFixture.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Shapes.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "tools/CalcAspectForm.h"

namespace {

class AspectWindowTest : public ToolWindowTest {
 protected:
  void SetUp() override {
    ToolWindowTest::SetUp();
    TCalculateAspect::FFirstCalculation = true;
  }
  static void Choose(int item) {
    CalculateAspect->AspectRComboBox->SetItemIndex(item);
    CalculateAspect->AspectRComboBoxClick(nullptr);
  }
  static void Sizes(const std::string& height, const std::string& width) {
    CalculateAspect->Edit1->SetText(height);
    CalculateAspect->Edit2->SetText(width);
    CalculateAspect->ZqB_CalculateClick(nullptr);
  }
};

}  // namespace

TEST_F(AspectWindowTest, PresetsGiveTheirFactorAndSample) {
  TCalculateAspect* w = CalculateAspect;
  Choose(2);
  EXPECT_EQ(w->Edit1->Text(), "98");
  EXPECT_EQ(w->Edit2->Text(), "130");
  EXPECT_NEAR(w->FFactor, 1.33333, 1e-9);
  EXPECT_EQ(w->FPresetFactor, 0);
  EXPECT_EQ(w->Shape1->BoundsRect(), Rect(5, 21, 135, 119));
  EXPECT_EQ(w->Label3->Caption(), "Factor: 1.33");
  EXPECT_EQ(w->Label4->Caption(), "Aspect Ratio: 4:3");
  EXPECT_FALSE(w->Edit1->Visible());
  EXPECT_FALSE(w->ZqB_Calculate->Enabled());
  // 3:2 is 1.504 (not 1.5): 130 / 1.504 = 86.4.
  Choose(3);
  EXPECT_EQ(w->Shape1->Height(), 86);
  EXPECT_EQ(w->Label3->Caption(), "Factor: 1.50");
  EXPECT_EQ(w->Label4->Caption(), "Aspect Ratio: 3:2 SLR/DSLR");
  EXPECT_TRUE(w->ZqButton3->Enabled());

  // In Dutch the factor has a decimal comma and the name is still found.
  UseLanguage("nl");
  Choose(2);
  EXPECT_NE(w->Label3->Caption().find("1,33"), std::string::npos) << w->Label3->Caption();
  EXPECT_NE(w->Label4->Caption().find("4:3"), std::string::npos) << w->Label4->Caption();
  UseLanguage("en");
}

TEST_F(AspectWindowTest, TypedSizesTheirRatioAndThePortraitNoteOncePerRun) {
  TCalculateAspect* w = CalculateAspect;
  Form1->FImageHeight = 1024;
  Form1->FImageWidth = 768;
  ExpectMessage("Note:\nPortrait orientation calculated, please note that only the calculated factor is used, the "
                "orientation doesn't matter.",
                mrOk, ModalKind::ShowMessage);
  Choose(0);
  EXPECT_EQ(w->Edit1->Text(), "1024");
  EXPECT_EQ(w->Edit2->Text(), "768");
  EXPECT_NEAR(w->FFactor, 1024.0 / 768, 1e-12);
  EXPECT_EQ(w->Shape1->Height(), 130);
  EXPECT_EQ(w->Shape1->Width(), 98);
  Sizes("2000", "1500");  // no second note
  Sizes("500", "500");
  EXPECT_EQ(w->FFactor, 1.0);
  EXPECT_EQ(w->Shape1->Width(), 130);
  EXPECT_EQ(w->Shape1->Height(), 130);
  EXPECT_EQ(w->Label3->Caption(), "Factor: 1.00");
}

TEST_F(AspectWindowTest, SizesThatAreNoNumbersOrZeroChangeNothing) {
  TCalculateAspect* w = CalculateAspect;
  Choose(1);
  EXPECT_EQ(w->FFactor, 1.0);
  w->AspectRComboBox->SetItemIndex(0);
  for (auto [height, width] : {std::pair{"", "600"}, {"800", "0"}, {"0", "0"}, {"99999999999", "3"}, {"12a", "4"}}) {
    ExpectMessage("Height and width must be whole numbers above 0.", mrOk, ModalKind::ShowMessage);
    Sizes(height, width);
    EXPECT_EQ(w->FFactor, 1.0) << height << " x " << width;
    EXPECT_EQ(w->Label3->Caption(), "Factor: 1.00");
  }
  // Opened with no picture shown: no question, and nothing to crop with until sizes are given.
  w->FFactor = 0;
  Form1->FImageHeight = 0;
  Form1->FImageWidth = 0;
  w->FormActivate(w);
  EXPECT_FALSE(w->ZqButton3->Enabled());
  Sizes("600", "800");
  EXPECT_TRUE(w->ZqButton3->Enabled());
  EXPECT_EQ(w->FFactor, 800.0 / 600);

  // The boxes take digits and Backspace only.
  for (char key : {'a', '-', '.', ' '}) {
    char k = key;
    w->Edit1KeyPress(w->Edit1, k);
    EXPECT_EQ(k, 0) << key;
  }
  for (char key : {'0', '9', '\b'}) {
    char k = key;
    w->Edit2KeyPress(w->Edit2, k);
    EXPECT_EQ(k, key);
  }
}

TEST_F(AspectWindowTest, OptionsAndSelectAll) {
  TCalculateAspect* w = CalculateAspect;
  w->CB_ASPPortrait->SetChecked(false);
  w->FormActivate(w);
  EXPECT_FALSE(w->CB_PortToLandscape->Enabled());
  w->CB_ASPPortrait->SetChecked(true);
  EXPECT_TRUE(w->CB_PortToLandscape->Enabled());
  w->CB_PrepareCompression->SetChecked(true);
  EXPECT_FALSE(w->CB_BackupAspectR->Enabled());
  EXPECT_EQ(w->ZqButton3->Caption(), "Start batch for selected image(s)");
  w->CB_PrepareCompression->SetChecked(false);
  EXPECT_TRUE(w->CB_BackupAspectR->Enabled());
  EXPECT_EQ(w->ZqButton3->Caption(), "Change Aspect Ratio of selected image(s)");

  ListPictures({"a.jpg", "b.jpg", "c.jpg"});
  ExpectMessage("Select all files for Aspect Ratio adjusment from current folder ?", mrNo, ModalKind::MessageDlg);
  w->ZqSpeedButton1Click(nullptr);
  EXPECT_TRUE(w->ZqSpeedButton1->Enabled());
  EXPECT_FALSE(Form1->ListBox1->MultiSelect());
  ModalResponder::Expect(ModalKind::MessageDlg, int(mrYes));
  w->ZqSpeedButton1Click(nullptr);
  EXPECT_FALSE(w->ZqSpeedButton1->Enabled());
  EXPECT_EQ(Form1->ListBox1->SelCount(), 3);
}
