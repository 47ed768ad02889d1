// Making frames from other pictures: copying a frame, converting bitmaps, icons and
// other graphics into colour indices with a colour table of at most 256 entries (with
// their transparency), and marking the pixels that did not change since the previous
// frame as transparent.
#include <algorithm>
#include <array>
#include <cstring>

#include "formats/GIFImage.h"
#include "platform/rtl/Math.h"

namespace {

// The most recent colours of a 24-bit import with their table indices.
class ColorRing {
 public:
  ColorRing() { entries_.fill({0, -1}); }
  // The index of color, adding it to the table when it is new.
  int Index(uint32_t color, TGIFColorMap& table) {
    for (int n = 0, i = last_; n < 8; ++n, i = (i + 7) % 8) {
      if (entries_[size_t(i)].second < 0) break;
      if (entries_[size_t(i)].first == color) {
        const auto hit = entries_[size_t(i)];
        // The hit becomes the most recent pair.
        entries_[size_t(i)] = entries_[size_t(last_)];
        entries_[size_t(last_)] = hit;
        return hit.second;
      }
    }
    const int index = table.AddUnique(TColor(color));
    last_ = (last_ + 1) % 8;
    entries_[size_t(last_)] = {color, index};
    return index;
  }

 private:
  std::array<std::pair<uint32_t, int>, 8> entries_;
  int last_ = 0;
};

}  // namespace

void TGIFSubImage::Assign(TPersistent* source) {
  if (source == this) return;
  if (!source) {
    Clear();
    return;
  }
  if (auto* frame = dynamic_cast<TGIFSubImage*>(source)) {
    Clear();
    if (frame->Empty()) return;
    left_ = frame->left_;
    top_ = frame->top_;
    width_ = frame->width_;
    height_ = frame->height_;
    packed_ = frame->packed_;
    transparent_ = frame->transparent_;
    NewImage();
    std::copy(frame->data_.begin(), frame->data_.begin() + std::min(frame->data_.size(), data_.size()),
              data_.begin());
    colorMap_->Assign(&frame->ColorMap());
    if (frame->Extensions().GetCount() > 0) {
      // Written and read again, so that the copies belong to this frame.
      TMemoryStream stream;
      frame->Extensions().SaveToStream(stream);
      stream.SetPosition(0);
      extensions_->LoadFromStream(stream);
      transparent_ = gce_ ? gce_->Transparent() : frame->transparent_;
    }
    if (frame->HasBitmap()) {
      NewBitmap();
      bitmap_->Assign(frame->GetBitmap());
    }
    return;
  }
  if (auto* picture = dynamic_cast<TPicture*>(source)) {
    Assign(picture->Graphic());
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    std::unique_ptr<TBitmap> mask;
    if (bitmap->Transparent() && !bitmap->Empty()) mask = bitmap->CreateMask();
    AssignFromBitmap(*bitmap, mask != nullptr, mask.get());
    return;
  }
  if (dynamic_cast<TIcon*>(source) || dynamic_cast<TMetafile*>(source)) {
    auto* graphic = static_cast<TGraphic*>(source);
    Clear();
    if (graphic->Empty()) return;
    TBitmap drawn;
    drawn.SetPixelFormat(pf24bit);
    drawn.SetSize(graphic->Width(), graphic->Height());
    drawn.Canvas().Draw(0, 0, *graphic);
    AssignFromBitmap(drawn, false, nullptr);
    if (auto* icon = dynamic_cast<TIcon*>(graphic)) {
      if (std::unique_ptr<TBitmap> mask = icon->CreateMask()) ImportMaskBitmap(*mask);
    } else {
      ImportMetafileMask(*graphic);
    }
    return;
  }
  if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    Clear();
    if (graphic->Empty()) return;
    TBitmap drawn;
    try {
      drawn.Assign(graphic);
    } catch (const std::exception&) {
      // The other way: draw the graphic.
      drawn.SetPixelFormat(pf24bit);
      drawn.SetSize(graphic->Width(), graphic->Height());
      drawn.Canvas().Draw(0, 0, *graphic);
    }
    AssignFromBitmap(drawn, false, nullptr);
    return;
  }
  TGIFItem::Assign(source);
}

void TGIFSubImage::AssignFromBitmap(TBitmap& source, bool sourceTransparent, const TBitmap* sourceMask) {
  Clear();
  if (source.Empty()) return;
  SetWidth(source.Width());
  SetHeight(source.Height());
  const TPixelFormat format = source.PixelFormat();
  if (format == pf1bit || format == pf4bit || format == pf8bit) {
    NewBitmap();
    bitmap_->Assign(&source);
  } else {
    TColorReduction method = image_ ? image_->ColorReduction : rmWebPalette;
    TDitherMode dither = image_ ? image_->DitherMode : dmNearest;
    const int bits = image_ ? image_->ReductionBits : 8;
    bitmap_ = GifCodec::ReduceFrameColors(source, method, dither, bits, nullptr);
  }
  NewImage();
  Progress(psStarting, 0, gsGIFConverting);
  try {
    TPixelFormat pf = bitmap_->PixelFormat();
    if (pf != pf1bit && pf != pf4bit && pf != pf8bit) pf = pf24bit;
    const int w = std::min(width_, uint16_t(bitmap_->Width())), h = std::min(height_, uint16_t(bitmap_->Height()));
    {
      TDIBReader reader(*bitmap_, pf);
      if (pf == pf8bit)
        colorMap_->ImportDIB(*bitmap_);
      else if (pf != pf24bit)
        colorMap_->ImportPalette(bitmap_->Palette());
      ColorRing ring;
      for (int y = 0; y < h; ++y) {
        if (y % 32 == 0) Progress(psRunning, MulDiv(y, 100, height_), gsGIFConverting);
        const uint8_t* src = reader.ScanLine(y);
        uint8_t* dst = data_.data() + size_t(y) * width_;
        switch (pf) {
          case pf8bit: std::memcpy(dst, src, size_t(w)); break;
          case pf4bit:
            for (int x = 0; x < w; ++x) dst[x] = (x & 1) ? (src[x / 2] & 0x0F) : (src[x / 2] >> 4);
            break;
          case pf1bit:
            for (int x = 0; x < w; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
            break;
          default:
            for (int x = 0; x < w; ++x) {
              const uint8_t* p = src + size_t(x) * 3;
              dst[x] = uint8_t(ring.Index(uint32_t(RGB(p[2], p[1], p[0])), *colorMap_));
            }
        }
      }
    }
    if (sourceTransparent && sourceMask) {
      TBitmap mask;
      mask.Assign(const_cast<TBitmap*>(sourceMask));
      ImportMaskBitmap(mask);
    }
  } catch (...) {
    Progress(psEnding, 0, gsGIFConverting);
    throw;
  }
  Progress(psEnding, 100, gsGIFConverting);
}

void TGIFSubImage::ImportMaskBitmap(TBitmap& mask) {
  colorMap_->Optimize();
  if (colorMap_->Count() == 0 || colorMap_->Count() >= 256) return;
  const int t = colorMap_->Add(clBlack);
  TDIBReader reader(mask, pf8bit);
  bool changed = false;
  const int w = std::min<int>(width_, mask.Width()), h = std::min<int>(height_, mask.Height());
  for (int y = 0; y < h && !data_.empty(); ++y) {
    const uint8_t* m = reader.ScanLine(y);
    uint8_t* dst = data_.data() + size_t(y) * width_;
    for (int x = 0; x < w; ++x)
      if (m[x] != 0) {
        dst[x] = uint8_t(t);
        changed = true;
      }
  }
  if (!changed) {
    colorMap_->Delete(t);
    return;
  }
  auto* gce = new TGIFGraphicControlExtension(this);
  extensions_->Add(gce);
  gce->SetTransparentColorIndex(uint8_t(t));
  gce->SetTransparent(true);
  FreeBitmap();
  FreeMask();
}

void TGIFSubImage::ImportMetafileMask(TGraphic& graphic) {
  auto drawOn = [&](TColor background) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(graphic.Width(), graphic.Height());
    bitmap->Canvas().Brush().SetColor(background);
    bitmap->Canvas().FillRect(::Rect(0, 0, graphic.Width(), graphic.Height()));
    bitmap->Canvas().Draw(0, 0, graphic);
    return bitmap;
  };
  std::unique_ptr<TBitmap> white = drawOn(clWhite), black = drawOn(clBlack);
  white->Canvas().SetCopyMode(cmSrcInvert);
  white->Canvas().Draw(0, 0, *black);
  ImportMaskBitmap(*white);
}

void TGIFSubImage::MarkUnchangedTransparent(TGIFSubImage* previous) {
  if (!previous || Empty() || previous->Empty()) return;
  if (TGIFGraphicControlExtension* gce = previous->GraphicControlExtension())
    if (gce->Disposal() == dmBackground || gce->Disposal() == dmPrevious) return;
  const TRect a = BoundsRect(), b = previous->BoundsRect();
  const TRect r(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                std::min(a.Bottom, b.Bottom));
  if (r.IsEmpty()) return;
  int t = -1;
  bool canAdd = false;
  if (transparent_ && gce_) {
    t = gce_->TransparentColorIndex();
  } else if (colorMap_->Count() > 0) {
    canAdd = colorMap_->Count() < 256;
  } else if (image_) {
    const int n = image_->Header().ColorMap().Count();
    canAdd = n > 0 && n < 256;
  }
  if (t < 0 && !canAdd) return;
  TGIFColorMap& mine = ActiveColorMap();
  TGIFColorMap& theirs = previous->ActiveColorMap();
  const bool sameTable = &mine == &theirs;
  const int previousT =
      previous->Transparent() && previous->GraphicControlExtension() ? previous->GraphicControlExtension()->TransparentColorIndex() : -1;
  bool introduced = false;
  for (int y = r.Top; y < r.Bottom; ++y) {
    uint8_t* row = data_.data() + size_t(y - top_) * width_;
    const uint8_t* prevRow = previous->data_.data() + size_t(y - previous->top_) * previous->width_;
    for (int x = r.Left; x < r.Right; ++x) {
      uint8_t& pixel = row[x - left_];
      const uint8_t before = prevRow[x - previous->left_];
      if (t >= 0 && pixel == t) continue;
      if (previousT >= 0 && before == previousT) continue;
      const bool same = sameTable ? pixel == before : mine.Triple(pixel) == theirs.Triple(before);
      if (!same) continue;
      if (t < 0) {
        // The first transparent pixel of a frame that had none: a colour for it.
        if (colorMap_->Count() > 0) {
          t = colorMap_->Add(clBlack);
        } else {
          for (int i = 0; image_ && i < image_->Images().GetCount() && t < 0; ++i) {
            TGIFSubImage* other = image_->Images()[i];
            if (other != this && other->Transparent() && other->ColorMap().Count() == 0 && other->gce_)
              t = other->gce_->TransparentColorIndex();
          }
          if (t < 0) t = image_->Header().ColorMap().Add(clBlack);
        }
        introduced = true;
      }
      pixel = uint8_t(t);
    }
  }
  if (introduced) {
    TGIFGraphicControlExtension* gce = gce_;
    if (!gce) {
      gce = new TGIFGraphicControlExtension(this);
      extensions_->Add(gce);
    }
    gce->SetTransparentColorIndex(uint8_t(t));
    gce->SetTransparent(true);
  }
  FreeBitmap();
  FreeMask();
}
