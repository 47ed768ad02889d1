#pragma once
// The GIF image class and its object tree: a TGIFImage owns a header (logical screen
// and global colour table) and a list of frames; each frame owns its extensions, its
// local colour table and its pixels (one colour index per byte). The image reads and
// writes GIF87a/GIF89a files, draws itself, plays its animation on painter threads,
// converts other graphics into frames and exchanges GIF data with the clipboard.
//
// Animation speed (TGIFImage::AnimationSpeed, percent): 100 plays the file's delays,
// 200 halves them; 0 holds a threaded animation at its first frame until it is stopped
// (an unthreaded one waits 12 seconds per frame); below 0 the frames follow each other
// without waits.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "formats/GIFImage_Codec.h"
#include "formats/GIFImage_Color.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/Threads.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Streams.h"

class TGIFImage;
class TGIFSubImage;
class TGIFHeader;
class TGIFExtension;
class TGIFGraphicControlExtension;
class TGIFPainter;

enum TGIFVersion : uint8_t { gvUnknown, gv87a, gv89a };

// One colour table entry, stored red, green, blue.
struct TGIFColor {
  uint8_t Red = 0, Green = 0, Blue = 0;
  friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

namespace GifCodec {

// A class-library colour (red in the low byte) as a triple and back.
TGIFColor ColorToTriple(TColor color);
TColor TripleToColor(const TGIFColor& triple);

void WriteByte(TStream& stream, uint8_t value);
// One byte; false at the end of the stream.
bool ReadByte(TStream& stream, uint8_t& value);
// Reads exactly size bytes, else GIFException "Premature end of data".
void ReadCheck(TStream& stream, void* buffer, int64_t size);
// Each string in pieces of at most 255 bytes with a length byte each, then a zero byte.
void WriteStrings(TStream& stream, const TStrings& strings);
// Clears the list, then adds each sub-block as one string up to a zero length or the end.
void ReadStrings(TStream& stream, TStrings& strings);

}  // namespace GifCodec

// ---------------------------------------------------------------------------
// Items and lists
// ---------------------------------------------------------------------------

class TGIFItem : public TPersistent {
 public:
  explicit TGIFItem(TGIFImage* image) : image_(image) {}
  TGIFImage* Image() const { return image_; }
  virtual TGIFVersion GetVersion() const { return gv87a; }
  // Reports a problem that does not stop the work to the image's warning event.
  virtual void Warning(int severity, const std::string& message);
  virtual void SaveToStream(TStream& stream) = 0;
  virtual void LoadFromStream(TStream& stream) = 0;
  void SaveToFile(const std::string& fileName);
  void LoadFromFile(const std::string& fileName);

 protected:
  TGIFImage* image_;
};

// A list that owns its items: deleting or clearing frees them; Remove does not.
class TGIFList : public TPersistent {
 public:
  explicit TGIFList(TGIFImage* image) : image_(image) {}
  ~TGIFList() override;
  TGIFList(const TGIFList&) = delete;
  TGIFList& operator=(const TGIFList&) = delete;

  TGIFImage* Image() const { return image_; }
  TGIFItem* GetItem(int index) const;
  int GetCount() const { return int(items_.size()); }
  int Add(TGIFItem* item);
  void Delete(int index);
  void Clear();
  int Remove(TGIFItem* item);
  int IndexOf(const TGIFItem* item) const;
  virtual void SaveToStream(TStream& stream);
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void Warning(int severity, const std::string& message);

 protected:
  TGIFImage* image_;
  std::vector<TGIFItem*> items_;
};

// ---------------------------------------------------------------------------
// Colour tables
// ---------------------------------------------------------------------------

struct TGIFHistogramEntry {
  int32_t Count = 0;
  int32_t Index = 0;
};
using TGIFHistogram = std::array<TGIFHistogramEntry, 256>;

class TGIFColorMap : public TPersistent {
 public:
  TGIFColorMap() = default;
  TGIFColorMap(const TGIFColorMap&) = delete;
  TGIFColorMap& operator=(const TGIFColorMap&) = delete;

  void Clear();
  // The colour at index; outside the table a warning and entry 0 (an empty table fails).
  TColor Colors(int index);
  // The triple at index, or black outside the table (no warning).
  TGIFColor Triple(int index) const { return index >= 0 && index < count_ ? data_[size_t(index)] : TGIFColor{}; }
  int Add(TColor color);
  int AddUnique(TColor color);
  void Delete(int index);
  int IndexOf(TColor color) const;
  void ImportPalette(const TPalette& palette);
  void ImportRGB(const TRGBQuad* colors, int count);
  // The colour table of an indexed bitmap.
  void ImportDIB(const TBitmap& bitmap);
  TPalette ExportPalette() const;
  int BitsPerPixel() const;
  void SaveToStream(TStream& stream) const;
  void LoadFromStream(TStream& stream, int count);
  void Assign(TPersistent* source) override;

  int Count() const { return count_; }
  int Capacity() const { return capacity_; }
  bool Optimized() const { return optimized_; }
  void SetOptimized(bool value) { optimized_ = value; }

  virtual void Warning(int severity, const std::string& message) = 0;
  virtual void BuildHistogram(TGIFHistogram& histogram) = 0;
  virtual void MapImages(const uint8_t* map) = 0;
  virtual bool Optimize() = 0;
  virtual void Changed() = 0;

 protected:
  bool DoOptimize();
  void SetCapacity(int size);

 private:
  std::vector<TGIFColor> data_;  // Capacity entries
  int count_ = 0;
  int capacity_ = 0;
  bool optimized_ = false;
};

class TGIFGlobalColorMap : public TGIFColorMap {
 public:
  explicit TGIFGlobalColorMap(TGIFHeader* header) : header_(header) {}
  TGIFHeader* Header() const { return header_; }
  void Warning(int severity, const std::string& message) override;
  void BuildHistogram(TGIFHistogram& histogram) override;
  void MapImages(const uint8_t* map) override;
  bool Optimize() override;
  void Changed() override;

 private:
  TGIFHeader* header_;
};

class TGIFLocalColorMap : public TGIFColorMap {
 public:
  explicit TGIFLocalColorMap(TGIFSubImage* subImage) : subImage_(subImage) {}
  TGIFSubImage* SubImage() const { return subImage_; }
  void Warning(int severity, const std::string& message) override;
  void BuildHistogram(TGIFHistogram& histogram) override;
  void MapImages(const uint8_t* map) override;
  bool Optimize() override;
  void Changed() override;

 private:
  TGIFSubImage* subImage_;
};

// ---------------------------------------------------------------------------
// Header
// ---------------------------------------------------------------------------

class TGIFHeader : public TGIFItem {
 public:
  explicit TGIFHeader(TGIFImage* image);
  ~TGIFHeader() override;
  void Clear();
  void Assign(TPersistent* source) override;
  TGIFVersion GetVersion() const override;
  TColor BackgroundColor();
  int BitsPerPixel() const;
  int ColorResolution() const { return BitsPerPixel() - 1; }
  void Prepare();
  void SaveToStream(TStream& stream) override;
  void LoadFromStream(TStream& stream) override;

  TGIFGlobalColorMap& ColorMap() { return *colorMap_; }
  const TGIFGlobalColorMap& ColorMap() const { return *colorMap_; }
  uint16_t Width() const { return width_; }
  uint16_t Height() const { return height_; }
  void SetWidth(uint16_t value) { width_ = value; }
  void SetHeight(uint16_t value) { height_ = value; }
  uint8_t PackedFields() const { return packed_; }
  uint8_t BackgroundColorIndex() const { return backgroundIndex_; }
  void SetBackgroundColorIndex(uint8_t value) { backgroundIndex_ = value; }
  uint8_t AspectRatio() const { return aspect_; }
  void SetAspectRatio(uint8_t value) { aspect_ = value; }

 private:
  uint16_t width_ = 0, height_ = 0;
  uint8_t packed_ = 0, backgroundIndex_ = 0, aspect_ = 0;
  std::unique_ptr<TGIFGlobalColorMap> colorMap_;
};

// ---------------------------------------------------------------------------
// Extensions
// ---------------------------------------------------------------------------

// What stands for a class reference of the extension classes: the label, the class
// lookup that may name a more specific class, and the constructor.
struct TGIFExtensionClassInfo;
using TGIFExtensionClass = const TGIFExtensionClassInfo*;
struct TGIFExtensionClassInfo {
  const char* Name;
  uint8_t Label;
  TGIFExtensionClass (*FindExtension)(TGIFExtensionClass self, TStream& stream);
  TGIFExtension* (*Create)(TGIFSubImage* subImage);
};

class TGIFExtensionList : public TGIFList {
 public:
  TGIFExtensionList(TGIFImage* image, TGIFSubImage* subImage) : TGIFList(image), subImage_(subImage) {}
  TGIFExtension* GetExtension(int index) const;
  // Reads the extensions that precede an image descriptor.
  void LoadFromStream(TStream& stream) override;

 private:
  TGIFSubImage* subImage_;
};

class TGIFExtension : public TGIFItem {
 public:
  explicit TGIFExtension(TGIFSubImage* subImage);
  ~TGIFExtension() override;
  TGIFVersion GetVersion() const override { return gv89a; }
  virtual uint8_t ExtensionType() const = 0;
  virtual TGIFExtensionClass ClassType() const = 0;
  TGIFSubImage* SubImage() const { return subImage_; }
  // "!", the label, then the body.
  void SaveToStream(TStream& stream) override;
  void LoadFromStream(TStream& stream) override;

 protected:
  virtual void SaveBody(TStream& stream) = 0;
  virtual void LoadBody(TStream& stream) = 0;
  TGIFSubImage* subImage_;
};

enum TDisposalMethod : uint8_t { dmNone, dmNoDisposal, dmBackground, dmPrevious };

class TGIFGraphicControlExtension : public TGIFExtension {
 public:
  static TGIFExtensionClass ClassRef();
  explicit TGIFGraphicControlExtension(TGIFSubImage* subImage);
  ~TGIFGraphicControlExtension() override;
  uint8_t ExtensionType() const override { return 0xF9; }
  TGIFExtensionClass ClassType() const override { return ClassRef(); }
  void Assign(TPersistent* source) override;

  bool Transparent() const { return packed_ & 0x01; }
  void SetTransparent(bool value);
  bool UserInput() const { return packed_ & 0x02; }
  TDisposalMethod Disposal() const { return TDisposalMethod((packed_ >> 2) & 0x07); }
  void SetDisposal(TDisposalMethod value);
  uint16_t Delay() const { return delay_; }
  void SetDelay(uint16_t value) { delay_ = value; }
  uint8_t TransparentColorIndex() const { return transparentIndex_; }
  // An index beyond the frame's colour table warns and stores 0.
  void SetTransparentColorIndex(uint8_t value);

 protected:
  void SaveBody(TStream& stream) override;
  void LoadBody(TStream& stream) override;

 private:
  uint8_t blockSize_ = 4, packed_ = 0;
  uint16_t delay_ = 0;
  uint8_t transparentIndex_ = 0, terminator_ = 0;
};

class TGIFTextExtension : public TGIFExtension {
 public:
  static TGIFExtensionClass ClassRef();
  explicit TGIFTextExtension(TGIFSubImage* subImage);
  uint8_t ExtensionType() const override { return 0x01; }
  TGIFExtensionClass ClassType() const override { return ClassRef(); }
  TStringList& Text() { return text_; }
  uint16_t Left = 0, Top = 0, GridWidth = 0, GridHeight = 0;
  uint8_t CellWidth = 0, CellHeight = 0, ForegroundColorIndex = 0, BackgroundColorIndex = 0;

 protected:
  void SaveBody(TStream& stream) override;
  void LoadBody(TStream& stream) override;

 private:
  TStringList text_;
  uint8_t blockSize_ = 12;
};

class TGIFCommentExtension : public TGIFExtension {
 public:
  static TGIFExtensionClass ClassRef();
  explicit TGIFCommentExtension(TGIFSubImage* subImage) : TGIFExtension(subImage) {}
  uint8_t ExtensionType() const override { return 0xFE; }
  TGIFExtensionClass ClassType() const override { return ClassRef(); }
  TStringList& Comment() { return comment_; }

 protected:
  void SaveBody(TStream& stream) override;
  void LoadBody(TStream& stream) override;

 private:
  TStringList comment_;
};

class TGIFApplicationExtension : public TGIFExtension {
 public:
  static TGIFExtensionClass ClassRef();
  explicit TGIFApplicationExtension(TGIFSubImage* subImage) : TGIFExtension(subImage) {}
  uint8_t ExtensionType() const override { return 0xFF; }
  TGIFExtensionClass ClassType() const override { return ClassRef(); }
  // The 8 identifier bytes followed by the 3 bytes of the authentication code.
  std::array<uint8_t, 11> Identifier{};

 protected:
  void SaveBody(TStream& stream) override;
  void LoadBody(TStream& stream) override;
  virtual void SaveData(TStream& stream);
  virtual void LoadData(TStream& stream);
};

class TGIFBlock {
 public:
  explicit TGIFBlock(uint8_t size) : Data(size, 0) {}
  std::vector<uint8_t> Data;
};

class TGIFUnknownAppExtension : public TGIFApplicationExtension {
 public:
  static TGIFExtensionClass ClassRef();
  explicit TGIFUnknownAppExtension(TGIFSubImage* subImage) : TGIFApplicationExtension(subImage) {}
  TGIFExtensionClass ClassType() const override { return ClassRef(); }
  std::vector<TGIFBlock>& Blocks() { return blocks_; }

 protected:
  void SaveData(TStream& stream) override;
  void LoadData(TStream& stream) override;

 private:
  std::vector<TGIFBlock> blocks_;
};

// The loop extension ("NETSCAPE2.0", also "ANIMEXTS1.0"): a loop count of 0 loops for ever.
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
 public:
  static TGIFExtensionClass ClassRef();
  explicit TGIFAppExtNSLoop(TGIFSubImage* subImage);
  TGIFExtensionClass ClassType() const override { return ClassRef(); }
  uint16_t Loops = 0;
  uint32_t BufferSize = 0;

 protected:
  void SaveData(TStream& stream) override;
  void LoadData(TStream& stream) override;
};

namespace GifCodec {
// Adds a class to the registry of extension classes by label (searched from the last entry).
void RegisterExtension(uint8_t label, TGIFExtensionClass extensionClass);
// Adds a class to the registry of application extensions by their 11 identifier bytes.
void RegisterAppExtension(const uint8_t* identifier, TGIFExtensionClass extensionClass);
// The class of the extension at the stream's position (just after "!"), or nullptr;
// the stream is set back to where it was.
TGIFExtensionClass FindExtension(TStream& stream);
}  // namespace GifCodec

// ---------------------------------------------------------------------------
// Frame
// ---------------------------------------------------------------------------

class TGIFSubImage : public TGIFItem {
 public:
  explicit TGIFSubImage(TGIFImage* image);
  ~TGIFSubImage() override;

  void Clear();
  bool Empty() const;
  void Assign(TPersistent* source) override;
  void AssignTo(TPersistent* dest);
  TGIFVersion GetVersion() const override;
  void SaveToStream(TStream& stream) override;
  void LoadFromStream(TStream& stream) override;
  void Prepare();
  void Compress(TStream& stream);
  void Decompress(TStream& stream);

  // Pixels.
  void NewImage();
  void FreeImage();
  void NeedImage();
  uint8_t* Data() { return data_.empty() ? nullptr : data_.data(); }
  const uint8_t* Data() const { return data_.empty() ? nullptr : data_.data(); }
  int64_t DataSize() const { return int64_t(data_.size()); }
  uint8_t Pixels(int x, int y) const;
  void SetPixel(int x, int y, uint8_t value);
  uint8_t* ScanLine(int y);

  // Bounds (from the descriptor).
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
  void SetTop(int value) { SetBounds(left_, value, width_, height_); }
  void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
  void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
  void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return TRect(left_, top_, left_ + width_, top_ + height_); }
  bool Interlaced() const { return packed_ & 0x40; }
  void SetInterlaced(bool value) { packed_ = value ? uint8_t(packed_ | 0x40) : uint8_t(packed_ & ~0x40); }
  uint8_t PackedFields() const { return packed_; }

  // Colours.
  TGIFLocalColorMap& ColorMap() { return *colorMap_; }
  const TGIFLocalColorMap& ColorMap() const { return *colorMap_; }
  TGIFColorMap& ActiveColorMap();
  int BitsPerPixel() const { return colorMap_->BitsPerPixel(); }
  int ColorResolution() const { return BitsPerPixel() - 1; }
  TPalette GetPalette();
  // nullopt drops the kept palette.
  void SetPalette(const std::optional<TPalette>& palette);

  // Extensions and transparency.
  TGIFExtensionList& Extensions() { return *extensions_; }
  bool Transparent() const { return transparent_; }
  TGIFGraphicControlExtension* GraphicControlExtension() const { return gce_; }

  // Rendering and drawing.
  TBitmap* GetBitmap();
  void SetBitmap(TBitmap* bitmap);
  bool HasBitmap() const { return bitmap_ != nullptr; }
  void NewBitmap();
  void FreeBitmap();
  void FreeMask();
  bool HasMask();
  const TBitmap* Mask() const { return mask_.get(); }
  void Draw(TCanvas& canvas, const TRect& rect, bool transparent, bool tile);
  void StretchDraw(TCanvas& canvas, const TRect& rect, bool transparent, bool tile);
  TRect ScaleRect(const TRect& rect) const;

  // Optimisation.
  void Crop();
  void MarkUnchangedTransparent(TGIFSubImage* previous);

 private:
  friend class TGIFGraphicControlExtension;
  friend class TGIFExtension;
  friend class TGIFImage;
  std::unique_ptr<TBitmap> DoGetBitmap();
  std::unique_ptr<TBitmap> DoGetDitherBitmap();
  void AssignFromBitmap(TBitmap& source, bool sourceTransparent, const TBitmap* sourceMask);
  void ImportMaskBitmap(TBitmap& mask);
  void ImportMetafileMask(TGraphic& graphic);
  void Progress(TProgressStage stage, int percent, const char* message);
  void DrawBitmap(TCanvas& canvas, const TRect& dest, TBitmap& bitmap, bool masked);

  std::unique_ptr<TBitmap> bitmap_;
  std::unique_ptr<TBitmap> mask_;
  bool needMask_ = true;
  std::optional<TPalette> palette_;
  std::vector<uint8_t> data_;
  std::unique_ptr<TGIFLocalColorMap> colorMap_;
  uint16_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  uint8_t packed_ = 0;
  std::unique_ptr<TGIFExtensionList> extensions_;
  bool transparent_ = false;
  TGIFGraphicControlExtension* gce_ = nullptr;
};

class TGIFImageList : public TGIFList {
 public:
  explicit TGIFImageList(TGIFImage* image) : TGIFList(image) {}
  TGIFSubImage* GetImage(int index) const { return static_cast<TGIFSubImage*>(GetItem(index)); }
  TGIFSubImage* operator[](int index) const { return GetImage(index); }
  void SaveToStream(TStream& stream) override;
  void LoadFromStream(TStream& stream) override;
};

// ---------------------------------------------------------------------------
// The image
// ---------------------------------------------------------------------------

using TGIFDrawOptions = uint16_t;
constexpr TGIFDrawOptions doThreaded = 1, doTransparent = 2, doAnimate = 4, doLoop = 8, doLoopForever = 16,
                          doValidateDC = 32, doDirectDraw = 64, doBackgroundBuffer = 128, doTile = 256,
                          doDither = 512, doAutoDither = 1024;
constexpr TGIFDrawOptions GIFImageDefaultDrawOptions = 0x060F;

enum TGIFCompression : uint8_t { gcLZW, gcRLE };

// Options of OptimizeFrames.
using TGIFOptimizeOptions = uint8_t;
constexpr TGIFOptimizeOptions optCropFrames = 1, optDiffFrames = 2, optCleanup = 4, optColorTables = 8,
                              optReduceColors = 16;

using TGIFWarning = std::function<void(TObject* Sender, int Severity, const std::string& Message)>;

class TGIFImage : public TGraphic {
  KIVO2_GRAPHIC_CLASS(TGIFImage, TGraphic)

 public:
  TGIFImage();
  ~TGIFImage() override;

  void Clear();
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  void Draw(TCanvas& canvas, const TRect& rect) override;
  void Assign(TPersistent* source) override;
  void AssignTo(TPersistent* dest) override;
  // Adds a frame made from a graphic (or a frame as it is); the frame's index.
  int Add(TPersistent* source);
  bool Equals(const TGraphic& other) override { return &other == this; }

  bool Empty() const override { return images_->GetCount() == 0; }
  int Width() const override { return header_->Width(); }
  int Height() const override { return header_->Height(); }
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  TPalette Palette() const override { return const_cast<TGIFImage*>(this)->GetPalette(); }
  void SetPalette(const TPalette& palette) override { SetPaletteHandle(palette); }
  TPalette GetPalette();
  void SetPaletteHandle(const std::optional<TPalette>& palette);
  bool GetDoDither() const;
  TGIFVersion Version() const;
  int ColorResolution() const;
  int BitsPerPixel() const;
  TColor BackgroundColor() { return header_->BackgroundColor(); }

  // The cached rendering: frame 0 at the screen's size, or the buffer an animation paints into.
  TBitmap* GetBitmap();
  TGIFImageList& Images() { return *images_; }
  TGIFHeader& Header() { return *header_; }

  TGIFDrawOptions DrawOptions() const { return drawOptions_; }
  void SetDrawOptions(TGIFDrawOptions value);
  bool GetAnimate() const { return (drawOptions_ & doAnimate) != 0; }
  void SetAnimate(bool value);
  TColorReduction ColorReduction = rmWebPalette;
  int ReductionBits = 8;
  TDitherMode DitherMode = dmNearest;
  TGIFCompression Compression = gcLZW;
  TThreadPriority ThreadPriority = tpNormal;
  int AnimationSpeed = 100;
  int ShowFrame = -1;
  TColor DrawBackgroundColor = clNone;

  // Starts a painter for canvas and rect with the given options: a threaded painter is
  // returned unstarted (the caller starts it); an unthreaded one plays at once and
  // nullptr is returned. backReference (may be nullptr) points to the painter while it lives.
  TGIFPainter* Paint(TCanvas& canvas, const TRect& rect, TGIFDrawOptions options,
                     TGIFPainter** backReference = nullptr);
  // Stops the animation started by Draw and waits for it.
  void StopDraw();
  // Stops every painter of the image and waits for them.
  void StopAll();
  TGIFPainter* DrawPainter() const { return drawPainter_; }
  TThreadList& Painters() { return painters_; }

  void LoadFromClipboardFormat(TClipboardFormat format, const std::vector<uint8_t>& data,
                               const TPalette& palette) override;
  void SaveToClipboardFormat(TClipboardFormat& format, std::vector<uint8_t>& data, TPalette& palette) override;

  void OptimizeFrames(TGIFOptimizeOptions options, TColorReduction reduction, int reductionBits, TDitherMode dither);

  virtual void Warning(TObject* sender, int severity, const std::string& message);

  TGIFWarning OnWarning;
  TNotifyEvent OnStartPaint, OnPaint, OnAfterPaint, OnLoop, OnEndPaint;

  // The registered clipboard format "GIF Image" (0 before InitializeGIFImage).
  static TClipboardFormat ClipboardFormat();

 private:
  friend class TGIFPainter;
  friend class TGIFSubImage;
  void FreeCachedBitmap();
  void DrawCachedBitmap(TCanvas& canvas, const TRect& rect);
  TColor PainterBackgroundColor();
  void RebuildCache();

  std::unique_ptr<TGIFImageList> images_;
  std::unique_ptr<TGIFHeader> header_;
  std::optional<TPalette> palette_;
  TThreadList painters_;
  TGIFDrawOptions drawOptions_ = GIFImageDefaultDrawOptions;
  std::unique_ptr<TBitmap> bitmap_;
  TGIFPainter* drawPainter_ = nullptr;
  bool drawing_ = false, gettingPalette_ = false;
  int64_t loadedBytes_ = 0;  // pixel bytes of the frames read so far by the running load
  // Lets a wait that processes painter work notice that the image went away.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Registers "GIF" for TGIFImage with the picture object and the clipboard format
// "GIF Image"; FinalizeGIFImage undoes it.
void InitializeGIFImage();
void FinalizeGIFImage();

// ---------------------------------------------------------------------------
// Painter
// ---------------------------------------------------------------------------

// Time and waiting of painters; tests put a clock of their own here.
class TGIFPainterClock {
 public:
  virtual ~TGIFPainterClock() = default;
  // Milliseconds of a steady clock.
  virtual uint32_t Now() = 0;
  // A threaded painter's wait for ms milliseconds (INFINITE: until woken).
  virtual TWaitResult Wait(TEvent& wake, unsigned ms) = 0;
  // One nap of an unthreaded painter.
  virtual void Sleep(unsigned ms) = 0;
};
// nullptr restores the system clock.
void SetGIFPainterClock(TGIFPainterClock* clock);

class TGIFPainter : public TThread {
 public:
  TGIFPainter(TGIFPainter** backReference, TGIFDrawOptions options, const TRect& rect, TCanvas* canvas,
              TGIFImage* image);
  ~TGIFPainter() override;

  void Start();
  void Stop();
  // The frame being shown; -1 when not painting.
  int ActiveFrame() const { return activeFrame_.load(); }
  void SetActiveFrame(int value) { activeFrame_ = value; }
  bool FrameDrawn() const { return frameDrawn_.load(); }
  // The first frame has been drawn and its OnAfterPaint handled.
  bool FirstFrameShown() const { return firstFrameShown_.load(); }
  TGIFImage* Image() const { return image_; }
  TCanvas* Canvas() const { return canvas_; }
  const TRect& PaintRect() const { return rect_; }
  TGIFDrawOptions DrawOptions() const { return drawOptions_; }
  int AnimationSpeed() const { return animationSpeed_; }
  bool Threaded() const { return (drawOptions_ & doThreaded) != 0; }

 protected:
  void Execute() override;

 private:
  friend class TGIFImage;
  // The painter's body, on its own thread or on the caller's.
  void Run();
  // Runs fn on the GUI thread (directly when unthreaded); false when the painter was
  // told to stop (fn then does not run).
  bool Deliver(const std::function<void()>& fn);
  void Fire(const TNotifyEvent& event);
  void Prepare();
  void DrawFrame(TGIFSubImage& frame);
  void RestoreFrameArea(TGIFSubImage& frame);
  void EndHandler();
  bool Expired() const;

  TGIFImage* image_;
  TCanvas* canvas_;
  TRect rect_;
  TGIFDrawOptions drawOptions_;
  int animationSpeed_;
  std::atomic<int> activeFrame_{-1};
  TDisposalMethod thisDisposal_ = dmNone, previousDisposal_ = dmNone;
  std::unique_ptr<TBitmap> workBitmap_, previousBitmap_, backgroundBitmap_;
  std::atomic<bool> frameDrawn_{false}, firstFrameShown_{false};
  TGIFPainter** backReference_;
  std::unique_ptr<TEvent> wake_;
  TNotifyEvent onStartPaint_, onPaint_, onAfterPaint_, onLoop_, onEndPaint_;
  TColor backgroundColor_ = clBlack;
  bool buffers_ = false;
  bool ended_ = false;
};
