#include "platform/services/ScannerDialogs.h"

#include <algorithm>
#include <cmath>

#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

namespace {

template <class T>
T* Place(TForm* form, int left, int top, int width, int height) {
  T* control = new T(form);
  control->SetParent(form);
  control->SetBounds(left, top, width, height);
  return control;
}

TLabel* NewLabel(TForm* form, const std::string& caption, int left, int top, int width) {
  TLabel* label = Place<TLabel>(form, left, top, width, 17);
  label->SetCaption(caption);
  return label;
}

TButton* NewButton(TForm* form, const std::string& caption, TModalResult result, int left, int top) {
  TButton* button = Place<TButton>(form, left, top, 90, 27);
  button->SetCaption(caption);
  button->SetModalResult(result);
  return button;
}

TSpinEdit* NewSpin(TForm* form, int left, int top) {
  TSpinEdit* edit = Place<TSpinEdit>(form, left, top, 70, 24);
  edit->SetMinValue(0);
  edit->SetMaxValue(10000);
  return edit;
}

// A dialog window of the source manager: its name, caption, place and client size.
void SetUpDialog(TForm* form, const char* name, const std::string& caption, TPosition position, int width,
                 int height) {
  form->SetName(name);
  form->SetCaption(caption);
  form->SetBorderStyle(bsDialog);
  form->SetPosition(position);
  form->SetClientWidth(width);
  form->SetClientHeight(height);
}

std::string ResolutionText(double dpi) {
  const long whole = std::lround(dpi);
  return std::fabs(dpi - double(whole)) < 1e-6 ? std::to_string(whole) : FormatFloat("0.##", dpi);
}

}  // namespace

std::string ScanKindText(TScanKind kind) {
  switch (kind) {
    case skColor: return _("Color");
    case skGray: return _("Gray");
    case skLineart: return _("Line art");
  }
  return std::string();
}

// ---------------------------------------------------------------------------

TTwainSelectDialog::TTwainSelectDialog(TComponent* AOwner) : TForm(AOwner) {
  SetUpDialog(this, "TwainSelectDialog", _("Select Source"), poScreenCenter, 420, 250);
  Label1 = NewLabel(this, _("Sources:"), 10, 10, 400);
  ListBox1 = Place<TListBox>(this, 10, 30, 400, 170);
  ButtonSelect = NewButton(this, _("Select"), mrOk, 220, 212);
  ButtonSelect->SetDefault(true);
  ButtonCancel = NewButton(this, _("Cancel"), mrCancel, 320, 212);
  ButtonCancel->SetCancel(true);
  ListBox1->OnDblClick = [this](TObject*) {
    if (ListBox1->ItemIndex() >= 0) SetModalResult(mrOk);
  };
  DoCreate();
}

void TTwainSelectDialog::SetDevices(const std::vector<TScanDeviceInfo>& devices, int selected) {
  ListBox1->Items()->Clear();
  for (const TScanDeviceInfo& d : devices) {
    std::string line = Trim(d.Vendor + " " + d.Model);
    if (line.empty()) line = d.Name;
    ListBox1->Items()->Add(line + " (" + d.Name + ")");
  }
  ListBox1->SetItemIndex(devices.empty() ? -1 : std::clamp(selected, 0, int(devices.size()) - 1));
}

TTwainSearchForm::TTwainSearchForm(TComponent* AOwner)
    : TBusyForm(AOwner, "TwainSearchForm", _("Select Source"), _("Looking for scanners and cameras...")) {}

// ---------------------------------------------------------------------------

TTwainScanDialog::TTwainScanDialog(TComponent* AOwner) : TForm(AOwner) {
  SetUpDialog(this, "TwainScanDialog", _("Scan"), poScreenCenter, 360, 250);
  NewLabel(this, _("Kind of picture:"), 10, 14, 140);
  ComboKind = Place<TComboBox>(this, 160, 10, 190, 24);
  ComboKind->SetStyle(csDropDownList);
  NewLabel(this, _("Resolution (dpi):"), 10, 46, 140);
  ComboResolution = Place<TComboBox>(this, 160, 42, 190, 24);
  ComboResolution->SetStyle(csDropDownList);
  NewLabel(this, _("Paper source:"), 10, 78, 140);
  ComboSource = Place<TComboBox>(this, 160, 74, 190, 24);
  ComboSource->SetStyle(csDropDownList);
  NewLabel(this, _("Area (mm):"), 10, 110, 340);
  NewLabel(this, _("Left"), 10, 136, 80);
  EditLeft = NewSpin(this, 90, 132);
  NewLabel(this, _("Top"), 180, 136, 80);
  EditTop = NewSpin(this, 270, 132);
  NewLabel(this, _("Width"), 10, 168, 80);
  EditWidth = NewSpin(this, 90, 164);
  NewLabel(this, _("Height"), 180, 168, 80);
  EditHeight = NewSpin(this, 270, 164);
  ButtonScan = NewButton(this, _("Scan"), mrOk, 160, 212);
  ButtonScan->SetDefault(true);
  ButtonCancel = NewButton(this, _("Cancel"), mrCancel, 260, 212);
  ButtonCancel->SetCancel(true);
  DoCreate();
}

void TTwainScanDialog::SetChoices(const std::string& deviceTitle, const TScanChoices& choices,
                                  const TScanSettings& current) {
  choices_ = choices;
  current_ = current;
  SetCaption(_("Scan") + " - " + deviceTitle);
  ComboKind->Items()->Clear();
  for (TScanKind kind : choices.Kinds) ComboKind->Items()->Add(ScanKindText(kind));
  const auto kind = std::find(choices.Kinds.begin(), choices.Kinds.end(), current.Kind);
  ComboKind->SetItemIndex(kind == choices.Kinds.end() ? 0 : int(kind - choices.Kinds.begin()));
  ComboResolution->Items()->Clear();
  for (double dpi : choices.Resolutions) ComboResolution->Items()->Add(ResolutionText(dpi));
  // The device's value, or the offered one nearest to it.
  ComboResolution->SetItemIndex(choices.Resolutions.empty() ? -1 : NearestIndex(choices.Resolutions, current.Resolution));
  ComboResolution->SetEnabled(!choices.Resolutions.empty());
  ComboSource->Items()->Clear();
  for (const std::string& s : choices.Sources) ComboSource->Items()->Add(s);
  const auto source = std::find(choices.Sources.begin(), choices.Sources.end(), current.Source);
  ComboSource->SetItemIndex(source == choices.Sources.end() ? -1 : int(source - choices.Sources.begin()));
  ComboSource->SetEnabled(!choices.Sources.empty());
  for (TSpinEdit* e : {EditLeft, EditTop, EditWidth, EditHeight}) e->SetEnabled(choices.HasArea);
  if (choices.HasArea) {
    EditLeft->SetMaxValue(int(choices.MaxWidth));
    EditWidth->SetMaxValue(int(choices.MaxWidth));
    EditTop->SetMaxValue(int(choices.MaxHeight));
    EditHeight->SetMaxValue(int(choices.MaxHeight));
    EditLeft->SetValue(int(std::lround(current.Left)));
    EditTop->SetValue(int(std::lround(current.Top)));
    EditWidth->SetValue(int(std::lround(current.Width)));
    EditHeight->SetValue(int(std::lround(current.Height)));
  }
}

bool TTwainScanDialog::ChooseKind(TScanKind kind) {
  const auto it = std::find(choices_.Kinds.begin(), choices_.Kinds.end(), kind);
  if (it == choices_.Kinds.end()) return false;
  ComboKind->SetItemIndex(int(it - choices_.Kinds.begin()));
  return true;
}

bool TTwainScanDialog::ChooseResolution(double dpi) {
  for (size_t i = 0; i < choices_.Resolutions.size(); ++i)
    if (std::fabs(choices_.Resolutions[i] - dpi) < 1e-6) {
      ComboResolution->SetItemIndex(int(i));
      return true;
    }
  return false;
}

TScanSettings TTwainScanDialog::Settings() const {
  TScanSettings s = current_;
  const int kind = ComboKind->ItemIndex();
  if (kind >= 0 && kind < int(choices_.Kinds.size())) s.Kind = choices_.Kinds[size_t(kind)];
  const int resolution = ComboResolution->ItemIndex();
  if (resolution >= 0 && resolution < int(choices_.Resolutions.size()))
    s.Resolution = choices_.Resolutions[size_t(resolution)];
  const int source = ComboSource->ItemIndex();
  if (source >= 0 && source < int(choices_.Sources.size())) s.Source = choices_.Sources[size_t(source)];
  if (choices_.HasArea) {
    // Whole millimetres as shown; a value the user did not change keeps its fraction.
    auto value = [](TSpinEdit* e, double old) {
      return e->Value() == int(std::lround(old)) ? old : double(e->Value());
    };
    s.Left = value(EditLeft, current_.Left);
    s.Top = value(EditTop, current_.Top);
    s.Width = value(EditWidth, current_.Width);
    s.Height = value(EditHeight, current_.Height);
  }
  return s;
}

// ---------------------------------------------------------------------------

TTwainProgressForm::TTwainProgressForm(TComponent* AOwner) : TForm(AOwner) {
  SetUpDialog(this, "TwainProgressForm", _("Scan"), poScreenCenter, 320, 100);
  SetFormStyle(fsStayOnTop);
  Label1 = NewLabel(this, _("Scanning..."), 10, 10, 300);
  ProgressBar1 = Place<TProgressBar>(this, 10, 34, 300, 18);
  ProgressBar1->SetMax(1000);
  ButtonCancel = NewButton(this, _("Cancel"), mrNone, 220, 64);
  ButtonCancel->OnClick = [this](TObject*) {
    if (cancelled_) return;
    cancelled_ = true;
    Label1->SetCaption(_("Cancelling..."));
    ButtonCancel->SetEnabled(false);
    if (OnCancelScan) OnCancelScan();
  };
  Timer1 = new TTimer(this);
  Timer1->SetInterval(100);
  Timer1->OnTimer = [this](TObject*) {
    int64_t done = 0, total = 0;
    if (OnProgress) OnProgress(done, total);
    if (total > 0) ProgressBar1->SetPosition(int(std::min<int64_t>(1000, done * 1000 / total)));
  };
  DoCreate();
}

TTwainProgressForm::~TTwainProgressForm() { Timer1->SetEnabled(false); }
