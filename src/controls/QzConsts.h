#pragma once
// The explorer controls' languages and texts. Every text is an English message id of the
// catalogue's "explorer" context; the Dutch texts come from the catalogue. The current
// explorer language (one for all explorer controls) decides which of the two is used.
#include <string>

enum TLanguage {
  lnSysDefault,
  lnEnglish,
  lnChinese_Tra,
  lnChinese_Sim,
  lnDutch,
  lnFrench,
  lnGerman,
  lnItalian,
  lnJapanese,
  lnPolish,
  lnPortuguese,
  lnSlovak,
  lnSpanish
};

// The language of every explorer control.
extern TLanguage ExplorerLanguage;

// The language the folder tree and the folder combo use whatever is assigned: Dutch when
// the program's interface language is "nl", else English.
TLanguage TreeLanguage();
// The language lnSysDefault stands for: the system's language (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG); other values stay.
TLanguage ResolveSysDefault(TLanguage language);

// An explorer text in the current explorer language: the catalogue's Dutch text of msgid
// (in the context "explorer", or context when given) for lnDutch, msgid itself otherwise.
std::string ExplorerText(const char* msgid, const char* context = nullptr);

// The message texts the tree and the list share, filled by LoadTreeTexts.
extern std::string TextDrive, TextFolder, TextError, TextFile, TextFrom, TextTo, TextCantDo, TextSpecifyDir,
    TextBadDriveId, TextNoDisk, TextAlreadyExists, TextBadDirName, TextConfirmRename, TextCantAddDrives, TextNewFolder,
    TextBadChars, TextNotFound, TextFilesIn, TextOpFailed, TextTreeSize, TextAllSubFolders;
// Fills the text variables for the current explorer language.
void LoadTreeTexts();
