#pragma once
// Helpers shared by the graphics layer's own files (not for other units).
#include <cstdint>
#include <vector>

#include "platform/graphics/Graphics.h"

namespace graphics_internal {

int BitsOf(TPixelFormat format);
// Row length in bytes for width pixels of bits each, padded to 4 bytes (-1 when too large).
int64_t RowBytes(int64_t width, int bits);

// One row as 0xAARRGGBB words (the bytes B, G, R, A in memory order).
// Indexed formats read through lut (256 entries, entries beyond the palette black).
void RowToBGRA(const uint8_t* row, TPixelFormat format, int width, const uint32_t* lut, uint32_t* out);
// Writes a row of a direct-colour format (pf15bit, pf16bit, pf24bit, pf32bit, pfDevice).
void BGRAToRow(const uint32_t* in, TPixelFormat format, int width, uint8_t* row);
// The palette as 256 BGRA words with alpha 255; entries beyond the palette are black.
void PaletteLut(const TPalette& palette, uint32_t* lut);

// Index of one pixel of an indexed row, and setting it.
inline int GetIndex(const uint8_t* row, int bits, int x) {
  switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default: return row[x];
  }
}
inline void SetIndex(uint8_t* row, int bits, int x, int index) {
  switch (bits) {
    case 1: {
      uint8_t bit = uint8_t(0x80 >> (x & 7));
      if (index & 1)
        row[x >> 3] |= bit;
      else
        row[x >> 3] &= uint8_t(~bit);
      break;
    }
    case 4:
      if (x & 1)
        row[x >> 1] = uint8_t((row[x >> 1] & 0xF0) | (index & 0x0F));
      else
        row[x >> 1] = uint8_t((row[x >> 1] & 0x0F) | ((index & 0x0F) << 4));
      break;
    default: row[x] = uint8_t(index);
  }
}

// Nearest palette entry for many colours, remembering recent answers.
class NearestColorCache {
 public:
  explicit NearestColorCache(const TPalette& palette);
  int Find(uint32_t bgra);

 private:
  const TPalette& palette_;
  std::vector<uint32_t> keys_;
  std::vector<uint8_t> values_;
};

// Stretches sourceRect of source into dest of target (nearest pixel) combining with
// the raster operation; pixels whose mask bit is 1 are left alone when mask is given.
// blend: a pf32bit source copied with cmSrcCopy is laid over the target by its 4th byte
// as opacity.
void BlitBitmap(TBitmap& target, const TRect& dest, const TBitmap& source, const TRect& sourceRect, TCopyMode mode,
                const TBitmap* mask, bool blend = false);

// Draws sourceRect of source into dest of any canvas (bitmap or painter) with the
// raster operation; pixels whose mask bit is 1 keep the destination; blend as for BlitBitmap.
void CanvasDrawBitmap(TCanvas& canvas, const TRect& dest, const TBitmap& source, const TRect& sourceRect,
                      TCopyMode mode, const TBitmap* mask, bool blend = false);

// BMP coding (used by TBitmap's streams and clipboard).
// Reads a BMP image; withFileHeader false reads a packed DIB (info header first).
void ReadBmp(TStream& stream, TBitmap& bitmap, bool withFileHeader);
void WriteBmp(TStream& stream, const TBitmap& bitmap, bool withFileHeader);

}  // namespace graphics_internal
