// Opening documents with the desktop's default application and starting programs
// detached, always from an argument vector.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

extern char** environ;

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string FindProgramFile(const std::string& program) {
  if (program.empty()) return std::string();
  if (program.find('/') != std::string::npos) return IsExecutableFile(program) ? program : std::string();
  std::string path = GetEnvironmentVariable("PATH");
  if (path.empty()) path = "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    std::string candidate = PathJoin(dir.empty() ? "." : dir, program);
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return std::string();
}

namespace {

// "scheme:..." as in a URL (a letter, then letters, digits, + - .).
bool HasUrlScheme(const std::string& s) {
  size_t colon = s.find(':');
  if (colon == std::string::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(s[0]))) return false;
  for (size_t i = 1; i < colon; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

}  // namespace

bool StartDetached(const std::vector<std::string>& argv, const std::string& workingDir) {
  if (argv.empty()) return false;
  std::string program = FindProgramFile(argv[0]);
  if (program.empty()) return false;
  if (!workingDir.empty() && !DirectoryExists(workingDir)) return false;

  // Everything the children need is prepared here: after fork only async-signal-safe calls.
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const char* dir = workingDir.empty() ? nullptr : workingDir.c_str();
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;

  pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    // The middle process: a new session, then the program in a grandchild that init adopts.
    ::close(report[0]);
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild == 0) {
      sigset_t none;
      sigemptyset(&none);
      ::sigprocmask(SIG_SETMASK, &none, nullptr);
      ::signal(SIGPIPE, SIG_DFL);
      ::signal(SIGCHLD, SIG_DFL);
      int devnull = ::open("/dev/null", O_RDONLY);
      if (devnull > 0) {
        ::dup2(devnull, 0);
        ::close(devnull);
      }
      int err = 0;
      if (dir && ::chdir(dir) != 0) err = errno;
      if (err == 0) {
        ::execve(program.c_str(), args.data(), environ);
        err = errno;
      }
      ssize_t ignored = ::write(report[1], &err, sizeof err);
      (void)ignored;
      ::_exit(127);
    }
    if (grandchild < 0) {
      int err = errno;
      ssize_t ignored = ::write(report[1], &err, sizeof err);
      (void)ignored;
    }
    ::_exit(0);
  }
  ::close(report[1]);
  int status;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // The pipe closes unread when exec succeeds; an errno value arrives when it failed.
  int err = 0;
  ssize_t r;
  do {
    r = ::read(report[0], &err, sizeof err);
  } while (r < 0 && errno == EINTR);
  ::close(report[0]);
  return r == 0;
}

bool OpenDocument(const std::string& pathOrUrl) {
  if (pathOrUrl.empty()) return false;
  // An existing file wins over a URL reading of its name ("a:b.jpg"); a full path is passed,
  // so that a name starting with '-' is never read as an option.
  std::string target = ExpandFileName(pathOrUrl);
  struct stat st;
  if (::stat(target.c_str(), &st) != 0) {
    if (!HasUrlScheme(pathOrUrl)) return false;
    target = pathOrUrl;
  }
  return StartDetached({"xdg-open", target});
}
