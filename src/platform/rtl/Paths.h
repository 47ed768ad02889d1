#pragma once
// The path helper set: every path the program builds goes through these, so separators
// are never doubled and stored Windows-style paths turn into Linux paths in one place.
#include <string>
#include <unordered_map>
#include <vector>

// a + '/' + b without doubled separators ("" parts are skipped).
std::string PathJoin(const std::string& a, const std::string& b);
std::string PathJoin(const std::string& a, const std::string& b, const std::string& c);
// A full path starts with '/'.
bool IsFullPath(const std::string& path);
// The folder path in its one canonical form: "." and ".." parts resolved textually,
// repeated separators collapsed, no trailing '/' except for the root "/".
std::string NormalizeFolderPath(const std::string& path);
// Two folder paths name the same folder text-wise after normalising (exact case).
bool SameFolderPath(const std::string& a, const std::string& b);
// Both names exist and are the same file (same device and inode).
bool SameFile(const std::string& a, const std::string& b);
// The mount point holding path (the "drive"), without a trailing '/' except "/"; "" when path is missing.
std::string MountPointOf(const std::string& path);
// The last folder name of a folder path ("Photos" for "/home/u/Photos/").
std::string LastFolderName(const std::string& path);
// The path with every link on its way resolved; of a path that does not exist, its nearest
// existing folder resolved and the rest as given.
std::string RealPath(const std::string& path);
// The existing folder with every link on its way resolved, as folder walks (which do not
// follow links) reach it, with a trailing '/'; the folder as given when it is missing.
std::string RealFolderPath(const std::string& folder);

// A stored path in the Windows form: "X:\a\b", ":\a\b" or "\a\b" (with '\' or '/').
bool IsWindowsStylePath(const std::string& stored);
// Turns a stored Windows-style path into a Linux path below root ("X:\a\b" -> root + "/a/b");
// any other text is returned with its backslashes turned into '/'.
std::string WindowsPathToLinux(const std::string& stored, const std::string& root);
// The reverse for stand-alone storage: path below root as drivePrefix + "\a\b" (drivePrefix is
// e.g. ":" or "X:"); "" when path is not below root.
std::string LinuxPathToWindows(const std::string& path, const std::string& root, const std::string& drivePrefix);
// The entry of folder whose name equals name without case (exact match preferred), as a full
// path; "" when none. For the program's own fixed file names (markers, catalogues, tools).
std::string FindNameNoCase(const std::string& folder, const std::string& name);

// The names of one folder, read once, found without case as FindNameNoCase finds them
// (exact match preferred, else the first in byte order): for many look-ups in one folder.
class TFolderNamesNoCase {
 public:
  explicit TFolderNamesNoCase(const std::string& folder);
  std::string Find(const std::string& name) const;

 private:
  std::string FFolder;
  std::unordered_map<std::string, std::vector<std::string>> FByUpperName;
};
