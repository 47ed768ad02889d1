// The paperclip list: the user's collection of marked pictures from any folders, kept in
// "paperclip.lst" in the program's data folder. Adding, removing, clearing, a folder tree
// into it, its count in the shows tree, listing it in place of a folder, and the order
// the sort tool gives it.
//
// The file is never cached: each command reads it, changes the lines and writes it back
// whole through a temporary file, all under a lock of its folder, so that two programs on
// one home that change it at the same moment both land. A line whose picture cannot be
// found now (a memory card or a share not there) is neither counted nor listed, but no
// command drops it.
#include "controls/QzFileExplorer28.h"
#include "controls/ZrkSound.h"
#include "core/Diversen.h"
#include "core/PictureLists.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "tools/SortUnit.h"
#include "tools/UnitDragDrop.h"

namespace {

bool IsWaveFile(const std::string& path) { return UpperCase(ExtractFileExt(path)) == ".WAV"; }

}  // namespace

std::string TForm1::PaperclipFile() const { return FAppDir + "paperclip.lst"; }

bool TForm1::LoadListFile(const std::string& FileName, TStringList& Lines) {
  Lines.Clear();
  if (!FileExists(FileName)) return true;
  if (GetFileSizeByName(FileName) > kMaxListFileSize) {
    ShowMessage(Format(_("%s is too large to be a list of pictures."), {FileName}));
    return false;
  }
  try {
    Lines.LoadFromFile(FileName);
  } catch (const Exception& e) {
    ShowMessage(e.Message());
    return false;
  }
  return true;
}

namespace {

// Runs a change through the lists' one way in; false, after saying why, when it was not made.
// What taking a stopped program's renames in on the way had to say is told once the locks
// are let go.
bool ListChange(const std::function<void(std::string* notice)>& change) {
  std::string notice;
  bool made = true;
  try {
    TLockWaitScope lockWait;
    change(&notice);
  } catch (const Exception& e) {
    notice += (notice.empty() ? "" : "\r") + e.Message();
    made = false;
  }
  if (!notice.empty()) ShowMessage(notice);
  return made;
}

// Empties a list under the lock of its folder; false, after saying why, when it stays.
bool RemoveListFile(const TListPlace& place, const std::string& file) {
  return ListChange([&](std::string* notice) { ClearList(place, file, notice); });
}

}  // namespace

bool TForm1::ChangeList(const std::string& FileName, const std::function<bool(TStringList& Lines)>& Change,
                        int64_t MaxBytes) {
  return ListChange([&](std::string* notice) { ChangeListLines(ListPlace(), FileName, Change, MaxBytes, notice); });
}

bool TForm1::ChangeShowEntries(const std::vector<std::string>& Entries, const std::function<void()>& Change) {
  return ListChange([&](std::string* notice) { ChangeListEntries(ListPlace(), Entries, Change, notice); });
}

int TForm1::ListLineIndexOf(const TStringList& Lines, const std::string& Path) const {
  return TPathIndex(Lines.ToVector(), [this](const std::string& line) { return PathFromListLine(line); })
      .IndexOf(Path);
}

bool TForm1::EditList(const std::string& ListFile, const std::vector<std::string>& View,
                      const std::vector<std::string>& Entries, int* Delta) {
  return ChangeList(ListFile, [&](TStringList& lines) {
    const int before = lines.Count();
    const bool changed = EditListLines(
        lines, View, Entries, [this](const std::string& line) { return PathFromListLine(line); },
        [this](const std::string& path) { return ListLineFromPath(path); });
    if (Delta) *Delta = lines.Count() - before;
    return changed;
  });
}

int TForm1::listIndexOfPath(const std::string& Path) const {
  if (Path.empty()) return -1;
  for (int i = 0; i < ListBox1->Count(); ++i)
    if (ListEntryPath(i) == Path) return i;
  return -1;
}

std::vector<std::string> TForm1::selectedWorkFiles() {
  // A copy or cut waits for its paste with the work list: it stays as it was.
  const int16_t action = FFileAction;
  const bool pending = action == 20 || action == 40;
  const std::vector<std::string> waiting = FWorkFiles->ToVector();
  FFileAction = 10;
  FillWorkFileList(false);
  std::vector<std::string> files = FWorkFiles->ToVector();
  if (pending) {
    FWorkFiles->Clear();
    FWorkFiles->AddStrings(waiting);
    FFileAction = action;
  }
  return files;
}

std::vector<std::string> TForm1::ListableFiles(const std::vector<std::string>& Files) {
  std::vector<std::string> listable;
  std::string refused;
  for (const std::string& file : Files) {
    if (NameFitsListLine(file))
      listable.push_back(file);
    else
      refused += (refused.empty() ? "" : "\r") + file;
  }
  if (!refused.empty()) ShowMessage(Format(_("%s cannot be put in a list: its name holds a line break."), {refused}));
  return listable;
}

bool TForm1::refusedInStandAloneMode() {
  if (!FUsbMode) return false;
  const std::string folder = QzDirTree211->SelectedPath();
  if (IsFullPath(folder) && MountPointOf(folder) == MountPointOf(FAppDir)) return false;
  ShowMessage(_("Not possible Kivo2 is in USB mode, can only use a file path on current removable drive."));
  return true;
}

// ===========================================================================
// Adding, removing, clearing
// ===========================================================================
void TForm1::M_Addfilestopapercli1Click(TObject* /*Sender*/) {
  if (refusedInStandAloneMode()) return;
  const std::vector<std::string> files = ListableFiles(selectedWorkFiles());
  int added = 0, present = 0;
  bool empty = false;
  if (!ChangeList(PaperclipFile(), [&](TStringList& lines) {
        TPathIndex index(lines.ToVector(), [this](const std::string& line) { return PathFromListLine(line); });
        for (const std::string& file : files) {
          if (index.IndexOf(file) >= 0) {
            ++present;
          } else if (!IsWaveFile(file)) {
            index.Add(file, lines.Add(ListLineFromPath(file)));
            ++added;
          }
        }
        empty = lines.Count() == 0;
        return added > 0;
      }))
    return;
  if (added > 0) {
    const std::string shutter = FindNameNoCase(FProgramDir, "shutter.wav");
    if (!shutter.empty() && FileExists(shutter)) {
      ZrkSound1->SetSoundFile(shutter);
      ZrkSound1->Play();
      ZrkSound1->SetSoundFile(std::string());
    } else {
      MessageBeep(MB_ICONASTERISK);
    }
  }
  if (empty) {
    ShowMessage(_("No files selected to add to the paperclip."));
    return;
  }
  const std::string addedText =
      Format(_n("%d file added to the paperclip.", "%d files added to the paperclip.", added), {added});
  const std::string presentText =
      Format(_n("%d file already in paperclip.", "%d files already in paperclip.", present), {present});
  if (added > 0 && present == 0)
    ShowIt(addedText);
  else if (added > 0)
    ShowIt(addedText + " - " + presentText);
  else if (present > 0)
    ShowIt(presentText);
  MakePaperclipText();
}

void TForm1::RemovefromPapeclipfile() {
  std::vector<std::string> files;
  for (const std::string& file : selectedWorkFiles())
    if (!IsWaveFile(file)) files.push_back(file);
  int delta = 0;
  if (!EditList(PaperclipFile(), files, {}, &delta)) return;
  if (delta == 0) {
    ShowMessage(_("No files found to remove from the paperclip."));
    return;
  }
  ShowIt(Format(_n("%d file removed from the paperclip.", "%d files removed from the paperclip.", -delta), {-delta}));
  MakePaperclipText();
}

void TForm1::Removefilesfrompaperclip1Click(TObject* Sender) {
  if (TreeView1->Visible())
    RemovefromshowClick(Sender);
  else
    RemovefromPapeclipfile();
}

void TForm1::M_Clearpaperclip1Click(TObject* /*Sender*/) {
  const std::string file = PaperclipFile();
  if (!FileExists(file)) {
    ShowMessage(_("Paperclip allready empty"));
    return;
  }
  if (TranslatedMessageDialog(_("Remove all files from the papeclip list?"), mtConfirmation,
                              TMsgDlgButtons{mbYes, mbNo}, 0) == mrNo)
    return;
  if (!RemoveListFile(ListPlace(), file)) return;
  if (!TreeView1->Visible()) {
    ShowMessage(_("All files removed from the paperclip."));
  } else if (FShowNodeKind == 3) {
    ListBox1->Clear();
    EmptyAllImages();
    FCurrentFile.clear();
    ResetListbox1();
  }
  MakePaperclipText();
}

void TForm1::TreeToPaperclipClick(TObject* /*Sender*/) {
  if (refusedInStandAloneMode()) return;
  const std::string file = PaperclipFile();
  // Only Yes empties the paperclip; otherwise the pictures join what it holds.
  if (FileExists(file) &&
      TranslatedMessageDialog(_("The paperclip is not empty, remove all files from the paperclip list first?"),
                              mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0) == mrYes &&
      !RemoveListFile(ListPlace(), file))
    return;
  HourGlassCursor();
  Application->ProcessMessages();
  GetAllFilesFromFolder(QzDirTree211->SelectedPath());
  RestoreCursor();
  MakePaperclipText();
}

// ===========================================================================
// The paperclip in the shows tree and in the file list
// ===========================================================================
void TForm1::MakePaperclipText() {
  if (!TreeView1->Visible() || TreeView1->Items()->Count() == 0) return;
  TTreeNode* node = TreeView1->Items()->Item(0);
  node->SetText(_("Paperclip") + " (0)");
  if (!FileExists(PaperclipFile())) return;
  TStringList lines;
  if (!LoadListFile(PaperclipFile(), lines)) return;
  int count = 0;
  for (int i = 0; i < lines.Count(); ++i)
    if (!lines.StringRef(i).empty() && FileExists(PathFromListLine(lines.StringRef(i)))) ++count;
  node->SetText(_("Paperclip") + " (" + IntToStr(count) + ")");
}

void TForm1::ShowPaperclipFiles() {
  SetCaption("PaperClip");
  ListBox1->Clear();
  EmptyAllImages();
  FCurrentFile.clear();
  if (FileExists(PaperclipFile())) {
    HourGlassCursor();
    if (DragForm) DragForm->FListFile = PaperclipFile();
    TStringList lines, listed;
    if (LoadListFile(PaperclipFile(), lines))
      for (int i = 0; i < lines.Count(); ++i) {
        const std::string path = PathFromListLine(lines.StringRef(i));
        if (!lines.StringRef(i).empty() && FileExists(path)) listed.Add(path);
      }
    ListBox1->Items()->Assign(&listed);
    SetListBoxHorzBar(ListBox1);
    RestoreCursor();
  }
  ResetListbox1();
}

void TForm1::Sorttool1Click(TObject* /*Sender*/) {
  if (!SortForm) return;
  SortForm->FFromDragList = false;
  const std::vector<std::string> view = ListBox1->Items()->ToVector();
  if (SortForm->ShowModal() != mrOk) return;
  // The list keeps the order the user chose: refilling it from the folder would put the
  // folder's own order back at once. It holds until the folder is left or sorted again.
  ResetListbox1();
  if (FShowNodeKind == 3 && TreeView1->Visible()) {
    // The listed pictures take their new order; lines of missing pictures stay.
    EditList(PaperclipFile(), view, ListBox1->Items()->ToVector());
    MakePaperclipText();
  }
}
