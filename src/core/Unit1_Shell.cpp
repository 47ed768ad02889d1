// Opening a file or web page through the desktop, and a file type's registered program
// (the desktop's MIME database and default desktop entries).
#include <vector>

#include "core/Unit1.h"
#include "platform/gui/Dialogs.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {

bool IsUrl(const std::string& text) { return text.find("://") != std::string::npos || StartsText("mailto:", text); }

// The shell's answer for how the desktop took a document.
int ShellOpenResult(TOpenOutcome outcome) {
  switch (outcome) {
    case TOpenOutcome::Opened: return SE_OK;
    case TOpenOutcome::Missing: return SE_ERR_FNF;
    case TOpenOutcome::NoProgram: return SE_ERR_NOASSOC;
    default: return 0;
  }
}

}  // namespace

int TForm1::RunShellCommand(const std::string& File, const std::string& /*Parameters*/, const std::string& Folder,
                            int /*ShowMode*/) {
  if (File.empty()) return SE_ERR_FNF;
  if (IsUrl(File)) return ShellOpenResult(OpenDocumentOutcome(File));
  // A file is handed to the program of its type, never run, whatever its mode or first
  // bytes: a picture list may hold anything a card or a share carries.
  std::string path = File;
  if (!IsFullPath(path) && !Folder.empty()) path = PathJoin(Folder, path);
  if (!FileExists(path)) return SE_ERR_FNF;
  return ShellOpenResult(OpenDocumentOutcome(ExpandFileName(path)));
}

void TForm1::OpenWithShell(const std::string& File) {
  const int result = RunShellCommand(File, "", ExtractFilePath(File), SW_SHOWNORMAL);
  if (result == SE_ERR_NOASSOC)
    ShowMessage(_("No associated program for this file type."));
  else if (result <= 32)
    ShowMessage(Format(_("The file %s could not be opened."), {File}));
}

void TForm1::GetAssociationInfo(const std::string& Extension, std::string& Info, std::string& ProgramName) {
  Info = "n/a";
  ProgramName = "n/a";
  const std::string type = MimeTypeOfExtension(Extension);
  if (type.empty()) return;
  const std::string entry = DefaultDesktopEntry(type);
  if (entry.empty()) return;
  const std::string command = DesktopEntryValue(entry, "Exec");
  if (command.empty()) return;
  std::string displayName = MimeTypeComment(type);
  Info = "Extension: " + Extension + "\rTypename: " + type + "\rDisplayname: " + displayName + "\rServer: " + command;
  // The program part of the command: its first word.
  std::vector<std::string> words = SplitCommandLine(command);
  if (!words.empty()) ProgramName = ExtractFileName(words[0]);
}
