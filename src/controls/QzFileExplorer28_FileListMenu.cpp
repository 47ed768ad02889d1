// The file list's context menu and its send-to commands: any folder, the clipboard, a
// desktop shortcut, and the targets of this desktop (the desktop folder, a mail recipient,
// a compressed folder, the mounted removable drives).
#include <algorithm>

#include "controls/QzFileExplorer28.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/shell/Shell.h"
#include "platform/shell/ShellExplorer.h"

namespace {

const char* const kMailTarget = "mailto:";
const char* const kZipTarget = "zip:";

const TExplorerMenuEntry kListMenu[] = {
    {1, "ItemOpen", "&Open", "document-open"},
    {2, "ItemView", "&View", "document-print-preview"},
    {0, nullptr, "-", nullptr},
    {3, "SubMenuSend", "Se&nd To", "document-send"},
    {0, nullptr, "-", nullptr},
    {4, "ItemOpCut", "Cu&t", "edit-cut"},
    {5, "ItemOpCopy", "&Copy", "edit-copy"},
    {6, "ItemOpPaste", "&Paste", "edit-paste"},
    {0, nullptr, "-", nullptr},
    {7, "ItemRename", "&Rename", "edit-rename"},
    {8, "ItemDelete", "&Delete", "edit-delete"},
    {0, nullptr, "-", nullptr},
    {9, "ItemProperty", "&Properties", "document-properties"},
    {0, nullptr, "-", nullptr},
    {10, "ItemFolder", "&New Folder...", "folder-new"},
};
const TExplorerMenuEntry kSendToFixed[4] = {
    {30, "Send_To0", "Any Folder ...", "folder"},
    {31, "Send_To1", "Clipboard as Contents", "edit-paste"},
    {32, "Send_To2", "Clipboard as FileName", "edit-paste"},
    {33, "Send_To3", "DeskTop as ShortCut", "user-desktop"},
};
bool IsViewExtension(const std::string& ext, int count) {
  static const char* const viewable[] = {".C",   ".CPP", ".DPK", ".DPR", ".H",   ".INF", ".INI", ".PAS",
                                         ".PRG", ".TXT", ".DOC", ".RTF", ".WRI", ".BMP", ".GIF", ".JPG"};
  for (int i = 0; i < count; ++i)
    if (ext == viewable[i]) return true;
  return false;
}

// A name for a new archive in folder that no entry has: stem.zip, stem (2).zip ...
std::string FreeArchiveName(const std::string& folder, const std::string& stem) {
  std::string path = ConcatPath(folder, stem + ".zip");
  for (int n = 2; FileExists(path) || DirectoryExists(path); ++n)
    path = ConcatPath(folder, stem + " (" + std::to_string(n) + ").zip");
  return path;
}

}  // namespace

TQzFilelistView28PopUp::TQzFilelistView28PopUp(TQzFilelistView28* list) : TPopupMenu(list), list_(list) {
  SetImages(SystemSmallImages());
}

void TQzFilelistView28PopUp::BuildPopupItems() {
  Items()->Clear();
  const TNotifyEvent click = [this](TObject* s) { PopupItemClick(s); };
  sendMenu_ = AddExplorerMenuItems(this, Items(), kListMenu, std::size(kListMenu), "explorer-list", click, 3);
  AddExplorerMenuItems(this, sendMenu_, kSendToFixed, std::size(kSendToFixed), "explorer-list", click);
  FillSendToMenu();
}

void TQzFilelistView28PopUp::FillSendToMenu() {
  // Entries from an earlier fill go first.
  while (sendMenu_->Count() > 4) sendMenu_->Delete(sendMenu_->Count() - 1);
  sendToPaths_.clear();
  const char* ctx = "explorer-list";
  std::vector<std::pair<std::string, std::string>> targets;  // caption, target
  const std::string desktop = StripBackslash(GetShellFolderPath(0));
  targets.push_back({ExplorerText("Desktop (create copy)", ctx), desktop});
  targets.push_back({ExplorerText("Mail recipient", ctx), kMailTarget});
  targets.push_back({ExplorerText("Compressed (zipped) folder", ctx), kZipTarget});
  for (const TExplorerDrive& d : ExplorerDrives())
    if (d.Kind == dkRemovable) targets.push_back({d.Path, d.Path});
  for (size_t n = 0; n < targets.size(); ++n) {
    auto* item = new TMenuItem(this);
    item->SetCaption(targets[n].first);
    item->SetName("Send_To" + std::to_string(n + 4));
    item->SetTag(intptr_t(34 + n));
    const std::string& t = targets[n].second;
    item->OnClick = [this](TObject* s) { PopupItemClick(s); };
    sendMenu_->Add(item);
    item->SetImageIndex(t == kMailTarget   ? SystemIconIndexOf("message.eml", false)
                        : t == kZipTarget  ? SystemIconIndexOf("archive.zip", false)
                                           : SystemIconIndex(t));
    sendToPaths_.push_back(t);
  }
}

TMenuItem* TQzFilelistView28PopUp::ItemNamed(const std::string& name) const {
  for (int i = 0; i < Items()->Count(); ++i) {
    TMenuItem* item = Items()->Items(i);
    if (item->Name() == name) return item;
    for (int k = 0; k < item->Count(); ++k)
      if (item->Items(k)->Name() == name) return item->Items(k);
  }
  return nullptr;
}

void TQzFilelistView28PopUp::UpdateItemStates() {
  const int selected = list_->SelCount();
  const bool s = selected > 0;
  std::string ext;
  if (TListItem* item = list_->Selected()) ext = UpperCase(ExtractFileExt(item->SubItems()->Strings(siPath)));
  const bool drives = list_->IsDriveView();
  auto set = [this](const char* name, bool on) {
    if (TMenuItem* item = ItemNamed(name)) item->SetEnabled(on);
  };
  set("ItemOpen", s);
  set("ItemView", s && IsViewExtension(ext, 16));
  set("SubMenuSend", s && !drives);
  // Drives are never cut, copied, renamed or deleted from here.
  set("ItemOpCut", s && !drives);
  set("ItemOpCopy", s && !drives);
  set("ItemOpPaste", !drives && (!list_->PendingFiles().empty() || ClipboardHasFiles()));
  set("ItemRename", selected == 1 && !drives);
  set("ItemDelete", s && !drives);
  set("ItemProperty", s);
  set("ItemFolder", !drives);
  set("Send_To0", s);
  set("Send_To1", selected == 1 && (IsViewExtension(ext, 14) || ext == ".RTF" || ext == ".WMF"));
  set("Send_To2", s);
  set("Send_To3", s);
}

void TQzFilelistView28PopUp::Popup(int X, int Y) {
  UpdateItemStates();
  TPopupMenu::Popup(X + 10, Y + 10);
}

void TQzFilelistView28PopUp::PopupItemClick(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item) return;
  switch (item->Tag()) {
    case 1: list_->OpenItem(); return;
    case 2: list_->ViewFile(); return;
    case 4: list_->CutCopy(2); return;
    case 5: list_->CutCopy(0); return;
    case 6: list_->Paste(); return;
    case 7: list_->RenameSelected(); return;
    case 8: list_->DeleteSelected(); return;
    case 9: list_->ShowItemProperties(); return;
    case 10: list_->NewFolder(); return;
    default: break;
  }
  const std::string name = item->Name();
  if (name.rfind("Send_To", 0) != 0) return;
  const int n = std::atoi(name.c_str() + 7);
  if (n < 4)
    list_->SendToSpecial(n);
  else if (size_t(n - 4) < sendToPaths_.size())
    list_->SendTo(sendToPaths_[size_t(n - 4)]);
}

// ---------------------------------------------------------------------------
// The send-to commands
// ---------------------------------------------------------------------------

std::string AskSendToFolder(const std::string& startPath, const TQzFilelistView28::Texts& texts) {
  TForm form(nullptr);
  form.SetBorderStyle(bsDialog);
  form.SetPosition(poScreenCenter);
  form.SetClientWidth(333);
  form.SetClientHeight(135);
  form.SetCaption(texts.SendToTitle);
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  label->SetBounds(20, 12, 293, 13);
  label->SetCaption(texts.SendToPrompt);
  auto* edit = new TEdit(&form);
  edit->SetName("SendToPath");
  edit->SetParent(&form);
  edit->SetBounds(20, 32, 293, 21);
  edit->SetMaxLength(285);
  edit->SetText(startPath);
  edit->SelectAll();
  auto button = [&form](int left, const std::string& caption, int result, const char* name) {
    auto* b = new TButton(&form);
    b->SetName(name);
    b->SetParent(&form);
    b->SetBounds(left, 80, 75, 25);
    b->SetCaption(caption);
    b->SetModalResult(result);
    return b;
  };
  button(37, "OK", 1, "OKButton")->SetDefault(true);
  button(129, texts.Cancel, 2, "CancelButton")->SetCancel(true);
  button(221, texts.Browse, 10, "BrowseButton");
  const int result = form.ShowModal();
  if (result == 10) {
    std::string chosen;
    if (BrowseForFolder(chosen, 1, false)) return AskSendToFolder(chosen, texts);
    return std::string();
  }
  return result == 1 ? edit->Text() : std::string();
}

void TQzFilelistView28::CopyFilesTo(const std::string& folder) {
  if (IsDriveView() || !DirectoryExists(directory_) || folder.empty()) return;
  TCursor saved = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  pendingFiles_ = SelectedPaths();
  bool ok = DirectoryExists(folder);
  for (const std::string& f : pendingFiles_)
    ok = ok && ShellFileOperation(foCopy, f, ConcatPath(folder, ExtractFileName(StripBackslash(f))));
  pendingFiles_.clear();
  Screen->SetCursor(saved);
  if (!ok) MessageDlg(TextOpFailed, mtError, {mbOK}, 0);
}

void TQzFilelistView28::SendTo(const std::string& target) {
  if (!Selected() || IsDriveView()) return;
  if (target == kMailTarget) {
    std::vector<std::string> files;
    for (const std::string& p : SelectedPaths())
      if (FileExists(p)) files.push_back(p);
    if (files.empty()) {
      MessageDlg(ListTexts.NothingSelected, mtError, {mbOK}, 0);
      return;
    }
    if (!MailFiles(files)) MessageDlg(TextOpFailed, mtError, {mbOK}, 0);
    return;
  }
  if (target == kZipTarget) {
    const std::vector<std::string> paths = SelectedPaths();
    if (paths.empty()) return;
    const std::string zip = FreeArchiveName(directory_, NameWithoutExtension(StripBackslash(paths[0])));
    std::string error;
    TCursor saved = Screen->Cursor();
    Screen->SetCursor(crHourGlass);
    const bool ok = WriteZipArchive(zip, paths, error);
    Screen->SetCursor(saved);
    if (!ok) MessageDlg(TextOpFailed + "\n" + error, mtError, {mbOK}, 0);
    UpdateFileList();
    return;
  }
  TDriveInfo drive;
  if (DriveInfoOfPath(target, drive) && drive.Kind == dkRemovable && drive.MountPoint == StripBackslash(target)) {
    if (CheckDriveReady(target, true)) CopyFilesTo(target);
    return;
  }
  if (DirectoryExists(target)) CopyFilesTo(target);
}

void TQzFilelistView28::SendToSpecial(int kind) {
  switch (kind) {
    case 0: {
      const std::string folder = AskSendToFolder(std::string(), ListTexts);
      if (!folder.empty()) CopyFilesTo(folder);
      break;
    }
    case 1: {
      TListItem* item = Selected();
      if (!item) return;
      const std::string path = item->SubItems()->Strings(siPath);
      const std::string ext = UpperCase(ExtractFileExt(path));
      try {
        const std::vector<std::string> types = MimeTypesOfName(path);
        if (ext == ".BMP") {
          TPicture picture;
          picture.LoadFromFile(path);
          Clipboard()->Assign(picture.Graphic());
        } else if (!types.empty() && types[0].rfind("text/plain", 0) != 0 && types[0].rfind("text/x-", 0) != 0) {
          // Documents and metafiles (RTF, DOC, WRI, WMF) go as what they are, under their
          // MIME types, for the programs that paste such content; the program reads none
          // of them into text or a picture.
          Clipboard()->SetAsMimeData(types, ReadFileBytes(path, int64_t(16) << 20));
        } else {
          Clipboard()->SetAsText(ReadFileBytes(path, int64_t(16) << 20));
        }
      } catch (const Exception& e) {
        MessageDlg(e.Message(), mtError, {mbOK}, 0);
      }
      break;
    }
    case 2: {
      std::string text;
      for (const std::string& p : SelectedPaths()) text += p + "\n";
      Clipboard()->SetAsText(text);
      break;
    }
    case 3: CreateDesktopShortcut(); break;
    default: break;
  }
}

void TQzFilelistView28::CreateDesktopShortcut() {
  TListItem* item = Selected();
  if (!item) {
    MessageDlg(ListTexts.NothingSelected, mtError, {mbOK}, 0);
    return;
  }
  const std::string target = StripBackslash(item->SubItems()->Strings(siPath));
  const std::string desktop = GetShellFolderPath(0);
  const std::string name = NameWithoutExtension(target);
  // A freedesktop link launcher: the desktop opens the file or folder it points to (a link
  // has no working folder of its own).
  const std::string text = "[Desktop Entry]\nType=Link\nName=" + name + "\nURL=file://" + TrashInfoEncodePath(target) + "\n";
  const std::string launcher = desktop + name + ".desktop";
  bool ok = !desktop.empty() && ForceDirectories(desktop) && !FileExists(launcher);
  if (ok) {
    try {
      SaveTextFileAtomically(launcher, text);
    } catch (const Exception&) {
      ok = false;
    }
  }
  if (!ok) MessageDlg(ListTexts.ShortcutFailed, mtError, {mbOK}, 0);
}
