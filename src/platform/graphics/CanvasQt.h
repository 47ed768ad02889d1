#pragma once
// The graphics layer's bridge to Qt, for files inside src/platform only: binding a
// TCanvas to a painter during a paint event, and moving pixels between TBitmap and
// QImage.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>

#include "platform/graphics/Graphics.h"

// What a canvas draws on: a bitmap's pixels or, while bound, a painter.
class TCanvasImpl {
 public:
  TBitmap* bitmap = nullptr;
  QPainter* painter = nullptr;
  QRect paintClip;
};

// While it lives, canvas draws through painter (a window's paint event, a printer
// page, ...). clip is the area ClipRect reports; an empty clip takes the painter's
// device rectangle. The canvas's previous binding comes back when it is destroyed.
class TCanvasPainterBinding {
 public:
  TCanvasPainterBinding(TCanvas& canvas, QPainter& painter, const QRect& clip = QRect());
  ~TCanvasPainterBinding();
  TCanvasPainterBinding(const TCanvasPainterBinding&) = delete;
  TCanvasPainterBinding& operator=(const TCanvasPainterBinding&) = delete;

 private:
  TCanvas& canvas_;
  QPainter* savedPainter_;
  QRect savedClip_;
};

// The image itself; a null image (Qt could not allocate it: memory ran short) raises
// EOutOfResources.
QImage RequireImage(QImage image);

// A read-only QImage of the bitmap for drawing. pf15bit, pf16bit, pf24bit, pf32bit and
// pfDevice share the bitmap's pixels (valid while the bitmap is unchanged; pf32bit shows
// as RGB32, ignoring the 4th byte); pf1bit and pf8bit come as Mono and Indexed8 with
// the palette as colour table, pf4bit is widened to Indexed8.
QImage BitmapAsQImage(const TBitmap& bitmap);
// The same for the part of the bitmap inside `part`, sharing the pixels from the part's
// corner on; pf4bit, and pf1bit from a column that does not start a byte, come as
// Indexed8 of the part alone.
QImage BitmapPartAsQImage(const TBitmap& bitmap, const QRect& part);
// An independent copy of the bitmap as Format_RGB32 (withAlpha: Format_ARGB32 taking
// the 4th byte of pf32bit as alpha).
QImage BitmapToQImage(const TBitmap& bitmap, bool withAlpha = false);
// Makes bitmap a copy of image: pf32bit (B, G, R, A) when the image has alpha, else pf24bit.
// These three raise EOutOfResources when memory runs short.
void QImageToBitmap(const QImage& image, TBitmap& bitmap);

// Colour and font conversion (system colours resolved through ColorToRGB).
QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);
QFont ToQFont(const TFont& font);
