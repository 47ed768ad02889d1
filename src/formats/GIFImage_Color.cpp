// Colour reduction for GIF frames: palettes, colour lookups, the octree quantizer,
// ReduceFrameColors and the row access to bitmaps.
#include "formats/GIFImage_Color.h"

#include <algorithm>
#include <cstring>

#include "formats/GIFImage_Codec.h"
#include "platform/i18n/GnuGetText.h"

namespace GifCodec {

int BytesPerScanline(int pixelsPerLine, int bitsPerPixel, int alignment) {
  const int64_t bits = int64_t(pixelsPerLine) * bitsPerPixel + alignment - 1;
  return int((bits - bits % alignment) / 8);
}

int Colors2bpp(int colors) {
  if (colors <= 0) return 0;
  if (colors <= 2) return 1;
  int k = 1;
  while ((1 << k) < colors) ++k;
  return k;
}

TPalette WebPalette() {
  std::vector<TPaletteEntry> entries;
  entries.reserve(216);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) entries.push_back(PaletteEntry(uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51)));
  return TPalette(std::move(entries));
}

TPalette GrayScalePalette() {
  std::vector<TPaletteEntry> entries;
  for (int i = 0; i < 256; ++i) entries.push_back(PaletteEntry(uint8_t(i), uint8_t(i), uint8_t(i), PC_NOCOLLAPSE));
  return TPalette(std::move(entries));
}

TPalette MonochromePalette() {
  return TPalette{PaletteEntry(0, 0, 0, PC_NOCOLLAPSE), PaletteEntry(255, 255, 255, PC_NOCOLLAPSE)};
}

TPalette WindowsGrayPalette() {
  return TPalette{PaletteEntry(0, 0, 0, PC_NOCOLLAPSE), PaletteEntry(0x80, 0x80, 0x80, PC_NOCOLLAPSE),
                  PaletteEntry(0xC0, 0xC0, 0xC0, PC_NOCOLLAPSE), PaletteEntry(0xFF, 0xFF, 0xFF, PC_NOCOLLAPSE)};
}

TPalette HalftonePalette() { return ::HalftonePalette(); }

}  // namespace GifCodec

// ---------------------------------------------------------------------------
// TDIBReader, TDIBWriter
// ---------------------------------------------------------------------------

TDIBReader::TDIBReader(TBitmap& bitmap, TPixelFormat format) : TDIB(bitmap, format) {
  if (bitmap.PixelFormat() != format) bitmap.SetPixelFormat(format);
}

TDIBWriter::TDIBWriter(TBitmap& bitmap, TPixelFormat format, int width, int height, const TPalette& palette)
    : TDIB(bitmap, format), Palette(palette), Width(width), Height(height) {
  if (format != pf8bit && format != pf24bit) GifCodec::Error(gsGIFUnsupportedPixelFormat);
  if (width <= 0 || height <= 0) GifCodec::Error(gsGIFInvalidDimensions);
}

TDIBWriter::~TDIBWriter() {
  try {
    UpdateBitmap();
  } catch (...) {
    // Handing over fails only for want of memory; the bitmap then stays as it was.
  }
}

void TDIBWriter::CreateDIB() {
  const int bits = PixelFormat == pf8bit ? 8 : 24;
  rowBytes_ = GifCodec::BytesPerScanline(Width, bits, 32);
  const int64_t size = int64_t(rowBytes_) * Height;
  if (Width > MaxBitmapSide || Height > MaxBitmapSide || size > MaxBitmapBytes)
    throw EOutOfMemory(GifCodec::Text(gsGIFDIBMemory));
  try {
    pixels_.assign(size_t(size), 0);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(GifCodec::Text(gsGIFDIBMemory));
  }
  created_ = true;
}

uint8_t* TDIBWriter::ScanLine(int row) {
  if (!created_) CreateDIB();
  if (pixels_.empty()) GifCodec::Error(gsGIFNoDIB);
  if (row < 0 || row >= Height) throw EInvalidGraphicOperation(_("Scan line index out of range"));
  return pixels_.data() + size_t(row) * size_t(rowBytes_);
}

void TDIBWriter::UpdateBitmap() {
  if (!created_ || pixels_.empty()) return;
  Bitmap.ReleaseHandle();
  Bitmap.SetPixelFormat(PixelFormat);
  if (PixelFormat == pf8bit) Bitmap.SetPalette(Palette.Count() > 256 ? TPalette() : Palette);
  Bitmap.SetSize(Width, Height);
  const size_t n = size_t(std::min(rowBytes_, Bitmap.ScanLineSize()));
  for (int y = 0; y < Height; ++y) std::memcpy(Bitmap.ScanLine(y), pixels_.data() + size_t(y) * size_t(rowBytes_), n);
  pixels_.clear();
  pixels_.shrink_to_fit();
  created_ = false;
}

// ---------------------------------------------------------------------------
// Colour lookups
// ---------------------------------------------------------------------------

TSlowColorLookup::TSlowColorLookup(const TPalette& palette)
    : TColorLookup(palette.Count()),
      cacheKey_(kCacheSize, 0xFFFFFFFFu),
      cacheIndex_(kCacheSize, 0),
      palette_(palette) {
  for (int i = 0; i < palette.Count(); ++i) {
    const TPaletteEntry& e = palette.Entry(i);
    byGreen_.push_back({e.peRed, e.peGreen, e.peBlue, i});
  }
  std::stable_sort(byGreen_.begin(), byGreen_.end(), [](const Entry& a, const Entry& b) { return a.g < b.g; });
}

int TSlowColorLookup::Lookup(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) {
  if (byGreen_.empty()) {
    outRed = outGreen = outBlue = 0;
    return 0;
  }
  const uint32_t key = (uint32_t(red) << 16) | (uint32_t(green) << 8) | uint32_t(blue);
  const size_t slot = ((key * 2654435761u) >> 18) & (kCacheSize - 1);
  int index;
  if (cacheKey_[slot] == key) {
    index = cacheIndex_[slot];
  } else {
    // The nearest entry by squared distance, the lowest index on ties: the search walks
    // out from the entries of the same green and stops where green alone is too far.
    const auto start = std::lower_bound(byGreen_.begin(), byGreen_.end(), green,
                                        [](const Entry& e, int g) { return e.g < g; });
    int best = -1, bestDistance = 1 << 30;
    auto consider = [&](const Entry& e) {
      const int dr = e.r - red, dg = e.g - green, db = e.b - blue;
      const int d = dr * dr + dg * dg + db * db;
      if (d < bestDistance || (d == bestDistance && e.index < best)) {
        bestDistance = d;
        best = e.index;
      }
    };
    auto up = start;
    auto down = start;
    bool upOpen = up != byGreen_.end(), downOpen = down != byGreen_.begin();
    while (upOpen || downOpen) {
      if (upOpen) {
        const int dg = up->g - green;
        if (dg * dg > bestDistance) {
          upOpen = false;
        } else {
          consider(*up);
          upOpen = ++up != byGreen_.end();
        }
      }
      if (downOpen) {
        const Entry& e = *(down - 1);
        const int dg = green - e.g;
        if (dg * dg > bestDistance) {
          downOpen = false;
        } else {
          consider(e);
          --down;
          downOpen = down != byGreen_.begin();
        }
      }
    }
    index = best;
    cacheKey_[slot] = key;
    cacheIndex_[slot] = int16_t(index);
  }
  const TPaletteEntry& e = palette_.Entry(index);
  outRed = e.peRed;
  outGreen = e.peGreen;
  outBlue = e.peBlue;
  return index;
}

int TNetscapeColorLookup::Lookup(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) {
  const int r = (red + 3) / 51, g = (green + 3) / 51, b = (blue + 3) / 51;
  outRed = r * 51;
  outGreen = g * 51;
  outBlue = b * 51;
  return r * 36 + g * 6 + b;
}

int TGrayScaleLookup::Lookup(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) {
  const int y = (77 * red + 150 * green + 29 * blue) >> 8;
  outRed = outGreen = outBlue = y;
  return y;
}

int TMonochromeLookup::Lookup(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) {
  const int s = 77 * red + 150 * green + 29 * blue;
  const int v = s < 32513 ? 0 : 255;
  outRed = outGreen = outBlue = v;
  return v ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Octree quantizer
// ---------------------------------------------------------------------------

struct TColorQuantizer::TOctreeNode {
  bool IsLeaf = false;
  uint32_t PixelCount = 0;
  uint64_t RedSum = 0, GreenSum = 0, BlueSum = 0;
  TOctreeNode* Next = nullptr;
  TOctreeNode* Child[8] = {};
};

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits)
    : maxColors_(std::max(1, maxColors)), colorBits_(std::clamp(colorBits, 1, 8)) {}

namespace {
template <class Node>
void FreeNodes(Node* node) {
  if (!node) return;
  for (Node* child : node->Child) FreeNodes(child);
  delete node;
}
}  // namespace

TColorQuantizer::~TColorQuantizer() { FreeNodes(tree_); }

bool TColorQuantizer::ProcessImage(TDIBReader& reader, int width, int height) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = reader.ScanLine(y);
    for (int x = 0; x < width; ++x, p += 3) {
      AddColor(tree_, p[2], p[1], p[0], 0);
      while (leafCount_ > maxColors_) ReduceTree();
    }
  }
  return true;
}

void TColorQuantizer::AddColor(TOctreeNode*& node, int red, int green, int blue, int level) {
  static constexpr int kMask[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
  TOctreeNode** slot = &node;
  while (true) {
    if (!*slot) {
      auto* fresh = new TOctreeNode;
      if (level == colorBits_) {
        fresh->IsLeaf = true;
        ++leafCount_;
      } else {
        fresh->Next = reducibleNodes_[level];
        reducibleNodes_[level] = fresh;
      }
      *slot = fresh;
    }
    TOctreeNode* n = *slot;
    if (n->IsLeaf) {
      ++n->PixelCount;
      n->RedSum += uint64_t(red);
      n->GreenSum += uint64_t(green);
      n->BlueSum += uint64_t(blue);
      return;
    }
    const int shift = 7 - level, bit = kMask[level];
    const int index = (((red & bit) >> shift) << 2) | (((green & bit) >> shift) << 1) | ((blue & bit) >> shift);
    slot = &n->Child[index];
    ++level;
  }
}

void TColorQuantizer::ReduceTree() {
  int i = colorBits_ - 1;
  while (i > 0 && !reducibleNodes_[i]) --i;
  TOctreeNode* node = reducibleNodes_[i];
  if (!node) return;
  reducibleNodes_[i] = node->Next;
  int children = 0;
  for (TOctreeNode*& child : node->Child) {
    if (!child) continue;
    node->RedSum += child->RedSum;
    node->GreenSum += child->GreenSum;
    node->BlueSum += child->BlueSum;
    node->PixelCount += child->PixelCount;
    FreeNodes(child);
    child = nullptr;
    ++children;
  }
  node->IsLeaf = true;
  leafCount_ -= children - 1;
}

std::vector<TRGBQuad> TColorQuantizer::GetColorTable() const {
  std::vector<TRGBQuad> table;
  auto walk = [&](auto& self, const TOctreeNode* node) -> void {
    if (!node) return;
    if (node->IsLeaf) {
      TRGBQuad q;
      if (node->PixelCount > 0) {
        q.rgbRed = uint8_t(node->RedSum / node->PixelCount);
        q.rgbGreen = uint8_t(node->GreenSum / node->PixelCount);
        q.rgbBlue = uint8_t(node->BlueSum / node->PixelCount);
      }
      table.push_back(q);
      return;
    }
    for (const TOctreeNode* child : node->Child) self(self, child);
  };
  walk(walk, tree_);
  return table;
}

namespace GifCodec {

TPalette CreateOptimizedPalette(TDIBReader& reader, int width, int height, int colors, int colorBits,
                                bool withSystemColors) {
  colors = std::clamp(colors, 1, 256);
  std::vector<TPaletteEntry> entries(256, PaletteEntry(0, 0, 0, PC_NOCOLLAPSE));
  int first = 0, count = colors;
  if (withSystemColors) {
    const TPalette& system = DefaultPalette20();
    for (int i = 0; i < 10; ++i) {
      entries[size_t(i)] = system.Entry(i);
      entries[size_t(246 + i)] = system.Entry(10 + i);
    }
    colors = 236;
    count = 256;
    first = 10;
  }
  TColorQuantizer quantizer(colors, colorBits);
  quantizer.ProcessImage(reader, width, height);
  const std::vector<TRGBQuad> table = quantizer.GetColorTable();
  for (size_t i = 0; i < table.size() && i < size_t(colors); ++i)
    entries[size_t(first) + i] = PaletteEntry(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0);
  entries.resize(size_t(count));
  return TPalette(std::move(entries));
}

TPalette CreateOptimizedPaletteFromBitmap(TBitmap& bitmap, int colors, int colorBits, bool withSystemColors) {
  TDIBReader reader(bitmap, pf24bit);
  return CreateOptimizedPalette(reader, bitmap.Width(), bitmap.Height(), colors, colorBits, withSystemColors);
}

std::unique_ptr<TBitmap> ReduceFrameColors(TBitmap& bitmap, TColorReduction method, TDitherMode dither,
                                           int reductionBits, const TPalette* customPalette) {
  auto result = std::make_unique<TBitmap>();
  if (method == rmNone) {
    result->Assign(&bitmap);
    result->SetPixelFormat(pf24bit);
    return result;
  }
  const int width = bitmap.Width(), height = bitmap.Height();
  if (int64_t(width) * height > 500000) result->SetPixelFormat(pf1bit);
  TDIBReader reader(bitmap, pf24bit);
  TPalette palette;
  switch (method) {
    case rmWindows20: palette = DefaultPalette20(); break;
    case rmHalftone: palette = HalftonePalette(); break;
    case rmWindowsGray: palette = WindowsGrayPalette(); break;
    case rmMonochrome: palette = MonochromePalette(); break;
    case rmGrayScale: palette = GrayScalePalette(); break;
    case rmWebPalette: palette = WebPalette(); break;
    case rmQuantize:
      // The number of colours is 2^bits; bits outside 1..8 cannot name a GIF palette.
      palette = CreateOptimizedPalette(reader, width, height, 1 << std::clamp(reductionBits, 1, 8), 8, false);
      break;
    case rmQuantizeWindows: palette = CreateOptimizedPaletteFromBitmap(bitmap, 256, 8, true); break;
    case rmPalette:
      if (customPalette) palette = *customPalette;
      break;
    default: return result;
  }
  std::unique_ptr<TColorLookup> lookup;
  switch (method) {
    case rmMonochrome: lookup = std::make_unique<TMonochromeLookup>(); break;
    case rmGrayScale: lookup = std::make_unique<TGrayScaleLookup>(); break;
    case rmWebPalette: lookup = std::make_unique<TNetscapeColorLookup>(); break;
    default: lookup = std::make_unique<TSlowColorLookup>(palette); break;
  }
  if (lookup->Colors == 0) return result;
  std::unique_ptr<TDitherEngine> ditherer = CreateDitherer(dither, width, *lookup);
  if (!ditherer) return result;
  if (width <= 0 || height <= 0) return result;
  {
    TDIBWriter writer(*result, pf8bit, width, height, palette);
    int r, g, b;
    for (int y = 0; y < height; ++y) {
      const uint8_t* src = reader.ScanLine(y);
      uint8_t* dst = writer.ScanLine(y);
      while (ditherer->Column >= 0 && ditherer->Column < width) {
        const int x = ditherer->Column;
        const uint8_t* p = src + size_t(x) * 3;
        dst[x] = uint8_t(ditherer->Dither(p[2], p[1], p[0], r, g, b));
      }
      ditherer->NextLine();
    }
  }
  return result;
}

}  // namespace GifCodec
