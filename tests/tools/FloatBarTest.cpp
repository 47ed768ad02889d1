// The floating button bar mirrors the main window's buttons when it shows, does what the
// main window's buttons do, and leaves the keyboard with the main window.

#include "ToolWindowFixture.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "tools/UnitFloatButtons.h"

namespace {

// The bar's parts that show and the buttons that are down, by name.
std::string BarState(TFormFloatB* bar) {
  return testsupport::NamesSet(
      {{"folders", bar->PanelFolderBrowse->Visible()}, {"thumbnails", bar->ZqTumblist->Visible()},
       {"fit", bar->ZqFitInScreen->Visible()},         {"info", bar->ZqImageInfo->Visible()},
       {"fades", bar->ZqFade->Visible()},              {"delay", bar->PanelDelayButtons->Visible()},
       {"auto down", bar->ZqAutonext->Down()},         {"name down", bar->ZqShowInfo->Down()},
       {"stretch down", bar->ZqStretchsmaller->Down()}, {"fit down", bar->ZqFitInScreen->Down()}});
}

}  // namespace

TEST_F(ToolWindowTest, FloatingBarMirrorsTheMainButtonsAndForwardsTheirCommands) {
  TFormFloatB* bar = FormFloatB;
  TForm1* main = Form1;

  // In a slide show: no folder, thumbnail, fit and info buttons; the fade styles instead.
  main->ZqSlideShow->SetDown(true);
  main->ZqStretchsmaller->SetDown(true);
  main->ZqFitInScreen->SetDown(false);
  main->M_Showfilename->SetChecked(true);
  main->PanelDelayButtons->SetVisible(true);
  main->LabelDelay->SetCaption("7");
  bar->ShowNoActivate();
  EXPECT_EQ(BarState(bar), "fades, delay, auto down, name down, stretch down");
  EXPECT_EQ(bar->LabelDelay->Caption(), "7");
  const int slideWidth = bar->Width();
  bar->Close();

  // In the ordinary view the other way round; the bar is as wide as what it shows.
  main->ZqSlideShow->SetDown(false);
  main->ZqAutonext->SetDown(false);
  main->PanelDelayButtons->SetVisible(false);
  bar->ShowNoActivate();
  EXPECT_EQ(BarState(bar), "folders, thumbnails, fit, info, name down, stretch down");
  EXPECT_NE(bar->Width(), slideWidth);
  int shown = 0;
  for (int i = 0; i < bar->ControlCount(); ++i)
    if (bar->Controls(i)->Visible()) shown += bar->Controls(i)->Width();
  EXPECT_EQ(bar->ClientWidth(), shown);

  // Next on the bar shows the next picture.
  std::vector<std::string> names;
  for (const char* n : {"a.jpg", "b.jpg", "c.jpg"}) {
    MakePicture(n, 40, 30);
    names.push_back(n);
  }
  ListPictures(names);
  main->ListBox1->SetItemIndex(0);
  bar->ZqNext->Click();
  EXPECT_EQ(main->ListBox1->ItemIndex(), 1);
  bar->ZqPrevious->Click();
  EXPECT_EQ(main->ListBox1->ItemIndex(), 0);

  // The toggles flip the main window's buttons and run their commands.
  bar->ZqFitInScreen->Click();
  EXPECT_TRUE(main->ZqFitInScreen->Down());
  EXPECT_TRUE(main->M_Fitlargertoviewer->Checked());
  bar->ZqStretchsmaller->Click();
  EXPECT_FALSE(main->ZqStretchsmaller->Down());
  EXPECT_FALSE(main->M_Strechsmaller->Checked());
  bar->ZqShowInfo->Click();
  EXPECT_FALSE(main->M_Showfilename->Checked());
  bar->ZqShowInfo->Click();
  EXPECT_TRUE(main->M_Showfilename->Checked());

  // The slide delay, shown on the bar as in the main window.
  main->FSlideDelay = 4;
  bar->ZqSpeedUp->Click();
  EXPECT_EQ(main->FSlideDelay, 5);
  EXPECT_EQ(bar->LabelDelay->Caption(), "5");
  bar->ZqSpeedDown->Click();
  bar->ZqSpeedDown->Click();
  EXPECT_EQ(bar->LabelDelay->Caption(), "3");

  // "Back to normal view" does nothing outside full screen (no slide show starts).
  bar->ZqSpeedButton3->Click();
  EXPECT_FALSE(main->FFullScreen);
  EXPECT_FALSE(main->ZqSlideShow->Down());
  main->FullScreen();
  ASSERT_TRUE(main->FFullScreen);
  bar->ZqSpeedButton3->Click();
  EXPECT_FALSE(main->FFullScreen);

  // A release on the bar gives the focus back to the main window.
  main->Show();
  bar->Show();
  GuiTesting::Click(bar->ZqNext, 5, 5);
  GuiTesting::ProcessEvents();
  EXPECT_EQ(Screen->ActiveForm(), main);

  bar->ZqSpeedButton1->Click();
  EXPECT_FALSE(bar->Visible());
}
