// The resample-filter and fade-style palettes: the filter choice redraws the picture only
// outside the window's creation and closing, the check box mirrors the menu item without
// redrawing, and only the left button drags the borderless windows.
#include <filesystem>

#include "MainWindowFixture.h"
#include "core/Unit1.h"
#include "core/UnitFadestyles.h"
#include "core/UnitFilterselect.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Classes.h"

namespace fs = std::filesystem;

namespace {

class PalettesTest : public MainWindowTest {
 protected:
  // A folder with one picture listed and selected, and nothing shown.
  void PrepareList() {
    CreateWindows();
    folder_ = testsupport::TempPath("pics") + "/";
    fs::create_directories(folder_);
    testsupport::WriteFile(folder_ + "one.bmp", "not really a picture");
    Form1->FLastPath = folder_;
    Form1->ListBox1->Items()->Add("one.bmp");
    Form1->ListBox1->SetItemIndex(0);
    Form1->FCurrentFile.clear();
  }
  std::string folder_;
};

}  // namespace

TEST_F(PalettesTest, FilterChoiceRedrawsOnlyOutsideCreationAndClosing) {
  PrepareList();
  Form1->FSuspendUpdates = true;
  FormFilterSelect->RG_Resample->SetItemIndex(5);
  EXPECT_EQ(FormFilterSelect->RG_Resample->ItemIndex(), 5);
  EXPECT_EQ(Form1->FCurrentFile, "");
  Form1->FSuspendUpdates = false;
  FormFilterSelect->RG_Resample->SetItemIndex(6);
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "one.bmp");
}

TEST_F(PalettesTest, FilterCheckBoxMirrorsTheMenuItem) {
  PrepareList();
  Form1->FSuspendUpdates = false;
  Form1->Smoothstrech->SetChecked(true);
  // Showing the palette copies the menu state and redraws nothing.
  FormFilterSelect->FormShow(FormFilterSelect);
  EXPECT_TRUE(FormFilterSelect->Ch_Filter->Checked());
  EXPECT_FALSE(FormFilterSelect->FUpdating);
  EXPECT_EQ(Form1->FCurrentFile, "");
  // The user's click sets the menu item and redraws.
  FormFilterSelect->Ch_Filter->SetChecked(false);
  EXPECT_FALSE(Form1->Smoothstrech->Checked());
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "one.bmp");
}

TEST_F(PalettesTest, OnlyTheLeftButtonDragsThePalettes) {
  CreateWindows();
  Screen->SetCursor(crHourGlass);
  EXPECT_FALSE(DragPaletteWindow(FormFilterSelect, mbRight));
  EXPECT_FALSE(DragPaletteWindow(FormFadestyles, mbMiddle));
  EXPECT_TRUE(DragPaletteWindow(FormFadestyles, mbLeft));
  // The cursor it had comes back.
  EXPECT_EQ(Screen->Cursor(), crHourGlass);
  Screen->SetCursor(crDefault);
  // The panel and the image pass their presses on; a right press does nothing.
  FormFilterSelect->Show();
  GuiTesting::MouseDown(FormFilterSelect->Panel1, mbRight, 30, 30);
  GuiTesting::MouseUp(FormFilterSelect->Panel1, mbRight, 30, 30);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_TRUE(FormFilterSelect->Visible());
}

TEST_F(PalettesTest, DesignedStatesOfThePalettes) {
  CreateWindows();
  EXPECT_EQ(FormFilterSelect->RG_Resample->ItemIndex(), 2);
  EXPECT_EQ(FormFilterSelect->RG_Resample->Items()->Count(), 7);
  EXPECT_EQ(FormFilterSelect->RG_Resample->Items()->Strings(2), "Hermite ");
  EXPECT_EQ(FormFilterSelect->BorderStyle(), bsNone);
  EXPECT_EQ(FormFilterSelect->FormStyle(), fsStayOnTop);
  for (TCheckBox* box : {FormFadestyles->ChB_Fading, FormFadestyles->ChB_Soft, FormFadestyles->ChB_Coarse,
                         FormFadestyles->ChB_Direct})
    EXPECT_FALSE(box->Checked()) << box->Name();
  EXPECT_EQ(FormFadestyles->BorderStyle(), bsNone);
  EXPECT_EQ(FormFadestyles->Caption(), "FormFadestyles");
}
