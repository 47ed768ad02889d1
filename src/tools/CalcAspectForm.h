#pragma once
// The aspect-ratio tool. The main window clears FFactor, shows it modally and after OK
// reads FFactor and the option check boxes, several of which are stored settings. The
// calculation comes with the window's own work.
#include "platform/gui/Forms.h"

class TComboBox;
class TCheckBox;
class TZqButton;

class TCalculateAspect : public TForm {
 public:
  explicit TCalculateAspect(TComponent* AOwner);

  TComboBox* AspectRComboBox = nullptr;       // item 0 at first
  TCheckBox* CB_ASPPortrait = nullptr;
  TCheckBox* CB_PortToLandscape = nullptr;
  TCheckBox* CB_LosslessASPR = nullptr;       // checked at first
  TCheckBox* CB_BackupAspectR = nullptr;      // checked at first
  TCheckBox* CB_FastBatchASPR = nullptr;
  TCheckBox* CB_PrepareCompression = nullptr;
  TZqButton* ZqButton3 = nullptr;  // "Change Aspect Ratio of selected image(s)", modal result OK
  TZqButton* ZqButton2 = nullptr;  // "Exit", modal result Cancel

  // The target ratio, long side divided by short side (0: none calculated).
  double FFactor = 0;
  // The factor of the chosen preset (0: none).
  double FPresetFactor = 0;

  void FormCreate(TObject* Sender);
};

extern TCalculateAspect* CalculateAspect;
