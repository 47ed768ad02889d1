#pragma once
// The two program-wide strings. The start-up fills them before any window exists;
// the unit holds nothing else.
#include <string>

// Interface language code ("en" or "nl"); empty when none is stored.
extern std::string UiLanguageCode;
// The name the settings are stored under: "Kivo2", or "Kivo2 Corvo compiler" when the
// marker file "Unit1.pas" lies in the program folder.
extern std::string AppKeyName;

// The unit's finalisation, run when the program ends: clears both strings.
void FinalizeProgramGlobals();
