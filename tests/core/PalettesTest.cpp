// The resample-filter and fade-style palettes as the user reaches them: Ctrl+T and the
// menu open them modally at the picture area's top-left corner, the filter the user picks
// redraws the picture with it (outside the window's creation and closing only), the check
// box mirrors the menu item, the fading choice reaches the slide show, and only the left
// button drags the borderless windows.
#include <filesystem>

#include "MainWindowFixture.h"
#include "controls/EventScrollbox.h"
#include "controls/ZephFade.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "core/UnitFadestyles.h"
#include "core/UnitFilterselect.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Classes.h"

namespace fs = std::filesystem;

namespace {

class PalettesTest : public MainWindowTest {
 protected:
  // The main window on a folder with two pictures larger than the picture area (so that
  // they are resampled), the first one shown.
  void StartOnPictures() {
    folder_ = testsupport::TempPath("pics") + "/";
    fs::create_directories(folder_);
    MakePicture(folder_ + "a.png", 2400, 1800, "green");
    MakePicture(folder_ + "b.png", 2400, 1800, "blue");
    Start({"\"LastPath\"=\"" + folder_ + "\""});
    ASSERT_EQ(Form1->FCurrentFile, folder_ + "a.png");
  }
  static std::string FilterText() { return Form1->StatusBar1->Panels()->Items(5)->Text(); }
  static void PressCtrlT() { GuiTesting::PressKey(Form1->ListBox1, 'T', TShiftState{ssCtrl}); }

  std::string folder_;
};

}  // namespace

TEST_F(PalettesTest, CtrlTOpensTheFilterPaletteAtThePictureAreaAndTheUsersFilterRedraws) {
  StartOnPictures();
  Form1->Smoothstrech->SetChecked(true);
  Form1->ListBox1->Click();
  // A fresh store resamples with the designed Hermite filter.
  EXPECT_EQ(FilterText(), "filter Hermite");
  TPoint at;
  bool mirrored = false;
  std::string redrawnBeforeChoice, afterChoice, afterUncheck;
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& request) {
    EXPECT_EQ(request.form, FormFilterSelect);
    at = Point(FormFilterSelect->Left(), FormFilterSelect->Top());
    mirrored = FormFilterSelect->Ch_Filter->Checked();
    // Showing the palette redraws nothing: the status bar still has the text put there.
    redrawnBeforeChoice = FilterText();
    GuiTesting::Click(FormFilterSelect->RG_Resample->Buttons(6), 3, 3);
    afterChoice = FilterText();
    GuiTesting::Click(FormFilterSelect->Ch_Filter, 3, 3);
    afterUncheck = FilterText();
    GuiTesting::Click(FormFilterSelect->ZqButton1, 5, 5);
    return int(mrNone);
  });
  Form1->StatusBar1->Panels()->Items(5)->SetText("as before");
  PressCtrlT();
  EXPECT_EQ(ModalResponder::Pending(), 0) << "Ctrl+T opened no palette";
  EXPECT_EQ(at, Form1->ScrollBox1->ClientOrigin());
  EXPECT_TRUE(mirrored);
  EXPECT_EQ(redrawnBeforeChoice, "as before");
  EXPECT_EQ(afterChoice, "filter Lanczos3");
  EXPECT_EQ(afterUncheck, "filter = off");
  EXPECT_FALSE(Form1->Smoothstrech->Checked());
  EXPECT_FALSE(FormFilterSelect->Visible());

  // While a fade shows, the picture area is the fade's: no palette.
  Form1->ZephFade1->SetVisible(true);
  PressCtrlT();
  Form1->ZephFade1->SetVisible(false);

  // A choice redraws only outside the windows' creation and closing.
  Form1->Smoothstrech->SetChecked(true);
  Form1->FSuspendUpdates = true;
  Form1->StatusBar1->Panels()->Items(5)->SetText("");
  FormFilterSelect->RG_Resample->SetItemIndex(5);
  EXPECT_EQ(FormFilterSelect->RG_Resample->ItemIndex(), 5);
  EXPECT_EQ(FilterText(), "");
  Form1->FSuspendUpdates = false;
  FormFilterSelect->RG_Resample->SetItemIndex(0);
  EXPECT_EQ(FilterText(), "filter Box");
}

TEST_F(PalettesTest, TheFadingMenuOpensTheFadePaletteWhoseChoiceTheSlideShowUses) {
  StartOnPictures();
  TPoint at;
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& request) {
    EXPECT_EQ(request.form, FormFadestyles);
    at = Point(FormFadestyles->Left(), FormFadestyles->Top());
    GuiTesting::Click(FormFadestyles->ChB_Fading, 3, 3);
    GuiTesting::Click(FormFadestyles->ZqButton1, 5, 5);
    return int(mrNone);
  });
  Form1->SetFading1->Click();
  EXPECT_EQ(ModalResponder::Pending(), 0) << "the menu item opened no palette";
  EXPECT_EQ(at, Form1->ScrollBox1->ClientOrigin());
  ASSERT_TRUE(FormFadestyles->ChB_Fading->Checked());
  // In the full-screen show the next picture fades in: its interval grows by the fade.
  Form1->FSlideShowMode = true;
  Form1->FSlideDelay = 2;
  Form1->ZqFitInScreen->SetDown(true);
  Form1->OpenThePicture(folder_ + "b.png");
  Form1->FSlideShowMode = false;
  EXPECT_EQ(Form1->Timer1->Interval(), unsigned(2000 + Form1->ZephFade1->BlendRate() * 10));
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
