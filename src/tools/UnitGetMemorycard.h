#pragma once
// The memory-card import window. This first version holds the fields and components the
// main window sets before showing it and the settings store reads; listing and copying
// come with the window's own work.
#include "platform/gui/Forms.h"

class TQzDirTree21;
class TStaticText;
class TLabel;
class TProgressBar;
class TCheckBox;
class TPanel;
class TEdit;
class TZqButton;

class TFormGetcard : public TForm {
 public:
  explicit TFormGetcard(TComponent* AOwner);

  TQzDirTree21* QzDirTree211 = nullptr;   // source folder
  TStaticText* StaticText2 = nullptr;     // destination folder
  TLabel* Label3 = nullptr;               // name of the clicked file
  TProgressBar* ProgressBar1 = nullptr;
  TCheckBox* ChB_CardFilePrefix = nullptr;  // "Enable Prefix/Suffix"
  TPanel* PanelPrefix = nullptr;            // hidden at first
  TEdit* PrefixEdit = nullptr;
  TCheckBox* ChB_Suffix = nullptr;          // "Suffix", checked at first
  TZqButton* ZqButton2 = nullptr;           // "&Cancel"

  // True from the confirmation of a copy until the window closes.
  bool FCopying = false;

  void FormCreate(TObject* Sender);
  void ZqButton2Click(TObject* Sender);
};

extern TFormGetcard* FormGetcard;
