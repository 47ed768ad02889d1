// The road of one picture: from a file name to a fitted picture in the picture area,
// with the JPEG decode scale, the status bar, the load progress, the text view, the
// placeholders of associated and unreadable files and the voice memo.
#include <algorithm>
#include <chrono>
#include <memory>

#include "controls/EventScrollbox.h"
#include "controls/ZephFade.h"
#include "controls/ZqSpeedButton.h"
#include "controls/ZrkSound.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "core/UnitFadestyles.h"
#include "core/UnitFilterselect.h"
#include "core/UnitSetting.h"
#include "formats/GIFImage.h"
#include "formats/Resample.h"
#include "tools/ExifInfoUnit2.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitHistogram.h"
#include "tools/UnitThumbSpy.h"

namespace {

// The filter palette lists its filters in this order; the resampler numbers the last two
// the other way round.
constexpr TResamplingFilter kPaletteFilters[] = {sfBox, sfTriangle, sfHermite, sfBell,
                                                 sfSpline, sfMitchell, sfLanczos3};
constexpr const char* kPaletteFilterNames[] = {"Box", "Triangle", "Hermite", "Bell", "Spline", "Mitchell", "Lanczos3"};
constexpr int kDesignedFilter = 2;

// Below this width a fitted picture is not drawn at all.
constexpr int kMinimumFitWidth = 5;

// A text file shows at most this much of its start.
constexpr int64_t kMaxTextBytes = int64_t(4) << 20;

TResamplingFilter PaletteFilter(int choice) {
  if (choice < 0 || choice >= int(std::size(kPaletteFilters))) choice = kDesignedFilter;
  return kPaletteFilters[choice];
}

// The JPEG decode scale for a picture of width x height in an area of areaWidth x areaHeight:
// 1/2 from twice the area on, 1/4 from four times, 1/8 from eight times (either side).
int AutomaticJpegScale(int width, int height, int areaWidth, int areaHeight) {
  int scale = 0;
  if (width >= 2 * areaWidth || height >= 2 * areaHeight) scale = 1;
  if (width >= 4 * areaWidth || height >= 4 * areaHeight) scale = 2;
  if (width >= 8 * areaWidth || height >= 8 * areaHeight) scale = 3;
  return scale;
}

// The start of a text file, cut after its last complete line when the file is longer.
std::string ReadTextStart(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyNone);
  const int64_t size = stream.Size();
  const int64_t count = std::min(size, kMaxTextBytes);
  std::string bytes(size_t(std::max<int64_t>(count, 0)), '\0');
  if (count > 0) bytes.resize(size_t(stream.Read(bytes.data(), count)));
  if (size > count) {
    const size_t lastBreak = bytes.find_last_of('\n');
    if (lastBreak != std::string::npos) bytes.resize(lastBreak + 1);
  }
  return bytes;
}

// A GIF file of more than one image, loaded, with transparent parts and frames restored
// to the background showing the picture area's colour; nullptr for other files and for
// GIFs that cannot be read. Only images count: extension blocks after the last image (a
// comment) make no frame of their own.
std::unique_ptr<TGIFImage> LoadAnimatedGif(const std::string& fileName, TColor areaColor) {
  if (UpperCase(ExtractFileExt(fileName)) != ".GIF") return nullptr;
  auto gif = std::make_unique<TGIFImage>();
  gif->DrawBackgroundColor = ColorToRGB(areaColor);
  try {
    gif->LoadFromFile(fileName);
    int images = 0;
    for (int i = 0; i < gif->Images().GetCount(); ++i) images += gif->Images().GetImage(i)->Empty() ? 0 : 1;
    if (images > 1 && gif->GetBitmap()) return gif;
  } catch (const std::exception&) {
    // A GIF that cannot be read is no animation.
  }
  return nullptr;
}

// Hands an animated GIF to the image control, which then plays it at its present size
// (the logical screen's, fitted as the picture was). The image control's own copy is
// returned.
TGIFImage* ShowAnimatedGif(TImage& image, const TGIFImage& gif) {
  image.SetAutoSize(false);
  image.SetStretch(true);
  image.Picture()->Assign(const_cast<TGIFImage*>(&gif));
  return dynamic_cast<TGIFImage*>(image.Picture()->Graphic());
}

}  // namespace

// ===========================================================================
// The list and the view
// ===========================================================================
void TForm1::ListBox1Click(TObject* /*Sender*/) {
  if (FormThumbSpy && FormThumbSpy->Visible()) FormThumbSpy->Close();
  const int index = ListBox1->ItemIndex();
  if (index >= 0 && index < ListBox1->Count()) OpenThePicture(ListBox1->Items()->Strings(index));
}

void TForm1::ResetListbox1() {
  if (ListBox1->Count() > 0) {
    ListBox1->SetItemIndex(0);
    if (ListBox1->MultiSelect()) ListBox1->SetSelected(0, true);
    OpenThePicture(ListBox1->Items()->Strings(0));
  }
  if (PanelThumbHolder->Visible()) FillTheTumbsNow();
}

void TForm1::EmptyAllImages() {
  CreateDummyFadeFromPicture();
  HideExifLabels();
  if (HistogramForm && HistogramForm->Visible()) HistogramForm->ClearHistogram(*HistogramForm->Image1->Canvas());
  ZrkSound1->SetSoundFile(std::string());
  ZqSoundbutton->SetVisible(false);
  FGifImage = nullptr;
  Image1->Picture()->Assign(nullptr);
  Image1->SetWidth(10);
  Image1->SetHeight(10);
  FSourcePicture->Assign(nullptr);
  if (FCurrentFile.empty() && FFullScreen && M_Showfilename->Checked()) ShowIt(FLastPath);
}

bool TForm1::IsImageFile(const std::string& FileName) const {
  const std::string ext = UpperCase(ExtractFileExt(FileName));
  if (ext.empty()) return false;
  for (int i = 0; i < FImageExtList->Count(); ++i)
    if (UpperCase(FImageExtList->Strings(i)) == ext) return true;
  return false;
}

bool TForm1::IsAssociatedFile(const std::string& FileName) const {
  const std::string ext = UpperCase(ExtractFileExt(FileName));
  if (ext.empty()) return false;
  for (int i = 0; i < FAssociatedList->Count(); ++i)
    if (FAssociatedList->Strings(i) == ext) return true;
  return false;
}

bool TForm1::IsAmimatedGif(const std::string& FileName) {
  if (UpperCase(ExtractFileExt(FileName)) != ".GIF") return false;
  FAnimatedGif = LoadAnimatedGif(FileName, ScrollBox1->Color()) != nullptr;
  return FAnimatedGif;
}

void TForm1::RunGifImage1Click(TObject* /*Sender*/) {
  if (UpperCase(ExtractFileExt(FCurrentFile)) != ".GIF" || FZoomPercent != 100) return;
  // Only the GIF that Image1 still holds.
  if (!FGifImage || Image1->Picture()->Graphic() != FGifImage) return;
  FGifImage->SetAnimate(!FGifImage->GetAnimate());
}

bool TForm1::ShowTextFile(const std::string& FileName, bool Fading) {
  if (FormSettings->ChB_Showtext->Checked() && !Fading && UpperCase(ExtractFileExt(FileName)) == ".TXT") {
    Image1->Picture()->Assign(nullptr);
    Image1->SetWidth(0);
    Image1->SetHeight(0);
    RichEdit1->SetAlign(alClient);
    RichEdit1->SetVisible(true);
    try {
      const std::string bytes = FileExists(FileName) ? ReadTextStart(FileName) : std::string();
      TReadOnlyMemoryStream stream(bytes.data(), int64_t(bytes.size()));
      RichEdit1->Lines()->LoadFromStream(stream);
    } catch (const Exception&) {
      RichEdit1->Lines()->Clear();
    }
    PopupImage->SetAutoPopup(false);
    if (ExifInfoForm && ExifInfoForm->Visible()) ClearExifWindow();
    return true;
  }
  if (RichEdit1->Visible()) {
    RichEdit1->SetVisible(false);
    RichEdit1->Lines()->Clear();
    RichEdit1->SetAlign(alNone);
    PopupImage->SetAutoPopup(true);
  }
  return false;
}

void TForm1::SoundExists(const std::string& FileName, bool Play) {
  // Cameras write their memos with an upper-case extension beside upper-case names.
  const std::string base = ExtractFilePath(FileName) + FileNameWithoutExt(FileName);
  std::string companion = base + ".wav";
  if (!FileExists(companion) && FileExists(base + ".WAV")) companion = base + ".WAV";
  if (FileExists(companion)) {
    if (FormSettings->ChB_MemoButton->Checked()) ZqSoundbutton->SetVisible(true);
    Playmemo1->SetEnabled(true);
    M_Playmemo->SetEnabled(true);
    ZrkSound1->SetSoundFile(companion);
    if (Play) ZrkSound1->Play();
  } else {
    ZrkSound1->SetSoundFile(std::string());
    ZqSoundbutton->SetVisible(false);
    Playmemo1->SetEnabled(false);
    M_Playmemo->SetEnabled(false);
  }
}

void TForm1::ImageLoadProgress(TObject* /*Sender*/, TProgressStage Stage, uint8_t PercentDone, bool /*RedrawNow*/,
                               const TRect& /*R*/, const std::string& /*Msg*/) {
  if (Stage == psRunning) {
    ProgressBar1->SetVisible(true);
    ProgressBar1->SetPosition(PercentDone);
    // No events are handled while a picture loads: the bar paints itself now.
    ProgressBar1->Repaint();
    // The slide interval counts from the end of loading.
    if (FSlideRunning) Timer1->SetEnabled(false);
  } else {
    ProgressBar1->SetVisible(false);
    ProgressBar1->SetPosition(0);
  }
}

// ===========================================================================
// Opening a picture
// ===========================================================================
void TForm1::OpenThePicture(const std::string& FileName) {
  // Callers pass FCurrentFile itself (to reopen the picture): keep the name before the reset.
  const std::string requested = FileName;
  // The title follows what is shown: a crop argument goes with its picture.
  if (!FCropCaption.file.empty() && requested != FCropCaption.file) {
    if (Caption() == FCropCaption.text) SetCaption(FCropCaption.before);
    FCropCaption = {};
  }
  // Reset.
  FScaleText.clear();
  FImageWidth = FImageHeight = 0;
  FZoomPercent = 100;
  FCurrentFile.clear();
  FAnimatedGif = false;
  FGifImage = nullptr;
  noPicture_ = false;
  Wallpaper1->SetEnabled(false);
  HideExifLabels();
  ResetStatusbar();
  ZrkSound1->Stop();

  // The slide timer waits until the picture is shown.
  FSlideExtraMs = FSlideDelay != 0 ? 0 : 50;
  Timer1->SetInterval(unsigned(std::max(0, FSlideDelay * 1000 + FSlideExtraMs)));
  Timer1->SetEnabled(false);
  Image1->SetAlign(alNone);
  Image1->SetStretch(false);
  Image1->SetAutoSize(true);

  // Only the full-screen show with fading on and fitting on fades, from what the screen shows.
  const bool fading = FSlideShowMode && FormFadestyles->ChB_Fading->Checked() && ZqFitInScreen->Down();
  if (fading && !fadeFromShown_) PaintZephFadeCanvas(ShownBitmap().get(), FFadeFromPicture->Bitmap(), true, 0, 0);
  fadeFromShown_ = fading;
  const std::string name = IsFullPath(requested) ? requested : FLastPath + requested;
  FCurrentFile = name;
  FPlaceholderShown = false;

  // A text file.
  if (ShowTextFile(name, fading)) {
    Timer1->SetEnabled(FSlideRunning);
    if (PanelThumbHolder->Visible()) BlueThumb();
    FillStatusbar(name, "0");
    if (HistogramForm && HistogramForm->Visible()) ShowTheHistogram();
    return;
  }

  // An associated file is not opened.
  if (IsAssociatedFile(name)) {
    if (!FSlideShowMode) {
      Image1->Picture()->Assign(AsociateImage->Picture());
      Image1->SetVisible(true);
      CenterImage(Image1->Height(), Image1->Width());
      FPlaceholderShown = true;
    }
    Timer1->SetInterval(10);
    Timer1->SetEnabled(FSlideRunning);
    if (PanelThumbHolder->Visible()) BlueThumb();
    FillStatusbar(name, "000");
    if (ExifInfoForm && ExifInfoForm->Visible()) ClearExifWindow();
    if (FFullScreen && M_Showfilename->Checked()) ShowIt(name);
    if (HistogramForm && HistogramForm->Visible()) ShowTheHistogram();
    return;
  }

  // A missing file leaves the view as the reset made it.
  if (FileExists(name)) {
    if (PanelThumbHolder->Visible()) BlueThumb();
    auto picture = std::make_unique<TPicture>();
    picture->OnProgress = [this](TObject* Sender, TProgressStage Stage, uint8_t Percent, bool Redraw, const TRect& R,
                                 const std::string& Msg) { ImageLoadProgress(Sender, Stage, Percent, Redraw, R, Msg); };
    StatusBar1->Panels()->Items(7)->SetText(ExtractFileName(name));
    FDisplayPicture->Assign(nullptr);
    if (fading) ZephFade1->SetPicFrom(FFadeFromPicture.get());
    ZephFade1->SetVisible(fading);
    if (HistogramForm && HistogramForm->Visible()) HistogramForm->ClearHistogram(*HistogramForm->Image1->Canvas());

    // The load time runs on a monotonic clock (the time of day jumps and wraps at midnight).
    ScrollBox1->SetDoubleBuffered(!fading);
    const auto started = std::chrono::steady_clock::now();

    // Files that are no picture, unreadable or unknown show the placeholder; nothing
    // is reported.
    auto showPlaceholder = [&] {
      picture->Assign(FalseImage->Picture());
      StatusBar1->Panels()->Items(2)->SetText(_("n/a"));
      noPicture_ = true;
      FPlaceholderShown = true;
    };
    if (!IsImageFile(name)) {
      showPlaceholder();
    } else {
      try {
        picture->LoadFromFile(name);
      } catch (const std::exception&) {
        showPlaceholder();
      }
    }

    // An animated GIF is shown at the size of its logical screen, on which its frames
    // play; its first frame there is the still picture (a running slide show shows the
    // file's first image instead).
    std::unique_ptr<TGIFImage> animation;
    if (!FSlideRunning && !noPicture_) animation = LoadAnimatedGif(name, ScrollBox1->Color());

    // A JPEG still reports its full size here.
    FImageHeight = animation ? animation->Height() : picture->Height();
    FImageWidth = animation ? animation->Width() : picture->Width();
    ApplyJpegScale(picture.get());
    ZqZoom->SetHint(!FScaleText.empty() && FScaleText != " 1/1" ? _("Disable \"Fit large images\" for best zoom results")
                                                                : _("Zoom in/out (+ - keys)"));

    // The source picture as a bitmap: a JPEG decodes here at its scale. A picture
    // that fails to decode shows the placeholder rather than an empty, sizeless bitmap.
    try {
      TGraphic* graphic = picture->Graphic();
      if (animation) {
        FSourcePicture->Assign(animation->GetBitmap());
        FSourcePicture->Bitmap()->SetPixelFormat(pf24bit);
      } else if (graphic && graphic->HasAlphaChannel()) {
        // Its transparent parts show the picture area's colour (full screen opens the
        // picture anew in its own colour).
        FSourcePicture->Assign(nullptr);
        DrawOverColor(*graphic, ScrollBox1->Color(), *FSourcePicture->Bitmap());
      } else if (dynamic_cast<TBitmap*>(graphic)) {
        FSourcePicture->Assign(graphic);
      } else {
        FSourcePicture->Assign(nullptr);  // a plain bitmap, not the previous picture's class
        FSourcePicture->Bitmap()->Assign(graphic);
        FSourcePicture->Bitmap()->SetPixelFormat(pf24bit);
      }
    } catch (const std::exception&) {
      FSourcePicture->Assign(nullptr);
    }
    if (FSourcePicture->Width() <= 0 || FSourcePicture->Height() <= 0) {
      showPlaceholder();
      FSourcePicture->Assign(picture.get());
      FImageHeight = picture->Height();
      FImageWidth = picture->Width();
    }

    // Sizes after the decode scale.
    const int pictureWidth = FSourcePicture->Width(), pictureHeight = FSourcePicture->Height();
    const bool large = pictureWidth > ScrollBox1->Width() || pictureHeight > ScrollBox1->Height();
    const bool fit = large ? ZqFitInScreen->Down() : ZqStretchsmaller->Down();
    if (ExifInfoForm && ExifInfoForm->Visible()) ShowExifWindowFile(name);

    // Fitting.
    if (!fit) {
      FDisplayPicture->Assign(FSourcePicture.get());
    } else if (Smoothstrech->Checked()) {
      if (FPreview && !FSlideShowMode) {
        Image1->SetVisible(true);
        FitForWindow(FSourcePicture.get(), FDisplayPicture.get(), ScrollBox1->Height(), ScrollBox1->Width(), true);
        CenterImage(FDisplayPicture->Height(), FDisplayPicture->Width());
        Image1->Picture()->Assign(FDisplayPicture.get());
        if (!fading) ShowExifLabel();
        Application->ProcessMessages();
        // The preview pumped events: a click may have opened another file meanwhile.
        if (FCurrentFile != name) return;
      }
      RescaleImage(FSourcePicture->Bitmap(), FDisplayPicture->Bitmap(), ScrollBox1->Height(), ScrollBox1->Width(),
                   false, FormFilterSelect->RG_Resample->ItemIndex());
    } else {
      FitForWindow(FSourcePicture.get(), FDisplayPicture.get(), ScrollBox1->Height(), ScrollBox1->Width(), true);
    }
    ShowItHide();
    CenterImage(FDisplayPicture->Height(), FDisplayPicture->Width());
    FZoomPercent = 100;
    FFitHeight = FDisplayPicture->Height();
    FFitWidth = FDisplayPicture->Width();

    // The fitted picture becomes the start of the next fade.
    if (fading) {
      Timer1->SetInterval(Timer1->Interval() + unsigned(std::max(0, ZephFade1->BlendRate() * 10)));
      PaintZephFadeCanvas(FDisplayPicture->Bitmap(), FFadeFromPicture->Bitmap(), true, ScrollBox1->Width(),
                          ScrollBox1->Height());
    }

    // Show.
    Image1->Picture()->Assign(FDisplayPicture.get());
    CenterLarge();
    Image1->SetVisible(!ZephFade1->Visible());
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    // An animated GIF animates in Image1.
    if (animation) {
      FAnimatedGif = true;
      FGifImage = ShowAnimatedGif(*Image1, *animation);
    }
    FillStatusbar(name, IntToStr(int64_t(elapsed)));
    if (fading) FadePicture();
    Timer1->SetEnabled(FSlideRunning);
    if (FFullScreen && M_Showfilename->Checked()) ShowIt(name);
    if (Ch_DebugLabels->Checked())
      ShowIt("Loaded: " + IntToStr(picture->Width()) + " x " + IntToStr(picture->Height()) +
             " Resampled: " + IntToStr(Image1->Width()) + " x " + IntToStr(Image1->Height()));
    if (!fading) SoundExists(name, FormSettings->ChB_Playsound->Checked());
    picture.reset();
    Wallpaper1->SetEnabled(true);
  }
  // The overlay and the histogram follow, a missing file included.
  if (Exifoverlay->Checked() && !ExifLabelFront->Visible() && !fading) ShowExifLabel();
  if (HistogramForm && HistogramForm->Visible()) ShowTheHistogram();
}

void TForm1::ApplyJpegScale(TPicture* Picture) {
  if (!Picture) return;
  int scale = 0;
  bool automatic = ZqFitInScreen->Down();
  const std::pair<TMenuItem*, int> items[] = {{N111, 0}, {N121, 1}, {N141, 2}, {N181, 3}};
  for (const auto& [item, value] : items) {
    if (item->Checked()) {
      scale = value;
      automatic = false;
    }
  }
  if (M_Autoscale->Checked()) automatic = true;

  auto* jpeg = dynamic_cast<TJPEGImage*>(Picture->Graphic());
  RotateFlip1->SetEnabled(jpeg != nullptr);
  ZqRotate->SetEnabled(jpeg != nullptr);
  if (!jpeg) return;
  jpeg->SetPixelFormat(jf24Bit);
  jpeg->SetGrayscale(false);
  jpeg->SetPerformance(jpBestQuality);
  if (automatic && ZqFitInScreen->Down())
    scale = AutomaticJpegScale(jpeg->Width(), jpeg->Height(), ScrollBox1->Width(), ScrollBox1->Height());
  static const char* const texts[] = {" 1/1", " 1/2", " 1/4", " 1/8"};
  static const TJPEGScale scales[] = {jsFullSize, jsHalf, jsQuarter, jsEighth};
  Label9->SetCaption(IntToStr(scale));
  FScaleText = texts[scale];
  jpeg->SetScale(scales[scale]);
}

// A JPEG decoded at a reduced scale is opened again once the area is higher than the
// decoded picture, so that growing the window gives a sharper picture.
bool TForm1::IsJPGLargerScale() {
  const std::string ext = UpperCase(ExtractFileExt(FCurrentFile));
  if (ext != ".JPG" && ext != ".THM" && ext != ".JPEG") return false;
  if (!Image1->Visible() || FSourcePicture->Height() == FImageHeight ||
      FSourcePicture->Height() >= ScrollBox1->Height())
    return false;
  ShowIt(_("Image reloaded, different JPG scale used..."), true);
  OpenThePicture(FCurrentFile);
  CenterImage(Image1->Height(), Image1->Width());
  return true;
}

// ===========================================================================
// Fitting
// ===========================================================================
void TForm1::FitForWindow(TPicture* Source, TPicture* Destination, int BoxHeight, int BoxWidth, bool UseMargin) {
  int margin = FFullScreen ? 0 : FFitMargin;
  if (FExactRescale || !UseMargin) margin = 0;
  BoxWidth -= margin;
  BoxHeight -= margin;
  // A failed conversion leaves a sizeless source: no proportion can be taken from it.
  FFitError = !Source || !Destination || Source->Width() <= 0 || Source->Height() <= 0 || BoxWidth <= 0 ||
              BoxHeight <= 0;
  if (FFitError) return;
  TRect rect = Rect(0, 0, 0, 0);
  CalcFitRect(BoxWidth, Source->Width(), BoxHeight, Source->Height(), FFitError, rect);
  if (FFitError) return;
  try {
    TBitmap fitted;
    fitted.SetPixelFormat(pf24bit);
    fitted.SetSize(rect.Right, rect.Bottom);
    if (BoxWidth >= kMinimumFitWidth && !fitted.Empty()) {
      fitted.Canvas().StretchDraw(Rect(0, 0, rect.Right, rect.Bottom), *Source->Graphic());
      Destination->Assign(&fitted);
    }
  } catch (const std::exception&) {
    ShowMessage(_("Error, out of system resources"));
    if (ZqTumblist->Down()) {
      FBuildingThumbs = false;
      PanelThumbHolder->SetVisible(false);
      ZqTumblist->SetDown(false);
      FormResize(this);
    }
  }
}

void TForm1::RescaleImage(TBitmap* Source, TBitmap* Destination, int BoxHeight, int BoxWidth, bool FastStretch,
                          int Filter) {
  if (!Source || !Destination) return;
  int margin = FFullScreen ? 0 : FFitMargin;
  if (FExactRescale) margin = 0;
  // Sizes are checked before any proportion is taken from them.
  FFitError = Source->Width() <= 0 || Source->Height() <= 0 || BoxWidth - margin <= 0 || BoxHeight - margin <= 0;
  if (FFitError) return;
  TRect rect = Rect(0, 0, 0, 0);
  CalcFitRect(BoxWidth - margin, Source->Width(), BoxHeight - margin, Source->Height(), FFitError, rect);
  if (FFitError) return;
  const int width = rect.Right, height = rect.Bottom;
  // The shrink test takes the margin off both sides.
  const int percentHeight = RoundedPercent(BoxHeight - 2 * margin, Source->Height());
  const int percentWidth = RoundedPercent(BoxWidth - 2 * margin, Source->Width());
  auto resample = [&] {
    if (width < kMinimumFitWidth || height <= 0) return;
    if (Source == Destination) {
      TBitmap copy;
      copy.Assign(Source);
      Stretch(uint32_t(width), uint32_t(height), PaletteFilter(Filter), 0, copy, *Destination);
    } else {
      Stretch(uint32_t(width), uint32_t(height), PaletteFilter(Filter), 0, *Source, *Destination);
    }
  };
  if (percentHeight < 100 || percentWidth < 100) {
    if (FastStretch) {
      TBitmap stretched;
      stretched.SetPixelFormat(pf24bit);
      stretched.SetPalette(Source->Palette());
      stretched.SetSize(width, height);
      if (!stretched.Empty()) stretched.Canvas().StretchDraw(Rect(0, 0, width, height), *Source);
      Destination->Assign(&stretched);
    } else {
      resample();
    }
  } else if (!ZqStretchsmaller->Down() && !FExactRescale) {
    // Small pictures keep their size.
    Destination->Assign(Source);
  } else {
    resample();
  }
}

void TForm1::RescaleImage(TPicture* Source, TPicture* Destination, int BoxHeight, int BoxWidth, bool FastStretch,
                          int Filter) {
  if (!Source || !Destination) return;
  if (!Source->Graphic() || Source->Width() <= 0 || Source->Height() <= 0) {
    FFitError = true;
    return;
  }
  // A picture that holds another kind of graphic (a JPEG) is resampled from a bitmap copy;
  // asking it for its bitmap would replace the graphic.
  TBitmap* source = dynamic_cast<TBitmap*>(Source->Graphic());
  TBitmap converted;
  if (!source) {
    converted.Assign(Source->Graphic());
    source = &converted;
  }
  TBitmap target;
  RescaleImage(source, &target, BoxHeight, BoxWidth, FastStretch, Filter);
  if (!FFitError && !target.Empty()) Destination->Assign(&target);
}

void TForm1::CenterImage(int Height, int Width) {
  ScrollBox1->HorzScrollBar()->SetPosition(0);
  ScrollBox1->VertScrollBar()->SetPosition(0);
  const int areaWidth = ScrollBox1->ClientWidth(), areaHeight = ScrollBox1->ClientHeight();
  Image1->SetLeft(areaWidth > Width ? (areaWidth - Width) / 2 : 0);
  Image1->SetTop(areaHeight > Height ? (areaHeight - Height) / 2 - 2 : 0);
}

void TForm1::CenterLarge() {
  if (!M_Centerlarge->Checked()) return;
  TControlScrollBar* v = ScrollBox1->VertScrollBar();
  TControlScrollBar* h = ScrollBox1->HorzScrollBar();
  v->SetPosition((v->Range() - ScrollBox1->Height()) / 2);
  h->SetPosition((h->Range() - ScrollBox1->Width()) / 2);
}

void TForm1::InvertImage() {
  TGraphic* graphic = Image1->Picture()->Graphic();
  auto* bitmap = dynamic_cast<TBitmap*>(graphic);
  if (!bitmap || bitmap->Empty()) return;
  // Inverting a palette picture's pixels would invert its colour indices.
  if (bitmap->PixelFormat() != pf24bit && bitmap->PixelFormat() != pf32bit) bitmap->SetPixelFormat(pf24bit);
  TCanvas& canvas = bitmap->Canvas();
  const TRect whole = Rect(0, 0, bitmap->Width(), bitmap->Height());
  canvas.SetCopyMode(cmDstInvert);
  canvas.CopyRect(whole, canvas, whole);
  canvas.SetCopyMode(cmSrcCopy);
  Image1->Invalidate();
}

// ===========================================================================
// Status bar
// ===========================================================================
void TForm1::ResetStatusbar() {
  statusNote_.clear();
  for (int i = 0; i < 8 && i < StatusBar1->Panels()->Count(); ++i) StatusBar1->Panels()->Items(i)->SetText(std::string());
}

void TForm1::StatusFollowsView() {
  TStatusPanels* panels = StatusBar1->Panels();
  if (FSuspendUpdates || panels->Count() < 8) return;
  auto show = [panels](int index, const std::string& text) {
    if (panels->Items(index)->Text() != text) panels->Items(index)->SetText(text);
  };
  const std::string place = ListPlaceText();
  if (statusNote_.empty() || place != statusNotePlace_) {
    statusNote_.clear();
    show(0, place);
  } else {
    show(0, statusNote_);
  }
  if (FCurrentFile.empty()) {
    for (int i = 1; i < 8; ++i) show(i, std::string());
  } else {
    show(7, ExtractFileName(FCurrentFile));
  }
}

std::string TForm1::ListPlaceText() const {
  return IntToStr(ListBox1->ItemIndex() + 1) + "/" + IntToStr(ListBox1->Count());
}

void TForm1::ShowStatusNote(const std::string& Note) {
  statusNote_ = Note;
  statusNotePlace_ = ListPlaceText();
  if (StatusBar1->Panels()->Count() > 0) StatusBar1->Panels()->Items(0)->SetText(Note);
}

void TForm1::FillStatusbar(const std::string& FileName, const std::string& LoadTimeText) {
  TStatusPanels* panels = StatusBar1->Panels();
  if (panels->Count() < 8) return;
  statusNote_.clear();
  panels->Items(0)->SetText(ListPlaceText());
  panels->Items(1)->SetText(FileDateAsExifText(FileName));
  panels->Items(2)->SetText(noPicture_ || FImageWidth <= 0 || FImageHeight <= 0
                                ? _("n/a")
                                : IntToStr(FImageWidth) + " x " + IntToStr(FImageHeight));
  panels->Items(3)->SetText(FileSizeWithUnitText(FileName));
  panels->Items(4)->SetText(_("Loaded in: ") + LoadTimeText + "ms");
  if (!Smoothstrech->Checked()) {
    panels->Items(5)->SetText(_("filter = off"));
  } else {
    const int choice = FormFilterSelect->RG_Resample->ItemIndex();
    if (choice >= 0 && choice < int(std::size(kPaletteFilterNames)))
      panels->Items(5)->SetText(std::string("filter ") + kPaletteFilterNames[choice]);
  }
  panels->Items(6)->SetText(IntToStr(FZoomPercent) + "%" + FScaleText);
  panels->Items(7)->SetText(ExtractFileName(FileName));
}
