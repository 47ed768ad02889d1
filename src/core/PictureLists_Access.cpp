// The one way into the lists of pictures, and the lines that name a command's files, found by
// their last part and their folder, with where those files are now.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <unordered_set>
#include <utility>

#include "core/Diversen.h"
#include "core/PictureLists_Internal.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

bool SignatureOf(const std::string& path, TSignature& sig) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  sig = TSignature::Of(st);
  return true;
}

long long BirthOf(const std::string& path, int fd) {
  struct statx st;
  if (::statx(fd >= 0 ? fd : AT_FDCWD, fd >= 0 ? "" : path.c_str(), fd >= 0 ? AT_EMPTY_PATH : 0, STATX_BTIME, &st) != 0 ||
      !(st.stx_mask & STATX_BTIME))
    return 0;
  return static_cast<long long>(st.stx_btime.tv_sec) * 1000000000LL + st.stx_btime.tv_nsec;
}

std::string CannotChangeText(const std::string& list, int error) {
  return Format(_("%s cannot be changed: %s"), {list, SysErrorMessage(error)});
}

// A free hidden name beside name (from WorkFileTemplate) made a second name of real, then
// put in name's place.
bool LinkInPlaceOf(const std::string& real, const std::string& name) {
  static std::mt19937 random(std::random_device{}());
  const std::string templ = WorkFileTemplate(name, kSaveWorkKind);
  const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int tries = 0; tries < 100; ++tries) {
    std::string work = templ;
    for (size_t i = work.size() - 6; i < work.size(); ++i) work[i] = letters[random() % (sizeof letters - 1)];
    if (fileio::Link(real, work) != 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    if (fileio::Rename(work, name) == 0) return true;
    const int error = errno;
    fileio::Unlink(work);
    errno = error;
    return false;
  }
  errno = EEXIST;
  return false;
}

namespace {

// The file the list is; lists gives the program's lists, asked only when the file has more
// than one name.
TListFile ResolveList(const std::string& list, const std::function<std::vector<std::string>()>& lists) {
  TListFile file{list, RealPath(list), {}};
  struct stat st, other;
  if (::stat(file.real.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink < 2 || !lists) return file;
  for (const std::string& name : lists()) {
    const std::string real = RealPath(name);
    if (real != file.real && ::lstat(real.c_str(), &other) == 0 && S_ISREG(other.st_mode) &&
        TFileId::Of(st).Is(other) && std::find(file.others.begin(), file.others.end(), real) == file.others.end())
      file.others.push_back(real);
  }
  return file;
}

}  // namespace

std::vector<TListFile> DistinctLists(const TListPlace& place) {
  const std::vector<std::string> lists = place.Lists();
  std::vector<TListFile> files;
  std::set<std::pair<unsigned long long, unsigned long long>> seen;
  for (const std::string& list : lists) {
    struct stat st;
    if (::stat(list.c_str(), &st) == 0 && S_ISREG(st.st_mode) && seen.insert({st.st_dev, st.st_ino}).second)
      files.push_back(ResolveList(list, [&] { return lists; }));
  }
  return files;
}

std::set<std::string> NamesOf(const std::vector<TListFile>& lists) {
  std::set<std::string> names;
  for (const TListFile& list : lists) {
    names.insert(list.real);
    names.insert(list.others.begin(), list.others.end());
  }
  return names;
}

TFolderSet FoldersOf(const TListFile& file) {
  TFolderSet folders{{ExtractFileDir(file.real), file.real}};
  for (const std::string& name : file.others) folders.emplace(ExtractFileDir(name), name);
  return folders;
}

// ---- Locks ----
TFolderLocks::TFolderLocks() = default;
TFolderLocks::~TFolderLocks() = default;

bool TFolderLocks::Holds(const TFolderSet& folders) const {
  return std::all_of(folders.begin(), folders.end(), [this](const auto& f) { return held_.count(f.first) > 0; });
}

void TFolderLocks::Lock(const TFolderSet& folders, int timeoutMs) {
  if (Holds(folders)) return;
  TFolderSet wanted = folders;
  // A folder that comes before one held: all are let go and taken again in order, so that
  // no lock is waited for while a later one is held.
  const bool inOrder = held_.empty() || std::all_of(folders.begin(), folders.end(), [this](const auto& f) {
                         return held_.count(f.first) > 0 || f.first > held_.rbegin()->first;
                       });
  if (!inOrder) {
    for (auto& [folder, held] : held_) wanted.emplace(folder, held.first);
    held_.clear();
  }
  take(wanted, timeoutMs);
}

void TFolderLocks::take(const TFolderSet& folders, int timeoutMs) {
  for (const auto& [folder, file] : folders)
    if (!held_.count(folder))
      held_.emplace(folder, std::make_pair(file, std::make_unique<TFolderLock>(
                                                     PathJoin(folder, ExtractFileName(file)), timeoutMs)));
}

bool TFolderLocks::TryLock(const TFolderSet& folders) {
  TFolderSet more;
  for (const auto& f : folders)
    if (!held_.count(f.first)) more.insert(f);
  try {
    take(more, -1);
    return true;
  } catch (const Exception&) {
    for (const auto& f : more) held_.erase(f.first);
    return false;
  }
}

// ---- Reading and writing ----
bool ReadListBytes(int fd, std::string& bytes, TSignature& sig, int64_t maxBytes) {
  // The buffer is kept as it is until read into: a list read after a larger one costs no
  // clearing.
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  if (!S_ISREG(st.st_mode) || int64_t(st.st_size) > maxBytes) {
    errno = S_ISREG(st.st_mode) ? EFBIG : EISDIR;
    return false;
  }
  sig = TSignature::Of(st);
  bytes.resize(size_t(st.st_size));
  for (size_t got = 0;;) {
    if (got == bytes.size()) {
      // A file that grew since fstat is read to its end, and is no list once it passes the bound.
      if (int64_t(got) > maxBytes) {
        errno = EFBIG;
        return false;
      }
      bytes.resize(std::min<size_t>(got + 65536, size_t(maxBytes) + 1));
    }
    const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, off_t(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      bytes.resize(got);
      return true;
    }
    got += size_t(n);
  }
}

TListCopy::~TListCopy() { Drop(); }

TListCopy::TListCopy(TListCopy&& other) noexcept { *this = std::move(other); }

TListCopy& TListCopy::operator=(TListCopy&& other) noexcept {
  std::swap(path_, other.path_);
  std::swap(fd_, other.fd_);
  return *this;
}

bool TListCopy::Make(const TListFile& file) {
  Drop();
  path_ = WorkFileTemplate(file.real, kSaveWorkKind);
  fd_ = fileio::MakeTemp(path_, O_CLOEXEC);
  if (fd_ < 0) return false;
  ::fchmod(fd_, mode_t(NewFileMode(file.real)));
  return true;
}

// Writing starts at the copy's beginning; its end is cut where writing ended (which keeps
// the room set aside for it until then).
bool TListCopy::end() {
  const off_t at = ::lseek(fd_, 0, SEEK_CUR);
  if (at < 0 || ::ftruncate(fd_, at) != 0) return false;
  // Its bytes start on their way to the disk now, so that the flush before it takes the
  // list's place finds most of them there.
  ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
  return true;
}

bool TListCopy::Write(std::string_view text) {
  return ::lseek(fd_, 0, SEEK_SET) == 0 && fileio::WriteAll(fd_, text.data(), text.size()) && end();
}

bool TListCopy::Write(int in, uint64_t size, const std::vector<TListEdit>& edits) {
  if (::lseek(fd_, 0, SEEK_SET) != 0) return false;
  uint64_t at = 0;
  for (const TListEdit& e : edits) {
    if (!CopySpan(in, at, e.At, fd_) || !fileio::WriteAll(fd_, e.Text.data(), e.Text.size())) return false;
    at = e.At + e.Length;
  }
  return CopySpan(in, at, size, fd_) && end();
}

bool TListCopy::Reserve(uint64_t bytes) { return fileio::Reserve(fd_, off_t(bytes)) == 0; }

bool TListCopy::Trim() {
  // A file cut to its own size gives back the room set aside beyond it.
  struct stat st;
  return ::fstat(fd_, &st) == 0 && ::ftruncate(fd_, st.st_size) == 0;
}

bool TListCopy::Put(const TListFile& file) {
  // The other names that hold the list's file still, and only those, take the copy too.
  std::vector<std::string> names;
  struct stat st, other;
  if (::stat(file.real.c_str(), &st) == 0)
    for (const std::string& name : file.others)
      if (::lstat(name.c_str(), &other) == 0 && TFileId::Of(st).Is(other)) names.push_back(name);
  const bool put = ::close(std::exchange(fd_, -1)) == 0 && fileio::Rename(path_, file.real) == 0;
  const int error = errno;
  if (!put) fileio::Unlink(path_);
  path_.clear();
  errno = error;
  return put && std::all_of(names.begin(), names.end(),
                            [&](const std::string& name) { return LinkInPlaceOf(file.real, name); });
}

void TListCopy::Drop() {
  if (fd_ < 0) return;
  ::close(std::exchange(fd_, -1));
  fileio::Unlink(path_);
  path_.clear();
}

// ---- The one way in ----
namespace {

// Writes text as the list's new content, under each of its names, flushed; false (errno set)
// when it could not be written (the list is then as it was, or as far as its names went).
bool ReplaceList(const TListFile& file, std::string_view text) {
  TListCopy copy;
  if (!copy.Make(file) || !copy.Write(text) || fileio::Sync(copy.Fd()) != 0 || !copy.Put(file)) return false;
  for (const auto& [folder, name] : FoldersOf(file)) fileio::SyncFolder(folder);
  return true;
}

// The list resolved and its folders locked, what stopped programs left for it taken in: the
// list as it is under those locks (another program may give it another place meanwhile).
TListFile LockedList(const TListPlace& place, const std::string& list, TFolderLocks& locks, std::string* notice) {
  TListFile file;
  LockForChange(place, locks, [&] {
    file = ResolveList(list, place.Lists);
    return TWanted{FoldersOf(file), {file.real}};
  }, notice);
  return file;
}

}  // namespace

bool ChangeListLines(const TListPlace& place, const std::string& list,
                     const std::function<bool(TStringList& lines)>& change, int64_t maxBytes, std::string* notice) {
  TFolderLocks locks;
  const TListFile file = LockedList(place, list, locks, notice);
  TStringList lines;
  if (FileExists(file.real)) lines.LoadFromFile(file.real, maxBytes);
  if (!change(lines)) return false;
  if (!ReplaceList(file, lines.Text())) throw EWriteError(CannotChangeText(list, errno));
  return true;
}

void ClearList(const TListPlace& place, const std::string& list, std::string* notice) {
  TFolderLocks locks;
  const TListFile file = LockedList(place, list, locks, notice);
  struct stat st;
  if (::lstat(list.c_str(), &st) != 0) return;
  const bool keepNames = S_ISLNK(st.st_mode) || !file.others.empty();
  if (keepNames ? !ReplaceList(file, std::string_view()) : fileio::Unlink(list) != 0)
    throw EWriteError(CannotChangeText(list, errno));
  if (!keepNames) fileio::SyncFolder(ExtractFileDir(list));
}

void ChangeListEntries(const TListPlace& place, const std::vector<std::string>& entries,
                       const std::function<void()>& change, std::string* notice) {
  TFolderSet folders;
  for (const std::string& entry : entries) {
    const std::string path = ExcludeTrailingPathDelimiter(entry);
    folders.emplace(RealPath(ExtractFileDir(path)), path);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    // The lists within a folder are changed under their own folders' locks.
    TStringList below;
    ListFolderTree(path, below);
    for (int i = 0; i < below.Count(); ++i) folders.emplace(RealPath(below.StringRef(i)), path);
  }
  TFolderLocks locks;
  LockForChange(place, locks, [&] {
    // The lists within the entries: what stopped programs left for them is taken in first.
    TWanted wanted{folders, {}};
    for (const TListFile& list : DistinctLists(place))
      for (const std::string& name : NamesOf({list}))
        for (const auto& [folder, entry] : folders)
          if (name.rfind(IncludeTrailingPathDelimiter(RealPath(entry)), 0) == 0 || name == RealPath(entry))
            wanted.lists.insert(list.real);
    return wanted;
  }, notice);
  change();
}

// ---- Lines that name a command's files ----
namespace {

// The last part of a line as stored, or of a path: after its last '/' (a Windows-style line of
// a stand-alone list: after its last '/' or '\').
std::string_view NameOf(std::string_view line) {
  const bool windows = line.empty() || line[0] != '/';
  const size_t slash = windows ? line.find_last_of("/\\") : line.rfind('/');
  return slash == std::string_view::npos ? line : line.substr(slash + 1);
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A list's lines: the first begins after a UTF-8 byte-order mark; a line ends at CR LF, LF or
// CR (the bytes of its end at end, 0 for the last line without one).
size_t FirstLine(std::string_view bytes) { return bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0; }
uint8_t LineEnd(std::string_view bytes, size_t end) {
  if (end >= bytes.size()) return 0;
  return bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1;
}
// Where the line that holds pos begins.
size_t LineStart(std::string_view bytes, size_t pos) {
  const size_t end = pos == 0 ? std::string_view::npos : bytes.find_last_of("\r\n", pos - 1);
  return end == std::string_view::npos ? FirstLine(bytes) : end + 1;
}

// The first place of name in bytes from from on (memmem: a text search's own speed).
size_t Find(std::string_view bytes, std::string_view name, size_t from) {
  if (from >= bytes.size()) return std::string_view::npos;
  const void* at = ::memmem(bytes.data() + from, bytes.size() - from, name.data(), name.size());
  return at ? size_t(static_cast<const char*>(at) - bytes.data()) : std::string_view::npos;
}

// A few names are looked for in the bytes as a whole, as a text search does; more, line by line.
constexpr size_t kNamesSearchedWhole = 64;

// Puts rename k first in the chain of its name.
void Chain(std::unordered_map<std::string_view, uint32_t>& first, std::vector<uint32_t>& next, std::string_view name,
           size_t k) {
  const auto [at, fresh] = first.try_emplace(name, uint32_t(k));
  if (!fresh) next[k] = std::exchange(at->second, uint32_t(k));
}

}  // namespace

TRenameIndex::TRenameIndex(const std::vector<TPlannedRename>& plan, const TListPlace& place)
    : plan_(plan), place_(place), nextOld_(plan.size(), kNone), nextNew_(plan.size(), kNone) {
  byOldName_.reserve(plan_.size());
  byNewName_.reserve(plan_.size());
  // Last to first: each chain in the plan's order.
  for (size_t k = plan_.size(); k-- > 0;) {
    Chain(byOldName_, nextOld_, NameOf(plan_[k].from), k);
    if (!plan_[k].to.empty()) Chain(byNewName_, nextNew_, NameOf(plan_[k].to), k);
    ascii_ = ascii_ && IsAscii(NameOf(plan_[k].from)) && IsAscii(NameOf(plan_[k].to));
  }
  // A name that ends in another of the names (a prefix a batch adds) is found by that one's
  // search: each line ends in a name searched for. A name with a line break ends no line.
  // Once more names are searched for than are looked for whole, the rest are not counted.
  auto known = [&](std::string_view name) { return byOldName_.count(name) > 0 || byNewName_.count(name) > 0; };
  for (const auto* names : {&byOldName_, &byNewName_})
    for (const auto& [name, first] : *names) {
      if (name.empty() || name.find_first_of("\r\n") != std::string_view::npos ||
          (names == &byNewName_ && byOldName_.count(name)))
        continue;
      bool within = false;
      for (size_t i = 1; i < name.size() && !within; ++i) within = known(name.substr(i));
      if (!within) searched_.push_back(name);
      if (searched_.size() > kNamesSearchedWhole) return;
    }
}

TFileId TRenameIndex::FolderId(const std::string& folder) {
  auto found = folders_.find(folder);
  if (found != folders_.end()) return found->second;
  struct stat st;
  const TFileId id = ::stat(folder.empty() ? "/" : folder.c_str(), &st) == 0 ? TFileId::Of(st) : TFileId{};
  folders_.emplace(folder, id);
  return id;
}

bool TRenameIndex::sameEntry(const std::string& path, const std::string& entry, TFileId folder) {
  if (path == entry) return true;
  if (NameOf(path) != NameOf(entry)) return false;
  const TFileId id = FolderId(ExtractFileDir(path));
  return id.Known() && id == (folder.Known() ? folder : FolderId(ExtractFileDir(entry)));
}

int TRenameIndex::OldEntryOf(const std::string& path) {
  const auto found = byOldName_.find(NameOf(path));
  if (found == byOldName_.end()) return -1;
  for (uint32_t k = found->second; k != kNone; k = nextOld_[k])
    if (sameEntry(path, plan_[k].from, plan_[k].folder)) return int(k);
  return -1;
}

void TRenameIndex::hit(std::string_view bytes, size_t start, size_t end, std::vector<TLineHit>& hits) {
  std::string scratch;
  const std::string_view line = TextLineAsRead(bytes.substr(start, end - start), scratch);
  const std::string_view name = NameOf(line);
  const auto old = byOldName_.find(name);
  const auto made = byNewName_.find(name);
  if (name.empty() || (old == byOldName_.end() && made == byNewName_.end())) return;
  TLineHit h;
  h.At = start;
  h.Length = uint32_t(end - start);
  h.End = LineEnd(bytes, end);
  const std::string path = place_.LineToPath(std::string(line));
  if (old != byOldName_.end() && (h.From = OldEntryOf(path)) >= 0) {
    h.Path = path;
    hits.push_back(h);
    h.From = -1;
    h.Path.clear();
  }
  if (made != byNewName_.end())
    for (uint32_t k = made->second; k != kNone; k = nextNew_[k])
      if (sameEntry(path, plan_[k].to, TFileId{})) {
        h.To = int32_t(k);
        hits.push_back(h);
      }
}

std::vector<TLineHit> TRenameIndex::Hits(std::string_view bytes) {
  std::vector<TLineHit> hits;
  // The names searched for in the whole text find every line they end, unless a line read
  // as Windows-1252 spells a name of other letters than its bytes; else each line is looked at.
  if (searched_.size() <= kNamesSearchedWhole && (ascii_ || IsValidUtf8(bytes))) {
    std::vector<std::pair<size_t, size_t>> lines;  // start, end
    for (std::string_view name : searched_)
      for (size_t at = Find(bytes, name, 0), end; at != std::string_view::npos; at = Find(bytes, name, at + 1))
        if ((end = at + name.size()) == bytes.size() || bytes[end] == '\r' || bytes[end] == '\n')
          lines.emplace_back(LineStart(bytes, at), end);
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    for (const auto& [start, end] : lines) hit(bytes, start, end, hits);
    return hits;
  }
  for (size_t start = FirstLine(bytes); start < bytes.size();) {
    const size_t end = std::min(bytes.find_first_of("\r\n", start), bytes.size());
    hit(bytes, start, end, hits);
    start = end + LineEnd(bytes, end);
  }
  return hits;
}

TOutcomes Planned(const std::vector<TPlannedRename>& plan) {
  TOutcomes planned(plan.size(), TOutcome::Stays);
  std::unordered_set<std::string_view> taken;  // of files meant for one name the last one holds it
  for (size_t k = plan.size(); k-- > 0;)
    if (plan[k].file.Known())
      planned[k] = !plan[k].to.empty() && taken.insert(plan[k].to).second ? TOutcome::Renamed : TOutcome::Gone;
  return planned;
}

namespace {

// The rename whose new name holds the file of rename k now, following the renames from its new
// name on; -1 when none does.
int MovedOn(const std::vector<TPlannedRename>& plan, size_t k) {
  std::string_view name = plan[k].to;
  for (size_t step = 0; step < plan.size() && !name.empty(); ++step) {
    const auto next = std::find_if(plan.begin(), plan.end(), [&](const TPlannedRename& q) { return q.from == name; });
    struct stat st;
    if (next == plan.end()) return -1;
    if (!next->to.empty() && ::lstat(next->to.c_str(), &st) == 0 && plan[k].file.Is(st)) return int(next - plan.begin());
    name = next->to;
  }
  return -1;
}

TOutcome WhereNow(const TPlannedRename& p, bool done) {
  // A name that held no file when the command began is none of its files.
  if (!p.file.Known()) return TOutcome::Stays;
  struct stat st;
  if (p.to.empty()) return ::lstat(p.from.c_str(), &st) == 0 && p.file.Is(st) ? TOutcome::Stays : TOutcome::Gone;
  // The new name is asked first: the old name of a file that went is looked up in vain, slowly.
  const bool there = ::lstat(p.to.c_str(), &st) == 0;
  if (there && p.file.Is(st)) return TOutcome::Renamed;
  if (::lstat(p.from.c_str(), &st) == 0) return TOutcome::Stays;
  // Moved by a copy (to another file system): a file under the new name and none under the
  // old one, as this program did it, or as only a copy can leave it. A file under neither
  // name went, as one that another of the command's files replaced goes to the Trash.
  struct stat folder;
  return there && (done || (::stat(ExtractFileDir(p.to).c_str(), &folder) == 0 && folder.st_dev != p.file.dev))
             ? TOutcome::Renamed
             : TOutcome::Gone;
}

}  // namespace

TOutcomes WhereNow(const std::vector<TPlannedRename>& plan, const std::vector<bool>& done) {
  TOutcomes now(plan.size());
  std::unordered_map<std::string_view, size_t> holder;  // a new name, and the rename whose file is there
  for (size_t k = 0; k < plan.size(); ++k) {
    now[k] = WhereNow(plan[k], !done.empty() && done[k]);
    if (now[k] != TOutcome::Renamed) continue;
    const auto [at, first] = holder.emplace(plan[k].to, k);
    if (first) continue;
    struct stat st;
    const bool earlier = ::lstat(plan[k].to.c_str(), &st) == 0 && plan[at->second].file.Is(st);
    now[earlier ? k : at->second] = TOutcome::Gone;
    if (!earlier) at->second = k;
  }
  for (size_t k = 0; k < plan.size(); ++k)
    if (now[k] == TOutcome::Gone && !plan[k].to.empty() && MovedOn(plan, k) >= 0) now[k] = TOutcome::Further;
  return now;
}

std::vector<TListEdit> TRenameIndex::EditsAfter(const std::vector<TLineHit>& hits, const TOutcomes& now, int* unsure) {
  // The names that renames gave a file; and whether a line of an old name could name another
  // file now (asked of a list that changed since it was read).
  std::unordered_set<std::string_view> given;
  for (size_t k = 0; unsure && k < plan_.size(); ++k)
    if (now[k] == TOutcome::Renamed) given.insert(plan_[k].to);
  std::unordered_map<int, bool> doubts;
  auto doubtful = [&](int from) {
    const auto [at, fresh] = doubts.try_emplace(from, false);
    struct stat st;
    if (fresh) at->second = given.count(plan_[size_t(from)].from) || ::lstat(plan_[size_t(from)].from.c_str(), &st) == 0;
    return at->second;
  };
  // Where the line of a hit goes: nothing when it stays as it is.
  static const std::string gone;
  auto goes = [&](int from) -> const std::string* {
    if (from < 0 || now[size_t(from)] == TOutcome::Stays || (unsure && doubtful(from))) return nullptr;
    const int on = now[size_t(from)] == TOutcome::Further ? MovedOn(plan_, size_t(from)) : from;
    const std::string& to = now[size_t(from)] == TOutcome::Gone || on < 0 ? gone : plan_[size_t(on)].to;
    // A name with a line break cannot be a line: the line stays as it was.
    return to.empty() || NameFitsListLine(to) ? &to : nullptr;
  };
  // The old entry each line names (hits of one line stand together), and the new names that
  // lines which stay name already.
  std::unordered_map<uint64_t, int> fromAt;
  for (const TLineHit& h : hits)
    if (h.From >= 0) fromAt[h.At] = h.From;
  std::unordered_set<std::string> named;
  for (const TLineHit& h : hits)
    if (const auto from = fromAt.find(h.At); h.To >= 0 && !goes(from == fromAt.end() ? -1 : from->second))
      named.insert(plan_[size_t(h.To)].to);
  std::vector<TListEdit> edits;
  for (const TLineHit& h : hits) {
    const std::string* to = goes(h.From);
    if (unsure && h.From >= 0 && now[size_t(h.From)] != TOutcome::Stays && doubtful(h.From)) ++*unsure;
    if (!to) continue;
    if (to->empty() || named.count(*to)) {
      edits.push_back({h.At, uint64_t(h.Length) + h.End, std::string()});
      continue;
    }
    // Renamed in its folder: the line keeps its own way to that folder.
    const TPlannedRename& p = plan_[size_t(h.From)];
    const std::string kept = h.Path != p.from && ExtractFileDir(*to) == ExtractFileDir(p.from)
                                 ? PathJoin(ExtractFileDir(h.Path), ExtractFileName(*to))
                                 : *to;
    edits.push_back({h.At, h.Length, place_.PathToLine(kept)});
  }
  return edits;
}
