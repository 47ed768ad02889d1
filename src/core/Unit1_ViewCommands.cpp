// The view commands: fitting and stretching, the JPEG decode scale, preview, inverted
// and grey display, reloading, the panels and bars that can be shown or hidden, the
// floating bar, the thumbnail panel switch, the picture popup and the mouse moves over
// the window; and the binding of the viewer's events.
#include "controls/EventScrollbox.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZephFade.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "formats/GIFImage.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Gauges.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitFloatButtons.h"
#include "tools/UnitThumbSpy.h"
#include "tools/ZoomFloatUnit.h"

// ===========================================================================
// Fitting and the decode scale
// ===========================================================================
void TForm1::ZqFitInScreenClick(TObject* /*Sender*/) {
  M_Fitlargertoviewer->SetChecked(ZqFitInScreen->Down());
  if (Timer1->Enabled()) {
    Timer1->SetEnabled(false);
    Application->ProcessMessages();
  }
  if (!FCurrentFile.empty()) OpenThePicture(FCurrentFile);
  ShowExifLabel();
}

void TForm1::ZqStretchsmallerClick(TObject* /*Sender*/) {
  M_Strechsmaller->SetChecked(ZqStretchsmaller->Down());
  // During a show the next picture follows the new setting.
  if (!Timer1->Enabled() && !FCurrentFile.empty()) OpenThePicture(FCurrentFile);
}

void TForm1::M_FitlargertoviewerClick(TObject* /*Sender*/) {
  ZqFitInScreen->SetDown(!ZqFitInScreen->Down());
  M_Fitlargertoviewer->SetChecked(ZqFitInScreen->Down());
  ZqFitInScreenClick(this);
}

void TForm1::M_StrechsmallerClick(TObject* /*Sender*/) {
  ZqStretchsmaller->SetDown(!ZqStretchsmaller->Down());
  M_Strechsmaller->SetChecked(ZqStretchsmaller->Down());
  ZqFitInScreenClick(this);
}

void TForm1::Fitlargeronoff1Click(TObject* /*Sender*/) {
  ZqFitInScreen->SetDown(!ZqFitInScreen->Down());
  M_Fitlargertoviewer->SetChecked(ZqFitInScreen->Down());
  if (!FCurrentFile.empty()) OpenThePicture(FCurrentFile);
}

void TForm1::Strechsmalleronoff1Click(TObject* /*Sender*/) {
  ZqStretchsmaller->SetDown(!ZqStretchsmaller->Down());
  M_Strechsmaller->SetChecked(ZqStretchsmaller->Down());
  if (!FCurrentFile.empty()) OpenThePicture(FCurrentFile);
}

void TForm1::M_AutoscaleClick(TObject* Sender) {
  if (auto* item = dynamic_cast<TMenuItem*>(Sender)) item->SetChecked(true);
  const int index = ListBox1->ItemIndex();
  if (index >= 0 && index < ListBox1->Count()) OpenThePicture(ListBox1->Items()->Strings(index));
}

void TForm1::SmoothstrechClick(TObject* /*Sender*/) {
  const int index = ListBox1->ItemIndex();
  if (index >= 0 && index < ListBox1->Count()) OpenThePicture(ListBox1->Items()->Strings(index));
}

void TForm1::M_PreviewClick(TObject* /*Sender*/) {
  FPreview = M_Preview->Checked();
  ShowIt(FPreview ? _("Preview on") : _("Preview off"), true);
}

// ===========================================================================
// The picture popup
// ===========================================================================
void TForm1::Invert1Click(TObject* /*Sender*/) { InvertImage(); }

void TForm1::Grayscale1Click(TObject* /*Sender*/) {
  auto* bitmap = dynamic_cast<TBitmap*>(Image1->Picture()->Graphic());
  if (!bitmap || bitmap->Empty()) return;
  try {
    GrayscaleBitmap(*bitmap);
  } catch (const Exception&) {
    return;
  }
  Image1->Invalidate();
}

void TForm1::Reloadimage1Click(TObject* /*Sender*/) {
  if (FileExists(FCurrentFile)) OpenThePicture(FCurrentFile);
}

void TForm1::PopupImagePopup(TObject* /*Sender*/) {
  if (UnitZoomFloat && UnitZoomFloat->Active()) SetFocus();
  FloatingButtons1->SetVisible(FFullScreen);
  FloatingButtons1->SetChecked(FormFloatB && FormFloatB->Visible());
  // Only while the view shows an animated GIF (not after it was emptied or replaced).
  RunGifImage1->SetEnabled(FAnimatedGif && FGifImage && Image1->Picture()->Graphic() == FGifImage);
  Reloadimage1->SetEnabled(FileExists(FCurrentFile));
}

// ===========================================================================
// Panels and bars
// ===========================================================================
void TForm1::ZqBrowsePanelClick(TObject* /*Sender*/) {
  Splitter1->SetVisible(!Splitter1->Visible());
  PanelBrowse->SetVisible(!PanelBrowse->Visible());
  // A splitter shown again goes back beside its panel.
  if (Splitter1->Visible()) Splitter1->SetLeft(PanelBrowse->Left() + PanelBrowse->Width());
  ZqBrowsePanel->SetDown(!PanelBrowse->Visible());
  ChB_CloseOnClick->SetEnabled(PanelBrowse->Visible());
  M_Tree->SetChecked(PanelBrowse->Visible());
  Application->ProcessMessages();
  FormResize(this);
  ShowExifLabel();
}

void TForm1::M_TreeClick(TObject* /*Sender*/) {
  if (FFullScreen) {
    M_Tree->SetChecked(!ZqBrowsePanel->Down());
    return;
  }
  ZqBrowsePanelClick(this);
}

void TForm1::ZqMainMenuClick(TObject* /*Sender*/) {
  ToggleMainMenus(!ZqMainMenu->Down());
  FormResize(this);
}

void TForm1::M_ButtonsClick(TObject* /*Sender*/) {
  if (!FSlideShowMode && !FFullScreen) PanelTopButtons->SetVisible(!PanelTopButtons->Visible());
  M_Buttons->SetChecked(FFullScreen ? !M_Buttons->Checked() : PanelTopButtons->Visible());
}

void TForm1::M_StatusbarClick(TObject* /*Sender*/) {
  if (!FSlideShowMode && !FFullScreen) StatusBar1->SetVisible(!StatusBar1->Visible());
  M_Statusbar->SetChecked(FFullScreen ? !M_Statusbar->Checked() : StatusBar1->Visible());
}

void TForm1::ZqTumblistClick(TObject* /*Sender*/) {
  if (FSlideShowMode && !PanelThumbHolder->Visible()) return;
  if (ZqTumblist->Down()) {
    FBuildingThumbs = false;
    FillTheTumbsNow();
    FormResize(this);
    return;
  }
  // The build stops before its panel goes.
  FBuildingThumbs = false;
  ++thumbBuildGeneration_;
  Application->ProcessMessages();
  PanelThumbHolder->SetVisible(false);
  Application->ProcessMessages();
  FormResize(this);
  Application->ProcessMessages();
  if (PanelThumbHolder->ControlCount() > 0 && FThumbScrollBox) {
    delete FThumbScrollBox;
    FThumbScrollBox = nullptr;
  }
  PanelGauge->SetVisible(false);
  Application->ProcessMessages();
}

void TForm1::Onoff1Click(TObject* /*Sender*/) {
  if (FSlideShowMode) return;
  ZqTumblist->SetDown(!ZqTumblist->Down());
  if (ScrollBox1->CanFocus()) ScrollBox1->SetFocus();
  ZqTumblistClick(this);
}

void TForm1::PanelGaugeClick(TObject* /*Sender*/) { FBuildingThumbs = false; }

void TForm1::M_ShowfilenameClick(TObject* /*Sender*/) {
  if (!M_Showfilename->Checked()) ShowItHide();
}

// ===========================================================================
// Mouse moves over the window
// ===========================================================================
void TForm1::FormMouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  if (!Application->Active()) return;
  if (FormFloatB && FormFloatB->Active()) SetFocus();
  if (FormThumbSpy && FormThumbSpy->Visible()) FormThumbSpy->Close();
}

void TForm1::ScrollBox1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y) {
  if (!Application->Active()) return;
  FormMouseMove(Sender, Shift, X, Y);
  TWinControl* focused = Screen->ActiveControl();
  if (focused && (focused == PanelThumbHolder || PanelThumbHolder->ContainsControl(focused)) && ScrollBox1->CanFocus())
    ScrollBox1->SetFocus();
  ScrollBox1->SetCursor(FBrowseMode ? crBrowse : crDefault);
  ActivateFloatButtons(X, Y);
}

void TForm1::Splitter2Moved(TObject* /*Sender*/) {
  folderTreeHeight_ = PanelTrees->Height();
  if (FormThumbSpy && FormThumbSpy->Visible()) FormThumbSpy->Close();
}

// ===========================================================================
// Events
// ===========================================================================
void TForm1::bindViewerEvents() {
  auto click = [this](void (TForm1::*handler)(TObject*)) {
    return [this, handler](TObject* Sender) { (this->*handler)(Sender); };
  };
  // Thumbnails.
  PanelThumbHolder->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    PanelThumbHolderMouseMove(Sender, Shift, X, Y);
  };
  PanelGauge->OnClick = click(&TForm1::PanelGaugeClick);
  Gauge1->OnClick = click(&TForm1::PanelGaugeClick);
  ZqTumblist->OnClick = click(&TForm1::ZqTumblistClick);
  Onoff1->OnClick = click(&TForm1::Onoff1Click);

  // Full screen, the show and the fade.
  ZqSlideShow->OnClick = click(&TForm1::ZqSlideShowClick);
  Timer1->OnTimer = click(&TForm1::Timer1Timer);
  ZephFade1->SetProcessMsgs(true);
  ZephFade1->OnBegin = click(&TForm1::ZephFade1Begin);
  ZephFade1->OnEnd = click(&TForm1::ZephFade1End);
  ZephFade1->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    ZephFade1MouseUp(Sender, Button, Shift, X, Y);
  };
  ZephFade1->OnMouseEnter = click(&TForm1::ZephFade1MouseEnter);

  // The picture.
  auto pictureDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    Image1MouseDown(Sender, Button, Shift, X, Y);
  };
  Image1->OnMouseDown = pictureDown;
  ScrollBox1->OnMouseDown = pictureDown;
  Image1->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    Image1MouseMove(Sender, Shift, X, Y);
  };
  Image1->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    Image1MouseUp(Sender, Button, Shift, X, Y);
  };
  Image1->OnDblClick = click(&TForm1::Image1DblClick);
  auto wheel = [this](TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled) {
    ScrollBox1MouseWheel(Sender, Shift, WheelDelta, MousePos, Handled);
  };
  Image1->OnMouseWheel = wheel;
  ScrollBox1->OnMouseWheel = wheel;
  ScrollBox1->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    ScrollBox1MouseMove(Sender, Shift, X, Y);
  };

  // Navigation.
  ZqNext->OnClick = click(&TForm1::ZqNextClick);
  ZqPrevious->OnClick = click(&TForm1::ZqPreviousClick);
  ZqAutonext->OnClick = click(&TForm1::ZqAutonextClick);
  ZqFolderDown->OnClick = click(&TForm1::ZqFolderDownClick);
  ZqFolderUp->OnClick = click(&TForm1::ZqFolderUpClick);
  ZqSpeedUp->OnClick = click(&TForm1::ZqSpeedUpClick);
  ZqSpeedDown->OnClick = click(&TForm1::ZqSpeedDownClick);
  M_Start1->OnClick = click(&TForm1::M_Start1Click);
  M_Recursive->OnClick = click(&TForm1::M_RecursiveClick);
  QzDirTree211->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    QzDirTree211MouseDown(Sender, Button, Shift, X, Y);
  };
  QzDirTree211->OnKeyPress = [this](TObject* Sender, char& Key) { QzDirTree211KeyPress(Sender, Key); };

  // View commands.
  ZqFitInScreen->OnClick = click(&TForm1::ZqFitInScreenClick);
  ZqStretchsmaller->OnClick = click(&TForm1::ZqStretchsmallerClick);
  M_Fitlargertoviewer->OnClick = click(&TForm1::M_FitlargertoviewerClick);
  M_Strechsmaller->OnClick = click(&TForm1::M_StrechsmallerClick);
  Fitlargeronoff1->OnClick = click(&TForm1::Fitlargeronoff1Click);
  Strechsmalleronoff1->OnClick = click(&TForm1::Strechsmalleronoff1Click);
  for (TMenuItem* item : {M_Autoscale, N111, N121, N141, N181}) item->OnClick = click(&TForm1::M_AutoscaleClick);
  Smoothstrech->OnClick = click(&TForm1::SmoothstrechClick);
  M_Preview->OnClick = click(&TForm1::M_PreviewClick);
  Invert1->OnClick = click(&TForm1::Invert1Click);
  Grayscale1->OnClick = click(&TForm1::Grayscale1Click);
  Reloadimage1->OnClick = click(&TForm1::Reloadimage1Click);
  PopupImage->OnPopup = click(&TForm1::PopupImagePopup);
  ZqBrowsePanel->OnClick = click(&TForm1::ZqBrowsePanelClick);
  M_Tree->OnClick = click(&TForm1::M_TreeClick);
  ZqMainMenu->OnClick = click(&TForm1::ZqMainMenuClick);
  M_Buttons->OnClick = click(&TForm1::M_ButtonsClick);
  M_Statusbar->OnClick = click(&TForm1::M_StatusbarClick);
  M_FloatingButtons->OnClick = click(&TForm1::M_FloatingButtonsClick);
  FloatingButtons1->OnClick = click(&TForm1::FloatingButtons1Click);
  Floatingbuttons2->OnClick = click(&TForm1::FloatingButtons1Click);
  M_Showfilename->OnClick = click(&TForm1::M_ShowfilenameClick);
  auto formMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) { FormMouseMove(Sender, Shift, X, Y); };
  OnMouseMove = formMove;
  for (TControl* control : std::initializer_list<TControl*>{TreeView1, QzDirTree211, PanelCustomLists, ImageSearch1,
                                                            Zq_CloseList, PanelListCaption, StatusBar1,
                                                            PanelTopButtons, ListBox2})
    control->OnMouseMove = formMove;
  Splitter2->OnMoved = click(&TForm1::Splitter2Moved);

  // The file list.
  ListBox1->SetStyle(lbOwnerDrawFixed);
  ListBox2->SetStyle(lbOwnerDrawFixed);
  auto drawItem = [this](TWinControl* Control, int Index, const TRect& Rect, TOwnerDrawState State) {
    ListBox1DrawItem(Control, Index, Rect, State);
  };
  ListBox1->OnDrawItem = drawItem;
  ListBox2->OnDrawItem = drawItem;
  ListBox1->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    ListBox1MouseMove(Sender, Shift, X, Y);
  };
  auto listDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    ListBox1MouseDown(Sender, Button, Shift, X, Y);
  };
  ListBox1->OnMouseDown = listDown;
  TreeView1->OnMouseDown = listDown;
  ListBox1->OnDblClick = click(&TForm1::ListBox1DblClick);
  PopupListbox->OnPopup = click(&TForm1::PopupListboxPopup);
  Zq_CloseList->OnClick = click(&TForm1::Zq_CloseListClick);
  P_Closelistgoto->OnClick = click(&TForm1::P_CloselistgotoClick);
  ThumbsSpy->OnClick = click(&TForm1::ThumbsSpyClick);
}
