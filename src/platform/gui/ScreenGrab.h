#pragma once
// Reading what the screen shows: the pixel magnifier copies the area around the mouse,
// the compare window keeps a picture of its panels.
//
// Programs may read the whole screen under X11 (and under the offscreen platform of the
// tests, which composes the program's windows). A display server that forbids it (Wayland)
// gives the program only its own windows: there the copy shows the program's visible
// windows in their places on a medium grey ground, so the magnifier still enlarges the
// picture the program shows.
#include <functional>

#include "platform/gui/Controls.h"

class TBitmap;

enum class TScreenSource { Desktop, ProgramWindows };

// Copies the screen rectangle (screen coordinates) into bitmap: pf24bit, the rectangle's
// size. Returns what the copy shows.
TScreenSource CopyScreenRect(const TRect& rect, TBitmap& bitmap);
// What CopyScreenRect reads on this display.
TScreenSource ScreenSourceKind();

// Renders the control as it is painted now (its client area) into bitmap (pf24bit);
// false when the control has no window.
bool PaintControlToBitmap(TControl* control, TBitmap& bitmap);

// For tests: stands in for the screen (the reader fills the bitmap for the rectangle);
// an empty function restores the real screen.
using TScreenReader = std::function<void(const TRect& rect, TBitmap& bitmap)>;
void SetScreenReader(TScreenReader reader);
