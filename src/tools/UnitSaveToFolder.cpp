#include "tools/UnitSaveToFolder.h"

#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Menus.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitSaveImage.h"

TSaveToFolderForm* SaveToFolderForm = nullptr;

namespace {
// The characters a name may not hold; typed into the prefix they are refused.
const std::string kRefusedNameChars = "\"*/:<>?\\|";
}  // namespace

TSaveToFolderForm::TSaveToFolderForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("SaveToFolderForm");
  SetCaption("Save file(s)");
  SetBorderStyle(bsDialog);
  SetFormStyle(fsStayOnTop);
  SetPosition(poMainFormCenter);
  SetClientWidth(592);
  SetClientHeight(330);

  A_Message = NewControl<TLabel>(this, this, "A_Message", "Select folder", 8, 6, 220, 15);
  // The folder tree: folders from the desktop's drives.
  ShellTreeView1 = NewControl<TQzDirTree21>(this, this, "ShellTreeView1", 8, 24, 240, 298);
  ShellTreeView1->SetPopUpMenuEnabled(false);
  ShellTreeView1->SetShowRoot(false);
  Label1 = NewControl<TLabel>(this, this, "Label1", "Save folder", 260, 6, 200, 15);
  Edit1 = NewControl<TEdit>(this, this, "Edit1", "", 260, 24, 324, 21);
  SetHintText(Edit1, "You can enter existing or new folders here also");
  Label12 = NewControl<TLabel>(this, this, "Label12", "File name prefix", 260, 56, 200, 15);
  PrefixText = NewControl<TEdit>(this, this, "PrefixText", "small_", 260, 74, 200, 21);
  SetHintText(PrefixText, "A prefix will be written before the file name");
  ChB_UsePrefix = NewCheckBox(this, this, "ChB_UsePrefix", "Enable Prefix", false, 260, 104, 320);
  SetHintText(ChB_UsePrefix, "If checked prefix will be used");
  Chb_lowercase = NewCheckBox(this, this, "Chb_lowercase", "Web save names", false, 260, 128, 320);
  SetHintText(Chb_lowercase, "Write file names in lower case, and replaces space with underscores");
  ChB_WriteExif = NewCheckBox(this, this, "ChB_WriteExif", "Don't write Exif to file", false, 260, 152, 320);
  SetHintText(ChB_WriteExif, "Check this if you don't want the exif data written in a copy.");
  ChBNoSpaceCheck = NewCheckBox(this, this, "ChBNoSpaceCheck", "No free space check", false, 260, 176, 320);

  PopupMenu1 = new TPopupMenu(this);
  PopupMenu1->SetName("PopupMenu1");
  SetDefault1 = NewMenuItem(this, PopupMenu1->Items(), "SetDefault1", "Set selected as default save folder");
  PDesktop = NewMenuItem(this, PopupMenu1->Items(), "PDesktop", "");
  PDocuments = NewMenuItem(this, PopupMenu1->Items(), "PDocuments", "");
  ZqPersonal = NewControl<TZqSpeedButton>(this, this, "ZqPersonal", "Set folder..", 260, 210, 120, 25);
  SetHintText(ZqPersonal, "Set default folder to save compressed files");
  ZqPersonal->SetPopupMenu(PopupMenu1);

  // Save checks the folder and the prefix first and sets the result itself, so a refused
  // input keeps the dialog open.
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "&Save", 376, 297, 100, 25);
  ZqButton2->SetDefault(true);
  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "&Cancel", 484, 297, 100, 25);
  ZqButton1->SetModalResult(mrCancel);
  ZqButton1->SetCancel(true);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnActivate = [this](TObject* Sender) { FormActivate(Sender); };
  ChB_UsePrefix->OnClick = [this](TObject* Sender) { ChB_UsePrefixClick(Sender); };
  ChB_WriteExif->OnClick = [this](TObject* Sender) { ChB_WriteExifClick(Sender); };
  ShellTreeView1->OnDirChange = [this](TObject* Sender, const std::string& Path) { ShellTreeView1Click(Sender, Path); };
  PrefixText->OnKeyPress = [this](TObject* Sender, char& Key) { PrefixTextKeyPress(Sender, Key); };
  PrefixText->OnExit = [this](TObject* Sender) { PrefixTextExit(Sender); };
  SetDefault1->OnClick = [this](TObject* Sender) { SetDefault1Click(Sender); };
  PDesktop->OnClick = [this](TObject* Sender) { PDesktopClick(Sender); };
  PDocuments->OnClick = [this](TObject* Sender) { PDocumentsClick(Sender); };
  ZqButton2->OnClick = [this](TObject* Sender) { ZqButton2Click(Sender); };
  DoCreate();
}

void TSaveToFolderForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TSaveToFolderForm::FormShow(TObject* /*Sender*/) {
  Edit1->SetText(Form1->FWebFolder);
  if (DirectoryExists(Form1->FWebFolder)) ShellTreeView1->OpenPath(Form1->FWebFolder);
  if (ShellTreeView1->CanFocus()) ShellTreeView1->SetFocus();
  // The tree selects the folder it opened; the field keeps the web folder as it is.
  Edit1->SetText(Form1->FWebFolder);
  ZqButton2->SetEnabled(GetPathKind(ShellTreeView1->SelectedPath()) != 0);
  PDocuments->SetCaption(Form1->FDocumentsFolder);
  PDesktop->SetCaption(Form1->FDesktopFolder);
}

void TSaveToFolderForm::FormActivate(TObject* Sender) {
  ChB_UsePrefixClick(Sender);
  ChB_WriteExifClick(Sender);
  // Line by line: the translations hold no line breaks.
  ChBNoSpaceCheck->SetHint(_("The free space check is based on the original image.") + "\r\n" +
                           _("Disable only when you are sure that the compressed files will fit.") + "\r\n" +
                           _("Affects only the jpg file free space check!"));
  ChBNoSpaceCheck->SetShowHint(true);
}

void TSaveToFolderForm::ChB_UsePrefixClick(TObject* /*Sender*/) { PrefixText->SetEnabled(ChB_UsePrefix->Checked()); }

void TSaveToFolderForm::ChB_WriteExifClick(TObject* /*Sender*/) {
  ChB_WriteExif->Font()->SetColor(ChB_WriteExif->Checked() ? clRed : clWindowText);
}

void TSaveToFolderForm::ShellTreeView1Click(TObject* /*Sender*/, const std::string& SelectedPath) {
  Edit1->SetText(SelectedPath);
  ZqButton2->SetEnabled(GetPathKind(SelectedPath) != 0);
}

void TSaveToFolderForm::PrefixTextKeyPress(TObject* /*Sender*/, char& Key) {
  if (Key != '\0' && kRefusedNameChars.find(Key) != std::string::npos) {
    MessageBeep();
    Key = '\0';
  }
}

void TSaveToFolderForm::PrefixTextExit(TObject* /*Sender*/) { Form1->FPrefix = PrefixText->Text(); }

void TSaveToFolderForm::UseAsWebFolder(const std::string& folder) {
  Form1->FWebFolder = folder;
  FormSaveImage->SetCaption(_("Save Folder = ") + folder);
}

void TSaveToFolderForm::SetDefault1Click(TObject* /*Sender*/) {
  const std::string folder = ShellTreeView1->SelectedPath();
  if (GetPathKind(folder) == 0) return;
  UseAsWebFolder(RemoveTrailingBackslash(folder));
  ShowMessage(_("Default save location is now: ") + RemoveTrailingBackslash(folder));
}

void TSaveToFolderForm::PDesktopClick(TObject* Sender) {
  if (!DirectoryExists(Form1->FDesktopFolder)) return;
  UseAsWebFolder(RemoveTrailingBackslash(Form1->FDesktopFolder));
  ShowMessage(_("Images will be saved at: ") + Form1->FWebFolder);
  FormShow(Sender);
}

void TSaveToFolderForm::PDocumentsClick(TObject* Sender) {
  if (!DirectoryExists(Form1->FDocumentsFolder)) return;
  UseAsWebFolder(RemoveTrailingBackslash(Form1->FDocumentsFolder));
  ShowMessage(_("Images will be saved at: ") + Form1->FWebFolder);
  FormShow(Sender);
}

void TSaveToFolderForm::ZqButton2Click(TObject* /*Sender*/) {
  const std::string treePath = ShellTreeView1->SelectedPath();
  FChosenFolder = treePath;
  const std::string prefix = PrefixText->Text();
  if (!prefix.empty()) {
    if ((ChB_UsePrefix->Checked() && prefix[0] == ' ') || prefix[0] == '.') {
      ShowMessage(_("Space or a \".\" not allowed at first text position"));
      return;
    }
    if (ChB_UsePrefix->Checked() && !IsValidFileName(prefix, true)) {
      ShowMessage(_("/\\:*?\"<>| characters are not allow in file names"));
      return;
    }
  }
  // A typed folder counts when it is another folder than the tree's (names compare exactly).
  const std::string typed = Trim(Edit1->Text());
  if (!typed.empty() && !SameFolderPath(typed, treePath)) {
    if (DirectoryExists(typed)) {
      FChosenFolder = typed;
    } else if (!IsFullPath(typed)) {
      ShowMessage(_("Could't create folder ") + typed);
      return;
    } else {
      if (TranslatedMessageDialog(_("Create folder ") + typed, mtConfirmation, {mbYes, mbNo}, 0) != mrYes) return;
      if (!ForceDirectories(RemoveTrailingBackslash(typed)) || !DirectoryExists(typed)) {
        ShowMessage(_("Could't create folder ") + typed);
        return;
      }
      FChosenFolder = typed;
    }
  }
  if (GetPathKind(FChosenFolder) == 0 || !DirectoryExists(FChosenFolder)) return;
  AddTrailingBackslash(FChosenFolder);
  Form1->FPrefix = prefix;
  SetModalResult(mrOk);
}
