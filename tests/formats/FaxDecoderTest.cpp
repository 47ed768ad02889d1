// The CCITT fax decoders on hand-written bit strings: codes and make-up sums, fill
// order 2, word alignment, end-of-line synchronisation, and the bounds hostile data
// must not break. Whole files are decoded in the TIFF tests, checked against tiff2rgba.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/GraphicCompression_Fax.h"

namespace {

const std::string kEOL = "000000000001";

// Packs '0' and '1' (other characters ignored) into bytes, most significant bit first.
std::vector<uint8_t> Bits(const std::string& text) {
  std::vector<uint8_t> bytes;
  int n = 0;
  for (char c : text) {
    if (c != '0' && c != '1') continue;
    if (n % 8 == 0) bytes.push_back(0);
    if (c == '1') bytes.back() |= uint8_t(0x80 >> (n % 8));
    ++n;
  }
  return bytes;
}

// Decodes into `rows` rows followed by guard bytes that must stay untouched; the
// target starts dirty to show that it is cleared. Returns the rows as '0'/'1' text.
std::vector<std::string> Decode(TDecoder& decoder, const std::vector<uint8_t>& packed, uint32_t width, uint32_t rows) {
  const size_t rowBytes = (width + 7) / 8, size = rowBytes * rows;
  std::vector<uint8_t> target(size + 16, 0xA5);
  const void* src = packed.data();
  void* dst = target.data();
  decoder.Decode(src, dst, int32_t(packed.size()), int32_t(size));
  EXPECT_TRUE(src == packed.data() && dst == target.data()) << "pointers advanced";
  for (size_t i = size; i < target.size(); ++i) EXPECT_EQ(target[i], 0xA5) << "guard byte " << i - size << " written";
  std::vector<std::string> out(rows);
  for (uint32_t r = 0; r < rows; ++r)
    for (uint32_t x = 0; x < width; ++x) out[r] += (target[r * rowBytes + x / 8] >> (7 - x % 8)) & 1 ? '1' : '0';
  return out;
}

using Rows = std::vector<std::string>;

TEST(FaxDecoders, CodesMakeUpSumsAndRowBoundaries) {
  // White 0 then black 3 at width 3: 111. White make-up 64 + 2, then black 4.
  TCCITTMHDecoder narrow(0, false, false, 3);
  EXPECT_EQ(Decode(narrow, Bits("00110101 10"), 3, 1), Rows{"111"});
  TCCITTMHDecoder wide(0, false, false, 70);
  EXPECT_EQ(Decode(wide, Bits("11011 0111 011"), 70, 1), Rows{std::string(66, '0') + "1111"});
  // Black make-up 64 + 1 and white 1728 + 7 fill a row of 1800; the next row, on the
  // next byte, is the shared extended make-up 1792 + white 8.
  TCCITTMHDecoder extended(0, false, false, 1800);
  EXPECT_EQ(Decode(extended, Bits("00110101 0000001111 010 010011011 1111 000000 00000001000 10011"), 1800, 2),
            (Rows{std::string(65, '1') + std::string(1735, '0'), std::string(1800, '0')}));
  // Width 5 (white 3, black 2): the rest of each row's byte is skipped; word aligned,
  // each row starts at an even byte offset.
  TCCITTMHDecoder bytes(0, false, false, 5);
  EXPECT_EQ(Decode(bytes, Bits("1000 11 10 1000 11 00"), 5, 2), (Rows{"00011", "00011"}));
  TCCITTMHDecoder words(0, false, true, 8);
  EXPECT_EQ(Decode(words, Bits("1000 0011 11111111 0111 0010"), 8, 2), (Rows{"00011111", "00111111"}));
  // Fill order 2: the packed byte 0xC1 is read as 0x83 (white 3, black 5), and the
  // caller's bytes stay as they were.
  TCCITTMHDecoder swapped(0, true, false, 8);
  const std::vector<uint8_t> reversed{0xC1};
  EXPECT_EQ(Decode(swapped, reversed, 8, 1), Rows{"00011111"});
  EXPECT_EQ(reversed[0], 0xC1);
}

TEST(FaxDecoders, Group3RowsFollowEndOfLineCodes) {
  // Fill bits before an EOL are skipped; a row cut short by an EOL stays white to its
  // end and the next row starts at its own place; a bad code ends its row.
  TCCITTFax3Decoder d(4, false, false, 16);
  EXPECT_EQ(d.Options(), 4u);
  const std::string full = "0111 0010 10011";  // white 2, black 6, white 8
  EXPECT_EQ(
      Decode(d, Bits(kEOL + full + "0000000" + kEOL + "1000 0011" + kEOL + "1000 000000001 0101" + kEOL + full), 16, 4),
      (Rows{"0011111100000000", "0001111100000000", "0000000000000000", "0011111100000000"}));
}

TEST(FaxDecoders, HostileDataStaysInsideBothBlocks) {
  // Twenty black make-up runs of 2560 in a row of 16: the run stops at the row's end.
  std::string longRun = "00110101";
  for (int i = 0; i < 20; ++i) longRun += "000000011111";
  TCCITTMHDecoder mh(0, false, false, 16);
  EXPECT_EQ(Decode(mh, Bits(longRun + "0000110111"), 16, 1), Rows{std::string(16, '1')});
  // More coded rows than the target holds.
  std::string many, manyG3;
  for (int i = 0; i < 50; ++i) many += "1000 0011", manyG3 += kEOL + "1000 0011";
  TCCITTMHDecoder mh8(0, false, false, 8);
  EXPECT_EQ(Decode(mh8, Bits(many), 8, 3), Rows(3, "00011111"));
  TCCITTFax3Decoder g3(0, false, false, 8);
  EXPECT_EQ(Decode(g3, Bits(manyG3), 8, 3), Rows(3, "00011111"));
  // No EOL anywhere, or nothing at all: decoding ends with the target white.
  for (uint8_t fill : {0x00, 0xFF, 0x55}) {
    const std::vector<uint8_t> packed(4096, fill);
    TCCITTFax3Decoder noEOL(0, false, false, 100);
    EXPECT_EQ(Decode(noEOL, packed, 100, 4), Rows(4, std::string(100, '0')));
    TCCITTMHDecoder words(0, false, true, 100);
    Decode(words, packed, 100, 4);
  }
  TCCITTFax3Decoder empty(0, false, false, 10);
  EXPECT_EQ(Decode(empty, {}, 10, 1), Rows{std::string(10, '0')});
  // A target smaller than one row is only cleared; a width of 0 takes nothing.
  TCCITTMHDecoder tooSmall(0, false, false, 64);
  std::vector<uint8_t> target(12, 0xA5);
  const std::vector<uint8_t> packed = Bits("10011 10");
  const void* src = packed.data();
  void* dst = target.data();
  tooSmall.Decode(src, dst, int32_t(packed.size()), 4);
  EXPECT_EQ(target, (std::vector<uint8_t>{0, 0, 0, 0, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5}));
  TCCITTFax3Decoder zero(0, false, false, 0);
  Decode(zero, Bits(kEOL + "1000"), 0, 0);
}

}  // namespace
