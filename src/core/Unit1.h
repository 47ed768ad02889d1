#pragma once
// The main window. This first version is the window itself: the caption "Kivo2" and
// its creation handler; the folder tree, file list, picture area and their state come
// with the main window's own work.
#include <string>

#include "platform/gui/Forms.h"

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* AOwner);

  // "Kivo2": the program's name in window texts (not the settings key name).
  std::string FAppName;

  // OnCreate: translates the window's components, then sets the fixed caption.
  void FormCreate(TObject* Sender);
};

extern TForm1* Form1;
