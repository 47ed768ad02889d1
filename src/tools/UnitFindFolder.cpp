#include "tools/UnitFindFolder.h"

#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"

TFormFolderFind* FormFolderFind = nullptr;

TFormFolderFind::TFormFolderFind(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormFolderFind");
  SetCaption("Find folder");
  SetBorderStyle(bsToolWindow);
  SetFormStyle(fsStayOnTop);
  SetPosition(poMainFormCenter);
  SetClientWidth(320);
  SetClientHeight(110);

  NewControl<TLabel>(this, this, "Label1", "Enter a folder name (or part of the name)", 8, 8, 304, 15);
  Edit1 = NewControl<TEdit>(this, this, "Edit1", "album", 8, 26, 304, 21);
  ChB_Root = NewCheckBox(this, this, "ChB_Root", "Start from rootfolder", true, 8, 54, 304);
  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "Start", 104, 78, 100, 25);
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "Close", 212, 78, 100, 25);
  ZqButton2->SetModalResult(mrCancel);

  SetActiveControl(Edit1);
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormFolderFind::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }
