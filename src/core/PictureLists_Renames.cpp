// The lists of pictures following the files that a command renames, moves or deletes: the
// lists that name them are locked, their new copies and a journal written before the first
// rename, and replaced after the last; a killed program's journal is taken in by the next.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "core/PictureLists.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

// A file of the command with its device and inode before it. After a kill its rename took
// place when the file is found under its new name (or, moved to another file system by a
// copy, when a file stands under the new name and none under the old one).
struct TPlannedRename {
  std::string from, to;  // to empty: deleted
  unsigned long long dev = 0, ino = 0;
};

// A list that names a file of the command: its file (links followed), the device and inode
// it had (replacing it gives it others), its lines as read under the lock, the text that
// names every file at its new name, and the new copy beside it.
struct TListRenames::TFollower {
  std::string path;
  unsigned long long dev = 0, ino = 0;
  std::vector<std::string> lines;
  std::string planned, copy;
};

namespace {

// Journals: ".renames.kivo2journal-<mark of the program>-XXXXXX" in the data folder, made
// under a work name (kSaveWorkKind) and given this name only when whole and on the disk.
// One set aside keeps its bytes under the kind kAsideKind, which is never read again.
// Journals of earlier versions (".batchrename." and the same kind) are set aside as well.
constexpr char kJournalName[] = "renames";
constexpr char kJournalKind[] = ".kivo2journal-";
constexpr char kAsideKind[] = ".kivo2unread-";
constexpr char kJournalHeader[] = "kivo2 rename journal 3\n";
constexpr int64_t kMaxJournalBytes = int64_t(256) << 20;
// The fewest bytes a list and a rename take in a journal: a bound on the counts it claims.
constexpr size_t kListBytes = 6, kRenameBytes = 7;

struct TJournalList {
  std::string path;
  unsigned long long dev = 0, ino = 0;
};

struct TJournal {
  std::string file;
  int fd = -1;
  unsigned long long made = 0;
  std::vector<TJournalList> lists;
  std::vector<TPlannedRename> plan;
};

// The journals of this process's commands that run now: it never waits for itself.
std::set<std::string>& RunningHere() {
  static std::set<std::string> running;
  return running;
}

bool SameEntry(const struct stat& st, unsigned long long dev, unsigned long long ino) {
  return (dev != 0 || ino != 0) && st.st_dev == dev && st.st_ino == ino;
}

std::string RealPath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string result = real;
  std::free(real);
  return result;
}

// Where the file of p is now: its new name, "" when it was deleted, nothing when the
// rename did not take place (skipped, failed or not reached: the file is where it was).
std::optional<std::string> WhereNow(const TPlannedRename& p) {
  struct stat st;
  const bool named = ::lstat(p.from.c_str(), &st) == 0;
  if (p.to.empty()) return named && SameEntry(st, p.dev, p.ino) ? std::nullopt : std::optional<std::string>("");
  if (::lstat(p.to.c_str(), &st) != 0) return std::nullopt;
  if (SameEntry(st, p.dev, p.ino) || !named) return p.to;
  return std::nullopt;
}

// The renames by old name (the first of a name counts).
std::unordered_map<std::string, size_t> BySource(const std::vector<TPlannedRename>& plan) {
  std::unordered_map<std::string, size_t> bySource;
  for (size_t k = 0; k < plan.size(); ++k) bySource.emplace(plan[k].from, k);
  return bySource;
}

// The lines of a list after the renames whose outcomes are now: a line that named a file
// that was renamed names it where it is, one that named a deleted file goes. Every line is
// looked up among the old names once, so renames that chain or swap within one command
// come out right. A renamed line whose new name another line names already goes: the list
// named that file once and still does.
std::vector<std::string> LinesAfter(const std::vector<std::string>& lines,
                                    const std::unordered_map<std::string, size_t>& bySource,
                                    const std::vector<std::optional<std::string>>& now, const TListPlace& place) {
  constexpr long kStays = -1, kGoes = -2;
  std::vector<long> fate(lines.size(), kStays);
  std::unordered_set<std::string> named;  // the paths of the lines that stay
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string path = place.LineToPath(lines[i]);
    const auto found = bySource.find(path);
    if (found != bySource.end() && now[found->second]) {
      const std::string& to = *now[found->second];
      if (to.empty()) {
        fate[i] = kGoes;
        continue;
      }
      if (NameFitsListLine(to)) {
        fate[i] = long(found->second);
        continue;
      }
    }
    named.insert(path);
  }
  std::vector<std::string> result;
  result.reserve(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    if (fate[i] == kStays)
      result.push_back(lines[i]);
    else if (fate[i] >= 0 && !named.count(*now[size_t(fate[i])]))
      result.push_back(place.PathToLine(*now[size_t(fate[i])]));
  }
  return result;
}

bool NamesAny(const std::vector<std::string>& lines, const std::unordered_map<std::string, size_t>& bySource,
              const TListPlace& place) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return bySource.count(place.LineToPath(line)) > 0; });
}

std::string ListText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The lines of a list; false when it cannot be read or is too large to be a list.
bool ReadList(const std::string& path, std::vector<std::string>& lines) {
  try {
    TStringList list;
    list.LoadFromFile(path, kMaxListFileSize);
    lines = list.ToVector();
    return true;
  } catch (const Exception&) {
    return false;
  }
}

// Writes text as a new copy of list beside it (a work file), flushed, with disk space set
// aside for reserve bytes; its name, or "" (errno set) when it cannot be written.
std::string WriteCopy(const std::string& list, const std::string& text, size_t reserve) {
  std::string path = WorkFileTemplate(list, kSaveWorkKind);
  const int fd = fileio::MakeTemp(path, O_CLOEXEC);
  if (fd < 0) return std::string();
  ::fchmod(fd, mode_t(NewFileMode(list)));
  bool ok = fileio::WriteAll(fd, text.data(), text.size()) && fileio::Reserve(fd, off_t(reserve)) == 0 &&
            fileio::Sync(fd) == 0;
  int error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok) return path;
  fileio::Unlink(path);
  errno = error;
  return std::string();
}

// Puts text into a copy made by WriteCopy (within the space set aside for it).
bool RewriteCopy(const std::string& copy, const std::string& text) {
  const int fd = fileio::Open(copy, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fileio::WriteAll(fd, text.data(), text.size()) && ::ftruncate(fd, off_t(text.size())) == 0 &&
                  fileio::Sync(fd) == 0;
  const int error = errno;
  ::close(fd);
  errno = error;
  return ok;
}

// ---------------------------------------------------------------------------
// The journal's text. Its fields, each ended by a zero byte (which no name holds): the
// moment it was made (nanoseconds since 1970: journals are taken in oldest first), the
// number of lists, per list its file, device and inode before the command, the number of
// renames, per rename from, to ("" for a deletion), device and inode.
// ---------------------------------------------------------------------------
std::string JournalText(const TJournal& j) {
  std::string text = kJournalHeader;
  auto field = [&text](const std::string& value) {
    text += value;
    text += '\0';
  };
  field(std::to_string(j.made));
  field(std::to_string(j.lists.size()));
  for (const TJournalList& l : j.lists) {
    field(l.path);
    field(std::to_string(l.dev));
    field(std::to_string(l.ino));
  }
  field(std::to_string(j.plan.size()));
  for (const TPlannedRename& p : j.plan) {
    field(p.from);
    field(p.to);
    field(std::to_string(p.dev));
    field(std::to_string(p.ino));
  }
  return text;
}

// The fields of a journal one after the other, each bounded by what the text holds.
class TJournalFields {
 public:
  TJournalFields(const std::string& text, size_t at) : text_(text), at_(at) {}
  bool Text(std::string& field) {
    const size_t end = text_.find('\0', at_);
    if (end == std::string::npos) return false;
    field.assign(text_, at_, end - at_);
    at_ = end + 1;
    return true;
  }
  bool Number(unsigned long long& n) {
    std::string field;
    if (!Text(field) || field.empty() || field.size() > 20 || field.find_first_not_of("0123456789") != std::string::npos)
      return false;
    errno = 0;
    n = std::strtoull(field.c_str(), nullptr, 10);
    return errno == 0;
  }
  // A count of items of at least each bytes: more than the rest could hold is damage.
  bool Count(unsigned long long& n, size_t each) { return Number(n) && n <= (text_.size() - at_) / each; }
  bool AtEnd() const { return at_ == text_.size(); }

 private:
  const std::string& text_;
  size_t at_;
};

// Reads a journal's text into j; false for one that is damaged or of an earlier layout.
// The lists come first, so a damaged journal may still tell which lists it names.
bool ParseJournal(const std::string& text, TJournal& j) {
  const std::string_view header(kJournalHeader);
  if (text.compare(0, header.size(), header) != 0) return false;
  TJournalFields fields(text, header.size());
  unsigned long long lists = 0, renames = 0;
  if (!fields.Number(j.made) || !fields.Count(lists, kListBytes)) return false;
  for (unsigned long long i = 0; i < lists; ++i) {
    TJournalList l;
    if (!fields.Text(l.path) || !IsFullPath(l.path) || !fields.Number(l.dev) || !fields.Number(l.ino)) return false;
    j.lists.push_back(std::move(l));
  }
  if (!fields.Count(renames, kRenameBytes)) return false;
  j.plan.reserve(size_t(renames));
  for (unsigned long long k = 0; k < renames; ++k) {
    TPlannedRename p;
    if (!fields.Text(p.from) || !fields.Text(p.to) || !fields.Number(p.dev) || !fields.Number(p.ino) ||
        !IsFullPath(p.from) || (!p.to.empty() && !IsFullPath(p.to)))
      return false;
    j.plan.push_back(std::move(p));
  }
  return fields.AtEnd();
}

// The whole of an open file of at most kMaxJournalBytes; false when it cannot be read.
bool ReadJournal(int fd, std::string& text) {
  struct stat st;
  if (::fstat(fd, &st) != 0 || int64_t(st.st_size) > kMaxJournalBytes) return false;
  text.resize(size_t(st.st_size));
  size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::pread(fd, text.data() + got, text.size() - got, off_t(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += size_t(n);
  }
  return true;
}

// The journals in folder that another command or a killed program left: this version's,
// and (to be set aside) those of earlier versions.
std::vector<std::string> JournalFiles(const std::string& folder) {
  std::vector<std::string> journals;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return journals;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] != '.' || name.find(kJournalKind) == std::string::npos) continue;
    // An earlier version's journal is left to its program while that runs.
    const bool earlier = name.rfind(std::string(".batchrename") + kJournalKind, 0) == 0;
    if (earlier ? !WorkFileOwnerGone(name, kJournalKind)
                : name.rfind(std::string(".") + kJournalName + kJournalKind, 0) != 0)
      continue;
    const std::string path = folder + name;
    if (!RunningHere().count(path)) journals.push_back(path);
  }
  ::closedir(dir);
  std::sort(journals.begin(), journals.end());
  return journals;
}

// Sets a journal that cannot be taken in aside, under a name that is never read again;
// the name it has then (its own when it could not be renamed).
std::string SetAside(const std::string& file) {
  std::string aside = file;
  aside.replace(aside.find(kJournalKind), std::string_view(kJournalKind).size(), kAsideKind);
  if (fileio::RenameNoReplace(file, aside) != 0) return file;
  fileio::SyncFolder(ExtractFileDir(file));
  return aside;
}

std::string AddLine(const std::string& message, const std::string& more) {
  return message.empty() ? more : message + "\r" + more;
}

// What to tell when another program's renames could not be taken in now (why).
std::string NotTakenInText(const Exception& why) {
  return Format(_("The renames of another program could not be taken into the paperclip and the shows: %s"),
                {why.Message()});
}

// What to tell of a journal set aside (kept as aside): which lists may name old names.
std::string SetAsideText(const std::string& aside, const std::vector<std::string>& lists) {
  return Format(_("A record of renamed files that a stopped program left could not be taken in; it is kept as %s."),
                {aside}) +
         "\r" + _("These lists may still name files by their old names:") + NameLines(lists);
}

// The program's lists (each file once), for naming them and for finding a list again.
std::vector<std::string> DistinctLists(const TListPlace& place) {
  std::vector<std::string> lists;
  std::set<std::pair<unsigned long long, unsigned long long>> seen;
  for (const std::string& list : place.Lists()) {
    struct stat st;
    if (::stat(list.c_str(), &st) == 0 && S_ISREG(st.st_mode) && seen.insert({st.st_dev, st.st_ino}).second)
      lists.push_back(list);
  }
  return lists;
}

// The locks of the folders of these lists, taken in one order (so that two programs that
// want some of the same never wait for each other) into held, which may hold some already.
// Raises as TFolderLock raises.
void LockFolders(const std::vector<std::string>& lists, int timeoutMs,
                 std::map<std::string, std::unique_ptr<TFolderLock>>& held) {
  std::map<std::string, std::string> byFolder;  // folder -> a list in it, named while waiting
  for (const std::string& list : lists) byFolder.emplace(ExtractFileDir(list), list);
  for (const auto& [folder, list] : byFolder)
    if (!held.count(folder)) held.emplace(folder, std::make_unique<TFolderLock>(list, timeoutMs));
}

// Takes journal j into the lists, under their folders' locks (held). False when a lock was
// not had (message says why; the journal stays).
bool TakeIn(const TListPlace& place, TJournal& j, std::map<std::string, std::unique_ptr<TFolderLock>>& held,
            std::string& message, bool* changed) {
  // Where its lists are: at their paths, or, moved since (a show renamed in the tree),
  // another of the lists that is the same file.
  std::vector<std::string> places(j.lists.size());
  std::vector<std::string> current;
  bool listed = false;
  for (size_t i = 0; i < j.lists.size(); ++i) {
    const TJournalList& l = j.lists[i];
    struct stat st;
    if (::stat(l.path.c_str(), &st) == 0) {
      places[i] = l.path;
      continue;
    }
    if (!listed) current = DistinctLists(place), listed = true;
    for (const std::string& list : current)
      if (::stat(list.c_str(), &st) == 0 && SameEntry(st, l.dev, l.ino)) places[i] = RealPath(list);
  }
  std::vector<std::string> found;
  for (const std::string& p : places)
    if (!p.empty()) found.push_back(p);
  try {
    LockFolders(found, place.LockTimeoutMs, held);
  } catch (const Exception& e) {
    message = AddLine(message, NotTakenInText(e));
    return false;
  }
  // Another program may have taken it in while this one waited.
  struct stat journal;
  if (::fstat(j.fd, &journal) != 0 || journal.st_nlink == 0) return true;
  // The lists the killed program had not replaced yet: still the same files.
  std::vector<std::string> targets;
  for (size_t i = 0; i < places.size(); ++i) {
    struct stat st;
    if (!places[i].empty() && ::stat(places[i].c_str(), &st) == 0 && SameEntry(st, j.lists[i].dev, j.lists[i].ino))
      targets.push_back(places[i]);
  }
  const auto bySource = BySource(j.plan);
  std::vector<std::optional<std::string>> now(j.plan.size());
  for (size_t k = 0; k < j.plan.size(); ++k) now[k] = WhereNow(j.plan[k]);
  std::vector<std::string> failed;
  for (const std::string& list : targets) {
    std::vector<std::string> lines;
    if (!ReadList(list, lines)) {
      failed.push_back(list);
      continue;
    }
    const std::vector<std::string> after = LinesAfter(lines, bySource, now, place);
    if (after == lines) continue;
    try {
      SaveTextFileAtomically(list, ListText(after));
      if (changed) *changed = true;
    } catch (const Exception&) {
      failed.push_back(list);
    }
  }
  if (failed.empty()) {
    fileio::Unlink(j.file);
    fileio::SyncFolder(place.DataFolder);
  } else {
    message = AddLine(message, SetAsideText(SetAside(j.file), failed));
  }
  return true;
}

}  // namespace

bool SettleListJournals(const TListPlace& place, std::string& message, bool* changed) {
  message.clear();
  if (changed) *changed = false;
  const std::vector<std::string> files = JournalFiles(place.DataFolder);
  if (files.empty()) return true;
  std::vector<TJournal> taken;
  auto closeAll = [&taken] {
    for (TJournal& j : taken) ::close(j.fd);
  };
  for (const std::string& file : files) {
    TJournal j;
    j.file = file;
    j.fd = fileio::Open(file, O_RDWR | O_CLOEXEC);
    if (j.fd < 0 && errno == ENOENT) continue;  // its command ended meanwhile
    if (j.fd >= 0) {
      // A running command keeps its journal locked: it is waited for, and then gone.
      try {
        LockOpenFile(j.fd, file, ExcludeTrailingPathDelimiter(place.DataFolder), place.LockTimeoutMs);
      } catch (const Exception& e) {
        ::close(j.fd);
        closeAll();
        message = AddLine(message, NotTakenInText(e));
        return false;
      }
      struct stat st;
      if (::fstat(j.fd, &st) != 0 || st.st_nlink == 0) {
        ::close(j.fd);
        continue;
      }
    }
    std::string text;
    if (j.fd < 0 || !ReadJournal(j.fd, text) || !ParseJournal(text, j)) {
      // Never taken in in part: the lists it may have named are told.
      std::vector<std::string> named;
      for (const TJournalList& l : j.lists) named.push_back(l.path);
      if (named.empty()) named = DistinctLists(place);
      message = AddLine(message, SetAsideText(SetAside(file), named));
      if (j.fd >= 0) ::close(j.fd);
      continue;
    }
    taken.push_back(std::move(j));
  }
  std::sort(taken.begin(), taken.end(), [](const TJournal& a, const TJournal& b) { return a.made < b.made; });
  std::map<std::string, std::unique_ptr<TFolderLock>> held;
  for (TJournal& j : taken)
    if (!TakeIn(place, j, held, message, changed)) {
      closeAll();
      return false;
    }
  closeAll();
  return true;
}

void ClearListLeftovers(const TListPlace& place) {
  std::set<std::string> folders{ExcludeTrailingPathDelimiter(place.DataFolder)};
  for (const std::string& list : place.Lists()) folders.insert(ExtractFileDir(RealPath(list)));
  for (const std::string& folder : folders) ClearLeftovers(folder);
}

std::string NameLines(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += "\r" + name;
  return text;
}

// ===========================================================================
// A command's renames
// ===========================================================================
TListRenames::TListRenames(TListPlace place) : place_(std::move(place)) {}

TListRenames::~TListRenames() {
  if (journalFd_ >= 0 || !lists_.empty()) Finish();
}

int TListRenames::ListCount() const { return int(lists_.size()); }

void TListRenames::Done(const std::string& From) {
  const auto planned = bySource_.find(From);
  if (planned != bySource_.end()) done_[planned->second] = true;
}


void TListRenames::release() {
  for (const TFollower& f : lists_)
    if (!f.copy.empty()) fileio::Unlink(f.copy);
  lists_.clear();
  if (journalFd_ >= 0) ::close(journalFd_);
  journalFd_ = -1;
  RunningHere().erase(journal_);
  journal_.clear();
  locks_.clear();
}

bool TListRenames::Begin(const std::vector<TFileRename>& plan) {
  why_.clear();
  notice_.clear();
  std::string settled;
  if (!SettleListJournals(place_, settled)) {
    why_ = settled;
    return false;
  }
  notice_ = settled;
  for (const TFileRename& r : plan) {
    struct stat st;
    if (r.From.empty() || r.From == r.To || ::lstat(r.From.c_str(), &st) != 0) continue;
    plan_.push_back({r.From, r.To, st.st_dev, st.st_ino});
  }
  if (plan_.empty()) return true;
  bySource_ = BySource(plan_);
  done_.assign(plan_.size(), false);
  const auto& bySource = bySource_;
  std::vector<std::optional<std::string>> planned(plan_.size());
  for (size_t k = 0; k < plan_.size(); ++k) planned[k] = plan_[k].to;

  // The lists that name a file of the command, each once however many links lead to it.
  std::vector<std::string> named;
  for (const std::string& list : DistinctLists(place_)) {
    std::vector<std::string> lines;
    if (ReadList(list, lines) && NamesAny(lines, bySource, place_)) named.push_back(RealPath(list));
  }
  if (named.empty()) return true;
  std::map<std::string, std::unique_ptr<TFolderLock>> held;
  try {
    LockFolders(named, place_.LockTimeoutMs, held);
  } catch (const Exception& e) {
    why_ = _("No file was renamed, moved or deleted: the paperclip or a show that lists these files cannot follow.") +
           "\r" + e.Message();
    return false;
  }
  for (auto& [folder, lock] : held) locks_.push_back(std::move(lock));

  // Read again under the locks (another program may have changed them meanwhile), and their
  // new copies written: a list that cannot take its new copy is known now.
  std::vector<std::string> cannot;
  for (const std::string& list : named) {
    TFollower f;
    f.path = list;
    struct stat st;
    if (::stat(list.c_str(), &st) != 0 || !ReadList(list, f.lines)) continue;
    f.dev = st.st_dev;
    f.ino = st.st_ino;
    const std::vector<std::string> after = LinesAfter(f.lines, bySource, planned, place_);
    if (after == f.lines) continue;
    f.planned = ListText(after);
    // Room for any mix of old and new names that the renames may leave.
    f.copy = WriteCopy(list, f.planned, ListText(f.lines).size() + f.planned.size());
    if (f.copy.empty()) {
      cannot.push_back(Format(_("%s cannot be changed: %s"), {list, SysErrorMessage(errno)}));
      continue;
    }
    lists_.push_back(std::move(f));
  }
  if (!cannot.empty()) {
    release();
    why_ = _("No file was renamed, moved or deleted: the paperclip or a show that lists these files cannot follow.") +
           NameLines(cannot);
    return false;
  }
  if (lists_.empty()) {
    release();
    return true;
  }

  // The journal, whole and on the disk before the first rename, locked while the command runs.
  TJournal j;
  struct timespec made;
  ::clock_gettime(CLOCK_REALTIME, &made);
  j.made = static_cast<unsigned long long>(made.tv_sec) * 1000000000ULL + static_cast<unsigned long long>(made.tv_nsec);
  for (const TFollower& f : lists_) j.lists.push_back({f.path, f.dev, f.ino});
  j.plan = plan_;
  const std::string text = JournalText(j);
  std::string work = WorkFileTemplate(place_.DataFolder + kJournalName, kSaveWorkKind);
  const int fd = fileio::MakeTemp(work, O_CLOEXEC);
  bool written = fd >= 0 && fileio::Lock(fd, work, LOCK_EX | LOCK_NB) == 0 &&
                 fileio::WriteAll(fd, text.data(), text.size()) && fileio::Sync(fd) == 0;
  std::string journal = work;
  journal.replace(journal.rfind(kSaveWorkKind), std::string_view(kSaveWorkKind).size(), kJournalKind);
  written = written && fileio::RenameNoReplace(work, journal) == 0 && fileio::SyncFolder(place_.DataFolder) == 0;
  if (!written) {
    const int error = errno;
    if (fd >= 0) {
      ::close(fd);
      fileio::Unlink(work);
      fileio::Unlink(journal);
    }
    release();
    why_ = Format(_("No file was renamed, moved or deleted: the paperclip or a show lists these files, and the "
                    "record that keeps those lists up to date could not be written in %s (%s)."),
                  {ExcludeTrailingPathDelimiter(place_.DataFolder), SysErrorMessage(error)});
    return false;
  }
  journalFd_ = fd;
  journal_ = journal;
  RunningHere().insert(journal_);
  return true;
}

bool TListRenames::Finish(const std::function<void(int, const std::string&, int)>& progress) {
  why_.clear();
  if (lists_.empty()) {
    release();
    return true;
  }
  // What this program did it knows (another may have moved the same names meanwhile).
  std::vector<std::optional<std::string>> now(plan_.size());
  for (size_t k = 0; k < plan_.size(); ++k)
    if (done_[k]) now[k] = plan_[k].to;
  std::vector<std::string> failed;
  std::set<std::string> folders;
  for (size_t i = 0; i < lists_.size(); ++i) {
    TFollower& f = lists_[i];
    if (progress) progress(int(i), f.path, int(f.lines.size()));
    const std::vector<std::string> after = LinesAfter(f.lines, bySource_, now, place_);
    if (after != f.lines) {
      const std::string text = ListText(after);
      if ((text == f.planned || RewriteCopy(f.copy, text)) && fileio::Rename(f.copy, f.path) == 0) {
        f.copy.clear();
        folders.insert(ExtractFileDir(f.path));
      } else {
        failed.push_back(f.path + " (" + SysErrorMessage(errno) + ")");
      }
    }
  }
  for (const std::string& folder : folders) fileio::SyncFolder(folder);
  if (failed.empty()) {
    fileio::Unlink(journal_);
    fileio::SyncFolder(place_.DataFolder);
  } else {
    why_ = _("These lists could not be brought up to date:") + NameLines(failed) + "\r" +
           Format(_("The record of the renames is kept as %s."), {SetAside(journal_)});
  }
  release();
  return failed.empty();
}
