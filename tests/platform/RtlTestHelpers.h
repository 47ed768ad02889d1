#pragma once
// Helpers of the run-time library tests.
#include <signal.h>
#include <sys/resource.h>

#include <string>

#include "TestSupport.h"

namespace rtltest {

// Makes writes beyond limit bytes fail (EFBIG) while it lives: a write failure that
// also happens for root, who may write into read-only folders.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    struct rlimit l = old_;
    l.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &l);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit old_;
};

// Names in a folder (without "." and ".."), sorted, one per line, as find lists them.
inline std::string ListFolder(const std::string& dir) {
  auto r = testsupport::Run({"find", dir, "-mindepth", "1", "-maxdepth", "1", "-printf", "%f\\n"});
  return r.out;
}

// A tool's single-line answer without its line end.
inline std::string ToolLine(const std::vector<std::string>& argv) {
  std::string out = testsupport::Run(argv).out;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

}  // namespace rtltest
