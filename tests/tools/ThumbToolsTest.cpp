// The thumbnail palette sets the main window's panel; the tree-wide creation makes the
// missing cached thumbnails of every picture below the tree's folder (checked with
// ImageMagick's identify), passes over files that are no pictures or cannot be read, and
// stops when asked or when the program closes; the preview closes under the mouse.
#include <filesystem>

#include "FileToolsFixture.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "tools/UnitThumbSettings.h"
#include "tools/UnitThumbSpy.h"

namespace fs = std::filesystem;

namespace {

class ThumbToolsTest : public FileToolsTest {
 protected:
  std::string tree;
  std::vector<std::string> pictures;
  void SetUp() override {
    FileToolsTest::SetUp();
    tree = Folder("tree");
    MakePicture(tree + "tmp.jpg", 640, 480);
    for (const char* p : {"x.jpeg", "a/y.JPG", "a/b/z.png", "a/b/c/w.jpg", "c/v.jpg"})
      for (int copy = 0; copy < 3; ++copy) {
        const std::string target = tree + (copy ? std::to_string(copy) + "/" : std::string()) + p;
        fs::create_directories(fs::path(target).parent_path());
        auto r = testsupport::Run({"convert", tree + "tmp.jpg", target});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        pictures.push_back(target);
      }
    fs::remove(tree + "tmp.jpg");
    testsupport::WriteFile(tree + "a/notes.txt", "no picture");
    testsupport::WriteFile(tree + "a/broken.jpg", "\xFF\xD8\xFF\xE0 cut short");
    Form1->M_UseTumbCache->SetChecked(true);
    Form1->M_CacheonlyFixedDiskfiles->SetChecked(false);
    SelectMainFolder(tree);
  }
  int ValidThumbs() const {
    int n = 0;
    for (const auto& p : pictures) n += Form1->ValidThumbFileExists(p);
    return n;
  }
};

}  // namespace

TEST_F(ThumbToolsTest, TheTreeGetsEveryMissingThumbnail) {
  Form1->CreateallthumbsforSelTree->SetEnabled(true);
  ASSERT_EQ(ValidThumbs(), 0);
  Form1->CreateallthumbsforSelTreeClick(nullptr);
  EXPECT_EQ(ValidThumbs(), int(pictures.size()));
  for (const auto& p : pictures) {
    // Each one is a JPEG that fits the cache's size.
    auto r = testsupport::Run({"identify", "-format", "%m %w %h", Form1->ThumbNailName(p)});
    ASSERT_EQ(r.exitCode, 0) << p;
    EXPECT_EQ(r.out.substr(0, 4), "JPEG") << p;
    int w = 0, h = 0;
    sscanf(r.out.c_str() + 5, "%d %d", &w, &h);
    EXPECT_EQ(std::max(w, h), Form1->ThumbCacheSide()) << p;
  }
  EXPECT_FALSE(fs::exists(Form1->ThumbNailName(tree + "a/notes.txt")));
  EXPECT_FALSE(fs::exists(Form1->ThumbNailName(tree + "a/broken.jpg")));
  // The run is over: the commands are back, the flag and the running bar gone.
  EXPECT_FALSE(Form1->FBackgroundThumbs);
  EXPECT_TRUE(Form1->CreateallthumbsforSelTree->Enabled());
  EXPECT_FALSE(Form1->Stopbackgroundcreation1->Enabled());
  EXPECT_FALSE(Form1->BGBuildingAvi->Visible());

  // A second run leaves valid thumbnails as they are.
  const auto before = fs::last_write_time(Form1->ThumbNailName(pictures[0]));
  FormThumbsettings->GreateAllThumbsinTree();
  EXPECT_EQ(fs::last_write_time(Form1->ThumbNailName(pictures[0])), before);
}

TEST_F(ThumbToolsTest, StopsWhenAskedOrWhenTheProgramCloses) {
  // The stop command while the run lists the folders (many of them, so it lasts): the
  // menu, the running bar and the hint show the run meanwhile; a second start is not
  // taken; the creation step then ends at once.
  for (int i = 0; i < 3000; ++i) fs::create_directories(tree + "many/" + std::to_string(i));
  WhenReady([] { return Form1->FBackgroundThumbs; }, [this] {
    EXPECT_FALSE(Form1->CreateallthumbsforSelTree->Enabled());
    EXPECT_TRUE(Form1->Stopbackgroundcreation1->Enabled());
    EXPECT_TRUE(Form1->BGBuildingAvi->Visible());
    EXPECT_EQ(Form1->BGBuildingAvi->Hint(),
              "Creating thumbnails in the background, started at folder:\r" + tree);
    FormThumbsettings->GreateAllThumbsinTree();
    Form1->Stopbackgroundcreation1Click(nullptr);
  });
  FormThumbsettings->GreateAllThumbsinTree();
  EXPECT_EQ(ValidThumbs(), 0);
  EXPECT_FALSE(Form1->FBackgroundThumbs);
  EXPECT_TRUE(Form1->CreateallthumbsforSelTree->Enabled());

  // Stopped after the first picture.
  WhenReady([this] { return ValidThumbs() >= 1; }, [] { Form1->Stopbackgroundcreation1Click(nullptr); });
  FormThumbsettings->GreateAllThumbsinTree();
  EXPECT_GE(ValidThumbs(), 1);
  EXPECT_LT(ValidThumbs(), int(pictures.size()));

  WhenReady([this] { return ValidThumbs() >= 2; }, [] { Application->Terminate(); });
  FormThumbsettings->GreateAllThumbsinTree();
  EXPECT_LT(ValidThumbs(), int(pictures.size()));
  EXPECT_FALSE(Form1->FBackgroundThumbs);
}

TEST_F(ThumbToolsTest, ThePaletteSetsThePanelAndThePreviewClosesUnderTheMouse) {
  TFormThumbsettings* p = FormThumbsettings;
  Form1->FThumbsPos = 3;
  Form1->FThumbSize = 2;
  Form1->FThumbColumns = 4;
  Form1->ZqTumblist->SetDown(false);
  p->Show();
  EXPECT_EQ(p->RadioGroup1->ItemIndex(), 2);
  EXPECT_EQ(p->RadioGroup2->ItemIndex(), 2);
  EXPECT_EQ(p->RadioGroup3->ItemIndex(), 3);
  EXPECT_FALSE(p->CheckBox1->Checked());
  // Loading the controls changed nothing.
  EXPECT_EQ(Form1->FThumbsPos, 3);
  EXPECT_FALSE(Form1->PanelThumbHolder->Visible());

  for (const auto& p2 : pictures) Form1->ListBox1->Items()->Add(p2);
  p->CheckBox1->SetChecked(true);
  EXPECT_TRUE(Form1->ZqTumblist->Down());
  EXPECT_TRUE(Form1->PanelThumbHolder->Visible());
  p->RadioGroup1->SetItemIndex(0);
  EXPECT_EQ(Form1->FThumbsPos, 1);
  p->RadioGroup2->SetItemIndex(0);
  EXPECT_EQ(Form1->FThumbSize, 0);
  // At the top the column count is kept but the panel is not built again.
  TScrollBox* panel = Form1->FThumbScrollBox;
  ASSERT_NE(panel, nullptr);
  panel->SetTag(4711);
  p->RadioGroup3->SetItemIndex(0);
  EXPECT_EQ(Form1->FThumbColumns, 1);
  EXPECT_EQ(Form1->FThumbScrollBox->Tag(), 4711);
  // On the right it is.
  p->RadioGroup1->SetItemIndex(1);
  EXPECT_EQ(Form1->FThumbsPos, 2);
  Form1->FThumbScrollBox->SetTag(4711);
  p->RadioGroup3->SetItemIndex(2);
  EXPECT_EQ(Form1->FThumbColumns, 3);
  EXPECT_NE(Form1->FThumbScrollBox->Tag(), 4711);

  // A slide show keeps the panel.
  Form1->FSlideShowMode = true;
  p->CheckBox1->SetChecked(false);
  EXPECT_TRUE(Form1->ZqTumblist->Down());
  EXPECT_TRUE(p->CheckBox1->Checked());
  Form1->FSlideShowMode = false;
  p->CheckBox1->SetChecked(false);
  EXPECT_FALSE(Form1->ZqTumblist->Down());
  EXPECT_FALSE(Form1->PanelThumbHolder->Visible());
  p->ZqButton1->Click();

  // The preview closes under the mouse and forgets the framed entry.
  TFormThumbSpy* spy = FormThumbSpy;
  spy->ShowNoActivate();
  MouseOverItem = 3;
  GuiTesting::MouseMove(spy->SpyImage, 5, 5);
  EXPECT_FALSE(spy->Visible());
  EXPECT_EQ(MouseOverItem, -1);
}
