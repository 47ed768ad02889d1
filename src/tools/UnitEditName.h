#pragma once
// The rename dialog. The main window sets FOldPath, FExtension and the two edits, shows
// it modally and, on OK, reads FNewName (the renaming itself comes with the dialog's own
// work).
#include <string>

#include "platform/gui/Forms.h"

class TLabel;
class TEdit;
class TZqButton;

class TFormEditName : public TForm {
 public:
  explicit TFormEditName(TComponent* AOwner);

  TEdit* Edit1 = nullptr;  // the name without extension
  TEdit* Edit2 = nullptr;  // the extension (read-only)
  TLabel* Actionlabel = nullptr;
  TZqButton* ZqButton1 = nullptr;  // "Rename"
  TZqButton* ZqButton2 = nullptr;  // "Close", modal result Cancel

  std::string FOldPath;   // full path of the file
  std::string FExtension; // the extension kept
  std::string FNewName;   // the new name without folder, extension included

  void FormCreate(TObject* Sender);
};

extern TFormEditName* FormEditName;
