// Every view command of the menus, popups and bars with its visible effect: fitting and
// stretching, the decode scale, the filter, preview, invert, grey, reload, the picture
// popup, the panels and bars, the floating bar, the thumbnail switch, the palettes, the
// folder buttons; then the file list drawn in its colours, the entry under the mouse
// with its preview beside the list, the list popup and the way back from a search list.
#include "ViewerFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "core/UnitSetting.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "tools/UnitFloatButtons.h"
#include "tools/UnitThumbSpy.h"

namespace fs = std::filesystem;

namespace {

TColor PixelOf(TImage* image, int x, int y) {
  TBitmap b;
  b.Assign(image->Picture()->Graphic());
  b.SetPixelFormat(pf24bit);
  const uint8_t* p = b.ScanLine(y) + 3 * x;
  return RGB(p[2], p[1], p[0]);
}

}  // namespace

class ViewCommandsTest : public ViewerTest {
 protected:
  void StartOnPictures() {
    Make("a_big.png", {"-size", "1200x900", "gradient:red-blue"});
    Make("b_small.png", {"-size", "100x80", "xc:rgb(200,40,10)"});
    Make("c.jpg", {"-size", "1600x1200", "gradient:white-black", "-quality", "90"});
    StartIn();
    SetArea(600, 400);
    Form1->OpenThePicture(folder_ + "a_big.png");
  }
  TImage* Image() const { return Form1->Image1; }
};

TEST_F(ViewCommandsTest, FitAndStretchCommandsShowThePictureRefitted) {
  StartOnPictures();
  ASSERT_TRUE(Form1->ZqFitInScreen->Down());
  EXPECT_LE(Image()->Width(), 600);
  Form1->M_Fitlargertoviewer->Click();  // Ctrl+L
  EXPECT_FALSE(Form1->ZqFitInScreen->Down());
  EXPECT_FALSE(Form1->M_Fitlargertoviewer->Checked());
  EXPECT_EQ(Image()->Width(), 1200);
  Form1->Fitlargeronoff1->Click();
  EXPECT_TRUE(Form1->ZqFitInScreen->Down());
  EXPECT_LE(Image()->Width(), 600);
  GuiTesting::Click(Form1->ZqFitInScreen, 3, 3);
  EXPECT_EQ(Image()->Width(), 1200);
  EXPECT_FALSE(Form1->M_Fitlargertoviewer->Checked());
  GuiTesting::Click(Form1->ZqFitInScreen, 3, 3);

  Form1->OpenThePicture(folder_ + "b_small.png");
  EXPECT_EQ(Image()->Width(), 100);
  Form1->M_Strechsmaller->Click();  // Ctrl+S
  EXPECT_TRUE(Form1->ZqStretchsmaller->Down());
  EXPECT_TRUE(Form1->M_Strechsmaller->Checked());
  EXPECT_GT(Image()->Height(), 300);
  Form1->Strechsmalleronoff1->Click();
  EXPECT_EQ(Image()->Width(), 100);
  // During a show the stretch button changes only the next picture.
  Form1->Timer1->SetEnabled(true);
  GuiTesting::Click(Form1->ZqStretchsmaller, 3, 3);
  EXPECT_TRUE(Form1->ZqStretchsmaller->Down());
  EXPECT_EQ(Image()->Width(), 100);
  Form1->Timer1->SetEnabled(false);
}

TEST_F(ViewCommandsTest, DecodeScaleFilterAndPreviewCommandsTakeEffect) {
  StartOnPictures();
  Form1->ListBox1->SetItemIndex(2);
  Form1->N181->Click();
  EXPECT_TRUE(Form1->N181->Checked());
  EXPECT_FALSE(Form1->M_Autoscale->Checked());
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "c.jpg");
  EXPECT_EQ(Form1->FScaleText, " 1/8");
  EXPECT_EQ(Form1->FSourcePicture->Width(), 200);
  Form1->N111->Click();
  EXPECT_EQ(Form1->FSourcePicture->Width(), 1600);
  Form1->M_Autoscale->Click();
  EXPECT_EQ(Form1->FScaleText, " 1/2");
  // The filter: the status bar names it.
  Form1->Smoothstrech->Click();  // Ctrl+R
  EXPECT_EQ(Form1->StatusBar1->Panels()->Items(5)->Text(), "filter Hermite");
  Form1->Smoothstrech->Click();
  EXPECT_EQ(Form1->StatusBar1->Panels()->Items(5)->Text(), "filter = off");
  Form1->M_Preview->Click();
  EXPECT_TRUE(Form1->FPreview);
  EXPECT_EQ(Form1->LabelShowTextTop->Caption(), "Preview on");
  Form1->M_Preview->Click();
  EXPECT_FALSE(Form1->FPreview);
  EXPECT_EQ(Form1->LabelShowTextTop->Caption(), "Preview off");
  // (The palettes, opened by Ctrl+T and the fading item: in the palettes' test.)
}

TEST_F(ViewCommandsTest, PicturePopupInvertsGreysReloadsAndEnablesItsItems) {
  StartOnPictures();
  Form1->OpenThePicture(folder_ + "b_small.png");
  EXPECT_EQ(PixelOf(Image(), 5, 5), RGB(200, 40, 10));
  Form1->Invert1->Click();
  EXPECT_EQ(PixelOf(Image(), 5, 5), RGB(55, 215, 245));
  Form1->Grayscale1->Click();
  const TColor grey = PixelOf(Image(), 5, 5);
  EXPECT_EQ(GetRValue(grey), GetGValue(grey));
  EXPECT_EQ(GetGValue(grey), GetBValue(grey));
  Make("b_small.png", {"-size", "100x80", "xc:rgb(0,0,250)"});
  Form1->PopupImagePopup(Form1->PopupImage);
  EXPECT_TRUE(Form1->Reloadimage1->Enabled());
  EXPECT_FALSE(Form1->RunGifImage1->Enabled());
  EXPECT_FALSE(Form1->FloatingButtons1->Visible());
  Form1->Reloadimage1->Click();
  EXPECT_EQ(PixelOf(Image(), 5, 5), RGB(0, 0, 250));
  fs::remove(folder_ + "b_small.png");
  Form1->PopupImagePopup(Form1->PopupImage);
  EXPECT_FALSE(Form1->Reloadimage1->Enabled());
  // In full screen the popup offers the floating bar, checked while it shows.
  Form1->FullScreen();
  Form1->PopupImagePopup(Form1->PopupImage);
  EXPECT_TRUE(Form1->FloatingButtons1->Visible());
  EXPECT_EQ(Form1->FloatingButtons1->Checked(), FormFloatB->Visible());
  Form1->FullScreen();
}

TEST_F(ViewCommandsTest, TheGifSwitchIsOfferedForAnAnimatedGifOnly) {
  Make("anim.gif", {"-delay", "5", "-size", "40x30", "xc:red", "xc:blue", "-loop", "0"});
  Make("still.gif", {"-size", "40x30", "xc:red"});
  Make("still.png", {"-size", "40x30", "xc:red"});
  Make("two.png", {"-delay", "5", "-size", "40x30", "xc:red", "xc:blue"});
  StartIn();
  SetArea(600, 400);
  // The popup as the user raises it: the right button on the picture.
  auto offered = [&] {
    GuiTesting::Click(Image(), 3, 3, mbRight);
    return Form1->RunGifImage1->Enabled();
  };
  Form1->OpenThePicture(folder_ + "anim.gif");
  ASSERT_NE(Form1->FGifImage, nullptr);
  EXPECT_TRUE(offered());
  Form1->OpenThePicture(folder_ + "still.gif");
  EXPECT_FALSE(offered());
  Form1->OpenThePicture(folder_ + "still.png");
  EXPECT_FALSE(offered());
  Form1->OpenThePicture(folder_ + "anim.gif");
  EXPECT_TRUE(offered());
  // A zoomed animation is a still picture (the switch does nothing there).
  Form1->FZoomPercent = 200;
  Form1->ZoomPicture(200);
  EXPECT_FALSE(offered());
  // A running show shows an animated GIF's first frame only.
  Form1->FSlideRunning = true;
  Form1->OpenThePicture(folder_ + "anim.gif");
  Form1->FSlideRunning = false;
  EXPECT_FALSE(offered());
  // An empty view, after an animation, offers nothing.
  Form1->OpenThePicture(folder_ + "anim.gif");
  ASSERT_TRUE(offered());
  Form1->ListBox1->Clear();
  Form1->FCurrentFile.clear();
  Form1->EmptyAllImages();
  EXPECT_FALSE(offered());
}

TEST_F(ViewCommandsTest, PanelsAndBarsComeAndGo) {
  StartOnPictures();
  GuiTesting::Click(Form1->ZqBrowsePanel, 3, 3);
  EXPECT_FALSE(Form1->PanelBrowse->Visible());
  EXPECT_FALSE(Form1->Splitter1->Visible());
  EXPECT_FALSE(Form1->M_Tree->Checked());
  EXPECT_TRUE(Form1->ZqBrowsePanel->Down());
  Form1->M_Tree->Click();  // F3
  EXPECT_TRUE(Form1->PanelBrowse->Visible());
  EXPECT_TRUE(Form1->Splitter1->Visible());
  EXPECT_GE(Form1->Splitter1->Left(), Form1->PanelBrowse->Left() + Form1->PanelBrowse->Width());
  EXPECT_TRUE(Form1->M_Tree->Checked());
  EXPECT_FALSE(Form1->ZqBrowsePanel->Down());

  GuiTesting::Click(Form1->ZqMainMenu, 3, 3);
  EXPECT_FALSE(Form1->View1->Visible());
  GuiTesting::Click(Form1->ZqMainMenu, 3, 3);
  EXPECT_TRUE(Form1->View1->Visible());

  // F6 and F7: the button bar and the status bar go and come back with their items' checks.
  for (auto [item, bar] : {std::pair<TMenuItem*, TControl*>{Form1->M_Buttons, Form1->PanelTopButtons},
                           {Form1->M_Statusbar, Form1->StatusBar1}})
    for (bool shown : {false, true}) {
      item->Click();
      EXPECT_EQ(bar->Visible(), shown) << item->Name();
      EXPECT_EQ(item->Checked(), shown) << item->Name();
    }

  // The floating bar in any mode from the popup; from the menu in full screen only.
  Form1->FloatingButtons1->Click();
  EXPECT_TRUE(FormFloatB->Visible());
  Form1->Floatingbuttons2->Click();
  EXPECT_FALSE(FormFloatB->Visible());
  Form1->M_FloatingButtons->Click();
  EXPECT_FALSE(FormFloatB->Visible());
  Form1->FullScreen();
  EXPECT_EQ(FormFloatB->Visible(), Form1->M_FloatingButtons->Checked());
  const bool shown = FormFloatB->Visible();
  Form1->M_FloatingButtons->Click();
  EXPECT_NE(FormFloatB->Visible(), shown);
  // Bars stay as they are in full screen; the file name shows there when asked.
  Form1->M_Buttons->Click();
  EXPECT_FALSE(Form1->PanelTopButtons->Visible());
  Form1->M_Showfilename->Click();  // Ctrl+A
  Form1->OpenThePicture(folder_ + "b_small.png");
  EXPECT_TRUE(Form1->LabelShowTextTop->Visible());
  EXPECT_EQ(Form1->LabelShowTextTop->Caption(), folder_ + "b_small.png");
  Form1->M_Showfilename->Click();
  EXPECT_FALSE(Form1->LabelShowTextTop->Visible());
  Form1->FullScreen();
  EXPECT_EQ(Form1->PanelTopButtons->Visible(), Form1->M_Buttons->Checked());

  // F5: the thumbnail panel.
  Form1->Onoff1->Click();
  EXPECT_TRUE(Form1->ZqTumblist->Down());
  EXPECT_TRUE(Form1->PanelThumbHolder->Visible());
  ASSERT_NE(Form1->FThumbScrollBox, nullptr);
  EXPECT_EQ(Form1->FThumbScrollBox->ControlCount(), 3);
  Form1->Onoff1->Click();
  EXPECT_FALSE(Form1->PanelThumbHolder->Visible());

  // Recursive mode names the start folder in the caption.
  Form1->M_Recursive->Click();
  const bool recursive = Form1->M_Recursive->Checked();
  EXPECT_EQ(Form1->Caption().find("( First = ") == 0, recursive);
  Form1->M_Recursive->Click();
  EXPECT_EQ(Form1->Caption().find("( First = ") == 0, !recursive);
}

TEST_F(ViewCommandsTest, TheFloatingBarComesUpAtTheLeftOrTopEdgeInFullScreenOnly) {
  StartOnPictures();
  if (Form1->M_FloatingButtons->Checked()) Form1->M_FloatingButtons->Click();
  ASSERT_FALSE(Form1->M_FloatingButtons->Checked());
  // In a window the edge does nothing.
  GuiTesting::MouseMove(Form1->ScrollBox1, 2, 100);
  EXPECT_FALSE(FormFloatB->Visible());
  Form1->FullScreen();
  ASSERT_TRUE(Form1->FFullScreen);
  ASSERT_FALSE(FormFloatB->Visible());
  GuiTesting::MouseMove(Form1->ScrollBox1, 100, 100);
  EXPECT_FALSE(FormFloatB->Visible());
  // The left edge: the bar beside the mouse.
  GuiTesting::MouseMove(Form1->ScrollBox1, 2, 100);
  ASSERT_TRUE(FormFloatB->Visible());
  EXPECT_EQ(FormFloatB->Left(), 12);
  EXPECT_EQ(FormFloatB->Top(), 110);
  FormFloatB->Close();
  // The top edge near the right side: the bar to the left of the mouse.
  const int x = Screen->Width() - FormFloatB->Width() + 20;
  GuiTesting::MouseMove(Form1->Image1, x - Form1->Image1->Left(), 3 - Form1->Image1->Top());
  ASSERT_TRUE(FormFloatB->Visible());
  EXPECT_EQ(FormFloatB->Left(), x - FormFloatB->Width());
  EXPECT_EQ(FormFloatB->Top(), 13);
  // Leaving full screen closes it.
  Form1->FullScreen();
  EXPECT_FALSE(FormFloatB->Visible());
}

TEST_F(ViewCommandsTest, FolderButtonsMoveThroughTheTreeInItsOrder) {
  fs::create_directories(folder_ + "one");
  fs::create_directories(folder_ + "two");
  MakeColor("a.png", 20, 20, "red");
  MakeColor("one/b.png", 20, 20, "red");
  MakeColor("two/c.png", 20, 20, "red");
  StartIn();
  Form1->ZqFolderDown->Click();
  EXPECT_EQ(Form1->FLastPath, folder_ + "one/");
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "one/b.png");
  Form1->ZqFolderDown->Click();
  EXPECT_EQ(Form1->FLastPath, folder_ + "two/");
  Form1->ZqFolderUp->Click();
  EXPECT_EQ(Form1->FLastPath, folder_ + "one/");
  Form1->ZqFolderUp->Click();
  EXPECT_EQ(Form1->FLastPath, folder_);
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "a.png");
}

TEST_F(ViewCommandsTest, TheListIsDrawnInItsColoursAndTheEntryUnderTheMouseInBlue) {
  for (const char* name : {"a.png", "b.png", "c.png"}) MakeColor(name, 40, 30, "gray");
  StartIn();
  TListBox* list = Form1->ListBox1;
  TBitmap shot;
  auto row = [&](int index) {
    return shot.PixelColor(list->ClientWidth() - 6, list->ItemRect(index).Top + list->ItemHeight() / 2) & 0xFFFFFF;
  };
  auto blueInRow = [&](int index) {
    const TRect r = list->ItemRect(index);
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Left + 40; ++x)
        if (const TColor c = shot.PixelColor(x, y); GetBValue(c) > 150 && GetRValue(c) < 90 && GetGValue(c) < 90)
          return true;
    return false;
  };
  // Grey lists: button face; the current entry of the unfocused list in a darker grey.
  Form1->FListColorMode = 0;
  list->Invalidate();
  ASSERT_TRUE(GuiTesting::Grab(list, shot));
  EXPECT_EQ(row(1), ColorToRGB(clBtnFace) & 0xFFFFFF);
  EXPECT_NE(row(0), ColorToRGB(clBtnFace) & 0xFFFFFF) << "a selected entry stands out";
  // Window colours.
  Form1->FListColorMode = 1;
  list->Invalidate();
  ASSERT_TRUE(GuiTesting::Grab(list, shot));
  EXPECT_EQ(row(1), ColorToRGB(clWindow) & 0xFFFFFF);
  EXPECT_EQ(row(0), ColorToRGB(clBtnFace) & 0xFFFFFF);
  EXPECT_FALSE(blueInRow(2));
  // The mouse over an entry writes it in blue and shows its thumbnail beside the list.
  GuiTesting::MouseMove(list, 5, list->ItemRect(2).Top + 2);
  EXPECT_EQ(MouseOverItem, 2);
  ASSERT_TRUE(GuiTesting::Grab(list, shot));
  EXPECT_TRUE(blueInRow(2));
  EXPECT_TRUE(FormThumbSpy->Visible());
  EXPECT_EQ(FormThumbSpy->Left(), list->ClientToScreen(Point(list->Width() + 5, 0)).X);
  ASSERT_NE(FormThumbSpy->SpyImage->Picture()->Graphic(), nullptr);
  EXPECT_EQ(FormThumbSpy->SpyImage->Picture()->Width(), 40);
  // A press in the list forgets the entry under the mouse.
  GuiTesting::Click(list, 5, list->ItemRect(1).Top + 2);
  EXPECT_EQ(MouseOverItem, -1);
  EXPECT_FALSE(FormThumbSpy->Visible());
  // No preview while the show's timer runs.
  Form1->Timer1->SetEnabled(true);
  GuiTesting::MouseMove(list, 5, list->ItemRect(0).Top + 2);
  EXPECT_FALSE(FormThumbSpy->Visible());
  Form1->Timer1->SetEnabled(false);
  // The popup's switch and the menu's follow each other.
  Form1->ThumbsSpy->Click();
  EXPECT_FALSE(Form1->M_ThumbsSpy->Checked());
  GuiTesting::MouseMove(list, 5, list->ItemRect(2).Top + 2);
  EXPECT_FALSE(FormThumbSpy->Visible());
}

TEST_F(ViewCommandsTest, TheListPopupFitsTheSelectionAndASearchListCloses) {
  for (const char* name : {"a.png", "b.png"}) MakeColor(name, 40, 30, "gray");
  fs::create_directories(folder_ + "other");
  MakeColor("other/z.png", 40, 30, "gray");
  StartIn();
  TListBox* list = Form1->ListBox1;
  Form1->PopupListboxPopup(Form1->PopupListbox);
  EXPECT_TRUE(Form1->Renamefile1->Enabled());
  EXPECT_FALSE(Form1->P_Closelistgoto->Enabled());
  EXPECT_FALSE(Form1->PasteMovefiles1->Enabled());
  EXPECT_EQ(Form1->P_StartProg->Caption().find("Open with associated program: "), 0u);
  list->SetMultiSelect(true);
  list->SetSelected(0, true);
  list->SetSelected(1, true);
  Form1->FFileAction = 20;
  Form1->PopupListboxPopup(Form1->PopupListbox);
  EXPECT_FALSE(Form1->Renamefile1->Enabled());
  EXPECT_TRUE(Form1->PasteMovefiles1->Enabled());
  Form1->ListboxMultiSelectOff();
  Form1->FFileAction = 10;

  // A search list: the entries are full paths; "go to source" opens the entry's folder.
  Form1->PanelCustomLists->SetVisible(true);
  list->Clear();
  list->Items()->Add(folder_ + "other/z.png");
  list->Items()->Add(folder_ + "a.png");
  list->SetItemIndex(0);
  Form1->PopupListboxPopup(Form1->PopupListbox);
  EXPECT_TRUE(Form1->P_Closelistgoto->Enabled());
  Form1->P_Closelistgoto->Click();
  EXPECT_FALSE(Form1->PanelCustomLists->Visible());
  EXPECT_EQ(Form1->FLastPath, folder_ + "other/");
  EXPECT_EQ(Entries(), std::vector<std::string>{"z.png"});
  // Close: back to the tree's folder.
  Form1->PanelCustomLists->SetVisible(true);
  list->Clear();
  list->Items()->Add(folder_ + "a.png");
  Form1->Zq_CloseList->Click();
  EXPECT_FALSE(Form1->PanelCustomLists->Visible());
  EXPECT_EQ(Entries(), std::vector<std::string>{"z.png"});
  EXPECT_TRUE(Form1->ZqFolderUp->Enabled());
  // The right button selects when asked to.
  Form1->OpenThePicture(folder_ + "other/z.png");
  Form1->QzDirTree211->OpenPath(folder_);
  Form1->Rightclickselect->SetChecked(true);
  GuiTesting::MouseDown(list, mbRight, 5, list->ItemRect(1).Top + 2);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "b.png");
  // A cut waits through a change of folder; the search list is gone, its item is off.
  Form1->CutFiles1->Click();
  Form1->QzDirTree211->OpenPath(folder_ + "other");
  Form1->PopupListboxPopup(Form1->PopupListbox);
  EXPECT_FALSE(Form1->P_Closelistgoto->Enabled());
  ExpectMessage("Move 1 file to folder " + folder_ + "other/", mrYes, ModalKind::MessageDlg);
  Form1->PasteMovefiles1->Click();
  EXPECT_TRUE(fs::exists(folder_ + "other/b.png") && !fs::exists(folder_ + "b.png"));
}

TEST_F(ViewCommandsTest, TheViewersMessagesShowInDutch) {
  for (const char* name : {"a.png", "b.png"}) MakeColor(name, 40, 30, "gray");
  StartIn();
  UseLanguage("nl");
  Form1->M_Preview->Click();
  EXPECT_EQ(Form1->LabelShowTextTop->Caption(), "Voorbeeld aan");
  GuiTesting::PressKey(Form1->ListBox1, 'M', TShiftState{ssCtrl});
  EXPECT_EQ(Form1->LabelShowTextTop->Caption(), "Bladermodus, muisknoppen = volgende/vorige afbeelding");
  GuiTesting::PressKey(Form1->ListBox1, VK_SPACE);
  EXPECT_EQ(Form1->LabelShowTextTop->Caption(), "diavoorstelling loopt...");
  EXPECT_EQ(Form1->ZqAutonext->Hint(), "Automatisch tonen pauzeren - Spatie");
  GuiTesting::PressKey(Form1->ListBox1, VK_SPACE);
  testsupport::WriteFile(folder_ + "c.zzqx", "x");
  Form1->OpenThePicture(folder_ + "c.zzqx");  // no picture: no size
  EXPECT_EQ(Form1->StatusBar1->Panels()->Items(2)->Text(), "n.v.t.");
  UseLanguage("en");
}

TEST_F(ViewCommandsTest, ExifInHintsAndPreviewTheShowBackgroundAndDoubleClicksOnTheList) {
  KIVO2_REQUIRE_TOOL("exiftool");
  Make("a.jpg", {"-size", "64x48", "xc:orange"});
  auto r = testsupport::Run({"exiftool", "-q", "-overwrite_original", "-Make=Kivocam", "-Model=Kivocam Model 9",
                             "-ExposureTime=1/250", folder_ + "a.jpg"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  MakeColor("b.png", 40, 30, "gray");
  testsupport::WriteFile(folder_ + "c.zzqx", "\x01\x02\xff");
  StartIn(std::string(), {"\"ShowAllFiles\"=dword:00000001"});
  TListBox* list = Form1->ListBox1;
  ASSERT_EQ(Entries(), (std::vector<std::string>{"a.jpg", "b.png", "c.zzqx"}));

  // Thumbnail hints: the EXIF summary as the last lines only with the option.
  auto thumbHint = [&] {
    Form1->FillTheTumbsNow();
    auto* panel = dynamic_cast<TPanel*>(Form1->FThumbScrollBox->Controls(0));
    return panel ? panel->Hint() : std::string();
  };
  Form1->M_IncludeExifhint->SetChecked(false);
  EXPECT_EQ(thumbHint().find("Kivocam Model 9"), std::string::npos);
  Form1->M_IncludeExifhint->Click();
  ASSERT_TRUE(Form1->M_IncludeExifhint->Checked());
  const std::string hint = thumbHint();
  EXPECT_EQ(hint.find(folder_ + "a.jpg\n"), 0u) << hint;
  EXPECT_NE(hint.find("Kivocam Model 9"), std::string::npos) << hint;

  // The preview beside the list: the summary in its labels only with the option.
  auto preview = [&](int entry) {
    GuiTesting::MouseMove(list, 5, list->ItemRect(1 - entry).Top + 2);
    GuiTesting::MouseMove(list, 5, list->ItemRect(entry).Top + 2);
    return FormThumbSpy->Label1->Caption();
  };
  Form1->M_ThumbsSpy->SetChecked(true);
  Form1->M_ShowExifinspy->SetChecked(false);
  list->SetItemIndex(1);
  EXPECT_EQ(preview(0), "");
  EXPECT_TRUE(FormThumbSpy->Visible());
  Form1->M_ShowExifinspy->Click();
  ASSERT_TRUE(Form1->M_ShowExifinspy->Checked());
  EXPECT_NE(preview(0).find("Kivocam Model 9"), std::string::npos);
  EXPECT_EQ(FormThumbSpy->Label2->Caption(), FormThumbSpy->Label1->Caption());

  // Full screen: black with the option, else the preferences' picture colour.
  Form1->M_BlackSlideshowBG->SetChecked(true);
  Form1->FullScreen();
  EXPECT_EQ(Form1->ScrollBox1->Color(), clBlack);
  Form1->FullScreen();
  EXPECT_EQ(Form1->ScrollBox1->Color(), FormSettings->ColorBox1->Selected());
  Form1->M_BlackSlideshowBG->Click();
  ASSERT_FALSE(Form1->M_BlackSlideshowBG->Checked());
  Form1->FullScreen();
  EXPECT_EQ(Form1->ScrollBox1->Color(), FormSettings->ColorBox1->Selected());
  Form1->FullScreen();

  // A double click on an entry opens it with its program; a type without one says so.
  ExpectMessage("No associated program for this file type.");
  GuiTesting::DoubleClick(list, 5, list->ItemRect(2).Top + 2);
}
