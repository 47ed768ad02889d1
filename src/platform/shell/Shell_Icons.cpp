// File types and their icons: the MIME database by file name, the icons of the desktop's
// icon theme (the style's own pictures where the theme has none), kept in one shared
// image list as the system's small-icon list was.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QMimeDatabase>
#include <QPainter>
#include <QStyle>

#include <map>
#include <mutex>
#include <string>

#include "platform/graphics/CanvasQt.h"
#include "platform/gui/ImgList.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/ShellExplorer.h"

namespace {

struct TypeFacts {
  int icon = -1;
  std::string name;
};

struct IconCache {
  TImageList* list = nullptr;
  std::map<std::string, int> byIconName;     // theme icon name -> index
  std::map<std::string, TypeFacts> byExt;    // lower-case extension -> facts of the file type
  TypeFacts folder, openFolder;
  bool themeChecked = false;
};

IconCache& Cache() {
  static IconCache cache;
  return cache;
}

// Without a platform theme (offscreen, a bare X server) Qt knows no icon theme and looks
// in no icon folder: take the desktop's usual theme when it is installed, from the icon
// folders of the XDG data folders.
void EnsureTheme() {
  IconCache& c = Cache();
  if (c.themeChecked) return;
  c.themeChecked = true;
  QStringList paths = QIcon::themeSearchPaths();
  QStringList dataDirs = QString::fromStdString(GetEnvironmentVariable("XDG_DATA_DIRS")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
  if (dataDirs.isEmpty()) dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
  dataDirs.prepend(QString::fromStdString(GetEnvironmentVariable("HOME")) + QStringLiteral("/.local/share"));
  if (const std::string home = GetEnvironmentVariable("XDG_DATA_HOME"); !home.empty())
    dataDirs.prepend(QString::fromStdString(home));
  for (const QString& dir : dataDirs) {
    const QString icons = QDir::cleanPath(dir + QStringLiteral("/icons"));
    if (!paths.contains(icons) && QDir(icons).exists()) paths << icons;
  }
  QIcon::setThemeSearchPaths(paths);
  if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
    for (const char* theme : {"Adwaita", "breeze", "gnome"})
      for (const QString& path : paths)
        if (QDir(path + QLatin1Char('/') + QLatin1String(theme)).exists()) {
          QIcon::setThemeName(QLatin1String(theme));
          return;
        }
  }
}

// The icon drawn at size x size pixels; a null image when it is empty or shows nothing
// (a theme may hold only SVG pictures that no installed image plug-in reads).
QImage VisibleImage(const QIcon& icon, int size) {
  if (icon.isNull()) return QImage();
  QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
  if (image.size() != QSize(size, size) && !image.isNull()) {
    // A smaller picture is centred, never stretched.
    QImage framed(size, size, QImage::Format_ARGB32);
    framed.fill(Qt::transparent);
    QPainter p(&framed);
    const QImage fitted = image.width() > size || image.height() > size
                              ? image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                              : image;
    p.drawImage((size - fitted.width()) / 2, (size - fitted.height()) / 2, fitted);
    p.end();
    image = framed;
  }
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) != 0) return image;
  return QImage();
}

QImage ThemeImage(const QString& name, int size) {
  EnsureTheme();
  return VisibleImage(QIcon::fromTheme(name), size);
}

std::string& GlyphFolderSetting() {
  static std::string folder;
  return folder;
}

// The index of an icon in the shared list, added on first use; fallback when the theme
// has none of the names.
int IconIndex(const QStringList& names, QStyle::StandardPixmap fallback) {
  IconCache& c = Cache();
  TImageList* list = SystemSmallImages();
  if (!list || !qobject_cast<QApplication*>(QCoreApplication::instance())) return -1;
  const std::string key = names.join(QLatin1Char('|')).toStdString();
  auto it = c.byIconName.find(key);
  if (it != c.byIconName.end()) return it->second;
  QImage image;
  for (const QString& name : names)
    if (!(image = ThemeImage(name, 16)).isNull()) break;
  if (image.isNull())
    image = QApplication::style()->standardIcon(fallback).pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
  if (image.size() != QSize(16, 16)) image = image.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  if (image.isNull()) {
    image = QImage(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
  }
  TBitmap bitmap;
  QImageToBitmap(image, bitmap);
  int index = list->Count();
  list->Add(&bitmap);
  c.byIconName[key] = index;
  return index;
}

const TypeFacts& FactsOfExtension(const std::string& name) {
  IconCache& c = Cache();
  std::string ext = LowerCase(ExtractFileExt(name));
  auto it = c.byExt.find(ext);
  if (it != c.byExt.end()) return it->second;
  static QMimeDatabase db;
  QMimeType type = db.mimeTypeForFile(QString::fromStdString(name), QMimeDatabase::MatchExtension);
  TypeFacts facts;
  facts.name = type.comment().toStdString();
  if (facts.name.empty()) facts.name = ext.size() > 1 ? UpperCase(ext.substr(1)) + " file" : "File";
  facts.icon = IconIndex({type.iconName(), type.genericIconName(), QStringLiteral("text-x-generic")},
                         QStyle::SP_FileIcon);
  return c.byExt[ext] = facts;
}

const TypeFacts& FolderFacts(bool open) {
  IconCache& c = Cache();
  TypeFacts& f = open ? c.openFolder : c.folder;
  if (f.icon < 0) {
    static QMimeDatabase db;
    f.name = db.mimeTypeForName(QStringLiteral("inode/directory")).comment().toStdString();
    if (f.name.empty()) f.name = "Folder";
    f.icon = open ? IconIndex({QStringLiteral("folder-open"), QStringLiteral("folder")}, QStyle::SP_DirOpenIcon)
                  : IconIndex({QStringLiteral("folder")}, QStyle::SP_DirIcon);
  }
  return f;
}

}  // namespace

TImageList* SystemSmallImages() {
  IconCache& c = Cache();
  if (!c.list) {
    c.list = new TImageList(nullptr);  // lives as long as the program, shared by every control
    c.list->SetWidth(16);
    c.list->SetHeight(16);
  }
  return c.list;
}

int SystemIconIndexOf(const std::string& name, bool isFolder, bool open) {
  if (isFolder) return FolderFacts(open).icon;
  return FactsOfExtension(name).icon;
}

int SystemIconIndex(const std::string& path, bool open) {
  if (DirectoryExists(path)) {
    std::string p = ExcludeTrailingPathDelimiter(path);
    for (const TExplorerDrive& d : ExplorerDrives())
      if (d.Path == p) return DriveIconIndex(d.Kind);
    return FolderFacts(open).icon;
  }
  return FactsOfExtension(path).icon;
}

int DriveIconIndex(TDriveKind kind) {
  switch (kind) {
    case dkRemovable: return IconIndex({QStringLiteral("drive-removable-media")}, QStyle::SP_DriveFDIcon);
    case dkRemote: return IconIndex({QStringLiteral("folder-remote"), QStringLiteral("network-server")}, QStyle::SP_DriveNetIcon);
    case dkCDRom: return IconIndex({QStringLiteral("drive-optical"), QStringLiteral("media-optical")}, QStyle::SP_DriveCDIcon);
    default: return IconIndex({QStringLiteral("drive-harddisk")}, QStyle::SP_DriveHDIcon);
  }
}

int ThemeIconIndex(const std::vector<std::string>& names) {
  // The style's own pictures where the theme has none of the names.
  static const std::map<std::string, QStyle::StandardPixmap> fallbacks = {
      {"folder-new", QStyle::SP_FileDialogNewFolder},
      {"edit-delete", QStyle::SP_TrashIcon},
      {"edit-rename", QStyle::SP_FileDialogDetailedView},
      {"drive-harddisk", QStyle::SP_DriveHDIcon},
      {"view-list-details", QStyle::SP_FileDialogListView},
      {"network-server", QStyle::SP_DriveNetIcon},
      {"network-offline", QStyle::SP_BrowserStop},
      {"document-properties", QStyle::SP_FileDialogInfoView},
      {"document-open", QStyle::SP_DialogOpenButton},
      {"document-print-preview", QStyle::SP_FileDialogContentsView},
      {"document-send", QStyle::SP_ArrowRight},
      {"folder", QStyle::SP_DirIcon},
      {"user-desktop", QStyle::SP_DesktopIcon},
  };
  QStringList list;
  QStyle::StandardPixmap fallback = QStyle::SP_FileIcon;
  for (const std::string& n : names) {
    list << QString::fromStdString(n);
    if (auto it = fallbacks.find(n); it != fallbacks.end() && fallback == QStyle::SP_FileIcon) fallback = it->second;
  }
  return IconIndex(list, fallback);
}

std::string GlyphFolder() {
  const std::string& set = GlyphFolderSetting();
  return set.empty() ? ProgramDir() + "glyphs/" : IncludeTrailingPathDelimiter(set);
}

void SetGlyphFolder(const std::string& folder) { GlyphFolderSetting() = folder; }

bool IconBitmap(const std::string& name, int size, TBitmap& out) {
  if (name.empty() || size <= 0 || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
  const QString qname = QString::fromStdString(name);
  QImage image;
  if (name.rfind("kivo2-", 0) != 0) image = ThemeImage(qname, size);
  for (const char* ext : {".svg", ".png"}) {
    if (!image.isNull()) break;
    const QString file = QString::fromStdString(GlyphFolder() + name + ext);
    if (QFileInfo::exists(file)) image = VisibleImage(QIcon(file), size);
  }
  if (image.isNull()) return false;
  QImageToBitmap(image, out);
  return true;
}

std::vector<std::string> MimeTypesOfName(const std::string& name) {
  static QMimeDatabase db;
  QMimeType type = db.mimeTypeForFile(QString::fromUtf8(name.c_str()), QMimeDatabase::MatchExtension);
  std::vector<std::string> types;
  if (type.isDefault()) return types;
  types.push_back(type.name().toStdString());
  for (const QString& alias : type.aliases()) types.push_back(alias.toStdString());
  return types;
}

std::string FileTypeName(const std::string& name, bool isFolder) {
  return isFolder ? FolderFacts(false).name : FactsOfExtension(name).name;
}
