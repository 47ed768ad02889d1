#include "tools/UnitBatchRename2.h"

#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"
#include "tools/NameFields.h"

TBatchRenameForm* BatchRenameForm = nullptr;

namespace {
const char kExampleBase[] = "IMG00234";
const char kExampleExt[] = ".JPG";
constexpr int kHelpContext = 20;
bool IsSeparator(char c) { return c == ' ' || c == '-' || c == '_'; }
}  // namespace

TBatchRenameForm::TBatchRenameForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("BatchRenameForm");
  SetCaption("Replace/Add");
  SetBorderStyle(bsDialog);
  SetPosition(poMainFormCenter);
  SetKeyPreview(true);
  SetClientWidth(360);
  SetClientHeight(200);

  PageControl1 = NewControl<TPageControl>(this, this, "PageControl1", 8, 8, 344, 148);
  TabSheet1 = NewControl<TTabSheet>(this, PageControl1, "TabSheet1", "Replace string", 0, 0, 0, 0);
  TabSheet2 = NewControl<TTabSheet>(this, PageControl1, "TabSheet2", "Add string", 0, 0, 0, 0);
  TabSheet3 = NewControl<TTabSheet>(this, PageControl1, "TabSheet3", "Change case", 0, 0, 0, 0);
  PageControl1->SetActivePage(TabSheet1);

  NewControl<TLabel>(this, TabSheet1, "Label1", "Text to find", 8, 8, 150, 15);
  Edit1 = NewControl<TEdit>(this, TabSheet1, "Edit1", 8, 26, 150, 21);
  NewControl<TLabel>(this, TabSheet1, "Label2", "Replace with", 168, 8, 150, 15);
  Edit2 = NewControl<TEdit>(this, TabSheet1, "Edit2", 168, 26, 150, 21);
  ChB_Case = NewCheckBox(this, TabSheet1, "ChB_Case", "Case sensitive", false, 8, 56, 200);

  PrefixEdit = NewControl<TEdit>(this, TabSheet2, "PrefixEdit", 8, 8, 200, 21);
  SetHintText(PrefixEdit, " Check result at the example below");
  ChB_Suffix = NewCheckBox(this, TabSheet2, "ChB_Suffix", "Suffix", true, 216, 10, 120);
  SetHintText(ChB_Suffix, "text behind the name");
  DateButton = NewControl<TZqButton>(this, TabSheet2, "DateButton", "Date", 8, 36, 75, 25);
  SetHintText(DateButton, "insert (or remove) date at the caret position");
  Label3 = NewControl<TLabel>(this, TabSheet2, "Label3", "Pre- suffix example:", 8, 70, 320, 15);
  Label4 = NewControl<TLabel>(this, TabSheet2, "Label4", "", 8, 88, 320, 15);

  CaseGroup = NewControl<TRadioGroup>(this, TabSheet3, "CaseGroup", "", 8, 8, 200, 70);
  SetItems(CaseGroup->Items(), {"UPPER CASE", "lower case"});
  CaseGroup->SetItemIndex(0);

  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "Start", 144, 166, 100, 25);
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "Cancel", 252, 166, 100, 25);
  ZqButton2->SetModalResult(mrCancel);
  ZqSpeedButton1 = NewControl<TZqSpeedButton>(this, this, "ZqSpeedButton1", "Help", 8, 166, 60, 25);

  PrefixEdit->OnChange = [this](TObject* Sender) { PrefixEditChange(Sender); };
  PrefixEdit->OnKeyPress = [this](TObject* Sender, char& Key) { PrefixEditKeyPress(Sender, Key); };
  ChB_Suffix->OnClick = [this](TObject* Sender) { PrefixEditChange(Sender); };
  DateButton->OnClick = [this](TObject* Sender) { DateButtonClick(Sender); };
  ZqButton1->OnClick = [this](TObject* Sender) { ZqButton1Click(Sender); };
  ZqSpeedButton1->OnClick = [](TObject*) { Form1->ShowHelpContext(kHelpContext); };
  OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { FormKeyDown(Sender, Key, Shift); };
  OnActivate = [this](TObject* Sender) { FormActivate(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TBatchRenameForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TBatchRenameForm::FormActivate(TObject* Sender) { PrefixEditChange(Sender); }

void TBatchRenameForm::FormKeyDown(TObject* /*Sender*/, uint16_t& Key, TShiftState /*Shift*/) {
  if (Key != VK_F1) return;
  Key = 0;
  Form1->ShowHelpContext(kHelpContext);
}

std::string TBatchRenameForm::InsertDate(const std::string& Text) const {
  if (Pos(DateToken, Text) == 0) return Text;
  std::string result = ReplaceFirst(Text, DateToken, NameFieldDate());
  if (result.empty()) return result;
  if (ChB_Suffix->Checked()) {
    if (!IsSeparator(result.front())) result = " " + result;
  } else if (!IsSeparator(result.back())) {
    result += ' ';
  }
  return result;
}

std::string TBatchRenameForm::InsertRemoveItem(const std::string& Text, const std::string& Item, int Caret) {
  return ::InsertRemoveItem(Text, Item, Caret);
}

void TBatchRenameForm::PrefixEditChange(TObject* /*Sender*/) {
  const std::string resolved = InsertDate(PrefixEdit->Text());
  Label4->SetCaption(ChB_Suffix->Checked() ? kExampleBase + resolved + kExampleExt
                                           : resolved + kExampleBase + kExampleExt);
}

void TBatchRenameForm::PrefixEditKeyPress(TObject* /*Sender*/, char& Key) { NameFieldKeyPress(Key, true); }

void TBatchRenameForm::DateButtonClick(TObject* Sender) {
  PrefixEdit->SetText(InsertRemoveItem(PrefixEdit->Text(), DateToken, PrefixEdit->SelStart()));
  PrefixEditChange(Sender);
}

void TBatchRenameForm::ZqButton1Click(TObject* /*Sender*/) {
  // The dialog closes with OK only once the input is accepted; a refused input keeps it
  // open for correction.
  const std::string notAllowed = _("/\\:*?\"<>| characters are not allow in file names");
  TTabSheet* page = PageControl1->ActivePage();
  if (page == TabSheet1) {
    // An empty find text would find nothing in any name.
    if (Edit1->Text().empty()) {
      ShowMessage(_("Enter the text to find"));
      return;
    }
    if (!Edit2->Text().empty() && !IsValidFileName(Edit2->Text(), false)) {
      ShowMessage(notAllowed);
      return;
    }
    FRenameMode = 1;
    FFindText = Edit1->Text();
    FNewText = Edit2->Text();
  } else if (page == TabSheet2) {
    const bool suffix = ChB_Suffix->Checked();
    const std::string text = PrefixEdit->Text();
    // The text as typed and as it becomes with today's date must both be valid names.
    const std::string resolved = InsertDate(text);
    if (!IsValidFileName(text, !suffix) || !IsValidFileName(resolved, !suffix)) {
      ShowMessage(notAllowed);
      return;
    }
    FRenameMode = suffix ? 3 : 2;
    FNewText = resolved;
  } else {
    FRenameMode = 4;
  }
  SetModalResult(mrOk);
}
