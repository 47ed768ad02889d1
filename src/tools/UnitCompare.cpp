#include "tools/UnitCompare.h"

#include "controls/ZqSpeedButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"

TFormCompare* FormCompare = nullptr;

TFormCompare::TFormCompare(TComponent* AOwner) : TForm(AOwner), FCompareList(std::make_unique<TStringList>()) {
  SetName("FormCompare");
  SetCaption("Compare");
  SetClientWidth(800);
  SetClientHeight(560);
  SetWindowState(wsMaximized);

  TopPanel = NewAligned<TPanel>(this, this, "TopPanel", alTop, 27);
  ZqClose = NewControl<TZqSpeedButton>(this, TopPanel, "ZqClose", "Close", 2, 2, 80, 23);

  ZqClose->OnClick = [this](TObject* Sender) { ZqCloseClick(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

TFormCompare::~TFormCompare() = default;

void TFormCompare::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TFormCompare::ZqCloseClick(TObject* /*Sender*/) { Close(); }
