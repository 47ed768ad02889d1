// The suites every reader fills with rows of its own (see ReaderTestUtil.h).
#include "ReaderTestUtil.h"

namespace hostiletest {

TEST_P(RefusedBeforeAllocating, WithTheSizeInTheMessage) { ExpectRefusedBeforeAllocating(GetParam().load, GetParam().message); }

TEST_P(DamagedFiles, CutAndChangedFilesFailCleanly) {
  const DamagedFile& row = GetParam();
  const Damage d = row.make();
  if (d.file.empty()) GTEST_SKIP() << "the tool that makes the file is missing";
  auto cut = [&](size_t n) { return row.load(Bytes(d.file.begin(), d.file.begin() + std::ptrdiff_t(n))); };
  for (size_t n : d.refused) {
    if (n >= d.file.size()) continue;
    const LoadResult r = cut(n);
    EXPECT_FALSE(r.loaded) << "cut at " << n;
    if (!d.errors.empty()) {
      EXPECT_NE(std::find(d.errors.begin(), d.errors.end(), r.error), d.errors.end()) << "cut at " << n << ": " << r.error;
    }
  }
  for (size_t n : d.tried)
    if (n < d.file.size()) cut(n);
  const uint32_t seed = uint32_t(std::hash<std::string>()(row.name));
  LoadFlips(row.load, d.file, d.flips, seed);
  if (d.header) LoadFlips(row.load, d.file, d.flips, seed + 1, 0, d.header);
}

}  // namespace hostiletest
