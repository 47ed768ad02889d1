#pragma once
// The compression center: the save, resample and e-mail window. This first version
// holds the fields and components the main window sets before showing it and the
// settings store reads; filling the list, resampling, saving and mailing come with the
// window's own work.
#include <string>

#include "platform/gui/Forms.h"

class TPanel;
class TLabel;
class TComboBox;
class TCheckBox;
class TCheckListBox;
class TImage;
class TJPEGImage;
class TZqSpeedButton;

class TFormSaveImage : public TForm {
 public:
  explicit TFormSaveImage(TComponent* AOwner);

  TPanel* PanelButtons = nullptr;
  TZqSpeedButton* Zq_Close = nullptr;
  TZqSpeedButton* Zq_Save = nullptr;
  TZqSpeedButton* Zq_Mail = nullptr;
  TZqSpeedButton* ZqOverWriteOrg = nullptr;
  TZqSpeedButton* ZqConfig = nullptr;  // "Quality/size" (toggle): shows PanelSettings
  TLabel* Label13 = nullptr;
  TPanel* PanelSettings = nullptr;     // hidden at first
  TComboBox* ComboBox1 = nullptr;      // size presets, item 5 at first
  TComboBox* ComboBox2 = nullptr;      // quality presets, item 3 at first
  TCheckBox* Ch_Filter = nullptr;      // "Use resampling filter", checked at first
  TCheckBox* Ch_Strech = nullptr;      // "Stretch smaller images"
  TPanel* ChecklistPanel = nullptr;    // hidden at first
  TCheckListBox* CheckListBox1 = nullptr;

  // Root folder of a whole-tree run (with a trailing '/'); empty for selected files.
  std::string FTreeRoot;
  // While set, showing the window loads and resamples nothing.
  bool FQuietShow = false;
  // Made by the main window before showing and freed by the window's close handler.
  TJPEGImage* FJpegOut = nullptr;
  TImage* FSourceImage = nullptr;

  void FormCreate(TObject* Sender);
  void Zq_CloseClick(TObject* Sender);
};

extern TFormSaveImage* FormSaveImage;
