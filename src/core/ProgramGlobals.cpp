#include "core/ProgramGlobals.h"

std::string UiLanguageCode;
std::string AppKeyName;

void FinalizeProgramGlobals() {
  UiLanguageCode.clear();
  AppKeyName.clear();
}
