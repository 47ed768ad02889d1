#include "tools/UnitThumbSpy.h"

#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"

TFormThumbSpy* FormThumbSpy = nullptr;

TFormThumbSpy::TFormThumbSpy(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormThumbSpy");
  SetCaption("");
  SetBorderStyle(bsNone);
  SetFormStyle(fsStayOnTop);
  SetAutoSize(true);

  Panel1 = NewControl<TPanel>(this, this, "Panel1", 0, 0, 160, 160);
  Panel1->SetColor(clBlack);
  Panel1->SetAutoSize(true);
  SpyImage = NewControl<TImage>(this, Panel1, "SpyImage", 0, 0, 160, 160);
  SpyImage->SetCenter(true);
  SpyImage->SetAutoSize(true);
  Label2 = NewControl<TLabel>(this, Panel1, "Label2", "", 5, 5, 150, 15);
  Label2->SetTransparent(true);
  Label2->Font()->SetColor(clBlack);
  Label1 = NewControl<TLabel>(this, Panel1, "Label1", "", 4, 4, 150, 15);
  Label1->SetTransparent(true);
  Label1->Font()->SetColor(clSilver);

  SpyImage->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    SpyImageMouseMove(Sender, Shift, X, Y);
  };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormThumbSpy::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TFormThumbSpy::SpyImageMouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int /*X*/, int /*Y*/) { Close(); }

void TFormThumbSpy::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  if (MouseOverItem == -1) return;
  MouseOverItem = -1;
  if (Form1) Form1->ListBox1->Invalidate();
}
