#include "core/UnitFilterselect.h"

#include <algorithm>
#include <vector>

#include "controls/ZqButton.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"

TFormFilterSelect* FormFilterSelect = nullptr;

bool DragPaletteWindow(TCustomForm* form, TMouseButton Button) {
  if (Button != mbLeft) return false;
  const TCursor saved = Screen->Cursor();
  Screen->SetCursor(crSizeAll);
  ReleaseCapture();
  form->StartSystemMove();
  Screen->SetCursor(saved);
  return true;
}

TFormFilterSelect::TFormFilterSelect(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormFilterSelect");
  SetCaption("Resample filters");
  SetBorderStyle(bsNone);
  SetFormStyle(fsStayOnTop);
  SetClientWidth(272);
  SetClientHeight(252);

  Panel1 = NewAligned<TPanel>(this, this, "Panel1", alClient);
  Panel1->SetColor(clInfoBk);
  Panel1->SetCursor(crHandPoint);
  // The frame is drawn on the panel, under the image.
  Bevel1 = NewControl<TBevel>(this, Panel1, "Bevel1", 4, 4, 264, 244);
  Bevel1->SetShape(bsFrame);
  Image1 = NewControl<TImage>(this, Panel1, "Image1", 8, 8, 16, 16);
  SetHintText(Image1, "Drag to move");
  RG_Resample = NewControl<TRadioGroup>(this, Panel1, "RG_Resample", "Sorted on speed (fast on top)", 8, 30, 256, 166);
  SetItems(RG_Resample->Items(), {"Box (some minor antialiasing)", "Triangle (reasonable antialiasing)", "Hermite ",
                                  "Bell", "Spline (best for small images)", "Mitchell (excellent soft details)",
                                  "Lanczos3 (excellent sharp details)"});
  RG_Resample->SetItemIndex(2);
  Ch_Filter = NewCheckBox(this, Panel1, "Ch_Filter", "Resample filter on (rezised images)", false, 8, 200, 256);
  ZqButton1 = NewControl<TZqButton>(this, Panel1, "ZqButton1", "&Close", 164, 222, 100, 23);
  ZqButton1->SetModalResult(mrOk);

  auto mouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    FormMouseDown(Sender, Button, Shift, X, Y);
  };
  OnMouseDown = mouseDown;
  Panel1->OnMouseDown = mouseDown;
  Bevel1->OnMouseDown = mouseDown;  // the frame is part of the panel
  Image1->OnMouseDown = mouseDown;
  RG_Resample->OnClick = [this](TObject* Sender) { RG_ResampleClick(Sender); };
  Ch_Filter->OnClick = [this](TObject* Sender) { Ch_FilterClick(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormFilterSelect::FormCreate(TObject* /*Sender*/) {
  TranslateComponent(this);
  // The palette is as wide as its longest (translated) text.
  int wider = 0;
  std::vector<TControl*> texts{Ch_Filter};
  for (int i = 0; i < RG_Resample->ControlCount(); ++i) texts.push_back(RG_Resample->Controls(i));
  for (TControl* text : texts) {
    TSize needed, room;
    if (text->TextRoom(needed, room)) wider = std::max(wider, needed.cx - room.cx);
  }
  if (wider <= 0) return;
  SetClientWidth(ClientWidth() + wider);
  for (TControl* c : std::initializer_list<TControl*>{Bevel1, RG_Resample, Ch_Filter}) c->SetWidth(c->Width() + wider);
  ZqButton1->SetLeft(ZqButton1->Left() + wider);
}

void TFormFilterSelect::FormShow(TObject* /*Sender*/) {
  FUpdating = true;
  if (Form1) Ch_Filter->SetChecked(Form1->Smoothstrech->Checked());
  FUpdating = false;
}

void TFormFilterSelect::FormMouseDown(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/, int /*X*/,
                                      int /*Y*/) {
  DragPaletteWindow(this, Button);
}

void TFormFilterSelect::RG_ResampleClick(TObject* Sender) {
  if (Form1 && !Form1->FSuspendUpdates) Form1->SmoothstrechClick(Sender);
}

void TFormFilterSelect::Ch_FilterClick(TObject* Sender) {
  if (FUpdating || !Form1) return;
  Form1->Smoothstrech->SetChecked(Ch_Filter->Checked());
  Form1->SmoothstrechClick(Sender);
}
