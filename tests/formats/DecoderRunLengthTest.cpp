// Run-length decoders and the Targa encoder: hand-assembled packets for what the
// formats define, packets that run past either end, and PackBits strips written by
// ImageMagick (through libtiff) decoded back to the pixels it was given.

#include <random>

#include "DecoderTestUtil.h"
#include "DecoderTiffStrips.h"

using namespace decodertest;

TEST(DecoderTarga, RunAndRawPacketsAdvanceTheSource) {
  TTargaRLEDecoder d(24);
  d.DecodeInit();
  Decoded r = RunDecoder(d, {0x82, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9, 0x55}, 15, 5);
  EXPECT_EQ(r.out, (Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(r.consumed, 11u);
}

TEST(DecoderTarga, PacketsCrossingRowsContinueInTheNextRow) {
  // Rows of 2 pixels; a run of 5 and a raw packet of 3 cover rows 1 to 4.
  TTargaRLEDecoder d(8);
  d.DecodeInit();
  const Bytes data = {0x84, 7, 0x02, 1, 2, 3};
  Bytes rows;
  size_t pos = 0;
  for (int row = 0; row < 4; ++row) {
    Decoded r = RunDecoder(d, Bytes(data.begin() + long(pos), data.end()), 2, 2);
    pos += r.consumed;
    rows.insert(rows.end(), r.out.begin(), r.out.end());
  }
  EXPECT_EQ(rows, (Bytes{7, 7, 7, 7, 7, 1, 2, 3}));
  EXPECT_EQ(pos, data.size());
  // A new sequence forgets what was carried.
  d.DecodeInit();
  EXPECT_EQ(RunDecoder(d, {0x00, 9}, 2, 2).out, (Bytes{9, 0}));
}

TEST(DecoderTarga, ShortDataStopsAndUnknownDepthsDecodeNothing) {
  TTargaRLEDecoder d(16);
  d.DecodeInit();
  // A raw packet of 100 pixels with 3 bytes present: one whole pixel is copied.
  Decoded r = RunDecoder(d, {0x63, 1, 2, 3}, 8, 4);
  EXPECT_EQ(r.out, (Bytes{1, 2, 0, 0, 0, 0, 0, 0}));
  // A run whose pixel is missing is left for the next block.
  TTargaRLEDecoder d32(32);
  d32.DecodeInit();
  r = RunDecoder(d32, {0x85, 1, 2}, 8, 2);
  EXPECT_EQ(r.consumed, 0u);
  TTargaRLEDecoder odd(12);
  EXPECT_EQ(RunDecoder(odd, {0x80, 5, 5}, 4, 2).out, Bytes(4, 0));
}

TEST(DecoderTarga, EncoderPacketsAndRoundTrip) {
  TTargaRLEDecoder d8(8);
  uint8_t out[16] = {};
  uint32_t stored = 0;
  const uint8_t same[4] = {9, 9, 9, 9};
  d8.Encode(same, out, stored, 4);
  EXPECT_EQ(stored, 2u);
  EXPECT_EQ(out[0], 0x83);
  EXPECT_EQ(out[1], 9);
  const uint8_t rising[3] = {1, 2, 3};
  d8.Encode(rising, out, stored, 3);
  EXPECT_EQ(Bytes(out, out + stored), (Bytes{0x01, 1, 2, 0x00, 3}));

  // Rows of runs and noise at every depth decode back to themselves and stay within
  // the encoder's bound.
  std::mt19937 rng(5);
  for (int depth : {8, 16, 24, 32}) {
    const int bpp = depth / 8;
    for (uint32_t width : {1u, 2u, 3u, 127u, 128u, 129u, 300u, 1000u}) {
      Bytes row(width * bpp);
      for (uint32_t x = 0; x < width; ++x)
        for (int c = 0; c < bpp; ++c) row[x * bpp + c] = (x / 7) % 3 == 0 ? uint8_t(rng() % 3) : uint8_t(x / 40);
      TTargaRLEDecoder coder(depth);
      Bytes packed(coder.MaxEncodedSize(width));
      coder.Encode(row.data(), packed.data(), stored, width);
      ASSERT_LE(stored, packed.size());
      packed.resize(stored);
      coder.DecodeInit();
      Decoded back = RunDecoder(coder, packed, row.size(), int32_t(width));
      EXPECT_EQ(back.out, row) << "depth " << depth << " width " << width;
      EXPECT_EQ(back.consumed, stored);
    }
  }
}

TEST(DecoderPackBits, ControlBytesAndBounds) {
  TPackbitsRLEDecoder d;
  EXPECT_EQ(RunBytes(d, {0x80, 0x00, 7, 0xFF, 8}, 3), (Bytes{7, 8, 8}));
  // A repeat whose byte is missing, a copy longer than the data, a repeat longer than the target.
  EXPECT_EQ(RunBytes(d, {0x01, 5, 6, 0xFD}, 4), (Bytes{5, 6, 0, 0}));
  EXPECT_EQ(RunBytes(d, {0x7F, 1, 2}, 5), (Bytes{1, 2, 0, 0, 0}));
  EXPECT_EQ(RunBytes(d, {0x81, 4}, 3), (Bytes{4, 4, 4}));
}

TEST(DecoderPackBits, StripsWrittenByImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  // A grey picture of runs and noise, 97 pixels wide, 7 rows per strip.
  const int w = 97, h = 40;
  std::string pgm = "P5\n97 40\n255\n";
  std::mt19937 rng(11);
  Bytes pixels;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) pixels.push_back(x < 50 ? uint8_t(y * 5) : uint8_t(rng()));
  pgm.append(pixels.begin(), pixels.end());
  const std::string in = testsupport::TempPath("in.pgm"), out = testsupport::TempPath("pb.tif");
  testsupport::WriteFile(in, pgm);
  ASSERT_EQ(testsupport::Run({"convert", in, "-compress", "RLE", "-define", "tiff:rows-per-strip=7", out}).exitCode, 0);
  TiffStrips tiff = ReadTiffStrips(testsupport::ReadFile(out));
  ASSERT_EQ(tiff.Tag(259), 32773u);
  Bytes decoded;
  for (size_t i = 0; i < tiff.strips.size(); ++i) {
    const size_t rows = std::min<size_t>(7, h - 7 * i);
    TPackbitsRLEDecoder d;
    Bytes strip = RunBytes(d, ToBytes(tiff.strips[i]), rows * w);
    decoded.insert(decoded.end(), strip.begin(), strip.end());
  }
  EXPECT_EQ(decoded, pixels);
}

TEST(DecoderSmallRunLengths, PcxSgiCutPspRla) {
  TPCXRLEDecoder pcx;
  EXPECT_EQ(RunBytes(pcx, {0xC0, 9, 0xC3, 4, 5}, 4), (Bytes{4, 4, 4, 5}));
  EXPECT_EQ(RunBytes(pcx, {0xFF, 1}, 3), (Bytes{1, 1, 1}));
  EXPECT_EQ(RunBytes(pcx, {0xC5}, 3), (Bytes{0, 0, 0}));

  TSGIRLEDecoder sgi8(8);
  EXPECT_EQ(RunBytes(sgi8, {0x85, 1, 2, 3, 4, 5, 0x05, 9, 0x00, 0x81, 7}, 12),
            (Bytes{1, 2, 3, 4, 5, 9, 9, 9, 9, 9, 0, 0}));
  EXPECT_EQ(RunBytes(sgi8, {0x7F, 3, 0x85, 1}, 4), (Bytes{3, 3, 3, 3}));
  EXPECT_EQ(RunBytes(sgi8, {0x85, 1, 2}, 4), (Bytes{1, 2, 0, 0}));
  TSGIRLEDecoder sgi16(16);
  EXPECT_EQ(RunBytes(sgi16, {0x00, 0x82, 1, 2, 3, 4, 0x00, 0x02, 5, 6, 0, 0}, 10),
            (Bytes{1, 2, 3, 4, 5, 6, 5, 6, 0, 0}));
  EXPECT_EQ(RunBytes(sgi16, {0x00, 0x7F, 1, 2}, 5), (Bytes{1, 2, 1, 2, 0}));

  TCUTRLEDecoder cut;
  Decoded r = RunDecoder(cut, {6, 0, 0x83, 7, 0x02, 1, 2, 0x00, 0x99}, 5, 5);
  EXPECT_EQ(r.out, (Bytes{7, 7, 7, 1, 2}));
  EXPECT_EQ(r.consumed, 8u);
  r = RunDecoder(cut, {6, 0, 0x05, 1, 2}, 5, 5);
  EXPECT_EQ(r.out, (Bytes{1, 2, 0, 0, 0}));
  EXPECT_EQ(r.consumed, 5u);

  TPSPRLEDecoder psp;
  EXPECT_EQ(RunBytes(psp, {0x02, 1, 2, 0x83, 5, 0x84, 6}, 6), (Bytes{1, 2, 5, 5, 5, 6}));
  EXPECT_EQ(RunBytes(psp, {0x10, 1}, 3), (Bytes{1, 0, 0}));

  TRLADecoder rla;
  EXPECT_EQ(RunBytes(rla, {0x02, 4, 0xFE, 1, 2, 0x7F, 3}, 7), (Bytes{4, 4, 4, 1, 2, 3, 3}));
  EXPECT_EQ(RunBytes(rla, {0x80, 1}, 3), (Bytes{1, 0, 0}));
}

TEST(DecoderHostile, RandomDataStaysWithinBothBlocks) {
  // Every decoder over random blocks: AddressSanitizer checks the bounds, the loop
  // checks that each call ends.
  std::mt19937 rng(1234);
  for (int round = 0; round < 300; ++round) {
    Bytes packed(rng() % 300);
    for (uint8_t& b : packed) b = uint8_t(rng());
    const size_t unpacked = rng() % 200;
    std::vector<std::unique_ptr<TDecoder>> decoders;
    decoders.push_back(std::make_unique<TPackbitsRLEDecoder>());
    decoders.push_back(std::make_unique<TPCXRLEDecoder>());
    decoders.push_back(std::make_unique<TSGIRLEDecoder>(8));
    decoders.push_back(std::make_unique<TSGIRLEDecoder>(16));
    decoders.push_back(std::make_unique<TCUTRLEDecoder>());
    decoders.push_back(std::make_unique<TPSPRLEDecoder>());
    decoders.push_back(std::make_unique<TRLADecoder>());
    decoders.push_back(std::make_unique<TTIFFLZWDecoder>());
    decoders.push_back(std::make_unique<TGIFLZWDecoder>(uint8_t(2 + rng() % 7)));
    decoders.push_back(std::make_unique<TThunderDecoder>(uint32_t(1 + rng() % 40)));
    for (auto& d : decoders) {
      Decoded r = RunDecoder(*d, packed, unpacked, int32_t(unpacked));
      EXPECT_LE(r.consumed, packed.size());
    }
    for (int depth : {8, 16, 24, 32}) {
      TTargaRLEDecoder targa(depth);
      targa.DecodeInit();
      const size_t pixels = unpacked / 4;
      Decoded r = RunDecoder(targa, packed, pixels * size_t(depth / 8), int32_t(pixels));
      EXPECT_LE(r.consumed, packed.size());
    }
  }
}
