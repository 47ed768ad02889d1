// The TIFF reader: header and directory parsing for both byte orders, typed tag
// access, the header record, and the strip loop that decodes and converts rows.
#include "formats/GraphicFormats_TIFF.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <span>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "formats/GraphicCompression.h"
#include "formats/GraphicCompression_Fax.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/PictureBounds.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Threads.h"

namespace {

// Tags the reader uses.
enum : uint16_t {
  tagImageWidth = 256,
  tagImageLength = 257,
  tagBitsPerSample = 258,
  tagCompression = 259,
  tagPhotometric = 262,
  tagFillOrder = 266,
  tagStripOffsets = 273,
  tagSamplesPerPixel = 277,
  tagRowsPerStrip = 278,
  tagStripByteCounts = 279,
  tagXResolution = 282,
  tagYResolution = 283,
  tagPlanarConfig = 284,
  tagT4Options = 292,
  tagResolutionUnit = 296,
  tagPredictor = 317,
  tagColorMap = 320,
  tagTileWidth = 322,
  tagTileLength = 323,
  tagExtraSamples = 338,
  tagSampleFormat = 339,
  tagJPEGTables = 347,
  tagYCbCrCoefficients = 529,
  tagYCbCrSubSampling = 530,
  tagYCbCrPositioning = 531,
};

// Field types of TIFF 6.0.
enum : uint16_t {
  ftByte = 1,
  ftASCII,
  ftShort,
  ftLong,
  ftRational,
  ftSByte,
  ftUndefined,
  ftSShort,
  ftSLong,
  ftSRational,
  ftFloat,
  ftDouble,
};

uint32_t TypeSize(uint16_t type) {
  static const uint8_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  return type < std::size(sizes) ? sizes[type] : 0;
}

uint16_t Get16(const uint8_t* p, bool bigEndian) {
  return bigEndian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
}

uint32_t Get32(const uint8_t* p, bool bigEndian) {
  return bigEndian ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                   : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

TCompressionType CompressionOf(uint32_t value) {
  static const std::pair<uint32_t, TCompressionType> kinds[] = {
      {1, ctNone},          {2, ctFaxRLE},       {3, ctFax3},           {4, ctFax4},
      {5, ctLZW},           {6, ctOJPEG},        {7, ctJPEG},           {8, ctLZ77},
      {32766, ctNext},      {32771, ctFaxRLEW},  {32773, ctPackedBits}, {32809, ctThunderscan},
      {32895, ctIT8CTPAD},  {32896, ctIT8LW},    {32897, ctIT8MP},      {32898, ctIT8BL},
      {32908, ctPixarFilm}, {32909, ctPixarLog}, {32946, ctLZ77},       {32947, ctDCS},
      {34661, ctJBIG}};
  for (const auto& [code, kind] : kinds)
    if (code == value) return kind;
  return ctUnknown;
}

TColorScheme SchemeOf(uint32_t photometric, uint32_t samplesPerPixel) {
  switch (photometric) {
    case 0:
    case 1:
      return csG;
    case 2:
      return samplesPerPixel < 4 ? csRGB : csRGBA;
    case 3:
      return csIndexed;
    case 5:
      return csCMYK;
    case 6:
      return csYCbCr;
    case 8:
      return csCIELab;
    default:
      return csUnknown;
  }
}

[[noreturn]] void Unsupported(const char* what) {
  FormatGraphicError(gsUnsupportedFeature, {GraphicText(what), GraphicText(gsFormatTIFF)});
}

[[noreturn]] void InvalidImage() { FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatTIFF)}); }

// The largest block the reader decodes a strip into.
constexpr uint64_t kMaxStripBytes = uint64_t(1) << 30;

// The most a compression scheme decodes from stored data: at most Units bytes from
// every PerBytes stored bytes. rowBytes: the length of one decoded row.
TDataExpansion DataExpansion(TCompressionType compression, uint64_t rowBytes) {
  switch (compression) {
    case ctPackedBits:
      // A two-byte packet repeats one byte 128 times.
      return {128, 2};
    case ctLZW:
      // An entry is at most one byte longer than the one before it, so entry k holds
      // at most k - 256 bytes; a code of w bits reaches entries below 2^w, so it gives
      // at most 2^w - 256 bytes, and 12-bit codes give the most: 3839 bytes per 12 bits.
      return {3839 * 2, 3};
    case ctLZ77:
      // Deflate: a match of 258 bytes coded in 2 bits at the best.
      return {1032, 1};
    case ctFaxRLE:
    case ctFaxRLEW:
      // Every coded row starts on a new byte.
      return {rowBytes, 1};
    case ctFax3:
      // Every row takes at least 4 bits: its first (white) code, or an end-of-line code.
      return {2 * rowBytes, 1};
    case ctJPEG:
      // Every 8 x 8 block of every component takes at least one bit (its DC code);
      // with 4 x 4 subsampled colour, 16 luminance and 2 colour blocks cover 32 x 32
      // pixels of 3 bytes: 3072 bytes in 18 bits.
      return {3072 * 8, 18};
    case ctThunderscan:
      // A run byte gives at most 63 pixels of 4 bits.
      return {63, 2};
    default:  // stored as it is; a file cut short loads the rows it holds
      return CutUncompressedData;
  }
}

void ReverseBits(uint8_t* p, size_t n) {
  const uint8_t* table = BitReversalTable();
  for (size_t i = 0; i < n; ++i) p[i] = table[p[i]];
}

// Undoes horizontal differencing in one row of count samples, each sample adding the
// one `distance` samples before it; 16-bit samples are words in the file's order.
void UndoPredictor(uint8_t* row, size_t count, size_t distance, uint32_t bitsPerSample, bool bigEndian) {
  if (bitsPerSample == 8) {
    size_t done = 0;  // samples summed so far
#if defined(__SSE2__)
    if (distance == 3) {
      // Five pixels (15 bytes) at a time: running sums within the block by shifted
      // adds (3, 6 and 12 bytes cover every earlier pixel of the block), plus the last
      // pixel of the block before, repeated over the block. The 16th byte, the next
      // block's first, is stored back as it was.
      const __m128i block = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0);
      const __m128i first = _mm_setr_epi8(-1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
      __m128i carry = _mm_setzero_si128();
      for (; done + 16 <= count; done += 15) {
        const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + done));
        __m128i v = _mm_add_epi8(raw, _mm_slli_si128(raw, 3));
        v = _mm_add_epi8(v, _mm_slli_si128(v, 6));
        v = _mm_add_epi8(v, _mm_slli_si128(v, 12));
        v = _mm_add_epi8(v, carry);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + done),
                         _mm_or_si128(_mm_and_si128(v, block), _mm_andnot_si128(block, raw)));
        carry = _mm_and_si128(_mm_srli_si128(v, 12), first);
        carry = _mm_or_si128(carry, _mm_slli_si128(carry, 3));
        carry = _mm_or_si128(carry, _mm_slli_si128(carry, 6));
        carry = _mm_or_si128(carry, _mm_slli_si128(carry, 12));
      }
    }
#endif
    for (size_t i = std::max(done, distance); i < count; ++i) row[i] = uint8_t(row[i] + row[i - distance]);
    return;
  }
  const int high = bigEndian ? 0 : 1;
  for (size_t i = distance; i < count; ++i) {
    uint8_t* p = row + 2 * i;
    const uint16_t v = uint16_t(Get16(p, bigEndian) + Get16(p - 2 * distance, bigEndian));
    p[high] = uint8_t(v >> 8);
    p[1 - high] = uint8_t(v);
  }
}

}  // namespace

TTIFFGraphic::TTIFFGraphic() = default;
TTIFFGraphic::~TTIFFGraphic() = default;

// ---------------------------------------------------------------------------
// Header test and directory access
// ---------------------------------------------------------------------------

bool TTIFFGraphic::CanLoad(TStream& stream) {
  const int64_t start = stream.Position();
  const int64_t remaining = stream.Size() - start;
  bool ok = false;
  uint8_t header[8];
  if (remaining >= 9 && stream.Read(header, 8) == 8) {
    const bool ii = header[0] == 'I' && header[1] == 'I', mm = header[0] == 'M' && header[1] == 'M';
    ok = (ii || mm) && Get16(header + 2, mm) == 42 && int64_t(Get32(header + 4, mm)) < remaining;
  }
  stream.SetPosition(start);
  return ok;
}

const TTIFFGraphic::TIFDEntry* TTIFFGraphic::FindEntry(uint16_t tag) const {
  auto it = std::lower_bound(directory_.begin(), directory_.end(), tag,
                             [](const TIFDEntry& e, uint16_t t) { return e.Tag < t; });
  return it != directory_.end() && it->Tag == tag ? &*it : nullptr;
}

uint32_t TTIFFGraphic::GetValue(uint16_t tag, uint32_t defaultValue) const {
  uint32_t count = 0;
  return GetValue(tag, count, defaultValue);
}

uint32_t TTIFFGraphic::GetValue(uint16_t tag, uint32_t& count, uint32_t defaultValue) const {
  const TIFDEntry* e = FindEntry(tag);
  count = e ? e->Count : 0;
  if (!e) return defaultValue;
  if (e->Count != 1) return e->Value;
  switch (e->DataType) {
    case ftByte:
      return e->Raw[0];
    case ftShort:
    case ftSShort:
      return Get16(e->Raw, BigEndian());
    case ftLong:
    case ftSLong:
      return e->Value;
    default:
      return defaultValue;
  }
}

size_t TTIFFGraphic::ReadAt(TStream& stream, uint64_t offset, void* buffer, size_t count) const {
  const int64_t size = stream.Size();
  const uint64_t at = uint64_t(base_) + offset;
  if (count == 0 || at >= uint64_t(size)) return 0;
  count = size_t(std::min<uint64_t>(count, uint64_t(size) - at));
  stream.SetPosition(int64_t(at));
  const int64_t got = stream.Read(buffer, int64_t(count));
  return got > 0 ? size_t(got) : 0;
}

std::vector<uint8_t> TTIFFGraphic::EntryBytes(TStream& stream, const TIFDEntry& e, uint32_t typeSize,
                                              size_t maxCount) const {
  const uint64_t total = std::min<uint64_t>(e.Count, maxCount) * typeSize;
  if (e.Count * uint64_t(typeSize) <= 4) return std::vector<uint8_t>(e.Raw, e.Raw + total);
  // Read in steps, so that a huge count in a small file takes no more than the file holds.
  std::vector<uint8_t> bytes;
  constexpr size_t kStep = size_t(1) << 20;
  for (uint64_t done = 0; done < total;) {
    const size_t want = size_t(std::min<uint64_t>(kStep, total - done));
    bytes.resize(size_t(done) + want);
    const size_t got = ReadAt(stream, uint64_t(e.Value) + done, bytes.data() + done, want);
    done += got;
    if (got < want) {
      bytes.resize(size_t(done));
      break;
    }
  }
  return bytes;
}

std::vector<uint32_t> TTIFFGraphic::GetValueList(TStream& stream, uint16_t tag, size_t maxCount) const {
  std::vector<uint32_t> values;
  const TIFDEntry* e = FindEntry(tag);
  if (!e) return values;
  const uint32_t size = TypeSize(e->DataType);
  if (size == 0 || size > 4) return values;
  const std::vector<uint8_t> bytes = EntryBytes(stream, *e, size, maxCount);
  const bool be = BigEndian();
  values.reserve(bytes.size() / size);
  for (size_t i = 0; i + size <= bytes.size(); i += size)
    values.push_back(size == 1 ? bytes[i] : size == 2 ? Get16(&bytes[i], be) : Get32(&bytes[i], be));
  return values;
}

std::vector<uint8_t> TTIFFGraphic::GetByteList(TStream& stream, uint16_t tag) const {
  const TIFDEntry* e = FindEntry(tag);
  if (!e) return {};
  if (TypeSize(e->DataType) != 1) {
    std::vector<uint8_t> bytes;
    for (uint32_t v : GetValueList(stream, tag)) bytes.push_back(uint8_t(v));
    return bytes;
  }
  return EntryBytes(stream, *e, 1);
}

std::vector<float> TTIFFGraphic::GetFloatList(TStream& stream, uint16_t tag) const {
  std::vector<float> values;
  const TIFDEntry* e = FindEntry(tag);
  if (!e) return values;
  if (e->DataType != ftRational && e->DataType != ftSRational) {
    for (uint32_t v : GetValueList(stream, tag)) values.push_back(float(v));
    return values;
  }
  const std::vector<uint8_t> bytes = EntryBytes(stream, *e, 8);
  const bool be = BigEndian();
  for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
    const uint32_t num = Get32(&bytes[i], be), den = Get32(&bytes[i + 4], be);
    if (e->DataType == ftSRational)
      values.push_back(den == 0 ? 0.0f : float(double(int32_t(num)) / double(int32_t(den))));
    else
      values.push_back(den == 0 ? 0.0f : float(double(num) / double(den)));
  }
  return values;
}

float TTIFFGraphic::GetFloatValue(TStream& stream, uint16_t tag, float defaultValue) const {
  const TIFDEntry* e = FindEntry(tag);
  if (!e || e->Count != 1) return defaultValue;
  switch (e->DataType) {
    case ftByte:
    case ftShort:
    case ftLong:
      return float(GetValue(tag, 0));
    case ftRational:
    case ftSRational: {
      const std::vector<float> v = GetFloatList(stream, tag);
      return v.empty() ? defaultValue : v[0];
    }
    default:
      return defaultValue;
  }
}

// ---------------------------------------------------------------------------
// Header record
// ---------------------------------------------------------------------------

bool TTIFFGraphic::ReadImageProperties(TStream& stream, uint32_t imageIndex) {
  TFormatGraphic::ReadImageProperties(stream, imageIndex);
  directory_.clear();
  TImageProperties& p = ImageProperties;
  // Outside a load the picture starts at the stream's position, which is kept.
  const bool loading = LoadStream() == &stream;
  base_ = loading ? BasePosition() : stream.Position();
  struct TKeepPosition {
    TStream* stream;
    int64_t position;
    ~TKeepPosition() {
      if (stream) stream->SetPosition(position);
    }
  } keep{loading ? nullptr : &stream, base_};

  uint8_t header[8];
  if (ReadAt(stream, 0, header, 8) != 8) return false;
  const bool mm = header[0] == 'M' && header[1] == 'M';
  if (!mm && !(header[0] == 'I' && header[1] == 'I')) return false;
  if (mm) p.Options.Include(ioBigEndian);
  p.Version = Get16(header + 2, mm);
  p.FirstIFD = Get32(header + 4, mm);
  if (p.Version != 42) return false;

  // Walk to the wanted directory; a chain that comes back to a directory ends there.
  uint32_t at = p.FirstIFD;
  uint8_t word[4];
  std::set<uint32_t> visited;
  for (uint32_t i = 0; i < imageIndex; ++i) {
    if (at == 0 || !visited.insert(at).second || ReadAt(stream, at, word, 2) != 2) return false;
    if (ReadAt(stream, uint64_t(at) + 2 + uint64_t(Get16(word, mm)) * 12, word, 4) != 4) return false;
    at = Get32(word, mm);
  }
  if (at == 0 || ReadAt(stream, at, word, 2) != 2) return false;
  const uint32_t count = Get16(word, mm);
  std::vector<uint8_t> raw(size_t(count) * 12);
  const size_t got = ReadAt(stream, uint64_t(at) + 2, raw.data(), raw.size());
  directory_.resize(got / 12);
  for (size_t i = 0; i < directory_.size(); ++i) {
    const uint8_t* r = &raw[i * 12];
    TIFDEntry& e = directory_[i];
    e.Tag = Get16(r, mm);
    e.DataType = Get16(r + 2, mm);
    e.Count = Get32(r + 4, mm);
    std::memcpy(e.Raw, r + 8, 4);
    e.Value = Get32(r + 8, mm);
  }
  std::stable_sort(directory_.begin(), directory_.end(),
                   [](const TIFDEntry& a, const TIFDEntry& b) { return a.Tag < b.Tag; });

  p.Width = GetValue(tagImageWidth, 0);
  p.Height = GetValue(tagImageLength, 0);
  if (p.Width == 0 || p.Height == 0) return false;

  p.RowsPerStrip = GetValueList(stream, tagRowsPerStrip);
  if (p.RowsPerStrip.empty() || p.RowsPerStrip[0] == 0xFFFFFFFFu) p.RowsPerStrip.assign(1, p.Height);

  p.SamplesPerPixel = uint8_t(std::min<uint32_t>(GetValue(tagSamplesPerPixel, 1), 255));
  const std::vector<uint32_t> bits = GetValueList(stream, tagBitsPerSample);
  p.BitsPerSample = uint8_t(std::min<uint32_t>(bits.empty() ? 1 : bits[0], 255));

  p.TileWidth = GetValue(tagTileWidth, 0);
  p.TileLength = GetValue(tagTileLength, 0);
  if (p.TileWidth > 0 && p.TileLength > 0) p.Options.Include(ioTiled);

  const uint32_t photometric = GetValue(tagPhotometric, 0);
  if (FindEntry(tagExtraSamples)) {
    const std::vector<uint32_t> extra = GetValueList(stream, tagExtraSamples);
    p.HasAlpha = std::none_of(extra.begin(), extra.end(), [](uint32_t v) { return v > 2; });
  }
  p.BitsPerPixel = uint8_t(std::min<uint32_t>(uint32_t(p.BitsPerSample) * p.SamplesPerPixel, 255));
  p.Compression = CompressionOf(GetValue(tagCompression, 0));
  p.ColorScheme = SchemeOf(photometric, p.SamplesPerPixel);
  if (photometric == 0) p.Options.Include(ioMinIsWhite);

  yCbCrPositioning_ = 1;
  yCbCrCoefficients_.clear();
  if (photometric == 6) {
    p.YCbCrSubSampling = GetByteList(stream, tagYCbCrSubSampling);
    if (p.YCbCrSubSampling.size() < 2) p.YCbCrSubSampling = {2, 2};
    yCbCrPositioning_ = GetValue(tagYCbCrPositioning, 1);
    yCbCrCoefficients_ = GetFloatList(stream, tagYCbCrCoefficients);
    if (yCbCrCoefficients_.size() < 3) yCbCrCoefficients_ = {0.299f, 0.587f, 0.114f};
  }

  p.JPEGColorMode = 0;
  p.JPEGTablesMode = 3;
  p.PlanarConfig = GetValue(tagPlanarConfig, 0);

  p.XResolution = GetFloatValue(stream, tagXResolution, 0.0f);
  p.YResolution = GetFloatValue(stream, tagYResolution, 0.0f);
  if (GetValue(tagResolutionUnit, 2) == 3) {
    p.XResolution *= 2.54f;
    p.YResolution *= 2.54f;
  }

  p.Predictor = GetValue(tagPredictor, 0);
  if (GetValue(tagFillOrder, 1) == 2) p.Options.Include(ioReversed);
  return true;
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------

void TTIFFGraphic::SaveToStream(TStream&) { FormatGraphicError(gsTIFFNoSave, {GraphicText(gsFormatTIFF)}); }

void TTIFFGraphic::LoadFromStream(TStream& stream) {
  BeginLoad(stream);
  try {
    LoadImage(stream);
  } catch (const std::bad_alloc&) {
    EndLoad();
    FormatGraphicError(GraphicText(gsInvalidTiff));
  } catch (...) {
    EndLoad();
    throw;
  }
  EndLoad();
}

void TTIFFGraphic::LoadImage(TStream& stream) {
  if (!ReadImageProperties(stream, 0)) InvalidImage();
  TImageProperties& p = ImageProperties;
  const uint32_t width = p.Width, height = p.Height;
  const uint32_t bps = p.BitsPerSample, spp = p.SamplesPerPixel;
  const bool bigEndian = BigEndian();
  const TCompressionType compression = p.Compression;
  const bool fax = compression == ctFax3 || compression == ctFaxRLE || compression == ctFaxRLEW;

  // What the reader cannot decode is refused before anything is allocated.
  switch (compression) {
    case ctNone:
    case ctLZW:
    case ctPackedBits:
    case ctFax3:
    case ctFaxRLE:
    case ctFaxRLEW:
    case ctLZ77:
    case ctJPEG:
    case ctThunderscan:
      break;
    default:
      Unsupported(gsCompressionScheme);
  }
  if (p.Options.Contains(ioTiled)) Unsupported(gsTIFFTiles);
  if (compression == ctFax3 && (GetValue(tagT4Options, 0) & 1) != 0) Unsupported(gsTIFF2DFax);
  if (fax && (bps != 1 || spp != 1)) Unsupported(gsTIFFBitDepth);
  if (compression == ctThunderscan && (bps != 4 || spp != 1)) Unsupported(gsTIFFBitDepth);
  {
    const std::vector<uint32_t> formats = GetValueList(stream, tagSampleFormat);
    if (std::any_of(formats.begin(), formats.end(), [](uint32_t f) { return f != 1 && f != 4; }))
      Unsupported(gsTIFFSampleFormat);
  }

  const bool planar = p.PlanarConfig == 2 && spp > 1;
  TColorScheme source = p.ColorScheme;
  if (compression == ctJPEG && spp == 3) source = csBGR;  // the JPEG decoder hands over B, G, R
  // Grey and palette pictures with an extra (alpha) sample: the extra sample is skipped,
  // and palette indices still go through the colour map.
  if ((source == csG || source == csIndexed) && spp >= 2) source = planar ? source : csGA;
  TColorScheme target;
  uint32_t usedPlanes = 1;  // planes handed to the colour manager
  switch (source) {
    case csG:
      target = csG;
      break;
    case csGA:
      target = p.ColorScheme == csIndexed ? csIndexed : csG;
      break;
    case csIndexed:
      target = csIndexed;
      break;
    case csRGB:
    case csRGBA:
      target = source == csRGB ? csBGR : csBGRA;
      usedPlanes = source == csRGB ? 3 : 4;
      break;
    case csBGR:
      target = csBGR;
      break;
    case csCMYK:
    case csCIELab:
    case csYCbCr:
      target = csBGR;
      usedPlanes = source == csCMYK ? 4 : 3;
      break;
    default:
      Unsupported(gsTIFFColorFormat);
  }
  if (!planar) usedPlanes = 1;

  // Sample layouts the converters handle.
  const bool depth8or16 = bps == 8 || bps == 16;
  bool depthOk;
  switch (source) {
    case csG:
      depthOk = (spp == 1 || planar) && (bps == 1 || bps == 2 || bps == 4 || depth8or16);
      break;
    case csIndexed:
      depthOk = bps == 1 || bps == 2 || bps == 4 || bps == 8;
      break;
    case csGA:
      depthOk = spp == 2 && (p.ColorScheme == csG ? depth8or16 : bps == 8);
      break;
    case csRGB:
      depthOk = spp == 3 && depth8or16;
      break;
    case csRGBA:
      depthOk = spp == 4 && depth8or16;
      break;
    case csBGR:
      depthOk = bps == 8;
      break;
    case csCMYK:
      depthOk = spp == 4 && depth8or16;
      break;
    case csCIELab:
    case csYCbCr:
      depthOk = spp == 3 && bps == 8;
      break;
    default:
      depthOk = false;
  }
  if (!depthOk) Unsupported(gsTIFFBitDepth);
  if (compression == ctJPEG && (planar || (spp != 1 && spp != 3))) Unsupported(gsTIFFColorFormat);

  // Subsampled YCbCr without JPEG is stored in blocks: h x v luminance samples and one
  // pair of colour differences; each block row is spread into v full rows.
  uint32_t subH = 1, subV = 1;
  if (source == csYCbCr) {
    subH = p.YCbCrSubSampling[0];
    subV = p.YCbCrSubSampling[1];
    auto valid = [](uint32_t f) { return f == 1 || f == 2 || f == 4; };
    if (!valid(subH) || !valid(subV) || subV > subH) Unsupported(gsTIFFSubsampling);
  }
  const bool blocks = subH != 1 || subV != 1;
  if (blocks && planar) Unsupported(gsTIFFSubsampling);

  if (p.Predictor == 2 && compression != ctNone && (!depth8or16 || blocks)) Unsupported(gsTIFFPredictor);
  const bool predictor = p.Predictor == 2 && compression != ctNone;

  ProgressRect = TRect(0, 0, 0, 1);
  StartProgress(gsPreparing);

  // Each strip holds at least one row of one plane: more strips are never read.
  const size_t maxStrips = size_t(height) * (planar ? spp : 1);
  const std::vector<uint32_t> offsets = GetValueList(stream, tagStripOffsets, maxStrips);
  const std::vector<uint32_t> byteCounts = GetValueList(stream, tagStripByteCounts, maxStrips);
  if (offsets.empty()) InvalidImage();

  // Row layout of the decoded data: rows, or for subsampled YCbCr, rows of blocks.
  const uint64_t planeSamples = planar ? 1 : spp;
  const uint64_t rowBytes64 = (uint64_t(bps) * planeSamples * width + 7) / 8;
  const uint32_t blockColumns = (width + subH - 1) / subH;
  const uint64_t unitBytes64 = blocks ? uint64_t(blockColumns) * (subH * subV + 2) : rowBytes64;
  p.BytesPerLine = uint32_t(std::min<uint64_t>(rowBytes64, UINT32_MAX));
  if (unitBytes64 == 0 || unitBytes64 > kMaxStripBytes) FormatGraphicError(GraphicText(gsInvalidTiff));
  const size_t unitBytes = size_t(unitBytes64);
  const uint64_t unitCount = blocks ? (uint64_t(height) + subV - 1) / subV : height;

  // Strips: with separate planes, the strips of plane k follow those of plane k - 1.
  const uint32_t planeCount = planar ? usedPlanes : 1;
  const uint32_t firstRows = std::max<uint32_t>(p.RowsPerStrip[0], 1);
  const size_t stripsPerPlane = planar ? (size_t(height) + firstRows - 1) / firstRows : offsets.size();
  const int64_t streamSize = stream.Size();
  const uint64_t fileBytes = streamSize > base_ ? uint64_t(streamSize - base_) : 0;
  // Rows and decoded bytes of each strip of a plane.
  auto stripRows = [&](size_t strip, uint32_t rowsBefore) {
    const uint32_t listed = p.RowsPerStrip[std::min(strip, p.RowsPerStrip.size() - 1)];
    return std::min(std::max<uint32_t>(listed, 1), height - rowsBefore);
  };
  auto stripBytesOf = [&](uint32_t rows) { return (blocks ? (uint64_t(rows) + subV - 1) / subV : rows) * unitBytes; };
  std::vector<uint32_t> sortedOffsets;  // made when byte counts are missing
  // The packed bytes of strip `index`, as far as the file holds them; stripBytes: the
  // bytes it decodes to.
  auto packedBytes = [&](size_t index, uint64_t stripBytes) -> uint64_t {
    if (index >= offsets.size()) return 0;
    const uint64_t offset = offsets[index];
    uint64_t count;
    if (index < byteCounts.size()) {
      count = byteCounts[index];
    } else if (compression == ctNone) {
      count = stripBytes;
    } else {
      // No byte count: the data runs up to the next strip, or to the end of the file.
      if (sortedOffsets.empty()) {
        sortedOffsets = offsets;
        std::sort(sortedOffsets.begin(), sortedOffsets.end());
      }
      const auto next = std::upper_bound(sortedOffsets.begin(), sortedOffsets.end(), uint32_t(offset));
      count = next != sortedOffsets.end() ? *next - offset : UINT64_MAX;
    }
    return std::min<uint64_t>(count, fileBytes > offset ? fileBytes - offset : 0);
  };
  {
    // The picture's data must be in the file, as far as the compression can expand it.
    // A strip of uncompressed data gives no more than its rows; all strips together
    // give no more than the whole file.
    uint64_t stored = 0;
    for (uint32_t plane = 0; plane < planeCount; ++plane) {
      uint32_t rowsBefore = 0;
      for (size_t strip = 0; strip < stripsPerPlane && rowsBefore < height; ++strip) {
        const size_t index = planar ? plane * stripsPerPlane + strip : strip;
        if (index >= offsets.size()) break;  // the strips that follow have no data
        const uint32_t rows = stripRows(strip, rowsBefore);
        const uint64_t stripBytes = stripBytesOf(rows);
        const uint64_t count = packedBytes(index, stripBytes);
        stored = std::min(stored + (compression == ctNone ? std::min(count, stripBytes) : count), fileBytes);
        rowsBefore += rows;
      }
    }
    CheckPictureData(GraphicText(gsFormatTIFF), width, height, unitCount * unitBytes * planeCount, stored,
                     DataExpansion(compression, rowBytes64));
  }

  // Colour manager.
  const uint32_t targetBits = bps == 16 ? 8 : bps == 2 ? 4 : bps;
  TConvertOptions sourceOptions;
  if (bigEndian) sourceOptions.Include(coNeedByteSwap);
  if (source == csCIELab) sourceOptions.Include(coLabByteRange);
  ColorManager.SetSourceOptions(sourceOptions);
  ColorManager.SetTargetOptions(TConvertOptions());
  ColorManager.SetSourceColorScheme(source);
  ColorManager.SetTargetColorScheme(target);
  ColorManager.SetSourceBitsPerSample(uint8_t(bps));
  ColorManager.SetTargetBitsPerSample(uint8_t(targetBits));
  const uint32_t sourceSamples = source == csGA ? 2 : planar ? usedPlanes : std::min<uint32_t>(spp, 4);
  ColorManager.SetSourceSamplesPerPixel(uint8_t(source == csBGR ? 3 : sourceSamples));
  const uint32_t targetSamples = target == csBGR ? 3 : target == csBGRA ? 4 : 1;
  ColorManager.SetTargetSamplesPerPixel(uint8_t(targetSamples));
  if (source == csYCbCr) ColorManager.SetYCbCrParameters(yCbCrCoefficients_, 1, 1);

  SetPixelFormat(ColorManager.GetPixelFormat(1));
  SetSize(int(std::min<uint32_t>(width, INT32_MAX)), int(std::min<uint32_t>(height, INT32_MAX)));
  ProgressRect.Right = int(width);

  // Palette.
  if (target == csIndexed) {
    uint32_t count = 0;
    GetValue(tagColorMap, count, 0);
    const uint32_t perPlane = count / 3;
    const uint32_t used = std::min<uint32_t>(perPlane, 256);
    if (used == 0) FormatGraphicError(gsInvalidPalette, {GraphicText(gsFormatTIFF)});
    const std::vector<uint32_t> map = GetValueList(stream, tagColorMap, 2 * size_t(perPlane) + used);
    palette_.assign(size_t(used) * 3, 0);
    for (uint32_t plane = 0; plane < 3; ++plane)
      for (uint32_t i = 0; i < used; ++i) {
        const size_t at = size_t(plane) * perPlane + i;
        // The colour manager swaps big-endian values itself; give them as stored.
        const uint16_t v = at < map.size() ? uint16_t(map[at]) : 0;
        palette_[size_t(plane) * used + i] = bigEndian ? uint16_t(v >> 8 | v << 8) : v;
      }
    SetPalette(ColorManager.CreateColorPalette(
        {palette_.data(), palette_.data() + used, palette_.data() + 2 * size_t(used)}, pdfPlanes16, used, false));
  } else if (target == csG) {
    SetPalette(ColorManager.CreateGrayscalePalette(p.Options.Contains(ioMinIsWhite)));
  }

  // Decoder.
  std::unique_ptr<TDecoder> decoder;
  const bool reversed = p.Options.Contains(ioReversed);
  switch (compression) {
    case ctLZW:
      decoder = std::make_unique<TTIFFLZWDecoder>();
      break;
    case ctPackedBits:
      decoder = std::make_unique<TPackbitsRLEDecoder>();
      break;
    case ctFax3:
      decoder = std::make_unique<TCCITTFax3Decoder>(GetValue(tagT4Options, 0), reversed, false, width);
      break;
    case ctFaxRLE:
    case ctFaxRLEW:
      decoder = std::make_unique<TCCITTMHDecoder>(GetValue(tagT4Options, 0), reversed, compression == ctFaxRLEW, width);
      break;
    case ctLZ77:
      decoder = std::make_unique<TLZ77Decoder>(1, true);
      break;
    case ctJPEG: {
      p.JPEGTables = GetByteList(stream, tagJPEGTables);
      auto jpeg = std::make_unique<TTIFFJPEGDecoder>(&p);
      // What libjpeg warns of (damaged data it decodes past, a strip cut short) is shown
      // in the warning box, each text once per picture rather than once per strip.
      jpeg->OnWarning = [shown = std::set<std::string>()](const std::string& message) mutable {
        if (IsMainThread() && shown.insert(message).second) MessageDlg(message, mtWarning, {mbOK}, 0);
      };
      decoder = std::move(jpeg);
      break;
    }
    case ctThunderscan:
      decoder = std::make_unique<TThunderDecoder>(width);
      break;
    default:
      break;
  }
  // Fill order 2 is undone here for everything but fax data, whose decoders read it.
  const bool reverseData = reversed && !fax;
  if (decoder) decoder->DecodeInit();
  struct TDecodeEnd {  // ends the decoder also when an exception passes
    TDecoder* d;
    ~TDecodeEnd() {
      if (!d) return;
      try {
        d->DecodeEnd();
      } catch (...) {
      }
    }
  } decodeEnd{decoder.get()};
  EndProgress();

  p.StripCount = uint32_t(offsets.size());
  std::vector<uint8_t> packed;
  std::unique_ptr<TDecoder> oldLZW;
  std::vector<std::vector<uint8_t>> planes(planeCount);
  std::vector<uint8_t> spread;  // one row spread out of YCbCr blocks
  if (blocks) spread.resize(size_t(width) * 3);

  // Reads and decodes strip `index` into target (size bytes); what the data does
  // not reach stays zero.
  auto decodeStrip = [&](size_t index, uint8_t* target, size_t size) {
    std::memset(target, 0, size);
    uint64_t count = packedBytes(index, size);
    if (count == 0) return;
    const uint64_t offset = offsets[index];
    if (!decoder) {
      const size_t got = ReadAt(stream, offset, target, size_t(std::min<uint64_t>(count, size)));
      if (reverseData) ReverseBits(target, got);
      return;
    }
    count = std::min<uint64_t>(count, INT32_MAX);
    if (packed.size() < count) packed.resize(size_t(count));
    const size_t got = ReadAt(stream, offset, packed.data(), size_t(count));
    if (reverseData) ReverseBits(packed.data(), got);
    const void* src = packed.data();
    void* dst = target;
    p.CurrentStrip = uint32_t(index);
    // LZW data of early TIFF writers starts with a clear code stored least significant
    // bit first; its codes are read in that order and widen without the early change.
    TDecoder* d = decoder.get();
    if (compression == ctLZW && got >= 2 && packed[0] == 0 && (packed[1] & 1) != 0) {
      if (!oldLZW) oldLZW = std::make_unique<TGIFLZWDecoder>(8);
      d = oldLZW.get();
    }
    d->Decode(src, dst, int32_t(got), int32_t(size));
  };

  ProgressRect = TRect(0, 0, int(width), 1);
  StartProgress(gsTransfering);
  p.CurrentRow = 0;
  p.CurrentStrip = 0;
  const void* sources[4] = {};
  for (size_t strip = 0; strip < stripsPerPlane && p.CurrentRow < height; ++strip) {
    const uint32_t rows = stripRows(strip, p.CurrentRow);
    const uint64_t units = blocks ? (uint64_t(rows) + subV - 1) / subV : rows;
    if (stripBytesOf(rows) > kMaxStripBytes) FormatGraphicError(GraphicText(gsInvalidTiff));
    const size_t stripBytes = size_t(stripBytesOf(rows));
    for (uint32_t plane = 0; plane < planes.size(); ++plane) {
      if (planes[plane].size() < stripBytes) planes[plane].resize(stripBytes);
      decodeStrip(planar ? plane * stripsPerPlane + strip : strip, planes[plane].data(), stripBytes);
    }
    for (uint64_t unit = 0; unit < units; ++unit) {
      for (uint32_t plane = 0; plane < planes.size(); ++plane) {
        uint8_t* row = planes[plane].data() + unit * unitBytes;
        if (predictor) UndoPredictor(row, size_t(width) * planeSamples, planeSamples, bps, bigEndian);
        sources[plane] = row;
      }
      const std::span<const void* const> rowSources(sources, planes.size());
      if (!blocks) {
        ColorManager.ConvertRow(rowSources, ScanLine(int(p.CurrentRow)), width, 0xFF);
        ++p.CurrentRow;
        RowProgress(p.CurrentRow, height);
        continue;
      }
      const uint8_t* block = static_cast<const uint8_t*>(sources[0]);
      for (uint32_t line = 0; line < subV && p.CurrentRow < height; ++line) {
        for (uint32_t x = 0; x < width; ++x) {
          const uint8_t* b = block + size_t(x / subH) * (subH * subV + 2);
          uint8_t* s = &spread[size_t(x) * 3];
          s[0] = b[line * subH + x % subH];
          s[1] = b[subH * subV];
          s[2] = b[subH * subV + 1];
        }
        const void* spreadRow = spread.data();
        ColorManager.ConvertRow(std::span<const void* const>(&spreadRow, 1), ScanLine(int(p.CurrentRow)), width, 0xFF);
        ++p.CurrentRow;
        RowProgress(p.CurrentRow, height);
      }
    }
  }
  EndProgress();
  if (decoder) {
    decodeEnd.d = nullptr;
    decoder->DecodeEnd();
  }
}
