#include "tools/UnitSaveToFolder.h"

#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"

TSaveToFolderForm* SaveToFolderForm = nullptr;

TSaveToFolderForm::TSaveToFolderForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("SaveToFolderForm");
  SetCaption("Save file(s)");
  SetBorderStyle(bsDialog);
  SetFormStyle(fsStayOnTop);
  SetPosition(poMainFormCenter);
  SetClientWidth(592);
  SetClientHeight(170);

  // The folder tree (the shell folder tree of the save dialog): folders from the desktop's drives.
  ShellTreeView1 = NewControl<TQzDirTree21>(this, this, "ShellTreeView1", 8, 8, 220, 154);
  ShellTreeView1->SetPopUpMenuEnabled(false);
  ShellTreeView1->SetShowRoot(false);
  NewControl<TLabel>(this, this, "Label12", "File name prefix", 240, 8, 200, 15);
  PrefixText = NewControl<TEdit>(this, this, "PrefixText", "small_", 240, 26, 200, 21);
  SetHintText(PrefixText, "A prefix will be written before the file name");
  ChB_UsePrefix = NewCheckBox(this, this, "ChB_UsePrefix", "Enable Prefix", false, 240, 56, 340);
  SetHintText(ChB_UsePrefix, "If checked prefix will be used");
  Chb_lowercase = NewCheckBox(this, this, "Chb_lowercase", "Web save names", false, 240, 80, 340);
  SetHintText(Chb_lowercase, "Write file names in lower case, and replaces space with underscores");
  ChB_WriteExif = NewCheckBox(this, this, "ChB_WriteExif", "Don't write Exif to file", false, 240, 104, 340);
  SetHintText(ChB_WriteExif, "Check this if you don't want the exif data written in a copy.");
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "&Save", 376, 136, 100, 25);
  ZqButton2->SetModalResult(mrOk);
  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "&Cancel", 484, 136, 100, 25);
  ZqButton1->SetModalResult(mrCancel);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TSaveToFolderForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }
