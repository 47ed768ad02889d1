// The main window's side of the EXIF information window: opening and closing it,
// filling it for the shown picture, emptying it, and the EXIF overlay's text.
#include "controls/EventScrollbox.h"
#include "core/Unit1.h"
#include "tools/ExifInfoUnit2.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"

std::string TForm1::ExifOverlayText(const std::string& FileName) {
  if (FileName.empty() || !ExifInfoForm) return std::string();
  std::string text;
  ExifInfoForm->GetExifInfStr(FileName, text);
  // The summary's lines end in a carriage return; a label breaks lines at line feeds.
  for (char& c : text)
    if (c == '\r') c = '\n';
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

namespace {

// Selects a page of the EXIF window, places the window at the picture area's top-left
// corner and shows or hides it; True when it is now shown.
bool ToggleExifWindow(TForm1& form, int page) {
  TExifInfoForm& window = *ExifInfoForm;
  window.PageControl1->SetActivePageIndex(page);
  const TPoint corner = form.ScrollBox1->ClientToScreen(TPoint{0, 0});
  window.SetBounds(corner.X, corner.Y, window.Width(), window.Height());
  if (window.Visible()) {
    window.Close();
    return false;
  }
  window.Show();
  return true;
}

}  // namespace

void TForm1::Imageinfo1Click(TObject* /*Sender*/) {
  if (!ExifInfoForm) return;
  const bool shown = ToggleExifWindow(*this, 0);
  if (shown) ExifInfoForm->ShowExifInf(FCurrentFile);
  Imageinfo1->SetChecked(shown);
  Exifinfo1->SetChecked(shown);
}

void TForm1::M_Exif_infoClick(TObject* /*Sender*/) {
  if (!ExifInfoForm) return;
  if (ToggleExifWindow(*this, 1)) ExifInfoForm->ShowExifInf(FCurrentFile);
}

void TForm1::ShowExifWindowFile(const std::string& FileName) {
  if (ExifInfoForm) ExifInfoForm->ShowExifInf(FileName);
}

void TForm1::ClearExifWindow() {
  if (ExifInfoForm) ExifInfoForm->Memo1->Lines()->Clear();
}
