// The preferences dialog's three ready-made configurations.
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "core/UnitFadestyles.h"
#include "core/UnitFilterselect.h"
#include "core/UnitSetting.h"
#include "core/UnitSetting_Presets.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/i18n/GnuGetText.h"

void TFormSettings::runQuickConfiguration(int index) {
  const TQuickPreset& preset = QuickPresets[index];
  const std::string question = _(preset.Question1) + "\r\n" + _(preset.Question2);
  if (TranslatedMessageDialog(question, mtConfirmation, {mbYes, mbNo}, 0) != mrYes) return;
  FormFilterSelect->RG_Resample->SetItemIndex(preset.ResampleFilter);
  Form1->Smoothstrech->SetChecked(preset.SmoothStretch);
  Form1->M_Preview->SetChecked(preset.Preview);
  Form1->FPreview = preset.Preview;
  if (Form1->FThumbSize != preset.ThumbSize) {
    Form1->FThumbSize = preset.ThumbSize;
    if (Form1->ZqTumblist->Down()) Form1->ZqTumblistClick(this);
  }
  FormFadestyles->ChB_Fading->SetChecked(preset.Fading);
  Form1->FSlideDelay = preset.SlideDelay;
  // Each configuration sets the thumbnail cache to its own value (off for the fast one).
  Form1->M_UseTumbCache->SetChecked(preset.ThumbCache);
  Form1->M_Recursive->SetChecked(ChB_Recursive->Checked());
  ShowMessage(_("Done, you can fine tune by enabeling or disabeling") + "\r\n" +
              _("items at the program dropdown menu's"));
  Close();
}

void TFormSettings::ZqSlowClick(TObject* /*Sender*/) { runQuickConfiguration(0); }
void TFormSettings::ZqNormalClick(TObject* /*Sender*/) { runQuickConfiguration(1); }
void TFormSettings::ZqFastClick(TObject* /*Sender*/) { runQuickConfiguration(2); }
