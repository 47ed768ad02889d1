// The Shotgraph window: its components, the chart layout, statistics marks, zooming,
// the lens-mode indicator, the path list with its picture and the saving of charts
// and lists.
#include "tools/UnitAnalize.h"

#include <algorithm>

#include "controls/RowPanel.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "tools/ExifInfoUnit2.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Spin.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/Charts.h"

TFormAnalize* FormAnalize = nullptr;

namespace {

const TColor kNeedsRunColor = TColor(0xCBDCED);
const TColor kUpToDateColor = TColor(0xC0DCC0);

// The number of characters (not bytes) of a UTF-8 text.
int CharCount(const std::string& text) {
  return int(std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

TChart* NewChart(TFormAnalize* form, TWinControl* parent, const char* name, const std::string& title) {
  auto* chart = NewControl<TChart>(form, parent, name, 0, 0, 300, 200);
  chart->SetTitleText(_(title));
  chart->SetLeftAxisTitle(_("times used"));
  return chart;
}

// A tool panel along the top of a page.
// A bar of tools over a page; its controls line up in rows (TRowPanel::LineUp) once made.
TRowPanel* ToolPanel(TFormAnalize* form, TWinControl* page, const char* name, int height) {
  auto* panel = NewAligned<TRowPanel>(form, page, name, alTop, height);
  panel->SetBevelOuter(bvNone);
  panel->SetRowHeight(30);
  panel->SetSpacing(4);
  return panel;
}

// The status bar's hints on dragging in the charts.
std::string DragHint() {
  return _("Zoom in = drag L-mouse button to right, zoom out drag to left - Pan = drag with R-mouse button");
}
std::string ChartDragHint() {
  return _("Left mouse drag (Up/Down) = zoom. Right mouse drag = pan. Invert Zoom rectangle = reset.");
}

}  // namespace

TFormAnalize::TFormAnalize(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormAnalize");
  SetCaption("Exif analize");
  SetBounds(185, 174, 669, 555);
  SetKeyPreview(true);

  Panel1 = NewAligned<TPanel>(this, this, "Panel1", alTop, 62);
  ChB_Subs = NewCheckBox(this, Panel1, "ChB_Subs", "Include subfolders", false, 8, 6, 140);
  ChB3D = NewCheckBox(this, Panel1, "ChB3D", "3D", false, 152, 6, 48);
  ChBbar = NewCheckBox(this, Panel1, "ChBbar", "Bar graph", false, 204, 6, 90);
  ComboBoxValue = NewControl<TComboBox>(this, Panel1, "ComboBoxValue", 300, 3, 160, 21);
  ComboBoxValue->SetStyle(csDropDownList);
  SetItems(ComboBoxValue->Items(), {"Statistics off", "Plotted value", "Times used", "Percent used",
                                    "Percent and total", "Show all statistics"});
  ComboBoxValue->SetItemIndex(-1);
  SetHintText(ComboBoxValue, "Select statistics");
  Cb_Custom = NewCheckBox(this, Panel1, "Cb_Custom", "Filter", false, 468, 6, 70);
  SpinEdit3 = NewControl<TSpinEdit>(this, Panel1, "SpinEdit3", 544, 3, 56, 22);
  SpinEdit3->SetMinValue(-10);
  SpinEdit3->SetMaxValue(110);
  SpinEdit3->SetValue(0);
  SetHintText(SpinEdit3, "Stretch horizontaly, set max. points for the charts, default 0 is off");
  StartAnalizing = NewControl<TZqButton>(this, Panel1, "StartAnalizing", "Start analyzing", 8, 32, 120, 25);
  SetHintText(StartAnalizing, "You can select any folder while the analyzer is active");
  StopAnalizing = NewControl<TZqButton>(this, Panel1, "StopAnalizing", "Stop", 8, 32, 120, 25);
  StopAnalizing->SetVisible(false);
  StatusPanel = NewControl<TPanel>(this, Panel1, "StatusPanel", 134, 32, 130, 25);
  SetHintText(StatusPanel, "If the background is red, you need to (re)analyse");
  ProgrBarCollect = NewControl<TProgressBar>(this, Panel1, "ProgrBarCollect", 272, 36, 180, 16);
  ProgrBarAnalyse = NewControl<TProgressBar>(this, Panel1, "ProgrBarAnalyse", 458, 36, 180, 16);
  for (TProgressBar* bar : {ProgrBarCollect, ProgrBarAnalyse}) bar->SetSmooth(true);

  PanelMakeModel = NewAligned<TPanel>(this, this, "PanelMakeModel", alTop, 48);
  PanelMakeModel->SetVisible(false);
  NewControl<TLabel>(this, PanelMakeModel, "LabelMake", "Make", 8, 4, 150, 15);
  EditMake = NewControl<TEdit>(this, PanelMakeModel, "EditMake", 8, 20, 150, 21);
  NewControl<TLabel>(this, PanelMakeModel, "LabelModel", "Model", 166, 4, 150, 15);
  EditModel = NewControl<TEdit>(this, PanelMakeModel, "EditModel", 166, 20, 150, 21);
  NewControl<TLabel>(this, PanelMakeModel, "LabelMakerNote", "Maker Note:", 324, 4, 300, 15);
  MN_name_Edit = NewControl<TEdit>(this, PanelMakeModel, "MN_name_Edit", 324, 20, 150, 21);
  MN_Data_Edit = NewControl<TEdit>(this, PanelMakeModel, "MN_Data_Edit", 482, 20, 150, 21);

  StatusBar1 = NewAligned<TStatusBar>(this, this, "StatusBar1", alBottom, 20);
  StatusBar1->SetSimplePanel(true);
  // The window is wide enough for each hint in the user's language, as far as the work
  // area allows.
  for (const std::string& hint : {ChartDragHint(), DragHint()}) {
    StatusBar1->SetSimpleText(hint);
    const int frame = Width() - ClientWidth();
    if (TSize needed, room; StatusBar1->TextRoom(needed, room) && needed.cx > room.cx)
      SetClientWidth(std::min(ClientWidth() + needed.cx - room.cx, Screen->WorkAreaWidth() - frame));
  }
  SaveDialog1 = new TSaveDialog(this);
  SaveDialog1->SetName("SaveDialog1");

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

  // Overview.
  TRowPanel* overviewBar = ToolPanel(this, TabSheet1, "PanelOverviewBar", 30);
  ZqSpeedButton8 = NewControl<TZqSpeedButton>(this, overviewBar, "ZqSpeedButton8", "Fit graph", 4, 3, 90, 24);
  SetHintText(ZqSpeedButton8, "Reset overview zooms and scrolls");
  ZqSpeedButton8->SetEnabled(false);
  ZqSpeedButton9 = NewControl<TZqSpeedButton>(this, overviewBar, "ZqSpeedButton9", "Help", 98, 3, 60, 24);
  SetHintText(ZqSpeedButton9, "Help");
  overviewBar->LineUp();
  PanelOverview = NewAligned<TPanel>(this, TabSheet1, "PanelOverview", alClient);
  PanelOverview->SetBevelOuter(bvNone);
  Chart5 = NewChart(this, PanelOverview, "Chart5", "focal length usage (mm)");
  Chart6 = NewChart(this, PanelOverview, "Chart6", "iso");
  Chart7 = NewChart(this, PanelOverview, "Chart7", "aperture");
  Chart8 = NewChart(this, PanelOverview, "Chart8", "shutter speed (sec)");
  LineSeries1 = Chart5->AddLineSeries();
  BarSeries1 = Chart5->AddBarSeries();
  BarSeries2 = Chart6->AddBarSeries();
  BarSeries3 = Chart7->AddBarSeries();
  BarSeries4 = Chart8->AddBarSeries();
  // Every chart's bars in the colour of the first series.
  for (TChartSeries* s : std::initializer_list<TChartSeries*>{BarSeries1, BarSeries2, BarSeries3, BarSeries4})
    s->SetSeriesColor(clRed);

  // Lens Length.
  TRowPanel* lensBar = ToolPanel(this, TabSheet2, "PanelLens", 94);
  PanelLens = lensBar;
  ZqSpeedButton1 = NewControl<TZqSpeedButton>(this, PanelLens, "ZqSpeedButton1", "Fit graph", 4, 3, 80, 24);
  ZqSaveDate = NewControl<TZqSpeedButton>(this, PanelLens, "ZqSaveDate", "Save graph as bmp", 88, 3, 130, 24);
  NewControl<TLabel>(this, PanelLens, "LabelSteps", "Steps", 226, 8, 40, 15);
  SpinEdit1 = NewControl<TSpinEdit>(this, PanelLens, "SpinEdit1", 266, 4, 50, 22);
  SpinEdit1->SetMinValue(1);
  SpinEdit1->SetMaxValue(50);
  SpinEdit1->SetValue(10);
  NewControl<TLabel>(this, PanelLens, "LabelIgnore", "Ignore", 324, 8, 44, 15);
  SpinEdit2 = NewControl<TSpinEdit>(this, PanelLens, "SpinEdit2", 368, 4, 50, 22);
  SpinEdit2->SetMinValue(0);
  SpinEdit2->SetMaxValue(49);
  SpinEdit2->SetValue(28);
  ChBoxSteps = NewCheckBox(this, PanelLens, "ChBoxSteps", "Use steps", false, 426, 6, 90);
  ZqSetforRealLength =
      NewControl<TZqSpeedButton>(this, PanelLens, "ZqSetforRealLength", "Real lens length", 520, 3, 120, 24);
  ZqSetforRealLength->SetGroupIndex(1);
  ZqSetforRealLength->SetAllowAllUp(true);
  MMPanel = NewControl<TPanel>(this, PanelLens, "MMPanel", 4, 32, 640, 58);
  Edit1 = NewControl<TEdit>(this, MMPanel, "Edit1", 8, 6, 60, 21);
  Edit2 = NewControl<TEdit>(this, MMPanel, "Edit2", 76, 6, 60, 21);
  Ch_AlwaysCalc = NewCheckBox(this, MMPanel, "Ch_AlwaysCalc", "Always calculate", false, 148, 8, 160);
  NewControl<TLabel>(this, MMPanel, "LabelEquivalent",
                     "35mm equivalent values (used only when the 35mm equivalent is not found in the exif or "
                     "equivalent list) ",
                     8, 34, 624, 15);
  lensBar->LineUp();

  // ISO, Aperture, Shutter Speed.
  TRowPanel* isoBar = ToolPanel(this, TabSheet3, "PanelIso", 30);
  PanelIso = isoBar;
  ZqSpeedButton2 = NewControl<TZqSpeedButton>(this, PanelIso, "ZqSpeedButton2", "Fit graph", 4, 3, 80, 24);
  ZqSpeedButton5 = NewControl<TZqSpeedButton>(this, PanelIso, "ZqSpeedButton5", "Save graph as bmp", 88, 3, 130, 24);
  isoBar->LineUp();
  TRowPanel* apertureBar = ToolPanel(this, TabSheet4, "PanelAperture", 30);
  PanelAperture = apertureBar;
  ZqSpeedButton3 = NewControl<TZqSpeedButton>(this, PanelAperture, "ZqSpeedButton3", "Fit graph", 4, 3, 80, 24);
  ZqSpeedButton6 =
      NewControl<TZqSpeedButton>(this, PanelAperture, "ZqSpeedButton6", "Save graph as bmp", 88, 3, 130, 24);
  apertureBar->LineUp();
  TRowPanel* shutterBar = ToolPanel(this, TabSheet5, "PanelShutter", 30);
  PanelShutter = shutterBar;
  ZqSpeedButton4 = NewControl<TZqSpeedButton>(this, PanelShutter, "ZqSpeedButton4", "Fit graph", 4, 3, 80, 24);
  ZqSpeedButton7 =
      NewControl<TZqSpeedButton>(this, PanelShutter, "ZqSpeedButton7", "Save graph as bmp", 88, 3, 130, 24);
  ChB_Raw = NewCheckBox(this, PanelShutter, "ChB_Raw", "1/100", true, 226, 6, 60);
  NewControl<TLabel>(this, PanelShutter, "LabelRaw", "Note: if checked, some shutters speed fractions will be rounded.",
                     290, 8, 360, 15);
  shutterBar->LineUp();
  for (TZqSpeedButton* fit : {ZqSpeedButton1, ZqSpeedButton2, ZqSpeedButton3, ZqSpeedButton4}) fit->SetEnabled(false);
  for (TZqSpeedButton* save : {ZqSaveDate, ZqSpeedButton5, ZqSpeedButton6, ZqSpeedButton7})
    SetHintText(save, "Save graph as bmp");

  // Path List + Image.
  TPanel* pathTools = NewAligned<TPanel>(this, TabSheet6, "PanelPathTools", alLeft, 200);
  pathTools->SetBevelOuter(bvNone);
  RadioGroup1 = NewControl<TRadioGroup>(this, pathTools, "RadioGroup1", "", 4, 4, 190, 100);
  SetItems(RadioGroup1->Items(), {"Focal length", "ISO", "Aperture", "Shutter"});
  RadioGroup1->SetItemIndex(0);
  Zq_SaveRichedit = NewControl<TZqSpeedButton>(this, pathTools, "Zq_SaveRichedit", "Save as file", 4, 110, 120, 24);
  SetHintText(Zq_SaveRichedit, "Save as file");
  Zq_SaveRichedit->SetEnabled(false);
  Label15 = NewControl<TLabel>(this, pathTools, "Label15", "", 4, 140, 190, 110);
  Label15->SetWordWrap(true);
  Image1 = NewControl<TImage>(this, pathTools, "Image1", 4, 254, 190, 142);
  Image1->SetStretch(true);
  Image1->SetProportional(true);
  Image1->SetCenter(true);
  RichEdit1 = NewAligned<TRichEdit>(this, TabSheet6, "RichEdit1", alClient);
  RichEdit1->SetScrollBars(ssBoth);
  RichEdit1->SetWordWrap(false);
  RichEdit1->SetReadOnly(true);

  // Equivalent List.
  TRowPanel* listTools = ToolPanel(this, TabSheet7, "PanelListTools", 32);
  ZqButton1 = NewControl<TZqButton>(this, listTools, "ZqButton1", "Edit/show equivalent file", 4, 4, 170, 25);
  SetHintText(ZqButton1, "Load (or create if not present)");
  ZqButton2 = NewControl<TZqButton>(this, listTools, "ZqButton2", "Save changes and reload", 178, 4, 170, 25);
  SetHintText(ZqButton2, "In order to activate changes");
  ZqButton2->SetEnabled(false);
  ZqButton3 = NewControl<TZqButton>(this, listTools, "ZqButton3", "Close", 352, 4, 80, 25);
  SetHintText(ZqButton3, "Close disgard changes");
  ZqButton3->SetEnabled(false);
  ZqButton4 = NewControl<TZqButton>(this, listTools, "ZqButton4", "Load Defaults", 436, 4, 110, 25);
  ZqSpeedButton10 = NewControl<TZqSpeedButton>(this, listTools, "ZqSpeedButton10", "Help", 550, 4, 60, 25);
  SetHintText(ZqSpeedButton10, "Help");
  listTools->LineUp();
  Memo1 = NewAligned<TMemo>(this, TabSheet7, "Memo1", alClient);
  Memo1->SetScrollBars(ssBoth);
  Memo1->SetWordWrap(false);
  Memo1->SetEnabled(false);
  Memo1->SetColor(clCream);

  // Events.
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnActivate = [this](TObject* Sender) { FormActivate(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnResize = [this](TObject* Sender) { FormResize(Sender); };
  // The grid follows the overview's own size, which the layout settles after the form's.
  PanelOverview->OnResize = [this](TObject* Sender) { FormResize(Sender); };
  OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { FormKeyDown(Sender, Key, Shift); };
  ZqSpeedButton9->OnClick = [](TObject*) { Form1->ShowHelpContext(15); };
  ZqSpeedButton10->OnClick = [](TObject*) { Form1->ShowHelpContext(25); };
  StartAnalizing->OnClick = [this](TObject* Sender) { StartAnalizingClick(Sender); };
  StopAnalizing->OnClick = [this](TObject* Sender) { StopAnalizingClick(Sender); };
  ComboBoxValue->OnChange = [this](TObject* Sender) { ComboBoxValueChange(Sender); };
  ChBbar->OnClick = [this](TObject* Sender) { ChBbarClick(Sender); };
  ChB3D->OnClick = [this](TObject* Sender) { ChB3DClick(Sender); };
  Cb_Custom->OnClick = [this](TObject* Sender) { Cb_CustomClick(Sender); };
  for (TControl* c : std::initializer_list<TControl*>{ChB_Subs, ChBoxSteps, Ch_AlwaysCalc, ChB_Raw, RadioGroup1})
    c->OnClick = [this](TObject* Sender) { ChBoxStepsClick(Sender); };
  SpinEdit3->OnChange = [this](TObject* Sender) { SpinEdit3Change(Sender); };
  StatusPanel->OnDblClick = [this](TObject* Sender) { StatusPanelDblClick(Sender); };
  for (TEdit* e : {Edit1, Edit2}) e->OnKeyPress = [this](TObject* Sender, char& Key) { Edit2KeyPress(Sender, Key); };
  ZqSetforRealLength->OnClick = [this](TObject* Sender) { ZqSetforRealLengthClick(Sender); };
  PageControl1->OnChange = [this](TObject* Sender) { PageControl1Change(Sender); };
  const std::pair<TChart*, TTabSheet*> chartPages[] = {
      {Chart5, TabSheet2}, {Chart6, TabSheet3}, {Chart7, TabSheet4}, {Chart8, TabSheet5}};
  for (auto [chart, sheet] : chartPages) {
    chart->OnZoom = [this](TObject* Sender) { Chart5Zoom(Sender); };
    chart->OnUndoZoom = [this](TObject* Sender) { Chart5UndoZoom(Sender); };
    chart->OnScroll = [this](TObject* Sender) { Chart5Scroll(Sender); };
    chart->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) { Chart5MouseMove(Sender, Shift, X, Y); };
    chart->OnDblClick = [this, chart, sheet](TObject*) { ChartDblClick(chart, sheet); };
  }
  const std::pair<TZqSpeedButton*, TChart*> fits[] = {
      {ZqSpeedButton1, Chart5}, {ZqSpeedButton2, Chart6}, {ZqSpeedButton3, Chart7}, {ZqSpeedButton4, Chart8}};
  for (auto [button, chart] : fits) button->OnClick = [this, chart, button](TObject*) { FitButtonClick(chart, button); };
  ZqSpeedButton8->OnClick = [this](TObject* Sender) { ZqSpeedButton8Click(Sender); };
  ZqSaveDate->OnClick = [this](TObject*) { SaveChartClick(Chart5, "Focal_length_graph.bmp"); };
  ZqSpeedButton5->OnClick = [this](TObject*) { SaveChartClick(Chart6, "ISO_graph.bmp"); };
  ZqSpeedButton6->OnClick = [this](TObject*) { SaveChartClick(Chart7, "Aperture_graph.bmp"); };
  ZqSpeedButton7->OnClick = [this](TObject*) { SaveChartClick(Chart8, "Shutter_graph.bmp"); };
  Zq_SaveRichedit->OnClick = [this](TObject* Sender) { Zq_SaveRicheditClick(Sender); };
  for (TControl* panel : std::initializer_list<TControl*>{Panel1, overviewBar, PanelLens, PanelIso, PanelAperture,
                                                          PanelShutter, pathTools, listTools})
    panel->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) { Panel1MouseMove(Sender, Shift, X, Y); };
  RichEdit1->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    RichEdit1MouseDown(Sender, Button, Shift, X, Y);
  };
  RichEdit1->OnKeyUp = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { RichEdit1KeyUp(Sender, Key, Shift); };
  ZqButton1->OnClick = [this](TObject* Sender) { ZqButton1Click(Sender); };
  ZqButton2->OnClick = [this](TObject* Sender) { ZqButton2Click(Sender); };
  ZqButton3->OnClick = [this](TObject* Sender) { ZqButton3Click(Sender); };
  ZqButton4->OnClick = [this](TObject* Sender) { ZqButton4Click(Sender); };
  Memo1->OnChange = [this](TObject* Sender) { Memo1Change(Sender); };
  DoCreate();
}

TFormAnalize::~TFormAnalize() = default;

void TFormAnalize::FormCreate(TObject* /*Sender*/) {
  FLoading = true;
  TranslateComponent(this);
}

void TFormAnalize::FormShow(TObject* /*Sender*/) {
  ChBbar->SetChecked(true);
  ChBbar->SetVisible(false);
  if (!FValueList) FValueList = std::make_unique<TStringList>();
  for (TZqSpeedButton* b : {ZqSaveDate, ZqSpeedButton5, ZqSpeedButton6, ZqSpeedButton7}) b->SetEnabled(false);
  PanelMakeModel->SetVisible(Cb_Custom->Checked());
  SpinEdit1->SetEnabled(ChBoxSteps->Checked());
  if (Form1) {
    ChB_Subs->SetChecked(Form1->FAnalizeSubs);
    // The lens pair the main window keeps, when the window was opened without it.
    if (Edit1->Text().empty()) Edit1->SetText(UseLocaleDecimalSeparator(Form1->FDigiFactor));
    if (Edit2->Text().empty()) Edit2->SetText(UseLocaleDecimalSeparator(Form1->FFilmFactor));
  }
  ComboBoxValueChange(this);
  PageControl1Change(this);
  FLoading = false;
  const bool defaults = !defaultEquivalentFile().empty();
  ZqButton4->SetVisible(defaults);
  ZqButton4->SetEnabled(defaults);
  Memo1->Font()->SetColor(clWindowText);
  Label15->SetCaption(_("Select a line to view information"));
  setButtonstate();
}

void TFormAnalize::FormActivate(TObject* /*Sender*/) {
  StatusBar1->SetSimpleText(DragHint());
  const std::string crlf = "\r\n";
  SetHintText(Edit1, _("Enter lens length of the digital camera") + crlf + _("For example 7") +
                         std::string(1, DecimalSeparator()) + "2" + crlf +
                         _("See the f number on the lens or documentation of the camera."));
  SetHintText(Edit2, _("Enter equivalent for the lens length") + crlf + _("For example 38") + crlf +
                         _("See documentation of the camera."));
  if (Ch_AlwaysCalc->Checked()) {
    const std::string lineBreak = "\n\r";
    const int answer = TranslatedMessageDialog(
        _("The custom 35mm equivalent values are active (lens length tab)") + lineBreak +
            _("Real lens length value: ") + Edit1->Text() + _(" Equivalent value: ") + Edit2->Text() + lineBreak +
            _("Do you want continue using these values?"),
        mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0);
    if (answer == mrNo) Ch_AlwaysCalc->SetChecked(false);
  }
}

void TFormAnalize::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  if (Form1) {
    Form1->FDigiFactor = Edit1->Text();
    Form1->FFilmFactor = Edit2->Text();
  }
  if (FRunning) {
    // The run still uses the lists and series: it ends at its next look at the
    // queue and then clears the window.
    FClosedDuringRun = true;
    StopAnalyzing = true;
    return;
  }
  cleanUpAfterClose();
}

void TFormAnalize::cleanUpAfterClose() {
  for (TChartSeries* s : std::initializer_list<TChartSeries*>{LineSeries1, BarSeries1, BarSeries2, BarSeries3, BarSeries4})
    s->Clear();
  for (TChart* c : {Chart5, Chart6, Chart7, Chart8}) c->UndoZoom();
  RichEdit1->Clear();
  FLinePaths.clear();
  ProgrBarCollect->SetPosition(0);
  ProgrBarAnalyse->SetPosition(0);
  Image1->Picture()->Assign(nullptr);
  Label15->SetCaption("");
  FValueList.reset();
  Memo1->Clear();
}

void TFormAnalize::FormResize(TObject* /*Sender*/) {
  const int w = PanelOverview->Width(), h = PanelOverview->Height();
  if (Chart5->Parent() != PanelOverview) return;
  Chart5->SetBounds(0, 0, w / 2, h / 2);
  Chart6->SetBounds(w / 2, 0, w / 2, h / 2);
  Chart7->SetBounds(0, h / 2, w / 2, h / 2);
  Chart8->SetBounds(w / 2, h / 2, w / 2, h / 2);
}

void TFormAnalize::FormKeyDown(TObject* /*Sender*/, uint16_t& Key, TShiftState /*Shift*/) {
  if (Key == VK_ESCAPE) {
    StopAnalyzing = true;
  } else if (Key == VK_F1) {
    Key = 0;
    Form1->ShowHelpContext(15);
  }
}

void TFormAnalize::DistributeCharts(bool Overview) {
  TChart* charts[] = {Chart5, Chart6, Chart7, Chart8};
  if (Overview && PageControl1->ActivePage() == TabSheet1) {
    for (TChart* c : charts) {
      c->SetAlign(alNone);
      c->SetParent(PanelOverview);
    }
    PanelOverview->Realign();
    FormResize(this);
    return;
  }
  TTabSheet* pages[] = {TabSheet2, TabSheet3, TabSheet4, TabSheet5};
  for (int i = 0; i < 4; ++i) {
    charts[i]->SetParent(pages[i]);
    charts[i]->SetAlign(alClient);
    pages[i]->Realign();
  }
}

void TFormAnalize::SetPointer() {
  TSeriesPointer& p = LineSeries1->Pointer();
  p.SetVisible(!Chart5->View3D());
  p.SetHorizSize(2);
  p.SetVertSize(2);
  p.SetBrushColor(clRed);
  p.SetStyle(psRectangle);
  LineSeries1->Repaint();
}

void TFormAnalize::setButtonstate() {
  if (ZqSetforRealLength->Down()) {
    StatusPanel->SetCaption(_("Real lens length"));
    MMPanel->SetVisible(false);
  } else {
    StatusPanel->SetCaption(Ch_AlwaysCalc->Checked() ? _("Calculate 35mm") : _("35mm equivalent"));
    MMPanel->SetVisible(true);
  }
  StatusPanel->SetColor(kNeedsRunColor);
  StatusPanel->Font()->SetColor(clRed);
}

void TFormAnalize::StatusPanelDblClick(TObject* /*Sender*/) {
  const std::string mode = StatusPanel->Caption();
  if (mode == _("35mm equivalent")) {
    ZqSetforRealLength->SetDown(true);
    Ch_AlwaysCalc->SetChecked(false);
  } else if (mode == _("Real lens length")) {
    ZqSetforRealLength->SetDown(false);
    Ch_AlwaysCalc->SetChecked(true);
  } else if (mode == _("Calculate 35mm")) {
    ZqSetforRealLength->SetDown(false);
    Ch_AlwaysCalc->SetChecked(false);
  }
  setButtonstate();
  if (PageControl1->ActivePage() != TabSheet2) {
    PageControl1->SetActivePage(TabSheet2);
    PageControl1Change(this);
  }
}

void TFormAnalize::Edit2KeyPress(TObject* /*Sender*/, char& Key) {
  if ((DecimalSeparator() == '.' && Key == ',') || (DecimalSeparator() == ',' && Key == '.')) Key = '\0';
  setButtonstate();
}

void TFormAnalize::ZqSetforRealLengthClick(TObject* /*Sender*/) { setButtonstate(); }

void TFormAnalize::ChBoxStepsClick(TObject* /*Sender*/) {
  if (FLoading) return;
  setButtonstate();
  SpinEdit1->SetEnabled(ChBoxSteps->Checked());
}

void TFormAnalize::Cb_CustomClick(TObject* /*Sender*/) {
  PanelMakeModel->SetVisible(Cb_Custom->Checked());
  FormResize(this);
  setButtonstate();
}

void TFormAnalize::ComboBoxValueChange(TObject* /*Sender*/) {
  TSeriesMarks& marks = BarSeries1->Marks();
  switch (ComboBoxValue->ItemIndex()) {
    case 0:
      marks.SetVisible(false);
      break;
    case 1:
      marks.SetVisible(true);
      marks.SetStyle(smsLabel);
      break;
    case 2:
      marks.SetVisible(true);
      marks.SetStyle(smsValue);
      break;
    case 3:
      marks.SetVisible(true);
      marks.SetStyle(smsPercent);
      break;
    case 4:
      marks.SetVisible(true);
      marks.SetStyle(smsPercentTotal);
      break;
    case 5:
      marks.SetVisible(true);
      marks.SetStyle(smsLabelPercentTotal);
      break;
    default:
      break;
  }
  for (TChartSeries* s : std::initializer_list<TChartSeries*>{BarSeries2, BarSeries3, BarSeries4, LineSeries1}) {
    s->Marks() = marks;
    s->Repaint();
  }
  BarSeries1->Repaint();
}

void TFormAnalize::ChBbarClick(TObject* /*Sender*/) {
  if (!ChBbar->Checked()) {
    LineSeries1->AssignValues(*BarSeries1);
    Chart5->Series(0)->SetActive(true);
    Chart5->Series(1)->SetActive(false);
    BarSeries1->Clear();
    SetPointer();
  } else {
    BarSeries1->AssignValues(*LineSeries1);
    Chart5->Series(0)->SetActive(false);
    Chart5->Series(1)->SetActive(true);
    LineSeries1->Clear();
  }
}

void TFormAnalize::ChB3DClick(TObject* /*Sender*/) {
  for (TChart* c : {Chart5, Chart6, Chart7, Chart8}) c->SetView3D(ChB3D->Checked());
  SetPointer();
}

void TFormAnalize::SpinEdit3Change(TObject* /*Sender*/) {
  const int v = SpinEdit3->Value();
  // Spinning past either end wraps round (setting the value comes back here).
  if (v <= -10) {
    SpinEdit3->SetValue(100);
    return;
  }
  if (v >= 110) {
    SpinEdit3->SetValue(0);
    return;
  }
  for (TChart* c : {Chart5, Chart6, Chart7, Chart8}) {
    c->SetMaxPointsPerPage(v);
    c->UndoZoom();
  }
}

void TFormAnalize::PageControl1Change(TObject* /*Sender*/) {
  const bool lens = PageControl1->ActivePage() == TabSheet2;
  ChBbar->SetEnabled(lens);
  ChBoxSteps->SetEnabled(lens);
  DistributeCharts(true);
}

void TFormAnalize::updateZoomButtons() {
  const std::pair<TZqSpeedButton*, TChart*> fits[] = {
      {ZqSpeedButton1, Chart5}, {ZqSpeedButton2, Chart6}, {ZqSpeedButton3, Chart7}, {ZqSpeedButton4, Chart8}};
  for (auto [button, chart] : fits)
    button->SetEnabled(chart->Zoomed() || chart->ScrollX() != 0 || chart->ScrollY() != 0);
}

void TFormAnalize::Chart5Zoom(TObject* /*Sender*/) {
  ZqSpeedButton8->SetEnabled(true);
  updateZoomButtons();
}

void TFormAnalize::Chart5UndoZoom(TObject* /*Sender*/) {
  bool any = false;
  for (TChart* c : {Chart5, Chart6, Chart7, Chart8}) any = any || c->Zoomed() || c->ScrollX() != 0 || c->ScrollY() != 0;
  ZqSpeedButton8->SetEnabled(any);
  updateZoomButtons();
}

void TFormAnalize::Chart5Scroll(TObject* /*Sender*/) {
  ZqSpeedButton8->SetEnabled(true);
  updateZoomButtons();
}

void TFormAnalize::Chart5MouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  StatusBar1->SetSimpleText(ChartDragHint());
}

void TFormAnalize::Panel1MouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  StatusBar1->SetSimpleText(FStatusText);
}

void TFormAnalize::ChartDblClick(TChart* /*Chart*/, TTabSheet* Page) {
  PageControl1->SetActivePage(PageControl1->ActivePage() != Page ? Page : TabSheet1);
  PageControl1Change(this);
}

void TFormAnalize::FitButtonClick(TChart* Chart, TZqSpeedButton* Button) {
  Chart->UndoZoom();
  Button->SetEnabled(false);
}

void TFormAnalize::ZqSpeedButton8Click(TObject* /*Sender*/) {
  for (TChart* c : {Chart5, Chart6, Chart7, Chart8}) c->UndoZoom();
  ZqSpeedButton8->SetEnabled(false);
}

void TFormAnalize::SaveChartClick(TChart* Chart, const std::string& DefaultName) {
  SaveDialog1->SetDefaultExt("bmp");
  SaveDialog1->SetFilter(_("file(*.bmp)|*.bmp|All|*.*"));
  SaveDialog1->SetFileName(DefaultName);
  if (!SaveDialog1->Execute()) return;
  try {
    Chart->SaveToBitmapFile(SaveDialog1->FileName());
  } catch (const Exception& e) {
    ShowMessage(e.Message());
  }
}

void TFormAnalize::Zq_SaveRicheditClick(TObject* /*Sender*/) {
  SaveDialog1->SetDefaultExt("txt");
  SaveDialog1->SetFilter(_("file(*.txt)|*.txt|All|*.*"));
  SaveDialog1->SetFileName("value_path_list.txt");
  if (!SaveDialog1->Execute()) return;
  try {
    RichEdit1->Lines()->SaveToFile(SaveDialog1->FileName());
  } catch (const Exception& e) {
    ShowMessage(e.Message());
  }
}

void TFormAnalize::RichEdit1MouseDown(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/,
                                      int /*Y*/) {
  pathListClick();
}

void TFormAnalize::RichEdit1KeyUp(TObject* /*Sender*/, uint16_t& /*Key*/, TShiftState /*Shift*/) { pathListClick(); }

void TFormAnalize::pathListClick() {
  // The line that holds the caret, and where it starts (in characters).
  const int caret = RichEdit1->SelStart();
  TStrings* lines = RichEdit1->Lines();
  int line = 0, lineStart = 0;
  for (; line < lines->Count(); ++line) {
    const int length = CharCount(lines->Strings(line)) + 1;
    if (caret < lineStart + length) break;
    lineStart += length;
  }
  // Each line's file is kept beside the list, whatever its name or extension.
  if (line >= lines->Count() || line >= int(FLinePaths.size())) return;
  const std::string path = FLinePaths[size_t(line)];
  std::string info;
  ExifInfoForm->GetExifInfStr(path, info);
  Label15->SetCaption(StringReplace(ExtractFileName(path) + "\r" + info, "\r", "\n", rfReplaceAll));
  ShowPicture(path);
  SearchForText_AndSelect(RichEdit1, path, lineStart);
}

void TFormAnalize::SearchForText_AndSelect(TRichEdit* RichEdit, const std::string& Text, int StartPosition) {
  // The text as the window counts its characters: lines joined by one line break.
  std::string all;
  TStrings* lines = RichEdit->Lines();
  for (int i = 0; i < lines->Count(); ++i) all += (i ? "\n" : "") + lines->Strings(i);
  // The byte offset of the start position.
  size_t from = 0;
  for (int chars = 0; from < all.size() && chars < StartPosition; ++chars) {
    ++from;
    while (from < all.size() && (static_cast<unsigned char>(all[from]) & 0xC0) == 0x80) ++from;
  }
  const size_t at = all.find(Text, std::min(from, all.size()));
  if (at == std::string::npos || Text.empty()) return;
  RichEdit->Lines()->BeginUpdate();
  RichEdit->SetSelStart(CharCount(all.substr(0, at)));
  RichEdit->SetSelLength(CharCount(Text));
  RichEdit->Lines()->EndUpdate();
}

void TFormAnalize::ShowPicture(const std::string& Path) {
  if (!Form1 || !Form1->IsImageFile(Path) || Form1->IsAssociatedFile(Path)) return;
  // The thumbnail of the cache, made (and kept as the cache options say) when missing.
  if (!Form1->LoadThumbnail(Path, Image1, true)) Image1->Picture()->Assign(nullptr);
}
