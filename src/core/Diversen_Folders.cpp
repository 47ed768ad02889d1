// Diversen: enumerating folders and files. Walks never enter links to folders, so a link
// pointing back up the tree cannot make them loop.
#include <functional>

#include "core/Diversen.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

namespace {

// Calls visit for every entry of folder (except "." and "..") that FindFirst lists for attr.
void ForEachEntry(const std::string& folder, const std::string& mask, int attr,
                  const std::function<void(const TSearchRec&)>& visit) {
  TSearchRec sr;
  if (FindFirst(PathJoin(folder, mask), attr, sr) != 0) return;
  do {
    if (sr.Name != "." && sr.Name != "..") visit(sr);
  } while (FindNext(sr) == 0);
  FindClose(sr);
}

bool IsRealFolder(const TSearchRec& sr) { return (sr.Attr & faDirectory) && !(sr.Attr & faSymLink); }

}  // namespace

void ListSubFoldersRecursive(const std::string& folder, TStrings& list) {
  ForEachEntry(folder, "*", faAnyFile, [&](const TSearchRec& sr) {
    if (!IsRealFolder(sr)) return;
    std::string sub = PathJoin(folder, sr.Name);
    list.Add(sub);
    ListSubFoldersRecursive(sub, list);
  });
}

void ListFolderTree(const std::string& folder, TStrings& list) {
  if (folder.empty() || !DirectoryExists(folder)) return;
  list.Add(folder);
  ListSubFoldersRecursive(folder, list);
}

void ListFilesInFolder(const std::string& folder, TStrings& list) {
  ForEachEntry(folder, "*", faAnyFile, [&](const TSearchRec& sr) {
    if (!(sr.Attr & faDirectory)) list.Add(PathJoin(folder, sr.Name));
  });
}

void ListAllFilesInTree(const std::string& folder, TStrings& list) {
  TStringList folders;
  ListFolderTree(folder, folders);
  for (int i = 0; i < folders.Count(); ++i) ListFilesInFolder(folders.StringRef(i), list);
}

int CountFilesInFolder(const std::string& folder) {
  int count = 0;
  ForEachEntry(folder, "*", faAnyFile, [&](const TSearchRec& sr) {
    if (!(sr.Attr & faDirectory)) ++count;
  });
  return count;
}

bool IsFolderEmpty(const std::string& folder) {
  bool empty = true;
  ForEachEntry(folder, "*", faAnyFile, [&](const TSearchRec&) { empty = false; });
  return empty;
}

int64_t FolderFilesSize(const std::string& folder) {
  int64_t total = 0;
  // Plain files only: hidden entries and folders are not listed for faArchive.
  ForEachEntry(folder, "*", faArchive, [&](const TSearchRec& sr) {
    if (!(sr.Attr & faDirectory)) total += GetFileSizeByName(PathJoin(folder, sr.Name));
  });
  return total;
}

void ListShowFiles(const std::string& folder, TStringList& list) {
  ForEachEntry(folder, "*.shw", faAnyFile, [&](const TSearchRec& sr) { list.Add(sr.Name); });
  list.Sort();
}
