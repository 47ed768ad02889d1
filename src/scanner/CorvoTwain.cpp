#include "scanner/CorvoTwain.h"

#include <cstring>

#include "platform/gui/Controls.h"

// ---------------------------------------------------------------------------
// TTwainIdentity
// ---------------------------------------------------------------------------

namespace {

std::string ReadText(const char (&field)[34]) {
  size_t n = 0;
  while (n < sizeof field && field[n]) ++n;
  return std::string(field, n);
}

void WriteText(char (&field)[34], const std::string& value) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, value.data(), std::min<size_t>(value.size(), 32));
}

}  // namespace

TTwainIdentity::TTwainIdentity(TObject* AOwner) : owner_(AOwner) {
  std::memset(&Structure_, 0, sizeof Structure_);
  Structure_.ProtocolMajor = 1;
  Structure_.ProtocolMinor = 9;
  SetMajorVersion(1);
  SetMinorVersion(0);
  SetLanguage(tlUserLocale);
  SetCountryCode(1);
  SetGroups({tgControl, tgImage});
  SetVersionInfo("Application name");
  SetManufacturer("Application manufacturer");
  SetProductFamily("App product family");
  SetProductName("App product name");
}

void TTwainIdentity::Assign(TPersistent* Source) {
  if (auto* other = dynamic_cast<TTwainIdentity*>(Source)) {
    Structure_ = other->Structure_;
    return;
  }
  TPersistent::Assign(Source);
}

TTwainLanguage TTwainIdentity::Language() const {
  const int ordinal = int(TW_INT16(Structure_.Version.Language)) + 1;
  return ordinal >= tlUserLocale && ordinal <= tlVietnamese ? TTwainLanguage(ordinal) : tlUserLocale;
}

void TTwainIdentity::SetLanguage(TTwainLanguage value) { Structure_.Version.Language = TW_UINT16(int(value) - 1); }

TTwainGroups TTwainIdentity::Groups() const {
  TTwainGroups groups{tgControl};
  if (Structure_.SupportedGroups & DG_IMAGE) groups.Include(tgImage);
  if (Structure_.SupportedGroups & DG_AUDIO) groups.Include(tgAudio);
  return groups;
}

void TTwainIdentity::SetGroups(TTwainGroups value) {
  Structure_.SupportedGroups = DG_CONTROL | (value.Contains(tgImage) ? DG_IMAGE : 0) |
                               (value.Contains(tgAudio) ? DG_AUDIO : 0);
}

std::string TTwainIdentity::VersionInfo() const { return ReadText(Structure_.Version.Info); }
void TTwainIdentity::SetVersionInfo(const std::string& value) { WriteText(Structure_.Version.Info, value); }
std::string TTwainIdentity::Manufacturer() const { return ReadText(Structure_.Manufacturer); }
void TTwainIdentity::SetManufacturer(const std::string& value) { WriteText(Structure_.Manufacturer, value); }
std::string TTwainIdentity::ProductFamily() const { return ReadText(Structure_.ProductFamily); }
void TTwainIdentity::SetProductFamily(const std::string& value) { WriteText(Structure_.ProductFamily, value); }
std::string TTwainIdentity::ProductName() const { return ReadText(Structure_.ProductName); }
void TTwainIdentity::SetProductName(const std::string& value) { WriteText(Structure_.ProductName, value); }

// ---------------------------------------------------------------------------
// TCorvoTwain
// ---------------------------------------------------------------------------

TCorvoTwain::TCorvoTwain(TComponent* AOwner) : TComponent(AOwner) {
  windowHandle_ = CreateMessageWindow(
      [this](TWindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp) { return VirtualWindowProc(w, m, wp, lp); });
  info_ = std::make_unique<TTwainIdentity>(this);
  appInfo_ = &info_->Structure();
}

TCorvoTwain::~TCorvoTwain() {
  SetLibraryLoaded(false);
  DestroyMessageWindow(windowHandle_);
  ClearSourceList();
}

bool TCorvoTwain::LoadTwainLibrary() {
  if (libraryLoaded_) return true;
  // The source manager is looked for in the system's library folders only, never in the
  // current or the temporary folder, where anyone could leave a library to be run.
  TTwainLibrary library = TwainLoadLibrary();
  if (!library) return false;
  DSMENTRYPROC entry = TwainGetEntry(library);
  if (!entry) {
    TwainFreeLibrary(library);
    return false;
  }
  libraryHandle_ = library;
  DSM_Entry = entry;
  libraryLoaded_ = true;
  return true;
}

void TCorvoTwain::UnloadTwainLibrary() {
  if (!libraryLoaded_) return;
  SetSourceManagerLoaded(false);
  if (TwainFreeLibrary(libraryHandle_)) {
    libraryHandle_ = nullptr;
    DSM_Entry = nullptr;
    libraryLoaded_ = false;
  }
}

void TCorvoTwain::SetLibraryLoaded(bool value) {
  if (value == libraryLoaded_) return;
  if (value)
    LoadTwainLibrary();
  else
    UnloadTwainLibrary();
}

TW_UINT16 TCorvoTwain::DSMCall(pTW_IDENTITY Dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data) {
  if (!DSM_Entry) return TWRC_FAILURE;
  return DSM_Entry(appInfo_, Dest, DG, DAT, MSG, Data);
}

bool TCorvoTwain::OpenSourceManager() {
  if (!libraryLoaded_) return false;
  if (sourceManagerLoaded_) return true;
  TWindowHandle window = windowHandle_;
  if (DSMCall(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &window) == TWRC_SUCCESS) sourceManagerLoaded_ = true;
  return sourceManagerLoaded_;
}

bool TCorvoTwain::CloseSourceManager(bool Forced) {
  if (libraryLoaded_ && sourceManagerLoaded_) {
    ClearSourceList();
    if (!Forced) {
      TWindowHandle window = windowHandle_;
      const bool closed = DSMCall(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &window) == TWRC_SUCCESS;
      if (closed) sourceManagerLoaded_ = false;
      return closed;
    }
  }
  sourceManagerLoaded_ = false;
  return true;
}

void TCorvoTwain::SetSourceManagerLoaded(bool value) {
  if (!libraryLoaded_ || value == sourceManagerLoaded_) return;
  if (value)
    OpenSourceManager();
  else
    CloseSourceManager(false);
}

bool TCorvoTwain::EnumerateSources() {
  if (!libraryLoaded_ || !sourceManagerLoaded_) return false;
  ClearSourceList();
  auto* source = new TTwainSource(this);
  TW_UINT16 rc = DSMCall(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &source->Structure());
  while (rc == TWRC_SUCCESS) {
    source->transferMode_ = transferMode_;
    source->index_ = sourceList_.Count();
    sourceList_.Add(source);
    ownedSources_.emplace_back(source);
    source = new TTwainSource(this);
    rc = DSMCall(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &source->Structure());
  }
  delete source;
  enumerated_ = true;
  return true;
}

void TCorvoTwain::ClearSourceList() {
  // Every source is freed, also those past the indices the list reaches.
  std::vector<std::unique_ptr<TTwainSource>> sources = std::move(ownedSources_);
  ownedSources_.clear();
  sourceList_.Clear();
  enumerated_ = false;
  sources.clear();
}

int TCorvoTwain::SourceCount() {
  if (!libraryLoaded_ || !sourceManagerLoaded_) return 0;
  if (!enumerated_) EnumerateSources();
  return sourceList_.Count();
}

int TCorvoTwain::FindSource(const TW_IDENTITY& Identity) {
  for (int i = 0; i < sourceList_.Count() && i <= MaxPointerListIndex; ++i) {
    auto* source = static_cast<TTwainSource*>(sourceList_.Items(i));
    if (source && std::memcmp(&source->Structure(), &Identity, sizeof(TW_IDENTITY)) == 0) return i;
  }
  return -1;
}

int TCorvoTwain::GetDefaultSource() {
  if (!sourceManagerLoaded_) return 0;
  TW_IDENTITY identity;
  std::memset(&identity, 0, sizeof identity);
  if (DSMCall(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &identity) != TWRC_SUCCESS) return 0;
  if (!enumerated_) EnumerateSources();
  return FindSource(identity);
}

TTwainSource* TCorvoTwain::GetSource(int Index) {
  if (!libraryLoaded_ || !sourceManagerLoaded_) return nullptr;
  const int count = SourceCount();
  if (Index >= 0 && Index < count && Index <= MaxPointerListIndex)
    return static_cast<TTwainSource*>(sourceList_.Items(Index));
  if (Index == -1 && count > 0) {
    const int def = GetDefaultSource();
    return def >= 0 ? GetSource(def) : nullptr;
  }
  return nullptr;
}

int TCorvoTwain::SelectSource() {
  if (!libraryLoaded_ || !sourceManagerLoaded_ || selecting_) return -1;
  selecting_ = true;
  int index = -1;
  TW_IDENTITY identity;
  std::memset(&identity, 0, sizeof identity);
  if (DSMCall(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &identity) == TWRC_SUCCESS) {
    if (!enumerated_) EnumerateSources();
    index = FindSource(identity);
    // A source attached since the list was made is only found in a new list.
    if (index < 0 && EnumerateSources()) index = FindSource(identity);
  }
  selecting_ = false;
  return index;
}

intptr_t TCorvoTwain::VirtualWindowProc(TWindowHandle Window, uint32_t Message, uintptr_t WParam, intptr_t LParam) {
  if (openSourceCount_ < 1) return 0;
  TWindowMsg msg;
  msg.hwnd = Window;
  msg.message = Message;
  msg.wParam = WParam;
  msg.lParam = LParam;
  if (Mouse) {
    const TPoint p = Mouse->CursorPos();
    msg.ptX = p.X;
    msg.ptY = p.Y;
  }
  for (int i = 0; i < sourceList_.Count() && i <= MaxPointerListIndex; ++i) {
    auto* source = static_cast<TTwainSource*>(sourceList_.Items(i));
    if (source && source->Loaded() && source->Enabled() && source->ProcessMessage(msg)) return 0;
  }
  return 0;
}
