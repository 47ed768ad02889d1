#include "platform/QtApplication.h"

#include "platform/gui/BusyForm.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QEvent>
#include <QSocketNotifier>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {
// The key events being delivered, the outermost first, each with whether it was taken up.
std::vector<std::pair<const QEvent*, bool>> g_keysOnTheirWay;

class ProgramApplication : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return QApplication::notify(receiver, event);
    for (const auto& onItsWay : g_keysOnTheirWay)
      if (onItsWay.first == event) return QApplication::notify(receiver, event);  // handed on
    struct Delivery {
      explicit Delivery(const QEvent* e) { g_keysOnTheirWay.emplace_back(e, false); }
      ~Delivery() { g_keysOnTheirWay.pop_back(); }
    } delivery(event);
    return QApplication::notify(receiver, event);
  }
};

int g_argc = 1;
char g_arg0[] = "kivo2";
char* g_defaultArgv[] = {g_arg0, nullptr};
char** g_argv = g_defaultArgv;

// ---------------------------------------------------------------------------
// The desktop session's requests
// ---------------------------------------------------------------------------
std::function<void(TSessionRequest)> g_sessionHandler;
// A signal handler may do next to nothing: it writes one byte into this pipe,
// whose reading end the event loop watches.
int g_signalPipe[2] = {-1, -1};
bool g_sessionSourcesConnected = false;

void Deliver(TSessionRequest request) {
  if (!g_sessionHandler) return;
  // A copy: the handler may replace or remove itself.
  auto handler = g_sessionHandler;
  handler(request);
}

void OnEndingSignal(int) {
  const int savedErrno = errno;
  const char byte = 1;
  if (g_signalPipe[1] >= 0) {
    ssize_t written = write(g_signalPipe[1], &byte, 1);
    (void)written;  // a full pipe already holds a request
  }
  errno = savedErrno;
}

// Reads what the signals left in the pipe; true when there was anything.
bool DrainSignalPipe() {
  bool any = false;
  char buffer[64];
  for (;;) {
    ssize_t n = read(g_signalPipe[0], buffer, sizeof buffer);
    if (n > 0) {
      any = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return any;
  }
}

void SetEndingSignals(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = handler == SIG_DFL ? 0 : SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

// The application's quit request (a Quit event, as a platform sends it when the session
// ends the program) becomes an end of session instead of closing the windows one by one.
class QuitRequestFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == qApp && event->type() == QEvent::Quit && g_sessionHandler) {
      Deliver(TSessionRequest::EndSession);
      return true;
    }
    return false;
  }
};

void ConnectSessionSources() {
  if (g_sessionSourcesConnected) return;
  if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    g_signalPipe[0] = g_signalPipe[1] = -1;
  } else {
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
      if (DrainSignalPipe()) Deliver(TSessionRequest::EndSession);
    });
  }
#if QT_CONFIG(sessionmanager)
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp,
                   [](QSessionManager&) { Deliver(TSessionRequest::SaveState); }, Qt::DirectConnection);
#endif
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, [] { Deliver(TSessionRequest::EndSession); },
                   Qt::DirectConnection);
  qApp->installEventFilter(new QuitRequestFilter(qApp));
  g_sessionSourcesConnected = true;
}

}  // namespace

void SetProgramArguments(int argc, char** argv) {
  if (argc > 0 && argv) {
    g_argc = argc;
    g_argv = argv;
  }
}

void EnsureQtApplication() {
  if (QCoreApplication::instance()) return;
  // Lives until the process ends, like the class library's application object.
  new ProgramApplication(g_argc, g_argv);
  // A file lock that has to wait for another program keeps the windows drawn meanwhile.
  SetLockWaiter(&WaitBusyForLock);
  KeepProcessLocale();
  ApplyToolkitTranslation();
}

namespace {

std::string Environment(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

// The X server that DISPLAY names accepts a connection.
bool X11Reachable() {
  const std::string display = Environment("DISPLAY");
  if (display.empty()) return false;
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  const bool reached = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return reached;
}

// The Wayland compositor's socket (WAYLAND_DISPLAY, by default wayland-0, in
// XDG_RUNTIME_DIR unless it is a full path) accepts a connection.
bool WaylandReachable() {
  std::string path = Environment("WAYLAND_DISPLAY");
  if (path.empty()) path = "wayland-0";
  if (path[0] != '/') {
    const std::string runtime = Environment("XDG_RUNTIME_DIR");
    if (runtime.empty()) return false;
    path = runtime + "/" + path;
  }
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool reached = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return reached;
}

}  // namespace

TDisplayReach ReachDisplay() {
  const std::string platforms = Environment("QT_QPA_PLATFORM"), display = Environment("DISPLAY"),
                    wayland = Environment("WAYLAND_DISPLAY");
  if (platforms.empty() && display.empty() && wayland.empty()) return TDisplayReach::NoneNamed;
  // The platforms the toolkit will try: QT_QPA_PLATFORM's list ("name:options;name"), else
  // X11, and Wayland in a Wayland session. Platforms other than these two need no server.
  std::vector<std::string> names;
  if (platforms.empty()) {
    names.push_back("xcb");
    if (!wayland.empty() || Environment("XDG_SESSION_TYPE") == "wayland") names.push_back("wayland");
  }
  for (size_t from = 0; from < platforms.size();) {
    const size_t end = std::min(platforms.find(';', from), platforms.size());
    const std::string entry = platforms.substr(from, end - from);
    names.push_back(entry.substr(0, entry.find(':')));
    from = end + 1;
  }
  for (const std::string& name : names) {
    if (name == "xcb" ? X11Reachable() : name.rfind("wayland", 0) == 0 ? WaylandReachable() : !name.empty())
      return TDisplayReach::Reached;
  }
  return display.empty() && wayland.empty() ? TDisplayReach::NoneNamed : TDisplayReach::Unreachable;
}

bool KeyEventTakenUp(const QEvent* event) {
  for (auto it = g_keysOnTheirWay.rbegin(); it != g_keysOnTheirWay.rend(); ++it)
    if (it->first == event) return std::exchange(it->second, true);
  return false;
}

void SetSessionHandler(std::function<void(TSessionRequest)> handler) {
  EnsureQtApplication();
  g_sessionHandler = std::move(handler);
  if (g_sessionHandler) {
    ConnectSessionSources();
    if (g_signalPipe[0] >= 0) SetEndingSignals(OnEndingSignal);
  } else {
    SetEndingSignals(SIG_DFL);
    // A request that came in meanwhile has no one to go to.
    if (g_signalPipe[0] >= 0) DrainSignalPipe();
  }
}
