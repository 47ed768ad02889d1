#pragma once
// The floating button bar: a borderless bar shown over the picture in full screen and
// in the slide show. This first version holds the start/pause button that mirrors the
// main window's and the button that hides the bar; the other buttons come with the
// bar's own work.
#include "platform/gui/Forms.h"

class TZqSpeedButton;

class TFormFloatB : public TForm {
 public:
  explicit TFormFloatB(TComponent* AOwner);

  TZqSpeedButton* ZqAutonext = nullptr;     // "Start/Pause" (toggle)
  TZqSpeedButton* ZqSpeedButton1 = nullptr; // "Hide"

  void FormCreate(TObject* Sender);
  void ZqSpeedButton1Click(TObject* Sender);
};

extern TFormFloatB* FormFloatB;
