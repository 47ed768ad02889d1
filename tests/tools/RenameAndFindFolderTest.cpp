// The rename dialog renames one file, never over another one (names differ in case on
// Linux), refuses names that are no names and keeps the dialog open then; the find-folder
// dialog hands its text back or nothing.
#include <cerrno>
#include <filesystem>

#include "FileToolsFixture.h"
#include "controls/ZqButton.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/FileFaults.h"
#include "tools/UnitEditName.h"
#include "tools/UnitFindFolder.h"

namespace fs = std::filesystem;

namespace {

class RenameTest : public FileToolsTest {
 protected:
  TFormEditName* w = nullptr;
  std::string folder;
  void SetUp() override {
    FileToolsTest::SetUp();
    w = FormEditName;
    folder = Folder("rename");
  }
  // Prepares the dialog as the main window does for file (name without its extension in
  // Edit1, the extension beside it).
  void Prepare(const std::string& file) {
    w->FOldPath = folder + file;
    w->FExtension = fs::path(file).extension().string();
    w->Edit1->SetText(fs::path(file).stem().string());
    w->Edit2->SetText(w->FExtension);
    w->FNewName.clear();
  }
  // Shows it modally, types name and presses Rename; when the question "Rename file to"
  // is expected for the new name asked, answers it with answer. A dialog still open
  // afterwards is closed.
  int RenameTo(const std::string& name, const std::string& asked = std::string(), int answer = mrYes) {
    ModalResponder::Expect(ModalKind::ShowModal, [this, name, asked, answer](ModalRequest&) {
      w->Edit1->SetText(name);
      if (!asked.empty()) ExpectMessage("Rename file to\n" + folder + asked, answer);
      w->ZqButton1->Click();
      messageShown = w->Actionlabel->Visible();
      if (w->ModalResult() == mrNone) w->ZqButton2->Click();
      return int(mrNone);
    });
    return w->ShowModal();
  }
  bool messageShown = false;
};

}  // namespace

TEST_F(RenameTest, RenamesAfterTheQuestionAndKeepsTheExtension) {
  MakePicture(folder + "photo.JPG", 96, 64);
  const std::string before = testsupport::ReadFile(folder + "photo.JPG");
  Prepare("photo.JPG");
  EXPECT_EQ(RenameTo("Beach", "Beach.JPG"), mrOk);
  EXPECT_EQ(w->FNewName, "Beach.JPG");
  EXPECT_EQ(FileNames(folder), std::vector<std::string>{"Beach.JPG"});
  EXPECT_EQ(testsupport::ReadFile(folder + "Beach.JPG"), before);

  // The extension typed with the name is not doubled; the box re-cases it.
  Prepare("Beach.JPG");
  w->Edit2DblClick(nullptr);
  EXPECT_EQ(w->Edit2->Text(), ".jpg");
  w->Edit2Click(nullptr);
  EXPECT_EQ(w->Edit2->Text(), ".JPG");
  w->Edit2DblClick(nullptr);
  EXPECT_EQ(RenameTo("sea.JPG", "sea.jpg"), mrOk);
  EXPECT_EQ(FileNames(folder), std::vector<std::string>{"sea.jpg"});

  // A Latin-1 "café" shows as "café"; the part left as shown keeps its bytes.
  testsupport::WriteFile(folder + "caf\xE9.jpg", "latin");
  Prepare("caf\xE9.jpg");
  EXPECT_EQ(RenameTo("café_2", "caf\xE9_2.jpg"), mrOk);
  EXPECT_EQ(testsupport::ReadFile(folder + "caf\xE9_2.jpg"), "latin");

  // A file without an extension: a point typed in the new name stays in it.
  testsupport::WriteFile(folder + "README", "text");
  Prepare("README");
  EXPECT_EQ(RenameTo("notes.txt", "notes.txt"), mrOk);
  EXPECT_TRUE(fs::exists(folder + "notes.txt"));

  // No: nothing happens and the dialog stays until it is closed.
  Prepare("sea.jpg");
  EXPECT_EQ(RenameTo("land", "land.jpg", mrNo), mrCancel);
  EXPECT_EQ(FileNames(folder), (std::vector<std::string>{"caf\xE9_2.jpg", "notes.txt", "sea.jpg"}));
}

TEST_F(RenameTest, AnotherFileOfTheNameIsNeverReplaced) {
  // On Linux photo.jpg and Photo.jpg are two files: renaming one to the other's name
  // would destroy it.
  MakePicture(folder + "photo.jpg", 96, 64);
  MakePicture(folder + "Photo.jpg", 96, 64);
  const std::string lower = testsupport::ReadFile(folder + "photo.jpg");
  const std::string upper = testsupport::ReadFile(folder + "Photo.jpg");
  Prepare("photo.jpg");
  EXPECT_EQ(RenameTo("Photo"), mrCancel);
  EXPECT_TRUE(messageShown);
  EXPECT_EQ(w->Actionlabel->Caption(), "New name allready exists");
  EXPECT_EQ(testsupport::ReadFile(folder + "photo.jpg"), lower);
  EXPECT_EQ(testsupport::ReadFile(folder + "Photo.jpg"), upper);
  // Typing again hides the message.
  w->Actionlabel->SetVisible(true);
  w->Edit1->SetText("x");
  EXPECT_FALSE(w->Actionlabel->Visible());

  // A folder of that name counts too.
  fs::create_directory(folder + "album.jpg");
  Prepare("photo.jpg");
  EXPECT_EQ(RenameTo("album"), mrCancel);
  EXPECT_EQ(w->Actionlabel->Caption(), "New name allready exists");
  EXPECT_TRUE(fs::is_directory(folder + "album.jpg"));
}

TEST_F(RenameTest, ANameWithPathCharactersIsRefusedAndAFailedRenameIsSaid) {
  MakePicture(folder + "photo.jpg", 96, 64);
  fs::create_directory(folder + "sub");
  for (const char* name : {"sub/photo", "../photo", ".hidden", " lead", "a:b", "a*b"}) {
    Prepare("photo.jpg");
    EXPECT_EQ(RenameTo(name), mrCancel) << name;
    EXPECT_EQ(w->Actionlabel->Caption(), "/\\:*?\"<>| characters are not allow in file names") << name;
  }
  EXPECT_EQ(FileNames(folder), std::vector<std::string>{"photo.jpg"});
  EXPECT_TRUE(fs::is_empty(folder + "sub"));

  // A rename that fails is said and the file stays.
  Prepare("photo.jpg");
  TFileFaultScope refused(TFileFaultOp::Rename, EACCES, "photo.jpg");
  EXPECT_EQ(RenameTo("other", "other.jpg"), mrCancel);
  EXPECT_EQ(refused.Hits(), 1);
  EXPECT_EQ(w->Actionlabel->Caption(), "Could't rename the file");
  EXPECT_EQ(FileNames(folder), std::vector<std::string>{"photo.jpg"});
}

TEST_F(FileToolsTest, FindFolderHandsBackItsTextOrNothing) {
  TFormFolderFind* w = FormFolderFind;
  ModalResponder::Expect(ModalKind::ShowModal, [w](ModalRequest&) {
    EXPECT_EQ(w->ZqButton1->Caption(), "Start");
    EXPECT_EQ(w->Edit1->Text(), "album");
    w->Edit1->SetText("2024");
    w->ZqButton1->Click();
    return int(mrNone);
  });
  EXPECT_EQ(w->ShowModal(), mrOk);
  EXPECT_EQ(w->FFolderName, "2024");
  EXPECT_TRUE(w->ChB_Root->Checked());

  ModalResponder::Expect(ModalKind::ShowModal, [w](ModalRequest&) {
    w->ZqButton2->Click();
    return int(mrNone);
  });
  w->ShowModal();
  EXPECT_EQ(w->FFolderName, "");
}
