#pragma once
// The floating button bar: a small borderless bar that the main window shows over the
// picture in full screen and in the slide show. Each button does what the main window's
// button of the same command does, and the bar shows the main window's button states;
// it is dragged by its two grips and gives the keyboard back to the main window.
#include "platform/gui/Forms.h"

class TImage;
class TLabel;
class TPanel;
class TZqSpeedButton;

class TFormFloatB : public TForm {
 public:
  explicit TFormFloatB(TComponent* AOwner);

  TImage* Image1 = nullptr;  // grips
  TImage* Image2 = nullptr;
  TZqSpeedButton* ZqAutonext = nullptr;     // "Start/Pause" (toggle)
  TZqSpeedButton* ZqPrevious = nullptr;
  TZqSpeedButton* ZqNext = nullptr;
  TZqSpeedButton* ZqShowInfo = nullptr;        // path and file name (toggle)
  TZqSpeedButton* ZqStretchsmaller = nullptr;  // toggle
  TZqSpeedButton* ZqFitInScreen = nullptr;     // toggle, down at first
  TZqSpeedButton* ZqTumblist = nullptr;        // toggle
  TZqSpeedButton* ZqImageInfo = nullptr;
  TZqSpeedButton* ZqFade = nullptr;
  TPanel* PanelFolderBrowse = nullptr;
  TZqSpeedButton* ZqFolderDown = nullptr;
  TZqSpeedButton* ZqFolderUp = nullptr;
  TPanel* PanelDelayButtons = nullptr;
  TZqSpeedButton* ZqSpeedDown = nullptr;
  TLabel* LabelDelay = nullptr;
  TZqSpeedButton* ZqSpeedUp = nullptr;
  TZqSpeedButton* ZqSpeedButton3 = nullptr;  // "Back to normal view"
  TZqSpeedButton* ZqSpeedButton1 = nullptr;  // "Hide"

  // Set when a drag of the bar starts, cleared once the bar has moved.
  bool FDragging = false;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormActivate(TObject* Sender);
  void FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void FormMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void FormMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ZqAutonextClick(TObject* Sender);
  void ZqPreviousClick(TObject* Sender);
  void ZqNextClick(TObject* Sender);
  void ZqShowInfoClick(TObject* Sender);
  void ZqStretchsmallerClick(TObject* Sender);
  void ZqFitInScreenClick(TObject* Sender);
  void ZqTumblistClick(TObject* Sender);
  void ZqImageInfoClick(TObject* Sender);
  void ZqFadeClick(TObject* Sender);
  void ZqFolderDownClick(TObject* Sender);
  void ZqFolderUpClick(TObject* Sender);
  void ZqSpeedUpClick(TObject* Sender);
  void ZqSpeedDownClick(TObject* Sender);
  void ZqSpeedButton1Click(TObject* Sender);
  void ZqSpeedButton3Click(TObject* Sender);
  // Offered for the main window's browse-panel and full-screen commands; no button of the
  // bar uses them.
  void ZqBrowsePanelClick(TObject* Sender);
  void ZqFullScreenClick(TObject* Sender);
};

extern TFormFloatB* FormFloatB;
