#pragma once
// The notice of a busy wait: a small window that says what the program waits for and that
// Esc stops the wait. WaitBusy shows it when the wait lasts more than a moment.
#include <functional>
#include <string>

#include "platform/gui/Forms.h"

class TLabel;

class TBusyForm : public TForm {
 public:
  // name is the window's name (its role for the window manager).
  TBusyForm(TComponent* AOwner, const std::string& name, const std::string& caption, const std::string& text);

  TLabel* Label1 = nullptr;  // what is waited for
  TLabel* Label2 = nullptr;  // that Esc stops the wait
};

// The wait of the file layer for a lock another program holds, on the GUI thread a busy
// wait whose notice names the file; the waiter the application installs in the file layer
// (SetLockWaiter). False when the user stopped it with Esc.
bool WaitBusyForLock(const std::string& fileName, const std::function<bool()>& over);
