#pragma once
// The histogram window: a small borderless window that stays on top and shows the
// chart the main window draws into Image1's canvas (HistogramTools). A click on the
// chart or on "T" makes it translucent or opaque again; dragging the chart moves it.
#include <array>

#include "platform/gui/Forms.h"
#include "tools/HistogramTools.h"

class TPanel;
class TImage;
class TZqSpeedButton;

class THistogramForm : public TForm {
 public:
  explicit THistogramForm(TComponent* AOwner);

  TPanel* Panel1 = nullptr;
  TImage* Image1 = nullptr;  // 256 x 140: the chart
  TZqSpeedButton* ZqSpeedButton1 = nullptr;  // "T": transparent on/off
  TZqSpeedButton* ZqSpeedButton2 = nullptr;  // "X": close

  // Fills the canvas's clip rectangle with the window's colour (the empty chart).
  void ClearHistogram(TCanvas& canvas);
  // The counts of the bytes of an 8-bit bitmap (one byte per pixel), H cleared first.
  void Histogram(const TBitmap& bitmap, std::array<int, 256>& H);
  // Scales every count to count * 100 div the largest when the largest is at least 100.
  void Histogram100(std::array<int, 256>& H);
  // Draws the counts (scaled by Histogram100) as one black line over silver into a
  // 256 x 125 Image1.
  void DrawHistogram(const std::array<int, 256>& H);

  void FormCreate(TObject* Sender);
  // Clears the check marks of the main window's histogram items.
  void FormClose(TObject* Sender, TCloseAction& Action);
  // Toggles the translucency (alpha 150).
  void Image1Click(TObject* Sender);
  void ZqSpeedButton1Click(TObject* Sender);
  // The left button moves the window.
  void Image1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ZqSpeedButton2Click(TObject* Sender);
};

extern THistogramForm* HistogramForm;
