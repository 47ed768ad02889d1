#include "tools/UnitHistogram.h"

#include <algorithm>

#include "controls/ZqSpeedButton.h"
#include "core/FormLayout.h"
#include "core/UnitFilterselect.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"

THistogramForm* HistogramForm = nullptr;

THistogramForm::THistogramForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("HistogramForm");
  SetCaption("Histogram");
  SetBorderStyle(bsNone);
  SetFormStyle(fsStayOnTop);
  SetColor(clSkyBlue);
  SetAlphaBlendValue(150);
  SetClientWidth(260);
  SetClientHeight(144);

  Panel1 = NewControl<TPanel>(this, this, "Panel1", 0, 0, 260, 144);
  Panel1->SetBevelOuter(bvLowered);
  Panel1->SetParentColor(true);
  Image1 = NewControl<TImage>(this, Panel1, "Image1", 2, 2, 256, 140);
  Image1->SetCursor(crHandPoint);
  SetHintText(Image1, "drag to move histogram");
  ZqSpeedButton1 = NewControl<TZqSpeedButton>(this, Panel1, "ZqSpeedButton1", "T", 206, 4, 24, 18);
  SetHintText(ZqSpeedButton1, "Transparent on/off");
  ZqSpeedButton2 = NewControl<TZqSpeedButton>(this, Panel1, "ZqSpeedButton2", "X", 232, 4, 24, 18);
  SetHintText(ZqSpeedButton2, "Close");

  Image1->OnClick = [this](TObject* Sender) { Image1Click(Sender); };
  Image1->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    Image1MouseDown(Sender, Button, Shift, X, Y);
  };
  ZqSpeedButton1->OnClick = [this](TObject* Sender) { ZqSpeedButton1Click(Sender); };
  ZqSpeedButton2->OnClick = [this](TObject* Sender) { ZqSpeedButton2Click(Sender); };
  SetKeyPreview(true);
  OnKeyDown = [](TObject* Sender, uint16_t& Key, TShiftState Shift) {
    if (Form1) Form1->HistogramShortCut(Sender, Key, Shift);
  };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void THistogramForm::ClearHistogram(TCanvas& canvas) {
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(Color());
  canvas.FillRect(canvas.ClipRect());
}

void THistogramForm::Histogram(const TBitmap& bitmap, std::array<int, 256>& H) {
  H.fill(0);
  const int width = bitmap.Width();
  for (int row = 0; row < bitmap.Height(); ++row) {
    const uint8_t* line = bitmap.ScanLine(row);
    for (int col = 0; col < width; ++col) ++H[line[col]];
  }
}

void THistogramForm::Histogram100(std::array<int, 256>& H) {
  const int largest = *std::max_element(H.begin(), H.end());
  if (largest < 100) return;
  for (int& count : H) count = int(int64_t(count) * 100 / largest);
}

void THistogramForm::DrawHistogram(const std::array<int, 256>& H) {
  Image1->SetWidth(256);
  Image1->SetHeight(125);
  TBitmap chart;
  chart.SetPixelFormat(pf24bit);
  chart.SetSize(256, 125);
  TCanvas& canvas = chart.Canvas();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(TColor(0xC0C0C0));
  canvas.FillRect(Rect(0, 0, chart.Width() - 1, chart.Height() - 1));
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetColor(clBlack);
  canvas.Pen().SetWidth(2);
  canvas.MoveTo(0, chart.Height() - 1);
  for (int i = 0; i < 256; ++i) canvas.LineTo(i, 125 - H[size_t(i)]);
  Image1->Picture()->SetGraphic(&chart);
}

void THistogramForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void THistogramForm::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  if (!Form1) return;
  if (Form1->Histogram1) Form1->Histogram1->SetChecked(false);
  if (Form1->Histogram2) Form1->Histogram2->SetChecked(false);
}

void THistogramForm::Image1Click(TObject* /*Sender*/) { SetAlphaBlend(!AlphaBlend()); }

void THistogramForm::ZqSpeedButton1Click(TObject* Sender) { Image1Click(Sender); }

void THistogramForm::Image1MouseDown(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/, int /*X*/,
                                     int /*Y*/) {
  DragPaletteWindow(this, Button);
}

void THistogramForm::ZqSpeedButton2Click(TObject* /*Sender*/) { Close(); }
