#include "tools/UnitFloatButtons.h"

#include "controls/ZqSpeedButton.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"

TFormFloatB* FormFloatB = nullptr;

namespace {

constexpr int kBarHeight = 28, kButtonHeight = 24;

// A flat button of the bar, at the left of what is already there; group > 0 makes a
// toggle that may be raised again.
TZqSpeedButton* BarButton(TComponent* owner, TWinControl* parent, const char* name, const char* caption,
                          const char* hint, int width, int group = 0) {
  auto* b = NewControl<TZqSpeedButton>(owner, parent, name, caption, 0, 2, width, kButtonHeight);
  b->SetAlign(alLeft);
  b->SetFlat(true);
  SetHintText(b, hint);
  if (group > 0) {
    b->SetGroupIndex(group);
    b->SetAllowAllUp(true);
  }
  return b;
}

TImage* Grip(TComponent* owner, TWinControl* parent, const char* name) {
  auto* grip = NewControl<TImage>(owner, parent, name, 0, 0, 10, kBarHeight);
  grip->SetAlign(alLeft);
  grip->SetCursor(crHandPoint);
  SetHintText(grip, "Drag to move");
  TBitmap* dots = grip->Picture()->Bitmap();
  dots->SetPixelFormat(pf24bit);
  dots->SetSize(10, kBarHeight);
  TCanvas& c = dots->Canvas();
  c.Brush().SetColor(clBtnFace);
  c.FillRect(Rect(0, 0, 10, kBarHeight));
  c.Brush().SetColor(clBtnShadow);
  for (int y = 5; y < kBarHeight - 4; y += 4) {
    c.FillRect(Rect(2, y, 4, y + 2));
    c.FillRect(Rect(6, y, 8, y + 2));
  }
  return grip;
}

TPanel* Group(TComponent* owner, TWinControl* parent, const char* name, int width) {
  auto* panel = NewControl<TPanel>(owner, parent, name, 0, 0, width, kBarHeight);
  panel->SetAlign(alLeft);
  panel->SetBevelOuter(bvNone);
  return panel;
}

}  // namespace

TFormFloatB::TFormFloatB(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormFloatB");
  SetCaption("");
  SetBorderStyle(bsNone);
  SetFormStyle(fsStayOnTop);
  SetLeft(40);
  SetTop(40);
  SetClientHeight(kBarHeight);

  // One row, left to right in the order made.
  Image1 = Grip(this, this, "Image1");
  ZqAutonext = BarButton(this, this, "ZqAutonext", "Auto", "Start/Pause", 40, 1);
  ZqPrevious = BarButton(this, this, "ZqPrevious", "<", "Previous - (komma key)", 26);
  ZqNext = BarButton(this, this, "ZqNext", ">", "Next - (dot key)", 26);
  ZqShowInfo = BarButton(this, this, "ZqShowInfo", "Name", "Show path  and file name", 42, 2);
  ZqStretchsmaller = BarButton(this, this, "ZqStretchsmaller", "Stretch", "Stretch smaller pictures", 50, 3);
  ZqFitInScreen = BarButton(this, this, "ZqFitInScreen", "Fit", "Fit larger pictures", 32, 4);
  ZqFitInScreen->SetDown(true);
  ZqTumblist = BarButton(this, this, "ZqTumblist", "Thumbs", "Thumb selector - F5", 52, 5);
  ZqImageInfo = BarButton(this, this, "ZqImageInfo", "Info", "Image Info", 34);
  ZqFade = BarButton(this, this, "ZqFade", "Fade", "Set fade style", 38);
  PanelFolderBrowse = Group(this, this, "PanelFolderBrowse", 76);
  ZqFolderUp = BarButton(this, PanelFolderBrowse, "ZqFolderUp", "Up", "Previous folder Ctrl+P", 32);
  ZqFolderDown = BarButton(this, PanelFolderBrowse, "ZqFolderDown", "Down", "Next folder Ctrl+N", 44);
  PanelDelayButtons = Group(this, this, "PanelDelayButtons", 66);
  ZqSpeedDown = BarButton(this, PanelDelayButtons, "ZqSpeedDown", "-", "Decrease slide show delay", 20);
  LabelDelay = NewControl<TLabel>(this, PanelDelayButtons, "LabelDelay", "2", 0, 0, 26, kBarHeight);
  LabelDelay->SetAlign(alLeft);
  LabelDelay->SetAutoSize(false);
  LabelDelay->SetAlignment(taCenter);
  LabelDelay->SetLayout(tlCenter);
  ZqSpeedUp = BarButton(this, PanelDelayButtons, "ZqSpeedUp", "+", "Increase slide show delay", 20);
  ZqSpeedButton3 = BarButton(this, this, "ZqSpeedButton3", "Normal", "Back to normal view", 50);
  ZqSpeedButton1 = BarButton(this, this, "ZqSpeedButton1", "Hide", "Hide", 38);
  Image2 = Grip(this, this, "Image2");

  auto bind = [this](TZqSpeedButton* button, void (TFormFloatB::*handler)(TObject*)) {
    button->OnClick = [this, handler](TObject* Sender) { (this->*handler)(Sender); };
    button->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
      FormMouseUp(Sender, Button, Shift, X, Y);
    };
  };
  bind(ZqAutonext, &TFormFloatB::ZqAutonextClick);
  bind(ZqPrevious, &TFormFloatB::ZqPreviousClick);
  bind(ZqNext, &TFormFloatB::ZqNextClick);
  bind(ZqShowInfo, &TFormFloatB::ZqShowInfoClick);
  bind(ZqStretchsmaller, &TFormFloatB::ZqStretchsmallerClick);
  bind(ZqFitInScreen, &TFormFloatB::ZqFitInScreenClick);
  bind(ZqTumblist, &TFormFloatB::ZqTumblistClick);
  bind(ZqImageInfo, &TFormFloatB::ZqImageInfoClick);
  bind(ZqFade, &TFormFloatB::ZqFadeClick);
  bind(ZqFolderDown, &TFormFloatB::ZqFolderDownClick);
  bind(ZqFolderUp, &TFormFloatB::ZqFolderUpClick);
  bind(ZqSpeedUp, &TFormFloatB::ZqSpeedUpClick);
  bind(ZqSpeedDown, &TFormFloatB::ZqSpeedDownClick);
  bind(ZqSpeedButton1, &TFormFloatB::ZqSpeedButton1Click);
  bind(ZqSpeedButton3, &TFormFloatB::ZqSpeedButton3Click);
  for (TControl* c : std::initializer_list<TControl*>{this, Image1, Image2}) {
    c->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
      FormMouseDown(Sender, Button, Shift, X, Y);
    };
    c->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) { FormMouseMove(Sender, Shift, X, Y); };
    c->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
      FormMouseUp(Sender, Button, Shift, X, Y);
    };
  }
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnActivate = [this](TObject* Sender) { FormActivate(Sender); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

void TFormFloatB::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TFormFloatB::FormShow(TObject* /*Sender*/) {
  TForm1* main = Form1;
  const bool slideShow = main->ZqSlideShow->Down();
  // In the slide show the bar offers the fade styles instead of folders, fit, thumbnails
  // and the picture details.
  ZqImageInfo->SetVisible(!slideShow);
  ZqFitInScreen->SetVisible(!slideShow);
  ZqTumblist->SetVisible(!slideShow);
  PanelFolderBrowse->SetVisible(!slideShow);
  ZqStretchsmaller->SetVisible(true);
  ZqFade->SetVisible(slideShow);
  PanelDelayButtons->SetVisible(main->PanelDelayButtons->Visible());
  ZqAutonext->SetDown(main->ZqAutonext->Down() || slideShow);
  LabelDelay->SetCaption(main->LabelDelay->Caption());
  ZqShowInfo->SetDown(main->M_Showfilename->Checked());
  ZqStretchsmaller->SetDown(main->ZqStretchsmaller->Down());
  ZqFitInScreen->SetDown(main->ZqFitInScreen->Down());
  ZqTumblist->SetDown(main->ZqTumblist->Down());
  // The bar is as wide as the buttons it shows.
  int width = 0;
  for (int i = 0; i < ControlCount(); ++i)
    if (Controls(i)->Visible()) width += Controls(i)->Width();
  SetClientWidth(width);
}

void TFormFloatB::FormActivate(TObject* /*Sender*/) {
  Image1->SetCursor(crHandPoint);
  Image2->SetCursor(crHandPoint);
}

void TFormFloatB::FormMouseDown(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/, int /*X*/,
                                int /*Y*/) {
  if (Button != mbLeft) return;
  FDragging = true;
  ReleaseCapture();
  StartSystemMove();
}

void TFormFloatB::FormMouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  // Once the window system has moved the bar, the mouse moves over it again.
  FDragging = false;
  Screen->SetCursor(crDefault);
}

void TFormFloatB::FormMouseUp(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/,
                              int /*Y*/) {
  // The main window keeps the keyboard, so its keys go on working.
  if (Form1 && Form1->CanFocus()) Form1->SetFocus();
}

void TFormFloatB::ZqAutonextClick(TObject* Sender) {
  Form1->ZqAutonext->SetDown(ZqAutonext->Down());
  Form1->ZqAutonextClick(Sender);
}

void TFormFloatB::ZqPreviousClick(TObject* Sender) { Form1->ZqPreviousClick(Sender); }

void TFormFloatB::ZqNextClick(TObject* Sender) { Form1->ZqNextClick(Sender); }

void TFormFloatB::ZqShowInfoClick(TObject* Sender) {
  Form1->M_Showfilename->SetChecked(!Form1->M_Showfilename->Checked());
  Form1->M_ShowfilenameClick(Sender);
  if (Form1->M_Showfilename->Checked()) Form1->ShowIt(Form1->FCurrentFile);
}

void TFormFloatB::ZqStretchsmallerClick(TObject* Sender) {
  Form1->ZqStretchsmaller->SetDown(!Form1->ZqStretchsmaller->Down());
  Form1->ZqStretchsmallerClick(Sender);
}

void TFormFloatB::ZqFitInScreenClick(TObject* Sender) {
  Form1->ZqFitInScreen->SetDown(!Form1->ZqFitInScreen->Down());
  Form1->ZqFitInScreenClick(Sender);
}

void TFormFloatB::ZqTumblistClick(TObject* Sender) {
  Form1->ZqTumblist->SetDown(ZqTumblist->Down());
  Form1->ZqTumblistClick(Sender);
}

void TFormFloatB::ZqImageInfoClick(TObject* Sender) { Form1->Imageinfo1Click(Sender); }

void TFormFloatB::ZqFadeClick(TObject* Sender) { Form1->SetFading1Click(Sender); }

void TFormFloatB::ZqFolderDownClick(TObject* Sender) { Form1->ZqFolderDownClick(Sender); }

void TFormFloatB::ZqFolderUpClick(TObject* Sender) { Form1->ZqFolderUpClick(Sender); }

void TFormFloatB::ZqSpeedUpClick(TObject* Sender) {
  Form1->ZqSpeedUpClick(Sender);
  LabelDelay->SetCaption(Form1->LabelDelay->Caption());
}

void TFormFloatB::ZqSpeedDownClick(TObject* Sender) {
  Form1->ZqSpeedDownClick(Sender);
  LabelDelay->SetCaption(Form1->LabelDelay->Caption());
}

void TFormFloatB::ZqSpeedButton1Click(TObject* /*Sender*/) { Close(); }

void TFormFloatB::ZqSpeedButton3Click(TObject* Sender) {
  if (Form1->FFullScreen) Form1->M_Start1Click(Sender);
}

void TFormFloatB::ZqBrowsePanelClick(TObject* Sender) { Form1->ZqBrowsePanelClick(Sender); }

void TFormFloatB::ZqFullScreenClick(TObject* /*Sender*/) { Form1->FullScreen(); }
