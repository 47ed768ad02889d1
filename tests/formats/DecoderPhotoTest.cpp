// ThunderScan (hand-assembled packets, and the libtiff sample picture checked against
// ImageMagick), the Photo-CD Huffman residuals on hand-assembled streams, and the
// Photo-CD upsampling in place.

#include "DecoderTestUtil.h"
#include "DecoderTiffStrips.h"
#include "platform/rtl/Streams.h"

using namespace decodertest;

TEST(DecoderThunder, PacketKinds) {
  TThunderDecoder d(8);
  // Raw 5; deltas +0, skip, +1; run of 3; 3-bit deltas +3 and -1.
  EXPECT_EQ(RunBytes(d, {0xC5, 0x49, 0x03, 0x9F}, 4), (Bytes{0x55, 0x66, 0x66, 0x98}));
  // Each row starts on a byte with the last pixel 0; a run stops at the row's end.
  TThunderDecoder odd(3);
  EXPECT_EQ(RunBytes(odd, {0xC7, 0x3F, 0x43}, 4), (Bytes{0x77, 0x70, 0x00, 0xF0}));
}

TEST(DecoderThunder, SamplePictureMatchesLibtiff) {
  KIVO2_REQUIRE_CORPUS("tiff/text.tif");
  KIVO2_REQUIRE_TOOL("tiffcp");
  const std::string file = testsupport::CorpusDir() + "/tiff/text.tif";
  TiffStrips tiff = ReadTiffStrips(testsupport::ReadFile(file));
  ASSERT_EQ(tiff.Tag(259), 32809u);
  // libtiff's decoding, stored uncompressed (it gives up on the damaged last strip).
  const std::string plain = testsupport::TempPath("plain.tif");
  testsupport::Run({"tiffcp", "-c", "none", file + ",0", plain});
  TiffStrips reference = ReadTiffStrips(testsupport::ReadFile(plain));
  const uint32_t w = tiff.Tag(256), h = tiff.Tag(257), rowsPerStrip = tiff.Tag(278);
  ASSERT_EQ(reference.Tag(278), rowsPerStrip);
  const size_t rowBytes = (w + 1) / 2;
  for (size_t i = 0; i + 1 < tiff.strips.size(); ++i) {
    const size_t rows = std::min<size_t>(rowsPerStrip, h - i * rowsPerStrip);
    TThunderDecoder d(w);
    Bytes strip = RunBytes(d, ToBytes(tiff.strips[i]), rows * rowBytes);
    Bytes expected = ToBytes(reference.strips.at(i));
    ASSERT_EQ(strip.size(), expected.size());
    // Rows agree, except that where a row's last run crosses the row end libtiff
    // leaves those pixels unwritten and we fill them with the run's value.
    for (size_t row = 0; row < rows; ++row) {
      const auto ours = strip.begin() + long(row * rowBytes), theirs = expected.begin() + long(row * rowBytes);
      const auto diff = std::mismatch(ours, ours + long(rowBytes), theirs);
      if (diff.first == ours + long(rowBytes)) continue;
      const uint8_t fill = *diff.first;
      EXPECT_EQ(fill >> 4, fill & 0xF) << "strip " << i << " row " << row;
      EXPECT_TRUE(std::all_of(diff.first, ours + long(rowBytes), [&](uint8_t b) { return b == fill; }))
          << "strip " << i << " row " << row << " differs from byte " << (diff.first - ours);
    }
  }
}

namespace {

// A Photo-CD residual stream: Huffman tables, then rows of codes after 24-bit syncs.
struct PcdStream {
  BitWriter bits{true};
  void Byte(uint8_t b) { bits.Put(b, 8); }
  void Table(std::initializer_list<std::tuple<unsigned, uint16_t, uint8_t>> entries) {
    Byte(uint8_t(entries.size() - 1));
    for (auto [length, code, value] : entries) {
      Byte(uint8_t(length - 1));
      bits.Put(code, 16);
      Byte(value);
    }
  }
  void Row(unsigned plane, unsigned row) {
    bits.Put(0xFFFFFE, 24);
    bits.Put(plane, 2);
    bits.Put(row, 13);
    bits.Put(0, 1);
  }
};

void RunPcd(const Bytes& data, uint8_t* const planes[3], int32_t rowLength, int32_t rows) {
  TReadOnlyMemoryStream stream(data.data(), int64_t(data.size()));
  TPCDDecoder d(&stream);
  const void* src = planes;
  void* dst = nullptr;
  d.Decode(src, dst, rowLength, rows);
}

}  // namespace

TEST(DecoderPhotoCD, ResidualsAreAddedAndClamped) {
  PcdStream s;
  // "0" adds 3, "10" subtracts 1 (value 255), "110" adds 100.
  s.Table({{1, 0x0000, 3}, {2, 0x8000, 255}, {3, 0xC000, 100}});
  for (int i = 0; i < 4; ++i) s.Byte(0);
  s.Row(0, 1);
  for (auto [code, width] : {std::pair{0u, 1u}, {2u, 2u}, {6u, 3u}, {0u, 1u}}) s.bits.Put(code, width);
  s.Row(2, 1);  // the first chrominance row 0
  s.bits.Put(2, 2);
  s.bits.Put(2, 2);
  s.Row(0, 2);  // row 2 ends decoding
  for (int i = 0; i < 8; ++i) s.Byte(0);
  Bytes luma = {10, 10, 10, 10, 10, 10, 10, 200}, c1 = {0, 5, 0, 0}, c2 = {7, 7, 7, 7};
  uint8_t* planes[3] = {luma.data(), c1.data(), c2.data()};
  RunPcd(s.bits.Finish(), planes, 4, 2);
  EXPECT_EQ(luma, (Bytes{10, 10, 10, 10, 13, 9, 110, 203}));
  EXPECT_EQ(c1, (Bytes{0, 4, 0, 0}));  // clamped at 0
  EXPECT_EQ(c2, (Bytes{7, 7, 7, 7}));
}

TEST(DecoderPhotoCD, HostileStreamsEnd) {
  Bytes luma(8, 50), c1(4, 50), c2(4, 50);
  uint8_t* planes[3] = {luma.data(), c1.data(), c2.data()};
  {
    // Bits that no code matches, then a row far beyond the planes.
    PcdStream s;
    s.Table({{2, 0x8000, 1}});
    for (int i = 0; i < 4; ++i) s.Byte(0);
    s.Row(0, 0);
    for (int i = 0; i < 5; ++i) s.Byte(0);
    s.Row(0, 5000);
    s.bits.Put(2, 2);
    RunPcd(s.bits.Finish(), planes, 4, 2);
    EXPECT_EQ(luma, Bytes(8, 50));
  }
  {
    // Plane 1 does not exist.
    PcdStream s;
    s.Table({{1, 0, 1}});
    for (int i = 0; i < 4; ++i) s.Byte(0);
    s.Row(1, 0);
    s.Byte(0);
    EXPECT_THROW(RunPcd(s.bits.Finish(), planes, 4, 2), EGraphicCompression);
  }
  // A table promising more entries than the stream holds; a code length above 16.
  RunPcd({0xFF, 0x03, 0x00}, planes, 4, 2);
  RunPcd({0x00, 0x20, 0x00, 0x00, 0x00}, planes, 4, 2);
  RunPcd({}, planes, 4, 2);
  EXPECT_EQ(luma, Bytes(8, 50));
}

TEST(DecoderPhotoCD, UpsamplingInPlace) {
  // 2 x 2 in rows of 4 bytes.
  Bytes plane = {0, 100, 0, 0, 100, 200, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Upsample(2, 2, 4, plane.data());
  EXPECT_EQ(Bytes(plane.begin(), plane.begin() + 4), (Bytes{0, 50, 100, 100}));
  EXPECT_EQ(Bytes(plane.begin() + 8, plane.begin() + 12), (Bytes{100, 150, 200, 200}));
  EXPECT_EQ(Bytes(plane.begin() + 4, plane.begin() + 8), (Bytes{50, 100, 150, 150}));
  EXPECT_EQ(Bytes(plane.begin() + 12, plane.end()), Bytes(plane.begin() + 8, plane.begin() + 12));

  // Two equal source rows must give equal target rows 0 and 2: the first row is
  // enlarged within its own memory.
  const uint32_t w = 37, h = 3, stride = 80;
  Bytes big(stride * 2 * h, 0);
  for (uint32_t x = 0; x < w; ++x) big[x] = big[stride + x] = uint8_t(x * 7 % 256), big[2 * stride + x] = uint8_t(x);
  Upsample(w, h, stride, big.data());
  EXPECT_EQ(Bytes(big.begin(), big.begin() + 2 * w), Bytes(big.begin() + 2 * stride, big.begin() + 2 * stride + 2 * w));
  for (uint32_t x = 0; x + 1 < w; ++x) {
    EXPECT_EQ(big[2 * x], uint8_t(x * 7 % 256));
    EXPECT_EQ(big[2 * x + 1], uint8_t((x * 7 % 256 + (x + 1) * 7 % 256 + 1) / 2));
  }
}
