// The portable any-map reader. The header is a sequence of whitespace-separated
// decimal numbers behind the two-byte magic, with comments ("#" to the end of the
// line) wherever a number may start; raw data begins one byte after the last number.
// Samples are scaled from the file's maximum value to 8 bits as netpbm scales them
// (rounded to the nearest level).
#include "formats/GraphicFormats_PNM.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/GraphicFormats_Reading.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/PictureBounds.h"

namespace {

inline bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// 8-bit levels of the samples 0..65535 of a file whose maximum is maxValue; samples
// above the maximum show as the maximum.
std::vector<uint8_t> ScaleTable(uint32_t maxValue) {
  std::vector<uint8_t> table(maxValue > 255 ? 65536 : 256);
  for (uint32_t v = 0; v < table.size(); ++v)
    table[v] = uint8_t((std::min(v, maxValue) * 255 + maxValue / 2) / maxValue);
  return table;
}

}  // namespace

// ---------------------------------------------------------------------------
// Reading primitives
// ---------------------------------------------------------------------------

int TPPMGraphic::NextByteOrEnd() {
  if (index_ >= filled_) {
    const int64_t got = source_->Read(buffer_, kBufferSize);
    if (got <= 0) {
      index_ = filled_ = kBufferSize;
      return -1;
    }
    index_ = 0;
    filled_ = size_t(got);
  }
  return buffer_[index_++];
}

uint8_t TPPMGraphic::NextByte() {
  const int c = NextByteOrEnd();
  if (c < 0) FormatGraphicError(gsStreamReadError, {GraphicText(gsFormatPPM)});
  return uint8_t(c);
}

int TPPMGraphic::SkipToDigitOrEnd() {
  int c = NextByteOrEnd();
  while (c >= 0 && !IsDigit(c)) {
    if (c == '#')
      while (c >= 0 && c != '\n' && c != '\r') c = NextByteOrEnd();
    if (c >= 0) c = NextByteOrEnd();
  }
  return c;
}

int64_t TPPMGraphic::ReadNumberOrEnd() {
  int c = SkipToDigitOrEnd();
  if (c < 0) return -1;
  // Numbers beyond 32 bits stay at the largest value (a header of that size is refused).
  uint64_t value = 0;
  while (IsDigit(c)) {
    value = std::min<uint64_t>(value * 10 + uint64_t(c - '0'), UINT32_MAX);
    c = NextByteOrEnd();  // the last number of a file may end at the file's end
  }
  return int64_t(value);
}

uint32_t TPPMGraphic::ReadNumber() {
  const int64_t value = ReadNumberOrEnd();
  if (value < 0) FormatGraphicError(gsStreamReadError, {GraphicText(gsFormatPPM)});
  return uint32_t(value);
}

int TPPMGraphic::ReadTextBit() {
  const int c = SkipToDigitOrEnd();
  return c < 0 ? -1 : c & 1;
}

size_t TPPMGraphic::ReadRaw(uint8_t* target, size_t count) {
  const size_t buffered = std::min(count, filled_ - std::min(index_, filled_));
  if (buffered) {
    std::memcpy(target, buffer_ + index_, buffered);
    index_ += buffered;
  }
  if (count == buffered) return count;
  const int64_t got = source_->Read(target + buffered, int64_t(count - buffered));
  return buffered + size_t(std::max<int64_t>(got, 0));
}

int64_t TPPMGraphic::BytesLeft() {
  return std::max<int64_t>(0, source_->Size() - source_->Position()) + int64_t(filled_ - std::min(index_, filled_));
}

// ---------------------------------------------------------------------------
// Header
// ---------------------------------------------------------------------------

bool TPPMGraphic::CanLoad(TStream& stream) {
  return ProbeHeader(stream, 10,
                     [](const uint8_t* head) { return head[0] == 'P' && head[1] >= '1' && head[1] <= '6'; });
}

bool TPPMGraphic::ReadHeader(TStream& stream, Header& header) {
  source_ = &stream;
  index_ = filled_ = kBufferSize;
  if (NextByteOrEnd() != 'P') return false;
  const int digit = NextByteOrEnd();
  if (digit < 0) return false;
  // The digit is taken as a number: "P" followed by anything else raises the
  // conversion error.
  header.Kind = StrToInt(std::string(1, char(digit)));
  if (header.Kind < 1 || header.Kind > 6) return false;
  // The numbers may stand on the magic's own line as well as on the following ones.
  header.Width = ReadNumber();
  header.Height = ReadNumber();
  header.MaxValue = header.Kind == 1 || header.Kind == 4 ? 1 : ReadNumber();
  return header.Width > 0 && header.Height > 0 && header.MaxValue >= 1 && header.MaxValue <= 65535;
}

bool TPPMGraphic::ReadImageProperties(TStream& stream, uint32_t imageIndex) {
  TFormatGraphic::ReadImageProperties(stream, imageIndex);
  TImageProperties& p = ImageProperties;
  p.Compression = ctNone;
  Header h;
  if (!ReadHeader(stream, h)) return false;
  const bool bitmap = h.Kind == 1 || h.Kind == 4;
  const bool colour = h.Kind == 3 || h.Kind == 6;
  p.Width = h.Width;
  p.Height = h.Height;
  p.ColorScheme = colour ? csRGB : csIndexed;
  p.BitsPerSample = bitmap ? 1 : h.MaxValue > 255 ? 16 : 8;
  p.SamplesPerPixel = colour ? 3 : 1;
  p.BitsPerPixel = uint8_t(p.BitsPerSample * p.SamplesPerPixel);
  return true;
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------

void TPPMGraphic::LoadFromStream(TStream& stream) {
  LoadInFrame(stream, [&] { LoadPicture(stream); });
}

void TPPMGraphic::LoadPicture(TStream& stream) {
  if (!ReadImageProperties(stream, 0)) FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatPNM)});
  stream.Seek(BasePosition(), soBeginning);
  Header h;
  ReadHeader(stream, h);
  ProgressRect = TRect(0, 0, int(h.Width), 1);
  StartProgress(gsTransfering);

  // What the rest of the file must hold at the least: raw rows in full, a text bitmap
  // one character per pixel, text samples a digit and a separator each (the last one
  // needs no separator); a file cut short loads the rows it holds, so only a header
  // that promises far more than that is refused.
  const bool bitmap = h.Kind == 1 || h.Kind == 4;
  const bool colour = h.Kind == 3 || h.Kind == 6;
  const uint64_t pixels = uint64_t(h.Width) * h.Height;
  const uint64_t samples = pixels * (colour ? 3 : 1);
  const uint64_t sampleBytes = h.MaxValue > 255 ? 2 : 1;
  const uint64_t left = uint64_t(BytesLeft());
  CheckPictureSize(h.Width, h.Height, bitmap ? 1 : colour ? 24 : 8);
  switch (h.Kind) {
    case 1: CheckPictureData(GraphicText(gsFormatPPM), h.Width, h.Height, pixels, left, CutUncompressedData); break;
    case 2:
    case 3: CheckPictureData(GraphicText(gsFormatPPM), h.Width, h.Height, samples, left + 1, CutShort({1, 2})); break;
    case 4:
      CheckPictureData(GraphicText(gsFormatPPM), h.Width, h.Height, (uint64_t(h.Width) + 7) / 8 * h.Height, left,
                       CutUncompressedData);
      break;
    default:
      CheckPictureData(GraphicText(gsFormatPPM), h.Width, h.Height, samples * sampleBytes, left, CutUncompressedData);
      break;
  }

  // Bitmaps show a set bit black; grey maps get the grey ramp; pixel maps are turned
  // from red, green, blue into the bitmap's blue, green, red.
  TColorManager& cm = ColorManager;
  cm.SetSourceOptions({});
  cm.SetTargetOptions({});
  cm.SetSourceBitsPerSample(bitmap ? 1 : 8);
  cm.SetTargetBitsPerSample(bitmap ? 1 : 8);
  cm.SetSourceSamplesPerPixel(colour ? 3 : 1);
  cm.SetTargetSamplesPerPixel(colour ? 3 : 1);
  cm.SetSourceColorScheme(colour ? csRGB : csG);
  cm.SetTargetColorScheme(colour ? csBGR : csG);
  SetPixelFormat(cm.GetPixelFormat(1));
  if (!colour) SetPalette(cm.CreateGrayscalePalette(bitmap));
  SetSize(int(h.Width), int(h.Height));

  if (h.Kind <= 3)
    ReadTextRows(h);
  else
    ReadRawRows(h);
  EndProgress();
}

void TPPMGraphic::ReadTextRows(const Header& h) {
  const uint32_t width = h.Width;
  const std::vector<uint8_t> scale = ScaleTable(h.MaxValue);
  // A file cut short ends the reading: the samples it holds are shown, the rest stays empty.
  bool ended = false;
  auto sample = [&]() -> uint8_t {
    const int64_t v = ended ? -1 : ReadNumberOrEnd();
    ended = v < 0;
    return ended ? 0 : scale[std::min<uint64_t>(uint64_t(v), h.MaxValue)];
  };
  std::vector<uint8_t> row(h.Kind == 3 ? size_t(width) * 3 : 0);
  for (uint32_t y = 0; y < h.Height && !ended; ++y) {
    uint8_t* target = ScanLine(int(y));
    switch (h.Kind) {
      case 1:
        for (uint32_t x = 0; x < width; ++x) {
          const int bit = ReadTextBit();
          if (bit < 0) {
            ended = true;
            break;
          }
          target[x / 8] |= uint8_t(bit << (7 - x % 8));
        }
        break;
      case 2:
        for (uint32_t x = 0; x < width; ++x) target[x] = sample();
        break;
      default:
        for (uint8_t& v : row) v = sample();
        ColorManager.ConvertRow({row.data()}, target, width, 0xFF);
        break;
    }
    RowProgress(y, h.Height);
  }
}

void TPPMGraphic::ReadRawRows(const Header& h) {
  const uint32_t width = h.Width;
  const bool wide = h.MaxValue > 255;
  const bool scaled = h.MaxValue != 255;
  const std::vector<uint8_t> scale = scaled ? ScaleTable(h.MaxValue) : std::vector<uint8_t>();
  const size_t samples = size_t(width) * (h.Kind == 6 ? 3 : 1);
  // File samples of one row, and the row of 8-bit samples they become.
  std::vector<uint8_t> stored(h.Kind == 4 ? 0 : samples * (wide ? 2 : 1));
  std::vector<uint8_t> levels(h.Kind == 6 && wide ? samples : 0);
  for (uint32_t y = 0; y < h.Height; ++y) {
    uint8_t* target = ScanLine(int(y));
    // A file cut short shows the rows it holds; the rest stays empty.
    if (h.Kind == 4) {
      ReadRaw(target, (size_t(width) + 7) / 8);
    } else {
      // 8-bit grey rows are read where they end up; other rows pass the row buffers.
      uint8_t* raw = h.Kind == 5 && !wide ? target : stored.data();
      const size_t got = ReadRaw(raw, stored.size());
      std::memset(raw + got, 0, stored.size() - got);
      uint8_t* out = h.Kind == 5 ? target : wide ? levels.data() : raw;
      if (wide) {
        for (size_t i = 0; i < samples; ++i) out[i] = scale[size_t(raw[2 * i]) << 8 | raw[2 * i + 1]];
      } else if (scaled) {
        for (size_t i = 0; i < samples; ++i) out[i] = scale[raw[i]];
      }
      if (h.Kind == 6) ColorManager.ConvertRow({out}, target, width, 0xFF);
    }
    RowProgress(y, h.Height);
  }
}
