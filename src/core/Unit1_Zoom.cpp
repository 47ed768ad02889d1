// Zoom, the window's keys and the mouse on the picture: dragging a large picture, zooming
// with Ctrl and the mouse, browse mode, the wheel and the cursors.
#include <algorithm>
#include <cstdlib>

#include "controls/EventScrollbox.h"
#include "controls/KpPanel.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZephFade.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "core/UnitSetting.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitThumbSpy.h"

namespace {

constexpr int kMinZoom = 10, kMaxZoom = 500;
// Pixels one notch of the wheel scrolls a large picture.
constexpr int kWheelStep = 60;

bool Exactly(TShiftState shift, TShiftStateItem item) {
  // Mouse buttons held do not count as keys.
  shift.Exclude(ssLeft);
  shift.Exclude(ssRight);
  shift.Exclude(ssMiddle);
  shift.Exclude(ssDouble);
  return shift == TShiftState{item};
}

}  // namespace

// ===========================================================================
// Zoom
// ===========================================================================
void TForm1::ZoomPicture(int Percent) {
  FAnimatedGif = false;
  FExactRescale = true;
  ShowItHide();
  HideExifLabels();
  Application->ProcessMessages();
  try {
    TControlScrollBar* horz = ScrollBox1->HorzScrollBar();
    TControlScrollBar* vert = ScrollBox1->VertScrollBar();
    const int viewWidth = ScrollBox1->ClientWidth(), viewHeight = ScrollBox1->ClientHeight();
    // The point in the middle of the view, in percent of the picture (a picture smaller
    // than the area lies centred in it, to the right of and below the area's origin).
    const int cx = RoundedPercent(viewWidth / 2 - Image1->Left(), Image1->Width());
    const int cy = RoundedPercent(viewHeight / 2 - Image1->Top(), Image1->Height());
    ScrollBox1->SetDoubleBuffered(true);
    Image1->SetAutoSize(false);
    Image1->SetStretch(true);
    Image1->SetHeight(PercentOfValue(Percent, Image1->Picture()->Height()));
    Image1->SetWidth(PercentOfValue(Percent, Image1->Picture()->Width()));
    // A picture smaller than the area is centred in it; a larger one starts at the
    // scrolled origin.
    if (Image1->Width() < ScrollBox1->ClientWidth())
      Image1->SetLeft((ScrollBox1->ClientWidth() - Image1->Width()) / 2);
    else if (Image1->Left() > 0)
      Image1->SetLeft(-horz->Position());
    if (Image1->Height() < ScrollBox1->ClientHeight())
      Image1->SetTop((ScrollBox1->ClientHeight() - Image1->Height()) / 2);
    else if (Image1->Top() > 0)
      Image1->SetTop(-vert->Position());
    ScrollBox1->UpdateScrollBars();
    // The same point goes back to the middle of the view.
    const int sx = PercentOfValue(cx, Image1->Width()) - ScrollBox1->ClientWidth() / 2;
    const int sy = PercentOfValue(cy, Image1->Height()) - ScrollBox1->ClientHeight() / 2;
    if (vert->Range() > ScrollBox1->ClientHeight())
      vert->SetPosition(std::clamp(sy, 0, vert->Range() - ScrollBox1->ClientHeight()));
    if (horz->Range() > ScrollBox1->ClientWidth())
      horz->SetPosition(std::clamp(sx, 0, horz->Range() - ScrollBox1->ClientWidth()));
  } catch (const std::exception&) {
    // The view keeps what it had; the status and the overlay follow below.
  }
  if (StatusBar1->Panels()->Count() > 6)
    StatusBar1->Panels()->Items(6)->SetText(IntToStr(FZoomPercent) + "%" + FScaleText);
  ShowExifLabel();
  FExactRescale = false;
  if (FFullScreen && M_Showfilename->Checked()) ShowIt(FCurrentFile);
}

// ===========================================================================
// Keys
// ===========================================================================
void TForm1::StopSlideTimer() {
  Timer1->SetEnabled(false);
  ZqSlideShow->SetDown(false);
  FSlideRunning = false;
  UpdateScreenSaverInhibit();
}

void TForm1::ToggleBrowseMode() {
  FBrowseMode = !FBrowseMode;
  ShowIt(FBrowseMode ? _("Browse mode, mouse buttons = next/previous picture") : _("Normal mouse button mode"), true);
  PopupImage->SetAutoPopup(!FBrowseMode);
  PopupZephFade->SetAutoPopup(!FBrowseMode);
  Image1->SetCursor(FBrowseMode ? crBrowse : crHandPoint);
  ZephFade1->SetCursor(FBrowseMode ? crBrowse : crDefault);
}

void TForm1::FormKeyDown(TObject* /*Sender*/, uint16_t& Key, TShiftState Shift) {
  if (QzDirTree211->IsEditing() || TreeView1->IsEditing()) return;
  const uint16_t key = Key;
  // A modifier key pressed alone is held as it goes down.
  if (key == VK_CONTROL) Shift.Include(ssCtrl);
  if (key == VK_SHIFT) Shift.Include(ssShift);
  if (key == VK_MENU) Shift.Include(ssAlt);
  const bool ctrl = Exactly(Shift, ssCtrl);
  const bool shift = Exactly(Shift, ssShift);
  // The keys of the viewer go no further (the focused control does not act on them too).
  bool handled = true;
  struct Consume {
    uint16_t& key;
    bool& handled;
    ~Consume() {
      if (handled) key = 0;
    }
  } consume{Key, handled};

  if (key == VK_ESCAPE && ActionRunning) {
    StopRequested = true;
    return;
  }
  // Delete typed into a text field edits the text, not the file list.
  if (key == VK_DELETE && !dynamic_cast<TCustomEdit*>(Screen->ActiveControl())) {
    P_DeletefileClick(this);
    return;
  }
  if (Shift.Contains(ssCtrl) && Shift.Contains(ssAlt) && !Shift.Contains(ssShift))
    Image1->SetCursor(crZoomOut);
  else if (ctrl)
    Image1->SetCursor(crZoomIn);

  if (key == 'M' && ctrl) {
    ToggleBrowseMode();
  } else if (key == VK_OEM_5 && ctrl) {
    FSkipLockedFolders = !FSkipLockedFolders;
    // Said once the reload has filled the status bar afresh, and kept until the list moves.
    Reload1Click(this);
    ShowStatusNote(FSkipLockedFolders ? "Locked" : "UnLocked");
  } else if (key == VK_F9) {
    FullScreen();
  } else if (key == VK_ESCAPE) {
    FolderSearchActive = false;
    if (!FFullScreen) {
      if (TranslatedMessageDialog(_("Exit ") + FAppName + "?", mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0) ==
          mrYes)
        Close();
      return;
    }
    M_Start1Click(this);
  } else if (key == VK_OEM_PERIOD) {
    StopSlideTimer();
    if (ctrl || shift)
      SelectAndOpen(ListBox1->Count() - 1);
    else
      ShowNextPicture();
  } else if (key == 'N' && ctrl) {
    RecursiveSelectDown(true);
  } else if (key == 'P' && ctrl) {
    RecursiveSelectUp(true);
  } else if (key == VK_OEM_COMMA) {
    StopSlideTimer();
    if (ctrl || shift)
      SelectAndOpen(0);
    else
      ZqPreviousClick(this);
  } else if (key == VK_SPACE) {
    ZqAutonext->SetDown(!ZqAutonext->Down());
    ZqAutonextClick(this);
  } else {
    handled = false;
  }

  if (FSlideShowMode) return;
  if (ctrl || shift) {
    if (ListBox1->Count() == 0) return;
    // Ctrl and Shift clicks select several entries from now on.
    ListboxMultiSelectOn();
    if (MouseOverItem != -1) {
      MouseOverItem = -1;
      ListBox1->Invalidate();
    }
  }
  if (key == VK_ADD || key == VK_OEM_PLUS) {
    handled = true;
    if (FZoomPercent == kMaxZoom) return;
    if (FZoomPercent > kMaxZoom) FZoomPercent = kMaxZoom;
    if (ctrl)
      FZoomPercent += 1;
    else if (FZoomPercent < 100)
      FZoomPercent += 10;
    else if (FZoomPercent < kMaxZoom)
      FZoomPercent += 50;
    ZoomPicture(FZoomPercent);
    if (FFullScreen) ShowIt(IntToStr(FZoomPercent) + "%" + FScaleText, true);
  } else if (key == VK_SUBTRACT || key == VK_OEM_MINUS) {
    handled = true;
    if (FZoomPercent == kMinZoom) return;
    if (FZoomPercent < kMinZoom) FZoomPercent = kMinZoom;
    if (ctrl)
      FZoomPercent -= 1;
    else if (FZoomPercent > 100)
      FZoomPercent -= 50;
    else if (FZoomPercent > kMinZoom)
      FZoomPercent -= 10;
    ZoomPicture(FZoomPercent);
    if (FFullScreen) ShowIt(IntToStr(FZoomPercent) + "%" + FScaleText, true);
  } else if (key == VK_F1) {
    handled = true;
    M_HelpClick(this);
  } else if (key == 'D' && ctrl) {
    handled = true;
    if (FileExists(FAppDir + "debug.txt") || !FindNameNoCase(FProgramDir, "debug.txt").empty()) {
      KpFramePanel1->SetLeft(0);
      KpFramePanel1->SetTop(0);
      KpFramePanel1->SetVisible(!KpFramePanel1->Visible());
      if (KpFramePanel1->Visible()) KpFramePanel1->BringToFront();
    }
    FormSettings->USB_Button->SetVisible(!FormSettings->USB_Button->Visible());
  }
}

// ===========================================================================
// The mouse on the picture
// ===========================================================================
void TForm1::Image1MouseDown(TObject* /*Sender*/, TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (ChB_CloseOnClick->Checked() && ZqFavoriteslist->Down() && PanelBrowse->Visible()) {
    ZqFavoriteslist->SetDown(false);
    ZqFavoriteslistClick(this);
  }
  FDragStartX = X;
  FDragStartY = Y;
  FDragging = true;
  const bool ctrlAlt = Shift.Contains(ssCtrl) && Shift.Contains(ssAlt) && !Shift.Contains(ssShift);
  if (Button == mbLeft && Exactly(Shift, ssCtrl)) {
    if (FZoomPercent < kMaxZoom) {
      FZoomPercent = FZoomPercent >= kMaxZoom - 25 ? kMaxZoom : FZoomPercent + 25;
      ZoomPicture(FZoomPercent);
    }
    return;
  }
  if (Button == mbLeft && ctrlAlt) {
    if (FZoomPercent > kMinZoom) {
      FZoomPercent = FZoomPercent <= kMinZoom + 25 ? kMinZoom : FZoomPercent - 25;
      ZoomPicture(FZoomPercent);
    }
    return;
  }
  if (Button == mbMiddle) ToggleBrowseMode();
  if (FBrowseMode && (Button == mbLeft || Button == mbRight)) {
    StopSlideTimer();
    FDragging = false;
    if (Button == mbLeft)
      ZqPreviousClick(this);
    else
      ZqNextClick(this);
  }
  const TCursor pictureCursor = FBrowseMode ? crBrowse : crHandPoint;
  const TCursor otherCursor = FBrowseMode ? crBrowse : crDefault;
  Image1->SetCursor(pictureCursor);
  ZephFade1->SetCursor(otherCursor);
  ScrollBox1->SetCursor(otherCursor);
}

void TForm1::Image1MouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int X, int Y) {
  if (!Application->Active()) return;
  if (FormThumbSpy && FormThumbSpy->Visible()) FormThumbSpy->Close();
  if (FDragging) {
    ShowItHide();
    // The press point stays: the picture moves under the mouse as the view scrolls.
    const int dy = FDragStartY - Y, dx = FDragStartX - X;
    if (dy != 0) ScrollBox1->VertScrollBar()->SetPosition(ScrollBox1->VertScrollBar()->Position() + dy);
    if (dx != 0) ScrollBox1->HorzScrollBar()->SetPosition(ScrollBox1->HorzScrollBar()->Position() + dx);
    if (dx != 0 || dy != 0) HideExifLabels();
  }
  const bool large = Image1->Width() > ScrollBox1->ClientWidth() || Image1->Height() > ScrollBox1->ClientHeight();
  Image1->SetCursor(FBrowseMode ? crBrowse : large ? crHandPoint : crDefault);
  ActivateFloatButtons(Image1->Left() + X, Image1->Top() + Y);
}

void TForm1::Image1MouseUp(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  FDragging = false;
  ShowExifLabel();
}

void TForm1::ScrollBox1MouseWheel(TObject* /*Sender*/, TShiftState Shift, int WheelDelta, TPoint /*MousePos*/,
                                  bool& Handled) {
  const bool sideways = Exactly(Shift, ssShift);
  TControlScrollBar* bar = sideways ? ScrollBox1->HorzScrollBar() : ScrollBox1->VertScrollBar();
  const int extent = sideways ? ScrollBox1->ClientWidth() : ScrollBox1->ClientHeight();
  if (bar->Range() <= extent) return;
  const int steps = WheelDelta / 120 != 0 ? WheelDelta / 120 : (WheelDelta > 0 ? 1 : -1);
  bar->SetPosition(bar->Position() - steps * kWheelStep);
  HideExifLabels();
  Handled = true;
}
