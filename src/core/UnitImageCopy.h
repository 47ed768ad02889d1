#pragma once
// The copy window: one picture in a window of its own. The program-wide instance shows
// the file of the main window's File, Open; the main window's copy commands make more
// instances, one per picture. This first version holds the components the main window
// sets; tiling, dragging and reloading come with the window's own work.
#include "platform/gui/Forms.h"

class TToolBar;
class TToolButton;
class TLabel;
class TImage;
class TPopupMenu;
class TMenuItem;

class TImageCopyForm : public TForm {
 public:
  explicit TImageCopyForm(TComponent* AOwner);

  TToolBar* AlignToolBar = nullptr;
  TToolButton* ToolButton22 = nullptr;  // "Load original image"
  TScrollBox* ScrollBox1 = nullptr;
  TImage* Image1 = nullptr;
  TLabel* Label1 = nullptr;  // EXIF overlay text
  TPopupMenu* PopupMenu1 = nullptr;
  TMenuItem* Showtoolbar = nullptr;
  TMenuItem* Realsize1 = nullptr;

  void FormCreate(TObject* Sender);
};

extern TImageCopyForm* ImageCopyForm;
