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

TEST_P(CutFiles, LoadTheRowsTheyHold) {
  const CutLayout layout = GetParam().make();
  if (layout.file.empty()) GTEST_SKIP() << "the tool that makes the file is missing";
  const int height = layout.whole.height, width = layout.whole.width;
  for (int held : {1, height / 2, height - 1}) {
    SCOPED_TRACE("rows held: " + std::to_string(held));
    const size_t cut = layout.dataStart + size_t(held) * layout.rowBytes + layout.rowBytes / 2;
    ASSERT_LT(cut, layout.file.size());
    const pixeltest::Rgba ours = GetParam().load(Bytes(layout.file.begin(), layout.file.begin() + std::ptrdiff_t(cut)));
    ASSERT_EQ(ours.width, width);
    ASSERT_EQ(ours.height, height);
    // The stored row i and the row of the picture it is.
    auto shown = [&](int i) { return layout.bottomUp ? height - 1 - i : i; };
    for (int i = 0; i < height; ++i) {
      if (i == held) continue;  // the row the cut goes through
      const int y = shown(i);
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) {
          const int expected = i < held ? layout.whole.at(x, y)[c] : 0;
          ASSERT_EQ(ours.at(x, y)[c], expected) << "pixel " << x << "," << y << " channel " << c;
        }
    }
  }
}

}  // namespace hostiletest
