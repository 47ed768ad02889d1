// Running a program from an argument vector and waiting for it with a time-out on a
// monotonic clock, sleeping in the kernel between short slices in which the GUI is pumped.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/shell/Shell.h"

extern char** environ;

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsPlainWordChar(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '@' ||
         c == '%' || c == '+' || c == '=' || c == ':' || c == ',' || c == '.' || c == '/' || c == '-';
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return status;
}

// A descriptor that becomes readable when the process ends (-1 when the kernel has none).
int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  return int(::syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  errno = ENOSYS;
  return -1;
#endif
}

// Sleeps until the process ends or the slice is over.
void WaitSlice(int pidfd, int milliseconds) {
  if (milliseconds <= 0) return;
  if (pidfd >= 0) {
    struct pollfd p = {pidfd, POLLIN, 0};
    ::poll(&p, 1, milliseconds);
  } else {
    // Without a process descriptor: short sleeps, still far from spinning.
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds < 10 ? milliseconds : 10));
  }
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& line, bool* ok) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool complete = true;
  size_t i = 0;
  const size_t n = line.size();
  while (i < n) {
    char c = line[i];
    if (IsBlank(c)) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
      ++i;
    } else if (c == '\\') {
      if (i + 1 >= n) {
        complete = false;
        word += c;
        inWord = true;
        ++i;
      } else {
        if (line[i + 1] != '\n') {
          word += line[i + 1];
          inWord = true;
        }
        i += 2;  // a backslash before a line end joins the lines
      }
    } else if (c == '\'') {
      size_t end = line.find('\'', i + 1);
      if (end == std::string::npos) {
        complete = false;
        end = n;
      }
      word.append(line, i + 1, end - i - 1);
      inWord = true;
      i = end + 1;
    } else if (c == '"') {
      inWord = true;
      ++i;
      bool closed = false;
      while (i < n) {
        char d = line[i];
        if (d == '"') {
          closed = true;
          ++i;
          break;
        }
        if (d == '\\' && i + 1 < n &&
            (line[i + 1] == '"' || line[i + 1] == '\\' || line[i + 1] == '$' || line[i + 1] == '`' ||
             line[i + 1] == '\n')) {
          if (line[i + 1] != '\n') word += line[i + 1];
          i += 2;
          continue;
        }
        word += d;
        ++i;
      }
      if (!closed) complete = false;
    } else {
      word += c;
      inWord = true;
      ++i;
    }
  }
  if (inWord) words.push_back(word);
  if (ok) *ok = complete;
  return words;
}

std::string QuoteCommandArgument(const std::string& word) {
  bool plain = !word.empty();
  for (unsigned char c : word) plain = plain && IsPlainWordChar(c);
  if (plain) return word;
  std::string out = "'";
  for (char c : word) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

namespace {

// An anonymous file for a program's output, read when the program has ended: no pipe that
// a talkative program could fill while we wait. -1 (errno set) when none can be made.
int OutputFile(std::string* text) {
  if (!text) return -1;
  text->clear();
  return ::memfd_create("kivo2-output", MFD_CLOEXEC);
}

// The first MiB of the output file into text; the file is closed.
void ReadOutputFile(int fd, std::string& text) {
  constexpr size_t kMaxOutput = 1 << 20;
  char buffer[8192];
  ::lseek(fd, 0, SEEK_SET);
  ssize_t n;
  while (text.size() < kMaxOutput && (n = ::read(fd, buffer, sizeof buffer)) != 0) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    text.append(buffer, std::min(size_t(n), kMaxOutput - text.size()));
  }
  ::close(fd);
}

}  // namespace

TProcessResult RunProcessAndWait(const std::vector<std::string>& argv, int timeoutSeconds, bool terminate,
                                 const std::function<void()>& pump, std::string* output, std::string* errors) {
  using Clock = std::chrono::steady_clock;
  TProcessResult result;
  const Clock::time_point start = Clock::now();
  if (argv.empty() || argv[0].empty()) {
    result.Error = ENOENT;
    return result;
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  const int outFd = OutputFile(output), errFd = OutputFile(errors);
  if ((output && outFd < 0) || (errors && errFd < 0)) {
    result.Error = errno;
    if (outFd >= 0) ::close(outFd);
    if (errFd >= 0) ::close(errFd);
    return result;
  }
  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_init(&actions);
  // Its own process group (so a time-out can stop everything it started), no blocked
  // signals, the usual signal dispositions, and an empty input.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGCHLD, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  if (errFd >= 0) posix_spawn_file_actions_adddup2(&actions, errFd, 2);
  pid_t pid = -1;
  int err = ::posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (err != 0) {
    if (outFd >= 0) ::close(outFd);
    if (errFd >= 0) ::close(errFd);
    result.Error = err;
    return result;
  }

  int pidfd = OpenPidFd(pid);
  // "More than timeoutSeconds whole seconds have passed": the first moment is timeout + 1 s.
  const Clock::time_point deadline = start + std::chrono::seconds(timeoutSeconds + 1);
  for (;;) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      result.Outcome = TWaitOutcome::Finished;
      result.ExitCode = ExitCodeOf(status);
      break;
    }
    if (r < 0 && errno != EINTR) {
      // Somebody else reaped it (a SIGCHLD handler set to ignore children): count it as ended.
      result.Outcome = TWaitOutcome::Finished;
      result.ExitCode = 0;
      break;
    }
    Clock::time_point now = Clock::now();
    if (timeoutSeconds > 0 && now >= deadline) {
      result.Outcome = TWaitOutcome::TimedOut;
      if (terminate) result.Terminated = ::kill(-pid, SIGKILL) == 0 || ::kill(pid, SIGKILL) == 0;
      if (result.Terminated) {
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
      } else {
        // It runs on (or could not be killed); a thread of its own collects it when it ends.
        std::thread([pid] {
          int s;
          while (::waitpid(pid, &s, 0) < 0 && errno == EINTR) {
          }
        }).detach();
      }
      break;
    }
    int slice = pump ? 20 : 1000;
    if (timeoutSeconds > 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
      if (left < slice) slice = int(left);
    }
    WaitSlice(pidfd, slice);
    if (pump) pump();
  }
  if (pidfd >= 0) ::close(pidfd);
  if (outFd >= 0) ReadOutputFile(outFd, *output);
  if (errFd >= 0) ReadOutputFile(errFd, *errors);
  return result;
}

bool RunProcessOutput(const std::vector<std::string>& argv, int timeoutSeconds, std::string& output) {
  TProcessResult r = RunProcessAndWait(argv, timeoutSeconds, true, {}, &output);
  return r.Outcome == TWaitOutcome::Finished && r.ExitCode == 0;
}
