#include "tools/UnitQuickAdd.h"

#include "core/FormLayout.h"
#include "platform/gui/CheckLst.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"

TFormQuickAdd* FormQuickAdd = nullptr;

TFormQuickAdd::TFormQuickAdd(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormQuickAdd");
  SetCaption("QuickAdd");
  SetClientWidth(360);
  SetClientHeight(320);

  Panel1 = NewAligned<TPanel>(this, this, "Panel1", alTop, 81);
  Label1 = NewControl<TLabel>(this, Panel1, "Label1", "", 8, 8, 344, 65);
  Label1->SetWordWrap(true);
  CheckListBox1 = NewAligned<TCheckListBox>(this, this, "CheckListBox1", alClient);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormQuickAdd::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }
