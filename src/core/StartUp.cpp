#include "core/StartUp.h"

#include "core/ProgramGlobals.h"
#include "core/Unit1.h"
#include "platform/QtApplication.h"
#include "platform/gui/Forms.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {

int g_initCount = 0;

// A stored language code ends up in the translation library's search path, so only a
// plain code ("nl", "en_GB", "sr@latin") is activated; anything else is ignored.
bool IsPlainLanguageCode(const std::string& code) {
  if (code.empty() || code.size() > 16) return false;
  for (char c : code) {
    bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && c != '_' && c != '-' && c != '@' && c != '.') return false;
  }
  return code.front() != '.';
}

std::string LanguageFromIni(const std::string& programFolder) {
  std::string iniName = FindNameNoCase(programFolder, "Kivo2_usb.ini");
  if (iniName.empty()) iniName = PathJoin(programFolder, "Kivo2_usb.ini");
  TIniFile ini(iniName);
  return ini.ReadString("U3", "Language", UiLanguageCode);
}

std::string LanguageFromRegistry(const std::string& programFolder) {
  const HKEY root = ProgramMarkerExists(programFolder, "localmachinekey.on") ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  // What a save killed before its rename left beside the settings file goes first.
  ClearLeftovers(ExtractFileDir(RegistryFileName(root)));
  TRegistry reg(KEY_ALL_ACCESS);
  reg.SetRootKey(root);
  std::string language;
  if (reg.OpenKey(SettingsKeyPath(), true)) language = reg.ReadString("Language");
  reg.CloseKey();
  return language;
}

}  // namespace

std::string SettingsKeyPath() { return "Software\\Kivo\\" + AppKeyName; }

bool ProgramMarkerExists(const std::string& programFolder, const std::string& markerName) {
  std::string found = FindNameNoCase(programFolder, markerName);
  return !found.empty() && FileExists(found);
}

void InitProgramLanguageFor(const std::string& programFolder) {
  AppKeyName = ProgramMarkerExists(programFolder, "Unit1.pas") ? "Kivo2 Corvo compiler" : "Kivo2";
  UiLanguageCode.clear();
  try {
    if (ProgramMarkerExists(programFolder, "usb_drive.on"))
      UiLanguageCode = LanguageFromIni(programFolder);
    else
      UiLanguageCode = LanguageFromRegistry(programFolder);
  } catch (const Exception&) {
    // A store that cannot be read leaves the language empty; start-up shows no message.
    UiLanguageCode.clear();
  }
  AddDomainForResourceString("corvo");
  // One road for the language, whichever way it was chosen: the stored one, else (a first
  // start) the environment's, so that a first start shows the formats and the toolkit's
  // dialogs of its language as every later start does. The code stays as stored.
  if (IsPlainLanguageCode(UiLanguageCode))
    UseLanguage(UiLanguageCode);
  else
    UseEnvironmentLanguage();
}

void InitProgramLanguage() {
  if (g_initCount++ != 0) return;
  InitProgramLanguageFor(ProgramDir());
}

void InstallSessionHandler() {
  SetSessionHandler([](TSessionRequest request) {
    if (!Form1) {
      if (request == TSessionRequest::EndSession) Application->Terminate();
      return;
    }
    if (request == TSessionRequest::SaveState)
      Form1->SaveSettingsForSession();
    else
      Form1->EndOfSession();
  });
}
