// The system services around the source manager: memory handles and hidden message windows.
#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/services/Twain.h"

// ---------------------------------------------------------------------------
// Memory handles: a block with its size in front.
// ---------------------------------------------------------------------------

namespace {
struct HandleHeader {
  size_t size;
  size_t magic;
};
constexpr size_t kHandleMagic = 0x7477686e646c6521ull;

HandleHeader* HeaderOf(TW_HANDLE handle) {
  if (!handle) return nullptr;
  auto* h = static_cast<HandleHeader*>(handle);
  return h->magic == kHandleMagic ? h : nullptr;
}
}  // namespace

TW_HANDLE TwainAllocHandle(size_t bytes) {
  if (bytes > (size_t(1) << 31)) return nullptr;
  void* block = std::calloc(1, sizeof(HandleHeader) + bytes);
  if (!block) return nullptr;
  auto* h = static_cast<HandleHeader*>(block);
  h->size = bytes;
  h->magic = kHandleMagic;
  return block;
}

void* TwainLockHandle(TW_HANDLE handle) {
  HandleHeader* h = HeaderOf(handle);
  return h ? static_cast<void*>(h + 1) : nullptr;
}

void TwainUnlockHandle(TW_HANDLE) {}

void TwainFreeHandle(TW_HANDLE handle) {
  if (HandleHeader* h = HeaderOf(handle)) {
    h->magic = 0;
    std::free(h);
  }
}

size_t TwainHandleSize(TW_HANDLE handle) {
  HandleHeader* h = HeaderOf(handle);
  return h ? h->size : 0;
}

// ---------------------------------------------------------------------------
// Message windows
// ---------------------------------------------------------------------------

namespace {

struct Windows {
  std::mutex mutex;
  std::map<TWindowHandle, std::shared_ptr<TWindowProc>> procs;
  TWindowHandle next = 0x5000;
};

Windows& AllWindows() {
  static Windows windows;
  return windows;
}

std::shared_ptr<TWindowProc> ProcOf(TWindowHandle hwnd) {
  Windows& w = AllWindows();
  std::lock_guard<std::mutex> lock(w.mutex);
  auto it = w.procs.find(hwnd);
  return it == w.procs.end() ? nullptr : it->second;
}

}  // namespace

TWindowHandle CreateMessageWindow(TWindowProc proc) {
  Windows& w = AllWindows();
  std::lock_guard<std::mutex> lock(w.mutex);
  const TWindowHandle hwnd = ++w.next;
  w.procs[hwnd] = std::make_shared<TWindowProc>(std::move(proc));
  return hwnd;
}

void DestroyMessageWindow(TWindowHandle hwnd) {
  Windows& w = AllWindows();
  std::lock_guard<std::mutex> lock(w.mutex);
  w.procs.erase(hwnd);
}

bool IsMessageWindow(TWindowHandle hwnd) { return ProcOf(hwnd) != nullptr; }

bool PostWindowMessage(TWindowHandle hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || !IsMessageWindow(hwnd)) return false;
  // Delivered on the GUI thread in posting order; the window is looked up again then.
  QMetaObject::invokeMethod(
      app,
      [hwnd, message, wParam, lParam] {
        if (std::shared_ptr<TWindowProc> proc = ProcOf(hwnd)) (*proc)(hwnd, message, wParam, lParam);
      },
      Qt::QueuedConnection);
  return true;
}
