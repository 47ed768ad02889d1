#include "tools/UnitThumbSettings.h"

#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"

TFormThumbsettings* FormThumbsettings = nullptr;

TFormThumbsettings::TFormThumbsettings(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormThumbsettings");
  SetCaption("Thumb settings");
  SetBorderStyle(bsNone);
  SetFormStyle(fsStayOnTop);
  SetColor(clInfoBk);
  SetClientWidth(220);
  SetClientHeight(40);

  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "Close", 112, 8, 100, 25);
  ZqButton1->SetModalResult(mrOk);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormThumbsettings::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }
