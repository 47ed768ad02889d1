// The LZW decoder of GIF image data. It keeps the classic table of prefixes and
// suffixes and a stack for the string of one code; the table stops growing at 4096
// entries (a full table waits for the next clear code, as GIF allows), and the walk
// through a string is bounded by the stack, so damaged tables end with an error
// instead of running away. Strings never reach past the frame: the output stops at
// its last pixel.
//
// The table also keeps the length of every entry's string and where in the frame it
// was written last, so that a string that fits is copied from there (or, in interlaced
// frames, whose rows are not written in order, written back to front from the table)
// without the stack; entries whose chain is not a well-formed string (damaged data)
// have no length and go the careful way through the stack, with the same result.
#include <algorithm>
#include <cstring>

#include "formats/GIFImage_Codec.h"
#include "formats/GraphicStrings.h"

namespace GifCodec {

[[noreturn]] void Error(const char* message) { throw GIFException(GraphicText(message)); }
std::string Text(const char* message) { return GraphicText(message); }

namespace {

constexpr int kTableSize = 4096;
constexpr int kStackSize = 8192;

class LzwReader {
 public:
  LzwReader(TStream& stream, const TWarningSink& warning) : stream_(stream), warning_(warning) {}

  // Reads the code size byte; false when the stream holds none.
  bool Start() {
    left_ = std::max<int64_t>(stream_.Size() - stream_.Position(), 0);
    uint8_t size;
    if (!ReadByte(size)) return false;
    initCodeSize_ = size;
    // The clear code and the roots must fit the 4096-entry table.
    if (initCodeSize_ > 11) Error(gsGIFCodeSize);
    clearCode_ = 1 << initCodeSize_;
    endCode_ = clearCode_ + 1;
    codeSize_ = initCodeSize_ + 1;
    maxCode_ = 2 * clearCode_;
    nextCode_ = clearCode_ + 2;
    return true;
  }

  // Decodes the next code onto the stack. Returns the number of values on the stack,
  // or a negative value when the data ends (-1) or the end code came (-2).
  int Decode() { return Decode(NextCode(codeSize_)); }

  // The same for a code read already.
  int Decode(int code) {
    if (code < 0) return code;
    if (code == clearCode_) {
      for (int i = 0; i < clearCode_; ++i) {
        prefix_[i] = 0;
        suffix_[i] = uint16_t(i);
        length_[i] = 1;
      }
      std::fill(prefix_ + clearCode_, prefix_ + kTableSize, uint16_t(0));
      std::fill(suffix_ + clearCode_, suffix_ + kTableSize, uint16_t(0));
      std::fill(length_ + clearCode_, length_ + kTableSize, uint16_t(0));
      codeSize_ = initCodeSize_ + 1;
      maxCode_ = 2 * clearCode_;
      nextCode_ = clearCode_ + 2;
      sp_ = 0;
      do {
        code = NextCode(codeSize_);
      } while (code == clearCode_);
      if (code < 0) return code;
      if (code == endCode_) return EndOfData();
      firstCode_ = oldCode_ = code;
      oldStart_ = position_;
      stack_[sp_++] = uint16_t(code);
      return sp_;
    }
    if (code == endCode_) return EndOfData();
    const int inCode = code;
    if (code >= nextCode_) {
      // The string being defined: the previous string and its own first value.
      stack_[sp_++] = uint16_t(firstCode_);
      code = oldCode_;
    }
    while (code >= clearCode_) {
      // A string is never longer than the table; a longer walk runs in a circle.
      if (prefix_[code] == code || sp_ >= kStackSize - 1) Error(gsGIFCircularTable);
      stack_[sp_++] = suffix_[code];
      code = prefix_[code];
    }
    firstCode_ = suffix_[code];
    stack_[sp_++] = uint16_t(firstCode_);
    AddEntry();
    oldCode_ = inCode;
    oldStart_ = position_;
    return sp_;
  }

  // Where in the frame the string of the next Decode goes (frames written in order).
  void SetPosition(uint32_t position) { position_ = position; }

  // Decodes codes into out for as long as they are well-formed strings that fit in room
  // and the current sub-block holds their bits; returns how many values were written,
  // the rest is left to Decode. InOrder: the frame's strings are written one after the
  // other from base, and each is copied from where it was written before; otherwise
  // (interlaced rows) each is written back to front from the table. The state lives in
  // locals here: the frame's bytes may alias anything.
  template <bool InOrder>
  int DecodeRun(uint8_t* base, uint8_t* out, int room) {
    if (fresh_) return 0;
    uint64_t acc = acc_;
    int bits = bits_, pos = blockPos_;
    const int blockLength = blockLen_, clear = clearCode_;
    int codeSize = codeSize_, nextCode = nextCode_, maxCode = maxCode_, oldCode = oldCode_;
    uint32_t oldStart = oldStart_;
    uint8_t first = uint8_t(firstCode_);
    bool changed = false;
    int written = 0;
    while (written < room) {
      if (bits < codeSize) {
        if (blockLength - pos >= 8) {
          uint64_t eight;
          std::memcpy(&eight, block_ + pos, 8);
          acc |= eight << bits;
          const int taken = (63 - bits) >> 3;
          pos += taken;
          bits += taken * 8;
        } else {
          while (bits <= 56 && pos < blockLength) {
            acc |= uint64_t(block_[pos++]) << bits;
            bits += 8;
          }
          if (bits < codeSize) break;
        }
      }
      const int code = int(acc & ((1u << codeSize) - 1));
      uint8_t* const o = out + written;
      const int left = room - written;
      int length;
      int from;  // the code whose string is written
      if (code < nextCode) {
        length = length_[code];
        if (length == 0 || length > left) break;
        from = code;
      } else if (code == nextCode && oldCode < nextCode && length_[oldCode] != 0) {
        // The string being defined: the previous string and its own first value.
        length = length_[oldCode] + 1;
        if (length > left) break;
        o[length - 1] = first;
        from = oldCode;
      } else {
        break;
      }
      if (from < clear) {
        *o = uint8_t(from);
      } else if (InOrder) {
        CopyString(o, base + start_[from], length_[from]);
      } else {
        uint8_t* p = o + length_[from] - 1;
        int c = from;
        for (; c >= clear; c = prefix_[c]) *p-- = uint8_t(suffix_[c]);
        *p = uint8_t(c);
      }
      acc >>= codeSize;
      bits -= codeSize;
      first = *o;
      AddEntry(nextCode, maxCode, codeSize, oldCode, first, oldStart);
      oldCode = code;
      oldStart = uint32_t(o - base);
      written += length;
      changed = true;
    }
    acc_ = acc;
    bits_ = bits;
    blockPos_ = pos;
    if (changed) {
      codeSize_ = codeSize;
      nextCode_ = nextCode;
      maxCode_ = maxCode;
      oldCode_ = oldCode;
      oldStart_ = oldStart;
      firstCode_ = first;
    }
    return written;
  }

  // Moves the stream past the rest of the data sub-blocks, unless the block terminator
  // (or the stream's end) has been met already.
  void SkipToTerminator() {
    while (!done_) {
      uint8_t length;
      if (!ReadByte(length) || length == 0) break;
      if (left_ <= length) {
        stream_.Seek(0, soEnd);
        left_ = 0;
        break;
      }
      stream_.Seek(length, soCurrent);
      left_ -= length;
    }
    done_ = true;
  }

  uint16_t* Stack() { return stack_; }
  int& StackPointer() { return sp_; }
  bool Finished() const { return done_; }

 private:
  bool ReadByte(uint8_t& value) {
    if (left_ <= 0 || stream_.Read(&value, 1) != 1) return false;
    --left_;
    return true;
  }

  int EndOfData() {
    SkipToTerminator();
    return -2;
  }

  // A string of a frame written in order, from where it was written before (which
  // ends before `to` begins).
  // Pieces of two, four and eight bytes, the last piece of a length that is no multiple
  // ending at its end (so overlapping the one before): nothing past the string is written.
  template <class Piece>
  static void CopyPiece(uint8_t* to, const uint8_t* from) {
    Piece piece;
    std::memcpy(&piece, from, sizeof piece);
    std::memcpy(to, &piece, sizeof piece);
  }
  static void CopyString(uint8_t* to, const uint8_t* from, int length) {
    if (length >= 8) {
      for (int at = 0; at < length - 8; at += 8) CopyPiece<uint64_t>(to + at, from + at);
      CopyPiece<uint64_t>(to + length - 8, from + length - 8);
    } else if (length >= 4) {
      CopyPiece<uint32_t>(to, from);
      CopyPiece<uint32_t>(to + length - 4, from + length - 4);
    } else if (length >= 2) {
      CopyPiece<uint16_t>(to, from);
      CopyPiece<uint16_t>(to + length - 2, from + length - 2);
    } else if (length == 1) {
      *to = *from;
    }
  }

  // A new table entry: the previous string and the first value of the current one,
  // which follow each other in the frame.
  void AddEntry() { AddEntry(nextCode_, maxCode_, codeSize_, oldCode_, firstCode_, oldStart_); }
  void AddEntry(int& nextCode, int& maxCode, int& codeSize, int oldCode, int first, uint32_t oldStart) {
    if (nextCode >= kTableSize) return;
    prefix_[nextCode] = uint16_t(oldCode);
    suffix_[nextCode] = uint16_t(first);
    start_[nextCode] = oldStart;
    length_[nextCode] = oldCode < nextCode && length_[oldCode] != 0 ? uint16_t(length_[oldCode] + 1) : 0;
    ++nextCode;
    if (nextCode >= maxCode && maxCode < kTableSize) {
      maxCode *= 2;
      ++codeSize;
    }
  }

  // Takes bytes of the current sub-block into the bit buffer until it holds size bits;
  // false when the sub-block ends first (the next one is read by NextCode only).
  bool Fill(int size) {
    if (fresh_) return false;
    while (bits_ <= 56 && blockPos_ < blockLen_) {
      acc_ |= uint64_t(block_[blockPos_++]) << bits_;
      bits_ += 8;
    }
    return bits_ >= size;
  }

  // The next code of size bits, least significant bit first, across sub-blocks; -1 when
  // the data has ended. The first request gives a clear code without reading, so data
  // that does not start with one decodes all the same.
  int NextCode(int size) {
    if (fresh_) {
      fresh_ = false;
      return clearCode_;
    }
    while (bits_ < size) {
      if (blockPos_ < blockLen_) {
        acc_ |= uint64_t(block_[blockPos_++]) << bits_;
        bits_ += 8;
        continue;
      }
      if (done_) {
        if (warning_) warning_(Text(gsGIFBitBufferUnderrun));
        return -1;
      }
      uint8_t length;
      if (!ReadByte(length)) {
        done_ = true;
        return -1;
      }
      if (length == 0) {
        done_ = true;
        continue;
      }
      if (int64_t(length) > left_) {
        if (warning_) warning_(Text(gsGIFPrematureEOF));
        length = uint8_t(left_);
      }
      blockLen_ = length > 0 ? int(stream_.Read(block_, length)) : 0;
      left_ -= blockLen_;
      blockPos_ = 0;
      if (blockLen_ < int(length) || length == 0) done_ = true;
    }
    const int code = int(acc_ & ((1u << size) - 1));
    acc_ >>= size;
    bits_ -= size;
    return code;
  }

  TStream& stream_;
  const TWarningSink& warning_;
  uint16_t prefix_[kTableSize] = {};
  uint16_t suffix_[kTableSize] = {};
  uint16_t length_[kTableSize] = {};  // 0: not a well-formed string
  uint32_t start_[kTableSize];         // where the string begins in a frame written in order
  uint32_t position_ = 0, oldStart_ = 0;
  uint16_t stack_[kStackSize];
  int sp_ = 0;
  uint8_t block_[256 + 8];  // room for reading eight bytes at a time
  int blockPos_ = 0, blockLen_ = 0;
  int64_t left_ = 0;  // bytes of the stream after its position
  uint64_t acc_ = 0;
  int bits_ = 0;
  bool done_ = false, fresh_ = true;
  int initCodeSize_ = 0, codeSize_ = 0, clearCode_ = 0, endCode_ = 0;
  int nextCode_ = 0, maxCode_ = 0, firstCode_ = 0, oldCode_ = 0;
};

// The rows of a frame in the order the data fills them.
class RowWalk {
 public:
  RowWalk(int height, bool interlaced) : height_(height), interlaced_(interlaced), step_(interlaced ? 8 : 1) {}
  int Row() const { return row_; }
  // False when every row has been visited.
  bool Next() {
    row_ += step_;
    if (!interlaced_) return row_ < height_;
    while (row_ >= height_) {
      if (pass_ > 0) step_ /= 2;
      ++pass_;
      if (pass_ > 3) return false;
      row_ = step_ / 2;
    }
    return true;
  }

 private:
  int height_;
  bool interlaced_;
  int step_, pass_ = 0, row_ = 0;
};

}  // namespace

void DecodeGIFImageData(TStream& stream, uint8_t* pixels, int width, int height, bool interlaced,
                        const TWarningSink& warning) {
  auto reader = std::make_unique<LzwReader>(stream, warning);
  if (!reader->Start()) return;
  std::exception_ptr failure;
  try {
    if (width > 0 && height > 0) {
      // The rows of a frame that is not interlaced follow each other: they are filled
      // as one.
      const int rowLength = interlaced ? width : width * height;
      RowWalk rows(interlaced ? height : 1, interlaced);
      uint16_t* const stack = reader->Stack();
      int& sp = reader->StackPointer();
      uint8_t* out = pixels + size_t(rows.Row()) * size_t(rowLength);
      int left = rowLength;  // pixels still to fill in the current row
      bool more = true;
      auto nextRow = [&] {
        more = rows.Next();
        if (more) {
          out = pixels + size_t(rows.Row()) * size_t(rowLength);
          left = rowLength;
        }
      };
      while (more) {
        if (sp == 0) {
          const int written =
              interlaced ? reader->DecodeRun<false>(pixels, out, left) : reader->DecodeRun<true>(pixels, out, left);
          out += written;
          left -= written;
          if (left == 0) {
            nextRow();
            continue;
          }
          reader->SetPosition(uint32_t(out - pixels));
          if (reader->Decode() < 0) break;
        }
        // The stack holds the string in reverse; it goes out as far as the row reaches.
        int n = std::min(sp, left);
        for (int i = 0; i < n; ++i) out[i] = uint8_t(stack[--sp]);
        out += n;
        left -= n;
        if (left == 0) nextRow();
      }
    }
  } catch (...) {
    failure = std::current_exception();
  }
  // One more code: for well-formed data the end code, which skips what is left of the
  // data. Whatever else follows the last pixel is skipped too.
  if (!failure && reader->StackPointer() == 0 && !reader->Finished()) {
    try {
      reader->Decode();
    } catch (...) {
    }
  }
  reader->SkipToTerminator();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace GifCodec
