#pragma once
// The EXIF information window: a report of the current picture's Exif data, its
// maker-specific entries and its format properties, with a small 35 mm equivalent
// calculator. It carries the program's EXIF query operations (TExifFacade), which
// every other window calls through ExifInfoForm.
#include <string>

#include "metadata/ExifFacade.h"
#include "platform/gui/Forms.h"

class TPageControl;
class TTabSheet;
class TMemo;
class TPanel;
class TCheckBox;
class TEdit;
class TStaticText;
class TSaveDialog;
class TZqButton;
class TZqSpeedButton;

class TExifInfoForm : public TForm, public TExifFacade {
 public:
  explicit TExifInfoForm(TComponent* AOwner);

  TPageControl* PageControl1 = nullptr;
  TTabSheet* TabSheet2 = nullptr;  // "Exif": the report
  TTabSheet* TabSheet3 = nullptr;  // "Exif - Maker specific"
  TTabSheet* TabSheet4 = nullptr;  // "Info": the picture's format properties
  TMemo* Memo1 = nullptr;
  TMemo* Memo2 = nullptr;
  TMemo* Memo3 = nullptr;
  TPanel* Panel3 = nullptr;
  TCheckBox* CB_Compact = nullptr;  // "All EXIF"
  TZqSpeedButton* SB_Calc = nullptr;
  TPanel* Panel2 = nullptr;  // the calculator
  TEdit* Edit1 = nullptr;    // real focal length of the reference lens
  TEdit* Edit2 = nullptr;    // its 35 mm equivalent
  TStaticText* StaticText1 = nullptr;
  TZqButton* ZqButton1 = nullptr;  // "Write to file"
  TSaveDialog* SaveDialog1 = nullptr;

  // The main window's lens-equivalence list.
  const TStrings* EquivalentList() const override;

  // Fills the window for a file.
  void ShowExifInf(const std::string& FileName);
  // Fills the "Info" page from the main window's loaded picture.
  void ShowImageInfo();
  // The full tag list into the report; the maker-note records onto their page.
  void dumpEXIF();
  void dumpMSpecific();
  void MemoLineAdd(const std::string& Text);
  // The first report line from index 1 on that holds "FOCAL LENGTH:"; one past the
  // last line when none.
  int FocalLineNr() const;
  // The calculator's result for a report line.
  void Show3mmEQ(const std::string& Line);
  // The window's width when the "Info" page shows its longest lines whole in the current
  // language; its width now when that is enough.
  int InfoWidth() const;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void CB_CompactClick(TObject* Sender);
  void SB_CalcClick(TObject* Sender);
  void Edit2Exit(TObject* Sender);
  void ZqButton1Click(TObject* Sender);

 private:
  // The report line at FocalLineNr (empty when there is none).
  std::string focalLine() const;
};

extern TExifInfoForm* ExifInfoForm;
