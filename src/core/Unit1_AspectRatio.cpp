// The aspect ratio of JPEG pictures changed without recompression: jpegtran crops the
// picture equally on two opposite sides. The crop runs through the same one-file step as
// the lossless rotation (a temporary file that takes the picture's place only after a
// whole, successful run, its Exif pixel sizes and thumbnail cropped with it and its trailer
// carried along), over the selected pictures in place or over copies in a new folder
// "ASPR tmp" that the compression window then takes.
#include <algorithm>
#include <cstdint>
#include <cstdio>

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

// The size of the picture's smallest whole unit of blocks (MCU) from its frame header: 8
// pixels times the largest sampling factor for a colour picture, 8 for a grey one. A
// lossless crop's corner lies on this grid (jpegtran moves it there). False when the file
// holds no frame header before its picture data.
bool JpegMcuSize(const std::string& fileName, int& mcuWidth, int& mcuHeight) {
  const std::string b = ReadFileBytes(fileName, int64_t(4) << 20);
  auto byte = [&b](size_t at) { return uint8_t(b[at]); };
  if (b.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) return false;
  size_t pos = 2;
  while (pos + 4 <= b.size() && byte(pos) == 0xFF) {
    const uint8_t marker = byte(pos + 1);
    if (marker == 0xFF || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      pos += marker == 0xFF ? 1 : 2;  // fill byte, or a marker without a segment
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return false;
    const size_t length = size_t(byte(pos + 2)) << 8 | byte(pos + 3);
    if (length < 2) return false;
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      // Precision, height, width, the number of components, then per component its
      // number, its sampling factors (horizontal << 4 | vertical) and its table.
      const size_t at = pos + 4;
      if (at + 6 > b.size()) return false;
      const int components = byte(at + 5);
      if (components < 1 || at + 6 + 3 * size_t(components) > b.size()) return false;
      int h = 1, v = 1;
      for (int i = 0; components > 1 && i < components; ++i) {
        const uint8_t sampling = byte(at + 7 + 3 * size_t(i));
        h = std::max(h, sampling >> 4);
        v = std::max(v, sampling & 15);
      }
      mcuWidth = 8 * h;
      mcuHeight = 8 * v;
      return true;
    }
    pos += 2 + length;
  }
  return false;
}

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
  // The cut edge goes to the block boundary nearest to the middle that keeps the whole new
  // side inside the picture: jpegtran would move an edge between boundaries outwards and
  // so widen the result beyond the ratio. (16 pixels, a boundary of every grid, when the
  // frame header cannot be read.)
  int mcuWidth = 16, mcuHeight = 16;
  JpegMcuSize(FileName, mcuWidth, mcuHeight);
  const int block = cutWidth ? mcuWidth : mcuHeight;
  const int middle = (side - size) / 2, lower = middle / block * block, upper = lower + block;
  const int offset = upper + size <= side && upper - middle < middle - lower ? upper : lower;
  CropText = cutWidth ? "crop " + IntToStr(size) + "x" + IntToStr(height) + "+" + IntToStr(offset) + "+0"
                      : "crop " + IntToStr(width) + "x" + IntToStr(size) + "+0+" + IntToStr(offset);
  if (FCropCaption.file.empty() || Caption() != FCropCaption.text) FCropCaption.before = Caption();
  FCropCaption.file = FileName;
  FCropCaption.text = CropText;
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
  // The crop's corner lies on the block grid: the result has exactly the size asked.
  step.WholeResult = [cropWidth, cropHeight](int, int, int outWidth, int outHeight) {
    return outWidth == cropWidth && outHeight == cropHeight;
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
