// The lists of pictures following the files that a command renames, moves or deletes: the
// lists that name them are locked, their new copies and a record written before the first
// rename, and put in place after the last; the records of killed programs are taken in under
// the lists' lock protocol, kept here in one place (LockLists).
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
// A record's list also has when the file read and its copy were made; a list taken into, the
// record's list it stands for, whether it changed since read (partial), the lines it left as
// they were (unsure), and the copy put for it under another of its names (twin).
struct TFollower {
  TFollower() = default;
  TFollower(TListFile f, TSignature s) : file(std::move(f)), sig(s) {}
  TListFile file;
  TSignature sig;
  std::vector<TLineHit> hits;
  bool read = false;
  int lines = 0;
  TListCopy copy;
  long long born = 0, putBorn = 0;  // 0: not known
  TFileId put;
  size_t list = 0;
  bool partial = false;
  int unsure = 0;
  std::string twin;
  bool Follows() const {
    return std::any_of(hits.begin(), hits.end(), [](const TLineHit& h) { return h.From >= 0; });
  }
};

namespace {

// Rounds of waits after which a writer whose lists move each time it waited gives up.
constexpr int kRounds = 6;

// ---- A list brought to a command's renames ----
// f as its list is now, read through fd again only when it is not as f.sig says. False (errno
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

// What a copy is written for: a command before its first rename (room set aside for any
// outcome), after its last, or a killed program's record.
enum class TFor { Begin, Finish, TakeIn };

// Brings f's list to the renames' outcomes now in its copy, through one handle: the lines that
// name the command's files written anew, the rest copied as they are. A record's list that is
// not as f.sig says takes only the lines that can mean nothing else. False (errno set) when it
// cannot; a copy is kept only when written (a list that is gone or keeps its lines has none).
bool Follow(TFollower& f, TRenameIndex& index, const TOutcomes& now, TFor step, std::string& bytes) {
  const int fd = ::open(f.file.real.c_str(), O_RDONLY | O_CLOEXEC);
  bool done = fd < 0 && errno == ENOENT, written = false;
  struct stat st;
  if (fd >= 0 && ::fstat(fd, &st) == 0) {
    f.partial = f.partial || (step == TFor::TakeIn && !(TSignature::Of(st) == f.sig));
    f.unsure = 0;
    if (Reread(f, fd, index, bytes)) {
      const std::vector<TListEdit> edits = index.EditsAfter(f.hits, now, f.partial ? &f.unsure : nullptr);
      uint64_t added = 0;
      for (const TListEdit& e : edits) added += e.Text.size();
      written = !edits.empty() && (f.copy.Made() || f.copy.Make(f.file)) &&
                f.copy.Write(fd, uint64_t(f.sig.size), edits) &&
                (step != TFor::Begin || f.copy.Reserve(uint64_t(f.sig.size) + added));
      done = edits.empty() || written;
    }
  }
  const int error = errno;
  if (fd >= 0) ::close(fd);
  if (!written) f.copy.Drop();
  errno = error;
  return done;
}

using TFailures = std::vector<std::pair<std::string, int>>;

// Puts the lists' copies in place, those written anew (rewritten) flushed first. Each list is
// checked again just before its copy is put: one that changed meanwhile (an editor saved it)
// takes a copy written anew from it, flushed. Returns how many were put.
size_t PutCopies(std::vector<TFollower>& lists, const std::vector<int>& rewritten, TFailures& failed,
                 TRenameIndex& index, const TOutcomes& now, TFor step) {
  const int synced = fileio::SyncAll(rewritten) == 0 ? 0 : errno;
  TFolderSet folders;
  size_t put = 0;
  std::string bytes;
  for (TFollower& f : lists) {
    int error = synced;
    TSignature sig;
    for (int round = 0; error == 0 && f.copy.Made() && !(SignatureOf(f.file.real, sig) && sig == f.sig); ++round) {
      const bool again = round < kRounds ? Follow(f, index, now, step, bytes) : (errno = EBUSY, false);
      if (!again || (f.copy.Made() && fileio::Sync(f.copy.Fd()) != 0)) error = errno;
    }
    if (!f.copy.Made()) continue;
    if (error == 0 && f.copy.Trim() && f.copy.Put(f.file)) {
      folders.merge(FoldersOf(f.file));
      ++put;
    } else {
      failed.emplace_back(f.file.real, error ? error : errno);
      f.copy.Drop();
    }
  }
  for (const auto& [folder, list] : folders) fileio::SyncFolder(folder);
  return put;
}

// ---- Records ----
// ".renames.kivo2journal-<mark of the program>-XXXXXX" in the data folder, made under a work
// name (kSaveWorkKind) and given this name only when whole and on the disk. One set aside
// keeps its bytes under the kind kAsideKind, which is never read again. Records of earlier
// versions (".batchrename." and the same kind, or an earlier layout) are set aside as well.
constexpr char kJournalName[] = "renames";
constexpr char kJournalKind[] = ".kivo2journal-";
constexpr char kAsideKind[] = ".kivo2unread-";
constexpr char kJournalHeader[] = "kivo2 rename journal 6\n";
constexpr int64_t kMaxJournalBytes = int64_t(256) << 20;
// The fewest bytes of a list, a rename and a take-in's copy in a record: bounds on its counts.
constexpr size_t kListBytes = 26, kRenameBytes = 11, kTakenBytes = 8;

// A record's name with its kind changed.
std::string WithKind(std::string name, std::string_view from, std::string_view to) {
  return name.replace(name.rfind(from), from.size(), to);
}

// A copy that a take-in put for a record's list (by the list's number), and when it was made.
struct TPut {
  size_t list = 0;
  TFileId id;
  long long born = 0;
};
using TTaken = std::vector<TPut>;
// Two times a file was made, either of them perhaps unknown (0), may be of one file.
bool SameBirth(long long a, long long b) { return a == 0 || b == 0 || a == b; }

struct TJournal {
  std::string file;
  int fd = -1;
  unsigned long long made = 0;
  std::vector<TFollower> lists;  // as the command read them, with the copies it puts
  TTaken taken;
  std::vector<TPlannedRename> plan;
  // The file (made at born) is a copy put for list l; an inode number given again is not.
  bool Put(size_t l, const TFileId& id, long long born) const {
    return (lists[l].put.Known() && lists[l].put == id && SameBirth(lists[l].putBorn, born)) ||
           std::any_of(taken.begin(), taken.end(),
                       [&](const TPut& p) { return p.list == l && p.id == id && SameBirth(p.born, born); });
  }
};

// The records of this process's commands that run now: it never waits for itself.
std::set<std::string>& RunningHere() {
  static std::set<std::string> running;
  return running;
}

std::string NoFileText() {
  return _("No file was renamed, moved or deleted: the paperclip or a show that lists these files cannot follow.");
}

std::string AddLine(const std::string& message, const std::string& more) {
  return message.empty() ? more : more.empty() ? message : message + "\r" + more;
}

std::string OldNamesText(const std::vector<std::string>& lists) {
  return _("These lists may still name files by their old names:") + NameLines(lists);
}

// The record's fields, each ended by a zero byte (which no name holds): when it was made
// (records are taken in oldest first), the number of lists, per list its file, its signature
// before the command, when it was made, the id and making time of the copy put in its place,
// and its other names; the number of renames, per rename from, to ("" for a deletion), the
// file's id and its folder's; last the CRC-32 of every byte before it. The lists come first: a
// record damaged after them still tells which lists it names. A take-in adds, before it puts
// its copies, their number and per copy its list's number, id and making time, with their
// CRC-32: a part cut short belongs to a take-in that put none.
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
        !io.Number(l.born) || !io.Id(l.put) || !io.Number(l.putBorn) || !io.Count(others, 2))
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

template <class TIo>
bool TakenFields(TTaken& taken, size_t lists, TIo& io) {
  size_t count = taken.size();
  if (!io.Count(count, kTakenBytes)) return false;
  taken.resize(count);
  for (TPut& p : taken)
    if (!io.Number(p.list, lists) || !io.Id(p.id) || !io.Number(p.born)) return false;
  return true;
}

struct TJournalWriter {
  std::string text;
  bool Text(const std::string& field) {
    text += field;
    text += '\0';
    return true;
  }
  bool Path(const std::string& field) { return Text(field); }
  bool Number(auto n, unsigned long long = 0) { return Text(std::to_string(n)); }
  bool Count(size_t n, size_t) { return Number(n); }
  bool Id(const TFileId& id) { return Number(id.dev) && Number(id.ino); }
  std::string Sealed() const { return text + ChecksumField(text); }
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
  // Fields read by fields(), then their checksum (of the bytes from from on); false when damaged.
  template <class TFields>
  bool Sealed(size_t from, TFields fields) {
    std::string checksum;
    if (!fields()) return false;
    const size_t body = at;
    return Text(checksum) && ChecksumField(text.substr(from, body - from)) == text.substr(body, at - body);
  }
};

// Reads the record open as fd into j; false for one that cannot be read, is damaged or of an
// earlier layout.
bool ReadJournal(int fd, TJournal& j) {
  std::string text;
  TSignature sig;
  if (!ReadListBytes(fd, text, sig, kMaxJournalBytes) || text.rfind(kJournalHeader, 0) != 0) return false;
  TJournalReader reader{text};
  if (!reader.Sealed(0, [&] { return JournalFields(j, reader); })) return false;
  for (TTaken taken; reader.at < text.size(); taken.clear()) {
    const size_t from = reader.at;
    if (!reader.Sealed(from, [&] { return TakenFields(taken, j.lists.size(), reader); })) break;
    j.taken.insert(j.taken.end(), taken.begin(), taken.end());
  }
  return true;
}

// Names in j's record the copies a take-in has written for its lists, before it puts them;
// false (errno set, the record as it was) when it cannot.
bool AddTaken(TJournal& j, const std::vector<TFollower>& lists) {
  TTaken taken;
  for (const TFollower& t : lists) {
    struct stat st;
    if (t.copy.Made() && ::fstat(t.copy.Fd(), &st) == 0)
      taken.push_back({t.list, TFileId::Of(st), BirthOf("", t.copy.Fd())});
  }
  if (taken.empty()) return true;
  TJournalWriter writer;
  TakenFields(taken, j.lists.size(), writer);
  const std::string text = writer.Sealed();
  const off_t end = ::lseek(j.fd, 0, SEEK_END);
  const int error = end >= 0 && fileio::WriteAll(j.fd, text.data(), text.size()) ? 0 : errno;
  if (error != 0 && end >= 0) static_cast<void>(::ftruncate(j.fd, end) == 0);
  return (errno = error) == 0;
}

// The records in folder (those of earlier versions to be set aside), but this process's own.
std::vector<std::string> JournalFiles(const std::string& folder) {
  std::vector<std::string> journals;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return journals;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] != '.' || name.find(kJournalKind) == std::string::npos) continue;
    // An earlier version's record is left to its program while that runs.
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

// The command that keeps the open record fd (at file) runs still: its lock is held, or,
// where the file system locks nothing, its program runs. Otherwise fd is locked now.
bool RunsStill(int fd, const std::string& file) {
  if (fileio::Lock(fd, file, LOCK_EX | LOCK_NB) == 0) return false;
  return errno == EWOULDBLOCK || !WorkFileOwnerGone(ExtractFileName(file), kJournalKind);
}

// Sets a record aside under a name that is never read again; the name it has then.
std::string SetAside(const std::string& file) {
  const std::string aside = WithKind(file, kJournalKind, kAsideKind);
  if (fileio::RenameNoReplace(file, aside) != 0) return file;
  fileio::SyncFolder(ExtractFileDir(file));
  return aside;
}

std::string KeptText(const std::string& why) {
  return Format(_("The renames of a stopped program could not be taken into the paperclip and the shows now; they "
                  "are kept and taken in at the next start: %s"),
                {why});
}

// A cause that passes (no room, a held lock, a list that cannot be written now): the record is
// tried again later.
bool Passing(int error) {
  return error == ENOSPC || error == EDQUOT || error == EWOULDBLOCK || error == EINTR || error == EROFS ||
         error == EACCES || error == EPERM;
}

// ---- A record's lists as the program finds them now ----
// The names of j's lists that are among names (the program's), and whether it names another
// file that exists (a list of another program: the record is never taken in).
std::vector<std::string> NamedLists(const TJournal& j, const std::set<std::string>& names, bool* foreign = nullptr) {
  std::vector<std::string> named;
  for (const TFollower& l : j.lists) {
    std::vector<std::string> all = l.file.others;
    all.push_back(l.file.real);
    for (const std::string& name : all) {
      struct stat st;
      if (names.count(name)) named.push_back(name);
      if (foreign) *foreign = *foreign || (!names.count(name) && ::lstat(name.c_str(), &st) == 0);
    }
  }
  return named;
}

// How a list found now stands to a record's list, strongest first: a copy put for it (by the
// killed command or a take-in killed in its turn), the file read as read, that file changed
// (also under another name: a show renamed or moved), or another file under its name.
enum class TStands : uint8_t { Put, AsRead, Changed, None };

// The program's lists that stand for j's lists now, but copies put for them; one that holds
// the file read while a copy put for it has taken another of its names knows that copy (twin).
std::vector<TFollower> ListsNow(const TJournal& j, const std::vector<TListFile>& lists) {
  std::vector<TFollower> found;
  std::vector<bool> holdsRead;
  std::vector<std::pair<size_t, std::string>> copies;  // the record's list, the copy's name
  for (const TListFile& now : lists) {
    const std::set<std::string> names = NamesOf({now});
    TSignature sig;
    SignatureOf(now.real, sig);
    const long long born = BirthOf(now.real);
    TStands best = TStands::None;
    size_t list = 0;
    for (size_t l = 0; l < j.lists.size(); ++l) {
      const TFollower& was = j.lists[l];
      TStands s = TStands::None;
      if (j.Put(l, sig.id, born))
        s = TStands::Put;
      else if (was.sig.id == sig.id && SameBirth(was.born, born))
        s = was.sig == sig ? TStands::AsRead : TStands::Changed;
      else if (names.count(was.file.real) ||
               std::any_of(was.file.others.begin(), was.file.others.end(),
                           [&](const std::string& name) { return names.count(name) > 0; }))
        s = TStands::Changed;
      if (s < best) best = s, list = l;
    }
    if (best == TStands::Put) copies.emplace_back(list, now.real);
    if (best == TStands::AsRead || best == TStands::Changed) {
      found.emplace_back(now, j.lists[list].sig);
      found.back().list = list;
      holdsRead.push_back(j.lists[list].sig.id == sig.id);
    }
  }
  for (size_t i = 0; i < found.size(); ++i)
    for (const auto& [list, name] : copies)
      if (list == found[i].list && holdsRead[i]) found[i].twin = name;
  return found;
}

// ---- A record taken in ----
enum class TTakeIn { Done, Kept, SetAside, Again };

// What taking records in had to tell, whether a list was written, and why a record that had to
// be in first is kept (the file, or the data folder, that could not be changed).
struct TSettled {
  std::string notice;
  bool changed = false;
  std::string keptFile;
  int keptError = 0;
  std::string Kept() const { return KeptText(CannotChangeText(keptFile, keptError)); }
};

// Sets record j aside, telling which lists may name old names (every list when named is empty).
TTakeIn SetAsideRecord(const TListPlace& place, const TJournal& j, std::vector<std::string> named, TSettled& out) {
  const std::string aside = SetAside(j.file);
  if (named.empty())
    for (const TListFile& list : DistinctLists(place)) named.push_back(list.name);
  out.notice = AddLine(
      out.notice,
      Format(_("A record of renamed files that a stopped program left could not be taken in; it is kept as %s."),
             {aside}) +
          "\r" + OldNamesText(named));
  return TTakeIn::SetAside;
}

TTakeIn KeptFor(const std::string& file, int error, TSettled& out) {
  out.keptFile = file;
  out.keptError = error;
  return TTakeIn::Kept;
}

std::string BytesOf(const std::string& path, int fd = -1) {
  std::string bytes;
  TSignature sig;
  const int in = fd >= 0 ? fd : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0 || !ReadListBytes(in, bytes, sig)) bytes.clear();
  if (in >= 0 && in != fd) ::close(in);
  return bytes;
}

// Writes the take-in's copies (and returns them). A list that holds the file read under a name
// the killed program had not put its copy under yet takes that copy (relinks) when the renames
// bring it to the copy's bytes: it is then the list as read.
std::vector<int> WriteTakeInCopies(std::vector<TFollower>& lists, TRenameIndex& index, const TOutcomes& now,
                                   TFailures& failed, std::vector<const TFollower*>& relinks) {
  std::vector<int> written;
  std::string bytes;
  for (TFollower& t : lists) {
    bool done = true;
    if (!t.twin.empty() && SignatureOf(t.file.real, t.sig)) {
      done = Follow(t, index, now, TFor::TakeIn, bytes);
      if (done && BytesOf(t.file.real, t.copy.Made() ? t.copy.Fd() : -1) == BytesOf(t.twin)) {
        t.copy.Drop();
        relinks.push_back(&t);
        continue;
      }
      t.partial = true;
    }
    // A copy that could not be written tells nothing of how the list stands to the one put.
    if (done) done = Follow(t, index, now, TFor::TakeIn, bytes);
    if (done && t.copy.Made())
      written.push_back(t.copy.Fd());
    else if (!done && errno != EFBIG)  // too large to be a list: none the program reads
      failed.emplace_back(t.file.real, errno);
  }
  return written;
}

std::string UnsureText(const std::vector<TFollower>& lists) {
  std::vector<std::string> unsure;
  for (const TFollower& t : lists)
    if (t.unsure > 0) unsure.push_back(t.file.name);
  if (unsure.empty()) return "";
  return _("The renames of a stopped program were taken into lists that changed after it stopped; a line that "
           "could name another file now was left as it was.") +
         "\r" + OldNamesText(unsure);
}

// Takes record j of a killed program into the lists, under the locks of its lists and its own
// (see LockLists): only into the lists the program finds now, by the names it finds itself (a
// data folder may be another's, as on a removable drive: a record that names any other file
// is set aside), and only into those the killed program (or a take-in killed in its turn) had
// not put a copy in place of yet. Before the first copy is put the record names them all.
TTakeIn TakeIn(const TListPlace& place, TFolderLocks& locks, TJournal& j, TSettled& out) {
  const std::vector<TListFile> all = DistinctLists(place);
  bool foreign = false;
  std::vector<std::string> named = NamedLists(j, NamesOf(all), &foreign);
  if (foreign) return SetAsideRecord(place, j, std::move(named), out);
  // One that moved while this program waited is locked first.
  std::vector<TFollower> lists = ListsNow(j, all);
  TFolderSet folders;
  for (const TFollower& t : lists) folders.merge(FoldersOf(t.file));
  if (!locks.Holds(folders)) return TTakeIn::Again;
  // The killed program's work copies go first: they hold the room the lists' copies need.
  for (const auto& [folder, list] : folders) ClearLeftovers(folder);
  const TOutcomes now = WhereNow(j.plan, {});
  TRenameIndex index(j.plan, place);
  TFailures failed;
  std::vector<const TFollower*> relinks;
  std::vector<int> written = WriteTakeInCopies(lists, index, now, failed, relinks);
  // The record names the copies, on the disk with them, before the first is put.
  if (!AddTaken(j, lists)) return KeptFor(place.DataFolder, errno, out);
  written.push_back(j.fd);
  size_t wrote = PutCopies(lists, written, failed, index, now, TFor::TakeIn);
  for (const TFollower* t : relinks)
    for (const std::string& name : NamesOf({t->file}))
      if (LinkInPlaceOf(t->twin, name) && ++wrote)
        fileio::SyncFolder(ExtractFileDir(name));
      else
        failed.emplace_back(name, errno);
  out.changed = out.changed || wrote > 0;
  // The record goes once every list took it; it stays for a passing cause, else it is set aside.
  if (failed.empty()) {
    fileio::Unlink(j.file);
    fileio::SyncFolder(place.DataFolder);
    out.notice = AddLine(out.notice, UnsureText(lists));
    return TTakeIn::Done;
  }
  if (std::any_of(failed.begin(), failed.end(), [](const auto& f) { return Passing(f.second); }))
    return KeptFor(failed.back().first, failed.back().second, out);
  named.clear();
  for (const auto& [list, error] : failed) named.push_back(list);
  return SetAsideRecord(place, j, std::move(named), out);
}

// Takes record j in (read without its lock), the locks of its lists held when it names any
// (ours): its own lock is taken now, without waiting, and it is read again. A record whose
// lists this program holds runs in no command, unless a program of another kind holds it: it
// stays then. One that names no list of the program is only set aside, or left to its command.
TTakeIn TakeInRecord(const TListPlace& place, TFolderLocks& locks, const TJournal& j, bool ours, TSettled& out) {
  // Never taken in in part: the lists it names are told, or every list.
  auto aside = [&] {
    std::vector<std::string> named;
    for (const TFollower& l : j.lists)
      if (!l.file.real.empty()) named.push_back(l.file.real);
    return SetAsideRecord(place, j, std::move(named), out);
  };
  TJournal again;
  again.file = j.file;
  again.fd = fileio::Open(j.file, O_RDWR | O_CLOEXEC);
  if (again.fd < 0) return errno == ENOENT ? TTakeIn::Done : errno == EROFS ? KeptFor(place.DataFolder, errno, out) : aside();
  struct stat st;
  TTakeIn done = TTakeIn::Done;
  if (RunsStill(again.fd, j.file))
    done = ours ? KeptFor(j.file, EWOULDBLOCK, out) : TTakeIn::Done;
  else if (::fstat(again.fd, &st) == 0 && st.st_nlink > 0)  // else taken in meanwhile
    done = ReadJournal(again.fd, again) ? TakeIn(place, locks, again, out) : aside();
  ::close(again.fd);
  return done;
}

// The lists' lock protocol (see PictureLists.h): locks what wanted() names (asked again under
// the locks, until it names no folder more) together with the folders of the records of
// stopped programs that must be in first, in the order of their paths, and takes those records
// in, each under its own lock taken last. A command's names (the old names of its files) bring
// in the records that renamed files to them. Without wanted (a start) every record is taken in
// whose lists can be locked without waiting. False when a record that must be in first is
// kept (out says why); raises EFOpenError when a lock is not had.
bool LockLists(const TListPlace& place, TFolderLocks& locks, const std::function<TWanted()>& wanted, TSettled& out,
               TRenameIndex* names = nullptr) {
  std::set<std::string> handled;  // the records this writer took in, set aside, kept or left
  for (int round = 0;; ++round) {
    if (round > kRounds) throw EFOpenError(_("Another program keeps changing the paperclip and the shows."));
    TWanted w = wanted ? wanted() : TWanted{};
    const std::vector<std::string> files = JournalFiles(place.DataFolder);
    const std::vector<TListFile> lists = files.empty() ? std::vector<TListFile>{} : DistinctLists(place);
    const std::set<std::string> listNames = NamesOf(lists);
    std::vector<std::pair<TJournal, bool>> due;  // with whether it names lists of the program
    for (const std::string& file : files) {
      if (handled.count(file)) continue;
      TJournal j;
      j.file = file;
      // Read without its lock (j.lists holds what could be read of a damaged one).
      const int fd = fileio::Open(file, O_RDONLY | O_CLOEXEC);
      const bool read = fd >= 0 && ReadJournal(fd, j);
      if (fd >= 0) ::close(fd);
      // The folders of its lists (as it names them, and where they are now), and whether the
      // writer needs it in first: it names a list the writer changes, or renamed a file to a
      // name the command renames.
      TFolderSet folders;
      for (const std::string& name : NamedLists(j, listNames)) folders.emplace(ExtractFileDir(name), name);
      bool needed = !wanted;
      for (const TFollower& t : read ? ListsNow(j, lists) : std::vector<TFollower>{}) {
        folders.merge(FoldersOf(t.file));
        needed = needed || w.lists.count(t.file.real) > 0;
      }
      needed = needed || (read && names && std::any_of(j.plan.begin(), j.plan.end(), [&](const TPlannedRename& p) {
                            return !p.to.empty() && names->OldEntryOf(p.to) >= 0;
                          }));
      if (!needed) continue;
      // A start waits for no record: one whose lists another program holds is its running
      // command's, or is being taken in there.
      if (!wanted && !locks.TryLock(folders)) {
        handled.insert(file);
        continue;
      }
      w.folders.merge(folders);
      due.emplace_back(std::move(j), !folders.empty());
    }
    if (!locks.Holds(w.folders)) {
      locks.Lock(w.folders, place.LockTimeoutMs);
      continue;
    }
    if (due.empty()) return out.keptError == 0;
    std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) { return a.first.made < b.first.made; });
    for (auto& [j, named] : due) {
      const TTakeIn done = TakeInRecord(place, locks, j, named, out);
      if (done != TTakeIn::Again) handled.insert(j.file);
      if (done == TTakeIn::Kept && wanted) return false;
    }
  }
}

// The lists as they are now, each read again only when it changed since scanned.
void Scan(const TListPlace& place, TRenameIndex& index, std::vector<TFollower>& scanned, std::string& bytes) {
  std::map<std::string, TFollower> before;
  for (TFollower& s : scanned) before.emplace(s.file.real, std::move(s));
  scanned.clear();
  for (TListFile& file : DistinctLists(place)) {
    TFollower s;
    const auto old = before.find(file.real);
    if (old != before.end() && old->second.file.others == file.others) s = std::move(old->second);
    s.file = std::move(file);
    // One that cannot be read (or is too large) is none the program reads.
    const int fd = ::open(s.file.real.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    if (!Reread(s, fd, index, bytes)) s.hits.clear();
    ::close(fd);
    scanned.push_back(std::move(s));
  }
}

}  // namespace

void LockForChange(const TListPlace& place, TFolderLocks& locks, const std::function<TWanted()>& wanted,
                   std::string* notice) {
  TSettled out;
  const bool settled = LockLists(place, locks, wanted, out);
  if (notice) *notice = AddLine(*notice, out.notice);
  if (!settled) throw EFOpenError(out.Kept());
}

bool SettleListJournals(const TListPlace& place, std::string& message, bool* changed) {
  TSettled out;
  TFolderLocks locks;
  bool settled = false;
  try {
    settled = LockLists(place, locks, nullptr, out);
  } catch (const Exception& e) {
    out.notice = AddLine(out.notice, KeptText(e.Message()));
  }
  message = out.keptError ? AddLine(out.notice, out.Kept()) : out.notice;
  if (changed) *changed = out.changed;
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

// ==== A command's renames ====
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
  // Which file a name holds is asked under the lists' locks (see writeCopies).
  plan_.reserve(plan.size());
  for (TFileRename& r : plan)
    if (!r.From.empty() && r.From != r.To) plan_.push_back({std::move(r.From), std::move(r.To), {}, {}});
  if (plan_.empty()) return true;
  index_ = std::make_unique<TRenameIndex>(plan_, place_);
  std::vector<TFollower> scanned;
  return lockLists(scanned) && writeCopies(scanned) && (lists_.empty() || writeJournal());
}

// The lists that name a file of the command, each once, read until their folders are locked
// and none changed since read; records that name them, or renamed files to the command's
// names, are taken in first, and one kept stops the command.
bool TListRenames::lockLists(std::vector<TFollower>& scanned) {
  locks_ = std::make_unique<TFolderLocks>();
  std::string bytes;
  TSettled out;
  bool settled = false;
  try {
    settled = LockLists(
        place_, *locks_,
        [&] {
          Scan(place_, *index_, scanned, bytes);
          TWanted w;
          for (const TFollower& s : scanned)
            if (s.Follows()) {
              w.folders.merge(FoldersOf(s.file));
              w.lists.insert(s.file.real);
            }
          return w;
        },
        out, index_.get());
    if (!settled)
      why_ = Format(_("No file was renamed, moved or deleted: a list that names these files has to take in the "
                      "renames of a stopped program first, and for that %s must be writable (%s)."),
                    {ExcludeTrailingPathDelimiter(out.keptFile.ends_with('/') ? out.keptFile
                                                                              : ExtractFileDir(out.keptFile)),
                     SysErrorMessage(out.keptError)});
  } catch (const Exception& e) {
    why_ = NoFileText() + "\r" + e.Message();
  }
  notice_ = out.notice;
  if (!settled) release();
  return settled;
}

// Each list's new copy, written under the locks for the files the names hold now: a list that
// cannot take it is known before the first rename.
bool TListRenames::writeCopies(std::vector<TFollower>& scanned) {
  // Which file a name holds is asked only of the files the lists name and those meant for one
  // of their names (the last replaces the others there): no other file changes a line.
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
    if (!Follow(f, *index_, planned, TFor::Begin, bytes))
      cannot.push_back(CannotChangeText(f.file.real, errno));
    else if (f.copy.Made())
      lists_.push_back(std::move(f));
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
  for (const TFollower& f : lists_) {
    struct stat st;
    TFollower& l = j.lists.emplace_back(f.file, f.sig);
    l.born = BirthOf(f.file.real);
    if (::fstat(f.copy.Fd(), &st) == 0) l.put = TFileId::Of(st);
    l.putBorn = BirthOf("", f.copy.Fd());
  }
  for (const TPlannedRename& p : plan_)
    if (p.file.Known()) j.plan.push_back(p);
  TJournalWriter writer{kJournalHeader};
  JournalFields(j, writer);
  const std::string text = writer.Sealed();
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
  const std::string journal = WithKind(work, kSaveWorkKind, kJournalKind);
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
  // Where the files are now (also after a command that failed part way). A list still as read
  // takes the copy written for it when every file went as planned; another is written anew.
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
    if (!Follow(f, *index_, now, TFor::Finish, bytes))
      failed.emplace_back(f.file.real, errno);
    else if (f.copy.Made())
      rewritten.push_back(f.copy.Fd());
  }
  PutCopies(lists_, rewritten, failed, *index_, now, TFor::Finish);
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
