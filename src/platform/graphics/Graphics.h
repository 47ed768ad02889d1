#pragma once
// The class library's graphics: fonts, pens, brushes, the canvas, the abstract
// graphic with its class references, bitmaps with their pixel formats and
// palettes, the picture object with the list of picture file formats, icons and
// metafiles. No Qt type appears here; drawing goes through Qt inside the layer.
//
// Bitmap rows are kept top-down, each padded to a multiple of 4 bytes:
//   pf1bit   8 pixels per byte, most significant bit first (palette indices)
//   pf4bit   2 pixels per byte, high nibble first (palette indices)
//   pf8bit   one palette index per byte
//   pf15bit  little-endian 16-bit words 0RRRRRGGGGGBBBBB
//   pf16bit  little-endian 16-bit words RRRRRGGGGGGBBBBB
//   pf24bit  B, G, R
//   pf32bit  B, G, R, A (the 4th byte is kept as data; drawing takes it as opacity only
//            for a graphic whose HasAlphaChannel says so)
//   pfDevice the state of a new bitmap; its rows are laid out like pf32bit
// Row 0 is the top row. Callers walk rows with RowStride() and never assume its sign.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Types.h"

// Saves a file as the picture classes save theirs: the parts, one after the other, go
// to a temporary file in the file's folder, which is renamed over fileName when
// complete. Raises EFCreateError or EWriteError and leaves an existing file as it was.
void WriteFileReplacing(const std::string& fileName, std::initializer_list<std::string_view> parts);

class TGraphic;
class TBitmap;
class TCanvas;
class TPicture;

// ---------------------------------------------------------------------------
// Colours
// ---------------------------------------------------------------------------

// Resolves system colours (top byte 0xFF) to plain 0x00BBGGRR values; plain colours
// pass unchanged (the top byte is cleared). clNone and clDefault give black.
TColor ColorToRGB(TColor color);
// The GUI layer installs the desktop's colours here; nullptr restores the built-in
// classic table. The resolver receives the system colour index 0..24.
using TSystemColorResolver = std::function<TColor(int index)>;
void SetSystemColorResolver(TSystemColorResolver resolver);

// ---------------------------------------------------------------------------
// Palettes (logical palettes with value semantics)
// ---------------------------------------------------------------------------

struct TPaletteEntry {
  uint8_t peRed = 0, peGreen = 0, peBlue = 0, peFlags = 0;
  friend constexpr bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};
constexpr uint8_t PC_NOCOLLAPSE = 4;  // entry flag; kept but without meaning on Linux
constexpr int MaxPaletteEntries = 256;

// A logical palette: up to 256 entries. An empty palette stands for "no palette"
// (a null palette handle). Copies are independent.
class TPalette {
 public:
  TPalette() = default;
  // Entries beyond 256 are dropped.
  explicit TPalette(std::vector<TPaletteEntry> entries);
  TPalette(std::initializer_list<TPaletteEntry> entries);

  int Count() const { return int(entries_.size()); }
  bool IsEmpty() const { return entries_.empty(); }
  // Index must lie in 0..Count()-1 (EListError otherwise).
  const TPaletteEntry& Entry(int index) const;
  void SetEntry(int index, const TPaletteEntry& entry);
  const std::vector<TPaletteEntry>& Entries() const { return entries_; }
  // Changes the count; new entries are black. The count is clipped to 0..256.
  void Resize(int count);
  // Appends an entry; raises EInvalidGraphicOperation when 256 entries exist.
  void Add(const TPaletteEntry& entry);
  void Clear() { entries_.clear(); }
  // The entry's colour as 0x00BBGGRR; indices outside the palette give black.
  TColor Color(int index) const;

  friend bool operator==(const TPalette&, const TPalette&) = default;

 private:
  std::vector<TPaletteEntry> entries_;
};

constexpr TPaletteEntry PaletteEntry(uint8_t r, uint8_t g, uint8_t b, uint8_t flags = 0) { return {r, g, b, flags}; }

// The index whose colour is closest to color (squared distance in R, G, B; the lowest
// index on ties); -1 for an empty palette.
int NearestPaletteIndex(const TPalette& palette, TColor color);
int NearestPaletteIndex(const TPalette& palette, uint8_t r, uint8_t g, uint8_t b);

// The system's default palette of 20 colours: entries 0..7 the dark VGA colours and
// light grey, 8..11 money green, sky blue, cream and medium grey, 12..19 dark grey and
// the bright VGA colours ending in white.
const TPalette& DefaultPalette20();
// The 16-colour system palette (VGA order: black, maroon, green, olive, navy, purple,
// teal, silver, grey, red, lime, yellow, blue, fuchsia, aqua, white). The default
// palette of a new pf4bit bitmap.
const TPalette& SystemPalette16();
// The halftone palette of 256 entries, the default palette of a new pf8bit bitmap:
// 0..9 the first ten entries of DefaultPalette20, 10..225 the 6x6x6 colour cube with
// levels 0, 51, 102, 153, 204, 255 (entry 10 + 36*r + 6*g + b), 226..245 twenty greys
// round(k*255/21) for k = 1..20, 246..255 the last ten entries of DefaultPalette20.
const TPalette& HalftonePalette();
// Black and white: the default palette of a new pf1bit bitmap.
const TPalette& MonochromePalette();

// ---------------------------------------------------------------------------
// Fonts, pens and brushes
// ---------------------------------------------------------------------------

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;  // a set of TFontStyle bits
enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = uint8_t;
constexpr TFontCharset DEFAULT_CHARSET = 1;

// Base of the drawing tools: a change fires OnChange (the canvas listens to it).
class TGraphicsObject : public TPersistent {
 public:
  TNotifyEvent OnChange;

 protected:
  void Changed();
};

class TFont : public TGraphicsObject {
 public:
  TFont();
  void Assign(TPersistent* source) override;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  // Size in points; Height in pixels (negative: character height without leading).
  // They are two views of one value: Height = -Size * PixelsPerInch / 72.
  int Size() const;
  void SetSize(int points);
  int Height() const { return height_; }
  void SetHeight(int pixels);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);
  // Kept for the components that set it; text is Unicode, so it has no effect.
  TFontCharset Charset() const { return charset_; }
  void SetCharset(TFontCharset charset);
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi);

 private:
  std::string name_;
  int height_;
  TColor color_ = clWindowText;
  TFontStyles style_ = 0;
  TFontPitch pitch_ = fpDefault;
  TFontCharset charset_ = DEFAULT_CHARSET;
  int pixelsPerInch_ = 96;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// Pen mixes (destination D, pen P).
enum TPenMode {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};

class TPen : public TGraphicsObject {
 public:
  void Assign(TPersistent* source) override;
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode);

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush : public TGraphicsObject {
 public:
  void Assign(TPersistent* source) override;
  TColor Color() const { return color_; }
  // Setting a colour while the style is bsClear makes the brush solid again.
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

// ---------------------------------------------------------------------------
// Canvas
// ---------------------------------------------------------------------------

// Raster operations for CopyRect (and the drawing of bitmaps) as the class library numbers them.
using TCopyMode = int32_t;
constexpr TCopyMode cmBlackness = 0x00000042;
constexpr TCopyMode cmDstInvert = 0x00550009;
constexpr TCopyMode cmMergeCopy = 0x00C000CA;
constexpr TCopyMode cmMergePaint = 0x00BB0226;
constexpr TCopyMode cmNotSrcCopy = 0x00330008;
constexpr TCopyMode cmNotSrcErase = 0x001100A6;
constexpr TCopyMode cmPatCopy = 0x00F00021;
constexpr TCopyMode cmPatInvert = 0x005A0049;
constexpr TCopyMode cmPatPaint = 0x00FB0A09;
constexpr TCopyMode cmSrcAnd = 0x008800C6;
constexpr TCopyMode cmSrcCopy = 0x00CC0020;
constexpr TCopyMode cmSrcErase = 0x00440328;
constexpr TCopyMode cmSrcInvert = 0x00660046;
constexpr TCopyMode cmSrcPaint = 0x00EE0086;
constexpr TCopyMode cmWhiteness = 0x00FF0062;

class TCanvasImpl;  // inside the layer

// A drawing surface: the pixels of a bitmap, or (bound by the GUI layer for the time
// of a paint event) a window. A canvas that is bound to nothing draws nothing and
// reads black. Coordinates are pixels; rectangles exclude Right and Bottom.
class TCanvas : public TPersistent {
 public:
  // An unbound canvas (the GUI layer binds it to a window's painter while painting).
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TFont& Font() { return font_; }
  TPen& Pen() { return pen_; }
  TBrush& Brush() { return brush_; }
  void SetFont(const TFont& font);
  void SetPen(const TPen& pen);
  void SetBrush(const TBrush& brush);
  TCopyMode CopyMode() const { return copyMode_; }
  void SetCopyMode(TCopyMode mode) { copyMode_ = mode; }

  // Fills rect with the brush (nothing for bsClear).
  void FillRect(const TRect& rect);
  // Draws a 1-pixel border in the brush colour (the class library's FrameRect).
  void FrameRect(const TRect& rect);
  // Outline with the pen, inside with the brush; the shape covers Left..Right-1, Top..Bottom-1.
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& rect) { Rectangle(rect.Left, rect.Top, rect.Right, rect.Bottom); }
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& rect) { Ellipse(rect.Left, rect.Top, rect.Right, rect.Bottom); }
  // x3, y3: the width and height of the corner ellipses.
  void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
  void Polygon(const std::vector<TPoint>& points);
  void Polyline(const std::vector<TPoint>& points);
  void MoveTo(int x, int y);
  // Draws from the pen position to (x, y), not including (x, y); the pen moves there.
  void LineTo(int x, int y);
  TPoint PenPos() const { return penPos_; }
  void SetPenPos(const TPoint& p) { penPos_ = p; }

  // Text with its top-left corner at (x, y); the background is filled with the brush
  // unless the brush style is bsClear. The pen position moves to the end of the text.
  void TextOut(int x, int y, const std::string& text);
  // As TextOut, clipped to rect (whose background the brush fills first, unless bsClear).
  void TextRect(const TRect& rect, int x, int y, const std::string& text);
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);
  TSize TextExtent(const std::string& text);

  // Draws a graphic at its own size with (x, y) as its top-left corner.
  void Draw(int x, int y, TGraphic& graphic);
  // Draws a graphic stretched into rect (nearest pixel, as the class library's stretch mode).
  void StretchDraw(const TRect& rect, TGraphic& graphic);
  // Copies source's rectangle into dest (stretched when sizes differ) with CopyMode.
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
  // Copies source pixels where the 1-bit mask has a 0 bit and keeps the destination where
  // it has a 1 bit (a set bit marks a transparent pixel); mask and source are stretched
  // alike from sourceRect into dest. mask must have the source's size.
  void DrawMasked(const TRect& dest, const TBitmap& source, const TRect& sourceRect, const TBitmap& mask);

  // The colour of one pixel (clNone outside the surface), and setting it.
  TColor Pixels(int x, int y);
  void SetPixels(int x, int y, TColor color);
  // The rectangle drawing is limited to (the bitmap's bounds, or the painted area).
  TRect ClipRect() const;

  // Serialises drawing from several threads; Lock is recursive.
  void Lock();
  bool TryLock();
  void Unlock();
  int LockCount() const { return lockCount_; }

  // Fired before and after each drawing operation (the bitmap marks itself changed).
  TNotifyEvent OnChanging;
  TNotifyEvent OnChange;
  void Changing();
  void Changed();

  // Inside the layer: the binding to a bitmap or a painter.
  TCanvasImpl& Impl() { return *impl_; }

 private:
  friend class TBitmap;
  explicit TCanvas(TBitmap* bitmap);

  TFont font_;
  TPen pen_;
  TBrush brush_;
  TCopyMode copyMode_ = cmSrcCopy;
  TPoint penPos_;
  std::unique_ptr<TCanvasImpl> impl_;
  std::recursive_mutex lock_;
  int lockCount_ = 0;
};

// ---------------------------------------------------------------------------
// Graphic class references
// ---------------------------------------------------------------------------

// One static descriptor per graphic class: its name, its parent's descriptor and the
// virtual constructor. Class references are compared by identity (pointer equality).
class TGraphicClassInfo {
 public:
  using Factory = std::unique_ptr<TGraphic> (*)();
  constexpr TGraphicClassInfo(const char* name, const TGraphicClassInfo* parent, Factory factory)
      : name_(name), parent_(parent), factory_(factory) {}
  const char* ClassName() const { return name_; }
  const TGraphicClassInfo* ClassParent() const { return parent_; }
  // True when this class is other or derives from it.
  bool InheritsFrom(const TGraphicClassInfo* other) const;
  // Creates a new, empty instance; raises EAbstractError for an abstract class.
  std::unique_ptr<TGraphic> Create() const;

  template <class T>
  static std::unique_ptr<TGraphic> Make() { return std::make_unique<T>(); }

 private:
  const char* name_;
  const TGraphicClassInfo* parent_;
  Factory factory_;
};
using TGraphicClass = const TGraphicClassInfo*;

// Declares a graphic class's descriptor inside its class body: a static ClassRef()
// and the ClassType() override. Leaves the access at public. The class needs a
// default constructor.
#define KIVO2_GRAPHIC_CLASS(Class, Parent)                                                   \
 public:                                                                                     \
  static TGraphicClass ClassRef() {                                                          \
    static const TGraphicClassInfo info(#Class, Parent::ClassRef(), &TGraphicClassInfo::Make<Class>); \
    return &info;                                                                            \
  }                                                                                          \
  TGraphicClass ClassType() const override { return Class::ClassRef(); }

// The same for a class that cannot be created (Create raises EAbstractError).
#define KIVO2_ABSTRACT_GRAPHIC_CLASS(Class, Parent)                      \
 public:                                                                 \
  static TGraphicClass ClassRef() {                                      \
    static const TGraphicClassInfo info(#Class, Parent::ClassRef(), nullptr); \
    return &info;                                                        \
  }                                                                      \
  TGraphicClass ClassType() const override { return Class::ClassRef(); }

// ---------------------------------------------------------------------------
// TGraphic
// ---------------------------------------------------------------------------

enum TProgressStage { psStarting, psRunning, psEnding };
using TProgressEvent = std::function<void(TObject* Sender, TProgressStage Stage, uint8_t PercentDone,
                                          bool RedrawNow, const TRect& R, const std::string& Msg)>;

// Clipboard format numbers (the GUI layer's clipboard understands these).
using TClipboardFormat = uint16_t;
constexpr TClipboardFormat CF_BITMAP = 2;
constexpr TClipboardFormat CF_DIB = 8;

// The abstract picture: a bitmap, icon, metafile, JPEG or one of the format classes.
class TGraphic : public TPersistent {
 public:
  TGraphic();
  ~TGraphic() override;
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;

  static TGraphicClass ClassRef();
  // The class reference of this object's own class.
  virtual TGraphicClass ClassType() const;

  // Copies source into this graphic. The default takes a TPicture's graphic, then asks
  // a source graphic to AssignTo this one, else raises EConvertError "Cannot assign a %s to a %s".
  void Assign(TPersistent* source) override;
  // Copies this graphic into dest; the default raises EConvertError "Cannot assign a %s to a %s".
  virtual void AssignTo(TPersistent* dest);
  // Same class and the same saved bytes.
  virtual bool Equals(const TGraphic& other);

  // Draws the graphic into rect of canvas (stretched); used by TCanvas::Draw and StretchDraw.
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;

  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int value) = 0;
  virtual void SetHeight(int value) = 0;
  // The graphic's palette (empty when it has none); SetPalette takes a copy.
  virtual TPalette Palette() const;
  virtual void SetPalette(const TPalette& palette);
  virtual bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool value);
  // The graphic's pixels carry their opacity (a picture file's alpha, an icon's): drawing
  // lays them over what the canvas holds.
  virtual bool HasAlphaChannel() const { return false; }

  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  // Opens the file for reading and calls LoadFromStream.
  virtual void LoadFromFile(const std::string& fileName);
  // Writes SaveToStream's bytes to a temporary file in the same folder and renames it
  // over fileName when complete.
  virtual void SaveToFile(const std::string& fileName);
  // The default raises EInvalidGraphic "Clipboard format not supported".
  virtual void LoadFromClipboardFormat(TClipboardFormat format, const std::vector<uint8_t>& data,
                                       const TPalette& palette);
  virtual void SaveToClipboardFormat(TClipboardFormat& format, std::vector<uint8_t>& data, TPalette& palette);

  // Marks the graphic modified and fires OnChange.
  virtual void Changed(TObject* sender);
  // Forwards to OnProgress.
  void Progress(TObject* sender, TProgressStage stage, uint8_t percentDone, bool redrawNow, const TRect& r,
                const std::string& msg);

  bool Modified() const { return modified_; }
  // Setting it to true calls Changed.
  void SetModified(bool value);
  bool PaletteModified() const { return paletteModified_; }
  void SetPaletteModified(bool value) { paletteModified_ = value; }

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

 protected:
  bool transparent_ = false;

 private:
  bool modified_ = false;
  bool paletteModified_ = false;
};

// ---------------------------------------------------------------------------
// TBitmap
// ---------------------------------------------------------------------------

namespace graphics_detail {
// Large pixel buffers come straight from the system, aligned for huge pages, which
// makes the first touch of a picture's memory several times cheaper.
constexpr size_t LargeBufferBytes = size_t(4) << 20;
void* AllocateLargeBuffer(size_t bytes);
void FreeLargeBuffer(void* p, size_t bytes) noexcept;
// While one lives, large buffers that this thread allocates may be ones freed a moment
// ago, holding old bytes (else they come from the system, zeroed): for buffers whose
// every byte is written before it is read. Opening picture after picture of one size
// then costs no fresh memory from the system each time.
class TReusedBufferScope {
 public:
  TReusedBufferScope();
  ~TReusedBufferScope();
  TReusedBufferScope(const TReusedBufferScope&) = delete;
  TReusedBufferScope& operator=(const TReusedBufferScope&) = delete;

 private:
  bool was_;
};

// An allocator whose new elements are left uninitialised; the bitmap zeroes what must be zero.
template <class T>
struct DefaultInitAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = DefaultInitAllocator<U>;
  };
  DefaultInitAllocator() = default;
  template <class U>
  DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}
  T* allocate(size_t n) {
    if (n * sizeof(T) >= LargeBufferBytes) return static_cast<T*>(AllocateLargeBuffer(n * sizeof(T)));
    return std::allocator<T>::allocate(n);
  }
  void deallocate(T* p, size_t n) noexcept {
    if (n * sizeof(T) >= LargeBufferBytes)
      FreeLargeBuffer(p, n * sizeof(T));
    else
      std::allocator<T>::deallocate(p, n);
  }
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// A bitmap's pixel rows, in one block.
using TPixelBuffer = std::vector<uint8_t, DefaultInitAllocator<uint8_t>>;
}  // namespace graphics_detail

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode { tmAuto, tmFixed };

// The largest bitmap the layer allocates: its pixel buffer holds at most MaxBitmapBytes,
// and a side is at most as long as a row of 32-bit pixels that fills that buffer, so that
// any row widened to 32 bits per pixel (to draw or convert it) stays within the same bound.
constexpr int64_t MaxBitmapBytes = int64_t(1) << 30;
constexpr int MaxBitmapSide = int(MaxBitmapBytes / 4);

class TBitmap : public TGraphic {
  KIVO2_GRAPHIC_CLASS(TBitmap, TGraphic)

 public:
  TBitmap();
  ~TBitmap() override;

  // A copy of pixels, pixel format, palette and transparency settings from a TBitmap
  // (the two share one block of pixels until either changes them); other graphics are
  // drawn into a 24-bit bitmap of their size (a TJPEGImage hands over its decoded
  // bitmap); nullptr empties the bitmap.
  void Assign(TPersistent* source) override;
  void Draw(TCanvas& canvas, const TRect& rect) override;
  bool Empty() const override { return width_ == 0 || height_ == 0; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Width, Height and SetSize keep the overlapping pixels and zero the rest. Sizes
  // beyond MaxBitmapSide or MaxBitmapBytes raise EOutOfResources; negative sizes count as 0.
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  void SetSize(int width, int height);
  // The colour table of pf1bit, pf4bit and pf8bit bitmaps; it may hold fewer entries
  // than 2^bpp (indices beyond it show black). The bitmap keeps a copy, cut to 2^bpp
  // entries for indexed formats.
  TPalette Palette() const override { return palette_; }
  void SetPalette(const TPalette& palette) override;
  bool Transparent() const override { return transparent_; }
  void SetTransparent(bool value) override;

  // Reads a BMP file: 12-byte core, 40-byte, V4 and V5 headers; 1, 4, 8, 16, 24 and
  // 32 bits; bottom-up and top-down rows; RLE4, RLE8 and bit fields. Bad data raises
  // EInvalidGraphic "Bitmap image is not valid"; short pixel data keeps what is there.
  void LoadFromStream(TStream& stream) override;
  // Writes a bottom-up BMP: 1, 4, 8, 24 and 32 bits as they are, pf15bit as 16 bits,
  // pf16bit as 16 bits with 5-6-5 bit fields, pfDevice as 24 bits.
  void SaveToStream(TStream& stream) override;
  // CF_DIB: the BMP data without the 14-byte file header.
  void LoadFromClipboardFormat(TClipboardFormat format, const std::vector<uint8_t>& data,
                               const TPalette& palette) override;
  void SaveToClipboardFormat(TClipboardFormat& format, std::vector<uint8_t>& data, TPalette& palette) override;

  // Setting it converts the pixels: any format to pf24bit and pf32bit; indexed formats
  // among themselves keep their indices while they fit; colours to indexed formats take
  // the nearest entry of the bitmap's palette (or the new format's default palette);
  // pf32bit to pf24bit drops the 4th byte. pfCustom raises EInvalidGraphic.
  TPixelFormat PixelFormat() const { return pixelFormat_; }
  void SetPixelFormat(TPixelFormat format);
  // Bits per pixel of the row layout (32 for pfDevice).
  int BitsPerPixel() const;
  // Length of one row in bytes (padded to 4).
  int ScanLineSize() const { return stride_; }
  // Address of a row (0 = top); rows outside 0..Height-1 raise EInvalidGraphicOperation
  // "Scan line index out of range". The writable rows are the bitmap's own: pixels it
  // shares with a bitmap assigned from it or to it are copied first, so a row address
  // taken before such an Assign must be asked for again before it is written through.
  uint8_t* ScanLine(int row);
  const uint8_t* ScanLine(int row) const;
  // Signed distance in bytes from one row's start to the next row's start.
  intptr_t RowStride() const { return stride_; }

  // Releases the image: the bitmap becomes empty (0 x 0); pixel format and palette stay.
  void ReleaseHandle();
  // A 2-colour bitmap (pf1bit with black and white).
  bool Monochrome() const;
  // True makes the bitmap pf1bit with black and white; false makes a pf1bit bitmap pfDevice.
  void SetMonochrome(bool value);
  // Makes the bitmap a black-and-white pf1bit bitmap from rows of bits (MSB first, set
  // bits white) whose rows are rowBytes long (for example padded to 2 bytes).
  void LoadMonochromeBits(int width, int height, const uint8_t* bits, int rowBytes);

  // The colour treated as transparent: in tmAuto the colour of the bottom-left pixel,
  // in tmFixed the colour set. Setting it switches to tmFixed.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor color);
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode mode);
  // A pf1bit mask of the bitmap's size: bit 1 (white) where the pixel has the
  // transparent colour, 0 (black) elsewhere.
  std::unique_ptr<TBitmap> CreateMask() const;

  // The bitmap's canvas (made on first use).
  TCanvas& Canvas();
  bool HasCanvas() const { return canvas_ != nullptr; }

  // The colour of pixel (x, y) as 0x00BBGGRR (black outside; indices beyond the palette black).
  TColor PixelColor(int x, int y) const;

 private:
  void reallocate(int width, int height);
  void convertTo(TPixelFormat format);
  void takeFrom(TBitmap& other);
  // The pixels as this bitmap's own block, copied first when another bitmap shares them.
  uint8_t* ownPixels();
  const uint8_t* pixelData() const { return pixels_ ? pixels_->data() : nullptr; }
  void setPixels(graphics_detail::TPixelBuffer&& fresh);
  // For decoders that write every row: the size without zeroing the pixels.
  friend class TJPEGImage;
  void allocateUninitialised(TPixelFormat format, int width, int height);

  int width_ = 0, height_ = 0;
  int stride_ = 0;
  TPixelFormat pixelFormat_ = pfDevice;
  std::shared_ptr<graphics_detail::TPixelBuffer> pixels_;
  TPalette palette_;
  TColor transparentColor_ = clDefault;
  TTransparentMode transparentMode_ = tmAuto;
  std::unique_ptr<TCanvas> canvas_;
};

// ---------------------------------------------------------------------------
// TIcon and TMetafile
// ---------------------------------------------------------------------------

// An icon (.ico): the first image of the file, kept as a 32-bit bitmap whose 4th byte
// is the alpha; drawing blends it over the destination.
class TIcon : public TGraphic {
  KIVO2_GRAPHIC_CLASS(TIcon, TGraphic)

 public:
  TIcon();
  ~TIcon() override;
  void Assign(TPersistent* source) override;
  void AssignTo(TPersistent* dest) override;
  void Draw(TCanvas& canvas, const TRect& rect) override;
  bool Empty() const override;
  bool HasAlphaChannel() const override { return true; }
  int Width() const override;
  int Height() const override;
  // Icons keep the size of their image; setting it raises EInvalidGraphicOperation
  // "Cannot change the size of an icon".
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  // Bad data raises EInvalidGraphic "Icon image is not valid".
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // The icon's pixels (pf32bit, B, G, R, A); empty when no icon is loaded.
  const TBitmap& Image() const { return image_; }
  // A pf1bit mask: bit 1 where the icon is transparent (alpha below 128).
  std::unique_ptr<TBitmap> CreateMask() const;

 private:
  TBitmap image_;
  std::vector<uint8_t> data_;  // the file as loaded, written back unchanged
};

// Draws a pf32bit bitmap whose 4th byte is the alpha into rect (stretched to it), blended
// over what the canvas holds.
void DrawBlended(TCanvas& canvas, const TRect& rect, const TBitmap& image);
// Makes out a 24-bit bitmap of the graphic's size holding the graphic drawn over a fill of
// background: what its transparent parts show.
void DrawOverColor(TGraphic& graphic, TColor background, TBitmap& out);

// Metafiles have no drawing backend on Linux: loading raises EInvalidGraphic
// "Metafiles are not supported"; a metafile stays empty and draws nothing.
class TMetafile : public TGraphic {
  KIVO2_GRAPHIC_CLASS(TMetafile, TGraphic)

 public:
  void Assign(TPersistent* source) override;
  void Draw(TCanvas& canvas, const TRect& rect) override;
  bool Empty() const override { return true; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetWidth(int value) override { width_ = value < 0 ? 0 : value; }
  void SetHeight(int value) override { height_ = value < 0 ? 0 : value; }
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;

 private:
  int width_ = 0, height_ = 0;
};

// ---------------------------------------------------------------------------
// TPicture and the list of picture file formats
// ---------------------------------------------------------------------------

// One entry of the platform's picture format list.
struct TFileFormatEntry {
  std::string Extension;    // without the dot, as registered
  std::string Description;  // shown in open dialogs
  TGraphicClass GraphicClass = nullptr;
};

class TPicture : public TPersistent {
 public:
  TPicture();
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  // The graphic held (nullptr when none). SetGraphic keeps its own copy (a new
  // instance of the same class, assigned from value); nullptr frees it.
  TGraphic* Graphic() const { return graphic_.get(); }
  void SetGraphic(TGraphic* value);
  // The graphic as a bitmap: when the picture holds no TBitmap (or derived class), it is
  // replaced by a new empty TBitmap first.
  TBitmap* Bitmap();
  int Width() const;
  int Height() const;

  // Picks the graphic class by the file's extension (without case, the latest
  // registration first) and loads it through the graphic's LoadFromFile. An unknown
  // extension raises EInvalidGraphic "Unknown picture file extension (.%s)". A failed
  // load frees the new graphic and leaves the picture unchanged.
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);
  // Copies a TPicture or a TGraphic (nullptr frees the graphic).
  void Assign(TPersistent* source) override;

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

  // The format list, shared by the whole program. The platform's own classes come
  // first: bmp, ico, wmf, emf, jpg, jpeg.
  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 TGraphicClass graphicClass);
  // Kept for the formats that name a clipboard format; it has no effect.
  static void RegisterClipboardFormat(TClipboardFormat format, TGraphicClass graphicClass);
  // Removes every entry whose class is graphicClass or derives from it.
  static void UnregisterGraphicClass(TGraphicClass graphicClass);
  // The class registered for an extension (with or without the dot, without case, the
  // latest registration first); nullptr when none.
  static TGraphicClass FindGraphicClass(const std::string& extension);
  // The entries in registration order.
  static std::vector<TFileFormatEntry> FileFormats();

 private:
  void changed(TObject* sender);
  void hookGraphic();
  std::unique_ptr<TGraphic> graphic_;
};

// An open-dialog filter of every registered format whose class inherits from graphicClass:
// "All (*.bmp;*.ico)|*.bmp;*.ico|Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico".
std::string GraphicFilter(TGraphicClass graphicClass);
// The first extension registered for graphicClass (without the dot), or empty.
std::string GraphicExtension(TGraphicClass graphicClass);
// "*.bmp;*.ico" for every registered format inheriting from graphicClass.
std::string GraphicFileMask(TGraphicClass graphicClass);
