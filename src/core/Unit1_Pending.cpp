// Least versions of the main-window routines that the picture display, the file list,
// the thumbnails, full screen, the slide show and the command handlers complete: enough
// for the window to list the start folder, show a picture unscaled and follow the
// folder tree. The work on those parts replaces them.
#include <algorithm>

#include "controls/EventScrollbox.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "metadata/ExifData.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

void TForm1::OpenThePicture(const std::string& FileName) {
  FScaleText.clear();
  FImageWidth = FImageHeight = 0;
  FZoomPercent = 100;
  FAnimatedGif = false;
  HideExifLabels();
  std::string name = FileName;
  if (!IsFullPath(name)) name = PathJoin(FLastPath, name);
  FCurrentFile = name;
  FPlaceholderShown = false;
  if (!FileExists(name)) return;
  StatusBar1->Panels()->Items(7)->SetText(ExtractFileName(name));
  const std::string ext = UpperCase(ExtractFileExt(name));
  const bool picture = !ext.empty() && FImageExtList->IndexOf(ext) >= 0;
  bool loaded = false;
  if (picture) {
    try {
      FSourcePicture->LoadFromFile(name);
      FImageWidth = FSourcePicture->Width();
      FImageHeight = FSourcePicture->Height();
      Image1->Picture()->Assign(FSourcePicture.get());
      loaded = true;
    } catch (const Exception&) {
      loaded = false;
    }
  }
  if (!loaded) {
    Image1->Picture()->Assign(FalseImage->Picture());
    FPlaceholderShown = true;
  }
  Image1->SetVisible(true);
  CenterImage(Image1->Picture()->Height(), Image1->Picture()->Width());
  ShowExifLabel();
}

void TForm1::setWithQzDirPath(bool NoFill) {
  const std::string path = QzDirTree211->SelectedPath();
  if (path != FCurrentTreePath) FPreviousFolder = FCurrentTreePath;
  FCurrentTreePath = path;
  if (!FPreviousFolder.empty()) ZqSpeedButton5->SetEnabled(FPreviousFolder != FCurrentTreePath);
  FStartNode = QzDirTree211->Selected();
  FStartLevel = FStartNode ? FStartNode->Level() : 0;
  Label1->SetCaption(IntToStr(FStartLevel));
  Label3->SetCaption(FStartNode ? FStartNode->Text() : std::string());
  Label10->SetCaption(FAppDir);
  SetCaptionPath(path);
  if (!NoFill) FillTheListboxWithFiles(path);
}

void TForm1::FillTheListboxWithFiles(const std::string& Path) {
  if (!QzDirTree211->Visible() || Path.empty() || Path == "Drives") return;
  const std::string folder = IncludeTrailingPathDelimiter(Path);
  if (folder == FLastPath) return;
  FLastPath = folder;
  TStringList names;
  TSearchRec rec;
  if (FindFirst(folder + "*", faArchive, rec) == 0) {
    do {
      const std::string ext = ExtractFileExt(rec.Name);
      if (Showallfiles->Checked() || (!ext.empty() && FKnownExtList->IndexOf(UpperCase(ext)) >= 0))
        names.Add(rec.Name);
    } while (FindNext(rec) == 0);
    FindClose(rec);
  }
  names.Sort();
  ListBox1->Items()->Assign(&names);
  if (ListBox1->Count() > 0) {
    ListBox1->SetItemIndex(0);
    OpenThePicture(ListBox1->Items()->Strings(0));
  } else {
    Image1->Picture()->Assign(nullptr);
    FCurrentFile.clear();
  }
}

void TForm1::FillHistory() {}

void TForm1::CreateDummyFadeFromPicture() {}

void TForm1::ZqTumblistClick(TObject* /*Sender*/) {}


void TForm1::SmoothstrechClick(TObject* /*Sender*/) {
  const int index = ListBox1->ItemIndex();
  if (index >= 0 && index < ListBox1->Count()) OpenThePicture(ListBox1->Items()->Strings(index));
}

void TForm1::FullScreen() {
  FFullScreen = !FFullScreen;
  SetFullScreen(FFullScreen);
  UpdateScreenSaverInhibit();
}

bool TForm1::IsJPGLargerScale() { return false; }

void TForm1::CenterImage(int Height, int Width) {
  ScrollBox1->HorzScrollBar()->SetPosition(0);
  ScrollBox1->VertScrollBar()->SetPosition(0);
  const int areaWidth = ScrollBox1->ClientWidth(), areaHeight = ScrollBox1->ClientHeight();
  Image1->SetLeft(areaWidth > Width ? (areaWidth - Width) / 2 : 0);
  Image1->SetTop(areaHeight > Height ? (areaHeight - Height) / 2 - 2 : 0);
}

void TForm1::CenterLarge() {
  if (!M_Centerlarge->Checked()) return;
  TControlScrollBar* v = ScrollBox1->VertScrollBar();
  TControlScrollBar* h = ScrollBox1->HorzScrollBar();
  v->SetPosition((v->Range() - ScrollBox1->Height()) / 2);
  h->SetPosition((h->Range() - ScrollBox1->Width()) / 2);
}

void TForm1::RescaleImage(TPicture* Source, TPicture* Destination, int /*BoxHeight*/, int /*BoxWidth*/,
                          bool /*FastStretch*/, int /*Filter*/) {
  if (Source && Destination && Source != Destination) Destination->Assign(Source);
}

std::string TForm1::ExifOverlayText(const std::string& FileName) {
  if (FileName.empty()) return std::string();
  TimgData data;
  if (!data.ReadFileMetadata(FileName) || !data.ImageInfo) return std::string();
  // The summary's lines end in CR LF; a label breaks lines at LF.
  std::string text;
  for (char c : data.ImageInfo->ExifSummary())
    if (c != '\r') text += c;
  return text;
}

void TForm1::QzDirTree211DirChange(TObject* /*Sender*/, const std::string& /*SelectedPath*/) {
  if (FSuspendUpdates) return;
  HideExifLabels();
  ListBox1->SetMultiSelect(false);
  PanelCustomLists->SetVisible(false);
  Timer1->SetEnabled(false);
  ZqSlideShow->SetDown(false);
  ZqAutonext->SetDown(false);
  FSlideRunning = false;
  FCurrentFile.clear();
  setWithQzDirPath(false);
}
