#pragma once
// The about box. The main window's types command sets FCommentText (the supported picture
// types) and the version label, then shows the box modally.
#include <string>

#include "platform/gui/Forms.h"

class TPanel;
class TLabel;
class TButton;
class TImage;
class TRunningText;

class TAboutBox : public TForm {
 public:
  explicit TAboutBox(TComponent* AOwner);

  TPanel* Panel1 = nullptr;
  TImage* ProgramIcon = nullptr;  // the program's icon
  TLabel* ProductName = nullptr;
  TLabel* Version = nullptr;
  TLabel* VersionLabel = nullptr;  // the version text
  TLabel* Copyright = nullptr;     // what the program is
  TLabel* Label1 = nullptr;
  TLabel* Comments = nullptr;
  TRunningText* RunningText1 = nullptr;  // the line of thanks, running while the box shows
  TButton* OKButton = nullptr;  // default button, modal result OK

  // The supported picture types text; empty until the main window sets it.
  std::string FCommentText;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  // Each activation shows the types text the main window gave.
  void FormActivate(TObject* Sender);
};

extern TAboutBox* AboutBox;
