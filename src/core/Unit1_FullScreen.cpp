// Full screen, the full-screen slide show and its timer tick, the floating bar at the
// screen edge, and the pictures a fade runs between.
#include "controls/EventScrollbox.h"
#include "controls/ZephFade.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "core/UnitFadestyles.h"
#include "core/UnitSetting.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Math.h"
#include "tools/UnitFloatButtons.h"
#include "tools/UnitThumbSpy.h"

namespace {

// The background of the picture area outside a show: the preferences' colour.
TColor PictureBackground() { return FormSettings ? FormSettings->ColorBox1->Selected() : clWindow; }

// The floating bar is made after the main window: it is tied to the main window when it is
// first needed, its start/pause button to the main window's (unless the bar ties it itself).
void ConnectFloatBar(TForm1& form) {
  if (!FormFloatB) return;
  // The bar stands in front of the full-screen window (the window system keeps a
  // full-screen window above windows that merely stay on top).
  if (FormFloatB->PopupParent() != &form) FormFloatB->SetPopupParent(&form);
  if (FormFloatB->ZqAutonext->OnClick) return;
  FormFloatB->ZqAutonext->OnClick = [&form](TObject* Sender) {
    form.ZqAutonext->SetDown(FormFloatB->ZqAutonext->Down());
    form.ZqAutonextClick(Sender);
  };
}

}  // namespace

// ===========================================================================
// Full screen
// ===========================================================================
void TForm1::ShowTitleBar() {
  if (TCustomForm::FullScreen()) SetFullScreen(false);
}

void TForm1::HideTitleBar() {
  if (!TCustomForm::FullScreen()) SetFullScreen(true);
}

void TForm1::FullScreen() {
  // A second request while the window changes (its messages are handled meanwhile) waits
  // for none: the change under way stands.
  if (fullScreenChanging_) return;
  fullScreenChanging_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{fullScreenChanging_};
  ConnectFloatBar(*this);
  HourGlassCursor();
  // Nothing is drawn while the window changes; the picture is fitted anew at the end.
  const std::string remembered = FCurrentFile;
  FCurrentFile.clear();
  const bool buffered = ScrollBox1->DoubleBuffered();
  const bool listBuffered = ListBox1->DoubleBuffered();
  // The thumbnail panel that a show hid comes back; the show may have listed other folders.
  const bool thumbsBack = FFullScreen && FSavedThumbsVisible;
  if (buffered) {
    ScrollBox1->SetDoubleBuffered(false);
    ListBox1->SetDoubleBuffered(false);
  }

  if (FFullScreen) {
    ShowItHide();
    if (FormFloatB && FormFloatB->Visible()) FormFloatB->Close();
    FFullScreen = false;
    ScrollBox1->SetColor(PictureBackground());
    ShowTitleBar();
    // The browser comes back as it was: hidden while its button is down.
    Splitter1->SetVisible(!ZqBrowsePanel->Down());
    PanelBrowse->SetVisible(!ZqBrowsePanel->Down());
    if (FSlideShowMode) ZqFitInScreen->SetDown(FSavedFitState);
    M_Fitlargertoviewer->SetChecked(ZqFitInScreen->Down());
    if (!ZqMainMenu->Down()) ToggleMainMenus(true);
    PanelTopButtons->SetVisible(M_Buttons->Checked());
    StatusBar1->SetVisible(M_Statusbar->Checked());
    if (FSavedThumbsVisible) PanelThumbHolder->SetVisible(true);
    // The panel was hidden by this show only: a later full screen leaves it as it is.
    FSavedThumbsVisible = false;
    PanelScrollBandShrtCut->SetBevelInner(bvLowered);
    ZqSlideShow->SetDown(false);
    ZqAutonext->SetDown(false);
    if (FormFloatB) FormFloatB->ZqAutonext->SetDown(false);
    Timer1->SetEnabled(false);
    FSlideRunning = false;
    FSlideShowMode = false;
    Image1->SetVisible(true);
    ZephFade1->SetVisible(false);
    PopupImage->SetAutoPopup(!FBrowseMode);
  } else {
    Image1->Picture()->Assign(nullptr);
    FFullScreen = true;
    PanelTopButtons->SetVisible(false);
    ToggleMainMenus(false);
    if (PanelFavorites->Visible()) {
      ZqFavoriteslist->SetDown(false);
      ZqFavoriteslistClick(this);
    }
    Splitter1->SetVisible(false);
    PanelBrowse->SetVisible(false);
    StatusBar1->SetVisible(false);
    PanelScrollBandShrtCut->SetBevelInner(bvNone);
    HideTitleBar();
    ScrollBox1->SetColor(M_BlackSlideshowBG->Checked() ? clBlack : PictureBackground());
    Image1->SetVisible(!ZephFade1->Visible());
  }

  Realign();
  if (buffered) {
    ScrollBox1->SetDoubleBuffered(true);
    ListBox1->SetDoubleBuffered(listBuffered);
  }
  if (FFullScreen && M_FloatingButtons->Checked() && FormFloatB) {
    FormFloatB->ShowNoActivate();
    Application->ProcessMessages();
  }
  RestoreCursor();
  UpdateScreenSaverInhibit();
  FCurrentFile = remembered;
  if (!FCurrentFile.empty()) OpenThePicture(FCurrentFile);
  if (thumbsBack && PanelThumbHolder->Visible() && !ThumbsShowTheList()) FillTheTumbsNow();
}

// ===========================================================================
// The slide show
// ===========================================================================
void TForm1::ZqSlideShowClick(TObject* /*Sender*/) {
  if (FormThumbSpy && FormThumbSpy->Visible()) FormThumbSpy->Close();
  if (ZqAutonext->Down()) {
    ZqAutonext->SetDown(false);
    FSlideRunning = false;
    Timer1->SetEnabled(false);
  }
  if (!Timer1->Enabled() && !FSlideShowMode) {
    // A show starts: pictures are fitted, the thumbnails step aside.
    FSavedFitState = ZqFitInScreen->Down();
    ZqFitInScreen->SetDown(true);
    M_Fitlargertoviewer->SetChecked(true);
    FSavedThumbsVisible = PanelThumbHolder->Visible();
    PanelThumbHolder->SetVisible(false);
    if (!FFullScreen) FullScreen();
    PopupImage->SetAutoPopup(false);
    if (M_Movemouse->Checked()) Mouse->SetCursorPos(ClientToScreen(Point(Screen->Width() - 10, Screen->Height() - 14)));
  }
  FSlideRunning = ZqSlideShow->Down();
  Timer1->SetEnabled(FSlideRunning);
  FSlideShowMode = FSlideRunning;
  ZqAutonext->SetDown(Timer1->Enabled());
  if (FormFloatB) FormFloatB->ZqAutonext->SetDown(ZqAutonext->Down());
  UpdateScreenSaverInhibit();
}

void TForm1::Timer1Timer(TObject* /*Sender*/) {
  if (!ZqSlideShow->Down() && !ZqAutonext->Down()) {
    Screen->SetCursor(crDefault);
    FSlideRunning = false;
    Timer1->SetEnabled(false);
    UpdateScreenSaverInhibit();
    return;
  }
  if (FBuildingThumbs || FFadeRunning) {
    // The next picture waits for the thumbnails or the fade.
    std::string marks = Label4->Caption();
    if (marks.size() > 200) marks.erase(0, marks.size() - 200);
    Label4->SetCaption(marks + " I");
    Application->ProcessMessages();
    return;
  }
  ShowNextPicture();
}

void TForm1::ActivateFloatButtons(int X, int Y) {
  if (!FFullScreen || !FormFloatB || (X >= 5 && Y >= 5)) return;
  ConnectFloatBar(*this);
  if (!FormFloatB->Visible()) {
    const int width = FormFloatB->Width(), height = FormFloatB->Height();
    FormFloatB->SetLeft(X > Screen->Width() - width ? X - width : X + 10);
    FormFloatB->SetTop(Y > Screen->Height() - height ? Y - height : Y + 10);
  }
  FormFloatB->ShowNoActivate();
}

void TForm1::M_FloatingButtonsClick(TObject* /*Sender*/) {
  if (!FFullScreen || !FormFloatB) return;
  ConnectFloatBar(*this);
  if (FormFloatB->Visible())
    FormFloatB->Close();
  else
    FormFloatB->ShowNoActivate();
}

void TForm1::FloatingButtons1Click(TObject* /*Sender*/) {
  if (!FormFloatB) return;
  ConnectFloatBar(*this);
  if (FormFloatB->Visible())
    FormFloatB->Close();
  else
    FormFloatB->ShowNoActivate();
}

// ===========================================================================
// Fades
// ===========================================================================
void TForm1::PaintZephFadeCanvas(TBitmap* Source, TBitmap* Destination, bool Draw, int /*Width*/, int /*Height*/) {
  if (!Destination) return;
  const int width = std::max(ClientWidth(), 1), height = std::max(ClientHeight(), 1);
  Destination->SetPixelFormat(pf24bit);
  Destination->SetSize(width, height);
  TCanvas& canvas = Destination->Canvas();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(M_BlackSlideshowBG->Checked() ? clBlack : PictureBackground());
  canvas.FillRect(Rect(0, 0, width, height));
  if (!Draw || !Source || Source->Empty()) return;
  const int x = Source->Width() < width ? (width - Source->Width()) / 2 : 0;
  const int y = Source->Height() < height - 4 ? (height - 4 - Source->Height()) / 2 : 0;
  canvas.Draw(x, y, *Source);
}

std::unique_ptr<TBitmap> TForm1::ShownBitmap() const {
  auto shown = std::make_unique<TBitmap>();
  if (auto* bitmap = dynamic_cast<TBitmap*>(Image1->Picture()->Graphic()))
    shown->Assign(bitmap);
  else if (Image1->Picture()->Graphic())
    shown->Assign(Image1->Picture()->Graphic());
  return shown;
}

void TForm1::CreateDummyFadeFromPicture() {
  PaintZephFadeCanvas(nullptr, FFadeFromPicture->Bitmap(), false, 0, 0);
}

void TForm1::FadePicture() {
  TFormFadestyles& styles = *FormFadestyles;
  if (!styles.ChB_Soft->Checked() && !styles.ChB_Coarse->Checked() && !styles.ChB_Direct->Checked())
    styles.ChB_Soft->SetChecked(true);
  ZephFade1->SetBounds(0, 0, ScrollBox1->Width(), ScrollBox1->Height());
  ZephFade1->SetPicTo(nullptr);
  PaintZephFadeCanvas(ShownBitmap().get(), FDisplayPicture->Bitmap(), true, 0, 0);
  ZephFade1->SetPicTo(FDisplayPicture.get());
  const TColor background = M_BlackSlideshowBG->Checked() ? clBlack : PictureBackground();
  ZephFade1->SetColorFrom(background);
  ZephFade1->SetColorTo(background);

  const int sum = 5 * int(styles.ChB_Soft->Checked()) + 10 * int(styles.ChB_Coarse->Checked()) +
                  20 * int(styles.ChB_Direct->Checked());
  bool dissolve = false;
  int side = 0;
  switch (sum) {
    case 5: break;
    case 10: dissolve = true; break;
    case 15: dissolve = Random(2) == 1; break;
    case 20:
      side = Random(5) + 1;
      dissolve = true;
      break;
    case 25: {
      const int r = Random(8);
      side = r <= 6 ? r : 0;
      dissolve = side >= 1;
      break;
    }
    case 30: {
      const int r = Random(8);
      side = r <= 6 ? r : 0;
      dissolve = true;
      break;
    }
    default: {
      const int r = Random(11);
      side = r <= 6 ? r : 0;
      dissolve = side > 0 || Random(2) == 1;
      break;
    }
  }
  ZephFade1->SetFromSide(side);
  try {
    if (dissolve)
      ZephFade1->RunDissolve();
    else
      ZephFade1->RunBlend();
  } catch (const EZephFade&) {
    // A picture area too small to fade shows the picture at once.
    FFadeRunning = false;
  }
}

void TForm1::ZephFade1Begin(TObject* /*Sender*/) { FFadeRunning = true; }

void TForm1::ZephFade1End(TObject* /*Sender*/) { FFadeRunning = false; }

void TForm1::ZephFade1MouseUp(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/,
                              int /*Y*/) {
  Image1->SetCursor(FBrowseMode ? crBrowse : crDefault);
}

void TForm1::ZephFade1MouseEnter(TObject* /*Sender*/) {
  if (FormFloatB && FormFloatB->Active()) SetFocus();
}
