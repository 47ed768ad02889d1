// Folder renames and moves, batch renaming and the small tools of the main window: the
// favorites, the shows and the paperclip follow a folder that the folder tree renamed
// or moved; the batch rename renames the selected files by the batch-rename window's
// rule; file dates are set to the photo dates; the thumbnails are laid out again after
// removals; and the small handlers of the Shotgraph, the overlay, the wheel, the fade
// control, the file list's drag, the memo button, the show-all item and the homepage.
//
// No rename ever replaces a file: a name that is taken is skipped, also when a change of
// letter case meets another file of that spelling, and a rename that fails is reported.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <tuple>
#include <unordered_map>

#include "controls/EventScrollbox.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZephFade.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "controls/ZrkSound.h"
#include "core/Diversen.h"
#include "core/PictureLists.h"
#include "core/Unit1.h"
#include "metadata/ExifData.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"
#include "tools/UnitBatchRename2.h"
#include "tools/UnitFloatButtons.h"

namespace {

// Any entry of that name (a link to nothing too).
bool EntryExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The end of the UTF-8 character that starts at i.
size_t NextCharacter(const std::string& s, size_t i) {
  ++i;
  while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  return i;
}

// The first place of find in text without letter case: its byte offset and byte length
// in text (upper and lower case forms of a letter may differ in length).
bool FindWithoutCase(const std::string& text, const std::string& find, size_t& pos, size_t& length) {
  const std::string wanted = AnsiUpperCase(find);
  size_t characters = 0;
  for (size_t i = 0; i < find.size(); i = NextCharacter(find, i)) ++characters;
  for (size_t i = 0; i < text.size(); i = NextCharacter(text, i)) {
    size_t end = i, taken = 0;
    while (end < text.size() && taken < characters) {
      end = NextCharacter(text, end);
      ++taken;
    }
    if (taken < characters) return false;
    if (AnsiUpperCase(text.substr(i, end - i)) == wanted) {
      pos = i;
      length = end - i;
      return true;
    }
  }
  return false;
}

// The photo date of a picture; 0 when it has none.
TDateTime PhotoDate(const std::string& fileName) {
  try {
    TimgData data;
    if (!data.ReadFileMetadata(fileName) || !data.HasExif() || !data.ImageInfo) return 0;
    return data.ImageInfo->PhotoDateTime();
  } catch (const std::exception&) {
    return 0;
  }
}

// The names, each on a line of its own.
std::string NameLines(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += "\r" + name;
  return text;
}

// A batch rename's journal, written and flushed to the disk before the first rename: the
// renames the batch is about to make, each with the file's device and inode, and every
// list (the paperclip and each show) with which of the batch's files it names and in how
// many lines. A list that took the renames is marked so in place (one byte, overwritten:
// a full disk cannot keep the mark from being made), and the journal goes once every list
// it owes took it. A batch cut off by a crash or a kill, or a list that could not be
// written then (another program held it, the disk was full), is mended from it later: at
// the next start or before the next batch, only in the lists that still owe it.
//
// Its name carries the mark of the process that wrote it, so the journal of a program that
// still runs is left alone; one whose program has ended (also one that lingers as a
// zombie) is applied at the next start or before the next batch, whichever comes first.
//
// Layout, each field ended by a zero byte (which no name holds): the header line; the
// moment it was made (nanoseconds since 1970: journals apply oldest first); the number of
// lists; one status byte per list; the number of renames; per rename from, to, device,
// inode; per list its path, device, inode, "1" when its lines were read (else "0"), the
// number of renames it names, and for each the rename's index and the number of lines.
// A journal of the earlier layout holds the renames alone (no header).
constexpr char kJournalName[] = "batchrename";
constexpr char kJournalKind[] = ".kivo2journal-";
constexpr char kJournalHeader[] = "kivo2 batch rename journal 2\n";
// What a journal may hold: bounds against a damaged or hostile file.
constexpr int64_t kMaxJournalBytes = int64_t(1) << 30;
constexpr unsigned long long kMaxJournalItems = 50'000'000;
// The largest list read for the journal (a larger one is not a list of pictures).
constexpr int64_t kMaxListBytes = int64_t(64) << 20;

// The status of a list in a journal.
constexpr char kOwes = '0';     // it did not take the renames
constexpr char kTook = '1';     // it took them, or names none of the files, or is gone
constexpr char kWriting = '2';  // it was being written when the program stopped: it may have taken them

struct TPlannedRename {
  std::string from, to;
  unsigned long long dev = 0, ino = 0;
};

struct TJournalList {
  std::string path;
  unsigned long long dev = 0, ino = 0;
  bool counted = false;                  // its lines were read when the batch began
  std::unordered_map<size_t, int> lines;  // rename -> how many lines named its old name then
  char status = kOwes;
};

struct TJournal {
  std::string file;
  unsigned long long made = 0;
  off_t statusAt = -1;  // where the status bytes lie; -1: nowhere (an earlier layout's journal)
  bool earlierLayout = false;
  std::vector<TPlannedRename> plan;
  std::vector<TJournalList> lists;
  bool Complete() const {
    return std::all_of(lists.begin(), lists.end(), [](const TJournalList& l) { return l.status == kTook; });
  }
};

// Each rename of a plan by its old name (the first one of a name counts).
std::unordered_map<std::string, size_t> BySource(const std::vector<TPlannedRename>& plan) {
  std::unordered_map<std::string, size_t> bySource;
  for (size_t k = 0; k < plan.size(); ++k) bySource.emplace(plan[k].from, k);
  return bySource;
}

// A moment as nanoseconds since 1970, as a journal keeps it.
unsigned long long Nanoseconds(const struct timespec& t) {
  return static_cast<unsigned long long>(t.tv_sec) * 1000000000ULL + static_cast<unsigned long long>(t.tv_nsec);
}

// The fields of a journal, one after the other.
class TJournalFields {
 public:
  TJournalFields(const std::string& text, size_t at) : text_(text), at_(at) {}
  bool Text(std::string& field) {
    const size_t end = text_.find('\0', at_);
    if (end == std::string::npos) return false;
    field = text_.substr(at_, end - at_);
    at_ = end + 1;
    return true;
  }
  bool Number(unsigned long long& n, unsigned long long max = ~0ULL) {
    std::string field;
    if (!Text(field) || field.empty() || field.size() > 20 ||
        field.find_first_not_of("0123456789") != std::string::npos)
      return false;
    errno = 0;
    n = std::strtoull(field.c_str(), nullptr, 10);
    return errno == 0 && n <= max;
  }
  size_t At() const { return at_; }
  bool AtEnd() const { return at_ == text_.size(); }

 private:
  const std::string& text_;
  size_t at_;
};

std::string JournalText(const TJournal& j, size_t& statusAt) {
  auto field = [](std::string& text, const std::string& value) {
    text += value;
    text += '\0';
  };
  std::string text = kJournalHeader;
  field(text, std::to_string(j.made));
  field(text, std::to_string(j.lists.size()));
  statusAt = text.size();
  for (const TJournalList& l : j.lists) text += l.status;
  text += '\0';
  field(text, std::to_string(j.plan.size()));
  for (const TPlannedRename& p : j.plan) {
    field(text, p.from);
    field(text, p.to);
    field(text, std::to_string(p.dev));
    field(text, std::to_string(p.ino));
  }
  for (const TJournalList& l : j.lists) {
    field(text, l.path);
    field(text, std::to_string(l.dev));
    field(text, std::to_string(l.ino));
    field(text, l.counted ? "1" : "0");
    // In the order of the renames, so that the same journal is the same text.
    std::vector<std::pair<size_t, int>> named(l.lines.begin(), l.lines.end());
    std::sort(named.begin(), named.end());
    field(text, std::to_string(named.size()));
    for (const auto& [k, count] : named) {
      field(text, std::to_string(k));
      field(text, std::to_string(count));
    }
  }
  return text;
}

// The renames of a journal of the earlier layout: from, to, device, inode, and again.
std::vector<TPlannedRename> EarlierJournalPlan(const std::string& text) {
  std::vector<TPlannedRename> plan;
  TJournalFields fields(text, 0);
  for (;;) {
    TPlannedRename p;
    std::string dev, ino;
    if (!fields.Text(p.from) || !fields.Text(p.to) || !fields.Text(dev) || !fields.Text(ino)) return plan;
    p.dev = std::strtoull(dev.c_str(), nullptr, 10);
    p.ino = std::strtoull(ino.c_str(), nullptr, 10);
    if (IsFullPath(p.from) && IsFullPath(p.to)) plan.push_back(std::move(p));
  }
}

// Reads a journal's text into j; false for a damaged one.
bool ParseJournal(const std::string& text, TJournal& j) {
  const std::string_view header(kJournalHeader);
  if (text.compare(0, header.size(), header) != 0) {
    j.earlierLayout = true;
    j.plan = EarlierJournalPlan(text);
    return true;
  }
  TJournalFields fields(text, header.size());
  unsigned long long lists = 0, renames = 0;
  if (!fields.Number(j.made) || !fields.Number(lists, kMaxJournalItems)) return false;
  j.statusAt = off_t(fields.At());
  std::string statuses;
  if (!fields.Text(statuses) || statuses.size() != lists) return false;
  if (!fields.Number(renames, kMaxJournalItems)) return false;
  j.plan.resize(renames);
  for (TPlannedRename& p : j.plan)
    if (!fields.Text(p.from) || !fields.Text(p.to) || !fields.Number(p.dev) || !fields.Number(p.ino) ||
        !IsFullPath(p.from) || !IsFullPath(p.to))
      return false;
  j.lists.resize(lists);
  for (size_t i = 0; i < lists; ++i) {
    TJournalList& l = j.lists[i];
    unsigned long long counted = 0, named = 0;
    if (!fields.Text(l.path) || !fields.Number(l.dev) || !fields.Number(l.ino) || !fields.Number(counted, 1) ||
        !fields.Number(named, renames))
      return false;
    l.counted = counted == 1;
    l.status = statuses[i];
    if (l.status != kOwes && l.status != kTook && l.status != kWriting) return false;
    for (unsigned long long n = 0; n < named; ++n) {
      unsigned long long k = 0, count = 0;
      if (!fields.Number(k, renames - 1) || !fields.Number(count, kMaxJournalItems)) return false;
      l.lines[size_t(k)] = int(count);
    }
  }
  return fields.AtEnd();
}

// Writes j as a new journal in folder and flushes it; false (errno set) when it could not
// be written, and then nothing is left.
bool WriteJournal(const std::string& folder, TJournal& j) {
  std::string path = WorkFileTemplate(folder + kJournalName, kJournalKind);
  const int fd = fileio::MakeTemp(path, O_CLOEXEC);
  if (fd < 0) return false;
  size_t statusAt = 0;
  const std::string text = JournalText(j, statusAt);
  const bool written = fileio::WriteAll(fd, text.data(), text.size()) && fileio::Sync(fd) == 0;
  const int error = errno;
  if (::close(fd) != 0 || !written) {
    fileio::Unlink(path);
    errno = written ? EIO : error;
    return false;
  }
  fileio::SyncFolder(folder);
  j.file = path;
  j.statusAt = off_t(statusAt);
  return true;
}

// Sets list i's status in j's file, in place, and flushes it. A journal of the earlier
// layout has no place for it: its statuses live in memory only.
bool MarkList(TJournal& j, size_t i, char status) {
  if (j.statusAt >= 0) {
    const int fd = fileio::Open(j.file, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool marked = ::lseek(fd, j.statusAt + off_t(i), SEEK_SET) >= 0 && fileio::Write(fd, &status, 1) == 1 &&
                        fileio::Sync(fd) == 0;
    ::close(fd);
    if (!marked) return false;
  }
  j.lists[i].status = status;
  return true;
}

// The journals of this program's batches and of programs that ended, in folder.
std::vector<std::string> JournalFiles(const std::string& folder, bool ownToo) {
  const std::string prefix = std::string(".") + kJournalName + kJournalKind;
  // This program's journals begin with its mark (the template without its "XXXXXX").
  std::string own = ExtractFileName(WorkFileTemplate(folder + kJournalName, kJournalKind));
  own.resize(own.size() - 6);
  std::vector<std::string> journals;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string_view name(entry->d_name);
      if (name.substr(0, prefix.size()) == prefix &&
          (WorkFileOwnerGone(entry->d_name, kJournalKind) || (ownToo && name.substr(0, own.size()) == own)))
        journals.push_back(folder + entry->d_name);
    }
    ::closedir(dir);
  }
  return journals;
}

bool SameEntry(const struct stat& st, unsigned long long dev, unsigned long long ino) {
  return (dev != 0 || ino != 0) && st.st_dev == dev && st.st_ino == ino;
}

// Where each file that journals[i] renamed is now: its new name, or the name a later
// journal gave the same file (by device and inode) after it; "" for a rename that did not
// take place (the file is still under its old name: skipped, failed, or the batch was
// cut off before it). Where the file system gives no lasting inode numbers, a rename took
// place when the old name is gone and the new one is there.
std::vector<std::string> FilesNow(const std::vector<TJournal>& journals,
                                  const std::vector<std::unordered_map<std::string, size_t>>& bySource, size_t i) {
  const std::vector<TPlannedRename>& plan = journals[i].plan;
  std::vector<std::string> now(plan.size());
  for (size_t k = 0; k < plan.size(); ++k) {
    const TPlannedRename& p = plan[k];
    std::vector<const std::string*> places{&p.to};
    for (size_t later = i + 1; later < journals.size(); ++later) {
      const auto found = bySource[later].find(*places.back());
      if (found == bySource[later].end()) continue;
      const TPlannedRename& q = journals[later].plan[found->second];
      if (q.dev == p.dev && q.ino == p.ino) places.push_back(&q.to);
    }
    struct stat st;
    for (auto place = places.rbegin(); place != places.rend() && now[k].empty(); ++place)
      if (::lstat((*place)->c_str(), &st) == 0 && SameEntry(st, p.dev, p.ino)) now[k] = **place;
    if (now[k].empty() && places.size() == 1 && ::lstat(p.to.c_str(), &st) == 0 && !EntryExists(p.from)) now[k] = p.to;
  }
  return now;
}

// Journal j (its renames by old name in bySource) brought into the lines of a list that
// owes it (l): a line naming a file that the batch renamed names it where it is now.
// Renames apply at once: each line is looked up among the old names once. Only as many
// lines per old name as the list held when the batch began are rewritten, the first ones
// (the others were added after the batch); where the list may have taken the renames
// already or its lines were not counted, a line naming an old name under which another
// file lies now names that file, and stays.
bool ApplyJournal(const TJournal& j, const std::unordered_map<std::string, size_t>& bySource,
                  const std::vector<std::string>& now, const TJournalList& l, char status, TStringList& lines,
                  const TListLineMap& lineToPath, const TListLineMap& pathToLine) {
  const bool sure = l.counted && status == kOwes;
  std::unordered_map<size_t, int> left = l.lines;
  bool changed = false;
  for (int i = 0; i < lines.Count(); ++i) {
    const auto found = bySource.find(lineToPath(lines.StringRef(i)));
    if (found == bySource.end()) continue;
    const size_t k = found->second;
    const TPlannedRename& p = j.plan[k];
    if (l.counted) {
      const auto count = left.find(k);
      if (count == left.end() || count->second <= 0) continue;
      --count->second;
    }
    if (now[k].empty() || !NameFitsListLine(now[k])) continue;
    struct stat st;
    if (!sure && ::lstat(p.from.c_str(), &st) == 0 && !SameEntry(st, p.dev, p.ino)) continue;
    lines.SetStrings(i, pathToLine(now[k]));
    changed = true;
  }
  return changed;
}

}  // namespace

// ===========================================================================
// Batch renames cut off, and lists that could not take a batch
// ===========================================================================
bool TForm1::SettleRenameJournals(bool OwnToo, std::vector<std::string>* Unwritten) {
  std::vector<TJournal> journals;
  for (const std::string& file : JournalFiles(FAppDir, OwnToo)) {
    TJournal j;
    std::string text;
    try {
      text = ReadFileBytes(file, kMaxJournalBytes);
    } catch (const Exception&) {
      continue;  // tried again next time
    }
    // A damaged journal was cut off while it was written, before any rename.
    if (!ParseJournal(text, j)) {
      fileio::Unlink(file);
      continue;
    }
    j.file = file;
    struct stat st;
    if (j.earlierLayout && ::stat(file.c_str(), &st) == 0) j.made = Nanoseconds(st.st_mtim);
    journals.push_back(std::move(j));
  }
  if (journals.empty()) return false;
  std::sort(journals.begin(), journals.end(),
            [](const TJournal& a, const TJournal& b) { return std::tie(a.made, a.file) < std::tie(b.made, b.file); });

  TStringList current;
  FillListWithShowFiles(current);
  std::vector<struct stat> currentStat(size_t(current.Count()));
  std::unordered_map<std::string, int> currentByPath;
  for (int i = 0; i < current.Count(); ++i) {
    currentByPath.emplace(current.StringRef(i), i);
    if (::stat(current.StringRef(i).c_str(), &currentStat[size_t(i)]) != 0) currentStat[size_t(i)] = {};
  }
  // A journal of the earlier layout is owed by every list, its lines not counted; it is
  // written anew in the present layout so that the lists that take it are marked.
  for (TJournal& j : journals) {
    if (!j.earlierLayout) continue;
    for (int i = 0; i < current.Count(); ++i) {
      TJournalList l;
      l.path = current.StringRef(i);
      l.dev = currentStat[size_t(i)].st_dev;
      l.ino = currentStat[size_t(i)].st_ino;
      j.lists.push_back(std::move(l));
    }
    const std::string earlier = j.file;
    if (WriteJournal(FAppDir, j)) fileio::Unlink(earlier);
  }

  std::vector<std::unordered_map<std::string, size_t>> bySource;
  for (const TJournal& j : journals) bySource.push_back(BySource(j.plan));
  std::vector<std::vector<std::string>> now(journals.size());
  for (size_t a = 0; a < journals.size(); ++a) now[a] = FilesNow(journals, bySource, a);

  // The lists each current list owes, oldest first: a list is found by its path, or else,
  // renamed since (a show renamed or moved in the tree), by its device and inode. A list
  // that is gone owes nothing any more.
  std::vector<std::vector<std::pair<size_t, size_t>>> owed(size_t(current.Count()));
  for (size_t a = 0; a < journals.size(); ++a)
    for (size_t b = 0; b < journals[a].lists.size(); ++b) {
      const TJournalList& l = journals[a].lists[b];
      if (l.status == kTook) continue;
      auto found = currentByPath.find(l.path);
      int at = found == currentByPath.end() ? -1 : found->second;
      for (int i = 0; at < 0 && i < current.Count(); ++i)
        if (SameEntry(currentStat[size_t(i)], l.dev, l.ino)) at = i;
      if (at < 0)
        MarkList(journals[a], b, kTook);
      else
        owed[size_t(at)].emplace_back(a, b);
    }

  const TListLineMap lineToPath = [this](const std::string& line) { return PathFromListLine(line); };
  const TListLineMap pathToLine = [this](const std::string& path) { return ListLineFromPath(path); };
  bool changed = false;
  for (int i = 0; i < current.Count(); ++i) {
    const auto& debts = owed[size_t(i)];
    if (debts.empty()) continue;
    // Marked as being written first: a program stopped in the middle leaves the list as
    // one that may have taken the renames, never as one that surely did not.
    std::vector<char> before;
    bool marked = true;
    for (const auto& [a, b] : debts) {
      before.push_back(journals[a].lists[b].status);
      if (marked) marked = MarkList(journals[a], b, kWriting);
    }
    bool written = false;
    if (marked) {
      try {
        changed |= ChangeListFile(current.StringRef(i), [&](TStringList& lines) {
          bool any = false;
          for (size_t d = 0; d < debts.size(); ++d) {
            const auto& [a, b] = debts[d];
            any |= ApplyJournal(journals[a], bySource[a], now[a], journals[a].lists[b], before[d], lines, lineToPath,
                                pathToLine);
          }
          return any;
        });
        written = true;
      } catch (const Exception&) {
      }
    }
    for (size_t d = 0; d < debts.size(); ++d)
      MarkList(journals[debts[d].first], debts[d].second, written ? kTook : before[d]);
    if (!written && Unwritten &&
        std::find(Unwritten->begin(), Unwritten->end(), current.StringRef(i)) == Unwritten->end())
      Unwritten->push_back(current.StringRef(i));
  }
  // A journal goes once every list it owes took it and no older one stays: a later
  // journal may carry on what an older one renamed.
  for (const TJournal& j : journals) {
    if (!j.Complete()) break;
    fileio::Unlink(j.file);
  }
  return changed;
}

// ===========================================================================
// Folders renamed or moved in the folder tree
// ===========================================================================
void TForm1::FolderMoved(const std::string& OldFolder, const std::string& NewFolder) {
  MoveFavoriteFolders(OldFolder, NewFolder);
  FNamesBefore->Clear();
  FNamesAfter->Clear();
  // Without a paperclip or a show there is nothing else to bring up to date.
  if (!FileExists(PaperclipFile()) && !DirectoryExists(ShowsFolder())) return;
  TStringList files;
  ListAllFilesInTree(NewFolder, files);
  for (int i = 0; i < files.Count(); ++i) {
    FNamesAfter->Add(files.StringRef(i));
    FNamesBefore->Add(ReplacePathStart(NewFolder, OldFolder, files.StringRef(i)));
  }
  CheckForRenamedFiles(false);
}

void TForm1::QzDirTree211Editing(TObject* /*Sender*/, TTreeNode* /*Node*/, bool& /*AllowEdit*/) {
  FNamesBefore->Clear();
  FNamesAfter->Clear();
}

void TForm1::QzDirTree211Edited(TObject* /*Sender*/, TTreeNode* /*Node*/, std::string& S) {
  // The tree has renamed the folder and shows it under its new name.
  const std::string oldFolder = RemoveTrailingBackslash(S);
  const std::string newFolder = RemoveTrailingBackslash(QzDirTree211->SelectedPath());
  if (!IsFullPath(oldFolder) || !IsFullPath(newFolder) || oldFolder == newFolder) return;
  if (DirectoryExists(oldFolder) || !DirectoryExists(newFolder)) return;
  FolderMoved(oldFolder, newFolder);
}

void TForm1::QzDirTree211StartDrag(TObject* /*Sender*/, TDragObject*& /*DragObject*/) {
  // The pressed folder is the tree's folder by now.
  FDragSourceFolder = RemoveTrailingBackslash(QzDirTree211->SelectedPath());
  FNamesBefore->Clear();
}

void TForm1::QzDirTree211EndDrag(TObject* /*Sender*/, TObject* /*Target*/, int /*X*/, int /*Y*/) {
  const std::string source = FDragSourceFolder;
  FDragSourceFolder.clear();
  const std::string target = RemoveTrailingBackslash(QzDirTree211->SelectedPath());
  if (!IsFullPath(source) || !IsFullPath(target) || source == target) {
    FNamesBefore->Clear();
    return;
  }
  // Only a folder that really went: a refused or failed move changes no list.
  const std::string moved = PathJoin(target, ExtractFileName(source));
  if (DirectoryExists(source) || !DirectoryExists(moved)) return;
  FolderMoved(source, moved);
}

// ===========================================================================
// Batch rename
// ===========================================================================
std::string TForm1::BatchRenameTarget(const std::string& Path, int Mode, const std::string& FindText,
                                      const std::string& NewText, bool CaseSensitive, int CaseIndex) {
  const std::string folder = ExtractFilePath(Path);
  const std::string name = ExtractFileName(Path);
  const std::string ext = ExtractFileExt(name);
  std::string base = name.substr(0, name.size() - ext.size());
  std::string target;
  switch (Mode) {
    case 1: {
      // An empty find text is found nowhere.
      if (FindText.empty()) return std::string();
      size_t pos = 0, length = FindText.size();
      if (CaseSensitive) {
        pos = base.find(FindText);
        if (pos == std::string::npos) return std::string();
      } else if (!FindWithoutCase(base, FindText, pos, length)) {
        return std::string();
      }
      base.replace(pos, length, NewText);
      target = folder + base + ext;
      break;
    }
    case 2:
      target = folder + NewText + base + ext;
      break;
    case 3:
      target = folder + base + NewText + ext;
      break;
    case 4:
      target = folder + (CaseIndex == 0 ? AnsiUpperCase(name) : AnsiLowerCase(name));
      break;
    default:
      return std::string();
  }
  // A name that does not change, or one that is no name, leaves the file alone.
  const std::string newName = ExtractFileName(target);
  if (target == Path || newName.empty() || newName == "." || newName == ".." ||
      target.find('/', folder.size()) != std::string::npos)
    return std::string();
  return target;
}

int TForm1::RenameNoReplace(const std::string& From, const std::string& To) {
  if (From == To) return 0;
  if (fileio::RenameNoReplace(From, To) == 0) return 0;
  const int error = errno;
  // Where the file system ignores letter case, the "existing" target of a change of case
  // is the file itself: the rename goes through a free name in the same folder.
  if (error != EEXIST || AnsiUpperCase(From) != AnsiUpperCase(To) || !SameFile(From, To)) return error;
  std::string step;
  for (int n = 1; n < 1000; ++n) {
    step = ExtractFilePath(To) + "." + ExtractFileName(To) + ".renaming-" + IntToStr(n);
    if (!EntryExists(step)) break;
  }
  if (fileio::RenameNoReplace(From, step) != 0) return errno;
  if (fileio::RenameNoReplace(step, To) == 0) return 0;
  const int second = errno;
  fileio::RenameNoReplace(step, From);
  return second;
}

namespace {

// Plans the journal of a batch: every list (the paperclip, each show) with the files of the
// batch it names and in how many lines. The journal is needed when a list names a file of
// the batch (a list that cannot be read counts as one that does) or an older journal
// stays (this batch may carry its files further); it is then written. False, after saying
// why, when it is needed and could not be written: then no file may be renamed, or the
// lists would lose the files.
bool PlanJournal(TForm1& form, TJournal& journal) {
  if (journal.plan.empty()) return true;
  const std::unordered_map<std::string, size_t> bySource = BySource(journal.plan);
  TStringList lists;
  form.FillListWithShowFiles(lists);
  bool followed = !JournalFiles(form.FAppDir, true).empty();
  for (int i = 0; i < lists.Count(); ++i) {
    TJournalList l;
    l.path = lists.Strings(i);
    struct stat st;
    if (::stat(l.path.c_str(), &st) == 0) {
      l.dev = st.st_dev;
      l.ino = st.st_ino;
    }
    TStringList lines;
    try {
      l.counted = GetFileSizeByName(l.path) <= kMaxListBytes;
      if (l.counted) lines.LoadFromFile(l.path);
    } catch (const Exception&) {
      l.counted = false;
    }
    for (int j = 0; l.counted && j < lines.Count(); ++j) {
      const auto found = bySource.find(form.PathFromListLine(lines.StringRef(j)));
      if (found != bySource.end()) ++l.lines[found->second];
    }
    l.status = l.counted && l.lines.empty() ? kTook : kOwes;
    followed |= l.status == kOwes;
    journal.lists.push_back(std::move(l));
  }
  if (!followed) return true;
  for (TPlannedRename& p : journal.plan) {
    struct stat st;
    if (::lstat(p.from.c_str(), &st) != 0) continue;
    p.dev = st.st_dev;
    p.ino = st.st_ino;
  }
  struct timespec made;
  ::clock_gettime(CLOCK_REALTIME, &made);
  journal.made = Nanoseconds(made);
  if (WriteJournal(form.FAppDir, journal)) return true;
  const int error = errno;
  ShowMessage(Format(_("No file was renamed: the paperclip or a show lists these files, and the record that "
                       "keeps those lists up to date could not be written in %s (%s)."),
                     {ExcludeTrailingPathDelimiter(form.FAppDir), SysErrorMessage(error)}));
  return false;
}

}  // namespace

void TForm1::BatchReplaceClick(TObject* /*Sender*/) {
  if (TreeView1->Visible()) {
    ShowMessage(_("Rename not implemented during the paperclip yet.") + "\r" +
                _("For now rename the file in normal view!"));
    return;
  }
  if (!BatchRenameForm || ActionRunning) return;
  const int answer = BatchRenameForm->ShowModal();
  Application->ProcessMessages();
  if (answer != mrOk) return;
  const int mode = BatchRenameForm->FRenameMode;
  const std::string findText = BatchRenameForm->FFindText, newText = BatchRenameForm->FNewText;
  const bool caseSensitive = BatchRenameForm->ChB_Case->Checked();
  const int caseIndex = BatchRenameForm->CaseGroup->ItemIndex();
  // The lock waits of the batch (the lists before it and after it) are one wait.
  TLockWaitScope lockWait;
  ActionRunning = true;
  // A batch cut off in another program since the start is taken into the lists before
  // this one renames again what it renamed, and so is what this program's own earlier
  // batches could not yet write.
  SettleRenameJournals(true);

  FFileAction = 10;
  FillWorkFileList(true);
  // The renames the rule makes; with lists that name the files, they go to a journal on
  // the disk before the first one.
  TJournal journal;
  for (const std::string& file : FWorkFiles->ToVector()) {
    std::string target = BatchRenameTarget(file, mode, findText, newText, caseSensitive, caseIndex);
    if (!target.empty()) journal.plan.push_back({file, std::move(target)});
  }
  if (!PlanJournal(*this, journal)) {
    FWorkFiles->Clear();
    ActionRunning = false;
    return;
  }
  const std::vector<TPlannedRename>& plan = journal.plan;
  StopRequested = false;
  FNamesBefore->Clear();
  FNamesAfter->Clear();
  // Each entry of the list by the file it names (a search list holds full paths).
  std::unordered_map<std::string, int> entryOf;
  for (int i = 0; i < ListBox1->Count(); ++i) entryOf.emplace(ListEntryPath(i), i);
  const bool fullPaths = PanelCustomLists->Visible();
  HourGlassCursor();
  int count = 0;
  std::vector<std::string> failed, unwritten;
  auto lastPump = std::chrono::steady_clock::now();
  for (const TPlannedRename& p : plan) {
    const std::string& file = p.from;
    const std::string& target = p.to;
    // A file that has the new name already keeps it (a change of case finds the file
    // itself only where the file system ignores case).
    if (!EntryExists(target) || SameFile(file, target)) {
      struct stat before;
      const bool dated = ::stat(file.c_str(), &before) == 0;
      const int error = RenameNoReplace(file, target);
      if (error == 0) {
        ++count;
        // The shown picture goes by its new name from now on.
        if (FCurrentFile == file) FCurrentFile = target;
        // The file keeps its date.
        struct stat after;
        if (dated && ::stat(target.c_str(), &after) == 0 &&
            (after.st_mtim.tv_sec != before.st_mtim.tv_sec || after.st_mtim.tv_nsec != before.st_mtim.tv_nsec)) {
          const struct timespec times[2] = {before.st_atim, before.st_mtim};
          ::utimensat(AT_FDCWD, target.c_str(), times, 0);
        }
        const auto entry = entryOf.find(file);
        if (entry != entryOf.end() && entry->second < ListBox1->Count()) {
          const int index = entry->second;
          if (PanelThumbHolder->Visible() && FThumbScrollBox && index < FThumbScrollBox->ControlCount())
            if (auto* panel = dynamic_cast<TPanel*>(FThumbScrollBox->Controls(index))) {
              std::string hint;
              CreateThumbHint(target, std::string(), hint, std::string());
              panel->SetHint(hint);
            }
          ListBox1->Items()->SetStrings(index, fullPaths ? target : ExtractFileName(target));
        }
      } else if (error != EEXIST) {
        failed.push_back(file);
      }
    }
    // Esc is seen between files; the window stays alive meanwhile.
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPump > std::chrono::milliseconds(40)) {
      Application->ProcessMessages();
      lastPump = now;
    }
    if (StopRequested || Application->Terminated()) break;
  }
  // The lists take the renames that took place; one that could not take them now owes
  // them still, in the journal, and takes them at the next start or batch.
  if (!journal.file.empty()) SettleRenameJournals(true, &unwritten);
  RestoreCursor();
  // The result goes by itself, as the next picture or folder would take it away.
  ShowIt(Format(_n("%d file renamed.", "%d files renamed.", count), {count}), true);
  if (!failed.empty())
    ShowMessage(Format(_n("%d file could not be renamed:", "%d files could not be renamed:", failed.size()),
                       {int(failed.size())}) +
                NameLines(failed));
  if (!unwritten.empty()) ShowUnwrittenLists(unwritten);
  FWorkFiles->Clear();
  FFileAction = 10;
  StopRequested = false;
  ActionRunning = false;
}

// ===========================================================================
// File dates from photo dates
// ===========================================================================
void TForm1::FileDatetoExifdate1Click(TObject* /*Sender*/) {
  FFileAction = 50;
  FillWorkFileList(false);
  if (FWorkFiles->Count() == 0 ||
      TranslatedMessageDialog(_("Change file date(s) to match internal photo date(s)?"), mtConfirmation,
                              TMsgDlgButtons{mbYes, mbNo}, 0) != mrYes) {
    FWorkFiles->Clear();
    FFileAction = 10;
    return;
  }
  HourGlassCursor();
  int count = 0;
  std::vector<std::string> failed;
  for (int i = 0; i < FWorkFiles->Count(); ++i) {
    const std::string file = FWorkFiles->Strings(i);
    const TDateTime photo = PhotoDate(file);
    if (photo <= 0) continue;
    // Compared as the system's file dates (two-second steps), so that a file already
    // within that step is left alone; the date set is the photo's own, to the second.
    if (DateTimeToFileDate(photo) == FileAge(file)) continue;
    if (FileSetDateTime(file, photo))
      ++count;
    else
      failed.push_back(file);
  }
  ShowIt(Format(_n("%d file date changed.", "%d file dates changed.", count), {count}));
  RestoreCursor();
  if (!failed.empty())
    ShowMessage(Format(_n("%d file date could not be changed:", "%d file dates could not be changed:", failed.size()),
                       {int(failed.size())}) +
                NameLines(failed));
  FWorkFiles->Clear();
  FFileAction = 10;
  if (!FCurrentFile.empty()) OpenThePicture(FCurrentFile);
}

// ===========================================================================
// Thumbnails after removals
// ===========================================================================
void TForm1::TestThumbRealign() {
  if (ListBox1->Count() == 0 || !FThumbScrollBox) return;
  FThumbsVertical = FThumbsPos == 2;
  if (FThumbsVertical) {
    PanelThumbHolder->SetAlign(alRight);
    PanelThumbHolder->SetWidth((FThumbPanelSize + FThumbGapX) * FThumbColumns + 30);
  } else {
    PanelThumbHolder->SetAlign(FThumbsPos == 1 ? alTop : alBottom);
    PanelThumbHolder->SetHeight(FThumbPanelSize + 30);
  }
  FThumbX = FThumbGapX;
  FThumbY = FThumbGapY;
  FThumbScrollBox->HorzScrollBar()->SetPosition(0);
  FThumbScrollBox->VertScrollBar()->SetPosition(0);
  Application->ProcessMessages();
  // The events just handled may have rebuilt the thumbnails.
  if (!FThumbScrollBox) return;
  for (int i = 0; i < FThumbScrollBox->ControlCount(); ++i) {
    auto* panel = dynamic_cast<TPanel*>(FThumbScrollBox->Controls(i));
    if (!panel) continue;
    panel->SetTag(i);
    if (panel->ControlCount() > 0) panel->Controls(0)->SetTag(i);
    panel->SetLeft(FThumbX - FThumbScrollBox->HorzScrollBar()->Position());
    panel->SetTop(FThumbY - FThumbScrollBox->VertScrollBar()->Position());
    FThumbX += FThumbPanelSize + FThumbGapX;
    if (FThumbsVertical && FThumbX + FThumbGapX + FThumbPanelSize > FThumbScrollBox->Width()) {
      FThumbX = FThumbGapX;
      FThumbY += FThumbPanelSize + FThumbGapY;
    }
  }
}

// ===========================================================================
// Small tools
// ===========================================================================
void TForm1::ExifoverlayClick(TObject* /*Sender*/) { ShowExifLabel(); }

void TForm1::ScrollBox1HScroll(TObject* /*Sender*/) { HideExifLabels(); }

void TForm1::FormMouseWheelDown(TObject* /*Sender*/, TShiftState /*Shift*/, TPoint /*MousePos*/, bool& /*Handled*/) {
  if (PanelThumbHolder->Focused() && FThumbScrollBox)
    FThumbScrollBox->VertScrollBar()->SetPosition(FThumbScrollBox->VertScrollBar()->Position() + 20);
}

void TForm1::FormMouseWheelUp(TObject* /*Sender*/, TShiftState /*Shift*/, TPoint /*MousePos*/, bool& /*Handled*/) {
  if (PanelThumbHolder->Focused() && FThumbScrollBox)
    FThumbScrollBox->VertScrollBar()->SetPosition(FThumbScrollBox->VertScrollBar()->Position() - 20);
}

void TForm1::ZephFade1MouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int X, int Y) {
  if (!Application->Active() || (FormFloatB && FormFloatB->Visible())) return;
  ActivateFloatButtons(X, Y);
}

void TForm1::PopupZephFadePopup(TObject* /*Sender*/) {
  FloatingButtons1->SetChecked(FormFloatB && FormFloatB->Visible());
}

void TForm1::Closeslideshow1Click(TObject* /*Sender*/) {
  if (FFullScreen) FullScreen();
}

void TForm1::ListBox1DragOver(TObject* /*Sender*/, TObject* /*Source*/, int /*X*/, int /*Y*/, TDragState /*State*/,
                              bool& Accept) {
  Accept = true;
}

void TForm1::ListBox1EndDrag(TObject* /*Sender*/, TObject* /*Target*/, int /*X*/, int /*Y*/) {
  if (MouseOverItem == -1) return;
  MouseOverItem = -1;
  ListBox1->Invalidate();
}

void TForm1::ZqSoundbuttonClick(TObject* /*Sender*/) {
  if (!FCurrentFile.empty()) SoundExists(FCurrentFile, true);
}

void TForm1::ShowallfilesClick(TObject* /*Sender*/) {
  FLastPath.clear();
  ZqShowAll->SetDown(Showallfiles->Checked());
  setWithQzDirPath(false);
}

// Kivo2 has no web site: its home is the help's page about the program.
void TForm1::GotoHomepage1Click(TObject* /*Sender*/) { ShowHelpTopic("about.html"); }

// ===========================================================================
// Events
// ===========================================================================
void TForm1::bindListEvents() {
  auto click = [this](void (TForm1::*handler)(TObject*)) {
    return [this, handler](TObject* Sender) { (this->*handler)(Sender); };
  };
  // The paperclip.
  for (TMenuItem* item : {M_Addfilestopapercli1, AddToPaperclip})
    item->OnClick = click(&TForm1::M_Addfilestopapercli1Click);
  Zq_Paperclip->OnClick = click(&TForm1::M_Addfilestopapercli1Click);
  Removefilesfrompaperclip1->OnClick = click(&TForm1::Removefilesfrompaperclip1Click);
  for (TMenuItem* item : {M_Clearpaperclip1, P_ClearPaperclip}) item->OnClick = click(&TForm1::M_Clearpaperclip1Click);
  TreeToPaperclip->OnClick = click(&TForm1::TreeToPaperclipClick);
  for (TMenuItem* item : {SortTool1, Sorttool2}) item->OnClick = click(&TForm1::Sorttool1Click);
  ZqSpeedButton2->OnClick = click(&TForm1::Sorttool1Click);

  // Shows and their tree.
  Panel6->OnClick = click(&TForm1::M_OpenShowClick);
  Zq_CustomShow->OnClick = click(&TForm1::M_OpenShowClick);
  M_OpenShow->OnClick = click(&TForm1::M_OpenShowClick);
  TreeView1->OnChange = [this](TObject* Sender, TTreeNode* Node) { TreeView1Change(Sender, Node); };
  TreeView1->OnDblClick = click(&TForm1::TreeView1DblClick);
  TreeView1->OnEditing = [this](TObject* Sender, TTreeNode* Node, bool& Allow) { TreeView1Editing(Sender, Node, Allow); };
  TreeView1->OnEdited = [this](TObject* Sender, TTreeNode* Node, std::string& S) { TreeView1Edited(Sender, Node, S); };
  TreeView1->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    TreeView1MouseDown(Sender, Button, Shift, X, Y);
  };
  TreeView1->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    TreeView1MouseUp(Sender, Button, Shift, X, Y);
  };
  TreeView1->OnStartDrag = [this](TObject* Sender, TDragObject*& Object) { TreeView1StartDrag(Sender, Object); };
  TreeView1->OnDragOver = [this](TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept) {
    TreeView1DragOver(Sender, Source, X, Y, State, Accept);
  };
  TreeView1->OnDragDrop = [this](TObject* Sender, TObject* Source, int X, int Y) {
    TreeView1DragDrop(Sender, Source, X, Y);
  };
  TreeView1->OnEndDrag = [this](TObject*, TObject*, int, int) { FTreeDragging = false; };
  TreeView1->OnKeyPress = [this](TObject* Sender, char& Key) { TreeView1KeyPress(Sender, Key); };
  PopupTreeview1->OnPopup = click(&TForm1::PopupTreeview1Popup);
  P_SaveClipAsShow->OnClick = click(&TForm1::P_SaveClipAsShowClick);
  P_PasteAsShow->OnClick = click(&TForm1::P_PasteAsShowClick);
  P_PasteInShow->OnClick = click(&TForm1::P_PasteInShowClick);
  P_PasteClipInShow->OnClick = click(&TForm1::P_PasteClipInShowClick);
  Removefromshow->OnClick = click(&TForm1::RemovefromshowClick);
  EditShow1->OnClick = click(&TForm1::EditShow1Click);
  RenameNode->OnClick = click(&TForm1::RenameNodeClick);
  P_AddShowFolder->OnClick = click(&TForm1::P_AddShowFolderClick);
  P_DeleteShow->OnClick = click(&TForm1::P_DeleteShowClick);
  P_DeleteShowFolder->OnClick = click(&TForm1::P_DeleteShowFolderClick);

  // Folder search, reload, the program history.
  for (TMenuItem* item : {FindFolder1, P_FindFolder}) item->OnClick = click(&TForm1::FindFolder1Click);
  Reload1->OnClick = click(&TForm1::Reload1Click);
  Browsetoopen1->OnClick = click(&TForm1::Browsetoopen1Click);
  for (TMenuItem* item : {P_History1, P_History2, P_History3, P_History4, P_History5, P_History6, P_History7,
                          P_History8})
    item->OnClick = click(&TForm1::P_History1Click);

  // Folder renames and moves, batch renaming, small tools.
  QzDirTree211->OnEditing = [this](TObject* Sender, TTreeNode* Node, bool& Allow) {
    QzDirTree211Editing(Sender, Node, Allow);
  };
  QzDirTree211->OnEdited = [this](TObject* Sender, TTreeNode* Node, std::string& S) {
    QzDirTree211Edited(Sender, Node, S);
  };
  QzDirTree211->OnStartDrag = [this](TObject* Sender, TDragObject*& Object) { QzDirTree211StartDrag(Sender, Object); };
  QzDirTree211->OnEndDrag = [this](TObject* Sender, TObject* Target, int X, int Y) {
    QzDirTree211EndDrag(Sender, Target, X, Y);
  };
  BatchReplace->OnClick = click(&TForm1::BatchReplaceClick);
  FileDatetoExifdate1->OnClick = click(&TForm1::FileDatetoExifdate1Click);
  Exifoverlay->OnClick = click(&TForm1::ExifoverlayClick);
  ScrollBox1->OnHScroll = click(&TForm1::ScrollBox1HScroll);
  ScrollBox1->OnVScroll = click(&TForm1::ScrollBox1HScroll);
  OnMouseWheelDown = [this](TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled) {
    FormMouseWheelDown(Sender, Shift, MousePos, Handled);
  };
  OnMouseWheelUp = [this](TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled) {
    FormMouseWheelUp(Sender, Shift, MousePos, Handled);
  };
  ZephFade1->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    ZephFade1MouseMove(Sender, Shift, X, Y);
  };
  PopupZephFade->OnPopup = click(&TForm1::PopupZephFadePopup);
  Closeslideshow1->OnClick = click(&TForm1::Closeslideshow1Click);
  ListBox1->OnDragOver = [this](TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept) {
    ListBox1DragOver(Sender, Source, X, Y, State, Accept);
  };
  ListBox1->OnEndDrag = [this](TObject* Sender, TObject* Target, int X, int Y) {
    ListBox1EndDrag(Sender, Target, X, Y);
  };
  ZqSoundbutton->OnClick = click(&TForm1::ZqSoundbuttonClick);
  for (TMenuItem* item : {Playmemo1, M_Playmemo}) item->OnClick = click(&TForm1::ZqSoundbuttonClick);
  Showallfiles->OnClick = click(&TForm1::ShowallfilesClick);
  GotoHomepage1->OnClick = click(&TForm1::GotoHomepage1Click);
}
