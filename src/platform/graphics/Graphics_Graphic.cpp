// The abstract graphic, class references, the picture object with the list of
// picture file formats, and the metafile stand-in.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Jpeg.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/FileFaults.h"

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool SameTextAscii(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

std::string Replace1(std::string text, const std::string& value) {
  auto p = text.find("%s");
  if (p != std::string::npos) text.replace(p, 2, value);
  return text;
}

std::string ClassNameOf(const TPersistent* object) {
  if (!object) return "nil";
  if (auto* g = dynamic_cast<const TGraphic*>(object)) return g->ClassType()->ClassName();
  if (dynamic_cast<const TPicture*>(object)) return "TPicture";
  if (dynamic_cast<const TCanvas*>(object)) return "TCanvas";
  return "TPersistent";
}

[[noreturn]] void CannotAssign(const TPersistent* source, const TPersistent* dest) {
  throw EConvertError("Cannot assign a " + ClassNameOf(source) + " to a " + ClassNameOf(dest));
}

// The platform's picture format list, made on first use so that registrations from any
// library's start-up code find it ready with the platform's own classes first.
struct FormatList {
  std::mutex mutex;
  std::vector<TFileFormatEntry> entries;
  FormatList() {
    entries.push_back({"bmp", "Bitmaps", TBitmap::ClassRef()});
    entries.push_back({"ico", "Icons", TIcon::ClassRef()});
    entries.push_back({"wmf", "Metafiles", TMetafile::ClassRef()});
    entries.push_back({"emf", "Enhanced Metafiles", TMetafile::ClassRef()});
    entries.push_back({"jpg", "JPEG Image File", TJPEGImage::ClassRef()});
    entries.push_back({"jpeg", "JPEG Image File", TJPEGImage::ClassRef()});
  }
};

FormatList& Formats() {
  static FormatList list;
  return list;
}

std::string ExtensionOf(const std::string& fileName) {
  auto slash = fileName.find_last_of('/');
  auto dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  return fileName.substr(dot + 1);
}

}  // namespace

void WriteFileReplacing(const std::string& fileName, std::initializer_list<std::string_view> parts) {
  std::string name = fileName + ".XXXXXX";
  int fd = fileio::MakeTemp(name, O_CLOEXEC);
  if (fd < 0) throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
  fchmod(fd, mode_t(NewFileMode(fileName)));
  bool ok = true;
  int err = 0;
  for (std::string_view part : parts) {
    if (!ok) break;
    ok = fileio::WriteAll(fd, part.data(), part.size());
    err = errno;
  }
  if (close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && fileio::Rename(name, fileName) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    fileio::Unlink(name);
    throw EWriteError("Cannot write file \"" + fileName + "\". " + std::strerror(err));
  }
}

// ---------------------------------------------------------------------------
// Class references
// ---------------------------------------------------------------------------

bool TGraphicClassInfo::InheritsFrom(const TGraphicClassInfo* other) const {
  for (const TGraphicClassInfo* c = this; c; c = c->parent_)
    if (c == other) return true;
  return false;
}

std::unique_ptr<TGraphic> TGraphicClassInfo::Create() const {
  if (!factory_) throw EAbstractError(std::string("Abstract class ") + name_ + " cannot be created");
  return factory_();
}

// ---------------------------------------------------------------------------
// TGraphic
// ---------------------------------------------------------------------------

TGraphic::TGraphic() = default;
TGraphic::~TGraphic() = default;

TGraphicClass TGraphic::ClassRef() {
  static const TGraphicClassInfo info("TGraphic", nullptr, nullptr);
  return &info;
}

TGraphicClass TGraphic::ClassType() const { return ClassRef(); }

void TGraphic::Assign(TPersistent* source) {
  if (auto* picture = dynamic_cast<TPicture*>(source)) {
    if (picture->Graphic()) {
      Assign(picture->Graphic());
      return;
    }
  } else if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    graphic->AssignTo(this);
    return;
  }
  CannotAssign(source, this);
}

void TGraphic::AssignTo(TPersistent* dest) { CannotAssign(this, dest); }

bool TGraphic::Equals(const TGraphic& other) {
  if (&other == this) return true;
  if (other.ClassType() != ClassType()) return false;
  if (Empty() || other.Empty()) return Empty() == other.Empty();
  TMemoryStream a, b;
  SaveToStream(a);
  const_cast<TGraphic&>(other).SaveToStream(b);
  return a.Size() == b.Size() && std::equal(a.Bytes().begin(), a.Bytes().end(), b.Bytes().begin());
}

TPalette TGraphic::Palette() const { return TPalette(); }
void TGraphic::SetPalette(const TPalette&) {}

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed(this);
}

void TGraphic::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName) {
  TMemoryStream stream;
  SaveToStream(stream);
  WriteFileReplacing(fileName, {std::string_view(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()))});
}

void TGraphic::LoadFromClipboardFormat(TClipboardFormat, const std::vector<uint8_t>&, const TPalette&) {
  throw EInvalidGraphic(_("Clipboard format not supported"));
}

void TGraphic::SaveToClipboardFormat(TClipboardFormat&, std::vector<uint8_t>&, TPalette&) {
  throw EInvalidGraphic(_("Clipboard format not supported"));
}

void TGraphic::Changed(TObject*) {
  modified_ = true;
  if (OnChange) OnChange(this);
}

void TGraphic::Progress(TObject* sender, TProgressStage stage, uint8_t percentDone, bool redrawNow, const TRect& r,
                        const std::string& msg) {
  if (OnProgress) OnProgress(sender, stage, percentDone, redrawNow, r, msg);
}

void TGraphic::SetModified(bool value) {
  if (value)
    Changed(this);
  else
    modified_ = false;
}

// ---------------------------------------------------------------------------
// TMetafile
// ---------------------------------------------------------------------------

void TMetafile::Assign(TPersistent* source) {
  if (auto* m = dynamic_cast<TMetafile*>(source)) {
    width_ = m->width_;
    height_ = m->height_;
    Changed(this);
    return;
  }
  TGraphic::Assign(source);
}

void TMetafile::Draw(TCanvas&, const TRect&) {}

void TMetafile::LoadFromStream(TStream&) { throw EInvalidGraphic(_("Metafiles are not supported")); }

void TMetafile::SaveToStream(TStream&) { throw EInvalidGraphic(_("Metafiles are not supported")); }

// ---------------------------------------------------------------------------
// TPicture
// ---------------------------------------------------------------------------

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::changed(TObject*) {
  if (OnChange) OnChange(this);
}

void TPicture::hookGraphic() {
  if (!graphic_) return;
  graphic_->OnChange = [this](TObject* sender) { changed(sender); };
  graphic_->OnProgress = [this](TObject* sender, TProgressStage stage, uint8_t percent, bool redraw, const TRect& r,
                                const std::string& msg) {
    if (OnProgress) OnProgress(sender, stage, percent, redraw, r, msg);
  };
}

void TPicture::SetGraphic(TGraphic* value) {
  std::unique_ptr<TGraphic> copy;
  if (value) {
    copy = value->ClassType()->Create();
    copy->Assign(value);
  }
  graphic_ = std::move(copy);
  hookGraphic();
  changed(this);
}

TBitmap* TPicture::Bitmap() {
  if (!dynamic_cast<TBitmap*>(graphic_.get())) {
    graphic_ = std::make_unique<TBitmap>();
    hookGraphic();
    changed(this);
  }
  return static_cast<TBitmap*>(graphic_.get());
}

int TPicture::Width() const { return graphic_ ? graphic_->Width() : 0; }
int TPicture::Height() const { return graphic_ ? graphic_->Height() : 0; }

void TPicture::LoadFromFile(const std::string& fileName) {
  std::string ext = ExtensionOf(fileName);
  TGraphicClass cls = FindGraphicClass(ext);
  if (!cls) throw EInvalidGraphic(Replace1(_("Unknown picture file extension (.%s)"), ext));
  std::unique_ptr<TGraphic> fresh = cls->Create();
  fresh->OnProgress = [this](TObject* sender, TProgressStage stage, uint8_t percent, bool redraw, const TRect& r,
                             const std::string& msg) {
    if (OnProgress) OnProgress(sender, stage, percent, redraw, r, msg);
  };
  fresh->LoadFromFile(fileName);  // on an exception the new graphic is freed here
  graphic_ = std::move(fresh);
  hookGraphic();
  changed(this);
}

void TPicture::SaveToFile(const std::string& fileName) {
  if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::Assign(TPersistent* source) {
  if (!source) {
    SetGraphic(nullptr);
  } else if (auto* picture = dynamic_cast<TPicture*>(source)) {
    if (picture != this) SetGraphic(picture->Graphic());
  } else if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    SetGraphic(graphic);
  } else {
    CannotAssign(source, this);
  }
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  TGraphicClass graphicClass) {
  if (!graphicClass) return;
  FormatList& list = Formats();
  std::lock_guard<std::mutex> guard(list.mutex);
  list.entries.push_back({extension, description, graphicClass});
}

void TPicture::RegisterClipboardFormat(TClipboardFormat, TGraphicClass) {}

void TPicture::UnregisterGraphicClass(TGraphicClass graphicClass) {
  FormatList& list = Formats();
  std::lock_guard<std::mutex> guard(list.mutex);
  std::erase_if(list.entries,
                [&](const TFileFormatEntry& e) { return e.GraphicClass->InheritsFrom(graphicClass); });
}

TGraphicClass TPicture::FindGraphicClass(const std::string& extension) {
  std::string ext = (!extension.empty() && extension[0] == '.') ? extension.substr(1) : extension;
  if (ext.empty()) return nullptr;
  FormatList& list = Formats();
  std::lock_guard<std::mutex> guard(list.mutex);
  for (auto it = list.entries.rbegin(); it != list.entries.rend(); ++it)
    if (SameTextAscii(it->Extension, ext)) return it->GraphicClass;
  return nullptr;
}

std::vector<TFileFormatEntry> TPicture::FileFormats() {
  FormatList& list = Formats();
  std::lock_guard<std::mutex> guard(list.mutex);
  return list.entries;
}

// ---------------------------------------------------------------------------
// Filters for open dialogs
// ---------------------------------------------------------------------------

namespace {

// The registered formats whose class inherits from graphicClass, each extension once.
std::vector<TFileFormatEntry> FormatsOf(TGraphicClass graphicClass) {
  std::vector<TFileFormatEntry> result;
  for (const TFileFormatEntry& e : TPicture::FileFormats()) {
    if (graphicClass && !e.GraphicClass->InheritsFrom(graphicClass)) continue;
    if (std::any_of(result.begin(), result.end(),
                    [&](const TFileFormatEntry& r) { return SameTextAscii(r.Extension, e.Extension); }))
      continue;
    result.push_back(e);
  }
  return result;
}

}  // namespace

std::string GraphicFileMask(TGraphicClass graphicClass) {
  std::string mask;
  for (const TFileFormatEntry& e : FormatsOf(graphicClass)) {
    if (!mask.empty()) mask += ';';
    mask += "*." + e.Extension;
  }
  return mask;
}

std::string GraphicFilter(TGraphicClass graphicClass) {
  std::string all = GraphicFileMask(graphicClass);
  std::string filter = Replace1(_("All (%s)"), all) + "|" + all;
  for (const TFileFormatEntry& e : FormatsOf(graphicClass))
    filter += "|" + _(e.Description) + " (*." + e.Extension + ")|*." + e.Extension;
  return filter;
}

std::string GraphicExtension(TGraphicClass graphicClass) {
  for (const TFileFormatEntry& e : TPicture::FileFormats())
    if (e.GraphicClass == graphicClass) return e.Extension;
  return std::string();
}
