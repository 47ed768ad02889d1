// The process: command line, program folder, environment, clocks and system errors.
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

namespace {
std::mutex g_argsMutex;
std::vector<std::string> g_args;

std::string ExecutablePath() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return std::string();
    if (size_t(n) < buf.size()) return std::string(buf.data(), size_t(n));
    if (buf.size() > (1u << 16)) return std::string();
    buf.resize(buf.size() * 2);
  }
}
}  // namespace

void SetCommandLine(int argc, char** argv) {
  std::lock_guard<std::mutex> lock(g_argsMutex);
  g_args.clear();
  for (int i = 0; i < argc && argv; ++i) g_args.emplace_back(argv[i] ? argv[i] : "");
}

int ParamCount() {
  std::lock_guard<std::mutex> lock(g_argsMutex);
  return g_args.empty() ? 0 : int(g_args.size()) - 1;
}

std::string ParamStr(int index) {
  if (index == 0) return ExecutablePath();
  std::lock_guard<std::mutex> lock(g_argsMutex);
  if (index < 0 || size_t(index) >= g_args.size()) return std::string();
  return g_args[size_t(index)];
}

std::string ProgramDir() {
  static const std::string dir = [] {
    std::string exe = ExecutablePath();
    size_t p = exe.rfind('/');
    return p == std::string::npos ? std::string("./") : exe.substr(0, p + 1);
  }();
  return dir;
}

std::string GetEnvironmentVariable(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  return v ? std::string(v) : std::string();
}

void Sleep(uint32_t milliseconds) {
  if (milliseconds == 0) std::this_thread::yield();
  else std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint64_t GetTickCount64() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

uint32_t GetTickCount() { return uint32_t(GetTickCount64()); }

std::string SysErrorMessage(int errorCode) {
  char buf[256];
  // The GNU strerror_r returns the text (possibly not in buf).
  const char* text = strerror_r(errorCode, buf, sizeof buf);
  return text ? std::string(text) : std::string();
}

void RaiseLastOSError(int errorCode) {
  throw EOSError(Format(_("System Error.  Code: %d.\n%s"), {errorCode, SysErrorMessage(errorCode)}));
}

void RaiseLastOSError() { RaiseLastOSError(errno); }
