// The report-style file list: filling it from a folder or with the drives, sorting by
// column, opening, renaming, new folders, deleting, cut, copy and paste, dropped files,
// the keyboard, and following the linked tree and combo.
#include <dirent.h>
#include <sched.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numeric>
#include <thread>
#include <unordered_map>

#include "controls/QzFileExplorer28.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/LocalTimes.h"
#include "platform/rtl/Paths.h"
#include "platform/shell/Shell.h"
#include "platform/shell/ShellExplorer.h"

// One entry of the folder being listed, as the folder names it, looked at (stat) at most
// once per fill.
struct TQzFolderEntry {
  std::string name;
  unsigned char type = DT_UNKNOWN;
  int state = 0;  // 0: not looked at; 1: looked at; -1: cannot be looked at
  struct stat st {};
  // The texts of its row, made as it is looked at: caption and its upper case, size,
  // modification time, full path, sort time. rows: the rows made of it so far.
  std::string caption, upper, size, modified, path, time;
  int rows = 0;
};

namespace {

// The entries of folder with the types it gives them; none when it cannot be read.
std::vector<TQzFolderEntry> ReadFolder(const std::string& folder) {
  std::vector<TQzFolderEntry> entries;
  if (DIR* d = ::opendir(folder.c_str())) {
    struct stat st;
    // Room for about one entry per 32 bytes of the folder's own size (common file systems).
    if (::fstat(::dirfd(d), &st) == 0) entries.reserve(std::min<size_t>(size_t(st.st_size) / 32, 1 << 16));
    while (dirent* e = ::readdir(d)) {
      // The program's work entries are never listed; those of killed runs go now.
      if (IsWorkEntry(folder, e->d_name)) continue;
      entries.emplace_back();
      entries.back().name = e->d_name;
      entries.back().type = e->d_type;
    }
    ::closedir(d);
  }
  return entries;
}

// How many threads may work at once (at most most): one, plus one per processor this
// process may use that no other runnable thread wants now. Helpers on a busy machine
// wait for a processor while the list waits for them; one thread alone then ends sooner.
size_t FreeProcessors(size_t most) {
  cpu_set_t allowed;
  const int processors = ::sched_getaffinity(0, sizeof allowed, &allowed) == 0 ? CPU_COUNT(&allowed) : 1;
  // The fourth field of the load line: runnable threads (this one among them) / all.
  int running = 1;
  if (FILE* f = std::fopen("/proc/loadavg", "re")) {
    double averages[3];
    if (std::fscanf(f, "%lf %lf %lf %d/", &averages[0], &averages[1], &averages[2], &running) != 4) running = 1;
    std::fclose(f);
  }
  const int free = processors - std::max(running - 1, 0);
  return std::clamp<size_t>(size_t(std::max(free, 1)), 1, most);
}

// Looks at the entries named by which (a link as what it points to, a dangling link as
// itself) and lets describe make the texts of each one seen. A large folder is looked at
// by several threads at once: the system's lookups of the names and the making of the
// texts then run side by side.
void LookAt(const std::string& folder, std::vector<TQzFolderEntry>& entries, const std::vector<size_t>& which,
            const std::function<void(TQzFolderEntry&)>& describe) {
  if (which.empty()) return;
  const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  auto look = [&](size_t from, size_t to) {
    for (size_t k = from; k < to; ++k) {
      TQzFolderEntry& e = entries[which[k]];
      const bool seen = dfd >= 0 && (::fstatat(dfd, e.name.c_str(), &e.st, 0) == 0 ||
                                     ::fstatat(dfd, e.name.c_str(), &e.st, AT_SYMLINK_NOFOLLOW) == 0);
      e.state = seen ? 1 : -1;
      // A text that cannot be made (no memory) stays empty; nothing leaves a helper thread.
      if (seen) try {
          describe(e);
        } catch (const std::exception&) {
        }
    }
  };
  const size_t threads = which.size() < 2048 ? 1 : FreeProcessors(4);
  // The entries are handed out in small pieces to whichever thread is free, so that a
  // thread kept waiting for a processor on a busy machine holds up only its piece.
  constexpr size_t kPiece = 256;
  std::atomic<size_t> next{0};
  auto lookWhileLeft = [&] {
    for (size_t from; (from = next.fetch_add(kPiece, std::memory_order_relaxed)) < which.size();)
      look(from, std::min(which.size(), from + kPiece));
  };
  std::vector<std::thread> helpers;
  for (size_t t = 1; t < threads; ++t) helpers.emplace_back(lookWhileLeft);
  lookWhileLeft();
  for (std::thread& helper : helpers) helper.join();
  if (dfd >= 0) ::close(dfd);
}

// The icon and type name (at most 80 bytes) of a file's extension, asked of the system
// once per extension and fill.
struct TFileKind {
  int icon = -1;
  std::string type;
};
const TFileKind& KindOf(std::unordered_map<std::string, TFileKind>& kinds, const std::string& name) {
  auto [known, fresh] = kinds.try_emplace(ExtractFileExt(name));
  if (fresh) {
    known->second.icon = SystemIconIndexOf(name, false);
    known->second.type = FileTypeName(name, false).substr(0, 80);
  }
  return known->second;
}

// The size the size column shows: whole KB with fsKB (at least 1 for a file that is not
// empty), bytes with fsByte; 0 for a folder.
double ShownSize(bool folder, double size, TFileSize unit) {
  if (folder) return 0.0;
  return unit == fsKB ? (size > 0 && size < 1024 ? 1.0 : std::floor(size / 1024)) : size;
}

bool IsDrivesText(const std::string& s) { return AnsiSameText(s, "Drives"); }

std::string TrimBlanks(const std::string& s) {
  size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return std::string();
  size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

// The Windows drive type of a drive kind (0 unknown ... 6 RAM disk).
int DriveTypeOf(TDriveKind kind) {
  switch (kind) {
    case dkRemovable: return 2;
    case dkFixed: return 3;
    case dkRemote: return 4;
    case dkCDRom: return 5;
    case dkRamDisk: return 6;
    default: return 0;
  }
}

const char* const kDriveTypeTexts[7] = {"Unknown",      "Not exist",    "Removable Disk", "Fixed Disk",
                                        "Network Disk", "CD-ROM Disk", "RAM Disk"};

}  // namespace

TQzFilelistView28::TQzFilelistView28(TComponent* AOwner) : TListView(AOwner) {
  SetMultiSelect(true);
  SetReadOnly(false);
  SetHideSelection(false);
  SetSmallImages(SystemSmallImages());
  SetViewStyle(vsReport);
  SetDateFormat(df_Customize);
  SetTimeFormat(tfShortFormat);
  OnColumnClick = [this](TObject*, TListColumn* column) { ColumnClick(column->Index()); };
  SetLanguage(lnEnglish);
  AcceptDroppedFiles(this, [this](const std::vector<std::string>& paths) { FilesDropped(paths); });
  buildFileColumns();
  UpdateFileList();  // the drives, until a folder is chosen
}

TQzFilelistView28::~TQzFilelistView28() {
  AcceptDroppedFiles(this, nullptr);
  if (dirTree_ && dirTree_->FileList() == this) dirTree_->SetFileList(nullptr);
  if (dirTreeCombo_ && dirTreeCombo_->FileList() == this) dirTreeCombo_->SetFileList(nullptr);
}

void TQzFilelistView28::Notification(TComponent* component, TOperation operation) {
  TListView::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == dirTree_) dirTree_ = nullptr;
  if (component == dirTreeCombo_) dirTreeCombo_ = nullptr;
  if (component == popup_) popup_ = nullptr;
}

// ---------------------------------------------------------------------------
// Properties
// ---------------------------------------------------------------------------

void TQzFilelistView28::SetDateFormat(TDtFormat f) {
  dateFormat_ = f;
  static const char* const formats[] = {"mm/dd/yyyy", "mm/dd/yy", "dd/mm/yyyy", "dd/mm/yy", "dd.mm.yy",
                                        "dd-mm-yy",   "yyyy-mm-dd", "yy-mm-dd"};
  dateFormatString_ = f == df_Customize ? FormatSettings.ShortDateFormat : formats[f];
}

void TQzFilelistView28::SetTimeFormat(TTmFormat f) {
  timeFormat_ = f;
  switch (f) {
    case tfLongFormat: timeFormatString_ = FormatSettings.LongTimeFormat; break;
    case tfShortFormat: timeFormatString_ = FormatSettings.ShortTimeFormat; break;
    case tfCustomize: {
      std::string fmt = FormatSettings.LongTimeFormat;
      size_t t = fmt.find('t');
      timeFormatString_ = t == std::string::npos ? fmt : fmt.substr(0, t) + " AM/PM";
      break;
    }
  }
}

std::string TQzFilelistView28::dateFormatString() const { return dateFormatString_; }
std::string TQzFilelistView28::timeFormatString() const { return timeFormatString_; }

void TQzFilelistView28::SetDirectory(const std::string& dir) {
  // Folders compare byte for byte ("case" and "Case" are two); the drive list's name in
  // any casing.
  if (IsDrivesText(dir) ? IsDrivesText(directory_) : AddBackslash(dir) == directory_) return;
  if (IsDrivesText(dir)) {
    directory_ = dir;
    UpdateFileList();
    return;
  }
  // The process's current folder is left alone: every relative path of the program
  // depends on it.
  if (!DirectoryExists(dir)) return;
  directory_ = AddBackslash(dir);
  UpdateFileList();
}

void TQzFilelistView28::SetDirTreeCombo(TQzDirTreeCombo28* combo) {
  if (combo == dirTreeCombo_) return;
  if (dirTreeCombo_ && dirTreeCombo_->FileList() == this) dirTreeCombo_->SetFileList(nullptr);
  dirTreeCombo_ = combo;
  if (combo) {
    combo->FreeNotification(this);
    combo->SetFileList(this);
  }
}

void TQzFilelistView28::SetDirTree(TQzDirTree21* tree) {
  if (tree == dirTree_) return;
  if (dirTree_ && dirTree_->FileList() == this) dirTree_->SetFileList(nullptr);
  dirTree_ = tree;
  if (tree) {
    tree->FreeNotification(this);
    tree->SetFileList(this);
  }
}

int64_t TQzFilelistView28::DriveFreeSpace() const {
  return DiskFreeKB(IsDriveView() ? std::string("/") : directory_);
}

void TQzFilelistView28::SetFileType(TFileType t) {
  fileType_ = t;
  UpdateFileList();
}

void TQzFilelistView28::SetMask(const std::string& mask) {
  mask_ = mask;
  UpdateFileList();
}

void TQzFilelistView28::SetShowFolders(bool v) {
  showFolders_ = v;
  UpdateFileList();
}

void TQzFilelistView28::SetParentDirCaption(const std::string& caption) {
  const std::string trimmed = TrimBlanks(caption);
  if (!AnsiSameText(trimmed, TrimBlanks(parentDirCaption_))) parentDirCaption_ = " " + trimmed;
}

void TQzFilelistView28::SetPopUpMenuEnabled(bool v) {
  popUpMenuEnabled_ = v;
  SetPopupMenu(v ? popup_ : nullptr);
}

void TQzFilelistView28::SetSelectedItem(const std::string& item) {
  if (item != selectedItem_) selectedItem_ = item;
}

int TQzFilelistView28::SelectedNumber() const {
  int n = SelCount();
  return n > 0 ? n : Items()->Count();
}

int64_t TQzFilelistView28::SelectedSize() const {
  int64_t total = 0;
  for (const std::string& path : SelectedPaths()) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) total += int64_t(st.st_size);
  }
  return total;
}

bool TQzFilelistView28::IsDriveView() const { return IsDrivesText(directory_); }

std::vector<std::string> TQzFilelistView28::SelectedPaths() const {
  std::vector<std::string> paths;
  for (int i = 0; i < Items()->Count(); ++i) {
    TListItem* item = Items()->Item(i);
    if (item->Selected() && item->Caption() != parentDirCaption_) paths.push_back(item->SubItems()->Strings(siPath));
  }
  return paths;
}

void TQzFilelistView28::SetLanguage(TLanguage language) {
  const TLanguage now = ResolveSysDefault(language);
  if (now == language_) return;
  language_ = now;
  ExplorerLanguage = now;
  loadListTexts();
  rebuildPopup();
  fileColumnsShown_ = false;
  if (IsDriveView()) buildDriveColumns();
  else buildFileColumns();
  Invalidate();
}

void TQzFilelistView28::loadListTexts() {
  LoadTreeTexts();
  const char* ctx = "explorer-list";
  ListTexts.Cancel = ExplorerText("Cancel", ctx);
  ListTexts.Browse = ExplorerText("Browse", ctx);
  ListTexts.ReadOnly = ExplorerText("ReadOnly", ctx);
  ListTexts.Archive = ExplorerText("Archive", ctx);
  ListTexts.Hidden = ExplorerText("Hidden", ctx);
  ListTexts.System = ExplorerText("System", ctx);
  ListTexts.RenameRefused = ExplorerText("It's ReadOnly", ctx);
  ListTexts.NothingSelected = ExplorerText("No file(s) selected", ctx);
  ListTexts.SendToTitle = ExplorerText("Send to any folder", ctx);
  ListTexts.SendToPrompt = ExplorerText("Please enter the send_to path", ctx);
  ListTexts.ShortcutFailed = ExplorerText("Error - PersistFile.Save failed", ctx);
  ListTexts.AttributesTitle = ExplorerText("Set Attributes", ctx);
}

void TQzFilelistView28::rebuildPopup() {
  delete popup_;
  Application->ProcessMessages();
  popup_ = new TQzFilelistView28PopUp(this);
  popup_->BuildPopupItems();
  popup_->SetAutoPopup(!IsDriveView());
  if (popUpMenuEnabled_) SetPopupMenu(popup_);
}

// ---------------------------------------------------------------------------
// Filling
// ---------------------------------------------------------------------------

void TQzFilelistView28::buildFileColumns() {
  if (fileColumnsShown_) return;
  const char* ctx = "explorer-list";
  const char* captions[5] = {"Name", "Size", "Type", "Modified", "Attr"};
  Columns()->Clear();
  for (int i = 0; i < 5; ++i) {
    TListColumn* c = Columns()->Add();
    c->SetCaption(ExplorerText(captions[i], ctx));
    c->SetWidth(colWidth_[i]);
    c->SetAlignment(i == 1 ? taRightJustify : taLeftJustify);
  }
  fileColumnsShown_ = true;
}

void TQzFilelistView28::buildDriveColumns() {
  const char* ctx = "explorer-list";
  const char* captions[5] = {"Name", "Type", "Disk Size", "Free Space", "Attr"};
  const int widths[5] = {160, 110, 90, 90, 40};
  Columns()->Clear();
  for (int i = 0; i < 5; ++i) {
    TListColumn* c = Columns()->Add();
    c->SetCaption(ExplorerText(captions[i], ctx));
    c->SetWidth(widths[i]);
    c->SetAlignment(i == 2 || i == 3 ? taRightJustify : taLeftJustify);
  }
  fileColumnsShown_ = false;
}

void TQzFilelistView28::UpdateFileList() {
  Items()->BeginUpdate();
  Items()->Clear();
  keys_.clear();
  TCursor saved = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  if (IsDriveView()) {
    buildDriveColumns();
    listDrives();
    if (popup_) popup_->SetAutoPopup(false);
  } else {
    if (popup_) popup_->SetAutoPopup(true);
    buildFileColumns();
    std::vector<TQzFolderEntry> entries = ReadFolder(AddBackslash(directory_));
    if (showFolders_) addFiles(entries, "*", true);
    std::string mask = TrimBlanks(mask_);
    if (mask.empty()) mask = "*.*";
    size_t start = 0;
    while (start <= mask.size()) {
      size_t end = mask.find(';', start);
      if (end == std::string::npos) end = mask.size();
      std::string part = TrimBlanks(mask.substr(start, end - start));
      if (!part.empty()) addFiles(entries, part, false);
      start = end + 1;
    }
  }
  // Sorted by name: ascending when it was sorted by name, else descending.
  sortDescending_ = true;
  if (Columns()->Count() > 0 && sortingEnabled_)
    ColumnClick(0);
  else
    SetSortMark(-1, false);
  Items()->EndUpdate();
  Screen->SetCursor(saved);
  if (Items()->Count() > 0 && !Selected()) Items()->Item(0)->SetFocused(true);
  Application->ProcessMessages();
}

void TQzFilelistView28::addFiles(std::vector<TQzFolderEntry>& entries, const std::string& mask, bool folders) {
  sortingEnabled_ = true;
  const std::string dir = AddBackslash(directory_);
  int filter = 0;
  if (fileType_.Contains(ftReadOnly)) filter |= 0x01;
  if (fileType_.Contains(ftHidden)) filter |= 0x02;
  if (fileType_.Contains(ftSystem)) filter |= 0x04;
  if (fileType_.Contains(ftArchive)) filter |= 0x20;
  if (fileType_.Contains(ftNormal)) filter |= 0x80;
  const bool everything = mask == "*" || mask == "*.*";
  // The entries that can be rows by their names and the types the folder gives (a plain
  // file is no folder, a folder no file; links and unknown types are looked at).
  std::vector<size_t> candidates, unseen;
  for (size_t i = 0; i < entries.size(); ++i) {
    const TQzFolderEntry& e = entries[i];
    if (e.name == ".") continue;
    const bool parent = e.name == "..";
    if (parent && (!parentDirEnabled_ || !folders)) continue;
    if (e.type != DT_UNKNOWN && e.type != DT_LNK && (e.type == DT_DIR) != folders) continue;
    if (!parent && !everything && !MatchesMask(e.name, mask)) continue;
    candidates.push_back(i);
    if (e.state == 0) unseen.push_back(i);
  }
  const std::string stamp = dateFormatString_ + " " + timeFormatString_;
  TLocalTimes localTimes;
  LookAt(dir, entries, unseen, [&](TQzFolderEntry& e) {
    const bool isDir = S_ISDIR(e.st.st_mode);
    e.caption = e.name == ".." ? parentDirCaption_
                : hideFileExt_ && !isDir ? e.name.substr(0, e.name.size() - ExtractFileExt(e.name).size())
                                         : e.name;
    e.upper = AnsiUpperCase(e.caption);
    e.size = fileSize_ == fsKB ? SizeText(isDir ? "DIR" : "FILE", int64_t(e.st.st_size))
             : isDir           ? std::string(" ")
                               : std::to_string(int64_t(e.st.st_size));
    e.modified = FormatDateTime(stamp, localTimes.FromUnix(int64_t(e.st.st_mtim.tv_sec)));
    e.path = dir + e.name;
    e.time = std::to_string(int64_t(double(e.st.st_mtim.tv_sec) * 1e9 + double(e.st.st_mtim.tv_nsec)));
  });
  const int folderIcon = SystemIconIndexOf("", true);
  const std::string folderType = FileTypeName("", true);
  std::unordered_map<std::string, TFileKind> kinds;
  for (size_t i : candidates) {
    TQzFolderEntry& e = entries[i];
    if (e.state < 0) continue;
    const struct stat& st = e.st;
    const bool parent = e.name == "..";
    const bool isDir = S_ISDIR(st.st_mode);
    if (isDir != folders) continue;
    int attr = isDir ? 0x10 : 0x20;
    if (!(st.st_mode & S_IWUSR)) attr |= 0x01;
    if (e.name[0] == '.' && !parent) attr |= 0x02;
    // Hidden entries only when the filter has the hidden bit (read-only likewise).
    if ((attr & 0x01) > (filter & 0x01) || (attr & 0x02) > (filter & 0x02)) continue;
    // The texts go to the row; an entry that two masks both match gives copies.
    auto take = [first = e.rows++ == 0](std::string& text) { return first ? std::move(text) : text; };
    TListItem* item = Items()->Add();
    RowKeys keys;
    keys.time = double(st.st_mtim.tv_sec) * 1e9 + double(st.st_mtim.tv_nsec);
    keys.size = isDir ? 0 : double(st.st_size);
    keys.folder = isDir;
    keys.parent = parent;
    for (size_t half = 0; half < 2; ++half) {
      uint64_t part = 0;
      for (size_t k = half * 8; k < half * 8 + 8; ++k)
        part = part << 8 | (k < e.upper.size() ? uint8_t(e.upper[k]) : 0);
      keys.prefix[half] = part;
    }
    keys.upperCaption = take(e.upper);
    item->SetCaption(take(e.caption));
    const TFileKind* kind = isDir ? nullptr : &KindOf(kinds, e.name);
    item->SetImageIndex(isDir ? folderIcon : kind->icon);
    TStrings* sub = item->SubItems();
    sub->SetCapacity(7);
    if (parent) {
      for (int k = 0; k < 4; ++k) sub->Add(" ");
    } else {
      sub->Add(take(e.size));
      sub->Add(isDir ? folderType : kind->type);
      sub->Add(take(e.modified));
      std::string attrText;
      if (attr & 0x20) attrText += "A";
      if (attr & 0x01) attrText += "R";
      if (attr & 0x02) attrText += "H";
      sub->Add(std::move(attrText));
    }
    sub->Add(take(e.path));
    sub->Add(isDir ? "dir" : "file");
    sub->Add(take(e.time));
    keys_.push_back(std::move(keys));
    item->SetData(reinterpret_cast<void*>(intptr_t(keys_.size())));
  }
}

void TQzFilelistView28::listDrives() {
  sortingEnabled_ = false;
  for (const TExplorerDrive& drive : ExplorerDrives()) {
    TListItem* item = Items()->Add();
    item->SetCaption(drive.Path);
    item->SetImageIndex(DriveIconIndex(drive.Kind));
    const int type = DriveTypeOf(drive.Kind);
    TStrings* sub = item->SubItems();
    sub->Add(ExplorerText(kDriveTypeTexts[type], "explorer-list"));
    // Removable media and discs are not touched.
    if (type == 2 || type == 5) {
      sub->Add("0 Mb");
      sub->Add("0 Mb");
    } else {
      // Below 1000 KB the whole megabytes are 0, which the format alone would leave out.
      for (int64_t kb : {DiskSizeKB(drive.Path), DiskFreeKB(drive.Path)})
        sub->Add(kb >= 1000 ? FormatFloat("###,###,### Mb", double(kb / 1000)) : std::string("0 Mb"));
    }
    sub->Add("");
    sub->Add(AddBackslash(drive.Path));
    sub->Add("drv");
    sub->Add("0");
  }
}

// ---------------------------------------------------------------------------
// Sorting
// ---------------------------------------------------------------------------

void TQzFilelistView28::ColumnClick(int column) {
  if (!sortingEnabled_) return;
  if (column != sortColumn_) {
    sortColumn_ = column;
    sortDescending_ = true;
  } else {
    sortDescending_ = !sortDescending_;
  }
  if (!sortByKeys()) CustomSort([this](TListItem* a, TListItem* b) { return CompareItems(a, b); });
  SetSortMark(sortColumn_, sortDescending_);
}

const TQzFilelistView28::RowKeys* TQzFilelistView28::keysOf(TListItem* item) const {
  const size_t k = size_t(reinterpret_cast<intptr_t>(item->Data()));
  return k >= 1 && k <= keys_.size() ? &keys_[k - 1] : nullptr;
}

int TQzFilelistView28::compareKeys(const RowKeys& a, const RowKeys& b) const {
  int result = 0;
  if (a.folder != b.folder) {
    result = a.folder ? -1 : 1;
  } else if (sortColumn_ == 0) {
    // The first 16 bytes as numbers decide most pairs (names hold no zero byte).
    const int c = a.prefix[0] != b.prefix[0]   ? (a.prefix[0] < b.prefix[0] ? -1 : 1)
                  : a.prefix[1] != b.prefix[1] ? (a.prefix[1] < b.prefix[1] ? -1 : 1)
                                               : a.upperCaption.compare(b.upperCaption);
    result = c < 0 ? -1 : c > 0 ? 1 : 0;
  } else {
    const double x = sortColumn_ == 1 ? ShownSize(a.folder, a.size, fileSize_) : a.time;
    const double y = sortColumn_ == 1 ? ShownSize(b.folder, b.size, fileSize_) : b.time;
    result = x < y ? -1 : x > y ? 1 : 0;
  }
  return sortDescending_ && !a.parent && !b.parent ? -result : result;
}

bool TQzFilelistView28::sortByKeys() {
  if (sortColumn_ != 0 && sortColumn_ != 1 && sortColumn_ != 3) return false;
  std::vector<const RowKeys*> rows(size_t(Items()->Count()));
  for (size_t i = 0; i < rows.size(); ++i)
    if (!(rows[i] = keysOf(Items()->Item(int(i))))) return false;
  std::vector<size_t> order(rows.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return compareKeys(*rows[x], *rows[y]) < 0; });
  ApplyOrder(order);
  return true;
}

int TQzFilelistView28::CompareItems(TListItem* Item1, TListItem* Item2) const {
  // The keys made at the fill, where there are any (rows added by others have none).
  const RowKeys* a = keysOf(Item1);
  const RowKeys* b = keysOf(Item2);
  if (a && b && (sortColumn_ == 0 || sortColumn_ == 1 || sortColumn_ == 3)) return compareKeys(*a, *b);
  auto isParent = [this](TListItem* item, const RowKeys* k) {
    return k ? k->parent : item->Caption() == parentDirCaption_;
  };
  auto isFolder = [](TListItem* item, const RowKeys* k) {
    return k ? k->folder : item->SubItems()->Count() > siKind && item->SubItems()->Strings(siKind) == "dir";
  };
  const bool dir1 = isFolder(Item1, a), dir2 = isFolder(Item2, b);
  int result = 0;
  if (dir1 && !dir2) {
    result = -1;
  } else if (!dir1 && dir2) {
    result = 1;
  } else {
    auto number = [this](TListItem* item) {
      std::string t = item->SubItems()->Strings(siSize);
      if (fileSize_ == fsKB) {
        size_t k = t.find('K');
        t = k == std::string::npos ? t : t.substr(0, k > 0 ? k - 1 : 0);
      }
      t = TrimBlanks(t);
      return t.empty() ? 0.0 : std::atof(t.c_str());
    };
    switch (sortColumn_) {
      case 0: {
        const std::string ua = a ? a->upperCaption : AnsiUpperCase(Item1->Caption());
        const std::string ub = b ? b->upperCaption : AnsiUpperCase(Item2->Caption());
        result = ua.compare(ub) < 0 ? -1 : ua.compare(ub) > 0 ? 1 : 0;
        break;
      }
      case 1: {
        // The size as the column shows it: whole KB with fsKB, bytes with fsByte.
        auto shown = [&](TListItem* item, const RowKeys* k) {
          return k ? ShownSize(k->folder, k->size, fileSize_) : number(item);
        };
        const double x = shown(Item1, a), y = shown(Item2, b);
        result = x < y ? -1 : x > y ? 1 : 0;
        break;
      }
      case 3: {
        const double x = a ? a->time : std::atof(Item1->SubItems()->Strings(siSortTime).c_str());
        const double y = b ? b->time : std::atof(Item2->SubItems()->Strings(siSortTime).c_str());
        result = x < y ? -1 : x > y ? 1 : 0;
        break;
      }
      default:
        result = AnsiCompareText(Item1->SubItems()->Strings(sortColumn_ - 1), Item2->SubItems()->Strings(sortColumn_ - 1));
        break;
    }
  }
  if (sortDescending_ && !isParent(Item1, a) && !isParent(Item2, b)) result = -result;
  return result;
}

// ---------------------------------------------------------------------------
// Clicks and opening
// ---------------------------------------------------------------------------

void TQzFilelistView28::Click() {
  if (TListItem* item = ItemFocused() ? ItemFocused() : Selected(); item && item->Selected()) {
    selectedItem_ = item->SubItems()->Strings(siPath);
    if (OnItemChange) OnItemChange(this, selectedItem_);
  }
  TListView::Click();
}

void TQzFilelistView28::DblClick() {
  if (dblClickToOpen_) {
    OpenItem();
    return;
  }
  if (Selected() && Selected()->Caption() == parentDirCaption_)
    OneLevelUp();
  else
    TListView::DblClick();
}

void TQzFilelistView28::refreshLinked(const std::string& path, bool reload) {
  if (dirTreeCombo_) {
    if (reload) dirTreeCombo_->ReloadTree();
    if (IsDrivesText(path)) {
      dirTreeCombo_->Tree()->SetSelected(dirTreeCombo_->Tree()->Items()->GetFirstNode());
    } else {
      dirTreeCombo_->OpenPath(path);
    }
  }
  if (dirTree_) {
    if (reload) dirTree_->ReloadTree();
    if (IsDrivesText(path)) {
      dirTree_->SetSelected(dirTree_->Items()->GetFirstNode());
      dirTree_->SetSelectedPath("Drives");
    } else {
      dirTree_->OpenPath(path);
    }
  }
}

void TQzFilelistView28::reloadLinked(const std::string& path) {
  if (dirTreeCombo_) {
    dirTreeCombo_->ReloadTree();
    dirTreeCombo_->OpenPath(path);
  } else if (dirTree_) {
    dirTree_->ReloadTree();
    dirTree_->OpenPath(path);
  }
}

void TQzFilelistView28::OpenItem() {
  TListItem* item = Selected();
  if (!item) return;
  TCursor saved = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  const std::string path = item->SubItems()->Strings(siPath);
  const std::string kind = item->SubItems()->Strings(siKind);
  if (item->Caption() == parentDirCaption_) {
    OneLevelUp();
  } else if (kind == "file") {
    ShellExecuteFile("Open", path, "", 5, ExtractFileDir(path));
  } else if (kind == "drv" && MayLackMedium(path) && !CheckDriveReady(path, true)) {
    // A drive without its medium: nothing opens.
  } else {
    SetDirectory(AddBackslash(path));
    refreshLinked(directory_, false);
  }
  Screen->SetCursor(saved);
}

void TQzFilelistView28::OneLevelUp() {
  if (IsDriveView()) return;
  const std::string left = StripBackslash(directory_);
  if (IsDrivePath(left)) {
    refreshLinked("Drives", false);
    SetDirectory("Drives");
    return;
  }
  SetDirectory(AddBackslash(ExtractFileDir(left)));
  refreshLinked(directory_, false);
  for (int i = 0; i < Items()->Count(); ++i) {
    TListItem* item = Items()->Item(i);
    if (StripBackslash(item->SubItems()->Strings(siPath)) == left) {
      SetSelected(item);
      item->SetFocused(true);
      item->MakeVisible();
      Click();
      break;
    }
  }
}

void TQzFilelistView28::ViewFile() {
  TListItem* item = Selected();
  if (!item) return;
  static const char* const viewable[] = {".C",   ".CPP", ".DPK", ".DPR", ".H",   ".INF", ".INI", ".PAS",
                                         ".PRG", ".TXT", ".DOC", ".RTF", ".WRI", ".BMP", ".GIF", ".JPG"};
  const std::string path = item->SubItems()->Strings(siPath);
  const std::string ext = UpperCase(ExtractFileExt(path));
  for (const char* v : viewable)
    if (ext == v) {
      ShellExecuteFile("Open", path, "", 5, ExtractFileDir(path));
      return;
    }
}

void TQzFilelistView28::FindInFolder() {
  if (Focused() && !IsDriveView()) ShellExecuteFile("Find", directory_, "", 1, directory_);
}

void TQzFilelistView28::ShowItemProperties() {
  if (TListItem* item = Selected()) ShowPropertiesDialog(item->SubItems()->Strings(siPath));
}

// ---------------------------------------------------------------------------
// New folder, renaming, deleting
// ---------------------------------------------------------------------------

void TQzFilelistView28::NewFolder() {
  if (IsDriveView()) return;
  const std::string base = ConcatPath(directory_, TextNewFolder);
  std::string path = base;
  for (int n = 2; FileExists(path) || DirectoryExists(path); ++n) path = base + "(" + std::to_string(n) + ")";
  if (!CreateDir(path)) {
    MessageDlg(TextOpFailed, mtError, {mbOK}, 0);
    return;
  }
  UpdateFileList();
  SetSelected(nullptr);
  for (int i = 0; i < Items()->Count(); ++i)
    if (Items()->Item(i)->SubItems()->Strings(siPath) == path) {
      TListItem* item = Items()->Item(i);
      item->SetSelected(true);
      item->SetFocused(true);
      oldPath_ = path;
      EditCaption(item);
      break;
    }
  reloadLinked(path);
}

void TQzFilelistView28::RenameSelected() {
  TListItem* item = Selected();
  if (!item || IsDriveView()) return;
  if (ReadOnly() || item->SubItems()->Strings(siAttr) == "R" || item->Caption() == parentDirCaption_) {
    MessageDlg(ListTexts.RenameRefused, mtWarning, {mbOK}, 0);
    return;
  }
  oldPath_ = item->SubItems()->Strings(siPath);
  EditCaption(item);
}

bool TQzFilelistView28::CanEdit(TListItem* Item) {
  if (ReadOnly() || IsDriveView() || !Item || Item->Caption() == parentDirCaption_) return false;
  oldPath_ = Item->SubItems()->Strings(siPath);
  return TListView::CanEdit(Item);
}

void TQzFilelistView28::Edit(TListItem* Item, std::string& S) {
  if (OnEdited) OnEdited(this, Item, S);
  const std::string caption = S;
  const std::string old = Item ? Item->SubItems()->Strings(siPath) : oldPath_;
  // The row still belongs to the toolkit's editor: the rename and refill come after.
  RunAfterCurrentEvent([this, alive = std::weak_ptr<int>(alive_), caption, old] {
    if (alive.expired()) return;
    for (int i = 0; i < Items()->Count(); ++i)
      if (Items()->Item(i)->SubItems()->Strings(siPath) == old) {
        RenameItem(Items()->Item(i), caption);
        return;
      }
  });
}

bool TQzFilelistView28::RenameItem(TListItem* item, const std::string& newCaption) {
  if (!item || IsDriveView() || newCaption.empty()) return false;
  const std::string old = StripBackslash(item->SubItems()->Strings(siPath));
  const bool folder = item->SubItems()->Strings(siKind) == "dir";
  std::string name = newCaption;
  // With hidden extensions the caption lacks the extension: it stays as it was.
  if (hideFileExt_ && !folder) name += ExtractFileExt(old);
  const std::string target = PathJoin(ExtractFileDir(old), name);
  TCursor saved = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  bool ok = false;
  if (target != old && name.find('/') == std::string::npos) {
    ok = ShellFileOperation(foRename, old, target);
  }
  UpdateFileList();
  Screen->SetCursor(saved);
  if (ok && folder) reloadLinked(directory_);
  return ok;
}

void TQzFilelistView28::DeleteSelected() {
  // Drives are never deleted.
  if (IsDriveView() || !DirectoryExists(directory_)) return;
  TCursor saved = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  pendingFiles_.clear();
  std::vector<std::string> paths = SelectedPaths();
  bool reported = false;
  if (!paths.empty() && !ShellFileOperation(foDelete, paths, std::string(), &reported) && !reported) {
    bool gone = true;
    for (const std::string& p : paths) gone = gone && !FileExists(p) && !DirectoryExists(p);
    if (!gone) MessageDlg(TextOpFailed, mtError, {mbOK}, 0);
  }
  UpdateFileList();
  reloadLinked(directory_);
  Screen->SetCursor(saved);
}

void TQzFilelistView28::PermanentDelete() {
  if (IsDriveView() || SelCount() == 0) return;
  // The rows are read first: each question lets events run, which may refill the list.
  struct Chosen {
    std::string caption, path;
    bool folder;
  };
  std::vector<Chosen> chosen;
  for (int i = 0; i < Items()->Count(); ++i) {
    TListItem* item = Items()->Item(i);
    if (item->Selected() && item->Caption() != parentDirCaption_)
      chosen.push_back({item->Caption(), item->SubItems()->Strings(siPath), item->SubItems()->Strings(siKind) == "dir"});
  }
  bool failed = false;
  for (const Chosen& c : chosen) {
    if (c.folder) break;
    const std::string question =
        ExplorerText("Are you sure you want to permanently delete file", "explorer-list") + "\n  \"" + c.caption + "\"?";
    if (MessageDlg(question, mtConfirmation, {mbYes, mbNo}, 0) == mrYes) failed = !DeleteFile(c.path) || failed;
  }
  UpdateFileList();
  if (failed) MessageDlg(TextOpFailed, mtError, {mbOK}, 0);
}

// ---------------------------------------------------------------------------
// Cut, copy, paste and dropped files
// ---------------------------------------------------------------------------

void TQzFilelistView28::CutCopy(int operation) {
  // Drives are never cut or copied as files.
  if (IsDriveView()) return;
  pendingOperation_ = -1;
  pendingFiles_.clear();
  for (int i = 0; i < Items()->Count(); ++i)
    if (Items()->Item(i)->Caption() == parentDirCaption_) Items()->Item(i)->SetSelected(false);
  pendingFiles_ = SelectedPaths();
  pendingOperation_ = operation == 2 ? 2 : 0;
  if (!pendingFiles_.empty()) SetClipboardFiles(pendingFiles_, pendingOperation_ == 2);
}

void TQzFilelistView28::Paste() {
  if (IsDriveView() || !DirectoryExists(directory_)) return;
  TCursor saved = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  int operation = pendingOperation_;
  bool fromClipboard = false;
  if (pendingFiles_.empty()) {
    // Files another program put on the clipboard are copied unless they were cut there;
    // what the last cut here left behind does not decide it.
    bool cut = false;
    pendingFiles_ = ClipboardFiles(&cut);
    operation = cut ? 2 : 0;
    fromClipboard = true;
  }
  if (pendingFiles_.empty()) {
    Screen->SetCursor(saved);
    MessageDlg(ListTexts.NothingSelected, mtError, {mbOK}, 0);
    return;
  }
  bool ok = true;
  for (const std::string& f : pendingFiles_) {
    const std::string target = ConcatPath(directory_, ExtractFileName(StripBackslash(f)));
    ok = ShellFileOperation(operation == 2 ? foMove : foCopy, f, target) && ok;
  }
  if (ok && operation == 2 && (fromClipboard || ClipboardHasFiles())) Clipboard()->Clear();
  UpdateFileList();
  pendingFiles_.clear();
  if (!ok) MessageDlg(TextOpFailed, mtError, {mbOK}, 0);
  reloadLinked(directory_);
  Screen->SetCursor(saved);
}

void TQzFilelistView28::FilesDropped(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  pendingFiles_ = paths;
  pendingOperation_ = 0;
  Paste();
}

// ---------------------------------------------------------------------------
// Mouse and keyboard
// ---------------------------------------------------------------------------

void TQzFilelistView28::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TListView::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || IsDriveView()) return;
  if (Selected() && dirTree_ && dirTree_->DragDropEnabled()) BeginDrag(false);
}

void TQzFilelistView28::KeyDown(uint16_t& Key, TShiftState Shift) {
  const bool ctrl = Shift == TShiftState{ssCtrl};
  const bool shift = Shift == TShiftState{ssShift};
  const bool plain = Shift == TShiftState{} && !IsEditing();
  const bool any = Selected() != nullptr;
  if (ctrl) {
    switch (Key) {
      case 'A':
        for (int i = 0; i < Items()->Count(); ++i) Items()->Item(i)->SetSelected(true);
        break;
      case 'C':
        if (any) CutCopy(0);
        break;
      case 'X':
        if (any) CutCopy(2);
        break;
      case 'V':
        if (!pendingFiles_.empty() || ClipboardHasFiles()) Paste();
        break;
      case 'F':
        if (any) ViewFile();
        break;
      case 'N':
        if (!IsDriveView()) NewFolder();
        break;
      case 'O':
        if (any) OpenItem();
        break;
      default: break;
    }
  } else if (shift && Key == VK_DELETE) {
    PermanentDelete();
  } else if (plain) {
    switch (Key) {
      case VK_F2:
        if (any) RenameSelected();
        break;
      case VK_F3: FindInFolder(); break;
      case VK_F4:
        if (dirTreeCombo_) dirTreeCombo_->DropDown();
        break;
      case VK_F5: {
        UpdateFileList();
        if (dirTreeCombo_) {
          const std::string p = dirTreeCombo_->SelectedPath();
          dirTreeCombo_->ReloadTree();
          dirTreeCombo_->OpenPath(p);
        }
        if (dirTree_) {
          const std::string p = dirTree_->SelectedPath();
          dirTree_->ReloadTree();
          dirTree_->OpenPath(p);
        }
        break;
      }
      case VK_BACK: OneLevelUp(); break;
      case VK_RETURN:
        if (any) OpenItem();
        break;
      case VK_ESCAPE:
        if (dirTreeCombo_) dirTreeCombo_->CloseUp();
        break;
      case VK_DELETE:
        if (any) DeleteSelected();
        break;
      case VK_UP:
      case VK_DOWN:
        TListView::KeyDown(Key, Shift);
        Click();
        return;
      default: break;
    }
  }
  TListView::KeyDown(Key, Shift);
}
