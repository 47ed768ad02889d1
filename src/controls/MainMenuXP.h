#pragma once
// TMainMenuXP: the main menu of the main window. Its items keep their own captions,
// shortcuts, check marks and handlers; this version draws them as the plain menu does
// (the flat owner-drawn look comes with the menu's own work).
#include "platform/gui/Menus.h"

class TMainMenuXP : public TMainMenu {
 public:
  explicit TMainMenuXP(TComponent* AOwner);
};
