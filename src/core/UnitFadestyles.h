#pragma once
// The fade-style palette: a borderless tool window whose check boxes choose whether and
// how slide-show pictures fade in (stored settings that the fade code reads). The user
// drags it by its panel.
#include "platform/gui/Forms.h"

class TPanel;
class TGroupBox;
class TCheckBox;
class TImage;
class TBevel;
class TZqButton;

class TFormFadestyles : public TForm {
 public:
  explicit TFormFadestyles(TComponent* AOwner);

  TPanel* Panel1 = nullptr;
  TImage* Image1 = nullptr;
  TCheckBox* ChB_Fading = nullptr;  // "Fading on"
  TGroupBox* GroupBox1 = nullptr;   // "Fading styles"
  TCheckBox* ChB_Soft = nullptr;
  TCheckBox* ChB_Coarse = nullptr;
  TCheckBox* ChB_Direct = nullptr;
  TBevel* Bevel1 = nullptr;
  TZqButton* ZqButton1 = nullptr;  // "Close", modal result OK

  void FormCreate(TObject* Sender);
  // A press of the left button on the form, its panel or its image drags the window.
  void FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
};

extern TFormFadestyles* FormFadestyles;
