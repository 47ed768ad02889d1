#pragma once
// The compression center: the save, resample and e-mail window. Each checked picture is
// decoded (a JPEG at the smallest DCT scale that still covers the wanted size),
// resampled so that its longest side has the chosen length, compressed at the chosen
// JPEG quality and previewed; a run then saves the copies into a folder (with the
// source's metadata), writes them over the sources, or attaches them to a new e-mail.
#include <memory>
#include <string>

#include "platform/gui/Forms.h"

class TPanel;
class TLabel;
class TComboBox;
class TCheckBox;
class TCheckListBox;
class TImage;
class TJPEGImage;
class TPicture;
class TProgressBar;
class TSpinEdit;
class TSplitter;
class TGauge;
class TTimer;
class TStringList;
class TZqButton;
class TZqSpeedButton;
class TimgData;

class TFormSaveImage : public TForm {
 public:
  explicit TFormSaveImage(TComponent* AOwner);
  ~TFormSaveImage() override;

  // --- the button bar ---
  TPanel* PanelButtons = nullptr;
  TZqSpeedButton* Zq_Close = nullptr;
  TZqSpeedButton* Zq_Save = nullptr;
  TZqSpeedButton* Zq_Mail = nullptr;
  TZqSpeedButton* ZqOverWriteOrg = nullptr;  // "S&ource": compresses the original files
  TZqSpeedButton* ZqConfig = nullptr;        // "Quality/size" (toggle): shows PanelSettings
  TZqSpeedButton* ZqPrevious = nullptr;
  TZqSpeedButton* ZqNext = nullptr;
  TZqSpeedButton* Zq_PinDown = nullptr;      // "(De)Select" (toggle): the entry's check
  TZqSpeedButton* Zq_CheckList = nullptr;
  TZqSpeedButton* Zq_Image1Show = nullptr;   // "Compare": the uncompressed preview beside
  TZqSpeedButton* ZqSpeedButton1 = nullptr;  // "Help"
  // --- progress of a run ---
  TPanel* PanelProgressbar = nullptr;  // hidden at first
  TZqButton* ZqButton1 = nullptr;      // "Abort"
  TProgressBar* ProgressBar1 = nullptr;
  TLabel* Label12 = nullptr;
  TLabel* Label13 = nullptr;  // a tree run's count of other files, hidden at first
  // --- the header ---
  TPanel* Panel2 = nullptr;
  TImage* Image3 = nullptr;  // 55 x 55 thumbnail of the source
  TLabel *Label4 = nullptr, *Label1 = nullptr, *Label2 = nullptr, *Label8 = nullptr;
  TLabel *Label5 = nullptr, *Label6 = nullptr, *Label7 = nullptr;
  TLabel *Label9 = nullptr, *Label3 = nullptr, *Label11 = nullptr;
  // --- quality and size ---
  TPanel* PanelSettings = nullptr;     // hidden at first
  TComboBox* ComboBox1 = nullptr;      // size presets, item 5 at first
  TComboBox* ComboBox2 = nullptr;      // quality presets, item 3 at first
  TSpinEdit* UpDown1 = nullptr;        // the JPEG quality 1..99
  TGauge* Gauge1 = nullptr;            // shows the quality
  TSpinEdit* CustomEdit = nullptr;     // the custom size, shown for "Custom"
  TCheckBox* Ch_Filter = nullptr;      // "Use resampling filter", checked at first
  TCheckBox* Ch_Strech = nullptr;      // "Stretch smaller images"
  TLabel* Label10 = nullptr;
  // --- the work list ---
  TPanel* ChecklistPanel = nullptr;    // hidden at first
  TSplitter* Splitter1 = nullptr;
  TZqSpeedButton* Zq_ToggleSelect = nullptr;
  TCheckBox* ChB_ShowLargeThumb = nullptr;
  TCheckListBox* CheckListBox1 = nullptr;
  TSplitter* Splitter2 = nullptr;
  TPanel* Panel8 = nullptr;
  TImage* Image4 = nullptr;  // the large thumbnail
  // --- previews ---
  TPanel* PanelImage1 = nullptr;  // hidden at first: the resampled picture before compression
  TScrollBox* ScrollBox1 = nullptr;
  TImage* Image1 = nullptr;
  TScrollBox* ScrollBox2 = nullptr;  // the compressed result at 1:1
  TImage* Image2 = nullptr;
  TImage* Enveloppe = nullptr;        // shown while the entry is checked
  TImage* ImageCompressing = nullptr;  // shown while a filtered resampling runs
  // Runs the set-up of the first paint right after that paint.
  TTimer* TimerFirstPaint = nullptr;

  // --- state ---
  int FTargetSize = 0;
  int FSourceWidth = 0, FSourceHeight = 0;
  bool FIsJpeg = false;
  int FLoadedSize = 0;
  bool FStopBatch = false;
  bool FBatchRunning = false;
  bool FUpDownChanging = false;
  bool FWriteExif = false;
  // Made by the main window before showing and freed by the window's close handler.
  TJPEGImage* FJpegOut = nullptr;
  TImage* FSourceImage = nullptr;
  std::string FFileName;
  int FCurrentIndex = -1;
  // While set, showing the window loads and resamples nothing.
  bool FQuietShow = false;
  bool FPainted = false;
  bool FOverwriteSource = false;
  // Root folder of a whole-tree run (the parent of the tree's folder, with a trailing
  // '/'); empty for selected files.
  std::string FTreeRoot;

  // Fills the work list from the main window's selection (or all its files); false when
  // no picture was taken.
  bool FillChecklist(bool KeepWorkList);
  // The steps of showing an entry.
  bool LoadAndMakeBitmap(const std::string& FileName);
  bool ReSizeImage();
  bool ConvertToCompressedJPG();
  bool InitSmallImages();
  std::string CreateSavename(bool NoPrefix);
  // Writes the compressed picture to OutputPath, with the source's metadata when
  // FWriteExif is set. An existing file is replaced (atomically) only with Replace;
  // false with the reason in Error on failure, leaving no partial file.
  bool SaveWithExif(const std::string& OutputPath, bool Replace, std::string& Error);
  int SelItems();
  void ShowSelectedCaptions();
  void GetFixedWidth();
  void GetUpdownPosition();
  void ShowPreviews(int BoxSize);
  // The JPEG decode scale for a target longest side from a source's longest side.
  static int ChooseJpegScale(int Target, int LongestSide);

  // --- handlers ---
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormPaint(TObject* Sender);
  void FirstPaintSetUp(TObject* Sender);
  void FormResize(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void ComboBox1Change(TObject* Sender);
  void ComboBox2Change(TObject* Sender);
  void UpDown1Click(TObject* Sender);
  void CustomEditKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void CustomEditExit(TObject* Sender);
  void Ch_FilterClick(TObject* Sender);
  void Ch_StrechClick(TObject* Sender);
  void ZqNextClick(TObject* Sender);
  void ZqPreviousClick(TObject* Sender);
  void ZqNextMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ZqPreviousMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void CheckListBox1Click(TObject* Sender);
  void Zq_PinDownClick(TObject* Sender);
  void EnveloppeClick(TObject* Sender);
  void Zq_ToggleSelectClick(TObject* Sender);
  void Zq_CheckListClick(TObject* Sender);
  void Zq_Image1ShowClick(TObject* Sender);
  void ChB_ShowLargeThumbClick(TObject* Sender);
  void SplitterMoved(TObject* Sender);
  void PreviewMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void PreviewMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void PreviewMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ZqConfigClick(TObject* Sender);
  void Panel2Click(TObject* Sender);
  void Zq_CloseClick(TObject* Sender);
  // "Help" and F1: the window's page of the help file.
  void ZqSpeedButton1Click(TObject* Sender);
  void ZqButton1Click(TObject* Sender);
  void Zq_SaveClick(TObject* Sender);
  void ZqOverWriteOrgClick(TObject* Sender);
  void Zq_MailClick(TObject* Sender);

 private:
  // Asks "Stop current file batch handling?" and sets FStopBatch on Yes.
  void AskStopBatch();
  // A run's loop handles pending events after each file; false when the run must end
  // (stopped, the window closing or the program ending).
  bool PumpAndContinue();
  void ShowRunPanels(bool Running, int Maximum);
  void EndRun(const std::string& Caption);
  // The copy of the other files of a tree run.
  void CopyTreeFiles(const std::string& Target);
  bool EnoughSpace(const std::string& Source, const std::string& Target);
  void FitThumbnails();
  void UpdateHandCursor(TImage* Image, TScrollBox* Box);
  void SyncScroll(TScrollBox* From);
  void KeepEnveloppeInPlace();
  void SetQuality(int Quality);

  // Image2 holds the compressed copy of FFileName (not a picture left from another entry).
  bool FCompressedValid = false;
  bool FSettingQuality = false;
  bool FCloseRequested = false;
  bool FDragging = false;
  TPoint FDragStart;
  std::string FRunCaption;
};

extern TFormSaveImage* FormSaveImage;
// The metadata record of every metadata-carrying save (made at start, freed at the end).
extern TimgData* SaveImageMetadata;
