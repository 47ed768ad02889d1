#pragma once
// The file search window: looks through one or more folders (joined by '+'), with or
// without their sub folders, for files whose names hold a text or any of several words,
// and puts their full paths into the main window's file list as the "Search result" list.
// Typing "LOCKEDFOLDERS" as the search text opens the editor of the locked-folder list
// "skipsearch.ini" instead.
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/gui/Forms.h"

class TLabel;
class TEdit;
class TMemo;
class TPanel;
class TButton;
class TCheckBox;
class TRadioGroup;
class TProgressBar;
class TZqButton;
class TZqSpeedButton;
class TQzDirTreeCombo28;

class TSearchForm : public TForm {
 public:
  explicit TSearchForm(TComponent* AOwner);

  TEdit* EditSearch = nullptr;
  TRadioGroup* SearchType = nullptr;  // "Find string", "Find words"
  TEdit* EditPath = nullptr;          // root folders joined by '+'
  TQzDirTreeCombo28* QzDirTreeCombo281 = nullptr;  // picks a folder into EditPath
  TZqSpeedButton* ZqSpeedButton1 = nullptr;  // the folder tree's folder
  TZqSpeedButton* ZqSpeedButton2 = nullptr;  // "Dr": the whole drive
  TCheckBox* ChBox_SubSearch = nullptr;
  TCheckBox* Ch_K2viewable = nullptr;
  TCheckBox* ChB_DontClear = nullptr;
  TZqButton* ZqButton1 = nullptr;  // "&Search"
  TZqButton* ZqButton2 = nullptr;  // "&Close"
  TZqButton* ZqButton3 = nullptr;  // "&Abort", enabled while searching
  TProgressBar* Animate1 = nullptr;  // runs while searching
  TLabel* Actionlabel = nullptr;     // status text
  TPanel* PanelEditLocked = nullptr;  // the editor of "skipsearch.ini"
  TMemo* Memo1 = nullptr;
  TButton* Button1 = nullptr;  // "Save"
  TButton* Button2 = nullptr;  // "Close"
  TButton* Button3 = nullptr;  // "Add path"

  // Searches root (a folder with a trailing '/') for names holding the search text: its
  // own files and those of its sub folders (all levels with ChBox_SubSearch).
  void FindFiles(const std::string& SearchText, const std::string& Root);
  // True while a search runs.
  bool Searching() const { return searching_; }

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void ZqButton1Click(TObject* Sender);
  void ZqButton2Click(TObject* Sender);
  void ZqButton3Click(TObject* Sender);
  void ZqSpeedButton1Click(TObject* Sender);
  void ZqSpeedButton2Click(TObject* Sender);
  void QzDirTreeCombo281PathChange(TObject* Sender, const std::string& SelectedPath);
  void EditSearchChange(TObject* Sender);
  void EditSearchKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void EditPathChange(TObject* Sender);
  void EditPathKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void Button1Click(TObject* Sender);
  void Button2Click(TObject* Sender);
  void Button3Click(TObject* Sender);

 private:
  void SearchFolderFiles(const std::string& Folder);
  void SearchSubFolders(const std::string& Folder);
  // Lets the program handle its events (once per folder searched); true when the search
  // must end (Abort, Close, the window or the program closing).
  bool pumpStops();
  bool stopped() const;
  void showLockedEditor(bool show);

  std::vector<std::string> terms_;              // upper-cased, none empty
  std::unordered_set<std::string> listed_;      // the paths in the main list (exact)
  bool searching_ = false;
  bool searched_ = false;  // a search ran since the window was shown
};

extern TSearchForm* SearchForm;
