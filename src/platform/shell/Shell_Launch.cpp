// Opening documents with the desktop's default application and starting programs
// detached, always from an argument vector.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>

#include <cctype>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

extern char** environ;

namespace {

// How long xdg-open's answer is waited for.
constexpr int kOpenSeconds = 5;

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

std::string FileMimeType(const std::string& path, const std::function<void()>& pump) {
  std::string type;
  if (RunProcessAndWait({"xdg-mime", "query", "filetype", ExpandFileName(path)}, kOpenSeconds, true, pump, &type)
          .ExitCode == 0) {
    // "text/plain; charset=us-ascii" from some tools: the type alone.
    type = Trim(type.substr(0, type.find_first_of(";\n")));
    if (type.find('/') != std::string::npos) return type;
  }
  return MimeTypeOfExtension(ExtractFileExt(path));
}

TOpenOutcome OpenDocumentOutcome(const std::string& pathOrUrl) {
  if (pathOrUrl.empty()) return TOpenOutcome::Missing;
  // An existing file wins over a URL reading of its name ("a:b.jpg"); a full path is passed,
  // so that a name starting with '-' is never read as an option.
  std::string target = ExpandFileName(pathOrUrl);
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists) {
    if (!HasUrlScheme(pathOrUrl)) return TOpenOutcome::Missing;
    target = pathOrUrl;
  }
  QCoreApplication* app = QCoreApplication::instance();
  const bool guiThread = app && QThread::currentThread() == app->thread();
  const auto pump = [guiThread] {
    if (guiThread) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  if (exists && !S_ISDIR(st.st_mode)) {
    // A file goes to the program of its type, never run itself: xdg-open may start an
    // executable file or a launcher where the desktop does so.
    const std::string type = FileMimeType(target, pump);
    const std::string entry = IsRunnableMimeType(type) ? std::string() : DefaultDesktopEntry(type);
    if (entry.empty()) return TOpenOutcome::NoProgram;
    const std::vector<std::string> argv = DesktopEntryCommand(entry, target);
    return !argv.empty() && StartDetached(argv) ? TOpenOutcome::Opened : TOpenOutcome::Failed;
  }
  const TProcessResult result = RunProcessAndWait({"xdg-open", target}, kOpenSeconds, false, pump);
  if (result.Outcome == TWaitOutcome::StartFailed) return TOpenOutcome::NoOpener;
  if (result.Outcome == TWaitOutcome::TimedOut || result.ExitCode == 0) return TOpenOutcome::Opened;
  // xdg-open's exit status: 2 a missing file, 3 no program for it, 4 the program failed.
  if (result.ExitCode == 2) return TOpenOutcome::Missing;
  return result.ExitCode == 3 ? TOpenOutcome::NoProgram : TOpenOutcome::Failed;
}

std::string OpenOutcomeText(TOpenOutcome outcome) {
  switch (outcome) {
    case TOpenOutcome::Opened: return std::string();
    case TOpenOutcome::Missing: return _("The file does not exist.");
    case TOpenOutcome::NoProgram: return _("No program to open it is set up on this desktop.");
    case TOpenOutcome::Failed: return _("The desktop's program could not open it.");
    case TOpenOutcome::NoOpener:
      return _("xdg-open, which opens files and web pages with the desktop's programs, is not installed.");
  }
  return std::string();
}

bool OpenDocument(const std::string& pathOrUrl, std::string* reason) {
  const TOpenOutcome outcome = OpenDocumentOutcome(pathOrUrl);
  if (reason) *reason = OpenOutcomeText(outcome);
  return outcome == TOpenOutcome::Opened;
}
