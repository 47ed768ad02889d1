// TBitmap: pixels in top-down rows padded to 4 bytes, pixel-format conversion,
// palettes, transparency and masks.
#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>
#include <utility>

#include "platform/graphics/CanvasQt.h"
#include "platform/graphics/GraphicsInternal.h"
#include "platform/graphics/Jpeg.h"
#include "platform/i18n/GnuGetText.h"

using namespace graphics_internal;

namespace graphics_internal {

int BitsOf(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

int64_t RowBytes(int64_t width, int bits) {
  if (width < 0 || width > MaxBitmapSide * int64_t(8)) return -1;
  return ((width * bits + 31) / 32) * 4;
}

void PaletteLut(const TPalette& palette, uint32_t* lut) {
  const auto& e = palette.Entries();
  for (int i = 0; i < 256; ++i) {
    if (i < int(e.size()))
      lut[i] = 0xFF000000u | (uint32_t(e[size_t(i)].peRed) << 16) | (uint32_t(e[size_t(i)].peGreen) << 8) |
               e[size_t(i)].peBlue;
    else
      lut[i] = 0xFF000000u;
  }
}

void RowToBGRA(const uint8_t* row, TPixelFormat format, int width, const uint32_t* lut, uint32_t* out) {
  switch (format) {
    case pf1bit:
      for (int x = 0; x < width; ++x) out[x] = lut[(row[x >> 3] >> (7 - (x & 7))) & 1];
      break;
    case pf4bit:
      for (int x = 0; x < width; ++x) out[x] = lut[(x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4)];
      break;
    case pf8bit:
      for (int x = 0; x < width; ++x) out[x] = lut[row[x]];
      break;
    case pf15bit:
      for (int x = 0; x < width; ++x) {
        uint32_t w = uint32_t(row[2 * x]) | (uint32_t(row[2 * x + 1]) << 8);
        uint32_t r = (w >> 10) & 31, g = (w >> 5) & 31, b = w & 31;
        r = (r << 3) | (r >> 2);
        g = (g << 3) | (g >> 2);
        b = (b << 3) | (b >> 2);
        out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
      }
      break;
    case pf16bit:
      for (int x = 0; x < width; ++x) {
        uint32_t w = uint32_t(row[2 * x]) | (uint32_t(row[2 * x + 1]) << 8);
        uint32_t r = (w >> 11) & 31, g = (w >> 5) & 63, b = w & 31;
        r = (r << 3) | (r >> 2);
        g = (g << 2) | (g >> 4);
        b = (b << 3) | (b >> 2);
        out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
      }
      break;
    case pf24bit:
      for (int x = 0; x < width; ++x)
        out[x] = 0xFF000000u | (uint32_t(row[3 * x + 2]) << 16) | (uint32_t(row[3 * x + 1]) << 8) | row[3 * x];
      break;
    default:
      for (int x = 0; x < width; ++x)
        out[x] = (uint32_t(row[4 * x + 3]) << 24) | (uint32_t(row[4 * x + 2]) << 16) |
                 (uint32_t(row[4 * x + 1]) << 8) | row[4 * x];
      break;
  }
}

void BGRAToRow(const uint32_t* in, TPixelFormat format, int width, uint8_t* row) {
  switch (format) {
    case pf15bit:
      for (int x = 0; x < width; ++x) {
        uint32_t c = in[x];
        uint32_t w = (((c >> 19) & 31) << 10) | (((c >> 11) & 31) << 5) | ((c >> 3) & 31);
        row[2 * x] = uint8_t(w);
        row[2 * x + 1] = uint8_t(w >> 8);
      }
      break;
    case pf16bit:
      for (int x = 0; x < width; ++x) {
        uint32_t c = in[x];
        uint32_t w = (((c >> 19) & 31) << 11) | (((c >> 10) & 63) << 5) | ((c >> 3) & 31);
        row[2 * x] = uint8_t(w);
        row[2 * x + 1] = uint8_t(w >> 8);
      }
      break;
    case pf24bit:
      for (int x = 0; x < width; ++x) {
        uint32_t c = in[x];
        row[3 * x] = uint8_t(c);
        row[3 * x + 1] = uint8_t(c >> 8);
        row[3 * x + 2] = uint8_t(c >> 16);
      }
      break;
    case pf32bit:
    case pfDevice:
      for (int x = 0; x < width; ++x) {
        uint32_t c = in[x];
        row[4 * x] = uint8_t(c);
        row[4 * x + 1] = uint8_t(c >> 8);
        row[4 * x + 2] = uint8_t(c >> 16);
        row[4 * x + 3] = uint8_t(c >> 24);
      }
      break;
    default: break;
  }
}

NearestColorCache::NearestColorCache(const TPalette& palette)
    : palette_(palette), keys_(65536, 0), values_(65536, 0) {}

int NearestColorCache::Find(uint32_t bgra) {
  uint32_t rgb = bgra & 0xFFFFFFu;
  uint32_t h = (rgb * 2654435761u) >> 16;
  if (keys_[h] == (rgb | 0x1000000u)) return values_[h];
  int index = NearestPaletteIndex(palette_, uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
  if (index < 0) index = 0;
  keys_[h] = rgb | 0x1000000u;
  values_[h] = uint8_t(index);
  return index;
}

}  // namespace graphics_internal

namespace {

bool IsIndexed(TPixelFormat f) { return f == pf1bit || f == pf4bit || f == pf8bit; }

// Gives an empty pixel buffer its size, zeroed when asked (large buffers come from the
// system zeroed anyway); when memory runs short it raises EOutOfResources.
template <class Buffer>
void AllocatePixels(Buffer& buffer, size_t bytes, bool zeroed) {
  try {
    if (zeroed && bytes < graphics_detail::LargeBufferBytes) {
      buffer.assign(bytes, 0);
    } else if (zeroed) {
      buffer.resize(bytes);
    } else {
      graphics_detail::TReusedBufferScope reuse;
      buffer.resize(bytes);
    }
  } catch (const std::bad_alloc&) {
    throw EOutOfResources(_("Out of system resources"));
  }
}

const TPalette& DefaultPaletteFor(TPixelFormat f) {
  static const TPalette none;
  switch (f) {
    case pf1bit: return MonochromePalette();
    case pf4bit: return SystemPalette16();
    case pf8bit: return HalftonePalette();
    default: return none;
  }
}

}  // namespace

// ---------------------------------------------------------------------------

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

void TBitmap::reallocate(int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (width == width_ && height == height_) return;
  if (width > MaxBitmapSide || height > MaxBitmapSide)
    throw EOutOfResources(_("Bitmap is too large"));
  int bits = BitsOf(pixelFormat_);
  int64_t stride = RowBytes(width, bits);
  if (stride < 0 || stride * height > MaxBitmapBytes) throw EOutOfResources(_("Bitmap is too large"));
  graphics_detail::TPixelBuffer fresh;
  AllocatePixels(fresh, (width > 0 && height > 0) ? size_t(stride * height) : 0, true);
  // Keep the overlapping pixels; bits of pixels outside the new width stay zero.
  int keepW = std::min(width, width_), keepH = std::min(height, height_);
  if (keepW > 0 && keepH > 0) {
    int64_t keepBits = int64_t(keepW) * bits;
    size_t fullBytes = size_t(keepBits / 8);
    int restBits = int(keepBits % 8);
    uint8_t restMask = uint8_t(0xFF00 >> restBits);
    for (int y = 0; y < keepH; ++y) {
      const uint8_t* src = pixelData() + size_t(y) * size_t(stride_);
      uint8_t* dst = fresh.data() + size_t(y) * size_t(stride);
      std::memcpy(dst, src, fullBytes);
      if (restBits) dst[fullBytes] = uint8_t(src[fullBytes] & restMask);
    }
  }
  setPixels(std::move(fresh));
  width_ = width;
  height_ = height;
  stride_ = int(stride);
}

uint8_t* TBitmap::ownPixels() {
  if (pixels_ && pixels_.use_count() > 1) {
    graphics_detail::TPixelBuffer copy;
    AllocatePixels(copy, pixels_->size(), false);
    std::memcpy(copy.data(), pixels_->data(), pixels_->size());
    setPixels(std::move(copy));
  }
  return pixels_ ? pixels_->data() : nullptr;
}

void TBitmap::setPixels(graphics_detail::TPixelBuffer&& fresh) {
  pixels_ = fresh.empty() ? nullptr : std::make_shared<graphics_detail::TPixelBuffer>(std::move(fresh));
}

void TBitmap::SetWidth(int value) { SetSize(value, height_); }
void TBitmap::SetHeight(int value) { SetSize(width_, value); }

void TBitmap::SetSize(int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (width == width_ && height == height_) return;
  reallocate(width, height);
  Changed(this);
}

void TBitmap::ReleaseHandle() {
  if (width_ == 0 && height_ == 0) return;
  pixels_.reset();
  width_ = height_ = 0;
  stride_ = 0;
  Changed(this);
}

void TBitmap::SetPalette(const TPalette& palette) {
  TPalette copy = palette;
  if (IsIndexed(pixelFormat_) && copy.Count() > (1 << BitsOf(pixelFormat_))) copy.Resize(1 << BitsOf(pixelFormat_));
  palette_ = std::move(copy);
  SetPaletteModified(true);
  Changed(this);
}

void TBitmap::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed(this);
}

int TBitmap::BitsPerPixel() const { return BitsOf(pixelFormat_); }

uint8_t* TBitmap::ScanLine(int row) {
  if (row < 0 || row >= height_ || width_ == 0) throw EInvalidGraphicOperation(_("Scan line index out of range"));
  return ownPixels() + size_t(row) * size_t(stride_);
}

const uint8_t* TBitmap::ScanLine(int row) const {
  if (row < 0 || row >= height_ || width_ == 0) throw EInvalidGraphicOperation(_("Scan line index out of range"));
  return pixelData() + size_t(row) * size_t(stride_);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == pfCustom) throw EInvalidGraphic(_("Invalid pixel format"));
  if (format == pixelFormat_) return;
  convertTo(format);
  Changed(this);
}

void TBitmap::convertTo(TPixelFormat format) {
  TPixelFormat old = pixelFormat_;
  int oldBits = BitsOf(old), newBits = BitsOf(format);
  bool empty = width_ == 0 || height_ == 0;

  // An indexed bitmap without a palette shows through the default palette of its format.
  if (IsIndexed(old) && palette_.IsEmpty()) palette_ = DefaultPaletteFor(old);

  if (empty || (oldBits == newBits && !IsIndexed(old) && old != pf15bit && old != pf16bit) ||
      (oldBits == newBits && IsIndexed(old))) {
    // No pixels, or the same layout (pfDevice and pf32bit).
    pixelFormat_ = format;
    stride_ = int(RowBytes(width_, newBits));
    if (IsIndexed(format)) {
      if (palette_.IsEmpty() || (empty && !IsIndexed(old))) palette_ = DefaultPaletteFor(format);
      if (palette_.Count() > (1 << newBits)) palette_.Resize(1 << newBits);
    }
    return;
  }

  const int w = width_, h = height_;
  const int64_t newStride = RowBytes(w, newBits);
  if (newStride * h > MaxBitmapBytes) throw EOutOfResources(_("Bitmap is too large"));
  graphics_detail::TPixelBuffer fresh;
  AllocatePixels(fresh, size_t(newStride * h), true);
  uint32_t lut[256];
  PaletteLut(palette_, lut);
  std::vector<uint32_t> line(static_cast<size_t>(w));

  if (IsIndexed(format)) {
    const int maxCount = 1 << newBits;
    TPalette target;
    bool keepIndices = false;
    if (IsIndexed(old) && (newBits > oldBits || palette_.Count() <= maxCount)) {
      target = palette_;
      keepIndices = true;
    } else if (!IsIndexed(old) && !palette_.IsEmpty() && palette_.Count() <= maxCount) {
      target = palette_;
    } else {
      target = DefaultPaletteFor(format);
    }
    NearestColorCache nearest(target);
    int blackIndex = std::max(0, NearestPaletteIndex(target, clBlack));
    for (int y = 0; y < h; ++y) {
      const uint8_t* src = pixelData() + size_t(y) * size_t(stride_);
      uint8_t* dst = fresh.data() + size_t(y) * size_t(newStride);
      if (keepIndices) {
        for (int x = 0; x < w; ++x) {
          int i = GetIndex(src, oldBits, x);
          SetIndex(dst, newBits, x, i < maxCount ? i : blackIndex);
        }
      } else {
        RowToBGRA(src, old, w, lut, line.data());
        for (int x = 0; x < w; ++x) SetIndex(dst, newBits, x, nearest.Find(line[size_t(x)]));
      }
    }
    palette_ = std::move(target);
  } else {
    for (int y = 0; y < h; ++y) {
      RowToBGRA(pixelData() + size_t(y) * size_t(stride_), old, w, lut, line.data());
      BGRAToRow(line.data(), format, w, fresh.data() + size_t(y) * size_t(newStride));
    }
  }
  setPixels(std::move(fresh));
  stride_ = int(newStride);
  pixelFormat_ = format;
}

bool TBitmap::Monochrome() const {
  if (pixelFormat_ != pf1bit) return false;
  const TPalette& p = palette_.IsEmpty() ? MonochromePalette() : palette_;
  return p.Count() == 2 && p.Color(0) == clBlack && p.Color(1) == clWhite;
}

void TBitmap::SetMonochrome(bool value) {
  if (value == Monochrome()) return;
  if (value) {
    SetPixelFormat(pf1bit);
    if (!Monochrome()) {
      // Re-map the two-colour pixels onto black and white by brightness.
      std::vector<uint8_t> bright(2);
      for (int i = 0; i < 2; ++i) {
        TColor c = palette_.Color(i);
        bright[size_t(i)] = (GetRValue(c) * 77 + GetGValue(c) * 150 + GetBValue(c) * 29) >= 32768 ? 1 : 0;
      }
      for (int y = 0; y < height_; ++y) {
        uint8_t* row = ScanLine(y);
        for (int x = 0; x < width_; ++x) SetIndex(row, 1, x, bright[size_t(GetIndex(row, 1, x))]);
      }
      palette_ = MonochromePalette();
      Changed(this);
    }
  } else {
    SetPixelFormat(pfDevice);
  }
}

void TBitmap::LoadMonochromeBits(int width, int height, const uint8_t* bits, int rowBytes) {
  if (width < 0 || height < 0 || (width > 0 && height > 0 && (!bits || rowBytes * 8 < width)))
    throw EInvalidGraphicOperation(_("Invalid image dimensions"));
  pixels_.reset();
  width_ = height_ = stride_ = 0;
  pixelFormat_ = pf1bit;
  palette_ = MonochromePalette();
  reallocate(width, height);
  size_t n = size_t((width + 7) / 8);
  uint8_t last = uint8_t(0xFF00 >> (width % 8 == 0 ? 8 : width % 8));
  for (int y = 0; y < height; ++y) {
    uint8_t* row = ownPixels() + size_t(y) * size_t(stride_);
    std::memcpy(row, bits + size_t(y) * size_t(rowBytes), n);
    row[n - 1] &= last;
  }
  Changed(this);
}

TColor TBitmap::PixelColor(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return clBlack;
  const uint8_t* row = pixelData() + size_t(y) * size_t(stride_);
  if (IsIndexed(pixelFormat_)) {
    const TPalette& p = palette_.IsEmpty() ? DefaultPaletteFor(pixelFormat_) : palette_;
    return p.Color(GetIndex(row, BitsOf(pixelFormat_), x));
  }
  uint32_t c;
  RowToBGRA(row + size_t(x) * size_t(BitsOf(pixelFormat_) / 8), pixelFormat_, 1, nullptr, &c);
  return RGB(uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c));
}

TColor TBitmap::TransparentColor() const {
  if (transparentMode_ == tmFixed && transparentColor_ != clDefault) return ColorToRGB(transparentColor_);
  if (Empty()) return clNone;
  return PixelColor(0, height_ - 1);
}

void TBitmap::SetTransparentColor(TColor color) {
  if (color == transparentColor_ && transparentMode_ == tmFixed) return;
  transparentColor_ = color;
  transparentMode_ = color == clDefault ? tmAuto : tmFixed;
  Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
  if (mode == transparentMode_) return;
  if (mode == tmAuto)
    transparentColor_ = clDefault;
  else
    transparentColor_ = TransparentColor();
  transparentMode_ = mode;
  Changed(this);
}

std::unique_ptr<TBitmap> TBitmap::CreateMask() const {
  auto mask = std::make_unique<TBitmap>();
  mask->SetPixelFormat(pf1bit);
  mask->SetSize(width_, height_);
  if (Empty()) return mask;
  TColor key = TransparentColor();
  uint32_t keyBGRA = (uint32_t(GetRValue(key)) << 16) | (uint32_t(GetGValue(key)) << 8) | GetBValue(key);
  uint32_t lut[256];
  PaletteLut(palette_.IsEmpty() ? DefaultPaletteFor(pixelFormat_) : palette_, lut);
  std::vector<uint32_t> line(static_cast<size_t>(width_));
  for (int y = 0; y < height_; ++y) {
    RowToBGRA(ScanLine(y), pixelFormat_, width_, lut, line.data());
    uint8_t* dst = mask->ScanLine(y);
    for (int x = 0; x < width_; ++x)
      if ((line[size_t(x)] & 0xFFFFFFu) == keyBGRA) dst[x >> 3] |= uint8_t(0x80 >> (x & 7));
  }
  return mask;
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) {
    canvas_.reset(new TCanvas(this));
    canvas_->OnChange = [this](TObject*) { Changed(this); };
  }
  return *canvas_;
}

void TBitmap::Assign(TPersistent* source) {
  if (source == this) return;
  if (!source) {
    ReleaseHandle();
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(source)) {
    width_ = b->width_;
    height_ = b->height_;
    stride_ = b->stride_;
    pixelFormat_ = b->pixelFormat_;
    pixels_ = b->pixels_;
    palette_ = b->palette_;
    transparent_ = b->transparent_;
    transparentColor_ = b->transparentColor_;
    transparentMode_ = b->transparentMode_;
    SetPaletteModified(true);
    Changed(this);
    return;
  }
  auto* graphic = dynamic_cast<TGraphic*>(source);
  if (graphic && !dynamic_cast<TJPEGImage*>(graphic) && !dynamic_cast<TIcon*>(graphic)) {
    // Other graphics are drawn into a 24-bit bitmap of their size.
    TBitmap drawn;
    drawn.SetPixelFormat(pf24bit);
    drawn.SetSize(graphic->Width(), graphic->Height());
    if (!drawn.Empty()) {
      drawn.Canvas().Brush().SetColor(clWhite);
      drawn.Canvas().FillRect(Rect(0, 0, drawn.Width(), drawn.Height()));
      drawn.Canvas().Draw(0, 0, *graphic);
    }
    Assign(&drawn);
    return;
  }
  TGraphic::Assign(source);
}

void TBitmap::allocateUninitialised(TPixelFormat format, int width, int height) {
  if (format == pfCustom) throw EInvalidGraphic(_("Invalid pixel format"));
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (width > MaxBitmapSide || height > MaxBitmapSide) throw EOutOfResources(_("Bitmap is too large"));
  int64_t stride = RowBytes(width, BitsOf(format));
  if (stride < 0 || stride * height > MaxBitmapBytes) throw EOutOfResources(_("Bitmap is too large"));
  graphics_detail::TPixelBuffer fresh;
  AllocatePixels(fresh, (width > 0 && height > 0) ? size_t(stride * height) : 0, false);
  // The bytes after each row's pixels are zero, whatever the buffer held before.
  const size_t used = (size_t(width) * size_t(BitsOf(format)) + 7) / 8;
  if (height > 0 && size_t(stride) > used)
    for (int y = 0; y < height; ++y) std::memset(fresh.data() + size_t(y) * size_t(stride) + used, 0, size_t(stride) - used);
  setPixels(std::move(fresh));
  pixelFormat_ = format;
  width_ = width;
  height_ = height;
  stride_ = int(stride);
  if (format == pf1bit || format == pf4bit || format == pf8bit) palette_ = DefaultPaletteFor(format);
}

void TBitmap::takeFrom(TBitmap& other) {
  width_ = other.width_;
  height_ = other.height_;
  stride_ = other.stride_;
  pixelFormat_ = other.pixelFormat_;
  pixels_.swap(other.pixels_);
  palette_ = std::move(other.palette_);
  SetPaletteModified(true);
  Changed(this);
}

void TBitmap::LoadFromStream(TStream& stream) {
  TBitmap loaded;
  ReadBmp(stream, loaded, true);
  takeFrom(loaded);
}

void TBitmap::SaveToStream(TStream& stream) { WriteBmp(stream, *this, true); }

void TBitmap::LoadFromClipboardFormat(TClipboardFormat format, const std::vector<uint8_t>& data, const TPalette&) {
  if (format != CF_DIB && format != CF_BITMAP) throw EInvalidGraphic(_("Clipboard format not supported"));
  TReadOnlyMemoryStream stream(data.data(), int64_t(data.size()));
  TBitmap loaded;
  ReadBmp(stream, loaded, false);
  takeFrom(loaded);
}

void TBitmap::SaveToClipboardFormat(TClipboardFormat& format, std::vector<uint8_t>& data, TPalette& palette) {
  TMemoryStream stream;
  WriteBmp(stream, *this, false);
  format = CF_DIB;
  data = stream.Bytes();
  palette = palette_;
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty()) return;
  if (transparent_) {
    std::unique_ptr<TBitmap> mask = CreateMask();
    canvas.DrawMasked(rect, *this, Rect(0, 0, width_, height_), *mask);
  } else {
    CanvasDrawBitmap(canvas, rect, *this, Rect(0, 0, width_, height_), canvas.CopyMode(), nullptr, HasAlphaChannel());
  }
}

// ---------------------------------------------------------------------------
// Large buffers
// ---------------------------------------------------------------------------

namespace graphics_detail {

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
size_t PageRound(size_t bytes) { return (bytes + 4095) & ~size_t(4095); }

thread_local bool tReuseAllowed = false;

// The last large buffers freed, kept for a buffer of the same size. The system may take
// their memory back whenever it needs it (their pages are then zero again).
struct TKeptBuffers {
  static constexpr size_t kCount = 2;
  static constexpr size_t kLargest = size_t(256) << 20;
  std::mutex lock;
  std::pair<void*, size_t> kept[kCount] = {};  // the newest last

  void* take(size_t size) {
    std::lock_guard<std::mutex> hold(lock);
    for (auto& [p, n] : kept)
      if (p && n == size) return std::exchange(p, nullptr);
    return nullptr;
  }
  // Keeps the buffer; the one it pushes out is given back to the system.
  void keep(void* p, size_t size) {
    madvise(p, size, MADV_FREE);
    std::pair<void*, size_t> out{p, size};
    {
      std::lock_guard<std::mutex> hold(lock);
      std::swap(out, kept[0]);
      std::rotate(std::begin(kept), std::begin(kept) + 1, std::end(kept));
    }
    if (out.first) munmap(out.first, out.second);
  }
};

TKeptBuffers& Kept() {
  static TKeptBuffers* kept = new TKeptBuffers;  // lives to the end: bitmaps may be freed late
  return *kept;
}

}  // namespace

TReusedBufferScope::TReusedBufferScope() : was_(std::exchange(tReuseAllowed, true)) {}
TReusedBufferScope::~TReusedBufferScope() { tReuseAllowed = was_; }

void* AllocateLargeBuffer(size_t bytes) {
  size_t size = PageRound(bytes);
  if (tReuseAllowed)
    if (void* reused = Kept().take(size)) return reused;
  void* base = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) throw std::bad_alloc();
  // Keep only the 2 MiB aligned part.
  uintptr_t start = reinterpret_cast<uintptr_t>(base);
  uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t(kHugePage) - 1);
  if (aligned > start) munmap(base, aligned - start);
  size_t tail = (start + size + kHugePage) - (aligned + size);
  if (tail) munmap(reinterpret_cast<void*>(aligned + size), tail);
  madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

void FreeLargeBuffer(void* p, size_t bytes) noexcept {
  const size_t size = PageRound(bytes);
  if (size <= TKeptBuffers::kLargest)
    Kept().keep(p, size);
  else
    munmap(p, size);
}

}  // namespace graphics_detail
