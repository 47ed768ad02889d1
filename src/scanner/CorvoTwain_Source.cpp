// A source of the scanner component: opening, enabling, claiming its messages, the capability
// queries and the transfer of the pictures it has ready.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

#include "platform/graphics/Graphics.h"
#include "platform/rtl/SysUtils.h"
#include "scanner/CorvoTwain.h"

TTwainSource::TTwainSource(TCorvoTwain* AOwner) : TTwainIdentity(AOwner), twain_(AOwner) {}

TTwainSource::~TTwainSource() { SetLoaded(false); }

TW_UINT16 TTwainSource::Call(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data) {
  return twain_->DSMCall(&Structure_, DG, DAT, MSG, Data);
}

bool TTwainSource::SetLoaded(bool value) {
  if (value == loaded_) return true;
  if (value) {
    if (twain_->DSMCall(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &Structure_) != TWRC_SUCCESS) return false;
    ++twain_->openSourceCount_;
    loaded_ = true;
    return true;
  }
  SetEnabled(false);
  const bool closed = twain_->DSMCall(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &Structure_) == TWRC_SUCCESS;
  if (closed) --twain_->openSourceCount_;
  loaded_ = false;
  return closed;
}

bool TTwainSource::SetEnabled(bool value) {
  if (!loaded_ || value == enabled_) return true;
  if (value) {
    TW_USERINTERFACE ui;
    std::memset(&ui, 0, sizeof ui);
    ui.ShowUI = showUI_ ? 0xFFFF : 0;
    ui.ModalUI = modalUI_ ? 0xFFFF : 0;
    ui.hParent = reinterpret_cast<TW_HANDLE>(twain_->WindowHandle());
    // Set first, so that messages the source sends during the call reach it.
    enabled_ = true;
    const TW_UINT16 rc = Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    // A source that refused stays disabled, so a later enable is tried again.
    if (rc != TWRC_SUCCESS && rc != TWRC_CHECKSTATUS) enabled_ = false;
    return enabled_;
  }
  TW_USERINTERFACE ui;
  std::memset(&ui, 0, sizeof ui);
  ui.hParent = reinterpret_cast<TW_HANDLE>(twain_->WindowHandle());
  if (Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui) != TWRC_SUCCESS) return false;
  enabled_ = false;
  if (twain_->OnSourceDisable) twain_->OnSourceDisable(twain_, index_);
  return true;
}

bool TTwainSource::ProcessMessage(const TWindowMsg& Msg) {
  TW_EVENT event;
  event.pEvent = const_cast<TWindowMsg*>(&Msg);
  event.TWMessage = MSG_NULL;
  if (Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) != TWRC_DSEVENT) return false;
  switch (event.TWMessage) {
    case MSG_XFERREADY:
      // A picture delivered while the previous transfer still runs (its handler pumping
      // messages) waits for that transfer's own loop.
      if (!transferring_) TransferImages();
      break;
    case MSG_CLOSEDSREQ:
      if (twain_->OnAcquireCancel) twain_->OnAcquireCancel(twain_, index_);
      SetEnabled(false);
      break;
    default: break;
  }
  return true;
}

TW_UINT16 TTwainSource::GetConditionCode() {
  TW_STATUS status;
  std::memset(&status, 0, sizeof status);
  Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
  return status.ConditionCode;
}

// ---------------------------------------------------------------------------
// Capabilities
// ---------------------------------------------------------------------------

TCapabilityRet TTwainSource::GetCapability(TW_UINT16 Capability, TW_HANDLE& Container, TW_UINT16& ConType, int Mode) {
  Container = nullptr;
  if (!loaded_) return capWrongState;
  static const TW_UINT16 messages[] = {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET};
  TW_CAPABILITY cap;
  cap.Cap = Capability;
  cap.ConType = TWON_DONTCARE16;
  cap.hContainer = nullptr;
  if (Call(DG_CONTROL, DAT_CAPABILITY, messages[std::clamp(Mode, 0, 3)], &cap) == TWRC_SUCCESS) {
    Container = cap.hContainer;
    ConType = cap.ConType;
    return capOk;
  }
  switch (GetConditionCode()) {
    case TWCC_LOWMEMORY: return capLowMemory;
    case TWCC_SEQERROR: return capWrongState;
    case TWCC_CAPUNSUPPORTED: return capUnsupported;
    case TWCC_CAPSEQERROR: return capSequenceError;
    default: return capFailed;
  }
}

TCapabilityRet TTwainSource::GetCapabilityList(TW_UINT16 Capability, int Mode, TW_UINT16& ItemType, int& CurrentIndex,
                                               int& DefaultIndex, std::vector<std::string>& Items) {
  TW_HANDLE container = nullptr;
  TW_UINT16 conType = 0;
  const TCapabilityRet ret = GetCapability(Capability, container, conType, Mode);
  if (ret != capOk) return ret;
  return GetCapabilityList(container, conType, ItemType, CurrentIndex, DefaultIndex, Items);
}

TCapabilityRet TTwainSource::GetCapabilityList(TW_HANDLE Container, TW_UINT16 ConType, TW_UINT16& ItemType,
                                               int& CurrentIndex, int& DefaultIndex, std::vector<std::string>& Items) {
  Items.clear();
  const size_t size = TwainHandleSize(Container);
  const size_t header = offsetof(TW_ENUMERATION, ItemList);
  const auto* e = static_cast<const TW_ENUMERATION*>(TwainLockHandle(Container));
  if (ConType != TWON_ENUMERATION || !e || size < header) {
    TwainUnlockHandle(Container);
    TwainFreeHandle(Container);
    return capWrongContainer;
  }
  ItemType = e->ItemType;
  CurrentIndex = int(e->CurrentIndex);
  DefaultIndex = int(e->DefaultIndex);
  const size_t itemSize = size_t(std::max(TwainItemSize(ItemType), 1));
  // Only the items the block really holds are read.
  const size_t count = std::min<size_t>(e->NumItems, (size - header) / itemSize);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* item = e->ItemList + i * itemSize;
    std::string text;
    switch (ItemType) {
      case TWTY_INT8: text = IntToStr(int8_t(item[0])); break;
      case TWTY_UINT8: text = IntToStr(item[0]); break;
      case TWTY_INT16:
      case TWTY_UINT16:
      case TWTY_BOOL: {
        uint16_t v;
        std::memcpy(&v, item, 2);
        text = IntToStr(ItemType == TWTY_INT16 ? int(int16_t(v)) : int(v));
        break;
      }
      case TWTY_INT32: {
        int32_t v;
        std::memcpy(&v, item, 4);
        text = IntToStr(v);
        break;
      }
      case TWTY_UINT32: {
        uint32_t v;
        std::memcpy(&v, item, 4);
        text = std::to_string(v);
        break;
      }
      case TWTY_FIX32: {
        TW_FIX32 v;
        std::memcpy(&v, item, 4);
        text = IntToStr(v.Whole) + std::string(1, DecimalSeparator()) + IntToStr(v.Frac);
        break;
      }
      case TWTY_STR32:
      case TWTY_STR64:
      case TWTY_STR128:
      case TWTY_STR255: text = std::string(reinterpret_cast<const char*>(item), strnlen(reinterpret_cast<const char*>(item), itemSize)); break;
      default: break;
    }
    Items.push_back(text);
  }
  TwainUnlockHandle(Container);
  TwainFreeHandle(Container);
  return capOk;
}

namespace {

// The item the mode names: the default one for mode 2, else the current one.
bool ChosenItem(const std::vector<std::string>& items, int mode, int current, int def, int& value) {
  const int index = mode == 2 ? def : current;
  if (index < 0 || index >= int(items.size())) return false;
  value = StrToIntDef(items[size_t(index)], -1);
  return true;
}

}  // namespace

TCapabilityRet TTwainSource::GetICapUnits(int Mode, TTwainUnits& Units, TTwainUnit& Current) {
  Units = TTwainUnits();
  Current = tuUnknown;
  TW_UINT16 itemType = 0;
  int current = 0, def = 0;
  std::vector<std::string> items;
  const TCapabilityRet ret = GetCapabilityList(ICAP_UNITS, Mode, itemType, current, def, items);
  if (ret != capOk) return ret;
  if (itemType != TWTY_UINT16) return capUnsupported;
  auto unitOf = [](int code) { return code >= 0 && code <= 5 ? TTwainUnit(code) : tuUnknown; };
  for (const std::string& item : items) Units.Include(unitOf(StrToIntDef(item, -1)));
  int value = -1;
  if (ChosenItem(items, Mode, current, def, value)) Current = unitOf(value);
  return capOk;
}

TCapabilityRet TTwainSource::GetIPixelFlavor(int Mode, TTwainPixelFlavors& Flavors, TTwainPixelFlavor& Current) {
  Flavors = TTwainPixelFlavors();
  Current = tpfUnknown;
  TW_UINT16 itemType = 0;
  int current = 0, def = 0;
  std::vector<std::string> items;
  const TCapabilityRet ret = GetCapabilityList(ICAP_PIXELFLAVOR, Mode, itemType, current, def, items);
  if (ret != capOk) return ret;
  if (itemType != TWTY_UINT16) return capUnsupported;
  auto flavorOf = [](int code) { return code == 0 || code == 1 ? TTwainPixelFlavor(code) : tpfUnknown; };
  for (const std::string& item : items) Flavors.Include(flavorOf(StrToIntDef(item, -1)));
  int value = -1;
  if (ChosenItem(items, Mode, current, def, value)) Current = flavorOf(value);
  return capOk;
}

// ---------------------------------------------------------------------------
// The transfer of the pictures
// ---------------------------------------------------------------------------

void TTwainSource::TransferImages() {
  transferring_ = true;
  bool Cancel = false;
  for (;;) {
    TW_UINT16 result = TWRC_FAILURE;
    std::unique_ptr<TBitmap> bitmap;
    TW_SETUPFILEXFER fileSetup;
    std::memset(&fileSetup, 0, sizeof fileSetup);
    TW_HANDLE nativeHandle = nullptr;
    switch (transferMode_) {
      case ttmFile:
        if (twain_->OnSourceSetupFileXfer) twain_->OnSourceSetupFileXfer(twain_, index_);
        Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &fileSetup);
        result = Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
        break;
      case ttmNative: result = Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &nativeHandle); break;
      case ttmMemory: {
        TW_IMAGEINFO info;
        result = PrepareMemXfer(bitmap, info);
        if (result == TWRC_SUCCESS) result = MemoryXfer(*bitmap, info.PixelType);
        break;
      }
    }
    if (result == TWRC_CANCEL) {
      if (twain_->OnAcquireCancel) twain_->OnAcquireCancel(twain_, index_);
      break;
    }
    if (result == TWRC_XFERDONE) {
      switch (transferMode_) {
        case ttmFile:
          if (twain_->OnSourceFileTransfer) {
            const std::string name(fileSetup.FileName, strnlen(fileSetup.FileName, sizeof fileSetup.FileName));
            const TTwainFormat format = fileSetup.Format <= 9 ? TTwainFormat(fileSetup.Format) : tfUnknown;
            twain_->OnSourceFileTransfer(twain_, index_, name, format, Cancel);
          }
          break;
        case ttmNative: DeliverNative(nativeHandle, Cancel); break;
        case ttmMemory:
          // The picture lives only for the event; it is freed whether or not anyone listens.
          if (twain_->OnTwainAcquire) twain_->OnTwainAcquire(twain_, index_, bitmap.get(), Cancel);
          break;
      }
    } else {
      if (nativeHandle) TwainFreeHandle(nativeHandle);
      const int condition = GetConditionCode();
      if (twain_->OnAcquireError) twain_->OnAcquireError(twain_, index_, result, condition);
    }
    bitmap.reset();
    TW_PENDINGXFERS pending;
    std::memset(&pending, 0, sizeof pending);
    if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS || pending.Count == 0) break;
    if (Cancel) {
      std::memset(&pending, 0, sizeof pending);
      if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending) == TWRC_SUCCESS) break;
    }
  }
  transferring_ = false;
  SetEnabled(false);
}

void TTwainSource::DeliverNative(TW_HANDLE Handle, bool& Cancel) {
  const auto* dib = static_cast<const uint8_t*>(TwainLockHandle(Handle));
  if (dib && twain_->OnTwainAcquire) {
    // A packed DIB: header, colour table and bits, as the clipboard holds one.
    try {
      TBitmap bitmap;
      std::vector<uint8_t> bytes(dib, dib + TwainHandleSize(Handle));
      bitmap.LoadFromClipboardFormat(CF_DIB, bytes, TPalette());
      twain_->OnTwainAcquire(twain_, index_, &bitmap, Cancel);
    } catch (const std::exception&) {
      if (twain_->OnAcquireError) twain_->OnAcquireError(twain_, index_, TWRC_FAILURE, TWCC_BADVALUE);
    }
  }
  TwainUnlockHandle(Handle);
  TwainFreeHandle(Handle);
}

TW_UINT16 TTwainSource::PrepareMemXfer(std::unique_ptr<TBitmap>& Bitmap, TW_IMAGEINFO& Info) {
  std::memset(&Info, 0, sizeof Info);
  const TW_UINT16 rc = Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &Info);
  if (rc != TWRC_SUCCESS) return rc;
  // Only sizes a bitmap can hold; a length of -1 (not known in advance) cannot be laid out.
  if (Info.ImageWidth < 1 || Info.ImageLength < 1 || Info.ImageWidth > MaxBitmapSide ||
      Info.ImageLength > MaxBitmapSide)
    return TWRC_FAILURE;
  TPixelFormat format;
  switch (Info.BitsPerPixel) {
    case 1: format = pf1bit; break;
    case 8: format = pf8bit; break;
    case 24: format = pf24bit; break;
    // Other depths (48-bit colour, 16-bit grey) would be laid out wrongly: refused.
    default: return TWRC_FAILURE;
  }

  // The resolution in pixels per metre, from inches or centimetres.
  TTwainUnits units;
  TTwainUnit unit = tuUnknown;
  if (GetICapUnits(0, units, unit) != capOk) unit = tuUnknown;
  auto perMetre = [unit](const TW_FIX32& r) {
    const double v = Fix32ToFloat(r);
    if (unit == tuInches) return int(std::lround(v * 100.0 / 2.54));
    if (unit == tuCentimeters) return int(std::lround(v * 100.0));
    return 0;
  };
  xPelsPerMeter_ = perMetre(Info.XResolution);
  yPelsPerMeter_ = perMetre(Info.YResolution);

  TPalette palette;
  switch (Info.PixelType) {
    case TWPT_BW: {
      TTwainPixelFlavors flavors;
      TTwainPixelFlavor flavor = tpfChocolate;
      if (GetIPixelFlavor(0, flavors, flavor) != capOk) flavor = tpfChocolate;
      if (flavor == tpfVanilla)
        palette = TPalette({PaletteEntry(255, 255, 255), PaletteEntry(0, 0, 0)});
      else
        palette = TPalette({PaletteEntry(0, 0, 0), PaletteEntry(255, 255, 255)});
      break;
    }
    case TWPT_RGB: break;
    case TWPT_GRAY:
    default: {
      TW_PALETTE8 source;
      std::memset(&source, 0, sizeof source);
      if (Info.PixelType != TWPT_GRAY && Call(DG_IMAGE, DAT_PALETTE8, MSG_GET, &source) == TWRC_SUCCESS) {
        std::vector<TPaletteEntry> entries;
        for (int i = 0; i < std::min<int>(source.NumColors, 256); ++i)
          entries.push_back(PaletteEntry(source.Colors[i].Channel1, source.Colors[i].Channel2, source.Colors[i].Channel3));
        palette = TPalette(entries);
      } else {
        std::vector<TPaletteEntry> greys;
        for (int i = 0; i < 256; ++i) greys.push_back(PaletteEntry(uint8_t(i), uint8_t(i), uint8_t(i)));
        palette = TPalette(greys);
      }
      break;
    }
  }
  try {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(format);
    bitmap->SetSize(Info.ImageWidth, Info.ImageLength);
    if (format != pf24bit) bitmap->SetPalette(palette);
    Bitmap = std::move(bitmap);
  } catch (const std::exception&) {
    return TWRC_FAILURE;
  }
  return TWRC_SUCCESS;
}

TW_UINT16 TTwainSource::MemoryXfer(TBitmap& Bitmap, TW_INT16 PixelType) {
  const int width = Bitmap.Width(), height = Bitmap.Height();
  const size_t rowSize = size_t((int64_t(Bitmap.BitsPerPixel()) * width + 31) / 32 * 4);
  TW_SETUPMEMXFER setup;
  std::memset(&setup, 0, sizeof setup);
  // The buffer the source asks for, when it names a usable one: whole rows of at most 64 MiB.
  uint32_t preferred = 0;
  if (Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup) == TWRC_SUCCESS && setup.Preferred != TWON_DONTCARE32)
    preferred = setup.Preferred;
  if (preferred < rowSize || preferred > (uint32_t(64) << 20))
    preferred = uint32_t(std::max<size_t>(rowSize, 64 * 1024));
  std::vector<uint8_t> buffer(preferred);

  TW_IMAGEMEMXFER xfer;
  std::memset(&xfer, 0xFF, sizeof xfer);
  xfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
  xfer.Memory.Length = preferred;
  xfer.Memory.TheMem = buffer.data();

  int row = 0;       // the next row of the picture, from the top
  size_t column = 0;  // bytes of that row filled
  TW_UINT16 result;
  do {
    result = Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
    if (result != TWRC_SUCCESS && result != TWRC_XFERDONE) break;
    // Never more than the buffer holds, and nothing past the last row.
    size_t left = std::min<size_t>(xfer.BytesWritten, preferred);
    const uint8_t* strip = buffer.data();
    while (left > 0 && row < height) {
      const size_t n = std::min(left, rowSize - column);
      std::memcpy(Bitmap.ScanLine(row) + column, strip, n);
      strip += n;
      left -= n;
      column += n;
      if (column == rowSize) {
        if (PixelType == TWPT_RGB) {
          uint8_t* p = Bitmap.ScanLine(row);
          for (int x = 0; x < width; ++x) std::swap(p[3 * x], p[3 * x + 2]);
        }
        ++row;
        column = 0;
        if (twain_->OnAcquireProgress) twain_->OnAcquireProgress(twain_, index_, &Bitmap, row, height - 1);
      }
    }
    xfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
    xfer.Memory.Length = preferred;
    xfer.Memory.TheMem = buffer.data();
  } while (result == TWRC_SUCCESS);
  return result;
}
