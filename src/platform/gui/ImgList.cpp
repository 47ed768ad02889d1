// Image lists: pictures of one size kept as 32-bit bitmaps with alpha.
#include "platform/gui/ImgList.h"

#include <QImage>
#include <QPainter>

#include "platform/graphics/CanvasQt.h"
#include "platform/gui/GuiInternal.h"

namespace {

// The image as ARGB with every pixel of the key colour (or, with a mask, every white
// mask pixel) transparent.
QImage WithTransparency(const TBitmap& image, const TBitmap* mask, bool useKey, TColor key) {
  QImage argb = BitmapToQImage(image, image.PixelFormat() == pf32bit && !useKey && !mask).convertToFormat(QImage::Format_ARGB32);
  if (mask && !mask->Empty()) {
    QImage m = BitmapToQImage(*mask).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < argb.height() && y < m.height(); ++y) {
      auto* px = reinterpret_cast<QRgb*>(argb.scanLine(y));
      const auto* mk = reinterpret_cast<const QRgb*>(m.constScanLine(y));
      for (int x = 0; x < argb.width() && x < m.width(); ++x)
        if (qGray(mk[x]) > 127) px[x] = 0;
    }
  } else if (useKey) {
    const QRgb k = ToQColor(key).rgb() & 0xFFFFFF;
    for (int y = 0; y < argb.height(); ++y) {
      auto* px = reinterpret_cast<QRgb*>(argb.scanLine(y));
      for (int x = 0; x < argb.width(); ++x)
        if ((px[x] & 0xFFFFFF) == k) px[x] = 0;
    }
  }
  return argb;
}

}  // namespace

TImageList::TImageList(TComponent* AOwner) : TComponent(AOwner) {}
TImageList::~TImageList() = default;

void TImageList::changed() {
  if (OnChange) OnChange(this);
}

void TImageList::SetWidth(int w) {
  if (w <= 0 || w == width_) return;
  width_ = w;
  Clear();
}
void TImageList::SetHeight(int h) {
  if (h <= 0 || h == height_) return;
  height_ = h;
  Clear();
}

static int AddImages(std::vector<std::unique_ptr<TBitmap>>& images, const QImage& argb, int width, int height) {
  const int first = int(images.size());
  if (argb.isNull()) return -1;
  const int count = std::max(1, argb.width() / width);
  for (int i = 0; i < count; ++i) {
    QImage part = argb.copy(i * width, 0, std::min(width, argb.width() - i * width), argb.height());
    if (part.width() != width || part.height() != height)
      part = part.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    auto b = std::make_unique<TBitmap>();
    QImageToBitmap(part.convertToFormat(QImage::Format_ARGB32), *b);
    images.push_back(std::move(b));
  }
  return first;
}

int TImageList::Add(const TBitmap* image, const TBitmap* mask) {
  if (!image || image->Empty()) return -1;
  int index = AddImages(images_, WithTransparency(*image, mask, false, clNone), width_, height_);
  changed();
  return index;
}

int TImageList::AddMasked(const TBitmap* image, TColor maskColor) {
  if (!image || image->Empty()) return -1;
  if (maskColor == clDefault) maskColor = image->PixelColor(0, image->Height() - 1);
  int index = AddImages(images_, WithTransparency(*image, nullptr, true, maskColor), width_, height_);
  changed();
  return index;
}

void TImageList::Replace(int index, const TBitmap* image, const TBitmap* mask) {
  if (index < 0 || index >= Count() || !image || image->Empty()) return;
  std::vector<std::unique_ptr<TBitmap>> one;
  AddImages(one, WithTransparency(*image, mask, false, clNone), width_, height_);
  if (!one.empty()) images_[size_t(index)] = std::move(one.front());
  changed();
}

void TImageList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  images_.erase(images_.begin() + index);
  changed();
}

void TImageList::Clear() {
  images_.clear();
  changed();
}

const TBitmap* TImageList::ImageWithAlpha(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return images_[size_t(index)].get();
}

void TImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) const {
  const TBitmap* b = ImageWithAlpha(index);
  if (!canvas || !b) return;
  QImage image = BitmapToQImage(*b, true);
  if (!enabled) {
    // Disabled images are drawn as light greys.
    for (int yy = 0; yy < image.height(); ++yy) {
      auto* px = reinterpret_cast<QRgb*>(image.scanLine(yy));
      for (int xx = 0; xx < image.width(); ++xx) {
        int g = std::min(230, qGray(px[xx]) / 2 + 110);
        px[xx] = qRgba(g, g, g, qAlpha(px[xx]));
      }
    }
  }
  if (QPainter* p = canvas->Impl().painter) {
    p->drawImage(x, y, image);
    return;
  }
  if (TBitmap* target = canvas->Impl().bitmap) {
    QImage dest = BitmapToQImage(*target);
    {
      QPainter p(&dest);
      p.drawImage(x, y, image);
    }
    TPixelFormat format = target->PixelFormat();
    QImageToBitmap(dest, *target);
    if (format != target->PixelFormat() && format != pfDevice && format != pfCustom) target->SetPixelFormat(format);
    target->Canvas().Changed();
  }
}

void TImageList::GetBitmap(int index, TBitmap* bitmap) const {
  const TBitmap* b = ImageWithAlpha(index);
  if (!b || !bitmap) return;
  QImage image(width_, height_, QImage::Format_RGB32);
  image.fill(ToQColor(bkColor_ == clNone ? clBtnFace : bkColor_));
  {
    QPainter p(&image);
    p.drawImage(0, 0, BitmapToQImage(*b, true));
  }
  QImageToBitmap(image, *bitmap);
}
