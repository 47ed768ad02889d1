// The copy window: tiling into parts of the screen, full view and its keys, loading the
// original, dragging the picture, the tool bar option, deleting, going to the folder, and
// the instances of the copy command that free themselves.
#include <filesystem>
#include <memory>

#include "ToolWindowFixture.h"
#include "controls/QzFileExplorer28.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/StdCtrls.h"
#include "tools/UnitImageCopy.h"

namespace {

namespace fs = std::filesystem;

class CopyWindowTest : public ToolWindowTest {
 protected:
  // A copy window as the copy command makes one: owned by the main window, freed on close.
  TImageCopyForm* NewCopyWindow(const std::string& file) {
    auto* w = new TImageCopyForm(Form1);
    w->FFreeOnClose = true;
    w->SetCaption(file);
    if (!file.empty()) w->Image1->Picture()->LoadFromFile(file);
    w->Show();
    GuiTesting::ProcessEvents();
    return w;
  }
};

int64_t Area(const TRect& r) { return int64_t(r.Width()) * r.Height(); }

int64_t Overlap(const TRect& a, const TRect& b) {
  const int w = std::min(a.Right, b.Right) - std::max(a.Left, b.Left);
  const int h = std::min(a.Bottom, b.Bottom) - std::max(a.Top, b.Top);
  return w > 0 && h > 0 ? int64_t(w) * h : 0;
}

}  // namespace

TEST_F(CopyWindowTest, FourQuartersCoverTheScreenWithoutOverlap) {
  for (auto [sw, sh] : {std::pair{1920, 1080}, {1921, 1081}}) {
    ModalResponder::SetScreenSize(sw, sh);
    std::vector<TRect> parts;
    for (const char* item : {"TopLeft4", "BottomLeft4", "TopRight4", "Bottomright4"}) {
      TImageCopyForm* w = NewCopyWindow("");
      w->AlignClick(w->FindComponent(item));
      parts.push_back(w->BoundsRect());
      w->Close();
    }
    int64_t covered = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
      covered += Area(parts[i]);
      for (size_t j = i + 1; j < parts.size(); ++j) EXPECT_EQ(Overlap(parts[i], parts[j]), 0) << i << " " << j;
    }
    // An odd screen leaves its last column and row uncovered.
    EXPECT_EQ(covered, int64_t(sw / 2 * 2) * (sh / 2 * 2));
    EXPECT_EQ(parts[3], Rect(sw / 2, sh / 2, sw / 2 * 2, sh / 2 * 2));
  }
  ModalResponder::SetScreenSize(1920, 1080);
  TImageCopyForm* w = NewCopyWindow("");
  w->AlignClick(w->ToolButton6);
  EXPECT_EQ(w->BoundsRect(), Rect(1280, 0, 1920, 1080));
  w->AlignClick(w->Alignbottom1);
  EXPECT_EQ(w->BoundsRect(), Rect(0, 720, 1920, 1080));
  w->Close();
}

TEST_F(CopyWindowTest, FullViewAndTheKeys) {
  const int before = Screen->FormCount();
  TImageCopyForm* w = NewCopyWindow(MakePicture("a.jpg", 100, 80));
  EXPECT_GT(w->ToolButton15->Left(), w->ToolButton13->Left()) << "\"close window\" is not last in the bar";
  uint16_t f9 = VK_F9;
  w->FormKeyDown(w, f9, TShiftState());
  EXPECT_EQ(w->BorderStyle(), bsNone);
  EXPECT_FALSE(w->AlignToolBar->Visible());
  w->PopupMenu1Popup(w->PopupMenu1);
  EXPECT_FALSE(w->Showtoolbar->Enabled()) << "no tool bar choice without a border";
  f9 = VK_F9;
  w->FormKeyDown(w, f9, TShiftState());
  EXPECT_EQ(w->BorderStyle(), bsSizeable);
  EXPECT_TRUE(w->AlignToolBar->Visible());
  // The tool bar option is the main window's setting too.
  w->PopupMenu1Popup(w->PopupMenu1);
  EXPECT_TRUE(w->Showtoolbar->Enabled());
  w->Showtoolbar->Click();
  EXPECT_FALSE(w->Showtoolbar->Checked());
  EXPECT_FALSE(w->AlignToolBar->Visible());
  EXPECT_FALSE(Form1->FAlignMenu);
  w->ToolButton3Click(nullptr);
  w->ToolButton3Click(nullptr);
  EXPECT_FALSE(w->AlignToolBar->Visible()) << "full view ends without the tool bar the user switched off";
  // Esc in full view closes (and frees) the window.
  w->ToolButton3Click(nullptr);
  uint16_t esc = VK_ESCAPE;
  w->FormKeyDown(w, esc, TShiftState());
  GuiTesting::ProcessEvents();
  EXPECT_EQ(Screen->FormCount(), before);
}

TEST_F(CopyWindowTest, RealSizeLoadsTheFileOnceAndDraggingScrolls) {
  const std::string file = MakePicture("big.jpg", 1200, 900);
  TImageCopyForm* w = NewCopyWindow("");
  w->SetCaption(file);
  w->SetClientWidth(400);
  w->SetClientHeight(300);
  TBitmap reduced;
  reduced.SetSize(300, 225);
  w->Image1->Picture()->SetGraphic(&reduced);
  w->ToolButton22Click(nullptr);
  EXPECT_EQ(w->Image1->Width(), 1200);
  EXPECT_FALSE(w->ToolButton22->Enabled());
  EXPECT_FALSE(w->Realsize1->Enabled());
  GuiTesting::ProcessEvents();

  TControlScrollBar* h = w->ScrollBox1->HorzScrollBar();
  TControlScrollBar* v = w->ScrollBox1->VertScrollBar();
  h->SetPosition(100);
  v->SetPosition(100);
  GuiTesting::MouseDown(w->Image1, mbLeft, 300, 300);
  EXPECT_FALSE(w->Label1->Visible());
  GuiTesting::MouseMove(w->Image1, 250, 280, TShiftState{ssLeft});
  GuiTesting::MouseUp(w->Image1, mbLeft, 250, 280);
  EXPECT_EQ(h->Position(), 150);
  EXPECT_EQ(v->Position(), 120);
  EXPECT_TRUE(w->Label1->Visible());
  EXPECT_EQ(w->Label1->Left(), 8);
  w->Close();
}

TEST_F(CopyWindowTest, DeletingTheFileClosesTheWindow) {
  const std::string file = MakePicture("gone.jpg", 60, 40);
  ListPictures({"gone.jpg"});
  const int before = Screen->FormCount();
  TImageCopyForm* w = NewCopyWindow(file);
  ModalResponder::Expect(ModalKind::MessageDlg, int(mrNo));
  w->ToolButton24Click(nullptr);
  EXPECT_TRUE(fs::exists(file));
  EXPECT_TRUE(w->Visible());
  ExpectMessage("Move 1 file to the Trash?", mrYes, ModalKind::MessageDlg);
  w->ToolButton24Click(nullptr);
  GuiTesting::ProcessEvents();
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(Screen->FormCount(), before);
  EXPECT_EQ(Form1->ListBox1->Count(), 0) << "the entry goes with its file";
}
