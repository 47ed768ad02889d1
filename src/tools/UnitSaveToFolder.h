#pragma once
// The save-folder dialog of the compression center. This first version holds the naming
// options that are stored settings; the folder tree and the Save handling come with the
// dialog's own work.
#include "platform/gui/Forms.h"

class TLabel;
class TEdit;
class TCheckBox;
class TZqButton;
class TQzDirTree21;

class TSaveToFolderForm : public TForm {
 public:
  explicit TSaveToFolderForm(TComponent* AOwner);

  TQzDirTree21* ShellTreeView1 = nullptr;  // the folder to save in
  TEdit* PrefixText = nullptr;          // "small_" at first
  TCheckBox* ChB_UsePrefix = nullptr;   // "Enable Prefix"
  TCheckBox* ChB_WriteExif = nullptr;   // "Don't write Exif to file"
  TCheckBox* Chb_lowercase = nullptr;   // "Web save names"
  TZqButton* ZqButton2 = nullptr;       // "&Save", modal result OK
  TZqButton* ZqButton1 = nullptr;       // "&Cancel", modal result Cancel

  void FormCreate(TObject* Sender);
};

extern TSaveToFolderForm* SaveToFolderForm;
