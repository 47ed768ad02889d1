// The graphic base class of the format readers, the names of the header record's
// enumerations, the error helpers and the byte-order routines.
#include "formats/GraphicFormats.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "formats/GraphicStrings.h"
#include "platform/rtl/Math.h"

const char* ColorSchemeName(TColorScheme scheme) {
  static const char* const names[] = {"Unknown", "Indexed", "G",    "GA",   "RGB",    "RGBA",    "BGR",
                                      "BGRA",    "CMY",     "CMYK", "CIELab", "YCbCr", "PhotoYCC"};
  return size_t(scheme) < std::size(names) ? names[scheme] : names[0];
}

const char* CompressionTypeName(TCompressionType compression) {
  static const char* const names[] = {"Unknown", "None",      "RLE",       "PackedBits", "LZW",       "Fax3",
                                      "FaxRLE",  "Fax4",      "FaxRLEW",   "LZ77",       "JPEG",      "OJPEG",
                                      "Thunderscan", "Next",  "IT8CTPAD",  "IT8LW",      "IT8MP",     "IT8BL",
                                      "PixarFilm", "PixarLog", "DCS",      "JBIG",       "PCDHuffmann"};
  return size_t(compression) < std::size(names) ? names[compression] : names[0];
}

// ---------------------------------------------------------------------------
// TFormatGraphic
// ---------------------------------------------------------------------------

TFormatGraphic::TFormatGraphic() = default;
TFormatGraphic::~TFormatGraphic() = default;

void TFormatGraphic::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TFormatGraphic*>(source); other != nullptr && other != this)
    ImageProperties = other->ImageProperties;
  TBitmap::Assign(source);
}

bool TFormatGraphic::CanLoad(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  return CanLoad(stream);
}

bool TFormatGraphic::CanLoad(TStream&) { return false; }

bool TFormatGraphic::ReadImageProperties(TStream&, uint32_t) {
  ImageProperties = TImageProperties();
  ImageProperties.FileGamma = 1.0f;
  return false;
}

void TFormatGraphic::BeginLoad(TStream& stream) {
  ReleaseHandle();
  stream_ = &stream;
  basePosition_ = stream.Position();
}

void TFormatGraphic::StartProgress(const char* phase) {
  Progress(this, psStarting, 0, false, ProgressRect, GraphicText(phase));
}

void TFormatGraphic::RowProgress(uint32_t row, uint32_t height, bool redrawNow) {
  const int percent = MulDiv(int(std::min<uint32_t>(row, INT32_MAX)), 100, int(std::min<uint32_t>(height, INT32_MAX)));
  Progress(this, psRunning, uint8_t(std::clamp(percent, 0, 100)), redrawNow, ProgressRect, std::string());
  ProgressRect.Top += 1;
  ProgressRect.Bottom += 1;
}

void TFormatGraphic::EndProgress() { Progress(this, psEnding, 100, false, ProgressRect, std::string()); }

void FormatGraphicError(const std::string& message) { throw EInvalidGraphic(message); }

void FormatGraphicError(const char* format, std::initializer_list<TVarRec> args) {
  throw EInvalidGraphic(GraphicTextFmt(format, args));
}

// ---------------------------------------------------------------------------
// Byte order
// ---------------------------------------------------------------------------

void ByteSwapWords(void* buffer, size_t count) {
  auto* p = static_cast<uint8_t*>(buffer);
  for (size_t i = 0; i < count; ++i, p += 2) std::swap(p[0], p[1]);
}

void ByteSwapLongs(void* buffer, size_t count) {
  auto* p = static_cast<uint8_t*>(buffer);
  for (size_t i = 0; i < count; ++i, p += 4) {
    std::swap(p[0], p[3]);
    std::swap(p[1], p[2]);
  }
}

uint32_t ByteSwapLong(uint32_t value) { return __builtin_bswap32(value); }
