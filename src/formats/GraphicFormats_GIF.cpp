// The GIF reader of the format library.
#include "formats/GraphicFormats_GIF.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "formats/GraphicCompression.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/PictureBounds.h"

namespace {

constexpr int kHeaderSize = 6;
constexpr int kScreenSize = 7;
constexpr int kDescriptorSize = 9;
constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;

// The most LZW data expands: an entry is at most one byte longer than the one before
// it, so none of the 4096 is longer than 4096 bytes, and the codes that reach the
// longest entries are 12 bits wide: at most 4096 bytes per 12 bits.
constexpr TDataExpansion kLZWData{8192, 3};

uint8_t ReadByte(TStream& stream) {
  uint8_t b;
  stream.ReadBuffer(&b, 1);
  return b;
}

uint16_t Word(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// Skips data sub-blocks up to and including the empty block that ends them.
void SkipSubBlocks(TStream& stream) {
  while (const uint8_t size = ReadByte(stream)) stream.Seek(size, soCurrent);
}

// Skips extension blocks (and stray bytes between blocks) up to an image descriptor
// or the trailer; returns the separator found. Every extension, whatever its label,
// is a sequence of data sub-blocks.
uint8_t SkipExtensions(TStream& stream) {
  for (;;) {
    const uint8_t b = ReadByte(stream);
    if (b == kImageSeparator || b == kTrailer) return b;
    if (b == kExtensionIntroducer) {
      ReadByte(stream);  // the label
      SkipSubBlocks(stream);
    }
  }
}

// Bits per index of a colour table from the size exponent of its packed fields.
uint8_t TableBits(uint8_t packed) { return uint8_t((packed & 7) + 1); }
size_t TableEntries(uint8_t packed) { return size_t(2) << (packed & 7); }

// A colour table of the size its packed fields give: entries of red, green and blue.
TPalette ReadColorTable(TStream& stream, uint8_t packed) {
  uint8_t table[256 * 3];
  const size_t entries = TableEntries(packed);
  stream.ReadBuffer(table, int64_t(3 * entries));
  std::vector<TPaletteEntry> palette(entries);
  for (size_t i = 0; i < entries; ++i) palette[i] = PaletteEntry(table[3 * i], table[3 * i + 1], table[3 * i + 2]);
  return TPalette(std::move(palette));
}

}  // namespace

bool TGIFGraphic::CanLoad(TStream& stream) {
  const int64_t start = stream.Position();
  bool ok = false;
  uint8_t b[3];
  if (stream.Size() - start > 22 && stream.Read(b, 3) == 3)
    ok = std::toupper(b[0]) == 'G' && std::toupper(b[1]) == 'I' && std::toupper(b[2]) == 'F';
  stream.SetPosition(start);
  return ok;
}

bool TGIFGraphic::ReadImageProperties(TStream& stream, uint32_t imageIndex) {
  TFormatGraphic::ReadImageProperties(stream, imageIndex);
  uint8_t header[kHeaderSize];
  if (stream.Read(header, kHeaderSize) != kHeaderSize) return false;
  if (std::toupper(header[0]) != 'G' || std::toupper(header[1]) != 'I' || std::toupper(header[2]) != 'F') return false;
  if (!std::isdigit(header[3]) || !std::isdigit(header[4])) return false;
  TImageProperties& p = ImageProperties;
  p.Version = uint32_t((header[3] - '0') * 10 + (header[4] - '0'));
  uint8_t screen[kScreenSize];
  stream.ReadBuffer(screen, kScreenSize);
  p.ColorScheme = csIndexed;
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 8;
  p.Compression = ctLZW;
  if (screen[4] & 0x80) {
    p.BitsPerSample = TableBits(screen[4]);
    stream.Seek(int64_t(3 * TableEntries(screen[4])), soCurrent);
  }
  uint16_t width = 0, height = 0;
  if (SkipExtensions(stream) == kImageSeparator) {
    uint8_t d[kDescriptorSize];
    stream.ReadBuffer(d, kDescriptorSize);
    width = Word(d + 4);
    height = Word(d + 6);
    p.LocalColorTable = (d[8] & 0x80) != 0;
    p.Interlaced = (d[8] & 0x40) != 0;
    if (p.LocalColorTable) p.BitsPerSample = TableBits(d[8]);
  }
  p.Width = width != 0 ? width : Word(screen);
  p.Height = height != 0 ? height : Word(screen + 2);
  p.BitsPerPixel = uint8_t(p.SamplesPerPixel * p.BitsPerSample);
  return true;
}

void TGIFGraphic::LoadFromStream(TStream& stream) {
  BeginLoad(stream);
  try {
    if (!ReadImageProperties(stream, 0)) FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatGIF)});
    const uint32_t width = ImageProperties.Width, height = ImageProperties.Height;
    ProgressRect = TRect(0, 0, int(width), 1);
    StartProgress(gsPreparing);
    stream.Seek(BasePosition() + kHeaderSize, soBeginning);
    SetPixelFormat(pf8bit);

    uint8_t screen[kScreenSize];
    stream.ReadBuffer(screen, kScreenSize);
    if (screen[4] & 0x80) SetPalette(ReadColorTable(stream, screen[4]));
    const uint8_t found = SkipExtensions(stream);
    EndProgress();
    if (found != kImageSeparator) {
      EndLoad();
      return;
    }

    StartProgress(gsLoadingData);
    uint8_t d[kDescriptorSize];
    stream.ReadBuffer(d, kDescriptorSize);
    // A local table takes the place of the first entries; the palette then holds as
    // many entries as the local table.
    if (d[8] & 0x80) SetPalette(ReadColorTable(stream, d[8]));
    CheckPictureSize(width, height, 8);

    // The image data: the LZW code size, then sub-blocks up to an empty one (or the
    // end of the file).
    const uint8_t codeSize = ReadByte(stream);
    std::vector<uint8_t> packed;
    for (;;) {
      uint8_t size;
      if (stream.Read(&size, 1) != 1 || size == 0) break;
      const size_t at = packed.size();
      packed.resize(at + size);
      stream.ReadBuffer(packed.data() + at, size);
    }
    const uint64_t pixels = uint64_t(width) * height;
    CheckPictureData(GraphicText(gsFormatGIF), width, height, pixels, packed.size(), kLZWData);
    std::vector<uint8_t> indices(pixels);
    {
      TGIFLZWDecoder decoder(codeSize);
      const void* source = packed.data();
      void* target = indices.data();
      decoder.DecodeInit();
      decoder.Decode(source, target, int32_t(std::min<size_t>(packed.size(), INT32_MAX)), int32_t(pixels));
      decoder.DecodeEnd();
    }
    EndProgress();

    StartProgress(gsTransfering);
    SetSize(int(width), int(height));
    const uint8_t* row = indices.data();
    if (ImageProperties.Interlaced) {
      // Four passes: every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
      static const uint32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (uint32_t y = kStart[pass]; y < height; y += kStep[pass], row += width) {
          std::memcpy(ScanLine(int(y)), row, width);
          if (pass == 3) RowProgress(y, height);
        }
    } else {
      for (uint32_t y = 0; y < height; ++y, row += width) {
        std::memcpy(ScanLine(int(y)), row, width);
        RowProgress(y, height);
      }
    }
    EndProgress();
  } catch (...) {
    EndLoad();
    throw;
  }
  EndLoad();
}
