#include "tools/UnitGetMemorycard.h"

#include "controls/QzFileExplorer28.h"
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

TFormGetcard* FormGetcard = nullptr;

namespace {
const char kExampleBase[] = "IMG00234";
const char kExampleExt[] = ".JPG";
constexpr int kThumbBox = 89;
constexpr int kHelpContext = 17;
}  // namespace

TFormGetcard::TFormGetcard(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormGetcard");
  SetCaption("Import files from memorycard or folder");
  SetFormStyle(fsStayOnTop);
  SetKeyPreview(true);
  SetClientWidth(620);
  SetClientHeight(470);

  QzDirTree211 = NewControl<TQzDirTree21>(this, this, "QzDirTree211", 8, 8, 240, 454);
  NewControl<TLabel>(this, this, "Label6", "Source folder:", 256, 8, 356, 15);
  StaticText1 = NewControl<TStaticText>(this, this, "StaticText1", "", 256, 24, 356, 19);
  StaticText1->SetAutoSize(false);
  NewControl<TLabel>(this, this, "Label4", "Target folder:", 256, 48, 356, 15);
  StaticText2 = NewControl<TStaticText>(this, this, "StaticText2", "", 256, 64, 356, 19);
  StaticText2->SetAutoSize(false);
  SetHintText(StaticText2, "Change target folder by selecting a folder in the normal tree view");
  Panel5 = NewControl<TPanel>(this, this, "Panel5", "Files in folder", 256, 92, 240, 22);
  Panel5->SetAlignment(taLeftJustify);
  CheckBox1 = NewCheckBox(this, this, "CheckBox1", "All", true, 504, 94, 108);
  ListBox1 = NewControl<TListBox>(this, this, "ListBox1", 256, 118, 240, 196);
  ListBox1->SetMultiSelect(true);
  ListBox1->SetExtendedSelect(true);
  Image1 = NewControl<TImage>(this, this, "Image1", 504, 118, kThumbBox, kThumbBox);
  Image1->SetCenter(true);
  Label3 = NewControl<TLabel>(this, this, "Label3", "", 504, 212, 108, 15);
  thumbImage_ = NewControl<TImage>(this, this, "ThumbImage", 0, 0, 1, 1);
  thumbImage_->SetVisible(false);

  ChB_CardFilePrefix = NewCheckBox(this, this, "ChB_CardFilePrefix", "Enable Prefix/Suffix", false, 256, 322, 356);
  SetHintText(ChB_CardFilePrefix, "If checked prefix/suffix will be used");
  PanelPrefix = NewControl<TPanel>(this, this, "PanelPrefix", 256, 344, 356, 64);
  PanelPrefix->SetVisible(false);
  PrefixEdit = NewControl<TEdit>(this, PanelPrefix, "PrefixEdit", 4, 4, 150, 21);
  SetHintText(PrefixEdit, " Check result at the example below");
  ChB_Suffix = NewCheckBox(this, PanelPrefix, "ChB_Suffix", "Suffix", true, 160, 6, 114);
  SetHintText(ChB_Suffix, "text behind the name");
  DateButton = NewControl<TZqButton>(this, PanelPrefix, "DateButton", "Date", 280, 2, 70, 25);
  SetHintText(DateButton, "insert (or remove) date at the caret position");
  // The example name has a line of its own under its caption.
  NewControl<TLabel>(this, PanelPrefix, "Label2", "Pre- suffix example:", 4, 30, 130, 15);
  Label1 = NewControl<TLabel>(this, PanelPrefix, "Label1", "", 4, 46, 348, 15);

  NewControl<TLabel>(this, this, "Label5", "Progress", 256, 410, 60, 15);
  ProgressBar1 = NewControl<TProgressBar>(this, this, "ProgressBar1", 320, 410, 292, 16);
  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "&Start copy", 364, 437, 132, 25);
  ZqButton1->SetEnabled(false);
  ZqButton2 = NewControl<TZqButton>(this, this, "ZqButton2", "&Cancel", 512, 437, 100, 25);
  ZqSpeedButton1 = NewControl<TZqSpeedButton>(this, this, "ZqSpeedButton1", "Help", 256, 437, 60, 25);

  QzDirTree211->OnDirChange = [this](TObject* Sender, const std::string& path) { QzDirTree211DirChange(Sender, path); };
  // A folder this tree renames or moves takes the lines of the paperclip and the shows along,
  // as in the main window's tree.
  QzDirTree211->OnChangeFolder = [](const std::string& OldPath, const std::string& NewPath,
                                    const std::function<bool()>& Change, bool& Reported) {
    return Form1->ChangeFolderWithLists(OldPath, NewPath, Change, Reported);
  };
  ListBox1->OnClick = [this](TObject* Sender) { ListBox1Click(Sender); };
  CheckBox1->OnClick = [this](TObject* Sender) { CheckBox1Click(Sender); };
  ChB_CardFilePrefix->OnClick = [this](TObject* Sender) { ChB_CardFilePrefixClick(Sender); };
  ChB_Suffix->OnClick = [this](TObject* Sender) { PrefixEditChange(Sender); };
  PrefixEdit->OnChange = [this](TObject* Sender) { PrefixEditChange(Sender); };
  PrefixEdit->OnKeyPress = [this](TObject* Sender, char& Key) { PrefixEditKeyPress(Sender, Key); };
  DateButton->OnClick = [this](TObject* Sender) { DateButtonClick(Sender); };
  ZqButton1->OnClick = [this](TObject* Sender) { ZqButton1Click(Sender); };
  ZqButton2->OnClick = [this](TObject* Sender) { ZqButton2Click(Sender); };
  ZqSpeedButton1->OnClick = [](TObject*) { Form1->ShowHelpContext(kHelpContext); };
  OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { FormKeyDown(Sender, Key, Shift); };
  OnActivate = [this](TObject* Sender) { FormActivate(Sender); };
  OnCloseQuery = [this](TObject* Sender, bool& CanClose) { FormCloseQuery(Sender, CanClose); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormGetcard::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

std::string TFormGetcard::InsertDate(const std::string& Text) { return ReplaceFirst(Text, DateToken, NameFieldDate()); }

std::string TFormGetcard::InsertRemoveItem(const std::string& Text, const std::string& Item, int Caret) {
  return ::InsertRemoveItem(Text, Item, Caret);
}

std::string TFormGetcard::sourceFolder() const {
  std::string folder = QzDirTree211->SelectedPath();
  AddTrailingBackslash(folder);
  return folder;
}

void TFormGetcard::setCountText(int count, bool twoBlanks) {
  Panel5->SetCaption(_("Files: ") + (twoBlanks ? "  " : " ") + IntToStr(count));
}

bool TFormGetcard::AllSelected() const { return CheckBox1->Checked(); }

void TFormGetcard::QzDirTree211DirChange(TObject* /*Sender*/, const std::string& SelectedPath) {
  StaticText1->SetCaption(SelectedPath);
  std::string folder = SelectedPath;
  AddTrailingBackslash(folder);
  setCountText(CountFilesInFolder(folder), false);
  ListBox1->Clear();
  TSearchRec rec;
  if (DirectoryExists(folder) && FindFirst(folder + "*", faAnyFile, rec) == 0) {
    do {
      if (!(rec.Attr & faDirectory)) ListBox1->Items()->Add(rec.Name);
    } while (FindNext(rec) == 0);
    FindClose(rec);
  }
  Image1->Picture()->Assign(nullptr);
  Label3->SetCaption(std::string());
  ZqButton1->SetEnabled(ListBox1->Count() > 0);
  InitListbox();
}

void TFormGetcard::InitListbox() {
  if (AllSelected()) {
    setCountText(ListBox1->Count(), false);
    ListBox1->SelectAll();
  } else {
    ListBox1->ClearSelection();
    if (ListBox1->Count() == 0) {
      setCountText(0, true);
    } else {
      ListBox1->SetSelected(0, true);
      setCountText(1, true);
    }
  }
  ShowThumb(0);
}

void TFormGetcard::ListBox1Click(TObject* /*Sender*/) {
  ShowThumb(ListBox1->ItemIndex());
  if (AllSelected()) ListBox1->SelectAll();
  setCountText(ListBox1->SelCount(), false);
}

void TFormGetcard::CheckBox1Click(TObject* /*Sender*/) { InitListbox(); }

void TFormGetcard::ShowThumb(int Index) {
  Label3->SetCaption(std::string());
  Image1->Picture()->Assign(nullptr);
  if (Index < 0 || Index >= ListBox1->Count()) return;
  const std::string name = ListBox1->Items()->Strings(Index);
  const std::string file = sourceFolder() + name;
  if (!FileExists(file)) return;
  thumbImage_->Picture()->Assign(nullptr);
  Form1->SaveAsJpgThumb(file, thumbImage_, true);
  TGraphic* graphic = thumbImage_->Picture()->Graphic();
  if (!graphic || graphic->Empty()) return;
  Form1->FitForWindow(thumbImage_->Picture(), Image1->Picture(), kThumbBox, kThumbBox, false);
  thumbImage_->Picture()->Assign(nullptr);
  Label3->SetCaption(name);
}

void TFormGetcard::ChB_CardFilePrefixClick(TObject* Sender) {
  PrefixEdit->SetEnabled(ChB_CardFilePrefix->Checked());
  PanelPrefix->SetVisible(ChB_CardFilePrefix->Checked());
  PrefixEditChange(Sender);
}

void TFormGetcard::PrefixEditChange(TObject* /*Sender*/) {
  // The copy puts a blank between the name and the text, as the example shows.
  const std::string resolved = InsertDate(PrefixEdit->Text());
  Label1->SetCaption(ChB_Suffix->Checked() ? std::string(kExampleBase) + " " + resolved + kExampleExt
                                           : resolved + " " + kExampleBase + kExampleExt);
}

void TFormGetcard::PrefixEditKeyPress(TObject* /*Sender*/, char& Key) { NameFieldKeyPress(Key, false); }

void TFormGetcard::DateButtonClick(TObject* Sender) {
  PrefixEdit->SetText(InsertRemoveItem(PrefixEdit->Text(), DateToken, PrefixEdit->SelStart()));
  PrefixEditChange(Sender);
}

void TFormGetcard::ZqButton1Click(TObject* /*Sender*/) {
  // A second start while a copy runs (from the events the copy handles) is not taken.
  if (copyRunning_) return;
  const std::string folder = QzDirTree211->SelectedPath();
  if (folder.empty()) {
    Close();
    return;
  }
  const bool useText = ChB_CardFilePrefix->Checked() && !PrefixEdit->Text().empty();
  if (useText) {
    // A refused text leaves everything as it was: the window stays open for correction.
    const std::string text = PrefixEdit->Text();
    if (text[0] == ' ' || text[0] == '.') {
      ShowMessage(_("Space or a \".\" not allowed at first text position"));
      return;
    }
    if (!IsValidFileName(text, true)) {
      ShowMessage(_("/\\:*?\"<>| characters are not allow in file names"));
      return;
    }
  }
  FPrefixText = InsertDate(PrefixEdit->Text());
  const std::string source = sourceFolder();
  Form1->FWorkFiles->Clear();
  for (int i = 0; i < ListBox1->Count(); ++i)
    if (ListBox1->Selected(i)) Form1->FWorkFiles->Add(source + ListBox1->Items()->Strings(i));

  if (!DirectoryExists(source)) {
    ShowMessage(Format(_("Can't find folder %s"), {folder}));
    Form1->FWorkFiles->Clear();
    Close();
    return;
  }
  Form1->FFileAction = 20;
  if (Form1->FWorkFiles->Count() > 0) {
    const std::string question =
        Format(_n("Copy %d file to folder %s", "Copy %d files to folder %s", Form1->FWorkFiles->Count()),
               {Form1->FWorkFiles->Count(), Form1->QzDirTree211->SelectedPath()});
    if (TranslatedMessageDialog(question, mtConfirmation, {mbYes, mbNo}, 0) == mrNo) return;
    FCopying = true;
    copyRunning_ = true;
    // The copy lists the files it could not copy itself; what escapes it is said here.
    bool broken = false;
    try {
      Form1->CopyPastefiles(useText && IsValidFileName(FPrefixText, true) ? FPrefixText : std::string(), true);
    } catch (const std::exception&) {
      broken = true;
    }
    copyRunning_ = false;
    Form1->FCardFolder = folder;
    if (broken && !Application->Terminated()) ShowMessage(_("Error, can't copy files"));
  } else if (ListBox1->Count() > 0) {
    // The folder has files, only none is selected.
    ShowMessage(_("No file(s) selected"));
  } else {
    ShowMessage(Format(_("No file found in folder %s"), {folder}));
  }
  Form1->FWorkFiles->Clear();
  Form1->FFileAction = 20;
  Close();
  ProgressBar1->SetPosition(0);
}

void TFormGetcard::ZqButton2Click(TObject* /*Sender*/) {
  if (FCopying)
    StopRequested = true;
  else
    Close();
}

void TFormGetcard::FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift) {
  if (Key == VK_F1) {
    Key = 0;
    Form1->ShowHelpContext(kHelpContext);
    return;
  }
  if (Key != VK_ESCAPE || !(Shift == TShiftState())) return;
  Key = 0;
  ZqButton2Click(Sender);
}

void TFormGetcard::FormActivate(TObject* Sender) {
  PrefixEditChange(Sender);
  StaticText2->SetColor(clBtnFace);
}

void TFormGetcard::FormCloseQuery(TObject* /*Sender*/, bool& CanClose) {
  // While the copy runs the window stays: closing it asks the copy to stop, and the
  // window closes when the copy has ended.
  if (!copyRunning_) return;
  StopRequested = true;
  CanClose = false;
}

void TFormGetcard::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  // The thumbnails made while browsing the card are not kept.
  const std::string source = sourceFolder();
  for (int i = 0; i < ListBox1->Count(); ++i) {
    const std::string thumb = Form1->ThumbNailName(source + ListBox1->Items()->Strings(i));
    if (!thumb.empty() && FileExists(thumb)) DeleteFile(thumb);
  }
  ListBox1->Clear();
  // The thumbnail and its name go with the list they belong to.
  Image1->Picture()->Assign(nullptr);
  Label3->SetCaption(std::string());
  FCopying = false;
}
