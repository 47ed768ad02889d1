// The preferences dialog's editor of the associated extensions: file types that the file
// list shows but that are opened with their registered program instead of being decoded.
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "core/UnitSetting.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"

void TFormSettings::PlaceAssociatedInListbox() {
  ListBox1->Clear();
  if (Form1->FAssociatedList) ListBox1->Items()->AddStrings(*Form1->FAssociatedList);
  FAssocChanged = false;
  Button5->SetEnabled(false);
}

void TFormSettings::Edit1Change(TObject* /*Sender*/) { Button3->SetEnabled(!Edit1->Text().empty()); }

void TFormSettings::Edit1KeyDown(TObject* Sender, uint16_t& Key, TShiftState /*Shift*/) {
  if (Key == VK_RETURN) Button3Click(Sender);
}

void TFormSettings::Button3Click(TObject* /*Sender*/) {
  std::string ext = AnsiUpperCase(Edit1->Text());
  if (ext.empty()) return;
  std::string error;
  // A leading dot is allowed; any other dot would make an extension no file name can end in.
  if (ext.find('.', 1) != std::string::npos) error = _("no dots allowed");
  if (ext[0] != '.') ext = "." + ext;
  if (error.empty() && ListBox1->Items()->IndexOf(ext) >= 0) error = _("Allready there");
  if (error.empty() && Form1->FKnownExtList && Form1->FKnownExtList->IndexOf(ext) >= 0 &&
      !(Form1->FAssociatedList && Form1->FAssociatedList->IndexOf(ext) >= 0))
    error = Format(_("Extension %s already used by the image viewer"), {ext});
  if (!error.empty()) {
    ShowMessage(error);
    return;
  }
  std::string info, program;
  Form1->GetAssociationInfo(ext, info, program);
  if (program == "n/a" && TranslatedMessageDialog(_("No associated program found for this file type, add anyway?"),
                                                  mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
    return;
  StaticText1->SetCaption("...");
  ListBox1->Items()->Add(ext);
  FAssocChanged = true;
  Button5->SetEnabled(true);
}

void TFormSettings::ListBox1Click(TObject* /*Sender*/) {
  const int index = ListBox1->ItemIndex();
  if (index < 0) return;
  Button4->SetEnabled(true);
  std::string info, program;
  Form1->GetAssociationInfo(ListBox1->Items()->Strings(index), info, program);
  StaticText1->SetCaption(program);
  ListBox1->SetHint(info);
}

void TFormSettings::Button4Click(TObject* /*Sender*/) {
  const int index = ListBox1->ItemIndex();
  if (index < 0) return;
  ListBox1->Items()->Delete(index);
  StaticText1->SetCaption("...");
  Button4->SetEnabled(false);
  FAssocChanged = true;
  Button5->SetEnabled(true);
}

void TFormSettings::Button5Click(TObject* /*Sender*/) { PlaceAssociatedInListbox(); }
