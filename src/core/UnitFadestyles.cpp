#include "core/UnitFadestyles.h"

#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "core/UnitFilterselect.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"

TFormFadestyles* FormFadestyles = nullptr;

TFormFadestyles::TFormFadestyles(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormFadestyles");
  SetCaption("FormFadestyles");
  SetBorderStyle(bsNone);
  SetFormStyle(fsStayOnTop);
  SetColor(clInfoBk);
  SetClientWidth(200);
  SetClientHeight(192);

  Panel1 = NewAligned<TPanel>(this, this, "Panel1", alClient);
  Panel1->SetColor(clInfoBk);
  Panel1->SetCursor(crHandPoint);
  // The frame is drawn on the panel, under the image.
  Bevel1 = NewControl<TBevel>(this, Panel1, "Bevel1", 4, 4, 192, 184);
  Bevel1->SetShape(bsFrame);
  Image1 = NewControl<TImage>(this, Panel1, "Image1", 8, 8, 16, 16);
  SetHintText(Image1, "Drag to move");
  ChB_Fading = NewCheckBox(this, Panel1, "ChB_Fading", "Fading on", false, 32, 8, 150);
  GroupBox1 = NewControl<TGroupBox>(this, Panel1, "GroupBox1", "Fading styles", 8, 34, 184, 96);
  ChB_Soft = NewCheckBox(this, GroupBox1, "ChB_Soft", "Soft", false, 10, 20, 160);
  ChB_Coarse = NewCheckBox(this, GroupBox1, "ChB_Coarse", "Coarse", false, 10, 44, 160);
  ChB_Direct = NewCheckBox(this, GroupBox1, "ChB_Direct", "Directional", false, 10, 68, 160);
  ZqButton1 = NewControl<TZqButton>(this, Panel1, "ZqButton1", "Close", 92, 156, 100, 23);
  ZqButton1->SetModalResult(mrOk);

  auto mouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    FormMouseDown(Sender, Button, Shift, X, Y);
  };
  OnMouseDown = mouseDown;
  Panel1->OnMouseDown = mouseDown;
  Bevel1->OnMouseDown = mouseDown;  // the frame is part of the panel
  Image1->OnMouseDown = mouseDown;
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormFadestyles::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TFormFadestyles::FormMouseDown(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/, int /*X*/,
                                    int /*Y*/) {
  DragPaletteWindow(this, Button);
}
