#pragma once
// The colour manager: turns the pixel rows a format reader decoded into rows of
// the bitmap it fills, and builds the bitmap's palette. A reader describes the
// decoded data (colour scheme, bits per sample, samples per pixel, options) and
// the wanted target, asks for the bitmap pixel format that fits, and then hands
// over one row (or one interlace pass of a row) at a time through ConvertRow.
//
// The manager holds no reference to a bitmap or stream: it is given plain memory
// and returns plain values.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "platform/graphics/Graphics.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

// Colour schemes of decoded data and of targets (the codes TImageProperties stores).
enum TColorScheme : uint8_t {
  csUnknown,   // no defined colour scheme
  csIndexed,   // palette indices
  csG,         // grey
  csGA,        // grey with alpha
  csRGB,       // red, green, blue
  csRGBA,      // red, green, blue, alpha
  csBGR,       // blue, green, red (the bitmap's byte order)
  csBGRA,      // blue, green, red, alpha
  csCMY,       // cyan, magenta, yellow (no converter exists)
  csCMYK,      // cyan, magenta, yellow, black
  csCIELab,    // CIE L*a*b*
  csYCbCr,     // luminance and two colour differences centred on 128
  csPhotoYCC,  // Photo YCC, colour differences centred on 156 (C1) and 137 (C2)
};

// Conversion options, a set kept in one byte (member n = bit n).
enum TConvertOption : uint8_t {
  coAlpha,            // the scheme carries an alpha sample (kept up to date by the manager)
  coApplyGamma,       // target: 8-bit colour results and palette entries go through GammaTable
  coNeedByteSwap,     // source: 16-bit samples are stored most significant byte first
  coLabByteRange,     // source: L* is stored as 0..255 (divided by 2.55)
  coLabChromaOffset,  // source: a* and b* are stored unsigned with an offset of 128
};

// A set of up to 8 members of an enumeration, kept in one byte (member n = bit n).
template <class E>
class TByteSet {
 public:
  constexpr TByteSet() = default;
  constexpr TByteSet(std::initializer_list<E> members) {
    for (E m : members) bits_ |= uint8_t(1u << unsigned(m));
  }
  static constexpr TByteSet FromBits(uint8_t bits) {
    TByteSet s;
    s.bits_ = bits;
    return s;
  }
  constexpr uint8_t Bits() const { return bits_; }
  constexpr bool Contains(E m) const { return (bits_ >> unsigned(m)) & 1u; }
  constexpr void Include(E m) { bits_ |= uint8_t(1u << unsigned(m)); }
  constexpr void Exclude(E m) { bits_ &= uint8_t(~(1u << unsigned(m))); }
  constexpr TByteSet operator+(E m) const {
    TByteSet r = *this;
    r.Include(m);
    return r;
  }
  constexpr TByteSet operator-(E m) const {
    TByteSet r = *this;
    r.Exclude(m);
    return r;
  }
  friend constexpr bool operator==(TByteSet, TByteSet) = default;

 private:
  uint8_t bits_ = 0;
};

using TConvertOptions = TByteSet<TConvertOption>;

// Layouts of palette data handed to CreateColorPalette.
enum TPaletteDataFormat : uint8_t {
  pdfBytes3,      // Data[0]: entries of 3 bytes
  pdfBytes4,      // Data[0]: entries of 4 bytes, the 4th byte skipped
  pdfPlanes8,     // Data[0..2]: red, green and blue bytes
  pdfPlanes8x4,   // as pdfPlanes8 (a 4th plane is not read)
  pdfWords3,      // Data[0]: entries of 3 16-bit values
  pdfWords4,      // Data[0]: entries of 4 16-bit values, the 4th skipped
  pdfPlanes16,    // Data[0..2]: red, green and blue 16-bit values
  pdfPlanes16x4,  // as pdfPlanes16
};

KIVO2_EXCEPTION(EColorConversionError, Exception)

class TColorManager : public TObject {
 public:
  TColorManager();

  uint8_t SourceBitsPerSample() const { return sourceBPS_; }
  uint8_t TargetBitsPerSample() const { return targetBPS_; }
  uint8_t SourceSamplesPerPixel() const { return sourceSPP_; }
  uint8_t TargetSamplesPerPixel() const { return targetSPP_; }
  TColorScheme SourceColorScheme() const { return sourceScheme_; }
  TColorScheme TargetColorScheme() const { return targetScheme_; }
  // Bits per sample 1..16, samples per pixel 1..4; other values raise
  // EColorConversionError before anything is stored.
  void SetSourceBitsPerSample(uint8_t value);
  void SetTargetBitsPerSample(uint8_t value);
  void SetSourceSamplesPerPixel(uint8_t value);
  void SetTargetSamplesPerPixel(uint8_t value);
  void SetSourceColorScheme(TColorScheme value);
  void SetTargetColorScheme(TColorScheme value);
  // The option sets are read by the converters at each call; writing them does not
  // make the manager prepare its converter again.
  TConvertOptions SourceOptions() const { return sourceOptions_; }
  TConvertOptions TargetOptions() const { return targetOptions_; }
  void SetSourceOptions(TConvertOptions value) { sourceOptions_ = value; }
  void SetTargetOptions(TConvertOptions value) { targetOptions_ = value; }

  // Stores the file and display gamma (a value that is not above 0, or not a number,
  // becomes 1.0 and 2.2) and rebuilds GammaTable.
  void SetGamma(float fileGamma, float displayGamma = 2.2f);
  float FileGamma() const { return fileGamma_; }
  float DisplayGamma() const { return displayGamma_; }
  // Luminance weights of red, green and blue (1 to 3 values; missing ones are kept)
  // and the subsampling factors (1, 2 or 4; vertical not above horizontal). The
  // coefficients are stored before the factors are checked.
  void SetYCbCrParameters(std::initializer_list<float> values, uint8_t horizontalSubsampling,
                          uint8_t verticalSubsampling);
  void SetYCbCrParameters(std::span<const float> values, uint8_t horizontalSubsampling,
                          uint8_t verticalSubsampling);
  uint8_t HorizontalSubsampling() const { return horizontalSubsampling_; }
  uint8_t VerticalSubsampling() const { return verticalSubsampling_; }
  const float* YCbCrCoefficients() const { return yCbCrCoefficients_; }

  // Converts Count target pixels. Source holds one pointer (interleaved samples) or
  // one per plane; Mask selects pixels in cycles of eight (bit 7 first; 0xFF all): a
  // skipped target pixel stays unchanged and consumes nothing from the source, which
  // is how interlace passes are written into a full row.
  void ConvertRow(std::initializer_list<const void*> source, void* target, uint32_t count, uint8_t mask);
  void ConvertRow(std::span<const void* const> source, void* target, uint32_t count, uint8_t mask);

  // The bitmap pixel format that fits the source (index 0) or the target (other index).
  TPixelFormat GetPixelFormat(int index) const;
  // A palette of at most 256 entries from palette data (gamma applied with
  // coApplyGamma), re-indexed for the source and target bit depths.
  TPalette CreateColorPalette(std::initializer_list<const void*> data, TPaletteDataFormat dataFormat,
                              uint32_t colorCount, bool bgr);
  TPalette CreateColorPalette(std::span<const void* const> data, TPaletteDataFormat dataFormat,
                              uint32_t colorCount, bool bgr);
  // A grey ramp for the target depth (at most 256 entries); with minimumIsWhite entry 0 is white.
  TPalette CreateGrayscalePalette(bool minimumIsWhite);

  // State the converters work with (read-only views for callers and tests).
  bool Changed() const { return changed_; }
  const uint8_t* GammaTable() const { return gammaTable_; }
  const std::vector<int32_t>& CrToRedTable() const { return crToRedTable_; }
  const std::vector<int32_t>& CbToBlueTable() const { return cbToBlueTable_; }
  const std::vector<int32_t>& CrToGreenTable() const { return crToGreenTable_; }
  const std::vector<int32_t>& CbToGreenTable() const { return cbToGreenTable_; }

 private:
  // The arguments of one ConvertRow call, as the converters receive them.
  struct TRowArgs {
    const void* const* Source;
    size_t SourceCount;
    uint8_t* Target;
    uint32_t Count;
    uint8_t Mask;
  };
  using TRowConverter = void (TColorManager::*)(const TRowArgs& args);

  void PrepareConversion();
  void CreateYCbCrLookup();
  [[noreturn]] void RaiseConversionError(const char* message) const;

  // The row converters.
  void IndexedToIndexed8(const TRowArgs& args);
  void Indexed16To16(const TRowArgs& args);
  void Indexed16ToLow(const TRowArgs& args);
  void IndexedLowTo16(const TRowArgs& args);
  void GrayToGray(const TRowArgs& args);
  void RGBToRGB(const TRowArgs& args);
  void RGBToBGR(const TRowArgs& args);
  void BGRToRGB(const TRowArgs& args);
  void BGRToBGR(const TRowArgs& args);
  void CMYKToRGB(const TRowArgs& args);
  void CMYKToBGR(const TRowArgs& args);
  void LabToRGB(const TRowArgs& args);
  void LabToBGR(const TRowArgs& args);
  void YCCToRGB(const TRowArgs& args);
  void YCCToBGR(const TRowArgs& args);

  // The shared bodies of the families; sourceBGR/targetBGR say which end holds blue first.
  void ConvertRGBFamily(bool sourceBGR, bool targetBGR, const TRowArgs& args);
  void ConvertCMYK(bool targetBGR, const TRowArgs& args);
  void ConvertLab(bool targetBGR, const TRowArgs& args);
  void ConvertYCC(bool targetBGR, const TRowArgs& args);

  bool changed_ = true;
  uint8_t sourceBPS_ = 8;
  uint8_t targetBPS_ = 8;
  uint8_t sourceSPP_ = 3;
  uint8_t targetSPP_ = 3;
  float fileGamma_ = 1.0f;
  float displayGamma_ = 2.2f;
  uint8_t gammaTable_[256] = {};
  float yCbCrCoefficients_[3] = {0.299f, 0.587f, 0.114f};
  uint8_t horizontalSubsampling_ = 1;
  uint8_t verticalSubsampling_ = 1;
  std::vector<int32_t> crToRedTable_, cbToBlueTable_, crToGreenTable_, cbToGreenTable_;
  TColorScheme sourceScheme_ = csRGB;
  TColorScheme targetScheme_ = csBGR;
  TRowConverter rowConverter_ = nullptr;
  TConvertOptions sourceOptions_;
  TConvertOptions targetOptions_;
};
