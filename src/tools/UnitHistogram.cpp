#include "tools/UnitHistogram.h"

#include "controls/ZqSpeedButton.h"
#include "core/FormLayout.h"
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
  SetClientWidth(260);
  SetClientHeight(144);

  Panel1 = NewControl<TPanel>(this, this, "Panel1", 0, 0, 260, 144);
  Panel1->SetBevelOuter(bvLowered);
  Panel1->SetParentColor(true);
  Image1 = NewControl<TImage>(this, Panel1, "Image1", 2, 2, 256, 140);
  Image1->SetCursor(crHandPoint);
  SetHintText(Image1, "drag to move histogram");
  ZqSpeedButton1 = NewControl<TZqSpeedButton>(this, Panel1, "ZqSpeedButton1", "T", 224, 4, 15, 15);
  SetHintText(ZqSpeedButton1, "Transparent on/off");
  ZqSpeedButton2 = NewControl<TZqSpeedButton>(this, Panel1, "ZqSpeedButton2", "X", 240, 4, 15, 15);
  SetHintText(ZqSpeedButton2, "Close");

  ZqSpeedButton2->OnClick = [this](TObject* Sender) { ZqSpeedButton2Click(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void THistogramForm::ClearHistogram(TCanvas& canvas) {
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(Color());
  canvas.FillRect(canvas.ClipRect());
}

void THistogramForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void THistogramForm::ZqSpeedButton2Click(TObject* /*Sender*/) { Close(); }
