#pragma once
// The copy window: one picture in a window of its own, so that several pictures can lie
// side by side on the screen. The window tiles itself into halves, thirds or quarters of
// the screen, the picture is dragged to scroll, and the window can go borderless ("full
// view"). The program-wide instance shows the file of the main window's File, Open; the
// main window's copy command makes one more instance per picture, which frees itself
// when closed (FFreeOnClose).
#include <string>

#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"

class TToolBar;
class TToolButton;
class TLabel;
class TImage;
class TImageList;

class TImageCopyForm : public TForm {
 public:
  explicit TImageCopyForm(TComponent* AOwner);

  TToolBar* AlignToolBar = nullptr;
  TToolButton* ToolButton3 = nullptr;   // full view on/off (F9)
  TToolButton* ToolButton1 = nullptr;   // left of 2
  TToolButton* ToolButton2 = nullptr;   // right of 2
  TToolButton* ToolButton4 = nullptr;   // left of 3
  TToolButton* ToolButton5 = nullptr;   // middle of 3
  TToolButton* ToolButton6 = nullptr;   // right of 3
  TToolButton* ToolButton7 = nullptr;   // top left of 4
  TToolButton* ToolButton9 = nullptr;   // top right of 4
  TToolButton* ToolButton10 = nullptr;  // bottom left of 4
  TToolButton* ToolButton11 = nullptr;  // bottom right of 4
  TToolButton* ToolButton18 = nullptr;  // top row of 3
  TToolButton* ToolButton19 = nullptr;  // middle row of 3
  TToolButton* ToolButton20 = nullptr;  // bottom row of 3
  TToolButton* ToolButton26 = nullptr;  // the pixel magnifier
  TToolButton* ToolButton22 = nullptr;  // "Load original image"
  TToolButton* ToolButton24 = nullptr;  // delete the picture
  TToolButton* ToolButton13 = nullptr;  // "goto image folder"
  TToolButton* ToolButton15 = nullptr;  // "close window"
  TScrollBox* ScrollBox1 = nullptr;
  TImage* Image1 = nullptr;
  TLabel* Label1 = nullptr;  // EXIF overlay text
  TImageList* ImageList1 = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;
  TMenuItem* Alignwindow1 = nullptr;
  TMenuItem *left2inscreen1 = nullptr, *Rightfor2onscreen1 = nullptr, *Leftfor3onscreen1 = nullptr,
            *Middlefor3onscreen1 = nullptr, *Rightfor3onscreen1 = nullptr, *TopLeft4 = nullptr,
            *BottomLeft4 = nullptr, *TopRight4 = nullptr, *Bottomright4 = nullptr, *Alligntop1 = nullptr,
            *Alignmiddle1 = nullptr, *Alignbottom1 = nullptr;
  TMenuItem* ogglefullview1 = nullptr;        // "Toggle full view"
  TMenuItem* Showtoolbar = nullptr;           // "Show tool bar"
  TMenuItem* ogglePixelmagnifier1 = nullptr;  // "Toggle Pixel magnifier"
  TMenuItem* Realsize1 = nullptr;             // "Real size"
  TMenuItem* DeleteImage1 = nullptr;          // "Delete Image"
  TMenuItem* Openpath1 = nullptr;             // "Goto image folder and show file"
  TMenuItem* Closewindow1 = nullptr;          // "Close window"

  // Where a drag of the picture began, and whether one runs.
  int FDragStartX = 0, FDragStartY = 0;
  bool FDragging = false;
  // Closing frees the window (the copy command's instances).
  bool FFreeOnClose = false;

  // The tiling commands: the window takes a part of the screen (a sender of the table).
  void AlignClick(TObject* Sender);
  void Image1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void Image1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // Full view: no border and no tool bar, or both back.
  void ToolButton3Click(TObject* Sender);
  void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void FormClose(TObject* Sender, TCloseAction& Action);
  // Widens the window to its tool bar.
  void FormShow(TObject* Sender);
  void PopupMenu1Popup(TObject* Sender);
  void ShowtoolbarClick(TObject* Sender);
  // Loads the file at full size (the window's caption names it).
  void ToolButton22Click(TObject* Sender);
  void ToolButton24Click(TObject* Sender);
  void Openpath1Click(TObject* Sender);
  void Label1Click(TObject* Sender);
  void MagnifierClick(TObject* Sender);
  void FormCreate(TObject* Sender);
};

extern TImageCopyForm* ImageCopyForm;
