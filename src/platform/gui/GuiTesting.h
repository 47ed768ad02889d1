#pragma once
// Input and rendering for tests: delivers key and mouse events to controls as the
// window system would, and renders a control into a bitmap (also under the offscreen
// platform). Coordinates are the control's client coordinates.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/gui/Controls.h"

class TBitmap;
class TMenuItem;

namespace GuiTesting {

// A key press and release at the control's focused window (the control itself, or its
// inner edit); ch is the character the key types ('\0': none).
void PressKey(TControl* target, uint16_t key, TShiftState shift = TShiftState(), char ch = '\0');
// Types text (one key press per character) into the control.
void TypeText(TControl* target, const std::string& text);
void MouseDown(TControl* target, TMouseButton button, int x, int y, TShiftState shift = TShiftState());
void MouseUp(TControl* target, TMouseButton button, int x, int y, TShiftState shift = TShiftState());
void MouseMove(TControl* target, int x, int y, TShiftState shift = TShiftState());
// The rectangle, in the control's client coordinates, of the window inside the control
// that has the keyboard focus (an in-place editor); empty when none inside has it.
TRect FocusedRect(TControl* control);
// A key press and release (PostKey) or a click (PostClick) handed to the event loop, as the
// window system queues input: delivered at the next turn that handles events (of the main
// loop, or of a wait that pumps them).
void PostKey(TControl* target, uint16_t key, TShiftState shift = TShiftState(), char ch = '\0');
void PostClick(TControl* target, int x, int y);
// Press and release.
void Click(TControl* target, int x, int y, TMouseButton button = mbLeft, TShiftState shift = TShiftState());
// Press, release, double-click press and release, as the window system sends them.
void DoubleClick(TControl* target, int x, int y);
// A wheel step (120 = one notch away from the user).
void Wheel(TControl* target, int delta, int x, int y, TShiftState shift = TShiftState());
// Renders the control as it is painted now (the control must sit on a form): a form
// with its menu bar, another control its client area.
bool Grab(TControl* control, TBitmap& out);
// The rectangle of a menu item in the menu (or menu bar) that shows it, laid out as it
// would be shown; empty when the item is not in a menu.
TRect MenuItemRect(TMenuItem* item);
// Renders the drop-down menu of parent (its sub-items) as it would be shown.
bool GrabMenu(TMenuItem* parent, TBitmap& out);
// Steps a scroll box's bar as the user does with its arrows (positive: down or right).
void ScrollStep(TControl* scrollBox, bool vertical, int steps);
// Drags the thumb of a scroll box's bar through the given positions and lets it go.
void DragScrollThumb(TControl* scrollBox, bool vertical, const std::vector<int>& positions);
// The window system gives a form's window width x height, and then a resize notice
// that reports reportedWidth x reportedHeight (a late notice of an earlier size, as a
// window manager sends when a window shown maximised still had a request on its way).
void WindowSystemResize(TControl* form, int width, int height, int reportedWidth, int reportedHeight);
// The labels and buttons of the toolkit's own file dialog as it would show now.
std::vector<std::string> FileDialogTexts();
// The texts that a user cannot read whole: of root and of every control on it, hidden
// ones too, each text that needs more room than its control gives it or than the part of
// the control its parent shows ("Label1 \"Size\": needs 52x15, has 40x15"); column
// captions, entries of a tree wider than the tree, full paths in a list whose end is cut
// or that do not show whole as their tooltip, lines of a memo that neither wraps nor
// scrolls sideways wider than the memo, and a panel's caption under one of its controls.
std::vector<std::string> CutTexts(TControl* root);
// The columns of the toolkit's own file dialog, opened on folder as the program opens it,
// whose caption or widest cell it cuts (in its width or at the view's right edge).
std::vector<std::string> FileDialogCutTexts(const std::string& folder);
// The toolkit's own file dialog, opened in front of the window that asks as the program
// opens it, with the keys (and the characters they type, '\0': none) given one after the
// other to its file-name box. The box's text then; open: the dialog is still open.
std::string KeysInFileDialog(const std::vector<std::pair<uint16_t, char>>& keys, bool& open);
// Runs `open`, a call that shows a dialog of the toolkit and waits for it (as TOpenDialog's
// Execute does with the script switched off), and `inside` once that dialog shows; a
// dialog still open after `inside` is closed as Cancel.
void WhileToolkitDialogShows(const std::function<void()>& open, const std::function<void()>& inside);
// A dialog of the toolkit shows.
bool ToolkitDialogShows();
// The entry `name` of the list of the toolkit's file dialog that shows, once its folder is
// read (10 s at most): the texts of its row in the detail view, the entries of the list's
// context menu on it, and what Delete and then F2, pressed on it in the list as a user
// presses them, bring up: the questions asked (each answered Yes) and an editor of its name.
struct FileDialogEntry {
  std::vector<std::string> cells, menu, questions;
  bool editor = false;
};
FileDialogEntry InFileDialogList(const std::string& name);
// Handles pending events (paint, posted calls, timers that are due).
void ProcessEvents();
// One turn of the program's main loop: pending events, then the application's idle work.
void Idle();
// Waits up to ms milliseconds while handling events, until done returns true.
bool WaitUntil(const std::function<bool()>& done, int ms);

}  // namespace GuiTesting
