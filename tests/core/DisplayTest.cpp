// The picture display: JPEG decode scales checked against djpeg, pictures of the formats
// the viewer reads checked against ImageMagick, fitting and filtered rescaling checked
// against ImageMagick's resize, the placeholders, text files, associated files, the
// status bar, the voice memo, a click in the list, and the preferences command.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "MainWindowFixture.h"
#include "controls/EventScrollbox.h"
#include "controls/ZephFade.h"
#include "controls/ZqSpeedButton.h"
#include "controls/ZrkSound.h"
#include "core/ProgramGlobals.h"
#include "core/Unit1.h"
#include "core/UnitFadestyles.h"
#include "core/UnitFilterselect.h"
#include "core/UnitSetting.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/services/Sound.h"

namespace fs = std::filesystem;
using testsupport::Raster;

namespace {

struct Difference {
  int maximum = 0;
  double mean = 0;
};

// Compares a bitmap's pixels (made 24-bit) with an RGB raster of the same size.
Difference Compare(TBitmap& bitmap, const Raster& raster) {
  Difference d;
  EXPECT_EQ(bitmap.Width(), raster.width);
  EXPECT_EQ(bitmap.Height(), raster.height);
  if (bitmap.Width() != raster.width || bitmap.Height() != raster.height || raster.channels < 1) {
    d.maximum = 256;
    return d;
  }
  bitmap.SetPixelFormat(pf24bit);
  double total = 0;
  for (int y = 0; y < raster.height; ++y) {
    const uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < raster.width; ++x)
      for (int c = 0; c < 3; ++c) {
        const int ours = row[3 * x + (2 - c)];
        // Grey rasters (one or two channels) give the same value to all three.
        const int channel = raster.channels >= 3 ? c : 0;
        const int maxval = std::max<int>(1, raster.maxval);
        const int theirs = (raster.at(x, y, channel) * 255 + maxval / 2) / maxval;
        d.maximum = std::max(d.maximum, std::abs(ours - theirs));
        total += std::abs(ours - theirs);
      }
  }
  d.mean = total / (double(raster.width) * raster.height * 3);
  return d;
}

std::string PanelText(int index) { return Form1->StatusBar1->Panels()->Items(index)->Text(); }

}  // namespace

class DisplayTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    ClearRecordedSounds();
    folder_ = testsupport::TempPath("photos");
    fs::create_directories(folder_);
  }

  // Starts the program on a file of the photo folder (the folder must hold it already).
  void StartOn(const std::string& name) {
    SetArguments({folder_ + "/" + name});
    CreateWindows();
    ShowMainWindow();
  }

  // The picture area as a fixed box, so that scales and fits do not depend on the window.
  void SetArea(int width, int height) {
    Form1->ScrollBox1->SetAlign(alNone);
    Form1->ScrollBox1->SetBounds(0, 0, width, height);
    ASSERT_EQ(Form1->ScrollBox1->Width(), width);
    ASSERT_EQ(Form1->ScrollBox1->Height(), height);
  }

  void Make(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"convert"};
    argv.insert(argv.end(), args.begin(), args.end());
    auto r = testsupport::Run(argv);
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }

  // Starts on a JPEG "big.jpg" of size (WxH) drawn by ImageMagick, opened in a fixed area.
  void StartOnJpeg(const std::string& size, const std::string& drawing, int areaWidth, int areaHeight) {
    Make({"-size", size, drawing, "-quality", "80", Path("big.jpg")});
    StartOn("big.jpg");
    SetArea(areaWidth, areaHeight);
    Form1->OpenThePicture("big.jpg");
  }

  std::string folder_;
};

// ---------------------------------------------------------------------------
// JPEG decode scales
// ---------------------------------------------------------------------------
TEST_F(DisplayTest, EveryJpegScaleDecodesAsDjpegDoes) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("djpeg");
  Make({"-size", "800x600", "plasma:fractal", "-seed", "3", "-quality", "88", Path("p.jpg")});
  StartOn("p.jpg");
  SetArea(900, 700);
  TMenuItem* items[] = {Form1->N111, Form1->N121, Form1->N141, Form1->N181};
  const char* texts[] = {" 1/1", " 1/2", " 1/4", " 1/8"};
  Form1->M_Autoscale->SetChecked(false);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(texts[i]);
    for (TMenuItem* item : items) item->SetChecked(item == items[i]);
    Form1->OpenThePicture(Path("p.jpg"));
    EXPECT_EQ(Form1->FScaleText, texts[i]);
    EXPECT_EQ(Form1->FImageWidth, 800);
    EXPECT_EQ(Form1->FImageHeight, 600);
    EXPECT_EQ(PanelText(2), "800 x 600");
    EXPECT_EQ(PanelText(6), std::string("100%") + texts[i]);
    auto r = testsupport::Run({"djpeg", "-scale", std::string("1/") + std::to_string(1 << i), "-ppm", Path("p.jpg")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Difference d = Compare(*Form1->FSourcePicture->Bitmap(), testsupport::ParsePnm(r.out));
    EXPECT_LE(d.maximum, 1);
    // Smaller than the area and "stretch smaller" is up: shown as decoded.
    EXPECT_EQ(Form1->Image1->Picture()->Width(), 800 >> i);
  }
}

TEST_F(DisplayTest, AutomaticScaleFollowsThePictureAndAreaSizes) {
  KIVO2_REQUIRE_TOOL("convert");
  StartOnJpeg("4000x3000", "gradient:navy-orange", 900, 700);
  // 4000 >= 4 x 900 but < 8 x 900: a quarter.
  EXPECT_EQ(Form1->FScaleText, " 1/4");
  EXPECT_EQ(PanelText(6), "100% 1/4");
  EXPECT_EQ(PanelText(2), "4000 x 3000");
  EXPECT_EQ(Form1->FSourcePicture->Width(), 1000);
  EXPECT_EQ(Form1->FSourcePicture->Height(), 750);
  // Fitted into 880 x 680 (the margin of 20 taken once): the width limits.
  EXPECT_EQ(Form1->FFitWidth, 880);
  EXPECT_EQ(Form1->FFitHeight, 660);
  EXPECT_EQ(Form1->Image1->Picture()->Width(), 880);

  // A wider area: half (4000 >= 2 x 1900), then full size for a 2000-wide area.
  SetArea(1900, 1400);
  Form1->OpenThePicture("big.jpg");
  EXPECT_EQ(Form1->FScaleText, " 1/2");
  SetArea(2000, 1600);  // 4000 = 2 x 2000: still half
  Form1->OpenThePicture("big.jpg");
  EXPECT_EQ(Form1->FScaleText, " 1/2");
  SetArea(2100, 1600);
  Form1->OpenThePicture("big.jpg");
  EXPECT_EQ(Form1->FScaleText, " 1/1");
  // The height decides too: 3000 >= 8 x 300.
  SetArea(4100, 300);
  Form1->OpenThePicture("big.jpg");
  EXPECT_EQ(Form1->FScaleText, " 1/8");

  // A chosen scale holds whatever the area when the automatic item is off.
  SetArea(900, 700);
  Form1->M_Autoscale->SetChecked(false);
  Form1->N121->SetChecked(true);
  Form1->OpenThePicture("big.jpg");
  EXPECT_EQ(Form1->FScaleText, " 1/2");
  EXPECT_EQ(Form1->FSourcePicture->Width(), 2000);
  EXPECT_NE(Form1->ZqZoom->Hint(), "Zoom in/out (+ - keys)");
}

TEST_F(DisplayTest, ReducedJpegIsReloadedWhenTheAreaGrowsPastIt) {
  KIVO2_REQUIRE_TOOL("convert");
  StartOnJpeg("3200x2400", "xc:teal", 400, 300);
  EXPECT_EQ(Form1->FScaleText, " 1/8");
  EXPECT_FALSE(Form1->IsJPGLargerScale());
  SetArea(1700, 1300);
  EXPECT_TRUE(Form1->IsJPGLargerScale());
  EXPECT_EQ(Form1->FScaleText, " 1/1");
}

// ---------------------------------------------------------------------------
// Formats the viewer reads
// ---------------------------------------------------------------------------
TEST_F(DisplayTest, PicturesOfEachReadFormatShowTheirPixels) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("tgatoppm");
  const std::vector<std::pair<std::string, std::vector<std::string>>> files = {
      {"a.bmp", {"-size", "97x61", "gradient:red-blue", "-type", "TrueColor"}},
      {"b.bmp", {"-size", "50x40", "xc:lime", "-fill", "black", "-draw", "rectangle 5,5 20,30", "-type", "Palette",
                 "-colors", "16"}},
      {"c.png", {"-size", "120x33", "gradient:white-purple"}},
      {"d.tga", {"-size", "64x48", "gradient:yellow-green"}},
      {"e.tif", {"-size", "70x50", "gradient:gray-cyan", "-compress", "lzw"}},
  };
  for (const auto& [name, args] : files) {
    std::vector<std::string> a = args;
    a.push_back(Path(name));
    Make(a);
  }
  StartOn("a.bmp");
  for (const auto& entry : files) {
    const std::string& name = entry.first;
    SCOPED_TRACE(name);
    Form1->OpenThePicture(name);
    EXPECT_FALSE(Form1->FPlaceholderShown);
    EXPECT_EQ(Form1->FScaleText, "");
    // ImageMagick 6 reads its own Targa files upside down; netpbm reads them as stored.
    Raster expected;
    if (name == "d.tga") {
      auto r = testsupport::Run({"tgatoppm", Path(name)});
      ASSERT_EQ(r.exitCode, 0) << r.err;
      expected = testsupport::ParsePnm(r.out);
    } else {
      expected = testsupport::ImageMagickRaster(Path(name), {"-alpha", "off"});
    }
    EXPECT_EQ(PanelText(2), std::to_string(expected.width) + " x " + std::to_string(expected.height));
    TBitmap shown;
    shown.Assign(Form1->Image1->Picture()->Graphic());
    const Difference d = Compare(shown, expected);
    EXPECT_LE(d.maximum, 1);
  }
}

TEST_F(DisplayTest, UnreadableAndMissingFilesShowThePlaceholderOrNothing) {
  KIVO2_REQUIRE_TOOL("convert");
  Make({"-size", "300x200", "gradient:red-blue", "-quality", "90", Path("good.jpg")});
  const std::string good = testsupport::ReadFile(Path("good.jpg"));
  testsupport::WriteFile(Path("noise.jpg"), std::string(5000, '\x5a'));
  testsupport::WriteFile(Path("empty.png"), "");
  testsupport::WriteFile(Path("header.jpg"), good.substr(0, 40));  // cut inside the header
  testsupport::WriteFile(Path("tail.jpg"), good.substr(0, good.size() / 2));  // cut inside the data
  testsupport::WriteFile(Path("fake.tif"), "II*\0\x08\0\0\0\xff\xff");
  testsupport::WriteFile(Path("notes.doc"), "words");
  StartOn("good.jpg");
  TBitmap placeholder;
  placeholder.Assign(Form1->FalseImage->Picture()->Graphic());
  for (const char* name : {"noise.jpg", "empty.png", "header.jpg", "fake.tif", "notes.doc"}) {
    SCOPED_TRACE(name);
    Form1->OpenThePicture(name);
    EXPECT_TRUE(Form1->FPlaceholderShown);
    EXPECT_EQ(PanelText(2), "n/a");
    EXPECT_EQ(PanelText(7), name);
    EXPECT_EQ(Form1->Image1->Picture()->Width(), placeholder.Width());
    EXPECT_EQ(Form1->Image1->Picture()->Height(), placeholder.Height());
    EXPECT_TRUE(Form1->Image1->Visible());
  }
  // A picture whose data stops early still shows what could be decoded.
  Form1->OpenThePicture("tail.jpg");
  EXPECT_FALSE(Form1->FPlaceholderShown);
  EXPECT_EQ(PanelText(2), "300 x 200");
  EXPECT_EQ(ModalResponder::History().size(), 0u);
  // A missing file leaves the view reset, with no status texts, and keeps its name.
  Form1->OpenThePicture("gone.png");
  EXPECT_EQ(Form1->FCurrentFile, Path("gone.png"));
  for (int i = 0; i < 8; ++i) EXPECT_EQ(PanelText(i), "") << i;
}

// ---------------------------------------------------------------------------
// Fitting
// ---------------------------------------------------------------------------
TEST_F(DisplayTest, FitSizesForLandscapePortraitTinyAndHugePictures) {
  KIVO2_REQUIRE_TOOL("convert");
  Make({"-size", "1600x900", "gradient:red-blue", Path("wide.png")});
  Make({"-size", "500x1500", "gradient:green-white", Path("tall.png")});
  Make({"-size", "3x2", "xc:orange", Path("tiny.png")});
  Make({"-size", "820x600", "xc:gray", Path("edge.png")});
  StartOn("wide.png");
  SetArea(820, 620);
  struct Case {
    const char* name;
    bool stretch;
    int width, height;
  } cases[] = {
      // Box 800 x 600 after the margin: 1600 x 900 -> width limits, 900 * 0.5 = 450.
      {"wide.png", false, 800, 450},
      // 500 x 1500 -> height limits, 500 * 0.4 = 200.
      {"tall.png", false, 200, 600},
      // Small pictures keep their size unless "stretch smaller" is down.
      {"tiny.png", false, 3, 2},
      {"tiny.png", true, 800, 533},
      // As wide as the area and lower: not large, so only "stretch smaller" fits it.
      {"edge.png", false, 820, 600},
      {"edge.png", true, 800, 585},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.stretch ? " stretched" : ""));
    Form1->ZqStretchsmaller->SetDown(c.stretch);
    Form1->OpenThePicture(c.name);
    EXPECT_EQ(Form1->FFitWidth, c.width);
    EXPECT_EQ(Form1->FFitHeight, c.height);
    EXPECT_EQ(Form1->Image1->Width(), c.width);
    // Centred in the area.
    EXPECT_EQ(Form1->Image1->Left(), std::max(0, (Form1->ScrollBox1->ClientWidth() - c.width) / 2));
  }
  // Without the margin (full screen) the box is the whole area.
  Form1->ZqStretchsmaller->SetDown(false);
  Form1->FFullScreen = true;
  Form1->OpenThePicture("wide.png");
  Form1->FFullScreen = false;
  EXPECT_EQ(Form1->FFitWidth, 820);
  EXPECT_EQ(Form1->FFitHeight, 461);
  // Fitting off: large pictures keep their size too.
  Form1->ZqFitInScreen->SetDown(false);
  Form1->OpenThePicture("wide.png");
  EXPECT_EQ(Form1->FFitWidth, 1600);
}

TEST_F(DisplayTest, PlainAndFilteredFitsMatchImageMagickResizes) {
  KIVO2_REQUIRE_TOOL("convert");
  Make({"-size", "1200x800", "-seed", "5", "xc:gray", "+noise", "Random", "-blur", "0x1", Path("g.png")});
  StartOn("g.png");
  SetArea(620, 420);
  // The plain stretch samples the nearest pixel.
  Form1->OpenThePicture("g.png");
  ASSERT_EQ(Form1->FFitWidth, 600);
  ASSERT_EQ(Form1->FFitHeight, 400);
  TBitmap plain;
  plain.Assign(Form1->Image1->Picture()->Graphic());
  EXPECT_LE(Compare(plain, testsupport::ImageMagickRaster(Path("g.png"), {"-sample", "600x400!"})).mean, 1.0);

  // Each filter of the palette (in its order) against ImageMagick's filter of that kind.
  // The resampler numbers Mitchell and Lanczos3 the other way round: they must not swap.
  const char* ours[] = {"Box", "Triangle", "Hermite", "Bell", "Spline", "Mitchell", "Lanczos3"};
  const char* theirs[] = {"Box", "Triangle", "Hermite", "Quadratic", "Spline", "Mitchell", "Lanczos"};
  std::vector<Raster> references;
  for (const char* filter : theirs)
    references.push_back(testsupport::ImageMagickRaster(Path("g.png"), {"-filter", filter, "-resize", "600x400!"}));
  Form1->Smoothstrech->SetChecked(true);
  double distance[7][7];
  for (int choice = 0; choice < 7; ++choice) {
    SCOPED_TRACE(ours[choice]);
    FormFilterSelect->RG_Resample->SetItemIndex(choice);
    Form1->OpenThePicture("g.png");
    TBitmap filtered;
    filtered.Assign(Form1->Image1->Picture()->Graphic());
    for (int k = 0; k < 7; ++k) distance[choice][k] = Compare(filtered, references[size_t(k)]).mean;
    EXPECT_LE(distance[choice][choice], 4.0);
    EXPECT_EQ(PanelText(5), std::string("filter ") + ours[choice]);
  }
  EXPECT_LT(distance[5][5], distance[5][6]);
  EXPECT_LT(distance[6][6], distance[6][5]);
  for (int k = 1; k < 7; ++k) EXPECT_LT(distance[0][0], distance[0][k]) << theirs[k];
  Form1->Smoothstrech->SetChecked(false);
  Form1->OpenThePicture("g.png");
  EXPECT_EQ(PanelText(5), "filter = off");
}

TEST_F(DisplayTest, FittingWithZeroSizesDrawsNothingAndSourcesStayAsTheyAre) {
  KIVO2_REQUIRE_TOOL("convert");
  Make({"-size", "40x30", "xc:red", Path("a.png")});
  StartOn("a.png");
  TPicture empty, destination, source;
  destination.Bitmap()->SetSize(7, 5);
  Form1->FitForWindow(&empty, &destination, 600, 800, true);
  EXPECT_TRUE(Form1->FFitError);
  EXPECT_EQ(destination.Width(), 7);
  source.Bitmap()->SetPixelFormat(pf24bit);
  source.Bitmap()->SetSize(40, 30);
  // A box no larger than the margin leaves nothing to fit into.
  Form1->FitForWindow(&source, &destination, 20, 20, true);
  EXPECT_TRUE(Form1->FFitError);
  Form1->FitForWindow(&source, &destination, 0, 0, false);
  EXPECT_TRUE(Form1->FFitError);
  TBitmap none, target;
  target.SetSize(3, 3);
  Form1->RescaleImage(&none, &target, 600, 800, false, 2);
  EXPECT_TRUE(Form1->FFitError);
  EXPECT_EQ(target.Width(), 3);
  Form1->RescaleImage(&empty, &destination, 600, 800, true, 2);
  EXPECT_EQ(destination.Width(), 7);
  // A sound source still fits.
  Form1->FitForWindow(&source, &destination, 320, 420, false);
  EXPECT_FALSE(Form1->FFitError);
  EXPECT_EQ(destination.Width(), 420);
  EXPECT_EQ(destination.Height(), 315);
  // A picture holding a JPEG keeps it when it is rescaled.
  Make({"-size", "640x480", "xc:navy", Path("j.jpg")});
  TPicture jpeg;
  jpeg.LoadFromFile(Path("j.jpg"));
  Form1->RescaleImage(&jpeg, &destination, 320, 420, false, 2);
  EXPECT_EQ(std::string(jpeg.Graphic()->ClassType()->ClassName()), "TJPEGImage");
  EXPECT_EQ(destination.Width(), 400);
  EXPECT_EQ(destination.Height(), 300);
}

// ---------------------------------------------------------------------------
// Text files, associated files, the voice memo
// ---------------------------------------------------------------------------
TEST_F(DisplayTest, TextFilesShowAsTextUnlessAFadeRuns) {
  KIVO2_REQUIRE_TOOL("convert");
  Make({"-size", "40x30", "xc:red", Path("a.png")});
  // Windows-1252 bytes (not valid UTF-8) with CR LF line ends.
  testsupport::WriteFile(Path("a.txt"), "first line\r\ncaf\xe9 second\r\n");
  StartOn("a.png");
  ASSERT_TRUE(FormSettings->ChB_Showtext->Checked());
  Form1->OpenThePicture("a.txt");
  EXPECT_TRUE(Form1->RichEdit1->Visible());
  ASSERT_EQ(Form1->RichEdit1->Lines()->Count(), 2);
  EXPECT_EQ(Form1->RichEdit1->Lines()->Strings(1), "caf\xc3\xa9 second");
  EXPECT_FALSE(Form1->PopupImage->AutoPopup());
  EXPECT_EQ(PanelText(2), "n/a");
  EXPECT_EQ(PanelText(4), "Loaded in: 0ms");
  // The next picture hides the text again.
  Form1->OpenThePicture("a.png");
  EXPECT_FALSE(Form1->RichEdit1->Visible());
  EXPECT_EQ(Form1->RichEdit1->Lines()->Count(), 0);
  EXPECT_TRUE(Form1->PopupImage->AutoPopup());

  // During a fading full-screen show the text file is an ordinary file: no picture.
  Form1->FSlideShowMode = true;
  FormFadestyles->ChB_Fading->SetChecked(true);
  Form1->OpenThePicture("a.txt");
  EXPECT_FALSE(Form1->RichEdit1->Visible());
  EXPECT_EQ(PanelText(2), "n/a");
  Form1->FSlideShowMode = false;

  // With the option off it is no picture either.
  FormSettings->ChB_Showtext->SetChecked(false);
  Form1->OpenThePicture("a.txt");
  EXPECT_FALSE(Form1->RichEdit1->Visible());
  EXPECT_TRUE(Form1->FPlaceholderShown);
}

TEST_F(DisplayTest, AssociatedFilesAreNotOpenedAndPassQuicklyInAShow) {
  KIVO2_REQUIRE_TOOL("convert");
  Make({"-size", "40x30", "xc:red", Path("a.png")});
  testsupport::WriteFile(Path("clip.avi"), std::string(3000, 'v'));
  chmod(Path("clip.avi").c_str(), 0);  // never read: the view needs only its name
  StartOn("a.png");
  Form1->OpenThePicture("clip.avi");
  chmod(Path("clip.avi").c_str(), 0644);
  EXPECT_TRUE(Form1->FPlaceholderShown);
  EXPECT_EQ(Form1->Image1->Picture()->Width(), Form1->AsociateImage->Picture()->Width());
  EXPECT_EQ(PanelText(2), "n/a");
  EXPECT_EQ(PanelText(3), "2.93 KB");
  EXPECT_EQ(PanelText(4), "Loaded in: 000ms");
  EXPECT_EQ(PanelText(7), "clip.avi");
  // In a running show the timer passes over it after 10 ms.
  Form1->FSlideRunning = true;
  Form1->OpenThePicture("clip.avi");
  EXPECT_EQ(Form1->Timer1->Interval(), 10u);
  EXPECT_TRUE(Form1->Timer1->Enabled());
  Form1->FSlideRunning = false;
  Form1->Timer1->SetEnabled(false);
}

TEST_F(DisplayTest, VoiceMemoBesideThePicturePlaysThroughTheSoundService) {
  KIVO2_REQUIRE_TOOL("convert");
  Make({"-size", "40x30", "xc:red", Path("IMG_1.JPG")});
  Make({"-size", "40x30", "xc:blue", Path("b.png")});
  testsupport::WriteFile(Path("IMG_1.WAV"), "RIFF");
  StartOn("b.png");
  ASSERT_TRUE(SoundRecording());
  FormSettings->ChB_MemoButton->SetChecked(true);
  ClearRecordedSounds();
  Form1->OpenThePicture("IMG_1.JPG");
  std::vector<TSoundEvent> events = RecordedSounds();
  // Loading stops any sound first, then the memo plays.
  ASSERT_EQ(events.size(), 2u);
  EXPECT_FALSE(events[0].Play);
  EXPECT_TRUE(events[1].Play);
  EXPECT_EQ(events[1].File, Path("IMG_1.WAV"));
  EXPECT_TRUE(Form1->ZqSoundbutton->Visible());
  EXPECT_TRUE(Form1->M_Playmemo->Enabled());
  EXPECT_TRUE(Form1->Playmemo1->Enabled());

  // A picture without a memo forgets it.
  Form1->OpenThePicture("b.png");
  EXPECT_FALSE(Form1->ZqSoundbutton->Visible());
  EXPECT_FALSE(Form1->M_Playmemo->Enabled());
  EXPECT_EQ(Form1->ZrkSound1->SoundFile(), "");

  // Without automatic play the memo is only made ready.
  FormSettings->ChB_Playsound->SetChecked(false);
  ClearRecordedSounds();
  Form1->OpenThePicture("IMG_1.JPG");
  events = RecordedSounds();
  EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const TSoundEvent& e) { return e.Play; }), 0);
  EXPECT_EQ(Form1->ZrkSound1->SoundFile(), Path("IMG_1.WAV"));
}

// ---------------------------------------------------------------------------
// The list, the status bar, the load progress
// ---------------------------------------------------------------------------
TEST_F(DisplayTest, ClickInTheListShowsThatPictureAndFillsTheStatusBar) {
  KIVO2_REQUIRE_TOOL("convert");
  Make({"-size", "64x48", "xc:red", Path("a.png")});
  Make({"-size", "90x70", "xc:blue", Path("b.png")});
  Make({"-size", "30x20", "xc:green", Path("c.png")});
  // A known modification time for the date panel.
  auto r = testsupport::Run({"touch", "-d", "2004-05-06 07:08:09", Path("b.png")});
  ASSERT_EQ(r.exitCode, 0);
  StartOn("a.png");
  ASSERT_EQ(Form1->ListBox1->Count(), 3);
  EXPECT_EQ(PanelText(0), "1/3");
  const TRect item = Form1->ListBox1->ItemRect(1);
  GuiTesting::Click(Form1->ListBox1, item.Left + 5, (item.Top + item.Bottom) / 2);
  GuiTesting::ProcessEvents();
  EXPECT_EQ(Form1->FCurrentFile, Path("b.png"));
  EXPECT_EQ(Form1->Image1->Picture()->Width(), 90);
  EXPECT_EQ(PanelText(0), "2/3");
  EXPECT_EQ(PanelText(1), "2004:05:06 07:08:09");
  EXPECT_EQ(PanelText(2), "90 x 70");
  EXPECT_EQ(PanelText(6), "100%");
  EXPECT_EQ(PanelText(7), "b.png");
  EXPECT_EQ(PanelText(4).rfind("Loaded in: ", 0), 0u);
  EXPECT_EQ(PanelText(4).substr(PanelText(4).size() - 2), "ms");
  EXPECT_TRUE(Form1->Wallpaper1->Enabled());
}

TEST_F(DisplayTest, LoadProgressHoldsTheShowTimerUntilThePictureIsShown) {
  KIVO2_REQUIRE_TOOL("convert");
  Make({"-size", "400x300", "plasma:", "-quality", "90", Path("a.jpg")});
  StartOn("a.jpg");
  Form1->FSlideRunning = true;
  Form1->Timer1->SetEnabled(true);
  Form1->ImageLoadProgress(nullptr, psRunning, 40, false, TRect(), "");
  EXPECT_TRUE(Form1->ProgressBar1->Visible());
  EXPECT_EQ(Form1->ProgressBar1->Position(), 40);
  EXPECT_FALSE(Form1->Timer1->Enabled());
  // A whole load ends with the bar hidden and the show's timer running from then on.
  Form1->OpenThePicture("a.jpg");
  EXPECT_FALSE(Form1->ProgressBar1->Visible());
  EXPECT_EQ(Form1->ProgressBar1->Position(), 0);
  EXPECT_TRUE(Form1->Timer1->Enabled());
  EXPECT_EQ(Form1->Timer1->Interval(), unsigned(Form1->FSlideDelay * 1000));
  Form1->FSlideRunning = false;
  Form1->Timer1->SetEnabled(false);
}

TEST_F(DisplayTest, InvertTurnsEveryPixelOfTheShownPicture) {
  KIVO2_REQUIRE_TOOL("convert");
  Make({"-size", "50x40", "gradient:red-blue", Path("a.png")});
  StartOn("a.png");
  Form1->InvertImage();
  TBitmap shown;
  shown.Assign(Form1->Image1->Picture()->Graphic());
  const Difference d = Compare(shown, testsupport::ImageMagickRaster(Path("a.png"), {"-depth", "8", "-negate"}));
  EXPECT_EQ(d.maximum, 0);
}

// ---------------------------------------------------------------------------
// Preferences
// ---------------------------------------------------------------------------
TEST_F(DisplayTest, PreferencesOpenOnTheirFirstPageAndAskForARestartAfterALanguageChange) {
  KIVO2_REQUIRE_TOOL("convert");
  Make({"-size", "40x30", "xc:red", Path("a.png")});
  StartOn("a.png");
  const std::string editor = testsupport::TempFile("myeditor", "#!/bin/sh\n");
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& request) {
    EXPECT_EQ(request.form, FormSettings);
    EXPECT_EQ(FormSettings->PageControl1->ActivePage(), FormSettings->TabSheet1);
    FormSettings->JPGEdit->SetText(editor);
    UiLanguageCode = UiLanguageCode == "nl" ? "en" : "nl";
    return mrOk;
  });
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  Form1->M_Settings->Click();
  EXPECT_EQ(ModalResponder::Pending(), 0);
  const auto history = ModalResponder::History();
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[1].text, "You need to restart the program to activate the new language!");
  EXPECT_EQ(Form1->FEditorPath, editor);
  EXPECT_TRUE(Form1->P_OwnEditor->Visible());
  EXPECT_EQ(Form1->P_OwnEditor->Caption(), "Open with: myeditor");

  // Ctrl+D shows and hides the stand-alone button of the dialog.
  const bool before = FormSettings->USB_Button->Visible();
  GuiTesting::PressKey(Form1->ListBox1, 'D', TShiftState{ssCtrl});
  EXPECT_NE(FormSettings->USB_Button->Visible(), before);
  GuiTesting::PressKey(Form1->ListBox1, 'D', TShiftState{ssCtrl});
  EXPECT_EQ(FormSettings->USB_Button->Visible(), before);
}
