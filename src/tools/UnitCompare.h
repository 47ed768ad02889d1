#pragma once
// The compare window: two to four JPEG pictures side by side or stacked, each in a panel
// with its own zoom, scroll position, tool bar and file-name box. The user zooms all
// panels together or one at a time, pans them together by dragging, centres them, shows
// each picture's EXIF summary, deletes or renames a picture, adds it to or removes it
// from the paperclip list, and e-mails or saves a picture of the panels.
//
// The main window clears FCompareList and FPicturesLoaded, adds the paths and shows the
// window modally; the pictures load once the window is on the screen.
#include <array>
#include <memory>
#include <string>

#include "platform/gui/Forms.h"

class TPanel;
class TStringList;
class TZqSpeedButton;
class TCheckBox;
class TProgressBar;
class TToolBar;
class TToolButton;
class TEdit;
class TImage;
class TLabel;
class TImageList;
class TPopupMenu;
class TMenuItem;
class TSaveDialog;
class TTimer;

class TFormCompare : public TForm {
 public:
  explicit TFormCompare(TComponent* AOwner);
  ~TFormCompare() override;

  // The components of one of the four panels (named ComparePanel1, ToolBar1, TBClose1 ...
  // ScrollBox1, Image1, LabelExif1, EditFilename1 for the first). The tool bar, the image
  // and the tool buttons carry the panel's number as their tag.
  struct TPanelParts {
    TPanel* ComparePanel = nullptr;
    TToolBar* ToolBar = nullptr;
    TToolButton* TBClose = nullptr;      // "Close panel", glyph 0
    TToolButton* TBDelete = nullptr;     // "Delete image", glyph 1
    TToolButton* TBPaperclip = nullptr;  // "Paperclip - Add/Remove", glyph 2 or 6
    TToolButton* TBCenter = nullptr;     // "Center image", glyph 5
    TToolButton* TBRealSize = nullptr;   // "Original size", glyph 4
    TZqSpeedButton* ZqZoomMenu = nullptr;  // the panel's zoom ("100%"), with PopupMenu1
    TEdit* EditFilename = nullptr;       // the file name; leaving it renames the file
    TScrollBox* ScrollBox = nullptr;
    TImage* Image = nullptr;
    TLabel* LabelExif = nullptr;         // the EXIF summary over the picture
    bool InPaperclip = false;            // the paperclip named the picture when last read
  };

  TPanel* TopPanel = nullptr;
  TZqSpeedButton* ZqClose = nullptr;        // "Close"
  TZqSpeedButton* Zq_CenterAll = nullptr;   // "Center All"
  TZqSpeedButton* ZqResizeAll = nullptr;    // "Resize All"
  TZqSpeedButton* ZqZoomAll = nullptr;      // "Zoom All", with PopupMenu2
  TZqSpeedButton* ZqZoomPixel = nullptr;    // "Pixel magnifier"
  TZqSpeedButton* ZqSpeedButton1 = nullptr; // "Exif overlay"
  TZqSpeedButton* ZqSpeedButton2 = nullptr; // "Screen print", with PopupMenu3
  TZqSpeedButton* ZqHelp = nullptr;         // "Help": the help file
  TCheckBox* ChBAlign = nullptr;            // "Align vertical"
  TProgressBar* ProgressBar1 = nullptr;     // picture loading
  TPanel* Panel1 = nullptr;                 // holds the four panels
  TImageList* ImageList1 = nullptr;         // the tool buttons' glyphs
  TPopupMenu* PopupMenu1 = nullptr;         // zoom of the active panel
  TPopupMenu* PopupMenu2 = nullptr;         // zoom of all panels
  TPopupMenu* PopupMenu3 = nullptr;         // "E-mail", "Save to file"
  TMenuItem* ZQTofit1 = nullptr;            // "To fit" (the active panel)
  TMenuItem* MenuItem1 = nullptr;           // "To fit" (all panels)
  TMenuItem* Email1 = nullptr;
  TMenuItem* Savetofile1 = nullptr;
  TSaveDialog* SavePictureDialog1 = nullptr;

  // The panels, 1 to 4.
  TPanelParts& Panel(int number) { return panels_[size_t(number - 1)]; }

  // The full paths; entry N-1 shows in panel N.
  std::unique_ptr<TStringList> FCompareList;
  // The pictures of this opening are loaded (while set, showing loads nothing).
  bool FPicturesLoaded = false;
  // The panel that popup commands and single-panel zoom act on.
  int FActivePanel = 1;
  // Zoom percent of each panel.
  std::array<int, 4> FZoom{100, 100, 100, 100};
  // Ctrl is held: the wheel zooms the active panel only.
  bool FSinglePanelZoom = false;
  int FWheelCount = 0;
  bool FExifOverlay = false;
  bool FPanning = false;
  int FPanStartX = 0, FPanStartY = 0;

  // Places the visible panels: side by side, stacked or 2 x 2.
  void ShowActivePanels();
  // Zooms a visible panel to its FZoom, keeping the view's centre.
  void ZoomImage(int panel);
  // One zoom step of a panel up or down (10 % steps below 100, 50 % steps to 1000).
  void SetZoom(int panel, bool up);
  // The zoom at which the panel's picture fits its scroll box.
  void AdjustToFitPanel(int panel);
  void CenterImage(int panel);
  void SetPaperclipIcons();
  void AddRemovePaperclip(int panel);
  // Renames the file of a panel (the main window's lists and the paperclip and shows
  // follow); true when renamed.
  bool Renamefile(const std::string& OldPath, const std::string& NewPath);
  // Makes the picture of the panels and e-mails it (Mail) or saves it.
  void SendSaveScreen(bool Mail);
  // Loads the pictures (once the window is on the screen).
  void LoadPictures();

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormPaint(TObject* Sender);
  void FormResize(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void FormKeyUp(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void FormMouseWheel(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled);
  void ImageMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ImageMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void ImageMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ToolBarMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void TBCloseClick(TObject* Sender);
  void TBDeleteClick(TObject* Sender);
  void TBPaperclipClick(TObject* Sender);
  void TBCenterClick(TObject* Sender);
  void TBRealSizeClick(TObject* Sender);
  void ZqZoomMenuClick(TObject* Sender);
  void EditFilenameExit(TObject* Sender);
  void EditFilenameKeyPress(TObject* Sender, char& Key);
  void LabelExifClick(TObject* Sender);
  void PanelZoomItemClick(TObject* Sender);
  void AllZoomItemClick(TObject* Sender);
  void ZoomPopupPopup(TObject* Sender);
  void ZqCloseClick(TObject* Sender);
  void Zq_CenterAllClick(TObject* Sender);
  void ZqResizeAllClick(TObject* Sender);
  void ZqZoomPixelClick(TObject* Sender);
  void ZqSpeedButton1Click(TObject* Sender);
  void ChBAlignClick(TObject* Sender);
  void Email1Click(TObject* Sender);
  void Savetofile1Click(TObject* Sender);

 private:
  void buildPanel(int number);
  void showLabels();
  void hideLabels();
  void checkToClose();
  void loadProgress(TObject* Sender, int Stage, int PercentDone);
  // The panel number of a component (its tag), 0 when none.
  static int panelOf(TObject* Sender);
  std::array<TPanelParts, 4> panels_;
  TTimer* loadTimer_ = nullptr;  // loads the pictures right after the window shows
};

extern TFormCompare* FormCompare;
