#pragma once
// The Shotgraph window: over the pictures of a folder (and its sub-folders) it reads
// the focal length, ISO number, aperture and shutter time of each through the EXIF
// query operations, counts how often each value occurs and charts the counts, lists
// the files per value, and edits the lens-equivalence list that gives the 35 mm focal
// length of cameras whose pictures do not carry it.
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Forms.h"

class TPanel;
class TPageControl;
class TTabSheet;
class TEdit;
class TCheckBox;
class TComboBox;
class TSpinEdit;
class TRadioGroup;
class TMemo;
class TRichEdit;
class TLabel;
class TImage;
class TProgressBar;
class TStatusBar;
class TSaveDialog;
class TStringList;
class TStrings;
class TZqButton;
class TZqSpeedButton;
class TChart;
class TChartSeries;
class TBarSeries;
class TLineSeries;

// The stop request of a Shotgraph run (one for the program): set by the Stop button and
// by Esc in the window, cleared when a run starts.
extern bool StopAnalyzing;

// The keys and orders of the run, apart from the window so they can be checked alone.
namespace shotgraph {
// The extension (any case) is ".JPG", ".JPEG", ".THM" or ".JPE".
bool IsJpegExt(const std::string& FileName);
// The integer of the digits before the first ',' or '.', plus 1 when the digit after it
// is 5 to 9 ("27,5 mm" gives 28, "27,49" gives 27). False when there is no digit before
// the separator or the number is too large.
bool StrToRoundedInt(const std::string& text, int& value);
// focal rounded to the nearest multiple of steps (ties up); values up to ignore stay.
int RoundToStep(int focal, int steps, int ignore);
// An integer left-filled with '_' to five characters ('___50'); longer numbers unfilled.
std::string FocalKey(int focal);
// The order of keys filled with '_': the fill before digits, digits before letters,
// letters without case; so keys of one width sort by their number.
int CompareKeys(const std::string& a, const std::string& b);
// The number of an aperture key ('__F2.8' gives 2.8); -1 when it holds none.
double ApertureValue(const std::string& key);
// The shutter text of an exposure time t in seconds: t rounded to 4 decimals, or with
// fractions "1/n" below a second and whole seconds above (halves to even). Empty for t <= 0.
std::string ShutterText(double t, bool fractions);
// Longest exposure first, for decimal-second texts and for "1/n" texts.
int CompareFloatStrings(const std::string& a, const std::string& b);
int CompareFractionStrings(const std::string& a, const std::string& b);
}  // namespace shotgraph

class TFormAnalize : public TForm {
 public:
  explicit TFormAnalize(TComponent* AOwner);
  ~TFormAnalize() override;

  TPanel* Panel1 = nullptr;  // options above the pages
  TCheckBox* ChB_Subs = nullptr;  // "Include subfolders"
  TCheckBox* ChB3D = nullptr;
  TCheckBox* ChBbar = nullptr;
  TComboBox* ComboBoxValue = nullptr;  // statistics on the bars; no item at first
  TCheckBox* Cb_Custom = nullptr;      // "Filter"
  TSpinEdit* SpinEdit3 = nullptr;      // points per page, 0 = all
  TZqButton* StartAnalizing = nullptr;
  TZqButton* StopAnalizing = nullptr;
  TPanel* StatusPanel = nullptr;       // the lens-mode indicator
  TProgressBar* ProgrBarCollect = nullptr;
  TProgressBar* ProgrBarAnalyse = nullptr;
  TPanel* PanelMakeModel = nullptr;    // the filter fields, shown while Cb_Custom is checked
  TEdit* EditMake = nullptr;
  TEdit* EditModel = nullptr;
  TEdit* MN_name_Edit = nullptr;
  TEdit* MN_Data_Edit = nullptr;
  TStatusBar* StatusBar1 = nullptr;
  TSaveDialog* SaveDialog1 = nullptr;

  TPageControl* PageControl1 = nullptr;
  TTabSheet* TabSheet1 = nullptr;  // "Overview"
  TTabSheet* TabSheet2 = nullptr;  // "Lens Length"
  TTabSheet* TabSheet3 = nullptr;  // "ISO"
  TTabSheet* TabSheet4 = nullptr;  // "Aperture"
  TTabSheet* TabSheet5 = nullptr;  // "Shutter Speed"
  TTabSheet* TabSheet6 = nullptr;  // "Path List + Image"
  TTabSheet* TabSheet7 = nullptr;  // "Equivalent List"

  // Overview: the four charts in a grid.
  TPanel* PanelOverview = nullptr;
  TZqSpeedButton* ZqSpeedButton8 = nullptr;  // reset every zoom
  TZqSpeedButton* ZqSpeedButton9 = nullptr;  // help
  TChart* Chart5 = nullptr;  // focal lengths
  TChart* Chart6 = nullptr;  // ISO
  TChart* Chart7 = nullptr;  // apertures
  TChart* Chart8 = nullptr;  // shutter times
  TLineSeries* LineSeries1 = nullptr;  // Chart5's series 0
  TBarSeries* BarSeries1 = nullptr;    // Chart5's series 1
  TBarSeries* BarSeries2 = nullptr;
  TBarSeries* BarSeries3 = nullptr;
  TBarSeries* BarSeries4 = nullptr;

  // Lens Length.
  TPanel* PanelLens = nullptr;
  TZqSpeedButton* ZqSpeedButton1 = nullptr;  // fit graph
  TZqSpeedButton* ZqSaveDate = nullptr;      // save graph
  TSpinEdit* SpinEdit1 = nullptr;  // steps, 10
  TSpinEdit* SpinEdit2 = nullptr;  // ignore, 28
  TCheckBox* ChBoxSteps = nullptr;
  TZqSpeedButton* ZqSetforRealLength = nullptr;  // down: real lens lengths
  TPanel* MMPanel = nullptr;
  TEdit* Edit1 = nullptr;  // real focal length of the reference lens
  TEdit* Edit2 = nullptr;  // its 35 mm equivalent
  TCheckBox* Ch_AlwaysCalc = nullptr;
  // ISO, Aperture, Shutter Speed.
  TPanel* PanelIso = nullptr;
  TZqSpeedButton* ZqSpeedButton2 = nullptr;
  TZqSpeedButton* ZqSpeedButton5 = nullptr;
  TPanel* PanelAperture = nullptr;
  TZqSpeedButton* ZqSpeedButton3 = nullptr;
  TZqSpeedButton* ZqSpeedButton6 = nullptr;
  TPanel* PanelShutter = nullptr;
  TZqSpeedButton* ZqSpeedButton4 = nullptr;
  TZqSpeedButton* ZqSpeedButton7 = nullptr;
  TCheckBox* ChB_Raw = nullptr;  // "1/100", checked at first
  // Path List + Image.
  TRichEdit* RichEdit1 = nullptr;
  TRadioGroup* RadioGroup1 = nullptr;
  TZqSpeedButton* Zq_SaveRichedit = nullptr;
  TLabel* Label15 = nullptr;
  TImage* Image1 = nullptr;
  // Equivalent List.
  TMemo* Memo1 = nullptr;  // the equivalence list being edited
  TZqButton* ZqButton1 = nullptr;  // "Edit/show equivalent file"
  TZqButton* ZqButton2 = nullptr;  // "Save changes and reload", disabled at first
  TZqButton* ZqButton3 = nullptr;  // "Close", disabled at first
  TZqButton* ZqButton4 = nullptr;  // "Load Defaults"
  TZqSpeedButton* ZqSpeedButton10 = nullptr;  // help

  // Results of the last run.
  int FTotalFiles = 0;
  int FAnalysedFiles = 0;
  // The file of each line of RichEdit1, line by line.
  std::vector<std::string> FLinePaths;

  // The lens-mode indicator.
  void setButtonstate();
  // The charts on the overview page (Overview and that page active), else each on its own page.
  void DistributeCharts(bool Overview);
  void SetPointer();
  // The path-list preview of a file.
  void ShowPicture(const std::string& Path);
  // Selects the first occurrence of Text at or after StartPosition (characters).
  void SearchForText_AndSelect(TRichEdit* RichEdit, const std::string& Text, int StartPosition);
  // True while a run is on its way.
  bool Running() const { return FRunning; }

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormActivate(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormResize(TObject* Sender);
  void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void StartAnalizingClick(TObject* Sender);
  void StopAnalizingClick(TObject* Sender);
  void ComboBoxValueChange(TObject* Sender);
  void ChBbarClick(TObject* Sender);
  void ChB3DClick(TObject* Sender);
  void Cb_CustomClick(TObject* Sender);
  void ChBoxStepsClick(TObject* Sender);
  void SpinEdit3Change(TObject* Sender);
  void StatusPanelDblClick(TObject* Sender);
  void Edit2KeyPress(TObject* Sender, char& Key);
  void ZqSetforRealLengthClick(TObject* Sender);
  void PageControl1Change(TObject* Sender);
  void Chart5Zoom(TObject* Sender);
  void Chart5UndoZoom(TObject* Sender);
  void Chart5Scroll(TObject* Sender);
  void Chart5MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void ChartDblClick(TChart* Chart, TTabSheet* Page);
  void FitButtonClick(TChart* Chart, TZqSpeedButton* Button);
  void ZqSpeedButton8Click(TObject* Sender);
  void SaveChartClick(TChart* Chart, const std::string& DefaultName);
  void Zq_SaveRicheditClick(TObject* Sender);
  void Panel1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void RichEdit1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void RichEdit1KeyUp(TObject* Sender, uint16_t& Key, TShiftState Shift);
  // The lens-equivalence list editor.
  void ZqButton1Click(TObject* Sender);
  void ZqButton2Click(TObject* Sender);
  void ZqButton3Click(TObject* Sender);
  void ZqButton4Click(TObject* Sender);
  void Memo1Change(TObject* Sender);

 private:
  struct Run;
  // The run's steps.
  // The typed lens length and its 35 mm equivalent are numbers above 0.
  bool lensPairUsable();
  void ScanFolder(Run& run, std::string Folder);
  void CollectIso(Run& run, const std::string& Path);
  void CollectAperture(Run& run, const std::string& Path);
  void CollectShutter(Run& run, const std::string& Path);
  // Counts a sorted list and plots one point per distinct key (false: the run was stopped).
  bool PlotList(Run& run, std::vector<std::string>& list, TChartSeries* series, bool focal);
  void PlotAll(Run& run);
  void showPathList(Run& run);
  // Lets the message queue run; false when the run must end (stop, window or program closing).
  bool pump();
  void cleanUpAfterClose();
  void pathListClick();
  void updateZoomButtons();
  // Opens the editor with a list file's lines (none: empty); false (editor at rest) when it cannot be read.
  bool beginEditing(const std::string& file);
  // The lens list file and the shipped default list.
  std::string equivalentFile() const;
  std::string defaultEquivalentFile() const;

  std::unique_ptr<TStringList> FValueList;
  std::string FStatusText;
  bool FLoading = true;
  bool FRunning = false;
  // The window was closed while a run went on: its clean-up waits for the run's end.
  bool FClosedDuringRun = false;
};

extern TFormAnalize* FormAnalize;
