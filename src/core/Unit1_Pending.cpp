// Least versions of the main-window routines that the help work completes: enough for
// the keys and views that call them. The work on that part replaces them.
#include "core/Unit1.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

void TForm1::ShowHelpContext(int /*Context*/) {
  // The help file opens with the desktop's program for it.
  const std::string file = Application->HelpFile();
  if (!FileExists(file) || !OpenDocument(file)) ShowMessage(Format(_("The help file %s cannot be opened."), {file}));
}
