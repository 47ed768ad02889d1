#include "tools/CalcAspectForm.h"

#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"

TCalculateAspect* CalculateAspect = nullptr;

TCalculateAspect::TCalculateAspect(TComponent* AOwner) : TForm(AOwner) {
  SetName("CalculateAspect");
  SetCaption("Aspect Ratio Tool (Jpegtran)");
  SetBorderStyle(bsDialog);
  SetPosition(poMainFormCenter);
  SetClientWidth(420);
  SetClientHeight(252);

  NewControl<TLabel>(this, this, "Label7", "Select Apect Ratio", 8, 8, 300, 15);
  AspectRComboBox = NewControl<TComboBox>(this, this, "AspectRComboBox", 8, 26, 300, 21);
  AspectRComboBox->SetStyle(csDropDownList);
  SetItems(AspectRComboBox->Items(),
           {"Current Image- or Custom Aspect Ratio", "Factor 1.00 (1:1)", "Factor 1.33 (4:3)", "Factor 1.50 (3:2)",
            "Factor 1.56 (14:9)", "Factor 1.60 (16:10)", "Factor 1.67 (5:3)"});
  AspectRComboBox->SetItemIndex(0);

  NewControl<TLabel>(this, this, "Label5", "Options:", 8, 58, 300, 15);
  int y = 76;
  auto option = [&](const char* name, const char* caption, bool checked) {
    TCheckBox* box = NewCheckBox(this, this, name, caption, checked, 8, y, 404);
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

  ZqButton3 = NewControl<TZqButton>(this, this, "ZqButton3", "Change Aspect Ratio of selected image(s)", 8, 218, 296,
                                    25);
  ZqButton3->SetModalResult(mrOk);
  ZqButton3->SetColor(RGB(192, 192, 0));
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "Exit", 312, 218, 100, 25);
  ZqButton2->SetModalResult(mrCancel);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TCalculateAspect::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }
