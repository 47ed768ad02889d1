#pragma once
// Helpers of the shell tests: a scratch folder on a file system other than the sandbox's,
// and small facts read with the system's own tools.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"

namespace shelltest {

// A fresh folder on another file system than the sandbox (/dev/shm), removed again by the
// destructor; Path() is "" when there is none.
class OtherDeviceScratch {
 public:
  OtherDeviceScratch() {
    struct stat shm, sandbox;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(testsupport::TempDir().c_str(), &sandbox) != 0 ||
        shm.st_dev == sandbox.st_dev || ::access("/dev/shm", W_OK) != 0)
      return;
    static int counter = 0;
    path_ = "/dev/shm/kivo2-shelltest-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    std::filesystem::create_directories(path_);
  }
  ~OtherDeviceScratch() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  OtherDeviceScratch(const OtherDeviceScratch&) = delete;
  OtherDeviceScratch& operator=(const OtherDeviceScratch&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// One field of GNU stat's output for a path ("%a" mode, "%Y" mtime, "%s" size ...).
inline std::string StatField(const std::string& format, const std::string& path) {
  testsupport::CommandResult r = testsupport::Run({"stat", "-c", format, path});
  std::string out = r.out;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return r.exitCode == 0 ? out : std::string();
}

inline bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace shelltest
