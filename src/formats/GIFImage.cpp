// The GIF image class: reading and writing the file, drawing (a still frame, or an
// animation on a painter), starting and stopping painters, copying, palettes, the
// clipboard, and the registration of the class with the picture object.
#include "formats/GIFImage.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "formats/GraphicStrings.h"
#include "platform/gui/Clipbrd.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Math.h"

namespace {

TClipboardFormat g_clipboardFormat = 0;
// Screens here show true colour, so automatic dithering never applies.
bool g_screenIsPalette = false;

// Lets painters on other threads get their work done on this (the GUI) thread while it
// waits for them: only the work they hand over is run, not the whole event queue, so a
// wait inside a paint event does not paint again.
void PumpPainterWork() {
  if (IsMainThread() && CheckSynchronize()) return;
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Holds the image's painter-list lock for a scope.
class ListLock {
 public:
  explicit ListLock(TThreadList& list) : list_(list) { list_.LockList(); }
  ~ListLock() { list_.UnlockList(); }
  ListLock(const ListLock&) = delete;
  ListLock& operator=(const ListLock&) = delete;

 private:
  TThreadList& list_;
};

}  // namespace

TClipboardFormat TGIFImage::ClipboardFormat() { return g_clipboardFormat; }

TGIFImage::TGIFImage()
    : images_(std::make_unique<TGIFImageList>(this)), header_(std::make_unique<TGIFHeader>(this)) {
  Clear();
}

TGIFImage::~TGIFImage() {
  StopAll();
  {
    // Painters that still run (further up this thread's stack) lose their image.
    std::vector<void*>* list = painters_.LockList();
    for (void* p : *list) {
      static_cast<TGIFPainter*>(p)->image_ = nullptr;
      static_cast<TGIFPainter*>(p)->backReference_ = nullptr;
    }
    list->clear();
    painters_.UnlockList();
  }
  *alive_ = false;
  drawPainter_ = nullptr;
  images_->Clear();
  bitmap_.reset();
}

void TGIFImage::Clear() {
  StopAll();
  FreeCachedBitmap();
  images_->Clear();
  header_->ColorMap().Clear();
  header_->SetHeight(0);
  header_->SetWidth(0);
  header_->Clear();
  SetPaletteHandle(std::nullopt);
}

// ---------------------------------------------------------------------------
// Reading and writing
// ---------------------------------------------------------------------------

void TGIFImage::LoadFromStream(TStream& stream) {
  Progress(this, psStarting, 0, false, TRect(), GifCodec::Text(gsGIFLoading));
  bool ok = false;
  try {
    Clear();
    const int64_t start = stream.Position();
    loadedBytes_ = 0;
    try {
      header_->LoadFromStream(stream);
      images_->LoadFromStream(stream);
      uint8_t trailer;
      if (GifCodec::ReadByte(stream, trailer) && trailer != ';') Warning(this, 1, GifCodec::Text(gsGIFInvalidTrailer));
    } catch (...) {
      stream.SetPosition(start);
      throw;
    }
    // A logical screen without a size takes the first frame's, as other viewers do.
    if ((header_->Width() == 0 || header_->Height() == 0) && images_->GetCount() > 0) {
      TGIFSubImage* first = images_->GetImage(0);
      if (header_->Width() == 0) header_->SetWidth(uint16_t(std::min(first->Left() + first->Width(), 0xFFFF)));
      if (header_->Height() == 0) header_->SetHeight(uint16_t(std::min(first->Top() + first->Height(), 0xFFFF)));
    }
    // The screen, which the still picture and every played frame are drawn on, holds no
    // data of its own: it stays within the bitmap's sides and the pixel limit, and
    // within a memory budget unless the file's data could fill it. A small file may so
    // have a full-screen screen, but a few bytes never make one of hundreds of megabytes.
    const int64_t screenWidth = header_->Width(), screenHeight = header_->Height();
    const int64_t screenPixels = screenWidth * screenHeight;
    const int64_t screenBytes = (screenWidth * 3 + 3) / 4 * 4 * screenHeight;  // 24-bit rows
    if (screenWidth > MaxBitmapSide || screenHeight > MaxBitmapSide || screenPixels > kGIFMaxPixels ||
        (screenBytes > kGIFScreenBudget &&
         screenPixels > std::max<int64_t>(stream.Position() - start, 0) * kGIFMaxPixelsPerDataByte + 4096))
      GifCodec::Error(gsGIFTooLarge);
    ok = true;
  } catch (...) {
    Progress(this, psEnding, 0, true, TRect(), GifCodec::Text(gsGIFLoading));
    throw;
  }
  if (ok) Progress(this, psEnding, 100, true, TRect(), GifCodec::Text(gsGIFLoading));
  Changed(this);
}

void TGIFImage::SaveToStream(TStream& stream) {
  Progress(this, psStarting, 0, false, TRect(), GifCodec::Text(gsGIFSaving));
  try {
    header_->SaveToStream(stream);
    images_->SaveToStream(stream);
    GifCodec::WriteByte(stream, ';');
  } catch (...) {
    Progress(this, psEnding, 0, true, TRect(), GifCodec::Text(gsGIFSaving));
    throw;
  }
  Progress(this, psEnding, 100, true, TRect(), GifCodec::Text(gsGIFSaving));
}

TGIFVersion TGIFImage::Version() const {
  if (images_->GetCount() == 0) return gvUnknown;
  TGIFVersion version = header_->GetVersion();
  for (int i = 0; i < images_->GetCount() && version < gv89a; ++i)
    version = std::max(version, images_->GetImage(i)->GetVersion());
  return version;
}

int TGIFImage::ColorResolution() const {
  int resolution = header_->ColorResolution();
  for (int i = 0; i < images_->GetCount(); ++i) resolution = std::max(resolution, images_->GetImage(i)->ColorResolution());
  return resolution;
}

int TGIFImage::BitsPerPixel() const {
  int bits = header_->BitsPerPixel();
  for (int i = 0; i < images_->GetCount(); ++i) bits = std::max(bits, images_->GetImage(i)->BitsPerPixel());
  return bits;
}

// ---------------------------------------------------------------------------
// Size, palette, options
// ---------------------------------------------------------------------------

void TGIFImage::SetWidth(int value) {
  for (int i = 0; i < images_->GetCount(); ++i) {
    TGIFSubImage* frame = images_->GetImage(i);
    if (frame->Left() + frame->Width() > value) GifCodec::Error(gsGIFWidthTooSmall);
  }
  if (value != header_->Width()) {
    header_->SetWidth(uint16_t(std::clamp(value, 0, 0xFFFF)));
    FreeCachedBitmap();
    Changed(this);
  }
}

void TGIFImage::SetHeight(int value) {
  for (int i = 0; i < images_->GetCount(); ++i) {
    TGIFSubImage* frame = images_->GetImage(i);
    if (frame->Top() + frame->Height() > value) GifCodec::Error(gsGIFHeightTooSmall);
  }
  if (value != header_->Height()) {
    header_->SetHeight(uint16_t(std::clamp(value, 0, 0xFFFF)));
    FreeCachedBitmap();
    Changed(this);
  }
}

TPalette TGIFImage::GetPalette() {
  if (gettingPalette_) GifCodec::Error(gsGIFNoColorTable);
  gettingPalette_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{gettingPalette_};
  if (bitmap_ && !bitmap_->Palette().IsEmpty()) return bitmap_->Palette();
  if (palette_) return *palette_;
  if (GetDoDither()) {
    palette_ = GifCodec::WebPalette();
    return *palette_;
  }
  if (header_->ColorMap().Count() > 0) {
    palette_ = header_->ColorMap().ExportPalette();
    return *palette_;
  }
  if (images_->GetCount() > 0) return images_->GetImage(0)->GetPalette();
  return TPalette();
}

void TGIFImage::SetPaletteHandle(const std::optional<TPalette>& palette) {
  if (palette == palette_) return;
  palette_ = palette;
  if (bitmap_ && bitmap_->Palette() != palette.value_or(TPalette())) {
    FreeCachedBitmap();
    SetPaletteModified(true);
    Changed(this);
  }
}

bool TGIFImage::GetDoDither() const {
  if (!(drawOptions_ & doDither)) return false;
  if (drawOptions_ & doAutoDither) return g_screenIsPalette;
  return true;
}

void TGIFImage::SetDrawOptions(TGIFDrawOptions value) {
  if (value == drawOptions_) return;
  {
    ListLock lock(painters_);
    if (drawPainter_) drawPainter_->Stop();
  }
  drawOptions_ = value;
  RebuildCache();
  Changed(this);
}

void TGIFImage::RebuildCache() {
  FreeCachedBitmap();
  SetPaletteHandle(std::nullopt);
  for (int i = 0; i < images_->GetCount(); ++i) {
    TGIFSubImage* frame = images_->GetImage(i);
    frame->FreeBitmap();
    frame->palette_.reset();
  }
  if (header_->ColorMap().Count() == 0 && images_->GetCount() == 1) {
    TGIFSubImage* frame = images_->GetImage(0);
    if (frame->ColorMap().Count() > 0) {
      header_->ColorMap().Assign(&frame->ColorMap());
      frame->ColorMap().Clear();
    }
  }
}

void TGIFImage::SetAnimate(bool value) {
  SetDrawOptions(value ? TGIFDrawOptions(drawOptions_ | doAnimate) : TGIFDrawOptions(drawOptions_ & ~doAnimate));
}

void TGIFImage::Warning(TObject* sender, int severity, const std::string& message) {
  if (OnWarning) OnWarning(sender, severity, message);
}

// ---------------------------------------------------------------------------
// The cached bitmap
// ---------------------------------------------------------------------------

void TGIFImage::FreeCachedBitmap() {
  if (!bitmap_) return;
  {
    // A painter never outlives the buffer it paints into without being told to stop;
    // its drawing looks at that first.
    ListLock lock(painters_);
    if (drawPainter_ && bitmap_->HasCanvas() && drawPainter_->Canvas() == &bitmap_->Canvas()) drawPainter_->Stop();
  }
  bitmap_.reset();
}

TBitmap* TGIFImage::GetBitmap() {
  if (Empty()) return nullptr;
  if (bitmap_) return bitmap_.get();
  auto bitmap = std::make_unique<TBitmap>();
  TGIFSubImage* first = images_->GetImage(0);
  if (first->Left() == 0 && first->Top() == 0 && first->Width() == Width() && first->Height() == Height()) {
    if (TBitmap* frame = first->GetBitmap()) bitmap->Assign(frame);
  } else {
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetPalette(GetPalette());
    bitmap->SetSize(Width(), Height());
    first->StretchDraw(bitmap->Canvas(), ::Rect(0, 0, Width(), Height()), false, false);
  }
  bitmap->OnChange = [this](TObject*) { Changed(this); };
  bitmap_ = std::move(bitmap);
  return bitmap_.get();
}

void TGIFImage::DrawCachedBitmap(TCanvas& canvas, const TRect& rect) {
  if (!bitmap_ || bitmap_->Empty()) return;
  if (drawOptions_ & doTile) {
    const int w = bitmap_->Width(), h = bitmap_->Height();
    for (int y = rect.Top; y < rect.Bottom; y += h)
      for (int x = rect.Left; x < rect.Right; x += w) canvas.Draw(x, y, *bitmap_);
  } else {
    canvas.StretchDraw(rect, *bitmap_);
  }
}

TColor TGIFImage::PainterBackgroundColor() {
  if (DrawBackgroundColor != clNone) return DrawBackgroundColor;
  if (header_->ColorMap().Count() == 0) return ColorToRGB(clWindow);
  return header_->BackgroundColor();
}

// ---------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------

void TGIFImage::Draw(TCanvas& canvas, const TRect& rect) {
  if (drawing_ || images_->GetCount() == 0) return;
  drawing_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{drawing_};

  if (images_->GetCount() > 1 && (drawOptions_ & doAnimate)) {
    if (bitmap_ && !(drawOptions_ & doDirectDraw)) {
      DrawCachedBitmap(canvas, rect);
      return;
    }
    {
      ListLock lock(painters_);
      if (drawPainter_ && drawPainter_->Canvas() == &canvas && drawPainter_->PaintRect() == rect) return;
    }
    StopDraw();
    TCanvas* target = &canvas;
    TRect targetRect = rect;
    if (!(drawOptions_ & doDirectDraw)) {
      auto bitmap = std::make_unique<TBitmap>();
      bitmap->SetPixelFormat(pf24bit);
      bitmap->SetPalette(GetPalette());
      bitmap->SetSize(Width(), Height());
      targetRect = ::Rect(0, 0, Width(), Height());
      // What the destination shows under the picture; a destination that cannot be read
      // (a window) leaves the background colour.
      bitmap->Canvas().Brush().SetColor(PainterBackgroundColor());
      bitmap->Canvas().FillRect(targetRect);
      bitmap->Canvas().CopyRect(targetRect, canvas, rect);
      bitmap->OnChange = [this](TObject*) { Changed(this); };
      bitmap_ = std::move(bitmap);
      target = &bitmap_->Canvas();
    }
    // Not under the painter-list lock: an unthreaded painter plays here at once and
    // processes messages between its frames.
    TGIFPainter* painter = Paint(*target, targetRect, drawOptions_, &drawPainter_);
    if (!painter) {
      if (bitmap_ && !(drawOptions_ & doDirectDraw)) DrawCachedBitmap(canvas, rect);
      return;
    }
    painter->Start();
    if (drawOptions_ & doDirectDraw) return;
    // Waits for the first frame, and its OnAfterPaint, without holding the painter-list
    // lock: the painter's work (and its end) runs on this thread meanwhile. (A handler
    // still queued when the caller stops the animation right after this Draw would be
    // dropped, though its frame was drawn.) The painter is looked at only while
    // it is still the draw painter, which it stops being before it is freed.
    std::shared_ptr<bool> alive = alive_;
    while (true) {
      bool waiting;
      {
        ListLock lock(painters_);
        waiting = drawPainter_ == painter && !painter->FirstFrameShown() && !painter->Terminated();
      }
      if (!waiting) break;
      PumpPainterWork();
      if (!*alive) return;
    }
    DrawCachedBitmap(canvas, rect);
    return;
  }
  const int index = ShowFrame >= 0 && ShowFrame < images_->GetCount() ? ShowFrame : 0;
  images_->GetImage(index)->StretchDraw(canvas, rect, (drawOptions_ & doTransparent) != 0, (drawOptions_ & doTile) != 0);
}

TGIFPainter* TGIFImage::Paint(TCanvas& canvas, const TRect& rect, TGIFDrawOptions options,
                              TGIFPainter** backReference) {
  if (Empty() || rect.IsEmpty()) {
    if (backReference) *backReference = nullptr;
    return nullptr;
  }
  if (images_->GetCount() == 1) options = TGIFDrawOptions(options & ~(doThreaded | doAnimate));
  auto* painter = new TGIFPainter(backReference, options, rect, &canvas, this);
  painters_.Add(painter);
  if (options & doThreaded) {
    painter->SetPriority(ThreadPriority);
    return painter;
  }
  try {
    painter->Run();
  } catch (...) {
    delete painter;
    throw;
  }
  delete painter;
  if (backReference) *backReference = nullptr;
  return nullptr;
}

void TGIFImage::StopDraw() {
  while (true) {
    bool threaded;
    {
      ListLock lock(painters_);
      if (!drawPainter_) break;
      drawPainter_->Stop();
      threaded = drawPainter_->Threaded();
    }
    // An unthreaded draw painter runs further up this thread's stack and ends when it
    // returns there.
    if (!threaded) break;
    PumpPainterWork();
  }
  FreeCachedBitmap();
}

void TGIFImage::StopAll() {
  while (true) {
    int threaded = 0;
    {
      ListLock lock(painters_);
      std::vector<void*>* list = painters_.LockList();
      for (auto it = list->rbegin(); it != list->rend(); ++it) {
        auto* painter = static_cast<TGIFPainter*>(*it);
        painter->Stop();
        if (painter->Threaded()) ++threaded;
      }
      painters_.UnlockList();
    }
    if (threaded == 0) break;
    PumpPainterWork();
  }
  FreeCachedBitmap();
}

// ---------------------------------------------------------------------------
// Copying
// ---------------------------------------------------------------------------

int TGIFImage::Add(TPersistent* source) {
  TGIFSubImage* frame = dynamic_cast<TGIFSubImage*>(source);
  if (!frame) {
    if (!dynamic_cast<TGraphic*>(source)) GifCodec::Error(gsGIFUnsupportedObject);
    frame = new TGIFSubImage(this);
    try {
      frame->Assign(source);
    } catch (...) {
      delete frame;
      throw;
    }
  }
  const int index = images_->Add(frame);
  FreeCachedBitmap();
  Changed(this);
  return index;
}

void TGIFImage::Assign(TPersistent* source) {
  if (source == this) return;
  if (!source) {
    Clear();
    return;
  }
  if (auto* other = dynamic_cast<TGIFImage*>(source)) {
    Clear();
    OnProgress = other->OnProgress;
    OnWarning = other->OnWarning;
    struct Forget {
      TGIFImage* image;
      ~Forget() {
        image->OnProgress = nullptr;
        image->OnWarning = nullptr;
      }
    } forget{this};
    Progress(this, psStarting, 0, false, TRect(), GifCodec::Text(gsGIFCopying));
    try {
      header_->Assign(&other->Header());
      ThreadPriority = other->ThreadPriority;
      DrawBackgroundColor = other->DrawBackgroundColor;
      drawOptions_ = other->drawOptions_;
      ColorReduction = other->ColorReduction;
      DitherMode = other->DitherMode;
      ShowFrame = other->ShowFrame;
      OnStartPaint = other->OnStartPaint;
      OnPaint = other->OnPaint;
      OnAfterPaint = other->OnAfterPaint;
      OnLoop = other->OnLoop;
      OnEndPaint = other->OnEndPaint;
      const int count = other->Images().GetCount();
      for (int i = 0; i < count; ++i) {
        auto* frame = new TGIFSubImage(this);
        try {
          frame->Assign(other->Images().GetImage(i));
        } catch (...) {
          delete frame;
          throw;
        }
        Add(frame);
        Progress(this, psRunning, uint8_t(MulDiv(i + 1, 100, count)), false, TRect(), GifCodec::Text(gsGIFCopying));
      }
    } catch (...) {
      Progress(this, psEnding, 0, true, TRect(), GifCodec::Text(gsGIFCopying));
      throw;
    }
    Progress(this, psEnding, 100, true, TRect(), GifCodec::Text(gsGIFCopying));
    return;
  }
  Clear();
  auto* frame = new TGIFSubImage(this);
  try {
    frame->Assign(source);
  } catch (...) {
    delete frame;
    throw;
  }
  Add(frame);
}

void TGIFImage::AssignTo(TPersistent* dest) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    bitmap->Assign(GetBitmap());
    return;
  }
  TGraphic::AssignTo(dest);
}

// ---------------------------------------------------------------------------
// Clipboard
// ---------------------------------------------------------------------------

void TGIFImage::SaveToClipboardFormat(TClipboardFormat& format, std::vector<uint8_t>& data, TPalette& palette) {
  if (Empty()) return;
  if (TBitmap* bitmap = GetBitmap()) bitmap->SaveToClipboardFormat(format, data, palette);
  TMemoryStream stream;
  SaveToStream(stream);
  try {
    Clipboard()->SetBuffer(g_clipboardFormat, stream.Bytes());
  } catch (const std::exception&) {
    GifCodec::Error(gsGIFClipboardStore);
  }
}

void TGIFImage::LoadFromClipboardFormat(TClipboardFormat format, const std::vector<uint8_t>& data,
                                        const TPalette& palette) {
  if (format != 0 && format == g_clipboardFormat) {
    std::vector<uint8_t> bytes = data.empty() ? Clipboard()->GetBuffer(format) : data;
    if (bytes.empty()) throw EInvalidGraphic(_("Unsupported clipboard format"));
    TReadOnlyMemoryStream stream(bytes.data(), int64_t(bytes.size()));
    LoadFromStream(stream);
    return;
  }
  if (format == CF_BITMAP || format == CF_DIB) {
    TBitmap bitmap;
    if (data.empty()) {
      if (!Clipboard()->GetBitmap(bitmap)) throw EInvalidGraphic(_("Unsupported clipboard format"));
    } else {
      bitmap.LoadFromClipboardFormat(format, data, palette);
    }
    Assign(&bitmap);
    return;
  }
  throw EInvalidGraphic(_("Unsupported clipboard format"));
}

// ---------------------------------------------------------------------------
// Registration
// ---------------------------------------------------------------------------

namespace {
bool g_registered = false;
}  // namespace

void InitializeGIFImage() {
  if (g_registered) return;
  g_registered = true;
  TPicture::RegisterFileFormat("GIF", GraphicText(gsGIFImageDescription), TGIFImage::ClassRef());
  g_clipboardFormat = RegisterClipboardFormat(gsGIFImageDescription);
  TPicture::RegisterClipboardFormat(g_clipboardFormat, TGIFImage::ClassRef());
}

void FinalizeGIFImage() {
  if (!g_registered) return;
  g_registered = false;
  TPicture::UnregisterGraphicClass(TGIFImage::ClassRef());
}
