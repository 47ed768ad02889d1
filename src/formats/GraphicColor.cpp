// The colour manager: settings, preparation of the row converter, gamma and YCbCr
// tables, pixel formats and palettes. The row converters are in GraphicColor_Rows.cpp.
#include "formats/GraphicColor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "formats/GraphicStrings.h"
#include "platform/rtl/Math.h"

TColorManager::TColorManager() {
  // The order of the class library's constructor: depths, samples, gamma, schemes,
  // coefficients, subsampling.
  sourceBPS_ = 8;
  targetBPS_ = 8;
  sourceSPP_ = 3;
  targetSPP_ = 3;
  SetGamma(1.0f, 2.2f);
  sourceScheme_ = csRGB;
  targetScheme_ = csBGR;
  yCbCrCoefficients_[0] = 0.299f;
  yCbCrCoefficients_[1] = 0.587f;
  yCbCrCoefficients_[2] = 0.114f;
  horizontalSubsampling_ = 1;
  verticalSubsampling_ = 1;
  changed_ = true;
}

void TColorManager::RaiseConversionError(const char* message) const {
  throw EColorConversionError(GraphicText(message));
}

namespace {

// Stores a setting; a different value makes the manager prepare its converter again.
template <class T>
void StoreSetting(T& field, T value, bool& changed) {
  if (value != field) {
    field = value;
    changed = true;
  }
}

}  // namespace

void TColorManager::SetSourceBitsPerSample(uint8_t value) {
  if (value < 1 || value > 16) RaiseConversionError(gsInvalidBitsPerSample);
  StoreSetting(sourceBPS_, value, changed_);
}

void TColorManager::SetTargetBitsPerSample(uint8_t value) {
  if (value < 1 || value > 16) RaiseConversionError(gsInvalidBitsPerSample);
  StoreSetting(targetBPS_, value, changed_);
}

void TColorManager::SetSourceSamplesPerPixel(uint8_t value) {
  if (value < 1 || value > 4) RaiseConversionError(gsInvalidSampleCount);
  StoreSetting(sourceSPP_, value, changed_);
}

void TColorManager::SetTargetSamplesPerPixel(uint8_t value) {
  if (value < 1 || value > 4) RaiseConversionError(gsInvalidSampleCount);
  StoreSetting(targetSPP_, value, changed_);
}

void TColorManager::SetSourceColorScheme(TColorScheme value) { StoreSetting(sourceScheme_, value, changed_); }

void TColorManager::SetTargetColorScheme(TColorScheme value) { StoreSetting(targetScheme_, value, changed_); }

void TColorManager::SetGamma(float fileGamma, float displayGamma) {
  // "!(x > 0)" also catches NaN.
  if (!(fileGamma > 0.0f)) fileGamma = 1.0f;
  if (!(displayGamma > 0.0f)) displayGamma = 2.2f;
  fileGamma_ = fileGamma;
  displayGamma_ = displayGamma;

  const float exponent = float(1.0 / (double(fileGamma) * double(displayGamma)));
  // The table indexes 8-bit values: with an 8-bit target it spans 0..255. For a
  // source below 8 bits the span follows the target depth, but never past the table.
  int sourceHigh = sourceBPS_ >= 8 ? 255 : (1 << targetBPS_) - 1;
  if (sourceHigh > 255) sourceHigh = 255;
  const int targetHigh = targetBPS_ >= 8 ? 255 : (1 << targetBPS_) - 1;
  for (int i = 0; i <= sourceHigh; ++i) {
    const double v = std::pow(double(i) / sourceHigh, double(exponent)) * targetHigh;
    gammaTable_[i] = uint8_t(std::clamp<int64_t>(Round(v), 0, 255));
  }
}

void TColorManager::SetYCbCrParameters(std::initializer_list<float> values, uint8_t horizontalSubsampling,
                                       uint8_t verticalSubsampling) {
  SetYCbCrParameters(std::span<const float>(values.begin(), values.size()), horizontalSubsampling,
                     verticalSubsampling);
}

void TColorManager::SetYCbCrParameters(std::span<const float> values, uint8_t horizontalSubsampling,
                                       uint8_t verticalSubsampling) {
  for (size_t i = 0; i < values.size() && i < 3; ++i) yCbCrCoefficients_[i] = values[i];
  auto valid = [](uint8_t f) { return f == 1 || f == 2 || f == 4; };
  if (!valid(horizontalSubsampling)) RaiseConversionError(gsInvalidSubSampling);
  if (!valid(verticalSubsampling)) RaiseConversionError(gsInvalidSubSampling);
  if (horizontalSubsampling < verticalSubsampling) RaiseConversionError(gsVerticalSubSamplingError);
  horizontalSubsampling_ = horizontalSubsampling;
  verticalSubsampling_ = verticalSubsampling;
}

void TColorManager::CreateYCbCrLookup() {
  const long double kr = yCbCrCoefficients_[0], kg = yCbCrCoefficients_[1], kb = yCbCrCoefficients_[2];
  const float f1 = float(2.0L - 2.0L * kr);
  const float f3 = float(kr * f1 / kg);
  const float f2 = float(2.0L - 2.0L * kb);
  const float f4 = float(kb * f2 / kg);
  crToRedTable_.assign(256, 0);
  cbToBlueTable_.assign(256, 0);
  crToGreenTable_.assign(256, 0);
  cbToGreenTable_.assign(256, 0);
  const int offsetR = sourceScheme_ == csYCbCr ? 128 : 137;
  const int offsetB = sourceScheme_ == csYCbCr ? 128 : 156;
  // A zero green weight gives infinite factors; the tables then saturate instead of
  // holding undefined conversions.
  auto nearest = [](double x) -> int32_t {
    if (std::isnan(x)) return 0;
    return int32_t(std::clamp<int64_t>(Round(x), -(int64_t(1) << 24), int64_t(1) << 24));
  };
  for (int i = 0; i < 256; ++i) {
    crToRedTable_[i] = nearest(double(i - offsetR) * f1);
    cbToBlueTable_[i] = nearest(double(i - offsetB) * f2);
    crToGreenTable_[i] = -nearest(double(i - offsetR) * f3);
    cbToGreenTable_[i] = -nearest(double(i - offsetB) * f4);
  }
}

void TColorManager::PrepareConversion() {
  rowConverter_ = nullptr;
  const bool sourceIndexed = sourceScheme_ == csIndexed || sourceScheme_ == csG || sourceScheme_ == csGA;
  const bool targetIndexed = targetScheme_ == csIndexed || targetScheme_ == csG;
  if (sourceIndexed != targetIndexed) RaiseConversionError(gsIndexedNotSupported);

  auto hasAlpha = [](TColorScheme s) { return s == csGA || s == csRGBA || s == csBGRA; };
  if (hasAlpha(sourceScheme_))
    sourceOptions_.Include(coAlpha);
  else
    sourceOptions_.Exclude(coAlpha);
  if (hasAlpha(targetScheme_))
    targetOptions_.Include(coAlpha);
  else
    targetOptions_.Exclude(coAlpha);

  const bool source16 = sourceBPS_ == 16, target16 = targetBPS_ == 16;
  const bool targetRGB = targetScheme_ == csRGB || targetScheme_ == csRGBA;
  const bool targetBGR = targetScheme_ == csBGR || targetScheme_ == csBGRA;
  auto is8or16 = [](uint8_t bits) { return bits == 8 || bits == 16; };
  // The colour families have one converter for RGB-ordered and one for BGR-ordered targets.
  auto pick = [&](TRowConverter toRGB, TRowConverter toBGR) {
    if (targetRGB)
      rowConverter_ = toRGB;
    else if (targetBGR)
      rowConverter_ = toBGR;
  };

  switch (sourceScheme_) {
    case csIndexed:
      if (source16 && target16)
        rowConverter_ = &TColorManager::Indexed16To16;
      else if (source16)
        rowConverter_ = &TColorManager::Indexed16ToLow;
      else if (target16)
        rowConverter_ = &TColorManager::IndexedLowTo16;
      else
        rowConverter_ = &TColorManager::IndexedToIndexed8;
      break;
    case csG:
      if (source16 || target16) {
        if (sourceBPS_ >= 8 && targetBPS_ >= 8) rowConverter_ = &TColorManager::GrayToGray;
      } else {
        rowConverter_ = &TColorManager::IndexedToIndexed8;
      }
      break;
    case csGA:
      if (is8or16(sourceBPS_) && is8or16(targetBPS_)) rowConverter_ = &TColorManager::GrayToGray;
      break;
    case csRGB:
    case csRGBA:
      pick(&TColorManager::RGBToRGB, &TColorManager::RGBToBGR);
      break;
    case csBGR:
    case csBGRA:
      pick(&TColorManager::BGRToRGB, &TColorManager::BGRToBGR);
      break;
    case csCMYK:
      pick(&TColorManager::CMYKToRGB, &TColorManager::CMYKToBGR);
      break;
    case csCIELab:
      pick(&TColorManager::LabToRGB, &TColorManager::LabToBGR);
      break;
    case csYCbCr:
    case csPhotoYCC:
      CreateYCbCrLookup();
      pick(&TColorManager::YCCToRGB, &TColorManager::YCCToBGR);
      break;
    default:
      break;
  }
  changed_ = false;
}

void TColorManager::ConvertRow(std::initializer_list<const void*> source, void* target, uint32_t count,
                               uint8_t mask) {
  ConvertRow(std::span<const void* const>(source.begin(), source.size()), target, count, mask);
}

void TColorManager::ConvertRow(std::span<const void* const> source, void* target, uint32_t count, uint8_t mask) {
  if (changed_) PrepareConversion();
  if (rowConverter_ == nullptr) RaiseConversionError(gsConversionUnsupported);
  // Without source data or target there is nothing to convert.
  if (source.empty() || source[0] == nullptr || target == nullptr || count == 0) return;
  (this->*rowConverter_)(TRowArgs{source.data(), source.size(), static_cast<uint8_t*>(target), count, mask});
}

TPixelFormat TColorManager::GetPixelFormat(int index) const {
  const int samples = index == 0 ? sourceSPP_ : targetSPP_;
  const int bits = index == 0 ? sourceBPS_ : targetBPS_;
  switch (samples) {
    case 1:
      if (bits == 1) return pf1bit;
      if (bits >= 2 && bits <= 4) return pf4bit;
      if (bits >= 8) return pf8bit;
      return pfCustom;
    case 3:
      return bits <= 5 ? pf15bit : pf24bit;
    case 4:
      return bits >= 8 ? pf32bit : pfCustom;
    default:
      return pfCustom;
  }
}

TPalette TColorManager::CreateColorPalette(std::initializer_list<const void*> data, TPaletteDataFormat dataFormat,
                                           uint32_t colorCount, bool bgr) {
  return CreateColorPalette(std::span<const void* const>(data.begin(), data.size()), dataFormat, colorCount, bgr);
}

TPalette TColorManager::CreateColorPalette(std::span<const void* const> data, TPaletteDataFormat dataFormat,
                                           uint32_t colorCount, bool bgr) {
  std::vector<TPaletteEntry> entries(MaxPaletteEntries);
  const uint32_t count = std::min<uint32_t>(colorCount, MaxPaletteEntries);
  const bool gamma = targetOptions_.Contains(coApplyGamma);
  const bool swap = sourceOptions_.Contains(coNeedByteSwap);
  auto byteValue = [&](uint8_t v) -> uint8_t { return gamma ? gammaTable_[v] : v; };
  auto wordValue = [&](const uint8_t* p) -> uint8_t {
    uint16_t v;
    std::memcpy(&v, p, 2);
    if (swap) v = uint16_t((v >> 8) | (v << 8));
    return byteValue(uint8_t(uint32_t(v) * 255 / 65535));
  };
  auto plane = [&](size_t i) { return static_cast<const uint8_t*>(data[i]); };
  const bool onePointer = !data.empty() && data[0] != nullptr;
  const bool threePlanes = data.size() >= 3 && data[0] && data[1] && data[2];

  switch (dataFormat) {
    case pdfBytes3:
    case pdfBytes4:
      if (onePointer) {
        const size_t step = dataFormat == pdfBytes3 ? 3 : 4;
        const uint8_t* p = plane(0);
        for (uint32_t i = 0; i < count; ++i, p += step) {
          entries[i].peRed = byteValue(p[bgr ? 2 : 0]);
          entries[i].peGreen = byteValue(p[1]);
          entries[i].peBlue = byteValue(p[bgr ? 0 : 2]);
        }
      }
      break;
    case pdfPlanes8:
    case pdfPlanes8x4:
      if (threePlanes)
        for (uint32_t i = 0; i < count; ++i) {
          entries[i].peRed = byteValue(plane(0)[i]);
          entries[i].peGreen = byteValue(plane(1)[i]);
          entries[i].peBlue = byteValue(plane(2)[i]);
        }
      break;
    case pdfWords3:
    case pdfWords4:
      if (onePointer) {
        const size_t step = dataFormat == pdfWords3 ? 6 : 8;
        const uint8_t* p = plane(0);
        for (uint32_t i = 0; i < count; ++i, p += step) {
          entries[i].peRed = wordValue(p + (bgr ? 4 : 0));
          entries[i].peGreen = wordValue(p + 2);
          entries[i].peBlue = wordValue(p + (bgr ? 0 : 4));
        }
      }
      break;
    case pdfPlanes16:
    case pdfPlanes16x4:
      if (threePlanes)
        for (uint32_t i = 0; i < count; ++i) {
          entries[i].peRed = wordValue(plane(0) + 2 * i);
          entries[i].peGreen = wordValue(plane(1) + 2 * i);
          entries[i].peBlue = wordValue(plane(2) + 2 * i);
        }
      break;
    default:
      break;
  }

  // Re-index for the bit depths, so that the value scaling of the indexed converters
  // picks the right colours. Source indices beyond the 256 entries held (sources of
  // more than 8 bits) are not read: such entries keep what was filled.
  size_t resultCount = count;
  const uint32_t sourceMax = (1u << sourceBPS_) - 1, targetMax = (1u << targetBPS_) - 1;
  if (targetBPS_ <= 8 && sourceMax != targetMax) {
    if (sourceMax < targetMax) {
      for (int64_t i = targetMax; i >= 0; --i) entries[size_t(i)] = entries[size_t(i) * sourceMax / targetMax];
    } else {
      for (uint32_t i = 0; i <= targetMax; ++i) {
        const size_t from = size_t(i) * sourceMax / targetMax;
        if (from < entries.size()) entries[i] = entries[from];
      }
    }
    resultCount = targetMax + 1;
  }
  entries.resize(resultCount);
  return TPalette(std::move(entries));
}

TPalette TColorManager::CreateGrayscalePalette(bool minimumIsWhite) {
  const int bits = std::min(int(targetBPS_) * int(targetSPP_), 8);
  const int upper = (1 << bits) - 1;
  const int step = 255 / upper;
  const bool gamma = targetOptions_.Contains(coApplyGamma);
  std::vector<TPaletteEntry> entries(size_t(upper) + 1);
  for (int k = 0; k <= upper; ++k) {
    const uint8_t level = gamma ? gammaTable_[k * step] : uint8_t(k * step);
    entries[size_t(minimumIsWhite ? upper - k : k)] = PaletteEntry(level, level, level);
  }
  return TPalette(std::move(entries));
}
