// The preferences dialog's system options: the desktop launcher of the program and the
// stand-alone marker "usb_drive.on" beside it.
#include "controls/vShortcut.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "core/UnitSetting.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"

namespace {

// The marker files lie beside the program and compare without case, as the start-up finds them.
std::string MarkerFile(const std::string& name) { return FindNameNoCase(Form1->FProgramDir, name); }

}  // namespace

std::string TFormSettings::DesktopLinkPath() const {
  return TvShortcut::LauncherPath(DesktopFolder(), Form1->FAppName);
}

void TFormSettings::InitShotcutDialogs() {
  BShortCut->SetCaption(FileExists(DesktopLinkPath()) ? _("Remove shortcut from the desktop")
                                                      : _("Add shortcut to the desktop"));
}

void TFormSettings::DesktopShortcut() {
  vShortcut1->SetFullExePath(Form1->FProgramDir + "kivo2");
  vShortcut1->SetShortcutFolder(Form1->FProgramDir);
  vShortcut1->SetExeParameters(std::string());
  vShortcut1->SetShortcutCaption(Form1->FAppName);
  vShortcut1->SetDestination(sdDeskTop);
  vShortcut1->MakeShortcut();
}

void TFormSettings::BShortCutClick(TObject* /*Sender*/) {
  const std::string link = DesktopLinkPath();
  if (FileExists(link))
    ForceDeleteFile(link);
  else
    DesktopShortcut();
  InitShotcutDialogs();
}

void TFormSettings::updateUsbCaption() {
  USB_Button->SetCaption(MarkerFile("usb_drive.on").empty() ? "Enable Kivo2 USB drive stand alone mode"
                                                            : "Disable Kivo2 USB drive stand alone mode");
}

void TFormSettings::USB_ButtonClick(TObject* /*Sender*/) {
  const std::string on = MarkerFile("usb_drive.on");
  const std::string off = MarkerFile("usb_drive.off");
  if (!off.empty() || on.empty()) {
    if (TranslatedMessageDialog("Enable this only when the Kivo2 is on a removable drive, like an USB pen/drive\n"
                                "Are you sure to enable this mode?",
                                mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
      return;
    if (!off.empty()) ForceDeleteFile(off);
    const std::string marker = on.empty() ? Form1->FProgramDir + "usb_drive.on" : on;
    // The mode only starts when the marker is really there: a read-only program folder
    // must not be reported as success.
    bool written = true;
    try {
      SaveTextFileAtomically(marker, "Kivo2 USB on/off file\r\n");
    } catch (const Exception&) {
      written = false;
    }
    if (written && FileExists(marker))
      ShowMessage("You need to restart Kivo2 now to enable stand alone mode!.");
    else
      ShowMessage(Format(_("%s could not be written: stand alone mode stays off."), {marker}));
  } else {
    if (TranslatedMessageDialog("Disables Kivo2 removable USB pen/drive mode\nAre you sure to disable this mode?",
                                mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
      return;
    if (ForceDeleteFile(on))
      ShowMessage("You need to restart Kivo2 now!.");
    else
      ShowMessage(Format(_("%s could not be deleted: stand alone mode stays on."), {on}));
  }
  updateUsbCaption();
}
