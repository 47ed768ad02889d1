// Start and end of the program inside a benchmark that measures the viewer itself.
#pragma once

#include "core/ProgramForms.h"
#include "core/ProgramGlobals.h"
#include "formats/GraphicFormats.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/SysUtils.h"

namespace bench {

// The program's formats and forms as a start makes them, the main window not shown.
inline void StartViewer(int argc, char** argv) {
  SetCommandLine(argc, argv);
  InitializeGraphicFormats();
  Application->Initialize();
  CreateProgramForms();
}

inline void EndViewer() {
  DoneApplication();
  FinalizeGraphicFormats();
  FinalizeProgramGlobals();
}

}  // namespace bench
