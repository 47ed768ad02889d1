// The main block of Kivo2: the units' initialisation (translation, picture formats, the
// stored language), the 28 windows, the message loop and the finalisation.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/ProgramForms.h"
#include "core/ProgramGlobals.h"
#include "core/StartUp.h"
#include "formats/GraphicFormats.h"
#include "platform/QtApplication.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

namespace {

// For automated runs: KIVO2_CLOSE_AFTER_MS=n closes the main window n milliseconds after
// the message loop has started, as the user would.
void ScheduleCloseFromEnvironment() {
  const char* value = std::getenv("KIVO2_CLOSE_AFTER_MS");
  if (!value || !*value) return;
  char* end = nullptr;
  long ms = std::strtol(value, &end, 10);
  if (*end != '\0' || ms < 0 || ms > 600000) return;
  auto* timer = new TTimer(Application);
  timer->SetInterval(unsigned(ms > 0 ? ms : 1));
  timer->OnTimer = [timer](TObject*) {
    timer->SetEnabled(false);
    if (TCustomForm* form = Application->MainForm()) form->Close();
  };
  timer->SetEnabled(true);
}

}  // namespace

int main(int argc, char** argv) {
  SetProgramArguments(argc, argv);
  SetCommandLine(argc, argv);

  InitTranslation(ProgramDir() + "locale");
  // Without a display, or with one that does not answer, no window can be shown: said (in
  // the environment's language) and ended before anything is read or written.
  if (const TDisplayReach reach = ReachDisplay(); reach != TDisplayReach::Reached) {
    const char* display = std::getenv("DISPLAY");
    const std::string message =
        reach == TDisplayReach::NoneNamed
            ? _("Kivo2 needs a display to show its windows, and neither DISPLAY nor WAYLAND_DISPLAY is set.")
            : Format(_("Kivo2 cannot reach the display \"%s\" to show its windows."),
                     {std::string(display && *display ? display : std::getenv("WAYLAND_DISPLAY"))});
    std::fprintf(stderr, "kivo2: %s\n", message.c_str());
    return 1;
  }
  InitializeGraphicFormats();
  InitProgramLanguage();

  Application->Initialize();
  Application->SetTitle("Kivo2");
  // The program's own icon for its windows (the stand-alone mode puts its own in place).
  try {
    TIcon icon;
    icon.LoadFromFile(ProgramDir() + "icons/kivo2.ico");
    Application->SetIcon(&icon);
  } catch (const Exception&) {
    // Without the file the windows show the desktop's default.
  }
  CreateProgramForms();
  ScheduleCloseFromEnvironment();
  InstallSessionHandler();
  Application->Run();
  SetSessionHandler(nullptr);

  DoneApplication();
  FinalizeGraphicFormats();
  FinalizeProgramGlobals();
  return 0;
}
