#include "tools/UnitAnalize.h"

#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Spin.h"

TFormAnalize* FormAnalize = nullptr;

TFormAnalize::TFormAnalize(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormAnalize");
  SetCaption("Exif analize");
  SetBounds(185, 174, 669, 555);

  Panel1 = NewAligned<TPanel>(this, this, "Panel1", alTop, 32);
  ChB_Subs = NewCheckBox(this, Panel1, "ChB_Subs", "Include subfolders", false, 8, 8, 140);
  ChB3D = NewCheckBox(this, Panel1, "ChB3D", "3D", false, 152, 8, 48);
  ChBbar = NewCheckBox(this, Panel1, "ChBbar", "Bar graph", false, 204, 8, 100);
  ComboBoxValue = NewControl<TComboBox>(this, Panel1, "ComboBoxValue", 308, 5, 170, 21);
  ComboBoxValue->SetStyle(csDropDownList);
  SetItems(ComboBoxValue->Items(), {"Statistics off", "Plotted value", "Times used", "Percent used",
                                    "Percent and total", "Show all statistics"});
  ComboBoxValue->SetItemIndex(-1);
  SetHintText(ComboBoxValue, "Select statistics");
  Cb_Custom = NewCheckBox(this, Panel1, "Cb_Custom", "Filter", false, 486, 8, 80);

  PanelMakeModel = NewAligned<TPanel>(this, this, "PanelMakeModel", alTop, 56);
  PanelMakeModel->SetVisible(false);
  NewControl<TLabel>(this, PanelMakeModel, "LabelMake", "Make", 8, 4, 150, 15);
  EditMake = NewControl<TEdit>(this, PanelMakeModel, "EditMake", 8, 22, 150, 21);
  NewControl<TLabel>(this, PanelMakeModel, "LabelModel", "Model", 166, 4, 150, 15);
  EditModel = NewControl<TEdit>(this, PanelMakeModel, "EditModel", 166, 22, 150, 21);
  NewControl<TLabel>(this, PanelMakeModel, "LabelMakerNote", "Maker Note:", 324, 4, 300, 15);
  MN_name_Edit = NewControl<TEdit>(this, PanelMakeModel, "MN_name_Edit", 324, 22, 150, 21);
  MN_Data_Edit = NewControl<TEdit>(this, PanelMakeModel, "MN_Data_Edit", 482, 22, 150, 21);

  PageControl1 = NewAligned<TPageControl>(this, this, "PageControl1", alClient);
  auto page = [&](const char* name, const char* caption) {
    return NewControl<TTabSheet>(this, PageControl1, name, caption, 0, 0, 0, 0);
  };
  TabSheet1 = page("TabSheet1", "Overview");
  TabSheet2 = page("TabSheet2", "Lens Length");
  TabSheet3 = page("TabSheet3", "ISO");
  TabSheet4 = page("TabSheet4", "Aperture");
  TabSheet5 = page("TabSheet5", "Shutter Speed");
  TabSheet6 = page("TabSheet6", "Path List + Image");
  TabSheet7 = page("TabSheet7", "Equivalent List");
  PageControl1->SetActivePage(TabSheet1);

  NewControl<TLabel>(this, TabSheet2, "LabelSteps", "Steps", 8, 10, 60, 15);
  SpinEdit1 = NewControl<TSpinEdit>(this, TabSheet2, "SpinEdit1", 72, 6, 60, 22);
  SpinEdit1->SetMaxValue(1000);
  SpinEdit1->SetValue(10);
  NewControl<TLabel>(this, TabSheet2, "LabelIgnore", "Ignore", 144, 10, 60, 15);
  SpinEdit2 = NewControl<TSpinEdit>(this, TabSheet2, "SpinEdit2", 208, 6, 60, 22);
  SpinEdit2->SetMaxValue(1000);
  SpinEdit2->SetValue(28);
  ZqSetforRealLength = NewControl<TZqSpeedButton>(this, TabSheet2, "ZqSetforRealLength", 280, 5, 24, 24);
  ZqSetforRealLength->SetGroupIndex(1);
  ZqSetforRealLength->SetAllowAllUp(true);
  MMPanel = NewControl<TPanel>(this, TabSheet2, "MMPanel", 8, 36, 620, 60);
  Edit1 = NewControl<TEdit>(this, MMPanel, "Edit1", 8, 8, 60, 21);
  Edit2 = NewControl<TEdit>(this, MMPanel, "Edit2", 76, 8, 60, 21);
  Ch_AlwaysCalc = NewCheckBox(this, MMPanel, "Ch_AlwaysCalc", "Always calculate", false, 148, 10, 160);
  NewControl<TLabel>(this, MMPanel, "LabelEquivalent",
                     "35mm equivalent values (used only when the 35mm equivalent is not found in the exif or "
                     "equivalent list) ",
                     8, 36, 604, 15);

  ChB_Raw = NewCheckBox(this, TabSheet5, "ChB_Raw", "1/100", true, 8, 8, 80);

  RadioGroup1 = NewControl<TRadioGroup>(this, TabSheet6, "RadioGroup1", "", 8, 8, 180, 100);
  SetItems(RadioGroup1->Items(), {"Focal length", "ISO", "Aperture", "Shutter"});
  RadioGroup1->SetItemIndex(0);

  ZqButton1 = NewControl<TZqButton>(this, TabSheet7, "ZqButton1", "Edit/show equivalent file", 8, 8, 180, 25);
  SetHintText(ZqButton1, "Load (or create if not present)");
  ZqButton2 = NewControl<TZqButton>(this, TabSheet7, "ZqButton2", "Save changes and reload", 196, 8, 180, 25);
  SetHintText(ZqButton2, "In order to activate changes");
  ZqButton2->SetEnabled(false);
  ZqButton3 = NewControl<TZqButton>(this, TabSheet7, "ZqButton3", "Close", 384, 8, 100, 25);
  SetHintText(ZqButton3, "Close disgard changes");
  ZqButton3->SetEnabled(false);
  Memo1 = NewControl<TMemo>(this, TabSheet7, "Memo1", 8, 40, 620, 360);
  Memo1->SetScrollBars(ssBoth);
  Memo1->SetEnabled(false);
  Memo1->SetColor(clCream);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormAnalize::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }
