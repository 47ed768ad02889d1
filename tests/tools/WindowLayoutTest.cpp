// Every window of the program, in English and in Dutch: each text a user must read is
// shown whole (no caption, label or title wider than the room its control gives it, no
// two lying over one another), with every page of the window laid out once, and every
// glyph button shows its glyph.
#include <cstdio>
#include <memory>
#include <tuple>

#include "Kivo2Version.h"
#include "ToolWindowFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/services/Charts.h"
#include "platform/services/HelpWindow.h"
#include "tools/SortUnit.h"
#include "tools/UnitAnalize.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/GuiTesting.h"
#include "platform/rtl/SysUtils.h"
#include "tools/CalcAspectForm.h"
#include "tools/ExifInfoUnit2.h"
#include "tools/UnitSaveImage.h"
#include "tools/UnitSearch.h"

namespace {

using WindowAndLanguage = std::tuple<std::string, std::string>;

class WindowLayoutTest : public ToolWindowTest, public testing::WithParamInterface<WindowAndLanguage> {
 protected:
  void SetUp() override {
    // This build has run before (no first-start question), in the language of the case.
    char version[16];
    snprintf(version, sizeof version, "%08x",
             KIVO2_VERSION_MAJOR * 1000000 + KIVO2_VERSION_MINOR * 10000 + KIVO2_VERSION_PATCH * 100 +
                 KIVO2_VERSION_TWEAK);
    testsupport::WriteFile(GetEnvironmentVariable("KIVO2_REGISTRY_DIR") + "/HKEY_CURRENT_USER.reg",
                           "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n\"Version\"=dword:" +
                               std::string(version) + "\r\n\"Language\"=\"" + std::get<1>(GetParam()) + "\"\r\n\r\n");
    ToolWindowTest::SetUp();
  }
  void TearDown() override {
    netPath_.reset();
    ToolWindowTest::TearDown();
  }
  // The window as a user meets it: the program's window of that name, a question, or the
  // explorer's network-drive dialog; with the values its labels show while it is used.
  TCustomForm* Window(const std::string& name) {
    if (name == "Question") return CreateMessageDialog("?", mtConfirmation, {mbYes, mbNo});  // the program's
    if (name == "NetPathDlg") {
      netPath_ = std::make_unique<TNetPathDlg>(nullptr);
      return netPath_->Form();
    }
    if (name == "FormSaveImage") {
      FormSaveImage->PanelSettings->SetVisible(true);
      FormSaveImage->ChecklistPanel->SetVisible(true);
      for (auto [label, value] : {std::pair{FormSaveImage->Label4, "JPG"}, {FormSaveImage->Label1, "12.34 MB"},
                                  {FormSaveImage->Label2, "4000 x 3000"}})
        label->SetCaption(value);
    }
    if (name == "Form1") {  // its favourites open, the paperclip listed: paths longer than the lists
      Form1->PanelFavorites->SetVisible(true);
      Form1->Show();  // which fills both lists
      for (int i = 0; i < 3; ++i) GuiTesting::Idle();
      const std::string path = "/media/photos/Holidays at the seaside in the north/Dunes";
      Form1->ListBox2->Items()->Add(path);
      Form1->ListBox1->Items()->Add(path + "/IMG_0001.jpg");
    }
    if (name == "SearchResult") {  // the main window with what the search window found
      MakePicture("found.jpg", 40, 30);
      Form1->Show();
      for (int i = 0; i < 3; ++i) GuiTesting::Idle();
      SearchForm->EditSearch->SetText("found");
      SearchForm->EditPath->SetText(Pictures());
      SearchForm->ZqButton1->Click();
      return Form1;
    }
    if (name == "ExifInfoForm") {  // a colour photo's properties on the "Info" page
      Form1->OpenThePicture(MakePicture("photo.jpg", 120, 90));
      ExifInfoForm->ShowExifInf(Form1->FCurrentFile);
    }
    if (name == "SortForm") SortForm->ListView1->SetSortMark(0, false);
    if (name == "HtmlHelpForm")
      HtmlHelpForm()->SetHelpFolder(testsupport::ProgramDir() + "/help/" + std::get<1>(GetParam()));
    if (name == "FormAnalize")  // twelve values in the charts of the overview
      for (TChart* chart : {FormAnalize->Chart6, FormAnalize->Chart7, FormAnalize->Chart8})
        for (int i = 0; i < 12; ++i) chart->Series(0)->Add(i + 1, "1/" + std::to_string(1000 + i));
    if (name == "CalculateAspect") {
      CalculateAspect->AspectRComboBox->SetItemIndex(5);  // 16:10, the longest name
      CalculateAspect->AspectRComboBox->Click();
    }
    return dynamic_cast<TCustomForm*>(Application->FindComponent(name));
  }

 private:
  std::unique_ptr<TNetPathDlg> netPath_;
};

TEST_P(WindowLayoutTest, ShowsEveryTextWholeAndEveryButtonItsGlyph) {
  const std::string& name = std::get<0>(GetParam());
  if (name == "OpenDialog") {  // the toolkit's own, as File > Open opens it
    for (const std::string& text : GuiTesting::FileDialogCutTexts(testsupport::ProgramDir())) ADD_FAILURE() << text;
    return;
  }
  if (name == "Warning" || name == "Information") {  // the program's translated messages, by their own titles
    ModalResponder::Expect(ModalKind::Any, [&](ModalRequest& r) {
      for (const std::string& text : GuiTesting::CutTexts(r.form)) ADD_FAILURE() << text;
      return mrOk;
    });
    TranslatedMessageDialog("?", name == "Warning" ? mtWarning : mtInformation, {mbOK}, 0);
    return;
  }
  TCustomForm* form = Window(name);
  ASSERT_NE(form, nullptr);
  form->Show();
  GuiTesting::ProcessEvents();
  // Each page once, so that every page has its size.
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* pages = dynamic_cast<TPageControl*>(form->Components(i))) {
      const int shown = pages->ActivePageIndex();
      for (int p = 0; p < pages->PageCount(); ++p) {
        pages->SetActivePageIndex(p);
        GuiTesting::ProcessEvents();
      }
      pages->SetActivePageIndex(shown);
    }
  GuiTesting::ProcessEvents();
  // A path of the test's sandbox (the user's data, not words of the program) may be cut.
  const std::string home = GetEnvironmentVariable("HOME"), sandbox = home.substr(0, home.rfind('/'));
  std::string cut;
  for (const std::string& text : GuiTesting::CutTexts(form))
    if (text.find(sandbox) == std::string::npos) cut += "\n  " + text;
  EXPECT_TRUE(cut.empty()) << "cut or covered:" << cut;

  for (int i = 0; i < form->ComponentCount(); ++i) {
    TComponent* c = form->Components(i);
    const TBitmap* glyph = nullptr;
    if (auto* speed = dynamic_cast<TZqSpeedButton*>(c)) glyph = speed->Glyph();
    if (auto* push = dynamic_cast<TZqButton*>(c)) glyph = push->Glyph();
    // The compare panels' zoom buttons show the zoom itself.
    if (glyph && c->Name().rfind("ZqZoomMenu", 0) != 0) {
      EXPECT_FALSE(glyph->Empty()) << c->Name() << " has no glyph";
    }
  }
  form->Hide();
}

INSTANTIATE_TEST_SUITE_P(
    EveryWindow, WindowLayoutTest,
    testing::Combine(testing::Values("Form1", "AboutBox", "FormSettings", "HelpForm", "ImageCopyForm",
                                     "FormFilterSelect", "SearchForm", "SearchResult", "FormEditName", "FormFolderFind",
                                     "FormFloatB",
                                     "FormSaveImage", "FormThumbSpy", "ExifInfoForm", "DragForm", "FormThumbsettings",
                                     "FormFadestyles", "SaveToFolderForm", "FormGetcard", "SortForm",
                                     "ShowProgressForm", "FormAnalize", "BatchRenameForm", "UnitZoomFloat",
                                     "FormCompare", "HistogramForm", "PrintForm", "FormQuickAdd", "CalculateAspect",
                                     "Question", "NetPathDlg", "HtmlHelpForm", "Warning", "Information",
                                     "OpenDialog"),
                     testing::Values("en", "nl")),
    [](const testing::TestParamInfo<WindowAndLanguage>& info) {
      return std::get<0>(info.param) + "_" + std::get<1>(info.param);
    });

}  // namespace
