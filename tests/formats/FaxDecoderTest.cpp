// The CCITT fax decoders on hand-written bit strings: the T.4 codes and their
// make-up sums, fill order 2, word alignment, end-of-line synchronisation, and the
// bounds that hostile data must not break. Whole files from libtiff's tools are
// decoded in the TIFF reader tests, checked against tiff2rgba.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/GraphicCompression_Fax.h"

namespace {

// Packs a string of '0' and '1' (spaces ignored) into bytes, most significant bit
// first, padding the last byte with zeros.
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

// The decoded rows as strings of '0' and '1', row by row, `width` pixels each.
std::vector<std::string> Rows(const std::vector<uint8_t>& target, uint32_t width) {
  std::vector<std::string> rows;
  const size_t rowBytes = (width + 7) / 8;
  if (rowBytes == 0) return rows;
  for (size_t r = 0; r + rowBytes <= target.size(); r += rowBytes) {
    std::string row;
    for (uint32_t x = 0; x < width; ++x) row += (target[r + x / 8] >> (7 - x % 8)) & 1 ? '1' : '0';
    rows.push_back(row);
  }
  return rows;
}

// Runs a decoder over packed data into `rows` rows; the target is followed by guard
// bytes that must stay untouched, and starts dirty to show that it is cleared.
std::vector<std::string> Decode(TDecoder& decoder, const std::vector<uint8_t>& packed, uint32_t width,
                                uint32_t rows) {
  const size_t size = (width + 7) / 8 * rows;
  std::vector<uint8_t> target(size + 16, 0xA5);
  const void* src = packed.data();
  void* dst = target.data();
  decoder.Decode(src, dst, int32_t(packed.size()), int32_t(size));
  EXPECT_EQ(src, packed.data()) << "source pointer advanced";
  EXPECT_EQ(dst, target.data()) << "target pointer advanced";
  for (size_t i = size; i < target.size(); ++i) EXPECT_EQ(target[i], 0xA5) << "guard byte " << i - size << " written";
  target.resize(size);
  return Rows(target, width);
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

// Appends zero bits up to the next byte boundary.
std::string PadToByte(const std::string& bits) {
  size_t n = 0;
  for (char c : bits) n += c == '0' || c == '1';
  return bits + Repeat('0', (8 - n % 8) % 8);
}

const std::string kEOL = "000000000001";

TEST(FaxMHDecoder, CodesAndMakeUpSums) {
  {
    // White run 0, black run 3 at width 3: the row is 111 (then 5 zero bits).
    TCCITTMHDecoder d(0, false, false, 3);
    const std::vector<uint8_t> packed = Bits("00110101 10");
    const size_t size = 1;
    std::vector<uint8_t> target(size, 0xFF);
    const void* src = packed.data();
    void* dst = target.data();
    d.Decode(src, dst, int32_t(packed.size()), int32_t(size));
    EXPECT_EQ(target[0], 0xE0);
  }
  {
    // White make-up 64 + terminating 2 gives 66 white pixels; black 4 completes 70.
    TCCITTMHDecoder d(0, false, false, 70);
    EXPECT_EQ(Decode(d, Bits("11011 0111 011"), 70, 1), std::vector<std::string>{Repeat('0', 66) + "1111"});
  }
  {
    // Black make-up 64 + terminating 1, then white make-up 1728 + terminating 7; the
    // next row, on the next byte, is the extended make-up 1792 + white 8.
    TCCITTMHDecoder d(0, false, false, 1800);
    const std::string row1 = PadToByte("00110101 0000001111 010 010011011 1111");
    const std::string row2 = "00000001000 10011";
    const std::vector<std::string> rows = Decode(d, Bits(row1 + row2), 1800, 2);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], Repeat('1', 65) + Repeat('0', 1735));
    EXPECT_EQ(rows[1], Repeat('0', 1800));
  }
}

TEST(FaxMHDecoder, RowsStartOnByteOrWordBoundaries) {
  // Width 8: white 3 ("1000"), black 5 ("0011") fills one byte per row exactly;
  // white 2 ("0111"), black 6 ("0010") then leave 0 bits.
  const std::string rowA = "1000 0011";
  const std::string rowB = "0111 0010";
  {
    TCCITTMHDecoder d(0, false, false, 8);
    EXPECT_EQ(Decode(d, Bits(rowA + rowB + rowA), 8, 3),
              (std::vector<std::string>{"00011111", "00111111", "00011111"}));
  }
  {
    // Width 5 (white 3, black 2 = "11"): a row takes 6 bits; the rest of its byte is dropped.
    TCCITTMHDecoder d(0, false, false, 5);
    EXPECT_EQ(Decode(d, Bits("1000 11 10 " "1000 11 00"), 5, 2), (std::vector<std::string>{"00011", "00011"}));
  }
  {
    // Word aligned: each coded row starts at an even byte offset, the odd byte is skipped.
    TCCITTMHDecoder d(0, false, true, 8);
    EXPECT_EQ(d.WordAligned(), true);
    const std::string skipped = "11111111";
    EXPECT_EQ(Decode(d, Bits(rowA + skipped + rowB + skipped), 8, 2),
              (std::vector<std::string>{"00011111", "00111111"}));
  }
}

TEST(FaxMHDecoder, FillOrderTwoReadsEachByteBackwards) {
  // With swapped bits the packed byte 0x01 reads as 0x80: "1000 0000" is white 3 then
  // the start of "0000..." ; use the complete pair white 3, black 5 reversed per byte.
  std::vector<uint8_t> packed = Bits("1000 0011");
  for (uint8_t& b : packed) {
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
      if (b & (1 << i)) r |= uint8_t(0x80 >> i);
    b = r;
  }
  ASSERT_EQ(packed[0], 0xC1);
  TCCITTMHDecoder d(0, true, false, 8);
  EXPECT_EQ(Decode(d, packed, 8, 1), std::vector<std::string>{"00011111"});
  const std::vector<uint8_t> original = packed;
  Decode(d, packed, 8, 1);
  EXPECT_EQ(packed, original) << "the caller's packed bytes must stay as they were";
}

TEST(FaxFax3Decoder, RowsFollowEndOfLineCodes) {
  const std::string rowA = "1000 0011";  // white 3, black 5
  const std::string rowB = "0111 0010";  // white 2, black 6
  {
    // Fill bits before an end-of-line code are skipped; the first row needs its EOL too.
    TCCITTFax3Decoder d(4, false, false, 8);
    EXPECT_EQ(d.Options(), 4u);
    const std::string data = kEOL + rowA + "0000000" + kEOL + rowB + kEOL + rowA;
    EXPECT_EQ(Decode(d, Bits(data), 8, 3), (std::vector<std::string>{"00011111", "00111111", "00011111"}));
  }
  {
    // A row cut short by an end-of-line code keeps the rest white, and the next row
    // starts at its own place.
    TCCITTFax3Decoder d(0, false, false, 16);
    const std::string shortRow = "1000 0011";    // 8 of 16 pixels
    const std::string row2 = "0111 0010 10011";  // white 2, black 6, white 8
    const std::vector<std::string> rows = Decode(d, Bits(kEOL + shortRow + kEOL + row2), 16, 2);
    EXPECT_EQ(rows, (std::vector<std::string>{"0001111100000000", "0011111100000000"}));
  }
  {
    // An invalid code ends its row; decoding picks up again after the next EOL.
    TCCITTFax3Decoder d(0, false, false, 8);
    const std::string bad = "000000001";  // not a run code
    const std::vector<std::string> rows = Decode(d, Bits(kEOL + "1000" + bad + "0101" + kEOL + rowB), 8, 2);
    EXPECT_EQ(rows, (std::vector<std::string>{"00000000", "00111111"}));
  }
}

TEST(FaxDecoders, HostileDataStaysInsideBothBlocks) {
  // Black make-up runs of 2560 in a row 16 pixels wide: the run is cut at the row's end.
  {
    TCCITTMHDecoder d(0, false, false, 16);
    std::string data = "00110101";  // white 0
    for (int i = 0; i < 20; ++i) data += "000000011111";  // black 2560, never terminated
    data += "0000110111";  // black 0
    const std::vector<std::string> rows = Decode(d, Bits(data), 16, 1);
    EXPECT_EQ(rows, std::vector<std::string>{Repeat('1', 16)});
  }
  // More coded rows than the target holds.
  {
    std::string data;
    for (int i = 0; i < 50; ++i) data += "1000 0011";
    TCCITTMHDecoder mh(0, false, false, 8);
    EXPECT_EQ(Decode(mh, Bits(data), 8, 3).size(), 3u);
    std::string fax3;
    for (int i = 0; i < 50; ++i) fax3 += kEOL + "1000 0011";
    TCCITTFax3Decoder g3(0, false, false, 8);
    EXPECT_EQ(Decode(g3, Bits(fax3), 8, 3), std::vector<std::string>(3, "00011111"));
  }
  // Data without any end-of-line code, all zeros, all ones, or nothing at all ends
  // decoding with a white target.
  for (const std::vector<uint8_t>& packed :
       {std::vector<uint8_t>(4096, 0x00), std::vector<uint8_t>(4096, 0xFF), std::vector<uint8_t>(4096, 0x55),
        std::vector<uint8_t>()}) {
    TCCITTFax3Decoder g3(0, false, false, 100);
    for (const std::string& row : Decode(g3, packed, 100, 4)) EXPECT_EQ(row, Repeat('0', 100));
    TCCITTMHDecoder mh(0, false, true, 100);
    Decode(mh, packed, 100, 4);
  }
  // A target smaller than one row, and width 0, write nothing.
  {
    TCCITTMHDecoder d(0, false, false, 64);
    std::vector<uint8_t> packed = Bits("10011 10");
    std::vector<uint8_t> target(4 + 8, 0xA5);
    const void* src = packed.data();
    void* dst = target.data();
    d.Decode(src, dst, int32_t(packed.size()), 4);
    for (size_t i = 4; i < target.size(); ++i) EXPECT_EQ(target[i], 0xA5);
    TCCITTFax3Decoder zero(0, false, false, 0);
    Decode(zero, Bits(kEOL + "1000"), 0, 0);
  }
}

}  // namespace
