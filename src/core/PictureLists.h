#pragma once
// The picture lists of the main window (the paperclip list and the show files): finding
// a picture among the lines of a list, writing back what a view of the list made of it
// without losing the lines the view could not show, and the lists following the files
// that commands rename, move or delete.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TStringList;

// The names, each on a line of its own, as a message lists them.
std::string NameLines(const std::vector<std::string>& names);

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

// Applies a change the user made in a window to a list's lines as they are now. view: the
// entries (paths of lines) the window was filled with, in their order, or only those the
// change is about when it only removes or adds; entries: what the user made of them. The
// k-th entry of a path in view is the k-th line naming it. A view entry that entries no
// longer hold takes its line out; the others keep their lines, which take the entries'
// order among the places those lines hold. An entry beyond the view's is added after the
// entry before it (at the end when none is), in the stored form of a line of its path or
// else as pathToLine makes it, unless the list holds a line naming it that the view did not
// (another program added it meanwhile) or every line the view had of it is gone. Lines the
// view did not hold (missing pictures, lines added meanwhile) stay where they are, and a
// line of the view that has gone stays gone. True when the lines changed.
bool EditListLines(TStringList& lines, const std::vector<std::string>& view, const std::vector<std::string>& entries,
                   const TListLineMap& lineToPath, const TListLineMap& pathToLine);

// A list of pictures is text of a line per picture; a larger file is no such list, and is
// neither shown nor changed.
constexpr int64_t kMaxListFileSize = int64_t(64) << 20;

// ===========================================================================
// The one way into the lists
// ===========================================================================
// Every change of a list (the paperclip, a show) and of the entries that hold lists (a
// show made, removed, renamed or moved, a show folder) goes through the calls below, by
// commands and by the program's own windows alike. A list is the file it is: a symbolic
// link is followed to it, and it is changed under the lock of the folder that file lives
// in; every other name of that file among the lists (a hard link) takes the change with
// it. Folders are locked in the order of their paths, each once within the program (its
// commands run one after the other: it never waits for itself), so two programs never
// wait for each other. Once its locks are held, a change first takes in the renames of
// programs that died meanwhile (see below); then its list is read under its lock and
// written whole beside itself, then put in its place.
//
// The lock protocol, kept in one place (LockLists in PictureLists_Renames.cpp):
// - A command locks the folders of the lists that name its files before it writes its
//   record of renames, and keeps them until the record is gone.
// - A record's lock is taken only by a program that already holds the locks of every list
//   the record names (those that are lists of this program, where the record names them and
//   where they are now). So a program that holds a list's lock never meets a locked record
//   of that list but its own: a record whose lists it holds belongs to no running command.
// - Every lock a program needs is taken in the order of the paths before it takes a
//   record's lock; when it must add an earlier folder it lets go of all, records too, and
//   asks again which folders it needs.
// - Before a list is changed, the records of stopped programs that name it (the same file,
//   wherever it is now), or that renamed a file to a name the change renames, are taken in.
//   A start takes in every record whose lists it can lock without waiting. A record that
//   cannot be taken in now is kept: it stops only the changes of the lists it names.

// Where the lists of pictures live and how their lines name files.
struct TListPlace {
  std::string DataFolder;                            // the journals' folder, with a trailing '/'
  std::function<std::vector<std::string>()> Lists;  // every list: the paperclip, each show
  TListLineMap LineToPath, PathToLine;
  int LockTimeoutMs = 10000;
};

// Changes one list as one step no other program can come between: locks its folder, reads
// it (no lines when it does not exist), lets change edit the lines, and when change returns
// true writes them to the file and each of its names. True when it wrote. Raises, with the
// list as it was, when a lock is not had or a stopped program's renames cannot be taken in
// now (EFOpenError), when the list cannot be read or is larger than maxBytes (EReadError),
// or when it cannot be written (EWriteError). change must not wait for the user. What taking
// those renames in had to say besides (a record set aside) is added to notice, to be told
// once the locks are let go.
bool ChangeListLines(const TListPlace& place, const std::string& list,
                     const std::function<bool(TStringList& lines)>& change, int64_t maxBytes = kMaxListFileSize,
                     std::string* notice = nullptr);
// Empties a list: a list that is a link, or a file with other names among the lists, keeps
// its names and loses its lines; another is removed. Raises as ChangeListLines.
void ClearList(const TListPlace& place, const std::string& list, std::string* notice = nullptr);
// Runs change (which makes, removes, renames or moves list files or folders of lists) under
// the locks of the folders these entries live in; for a folder, of every folder within it
// as well. Raises as ChangeListLines raises, without running change.
void ChangeListEntries(const TListPlace& place, const std::vector<std::string>& entries,
                       const std::function<void()>& change, std::string* notice = nullptr);

// ===========================================================================
// Files renamed, moved or deleted, and the lists that name them
// ===========================================================================
// A command that renames, moves or deletes files changes the lists that name them in the
// same step. It asks its questions first. Then it finds the lists that name its files (a line
// names a file when it leads through the same folder, links followed, to the same name), locks
// their folders (one wait for all; a list that names none is neither locked nor written), reads
// each again under the lock, writes its new copy beside it and notes the renames of the files
// the lists name in a journal. Between its first and last rename it asks nothing. After its
// last it reads from the disk which files are where, each list takes its copy (one that
// changed is read again), the copies are put in place, and the journal and the locks go.
//
// The journal outlives its command only when the program was killed or the machine stopped.
// It names each list as the command read it and the copy it puts in its place. The program
// that next changes one of those lists, or next starts, takes it in first, only into the lists
// it finds now that are the journal's and were not replaced by such a copy (the file read,
// also under another name in the Shows folder, or another file an editor put under its name):
// each takes the renames that took place (files found by device and inode), all at once,
// under the lists' locks; one that changed since it was read only on the lines that can mean
// nothing else (a name no file holds now and no other rename gave a file), and it is named in
// the one message as one that may keep old names. A take-in names its copies in the journal
// before it puts them, so that one killed in its turn is taken up by the next. A journal that
// is damaged or names a file which is none of the program's lists is set aside, never read
// again, and the user is told which lists may name old names; one that cannot be taken in for
// a passing cause (no room, a held lock, a list that cannot be written now) stays for later.

// One file of a command: renamed or moved to To, or deleted when To is empty.
struct TFileRename {
  std::string From, To;
};

class TFolderLocks;
struct TPlannedRename;
class TRenameIndex;
struct TFollower;

class TListRenames {
 public:
  explicit TListRenames(TListPlace place);
  // A command that began and was not finished is finished here.
  ~TListRenames();
  TListRenames(const TListRenames&) = delete;
  TListRenames& operator=(const TListRenames&) = delete;

  // Before the first rename (files that do not exist are left out). False when no file may be
  // renamed: a journal that a list of these files must take in first is kept (Why() names the
  // folder that must be writable), a list's lock was not had, a list cannot be changed or the
  // journal cannot be written; Why() says which. Notice() may hold what taking a journal in
  // had to say, also on true (to be told once no lock is held: after Finish).
  bool Begin(std::vector<TFileRename> plan);
  // The command renamed, moved or deleted the file From as planned. Files of the plan that go
  // to one name go there in the plan's order: the last one replaces the others.
  void Done(const std::string& From);
  // After the last rename (also when the command failed part way): the lists name the
  // files where the disk has them now, the journal and the locks go. False when a list
  // could not be replaced (Why() says which; the journal is then set aside). progress is
  // told each list (its number from 0, the file, its number of lines) before it is written.
  bool Finish(const std::function<void(int, const std::string&, int)>& progress = nullptr);
  // The lists that follow this command (known after Begin).
  int ListCount() const;
  const std::string& Why() const { return why_; }
  const std::string& Notice() const { return notice_; }

 private:
  bool lockLists(std::vector<TFollower>& scanned);
  bool writeCopies(std::vector<TFollower>& scanned);
  bool writeJournal();
  void release();
  TListPlace place_;
  std::vector<TPlannedRename> plan_;
  std::unique_ptr<TRenameIndex> index_;
  std::unordered_map<std::string_view, size_t> bySource_;  // the renames of the lists' files by old name
  std::vector<bool> done_;
  std::vector<TFollower> lists_;
  std::unique_ptr<TFolderLocks> locks_;
  int journalFd_ = -1;
  std::string journal_;
  std::string why_, notice_;
};

// At a start: takes the journals of killed programs into the lists (those whose lists another
// program holds are left). False when one could not be taken in now (message says why; it
// stays for later). message may hold a notice also on true; changed tells whether a list was
// written.
bool SettleListJournals(const TListPlace& place, std::string& message, bool* changed = nullptr);
// Removes the work copies that killed saves and commands left beside the lists.
void ClearListLeftovers(const TListPlace& place);
