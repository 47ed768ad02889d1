// The file list of the current folder: the folder tree's selection becomes the current
// folder, its files that the viewer can show are listed in the chosen order (locked
// folders stay empty) and the first one is opened.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "tools/ExifInfoUnit2.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitAnalize.h"
#include "tools/UnitGetMemorycard.h"

namespace {

// Sort keys are texts of this length: right-aligned, padded with '0' on the left.
constexpr size_t kSortKeyLength = 30;

std::string SortKey(const std::string& text) {
  if (text.size() >= kSortKeyLength) return text.substr(0, kSortKeyLength);
  return std::string(kSortKeyLength - text.size(), '0') + text;
}

// The photo date of a picture as "yyyy:mm:dd hh:nn:ss" from the EXIF facade; empty when it has none.
std::string PhotoDateText(const std::string& fileName) {
  std::string date;
  if (ExifInfoForm) ExifInfoForm->GetPhotoDate(fileName, date);
  return date;
}

// A line of the locked-folder list as a part of a Linux path: backslashes become '/' and
// a drive letter in front goes, so "D:\Photos\Private" locks every ".../Photos/Private".
std::string LockedFolderPattern(const std::string& line) {
  std::string pattern = line;
  std::replace(pattern.begin(), pattern.end(), '\\', '/');
  if (pattern.size() >= 2 && pattern[1] == ':' && std::isalpha(static_cast<unsigned char>(pattern[0])))
    pattern.erase(0, 2);
  return UpperCase(pattern);
}

}  // namespace

void TForm1::setWithQzDirPath(bool NoFill) {
  const std::string path = QzDirTree211->SelectedPath();
  if (path != FCurrentTreePath) FPreviousFolder = FCurrentTreePath;
  FCurrentTreePath = path;
  if (!FPreviousFolder.empty()) ZqSpeedButton5->SetEnabled(FPreviousFolder != FCurrentTreePath);
  FStartNode = QzDirTree211->Selected();
  startNodePath_ = FStartNode ? QzDirTree211->GetNodePath(FStartNode) : std::string();
  FStartLevel = FStartNode ? FStartNode->Level() : 0;
  Label1->SetCaption(IntToStr(FStartLevel));
  Label3->SetCaption(FStartNode ? FStartNode->Text() : std::string());
  Label10->SetCaption(FAppDir);
  SetCaptionPath(path);
  if (FormAnalize && FormAnalize->Visible()) {
    FormAnalize->SetCaption(_("Exif analize: ") + path);
    FormAnalize->setButtonstate();
  }
  if (FormGetcard && FormGetcard->Visible()) {
    FormGetcard->StaticText2->SetCaption(path);
    FormGetcard->StaticText2->SetColor(TColor(0x00FFFF));
  }
  if (!NoFill) FillTheListboxWithFiles(path);
}

bool TForm1::IsLockedFolder(const std::string& Folder) const {
  const std::string folder = UpperCase(Folder);
  for (int i = 0; i < FLockedFolders->Count(); ++i) {
    // A blank line would be found in every path and lock them all.
    if (Trim(FLockedFolders->Strings(i)).empty()) continue;
    const std::string pattern = LockedFolderPattern(FLockedFolders->Strings(i));
    if (!pattern.empty() && folder.find(pattern) != std::string::npos) return true;
  }
  return false;
}

void TForm1::FillTheListboxWithFiles(const std::string& Path) {
  if (!QzDirTree211->Visible()) return;
  if (FBuildingThumbs) {
    FBuildingThumbs = false;
    Application->ProcessMessages();
  }
  const std::string folder = IncludeTrailingPathDelimiter(Path);
  if (folder == FLastPath) return;
  EmptyAllImages();
  // The shown picture is gone: so are its details (an empty or locked folder shows none).
  ResetStatusbar();
  FLastPath = folder;

  if (FSkipLockedFolders && IsLockedFolder(folder)) {
    ListBox1->Clear();
    return;
  }

  TStringList keyed;  // key + name, sorted below
  TStringList names;  // the final entries
  ListBox1->Clear();
  HourGlassCursor();
  ShowIt(_("Sorting files..."));
  Application->ProcessMessages();
  // The events just handled may have chosen another folder.
  if (FLastPath != folder) {
    RestoreCursor();
    return;
  }

  const bool hideUnderscored = FSkipLockedFolders && (FileExists(FAppDir + "debug.txt") ||
                                                      !FindNameNoCase(FProgramDir, "debug.txt").empty());
  const bool all = Showallfiles->Checked();
  const int mode = FSortMode;

  // One listing of the folder's plain files (no folders, no hidden files).
  TStringList found;
  TSearchRec rec;
  // The folder tree's computer node gives no folder ("Drives"): nothing to list.
  if (IsFullPath(folder) && FindFirst(folder + "*", faArchive, rec) == 0) {
    do {
      if ((rec.Attr & faDirectory) != 0) continue;
      if (hideUnderscored && !rec.Name.empty() && rec.Name[0] == '_') continue;
      found.Add(rec.Name);
    } while (FindNext(rec) == 0);
    FindClose(rec);
  }

  // Each entry of the extension list takes the files with its extension, in its order.
  std::vector<std::string> scanned;
  if (all) {
    for (int i = 0; i < found.Count(); ++i) scanned.push_back(found.Strings(i));
  } else {
    std::map<std::string, std::vector<std::string>> byExtension;
    for (int i = 0; i < found.Count(); ++i)
      byExtension[UpperCase(ExtractFileExt(found.Strings(i)))].push_back(found.Strings(i));
    for (int e = 0; e < FKnownExtList->Count(); ++e) {
      auto it = byExtension.find(UpperCase(FKnownExtList->Strings(e)));
      if (it == byExtension.end()) continue;
      scanned.insert(scanned.end(), it->second.begin(), it->second.end());
      byExtension.erase(it);  // an extension listed twice finds its files once
    }
  }

  auto keyText = [&](const std::string& name) -> std::string {
    const std::string file = folder + name;
    switch (mode) {
      case 2: return SortKey(IntToStr(GetFileSizeByName(file)));
      case 3: return SortKey(FileDateAsExifText(file));
      case 6: {
        std::string date = PhotoDateText(file);
        if (date.empty()) date = FileDateAsExifText(file);
        return SortKey(date);
      }
      case 7: return SortKey(name);
      default: return std::string();
    }
  };
  if (mode == 0) {
    for (const std::string& name : scanned) names.Add(name);
  } else if (mode == 1 || mode == 2 || mode == 3 || mode == 6 || mode == 7) {
    for (const std::string& name : scanned) keyed.Add(keyText(name) + name);
  }

  if (mode > 0 && keyed.Count() > 0) {
    // Names in the interface language's word order, as the sort tool orders them: case
    // and accents only break ties ("apple", "Banana", "Éclair", "zebra").
    keyed.CustomSort([](TStringList* list, int a, int b) { return AnsiCompareStr(list->Strings(a), list->Strings(b)); });
    const bool descending = PoSortdescend->Checked();
    const size_t keyLength = mode == 1 ? 0 : kSortKeyLength;
    std::set<std::string> listed;  // a name is listed once
    int index = 0;
    std::string entry;
    try {
      for (int step = 0; step < keyed.Count(); ++step) {
        index = descending ? keyed.Count() - 1 - step : step;
        entry = keyed.Strings(index);
        const std::string name = entry.substr(std::min(keyLength, entry.size()));
        if (listed.insert(name).second) names.Add(name);
      }
    } catch (const std::exception&) {
      // The entries gathered so far stay.
      ShowMessage(Format(_("Error during fill of listbox1") + "\r\n" + _("At line nr: %d") + "\r\n" +
                             _("CutString: %s") + "\r\n" + _("ExtraString: %s") + "\r\n" +
                             _("SortStringList.Count = %d"),
                         {index, entry, entry.substr(0, std::min(keyLength, entry.size())), keyed.Count()}));
    }
  }

  ShowItHide();
  ListBox1->Items()->Assign(&names);
  SetListBoxHorzBar(ListBox1);
  if (ListBox1->Count() > 0) {
    const int first = std::max(0, listIndexOfPath(startPicture_));
    ListBox1->SetItemIndex(first);
    if (ListBox1->MultiSelect()) ListBox1->SetSelected(first, true);
    OpenThePicture(ListBox1->Items()->Strings(first));
  } else {
    EmptyAllImages();
    FCurrentFile.clear();
  }
  RestoreCursor();
  if (PanelThumbHolder->Visible()) FillTheTumbsNow();
}

void TForm1::SetListBoxHorzBar(TListBox* List) {
  if (!List) return;
  TBitmap measure;
  measure.SetSize(1, 1);
  TCanvas& canvas = measure.Canvas();
  canvas.SetFont(*List->Font());
  int widest = 0;
  // Full paths in the file and favorites lists show their end in the list's width (see
  // ListBox1DrawItem), names whole.
  const bool pathEnds = List == ListBox1 || List == ListBox2;
  for (int i = 0; i < List->Count(); ++i)
    if (!pathEnds || !IsFullPath(List->Items()->Strings(i)))
      widest = std::max(widest, canvas.TextWidth(List->Items()->Strings(i)));
  List->SetScrollWidth(widest + 5);
}
