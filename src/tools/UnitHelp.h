#pragma once
// The text window: shows and edits a plain text file (the program folder's "todo.txt").
// The caller sets FFileName, the caption and whether "Save" shows, then shows it.
#include <string>
#include <vector>

#include "platform/gui/Forms.h"

class TRichEdit;
class TStrings;
class TMemo;
class TPanel;
class TZqButton;

class THelpForm : public TForm {
 public:
  explicit THelpForm(TComponent* AOwner);

  TRichEdit* RichEdit1 = nullptr;
  TMemo* Memo1 = nullptr;  // hidden; the show loader's correction mode fills it
  TPanel* Panel1 = nullptr;
  TZqButton* ZqButton1 = nullptr;  // "Close"
  TZqButton* ZqButton2 = nullptr;  // "Save"; hidden and disabled until a caller shows it

  // The file the window loads and saves (empty: none), and its lines as loaded.
  std::string FFileName;
  std::vector<std::string> FLoaded;

  void FormCreate(TObject* Sender);
  // Loads FFileName when it exists (else the text stays as it is).
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  // "Save" is enabled while the text differs from the file.
  void RichEdit1Change(TObject* Sender);
  void ZqButton1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ZqButton1Click(TObject* Sender);
  // Writes the text to FFileName through a temporary file: a failure is said and leaves
  // the file as it was.
  void ZqButton2Click(TObject* Sender);
  // Writes the user's edit of the loaded lines (Edited) into FFileName as it is now: the
  // lines the user changed change, and what another program changed meanwhile stays
  // (EditListLines). False, after saying why, when it could not be written.
  bool SaveEdit(const TStrings& Edited);
};

extern THelpForm* HelpForm;
