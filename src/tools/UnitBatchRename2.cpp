#include "tools/UnitBatchRename2.h"

#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"

TBatchRenameForm* BatchRenameForm = nullptr;

TBatchRenameForm::TBatchRenameForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("BatchRenameForm");
  SetCaption("Replace/Add");
  SetBorderStyle(bsDialog);
  SetPosition(poMainFormCenter);
  SetClientWidth(360);
  SetClientHeight(200);

  PageControl1 = NewControl<TPageControl>(this, this, "PageControl1", 8, 8, 344, 148);
  TabSheet1 = NewControl<TTabSheet>(this, PageControl1, "TabSheet1", "Replace string", 0, 0, 0, 0);
  TabSheet2 = NewControl<TTabSheet>(this, PageControl1, "TabSheet2", "Add string", 0, 0, 0, 0);
  TabSheet3 = NewControl<TTabSheet>(this, PageControl1, "TabSheet3", "Change case", 0, 0, 0, 0);
  PageControl1->SetActivePage(TabSheet1);

  NewControl<TLabel>(this, TabSheet1, "Label1", "Text to find", 8, 8, 150, 15);
  Edit1 = NewControl<TEdit>(this, TabSheet1, "Edit1", 8, 26, 150, 21);
  NewControl<TLabel>(this, TabSheet1, "Label2", "Replace with", 168, 8, 150, 15);
  Edit2 = NewControl<TEdit>(this, TabSheet1, "Edit2", 168, 26, 150, 21);
  ChB_Case = NewCheckBox(this, TabSheet1, "ChB_Case", "Case sensitive", false, 8, 56, 200);

  PrefixEdit = NewControl<TEdit>(this, TabSheet2, "PrefixEdit", 8, 8, 200, 21);
  SetHintText(PrefixEdit, " Check result at the example below");
  ChB_Suffix = NewCheckBox(this, TabSheet2, "ChB_Suffix", "Suffix", true, 216, 10, 100);
  SetHintText(ChB_Suffix, "text behind the name");

  CaseGroup = NewControl<TRadioGroup>(this, TabSheet3, "CaseGroup", "", 8, 8, 200, 70);
  SetItems(CaseGroup->Items(), {"UPPER CASE", "lower case"});
  CaseGroup->SetItemIndex(0);

  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "Start", 144, 166, 100, 25);
  ZqButton1->SetModalResult(mrOk);
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "Cancel", 252, 166, 100, 25);
  ZqButton2->SetModalResult(mrCancel);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TBatchRenameForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }
