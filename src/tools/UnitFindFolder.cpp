#include "tools/UnitFindFolder.h"

#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/i18n/GnuGetText.h"

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
  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "Find ", 104, 78, 100, 25);
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "Close", 212, 78, 100, 25);

  SetActiveControl(Edit1);
  ZqButton1->OnClick = [this](TObject* Sender) { ZqButton1Click(Sender); };
  ZqButton2->OnClick = [this](TObject* Sender) { ZqButton2Click(Sender); };
  Edit1->OnChange = [this](TObject* Sender) { FormShow(Sender); };
  Edit1->OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { Edit1KeyDown(Sender, Key, Shift); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormFolderFind::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TFormFolderFind::FormShow(TObject* /*Sender*/) { ZqButton1->SetCaption(_("Start")); }

void TFormFolderFind::ZqButton1Click(TObject* /*Sender*/) {
  FFolderName = Edit1->Text();
  SetModalResult(mrOk);
  if (!Modal()) Close();
}

void TFormFolderFind::ZqButton2Click(TObject* /*Sender*/) {
  FFolderName.clear();
  SetModalResult(mrCancel);
  if (!Modal()) Close();
}

void TFormFolderFind::Edit1KeyDown(TObject* Sender, uint16_t& Key, TShiftState /*Shift*/) {
  if (Key != VK_RETURN) return;
  Key = 0;
  ZqButton1Click(Sender);
}
