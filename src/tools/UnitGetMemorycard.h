#pragma once
// The memory-card import window: copies files of a source folder (a camera's memory card
// or any folder) into the folder chosen in the main window's tree, optionally named with
// a prefix or a suffix that may hold today's date. The main window shows it without
// making it modal; the copying itself is the main window's CopyPastefiles.
#include <string>

#include "platform/gui/Forms.h"

class TQzDirTree21;
class TStaticText;
class TLabel;
class TProgressBar;
class TCheckBox;
class TListBox;
class TImage;
class TPanel;
class TEdit;
class TZqButton;
class TZqSpeedButton;

class TFormGetcard : public TForm {
 public:
  explicit TFormGetcard(TComponent* AOwner);

  TQzDirTree21* QzDirTree211 = nullptr;   // source folder
  TStaticText* StaticText1 = nullptr;     // source folder
  TStaticText* StaticText2 = nullptr;     // destination folder
  TProgressBar* ProgressBar1 = nullptr;
  TPanel* Panel5 = nullptr;               // the number of files
  TCheckBox* CheckBox1 = nullptr;         // "All"
  TListBox* ListBox1 = nullptr;           // the source folder's files
  TImage* Image1 = nullptr;               // thumbnail of the clicked file
  TLabel* Label3 = nullptr;               // name of the clicked file
  TCheckBox* ChB_CardFilePrefix = nullptr;  // "Enable Prefix/Suffix"
  TPanel* PanelPrefix = nullptr;            // hidden at first
  TEdit* PrefixEdit = nullptr;
  TCheckBox* ChB_Suffix = nullptr;          // "Suffix", checked at first
  TZqButton* DateButton = nullptr;          // inserts or removes the date token
  TLabel* Label1 = nullptr;                 // the example name
  TZqButton* ZqButton1 = nullptr;           // "&Start copy"
  TZqButton* ZqButton2 = nullptr;           // "&Cancel"
  TZqSpeedButton* ZqSpeedButton1 = nullptr;  // "Help"

  // True from the confirmation of a copy until the window closes: Cancel then asks the
  // copy to stop instead of closing the window.
  bool FCopying = false;
  // The prefix or suffix with its date resolved, fixed when the copy starts.
  std::string FPrefixText;

  // The text with its first date token replaced by today's date.
  static std::string InsertDate(const std::string& Text);
  // The text without its first Item, or with Item inserted at the caret.
  static std::string InsertRemoveItem(const std::string& Text, const std::string& Item, int Caret);
  // Shows the cached thumbnail of entry Index and its name.
  void ShowThumb(int Index);
  void InitListbox();
  bool AllSelected() const;
  // True while the main window copies for this window.
  bool CopyRunning() const { return copyRunning_; }

  void FormCreate(TObject* Sender);
  void FormActivate(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void QzDirTree211DirChange(TObject* Sender, const std::string& SelectedPath);
  void ListBox1Click(TObject* Sender);
  void CheckBox1Click(TObject* Sender);
  void ChB_CardFilePrefixClick(TObject* Sender);
  void PrefixEditChange(TObject* Sender);
  void PrefixEditKeyPress(TObject* Sender, char& Key);
  void DateButtonClick(TObject* Sender);
  void ZqButton1Click(TObject* Sender);
  void ZqButton2Click(TObject* Sender);

 private:
  // The source folder with a trailing '/'.
  std::string sourceFolder() const;
  void setCountText(int count, bool twoBlanks);
  TImage* thumbImage_ = nullptr;  // receives the cached thumbnail before it is fitted
  bool copyRunning_ = false;
};

extern TFormGetcard* FormGetcard;
