#include "tools/UnitCompare.h"

#include <cerrno>
#include <cstdlib>

#include "controls/RowPanel.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/ScreenGrab.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Math.h"
#include "platform/rtl/Paths.h"
#include "platform/services/Mail.h"
#include "tools/SendMail.h"
#include "tools/ToolGlyphs.h"

TFormCompare* FormCompare = nullptr;

namespace {

constexpr int kZoomPercents[] = {10, 33, 50, 100, 150, 200, 300, 400, 500};
constexpr const char* kPanelZoomNames[] = {"N101", "N331", "N501", "N1001", "N1501", "N2001", "N3001", "N4001", "N5001"};
// The help page of the window.
constexpr int kHelpContext = 23;


// Moves a scroll bar by delta (kept within its range).
void ScrollByDelta(TControlScrollBar* bar, int delta) {
  if (delta != 0) bar->SetPosition(bar->Position() + delta);
}

}  // namespace

TFormCompare::TFormCompare(TComponent* AOwner) : TForm(AOwner), FCompareList(std::make_unique<TStringList>()) {
  SetName("FormCompare");
  SetCaption("Compare");
  SetClientWidth(800);
  SetClientHeight(560);
  SetWindowState(wsMaximized);
  SetKeyPreview(true);

  ImageList1 = new TImageList(this);
  ImageList1->SetName("ImageList1");
  AddCompareGlyphs(*ImageList1);

  PopupMenu1 = new TPopupMenu(this);
  PopupMenu1->SetName("PopupMenu1");
  ZQTofit1 = NewMenuItem(this, PopupMenu1->Items(), "ZQTofit1", "To fit");
  ZQTofit1->OnClick = [this](TObject* Sender) { PanelZoomItemClick(Sender); };
  PopupMenu2 = new TPopupMenu(this);
  PopupMenu2->SetName("PopupMenu2");
  MenuItem1 = NewMenuItem(this, PopupMenu2->Items(), "MenuItem1", "To fit");
  MenuItem1->OnClick = [this](TObject* Sender) { AllZoomItemClick(Sender); };
  for (size_t i = 0; i < std::size(kZoomPercents); ++i) {
    const std::string caption = IntToStr(kZoomPercents[i]) + "%";
    TMenuItem* one = NewMenuItem(this, PopupMenu1->Items(), kPanelZoomNames[i], caption);
    one->SetTag(kZoomPercents[i]);
    one->OnClick = [this](TObject* Sender) { PanelZoomItemClick(Sender); };
    const std::string allName = "MenuItem" + IntToStr(int(i) + 2);
    TMenuItem* all = NewMenuItem(this, PopupMenu2->Items(), allName.c_str(), caption);
    all->SetTag(kZoomPercents[i]);
    all->OnClick = [this](TObject* Sender) { AllZoomItemClick(Sender); };
  }
  PopupMenu1->OnPopup = [this](TObject* Sender) { ZoomPopupPopup(Sender); };
  PopupMenu2->OnPopup = [this](TObject* Sender) { ZoomPopupPopup(Sender); };
  PopupMenu3 = new TPopupMenu(this);
  PopupMenu3->SetName("PopupMenu3");
  Email1 = NewMenuItem(this, PopupMenu3->Items(), "Email1", "E-mail");
  Email1->SetShortCut(ShortCut('M', TShiftState{ssCtrl}));
  Email1->OnClick = [this](TObject* Sender) { Email1Click(Sender); };
  Savetofile1 = NewMenuItem(this, PopupMenu3->Items(), "Savetofile1", "Save to file");
  Savetofile1->SetShortCut(ShortCut('S', TShiftState{ssCtrl}));
  Savetofile1->OnClick = [this](TObject* Sender) { Savetofile1Click(Sender); };
  SavePictureDialog1 = new TSaveDialog(this);
  SavePictureDialog1->SetName("SavePictureDialog1");
  SavePictureDialog1->SetFilter("JPEG Image File (*.jpg)|*.jpg");
  SavePictureDialog1->SetDefaultExt("jpg");
  SavePictureDialog1->SetOptions(TOpenOptions{ofOverwritePrompt, ofHideReadOnly, ofEnableSizing});

  auto* topBar = NewAligned<TRowPanel>(this, this, "TopPanel", alTop, 27);
  topBar->SetRowHeight(27);
  topBar->SetSpacing(2);
  TopPanel = topBar;
  int x = 2;
  auto topButton = [&](const char* name, const char* caption, int width, const char* hint) {
    auto* b = NewControl<TZqSpeedButton>(this, TopPanel, name, caption, x, 2, width, 23);
    if (hint) SetHintText(b, hint);
    x += width + 2;
    return b;
  };
  ZqClose = topButton("ZqClose", "Close", 70, nullptr);
  Zq_CenterAll = topButton("Zq_CenterAll", "Center All", 84, "Center all images");
  ZqResizeAll = topButton("ZqResizeAll", "Resize All", 84, "Reset to original sizes");
  ZqZoomAll = topButton("ZqZoomAll", "Zoom All", 84, "Set equal zoom for all images");
  ZqZoomAll->SetPopupMenu(PopupMenu2);
  ZqZoomPixel = topButton("ZqZoomPixel", "Pixel magnifier", 110, "Open close pixel magnifier");
  ZqSpeedButton1 = topButton("ZqSpeedButton1", "Exif overlay", 96, "Toggle exif info");
  ZqSpeedButton2 = topButton("ZqSpeedButton2", "Screen print", 96, "E-mail or Save screen print to file");
  ZqSpeedButton2->SetPopupMenu(PopupMenu3);
  ZqHelp = topButton("ZqHelp", "Help", 60, nullptr);
  ChBAlign = NewCheckBox(this, TopPanel, "ChBAlign", "Align vertical", false, x + 8, 5, 130);
  ProgressBar1 = NewControl<TProgressBar>(this, TopPanel, "ProgressBar1", 786, 1, 12, 25);
  ProgressBar1->SetOrientation(pbVertical);
  ProgressBar1->SetAlign(alRight);
  ProgressBar1->SetVisible(false);
  topBar->LineUp();

  Panel1 = NewAligned<TPanel>(this, this, "Panel1", alClient);
  Panel1->SetColor(clMedGray);
  Panel1->SetBevelOuter(bvNone);
  for (int n = 1; n <= 4; ++n) buildPanel(n);
  Panel(3).ComparePanel->SetVisible(false);
  Panel(4).ComparePanel->SetVisible(false);
  Panel(4).ToolBar->SetAlign(alBottom);

  loadTimer_ = new TTimer(this);
  loadTimer_->SetEnabled(false);
  loadTimer_->SetInterval(1);
  loadTimer_->OnTimer = [this](TObject*) {
    loadTimer_->SetEnabled(false);
    LoadPictures();
  };

  ZqClose->OnClick = [this](TObject* Sender) { ZqCloseClick(Sender); };
  Zq_CenterAll->OnClick = [this](TObject* Sender) { Zq_CenterAllClick(Sender); };
  ZqResizeAll->OnClick = [this](TObject* Sender) { ZqResizeAllClick(Sender); };
  ZqZoomPixel->OnClick = [this](TObject* Sender) { ZqZoomPixelClick(Sender); };
  ZqSpeedButton1->OnClick = [this](TObject* Sender) { ZqSpeedButton1Click(Sender); };
  ZqHelp->OnClick = [](TObject*) { Form1->ShowHelpContext(kHelpContext); };
  ChBAlign->OnClick = [this](TObject* Sender) { ChBAlignClick(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnPaint = [this](TObject* Sender) { FormPaint(Sender); };
  OnResize = [this](TObject* Sender) { FormResize(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { FormKeyDown(Sender, Key, Shift); };
  OnKeyUp = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { FormKeyUp(Sender, Key, Shift); };
  OnMouseWheel = [this](TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled) {
    FormMouseWheel(Sender, Shift, WheelDelta, MousePos, Handled);
  };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

TFormCompare::~TFormCompare() = default;

void TFormCompare::buildPanel(int number) {
  TPanelParts& p = Panel(number);
  const std::string n = IntToStr(number);
  auto name = [&](const char* stem) { return std::string(stem) + n; };
  p.ComparePanel = NewControl<TPanel>(this, Panel1, name("ComparePanel").c_str(), 0, 0, 400, 300);
  p.ComparePanel->SetBevelOuter(bvNone);
  p.ComparePanel->SetDoubleBuffered(true);
  p.ToolBar = NewAligned<TToolBar>(this, p.ComparePanel, name("ToolBar").c_str(), alTop, 26);
  p.ToolBar->SetTag(number);
  p.ToolBar->SetImages(ImageList1);
  p.ToolBar->SetWrapable(false);
  auto tool = [&](const char* stem, const char* hint, int glyph) {
    auto* b = new TToolButton(this);
    b->SetName(name(stem));
    b->SetParent(p.ToolBar);
    b->SetTag(number);
    b->SetImageIndex(glyph);
    SetHintText(b, hint);
    return b;
  };
  p.TBClose = tool("TBClose", "Close panel", kGlyphClose);
  p.TBDelete = tool("TBDelete", "Delete image", kGlyphDelete);
  p.TBPaperclip = tool("TBPaperclip", "Paperclip - Add/Remove", kGlyphInPaperclip);
  p.TBCenter = tool("TBCenter", "Center image", kGlyphCenter);
  p.TBRealSize = tool("TBRealSize", "Original size", kGlyphRealSize);
  auto* divider = new TToolButton(this);
  divider->SetParent(p.ToolBar);
  divider->SetStyle(tbsDivider);
  p.ZqZoomMenu = NewControl<TZqSpeedButton>(this, p.ToolBar, name("ZqZoomMenu").c_str(), "100%", 126, 2, 52, 22);
  p.ZqZoomMenu->SetColor(clWhite);
  p.ZqZoomMenu->SetTag(number);
  p.ZqZoomMenu->SetPopupMenu(PopupMenu1);
  p.EditFilename = NewControl<TEdit>(this, p.ToolBar, name("EditFilename").c_str(), 186, 2, 200, 22);
  p.EditFilename->SetTag(number);
  p.ScrollBox = NewAligned<TScrollBox>(this, p.ComparePanel, name("ScrollBox").c_str(), alClient);
  p.ScrollBox->SetColor(clMedGray);
  p.ScrollBox->SetDoubleBuffered(true);
  p.ScrollBox->HorzScrollBar()->SetTracking(true);
  p.ScrollBox->VertScrollBar()->SetTracking(true);
  p.Image = NewControl<TImage>(this, p.ScrollBox, name("Image").c_str(), 0, 0, 105, 105);
  p.Image->SetTag(number);
  p.Image->SetCursor(crHandPoint);
  p.Image->SetAutoSize(true);
  p.Image->SetCenter(true);
  p.LabelExif = NewControl<TLabel>(this, p.ScrollBox, name("LabelExif").c_str(), "", 8, 8, 4, 15);
  p.LabelExif->SetTag(number);
  p.LabelExif->SetColor(clCream);
  p.LabelExif->Font()->SetColor(clBlack);
  p.LabelExif->SetTransparent(false);
  p.LabelExif->SetVisible(false);

  p.ComparePanel->OnResize = [this, number](TObject*) {
    TPanelParts& parts = Panel(number);
    const int width = parts.ToolBar->ClientWidth() - parts.EditFilename->Left() - 4;
    parts.EditFilename->SetWidth(width > 40 ? width : 40);
  };
  p.ToolBar->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    ToolBarMouseMove(Sender, Shift, X, Y);
  };
  p.TBClose->OnClick = [this](TObject* Sender) { TBCloseClick(Sender); };
  p.TBDelete->OnClick = [this](TObject* Sender) { TBDeleteClick(Sender); };
  p.TBPaperclip->OnClick = [this](TObject* Sender) { TBPaperclipClick(Sender); };
  p.TBCenter->OnClick = [this](TObject* Sender) { TBCenterClick(Sender); };
  p.TBRealSize->OnClick = [this](TObject* Sender) { TBRealSizeClick(Sender); };
  p.ZqZoomMenu->OnClick = [this](TObject* Sender) { ZqZoomMenuClick(Sender); };
  p.EditFilename->OnExit = [this](TObject* Sender) { EditFilenameExit(Sender); };
  p.EditFilename->OnKeyPress = [this](TObject* Sender, char& Key) { EditFilenameKeyPress(Sender, Key); };
  p.LabelExif->OnClick = [this](TObject* Sender) { LabelExifClick(Sender); };
  p.Image->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    ImageMouseDown(Sender, Button, Shift, X, Y);
  };
  p.Image->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    ImageMouseMove(Sender, Shift, X, Y);
  };
  p.Image->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    ImageMouseUp(Sender, Button, Shift, X, Y);
  };
  p.Image->OnProgress = [this](TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool, const TRect&,
                               const std::string&) { loadProgress(Sender, int(Stage), PercentDone); };
}

int TFormCompare::panelOf(TObject* Sender) {
  auto* component = dynamic_cast<TComponent*>(Sender);
  const int n = component ? int(component->Tag()) : 0;
  return n >= 1 && n <= 4 ? n : 0;
}

void TFormCompare::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

// ===========================================================================
// Opening, loading, closing
// ===========================================================================
void TFormCompare::FormShow(TObject* /*Sender*/) {
  if (FPicturesLoaded) return;
  Form1->HourGlassCursor();
  // The title names no panel of an earlier opening.
  SetCaption(_("Compare"));
  FWheelCount = 0;
  FExifOverlay = false;
  FZoom.fill(100);
  FActivePanel = 1;
  for (int n = 1; n <= 4; ++n) {
    TPanelParts& p = Panel(n);
    p.Image->SetStretch(false);
    p.Image->SetAutoSize(true);
    for (TControlScrollBar* bar : {p.ScrollBox->HorzScrollBar(), p.ScrollBox->VertScrollBar()}) {
      bar->SetStyle(ssFlat);
      bar->SetPosition(0);
    }
    p.EditFilename->SetText("");
    p.EditFilename->SetHint("");
    p.LabelExif->SetCaption("");
    p.LabelExif->SetVisible(false);
    // Each opening starts with the labels on their own ground, readable on dark and light
    // pictures alike; a click makes one transparent.
    p.LabelExif->SetTransparent(false);
    p.ZqZoomMenu->SetCaption("100%");
    p.ComparePanel->SetVisible(n <= FCompareList->Count());
  }
  SetDoubleBuffered(true);
  ShowActivePanels();
  FPicturesLoaded = false;
  // The pictures load once the window is drawn: after its first paint, or at the latest
  // when the window system gives it no paint.
  loadTimer_->SetInterval(200);
  loadTimer_->SetEnabled(true);
}

void TFormCompare::FormPaint(TObject* /*Sender*/) {
  // The pictures load right after this paint (never inside it: loading pumps messages).
  if (FPicturesLoaded || !Visible()) return;
  loadTimer_->SetInterval(1);
  loadTimer_->SetEnabled(true);
}

void TFormCompare::LoadPictures() {
  if (FPicturesLoaded || !Visible()) return;
  // Set first: a paint during the pumps below must not load again.
  FPicturesLoaded = true;
  loadTimer_->SetEnabled(false);
  Application->ProcessMessages();
  for (int i = 0; i < FCompareList->Count() && i < 4; ++i) {
    TPanelParts& p = Panel(i + 1);
    const std::string path = FCompareList->Strings(i);
    // Decoded here, with its progress shown, rather than in a paint; the picture stays
    // hidden until it is decoded (the progress bar repaints the window meanwhile).
    p.Image->SetVisible(false);
    try {
      p.Image->Picture()->LoadFromFile(path);
      if (auto* jpeg = dynamic_cast<TJPEGImage*>(p.Image->Picture()->Graphic())) jpeg->DIBNeeded();
    } catch (const Exception& e) {
      p.Image->Picture()->SetGraphic(nullptr);
      ShowMessage(path + "\n" + e.Message());
    }
    p.Image->SetVisible(true);
    p.ScrollBox->UpdateScrollBars();
    p.EditFilename->SetText(ExtractFileName(path));
    p.EditFilename->SetHint(path);
    p.ZqZoomMenu->SetCaption(IntToStr(FZoom[size_t(i)]) + "%");
  }
  SetPaperclipIcons();
  Form1->RestoreCursor();
}

void TFormCompare::loadProgress(TObject* /*Sender*/, int Stage, int PercentDone) {
  if (Stage == psRunning) {
    ProgressBar1->SetVisible(true);
    ProgressBar1->SetPosition(PercentDone);
  } else {
    ProgressBar1->SetVisible(false);
    ProgressBar1->SetPosition(0);
  }
}

void TFormCompare::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  loadTimer_->SetEnabled(false);
  FPicturesLoaded = false;
  FCompareList->Clear();
  FPanning = false;
  for (int n = 2; n <= 4; ++n) Panel(n).ComparePanel->SetVisible(false);
  for (TPanelParts& p : panels_) p.Image->Picture()->SetGraphic(nullptr);
  Application->ProcessMessages();
  for (TPanelParts& p : panels_) {
    p.ScrollBox->HorzScrollBar()->SetPosition(0);
    p.ScrollBox->VertScrollBar()->SetPosition(0);
    p.EditFilename->SetText("");
    p.LabelExif->SetVisible(false);
  }
  Panel(1).ComparePanel->SetVisible(true);
  Form1->RestoreCursor();
}

void TFormCompare::ZqCloseClick(TObject* /*Sender*/) { Close(); }

void TFormCompare::FormResize(TObject* /*Sender*/) {
  if (Visible()) ShowActivePanels();
}

void TFormCompare::ChBAlignClick(TObject* /*Sender*/) { ShowActivePanels(); }

// ===========================================================================
// Layout
// ===========================================================================
void TFormCompare::ShowActivePanels() {
  std::vector<int> shown;
  for (int n = 1; n <= 4; ++n)
    if (Panel(n).ComparePanel->Visible()) shown.push_back(n);
  const int count = int(shown.size());
  const bool vertical = ChBAlign->Checked();
  for (int n : {3, 4}) Panel(n).ToolBar->SetAlign(count == 4 && !vertical ? alBottom : alTop);

  const int W = ClientWidth(), CH = ClientHeight();
  const int H = TopPanel->Visible() ? CH - TopPanel->Height() : CH;
  const bool sideBySide = ChBAlign->Enabled() && !vertical;
  auto place = [&](int position, int left, int top, int right, int bottom) {
    Panel(shown[size_t(position - 1)]).ComparePanel->SetBounds(left, top, right - left, bottom - top);
  };
  switch (count) {
    case 1: place(1, 0, 0, W, H); break;
    case 2:
      if (sideBySide) {
        place(1, 0, 0, W / 2, H);
        place(2, W / 2, 0, W, H);
      } else {
        place(1, 0, 0, W, CH / 2);
        place(2, 0, CH / 2, W, H);
      }
      break;
    case 3:
      if (sideBySide) {
        place(1, 0, 0, W / 3, H);
        place(2, W / 3, 0, W - W / 3, H);
        place(3, 2 * (W / 3), 0, W, H);
      } else {
        place(1, 0, 0, W, CH / 3);
        place(2, 0, CH / 3, W, CH - CH / 3);
        place(3, 0, 2 * (CH / 3), W, H);
      }
      break;
    case 4:
      if (sideBySide) {
        place(1, 0, 0, W / 2, H / 2);
        place(2, W / 2, 0, W, H / 2);
        place(3, 0, H / 2, W / 2, H);
        place(4, W / 2, H / 2, W, H);
      } else {
        place(1, 0, 0, W, CH / 4);
        place(2, 0, CH / 4, W, CH - 2 * (CH / 4));
        place(3, 0, 2 * (CH / 4), W, CH - CH / 4);
        place(4, 0, 3 * (CH / 4), W, H);
      }
      break;
    default: break;
  }
}

void TFormCompare::checkToClose() {
  Application->ProcessMessages();
  for (TPanelParts& p : panels_)
    if (p.ComparePanel->Visible()) {
      ShowActivePanels();
      return;
    }
  Close();
}

// ===========================================================================
// Zoom
// ===========================================================================
void TFormCompare::ZoomImage(int panel) {
  TPanelParts& p = Panel(panel);
  if (!p.ComparePanel->Visible()) return;
  TImage* image = p.Image;
  TScrollBox* box = p.ScrollBox;
  // The view's centre as percentages of the picture, kept through the zoom.
  const int px = RoundedPercent(box->ClientWidth() / 2 + std::abs(image->Left()), image->Width());
  const int py = RoundedPercent(box->ClientHeight() / 2 + std::abs(image->Top()), image->Height());
  const int zoom = FZoom[size_t(panel - 1)];
  image->SetAutoSize(false);
  image->SetStretch(true);
  image->SetHeight(PercentOfValue(image->Picture()->Height(), zoom));
  image->SetWidth(PercentOfValue(image->Picture()->Width(), zoom));
  box->UpdateScrollBars();
  TControlScrollBar* vert = box->VertScrollBar();
  TControlScrollBar* horz = box->HorzScrollBar();
  if (vert->Range() > box->ClientHeight()) vert->SetPosition(PercentOfValue(vert->Range() - box->ClientHeight(), py));
  if (horz->Range() > box->ClientWidth()) horz->SetPosition(PercentOfValue(horz->Range() - box->ClientWidth(), px));
  p.ZqZoomMenu->SetCaption(IntToStr(zoom) + "%");
  if (FExifOverlay) showLabels();
}

void TFormCompare::SetZoom(int panel, bool up) {
  int& zoom = FZoom[size_t(panel - 1)];
  if (up) {
    if (zoom < 100)
      zoom += 10;
    else if (zoom < 1000)
      zoom += 50;
  } else {
    if (zoom >= 101)
      zoom -= 50;
    else if (zoom > 10)
      zoom -= 10;
  }
  ZoomImage(panel);
}

void TFormCompare::AdjustToFitPanel(int panel) {
  TPanelParts& p = Panel(panel);
  const int w = p.Image->Picture()->Width(), h = p.Image->Picture()->Height();
  if (w <= 0 || h <= 0) return;
  const int across = RoundedPercent(p.ScrollBox->Width() - 11, w);
  const int down = RoundedPercent(p.ScrollBox->Height() - 11, h);
  FZoom[size_t(panel - 1)] = Max(1, Min(across, down));
  ZoomImage(panel);
}

void TFormCompare::FormMouseWheel(TObject* /*Sender*/, TShiftState /*Shift*/, int WheelDelta, TPoint /*MousePos*/,
                                  bool& Handled) {
  Handled = true;
  if (++FWheelCount < 2 * Max(1, Mouse->WheelScrollLines())) return;
  FWheelCount = 0;
  const bool up = WheelDelta > 0;
  if (FSinglePanelZoom) {
    SetZoom(FActivePanel, up);
  } else {
    for (int n = 1; n <= 4; ++n) SetZoom(n, up);
  }
}

void TFormCompare::FormKeyDown(TObject* /*Sender*/, uint16_t& Key, TShiftState Shift) {
  const bool ctrl = Shift.Contains(ssCtrl);
  if (Key == VK_F1) {
    // The window's own page, as its Help button opens (context 11 is the compression
    // center's page).
    Key = 0;
    Form1->ShowHelpContext(kHelpContext);
    return;
  }
  if (Key == VK_CONTROL && Shift == TShiftState{ssCtrl}) {
    FSinglePanelZoom = true;
    return;
  }
  if (Key == VK_ADD || Key == VK_OEM_PLUS) {
    // "+" never zooms past 500 %.
    for (int& zoom : FZoom) {
      zoom = Min(zoom, 500);
      if (ctrl)
        zoom += zoom < 500 ? 1 : 0;
      else if (zoom < 100)
        zoom += 10;
      else if (zoom < 500)
        zoom = Min(zoom + 50, 500);
    }
  } else if (Key == VK_SUBTRACT || Key == VK_OEM_MINUS) {
    for (int& zoom : FZoom) {
      zoom = Max(zoom, 10);
      if (ctrl)
        zoom -= zoom > 10 ? 1 : 0;
      else if (zoom >= 101)
        zoom -= 50;
      else if (zoom > 10)
        zoom = Max(zoom - 10, 10);
    }
  } else {
    return;
  }
  for (int n = 1; n <= 4; ++n) ZoomImage(n);
  Key = 0;
}

void TFormCompare::FormKeyUp(TObject* /*Sender*/, uint16_t& /*Key*/, TShiftState /*Shift*/) {
  FSinglePanelZoom = false;
}

void TFormCompare::ZqZoomMenuClick(TObject* Sender) {
  if (const int n = panelOf(Sender)) FActivePanel = n;
}

void TFormCompare::ZoomPopupPopup(TObject* /*Sender*/) { hideLabels(); }

void TFormCompare::PanelZoomItemClick(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item) return;
  if (item->Tag() == 0) {
    AdjustToFitPanel(FActivePanel);
    return;
  }
  FZoom[size_t(FActivePanel - 1)] = int(item->Tag());
  ZoomImage(FActivePanel);
}

void TFormCompare::AllZoomItemClick(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item) return;
  for (int n = 1; n <= 4; ++n) {
    if (item->Tag() == 0) {
      AdjustToFitPanel(n);
    } else {
      FZoom[size_t(n - 1)] = int(item->Tag());
      ZoomImage(n);
    }
  }
}

void TFormCompare::ZqResizeAllClick(TObject* /*Sender*/) {
  FZoom.fill(100);
  for (int n = 1; n <= 4; ++n) ZoomImage(n);
}

void TFormCompare::TBRealSizeClick(TObject* Sender) {
  const int n = panelOf(Sender);
  if (!n) return;
  FZoom[size_t(n - 1)] = 100;
  ZoomImage(n);
}

// ===========================================================================
// Centring and panning
// ===========================================================================
void TFormCompare::CenterImage(int panel) {
  TPanelParts& p = Panel(panel);
  hideLabels();
  TScrollBox* box = p.ScrollBox;
  box->UpdateScrollBars();
  box->VertScrollBar()->SetPosition((box->VertScrollBar()->Range() - box->ClientHeight()) / 2);
  box->HorzScrollBar()->SetPosition((box->HorzScrollBar()->Range() - box->ClientWidth()) / 2);
  if (FExifOverlay) showLabels();
}

void TFormCompare::TBCenterClick(TObject* Sender) {
  if (const int n = panelOf(Sender)) CenterImage(n);
}

void TFormCompare::Zq_CenterAllClick(TObject* /*Sender*/) {
  for (int n = 1; n <= 4; ++n)
    if (Panel(n).ComparePanel->Visible()) CenterImage(n);
}

void TFormCompare::ImageMouseDown(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/, int X, int Y) {
  for (TPanelParts& p : panels_) {
    if (p.EditFilename->Focused()) {
      // Leaving the name box ends the edit (and renames); nothing else happens.
      TopPanel->SetFocus();
      return;
    }
  }
  FPanStartX = X;
  FPanStartY = Y;
  FPanning = true;
  hideLabels();
}

void TFormCompare::ImageMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) {
  const int n = panelOf(Sender);
  if (!n) return;
  FActivePanel = n;
  if (n <= FCompareList->Count()) SetCaption(_("Active panel ") + IntToStr(n) + " - " + FCompareList->Strings(n - 1));
  if (!FPanning) return;
  const int dy = FPanStartY - Y, dx = FPanStartX - X;
  // The coordinates are the picture's own, and the picture scrolls along: the start
  // point stays where it was taken.
  TScrollBox* box = Panel(n).ScrollBox;
  ScrollByDelta(box->VertScrollBar(), dy);
  ScrollByDelta(box->HorzScrollBar(), dx);
  if (Shift.Contains(ssCtrl) && Shift.Contains(ssLeft)) return;
  for (int other = 1; other <= 4; ++other) {
    if (other == n || !Panel(other).ComparePanel->Visible()) continue;
    ScrollByDelta(Panel(other).ScrollBox->VertScrollBar(), dy);
    ScrollByDelta(Panel(other).ScrollBox->HorzScrollBar(), dx);
  }
}

void TFormCompare::ImageMouseUp(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/,
                                int /*Y*/) {
  FPanning = false;
  if (FExifOverlay) showLabels();
}

void TFormCompare::ToolBarMouseMove(TObject* Sender, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  const int n = panelOf(Sender);
  if (!n) return;
  FActivePanel = n;
  if (n <= FCompareList->Count()) SetCaption(_("Active panel ") + IntToStr(n) + " - " + FCompareList->Strings(n - 1));
}

// ===========================================================================
// EXIF overlay
// ===========================================================================
void TFormCompare::showLabels() {
  for (int n = 1; n <= 4; ++n) {
    TPanelParts& p = Panel(n);
    if (!p.ComparePanel->Visible()) continue;
    p.LabelExif->SetLeft(8);
    p.LabelExif->SetTop(8);
    p.LabelExif->SetVisible(true);
    p.LabelExif->BringToFront();
  }
}

void TFormCompare::hideLabels() {
  for (TPanelParts& p : panels_) p.LabelExif->SetVisible(false);
}

void TFormCompare::ZqSpeedButton1Click(TObject* /*Sender*/) {
  FExifOverlay = !FExifOverlay;
  if (!FExifOverlay) {
    hideLabels();
    return;
  }
  for (int n = 1; n <= 4 && n <= FCompareList->Count(); ++n) {
    TPanelParts& p = Panel(n);
    if (!p.ComparePanel->Visible()) continue;
    const std::string text = Form1->ExifOverlayText(FCompareList->Strings(n - 1));
    p.LabelExif->SetCaption(text.empty() ? ExtractFileName(FCompareList->Strings(n - 1)) : text);
  }
  showLabels();
}

void TFormCompare::LabelExifClick(TObject* Sender) {
  if (auto* label = dynamic_cast<TLabel*>(Sender)) label->SetTransparent(!label->Transparent());
}

// ===========================================================================
// Closing a panel, deleting, the paperclip
// ===========================================================================
void TFormCompare::TBCloseClick(TObject* Sender) {
  const int n = panelOf(Sender);
  if (!n) return;
  Panel(n).ComparePanel->SetVisible(false);
  checkToClose();
}

void TFormCompare::TBDeleteClick(TObject* Sender) {
  const int n = panelOf(Sender);
  if (!n || n > FCompareList->Count()) return;
  if (!Form1->DeleteOneImage(FCompareList->Strings(n - 1))) return;
  Panel(n).ComparePanel->SetVisible(false);
  checkToClose();
}

void TFormCompare::SetPaperclipIcons() {
  const std::string listFile = Form1->PaperclipFile();
  for (int n = 1; n <= 4; ++n) Panel(n).InPaperclip = false;
  if (!FileExists(listFile)) return;
  TStringList lines;
  try {
    lines.LoadFromFile(listFile);
  } catch (const Exception&) {
    return;
  }
  for (int n = 1; n <= 4; ++n) {
    TToolButton* button = Panel(n).TBPaperclip;
    if (n <= FCompareList->Count()) {
      Panel(n).InPaperclip = Form1->ListLineIndexOf(lines, FCompareList->Strings(n - 1)) >= 0;
      button->SetImageIndex(Panel(n).InPaperclip ? kGlyphInPaperclip : kGlyphNotInPaperclip);
    }
    button->SetEnabled(!Form1->TreeView1->Visible());
  }
}

// The panel's picture leaves the paperclip when its button showed it there, else it is
// added, in the list's own form of its lines, as the main window adds and removes: the
// paperclip as it is now takes that change, whatever another program did meanwhile.
void TFormCompare::AddRemovePaperclip(int panel) {
  if (panel < 1 || panel > FCompareList->Count()) return;
  const std::string path = FCompareList->Strings(panel - 1);
  const bool remove = Panel(panel).InPaperclip;
  const std::vector<std::string> one{path};
  if (!Form1->EditList(Form1->PaperclipFile(), remove ? one : std::vector<std::string>{},
                       remove ? std::vector<std::string>{} : one))
    return;
  ShowMessage(path + (remove ? _(" removed from paperclip.") : _(" added to paperclip.")));
  Form1->MakePaperclipText();
  SetPaperclipIcons();
}

void TFormCompare::TBPaperclipClick(TObject* Sender) { AddRemovePaperclip(panelOf(Sender)); }

// ===========================================================================
// Renaming in place
// ===========================================================================
void TFormCompare::EditFilenameKeyPress(TObject* /*Sender*/, char& Key) {
  if (Key != '\r') return;
  Key = 0;
  TopPanel->SetFocus();
}

void TFormCompare::EditFilenameExit(TObject* Sender) {
  const int n = panelOf(Sender);
  if (!n || n > FCompareList->Count()) return;
  TEdit* edit = Panel(n).EditFilename;
  const std::string path = FCompareList->Strings(n - 1);
  const std::string folder = ExtractFilePath(path), oldName = ExtractFileName(path);
  const std::string newName = edit->Text();
  if (newName == oldName) return;
  const std::string newPath = folder + newName;
  // A name with a separator would move the file into another folder.
  if (!IsValidFileName(newName, true)) {
    ShowMessage(!newName.empty() && (newName[0] == ' ' || newName[0] == '.')
                    ? _("Space or a \".\" not allowed at first text position")
                    : _("/\\:*?\"<>| characters are not allow in file names"));
    edit->SetText(oldName);
    return;
  }
  if (UpperCase(ExtractFileExt(newPath)) != UpperCase(ExtractFileExt(path))) {
    ShowMessage(_("Extension error - ") + newPath);
    edit->SetText(oldName);
    return;
  }
  bool renamed = false;
  if (FileExists(newPath) || DirectoryExists(newPath)) {
    ShowMessage(_("Name exist already") + newPath);
  } else if (TranslatedMessageDialog(_("Rename file to ") + newPath, mtConfirmation, {mbYes, mbNo}, 0) == mrYes) {
    renamed = Renamefile(path, newPath);
  }
  if (renamed) {
    FCompareList->SetStrings(n - 1, newPath);
    edit->SetHint(newPath);
    SetPaperclipIcons();
  } else {
    edit->SetText(oldName);
  }
  FPanning = false;
}

bool TFormCompare::Renamefile(const std::string& OldPath, const std::string& NewPath) {
  // A command of the main window: the lists that name the file follow it.
  const int error = Form1->RenameOneFile(OldPath, NewPath);
  if (error != 0) {
    if (error > 0) ShowMessage(Format(_("Cannot rename %s to %s: %s"), {OldPath, NewPath, SysErrorMessage(error)}));
    return false;
  }
  // The old name's cached thumbnail goes.
  const std::string thumb = Form1->ThumbNailName(OldPath);
  if (FileExists(thumb)) {
    ClearReadOnly(thumb);
    DeleteFile(thumb);
  }
  // The main window's list: bare names in a folder view, full paths in the paperclip and
  // shows view and in search results; each entry that names the file keeps its form. A
  // thumbnail shown for the entry gets its new hint.
  TStrings* items = Form1->ListBox1->Items();
  const bool folderView = !Form1->PanelCustomLists->Visible() && !Form1->TreeView1->Visible();
  for (int i = 0; i < items->Count(); ++i) {
    if (Form1->ListEntryPath(i) != OldPath) continue;
    items->SetStrings(i, IsFullPath(items->Strings(i)) ? NewPath : ExtractFileName(NewPath));
    TScrollBox* thumbs = Form1->FThumbScrollBox;
    if (folderView && Form1->PanelThumbHolder->Visible() && thumbs && i < thumbs->ControlCount()) {
      if (auto* panel = dynamic_cast<TPanel*>(thumbs->Controls(i))) {
        std::string hint;
        Form1->CreateThumbHint(NewPath, "", hint, "");
        panel->SetHint(hint);
      }
    }
  }
  return true;
}

// ===========================================================================
// The picture of the panels
// ===========================================================================
void TFormCompare::SendSaveScreen(bool Mail) {
  int year, month, day, hour, minute, second, msec;
  DecodeDateTime(Now(), year, month, day, hour, minute, second, msec);
  const std::string name = "kivo2scrn m" + IntToStr(month) + "-d" + IntToStr(day) + "-h" + IntToStr(hour) + "m" +
                           IntToStr(minute) + ".jpg";
  TBitmap shot;
  if (!PaintControlToBitmap(Panel1, shot)) return;
  TJPEGImage jpeg;
  jpeg.Assign(&shot);
  jpeg.SetCompressionQuality(90);
  jpeg.Compress();
  try {
    if (Mail) {
      // A folder of its own: no other program's file of that name is touched. The mail
      // service has read the picture when the send returns, so both go afterwards.
      std::string folder = GetTempFolder() + "kivo2-screen-XXXXXX";
      if (!fileio::MakeTempDir(folder)) RaiseLastOSError();
      const std::string path = IncludeTrailingPathDelimiter(folder) + name;
      int result = 0;
      std::string failure;
      try {
        jpeg.SaveToFile(path);
        TMAPIMail mail(this);
        mail.Subject = _("Screen print attached by Kivo2");
        mail.Attachments()->Add(path);
        mail.EditDialog = true;
        if (!mail.SendMail()) result = mail.LastError();
      } catch (const Exception& e) {
        failure = e.Message();
      }
      fileio::Unlink(path);
      fileio::RemoveDir(folder);
      // A cancel in the mail program is the user's own choice; every other failure is said.
      if (!failure.empty())
        ShowMessage(failure);
      else if (result != 0 && result != int(MAPI_USER_ABORT))
        ShowMessage(_("The e-mail could not be handed to the mail program: ") + MapiErrorText(result));
    } else {
      SavePictureDialog1->SetFileName(name);
      if (SavePictureDialog1->Execute()) jpeg.SaveToFile(SavePictureDialog1->FileName());
    }
  } catch (const Exception& e) {
    ShowMessage(e.Message());
  }
}

void TFormCompare::Email1Click(TObject* /*Sender*/) { SendSaveScreen(true); }
void TFormCompare::Savetofile1Click(TObject* /*Sender*/) { SendSaveScreen(false); }

void TFormCompare::ZqZoomPixelClick(TObject* Sender) { Form1->Zoom1Click(Sender); }
