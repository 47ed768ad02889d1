#pragma once
// The quick-add window: a check list that the main window fills, shows and reads. No
// command opens it: the main window has no button or menu item for it, and nothing says
// what it would list or what the checked entries would do, so it stays created and hidden.
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
