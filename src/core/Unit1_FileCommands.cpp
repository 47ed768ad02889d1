// The file commands of the main window on the selected files of the list: delete to the
// Trash, copy, cut and paste into the tree's folder, rename, the repair of the shows and
// the paperclip after files changed their paths, select all, clearing the thumbnail
// cache, the folder-sizes report, a folder tree into the paperclip, and the folder popup.
//
// No command loses a file: a file goes to the Trash instead of being deleted, a copy
// takes its name only when it is complete (a file it replaces goes to the Trash only then),
// and a moved file's source goes only after its copy was flushed and read back equal.
// Every failure is reported as one, with its reason.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <unordered_map>
#include <vector>

#include "controls/KpPanel.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/PictureLists.h"
#include "core/Unit1.h"
#include "core/UnitSetting.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/Threads.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"
#include "platform/shell/ShellExplorer.h"
#include "tools/UnitEditName.h"
#include "tools/UnitGetMemorycard.h"
#include "tools/UnitHelp.h"
#include "tools/UnitShowProgress2.h"

namespace {

bool IsJpegName(const std::string& path) {
  const std::string ext = UpperCase(ExtractFileExt(path));
  return ext == ".JPG" || ext == ".THM" || ext == ".JPEG";
}

// Any entry of that name (also a link to nothing).
bool EntryExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// Copies (or moves) files one after the other on a thread of its own, so that the window
// goes on while the kernel copies. It touches only the file system; the GUI thread hands
// it the files and takes the results (file index, 0 or the errno value of the failure).
// Across file systems a moved file is flushed and read back equal before its source goes;
// a file that replaces another is whole on the disk before the old one goes to the Trash.
class TFileWorker {
 public:
  explicit TFileWorker(bool move) : move_(move), thread_([this] { Run(); }) {}
  // The files not begun are dropped; the one in hand is finished first.
  ~TFileWorker() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      jobs_.clear();
      closing_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  TFileWorker(const TFileWorker&) = delete;
  TFileWorker& operator=(const TFileWorker&) = delete;

  void Add(int index, const std::string& source, const std::string& target, bool replace) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      jobs_.push_back({index, source, target, replace});
    }
    wake_.notify_all();
  }
  // A stop is heard after a file is copied, as when the files were copied one by one in the
  // window's own loop: until the worker has begun one, the first stays in hand.
  void DropWaiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.erase(begun_ == 0 && !jobs_.empty() ? jobs_.begin() + 1 : jobs_.begin(), jobs_.end());
  }
  // Waits up to waitMs until every file handed over is finished; true when they are.
  bool WaitIdle(int waitMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return done_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return !busy_ && jobs_.empty(); });
  }
  // The files finished since the last call.
  std::vector<std::pair<int, int>> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::pair<int, int>> taken;
    taken.swap(finished_);
    return taken;
  }

 private:
  struct Job {
    int index;
    std::string source, target;
    bool replace;
  };
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      const Job job = std::move(jobs_.front());
      jobs_.pop_front();
      ++begun_;
      busy_ = true;
      lock.unlock();
      int error = 0;
      try {
        errno = 0;
        const bool ok = job.replace ? (move_ ? MovePathOver(job.source, job.target) : CopyPathOver(job.source, job.target))
                                    : (move_ ? MovePath(job.source, job.target) : CopyPath(job.source, job.target));
        if (!ok) error = errno ? errno : EIO;
      } catch (const std::exception&) {
        error = EIO;
      }
      lock.lock();
      busy_ = false;
      finished_.emplace_back(job.index, error);
      done_.notify_all();
    }
  }

  const bool move_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::deque<Job> jobs_;
  std::vector<std::pair<int, int>> finished_;
  bool busy_ = false, closing_ = false;
  int begun_ = 0;
  std::thread thread_;  // last: it starts when everything above is made
};


}  // namespace

void TForm1::finishFileBatch(const std::string& FailureText, const std::vector<std::string>& Failed) {
  FWorkFiles->Clear();
  FFileAction = 10;
  ProgressBar1->SetVisible(false);
  ActionRunning = false;
  if (StopRequested) {
    ShowMessage(_("Action aborted by user"));
    StopRequested = false;
  }
  if (!Failed.empty()) ShowMessage(Format(FailureText, {int(Failed.size())}) + NameLines(Failed));
}

std::string TForm1::ShowsFolder() const { return FAppDir + "Shows"; }

// ===========================================================================
// The work list
// ===========================================================================
void TForm1::FillWorkFileList(bool WithCompanions) {
  FWorkFiles->Clear();
  std::set<std::string> listed;
  const bool memos = WithCompanions && !FormSettings->ChB_NoMemoHandling->Checked();
  // Each folder's names are read once, however many of its pictures are selected.
  std::map<std::string, TFolderNamesNoCase> folders;
  for (int i = 0; i < ListBox1->Count(); ++i) {
    if (!ListBox1->Selected(i)) continue;
    const std::string path = ListEntryPath(i);
    if (path.empty() || (FFileAction == 50 && !IsJpegName(path))) continue;
    FWorkFiles->Add(path);
    listed.insert(path);
    if (!memos || !IsJpegName(path)) continue;
    // The voice memo: the picture's name with ".WAV" in any letter case, beside it.
    const std::string folder = ExtractFileDir(path);
    auto names = folders.find(folder);
    if (names == folders.end()) names = folders.emplace(folder, TFolderNamesNoCase(folder)).first;
    const std::string memo = names->second.Find(FileNameWithoutExt(path) + ".WAV");
    if (!memo.empty() && FileExists(memo) && listed.insert(memo).second) FWorkFiles->Add(memo);
  }
}

// ===========================================================================
// Delete
// ===========================================================================
void TForm1::P_DeletefileClick(TObject* /*Sender*/) {
  if (ActionRunning) return;
  FFileAction = 30;
  FillWorkFileList(false);
  FNamesBefore->Clear();
  FNamesAfter->Clear();
  const int count = FWorkFiles->Count();
  if (count == 0) {
    FFileAction = 10;
    return;
  }
  const std::string question = FUsbMode ? _n("Delete %d file?", "Delete %d files?", count)
                                        : _n("Move %d file to the Trash?", "Move %d files to the Trash?", count);
  if (TranslatedMessageDialog(Format(question, {count}), mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0) != mrYes) {
    FFileAction = 10;
    return;
  }
  // The lists that name the files lose them in the same step.
  for (const std::string& file : FWorkFiles->ToVector()) {
    FNamesBefore->Add(file);
    FNamesAfter->Add(file);
  }
  if (!BeginListRenames(true)) {
    FFileAction = 10;
    return;
  }
  ProgressBar1->SetMax(count);
  ProgressBar1->SetPosition(0);
  ProgressBar1->SetVisible(true);
  HourGlassCursor();
  int showIndex = ListBox1->ItemIndex();
  if (showIndex == ListBox1->Count() - 1) --showIndex;
  const std::vector<std::string> files = FWorkFiles->ToVector();
  std::vector<std::string> failed;
  StopRequested = false;
  ActionRunning = true;
  // Between the first deletion and the lists' update the program takes no input but Esc.
  std::optional<TBusyInput> busy(std::in_place);
  for (int n = count - 1; n >= 0 && !StopRequested && !Application->Terminated(); --n) {
    const std::string& file = files[size_t(n)];
    if (RecycleFile(file)) {
      FListRenames->Done(file);
      for (int i = ListBox1->Count() - 1; i >= 0; --i) {
        if (ListEntryPath(i) != file) continue;
        ListBox1->Items()->Delete(i);
        // The thumbnails stand in list order: the entry's one goes with it.
        if (PanelThumbHolder->Visible() && FThumbScrollBox && i < FThumbScrollBox->ControlCount())
          delete FThumbScrollBox->Controls(i);
        break;
      }
      DeleteCachedThumb(file);
    } else {
      failed.push_back(file);
    }
    ProgressBar1->SetPosition(count - n);
    Application->ProcessMessages();
    if (busy->Escaped()) StopRequested = true;
  }
  if (Application->Terminated()) {
    CheckForRenamedFiles(true);
    ActionRunning = false;
    return;
  }
  EmptyAllImages();
  if (ZqTumblist->Down()) FillTheTumbsNow();
  RestoreCursor();
  CheckForRenamedFiles(true);
  busy.reset();
  finishFileBatch(
      _n("%d file could not be moved to the Trash:", "%d files could not be moved to the Trash:", failed.size()),
      failed);
  if (ListBox1->Count() == 0) return;
  try {
    const int index = std::clamp(showIndex, 0, ListBox1->Count() - 1);
    ListBox1->SetItemIndex(index);
    ListBox1->SetSelected(index, true);
    OpenThePicture(ListEntryPath(index));
    BlueThumb();
  } catch (const std::exception&) {
    // The next picture is only a courtesy; the deletion is done.
  }
}

// ===========================================================================
// Copy, cut and paste
// ===========================================================================
namespace {

void ShowWorkListAsDebugText(TStringList& files, bool debugPanelShown) {
  HelpForm->SetCaption("Debug");
  HelpForm->FFileName.clear();
  HelpForm->ZqButton2->SetVisible(debugPanelShown);
  HelpForm->RichEdit1->Lines()->Assign(files);
  HelpForm->Show();
}

}  // namespace

void TForm1::CopyFiles1Click(TObject* /*Sender*/) {
  FFileAction = 20;
  FillWorkFileList(true);
  if (CheckBox2->Checked()) ShowWorkListAsDebugText(*FWorkFiles, KpFramePanel1->Visible());
  ShowIt(Format(_n("%d file selected", "%d files selected", FWorkFiles->Count()), {FWorkFiles->Count()}));
}

void TForm1::CutFiles1Click(TObject* /*Sender*/) {
  FFileAction = 40;
  FillWorkFileList(true);
  if (CheckBox2->Checked()) ShowWorkListAsDebugText(*FWorkFiles, KpFramePanel1->Visible());
  ShowIt(Format(_n("%d file selected", "%d files selected", FWorkFiles->Count()), {FWorkFiles->Count()}));
}

void TForm1::Pastefiles1Click(TObject* /*Sender*/) {
  if (FWorkFiles->Count() == 0 || (FFileAction != 20 && FFileAction != 40) || ActionRunning) return;
  const int count = FWorkFiles->Count();
  const std::string question = FFileAction == 40 ? _n("Move %d file to folder %s", "Move %d files to folder %s", count)
                                                 : _n("Copy %d file to folder %s", "Copy %d files to folder %s", count);
  if (TranslatedMessageDialog(Format(question, {FWorkFiles->Count(), QzDirTree211->SelectedPath()}), mtConfirmation,
                              TMsgDlgButtons{mbYes, mbNo}, 0) == mrYes)
    CopyPastefiles("", false);
}

bool TForm1::CopyPastefiles(const std::string& NameText, bool OpenFirst) {
  if (FWorkFiles->Count() == 0) {
    MessageDlg(_("No file(s) selected"), mtWarning, TMsgDlgButtons{mbOK}, 0);
    return true;
  }
  const bool move = FFileAction == 40;
  FNamesBefore->Clear();
  FNamesAfter->Clear();
  const std::vector<std::string> files = FWorkFiles->ToVector();
  const int count = int(files.size());
  const std::string destination = IncludeTrailingPathDelimiter(QzDirTree211->SelectedPath());
  // The name a file gets in the destination.
  auto targetName = [&](const std::string& source) {
    if (NameText.empty()) return ExtractFileName(source);
    if (FormGetcard && FormGetcard->ChB_Suffix->Checked())
      return FileNameWithoutExt(source) + " " + NameText + ExtractFileExt(source);
    return NameText + " " + ExtractFileName(source);
  };
  // The questions come first, before anything is locked or copied: each file whose name
  // is taken in the destination (by a file there, or by an earlier file of this paste) is
  // asked for. A file the user keeps is left alone; Cancel ends the paste there.
  std::vector<std::string> targets(static_cast<size_t>(count));
  // approved: the user said the file of its name may go (to the Trash).
  std::vector<bool> skipped(size_t(count), false), approved(size_t(count), false);
  std::set<std::string> given;  // the targets of the files that go
  int asked = 0;                 // the files the paste goes over, from the first on
  bool overwriteAll = false;
  for (; asked < count; ++asked) {
    const std::string& source = files[size_t(asked)];
    const std::string name = targetName(source);
    const std::string target = destination + name;
    // The source itself under another spelling (a linked folder, "//", a hard link) is
    // never offered for overwriting.
    if (target == source || SameFile(source, target)) {
      ShowMessage(_("Can't copy/paste, destination and source are the same!"));
      break;
    }
    targets[size_t(asked)] = target;
    if (EntryExists(target) || given.count(target)) {
      if (!overwriteAll) {
        const int answer =
            TranslatedMessageDialog(Format(_("File %s exists, Overwrite this file? "), {name}), mtConfirmation,
                                    TMsgDlgButtons{mbYes, mbNo, mbCancel, mbYesToAll}, 0);
        if (answer == mrNo) {
          skipped[size_t(asked)] = true;
          continue;
        }
        if (answer != mrYes && answer != mrYesToAll) break;
        overwriteAll = answer == mrYesToAll;
      }
      approved[size_t(asked)] = true;
    }
    given.insert(target);
  }
  // The lists follow in the same step: a moved file to its new name, and a file of the
  // destination that goes to the Trash for another out of them, as for a Delete.
  std::set<std::string> trashed;
  for (int i = 0; i < asked; ++i) {
    if (skipped[size_t(i)]) continue;
    if (approved[size_t(i)] && EntryExists(targets[size_t(i)]) && trashed.insert(targets[size_t(i)]).second) {
      FNamesBefore->Add(targets[size_t(i)]);
      FNamesAfter->Add(std::string());
    }
    if (!move) continue;
    FNamesBefore->Add(files[size_t(i)]);
    FNamesAfter->Add(targets[size_t(i)]);
  }
  if (FNamesBefore->Count() > 0 && !BeginListRenames(false)) return false;
  ProgressBar1->SetMax(count);
  ProgressBar1->SetPosition(0);
  ProgressBar1->SetVisible(true);
  const bool cardWindow = FormGetcard && FormGetcard->Visible();
  if (cardWindow) {
    FormGetcard->ProgressBar1->SetMax(count);
    FormGetcard->ProgressBar1->SetPosition(0);
  }
  HourGlassCursor();
  StopRequested = false;
  ActionRunning = true;
  // From here to the lists' update the program asks nothing and takes no input but Esc.
  std::optional<TBusyInput> busy(std::in_place);

  // The files are copied (or moved) one after the other by a worker thread; this thread
  // keeps the window going and takes the finished files into the list in their order.
  TFileWorker worker(move);
  enum : char { kWaiting, kDone, kFailed, kLeft };
  std::vector<char> state(size_t(count), kWaiting);
  std::vector<int> errors(size_t(count), 0);
  std::vector<bool> replacing(size_t(count), false);
  std::set<std::string> handedTargets;  // the targets handed to the worker
  int handed = 0;                       // files handed over or left, from the first on
  int listed = 0;                       // files taken into the list, from the first on
  auto lastPump = std::chrono::steady_clock::now() - std::chrono::seconds(1);

  // A finished file's entry in the list; the first copy is shown when asked for.
  auto takeIntoList = [&](int i) {
    const std::string& target = targets[size_t(i)];
    if (!SameFolderPath(destination, FLastPath) || !FileExists(target) || TreeView1->Visible() ||
        PanelCustomLists->Visible())
      return;
    const std::string name = ExtractFileName(target);
    int index = ListBox1->Items()->IndexOf(name);
    // IndexOf ignores case; names on Linux do not.
    if (index >= 0 && ListBox1->Items()->Strings(index) != name) index = -1;
    if (index < 0) index = ListBox1->Items()->Add(name);
    if (i == 0 && OpenFirst) {
      ListBox1->SetItemIndex(index);
      OpenThePicture(target);
    }
  };
  // The worker's results, and the list brought up to the files finished in order.
  auto takeResults = [&](bool intoList) {
    for (const auto& [i, error] : worker.Take()) {
      state[size_t(i)] = error == 0 ? kDone : kFailed;
      errors[size_t(i)] = error;
    }
    while (intoList && listed < handed && state[size_t(listed)] != kWaiting) takeIntoList(listed++);
  };
  // Events are pumped (and the progress shown) at most every 40 ms: often enough for the
  // window to answer and the stop to be heard, seldom enough to cost nothing.
  auto pump = [&](bool now) {
    if (!now && std::chrono::steady_clock::now() - lastPump < std::chrono::milliseconds(40)) return;
    int position = 0;
    while (position < handed && state[size_t(position)] != kWaiting) ++position;
    ProgressBar1->SetPosition(position);
    if (cardWindow && FormGetcard->Visible()) FormGetcard->ProgressBar1->SetPosition(position);
    Application->ProcessMessages();
    if (busy->Escaped()) StopRequested = true;
    lastPump = std::chrono::steady_clock::now();
  };
  auto stopAsked = [] { return StopRequested || Application->Terminated(); };
  // Waits (with the window going) until the worker has finished every file handed over;
  // a stop asked meanwhile drops the files not begun.
  auto drain = [&](bool intoList) {
    takeResults(intoList);
    for (;;) {
      if (stopAsked()) worker.DropWaiting();
      if (worker.WaitIdle(30)) break;
      takeResults(intoList);
      pump(false);
    }
    takeResults(intoList);
  };

  for (int i = 0; i < asked && !stopAsked(); ++i) {
    const std::string& target = targets[size_t(i)];
    handed = i + 1;
    if (skipped[size_t(i)]) {
      state[size_t(i)] = kLeft;
      continue;
    }
    // A second file for the same name waits until the first is in place, which it then
    // replaces as the user said.
    if (handedTargets.count(target)) drain(false);
    // A file the user was not asked about is never written over: one that came under its
    // name since the question makes its copy or move fail, and that is said.
    replacing[size_t(i)] = approved[size_t(i)] && EntryExists(target);
    handedTargets.insert(target);
    worker.Add(i, files[size_t(i)], target, replacing[size_t(i)]);
    if (i == 0) {
      // Events are pumped once while the first file is copied, and the others wait until
      // it is done: a stop asked at once leaves it the only copy.
      pump(true);
      drain(false);
    } else {
      takeResults(false);
      pump(false);
    }
  }
  // The rest is copied while the list takes the finished files (and the first is shown).
  drain(true);

  std::vector<std::string> failed;
  for (int i = 0; i < handed; ++i) {
    if (state[size_t(i)] == kFailed) failed.push_back(files[size_t(i)] + " (" + SysErrorMessage(errors[size_t(i)]) + ")");
    // A replaced picture's cached thumbnail shows the old one.
    if (state[size_t(i)] == kDone && replacing[size_t(i)]) DeleteCachedThumb(targets[size_t(i)]);
    if (state[size_t(i)] == kDone && move) FListRenames->Done(files[size_t(i)]);
  }
  if (Application->Terminated()) {
    CheckForRenamedFiles(false);
    ActionRunning = false;
    return failed.empty();
  }
  ProgressBar1->SetPosition(listed);
  if (PanelThumbHolder->Visible()) FillTheTumbsNow();
  RestoreCursor();
  CheckForRenamedFiles(false);
  busy.reset();
  finishFileBatch(move ? _n("%d file could not be moved:", "%d files could not be moved:", failed.size())
                       : _n("%d file could not be copied:", "%d files could not be copied:", failed.size()),
                  failed);
  return failed.empty();
}

// ===========================================================================
// Rename
// ===========================================================================
void TForm1::Renamefile1Click(TObject* /*Sender*/) {
  FNamesBefore->Clear();
  FNamesAfter->Clear();
  if (TreeView1->Visible()) {
    ShowMessage(_("Rename not implemented during the paperclip yet.") + "\r" + _("For now rename the file in normal view!"));
    return;
  }
  const int index = ListBox1->ItemIndex();
  if (index < 0 || index >= ListBox1->Count() || ActionRunning) return;
  const std::string oldPath = ListEntryPath(index);
  FormEditName->FOldPath = oldPath;
  FormEditName->FExtension = ExtractFileExt(oldPath);
  FormEditName->FNewName.clear();
  FormEditName->Edit1->SetText(FileNameWithoutExt(oldPath));
  FormEditName->Edit2->SetText(ExtractFileExt(oldPath));
  // The dialog renames the file as a command of this window: the lists follow.
  FormEditName->OnRenameFile = [this](const std::string& From, const std::string& To) {
    return RenameOneFile(From, To);
  };
  const int answer = FormEditName->ShowModal();
  FormEditName->OnRenameFile = nullptr;
  if (answer != mrOk || FormEditName->FNewName.empty()) return;
  const std::string newPath = ExtractFilePath(oldPath) + FormEditName->FNewName;
  DeleteCachedThumb(oldPath);
  // The list may have changed while the dialog was open.
  if (index >= ListBox1->Count() || ListEntryPath(index) != oldPath) return;
  if (PanelCustomLists->Visible()) {
    ListBox1->Items()->SetStrings(index, newPath);
  } else {
    if (PanelThumbHolder->Visible() && FThumbScrollBox && index < FThumbScrollBox->ControlCount()) {
      std::string hint;
      CreateThumbHint(newPath, "", hint, "");
      FThumbScrollBox->Controls(index)->SetHint(hint);
    }
    ListBox1->Items()->SetStrings(index, FormEditName->FNewName);
  }
}

// ===========================================================================
// Shows and the paperclip after files changed their paths
// ===========================================================================
void TForm1::FillListWithShowFiles(TStringList& List) const {
  // The paperclip is kept in step whether shows were ever made or not.
  if (FileExists(FAppDir + "paperclip.lst")) List.Add(FAppDir + "paperclip.lst");
  if (!DirectoryExists(ShowsFolder())) return;
  TStringList folders;
  ListFolderTree(ShowsFolder(), folders);
  for (int i = 0; i < folders.Count(); ++i) {
    TStringList names;
    ListShowFiles(folders.Strings(i), names);
    for (int k = 0; k < names.Count(); ++k) {
      const std::string file = PathJoin(folders.Strings(i), names.Strings(k));
      if (FileExists(file)) List.Add(file);
    }
  }
}

TListPlace TForm1::ListPlace() const {
  TListPlace place;
  place.DataFolder = IncludeTrailingPathDelimiter(FAppDir);
  place.Lists = [this] {
    TStringList lists;
    FillListWithShowFiles(lists);
    return lists.ToVector();
  };
  place.LineToPath = [this](const std::string& line) { return PathFromListLine(line); };
  place.PathToLine = [this](const std::string& path) { return ListLineFromPath(path); };
  return place;
}

bool TForm1::SettleListJournals(bool* Changed) {
  std::string message;
  bool settled;
  {
    TLockWaitScope lockWait;
    settled = ::SettleListJournals(ListPlace(), message, Changed);
  }
  if (!message.empty()) ShowMessage(message);
  return settled;
}

bool TForm1::BeginListRenames(bool DeleteMode) {
  FListRenames.reset();
  const int pairs = FNamesBefore->Count();
  std::vector<TFileRename> plan;
  if (pairs == FNamesAfter->Count())
    for (int k = 0; k < pairs; ++k)
      plan.push_back({FNamesBefore->Strings(k), DeleteMode ? std::string() : FNamesAfter->Strings(k)});
  auto renames = std::make_unique<TListRenames>(ListPlace());
  bool begun;
  {
    // The lock waits of the command are one wait.
    TLockWaitScope lockWait;
    begun = renames->Begin(std::move(plan));
  }
  // What taking a stopped program's renames in had to say is told once no lock is held.
  if (!begun) {
    if (!renames->Notice().empty()) ShowMessage(renames->Notice());
    ShowMessage(renames->Why());
    FNamesBefore->Clear();
    FNamesAfter->Clear();
    return false;
  }
  FListRenames = std::move(renames);
  return true;
}

void TForm1::CheckForRenamedFiles(bool DeleteMode) {
  const int pairs = FNamesBefore->Count();
  std::unique_ptr<TListRenames> renames = std::move(FListRenames);
  // The shown picture goes by its new name from now on (the status bar, the caption's
  // commands and the next command on it).
  if (!DeleteMode && pairs == FNamesAfter->Count())
    for (int k = 0; k < pairs; ++k)
      if (FCurrentFile == FNamesBefore->Strings(k) && !FileExists(FCurrentFile) &&
          FileExists(FNamesAfter->Strings(k))) {
        FCurrentFile = FNamesAfter->Strings(k);
        break;
      }
  FNamesBefore->Clear();
  FNamesAfter->Clear();
  if (!renames) return;
  const bool shown = renames->ListCount() > 0;
  if (shown) {
    ShowProgressForm->ShowText->SetCaption(_("Renaming files and or folder path in shows........."));
    ShowProgressForm->ProgressBar1->SetMax(renames->ListCount());
    ShowProgressForm->ProgressBar1->SetPosition(0);
    ShowProgressForm->ProgressBar1->SetVisible(true);
    ShowProgressForm->Show();
  }
  HourGlassCursor();
  const bool written = renames->Finish([](int i, const std::string& list, int lines) {
    ShowProgressForm->Showtext2->SetCaption(
        Format(_n("Processing %d file in %s", "Processing %d files in %s", lines), {lines, ExtractFileName(list)}));
    ShowProgressForm->ProgressBar1->SetPosition(i + 1);
  });
  RestoreCursor();
  if (shown) ShowProgressForm->Close();
  MakePaperclipText();
  if (!renames->Notice().empty()) ShowMessage(renames->Notice());
  if (!written) ShowMessage(renames->Why());
}

int TForm1::RenameOneFile(const std::string& From, const std::string& To) {
  FNamesBefore->Clear();
  FNamesAfter->Clear();
  FNamesBefore->Add(From);
  FNamesAfter->Add(To);
  if (!BeginListRenames(false)) return -1;
  ClearReadOnly(From);
  const int error = RenameFile(From, To) ? 0 : (errno ? errno : EIO);
  if (error == 0) FListRenames->Done(From);
  CheckForRenamedFiles(false);
  return error;
}

// ===========================================================================
// Select all, the thumbnail cache, folder sizes
// ===========================================================================
void TForm1::Selectall1Click(TObject* Sender) {
  ListBox1->SetMultiSelect(true);
  ListBox1->SelectAll();
  ListBox1Click(Sender);
}

void TForm1::Clearthumbscachefolder1Click(TObject* /*Sender*/) {
  const int count = CountFilesInFolder(FThumbCacheFolder);
  if (count == 0) {
    ShowMessage(_("Thumbs cache folder is empty"));
    return;
  }
  if (TranslatedMessageDialog(Format(_n("There is %d cached thumbnail file present.",
                                        "There are %d cached thumbnail files present.", count),
                                     {count}) +
                                  "\r\n" + _("Do you want to remove the cached thumbnail files?"),
                              mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0) != mrYes)
    return;
  if (ShellDeleteToRecycleBin(FThumbCacheFolder))
    ForceDirectories(FThumbCacheFolder);
  else
    ShowMessage(_("The thumbnail cache could not be moved to the Trash."));
}

void TForm1::FolderSizesReport(const std::string& Folder, TStringList& Report) {
  TStringList folders;
  const std::string top = RemoveTrailingBackslash(Folder);
  folders.Add(top);
  // Folder links are not entered: a link to a parent would never end.
  ListSubFoldersRecursive(top, folders);
  double total = 0;
  for (int i = 0; i < folders.Count(); ++i) {
    const int64_t size = FolderFilesSize(folders.Strings(i));
    total += double(size);
    Report.Add(folders.Strings(i) + "\t    " + MegabyteText(double(size)));
  }
  Report.Add(std::string(43, '-'));
  Report.Add(MegabyteText(total) + " (" + GigabyteText(total) + ")");
}

void TForm1::Foldersizes1Click(TObject* /*Sender*/) {
  const std::string folder = QzDirTree211->SelectedPath();
  HelpForm->SetCaption(_("Folder Sizes"));
  HelpForm->FFileName.clear();
  HelpForm->ZqButton2->SetVisible(false);
  HelpForm->RichEdit1->Lines()->Clear();
  HelpForm->RichEdit1->Lines()->Add(_("Wait a moment, busy calculating folder sizes...."));
  HelpForm->Show();
  Application->ProcessMessages();
  if (!IsFullPath(folder)) return;
  TStringList report;
  HourGlassCursor();
  FolderSizesReport(folder, report);
  RestoreCursor();
  HelpForm->RichEdit1->Lines()->Assign(report);
}

// ===========================================================================
// A folder tree into the paperclip
// ===========================================================================
void TForm1::GetAllFilesFromFolder(const std::string& Folder) {
  TStringList folders, found;
  ListFolderTree(RemoveTrailingBackslash(Folder), folders);
  for (int f = 0; f < folders.Count(); ++f) {
    TStringList entries;
    ListFilesInFolder(folders.Strings(f), entries);
    // Extension by extension in the order of the known list, files in folder order.
    for (int e = 0; e < FKnownExtList->Count(); ++e)
      for (int k = 0; k < entries.Count(); ++k)
        if (UpperCase(ExtractFileExt(entries.Strings(k))) == FKnownExtList->Strings(e) && FileExists(entries.Strings(k)))
          found.Add(entries.Strings(k));
  }
  const std::vector<std::string> listable = ListableFiles(found.ToVector());
  if (!listable.empty())
    ShowMessage(Format(
        _n("%d file from tree placed in the paperclip", "%d files from tree placed in the paperclip", listable.size()),
        {int(listable.size())}));
  // The pictures join what the paperclip holds (a file once); it is never emptied here.
  EditList(PaperclipFile(), {}, listable);
}

// ===========================================================================
// The folder popup of the tree
// ===========================================================================
void TForm1::PopupQZDirPopup(TObject* /*Sender*/) {
  SincFavoritesPath();
  // The items act on the selected folder: with none (the computer node) they are off.
  const std::string folder = QzDirTree211->SelectedPath();
  TTreeNode* node = QzDirTree211->Selected();
  const bool hasFolder = node && node->Level() >= 1 && IsFullPath(folder) && DirectoryExists(folder);
  Newfolder1->SetEnabled(hasFolder);
  for (TMenuItem* item : {Renamefolder1, Deletefolder1}) item->SetEnabled(hasFolder && QzDirTree211->IsFolderNode(node));
  Foldersizes1->SetEnabled(hasFolder);
  Pastefiles1->SetEnabled(hasFolder && (FFileAction == 20 || FFileAction == 40));
  M_AddFavorite->SetEnabled(ZqAdFavorite->Enabled());
  AddfoldertoFavorites->SetEnabled(hasFolder && ZqAdFavorite->Enabled());
  Copyandcompresscompletetree1->SetEnabled(hasFolder && !TreeView1->Visible());
  Pastecardfoldercontents->SetEnabled(hasFolder && FCardFolder != folder);
}

void TForm1::Newfolder1Click(TObject* /*Sender*/) { QzDirTree211->AddNewFolder(QzDirTree211->Selected(), ""); }

void TForm1::Renamefolder1Click(TObject* /*Sender*/) { QzDirTree211->EditSelectedFolder(); }

void TForm1::Deletefolder1Click(TObject* /*Sender*/) {
  // Linux lets a folder go while it is some process's current folder: nothing to move
  // out of first.
  Application->ProcessMessages();
  QzDirTree211->DeleteFolder(QzDirTree211->Selected());
}
