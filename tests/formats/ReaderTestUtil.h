#pragma once
// Helpers of the format reader tests: a colourful test picture, and loading damaged files
// through a reader, cut at chosen places and with bytes changed at places drawn with a
// fixed seed. Every load must end with a picture or an Exception of the program's
// hierarchy (never a crash, a hang or a std::exception); the sanitizer build runs the
// same loads and catches any access outside the file's bytes or the bitmap.
//
// Two suites every reader fills with rows of its own (INSTANTIATE_TEST_SUITE_P in its
// test file): RefusedBeforeAllocating, pictures the file cannot hold, and DamagedFiles,
// a sound file cut and changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "MemoryLimit.h"
#include "TargaPngPixels.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

namespace hostiletest {

using Bytes = std::vector<uint8_t>;

// A w x h picture as PPM: ramps, flat areas (for runs) and noise drawn with the seed.
inline std::string TestPpm(int w, int h, uint32_t seed) {
  std::string s = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool flat = (x / 7 + y / 5) % 3 == 0;
      s += char(flat ? 210 : x * 4), s += char(flat ? 30 : y * 7), s += char(flat ? 140 : int(rng() % 256));
    }
  return s;
}

// Runs load in a child that may take only 64 MiB more memory, and expects it to be
// refused with EInvalidGraphic and the message: before anything large is allocated.
inline void ExpectRefusedBeforeAllocating(const std::function<void()>& load, const std::string& message) {
  const testsupport::LimitedRun run = testsupport::RunWithMemoryLimit(64 * testsupport::kMiB, [&] {
    load();
    return std::string("loaded");
  });
  EXPECT_TRUE(run.finished) << "signal " << run.signal;
  EXPECT_EQ(run.text, "EInvalidGraphic: " + message);
}

// The reader's messages for a picture the file holds too little data for, and for one
// larger than a bitmap may be.
inline std::string TooLittle(const std::string& format, int64_t w, int64_t h) {
  return "Cannot load image. The " + format + " file holds too little data for a picture of " + std::to_string(w) +
         " x " + std::to_string(h) + " pixels.";
}
inline std::string TooLarge(int64_t w, int64_t h) {
  return "Cannot load image. The picture is too large: " + std::to_string(w) + " x " + std::to_string(h) + " pixels.";
}

// A load that must be refused with the message before anything large is allocated.
struct Refusal {
  std::string name;
  std::function<void()> load;
  std::string message;
};
class RefusedBeforeAllocating : public testing::TestWithParam<Refusal> {};

// The picture read from the bytes; throws what the reader throws.
template <class G>
std::unique_ptr<G> Read(const Bytes& data) {
  auto g = std::make_unique<G>();
  TReadOnlyMemoryStream stream(data.data(), int64_t(data.size()));
  g->LoadFromStream(stream);
  return g;
}

struct LoadResult {
  bool loaded = false;
  std::string error;  // the Exception's message when not loaded
};

// Loads the bytes through a new graphic of class G, from a heap block of exactly their size.
template <class G>
LoadResult Load(const Bytes& data) {
  std::unique_ptr<uint8_t[]> block(new uint8_t[data.empty() ? 1 : data.size()]);
  if (!data.empty()) std::memcpy(block.get(), data.data(), data.size());
  TReadOnlyMemoryStream stream(block.get(), int64_t(data.size()));
  LoadResult r;
  try {
    G graphic;
    graphic.LoadFromStream(stream);
    r.loaded = true;
  } catch (const Exception& e) {
    r.error = e.Message();
  }
  return r;
}

// `count` copies of the file, each with one to four bytes set to values drawn with the
// seed, at places drawn from [from, to); every one is loaded. Returns how many loaded.
inline int LoadFlips(LoadResult (*load)(const Bytes&), const Bytes& data, int count, uint32_t seed, size_t from = 0,
                     size_t to = SIZE_MAX) {
  std::mt19937 rng(seed);
  to = std::min(to, data.size());
  int loaded = 0;
  for (int i = 0; i < count; ++i) {
    Bytes copy = data;
    const int changes = 1 + int(rng() % 4);
    for (int k = 0; k < changes && from < to; ++k) copy[from + rng() % (to - from)] = uint8_t(rng());
    loaded += load(copy).loaded ? 1 : 0;
  }
  return loaded;
}

// A sound file of a reader's format with the cuts at which nothing may load (and, when
// errors is not empty, that fail with one of those messages) and cuts that may load what
// they hold; changed bytes go anywhere and, as many again, into the header.
struct Damage {
  Bytes file{};  // empty: the tool that makes it is missing
  std::vector<size_t> refused{}, tried{};
  size_t header = 0;
  std::vector<std::string> errors{};
  int flips = 300;
};
struct DamagedFile {
  std::string name;
  LoadResult (*load)(const Bytes&);
  std::function<Damage()> make;
};
class DamagedFiles : public testing::TestWithParam<DamagedFile> {};

// A sound file of an uncompressed format, its rows stored one after the other from
// dataStart on, rowBytes each (bottomUp: the first stored row is the picture's bottom
// row), and an independent tool's reading of it. Cut inside a row, the file loads: the
// rows before the cut show as the tool shows them, the rows after it stay black.
struct CutLayout {
  Bytes file{};  // empty: the tool that makes it is missing
  pixeltest::Rgba whole{};
  size_t dataStart = 0, rowBytes = 0;
  bool bottomUp = false;
};
struct CutFile {
  std::string name;
  pixeltest::Rgba (*load)(const Bytes&);
  std::function<CutLayout()> make;
};
class CutFiles : public testing::TestWithParam<CutFile> {};

// The colours the bitmap of class G read from the bytes shows.
template <class G>
pixeltest::Rgba ReadRgba(const Bytes& data) {
  return pixeltest::FromBitmap(*Read<G>(data));
}

// Test names from the rows' names; a row prints as its name.
template <class Row>
std::string RowName(const testing::TestParamInfo<Row>& info) {
  return info.param.name;
}
inline void PrintTo(const Refusal& row, std::ostream* os) { *os << row.name; }
inline void PrintTo(const DamagedFile& row, std::ostream* os) { *os << row.name; }
inline void PrintTo(const CutFile& row, std::ostream* os) { *os << row.name; }

}  // namespace hostiletest
