#include "tools/PrintUnit.h"

#include "controls/ZqSpeedButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"

TPrintForm* PrintForm = nullptr;

TPrintForm::TPrintForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("PrintForm");
  SetCaption("Print preview");
  SetFormStyle(fsStayOnTop);
  SetClientWidth(600);
  SetClientHeight(480);

  Panel2 = NewAligned<TPanel>(this, this, "Panel2", alTop, 34);
  ZqClose = NewControl<TZqSpeedButton>(this, Panel2, "ZqClose", "Close", 4, 5, 80, 24);
  Centered = NewCheckBox(this, Panel2, "Centered", "Centered", true, 96, 9, 100);
  Panel1 = NewAligned<TPanel>(this, this, "Panel1", alTop, 64);
  Panel1->SetVisible(false);
  Units = NewControl<TRadioGroup>(this, Panel1, "Units", "Units:", 8, 4, 160, 56);
  SetItems(Units->Items(), {"inch", "cm"});
  Units->SetItemIndex(0);

  ZqClose->OnClick = [this](TObject* Sender) { ZqCloseClick(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TPrintForm::FormCreate(TObject* /*Sender*/) {
  TranslateComponent(this);
  FPrintWidth = 1400;
  FPrintHeight = 1400;
}

void TPrintForm::ZqCloseClick(TObject* /*Sender*/) { Close(); }
