// Picture lists: finding pictures among the lines of a list and applying a window's change.
#include "core/PictureLists.h"

#include "platform/rtl/Classes.h"
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

bool EditListLines(TStringList& list, const std::vector<std::string>& view, const std::vector<std::string>& entries,
                   const TListLineMap& lineToPath, const TListLineMap& pathToLine) {
  // A blank line is found as any other line: by a key no path has.
  auto key = [](const std::string& path) { return path.empty() ? std::string("\n") : path; };
  const std::vector<std::string> lines = list.ToVector();
  TPathIndex index(lines, [&](const std::string& line) { return key(lineToPath(line)); });
  // The line each view entry was filled from; -1 when it has gone since.
  std::unordered_map<std::string, std::vector<int>> viewed;
  for (const std::string& entry : view) {
    const int line = index.IndexOf(key(entry));
    index.Forget(line);
    viewed[entry].push_back(line);
  }
  // The user's order: the line of each kept entry, or the text of an added one (line -1).
  std::vector<std::pair<int, std::string>> order;
  std::unordered_map<std::string, size_t> kept;
  for (const std::string& entry : entries) {
    const std::vector<int>& was = viewed[entry];
    const size_t k = kept[entry]++;
    if (k < was.size()) {
      if (was[k] >= 0) order.emplace_back(was[k], std::string());
    } else if (was.empty() || was.front() >= 0) {
      if (const int other = index.IndexOf(key(entry)); other >= 0)
        index.Forget(other);
      else
        order.emplace_back(-1, was.empty() ? pathToLine(entry) : lines[size_t(was.front())]);
    }
  }
  std::vector<char> removed(lines.size()), placed(lines.size());
  for (const auto& [entry, was] : viewed)
    for (size_t k = kept[entry]; k < was.size(); ++k)
      if (was[k] >= 0) removed[size_t(was[k])] = 1;
  for (const auto& [line, text] : order)
    if (line >= 0) placed[size_t(line)] = 1;
  // The kept lines in the user's order in the places they hold, each followed by the
  // entries added after it; the other lines where they are.
  std::vector<std::string> result;
  result.reserve(lines.size() + order.size());
  size_t next = 0;
  auto added = [&] {
    for (; next < order.size() && order[next].first < 0; ++next) result.push_back(std::move(order[next].second));
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    if (removed[i]) continue;
    if (!placed[i]) {
      result.push_back(lines[i]);
      continue;
    }
    added();
    result.push_back(lines[size_t(order[next++].first)]);
    added();
  }
  added();
  if (result == lines) return false;
  list.Clear();
  list.AddStrings(result);
  return true;
}
