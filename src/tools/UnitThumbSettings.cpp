#include "tools/UnitThumbSettings.h"

#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

TFormThumbsettings* FormThumbsettings = nullptr;

TFormThumbsettings::TFormThumbsettings(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormThumbsettings");
  SetCaption("Thumb settings");
  SetBorderStyle(bsNone);
  SetFormStyle(fsStayOnTop);
  SetClientWidth(232);
  SetClientHeight(330);

  Panel1 = NewControl<TPanel>(this, this, "Panel1", "Thumb settings", 0, 0, 232, 22);
  Panel1->SetColor(clInfoBk);
  Panel1->SetCursor(crHandPoint);
  SetHintText(Panel1, "Drag to move");
  Image1 = NewControl<TImage>(this, Panel1, "Image1", 2, 2, 18, 18);
  Image1->SetCursor(crHandPoint);
  SetHintText(Image1, "Drag to move");
  RadioGroup1 = NewControl<TRadioGroup>(this, this, "RadioGroup1", "Position", 8, 28, 216, 64);
  SetItems(RadioGroup1->Items(), {"top", "right", "bottom"});
  RadioGroup1->SetColumns(3);
  RadioGroup2 = NewControl<TRadioGroup>(this, this, "RadioGroup2", "Thumb size", 8, 96, 216, 64);
  SetItems(RadioGroup2->Items(), {"small", "medium", "large", "super"});
  RadioGroup2->SetColumns(2);
  RadioGroup3 = NewControl<TRadioGroup>(this, this, "RadioGroup3", "Columns (Right positon only)", 8, 164, 216, 94);
  SetItems(RadioGroup3->Items(), {"1 column", "2 columns", "3 columns", "4 columns"});
  RadioGroup3->SetColumns(2);
  CheckBox1 = NewCheckBox(this, this, "CheckBox1", "Show thumbs", false, 8, 266, 216);
  ZqButton1 = NewControl<TZqButton>(this, this, "ZqButton1", "Close", 124, 297, 100, 25);
  ZqButton1->SetModalResult(mrOk);
  tempImage_ = NewControl<TImage>(this, this, "TempImage", 0, 0, 1, 1);
  tempImage_->SetVisible(false);

  RadioGroup1->OnClick = [this](TObject* Sender) { RadioGroup1Click(Sender); };
  RadioGroup2->OnClick = [this](TObject* Sender) { RadioGroup2Click(Sender); };
  RadioGroup3->OnClick = [this](TObject* Sender) { RadioGroup3Click(Sender); };
  CheckBox1->OnClick = [this](TObject* Sender) { CheckBox1Click(Sender); };
  Panel1->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    Panel1MouseDown(Sender, Button, Shift, X, Y);
  };
  Image1->OnMouseDown = Panel1->OnMouseDown;
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormThumbsettings::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TFormThumbsettings::FormShow(TObject* /*Sender*/) {
  FInitializing = true;
  RadioGroup1->SetItemIndex(Form1->FThumbsPos - 1);
  RadioGroup2->SetItemIndex(Form1->FThumbSize);
  RadioGroup3->SetItemIndex(Form1->FThumbColumns - 1);
  CheckBox1->SetChecked(Form1->ZqTumblist->Down());
  FInitializing = false;
}

void TFormThumbsettings::RadioGroup1Click(TObject* /*Sender*/) {
  if (FInitializing || RadioGroup1->ItemIndex() < 0) return;
  Form1->FThumbsPos = RadioGroup1->ItemIndex() + 1;
  Form1->ZqTumblistClick(this);
}

void TFormThumbsettings::RadioGroup2Click(TObject* /*Sender*/) {
  if (FInitializing || RadioGroup2->ItemIndex() < 0) return;
  Form1->FThumbSize = RadioGroup2->ItemIndex();
  Application->ProcessMessages();
  Form1->ZqTumblistClick(this);
}

void TFormThumbsettings::RadioGroup3Click(TObject* /*Sender*/) {
  if (FInitializing || RadioGroup3->ItemIndex() < 0) return;
  Form1->FThumbColumns = RadioGroup3->ItemIndex() + 1;
  if (Form1->ZqTumblist->Down() && Form1->FThumbsPos == 2) Form1->ZqTumblistClick(this);
}

void TFormThumbsettings::CheckBox1Click(TObject* /*Sender*/) {
  if (FInitializing) return;
  if (Form1->FSlideShowMode) {
    // A slide show keeps the panel as it is; the box shows that.
    FInitializing = true;
    CheckBox1->SetChecked(Form1->ZqTumblist->Down());
    FInitializing = false;
    return;
  }
  Form1->ZqTumblist->SetDown(!Form1->ZqTumblist->Down());
  Form1->ZqTumblistClick(this);
}

void TFormThumbsettings::Panel1MouseDown(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/, int /*X*/,
                                         int /*Y*/) {
  if (Button != mbLeft) return;
  Screen->SetCursor(crSizeAll);
  ReleaseCapture();
  StartSystemMove();
  Screen->SetCursor(crDefault);
}

void TFormThumbsettings::GreateAllThumbsinTree() {
  TForm1* main = Form1;
  if (main->FBackgroundThumbs) return;
  main->HourGlassCursor();
  Application->ProcessMessages();
  const std::string root = main->QzDirTree211->SelectedPath();
  main->BGBuildingAvi->SetVisible(true);
  SetHintText(main->BGBuildingAvi, _("Creating thumbnails in the background, started at folder:") + "\r" + root);

  TStringList folders, files;
  main->FBackgroundThumbs = true;
  ListFolderTree(RemoveTrailingBackslash(root), folders);
  main->CreateallthumbsforSelTree->SetEnabled(false);
  main->Stopbackgroundcreation1->SetEnabled(true);

  // The pictures folder by folder, grouped in the order of the known extensions. The
  // extension is compared whole and without case: "x.jpeg" counts for ".JPEG" only.
  // Events are handled after each folder listed and each picture, so the program stays
  // usable; the run ends when its flag is cleared or the program closes.
  auto pumpStops = [main] {
    Application->ProcessMessages();
    return !main->FBackgroundThumbs || Application->Terminated();
  };
  for (int f = 0; f < folders.Count() && !pumpStops(); ++f) {
    std::string folder = folders.Strings(f);
    AddTrailingBackslash(folder);
    std::vector<std::string> names;
    TSearchRec rec;
    if (FindFirst(folder + "*", faArchive, rec) == 0) {
      do {
        if (!(rec.Attr & (faDirectory | faSymLink))) names.push_back(rec.Name);
      } while (FindNext(rec) == 0);
      FindClose(rec);
    }
    for (int e = 0; e < main->FKnownExtList->Count() && main->FBackgroundThumbs; ++e) {
      const std::string ext = UpperCase(main->FKnownExtList->Strings(e));
      for (const std::string& name : names)
        if (UpperCase(ExtractFileExt(name)) == ext) files.Add(folder + name);
    }
  }
  main->RestoreCursor();

  for (int i = 0; i < files.Count() && main->FBackgroundThumbs && !Application->Terminated(); ++i) {
    const std::string file = files.Strings(i);
    if (main->IsImageFile(file) && !main->ValidThumbFileExists(file)) {
      try {
        main->SaveAsJpgThumb(file, tempImage_, true);
      } catch (const std::exception&) {
        // A picture that cannot be read gets no thumbnail; the others still do.
      }
      tempImage_->Picture()->Assign(nullptr);
    }
    pumpStops();
  }

  if (Application->Terminated()) {
    main->FBackgroundThumbs = false;
    return;
  }
  main->CreateallthumbsforSelTree->SetEnabled(true);
  main->Stopbackgroundcreation1->SetEnabled(false);
  main->FBackgroundThumbs = false;
  main->BGBuildingAvi->SetVisible(false);
}
