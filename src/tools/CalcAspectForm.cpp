#include "tools/CalcAspectForm.h"

#include <cmath>

#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Shapes.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Math.h"

TCalculateAspect* CalculateAspect = nullptr;
bool TCalculateAspect::FFirstCalculation = true;

namespace {
// The factor of each preset, by the combo's index (0: the picture's own or typed sizes).
constexpr double kPresetFactors[] = {0, 1.0, 1.33333, 1.504, 1.56, 1.6, 1.67};
constexpr int kHelpContext = 140;
}  // namespace

TCalculateAspect::TCalculateAspect(TComponent* AOwner) : TForm(AOwner) {
  SetName("CalculateAspect");
  SetCaption("Aspect Ratio Tool (Jpegtran)");
  SetBorderStyle(bsDialog);
  SetPosition(poMainFormCenter);
  SetClientWidth(560);
  SetClientHeight(330);

  NewControl<TLabel>(this, this, "Label7", "Select Apect Ratio", 8, 8, 300, 15);
  AspectRComboBox = NewControl<TComboBox>(this, this, "AspectRComboBox", 8, 26, 300, 21);
  AspectRComboBox->SetStyle(csDropDownList);
  SetItems(AspectRComboBox->Items(),
           {"Current Image- or Custom Aspect Ratio", "Factor 1.00 (1:1)", "Factor 1.33 (4:3)", "Factor 1.50 (3:2)",
            "Factor 1.56 (14:9)", "Factor 1.60 (16:10)", "Factor 1.67 (5:3)"});
  AspectRComboBox->SetItemIndex(0);

  Label2 = NewControl<TLabel>(this, this, "Label2", "Height", 8, 58, 60, 15);
  Edit1 = NewControl<TEdit>(this, this, "Edit1", "800", 70, 54, 70, 22);
  Label1 = NewControl<TLabel>(this, this, "Label1", "Width", 150, 58, 60, 15);
  Edit2 = NewControl<TEdit>(this, this, "Edit2", "1024", 212, 54, 70, 22);
  ZqB_Calculate = NewControl<TZqButton>(this, this, "ZqB_Calculate", "Calculate", 292, 53, 100, 25);

  // The right column: the sample under its (two-line) caption, the ratio's name and factor.
  auto* sampleCaption = NewControl<TLabel>(this, this, "Label6", "Aspect Ratio sample", 412, 4, 140, 30);
  sampleCaption->SetAutoSize(false);
  sampleCaption->SetWordWrap(true);
  sampleCaption->SetLayout(tlBottom);
  sampleCaption->SetBounds(412, 4, 140, 30);
  Panel1 = NewControl<TPanel>(this, this, "Panel1", 412, 36, 140, 140);
  Panel1->SetCaption("");
  Shape1 = NewControl<TShape>(this, Panel1, "Shape1", 5, 22, 130, 98);
  Shape1->Brush().SetColor(clGray);
  Shape1->Pen().SetColor(clWhite);
  Shape1->Pen().SetWidth(3);

  NewControl<TLabel>(this, this, "Label5", "Options:", 8, 90, 300, 15);
  int y = 108;
  auto option = [&](const char* name, const char* caption, bool checked) {
    TCheckBox* box = NewCheckBox(this, this, name, caption, checked, 8, y, 396);
    y += 22;
    return box;
  };
  CB_ASPPortrait = option("CB_ASPPortrait", "Change portrait orientated images also", false);
  CB_PortToLandscape = option("CB_PortToLandscape", "Crop portrait to landscape", false);
  SetHintText(CB_PortToLandscape, "Cuts top and bottom to create a landscape orientated image");
  CB_LosslessASPR = option("CB_LosslessASPR", "Lossless", true);
  CB_BackupAspectR = option("CB_BackupAspectR", "Create backups", true);
  CB_FastBatchASPR = option("CB_FastBatchASPR", "Fast batch, don't show results until done", false);
  SetHintText(CB_FastBatchASPR, "Hides results when multiple files are selected until all files are processed");
  CB_PrepareCompression = option("CB_PrepareCompression", "Prepare for digital photoframe/smartphone", false);
  SetHintText(CB_PrepareCompression, "Places results in a tmp folder and opens Compression centre");

  Panel2 = NewControl<TPanel>(this, this, "Panel2", 412, 182, 140, 76);
  Panel2->SetCaption("");
  Panel2->SetColor(clCream);
  Label4 = NewControl<TLabel>(this, Panel2, "Label4", "Aspect Ratio 4:3", 6, 4, 128, 46);
  Label4->SetAutoSize(false);
  Label4->SetWordWrap(true);
  Label4->SetBounds(6, 4, 128, 46);
  Label3 = NewControl<TLabel>(this, Panel2, "Label3", "Factor 1.333", 6, 54, 128, 15);

  ZqButton3 = NewControl<TZqButton>(this, this, "ZqButton3", "Change Aspect Ratio of selected image(s)", 8, 284, 320,
                                    40);
  ZqButton3->SetWordWrap(true);
  ZqButton3->SetModalResult(mrOk);
  ZqButton3->SetColor(RGB(192, 192, 0));
  ZqSpeedButton1 = NewControl<TZqSpeedButton>(this, this, "ZqSpeedButton1", "Select All", 8, 250, 120, 25);
  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "Help", 340, 292, 100, 25);
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "Exit", 452, 292, 100, 25);
  ZqButton2->SetModalResult(mrCancel);

  AspectRComboBox->OnClick = [this](TObject* Sender) { AspectRComboBoxClick(Sender); };
  ZqB_Calculate->OnClick = [this](TObject* Sender) { ZqB_CalculateClick(Sender); };
  Edit1->OnKeyPress = [this](TObject* Sender, char& Key) { Edit1KeyPress(Sender, Key); };
  Edit2->OnKeyPress = [this](TObject* Sender, char& Key) { Edit2KeyPress(Sender, Key); };
  CB_ASPPortrait->OnClick = [this](TObject* Sender) { CB_ASPPortraitClick(Sender); };
  CB_PrepareCompression->OnClick = [this](TObject* Sender) { CB_PrepareCompressionClick(Sender); };
  ZqSpeedButton1->OnClick = [this](TObject* Sender) { ZqSpeedButton1Click(Sender); };
  ZqButton1->OnClick = [](TObject*) { Form1->ShowHelpContext(kHelpContext); };
  // F1 opens the page the Help button opens, wherever the keyboard is in the window.
  SetKeyPreview(true);
  OnKeyDown = [](TObject*, uint16_t& Key, TShiftState) {
    if (Key != VK_F1) return;
    Key = 0;
    Form1->ShowHelpContext(kHelpContext);
  };
  OnActivate = [this](TObject* Sender) { FormActivate(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TCalculateAspect::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TCalculateAspect::FormActivate(TObject* /*Sender*/) {
  ZqSpeedButton1->SetEnabled(true);
  CB_PortToLandscape->SetEnabled(CB_ASPPortrait->Checked());
  // Opened with no picture shown, the boxes hold no sizes: the OK button just waits.
  selectPreset(false);
  CB_BackupAspectR->SetEnabled(!CB_PrepareCompression->Checked());
}

void TCalculateAspect::AspectRComboBoxClick(TObject* /*Sender*/) { selectPreset(true); }

void TCalculateAspect::selectPreset(bool report) {
  FPresetFactor = kPresetFactors[EnsureRange(AspectRComboBox->ItemIndex(), 0, 6)];
  const bool own = FPresetFactor == 0;
  if (own && Form1) {
    Edit1->SetText(IntToStr(Form1->FImageHeight));
    Edit2->SetText(IntToStr(Form1->FImageWidth));
  }
  for (TControl* c : std::initializer_list<TControl*>{Edit1, Edit2, Label1, Label2}) c->SetVisible(own);
  ZqB_Calculate->SetEnabled(own);
  calculate(report);
}

void TCalculateAspect::ZqB_CalculateClick(TObject* /*Sender*/) { calculate(true); }

void TCalculateAspect::calculate(bool report) {
  int height = 0, width = 0;
  double factor = 0;
  if (FPresetFactor > 0) {
    height = int(Round(130 / FPresetFactor));
    width = 130;
    Edit1->SetText(IntToStr(height));
    Edit2->SetText(IntToStr(width));
    factor = FPresetFactor;
    FPresetFactor = 0;
  } else {
    // Sizes that are no numbers, or 0, give no ratio: nothing changes but the OK button.
    if (!TryStrToInt(Edit1->Text(), height) || !TryStrToInt(Edit2->Text(), width) || height <= 0 || width <= 0) {
      ZqButton3->SetEnabled(FFactor > 0);
      if (report) ShowMessage(_("Height and width must be whole numbers above 0."));
      return;
    }
    factor = LongToShortRatio(height, width);
    if (FFirstCalculation && height > width)
      ShowMessage(_("Note:\nPortrait orientation calculated, please note that only the calculated factor is used, "
                    "the orientation doesn't matter."));
    FFirstCalculation = false;
  }
  int shapeW = 130, shapeH = 130;
  if (width <= height)
    shapeW = int(Round(130 / factor));
  else
    shapeH = int(Round(130 / factor));
  Shape1->SetBounds((Panel1->Width() - shapeW) / 2, (Panel1->Height() - shapeH) / 2, shapeW, shapeH);
  const std::string factorText = FormatFloat("0.00", factor);
  Label4->SetCaption(_("Aspect Ratio: ") + _(AspectRatioName(factorText)));
  Label3->SetCaption(_("Factor: ") + factorText);
  FFactor = factor;
  ZqButton3->SetEnabled(true);
}

void TCalculateAspect::Edit1KeyPress(TObject* /*Sender*/, char& Key) {
  if (Key == '\r') {
    Key = 0;
    Edit2->SetFocus();
  } else if (!(Key >= '0' && Key <= '9') && Key != '\b') {
    Key = 0;
  }
}

void TCalculateAspect::Edit2KeyPress(TObject* /*Sender*/, char& Key) {
  if (Key == '\r') {
    Key = 0;
    ZqB_Calculate->SetFocus();
  } else if (!(Key >= '0' && Key <= '9') && Key != '\b') {
    Key = 0;
  }
}

void TCalculateAspect::CB_ASPPortraitClick(TObject* /*Sender*/) {
  CB_PortToLandscape->SetEnabled(CB_ASPPortrait->Checked());
}

void TCalculateAspect::CB_PrepareCompressionClick(TObject* /*Sender*/) {
  const bool prepare = CB_PrepareCompression->Checked();
  CB_BackupAspectR->SetEnabled(!prepare);
  ZqButton3->SetCaption(prepare ? _("Start batch for selected image(s)")
                                : _("Change Aspect Ratio of selected image(s)"));
}

void TCalculateAspect::ZqSpeedButton1Click(TObject* /*Sender*/) {
  if (TranslatedMessageDialog(_("Select all files for Aspect Ratio adjusment from current folder ?"), mtConfirmation,
                              {mbYes, mbNo}, 0) == mrNo)
    return;
  Form1->Selectall1Click(ZqSpeedButton1);
  ZqSpeedButton1->SetEnabled(false);
}
