#pragma once
// The preferences dialog. This first version holds the option controls that are stored
// settings (the settings store loads and saves their states, the main window reads them)
// in their groups, and the close button; the option tree, the quick configuration and
// the handlers come with the dialog's own work.
#include "platform/gui/Forms.h"

class TGroupBox;
class TEdit;
class TColorBox;
class TCheckBox;
class TButton;
class TZqButton;

class TFormSettings : public TForm {
 public:
  explicit TFormSettings(TComponent* AOwner);

  TGroupBox* GroupBoxEditor = nullptr;
  TEdit* JPGEdit = nullptr;  // program path of the alternate editor
  TGroupBox* GroupBoxColor = nullptr;
  TColorBox* ColorBox1 = nullptr;  // background colour of the picture area
  TCheckBox* ChB_ListBgColor = nullptr;
  TGroupBox* GroupBoxExtensions = nullptr;
  TCheckBox* ChB_Showtext = nullptr;
  TGroupBox* GroupBoxButtons = nullptr;
  TCheckBox* Chb_CopyButton = nullptr;
  TCheckBox* ChB_RotateButton = nullptr;
  TCheckBox* CB_ShowCameraBttn = nullptr;
  TCheckBox* ChB_AddImportButton = nullptr;
  TCheckBox* CB_Shotgraph = nullptr;
  TCheckBox* CB_FileSort = nullptr;
  TCheckBox* CB_PrintButton = nullptr;
  TGroupBox* GroupBoxMemofiles = nullptr;
  TCheckBox* ChB_Playsound = nullptr;
  TCheckBox* ChB_MemoButton = nullptr;
  TCheckBox* ChB_NoMemoHandling = nullptr;
  TGroupBox* GroupBoxSlideshow = nullptr;
  TCheckBox* ChB_ShowDelay = nullptr;
  TGroupBox* GroupBoxWindows = nullptr;
  TButton* BShortCut = nullptr;  // adds or removes the desktop launcher
  TZqButton* ZqButton1 = nullptr;  // "Close", modal result OK

  void FormCreate(TObject* Sender);
};

extern TFormSettings* FormSettings;
