// TIcon: .ico files read through Qt's ICO reader into a 32-bit bitmap with alpha.
#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cstring>

#include "platform/QtApplication.h"
#include "platform/graphics/CanvasQt.h"
#include "platform/graphics/GraphicsInternal.h"
#include "platform/i18n/GnuGetText.h"

using namespace graphics_internal;

namespace {

// The largest .ico file we take in (an icon directory holds at most a few 256x256 images).
constexpr int64_t MaxIconFileBytes = int64_t(64) << 20;

}  // namespace

TIcon::TIcon() = default;
TIcon::~TIcon() = default;

void TIcon::Assign(TPersistent* source) {
  if (auto* icon = dynamic_cast<TIcon*>(source)) {
    if (icon == this) return;
    image_.Assign(&icon->image_);
    data_ = icon->data_;
    Changed(this);
    return;
  }
  TGraphic::Assign(source);
}

void TIcon::AssignTo(TPersistent* dest) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    bitmap->Assign(&image_);
    return;
  }
  TGraphic::AssignTo(dest);
}

void TIcon::Draw(TCanvas& canvas, const TRect& rect) { DrawBlended(canvas, rect, image_); }

void DrawBlended(TCanvas& canvas, const TRect& rect, const TBitmap& image) {
  if (image.Empty()) return;
  CanvasDrawBitmap(canvas, rect, image, Rect(0, 0, image.Width(), image.Height()), cmSrcCopy, nullptr,
                   image.PixelFormat() == pf32bit);
}

void DrawOverColor(TGraphic& graphic, TColor background, TBitmap& out) {
  out.ReleaseHandle();
  out.SetPixelFormat(pf24bit);
  out.SetSize(graphic.Width(), graphic.Height());
  if (out.Empty()) return;
  out.Canvas().Brush().SetStyle(bsSolid);
  out.Canvas().Brush().SetColor(background);
  out.Canvas().FillRect(Rect(0, 0, out.Width(), out.Height()));
  out.Canvas().Draw(0, 0, graphic);
}

bool TIcon::Empty() const { return image_.Empty(); }
int TIcon::Width() const { return image_.Width(); }
int TIcon::Height() const { return image_.Height(); }

void TIcon::SetWidth(int) { throw EInvalidGraphicOperation(_("Cannot change the size of an icon")); }
void TIcon::SetHeight(int) { throw EInvalidGraphicOperation(_("Cannot change the size of an icon")); }

void TIcon::LoadFromStream(TStream& stream) {
  int64_t size = stream.Size() - stream.Position();
  if (size < 6 || size > MaxIconFileBytes) throw EInvalidGraphic(_("Icon image is not valid"));
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  stream.ReadBuffer(bytes.data(), size);
  // An icon directory: reserved 0, type 1, at least one image.
  if (bytes[0] != 0 || bytes[1] != 0 || bytes[2] != 1 || bytes[3] != 0 || (bytes[4] == 0 && bytes[5] == 0))
    throw EInvalidGraphic(_("Icon image is not valid"));
  EnsureQtApplication();
  QByteArray array(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
  QBuffer buffer(&array);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "ico");
  reader.setAllocationLimit(256);
  QImage image = reader.read();
  if (image.isNull()) throw EInvalidGraphic(_("Icon image is not valid"));
  TBitmap loaded;
  const QImage argb = RequireImage(image.convertToFormat(QImage::Format_ARGB32));
  loaded.SetPixelFormat(pf32bit);
  loaded.SetSize(argb.width(), argb.height());
  for (int y = 0; y < argb.height(); ++y)
    std::memcpy(loaded.ScanLine(y), argb.constScanLine(y), size_t(argb.width()) * 4);
  image_.Assign(&loaded);
  data_ = std::move(bytes);
  Changed(this);
}

void TIcon::SaveToStream(TStream& stream) {
  if (!data_.empty()) {
    stream.WriteBuffer(data_.data(), int64_t(data_.size()));
    return;
  }
  if (Empty()) return;
  EnsureQtApplication();
  QByteArray array;
  QBuffer buffer(&array);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "ico");
  if (!writer.write(BitmapToQImage(image_, true))) throw EInvalidGraphic(_("Icon image is not valid"));
  stream.WriteBuffer(array.constData(), array.size());
}

std::unique_ptr<TBitmap> TIcon::CreateMask() const {
  auto mask = std::make_unique<TBitmap>();
  mask->SetPixelFormat(pf1bit);
  mask->SetSize(Width(), Height());
  for (int y = 0; y < Height(); ++y) {
    const uint8_t* src = image_.ScanLine(y);
    uint8_t* dst = mask->ScanLine(y);
    for (int x = 0; x < Width(); ++x)
      if (src[4 * x + 3] < 128) dst[x >> 3] |= uint8_t(0x80 >> (x & 7));
  }
  return mask;
}
