#pragma once
// The find-folder dialog. The caller sets the caption of ChB_Root and shows it modally;
// FFolderName holds the folder name to look for, empty when the user closed the dialog.
#include <string>

#include "platform/gui/Forms.h"

class TEdit;
class TCheckBox;
class TZqButton;

class TFormFolderFind : public TForm {
 public:
  explicit TFormFolderFind(TComponent* AOwner);

  TEdit* Edit1 = nullptr;        // the folder name (or part of it)
  TCheckBox* ChB_Root = nullptr; // checked: the search starts at the drive root
  TZqButton* ZqButton1 = nullptr;  // "Start"
  TZqButton* ZqButton2 = nullptr;  // "Close"

  std::string FFolderName;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void ZqButton1Click(TObject* Sender);
  void ZqButton2Click(TObject* Sender);
  void Edit1KeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
};

extern TFormFolderFind* FormFolderFind;
