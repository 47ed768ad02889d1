#pragma once
// Helpers of the format reader tests: a colourful test picture, and loading damaged files
// through a reader, cut at chosen places and with bytes changed at places drawn with a
// fixed seed. Every load must end with a picture or an Exception of the program's
// hierarchy (never a crash, a hang or a std::exception); the sanitizer build runs the
// same loads and catches any access outside the file's bytes or the bitmap.
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

// The file cut at each of the given lengths (those not below its size are left out);
// the results in the same order.
template <class G>
std::vector<LoadResult> LoadCuts(const Bytes& data, const std::vector<size_t>& lengths) {
  std::vector<LoadResult> results;
  for (size_t n : lengths) {
    if (n >= data.size()) continue;
    results.push_back(Load<G>(Bytes(data.begin(), data.begin() + std::ptrdiff_t(n))));
  }
  return results;
}

// `count` copies of the file, each with one to four bytes set to values drawn with the
// seed, at places drawn from [from, to); every one is loaded. Returns how many loaded.
template <class G>
int LoadFlips(const Bytes& data, int count, uint32_t seed, size_t from = 0, size_t to = SIZE_MAX) {
  std::mt19937 rng(seed);
  to = std::min(to, data.size());
  int loaded = 0;
  for (int i = 0; i < count; ++i) {
    Bytes copy = data;
    const int changes = 1 + int(rng() % 4);
    for (int k = 0; k < changes && from < to; ++k) copy[from + rng() % (to - from)] = uint8_t(rng());
    loaded += Load<G>(copy).loaded ? 1 : 0;
  }
  return loaded;
}

}  // namespace hostiletest
