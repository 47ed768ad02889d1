#include "controls/Resmeter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex g_lock;
std::string g_memInfo = "/proc/meminfo";

// The value in kB of a "Name:   1234 kB" line, or -1.
long long Field(const char* text, const char* name) {
  const size_t len = std::strlen(name);
  for (const char* line = text; *line;) {
    if (std::strncmp(line, name, len) == 0 && line[len] == ':') {
      char* end = nullptr;
      const long long v = std::strtoll(line + len + 1, &end, 10);
      return end == line + len + 1 || v < 0 ? -1 : v;
    }
    const char* next = std::strchr(line, '\n');
    if (!next) break;
    line = next + 1;
  }
  return -1;
}

// Free memory in percent of all memory, or -1.
int FreeMemoryPercent() {
  std::string path;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    path = g_memInfo;
  }
  FILE* f = std::fopen(path.c_str(), "re");
  if (!f) return -1;
  // The fields that matter lie in the first lines; a bounded read is enough.
  char text[8192];
  const size_t n = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  text[n] = '\0';
  const long long total = Field(text, "MemTotal");
  long long available = Field(text, "MemAvailable");
  if (available < 0) available = Field(text, "MemFree");
  if (total <= 0 || available < 0) return -1;
  if (available > total) available = total;
  // In floating point: figures near the integer limit must not overflow.
  return int(static_cast<long double>(available) * 100 / static_cast<long double>(total));
}

}  // namespace

bool IsWinNT() { return false; }

int GetSystemResourcesFree() { return FreeMemoryPercent(); }
int GetGDIResourcesFree() { return FreeMemoryPercent(); }
int GetUserResourcesFree() { return FreeMemoryPercent(); }

bool ResourcesLow(int system, int gdi, int user) {
  for (int v : {system, gdi, user})
    if (v >= 0 && v <= 10) return true;
  return false;
}

bool SystemResourcesLow() {
  if (IsWinNT()) return false;
  const int system = GetSystemResourcesFree();
  const int gdi = GetGDIResourcesFree();
  const int user = GetUserResourcesFree();
  return ResourcesLow(system, gdi, user);
}

void SetMemInfoFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_memInfo = path.empty() ? "/proc/meminfo" : path;
}
