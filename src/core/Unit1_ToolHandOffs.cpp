// The main window's hand-offs to the histogram, the pixel magnifier, the print window,
// the compare window and the Shotgraph window, and the services the tool windows call back.
#include <memory>

#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "tools/HistogramTools.h"
#include "tools/PrintUnit.h"
#include "tools/UnitAnalize.h"
#include "tools/UnitCompare.h"
#include "tools/UnitHistogram.h"
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
}

namespace {

// The Shotgraph window with the stored lens pair and the folder in its caption; a window
// already open keeps its list editor as the user left it.
void PrepareShotgraph(TForm1& main, TTabSheet* page) {
  TFormAnalize& form = *FormAnalize;
  form.Edit1->SetText(UseLocaleDecimalSeparator(main.FDigiFactor));
  form.Edit2->SetText(UseLocaleDecimalSeparator(main.FFilmFactor));
  form.SetCaption(_("Exif analyse: ") + main.QzDirTree211->SelectedPath());
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

void TForm1::ShowTheHistogram() {
  if (!HistogramForm) return;
  // The picture as it is shown: a copy of a bitmap, any other graphic drawn into a
  // 24-bit bitmap of the picture area's size.
  TBitmap shown;
  TGraphic* graphic = Image1->Picture()->Graphic();
  if (auto* bitmap = dynamic_cast<TBitmap*>(graphic)) {
    shown.Assign(bitmap);
  } else {
    shown.SetPixelFormat(pf24bit);
    shown.SetSize(Image1->Width(), Image1->Height());
    if (graphic && !graphic->Empty()) shown.Canvas().Draw(0, 0, *graphic);
  }
  shown.SetPixelFormat(pf24bit);
  THistogram histogram;
  GetHistogram(shown, 0, histogram);
  DrawHistogramChart(0, histogram, *HistogramForm->Image1->Canvas());
  HistogramForm->Image1->Invalidate();
  if (!HistogramForm->Visible()) HistogramForm->Show();
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
  const bool fullPaths = TreeView1->Visible();
  const int index = ListBox1->Items()->IndexOf(fullPaths ? FileName : ExtractFileName(FileName));
  ListBox1->SetMultiSelect(false);
  if (TranslatedMessageDialog(Format(_("Move %d file(s) to the Recycle Bin?"), {1}), mtConfirmation, {mbYes, mbNo},
                              0) == mrYes &&
      RecycleFile(FileName) && index >= 0 && index < ListBox1->Count()) {
    // The entry goes with its file; the picture shown is emptied when it was this one.
    ListBox1->Items()->Delete(index);
    if (FCurrentFile == FileName) EmptyAllImages();
  }
  Application->ProcessMessages();
  return !FileExists(FileName);
}

