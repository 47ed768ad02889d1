// The compare window: the main window's command (which files it takes), the layouts, the
// shared zoom and pan, the zoom steps, renaming in place, the paperclip toggle, closing
// panels, the picture of the panels saved or mailed (checked with ImageMagick's identify
// and python's email module) and the EXIF overlay on dark and light pictures.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "ToolWindowFixture.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/Mail.h"
#include "platform/graphics/Graphics.h"
#include "tools/UnitCompare.h"

namespace {

namespace fs = std::filesystem;

class CompareWindowTest : public ToolWindowTest {
 protected:
  // Opens the compare window for the files as the main window does and runs body while
  // it shows (once its pictures are loaded); the window is closed afterwards if body
  // leaves it open.
  void WithCompare(const std::vector<std::string>& files, const std::function<void(TFormCompare&)>& body) {
    FormCompare->FCompareList->Clear();
    FormCompare->FPicturesLoaded = false;
    for (const std::string& f : files) FormCompare->FCompareList->Add(f);
    ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& request) {
      EXPECT_EQ(request.form, FormCompare);
      EXPECT_TRUE(GuiTesting::WaitUntil([] { return FormCompare->FPicturesLoaded; }, 30000));
      body(*FormCompare);
      return int(mrCancel);
    });
    FormCompare->ShowModal();
  }
  // The window at a fixed size (the window system may give a maximised window any size):
  // the panels' area below the top bar (one row of buttons or more) width x height.
  static void Resize(TFormCompare& w, int width, int height) {
    w.SetWindowState(wsNormal);
    w.SetClientWidth(width);
    w.SetClientHeight(height + w.TopPanel->Height());
    GuiTesting::ProcessEvents();
    w.ShowActivePanels();
  }
  static TRect Bounds(TFormCompare& w, int n) { return w.Panel(n).ComparePanel->BoundsRect(); }
  static int HPos(TFormCompare& w, int n) { return w.Panel(n).ScrollBox->HorzScrollBar()->Position(); }
  static int VPos(TFormCompare& w, int n) { return w.Panel(n).ScrollBox->VertScrollBar()->Position(); }
  static TMenuItem* AllZoom(TFormCompare& w, const char* caption) {
    for (int i = 0; i < w.PopupMenu2->Items()->Count(); ++i)
      if (w.PopupMenu2->Items()->Items(i)->Caption() == caption) return w.PopupMenu2->Items()->Items(i);
    return nullptr;
  }
  std::vector<std::string> ThreeJpegs() {
    return {MakePicture("a.jpg", 640, 480), MakePicture("b.jpg", 600, 500), MakePicture("c.jpg", 700, 400)};
  }
};

}  // namespace

TEST_F(CompareWindowTest, TheCommandTakesTwoToFourJpegFilesInEitherCase) {
  MakePicture("one.JPEG", 40, 30);
  MakePicture("two.jpeg", 40, 30);
  MakePicture("three.jpg", 40, 30);
  MakePicture("four.png", 40, 30);
  ListPictures({"one.JPEG", "two.jpeg", "three.jpg", "four.png", "five.jpg"});
  TListBox* list = Form1->ListBox1;
  list->SetMultiSelect(true);
  auto select = [&](std::vector<int> rows) {
    list->ClearSelection();
    for (int r : rows) list->SetSelected(r, true);
  };

  select({0, 1, 2});
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest&) {
    EXPECT_EQ(FormCompare->FCompareList->Count(), 3);
    EXPECT_EQ(FormCompare->FCompareList->Strings(0), Pictures() + "one.JPEG");
    EXPECT_EQ(FormCompare->FCompareList->Strings(1), Pictures() + "two.jpeg");
    return int(mrCancel);
  });
  Form1->Compare2Click(nullptr);

  select({0, 3});
  ModalResponder::Expect(ModalKind::ShowMessage, [](ModalRequest& r) {
    EXPECT_EQ(r.text, "For now the comparetool accepts only JPG images, select JPG files only.");
    return int(mrOk);
  });
  Form1->Compare2Click(nullptr);
  select({0});
  ModalResponder::Expect(ModalKind::ShowMessage, [](ModalRequest& r) {
    EXPECT_EQ(r.text, "Need at least 2 selected images");
    return int(mrOk);
  });
  Form1->Compare2Click(nullptr);
  select({0, 1, 2, 3, 4});
  ModalResponder::Expect(ModalKind::ShowMessage, [](ModalRequest& r) {
    EXPECT_EQ(r.text, "Too many images selected, select 2 to 4 images to compare.");
    return int(mrOk);
  });
  Form1->Compare2Click(nullptr);
}

TEST_F(CompareWindowTest, PanelsLieSideBySideStackedOrTwoByTwo) {
  std::vector<std::string> files = ThreeJpegs();
  files.push_back(MakePicture("d.jpg", 300, 200));
  WithCompare({files[0], files[1]}, [&](TFormCompare& w) {
    Resize(w, 800, 600);
    EXPECT_EQ(Bounds(w, 1), Rect(0, 0, 400, 600));
    EXPECT_EQ(Bounds(w, 2), Rect(400, 0, 800, 600));
    EXPECT_FALSE(w.Panel(3).ComparePanel->Visible());
    // Stacked, the panels share out the whole client height (with the top bar's).
    const int ch = w.ClientHeight();
    w.ChBAlign->SetChecked(true);
    EXPECT_EQ(Bounds(w, 1), Rect(0, 0, 800, ch / 2));
    EXPECT_EQ(Bounds(w, 2), Rect(0, ch / 2, 800, 600));
    w.ChBAlign->SetChecked(false);
  });
  WithCompare(files, [&](TFormCompare& w) {
    Resize(w, 800, 600);
    EXPECT_EQ(Bounds(w, 1), Rect(0, 0, 400, 300));
    EXPECT_EQ(Bounds(w, 4), Rect(400, 300, 800, 600));
    EXPECT_EQ(w.Panel(3).ToolBar->Align(), alBottom);
    EXPECT_EQ(w.Panel(4).ToolBar->Align(), alBottom);
    const int ch = w.ClientHeight(), q = ch / 4;
    w.ChBAlign->SetChecked(true);
    EXPECT_EQ(Bounds(w, 1), Rect(0, 0, 800, q));
    EXPECT_EQ(Bounds(w, 2), Rect(0, q, 800, ch - 2 * q));
    EXPECT_EQ(Bounds(w, 3), Rect(0, 2 * q, 800, ch - q));
    EXPECT_EQ(Bounds(w, 4), Rect(0, 3 * q, 800, 600));
    for (int n = 1; n <= 4; ++n) EXPECT_EQ(w.Panel(n).ToolBar->Align(), alTop) << n;
    w.ChBAlign->SetChecked(false);
  });
}

TEST_F(CompareWindowTest, SharedZoomAndPanMoveAllPicturesTogether) {
  const std::vector<std::string> files = ThreeJpegs();
  WithCompare(files, [&](TFormCompare& w) {
    // At 100 % the pictures are wider than their panels: the bars show from the start.
    for (int n = 1; n <= 3; ++n) {
      ASSERT_LT(w.Panel(n).ScrollBox->ClientWidth(), 600) << n;
      EXPECT_TRUE(w.Panel(n).ScrollBox->HorzScrollBar()->IsScrollBarVisible()) << n;
    }
    Resize(w, 900, 600);
    TMenuItem* z300 = AllZoom(w, "300%");
    ASSERT_NE(z300, nullptr);
    z300->Click();
    const int widths[] = {640, 600, 700}, heights[] = {480, 500, 400};
    for (int n = 1; n <= 3; ++n) {
      EXPECT_EQ(w.FZoom[size_t(n - 1)], 300);
      EXPECT_EQ(w.Panel(n).Image->Width(), 3 * widths[n - 1]) << n;
      EXPECT_EQ(w.Panel(n).Image->Height(), 3 * heights[n - 1]) << n;
      EXPECT_EQ(w.Panel(n).ZqZoomMenu->Caption(), "300%");
    }
    w.Zq_CenterAllClick(nullptr);
    GuiTesting::ProcessEvents();
    int h0[4], v0[4];
    for (int n = 1; n <= 3; ++n) {
      h0[n] = HPos(w, n);
      v0[n] = VPos(w, n);
      ASSERT_GT(h0[n], 100) << n;
      ASSERT_GT(v0[n], 100) << n;
    }
    // Dragging the second picture 40 pixels left and 25 up moves every picture by as much.
    TImage* image = w.Panel(2).Image;
    GuiTesting::MouseDown(image, mbLeft, 500, 500);
    GuiTesting::MouseMove(image, 460, 475, TShiftState{ssLeft});
    GuiTesting::MouseUp(image, mbLeft, 460, 475);
    EXPECT_EQ(w.FActivePanel, 2);
    for (int n = 1; n <= 3; ++n) {
      EXPECT_EQ(HPos(w, n), h0[n] + 40) << n;
      EXPECT_EQ(VPos(w, n), v0[n] + 25) << n;
    }
    // With Ctrl only the panel under the mouse moves.
    GuiTesting::MouseDown(image, mbLeft, 500, 500, TShiftState{ssCtrl});
    GuiTesting::MouseMove(image, 520, 500, TShiftState{ssLeft, ssCtrl});
    GuiTesting::MouseUp(image, mbLeft, 520, 500);
    EXPECT_EQ(HPos(w, 2), h0[2] + 20);
    EXPECT_EQ(HPos(w, 1), h0[1] + 40);
    EXPECT_EQ(HPos(w, 3), h0[3] + 40);

    // The wheel: twice the system's scroll lines of notches make one step, for all panels.
    const int notches = 2 * Mouse->WheelScrollLines();
    for (int i = 0; i < notches; ++i) GuiTesting::Wheel(image, 120, 10, 10);
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(w.FZoom[size_t(n - 1)], 350) << n;
    // Holding Ctrl, the active panel alone.
    uint16_t ctrl = VK_CONTROL;
    w.FormKeyDown(&w, ctrl, TShiftState{ssCtrl});
    for (int i = 0; i < notches; ++i) GuiTesting::Wheel(image, -120, 10, 10);
    uint16_t up = VK_CONTROL;
    w.FormKeyUp(&w, up, TShiftState());
    EXPECT_EQ(w.FZoom[1], 300);
    EXPECT_EQ(w.FZoom[0], 350);
    EXPECT_EQ(w.Panel(2).Image->Width(), 1800);
    // One panel's own zoom from its zoom button's menu; "Resize All" brings all back.
    w.ZqZoomMenuClick(w.Panel(3).ZqZoomMenu);
    w.FindComponent("N501") ? static_cast<TMenuItem*>(w.FindComponent("N501"))->Click() : ADD_FAILURE();
    EXPECT_EQ(w.FZoom[2], 50);
    EXPECT_EQ(w.Panel(3).Image->Width(), 350);
    EXPECT_EQ(w.FZoom[0], 350);
    w.ZqResizeAllClick(nullptr);
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(w.Panel(n).Image->Width(), widths[n - 1]) << n;
  });
}

TEST_F(CompareWindowTest, ZoomStepsStopAtTheirLimits) {
  WithCompare({MakePicture("a.jpg", 200, 100), MakePicture("b.jpg", 200, 100)}, [&](TFormCompare& w) {
    std::vector<int> down;
    for (int i = 0; i < 12; ++i) {
      w.SetZoom(1, false);
      down.push_back(w.FZoom[0]);
    }
    EXPECT_EQ(down, std::vector<int>({90, 80, 70, 60, 50, 40, 30, 20, 10, 10, 10, 10}));
    std::vector<int> up;
    for (int i = 0; i < 11; ++i) {
      w.SetZoom(1, true);
      up.push_back(w.FZoom[0]);
    }
    EXPECT_EQ(up, std::vector<int>({20, 30, 40, 50, 60, 70, 80, 90, 100, 150, 200}));
    w.FZoom[0] = 950;
    w.SetZoom(1, true);
    EXPECT_EQ(w.FZoom[0], 1000);
    w.SetZoom(1, true);
    EXPECT_EQ(w.FZoom[0], 1000);
    w.SetZoom(1, false);
    EXPECT_EQ(w.FZoom[0], 950);

    // "+" on the keyboard never goes past 500, Ctrl "+" by one; "-" never below 10.
    w.FZoom = {480, 95, 100, 600};
    uint16_t plus = VK_ADD;
    w.FormKeyDown(&w, plus, TShiftState());
    EXPECT_EQ(w.FZoom, (std::array<int, 4>{500, 105, 150, 500}));
    plus = VK_OEM_PLUS;
    w.FormKeyDown(&w, plus, TShiftState{ssCtrl});
    EXPECT_EQ(w.FZoom, (std::array<int, 4>{500, 106, 151, 500}));
    w.FZoom = {15, 5, 101, 11};
    uint16_t minus = VK_SUBTRACT;
    w.FormKeyDown(&w, minus, TShiftState());
    EXPECT_EQ(w.FZoom, (std::array<int, 4>{10, 10, 51, 10}));
    EXPECT_EQ(w.Panel(1).Image->Width(), 20);
    EXPECT_EQ(w.Panel(1).ZqZoomMenu->Caption(), "10%");
  });
}

TEST_F(CompareWindowTest, RenamingInPlaceKeepsTheExtensionAndTheFolder) {
  const std::string a = MakePicture("a.jpg", 80, 60), b = MakePicture("b.jpg", 80, 60);
  ListPictures({"a.jpg", "b.jpg"});
  testsupport::WriteFile(ProgramFolder() + "paperclip.lst", a + "\r\n" + b + "\r\n");
  ASSERT_TRUE(Form1->SaveAsJpgThumb(a, nullptr, true));
  const std::string oldThumb = Form1->ThumbNailName(a);
  ASSERT_TRUE(fs::exists(oldThumb));
  WithCompare({a, b}, [&](TFormCompare& w) {
    TEdit* edit = w.Panel(1).EditFilename;
    EXPECT_EQ(edit->Text(), "a.jpg");
    EXPECT_EQ(w.Panel(1).TBPaperclip->ImageIndex(), 2);

    auto expectMessage = [](const std::string& text) {
      ModalResponder::Expect(ModalKind::ShowMessage, [text](ModalRequest& r) {
        EXPECT_EQ(r.text, text);
        return int(mrOk);
      });
    };
    edit->SetText("a.png");
    expectMessage("Extension error - " + Pictures() + "a.png");
    w.EditFilenameExit(edit);
    EXPECT_EQ(edit->Text(), "a.jpg");

    edit->SetText("b.jpg");
    expectMessage("Name exist already" + Pictures() + "b.jpg");
    w.EditFilenameExit(edit);

    // A name with a separator would move the file elsewhere: refused.
    edit->SetText("sub/a.jpg");
    expectMessage("/\\:*?\"<>| characters are not allow in file names");
    w.EditFilenameExit(edit);
    EXPECT_TRUE(fs::exists(a));

    edit->SetText("renamed.jpg");
    ModalResponder::Expect(ModalKind::MessageDlg, [&](ModalRequest& r) {
      EXPECT_EQ(r.text, "Rename file to " + Pictures() + "renamed.jpg");
      return int(mrNo);
    });
    w.EditFilenameExit(edit);
    EXPECT_TRUE(fs::exists(a));
    EXPECT_EQ(edit->Text(), "a.jpg");

    edit->SetText("renamed.jpg");
    ModalResponder::Expect(ModalKind::MessageDlg, int(mrYes));
    w.EditFilenameExit(edit);
    // Search results list full paths: such an entry follows the rename too.
    Form1->ListBox1->Items()->SetStrings(1, b);
    w.Panel(2).EditFilename->SetText("b2.jpg");
    ModalResponder::Expect(ModalKind::MessageDlg, int(mrYes));
    w.EditFilenameExit(w.Panel(2).EditFilename);
  });
  EXPECT_FALSE(fs::exists(a));
  EXPECT_TRUE(fs::exists(Pictures() + "renamed.jpg"));
  EXPECT_FALSE(fs::exists(oldThumb)) << "the old name's cached thumbnail goes";
  EXPECT_EQ(Form1->ListBox1->Items()->Strings(0), "renamed.jpg");
  EXPECT_EQ(Form1->ListBox1->Items()->Strings(1), Pictures() + "b2.jpg");
  EXPECT_EQ(testsupport::ReadFile(ProgramFolder() + "paperclip.lst"),
            Pictures() + "renamed.jpg\r\n" + Pictures() + "b2.jpg\r\n");
}

TEST_F(CompareWindowTest, ThePaperclipButtonAddsAndRemovesTheExactPath) {
  const std::string a = MakePicture("a.jpg", 80, 60), b = MakePicture("b.jpg", 80, 60);
  MakePicture("A.jpg", 80, 60);
  const std::string list = ProgramFolder() + "paperclip.lst";
  testsupport::WriteFile(list, Pictures() + "A.jpg\r\n");
  WithCompare({a, b}, [&](TFormCompare& w) {
    EXPECT_EQ(w.Panel(1).TBPaperclip->ImageIndex(), 6) << "another file's name in other case is not this one";
    ModalResponder::Expect(ModalKind::ShowMessage, [&](ModalRequest& r) {
      EXPECT_EQ(r.text, a + " added to paperclip.");
      return int(mrOk);
    });
    w.TBPaperclipClick(w.Panel(1).TBPaperclip);
    EXPECT_EQ(testsupport::ReadFile(list), Pictures() + "A.jpg\r\n" + a + "\r\n");
    EXPECT_EQ(w.Panel(1).TBPaperclip->ImageIndex(), 2);
    ModalResponder::Expect(ModalKind::ShowMessage, int(mrOk));
    w.TBPaperclipClick(w.Panel(1).TBPaperclip);
    EXPECT_EQ(testsupport::ReadFile(list), Pictures() + "A.jpg\r\n");
    EXPECT_EQ(w.Panel(1).TBPaperclip->ImageIndex(), 6);
    // b added, then taken out by another program that adds a: b's button, which showed it
    // in, leaves it out.
    ModalResponder::Expect(ModalKind::ShowMessage, int(mrOk));
    w.TBPaperclipClick(w.Panel(2).TBPaperclip);
    testsupport::WriteFile(list, a + "\r\n");
    ModalResponder::Expect(ModalKind::ShowMessage, int(mrOk));
    w.TBPaperclipClick(w.Panel(2).TBPaperclip);
    EXPECT_EQ(testsupport::ReadFile(list), a + "\r\n");
  });
  // Stand-alone, the list names files on the program's drive in the Windows form: b so
  // listed is in the paperclip and leaves it; a goes in so written.
  Form1->FUsbMode = true;
  auto windowsLine = [](std::string path) {
    const std::string root = MountPointOf(Form1->FAppDir);
    path = "X:\\" + path.substr(root == "/" ? 1 : root.size() + 1);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path + "\r\n";
  };
  testsupport::WriteFile(list, windowsLine(b));
  WithCompare({a, b}, [&](TFormCompare& w) {
    EXPECT_EQ(w.Panel(2).TBPaperclip->ImageIndex(), 2);
    ModalResponder::Expect(ModalKind::ShowMessage, int(mrOk));
    w.TBPaperclipClick(w.Panel(2).TBPaperclip);
    ModalResponder::Expect(ModalKind::ShowMessage, int(mrOk));
    w.TBPaperclipClick(w.Panel(1).TBPaperclip);
    EXPECT_EQ(testsupport::ReadFile(list), windowsLine(a));
  });
}

TEST_F(CompareWindowTest, ClosingTheLastPanelClosesTheWindow) {
  WithCompare({MakePicture("a.jpg", 80, 60), MakePicture("b.jpg", 80, 60)}, [&](TFormCompare& w) {
    w.TBCloseClick(w.Panel(2).TBClose);
    EXPECT_TRUE(w.Visible());
    EXPECT_FALSE(w.Panel(2).ComparePanel->Visible());
    w.TBCloseClick(w.Panel(1).TBClose);
  });
  EXPECT_FALSE(FormCompare->Visible());
  // Closing emptied the list and left the first panel ready for the next opening.
  EXPECT_EQ(FormCompare->FCompareList->Count(), 0);
  EXPECT_TRUE(FormCompare->Panel(1).ComparePanel->Visible());
}

// The EXIF labels are readable on a black and on a white picture (ImageMagick finds dark and
// light pixels within each); the picture of the panels is saved, and mailed through the outbox.
TEST_F(CompareWindowTest, TheScreenPrintWithItsReadableExifLabelsIsSavedOrMailed) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("python3");
  const std::string target = Pictures() + "screen.jpg", mailed = Pictures() + "mailed.jpg", shot = Pictures() + "p.bmp";
  for (const char* colour : {"black", "white"})
    testsupport::Run({"convert", "-size", "300x200", std::string("xc:") + colour, Pictures() + colour + ".jpg"});
  const std::string path = GetEnvironmentVariable("PATH");
  setenv("PATH", Pictures().c_str(), 1);  // no mail program: the message goes to the outbox
  WithCompare({Pictures() + "black.jpg", Pictures() + "white.jpg"}, [&](TFormCompare& w) {
    Resize(w, 640, 400);
    w.ZqSpeedButton1Click(nullptr);
    GuiTesting::ProcessEvents();
    for (int n = 1; n <= 2; ++n) {
      TBitmap grab;
      ASSERT_TRUE(GuiTesting::Grab(w.Panel(n).ScrollBox, grab));
      grab.SaveToFile(shot);
      const TRect r = w.Panel(n).LabelExif->BoundsRect();
      const std::string area = std::to_string(r.Right - r.Left) + "x" + std::to_string(r.Bottom - r.Top) + "+" +
                               std::to_string(r.Left) + "+" + std::to_string(r.Top);
      EXPECT_EQ(testsupport::Run({"convert", shot, "-crop", area, "-colorspace", "Gray", "-format",
                                  "%[fx:minima<0.3] %[fx:maxima>0.8]", "info:"}).out, "1 1") << n;
    }
    ModalResponder::Expect(ModalKind::SaveDialog, [&](ModalRequest& r) {
      EXPECT_EQ((*r.value).rfind("kivo2scrn m", 0), 0u) << *r.value;
      *r.value = target;
      return 1;
    });
    w.Savetofile1Click(nullptr);
    ModalResponder::Expect(ModalKind::ShowMessage, 1);  // where the message lies
    w.Email1Click(nullptr);
  });
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(testsupport::Run({"identify", "-format", "%m %w %h", target}).out, "JPEG 640 400");
  // Python's email module reads the subject and the attached picture back.
  const char* script =
      "import email.policy,sys,glob\nm=email.message_from_binary_file(open(glob.glob(sys.argv[1]+'/*')[0],'rb'),"
      "policy=email.policy.default)\np=next(m.iter_attachments())\nopen(sys.argv[2],'wb').write(p.get_payload("
      "decode=True))\nprint(m['Subject'],p.get_filename()[:11])";
  auto parsed = testsupport::Run({"python3", "-c", script, MailOutboxFolder(), mailed});
  EXPECT_EQ(parsed.out, "Screen print attached by Kivo2 kivo2scrn m\n") << parsed.err;
  EXPECT_EQ(testsupport::Run({"identify", "-format", "%m %w %h", mailed}).out, "JPEG 640 400");
  // The picture made for the message and its folder are gone.
  for (const auto& e : fs::directory_iterator(GetTempFolder()))
    EXPECT_EQ(e.path().filename().string().rfind("kivo2-screen-", 0), std::string::npos) << e.path();
}
