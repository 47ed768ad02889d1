// The preferences dialog's showing and closing, the option tree, and the options that act
// at once on the main window: editor, history, colours, language, slide delay, memo
// button and the extra buttons.
#include "controls/EventScrollbox.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/ProgramGlobals.h"
#include "core/Unit1.h"
#include "core/UnitSetting.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Spin.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"

namespace {

// A fixed file of the program's writable folder; its name compares without case.
std::string ProgramFile(const std::string& name) { return FindNameNoCase(Form1->FAppDir, name); }

}  // namespace

void TFormSettings::FormShow(TObject* /*Sender*/) {
  Image6->Picture()->Assign(Image2->Picture());
  ChB_Recursive->SetChecked(Form1->M_Recursive->Checked());
  Label8->SetCaption(Form1->FAppName + " " + Form1->FVersionText);
  SpinEdit1->SetValue(Form1->FSlideDelay);
  InitShotcutDialogs();
  ChB_Screensaver->SetChecked(Form1->FScreensaver);
  StaticText2->SetCaption(UiLanguageCode);
  // The language box names the language of that code.
  if (UiLanguageCode == "nl") {
    ComboBox1->SetItemIndex(1);
  } else if (UiLanguageCode == "en") {
    ComboBox1->SetItemIndex(0);
  } else {
    ComboBox1->SetItemIndex(-1);
    ComboBox1->SetText(_("Select a language"));
  }
  TreeView1->SetSelected(TreeView1->Items()->GetFirstNode());
  showGroup(0);
  // The window is not on the screen yet: the tree takes the focus when it appears.
  if (PageControl1->ActivePage() == TabSheet1) SetActiveControl(TreeView1);
  KillHistoryButton->SetEnabled(!ProgramFile("historyprogs.lst").empty());
  updateUsbCaption();
}

void TFormSettings::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  if (FAssocChanged &&
      TranslatedMessageDialog(_("Associated list changed, save now?"), mtConfirmation, {mbYes, mbNo}, 0) == mrYes &&
      Form1->FAssociatedList) {
    Form1->FAssociatedList->Clear();
    Form1->FAssociatedList->AddStrings(*ListBox1->Items());
    Form1->InitExtensions();
  }
  Form1->FScreensaver = ChB_Screensaver->Checked();
}

void TFormSettings::FormKeyDown(TObject* /*Sender*/, uint16_t& Key, TShiftState Shift) {
  if (Key != VK_ESCAPE || !(Shift == TShiftState())) return;
  // Esc in an open list closes only the list.
  if (ComboBox1->DroppedDown() || ColorBox1->DroppedDown()) return;
  Key = 0;
  if (Modal())
    SetModalResult(ZqButton1->ModalResult());
  else
    Close();
}

void TFormSettings::showGroup(int index) {
  for (int i = 0; i < GroupCount; ++i) GroupBox(i)->SetVisible(false);
  if (TGroupBox* box = GroupBox(index)) box->SetVisible(true);
}

void TFormSettings::TreeView1Click(TObject* /*Sender*/) {
  if (TTreeNode* node = TreeView1->Selected()) showGroup(node->ImageIndex());
}

void TFormSettings::PageControl1Change(TObject* /*Sender*/) {
  if (PageControl1->ActivePage() == TabSheet1 && TreeView1->CanFocus()) TreeView1->SetFocus();
}

void TFormSettings::Button1Click(TObject* /*Sender*/) {
  // Programs on Linux carry no extension: the filter offers every file.
  OpenDialog1->SetDefaultExt(std::string());
  OpenDialog1->SetFilter(_("Program") + "|*|" + _("All") + "|*.*");
  if (OpenDialog1->Execute()) JPGEdit->SetText(OpenDialog1->FileName());
}

void TFormSettings::KillHistoryButtonClick(TObject* /*Sender*/) {
  const std::string history = ProgramFile("historyprogs.lst");
  if (!history.empty() && TranslatedMessageDialog(_("Clear the last used program history list?"), mtConfirmation,
                                                  {mbYes, mbNo}, 0) == mrYes) {
    ForceDeleteFile(history);
    Form1->FillHistory();
  }
  KillHistoryButton->SetEnabled(!ProgramFile("historyprogs.lst").empty());
}

void TFormSettings::ColorBox1Change(TObject* /*Sender*/) {
  if (Form1) Form1->ScrollBox1->SetColor(ColorBox1->Selected());
}

void TFormSettings::Button2Click(TObject* Sender) {
  ColorBox1->SetSelected(clWindow);
  ColorBox1Change(Sender);
}

// The settings store sets the boxes below before the dialog is ever shown, which runs
// their handlers: they act only once the main window exists.
void TFormSettings::ChB_ListBgColorClick(TObject* /*Sender*/) {
  if (!Form1) return;
  Form1->FListColorMode = ChB_ListBgColor->Checked() ? 0 : 1;
  Form1->SetAppearence();
}

void TFormSettings::ComboBox1Click(TObject* /*Sender*/) {
  const std::string text = ComboBox1->Text();
  if (text == _("Dutch")) UiLanguageCode = "nl";
  if (text == _("English")) UiLanguageCode = "en";
  StaticText2->SetCaption(UiLanguageCode);
}

void TFormSettings::SpinEdit1Change(TObject* /*Sender*/) {
  if (!Form1) return;
  Form1->FSlideDelay = SpinEdit1->Value();
  Form1->LabelDelay->SetCaption(IntToStr(Form1->FSlideDelay));
}

void TFormSettings::ChB_MemoButtonClick(TObject* /*Sender*/) {
  // Hidden whatever the new state: the picture display shows it again for a picture
  // that has a memo.
  if (Form1) Form1->ZqSoundbutton->SetVisible(false);
}

void TFormSettings::ExtraButtonClick(TObject* Sender) {
  auto* box = dynamic_cast<TCheckBox*>(Sender);
  if (!box || !Form1) return;
  const std::pair<TCheckBox*, TControl*> pairs[] = {
      {ChB_ShowDelay, Form1->PanelDelayButtons}, {Chb_CopyButton, Form1->ZqSpeedButton1},
      {ChB_RotateButton, Form1->ZqRotate},       {CB_ShowCameraBttn, Form1->Zq_Paperclip},
      {ChB_AddImportButton, Form1->ZqImport},    {CB_Shotgraph, Form1->Zq_Shotgraph},
      {CB_FileSort, Form1->ZqSortmenu},          {CB_PrintButton, Form1->ZqPrint}};
  for (const auto& [check, control] : pairs)
    if (check == box && control) control->SetVisible(box->Checked());
}
