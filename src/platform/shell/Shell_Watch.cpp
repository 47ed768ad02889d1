// Folder change notification: inotify through Qt's file system watcher for the folders,
// and the mount table (which the kernel marks when a volume comes or goes) for drives.
#include <fcntl.h>
#include <unistd.h>

#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <QCoreApplication>
#include <QTimer>

#include <set>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/shell/ShellExplorer.h"

namespace {
// Changes within this time after a first one are handled together.
constexpr int kSettleMs = 150;
}  // namespace

struct TFolderWatcher::Impl {
  THandler handler;
  QFileSystemWatcher watcher;
  QTimer settle;
  std::unique_ptr<QSocketNotifier> mounts;
  int mountsFd = -1;
  std::set<std::string> pending;  // folders changed since the last report; "" for drives
  bool active = false;
  bool firing = false;

  void changed(const std::string& folder) {
    pending.insert(folder);
    // Reported at most kSettleMs after the first change: a folder that never stops
    // changing (/tmp) must not hold the others back.
    if (!settle.isActive()) settle.start(kSettleMs);
  }

  void fire() {
    if (firing) return;  // a handler that pumps messages reports later changes afterwards
    firing = true;
    std::set<std::string> now;
    now.swap(pending);
    // Drives first (""), then each folder: a change of the drives does not cover the
    // folders that changed with it.
    for (const std::string& folder : now) handler(folder);
    firing = false;
    if (!pending.empty()) settle.start(kSettleMs);
  }
};

TFolderWatcher::TFolderWatcher(THandler handler) : d_(std::make_unique<Impl>()) {
  d_->handler = std::move(handler);
  d_->settle.setSingleShot(true);
  Impl* d = d_.get();
  QObject::connect(&d->settle, &QTimer::timeout, [d] { d->fire(); });
  QObject::connect(&d->watcher, &QFileSystemWatcher::directoryChanged,
                   [d](const QString& path) { d->changed(IncludeTrailingPathDelimiter(path.toStdString())); });
  d->mountsFd = ::open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
  if (d->mountsFd >= 0) {
    // The kernel raises an exceptional condition on the table when it changes.
    d->mounts = std::make_unique<QSocketNotifier>(qintptr(d->mountsFd), QSocketNotifier::Exception);
    QObject::connect(d->mounts.get(), &QSocketNotifier::activated, [d] {
      char buf[4096];
      ::lseek(d->mountsFd, 0, SEEK_SET);
      while (::read(d->mountsFd, buf, sizeof buf) > 0) {
      }
      d->changed(std::string());
    });
  }
}

TFolderWatcher::~TFolderWatcher() {
  d_->settle.stop();
  d_->mounts.reset();
  if (d_->mountsFd >= 0) ::close(d_->mountsFd);
}

void TFolderWatcher::SetFolders(const std::vector<std::string>& folders) {
  std::set<QString> wanted;
  for (const std::string& f : folders) {
    std::string p = ExcludeTrailingPathDelimiter(f);
    if (!p.empty() && DirectoryExists(p)) wanted.insert(QString::fromStdString(p));
  }
  QStringList drop;
  for (const QString& have : d_->watcher.directories())
    if (!wanted.count(have)) drop << have;
  if (!drop.isEmpty()) d_->watcher.removePaths(drop);
  QStringList add;
  const QStringList now = d_->watcher.directories();
  for (const QString& w : wanted)
    if (!now.contains(w)) add << w;
  if (!add.isEmpty()) d_->watcher.addPaths(add);
  d_->active = !d_->watcher.directories().isEmpty() || wanted.empty();
}

std::vector<std::string> TFolderWatcher::Folders() const {
  std::vector<std::string> out;
  for (const QString& p : d_->watcher.directories()) out.push_back(IncludeTrailingPathDelimiter(p.toStdString()));
  return out;
}

bool TFolderWatcher::Active() const { return d_->active; }

void RunAfterCurrentEvent(std::function<void()> fn) {
  QTimer::singleShot(0, QCoreApplication::instance(), [fn = std::move(fn)] { fn(); });
}
