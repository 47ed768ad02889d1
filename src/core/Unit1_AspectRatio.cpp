// The aspect ratio of JPEG pictures changed without recompression: jpegtran crops the
// picture equally on two opposite sides. The crop runs through the same one-file step as
// the lossless rotation (a temporary file that takes the picture's place only after a
// whole, successful run), over the selected pictures in place or over copies in a new
// folder "ASPR tmp" that the compression window then takes.
#include <cmath>

#include "controls/QzFileExplorer28.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "tools/CalcAspectForm.h"
#include "tools/UnitShowProgress2.h"

namespace {

// A ratio with two decimals, as the ratio names are written ("1.33").
std::string TwoDecimals(double ratio) { return FormatFloat("0.00", ratio); }

}  // namespace

void TForm1::Showaspectratiocurrentimage1Click(TObject* /*Sender*/) {
  if (FImageWidth <= 0 || FImageHeight <= 0) return;
  const std::string factor = UseLocaleDecimalSeparator(TwoDecimals(LongToShortRatio(FImageWidth, FImageHeight)));
  ShowMessage(_("Aspect ratio factor ") + factor + "\r" + AspectRatioName(factor));
}

bool TForm1::CanChangeAspectString(const std::string& FileName, std::string& CropText, double Factor) {
  int height = 0, width = 0;
  if (Factor < 1 || !GetJpegDimensions(FileName, height, width)) return false;
  const double ratio = LongToShortRatio(height, width);
  const bool landscape = height <= width;
  if (landscape && TwoDecimals(Factor) == TwoDecimals(ratio)) return false;
  bool cutWidth = false;
  int size = 0;
  if (landscape) {
    cutWidth = Factor <= ratio;
    size = cutWidth ? int(height * Factor) : int(width / Factor);
  } else {
    if (!CalculateAspect->CB_ASPPortrait->Checked()) return false;
    if (CalculateAspect->CB_PortToLandscape->Checked()) {
      size = int(width / Factor);
    } else if (Factor <= ratio) {
      size = int(width * Factor);
    } else {
      cutWidth = true;
      size = int(height / Factor);
    }
  }
  const int side = cutWidth ? width : height;
  if (size <= 0 || size > side) return false;
  int offset = (side - size) / 2;
  // Offsets beyond one block lie on the 8-pixel block grid (halves rounded to even).
  if (offset > 8) offset = int(std::nearbyint(offset / 8.0)) * 8 - 8;
  CropText = cutWidth ? "crop " + IntToStr(size) + "x" + IntToStr(height) + "+" + IntToStr(offset) + "+0"
                      : "crop " + IntToStr(width) + "x" + IntToStr(size) + "+0+" + IntToStr(offset);
  SetCaption(CropText);
  return true;
}

bool TForm1::ChangeAspectRatioJPG(const std::string& CropText, const std::string& FileName) {
  // "crop WxH+X+Y": the geometry after the word.
  const std::string geometry = CropText.substr(CropText.find(' ') + 1);
  int cropWidth = 0, cropHeight = 0;
  if (std::sscanf(geometry.c_str(), "%dx%d", &cropWidth, &cropHeight) != 2) return false;
  TLosslessStep step;
  step.Transform = {"-crop", geometry};
  step.Backup = CalculateAspect->CB_BackupAspectR->Checked() && !CalculateAspect->CB_PrepareCompression->Checked();
  step.Perfect = CalculateAspect->CB_LosslessASPR->Checked();
  step.ShowResult = !CalculateAspect->CB_FastBatchASPR->Checked();
  step.FailureText = _("Jpegtran message: Couldn't change the file");
  // jpegtran moves the crop's corner left and up to the block grid (at most 15 pixels)
  // and keeps its far corner, so the result may be that much larger than asked.
  step.WholeResult = [cropWidth, cropHeight](int, int, int outWidth, int outHeight) {
    return outWidth >= cropWidth && outWidth < cropWidth + 16 && outHeight >= cropHeight &&
           outHeight < cropHeight + 16;
  };
  return LosslessTransform(step, FileName);
}

void TForm1::AspectRatioInitStart(double Factor) {
  if (!CalculateAspect->CB_PrepareCompression->Checked() && !CalculateAspect->CB_BackupAspectR->Checked() &&
      TranslatedMessageDialog(_("JPG Backup is turned off, this action can't be undone, continue? "), mtConfirmation,
                              TMsgDlgButtons{mbYes, mbNo}, 0) != mrYes)
    return;
  LosslessBatch(
      [this, Factor](const std::string& file) {
        std::string crop;
        if (CanChangeAspectString(file, crop, Factor)) ChangeAspectRatioJPG(crop, file);
      },
      true, true);
  if (PanelThumbHolder->Visible()) FillTheTumbsNow();
}

void TForm1::ChangeAspectRatio1Click(TObject* /*Sender*/) {
  if (JpegtranProgram().empty()) {
    ShowMessage(_("The file jpegtran.exe is needed for this action") + "\r" + _("But not found in the folder: ") +
                FProgramDir + "jpegtran");
    return;
  }
  CalculateAspect->FFactor = 0;
  if (CalculateAspect->ShowModal() != mrOk) return;
  const double factor = CalculateAspect->FFactor;
  if (!CalculateAspect->CB_PrepareCompression->Checked()) {
    AspectRatioInitStart(factor);
    RestoreCursor();
    return;
  }
  // The crop works on copies in a new folder; the compression window takes them then.
  auto progress = [](const std::string& first, const std::string& second) {
    ShowProgressForm->ShowText->SetCaption(first);
    ShowProgressForm->Showtext2->SetCaption(second);
    ShowProgressForm->ProgressBar1->SetVisible(false);
    ShowProgressForm->Show();
    ShowProgressForm->Repaint();
  };
  try {
    progress(_("Batch handling in progress, file copy, please wait........."), _("Aspect Ratio change will be next....") + "\r");
    HourGlassCursor();
    FFileAction = 50;
    FillWorkFileList(false);
    if (FWorkFiles->Count() == 0) {
      FFileAction = 10;
      ShowProgressForm->Hide();
      ShowMessage(_("No jpg files found!"));
      RestoreCursor();
      return;
    }
    // The work list holds full paths: leaving the paperclip view does not change it.
    const std::vector<std::string> files = FWorkFiles->ToVector();
    if (TreeView1->Visible()) M_OpenShowClick(this);
    if (!QzDirTree211->AddNewFolder(QzDirTree211->Selected(), "ASPR tmp")) {
      FFileAction = 10;
      FWorkFiles->Clear();
      ShowProgressForm->Hide();
      RestoreCursor();
      return;
    }
    Application->ProcessMessages();
    FWorkFiles->Clear();
    for (const std::string& file : files) FWorkFiles->Add(file);
    FFileAction = 20;
    CopyPastefiles("", false);
    progress(_("Changing file(s) aspect ratios, please wait........."), _("The compression center will open when done....") + "\r");
    Selectall1Click(this);
    AspectRatioInitStart(factor);
    Selectall1Click(this);
    ShowProgressForm->Hide();
    RestoreCursor();
    ShowMessage(_("Batch handling done. ") + "\r\n\n" +
                _("Use the options from the compression centre to resize and save the results to any location. ") +
                "\r\n" + _("Note: You can manually delete the ASPR tmp folder when you are done.") + "\r\n\n" +
                _("Click on Ok to open the compression centre."));
    // The compression centre's command, as its menu item runs it.
    if (SaveasJPG1->OnClick) SaveasJPG1->OnClick(SaveasJPG1);
  } catch (const std::exception& e) {
    RestoreCursor();
    ShowProgressForm->Hide();
    Application->ShowException(e);
  }
}
