#include "platform/services/ScannerSane.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <thread>

#if KIVO2_HAVE_SANE
#include <sane/sane.h>
#endif

bool IsFeederSource(const std::string& source) {
  std::string s;
  for (char c : source) s += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s.find("feeder") != std::string::npos || s.find("adf") != std::string::npos;
}

int NearestIndex(const std::vector<double>& list, double value) {
  int best = 0;
  for (size_t i = 1; i < list.size(); ++i)
    if (std::fabs(list[i] - value) < std::fabs(list[size_t(best)] - value)) best = int(i);
  return best;
}

#if !KIVO2_HAVE_SANE

// Built without the scanner library's header: there is no scanner support.
struct TSaneLibrary::Api {};
std::unique_ptr<TSaneLibrary> TSaneLibrary::Load(std::string& why) {
  why = "built without scanner support";
  return nullptr;
}
TSaneLibrary::~TSaneLibrary() = default;
std::vector<TScanDeviceInfo> TSaneLibrary::Devices() { return {}; }
std::string TSaneLibrary::StatusText(int) const { return std::string(); }
std::unique_ptr<TScanDevice> TScanDevice::Open(TSaneLibrary&, const std::string&, int& status) {
  status = ssInvalid;
  return nullptr;
}
TScanDevice::~TScanDevice() = default;
TScanChoices TScanDevice::Choices() { return {}; }
TScanSettings TScanDevice::Current() { return {}; }
bool TScanDevice::Apply(const TScanSettings&, int& status) {
  status = ssUnsupported;
  return false;
}
void TScanDevice::StartScan(std::function<void()>) {}
void TScanDevice::CancelScan() {}
void TScanDevice::WaitScan() {}
bool TScanDevice::Ended() { return true; }
int TScanDevice::EndStatus() { return ssUnsupported; }
int TScanDevice::PagesReady() { return 0; }
bool TScanDevice::TakePage(TScanPage&) { return false; }
bool TScanDevice::WaitForPage() { return false; }

#else

struct TSaneLibrary::Api {
  SANE_Status (*init)(SANE_Int*, SANE_Auth_Callback) = nullptr;
  void (*exit)() = nullptr;
  SANE_Status (*get_devices)(const SANE_Device***, SANE_Bool) = nullptr;
  SANE_Status (*open)(SANE_String_Const, SANE_Handle*) = nullptr;
  void (*close)(SANE_Handle) = nullptr;
  const SANE_Option_Descriptor* (*get_option_descriptor)(SANE_Handle, SANE_Int) = nullptr;
  SANE_Status (*control_option)(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*) = nullptr;
  SANE_Status (*get_parameters)(SANE_Handle, SANE_Parameters*) = nullptr;
  SANE_Status (*start)(SANE_Handle) = nullptr;
  SANE_Status (*read)(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*) = nullptr;
  void (*cancel)(SANE_Handle) = nullptr;
  SANE_String_Const (*strstatus)(SANE_Status) = nullptr;
};

namespace {

template <class F>
bool Bind(void* handle, const char* name, F& function, std::string& missing) {
  function = reinterpret_cast<F>(dlsym(handle, name));
  if (!function) missing += std::string(missing.empty() ? "" : ", ") + name;
  return function != nullptr;
}

}  // namespace

std::unique_ptr<TSaneLibrary> TSaneLibrary::Load(std::string& why) {
  const char* chosen = std::getenv("KIVO2_SANE_LIBRARY");
  const std::string file = chosen && *chosen ? chosen : "libsane.so.1";
  // A bare name is looked up by the dynamic loader in the system's library folders only.
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* err = dlerror();
    why = err ? err : ("cannot open " + file);
    return nullptr;
  }
  std::unique_ptr<TSaneLibrary> library(new TSaneLibrary());
  library->handle_ = handle;
  library->api_ = std::make_unique<Api>();
  Api& a = *library->api_;
  std::string missing;
  Bind(handle, "sane_init", a.init, missing);
  Bind(handle, "sane_exit", a.exit, missing);
  Bind(handle, "sane_get_devices", a.get_devices, missing);
  Bind(handle, "sane_open", a.open, missing);
  Bind(handle, "sane_close", a.close, missing);
  Bind(handle, "sane_get_option_descriptor", a.get_option_descriptor, missing);
  Bind(handle, "sane_control_option", a.control_option, missing);
  Bind(handle, "sane_get_parameters", a.get_parameters, missing);
  Bind(handle, "sane_start", a.start, missing);
  Bind(handle, "sane_read", a.read, missing);
  Bind(handle, "sane_cancel", a.cancel, missing);
  Bind(handle, "sane_strstatus", a.strstatus, missing);
  if (!missing.empty()) {
    why = file + " lacks " + missing;
    library->api_->exit = nullptr;  // never initialised
    return nullptr;
  }
  SANE_Int version = 0;
  SANE_Status status = a.init(&version, nullptr);
  if (status != SANE_STATUS_GOOD) {
    why = "the scanner library did not start: " + library->StatusText(status);
    a.exit = nullptr;
    return nullptr;
  }
  return library;
}

TSaneLibrary::~TSaneLibrary() {
  if (api_ && api_->exit) api_->exit();
  if (handle_) dlclose(handle_);
}

std::vector<TScanDeviceInfo> TSaneLibrary::Devices() {
  std::vector<TScanDeviceInfo> devices;
  const SANE_Device** list = nullptr;
  if (api_->get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list) return devices;
  auto text = [](SANE_String_Const s) { return s ? std::string(s).substr(0, 1024) : std::string(); };
  for (int i = 0; list[i] && i < 1000; ++i) {
    if (!list[i]->name || !*list[i]->name) continue;
    devices.push_back({text(list[i]->name), text(list[i]->vendor), text(list[i]->model), text(list[i]->type)});
  }
  return devices;
}

std::string TSaneLibrary::StatusText(int status) const {
  const char* text = api_ && api_->strstatus ? api_->strstatus(SANE_Status(status)) : nullptr;
  return text ? text : "status " + std::to_string(status);
}

// ---------------------------------------------------------------------------
// Options
// ---------------------------------------------------------------------------

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

bool Contains(const std::string& text, const char* part) { return Lower(text).find(part) != std::string::npos; }

// The device's names of the three kinds of picture.
bool IsColorMode(const std::string& m) { return Contains(m, "color") || Contains(m, "colour"); }
bool IsGrayMode(const std::string& m) { return Contains(m, "gray") || Contains(m, "grey"); }
bool IsLineartMode(const std::string& m) {
  return Contains(m, "lineart") || Contains(m, "binary") || Contains(m, "black") || Contains(m, "mono");
}

// Typical resolutions offered when the device accepts any value of a range.
constexpr double kCommonResolutions[] = {50, 75, 100, 150, 200, 240, 300, 400, 600, 800, 1200, 2400, 4800};

struct Option {
  int index = -1;
  const SANE_Option_Descriptor* d = nullptr;
  explicit operator bool() const { return index >= 0 && d; }
};

Option FindOption(TSaneLibrary::Api& api, SANE_Handle h, const char* name) {
  SANE_Int count = 0;
  if (!api.get_option_descriptor(h, 0) || api.control_option(h, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
    return {};
  count = std::min<SANE_Int>(count, 4096);
  for (int i = 1; i < count; ++i) {
    const SANE_Option_Descriptor* d = api.get_option_descriptor(h, i);
    if (d && d->name && std::strcmp(d->name, name) == 0 && SANE_OPTION_IS_ACTIVE(d->cap) && d->type != SANE_TYPE_GROUP)
      return {i, d};
  }
  return {};
}

bool IsNumber(const Option& o) {
  return o && (o.d->type == SANE_TYPE_INT || o.d->type == SANE_TYPE_FIXED) && o.d->size == sizeof(SANE_Word);
}

double ToDouble(const Option& o, SANE_Word w) { return o.d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w); }

SANE_Word FromDouble(const Option& o, double v) {
  return o.d->type == SANE_TYPE_FIXED ? SANE_Word(std::lround(v * 65536.0)) : SANE_Word(std::lround(v));
}

bool GetNumber(TSaneLibrary::Api& api, SANE_Handle h, const Option& o, double& value) {
  if (!IsNumber(o)) return false;
  SANE_Word w = 0;
  if (api.control_option(h, o.index, SANE_ACTION_GET_VALUE, &w, nullptr) != SANE_STATUS_GOOD) return false;
  value = ToDouble(o, w);
  return true;
}

int SetNumber(TSaneLibrary::Api& api, SANE_Handle h, const Option& o, double value) {
  if (!IsNumber(o) || !SANE_OPTION_IS_SETTABLE(o.d->cap)) return ssUnsupported;
  if (o.d->constraint_type == SANE_CONSTRAINT_RANGE && o.d->constraint.range)
    value = std::clamp(value, ToDouble(o, o.d->constraint.range->min), ToDouble(o, o.d->constraint.range->max));
  SANE_Word w = FromDouble(o, value);
  SANE_Int info = 0;
  return api.control_option(h, o.index, SANE_ACTION_SET_VALUE, &w, &info);
}

std::string GetString(TSaneLibrary::Api& api, SANE_Handle h, const Option& o) {
  if (!o || o.d->type != SANE_TYPE_STRING || o.d->size <= 0 || o.d->size > 65536) return std::string();
  std::vector<char> buffer(size_t(o.d->size) + 1, '\0');
  if (api.control_option(h, o.index, SANE_ACTION_GET_VALUE, buffer.data(), nullptr) != SANE_STATUS_GOOD)
    return std::string();
  buffer.back() = '\0';
  return buffer.data();
}

int SetString(TSaneLibrary::Api& api, SANE_Handle h, const Option& o, const std::string& value) {
  if (!o || o.d->type != SANE_TYPE_STRING || o.d->size <= 0 || o.d->size > 65536 || !SANE_OPTION_IS_SETTABLE(o.d->cap))
    return ssUnsupported;
  std::vector<char> buffer(size_t(o.d->size), '\0');
  std::memcpy(buffer.data(), value.data(), std::min(value.size(), buffer.size() - 1));
  SANE_Int info = 0;
  return api.control_option(h, o.index, SANE_ACTION_SET_VALUE, buffer.data(), &info);
}

std::vector<std::string> StringList(const Option& o) {
  std::vector<std::string> values;
  if (!o || o.d->type != SANE_TYPE_STRING || o.d->constraint_type != SANE_CONSTRAINT_STRING_LIST ||
      !o.d->constraint.string_list)
    return values;
  for (int i = 0; o.d->constraint.string_list[i] && i < 256; ++i) values.push_back(o.d->constraint.string_list[i]);
  return values;
}

std::vector<double> WordList(const Option& o) {
  std::vector<double> values;
  if (!IsNumber(o) || o.d->constraint_type != SANE_CONSTRAINT_WORD_LIST || !o.d->constraint.word_list) return values;
  const int n = std::clamp<int>(o.d->constraint.word_list[0], 0, 256);
  for (int i = 1; i <= n; ++i) values.push_back(ToDouble(o, o.d->constraint.word_list[i]));
  return values;
}

bool Offers(const std::vector<double>& list, double v) {
  return std::any_of(list.begin(), list.end(), [v](double x) { return std::fabs(x - v) < 1e-6; });
}

// The value of a mode list that stands for a kind ("" when none).
std::string ModeFor(const std::vector<std::string>& modes, TScanKind kind) {
  for (const std::string& m : modes) {
    if (kind == skColor && IsColorMode(m)) return m;
    if (kind == skGray && IsGrayMode(m)) return m;
    if (kind == skLineart && IsLineartMode(m) && !IsGrayMode(m) && !IsColorMode(m)) return m;
  }
  return std::string();
}

}  // namespace

// ---------------------------------------------------------------------------
// The device
// ---------------------------------------------------------------------------

TScanDevice::TScanDevice(TSaneLibrary& library, void* handle, std::string name)
    : library_(library), handle_(handle), name_(std::move(name)) {}

std::unique_ptr<TScanDevice> TScanDevice::Open(TSaneLibrary& library, const std::string& name, int& status) {
  SANE_Handle handle = nullptr;
  status = library.api().open(name.c_str(), &handle);
  if (status != SANE_STATUS_GOOD || !handle) {
    if (status == SANE_STATUS_GOOD) status = ssInvalid;
    return nullptr;
  }
  return std::unique_ptr<TScanDevice>(new TScanDevice(library, handle, name));
}

TScanDevice::~TScanDevice() {
  CancelScan();
  WaitScan();
  library_.api().close(handle_);
}

TScanChoices TScanDevice::Choices() {
  TSaneLibrary::Api& api = library_.api();
  TScanChoices c;
  const Option mode = FindOption(api, handle_, "mode");
  const std::vector<std::string> modes = StringList(mode);
  const std::vector<double> depths = WordList(FindOption(api, handle_, "depth"));
  for (TScanKind kind : {skColor, skGray, skLineart}) {
    bool offered = !ModeFor(modes, kind).empty();
    // A device without a line-art mode scans it as grey at one bit a pixel.
    if (kind == skLineart && !offered) offered = !ModeFor(modes, skGray).empty() && Offers(depths, 1);
    if (offered) c.Kinds.push_back(kind);
  }
  if (c.Kinds.empty()) c.Kinds.push_back(Current().Kind);

  const Option res = FindOption(api, handle_, "resolution");
  double current = 0;
  if (GetNumber(api, handle_, res, current)) {
    if (res.d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
      c.Resolutions = WordList(res);
    } else {
      double lo = current, hi = current;
      if (res.d->constraint_type == SANE_CONSTRAINT_RANGE && res.d->constraint.range) {
        lo = ToDouble(res, res.d->constraint.range->min);
        hi = ToDouble(res, res.d->constraint.range->max);
      }
      for (double v : kCommonResolutions)
        if (v >= lo && v <= hi) c.Resolutions.push_back(v);
    }
    // Some devices report a current value outside their own range; it is not offered.
    const bool inRange = res.d->constraint_type != SANE_CONSTRAINT_RANGE || !res.d->constraint.range ||
                         (current >= ToDouble(res, res.d->constraint.range->min) &&
                          current <= ToDouble(res, res.d->constraint.range->max));
    if (inRange && current > 0 && !Offers(c.Resolutions, current)) c.Resolutions.push_back(current);
    std::sort(c.Resolutions.begin(), c.Resolutions.end());
    if (!c.Resolutions.empty()) {
      c.MinResolution = c.Resolutions.front();
      c.MaxResolution = c.Resolutions.back();
    }
  }

  const Option brx = FindOption(api, handle_, "br-x"), bry = FindOption(api, handle_, "br-y");
  if (IsNumber(brx) && IsNumber(bry) && brx.d->unit == SANE_UNIT_MM && bry.d->unit == SANE_UNIT_MM &&
      brx.d->constraint_type == SANE_CONSTRAINT_RANGE && bry.d->constraint_type == SANE_CONSTRAINT_RANGE) {
    c.HasArea = true;
    c.MaxWidth = ToDouble(brx, brx.d->constraint.range->max);
    c.MaxHeight = ToDouble(bry, bry.d->constraint.range->max);
  }
  c.Sources = StringList(FindOption(api, handle_, "source"));
  return c;
}

TScanSettings TScanDevice::Current() {
  TSaneLibrary::Api& api = library_.api();
  TScanSettings s;
  const std::string mode = GetString(api, handle_, FindOption(api, handle_, "mode"));
  double depth = 8;
  GetNumber(api, handle_, FindOption(api, handle_, "depth"), depth);
  if (!mode.empty()) {
    if (IsColorMode(mode))
      s.Kind = skColor;
    else if (IsGrayMode(mode))
      s.Kind = depth == 1 ? skLineart : skGray;
    else
      s.Kind = skLineart;
  } else {
    SANE_Parameters p{};
    if (api.get_parameters(handle_, &p) == SANE_STATUS_GOOD)
      s.Kind = p.format == SANE_FRAME_GRAY ? (p.depth == 1 ? skLineart : skGray) : skColor;
  }
  GetNumber(api, handle_, FindOption(api, handle_, "resolution"), s.Resolution);
  double tlx = 0, tly = 0, brx = 0, bry = 0;
  if (GetNumber(api, handle_, FindOption(api, handle_, "br-x"), brx) &&
      GetNumber(api, handle_, FindOption(api, handle_, "br-y"), bry)) {
    GetNumber(api, handle_, FindOption(api, handle_, "tl-x"), tlx);
    GetNumber(api, handle_, FindOption(api, handle_, "tl-y"), tly);
    s.Left = tlx;
    s.Top = tly;
    s.Width = std::max(0.0, brx - tlx);
    s.Height = std::max(0.0, bry - tly);
  }
  s.Source = GetString(api, handle_, FindOption(api, handle_, "source"));
  return s;
}

bool TScanDevice::Apply(const TScanSettings& settings, int& status) {
  TSaneLibrary::Api& api = library_.api();
  status = ssGood;
  auto check = [&status](int s) {
    if (s != SANE_STATUS_GOOD && status == ssGood) status = s;
  };
  if (!settings.Source.empty()) check(SetString(api, handle_, FindOption(api, handle_, "source"), settings.Source));

  const Option mode = FindOption(api, handle_, "mode");
  const std::vector<std::string> modes = StringList(mode);
  std::string wanted = ModeFor(modes, settings.Kind);
  int depth = settings.Kind == skLineart ? 1 : 8;
  if (settings.Kind == skLineart && wanted.empty()) wanted = ModeFor(modes, skGray);
  if (!wanted.empty()) check(SetString(api, handle_, mode, wanted));
  // The mode may change which depths are offered; look the option up again.
  const Option depthOption = FindOption(api, handle_, "depth");
  if (Offers(WordList(depthOption), depth)) check(SetNumber(api, handle_, depthOption, depth));

  if (settings.Resolution > 0) {
    const Option res = FindOption(api, handle_, "resolution");
    if (IsNumber(res)) check(SetNumber(api, handle_, res, settings.Resolution));
  }
  if (settings.Width > 0 && settings.Height > 0) {
    const Option tlx = FindOption(api, handle_, "tl-x"), tly = FindOption(api, handle_, "tl-y");
    const Option brx = FindOption(api, handle_, "br-x"), bry = FindOption(api, handle_, "br-y");
    if (IsNumber(tlx) && IsNumber(tly) && IsNumber(brx) && IsNumber(bry)) {
      check(SetNumber(api, handle_, tlx, settings.Left));
      check(SetNumber(api, handle_, tly, settings.Top));
      check(SetNumber(api, handle_, brx, settings.Left + settings.Width));
      check(SetNumber(api, handle_, bry, settings.Top + settings.Height));
    }
  }
  return status == ssGood;
}

// ---------------------------------------------------------------------------
// The library's own threads
// ---------------------------------------------------------------------------
//
// Backends that read the device in a thread of their own (sanei_thread) end that thread with
// an asynchronous pthread_cancel: in sane_cancel, and in the sane_read that reports the end of
// the page. A thread cancelled while it is inside malloc or free (or holds another lock of the
// C library) dies holding that lock, and its own exit, the join in the library and every later
// user of the lock wait for ever. Two things keep the cancel where it does no harm:
// - It is sent only when every thread that sane_start made has ended or has slept for a while
//   in a system call (a blocked write into the full pipe, a read from the device), where it
//   holds no lock of the C library. The same wait comes before the read that ends a page.
// - sane_cancel closes its end of the pipe before it cancels the thread; the thread's blocked
//   write would then wake with EPIPE and run into the C library just as the cancel comes. So
//   the pipe's read end is held open by a copy of ours while the library cancels; the write
//   stays blocked and the cancel finds the thread there. The copy is dropped when sane_cancel
//   returns, or after two seconds, should a library need the broken pipe to stop its thread.

namespace {

// The scanning thread's name. Threads inherit the name of the thread that makes them, so the
// library's threads made in sane_start carry it too, and threads that other parts of the
// program start meanwhile (a thread pool's, say) are not taken for the library's.
constexpr const char* kScanThreadName = "kivo2-scan";

// The first line of a file of /proc; empty when it cannot be read (the thread has gone).
std::string ProcLine(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "re");
  if (!f) return std::string();
  char line[512];
  const bool got = std::fgets(line, sizeof line, f) != nullptr;
  std::fclose(f);
  return got ? std::string(line) : std::string();
}

// The ids of this process's threads that carry the scanning thread's name.
std::vector<int> ScanThreadIds() {
  std::vector<int> ids;
  DIR* dir = ::opendir("/proc/self/task");
  if (!dir) return ids;
  const std::string name = std::string(kScanThreadName) + "\n";
  while (dirent* entry = ::readdir(dir))
    if (entry->d_name[0] >= '0' && entry->d_name[0] <= '9' &&
        ProcLine(std::string("/proc/self/task/") + entry->d_name + "/comm") == name)
      ids.push_back(std::atoi(entry->d_name));
  ::closedir(dir);
  std::sort(ids.begin(), ids.end());
  return ids;
}

// The read ends of the pipes this process has open, as (descriptor, inode).
std::vector<std::pair<int, unsigned long>> PipeReadEnds() {
  std::vector<std::pair<int, unsigned long>> ends;
  DIR* dir = ::opendir("/proc/self/fd");
  if (!dir) return ends;
  const int own = ::dirfd(dir);
  while (dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    const int fd = std::atoi(entry->d_name);
    struct stat st;
    if (fd == own || ::fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode)) continue;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0 && (flags & O_ACCMODE) == O_RDONLY) ends.emplace_back(fd, static_cast<unsigned long>(st.st_ino));
  }
  ::closedir(dir);
  std::sort(ends.begin(), ends.end());
  return ends;
}

enum class TThreadState { Gone, Resting, Busy };

// Resting: the thread sleeps in a system call other than a wait for a lock.
TThreadState ThreadState(int tid) {
  const std::string task = "/proc/self/task/" + std::to_string(tid);
  const std::string stat = ProcLine(task + "/stat");
  const size_t paren = stat.rfind(')');
  if (stat.empty() || paren == std::string::npos || paren + 2 >= stat.size()) return TThreadState::Gone;
  const char state = stat[paren + 2];
  if (state == 'Z' || state == 'X') return TThreadState::Gone;
  if (state != 'S' && state != 'D') return TThreadState::Busy;
  const std::string call = ProcLine(task + "/syscall");
  // Without the system-call file the sleeping state has to do.
  if (call.empty()) return TThreadState::Resting;
  if (call.compare(0, 7, "running") == 0 || std::atol(call.c_str()) == long(SYS_futex)) return TThreadState::Busy;
  return TThreadState::Resting;
}

// Waits (at most the time given) until each of the threads has ended or rests and stays so for
// 20 ms: a thread that merely passes through a system call on its way out is not taken for
// one that waits.
void WaitThreadsAtRest(const std::vector<int>& threads, std::chrono::milliseconds bound) {
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + bound;
  for (int tid : threads) {
    auto restingSince = Clock::now();
    bool resting = false;
    while (Clock::now() < until) {
      const TThreadState state = ThreadState(tid);
      if (state == TThreadState::Gone) break;
      if (state == TThreadState::Busy) {
        resting = false;
      } else if (!resting) {
        resting = true;
        restingSince = Clock::now();
      } else if (Clock::now() - restingSince >= std::chrono::milliseconds(20)) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
}

}  // namespace

void TScanDevice::settleThreads(int boundMs) {
  std::vector<int> threads;
  {
    std::lock_guard<std::mutex> lock(threadsMutex_);
    threads = backendThreads_;
  }
  WaitThreadsAtRest(threads, std::chrono::milliseconds(boundMs));
}

void TScanDevice::cancelDevice() {
  std::vector<std::pair<int, unsigned long>> pipes;
  {
    std::lock_guard<std::mutex> lock(threadsMutex_);
    pipes = backendPipes_;
  }
  settleThreads(10000);
  std::vector<int> held;
  for (const auto& [fd, inode] : pipes) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode) || static_cast<unsigned long>(st.st_ino) != inode) continue;
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy >= 0) held.push_back(copy);
  }
  if (held.empty()) {
    library_.api().cancel(handle_);
    return;
  }
  std::mutex m;
  std::condition_variable cv;
  bool cancelled = false;
  std::thread release([&] {
    std::unique_lock<std::mutex> lock(m);
    cv.wait_for(lock, std::chrono::seconds(2), [&] { return cancelled; });
    for (int fd : held) ::close(fd);
  });
  library_.api().cancel(handle_);
  {
    std::lock_guard<std::mutex> lock(m);
    cancelled = true;
  }
  cv.notify_all();
  release.join();
}

int TScanDevice::startFrame() {
  const std::vector<int> before = ScanThreadIds();
  const std::vector<std::pair<int, unsigned long>> pipesBefore = PipeReadEnds();
  const int s = library_.api().start(handle_);
  const std::vector<int> after = ScanThreadIds();
  const std::vector<std::pair<int, unsigned long>> pipesAfter = PipeReadEnds();
  std::lock_guard<std::mutex> lock(threadsMutex_);
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(backendThreads_));
  std::set_difference(pipesAfter.begin(), pipesAfter.end(), pipesBefore.begin(), pipesBefore.end(),
                      std::back_inserter(backendPipes_));
  return s;
}

// ---------------------------------------------------------------------------
// Scanning
// ---------------------------------------------------------------------------

void TScanDevice::StartScan(std::function<void()> notify) {
  WaitScan();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pages_.clear();
    ended_ = false;
    endStatus_ = ssGood;
  }
  {
    std::lock_guard<std::mutex> lock(threadsMutex_);
    backendThreads_.clear();
    backendPipes_.clear();
  }
  cancel_ = false;
  running_ = true;
  bytesRead_ = 0;
  bytesExpected_ = 0;
  worker_ = std::thread([this, notify = std::move(notify)] { run(notify); });
}

void TScanDevice::CancelScan() {
  if (!running_.load()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  cancel_ = true;
  // A read that waits for the device is cut short; at any other moment the worker sees the
  // flag itself. (Some backends do not survive a cancel that crosses their start.)
  if (reading_) cancelDevice();
  cv_.notify_all();
}

void TScanDevice::WaitScan() {
  if (worker_.joinable()) worker_.join();
}

bool TScanDevice::Ended() {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_;
}

int TScanDevice::EndStatus() {
  std::lock_guard<std::mutex> lock(mutex_);
  return endStatus_;
}

int TScanDevice::PagesReady() {
  std::lock_guard<std::mutex> lock(mutex_);
  return int(pages_.size());
}

bool TScanDevice::TakePage(TScanPage& page) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (pages_.empty()) return false;
  page = std::move(pages_.front());
  pages_.pop_front();
  cv_.notify_all();
  return true;
}

bool TScanDevice::WaitForPage() {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait(lock, [this] { return !pages_.empty() || ended_; });
  return !pages_.empty();
}

void TScanDevice::run(std::function<void()> notify) {
  pthread_setname_np(pthread_self(), kScanThreadName);
  const bool feeder = IsFeederSource(GetString(library_.api(), handle_, FindOption(library_.api(), handle_, "source")));
  int status = ssGood;
  for (int page = 0;; ++page) {
    if (cancel_) {
      status = ssCancelled;
      break;
    }
    TScanPage p;
    const int s = scanPage(p);
    // An empty feeder after at least one sheet is the normal end of a batch.
    if (s == ssNoDocs && feeder && page > 0) break;
    if (s != ssGood) {
      status = cancel_ ? int(ssCancelled) : s;
      break;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pages_.push_back(std::move(p));
    }
    cv_.notify_all();
    if (notify) notify();
    if (!feeder) break;
    // Keep at most two pages in memory ahead of the transfer.
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return pages_.size() < 2 || cancel_.load(); });
  }
  cancelDevice();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    endStatus_ = status;
  }
  running_ = false;
  cv_.notify_all();
  if (notify) notify();
}

int TScanDevice::readFrame(std::vector<uint8_t>& bytes, int64_t expected, int64_t limit) {
  TSaneLibrary::Api& api = library_.api();
  constexpr int kChunk = 64 * 1024;
  std::vector<SANE_Byte> chunk(kChunk);
  bytesRead_ = 0;
  bytesExpected_ = expected;
  int64_t total = 0;
  // A device that keeps sending past the page gets that much slack, then counts as broken.
  const int64_t stopAt = (expected > 0 ? expected : limit) + kChunk * int64_t(16);
  for (;;) {
    SANE_Int length = 0;
    // The whole page is here: the next read reports its end, and the library may then cancel
    // its reading thread, which should have finished by itself first.
    if (expected > 0 && total >= expected) settleThreads(2000);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (cancel_) return ssCancelled;
      reading_ = true;
    }
    const SANE_Status s = api.read(handle_, chunk.data(), kChunk, &length);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      reading_ = false;
    }
    if (s == SANE_STATUS_EOF) return ssGood;
    if (s != SANE_STATUS_GOOD) return s;
    if (cancel_) return ssCancelled;
    if (length < 0 || length > kChunk) return ssIoError;
    total += length;
    bytesRead_ = total;
    const int64_t room = limit - int64_t(bytes.size());
    if (length > 0 && room > 0) bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + std::min<int64_t>(length, room));
    if (total > stopAt) return expected > 0 ? ssIoError : ssNoMem;
  }
}

namespace {

// One row's samples at 8 bits: 16-bit samples (in the machine's byte order) keep their high byte.
void Samples8(const uint8_t* src, int count, int depth, uint8_t* dst) {
  if (depth == 8) {
    std::memcpy(dst, src, size_t(count));
    return;
  }
  for (int i = 0; i < count; ++i) {
    uint16_t v;
    std::memcpy(&v, src + 2 * i, 2);
    dst[i] = uint8_t(v >> 8);
  }
}

}  // namespace

int TScanDevice::scanPage(TScanPage& page) {
  TSaneLibrary::Api& api = library_.api();
  double resolution = 0;
  GetNumber(api, handle_, FindOption(api, handle_, "resolution"), resolution);
  std::vector<uint8_t> planes[3];  // the channels of a three-pass scan, 8 bits a sample
  bool havePlane[3] = {false, false, false};
  int width = 0, rows = -1;
  for (int frame = 0;; ++frame) {
    if (frame >= 3) return ssInvalid;  // more frames than colour channels
    SANE_Status s = SANE_Status(startFrame());
    if (s != SANE_STATUS_GOOD) return s;
    SANE_Parameters p{};
    s = api.get_parameters(handle_, &p);
    if (s != SANE_STATUS_GOOD) return s;
    const int channels = p.format == SANE_FRAME_RGB ? 3 : 1;
    if (p.format > SANE_FRAME_BLUE || p.pixels_per_line < 1 || p.pixels_per_line > MaxScanSide || p.lines == 0 ||
        p.lines < -1 || p.lines > MaxScanSide || (p.depth != 1 && p.depth != 8 && p.depth != 16))
      return ssInvalid;
    // One bit a sample is line art; a colour device at one bit a sample is not supported.
    if (p.depth == 1 && (p.format != SANE_FRAME_GRAY || frame > 0)) return ssUnsupported;
    const int64_t needed = (int64_t(p.pixels_per_line) * channels * p.depth + 7) / 8;
    if (p.bytes_per_line < needed || p.bytes_per_line > needed + (int64_t(1) << 20)) return ssInvalid;
    const int64_t bpl = p.bytes_per_line;
    const int64_t expected = p.lines > 0 ? bpl * p.lines : 0;
    if (expected > MaxScanBytes) return ssNoMem;
    const int64_t limit = p.lines > 0 ? expected : std::min<int64_t>(MaxScanBytes, bpl * MaxScanSide);
    std::vector<uint8_t> bytes;
    if (expected > 0) bytes.reserve(size_t(expected));
    s = SANE_Status(readFrame(bytes, expected, limit));
    if (s != SANE_STATUS_GOOD) return s;
    const int got = int(int64_t(bytes.size()) / bpl);  // only complete rows count
    if (got < 1) return ssIoError;

    if (p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB) {
      page.Width = p.pixels_per_line;
      page.Height = got;
      page.Kind = p.format == SANE_FRAME_RGB ? skColor : (p.depth == 1 ? skLineart : skGray);
      page.BitsPerPixel = page.Kind == skColor ? 24 : (page.Kind == skGray ? 8 : 1);
      page.RowBytes = int(((int64_t(page.BitsPerPixel) * page.Width + 31) / 32) * 4);
      if (int64_t(page.RowBytes) * page.Height > MaxScanBytes) return ssNoMem;
      page.Bits.assign(size_t(page.RowBytes) * page.Height, 0);
      for (int y = 0; y < got; ++y) {
        const uint8_t* src = bytes.data() + bpl * y;
        uint8_t* dst = page.Bits.data() + size_t(page.RowBytes) * y;
        if (p.depth == 1) {
          const int n = (page.Width + 7) / 8;
          std::memcpy(dst, src, size_t(n));
          if (page.Width % 8) dst[n - 1] &= uint8_t(0xFF << (8 - page.Width % 8));
        } else {
          Samples8(src, page.Width * channels, p.depth, dst);
        }
      }
      page.XResolution = page.YResolution = resolution;
      return ssGood;
    }

    // Three-pass colour: one channel a frame, in any order.
    const int plane = p.format - SANE_FRAME_RED;
    if (frame == 0) {
      width = p.pixels_per_line;
    } else if (p.pixels_per_line != width) {
      return ssInvalid;
    }
    rows = rows < 0 ? got : std::min(rows, got);
    planes[plane].assign(size_t(width) * got, 0);
    for (int y = 0; y < got; ++y) Samples8(bytes.data() + bpl * y, width, p.depth, planes[plane].data() + size_t(width) * y);
    havePlane[plane] = true;
    if (p.last_frame) break;
  }
  if (!havePlane[0] || !havePlane[1] || !havePlane[2]) return ssInvalid;
  page.Kind = skColor;
  page.Width = width;
  page.Height = rows;
  page.BitsPerPixel = 24;
  page.RowBytes = int(((24 * int64_t(width) + 31) / 32) * 4);
  if (int64_t(page.RowBytes) * rows > MaxScanBytes) return ssNoMem;
  page.Bits.assign(size_t(page.RowBytes) * rows, 0);
  for (int y = 0; y < rows; ++y) {
    uint8_t* dst = page.Bits.data() + size_t(page.RowBytes) * y;
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) dst[3 * x + c] = planes[c][size_t(width) * y + x];
  }
  page.XResolution = page.YResolution = resolution;
  return ssGood;
}

#endif
