// The lists of pictures following the files that a command renames, moves or deletes: the
// lists that name them are locked, their new copies and a journal written before the first
// rename, and put in place after the last; a killed program's journal is taken in by the
// next.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unordered_set>

#include "core/PictureLists_Internal.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

// A list that follows a command: its file and names, what it was when read, the lines that
// name the command's entries (read: they are known), its number of lines, and its new copy.
struct TFollower {
  TFollower() = default;
  TFollower(TListFile f, TSignature s) : file(std::move(f)), sig(s) {}
  TListFile file;
  TSignature sig;
  std::vector<TLineHit> hits;
  bool read = false;
  int lines = 0;
  TListCopy copy;
  bool Follows() const { return TRenameIndex::NamesAny(hits); }
};

namespace {

// ---------------------------------------------------------------------------
// A list brought to a command's renames
// ---------------------------------------------------------------------------
// f as its list is now, read through fd: its bytes read again, and the lines that name the
// command's entries found again, only when it is not known as what f.sig says. False (errno
// set) when it cannot be read or is too large to be a list.
bool Reread(TFollower& f, int fd, TRenameIndex& index, std::string& bytes) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  if (f.read && f.sig == TSignature::Of(st)) return true;
  f.read = ReadListBytes(fd, bytes, f.sig);
  if (!f.read) return false;
  f.hits = index.Hits(bytes);
  f.lines = 0;
  for (const char *at = bytes.data(), *end = at + bytes.size();
       (at = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)))) != nullptr; ++at)
    ++f.lines;
  return true;
}

// What a list's copy is written for: a command before its first rename (room set aside for
// any outcome), after its last, or a killed program's record (taken only into the list as
// that program read it).
enum class TFor { Begin, Finish, TakeIn };
enum class TFollow { Written, Unchanged, Gone, Changed, Failed };

// Brings f's list to the renames' outcomes now in its copy, through one handle: the lines that
// name the command's files written anew, the rest copied as they are. Written; Unchanged (no
// line changes); Gone; Changed (a record's list that is another file now); Failed (errno
// set). Only a copy written is kept.
TFollow Follow(TFollower& f, TRenameIndex& index, const TOutcomes& now, TFor step, std::string& bytes) {
  TFollow result = TFollow::Failed;
  const int fd = ::open(f.file.real.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0) {
    if (errno == ENOENT) result = TFollow::Gone;
  } else if (step == TFor::TakeIn && (::fstat(fd, &st) != 0 || !(TSignature::Of(st) == f.sig))) {
    result = TFollow::Changed;
  } else if (Reread(f, fd, index, bytes)) {
    const std::vector<TListEdit> edits = index.EditsAfter(f.hits, now);
    uint64_t added = 0;
    for (const TListEdit& e : edits) added += e.Text.size();
    if (edits.empty())
      result = TFollow::Unchanged;
    else if ((f.copy.Made() || f.copy.Make(f.file)) && f.copy.Write(fd, uint64_t(f.sig.size), edits) &&
             (step != TFor::Begin || f.copy.Reserve(uint64_t(f.sig.size) + added)))
      result = TFollow::Written;
  }
  const int error = errno;
  if (fd >= 0) ::close(fd);
  if (result != TFollow::Written) f.copy.Drop();
  errno = error;
  return result;
}

// The lists that could not take their copies, each with why.
using TFailures = std::vector<std::pair<std::string, int>>;

// Puts the lists' copies in place: those written anew (rewritten) flushed first, each then
// given back its room and put under every name of its list, their folders flushed. Returns
// how many were put.
size_t PutCopies(std::vector<TFollower>& lists, const std::vector<int>& rewritten, TFailures& failed) {
  const bool synced = fileio::SyncAll(rewritten) == 0;
  const int syncError = errno;
  TFolderSet folders;
  size_t put = 0;
  for (TFollower& f : lists) {
    if (!f.copy.Made()) continue;
    if (synced && f.copy.Trim() && f.copy.Put(f.file)) {
      folders.merge(FoldersOf(f.file));
      ++put;
    } else {
      failed.emplace_back(f.file.real, synced ? errno : syncError);
      f.copy.Drop();
    }
  }
  for (const auto& [folder, list] : folders) fileio::SyncFolder(folder);
  return put;
}

// ---------------------------------------------------------------------------
// Journals: ".renames.kivo2journal-<mark of the program>-XXXXXX" in the data folder, made
// under a work name (kSaveWorkKind) and given this name only when whole and on the disk.
// One set aside keeps its bytes under the kind kAsideKind, which is never read again.
// Journals of earlier versions (".batchrename." and the same kind, or an earlier layout)
// are set aside as well.
// ---------------------------------------------------------------------------
constexpr char kJournalName[] = "renames";
constexpr char kJournalKind[] = ".kivo2journal-";
constexpr char kAsideKind[] = ".kivo2unread-";
constexpr char kJournalHeader[] = "kivo2 rename journal 5\n";
constexpr int64_t kMaxJournalBytes = int64_t(256) << 20;
// The fewest bytes a list and a rename take in a journal: a bound on the counts it claims.
constexpr size_t kListBytes = 18, kRenameBytes = 11;
// The checksum's field: eight hexadecimal digits and the zero byte that ends every field.
constexpr size_t kChecksumBytes = 9;

struct TJournal {
  std::string file;
  int fd = -1;
  unsigned long long made = 0;
  std::vector<TFollower> lists;  // each list's file, names and signature as the command read it
  std::vector<TPlannedRename> plan;
};

// The journals of this process's commands that run now: it never waits for itself.
std::set<std::string>& RunningHere() {
  static std::set<std::string> running;
  return running;
}

std::string NoFileText() {
  return _("No file was renamed, moved or deleted: the paperclip or a show that lists these files cannot follow.");
}

std::string AddLine(const std::string& message, const std::string& more) {
  return message.empty() ? more : message + "\r" + more;
}

// The journal's text. Its fields, each ended by a zero byte (which no name holds): the
// moment it was made (nanoseconds since 1970: journals are taken in oldest first), the
// number of lists, per list its file, its signature before the command (device, inode,
// size, modification and change time in seconds and nanoseconds) and the number and paths
// of its other names, the number of renames, per rename from, to ("" for a deletion), the
// file's device and inode and its folder's device and inode; last the CRC-32 of every byte
// before it. The lists come first: a journal damaged after them still tells which lists it
// names.
std::string ChecksumField(std::string_view text) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08lX",
                ::crc32(0L, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
  return std::string(hex) + '\0';
}

// The fields of j in their order, written into a text or read from one (by io).
template <class TIo>
bool JournalFields(TJournal& j, TIo& io) {
  size_t lists = j.lists.size(), renames = j.plan.size();
  if (!io.Number(j.made, ~0ULL) || !io.Count(lists, kListBytes)) return false;
  for (size_t i = 0; i < lists; ++i) {
    if (i == j.lists.size()) j.lists.emplace_back();  // as read, so that a damaged one's count makes nothing
    TFollower& l = j.lists[i];
    TSignature& s = l.sig;
    size_t others = l.file.others.size();
    if (!io.Path(l.file.real) || !io.Id(s.id) || !io.Number(s.size) || !io.Number(s.sec) ||
        !io.Number(s.nsec, 1000000000LL) || !io.Number(s.csec) || !io.Number(s.cnsec, 1000000000LL) ||
        !io.Count(others, 2))
      return false;
    l.file.name = l.file.real;
    l.file.others.resize(others);
    for (std::string& name : l.file.others)
      if (!io.Path(name)) return false;
  }
  if (!io.Count(renames, kRenameBytes)) return false;
  j.plan.resize(renames);
  for (TPlannedRename& p : j.plan)
    if (!io.Path(p.from) || !io.Text(p.to) || (!p.to.empty() && !IsFullPath(p.to)) || !io.Id(p.file) ||
        !io.Id(p.folder))
      return false;
  return true;
}

// Writes the fields.
struct TJournalWriter {
  std::string text = kJournalHeader;
  bool Text(const std::string& field) {
    text += field;
    text += '\0';
    return true;
  }
  bool Path(const std::string& field) { return Text(field); }
  bool Number(auto n, unsigned long long = 0) { return Text(std::to_string(n)); }
  bool Count(size_t n, size_t) { return Number(n); }
  bool Id(const TFileId& id) { return Number(id.dev) && Number(id.ino); }
};

// Reads the fields, each bounded by what the text holds.
struct TJournalReader {
  std::string_view text;
  size_t at = std::string_view(kJournalHeader).size();
  bool Text(std::string& field) {
    const size_t end = text.find('\0', at);
    if (end == std::string::npos) return false;
    field.assign(text.substr(at, end - at));
    at = end + 1;
    return true;
  }
  bool Path(std::string& field) { return Text(field) && IsFullPath(field); }
  template <class T>
  bool Number(T& n, unsigned long long below = 1ULL << 62) {
    std::string field;
    if (!Text(field) || field.empty() || field.size() > 20 || field.find_first_not_of("0123456789") != std::string::npos)
      return false;
    errno = 0;
    const unsigned long long value = std::strtoull(field.c_str(), nullptr, 10);
    n = static_cast<T>(value);
    return errno == 0 && value < below;
  }
  // A count of items of at least each bytes: more than the rest could hold is damage.
  bool Count(size_t& n, size_t each) { return Number(n) && n <= (text.size() - at) / each; }
  bool Id(TFileId& id) { return Number(id.dev, ~0ULL) && Number(id.ino, ~0ULL); }
};

std::string JournalText(TJournal& j) {
  TJournalWriter writer;
  JournalFields(j, writer);
  return writer.text + ChecksumField(writer.text);
}

// Reads the journal open as fd into j; false for one that cannot be read, is damaged (cut
// short, or its checksum does not match) or of an earlier layout.
bool ReadJournal(int fd, TJournal& j) {
  std::string text;
  TSignature sig;
  if (!ReadListBytes(fd, text, sig, kMaxJournalBytes) || text.rfind(kJournalHeader, 0) != 0) return false;
  TJournalReader reader{text};
  const size_t body = text.size() - std::min(text.size(), kChecksumBytes);
  std::string checksum;
  return JournalFields(j, reader) && reader.Text(checksum) && reader.at == text.size() &&
         ChecksumField(std::string_view(text).substr(0, body)) == std::string_view(text).substr(body);
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

// The command that keeps the open journal fd (at file) runs still: its lock is held, or,
// where the file system locks nothing, its program runs. Otherwise fd is locked now.
bool RunsStill(int fd, const std::string& file, int operation) {
  if (fileio::Lock(fd, file, operation | LOCK_NB) == 0) return false;
  return errno == EWOULDBLOCK || !WorkFileOwnerGone(ExtractFileName(file), kJournalKind);
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

// What to tell when a stopped program's renames could not be taken in now (why).
std::string KeptText(const std::string& why) {
  return Format(_("The renames of a stopped program could not be taken into the paperclip and the shows now; they "
                  "are kept and taken in at the next start: %s"),
                {why});
}

// What to tell of a journal set aside (kept as aside): which lists may name old names, or
// every list when it names none of them.
std::string SetAsideText(const std::string& aside, std::vector<std::string> lists, const TListPlace& place) {
  if (lists.empty())
    for (const TListFile& list : DistinctLists(place)) lists.push_back(list.name);
  return Format(_("A record of renamed files that a stopped program left could not be taken in; it is kept as %s."),
                {aside}) +
         "\r" + _("These lists may still name files by their old names:") + NameLines(lists);
}

// A cause that passes: the journal is tried again later (no room, a held lock, a list that
// cannot be written now).
bool Passing(int error) {
  return error == ENOSPC || error == EDQUOT || error == EWOULDBLOCK || error == EINTR || error == EROFS ||
         error == EACCES || error == EPERM;
}

enum class TTakeIn { Done, Kept, SetAside };

// Takes journal j of a killed program into the lists under locks: only into the lists the
// program finds now, by the names it finds itself (a data folder may be another's, as on a
// removable drive: a record that names any other file is set aside), and only into those the
// killed program had not replaced yet (the files it read, found also where a folder of shows
// moved them; a file moved itself has a new change time).
TTakeIn TakeIn(const TListPlace& place, TJournal& j, TFolderLocks& locks, std::string& message, bool* changed) {
  const std::vector<TListFile> current = DistinctLists(place);
  const std::set<std::string> names = NamesOf(current);
  std::vector<std::string> named;
  bool foreign = false;
  for (const TFollower& l : j.lists) {
    std::vector<std::string> all = l.file.others;
    all.push_back(l.file.real);
    for (const std::string& name : all) {
      struct stat st;
      if (names.count(name)) named.push_back(name);
      foreign = foreign || (!names.count(name) && ::lstat(name.c_str(), &st) == 0);
    }
  }
  if (foreign) {
    message = AddLine(message, SetAsideText(SetAside(j.file), named, place));
    return TTakeIn::SetAside;
  }
  std::vector<TSignature> sigs(current.size());
  for (size_t c = 0; c < current.size(); ++c) SignatureOf(current[c].real, sigs[c]);
  std::vector<TFollower> targets;
  // Names it had not yet put its copy under when it was killed, still holding the file it read
  // (whose change time the put changed), take the copy it put.
  auto stale = [](const std::string& name, TSignature was) {
    TSignature sig;
    return SignatureOf(name, sig) && (was.csec = sig.csec, was.cnsec = sig.cnsec, sig == was);
  };
  std::vector<std::pair<const TFollower*, std::string>> relinks;  // the list put, a name left
  TFolderSet folders;
  for (const TFollower& l : j.lists) {
    const size_t before = targets.size();
    for (size_t c = 0; c < current.size(); ++c)
      if (sigs[c] == l.sig) {
        targets.push_back({current[c], l.sig});
        folders.merge(FoldersOf(current[c]));
      }
    if (targets.size() == before && names.count(l.file.real))
      for (const std::string& name : l.file.others)
        if (stale(name, l.sig)) {
          relinks.emplace_back(&l, name);
          folders.merge(TFolderSet{{ExtractFileDir(l.file.real), l.file.real}, {ExtractFileDir(name), name}});
        }
  }
  // The killed program's work copies go first: they hold the room the lists' copies need.
  for (const auto& [folder, list] : folders) ClearLeftovers(folder);
  try {
    locks.Lock(folders, place.LockTimeoutMs);
  } catch (const Exception& e) {
    message = AddLine(message, KeptText(e.Message()));
    return TTakeIn::Kept;
  }
  // Another program may have taken it in while this one waited.
  struct stat journal;
  if (::fstat(j.fd, &journal) != 0 || journal.st_nlink == 0) return TTakeIn::Done;
  const TOutcomes now = WhereNow(j.plan, {});
  TRenameIndex index(j.plan, place);
  TFailures failed;
  size_t wrote = 0;
  for (const auto& [l, name] : relinks) {
    if (!stale(name, l->sig)) continue;
    if (LinkInPlaceOf(l->file.real, name) && ++wrote)
      fileio::SyncFolder(ExtractFileDir(name));
    else
      failed.emplace_back(name, errno);
  }
  std::vector<int> rewritten;
  std::string bytes;
  for (TFollower& t : targets)
    if (const TFollow done = Follow(t, index, now, TFor::TakeIn, bytes); done == TFollow::Written)
      rewritten.push_back(t.copy.Fd());
    else if (done == TFollow::Failed && errno != EFBIG)  // too large to be a list: none the program reads
      failed.emplace_back(t.file.real, errno);
  wrote += PutCopies(targets, rewritten, failed);
  if (changed && wrote > 0) *changed = true;
  if (failed.empty()) {
    fileio::Unlink(j.file);
    fileio::SyncFolder(place.DataFolder);
    return TTakeIn::Done;
  }
  if (std::any_of(failed.begin(), failed.end(), [](const auto& f) { return Passing(f.second); })) {
    message = AddLine(message, KeptText(CannotChangeText(failed.back().first, failed.back().second)));
    return TTakeIn::Kept;
  }
  std::vector<std::string> lists;
  for (const auto& [list, error] : failed) lists.push_back(list);
  message = AddLine(message, SetAsideText(SetAside(j.file), lists, place));
  return TTakeIn::SetAside;
}

// The folders of the program's lists that other programs' commands (running now, or died
// since this one took the last records in) follow, those that rename files to one of the
// names this command renames: their lists take those renames when they end or are taken
// in, so this command locks them (waits for them) before it reads the lists.
TFolderSet OtherCommandsFolders(const TListPlace& place, TRenameIndex& index) {
  TFolderSet folders;
  std::set<std::string> names;
  for (const std::string& file : JournalFiles(place.DataFolder)) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    TJournal j;
    if (ReadJournal(fd, j) &&
        std::any_of(j.plan.begin(), j.plan.end(),
                    [&](const TPlannedRename& p) { return !p.to.empty() && index.OldEntryOf(p.to) >= 0; })) {
      if (names.empty()) names = NamesOf(DistinctLists(place));
      for (const TFollower& l : j.lists)
        if (names.count(l.file.real)) folders.emplace(ExtractFileDir(l.file.real), l.file.real);
    }
    ::close(fd);
  }
  return folders;
}

// The lists as they are now, each read again only when it changed since scanned was read.
void Scan(const TListPlace& place, TRenameIndex& index, std::vector<TFollower>& scanned, std::string& bytes) {
  std::map<std::string, TFollower> before;
  for (TFollower& s : scanned) before.emplace(s.file.real, std::move(s));
  scanned.clear();
  for (TListFile& file : DistinctLists(place)) {
    TFollower s;
    const auto old = before.find(file.real);
    if (old != before.end() && old->second.file.others == file.others) s = std::move(old->second);
    s.file = std::move(file);
    // A list that cannot be read (or is too large to be one) is not a list the program reads.
    const int fd = ::open(s.file.real.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    if (!Reread(s, fd, index, bytes)) s.hits.clear();
    ::close(fd);
    scanned.push_back(std::move(s));
  }
}

}  // namespace

bool SettleListJournals(const TListPlace& place, TFolderLocks& locks, std::string& message, bool* changed) {
  const std::vector<std::string> files = JournalFiles(place.DataFolder);
  if (files.empty()) return true;
  std::vector<TJournal> taken;
  for (const std::string& file : files) {
    TJournal j;
    j.file = file;
    j.fd = fileio::Open(file, O_RDWR | O_CLOEXEC);
    if (j.fd < 0 && errno == EROFS) j.fd = fileio::Open(file, O_RDONLY | O_CLOEXEC);  // read only: its lists as well
    if (j.fd < 0 && errno == ENOENT) continue;  // its command ended meanwhile
    if (j.fd >= 0) {
      // A running command's journal is its own: never taken in, never waited for.
      struct stat st;
      if (RunsStill(j.fd, file, LOCK_EX) || ::fstat(j.fd, &st) != 0 || st.st_nlink == 0) {
        ::close(j.fd);
        continue;
      }
    }
    if (j.fd < 0 || !ReadJournal(j.fd, j)) {
      // Never taken in in part: the lists it names are told, or every list.
      std::vector<std::string> named;
      for (const TFollower& l : j.lists)
        if (!l.file.real.empty()) named.push_back(l.file.real);
      message = AddLine(message, SetAsideText(SetAside(file), named, place));
      if (j.fd >= 0) ::close(j.fd);
      continue;
    }
    taken.push_back(std::move(j));
  }
  std::sort(taken.begin(), taken.end(), [](const TJournal& a, const TJournal& b) { return a.made < b.made; });
  bool settled = true;
  for (TJournal& j : taken)
    if (TakeIn(place, j, locks, message, changed) == TTakeIn::Kept) settled = false;
  for (TJournal& j : taken) ::close(j.fd);
  return settled;
}

bool SettleListJournals(const TListPlace& place, std::string& message, bool* changed) {
  message.clear();
  if (changed) *changed = false;
  TFolderLocks locks;
  return SettleListJournals(place, locks, message, changed);
}

void ClearListLeftovers(const TListPlace& place) {
  std::set<std::string> folders{ExcludeTrailingPathDelimiter(place.DataFolder)};
  for (const std::string& list : place.Lists()) {
    folders.insert(ExtractFileDir(list));
    folders.insert(ExtractFileDir(RealPath(list)));
  }
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
  lists_.clear();
  if (journalFd_ >= 0) ::close(journalFd_);
  journalFd_ = -1;
  RunningHere().erase(journal_);
  journal_.clear();
  locks_.reset();
}

bool TListRenames::Begin(std::vector<TFileRename> plan) {
  why_.clear();
  notice_.clear();
  // What killed programs left comes first.
  if (!SettleListJournals(place_, notice_)) {
    why_.swap(notice_);
    return false;
  }
  // Which file a name holds is asked under the lists' locks (see writeCopies).
  plan_.reserve(plan.size());
  for (TFileRename& r : plan)
    if (!r.From.empty() && r.From != r.To) plan_.push_back({std::move(r.From), std::move(r.To), {}, {}});
  if (plan_.empty()) return true;
  index_ = std::make_unique<TRenameIndex>(plan_, place_);
  std::vector<TFollower> scanned;
  return lockLists(scanned) && writeCopies(scanned) && (lists_.empty() || writeJournal());
}

// The lists that name a file of the command, each once however many names lead to it, read
// until their folders are locked and none of them changed since it was read; what programs
// that died while this one waited left is taken in then. When no list follows, none is
// locked and the command goes without them.
bool TListRenames::lockLists(std::vector<TFollower>& scanned) {
  const TFolderSet others = OtherCommandsFolders(place_, *index_);
  locks_ = std::make_unique<TFolderLocks>();
  std::string bytes;
  try {
    for (int round = 0;; ++round) {
      Scan(place_, *index_, scanned, bytes);
      TFolderSet folders = others;
      for (const TFollower& s : scanned)
        if (s.Follows()) folders.merge(FoldersOf(s.file));
      if (folders.empty()) {
        scanned.clear();
        release();
        return true;
      }
      if (round > 0 && locks_->Holds(folders)) {
        bool changed = false;
        std::string said;
        if (!SettleListJournals(place_, *locks_, said, &changed)) throw EFOpenError(said);
        notice_ = AddLine(notice_, said);
        if (!changed) return true;
      }
      if (round == 6) throw EFOpenError(_("Another program keeps changing the paperclip and the shows."));
      locks_->Lock(folders, place_.LockTimeoutMs);
    }
  } catch (const Exception& e) {
    release();
    why_ = NoFileText() + "\r" + e.Message();
  }
  return false;
}

// Each list's new copy written under the locks from the list as it is, for the files that
// the names hold now (no other program's command can come between any more): a list that
// cannot take it is known before the first rename.
bool TListRenames::writeCopies(std::vector<TFollower>& scanned) {
  // Which file each name holds (none: not one of the command's files) is asked only of the
  // files that the lists name and of those meant for one of their names (the last file meant
  // for a name replaces the others there): no other file changes a line.
  std::unordered_set<std::string_view> named;
  for (const TFollower& f : scanned)
    for (const TLineHit& h : f.hits)
      if (h.From >= 0) named.insert({plan_[size_t(h.From)].from, plan_[size_t(h.From)].to});
  named.erase("");
  for (size_t k = 0; k < plan_.size(); ++k) {
    TPlannedRename& p = plan_[k];
    struct stat st;
    if ((named.count(p.from) || named.count(p.to)) && ::lstat(p.from.c_str(), &st) == 0) {
      p.file = TFileId::Of(st);
      p.folder = index_->FolderId(ExtractFileDir(p.from));
      bySource_.emplace(p.from, k);
    }
  }
  done_.assign(plan_.size(), false);
  const TOutcomes planned = Planned(plan_);
  std::vector<std::string> cannot;
  std::string bytes;
  for (TFollower& f : scanned) {
    if (!f.Follows()) continue;
    const TFollow done = Follow(f, *index_, planned, TFor::Begin, bytes);
    if (done == TFollow::Written) lists_.push_back(std::move(f));
    if (done == TFollow::Failed) cannot.push_back(CannotChangeText(f.file.real, errno));
  }
  if (!cannot.empty()) why_ = NoFileText() + NameLines(cannot);
  if (!cannot.empty() || lists_.empty()) release();
  return cannot.empty();
}

// The journal, whole and on the disk with the copies before the first rename, locked while
// the command runs.
bool TListRenames::writeJournal() {
  TJournal j;
  struct timespec made;
  ::clock_gettime(CLOCK_REALTIME, &made);
  j.made = static_cast<unsigned long long>(made.tv_sec) * 1000000000ULL + static_cast<unsigned long long>(made.tv_nsec);
  for (const TFollower& f : lists_) j.lists.push_back({f.file, f.sig});
  for (const TPlannedRename& p : plan_)
    if (p.file.Known()) j.plan.push_back(p);
  const std::string text = JournalText(j);
  if (int64_t(text.size()) > kMaxJournalBytes) {
    release();
    why_ = NoFileText() + "\r" +
           _("The record that keeps the lists up to date would be too large for so many files; rename, move or "
             "delete fewer at once.");
    return false;
  }
  std::string work = WorkFileTemplate(place_.DataFolder + kJournalName, kSaveWorkKind);
  const int fd = fileio::MakeTemp(work, O_CLOEXEC);
  // The lists' copies are flushed with it: as planned they are put in place without more.
  std::vector<int> flushed{fd};
  for (const TFollower& f : lists_) flushed.push_back(f.copy.Fd());
  bool written = fd >= 0 && fileio::Lock(fd, work, LOCK_EX | LOCK_NB) == 0 &&
                 fileio::WriteAll(fd, text.data(), text.size()) && fileio::SyncAll(flushed) == 0;
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
  // Where the files are now, as the disk has them (also after a command that failed part
  // way). A list still as read takes the copy written for it when every file went as
  // planned; another one is written anew from the list as it is now, under the same locks
  // and names (a list removed meanwhile is not made again).
  const TOutcomes now = WhereNow(plan_, done_);
  const bool asPlanned = now == Planned(plan_);
  TFailures failed;
  std::vector<int> rewritten;  // copies written anew since the journal was flushed
  std::string bytes;
  for (size_t i = 0; i < lists_.size(); ++i) {
    TFollower& f = lists_[i];
    if (progress) progress(int(i), f.file.real, f.lines);
    TSignature sig;
    if (asPlanned && SignatureOf(f.file.real, sig) && sig == f.sig) continue;
    const TFollow done = Follow(f, *index_, now, TFor::Finish, bytes);
    if (done == TFollow::Written) rewritten.push_back(f.copy.Fd());
    if (done == TFollow::Failed) failed.emplace_back(f.file.real, errno);
  }
  PutCopies(lists_, rewritten, failed);
  // A record that comes back after a power cut finds its lists replaced: it takes nothing in.
  if (failed.empty()) {
    fileio::Unlink(journal_);
  } else {
    std::vector<std::string> lists;
    for (const auto& [list, error] : failed) lists.push_back(list + " (" + SysErrorMessage(error) + ")");
    why_ = _("These lists could not be brought up to date:") + NameLines(lists) + "\r" +
           Format(_("The record of the renames is kept as %s."), {SetAside(journal_)});
  }
  release();
  return failed.empty();
}
