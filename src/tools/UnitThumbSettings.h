#pragma once
// The thumbnail settings palette: a borderless tool window that the main window shows
// modally over the picture area; it sets the thumbnail panel's position, thumbnail size
// and column count and switches the panel on and off. The unit also holds the background
// creation of the cached thumbnails of every picture below the folder tree's folder.
#include "platform/gui/Forms.h"

class TPanel;
class TImage;
class TRadioGroup;
class TCheckBox;
class TZqButton;

class TFormThumbsettings : public TForm {
 public:
  explicit TFormThumbsettings(TComponent* AOwner);

  TPanel* Panel1 = nullptr;  // dragging it moves the window
  TImage* Image1 = nullptr;  // the grip on Panel1
  TRadioGroup* RadioGroup1 = nullptr;  // "Position": top, right, bottom
  TRadioGroup* RadioGroup2 = nullptr;  // "Thumb size": small ... super
  TRadioGroup* RadioGroup3 = nullptr;  // "Columns (Right positon only)"
  TCheckBox* CheckBox1 = nullptr;      // "Show thumbs"
  TZqButton* ZqButton1 = nullptr;      // "Close", modal result OK

  // True while FormShow loads the controls: their click handlers then do nothing.
  bool FInitializing = false;

  // Makes the missing cached thumbnails of every picture below the main folder tree's
  // folder while the main window's FBackgroundThumbs stays set; the program stays usable
  // meanwhile (events are handled after each picture) and clearing the flag, or closing
  // the program, stops it.
  void GreateAllThumbsinTree();

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void RadioGroup1Click(TObject* Sender);
  void RadioGroup2Click(TObject* Sender);
  void RadioGroup3Click(TObject* Sender);
  void CheckBox1Click(TObject* Sender);
  void Panel1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

 private:
  TImage* tempImage_ = nullptr;  // receives each thumbnail made in the background
};

extern TFormThumbsettings* FormThumbsettings;
