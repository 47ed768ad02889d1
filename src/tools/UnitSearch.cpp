#include "tools/UnitSearch.h"

#include <sys/stat.h>

#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

TSearchForm* SearchForm = nullptr;

namespace {

constexpr int kLockedEditorHeight = 200;
// The locked-folder list is a short text; a larger file is not loaded into the editor.
constexpr int64_t kMaxLockedListSize = 1 << 20;

const std::string& LockedListName() {
  static const std::string name = "skipsearch.ini";
  return name;
}

// The device of a folder, or -1 when it cannot be read.
long long DeviceOf(const std::string& folder) {
  struct stat st;
  return ::lstat(folder.c_str(), &st) == 0 ? static_cast<long long>(st.st_dev) : -1;
}

// Calls fn(name) for every sub folder of folder (with a trailing '/') that lies on the
// same file system: links are not followed (a link to a folder could lead round in a
// circle), and other mounted drives below the folder are not entered, as a search of a
// drive stays on that drive.
template <class Fn>
void ForEachSubFolder(const std::string& folder, Fn fn) {
  const long long device = DeviceOf(folder);
  TSearchRec rec;
  if (FindFirst(folder + "*", faAnyFile, rec) != 0) return;
  do {
    if (!(rec.Attr & faDirectory) || (rec.Attr & faSymLink) || rec.Name == "." || rec.Name == "..") continue;
    if (DeviceOf(folder + rec.Name) != device) continue;
    if (!fn(rec.Name)) break;
  } while (FindNext(rec) == 0);
  FindClose(rec);
}

}  // namespace

TSearchForm::TSearchForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("SearchForm");
  SetCaption("Find file");
  SetBorderStyle(bsToolWindow);
  SetFormStyle(fsStayOnTop);
  SetClientWidth(348);
  SetClientHeight(292);

  NewControl<TLabel>(this, this, "Label1", "Enter a search string", 8, 8, 330, 15);
  EditSearch = NewControl<TEdit>(this, this, "EditSearch", 8, 26, 332, 21);
  SearchType = NewControl<TRadioGroup>(this, this, "SearchType", "", 8, 52, 332, 40);
  SetItems(SearchType->Items(), {"Find string", "Find words"});
  SearchType->SetColumns(2);
  SearchType->SetItemIndex(0);
  SearchType->SetEnabled(false);
  NewControl<TLabel>(this, this, "Label2", "Select drive or folder", 8, 98, 330, 15);
  EditPath = NewControl<TEdit>(this, this, "EditPath", 8, 116, 148, 21);
  SetHintText(EditPath, "Use the arrow to change drive or folder");
  QzDirTreeCombo281 = NewControl<TQzDirTreeCombo28>(this, this, "QzDirTreeCombo281", 160, 116, 108, 21);
  QzDirTreeCombo281->SetTreeHeight(240);
  QzDirTreeCombo281->SetReadOnly(true);
  ZqSpeedButton1 = NewControl<TZqSpeedButton>(this, this, "ZqSpeedButton1", 272, 115, 24, 23);
  SetHintText(ZqSpeedButton1, "Use selected path from the tree");
  ZqSpeedButton1->SetCaption("...");
  ZqSpeedButton2 = NewControl<TZqSpeedButton>(this, this, "ZqSpeedButton2", "Dr", 298, 115, 44, 23);
  SetHintText(ZqSpeedButton2, "Search the entire drive");
  ChBox_SubSearch = NewCheckBox(this, this, "ChBox_SubSearch", "Include sub folders in the search", true, 8, 144, 332);
  Ch_K2viewable = NewCheckBox(this, this, "Ch_K2viewable", "Kivo2 viewable files", true, 8, 164, 332);
  SetHintText(Ch_K2viewable, "Find files kivo2 can show, zie info");
  ChB_DontClear = NewCheckBox(this, this, "ChB_DontClear", "Don't clear the list", false, 8, 184, 332);
  Animate1 = NewControl<TProgressBar>(this, this, "Animate1", 8, 210, 332, 12);
  Animate1->SetMax(0);  // no end: the bar runs while it shows
  Animate1->SetVisible(false);
  Actionlabel = NewControl<TLabel>(this, this, "Actionlabel", "", 8, 228, 332, 15);
  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "&Search", 8, 258, 106, 25);
  ZqButton3 = NewControl<TZqButton>(this, this, "ZqButton3", "&Abort", 121, 258, 106, 25);
  ZqButton3->SetEnabled(false);
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "&Close", 234, 258, 106, 25);

  PanelEditLocked = NewAligned<TPanel>(this, this, "PanelEditLocked", alBottom, kLockedEditorHeight);
  PanelEditLocked->SetVisible(false);
  Memo1 = NewControl<TMemo>(this, PanelEditLocked, "Memo1", 4, 4, 340, 158);
  Memo1->SetScrollBars(ssBoth);
  Button1 = NewControl<TButton>(this, PanelEditLocked, "Button1", "Save", 4, 168, 106, 25);
  Button3 = NewControl<TButton>(this, PanelEditLocked, "Button3", "Add path", 121, 168, 106, 25);
  Button2 = NewControl<TButton>(this, PanelEditLocked, "Button2", "Close", 238, 168, 106, 25);

  SetActiveControl(EditSearch);
  ZqButton1->OnClick = [this](TObject* Sender) { ZqButton1Click(Sender); };
  ZqButton2->OnClick = [this](TObject* Sender) { ZqButton2Click(Sender); };
  ZqButton3->OnClick = [this](TObject* Sender) { ZqButton3Click(Sender); };
  ZqSpeedButton1->OnClick = [this](TObject* Sender) { ZqSpeedButton1Click(Sender); };
  ZqSpeedButton2->OnClick = [this](TObject* Sender) { ZqSpeedButton2Click(Sender); };
  QzDirTreeCombo281->OnPathChange = [this](TObject* Sender, const std::string& path) {
    QzDirTreeCombo281PathChange(Sender, path);
  };
  EditSearch->OnChange = [this](TObject* Sender) { EditSearchChange(Sender); };
  EditSearch->OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) {
    EditSearchKeyDown(Sender, Key, Shift);
  };
  EditPath->OnChange = [this](TObject* Sender) { EditPathChange(Sender); };
  EditPath->OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) {
    EditPathKeyDown(Sender, Key, Shift);
  };
  Button1->OnClick = [this](TObject* Sender) { Button1Click(Sender); };
  Button2->OnClick = [this](TObject* Sender) { Button2Click(Sender); };
  Button3->OnClick = [this](TObject* Sender) { Button3Click(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TSearchForm::FormCreate(TObject* /*Sender*/) {
  TranslateComponent(this);
  // The drive button shows its glyph and caption in the user's language with room to
  // spare; the path edit gives up what it takes.
  TSize needed, room;
  const int grow = ZqSpeedButton2->TextRoom(needed, room) ? needed.cx + 8 - room.cx : 0;
  if (grow <= 0) return;
  for (TControl* c : std::initializer_list<TControl*>{ZqSpeedButton2, ZqSpeedButton1, QzDirTreeCombo281})
    c->SetLeft(c->Left() - grow);
  ZqSpeedButton2->SetWidth(ZqSpeedButton2->Width() + grow);
  EditPath->SetWidth(EditPath->Width() - grow);
}

void TSearchForm::FormShow(TObject* Sender) {
  ZqSpeedButton2Click(Sender);
  Form1->ListBox1->Clear();
  searched_ = false;
}

void TSearchForm::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  // A search still running ends with the window.
  Form1->FStopSearch = true;
  showLockedEditor(false);
  // Closed without a search (by either close button), the list emptied at the showing
  // gives way to the folder's own files again.
  if (!searched_ && !Application->Terminated()) {
    Form1->ListBox1->Clear();
    Form1->FLastPath.clear();
    Form1->QzDirTree211DirChange(this, Form1->QzDirTree211->SelectedPath());
  }
}

bool TSearchForm::stopped() const { return Form1->FStopSearch || Application->Terminated(); }

bool TSearchForm::pumpStops() {
  Application->ProcessMessages();
  return stopped();
}

void TSearchForm::showLockedEditor(bool show) {
  if (PanelEditLocked->Visible() == show) return;
  PanelEditLocked->SetVisible(show);
  SetClientHeight(ClientHeight() + (show ? kLockedEditorHeight : -kLockedEditorHeight));
}

void TSearchForm::ZqButton1Click(TObject* /*Sender*/) {
  // One search at a time: a second start while one runs (from the events it handles) is
  // not taken.
  if (searching_) return;
  if (UpperCase(EditSearch->Text()) == "LOCKEDFOLDERS") {
    std::string list = Form1->FAppDir + LockedListName();
    if (!FileExists(list)) list = Form1->FProgramDir + LockedListName();
    Memo1->Clear();
    if (FileExists(list) && GetFileSizeByName(list) <= kMaxLockedListSize) Memo1->Lines()->LoadFromFile(list);
    showLockedEditor(true);
    return;
  }
  searched_ = true;
  TStringList roots;
  SplitToList('+', EditPath->Text(), roots);
  TListBox* list = Form1->ListBox1;
  if (!ChB_DontClear->Checked()) list->Clear();
  listed_.clear();
  for (int i = 0; i < list->Count(); ++i) listed_.insert(list->Items()->Strings(i));

  searching_ = true;
  Form1->EmptyAllImages();
  Form1->PanelListOptions->SetVisible(false);
  Animate1->SetVisible(true);
  Actionlabel->SetCaption(_("Searching......."));
  Actionlabel->SetVisible(true);
  ZqButton3->SetEnabled(true);
  Form1->PanelCustomLists->SetVisible(true);
  Form1->PanelListCaption->SetCaption(_("Search result"));
  Form1->Splitter2->SetVisible(false);
  Form1->PanelTrees->SetVisible(false);
  Application->ProcessMessages();

  for (int i = 0; i < roots.Count() && !Application->Terminated(); ++i) {
    std::string root = roots.Strings(i);
    AddTrailingBackslash(root);
    if (root.empty() || !DirectoryExists(root)) {
      ShowMessage(root + _(" not found!"));
      continue;
    }
    FindFiles(EditSearch->Text(), root);
  }
  searching_ = false;
  if (Application->Terminated()) return;

  Animate1->SetVisible(false);
  const std::string found = Format(_n("%d file found", "%d files found", list->Count()), {list->Count()});
  Actionlabel->SetCaption(found);
  ZqButton3->SetEnabled(false);
  Form1->SetCaption(found);
  if (list->Count() > 0) {
    list->SetItemIndex(0);
    Form1->OpenThePicture(list->Items()->Strings(0));
    if (Form1->PanelThumbHolder->Visible()) Form1->FillTheTumbsNow();
  }
}

void TSearchForm::FindFiles(const std::string& SearchText, const std::string& Root) {
  if (!DirectoryExists(Root)) return;
  std::string text = AnsiUpperCase(SearchText);
  // "*.jpg" looks for ".JPG" in the names.
  if (Pos("*.", text) > 0) text.erase(size_t(Pos("*", text) - 1), 1);
  terms_.clear();
  if (Pos(" ", text) > 0 && SearchType->ItemIndex() == 1) {
    TStringList parts;
    SplitToList(' ', text, parts);
    // An empty word (two blanks in a row) would be found in no name; it is left out.
    for (int i = 0; i < parts.Count(); ++i)
      if (!parts.Strings(i).empty()) terms_.push_back(parts.Strings(i));
  } else if (!text.empty()) {
    terms_.push_back(text);
  }
  Form1->FStopSearch = false;
  SearchFolderFiles(Root);
  ForEachSubFolder(Root, [&](const std::string& name) {
    if (pumpStops()) return false;
    SearchFolderFiles(Root + name + "/");
    if (ChBox_SubSearch->Checked()) SearchSubFolders(Root + name);
    return !stopped();
  });
  if (!Application->Terminated()) Form1->SetListBoxHorzBar(Form1->ListBox1);
}

void TSearchForm::SearchSubFolders(const std::string& Folder) {
  ForEachSubFolder(Folder + "/", [&](const std::string& name) {
    if (pumpStops()) return false;
    SearchFolderFiles(Folder + "/" + name + "/");
    SearchSubFolders(Folder + "/" + name);
    return !stopped();
  });
}

void TSearchForm::SearchFolderFiles(const std::string& Folder) {
  if (terms_.empty()) return;
  if (Form1->FSkipLockedFolders && Form1->IsLockedFolder(Folder)) return;
  const bool viewableOnly = Ch_K2viewable->Checked();
  const bool keepList = ChB_DontClear->Checked();
  TListBox* list = Form1->ListBox1;
  TSearchRec rec;
  if (FindFirst(Folder + "*", faAnyFile, rec) != 0) return;
  do {
    if (stopped()) break;
    if (rec.Attr & faDirectory) continue;
    if (viewableOnly && !Form1->IsImageFile(rec.Name)) continue;
    const std::string name = AnsiUpperCase(rec.Name);
    for (const std::string& term : terms_) {
      if (Pos(term, name) == 0) continue;
      const std::string path = Folder + rec.Name;
      if (!keepList || listed_.insert(path).second) list->Items()->Add(path);
      break;
    }
  } while (FindNext(rec) == 0);
  FindClose(rec);
}

void TSearchForm::ZqButton2Click(TObject* /*Sender*/) {
  Form1->FStopSearch = true;
  if (Form1->ListBox1->Count() == 0) Form1->Zq_CloseListClick(this);
  Close();
}

void TSearchForm::ZqButton3Click(TObject* /*Sender*/) { Form1->FStopSearch = true; }

void TSearchForm::ZqSpeedButton1Click(TObject* /*Sender*/) {
  std::string path = Form1->QzDirTree211->SelectedPath();
  AddTrailingBackslash(path);
  EditPath->SetText(path);
}

void TSearchForm::ZqSpeedButton2Click(TObject* /*Sender*/) {
  // The drive of the first folder: the mount point that holds it.
  TStringList roots;
  SplitToList('+', EditPath->Text(), roots);
  std::string drive = roots.Count() > 0 ? MountPointOf(roots.Strings(0)) : std::string();
  if (drive.empty()) drive = "/";
  AddTrailingBackslash(drive);
  EditPath->SetText(drive);
}

void TSearchForm::QzDirTreeCombo281PathChange(TObject* /*Sender*/, const std::string& /*SelectedPath*/) {
  EditPath->SetText(QzDirTreeCombo281->SelectedPath());
}

void TSearchForm::EditSearchChange(TObject* /*Sender*/) {
  SearchType->SetEnabled(Pos(" ", EditSearch->Text()) > 0);
  Actionlabel->SetVisible(false);
}

void TSearchForm::EditSearchKeyDown(TObject* Sender, uint16_t& Key, TShiftState /*Shift*/) {
  if (Key != VK_RETURN || EditSearch->Text().empty()) return;
  Key = 0;
  ZqButton1Click(Sender);
}

void TSearchForm::EditPathChange(TObject* /*Sender*/) { Actionlabel->SetVisible(false); }

void TSearchForm::EditPathKeyDown(TObject* /*Sender*/, uint16_t& Key, TShiftState /*Shift*/) {
  if (Key != VK_RETURN) return;
  Key = 0;
  EditSearch->SetFocus();
}

void TSearchForm::Button1Click(TObject* /*Sender*/) {
  const std::string file = Form1->FAppDir + LockedListName();
  try {
    Memo1->Lines()->SaveToFile(file);
  } catch (const Exception& e) {
    ShowMessage(e.Message());
    return;
  }
  Form1->FLockedFolders->LoadFromFile(file);
  Form1->FSkipLockedFolders = true;
}

void TSearchForm::Button2Click(TObject* /*Sender*/) { showLockedEditor(false); }

void TSearchForm::Button3Click(TObject* /*Sender*/) { Memo1->Lines()->Add(EditPath->Text()); }
