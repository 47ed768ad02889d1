#pragma once
// The sort tool. The caller clears FFromDragList and shows it modally; a modal result of
// OK means the main window's file list holds the new order. The table and sorting come
// with the window's own work.
#include "platform/gui/Forms.h"

class TPanel;
class TZqSpeedButton;

class TSortForm : public TForm {
 public:
  explicit TSortForm(TComponent* AOwner);

  TPanel* Panel1 = nullptr;
  TZqSpeedButton* ZqSpeedButton1 = nullptr;  // "Close"

  // False: the tool works on the main window's file list; true: on the ordering window's.
  bool FFromDragList = false;

  void FormCreate(TObject* Sender);
  void ZqSpeedButton1Click(TObject* Sender);
};

extern TSortForm* SortForm;
