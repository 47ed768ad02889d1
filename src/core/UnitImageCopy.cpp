#include "core/UnitImageCopy.h"

#include "core/FormLayout.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"

TImageCopyForm* ImageCopyForm = nullptr;

TImageCopyForm::TImageCopyForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("ImageCopyForm");
  SetCaption("Copy window");
  SetFormStyle(fsStayOnTop);
  SetClientWidth(480);
  SetClientHeight(360);

  AlignToolBar = NewAligned<TToolBar>(this, this, "AlignToolBar", alTop, 26);
  ToolButton22 = NewControl<TToolButton>(this, AlignToolBar, "ToolButton22", 0, 0, 23, 22);
  SetHintText(ToolButton22, "Load original image");
  ScrollBox1 = NewAligned<TScrollBox>(this, this, "ScrollBox1", alClient);
  Image1 = NewControl<TImage>(this, ScrollBox1, "Image1", 0, 0, 105, 105);
  Image1->SetAutoSize(true);
  Label1 = NewControl<TLabel>(this, ScrollBox1, "Label1", "", 8, 8, 4, 15);
  Label1->SetTransparent(true);
  SetHintText(Label1, "Click to swap background");

  PopupMenu1 = new TPopupMenu(this);
  PopupMenu1->SetName("PopupMenu1");
  Showtoolbar = NewMenuItem(this, PopupMenu1->Items(), "Showtoolbar", "Show tool bar");
  Showtoolbar->SetAutoCheck(true);
  Showtoolbar->SetChecked(true);
  Realsize1 = NewMenuItem(this, PopupMenu1->Items(), "Realsize1", "Real size");
  ScrollBox1->SetPopupMenu(PopupMenu1);
  Image1->SetPopupMenu(PopupMenu1);
  Label1->SetPopupMenu(PopupMenu1);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TImageCopyForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }
