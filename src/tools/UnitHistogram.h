#pragma once
// The histogram window: a small borderless window that stays on top and shows the
// chart the main window draws into Image1's canvas (HistogramTools).
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

  void FormCreate(TObject* Sender);
  void ZqSpeedButton2Click(TObject* Sender);
};

extern THistogramForm* HistogramForm;
