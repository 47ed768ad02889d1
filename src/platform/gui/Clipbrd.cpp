// The clipboard through the toolkit: text, pictures and named formats with raw bytes.
#include "platform/gui/Clipbrd.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <map>
#include <mutex>

#include "platform/QtApplication.h"
#include "platform/graphics/CanvasQt.h"
#include "platform/gui/GuiInternal.h"
#include "platform/i18n/GnuGetText.h"

namespace {

std::map<std::string, TClipboardFormatId>& Formats() {
  static std::map<std::string, TClipboardFormatId> formats;
  return formats;
}

std::string FormatName(TClipboardFormatId id) {
  for (const auto& [name, fid] : Formats())
    if (fid == id) return name;
  return std::string();
}

QString MimeOf(const std::string& name) { return "application/x-kivo2-" + gui::QtText(name).toLower().replace(' ', '-'); }

QClipboard* Board() {
  EnsureQtApplication();
  return QGuiApplication::clipboard();
}

}  // namespace

TClipboardFormatId RegisterClipboardFormat(const std::string& name) {
  auto& f = Formats();
  auto it = f.find(name);
  if (it != f.end()) return it->second;
  TClipboardFormatId id = TClipboardFormatId(0xC000 + f.size());
  f[name] = id;
  return id;
}

std::string TClipboard::AsText() const { return gui::StdText(Board()->text()); }
void TClipboard::SetAsText(const std::string& text) { Board()->setText(gui::QtText(text)); }

void TClipboard::Assign(TPersistent* source) {
  if (auto* picture = dynamic_cast<TPicture*>(source)) source = picture->Graphic();
  if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    Board()->setImage(BitmapToQImage(*bitmap));
    return;
  }
  if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    TBitmap drawn;
    drawn.Assign(graphic);
    Board()->setImage(BitmapToQImage(drawn));
    return;
  }
  TPersistent::Assign(source);
}

bool TClipboard::GetBitmap(TBitmap& bitmap) const {
  QImage image = Board()->image();
  if (image.isNull()) return false;
  QImageToBitmap(image, bitmap);
  return true;
}

bool TClipboard::HasFormat(TClipboardFormatId format) const {
  const QMimeData* data = Board()->mimeData();
  if (!data) return false;
  switch (format) {
    case CF_TEXT:
    case CF_UNICODETEXT: return data->hasText();
    case CF_BITMAP:
    case CF_PALETTE: return data->hasImage();
    case CF_HDROP: return data->hasUrls();
    default: {
      std::string name = FormatName(format);
      return !name.empty() && data->hasFormat(MimeOf(name));
    }
  }
}

void TClipboard::SetBuffer(TClipboardFormatId format, const std::vector<uint8_t>& data) {
  std::string name = FormatName(format);
  if (name.empty()) throw EClipboardException(_("Cannot assign a clipboard format that was not registered"));
  auto* mime = new QMimeData();
  mime->setData(MimeOf(name), QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size())));
  Board()->setMimeData(mime);
}

std::vector<uint8_t> TClipboard::GetBuffer(TClipboardFormatId format) const {
  std::string name = FormatName(format);
  const QMimeData* mime = Board()->mimeData();
  if (name.empty() || !mime) return {};
  QByteArray bytes = mime->data(MimeOf(name));
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void TClipboard::SetAsMimeData(const std::vector<std::string>& mimeTypes, const std::string& bytes) {
  auto* mime = new QMimeData();
  const QByteArray data(bytes.data(), qsizetype(bytes.size()));
  for (const std::string& type : mimeTypes) mime->setData(QString::fromStdString(type), data);
  Board()->setMimeData(mime);
}

void TClipboard::Clear() { Board()->clear(); }
void TClipboard::Open() {}
void TClipboard::Close() {}

TClipboard* Clipboard() {
  static TClipboard clipboard;
  return &clipboard;
}
