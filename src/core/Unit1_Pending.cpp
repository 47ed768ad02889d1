// Least versions of the main-window routines that the keyboard, thumbnail, full-screen,
// slide-show, histogram and EXIF-window work completes: enough for the window to follow
// the folder tree and to show pictures. The work on those parts replaces them.
#include "controls/KpPanel.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZephFade.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "core/UnitSetting.h"
#include "metadata/ExifData.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

void TForm1::FormKeyDown(TObject* /*Sender*/, uint16_t& Key, TShiftState Shift) {
  if (QzDirTree211->IsEditing() || TreeView1->IsEditing()) return;
  if (FSlideShowMode || ListBox1->Count() == 0) return;
  // Ctrl+D: the debug panel (with the marker file) and the stand-alone button of the
  // preferences dialog.
  if (Key == 'D' && Shift == TShiftState{ssCtrl}) {
    if (FileExists(FAppDir + "debug.txt") || !FindNameNoCase(FProgramDir, "debug.txt").empty()) {
      KpFramePanel1->SetLeft(0);
      KpFramePanel1->SetTop(0);
      KpFramePanel1->SetVisible(!KpFramePanel1->Visible());
    }
    FormSettings->USB_Button->SetVisible(!FormSettings->USB_Button->Visible());
  }
}

void TForm1::FillHistory() {}

void TForm1::CreateDummyFadeFromPicture() {}

void TForm1::ZqTumblistClick(TObject* /*Sender*/) {}

void TForm1::SmoothstrechClick(TObject* /*Sender*/) {
  const int index = ListBox1->ItemIndex();
  if (index >= 0 && index < ListBox1->Count()) OpenThePicture(ListBox1->Items()->Strings(index));
}

void TForm1::FullScreen() {
  FFullScreen = !FFullScreen;
  SetFullScreen(FFullScreen);
  UpdateScreenSaverInhibit();
}

std::string TForm1::ExifOverlayText(const std::string& FileName) {
  if (FileName.empty()) return std::string();
  TimgData data;
  if (!data.ReadFileMetadata(FileName) || !data.ImageInfo) return std::string();
  // The summary's lines end in CR LF; a label breaks lines at LF.
  std::string text;
  for (char c : data.ImageInfo->ExifSummary())
    if (c != '\r') text += c;
  return text;
}

void TForm1::QzDirTree211DirChange(TObject* /*Sender*/, const std::string& /*SelectedPath*/) {
  if (FSuspendUpdates) return;
  HideExifLabels();
  ListBox1->SetMultiSelect(false);
  PanelCustomLists->SetVisible(false);
  Timer1->SetEnabled(false);
  ZqSlideShow->SetDown(false);
  ZqAutonext->SetDown(false);
  FSlideRunning = false;
  FCurrentFile.clear();
  setWithQzDirPath(false);
}

void TForm1::FillTheTumbsNow() {}

void TForm1::BlueThumb() {}

void TForm1::PaintZephFadeCanvas(TBitmap* /*Source*/, TBitmap* /*Destination*/, bool /*Draw*/, int /*Width*/,
                                 int /*Height*/) {}

void TForm1::FadePicture() {
  // Without the transition the picture shows at once.
  ZephFade1->SetVisible(false);
  Image1->SetVisible(true);
}

void TForm1::ShowTheHistogram() {}

void TForm1::ShowExifWindowFile(const std::string& /*FileName*/) {}

void TForm1::ClearExifWindow() {}
