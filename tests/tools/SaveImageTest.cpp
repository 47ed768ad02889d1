// The compression center: the decode scale and quality presets, saved copies checked with
// ImageMagick (size, quality, pixels against its resize with the same filter) and exiftool
// (the source's metadata carried over, only the picture size changed), TIFF sources with
// their Exif, the names of the copies and the busy sign of a resampling.

#include <cmath>
#include <filesystem>

#include "SaveImageFixture.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/CheckLst.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/gui/Gauges.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdCtrls.h"
#include "tools/UnitSaveImage.h"
#include "tools/UnitSaveToFolder.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kCameraTags = {
    "-Make=KivoCam",       "-Model=Test One",     "-DateTimeOriginal=2021:06:07 08:09:10",
    "-ExposureTime=1/125", "-FNumber=5.6",        "-ISO=200",
    "-FocalLength=35",     "-GPSLatitude=52.01",  "-GPSLatitudeRef=N",
    "-GPSLongitude=4.36",  "-GPSLongitudeRef=E",  "-UserComment=harbour at dawn",
    "-IPTC:Keywords=boat", "-IPTC:City=Delft",    "-Comment=a comment"};

// PSNR of two rasters of one size (8-bit samples).
double Psnr(const testsupport::Raster& a, const testsupport::Raster& b) {
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  if (a.width != b.width || a.height != b.height) return 0;
  double se = 0;
  for (size_t i = 0; i < a.samples.size() && i < b.samples.size(); ++i) {
    const double d = double(a.samples[i]) - double(b.samples[i]);
    se += d * d;
  }
  const double mse = se / double(a.samples.size());
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// An image that counts its paints while it is shown.
struct PaintWatch : TImage {
  using TImage::TImage;
  int shownPaints = 0;
  void Paint() override { shownPaints += Visible(), TImage::Paint(); }
};

}  // namespace

TEST(SaveImageScale, TheSmallestDecodeThatStillCoversTheTarget) {
  // A 4000-pixel side: an eighth for 400, a quarter for 1000, full size for 2100.
  EXPECT_EQ(TFormSaveImage::ChooseJpegScale(400, 4000), jsEighth);
  EXPECT_EQ(TFormSaveImage::ChooseJpegScale(1000, 4000), jsQuarter);
  EXPECT_EQ(TFormSaveImage::ChooseJpegScale(2100, 4000), jsFullSize);
  EXPECT_EQ(TFormSaveImage::ChooseJpegScale(2000, 4000), jsHalf);
  EXPECT_EQ(TFormSaveImage::ChooseJpegScale(1600, 6000), jsHalf);
  EXPECT_EQ(TFormSaveImage::ChooseJpegScale(0, 4000), jsFullSize);
  // Every choice still gives at least the target (libjpeg rounds scaled sizes up).
  for (int side : {999, 1000, 1001, 3999, 4000, 6000})
    for (int target : {80, 160, 333, 500, 640, 1024, 1600})
      EXPECT_GE((side + (1 << TFormSaveImage::ChooseJpegScale(target, side)) - 1) >>
                    TFormSaveImage::ChooseJpegScale(target, side),
                std::min(side, target))
          << side << " for " << target;
}

TEST_F(SaveImageTest, QualityPresetsAndTheSpinButtonFollowEachOther) {
  const std::string a = MakePicture("a.jpg", 200, 150);
  RunWindow({"a.jpg"}, [] {
    TFormSaveImage* f = FormSaveImage;
    const int qualities[] = {10, 25, 40, 55, 80, 90};
    for (int i = 0; i < 6; ++i) {
      f->ComboBox2->SetItemIndex(i);
      f->ComboBox2Change(f->ComboBox2);
      EXPECT_EQ(f->UpDown1->Value(), qualities[i]);
      EXPECT_EQ(f->Label4->Caption(), std::to_string(100 - qualities[i]));
    }
    // Bands: 54 is medium, 55 good, 89 high, 90 excellent.
    for (auto [quality, preset] : std::vector<std::pair<int, int>>{{1, 0}, {24, 0}, {25, 1}, {39, 1}, {40, 2},
                                                                   {54, 2}, {55, 3}, {79, 3}, {80, 4}, {89, 4},
                                                                   {90, 5}, {99, 5}}) {
      f->UpDown1->SetValue(quality);
      EXPECT_EQ(f->ComboBox2->ItemIndex(), preset) << quality;
      EXPECT_EQ(f->Gauge1->Progress(), quality);
      EXPECT_EQ(f->Label4->Caption(), std::to_string(100 - quality));
    }
  });
}

TEST_F(SaveImageTest, SavedCopiesHaveTheSizeQualityAndMetadataAsked) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("identify");
  auto tagged = [&](const char* name, int w, int h) {
    std::vector<std::string> tags = kCameraTags;
    tags.push_back("-ExifImageWidth=" + std::to_string(w));
    tags.push_back("-ExifImageHeight=" + std::to_string(h));
    tags.insert(tags.end(), ProfileAndXmp().begin(), ProfileAndXmp().end());
    return MakeTaggedPicture(name, w, h, tags);
  };
  const std::string wide = tagged("wide.jpg", 1200, 800), tall = tagged("tall.jpg", 600, 900),
                    small = tagged("small.jpg", 300, 200);
  // 640 pixels on the longest side (the other side as the fit gives it: 800 * 640 / 1200
  // is 426.67, of which the fit keeps the whole pixels); the small one keeps its size.
  Form1->FSmallWidth = 3;
  Form1->FSmallCompression = 4;  // high quality: 80
  SaveToFolderForm->ChB_UsePrefix->SetChecked(true);
  Form1->FPrefix = "web_";
  RunWindow({"wide.jpg", "tall.jpg", "small.jpg"}, [&] {
    EXPECT_EQ(FormSaveImage->SelItems(), 3);
    SaveAll(Output());
  });
  ASSERT_EQ(Texts().size(), 3u);
  EXPECT_EQ(Texts()[2], "3 of 3 files saved");
  const struct {
    std::string source, copy, size;
  } expected[] = {{wide, "web_wide.jpg", "640x426"}, {tall, "web_tall.jpg", "426x640"},
                  {small, "web_small.jpg", "300x200"}};
  for (const auto& e : expected) {
    SCOPED_TRACE(e.copy);
    const std::string copy = Output() + e.copy;
    ASSERT_TRUE(fs::exists(copy));
    EXPECT_EQ(Geometry(copy), e.size);
    EXPECT_EQ(Quality(copy), 80);
    auto before = Metadata(e.source), after = Metadata(copy);
    const std::string width = e.size.substr(0, e.size.find('x')), height = e.size.substr(e.size.find('x') + 1);
    EXPECT_EQ(after["ExifIFD:ExifImageWidth"], width);
    EXPECT_EQ(after["ExifIFD:ExifImageHeight"], height);
    for (const char* adjusted : {"ExifIFD:ExifImageWidth", "ExifIFD:ExifImageHeight"}) {
      before.erase(adjusted);
      after.erase(adjusted);
    }
    EXPECT_GT(before.size(), 20u);
    EXPECT_EQ(before, after);
    EXPECT_EQ(after["IFD0:Make"], "KivoCam");
    EXPECT_EQ(after["IPTC:City"], "Delft");
    // The colour profile and the XMP packet as they were (among the tags compared).
    EXPECT_EQ(after["XMP-dc:Title"] + "; " + after["ICC_Profile:ProfileDescription"], "Harbour at dawn; Artifex Software A98 ICC Profile");
  }
  // Nothing else was written into the folder (no temporary files left behind).
  EXPECT_EQ(std::distance(fs::directory_iterator(Output()), fs::directory_iterator()), 3);
}

TEST_F(SaveImageTest, ResampledPixelsAgreeWithImageMagicksMitchellResize) {
  KIVO2_REQUIRE_TOOL("convert");
  // The window maps the first and last pixels of source and copy onto each other, ImageMagick
  // the pixel centres; the two agree where the source is the inside of ImageMagick's by one
  // pixel and the scale is 1/3 (1498 x 1498 to 500 x 500; 1500 x 1500 in ImageMagick).
  const std::string big = MakePicture(testsupport::TempPath("big.png"), 1500, 1500);
  auto crop = testsupport::Run({"convert", big, "-crop", "1498x1498+1+1", "+repage", Pictures() + "inner.png"});
  ASSERT_EQ(crop.exitCode, 0) << crop.err;
  Form1->FCustomWebSize = 500;
  Form1->FSmallWidth = 14;  // Custom
  RunWindow({"inner.png"}, [&] {
    // The busy sign has its picture and is painted while the resampling runs, before it hides.
    TImage* sign = FormSaveImage->ImageCompressing;
    ASSERT_GT(sign->Picture()->Width(), 20);
    auto* watch = new PaintWatch(FormSaveImage);
    watch->SetParent(sign->Parent());
    watch->SetVisible(false);
    FormSaveImage->ImageCompressing = watch;
    FormSaveImage->ReSizeImage();
    FormSaveImage->ImageCompressing = sign;
    EXPECT_TRUE(watch->shownPaints > 0 && !watch->Visible());
    FormSaveImage->UpDown1->SetValue(99);
    SaveAll(Output());
  });
  const std::string copy = Output() + "inner.jpg";
  ASSERT_EQ(Geometry(copy), "500x500");
  const auto ours = testsupport::ImageMagickRaster(copy);
  const auto mitchell = testsupport::ImageMagickRaster(big, {"-filter", "Mitchell", "-resize", "500x500!", "-depth", "8"});
  const double psnr = Psnr(ours, mitchell);
  std::printf("[save] PSNR against ImageMagick's Mitchell resize: %.2f dB\n", psnr);
  EXPECT_GE(psnr, 38.0);
  // A plain fit without the filter is a different picture (the filter was used).
  const auto point = testsupport::ImageMagickRaster(big, {"-filter", "Point", "-resize", "500x500!", "-depth", "8"});
  EXPECT_LT(Psnr(ours, point), psnr - 3);
}

TEST_F(SaveImageTest, AJpegIsDecodedAtTheScaleThatCoversTheTarget) {
  KIVO2_REQUIRE_TOOL("djpeg");
  // 4000 x 2000 for 1000 pixels: a quarter decode has the size already, so the copy is the
  // quarter decode itself, as djpeg makes it.
  const std::string source = MakePicture("big.jpg", 4000, 2000);
  Form1->FSmallWidth = 14;  // Custom
  Form1->FCustomWebSize = 1000;
  RunWindow({"big.jpg"}, [&] {
    EXPECT_EQ(FormSaveImage->FTargetSize, 1000);
    EXPECT_EQ(FormSaveImage->FLoadedSize, 1000);
    FormSaveImage->UpDown1->SetValue(99);
    SaveAll(Output());
    // A larger target needs more than the quarter: 2048 takes the full picture.
    FormSaveImage->ComboBox1->SetItemIndex(9);
    FormSaveImage->ComboBox1Change(FormSaveImage->ComboBox1);
    EXPECT_EQ(FormSaveImage->FLoadedSize, 4000);
    EXPECT_EQ(FormSaveImage->Label2->Caption(), "2048x1024");
    // The first preset: 80 pixels.
    FormSaveImage->ComboBox1->SetItemIndex(0);
    FormSaveImage->ComboBox1Change(FormSaveImage->ComboBox1);
    EXPECT_EQ(FormSaveImage->Label2->Caption(), "80x40");
    // A size typed and entered counts from 11 pixels on.
    for (const auto& [typed, target] : {std::pair{10, 80}, {11, 11}}) {
      FormSaveImage->CustomEdit->SetValue(typed);
      uint16_t key = VK_RETURN;
      FormSaveImage->CustomEditKeyDown(nullptr, key, {});
      EXPECT_EQ(FormSaveImage->FTargetSize, target) << typed;
    }
  });
  const std::string copy = Output() + "big.jpg";
  ASSERT_EQ(Geometry(copy), "1000x500");
  const std::string quarter = testsupport::TempPath("quarter.ppm");
  auto r = testsupport::Run({"djpeg", "-scale", "1/4", "-outfile", quarter, source});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // What is left is the loss of compressing at quality 99.
  EXPECT_GE(Psnr(testsupport::ImageMagickRaster(copy), testsupport::ImageMagickRaster(quarter)), 36.0);
}

TEST_F(SaveImageTest, ATiffWithExifGivesAValidJpegWithItsMetadata) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("jpeginfo");
  std::vector<std::string> tags = kCameraTags;
  tags.insert(tags.end(), {"-ExifImageWidth=900", "-ExifImageHeight=600"});
  const std::string tiff = MakeTaggedPicture("scan.tif", 900, 600, tags);
  Form1->FSmallWidth = 3;
  RunWindow({"scan.tif"}, [&] {
    SaveToFolderForm->ChB_WriteExif->SetChecked(false);  // write Exif
    SaveAll(Output());
  });
  const std::string copy = Output() + "scan.jpg";
  auto info = testsupport::Run({"jpeginfo", "-c", copy});
  EXPECT_EQ(info.exitCode, 0) << info.out;
  auto validation = testsupport::Run({"exiftool", "-validate", "-warning", "-error", "-a", "-s3", copy});
  EXPECT_EQ(validation.out, "OK\n");
  EXPECT_EQ(Geometry(copy), "640x426");
  auto written = Metadata(copy);
  EXPECT_EQ(written["ExifIFD:ExifImageWidth"], "640");
  EXPECT_EQ(written["ExifIFD:ExifImageHeight"], "426");
  EXPECT_EQ(written["IFD0:Make"], "KivoCam");
  EXPECT_EQ(written["IFD0:Model"], "Test One");
  EXPECT_EQ(written["ExifIFD:ISO"], "200");
  EXPECT_EQ(written["GPS:GPSLatitude"], Metadata(tiff)["GPS:GPSLatitude"]);
}

TEST_F(SaveImageTest, WebNamesAndCopiesWithoutMetadata) {
  KIVO2_REQUIRE_TOOL("exiftool");
  std::vector<std::string> tags = kCameraTags;
  tags.insert(tags.end(), ProfileAndXmp().begin(), ProfileAndXmp().end());
  const std::string source = MakeTaggedPicture("My Photo 1.JPG", 400, 300, tags);
  Form1->FPrefix = "small_";
  RunWindow({"My Photo 1.JPG"}, [&] {
    SaveToFolderForm->Chb_lowercase->SetChecked(true);
    SaveToFolderForm->ChB_UsePrefix->SetChecked(false);
    SaveToFolderForm->ChB_WriteExif->SetChecked(true);  // don't write Exif
    SaveAll(Output());
  });
  EXPECT_FALSE(fs::exists(Output() + "My Photo 1.jpg"));
  const std::string copy = Output() + "my_photo_1.jpg";
  ASSERT_TRUE(fs::exists(copy));
  const auto copyTags = Metadata(copy);
  EXPECT_EQ(copyTags.count("IFD0:Make"), 0u);
  EXPECT_EQ(copyTags.count("IPTC:City"), 0u);
  EXPECT_EQ(copyTags.count("XMP-dc:Title"), 0u);
  // What makes it look as the source does stays: its colour profile.
  EXPECT_EQ(copyTags.at("ICC_Profile:ProfileDescription"), Metadata(source).at("ICC_Profile:ProfileDescription"));
  // With the prefix the web name keeps it in front, lower-cased.
  RunWindow({"My Photo 1.JPG"}, [&] {
    SaveToFolderForm->ChB_UsePrefix->SetChecked(true);
    SaveAll(Output());
  });
  EXPECT_TRUE(fs::exists(Output() + "small_my_photo_1.jpg"));
  SaveToFolderForm->Chb_lowercase->SetChecked(false);
}

TEST_F(SaveImageTest, HelpAndTheBrowsingKeysReachTheirCommands) {
  MakePicture("a.jpg", 300, 200);
  MakePicture("b.jpg", 200, 300);
  const std::string keptHelp = Application->HelpFile();
  const std::string missing = testsupport::TempPath("none") + "/kivo2.chm";
  Application->SetHelpFile(missing);
  RunWindow({"a.jpg", "b.jpg"}, [&] {
    // The key preview sends '.' and ',' from any control to Next and Previous.
    GuiTesting::PressKey(FormSaveImage->ComboBox1, VK_OEM_PERIOD, TShiftState(), '.');
    EXPECT_EQ(FormSaveImage->CheckListBox1->ItemIndex(), 1);
    EXPECT_EQ(FormSaveImage->Label2->Caption(), "200x300");
    GuiTesting::PressKey(FormSaveImage->ComboBox1, VK_OEM_COMMA, TShiftState(), ',');
    EXPECT_EQ(FormSaveImage->CheckListBox1->ItemIndex(), 0);
    // Help and F1 open the help file; one that is not there is said, twice.
    Answer(ModalKind::ShowMessage, mrOk);
    Answer(ModalKind::ShowMessage, mrOk);
    FormSaveImage->ZqSpeedButton1->Click();
    GuiTesting::PressKey(FormSaveImage->ComboBox1, VK_F1);
  });
  Application->SetHelpFile(keptHelp);
  ASSERT_EQ(Texts().size(), 2u);
  for (const std::string& text : Texts()) EXPECT_NE(text.find(missing), std::string::npos) << text;
}

TEST_F(SaveImageTest, TheLargeThumbnailShowsBelowTheCheckListNotOverIt) {
  MakePicture("a.jpg", 300, 200);
  MakePicture("b.jpg", 200, 300);
  RunWindow({"a.jpg", "b.jpg"}, [&] {
    FormSaveImage->Zq_CheckList->Click();
    FormSaveImage->ChB_ShowLargeThumb->SetChecked(true);
    GuiTesting::ProcessEvents();
    TCheckListBox* list = FormSaveImage->CheckListBox1;
    TSplitter* splitter = FormSaveImage->Splitter2;
    TPanel* thumb = FormSaveImage->Panel8;
    // Top to bottom: the list, the splitter at its own thickness, the thumbnail.
    EXPECT_GT(list->Height(), 50);
    EXPECT_EQ(splitter->Height(), 4);
    EXPECT_EQ(list->Top() + list->Height(), splitter->Top());
    EXPECT_EQ(splitter->Top() + splitter->Height(), thumb->Top());
    EXPECT_FALSE(FormSaveImage->Image4->Picture()->Graphic() == nullptr);
    FormSaveImage->ChB_ShowLargeThumb->SetChecked(false);
    EXPECT_FALSE(thumb->Visible());
    EXPECT_FALSE(FormSaveImage->Image3->Picture()->Graphic() == nullptr);
  });
}

TEST_F(SaveImageTest, TheComparedPreviewsScrollTogether) {
  MakePicture("big.jpg", 1600, 1200);
  Form1->FSmallWidth = 9;  // 2048: larger than either box
  Form1->FSmallCompression = 3;
  RunWindow({"big.jpg"}, [&] {
    FormSaveImage->Zq_Image1Show->Click();
    GuiTesting::ProcessEvents();
    ASSERT_TRUE(FormSaveImage->PanelImage1->Visible());
    TScrollBox *left = FormSaveImage->ScrollBox1, *right = FormSaveImage->ScrollBox2;
    // With the bars of either box, both follow.
    GuiTesting::ScrollStep(right, true, 3);
    GuiTesting::ProcessEvents();
    EXPECT_GT(right->VertScrollBar()->Position(), 0);
    EXPECT_EQ(left->VertScrollBar()->Position(), right->VertScrollBar()->Position());
    GuiTesting::ScrollStep(left, false, 2);
    GuiTesting::ProcessEvents();
    EXPECT_GT(left->HorzScrollBar()->Position(), 0);
    EXPECT_EQ(right->HorzScrollBar()->Position(), left->HorzScrollBar()->Position());
    EXPECT_EQ(right->VertScrollBar()->Position(), left->VertScrollBar()->Position());
    // The checked entry's envelope stays in the result's corner, where a click reaches it.
    TImage* envelope = FormSaveImage->Enveloppe;
    TBitmap box, mark;
    ASSERT_TRUE(envelope->Visible() && GuiTesting::Grab(right, box) && GuiTesting::Grab(envelope, mark));
    EXPECT_EQ(envelope->BoundsRect(), Rect(3, 3, 3 + mark.Width(), 3 + mark.Height()));
    const int x = mark.Width() / 2, y = mark.Height() / 2;
    EXPECT_EQ(box.PixelColor(3 + x, 3 + y), mark.PixelColor(x, y));
    GuiTesting::Click(envelope, 4, 4);
    EXPECT_FALSE(FormSaveImage->CheckListBox1->Checked(0) || envelope->Visible());
  });
}
