// The PNG reader: the chunk walk with CRC checks, one deflate stream through all
// IDAT chunks, the five filters, Adam7 passes through the colour manager's pixel
// mask, gamma, background and transparency.
#include "formats/GraphicFormats_PNG.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "formats/GraphicCompression.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/PictureBounds.h"
#include "platform/i18n/GnuGetText.h"

namespace {

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

constexpr uint32_t ChunkType(const char (&name)[5]) {
  return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8 |
         uint32_t(uint8_t(name[3]));
}
// Chunk types compare with bit 5 of every letter cleared (ignoring the letters' case).
constexpr uint32_t kCaseBits = 0x20202020;
constexpr uint32_t Masked(uint32_t type) { return type & ~kCaseBits; }
constexpr uint32_t kIHDR = ChunkType("IHDR"), kPLTE = ChunkType("PLTE"), kIDAT = ChunkType("IDAT"),
                   kIEND = ChunkType("IEND"), kgAMA = Masked(ChunkType("gAMA")), kbKGD = Masked(ChunkType("bKGD")),
                   ktRNS = Masked(ChunkType("tRNS"));

inline uint32_t BigEndian32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
inline uint16_t BigEndian16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

[[noreturn]] void RaisePNG(const char* message) { FormatGraphicError(message, {GraphicText(gsFormatPNG)}); }

// Undoes a row's filter in place; prev is the reconstructed row above (zero for the
// first row of a pass). bpp is the distance to the corresponding byte on the left.
void Unfilter(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t n, size_t bpp) {
  const size_t head = std::min(bpp, n);
  switch (filter) {
    case 1:
      for (size_t i = bpp; i < n; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
      break;
    case 2:
      for (size_t i = 0; i < n; ++i) row[i] = uint8_t(row[i] + prev[i]);
      break;
    case 3:
      for (size_t i = 0; i < head; ++i) row[i] = uint8_t(row[i] + (prev[i] >> 1));
      for (size_t i = bpp; i < n; ++i) row[i] = uint8_t(row[i] + ((row[i - bpp] + prev[i]) >> 1));
      break;
    case 4:
      for (size_t i = 0; i < head; ++i) row[i] = uint8_t(row[i] + prev[i]);
      for (size_t i = bpp; i < n; ++i) {
        const int a = row[i - bpp], b = prev[i], c = prev[i - bpp];
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        const int predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        row[i] = uint8_t(row[i] + predictor);
      }
      break;
    default:  // 0, and unknown filters leave the row as stored
      break;
  }
}

// Samples per pixel of each colour type.
unsigned Channels(uint8_t colorType) {
  switch (colorType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
  }
}

// Bits per pixel of the bitmap a picture becomes (see SetupColors): 2-bit samples are
// shown in 4 bits, 16-bit ones in 8, grey with alpha as 8-bit grey.
int TargetBitsPerPixel(TColorScheme scheme, uint8_t depth) {
  switch (scheme) {
    case csRGB: return 24;
    case csRGBA: return 32;
    case csG:
    case csIndexed: return depth == 2 ? 4 : std::min<int>(depth, 8);
    default: return 8;
  }
}

}  // namespace

TPNGGraphic::TPNGGraphic() = default;

TPNGGraphic::~TPNGGraphic() { delete decoder_; }

bool TPNGGraphic::CanLoad(TStream& stream) {
  const int64_t start = stream.Position();
  bool ok = false;
  if (stream.Size() - start > 8) {
    uint8_t sig[8];
    ok = stream.Read(sig, 8) == 8 && std::memcmp(sig, kSignature, 8) == 0;
  }
  stream.Seek(start, soBeginning);
  return ok;
}

// ---------------------------------------------------------------------------
// Chunks
// ---------------------------------------------------------------------------

void TPNGGraphic::ReadChunkHeader(TStream& stream) {
  uint8_t b[8];
  stream.ReadBuffer(b, 8);
  chunk_.Length = BigEndian32(b);
  chunk_.Type = BigEndian32(b + 4);
  crc_ = uint32_t(crc32(0, b + 4, 4));
}

void TPNGGraphic::ReadChunkData(TStream& stream) {
  // The file limits a chunk to 2^31 - 1 bytes; the data must fit in what is left.
  const int64_t left = stream.Size() - stream.Position();
  if (chunk_.Length > 0x7FFFFFFFu || int64_t(chunk_.Length) + 4 > left) throw EReadError(_("Stream read error"));
  raw_.resize(chunk_.Length);
  if (chunk_.Length) stream.ReadBuffer(raw_.data(), chunk_.Length);
  uint8_t stored[4];
  stream.ReadBuffer(stored, 4);
  if (chunk_.Length) crc_ = uint32_t(crc32(crc_, raw_.data(), uInt(chunk_.Length)));
  if (crc_ != BigEndian32(stored)) RaisePNG(gsInvalidCRC);
}

void TPNGGraphic::SkipChunk(TStream& stream) { stream.Seek(int64_t(chunk_.Length) + 4, soCurrent); }

bool TPNGGraphic::ReadImageProperties(TStream& stream, uint32_t imageIndex) {
  TFormatGraphic::ReadImageProperties(stream, imageIndex);
  uint8_t sig[8];
  if (stream.Read(sig, 8) != 8 || std::memcmp(sig, kSignature, 8) != 0) return false;
  ReadChunkHeader(stream);
  if (Masked(chunk_.Type) != kIHDR) return false;
  ReadChunkData(stream);
  if (raw_.size() < 13) return false;
  const uint32_t width = BigEndian32(raw_.data()), height = BigEndian32(raw_.data() + 4);
  if (width == 0 || height == 0) return false;
  TImageProperties& p = ImageProperties;
  p.Options.Include(ioBigEndian);
  p.Width = width;
  p.Height = height;
  p.Compression = raw_[10] == 0 ? ctLZ77 : ctUnknown;
  p.BitsPerSample = raw_[8];
  switch (raw_[9]) {
    case 0: p.ColorScheme = csG, p.SamplesPerPixel = 1; break;
    case 2: p.ColorScheme = csRGB, p.SamplesPerPixel = 3; break;
    case 3: p.ColorScheme = csIndexed, p.SamplesPerPixel = 1; break;
    case 4: p.ColorScheme = csGA, p.SamplesPerPixel = 2; break;
    case 6: p.ColorScheme = csRGBA, p.SamplesPerPixel = 4; break;
    default: p.ColorScheme = csUnknown, p.SamplesPerPixel = 1; break;
  }
  p.BitsPerPixel = uint8_t(p.SamplesPerPixel * p.BitsPerSample);
  p.FilterMode = raw_[11];
  p.Interlaced = raw_[12] != 0;
  p.HasAlpha = p.ColorScheme == csGA || p.ColorScheme == csRGBA || p.ColorScheme == csBGRA;
  // The first gAMA chunk gives the file gamma.
  for (;;) {
    ReadChunkHeader(stream);
    const uint32_t type = Masked(chunk_.Type);
    if (type == kgAMA) {
      ReadChunkData(stream);
      if (raw_.size() >= 4) p.FileGamma = float(BigEndian32(raw_.data())) / 100000.0f;
      break;
    }
    if (type == kIEND) break;
    SkipChunk(stream);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------

void TPNGGraphic::SetupColors() {
  const uint8_t depth = header_.BitDepth;
  TColorManager& cm = ColorManager;
  cm.SetSourceBitsPerSample(std::clamp<uint8_t>(depth, 1, 16));
  cm.SetSourceSamplesPerPixel(1);
  cm.SetTargetSamplesPerPixel(1);
  switch (header_.ColorType) {
    case 0:
      if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) RaisePNG(gsInvalidColorFormat);
      cm.SetSourceColorScheme(csG);
      cm.SetTargetColorScheme(csG);
      cm.SetTargetBitsPerSample(depth == 2 ? 4 : depth == 16 ? 8 : depth);
      SetPixelFormat(cm.GetPixelFormat(1));
      SetPalette(cm.CreateGrayscalePalette(false));
      sourceBPP_ = (depth + 7u) / 8u;
      break;
    case 2:
    case 6: {
      if (depth != 8 && depth != 16) RaisePNG(gsInvalidColorFormat);
      const bool alpha = header_.ColorType == 6;
      const uint8_t samples = alpha ? 4 : 3;
      cm.SetSourceColorScheme(alpha ? csRGBA : csRGB);
      cm.SetSourceSamplesPerPixel(samples);
      cm.SetTargetColorScheme(alpha ? csBGRA : csBGR);
      cm.SetTargetSamplesPerPixel(samples);
      cm.SetTargetBitsPerSample(8);
      SetPixelFormat(alpha ? pf32bit : pf24bit);
      sourceBPP_ = depth * samples / 8u;
      break;
    }
    case 3:
      if (depth != 1 && depth != 2 && depth != 4 && depth != 8) RaisePNG(gsInvalidColorFormat);
      cm.SetSourceColorScheme(csIndexed);
      cm.SetTargetColorScheme(csIndexed);
      cm.SetTargetBitsPerSample(depth == 2 ? 4 : depth);
      SetPixelFormat(cm.GetPixelFormat(1));
      sourceBPP_ = 1;
      break;
    case 4:
      if (depth != 8 && depth != 16) RaisePNG(gsInvalidColorFormat);
      cm.SetSourceColorScheme(csGA);
      cm.SetTargetColorScheme(csIndexed);
      cm.SetTargetBitsPerSample(8);
      SetPixelFormat(pf8bit);
      SetPalette(cm.CreateGrayscalePalette(false));
      sourceBPP_ = 2u * depth / 8u;
      break;
    default:
      RaisePNG(gsInvalidColorFormat);
  }
  colorsSet_ = true;
}

// The colour a stored grey level or RGB triple shows as: grey levels through the
// bitmap's grey palette (in the target depth), RGB samples through the gamma table.
void TPNGGraphic::ResolveKeyColors() {
  const bool gamma = ColorManager.TargetOptions().Contains(coApplyGamma);
  const uint8_t* table = ColorManager.GammaTable();
  auto rgb = [&](const uint16_t* s) {
    return gamma ? RGB(table[s[0]], table[s[1]], table[s[2]]) : RGB(uint8_t(s[0]), uint8_t(s[1]), uint8_t(s[2]));
  };
  const TPalette palette = Palette();
  if (backgroundIndex_ >= 0) backgroundColor_ = palette.Color(backgroundIndex_);
  if (backgroundRGB_) backgroundColor_ = rgb(backgroundSamples_);
  if (transparentIndex_ >= 0) transparentColor_ = palette.Color(transparentIndex_);
  if (transparentRGB_) transparentColor_ = rgb(transparentSamples_);
}

void TPNGGraphic::LoadFromStream(TStream& stream) {
  BeginLoad(stream);
  delete decoder_;
  decoder_ = nullptr;
  try {
    if (!ReadImageProperties(stream, 0)) RaisePNG(gsInvalidImage);
    // Nothing is sized by the header before it is known that the bitmap can hold the
    // picture and that the rest of the file can inflate to its rows.
    {
      const TImageProperties& p = ImageProperties;
      CheckPictureSize(p.Width, p.Height, TargetBitsPerPixel(p.ColorScheme, p.BitsPerSample));
      const uint64_t pixelBytes = uint64_t(p.Width) * p.Height * p.SamplesPerPixel * p.BitsPerSample / 8;
      CheckPictureData(GraphicText(gsFormatPNG), p.Width, p.Height, pixelBytes,
                       uint64_t(std::max<int64_t>(0, stream.Size() - BasePosition() - 8)), DeflateData);
    }
    stream.Seek(BasePosition() + 8, soBeginning);
    ProgressRect = TRect(0, 0, int(ImageProperties.Width), 1);
    StartProgress(gsPreparing);

    palette_.Clear();
    transparency_.clear();
    backgroundColor_ = 0xFFFFFF;
    transparentColor_ = clNone;
    backgroundIndex_ = transparentIndex_ = -1;
    backgroundRGB_ = transparentRGB_ = false;
    colorsSet_ = false;
    inputLeft_ = 0;
    outputFull_ = false;
    ReadChunkHeader(stream);
    ReadChunkData(stream);
    header_.Width = BigEndian32(raw_.data());
    header_.Height = BigEndian32(raw_.data() + 4);
    header_.BitDepth = raw_[8];
    header_.ColorType = raw_[9];
    header_.Compression = raw_[10];
    header_.Filter = raw_[11];
    header_.Interlaced = raw_[12];
    ColorManager.SetSourceOptions({coNeedByteSwap});
    // A graphic that loads again starts without the gamma of its last picture, and
    // with 8-bit depths, so that a gAMA chunk's table spans 0..255.
    ColorManager.SetTargetOptions(ColorManager.TargetOptions() - coApplyGamma);
    ColorManager.SetSourceBitsPerSample(8);
    ColorManager.SetTargetBitsPerSample(8);

    if (ImageProperties.Compression != ctLZ77)
      FormatGraphicError(gsUnsupportedFeature, {GraphicText(gsCompressionScheme), GraphicText(gsFormatPNG)});
    // One deflate stream runs through all IDAT chunks: no reset between calls.
    decoder_ = new TLZ77Decoder(Z_PARTIAL_FLUSH, false);
    decoder_->DecodeInit();

    const uint8_t colorType = header_.ColorType;
    const uint8_t depth = header_.BitDepth;
    // A grey level as stored, in the depth of the target (2-bit grey is shown in 4 bits).
    auto greyIndex = [&](const uint8_t* p) {
      const unsigned v = BigEndian16(p);
      return int(depth == 2 ? v * 15 / 3 : depth == 16 ? v * 255 / 65535 : v & 0xFF);
    };
    auto sample = [&](const uint8_t* p) {
      const unsigned v = BigEndian16(p);
      return uint16_t(depth == 16 ? v * 255 / 65535 : v & 0xFF);
    };
    bool imageRead = false;
    for (;;) {
      ReadChunkHeader(stream);
      const uint32_t type = Masked(chunk_.Type);
      if (type == kIDAT) {
        EndProgress();
        DecodeImage(stream);
        imageRead = true;
        // The chunk behind the image data is read; it is skipped below.
      } else if (type == kPLTE) {
        if (chunk_.Length % 3 != 0) RaisePNG(gsInvalidPalette);
        ReadChunkData(stream);
        if (colorType == 3) {
          SetupColors();
          palette_ = ColorManager.CreateColorPalette({raw_.data()}, pdfBytes3, uint32_t(raw_.size() / 3), false);
        }
        continue;
      } else if (type == kgAMA) {
        ReadChunkData(stream);
        if (raw_.size() >= 4) {
          ColorManager.SetGamma(float(BigEndian32(raw_.data())) / 100000.0f, 2.2f);
          ColorManager.SetTargetOptions(ColorManager.TargetOptions() + coApplyGamma);
          ImageProperties.Options.Include(ioUseGamma);
        }
        continue;
      } else if (type == kbKGD) {
        ReadChunkData(stream);
        if ((colorType == 0 || colorType == 4) && raw_.size() >= 2) {
          backgroundIndex_ = greyIndex(raw_.data());
        } else if ((colorType == 2 || colorType == 6) && raw_.size() >= 6) {
          for (int i = 0; i < 3; ++i) backgroundSamples_[i] = sample(raw_.data() + 2 * i);
          backgroundRGB_ = true;
        } else if (colorType == 3 && raw_.size() >= 1) {
          // A palette index: the fill takes that entry's colour.
          backgroundColor_ = palette_.Color(raw_[0]);
        }
        continue;
      } else if (type == ktRNS) {
        ReadChunkData(stream);
        if (colorType == 0 && raw_.size() >= 2) {
          transparentIndex_ = greyIndex(raw_.data());
        } else if (colorType == 2 && raw_.size() >= 6) {
          for (int i = 0; i < 3; ++i) transparentSamples_[i] = sample(raw_.data() + 2 * i);
          transparentRGB_ = true;
        } else if (colorType != 4 && colorType != 6) {
          transparency_.assign(256, 255);
          std::copy_n(raw_.begin(), std::min<size_t>(raw_.size(), 256), transparency_.begin());
        }
        continue;
      }
      SkipChunk(stream);
      if (Masked(chunk_.Type) == kIEND) {
        // A file without image data is no picture.
        if (!imageRead) RaisePNG(gsInvalidImage);
        break;
      }
      if ((chunk_.Type & 0x20000000u) == 0) FormatGraphicError(GraphicText(gsUnknownCriticalChunk));
    }
    decoder_->DecodeEnd();
    delete decoder_;
    decoder_ = nullptr;
    raw_ = std::vector<uint8_t>();
    EndProgress();
  } catch (...) {
    delete decoder_;
    decoder_ = nullptr;
    raw_ = std::vector<uint8_t>();
    EndLoad();
    throw;
  }
  EndLoad();
}

// Reads one row's bytes from the deflate stream, taking the next IDAT chunk when the
// decoder has used its input. False when the image data ends before the row is full.
bool TPNGGraphic::ReadRow(TStream& stream, uint8_t* row, uint32_t size) {
  uint8_t* out = row;
  uint32_t missing = size;
  while (missing > 0) {
    if (inputLeft_ == 0 && !outputFull_) {
      if (Masked(chunk_.Type) != kIDAT) return false;
      // The current IDAT chunk's data (empty chunks are passed over), then the next header.
      do {
        ReadChunkData(stream);
        ReadChunkHeader(stream);
      } while (raw_.empty() && Masked(chunk_.Type) == kIDAT);
      input_ = raw_.data();
      inputLeft_ = uint32_t(raw_.size());
      continue;
    }
    const uint32_t inputBefore = inputLeft_, missingBefore = missing;
    const void* src = input_;
    void* dst = out;
    decoder_->Decode(src, dst, int32_t(inputLeft_), int32_t(missing));
    input_ = static_cast<const uint8_t*>(src);
    out = static_cast<uint8_t*>(dst);
    inputLeft_ = decoder_->AvailableInput();
    missing = decoder_->AvailableOutput();
    const int32_t result = decoder_->ZLibResult();
    if (result == Z_STREAM_END) {
      if (missing > 0 || inputLeft_ > 0) RaisePNG(gsExtraCompressedData);
    } else if (result != Z_OK) {
      RaisePNG(gsCompressionError);
    }
    // A call that filled the row may leave output inside zlib; one that did nothing
    // needs more input.
    const bool progress = inputLeft_ != inputBefore || missing != missingBefore;
    outputFull_ = missing == 0;
    if (!progress && inputLeft_ > 0) RaisePNG(gsCompressionError);
  }
  return true;
}

void TPNGGraphic::FillBackground(int fromRow) {
  if (fromRow >= Height()) return;
  Canvas().Brush().SetColor(backgroundColor_);
  Canvas().FillRect(TRect(0, fromRow, Width(), Height()));
}

void TPNGGraphic::DecodeImage(TStream& stream) {
  StartProgress(gsTransfering);
  if (!colorsSet_) SetupColors();
  if (!palette_.IsEmpty()) SetPalette(palette_);
  const uint32_t width = header_.Width, height = header_.Height;
  SetSize(int(width), int(height));
  ResolveKeyColors();
  if (transparentColor_ != clNone) {
    SetTransparent(true);
    SetTransparentColor(transparentColor_);
  }
  const uint64_t bitsPerPixel = uint64_t(header_.BitDepth) * Channels(header_.ColorType);
  auto rowBytes = [&](uint32_t pixels) { return size_t((pixels * bitsPerPixel + 7) / 8 + 1); };
  const size_t bpp = std::max<size_t>(sourceBPP_, 1);
  std::vector<uint8_t> bufferA(rowBytes(width)), bufferB(rowBytes(width));
  uint8_t* current = bufferA.data();
  uint8_t* previous = bufferB.data();
  bool complete = true;
  int rowsDone = 0;
  try {
    if (!header_.Interlaced) {
      const size_t size = rowBytes(width);
      for (uint32_t row = 0; row < height; ++row) {
        if (!ReadRow(stream, current, uint32_t(size))) {
          complete = false;
          break;
        }
        Unfilter(current[0], current + 1, previous + 1, size - 1, bpp);
        ColorManager.ConvertRow({current + 1}, ScanLine(int(row)), width, 0xFF);
        std::swap(current, previous);
        rowsDone = int(row) + 1;
        RowProgress(row, height);
      }
    } else {
      static const uint32_t firstRow[7] = {0, 0, 4, 0, 2, 0, 1}, firstColumn[7] = {0, 4, 0, 2, 0, 1, 0},
                            rowStep[7] = {8, 8, 8, 4, 4, 2, 2}, columnStep[7] = {8, 8, 4, 4, 2, 2, 1};
      static const uint8_t mask[7] = {0x80, 0x08, 0x88, 0x22, 0xAA, 0x55, 0xFF};
      FillBackground(0);
      rowsDone = int(height);
      for (int pass = 0; pass < 7 && complete; ++pass) {
        if (width <= firstColumn[pass]) continue;
        const uint32_t passWidth = (width + columnStep[pass] - 1 - firstColumn[pass]) / columnStep[pass];
        const size_t size = rowBytes(passWidth);
        std::fill_n(previous, size, 0);
        for (uint32_t row = firstRow[pass]; row < height; row += rowStep[pass]) {
          if (!ReadRow(stream, current, uint32_t(size))) {
            complete = false;
            break;
          }
          Unfilter(current[0], current + 1, previous + 1, size - 1, bpp);
          ColorManager.ConvertRow({current + 1}, ScanLine(int(row)), width, mask[pass]);
          std::swap(current, previous);
          if (pass == 6) RowProgress(row, height);
        }
      }
    }
  } catch (...) {
    FillBackground(rowsDone);
    throw;
  }
  // Rows the image data did not reach show the background.
  FillBackground(rowsDone);
  if (complete) {
    // Further IDAT chunks are checked and dropped.
    while (Masked(chunk_.Type) == kIDAT) {
      ReadChunkData(stream);
      ReadChunkHeader(stream);
    }
  }
}
