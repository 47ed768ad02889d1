#pragma once
// The file search window. The main window places it, sets EditPath to the current folder
// and shows it; EditSearch is a stored setting. The search itself comes with the window's
// own work.
#include "platform/gui/Forms.h"

class TLabel;
class TEdit;
class TZqButton;
class TQzDirTreeCombo28;

class TSearchForm : public TForm {
 public:
  explicit TSearchForm(TComponent* AOwner);

  TEdit* EditSearch = nullptr;
  TEdit* EditPath = nullptr;
  TQzDirTreeCombo28* QzDirTreeCombo281 = nullptr;  // picks a folder into EditPath
  TLabel* Actionlabel = nullptr;  // status text
  TZqButton* ZqButton2 = nullptr;  // "&Close"

  void FormCreate(TObject* Sender);
  void ZqButton2Click(TObject* Sender);
  void QzDirTreeCombo281PathChange(TObject* Sender, const std::string& SelectedPath);
};

extern TSearchForm* SearchForm;
