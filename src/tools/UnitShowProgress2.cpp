#include "tools/UnitShowProgress2.h"

#include "core/FormLayout.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"

TShowProgressForm* ShowProgressForm = nullptr;

TShowProgressForm::TShowProgressForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("ShowProgressForm");
  SetCaption("");
  SetBorderStyle(bsNone);
  SetFormStyle(fsStayOnTop);
  SetPosition(poMainFormCenter);
  SetClientWidth(360);
  SetClientHeight(72);

  Animate1 = NewControl<TProgressBar>(this, this, "Animate1", 8, 10, 40, 12);
  Animate1->SetMax(0);
  ShowText = NewControl<TLabel>(this, this, "ShowText", "", 56, 8, 296, 15);
  Showtext2 = NewControl<TLabel>(this, this, "Showtext2", "", 56, 28, 296, 15);
  ProgressBar1 = NewAligned<TProgressBar>(this, this, "ProgressBar1", alBottom, 16);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TShowProgressForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }
