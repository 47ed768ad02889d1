#include "RealWindow.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "Kivo2Version.h"

extern char** environ;

namespace testsupport {

namespace {

// The environment of this process with some names replaced ("NAME=value") or removed
// ("NAME" alone).
std::vector<std::string> Environment(const std::vector<std::string>& changes) {
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool changed = false;
    for (const std::string& c : changes) changed = changed || nameOf(c) == nameOf(entry);
    if (!changed) env.push_back(entry);
  }
  for (const std::string& c : changes)
    if (c.find('=') != std::string::npos) env.push_back(c);
  return env;
}

// Starts argv[0] with its output into logFile (or /dev/null); -1 on failure. `keepFd`
// is handed to the child as descriptor 3.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& logFile,
            int keepFd = -1) {
  const std::string exe = ToolPath(argv[0]);
  if (exe.empty()) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string log = logFile.empty() ? "/dev/null" : logFile;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  if (keepFd >= 0) posix_spawn_file_actions_adddup2(&actions, keepFd, 3);
  // Its own process group: a signal to the test's group does not reach it twice.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  std::vector<char*> args, envp;
  args.push_back(const_cast<char*>(exe.c_str()));
  for (size_t i = 1; i < argv.size(); ++i) args.push_back(const_cast<char*>(argv[i].c_str()));
  args.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, exe.c_str(), &actions, &attr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  return rc == 0 ? pid : -1;
}

// Waits for the child to end; its exit code, or -1 when it was still running at the
// time-out (then it is left alone).
bool WaitExit(pid_t pid, int timeoutMs, int& code) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return true;
    }
    if (r < 0) {
      code = -1;
      return true;
    }
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// Ends a child: SIGTERM, then SIGKILL after the grace time.
void End(pid_t& pid, int graceMs) {
  if (pid <= 0) return;
  int code = 0;
  kill(pid, SIGTERM);
  if (!WaitExit(pid, graceMs, code)) {
    kill(pid, SIGKILL);
    WaitExit(pid, 5000, code);
  }
  pid = -1;
}

std::string Hex(unsigned long window) {
  char buf[32];
  snprintf(buf, sizeof buf, "0x%lx", window);
  return buf;
}

// The numbers of a line such as "_NET_FRAME_EXTENTS(CARDINAL) = 1, 1, 20, 5".
std::vector<long> Numbers(const std::string& line) {
  std::vector<long> numbers;
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return numbers;
  std::stringstream ss(line.substr(eq + 1));
  std::string item;
  while (std::getline(ss, item, ',')) {
    const size_t at = item.find_first_of("0123456789");
    if (at == std::string::npos) continue;
    numbers.push_back(strtol(item.c_str() + at, nullptr, at > 0 && item[at - 1] == 'x' ? 16 : 0));
  }
  return numbers;
}

// The window ids of a line such as "_NET_CLIENT_LIST_STACKING(WINDOW): window id # 0x1, 0x2".
std::vector<unsigned long> WindowIds(const std::string& line) {
  std::vector<unsigned long> ids;
  for (size_t at = line.find("0x"); at != std::string::npos; at = line.find("0x", at + 2))
    ids.push_back(strtoul(line.c_str() + at, nullptr, 16));
  return ids;
}

}  // namespace

std::string RealWindow::MissingTool() {
  for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "wmctrl", "import"})
    if (ToolPath(tool).empty()) return tool;
  return std::string();
}

RealWindow::~RealWindow() {
  Reap();
  if (program_ > 0) Close(10000);
  stopServer();
}

std::string RealWindow::RegistryFile() {
  const char* dir = getenv("KIVO2_REGISTRY_DIR");
  return std::string(dir ? dir : "") + "/HKEY_CURRENT_USER.reg";
}

bool RealWindow::startServer(int width, int height, int panel, bool stock) {
  if (server_ > 0 && width == serverWidth_ && height == serverHeight_ && panel == serverPanel_ && stock == serverStock_)
    return true;
  stopServer();
  // The server picks a free display and writes its number to descriptor 3.
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  if (fds[1] == 3) {  // a descriptor handed on as itself would keep its close-on-exec
    const int moved = fcntl(fds[1], F_DUPFD_CLOEXEC, 10);
    close(fds[1]);
    fds[1] = moved;
  }
  const std::string geometry = std::to_string(width) + "x" + std::to_string(height) + "x24";
  server_ = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", geometry, "-nolisten", "tcp", "-noreset"},
                  Environment({}), TempPath("xvfb.log"), fds[1]);
  close(fds[1]);
  std::string number;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (server_ > 0 && number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    char buf[32];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    number.append(buf, size_t(n));
  }
  close(fds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.pop_back();
  if (server_ <= 0 || number.empty()) {
    error_ = "the X server did not start";
    stopServer();
    return false;
  }
  display_ = ":" + number;
  serverWidth_ = width;
  serverHeight_ = height;
  serverPanel_ = panel;
  serverStock_ = stock;
  // The window manager's own settings: only the strip a task bar would take.
  const std::string config = stock ? "/etc/xdg/openbox/rc.xml" : TempPath("openbox-rc.xml");
  if (!stock)
    WriteFile(config, "<?xml version=\"1.0\"?>\n<openbox_config xmlns=\"http://openbox.org/3.4/rc\">\n<margins><bottom>" +
                          std::to_string(panel) + "</bottom></margins>\n</openbox_config>\n");
  manager_ = Spawn({"openbox", "--config-file", config}, Environment({"DISPLAY=" + display_}), TempPath("openbox.log"));
  // The window manager is in charge once it names its check window on the root.
  const bool managed = WaitUntil(
      [&] { return Property(0, "_NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos; }, 20000);
  if (manager_ <= 0 || !managed) {
    error_ = "the window manager did not start";
    stopServer();
    return false;
  }
  return true;
}

void RealWindow::stopServer() {
  End(manager_, 3000);
  End(server_, 3000);
  display_.clear();
}

void RealWindow::writeSettings(const Options& options) const {
  if (options.keepSettings) return;
  char version[32];
  // This build's number, so that the start greets no new version.
  snprintf(version, sizeof version, "dword:%08x",
           unsigned(KIVO2_VERSION_MAJOR * 1000000 + KIVO2_VERSION_MINOR * 10000 + KIVO2_VERSION_PATCH * 100 +
                    KIVO2_VERSION_TWEAK));
  std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kivo\\Kivo2]\r\n\"Version\"=" + std::string(version) + "\r\n";
  if (!options.language.empty()) text += "\"Language\"=\"" + options.language + "\"\r\n";
  for (const std::string& line : options.registryValues) text += line + "\r\n";
  WriteFile(RegistryFile(), text + "\r\n");
}

bool RealWindow::Start(const Options& options) {
  error_.clear();
  if (program_ > 0) Close();
  if (!startServer(options.screenWidth, options.screenHeight, options.panelHeight, options.stockManager)) return false;
  writeSettings(options);
  logFile_ = TempPath("kivo2.log");
  std::vector<std::string> argv{ProgramDir() + "/kivo2"};
  argv.insert(argv.end(), options.arguments.begin(), options.arguments.end());
  // The program as a user runs it: no test answers its dialogs.
  std::vector<std::string> environment{"DISPLAY=" + display_, "QT_QPA_PLATFORM=xcb", "KIVO2_UNDER_TEST",
                                       "KIVO2_CLOSE_AFTER_MS", "QT_ACCESSIBILITY=0"};
  environment.insert(environment.end(), options.environment.begin(), options.environment.end());
  program_ = Spawn(argv, Environment(environment), logFile_);
  if (program_ <= 0) {
    error_ = "the program did not start";
    return false;
  }
  main_ = WaitForWindow("Form1", 30000);
  if (!main_) {
    error_ = "no main window came: " + Log();
    return false;
  }
  // The window manager has placed it once it has framed it.
  WaitUntil([&] { return !Property(main_, "_NET_FRAME_EXTENTS").empty() && Viewable(main_); }, 10000);
  return true;
}

int RealWindow::Close(int timeoutMs) {
  if (program_ <= 0) return -1;
  int code = -1;
  if (main_ && Viewable(main_)) Tool({"wmctrl", "-i", "-c", Hex(main_)});
  if (!WaitExit(program_, timeoutMs, code)) {
    kill(program_, SIGTERM);
    if (!WaitExit(program_, 5000, code)) {
      kill(program_, SIGKILL);
      WaitExit(program_, 5000, code);
    }
    code = -1;
  }
  program_ = -1;
  main_ = 0;
  return code;
}

void RealWindow::Kill(bool reap) {
  if (program_ <= 0) return;
  kill(program_, SIGKILL);
  int code = 0;
  if (reap) {
    WaitExit(program_, 10000, code);
  } else {
    siginfo_t info;
    waitid(P_PID, id_t(program_), &info, WEXITED | WNOWAIT);
    Reap();
    zombie_ = program_;
  }
  program_ = -1;
  main_ = 0;
}

void RealWindow::Reap() {
  if (zombie_ > 0) waitpid(zombie_, nullptr, 0);
  zombie_ = -1;
}

bool RealWindow::Running() {
  if (program_ <= 0) return false;
  int code = 0;
  if (WaitExit(program_, 0, code)) {
    program_ = -1;
    return false;
  }
  return true;
}

std::string RealWindow::Log() const {
  try {
    return logFile_.empty() ? std::string() : ReadFile(logFile_);
  } catch (const std::exception&) {
    return std::string();
  }
}

CommandResult RealWindow::Tool(std::vector<std::string> argv, int timeoutSeconds) const {
  argv.insert(argv.begin(), {"env", "DISPLAY=" + display_, "timeout", std::to_string(timeoutSeconds)});
  return Run(argv);
}

std::vector<unsigned long> RealWindow::Windows() const {
  std::vector<unsigned long> windows;
  if (program_ <= 0) return windows;
  for (const std::string& line :
       Lines(Tool({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(program_)}).out))
    if (!line.empty()) windows.push_back(strtoul(line.c_str(), nullptr, 10));
  return windows;
}

unsigned long RealWindow::FindWindow(const std::string& role) const {
  for (unsigned long w : Windows())
    if (Role(w) == role) return w;
  return 0;
}

unsigned long RealWindow::WaitForWindow(const std::string& role, int timeoutMs) const {
  unsigned long found = 0;
  WaitUntil([&] { return (found = FindWindow(role)) != 0; }, timeoutMs);
  // Clicks go to places in the window: on a busy machine the window manager frames and
  // places it a moment after it shows, so the window is given once it is framed and stays
  // where it is for one more look.
  XRect last;
  if (found)
    WaitUntil(
        [&] {
          const XRect now = Geometry(found);
          const bool still = !Property(found, "_NET_FRAME_EXTENTS").empty() && now == last;
          last = now;
          return still;
        },
        5000);
  return found;
}

std::string RealWindow::Describe() const {
  std::string text;
  for (unsigned long w : Windows()) {
    const XRect g = Geometry(w);
    text += Hex(w) + " " + Role(w) + " \"" + Title(w) + "\" " + std::to_string(g.width) + "x" +
            std::to_string(g.height) + "+" + std::to_string(g.x) + "+" + std::to_string(g.y);
    for (const std::string& s : State(w)) text += " " + s;
    text += "\n";
  }
  return text;
}

void RealWindow::Key(const std::string& keys) const {
  std::vector<std::string> argv{"xdotool", "key", "--delay", "60"};
  std::stringstream ss(keys);
  for (std::string key; ss >> key;) argv.push_back(key);
  Tool(argv);
}
void RealWindow::Type(const std::string& text) const { Tool({"xdotool", "type", "--delay", "20", text}); }
void RealWindow::MoveMouse(int x, int y) const {
  // xdotool's wait for the move would wait for ever when the pointer is there already.
  const std::string at = Tool({"xdotool", "getmouselocation"}).out;
  if (at.rfind("x:" + std::to_string(x) + " y:" + std::to_string(y) + " ", 0) == 0) return;
  Tool({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y)});
}
void RealWindow::Click(int x, int y, int button) const {
  MoveMouse(x, y);
  Tool({"xdotool", "click", std::to_string(button)});
}

bool RealWindow::Activate(unsigned long window) const {
  Tool({"xdotool", "windowactivate", std::to_string(window)});
  return WaitUntil([&] { return ActiveWindow() == window; }, 5000);
}

unsigned long RealWindow::ActiveWindow() const {
  const auto ids = WindowIds(Property(0, "_NET_ACTIVE_WINDOW"));
  return ids.empty() ? 0 : ids[0];
}

std::string RealWindow::Property(unsigned long window, const std::string& name) const {
  const CommandResult r = window ? Tool({"xprop", "-id", Hex(window), name}) : Tool({"xprop", "-root", name});
  if (r.exitCode != 0 || r.out.find("not found") != std::string::npos || r.out.find("no such atom") != std::string::npos)
    return std::string();
  std::string line = r.out;
  while (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

std::string RealWindow::Role(unsigned long window) const {
  const std::string line = Property(window, "WM_WINDOW_ROLE");
  const size_t open = line.find('"'), close = line.rfind('"');
  return open != std::string::npos && close > open ? line.substr(open + 1, close - open - 1) : std::string();
}

std::string RealWindow::Title(unsigned long window) const {
  std::string title = Tool({"xdotool", "getwindowname", std::to_string(window)}).out;
  while (!title.empty() && title.back() == '\n') title.pop_back();
  return title;
}

std::vector<std::string> RealWindow::State(unsigned long window) const {
  std::vector<std::string> atoms;
  const std::string line = Property(window, "_NET_WM_STATE");
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return atoms;
  std::stringstream ss(line.substr(eq + 1));
  std::string atom;
  while (std::getline(ss, atom, ',')) {
    atom.erase(0, atom.find_first_not_of(' '));
    atom.erase(atom.find_last_not_of(' ') + 1);
    if (!atom.empty()) atoms.push_back(atom);
  }
  return atoms;
}

bool RealWindow::HasState(unsigned long window, const std::string& atom) const {
  for (const std::string& s : State(window))
    if (s == atom) return true;
  return false;
}

XRect RealWindow::Geometry(unsigned long window) const {
  XRect r;
  for (const std::string& line : Lines(Tool({"xwininfo", "-id", Hex(window)}).out)) {
    auto value = [&](const char* label, int& field) {
      const size_t at = line.find(label);
      if (at != std::string::npos) field = atoi(line.c_str() + at + strlen(label));
    };
    value("Absolute upper-left X:", r.x);
    value("Absolute upper-left Y:", r.y);
    value("  Width:", r.width);
    value("  Height:", r.height);
  }
  return r;
}

XFrame RealWindow::Frame(unsigned long window) const {
  const auto n = Numbers(Property(window, "_NET_FRAME_EXTENTS"));
  XFrame f;
  if (n.size() == 4) f = {int(n[0]), int(n[1]), int(n[2]), int(n[3])};
  return f;
}

bool RealWindow::Viewable(unsigned long window) const {
  return Tool({"xwininfo", "-id", Hex(window)}).out.find("IsViewable") != std::string::npos;
}

bool RealWindow::Above(unsigned long upper, unsigned long lower) const {
  int upperAt = -1, lowerAt = -1, at = 0;
  for (unsigned long w : WindowIds(Property(0, "_NET_CLIENT_LIST_STACKING"))) {
    if (w == upper) upperAt = at;
    if (w == lower) lowerAt = at;
    ++at;
  }
  return upperAt >= 0 && lowerAt >= 0 && upperAt > lowerAt;
}

XRect RealWindow::WorkArea() const {
  const auto n = Numbers(Property(0, "_NET_WORKAREA"));
  XRect r{0, 0, serverWidth_, serverHeight_};
  if (n.size() >= 4) r = {int(n[0]), int(n[1]), int(n[2]), int(n[3])};
  return r;
}

bool RealWindow::Screenshot(const std::string& pngFile) const {
  return Tool({"import", "-window", "root", pngFile}).exitCode == 0;
}

bool RealWindow::WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace testsupport
