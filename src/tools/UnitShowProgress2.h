#pragma once
// The progress window: a borderless message window with two text lines and a progress
// bar that the main window shows during long jobs.
#include "platform/gui/Forms.h"

class TLabel;
class TProgressBar;

class TShowProgressForm : public TForm {
 public:
  explicit TShowProgressForm(TComponent* AOwner);

  TLabel* ShowText = nullptr;
  TLabel* Showtext2 = nullptr;
  TProgressBar* ProgressBar1 = nullptr;

  void FormCreate(TObject* Sender);
};

extern TShowProgressForm* ShowProgressForm;
