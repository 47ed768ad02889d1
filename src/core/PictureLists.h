#pragma once
// The picture lists of the main window (the paperclip list and the show files): finding
// a picture among the lines of a list, writing back what a view of the list made of it
// without losing the lines the view could not show, and the lists following the files
// that commands rename, move or delete.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

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

// A list of pictures is text of a line per picture; a larger file is no such list, and is
// neither shown nor changed.
constexpr int64_t kMaxListFileSize = int64_t(64) << 20;

// ===========================================================================
// Files renamed, moved or deleted, and the lists that name them
// ===========================================================================
// A command that renames, moves or deletes files changes the lists that name them in the
// same step. Before its first rename it reads every list and finds those that name its
// files (a list is one file however many links lead to it), takes the locks of their
// folders (one wait for all; a list that names none of the files is neither locked nor
// written), writes their new copies beside them and notes the renames in a journal. After
// its last rename each of those lists is replaced by a copy that names every file where it
// is now, the journal goes, and so do the locks. So no other change can come between the
// renames and the lists, and a list that cannot follow is known before anything changed.
//
// The journal outlives its command only when the program was killed or the machine
// stopped. The program that next starts, renames or changes a list takes such a journal
// into the lists first: each list that the killed program had not replaced yet (it is
// still the same file) takes the renames that did take place (the files are found on the
// disk by device and inode), all at once, under the lists' locks; then the journal goes.
// A program keeps its journal locked while its command runs: another program waits for it
// and then finds it gone, and of two programs that find a killed program's journal, the
// one that has its lock takes it in and removes it while the other waits, so that no
// journal is taken in twice. A journal that cannot be read is set aside under a name that
// is never read again and the user is told which lists may name old names.

// Where the lists of pictures live and how their lines name files.
struct TListPlace {
  std::string DataFolder;                            // the journals' folder, with a trailing '/'
  std::function<std::vector<std::string>()> Lists;  // every list: the paperclip, each show
  TListLineMap LineToPath, PathToLine;
  int LockTimeoutMs = 10000;
};

// One file of a command: renamed or moved to To, or deleted when To is empty.
struct TFileRename {
  std::string From, To;
};

class TFolderLock;
struct TPlannedRename;

class TListRenames {
 public:
  explicit TListRenames(TListPlace place);
  // A command that began and was not finished is finished here.
  ~TListRenames();
  TListRenames(const TListRenames&) = delete;
  TListRenames& operator=(const TListRenames&) = delete;

  // Before the first rename (files that do not exist are left out). False when no file may
  // be renamed: a journal of a killed program could not be taken in, a list's lock was not
  // had, a list cannot be changed or the journal cannot be written; Why() says which, as
  // one message. Notice() may hold what taking a journal in had to say, also on true.
  bool Begin(const std::vector<TFileRename>& plan);
  // The command renamed, moved or deleted the file From as planned.
  void Done(const std::string& From);
  // After the last rename: the lists name the files that were done at their new names (or
  // without them, when deleted), the journal and the locks go. False when a list could not
  // be replaced (Why() says which; the journal is then set aside). progress is told each
  // list (its number from 0, the file, its number of lines) before it is written.
  bool Finish(const std::function<void(int, const std::string&, int)>& progress = nullptr);
  // The lists that follow this command (known after Begin).
  int ListCount() const;
  const std::string& Why() const { return why_; }
  const std::string& Notice() const { return notice_; }

 private:
  struct TFollower;
  void release();
  TListPlace place_;
  std::vector<TPlannedRename> plan_;
  std::unordered_map<std::string, size_t> bySource_;  // the renames by old name
  std::vector<bool> done_;
  std::vector<TFollower> lists_;
  std::vector<std::unique_ptr<TFolderLock>> locks_;
  int journalFd_ = -1;
  std::string journal_;
  std::string why_, notice_;
};

// Takes the journals of killed programs into the lists (a running program's command is
// waited for). False when one could not be taken in now (message says why; it stays for
// the next start or change). message may hold a notice also on true (a journal set aside);
// changed tells whether a list was written.
bool SettleListJournals(const TListPlace& place, std::string& message, bool* changed = nullptr);
// Removes the work copies that killed saves left beside the lists.
void ClearListLeftovers(const TListPlace& place);
