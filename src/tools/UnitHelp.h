#pragma once
// The text window: shows and edits a plain text ("todo.txt", folder sizes, debug
// output). This first version holds its components and the file field; loading and
// saving come with the window's own work.
#include <string>

#include "platform/gui/Forms.h"

class TRichEdit;
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

  // The file the window loads and saves (empty: none).
  std::string FTextFile;

  void FormCreate(TObject* Sender);
  void ZqButton1Click(TObject* Sender);
};

extern THelpForm* HelpForm;
