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
  // The mouse over the picture closes the preview.
  void SpyImageMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  // The file list's entry framed under the mouse is framed no more.
  void FormClose(TObject* Sender, TCloseAction& Action);
};

extern TFormThumbSpy* FormThumbSpy;
