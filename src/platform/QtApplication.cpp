#include "platform/QtApplication.h"

#include <QApplication>

#include <cstdlib>
#include <vector>

namespace {
int g_argc = 1;
char g_arg0[] = "kivo2";
char* g_defaultArgv[] = {g_arg0, nullptr};
char** g_argv = g_defaultArgv;
}  // namespace

void SetProgramArguments(int argc, char** argv) {
  if (argc > 0 && argv) {
    g_argc = argc;
    g_argv = argv;
  }
}

void EnsureQtApplication() {
  if (QCoreApplication::instance()) return;
  if (!getenv("QT_QPA_PLATFORM") && !getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Lives until the process ends, like the class library's application object.
  new QApplication(g_argc, g_argv);
}
