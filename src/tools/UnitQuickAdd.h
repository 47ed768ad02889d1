#pragma once
// The quick-add window: a check list that the main window fills, shows and reads.
#include "platform/gui/Forms.h"

class TPanel;
class TLabel;
class TCheckListBox;

class TFormQuickAdd : public TForm {
 public:
  explicit TFormQuickAdd(TComponent* AOwner);

  TPanel* Panel1 = nullptr;
  TLabel* Label1 = nullptr;  // word-wrapped explanation
  TCheckListBox* CheckListBox1 = nullptr;

  void FormCreate(TObject* Sender);
};

extern TFormQuickAdd* FormQuickAdd;
