#pragma once
// The one Qt application object of the process. Graphics (fonts for canvas text)
// and the GUI layer both need it; whoever comes first creates it.
#include <functional>

class QEvent;

// Creates the application object when none exists yet, on the platform the environment
// names (a program without a display chooses the offscreen platform itself).
void EnsureQtApplication();
// Whether the windows have a place to go before the toolkit is started (which ends the
// process when its platform cannot start): Reached when the display server that the
// environment names accepts a connection, or the platform named needs none (offscreen);
// NoneNamed when neither DISPLAY nor WAYLAND_DISPLAY names one; Unreachable when the one
// named does not answer.
enum class TDisplayReach { Reached, NoneNamed, Unreachable };
TDisplayReach ReachDisplay();
// The program's arguments, kept for the application object (set by main).
void SetProgramArguments(int argc, char** argv);
// A key event on its way: the application object follows each key press and release from
// the moment it is handed to the application until its delivery ends (a key the focused
// widget leaves travels on to its parents in between). False the first time this is asked
// for the event during that delivery, true each time after; an event that was not handed
// to the application object counts as new each time. A later event is new, whatever its
// address and time.
bool KeyEventTakenUp(const QEvent* event);

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
