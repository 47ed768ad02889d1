// The main window's hand-offs to the histogram, the pixel magnifier, the print window, the
// copy, compare and Shotgraph windows, the scanner and the help file, the note shown while
// closing from a removable drive, and the services the tool windows call back.
#include <memory>

#include "controls/EventScrollbox.h"
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
#include "platform/rtl/Math.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "tools/HistogramTools.h"
#include "tools/PrintUnit.h"
#include "tools/UnitAnalize.h"
#include "tools/UnitCompare.h"
#include "tools/UnitHistogram.h"
#include "tools/UnitImageCopy.h"
#include "tools/UnitShowProgress2.h"
#include "tools/ZoomFloatUnit.h"

void TForm1::bindToolHandOffs() {
  Histogram1->OnClick = [this](TObject* Sender) { Histogram2Click(Sender); };
  Histogram2->OnClick = [this](TObject* Sender) { Histogram2Click(Sender); };
  Zoom1->OnClick = [this](TObject* Sender) { Zoom1Click(Sender); };
  ogglePixelmagnifier1->OnClick = [this](TObject* Sender) { Zoom1Click(Sender); };
  Print1->OnClick = [this](TObject* Sender) { Print1Click(Sender); };
  ZqPrint->OnClick = [this](TObject* Sender) { Print1Click(Sender); };
  Compare2->OnClick = [this](TObject* Sender) { Compare2Click(Sender); };
  for (TMenuItem* item : {Checklenslengthusage1, Plotfocallengthusage1})
    item->OnClick = [this](TObject* Sender) { Checklenslengthusage1Click(Sender); };
  Zq_Shotgraph->OnClick = [this](TObject* Sender) { Checklenslengthusage1Click(Sender); };
  Editequivalentlist1->OnClick = [this](TObject* Sender) { Editequivalentlist1Click(Sender); };
  Compare1->OnClick = [this](TObject* Sender) { Compare1Click(Sender); };
  ZqSpeedButton1->OnClick = [this](TObject* Sender) { Compare1Click(Sender); };
  for (TMenuItem* item : {Aquireimagetwainscannerebcam1, GetimageTwainscannerwebcametc1})
    item->OnClick = [this](TObject* Sender) { Aquireimagetwainscannerebcam1Click(Sender); };
  ZqSpeedButton5->OnClick = [this](TObject* Sender) { ZqSpeedButton5Click(Sender); };
  HelpforStandAloneversions1->OnClick = [this](TObject* Sender) { HelpforStandAloneversions1Click(Sender); };
  Donate1->OnClick = [this](TObject* Sender) { Donate1Click(Sender); };
  OnCloseQuery = [this](TObject* Sender, bool& CanClose) { FormCloseQuery(Sender, CanClose); };
  ChangeAspectRatio1->OnClick = [this](TObject* Sender) { ChangeAspectRatio1Click(Sender); };
  Showaspectratiocurrentimage1->OnClick = [this](TObject* Sender) { Showaspectratiocurrentimage1Click(Sender); };
  bindSmallHandlers();
}

namespace {

// The Shotgraph window with the stored lens pair and the folder in its caption; a window
// already open keeps its list editor as the user left it.
void PrepareShotgraph(TForm1& main, TTabSheet* page) {
  TFormAnalize& form = *FormAnalize;
  form.Edit1->SetText(UseLocaleDecimalSeparator(main.FDigiFactor));
  form.Edit2->SetText(UseLocaleDecimalSeparator(main.FFilmFactor));
  form.SetCaption(_("Exif analize: ") + main.QzDirTree211->SelectedPath());
  form.PageControl1->SetActivePage(page);
  if (!form.Visible()) {
    form.ZqButton1->SetEnabled(true);
    form.ZqButton2->SetEnabled(false);
    form.ZqButton3->SetEnabled(false);
  }
}

}  // namespace

void TForm1::Checklenslengthusage1Click(TObject* /*Sender*/) {
  if (!FormAnalize) return;
  PrepareShotgraph(*this, FormAnalize->TabSheet1);
  FormAnalize->Show();
  FormAnalize->PageControl1Change(this);
}

void TForm1::Editequivalentlist1Click(TObject* /*Sender*/) {
  if (!FormAnalize) return;
  PrepareShotgraph(*this, FormAnalize->TabSheet7);
  if (!FormAnalize->Memo1->Enabled()) FormAnalize->ZqButton1Click(this);
  FormAnalize->Show();
  FormAnalize->PageControl1Change(this);
}

// ===========================================================================
// Copy windows
// ===========================================================================
void TForm1::Compare1Click(TObject* /*Sender*/) {
  FillWorkFileList(false);
  // Messages run while each window opens: the files are taken as they are now.
  const std::vector<std::string> files = FWorkFiles->ToVector();
  FWorkFiles->Clear();
  for (size_t n = 0; n < files.size() && !StopRequested && !Application->Terminated(); ++n) {
    for (int i = 0; i < ListBox1->Count(); ++i) {
      if (ListEntryPath(i) != files[n]) continue;
      ListBox1->SetItemIndex(i);
      break;
    }
    OpenThePicture(files[n]);
    CreateACompareWindow(int(n));
  }
}

void TForm1::CreateACompareWindow(int /*Index*/) {
  if (FCurrentFile.empty()) return;
  auto* window = new TImageCopyForm(this);
  window->FFreeOnClose = true;
  window->Label1->SetCaption(ExifLabelFront->Caption());
  const TPoint origin = ScrollBox1->ClientOrigin();
  window->SetLeft(origin.X + Random(100));
  window->SetTop(origin.Y + Random(100));
  window->ScrollBox1->HorzScrollBar()->SetStyle(ScrollBox1->HorzScrollBar()->Style());
  window->ScrollBox1->VertScrollBar()->SetStyle(ScrollBox1->VertScrollBar()->Style());
  int loadedWidth = 0, loadedHeight = 0;
  if (FAnimatedGif) {
    // The window gets a copy of the animation: the main window frees its own with the
    // next picture.
    window->Image1->Picture()->Assign(Image1->Picture());
    window->SetAutoSize(true);
  } else if (TGraphic* loaded = FSourcePicture->Graphic()) {
    window->Image1->Picture()->Bitmap()->Assign(loaded);
    loadedWidth = loaded->Width();
    loadedHeight = loaded->Height();
    if (loadedWidth < window->ClientWidth() && loadedHeight < window->ClientHeight()) window->SetAutoSize(true);
  }
  window->SetCaption(FCurrentFile);
  // A picture loaded at a reduced JPEG scale can be loaded at its real size.
  const bool reduced = (UpperCase(ExtractFileExt(FCurrentFile)) == ".JPG" && loadedHeight < FImageHeight) ||
                       loadedWidth < FImageWidth;
  window->ToolButton22->SetEnabled(reduced && !FAnimatedGif);
  window->Realsize1->SetEnabled(reduced && !FAnimatedGif);
  window->AlignToolBar->SetVisible(FAlignMenu);
  window->Showtoolbar->SetChecked(FAlignMenu);
  window->Show();
  Application->ProcessMessages();
  // The user may have closed (and so freed) the window meanwhile.
  for (int i = 0; i < ComponentCount(); ++i) {
    if (Components(i) != window) continue;
    if (window->Realsize1->Enabled()) window->ToolButton22Click(window);
    break;
  }
}

// ===========================================================================
// Hand-offs to the scanner, help and the closing
// ===========================================================================
void TForm1::ZqSpeedButton5Click(TObject* /*Sender*/) {
  if (FPreviousFolder != QzDirTree211->SelectedPath() && FolderExists(FPreviousFolder) && QzDirTree211->Visible())
    QzDirTree211->OpenPath(FPreviousFolder);
}

void TForm1::HelpforStandAloneversions1Click(TObject* /*Sender*/) { ShowHelpContext(110); }

void TForm1::Donate1Click(TObject* /*Sender*/) {
  // Kivo2 has no donation page to open.
  ShowMessage(_("Thank you, your support is very welcome.") + "\r" + _("Kivo2 takes no donations; there is no donation page to open."));
}

void TForm1::FormCloseQuery(TObject* /*Sender*/, bool& CanClose) {
  CanClose = true;
  // Leaving full screen is all a close request does there.
  if (!FUsbMode || FFullScreen || !ShowProgressForm) return;
  // The note stays up while the settings are written into the ini file beside the program.
  ShowProgressForm->ShowText->SetCaption(_("Don't remove the card/drive, Kivo2 is closing down........."));
  ShowProgressForm->Showtext2->SetCaption(_("Updating ini file, this can take a few seconds..................."));
  ShowProgressForm->ProgressBar1->SetVisible(false);
  HourGlassCursor();
  Application->ProcessMessages();
  ShowProgressForm->Show();
  ShowProgressForm->Repaint();
}

void TForm1::ShowTheHistogram() {
  if (!HistogramForm) return;
  TBitmap shown;
  ShownPictureBitmap(shown);
  shown.SetPixelFormat(pf24bit);
  THistogram histogram;
  GetHistogram(shown, 0, histogram);
  DrawHistogramChart(0, histogram, *HistogramForm->Image1->Canvas());
  HistogramForm->Image1->Invalidate();
  if (HistogramForm->Visible()) return;
  // It comes up in sight: below the magnifier (or else left of it) when that stands where
  // it would, since the magnifier keeps itself in front. The keyboard stays where it is.
  if (UnitZoomFloat && UnitZoomFloat->Visible()) {
    const TSize frame = UnitZoomFloat->FrameExtra();
    const TRect m = Bounds(UnitZoomFloat->Left(), UnitZoomFloat->Top(), UnitZoomFloat->Width() + frame.cx,
                           UnitZoomFloat->Height() + frame.cy);
    const TRect h = HistogramForm->BoundsRect();
    if (h.Left < m.Right && m.Left < h.Right && h.Top < m.Bottom && m.Top < h.Bottom) {
      if (m.Bottom + h.Height() <= Screen->WorkAreaRect().Bottom)
        HistogramForm->SetTop(m.Bottom);
      else
        HistogramForm->SetLeft(m.Left - h.Width());
    }
  }
  HistogramForm->ShowNoActivate();
}

void TForm1::HistogramShortCut(TObject* Sender, uint16_t& Key, TShiftState Shift) {
  if (Key == 0 || ShortCut(Key, Shift) != Histogram2->ShortCut()) return;
  Key = 0;
  Histogram2Click(Sender);
}

void TForm1::Histogram2Click(TObject* /*Sender*/) {
  if (!HistogramForm) return;
  if (HistogramForm->Visible())
    HistogramForm->Close();
  else
    ShowTheHistogram();
  Histogram1->SetChecked(HistogramForm->Visible());
  Histogram2->SetChecked(HistogramForm->Visible());
}

void TForm1::Zoom1Click(TObject* /*Sender*/) {
  if (!UnitZoomFloat) return;
  if (UnitZoomFloat->Visible()) {
    UnitZoomFloat->Close();
    return;
  }
  UnitZoomFloat->Timer1->SetInterval(25);
  UnitZoomFloat->Timer2->SetInterval(1000);
  UnitZoomFloat->Timer1->SetEnabled(true);
  UnitZoomFloat->Timer2->SetEnabled(true);
  UnitZoomFloat->SetDoubleBuffered(true);
  UnitZoomFloat->Show();
}

void TForm1::Print1Click(TObject* /*Sender*/) {
  if (!FCurrentFile.empty() && !FileExists(FCurrentFile)) {
    ShowMessage(_("No file selected!"));
    return;
  }
  PrintForm->ShowModal();
}

std::vector<std::string> TForm1::SelectedFiles() const {
  std::vector<std::string> files;
  const std::string folder = IncludeTrailingPathDelimiter(FLastPath);
  for (int i = 0; i < ListBox1->Count(); ++i) {
    const bool selected = ListBox1->MultiSelect() ? ListBox1->Selected(i) : i == ListBox1->ItemIndex();
    if (!selected) continue;
    const std::string entry = ListBox1->Items()->Strings(i);
    files.push_back(IsFullPath(entry) ? entry : folder + entry);
  }
  return files;
}

void TForm1::Compare2Click(TObject* /*Sender*/) {
  if (UnitZoomFloat && UnitZoomFloat->Visible()) UnitZoomFloat->Close();
  const std::vector<std::string> files = SelectedFiles();
  if (files.size() > 4) {
    ShowMessage(_("Too many images selected, select 2 to 4 images to compare."));
    return;
  }
  if (files.size() < 2) {
    ShowMessage(_("Need at least 2 selected images"));
    return;
  }
  FormCompare->FCompareList->Clear();
  FormCompare->FPicturesLoaded = false;
  for (const std::string& file : files) {
    // Extensions in either case; ".JPEG" is a JPEG file as much as ".JPG".
    const std::string ext = UpperCase(ExtractFileExt(file));
    if (ext != ".JPG" && ext != ".JPEG" && ext != ".THM" && ext != ".JPE") {
      ShowMessage(_("For now the comparetool accepts only JPG images, select JPG files only."));
      return;
    }
    FormCompare->FCompareList->Add(file);
  }
  FormCompare->ShowModal();
}

bool TForm1::DeleteOneImage(const std::string& FileName) {
  // The entry is the one of this very file (a compare or copy window may show a file of
  // another folder whose bare name the list holds too).
  int index = -1;
  for (int i = 0; i < ListBox1->Count() && index < 0; ++i)
    if (ListEntryPath(i) == FileName) index = i;
  ListboxMultiSelectOff();
  if (index >= 0) {
    // The list's delete command asks and deletes in its own way.
    ListBox1->SetItemIndex(index);
    P_DeletefileClick(this);
  } else if (TranslatedMessageDialog(Format(_n("Move %d file to the Trash?", "Move %d files to the Trash?", 1), {1}),
                                     mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0) == mrYes) {
    // The lists that name the file lose it in the same step.
    FNamesBefore->Clear();
    FNamesAfter->Clear();
    FNamesBefore->Add(FileName);
    FNamesAfter->Add(FileName);
    if (BeginListRenames(true)) {
      if (RecycleFile(FileName)) FListRenames->Done(FileName);
      CheckForRenamedFiles(true);
    }
  }
  Application->ProcessMessages();
  return !FileExists(FileName);
}

