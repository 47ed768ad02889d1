// The EXIF information window in the running program: opened from the main window
// it shows the shown picture's data (checked against exiftool and ImageMagick),
// follows picture changes, shows its maker-note page, IPTC and comment segments,
// "All EXIF", the calculator, and writes its report to a file only after asking
// before a file is replaced. The overlay and the photo-date sort ask it too.
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "MainWindowFixture.h"
#include "controls/EventScrollbox.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "core/UnitSetting.h"
#include "tools/ExifInfoUnit2.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/SysUtils.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> MemoLines(TMemo* memo) {
  std::vector<std::string> lines;
  for (int i = 0; i < memo->Lines()->Count(); ++i) lines.push_back(memo->Lines()->Strings(i));
  return lines;
}

bool HasLine(TMemo* memo, const std::string& line) {
  for (const std::string& l : MemoLines(memo))
    if (l == line) return true;
  return false;
}

bool HasLineStarting(TMemo* memo, const std::string& start) {
  for (const std::string& l : MemoLines(memo))
    if (l.rfind(start, 0) == 0) return true;
  return false;
}

// exiftool's "-s3" value of one tag.
std::string Tool(const std::string& file, const std::string& tag) {
  auto r = testsupport::Run({"exiftool", "-s3", "-n", tag, file});
  std::string v = r.out;
  while (!v.empty() && (v.back() == '\n' || v.back() == '\r')) v.pop_back();
  return v;
}

}  // namespace

class ExifWindowTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    folder_ = testsupport::TempPath("photos");
    fs::create_directories(folder_);
  }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }

  // A picture made by ImageMagick and tagged by exiftool.
  void Picture(const std::string& name, const std::vector<std::string>& tags, const std::string& size = "64x48") {
    ASSERT_EQ(testsupport::Run({"/usr/bin/convert", "-size", size, "xc:#305070", Path(name)}).exitCode, 0);
    if (tags.empty()) return;
    std::vector<std::string> argv = {"exiftool", "-q", "-overwrite_original"};
    argv.insert(argv.end(), tags.begin(), tags.end());
    argv.push_back(Path(name));
    auto r = testsupport::Run(argv);
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }

  void Start(const std::string& name) {
    SetArguments({Path(name)});
    CreateWindows();
    ShowMainWindow();
    Form1->OpenThePicture(Path(name));
  }

  std::string folder_;
};

TEST_F(ExifWindowTest, OpensFromTheMainWindowWithThePicturesData) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  Picture("camera.jpg", {"-Make=Canon", "-Model=PowerShot A70", "-DateTimeOriginal=2004:05:06 07:08:09",
                         "-ExposureTime=1/250", "-FNumber=2.8", "-ISO=400", "-FocalLength=5.8",
                         "-FocalLengthIn35mmFormat=38", "-MaxApertureValue=2.8", "-MeteringMode#=5"},
          "120x90");
  Start("camera.jpg");
  ASSERT_NE(ExifInfoForm, nullptr);
  EXPECT_FALSE(ExifInfoForm->Visible());

  Form1->Imageinfo1->Click();
  ASSERT_TRUE(ExifInfoForm->Visible());
  EXPECT_TRUE(Form1->Imageinfo1->Checked());
  EXPECT_TRUE(Form1->Exifinfo1->Checked());
  EXPECT_EQ(ExifInfoForm->PageControl1->ActivePageIndex(), 0);
  EXPECT_EQ(ExifInfoForm->Caption(), "camera.jpg");
  EXPECT_EQ(ExifInfoForm->FCurrentFile, Form1->FCurrentFile);
  // The window stands at the picture area's top-left corner.
  const TPoint corner = Form1->ScrollBox1->ClientToScreen(TPoint{0, 0});
  EXPECT_EQ(ExifInfoForm->Left(), corner.X);
  EXPECT_EQ(ExifInfoForm->Top(), corner.Y);

  // The report: the summary from the file's values as exiftool reads them.
  TMemo* report = ExifInfoForm->Memo1;
  EXPECT_TRUE(HasLine(report, "No Thumbnail in Exif"));
  EXPECT_TRUE(HasLine(report, "File Name: camera.jpg"));
  EXPECT_TRUE(HasLine(report, "Photo Date: " + Tool(Path("camera.jpg"), "-DateTimeOriginal")));
  EXPECT_TRUE(HasLine(report, "Make (Model): " + Tool(Path("camera.jpg"), "-Make") + " (" +
                                  Tool(Path("camera.jpg"), "-Model") + ")"));
  EXPECT_TRUE(HasLine(report, "Dimensions: " + Tool(Path("camera.jpg"), "-ImageWidth") + " x " +
                                  Tool(Path("camera.jpg"), "-ImageHeight")));
  EXPECT_TRUE(HasLine(report, "FNumber: F" + Tool(Path("camera.jpg"), "-FNumber")));
  EXPECT_TRUE(HasLine(report, "ISO: " + Tool(Path("camera.jpg"), "-ISO")));
  // The widest aperture as the f-number its APEX value stands for.
  EXPECT_TRUE(HasLine(report, "Widest Aperture:   \t" +
                                  Format("F%0.1f", {std::stod(Tool(Path("camera.jpg"), "-MaxApertureValue"))})));
  EXPECT_TRUE(HasLine(report, "Light Meter mode:   \tMultiSegment"));
  EXPECT_TRUE(HasLine(report, "35mm equivalent:   \t38.00 mm"));
  EXPECT_FALSE(HasLineStarting(report, "-- EXIF-Data"));
  // The calculator reads the focal length line: 5.8 x 35 / 8.2.
  Form1->FDigiFactor = "8,2";
  Form1->FFilmFactor = "35";
  ExifInfoForm->Show3mmEQ(report->Lines()->Strings(ExifInfoForm->FocalLineNr()));
  EXPECT_EQ(ExifInfoForm->StaticText1->Caption(), " 35mm equivalent: 24.76mm");

  // The "Info" page: the picture's size as ImageMagick gives it.
  const std::string size = testsupport::Run({"identify", "-format", "%w %h", Path("camera.jpg")}).out;
  EXPECT_EQ(size, "120 90");
  EXPECT_TRUE(HasLine(ExifInfoForm->Memo2, "Properties:   \tJPEG image"));
  EXPECT_TRUE(HasLine(ExifInfoForm->Memo2, "Width:        \t120"));
  EXPECT_TRUE(HasLine(ExifInfoForm->Memo2, "Height:       \t90"));
  EXPECT_TRUE(HasLine(ExifInfoForm->Memo2, "Compression   \tJPG"));
  EXPECT_TRUE(HasLine(ExifInfoForm->Memo2, "ColorScheme   \tBGR - Blue Green Red (RGB in Reversed order)"));
  EXPECT_TRUE(HasLine(ExifInfoForm->Memo2, "Description    \t24 bit true color"));
  // No maker notes: the maker page says so.
  EXPECT_EQ(MemoLines(ExifInfoForm->Memo3), std::vector<std::string>{"Maker tag not available"});

  // A second click closes it and takes the check marks away.
  Form1->Imageinfo1->Click();
  EXPECT_FALSE(ExifInfoForm->Visible());
  EXPECT_FALSE(Form1->Imageinfo1->Checked());
  EXPECT_FALSE(Form1->Exifinfo1->Checked());
  // The other command opens it on the maker-specific page.
  Form1->M_Exif_info->Click();
  EXPECT_TRUE(ExifInfoForm->Visible());
  EXPECT_EQ(ExifInfoForm->PageControl1->ActivePageIndex(), 1);
  ExifInfoForm->Close();
}

TEST_F(ExifWindowTest, FollowsThePictureAndIsEmptiedForTexts) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  Picture("a.jpg", {"-Make=Alpha", "-Model=One"});
  Picture("b.jpg", {"-Make=Beta", "-Model=Two", "-Comment=remark here", "-IPTC:Keywords=harbour",
                    "-IPTC:Keywords=boat", "-IPTC:City=Delft"});
  testsupport::WriteFile(Path("notes.txt"), "some text\n");
  Start("a.jpg");
  Form1->Imageinfo1->Click();
  ASSERT_TRUE(HasLine(ExifInfoForm->Memo1, "Make (Model): Alpha (One)"));
  Form1->OpenThePicture(Path("b.jpg"));
  EXPECT_EQ(ExifInfoForm->Caption(), "b.jpg");
  TMemo* report = ExifInfoForm->Memo1;
  EXPECT_TRUE(HasLine(report, "Make (Model): Beta (Two)"));
  EXPECT_TRUE(HasLine(report, " Comment Segment Available"));
  EXPECT_TRUE(HasLine(report, "remark here"));
  EXPECT_TRUE(HasLine(report, " IPTC Segment Available!"));
  EXPECT_TRUE(HasLine(report, "Keywords = harbour"));
  EXPECT_TRUE(HasLine(report, "Keywords = boat"));
  EXPECT_TRUE(HasLine(report, "City = Delft"));
  // A text file shown in the viewer empties the report.
  FormSettings->ChB_Showtext->SetChecked(true);
  Form1->OpenThePicture(Path("notes.txt"));
  EXPECT_EQ(report->Lines()->Count(), 0);
  ExifInfoForm->Close();
}

TEST_F(ExifWindowTest, AllExifListAndAFileWithoutMetadata) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  Picture("tagged.jpg", {"-Make=Gamma", "-Model=Three", "-ExifByteOrder=MM", "-ExposureTime=1/60"});
  Picture("plain.jpg", {"-JFIF:all="});
  Start("tagged.jpg");
  Form1->Imageinfo1->Click();
  TMemo* report = ExifInfoForm->Memo1;
  ExifInfoForm->CB_Compact->SetChecked(true);  // re-fills the window
  EXPECT_EQ(report->Lines()->Strings(0), "-- EXIF-Data -------------- ");
  EXPECT_TRUE(HasLine(report, "Motorola Byte Order"));
  EXPECT_TRUE(HasLine(report, "Make:                        \t Gamma"));
  EXPECT_TRUE(HasLine(report, "Exposure Time:               \t 1/60 sec"));
  ExifInfoForm->CB_Compact->SetChecked(false);
  EXPECT_FALSE(HasLineStarting(report, "-- EXIF-Data"));
  EXPECT_FALSE(HasLineStarting(report, "Make:"));

  Form1->OpenThePicture(Path("plain.jpg"));
  EXPECT_EQ(report->Lines()->Count(), 0);
  EXPECT_EQ(MemoLines(ExifInfoForm->Memo3), std::vector<std::string>{"Maker tag not available"});
  EXPECT_TRUE(HasLine(ExifInfoForm->Memo2, "Width:        \t64"));
  EXPECT_EQ(ExifInfoForm->StaticText1->Caption(), "35mm equivalent: n/a");
  ExifInfoForm->CB_Compact->SetChecked(true);
  EXPECT_EQ(MemoLines(report), (std::vector<std::string>{"-- EXIF-Data -------------- ",
                                                          "ErrStr = Not an EXIF file", "No EXIF data found"}));
  ExifInfoForm->Close();
  EXPECT_TRUE(Form1->FCompactExif);
}

TEST_F(ExifWindowTest, MakerSpecificPageOfASample) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_CORPUS("metadata-samples");
  fs::copy_file(testsupport::CorpusDir() + "/metadata-samples/NikonD70.jpg", Path("nikon.jpg"));
  Start("nikon.jpg");
  Form1->M_Exif_info->Click();
  TMemo* page = ExifInfoForm->Memo3;
  EXPECT_TRUE(HasLine(page, "Lens Type = Nikon D series Lens"));
  const std::string iso = Tool(Path("nikon.jpg"), "-Nikon:ISO");
  EXPECT_TRUE(HasLine(page, "ISO Speed = " + StringReplace(iso, " ", ", ", rfReplaceAll)));
  EXPECT_FALSE(HasLineStarting(page, "Unknown"));
  EXPECT_GT(page->Lines()->Count(), 10);
  ExifInfoForm->Close();
  fs::remove(Path("nikon.jpg"));
}

TEST_F(ExifWindowTest, CalculatorKeepsItsFactorsAndRefusesAZeroLens) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  Picture("lens.jpg", {"-Make=Acme", "-FocalLength=7.2"});
  Start("lens.jpg");
  Form1->FEquivalentCalc = true;
  Form1->FDigiFactor = "7.2";
  Form1->FFilmFactor = "36";
  Form1->Imageinfo1->Click();
  EXPECT_TRUE(ExifInfoForm->SB_Calc->Down());
  EXPECT_TRUE(ExifInfoForm->Panel2->Visible());
  EXPECT_EQ(ExifInfoForm->Edit1->Text(), "7.2");  // the interface's separator
  EXPECT_TRUE(ExifInfoForm->Edit1->ShowHint() && ExifInfoForm->Edit2->ShowHint());  // both show their hints
  EXPECT_EQ(ExifInfoForm->StaticText1->Caption(), " 35mm equivalent: 36.00mm");
  // Not a number: the stored factor comes back.
  ExifInfoForm->Edit1->SetText("abc");
  ExifInfoForm->Edit1->OnExit(ExifInfoForm->Edit1);
  EXPECT_EQ(ExifInfoForm->Edit1->Text(), "7.2");
  // A lens of 0 mm gives no factor.
  ExifInfoForm->Edit1->SetText("0");
  ExifInfoForm->Edit1->OnExit(ExifInfoForm->Edit1);
  EXPECT_EQ(Form1->FDigiFactor, "0");
  EXPECT_EQ(ExifInfoForm->StaticText1->Caption(), "35mm equivalent: n/a");
  ExifInfoForm->Edit1->SetText("3.6");
  ExifInfoForm->Edit2->SetText("18");
  ExifInfoForm->Edit2->OnExit(ExifInfoForm->Edit2);
  EXPECT_EQ(ExifInfoForm->StaticText1->Caption(), " 35mm equivalent: 36.00mm");
  // The button hides the calculator; closing keeps the settings.
  ExifInfoForm->SB_Calc->SetDown(false);
  ExifInfoForm->SB_Calc->OnClick(ExifInfoForm->SB_Calc);
  EXPECT_FALSE(ExifInfoForm->Panel2->Visible());
  ExifInfoForm->Close();
  EXPECT_FALSE(Form1->FEquivalentCalc);
  EXPECT_EQ(Form1->FDigiFactor, "3.6");
  EXPECT_EQ(Form1->FFilmFactor, "18");
}

TEST_F(ExifWindowTest, WriteToFileAsksBeforeReplacing) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  Picture("report.jpg", {"-Make=Delta", "-Model=Four"});
  Start("report.jpg");
  Form1->Imageinfo1->Click();
  const std::string report = Path("report.txt");
  std::string proposed;
  auto saveAs = [&](const std::string& name) {
    ModalResponder::Expect(ModalKind::SaveDialog, [&proposed, name](ModalRequest& request) {
      proposed = static_cast<TSaveDialog*>(request.dialog)->FileName();
      *request.value = name;
      return 1;
    });
  };
  // A new file: written at once, the report's lines.
  saveAs(report);
  ExifInfoForm->ZqButton1->Click();
  EXPECT_EQ(proposed, report);
  const std::string written = testsupport::ReadFile(report);
  EXPECT_NE(written.find("Make (Model): Delta (Four)"), std::string::npos);

  // An existing file: the question; No leaves it as it was, Yes replaces it.
  testsupport::WriteFile(report, "my own notes\n");
  saveAs(report);
  std::string question;
  ModalResponder::Expect(ModalKind::MessageDlg, [&question](ModalRequest& request) {
    question = request.text;
    return int(mrNo);
  });
  ExifInfoForm->ZqButton1->Click();
  EXPECT_EQ(testsupport::ReadFile(report), "my own notes\n");
  EXPECT_NE(question.find("report.txt"), std::string::npos);
  EXPECT_NE(question.find("already exists"), std::string::npos);
  saveAs(report);
  ModalResponder::Expect(ModalKind::MessageDlg, int(mrYes));
  ExifInfoForm->ZqButton1->Click();
  EXPECT_NE(testsupport::ReadFile(report).find("Make (Model): Delta (Four)"), std::string::npos);

  // A write that fails: said, and the old file stays.
  testsupport::WriteFile(report, "my own notes\n");
  saveAs(report);
  ModalResponder::Expect(ModalKind::MessageDlg, int(mrYes));
  std::string message;
  ModalResponder::Expect(ModalKind::ShowMessage, [&message](ModalRequest& request) {
    message = request.text;
    return int(mrOk);
  });
  {
    TFileFaultScope full(TFileFaultOp::Write, ENOSPC, "/photos/");
    ExifInfoForm->ZqButton1->Click();
  }
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(testsupport::ReadFile(report), "my own notes\n");
  // Cancelled: nothing.
  ModalResponder::Expect(ModalKind::SaveDialog, 0);
  ExifInfoForm->ZqButton1->Click();
  EXPECT_EQ(testsupport::ReadFile(report), "my own notes\n");
  ExifInfoForm->Close();
}

TEST_F(ExifWindowTest, OverlayAndPhotoDateSortAskTheWindow) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  Picture("overlay.jpg", {"-Make=Epsilon", "-Model=Five", "-FNumber=4", "-ExposureTime=1/125", "-ISO=200"});
  Start("overlay.jpg");
  std::string summary;
  ExifInfoForm->GetExifInfStr(Path("overlay.jpg"), summary);
  EXPECT_EQ(summary, "Camera: Epsilon - Five\rShutter: 1/125 sec\rAperture: F4.0\rISO: 200");
  EXPECT_EQ(Form1->ExifOverlayText(Path("overlay.jpg")), "Camera: Epsilon - Five\nShutter: 1/125 sec\nAperture: F4.0\nISO: 200");
  Form1->Exifoverlay->SetChecked(true);
  Form1->ShowExifLabel();
  EXPECT_EQ(Form1->ExifLabelFront->Caption(), Form1->ExifOverlayText(Form1->FCurrentFile));
  EXPECT_TRUE(Form1->ExifLabelFront->Visible());
}
