// The explorer's shell routines: opening files, the guarded file operations, the folder
// browser, drives, path strings, icons, special folders, properties and network shares.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "controls/QzFileExplorer28.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/shell/Shell.h"
#include "platform/shell/ShellExplorer.h"

const std::string InvalidFolderChars = "\\*?/=\"<>|:,;+^";

namespace {

std::string Home() {
  std::string h = GetEnvironmentVariable("HOME");
  return h.empty() ? std::string("/") : ExcludeTrailingPathDelimiter(h);
}

bool EntryExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

// Asks before sources go to the trash (the shell asked too).
bool ConfirmTrash(const std::vector<std::string>& sources) {
  std::string text = sources.size() == 1
                         ? Format(_("Do you want to move \"%s\" to the trash?"),
                                  {ExtractFileName(ExcludeTrailingPathDelimiter(sources[0]))})
                         : Format(_("Do you want to move these %d items to the trash?"), {int(sources.size())});
  return MessageDlg(text, mtConfirmation, {mbYes, mbNo}, 0) == mrYes;
}

}  // namespace

bool ShellExecuteFile(const std::string& operation, const std::string& fileName, const std::string& parameters,
                      int /*showCmd*/, const std::string& folder) {
  bool ok = false;
  std::string reason;
  if (!fileName.empty()) {
    struct stat st;
    const bool program = ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(fileName.c_str(), X_OK) == 0;
    if (program && !parameters.empty()) {
      std::vector<std::string> argv{fileName};
      for (const std::string& word : SplitCommandLine(parameters)) argv.push_back(word);
      ok = StartDetached(argv, folder);
    } else {
      ok = OpenDocument(fileName, &reason);
    }
  }
  if (!ok) MessageDlg(TextCantDo + operation + TextFile + fileName + (reason.empty() ? "" : "\n" + reason), mtError, {mbOK}, 0);
  return ok;
}

bool IsDrivePath(const std::string& path) {
  std::string p = ExcludeTrailingPathDelimiter(path);
  if (p.empty()) return false;
  if (p == "/" || p == Home() || p == ExcludeTrailingPathDelimiter(UserFolder(TUserFolder::Desktop))) return true;
  for (const TExplorerDrive& d : ExplorerDrives())
    if (d.Path == p) return true;
  return MountPointOf(p) == p;
}

bool MayLackMedium(const std::string& drivePath) {
  const std::string p = ExcludeTrailingPathDelimiter(drivePath);
  for (const TExplorerDrive& d : ExplorerDrives())
    if (d.Path == p) return d.Kind == dkRemovable || d.Kind == dkCDRom;
  return false;
}

bool ShellFileOperation(TShellFileOp operation, const std::vector<std::string>& sources, const std::string& target,
                        bool* reported) {
  if (reported) *reported = false;
  if (sources.empty()) return false;
  if (operation == foDelete) {
    for (const std::string& s : sources)
      if (!EntryExists(ExcludeTrailingPathDelimiter(s)) || IsDrivePath(s)) return false;
    // No to the question: nothing is done, and the user needs no message to know it.
    if (!ConfirmTrash(sources)) {
      if (reported) *reported = true;
      return false;
    }
    bool ok = true;
    for (const std::string& s : sources) ok = MoveToTrash(ExcludeTrailingPathDelimiter(s)) && ok;
    return ok;
  }
  if (target.empty()) return false;
  const bool intoFolder = target.back() == '/';
  if (!intoFolder && sources.size() != 1) return false;
  bool ok = true;
  for (const std::string& raw : sources) {
    const std::string source = ExcludeTrailingPathDelimiter(raw);
    const std::string dest = intoFolder ? PathJoin(target, ExtractFileName(source)) : target;
    struct stat st;
    if (!EntryExists(source) || ::lstat(source.c_str(), &st) != 0) {
      ok = false;
      continue;
    }
    // Drives are never moved or renamed away; nothing goes onto itself or into itself.
    if (operation != foCopy && IsDrivePath(source)) {
      ok = false;
      continue;
    }
    if (SameFile(source, dest) || (S_ISDIR(st.st_mode) && IsSameOrInside(ExtractFileDir(dest), source))) {
      ok = false;
      continue;
    }
    if (TargetExists(dest)) {
      if (reported) *reported = true;
      ok = false;
      continue;
    }
    switch (operation) {
      case foCopy: ok = CopyPath(source, dest) && ok; break;
      case foMove: ok = MovePath(source, dest) && ok; break;
      case foRename: ok = RenameFile(source, dest) && ok; break;
      default: ok = false;
    }
  }
  return ok;
}

bool ShellFileOperation(TShellFileOp operation, const std::string& source, const std::string& target,
                        bool* reported) {
  return ShellFileOperation(operation, std::vector<std::string>{source}, target, reported);
}

std::string DoubleNullTerminate(const std::string& text) {
  if (text.empty() || text.back() == '\0') return text;
  return text + '\0';
}

bool NameHasAnyChar(const std::string& chars, const std::string& text) {
  return text.find_first_of(chars) != std::string::npos;
}

bool BrowseForFolder(std::string& path, int rootKind, bool /*includeFiles*/) {
  std::string root;
  if (rootKind == 1) root = UserFolder(TUserFolder::Desktop);
  if (rootKind == 4) root = UserFolder(TUserFolder::Documents);
  std::string dir = path;
  if (!SelectDirectory(TextSpecifyDir, root, dir) || dir.empty() || !DirectoryExists(dir)) return false;
  path = AddBackslash(dir);
  return true;
}

int64_t DiskSizeKB(const std::string& path) {
  int64_t size = DiskSize(path.empty() ? "/" : path);
  return size < 0 ? -1 : size / 1024;
}

int64_t DiskFreeKB(const std::string& path) {
  int64_t free = DiskFree(path.empty() ? "/" : path);
  return free < 0 ? -1 : free / 1024;
}

bool CheckDriveReady(const std::string& path, bool showMessage) {
  if (path.empty() || path[0] != '/') {
    if (showMessage) MessageDlg(TextBadDriveId, mtError, {mbOK}, 0);
    return false;
  }
  const bool ready = DirectoryExists(path) && ::access(path.c_str(), R_OK | X_OK) == 0 && DiskSizeKB(path) >= 0;
  if (!ready && showMessage) {
    MessageBeep();
    MessageDlg(TextNoDisk, mtWarning, {mbOK}, 0);
  }
  return ready;
}

std::string ConcatPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || name.empty()) return std::string();
  return AddBackslash(folder) + name;
}

std::string AddBackslash(const std::string& path) {
  if (path.empty() || path.back() == '/') return path;
  return path + '/';
}

std::string StripBackslash(const std::string& path) {
  if (path.size() > 1 && path.back() == '/') return path.substr(0, path.size() - 1);
  return path;
}

std::string FileTimeText(TDateTime time, const std::string& dateFormat, const std::string& timeFormat) {
  return FormatDateTime(dateFormat + " " + timeFormat, time);
}

bool TargetExists(const std::string& path) {
  std::string p = path;
  while (!p.empty() && (p.back() == '\0' || (p.back() == '/' && p.size() > 1))) p.pop_back();
  if (!EntryExists(p)) return false;
  MessageDlg("\"" + ExtractFileName(p) + "\" " + TextAlreadyExists, mtError, {mbOK}, 0);
  return true;
}

int GetIconIndex(const std::string& path) { return SystemIconIndex(path, false); }
int GetOpenIconIndex(const std::string& path) { return SystemIconIndex(path, true); }

std::string SizeText(const std::string& typeText, int64_t size) {
  if (UpperCase(typeText) == "DIR") return " ";
  int64_t kb = size > 0 && size < 1024 ? 1 : size / 1024;
  return std::to_string(kb) + " KB";
}

std::string GetShellFolderPath(int kind) {
  std::string path;
  std::string data = GetEnvironmentVariable("XDG_DATA_HOME");
  if (data.empty()) data = Home() + "/.local/share";
  std::string config = GetEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.empty()) config = Home() + "/.config";
  switch (kind) {
    case 0: path = UserFolder(TUserFolder::Desktop); break;
    case 3: path = UserFolder(TUserFolder::Documents); break;
    case 4:
    case 6: path = data + "/applications"; break;
    case 7: path = config + "/autostart"; break;
    default: break;
  }
  return AddBackslash(path);
}

std::string NameWithoutExtension(const std::string& path) {
  std::string name = ExtractFileName(path);
  return name.substr(0, name.size() - ExtractFileExt(name).size());
}

void ShowPropertiesDialog(const std::string& path) {
  const std::string p = ExcludeTrailingPathDelimiter(path);
  struct stat st;
  if (p.empty() || ::stat(p.c_str(), &st) != 0) return;
  const bool folder = S_ISDIR(st.st_mode);
  std::string text = p + "\n\n";
  text += _("Type: ") + FileTypeName(p, folder) + "\n";
  if (!folder) text += _("Size: ") + FormatFloat("#,##0", double(st.st_size)) + " " + _("bytes") + "\n";
  text += _("Modified: ") + FormatDateTime("c", UnixToLocalDateTime(st.st_mtime)) + "\n";
  text += _("Accessed: ") + FormatDateTime("c", UnixToLocalDateTime(st.st_atime)) + "\n";
  TDriveInfo drive;
  if (DriveInfoOfPath(p, drive)) {
    text += _("Drive: ") + drive.MountPoint + "\n";
    text += _("Free space: ") + FormatFloat("#,##0", double(drive.FreeBytes) / 1024.0) + " KB " + _("of") + " " +
            FormatFloat("#,##0", double(drive.TotalBytes) / 1024.0) + " KB";
  }
  MessageDlg(text, mtInformation, {mbOK}, 0);
}

int AddNetConnection(const std::string& remotePath, bool showError, std::string& mountPoint, bool reconnect) {
  std::string error;
  if (MountNetworkShare(remotePath, mountPoint, error)) {
    if (reconnect)
      RememberNetworkShare(remotePath, mountPoint);
    else
      ForgetNetworkShare(remotePath);
    return 0;
  }
  if (showError) MessageDlg(_("Error while connecting!") + std::string("\n") + error, mtError, {mbOK}, 0);
  return 1;
}

void RestoreNetConnections(bool showError) {
  const std::vector<std::string> mounted = NetworkMounts();
  for (const auto& [location, folder] : RememberedNetworkShares()) {
    if (std::find(mounted.begin(), mounted.end(), folder) != mounted.end()) continue;
    std::string mountPoint, error;
    if (MountNetworkShare(location, mountPoint, error))
      RememberNetworkShare(location, mountPoint);
    else if (showError)
      MessageDlg(Format(_("The network drive %s could not be connected again."), {location}) + "\n" + error,
                 mtWarning, {mbOK}, 0);
  }
}
