#pragma once
// The pixel magnifier: a tool window that stays on top and shows the screen around the
// mouse pointer enlarged. This first version holds its two timers (the main window sets
// their intervals and starts them); the capture comes with the window's own work.
#include "platform/gui/Forms.h"

class TTimer;

class TUnitZoomFloat : public TForm {
 public:
  explicit TUnitZoomFloat(TComponent* AOwner);

  TTimer* Timer1 = nullptr;  // screen capture
  TTimer* Timer2 = nullptr;  // keeps the window on top

  void FormCreate(TObject* Sender);
};

extern TUnitZoomFloat* UnitZoomFloat;
