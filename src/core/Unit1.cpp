#include "core/Unit1.h"

#include "platform/gui/ComponentTranslation.h"

TForm1* Form1 = nullptr;

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner) {
  SetName("Form1");
  SetBounds(0, 0, 960, 680);
  SetPosition(poScreenCenter);
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TForm1::FormCreate(TObject* /*Sender*/) {
  TranslateComponent(this);
  FAppName = "Kivo2";
  SetCaption("Kivo2");
}
