#include "tools/SortUnit.h"

#include "controls/ZqSpeedButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"

TSortForm* SortForm = nullptr;

TSortForm::TSortForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("SortForm");
  SetCaption("Sort tool");
  SetClientWidth(720);
  SetClientHeight(440);

  Panel1 = NewAligned<TPanel>(this, this, "Panel1", alTop, 28);
  ZqSpeedButton1 = NewControl<TZqSpeedButton>(this, Panel1, "ZqSpeedButton1", "Close", 2, 2, 100, 24);

  ZqSpeedButton1->OnClick = [this](TObject* Sender) { ZqSpeedButton1Click(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TSortForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TSortForm::ZqSpeedButton1Click(TObject* /*Sender*/) { Close(); }
