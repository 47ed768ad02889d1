#pragma once
// The one Qt application object of the process. Graphics (fonts for canvas text)
// and the GUI layer both need it; whoever comes first creates it.
#include <functional>

// Creates the application object when none exists yet. Without a display
// (no DISPLAY or WAYLAND_DISPLAY and no QT_QPA_PLATFORM) the offscreen platform is used.
void EnsureQtApplication();
// The program's arguments, kept for the application object (set by main).
void SetProgramArguments(int argc, char** argv);

// What the desktop session asks of the program.
enum class TSessionRequest {
  // Save your data: the session manager's request at the end of a login (the logout may
  // still be cancelled, so the program goes on running).
  SaveState,
  // The program is being ended: SIGTERM or SIGHUP (sent at logout and at shutdown), or the
  // application's quit request.
  EndSession,
};
// Installs the handler of the session's requests; it runs on the GUI thread, from the
// event loop. Until a handler is installed, and again after SetSessionHandler(nullptr),
// SIGTERM and SIGHUP end the process as they do by default.
void SetSessionHandler(std::function<void(TSessionRequest)> handler);
