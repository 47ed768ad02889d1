#pragma once
// The progress window: a borderless message window with two text lines and a progress
// bar that the main window shows during long jobs, and a running bar that tells the
// program is busy.
#include "platform/gui/Forms.h"

class TLabel;
class TProgressBar;

class TShowProgressForm : public TForm {
 public:
  explicit TShowProgressForm(TComponent* AOwner);

  TLabel* ShowText = nullptr;
  TLabel* Showtext2 = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  TProgressBar* Animate1 = nullptr;  // runs without end while the window shows

  void FormCreate(TObject* Sender);
};

extern TShowProgressForm* ShowProgressForm;
