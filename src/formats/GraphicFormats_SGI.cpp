// The SGI reader. Each channel is a plane of its own; the rows of the channels a
// picture shows are read through one window per channel (a block of the file around
// the channel's next row), so that the planes, wherever they lie in the file, are read
// in large sequential pieces. Every row, grey ones too, passes the colour manager,
// which scales 16-bit samples to 8 bits.
#include "formats/GraphicFormats_SGI.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "formats/GraphicCompression.h"
#include "formats/GraphicFormats_Reading.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/PictureBounds.h"

namespace {

constexpr int kHeaderSize = 512;
constexpr uint16_t kMagic = 474;

struct SgiHeader {
  uint16_t Magic = 0;
  uint8_t Storage = 0, BytesPerSample = 0;
  uint16_t Dimension = 0, XSize = 0, YSize = 0, ZSize = 0;
};

SgiHeader ParseHeader(const uint8_t* b) {
  auto u16 = [&](int at) { return BigEndian16(b + at); };
  SgiHeader h;
  h.Magic = u16(0);
  h.Storage = b[2];
  h.BytesPerSample = b[3];
  h.Dimension = u16(4);
  h.XSize = u16(6);
  h.YSize = u16(8);
  h.ZSize = u16(10);
  return h;
}

SgiHeader ReadHeader(TStream& stream) { return ReadHeaderBytes<kHeaderSize>(stream, ParseHeader); }

}  // namespace

bool TSGIGraphic::CanLoad(TStream& stream) {
  return ProbeHeader(stream, kHeaderSize, [](const uint8_t* b) {
    const SgiHeader h = ParseHeader(b);
    return h.Magic == kMagic && (h.BytesPerSample == 1 || h.BytesPerSample == 2) && h.Dimension >= 1 &&
           h.Dimension <= 3;
  });
}

bool TSGIGraphic::ReadImageProperties(TStream& stream, uint32_t imageIndex) {
  TFormatGraphic::ReadImageProperties(stream, imageIndex);
  const SgiHeader h = ReadHeader(stream);
  if (h.Magic != kMagic) return false;
  TImageProperties& p = ImageProperties;
  p.Options.Include(ioBigEndian);
  p.BitsPerSample = uint8_t(8 * h.BytesPerSample);
  p.Width = h.XSize;
  p.Height = h.YSize;
  p.SamplesPerPixel = uint8_t(h.ZSize);
  p.ColorScheme = h.ZSize == 3 ? csRGB : h.ZSize == 4 ? csRGBA : csIndexed;
  p.BitsPerPixel = uint8_t(p.BitsPerSample * p.SamplesPerPixel);
  p.Compression = h.Storage == 1 ? ctRLE : ctNone;
  return true;
}

void TSGIGraphic::LoadFromStream(TStream& stream) {
  LoadInFrame(stream, [&] { LoadPicture(stream); });
}

void TSGIGraphic::LoadPicture(TStream& stream) {
  if (!ReadImageProperties(stream, 0)) FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatSGI)});
  const TImageProperties& p = ImageProperties;
  ProgressRect = TRect(0, 0, int(p.Width), 1);
  StartProgress(gsPreparing);
  stream.Seek(BasePosition(), soBeginning);
  const SgiHeader h = ReadHeader(stream);
  const uint32_t width = h.XSize, height = h.YSize;
  const unsigned bytesPerSample = h.BytesPerSample;
  if ((bytesPerSample != 1 && bytesPerSample != 2) || width == 0 || height == 0 || h.ZSize == 0)
    FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatSGI)});
  // Three channels are RGB, four RGB with alpha; the first channel of any other count
  // (grey, grey with alpha) is shown as grey.
  const unsigned channels = h.ZSize == 3 || h.ZSize == 4 ? h.ZSize : 1;
  const bool runLength = h.Storage == 1;

  TColorManager& cm = ColorManager;
  cm.SetSourceOptions({coNeedByteSwap});
  cm.SetTargetOptions({});
  cm.SetSourceBitsPerSample(uint8_t(8 * bytesPerSample));
  cm.SetTargetBitsPerSample(8);
  cm.SetSourceSamplesPerPixel(uint8_t(channels));
  cm.SetTargetSamplesPerPixel(uint8_t(channels));
  cm.SetSourceColorScheme(channels == 4 ? csRGBA : channels == 3 ? csRGB : csIndexed);
  cm.SetTargetColorScheme(channels == 4 ? csBGRA : channels == 3 ? csBGR : csIndexed);
  SetPixelFormat(cm.GetPixelFormat(1));
  if (channels == 1) SetPalette(cm.CreateGrayscalePalette(false));
  CheckPictureSize(width, height, BitsPerPixel());

  const int64_t fileLeft = std::max<int64_t>(0, stream.Size() - BasePosition() - kHeaderSize);
  const size_t rowBytes = size_t(width) * bytesPerSample;
  // The run-length row tables: the start (from the start of the picture) and the size
  // in bytes of row Row of channel k at Row + k * Height.
  std::vector<uint32_t> rowStart, rowSize;
  std::unique_ptr<TSGIRLEDecoder> decoder;
  // A file cut short loads the rows it holds; only a header that promises far more than
  // the file has is refused.
  if (runLength) {
    // The two tables must be in the file, as far as a cut file goes: the entries it
    // does not hold are zero, rows without data. Rows may share their data (a row
    // stored once for several equal rows), so the data itself bounds nothing more; the
    // tables bound the rows and the bitmap's limits the rest.
    const uint64_t entries = uint64_t(height) * h.ZSize;
    CheckPictureData(GraphicText(gsFormatSGI), width, height, 8 * entries, uint64_t(fileLeft), CutUncompressedData);
    const size_t used = size_t(height) * channels;
    std::vector<uint8_t> table(4 * used);
    rowStart.resize(used);
    rowSize.resize(used);
    for (std::vector<uint32_t>* t : {&rowStart, &rowSize}) {
      stream.Seek(BasePosition() + kHeaderSize + (t == &rowSize ? int64_t(4 * entries) : 0), soBeginning);
      const int64_t got = std::max<int64_t>(stream.Read(table.data(), int64_t(table.size())), 0);
      std::fill(table.begin() + got, table.end(), 0);
      for (size_t i = 0; i < used; ++i) (*t)[i] = BigEndian32(table.data() + 4 * i);
    }
    decoder = std::make_unique<TSGIRLEDecoder>(uint8_t(8 * bytesPerSample));
  } else {
    CheckPictureData(GraphicText(gsFormatSGI), width, height, uint64_t(rowBytes) * height * channels,
                     uint64_t(fileLeft), CutUncompressedData);
  }
  SetSize(int(width), int(height));
  EndProgress();

  StartProgress(gsTransfering);
  // One row of each channel shown; rows the file does not hold in full keep zeros.
  std::vector<uint8_t> planes(rowBytes * channels);
  // The most a run-length row of width samples takes: a run of one for every sample
  // (a count and a value each) and the closing count.
  const size_t packedRowMost = bytesPerSample * (2 * size_t(width) + 2);
  TFileWindow windows[4];
  const void* sources[4];
  for (unsigned k = 0; k < channels; ++k) sources[k] = planes.data() + k * rowBytes;
  for (uint32_t y = 0; y < height; ++y) {
    for (unsigned k = 0; k < channels; ++k) {
      uint8_t* plane = planes.data() + k * rowBytes;
      size_t available = 0;
      if (runLength) {
        const size_t entry = y + size_t(k) * height;
        const uint8_t* packed = windows[k].Fetch(stream, BasePosition() + rowStart[entry],
                                                 std::min<size_t>(rowSize[entry], packedRowMost), available);
        std::memset(plane, 0, rowBytes);
        const void* source = packed;
        void* dest = plane;
        decoder->Decode(source, dest, int32_t(available), int32_t(rowBytes));
      } else {
        const int64_t at =
            BasePosition() + kHeaderSize + (int64_t(y) * width + int64_t(k) * width * height) * bytesPerSample;
        const uint8_t* stored = windows[k].Fetch(stream, at, rowBytes, available);
        if (available) std::memcpy(plane, stored, available);
        std::memset(plane + available, 0, rowBytes - available);
      }
    }
    cm.ConvertRow(std::span<const void* const>(sources, channels), ScanLine(int(height - 1 - y)), width, 0xFF);
    RowProgress(y, height);
  }
  EndProgress();
}
