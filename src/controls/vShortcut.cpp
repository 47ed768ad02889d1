#include "controls/vShortcut.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/gui/Dialogs.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/shell/Shell.h"

namespace {

// A value of type string in a desktop entry: backslash and control characters escaped,
// a leading blank kept as "\s".
std::string EscapeEntryValue(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case ' ': out += i == 0 ? "\\s" : " "; break;
      default: out += c;
    }
  }
  return out;
}

// One argument of an Exec line: quoted when it holds a reserved character, '%' doubled so
// that it is no field code.
std::string QuoteExecArgument(const std::string& arg) {
  static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
  bool quote = arg.empty();
  for (char c : arg)
    if (reserved.find(c) != std::string::npos) quote = true;
  std::string out;
  if (quote) out += '"';
  for (char c : arg) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  if (quote) out += '"';
  return out;
}

// An icon file beside the program with the program's name, when there is one.
std::string ProgramIcon(const std::string& exePath) {
  for (const char* ext : {".png", ".svg", ".xpm"}) {
    const std::string icon = ChangeFileExt(exePath, ext);
    if (FileExists(icon)) return icon;
  }
  return std::string();
}

}  // namespace

TvShortcut::TvShortcut(TComponent* AOwner) : TComponent(AOwner) {}

void TvShortcut::SetDestination(TShortcutDest v) {
  if ((v == sdFolder || v == sdAll) && FShortcutFolder.empty()) {
    MessageDlg(_("You must specify a folder for the shortcut !"), mtWarning, mbOK, 0);
    FDestination = sdDeskTop;
    return;
  }
  FDestination = v;
}

std::string TvShortcut::LauncherPath(const std::string& folder, const std::string& caption) {
  return PathJoin(folder, caption + ".desktop");
}

std::string TvShortcut::StartMenuFolder() {
  std::string data = GetEnvironmentVariable("XDG_DATA_HOME");
  if (!IsFullPath(data)) data = PathJoin(GetEnvironmentVariable("HOME"), ".local/share");
  return PathJoin(data, "applications");
}

std::string TvShortcut::LauncherText() const {
  std::string exec = QuoteExecArgument(FFullExePath);
  for (const std::string& arg : SplitCommandLine(FExeParameters)) exec += " " + QuoteExecArgument(arg);
  std::string text = "[Desktop Entry]\n";
  text += "Type=Application\n";
  text += "Version=1.0\n";
  text += "Name=" + EscapeEntryValue(FShortcutCaption) + "\n";
  text += "Exec=" + EscapeEntryValue(exec) + "\n";
  const std::string workDir = ExtractFilePath(FFullExePath);
  if (!workDir.empty()) text += "Path=" + EscapeEntryValue(workDir) + "\n";
  const std::string icon = ProgramIcon(FFullExePath);
  if (!icon.empty()) text += "Icon=" + EscapeEntryValue(icon) + "\n";
  text += "Terminal=false\n";
  return text;
}

void TvShortcut::writeLauncher(const std::string& folder) const {
  // An unknown folder must not turn into a launcher at the file system's root.
  const std::string path = LauncherPath(folder, FShortcutCaption);
  if (!IsFullPath(folder))
    throw EFCreateError(Format(_("Cannot create file \"%s\". %s"), {path, SysErrorMessage(ENOENT)}));
  SaveTextFileAtomically(path, LauncherText());
  // Desktops start a launcher from the desktop only when it is executable.
  chmod(path.c_str(), 0755);
}

void TvShortcut::MakeShortcut() {
  // The desktop and the menu folder are made when missing (a fresh account may have no
  // desktop folder yet, as file managers know); a failure shows when the launcher is written.
  auto made = [](const std::string& folder) {
    if (IsFullPath(folder)) ForceDirectories(folder);
    return folder;
  };
  if (FDestination == sdDeskTop || FDestination == sdAll) writeLauncher(made(UserFolder(TUserFolder::Desktop)));
  if (FDestination == sdStartMenu || FDestination == sdAll) writeLauncher(made(StartMenuFolder()));
  if (FDestination == sdFolder || FDestination == sdAll) {
    try {
      writeLauncher(FShortcutFolder);
    } catch (const Exception& e) {
      ShowMessage(e.Message());
    }
  }
}
