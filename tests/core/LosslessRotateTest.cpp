// Lossless rotation and flipping: the result against jpegtran run by the test on the same
// file, the file date and permissions kept, backups, cached thumbnails dropped, the batch
// (JPEG files only, the picture shown, Esc), and the failures that must leave the picture
// as it was: a damaged JPEG, a jpegtran that is killed half-way or writes half a file, a
// missing jpegtran, a rename that fails.
#include "LosslessFixture.h"
#include "controls/QzFileExplorer28.h"
#include "platform/i18n/GnuGetText.h"

class LosslessRotateTest : public LosslessTest {};

TEST_F(LosslessRotateTest, EachTransformIsJpegtransOwnOutputWithDateAndModeKept) {
  KIVO2_REQUIRE_TOOL("jpeginfo");
  KIVO2_REQUIRE_TOOL("exiv2");
  const std::vector<std::pair<void (TForm1::*)(TObject*), std::vector<std::string>>> commands{
      {&TForm1::RotateRight2Click, {"-rotate", "90"}},
      {&TForm1::RotateLeft2Click, {"-rotate", "270"}},
      {&TForm1::UpsideDown2Click, {"-rotate", "180"}},
      {&TForm1::FlipHorizontally2Click, {"-flip", "horizontal"}},
      {&TForm1::FlipVertically2Click, {"-flip", "vertical"}}};
  for (size_t i = 0; i < commands.size(); ++i) {
    MakePhoto("p" + std::to_string(i) + ".jpg");
    MakePhoto("s" + std::to_string(i) + ".jpg");
    TagSideways(folder_ + "s" + std::to_string(i) + ".jpg");
  }
  chmod((folder_ + "p0.jpg").c_str(), 0640);
  // Thumbnails that are not what their entries say: longer than the Exif, at the first
  // directory, no JPEG picture, holding the Artist's text, past the end of Exif spread over
  // two segments. They stay as they are; the turn goes on.
  for (int h = 0; h < 5; ++h) {
    const std::string file = folder_ + "h" + std::to_string(h) + ".jpg";
    MakePhoto("h" + std::to_string(h) + ".jpg");
    TagSideways(file);
    std::string bytes = testsupport::ReadFile(file);
    const size_t tiff = bytes.find("Exif") + 6, entry = bytes.find(std::string("\2\1\0\4\0\0\0\1", 8));
    ASSERT_NE(entry, std::string::npos);
    if (h == 0) bytes[entry + 20] = '\x7F';
    if (h == 1) bytes.replace(entry + 8, 4, std::string("\0\0\0\x08", 4));
    if (h == 2) bytes[tiff + size_t(uint8_t(bytes[entry + 10])) * 256 + uint8_t(bytes[entry + 11])] = 0;
    if (h == 3) bytes.replace(bytes.find(std::string("\1\x3B\0\2\0\0\0\7", 8)) + 8, 4, bytes.substr(entry + 8, 4));
    if (h == 4) bytes.replace(entry + 8, 4, std::string("\0\x7F\0\0", 4));
    testsupport::WriteFile(file, bytes);
    if (h == 4) SpreadExif(file);
  }
  // A thumbnail of 12-bit samples, which neither jpegtran nor the decoder turns.
  MakePhoto("twelve.jpg");
  TagSideways(folder_ + "twelve.jpg");
  std::string twelve = testsupport::ReadFile(folder_ + "twelve.jpg");
  twelve[twelve.find("\xFF\xC0") + 4] = 12;
  testsupport::WriteFile(folder_ + "twelve.jpg", twelve);
  // Cameras' own Exif (Intel order, LONG sizes, a maker note; one thumbnail that is no JPEG
  // picture, one real one), their pictures turned sideways (and their sizes in it).
  std::vector<std::string> cameras;
  for (const char* sample : {"GPS.jpg", "FLIR.jpg"}) {
    const std::string from = testsupport::CorpusDir() + "/metadata-samples/" + sample;
    if (!fs::exists(from)) continue;
    cameras.push_back(folder_ + "camera_" + sample);
    fs::copy_file(from, cameras.back());
    chmod(cameras.back().c_str(), 0644);
    ASSERT_EQ(testsupport::Run({"exiftool", "-q", "-overwrite_original", "-n", "-IFD0:Orientation=6",
                                "-IFD1:Orientation=6", "-ExifImageWidth<ImageWidth", "-ExifImageHeight<ImageHeight",
                                cameras.back()}).exitCode, 0);
  }
  // A square photo made smaller from a camera's keeps the camera's sizes in its Exif.
  MakePhoto("square.jpg", 64, 64);
  ASSERT_EQ(testsupport::Run({"exiftool", "-q", "-overwrite_original", "-ExifImageWidth=4000",
                              "-ExifImageHeight=3000", folder_ + "square.jpg"}).exitCode, 0);
  // A 1600 x 1200 photo held on its side with a noisy 400 x 300 thumbnail of some 61 KB,
  // which encoded anew at quality 95 no longer fits the Exif segment's 64 KiB; and one whose
  // thumbnail jpegtran turns without loss but longer than the segment holds.
  MakePhoto("big.jpg", 1600, 1200);
  TagSideways(folder_ + "big.jpg", NoisyThumbnail(400, 300, "0.75", "-progressive"));
  MakePhoto("arith.jpg", 1600, 1216);
  TagSideways(folder_ + "arith.jpg", NoisyThumbnail(400, 304, "0.85", "-arithmetic"));
  ASSERT_GT(fs::file_size(ThumbnailOf(folder_ + "big.jpg")), 60000u);
  ASSERT_GT(fs::file_size(ThumbnailOf(folder_ + "arith.jpg")), 60000u);
  // A 640 x 480 thumbnail of some 663 KB, which exiftool spreads over 11 Exif segments.
  MakePhoto("spread.jpg", 1600, 1200);
  TagSideways(folder_ + "spread.jpg", NoisyThumbnail(640, 480, "40", "-progressive", "#808081"));
  ASSERT_EQ(testsupport::Run({"sh", "-c", "exiftool -v '" + folder_ + "spread.jpg' | grep -c 'APP1 (65533'"}).out,
            "10\n");
  // Two whole Exif segments back to back, each with its thumbnail.
  MakePhoto("two.jpg");
  TagSideways(folder_ + "two.jpg");
  const std::string second = TwoExif(folder_ + "two.jpg");
  StartIn();
  for (size_t i = 0; i < commands.size(); ++i) {
    const std::string name = "p" + std::to_string(i) + ".jpg", file = folder_ + name;
    const std::string expected = Expected(file, commands[i].second);
    const auto date = ModTime(file);
    Select({name});
    (Form1->*commands[i].first)(Form1);
    EXPECT_EQ(testsupport::ReadFile(file), expected) << name;
    EXPECT_TRUE(SameTime(ModTime(file), date)) << name;
    // The photo tagged as turned sideways now stands as it is to be shown.
    const std::string sideways = folder_ + "s" + std::to_string(i) + ".jpg";
    Expected(sideways, commands[i].second);
    const std::string thumbnail = ThumbnailOf(sideways);
    Select({"s" + std::to_string(i) + ".jpg"});
    (Form1->*commands[i].first)(Form1);
    ExpectUpright(sideways, testsupport::TempPath("expected.jpg"), thumbnail, commands[i].second);
  }
  for (int h = 0; h < 5; ++h) {
    Expected(folder_ + "h" + std::to_string(h) + ".jpg", {"-rotate", "90"});
    Select({"h" + std::to_string(h) + ".jpg"});
    Form1->RotateRight2->Click();
    ExpectUpright(folder_ + "h" + std::to_string(h) + ".jpg", testsupport::TempPath("expected.jpg"));
  }
  // It would stand sideways beside the upright picture: it is taken out.
  Select({"twelve.jpg"});
  Form1->RotateRight2->Click();
  EXPECT_EQ(testsupport::Run({"exiftool", "-s3", "-n", "-IFD0:Orientation", "-ThumbnailLength", "-Artist",
                              folder_ + "twelve.jpg"}).out, "1\nNobody\n");
  EXPECT_EQ(testsupport::Run({"jpeginfo", "-c", folder_ + "twelve.jpg"}).exitCode, 0);
  // Their sides are no whole MCUs: turned without -perfect, the edge trimmed.
  Form1->M_JPGTRANPerfect->SetChecked(false);
  for (const std::string& camera : cameras) {
    Expected(camera, {"-trim", "-rotate", "270"});
    const std::string thumbnail = ThumbnailOf(camera);
    Select({fs::path(camera).filename()});
    Form1->RotateLeft2->Click();
    ExpectUpright(camera, testsupport::TempPath("expected.jpg"), thumbnail, {"-rotate", "270"});
  }
  // Ctrl+Alt+R on the big thumbnails: each photo stands upright (both Orientations say 1), is
  // whole, and has a portrait thumbnail of the same size that shows the turned one (its red
  // corner top right).
  std::map<std::string, std::string> turned;
  for (const char* name : {"big.jpg", "arith.jpg"}) {
    turned[name] = testsupport::TempPath(std::string("turned_") + name + ".png");
    testsupport::Run({"convert", ThumbnailOf(folder_ + name), "-rotate", "90", turned[name]});
  }
  Select({"big.jpg", "arith.jpg"});
  GuiTesting::PressKey(Form1->ListBox1, 'R', {ssCtrl, ssAlt});
  for (const auto& [name, size] : {std::pair{"big.jpg", "300x400"}, {"arith.jpg", "304x400"}}) {
    const std::string file = folder_ + name, now = ThumbnailOf(folder_ + name, "now.jpg");
    EXPECT_EQ(testsupport::Run({"exiftool", "-s3", "-n", "-IFD0:Orientation", "-IFD1:Orientation", file}).out,
              "1\n1\n") << name;
    EXPECT_EQ(testsupport::Run({"identify", "-format", "%wx%h", now}).out, size) << name;
    EXPECT_TRUE(LookAlike(now, turned[name])) << name;
    EXPECT_EQ(testsupport::Run({"jpeginfo", "-c", file}).exitCode, 0) << name;
    EXPECT_EQ(testsupport::Run({"identify", "-format", "%h", file}).out, "1600") << name;
  }
  // Ctrl+Alt+R on the spread thumbnail: exiftool, which joins the segments, finds it turned
  // without loss and the Exif still spread (its warning as for jpegtran's own output); the
  // file is whole.
  Expected(folder_ + "spread.jpg", {"-rotate", "90"});
  const std::string spread = ThumbnailOf(folder_ + "spread.jpg");
  Select({"spread.jpg"});
  GuiTesting::PressKey(Form1->ListBox1, 'R', {ssCtrl, ssAlt});
  ExpectUpright(folder_ + "spread.jpg", testsupport::TempPath("expected.jpg"), spread, {"-rotate", "90"});
  EXPECT_EQ(testsupport::Run({"jpeginfo", "-c", folder_ + "spread.jpg"}).exitCode, 0);
  // The first of two whole Exif segments is turned alone, the second left as it was: exiv2
  // (which reads the first) finds the turned thumbnail whole, exiftool as it finds it in
  // jpegtran's output.
  const std::string two = folder_ + "two.jpg", upright = testsupport::TempPath("upright.png");
  Expected(two, {"-rotate", "90"});
  testsupport::Run({"convert", ThumbnailOf(two), "-rotate", "90", upright});
  Select({"two.jpg"});
  Form1->RotateRight2->Click();
  EXPECT_EQ(testsupport::Run({"exiv2", "-pt", two}).err, "");
  EXPECT_NE(testsupport::Run({"exiv2", "-pp", two}).out.find("Preview 1: image/jpeg, 12x16 pixels"), std::string::npos);
  EXPECT_EQ(testsupport::Run({"exiftool", "-a", "-s3", "-n", "-IFD0:Orientation", two}).out, "1\n6\n");
  EXPECT_EQ(testsupport::Run({"exiftool", "-validate", "-warning", "-a", two}).out,
            testsupport::Run({"exiftool", "-validate", "-warning", "-a", testsupport::TempPath("expected.jpg")}).out);
  EXPECT_EQ(testsupport::Run({"compare", "-metric", "AE", "-fuzz", "8%", ThumbnailOf(two), upright, "null:"}).err, "0");
  EXPECT_NE(testsupport::ReadFile(two).find(second), std::string::npos);
  // A quarter turn swaps those sizes.
  Select({"square.jpg"});
  Form1->RotateRight2->Click();
  EXPECT_EQ(testsupport::Run({"exiftool", "-s3", "-ExifImageWidth", "-ExifImageHeight", folder_ + "square.jpg"}).out,
            "3000\n4000\n");
  // The permissions stay; the metadata came along (-copy all).
  struct stat st {};
  stat((folder_ + "p0.jpg").c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  auto r = testsupport::Run({"exiftool", "-s3", "-Artist", folder_ + "p0.jpg"});
  EXPECT_EQ(r.out, "Nobody\n");
  // The quarter turn swapped the sides (ImageMagick reads the result).
  r = testsupport::Run({"identify", "-format", "%wx%h", folder_ + "p0.jpg"});
  EXPECT_EQ(r.out, "48x64");
  // No temporary file stays behind.
  for (const std::string& name : FolderEntries(folder_)) EXPECT_NE(name[0], '.') << name;
}

TEST_F(LosslessRotateTest, BatchTakesOnlyJpegFilesAndDropsTheirCachedThumbnails) {
  MakePhoto("a.jpg");
  MakePhoto("b.JPEG");
  MakeColor("c.png", 16, 16, "green");
  StartIn();
  const std::string expectedA = Expected(folder_ + "a.jpg", {"-rotate", "180"});
  const std::string expectedB = Expected(folder_ + "b.JPEG", {"-rotate", "180"});
  const std::string png = testsupport::ReadFile(folder_ + "c.png");
  // A cached thumbnail of a.jpg made before the turn must not survive it.
  fs::create_directories(Form1->FThumbCacheFolder);
  const std::string thumb = Form1->ThumbNailName(folder_ + "a.jpg");
  testsupport::WriteFile(thumb, "old thumbnail");
  Form1->M_Fastbatchrotate->SetChecked(true);
  Select({"a.jpg", "b.JPEG", "c.png"});
  Form1->UpsideDown2->Click();
  EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), expectedA);
  EXPECT_EQ(testsupport::ReadFile(folder_ + "b.JPEG"), expectedB);
  EXPECT_EQ(testsupport::ReadFile(folder_ + "c.png"), png);
  EXPECT_FALSE(fs::exists(thumb) && testsupport::ReadFile(thumb) == "old thumbnail");
  // The batch is over: the last file is the shown one, the work list is empty.
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "b.JPEG");
  EXPECT_EQ(Form1->FFileAction, 10);
  EXPECT_EQ(Form1->FWorkFiles->Count(), 0);
  EXPECT_FALSE(ActionRunning);
  // Nothing selected: nothing happens, nothing is asked.
  Form1->ListBox1->ClearSelection();
  Form1->ListBox1->SetItemIndex(-1);
  Form1->RotateRight1->Click();
  EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), expectedA);
}

TEST_F(LosslessRotateTest, EscStopsTheBatchBeforeTheNextFile) {
  MakePhoto("a.jpg");
  MakePhoto("b.jpg");
  StartIn();
  const std::string b = testsupport::ReadFile(folder_ + "b.jpg");
  // Esc arrives while the first file's jpegtran runs.
  const std::string real = jpegtran_;
  PathFirst(fs::path(StandIn(testsupport::TempPath("esc"), "\"$REAL\" \"$@\"")).parent_path().string());
  bool pressed = false;
  auto timer = std::make_unique<TTimer>(nullptr);
  timer->SetInterval(1);
  timer->OnTimer = [&](TObject*) {
    if (ActionRunning && !pressed) {
      uint16_t key = VK_ESCAPE;
      Form1->FormKeyDown(Form1, key, TShiftState());
      pressed = true;
    }
  };
  timer->SetEnabled(true);
  ExpectMessage("Action aborted by user");
  Select({"a.jpg", "b.jpg"});
  Form1->RotateRight2->Click();
  timer->SetEnabled(false);
  EXPECT_TRUE(pressed);
  EXPECT_EQ(testsupport::ReadFile(folder_ + "b.jpg"), b);
  EXPECT_FALSE(StopRequested);
}

TEST_F(LosslessRotateTest, BackupIsTheUntouchedFileAndAnOldBackupIsKeptOnNo) {
  MakePhoto("a.jpg");
  MakePhoto("b.jpg");
  // A listed link to a picture in another folder.
  const std::string elsewhere = testsupport::TempPath("elsewhere"), real = elsewhere + "/real.jpg";
  fs::create_directories(elsewhere);
  fs::copy_file(folder_ + "b.jpg", real);
  fs::create_symlink(real, folder_ + "link.jpg");
  StartIn();
  Form1->M_Losslesbackup->SetChecked(true);
  const std::string original = testsupport::ReadFile(folder_ + "a.jpg");
  const std::string expected = Expected(folder_ + "a.jpg", {"-rotate", "90"});
  {
    // A file system without second names of files (FAT): the backup is a copy.
    TFileFaultScope noLinks(TFileFaultOp::Rename, EPERM, "backup_a.jpg");
    Select({"a.jpg"});
    Form1->RotateRight1->Click();
    EXPECT_EQ(noLinks.Hits(), 1);
  }
  EXPECT_EQ(testsupport::ReadFile(folder_ + "backup_a.jpg"), original);
  EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), expected);
  EXPECT_GE(Form1->ListBox1->Items()->IndexOf("backup_a.jpg"), 0);

  // A second turn with the backup there: No turns the file in place, the backup stays.
  const std::string twice = Expected(folder_ + "a.jpg", {"-rotate", "90"});
  ModalResponder::Expect(ModalKind::MessageDlg, mrNo);
  Select({"a.jpg"});
  Form1->RotateRight1->Click();
  EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), twice);
  EXPECT_EQ(testsupport::ReadFile(folder_ + "backup_a.jpg"), original);

  // Cancel leaves both alone; Yes replaces the backup with the file as it is now.
  ModalResponder::Expect(ModalKind::MessageDlg, mrCancel);
  Select({"a.jpg"});
  Form1->RotateRight1->Click();
  EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), twice);
  ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
  Form1->RotateRight1->Click();
  EXPECT_EQ(testsupport::ReadFile(folder_ + "backup_a.jpg"), twice);

  // The link stays a link; the picture it points to is turned, its backup beside it.
  const std::string b = testsupport::ReadFile(real);
  Select({"link.jpg"});
  Form1->RotateRight1->Click();
  EXPECT_EQ(testsupport::Run({"readlink", folder_ + "link.jpg"}).out, real + "\n");
  EXPECT_EQ(testsupport::Run({"identify", "-format", "%wx%h", real}).out, "48x64");
  EXPECT_EQ(testsupport::ReadFile(elsewhere + "/backup_real.jpg"), b);
  EXPECT_FALSE(fs::exists(folder_ + "backup_link.jpg") || fs::is_symlink(folder_ + "backup_link.jpg"));
}

// What follows the picture's end marker comes along unchanged: a motion photo's video, and
// the further pictures of an MPF file, whose index is made to point at them where they now
// lie (exiftool extracts the same second picture) and of which the user is told.
TEST_F(LosslessRotateTest, TrailersAndFurtherPicturesComeAlong) {
  KIVO2_REQUIRE_TOOL("jpeginfo");
  MakePhoto("main.jpg", 64, 48);
  MakePhoto("second.jpg", 32, 16);
  const std::string main = testsupport::ReadFile(folder_ + "main.jpg"), second = testsupport::ReadFile(folder_ + "second.jpg");
  const std::string video = std::string(100000, 'v') + "MotionPhoto_Data";
  testsupport::WriteFile(folder_ + "motion.jpg", main + video);
  // An MPF index (big-endian) in an APP2 segment after SOI: two entries, the second picture
  // after the first one's end; offsets count from the index's byte-order mark.
  auto be = [](uint32_t v, int n) {
    std::string b;
    for (int i = n - 1; i >= 0; --i) b += char((v >> (8 * i)) & 0xFF);
    return b;
  };
  const std::string ifd = be(3, 2) + be(0xB000, 2) + be(7, 2) + be(4, 4) + "0100" + be(0xB001, 2) + be(4, 2) +
                          be(1, 4) + be(2, 4) + be(0xB002, 2) + be(7, 2) + be(32, 4) + be(50, 4) + be(0, 4);
  const size_t firstSize = 2 + 4 + 4 + 8 + ifd.size() + 32 + main.size() - 2;
  const std::string entries = be(0x20030000, 4) + be(uint32_t(firstSize), 4) + be(0, 4) + be(0, 4) +
                              be(0x00010001, 4) + be(uint32_t(second.size()), 4) + be(uint32_t(firstSize - 10), 4) + be(0, 4);
  const std::string app2 = "MPF" + std::string(1, '\0') + "MM" + be(42, 2) + be(8, 4) + ifd + entries;
  testsupport::WriteFile(folder_ + "mpf.jpg", main.substr(0, 2) + "\xFF\xE2" + be(uint32_t(app2.size() + 2), 2) + app2 +
                                                main.substr(2) + second);
  auto mpImage2 = [&](const std::string& name) {
    return testsupport::Run({"exiftool", "-b", "-MPImage2:PreviewImage", folder_ + name}).out;
  };
  ASSERT_EQ(mpImage2("mpf.jpg"), second);
  StartIn();
  ExpectMessage("1 further picture in the files (MPF) was kept as it was, not changed with the main picture.");
  Form1->M_Fastbatchrotate->SetChecked(true);
  Select({"motion.jpg", "mpf.jpg"});
  Form1->RotateRight2->Click();
  EXPECT_TRUE(testsupport::DutchTranslations().count(
      "%d further picture in the files (MPF) was kept as it was, not changed with the main picture."));
  const std::string motion = testsupport::ReadFile(folder_ + "motion.jpg");
  EXPECT_EQ(motion, Expected(folder_ + "main.jpg", {"-rotate", "90"}) + video);
  EXPECT_EQ(mpImage2("mpf.jpg"), second);
  for (const char* name : {"motion.jpg", "mpf.jpg"}) {
    EXPECT_EQ(testsupport::Run({"jpeginfo", "-c", folder_ + name}).exitCode, 0) << name;
    EXPECT_EQ(testsupport::Run({"identify", "-format", "%wx%h", folder_ + name + "[0]"}).out, "48x64") << name;
  }
}

TEST_F(LosslessRotateTest, FailuresLeaveThePictureAsItWas) {
  MakePhoto("a.jpg");
  TagSideways(folder_ + "a.jpg");
  MakePhoto("odd.jpg", 100, 75);
  // A damaged JPEG: cut in the middle of its data (jpegtran warns and ends with status 2).
  const std::string whole = testsupport::ReadFile(folder_ + "a.jpg");
  testsupport::WriteFile(folder_ + "cut.jpg", whole.substr(0, whole.size() * 2 / 3));
  testsupport::WriteFile(folder_ + "noise.jpg", std::string(5000, 'x'));
  StartIn();
  Form1->M_Losslesbackup->SetChecked(true);
  for (const char* name : {"cut.jpg", "noise.jpg"}) {
    const std::string before = testsupport::ReadFile(folder_ + name);
    const auto date = ModTime(folder_ + name);
    ExpectMessage("Jpegtran message: Couldn't crop or rotate the file\n" + folder_ + name +
                  "\nThe file is not a whole JPEG picture.");
    Select({name});
    Form1->RotateRight1->Click();
    EXPECT_EQ(testsupport::ReadFile(folder_ + name), before) << name;
    EXPECT_TRUE(SameTime(ModTime(folder_ + name), date)) << name;
    EXPECT_FALSE(fs::exists(folder_ + "backup_" + name)) << name;
  }

  // The last rename fails (EIO): the picture, renamed back from its backup, is whole.
  Form1->M_Losslesbackup->SetChecked(false);
  {
    TFileFaultScope fault(TFileFaultOp::Rename, EIO, ".kivo2lossless-");
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Select({"a.jpg"});
    Form1->RotateRight1->Click();
    EXPECT_EQ(fault.Hits(), 1);
  }
  EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), whole);
  // No room for the temporary file (ENOSPC when it is made).
  {
    TFileFaultScope fault(TFileFaultOp::Open, ENOSPC, ".kivo2lossless-");
    ExpectMessage("Jpegtran message: Couldn't crop or rotate the file\n" + folder_ + "a.jpg\n" + strerror(ENOSPC));
    Form1->RotateRight1->Click();
    EXPECT_EQ(fault.Hits(), 1);
  }
  EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), whole);
  // No room for the XMP packet changed in place (the first write), or for the Exif with its
  // turned thumbnail (the third, after the thumbnail's for jpegtran: a work file of its own).
  for (const int skip : {0, 2}) {
    TFileFaultScope fault(TFileFaultOp::Write, ENOSPC, ".kivo2lossless-", skip);
    ExpectMessage("Jpegtran message: Couldn't crop or rotate the file\n" + folder_ + "a.jpg\n" + strerror(ENOSPC));
    Form1->RotateRight1->Click();
    EXPECT_EQ(fault.Hits(), 1);
    EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), whole) << skip;
  }
  // A size that jpegtran (the program folder's) cannot turn without loss, in Dutch: the
  // message and its reason are Dutch, without jpegtran's English line and the program's path.
  fs::create_directories(ProgramFolder() + "jpegtran");
  fs::create_symlink(jpegtran_, ProgramFolder() + "jpegtran/jpegtran");
  const std::string odd = testsupport::ReadFile(folder_ + "odd.jpg");
  const auto nl = testsupport::DutchTranslations();
  UseLanguage("nl");
  ExpectMessage(nl.at("Jpegtran message: Couldn't crop or rotate the file") + "\n" + folder_ + "odd.jpg\n" +
                nl.at("The picture's size does not allow this change without loss."));
  Form1->M_JPGTRANPerfect->SetChecked(true);
  Select({"odd.jpg"});
  GuiTesting::PressKey(Form1->ListBox1, 'R', {ssCtrl, ssAlt});
  UseLanguage("en");
  EXPECT_EQ(testsupport::ReadFile(folder_ + "odd.jpg"), odd);
  for (const std::string& name : FolderEntries(folder_)) EXPECT_NE(name[0], '.') << name;
}

TEST_F(LosslessRotateTest, AJpegtranThatDiesOrWritesHalfAFileChangesNothing) {
  MakePhoto("a.jpg", 256, 256);
  // What killed runs left of pictures that the user removed since: it goes, and takes no
  // name (an empty work file, and a whole one).
  const std::string gone = Trim(testsupport::Run({"sh", "-c", "echo $$.$(cut -d' ' -f22 /proc/$$/stat)"}).out);
  for (const char* name : {"p11.jpg", "p16.jpg"})
    testsupport::WriteFile(folder_ + "." + name + ".kivo2lossless-" + gone + "-Ab12Cd",
                           name[2] == '6' ? testsupport::ReadFile(folder_ + "a.jpg") : "");
  StartIn();
  const std::string whole = testsupport::ReadFile(folder_ + "a.jpg");
  const auto date = ModTime(folder_ + "a.jpg");
  // Stand-ins in the program folder's "jpegtran" folder, which wins over PATH: one writes
  // half of its output and is killed, one writes half and ends with status 0, one writes
  // the whole output and is then killed.
  const std::string program = ProgramFolder() + "jpegtran";
  const std::vector<std::string> bodies = FailingBodies();
  Form1->M_Losslesbackup->SetChecked(false);
  for (const std::string& body : bodies) {
    StandIn(program, body);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    Select({"a.jpg"});
    Form1->RotateRight1->Click();
    EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), whole) << body;
    EXPECT_TRUE(SameTime(ModTime(folder_ + "a.jpg"), date));
    EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{"a.jpg"});
  }
  // The same stand-in found on PATH, with backups on: the backup takes the name again.
  fs::remove_all(program);
  PathFirst(fs::path(StandIn(testsupport::TempPath("bin"), bodies[0])).parent_path().string());
  Form1->M_Losslesbackup->SetChecked(true);
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  Form1->RotateRight1->Click();
  EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), whole);
  EXPECT_FALSE(fs::exists(folder_ + "backup_a.jpg"));
}

// A batch on a full disk, then on a read-only one (file systems of the test's own): one
// message with the first file's name and the reason, and every picture as it was.
TEST_F(LosslessRotateTest, AFullOrReadOnlyDiskStopsTheBatchWithOneMessage) {
  const std::string card = testsupport::TempPath("card"), shut = testsupport::TempPath("shut");
  testsupport::ScratchMount full(card, 1);
  if (!full.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  MakePhoto("a.jpg", 256, 256);
  const std::vector<std::string> names{"p1.jpg", "p2.jpg", "p3.jpg"};
  for (const std::string& name : names) fs::copy_file(folder_ + "a.jpg", card + "/" + name);
  testsupport::Run({"dd", "if=/dev/zero", "of=" + card + "/fill", "bs=4k"});
  testsupport::ScratchMount readOnly(shut, 0, card);
  ASSERT_TRUE(readOnly.Mounted());
  const std::string whole = testsupport::ReadFile(folder_ + "a.jpg");
  StartIn(card + "/");
  for (const auto& [folder, error] : {std::pair{card, ENOSPC}, {shut, EROFS}}) {
    if (folder == shut) Form1->QzDirTree211->OpenPath(shut + "/");
    Application->ProcessMessages();
    ExpectMessage("Jpegtran message: Couldn't crop or rotate the file\n" + folder + "/p1.jpg\n" + strerror(error) +
                  "\n2 more files were left as they were.");
    Select(names);
    Form1->RotateRight1->Click();
    for (const std::string& name : names) EXPECT_EQ(testsupport::ReadFile(folder + "/" + name), whole) << name;
  }
}

TEST_F(LosslessRotateTest, WithoutJpegtranTheUserIsToldAndNothingChanges) {
  MakePhoto("a.jpg");
  StartIn();
  const std::string whole = testsupport::ReadFile(folder_ + "a.jpg");
  setenv("PATH", testsupport::TempPath("empty").c_str(), 1);
  EXPECT_EQ(Form1->JpegtranProgram(), "");
  ExpectMessage("The file jpegtran.exe is needed for this action\nBut not found in the folder: " + ProgramFolder() +
                "jpegtran");
  Select({"a.jpg"});
  Form1->RotateLeft1->Click();
  EXPECT_EQ(testsupport::ReadFile(folder_ + "a.jpg"), whole);
  // The program folder's link, in any letter case, is found first.
  fs::create_directories(ProgramFolder() + "JpegTran");
  fs::create_symlink(jpegtran_, ProgramFolder() + "JpegTran/JPEGTRAN");
  EXPECT_EQ(Form1->JpegtranProgram(), ProgramFolder() + "JpegTran/JPEGTRAN");
}
