#pragma once
// The desktop's screen saver: keeping it (and the monitor's power saving) off while the
// program shows pictures, through the freedesktop ScreenSaver service on the session
// D-Bus (org.freedesktop.ScreenSaver, Inhibit and UnInhibit). Where no such service
// answers, nothing happens and the calls report false.
#include <cstdint>
#include <functional>
#include <string>

// The two calls the inhibitor makes. The default reaches the session bus; tests install
// their own (nullptr restores the default).
struct TScreenSaverCalls {
  // Asks for an inhibition; true with its cookie when the service granted it.
  std::function<bool(const std::string& appName, const std::string& reason, uint32_t& cookie)> Inhibit;
  std::function<void(uint32_t cookie)> UnInhibit;
};
void SetScreenSaverCalls(const TScreenSaverCalls* calls);

// True when the session bus has a screen-saver service.
bool ScreenSaverServiceAvailable();

// One inhibition that the program holds or not; released when the object goes.
class TScreenSaverInhibitor {
 public:
  TScreenSaverInhibitor(std::string appName, std::string reason);
  ~TScreenSaverInhibitor();
  TScreenSaverInhibitor(const TScreenSaverInhibitor&) = delete;
  TScreenSaverInhibitor& operator=(const TScreenSaverInhibitor&) = delete;

  // Asks for the inhibition (on) or releases it (off); nothing when it is in that state
  // already. Returns whether the screen saver is inhibited afterwards.
  bool SetInhibited(bool on);
  bool Inhibited() const { return inhibited_; }

 private:
  std::string appName_, reason_;
  uint32_t cookie_ = 0;
  bool inhibited_ = false;
};
