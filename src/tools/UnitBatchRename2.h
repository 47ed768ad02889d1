#pragma once
// The batch rename options dialog. After a modal result of OK the main window reads
// FRenameMode, FFindText, FNewText, ChB_Case and CaseGroup. Validating and filling the
// results come with the dialog's own work.
#include <string>

#include "platform/gui/Forms.h"

class TPageControl;
class TTabSheet;
class TEdit;
class TCheckBox;
class TRadioGroup;
class TZqButton;

class TBatchRenameForm : public TForm {
 public:
  explicit TBatchRenameForm(TComponent* AOwner);

  TPageControl* PageControl1 = nullptr;
  TTabSheet* TabSheet1 = nullptr;  // "Replace string"
  TTabSheet* TabSheet2 = nullptr;  // "Add string"
  TTabSheet* TabSheet3 = nullptr;  // "Change case"
  TEdit* Edit1 = nullptr;          // text to find
  TEdit* Edit2 = nullptr;          // replacement
  TCheckBox* ChB_Case = nullptr;   // "Case sensitive"
  TEdit* PrefixEdit = nullptr;     // the text to add
  TCheckBox* ChB_Suffix = nullptr; // "Suffix", checked at first
  TRadioGroup* CaseGroup = nullptr;  // 0 upper case, 1 lower case
  TZqButton* ZqButton1 = nullptr;  // "Start", modal result OK
  TZqButton* ZqButton2 = nullptr;  // "Cancel", modal result Cancel

  // 0 nothing, 1 replace, 2 add prefix, 3 add suffix, 4 change case.
  int FRenameMode = 0;
  std::string FFindText;
  std::string FNewText;

  void FormCreate(TObject* Sender);
};

extern TBatchRenameForm* BatchRenameForm;
