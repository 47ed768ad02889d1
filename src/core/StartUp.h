#pragma once
// The start-up unit: before any window exists it fixes the application key name,
// reads the stored interface language from the stand-alone ini file or the registry
// and activates it, so that every window is translated while it is created.
#include <string>

// The settings key below the registry root: "Software\Kivo\" + AppKeyName.
std::string SettingsKeyPath();
// A marker file of the program folder (its presence alone counts; the name compares
// without case, as the program's own fixed file names do).
bool ProgramMarkerExists(const std::string& programFolder, const std::string& markerName);

// Does the start-up's work for programFolder (with or without a trailing '/'):
// AppKeyName by "Unit1.pas"; UiLanguageCode from "Kivo2_usb.ini" section "U3" when
// "usb_drive.on" is present (the registry is then never touched), else from the
// registry key under HKEY_LOCAL_MACHINE ("localmachinekey.on") or HKEY_CURRENT_USER,
// creating the key when missing (the work files of killed saves beside that root's file
// removed first); adds the "corvo" domain for resource strings and
// activates the stored language, or the environment's when none is stored. Nothing it
// reads can make it fail: a missing or unreadable store leaves the language code empty.
void InitProgramLanguageFor(const std::string& programFolder);

// The unit's initialisation: InitProgramLanguageFor(ProgramDir()), once per run.
void InitProgramLanguage();

// Lets the end of the desktop session reach the main window: a request to save gives the
// settings as they are, the end of the program (logout, shutdown, SIGTERM) closes the
// main window as the user would, so that its settings are saved. The main block installs
// it before the message loop and removes it (SetSessionHandler(nullptr)) after.
void InstallSessionHandler();
