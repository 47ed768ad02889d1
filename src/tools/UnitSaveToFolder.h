#pragma once
// The save-folder dialog of the compression center: the folder to save in (chosen in the
// folder tree or typed, created on request) and the naming and metadata options of the run.
#include <string>

#include "platform/gui/Forms.h"

class TLabel;
class TEdit;
class TCheckBox;
class TPopupMenu;
class TMenuItem;
class TZqButton;
class TZqSpeedButton;
class TQzDirTree21;

class TSaveToFolderForm : public TForm {
 public:
  explicit TSaveToFolderForm(TComponent* AOwner);

  TQzDirTree21* ShellTreeView1 = nullptr;  // the folder to save in
  TLabel* A_Message = nullptr;             // "Select folder"
  TLabel* Label1 = nullptr;
  TEdit* Edit1 = nullptr;                  // the folder, also typed (a new one is created)
  TLabel* Label12 = nullptr;
  TEdit* PrefixText = nullptr;          // "small_" at first
  TCheckBox* ChB_UsePrefix = nullptr;   // "Enable Prefix"
  TCheckBox* Chb_lowercase = nullptr;   // "Web save names"
  TCheckBox* ChB_WriteExif = nullptr;   // "Don't write Exif to file"
  TCheckBox* ChBNoSpaceCheck = nullptr; // "No free space check"
  TZqSpeedButton* ZqPersonal = nullptr; // "Set folder..": PopupMenu1
  TPopupMenu* PopupMenu1 = nullptr;
  TMenuItem *SetDefault1 = nullptr, *PDesktop = nullptr, *PDocuments = nullptr;
  TZqButton* ZqButton2 = nullptr;       // "&Save": OK once the folder and prefix pass
  TZqButton* ZqButton1 = nullptr;       // "&Cancel", modal result Cancel

  // The folder confirmed by Save (with a trailing '/'), read after OK.
  std::string FChosenFolder;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormActivate(TObject* Sender);
  void ChB_UsePrefixClick(TObject* Sender);
  void ChB_WriteExifClick(TObject* Sender);
  void ShellTreeView1Click(TObject* Sender, const std::string& SelectedPath);
  void PrefixTextKeyPress(TObject* Sender, char& Key);
  void PrefixTextExit(TObject* Sender);
  void SetDefault1Click(TObject* Sender);
  void PDesktopClick(TObject* Sender);
  void PDocumentsClick(TObject* Sender);
  void ZqButton2Click(TObject* Sender);

 private:
  // Makes folder the web folder and tells the user.
  void UseAsWebFolder(const std::string& folder);
};

extern TSaveToFolderForm* SaveToFolderForm;
