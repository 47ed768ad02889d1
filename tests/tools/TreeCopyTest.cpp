// Copy and compress a whole folder tree, from the main window's command through the
// compression window: the result against `cp -a` of the same tree with ImageMagick's
// recompression of its JPEG pictures (sizes and quality), the metadata carried over
// (exiftool), the other files byte-equal with their dates, and the runs that must lose
// no file: a tree copied into itself, a full disk, an existing copy kept.
#include <sys/stat.h>

#include <filesystem>

#include "SaveImageFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/gui/CheckLst.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "tools/UnitSaveImage.h"

namespace fs = std::filesystem;

namespace {

// Every file below folder (relative names) with its bytes.
std::map<std::string, std::string> TreeContents(const std::string& folder) {
  std::map<std::string, std::string> files;
  if (!fs::exists(folder)) return files;
  for (auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file())
      files[fs::relative(e.path(), folder).string()] = testsupport::ReadFile(e.path().string());
  return files;
}

std::set<std::string> Names(const std::map<std::string, std::string>& files) {
  std::set<std::string> names;
  for (auto& [name, bytes] : files) names.insert(name);
  return names;
}

bool IsJpegName(const std::string& name) {
  std::string ext = fs::path(name).extension().string();
  for (char& c : ext) c = char(toupper(static_cast<unsigned char>(c)));
  return ext == ".JPG" || ext == ".JPEG";
}

int64_t ModSeconds(const std::string& file) {
  struct stat st {};
  stat(file.c_str(), &st);
  return st.st_mtim.tv_sec;
}

}  // namespace

class TreeCopyTest : public SaveImageTest {
 protected:
  void SetUp() override {
    SaveImageTest::SetUp();
    KIVO2_REQUIRE_TOOL("exiftool");
    KIVO2_REQUIRE_TOOL("identify");
    trip_ = Pictures() + "Trip/";
    fs::create_directories(trip_ + "day 2/raw");
    std::vector<std::string> tags{"-Make=KivoCam", "-Model=Tree One", "-ISO=200",
                                  "-DateTimeOriginal=2024:05:01 10:00:00", "-IPTC:City=Delft"};
    tags.insert(tags.end(), ProfileAndXmp().begin(), ProfileAndXmp().end());
    MakeTaggedPicture(trip_ + "a.jpg", 800, 600, tags);
    MakeTaggedPicture(trip_ + "day 2/b.JPG", 600, 800, tags);
    MakeTaggedPicture(trip_ + "day 2/raw/small.jpeg", 400, 300, tags);
    MakePicture(trip_ + "day 2/e.png", 50, 40);
    MakePicture(trip_ + ".hidden.jpg", 30, 20);
    testsupport::WriteFile(trip_ + "notes.txt", "notes");
    testsupport::WriteFile(trip_ + "day 2/clip.mov", std::string(3000, 'm'));
    testsupport::WriteFile(trip_ + "Thumbs.db", "thumbs");
    testsupport::WriteFile(trip_ + "day 2/raw/THUMBS.DB", "thumbs");
    // Older dates, so a copy that does not keep them shows.
    for (auto& e : fs::recursive_directory_iterator(trip_))
      if (e.is_regular_file())
        fs::last_write_time(e.path(), fs::last_write_time(e.path()) - std::chrono::hours(24 * 30));
    Form1->QzDirTree211->OpenPath(trip_);
  }

  // The command as the menu runs it: the question answered Yes, then in the window the
  // target chosen and the run's next `calls` questions and messages answered: Yes to all
  // for a file that exists, Yes to every other question.
  void RunTreeCommand(const std::string& target, int calls) {
    ModalResponder::Expect(ModalKind::MessageDlg, mrYes);  // Complete tree copy! ...
    ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& r) {
      EXPECT_EQ(r.form, FormSaveImage);
      EXPECT_TRUE(GuiTesting::WaitUntil([] { return FormSaveImage->FPainted; }, 30000));
      EXPECT_FALSE(FormSaveImage->Zq_Mail->Visible());
      EXPECT_FALSE(FormSaveImage->ZqOverWriteOrg->Visible());
      AnswerSaveFolder(target);
      for (int i = 0; i < calls; ++i)
        ModalResponder::Expect(ModalKind::Any, [](ModalRequest& q) {
          if (q.kind == ModalKind::ShowMessage) return int(mrOk);
          return q.text.find(" exists, ") != std::string::npos ? int(mrYesToAll) : int(mrYes);
        });
      FormSaveImage->Zq_Save->Click();
      FormSaveImage->Zq_Close->Click();
      return mrNone;
    });
    Form1->Compresscompleettree1->Click();
    EXPECT_EQ(ModalResponder::Pending(), 0);
    // The window is left as it was before the command.
    EXPECT_TRUE(FormSaveImage->FTreeRoot.empty());
    EXPECT_EQ(Form1->FTreeFiles->Count(), 0);
    EXPECT_EQ(Form1->FWorkFiles->Count(), 0);
    EXPECT_TRUE(FormSaveImage->Zq_Mail->Visible());
    EXPECT_FALSE(FormSaveImage->Label13->Visible());
  }

  // The texts of the questions and messages, in order.
  static std::vector<std::string> Messages() {
    std::vector<std::string> texts;
    for (const ModalRecord& r : ModalResponder::History())
      if (r.kind == ModalKind::MessageDlg || r.kind == ModalKind::ShowMessage) texts.push_back(r.text);
    return texts;
  }

  // Save 3 pictures (Yes), their summary, copy the other 4 files (Yes), summary.
  static constexpr int kFullRun = 4;

  std::string trip_;
};

TEST_F(TreeCopyTest, TheTreeComesOutAsCpAndImageMagickMakeIt) {
  // A killed run's work file in the tree is neither copied nor kept.
  const std::string gone = testsupport::Run({"sh", "-c", "printf $$.$(cut -d' ' -f22 /proc/$$/stat)"}).out;
  testsupport::WriteFile(trip_ + "day 2/.b.JPG.kivo2copy-" + gone + "-Ab12Cd", "half a picture");
  RunTreeCommand(Output(), kFullRun);
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "Complete tree copy!\n4 non jpg files (or other files types)\n3 jpg files selected, continue?",
                            "Save 3 files to " + Output() + "Trip", "3 of 3 files saved",
                            "4 non images files found, do you want to copy the files also?", "4 of 4 files saved"}));
  EXPECT_EQ(Texts(), std::vector<std::string>{"Copy/compress folder Trip to location"});  // the folder dialog

  // The reference: the tree as cp -a copies it, its JPEG pictures recompressed by
  // ImageMagick at the window's size (640, never enlarged) and quality (good: 55).
  const std::string ref = testsupport::TempPath("ref") + "/";
  fs::create_directories(ref);
  auto cp = testsupport::Run({"cp", "-a", trip_.substr(0, trip_.size() - 1), ref});
  ASSERT_EQ(cp.exitCode, 0) << cp.err;
  const auto expected = TreeContents(ref + "Trip"), made = TreeContents(Output() + "Trip");
  std::set<std::string> expectedNames = Names(expected);
  expectedNames.erase("Thumbs.db");
  expectedNames.erase("day 2/raw/THUMBS.DB");
  EXPECT_EQ(Names(made), expectedNames);
  int pictures = 0;
  for (const std::string& name : expectedNames) {
    const std::string ours = Output() + "Trip/" + name, theirs = ref + "Trip/" + name;
    if (IsJpegName(name) && name != ".hidden.jpg") {
      ++pictures;
      auto im = testsupport::Run({"convert", theirs, "-filter", "Mitchell", "-resize", "640x640>", "-quality", "55",
                                  theirs});
      ASSERT_EQ(im.exitCode, 0) << im.err;
      EXPECT_EQ(Geometry(ours), Geometry(theirs)) << name;
      EXPECT_EQ(Quality(ours), Quality(theirs)) << name;
      auto before = Metadata(trip_ + name), after = Metadata(ours);
      for (const char* adjusted : {"ExifIFD:ExifImageWidth", "ExifIFD:ExifImageHeight"}) {
        before.erase(adjusted);
        after.erase(adjusted);
      }
      EXPECT_EQ(after, before) << name;  // the colour profile and XMP among them
      EXPECT_EQ(after["IPTC:City"], "Delft") << name;
    } else {
      EXPECT_EQ(made.at(name), expected.at(name)) << name;
      EXPECT_EQ(ModSeconds(ours), ModSeconds(theirs)) << name;
    }
  }
  EXPECT_EQ(pictures, 3);
  // The tree itself is untouched.
  EXPECT_EQ(TreeContents(trip_), expected);
}

TEST_F(TreeCopyTest, ATreeCopiedIntoItselfLosesNothingAndDoesNotRecurse) {
  const auto before = TreeContents(trip_);
  // The tree as it was listed is copied: the folder made for the copies is not in it.
  const std::string inside = trip_ + "copies/";
  fs::create_directories(inside);
  RunTreeCommand(inside, kFullRun);
  auto after = TreeContents(trip_);
  // The copy lies inside the tree once; the tree's own files are as they were.
  std::map<std::string, std::string> own, copies;
  for (auto& [name, bytes] : after) (name.rfind("copies/", 0) == 0 ? copies : own)[name] = bytes;
  EXPECT_EQ(own, before);
  EXPECT_EQ(copies.size(), 7u);
  for (auto& [name, bytes] : copies) EXPECT_EQ(name.rfind("copies/Trip/", 0), 0u) << name;
  EXPECT_FALSE(fs::exists(inside + "Trip/copies"));
}

TEST_F(TreeCopyTest, AFullDiskLeavesTheSourcesAndTheCopiesThatWereThereWhole) {
  // An earlier copy of two files lies in the target.
  fs::create_directories(Output() + "Trip/day 2");
  testsupport::WriteFile(Output() + "Trip/a.jpg", "earlier a");
  testsupport::WriteFile(Output() + "Trip/day 2/clip.mov", "earlier clip");
  const auto sources = TreeContents(trip_);
  {
    TFileFaultScope full(TFileFaultOp::Write, ENOSPC, Output(), 0, -1);
    // Save 3 (Yes), a.jpg exists (Yes to all), 3 failures, summary; copy 4 (Yes), clip.mov
    // exists (Yes to all), 4 failures, summary.
    RunTreeCommand(Output(), 13);
    EXPECT_GT(full.Hits(), 0);
  }
  int failures = 0;
  for (const std::string& t : Messages()) failures += t.rfind("error creating file ", 0) == 0;
  EXPECT_EQ(failures, 7);
  EXPECT_EQ(Messages().back(), "0 of 4 files saved");
  // A folder that cannot be made ends the run there, with the system's reason.
  TFileFaultScope readOnly(TFileFault{TFileFaultOp::Open, EROFS, Output() + "ro/Trip", 0, -1, true});
  RunTreeCommand(Output() + "ro/", 3);  // make ro (Yes), save 3 (Yes), the message
  EXPECT_EQ(Messages().back(), "Could't create folder " + Output() + "ro/Trip\nRead-only file system");
  EXPECT_EQ(TreeContents(trip_), sources);
  // What was there is whole, nothing half-written or temporary is left.
  EXPECT_EQ(TreeContents(Output() + "Trip"), (std::map<std::string, std::string>{
                                                 {"a.jpg", "earlier a"}, {"day 2/clip.mov", "earlier clip"}}));
}

TEST_F(TreeCopyTest, ATreeWithoutPicturesSaysSo) {
  const std::string plain = Pictures() + "Plain/";
  fs::create_directories(plain);
  testsupport::WriteFile(plain + "a.txt", "a");
  // Pictures in the folder the file list shows do not count.
  ListPictures({});
  Form1->QzDirTree211->OpenPath(plain);
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  Form1->Compresscompleettree1->Click();
  EXPECT_EQ(Messages(), std::vector<std::string>{"No files present!"});
}
