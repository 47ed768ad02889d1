#pragma once
// The bilevel fax decompressors of the TIFF reader, members of the decoder family:
// TCCITTMHDecoder for Modified Huffman data (one-dimensional CCITT T.4 coding
// without end-of-line codes, each row starting on a byte boundary, or on a 16-bit
// boundary when word aligned) and TCCITTFax3Decoder for one-dimensional T.4 data
// with end-of-line codes. Two-dimensional coding is not decoded.
//
// Decode writes whole rows of (Width + 7) / 8 bytes, white pixels as 0 bits and
// black pixels as 1 bits, most significant bit first. The target (unpackedSize
// bytes) is cleared first, so what the data does not reach stays white. Runs are
// cut at the end of their row, decoding stops at the end of either block, and
// neither source nor dest is advanced. Bad codes end the row; nothing is raised.
#include <cstdint>

#include "formats/GraphicCompression.h"

// The byte values with their bits in reverse order (TIFF fill order 2).
const uint8_t* BitReversalTable();

class TCCITTDecoder : public TDecoder {
 public:
  // options: the TIFF T4 options, kept for the caller; swapBits: the packed bytes
  // hold their first bit in the least significant place (TIFF fill order 2).
  TCCITTDecoder(uint32_t options, bool swapBits, bool wordAligned, uint32_t width);
  void Encode(const void*, void*, uint32_t&, uint32_t) override {}

  uint32_t Options() const { return options_; }
  bool SwapBits() const { return swapBits_; }
  bool WordAligned() const { return wordAligned_; }
  uint32_t Width() const { return width_; }

 protected:
  // Results of ReadRun besides run lengths.
  static constexpr int32_t kEndOfLine = -1;
  static constexpr int32_t kInvalidCode = -2;
  static constexpr int32_t kEndOfData = -3;

  // Sets up the bit reader and the target for one Decode call and clears the target.
  void Begin(const void* source, int32_t packedSize, void* dest, int32_t unpackedSize);
  // The next bit of the packed data, or -1 when none is left.
  int NextBit();
  bool DataLeft() const { return bitsLeft_ > 0 || packed_ < packedEnd_; }
  // Reads one run of the current colour: make-up codes add up until a terminating
  // code ends the run. Returns the length, kEndOfLine, kInvalidCode, or kEndOfData
  // when the data ends before any pixel was counted.
  int32_t ReadRun();
  // Writes a run of the current colour, cut at the end of the row. True when the
  // row is complete.
  bool WriteRun(int32_t count);
  // Moves to the next row (whatever part of the current one was written).
  void EndRow();
  // Whether a whole row still fits into the target.
  bool RowFits() const { return rowBytes_ > 0 && rowBytes_ <= size_t(targetEnd_ - row_); }
  // Drops the unread bits of the current packed byte and, when word aligned, moves
  // on to an even offset from the start of the packed block.
  void AlignPacked();

  bool isWhite_ = true;

 private:
  uint32_t options_;
  bool swapBits_;
  bool wordAligned_;
  uint32_t width_;
  size_t rowBytes_;
  const uint8_t* reverse_;

  // Bit reader.
  const uint8_t* packedStart_ = nullptr;
  const uint8_t* packed_ = nullptr;
  const uint8_t* packedEnd_ = nullptr;
  uint8_t current_ = 0;
  int bitsLeft_ = 0;

  // Target.
  uint8_t* row_ = nullptr;
  uint8_t* targetEnd_ = nullptr;
  uint32_t column_ = 0;
};

// Modified Huffman (TIFF compressions 2 and 32771).
class TCCITTMHDecoder : public TCCITTDecoder {
 public:
  using TCCITTDecoder::TCCITTDecoder;
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;
};

// Group 3 one-dimensional coding with end-of-line codes (TIFF compression 3).
// Each row follows an end-of-line code; fill bits before it are skipped.
class TCCITTFax3Decoder : public TCCITTDecoder {
 public:
  using TCCITTDecoder::TCCITTDecoder;
  void Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) override;

 private:
  // Skips to the bit after the next end-of-line code; false when the data ends first.
  bool SynchronizeOnEOL();
};
