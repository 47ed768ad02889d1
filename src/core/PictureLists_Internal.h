#pragma once
// The pieces that the lists' one way in and the commands' renames share.
#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <memory>
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

// What a list's file was when read: the file, its size, its modification and change time. One
// edited in place has another change time, even at its old size with its modification time
// set back (no tool sets the change time), and so has a new file given an old inode number.
struct TSignature {
  TFileId id;
  long long size = -1, sec = 0, nsec = 0, csec = 0, cnsec = 0;
  static TSignature Of(const struct stat& st) {
    return {TFileId::Of(st), static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
            static_cast<long long>(st.st_mtim.tv_nsec), static_cast<long long>(st.st_ctim.tv_sec),
            static_cast<long long>(st.st_ctim.tv_nsec)};
  }
  bool operator==(const TSignature&) const = default;
};
// The signature of the file at path (links followed); false when there is none.
bool SignatureOf(const std::string& path, TSignature& sig);
// When the file open as fd, or else at path, was made (nanoseconds since 1970): a file with the
// inode number of one removed meanwhile is newer. 0 when the file system does not say.
long long BirthOf(const std::string& path, int fd = -1);

std::string CannotChangeText(const std::string& list, int error);

// A list as a file: the file itself (links followed) and the other names of that file among
// the program's lists (hard links).
struct TListFile {
  std::string name;  // as the program names it
  std::string real;
  std::vector<std::string> others;
};
// The lists of the program, each file once (a link to another list is that list).
std::vector<TListFile> DistinctLists(const TListPlace& place);
// Every name of those files (their real paths and other names).
std::set<std::string> NamesOf(const std::vector<TListFile>& lists);
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
  // Takes those not held without waiting; false (none of them taken) when another holds one.
  bool TryLock(const TFolderSet& folders);
  bool Holds(const TFolderSet& folders) const;

 private:
  // Takes the locks of the folders not held, in the order of their paths.
  void take(const TFolderSet& folders, int timeoutMs);
  std::map<std::string, std::pair<std::string, std::unique_ptr<TFolderLock>>> held_;
};

// What a writer changes: the folders it locks, and the lists among them (their real paths)
// whose records must be in first.
struct TWanted {
  TFolderSet folders;
  std::set<std::string> lists;
};
// Locks what wanted() names under the lists' lock protocol (LockLists), taking in first the
// records of stopped programs that name those lists; raises EFOpenError, saying why, when a
// lock is not had or such a record is kept. What the take-in had to tell is added to notice.
void LockForChange(const TListPlace& place, TFolderLocks& locks, const std::function<TWanted()>& wanted,
                   std::string* notice);

// The bytes of an open list (its signature in sig); false (errno set) when it cannot be read,
// is no regular file or is (or grows while read) larger than maxBytes (EFBIG).
bool ReadListBytes(int fd, std::string& bytes, TSignature& sig, int64_t maxBytes = kMaxListFileSize);

// A change of a list's bytes: the bytes [At, At + Length) (a line, with its line end when it
// goes) become Text.
struct TListEdit {
  uint64_t At = 0, Length = 0;
  std::string Text;
};

// A list's new copy beside its file: written whole, with room set aside for a rewrite, then
// (once the room is given back and the copies flushed) put in the list's place under each of
// its names. Removed when it is not put.
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
  // Into the list's place, and under each other name that holds the same file as the list's
  // own name did (one that holds another file now is left alone); the copy is gone then (also
  // on failure, where errno says why).
  bool Put(const TListFile& file);
  void Drop();
  bool Made() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

 private:
  bool end();
  std::string path_;
  int fd_ = -1;
};
// A free hidden name beside name made a second name of real, then put in name's place; false
// (errno set) when it could not be.
bool LinkInPlaceOf(const std::string& real, const std::string& name);

// A file of a command with its device and inode, and the folder it is in (links followed).
struct TPlannedRename {
  std::string from, to;  // to empty: deleted
  TFileId file, folder;
};
// Where each file of a command is: where it was, gone (deleted, or replaced by another of its
// files), under its new name, or moved on from there by a later rename of the command (one
// planned for a file another program took away meanwhile): under that one's new name.
enum class TOutcome : uint8_t { Stays, Gone, Renamed, Further };
using TOutcomes = std::vector<TOutcome>;
// Where the command meant its files to go (those that existed when it began; of files meant
// for one name, the earlier ones go when the last replaces them there).
TOutcomes Planned(const std::vector<TPlannedRename>& plan);
// Where the files are now, as the disk has them: under the new name with the same inode, or,
// moved by a copy (to another file system), under the new name and no longer under the old
// (done: this program moved it, so also on one file system). Of two files that went to one
// name the one there by its inode, else the later one, holds it: the other was replaced there
// as the user said and went to the Trash. done may be empty (a killed program's command).
TOutcomes WhereNow(const std::vector<TPlannedRename>& plan, const std::vector<bool>& done);

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
// one of the command's last parts are looked at closer.
class TRenameIndex {
 public:
  TRenameIndex(const std::vector<TPlannedRename>& plan, const TListPlace& place);
  // The lines of a list's bytes that name entries of the command, in their order.
  std::vector<TLineHit> Hits(std::string_view bytes);
  // The rename whose old entry path names; -1 when none does.
  int OldEntryOf(const std::string& path);
  // The edits that bring a list to the renames' outcomes now: a line that named a renamed
  // file names it where it is (by the list's own way to its folder when it stayed in that
  // folder), one that named a deleted file goes, every other line keeps its bytes (chains and
  // swaps come out right: each line was matched once against the old names). A renamed line
  // whose new name a line that stays names already goes. A line written anew keeps its line
  // end. With unsure (a list changed since it was read), only a line whose name no file holds
  // now and no other rename gave a file changes; unsure counts the others.
  std::vector<TListEdit> EditsAfter(const std::vector<TLineHit>& hits, const TOutcomes& now, int* unsure = nullptr);
  // The folder (links followed), each asked once.
  TFileId FolderId(const std::string& folder);

 private:
  bool sameEntry(const std::string& path, const std::string& entry, TFileId folder);
  // Adds the hits of the line [start, end) of bytes.
  void hit(std::string_view bytes, size_t start, size_t end, std::vector<TLineHit>& hits);
  const std::vector<TPlannedRename>& plan_;
  const TListPlace& place_;
  // The first rename of each last part of the old and new names, and the next one of the same
  // last part after each rename (kNone: none).
  static constexpr uint32_t kNone = ~0u;
  std::unordered_map<std::string_view, uint32_t> byOldName_, byNewName_;
  std::vector<uint32_t> nextOld_, nextNew_;
  std::vector<std::string_view> searched_;  // the last parts looked for in a list as a whole
  std::unordered_map<std::string, TFileId> folders_;
  bool ascii_ = true;  // every last part is plain ASCII
};
