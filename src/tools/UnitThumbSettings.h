#pragma once
// The thumbnail settings palette: a borderless tool window the main window shows
// modally. Its controls and the tree-wide thumbnail creation come with its own work;
// this first version offers the close button.
#include "platform/gui/Forms.h"

class TZqButton;

class TFormThumbsettings : public TForm {
 public:
  explicit TFormThumbsettings(TComponent* AOwner);

  TZqButton* ZqButton1 = nullptr;  // "Close", modal result OK

  void FormCreate(TObject* Sender);
};

extern TFormThumbsettings* FormThumbsettings;
