// The memory-card import from a folder laid out like a camera's card (DCIM/100CANON with
// two shots of the same second, a picture without EXIF data and a movie): every file is
// copied byte for byte (cmp) under the name the prefix or suffix gives; a name that is
// taken is never written over (the old file goes to the trash when the user says so);
// full disks, refused writes and renames leave nothing half-made and lose nothing; the
// copy stops when asked, when its window or the program closes; refused prefixes keep
// the window open.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "FileToolsFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/FileFaults.h"
#include "tools/UnitGetMemorycard.h"

namespace fs = std::filesystem;

namespace {

class CardImportTest : public FileToolsTest {
 protected:
  TFormGetcard* w = nullptr;
  std::string card, pristine, dest, empty;
  const std::vector<std::string> names = {"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG", "MVI_0004.MOV"};

  void SetUp() override {
    FileToolsTest::SetUp();
    KIVO2_REQUIRE_TOOL("exiftool");
    w = FormGetcard;
    card = Folder("card/DCIM/100CANON");
    for (int i = 0; i < 3; ++i) MakePicture(card + names[size_t(i)], 160 + 16 * i, 120);
    // Two shots in the same second; the third has no EXIF data at all.
    for (const char* f : {"IMG_0001.JPG", "IMG_0002.JPG"}) {
      auto r = testsupport::Run({"exiftool", "-q", "-overwrite_original", "-DateTimeOriginal=2024:07:12 10:11:12",
                                 "-Make=Canon", "-Model=EOS", card + f});
      ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    ASSERT_EQ(testsupport::Run({"exiftool", "-q", "-overwrite_original", "-all=", card + "IMG_0003.JPG"}).exitCode, 0);
    std::string movie(300000, '\0');
    for (size_t i = 0; i < movie.size(); ++i) movie[i] = char((i * 7919) >> 3);
    testsupport::WriteFile(card + "MVI_0004.MOV", movie);
    fs::create_directories(card + "CANONMSC");  // a folder of the card: not listed
    empty = Folder("card/DCIM/102CANON");
    // An untouched copy of the card to compare with afterwards.
    pristine = Folder("pristine");
    for (const auto& n : names) fs::copy_file(card + n, pristine + n);
    dest = Folder("photos");
    SelectMainFolder(dest);
    Form1->FLastPath = dest;
  }

  void Open(const std::string& folder) {
    Form1->FCardFolder = folder;
    Form1->Importfrommemorycardorfolder1Click(nullptr);
    ASSERT_TRUE(w->Visible());
    ASSERT_EQ(w->QzDirTree211->SelectedPath(), folder);
  }
  void UseText(const std::string& text, bool suffix) {
    w->ChB_CardFilePrefix->SetChecked(!text.empty());
    w->ChB_Suffix->SetChecked(suffix);
    w->PrefixEdit->SetText(text);
  }
  void ExpectCopyQuestion(int count, int answer = mrYes) {
    ExpectMessage("Copy " + std::to_string(count) + (count == 1 ? " file" : " files") + " to folder " + dest, answer);
  }
  // The card is as it was.
  void ExpectCardIntact() {
    for (const auto& n : names) EXPECT_TRUE(SameBytes(card + n, pristine + n)) << n;
  }
  // Every file of the destination holds the bytes of the card file it names.
  void ExpectOnlyWholeCopies() {
    for (const auto& f : FileNames(dest)) {
      EXPECT_NE(f[0], '.') << "left behind: " << f;
      bool matched = false;
      for (const auto& n : names)
        if (f.rfind(fs::path(n).stem().string(), 0) == 0) matched = SameBytes(dest + f, pristine + n);
      EXPECT_TRUE(matched) << f;
    }
  }
};

}  // namespace

TEST_F(CardImportTest, CopiesTheCardFolderByteForByteWithTheSuffix) {
  Form1->FSuspendUpdates = false;  // as once the main window is painted
  Open(card);
  // Files only, hidden ones too, not the card's folders.
  const std::vector<std::string> listed = w->ListBox1->Items()->ToVector();
  EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), std::set<std::string>(names.begin(), names.end()));
  EXPECT_EQ(w->Panel5->Caption(), "Files:  4");
  EXPECT_EQ(w->ListBox1->SelCount(), 4);
  EXPECT_TRUE(w->ZqButton1->Enabled());
  EXPECT_EQ(w->StaticText2->Caption(), dest);

  const std::string today = TodayInNames();
  UseText("Trip [%d]", true);
  EXPECT_EQ(w->Label1->Caption(), "IMG00234 Trip " + today + ".JPG");
  ExpectCopyQuestion(4);
  w->ZqButton1->Click();

  // Each file under its own name (also the two shots of the same second), whole.
  std::vector<std::string> expected;
  for (const auto& n : names) {
    expected.push_back(fs::path(n).stem().string() + " Trip " + today + fs::path(n).extension().string());
    EXPECT_TRUE(SameBytes(dest + expected.back(), pristine + n)) << expected.back();
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FileNames(dest), expected);
  ExpectCardIntact();
  EXPECT_FALSE(w->Visible());
  EXPECT_EQ(w->ProgressBar1->Position(), 0);
  EXPECT_EQ(Form1->FCardFolder, card);
  EXPECT_EQ(Form1->FWorkFiles->Count(), 0);
  // The copies are in the main list and the first one is shown.
  const std::vector<std::string> main = Form1->ListBox1->Items()->ToVector();
  for (const auto& e : expected) EXPECT_NE(std::find(main.begin(), main.end(), e), main.end()) << e;
  EXPECT_EQ(Form1->ListBox1->Items()->Strings(Form1->ListBox1->ItemIndex()).rfind("IMG_000", 0), 0u);
  // Once the program is idle the status counts the whole list, at the shown file's place.
  GuiTesting::Idle();
  TStatusPanels* status = Form1->StatusBar1->Panels();
  EXPECT_EQ(status->Items(0)->Text(), std::to_string(Form1->ListBox1->Items()->IndexOf(status->Items(7)->Text()) + 1) +
                                          "/" + std::to_string(FileNames(dest).size()));

  // As a prefix, and without the box no text at all.
  const std::string again = Folder("again");
  SelectMainFolder(again);
  dest = again;
  Open(card);
  UseText("Rome", false);
  EXPECT_EQ(w->Label1->Caption(), "Rome IMG00234.JPG");
  ExpectCopyQuestion(4);
  w->ZqButton1->Click();
  EXPECT_TRUE(SameBytes(again + "Rome IMG_0003.JPG", pristine + "IMG_0003.JPG"));
  EXPECT_TRUE(SameBytes(again + "Rome MVI_0004.MOV", pristine + "MVI_0004.MOV"));
  EXPECT_EQ(FileNames(again).size(), 4u);
}

TEST_F(CardImportTest, ANameThatIsTakenIsNeverWrittenOver) {
  // The second folder of the card numbers its pictures from 1 again.
  const std::string card2 = Folder("card/DCIM/101CANON");
  MakePicture(card2 + "IMG_0001.JPG", 200, 100);
  const std::string older = testsupport::ReadFile(card2 + "IMG_0001.JPG");
  Open(card2);
  UseText("", false);
  ExpectCopyQuestion(1);
  w->ZqButton1->Click();
  ASSERT_EQ(testsupport::ReadFile(dest + "IMG_0001.JPG"), older);

  // No: the file in place stays as it is, the others are copied.
  Open(card);
  ExpectCopyQuestion(4);
  ExpectMessage("File IMG_0001.JPG exists, Overwrite this file? ", mrNo);
  w->ZqButton1->Click();
  EXPECT_EQ(testsupport::ReadFile(dest + "IMG_0001.JPG"), older);
  for (const auto& n : {"IMG_0002.JPG", "IMG_0003.JPG", "MVI_0004.MOV"}) EXPECT_TRUE(SameBytes(dest + n, pristine + n));

  // Yes, then Yes to all: each file in place goes to the trash first, whole.
  Open(card);
  ExpectCopyQuestion(4);
  ExpectMessage("File IMG_0001.JPG exists, Overwrite this file? ", mrYes);
  ExpectMessage("File IMG_0002.JPG exists, Overwrite this file? ", mrYesToAll);
  w->ZqButton1->Click();
  for (const auto& n : names) EXPECT_TRUE(SameBytes(dest + n, pristine + n)) << n;
  const std::string trash = std::string(getenv("XDG_DATA_HOME")) + "/Trash/files/";
  std::vector<std::string> trashed;
  for (const auto& e : fs::directory_iterator(trash)) trashed.push_back(e.path().string());
  bool olderKept = false;
  for (const auto& t : trashed) olderKept |= testsupport::ReadFile(t) == older;
  EXPECT_TRUE(olderKept) << "the replaced IMG_0001.JPG is not in the trash";
  EXPECT_EQ(trashed.size(), 4u);
  ExpectCardIntact();

  // Cancel at the question ends the import there.
  Open(card);
  ExpectCopyQuestion(4);
  ExpectMessage("File IMG_0001.JPG exists, Overwrite this file? ", mrCancel);
  w->ZqButton1->Click();
  for (const auto& n : names) EXPECT_TRUE(SameBytes(dest + n, pristine + n)) << n;
  EXPECT_FALSE(w->Visible());
}

TEST_F(CardImportTest, TwoFilesOfOneNameInOneRunMeetAsAnExistingFile) {
  // Two card folders that both number from 1, in one work list: the second IMG_0001.JPG
  // finds the first one in place and asks, though the first (a large file) may still be
  // on its way when the second comes up.
  const std::string card2 = Folder("card/DCIM/101CANON");
  std::string large(64 << 20, '\0');
  for (size_t i = 0; i < large.size(); i += 4096) large[i] = char(i >> 12);
  testsupport::WriteFile(card2 + "IMG_0001.JPG", large);
  for (const int answer : {int(mrNo), int(mrYes)}) {
    dest = Folder(answer == mrNo ? "same-no" : "same-yes");
    SelectMainFolder(dest);
    Form1->FLastPath = dest;
    Form1->FWorkFiles->Clear();
    for (const std::string& f : {card + "IMG_0002.JPG", card2 + "IMG_0001.JPG", card + "IMG_0001.JPG"})
      Form1->FWorkFiles->Add(f);
    Form1->FFileAction = 20;
    ExpectMessage("File IMG_0001.JPG exists, Overwrite this file? ", answer);
    EXPECT_TRUE(Form1->CopyPastefiles("", false));
    EXPECT_EQ(FileNames(dest), (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG"}));
    EXPECT_TRUE(SameBytes(dest + "IMG_0001.JPG", answer == mrNo ? card2 + "IMG_0001.JPG" : pristine + "IMG_0001.JPG"));
    EXPECT_TRUE(SameBytes(dest + "IMG_0002.JPG", pristine + "IMG_0002.JPG"));
  }
  // The first copy that Yes replaced went to the trash whole.
  bool trashed = false;
  for (const auto& e : fs::directory_iterator(std::string(getenv("XDG_DATA_HOME")) + "/Trash/files/"))
    trashed |= SameBytes(e.path().string(), card2 + "IMG_0001.JPG");
  EXPECT_TRUE(trashed);
  ExpectCardIntact();
}

TEST_F(CardImportTest, FileFaultsLeaveNoHalfCopyAndLoseNothing) {
  struct Fault {
    TFileFaultOp op;
    int error;
    const char* file;
  };
  // A full disk while writing, a refused temporary file, a failing and a cross-device
  // rename: each time that one file is not copied, the others are, and it is said.
  for (const Fault& f : {Fault{TFileFaultOp::Write, ENOSPC, "IMG_0002"}, Fault{TFileFaultOp::Open, EACCES, "IMG_0003"},
                         Fault{TFileFaultOp::Rename, EIO, "MVI_0004"}, Fault{TFileFaultOp::Rename, EXDEV, "IMG_0001"}}) {
    const std::string target = Folder(std::string("fault-") + std::to_string(int(f.op)) + "-" + std::to_string(f.error));
    SelectMainFolder(target);
    dest = target;
    Open(card);
    UseText("", false);
    ExpectCopyQuestion(4);
    ExpectMessage(std::string("1 file could not be copied:\n") + card + f.file + (f.file[0] == 'M' ? ".MOV" : ".JPG") +
                  " (" + strerror(f.error) + ")");
    {
      // Only the copy's own files: the card files are read, never opened for writing.
      TFileFaultScope scope(TFileFault{f.op, f.error, std::string(".") + f.file, 0, -1});
      w->ZqButton1->Click();
      EXPECT_GE(scope.Hits(), 1) << f.file;
    }
    std::vector<std::string> expected;
    for (const auto& n : names)
      if (n.rfind(f.file, 0) != 0) expected.push_back(n);
    EXPECT_EQ(FileNames(dest), expected) << f.file;
    ExpectOnlyWholeCopies();
    ExpectCardIntact();
  }
  // A name taken between the look and the rename: the file that took it stays, the copy
  // is not made and said so.
  const std::string target = Folder("race");
  SelectMainFolder(target);
  dest = target;
  Open(card);
  UseText("", false);
  ExpectCopyQuestion(4);
  ExpectMessage("1 file could not be copied:\n" + card + "IMG_0002.JPG (" + strerror(EEXIST) + ")");
  {
    TFileFaultScope taken(TFileFault{TFileFaultOp::Rename, EEXIST, "IMG_0002", 0, 1});
    w->ZqButton1->Click();
    EXPECT_EQ(taken.Hits(), 1);
  }
  EXPECT_EQ(FileNames(dest).size(), 3u);
  ExpectOnlyWholeCopies();
  ExpectCardIntact();
}

TEST_F(CardImportTest, StopsWhenAskedOrWhenItsWindowOrTheProgramCloses) {
  for (int way = 0; way < 3; ++way) {
    const std::string target = Folder("stop" + std::to_string(way));
    SelectMainFolder(target);
    dest = target;
    Open(card);
    UseText("", false);
    ExpectCopyQuestion(4);
    if (way == 0) {
      // Cancel during the copy asks it to stop; the window does not close under it.
      AtNextEvents([this] {
        EXPECT_TRUE(w->FCopying);
        w->ZqButton2->Click();
        EXPECT_TRUE(w->Visible());
      });
      ExpectMessage("Action aborted by user");
    } else if (way == 1) {
      // Closing the window while it copies stops the copy; the window closes afterwards.
      AtNextEvents([this] {
        w->Close();
        EXPECT_TRUE(w->Visible());
        // A second start meanwhile is not taken.
        w->ZqButton1->Click();
      });
      ExpectMessage("Action aborted by user");
    } else {
      AtNextEvents([] { Application->Terminate(); });
    }
    w->ZqButton1->Click();
    EXPECT_EQ(FileNames(dest).size(), 1u) << way;
    ExpectOnlyWholeCopies();
    EXPECT_FALSE(w->Visible()) << way;
    EXPECT_FALSE(StopRequested);
    EXPECT_FALSE(ActionRunning);
  }
  ExpectCardIntact();
}

TEST_F(CardImportTest, ARefusedTextKeepsTheWindowOpenAndCopiesNothingAndTheExampleFollowsTheText) {
  Open(card);
  for (auto [text, message] : {std::pair<std::string, std::string>{" Trip", "Space or a \".\" not allowed at first text position"},
                               {".Trip", "Space or a \".\" not allowed at first text position"},
                               {"Trip/2024", "/\\:*?\"<>| characters are not allow in file names"},
                               {"a|b", "/\\:*?\"<>| characters are not allow in file names"}}) {
    UseText(text, true);
    ExpectMessage(message);
    w->ZqButton1->Click();
    EXPECT_TRUE(w->Visible()) << text;
    EXPECT_FALSE(w->FCopying);
  }
  EXPECT_TRUE(FileNames(dest).empty());
  // The keys that would make such a text are refused while typing (the point is allowed).
  for (char c : std::string("\"*/:<>?\\|")) {
    char key = c;
    w->PrefixEditKeyPress(w->PrefixEdit, key);
    EXPECT_EQ(key, 0) << c;
  }
  char point = '.';
  w->PrefixEditKeyPress(w->PrefixEdit, point);
  EXPECT_EQ(point, '.');
  // No at the question: nothing copied, the window stays.
  UseText("Trip", true);
  ExpectCopyQuestion(4, mrNo);
  w->ZqButton1->Click();
  EXPECT_TRUE(w->Visible());
  EXPECT_TRUE(FileNames(dest).empty());
  w->ZqButton2->Click();
  EXPECT_FALSE(w->Visible());

  // The example and the date button.
  Open(card);
  const std::string today = TodayInNames();
  UseText("Word [%d]", false);
  EXPECT_EQ(w->Label1->Caption(), "Word " + today + " IMG00234.JPG");
  w->ChB_Suffix->SetChecked(true);
  EXPECT_EQ(w->Label1->Caption(), "IMG00234 Word " + today + ".JPG");
  w->PrefixEdit->SetSelStart(4);
  w->DateButtonClick(nullptr);
  EXPECT_EQ(w->PrefixEdit->Text(), "Word ");
  w->PrefixEdit->SetSelStart(4);
  w->DateButtonClick(nullptr);
  EXPECT_EQ(w->PrefixEdit->Text(), "Word[%d] ");
  // The box shows and hides the text's panel.
  w->ChB_CardFilePrefix->SetChecked(false);
  EXPECT_FALSE(w->PanelPrefix->Visible());
  w->ChB_CardFilePrefix->SetChecked(true);
  EXPECT_TRUE(w->PanelPrefix->Visible());
  EXPECT_TRUE(w->PrefixEdit->Enabled());
}

TEST_F(CardImportTest, ListingSelectionAndMissingFolders) {
  Open(card);
  // "All" off: only the first file, the count with two blanks.
  w->CheckBox1->SetChecked(false);
  EXPECT_EQ(w->ListBox1->SelCount(), 1);
  EXPECT_TRUE(w->ListBox1->Selected(0));
  EXPECT_EQ(w->Panel5->Caption(), "Files:   1");
  // Nothing selected: said so, nothing copied.
  w->ListBox1->ClearSelection();
  ExpectMessage("No file(s) selected");
  w->ZqButton1->Click();
  EXPECT_TRUE(FileNames(dest).empty());
  EXPECT_FALSE(w->Visible());

  // An empty folder: nothing to start.
  Open(empty);
  EXPECT_EQ(w->ListBox1->Count(), 0);
  EXPECT_EQ(w->Panel5->Caption(), "Files:   0");
  EXPECT_FALSE(w->ZqButton1->Enabled());
  // A folder made in it and removed again by another program: its expand button follows.
  for (const char* tool : {"mkdir", "rmdir"}) {
    ASSERT_EQ(testsupport::Run({tool, empty + "sub"}).exitCode, 0);
    EXPECT_TRUE(GuiTesting::WaitUntil([&] { return w->QzDirTree211->Selected()->HasChildren() == fs::exists(empty + "sub"); }, 1000)) << tool;
  }
  w->CheckBox1->SetChecked(true);
  EXPECT_EQ(w->Panel5->Caption(), "Files:  0");
  // The start button is off; its handler run anyway says there is nothing.
  ExpectMessage("No file found in folder " + empty);
  w->ZqButton1Click(nullptr);
  EXPECT_FALSE(w->Visible());

  // The card taken out after the listing.
  Open(card);
  const std::string moved = testsupport::TempPath("card-out");
  fs::rename(testsupport::TempPath("card"), moved);
  ExpectMessage("Can't find folder " + card);
  w->ZqButton1->Click();
  EXPECT_FALSE(w->Visible());
  EXPECT_TRUE(FileNames(dest).empty());
  fs::rename(moved, testsupport::TempPath("card"));

  // The folder type-ahead highlights is the source shown and copied from, also beside one
  // whose name differs only in case (once the tree has heard of it), once the typing pauses.
  fs::copy_file(pristine + "IMG_0003.JPG", Folder("card/DCIM/100canon") + "lower.jpg");
  Open(card);
  ASSERT_TRUE(GuiTesting::WaitUntil([&] { return w->QzDirTree211->Selected()->Parent()->Count() == 3; }, 5000));
  w->QzDirTree211->SetFocus();
  GuiTesting::TypeText(w->QzDirTree211, "1");
  const std::string highlighted = w->QzDirTree211->GetNodePath(w->QzDirTree211->Selected());
  ASSERT_TRUE(GuiTesting::WaitUntil([&] { return w->StaticText1->Caption() == highlighted; }, 5000)) << highlighted;
  ExpectCopyQuestion(int(FileNames(highlighted).size()));
  GuiTesting::Click(w->ZqButton1, 5, 5);
  EXPECT_TRUE(highlighted != card && w->StaticText1->Caption() == highlighted) << highlighted;
  EXPECT_EQ(FileNames(dest), FileNames(highlighted));
  for (const std::string& f : FileNames(dest)) EXPECT_TRUE(SameBytes(dest + f, highlighted + f)) << f;
  ExpectCardIntact();
}

TEST_F(CardImportTest, ClosingRemovesTheThumbnailsMadeOfTheCard) {
  Open(card);
  w->ListBox1->SetItemIndex(1);
  w->ListBox1Click(nullptr);
  EXPECT_EQ(w->Label3->Caption(), w->ListBox1->Items()->Strings(1));
  ASSERT_NE(w->Image1->Picture()->Graphic(), nullptr);
  EXPECT_EQ(std::max(w->Image1->Picture()->Width(), w->Image1->Picture()->Height()), 89);
  std::vector<std::string> thumbs;
  for (const auto& n : names) {
    const std::string t = Form1->ThumbNailName(card + n);
    if (fs::exists(t)) thumbs.push_back(t);
  }
  EXPECT_GE(thumbs.size(), 2u);  // the first file when listed, the clicked one
  // A file that is no picture shows no thumbnail.
  for (int i = 0; i < w->ListBox1->Count(); ++i)
    if (w->ListBox1->Items()->Strings(i) == "MVI_0004.MOV") {
      w->ListBox1->SetItemIndex(i);
      w->ListBox1Click(nullptr);
      EXPECT_EQ(w->Label3->Caption(), "");
    }
  w->ZqButton2->Click();
  EXPECT_FALSE(w->Visible());
  for (const auto& t : thumbs) EXPECT_FALSE(fs::exists(t)) << t;
  ExpectCardIntact();
}
