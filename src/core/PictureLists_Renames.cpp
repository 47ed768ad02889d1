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

#include "core/PictureLists_Internal.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

// A list that follows the command: its file and names, the signature it had when read under
// the lock, the lines that name the command's entries, and its new copy.
struct TListRenames::TFollower {
  TListFile file;
  TSignature sig;
  std::vector<TLineHit> hits;
  int lines = 0;
  TListCopy copy;
};

namespace {

// Journals: ".renames.kivo2journal-<mark of the program>-XXXXXX" in the data folder, made
// under a work name (kSaveWorkKind) and given this name only when whole and on the disk.
// One set aside keeps its bytes under the kind kAsideKind, which is never read again.
// Journals of earlier versions (".batchrename." and the same kind, or an earlier layout)
// are set aside as well.
constexpr char kJournalName[] = "renames";
constexpr char kJournalKind[] = ".kivo2journal-";
constexpr char kAsideKind[] = ".kivo2unread-";
constexpr char kJournalHeader[] = "kivo2 rename journal 4\n";
constexpr int64_t kMaxJournalBytes = int64_t(256) << 20;
// The fewest bytes a list and a rename take in a journal: a bound on the counts it claims.
constexpr size_t kListBytes = 14, kRenameBytes = 11;
// The checksum's field: eight hexadecimal digits and the zero byte that ends every field.
constexpr size_t kChecksumBytes = 9;

// A list as the command read it, with its other names: a list replaced since is another
// file (and a new file that has the same inode number again has another time).
struct TJournalList {
  std::string path;
  TSignature sig;
  std::vector<std::string> others;
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

std::string NoFileText() {
  return _("No file was renamed, moved or deleted: the paperclip or a show that lists these files cannot follow.");
}

std::string CannotChangeText(const std::string& list, int error) {
  return Format(_("%s cannot be changed: %s"), {list, SysErrorMessage(error)});
}

std::string AddLine(const std::string& message, const std::string& more) {
  return message.empty() ? more : message + "\r" + more;
}

// ---------------------------------------------------------------------------
// The journal's text. Its fields, each ended by a zero byte (which no name holds): the
// moment it was made (nanoseconds since 1970: journals are taken in oldest first), the
// number of lists, per list its file, device, inode, size and modification time (seconds,
// nanoseconds) before the command and the number and paths of its other names, the number of
// renames, per rename from, to ("" for a deletion), the file's device and inode and its
// folder's device and inode; last the CRC-32 of every byte before it.
// ---------------------------------------------------------------------------
std::string ChecksumField(std::string_view text) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08lX",
                ::crc32(0L, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
  return std::string(hex) + '\0';
}

std::string JournalText(const TJournal& j) {
  std::string text = kJournalHeader;
  auto field = [&text](const std::string& value) {
    text += value;
    text += '\0';
  };
  auto id = [&field](const TFileId& id) {
    field(std::to_string(id.dev));
    field(std::to_string(id.ino));
  };
  field(std::to_string(j.made));
  field(std::to_string(j.lists.size()));
  for (const TJournalList& l : j.lists) {
    field(l.path);
    id(l.sig.id);
    for (long long n : {l.sig.size, l.sig.sec, l.sig.nsec}) field(std::to_string(n));
    field(std::to_string(l.others.size()));
    for (const std::string& name : l.others) field(name);
  }
  field(std::to_string(j.plan.size()));
  for (const TPlannedRename& p : j.plan) {
    field(p.from);
    field(p.to);
    id(p.file);
    id(p.folder);
  }
  return text + ChecksumField(text);
}

// The fields of a journal one after the other, each bounded by what the text holds.
class TJournalFields {
 public:
  TJournalFields(std::string_view text, size_t at) : text_(text), at_(at) {}
  bool Text(std::string& field) {
    const size_t end = text_.find('\0', at_);
    if (end == std::string::npos) return false;
    field.assign(text_.substr(at_, end - at_));
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
  bool Id(TFileId& id) { return Number(id.dev) && Number(id.ino); }
  bool Signature(TSignature& sig) {
    unsigned long long size = 0, sec = 0, nsec = 0;
    if (!Id(sig.id) || !Number(size) || !Number(sec) || !Number(nsec) || size > (1ULL << 62) || sec > (1ULL << 62) ||
        nsec >= 1000000000ULL)
      return false;
    sig.size = static_cast<long long>(size);
    sig.sec = static_cast<long long>(sec);
    sig.nsec = static_cast<long long>(nsec);
    return true;
  }
  // A count of items of at least each bytes: more than the rest could hold is damage.
  bool Count(unsigned long long& n, size_t each) { return Number(n) && n <= (text_.size() - at_) / each; }
  bool AtEnd() const { return at_ == text_.size(); }

 private:
  std::string_view text_;
  size_t at_;
};

// Reads a journal's text into j; false for one that is damaged (cut short, or its checksum
// does not match) or of an earlier layout. The lists come first: a journal damaged after
// them still tells which lists it names.
bool ParseJournal(const std::string& text, TJournal& j) {
  const std::string_view header(kJournalHeader);
  if (text.compare(0, header.size(), header) != 0) return false;
  TJournalFields fields(text, header.size());
  unsigned long long lists = 0, renames = 0;
  if (!fields.Number(j.made) || !fields.Count(lists, kListBytes)) return false;
  for (unsigned long long i = 0; i < lists; ++i) {
    TJournalList l;
    unsigned long long others = 0;
    if (!fields.Text(l.path) || !IsFullPath(l.path) || !fields.Signature(l.sig) || !fields.Count(others, 2)) return false;
    for (unsigned long long n = 0; n < others; ++n) {
      std::string name;
      if (!fields.Text(name) || !IsFullPath(name)) return false;
      l.others.push_back(std::move(name));
    }
    j.lists.push_back(std::move(l));
  }
  if (!fields.Count(renames, kRenameBytes)) return false;
  j.plan.reserve(size_t(renames));
  for (unsigned long long k = 0; k < renames; ++k) {
    TPlannedRename p;
    if (!fields.Text(p.from) || !fields.Text(p.to) || !fields.Id(p.file) || !fields.Id(p.folder) ||
        !IsFullPath(p.from) || (!p.to.empty() && !IsFullPath(p.to)))
      return false;
    j.plan.push_back(std::move(p));
  }
  const size_t body = text.size() - std::min(text.size(), kChecksumBytes);
  std::string checksum;
  return fields.Text(checksum) && fields.AtEnd() &&
         ChecksumField(std::string_view(text).substr(0, body)) == std::string_view(text).substr(body);
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

// What to tell of a journal set aside (kept as aside): which lists may name old names.
std::string SetAsideText(const std::string& aside, const std::vector<std::string>& lists) {
  return Format(_("A record of renamed files that a stopped program left could not be taken in; it is kept as %s."),
                {aside}) +
         "\r" + _("These lists may still name files by their old names:") + NameLines(lists);
}

// A cause that passes: the journal is tried again later.
bool Passing(int error) { return error == ENOSPC || error == EDQUOT || error == EWOULDBLOCK || error == EINTR; }

enum class TTakeIn { Done, Kept, SetAside };

// Takes journal j of a killed program into the lists, under their folders' locks (held).
TTakeIn TakeIn(const TListPlace& place, TJournal& j, TFolderLocks& locks, std::string& message, bool* changed) {
  // The killed program's work copies go first: they hold the room the lists' copies need.
  std::set<std::string> folders;
  for (const TJournalList& l : j.lists) folders.insert(ExtractFileDir(l.path));
  for (const std::string& folder : folders) ClearLeftovers(folder);
  // Its lists that it had not replaced yet: still the same files, at their paths or, moved
  // since (a show renamed in the tree), another of the lists that is that file.
  std::vector<std::pair<TListFile, TSignature>> targets;
  // Names of a list that the killed program had put its copy under but not yet all of them:
  // the others take that copy.
  struct TRelink {
    std::string put, name;
    TSignature was;
  };
  std::vector<TRelink> relinks;
  std::vector<TListFile> current;
  bool listed = false;
  for (const TJournalList& l : j.lists) {
    TSignature sig;
    if (SignatureOf(l.path, sig)) {
      if (sig == l.sig) {
        targets.emplace_back(ResolveList(l.path, place.Lists), l.sig);
      } else {
        for (const std::string& name : l.others)
          if (SignatureOf(name, sig) && sig == l.sig) relinks.push_back({l.path, name, l.sig});
      }
      continue;
    }
    if (!listed) current = DistinctLists(place), listed = true;
    for (const TListFile& list : current)
      if (SignatureOf(list.real, sig) && sig == l.sig) targets.emplace_back(list, l.sig);
  }
  TFolderSet locked;
  for (const auto& [target, was] : targets) locked.merge(FoldersOf(target));
  for (const TRelink& r : relinks) locked.merge(TFolderSet{{ExtractFileDir(r.put), r.put}, {ExtractFileDir(r.name), r.name}});
  try {
    locks.Lock(locked, place.LockTimeoutMs);
  } catch (const Exception& e) {
    message = AddLine(message, KeptText(e.Message()));
    return TTakeIn::Kept;
  }
  // Another program may have taken it in while this one waited.
  struct stat journal;
  if (::fstat(j.fd, &journal) != 0 || journal.st_nlink == 0) return TTakeIn::Done;
  std::vector<std::optional<std::string>> now(j.plan.size());
  for (size_t k = 0; k < j.plan.size(); ++k) now[k] = WhereNow(j.plan[k], false);
  TRenameIndex index(j.plan, place);
  std::vector<std::string> failed;
  std::string why;
  bool passing = false;
  std::string bytes;
  for (const TRelink& r : relinks) {
    TSignature sig;
    if (!SignatureOf(r.name, sig) || !(sig == r.was)) continue;
    if (LinkInPlaceOf(r.put, r.name)) {
      fileio::SyncFolder(ExtractFileDir(r.name));
      if (changed) *changed = true;
    } else {
      passing = passing || Passing(errno);
      why = CannotChangeText(r.name, errno);
      failed.push_back(r.name);
    }
  }
  for (const auto& [target, was] : targets) {
    TSignature sig;
    if (!ReadListBytes(target.real, bytes, &sig)) {
      // Gone meanwhile, or no list the program reads (too large to be one).
      if (errno != ENOENT && errno != EFBIG) {
        why = CannotChangeText(target.real, errno);
        failed.push_back(target.real);
      }
      continue;
    }
    if (!(sig == was)) continue;
    const std::vector<TListEdit> edits = EditsAfter(index.Hits(bytes), j.plan, now, place);
    if (edits.empty()) continue;
    if (ReplaceList(target, Edited(bytes, edits))) {
      if (changed) *changed = true;
    } else {
      passing = passing || Passing(errno);
      why = CannotChangeText(target.real, errno);
      failed.push_back(target.real);
    }
  }
  if (failed.empty()) {
    fileio::Unlink(j.file);
    fileio::SyncFolder(place.DataFolder);
    return TTakeIn::Done;
  }
  if (passing) {
    message = AddLine(message, KeptText(why));
    return TTakeIn::Kept;
  }
  message = AddLine(message, SetAsideText(SetAside(j.file), failed));
  return TTakeIn::SetAside;
}

// The folders of the lists of commands that run now in other programs and rename files to
// one of the names this command renames: their lists take those renames when they end, so
// this command waits for them by their locks before it reads the lists.
TFolderSet RunningCommandsFolders(const TListPlace& place, TRenameIndex& index) {
  TFolderSet folders;
  for (const std::string& file : JournalFiles(place.DataFolder)) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    std::string text;
    TJournal j;
    if (RunsStill(fd, file, LOCK_SH) && ReadJournal(fd, text) && ParseJournal(text, j) &&
        std::any_of(j.plan.begin(), j.plan.end(),
                    [&](const TPlannedRename& p) { return !p.to.empty() && index.OldEntryOf(p.to) >= 0; }))
      for (const TJournalList& l : j.lists) folders.emplace(RealPath(ExtractFileDir(l.path)), l.path);
    ::close(fd);
  }
  return folders;
}

// A list as read for a command: its file, its signature and the lines that name the
// command's entries.
struct TScanned {
  TListFile file;
  TSignature sig;
  std::vector<TLineHit> hits;
  int lines = 0;
  bool follows() const { return TRenameIndex::NamesAny(hits); }
};

// The lists as they are now, each read again only when it changed since scanned was read.
void Scan(const TListPlace& place, TRenameIndex& index, std::vector<TScanned>& scanned) {
  std::map<std::string, TScanned> before;
  for (TScanned& s : scanned) before.emplace(s.file.real, std::move(s));
  scanned.clear();
  std::string bytes;
  for (TListFile& file : DistinctLists(place)) {
    TScanned s;
    if (!SignatureOf(file.real, s.sig)) continue;
    const auto old = before.find(file.real);
    if (old != before.end() && old->second.sig == s.sig && old->second.file.others == file.others) {
      scanned.push_back(std::move(old->second));
      continue;
    }
    s.file = std::move(file);
    // A list that cannot be read (or is too large to be one) is not a list the program reads.
    if (ReadListBytes(s.file.real, bytes, &s.sig)) {
      s.hits = index.Hits(bytes);
      s.lines = 0;
      for (const char* at = bytes.data(), *end = at + bytes.size();
           (at = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)))) != nullptr; ++at)
        ++s.lines;
    }
    scanned.push_back(std::move(s));
  }
}

}  // namespace

bool SettleListJournals(const TListPlace& place, std::string& message, bool* changed) {
  message.clear();
  if (changed) *changed = false;
  const std::vector<std::string> files = JournalFiles(place.DataFolder);
  if (files.empty()) return true;
  std::vector<TJournal> taken;
  for (const std::string& file : files) {
    TJournal j;
    j.file = file;
    j.fd = fileio::Open(file, O_RDWR | O_CLOEXEC);
    if (j.fd < 0 && errno == ENOENT) continue;  // its command ended meanwhile
    if (j.fd >= 0) {
      // A running command's journal is its own: never taken in, never waited for.
      struct stat st;
      if (RunsStill(j.fd, file, LOCK_EX) || ::fstat(j.fd, &st) != 0 || st.st_nlink == 0) {
        ::close(j.fd);
        continue;
      }
    }
    std::string text;
    if (j.fd < 0 || !ReadJournal(j.fd, text) || !ParseJournal(text, j)) {
      // Never taken in in part: the lists it names are told, or every list when it names
      // none that can be read.
      std::vector<std::string> named;
      for (const TJournalList& l : j.lists) named.push_back(l.path);
      if (named.empty())
        for (const TListFile& list : DistinctLists(place)) named.push_back(list.name);
      message = AddLine(message, SetAsideText(SetAside(file), named));
      if (j.fd >= 0) ::close(j.fd);
      continue;
    }
    taken.push_back(std::move(j));
  }
  std::sort(taken.begin(), taken.end(), [](const TJournal& a, const TJournal& b) { return a.made < b.made; });
  TFolderLocks locks;
  bool settled = true;
  for (TJournal& j : taken)
    if (TakeIn(place, j, locks, message, changed) == TTakeIn::Kept) settled = false;
  for (TJournal& j : taken) ::close(j.fd);
  return settled;
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
    struct stat st, folder;
    if (r.From.empty() || r.From == r.To || ::lstat(r.From.c_str(), &st) != 0) continue;
    TPlannedRename p{r.From, r.To, TFileId::Of(st), {}};
    if (::stat(ExtractFileDir(r.From).c_str(), &folder) == 0) p.folder = TFileId::Of(folder);
    plan_.push_back(std::move(p));
  }
  if (plan_.empty()) return true;
  done_.assign(plan_.size(), false);
  for (size_t k = 0; k < plan_.size(); ++k) bySource_.emplace(plan_[k].from, k);
  index_ = std::make_unique<TRenameIndex>(plan_, place_);

  // The lists that name a file of the command, each once however many names lead to it,
  // read until their folders are locked and none of them changed since it was read.
  const TFolderSet running = RunningCommandsFolders(place_, *index_);
  locks_ = std::make_unique<TFolderLocks>();
  std::vector<TScanned> scanned;
  for (int round = 0;; ++round) {
    Scan(place_, *index_, scanned);
    TFolderSet folders = running;
    for (const TScanned& s : scanned)
      if (s.follows()) folders.merge(FoldersOf(s.file));
    if (folders.empty()) {
      release();
      return true;
    }
    if (round > 0 && locks_->Holds(folders)) break;
    try {
      if (round == 4) throw EFOpenError(_("Another program keeps changing the paperclip and the shows."));
      locks_->Lock(folders, place_.LockTimeoutMs);
    } catch (const Exception& e) {
      release();
      why_ = NoFileText() + "\r" + e.Message();
      return false;
    }
  }

  // The files as they are now that no other program's command can come between: which file
  // a name holds decides where its lines go.
  std::vector<std::optional<std::string>> planned(plan_.size());
  for (size_t k = 0; k < plan_.size(); ++k) {
    struct stat st;
    plan_[k].file = ::lstat(plan_[k].from.c_str(), &st) == 0 ? TFileId::Of(st) : TFileId{};
    if (plan_[k].file.Known()) planned[k] = plan_[k].to;
  }

  // Each list's new copy written under the locks from the list as it is (read again only
  // when it changed since it was read): a list that cannot take it is known now.
  std::vector<std::string> cannot;
  std::string bytes;
  for (TScanned& s : scanned) {
    if (!s.follows()) continue;
    TFollower f;
    f.file = std::move(s.file);
    f.lines = s.lines;
    const int in = ::open(f.file.real.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (in < 0 || ::fstat(in, &st) != 0) {
      if (in >= 0) ::close(in);
      continue;
    }
    f.sig = TSignature::Of(st);
    if (f.sig == s.sig) {
      f.hits = std::move(s.hits);
    } else if (ReadListBytes(f.file.real, bytes, &f.sig)) {
      f.hits = index_->Hits(bytes);
    }
    const std::vector<TListEdit> edits = EditsAfter(f.hits, plan_, planned, place_);
    bool made = true;
    if (!edits.empty()) {
      uint64_t added = 0;
      for (const TListEdit& e : edits) added += e.Text.size();
      // Room for any mix of old and new names that the renames may leave.
      made = f.copy.Make(f.file) && f.copy.Write(in, uint64_t(f.sig.size), edits) &&
             f.copy.Reserve(uint64_t(f.sig.size) + added);
    }
    const int error = errno;
    ::close(in);
    if (!made) {
      cannot.push_back(CannotChangeText(f.file.real, error));
      f.copy.Drop();
      continue;
    }
    if (!edits.empty()) lists_.push_back(std::move(f));
  }
  bytes.clear();
  if (!cannot.empty()) {
    release();
    why_ = NoFileText() + NameLines(cannot);
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
  for (const TFollower& f : lists_) j.lists.push_back({f.file.real, f.sig, f.file.others});
  j.plan = plan_;
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
                 fileio::WriteAll(fd, text.data(), text.size()) && SyncFiles(flushed);
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
  // way), and what the copies were written for.
  std::vector<std::optional<std::string>> now(plan_.size()), planned(plan_.size());
  for (size_t k = 0; k < plan_.size(); ++k) {
    now[k] = WhereNow(plan_[k], done_[k]);
    if (plan_[k].file.Known()) planned[k] = plan_[k].to;
  }
  std::vector<std::string> failed;
  std::vector<int> rewritten;  // copies written anew since the journal was flushed
  std::string bytes;
  for (size_t i = 0; i < lists_.size(); ++i) {
    TFollower& f = lists_[i];
    if (progress) progress(int(i), f.file.real, f.lines);
    TSignature sig;
    // A list removed meanwhile is not made again.
    if (!SignatureOf(f.file.real, sig)) {
      f.copy.Drop();
      continue;
    }
    // A list that is still what was read takes its copy as written when every file went
    // as planned, or one written anew from it; one that changed is read again.
    bool ok = true;
    const bool anew = !(sig == f.sig) || now != planned;
    if (!(sig == f.sig)) {
      if (!ReadListBytes(f.file.real, bytes, &sig)) {
        failed.push_back(f.file.real + " (" + SysErrorMessage(errno) + ")");
        f.copy.Drop();
        continue;
      }
      f.file = ResolveList(f.file.real, place_.Lists);
      const std::vector<TListEdit> edits = EditsAfter(index_->Hits(bytes), plan_, now, place_);
      if (edits.empty()) {
        f.copy.Drop();
        continue;
      }
      ok = f.copy.Write(Edited(bytes, edits));
    } else if (now != planned) {
      const std::vector<TListEdit> edits = EditsAfter(f.hits, plan_, now, place_);
      if (edits.empty()) {
        f.copy.Drop();
        continue;
      }
      const int in = ::open(f.file.real.c_str(), O_RDONLY | O_CLOEXEC);
      ok = in >= 0 && f.copy.Write(in, uint64_t(sig.size), edits);
      if (in >= 0) ::close(in);
    }
    if (!ok || !f.copy.Trim()) {
      failed.push_back(f.file.real + " (" + SysErrorMessage(errno) + ")");
      f.copy.Drop();
      continue;
    }
    if (anew) rewritten.push_back(f.copy.Fd());
  }
  bytes.clear();
  // The copies written anew flushed together, then all put in place.
  TFolderSet folders;
  const bool synced = rewritten.empty() || SyncFiles(rewritten);
  const int syncError = errno;
  for (TFollower& f : lists_) {
    if (!f.copy.Made()) continue;
    if (synced && f.copy.Put(f.file)) {
      folders.merge(FoldersOf(f.file));
    } else {
      failed.push_back(f.file.real + " (" + SysErrorMessage(synced ? errno : syncError) + ")");
      f.copy.Drop();
    }
  }
  for (const auto& [folder, list] : folders) fileio::SyncFolder(folder);
  // A record that comes back after a power cut finds its lists replaced: it takes nothing in.
  if (failed.empty()) {
    fileio::Unlink(journal_);
  } else {
    why_ = _("These lists could not be brought up to date:") + NameLines(failed) + "\r" +
           Format(_("The record of the renames is kept as %s."), {SetAside(journal_)});
  }
  release();
  return failed.empty();
}
