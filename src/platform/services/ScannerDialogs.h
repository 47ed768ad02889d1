#pragma once
// The source manager's windows: the list of scanners to choose from (and the notice shown
// while they are looked for), the scan dialog with the kind of picture, the resolution,
// the area and the paper source, and the small window that shows a running scan with its
// Cancel button.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/BusyForm.h"
#include "platform/gui/Forms.h"
#include "platform/services/ScannerSane.h"

class TLabel;
class TListBox;
class TButton;
class TComboBox;
class TSpinEdit;
class TProgressBar;
class TTimer;

// "Select Source": one line per device; Select gives mrOk with ListBox1's item chosen.
class TTwainSelectDialog : public TForm {
 public:
  explicit TTwainSelectDialog(TComponent* AOwner);
  void SetDevices(const std::vector<TScanDeviceInfo>& devices, int selected);

  TLabel* Label1 = nullptr;
  TListBox* ListBox1 = nullptr;
  TButton* ButtonSelect = nullptr;
  TButton* ButtonCancel = nullptr;
};

// Says that the devices are being looked for (shown when that takes more than a moment).
class TTwainSearchForm : public TBusyForm {
 public:
  explicit TTwainSearchForm(TComponent* AOwner);
};

// The scan dialog of one device: Scan gives mrOk and Settings() the choices made.
class TTwainScanDialog : public TForm {
 public:
  explicit TTwainScanDialog(TComponent* AOwner);
  void SetChoices(const std::string& deviceTitle, const TScanChoices& choices, const TScanSettings& current);
  TScanSettings Settings() const;
  // Picks a kind or a resolution as the user would (false when the device lacks it).
  bool ChooseKind(TScanKind kind);
  bool ChooseResolution(double dpi);

  TComboBox* ComboKind = nullptr;
  TComboBox* ComboResolution = nullptr;
  TComboBox* ComboSource = nullptr;
  TSpinEdit *EditLeft = nullptr, *EditTop = nullptr, *EditWidth = nullptr, *EditHeight = nullptr;
  TButton* ButtonScan = nullptr;
  TButton* ButtonCancel = nullptr;

 private:
  TScanChoices choices_;
  TScanSettings current_;
};

// Shown while a scan runs; Cancel asks the device to stop.
class TTwainProgressForm : public TForm {
 public:
  explicit TTwainProgressForm(TComponent* AOwner);
  ~TTwainProgressForm() override;

  TLabel* Label1 = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  TButton* ButtonCancel = nullptr;
  TTimer* Timer1 = nullptr;

  // Asked for the bytes read and expected on each tick.
  std::function<void(int64_t& done, int64_t& total)> OnProgress;
  std::function<void()> OnCancelScan;
  // The user pressed Cancel.
  bool Cancelled() const { return cancelled_; }

 private:
  bool cancelled_ = false;
};

// The dialog's names of the kinds of picture.
std::string ScanKindText(TScanKind kind);
