// The main window's stages: the first showing with and without a picture on the command
// line, the version question, the extension lists, closing (in a window and in full
// screen), the message panel, the caption, the equivalence list and the message hook.
#include <chrono>
#include <filesystem>

#include "Kivo2Version.h"
#include "MainWindowFixture.h"
#include "controls/EventScrollbox.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "core/ProgramGlobals.h"
#include "core/Unit1.h"
#include "core/UnitSetting.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/shell/ShellExplorer.h"
#include "tools/UnitAbout.h"

namespace fs = std::filesystem;

namespace {

bool Overlap(const TRect& a, const TRect& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

}  // namespace

// ---------------------------------------------------------------------------
// The build number
// ---------------------------------------------------------------------------
TEST(BuildNumber, FourPartVersionsStayApartAndInOrder) {
  EXPECT_EQ(EncodeBuildNumber(1, 1, 0, 5), 1010005);
  // Run together, 1.12.3.4 and 11.2.3.4 both gave 11234.
  EXPECT_NE(EncodeBuildNumber(1, 12, 3, 4), EncodeBuildNumber(11, 2, 3, 4));
  // Past 16 bits without overflow.
  EXPECT_EQ(EncodeBuildNumber(3, 4, 5, 67), 3040567);
  EXPECT_LT(EncodeBuildNumber(1, 9, 9, 9), EncodeBuildNumber(1, 10, 0, 0));
  EXPECT_LT(EncodeBuildNumber(2, 0, 0, 1), EncodeBuildNumber(2, 0, 0, 2));
  EXPECT_TRUE(SameBuild(EncodeBuildNumber(2, 0, 0, 1), EncodeBuildNumber(2, 0, 0, 1)));
  // A value stored by an older build (the digits run together) is never this build.
  EXPECT_FALSE(SameBuild(1105, EncodeBuildNumber(1, 1, 0, 5)));
  EXPECT_FALSE(SameBuild(0, EncodeBuildNumber(1, 1, 0, 5)));
  EXPECT_FALSE(SameBuild(-5, -5));
}

// ---------------------------------------------------------------------------
// First showing
// ---------------------------------------------------------------------------
TEST_F(MainWindowTest, PictureOnTheCommandLineSelectsItsFolderAndFileAndAsksNothing) {
  const std::string photos = testsupport::TempPath("My Photos");
  fs::create_directories(photos);
  MakePicture(photos + "/a.jpg");
  MakePicture(photos + "/b.jpg", 80, 60, "blue");
  MakePicture(photos + "/c.png");
  testsupport::WriteFile(photos + "/notes.doc", "x");
  // An older build's store: the version differs, yet with a file named no question comes.
  WriteRegistry({"\"Version\"=" + Dword(1104)});
  SetArguments({photos + "/b.jpg"});
  // Only the picture named is read, once: a large one would take twice the time and memory.
  TFileFaultScope first(TFileFaultOp::Open, EIO, "/a.jpg", 0, -1), again(TFileFaultOp::Open, EIO, "/b.jpg", 1, -1);
  CreateWindows();
  ShowMainWindow();
  EXPECT_EQ(first.Hits() + again.Hits(), 0);

  EXPECT_EQ(Form1->QzDirTree211->SelectedPath(), photos + "/");
  EXPECT_EQ(Form1->ListBox1->Items()->ToVector(), (std::vector<std::string>{"a.jpg", "b.jpg", "c.png"}));
  ASSERT_GE(Form1->ListBox1->ItemIndex(), 0);
  EXPECT_EQ(Form1->ListBox1->Items()->Strings(Form1->ListBox1->ItemIndex()), "b.jpg");
  EXPECT_EQ(Form1->FCurrentFile, photos + "/b.jpg");
  EXPECT_EQ(Form1->Image1->Picture()->Width(), 80);
  EXPECT_EQ(Form1->FStoredVersion, 1104);
  // The folder has no sub folders: the caption names the start folder without a first one.
  EXPECT_EQ(Form1->Caption(), "( First = n/a ) - My Photos");
}

TEST_F(MainWindowTest, FileWithoutExtensionOnTheCommandLineShowsThePlaceholder) {
  const std::string folder = testsupport::TempPath("notes");
  fs::create_directories(folder);
  testsupport::WriteFile(folder + "/README", "plain text");
  SetArguments({folder + "/README"});
  CreateWindows();
  ShowMainWindow();
  EXPECT_EQ(Form1->QzDirTree211->SelectedPath(), folder + "/");
  EXPECT_EQ(Form1->ListBox1->Count(), 0);
  EXPECT_EQ(Form1->FCurrentFile, folder + "/README");
  EXPECT_TRUE(Form1->FPlaceholderShown);
}

TEST_F(MainWindowTest, APictureOnTheCommandLineThatIsNotThereIsReportedOverTheStoredFolder) {
  const std::string stored = testsupport::TempPath("stored folder");
  fs::create_directories(stored);
  const std::string missing = testsupport::TempPath("missing.jpg");
  SetArguments({missing});
  std::string message, folderShown;
  bool windowShown = false;
  ModalResponder::Expect(ModalKind::ShowMessage, [&](ModalRequest& request) {
    message = request.text;
    windowShown = Form1->Showing();
    folderShown = Form1->QzDirTree211->SelectedPath();
    return int(mrOk);
  });
  Start({"\"LastPath\"=\"" + stored + "/\""});
  EXPECT_EQ(message, "The picture " + missing + " does not exist.");
  EXPECT_TRUE(windowShown);
  EXPECT_EQ(folderShown, stored + "/");
  EXPECT_EQ(Form1->QzDirTree211->SelectedPath(), stored + "/");
  DoneApplication();

  // A folder named on the command line is passed over without a word.
  Application->Initialize();
  SetArguments({stored});
  CreateWindows();
  ShowMainWindow();
  EXPECT_EQ(Form1->QzDirTree211->SelectedPath(), stored + "/");
}

TEST_F(MainWindowTest, NetworkDrivesConnectedToComeBackAreConnectedAtTheNextStart) {
  // This gio makes the share's folder as gvfs would, and cannot reach "later" once "down" exists.
  const std::string bin = testsupport::TempPath("bin"), path = GetEnvironmentVariable("PATH");
  const std::string gvfs = GetEnvironmentVariable("XDG_RUNTIME_DIR") + "/gvfs/";
  fs::create_directories(bin);
  testsupport::WriteFile(bin + "/gio", "#!/bin/sh\ncase $2 in -u) exec rmdir \"$3\";; *later) [ -e " + bin +
                                           "/down ] && exit 2;; esac\nexec mkdir -p \"$XDG_RUNTIME_DIR/gvfs/${2##*/}\"\n");
  fs::permissions(bin + "/gio", fs::perms::owner_all);
  setenv("PATH", (bin + ":" + path).c_str(), 1);
  Start({});
  // "Reconnect at logon" ticked, unticked, ticked for a share disconnected then, ticked.
  for (const auto& [share, reconnect] : {std::pair{"\\\\nas\\photos", true}, {"sftp://nas/once", false},
                                         {"//nas/gone", true}, {"//nas/later", true}}) {
    ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& r) {
      for (int i = 0; i < r.form->ComponentCount(); ++i) {
        if (auto* e = dynamic_cast<TEdit*>(r.form->Components(i))) e->SetText(share);
        if (auto* b = dynamic_cast<TCheckBox*>(r.form->Components(i))) b->SetChecked(reconnect);
      }
      return int(mrOk);
    });
    Form1->QzDirTree211->ConnectNetworkDrive();
    if (std::string(share).ends_with("gone")) {
      ExpectMessage("Disconnect the network drive " + gvfs + "gone?", mrYes, ModalKind::MessageDlg);
      Form1->QzDirTree211->DisconnectNetworkDrive();
    }
  }
  // Closed, and started again after the session took the shares' folders along.
  DoneApplication();
  fs::remove_all(gvfs);
  testsupport::WriteFile(bin + "/down", "");
  ExpectMessage("The network drive smb://nas/later could not be connected again.\n"
                "An error occurred while connecting smb://nas/later.", mrOk, ModalKind::MessageDlg);
  Application->Initialize();
  CreateWindows();
  ShowMainWindow();
  setenv("PATH", path.c_str(), 1);
  EXPECT_TRUE(fs::exists(gvfs + "photos"));
  EXPECT_FALSE(fs::exists(gvfs + "once") || fs::exists(gvfs + "gone") || fs::exists(gvfs + "later"));
}

TEST_F(MainWindowTest, AMaximisedStartFitsAndCentresTheFirstPictureInTheAreaItEndsWith) {
  const std::string photos = testsupport::TempPath("photos");
  fs::create_directories(photos);
  MakePicture(photos + "/big.jpg", 3000, 2000, "orange");
  WriteRegistry({"\"Version\"=" + Dword(ThisBuild()), "\"LastPath\"=\"" + photos + "/\"",
                 "\"WinStatusMain\"=" + Dword(3)});
  CreateWindows();
  // The window as designed, before the window system maximises it.
  const int designedWidth = Form1->Width(), designedHeight = Form1->Height();
  ShowMainWindow();
  ASSERT_EQ(Form1->WindowState(), wsMaximized);
  ASSERT_TRUE(Form1->Width() != designedWidth || Form1->Height() != designedHeight)
      << "the window system gave the maximised window its designed size";
  ASSERT_EQ(Form1->FCurrentFile, photos + "/big.jpg");
  const int areaWidth = Form1->ScrollBox1->ClientWidth(), areaHeight = Form1->ScrollBox1->ClientHeight();
  // The decode scale of the area the window ended with: 1/2 from twice its size on, and so on.
  int scale = 0;
  for (int s = 1; s <= 3; ++s)
    if (3000 >= (2 << (s - 1)) * areaWidth || 2000 >= (2 << (s - 1)) * areaHeight) scale = s;
  const std::string scaleTexts[] = {" 1/1", " 1/2", " 1/4", " 1/8"};
  EXPECT_EQ(Form1->FScaleText, scaleTexts[scale]);
  // Fitted into that area less the margin of 20, touching it on one side.
  const int width = Form1->Image1->Picture()->Width(), height = Form1->Image1->Picture()->Height();
  EXPECT_LE(width, areaWidth - 20);
  EXPECT_LE(height, areaHeight - 20);
  EXPECT_TRUE(std::abs(width - (areaWidth - 20)) <= 1 || std::abs(height - (areaHeight - 20)) <= 1)
      << width << " x " << height << " in " << areaWidth << " x " << areaHeight;
  EXPECT_NEAR(double(width) / height, 1.5, 0.01);
  // And in its middle.
  EXPECT_EQ(Form1->Image1->Left(), (areaWidth - width) / 2);
  EXPECT_EQ(Form1->Image1->Top(), (areaHeight - height) / 2 - 2);
}

TEST_F(MainWindowTest, TheFirstRunQuestionComesOverTheShownWindowAndItsFirstPicture) {
  const std::string photos = testsupport::TempPath("photos");
  fs::create_directories(photos);
  MakePicture(photos + "/a.jpg");
  MakePicture(photos + "/b.png");
  WriteRegistry({"\"LastPath\"=\"" + photos + "/\""});
  bool windowShown = false;
  int listed = -1;
  std::string shown;
  ModalResponder::Expect(ModalKind::MessageDlg, [&](ModalRequest& request) {
    EXPECT_NE(request.text.find("Program update or First time installation!"), std::string::npos);
    windowShown = Form1->Showing();
    listed = Form1->ListBox1->Count();
    shown = Form1->FCurrentFile;
    return int(mrNo);
  });
  CreateWindows();
  ShowMainWindow();
  EXPECT_EQ(ModalResponder::Pending(), 0);
  EXPECT_TRUE(windowShown);
  EXPECT_EQ(listed, 2);
  EXPECT_EQ(shown, photos + "/a.jpg");
}

TEST_F(MainWindowTest, StoredPictureBackgroundShowsAroundThePictureFromTheStart) {
  const std::string photos = testsupport::TempPath("photos");
  fs::create_directories(photos);
  MakePicture(photos + "/small.png", 40, 30, "red");
  // clMoneyGreen, as the class library numbers it: red 192, green 220, blue 192.
  Start({"\"LastPath\"=\"" + photos + "/\"",
                 "\"PictBackground\"=" + Dword(0xC0DCC0)});
  ASSERT_EQ(Form1->FCurrentFile, photos + "/small.png");
  TBitmap shot;
  ASSERT_TRUE(GuiTesting::Grab(Form1->ScrollBox1, shot));
  EXPECT_EQ(shot.PixelColor(3, 3) & 0xFFFFFF, RGB(192, 220, 192));
  EXPECT_EQ(shot.PixelColor(shot.Width() - 3, shot.Height() - 3) & 0xFFFFFF, RGB(192, 220, 192));
  const int x = Form1->Image1->Left() + 20, y = Form1->Image1->Top() + 15;
  EXPECT_EQ(shot.PixelColor(x, y) & 0xFFFFFF, clRed);
}

// In Dutch every button of the file list's bar stays in sight at any width, and the
// preferences name the stored language and the colours in Dutch.
TEST_F(MainWindowTest, DutchFileListBarAndPreferences) {
  Start({"\"Language\"=\"nl\"", "\"NavigatorWidth\"=" + Dword(185)});
  ASSERT_EQ(Form1->ZqSpeedButton2->Caption(), "Volgorde");
  TZqSpeedButton* const buttons[] = {Form1->ZqShowAll, Form1->ZqListBoxSortmenu, Form1->ZqSpeedButton2,
                                     Form1->ZqSpeedButton3};
  auto allInSight = [&](int navigatorWidth) {
    Form1->PanelBrowse->SetWidth(navigatorWidth);
    GuiTesting::ProcessEvents();
    TPanel* bar = Form1->PanelListOptions;
    for (TZqSpeedButton* b : buttons) {
      SCOPED_TRACE(b->Name() + " at " + std::to_string(navigatorWidth));
      EXPECT_TRUE(b->Visible());
      EXPECT_TRUE(b->Left() >= 0 && b->Top() >= 0 && b->Left() + b->Width() <= bar->ClientWidth() &&
                  b->Top() + b->Height() <= bar->ClientHeight());
      // The button's caption fits it.
      EXPECT_GE(b->Width(), b->Canvas()->TextWidth(b->Caption()));
      for (TZqSpeedButton* other : buttons)
        EXPECT_TRUE(other == b || !Overlap(b->BoundsRect(), other->BoundsRect())) << "covers " << other->Name();
    }
    // The file list starts below the bar.
    EXPECT_GE(Form1->ListBox1->Top(), bar->Top() + bar->Height());
  };
  allInSight(185);
  allInSight(110);
  allInSight(420);
  EXPECT_EQ(Form1->PanelBrowse->Width(), 420) << "the user's width stays";

  std::string language, code, colour;
  std::vector<std::string> identifiers;
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& request) {
    EXPECT_EQ(request.form, FormSettings);
    language = FormSettings->ComboBox1->Text();
    code = FormSettings->StaticText2->Caption();
    TColorBox* box = FormSettings->ColorBox1;
    for (int i = 0; i < box->ColorCount(); ++i)
      if (box->ColorNames(i).rfind("cl", 0) == 0) identifiers.push_back(box->ColorNames(i));
    box->SetSelected(clMoneyGreen);
    colour = box->ColorNames(box->ItemIndex());
    box->SetSelected(clWindow);
    return int(mrOk);
  });
  Form1->M_Settings->Click();
  EXPECT_EQ(code, "nl");
  EXPECT_EQ(language, "Nederlands");
  EXPECT_EQ(colour, "Mintgroen");
  EXPECT_TRUE(identifiers.empty()) << identifiers.front();
}

TEST_F(MainWindowTest, AboutBoxListsTheSupportedFileTypes) {
  Start();
  std::string types;
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& request) {
    EXPECT_EQ(request.form, AboutBox);
    types = AboutBox->Comments->Caption();
    return int(mrOk);
  });
  Form1->M_Types->Click();
  for (const char* type : {".jpg ", ".jpeg ", ".png ", ".tif ", ".bmp ", ".tga "})
    EXPECT_NE(types.find(type), std::string::npos) << type << " in \"" << types << "\"";
  // Metafiles, never shown, are named apart on a line of their own.
  for (const char* type : {".wmf ", ".emf "}) EXPECT_GT(types.find(type), types.find('\n')) << types;
}

// Yes opens the preferences on the quick-configure page; the settings apply when they close.
TEST_F(MainWindowTest, UpdateAsksForTheQuickConfigurationWithBothVersions) {
  WriteRegistry({"\"Version\"=" + Dword(1104)});
  std::string question;
  int treesHeight = 0, browseHeight = 0;
  ModalResponder::Expect(ModalKind::MessageDlg, [&](ModalRequest& request) {
    question = request.text;
    EXPECT_EQ(request.caption, "Information");
    treesHeight = Form1->PanelTrees->Height();
    browseHeight = Form1->PanelBrowse->Height();
    return int(mrYes);
  });
  bool quickPage = false;
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& request) {
    EXPECT_EQ(request.form, FormSettings);
    quickPage = FormSettings->PageControl1->ActivePage() == FormSettings->TabSheet2;
    FormSettings->ColorBox1->SetSelected(clAqua);
    return int(mrOk);
  });
  CreateWindows();
  ShowMainWindow();
  EXPECT_TRUE(quickPage);
  EXPECT_EQ(Form1->ScrollBox1->Color(), clAqua);
  const std::string version = std::to_string(KIVO2_VERSION_MAJOR) + "." + std::to_string(KIVO2_VERSION_MINOR) + "." +
                              std::to_string(KIVO2_VERSION_PATCH) + "." + std::to_string(KIVO2_VERSION_TWEAK);
  // The dialog shows the line breaks of the text (CR and CR LF) as new lines.
  EXPECT_EQ(question, "Old version: 1104 new version: " + std::to_string(ThisBuild()) + "\nKivo2 " + version +
                          "\nProgram update or First time installation!\n\n"
                          "Do you want to use the quick configure menu now?\n");
  EXPECT_EQ(Form1->FVersionText, version);
  // Before the question the folder tree takes half the navigation panel.
  EXPECT_EQ(treesHeight, browseHeight / 2);
}

TEST_F(MainWindowTest, SameBuildAsksNothingAndFirstRunAsks) {
  Start();
  EXPECT_EQ(Form1->FBuildNumber, ThisBuild());
  DoneApplication();

  // A first run: the key is made empty and the question comes.
  fs::remove(RegistryFile());
  ModalResponder::Expect(ModalKind::MessageDlg, mrNo);
  Application->Initialize();
  CreateWindows();
  ShowMainWindow();
  EXPECT_EQ(Form1->FStoredVersion, 0);
  EXPECT_EQ(ModalResponder::Pending(), 0);
}

TEST_F(MainWindowTest, ExtensionListsHoldTheRegistryAndTheAssociatedExtensions) {
  Start();
  const std::vector<std::string> registered{
      "bmp", "ico", "wmf", "emf", "jfif", "jpg", "jpe", "jpeg", "thm", "rle", "dib", "win", "vst", "vda",
      "tga", "icb", "tiff", "tif", "fax", "eps", "pcx", "pcc", "scr", "rpf", "rla", "sgi", "rgba", "rgb",
      "bw",  "psd", "pdd", "ppm", "pgm", "pbm", "pnm", "cel", "pic", "pcd", "gif", "cut", "psp", "png"};
  std::vector<std::string> images, known;
  std::string filter;
  for (const std::string& e : registered) {
    std::string upper = "." + e;
    for (char& c : upper) c = char(toupper(c));
    images.push_back(upper);
    filter += "." + e + " ";
  }
  known = images;
  for (const char* e : {".AVI", ".MPG", ".MPEG", ".WMV", ".MOV", ".M1V", ".MVR", ".CPT"}) known.push_back(e);
  std::sort(known.begin(), known.end());
  EXPECT_EQ(Form1->FImageExtList->ToVector(), images);
  EXPECT_EQ(Form1->FKnownExtList->ToVector(), known);
  EXPECT_EQ(Form1->FExtensionFilter, filter);
  // Rebuilding (as the preferences dialog does) lists every extension once.
  Form1->InitExtensions();
  Form1->InitExtensions();
  EXPECT_EQ(Form1->FExtensionFilter, filter);
  EXPECT_EQ(Form1->FKnownExtList->Count(), 50);

  // Stored associated extensions replace the preset ones.
  DoneApplication();
  Application->Initialize();
  Start({"\"Associated\"=\".MKV;.MP4;\""});
  EXPECT_GE(Form1->FKnownExtList->IndexOf(".MKV"), 0);
  EXPECT_GE(Form1->FKnownExtList->IndexOf(".MP4"), 0);
  EXPECT_LT(Form1->FKnownExtList->IndexOf(".AVI"), 0);
  EXPECT_EQ(Form1->FKnownExtList->Count(), 44);
}

// ---------------------------------------------------------------------------
// Closing
// ---------------------------------------------------------------------------
// The first close in full screen only leaves full screen; the next one saves the settings.
TEST_F(MainWindowTest, ClosingSavesTheSettings) {
  Start();
  Form1->FullScreen();
  ASSERT_TRUE(Form1->FFullScreen);
  Form1->Close();
  EXPECT_FALSE(Form1->FFullScreen);
  EXPECT_TRUE(Form1->Visible());
  EXPECT_EQ(UserRegistryValues(RegistryFile()).count("Fit in screen"), 0u);
  Form1->ZqFitInScreen->SetDown(false);
  Form1->PanelBrowse->SetWidth(250);
  Form1->M_Recursive->SetChecked(false);
  Form1->FSlideDelay = 7;
  Form1->Close();
  auto values = UserRegistryValues(RegistryFile());
  EXPECT_EQ(values["Fit in screen"], Dword(0));
  EXPECT_EQ(values["NavigatorWidth"], Dword(250));
  EXPECT_EQ(values["Recursive"], Dword(0));
  EXPECT_EQ(values["SlideDelay"], Dword(7));
  EXPECT_EQ(values["Version"], Dword(ThisBuild()));
  EXPECT_EQ(values["Language"], "\"en\"");
  EXPECT_TRUE(Form1->FSuspendUpdates);
}

// ---------------------------------------------------------------------------
// Message panel, overlay, caption
// ---------------------------------------------------------------------------
TEST_F(MainWindowTest, MessagePanelShowsTwoLabelsAndHidesItselfAfterItsTimeAndTheExifOverlayNotInAShow) {
  Start();
  TLabel* top = Form1->LabelShowTextTop;
  TLabel* back = Form1->LabelShowTextBack;
  Form1->ShowIt("first", true);
  Form1->ShowIt("second message", true);
  EXPECT_TRUE(top->Visible());
  EXPECT_TRUE(back->Visible());
  EXPECT_EQ(top->Caption(), "second message");
  EXPECT_EQ(back->Caption(), "second message");
  EXPECT_EQ(top->Left(), 15);
  EXPECT_EQ(top->Top(), Form1->ScrollBox1->ClientHeight() - (top->Height() + 10));
  EXPECT_EQ(back->Left(), top->Left() + 1);
  EXPECT_EQ(back->Top(), top->Top() + 1);
  EXPECT_EQ(top->Font()->Color(), clBlack);
  EXPECT_EQ(back->Font()->Color(), clWhite);
  EXPECT_TRUE(Form1->TimerShowIt->Enabled());
  EXPECT_EQ(Form1->TimerShowIt->Interval(), 5500u);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(GuiTesting::WaitUntil([&] { return !top->Visible(); }, 30000));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(4500));
  EXPECT_FALSE(back->Visible());
  EXPECT_FALSE(Form1->TimerShowIt->Enabled());

  // Without auto-hide the message stays; in full screen with a black background it is yellow.
  Form1->FFullScreen = true;
  Form1->ShowIt("stays");
  EXPECT_FALSE(Form1->TimerShowIt->Enabled());
  EXPECT_EQ(top->Font()->Color(), clYellow);
  EXPECT_EQ(back->Font()->Color(), clBlack);
  Form1->FFullScreen = false;
  Form1->ShowItHide();
  EXPECT_FALSE(top->Visible());

  // The EXIF overlay is never shown during a slide show.
  Form1->Exifoverlay->SetChecked(true);
  Form1->ShowExifLabel();
  EXPECT_TRUE(Form1->ExifLabelFront->Visible());
  EXPECT_TRUE(Form1->ExifLabelBack->Visible());
  EXPECT_EQ(Form1->ExifLabelFront->Left(), 12);
  EXPECT_EQ(Form1->ExifLabelBack->Top(), 16);
  EXPECT_TRUE(Form1->Exifoverlayonoff1->Checked());
  Form1->ZqSlideShow->SetDown(true);
  Form1->ShowExifLabel();
  EXPECT_FALSE(Form1->ExifLabelFront->Visible());
  EXPECT_FALSE(Form1->ExifLabelBack->Visible());
}

TEST_F(MainWindowTest, CaptionNamesTheFirstFolderOfARecursiveBrowse) {
  const std::string root = testsupport::TempPath("Trips");
  fs::create_directories(root + "/2004");
  Start({"\"LastPath\"=\"" + root + "/\""});
  ASSERT_NE(Form1->FStartNode, nullptr);
  EXPECT_EQ(Form1->FStartNode->Text(), "Trips");
  Form1->SetCaptionPath(root + "/");
  EXPECT_EQ(Form1->Caption(), "( First = Trips ) - " + root + "/");
  Form1->M_Recursive->SetChecked(false);
  Form1->SetCaptionPath(root + "/");
  EXPECT_EQ(Form1->Caption(), root + "/");
}

TEST_F(MainWindowTest, TextFileNameBesideThePicture) {
  CreateWindows();
  Form1->FCurrentFile = "/pictures/holiday/img 01.jpeg";
  EXPECT_EQ(Form1->ExifTXTName(), "/pictures/holiday/img 01.txt");
  Form1->FCurrentFile = "/pictures/holiday/";
  EXPECT_EQ(Form1->ExifTXTName(), "/pictures/holiday/.txt");
}

// ---------------------------------------------------------------------------
// The equivalence list
// ---------------------------------------------------------------------------
TEST_F(MainWindowTest, EquivalenceListTakesCompleteBlocksOnly) {
  Start();
  const std::string file = Form1->FAppDir + "cam_equivalent.txt";
  auto block = [](const std::string& make) {
    return "[_START]\r\n[MAKE]" + make + "\r\n[MODEL]M\r\n[REAL_LENS]7,2\r\n[35mm_equivalent]35\r\n[_END]\r\n";
  };
  testsupport::WriteFile(file, ";header\r\n;second\r\n" + block("A") + block("B") + block("C") +
                                   // no [_END]: joined into the next block's entry
                                   "[_START]\r\n[MAKE]D\r\n" + block("E") +
                                   // a block without its lens tag is dropped
                                   "[_start]\r\n[MAKE]F\r\n[MODEL]G\r\n[35MM_EQUIVALENT]50\r\n[_end]\r\n");
  EXPECT_TRUE(Form1->ReadEquivalentData());
  ASSERT_EQ(Form1->FEquivalentList->Count(), 4);
  EXPECT_EQ(Form1->FEquivalentList->Strings(0), "[MAKE]A[MODEL]M[REAL_LENS]7,2[35mm_equivalent]35");
  EXPECT_EQ(Form1->FEquivalentList->Strings(3), "[MAKE]D[MAKE]E[MODEL]M[REAL_LENS]7,2[35mm_equivalent]35");

  testsupport::WriteFile(file, block("A") + block("B") + "[MAKE]X\r\n");
  EXPECT_FALSE(Form1->ReadEquivalentData());
  EXPECT_EQ(Form1->FEquivalentList->Count(), 2);
  testsupport::WriteFile(file, "[MAKE]A[MODEL]B[REAL_LENS]1[35MM_EQUIVALENT]2\r\n");
  EXPECT_FALSE(Form1->ReadEquivalentData());
  EXPECT_EQ(Form1->FEquivalentList->Count(), 0);
}

// The shipped list (here with its lines ended by LF alone) is copied at the start, with CR
// LF, when the user has none, and all four of its cameras are read.
TEST_F(MainWindowTest, ShippedEquivalenceListIsCopiedWhenTheUsersIsMissing) {
  const std::string shipped = testsupport::ReadFile(testsupport::ProgramDir() + "/cam_equivalent.kv2");
  std::string lf = shipped;
  for (size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  testsupport::WriteFile(ProgramFolder() + "cam_equivalent.kv2", lf);
  Start();
  EXPECT_EQ(testsupport::ReadFile(Form1->FAppDir + "cam_equivalent.txt"), shipped);
  EXPECT_EQ(Form1->FEquivalentList->Count(), 4);
  EXPECT_TRUE(Form1->Editequivalentlist1->Enabled());
}

// ---------------------------------------------------------------------------
// The message hook
// ---------------------------------------------------------------------------
TEST_F(MainWindowTest, ScreenSaverRequestsAreSwallowedOnlyWithTheOption) {
  CreateWindows();
  auto deliver = [](uintptr_t command) {
    TMsg msg;
    msg.message = WM_SYSCOMMAND;
    msg.wParam = command;
    bool handled = Application->DeliverMessage(msg);
    return std::make_pair(handled, msg);
  };
  Form1->FScreensaver = false;
  EXPECT_FALSE(deliver(SC_SCREENSAVE).first);
  Form1->FScreensaver = true;
  auto [handled, msg] = deliver(SC_SCREENSAVE);
  EXPECT_TRUE(handled);
  EXPECT_EQ(msg.message, 0xF010u);
  EXPECT_EQ(msg.wParam, 0u);
  EXPECT_TRUE(deliver(SC_MONITORPOWER | 2).first);
  EXPECT_FALSE(deliver(SC_MOVE).first);
}
