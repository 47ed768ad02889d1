#pragma once
// The real program in real windows: build/Kivo2/kivo2 run as a user runs it, on an X
// server of its own (Xvfb) under a window manager (openbox), driven with xdotool and read
// back with xprop, xwininfo and ImageMagick's import - what the window manager and the
// user see, never what the program says of itself.
//
// Each window of the program carries its form's name as its X window role
// (WM_WINDOW_ROLE), so "Form1" is the main window, "UnitZoomFloat" the magnifier.
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "TestSupport.h"

namespace testsupport {

// A rectangle in root-window coordinates.
struct XRect {
  int x = 0, y = 0, width = 0, height = 0;
  int right() const { return x + width; }
  int bottom() const { return y + height; }
  bool contains(const XRect& r) const { return r.x >= x && r.y >= y && r.right() <= right() && r.bottom() <= bottom(); }
  bool operator==(const XRect&) const = default;
};
// The window manager's frame around a window's client area.
struct XFrame {
  int left = 0, right = 0, top = 0, bottom = 0;
};

class RealWindow {
 public:
  // Each member has an initializer, so a designated-initializer list may leave any out.
  struct Options {
    int screenWidth = 1600, screenHeight = 1000;
    // The height of a task bar at the bottom: the window manager keeps it out of the work area.
    int panelHeight = 0;
    std::vector<std::string> arguments{};
    // "nl" starts in Dutch; empty: English.
    std::string language{};
    // More values of the program's registry key, as lines of its file:
    // "\"WinStatusMain\"=dword:00000001".
    std::vector<std::string> registryValues{};
    // A second start keeps what the first run stored (language and values are ignored).
    bool keepSettings = false;
    // More environment for the program only: "NAME=value".
    std::vector<std::string> environment{};
    // The window manager with the distribution's own settings (its theme and bold title
    // font) instead of the test's; the panel height is then ignored.
    bool stockManager = false;
  };

  // The tool that is missing for a real-window test, or empty when all are there.
  static std::string MissingTool();

  RealWindow() = default;
  ~RealWindow();
  RealWindow(const RealWindow&) = delete;
  RealWindow& operator=(const RealWindow&) = delete;

  // Starts the X server and the window manager (once per object) and then the program,
  // and waits until its main window is mapped. On failure Error() says why.
  bool Start(const Options& options);
  // Closes the main window as the window manager's close box does and waits for the
  // program to end; ends it with SIGTERM and then SIGKILL when it does not. The exit
  // code, or -1 when it had to be killed.
  int Close(int timeoutMs = 20000);
  bool Running();
  // Ends the program at once with SIGKILL, as a crash or a power cut does, and reaps it;
  // without reap it waits for the end only and leaves a zombie until Reap (or the end of
  // this object), as a parent that is slow to reap does.
  void Kill(bool reap = true);
  void Reap();
  const std::string& Error() const { return error_; }
  // What the program wrote to stdout and stderr so far.
  std::string Log() const;
  const std::string& Display() const { return display_; }
  // The program's process id (to read its /proc entries); -1 when it is not running.
  pid_t Pid() const { return program_; }
  // The program's registry file (settings) under the test's sandbox.
  static std::string RegistryFile();

  // Runs an X tool on this display (with a time limit).
  CommandResult Tool(std::vector<std::string> argv, int timeoutSeconds = 20) const;

  // The main window (role "Form1"), as found at the start.
  unsigned long MainWindow() const { return main_; }
  // A mapped window of the program with this role, or 0.
  unsigned long FindWindow(const std::string& role) const;
  // Waits until a window with this role is mapped; 0 on time-out.
  unsigned long WaitForWindow(const std::string& role, int timeoutMs = 10000) const;
  // The program's mapped windows.
  std::vector<unsigned long> Windows() const;
  // Every mapped window of the program with its role, title, place, state: for messages.
  std::string Describe() const;

  // Input, as a user gives it: keys go to the window that has the keyboard. Keys are
  // xdotool's names, several separated by blanks ("Down Right Return", "ctrl+o").
  void Key(const std::string& keys) const;
  void Type(const std::string& text) const;
  void MoveMouse(int x, int y) const;
  void Click(int x, int y, int button = 1) const;
  // Asks the window manager to activate the window and waits until it is active.
  bool Activate(unsigned long window) const;
  unsigned long ActiveWindow() const;

  // Read back from the X server and the window manager.
  std::string Property(unsigned long window, const std::string& name) const;  // xprop's line
  std::string Role(unsigned long window) const;
  std::string Title(unsigned long window) const;
  std::vector<std::string> State(unsigned long window) const;  // _NET_WM_STATE atoms
  bool HasState(unsigned long window, const std::string& atom) const;
  XRect Geometry(unsigned long window) const;  // the client area, from xwininfo
  XFrame Frame(unsigned long window) const;    // _NET_FRAME_EXTENTS
  bool Viewable(unsigned long window) const;
  // True when `upper` is stacked above `lower` (_NET_CLIENT_LIST_STACKING).
  bool Above(unsigned long upper, unsigned long lower) const;
  XRect WorkArea() const;
  // The whole screen into a PNG file.
  bool Screenshot(const std::string& pngFile) const;

  // Polls until the condition holds; false on time-out.
  static bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);

 private:
  bool startServer(int width, int height, int panel, bool stock);
  void writeSettings(const Options& options) const;
  void stopServer();

  std::string display_;
  std::string error_;
  std::string logFile_;
  pid_t server_ = -1, manager_ = -1, program_ = -1, zombie_ = -1;
  int serverWidth_ = 0, serverHeight_ = 0, serverPanel_ = 0;
  bool serverStock_ = false;
  unsigned long main_ = 0;
};

}  // namespace testsupport

#define KIVO2_REQUIRE_REAL_WINDOW()                                                              \
  do {                                                                                           \
    const std::string missing_ = testsupport::RealWindow::MissingTool();                         \
    if (!missing_.empty()) GTEST_SKIP() << missing_ << " missing: no real-window test";          \
  } while (0)
