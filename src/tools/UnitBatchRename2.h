#pragma once
// The batch rename options dialog: replace a text in the names of the selected files, add
// a prefix or a suffix (which may hold today's date), or change the letter case. It checks
// the input and, on OK, the main window reads FRenameMode, FFindText, FNewText, ChB_Case
// and CaseGroup and renames the files.
#include <string>

#include "platform/gui/Forms.h"

class TPageControl;
class TTabSheet;
class TEdit;
class TCheckBox;
class TRadioGroup;
class TLabel;
class TZqButton;
class TZqSpeedButton;

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
  TZqButton* DateButton = nullptr; // inserts or removes the date token
  TLabel* Label3 = nullptr;        // "Pre- suffix example:"
  TLabel* Label4 = nullptr;        // the example name
  TRadioGroup* CaseGroup = nullptr;  // 0 upper case, 1 lower case
  TZqButton* ZqButton1 = nullptr;  // "Start": OK once the input is accepted
  TZqButton* ZqButton2 = nullptr;  // "Cancel", modal result Cancel
  TZqSpeedButton* ZqSpeedButton1 = nullptr;  // "Help"

  // 0 nothing, 1 replace, 2 add prefix, 3 add suffix, 4 change case.
  int FRenameMode = 0;
  std::string FFindText;
  std::string FNewText;

  // The text with its first date token replaced by today's date; a prefix then gets a
  // blank after it and a suffix a blank before it, unless it already ends (starts) with
  // a blank, '-' or '_'. A text without the token is returned as it is.
  std::string InsertDate(const std::string& Text) const;
  // The text without its first Item, or with Item inserted at the caret.
  static std::string InsertRemoveItem(const std::string& Text, const std::string& Item, int Caret);

  void FormCreate(TObject* Sender);
  // F1 opens the help.
  void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void FormActivate(TObject* Sender);
  void PrefixEditChange(TObject* Sender);
  void PrefixEditKeyPress(TObject* Sender, char& Key);
  void DateButtonClick(TObject* Sender);
  void ZqButton1Click(TObject* Sender);
};

extern TBatchRenameForm* BatchRenameForm;
