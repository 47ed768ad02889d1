#include "tools/UnitSaveImage.h"

#include "controls/ZqSpeedButton.h"
#include "core/FormLayout.h"
#include "platform/gui/CheckLst.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"

TFormSaveImage* FormSaveImage = nullptr;

TFormSaveImage::TFormSaveImage(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormSaveImage");
  SetCaption("Compression center");
  SetFormStyle(fsStayOnTop);
  SetKeyPreview(true);
  SetBounds(230, 181, 700, 550);

  PanelButtons = NewAligned<TPanel>(this, this, "PanelButtons", alBottom, 34);
  int x = 4;
  auto button = [&](const char* name, const char* caption) {
    auto* b = NewControl<TZqSpeedButton>(this, PanelButtons, name, caption, x, 5, 96, 24);
    x += 100;
    return b;
  };
  Zq_Close = button("Zq_Close", "&Close");
  Zq_Save = button("Zq_Save", "&Save");
  Zq_Mail = button("Zq_Mail", "E-&mail");
  ZqOverWriteOrg = button("ZqOverWriteOrg", "S&ource");
  SetHintText(ZqOverWriteOrg, "Compress original files");
  ZqConfig = button("ZqConfig", "Quality/size");
  ZqConfig->SetGroupIndex(1);
  ZqConfig->SetAllowAllUp(true);

  PanelSettings = NewAligned<TPanel>(this, this, "PanelSettings", alTop, 64);
  PanelSettings->SetVisible(false);
  ComboBox1 = NewControl<TComboBox>(this, PanelSettings, "ComboBox1", 8, 8, 160, 21);
  ComboBox1->SetStyle(csDropDownList);
  SetItems(ComboBox1->Items(), {"80 pixels", "160 pixels", "320 pixels", "640 pixels", "800 pixels", "1024 pixels",
                                "1280 pixels", "1504 pixels -", "1680 pixels", "2048 pixels", "2256 pixels -",
                                "2592 pixels", "3008 pixels -", "3664 pixels", "Custom", "Real size 1:1"});
  ComboBox1->SetItemIndex(5);
  SetHintText(ComboBox1, "Select (longest) size");
  ComboBox2 = NewControl<TComboBox>(this, PanelSettings, "ComboBox2", 176, 8, 160, 21);
  ComboBox2->SetStyle(csDropDownList);
  SetItems(ComboBox2->Items(),
           {"poor quality", "low quality", "medium quality", "good quality", "high quality", "excellent"});
  ComboBox2->SetItemIndex(3);
  SetHintText(ComboBox2, "Select compression level");
  Ch_Filter = NewCheckBox(this, PanelSettings, "Ch_Filter", "Use resampling filter", true, 8, 38, 200);
  Ch_Strech = NewCheckBox(this, PanelSettings, "Ch_Strech", "Stretch smaller images", false, 216, 38, 200);

  Label13 = NewAligned<TLabel>(this, this, "Label13", alTop, 17);
  ChecklistPanel = NewAligned<TPanel>(this, this, "ChecklistPanel", alLeft, 220);
  ChecklistPanel->SetVisible(false);
  CheckListBox1 = NewAligned<TCheckListBox>(this, ChecklistPanel, "CheckListBox1", alClient);

  Zq_Close->OnClick = [this](TObject* Sender) { Zq_CloseClick(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormSaveImage::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TFormSaveImage::Zq_CloseClick(TObject* /*Sender*/) { Close(); }
