#include "tools/UnitDragDrop.h"

#include "controls/ZqSpeedButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"

TDragForm* DragForm = nullptr;

TDragForm::TDragForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("DragForm");
  SetCaption("");
  SetFormStyle(fsStayOnTop);
  SetClientWidth(520);
  SetClientHeight(420);

  Panel4 = NewAligned<TPanel>(this, this, "Panel4", alBottom, 32);
  ZqSpeedButton3 = NewControl<TZqSpeedButton>(this, Panel4, "ZqSpeedButton3", "Close", 4, 4, 96, 24);
  Zq_Save = NewControl<TZqSpeedButton>(this, Panel4, "Zq_Save", "Save", 104, 4, 96, 24);
  Zq_Save->SetEnabled(false);
  ListBox1 = NewAligned<TListBox>(this, this, "ListBox1", alClient);
  ListBox1->SetMultiSelect(true);

  ZqSpeedButton3->OnClick = [this](TObject* Sender) { ZqSpeedButton3Click(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TDragForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TDragForm::ZqSpeedButton3Click(TObject* /*Sender*/) { Close(); }
