// Least versions of the main-window routines that the history, help and shows work
// completes: enough for the keys and views that call them. The work on those parts
// replaces them.
#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

void TForm1::FillHistory() {}

void TForm1::Reload1Click(TObject* /*Sender*/) {
  // The folder is listed anew.
  FLastPath.clear();
  setWithQzDirPath(false);
}

void TForm1::M_OpenShowClick(TObject* /*Sender*/) {
  // Closes the paperclip and shows view; the folder tree takes its place again.
  if (!TreeView1->Visible()) return;
  TreeView1->SetVisible(false);
  QzDirTree211->SetVisible(true);
  Zq_CustomShow->SetDown(false);
}

void TForm1::ShowHelpContext(int /*Context*/) {
  // The help file opens with the desktop's program for it.
  const std::string file = Application->HelpFile();
  if (!FileExists(file) || !OpenDocument(file)) ShowMessage(Format(_("The help file %s cannot be opened."), {file}));
}
