// Files that other programs drop on a window, and file lists on the clipboard, as the
// desktop's file managers exchange them (file URLs; the GNOME and KDE cut markers).
#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <map>
#include <string>
#include <vector>

#include "platform/gui/GuiInternal.h"
#include "platform/shell/ShellExplorer.h"

namespace {

std::vector<std::string> LocalPaths(const QMimeData* mime) {
  std::vector<std::string> paths;
  if (!mime || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  return paths;
}

class DropFilter : public QObject {
 public:
  using THandler = std::function<void(const std::vector<std::string>&)>;
  explicit DropFilter(THandler handler) : handler_(std::move(handler)) {}
  void setHandler(THandler handler) { handler_ = std::move(handler); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* e = static_cast<QDropEvent*>(event);
        if (handler_ && !LocalPaths(e->mimeData()).empty()) {
          e->acceptProposedAction();
          return true;
        }
        break;
      }
      case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        std::vector<std::string> paths = LocalPaths(e->mimeData());
        if (handler_ && !paths.empty()) {
          e->acceptProposedAction();
          THandler h = handler_;  // the handler may replace this filter
          h(paths);
          return true;
        }
        break;
      }
      default: break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  THandler handler_;
};

const char* kFilterName = "kivo2-drop-files";
const char* kGnomeCopied = "x-special/gnome-copied-files";
const char* kKdeCut = "application/x-kde-cutselection";

}  // namespace

void AcceptDroppedFiles(TWinControl* control, std::function<void(const std::vector<std::string>& paths)> handler) {
  if (!control || !control->Private()->widget) return;
  QWidget* widget = control->Private()->widget;
  QList<QWidget*> targets{widget};
  if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) targets << area->viewport();
  for (QWidget* w : targets) {
    // The filter has no meta-object of its own: it is found by its name.
    auto* found = w->findChild<QObject*>(QString::fromLatin1(kFilterName), Qt::FindDirectChildrenOnly);
    auto* filter = static_cast<DropFilter*>(found);
    if (!filter) {
      filter = new DropFilter(handler);
      filter->setObjectName(QString::fromLatin1(kFilterName));
      filter->setParent(w);
      w->installEventFilter(filter);
    } else {
      filter->setHandler(handler);
    }
    w->setAcceptDrops(bool(handler));
  }
}

void SetClipboardFiles(const std::vector<std::string>& paths, bool cut) {
  auto* mime = new QMimeData();
  QList<QUrl> urls;
  QByteArray gnome = cut ? "cut" : "copy";
  for (const std::string& p : paths) {
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(p));
    urls << url;
    gnome += "\n" + url.toEncoded();
  }
  mime->setUrls(urls);
  mime->setData(QString::fromLatin1(kGnomeCopied), gnome);
  mime->setData(QString::fromLatin1(kKdeCut), cut ? "1" : "0");
  QApplication::clipboard()->setMimeData(mime);
}

bool ClipboardHasFiles() { return !LocalPaths(QApplication::clipboard()->mimeData()).empty(); }

std::vector<std::string> ClipboardFiles(bool* cut) {
  const QMimeData* mime = QApplication::clipboard()->mimeData();
  if (cut) {
    *cut = false;
    if (mime && mime->hasFormat(QString::fromLatin1(kGnomeCopied)))
      *cut = mime->data(QString::fromLatin1(kGnomeCopied)).startsWith("cut");
    else if (mime && mime->hasFormat(QString::fromLatin1(kKdeCut)))
      *cut = mime->data(QString::fromLatin1(kKdeCut)).startsWith("1");
  }
  return LocalPaths(mime);
}
