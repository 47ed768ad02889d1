// The Dr. Halo CUT reader and its palette files.
#include "formats/GraphicFormats_CUT.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "formats/GraphicCompression.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/PictureBounds.h"

namespace {

constexpr int kHeaderSize = 6;
// Palette files are read in blocks; an entry never straddles two of them.
constexpr size_t kPaletteBlock = 512;
constexpr size_t kLastEntryStart = 506;
constexpr size_t kFirstEntry = 40;
constexpr size_t kEntrySize = 6;

[[noreturn]] void ReadError() { FormatGraphicError(gsStreamReadError, {GraphicText(gsFormatCUT)}); }

}  // namespace

bool TCUTGraphic::CanLoad(TStream&) { return false; }

void TCUTGraphic::LoadFromFile(const std::string& fileName) {
  paletteFileName_ = ChangeFileExt(fileName, ".pal");
  if (!FileExists(paletteFileName_)) {
    const std::string upper = ChangeFileExt(fileName, ".PAL");
    if (FileExists(upper)) paletteFileName_ = upper;
  }
  TFormatGraphic::LoadFromFile(fileName);
}

bool TCUTGraphic::ReadImageProperties(TStream& stream, uint32_t imageIndex) {
  TFormatGraphic::ReadImageProperties(stream, imageIndex);
  uint8_t b[kHeaderSize];
  if (stream.Read(b, kHeaderSize) != kHeaderSize) return false;
  TImageProperties& p = ImageProperties;
  p.Width = uint32_t(b[0] | b[1] << 8);
  p.Height = uint32_t(b[2] | b[3] << 8);
  p.ColorScheme = csIndexed;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
  p.BitsPerPixel = 8;
  p.Compression = ctRLE;
  return p.Width > 0 && p.Height > 0;
}

// The palette file's entries (at most 256; a file may name more), or a grey ramp
// when there is no palette file. Entries hold red, green and blue as 16-bit values
// of which the low byte counts.
TPalette TCUTGraphic::LoadPalette() const {
  if (paletteFileName_.empty() || !FileExists(paletteFileName_)) {
    std::vector<TPaletteEntry> grey(256);
    for (int i = 0; i < 256; ++i) grey[size_t(i)] = PaletteEntry(uint8_t(i), uint8_t(i), uint8_t(i));
    return TPalette(std::move(grey));
  }
  TFileStream file(paletteFileName_, fmOpenRead | fmShareDenyNone);
  uint8_t block[kPaletteBlock];
  size_t filled = size_t(std::max<int64_t>(file.Read(block, kPaletteBlock), 0));
  if (filled < 14) ReadError();
  const size_t count = std::min<size_t>(size_t(block[12] | block[13] << 8) + 1, MaxPaletteEntries);
  std::vector<TPaletteEntry> entries(count);
  size_t at = kFirstEntry;
  for (TPaletteEntry& e : entries) {
    if (at > kLastEntryStart) {
      filled = size_t(std::max<int64_t>(file.Read(block, kPaletteBlock), 0));
      at = 0;
    }
    if (at + kEntrySize > filled) ReadError();
    e = PaletteEntry(block[at], block[at + 2], block[at + 4]);
    at += kEntrySize;
  }
  return TPalette(std::move(entries));
}

void TCUTGraphic::LoadFromStream(TStream& stream) {
  BeginLoad(stream);
  try {
    if (!ReadImageProperties(stream, 0)) FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatCUT)});
    const uint32_t width = ImageProperties.Width, height = ImageProperties.Height;
    // Every row takes its 2-byte length and its closing 0, and a packet of two bytes
    // gives at most 127 pixels: the file must be able to hold that much.
    CheckPictureSize(width, height, 8);
    const uint64_t stored = uint64_t(std::max<int64_t>(stream.Size() - BasePosition() - kHeaderSize, 0));
    const uint64_t rowOverhead = 3 * uint64_t(height);
    CheckPictureData(GraphicText(gsFormatCUT), width, height, uint64_t(width) * height,
                     stored > rowOverhead ? stored - rowOverhead : 0, RunLengthData(127, 1));
    stream.Seek(BasePosition() + kHeaderSize, soBeginning);
    ProgressRect = TRect(0, 0, int(width), 0);
    StartProgress(gsTransfering);

    SetPixelFormat(pf8bit);
    SetPalette(LoadPalette());
    SetSize(int(width), int(height));

    // The rows' data: a sound row takes at most two bytes per pixel, its length and its
    // closing 0, so no more than that is read however large the file is.
    const size_t size = size_t(std::min<uint64_t>(stored, uint64_t(height) * (2 * uint64_t(width) + 3)));
    std::unique_ptr<uint8_t[]> data(new uint8_t[size]);
    stream.ReadBuffer(data.get(), int64_t(size));
    const uint8_t* const end = data.get() + size;
    TCUTRLEDecoder decoder;
    decoder.DecodeInit();
    const void* source = data.get();
    for (uint32_t y = 0; y < height; ++y) {
      // Data that ends before the last row is a truncated file.
      if (source == end) ReadError();
      void* target = ScanLine(int(y));
      decoder.Decode(source, target, int32_t(std::min<ptrdiff_t>(end - static_cast<const uint8_t*>(source), INT32_MAX)),
                     int32_t(width));
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
