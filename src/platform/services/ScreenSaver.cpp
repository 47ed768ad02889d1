#include "platform/services/ScreenSaver.h"

#include <QtCore/QCoreApplication>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusInterface>
#include <QtDBus/QDBusReply>

#include <memory>

namespace {

const char* const kService = "org.freedesktop.ScreenSaver";
const char* const kInterface = "org.freedesktop.ScreenSaver";
// Desktops publish the object under one of these paths.
const char* const kPaths[] = {"/org/freedesktop/ScreenSaver", "/ScreenSaver"};
// A desktop service answers at once; a hung one must not freeze the viewer.
constexpr int kCallTimeoutMs = 2000;

std::unique_ptr<TScreenSaverCalls>& InstalledCalls() {
  static std::unique_ptr<TScreenSaverCalls> calls;
  return calls;
}

bool BusInhibit(const std::string& appName, const std::string& reason, uint32_t& cookie) {
  if (!QCoreApplication::instance() || !ScreenSaverServiceAvailable()) return false;
  QDBusConnection bus = QDBusConnection::sessionBus();
  for (const char* path : kPaths) {
    QDBusInterface iface(kService, path, kInterface, bus);
    if (!iface.isValid()) continue;
    iface.setTimeout(kCallTimeoutMs);
    QDBusReply<uint> reply =
        iface.call("Inhibit", QString::fromStdString(appName), QString::fromStdString(reason));
    if (reply.isValid()) {
      cookie = reply.value();
      return true;
    }
  }
  return false;
}

void BusUnInhibit(uint32_t cookie) {
  if (!QCoreApplication::instance() || !ScreenSaverServiceAvailable()) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  for (const char* path : kPaths) {
    QDBusInterface iface(kService, path, kInterface, bus);
    if (!iface.isValid()) continue;
    iface.setTimeout(kCallTimeoutMs);
    QDBusReply<void> reply = iface.call("UnInhibit", uint(cookie));
    if (reply.isValid()) return;
  }
}

}  // namespace

void SetScreenSaverCalls(const TScreenSaverCalls* calls) {
  if (calls)
    InstalledCalls() = std::make_unique<TScreenSaverCalls>(*calls);
  else
    InstalledCalls().reset();
}

bool ScreenSaverServiceAvailable() {
  if (!QCoreApplication::instance()) return false;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface()) return false;
  return bus.interface()->isServiceRegistered(kService).value();
}

TScreenSaverInhibitor::TScreenSaverInhibitor(std::string appName, std::string reason)
    : appName_(std::move(appName)), reason_(std::move(reason)) {}

TScreenSaverInhibitor::~TScreenSaverInhibitor() { SetInhibited(false); }

bool TScreenSaverInhibitor::SetInhibited(bool on) {
  if (on == inhibited_) return inhibited_;
  const TScreenSaverCalls* calls = InstalledCalls().get();
  if (on) {
    uint32_t cookie = 0;
    bool granted = calls && calls->Inhibit ? calls->Inhibit(appName_, reason_, cookie)
                                           : BusInhibit(appName_, reason_, cookie);
    if (granted) {
      cookie_ = cookie;
      inhibited_ = true;
    }
  } else {
    if (calls && calls->UnInhibit)
      calls->UnInhibit(cookie_);
    else
      BusUnInhibit(cookie_);
    inhibited_ = false;
    cookie_ = 0;
  }
  return inhibited_;
}
