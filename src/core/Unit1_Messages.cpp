// The transient message panel over the bottom left of the picture area, the EXIF
// overlay in its top left corner, the window caption, the text file beside a picture
// and the hourglass cursor.
#include "controls/EventScrollbox.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

namespace {
constexpr unsigned kMessageShowMs = 5500;
}

void TForm1::ShowIt(const std::string& Text, bool AutoHide) {
  LabelShowTextTop->SetCaption(Text);
  LabelShowTextBack->SetCaption(Text);
  LabelShowTextTop->SetLeft(15);
  LabelShowTextTop->SetTop(ScrollBox1->ClientHeight() - (LabelShowTextTop->Height() + 10));
  LabelShowTextBack->SetLeft(LabelShowTextTop->Left() + 1);
  LabelShowTextBack->SetTop(LabelShowTextTop->Top() + 1);
  if (FFullScreen && M_BlackSlideshowBG->Checked()) {
    LabelShowTextTop->Font()->SetColor(clYellow);
    LabelShowTextBack->Font()->SetColor(clBlack);
  } else {
    LabelShowTextTop->Font()->SetColor(clBlack);
    LabelShowTextBack->Font()->SetColor(clWhite);
  }
  if (AutoHide) {
    // A running timer starts its 5.5 seconds again.
    TimerShowIt->SetEnabled(false);
    TimerShowIt->SetInterval(kMessageShowMs);
    TimerShowIt->SetEnabled(true);
  }
  ShowItShow();
}

void TForm1::ShowItShow() {
  if (LabelShowTextTop->Visible() && LabelShowTextBack->Visible()) return;
  LabelShowTextBack->SetVisible(true);
  LabelShowTextTop->SetVisible(true);
  LabelShowTextBack->BringToFront();
  LabelShowTextTop->BringToFront();
}

void TForm1::ShowItHide() {
  if (!LabelShowTextTop->Visible() && !LabelShowTextBack->Visible()) return;
  LabelShowTextTop->SetVisible(false);
  LabelShowTextBack->SetVisible(false);
}

void TForm1::TimerShowItTimer(TObject* /*Sender*/) {
  ShowItHide();
  TimerShowIt->SetEnabled(false);
}

void TForm1::ShowExifLabel() {
  if (ZqSlideShow->Down()) {
    HideExifLabels();
  } else if (Exifoverlay->Checked()) {
    const std::string text = ExifOverlayText(FCurrentFile);
    ExifLabelFront->SetCaption(text);
    ExifLabelBack->SetCaption(text);
    ExifLabelFront->SetBounds(12, 15, ExifLabelFront->Width(), ExifLabelFront->Height());
    ExifLabelBack->SetBounds(13, 16, ExifLabelBack->Width(), ExifLabelBack->Height());
    ExifLabelBack->SetVisible(true);
    ExifLabelFront->SetVisible(true);
    ExifLabelBack->BringToFront();
    ExifLabelFront->BringToFront();
    Exifoverlayonoff1->SetChecked(true);
  } else if (ExifLabelFront->Visible()) {
    ExifLabelFront->SetVisible(false);
    ExifLabelBack->SetVisible(false);
  }
}

void TForm1::HideExifLabels() {
  if (!ExifLabelFront->Visible()) return;
  ExifLabelFront->SetVisible(false);
  ExifLabelBack->SetVisible(false);
}

void TForm1::SetCaptionPath(const std::string& Path) {
  if (!M_Recursive->Checked()) {
    SetCaption(Path);
    return;
  }
  // The tree frees its nodes when it reloads: the start node counts only while it is there.
  TTreeNode* node = startNode();
  const std::string start = node ? node->Text() : std::string();
  if (node && node->HasChildren()) {
    SetCaption(Format(_("( First = %s ) - %s"), {start, Path}));
  } else {
    // The folder listed: Ctrl+N and Ctrl+P walk away from the start folder.
    TTreeNode* shown = QzDirTree211->Selected();
    SetCaption(Format(_("( First = n/a ) - %s"), {shown ? shown->Text() : start}));
  }
}

std::string TForm1::ExifTXTName() const {
  return PathJoin(ExtractFileDir(FCurrentFile), FileNameWithoutExt(FCurrentFile) + ".txt");
}

void TForm1::HourGlassCursor() { Screen->SetCursor(crHourGlass); }

void TForm1::RestoreCursor() { Screen->SetCursor(FDefaultCursor); }
