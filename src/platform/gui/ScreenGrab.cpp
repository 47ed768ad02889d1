// Reading the screen: the desktop where the display server allows it, else the program's
// own windows.
#include "platform/gui/ScreenGrab.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "platform/QtApplication.h"
#include "platform/graphics/CanvasQt.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/GuiInternal.h"

namespace {

TScreenReader& Reader() {
  static TScreenReader reader;
  return reader;
}

bool ScreenReadingForbidden() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

// The program's visible top-level windows drawn where they stand, bottom-most first.
QImage ProgramWindows(const QRect& area) {
  QImage image(area.size(), QImage::Format_RGB32);
  image.fill(QColor(0xA0, 0xA0, 0xA4));
  QPainter painter(&image);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible() || w->isMinimized()) continue;
    const QRect frame(w->mapToGlobal(QPoint(0, 0)), w->size());
    if (!frame.intersects(area)) continue;
    painter.drawPixmap(frame.topLeft() - area.topLeft(), w->grab());
  }
  return image;
}

}  // namespace

TScreenSource ScreenSourceKind() {
  if (Reader()) return TScreenSource::Desktop;
  EnsureQtApplication();
  return ScreenReadingForbidden() ? TScreenSource::ProgramWindows : TScreenSource::Desktop;
}

TScreenSource CopyScreenRect(const TRect& rect, TBitmap& bitmap) {
  const int w = rect.Width() > 0 ? rect.Width() : 0, h = rect.Height() > 0 ? rect.Height() : 0;
  if (Reader()) {
    Reader()(rect, bitmap);
    return TScreenSource::Desktop;
  }
  EnsureQtApplication();
  const QRect area(rect.Left, rect.Top, w, h);
  if (w == 0 || h == 0) {
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(w, h);
    return ScreenSourceKind();
  }
  if (!ScreenReadingForbidden()) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      const QPixmap pm = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
      if (!pm.isNull()) {
        QImage image(area.size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter(&image).drawPixmap(0, 0, pm);
        QImageToBitmap(image, bitmap);
        return TScreenSource::Desktop;
      }
    }
  }
  QImageToBitmap(ProgramWindows(area), bitmap);
  return TScreenSource::ProgramWindows;
}

bool PaintControlToBitmap(TControl* control, TBitmap& bitmap) {
  if (!control) return false;
  QWidget* w = control->Private()->clientWidget();
  if (!w) return false;
  const QPixmap pm = w->grab();
  if (pm.isNull()) return false;
  QImageToBitmap(pm.toImage().convertToFormat(QImage::Format_RGB32), bitmap);
  return true;
}

void SetScreenReader(TScreenReader reader) { Reader() = std::move(reader); }
