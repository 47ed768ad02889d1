// The LZW decoder of GIF image data. It keeps the classic table of prefixes and
// suffixes and a stack for the string of one code; the table stops growing at 4096
// entries (a full table waits for the next clear code, as GIF allows), and the walk
// through a string is bounded by the stack, so damaged tables end with an error
// instead of running away. Strings never reach past the frame: the output stops at
// its last pixel.
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
  int Decode() {
    int code = NextCode(codeSize_);
    if (code < 0) return code;
    if (code == clearCode_) {
      for (int i = 0; i < clearCode_; ++i) {
        prefix_[i] = 0;
        suffix_[i] = uint16_t(i);
      }
      std::fill(prefix_ + clearCode_, prefix_ + kTableSize, uint16_t(0));
      std::fill(suffix_ + clearCode_, suffix_ + kTableSize, uint16_t(0));
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
    if (nextCode_ < kTableSize) {
      prefix_[nextCode_] = uint16_t(oldCode_);
      suffix_[nextCode_] = uint16_t(firstCode_);
      ++nextCode_;
      if (nextCode_ >= maxCode_ && maxCode_ < kTableSize) {
        maxCode_ *= 2;
        ++codeSize_;
      }
    }
    oldCode_ = inCode;
    return sp_;
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
        acc_ |= uint32_t(block_[blockPos_++]) << bits_;
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
  uint16_t stack_[kStackSize];
  int sp_ = 0;
  uint8_t block_[256];
  int blockPos_ = 0, blockLen_ = 0;
  int64_t left_ = 0;  // bytes of the stream after its position
  uint32_t acc_ = 0;
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
      RowWalk rows(height, interlaced);
      uint16_t* const stack = reader->Stack();
      int& sp = reader->StackPointer();
      uint8_t* out = pixels + size_t(rows.Row()) * size_t(width);
      int left = width;  // pixels still to fill in the current row
      bool more = true;
      while (more) {
        if (sp == 0 && reader->Decode() < 0) break;
        // The stack holds the string in reverse; it goes out as far as the row reaches.
        int n = std::min(sp, left);
        for (int i = 0; i < n; ++i) out[i] = uint8_t(stack[--sp]);
        out += n;
        left -= n;
        if (left == 0) {
          more = rows.Next();
          if (more) {
            out = pixels + size_t(rows.Row()) * size_t(width);
            left = width;
          }
        }
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
