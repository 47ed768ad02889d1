// The Wavefront RLA reader.
#include "formats/GraphicFormats_RLA.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formats/GraphicCompression.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/PictureBounds.h"

namespace {

constexpr int kHeaderSize = 740;
constexpr uint16_t kRevision = 0xFFFE;

struct RLAHeader {
  int16_t ActiveLeft = 0, ActiveRight = 0, ActiveBottom = 0, ActiveTop = 0;
  int16_t ColorChannels = 0, MatteChannels = 0;
  uint16_t Revision = 0;
  std::string Gamma;
  std::string Space;  // the colour channel space, in lower case
  int16_t BitsPerChannel = 0;
};

int16_t Int16(const uint8_t* p) { return int16_t(uint16_t(p[0] << 8 | p[1])); }

// A text field: its bytes up to the first zero.
std::string Text(const uint8_t* p, size_t size) {
  return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), size));
}

RLAHeader ParseHeader(const uint8_t* b) {
  RLAHeader h;
  h.ActiveLeft = Int16(b + 8);
  h.ActiveRight = Int16(b + 10);
  h.ActiveBottom = Int16(b + 12);
  h.ActiveTop = Int16(b + 14);
  h.ColorChannels = Int16(b + 20);
  h.MatteChannels = Int16(b + 22);
  h.Revision = uint16_t(Int16(b + 26));
  h.Gamma = Text(b + 28, 16);
  h.Space = LowerCase(Text(b + 580, 32));
  h.BitsPerChannel = Int16(b + 658);
  return h;
}

// The gamma text as a number written with a decimal point; 1.0 when it is none, or
// not a sensible gamma.
float ParseGamma(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return 1.0f;
  const char* begin = text.data() + first;
  float value = 0;
  const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value, std::chars_format::fixed);
  if (error != std::errc() || end == begin || !std::isfinite(value) || value <= 0.0f || value > 100.0f) return 1.0f;
  return value;
}

}  // namespace

bool TRLAGraphic::CanLoad(TStream& stream) {
  const int64_t start = stream.Position();
  bool ok = false;
  uint8_t b[kHeaderSize];
  if (stream.Size() - start > kHeaderSize && stream.Read(b, kHeaderSize) == kHeaderSize) {
    const RLAHeader h = ParseHeader(b);
    ok = h.Revision == kRevision && (h.Space == "rgb" || h.Space == "xyz");
  }
  stream.SetPosition(start);
  return ok;
}

bool TRLAGraphic::ReadImageProperties(TStream& stream, uint32_t imageIndex) {
  TFormatGraphic::ReadImageProperties(stream, imageIndex);
  uint8_t b[kHeaderSize];
  if (stream.Read(b, kHeaderSize) != kHeaderSize) return false;
  const RLAHeader h = ParseHeader(b);
  if (h.Space == "xyz") return false;
  TImageProperties& p = ImageProperties;
  p.Options.Include(ioBigEndian);
  // Every matte channel after the first is left aside: the first one is the alpha.
  const bool matte = h.MatteChannels >= 1;
  p.SamplesPerPixel = uint8_t(std::clamp<int>(h.ColorChannels + (matte ? 1 : 0), 0, 255));
  p.BitsPerSample = uint8_t(std::clamp<int>(h.BitsPerChannel, 0, 255));
  p.BitsPerPixel = uint8_t(std::min(p.SamplesPerPixel * p.BitsPerSample, 255));
  if (h.Space == "rgb") p.ColorScheme = matte ? csRGBA : csRGB;
  p.FileGamma = ParseGamma(h.Gamma);
  p.Compression = ctRLE;
  const int width = int(h.ActiveRight) - int(h.ActiveLeft) + 1;
  if (width <= 0) return false;
  p.Width = uint32_t(width);
  p.Height = uint32_t(std::abs(int(h.ActiveBottom) - int(h.ActiveTop)) + 1);
  p.BottomUp = h.ActiveBottom < h.ActiveTop;
  return true;
}

void TRLAGraphic::LoadFromStream(TStream& stream) {
  BeginLoad(stream);
  try {
    if (!ReadImageProperties(stream, 0)) FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatRLA)});
    TImageProperties& p = ImageProperties;
    const uint32_t width = p.Width, height = p.Height;
    // Red, green and blue of 8 bits, and the first matte channel: anything else the
    // reader does not know how to show.
    const bool matte = p.ColorScheme == csRGBA;
    const uint32_t channels = matte ? 4 : 3;
    if ((p.ColorScheme != csRGB && p.ColorScheme != csRGBA) || p.SamplesPerPixel != channels || p.BitsPerSample != 8)
      FormatGraphicError(gsInvalidColorFormat, {GraphicText(gsFormatRLA)});
    ProgressRect = TRect(0, 0, int(width), 1);
    StartProgress(gsPreparing);

    ColorManager.SetSourceSamplesPerPixel(uint8_t(channels));
    ColorManager.SetTargetSamplesPerPixel(uint8_t(channels));
    ColorManager.SetSourceBitsPerSample(8);
    ColorManager.SetTargetBitsPerSample(8);
    ColorManager.SetSourceColorScheme(p.ColorScheme);
    ColorManager.SetTargetColorScheme(matte ? csBGRA : csBGR);
    ColorManager.SetSourceOptions({});
    ColorManager.SetTargetOptions({});
    // The gamma text names the display gamma the samples are stored for: samples stored
    // for 2.2 show as they are, others are carried over to the display's 2.2 (the colour
    // manager's exponent is 1 / (file gamma x display gamma), so it gets the inverse).
    if (p.FileGamma != 1.0f) {
      ColorManager.SetGamma(1.0f / p.FileGamma, 2.2f);
      ColorManager.SetTargetOptions({coApplyGamma});
      p.Options.Include(ioUseGamma);
    }

    // The row offsets and, for each row, a 2-byte length per channel and packets of
    // which two bytes give at most 128 samples: the file must be able to hold them.
    CheckPictureSize(width, height, int(8 * channels));
    const int64_t tableStart = BasePosition() + kHeaderSize;
    const uint64_t overhead = 4 * uint64_t(height) + 2 * uint64_t(channels) * height;
    const uint64_t stored = uint64_t(std::max<int64_t>(stream.Size() - tableStart, 0));
    CheckPictureData(GraphicText(gsFormatRLA), width, height, uint64_t(width) * height * channels,
                     stored > overhead ? stored - overhead : 0, RunLengthData(128, 1));
    SetPixelFormat(ColorManager.GetPixelFormat(1));
    SetSize(int(width), int(height));
    std::vector<uint32_t> offsets(height);
    stream.Seek(tableStart, soBeginning);
    stream.ReadBuffer(offsets.data(), int64_t(4 * uint64_t(height)));
    ByteSwapLongs(offsets.data(), height);

    TRLADecoder decoder;
    decoder.DecodeInit();
    std::vector<uint8_t> planes(size_t(channels) * width);
    // A sound channel takes at most two bytes per sample; bytes beyond that are not read.
    const size_t rawLimit = 2 * size_t(width);
    std::vector<uint8_t> raw(rawLimit);
    EndProgress();

    StartProgress(gsTransfering);
    for (uint32_t y = 0; y < height; ++y) {
      stream.Seek(BasePosition() + offsets[y], soBeginning);
      std::fill(planes.begin(), planes.end(), 0);
      for (uint32_t c = 0; c < channels; ++c) {
        uint8_t count[2];
        stream.ReadBuffer(count, 2);
        const size_t length = size_t(count[0] << 8 | count[1]);
        const size_t taken = std::min(length, rawLimit);
        stream.ReadBuffer(raw.data(), int64_t(taken));
        if (taken < length) stream.Seek(int64_t(length - taken), soCurrent);
        const void* source = raw.data();
        void* target = &planes[size_t(c) * width];
        decoder.Decode(source, target, int32_t(taken), int32_t(width));
      }
      const uint8_t* plane = planes.data();
      uint8_t* row = ScanLine(int(p.BottomUp ? height - 1 - y : y));
      if (matte)
        ColorManager.ConvertRow({plane, plane + width, plane + 2 * size_t(width), plane + 3 * size_t(width)}, row,
                                width, 0xFF);
      else
        ColorManager.ConvertRow({plane, plane + width, plane + 2 * size_t(width)}, row, width, 0xFF);
      RowProgress(y, height);
    }
    decoder.DecodeEnd();
    EndProgress();
  } catch (...) {
    EndLoad();
    throw;
  }
  EndLoad();
}
