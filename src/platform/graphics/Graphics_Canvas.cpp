// TCanvas: shapes and text through QPainter, pixels and block copies straight on the
// bitmap's rows.
#include <vector>
#include <QFontMetrics>
#include <QPainterPath>
#include <QPolygon>

#include <algorithm>

#include "platform/QtApplication.h"
#include "platform/graphics/CanvasQt.h"
#include "platform/graphics/GraphicsInternal.h"

using namespace graphics_internal;

namespace {

bool IsIndexed(TPixelFormat f) { return f == pf1bit || f == pf4bit || f == pf8bit; }

QPainter::CompositionMode PenComposition(TPenMode mode) {
  switch (mode) {
    case pmBlack: return QPainter::RasterOp_ClearDestination;
    case pmWhite: return QPainter::RasterOp_SetDestination;
    case pmNot: return QPainter::RasterOp_NotDestination;
    case pmNotCopy: return QPainter::RasterOp_NotSource;
    case pmMergePenNot: return QPainter::RasterOp_SourceOrNotDestination;
    case pmMaskPenNot: return QPainter::RasterOp_SourceAndNotDestination;
    case pmMergeNotPen: return QPainter::RasterOp_NotSourceOrDestination;
    case pmMaskNotPen: return QPainter::RasterOp_NotSourceAndDestination;
    case pmMerge: return QPainter::RasterOp_SourceOrDestination;
    case pmNotMerge: return QPainter::RasterOp_NotSourceAndNotDestination;
    case pmMask: return QPainter::RasterOp_SourceAndDestination;
    case pmNotMask: return QPainter::RasterOp_NotSourceOrNotDestination;
    case pmXor: return QPainter::RasterOp_SourceXorDestination;
    case pmNotXor: return QPainter::RasterOp_NotSourceXorDestination;
    default: return QPainter::CompositionMode_SourceOver;
  }
}

QPen MakePen(const TPen& pen) {
  if (pen.Style() == psClear || pen.Mode() == pmNop) return QPen(Qt::NoPen);
  QPen p(ToQColor(pen.Color()));
  int w = std::max(1, pen.Width());
  p.setWidth(w == 1 ? 0 : w);
  p.setCapStyle(w == 1 ? Qt::FlatCap : Qt::RoundCap);
  p.setJoinStyle(w == 1 ? Qt::MiterJoin : Qt::RoundJoin);
  switch (pen.Style()) {
    case psDash: p.setStyle(Qt::DashLine); break;
    case psDot: p.setStyle(Qt::DotLine); break;
    case psDashDot: p.setStyle(Qt::DashDotLine); break;
    case psDashDotDot: p.setStyle(Qt::DashDotDotLine); break;
    default: p.setStyle(Qt::SolidLine); break;
  }
  return p;
}

QBrush MakeBrush(const TBrush& brush) {
  QColor c = ToQColor(brush.Color());
  switch (brush.Style()) {
    case bsClear: return QBrush(Qt::NoBrush);
    case bsHorizontal: return QBrush(c, Qt::HorPattern);
    case bsVertical: return QBrush(c, Qt::VerPattern);
    case bsFDiagonal: return QBrush(c, Qt::FDiagPattern);
    case bsBDiagonal: return QBrush(c, Qt::BDiagPattern);
    case bsCross: return QBrush(c, Qt::CrossPattern);
    case bsDiagCross: return QBrush(c, Qt::DiagCrossPattern);
    default: return QBrush(c);
  }
}

// One drawing operation's painter. On a bitmap it paints straight into the rows where
// Qt has the format, else into a 32-bit copy whose changed pixels are written back
// (indexed bitmaps take the nearest palette entry).
class PaintSession {
 public:
  PaintSession(TCanvas& canvas, bool rasterOp) : canvas_(canvas) {
    TCanvasImpl& impl = canvas.Impl();
    canvas.Changing();
    if (impl.painter) {
      painter_ = impl.painter;
      painter_->save();
      return;
    }
    bitmap_ = impl.bitmap;
    if (!bitmap_ || bitmap_->Empty()) return;
    TPixelFormat f = bitmap_->PixelFormat();
    QImage::Format direct = QImage::Format_Invalid;
    if (f == pf32bit || f == pfDevice) direct = QImage::Format_RGB32;
    if (!rasterOp) {
      if (f == pf24bit) direct = QImage::Format_BGR888;
      if (f == pf15bit) direct = QImage::Format_RGB555;
      if (f == pf16bit) direct = QImage::Format_RGB16;
    }
    if (direct != QImage::Format_Invalid) {
      image_ = QImage(bitmap_->ScanLine(0), bitmap_->Width(), bitmap_->Height(), int(bitmap_->RowStride()), direct);
    } else {
      image_ = BitmapToQImage(*bitmap_);
      before_ = RequireImage(image_.copy());
      copied_ = true;
    }
    own_ = std::make_unique<QPainter>(&image_);
    painter_ = own_.get();
  }

  ~PaintSession() {
    if (own_) {
      own_->end();
      if (copied_) writeBack();
    } else if (painter_) {
      painter_->restore();
    }
    canvas_.Changed();
  }

  QPainter* painter() const { return painter_; }

 private:
  void writeBack() {
    const int w = bitmap_->Width(), h = bitmap_->Height();
    TPixelFormat f = bitmap_->PixelFormat();
    if (IsIndexed(f)) {
      TPalette palette = bitmap_->Palette();
      NearestColorCache nearest(palette);
      int bits = bitmap_->BitsPerPixel();
      for (int y = 0; y < h; ++y) {
        const uint32_t* now = reinterpret_cast<const uint32_t*>(image_.constScanLine(y));
        const uint32_t* was = reinterpret_cast<const uint32_t*>(before_.constScanLine(y));
        uint8_t* row = bitmap_->ScanLine(y);
        for (int x = 0; x < w; ++x)
          if (now[x] != was[x]) SetIndex(row, bits, x, nearest.Find(now[x]));
      }
      return;
    }
    std::vector<uint32_t> line(static_cast<size_t>(w));
    std::vector<uint8_t> bytes(size_t(w) * 4);
    const int bpp = bitmap_->BitsPerPixel() / 8;
    for (int y = 0; y < h; ++y) {
      const uint32_t* now = reinterpret_cast<const uint32_t*>(image_.constScanLine(y));
      const uint32_t* was = reinterpret_cast<const uint32_t*>(before_.constScanLine(y));
      uint8_t* row = bitmap_->ScanLine(y);
      BGRAToRow(now, f, w, bytes.data());
      for (int x = 0; x < w; ++x)
        if (now[x] != was[x]) std::copy_n(bytes.data() + size_t(x) * size_t(bpp), bpp, row + size_t(x) * size_t(bpp));
    }
  }

  TCanvas& canvas_;
  TBitmap* bitmap_ = nullptr;
  QImage image_, before_;
  bool copied_ = false;
  std::unique_ptr<QPainter> own_;
  QPainter* painter_ = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------

TCanvas::TCanvas() : impl_(std::make_unique<TCanvasImpl>()) {}

TCanvas::TCanvas(TBitmap* bitmap) : TCanvas() { impl_->bitmap = bitmap; }

TCanvas::~TCanvas() = default;

void TCanvas::SetFont(const TFont& font) { font_.Assign(const_cast<TFont*>(&font)); }
void TCanvas::SetPen(const TPen& pen) { pen_.Assign(const_cast<TPen*>(&pen)); }
void TCanvas::SetBrush(const TBrush& brush) { brush_.Assign(const_cast<TBrush*>(&brush)); }

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::Lock() {
  lock_.lock();
  ++lockCount_;
}

bool TCanvas::TryLock() {
  if (!lock_.try_lock()) return false;
  ++lockCount_;
  return true;
}

void TCanvas::Unlock() {
  --lockCount_;
  lock_.unlock();
}

TRect TCanvas::ClipRect() const {
  if (impl_->painter) {
    const QRect& r = impl_->paintClip;
    return Rect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
  }
  if (impl_->bitmap) return Rect(0, 0, impl_->bitmap->Width(), impl_->bitmap->Height());
  return TRect();
}

void TCanvas::FillRect(const TRect& rect) {
  if (brush_.Style() == bsClear || rect.IsEmpty()) return;
  TBitmap* bitmap = impl_->painter ? nullptr : impl_->bitmap;
  if (bitmap && !bitmap->Empty() && brush_.Style() == bsSolid && IsIndexed(bitmap->PixelFormat())) {
    // Indexed pixels take the palette entry nearest to the brush; a solid fill sets them
    // straight in the rows, without a 32-bit copy of the bitmap.
    const int left = std::max(rect.Left, 0), right = std::min(rect.Right, bitmap->Width());
    const int top = std::max(rect.Top, 0), bottom = std::min(rect.Bottom, bitmap->Height());
    if (left >= right || top >= bottom) return;
    Changing();
    const int index = std::max(0, NearestPaletteIndex(bitmap->Palette(), ColorToRGB(brush_.Color())));
    const int bits = bitmap->BitsPerPixel();
    for (int y = top; y < bottom; ++y) {
      uint8_t* row = bitmap->ScanLine(y);
      if (bits == 8)
        std::fill(row + left, row + right, uint8_t(index));
      else
        for (int x = left; x < right; ++x) SetIndex(row, bits, x, index);
    }
    Changed();
    return;
  }
  PaintSession s(*this, false);
  if (!s.painter()) return;
  s.painter()->setCompositionMode(QPainter::CompositionMode_Source);
  if (brush_.Style() != bsSolid) s.painter()->setCompositionMode(QPainter::CompositionMode_SourceOver);
  s.painter()->fillRect(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()), MakeBrush(brush_));
}

void TCanvas::FrameRect(const TRect& rect) {
  if (rect.IsEmpty()) return;
  PaintSession s(*this, false);
  if (!s.painter()) return;
  QColor c = ToQColor(brush_.Color());
  QPainter& p = *s.painter();
  p.fillRect(QRect(rect.Left, rect.Top, rect.Width(), 1), c);
  p.fillRect(QRect(rect.Left, rect.Bottom - 1, rect.Width(), 1), c);
  p.fillRect(QRect(rect.Left, rect.Top, 1, rect.Height()), c);
  p.fillRect(QRect(rect.Right - 1, rect.Top, 1, rect.Height()), c);
}

namespace {

// The box of a shape whose outline pixels run from x1 to x2 - 1 (Qt's rectangle
// outline covers one pixel more than its width).
QRect ShapeBox(int x1, int y1, int x2, int y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  return QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1);
}

}  // namespace

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  PaintSession s(*this, pen_.Mode() != pmCopy);
  if (!s.painter()) return;
  QPainter& p = *s.painter();
  bool hasPen = pen_.Style() != psClear && pen_.Mode() != pmNop;
  QRect box = ShapeBox(x1, y1, x2, y2);
  if (!hasPen) {
    // Without a pen the filled area is one pixel smaller, as with the class library.
    if (brush_.Style() != bsClear) p.fillRect(box, MakeBrush(brush_));
    return;
  }
  if (brush_.Style() != bsClear)
    p.fillRect(QRect(box.left(), box.top(), box.width() + 1, box.height() + 1), MakeBrush(brush_));
  p.setCompositionMode(PenComposition(pen_.Mode()));
  p.setPen(MakePen(pen_));
  p.setBrush(Qt::NoBrush);
  p.drawRect(box);
}

// Draws one closed shape with the pen's outline and the brush's inside.
template <class DrawFn>
static void DrawShape(TCanvas& canvas, DrawFn draw) {
  PaintSession s(canvas, canvas.Pen().Mode() != pmCopy);
  if (!s.painter()) return;
  QPainter& p = *s.painter();
  p.setCompositionMode(PenComposition(canvas.Pen().Mode()));
  p.setPen(MakePen(canvas.Pen()));
  p.setBrush(MakeBrush(canvas.Brush()));
  draw(p);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  DrawShape(*this, [&](QPainter& p) { p.drawEllipse(ShapeBox(x1, y1, x2, y2)); });
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) {
  DrawShape(*this, [&](QPainter& p) { p.drawRoundedRect(ShapeBox(x1, y1, x2, y2), x3 / 2.0, y3 / 2.0); });
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  QPolygon poly;
  for (const TPoint& pt : points) poly << QPoint(pt.X, pt.Y);
  DrawShape(*this, [&](QPainter& p) { p.drawPolygon(poly, Qt::OddEvenFill); });
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  {
    PaintSession s(*this, pen_.Mode() != pmCopy);
    if (!s.painter()) return;
    QPolygon poly;
    for (const TPoint& pt : points) poly << QPoint(pt.X, pt.Y);
    QPainter& p = *s.painter();
    p.setCompositionMode(PenComposition(pen_.Mode()));
    p.setPen(MakePen(pen_));
    p.drawPolyline(poly);
  }
  penPos_ = points.back();
}

void TCanvas::MoveTo(int x, int y) { penPos_ = TPoint(x, y); }

void TCanvas::LineTo(int x, int y) {
  {
    PaintSession s(*this, pen_.Mode() != pmCopy);
    if (s.painter()) {
      QPainter& p = *s.painter();
      p.setCompositionMode(PenComposition(pen_.Mode()));
      p.setPen(MakePen(pen_));
      if (pen_.Width() <= 1 && (pen_.Style() == psSolid || pen_.Style() == psInsideFrame)) {
        // Thin solid lines are drawn like the class library: from the start point up to,
        // but not including, the end point, in either direction (Bresenham steps).
        std::vector<QPoint> points;
        int x0 = penPos_.X, y0 = penPos_.Y;
        const int dx = std::abs(x - x0), dy = -std::abs(y - y0);
        const int sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
        int err = dx + dy;
        points.reserve(size_t(std::max(dx, -dy)));
        while (x0 != x || y0 != y) {
          points.emplace_back(x0, y0);
          const int e2 = 2 * err;
          if (e2 >= dy) { err += dy; x0 += sx; }
          if (e2 <= dx) { err += dx; y0 += sy; }
        }
        if (!points.empty()) p.drawPoints(points.data(), int(points.size()));
      } else {
        p.drawLine(QPoint(penPos_.X, penPos_.Y), QPoint(x, y));
      }
    }
  }
  penPos_ = TPoint(x, y);
}

namespace {
// The text as drawn: bytes that are not UTF-8 (a name from disk) as their Windows-1252 letters.
QString ShownText(const std::string& text) {
  const std::string shown = DisplayTextOf(text);
  return QString::fromUtf8(shown.data(), qsizetype(shown.size()));
}
}  // namespace

void TCanvas::TextOut(int x, int y, const std::string& text) {
  QFont font = ToQFont(font_);
  QFontMetrics metrics(font);
  QString s = ShownText(text);
  int w = metrics.horizontalAdvance(s);
  {
    PaintSession session(*this, false);
    if (QPainter* p = session.painter()) {
      if (brush_.Style() != bsClear) p->fillRect(QRect(x, y, w, metrics.height()), ToQColor(brush_.Color()));
      p->setFont(font);
      p->setPen(ToQColor(font_.Color()));
      p->drawText(QPoint(x, y + metrics.ascent()), s);
    }
  }
  penPos_ = TPoint(x + w, y);
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text) {
  QFont font = ToQFont(font_);
  QFontMetrics metrics(font);
  QString s = ShownText(text);
  PaintSession session(*this, false);
  QPainter* p = session.painter();
  if (!p || rect.IsEmpty()) return;
  QRect clip(rect.Left, rect.Top, rect.Width(), rect.Height());
  if (brush_.Style() != bsClear) p->fillRect(clip, ToQColor(brush_.Color()));
  p->setClipRect(clip, Qt::IntersectClip);
  p->setFont(font);
  p->setPen(ToQColor(font_.Color()));
  p->drawText(QPoint(x, y + metrics.ascent()), s);
}

TSize TCanvas::TextExtent(const std::string& text) {
  QFontMetrics metrics(ToQFont(font_));
  QString s = ShownText(text);
  return TSize{metrics.horizontalAdvance(s), metrics.height()};
}

int TCanvas::TextWidth(const std::string& text) { return TextExtent(text).cx; }
int TCanvas::TextHeight(const std::string& text) { return TextExtent(text).cy; }

void TCanvas::Draw(int x, int y, TGraphic& graphic) {
  if (graphic.Empty()) return;
  graphic.Draw(*this, Bounds(x, y, graphic.Width(), graphic.Height()));
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic& graphic) {
  if (graphic.Empty()) return;
  graphic.Draw(*this, rect);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
  TCanvasImpl& src = source.Impl();
  if (src.bitmap && !src.painter) {
    CanvasDrawBitmap(*this, dest, *src.bitmap, sourceRect, copyMode_, nullptr);
    return;
  }
  if (src.painter && src.painter->device() && src.painter->device()->devType() == QInternal::Image) {
    const QImage* image = static_cast<const QImage*>(src.painter->device());
    TBitmap copy;
    const QImage part = image->copy(sourceRect.Left, sourceRect.Top, sourceRect.Width(), sourceRect.Height());
    QImageToBitmap(sourceRect.IsEmpty() ? part : RequireImage(part), copy);
    CanvasDrawBitmap(*this, dest, copy, Rect(0, 0, copy.Width(), copy.Height()), copyMode_, nullptr);
  }
}

void TCanvas::DrawMasked(const TRect& dest, const TBitmap& source, const TRect& sourceRect, const TBitmap& mask) {
  CanvasDrawBitmap(*this, dest, source, sourceRect, cmSrcCopy, &mask);
}

TColor TCanvas::Pixels(int x, int y) {
  if (impl_->painter) {
    QPaintDevice* device = impl_->painter->device();
    if (device && device->devType() == QInternal::Image) {
      const QImage* image = static_cast<const QImage*>(device);
      if (!image->valid(x, y)) return clNone;
      return FromQColor(image->pixelColor(x, y));
    }
    return clNone;
  }
  TBitmap* b = impl_->bitmap;
  if (!b || x < 0 || y < 0 || x >= b->Width() || y >= b->Height()) return clNone;
  return b->PixelColor(x, y);
}

void TCanvas::SetPixels(int x, int y, TColor color) {
  if (impl_->painter) {
    PaintSession s(*this, false);
    s.painter()->setPen(ToQColor(color));
    s.painter()->drawPoint(x, y);
    return;
  }
  TBitmap* b = impl_->bitmap;
  if (!b || x < 0 || y < 0 || x >= b->Width() || y >= b->Height()) return;
  Changing();
  color = ColorToRGB(color);
  uint8_t* row = b->ScanLine(y);
  TPixelFormat f = b->PixelFormat();
  if (IsIndexed(f)) {
    int index = NearestPaletteIndex(b->Palette(), color);
    SetIndex(row, b->BitsPerPixel(), x, index < 0 ? 0 : index);
  } else {
    uint32_t c = 0xFF000000u | (uint32_t(GetRValue(color)) << 16) | (uint32_t(GetGValue(color)) << 8) | GetBValue(color);
    int bpp = b->BitsPerPixel() / 8;
    uint8_t bytes[4];
    BGRAToRow(&c, f, 1, bytes);
    if (f == pf32bit || f == pfDevice) bytes[3] = row[x * 4 + 3];  // the 4th byte is not a colour
    std::copy_n(bytes, bpp, row + size_t(x) * size_t(bpp));
  }
  Changed();
}

// ---------------------------------------------------------------------------

namespace graphics_internal {

namespace {

// The source columns (or rows) [first, last) that the target's [shownFrom, shownTo) shows
// when sourceSize of them from sourceFrom on are stretched over targetSize from targetFrom on.
std::pair<int, int> SourceSpan(int shownFrom, int shownTo, int targetFrom, int targetSize, int sourceFrom,
                               int sourceSize) {
  const int64_t first = sourceFrom + (int64_t(shownFrom) - targetFrom) * sourceSize / targetSize;
  const int64_t last = sourceFrom + ((int64_t(shownTo) - targetFrom) * sourceSize + targetSize - 1) / targetSize;
  return {int(std::max<int64_t>(first, sourceFrom)), int(std::min<int64_t>(last, int64_t(sourceFrom) + sourceSize))};
}

}  // namespace

void CanvasDrawBitmap(TCanvas& canvas, const TRect& dest, const TBitmap& source, const TRect& sourceRect,
                      TCopyMode mode, const TBitmap* mask, bool blend) {
  TCanvasImpl& impl = canvas.Impl();
  blend = blend && mode == cmSrcCopy && !mask && source.PixelFormat() == pf32bit;
  if (!impl.painter) {
    if (!impl.bitmap || impl.bitmap == &source) {
      if (!impl.bitmap) return;
      TBitmap copy;  // drawing a bitmap onto itself reads from a copy
      copy.Assign(const_cast<TBitmap*>(&source));
      canvas.Changing();
      BlitBitmap(*impl.bitmap, dest, copy, sourceRect, mode, mask, blend);
      canvas.Changed();
      return;
    }
    canvas.Changing();
    BlitBitmap(*impl.bitmap, dest, source, sourceRect, mode, mask, blend);
    canvas.Changed();
    return;
  }
  PaintSession s(canvas, true);
  QPainter& p = *s.painter();
  QRect target(dest.Left, dest.Top, dest.Width(), dest.Height());
  QRect from(sourceRect.Left, sourceRect.Top, sourceRect.Width(), sourceRect.Height());
  switch (mode) {
    case cmBlackness: p.fillRect(target, Qt::black); return;
    case cmWhiteness: p.fillRect(target, Qt::white); return;
    case cmDstInvert:
      p.setCompositionMode(QPainter::RasterOp_NotDestination);
      p.fillRect(target, Qt::white);
      return;
    case cmSrcInvert: p.setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;
    case cmSrcAnd: p.setCompositionMode(QPainter::RasterOp_SourceAndDestination); break;
    case cmSrcPaint: p.setCompositionMode(QPainter::RasterOp_SourceOrDestination); break;
    case cmNotSrcCopy: p.setCompositionMode(QPainter::RasterOp_NotSource); break;
    default: p.setCompositionMode(QPainter::CompositionMode_SourceOver); break;
  }
  // Only the part of the source that shows is handed to the painter, at its own origin:
  // the toolkit's fixed-point stretching goes wrong beyond 32767 source pixels, and a
  // picture of tens of thousands of pixels is drawn a window's worth at a time.
  QImage image;
  QRectF to(target), within(from);
  QPoint origin(0, 0);
  if (target.width() > 0 && target.height() > 0 && from.width() > 0 && from.height() > 0) {
    QRect shown = target.intersected(impl.paintClip);
    if (p.hasClipping()) shown = shown.intersected(p.clipBoundingRect().toAlignedRect());
    const auto [left, right] = SourceSpan(shown.left(), shown.right() + 1, target.left(), target.width(), from.left(),
                                          from.width());
    const auto [top, bottom] = SourceSpan(shown.top(), shown.bottom() + 1, target.top(), target.height(), from.top(),
                                          from.height());
    const QRect part = shown.isEmpty() ? QRect()
                                       : QRect(left, top, right - left, bottom - top)
                                             .intersected(QRect(0, 0, source.Width(), source.Height()));
    if (part.isEmpty()) return;
    const double scaleX = double(target.width()) / from.width(), scaleY = double(target.height()) / from.height();
    to = QRectF(target.left() + (part.left() - from.left()) * scaleX, target.top() + (part.top() - from.top()) * scaleY,
                part.width() * scaleX, part.height() * scaleY);
    within = QRectF(0, 0, part.width(), part.height());
    origin = part.topLeft();
    image = BitmapPartAsQImage(source, part);
  } else {
    image = BitmapAsQImage(source);
  }
  // The 4th bytes as opacity: the same rows seen as non-premultiplied ARGB.
  if (blend && !image.isNull())
    image = QImage(image.constBits(), image.width(), image.height(), image.bytesPerLine(), QImage::Format_ARGB32);
  if (mask) {
    image = RequireImage(image.convertToFormat(QImage::Format_ARGB32));
    for (int y = 0; y < image.height() && origin.y() + y < mask->Height(); ++y) {
      uint32_t* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
      const uint8_t* bits = mask->ScanLine(origin.y() + y);
      for (int x = 0, mx = origin.x(); x < image.width() && mx < mask->Width(); ++x, ++mx)
        if ((bits[mx >> 3] >> (7 - (mx & 7))) & 1) line[x] = 0;
    }
  }
  p.drawImage(to, image, within);
}

}  // namespace graphics_internal
