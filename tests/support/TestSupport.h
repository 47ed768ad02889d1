#pragma once
// Shared helpers for the tests: the per-test sandbox folder, the sample corpus,
// running the independent tools that check our output, and a small PNM/PAM
// reader of our own so that tool output can be compared pixel by pixel.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

// The sandbox folder of the running test; HOME, XDG_* and KIVO2_REGISTRY_DIR point into it.
std::string TempDir();
// A fresh path inside the sandbox (the file is not created).
std::string TempPath(const std::string& name);

// The public sample files beside the project; empty when absent.
std::string CorpusDir();
// The project's source folder.
std::string SourceDir();
// The program folder made by the build (build/Kivo2), or the one KIVO2_PROGRAM_DIR names.
std::string ProgramDir();

// Full path of an external tool, or empty when it is not installed.
// ImageMagick's tools are taken from /usr/bin first.
std::string ToolPath(const std::string& name);

struct CommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
// Runs argv[0] (looked up with ToolPath when it has no '/') with the given arguments,
// never through a shell. stdin is empty unless input is given.
CommandResult Run(const std::vector<std::string>& argv, const std::string& input = std::string());

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// Writes the bytes to a file of that name in the sandbox and returns its path.
std::string TempFile(const std::string& name, const std::string& bytes);
std::string TempFile(const std::string& name, const std::vector<uint8_t>& bytes);
// The lines of a tool's output (each ended by '\n'; a last line without one counts too).
std::vector<std::string> Lines(const std::string& text);
// The names whose flag is set, in order, separated by ", " (a window's state as one text).
std::string NamesSet(std::initializer_list<std::pair<const char*, bool>> flags);
// The entries of a catalogue in PO form: msgid -> msgstr (the header left out).
std::map<std::string, std::string> PoEntries(const std::string& po);
// The texts a compiled Dutch catalogue of the program folder translates, with their
// translations (msgunfmt reads it); empty when msgunfmt is missing.
std::map<std::string, std::string> DutchTranslations(const std::string& domain = "default");

// A decoded raster from a PNM or PAM file: samples in row-major order, `channels`
// per pixel, each in 0..maxval.
struct Raster {
  int width = 0, height = 0, channels = 0, maxval = 0;
  std::vector<uint16_t> samples;
  uint16_t at(int x, int y, int c) const { return samples[(size_t(y) * width + x) * channels + c]; }
};
// Parses P1..P7 (plain and raw); throws std::runtime_error on malformed data.
Raster ParsePnm(const std::string& bytes);
// Converts any picture file to a raster with ImageMagick ("convert FILE -depth 8 pam:-" or given args).
Raster ImageMagickRaster(const std::string& file, const std::vector<std::string>& extraArgs = {});

// While it lives, the process acts with the file rights of an ordinary user: run as root
// (where every file may be written) it takes the effective user and group "nobody"
// (65534), and gives root back at its end; run as another user it changes nothing.
class ActingAsOrdinaryUser {
 public:
  ActingAsOrdinaryUser();
  ~ActingAsOrdinaryUser();
  ActingAsOrdinaryUser(const ActingAsOrdinaryUser&) = delete;
  ActingAsOrdinaryUser& operator=(const ActingAsOrdinaryUser&) = delete;

 private:
  bool switched_ = false;
};

// A file system of the test's own at dir while it lives (made when missing): a tmpfs of
// sizeMiB, or with bindOf a read-only bind mount of that folder. Mounted() is false where
// the test may not mount (no root): such a test skips.
class ScratchMount {
 public:
  ScratchMount(const std::string& dir, int sizeMiB, const std::string& bindOf = std::string());
  ~ScratchMount();
  ScratchMount(const ScratchMount&) = delete;
  ScratchMount& operator=(const ScratchMount&) = delete;
  bool Mounted() const { return mounted_; }

 private:
  std::string dir_;
  bool mounted_ = false;
};

// Another program holding the lock of path (a file or a folder): flock(1) for the seconds
// given, in a process group of its own; made once the lock is held. The holder is ended
// with the object, unless Wait let it finish first.
class HeldLock {
 public:
  HeldLock(const std::string& path, const std::string& seconds);
  ~HeldLock();
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  // Waits until the holder has let go by itself.
  void Wait();

 private:
  pid_t pid_ = -1;
};

}  // namespace testsupport

#define KIVO2_REQUIRE_TOOL(name)                                                 \
  do {                                                                           \
    if (testsupport::ToolPath(name).empty()) GTEST_SKIP() << name << " missing"; \
  } while (0)

#define KIVO2_REQUIRE_CORPUS(sub)                                                      \
  do {                                                                                 \
    if (testsupport::CorpusDir().empty() ||                                            \
        access((testsupport::CorpusDir() + "/" + (sub)).c_str(), F_OK) != 0)           \
      GTEST_SKIP() << "corpus folder " << (sub) << " absent";                          \
  } while (0)

#include <unistd.h>
