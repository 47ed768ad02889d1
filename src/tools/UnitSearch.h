#pragma once
// The file search window. The main window places it, sets EditPath to the current folder
// and shows it; EditSearch is a stored setting. The search itself comes with the window's
// own work.
#include "platform/gui/Forms.h"

class TLabel;
class TEdit;
class TZqButton;

class TSearchForm : public TForm {
 public:
  explicit TSearchForm(TComponent* AOwner);

  TEdit* EditSearch = nullptr;
  TEdit* EditPath = nullptr;
  TLabel* Actionlabel = nullptr;  // status text
  TZqButton* ZqButton2 = nullptr;  // "&Close"

  void FormCreate(TObject* Sender);
  void ZqButton2Click(TObject* Sender);
};

extern TSearchForm* SearchForm;
