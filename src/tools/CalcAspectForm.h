#pragma once
// The aspect-ratio tool: a preset factor, or the ratio of a height and width (by default
// the shown picture's), with a sample rectangle of that ratio, its name and its factor,
// and the options of the lossless crop the main window then runs on the selected JPEG
// files. The main window shows it modally and, after OK, reads FFactor and the options.
#include "platform/gui/Forms.h"

class TComboBox;
class TCheckBox;
class TZqButton;
class TZqSpeedButton;
class TLabel;
class TEdit;
class TPanel;
class TShape;

class TCalculateAspect : public TForm {
 public:
  explicit TCalculateAspect(TComponent* AOwner);

  TComboBox* AspectRComboBox = nullptr;       // item 0 at first
  TPanel* Panel1 = nullptr;                   // the sample, 140 x 140
  TShape* Shape1 = nullptr;                   // a rectangle of the ratio
  TLabel* Label2 = nullptr;                   // "Height"
  TEdit* Edit1 = nullptr;                     // the height
  TLabel* Label1 = nullptr;                   // "Width"
  TEdit* Edit2 = nullptr;                     // the width
  TZqButton* ZqB_Calculate = nullptr;         // "Calculate"
  TCheckBox* CB_ASPPortrait = nullptr;
  TCheckBox* CB_PortToLandscape = nullptr;
  TCheckBox* CB_LosslessASPR = nullptr;       // checked at first
  TCheckBox* CB_BackupAspectR = nullptr;      // checked at first
  TCheckBox* CB_FastBatchASPR = nullptr;
  TCheckBox* CB_PrepareCompression = nullptr;
  TPanel* Panel2 = nullptr;
  TLabel* Label4 = nullptr;                   // the ratio's name
  TLabel* Label3 = nullptr;                   // the factor
  TZqButton* ZqButton3 = nullptr;  // "Change Aspect Ratio of selected image(s)", modal result OK
  TZqSpeedButton* ZqSpeedButton1 = nullptr;  // "Select All"
  TZqButton* ZqButton1 = nullptr;  // "Help": the help file
  TZqButton* ZqButton2 = nullptr;  // "Exit", modal result Cancel

  // The target ratio, long side divided by short side (0: none calculated). The OK
  // button is enabled only while it holds a valid factor.
  double FFactor = 0;
  // The factor of the chosen preset (0: none).
  double FPresetFactor = 0;
  // The first calculation of the program's run is still to come (it may show the note
  // on portrait sizes).
  static bool FFirstCalculation;

  void FormCreate(TObject* Sender);
  void FormActivate(TObject* Sender);
  void AspectRComboBoxClick(TObject* Sender);
  // Refuses a height or width that is no number or 0 with a message; FFactor keeps its value.
  void ZqB_CalculateClick(TObject* Sender);
  void Edit1KeyPress(TObject* Sender, char& Key);
  void Edit2KeyPress(TObject* Sender, char& Key);
  void CB_ASPPortraitClick(TObject* Sender);
  void CB_PrepareCompressionClick(TObject* Sender);
  void ZqSpeedButton1Click(TObject* Sender);

 private:
  // The preset of the combo's item (or the shown picture's sizes), then calculates.
  void selectPreset(bool report);
  // report: say why the boxes give no factor (not when the window opens without a picture).
  void calculate(bool report);
};

extern TCalculateAspect* CalculateAspect;
