#pragma once
// TvShortcut: a non-visual component that writes a launcher for a program on the user's
// desktop, in the user's application menu, in a given folder, or in all three. On Linux a
// launcher is a freedesktop ".desktop" file (what a ".lnk" shortcut is on Windows).
#include <string>

#include "platform/rtl/Classes.h"

enum TShortcutDest { sdDeskTop, sdStartMenu, sdFolder, sdAll };

class TvShortcut : public TComponent {
 public:
  explicit TvShortcut(TComponent* AOwner);

  // Full path of the program the launcher starts.
  std::string FullExePath() const { return FFullExePath; }
  void SetFullExePath(const std::string& v) { FFullExePath = v; }
  // The folder for sdFolder and sdAll.
  std::string ShortcutFolder() const { return FShortcutFolder; }
  void SetShortcutFolder(const std::string& v) { FShortcutFolder = v; }
  // Command-line arguments, written as a command line ('...' and "..." quote words).
  std::string ExeParameters() const { return FExeParameters; }
  void SetExeParameters(const std::string& v) { FExeParameters = v; }
  // The launcher's name without ".desktop" (what the user sees under the icon).
  std::string ShortcutCaption() const { return FShortcutCaption; }
  void SetShortcutCaption(const std::string& v) { FShortcutCaption = v; }
  // sdFolder and sdAll need ShortcutFolder set first: without it a warning is shown and
  // the destination stays the desktop.
  TShortcutDest Destination() const { return FDestination; }
  void SetDestination(TShortcutDest v);

  // Writes the launcher for the current destination; an existing one of the same name is
  // replaced. A launcher that cannot be written on the desktop or in the menu raises
  // EFCreateError / EWriteError; one that cannot be written in the folder is reported in a
  // message box.
  void MakeShortcut();

  // The file name a launcher with this caption gets in a folder.
  static std::string LauncherPath(const std::string& folder, const std::string& caption);
  // The text of the launcher for the current properties.
  std::string LauncherText() const;
  // The user's application menu folder ($XDG_DATA_HOME/applications).
  static std::string StartMenuFolder();

 private:
  void writeLauncher(const std::string& folder) const;

  TShortcutDest FDestination = sdDeskTop;
  std::string FFullExePath;
  std::string FShortcutFolder;
  std::string FExeParameters;
  std::string FShortcutCaption;
};
