// BMP files: reading every common variant (core, info, V4 and V5 headers; 1 to 32
// bits; RLE4, RLE8 and bit fields; both row directions) with every size checked
// against the data, and writing bottom-up files.
#include <algorithm>
#include <cstring>

#include "platform/graphics/GraphicsInternal.h"
#include "platform/i18n/GnuGetText.h"

namespace graphics_internal {

namespace {

constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6;

[[noreturn]] void Invalid() { throw EInvalidGraphic(_("Bitmap image is not valid")); }

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// Reads up to count bytes; returns how many came.
int64_t ReadSome(TStream& stream, uint8_t* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    int64_t n = stream.Read(buffer + done, count - done);
    if (n <= 0) break;
    done += n;
  }
  return done;
}

// Position of the lowest set bit and the width of a contiguous mask.
struct MaskField {
  uint32_t mask = 0;
  int shift = 0, bits = 0;
  explicit MaskField(uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
  }
  uint8_t Extract(uint32_t v) const {
    if (!bits) return 0;
    uint32_t x = (v & mask) >> shift;
    if (bits >= 8) return uint8_t(x >> (bits - 8));
    // Spread a narrow field over 0..255.
    uint32_t max = (1u << bits) - 1;
    return uint8_t((x * 255 + max / 2) / max);
  }
};

// Decodes RLE8 or RLE4 data into the bitmap's index rows (the file's rows run bottom-up).
void DecodeRle(const std::vector<uint8_t>& data, TBitmap& bitmap, bool rle4) {
  const int w = bitmap.Width(), h = bitmap.Height();
  const int bits = rle4 ? 4 : 8;
  int x = 0, y = 0;
  size_t i = 0;
  auto put = [&](int index) {
    if (x < w && y < h) SetIndex(bitmap.ScanLine(h - 1 - y), bits, x, index);
    ++x;
  };
  while (i + 1 < data.size() && y < h) {
    uint8_t count = data[i], value = data[i + 1];
    i += 2;
    if (count > 0) {
      if (x >= w) continue;  // a run beyond the row's end paints nothing
      for (int k = 0; k < count && x < w; ++k) put(rle4 ? ((k & 1) ? (value & 0x0F) : (value >> 4)) : value);
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return;
      case 2:  // delta
        if (i + 1 >= data.size()) return;
        x += data[i];
        y += data[i + 1];
        i += 2;
        break;
      default: {  // absolute run of `value` pixels, padded to a 16-bit boundary
        size_t bytes = rle4 ? (size_t(value) + 1) / 2 : size_t(value);
        size_t padded = (bytes + 1) & ~size_t(1);
        for (int k = 0; k < value; ++k) {
          size_t at = i + (rle4 ? size_t(k) / 2 : size_t(k));
          if (at >= data.size()) return;
          uint8_t b = data[at];
          if (x < w) put(rle4 ? ((k & 1) ? (b & 0x0F) : (b >> 4)) : b);
        }
        i += padded;
        break;
      }
    }
  }
}

}  // namespace

void ReadBmp(TStream& stream, TBitmap& bitmap, bool withFileHeader) {
  const int64_t start = stream.Position();
  const int64_t total = stream.Size() - start;
  int64_t offBits = 0;
  if (withFileHeader) {
    uint8_t fh[14];
    if (ReadSome(stream, fh, 14) != 14 || fh[0] != 'B' || fh[1] != 'M') Invalid();
    offBits = U32(fh + 10);
  }
  const int64_t infoStart = withFileHeader ? 14 : 0;
  uint8_t info[124] = {};
  if (ReadSome(stream, info, 4) != 4) Invalid();
  const uint32_t infoSize = U32(info);
  const bool core = infoSize == 12;
  if (!core && (infoSize < 40 || infoSize > 124)) Invalid();
  if (ReadSome(stream, info + 4, int64_t(infoSize) - 4) != int64_t(infoSize) - 4) Invalid();

  int64_t width, height;
  int bpp;
  uint32_t compression = BI_RGB, clrUsed = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  if (core) {
    width = U16(info + 4);
    height = U16(info + 6);
    bpp = U16(info + 10);
  } else {
    width = int32_t(U32(info + 4));
    height = int32_t(U32(info + 8));
    bpp = U16(info + 14);
    compression = U32(info + 16);
    clrUsed = U32(info + 32);
  }
  int64_t afterHeader = infoStart + infoSize;
  if (compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS) {
    if (bpp != 16 && bpp != 32) Invalid();
    int n = compression == BI_ALPHABITFIELDS ? 4 : 3;
    if (infoSize >= 40 + uint32_t(4 * n)) {
      for (int k = 0; k < n; ++k) masks[k] = U32(info + 40 + 4 * k);
    } else {
      uint8_t m[16];
      if (ReadSome(stream, m, 4 * n) != 4 * n) Invalid();
      for (int k = 0; k < n; ++k) masks[k] = U32(m + 4 * k);
      afterHeader += 4 * n;
    }
    if (infoSize >= 56 && compression == BI_BITFIELDS) masks[3] = U32(info + 52);
    if (!masks[0] && !masks[1] && !masks[2]) Invalid();
  } else if (compression == BI_RLE8) {
    if (bpp != 8) Invalid();
  } else if (compression == BI_RLE4) {
    if (bpp != 4) Invalid();
  } else if (compression != BI_RGB) {
    Invalid();
  }
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) Invalid();
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (topDown && (compression == BI_RLE8 || compression == BI_RLE4)) Invalid();
  if (width <= 0 || height <= 0 || width > MaxBitmapSide || height > MaxBitmapSide) Invalid();
  const int64_t rowBytes = RowBytes(width, bpp);
  if (rowBytes < 0 || rowBytes * height > MaxBitmapBytes) Invalid();

  // The colour table.
  TPalette palette;
  if (bpp <= 8) {
    int64_t count = clrUsed ? int64_t(clrUsed) : (int64_t(1) << bpp);
    count = std::min<int64_t>(count, int64_t(1) << bpp);
    const int entrySize = core ? 3 : 4;
    std::vector<uint8_t> table(static_cast<size_t>(count * entrySize));
    int64_t got = ReadSome(stream, table.data(), int64_t(table.size()));
    std::vector<TPaletteEntry> entries;
    for (int64_t k = 0; k + entrySize <= got; k += entrySize)
      entries.push_back(PaletteEntry(table[size_t(k + 2)], table[size_t(k + 1)], table[size_t(k)]));
    palette = TPalette(std::move(entries));
    afterHeader += count * entrySize;
  }

  // The pixel data starts at bfOffBits when that is plausible, else right after the table.
  int64_t dataStart = afterHeader;
  if (withFileHeader && offBits >= infoStart + infoSize && offBits < total) dataStart = offBits;
  const int64_t available = std::max<int64_t>(0, total - dataStart);
  stream.SetPosition(start + dataStart);

  // Keep a hostile header from making us allocate far more than its data can fill.
  const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
  const int64_t imageBytes = rowBytes * height;
  if (!rle && imageBytes > available * 8 + (int64_t(16) << 20)) Invalid();
  if (rle && width * height > available * 512 + (int64_t(16) << 20)) Invalid();

  // The bitmap's pixel format from the file's layout.
  TPixelFormat format;
  enum class Copy { Rows, Masks } how = Copy::Rows;
  MaskField mr(masks[0]), mg(masks[1]), mb(masks[2]), ma(masks[3]);
  switch (bpp) {
    case 1: format = pf1bit; break;
    case 4: format = pf4bit; break;
    case 8: format = pf8bit; break;
    case 16:
      if (compression == BI_RGB || (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F && !masks[3])) {
        format = pf15bit;
      } else if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F && !masks[3]) {
        format = pf16bit;
      } else {
        format = masks[3] ? pf32bit : pf24bit;
        how = Copy::Masks;
      }
      break;
    case 24: format = pf24bit; break;
    default:
      if (compression == BI_RGB || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF &&
                                    (masks[3] == 0 || masks[3] == 0xFF000000u))) {
        format = pf32bit;
      } else {
        format = masks[3] ? pf32bit : pf24bit;
        how = Copy::Masks;
      }
      break;
  }

  bitmap.ReleaseHandle();
  bitmap.SetPixelFormat(format);
  if (bpp <= 8) bitmap.SetPalette(palette);
  bitmap.SetSize(int(width), int(height));
  const int w = int(width), h = int(height);

  if (rle) {
    std::vector<uint8_t> data(size_t(std::min<int64_t>(available, MaxBitmapBytes)));
    data.resize(size_t(ReadSome(stream, data.data(), int64_t(data.size()))));
    DecodeRle(data, bitmap, compression == BI_RLE4);
    return;
  }

  std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
  for (int y = 0; y < h; ++y) {
    int64_t got = ReadSome(stream, row.data(), rowBytes);
    if (got <= 0) break;  // short data: the remaining rows stay zero
    if (got < rowBytes) std::fill(row.begin() + got, row.end(), 0);
    uint8_t* dst = bitmap.ScanLine(topDown ? y : h - 1 - y);
    if (how == Copy::Rows) {
      std::memcpy(dst, row.data(), size_t(std::min<int64_t>(rowBytes, bitmap.RowStride())));
    } else {
      const int outBpp = format == pf32bit ? 4 : 3;
      for (int x = 0; x < w; ++x) {
        uint32_t v = bpp == 16 ? U16(row.data() + 2 * x) : U32(row.data() + 4 * x);
        uint8_t* p = dst + size_t(x) * size_t(outBpp);
        p[0] = mb.Extract(v);
        p[1] = mg.Extract(v);
        p[2] = mr.Extract(v);
        if (outBpp == 4) p[3] = ma.Extract(v);
      }
    }
    if (got < rowBytes) break;
  }
  // The fourth byte of a 32-bit pixel is alpha only where the header gives an alpha
  // mask; without one (BI_RGB, or bit fields for the colours alone) the pixels are opaque.
  if (format == pf32bit && how == Copy::Rows && masks[3] == 0) {
    for (int y = 0; y < h; ++y) {
      uint8_t* row = bitmap.ScanLine(y);
      for (int x = 0; x < w; ++x) row[4 * x + 3] = 255;
    }
  }
}

void WriteBmp(TStream& stream, const TBitmap& bitmap, bool withFileHeader) {
  if (bitmap.Empty()) return;
  const int w = bitmap.Width(), h = bitmap.Height();
  const TPixelFormat f = bitmap.PixelFormat();
  int bpp;
  uint32_t compression = BI_RGB;
  switch (f) {
    case pf1bit: bpp = 1; break;
    case pf4bit: bpp = 4; break;
    case pf8bit: bpp = 8; break;
    case pf15bit: bpp = 16; break;
    case pf16bit:
      bpp = 16;
      compression = BI_BITFIELDS;
      break;
    case pf32bit: bpp = 32; break;
    default: bpp = 24; break;  // pf24bit, and pfDevice written as colour only
  }
  TPalette palette;
  if (bpp <= 8) {
    palette = bitmap.Palette();
    if (palette.IsEmpty()) palette = bpp == 1 ? MonochromePalette() : bpp == 4 ? SystemPalette16() : HalftonePalette();
  }
  const int64_t rowBytes = RowBytes(w, bpp);
  const uint32_t imageSize = uint32_t(rowBytes * h);
  const uint32_t tableSize = uint32_t(palette.Count() * 4) + (compression == BI_BITFIELDS ? 12 : 0);

  std::vector<uint8_t> head;
  if (withFileHeader) {
    head.push_back('B');
    head.push_back('M');
    Put32(head, 14 + 40 + tableSize + imageSize);
    Put32(head, 0);
    Put32(head, 14 + 40 + tableSize);
  }
  Put32(head, 40);
  Put32(head, uint32_t(w));
  Put32(head, uint32_t(h));
  Put16(head, 1);
  Put16(head, uint16_t(bpp));
  Put32(head, compression);
  Put32(head, imageSize);
  Put32(head, 0);
  Put32(head, 0);
  Put32(head, uint32_t(palette.Count()));
  Put32(head, 0);
  if (compression == BI_BITFIELDS) {
    Put32(head, 0xF800);
    Put32(head, 0x07E0);
    Put32(head, 0x001F);
  }
  for (const TPaletteEntry& e : palette.Entries()) {
    head.push_back(e.peBlue);
    head.push_back(e.peGreen);
    head.push_back(e.peRed);
    head.push_back(0);
  }
  stream.WriteBuffer(head.data(), int64_t(head.size()));

  std::vector<uint8_t> row(size_t(rowBytes), 0);
  std::vector<uint32_t> line(static_cast<size_t>(w));
  for (int y = h - 1; y >= 0; --y) {
    const uint8_t* src = bitmap.ScanLine(y);
    if (f == pfDevice) {
      RowToBGRA(src, f, w, nullptr, line.data());
      BGRAToRow(line.data(), pf24bit, w, row.data());
      stream.WriteBuffer(row.data(), rowBytes);
    } else {
      stream.WriteBuffer(src, rowBytes);
    }
  }
}

}  // namespace graphics_internal
