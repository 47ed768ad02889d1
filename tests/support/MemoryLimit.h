#pragma once
// Running a piece of a test in a forked child whose address space may grow by only so
// much, to prove that a reader refuses a hostile file before it allocates for it (a
// large allocation fails in the child instead of succeeding quietly), and to see how
// the code behaves when memory runs short. Works in the sanitizer build too: there the
// limit counts from the sanitizer's own reservations, which are made at start-up.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <new>
#include <string>

#include "platform/rtl/SysUtils.h"

// Under AddressSanitizer a malloc that fails returns null, as it does without the
// sanitizer, instead of ending the process; the limited children rely on it.
extern "C" __attribute__((weak, used)) const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace testsupport {

struct LimitedRun {
  bool finished = false;  // the child returned (a crash or a kill leaves it false)
  int signal = 0;         // the signal that ended the child, if one did
  std::string text;       // what fn returned, or the class and message of what it raised
};

inline constexpr uint64_t kMiB = uint64_t(1) << 20;

// The child's address space now, in bytes (VmSize of /proc/self/status).
inline uint64_t AddressSpaceNow() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  unsigned long long kib = 0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmSize: %llu kB", &kib) == 1) break;
  std::fclose(f);
  return uint64_t(kib) * 1024;
}

// Runs fn in a child that may map at most extraBytes more than it has when fn starts.
// The child reports what fn returns; an exception is reported as "Class: message"
// ("EOutOfResources: ...", "std::bad_alloc"), so that a test tells the program's own
// refusal from a failed allocation.
inline LimitedRun RunWithMemoryLimit(uint64_t extraBytes, const std::function<std::string()>& fn) {
  LimitedRun result;
  int fds[2];
  if (pipe(fds) != 0) return result;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = rlim_t(AddressSpaceNow() + extraBytes);
    setrlimit(RLIMIT_AS, &limit);
    std::string text;
    try {
      text = "returned: " + fn();
    } catch (const EOutOfResources& e) {
      text = "EOutOfResources: " + e.Message();
    } catch (const EInvalidGraphic& e) {
      text = "EInvalidGraphic: " + e.Message();
    } catch (const Exception& e) {
      text = "Exception: " + e.Message();
    } catch (const std::bad_alloc&) {
      text = "std::bad_alloc";
    } catch (const std::exception& e) {
      text = std::string("std::exception: ") + e.what();
    }
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = write(fds[1], text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += size_t(n);
    }
    close(fds[1]);
    _exit(0);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return result;
  }
  char buffer[4096];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) result.text.append(buffer, size_t(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

}  // namespace testsupport
