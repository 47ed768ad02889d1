#pragma once
// The compare window: two to four pictures side by side. The main window clears
// FCompareList and FPicturesLoaded, adds the paths and shows it modally. The panels come
// with the window's own work.
#include <memory>

#include "platform/gui/Forms.h"

class TPanel;
class TStringList;
class TZqSpeedButton;

class TFormCompare : public TForm {
 public:
  explicit TFormCompare(TComponent* AOwner);
  ~TFormCompare() override;

  TPanel* TopPanel = nullptr;
  TZqSpeedButton* ZqClose = nullptr;  // "Close"

  // The full paths, one per panel.
  std::unique_ptr<TStringList> FCompareList;
  // While set, showing the window loads nothing.
  bool FPicturesLoaded = false;

  void FormCreate(TObject* Sender);
  void ZqCloseClick(TObject* Sender);
};

extern TFormCompare* FormCompare;
