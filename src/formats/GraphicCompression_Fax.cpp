// The CCITT fax decoders: code trees built from the T.4 run-length code tables,
// the Modified Huffman decoder and the Group 3 one-dimensional decoder.
#include "formats/GraphicCompression_Fax.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// T.4 terminating codes, run lengths 0..63.
const char* const kWhiteTerminating[64] = {
    "00110101", "000111",   "0111",     "1000",     "1011",     "1100",     "1110",     "1111",
    "10011",    "10100",    "00111",    "01000",    "001000",   "000011",   "110100",   "110101",
    "101010",   "101011",   "0100111",  "0001100",  "0001000",  "0010111",  "0000011",  "0000100",
    "0101000",  "0101011",  "0010011",  "0100100",  "0011000",  "00000010", "00000011", "00011010",
    "00011011", "00010010", "00010011", "00010100", "00010101", "00010110", "00010111", "00101000",
    "00101001", "00101010", "00101011", "00101100", "00101101", "00000100", "00000101", "00001010",
    "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101", "01011000",
    "01011001", "01011010", "01011011", "01001010", "01001011", "00110010", "00110011", "00110100",
};

const char* const kBlackTerminating[64] = {
    "0000110111",   "010",          "11",           "10",           "011",          "0011",         "0010",
    "00011",        "000101",       "000100",       "0000100",      "0000101",      "0000111",      "00000100",
    "00000111",     "000011000",    "0000010111",   "0000011000",   "0000001000",   "00001100111",  "00001101000",
    "00001101100",  "00000110111",  "00000101000",  "00000010111",  "00000011000",  "000011001010", "000011001011",
    "000011001100", "000011001101", "000001101000", "000001101001", "000001101010", "000001101011", "000011010010",
    "000011010011", "000011010100", "000011010101", "000011010110", "000011010111", "000001101100", "000001101101",
    "000011011010", "000011011011", "000001010100", "000001010101", "000001010110", "000001010111", "000001100100",
    "000001100101", "000001010010", "000001010011", "000000100100", "000000110111", "000000111000", "000000100111",
    "000000101000", "000001011000", "000001011001", "000000101011", "000000101100", "000001011010", "000001100110",
    "000001100111",
};

// Make-up codes for 64, 128, ... 1728, then the extended make-up codes for
// 1792 ... 2560 that both colours share.
const char* const kWhiteMakeUp[27] = {
    "11011",     "10010",     "010111",    "0110111",   "00110110",  "00110111",  "01100100",  "01100101",  "01101000",
    "01100111",  "011001100", "011001101", "011010010", "011010011", "011010100", "011010101", "011010110", "011010111",
    "011011000", "011011001", "011011010", "011011011", "010011000", "010011001", "010011010", "011000",    "010011011",
};

const char* const kBlackMakeUp[27] = {
    "0000001111",    "000011001000",  "000011001001",  "000001011011",  "000000110011",  "000000110100",
    "000000110101",  "0000001101100", "0000001101101", "0000001001010", "0000001001011", "0000001001100",
    "0000001001101", "0000001110010", "0000001110011", "0000001110100", "0000001110101", "0000001110110",
    "0000001110111", "0000001010010", "0000001010011", "0000001010100", "0000001010101", "0000001011010",
    "0000001011011", "0000001100100", "0000001100101",
};

const char* const kExtendedMakeUp[13] = {
    "00000001000",  "00000001100",  "00000001101",  "000000010010", "000000010011", "000000010100", "000000010101",
    "000000010110", "000000010111", "000000011100", "000000011101", "000000011110", "000000011111",
};

constexpr int32_t kEOLValue = -1;
constexpr int32_t kInvalidValue = -2;

// A code tree: one node per code bit; index 0 is the root, a branch of 0 means no
// child. A node without children is a leaf holding its code's value; inner nodes
// keep the invalid value, so a bit pattern that leads nowhere reads as invalid.
struct TNode {
  uint32_t branch[2] = {0, 0};
  int32_t value = kInvalidValue;
};

class TCodeTree {
 public:
  explicit TCodeTree(bool white) {
    nodes_.emplace_back();
    const char* const* terminating = white ? kWhiteTerminating : kBlackTerminating;
    const char* const* makeUp = white ? kWhiteMakeUp : kBlackMakeUp;
    for (int32_t i = 0; i < 64; ++i) Add(terminating[i], i);
    for (int32_t i = 0; i < 27; ++i) Add(makeUp[i], (i + 1) * 64);
    for (int32_t i = 0; i < 13; ++i) Add(kExtendedMakeUp[i], (i + 28) * 64);
    Add("000000000001", kEOLValue);
    for (const char* code : {"000000001", "0000000001", "00000000001", "000000000000"}) Add(code, kInvalidValue);
  }
  const TNode* Nodes() const { return nodes_.data(); }

 private:
  void Add(const char* code, int32_t value) {
    uint32_t node = 0;
    for (const char* c = code; *c; ++c) {
      const int bit = *c - '0';
      if (nodes_[node].branch[bit] == 0) {
        nodes_[node].branch[bit] = uint32_t(nodes_.size());
        nodes_.emplace_back();
      }
      node = nodes_[node].branch[bit];
    }
    nodes_[node].value = value;
  }
  std::vector<TNode> nodes_;
};

const TNode* WhiteTree() {
  static const TCodeTree tree(true);
  return tree.Nodes();
}

const TNode* BlackTree() {
  static const TCodeTree tree(false);
  return tree.Nodes();
}

// Run sums are kept below this, whatever the data repeats.
constexpr int32_t kMaxRunSum = 1 << 30;

}  // namespace

const uint8_t* BitReversalTable() {
  struct TTable {
    uint8_t v[256];
    TTable() {
      for (int i = 0; i < 256; ++i) {
        uint8_t r = 0;
        for (int b = 0; b < 8; ++b)
          if (i & (1 << b)) r |= uint8_t(0x80 >> b);
        v[i] = r;
      }
    }
  };
  static const TTable table;
  return table.v;
}

// ---------------------------------------------------------------------------
// TCCITTDecoder
// ---------------------------------------------------------------------------

TCCITTDecoder::TCCITTDecoder(uint32_t options, bool swapBits, bool wordAligned, uint32_t width)
    : options_(options),
      swapBits_(swapBits),
      wordAligned_(wordAligned),
      width_(width),
      rowBytes_((size_t(width) + 7) / 8),
      reverse_(BitReversalTable()) {
  WhiteTree();
  BlackTree();
}

void TCCITTDecoder::Begin(const void* source, int32_t packedSize, void* dest, int32_t unpackedSize) {
  packedStart_ = packed_ = static_cast<const uint8_t*>(source);
  packedEnd_ = packed_ + (packed_ != nullptr && packedSize > 0 ? packedSize : 0);
  bitsLeft_ = 0;
  current_ = 0;
  row_ = static_cast<uint8_t*>(dest);
  targetEnd_ = row_ + (row_ != nullptr && unpackedSize > 0 ? unpackedSize : 0);
  if (row_ != nullptr) std::memset(row_, 0, size_t(targetEnd_ - row_));
  column_ = 0;
  isWhite_ = true;
}

int TCCITTDecoder::NextBit() {
  if (bitsLeft_ == 0) {
    if (packed_ >= packedEnd_) return -1;
    current_ = swapBits_ ? reverse_[*packed_] : *packed_;
    ++packed_;
    bitsLeft_ = 8;
  }
  --bitsLeft_;
  return (current_ >> bitsLeft_) & 1;
}

int32_t TCCITTDecoder::ReadRun() {
  const TNode* tree = isWhite_ ? WhiteTree() : BlackTree();
  int32_t sum = 0;
  bool counted = false;
  uint32_t node = 0;
  for (;;) {
    const int bit = NextBit();
    if (bit < 0) return counted ? sum : kEndOfData;
    node = tree[node].branch[bit];
    if (node == 0) return kInvalidCode;
    const TNode& n = tree[node];
    if (n.branch[0] != 0 || n.branch[1] != 0) continue;
    if (n.value < 0) return n.value;
    sum = std::min(sum + n.value, kMaxRunSum);
    counted = true;
    if (n.value < 64) return sum;
    node = 0;  // a make-up code: the terminating code follows
  }
}

bool TCCITTDecoder::WriteRun(int32_t count) {
  if (!RowFits() || count <= 0) return column_ >= width_;
  const uint32_t n = std::min<uint32_t>(uint32_t(count), width_ - column_);
  if (!isWhite_) {
    uint32_t x = column_;
    const uint32_t end = column_ + n;
    // Leading bits up to a byte boundary, whole bytes, trailing bits.
    while (x < end && (x & 7) != 0) {
      row_[x >> 3] |= uint8_t(0x80 >> (x & 7));
      ++x;
    }
    if (end - x >= 8) {
      std::memset(row_ + (x >> 3), 0xFF, (end - x) >> 3);
      x += (end - x) & ~7u;
    }
    while (x < end) {
      row_[x >> 3] |= uint8_t(0x80 >> (x & 7));
      ++x;
    }
  }
  column_ += n;
  return column_ >= width_;
}

void TCCITTDecoder::EndRow() {
  isWhite_ = false;
  if (RowFits())
    row_ += rowBytes_;
  else
    row_ = targetEnd_;
  column_ = 0;
}

void TCCITTDecoder::AlignPacked() {
  bitsLeft_ = 0;
  if (wordAligned_ && ((packed_ - packedStart_) & 1) != 0 && packed_ < packedEnd_) ++packed_;
}

// ---------------------------------------------------------------------------
// TCCITTMHDecoder
// ---------------------------------------------------------------------------

void TCCITTMHDecoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  Begin(source, packedSize, dest, unpackedSize);
  while (RowFits() && DataLeft()) {
    const int32_t run = ReadRun();
    if (run == kEndOfData) break;
    if (run > 0 && WriteRun(run)) {
      EndRow();
      AlignPacked();
    }
    isWhite_ = !isWhite_;
  }
}

// ---------------------------------------------------------------------------
// TCCITTFax3Decoder
// ---------------------------------------------------------------------------

bool TCCITTFax3Decoder::SynchronizeOnEOL() {
  int zeros = 0;
  while (zeros < 11) {
    const int bit = NextBit();
    if (bit < 0) return false;
    zeros = bit == 0 ? zeros + 1 : 0;
  }
  for (;;) {
    const int bit = NextBit();
    if (bit < 0) return false;
    if (bit == 1) return true;
  }
}

void TCCITTFax3Decoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  Begin(source, packedSize, dest, unpackedSize);
  bool afterEOL = false;
  while (RowFits()) {
    if (!afterEOL && !SynchronizeOnEOL()) break;
    afterEOL = false;
    isWhite_ = true;
    bool dataEnded = false;
    for (;;) {
      const int32_t run = ReadRun();
      if (run == kEndOfData) {
        dataEnded = true;
        break;
      }
      if (run < 0) {
        afterEOL = run == kEndOfLine;
        break;
      }
      if (WriteRun(run)) break;
      isWhite_ = !isWhite_;
    }
    EndRow();
    if (dataEnded || !DataLeft()) break;
  }
}
