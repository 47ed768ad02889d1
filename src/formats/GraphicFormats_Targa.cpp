// The Targa reader and writer. File rows are moved between file and bitmap without
// conversion: a Targa pixel is stored blue, green, red (alpha), as a bitmap row is.
#include "formats/GraphicFormats_Targa.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "formats/GraphicCompression.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/PictureBounds.h"

namespace {

struct TargaHeader {
  uint8_t IDLength = 0;
  uint8_t ColorMapType = 0;
  uint8_t ImageType = 0;
  uint16_t ColorMapOrigin = 0;
  uint16_t ColorMapSize = 0;
  uint8_t ColorMapEntrySize = 0;
  uint16_t XOrigin = 0, YOrigin = 0;
  uint16_t Width = 0, Height = 0;
  uint8_t PixelSize = 0;
  uint8_t ImageDescriptor = 0;
};
constexpr int kHeaderSize = 18;

TargaHeader ReadHeader(TStream& stream) {
  uint8_t b[kHeaderSize];
  stream.ReadBuffer(b, kHeaderSize);
  auto u16 = [&](int at) { return uint16_t(b[at] | b[at + 1] << 8); };
  TargaHeader h;
  h.IDLength = b[0];
  h.ColorMapType = b[1];
  h.ImageType = b[2];
  h.ColorMapOrigin = u16(3);
  h.ColorMapSize = u16(5);
  h.ColorMapEntrySize = b[7];
  h.XOrigin = u16(8);
  h.YOrigin = u16(10);
  h.Width = u16(12);
  h.Height = u16(14);
  h.PixelSize = b[16];
  h.ImageDescriptor = b[17];
  return h;
}

void WriteHeader(TStream& stream, const TargaHeader& h) {
  uint8_t b[kHeaderSize];
  auto put16 = [&](int at, uint16_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); };
  b[0] = h.IDLength;
  b[1] = h.ColorMapType;
  b[2] = h.ImageType;
  put16(3, h.ColorMapOrigin);
  put16(5, h.ColorMapSize);
  b[7] = h.ColorMapEntrySize;
  put16(8, h.XOrigin);
  put16(10, h.YOrigin);
  put16(12, h.Width);
  put16(14, h.Height);
  b[16] = h.PixelSize;
  b[17] = h.ImageDescriptor;
  stream.WriteBuffer(b, kHeaderSize);
}

bool IsGrey(uint8_t imageType) { return imageType == 3 || imageType == 11; }
bool IsRaw(uint8_t imageType) { return imageType >= 1 && imageType <= 3; }
bool IsRunLength(uint8_t imageType) { return imageType >= 9 && imageType <= 11; }

}  // namespace

bool TTargaGraphic::CanLoad(TStream& stream) {
  const int64_t start = stream.Position();
  if (stream.Size() - start <= kHeaderSize) return false;
  bool ok = false;
  try {
    const TargaHeader h = ReadHeader(stream);
    const uint8_t t = h.ImageType;
    ok = (t <= 3 || (t >= 9 && t <= 11)) && h.ColorMapType <= 1 &&
         (h.ColorMapEntrySize == 15 || h.ColorMapEntrySize == 16 || h.ColorMapEntrySize == 24 ||
          h.ColorMapEntrySize == 32) &&
         (h.PixelSize == 8 || h.PixelSize == 15 || h.PixelSize == 16 || h.PixelSize == 24 || h.PixelSize == 32);
  } catch (const EReadError&) {
    ok = false;
  }
  stream.Seek(start, soBeginning);
  return ok;
}

bool TTargaGraphic::ReadImageProperties(TStream& stream, uint32_t imageIndex) {
  TFormatGraphic::ReadImageProperties(stream, imageIndex);
  const TargaHeader h = ReadHeader(stream);
  TImageProperties& p = ImageProperties;
  switch (h.PixelSize) {
    case 8:
      p.ColorScheme = IsGrey(h.ImageType) ? csG : csIndexed;
      p.BitsPerSample = 8;
      p.SamplesPerPixel = 1;
      break;
    case 16:
      if (IsGrey(h.ImageType)) {  // grey and alpha, one byte each
        p.ColorScheme = csGA;
        p.BitsPerSample = 8;
        p.SamplesPerPixel = 2;
        break;
      }
      [[fallthrough]];
    case 15:
      p.ColorScheme = csRGB;
      p.BitsPerSample = 5;
      p.SamplesPerPixel = 3;
      break;
    case 24:
      p.ColorScheme = csRGB;
      p.BitsPerSample = 8;
      p.SamplesPerPixel = 3;
      break;
    case 32:
      p.ColorScheme = csRGBA;
      p.BitsPerSample = 8;
      p.SamplesPerPixel = 4;
      break;
    default:
      p.ColorScheme = csUnknown;
      p.BitsPerSample = 8;
      p.SamplesPerPixel = 0;
      break;
  }
  p.BitsPerPixel = uint8_t(p.SamplesPerPixel * p.BitsPerSample);
  p.Compression = IsRunLength(h.ImageType) ? ctRLE : ctNone;
  p.Width = h.Width;
  p.Height = h.Height;
  // The descriptor's low four bits count the alpha bits of a pixel.
  p.HasAlpha = (h.ImageDescriptor & 0x0F) != 0 && (p.ColorScheme == csRGBA || p.ColorScheme == csGA);
  return true;
}

void TTargaGraphic::LoadFromStream(TStream& stream) {
  BeginLoad(stream);
  try {
    if (!ReadImageProperties(stream, 0)) {
      EndLoad();
      return;
    }
    stream.Seek(BasePosition(), soBeginning);
    const TImageProperties& p = ImageProperties;
    // A picture without width or height is no picture.
    if (p.Width == 0 || p.Height == 0) FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatTarga)});
    ProgressRect = TRect(0, 0, int(p.Width), 1);
    StartProgress(gsPreparing);

    const TargaHeader h = ReadHeader(stream);
    const bool topDown = (h.ImageDescriptor & 0x20) != 0;
    const bool rightToLeft = (h.ImageDescriptor & 0x10) != 0;
    stream.Seek(h.IDLength, soCurrent);

    // Grey pictures with alpha are shown as 8-bit grey (the alpha is dropped); every
    // other picture's rows are copied as they are. 15-bit pixels take two bytes like
    // 16-bit ones.
    const bool greyAlpha = p.ColorScheme == csGA;
    const size_t bytesPerPixel = (size_t(h.PixelSize) + 7) / 8;
    CheckPictureSize(p.Width, p.Height, greyAlpha ? 8 : int(std::max<size_t>(bytesPerPixel, 1) * 8));
    ColorManager.SetSourceSamplesPerPixel(p.SamplesPerPixel);
    ColorManager.SetTargetSamplesPerPixel(greyAlpha ? 1 : p.SamplesPerPixel);
    ColorManager.SetSourceColorScheme(p.ColorScheme);
    ColorManager.SetSourceOptions({});
    ColorManager.SetTargetColorScheme(greyAlpha ? csG : csBGR);
    ColorManager.SetSourceBitsPerSample(p.BitsPerSample);
    ColorManager.SetTargetBitsPerSample(p.BitsPerSample);
    SetPixelFormat(ColorManager.GetPixelFormat(1));

    // The colour map. Its entries start at palette index ColorMapOrigin; only 256
    // fit the palette, but the whole map is consumed so that the pixels follow it.
    if (h.ColorMapType == 1 || IsGrey(h.ImageType)) {
      const size_t entryBytes = (size_t(h.ColorMapEntrySize) + 7) / 8;
      const size_t mapBytes = h.ColorMapType == 1 ? entryBytes * h.ColorMapSize : 0;
      std::vector<uint8_t> map(mapBytes);
      if (mapBytes) stream.ReadBuffer(map.data(), int64_t(mapBytes));
      if (IsGrey(h.ImageType)) {
        SetPalette(ColorManager.CreateGrayscalePalette(false));
      } else if (h.ColorMapType == 1) {
        const size_t origin = std::min<size_t>(h.ColorMapOrigin, MaxPaletteEntries);
        const size_t count = std::min<size_t>(h.ColorMapSize, MaxPaletteEntries - origin);
        if (count == 0) {
          // An empty map: indices without an entry show black.
          SetPalette(TPalette(std::vector<TPaletteEntry>(std::max<size_t>(origin, 1))));
        } else if (h.ColorMapEntrySize == 24 || h.ColorMapEntrySize == 32) {
          std::vector<uint8_t> entries((origin + count) * entryBytes, 0);
          std::memcpy(entries.data() + origin * entryBytes, map.data(), count * entryBytes);
          SetPalette(ColorManager.CreateColorPalette({entries.data()}, entryBytes == 3 ? pdfBytes3 : pdfBytes4,
                                                     uint32_t(origin + count), true));
        } else if (h.ColorMapEntrySize == 15 || h.ColorMapEntrySize == 16) {
          std::vector<TPaletteEntry> entries(origin + count);
          for (size_t i = 0; i < count; ++i) {
            const unsigned w = map[2 * i] | map[2 * i + 1] << 8;
            entries[origin + i] = PaletteEntry(uint8_t((w & 0x7C00) >> 7), uint8_t((w & 0x3E0) >> 2),
                                               uint8_t((w & 0x1F) << 3));
          }
          SetPalette(TPalette(std::move(entries)));
        }
      }
    }

    // The rest of the file must be able to hold the pixels before the bitmap is made:
    // raw pixels are all stored (a file cut short loads the rows it holds, so only a
    // header that promises far more is refused), a run-length packet of one byte and
    // one pixel gives at most 128 pixels, and the other types (such as type 0) store
    // none at all.
    const size_t rowSize = size_t(p.Width) * bytesPerPixel;
    const bool hasPixels = IsRaw(h.ImageType) || IsRunLength(h.ImageType);
    CheckPictureData(GraphicText(gsFormatTarga), p.Width, p.Height, uint64_t(p.Width) * p.Height,
                     hasPixels ? uint64_t(std::max<int64_t>(0, stream.Size() - stream.Position())) : 0,
                     IsRunLength(h.ImageType) ? RunLengthData(128, bytesPerPixel)
                                              : CutShort({1, std::max<size_t>(bytesPerPixel, 1)}));
    SetSize(int(p.Width), int(p.Height));
    EndProgress();
    StartProgress(gsTransfering);

    const int height = int(p.Height);
    const uint32_t width = p.Width;
    const size_t targetBytesPerPixel = greyAlpha ? 1 : bytesPerPixel;
    // The fourth byte of a 32-bit pixel is alpha only where the descriptor declares
    // alpha bits; without them the pixels are opaque.
    const bool opaque = h.PixelSize == 32 && !p.HasAlpha;
    std::vector<uint8_t> scratch(greyAlpha ? rowSize : 0);
    // Where row i of the file goes, and what is done with it once it is filled.
    auto rowBuffer = [&](int i) { return greyAlpha ? scratch.data() : ScanLine(topDown ? i : height - 1 - i); };
    auto finishRow = [&](int i) {
      uint8_t* target = ScanLine(topDown ? i : height - 1 - i);
      if (greyAlpha) ColorManager.ConvertRow({scratch.data()}, target, width, 0xFF);
      if (opaque)
        for (uint32_t x = 0; x < width; ++x) target[4 * x + 3] = 255;
      // Pixels stored right to left are turned round.
      if (rightToLeft) {
        for (size_t l = 0, r = width - 1; l < r; ++l, --r)
          std::swap_ranges(target + l * targetBytesPerPixel, target + (l + 1) * targetBytesPerPixel,
                           target + r * targetBytesPerPixel);
      }
      RowProgress(uint32_t(i), p.Height);
    };
    if (IsRaw(h.ImageType)) {
      for (int i = 0; i < height; ++i) {
        uint8_t* row = rowBuffer(i);
        const int64_t got = std::max<int64_t>(stream.Read(row, int64_t(rowSize)), 0);
        std::memset(row + got, 0, rowSize - size_t(got));
        finishRow(i);
      }
    } else if (IsRunLength(h.ImageType) && rowSize > 0) {
      // Packets may run across rows: the decoder carries them over. The packed bytes
      // are read in large blocks; a block is refilled when less than two rows are left.
      TTargaRLEDecoder decoder(h.PixelSize);
      decoder.DecodeInit();
      const size_t capacity = std::max<size_t>(2 * rowSize, size_t(1) << 20);
      std::unique_ptr<uint8_t[]> buffer(new uint8_t[capacity]);
      size_t start = 0, filled = 0;
      bool streamEnded = false;
      for (int i = 0; i < height; ++i) {
        if (!streamEnded && filled - start < 2 * rowSize) {
          std::memmove(buffer.get(), buffer.get() + start, filled - start);
          filled -= start;
          start = 0;
          const int64_t got = stream.Read(buffer.get() + filled, int64_t(capacity - filled));
          if (got <= 0) streamEnded = true;
          filled += size_t(std::max<int64_t>(got, 0));
        }
        const void* src = buffer.get() + start;
        void* dst = rowBuffer(i);
        decoder.Decode(src, dst, int32_t(filled - start), int32_t(width));
        start = size_t(static_cast<const uint8_t*>(src) - buffer.get());
        finishRow(i);
      }
      // The stream stands just behind the bytes consumed.
      stream.Seek(-int64_t(filled - start), soCurrent);
    }
    EndProgress();
  } catch (...) {
    EndLoad();
    throw;
  }
  EndLoad();
}

void TTargaGraphic::SaveToStream(TStream& stream) { SaveToStream(stream, true); }

void TTargaGraphic::SaveToStream(TStream& stream, bool compressed) {
  ProgressRect = TRect(0, 0, Width(), 1);
  StartProgress(gsPreparing);
  int bytesPerPixel;
  switch (PixelFormat()) {
    case pf1bit:
    case pf4bit:
      SetPixelFormat(pf8bit);
      bytesPerPixel = 1;
      break;
    case pf8bit: bytesPerPixel = 1; break;
    case pf15bit:
    case pf16bit: bytesPerPixel = 2; break;
    case pf24bit: bytesPerPixel = 3; break;
    default: bytesPerPixel = 4; break;  // 32-bit, and device bitmaps laid out like them
  }
  if (Empty()) {
    EndProgress();
    return;
  }
  TargaHeader h;
  h.ColorMapType = bytesPerPixel == 1 ? 1 : 0;
  h.ImageType = uint8_t(bytesPerPixel == 1 ? (compressed ? 9 : 1) : (compressed ? 10 : 2));
  h.ColorMapSize = 256;
  h.ColorMapEntrySize = 24;
  h.Width = uint16_t(Width());
  h.Height = uint16_t(Height());
  h.PixelSize = uint8_t(8 * bytesPerPixel);
  h.ImageDescriptor = 0x20;
  WriteHeader(stream, h);
  if (h.ColorMapType == 1) {
    // Entries the palette does not have are written black.
    uint8_t map[256 * 3] = {};
    const TPalette palette = Palette();
    for (int i = 0; i < palette.Count() && i < 256; ++i) {
      const TPaletteEntry& e = palette.Entry(i);
      map[3 * i] = e.peBlue;
      map[3 * i + 1] = e.peGreen;
      map[3 * i + 2] = e.peRed;
    }
    stream.WriteBuffer(map, sizeof map);
  }
  EndProgress();
  StartProgress(gsTransfering);

  const uint32_t width = uint32_t(Width());
  const size_t rowSize = size_t(width) * size_t(bytesPerPixel);
  TTargaRLEDecoder encoder(h.PixelSize);
  std::vector<uint8_t> packed(compressed ? encoder.MaxEncodedSize(width) : 0);
  // A 16-bit bitmap (5-6-5) is written as Targa's 5-5-5.
  const bool sixBitGreen = PixelFormat() == pf16bit;
  std::vector<uint8_t> converted(sixBitGreen ? rowSize : 0);
  for (int y = 0; y < Height(); ++y) {
    const uint8_t* row = ScanLine(y);
    if (sixBitGreen) {
      for (uint32_t x = 0; x < width; ++x) {
        const unsigned v = row[2 * x] | row[2 * x + 1] << 8;
        const unsigned w = (v >> 1 & 0x7FE0) | (v & 0x1F);
        converted[2 * x] = uint8_t(w);
        converted[2 * x + 1] = uint8_t(w >> 8);
      }
      row = converted.data();
    }
    if (compressed) {
      uint32_t stored = 0;
      encoder.Encode(row, packed.data(), stored, width);
      stream.WriteBuffer(packed.data(), stored);
    } else {
      stream.WriteBuffer(row, int64_t(rowSize));
    }
    Progress(this, psRunning, 0, true, ProgressRect, std::string());
    ProgressRect.Top += 1;
    ProgressRect.Bottom += 1;
  }
  EndProgress();
}
