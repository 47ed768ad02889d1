// The compression center: its components, showing an entry (load, resample, compress,
// preview) and the handlers of its controls. The runs that save and mail the copies are
// in UnitSaveImage_Run.cpp.
#include "tools/UnitSaveImage.h"

#include <algorithm>

#include "controls/EventScrollbox.h"
#include "controls/RowPanel.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "formats/Resample.h"
#include "metadata/ExifData.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/CheckLst.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Gauges.h"
#include "platform/gui/Spin.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitSaveToFolder.h"

TFormSaveImage* FormSaveImage = nullptr;
TimgData* SaveImageMetadata = nullptr;

namespace {

// Longest side of each size preset; "Custom" (14) and "Real size 1:1" (15) have none.
constexpr int kPresetSizes[] = {80, 160, 320, 640, 800, 1024, 1280, 1504, 1680, 2048, 2256, 2592, 3008, 3664};
constexpr int kCustomSize = 14, kRealSize = 15;
// JPEG quality of each quality preset, and the lowest quality of each preset's band.
constexpr int kPresetQualities[] = {10, 25, 40, 55, 80, 90};
constexpr int kBandStarts[] = {0, 25, 40, 55, 80, 90};
constexpr int kThumbBox = 55;
// A compressed copy up to this many kB shows green (small enough to mail), else red.
constexpr int kSmallCopyKB = 50;
// The window's topic in the help file.
constexpr int kHelpContext = 11;

// The metadata record lives as long as the program.
struct SaveImageMetadataOwner {
  std::unique_ptr<TimgData> data = std::make_unique<TimgData>(255);
  SaveImageMetadataOwner() { SaveImageMetadata = data.get(); }
  ~SaveImageMetadataOwner() { SaveImageMetadata = nullptr; }
} saveImageMetadataOwner;

TBitmap* SourceBitmap(TImage* image) {
  if (!image) return nullptr;
  return dynamic_cast<TBitmap*>(image->Picture()->Graphic());
}

int LongestSide(int width, int height) { return std::max(width, height); }

// A small picture of an envelope, shown on the result preview while the entry is checked.
void DrawEnvelope(TImage* image) {
  TBitmap bmp;
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(22, 16);
  TCanvas& c = bmp.Canvas();
  c.Brush().SetColor(clWhite);
  c.Pen().SetColor(clNavy);
  c.Rectangle(0, 0, 22, 16);
  c.MoveTo(0, 0);
  c.LineTo(11, 9);
  c.LineTo(22, 0);
  image->Picture()->Assign(&bmp);
}

// The busy sign shown on the result preview while a filtered resampling runs: the word
// in navy on a yellow ground, framed.
void DrawBusySign(TImage* image) {
  TBitmap bmp;
  bmp.SetPixelFormat(pf24bit);
  const std::string text = _("Compressing...");
  bmp.SetSize(1, 1);
  const int width = bmp.Canvas().TextWidth(text) + 8, height = bmp.Canvas().TextHeight(text) + 4;
  bmp.SetSize(width, height);
  TCanvas& c = bmp.Canvas();
  c.Brush().SetColor(clYellow);
  c.Pen().SetColor(clNavy);
  c.Rectangle(0, 0, width, height);
  c.Font().SetColor(clNavy);
  c.TextOut(4, 2, text);
  image->SetWidth(width);
  image->SetHeight(height);
  image->Picture()->Assign(&bmp);
}

}  // namespace

TFormSaveImage::TFormSaveImage(TComponent* AOwner) : TForm(AOwner) {
  SetName("FormSaveImage");
  SetCaption("Compression center");
  SetFormStyle(fsStayOnTop);
  SetKeyPreview(true);
  SetBounds(230, 181, 700, 550);

  // The button bar and, in its place during a run, the progress panel.
  auto* buttonBar = NewAligned<TRowPanel>(this, this, "PanelButtons", alBottom, 34);
  buttonBar->SetRowHeight(34);
  buttonBar->SetSpacing(2);
  PanelButtons = buttonBar;
  int x = 3;
  auto button = [&](const char* name, const char* caption, int width) {
    auto* b = NewControl<TZqSpeedButton>(this, PanelButtons, name, caption, x, 5, width, 24);
    x += width + 2;
    return b;
  };
  Zq_Close = button("Zq_Close", "&Close", 58);
  Zq_Save = button("Zq_Save", "&Save", 58);
  Zq_Mail = button("Zq_Mail", "E-&mail", 58);
  ZqOverWriteOrg = button("ZqOverWriteOrg", "S&ource", 58);
  SetHintText(ZqOverWriteOrg, "Compress original files");
  ZqConfig = button("ZqConfig", "Quality/size", 72);
  ZqConfig->SetGroupIndex(1);
  ZqConfig->SetAllowAllUp(true);
  ZqPrevious = button("ZqPrevious", "Previous", 60);
  ZqNext = button("ZqNext", "Next", 52);
  Zq_PinDown = button("Zq_PinDown", "(De)Select", 66);
  Zq_PinDown->SetGroupIndex(2);
  Zq_PinDown->SetAllowAllUp(true);
  Zq_CheckList = button("Zq_CheckList", "Check list", 64);
  Zq_Image1Show = button("Zq_Image1Show", "Compare", 58);
  ZqSpeedButton1 = button("ZqSpeedButton1", "Help", 44);
  buttonBar->LineUp();

  PanelProgressbar = NewAligned<TPanel>(this, this, "PanelProgressbar", alBottom, 34);
  PanelProgressbar->SetVisible(false);
  ZqButton1 = NewControl<TZqButton>(this, PanelProgressbar, "ZqButton1", "Abort", 4, 5, 75, 24);
  ProgressBar1 = NewControl<TProgressBar>(this, PanelProgressbar, "ProgressBar1", 86, 9, 300, 16);
  Label12 = NewControl<TLabel>(this, PanelProgressbar, "Label12", "", 396, 10, 290, 15);

  // The header: thumbnail, compression, file size and dimensions, the source.
  Panel2 = NewAligned<TPanel>(this, this, "Panel2", alTop, 61);
  Image3 = NewControl<TImage>(this, Panel2, "Image3", 3, 3, kThumbBox, kThumbBox);
  Image3->SetCenter(true);
  Label5 = NewControl<TLabel>(this, Panel2, "Label5", "Compression:", 64, 4, 80, 15);
  Label4 = NewControl<TLabel>(this, Panel2, "Label4", "", 146, 4, 40, 15);
  Label6 = NewControl<TLabel>(this, Panel2, "Label6", "File size:", 64, 22, 80, 15);
  Label1 = NewControl<TLabel>(this, Panel2, "Label1", "", 146, 22, 60, 15);
  Label7 = NewControl<TLabel>(this, Panel2, "Label7", "Dimensions:", 64, 40, 80, 15);
  Label2 = NewControl<TLabel>(this, Panel2, "Label2", "", 146, 40, 80, 15);
  Label8 = NewControl<TLabel>(this, Panel2, "Label8", "<", 228, 40, 12, 15);
  Label8->Font()->SetColor(clRed);
  Label8->SetVisible(false);
  Label11 = NewControl<TLabel>(this, Panel2, "Label11", "", 250, 4, 440, 15);
  Label9 = NewControl<TLabel>(this, Panel2, "Label9", "", 250, 22, 440, 15);
  Label3 = NewControl<TLabel>(this, Panel2, "Label3", "", 250, 40, 440, 15);

  // The count of a whole-tree run's other files, shown while such a run is prepared.
  Label13 = NewAligned<TLabel>(this, this, "Label13", alTop, 17);
  Label13->SetVisible(false);

  // Quality and size.
  PanelSettings = NewAligned<TPanel>(this, this, "PanelSettings", alTop, 64);
  PanelSettings->SetVisible(false);
  ComboBox2 = NewControl<TComboBox>(this, PanelSettings, "ComboBox2", 8, 8, 150, 21);
  ComboBox2->SetStyle(csDropDownList);
  SetItems(ComboBox2->Items(),
           {"poor quality", "low quality", "medium quality", "good quality", "high quality", "excellent"});
  ComboBox2->SetItemIndex(3);
  SetHintText(ComboBox2, "Select compression level");
  UpDown1 = NewControl<TSpinEdit>(this, PanelSettings, "UpDown1", 162, 8, 52, 21);
  UpDown1->SetMinValue(1);
  UpDown1->SetMaxValue(99);
  UpDown1->SetValue(30);
  SetHintText(UpDown1, "Fine tune compression level");
  Gauge1 = NewControl<TGauge>(this, PanelSettings, "Gauge1", 218, 4, 10, 56);
  Gauge1->SetKind(gkVerticalBar);
  Gauge1->SetMinValue(1);
  Gauge1->SetMaxValue(99);
  Gauge1->SetBackColor(clRed);
  Gauge1->SetForeColor(clGreen);
  Gauge1->SetShowText(false);
  ComboBox1 = NewControl<TComboBox>(this, PanelSettings, "ComboBox1", 236, 8, 150, 21);
  ComboBox1->SetStyle(csDropDownList);
  SetItems(ComboBox1->Items(), {"80 pixels", "160 pixels", "320 pixels", "640 pixels", "800 pixels", "1024 pixels",
                                "1280 pixels", "1504 pixels -", "1680 pixels", "2048 pixels", "2256 pixels -",
                                "2592 pixels", "3008 pixels -", "3664 pixels", "Custom", "Real size 1:1"});
  ComboBox1->SetItemIndex(5);
  SetHintText(ComboBox1, "Select (longest) size");
  CustomEdit = NewControl<TSpinEdit>(this, PanelSettings, "CustomEdit", 390, 8, 70, 21);
  CustomEdit->SetIncrement(50);
  CustomEdit->SetMinValue(1);
  CustomEdit->SetMaxValue(MaxJpegSide);
  CustomEdit->SetVisible(false);
  SetHintText(CustomEdit, "Enter a custom size and press enter");
  Ch_Filter = NewCheckBox(this, PanelSettings, "Ch_Filter", "Use resampling filter", true, 8, 38, 200);
  Ch_Strech = NewCheckBox(this, PanelSettings, "Ch_Strech", "Stretch smaller images", false, 236, 38, 200);
  Label10 = NewControl<TLabel>(this, PanelSettings, "Label10", "", 466, 6, 226, 15);
  Label10->SetWordWrap(true);

  // The work list, with the large thumbnail below it.
  ChecklistPanel = NewAligned<TPanel>(this, this, "ChecklistPanel", alLeft, 250);
  ChecklistPanel->SetVisible(false);
  auto* listTop = NewAligned<TRowPanel>(this, ChecklistPanel, "Panel7", alTop, 28);
  listTop->SetSpacing(2);
  Zq_ToggleSelect = NewControl<TZqSpeedButton>(this, listTop, "Zq_ToggleSelect", "(Un)check all", 2, 2, 84, 24);
  ChB_ShowLargeThumb = NewCheckBox(this, listTop, "ChB_ShowLargeThumb", "Show large thumbnail", false, 90, 5, 158);
  listTop->LineUp();
  Panel8 = NewAligned<TPanel>(this, ChecklistPanel, "Panel8", alBottom, 160);
  Panel8->SetVisible(false);
  Image4 = NewAligned<TImage>(this, Panel8, "Image4", alClient);
  Image4->SetCenter(true);
  Splitter2 = NewSplitter(this, ChecklistPanel, "Splitter2", alBottom);
  Splitter2->SetVisible(false);
  CheckListBox1 = NewAligned<TCheckListBox>(this, ChecklistPanel, "CheckListBox1", alClient);
  Splitter1 = NewSplitter(this, this, "Splitter1", alLeft);
  Splitter1->SetVisible(false);

  // The previews: the resampled picture (hidden at first) and the compressed result.
  PanelImage1 = NewAligned<TPanel>(this, this, "PanelImage1", alLeft, 340);
  PanelImage1->SetVisible(false);
  auto* box1 = NewAligned<TEvScrollBox>(this, PanelImage1, "ScrollBox1", alClient);
  ScrollBox1 = box1;
  ScrollBox1->SetDoubleBuffered(true);
  Image1 = NewControl<TImage>(this, ScrollBox1, "Image1", 0, 0, 10, 10);
  Image1->SetAutoSize(true);
  SetHintText(Image1, "Uncompressed image");
  auto* box2 = NewAligned<TEvScrollBox>(this, this, "ScrollBox2", alClient);
  ScrollBox2 = box2;
  ScrollBox2->SetDoubleBuffered(true);
  Image2 = NewControl<TImage>(this, ScrollBox2, "Image2", 0, 0, 10, 10);
  Image2->SetAutoSize(true);
  Enveloppe = NewControl<TImage>(this, ScrollBox2, "Enveloppe", 3, 3, 22, 16);
  DrawEnvelope(Enveloppe);
  Enveloppe->SetVisible(false);
  ImageCompressing = NewControl<TImage>(this, ScrollBox2, "ImageCompressing", 30, 3, 100, 16);
  ImageCompressing->SetVisible(false);
  DrawBusySign(ImageCompressing);
  TimerFirstPaint = new TTimer(this);
  TimerFirstPaint->SetName("TimerFirstPaint");
  TimerFirstPaint->SetEnabled(false);
  TimerFirstPaint->SetInterval(1);

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnPaint = [this](TObject* Sender) { FormPaint(Sender); };
  OnResize = [this](TObject* Sender) { FormResize(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnCloseQuery = [this](TObject* Sender, bool& CanClose) { FormCloseQuery(Sender, CanClose); };
  OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { FormKeyDown(Sender, Key, Shift); };
  TimerFirstPaint->OnTimer = [this](TObject* Sender) { FirstPaintSetUp(Sender); };
  ComboBox1->OnChange = [this](TObject* Sender) { ComboBox1Change(Sender); };
  ComboBox2->OnChange = [this](TObject* Sender) { ComboBox2Change(Sender); };
  UpDown1->OnChange = [this](TObject* Sender) { UpDown1Click(Sender); };
  CustomEdit->OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) {
    CustomEditKeyDown(Sender, Key, Shift);
  };
  CustomEdit->OnExit = [this](TObject* Sender) { CustomEditExit(Sender); };
  Ch_Filter->OnClick = [this](TObject* Sender) { Ch_FilterClick(Sender); };
  Ch_Strech->OnClick = [this](TObject* Sender) { Ch_StrechClick(Sender); };
  ZqNext->OnClick = [this](TObject* Sender) { ZqNextClick(Sender); };
  ZqPrevious->OnClick = [this](TObject* Sender) { ZqPreviousClick(Sender); };
  ZqNext->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    ZqNextMouseDown(Sender, Button, Shift, X, Y);
  };
  ZqPrevious->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    ZqPreviousMouseDown(Sender, Button, Shift, X, Y);
  };
  CheckListBox1->OnClick = [this](TObject* Sender) { CheckListBox1Click(Sender); };
  CheckListBox1->OnClickCheck = [this](TObject* /*Sender*/) { ShowSelectedCaptions(); };
  Zq_PinDown->OnClick = [this](TObject* Sender) { Zq_PinDownClick(Sender); };
  Enveloppe->OnClick = [this](TObject* Sender) { EnveloppeClick(Sender); };
  Image1->OnDblClick = [this](TObject* Sender) { EnveloppeClick(Sender); };
  Image2->OnDblClick = [this](TObject* Sender) { EnveloppeClick(Sender); };
  Zq_ToggleSelect->OnClick = [this](TObject* Sender) { Zq_ToggleSelectClick(Sender); };
  Zq_CheckList->OnClick = [this](TObject* Sender) { Zq_CheckListClick(Sender); };
  Zq_Image1Show->OnClick = [this](TObject* Sender) { Zq_Image1ShowClick(Sender); };
  ChB_ShowLargeThumb->OnClick = [this](TObject* Sender) { ChB_ShowLargeThumbClick(Sender); };
  // While both previews show, scrolling one with its bars scrolls the other along.
  for (TEvScrollBox* box : {box1, box2}) {
    box->OnHScroll = [this, box](TObject*) { SyncScroll(box); };
    box->OnVScroll = [this, box](TObject*) { SyncScroll(box); };
  }
  Splitter1->OnMoved = [this](TObject* Sender) { SplitterMoved(Sender); };
  Splitter2->OnMoved = [this](TObject* Sender) { SplitterMoved(Sender); };
  for (TImage* image : {Image1, Image2}) {
    image->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
      PreviewMouseDown(Sender, Button, Shift, X, Y);
    };
    image->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
      PreviewMouseMove(Sender, Shift, X, Y);
    };
    image->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
      PreviewMouseUp(Sender, Button, Shift, X, Y);
    };
  }
  ZqConfig->OnClick = [this](TObject* Sender) { ZqConfigClick(Sender); };
  Panel2->OnClick = [this](TObject* Sender) { Panel2Click(Sender); };
  Zq_Close->OnClick = [this](TObject* Sender) { Zq_CloseClick(Sender); };
  ZqButton1->OnClick = [this](TObject* Sender) { ZqButton1Click(Sender); };
  Zq_Save->OnClick = [this](TObject* Sender) { Zq_SaveClick(Sender); };
  ZqOverWriteOrg->OnClick = [this](TObject* Sender) { ZqOverWriteOrgClick(Sender); };
  Zq_Mail->OnClick = [this](TObject* Sender) { Zq_MailClick(Sender); };
  ZqSpeedButton1->OnClick = [this](TObject* Sender) { ZqSpeedButton1Click(Sender); };
  DoCreate();
}

TFormSaveImage::~TFormSaveImage() {
  delete FJpegOut;
  FJpegOut = nullptr;
  delete FSourceImage;
  FSourceImage = nullptr;
}

void TFormSaveImage::FormCreate(TObject* /*Sender*/) {
  TranslateComponent(this);
  // Texts with line breaks are translated line by line.
  ZqNext->SetHint(_("Left-click show next image") + "\r\n" + _("Right-click to browse selected images"));
  ZqPrevious->SetHint(_("Left-click show previous image") + "\r\n" + _("Right-click to browse selected images"));
  ZqNext->SetShowHint(true);
  ZqPrevious->SetShowHint(true);
  // The header's values stand right of its longest (translated) caption.
  int valuesLeft = 0;
  for (TLabel* caption : {Label5, Label6, Label7}) valuesLeft = std::max(valuesLeft, caption->Left() + caption->Width() + 4);
  if (const int shift = valuesLeft - Label4->Left(); shift > 0)
    for (TLabel* value : {Label4, Label1, Label2, Label8, Label11, Label9, Label3}) {
      value->SetLeft(value->Left() + shift);
      if (value->Left() + value->Width() > Panel2->ClientWidth()) value->SetWidth(Panel2->ClientWidth() - value->Left());
    }
}

// ===========================================================================
// The work list
// ===========================================================================
bool TFormSaveImage::FillChecklist(bool KeepWorkList) {
  FCurrentIndex = -1;
  CheckListBox1->Clear();
  if (!KeepWorkList) Form1->FillWorkFileList(false);
  TStrings* items = CheckListBox1->Items();
  // A tree run takes the tree's pictures however few they are, never the file list's.
  if (Form1->FWorkFiles->Count() < 2 && FTreeRoot.empty()) {
    // Entries of a folder view are bare names in the folder shown.
    for (int i = 0; i < Form1->ListBox1->Count(); ++i) {
      const std::string path = Form1->ListEntryPath(i);
      if (!Form1->IsImageFile(path)) continue;
      const int index = items->Add(path);
      if (i == Form1->ListBox1->ItemIndex()) FCurrentIndex = index;
    }
  } else {
    for (int i = 0; i < Form1->FWorkFiles->Count(); ++i) {
      const std::string path = Form1->FWorkFiles->Strings(i);
      if (!Form1->IsImageFile(path)) continue;
      CheckListBox1->SetChecked(items->Add(path), true);
    }
  }
  return items->Count() > 0;
}

int TFormSaveImage::SelItems() {
  int n = 0;
  for (int i = 0; i < CheckListBox1->Count(); ++i)
    if (CheckListBox1->Checked(i)) ++n;
  return n;
}

void TFormSaveImage::ShowSelectedCaptions() {
  const int index = CheckListBox1->ItemIndex();
  const std::string text =
      Format(_n("%s image selected - showing #%d", "%s images selected - showing #%d", CheckListBox1->Count()),
             {IntToStr(SelItems()) + "/" + IntToStr(CheckListBox1->Count()), index + 1});
  Label10->SetCaption(text);
  Label11->SetCaption(text);
  const bool checked = index >= 0 && index < CheckListBox1->Count() && CheckListBox1->Checked(index);
  Zq_PinDown->SetDown(checked);
  Enveloppe->SetVisible(checked);
  KeepEnveloppeInPlace();
}

void TFormSaveImage::KeepEnveloppeInPlace() {
  // The envelope marks the entry, not a place on the picture: it stays in the preview's
  // top-left corner however the picture is scrolled (a scroll moves the box's children).
  Enveloppe->SetBounds(3, 3, Enveloppe->Width(), Enveloppe->Height());
}

// ===========================================================================
// Quality and size
// ===========================================================================
int TFormSaveImage::ChooseJpegScale(int Target, int LongestSide) {
  // The smallest decode that still gives at least Target pixels on the longest side.
  if (Target <= 0 || Target > LongestSide / 2) return jsFullSize;
  if (LongestSide < 4 * Target) return jsHalf;
  if (LongestSide < 8 * Target) return jsQuarter;
  return jsEighth;
}

void TFormSaveImage::GetFixedWidth() {
  const int index = ComboBox1->ItemIndex();
  if (index >= 0 && index < int(std::size(kPresetSizes))) {
    FTargetSize = kPresetSizes[index];
  } else if (index == kCustomSize) {
    FTargetSize = Form1->FCustomWebSize;
    CustomEdit->SetValue(Form1->FCustomWebSize);
  } else if (index == kRealSize) {
    FTargetSize = LongestSide(FSourceWidth, FSourceHeight);
  }
}

void TFormSaveImage::SetQuality(int Quality) {
  FSettingQuality = true;
  UpDown1->SetValue(Quality);
  FSettingQuality = false;
  Gauge1->SetProgress(UpDown1->Value());
  Label4->SetCaption(IntToStr(100 - UpDown1->Value()));
}

void TFormSaveImage::GetUpdownPosition() {
  const int index = ComboBox2->ItemIndex();
  if (index >= 0 && index < int(std::size(kPresetQualities))) SetQuality(kPresetQualities[index]);
}

void TFormSaveImage::ComboBox1Change(TObject* /*Sender*/) {
  if (FBatchRunning) return;
  GetFixedWidth();
  CustomEdit->SetVisible(ComboBox1->ItemIndex() == kCustomSize);
  ReSizeImage();
}

void TFormSaveImage::ComboBox2Change(TObject* /*Sender*/) {
  if (FUpDownChanging || FBatchRunning) return;
  GetUpdownPosition();
  if (Visible() && !ConvertToCompressedJPG()) ShowMessage(_("Compression error"));
}

void TFormSaveImage::UpDown1Click(TObject* /*Sender*/) {
  if (FSettingQuality) return;
  FUpDownChanging = true;
  const int quality = UpDown1->Value();
  Gauge1->SetProgress(quality);
  int preset = 0;
  for (int i = 0; i < int(std::size(kBandStarts)); ++i)
    if (quality >= kBandStarts[i]) preset = i;
  ComboBox2->SetItemIndex(preset);
  Label4->SetCaption(IntToStr(100 - quality));
  FUpDownChanging = false;
  // The spin edit has no separate release of the mouse: each change compresses anew.
  if (Visible() && !FBatchRunning && !FQuietShow && !ConvertToCompressedJPG()) ShowMessage(_("Compression error"));
}

void TFormSaveImage::CustomEditKeyDown(TObject* /*Sender*/, uint16_t& Key, TShiftState /*Shift*/) {
  if (Key != VK_RETURN || FBatchRunning) return;
  if (CustomEdit->Value() > 10) {
    FTargetSize = CustomEdit->Value();
    Form1->FCustomWebSize = FTargetSize;
    ReSizeImage();
  }
}

void TFormSaveImage::CustomEditExit(TObject* /*Sender*/) {
  if (FBatchRunning || CustomEdit->Value() <= 0) return;
  FTargetSize = CustomEdit->Value();
  if (FTargetSize != Form1->FCustomWebSize) {
    Form1->FCustomWebSize = FTargetSize;
    ReSizeImage();
  }
}

void TFormSaveImage::Ch_FilterClick(TObject* /*Sender*/) {
  if (Visible() && FPainted && !FBatchRunning) ReSizeImage();
}

void TFormSaveImage::Ch_StrechClick(TObject* /*Sender*/) {
  if (Visible() && FPainted && !FBatchRunning) InitSmallImages();
}

// ===========================================================================
// Showing an entry: load, resample, compress
// ===========================================================================
bool TFormSaveImage::LoadAndMakeBitmap(const std::string& FileName) {
  if (FQuietShow) return false;
  Label3->SetCaption(_("Original file: n/a"));
  if (!FSourceImage) FSourceImage = new TImage(nullptr);
  FSourceImage->Picture()->Assign(nullptr);
  FSourceWidth = FSourceHeight = FLoadedSize = 0;
  FIsJpeg = false;
  TPicture picture;
  try {
    picture.LoadFromFile(FileName);
  } catch (const std::exception&) {
    return false;
  }
  TGraphic* graphic = picture.Graphic();
  if (!graphic || graphic->Empty()) return false;
  auto* jpeg = dynamic_cast<TJPEGImage*>(graphic);
  FIsJpeg = jpeg != nullptr;
  Zq_Save->SetEnabled(true);
  FSourceWidth = graphic->Width();
  FSourceHeight = graphic->Height();
  if (jpeg) {
    jpeg->SetScale(TJPEGScale(ChooseJpegScale(FTargetSize, LongestSide(FSourceWidth, FSourceHeight))));
    FLoadedSize = FSourceHeight > FSourceWidth ? jpeg->Height() : jpeg->Width();
  }
  const std::string sizeText = FileSizeText(FileName);
  if (Form1->Ch_DebugLabels->Checked())
    Label3->SetCaption("Loaded: " + IntToStr(graphic->Width()) + " x " + IntToStr(graphic->Height()) +
                       " Real: " + IntToStr(FSourceWidth) + " x " + IntToStr(FSourceHeight) + " - " + sizeText);
  else
    Label3->SetCaption(_("Orignal image: ") + sizeText + " - " + IntToStr(FSourceWidth) + " x " +
                       IntToStr(FSourceHeight));
  try {
    TBitmap bitmap;
    if (jpeg) {
      bitmap.Assign(&jpeg->Bitmap());
    } else if (auto* bmp = dynamic_cast<TBitmap*>(graphic)) {
      bitmap.Assign(bmp);
    } else {
      bitmap.SetPixelFormat(pf24bit);
      bitmap.SetSize(graphic->Width(), graphic->Height());
      bitmap.Canvas().Draw(0, 0, *graphic);
    }
    bitmap.SetPixelFormat(pf24bit);
    FSourceImage->Picture()->Assign(&bitmap);
  } catch (const std::exception&) {
    FSourceImage->Picture()->Assign(nullptr);
    return false;
  }
  picture.Assign(nullptr);
  FitThumbnails();
  Application->ProcessMessages();
  return true;
}

void TFormSaveImage::FitThumbnails() {
  TPicture* source = FSourceImage ? FSourceImage->Picture() : nullptr;
  if (!source || !source->Graphic()) return;
  Form1->FExactRescale = true;
  if (ChB_ShowLargeThumb->Checked() && ChecklistPanel->Visible())
    Image3->Picture()->Assign(nullptr);
  else
    Form1->FitForWindow(source, Image3->Picture(), kThumbBox, kThumbBox, false);
  if (ChB_ShowLargeThumb->Checked() && Panel8->Height() > 0 && Panel8->Width() > 0)
    Form1->FitForWindow(source, Image4->Picture(), Panel8->Height(), Panel8->Width(), false);
  Form1->FExactRescale = false;
}

void TFormSaveImage::ShowPreviews(int BoxSize) {
  Image1->Picture()->Assign(nullptr);
  Image2->Picture()->Assign(nullptr);
  ScrollBox1->HorzScrollBar()->SetPosition(0);
  ScrollBox1->VertScrollBar()->SetPosition(0);
  ScrollBox2->HorzScrollBar()->SetPosition(0);
  ScrollBox2->VertScrollBar()->SetPosition(0);
  KeepEnveloppeInPlace();
  // The quick fit shows at once; during a run the filtered picture follows straight away,
  // so the quick one is left out there.
  if (!(FBatchRunning && Ch_Filter->Checked()) && FSourceImage) {
    Form1->FitForWindow(FSourceImage->Picture(), Image1->Picture(), BoxSize, BoxSize, false);
    Image2->Picture()->Assign(Image1->Picture());
  }
  Label8->SetVisible(Label2->Font()->Color() == clRed);
  Application->ProcessMessages();
}

bool TFormSaveImage::ReSizeImage() {
  if (FQuietShow) return false;
  FCompressedValid = false;
  TBitmap* source = SourceBitmap(FSourceImage);
  if (!source || source->Empty()) return false;
  Form1->HourGlassCursor();
  Application->ProcessMessages();
  // A reduced JPEG decode may be too small for a larger target: decode again.
  const int decoded = LongestSide(source->Width(), source->Height());
  if (FIsJpeg && decoded < FTargetSize && decoded < LongestSide(FSourceWidth, FSourceHeight)) {
    if (!LoadAndMakeBitmap(FFileName)) {
      Form1->RestoreCursor();
      return false;
    }
    source = SourceBitmap(FSourceImage);
    if (!source) return false;
  }
  Label2->Font()->SetColor(clNavy);
  Form1->FExactRescale = true;
  const int longest = LongestSide(FSourceWidth, FSourceHeight);
  if (!Ch_Strech->Checked() && longest < FTargetSize && ComboBox1->ItemIndex() != kRealSize) {
    Label2->Font()->SetColor(clRed);
    FTargetSize = longest;
  }
  ShowPreviews(FTargetSize);
  if (Ch_Filter->Checked()) {
    const int loaded = LongestSide(source->Width(), source->Height());
    if (FLoadedSize == FTargetSize || loaded == FTargetSize) {
      // The decoded picture already has the size: no resampling.
      Image1->Picture()->Assign(source);
    } else {
      // Painted now: the resampling holds the event loop until it has finished.
      ImageCompressing->SetVisible(true);
      ImageCompressing->BringToFront();
      ImageCompressing->Repaint();
      Form1->RescaleImage(source, Image1->Picture()->Bitmap(), FTargetSize, FTargetSize, false,
                          TForm1::kMitchellPaletteIndex);
      ImageCompressing->SetVisible(false);
    }
  }
  Form1->FExactRescale = false;
  Form1->RestoreCursor();
  const bool ok = ConvertToCompressedJPG();
  if (!ok && !FBatchRunning) ShowMessage(_("Compression error"));
  return ok;
}

bool TFormSaveImage::ConvertToCompressedJPG() {
  FCompressedValid = false;
  TGraphic* resampled = Image1->Picture()->Graphic();
  if (!resampled || resampled->Empty()) return false;
  Form1->HourGlassCursor();
  bool ok = false;
  try {
    TMemoryStream stream;
    TJPEGImage jpeg;
    jpeg.Assign(resampled);
    jpeg.SetCompressionQuality(UpDown1->Value());
    jpeg.Compress();
    jpeg.SaveToStream(stream);
    const int64_t kb = stream.Size() / 1024;
    Label1->SetCaption(IntToStr(kb) + "kB");
    Label1->Font()->SetColor(kb <= kSmallCopyKB ? clGreen : clRed);
    Image2->Picture()->Assign(&jpeg);
    Label2->SetCaption(IntToStr(Image1->Picture()->Width()) + "x" + IntToStr(Image1->Picture()->Height()));
    FCompressedValid = true;
    ok = true;
  } catch (const std::exception&) {
    ok = false;
  }
  Application->ProcessMessages();
  Form1->FExactRescale = false;
  Form1->RestoreCursor();
  return ok;
}

std::string TFormSaveImage::CreateSavename(bool NoPrefix) {
  std::string name = FileNameWithoutExt(FFileName) + ".jpg";
  if (!NoPrefix && SaveToFolderForm->ChB_UsePrefix->Checked()) name = Form1->FPrefix + name;
  return name;
}

bool TFormSaveImage::InitSmallImages() {
  const int index = CheckListBox1->ItemIndex();
  FFileName = index >= 0 && index < CheckListBox1->Count() ? CheckListBox1->Items()->Strings(index) : std::string();
  if (FFileName.empty()) FFileName = Form1->FCurrentFile;
  ZqPrevious->SetEnabled(index > 0);
  ZqNext->SetEnabled(index < CheckListBox1->Count() - 1);
  FCompressedValid = false;
  bool ok = LoadAndMakeBitmap(FFileName);
  Image2->SetHint(CreateSavename(false));
  Label4->SetCaption(IntToStr(100 - UpDown1->Value()));
  Gauge1->SetProgress(UpDown1->Value());
  CustomEdit->SetValue(Form1->FCustomWebSize);
  GetFixedWidth();
  CustomEdit->SetVisible(ComboBox1->ItemIndex() == kCustomSize);
  if (ok) {
    ok = ReSizeImage();
  } else {
    // Nothing of an earlier picture may stand for this one.
    Image1->Picture()->Assign(nullptr);
    Image2->Picture()->Assign(nullptr);
    Image3->Picture()->Assign(nullptr);
    Label1->SetCaption("");
    Label2->SetCaption("");
  }
  const std::string folder = RemoveTrailingBackslash(Form1->FWebFolder);
  SetCaption(_("Save Folder = ") + folder);
  Zq_Save->SetHint(_("Save image to ") + folder);
  Label9->SetCaption(FFileName);
  Zq_PinDown->SetDown(index >= 0 && index < CheckListBox1->Count() && CheckListBox1->Checked(index));
  return ok;
}

// ===========================================================================
// Showing the window
// ===========================================================================
void TFormSaveImage::FormShow(TObject* /*Sender*/) {
  FQuietShow = true;
  FPainted = false;
  FCloseRequested = false;
  Application->ProcessMessages();
  FQuietShow = false;
  Invalidate();
}

void TFormSaveImage::FormPaint(TObject* /*Sender*/) {
  // The set-up of the first paint runs right after it, outside the painting.
  if (!FPainted && !FQuietShow && !TimerFirstPaint->Enabled()) TimerFirstPaint->SetEnabled(true);
}

void TFormSaveImage::FirstPaintSetUp(TObject* /*Sender*/) {
  TimerFirstPaint->SetEnabled(false);
  if (FPainted || FQuietShow || !Visible()) return;
  FPainted = true;
  FQuietShow = true;
  for (TLabel* label : {Label3, Label9, Label10, Label11}) label->SetCaption("");
  Ch_Strech->SetChecked(Form1->FStretchSmall);
  Application->ProcessMessages();
  if (FCurrentIndex >= 0 && FCurrentIndex < CheckListBox1->Count()) {
    CheckListBox1->SetItemIndex(FCurrentIndex);
    CheckListBox1->SetChecked(FCurrentIndex, true);
  } else if (CheckListBox1->Count() > 0) {
    CheckListBox1->SetItemIndex(0);
  }
  FQuietShow = false;
  GetUpdownPosition();
  GetFixedWidth();
  InitSmallImages();
  ShowSelectedCaptions();
  Application->ProcessMessages();
  int widest = 0;
  for (int i = 0; i < CheckListBox1->Count(); ++i)
    widest = std::max(widest, Canvas()->TextWidth(CheckListBox1->Items()->Strings(i)));
  CheckListBox1->SetScrollWidth(widest + 12 + 5);
  SaveToFolderForm->PrefixText->SetText(Form1->FPrefix);
  ZqConfig->SetDown(PanelSettings->Visible());
  FUpDownChanging = false;
  FQuietShow = false;
}

void TFormSaveImage::FormResize(TObject* /*Sender*/) {
  if (PanelImage1->Visible()) PanelImage1->SetWidth((Width() - Splitter1->Width()) / 2);
  KeepEnveloppeInPlace();
}

void TFormSaveImage::FormCloseQuery(TObject* /*Sender*/, bool& CanClose) {
  // A run that handles events cannot be left behind: it is asked to stop, and the window
  // closes once it has.
  if (FBatchRunning) {
    CanClose = false;
    FStopBatch = true;
    FCloseRequested = true;
  }
}

void TFormSaveImage::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  TimerFirstPaint->SetEnabled(false);
  CheckListBox1->Clear();
  Image1->Picture()->Assign(nullptr);
  Image2->Picture()->Assign(nullptr);
  Image3->Picture()->Assign(nullptr);
  Image4->Picture()->Assign(nullptr);
  FCompressedValid = false;
  delete FSourceImage;
  FSourceImage = nullptr;
  delete FJpegOut;
  FJpegOut = nullptr;
  Form1->FSmallWidth = ComboBox1->ItemIndex();
  Form1->FSmallCompression = ComboBox2->ItemIndex();
  Form1->FWebSettings = PanelSettings->Visible();
  Form1->FStretchSmall = Ch_Strech->Checked();
  Form1->FFilter = Ch_Filter->Checked();
}

// ===========================================================================
// Browsing and checking entries
// ===========================================================================
void TFormSaveImage::ZqNextClick(TObject* /*Sender*/) {
  if (FBatchRunning) return;
  const int index = CheckListBox1->ItemIndex();
  if (index < CheckListBox1->Count() - 1) {
    CheckListBox1->SetItemIndex(index + 1);
    InitSmallImages();
    ShowSelectedCaptions();
  }
}

void TFormSaveImage::ZqPreviousClick(TObject* /*Sender*/) {
  if (FBatchRunning) return;
  const int index = CheckListBox1->ItemIndex();
  if (index > 0) {
    CheckListBox1->SetItemIndex(index - 1);
    InitSmallImages();
    ShowSelectedCaptions();
  }
}

void TFormSaveImage::ZqNextMouseDown(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/, int /*X*/,
                                     int /*Y*/) {
  if (Button != mbRight || FBatchRunning) return;
  for (int i = CheckListBox1->ItemIndex() + 1; i < CheckListBox1->Count(); ++i)
    if (CheckListBox1->Checked(i)) {
      CheckListBox1->SetItemIndex(i);
      InitSmallImages();
      ShowSelectedCaptions();
      return;
    }
}

void TFormSaveImage::ZqPreviousMouseDown(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/,
                                         int /*X*/, int /*Y*/) {
  if (Button != mbRight || FBatchRunning) return;
  for (int i = CheckListBox1->ItemIndex() - 1; i >= 0; --i)
    if (CheckListBox1->Checked(i)) {
      CheckListBox1->SetItemIndex(i);
      InitSmallImages();
      ShowSelectedCaptions();
      return;
    }
}

void TFormSaveImage::CheckListBox1Click(TObject* /*Sender*/) {
  if (FBatchRunning) return;
  InitSmallImages();
  ShowSelectedCaptions();
}

void TFormSaveImage::Zq_PinDownClick(TObject* /*Sender*/) {
  const int index = CheckListBox1->ItemIndex();
  if (index >= 0 && index < CheckListBox1->Count()) CheckListBox1->SetChecked(index, Zq_PinDown->Down());
  ShowSelectedCaptions();
}

void TFormSaveImage::EnveloppeClick(TObject* Sender) {
  Zq_PinDown->SetDown(!Zq_PinDown->Down());
  Zq_PinDownClick(Sender);
}

void TFormSaveImage::Zq_ToggleSelectClick(TObject* /*Sender*/) {
  if (CheckListBox1->Count() == 0) return;
  const bool check = !CheckListBox1->Checked(0);
  for (int i = 0; i < CheckListBox1->Count(); ++i) CheckListBox1->SetChecked(i, check);
  ShowSelectedCaptions();
}

void TFormSaveImage::Zq_CheckListClick(TObject* /*Sender*/) {
  const bool show = !ChecklistPanel->Visible();
  if (show) PanelImage1->SetVisible(false);
  ChecklistPanel->SetVisible(show);
  Splitter1->SetVisible(show);
  if (show) Splitter1->SetLeft(ChecklistPanel->Left() + ChecklistPanel->Width());
}

void TFormSaveImage::Zq_Image1ShowClick(TObject* /*Sender*/) {
  const bool show = !PanelImage1->Visible();
  if (show) {
    Splitter1->SetVisible(false);
    ChecklistPanel->SetVisible(false);
    PanelImage1->SetWidth((Width() - Splitter1->Width()) / 2);
  }
  PanelImage1->SetVisible(show);
  if (show) SyncScroll(ScrollBox2);
}

void TFormSaveImage::ChB_ShowLargeThumbClick(TObject* /*Sender*/) {
  const bool large = ChB_ShowLargeThumb->Checked();
  Panel8->SetVisible(large);
  Splitter2->SetVisible(large);
  FitThumbnails();
}

void TFormSaveImage::SplitterMoved(TObject* /*Sender*/) {
  if (ChB_ShowLargeThumb->Checked() && ChecklistPanel->Visible()) FitThumbnails();
}

// ===========================================================================
// The previews: dragged to scroll, kept together while both show
// ===========================================================================
void TFormSaveImage::UpdateHandCursor(TImage* Image, TScrollBox* Box) {
  const bool larger = Image->Width() > Box->ClientWidth() || Image->Height() > Box->ClientHeight();
  Image->SetCursor(larger ? crHandPoint : crDefault);
}

void TFormSaveImage::SyncScroll(TScrollBox* From) {
  if (PanelImage1->Visible()) {
    TScrollBox* to = From == ScrollBox1 ? ScrollBox2 : ScrollBox1;
    to->HorzScrollBar()->SetPosition(From->HorzScrollBar()->Position());
    to->VertScrollBar()->SetPosition(From->VertScrollBar()->Position());
  }
  KeepEnveloppeInPlace();
}

void TFormSaveImage::PreviewMouseDown(TObject* Sender, TMouseButton Button, TShiftState /*Shift*/, int X, int Y) {
  if (Button != mbLeft) return;
  auto* image = static_cast<TImage*>(Sender);
  FDragging = true;
  FDragStart = image->ClientToScreen(TPoint{X, Y});
}

void TFormSaveImage::PreviewMouseMove(TObject* Sender, TShiftState /*Shift*/, int X, int Y) {
  auto* image = static_cast<TImage*>(Sender);
  TScrollBox* box = image == Image1 ? ScrollBox1 : ScrollBox2;
  UpdateHandCursor(image, box);
  if (!FDragging) return;
  const TPoint now = image->ClientToScreen(TPoint{X, Y});
  box->HorzScrollBar()->SetPosition(box->HorzScrollBar()->Position() - (now.X - FDragStart.X));
  box->VertScrollBar()->SetPosition(box->VertScrollBar()->Position() - (now.Y - FDragStart.Y));
  FDragStart = now;
  SyncScroll(box);
}

void TFormSaveImage::PreviewMouseUp(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/,
                                    int /*Y*/) {
  FDragging = false;
}

// ===========================================================================
// Panels, keys, closing
// ===========================================================================
void TFormSaveImage::ZqConfigClick(TObject* /*Sender*/) { PanelSettings->SetVisible(ZqConfig->Down()); }

void TFormSaveImage::Panel2Click(TObject* Sender) {
  ZqConfig->SetDown(!ZqConfig->Down());
  ZqConfigClick(Sender);
}

void TFormSaveImage::Zq_CloseClick(TObject* /*Sender*/) { Close(); }

void TFormSaveImage::ZqSpeedButton1Click(TObject* /*Sender*/) { Form1->ShowHelpContext(kHelpContext); }

void TFormSaveImage::AskStopBatch() {
  if (TranslatedMessageDialog(_("Stop current file batch handling?"), mtConfirmation, {mbYes, mbNo}, 0) == mrYes)
    FStopBatch = true;
}

void TFormSaveImage::ZqButton1Click(TObject* /*Sender*/) {
  if (FBatchRunning) AskStopBatch();
}

void TFormSaveImage::FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState /*Shift*/) {
  if (Key == VK_ESCAPE && FBatchRunning) {
    Key = 0;
    AskStopBatch();
  } else if (Key == VK_OEM_PERIOD) {
    Key = 0;
    ZqNextClick(Sender);
  } else if (Key == VK_OEM_COMMA) {
    Key = 0;
    ZqPreviousClick(Sender);
  } else if (Key == VK_F1) {
    Key = 0;
    ZqSpeedButton1Click(Sender);
  }
}
