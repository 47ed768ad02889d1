// The Autodesk Animator cel reader.
#include "formats/GraphicFormats_Cel.h"

#include <algorithm>

#include "formats/GraphicStrings.h"
#include "platform/graphics/PictureBounds.h"

namespace {

constexpr int kHeaderSize = 32;
constexpr int kPaletteSize = 768;
constexpr uint16_t kFileId = 0x9119;

struct CelHeader {
  uint16_t FileId = 0;
  uint16_t Width = 0, Height = 0;
  uint8_t Depth = 0, Compression = 0;
};

// The header fields from its 32 bytes (little-endian).
CelHeader ParseHeader(const uint8_t* b) {
  CelHeader h;
  h.FileId = uint16_t(b[0] | b[1] << 8);
  h.Width = uint16_t(b[2] | b[3] << 8);
  h.Height = uint16_t(b[4] | b[5] << 8);
  h.Depth = b[10];
  h.Compression = b[11];
  return h;
}

}  // namespace

bool TAutodeskGraphic::CanLoad(TStream& stream) {
  const int64_t start = stream.Position();
  bool ok = false;
  uint8_t b[kHeaderSize];
  if (stream.Size() - start > kHeaderSize && stream.Read(b, kHeaderSize) == kHeaderSize) {
    const CelHeader h = ParseHeader(b);
    ok = h.FileId == kFileId && h.Depth == 8 && h.Compression == 0;
  }
  stream.SetPosition(start);
  return ok;
}

bool TAutodeskGraphic::ReadImageProperties(TStream& stream, uint32_t imageIndex) {
  TFormatGraphic::ReadImageProperties(stream, imageIndex);
  uint8_t b[kHeaderSize];
  if (stream.Read(b, 2) != 2) return false;
  const uint16_t id = uint16_t(b[0] | b[1] << 8);
  if (id != kFileId || stream.Read(b + 2, kHeaderSize - 2) != kHeaderSize - 2) return false;
  const CelHeader h = ParseHeader(b);
  TImageProperties& p = ImageProperties;
  p.ColorScheme = csIndexed;
  p.Width = h.Width;
  p.Height = h.Height;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
  p.BitsPerPixel = 8;
  p.Compression = ctNone;
  // A picture without pixels is no picture.
  return p.Width > 0 && p.Height > 0;
}

void TAutodeskGraphic::LoadFromStream(TStream& stream) {
  BeginLoad(stream);
  try {
    if (!ReadImageProperties(stream, 0)) FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatCEL)});
    const TImageProperties& p = ImageProperties;
    // The palette and the rows must be in the file, as far as a cut file goes, before
    // anything is sized by the header; a cut file loads the rows it holds.
    CheckPictureSize(p.Width, p.Height, 8);
    const int64_t rest = stream.Size() - BasePosition() - kHeaderSize;
    CheckPictureData(GraphicText(gsFormatCEL), p.Width, p.Height, uint64_t(kPaletteSize) + uint64_t(p.Width) * p.Height,
                     uint64_t(std::max<int64_t>(rest, 0)), CutUncompressedData);
    stream.Seek(BasePosition() + kHeaderSize, soBeginning);
    ProgressRect = TRect(0, 0, int(p.Width), 1);
    StartProgress(gsTransfering);

    // 6-bit components: 63 becomes 252. Larger values than 63 are taken as 63.
    // What a cut file does not hold stays black.
    uint8_t map[kPaletteSize] = {};
    stream.Read(map, kPaletteSize);
    std::vector<TPaletteEntry> entries(256);
    for (size_t i = 0; i < entries.size(); ++i)
      entries[i] = PaletteEntry(uint8_t(std::min<uint8_t>(map[3 * i], 63) * 4),
                                uint8_t(std::min<uint8_t>(map[3 * i + 1], 63) * 4),
                                uint8_t(std::min<uint8_t>(map[3 * i + 2], 63) * 4));
    SetPixelFormat(pf8bit);
    SetPalette(TPalette(std::move(entries)));
    SetSize(int(p.Width), int(p.Height));
    for (uint32_t y = 0; y < p.Height; ++y) {
      stream.Read(ScanLine(int(y)), p.Width);
      RowProgress(y, p.Height);
    }
    EndProgress();
  } catch (...) {
    EndLoad();
    throw;
  }
  EndLoad();
}
