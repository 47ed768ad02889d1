// Command handlers of the main window.
#include "core/Unit1.h"
#include "core/ProgramGlobals.h"
#include "core/UnitSetting.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

void TForm1::M_SettingsClick(TObject* /*Sender*/) {
  const std::string language = UiLanguageCode;
  FormSettings->PlaceAssociatedInListbox();
  FormSettings->PageControl1->SetActivePage(FormSettings->TabSheet1);
  FormSettings->ShowModal();
  InitFormSettings();
  if (FormSettings->JPGEdit->Text() != FEditorPath) {
    FEditorPath = FormSettings->JPGEdit->Text();
    P_OwnEditor->SetVisible(FileExists(FEditorPath));
    P_OwnEditor->SetCaption(_("Open with: ") + ExtractFileName(FEditorPath));
  }
  if (!UiLanguageCode.empty() && UiLanguageCode != language)
    ShowMessage(_("You need to restart the program to activate the new language!"));
}
