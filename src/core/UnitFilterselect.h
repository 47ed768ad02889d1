#pragma once
// The resample-filter palette: a borderless tool window whose radio group holds the
// filter the picture display resamples with (a stored setting) and whose check box
// mirrors the main window's menu item Smoothstrech. The user drags it by its panel.
#include "platform/gui/Forms.h"

class TPanel;
class TRadioGroup;
class TCheckBox;
class TImage;
class TBevel;
class TZqButton;

class TFormFilterSelect : public TForm {
 public:
  explicit TFormFilterSelect(TComponent* AOwner);

  TPanel* Panel1 = nullptr;
  // 0 Box, 1 Triangle, 2 Hermite, 3 Bell, 4 Spline, 5 Mitchell, 6 Lanczos3; designed 2.
  TRadioGroup* RG_Resample = nullptr;
  TCheckBox* Ch_Filter = nullptr;  // mirrors the main window's menu item Smoothstrech
  TImage* Image1 = nullptr;
  TBevel* Bevel1 = nullptr;
  TZqButton* ZqButton1 = nullptr;  // "&Close", modal result OK

  // Set while the form copies the menu state into Ch_Filter.
  bool FUpdating = false;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  // A press of the left button on the form, its panel or its image drags the window.
  void FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void RG_ResampleClick(TObject* Sender);
  void Ch_FilterClick(TObject* Sender);
};

extern TFormFilterSelect* FormFilterSelect;

// The drag of a borderless palette: the size-all cursor while the window system moves
// the window, then the cursor it had. Other buttons do nothing. True when it started.
bool DragPaletteWindow(TCustomForm* form, TMouseButton Button);
