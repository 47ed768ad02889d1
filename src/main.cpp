// The main block of Kivo2.
#include "platform/QtApplication.h"
#include "platform/rtl/SysUtils.h"

int main(int argc, char** argv) {
  SetProgramArguments(argc, argv);
  SetCommandLine(argc, argv);
  EnsureQtApplication();
  return 0;
}
