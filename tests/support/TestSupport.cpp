#include "TestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testsupport {

std::string& CurrentSandbox() {
  static std::string dir;
  return dir;
}

std::string TempDir() { return CurrentSandbox() + "/tmp"; }

ActingAsOrdinaryUser::ActingAsOrdinaryUser() {
  if (geteuid() != 0) return;
  if (setegid(65534) != 0) throw std::runtime_error("setegid failed");
  if (seteuid(65534) != 0) {
    if (setegid(0) != 0) abort();
    throw std::runtime_error("seteuid failed");
  }
  switched_ = true;
}

ActingAsOrdinaryUser::~ActingAsOrdinaryUser() {
  if (!switched_) return;
  // Without root back every later test would run with the wrong rights.
  if (seteuid(0) != 0 || setegid(0) != 0) abort();
}

ScratchMount::ScratchMount(const std::string& dir, int sizeMiB, const std::string& bindOf) : dir_(dir) {
  std::filesystem::create_directories(dir);
  if (bindOf.empty()) {
    const std::string size = "size=" + std::to_string(sizeMiB) + "m";
    mounted_ = mount("tmpfs", dir.c_str(), "tmpfs", 0, size.c_str()) == 0;
  } else {
    mounted_ = mount(bindOf.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) == 0;
    // A bind mount is made read-only by a second call.
    if (mounted_ && mount(nullptr, dir.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
      umount2(dir.c_str(), MNT_DETACH);
      mounted_ = false;
    }
  }
}

ScratchMount::~ScratchMount() {
  if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
}

std::string TempPath(const std::string& name) { return TempDir() + "/" + name; }

static bool IsDir(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string CorpusDir() {
  const char* env = getenv("KIVO2_CORPUS_DIR");
  std::string dir = env && *env ? env : KIVO2_CORPUS_DEFAULT;
  return IsDir(dir) ? dir : std::string();
}

std::string SourceDir() { return KIVO2_SOURCE_DIR_DEFAULT; }

// Another build's program folder runs the tests against that program (an older one, to see
// a test fail on it).
std::string ProgramDir() {
  const char* env = getenv("KIVO2_PROGRAM_DIR");
  return env && *env ? env : KIVO2_PROGRAM_DIR_DEFAULT;
}

std::string ToolPath(const std::string& name) {
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : std::string();
  // /usr/bin first: a stand-in earlier on PATH must not decide what an oracle says.
  std::string path = std::string("/usr/bin:/bin:") + (getenv("PATH") ? getenv("PATH") : "");
  std::stringstream ss(path);
  std::string dir;
  while (std::getline(ss, dir, ':')) {
    if (dir.empty()) continue;
    std::string full = dir + "/" + name;
    struct stat st;
    if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), X_OK) == 0) return full;
  }
  return std::string();
}

CommandResult Run(const std::vector<std::string>& argv, const std::string& input) {
  CommandResult result;
  if (argv.empty()) return result;
  std::string exe = ToolPath(argv[0]);
  if (exe.empty()) {
    result.err = "tool not found: " + argv[0];
    return result;
  }
  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC))
    throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, inPipe[0], 0);
  posix_spawn_file_actions_adddup2(&fa, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&fa, errPipe[1], 2);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args[0] = const_cast<char*>(exe.c_str());
  args.push_back(nullptr);
  pid_t pid;
  int rc = posix_spawn(&pid, exe.c_str(), &fa, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  if (rc != 0) {
    close(inPipe[1]);
    close(outPipe[0]);
    close(errPipe[0]);
    result.err = "spawn failed";
    return result;
  }
  size_t written = 0;
  if (input.empty()) {
    close(inPipe[1]);
    inPipe[1] = -1;
  }
  struct pollfd fds[3];
  bool outOpen = true, errOpen = true;
  char buf[65536];
  while (outOpen || errOpen) {
    int n = 0;
    int outIdx = -1, errIdx = -1, inIdx = -1;
    if (outOpen) { fds[n] = {outPipe[0], POLLIN, 0}; outIdx = n++; }
    if (errOpen) { fds[n] = {errPipe[0], POLLIN, 0}; errIdx = n++; }
    if (inPipe[1] >= 0) { fds[n] = {inPipe[1], POLLOUT, 0}; inIdx = n++; }
    if (poll(fds, n, -1) < 0) break;
    if (inIdx >= 0 && (fds[inIdx].revents & (POLLOUT | POLLERR | POLLHUP))) {
      // PIPE_BUF bytes at most: more could block on a child that first wants its output read.
      ssize_t w = write(inPipe[1], input.data() + written, std::min<size_t>(input.size() - written, PIPE_BUF));
      if (w > 0) written += size_t(w);
      if (w <= 0 || written == input.size()) {
        close(inPipe[1]);
        inPipe[1] = -1;
      }
    }
    if (outIdx >= 0 && (fds[outIdx].revents & (POLLIN | POLLHUP | POLLERR))) {
      ssize_t r = read(outPipe[0], buf, sizeof buf);
      if (r > 0) result.out.append(buf, size_t(r)); else outOpen = false;
    }
    if (errIdx >= 0 && (fds[errIdx].revents & (POLLIN | POLLHUP | POLLERR))) {
      ssize_t r = read(errPipe[0], buf, sizeof buf);
      if (r > 0) result.err.append(buf, size_t(r)); else errOpen = false;
    }
  }
  if (inPipe[1] >= 0) close(inPipe[1]);
  close(outPipe[0]);
  close(errPipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + path);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) throw std::runtime_error("cannot write " + path);
  f.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string TempFile(const std::string& name, const std::string& bytes) {
  const std::string path = TempPath(name);
  WriteFile(path, bytes);
  return path;
}
std::string TempFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  return TempFile(name, std::string(bytes.begin(), bytes.end()));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

std::string NamesSet(std::initializer_list<std::pair<const char*, bool>> flags) {
  std::string names;
  for (const auto& [name, set] : flags)
    if (set) names += std::string(names.empty() ? "" : ", ") + name;
  return names;
}

std::map<std::string, std::string> PoEntries(const std::string& po) {
  std::map<std::string, std::string> entries;
  // A text with a context is keyed as gettext keys it: context, '\004', text. Of a text with
  // plural forms the singular and its first translation count.
  std::string context, id, str, *current = nullptr;
  auto finish = [&] {
    if (!id.empty()) entries[context.empty() ? id : context + '\004' + id] = str;
    context.clear(), id.clear(), str.clear();
  };
  for (const std::string& line : Lines(po)) {
    const size_t quote = line.find('"');
    if (quote == std::string::npos || line[0] == '#') continue;
    if (line.rfind("msgctxt ", 0) == 0) finish(), current = &context;
    if (line.rfind("msgid ", 0) == 0) {
      if (current != &context) finish();
      current = &id;
    }
    if (line.rfind("msgid_plural ", 0) == 0 || line.rfind("msgstr[", 0) == 0) current = nullptr;
    if (line.rfind("msgstr ", 0) == 0 || line.rfind("msgstr[0] ", 0) == 0) current = &str;
    if (!current) continue;
    // The quoted piece, its escapes undone; a text may go on in the lines below.
    for (size_t i = quote + 1; i + 1 < line.size(); ++i) {
      char c = line[i];
      if (c == '\\') c = line[++i], c = c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
      *current += c;
    }
  }
  finish();
  return entries;
}

std::map<std::string, std::string> DutchTranslations(const std::string& domain) {
  if (ToolPath("msgunfmt").empty()) return {};
  auto entries = PoEntries(Run({"msgunfmt", ProgramDir() + "/locale/nl/LC_MESSAGES/" + domain + ".mo"}).out);
  std::erase_if(entries, [](const auto& entry) { return entry.second.empty(); });
  return entries;
}

namespace {

struct PnmCursor {
  const std::string& s;
  size_t pos = 0;
  void skipSpaceAndComments() {
    while (pos < s.size()) {
      if (s[pos] == '#') {
        while (pos < s.size() && s[pos] != '\n') ++pos;
      } else if (isspace(static_cast<unsigned char>(s[pos]))) {
        ++pos;
      } else {
        break;
      }
    }
  }
  int number() {
    skipSpaceAndComments();
    if (pos >= s.size() || !isdigit(static_cast<unsigned char>(s[pos]))) throw std::runtime_error("PNM: number expected");
    long v = 0;
    while (pos < s.size() && isdigit(static_cast<unsigned char>(s[pos]))) {
      v = v * 10 + (s[pos++] - '0');
      if (v > 1 << 30) throw std::runtime_error("PNM: number too large");
    }
    return int(v);
  }
  std::string token() {
    skipSpaceAndComments();
    size_t start = pos;
    while (pos < s.size() && !isspace(static_cast<unsigned char>(s[pos]))) ++pos;
    return s.substr(start, pos - start);
  }
};

}  // namespace

Raster ParsePnm(const std::string& bytes) {
  if (bytes.size() < 3 || bytes[0] != 'P') throw std::runtime_error("PNM: bad signature");
  char kind = bytes[1];
  PnmCursor c{bytes, 2};
  Raster r;
  if (kind == '7') {
    for (;;) {
      std::string key = c.token();
      if (key == "ENDHDR") break;
      if (key.empty()) throw std::runtime_error("PAM: header ends early");
      if (key == "WIDTH") r.width = c.number();
      else if (key == "HEIGHT") r.height = c.number();
      else if (key == "DEPTH") r.channels = c.number();
      else if (key == "MAXVAL") r.maxval = c.number();
      else if (key == "TUPLTYPE") c.token();
    }
    if (c.pos < bytes.size() && bytes[c.pos] == '\n') ++c.pos;
  } else {
    if (kind < '1' || kind > '6') throw std::runtime_error("PNM: unknown kind");
    r.width = c.number();
    r.height = c.number();
    r.channels = (kind == '3' || kind == '6') ? 3 : 1;
    r.maxval = (kind == '1' || kind == '4') ? 1 : c.number();
    if (kind >= '4') ++c.pos;  // the single white space after the header
  }
  if (r.width <= 0 || r.height <= 0 || r.channels <= 0 || r.maxval <= 0 || r.maxval > 65535)
    throw std::runtime_error("PNM: bad header");
  size_t count = size_t(r.width) * r.height * r.channels;
  r.samples.resize(count);
  if (kind == '1' || kind == '2' || kind == '3') {
    for (size_t i = 0; i < count; ++i) {
      if (kind == '1') {
        c.skipSpaceAndComments();
        if (c.pos >= bytes.size()) throw std::runtime_error("PNM: short data");
        r.samples[i] = bytes[c.pos++] == '1' ? 0 : 1;  // PBM: 1 is black
      } else {
        r.samples[i] = uint16_t(c.number());
      }
    }
    if (kind == '1') r.maxval = 1;
  } else if (kind == '4') {
    size_t rowBytes = (size_t(r.width) + 7) / 8;
    if (c.pos + rowBytes * r.height > bytes.size()) throw std::runtime_error("PBM: short data");
    for (int y = 0; y < r.height; ++y)
      for (int x = 0; x < r.width; ++x) {
        unsigned char b = bytes[c.pos + y * rowBytes + x / 8];
        r.samples[size_t(y) * r.width + x] = (b >> (7 - x % 8)) & 1 ? 0 : 1;
      }
  } else {
    int bps = r.maxval > 255 ? 2 : 1;
    if (c.pos + count * bps > bytes.size()) throw std::runtime_error("PNM: short data");
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + c.pos;
    for (size_t i = 0; i < count; ++i)
      r.samples[i] = bps == 2 ? uint16_t(p[2 * i] << 8 | p[2 * i + 1]) : p[i];
  }
  return r;
}

Raster ImageMagickRaster(const std::string& file, const std::vector<std::string>& extraArgs) {
  std::vector<std::string> argv{"convert", file};
  if (extraArgs.empty()) {
    argv.insert(argv.end(), {"-depth", "8"});
  } else {
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
  }
  argv.push_back("pam:-");
  CommandResult res = Run(argv);
  if (res.exitCode != 0) throw std::runtime_error("convert failed: " + res.err);
  return ParsePnm(res.out);
}

HeldLock::HeldLock(const std::string& path, const std::string& seconds) {
  pid_ = fork();
  if (pid_ == 0) {
    setpgid(0, 0);
    execlp("flock", "flock", path.c_str(), "sleep", seconds.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int tries = 0; tries < 10000 && Run({"flock", "-n", path, "true"}).exitCode != 1; ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

HeldLock::~HeldLock() {
  if (pid_ <= 0) return;
  kill(-pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

void HeldLock::Wait() {
  if (pid_ > 0) waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace testsupport
