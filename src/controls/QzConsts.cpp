#include "controls/QzConsts.h"

#include <cstdlib>

#include "platform/i18n/GnuGetText.h"

TLanguage ExplorerLanguage = lnEnglish;

std::string TextDrive, TextFolder, TextError, TextFile, TextFrom, TextTo, TextCantDo, TextSpecifyDir, TextBadDriveId,
    TextNoDisk, TextAlreadyExists, TextBadDirName, TextConfirmRename, TextCantAddDrives, TextNewFolder, TextBadChars,
    TextNotFound, TextFilesIn, TextOpFailed, TextTreeSize, TextAllSubFolders;

TLanguage TreeLanguage() { return GetCurrentLanguage() == "nl" ? lnDutch : lnEnglish; }

TLanguage ResolveSysDefault(TLanguage language) {
  if (language != lnSysDefault) return language;
  std::string lang;
  for (const char* var : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
    if (const char* v = std::getenv(var); v && *v) {
      lang = v;
      break;
    }
  auto is = [&](const char* code) { return lang.compare(0, 2, code) == 0; };
  if (is("zh")) return lang.find("CN") != std::string::npos || lang.find("SG") != std::string::npos ? lnChinese_Sim
                                                                                                    : lnChinese_Tra;
  if (is("de")) return lnGerman;
  if (is("es")) return lnSpanish;
  if (is("fr")) return lnFrench;
  if (is("it")) return lnItalian;
  if (is("ja")) return lnJapanese;
  if (is("nl")) return lnDutch;
  if (is("pl")) return lnPolish;
  if (is("pt")) return lnPortuguese;
  if (is("sk")) return lnSlovak;
  return lnEnglish;
}

std::string ExplorerText(const char* msgid, const char* context) {
  if (ExplorerLanguage != lnDutch) return msgid;
  const std::string key = std::string(context ? context : "explorer") + '\004' + msgid;
  std::string text = _(key);
  return text == key ? std::string(msgid) : text;
}

void LoadTreeTexts() {
  TextDrive = ExplorerText("Drive ");
  TextFolder = ExplorerText("Folder \"");
  TextError = ExplorerText("ERROR - ");
  TextFile = ExplorerText(" file ");
  TextFrom = ExplorerText("From  : ");
  TextTo = ExplorerText("To     : ");
  TextCantDo = ExplorerText("ERROR - Can't ");
  TextSpecifyDir = ExplorerText("Please specify a directory");
  TextBadDriveId = ExplorerText("Not a valid Drive ID");
  TextNoDisk = ExplorerText("There is no disk in Drive or Drive is not ready");
  TextAlreadyExists = ExplorerText("already exists !");
  TextBadDirName = ExplorerText("Error - Invalid Directory Name");
  TextConfirmRename = ExplorerText("Do you want to rename the selected folder");
  TextCantAddDrives = ExplorerText("Can't add drives");
  TextNewFolder = ExplorerText("New Folder");
  TextBadChars = ExplorerText("Folder Name contains invalid characters");
  TextNotFound = ExplorerText("not found");
  TextFilesIn = ExplorerText("Files in ");
  TextOpFailed = ExplorerText("File operation failed");
  TextTreeSize = ExplorerText("TREE SIZE");
  TextAllSubFolders = ExplorerText("and all its Sub-Folders ");
}
