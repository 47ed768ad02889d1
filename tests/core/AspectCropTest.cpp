// The aspect-ratio change through jpegtran's lossless crop: the crop of each ratio rule,
// the result byte for byte what jpegtran run by the test makes of the same file, the
// backup and the date, the copies in "ASPR tmp", and the failures that must leave the
// picture as it was (a damaged JPEG, a jpegtran that is killed or writes half a file, a
// backup that cannot be made), with and without a backup.
#include "LosslessFixture.h"
#include "controls/QzFileExplorer28.h"
#include "platform/i18n/GnuGetText.h"
#include "tools/CalcAspectForm.h"

class AspectCropTest : public LosslessTest {
 protected:
  // The aspect tool's options as the user left them.
  void Options(bool backup, bool portraits = false, bool toLandscape = false) {
    CalculateAspect->CB_BackupAspectR->SetChecked(backup);
    CalculateAspect->CB_ASPPortrait->SetChecked(portraits);
    CalculateAspect->CB_PortToLandscape->SetChecked(toLandscape);
    CalculateAspect->CB_PrepareCompression->SetChecked(false);
    CalculateAspect->CB_LosslessASPR->SetChecked(true);
    CalculateAspect->CB_FastBatchASPR->SetChecked(false);
  }
  // The aspect tool answers OK with this ratio.
  static void AnswerRatio(double factor) {
    ModalResponder::Expect(ModalKind::ShowModal, [factor](ModalRequest& r) {
      EXPECT_EQ(r.form, CalculateAspect);
      CalculateAspect->FFactor = factor;
      return int(mrOk);
    });
  }
  // The crop argument of a file, "" when nothing is to be done.
  std::string Crop(const std::string& name, double factor) {
    std::string crop;
    return Form1->CanChangeAspectString(folder_ + name, crop, factor) ? crop : std::string();
  }
  // What jpegtran makes of the file with the crop and the program's other options.
  std::string Cropped(const std::string& file, const std::string& geometry) {
    return Expected(file, {"-perfect", "-trim", "-crop", geometry});
  }
};

TEST_F(AspectCropTest, CropOfEachRatioRule) {
  MakeColor("43.jpg", 2048, 1536, "gray");
  MakeColor("32.jpg", 1536, 1024, "gray");
  MakeColor("portrait.jpg", 1024, 1536, "gray");
  MakeColor("wide.jpg", 1600, 600, "gray");
  MakeColor("p.png", 64, 48, "gray");
  StartIn();
  Options(true);
  // 4:3 to 1.50: the height is cut to 1365, the offset 85 goes to the nearest block
  // boundary (88 on a grey picture's 8-pixel grid).
  EXPECT_EQ(Crop("43.jpg", 1.5), "crop 2048x1365+0+88");
  EXPECT_EQ(Form1->Caption(), "crop 2048x1365+0+88");
  // 4:3 to 1.00: the width is cut to 1536, offset 256 on the grid.
  EXPECT_EQ(Crop("43.jpg", 1.0), "crop 1536x1536+256+0");
  // A picture of the ratio already, a PNG and a portrait without the option: nothing.
  EXPECT_EQ(Crop("32.jpg", 1.5), "");
  EXPECT_EQ(Crop("p.png", 1.5), "");
  EXPECT_EQ(Crop("portrait.jpg", 1.33333), "");
  // Portraits included: a wider target cuts the height, a taller one the width.
  Options(true, true);
  EXPECT_EQ(Crop("portrait.jpg", 1.33333), "crop 1024x1365+0+88");
  EXPECT_EQ(Crop("portrait.jpg", 1.6), "crop 960x1536+32+0");
  // Portrait to landscape: the height becomes the short side of the ratio.
  Options(true, true, true);
  EXPECT_EQ(Crop("portrait.jpg", 1.5), "crop 1024x682+0+424");
  // A panorama to 16:10: the width is cut; small offsets go to the nearest boundary too.
  EXPECT_EQ(Crop("wide.jpg", 1.6), "crop 960x600+320+0");
  MakeColor("near.jpg", 1010, 640, "gray");
  EXPECT_EQ(Crop("near.jpg", 1.56), "crop 998x640+8+0");
  // Offsets of 9 to 11 go to the grid's first line.
  MakeColor("close.jpg", 1020, 640, "gray");
  EXPECT_EQ(Crop("close.jpg", 1.56), "crop 998x640+8+0");
  // A camera's colour picture (halved colour planes) has 16-pixel blocks.
  MakePhoto("cam.jpg", 640, 480);
  EXPECT_EQ(Crop("cam.jpg", 1.0), "crop 480x480+80+0");
}

TEST_F(AspectCropTest, CommandGivesJpegtransOwnCropWithBackupAndDate) {
  KIVO2_REQUIRE_TOOL("jpeginfo");
  KIVO2_REQUIRE_TOOL("exiv2");
  MakePhoto("p.jpg", 640, 480);
  MakePhoto("q.jpg", 480, 640);
  chmod((folder_ + "p.jpg").c_str(), 0640);
  // A photo with blue bands left and right, its sizes in its Exif and a thumbnail made of it.
  Make("band.jpg", {"-size", "1600x1200", "xc:gray60", "-fill", "blue", "-draw", "rectangle 0,0 199,1199", "-draw",
                    "rectangle 1400,0 1599,1199", "-fill", "red", "-draw", "rectangle 200,0 599,299"});
  const std::string bandThumb = testsupport::TempPath("band-thumb.jpg");
  testsupport::Run({"convert", folder_ + "band.jpg", "-resize", "160x120", bandThumb});
  ASSERT_EQ(testsupport::Run({"exiftool", "-q", "-overwrite_original", "-ExifImageWidth=1600",
                              "-ExifImageHeight=1200", "-ThumbnailImage<=" + bandThumb, folder_ + "band.jpg"})
                .exitCode,
            0);
  // The same with its Exif spread over two segments; and with a coarse thumbnail, its Exif
  // segment twice.
  fs::copy_file(folder_ + "band.jpg", folder_ + "spread.jpg");
  SpreadExif(folder_ + "spread.jpg");
  fs::copy_file(folder_ + "band.jpg", folder_ + "two.jpg");
  testsupport::Run({"convert", bandThumb, "-quality", "30", bandThumb});
  testsupport::Run({"exiftool", "-q", "-overwrite_original", "-ThumbnailImage<=" + bandThumb, folder_ + "two.jpg"});
  const std::string second = TwoExif(folder_ + "two.jpg");
  StartIn();
  Options(true);
  const std::string original = testsupport::ReadFile(folder_ + "p.jpg");
  const std::string portrait = testsupport::ReadFile(folder_ + "q.jpg");
  const std::string expected = Cropped(folder_ + "p.jpg", "480x480+80+0");
  const auto date = ModTime(folder_ + "p.jpg");
  const std::string title = Form1->Caption();
  AnswerRatio(1.0);
  Select({"p.jpg", "q.jpg", "band.jpg", "spread.jpg", "two.jpg"});
  Form1->ChangeAspectRatio1->Click();
  EXPECT_EQ(testsupport::ReadFile(folder_ + "p.jpg"), expected);
  // The square's thumbnail is square and shows it (the bands gone); the Exif sizes follow;
  // the spread Exif is spread still, and whole; of two whole Exif segments the first is
  // cropped alone (exiv2, which reads it, finds its thumbnail whole), the second kept.
  EXPECT_EQ(testsupport::Run({"exiv2", "-pt", folder_ + "two.jpg"}).err, "");
  EXPECT_NE(testsupport::Run({"exiv2", "-pp", folder_ + "two.jpg"}).out.find("image/jpeg, 120x120"), std::string::npos);
  EXPECT_NE(testsupport::ReadFile(folder_ + "two.jpg").find(second), std::string::npos);
  for (const char* name : {"band.jpg", "spread.jpg", "two.jpg"}) {
    const std::string band = folder_ + name, square = testsupport::TempPath("square.png");
    EXPECT_EQ(testsupport::Run({"identify", "-format", "%wx%h", band}).out, "1200x1200") << name;
    EXPECT_EQ(testsupport::Run({"exiftool", "-a", "-s3", "-ExifImageWidth", "-ExifImageHeight", band}).out,
              name[0] == 't' ? "1200\n1600\n1200\n1200\n" : "1200\n1200\n");
    testsupport::Run({"convert", band, "-resize", "120x120", square});
    EXPECT_EQ(testsupport::Run({"identify", "-format", "%wx%h", ThumbnailOf(band)}).out, "120x120") << name;
    EXPECT_TRUE(LookAlike(ThumbnailOf(band), square)) << name;
    const std::string faults = testsupport::Run({"exiftool", "-validate", "-warning", "-a", "-s3", band}).out;
    EXPECT_EQ(faults.find("multi-segment") != std::string::npos, name[0] == 's') << faults;
    EXPECT_EQ(testsupport::Run({"jpeginfo", "-c", band}).exitCode, 0) << name;
  }
  EXPECT_EQ(testsupport::ReadFile(folder_ + "backup_p.jpg"), original);
  EXPECT_TRUE(SameTime(ModTime(folder_ + "p.jpg"), date));
  EXPECT_GE(Form1->ListBox1->Items()->IndexOf("backup_p.jpg"), 0);
  struct stat st {};
  stat((folder_ + "p.jpg").c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // ImageMagick sees the new sides; the metadata came along.
  EXPECT_EQ(testsupport::Run({"identify", "-format", "%wx%h", folder_ + "p.jpg"}).out, "480x480");
  EXPECT_EQ(testsupport::Run({"exiftool", "-s3", "-Artist", folder_ + "p.jpg"}).out, "Nobody\n");
  // The portrait was left alone (portraits not included), and no backup made of it.
  EXPECT_EQ(testsupport::ReadFile(folder_ + "q.jpg"), portrait);
  EXPECT_FALSE(fs::exists(folder_ + "backup_q.jpg"));
  for (const std::string& name : FolderEntries(folder_)) EXPECT_NE(name[0], '.') << name;
  EXPECT_EQ(Form1->FFileAction, 10);
  EXPECT_FALSE(ActionRunning);

  // Again with the backup there: Cancel leaves the file and the old backup as they are.
  const std::string once = testsupport::ReadFile(folder_ + "p.jpg");
  AnswerRatio(1.5);
  ExpectMessage("Backup file found, overwrite backup file?", mrCancel, ModalKind::MessageDlg);
  Select({"p.jpg"});
  Form1->ChangeAspectRatio1->Click();
  EXPECT_EQ(testsupport::ReadFile(folder_ + "p.jpg"), once);
  EXPECT_EQ(testsupport::ReadFile(folder_ + "backup_p.jpg"), original);
  // The crop stays in the title while its picture shows, and goes with it.
  EXPECT_EQ(Form1->Caption(), "crop 480x320+0+80");
  const TRect q = Form1->ListBox1->ItemRect(Form1->ListBox1->Items()->IndexOf("q.jpg"));
  GuiTesting::Click(Form1->ListBox1, q.Left + 2, q.Top + 2);
  EXPECT_EQ(Form1->Caption(), title);
  // The aspect tool cancelled: nothing happens.
  ModalResponder::Expect(ModalKind::ShowModal, int(mrCancel));
  Form1->ChangeAspectRatio1->Click();
  EXPECT_EQ(testsupport::ReadFile(folder_ + "p.jpg"), once);
}

TEST_F(AspectCropTest, FailuresLeaveThePictureAsItWasWithoutBackup) {
  MakePhoto("a.jpg", 640, 480);
  const std::string whole = testsupport::ReadFile(folder_ + "a.jpg");
  // Cut in the middle of its data: the header reads, jpegtran warns and ends with status 2.
  testsupport::WriteFile(folder_ + "cut.jpg", whole.substr(0, whole.size() / 2));
  StartIn();
  // No backups: the picture itself is all there is.
  Options(false);
  auto crop = [&](const std::string& name, const std::string& reason = "jpegtran made no whole picture.") {
    ExpectMessage("JPG Backup is turned off, this action can't be undone, continue? ", mrYes, ModalKind::MessageDlg);
    ExpectMessage("Jpegtran message: Couldn't change the file\n" + folder_ + name + "\n" + reason);
    Select({name});
    Form1->AspectRatioInitStart(1.5);
  };
  const std::string cut = testsupport::ReadFile(folder_ + "cut.jpg");
  crop("cut.jpg", "The file is not a whole JPEG picture.");
  EXPECT_EQ(testsupport::ReadFile(folder_ + "cut.jpg"), cut);

  // jpegtran stand-ins on PATH that are killed or write half a file.
  const std::vector<std::string> bodies = FailingBodies();
  const auto date = ModTime(folder_ + "a.jpg");
  for (const std::string& body : bodies) {
    PathFirst(fs::path(StandIn(testsupport::TempPath("bin"), body)).parent_path().string());
    crop("a.jpg");
    EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), whole) << body;
    EXPECT_TRUE(SameTime(ModTime(folder_ + "a.jpg"), date)) << body;
  }
  setenv("PATH", savedPath_.c_str(), 1);
  // jpegtran's refusals in the program folder, in Dutch: a known one by its Dutch reason, an
  // unknown one not at all; neither with jpegtran's line or the program's path.
  const auto nl = testsupport::DutchTranslations();
  UseLanguage("nl");
  for (const auto& [line, reason] : {std::pair{"transformation is not perfect",
                                               "The picture's size does not allow this change without loss."},
                                     {"trouble with /etc/kivo2", "jpegtran made no whole picture."}}) {
    StandIn(ProgramFolder() + "jpegtran", std::string("echo \"$0: ") + line + "\" >&2; exit 1");
    ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
    ExpectMessage(nl.at("Jpegtran message: Couldn't change the file") + "\n" + folder_ + "a.jpg\n" + nl.at(reason));
    Select({"a.jpg"});
    Form1->AspectRatioInitStart(1.5);
    EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), whole) << line;
  }
  UseLanguage("en");
  // (A failing rename or temporary file of the shared lossless step: in the rotation's test.)
  for (const std::string& name : FolderEntries(folder_)) EXPECT_NE(name[0], '.') << name;
}

TEST_F(AspectCropTest, ABackupThatCannotBeMadeOrAMissingJpegtranLeavesThePictureWhole) {
  MakePhoto("a.jpg", 640, 480);
  const std::string whole = testsupport::ReadFile(folder_ + "a.jpg");
  StartIn();
  Options(true);
  // The picture cannot take the backup's name: nothing is run, nothing changes.
  {
    TFileFaultScope fault(TFileFaultOp::Rename, EACCES, "backup_a.jpg");
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Select({"a.jpg"});
    Form1->AspectRatioInitStart(1.5);
    EXPECT_EQ(fault.Hits(), 1);
  }
  EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), whole);
  EXPECT_FALSE(fs::exists(folder_ + "backup_a.jpg"));
  // (A killed jpegtran with backups on, in the shared lossless step: in the rotation's test.)
  // Without any jpegtran the command says so and does not open the aspect tool.
  setenv("PATH", testsupport::TempPath("empty").c_str(), 1);
  ModalResponder::Expect(ModalKind::ShowMessage, [](ModalRequest& r) {
    EXPECT_NE(r.text.find("The file jpegtran.exe is needed for this action"), std::string::npos);
    return int(mrOk);
  });
  Form1->ChangeAspectRatio1->Click();
  EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), whole);
}

TEST_F(AspectCropTest, PreparedCopiesAreCroppedInTheirOwnFolderAndHandedOn) {
  MakePhoto("a.jpg", 640, 480);
  MakeColor("b.png", 64, 48, "gray");
  StartIn();
  Options(true);
  CalculateAspect->CB_PrepareCompression->SetChecked(true);
  const std::string original = testsupport::ReadFile(folder_ + "a.jpg");
  const std::string expected = Cropped(folder_ + "a.jpg", "640x426+0+32");
  AnswerRatio(1.5);
  ModalResponder::Expect(ModalKind::ShowMessage, [](ModalRequest& r) {
    EXPECT_EQ(r.text.rfind("Batch handling done.", 0), 0u) << r.text;
    return int(mrOk);
  });
  // The compression window opens on the cropped copy.
  ModalResponder::Expect(ModalKind::ShowModal, int(mrCancel));
  Select({"a.jpg", "b.png"});
  Form1->ChangeAspectRatio1->Click();
  const std::string copies = folder_ + "ASPR tmp/";
  EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), original);
  EXPECT_EQ(testsupport::ReadFile(copies + "a.jpg"), expected);
  // Copies get no backups and only the JPEG files are copied.
  EXPECT_EQ(FolderEntries(copies), std::vector<std::string>{"a.jpg"});
  EXPECT_EQ(IncludeTrailingPathDelimiter(Form1->QzDirTree211->SelectedPath()), copies);
  EXPECT_EQ(ModalResponder::Pending(), 0);
}
