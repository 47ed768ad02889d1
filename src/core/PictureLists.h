#pragma once
// The picture lists of the main window (the paperclip list and the show files): finding
// a picture among the lines of a list, and writing back what a view of the list made of
// it without losing the lines the view could not show.
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// A name with a line break cannot be a line of a list: read back it would be two bogus lines.
inline bool NameFitsListLine(const std::string& path) { return path.find_first_of("\r\n") == std::string::npos; }

// The path a line of a list names (in stand-alone mode a Windows-style line lies on the
// program's drive), and the line a path is stored as.
using TListLineMap = std::function<std::string(const std::string&)>;

// The paths of a list's lines, looked up by path: the same text, or else the same file
// under a name in other letter case on a file system that ignores case. Paths compare
// exactly first: on Linux two names that differ in letter case are two files.
class TPathIndex {
 public:
  TPathIndex() = default;
  TPathIndex(const std::vector<std::string>& lines, const TListLineMap& lineToPath);
  // The first line naming path; -1 when none.
  int IndexOf(const std::string& path) const;
  // Adds the path of line index (a line appended to the list).
  void Add(const std::string& path, int index);
  // The line is no longer found (it is about to be removed; indexes do not shift).
  void Forget(int index);

 private:
  std::vector<std::string> paths_;  // by line index; "" for removed lines
  std::unordered_multimap<std::string, int> byPath_;
  std::unordered_multimap<std::string, int> byFolded_;
};

// The lines of a list after a view of it changed. lines: the file's lines as they are now;
// shown: which of them the view listed (their paths, in order, were the view's entries);
// entries: the view's entries now (reordered, some removed, some repeated). The result holds the
// entries, each as the line that named it before (the stored form kept) or else as
// pathToLine makes it, and every line the view did not list at its old index (or at the
// end when the list got shorter), in its old order.
std::vector<std::string> LinesInViewOrder(const std::vector<std::string>& lines, const std::vector<bool>& shown,
                                          const std::vector<std::string>& entries, const TListLineMap& lineToPath,
                                          const TListLineMap& pathToLine);
