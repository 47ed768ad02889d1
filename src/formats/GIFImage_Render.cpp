// Rendering a frame into its cached 8-bit bitmap with the transparency mask, and
// drawing it into a canvas, stretched or tiled, opaque or through the mask.
#include <algorithm>
#include <cstring>

#include "formats/GIFImage.h"
#include "platform/rtl/Math.h"

void TGIFSubImage::Progress(TProgressStage stage, int percent, const char* message) {
  if (image_)
    image_->Progress(this, stage, uint8_t(std::clamp(percent, 0, 100)), image_->PaletteModified(), TRect(),
                     GifCodec::Text(message));
}

void TGIFSubImage::NewBitmap() { bitmap_ = std::make_unique<TBitmap>(); }

void TGIFSubImage::FreeBitmap() { bitmap_.reset(); }

void TGIFSubImage::FreeMask() {
  mask_.reset();
  needMask_ = true;
}

bool TGIFSubImage::HasMask() {
  if (needMask_ && transparent_) {
    FreeBitmap();
    GetBitmap();
  }
  return mask_ != nullptr;
}

void TGIFSubImage::SetBitmap(TBitmap* bitmap) {
  FreeBitmap();
  if (bitmap && !bitmap->Empty()) Assign(bitmap);
}

TBitmap* TGIFSubImage::GetBitmap() {
  if (bitmap_) return bitmap_.get();
  if (Empty()) return nullptr;
  Progress(psStarting, 0, gsGIFRendering);
  auto finish = [&](int percent) {
    Progress(psEnding, percent, gsGIFRendering);
    if (image_ && image_->PaletteModified()) {
      image_->SetPaletteModified(false);
      image_->Changed(this);
    }
  };
  try {
    bitmap_ = image_ && image_->GetDoDither() ? DoGetDitherBitmap() : DoGetBitmap();
  } catch (...) {
    finish(0);
    throw;
  }
  finish(100);
  return bitmap_.get();
}

namespace {

// The mask of one frame row by row: a set bit (most significant first) marks a
// transparent pixel; rows are padded to 2 bytes.
class MaskRows {
 public:
  MaskRows(int width, int height) : rowBytes_((width + 15) / 16 * 2), bits_(size_t(rowBytes_) * size_t(height), 0) {}
  void Set(int x, int y) {
    bits_[size_t(y) * size_t(rowBytes_) + size_t(x >> 3)] |= uint8_t(0x80 >> (x & 7));
    any_ = true;
  }
  bool Any() const { return any_; }
  std::unique_ptr<TBitmap> MakeBitmap(int width, int height) const {
    auto mask = std::make_unique<TBitmap>();
    mask->LoadMonochromeBits(width, height, bits_.data(), rowBytes_);
    return mask;
  }

 private:
  int rowBytes_;
  std::vector<uint8_t> bits_;
  bool any_ = false;
};

}  // namespace

std::unique_ptr<TBitmap> TGIFSubImage::DoGetBitmap() {
  auto bitmap = std::make_unique<TBitmap>();
  const int w = width_, h = height_;
  if (int64_t(w) * h > 500000) bitmap->SetPixelFormat(pf1bit);
  const TPalette palette = GetPalette();
  if (Empty()) {
    bitmap->SetPixelFormat(pf8bit);
    bitmap->SetPalette(palette);
    bitmap->SetSize(w, h);
    return bitmap;
  }
  {
    TDIBWriter writer(*bitmap, pf8bit, w, h, palette);
    const bool wantMask = needMask_ && transparent_ && !mask_;
    needMask_ = false;
    const uint8_t t = gce_ ? gce_->TransparentColorIndex() : 0;
    std::unique_ptr<MaskRows> mask;
    if (wantMask) mask = std::make_unique<MaskRows>(w, h);
    for (int y = 0; y < h; ++y) {
      if (y % 32 == 0) Progress(psRunning, MulDiv(y, 100, h), gsGIFRendering);
      const uint8_t* src = data_.data() + size_t(y) * w;
      std::memcpy(writer.ScanLine(y), src, size_t(w));
      if (mask) {
        const uint8_t* hit = static_cast<const uint8_t*>(std::memchr(src, t, size_t(w)));
        while (hit) {
          const int x = int(hit - src);
          mask->Set(x, y);
          hit = static_cast<const uint8_t*>(std::memchr(hit + 1, t, size_t(w - x - 1)));
        }
      }
    }
    if (mask && mask->Any()) mask_ = mask->MakeBitmap(w, h);
  }
  return bitmap;
}

std::unique_ptr<TBitmap> TGIFSubImage::DoGetDitherBitmap() {
  auto bitmap = std::make_unique<TBitmap>();
  const int w = width_, h = height_;
  if (int64_t(w) * h > 500000) bitmap->SetPixelFormat(pf1bit);
  const TPalette palette = GetPalette();
  {
    TNetscapeColorLookup lookup;
    TFloydSteinbergDitherer ditherer(w, lookup);
    TDIBWriter writer(*bitmap, pf8bit, w, h, palette);
    TGIFColorMap& colors = ActiveColorMap();
    const bool wantMask = needMask_ && transparent_ && !mask_;
    needMask_ = false;
    const int t = gce_ ? gce_->TransparentColorIndex() : 0;
    uint8_t fill = 0;
    std::unique_ptr<MaskRows> mask;
    if (wantMask) {
      mask = std::make_unique<MaskRows>(w, h);
      const TGIFColor c = colors.Triple(t);
      fill = uint8_t(std::clamp(MulDiv(6, c.Green, 51) + c.Blue / 51 + MulDiv(36, c.Red, 51) + 1, 0, 255));
    }
    int r, g, b;
    for (int y = 0; y < h; ++y) {
      if (y % 32 == 0) Progress(psRunning, MulDiv(y, 100, h), gsGIFRendering);
      const uint8_t* src = data_.data() + size_t(y) * w;
      uint8_t* dst = writer.ScanLine(y);
      if (mask) std::memset(dst, fill, size_t(w));
      while (ditherer.Column >= 0 && ditherer.Column < w) {
        const int x = ditherer.Column;
        const int i = src[x];
        if (!mask || i != t) {
          const TGIFColor c = colors.Triple(i);
          dst[x] = uint8_t(ditherer.Dither(c.Red, c.Green, c.Blue, r, g, b));
        } else {
          // Transparent pixels neither receive nor spread error.
          mask->Set(x, y);
          ditherer.NextColumn();
        }
      }
      ditherer.NextLine();
    }
    if (mask && mask->Any()) mask_ = mask->MakeBitmap(w, h);
  }
  return bitmap;
}

void TGIFSubImage::AssignTo(TPersistent* dest) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    bitmap->Assign(GetBitmap());
    return;
  }
  throw EConvertError("Cannot assign a TGIFSubImage to this object");
}

// ---------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------

void TGIFSubImage::DrawBitmap(TCanvas& canvas, const TRect& dest, TBitmap& bitmap, bool masked) {
  if (masked && mask_)
    canvas.DrawMasked(dest, bitmap, ::Rect(0, 0, width_, height_), *mask_);
  else
    canvas.StretchDraw(dest, bitmap);
}

void TGIFSubImage::Draw(TCanvas& canvas, const TRect& rect, bool transparent, bool tile) {
  const bool masked = transparent && transparent_ && HasMask();
  TBitmap* bitmap = GetBitmap();
  if (!bitmap) return;
  if (tile) {
    // Copies of the picture from the rectangle's top-left corner; a picture without a
    // size of its own steps by the frame's.
    int stepX = image_ ? image_->Width() : 0, stepY = image_ ? image_->Height() : 0;
    if (stepX <= 0) stepX = width_;
    if (stepY <= 0) stepY = height_;
    if (stepX <= 0 || stepY <= 0) return;
    for (int x = rect.Left + left_; x < rect.Right; x += stepX)
      for (int y = rect.Top + top_; y < rect.Bottom; y += stepY)
        DrawBitmap(canvas, Bounds(x, y, width_, height_), *bitmap, masked);
  } else {
    DrawBitmap(canvas, rect, *bitmap, masked);
  }
  if (masked) canvas.Changed();
}

void TGIFSubImage::StretchDraw(TCanvas& canvas, const TRect& rect, bool transparent, bool tile) {
  if (tile)
    Draw(canvas, rect, transparent, tile);
  else
    Draw(canvas, ScaleRect(rect), transparent, tile);
}

TRect TGIFSubImage::ScaleRect(const TRect& rect) const {
  int w = image_ ? image_->Width() : 0, h = image_ ? image_->Height() : 0;
  // A logical screen without a size maps the frame at its own size.
  if (w <= 0) w = rect.Width();
  if (h <= 0) h = rect.Height();
  if (w <= 0 || h <= 0) return rect;
  return TRect(MulDiv(left_, rect.Width(), w) + rect.Left, MulDiv(top_, rect.Height(), h) + rect.Top,
               MulDiv(left_ + width_, rect.Width(), w) + rect.Left, MulDiv(top_ + height_, rect.Height(), h) + rect.Top);
}
