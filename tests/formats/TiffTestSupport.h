#pragma once
// Helpers of the TIFF reader tests: loading through the reader, the pixels tiff2rgba
// (libtiff) or ImageMagick decode from the same file, their comparison, and a small
// writer for hand-made TIFF files that no tool produces.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>
#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer's allocation hooks (its header is not always installed).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                                         void (*free_hook)(const volatile void*));
#endif

#include "TestSupport.h"
#include "formats/GraphicFormats_TIFF.h"
#include "platform/gui/ModalResponder.h"

namespace tifftest {

// Loads a file through the TIFF reader; a failure's text goes to error (or fails the test).
inline std::unique_ptr<TTIFFGraphic> Load(const std::string& path, std::string* error = nullptr) {
  auto graphic = std::make_unique<TTIFFGraphic>();
  try {
    TFileStream stream(path, fmOpenRead);
    graphic->LoadFromStream(stream);
    return graphic;
  } catch (const Exception& e) {
    if (error)
      *error = e.Message();
    else
      ADD_FAILURE() << path << ": " << e.Message();
  }
  return nullptr;
}

// Loads the bytes through the TIFF reader and gives "loaded" or the error's text. The
// load may take at most `limit` bytes of memory more than the process had: it runs in
// a child process whose address space is limited to that. AddressSanitizer reserves
// far more address space than it uses, so under it the load runs here and any single
// allocation above the limit is reported as "allocated N bytes" instead.
inline std::string LoadWithinMemory(const std::string& bytes, size_t limit) {
  auto load = [&]() -> std::string {
    try {
      TTIFFGraphic graphic;
      TStringStream stream(bytes);
      graphic.LoadFromStream(stream);
      return "loaded";
    } catch (const Exception& e) {
      return e.Message();
    }
  };
#if defined(__SANITIZE_ADDRESS__)
  static std::atomic<bool> watching{false};
  static std::atomic<size_t> largest{0};
  static const int installed = __sanitizer_install_malloc_and_free_hooks(
      [](const volatile void*, size_t size) {
        if (watching && size > largest) largest = size;
      },
      [](const volatile void*) {});
  if (installed == 0) return "no allocation hook";
  largest = 0;
  watching = true;
  const std::string result = load();
  watching = false;
  return largest > limit ? "allocated " + std::to_string(largest) + " bytes" : result;
#else
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    size_t used = 0;  // the address space in use now, from "VmSize: N kB"
    std::ifstream status("/proc/self/status");
    for (std::string word; status >> word;)
      if (word == "VmSize:" && status >> used) break;
    const rlimit r{used * 1024 + limit, used * 1024 + limit};
    const std::string result = used > 0 && setrlimit(RLIMIT_AS, &r) == 0 ? load() : "no limit";
    const ssize_t written = write(fds[1], result.data(), result.size());
    _exit(written == ssize_t(result.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string result;
  char buffer[512];
  pollfd waiting{fds[0], POLLIN, 0};
  bool finished = false;
  while (!finished && poll(&waiting, 1, 60000) > 0) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n > 0)
      result.append(buffer, size_t(n));
    else
      finished = true;  // the child closed its end: it has ended
  }
  close(fds[0]);
  if (pid < 0) return "no child";
  if (!finished) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  return finished && !result.empty() ? result : "the load did not finish";
#endif
}

// Runs a tool and fails the test (returning false) when it does not succeed.
inline bool Tool(const std::vector<std::string>& argv) {
  const testsupport::CommandResult r = testsupport::Run(argv);
  if (r.exitCode != 0) ADD_FAILURE() << argv[0] << " failed: " << r.err;
  return r.exitCode == 0;
}

// What libtiff decodes: tiff2rgba without alpha, read back through ImageMagick.
inline testsupport::Raster LibTiffRaster(const std::string& path) {
  const std::string rgba = testsupport::TempPath("oracle.tif");
  Tool({"tiff2rgba", "-n", "-c", "none", path, rgba});
  return testsupport::ImageMagickRaster(rgba, {"-depth", "8", "-type", "TrueColor"});
}

// What ImageMagick decodes, as 8-bit RGB with the colours as stored.
inline testsupport::Raster MagickRaster(const std::string& path) {
  return testsupport::ImageMagickRaster(path, {"-depth", "8", "-type", "TrueColor", "-alpha", "off"});
}

// Every pixel of the bitmap against the raster, within tolerance per channel.
inline ::testing::AssertionResult SamePixels(const TBitmap& bitmap, const testsupport::Raster& raster,
                                             int tolerance = 0) {
  if (bitmap.Width() != raster.width || bitmap.Height() != raster.height)
    return ::testing::AssertionFailure() << "size " << bitmap.Width() << "x" << bitmap.Height() << ", expected "
                                         << raster.width << "x" << raster.height;
  long differ = 0;
  int fx = 0, fy = 0;
  for (int y = 0; y < raster.height; ++y)
    for (int x = 0; x < raster.width; ++x)
      for (int ch = 0; ch < 3; ++ch) {
        const int ours = int(bitmap.PixelColor(x, y) >> (8 * ch) & 0xFF);
        const int theirs = raster.at(x, y, raster.channels >= 3 ? ch : 0) * 255 / std::max(raster.maxval, 1);
        if (std::abs(ours - theirs) > tolerance && differ++ == 0) fx = x, fy = y;
      }
  if (differ == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differ << " samples differ by more than " << tolerance << ", first at " << fx
                                       << "," << fy;
}

// A writer of small TIFF files: tags as value lists of a type (3 SHORT, 4 LONG, 5
// RATIONAL as numerator-denominator pairs), strips as byte blocks. StripOffsets and
// StripByteCounts are filled in unless set.
class TiffWriter {
 public:
  explicit TiffWriter(bool bigEndian = false) : be_(bigEndian) {}
  void Tag(uint16_t tag, uint16_t type, const std::vector<uint32_t>& values) {
    std::string bytes;
    for (uint32_t v : values) bytes += type == 3 ? U16(uint16_t(v)) : U32(v);
    tags_[tag] = {type, uint32_t(type == 5 ? values.size() / 2 : values.size()), bytes};
  }
  void Remove(uint16_t tag) { tags_.erase(tag); }
  // Claims another count for a tag, its value bytes unchanged.
  void SetCount(uint16_t tag, uint32_t count) { tags_[tag].count = count; }
  void Strip(const std::string& bytes) { strips_.push_back(bytes); }
  // The directory and its values go right behind the header, before the strips, as
  // scanners write them: a file cut in its strips keeps its directory.
  void DirectoryFirst() { directoryFirst_ = true; }

  std::string Build() const {
    std::string file = (be_ ? std::string("MM\0*", 4) : std::string("II*\0", 4)) + U32(0);
    if (directoryFirst_) {
      // The directory's own size first (two 4-byte values of offsets and counts per strip
      // beyond the first stand outside it), then the strips behind it.
      TiffWriter sized = *this;
      sized.directoryFirst_ = false;
      sized.strips_.clear();
      const std::vector<uint32_t> placeholder(strips_.size(), 0);
      if (!tags_.count(273)) sized.Tag(273, 4, placeholder);
      if (!tags_.count(279)) sized.Tag(279, 4, placeholder);
      TiffWriter placed = sized;
      uint32_t at = uint32_t(sized.Build().size());
      std::vector<uint32_t> offsets, counts;
      std::string data;
      for (const std::string& s : strips_) {
        offsets.push_back(at + uint32_t(data.size()));
        counts.push_back(uint32_t(s.size()));
        data += s + std::string(s.size() % 2, '\0');
      }
      if (!tags_.count(273)) placed.Tag(273, 4, offsets);
      if (!tags_.count(279)) placed.Tag(279, 4, counts);
      return placed.Build() + data;
    }
    std::vector<uint32_t> offsets, counts;
    for (const std::string& s : strips_) {
      offsets.push_back(uint32_t(file.size()));
      counts.push_back(uint32_t(s.size()));
      file += s + std::string(s.size() % 2, '\0');
    }
    TiffWriter all = *this;
    if (!tags_.count(273)) all.Tag(273, 4, offsets);
    if (!tags_.count(279)) all.Tag(279, 4, counts);
    std::string ifd = U16(uint16_t(all.tags_.size()));
    for (const auto& [tag, e] : all.tags_) {
      ifd += U16(tag) + U16(e.type) + U32(e.count);
      if (e.bytes.size() <= 4) {
        ifd += e.bytes + std::string(4 - e.bytes.size(), '\0');
      } else {  // the values go before the directory
        ifd += U32(uint32_t(file.size()));
        file += e.bytes + std::string(e.bytes.size() % 2, '\0');
      }
    }
    return file.replace(4, 4, U32(uint32_t(file.size()))) + ifd + U32(0);
  }

 private:
  std::string U16(uint16_t v) const {
    return be_ ? std::string{char(v >> 8), char(v)} : std::string{char(v), char(v >> 8)};
  }
  std::string U32(uint32_t v) const {
    return be_ ? U16(uint16_t(v >> 16)) + U16(uint16_t(v)) : U16(uint16_t(v)) + U16(uint16_t(v >> 16));
  }
  struct Entry {
    uint16_t type;
    uint32_t count;
    std::string bytes;
  };
  bool be_;
  bool directoryFirst_ = false;
  std::map<uint16_t, Entry> tags_;
  std::vector<std::string> strips_;
};

}  // namespace tifftest
