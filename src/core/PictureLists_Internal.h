#pragma once
// The pieces that the lists' one way in and the commands' renames share: what a list's file
// is, the locks of its folders, reading it, finding the lines that name a command's files,
// and writing a list's new copy and putting it in place.
#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/PictureLists.h"

class TFolderLock;

// A file or folder by its device and inode; unknown (0, 0) when it could not be asked.
struct TFileId {
  unsigned long long dev = 0, ino = 0;
  static TFileId Of(const struct stat& st) { return {st.st_dev, st.st_ino}; }
  bool Known() const { return dev != 0 || ino != 0; }
  bool Is(const struct stat& st) const { return Known() && st.st_dev == dev && st.st_ino == ino; }
  bool operator==(const TFileId&) const = default;
};

// What a list's file was when read: the file, its size and its modification time. A list
// rewritten by another program is a new file; one edited in place has another size or time.
struct TSignature {
  TFileId id;
  long long size = -1, sec = 0, nsec = 0;
  bool operator==(const TSignature&) const = default;
};
// The signature of the file at path (links followed); false when there is none.
bool SignatureOf(const std::string& path, TSignature& sig);

// The path with links followed; for an entry that does not exist, its folder's real path
// and its name; the path itself when not even the folder exists.
std::string RealPath(const std::string& path);

// A list as a file: the file itself (links followed) and the other names of that file among
// the program's lists (hard links).
struct TListFile {
  std::string name;  // as the program names it
  std::string real;
  std::vector<std::string> others;
};
// The file the list is; lists gives the program's lists, asked only when the file has more
// than one name.
TListFile ResolveList(const std::string& list, const std::function<std::vector<std::string>()>& lists);
// Folders to be locked, each with the file in it that a wait for its lock names.
using TFolderSet = std::map<std::string, std::string>;
// The folders a list's names live in.
TFolderSet FoldersOf(const TListFile& file);

// The locks of a set of folders, taken in the order of their paths: when a folder to be
// added comes before one held, all are let go and taken again in order.
class TFolderLocks {
 public:
  TFolderLocks();
  ~TFolderLocks();
  // Raises as TFolderLock raises (the caller then lets them all go).
  void Lock(const TFolderSet& folders, int timeoutMs);
  bool Holds(const TFolderSet& folders) const;

 private:
  std::map<std::string, std::pair<std::string, std::unique_ptr<TFolderLock>>> held_;
};

// The bytes of a list (its signature in sig); false (errno set) when it cannot be read, is
// no regular file or is larger than maxBytes (EFBIG).
bool ReadListBytes(const std::string& path, std::string& bytes, TSignature* sig, int64_t maxBytes = kMaxListFileSize);

// A list's new copy beside its file: written whole, with room set aside for a rewrite, then
// (once the room is given back and the copies flushed) put in the list's place, and linked
// under the list's other names. Removed when it is not put.
class TListCopy {
 public:
  TListCopy() = default;
  ~TListCopy();
  TListCopy(TListCopy&& other) noexcept;
  TListCopy& operator=(TListCopy&& other) noexcept;
  TListCopy(const TListCopy&) = delete;
  TListCopy& operator=(const TListCopy&) = delete;
  // False (errno set) when it cannot be written; nothing is left then.
  bool Make(const TListFile& file, std::string_view text, size_t reserve);
  // Its bytes anew (within the room set aside).
  bool Rewrite(std::string_view text);
  // Gives back the room set aside beyond its bytes.
  bool Trim();
  // Into the list's place under each of its names; the copy is gone then (also on failure,
  // where errno says why).
  bool Put(const TListFile& file);
  void Drop();
  bool Made() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};
// A free hidden name beside name made a second name of real, then put in name's place;
// false (errno set) when it could not be.
bool LinkInPlaceOf(const std::string& real, const std::string& name);
// Flushes the copies to their disks: one flush for each file system they are on.
bool SyncCopies(const std::vector<TListCopy*>& copies);
// Writes text as the list's new content, under each of its names, flushed; false (errno set)
// when it could not be written (the list is then as it was, or as far as its names went).
bool ReplaceList(const TListFile& file, std::string_view text);

// A file of a command with its device and inode, and the folder it is in (links followed).
// After a kill its rename took place when the file is found under its new name (or, moved to
// another file system by a copy, when a file stands under the new name and none under the old
// one).
struct TPlannedRename {
  std::string from, to;  // to empty: deleted
  TFileId file, folder;
};

// Where the file of p is now: its new name, "" when it was deleted, nothing when the rename
// did not take place (skipped, failed or not reached: the file is where it was). done: this
// program moved it, so a file under its new name and none under its old one is its copy
// also on one file system.
std::optional<std::string> WhereNow(const TPlannedRename& p, bool done);

// A line of a list that names an entry of a command: the old one of rename From, or the new
// one of rename To (-1: none).
struct TLineHit {
  uint32_t line = 0;
  int32_t from = -1, to = -1;
};

// The renames of a command by the last part of their old and new names, to find the lines
// of a list that name them: a line names an entry when it is the entry's path, or its last
// part is the entry's and its folder is the entry's folder (links followed). Only lines of
// one of the command's last parts are looked at closer.
class TRenameIndex {
 public:
  TRenameIndex(const std::vector<TPlannedRename>& plan, const TListPlace& place);
  // The lines of a list's bytes that name entries of the command; lines, when given,
  // receives how many lines the list has.
  std::vector<TLineHit> Hits(std::string_view bytes, int* lines = nullptr);
  // The list names an old entry of the command.
  static bool NamesAny(const std::vector<TLineHit>& hits);
  // The rename whose old entry path names; -1 when none does.
  int OldEntryOf(const std::string& path);

 private:
  TFileId folderId(const std::string& folder);
  bool sameEntry(const std::string& path, const std::string& entry, TFileId folder);
  int newEntryOf(const std::string& path, const std::vector<uint32_t>& renames);
  const std::vector<TPlannedRename>& plan_;
  const TListPlace& place_;
  std::unordered_map<std::string_view, std::vector<uint32_t>> byOldName_, byNewName_;
  std::unordered_map<std::string, TFileId> folders_;
};

// The text of a list after the renames whose outcomes are now: a line that named a renamed
// file names it where it is (by the list's own way to its folder when it stayed in that
// folder), one that named a deleted file goes, every other line stays. Renames that chain
// or swap come out right, since each line was matched once against the old names. A renamed
// line whose new name the list names already (by a line that stays, or an earlier line of
// another file that took that name) goes: the list named that file once and still does.
// changed tells whether any line changed; the text's lines end in CR LF.
std::string TextAfter(std::string_view bytes, const std::vector<TLineHit>& hits, const std::vector<TPlannedRename>& plan,
                      const std::vector<std::optional<std::string>>& now, const TListPlace& place, bool& changed);

// The lists of the program, each file once (a link to another list is that list), by their
// real paths, with the other names of each.
std::vector<TListFile> DistinctLists(const TListPlace& place);
