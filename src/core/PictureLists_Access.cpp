// The one way into the lists of pictures: a list is the file it is (links followed, every
// name of it changed), changed under the lock of that file's folder, read whole and written
// beside itself before it takes its place; and the lines that name a command's files, found
// by their last part and their folder.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <unordered_set>

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
  sig = {TFileId::Of(st), static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
         static_cast<long long>(st.st_mtim.tv_nsec)};
  return true;
}

std::string RealPath(const std::string& path) {
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    std::string result = real;
    std::free(real);
    return result;
  }
  if (char* folder = ::realpath(ExtractFileDir(path).c_str(), nullptr)) {
    std::string result = PathJoin(folder, ExtractFileName(path));
    std::free(folder);
    return result;
  }
  return path;
}

namespace {

// The other names among lists of the file real (a regular file with id).
std::vector<std::string> OtherNames(const std::string& real, const TFileId& id, const std::vector<std::string>& lists) {
  std::vector<std::string> others;
  for (const std::string& list : lists) {
    const std::string name = RealPath(list);
    struct stat st;
    if (name != real && ::lstat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) && id.Is(st) &&
        std::find(others.begin(), others.end(), name) == others.end())
      others.push_back(name);
  }
  return others;
}

}  // namespace

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

TListFile ResolveList(const std::string& list, const std::function<std::vector<std::string>()>& lists) {
  TListFile file;
  file.name = list;
  file.real = RealPath(list);
  struct stat st;
  if (::stat(file.real.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink > 1 && lists)
    file.others = OtherNames(file.real, TFileId::Of(st), lists());
  return file;
}

TFolderSet FoldersOf(const TListFile& file) {
  TFolderSet folders{{ExtractFileDir(file.real), file.real}};
  for (const std::string& name : file.others) folders.emplace(ExtractFileDir(name), name);
  return folders;
}

std::vector<TListFile> DistinctLists(const TListPlace& place) {
  const std::vector<std::string> lists = place.Lists();
  std::vector<TListFile> files;
  std::set<std::pair<unsigned long long, unsigned long long>> seen;
  for (const std::string& list : lists) {
    struct stat st;
    if (::stat(list.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !seen.insert({st.st_dev, st.st_ino}).second) continue;
    TListFile file;
    file.name = list;
    file.real = RealPath(list);
    if (st.st_nlink > 1) file.others = OtherNames(file.real, TFileId::Of(st), lists);
    files.push_back(std::move(file));
  }
  return files;
}

// ---------------------------------------------------------------------------
// Locks
// ---------------------------------------------------------------------------
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
  for (const auto& [folder, file] : wanted)
    if (!held_.count(folder))
      held_.emplace(folder, std::make_pair(file, std::make_unique<TFolderLock>(
                                                     PathJoin(folder, ExtractFileName(file)), timeoutMs)));
}

// ---------------------------------------------------------------------------
// Reading and writing
// ---------------------------------------------------------------------------
bool ReadListBytes(const std::string& path, std::string& bytes, TSignature* sig, int64_t maxBytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0;
  if (ok && (!S_ISREG(st.st_mode) || int64_t(st.st_size) > maxBytes)) {
    ok = false;
    errno = S_ISREG(st.st_mode) ? EFBIG : EISDIR;
  }
  if (ok) {
    if (sig)
      *sig = {TFileId::Of(st), static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
              static_cast<long long>(st.st_mtim.tv_nsec)};
    bytes.resize(size_t(st.st_size));
    size_t got = 0;
    for (;;) {
      if (got == bytes.size()) {
        // A file that grew since fstat is read to its end, within the bound.
        if (int64_t(bytes.size()) >= maxBytes) break;
        bytes.resize(std::min<size_t>(bytes.size() + 65536, size_t(maxBytes)));
      }
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ok = false;
        break;
      }
      if (n == 0) break;
      got += size_t(n);
    }
    bytes.resize(got);
  }
  const int error = errno;
  ::close(fd);
  errno = error;
  if (!ok) bytes.clear();
  return ok;
}

TListCopy::~TListCopy() { Drop(); }

TListCopy::TListCopy(TListCopy&& other) noexcept : path_(std::move(other.path_)), fd_(other.fd_) { other.fd_ = -1; }

TListCopy& TListCopy::operator=(TListCopy&& other) noexcept {
  if (this != &other) {
    Drop();
    path_ = std::move(other.path_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool TListCopy::Make(const TListFile& file, std::string_view text, size_t reserve) {
  Drop();
  path_ = WorkFileTemplate(file.real, kSaveWorkKind);
  fd_ = fileio::MakeTemp(path_, O_CLOEXEC);
  if (fd_ < 0) return false;
  ::fchmod(fd_, mode_t(NewFileMode(file.real)));
  if (fileio::WriteAll(fd_, text.data(), text.size()) && (reserve <= text.size() || fileio::Reserve(fd_, off_t(reserve)) == 0))
    return true;
  const int error = errno;
  Drop();
  errno = error;
  return false;
}

bool TListCopy::Rewrite(std::string_view text) {
  return ::lseek(fd_, 0, SEEK_SET) == 0 && fileio::WriteAll(fd_, text.data(), text.size()) &&
         ::ftruncate(fd_, off_t(text.size())) == 0;
}

bool TListCopy::Trim() {
  // A file cut to its own size gives back the room set aside beyond it.
  struct stat st;
  return ::fstat(fd_, &st) == 0 && ::ftruncate(fd_, st.st_size) == 0;
}

bool TListCopy::Put(const TListFile& file) {
  int error = 0;
  if (::close(fd_) != 0) error = errno;
  fd_ = -1;
  if (error == 0 && fileio::Rename(path_, file.real) != 0) error = errno;
  if (error != 0) {
    fileio::Unlink(path_);
    path_.clear();
    errno = error;
    return false;
  }
  path_.clear();
  // The other names of the list's file are the new file too.
  for (const std::string& name : file.others)
    if (!LinkInPlaceOf(file.real, name)) return false;
  return true;
}

void TListCopy::Drop() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  fileio::Unlink(path_);
  path_.clear();
}

bool SyncCopies(const std::vector<TListCopy*>& copies) {
  std::set<unsigned long long> devices;
  for (TListCopy* copy : copies) {
    struct stat st;
    if (::fstat(copy->Fd(), &st) != 0) return false;
    if (devices.insert(st.st_dev).second && fileio::SyncFileSystem(copy->Fd()) != 0) return false;
  }
  return true;
}

bool ReplaceList(const TListFile& file, std::string_view text) {
  TListCopy copy;
  if (!copy.Make(file, text, 0) || fileio::Sync(copy.Fd()) != 0 || !copy.Put(file)) return false;
  for (const auto& [folder, name] : FoldersOf(file)) fileio::SyncFolder(folder);
  return true;
}

// ---------------------------------------------------------------------------
// The one way in
// ---------------------------------------------------------------------------
namespace {

std::string CannotChangeText(const std::string& list, int error) {
  return Format(_("%s cannot be changed: %s"), {list, SysErrorMessage(error)});
}

// The list resolved and its folders locked: again when another program gave it another
// place meanwhile.
TListFile LockedList(const TListPlace& place, const std::string& list, TFolderLocks& locks) {
  TListFile file = ResolveList(list, place.Lists);
  for (int tries = 0; tries < 3; ++tries) {
    locks.Lock(FoldersOf(file), place.LockTimeoutMs);
    TListFile again = ResolveList(list, place.Lists);
    if (again.real == file.real && again.others == file.others) break;
    file = std::move(again);
  }
  return file;
}

}  // namespace

bool ChangeListLines(const TListPlace& place, const std::string& list,
                     const std::function<bool(TStringList& lines)>& change, int64_t maxBytes) {
  TFolderLocks locks;
  const TListFile file = LockedList(place, list, locks);
  TStringList lines;
  if (FileExists(file.real)) lines.LoadFromFile(file.real, maxBytes);
  if (!change(lines)) return false;
  if (!ReplaceList(file, lines.Text())) throw EWriteError(CannotChangeText(list, errno));
  return true;
}

void ClearList(const TListPlace& place, const std::string& list) {
  TFolderLocks locks;
  const TListFile file = LockedList(place, list, locks);
  struct stat st;
  if (::lstat(list.c_str(), &st) != 0) return;
  const bool keepNames = S_ISLNK(st.st_mode) || !file.others.empty();
  if (keepNames ? !ReplaceList(file, std::string_view()) : fileio::Unlink(list) != 0)
    throw EWriteError(CannotChangeText(list, errno));
  if (!keepNames) fileio::SyncFolder(ExtractFileDir(list));
}

void ChangeListEntries(const TListPlace& place, const std::vector<std::string>& entries,
                       const std::function<void()>& change) {
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
  locks.Lock(folders, place.LockTimeoutMs);
  change();
}

// ---------------------------------------------------------------------------
// Lines that name a command's files
// ---------------------------------------------------------------------------
namespace {

// The last part of a line as stored: after its last '/' (a Windows-style line of a
// stand-alone list: after its last '/' or '\').
std::string_view LineName(std::string_view line) {
  const bool windows = line.empty() || line[0] != '/';
  const size_t slash = windows ? line.find_last_of("/\\") : line.rfind('/');
  return slash == std::string_view::npos ? line : line.substr(slash + 1);
}

std::string_view NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
}

}  // namespace

TRenameIndex::TRenameIndex(const std::vector<TPlannedRename>& plan, const TListPlace& place)
    : plan_(plan), place_(place) {
  for (size_t k = 0; k < plan_.size(); ++k) {
    byOldName_[NameOf(plan_[k].from)].push_back(uint32_t(k));
    if (!plan_[k].to.empty()) byNewName_[NameOf(plan_[k].to)].push_back(uint32_t(k));
  }
}

TFileId TRenameIndex::folderId(const std::string& folder) {
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
  const TFileId id = folderId(ExtractFileDir(path));
  return id.Known() && id == (folder.Known() ? folder : folderId(ExtractFileDir(entry)));
}

int TRenameIndex::OldEntryOf(const std::string& path) {
  const auto found = byOldName_.find(NameOf(path));
  if (found == byOldName_.end()) return -1;
  for (uint32_t k : found->second)
    if (sameEntry(path, plan_[k].from, plan_[k].folder)) return int(k);
  return -1;
}

int TRenameIndex::newEntryOf(const std::string& path, const std::vector<uint32_t>& renames) {
  for (uint32_t k : renames)
    if (sameEntry(path, plan_[k].to, TFileId{})) return int(k);
  return -1;
}

std::vector<TLineHit> TRenameIndex::Hits(std::string_view bytes, int* lines) {
  std::vector<TLineHit> hits;
  uint32_t index = 0;
  ForEachTextLine(bytes, [&](std::string_view line) {
    const uint32_t at = index++;
    const std::string_view name = LineName(line);
    if (name.empty()) return;
    const auto old = byOldName_.find(name);
    const auto made = byNewName_.find(name);
    if (old == byOldName_.end() && made == byNewName_.end()) return;
    const std::string path = place_.LineToPath(std::string(line));
    TLineHit hit{at, -1, -1};
    if (old != byOldName_.end()) hit.from = OldEntryOf(path);
    if (made != byNewName_.end()) hit.to = newEntryOf(path, made->second);
    if (hit.from >= 0 || hit.to >= 0) hits.push_back(hit);
  });
  if (lines) *lines = int(index);
  return hits;
}

bool TRenameIndex::NamesAny(const std::vector<TLineHit>& hits) {
  return std::any_of(hits.begin(), hits.end(), [](const TLineHit& h) { return h.from >= 0; });
}

std::optional<std::string> WhereNow(const TPlannedRename& p, bool done) {
  // A name that held no file when the command began is none of its files.
  if (!p.file.Known()) return std::nullopt;
  struct stat st;
  const bool named = ::lstat(p.from.c_str(), &st) == 0;
  if (p.to.empty()) return named && p.file.Is(st) ? std::nullopt : std::optional<std::string>("");
  if (::lstat(p.to.c_str(), &st) != 0) return std::nullopt;
  if (p.file.Is(st)) return p.to;
  // Moved by a copy (to another file system): a file under the new name and none under the
  // old one, as this program did it, or as only a copy can leave it.
  if (named) return std::nullopt;
  struct stat folder;
  if (done || (::stat(ExtractFileDir(p.to).c_str(), &folder) == 0 && folder.st_dev != p.file.dev)) return p.to;
  return std::nullopt;
}

std::string TextAfter(std::string_view bytes, const std::vector<TLineHit>& hits, const std::vector<TPlannedRename>& plan,
                      const std::vector<std::optional<std::string>>& now, const TListPlace& place, bool& changed) {
  changed = false;
  // Where the line of a hit goes: nothing when it stays as it is.
  auto goes = [&](int from) -> const std::string* {
    if (from < 0 || !now[size_t(from)]) return nullptr;
    const std::string& to = *now[size_t(from)];
    // A name with a line break cannot be a line: the line stays as it was.
    return to.empty() || NameFitsListLine(to) ? &to : nullptr;
  };
  // The new names that lines which stay name already.
  std::unordered_set<std::string> named;
  for (const TLineHit& h : hits)
    if (h.to >= 0 && !goes(h.from)) named.insert(plan[size_t(h.to)].to);
  std::unordered_map<std::string, int> renamedTo;
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 16 + 64);
  uint32_t index = 0;
  size_t next = 0;
  ForEachTextLine(bytes, [&](std::string_view line) {
    const uint32_t at = index++;
    while (next < hits.size() && hits[next].line < at) ++next;
    int from = -1;
    for (size_t h = next; h < hits.size() && hits[h].line == at; ++h)
      if (hits[h].from >= 0) from = hits[h].from;
    const std::string* to = goes(from);
    if (!to) {
      text.append(line);
      text += "\r\n";
      return;
    }
    changed = true;
    // Deleted, or its new name named already: by a line that stays, or by the line of
    // another file of the command that took that name (the user's own repeated lines of
    // one file stay repeated).
    if (to->empty() || named.count(*to)) return;
    if (!renamedTo.emplace(*to, from).second && renamedTo[*to] != from) return;
    // Renamed in its folder: the line keeps its own way to that folder.
    const TPlannedRename& p = plan[size_t(from)];
    const std::string path = place.LineToPath(std::string(line));
    const std::string kept = path != p.from && ExtractFileDir(*to) == ExtractFileDir(p.from)
                                 ? PathJoin(ExtractFileDir(path), ExtractFileName(*to))
                                 : *to;
    text += place.PathToLine(kept);
    text += "\r\n";
  });
  return text;
}
