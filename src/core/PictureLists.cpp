// Picture lists: finding pictures among the lines of a list and writing a view back.
#include "core/PictureLists.h"

#include <algorithm>

#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

TPathIndex::TPathIndex(const std::vector<std::string>& lines, const TListLineMap& lineToPath) {
  for (size_t i = 0; i < lines.size(); ++i) Add(lineToPath(lines[i]), int(i));
}

void TPathIndex::Add(const std::string& path, int index) {
  if (index < 0) return;
  if (size_t(index) >= paths_.size()) paths_.resize(size_t(index) + 1);
  paths_[size_t(index)] = path;
  if (path.empty()) return;
  byPath_.emplace(path, index);
  byFolded_.emplace(AnsiUpperCase(path), index);
}

void TPathIndex::Forget(int index) {
  if (index < 0 || size_t(index) >= paths_.size() || paths_[size_t(index)].empty()) return;
  const std::string path = paths_[size_t(index)];
  for (auto* map : {&byPath_, &byFolded_}) {
    auto range = map->equal_range(map == &byPath_ ? path : AnsiUpperCase(path));
    for (auto it = range.first; it != range.second; ++it)
      if (it->second == index) {
        map->erase(it);
        break;
      }
  }
  paths_[size_t(index)].clear();
}

int TPathIndex::IndexOf(const std::string& path) const {
  if (path.empty()) return -1;
  int found = -1;
  auto exact = byPath_.equal_range(path);
  for (auto it = exact.first; it != exact.second; ++it)
    if (found < 0 || it->second < found) found = it->second;
  if (found >= 0) return found;
  // Another spelling of the same file: only names that differ in letter case at most
  // are asked of the disk (a name on a file system that ignores case).
  auto folded = byFolded_.equal_range(AnsiUpperCase(path));
  for (auto it = folded.first; it != folded.second; ++it)
    if ((found < 0 || it->second < found) && SameFile(paths_[size_t(it->second)], path)) found = it->second;
  return found;
}

std::vector<std::string> LinesInViewOrder(const std::vector<std::string>& lines, const std::vector<bool>& shown,
                                          const std::vector<std::string>& entries, const TListLineMap& lineToPath,
                                          const TListLineMap& pathToLine) {
  // The stored form of each shown path (the first line that named it).
  std::unordered_map<std::string, std::string> storedAs;
  std::vector<std::pair<size_t, std::string>> unshown;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i < shown.size() && shown[i])
      storedAs.emplace(lineToPath(lines[i]), lines[i]);
    else
      unshown.emplace_back(i, lines[i]);
  }
  std::vector<std::string> result;
  result.reserve(entries.size() + unshown.size());
  for (const std::string& entry : entries) {
    auto it = storedAs.find(entry);
    result.push_back(it != storedAs.end() ? it->second : pathToLine(entry));
  }
  for (auto& [index, line] : unshown) result.insert(result.begin() + std::min(index, result.size()), line);
  return result;
}
