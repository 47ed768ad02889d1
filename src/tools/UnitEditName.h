#pragma once
// The rename dialog. The main window sets FOldPath, FExtension and the two edits and
// shows it modally; the dialog renames the file itself (through OnRenameFile when the main
// window sets it) and, on OK, the main window reads FNewName.
#include <functional>
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
  TZqButton* ZqButton2 = nullptr;  // "Close"

  std::string FOldPath;   // full path of the file
  std::string FExtension; // the extension kept
  std::string FNewName;   // the new name without folder, extension included
  // Renames the file: 0 when done, -1 when it was refused and said so (the dialog closes),
  // else the errno value. Unset: the dialog renames the file alone.
  std::function<int(const std::string& From, const std::string& To)> OnRenameFile;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void ZqButton1Click(TObject* Sender);
  void ZqButton2Click(TObject* Sender);
  void Edit1Change(TObject* Sender);
  void Edit1KeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void Edit2Click(TObject* Sender);
  void Edit2DblClick(TObject* Sender);

 private:
  void showAction(const std::string& text);
};

extern TFormEditName* FormEditName;
