// The manual order window: where a drop puts single entries and blocks, a mouse drag in
// the window, the drop target's mark, delete and duplicate, the thumbnail of the entry
// under the mouse (also while dragging, gone when the drag ends), and saving the list
// file (asked first, written whole or not at all).
#include <cerrno>
#include <filesystem>
#include <functional>

#include "ToolWindowFixture.h"
#include "controls/ZqGlyphs.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/FileFaults.h"
#include "tools/UnitDragDrop.h"

namespace {

namespace fs = std::filesystem;

class ManualOrderWindowTest : public ToolWindowTest {
 protected:
  // Opens the window on the entries (list file "order.shw") and runs body while it shows.
  void WithWindow(const std::vector<std::string>& entries, const std::function<void(TDragForm&)>& body) {
    listFile_ = testsupport::TempPath("order.shw");
    DragForm->ListBox1->Clear();
    for (const std::string& e : entries) DragForm->ListBox1->Items()->Add(e);
    DragForm->FListFile = listFile_;
    ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest&) {
      GuiTesting::ProcessEvents();
      body(*DragForm);
      return int(mrCancel);
    });
    DragForm->ShowModal();
  }
  static std::vector<std::string> Entries(TDragForm& w) { return w.ListBox1->Items()->ToVector(); }
  static TPoint Middle(TDragForm& w, int index) {
    const TRect r = w.ListBox1->ItemRect(index);
    return Point((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }
  static void DropOn(TDragForm& w, int index) {
    const TPoint p = index < w.ListBox1->Count() ? Middle(w, index)
                                                 : Point(5, w.ListBox1->ItemRect(w.ListBox1->Count() - 1).Bottom + 4);
    w.ListBox1EndDrag(w.ListBox1, w.ListBox1, p.X, p.Y);
  }
  static void SelectBlock(TDragForm& w, std::vector<int> rows) {
    w.ListBox1->SetMultiSelect(true);
    w.ListBox1->ClearSelection();
    for (int r : rows) w.ListBox1->SetSelected(r, true);
  }
  std::string listFile_;
  const std::vector<std::string> six_{"/p/A.jpg", "/p/B.jpg", "/p/C.jpg", "/p/D.jpg", "/p/E.jpg", "/p/F.jpg"};
};

using V = std::vector<std::string>;

}  // namespace

TEST_F(ManualOrderWindowTest, ADropPutsEntriesBeforeOrAfterTheTarget) {
  WithWindow(six_, [&](TDragForm& w) {
    // One entry onto the one above it goes before it, onto one below after it.
    w.ListBox1->SetItemIndex(2);
    DropOn(w, 1);
    EXPECT_EQ(Entries(w), V({"/p/A.jpg", "/p/C.jpg", "/p/B.jpg", "/p/D.jpg", "/p/E.jpg", "/p/F.jpg"}));
    EXPECT_TRUE(w.FModified);
    EXPECT_TRUE(w.Zq_Save->Enabled());
    w.ListBox1->SetItemIndex(0);
    DropOn(w, 3);
    EXPECT_EQ(Entries(w), V({"/p/C.jpg", "/p/B.jpg", "/p/D.jpg", "/p/A.jpg", "/p/E.jpg", "/p/F.jpg"}));
    // A shift-selected block keeps its order going down and going up.
    SelectBlock(w, {0, 1, 2});
    DropOn(w, 4);
    EXPECT_EQ(Entries(w), V({"/p/A.jpg", "/p/E.jpg", "/p/C.jpg", "/p/B.jpg", "/p/D.jpg", "/p/F.jpg"}));
    EXPECT_FALSE(w.ListBox1->MultiSelect()) << "a drop goes back to single selection";
    SelectBlock(w, {3, 4});
    DropOn(w, 1);
    EXPECT_EQ(Entries(w), V({"/p/A.jpg", "/p/B.jpg", "/p/D.jpg", "/p/E.jpg", "/p/C.jpg", "/p/F.jpg"}));
    // Below the last entry: to the end.
    SelectBlock(w, {0, 1});
    DropOn(w, 6);
    EXPECT_EQ(Entries(w), V({"/p/D.jpg", "/p/E.jpg", "/p/C.jpg", "/p/F.jpg", "/p/A.jpg", "/p/B.jpg"}));
    // A drop somewhere else (not on the list) changes nothing.
    w.ListBox1->SetItemIndex(0);
    w.ListBox1EndDrag(w.ListBox1, nullptr, 0, 0);
    EXPECT_EQ(Entries(w)[0], "/p/D.jpg");
    w.FModified = false;
  });
}

TEST_F(ManualOrderWindowTest, DraggingWithTheMouseMarksTheTargetAndMovesTheEntry) {
  WithWindow(six_, [&](TDragForm& w) {
    w.SetClientWidth(640);
    w.SetClientHeight(480);
    GuiTesting::ProcessEvents();
    const TPoint from = Middle(w, 1), over = Middle(w, 4);
    GuiTesting::MouseDown(w.ListBox1, mbLeft, from.X, from.Y);
    EXPECT_EQ(w.ListBox1->ItemIndex(), 1);
    GuiTesting::MouseMove(w.ListBox1, from.X, from.Y + 10, TShiftState{ssLeft});
    GuiTesting::MouseMove(w.ListBox1, over.X, over.Y, TShiftState{ssLeft});
    EXPECT_EQ(w.FDropTarget, 4);
    EXPECT_TRUE(w.Label1->Visible());
    // The target row shows on silver.
    TBitmap shot;
    ASSERT_TRUE(GuiTesting::Grab(w.ListBox1, shot));
    const TRect row = w.ListBox1->ItemRect(4);
    EXPECT_EQ(shot.PixelColor(row.Right - 3, row.Top + 1), TColor(0xC0C0C0));
    GuiTesting::MouseUp(w.ListBox1, mbLeft, over.X, over.Y);
    GuiTesting::ProcessEvents();
    EXPECT_EQ(Entries(w), V({"/p/A.jpg", "/p/C.jpg", "/p/D.jpg", "/p/E.jpg", "/p/B.jpg", "/p/F.jpg"}));
    EXPECT_EQ(w.FDropTarget, -1);
    w.FModified = false;
  });
}

TEST_F(ManualOrderWindowTest, DeleteAndDuplicate) {
  WithWindow({"/p/A.jpg", "/p/B.jpg"}, [&](TDragForm& w) {
    testsupport::WriteFile(listFile_, "/p/A.jpg\r\n/p/B.jpg\r\n");
    w.ListBox1->SetItemIndex(0);
    w.Duplicate1Click(nullptr);
    EXPECT_EQ(Entries(w), V({"/p/A.jpg", "/p/A.jpg", "/p/B.jpg"}));
    w.ListBox1->SetItemIndex(2);
    w.Delete1Click(nullptr);
    EXPECT_EQ(Entries(w), V({"/p/A.jpg", "/p/A.jpg"}));
    // With nothing current, duplicate does nothing.
    w.ListBox1->SetItemIndex(-1);
    w.Duplicate1Click(nullptr);
    EXPECT_EQ(w.ListBox1->Count(), 2);
    SelectBlock(w, {0, 1});
    w.Delete1Click(nullptr);
    EXPECT_EQ(w.ListBox1->Count(), 0);
    w.ListBox1->SetMultiSelect(false);
    w.Duplicate1Click(nullptr);
    EXPECT_EQ(w.ListBox1->Count(), 0);
    // Deleting every entry and saving writes an empty list.
    ModalResponder::Expect(ModalKind::MessageDlg, [&](ModalRequest& r) {
      EXPECT_EQ(r.text, "Save changes to " + listFile_);
      return int(mrYes);
    });
    w.Zq_SaveClick(nullptr);
    EXPECT_FALSE(w.Zq_Save->Enabled());
  });
  EXPECT_TRUE(fs::exists(listFile_));
  EXPECT_EQ(fs::file_size(listFile_), 0u);
}

TEST_F(ManualOrderWindowTest, SavingWritesTheListWholeOrNotAtAll) {
  const std::string a = MakePicture("a.jpg", 60, 40), b = MakePicture("b.jpg", 60, 40);
  const std::string c = MakePicture("c.jpg", 60, 40);
  WithWindow({a, b}, [&](TDragForm& w) {
    testsupport::WriteFile(listFile_, a + "\r\n" + b + "\r\n");
    w.ListBox1->SetItemIndex(1);
    DropOn(w, 0);
    // Declined: nothing written.
    ModalResponder::Expect(ModalKind::MessageDlg, int(mrNo));
    w.Zq_SaveClick(nullptr);
    EXPECT_EQ(testsupport::ReadFile(listFile_), a + "\r\n" + b + "\r\n");
    EXPECT_TRUE(w.FModified);
    // A disk that refuses the new file: said, and the old list stays whole.
    {
      TFileFaultScope fault(TFileFaultOp::Rename, ENOSPC, "order.shw");
      ModalResponder::Expect(ModalKind::MessageDlg, int(mrYes));
      ModalResponder::Expect(ModalKind::ShowMessage, [](ModalRequest& r) {
        EXPECT_NE(r.text.find("order.shw"), std::string::npos) << r.text;
        return int(mrOk);
      });
      w.Zq_SaveClick(nullptr);
    }
    EXPECT_EQ(testsupport::ReadFile(listFile_), a + "\r\n" + b + "\r\n");
    EXPECT_TRUE(w.Zq_Save->Enabled());
    // Closing asks too; Yes saves the new order and hands it to the main window. Another
    // program took a's line out and put c's in meanwhile: so they stay.
    testsupport::WriteFile(listFile_, b + "\r\n" + c + "\r\n");
    ModalResponder::Expect(ModalKind::MessageDlg, int(mrYes));
    w.ZqSpeedButton3Click(nullptr);
  });
  EXPECT_EQ(testsupport::ReadFile(listFile_), b + "\r\n" + c + "\r\n");
  ASSERT_EQ(Form1->ListBox1->Count(), 2);
  EXPECT_EQ(Form1->ListBox1->Items()->Strings(0), b);
  for (auto& e : fs::directory_iterator(testsupport::TempDir()))
    EXPECT_NE(e.path().filename().string()[0], '.') << "a temporary file was left: " << e.path();
}

TEST_F(ManualOrderWindowTest, TheEntryUnderTheMouseShowsItsThumbnail) {
  const std::string wide = MakePicture("wide.jpg", 1600, 900), small = MakePicture("small.png", 50, 40);
  WithWindow({wide, small, Pictures() + "missing.jpg"}, [&](TDragForm& w) {
    // The first entry shows at once.
    EXPECT_EQ(w.Image1->Picture()->Width(), 134);
    EXPECT_EQ(w.Image1->Picture()->Height(), 75);
    w.ListBox1MouseMove(w.ListBox1, TShiftState(), 5, Middle(w, 1).Y);
    EXPECT_EQ(w.FPreviewIndex, 1);
    EXPECT_EQ(w.ListBox1->ItemIndex(), 1);
    EXPECT_EQ(w.Image1->Picture()->Width(), 134);
    EXPECT_EQ(w.Image1->Picture()->Height(), 107);
    w.ListBox1MouseMove(w.ListBox1, TShiftState(), 5, Middle(w, 2).Y);
    EXPECT_EQ(w.Image1->Picture()->Graphic(), nullptr);
  });
  // The thumbnails come from the main window's cache, where they are kept as it says.
  ASSERT_TRUE(Form1->M_UseTumbCache->Checked());
  EXPECT_TRUE(Form1->ValidThumbFileExists(wide));
  // Dragged over, the first and the last entry too are the target, and their picture shows
  // whole below, in English and in Dutch (whose captions take the buttons under it into two
  // rows): ImageMagick reads its colour from every pixel of the window the thumbnail lies on.
  std::vector<std::string> colours{"rgb(220,30,30)", "rgb(30,200,40)", "rgb(40,40,210)", "rgb(230,200,40)"}, files;
  for (const std::string& c : colours) {
    files.push_back(Pictures() + std::to_string(files.size()) + ".jpg");
    ASSERT_EQ(testsupport::Run({"convert", "-size", "80x80", "xc:" + c, files.back()}).exitCode, 0);
  }
  for (const std::string language : {"en", "nl"}) {
    SCOPED_TRACE(language);
    if (language == "nl") {
      UseLanguage(language);
      // Made anew as the program makes its windows: glyphs, then room for the texts.
      delete DragForm;
      Application->CreateForm(DragForm);
      ApplyZqGlyphs(DragForm);
      FitControlsToText(DragForm);
    }
    WithWindow(files, [&](TDragForm& w) {
      const TPoint from = Middle(w, 1);
      GuiTesting::MouseDown(w.ListBox1, mbLeft, from.X, from.Y);
      GuiTesting::MouseMove(w.ListBox1, from.X, from.Y + 10, TShiftState{ssLeft});
      for (const int over : {0, 3, 0}) {
        SCOPED_TRACE(over);
        const TPoint p = Middle(w, over);
        GuiTesting::MouseMove(w.ListBox1, p.X, p.Y, TShiftState{ssLeft});
        EXPECT_EQ(w.FDropTarget, over);
        // The thumbnail, 134 pixels square in the middle of the preview, inside the window.
        const TPoint at = w.ScreenToClient(w.Image2->ClientOrigin());
        const int left = at.X + (w.Image2->Width() - 134) / 2, top = at.Y + (w.Image2->Height() - 134) / 2;
        ASSERT_TRUE(left >= 0 && top >= 0 && left + 134 <= w.ClientWidth() && top + 134 <= w.ClientHeight());
        TBitmap grab;
        ASSERT_TRUE(GuiTesting::Grab(&w, grab));
        const std::string shot = testsupport::TempPath("preview.bmp");
        grab.SaveToFile(shot);
        const std::string& c = colours[size_t(over)];
        const std::string crop = "134x134+" + std::to_string(left) + "+" + std::to_string(top);
        EXPECT_EQ(testsupport::Run({"convert", shot, "-crop", crop, "-fuzz", "6%", "-fill", "black", "+opaque", c,
                                    "-fill", "white", "-opaque", c, "-format", "%[fx:mean]", "info:"}).out, "1");
      }
      // Ended on the dragged entry's own row, where nothing moves, the drag takes the drop
      // target's picture and words along. The words on how to drag are the language's.
      GuiTesting::MouseUp(w.ListBox1, mbLeft, from.X, from.Y);
      EXPECT_TRUE(!w.Image2->Picture()->Graphic() && !w.Label1->Visible() && !w.Label2->Visible());
      const std::string how = language == "en" ? "Press and hold the left" : "Houd de linkermuisknop";
      EXPECT_EQ(w.StaticText1->Caption().find(how), 0u) << w.StaticText1->Caption();
    });
  }
}
