#include "tools/UnitFloatButtons.h"

#include "controls/ZqSpeedButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"

TFormFloatB* FormFloatB = nullptr;

TFormFloatB::TFormFloatB(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormFloatB");
  SetCaption("");
  SetBorderStyle(bsNone);
  SetFormStyle(fsStayOnTop);
  SetLeft(40);
  SetTop(40);
  SetClientWidth(64);
  SetClientHeight(28);

  ZqAutonext = NewControl<TZqSpeedButton>(this, this, "ZqAutonext", 2, 2, 28, 24);
  SetHintText(ZqAutonext, "Start/Pause");
  ZqAutonext->SetGroupIndex(1);
  ZqAutonext->SetAllowAllUp(true);
  ZqSpeedButton1 = NewControl<TZqSpeedButton>(this, this, "ZqSpeedButton1", 34, 2, 28, 24);
  SetHintText(ZqSpeedButton1, "Hide");

  ZqSpeedButton1->OnClick = [this](TObject* Sender) { ZqSpeedButton1Click(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormFloatB::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TFormFloatB::ZqSpeedButton1Click(TObject* /*Sender*/) { Close(); }
