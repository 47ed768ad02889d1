// The PCX reader. The data is expanded whole into a buffer of complete rows (each
// row holds the bytes of every plane in turn), then each row becomes a bitmap row:
// single planes and true-colour planes through the colour manager, planes of one bit
// merged here into 4-bit palette indices.
#include "formats/GraphicFormats_PCX.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/GraphicCompression.h"
#include "formats/GraphicFormats_Reading.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/PictureBounds.h"

namespace {

constexpr int kHeaderSize = 128;
constexpr int kPaletteBlockSize = 769;  // the marker 12 and 256 entries of red, green, blue
// The colour-format error names the format without its screen-capture variant.
constexpr const char* kShortName = "PCX";

struct PcxHeader {
  uint8_t FileId = 0, Version = 0, Encoding = 0, BitsPerPixel = 0;
  uint16_t XMin = 0, YMin = 0, XMax = 0, YMax = 0, HRes = 0, VRes = 0;
  uint8_t ColorMap[48] = {};
  uint8_t Planes = 0;
  uint16_t BytesPerLine = 0, PaletteType = 0;
};

PcxHeader ParseHeader(const uint8_t* b) {
  auto u16 = [&](int at) { return LittleEndian16(b + at); };
  PcxHeader h;
  h.FileId = b[0];
  h.Version = b[1];
  h.Encoding = b[2];
  h.BitsPerPixel = b[3];
  h.XMin = u16(4);
  h.YMin = u16(6);
  h.XMax = u16(8);
  h.YMax = u16(10);
  h.HRes = u16(12);
  h.VRes = u16(14);
  std::memcpy(h.ColorMap, b + 16, 48);
  h.Planes = b[65];
  h.BytesPerLine = u16(66);
  h.PaletteType = u16(68);
  return h;
}

PcxHeader ReadHeader(TStream& stream) { return ReadHeaderBytes<kHeaderSize>(stream, ParseHeader); }

// How the planes of a row make a pixel.
enum class Layout {
  Indexed,    // one plane of 1, 2, 4 or 8 bits: palette indices
  BitPlanes,  // two to four planes of 1 bit: bit k of a 4-bit index from plane k
  RGB,        // three planes of 8 bits: red, green, blue
  RGBA,       // four planes of 8 bits: red, green, blue, alpha
  Unsupported,
};

Layout LayoutOf(const PcxHeader& h) {
  const uint8_t bits = h.BitsPerPixel, planes = h.Planes;
  if (planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8)) return Layout::Indexed;
  if (bits == 1 && planes >= 2 && planes <= 4) return Layout::BitPlanes;
  if (bits == 8 && planes == 3) return Layout::RGB;
  if (bits == 8 && planes == 4) return Layout::RGBA;
  return Layout::Unsupported;
}

// Merges the 1-bit planes of one row into 4-bit indices, two pixels a byte, high
// nibble first: bit k of a pixel's index is its bit in plane k.
void MergeBitPlanes(const uint8_t* row, size_t planeBytes, unsigned planes, uint32_t width, uint8_t* target) {
  std::memset(target, 0, (size_t(width) + 1) / 2);
  for (uint32_t x = 0; x < width; ++x) {
    const size_t byte = x >> 3;
    const unsigned shift = 7 - (x & 7);
    unsigned index = 0;
    for (unsigned k = 0; k < planes; ++k) index |= ((row[k * planeBytes + byte] >> shift) & 1u) << k;
    target[x >> 1] |= uint8_t(index << ((x & 1) ? 0 : 4));
  }
}

}  // namespace

bool TPCXGraphic::CanLoad(TStream& stream) {
  return ProbeHeader(stream, kHeaderSize, [](const uint8_t* b) {
    const PcxHeader h = ParseHeader(b);
    return (h.FileId == 10 || h.FileId == 205) &&
           (h.Version == 0 || h.Version == 2 || h.Version == 3 || h.Version == 5) && h.Encoding <= 1;
  });
}

bool TPCXGraphic::ReadImageProperties(TStream& stream, uint32_t imageIndex) {
  TFormatGraphic::ReadImageProperties(stream, imageIndex);
  const PcxHeader h = ReadHeader(stream);
  if (h.FileId != 10 && h.FileId != 205) return false;
  // Corners the wrong way round span no picture.
  if (h.XMax < h.XMin || h.YMax < h.YMin) return false;
  TImageProperties& p = ImageProperties;
  p.Width = uint32_t(h.XMax - h.XMin) + 1;
  p.Height = uint32_t(h.YMax - h.YMin) + 1;
  p.SamplesPerPixel = h.Planes;
  p.BitsPerSample = h.BitsPerPixel;
  p.BitsPerPixel = uint8_t(h.Planes * h.BitsPerPixel);
  p.ColorScheme = h.Planes * h.BitsPerPixel > 8 ? csRGB : csIndexed;
  p.Compression = h.Encoding == 1 ? ctRLE : ctNone;
  p.XResolution = h.HRes;
  p.YResolution = h.VRes;
  return true;
}

void TPCXGraphic::LoadFromStream(TStream& stream) {
  LoadInFrame(stream, [&] { LoadPicture(stream); });
}

void TPCXGraphic::LoadPicture(TStream& stream) {
  if (!ReadImageProperties(stream, 0)) FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatPCX)});
  stream.Seek(BasePosition(), soBeginning);
  const TImageProperties& p = ImageProperties;
  ProgressRect = TRect(0, 0, int(p.Width), 1);
  StartProgress(gsPreparing);
  const PcxHeader h = ReadHeader(stream);
  const int64_t dataStart = stream.Position();
  int64_t dataSize = std::max<int64_t>(0, stream.Size() - dataStart);

  const Layout layout = LayoutOf(h);
  if (layout == Layout::Unsupported) FormatGraphicError(gsInvalidColorFormat, {std::string(kShortName)});
  // Each plane's part of a row must hold the row's pixels; padding beyond them is
  // allowed up to a sane amount, so that the header cannot make rows of any length.
  const uint64_t planeBytesNeeded = (uint64_t(p.Width) * h.BitsPerPixel + 7) / 8;
  if (h.BytesPerLine < planeBytesNeeded || h.BytesPerLine > planeBytesNeeded + 64)
    FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatPCX)});

  TColorManager& cm = ColorManager;
  cm.SetSourceOptions({});
  cm.SetTargetOptions({});
  const bool trueColour = layout == Layout::RGB || layout == Layout::RGBA;
  // Merged bit planes are 4-bit indices; a 2-bit picture is shown as a 4-bit one.
  const uint8_t sourceBits = layout == Layout::BitPlanes ? 4 : h.BitsPerPixel;
  const uint8_t samples = trueColour ? h.Planes : 1;
  cm.SetSourceColorScheme(trueColour ? (layout == Layout::RGBA ? csRGBA : csRGB) : csIndexed);
  cm.SetTargetColorScheme(trueColour ? (layout == Layout::RGBA ? csBGRA : csBGR) : csIndexed);
  cm.SetSourceBitsPerSample(sourceBits);
  cm.SetTargetBitsPerSample(sourceBits == 2 ? 4 : sourceBits);
  cm.SetSourceSamplesPerPixel(samples);
  cm.SetTargetSamplesPerPixel(samples);
  const TPixelFormat format = cm.GetPixelFormat(1);
  SetPixelFormat(format);

  // The palette: black and white for 1 bit, the header's 16 entries (or a grey ramp)
  // for 4-bit bitmaps, the 256 entries behind the data (marked by the byte 12) for
  // 8-bit ones. Files of version 3 carry no palette and get the system's colours.
  if (!trueColour) {
    if (h.Version == 3 && format != pf1bit) {
      SetPalette(SystemPalette16());
    } else if (format == pf1bit) {
      SetPalette(cm.CreateGrayscalePalette(false));
    } else if (format == pf4bit) {
      SetPalette(h.PaletteType == 2 ? cm.CreateGrayscalePalette(false)
                                    : cm.CreateColorPalette({h.ColorMap}, pdfBytes3, 16, false));
    } else if (dataSize >= kPaletteBlockSize) {
      uint8_t block[kPaletteBlockSize];
      stream.Seek(dataStart + dataSize - kPaletteBlockSize, soBeginning);
      stream.ReadBuffer(block, kPaletteBlockSize);
      if (block[0] == 12) {
        SetPalette(cm.CreateColorPalette({block + 1}, pdfBytes3, 256, false));
        dataSize -= kPaletteBlockSize;
      } else if (h.PaletteType == 2) {
        SetPalette(cm.CreateGrayscalePalette(false));
      }
      stream.Seek(dataStart, soBeginning);
    } else if (h.PaletteType == 2) {
      SetPalette(cm.CreateGrayscalePalette(false));
    }
  }

  const size_t increment = size_t(h.Planes) * h.BytesPerLine;
  const uint64_t needed = uint64_t(increment) * p.Height;
  CheckPictureSize(p.Width, p.Height, BitsPerPixel());
  // A run-length pair of bytes gives at most 63 bytes.
  CheckPictureData(GraphicText(gsFormatPCX), p.Width, p.Height, needed, uint64_t(dataSize),
                   h.Encoding == 1 ? RunLengthData(63, 1) : UncompressedData);
  SetSize(int(p.Width), int(p.Height));

  // The rows, expanded. Run-length data never needs more than two bytes for every
  // byte it gives, so no more than that is read of a longer file.
  TByteBuffer rows(needed);
  if (h.Encoding == 1) {
    // Rows the data does not fill stay zero.
    std::memset(rows.data(), 0, rows.size());
    TByteBuffer packed(size_t(std::min<uint64_t>({uint64_t(dataSize), 2 * needed + 2, INT32_MAX})));
    stream.ReadBuffer(packed.data(), int64_t(packed.size()));
    const void* source = packed.data();
    void* dest = rows.data();
    TPCXRLEDecoder().Decode(source, dest, int32_t(packed.size()), int32_t(needed));
  } else {
    stream.ReadBuffer(rows.data(), int64_t(needed));
  }
  EndProgress();

  StartProgress(gsTransfering);
  const size_t planeBytes = h.BytesPerLine;
  for (uint32_t y = 0; y < p.Height; ++y) {
    const uint8_t* row = rows.data() + size_t(y) * increment;
    uint8_t* target = ScanLine(int(y));
    switch (layout) {
      case Layout::BitPlanes: MergeBitPlanes(row, planeBytes, h.Planes, p.Width, target); break;
      case Layout::RGB: cm.ConvertRow({row, row + planeBytes, row + 2 * planeBytes}, target, p.Width, 0xFF); break;
      case Layout::RGBA:
        cm.ConvertRow({row, row + planeBytes, row + 2 * planeBytes, row + 3 * planeBytes}, target, p.Width, 0xFF);
        break;
      default: cm.ConvertRow({row}, target, p.Width, 0xFF); break;
    }
    RowProgress(y, p.Height);
  }
  EndProgress();
}
