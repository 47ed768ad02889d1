// Short handlers of the main window: the zoom presets, the picture to the clipboard, the
// EXIF overlay switches, and small handlers of bars, menus and splitters.
#include "controls/QzFileExplorer28.h"
#include "controls/EventScrollbox.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"

void TForm1::bindSmallHandlers() {
  auto click = [this](void (TForm1::*handler)(TObject*)) {
    return [this, handler](TObject* Sender) { (this->*handler)(Sender); };
  };
  const std::pair<TMenuItem*, int> presets[] = {{N101, 10},   {N331, 33},   {N501, 50},   {ZQTofit1, 100},
                                                {N1001, 100}, {N1501, 150}, {N2001, 200}, {N3001, 300},
                                                {N4001, 400}, {N5001, 500}};
  for (const auto& [item, percent] : presets)
    item->OnClick = [this, percent = percent](TObject*) { ZoomPreset(percent); };
  tofit1->OnClick = click(&TForm1::tofit1Click);
  for (TMenuItem* item : {Imagetoclipboard1, Imagetoclipboard2}) item->OnClick = click(&TForm1::Imagetoclipboard1Click);
  Exifoverlayonoff1->OnClick = click(&TForm1::Exifoverlayonoff1Click);
  ExifLabelFront->OnDblClick = click(&TForm1::ExifLabelFrontDblClick);
  M_JPGTRANPerfect->OnClick = click(&TForm1::M_JPGTRANPerfectClick);
  ZqShowAll->OnClick = click(&TForm1::ZqShowAllClick);
  ZqSpeedButton3->OnClick = click(&TForm1::ZqSpeedButton3Click);
  M_Filelistbar->OnClick = click(&TForm1::M_FilelistbarClick);
  Splitter1->OnMoved = click(&TForm1::Splitter1Moved);
  PopupEmail->OnPopup = click(&TForm1::PopupEmailPopup);
  File1->OnClick = click(&TForm1::PopupEmailPopup);
  PopupGetimage->OnPopup = click(&TForm1::PopupGetimagePopup);
  M_UseTumbCache->OnClick = click(&TForm1::M_UseTumbCacheClick);
}

void TForm1::ZoomPreset(int Percent) {
  FZoomPercent = Percent;
  ZoomPicture(FZoomPercent);
}

void TForm1::tofit1Click(TObject* /*Sender*/) {
  // The zoom is a percentage of the fitted picture (the picture of Image1 at 100 %), not
  // of its zoomed size: the largest whole percentage at which the whole picture lies in
  // the picture area (the scroll box has no border, so its size is the area's), rounded
  // down so that no scroll bar comes.
  const int width = Image1->Picture()->Width(), height = Image1->Picture()->Height();
  if (width <= 0 || height <= 0) return;
  const int64_t horizontal = int64_t(std::max(ScrollBox1->Width(), 0)) * 100 / width;
  const int64_t vertical = int64_t(std::max(ScrollBox1->Height(), 0)) * 100 / height;
  FZoomPercent = int(std::clamp<int64_t>(std::min(horizontal, vertical), 1, 100000));
  ZoomPicture(FZoomPercent);
}

void TForm1::ShownPictureBitmap(TBitmap& Bitmap) const {
  // A bitmap is copied as it is; any other graphic is drawn into a 24-bit bitmap of the
  // picture control's size.
  TGraphic* graphic = Image1->Picture()->Graphic();
  if (auto* bitmap = dynamic_cast<TBitmap*>(graphic)) {
    Bitmap.Assign(bitmap);
    return;
  }
  Bitmap.SetPixelFormat(pf24bit);
  Bitmap.SetSize(Image1->Width(), Image1->Height());
  if (graphic && !graphic->Empty()) Bitmap.Canvas().Draw(0, 0, *graphic);
}

void TForm1::Imagetoclipboard1Click(TObject* /*Sender*/) {
  TBitmap bitmap;
  ShownPictureBitmap(bitmap);
  Clipboard()->Assign(&bitmap);
}

void TForm1::Exifoverlayonoff1Click(TObject* Sender) {
  // The main menu's item takes the check mark and does its work (it redraws the overlay).
  Exifoverlay->SetChecked(Exifoverlayonoff1->Checked());
  if (Exifoverlay->OnClick)
    Exifoverlay->OnClick(Sender);
  else
    ShowExifLabel();
}

void TForm1::ExifLabelFrontDblClick(TObject* /*Sender*/) {
  ExifLabelBack->SetTransparent(!ExifLabelBack->Transparent());
}

void TForm1::M_JPGTRANPerfectClick(TObject* /*Sender*/) {
  if (M_JPGTRANPerfect->Checked() || M_Losslesbackup->Checked()) return;
  if (TranslatedMessageDialog(_("Backup for lossless is currently off, enable this option now?"), mtConfirmation,
                              TMsgDlgButtons{mbYes, mbNo}, 0) == mrYes)
    M_Losslesbackup->SetChecked(true);
}

void TForm1::ZqShowAllClick(TObject* /*Sender*/) {
  FLastPath.clear();
  Showallfiles->SetChecked(ZqShowAll->Down());
  Application->ProcessMessages();
  FillTheListboxWithFiles(QzDirTree211->SelectedPath());
}

void TForm1::ZqSpeedButton3Click(TObject* /*Sender*/) {
  PanelListOptions->SetVisible(false);
  M_Filelistbar->SetChecked(false);
}

void TForm1::M_FilelistbarClick(TObject* /*Sender*/) {
  if (FFullScreen || ZqSlideShow->Down()) return;
  PanelListOptions->SetVisible(!PanelListOptions->Visible());
}

void TForm1::Splitter1Moved(TObject* Sender) {
  Application->ProcessMessages();
  FormResize(Sender);
}

void TForm1::PopupEmailPopup(TObject* /*Sender*/) {
  const bool folders = !TreeView1->Visible();
  Compresscompleettree1->SetEnabled(folders);
  XPCopyCompressTree1->SetEnabled(folders);
}

void TForm1::PopupGetimagePopup(TObject* /*Sender*/) {
  const bool folders = !TreeView1->Visible();
  Importfrommemorycardorfolder1->SetEnabled(folders);
  Aquireimagetwainscannerebcam1->SetEnabled(folders);
}

void TForm1::M_UseTumbCacheClick(TObject* /*Sender*/) {
  CreateallthumbsforSelTree->SetEnabled(M_UseTumbCache->Checked());
}
