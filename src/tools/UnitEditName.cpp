#include "tools/UnitEditName.h"

#include "controls/ZqButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

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
  Actionlabel->Font()->SetColor(clRed);
  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "Rename", 184, 84, 100, 25);
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "Close", 292, 84, 100, 25);

  SetActiveControl(Edit1);
  ZqButton1->OnClick = [this](TObject* Sender) { ZqButton1Click(Sender); };
  ZqButton2->OnClick = [this](TObject* Sender) { ZqButton2Click(Sender); };
  Edit1->OnChange = [this](TObject* Sender) { Edit1Change(Sender); };
  Edit1->OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { Edit1KeyDown(Sender, Key, Shift); };
  Edit2->OnClick = [this](TObject* Sender) { Edit2Click(Sender); };
  Edit2->OnDblClick = [this](TObject* Sender) { Edit2DblClick(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormEditName::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TFormEditName::showAction(const std::string& text) {
  Actionlabel->SetCaption(text);
  Actionlabel->SetVisible(true);
}

void TFormEditName::ZqButton1Click(TObject* /*Sender*/) {
  if (Edit1->Text().empty()) return;
  FNewName = Edit1->Text();
  // A name typed with the extension loses it: the extension box adds it.
  if (Pos(LowerCase(FExtension), LowerCase(FNewName)) > 0) FNewName = ChangeFileExt(FNewName, "");
  FNewName += Edit2->Text();
  // The name stays a name: no folder part, no path characters, not "." or "..".
  if (!IsValidFileName(FNewName, true)) {
    showAction(_("/\\:*?\"<>| characters are not allow in file names"));
    return;
  }
  const std::string folder = ExtractFilePath(FOldPath);
  const std::string target = folder + FNewName;
  if (target == FOldPath) {
    SetModalResult(mrOk);
    return;
  }
  // Another entry of that name is never replaced; the file itself under a name that differs
  // only in case (a case-blind file system) may be renamed.
  if ((FileExists(target) || DirectoryExists(target)) && !SameFile(FOldPath, target)) {
    showAction(_("New name allready exists"));
    return;
  }
  if (TranslatedMessageDialog(_("Rename file to") + "\r" + target, mtConfirmation, {mbYes, mbNo}, 0) == mrNo) return;
  ClearReadOnly(FOldPath);
  if (!RenameFile(FOldPath, target)) {
    showAction(_("Could't rename the file"));
    return;
  }
  SetModalResult(mrOk);
}

void TFormEditName::ZqButton2Click(TObject* /*Sender*/) {
  Actionlabel->SetVisible(false);
  Close();
}

void TFormEditName::Edit1Change(TObject* /*Sender*/) { Actionlabel->SetVisible(false); }

void TFormEditName::Edit1KeyDown(TObject* Sender, uint16_t& Key, TShiftState /*Shift*/) {
  if (Key != VK_RETURN) return;
  Key = 0;
  ZqButton1Click(Sender);
}

void TFormEditName::Edit2Click(TObject* /*Sender*/) { Edit2->SetText(UpperCase(Edit2->Text())); }

void TFormEditName::Edit2DblClick(TObject* /*Sender*/) { Edit2->SetText(LowerCase(Edit2->Text())); }
