#include "controls/MainMenuXP.h"

TMainMenuXP::TMainMenuXP(TComponent* AOwner) : TMainMenu(AOwner) {}
