// LZW decoders: TIFF strips written by ImageMagick through libtiff, GIF data written
// by ImageMagick, and hand-assembled GIF streams for the cases no tool writes (a
// clear code deferred after the table is full, three codes 4095 in a row, hostile
// code sizes), which ImageMagick's own GIF decoder reads the same way.

#include <random>
#include <utility>

#include "DecoderTestUtil.h"
#include "DecoderTiffStrips.h"

using namespace decodertest;

namespace {

// A grey picture with flat areas, ramps and noise, so that LZW tables fill and clear.
Bytes TestPicture(int w, int h, unsigned seed, int levels = 256) {
  std::mt19937 rng(seed);
  Bytes p;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int v = x < w / 3 ? (y / 8) * 8 : x < 2 * w / 3 ? (x + y) : int(rng());
      p.push_back(uint8_t(v % levels));
    }
  return p;
}

std::string Pgm(int w, int h, const Bytes& p) {
  std::string s = "P5\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  return s.append(p.begin(), p.end());
}

}  // namespace

TEST(DecoderTiffLzw, StripsWrittenByImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  const int w = 301, h = 120;
  const Bytes pixels = TestPicture(w, h, 3);
  const std::string in = testsupport::TempPath("in.pgm"), out = testsupport::TempPath("lzw.tif");
  testsupport::WriteFile(in, Pgm(w, h, pixels));
  ASSERT_EQ(testsupport::Run({"convert", in, "-compress", "LZW", "-define", "tiff:rows-per-strip=50", out}).exitCode, 0);
  TiffStrips tiff = ReadTiffStrips(testsupport::ReadFile(out));
  ASSERT_EQ(tiff.Tag(259), 5u);
  ASSERT_EQ(tiff.strips.size(), 3u);
  Bytes decoded;
  for (size_t i = 0; i < tiff.strips.size(); ++i) {
    const size_t rows = std::min<size_t>(50, h - 50 * i);
    // Bytes behind the end code are ignored.
    Bytes packed = ToBytes(tiff.strips[i]);
    packed.insert(packed.end(), {0xFF, 0x00, 0xAB});
    TTIFFLZWDecoder d;
    Bytes strip = RunBytes(d, packed, rows * w);
    decoded.insert(decoded.end(), strip.begin(), strip.end());
  }
  if (tiff.Tag(317) == 2) UndoPredictor(decoded, w, 1);
  EXPECT_EQ(decoded, pixels);
}

TEST(DecoderTiffLzw, FullTableWithoutClearCodeStaysInside) {
  // 9- to 12-bit literal codes with no clear code: the table fills and codes go on.
  BitWriter bits(true);
  bits.Put(256, 9);
  unsigned width = 9, free = 258;
  Bytes expected;
  for (int i = 0; i < 6000; ++i) {
    const unsigned code = unsigned(i * 7) & 0xFF;
    bits.Put(code, width);
    expected.push_back(uint8_t(code));
    if (i > 0 && free < 4096) {
      ++free;
      if (free == (1u << width) - 1 && width < 12) ++width;
    }
  }
  TTIFFLZWDecoder d;
  EXPECT_EQ(RunBytes(d, bits.Finish(), expected.size()), expected);
}

TEST(DecoderGifLzw, DataWrittenByImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  const int w = 173, h = 90;
  const Bytes pixels = TestPicture(w, h, 9, 200);
  const std::string in = testsupport::TempPath("in.pgm"), out = testsupport::TempPath("im.gif");
  testsupport::WriteFile(in, Pgm(w, h, pixels));
  ASSERT_EQ(testsupport::Run({"convert", in, "-interlace", "none", out}).exitCode, 0);
  const std::string f = testsupport::ReadFile(out);
  // Walk the file to the image data: header, colour table, extensions, descriptor.
  size_t pos = 13;
  const uint8_t flags = uint8_t(f[10]);
  Bytes palette(f.begin() + 13, f.begin() + 13 + 3 * (2 << (flags & 7)));
  pos += palette.size();
  while (f[pos] == '!') {
    pos += 2;
    while (uint8_t(f[pos]) != 0) pos += 1 + uint8_t(f[pos]);
    ++pos;
  }
  ASSERT_EQ(f[pos], ',');
  const uint8_t imageFlags = uint8_t(f[pos + 9]);
  ASSERT_EQ(imageFlags & 0x80, 0) << "a local colour table is not expected here";
  pos += 10;
  const uint8_t codeSize = uint8_t(f[pos++]);
  Bytes data;
  while (uint8_t(f[pos]) != 0) {
    data.insert(data.end(), f.begin() + long(pos) + 1, f.begin() + long(pos) + 1 + uint8_t(f[pos]));
    pos += 1 + uint8_t(f[pos]);
  }
  TGIFLZWDecoder d(codeSize);
  Bytes indices = RunBytes(d, data, pixels.size());
  const Bytes reference = ImageMagickGrey(f);
  for (size_t i = 0; i < pixels.size(); ++i) {
    ASSERT_EQ(palette[3 * indices[i]], reference[i]) << "pixel " << i;
  }
}

TEST(DecoderGifLzw, SmallCodeSizeAndTheKwKwKCase) {
  // Code size 2: clear 4, end 5, 3-bit codes. 1, then 6 (the next free code) gives 1 1 1.
  BitWriter bits(false);
  for (unsigned c : {4u, 1u, 6u, 5u}) bits.Put(c, 3);
  TGIFLZWDecoder d(2);
  EXPECT_EQ(RunBytes(d, bits.Finish(), 4), (Bytes{1, 1, 1, 0}));
}

TEST(DecoderGifLzw, DeferredClearAndRepeatedLastCode) {
  KIVO2_REQUIRE_TOOL("convert");
  // Literal codes fill the table to 4096 entries; more codes follow at 12 bits
  // without a clear code (the encoder defers it); then a clear code and 9-bit codes.
  GifLiteralWriter gif(8);
  Bytes expected;
  unsigned k = 0;
  while (gif.Free() < 4096) gif.Code(k % 256), expected.push_back(uint8_t(k++ % 256));
  for (int i = 0; i < 500; ++i) gif.Code(255 - i % 256), expected.push_back(uint8_t(255 - i % 256));
  gif.Clear();
  for (int i = 0; i < 300; ++i) gif.Code(i % 200), expected.push_back(uint8_t(i % 200));
  const Bytes data = gif.End();
  const int w = 100, h = int(expected.size()) / w;
  expected.resize(size_t(w) * h);
  TGIFLZWDecoder d(8);
  EXPECT_EQ(RunBytes(d, data, expected.size()), expected);
  EXPECT_EQ(ImageMagickGrey(GifFile(w, h, 8, data)), expected);
}

TEST(DecoderGifLzw, ThreeCodes4095InARowEnd) {
  // Literals until the next free code is 4095, then the code 4095 three times: the
  // first defines entry 4095 (last literal twice), the others repeat it.
  GifLiteralWriter gif(8);
  Bytes expected;
  unsigned k = 0;
  while (gif.Free() < 4095) gif.Code(k % 251), expected.push_back(uint8_t(k++ % 251));
  const uint8_t last = expected.back();
  for (int i = 0; i < 3; ++i) gif.Code(4095), expected.insert(expected.end(), {last, last});
  TGIFLZWDecoder d(8);
  EXPECT_EQ(RunBytes(d, gif.End(), expected.size() + 10), [&] {
    Bytes e = expected;
    e.resize(expected.size() + 10);
    return e;
  }());
}

TEST(DecoderGifLzw, HostileCodeSizesAndCodes) {
  TGIFLZWDecoder big(12);
  EXPECT_THROW(RunBytes(big, {0, 0, 0}, 8), EGraphicCompression);
  TGIFLZWDecoder max(11);
  EXPECT_NO_THROW(RunBytes(max, {0xFF, 0xFF, 0xFF, 0xFF}, 8));
  // Codes beyond the next free code are dropped with the bits gathered so far.
  BitWriter bits(false);
  for (unsigned c : {4u, 7u}) bits.Put(c, 3);
  bits.Put(0, 2);  // fill to the byte end
  for (unsigned c : {2u, 3u, 5u}) bits.Put(c, 3);
  TGIFLZWDecoder d(2);
  EXPECT_EQ(RunBytes(d, bits.Finish(), 3), (Bytes{2, 3, 0}));
}

namespace {

// Codes that each define the entry they use (the code is always the next free one),
// after a clear code and one root: strings of 1, 2, 3, ... bytes of that root until
// the table is full, then `more` codes 4095, the longest entry. Returns the stream
// and the number of bytes it decodes to. msbFirst: TIFF's order and widths, else GIF's
// with code size 8.
std::pair<Bytes, size_t> GrowingStrings(bool msbFirst, uint8_t root, int more) {
  BitWriter bits(msbFirst);
  unsigned width = 9, free = 258;
  bits.Put(256, width);
  bits.Put(root, width);
  size_t total = 1, length = 1;
  while (free < 4096) {
    bits.Put(free, width);
    total += ++length;
    if (msbFirst) {
      ++free;
      if (free == (1u << width) - 1 && width < 12) ++width;
    } else {
      if (free == (1u << width) - 1 && width < 12) ++width;
      ++free;
    }
  }
  for (int i = 0; i < more; ++i) bits.Put(4095, width), total += 4095 - 258 + 2;
  return {bits.Finish(), total};
}

}  // namespace

TEST(DecoderLzw, LongStringsEndExactlyAtTheTargetEnd) {
  for (bool msbFirst : {true, false}) {
    const auto [stream, total] = GrowingStrings(msbFirst, 'a', 3);
    ASSERT_EQ(total, 1 + (3839u * 3840 / 2 - 1) + 3 * 3839u);
    // The whole output, a target ending inside a long string, inside a short one, one
    // byte, and one with room to spare.
    for (size_t size : {total, total - 1000, total - 3839 * 3 - 5, size_t(700), size_t(1), total + 9}) {
      std::unique_ptr<TDecoder> d;
      if (msbFirst)
        d = std::make_unique<TTIFFLZWDecoder>();
      else
        d = std::make_unique<TGIFLZWDecoder>(8);
      Bytes expected(std::min(size, total), 'a');
      expected.resize(size, 0);
      ASSERT_EQ(RunBytes(*d, stream, size), expected) << msbFirst << " " << size;
    }
  }
}

TEST(DecoderLzw, HostileStreamsStayInsideTheirBlocks) {
  // Random bytes, and random codes up to two above the next free code in the widths
  // the decoder reads, into targets of exactly the size given (AddressSanitizer sees
  // any access past them); decoding ends, and every call writes only its target.
  std::mt19937 random(20261207);
  for (int round = 0; round < 400; ++round) {
    const bool msbFirst = round % 2 == 0;
    const unsigned codeSize = msbFirst ? 8 : random() % 12;
    const unsigned clear = 1u << codeSize;
    Bytes packed;
    if (round % 4 < 2) {
      packed.resize(random() % 3000);
      for (uint8_t& b : packed) b = uint8_t(random());
    } else {
      BitWriter bits(msbFirst);
      unsigned width = codeSize + 1, free = clear + 2;
      for (int i = 0, n = int(random() % 6000); i < n; ++i) {
        const unsigned code = std::min<unsigned>(random() % (free + 3), (1u << width) - 1);
        bits.Put(code, width);
        if (code == clear) {
          width = codeSize + 1, free = clear + 2;
        } else if (code < free + 1 && free < 4096) {
          if (msbFirst) ++free;
          if (free == (1u << width) - 1 && width < 12) ++width;
          if (!msbFirst) ++free;
        }
      }
      packed = bits.Finish();
    }
    const size_t size = 1 + random() % 20000;
    std::unique_ptr<TDecoder> d;
    if (msbFirst)
      d = std::make_unique<TTIFFLZWDecoder>();
    else
      d = std::make_unique<TGIFLZWDecoder>(uint8_t(codeSize));
    RunBytes(*d, packed, size);
  }
}
