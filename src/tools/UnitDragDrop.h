#pragma once
// The manual ordering window: the caller fills ListBox1 with the file list's entries and
// sets FOrderFile (a show file or "paperclip.lst") before showing it modally. Dragging,
// sorting and saving come with the window's own work.
#include <string>

#include "platform/gui/Forms.h"

class TListBox;
class TPanel;
class TZqSpeedButton;

class TDragForm : public TForm {
 public:
  explicit TDragForm(TComponent* AOwner);

  TListBox* ListBox1 = nullptr;
  TPanel* Panel4 = nullptr;
  TZqSpeedButton* ZqSpeedButton3 = nullptr;  // "Close"
  TZqSpeedButton* Zq_Save = nullptr;         // "Save"

  // The list file the order is saved to.
  std::string FOrderFile;

  void FormCreate(TObject* Sender);
  void ZqSpeedButton3Click(TObject* Sender);
};

extern TDragForm* DragForm;
