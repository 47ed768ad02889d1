// The main window's hand-offs and short handlers: copy windows, the compare window's
// refusals, deleting one picture for the tool windows, the zoom presets, the small bar
// and menu handlers, the previous-folder button, the donation page and the note shown
// while closing from a removable drive.
#include <sys/stat.h>

#include "OrganiseFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "platform/gui/ComCtrls.h"
#include "platform/shell/Shell.h"
#include "tools/UnitCompare.h"
#include "tools/UnitImageCopy.h"
#include "tools/UnitShowProgress2.h"

namespace fs = std::filesystem;

class HandOffsTest : public OrganiseTest {
 protected:
  // The copy windows that the main window owns now.
  std::vector<TImageCopyForm*> CopyWindows() const {
    std::vector<TImageCopyForm*> windows;
    for (int i = 0; i < Form1->ComponentCount(); ++i)
      if (auto* w = dynamic_cast<TImageCopyForm*>(Form1->Components(i))) windows.push_back(w);
    return windows;
  }
  // The sides of a window's picture.
  static std::string Sides(TImage* image) {
    TGraphic* g = image->Picture()->Graphic();
    return g ? std::to_string(g->Width()) + "x" + std::to_string(g->Height()) : "none";
  }
};

TEST_F(HandOffsTest, EachSelectedPictureGetsACopyWindowOfItsOwn) {
  const std::vector<std::string> names{"a.png", "b.png", "c.png", "d.png", "e.png"};
  for (size_t i = 0; i < names.size(); ++i) MakeColor(names[i], 40 + int(i) * 10, 30, "blue");
  StartIn();
  Select({"b.png"});
  Form1->Compare1->Click();
  ASSERT_EQ(CopyWindows().size(), 1u);
  TImageCopyForm* one = CopyWindows()[0];
  EXPECT_EQ(one->Caption(), folder_ + "b.png");
  EXPECT_EQ(Sides(one->Image1), "50x30");
  EXPECT_TRUE(one->Visible());
  // Placed near the picture area's corner.
  const TPoint origin = Form1->ScrollBox1->ClientOrigin();
  EXPECT_GE(one->Left(), origin.X);
  EXPECT_LT(one->Left(), origin.X + 100);
  // Closing frees it.
  one->Close();
  Application->ProcessMessages();
  EXPECT_TRUE(CopyWindows().empty());

  // Five pictures through the bar button: five windows, each with its own picture.
  Select(names);
  Form1->ZqSpeedButton1->Click();
  const std::vector<TImageCopyForm*> windows = CopyWindows();
  ASSERT_EQ(windows.size(), 5u);
  for (size_t i = 0; i < windows.size(); ++i) {
    EXPECT_EQ(windows[i]->Caption(), folder_ + names[i]);
    EXPECT_EQ(Sides(windows[i]->Image1), std::to_string(40 + int(i) * 10) + "x30");
  }
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "e.png");
}

TEST_F(HandOffsTest, AJpegLoadedReducedIsReloadedAtItsRealSizeInTheCopyWindow) {
  Make("big.jpg", {"-size", "2400x1800", "gradient:red-blue", "-quality", "80"});
  StartIn();
  SetArea(300, 200);
  Form1->OpenThePicture(folder_ + "big.jpg");
  // The picture area is small: the JPEG was decoded at a reduced scale.
  ASSERT_LT(Form1->FSourcePicture->Graphic()->Width(), 2400);
  Select({"big.jpg"});
  Form1->Compare1->Click();
  ASSERT_EQ(CopyWindows().size(), 1u);
  EXPECT_EQ(Sides(CopyWindows()[0]->Image1), "2400x1800");
  EXPECT_FALSE(CopyWindows()[0]->ToolButton22->Enabled());
}

TEST_F(HandOffsTest, CompareTakesTwoToFourJpegFilesOnly) {
  MakeColor("a.jpg", 32, 32, "red");
  MakeColor("b.JPEG", 32, 32, "red");
  MakeColor("c.jpg", 32, 32, "red");
  MakeColor("d.png", 32, 32, "red");
  StartIn();
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"a.jpg"}, "Need at least 2 selected images"},
      {{"a.jpg", "c.jpg", "d.png"}, "For now the comparetool accepts only JPG images, select JPG files only."}};
  for (const auto& [selection, message] : refused) {
    ExpectMessage(message);
    Select(selection);
    Form1->Compare2->Click();
    EXPECT_FALSE(FormCompare->Visible());
  }
  // ".JPEG" is a JPEG file like ".jpg".
  int compared = 0;
  ModalResponder::Expect(ModalKind::ShowModal, [&compared](ModalRequest& r) {
    EXPECT_EQ(r.form, FormCompare);
    compared = FormCompare->FCompareList->Count();
    return int(mrCancel);
  });
  Select({"a.jpg", "b.JPEG"});
  Form1->Compare2->Click();
  EXPECT_EQ(compared, 2);
}

TEST_F(HandOffsTest, DeleteOneImageTakesThisVeryFile) {
  MakeColor("a.png", 16, 16, "red");
  MakeColor("b.png", 16, 16, "red");
  const std::string other = testsupport::TempPath("other") + "/";
  fs::create_directories(other);
  // A file of another folder with the name of a listed one.
  testsupport::Run({"convert", "-size", "8x8", "xc:green", other + "a.png"});
  StartIn();
  const std::string listed = testsupport::ReadFile(folder_ + "a.png");
  ExpectMessage("Move 1 file to the Trash?", mrYes, ModalKind::MessageDlg);
  EXPECT_TRUE(Form1->DeleteOneImage(other + "a.png"));
  EXPECT_EQ(testsupport::ReadFile(folder_ + "a.png"), listed);
  EXPECT_TRUE(fs::exists(HomeTrashDir() + "/files/a.png"));
  EXPECT_GE(Form1->ListBox1->Items()->IndexOf("a.png"), 0);

  // A listed file goes through the list's delete command: it leaves the list too.
  ModalResponder::Expect(ModalKind::MessageDlg, int(mrYes));
  EXPECT_TRUE(Form1->DeleteOneImage(folder_ + "b.png"));
  EXPECT_FALSE(fs::exists(folder_ + "b.png"));
  EXPECT_LT(Form1->ListBox1->Items()->IndexOf("b.png"), 0);
  EXPECT_FALSE(Form1->ListBox1->MultiSelect());
  // No: the file stays and the answer says so.
  ModalResponder::Expect(ModalKind::MessageDlg, int(mrNo));
  EXPECT_FALSE(Form1->DeleteOneImage(folder_ + "a.png"));
  EXPECT_TRUE(fs::exists(folder_ + "a.png"));
}

TEST_F(HandOffsTest, ZoomPresetsAndToFit) {
  Make("p.png", {"-size", "300x200", "gradient:red-blue"});
  StartIn();
  SetArea(300, 200);
  Form1->OpenThePicture(folder_ + "p.png");
  const std::pair<TMenuItem*, int> presets[] = {{Form1->N101, 10},   {Form1->N331, 33},   {Form1->N501, 50},
                                                {Form1->N1501, 150}, {Form1->N2001, 200}, {Form1->N3001, 300},
                                                {Form1->N4001, 400}, {Form1->N5001, 500}, {Form1->N1001, 100},
                                                {Form1->ZQTofit1, 100}};
  for (const auto& [item, percent] : presets) {
    item->Click();
    EXPECT_EQ(Form1->FZoomPercent, percent) << item->Name();
    EXPECT_EQ(Form1->Image1->Width(), 300 * percent / 100) << item->Name();
  }
  // A picture as large as the picture box fits at 100 %.
  Form1->tofit1->Click();
  EXPECT_EQ(Form1->FZoomPercent, 100);
  // From any zoom the picture fits the area again.
  Form1->N2001->Click();
  Form1->tofit1->Click();
  EXPECT_EQ(Form1->FZoomPercent, 100);
}

TEST_F(HandOffsTest, SmallHandlersOfBarsAndMenus) {
  MakeColor("a.png", 16, 16, "red");
  testsupport::WriteFile(folder_ + "notes.xyz", "not a picture");
  StartIn();
  // Perfect rotations off with backups off: the user is offered backups.
  Form1->M_Losslesbackup->SetChecked(false);
  Form1->M_JPGTRANPerfect->SetChecked(true);
  ExpectMessage("Backup for lossless is currently off, enable this option now?", mrYes, ModalKind::MessageDlg);
  Form1->M_JPGTRANPerfect->Click();
  EXPECT_TRUE(Form1->M_Losslesbackup->Checked());
  // With backups on nothing is asked.
  Form1->M_JPGTRANPerfect->Click();
  Form1->M_JPGTRANPerfect->Click();

  // The list bar's close button, and its menu item bringing it back.
  ASSERT_TRUE(Form1->PanelListOptions->Visible());
  Form1->ZqSpeedButton3->Click();
  EXPECT_FALSE(Form1->PanelListOptions->Visible());
  EXPECT_FALSE(Form1->M_Filelistbar->Checked());
  Form1->M_Filelistbar->Click();
  EXPECT_TRUE(Form1->PanelListOptions->Visible());
  EXPECT_TRUE(Form1->M_Filelistbar->Checked());

  // All files: the list takes the file that is no picture, and the menu follows.
  EXPECT_LT(Form1->ListBox1->Items()->IndexOf("notes.xyz"), 0);
  Form1->ZqShowAll->SetDown(true);
  Form1->ZqShowAll->Click();
  EXPECT_TRUE(Form1->Showallfiles->Checked());
  EXPECT_GE(Form1->ListBox1->Items()->IndexOf("notes.xyz"), 0);

  // The thumbnail cache switch rules the tree-wide thumbnail command.
  Form1->M_UseTumbCache->SetChecked(true);
  Form1->M_UseTumbCache->Click();
  EXPECT_FALSE(Form1->CreateallthumbsforSelTree->Enabled());
  Form1->M_UseTumbCache->Click();
  EXPECT_TRUE(Form1->CreateallthumbsforSelTree->Enabled());

  // The tree and import commands only for folders, not in the paperclip view.
  Form1->PopupGetimage->OnPopup(Form1->PopupGetimage);
  Form1->PopupEmail->OnPopup(Form1->PopupEmail);
  EXPECT_TRUE(Form1->Importfrommemorycardorfolder1->Enabled());
  EXPECT_TRUE(Form1->XPCopyCompressTree1->Enabled());
  Form1->TreeView1->SetVisible(true);
  Form1->PopupGetimage->OnPopup(Form1->PopupGetimage);
  Form1->File1->OnClick(Form1->File1);
  EXPECT_FALSE(Form1->Importfrommemorycardorfolder1->Enabled());
  EXPECT_FALSE(Form1->Aquireimagetwainscannerebcam1->Enabled());
  EXPECT_FALSE(Form1->Compresscompleettree1->Enabled());
  EXPECT_FALSE(Form1->XPCopyCompressTree1->Enabled());
  Form1->TreeView1->SetVisible(false);

  // The overlay switch of the picture menu sets the main menu's, and the overlay shows.
  Form1->OpenThePicture(folder_ + "a.png");
  Form1->Exifoverlay->SetChecked(false);
  Form1->Exifoverlayonoff1->Click();
  EXPECT_TRUE(Form1->Exifoverlay->Checked());
  EXPECT_TRUE(Form1->ExifLabelFront->Visible());
  // A double click on it switches its background.
  const bool transparent = Form1->ExifLabelBack->Transparent();
  Form1->ExifLabelFront->OnDblClick(Form1->ExifLabelFront);
  EXPECT_NE(Form1->ExifLabelBack->Transparent(), transparent);
  Form1->Exifoverlayonoff1->Click();
  EXPECT_FALSE(Form1->Exifoverlay->Checked());
  EXPECT_FALSE(Form1->ExifLabelFront->Visible());

  // The previous-folder button goes back.
  const std::string second = testsupport::TempPath("second");
  fs::create_directories(second);
  Form1->QzDirTree211->OpenPath(second);
  Application->ProcessMessages();
  ASSERT_EQ(ExcludeTrailingPathDelimiter(Form1->QzDirTree211->SelectedPath()), second);
  ASSERT_EQ(ExcludeTrailingPathDelimiter(Form1->FPreviousFolder), ExcludeTrailingPathDelimiter(folder_));
  Form1->ZqSpeedButton5->Click();
  Application->ProcessMessages();
  EXPECT_EQ(ExcludeTrailingPathDelimiter(Form1->QzDirTree211->SelectedPath()), ExcludeTrailingPathDelimiter(folder_));

  // Donate says that Kivo2 takes no donations, and opens nothing.
  const std::string bin = testsupport::TempPath("bin");
  fs::create_directories(bin);
  const std::string record = testsupport::TempPath("opened.txt");
  testsupport::WriteFile(bin + "/xdg-open", "#!/bin/sh\necho \"$@\" > " + record + "\n");
  chmod((bin + "/xdg-open").c_str(), 0755);
  EnvironmentGuard path({{"PATH", bin + ":" + getenv("PATH")}});
  ExpectMessage("Thank you, your support is very welcome.\nKivo2 takes no donations; there is no donation page to open.");
  Form1->Donate1->Click();
  usleep(200000);
  EXPECT_FALSE(fs::exists(record));

  // Closing from a removable drive keeps a note up.
  bool canClose = false;
  Form1->OnCloseQuery(Form1, canClose);
  EXPECT_TRUE(canClose);
  EXPECT_FALSE(ShowProgressForm->Visible());
  Form1->FUsbMode = true;
  canClose = false;
  Form1->OnCloseQuery(Form1, canClose);
  Form1->FUsbMode = false;
  EXPECT_TRUE(canClose);
  EXPECT_TRUE(ShowProgressForm->Visible());
  EXPECT_EQ(ShowProgressForm->ShowText->Caption(), "Don't remove the card/drive, Kivo2 is closing down.........");
  EXPECT_FALSE(ShowProgressForm->ProgressBar1->Visible());
  ShowProgressForm->Hide();
}
