#pragma once
// The one Qt application object of the process. Graphics (fonts for canvas text)
// and the GUI layer both need it; whoever comes first creates it.

// Creates the application object when none exists yet. Without a display
// (no DISPLAY or WAYLAND_DISPLAY and no QT_QPA_PLATFORM) the offscreen platform is used.
void EnsureQtApplication();
// The program's arguments, kept for the application object (set by main).
void SetProgramArguments(int argc, char** argv);
