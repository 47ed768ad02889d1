#include "tools/PrintUnit.h"

#include <climits>
#include <cmath>

#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Printers.h"
#include "platform/gui/Shapes.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Math.h"

TPrintForm* PrintForm = nullptr;

namespace {

TRect FitInto(int boxWidth, int width, int boxHeight, int height) {
  TRect r = Rect(0, 0, 0, 0);
  bool error = false;
  CalcFitRect(boxWidth, width, boxHeight, height, error, r);
  return error ? Rect(0, 0, 0, 0) : r;
}

}  // namespace

TPrintForm::TPrintForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("PrintForm");
  SetCaption("Print preview");
  SetFormStyle(fsStayOnTop);
  SetClientWidth(760);
  SetClientHeight(560);

  Panel2 = NewAligned<TPanel>(this, this, "Panel2", alTop, 44);
  ZqClose = NewControl<TZqSpeedButton>(this, Panel2, "ZqClose", "Close", 4, 10, 80, 24);
  ZqPrint = NewControl<TZqSpeedButton>(this, Panel2, "ZqPrint", "Print", 88, 10, 80, 24);
  ZqPrinterSetup = NewControl<TZqSpeedButton>(this, Panel2, "ZqPrinterSetup", "Setup", 172, 10, 80, 24);
  SetHintText(ZqPrinterSetup, "Printer setup");
  ZqSpeedButton1 = NewControl<TZqSpeedButton>(this, Panel2, "ZqSpeedButton1", "Custom", 256, 10, 80, 24);
  SetHintText(ZqSpeedButton1, "Custom settings");
  ZqSpeedButton1->SetGroupIndex(1);
  ZqSpeedButton1->SetAllowAllUp(true);
  Centered = NewCheckBox(this, Panel2, "Centered", "Centered", true, 348, 13, 100);
  Label1 = NewControl<TLabel>(this, Panel2, "Label1", "Adjust size", 460, 2, 200, 15);
  TrackBar1 = NewControl<TTrackBar>(this, Panel2, "TrackBar1", 456, 16, 240, 26);
  TrackBar1->SetMin(1);
  TrackBar1->SetMax(100);
  TrackBar1->SetPosition(100);
  TrackBar1->SetFrequency(10);

  StatusBar1 = NewAligned<TStatusBar>(this, this, "StatusBar1", alBottom, 20);
  StatusBar1->SetSimplePanel(true);

  Panel1 = NewAligned<TPanel>(this, this, "Panel1", alRight, 270);
  Panel1->SetCaption("");
  Panel1->SetVisible(false);
  NewControl<TLabel>(this, Panel1, "Label2", "Info:", 8, 6, 200, 15);
  int y = 24;
  // Each text may take two lines (the sizes are long in cm and in Dutch).
  auto info = [&](const char* name) {
    auto* label = NewControl<TLabel>(this, Panel1, name, "", 8, y, 254, 30);
    label->SetAutoSize(false);
    label->SetWordWrap(true);
    y += 32;
    return label;
  };
  Label7 = info("Label7");
  Label3 = info("Label3");
  Label5 = info("Label5");
  Label4 = info("Label4");
  Label6 = info("Label6");
  Units = NewControl<TRadioGroup>(this, Panel1, "Units", "Units:", 8, 190, 254, 44);
  SetItems(Units->Items(), {"inch", "cm"});
  Units->SetColumns(2);
  Units->SetItemIndex(0);
  NewControl<TLabel>(this, Panel1, "Label8", "Set printable area:", 8, 248, 220, 15);
  ChB_UseCustomSize = NewCheckBox(this, Panel1, "ChB_UseCustomSize", "Enable ", false, 8, 266, 220);
  SetHintText(ChB_UseCustomSize, "Enable this to create equal sized images");
  NewControl<TLabel>(this, Panel1, "Label9", "Horizontal", 8, 294, 100, 15);
  Edit1 = NewControl<TEdit>(this, Panel1, "Edit1", "10", 110, 290, 80, 22);
  NewControl<TLabel>(this, Panel1, "Label10", "Vertical", 8, 322, 100, 15);
  Edit2 = NewControl<TEdit>(this, Panel1, "Edit2", "10", 110, 318, 80, 22);
  ChB_ResamplePrint = NewCheckBox(this, Panel1, "ChB_ResamplePrint", "Resample", false, 8, 348, 220);
  ChB_ResamplePrint->SetVisible(false);

  ScrollBox1 = NewAligned<TScrollBox>(this, this, "ScrollBox1", alClient);
  ScrollBox1->SetColor(clBlack);
  papier = NewControl<TPanel>(this, ScrollBox1, "papier", 0, 0, 100, 140);
  papier->SetColor(clWhite);
  papier->SetBevelOuter(bvNone);
  papier->SetCaption("");
  papier->SetVisible(false);
  Shape1 = NewControl<TShape>(this, papier, "Shape1", 0, 0, 100, 140);
  Shape1->Pen().SetColor(clAqua);
  Shape1->Pen().SetStyle(psDot);
  Shape1->Brush().SetStyle(bsClear);
  PhotoScrn = NewControl<TImage>(this, papier, "PhotoScrn", 0, 0, 50, 50);
  PhotoScrn->SetStretch(true);

  PrinterSetupDialog1 = new TPrinterSetupDialog(this);
  PrinterSetupDialog1->SetName("PrinterSetupDialog1");
  SavePdfDialog = new TSaveDialog(this);
  SavePdfDialog->SetName("SavePdfDialog");
  SavePdfDialog->SetFilter("PDF (*.pdf)|*.pdf");
  SavePdfDialog->SetDefaultExt("pdf");
  SavePdfDialog->SetOptions(TOpenOptions{ofOverwritePrompt, ofHideReadOnly, ofEnableSizing});

  ZqClose->OnClick = [this](TObject*) { SetModalResult(mrCancel); };
  ZqPrint->OnClick = [this](TObject* Sender) { ZqPrintClick(Sender); };
  ZqPrinterSetup->OnClick = [this](TObject* Sender) { ZqPrinterSetupClick(Sender); };
  ZqSpeedButton1->OnClick = [this](TObject* Sender) { ZqSpeedButton1Click(Sender); };
  TrackBar1->OnChange = [this](TObject* Sender) { TrackBar1Change(Sender); };
  Centered->OnClick = [this](TObject* Sender) { CenteredClick(Sender); };
  ChB_UseCustomSize->OnClick = [this](TObject* Sender) { ChB_UseCustomSizeClick(Sender); };
  Units->OnClick = [this](TObject* Sender) { UnitsClick(Sender); };
  Edit1->OnExit = [this](TObject* Sender) { Edit1Exit(Sender); };
  Edit2->OnExit = [this](TObject* Sender) { Edit2Exit(Sender); };
  Edit1->OnKeyPress = [this](TObject* Sender, char& Key) { editKeyPress(Sender, Key); };
  Edit2->OnKeyPress = [this](TObject* Sender, char& Key) { editKeyPress(Sender, Key); };
  OnActivate = [this](TObject* Sender) { FormActivate(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnResize = [this](TObject* Sender) { FormResize(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

TPrintForm::~TPrintForm() = default;

void TPrintForm::FormCreate(TObject* /*Sender*/) {
  TranslateComponent(this);
  FPrintWidth = 1400;
  FPrintHeight = 1400;
}

// ===========================================================================
// Opening and closing
// ===========================================================================
void TPrintForm::FormActivate(TObject* /*Sender*/) {
  // Once per opening: the picture shown in the main window, at full size.
  if (loaded_) return;
  loaded_ = true;
  FScale = 100;
  FResetScale = true;
  FPrintPicture = std::make_unique<TPicture>();
  FSourceImage = std::make_unique<TPicture>();
  FPictureWidth = FPictureHeight = 0;
  const std::string file = Form1 ? Form1->FCurrentFile : std::string();
  // With no picture shown the preview shows the paper alone and nothing can be printed.
  if (!file.empty()) {
    try {
      FSourceImage->LoadFromFile(file);
    } catch (const Exception& e) {
      FSourceImage->SetGraphic(nullptr);
      ShowMessage(e.Message());
    }
  }
  if (TGraphic* graphic = FSourceImage->Graphic(); graphic && !graphic->Empty()) {
    if (auto* jpeg = dynamic_cast<TJPEGImage*>(graphic)) jpeg->SetScale(jsFullSize);
    FPictureWidth = graphic->Width();
    FPictureHeight = graphic->Height();
    if (!dynamic_cast<TBitmap*>(graphic)) {
      TBitmap bitmap;
      bitmap.SetPixelFormat(pf24bit);
      bitmap.SetSize(FPictureWidth, FPictureHeight);
      bitmap.Canvas().Draw(0, 0, *graphic);
      FSourceImage->SetGraphic(&bitmap);
    }
  }
  FPrintPicture->Assign(FSourceImage.get());
  PhotoScrn->Picture()->Assign(FPrintPicture.get());
  PhotoScrn->SetVisible(FPictureWidth > 0);
  ZqPrint->SetEnabled(FPictureWidth > 0);
  CheckWidthAndHeight();
  InitFoto();
  papier->SetVisible(true);
}

void TPrintForm::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  loaded_ = false;
  FPrintPicture.reset();
  FSourceImage.reset();
  PhotoScrn->Picture()->SetGraphic(nullptr);
  papier->SetVisible(false);
  // The custom size as the boxes give it (the settings store keeps it).
  Edit1Exit(Edit1);
  Edit2Exit(Edit2);
}

void TPrintForm::FormResize(TObject* /*Sender*/) {
  if (loaded_ && !FResetScale) InitFoto();
}

// ===========================================================================
// The custom size
// ===========================================================================
void TPrintForm::CheckWidthAndHeight() {
  TPrinter* printer = Printer();
  const int physW = printer->GetDeviceCaps(PHYSICALWIDTH), physH = printer->GetDeviceCaps(PHYSICALHEIGHT);
  const int offX = printer->GetDeviceCaps(PHYSICALOFFSETX), offY = printer->GetDeviceCaps(PHYSICALOFFSETY);
  const int right = physW - offX - printer->PageWidth(), bottom = physH - offY - printer->PageHeight();
  // Centred on the page, the picture must keep clear of the wider unprintable margin.
  if (FPrintWidth > 0 && FPrintWidth <= physW - 2 * Max(offX, right)) {
    FCustomOffsetX = (physW - FPrintWidth) / 2;
  } else {
    FPrintWidth = 0;
    FCustomOffsetX = 0;
  }
  if (FPrintHeight > 0 && FPrintHeight <= physH - 2 * Max(offY, bottom)) {
    FCustomOffsetY = (physH - FPrintHeight) / 2;
  } else {
    FPrintHeight = 0;
    FCustomOffsetY = 0;
  }
}

bool TPrintForm::customLength(TEdit* edit, int& pixels) {
  std::string text = UseLocaleDecimalSeparator(edit->Text());
  edit->SetText(text);
  std::string kept;
  for (char c : text)
    if ((c >= '0' && c <= '9') || c == DecimalSeparator()) kept += c;
  double value = 0;
  if (!TryStrToFloat(kept, value)) {
    sizeError(Format(_("'%s' is not a valid floating point value"), {edit->Text()}));
    return false;
  }
  const int dpi = Printer()->GetDeviceCaps(LOGPIXELSX);
  const double length = Units->ItemIndex() == 1 ? value * dpi / 2.54 : value * dpi;
  pixels = length < INT_MAX / 2 ? int(std::lround(length)) : INT_MAX / 2;
  return true;
}

void TPrintForm::sizeError(const std::string& text) {
  reportingSize_ = true;
  try {
    ShowMessage(text);
  } catch (...) {
    reportingSize_ = false;
    throw;
  }
  reportingSize_ = false;
}

void TPrintForm::Edit1Exit(TObject* /*Sender*/) {
  if (reportingSize_) return;
  int width = 0;
  if (!customLength(Edit1, width)) {
    ShowUnits();
    return;
  }
  TPrinter* printer = Printer();
  const int physW = printer->GetDeviceCaps(PHYSICALWIDTH), offX = printer->GetDeviceCaps(PHYSICALOFFSETX);
  const int right = physW - offX - printer->PageWidth();
  if (width <= physW - 2 * Max(offX, right)) {
    FPrintWidth = width;
    FCustomOffsetX = width > 0 ? (physW - width) / 2 : 0;
  } else {
    sizeError(_("Error, width too large!"));
    Edit1->SetText("0");
    FPrintWidth = 0;
    FCustomOffsetX = 0;
  }
  if (loaded_) InitFoto();
}

void TPrintForm::Edit2Exit(TObject* /*Sender*/) {
  if (reportingSize_) return;
  int height = 0;
  if (!customLength(Edit2, height)) {
    ShowUnits();
    return;
  }
  TPrinter* printer = Printer();
  const int physH = printer->GetDeviceCaps(PHYSICALHEIGHT), offY = printer->GetDeviceCaps(PHYSICALOFFSETY);
  const int bottom = physH - offY - printer->PageHeight();
  if (height <= physH - 2 * Max(offY, bottom)) {
    FPrintHeight = height;
    FCustomOffsetY = height > 0 ? (physH - height) / 2 : 0;
  } else {
    sizeError(_("Error, height too large"));
    Edit2->SetText("0");
    FPrintHeight = 0;
    FCustomOffsetY = 0;
  }
  if (loaded_) InitFoto();
}

void TPrintForm::editKeyPress(TObject* Sender, char& Key) {
  if (Key != '\r') return;
  Key = 0;
  if (Sender == Edit1)
    Edit1Exit(Sender);
  else
    Edit2Exit(Sender);
}

// ===========================================================================
// The preview
// ===========================================================================
void TPrintForm::InitFoto() {
  if (layingOut_) return;
  layingOut_ = true;
  Application->ProcessMessages();
  layingOut_ = false;
  if (!loaded_) return;
  TPrinter* printer = Printer();
  const int physW = printer->GetDeviceCaps(PHYSICALWIDTH), physH = printer->GetDeviceCaps(PHYSICALHEIGHT);
  const int offX = printer->GetDeviceCaps(PHYSICALOFFSETX), offY = printer->GetDeviceCaps(PHYSICALOFFSETY);
  const int dpiX = printer->GetDeviceCaps(LOGPIXELSX), dpiY = printer->GetDeviceCaps(LOGPIXELSY);
  if (physW <= 0 || physH <= 0 || dpiX <= 0 || dpiY <= 0) return;
  const bool custom = ChB_UseCustomSize->Checked();
  FMarginLeft = FMarginRight = 0;
  if (custom && FCustomOffsetX >= 1) {
    FMarginLeft = FMarginRight = FCustomOffsetX;
  } else {
    FMarginLeft = offX;
    FMarginRight = physW - offX - printer->PageWidth();
  }
  if (custom && FCustomOffsetY >= 1) {
    FMarginTop = FMarginBottom = FCustomOffsetY;
  } else {
    FMarginTop = offY;
    FMarginBottom = physH - offY - printer->PageHeight();
  }
  if (Centered->Checked()) {
    FMarginLeft = FMarginRight = Max(FMarginLeft, FMarginRight);
    FMarginTop = FMarginBottom = Max(FMarginTop, FMarginBottom);
  }
  FPrintableWidth = physW - FMarginLeft - FMarginRight;
  FPrintableHeight = physH - FMarginTop - FMarginBottom;

  // The paper fitted into the scroll box and centred in it.
  const TRect paper = FitInto(ScrollBox1->ClientWidth(), physW, ScrollBox1->ClientHeight(), physH);
  const int paperW = paper.Right, paperH = paper.Bottom;
  papier->SetBounds((ScrollBox1->ClientWidth() - paperW) / 2, (ScrollBox1->ClientHeight() - paperH) / 2, paperW,
                    paperH);
  FPreviewScaleY = RoundedPercent(paperH, physH);
  FPreviewScaleX = RoundedPercent(paperW, physW);
  Shape1->SetBounds(PercentOfValue(FMarginLeft, FPreviewScaleX), PercentOfValue(FMarginTop, FPreviewScaleY),
                    paperW - PercentOfValue(FMarginLeft + FMarginRight, FPreviewScaleX),
                    paperH - PercentOfValue(FMarginTop + FMarginBottom, FPreviewScaleY));

  // The picture's natural size on paper: 72 picture pixels to the inch.
  const int naturalW = int(std::lround(double(FPictureWidth) * dpiX / 72));
  const int naturalH = int(std::lround(double(FPictureHeight) * dpiY / 72));
  PhotoScrn->SetLeft(Shape1->Left());
  PhotoScrn->SetTop(Shape1->Top());
  if (FResetScale) {
    // A picture smaller than the printable area starts at its natural size: the scale is
    // the share of the side that fills more of the area (the height's share alone would
    // shrink a wide picture on tall paper).
    if (naturalH <= FPrintableHeight && naturalW <= FPrintableWidth && naturalH > 0)
      FScale = Max(1, Min(100, Max(RoundedPercent(naturalH, FPrintableHeight),
                                   RoundedPercent(naturalW, FPrintableWidth))));
    TrackBar1->SetPosition(FScale);
    FResetScale = false;
  }
  FPrintRect = FitInto(PercentOfValue(FPrintableWidth, FScale), naturalW, PercentOfValue(FPrintableHeight, FScale),
                       naturalH);
  const TRect shown = FitInto(PercentOfValue(Shape1->Width(), FScale), FPrintRect.Right,
                              PercentOfValue(Shape1->Height(), FScale), FPrintRect.Bottom);
  PhotoScrn->SetWidth(shown.Right);
  PhotoScrn->SetHeight(shown.Bottom);
  if (Centered->Checked()) {
    PhotoScrn->SetLeft((paperW - shown.Right) / 2);
    PhotoScrn->SetTop((paperH - shown.Bottom) / 2);
  }
  ShowUnits();
}

std::string TPrintForm::lengthText(int length, int dpi) const {
  const double inch = dpi > 0 ? double(length) / dpi : 0;
  if (Units->ItemIndex() == 1) return FormatFloat("#,##0.##", inch * 2.54) + " cm";
  return FormatFloat("#,##0.##", inch) + " inch";
}

void TPrintForm::ShowUnits() {
  TPrinter* printer = Printer();
  const int dpiX = printer->GetDeviceCaps(LOGPIXELSX), dpiY = printer->GetDeviceCaps(LOGPIXELSY);
  if (dpiX <= 0 || dpiY <= 0) return;
  const double perUnit = Units->ItemIndex() == 1 ? dpiX / 2.54 : dpiX;
  Edit1->SetText(FormatFloat("0.##", FPrintWidth / perUnit));
  Edit2->SetText(FormatFloat("0.##", FPrintHeight / perUnit));
  const std::string name = Form1 ? ExtractFileName(Form1->FCurrentFile) : std::string();
  StatusBar1->SetSimpleText(_(" Height: ") + lengthText(FPrintRect.Bottom, dpiY) + _(" - Width: ") +
                            lengthText(FPrintRect.Right, dpiX) + " - " + name);
  Label7->SetCaption(_("Paper size: ") + lengthText(printer->GetDeviceCaps(PHYSICALHEIGHT), dpiY) + " x " +
                     lengthText(printer->GetDeviceCaps(PHYSICALWIDTH), dpiX));
  Label3->SetCaption(_("Max. printable area: ") + lengthText(FPrintableHeight, dpiY) + " x " +
                     lengthText(FPrintableWidth, dpiX));
  Label4->SetCaption(_("Printer resolution: Vertical. ") + IntToStr(dpiY) + _(" DPI Horizontal. ") + IntToStr(dpiX) +
                     " DPI");
  Label5->SetCaption(_("Marges: top ") + lengthText(FMarginTop, dpiY) + _(" bottom ") +
                     lengthText(FMarginBottom, dpiY) + _(" left ") + lengthText(FMarginLeft, dpiY) + _(" right ") +
                     lengthText(FMarginRight, dpiY));
  Label6->SetCaption("Picture " + IntToStr(FPictureHeight) + " pixels x " + IntToStr(FPictureWidth) + " pixels");
}

// ===========================================================================
// Controls
// ===========================================================================
void TPrintForm::TrackBar1Change(TObject* /*Sender*/) {
  FScale = TrackBar1->Position();
  if (!FResetScale && loaded_) InitFoto();
}

void TPrintForm::CenteredClick(TObject* /*Sender*/) {
  if (loaded_) InitFoto();
}

void TPrintForm::ChB_UseCustomSizeClick(TObject* /*Sender*/) {
  if (loaded_) InitFoto();
}

void TPrintForm::UnitsClick(TObject* /*Sender*/) { ShowUnits(); }

void TPrintForm::ZqSpeedButton1Click(TObject* /*Sender*/) {
  Panel1->SetVisible(!Panel1->Visible());
  if (loaded_) InitFoto();
}

void TPrintForm::ZqPrinterSetupClick(TObject* /*Sender*/) {
  if (!PrinterSetupDialog1->Execute()) return;
  FResetScale = true;
  Edit1Exit(Edit1);
  Edit2Exit(Edit2);
  CheckWidthAndHeight();
  InitFoto();
}

// ===========================================================================
// Printing
// ===========================================================================
void TPrintForm::ZqPrintClick(TObject* /*Sender*/) {
  if (!FPrintPicture || FPictureWidth <= 0) return;
  TPrinter* printer = Printer();
  const bool savedExact = Form1->FExactRescale;
  Form1->FExactRescale = true;
  const int offX = printer->GetDeviceCaps(PHYSICALOFFSETX), offY = printer->GetDeviceCaps(PHYSICALOFFSETY);
  const int width = FPrintRect.Right, height = FPrintRect.Bottom;
  TRect dest = Rect(0, 0, width, height);
  // The printer's canvas starts at the top-left corner of the printable area.
  if (!Centered->Checked() && ChB_UseCustomSize->Checked()) {
    dest = Bounds(FMarginLeft - offX, FMarginTop - offY, width, height);
  } else if (Centered->Checked()) {
    const int dx = FMarginLeft != offX ? FMarginLeft - offX : 0;
    const int dy = FMarginTop != offY ? FMarginTop - offY : 0;
    dest = Bounds((FPrintableWidth - width) / 2 + dx, (FPrintableHeight - height) / 2 + dy, width, height);
  }
  if (TranslatedMessageDialog(_("Print picture now?"), mtConfirmation, {mbYes, mbNo}, 0) != mrYes) {
    Form1->FExactRescale = savedExact;
    return;
  }
  // Without a printer of the desktop the page goes into a PDF file.
  bool toFile = false;
  if (!TPrinter::PrintersSetUp()) {
    const std::string current = Form1->FCurrentFile;
    SavePdfDialog->SetFileName(ChangeFileExt(current.empty() ? std::string("picture") : current, ".pdf"));
    if (!SavePdfDialog->Execute()) {
      Form1->FExactRescale = savedExact;
      return;
    }
    printer->SetOutputFileName(SavePdfDialog->FileName());
    toFile = true;
  }
  TBitmap work;
  work.Assign(FSourceImage->Graphic());
  work.SetPixelFormat(pf24bit);
  const bool resample = ChB_ResamplePrint->Checked();
  try {
    if (resample) {
      Form1->HourGlassCursor();
      Form1->RescaleImage(&work, FPrintPicture->Bitmap(), height, width, false,
                          TForm1::kMitchellPaletteIndex);
      Form1->RestoreCursor();
    } else {
      FPrintPicture->Assign(&work);
    }
    printer->SetTitle(ExtractFileName(Form1->FCurrentFile));
    printer->BeginDoc();
    if (resample)
      printer->Canvas()->Draw(dest.Left, dest.Top, *FPrintPicture->Graphic());
    else
      printer->Canvas()->StretchDraw(dest, *FPrintPicture->Graphic());
    printer->EndDoc();
  } catch (const Exception& e) {
    printer->Abort();
    Form1->RestoreCursor();
    ShowMessage(e.Message());
  }
  if (toFile) printer->SetOutputFileName("");
  Form1->FExactRescale = savedExact;
}
