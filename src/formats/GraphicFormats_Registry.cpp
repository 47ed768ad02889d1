// The registry of picture formats by file extension and its initialisation with
// the 42 extensions the viewer opens.
#include <algorithm>

#include "formats/GIFImage.h"
#include "formats/GraphicFormats.h"
#include "formats/GraphicReaders.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/Jpeg.h"

TFileFormatList* FileFormatList = nullptr;

namespace {
// The platform registers its own classes before this list exists and keeps them for the
// whole run: taking them out of the picture object would also take out every class derived
// from them (all the readers derive from TBitmap), so later loads in the process would fail.
bool IsPlatformClass(TGraphicClass graphicClass) {
  return graphicClass == TBitmap::ClassRef() || graphicClass == TIcon::ClassRef() ||
         graphicClass == TMetafile::ClassRef() || graphicClass == TJPEGImage::ClassRef();
}

void UnregisterFromPicture(TGraphicClass graphicClass) {
  if (!IsPlatformClass(graphicClass)) TPicture::UnregisterGraphicClass(graphicClass);
}
}  // namespace

TFileFormatList::TFileFormatList() = default;

TFileFormatList::~TFileFormatList() { Clear(); }

void TFileFormatList::Clear() {
  for (const auto& entry : classes_) UnregisterFromPicture(entry->GraphicClass);
  classes_.clear();
  extensions_.clear();
}

int TFileFormatList::FindExtension(const std::string& extension) const {
  if (extension.empty()) return -1;
  for (size_t i = 0; i < extensions_.size(); ++i)
    if (CompareText(extensions_[i]->Extension, extension) == 0) return int(i);
  return -1;
}

int TFileFormatList::FindGraphicClass(TGraphicClass graphicClass) const {
  for (size_t i = 0; i < classes_.size(); ++i)
    if (classes_[i]->GraphicClass == graphicClass) return int(i);
  return -1;
}

std::string TFileFormatList::GetDescription(TGraphicClass graphicClass) const {
  const int index = FindGraphicClass(graphicClass);
  if (index < 0) return std::string();
  return GraphicText(classes_[size_t(index)]->Description.c_str());
}

void TFileFormatList::GetExtensionList(TStrings& list) const {
  list.Clear();
  for (const auto& entry : extensions_) list.Add(entry->Extension);
}

TFormatTypes TFileFormatList::ExtensionFlags(int index) const { return extensions_.at(size_t(index))->Flags; }

std::string TFileFormatList::ExtensionDescription(int index) const {
  return GraphicText(extensions_.at(size_t(index))->Description.c_str());
}

TGraphicClass TFileFormatList::ExtensionClass(int index) const {
  return extensions_.at(size_t(index))->Class->GraphicClass;
}

TFileFormatList::ClassEntry* TFileFormatList::AttachClass(TGraphicClass graphicClass, const std::string& common) {
  const int index = FindGraphicClass(graphicClass);
  ClassEntry* entry;
  if (index < 0) {
    classes_.push_back(std::make_unique<ClassEntry>());
    entry = classes_.back().get();
    entry->GraphicClass = graphicClass;
  } else {
    entry = classes_[size_t(index)].get();
  }
  if (!common.empty()) entry->Description = common;
  ++entry->Count;
  return entry;
}

// One extension fewer for the class; at zero the class entry is freed, and with
// tellPlatform the class also leaves the platform's list.
void TFileFormatList::DetachClass(ClassEntry* entry, bool tellPlatform) {
  if (--entry->Count > 0) return;
  const TGraphicClass graphicClass = entry->GraphicClass;
  classes_.erase(std::find_if(classes_.begin(), classes_.end(), [&](const auto& c) { return c.get() == entry; }));
  if (tellPlatform) UnregisterFromPicture(graphicClass);
}

void TFileFormatList::RegisterFileFormat(const std::string& extension, const std::string& common,
                                         const std::string& individual, TFormatTypes flags, bool replace,
                                         TGraphicClass graphicClass) {
  if (extension.empty()) return;
  const int index = FindExtension(extension);
  ExtensionEntry* entry;
  if (index < 0) {
    extensions_.push_back(std::make_unique<ExtensionEntry>());
    entry = extensions_.back().get();
    entry->Extension = LowerCase(extension);
    entry->Description = individual;
    entry->Flags = flags;
    entry->Class = AttachClass(graphicClass, common);
  } else {
    if (!replace) throw EInvalidGraphic(GraphicTextFmt(gsRegisterTwice, {extension}));
    entry = extensions_[size_t(index)].get();
    if (entry->Class->GraphicClass != graphicClass) {
      ClassEntry* old = entry->Class;
      entry->Class = AttachClass(graphicClass, common);
      // The old class stays in the platform's list: the new registration is the later
      // one there, so it is the one the picture object picks for this extension.
      DetachClass(old, false);
    }
  }
  const std::string& description = entry->Description.empty() ? entry->Class->Description : entry->Description;
  TPicture::RegisterFileFormat(entry->Extension, GraphicText(description.c_str()), graphicClass);
}

void TFileFormatList::UnregisterFileFormat(const std::string& extension, TGraphicClass graphicClass) {
  if (!extension.empty()) {
    const int index = FindExtension(extension);
    if (index < 0) return;
    ClassEntry* owner = extensions_[size_t(index)]->Class;
    extensions_.erase(extensions_.begin() + index);
    DetachClass(owner, true);
    return;
  }
  const int classIndex = FindGraphicClass(graphicClass);
  if (classIndex < 0) return;  // a class that is not registered: nothing to remove
  ClassEntry* entry = classes_[size_t(classIndex)].get();
  for (size_t i = extensions_.size(); i-- > 0 && entry->Count > 0;) {
    if (extensions_[i]->Class != entry) continue;
    extensions_.erase(extensions_.begin() + std::ptrdiff_t(i));
    --entry->Count;
  }
  classes_.erase(classes_.begin() + classIndex);
  UnregisterFromPicture(graphicClass);
}

// ---------------------------------------------------------------------------
// Initialisation and finalisation
// ---------------------------------------------------------------------------

namespace {

struct Registration {
  const char* Extension;
  const char* Common;
  const char* Individual;
  uint8_t Flags;
  TGraphicClass (*Class)();
};

// Raster 8, vector 16, multi-image 4, layered 2, animation 1.
const Registration kRegistrations[] = {
    {"bmp", gsDescBitmaps, "", 8, &TBitmap::ClassRef},
    {"ico", gsDescIcons, "", 8, &TIcon::ClassRef},
    {"wmf", gsDescMetafiles, "", 16, &TMetafile::ClassRef},
    {"emf", gsDescMetafiles, gsDescEnhancedMetafiles, 16, &TMetafile::ClassRef},
    {"jfif", gsDescJPG, gsDescJFIF, 8, &TJPEGImage::ClassRef},
    {"jpg", "", gsDescJPG, 8, &TJPEGImage::ClassRef},
    {"jpe", "", gsDescJPE, 8, &TJPEGImage::ClassRef},
    {"jpeg", "", gsDescJPEG, 8, &TJPEGImage::ClassRef},
    {"thm", "", gsDescJPEG, 8, &TJPEGImage::ClassRef},
    {"rle", gsDescBitmaps, gsDescRLEBitmaps, 8, &TBitmap::ClassRef},
    {"dib", "", gsDescDIB, 8, &TBitmap::ClassRef},
    {"win", gsDescTarga, "", 8, &TTargaGraphic::ClassRef},
    {"vst", "", "", 8, &TTargaGraphic::ClassRef},
    {"vda", "", "", 8, &TTargaGraphic::ClassRef},
    {"tga", "", "", 8, &TTargaGraphic::ClassRef},
    {"icb", "", "", 8, &TTargaGraphic::ClassRef},
    {"tiff", gsDescTIFF, gsDescTIFFExt, 12, &TTIFFGraphic::ClassRef},
    {"tif", "", gsDescTIF, 12, &TTIFFGraphic::ClassRef},
    {"fax", "", gsDescFax, 12, &TTIFFGraphic::ClassRef},
    {"eps", gsDescEPS, "", 8, &TEPSGraphic::ClassRef},
    {"pcx", gsDescPCX, "", 8, &TPCXGraphic::ClassRef},
    {"pcc", "", "", 8, &TPCXGraphic::ClassRef},
    {"scr", "", gsDescSCR, 8, &TPCXGraphic::ClassRef},
    {"rpf", gsDescRLA, "", 8, &TRLAGraphic::ClassRef},
    {"rla", "", "", 8, &TRLAGraphic::ClassRef},
    {"sgi", gsDescSGI, gsDescSGITrueColor, 8, &TSGIGraphic::ClassRef},
    {"rgba", "", gsDescSGITrueColorAlpha, 8, &TSGIGraphic::ClassRef},
    {"rgb", "", gsDescSGITrueColor, 8, &TSGIGraphic::ClassRef},
    {"bw", "", gsDescSGIMono, 8, &TSGIGraphic::ClassRef},
    {"psd", gsDescPSD, "", 10, &TPSDGraphic::ClassRef},
    {"pdd", "", "", 10, &TPSDGraphic::ClassRef},
    {"ppm", gsDescPortable, gsDescPPM, 8, &TPPMGraphic::ClassRef},
    {"pgm", "", gsDescPGM, 8, &TPPMGraphic::ClassRef},
    {"pbm", "", gsDescPBM, 8, &TPPMGraphic::ClassRef},
    // The any-map extension of the same three formats, described as their class.
    {"pnm", "", "", 8, &TPPMGraphic::ClassRef},
    {"cel", gsDescCEL, "", 8, &TAutodeskGraphic::ClassRef},
    {"pic", gsDescCEL, "", 8, &TAutodeskGraphic::ClassRef},
    {"pcd", gsDescPCD, "", 8, &TPCDGraphic::ClassRef},
    {"gif", gsDescGIF, "", 13, &TGIFGraphic::ClassRef},
    {"cut", gsDescCUT, "", 8, &TCUTGraphic::ClassRef},
    {"psp", gsDescPSP, "", 24, &TPSPGraphic::ClassRef},
    {"png", gsDescPNG, "", 8, &TPNGGraphic::ClassRef},
};

}  // namespace

void InitializeGraphicFormats() {
  if (FileFormatList != nullptr) return;
  // The GIF image class registers "GIF" first, so that the list's own "gif" entry is the later one.
  InitializeGIFImage();
  auto list = std::make_unique<TFileFormatList>();
  for (const Registration& r : kRegistrations)
    list->RegisterFileFormat(r.Extension, r.Common, r.Individual, TFormatTypes::FromBits(r.Flags), false, r.Class());
  FileFormatList = list.release();
}

void FinalizeGraphicFormats() {
  if (FileFormatList == nullptr) return;
  for (TGraphicClass c :
       {TPSPGraphic::ClassRef(), TPSDGraphic::ClassRef(), TTargaGraphic::ClassRef(), TTIFFGraphic::ClassRef(),
        TSGIGraphic::ClassRef(), TPCXGraphic::ClassRef(), TAutodeskGraphic::ClassRef(), TPCDGraphic::ClassRef(),
        TPPMGraphic::ClassRef(), TCUTGraphic::ClassRef(), TGIFGraphic::ClassRef(), TRLAGraphic::ClassRef()})
    FileFormatList->UnregisterFileFormat("", c);
  FileFormatList->UnregisterFileFormat("rle", TBitmap::ClassRef());
  FileFormatList->UnregisterFileFormat("dib", TBitmap::ClassRef());
  FileFormatList->UnregisterFileFormat("", TPNGGraphic::ClassRef());
  delete FileFormatList;
  FileFormatList = nullptr;
  FinalizeGIFImage();
}
