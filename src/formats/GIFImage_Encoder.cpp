// The coders of GIF image data: sub-block packing, bit packing with the pixel walk,
// the hashed LZW compressor and the run-length coder.
#include <cstring>

#include "formats/GIFImage_Codec.h"
#include "platform/graphics/Graphics.h"

// ---------------------------------------------------------------------------
// TGIFStream, TGIFWriter
// ---------------------------------------------------------------------------

int64_t TGIFStream::Read(void*, int64_t) { throw Exception(GifCodec::Text(gsGIFInvalidStreamOperation)); }
int64_t TGIFStream::Write(const void*, int64_t) { throw Exception(GifCodec::Text(gsGIFInvalidStreamOperation)); }
int64_t TGIFStream::Seek(int64_t, TSeekOrigin) { throw Exception(GifCodec::Text(gsGIFInvalidStreamOperation)); }

void TGIFStream::Progress(TObject* sender) {
  if (OnProgress) OnProgress(sender);
}

TGIFWriter::TGIFWriter(TStream& target) : TGIFStream(target) { bufferCount_ = 1; }

TGIFWriter::~TGIFWriter() {
  if (dirty_) {
    try {
      FlushBuffer();
    } catch (...) {
      // A destructor cannot report; the caller's next write fails the same way.
    }
  }
}

int64_t TGIFWriter::Write(const void* buffer, int64_t count) {
  dirty_ = true;
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
  int64_t left = count;
  while (left > 0) {
    const int64_t n = std::min<int64_t>(left, 256 - bufferCount_);
    std::memcpy(buffer_ + bufferCount_, p, size_t(n));
    bufferCount_ += int(n);
    p += n;
    left -= n;
    if (bufferCount_ == 256) FlushBuffer();
  }
  return count;
}

void TGIFWriter::WriteByte(uint8_t value) {
  dirty_ = true;
  buffer_[bufferCount_++] = value;
  if (bufferCount_ == 256) FlushBuffer();
}

void TGIFWriter::FlushBuffer() {
  buffer_[0] = uint8_t(bufferCount_ - 1);
  stream_.WriteBuffer(buffer_, bufferCount_);
  bufferCount_ = 1;
  dirty_ = false;
}

// ---------------------------------------------------------------------------
// TGIFEncoder
// ---------------------------------------------------------------------------

void TGIFEncoder::Encode(TStream& stream, int bitsPerPixel, int maxColor, const uint8_t* data, bool interlace,
                         int height, int width) {
  if (bitsPerPixel < 2) bitsPerPixel = 2;
  if (bitsPerPixel > 8) bitsPerPixel = 8;
  BitsPerPixel = bitsPerPixel;
  MaxColor = maxColor;
  Data = data;
  Interlace = interlace;
  Height = height;
  Width = width;
  InitialBitsPerCode = bitsPerPixel + 1;
  const uint8_t codeSize = uint8_t(bitsPerPixel);
  stream.WriteBuffer(&codeSize, 1);

  BitsPerCode = InitialBitsPerCode;
  MaxCode = uint16_t((1 << BitsPerCode) - 1);
  ClearCode = uint16_t(1 << (InitialBitsPerCode - 1));
  EndCode = uint16_t(ClearCode + 1);
  BaseCode = uint16_t(ClearCode + 2);
  BitBuffer = 0;
  BitCount = 0;

  PixelsLeft = interlace ? int64_t(width) : int64_t(width) * height;
  Row = 0;
  Pass = 0;
  pixel_ = data;

  writer_ = std::make_unique<TGIFWriter>(stream);
  if (data && height >= 1 && width >= 1) Compress();
  Output(EndCode);
  writer_.reset();  // writes the last sub-block
  const uint8_t terminator = 0;
  stream.WriteBuffer(&terminator, 1);
}

bool TGIFEncoder::BumpPixel() {
  if (--PixelsLeft > 0) {
    ++pixel_;
    return true;
  }
  if (!Interlace) return false;
  static constexpr int kStep[4] = {8, 8, 4, 2};
  static constexpr int kStart[4] = {0, 4, 2, 1};
  PixelsLeft = Width;
  Row += kStep[Pass];
  while (Row >= Height && Pass < 3) {
    ++Pass;
    Row = kStart[Pass];
  }
  if (Row >= Height) return false;
  pixel_ = Data + size_t(Row) * size_t(Width);
  return true;
}

void TGIFEncoder::Output(int code) {
  BitBuffer = (uint32_t(code) << BitCount) | (BitBuffer & ((1u << BitCount) - 1));
  BitCount += BitsPerCode;
  while (BitCount >= 8) {
    writer_->WriteByte(uint8_t(BitBuffer));
    BitBuffer >>= 8;
    BitCount -= 8;
  }
  if (code == EndCode && BitCount > 0) {
    writer_->WriteByte(uint8_t(BitBuffer));
    BitBuffer = 0;
    BitCount = 0;
  }
}

void TGIFEncoder::Clear() {
  ClearFlag = true;
  Output(ClearCode);
}

// ---------------------------------------------------------------------------
// THashTable
// ---------------------------------------------------------------------------

void THashTable::Clear() { std::memset(table_, 0xFF, sizeof table_); }

void THashTable::Insert(uint32_t key, int code) {
  int h = HashKey(key);
  while ((table_[h] >> 12) != 0xFFFFF) h = NextHashKey(h);
  table_[h] = (key << 12) | (uint32_t(code) & 0xFFF);
}

int THashTable::Lookup(uint32_t key) const {
  int h = HashKey(key);
  const uint32_t wanted = (key << 12) >> 12;  // the key as the upper 20 bits keep it
  while (true) {
    const uint32_t entry = table_[h];
    if (entry == 0xFFFFFFFFu) return -1;
    if ((entry >> 12) == wanted) return int(entry & 0xFFF);
    h = NextHashKey(h);
  }
}

// ---------------------------------------------------------------------------
// TLZWEncoder
// ---------------------------------------------------------------------------

void TLZWEncoder::Compress() {
  HashTable = std::make_unique<THashTable>();
  Clear();
  int c = CurrentPixel();
  if (c >= MaxColor) GifCodec::Error(gsGIFColorNotInTable);
  Prefix = uint16_t(c);
  while (BumpPixel()) {
    c = CurrentPixel();
    if (c >= MaxColor) GifCodec::Error(gsGIFColorNotInTable);
    const uint32_t key = (uint32_t(Prefix) << 8) | uint32_t(c);
    const int code = HashTable->Lookup(key);
    if (code >= 0) {
      Prefix = uint16_t(code);
      continue;
    }
    Output(Prefix);
    Prefix = uint16_t(c);
    if (FreeEntry >= 4095) {
      Clear();
    } else {
      HashTable->Insert(key, FreeEntry);
      ++FreeEntry;
    }
  }
  Output(Prefix);
  HashTable.reset();
}

void TLZWEncoder::Clear() {
  TGIFEncoder::Clear();
  HashTable->Clear();
  FreeEntry = uint16_t(ClearCode + 2);
}

void TLZWEncoder::Output(int code) {
  TGIFEncoder::Output(code);
  if (FreeEntry > MaxCode || ClearFlag) {
    if (ClearFlag) {
      BitsPerCode = InitialBitsPerCode;
      MaxCode = uint16_t((1 << BitsPerCode) - 1);
      ClearFlag = false;
    } else {
      ++BitsPerCode;
      MaxCode = BitsPerCode >= 12 ? 4096 : uint16_t((1 << BitsPerCode) - 1);
    }
  }
}

// ---------------------------------------------------------------------------
// TRLEEncoder
// ---------------------------------------------------------------------------

void TRLEEncoder::Compress() {
  OutBumpInit = ClearCode - 1;
  OutClearInit = BitsPerPixel <= 3 ? 9 : OutBumpInit - 1;
  MaxOCodes = 4095 - BaseCode;
  Clear();
  RLPixel = -1;
  int count = 0;
  bool more = true;
  while (more) {
    const int c = CurrentPixel();
    if (c >= MaxColor) GifCodec::Error(gsGIFColorNotInTable);
    if (count > 0 && c != RLPixel) {
      Flush(count);
      count = 0;
    }
    if (c != RLPixel) {
      RLPixel = c;
      count = 1;
    } else {
      ++count;
    }
    more = BumpPixel();
  }
  Flush(count);
}

void TRLEEncoder::Clear() {
  OutBump = OutBumpInit;
  OutClear = OutClearInit;
  OutCount = 0;
  RLTableMax = 0;
  TGIFEncoder::Clear();
  BitsPerCode = InitialBitsPerCode;
}

void TRLEEncoder::OutputPlain(int code) {
  ClearFlag = false;
  Output(code);
  ++OutCount;
  if (OutCount >= OutBump) {
    ++BitsPerCode;
    OutBump += 1 << (BitsPerCode - 1);
  }
  if (OutCount >= OutClear) Clear();
}

unsigned TRLEEncoder::ISqrt(unsigned x) {
  if (x < 2) return x;
  unsigned r = 1;
  for (unsigned v = x; v; v >>= 2) r <<= 1;
  while (true) {
    const unsigned v = ((x / r) + r) / 2;
    if (v == r || v == r + 1) return r;
    r = v;
  }
}

unsigned TRLEEncoder::ComputeTriangleCount(unsigned count, unsigned n) {
  unsigned cost = 0;
  const unsigned per = n * (n + 1) / 2;
  if (per > 0) {
    cost += (count / per) * n;
    count %= per;
  }
  if (count > 0) {
    unsigned k = ISqrt(count);
    while (k * (k + 1) >= 2 * count) --k;
    while (k * (k + 1) < 2 * count) ++k;
    cost += k;
  }
  return cost;
}

void TRLEEncoder::ResetOutClear() {
  OutClear = OutClearInit;
  if (OutCount >= OutClear) Clear();
}

void TRLEEncoder::FlushFromClear(int count) {
  MaxOutClear();
  RLTablePixel = RLPixel;
  int n = 1;
  while (count > 0) {
    if (n == 1) {
      RLTableMax = 1;
      OutputPlain(RLPixel);
      --count;
    } else if (count >= n) {
      RLTableMax = n;
      OutputPlain(BaseCode + n - 2);
      count -= n;
    } else if (count == 1) {
      ++RLTableMax;
      OutputPlain(RLPixel);
      count = 0;
    } else {
      ++RLTableMax;
      OutputPlain(BaseCode + count - 2);
      count = 0;
    }
    n = OutCount == 0 ? 1 : n + 1;
  }
  ResetOutClear();
}

void TRLEEncoder::FlushClearOrRep(int count) {
  const int withClear = 1 + int(ComputeTriangleCount(unsigned(count), unsigned(MaxOCodes)));
  if (withClear < count) {
    Clear();
    FlushFromClear(count);
  } else {
    for (; count > 0; --count) OutputPlain(RLPixel);
  }
}

void TRLEEncoder::FlushWithTable(int count) {
  int repmax = count / RLTableMax;
  int leftover = count % RLTableMax;
  int repleft = leftover > 0 ? 1 : 0;
  if (OutCount + repmax + repleft > MaxOCodes) {
    repmax = MaxOCodes - OutCount;
    leftover = count - repmax * RLTableMax;
    repleft = 1 + int(ComputeTriangleCount(unsigned(leftover), unsigned(MaxOCodes)));
  }
  if (1 + int(ComputeTriangleCount(unsigned(count), unsigned(MaxOCodes))) < repmax + repleft) {
    Clear();
    FlushFromClear(count);
    return;
  }
  MaxOutClear();
  for (; repmax > 0; --repmax) OutputPlain(BaseCode + RLTableMax - 2);
  if (leftover > 0) {
    if (ClearFlag)
      FlushFromClear(leftover);
    else if (leftover == 1)
      OutputPlain(RLPixel);
    else
      OutputPlain(BaseCode + leftover - 2);
  }
  ResetOutClear();
}

void TRLEEncoder::Flush(int count) {
  if (count <= 0) return;
  if (count == 1) {
    OutputPlain(RLPixel);
    return;
  }
  if (ClearFlag)
    FlushFromClear(count);
  else if (RLTableMax < 2 || RLTablePixel != RLPixel)
    FlushClearOrRep(count);
  else
    FlushWithTable(count);
}
