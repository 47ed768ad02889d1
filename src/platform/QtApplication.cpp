#include "platform/QtApplication.h"

#include "platform/gui/BusyForm.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QSocketNotifier>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

#include <cerrno>
#include <cstdlib>
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

bool DisplayAvailable() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* value = getenv(name); value && *value) return true;
  return false;
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
