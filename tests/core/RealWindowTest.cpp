// The program as a user meets it under a real window manager: build/Kivo2/kivo2 on its
// own X server (Xvfb) with openbox, driven by keys and clicks (xdotool) and read back
// from the window manager (xprop, xwininfo) and from screenshots. Each case starts the
// program once and walks several steps, as such runs cost seconds.
#include <filesystem>

#include "MainWindowFixture.h"
#include "RealWindow.h"

namespace fs = std::filesystem;
using testsupport::RealWindow;
using testsupport::XRect;

namespace {

std::string Stored(const std::string& name) {
  return UserRegistryValues(RealWindow::RegistryFile())[name];
}

}  // namespace

// Started fresh, the main window is framed and lies on the screen; its close box ends
// the program normally, which stores the window's state.
TEST(RealWindow, TheMainWindowIsFramedOnTheScreenAndItsCloseBoxEndsTheProgram) {
  KIVO2_REQUIRE_REAL_WINDOW();
  RealWindow x;
  ASSERT_TRUE(x.Start({})) << x.Error();
  const unsigned long main = x.MainWindow();
  EXPECT_GT(x.Frame(main).top, 0) << x.Describe();
  const XRect screen{0, 0, 1600, 1000};
  EXPECT_TRUE(screen.contains(x.Geometry(main))) << x.Describe();
  EXPECT_EQ(x.Close(), 0) << x.Log();
  EXPECT_FALSE(Stored("WinStatusMain").empty());
}
