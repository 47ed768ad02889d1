#pragma once
// The print window. This first version holds the custom print size and the options that
// are stored settings; the preview and printing come with the window's own work.
#include "platform/gui/Forms.h"

class TPanel;
class TCheckBox;
class TRadioGroup;
class TZqSpeedButton;

class TPrintForm : public TForm {
 public:
  explicit TPrintForm(TComponent* AOwner);

  TPanel* Panel2 = nullptr;
  TZqSpeedButton* ZqClose = nullptr;  // "Close"
  TCheckBox* Centered = nullptr;      // "Centered", checked at first
  TPanel* Panel1 = nullptr;           // the custom settings, hidden at first
  TRadioGroup* Units = nullptr;       // 0 inch, 1 cm

  // Custom print size in printer pixels (0: automatic); 1400 each from creation on.
  int FPrintWidth = 0;
  int FPrintHeight = 0;

  void FormCreate(TObject* Sender);
  void ZqCloseClick(TObject* Sender);
};

extern TPrintForm* PrintForm;
