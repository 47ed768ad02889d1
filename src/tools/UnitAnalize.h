#pragma once
// The Shotgraph window: charts of the focal length, ISO, aperture and shutter speed of
// the pictures of a folder, with the editor of the lens-equivalence list. This first
// version holds the pages and the components the main window and the settings store
// set and read; scanning, charts and the list editor come with the window's own work.
#include "platform/gui/Forms.h"

class TPanel;
class TPageControl;
class TTabSheet;
class TEdit;
class TCheckBox;
class TComboBox;
class TSpinEdit;
class TRadioGroup;
class TMemo;
class TZqButton;
class TZqSpeedButton;

class TFormAnalize : public TForm {
 public:
  explicit TFormAnalize(TComponent* AOwner);

  TPanel* Panel1 = nullptr;  // options above the pages
  TCheckBox* ChB_Subs = nullptr;  // "Include subfolders"
  TCheckBox* ChB3D = nullptr;
  TCheckBox* ChBbar = nullptr;
  TComboBox* ComboBoxValue = nullptr;  // statistics on the bars; no item at first
  TCheckBox* Cb_Custom = nullptr;      // "Filter"
  TPanel* PanelMakeModel = nullptr;    // the filter fields, shown while Cb_Custom is checked
  TEdit* EditMake = nullptr;
  TEdit* EditModel = nullptr;
  TEdit* MN_name_Edit = nullptr;
  TEdit* MN_Data_Edit = nullptr;

  TPageControl* PageControl1 = nullptr;
  TTabSheet* TabSheet1 = nullptr;  // "Overview"
  TTabSheet* TabSheet2 = nullptr;  // "Lens Length"
  TTabSheet* TabSheet3 = nullptr;  // "ISO"
  TTabSheet* TabSheet4 = nullptr;  // "Aperture"
  TTabSheet* TabSheet5 = nullptr;  // "Shutter Speed"
  TTabSheet* TabSheet6 = nullptr;  // "Path List + Image"
  TTabSheet* TabSheet7 = nullptr;  // "Equivalent List"

  TSpinEdit* SpinEdit1 = nullptr;  // steps, 10
  TSpinEdit* SpinEdit2 = nullptr;  // ignore, 28
  TZqSpeedButton* ZqSetforRealLength = nullptr;  // down: real lens lengths
  TPanel* MMPanel = nullptr;
  TEdit* Edit1 = nullptr;  // real focal length of the reference lens
  TEdit* Edit2 = nullptr;  // its 35 mm equivalent
  TCheckBox* Ch_AlwaysCalc = nullptr;
  TCheckBox* ChB_Raw = nullptr;  // "1/100", checked at first
  TRadioGroup* RadioGroup1 = nullptr;
  TMemo* Memo1 = nullptr;  // the equivalence list being edited
  TZqButton* ZqButton1 = nullptr;  // "Edit/show equivalent file"
  TZqButton* ZqButton2 = nullptr;  // "Save changes and reload", disabled at first
  TZqButton* ZqButton3 = nullptr;  // "Close", disabled at first

  void FormCreate(TObject* Sender);
};

extern TFormAnalize* FormAnalize;
