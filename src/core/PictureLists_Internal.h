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
  static TSignature Of(const struct stat& st) {
    return {TFileId::Of(st), static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
            static_cast<long long>(st.st_mtim.tv_nsec)};
  }
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

// A change of a list's bytes: the bytes [At, At + Length) (a line, with its line end when it
// goes) become Text.
struct TListEdit {
  uint64_t At = 0, Length = 0;
  std::string Text;
};
// The bytes with the edits (in the order of their places) made.
std::string Edited(std::string_view bytes, const std::vector<TListEdit>& edits);

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
  // A new empty copy; false (errno set) when it cannot be made.
  bool Make(const TListFile& file);
  // Its bytes (anew): text, or the bytes of the open list in (size bytes) with the edits
  // made, the unchanged parts copied inside the kernel. False (errno set) on failure.
  bool Write(std::string_view text);
  bool Write(int in, uint64_t size, const std::vector<TListEdit>& edits);
  // Sets room aside up to bytes, so that writing it anew within them cannot find the disk full.
  bool Reserve(uint64_t bytes);
  // Gives back the room set aside beyond its bytes.
  bool Trim();
  // Into the list's place under each of its names; the copy is gone then (also on failure,
  // where errno says why).
  bool Put(const TListFile& file);
  void Drop();
  bool Made() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

 private:
  bool restart();
  bool end();
  std::string path_;
  int fd_ = -1;
};
// A free hidden name beside name made a second name of real, then put in name's place;
// false (errno set) when it could not be.
bool LinkInPlaceOf(const std::string& real, const std::string& name);
// Flushes open files to their disks: one flush for each file system they are on (a single
// file by itself).
bool SyncFiles(const std::vector<int>& files);
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

// A line of a list that names an entry of a command: where it is in the list's bytes, the
// old entry of rename From it names, the new entry of rename To (-1: none; a line may be
// found once for each), and for an old entry the path the line names.
struct TLineHit {
  uint64_t At = 0;
  uint32_t Length = 0;  // without its line end
  uint8_t End = 0;      // the bytes of its line end
  int32_t From = -1, To = -1;
  std::string Path;
};

// The renames of a command by the last part of their old and new names, to find the lines
// of a list that name them: a line names an entry when it is the entry's path, or its last
// part is the entry's and its folder is the entry's folder (links followed). Only lines of
// one of the command's last parts are looked at closer: a few names are searched for in the
// bytes as a whole, many are looked up line by line.
class TRenameIndex {
 public:
  TRenameIndex(const std::vector<TPlannedRename>& plan, const TListPlace& place);
  // The lines of a list's bytes that name entries of the command, in their order.
  std::vector<TLineHit> Hits(std::string_view bytes);
  // The list names an old entry of the command.
  static bool NamesAny(const std::vector<TLineHit>& hits);
  // The rename whose old entry path names; -1 when none does.
  int OldEntryOf(const std::string& path);

 private:
  TFileId folderId(const std::string& folder);
  bool sameEntry(const std::string& path, const std::string& entry, TFileId folder);
  // Adds the hits of the line [start, end) of bytes, whose last part is name.
  void hit(std::string_view bytes, size_t start, size_t end, std::vector<TLineHit>& hits);
  const std::vector<TPlannedRename>& plan_;
  const TListPlace& place_;
  std::unordered_map<std::string_view, std::vector<uint32_t>> byOldName_, byNewName_;
  std::unordered_map<std::string, TFileId> folders_;
  bool ascii_ = true;  // every last part is plain ASCII
};

// The edits that bring a list to the renames whose outcomes are now: a line that named a
// renamed file names it where it is (by the list's own way to its folder when it stayed in
// that folder), one that named a deleted file goes, every other line keeps its bytes.
// Renames that chain or swap come out right, since each line was matched once against the
// old names. A renamed line whose new name the list names already (by a line that stays, or
// an earlier line of another file that took that name) goes: the list named that file once
// and still does. A line written anew keeps the line end it had.
std::vector<TListEdit> EditsAfter(const std::vector<TLineHit>& hits, const std::vector<TPlannedRename>& plan,
                                  const std::vector<std::optional<std::string>>& now, const TListPlace& place);

// The lists of the program, each file once (a link to another list is that list), by their
// real paths, with the other names of each.
std::vector<TListFile> DistinctLists(const TListPlace& place);
