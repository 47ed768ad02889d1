#pragma once
// The thumbnail preview: a borderless window that the main window shows, without
// taking the focus, beside the file list; the two labels draw a shadowed caption.
#include "platform/gui/Forms.h"

class TPanel;
class TImage;
class TLabel;

class TFormThumbSpy : public TForm {
 public:
  explicit TFormThumbSpy(TComponent* AOwner);

  TPanel* Panel1 = nullptr;
  TImage* SpyImage = nullptr;
  TLabel* Label1 = nullptr;  // silver, one pixel above Label2
  TLabel* Label2 = nullptr;  // black

  void FormCreate(TObject* Sender);
};

extern TFormThumbSpy* FormThumbSpy;
