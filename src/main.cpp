// The main block of Kivo2.
#include "platform/QtApplication.h"

int main(int argc, char** argv) {
  SetProgramArguments(argc, argv);
  EnsureQtApplication();
  return 0;
}
