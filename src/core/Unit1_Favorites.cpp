// The favorite folders beside the folder tree and their file "W_Folders.txt".
//
// The file keeps every favorite the user made. A favorite whose folder is missing at the
// start (an unplugged drive, a share offline) is listed grey and kept, so that a later
// save does not lose it; a click on it says that the folder was not found. Each change
// reads the file again under the lock of its folder and changes only its own line, so
// that two programs on one home keep each other's favorites; the lines keep their bytes.
#include <algorithm>

#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/PictureLists.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

namespace {

// The list files are small; a larger file is no list of ours.
constexpr int64_t kMaxFavoritesFileSize = 4 << 20;

// The drive letter a stand-alone list line gets; the reader takes the drive it runs from.
constexpr char kStandAloneDrive[] = "X:";

std::string FavoritesFileName(const std::string& appDir) { return appDir + "W_Folders.txt"; }

}  // namespace

// ===========================================================================
// Stored lines
// ===========================================================================
std::string TForm1::PathFromListLine(const std::string& Line) const {
  if (FUsbMode && IsWindowsStylePath(Line)) return WindowsPathToLinux(Line, MountPointOf(FAppDir));
  return Line;
}

std::string TForm1::ListLineFromPath(const std::string& Path) const {
  if (FUsbMode) {
    const std::string line = LinuxPathToWindows(Path, MountPointOf(FAppDir), kStandAloneDrive);
    if (!line.empty()) return line;
  }
  return Path;
}

// ===========================================================================
// Loading and saving
// ===========================================================================
namespace {

// The lines of the favorites file; false when it cannot be read (or is too large to be one).
bool ReadFavoriteLines(const std::string& file, TStringList& lines) {
  lines.Clear();
  if (!FileExists(file)) return true;
  if (GetFileSizeByName(file) > kMaxFavoritesFileSize) return false;
  try {
    lines.LoadFromFile(file);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

}  // namespace

void TForm1::LoadFavorites() {
  ListBox2->Clear();
  TStringList lines;
  if (!ReadFavoriteLines(FavoritesFileName(FAppDir), lines)) return;
  for (int i = 0; i < lines.Count(); ++i) {
    const std::string folder = RemoveTrailingBackslash(PathFromListLine(lines.Strings(i)));
    if (!folder.empty()) ListBox2->Items()->Add(folder);
  }
  SetListBoxHorzBar(ListBox2);
}

bool TForm1::ChangeFavorites(const std::function<void(std::vector<std::string>& Folders)>& Change) {
  const bool saved = ChangeList(
      FavoritesFileName(FAppDir),
      [&](TStringList& lines) {
        std::vector<std::string> folders;
        for (int i = 0; i < lines.Count(); ++i)
          folders.push_back(RemoveTrailingBackslash(PathFromListLine(lines.Strings(i))));
        const std::vector<std::string> before = folders;
        Change(folders);
        if (folders == before) return false;
        // Unchanged folders keep their lines as they stand.
        TStringList result;
        for (const std::string& folder : folders) {
          const auto kept = std::find(before.begin(), before.end(), folder);
          result.Add(kept != before.end() ? lines.Strings(int(kept - before.begin())) : ListLineFromPath(folder));
        }
        lines.Assign(result);
        return true;
      },
      kMaxFavoritesFileSize);
  LoadFavorites();
  return saved;
}

void TForm1::MoveFavoriteFolders(const std::string& OldFolder, const std::string& NewFolder) {
  ChangeFavorites([&](std::vector<std::string>& folders) {
    for (std::string& folder : folders) {
      const std::string moved = ReplacePathStart(OldFolder, NewFolder, folder);
      if (PathIsWithin(folder, OldFolder) && NameFitsListLine(moved)) folder = moved;
    }
  });
}

// ===========================================================================
// The panel and its buttons
// ===========================================================================
namespace {

// The list's entry for a folder, its trailing separator ignored on both sides (paths
// compare exactly); -1 when it is no favorite.
int FavoriteIndex(TListBox* list, const std::string& folder) {
  const std::string wanted = RemoveTrailingBackslash(folder);
  if (wanted.empty()) return -1;
  for (int i = 0; i < list->Count(); ++i)
    if (RemoveTrailingBackslash(list->Items()->Strings(i)) == wanted) return i;
  return -1;
}

}  // namespace

void TForm1::SincFavoritesPath() {
  ZqAdFavorite->SetEnabled(true);
  const int index = FavoriteIndex(ListBox2, FLastPath);
  if (index >= 0) {
    ZqAdFavorite->SetEnabled(false);
    ListBox2->SetItemIndex(index);
  }
  ZqRemFavorites->SetEnabled(!ZqAdFavorite->Enabled());
  AddfoldertoFavorites->SetEnabled(ZqAdFavorite->Enabled());
  M_AddFavorite->SetEnabled(ZqAdFavorite->Enabled());
}

void TForm1::ZqFavoriteslistClick(TObject* /*Sender*/) {
  Splitter3->SetVisible(!Splitter3->Visible());
  PanelFavorites->SetVisible(Splitter3->Visible());
  // The splitter sits beside the panel.
  if (PanelFavorites->Visible()) Splitter3->SetLeft(PanelFavorites->Left() + PanelFavorites->Width());
  ZqFavoriteslist->SetDown(PanelFavorites->Visible());
  M_Favorites->SetChecked(PanelFavorites->Visible());
  Application->ProcessMessages();
  FormResize(this);
  ShowExifLabel();
  if (!PanelFavorites->Visible()) return;
  ZqRemFavorites->SetEnabled(false);
  SincFavoritesPath();
  SetListBoxHorzBar(ListBox2);
  if (ListBox2->CanFocus()) ListBox2->SetFocus();
}

void TForm1::M_FavoritesClick(TObject* Sender) {
  if (FFullScreen) return;
  ZqFavoriteslistClick(Sender);
}

void TForm1::ZqCloseFavoritesClick(TObject* Sender) {
  ZqFavoriteslist->SetDown(false);
  ZqFavoriteslistClick(Sender);
}

void TForm1::ZqAdFavoriteClick(TObject* /*Sender*/) {
  const std::string folder = RemoveTrailingBackslash(FLastPath);
  if (folder.empty() || !IsFullPath(folder)) return;
  if (FUsbMode && MountPointOf(folder) != MountPointOf(FAppDir))
    ShowMessage(_("Kivo is in USB drive mode") + "\r\n" + _("The shortcut is only available during this session."));
  if (!NameFitsListLine(folder)) {
    ShowMessage(Format(_("%s cannot be put in a list: its name holds a line break."), {folder}));
    return;
  }
  LoadFavorites();
  if (FavoriteIndex(ListBox2, folder) >= 0) {
    ShowMessage(Format(_("%s favorite folder allready present."), {folder}));
    SincFavoritesPath();
    return;
  }
  if (TranslatedMessageDialog(Format(_("Add folder %s to Favorites?"), {folder}), mtConfirmation,
                              TMsgDlgButtons{mbYes, mbNo}, 0) != mrYes)
    return;
  ChangeFavorites([&](std::vector<std::string>& folders) {
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
  });
  SincFavoritesPath();
}

void TForm1::ZqRemFavoritesClick(TObject* /*Sender*/) {
  const int index = ListBox2->ItemIndex();
  if (index < 0 || index >= ListBox2->Count()) return;
  if (TranslatedMessageDialog(Format(_("Remove %s from the Favorites?"), {ListBox2->Items()->Strings(index)}),
                              mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0) != mrYes)
    return;
  ZqRemFavorites->SetEnabled(false);
  const std::string folder = RemoveTrailingBackslash(ListBox2->Items()->Strings(index));
  ChangeFavorites([&](std::vector<std::string>& folders) {
    const auto it = std::find(folders.begin(), folders.end(), folder);
    if (it != folders.end()) folders.erase(it);
  });
  SincFavoritesPath();
}

void TForm1::ListBox2Click(TObject* /*Sender*/) {
  const int index = ListBox2->ItemIndex();
  if (index < 0 || index >= ListBox2->Count()) return;
  const std::string folder = ListBox2->Items()->Strings(index);
  RestoreToNormalNavigation();
  ZqRemFavorites->SetEnabled(true);
  if (!DirectoryExists(folder)) {
    ShowMessage(Format(_("Folder %s not found"), {folder}));
    ZqAdFavorite->SetEnabled(false);
    return;
  }
  if (QzDirTree211->Visible()) QzDirTree211->OpenPath(IncludeTrailingPathDelimiter(folder));
  ZqAdFavorite->SetEnabled(false);
  AddfoldertoFavorites->SetEnabled(false);
  M_AddFavorite->SetEnabled(false);
}

void TForm1::ListBox2DrawItem(TWinControl* Control, int Index, const TRect& Rect, TOwnerDrawState State) {
  ListBox1DrawItem(Control, Index, Rect, State);
}
