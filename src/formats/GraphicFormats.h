#pragma once
// The format library's core: the registry of picture formats by file extension
// (TFileFormatList, one instance FileFormatList), the base class of the format
// readers (TFormatGraphic) with the header record of the last picture read
// (TImageProperties), byte-order helpers, and resampling (Stretch, in Resample.h).
//
// The registry is built by InitializeGraphicFormats(), which the program's start-up
// (and every test that opens pictures) calls once; FinalizeGraphicFormats() undoes it.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "formats/GraphicColor.h"
#include "formats/Resample.h"
#include "platform/graphics/Graphics.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------
// Image properties
// ---------------------------------------------------------------------------

enum TCompressionType : uint8_t {
  ctUnknown, ctNone, ctRLE, ctPackedBits, ctLZW, ctFax3, ctFaxRLE, ctFax4, ctFaxRLEW, ctLZ77, ctJPEG, ctOJPEG,
  ctThunderscan, ctNext, ctIT8CTPAD, ctIT8LW, ctIT8MP, ctIT8BL, ctPixarFilm, ctPixarLog, ctDCS, ctJBIG,
  ctPCDHuffmann,
};

// The names shown for the two enumerations ("Unknown", "Indexed", ... / "Unknown", "None", ...);
// values beyond the enumerations give "Unknown".
const char* ColorSchemeName(TColorScheme scheme);
const char* CompressionTypeName(TCompressionType compression);

// Bits of TImageProperties::Options.
enum TImageOption : uint8_t {
  ioTiled,       // the picture is stored in tiles
  ioBigEndian,   // most significant byte first
  ioMinIsWhite,  // the minimum sample value is white
  ioReversed,    // reversed bit order within bytes
  ioUseGamma,    // the file's gamma is applied
};
using TImageOptions = TByteSet<TImageOption>;

// The header of the last picture read. What a format does not set stays 0.
struct TImageProperties {
  uint32_t Version = 0;  // format version or signature value (TIFF: 42)
  TImageOptions Options;
  uint32_t Width = 0, Height = 0;
  TColorScheme ColorScheme = csUnknown;  // of the stored samples
  uint8_t BitsPerSample = 0;
  uint8_t SamplesPerPixel = 0;
  uint8_t BitsPerPixel = 0;
  TCompressionType Compression = ctUnknown;
  float FileGamma = 0.0f;  // 1.0 after ReadImageProperties when the file gives none
  float XResolution = 0.0f, YResolution = 0.0f;  // dots per inch
  bool Interlaced = false;
  bool HasAlpha = false;
  uint32_t FirstIFD = 0;
  uint32_t PlanarConfig = 0;
  uint32_t CurrentRow = 0;
  uint32_t TileWidth = 0, TileLength = 0;
  uint32_t BytesPerLine = 0;
  std::vector<uint32_t> RowsPerStrip;
  std::vector<uint8_t> YCbCrSubSampling;
  std::vector<uint8_t> JPEGTables;
  uint32_t JPEGColorMode = 0;
  uint32_t JPEGTablesMode = 0;
  uint32_t CurrentStrip = 0;
  uint32_t StripCount = 0;
  uint32_t Predictor = 0;
  bool Overview = false;
  uint8_t Rotate = 0;
  uint16_t ImageCount = 0;
  bool LocalColorTable = false;
  bool BottomUp = false;
  uint8_t ChannelCount = 0;
  uint8_t FilterMode = 0;
};

// ---------------------------------------------------------------------------
// Graphic base class
// ---------------------------------------------------------------------------

// A bitmap that can test a file or stream for its format, read the format's header
// into ImageProperties without decoding pixels, and load itself through its reader.
// Every format reader derives from it and overrides CanLoad (stream),
// ReadImageProperties and LoadFromStream.
class TFormatGraphic : public TBitmap {
  KIVO2_GRAPHIC_CLASS(TFormatGraphic, TBitmap)

 public:
  TFormatGraphic();
  ~TFormatGraphic() override;

  // From a TFormatGraphic the properties record is copied too; then the bitmap's own
  // assignment copies the picture.
  void Assign(TPersistent* source) override;
  // A reader gives 32-bit pixels only with the file's alpha (or opaque where it has none).
  bool HasAlphaChannel() const override { return PixelFormat() == pf32bit; }

  // Opens the file for reading, tests it with CanLoad (stream) and closes it.
  virtual bool CanLoad(const std::string& fileName);
  // Whether the stream holds this class's format from its current position; the
  // position is left where it was. The base class answers false.
  virtual bool CanLoad(TStream& stream);
  // Reads the header of image imageIndex into ImageProperties. The base class resets
  // the record (FileGamma 1.0) and answers false; readers call it first.
  virtual bool ReadImageProperties(TStream& stream, uint32_t imageIndex);

  // Converts decoded rows into the bitmap's rows; created and freed with the graphic.
  TColorManager ColorManager;
  TImageProperties ImageProperties;

 protected:
  // The load frame: releases the current image and records the stream and its
  // position as the base position, to which every file offset is relative.
  void BeginLoad(TStream& stream);
  // Forgets the stream (call also when a load fails).
  void EndLoad() { stream_ = nullptr; }
  // Runs a reader's loading inside the frame: BeginLoad first, EndLoad afterwards,
  // also when the loading raises.
  template <class Load>
  void LoadInFrame(TStream& stream, Load&& load) {
    BeginLoad(stream);
    try {
      load();
    } catch (...) {
      EndLoad();
      throw;
    }
    EndLoad();
  }
  int64_t BasePosition() const { return basePosition_; }
  TStream* LoadStream() const { return stream_; }

  // Progress: a phase starts with one of gsPreparing, gsLoadingData, gsUpsampling or
  // gsTransfering (percent 0, no redraw); RowProgress reports MulDiv(row, 100, height)
  // with the progress rectangle and then moves the rectangle down one row.
  TRect ProgressRect;
  void StartProgress(const char* phase);
  void RowProgress(uint32_t row, uint32_t height, bool redrawNow = true);
  void EndProgress();

 private:
  int64_t basePosition_ = 0;
  TStream* stream_ = nullptr;
};

// Raise EInvalidGraphic with the message, or with the translated format filled in.
[[noreturn]] void FormatGraphicError(const std::string& message);
[[noreturn]] void FormatGraphicError(const char* format, std::initializer_list<TVarRec> args);

// Byte order: ByteSwapWords swaps the bytes of each of count 16-bit words in place,
// ByteSwapLongs reverses the bytes of each of count 32-bit words in place.
void ByteSwapWords(void* buffer, size_t count);
void ByteSwapLongs(void* buffer, size_t count);
uint32_t ByteSwapLong(uint32_t value);

// ---------------------------------------------------------------------------
// Format registry
// ---------------------------------------------------------------------------

// What kind of picture a format holds (bits of the registry's flags).
enum TFormatType : uint8_t { ftAnimation, ftLayered, ftMultiImage, ftRaster, ftVector };
using TFormatTypes = TByteSet<TFormatType>;

// The table of picture file extensions: which graphic class opens each, how each is
// described, and what kind of picture it holds. Every registration is mirrored into
// the platform's picture format list, so that TPicture opens the registered formats.
class TFileFormatList : public TObject {
 public:
  TFileFormatList();
  ~TFileFormatList() override;
  TFileFormatList(const TFileFormatList&) = delete;
  TFileFormatList& operator=(const TFileFormatList&) = delete;

  // Removes every class from the platform's list, then empties both lists.
  void Clear();
  // Index of the extension (without the dot, ASCII case ignored); -1 when absent or empty.
  int FindExtension(const std::string& extension) const;
  // Index of the class entry of exactly this class (no inheritance); -1 when absent.
  int FindGraphicClass(TGraphicClass graphicClass) const;
  // The class's common description (translated); empty when the class is not registered.
  std::string GetDescription(TGraphicClass graphicClass) const;
  // Clears list and adds every registered extension in registration order, as stored.
  void GetExtensionList(TStrings& list) const;
  // Registers an extension for a class. common becomes the class's description when
  // not empty; individual describes this extension only. An extension registered
  // already raises EInvalidGraphic "Attempt to register %s twice." unless replace is
  // set, which moves it to graphicClass (keeping its description and flags). An empty
  // extension does nothing.
  void RegisterFileFormat(const std::string& extension, const std::string& common, const std::string& individual,
                          TFormatTypes flags, bool replace, TGraphicClass graphicClass);
  // Removes one extension, or with an empty extension every extension of graphicClass.
  // Unknown extensions and classes are ignored.
  void UnregisterFileFormat(const std::string& extension, TGraphicClass graphicClass);

  int ExtensionCount() const { return int(extensions_.size()); }
  int ClassCount() const { return int(classes_.size()); }
  // The flags and own description of an extension entry (index as FindExtension gives).
  TFormatTypes ExtensionFlags(int index) const;
  std::string ExtensionDescription(int index) const;
  TGraphicClass ExtensionClass(int index) const;

 private:
  struct ClassEntry {
    TGraphicClass GraphicClass = nullptr;
    std::string Description;  // message id, translated when shown
    int Count = 0;
  };
  struct ExtensionEntry {
    std::string Extension;
    std::string Description;
    TFormatTypes Flags;
    ClassEntry* Class = nullptr;
  };
  ClassEntry* AttachClass(TGraphicClass graphicClass, const std::string& common);
  void DetachClass(ClassEntry* entry, bool tellPlatform);

  std::vector<std::unique_ptr<ClassEntry>> classes_;
  std::vector<std::unique_ptr<ExtensionEntry>> extensions_;
};

// The one registry (nullptr before InitializeGraphicFormats and after FinalizeGraphicFormats).
extern TFileFormatList* FileFormatList;

// Registers the 42 picture extensions, in this order, after the platform's own
// formats; a second call does nothing.
void InitializeGraphicFormats();
// Unregisters the format classes and frees FileFormatList; nothing when not initialised.
void FinalizeGraphicFormats();
