// Copying pixels between bitmaps: nearest-pixel stretching, the raster operations
// of CopyRect and drawing through a 1-bit mask.
#include <algorithm>
#include <cstring>

#include "platform/graphics/GraphicsInternal.h"

namespace graphics_internal {

namespace {

bool IsIndexed(TPixelFormat f) { return f == pf1bit || f == pf4bit || f == pf8bit; }

// The supported raster operations, applied to whole pixel values.
enum class RasterOp { Copy, Xor, And, Or, NotSrc, NotDst, Zero, Ones, SrcAndNotDst, NotOr, NotSrcOrDst };

RasterOp OpOf(TCopyMode mode) {
  switch (mode) {
    case cmSrcInvert: return RasterOp::Xor;
    case cmSrcAnd: return RasterOp::And;
    case cmSrcPaint: return RasterOp::Or;
    case cmNotSrcCopy: return RasterOp::NotSrc;
    case cmDstInvert: return RasterOp::NotDst;
    case cmBlackness: return RasterOp::Zero;
    case cmWhiteness: return RasterOp::Ones;
    case cmSrcErase: return RasterOp::SrcAndNotDst;
    case cmNotSrcErase: return RasterOp::NotOr;
    case cmMergePaint: return RasterOp::NotSrcOrDst;
    default: return RasterOp::Copy;
  }
}

inline uint32_t Apply(RasterOp op, uint32_t d, uint32_t s) {
  switch (op) {
    case RasterOp::Copy: return s;
    case RasterOp::Xor: return d ^ s;
    case RasterOp::And: return d & s;
    case RasterOp::Or: return d | s;
    case RasterOp::NotSrc: return ~s;
    case RasterOp::NotDst: return ~d;
    case RasterOp::Zero: return 0;
    case RasterOp::Ones: return ~0u;
    case RasterOp::SrcAndNotDst: return s & ~d;
    case RasterOp::NotOr: return ~(d | s);
    case RasterOp::NotSrcOrDst: return ~s | d;
  }
  return s;
}

// The source colour s (0xAARRGGBB, A its opacity) laid over the colour d; opaque.
inline uint32_t Over(uint32_t s, uint32_t d) {
  const uint32_t a = s >> 24;
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8)
    out |= ((((s >> shift) & 0xFF) * a + ((d >> shift) & 0xFF) * (255 - a) + 127) / 255) << shift;
  return out;
}

inline bool MaskBit(const TBitmap* mask, int x, int y) {
  if (!mask || x >= mask->Width() || y >= mask->Height()) return false;
  return (mask->ScanLine(y)[x >> 3] >> (7 - (x & 7))) & 1;
}

}  // namespace

void BlitBitmap(TBitmap& target, const TRect& dest, const TBitmap& source, const TRect& sourceRect, TCopyMode mode,
                const TBitmap* mask, bool blend) {
  const int destW = dest.Width(), destH = dest.Height();
  const int srcW = sourceRect.Width(), srcH = sourceRect.Height();
  if (destW <= 0 || destH <= 0 || target.Empty()) return;
  const RasterOp op = OpOf(mode);
  const bool needsSource = op != RasterOp::NotDst && op != RasterOp::Zero && op != RasterOp::Ones;
  if (needsSource && (srcW <= 0 || srcH <= 0 || source.Empty())) return;
  blend = blend && op == RasterOp::Copy && source.PixelFormat() == pf32bit;

  const int x0 = std::max(dest.Left, 0), x1 = std::min(dest.Right, target.Width());
  const int y0 = std::max(dest.Top, 0), y1 = std::min(dest.Bottom, target.Height());
  if (x0 >= x1 || y0 >= y1) return;

  // Source column for every target column; -1 where it falls outside the source.
  std::vector<int> xmap(size_t(x1 - x0), -1);
  for (int x = x0; x < x1; ++x) {
    int sx = sourceRect.Left + int(int64_t(x - dest.Left) * srcW / destW);
    xmap[size_t(x - x0)] = (sx >= 0 && sx < source.Width()) ? sx : -1;
  }

  const TPixelFormat tf = target.PixelFormat();
  const int tbits = target.BitsPerPixel();
  const TPixelFormat sf = source.PixelFormat();
  const bool indexedTarget = IsIndexed(tf);
  const TPalette targetPalette = target.Palette();
  const bool sameIndices = indexedTarget && IsIndexed(sf) && source.Palette() == targetPalette;

  // Fast path: a plain copy between equal layouts without stretching or mask.
  if (op == RasterOp::Copy && !mask && !blend && srcW == destW && srcH == destH && sf == tf && tbits >= 8 &&
      (!indexedTarget || sameIndices)) {
    const int bpp = tbits / 8;
    for (int y = y0; y < y1; ++y) {
      int sy = sourceRect.Top + (y - dest.Top);
      if (sy < 0 || sy >= source.Height()) continue;
      int sx0 = sourceRect.Left + (x0 - dest.Left);
      int from = std::max(0, -sx0), to = std::min(x1 - x0, source.Width() - sx0);
      if (from >= to) continue;
      std::memcpy(target.ScanLine(y) + size_t(x0 + from) * size_t(bpp),
                  source.ScanLine(sy) + size_t(sx0 + from) * size_t(bpp), size_t(to - from) * size_t(bpp));
    }
    return;
  }

  uint32_t lut[256];
  PaletteLut(source.Palette(), lut);

  // Fast path: an 8-bit bitmap copied unstretched into a 24- or 32-bit one through its
  // palette, leaving out the pixels its mask sets (a GIF frame onto the screen).
  if (op == RasterOp::Copy && srcW == destW && srcH == destH && sf == pf8bit && (tf == pf24bit || tf == pf32bit)) {
    const size_t bpp = tf == pf24bit ? 3 : 4;
    for (int y = y0; y < y1; ++y) {
      const int sy = sourceRect.Top + (y - dest.Top);
      if (sy < 0 || sy >= source.Height()) continue;
      const int sx0 = sourceRect.Left + (x0 - dest.Left);
      const int from = std::max(0, -sx0), to = std::min(x1 - x0, source.Width() - sx0);
      const uint8_t* s = source.ScanLine(sy) + sx0;
      uint8_t* d = target.ScanLine(y) + size_t(x0) * bpp;
      const uint8_t* m = mask && sy < mask->Height() ? mask->ScanLine(sy) : nullptr;
      const int maskWidth = m ? mask->Width() : 0;
      for (int i = from; i < to; ++i) {
        const int sx = sx0 + i;
        if (m && sx < maskWidth && ((m[sx >> 3] >> (7 - (sx & 7))) & 1)) continue;
        const uint32_t c = lut[s[i]];
        uint8_t* p = d + size_t(i) * bpp;
        p[0] = uint8_t(c);
        p[1] = uint8_t(c >> 8);
        p[2] = uint8_t(c >> 16);
        if (bpp == 4) p[3] = uint8_t(c >> 24);
      }
    }
    return;
  }

  std::unique_ptr<NearestColorCache> nearest;
  if (indexedTarget && !sameIndices) nearest = std::make_unique<NearestColorCache>(targetPalette);

  // Blending reads the target's own colours, through its palette when it has one.
  uint32_t targetLut[256];
  if (blend) PaletteLut(targetPalette, targetLut);
  std::vector<uint32_t> targetLine(blend ? size_t(target.Width()) : 0);
  std::vector<uint32_t> srcLine(size_t(std::max(source.Width(), 1)));
  std::vector<uint32_t> span(static_cast<size_t>(x1 - x0));
  std::vector<uint8_t> spanBytes(size_t(x1 - x0) * 4 + 4);
  std::vector<uint8_t> keep(static_cast<size_t>(x1 - x0));
  int lastSy = -1;
  const uint32_t indexMask = indexedTarget ? ((1u << tbits) - 1) : ~0u;

  for (int y = y0; y < y1; ++y) {
    int sy = needsSource ? sourceRect.Top + int(int64_t(y - dest.Top) * srcH / destH) : 0;
    if (needsSource && (sy < 0 || sy >= source.Height())) continue;
    if (needsSource && sy != lastSy) {
      if (!sameIndices) RowToBGRA(source.ScanLine(sy), sf, source.Width(), lut, srcLine.data());
      lastSy = sy;
    }
    uint8_t* row = target.ScanLine(y);
    if (blend) RowToBGRA(row, tf, target.Width(), targetLut, targetLine.data());
    // Which pixels are written, and the source value of each (in the target's terms).
    for (int i = 0; i < x1 - x0; ++i) {
      int sx = xmap[size_t(i)];
      bool write = !needsSource || sx >= 0;
      if (write && mask && needsSource && MaskBit(mask, sx, sy)) write = false;
      keep[size_t(i)] = write ? 0 : 1;
      if (!write || !needsSource) continue;
      if (sameIndices)
        span[size_t(i)] = uint32_t(GetIndex(source.ScanLine(sy), source.BitsPerPixel(), sx));
      else {
        const uint32_t colour = blend ? Over(srcLine[size_t(sx)], targetLine[size_t(x0 + i)]) : srcLine[size_t(sx)];
        span[size_t(i)] = indexedTarget ? uint32_t(nearest->Find(colour)) : colour;
      }
    }
    if (indexedTarget) {
      for (int i = 0; i < x1 - x0; ++i) {
        if (keep[size_t(i)]) continue;
        int x = x0 + i;
        uint32_t d = uint32_t(GetIndex(row, tbits, x));
        SetIndex(row, tbits, x, int(Apply(op, d, span[size_t(i)]) & indexMask));
      }
      continue;
    }
    // Direct colour: the source span in the target's byte layout, then byte-wise combining.
    const int bpp = tbits / 8;
    if (needsSource) BGRAToRow(span.data(), tf, x1 - x0, spanBytes.data());
    uint8_t* d = row + size_t(x0) * size_t(bpp);
    if (op == RasterOp::Copy) {
      for (int i = 0; i < x1 - x0; ++i)
        if (!keep[size_t(i)]) std::memcpy(d + size_t(i) * size_t(bpp), spanBytes.data() + size_t(i) * size_t(bpp), size_t(bpp));
      continue;
    }
    for (int i = 0; i < x1 - x0; ++i) {
      if (keep[size_t(i)]) continue;
      for (int b = 0; b < bpp; ++b) {
        size_t k = size_t(i) * size_t(bpp) + size_t(b);
        d[k] = uint8_t(Apply(op, d[k], needsSource ? spanBytes[k] : 0));
      }
      if (tf == pf15bit) d[size_t(i) * 2 + 1] &= 0x7F;
    }
  }
}

}  // namespace graphics_internal
