#include "tools/UnitEditName.h"

#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"

TFormEditName* FormEditName = nullptr;

TFormEditName::TFormEditName(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormEditName");
  SetCaption("Rename");
  SetBorderStyle(bsDialog);
  SetFormStyle(fsStayOnTop);
  SetPosition(poMainFormCenter);
  SetClientWidth(400);
  SetClientHeight(118);

  NewControl<TLabel>(this, this, "Label1", "Enter new name", 8, 8, 300, 15);
  Edit1 = NewControl<TEdit>(this, this, "Edit1", 8, 26, 300, 21);
  Edit2 = NewControl<TEdit>(this, this, "Edit2", 312, 26, 80, 21);
  Edit2->SetReadOnly(true);
  SetHintText(Edit2, "Click once = uppercase - doubleclick = lowercase");
  Actionlabel = NewControl<TLabel>(this, this, "Actionlabel", "", 8, 54, 384, 15);
  Actionlabel->SetVisible(false);
  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "Rename", 184, 84, 100, 25);
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "Close", 292, 84, 100, 25);
  ZqButton2->SetModalResult(mrCancel);

  SetActiveControl(Edit1);
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormEditName::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }
