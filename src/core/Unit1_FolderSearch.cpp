// Folder search, folder reload and the program history: finding folders by a part of
// their name below the current folder or its drive's root (each hit opened in the folder
// tree, with the question whether to go on), reloading the folder tree and the file
// list, and opening the current picture with a chosen program, where the last eight
// programs are kept in "historyprogs.lst" and offered as the items P_History1 to 8.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "controls/QzFileExplorer28.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"
#include "tools/UnitFindFolder.h"

namespace {

constexpr int kHistoryItems = 8;
// The history file holds a few lines; a larger one is not read.
constexpr int64_t kMaxHistoryFileSize = 64 * 1024;

// The sub folders of folder in the order the file system lists them; links to folders
// are left out (a link to a parent would make the walk endless).
std::vector<std::string> SubFolderNames(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return names;
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
      names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

std::string MenuText(const std::string& text) {
  std::string escaped;
  for (char c : text) escaped += c == '&' ? std::string("&&") : std::string(1, c);
  return escaped;
}

}  // namespace

// ===========================================================================
// Folder search
// ===========================================================================
void TForm1::FindFolder1Click(TObject* /*Sender*/) {
  if (!FormFolderFind) return;
  std::string start = IncludeTrailingPathDelimiter(QzDirTree211->SelectedPath());
  if (!IsFullPath(start)) start = "/";
  // The top of the drive is the mount point that holds the folder.
  std::string root = MountPointOf(start);
  root = root.empty() ? std::string("/") : IncludeTrailingPathDelimiter(root);
  FormFolderFind->ChB_Root->SetCaption(_("Start search from top ") + root);
  FormFolderFind->ShowModal();
  if (FormFolderFind->ChB_Root->Checked()) start = root;
  const std::string text = FormFolderFind->FFolderName;
  if (text.empty()) return;
  HourGlassCursor();
  const int hits = FindDirectories(start, text);
  RestoreCursor();
  ShowIt(hits > 0 ? _("Find folder done.") : _("No folders found."));
}

int TForm1::FindDirectories(const std::string& Path, const std::string& Text) {
  folderSearchHits_ = 0;
  folderSearchGoOn_ = true;
  folderSearchSeen_.clear();
  struct stat st;
  if (::stat(Path.c_str(), &st) == 0) folderSearchSeen_.emplace_back(uint64_t(st.st_dev), uint64_t(st.st_ino));
  FolderSearchActive = true;
  FindSubDirectories(RemoveTrailingBackslash(Path), Text);
  FolderSearchActive = false;
  folderSearchSeen_.clear();
  return folderSearchHits_;
}

void TForm1::FindSubDirectories(const std::string& Path, const std::string& Text) {
  const std::string wanted = AnsiUpperCase(Text);
  for (const std::string& name : SubFolderNames(Path)) {
    if (!folderSearchGoOn_ || Application->Terminated()) return;
    const std::string folder = PathJoin(Path, name);
    // A folder reached twice (a bind mount inside itself) is walked once.
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0) continue;
    const std::pair<uint64_t, uint64_t> id(uint64_t(st.st_dev), uint64_t(st.st_ino));
    if (std::find(folderSearchSeen_.begin(), folderSearchSeen_.end(), id) != folderSearchSeen_.end()) continue;
    folderSearchSeen_.push_back(id);
    if (!wanted.empty() && AnsiUpperCase(name).find(wanted) != std::string::npos) {
      ++folderSearchHits_;
      QzDirTree211->OpenPath(folder);
      Application->ProcessMessages();
      if (TranslatedMessageDialog(_("Found ") + folder + "\r" + _("Find next folder?"), mtConfirmation,
                                  TMsgDlgButtons{mbYes, mbNo}, 0) == mrNo)
        folderSearchGoOn_ = false;
    }
    FindSubDirectories(folder, Text);
  }
}

// ===========================================================================
// Reload
// ===========================================================================
void TForm1::Reload1Click(TObject* /*Sender*/) {
  const std::string folder = FLastPath;
  QzDirTree211->ReloadTree();
  // While the shows tree stands in the folder tree's place, the listed show stays.
  if (TreeView1->Visible()) return;
  if (!folder.empty() && DirectoryExists(folder)) QzDirTree211->OpenPath(folder);
  FCurrentFile.clear();
  FLastPath.clear();
  EmptyAllImages();
  ListBox1->Clear();
  setWithQzDirPath(false);
}

// ===========================================================================
// Opening the picture with a program, and the history
// ===========================================================================
void TForm1::Browsetoopen1Click(TObject* /*Sender*/) {
  const int index = ListBox1->ItemIndex();
  if (index < 0 || index >= ListBox1->Count()) {
    ShowMessage(_("No file selected!"));
    return;
  }
  // Programs on Linux carry no extension.
  OpenDialog1->SetDefaultExt(std::string());
  OpenDialog1->SetFilter(_("Program") + "|*|" + _("All") + "|*.*");
  if (!OpenDialog1->Execute()) return;
  const std::string program = OpenDialog1->FileName();
  if (ActivateHistoryProg(program)) UpdateHistorylist(program);
}

void TForm1::UpdateHistorylist(const std::string& Program) {
  // A history that cannot be read is not written over; the menu changes with the file.
  const bool changed = ChangeList(FAppDir + "historyprogs.lst", [&](TStringList& old) {
    TStringList lines;
    lines.Add(ListLineFromPath(Program));
    for (int i = 0; i < old.Count() && lines.Count() < kHistoryItems; ++i) {
      const std::string& line = old.StringRef(i);
      if (!line.empty() && PathFromListLine(line) != Program) lines.Add(line);
    }
    old.Assign(lines);
    return true;
  });
  if (changed) FillHistory();
}

void TForm1::FillHistory() {
  TMenuItem* const items[kHistoryItems] = {P_History1, P_History2, P_History3, P_History4,
                                           P_History5, P_History6, P_History7, P_History8};
  historyPrograms_.assign(kHistoryItems, std::string());
  for (TMenuItem* item : items) item->SetCaption(_("<none>"));
  const std::string file = FAppDir + "historyprogs.lst";
  if (!FileExists(file) || GetFileSizeByName(file) > kMaxHistoryFileSize) return;
  TStringList lines;
  try {
    lines.LoadFromFile(file);
  } catch (const Exception&) {
    return;
  }
  // Programs that are gone are left out; the ones after them move up.
  int next = 0;
  for (int i = 0; i < lines.Count() && i < kHistoryItems + 1 && next < kHistoryItems; ++i) {
    const std::string program = PathFromListLine(lines.StringRef(i));
    if (program.empty() || !FileExists(program)) continue;
    historyPrograms_[size_t(next)] = program;
    items[next]->SetCaption(MenuText(program));
    ++next;
  }
}

void TForm1::P_History1Click(TObject* Sender) {
  const TMenuItem* const items[kHistoryItems] = {P_History1, P_History2, P_History3, P_History4,
                                                 P_History5, P_History6, P_History7, P_History8};
  const auto it = std::find(std::begin(items), std::end(items), Sender);
  if (it == std::end(items)) return;
  const size_t index = size_t(it - std::begin(items));
  std::string program;
  UseIfProgOnUSB(index < historyPrograms_.size() ? historyPrograms_[index] : std::string(), program);
  ActivateHistoryProg(program);
}

bool TForm1::ActivateHistoryProg(const std::string& Program) {
  const int index = ListBox1->ItemIndex();
  if (index < 0 || index >= ListBox1->Count()) {
    ShowMessage(_("No file selected!"));
    return false;
  }
  const std::string picture = ListEntryPath(index);
  if (Program.empty() || !FileExists(Program) || !StartDetached({Program, picture}, ExtractFileDir(Program))) {
    ShowMessage(Format(_("The program %s could not be started."), {Program.empty() ? _("<none>") : Program}));
    return false;
  }
  return true;
}

void TForm1::UseIfProgOnUSB(const std::string& Path, std::string& Result) {
  if (!FUsbMode) {
    Result = Path;
    return;
  }
  // On the stick the program lies on the program's drive, wherever that is mounted now.
  const std::string local = PathFromListLine(Path);
  Result = !local.empty() && FileExists(local) ? local : std::string();
}
