// The source manager: answers the TWAIN calls of the scanner component from the system's
// scanner library (SANE).
//
// Manager states: 2 loaded, 3 open. Source states: 4 open, 5 enabled (the scan dialog or the
// scan runs), 6 a picture is ready, 7 it is being transferred. A call out of order fails with
// TWCC_SEQERROR. Each SANE device is one source; its identity is made the same way every time
// (stable Id, texts zero-filled), because the component finds sources by comparing the whole
// record. Capabilities answer in inches: ICAP_PIXELTYPE is the SANE "mode" (with "depth" 1 for
// line art on devices without a line-art mode), ICAP_XRESOLUTION / ICAP_YRESOLUTION the SANE
// "resolution", ICAP_PHYSICALWIDTH / ICAP_PHYSICALHEIGHT and DAT_IMAGELAYOUT the area
// "tl-x" .. "br-y"; line art is vanilla (1 = black, as SANE sends it).
//
// A scan runs in a worker thread and buffers each page whole (SANE may not know the height in
// advance); the application hears of it through a message posted to its window: XFERREADY
// when a page is complete or the scan failed (the transfer then fails with the condition),
// CLOSEDSREQ when the user cancelled. No part of a failed or cancelled page is ever handed out.
//
// Looking for the devices can take seconds (a network scanner that does not answer): the
// search runs in a worker thread too, while the program waits busy (Esc stops waiting), and
// the list the source selection finds serves the enumeration that follows it, so that the
// user waits once.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <map>
#include <memory>
#include <thread>
#include <utility>

#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/Threads.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/services/ScannerDialogs.h"
#include "platform/services/ScannerSane.h"
#include "platform/services/Twain.h"

namespace {

// Posted to the application's window: wParam the source's Id, lParam the enable generation in
// its upper bits and MSG_XFERREADY or MSG_CLOSEDSREQ in its low 16 bits.
constexpr uint32_t kSourceMessage = WM_APP + 0x0E1;
// Posted to the manager's own window: wParam the source's Id, lParam the enable generation.
constexpr uint32_t kShowUi = WM_APP + 1, kScanNote = WM_APP + 2;

constexpr int stManagerLoaded = 2, stManagerOpen = 3;
constexpr int stSourceOpen = 4, stEnabled = 5, stReady = 6, stTransferring = 7;

struct Source {
  TW_IDENTITY identity{};
  std::string name;  // the device's SANE name
  std::string title;
  std::unique_ptr<TScanDevice> device;
  TScanChoices choices;
  TScanSettings current, defaults;
  int state = stSourceOpen;
  TWindowHandle parent = 0;
  bool showUI = false;
  intptr_t generation = 0;  // counts the enables; notes of an older one are dropped
  TW_UINT16 condition = TWCC_SUCCESS;
  bool readyPosted = false;
  // A failed scan, reported by the next transfer.
  TW_UINT16 failure = TWCC_SUCCESS;
  bool failureReported = false;
  // The page being transferred.
  TScanPage page;
  bool havePage = false, pageDone = false;
  int nextRow = 0;
  std::unique_ptr<TTwainProgressForm> progress;  // freed before the device
};

// One search for the devices: the worker fills found, then hands done to the GUI thread.
struct DeviceSearch {
  std::vector<TScanDeviceInfo> found;
  std::atomic<bool> done{false};
};

struct Manager {
  std::unique_ptr<TSaneLibrary> sane;
  std::shared_ptr<DeviceSearch> search;  // the one running, or the last
  std::thread searcher;
  bool selectionList = false;  // devices holds the list of a selection not enumerated yet
  int refs = 0;
  int state = stManagerLoaded;
  TWindowHandle parent = 0;
  TWindowHandle own = 0;
  std::vector<TScanDeviceInfo> devices;
  size_t enumPos = 0;
  std::map<std::string, TW_UINT32> ids;  // SANE name -> Id, stable for the session
  TW_UINT32 lastId = 0;
  std::map<TW_UINT32, std::unique_ptr<Source>> sources;
  TW_UINT16 condition = TWCC_SUCCESS;
};

Manager* g = nullptr;

// The kind, resolution and area last scanned with, by device, for the rest of the run: the
// scan dialog starts from them instead of the device's own defaults.
std::map<std::string, TScanSettings>& LastScanSettings() {
  static std::map<std::string, TScanSettings> last;
  return last;
}

// --- identities ---

void SetText(char (&field)[34], const std::string& text) {
  std::memset(field, 0, sizeof field);
  size_t n = std::min<size_t>(text.size(), 32);
  // Never cut a UTF-8 character in two.
  while (n > 0 && n < text.size() && (uint8_t(text[n]) & 0xC0) == 0x80) --n;
  std::memcpy(field, text.data(), n);
}

TW_UINT32 IdFor(const std::string& name) {
  auto it = g->ids.find(name);
  if (it != g->ids.end()) return it->second;
  return g->ids[name] = ++g->lastId;
}

// A name of at most 32 characters that tells devices apart.
std::string Alias(const std::string& name, TW_UINT32 id) {
  if (name.size() <= 32) return name;
  return name.substr(0, 24) + "~" + std::to_string(id);
}

TW_IDENTITY IdentityOf(const TScanDeviceInfo& d) {
  TW_IDENTITY id;
  std::memset(&id, 0, sizeof id);
  id.Id = IdFor(d.Name);
  id.Version.MajorNum = 1;
  id.Version.MinorNum = 0;
  id.Version.Language = 13;  // US English
  id.Version.Country = 1;
  SetText(id.Version.Info, "SANE device");
  id.ProtocolMajor = 1;
  id.ProtocolMinor = 9;
  id.SupportedGroups = DG_CONTROL | DG_IMAGE;
  SetText(id.Manufacturer, d.Vendor);
  SetText(id.ProductFamily, d.Model);
  SetText(id.ProductName, Alias(d.Name, id.Id));
  return id;
}

// The devices attached now into found; false when the user stopped waiting (Esc). The
// program waits busy while the worker looks, with a notice when that takes more than a
// moment; a call during a search waits for that search (one the user stopped goes on, and
// the next call waits for it).
bool SearchDevices(std::vector<TScanDeviceInfo>& found) {
  if (!g->search || g->search->done) {
    if (g->searcher.joinable()) g->searcher.join();
    auto search = std::make_shared<DeviceSearch>();
    g->search = search;
    g->searcher = std::thread([sane = g->sane.get(), search] {
      search->found = sane->Devices();
      TThread::Queue(nullptr, [search] { search->done = true; });
    });
  }
  const std::shared_ptr<DeviceSearch> search = g->search;
  if (!WaitBusy([&] { return search->done.load(); }, [] { return std::make_unique<TTwainSearchForm>(nullptr); }))
    return false;
  // Meanwhile the library may have been let go (which waits for the worker).
  if (g && g->search == search && g->searcher.joinable()) g->searcher.join();
  found = search->found;
  return true;
}

// Looks for the devices again: TWRC_SUCCESS; TWRC_CANCEL when the user stopped the search;
// TWRC_FAILURE when the library was let go meanwhile (g is gone).
TW_UINT16 RefreshDevices() {
  std::vector<TScanDeviceInfo> found;
  const bool searched = SearchDevices(found);
  if (!g) return TWRC_FAILURE;
  if (!searched) return TWRC_CANCEL;
  g->devices = std::move(found);
  for (const TScanDeviceInfo& d : g->devices) IdFor(d.Name);
  return TWRC_SUCCESS;
}

std::string TitleOf(const TScanDeviceInfo& d) {
  std::string t = d.Vendor + " " + d.Model;
  return t == " " ? d.Name : t;
}

// --- results ---

TW_UINT16 Fail(TW_UINT16 condition) {
  g->condition = condition;
  return TWRC_FAILURE;
}

TW_UINT16 Fail(Source& s, TW_UINT16 condition) {
  s.condition = condition;
  return TWRC_FAILURE;
}

TW_UINT16 ConditionOf(int status) {
  switch (status) {
    case ssIoError: return TWCC_CHECKDEVICEONLINE;
    case ssJammed: return TWCC_PAPERJAM;
    case ssNoDocs: return TWCC_NOMEDIA;
    case ssCoverOpen: return TWCC_INTERLOCK;
    case ssNoMem: return TWCC_LOWMEMORY;
    case ssAccessDenied: return TWCC_DENIED;
    case ssDeviceBusy: return TWCC_OPERATIONERROR;
    case ssInvalid:
    case ssUnsupported: return TWCC_BADVALUE;
    default: return TWCC_BUMMER;
  }
}

Source* SourceById(TW_UINT32 id) {
  auto it = g->sources.find(id);
  return it == g->sources.end() ? nullptr : it->second.get();
}

// The message carries the enable generation, so that one posted before a disable is not taken
// for news of a later enable.
void PostToApplication(Source& s, TW_UINT16 twainMessage) {
  PostWindowMessage(s.parent, kSourceMessage, s.identity.Id, (s.generation << 16) | twainMessage);
}

// --- scanning ---

void StopScan(Source& s) {
  s.progress.reset();
  if (s.device) {
    s.device->CancelScan();
    s.device->WaitScan();
  }
  s.havePage = false;
  s.page = TScanPage();
}

void StartScan(Source& s) {
  const TWindowHandle own = g->own;
  const TW_UINT32 id = s.identity.Id;
  const intptr_t generation = s.generation;
  s.device->StartScan([own, id, generation] { PostWindowMessage(own, kScanNote, id, generation); });
}

// The scan failed before a page was complete: the next transfer reports it.
void ReportFailure(Source& s, int status) {
  s.failure = ConditionOf(status);
  s.failureReported = false;
  s.state = stReady;
  s.readyPosted = true;
  PostToApplication(s, MSG_XFERREADY);
}

void ScanNote(Source& s) {
  if (s.state != stEnabled || s.readyPosted || !s.device) return;
  if (s.device->PagesReady() > 0) {
    s.progress.reset();
    s.state = stReady;
    s.readyPosted = true;
    PostToApplication(s, MSG_XFERREADY);
    return;
  }
  if (!s.device->Ended()) return;
  s.progress.reset();
  const int status = s.device->EndStatus();
  if (status == ssGood || status == ssCancelled) {
    s.readyPosted = true;
    PostToApplication(s, MSG_CLOSEDSREQ);
  } else {
    ReportFailure(s, status);
  }
}

void ShowUserInterface(TW_UINT32 id, intptr_t generation) {
  Source* s = SourceById(id);
  if (!s || s->generation != generation || s->state != stEnabled) return;
  TScanSettings start = s->current;
  const auto last = LastScanSettings().find(s->name);
  if (last != LastScanSettings().end()) {
    start.Kind = last->second.Kind;
    start.Resolution = last->second.Resolution;
    start.Left = last->second.Left;
    start.Top = last->second.Top;
    start.Width = last->second.Width;
    start.Height = last->second.Height;
  }
  auto dialog = std::make_unique<TTwainScanDialog>(nullptr);
  dialog->SetChoices(s->title, s->choices, start);
  const int result = dialog->ShowModal();
  const TScanSettings settings = dialog->Settings();
  dialog.reset();
  // While the dialog was up the application may have disabled or closed the source.
  if (!g) return;
  s = SourceById(id);
  if (!s || s->generation != generation || s->state != stEnabled) return;
  if (result != mrOk) {
    s->readyPosted = true;
    PostToApplication(*s, MSG_CLOSEDSREQ);
    return;
  }
  int status = ssGood;
  const bool applied = s->device->Apply(settings, status);
  s->current = s->device->Current();
  if (!applied) {
    ReportFailure(*s, status);
    return;
  }
  LastScanSettings()[s->name] = s->current;
  s->progress = std::make_unique<TTwainProgressForm>(nullptr);
  TScanDevice* device = s->device.get();
  s->progress->OnCancelScan = [device] { device->CancelScan(); };
  s->progress->OnProgress = [device](int64_t& done, int64_t& total) {
    done = device->BytesRead();
    total = device->BytesExpected();
  };
  s->progress->SetCaption(_("Scan") + " - " + s->title);
  s->progress->Show();
  StartScan(*s);
}

intptr_t ManagerWindowProc(TWindowHandle, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (!g) return 0;
  if (message == kShowUi) {
    ShowUserInterface(TW_UINT32(wParam), lParam);
  } else if (message == kScanNote) {
    Source* s = SourceById(TW_UINT32(wParam));
    if (s && s->generation == lParam) ScanNote(*s);
  }
  return 0;
}

// Takes the next complete page of the scan (waiting for a feeder's next sheet); false when the
// scan ended without one, with s.failure set when it ended in an error.
bool NextPage(Source& s) {
  if (s.havePage) return true;
  if (!s.device) return false;
  if (s.device->TakePage(s.page) || (s.device->WaitForPage() && s.device->TakePage(s.page))) {
    s.havePage = true;
    s.pageDone = false;
    s.nextRow = 0;
    return true;
  }
  const int status = s.device->EndStatus();
  if (status != ssGood && status != ssCancelled && s.failure == TWCC_SUCCESS) {
    s.failure = ConditionOf(status);
    s.failureReported = false;
  }
  return false;
}

// --- capabilities ---

TW_FIX32 ToFix32(double v) {
  TW_FIX32 f;
  const long scaled = std::lround(v * 65536.0);
  f.Whole = TW_INT16(scaled >> 16);
  f.Frac = TW_UINT16(scaled & 0xFFFF);
  return f;
}

double FromFix32(TW_FIX32 f) { return double(f.Whole) + double(f.Frac) / 65536.0; }

TW_INT16 PixelTypeOf(TScanKind kind) {
  return kind == skColor ? TWPT_RGB : (kind == skGray ? TWPT_GRAY : TWPT_BW);
}

template <class T>
TW_HANDLE Enumeration(TW_UINT16 itemType, const std::vector<T>& items, size_t current, size_t defaultIndex) {
  const size_t header = offsetof(TW_ENUMERATION, ItemList);
  TW_HANDLE handle = TwainAllocHandle(header + sizeof(T) * std::max<size_t>(items.size(), 1));
  if (!handle) return nullptr;
  auto* e = static_cast<TW_ENUMERATION*>(TwainLockHandle(handle));
  e->ItemType = itemType;
  e->NumItems = TW_UINT32(items.size());
  e->CurrentIndex = TW_UINT32(current);
  e->DefaultIndex = TW_UINT32(defaultIndex);
  if (!items.empty()) std::memcpy(e->ItemList, items.data(), sizeof(T) * items.size());
  TwainUnlockHandle(handle);
  return handle;
}

// Reads the first value of a one-value or enumeration container as a number.
bool ContainerValue(const TW_CAPABILITY& cap, double& value) {
  if (!cap.hContainer) return false;
  const size_t size = TwainHandleSize(cap.hContainer);
  const auto* bytes = static_cast<const uint8_t*>(TwainLockHandle(cap.hContainer));
  if (!bytes) return false;
  TW_UINT16 itemType;
  const uint8_t* item;
  if (cap.ConType == TWON_ONEVALUE && size >= sizeof(TW_ONEVALUE)) {
    const auto* one = reinterpret_cast<const TW_ONEVALUE*>(bytes);
    itemType = one->ItemType;
    item = reinterpret_cast<const uint8_t*>(&one->Item);
  } else if (cap.ConType == TWON_ENUMERATION && size >= offsetof(TW_ENUMERATION, ItemList) + 4) {
    const auto* e = reinterpret_cast<const TW_ENUMERATION*>(bytes);
    itemType = e->ItemType;
    const size_t itemSize = itemType == TWTY_FIX32 || itemType == TWTY_UINT32 || itemType == TWTY_INT32 ? 4 : 2;
    if (e->CurrentIndex >= e->NumItems ||
        offsetof(TW_ENUMERATION, ItemList) + itemSize * (size_t(e->CurrentIndex) + 1) > size)
      return false;
    item = e->ItemList + itemSize * e->CurrentIndex;
  } else {
    return false;
  }
  switch (itemType) {
    case TWTY_UINT16: {
      TW_UINT16 v;
      std::memcpy(&v, item, 2);
      value = v;
      return true;
    }
    case TWTY_UINT32: {
      TW_UINT32 v;
      std::memcpy(&v, item, 4);
      value = v;
      return true;
    }
    case TWTY_FIX32: {
      TW_FIX32 v;
      std::memcpy(&v, item, 4);
      value = FromFix32(v);
      return true;
    }
    default: return false;
  }
}

TW_UINT16 ApplySettings(Source& s, const TScanSettings& settings) {
  int status = ssGood;
  const bool ok = s.device->Apply(settings, status);
  s.current = s.device->Current();
  return ok ? TW_UINT16(TWRC_SUCCESS) : Fail(s, ConditionOf(status));
}

TW_UINT16 Capability(Source& s, TW_UINT16 msg, TW_CAPABILITY* cap) {
  if (!cap) return Fail(s, TWCC_BADVALUE);
  if ((msg == MSG_SET || msg == MSG_RESET) && s.state != stSourceOpen) return Fail(s, TWCC_SEQERROR);
  const bool resolution = cap->Cap == ICAP_XRESOLUTION || cap->Cap == ICAP_YRESOLUTION;
  if (msg == MSG_SET) {
    double value = 0;
    if (!ContainerValue(*cap, value)) return Fail(s, TWCC_BADVALUE);
    TScanSettings settings = s.current;
    if (cap->Cap == ICAP_PIXELTYPE) {
      const auto kind = std::find_if(s.choices.Kinds.begin(), s.choices.Kinds.end(),
                                     [value](TScanKind k) { return PixelTypeOf(k) == value; });
      if (kind == s.choices.Kinds.end()) return Fail(s, TWCC_BADVALUE);
      settings.Kind = *kind;
    } else if (resolution && !s.choices.Resolutions.empty()) {
      if (value < s.choices.MinResolution || value > s.choices.MaxResolution) return Fail(s, TWCC_BADVALUE);
      settings.Resolution = value;
    } else {
      return Fail(s, TWCC_CAPUNSUPPORTED);
    }
    return ApplySettings(s, settings);
  }
  if (msg != MSG_GET && msg != MSG_GETCURRENT && msg != MSG_GETDEFAULT && msg != MSG_RESET)
    return Fail(s, TWCC_CAPBADOPERATION);
  if (msg == MSG_RESET && (cap->Cap == ICAP_PIXELTYPE || resolution)) {
    TScanSettings settings = s.current;
    if (cap->Cap == ICAP_PIXELTYPE) settings.Kind = s.defaults.Kind;
    if (resolution) settings.Resolution = s.defaults.Resolution;
    if (ApplySettings(s, settings) != TWRC_SUCCESS) return TWRC_FAILURE;
  }
  TW_HANDLE container = nullptr;
  switch (cap->Cap) {
    case ICAP_XFERMECH: container = Enumeration<TW_UINT16>(TWTY_UINT16, {TWSX_MEMORY}, 0, 0); break;
    case ICAP_UNITS: container = Enumeration<TW_UINT16>(TWTY_UINT16, {TWUN_INCHES}, 0, 0); break;
    case ICAP_PIXELFLAVOR: container = Enumeration<TW_UINT16>(TWTY_UINT16, {TWPF_VANILLA}, 0, 0); break;
    case ICAP_PIXELTYPE: {
      std::vector<TScanKind> kinds = s.choices.Kinds;
      std::sort(kinds.begin(), kinds.end(), [](TScanKind a, TScanKind b) { return PixelTypeOf(a) < PixelTypeOf(b); });
      std::vector<TW_UINT16> items;
      size_t current = 0, def = 0;
      for (size_t i = 0; i < kinds.size(); ++i) {
        items.push_back(TW_UINT16(PixelTypeOf(kinds[i])));
        if (kinds[i] == s.current.Kind) current = i;
        if (kinds[i] == s.defaults.Kind) def = i;
      }
      container = Enumeration(TWTY_UINT16, items, current, def);
      break;
    }
    case ICAP_XRESOLUTION:
    case ICAP_YRESOLUTION: {
      if (s.choices.Resolutions.empty()) return Fail(s, TWCC_CAPUNSUPPORTED);
      std::vector<TW_FIX32> items;
      for (double r : s.choices.Resolutions) items.push_back(ToFix32(r));
      container = Enumeration(TWTY_FIX32, items, size_t(NearestIndex(s.choices.Resolutions, s.current.Resolution)),
                              size_t(NearestIndex(s.choices.Resolutions, s.defaults.Resolution)));
      break;
    }
    case ICAP_PHYSICALWIDTH:
    case ICAP_PHYSICALHEIGHT: {
      if (!s.choices.HasArea) return Fail(s, TWCC_CAPUNSUPPORTED);
      const double mm = cap->Cap == ICAP_PHYSICALWIDTH ? s.choices.MaxWidth : s.choices.MaxHeight;
      container = Enumeration<TW_FIX32>(TWTY_FIX32, {ToFix32(mm / 25.4)}, 0, 0);
      break;
    }
    default: return Fail(s, TWCC_CAPUNSUPPORTED);
  }
  if (!container) return Fail(s, TWCC_LOWMEMORY);
  cap->ConType = TWON_ENUMERATION;
  cap->hContainer = container;
  return TWRC_SUCCESS;
}

TW_UINT16 ImageLayout(Source& s, TW_UINT16 msg, TW_IMAGELAYOUT* layout) {
  if (!layout) return Fail(s, TWCC_BADVALUE);
  if (!s.choices.HasArea) return Fail(s, TWCC_BADPROTOCOL);
  if (msg == MSG_SET) {
    if (s.state != stSourceOpen) return Fail(s, TWCC_SEQERROR);
    TScanSettings settings = s.current;
    settings.Left = FromFix32(layout->Frame.Left) * 25.4;
    settings.Top = FromFix32(layout->Frame.Top) * 25.4;
    settings.Width = (FromFix32(layout->Frame.Right) - FromFix32(layout->Frame.Left)) * 25.4;
    settings.Height = (FromFix32(layout->Frame.Bottom) - FromFix32(layout->Frame.Top)) * 25.4;
    if (settings.Left < 0 || settings.Top < 0 || settings.Width <= 0 || settings.Height <= 0)
      return Fail(s, TWCC_BADVALUE);
    return ApplySettings(s, settings);
  }
  if (msg != MSG_GET && msg != MSG_GETCURRENT) return Fail(s, TWCC_BADPROTOCOL);
  layout->Frame.Left = ToFix32(s.current.Left / 25.4);
  layout->Frame.Top = ToFix32(s.current.Top / 25.4);
  layout->Frame.Right = ToFix32((s.current.Left + s.current.Width) / 25.4);
  layout->Frame.Bottom = ToFix32((s.current.Top + s.current.Height) / 25.4);
  layout->DocumentNumber = layout->PageNumber = layout->FrameNumber = 1;
  return TWRC_SUCCESS;
}

// --- image transfer ---

TW_UINT16 ImageInfo(Source& s, TW_IMAGEINFO* info) {
  if (s.state != stReady && s.state != stTransferring) return Fail(s, TWCC_SEQERROR);
  if (!info) return Fail(s, TWCC_BADVALUE);
  if (!NextPage(s)) {
    s.failureReported = true;
    return Fail(s, s.failure != TWCC_SUCCESS ? s.failure : TW_UINT16(TWCC_OPERATIONERROR));
  }
  std::memset(info, 0, sizeof *info);
  info->XResolution = ToFix32(s.page.XResolution);
  info->YResolution = ToFix32(s.page.YResolution);
  info->ImageWidth = s.page.Width;
  info->ImageLength = s.page.Height;
  info->SamplesPerPixel = s.page.Kind == skColor ? 3 : 1;
  for (int i = 0; i < info->SamplesPerPixel; ++i) info->BitsPerSample[i] = s.page.Kind == skLineart ? 1 : 8;
  info->BitsPerPixel = TW_INT16(s.page.BitsPerPixel);
  info->Planar = 0;
  info->PixelType = PixelTypeOf(s.page.Kind);
  info->Compression = TWCP_NONE;
  return TWRC_SUCCESS;
}

TW_UINT16 SetupMemXfer(Source& s, TW_SETUPMEMXFER* setup) {
  if (!setup) return Fail(s, TWCC_BADVALUE);
  // Whole rows of at least 64 KiB.
  uint32_t row = s.havePage ? uint32_t(s.page.RowBytes) : 4;
  const uint32_t rows = std::max<uint32_t>(1, (65536 + row - 1) / row);
  setup->MinBufSize = row;
  setup->Preferred = row * rows;
  setup->MaxBufSize = setup->Preferred;
  return TWRC_SUCCESS;
}

TW_UINT16 ImageMemXfer(Source& s, TW_IMAGEMEMXFER* xfer) {
  if (s.state != stReady && s.state != stTransferring) return Fail(s, TWCC_SEQERROR);
  if (!xfer) return Fail(s, TWCC_BADVALUE);
  if (!s.havePage && !NextPage(s)) {
    s.failureReported = true;
    return Fail(s, s.failure != TWCC_SUCCESS ? s.failure : TW_UINT16(TWCC_OPERATIONERROR));
  }
  if (s.pageDone) return Fail(s, TWCC_SEQERROR);
  const uint32_t row = uint32_t(s.page.RowBytes);
  if (!xfer->Memory.TheMem || xfer->Memory.Length < row) return Fail(s, TWCC_BADVALUE);
  s.state = stTransferring;
  const uint32_t rows = std::min<uint32_t>(uint32_t(s.page.Height - s.nextRow), xfer->Memory.Length / row);
  std::memcpy(xfer->Memory.TheMem, s.page.Bits.data() + size_t(row) * s.nextRow, size_t(row) * rows);
  xfer->Compression = TWCP_NONE;
  xfer->BytesPerRow = row;
  xfer->Columns = uint32_t(s.page.Width);
  xfer->Rows = rows;
  xfer->XOffset = 0;
  xfer->YOffset = uint32_t(s.nextRow);
  xfer->BytesWritten = row * rows;
  s.nextRow += int(rows);
  if (s.nextRow < s.page.Height) return TWRC_SUCCESS;
  s.pageDone = true;
  return TWRC_XFERDONE;
}

TW_UINT16 EndXfer(Source& s, TW_PENDINGXFERS* pending) {
  if (s.state != stReady && s.state != stTransferring) return Fail(s, TWCC_SEQERROR);
  s.havePage = false;
  s.page = TScanPage();
  TW_UINT16 count = 0;
  if (s.failure != TWCC_SUCCESS && !s.failureReported) {
    count = 1;
  } else if (s.device && (s.device->PagesReady() > 0 || (!s.device->Ended() && s.device->WaitForPage()))) {
    count = TW_UINT16(std::min(s.device->PagesReady(), 0xFFFE));
  } else if (s.device && s.failure == TWCC_SUCCESS) {
    // The scan ended; an error after the last good page is still to be reported.
    const int status = s.device->EndStatus();
    if (status != ssGood && status != ssCancelled) {
      s.failure = ConditionOf(status);
      s.failureReported = false;
      count = 1;
    }
  }
  s.state = count > 0 ? stReady : stEnabled;
  if (pending) pending->Count = count;
  return TWRC_SUCCESS;
}

TW_UINT16 ResetXfers(Source& s, TW_PENDINGXFERS* pending) {
  if (s.state != stReady) return Fail(s, TWCC_SEQERROR);
  StopScan(s);
  s.state = stEnabled;
  if (pending) pending->Count = 0;
  return TWRC_SUCCESS;
}

// --- source calls ---

TW_UINT16 Disable(Source& s) {
  if (s.state < stEnabled) return Fail(s, TWCC_SEQERROR);
  ++s.generation;
  StopScan(s);
  s.state = stSourceOpen;
  return TWRC_SUCCESS;
}

TW_UINT16 Enable(Source& s, TW_USERINTERFACE* ui) {
  if (s.state != stSourceOpen) return Fail(s, TWCC_SEQERROR);
  if (!ui) return Fail(s, TWCC_BADVALUE);
  s.parent = reinterpret_cast<TWindowHandle>(ui->hParent);
  if (!IsMessageWindow(s.parent)) return Fail(s, TWCC_BADVALUE);
  s.showUI = ui->ShowUI != 0;
  ++s.generation;
  s.state = stEnabled;
  s.readyPosted = false;
  s.failure = TWCC_SUCCESS;
  s.failureReported = false;
  s.havePage = false;
  if (s.showUI)
    PostWindowMessage(g->own, kShowUi, s.identity.Id, s.generation);
  else
    StartScan(s);
  return TWRC_SUCCESS;
}

TW_UINT16 ProcessEvent(Source& s, TW_EVENT* event) {
  if (!event) return Fail(s, TWCC_BADVALUE);
  const auto* msg = static_cast<const TWindowMsg*>(event->pEvent);
  if (msg && msg->message == kSourceMessage && msg->wParam == s.identity.Id) {
    const bool current = s.state >= stEnabled && (msg->lParam >> 16) == s.generation;
    event->TWMessage = current ? TW_UINT16(msg->lParam & 0xFFFF) : MSG_NULL;
    return TWRC_DSEVENT;
  }
  event->TWMessage = MSG_NULL;
  return TWRC_NOTDSEVENT;
}

TW_UINT16 SourceCall(Source& s, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (dg == DG_CONTROL) {
    switch (dat) {
      case DAT_STATUS:
        if (msg != MSG_GET || !data) break;
        static_cast<TW_STATUS*>(data)->ConditionCode = s.condition;
        static_cast<TW_STATUS*>(data)->Reserved = 0;
        s.condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
      case DAT_EVENT:
        if (msg == MSG_PROCESSEVENT) return ProcessEvent(s, static_cast<TW_EVENT*>(data));
        break;
      case DAT_USERINTERFACE:
        if (msg == MSG_ENABLEDS) return Enable(s, static_cast<TW_USERINTERFACE*>(data));
        if (msg == MSG_DISABLEDS) return Disable(s);
        break;
      case DAT_SETUPMEMXFER:
        if (msg == MSG_GET) return SetupMemXfer(s, static_cast<TW_SETUPMEMXFER*>(data));
        break;
      case DAT_PENDINGXFERS:
        if (msg == MSG_ENDXFER) return EndXfer(s, static_cast<TW_PENDINGXFERS*>(data));
        if (msg == MSG_RESET) return ResetXfers(s, static_cast<TW_PENDINGXFERS*>(data));
        if (msg == MSG_GET && data) {
          static_cast<TW_PENDINGXFERS*>(data)->Count = TW_UINT16(s.state >= stReady ? 1 : 0);
          return TWRC_SUCCESS;
        }
        break;
      case DAT_CAPABILITY: return Capability(s, msg, static_cast<TW_CAPABILITY*>(data));
      default: break;
    }
  } else if (dg == DG_IMAGE) {
    switch (dat) {
      case DAT_IMAGEINFO:
        if (msg == MSG_GET) return ImageInfo(s, static_cast<TW_IMAGEINFO*>(data));
        break;
      case DAT_IMAGEMEMXFER:
        if (msg == MSG_GET) return ImageMemXfer(s, static_cast<TW_IMAGEMEMXFER*>(data));
        break;
      case DAT_IMAGELAYOUT: return ImageLayout(s, msg, static_cast<TW_IMAGELAYOUT*>(data));
      default: break;
    }
  }
  // File and native transfers and palettes are not offered: memory transfer only.
  return Fail(s, TWCC_BADPROTOCOL);
}

// --- manager calls ---

// The result of a call that needed the devices and could not look for them.
TW_UINT16 NotRefreshed(TW_UINT16 result) { return result == TWRC_CANCEL ? Fail(TWCC_OPERATIONERROR) : result; }

TW_UINT16 OpenSource(TW_IDENTITY* identity) {
  if (!identity) return Fail(TWCC_BADVALUE);
  std::string name;
  for (const auto& [n, id] : g->ids)
    if (id == identity->Id) name = n;
  if (name.empty()) {
    char product[35] = {};
    std::memcpy(product, identity->ProductName, 34);
    for (const auto& [n, id] : g->ids)
      if (Alias(n, id) == product) name = n;
  }
  if (name.empty()) return Fail(TWCC_NODS);
  const TW_UINT32 id = IdFor(name);
  if (SourceById(id)) return Fail(TWCC_SEQERROR);
  int status = ssGood;
  std::unique_ptr<TScanDevice> device = TScanDevice::Open(*g->sane, name, status);
  if (!device) return Fail(status == ssInvalid || status == ssIoError ? TW_UINT16(TWCC_NODS) : ConditionOf(status));
  auto s = std::make_unique<Source>();
  TScanDeviceInfo info{name, "", "", ""};
  for (const TScanDeviceInfo& d : g->devices)
    if (d.Name == name) info = d;
  s->identity = IdentityOf(info);
  s->name = name;
  s->title = TitleOf(info);
  s->device = std::move(device);
  s->choices = s->device->Choices();
  s->current = s->defaults = s->device->Current();
  g->sources[id] = std::move(s);
  return TWRC_SUCCESS;
}

TW_UINT16 CloseSource(TW_IDENTITY* identity) {
  if (!identity) return Fail(TWCC_BADVALUE);
  Source* s = SourceById(identity->Id);
  if (!s) return Fail(TWCC_BADDEST);
  if (s->state >= stEnabled) Disable(*s);
  g->sources.erase(identity->Id);
  return TWRC_SUCCESS;
}

TW_UINT16 SelectSource(TW_IDENTITY* identity) {
  if (!identity) return Fail(TWCC_BADVALUE);
  g->selectionList = false;
  if (const TW_UINT16 result = RefreshDevices(); result != TWRC_SUCCESS) return result;
  // The main window may have been closed during the search.
  if (Application->Terminated()) return TWRC_CANCEL;
  if (g->devices.empty()) {
    ShowMessage(_("No scanner or camera was found."));
    return Fail(TWCC_NODS);
  }
  auto dialog = std::make_unique<TTwainSelectDialog>(nullptr);
  dialog->SetDevices(g->devices, 0);
  const int result = dialog->ShowModal();
  const int chosen = dialog->ListBox1->ItemIndex();
  dialog.reset();
  if (!g || result != mrOk || chosen < 0 || chosen >= int(g->devices.size())) return TWRC_CANCEL;
  *identity = IdentityOf(g->devices[size_t(chosen)]);
  g->selectionList = true;
  return TWRC_SUCCESS;
}

TW_UINT16 ManagerCall(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (dg != DG_CONTROL) return Fail(TWCC_BADPROTOCOL);
  if (dat == DAT_PARENT) {
    if (msg == MSG_OPENDSM) {
      if (g->state != stManagerLoaded) return Fail(TWCC_SEQERROR);
      if (!data) return Fail(TWCC_BADVALUE);
      g->parent = *static_cast<TWindowHandle*>(data);
      g->own = CreateMessageWindow(ManagerWindowProc);
      g->state = stManagerOpen;
      return TWRC_SUCCESS;
    }
    if (msg == MSG_CLOSEDSM) {
      if (g->state != stManagerOpen) return Fail(TWCC_SEQERROR);
      for (auto& [id, s] : g->sources)
        if (s->state >= stEnabled) Disable(*s);
      g->sources.clear();
      DestroyMessageWindow(g->own);
      g->own = 0;
      g->state = stManagerLoaded;
      g->selectionList = false;
      return TWRC_SUCCESS;
    }
    return Fail(TWCC_BADPROTOCOL);
  }
  if (dat == DAT_STATUS && msg == MSG_GET && data) {
    static_cast<TW_STATUS*>(data)->ConditionCode = g->condition;
    static_cast<TW_STATUS*>(data)->Reserved = 0;
    g->condition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
  }
  if (dat != DAT_IDENTITY) return Fail(TWCC_BADPROTOCOL);
  if (g->state != stManagerOpen) return Fail(TWCC_SEQERROR);
  auto* identity = static_cast<TW_IDENTITY*>(data);
  switch (msg) {
    case MSG_GETFIRST:
      if (!std::exchange(g->selectionList, false))
        if (const TW_UINT16 result = RefreshDevices(); result != TWRC_SUCCESS) return NotRefreshed(result);
      g->enumPos = 0;
      [[fallthrough]];
    case MSG_GETNEXT:
      if (!identity) return Fail(TWCC_BADVALUE);
      if (g->enumPos >= g->devices.size()) return TWRC_ENDOFLIST;
      *identity = IdentityOf(g->devices[g->enumPos++]);
      return TWRC_SUCCESS;
    case MSG_GETDEFAULT:
      if (!identity) return Fail(TWCC_BADVALUE);
      if (g->devices.empty())
        if (const TW_UINT16 result = RefreshDevices(); result != TWRC_SUCCESS) return NotRefreshed(result);
      if (g->devices.empty()) return Fail(TWCC_NODS);
      *identity = IdentityOf(g->devices.front());
      return TWRC_SUCCESS;
    case MSG_USERSELECT: return SelectSource(identity);
    case MSG_OPENDS: return OpenSource(identity);
    case MSG_CLOSEDS: return CloseSource(identity);
    default: return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 DsmEntry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                   TW_MEMREF data) {
  if (!g) return TWRC_FAILURE;
  if (!origin) return Fail(TWCC_BADPROTOCOL);
  if (!dest) return ManagerCall(dg, dat, msg, data);
  if (g->state != stManagerOpen) return Fail(TWCC_SEQERROR);
  Source* s = SourceById(dest->Id);
  if (!s) return Fail(TWCC_BADDEST);
  return SourceCall(*s, dg, dat, msg, data);
}

}  // namespace

TTwainLibrary TwainLoadLibrary(std::string* why) {
  if (g) {
    ++g->refs;
    return g;
  }
  std::string reason;
  std::unique_ptr<TSaneLibrary> sane = TSaneLibrary::Load(reason);
  if (!sane) {
    if (why) *why = reason;
    return nullptr;
  }
  g = new Manager();
  g->sane = std::move(sane);
  g->refs = 1;
  return g;
}

DSMENTRYPROC TwainGetEntry(TTwainLibrary library) { return library && library == g ? &DsmEntry : nullptr; }

bool TwainFreeLibrary(TTwainLibrary library) {
  if (!library || library != g) return false;
  if (--g->refs > 0) return true;
  Manager* m = g;
  // A search still running ends before its library.
  if (m->searcher.joinable()) m->searcher.join();
  if (m->state == stManagerOpen) {
    for (auto& [id, s] : m->sources)
      if (s->state >= stEnabled) Disable(*s);
    m->sources.clear();
    DestroyMessageWindow(m->own);
  }
  g = nullptr;
  delete m;
  return true;
}
