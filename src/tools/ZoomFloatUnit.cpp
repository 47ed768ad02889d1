#include "tools/ZoomFloatUnit.h"

#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"

TUnitZoomFloat* UnitZoomFloat = nullptr;

TUnitZoomFloat::TUnitZoomFloat(TComponent* AOwner) : TForm(AOwner) {
  SetName("UnitZoomFloat");
  SetCaption("Pixel magnifier 200%");
  SetBorderStyle(bsSizeToolWin);
  SetFormStyle(fsStayOnTop);
  SetColor(clMedGray);
  SetClientWidth(200);
  SetClientHeight(200);

  Timer1 = new TTimer(this);
  Timer1->SetName("Timer1");
  Timer1->SetEnabled(false);
  Timer2 = new TTimer(this);
  Timer2->SetName("Timer2");
  Timer2->SetEnabled(false);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TUnitZoomFloat::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }
