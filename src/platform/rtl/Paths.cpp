// The path helper set: joining, normalising, comparing folders, same-file tests,
// the mount point ("drive") of a path and stored Windows-style paths.
#include "platform/rtl/Paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/rtl/SysUtils.h"

std::string PathJoin(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  std::string left = a;
  while (left.size() > 1 && left.back() == '/') left.pop_back();
  size_t start = b.find_first_not_of('/');
  if (start == std::string::npos) return IncludeTrailingPathDelimiter(left);
  if (left == "/") return "/" + b.substr(start);
  return left + "/" + b.substr(start);
}

std::string PathJoin(const std::string& a, const std::string& b, const std::string& c) {
  return PathJoin(PathJoin(a, b), c);
}

bool IsFullPath(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string NormalizeFolderPath(const std::string& path) {
  if (path.empty()) return std::string();
  bool absolute = path[0] == '/';
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    std::string part = path.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") parts.pop_back();
      else if (!absolute) parts.push_back(part);
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string r = absolute ? "/" : "";
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k) r += '/';
    r += parts[k];
  }
  if (r.empty()) r = ".";
  return r;
}

bool SameFolderPath(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return a.empty() && b.empty();
  return NormalizeFolderPath(a) == NormalizeFolderPath(b);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (a.empty() || b.empty() || ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

namespace {
// Mount points from /proc/self/mountinfo (field 5, with \040-style escapes undone).
std::vector<std::string> MountPoints() {
  std::vector<std::string> out;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    size_t pos = 0;
    for (int field = 0; field < 4 && pos != std::string::npos; ++field) {
      pos = line.find(' ', pos);
      if (pos != std::string::npos) ++pos;
    }
    if (pos == std::string::npos) continue;
    size_t end = line.find(' ', pos);
    std::string raw = line.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    std::string mp;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] >= '0' && raw[i + 1] <= '3') {
        mp += char((raw[i + 1] - '0') * 64 + (raw[i + 2] - '0') * 8 + (raw[i + 3] - '0'));
        i += 3;
      } else {
        mp += raw[i];
      }
    }
    out.push_back(mp);
  }
  return out;
}
}  // namespace

std::string MountPointOf(const std::string& path) {
  if (path.empty()) return std::string();
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return std::string();
  std::string full = real;
  std::free(real);
  std::string best;
  for (const std::string& mp : MountPoints()) {
    bool below = mp == "/" || full == mp || (full.size() > mp.size() && full.compare(0, mp.size(), mp) == 0 && full[mp.size()] == '/');
    if (below && mp.size() > best.size()) best = mp;
  }
  if (!best.empty()) return best;
  // Without mount information: the highest folder on the same device.
  struct stat st;
  if (::stat(full.c_str(), &st) != 0) return std::string();
  std::string cur = full;
  while (cur != "/") {
    std::string parent = ExtractFileDir(cur);
    struct stat ps;
    if (::stat(parent.c_str(), &ps) != 0 || ps.st_dev != st.st_dev) break;
    cur = parent;
  }
  return cur;
}

std::string LastFolderName(const std::string& path) { return ExtractFileName(ExcludeTrailingPathDelimiter(path)); }

std::string RealPath(const std::string& path) {
  std::string rest;
  for (std::string at = path;;) {
    if (char* real = ::realpath(at.c_str(), nullptr)) {
      const std::string resolved = PathJoin(real, rest);
      std::free(real);
      return resolved;
    }
    const size_t slash = at.rfind('/');
    if (at.empty() || at == "/" || slash == std::string::npos) return path;
    rest = PathJoin(at.substr(slash + 1), rest);
    at = slash == 0 ? "/" : at.substr(0, slash);
  }
}

std::string RealFolderPath(const std::string& folder) {
  char* real = folder.empty() ? nullptr : ::realpath(folder.c_str(), nullptr);
  if (!real) return folder;
  std::string resolved = IncludeTrailingPathDelimiter(real);
  std::free(real);
  return resolved;
}

namespace {
// Length of the drive part of a Windows-style path ("X:" or ":"), or -1 when it has none.
int DrivePartLength(const std::string& s) {
  auto sep = [](char c) { return c == '\\' || c == '/'; };
  if (s.size() >= 2 && s[1] == ':' && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z')) &&
      (s.size() == 2 || sep(s[2])))
    return 2;
  if (!s.empty() && s[0] == ':' && (s.size() == 1 || sep(s[1]))) return 1;
  return -1;
}
}  // namespace

bool IsWindowsStylePath(const std::string& stored) {
  return DrivePartLength(stored) >= 0 || (!stored.empty() && stored[0] == '\\');
}

std::string WindowsPathToLinux(const std::string& stored, const std::string& root) {
  int drive = DrivePartLength(stored);
  if (drive < 0 && !(stored.size() && stored[0] == '\\')) {
    if (IsFullPath(stored)) return stored;  // a Linux path may hold backslashes in names
    std::string r = stored;
    std::replace(r.begin(), r.end(), '\\', '/');
    return r;
  }
  std::string rest = stored.substr(size_t(std::max(drive, 0)));
  std::replace(rest.begin(), rest.end(), '\\', '/');
  if (rest.empty() || rest == "/") return root.empty() ? std::string("/") : NormalizeFolderPath(root);
  bool trailing = rest.back() == '/';
  std::string r = PathJoin(root.empty() ? std::string("/") : root, rest);
  if (!trailing) while (r.size() > 1 && r.back() == '/') r.pop_back();
  return r;
}

std::string LinuxPathToWindows(const std::string& path, const std::string& root, const std::string& drivePrefix) {
  std::string r = root.empty() ? std::string("/") : NormalizeFolderPath(root);
  if (!IsFullPath(path)) return std::string();
  std::string rest;
  if (r == "/") {
    rest = path.substr(1);
  } else if (path == r || path == r + "/") {
    rest = "";
  } else if (path.size() > r.size() && path.compare(0, r.size(), r) == 0 && path[r.size()] == '/') {
    rest = path.substr(r.size() + 1);
  } else {
    return std::string();
  }
  std::replace(rest.begin(), rest.end(), '/', '\\');
  return drivePrefix + "\\" + rest;
}

std::string FindNameNoCase(const std::string& folder, const std::string& name) {
  if (name.empty()) return std::string();
  std::string exact = PathJoin(folder, name);
  struct stat st;
  if (::lstat(exact.c_str(), &st) == 0) return exact;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return std::string();
  std::vector<std::string> hits;
  while (struct dirent* e = ::readdir(dir)) {
    if (AnsiSameText(e->d_name, name)) hits.emplace_back(e->d_name);
  }
  ::closedir(dir);
  if (hits.empty()) return std::string();
  std::sort(hits.begin(), hits.end());
  return PathJoin(folder, hits.front());
}

TFolderNamesNoCase::TFolderNamesNoCase(const std::string& folder) : FFolder(folder) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return;
  while (struct dirent* e = ::readdir(dir)) FByUpperName[AnsiUpperCase(e->d_name)].emplace_back(e->d_name);
  ::closedir(dir);
  for (auto& [upper, names] : FByUpperName) std::sort(names.begin(), names.end());
}

std::string TFolderNamesNoCase::Find(const std::string& name) const {
  if (name.empty()) return std::string();
  const auto found = FByUpperName.find(AnsiUpperCase(name));
  if (found == FByUpperName.end()) return std::string();
  const std::vector<std::string>& names = found->second;
  const bool exact = std::binary_search(names.begin(), names.end(), name);
  return PathJoin(FFolder, exact ? name : names.front());
}
