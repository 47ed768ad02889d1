// Network shares as drives: mounted and unmounted with gio (GVfs); the share's folder
// under $XDG_RUNTIME_DIR/gvfs stands for the drive.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/ShellExplorer.h"

namespace {

bool HasScheme(const std::string& text) {
  size_t colon = text.find("://");
  if (colon == std::string::npos || colon == 0) return false;
  for (size_t i = 0; i < colon; ++i) {
    char c = text[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
          c == '.'))
      return false;
  }
  return true;
}

std::string Trimmed(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return std::string();
  size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

// gio is looked up on PATH; "" when it is not installed.
std::string GioProgram() {
  std::string path = GetEnvironmentVariable("PATH");
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (!dir.empty()) {
      std::string candidate = IncludeTrailingPathDelimiter(dir) + "gio";
      if (FileExists(candidate)) return candidate;
    }
    start = end + 1;
  }
  return std::string();
}

// Runs gio with a time-out, never waiting on a password prompt (stdin is empty).
bool RunGio(const std::vector<std::string>& args, std::string& error, const std::string& failure) {
  std::string gio = GioProgram();
  if (gio.empty()) {
    error = _("The program gio is not installed; network drives cannot be connected.");
    return false;
  }
  std::vector<std::string> argv{gio};
  argv.insert(argv.end(), args.begin(), args.end());
  TProcessResult r = RunProcessAndWait(argv, 60, true);
  if (r.Outcome == TWaitOutcome::Finished && r.ExitCode == 0) return true;
  error = failure;
  return false;
}

constexpr const char* kRememberedKey = "\\Network";

}  // namespace

std::string NetworkShareUri(const std::string& typed) {
  std::string t = Trimmed(typed);
  if (t.size() > 2 && (t.compare(0, 2, "\\\\") == 0 || t.compare(0, 2, "//") == 0)) {
    std::string rest = t.substr(2);
    std::replace(rest.begin(), rest.end(), '\\', '/');
    while (!rest.empty() && rest.back() == '/') rest.pop_back();
    if (rest.empty() || rest[0] == '/') return std::string();
    return "smb://" + rest;
  }
  if (HasScheme(t) && t.find_first_of(" \t") == std::string::npos) return t;
  return std::string();
}

bool MountNetworkShare(const std::string& typed, std::string& mountPoint, std::string& error) {
  mountPoint.clear();
  std::string uri = NetworkShareUri(typed);
  if (uri.empty()) {
    error = Format(_("\"%s\" is not a network path (\\\\server\\share, smb://, sftp:// ...)."), {Trimmed(typed)});
    return false;
  }
  std::vector<std::string> before = NetworkMounts();
  if (!RunGio({"mount", uri}, error, Format(_("An error occurred while connecting %s."), {uri}))) return false;
  for (const std::string& m : NetworkMounts())
    if (std::find(before.begin(), before.end(), m) == before.end()) {
      mountPoint = m;
      return true;
    }
  // Mounted before, or mounted without a local folder.
  error = Format(_("%s was connected, but it has no local folder (is gvfs-fuse running?)."), {uri});
  return false;
}

bool UnmountNetworkShare(const std::string& mountPoint, std::string& error) {
  if (mountPoint.empty()) {
    error = _("No network drive was chosen.");
    return false;
  }
  return RunGio({"mount", "-u", ExcludeTrailingPathDelimiter(mountPoint)}, error,
                Format(_("An error occurred while disconnecting %s."), {mountPoint}));
}

void RememberNetworkShare(const std::string& typed, const std::string& mountPoint) {
  const std::string uri = NetworkShareUri(typed);
  if (uri.empty()) return;
  ForgetNetworkShare(uri);
  TRegistry registry;
  if (registry.OpenKey(kRememberedKey, true)) registry.WriteString(uri, ExcludeTrailingPathDelimiter(mountPoint));
}

void ForgetNetworkShare(const std::string& typedOrMountPoint) {
  const std::string uri = NetworkShareUri(typedOrMountPoint);
  const std::string mountPoint = ExcludeTrailingPathDelimiter(typedOrMountPoint);
  const auto shares = RememberedNetworkShares();
  TRegistry registry;
  if (shares.empty() || !registry.OpenKey(kRememberedKey, false)) return;
  for (const auto& [location, folder] : shares)
    if ((!uri.empty() && location == uri) || folder == mountPoint) registry.DeleteValue(location);
}

std::vector<std::pair<std::string, std::string>> RememberedNetworkShares() {
  std::vector<std::pair<std::string, std::string>> shares;
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(kRememberedKey)) return shares;
  TStringList names;
  registry.GetValueNames(names);
  for (int i = 0; i < names.Count(); ++i) {
    const std::string location = names.Strings(i);
    if (registry.GetDataType(location) == rdString && !NetworkShareUri(location).empty())
      shares.emplace_back(location, registry.ReadString(location));
  }
  return shares;
}
