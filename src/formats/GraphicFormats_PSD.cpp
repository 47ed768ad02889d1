// The Photoshop reader. The merged picture is stored channel after channel, each
// channel row after row; the channels a picture shows are read through one window
// each, decoded a row at a time and merged by the colour manager into the bitmap row.
#include "formats/GraphicFormats_PSD.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/GraphicCompression.h"
#include "formats/GraphicFormats_Reading.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/PictureBounds.h"

namespace {

constexpr int kHeaderSize = 26;

struct PsdHeader {
  uint8_t Signature[4] = {};
  uint16_t Version = 0;
  uint16_t Channels = 0;
  uint32_t Rows = 0, Columns = 0;
  uint16_t Depth = 0;
  uint16_t Mode = 0;
};

PsdHeader ParseHeader(const uint8_t* b) {
  PsdHeader h;
  std::memcpy(h.Signature, b, 4);
  h.Version = BigEndian16(b + 4);
  h.Channels = BigEndian16(b + 12);
  h.Rows = BigEndian32(b + 14);
  h.Columns = BigEndian32(b + 18);
  h.Depth = BigEndian16(b + 22);
  h.Mode = BigEndian16(b + 24);
  return h;
}

PsdHeader ReadHeader(TStream& stream) { return ReadHeaderBytes<kHeaderSize>(stream, ParseHeader); }

uint32_t ReadLength(TStream& stream) { return ReadInteger(stream, 4, true); }
uint16_t ReadWord(TStream& stream) { return uint16_t(ReadInteger(stream, 2, true)); }

// Colour modes.
enum : uint16_t {
  kBitmap = 0,
  kGrey = 1,
  kIndexed = 2,
  kRGB = 3,
  kCMYK = 4,
  kMultichannel = 7,
  kDuotone = 8,
  kLab = 9
};

TColorScheme SchemeOf(uint16_t mode, uint16_t channels) {
  switch (mode) {
    case kBitmap:
    case kGrey:
    case kDuotone: return csG;
    case kIndexed: return csIndexed;
    case kRGB:
    case kMultichannel: return channels == 3 ? csRGB : csRGBA;
    case kCMYK: return csCMYK;
    case kLab: return csCIELab;
    default: return csUnknown;
  }
}

}  // namespace

bool TPSDGraphic::CanLoad(TStream& stream) {
  return ProbeHeader(stream, kHeaderSize, [](const uint8_t* b) {
    const PsdHeader h = ParseHeader(b);
    return UpperCase(std::string(reinterpret_cast<const char*>(h.Signature), 4)) == "8BPS" && h.Version == 1;
  });
}

bool TPSDGraphic::ReadImageProperties(TStream& stream, uint32_t imageIndex) {
  TFormatGraphic::ReadImageProperties(stream, imageIndex);
  const PsdHeader h = ReadHeader(stream);
  if (std::memcmp(h.Signature, "8BPS", 4) != 0) return false;
  TImageProperties& p = ImageProperties;
  p.Options.Include(ioBigEndian);
  p.BitsPerSample = uint8_t(h.Depth);
  p.ChannelCount = uint8_t(std::min<uint16_t>(h.Channels, 255));
  p.SamplesPerPixel = uint8_t(std::min<uint16_t>(h.Channels, 4));
  p.BitsPerPixel = uint8_t(p.SamplesPerPixel * p.BitsPerSample);
  p.Width = h.Columns;
  p.Height = h.Rows;
  p.ColorScheme = SchemeOf(h.Mode, h.Channels);
  if (h.Mode == kBitmap) p.Options.Include(ioMinIsWhite);
  // The colour data, the image resources and the layers are passed by their lengths.
  for (int section = 0; section < 3; ++section) {
    const uint32_t length = ReadLength(stream);
    stream.Seek(length, soCurrent);
  }
  p.Compression = ReadWord(stream) == 1 ? ctPackedBits : ctNone;
  return true;
}

void TPSDGraphic::LoadFromStream(TStream& stream) {
  LoadInFrame(stream, [&] { LoadPicture(stream); });
}

void TPSDGraphic::LoadPicture(TStream& stream) {
  if (!ReadImageProperties(stream, 0)) FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatPSD)});
  stream.Seek(BasePosition(), soBeginning);
  const TImageProperties& p = ImageProperties;
  ProgressRect = TRect(0, 0, int(p.Width), 1);
  StartProgress(gsPreparing);
  const PsdHeader h = ReadHeader(stream);
  const TColorScheme scheme = p.ColorScheme;
  const uint32_t width = h.Columns, height = h.Rows;

  // The channels shown: one for grey, bitmap and indexed pictures (further channels,
  // such as a grey picture's alpha, are passed over), three for RGB and Lab, four for
  // RGB with alpha and CMYK. A document must have them, at a depth that fits its mode.
  const unsigned planes = scheme == csRGBA || scheme == csCMYK ? 4 : scheme == csRGB || scheme == csCIELab ? 3 : 1;
  const bool depthFits = h.Mode == kBitmap    ? h.Depth == 1
                         : h.Mode == kIndexed ? h.Depth == 8
                                              : h.Depth == 8 || h.Depth == 16;
  if (scheme == csUnknown || !depthFits || h.Channels < planes)
    FormatGraphicError(gsInvalidColorFormat, {GraphicText(gsFormatPSD)});
  if (width == 0 || height == 0) FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatPSD)});

  TColorManager& cm = ColorManager;
  TConvertOptions options{coNeedByteSwap};
  if (scheme == csCIELab) options = options + coLabByteRange + coLabChromaOffset;
  cm.SetSourceOptions(options);
  cm.SetTargetOptions({});
  cm.SetSourceBitsPerSample(uint8_t(h.Depth));
  cm.SetTargetBitsPerSample(h.Depth == 16 ? 8 : uint8_t(h.Depth));
  cm.SetSourceSamplesPerPixel(uint8_t(planes));
  cm.SetTargetSamplesPerPixel(uint8_t(scheme == csCMYK || scheme == csCIELab ? 3 : planes));
  cm.SetSourceColorScheme(scheme);
  cm.SetTargetColorScheme(scheme == csG || scheme == csIndexed ? scheme : scheme == csRGBA ? csBGRA : csBGR);
  SetPixelFormat(cm.GetPixelFormat(1));

  // The colour data: the palette of indexed pictures (its reds, then its greens, then
  // its blues, a third of the data each, of which 256 entries fit), passed by its length
  // in every other mode.
  const uint32_t colourDataLength = ReadLength(stream);
  const int64_t colourDataStart = stream.Position();
  if (scheme == csG) {
    SetPalette(cm.CreateGrayscalePalette(h.Mode == kBitmap));
  } else if (scheme == csIndexed) {
    const uint32_t count = colourDataLength / 3;
    const uint32_t entries = std::min<uint32_t>(count, 256);
    std::vector<uint8_t> colours(3 * size_t(entries));
    for (uint32_t plane = 0; plane < 3 && entries > 0; ++plane) {
      stream.Seek(colourDataStart + int64_t(plane) * count, soBeginning);
      stream.ReadBuffer(colours.data() + plane * entries, entries);
    }
    SetPalette(cm.CreateColorPalette({colours.data(), colours.data() + entries, colours.data() + 2 * entries},
                                     pdfPlanes8, entries, false));
  }
  stream.Seek(colourDataStart + colourDataLength, soBeginning);
  // The image resources and the layer and mask section.
  for (int section = 0; section < 2; ++section) {
    const uint32_t length = ReadLength(stream);
    stream.Seek(length, soCurrent);
  }
  const uint16_t compression = ReadWord(stream);
  if (compression > 1)
    FormatGraphicError(gsUnsupportedFeature, {GraphicText(gsCompressionScheme), GraphicText(gsFormatPSD)});
  const bool packed = compression == 1;

  const size_t rowBytes = (size_t(width) * h.Depth + 7) / 8;
  CheckPictureSize(width, height, BitsPerPixel());
  int64_t left = std::max<int64_t>(0, stream.Size() - stream.Position());
  // PackBits: a byte count per row of every channel, channel after channel; the table
  // must be in the file before it is read, and only the shown channels' counts are kept.
  std::vector<uint16_t> counts;
  if (packed) {
    const uint64_t tableBytes = 2 * uint64_t(height) * h.Channels;
    CheckPictureData(GraphicText(gsFormatPSD), width, height, tableBytes, uint64_t(left), UncompressedData);
    std::vector<uint8_t> table(2 * size_t(height) * planes);
    stream.ReadBuffer(table.data(), int64_t(table.size()));
    counts.resize(size_t(height) * planes);
    for (size_t i = 0; i < counts.size(); ++i) counts[i] = BigEndian16(table.data() + 2 * i);
    left -= int64_t(tableBytes);
  }
  // Two bytes of PackBits give at most 128 bytes.
  CheckPictureData(GraphicText(gsFormatPSD), width, height, uint64_t(rowBytes) * height * planes, uint64_t(left),
                   packed ? RunLengthData(128, 1) : UncompressedData);
  const int64_t dataStart = stream.Size() - left;
  SetSize(int(width), int(height));
  EndProgress();

  // Where each shown channel's data starts: raw channels are rows of rowBytes, packed
  // ones the sum of their rows' counts, which the file must hold.
  int64_t next[4] = {};
  int64_t start = dataStart;
  for (unsigned k = 0; k < planes; ++k) {
    next[k] = start;
    if (!packed) {
      start += int64_t(rowBytes) * height;
    } else {
      for (uint32_t y = 0; y < height; ++y) start += counts[size_t(k) * height + y];
    }
  }
  CheckPictureData(GraphicText(gsFormatPSD), width, height, uint64_t(start - dataStart), uint64_t(left),
                   UncompressedData);

  StartProgress(gsTransfering);
  std::vector<uint8_t> rows(rowBytes * planes);
  const void* sources[4];
  for (unsigned k = 0; k < planes; ++k) sources[k] = rows.data() + k * rowBytes;
  TFileWindow windows[4];
  TPackbitsRLEDecoder decoder;
  for (uint32_t y = 0; y < height; ++y) {
    for (unsigned k = 0; k < planes; ++k) {
      uint8_t* row = rows.data() + k * rowBytes;
      const size_t stored = packed ? counts[size_t(k) * height + y] : rowBytes;
      size_t available = 0;
      const uint8_t* data = windows[k].Fetch(stream, next[k], stored, available);
      next[k] += int64_t(stored);
      if (packed) {
        std::memset(row, 0, rowBytes);
        const void* source = data;
        void* dest = row;
        decoder.Decode(source, dest, int32_t(available), int32_t(rowBytes));
      } else {
        std::memcpy(row, data, available);
        std::memset(row + available, 0, rowBytes - available);
      }
      // CMYK is stored as 255 minus the ink.
      if (scheme == csCMYK)
        for (size_t i = 0; i < rowBytes; ++i) row[i] = uint8_t(~row[i]);
    }
    cm.ConvertRow(std::span<const void* const>(sources, planes), ScanLine(int(y)), width, 0xFF);
    RowProgress(y, height);
  }
  EndProgress();
}
