#include "tools/UnitHelp.h"

#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"

THelpForm* HelpForm = nullptr;

THelpForm::THelpForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("HelpForm");
  SetCaption("Help");
  SetFormStyle(fsStayOnTop);
  SetPosition(poScreenCenter);
  SetClientWidth(560);
  SetClientHeight(420);

  Panel1 = NewAligned<TPanel>(this, this, "Panel1", alBottom, 37);
  ZqButton1 = NewControl<TZqButton>(this, Panel1, "ZqButton1", "Close", 8, 6, 100, 25);
  ZqButton2 = NewControl<TZqButton>(this, Panel1, "ZqButton2", "Save", 116, 6, 100, 25);
  ZqButton2->SetVisible(false);
  ZqButton2->SetEnabled(false);
  RichEdit1 = NewAligned<TRichEdit>(this, this, "RichEdit1", alClient);
  RichEdit1->SetScrollBars(ssBoth);
  RichEdit1->SetWantTabs(true);
  RichEdit1->SetWordWrap(false);
  Memo1 = NewAligned<TMemo>(this, this, "Memo1", alClient);
  Memo1->SetVisible(false);

  ZqButton1->OnClick = [this](TObject* Sender) { ZqButton1Click(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void THelpForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void THelpForm::ZqButton1Click(TObject* /*Sender*/) { Close(); }
