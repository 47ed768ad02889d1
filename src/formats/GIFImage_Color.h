#pragma once
// Colour reduction for GIF frames: the palette makers, the colour lookups, the octree
// quantizer, the error-diffusion ditherers, ReduceFrameColors, and the row access to
// bitmaps that these use (TDIBReader, TDIBWriter).
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/Graphics.h"

enum TColorReduction : uint8_t {
  rmNone, rmWindows20, rmHalftone, rmWindowsGray, rmMonochrome, rmGrayScale, rmWebPalette, rmQuantize,
  rmQuantizeWindows, rmPalette,
};

enum TDitherMode : uint8_t {
  dmNearest, dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNi, dmSteveArche, dmBurkes,
};

namespace GifCodec {

// Bytes of a row of pixels bits deep, padded to alignment bits.
int BytesPerScanline(int pixelsPerLine, int bitsPerPixel, int alignment);
// Bits needed for a number of colours: 0 for 0, 1 for 1 or 2, else the smallest k with 2^k >= colors.
int Colors2bpp(int colors);

// The 216 colours of the web palette: entry r*36 + g*6 + b is (r*51, g*51, b*51).
TPalette WebPalette();
TPalette GrayScalePalette();
TPalette MonochromePalette();
// Black, 0x80, 0xC0 and white.
TPalette WindowsGrayPalette();
TPalette HalftonePalette();

}  // namespace GifCodec

// ---------------------------------------------------------------------------
// Row access to bitmaps
// ---------------------------------------------------------------------------

class TDIB {
 public:
  TDIB(TBitmap& bitmap, TPixelFormat format) : Bitmap(bitmap), PixelFormat(format) {}
  virtual ~TDIB() = default;
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;
  virtual uint8_t* ScanLine(int row) = 0;

 protected:
  TBitmap& Bitmap;
  TPixelFormat PixelFormat;
};

// The rows of an existing bitmap in a chosen pixel format (the bitmap converts itself).
class TDIBReader : public TDIB {
 public:
  TDIBReader(TBitmap& bitmap, TPixelFormat format);
  uint8_t* ScanLine(int row) override { return Bitmap.ScanLine(row); }
};

// Builds an 8-bit or 24-bit picture row by row and hands it to the target bitmap in one
// piece when destroyed; until then the target is unchanged.
class TDIBWriter : public TDIB {
 public:
  TDIBWriter(TBitmap& bitmap, TPixelFormat format, int width, int height, const TPalette& palette);
  ~TDIBWriter() override;
  // Row 0 is the top row; rows outside 0..height-1 raise EInvalidGraphicOperation.
  uint8_t* ScanLine(int row) override;
  // Hands the picture to the bitmap now (nothing when no row was asked for).
  void UpdateBitmap();

 private:
  void CreateDIB();
  TPalette Palette;
  int Width, Height;
  int rowBytes_ = 0;
  std::vector<uint8_t> pixels_;
  bool created_ = false;
};

// ---------------------------------------------------------------------------
// Colour lookups
// ---------------------------------------------------------------------------

class TColorLookup {
 public:
  explicit TColorLookup(int colors) : Colors(colors) {}
  virtual ~TColorLookup() = default;
  // The palette index for a colour; the out values are the chosen entry's colour.
  virtual int Lookup(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) = 0;
  int Colors;
};

// Any palette: the nearest entry (squared distance, the lowest index on ties).
class TSlowColorLookup : public TColorLookup {
 public:
  explicit TSlowColorLookup(const TPalette& palette);
  int Lookup(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) override;

 private:
  struct Entry {
    int r, g, b, index;
  };
  std::vector<Entry> byGreen_;  // entries sorted by green, for a search that stops early
  static constexpr int kCacheSize = 1 << 14;
  std::vector<uint32_t> cacheKey_;
  std::vector<int16_t> cacheIndex_;
  TPalette palette_;
};

class TNetscapeColorLookup : public TColorLookup {
 public:
  TNetscapeColorLookup() : TColorLookup(216) {}
  int Lookup(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) override;
};

class TGrayScaleLookup : public TColorLookup {
 public:
  TGrayScaleLookup() : TColorLookup(256) {}
  int Lookup(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) override;
};

class TMonochromeLookup : public TColorLookup {
 public:
  TMonochromeLookup() : TColorLookup(2) {}
  int Lookup(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) override;
};

// ---------------------------------------------------------------------------
// Ditherers: each pixel of a row is mapped at Column, which moves by Direction;
// rows alternate direction.
// ---------------------------------------------------------------------------

class TDitherEngine {
 public:
  TDitherEngine(int width, TColorLookup& lookup) : Lookup(lookup), Width(width) {}
  virtual ~TDitherEngine() = default;
  virtual int Dither(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue);
  virtual void NextLine();
  void NextColumn() { Column += Direction; }

  int Direction = 1;
  int Column = 0;

 protected:
  TColorLookup& Lookup;
  int Width;
};

class TFloydSteinbergDitherer : public TDitherEngine {
 public:
  TFloydSteinbergDitherer(int width, TColorLookup& lookup);
  int Dither(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) override;
  void NextLine() override;

 private:
  std::vector<int32_t> errors_[3];
  int pos_ = 0;
  int current_[3] = {}, below_[3] = {}, belowPrev_[3] = {};
};

class T5by3Ditherer : public TDitherEngine {
 public:
  T5by3Ditherer(int width, TColorLookup& lookup, int divisor);
  int Dither(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) override;
  void NextLine() override;

 protected:
  // Adds the error's shares to the current row (row0), the row below (row1) and the one
  // after (row2), at column position p of each.
  virtual void Propagate(int32_t* row0, int32_t* row1, int error, int32_t* row2) = 0;
  int Direction2 = 2;
  int Divisor;

 private:
  std::vector<int32_t> rows_[3][3];  // [row][channel]
};

class TStuckiDitherer : public T5by3Ditherer {
 public:
  TStuckiDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, 42) {}

 protected:
  void Propagate(int32_t* row0, int32_t* row1, int error, int32_t* row2) override;
};

class TSierraDitherer : public T5by3Ditherer {
 public:
  TSierraDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, 32) {}

 protected:
  void Propagate(int32_t* row0, int32_t* row1, int error, int32_t* row2) override;
};

class TJaJuNiDitherer : public T5by3Ditherer {
 public:
  TJaJuNiDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, 48) {}

 protected:
  void Propagate(int32_t* row0, int32_t* row1, int error, int32_t* row2) override;
};

class TSteveArcheDitherer : public TDitherEngine {
 public:
  TSteveArcheDitherer(int width, TColorLookup& lookup);
  int Dither(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) override;
  void NextLine() override;

 private:
  std::vector<int32_t> rows_[4][3];
  int Direction2 = 2, Direction3 = 3;
};

class TBurkesDitherer : public TDitherEngine {
 public:
  TBurkesDitherer(int width, TColorLookup& lookup);
  int Dither(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) override;
  void NextLine() override;

 private:
  std::vector<int32_t> rows_[2][3];
  int Direction2 = 2;
};

// The ditherer of a dither mode (nullptr for a mode outside the table).
std::unique_ptr<TDitherEngine> CreateDitherer(TDitherMode mode, int width, TColorLookup& lookup);

// ---------------------------------------------------------------------------
// Octree quantizer
// ---------------------------------------------------------------------------

struct TRGBQuad {
  uint8_t rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
};

class TColorQuantizer {
 public:
  TColorQuantizer(int maxColors, int colorBits);
  ~TColorQuantizer();
  TColorQuantizer(const TColorQuantizer&) = delete;
  TColorQuantizer& operator=(const TColorQuantizer&) = delete;
  // Adds every pixel of a 24-bit reader of width x height.
  bool ProcessImage(TDIBReader& reader, int width, int height);
  // The leaves' colours, depth first (at most maxColors entries).
  std::vector<TRGBQuad> GetColorTable() const;
  int LeafCount() const { return leafCount_; }

 private:
  struct TOctreeNode;
  void AddColor(TOctreeNode*& node, int red, int green, int blue, int level);
  void ReduceTree();
  TOctreeNode* tree_ = nullptr;
  int leafCount_ = 0;
  TOctreeNode* reducibleNodes_[9] = {};
  int maxColors_, colorBits_;
};

namespace GifCodec {

// A palette for the colours of a 24-bit reader: colors entries (with system colours, the
// 20 colours of the default palette at 0-9 and 246-255 around 236 quantized ones).
TPalette CreateOptimizedPalette(TDIBReader& reader, int width, int height, int colors, int colorBits,
                                bool withSystemColors);
TPalette CreateOptimizedPaletteFromBitmap(TBitmap& bitmap, int colors, int colorBits, bool withSystemColors);

// An 8-bit copy of bitmap in the colours of the reduction method (rmNone: a 24-bit copy),
// mapped through the dither mode. Methods and modes outside the tables and palettes
// without entries give an empty bitmap. The source is switched to 24 bits per pixel.
std::unique_ptr<TBitmap> ReduceFrameColors(TBitmap& bitmap, TColorReduction method, TDitherMode dither,
                                           int reductionBits, const TPalette* customPalette);

}  // namespace GifCodec
