#pragma once
// The pixel magnifier: a small tool window that stays on top and shows the screen around
// the mouse pointer enlarged 2 to 10 times, with a crosshair and the colour under the
// pointer as a swatch and as red, green and blue values. Over the magnifier itself it
// turns translucent and shows its settings instead. The main window's magnifier command
// starts its two timers and shows it.
//
// Where the display server lets programs read the screen (X11) the magnifier shows the
// whole desktop; where it forbids that (Wayland) it magnifies the program's own windows,
// so the picture shown in them (see platform/gui/ScreenGrab.h).
#include "platform/gui/Forms.h"

class TTimer;
class TImage;
class TPanel;
class TLabel;
class TGroupBox;
class TTrackBar;
class TCheckBox;
class TZqButton;

class TUnitZoomFloat : public TForm {
 public:
  explicit TUnitZoomFloat(TComponent* AOwner);

  TImage* Image1 = nullptr;         // the enlarged area
  TPanel* ColorPanel = nullptr;     // the colour under the pointer
  TLabel* Label6 = nullptr;         // its red, green and blue values
  TPanel* Panel1 = nullptr;         // the settings, shown while the pointer is over the window
  TGroupBox* GroupBox1 = nullptr;   // " Zoom factor "
  TTrackBar* Slider = nullptr;      // 2..10
  TCheckBox* ChB_KivoOnly = nullptr;  // "Use in Kivo2 only"
  TCheckBox* cbSrediste = nullptr;    // "Show RGB"
  TZqButton* ZqButton1 = nullptr;     // "Close"
  TTimer* Timer1 = nullptr;  // screen capture (the main window sets 25 ms)
  TTimer* Timer2 = nullptr;  // keeps the window on top (the main window sets 1000 ms)

  // The screen area shown for a pointer position: the pointer inflated by half the
  // image's size divided by the zoom, shifted to lie on the screen.
  TRect SourceRect(const TPoint& Pointer) const;
  // One capture around the pointer (what the capture timer does with the mouse's place).
  void CaptureAt(const TPoint& Pointer);

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormResize(TObject* Sender);
  void FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void FormMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void FormMouseWheel(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled);
  void Timer1Timer(TObject* Sender);
  void Timer2Timer(TObject* Sender);
  void SliderChange(TObject* Sender);
  void ZqButton1Click(TObject* Sender);

 private:
  bool placed_ = false;  // it has been shown once (and put in the picture area)
};

extern TUnitZoomFloat* UnitZoomFloat;
