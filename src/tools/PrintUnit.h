#pragma once
// The print window: a preview of the paper, its printable area and the picture shown in
// the main window to scale; the picture's size by a track bar or a fixed custom size in
// inch or cm; the printer's paper, printable area, resolution and margins; printing
// after a confirmation. Without a printer the picture is printed into a PDF file.
//
// Printer lengths are in printer pixels.
#include <memory>
#include <string>

#include "platform/gui/Forms.h"

class TPanel;
class TCheckBox;
class TRadioGroup;
class TZqSpeedButton;
class TLabel;
class TTrackBar;
class TEdit;
class TShape;
class TImage;
class TStatusBar;
class TPrinterSetupDialog;
class TSaveDialog;
class TPicture;

class TPrintForm : public TForm {
 public:
  explicit TPrintForm(TComponent* AOwner);
  ~TPrintForm() override;

  TPanel* Panel2 = nullptr;
  TZqSpeedButton* ZqClose = nullptr;         // "Close"
  TZqSpeedButton* ZqPrint = nullptr;         // "Print"
  TZqSpeedButton* ZqPrinterSetup = nullptr;  // "Setup"
  TZqSpeedButton* ZqSpeedButton1 = nullptr;  // "Custom": shows the custom settings
  TCheckBox* Centered = nullptr;             // "Centered", checked at first
  TLabel* Label1 = nullptr;                  // "Adjust size"
  TTrackBar* TrackBar1 = nullptr;            // the picture's size, 1..100 % of the printable area
  TPanel* Panel1 = nullptr;                  // the custom settings, hidden at first
  TLabel* Label7 = nullptr;                  // paper size
  TLabel* Label3 = nullptr;                  // printable area
  TLabel* Label5 = nullptr;                  // margins
  TLabel* Label4 = nullptr;                  // resolution
  TLabel* Label6 = nullptr;                  // the picture's pixels
  TRadioGroup* Units = nullptr;              // 0 inch, 1 cm
  TCheckBox* ChB_UseCustomSize = nullptr;    // "Enable "
  TEdit* Edit1 = nullptr;                    // custom width
  TEdit* Edit2 = nullptr;                    // custom height
  TCheckBox* ChB_ResamplePrint = nullptr;    // "Resample", hidden
  TScrollBox* ScrollBox1 = nullptr;
  TPanel* papier = nullptr;                  // the paper
  TShape* Shape1 = nullptr;                  // the printable area
  TImage* PhotoScrn = nullptr;               // the picture
  TStatusBar* StatusBar1 = nullptr;
  TPrinterSetupDialog* PrinterSetupDialog1 = nullptr;
  TSaveDialog* SavePdfDialog = nullptr;      // the PDF file when no printer is set up

  // Custom print size (0: none); 1400 each from creation on, then the stored settings.
  int FPrintWidth = 0;
  int FPrintHeight = 0;
  // Margins that centre a custom-size picture on the page (0: no valid custom size).
  int FCustomOffsetX = 0, FCustomOffsetY = 0;
  int FMarginLeft = 0, FMarginTop = 0, FMarginRight = 0, FMarginBottom = 0;
  int FPrintableWidth = 0, FPrintableHeight = 0;
  // The size of the picture, percent of the printable area (the track bar).
  int FScale = 100;
  // The next preview sets the track bar from the picture.
  bool FResetScale = true;
  // The picture's size on paper (Right and Bottom are its width and height).
  TRect FPrintRect;
  // Percent of the paper preview to the page.
  int FPreviewScaleX = 0, FPreviewScaleY = 0;
  int FPictureWidth = 0, FPictureHeight = 0;
  // The file at full size and the picture to print, while the window is open.
  std::unique_ptr<TPicture> FSourceImage, FPrintPicture;

  // Lays the preview out: margins, paper, printable area, the picture and the texts.
  void InitFoto();
  // The texts of the sizes in the chosen unit.
  void ShowUnits();
  // Keeps the custom size only when it fits the page.
  void CheckWidthAndHeight();

  void FormCreate(TObject* Sender);
  void FormActivate(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormResize(TObject* Sender);
  void ZqPrintClick(TObject* Sender);
  void ZqPrinterSetupClick(TObject* Sender);
  void ZqSpeedButton1Click(TObject* Sender);
  void TrackBar1Change(TObject* Sender);
  void CenteredClick(TObject* Sender);
  void ChB_UseCustomSizeClick(TObject* Sender);
  void UnitsClick(TObject* Sender);
  // Takes the custom width (Edit1) or height (Edit2) from its box.
  void Edit1Exit(TObject* Sender);
  void Edit2Exit(TObject* Sender);

 private:
  // The printer length in the chosen unit, as text with the unit.
  std::string lengthText(int length, int dpi) const;
  // Reads a custom length box; false (with a message, nothing changed) when its text is
  // no number.
  bool customLength(TEdit* edit, int& pixels);
  // Says what is wrong with a custom length box. The message takes the focus from the box,
  // and that exit is no new entry to check: one error, one message.
  void sizeError(const std::string& text);
  void editKeyPress(TObject* Sender, char& Key);
  bool reportingSize_ = false;  // a custom length's message is up
  bool loaded_ = false;     // the picture of this opening is loaded
  bool layingOut_ = false;  // InitFoto pumps messages: a resize meanwhile waits for it
};

extern TPrintForm* PrintForm;
