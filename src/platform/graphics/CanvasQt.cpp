// The bridge between the graphics layer and Qt: painter binding, bitmap <-> QImage,
// colours and fonts.
#include "platform/graphics/CanvasQt.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cstring>

#include "platform/QtApplication.h"
#include "platform/graphics/GraphicsInternal.h"
#include "platform/i18n/GnuGetText.h"

using namespace graphics_internal;

TCanvasPainterBinding::TCanvasPainterBinding(TCanvas& canvas, QPainter& painter, const QRect& clip)
    : canvas_(canvas), savedPainter_(canvas.Impl().painter), savedClip_(canvas.Impl().paintClip) {
  TCanvasImpl& impl = canvas.Impl();
  impl.painter = &painter;
  QRect area = clip;
  if (area.isEmpty() && painter.device())
    area = QRect(0, 0, painter.device()->width(), painter.device()->height());
  impl.paintClip = area;
}

TCanvasPainterBinding::~TCanvasPainterBinding() {
  canvas_.Impl().painter = savedPainter_;
  canvas_.Impl().paintClip = savedClip_;
}

namespace {

QList<QRgb> ColorTable(const TBitmap& bitmap, int count) {
  uint32_t lut[256];
  PaletteLut(bitmap.Palette(), lut);
  QList<QRgb> table;
  for (int i = 0; i < count; ++i) table.append(QRgb(lut[i]));
  return table;
}

}  // namespace

QImage RequireImage(QImage image) {
  if (image.isNull()) throw EOutOfResources(_("Out of system resources"));
  return image;
}

QImage BitmapAsQImage(const TBitmap& bitmap) {
  return BitmapPartAsQImage(bitmap, QRect(0, 0, bitmap.Width(), bitmap.Height()));
}

QImage BitmapPartAsQImage(const TBitmap& bitmap, const QRect& part) {
  const QRect area = part.intersected(QRect(0, 0, bitmap.Width(), bitmap.Height()));
  if (bitmap.Empty() || area.isEmpty()) return QImage();
  const int w = area.width(), h = area.height(), bits = bitmap.BitsPerPixel();
  const qsizetype stride = qsizetype(bitmap.RowStride());
  // Formats of whole bytes share the bitmap's rows from the part's first pixel on.
  const uchar* data = bitmap.ScanLine(area.top()) + size_t(area.left()) * size_t(bits / 8);
  if (bitmap.PixelFormat() == pf1bit && area.left() % 8 == 0) {
    QImage image(bitmap.ScanLine(area.top()) + area.left() / 8, w, h, stride, QImage::Format_Mono);
    image.setColorTable(ColorTable(bitmap, 2));
    return image;
  }
  switch (bitmap.PixelFormat()) {
    case pf1bit:
    case pf4bit: {
      // Pixels smaller than a byte are widened to Indexed8, only those of the part.
      QImage image = RequireImage(QImage(w, h, QImage::Format_Indexed8));
      for (int y = 0; y < h; ++y) {
        const uint8_t* src = bitmap.ScanLine(area.top() + y);
        uchar* dst = image.scanLine(y);
        for (int x = 0; x < w; ++x) dst[x] = uchar(GetIndex(src, bits, area.left() + x));
      }
      image.setColorTable(ColorTable(bitmap, 1 << bits));
      return image;
    }
    case pf8bit: {
      QImage image(data, w, h, stride, QImage::Format_Indexed8);
      image.setColorTable(ColorTable(bitmap, 256));
      return image;
    }
    case pf15bit: return QImage(data, w, h, stride, QImage::Format_RGB555);
    case pf16bit: return QImage(data, w, h, stride, QImage::Format_RGB16);
    case pf24bit: return QImage(data, w, h, stride, QImage::Format_BGR888);
    default: return QImage(data, w, h, stride, QImage::Format_RGB32);
  }
}

QImage BitmapToQImage(const TBitmap& bitmap, bool withAlpha) {
  if (bitmap.Empty()) return QImage();
  const int w = bitmap.Width(), h = bitmap.Height();
  QImage image = RequireImage(QImage(w, h, withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32));
  uint32_t lut[256];
  PaletteLut(bitmap.Palette(), lut);
  TPixelFormat f = bitmap.PixelFormat();
  bool keepAlpha = withAlpha && f == pf32bit;
  for (int y = 0; y < h; ++y) {
    uint32_t* dst = reinterpret_cast<uint32_t*>(image.scanLine(y));
    RowToBGRA(bitmap.ScanLine(y), f, w, lut, dst);
    if (!keepAlpha)
      for (int x = 0; x < w; ++x) dst[x] |= 0xFF000000u;
  }
  return image;
}

void QImageToBitmap(const QImage& image, TBitmap& bitmap) {
  bitmap.ReleaseHandle();
  if (image.isNull()) return;
  const bool alpha = image.hasAlphaChannel();
  const QImage src = RequireImage(image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_BGR888));
  bitmap.SetPixelFormat(alpha ? pf32bit : pf24bit);
  bitmap.SetSize(src.width(), src.height());
  const size_t n = size_t(src.width()) * (alpha ? 4 : 3);
  for (int y = 0; y < src.height(); ++y) std::memcpy(bitmap.ScanLine(y), src.constScanLine(y), n);
}

QColor ToQColor(TColor color) {
  color = ColorToRGB(color);
  return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

TColor FromQColor(const QColor& color) {
  QColor rgb = color.toRgb();
  return RGB(uint8_t(rgb.red()), uint8_t(rgb.green()), uint8_t(rgb.blue()));
}

QFont ToQFont(const TFont& font) {
  EnsureQtApplication();
  QFont q(QString::fromStdString(font.Name()));
  int height = font.Height();
  if (height < 0) {
    q.setPixelSize(std::max(1, -height));
  } else if (height > 0) {
    // A positive height is the whole cell (ascent + descent); scale the em size to it.
    QFont probe = q;
    probe.setPixelSize(100);
    QFontMetricsF m(probe);
    double cell = m.ascent() + m.descent();
    q.setPixelSize(std::max(1, int(height * 100.0 / (cell > 0 ? cell : 100.0) + 0.5)));
  }
  q.setBold(font.Style() & fsBold);
  q.setItalic(font.Style() & fsItalic);
  q.setUnderline(font.Style() & fsUnderline);
  q.setStrikeOut(font.Style() & fsStrikeOut);
  if (font.Pitch() == fpFixed) q.setFixedPitch(true);
  return q;
}
