// Zoom and the keys and mouse on the picture, through the GUI layer's key and mouse
// events: the displayed size after each zoom step against the steps and limits of the
// zoom rules, the view's centre kept, dragging and the wheel, browse mode, the cursors,
// Esc and the multi-select switch.
#include <cmath>
#include <tuple>

#include "ViewerFixture.h"
#include "controls/KpPanel.h"
#include "controls/ZqSpeedButton.h"
#include "core/UnitSetting.h"
#include "platform/gui/ComCtrls.h"

class ZoomKeysTest : public ViewerTest {
 protected:
  // A picture of width x height shown unfitted in a 600 x 400 area.
  void StartOn(int width, int height) {
    Make("a.png", {"-size", std::to_string(width) + "x" + std::to_string(height), "gradient:red-blue"});
    Make("b.png", {"-size", "64x48", "xc:green"});
    Make("c.png", {"-size", "64x48", "xc:yellow"});
    StartIn();
    Form1->M_Recursive->SetChecked(false);
    SetArea(600, 400);
    Form1->ZqFitInScreen->SetDown(false);
    Form1->OpenThePicture(folder_ + "a.png");
    Form1->ListBox1->SetItemIndex(0);
  }
  void Key(uint16_t key, TShiftState shift = TShiftState()) { GuiTesting::PressKey(Form1->ListBox1, key, shift); }
  // value * percent / 100, a remainder above one half rounded up.
  static int Percent(int percent, int value) {
    const int product = percent * value;
    return product / 100 + (product % 100 > 50 ? 1 : 0);
  }
  int Zoom() const { return Form1->FZoomPercent; }
};

TEST_F(ZoomKeysTest, PlusAndMinusStepThroughTheZoomTableAndStopAtItsLimits) {
  StartOn(333, 251);
  TImage* image = Form1->Image1;
  auto expectSize = [&](int percent) {
    EXPECT_EQ(Zoom(), percent);
    EXPECT_EQ(image->Width(), Percent(percent, 333)) << percent;
    EXPECT_EQ(image->Height(), Percent(percent, 251)) << percent;
    EXPECT_EQ(Form1->StatusBar1->Panels()->Items(6)->Text(), std::to_string(percent) + "%");
  };
  for (int percent : {150, 200, 250, 300, 350, 400, 450, 500, 500}) {
    Key(VK_ADD);
    expectSize(percent);
  }
  for (int percent : {450, 400, 350, 300, 250, 200, 150, 100, 90, 80, 70, 60, 50, 40, 30, 20, 10, 10}) {
    Key(VK_OEM_MINUS);
    expectSize(percent);
  }
  Key(VK_OEM_PLUS);
  expectSize(20);
  // With Ctrl one percent at a time; a step may pass a limit once, the next step in that
  // direction goes back to it (from: the zoom set first, 0 for none).
  const TShiftState ctrl{ssCtrl};
  for (auto [from, key, shift, percent] :
       {std::tuple{100, VK_ADD, ctrl, 101}, {0, VK_SUBTRACT, ctrl, 100}, {480, VK_ADD, TShiftState(), 530},
        {0, VK_ADD, TShiftState(), 500}, {15, VK_SUBTRACT, TShiftState(), 5}, {0, VK_SUBTRACT, TShiftState(), 10}}) {
    if (from) Form1->FZoomPercent = from;
    Key(uint16_t(key), shift);
    expectSize(percent);
  }
  // A new picture starts at 100 %.
  Form1->OpenThePicture(folder_ + "a.png");
  EXPECT_EQ(Zoom(), 100);
  // The zoom keys do nothing in the full-screen show.
  Form1->FSlideDelay = 100;
  Form1->M_Start1->Click();
  Key(VK_ADD);
  EXPECT_EQ(Zoom(), 100);
  Form1->M_Start1->Click();
}

TEST_F(ZoomKeysTest, TheMouseZoomsWithCtrlDragsALargePictureAndTheWheelScrollsIt) {
  StartOn(500, 300);
  TImage* image = Form1->Image1;
  for (auto [from, shift, percent] : {std::tuple{0, TShiftState{ssCtrl}, 125}, {480, {ssCtrl}, 500}, {0, {ssCtrl}, 500},
                                      {30, {ssCtrl, ssAlt}, 10}}) {
    if (from) Form1->FZoomPercent = from;
    GuiTesting::Click(image, 10, 10, mbLeft, shift);
    EXPECT_EQ(Zoom(), percent) << from;
  }
  EXPECT_EQ(image->Width(), 50);

  // 300 %: 1500 x 900 in the 600 x 400 area; the press point is dragged.
  Form1->FZoomPercent = 300;
  Form1->ZoomPicture(300);
  TControlScrollBar* horz = Form1->ScrollBox1->HorzScrollBar();
  TControlScrollBar* vert = Form1->ScrollBox1->VertScrollBar();
  horz->SetPosition(100);
  vert->SetPosition(100);
  GuiTesting::MouseDown(image, mbLeft, 300, 200);
  GuiTesting::MouseMove(image, 250, 170, TShiftState{ssLeft});
  GuiTesting::MouseUp(image, mbLeft, 250, 170);
  EXPECT_EQ(horz->Position(), 150);
  EXPECT_EQ(vert->Position(), 130);
  EXPECT_EQ(image->Cursor(), crHandPoint);
  GuiTesting::Wheel(image, -120, 50, 50);
  EXPECT_EQ(vert->Position(), 190);
  GuiTesting::Wheel(image, 120, 50, 50, TShiftState{ssShift});
  EXPECT_EQ(horz->Position(), 90);
}

TEST_F(ZoomKeysTest, ZoomKeepsThePartOfThePictureInTheMiddleOfTheView) {
  StartOn(400, 300);
  // A centred picture smaller than the area: the point in the middle stays there.
  TImage* image = Form1->Image1;
  auto centre = [&] {
    const double x = (Form1->ScrollBox1->ClientWidth() / 2.0 - image->Left()) / image->Width();
    const double y = (Form1->ScrollBox1->ClientHeight() / 2.0 - image->Top()) / image->Height();
    return std::make_pair(x, y);
  };
  const auto before = centre();
  EXPECT_NEAR(before.first, 0.5, 0.03);
  Form1->FZoomPercent = 200;
  Form1->ZoomPicture(200);
  EXPECT_NEAR(centre().first, before.first, 0.01);
  EXPECT_NEAR(centre().second, before.second, 0.01);
  // The view on the right half, three quarters across: still there at 400 %.
  Form1->FZoomPercent = 300;
  Form1->ZoomPicture(300);
  Form1->ScrollBox1->HorzScrollBar()->SetPosition(1200 * 3 / 4 - Form1->ScrollBox1->ClientWidth() / 2);
  ASSERT_NEAR(centre().first, 0.75, 0.01);
  const double y = centre().second;
  Form1->FZoomPercent = 400;
  Form1->ZoomPicture(400);
  EXPECT_EQ(image->Width(), 1600);
  EXPECT_NEAR(centre().first, 0.75, 0.01);
  EXPECT_NEAR(centre().second, y, 0.01);
}

TEST_F(ZoomKeysTest, BrowseModeStepsWithTheMouseButtonsAndChangesTheCursors) {
  StartOn(200, 100);
  Key('M', TShiftState{ssCtrl});
  EXPECT_TRUE(Form1->FBrowseMode);
  EXPECT_EQ(Form1->LabelShowTextTop->Caption(), "Browse mode, mouse buttons = next/previous picture");
  EXPECT_FALSE(Form1->PopupImage->AutoPopup());
  EXPECT_EQ(Form1->Image1->Cursor(), crBrowse);
  GuiTesting::Click(Form1->Image1, 5, 5, mbRight);
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "b.png");
  GuiTesting::Click(Form1->Image1, 5, 5, mbLeft);
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "a.png");
  GuiTesting::Click(Form1->Image1, 5, 5, mbLeft);
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "c.png");
  // The middle button switches back.
  GuiTesting::Click(Form1->Image1, 5, 5, mbMiddle);
  EXPECT_FALSE(Form1->FBrowseMode);
  EXPECT_EQ(Form1->LabelShowTextTop->Caption(), "Normal mouse button mode");
  EXPECT_TRUE(Form1->PopupImage->AutoPopup());
  // Ctrl alone shows the zoom-in cursor, Ctrl+Alt the zoom-out one.
  Key(VK_CONTROL, TShiftState{ssCtrl});
  EXPECT_EQ(Form1->Image1->Cursor(), crZoomIn);
  Key(VK_MENU, TShiftState{ssCtrl, ssAlt});
  EXPECT_EQ(Form1->Image1->Cursor(), crZoomOut);
}

TEST_F(ZoomKeysTest, EscStopsABatchOrAsksToExitAndShiftMakesTheListMultiSelect) {
  StartOn(200, 100);
  ActionRunning = true;
  StopRequested = false;
  Key(VK_ESCAPE);
  EXPECT_TRUE(StopRequested);
  ActionRunning = false;
  StopRequested = false;
  // In a window Esc asks; No keeps the window.
  ExpectMessage("Exit Kivo2?", mrNo, ModalKind::MessageDlg);
  Key(VK_ESCAPE);
  EXPECT_TRUE(Form1->Visible());
  // Shift: the list selects several entries from now on, keeping the current one.
  Form1->ListBox1->SetItemIndex(1);
  Key(VK_SHIFT, TShiftState{ssShift});
  EXPECT_TRUE(Form1->ListBox1->MultiSelect());
  EXPECT_TRUE(Form1->ListBox1->Selected(1));
  EXPECT_EQ(Form1->ListBox1->ItemIndex(), 1);
  // A step turns it back into a single-select list.
  Key(VK_OEM_PERIOD);
  EXPECT_FALSE(Form1->ListBox1->MultiSelect());
  // Ctrl+D: the debug panel with its marker file, and the stand-alone button.
  testsupport::WriteFile(Form1->FAppDir + "debug.txt", "");
  Key('D', TShiftState{ssCtrl});
  EXPECT_TRUE(Form1->KpFramePanel1->Visible());
  EXPECT_TRUE(FormSettings->USB_Button->Visible());
  Key('D', TShiftState{ssCtrl});
  EXPECT_FALSE(Form1->KpFramePanel1->Visible());
}

TEST_F(ZoomKeysTest, ShiftClickInTheListSelectsARangeAndCtrlClickTogglesAnEntry) {
  for (const char* name : {"d.png", "e.png", "f.png"}) MakeColor(name, 32, 24, "navy");
  StartOn(200, 100);
  TListBox* list = Form1->ListBox1;
  ASSERT_EQ(list->Count(), 6);
  auto itemPoint = [&](int index) {
    const TRect r = list->ItemRect(index);
    return std::make_pair(r.Left + 5, (r.Top + r.Bottom) / 2);
  };
  auto selected = [&] {
    std::vector<int> out;
    for (int i = 0; i < list->Count(); ++i)
      if (list->Selected(i)) out.push_back(i);
    return out;
  };
  auto click = [&](int index, TShiftState shift) {
    const auto [x, y] = itemPoint(index);
    GuiTesting::Click(list, x, y, mbLeft, shift);
  };
  click(1, TShiftState());
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "b.png");
  // The user holds Shift and clicks a later entry: the range from the current entry.
  Key(VK_SHIFT, TShiftState{ssShift});
  click(4, TShiftState{ssShift});
  EXPECT_EQ(selected(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(list->ItemIndex(), 4);
  // Shift+click on an earlier entry: the range runs from the same start.
  click(0, TShiftState{ssShift});
  EXPECT_EQ(selected(), (std::vector<int>{0, 1}));
  // Ctrl+click toggles one entry and keeps the others.
  Key(VK_CONTROL, TShiftState{ssCtrl});
  click(3, TShiftState{ssCtrl});
  EXPECT_EQ(selected(), (std::vector<int>{0, 1, 3}));
  click(1, TShiftState{ssCtrl});
  EXPECT_EQ(selected(), (std::vector<int>{0, 3}));
  // A plain click selects one entry; the next range starts there.
  click(2, TShiftState());
  EXPECT_EQ(selected(), (std::vector<int>{2}));
  click(5, TShiftState{ssShift});
  EXPECT_EQ(selected(), (std::vector<int>{2, 3, 4, 5}));
  // A step makes it a single-select list again; the entry the step chose starts the
  // range of the next Shift+click.
  Key(VK_OEM_PERIOD);
  EXPECT_FALSE(list->MultiSelect());
  ASSERT_EQ(list->ItemIndex(), 0);
  Key(VK_SHIFT, TShiftState{ssShift});
  click(2, TShiftState{ssShift});
  EXPECT_EQ(selected(), (std::vector<int>{0, 1, 2}));
}
