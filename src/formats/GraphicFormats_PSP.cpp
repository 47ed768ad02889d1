// The Paint Shop Pro reader: the walk through the file's blocks (general attributes,
// palette, layer bank), the first raster layer's channels expanded into full-size
// buffers, and the rows merged by the colour manager. Every block and chunk is passed
// by its length, so each step moves forward through the file.
#include "formats/GraphicFormats_PSP.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "formats/GraphicCompression.h"
#include "formats/GraphicFormats_Reading.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/PictureBounds.h"
#include "platform/i18n/GnuGetText.h"

namespace {

constexpr int kFileHeaderSize = 36;
constexpr int kAttributesSize = 42;
constexpr int kLayerInfoSize = 115;
constexpr int kChannelInfoSize = 12;
constexpr int kLayerNameSize = 256;  // version 3
constexpr char kSignature[] = "Paint Shop Pro Image File";
constexpr size_t kSignatureLength = sizeof kSignature - 1;

enum : uint16_t { kImageBlock = 0, kPaletteBlock = 2, kLayerBankBlock = 3, kLayerBlock = 4 };
// Channel types: the composite (a single-channel picture or a transparency mask), red, green, blue.
enum : uint16_t { kComposite = 0, kRed = 1, kGreen = 2, kBlue = 3 };
// File compressions.
enum : uint16_t { kNone = 0, kRunLength = 1, kDeflate = 2 };

uint32_t ReadU32(TStream& stream) { return ReadInteger(stream, 4, false); }
uint16_t ReadU16(TStream& stream) { return uint16_t(ReadInteger(stream, 2, false)); }

bool SignatureFits(const uint8_t* header) {
  const std::string signature(reinterpret_cast<const char*>(header), kSignatureLength);
  return SameText(signature, kSignature) && LittleEndian16(header + 32) >= 3;
}

// The general image attributes.
struct Attributes {
  int32_t Width = 0, Height = 0;
  double Resolution = 0;
  uint8_t Metric = 0;
  uint16_t Compression = 0, BitDepth = 0;
  uint8_t Greyscale = 0;
};

Attributes ReadAttributes(TStream& stream) {
  uint8_t b[kAttributesSize];
  stream.ReadBuffer(b, kAttributesSize);
  Attributes a;
  a.Width = int32_t(LittleEndian32(b));
  a.Height = int32_t(LittleEndian32(b + 4));
  std::memcpy(&a.Resolution, b + 8, 8);
  a.Metric = b[16];
  a.Compression = LittleEndian16(b + 17);
  a.BitDepth = LittleEndian16(b + 19);
  a.Greyscale = b[27];
  return a;
}

}  // namespace

bool TPSPGraphic::CanLoad(TStream& stream) { return ProbeHeader(stream, kFileHeaderSize, SignatureFits); }

bool TPSPGraphic::ReadBlockHeader(TStream& stream, BlockHeader& header) {
  if (stream.Position() >= stream.Size()) return false;
  stream.ReadBuffer(header.Identifier, 4);
  header.Id = ReadU16(stream);
  if (majorVersion_ == 3) ReadU32(stream);  // the initial chunk's length
  header.Length = ReadU32(stream);
  return true;
}

bool TPSPGraphic::ReadImageProperties(TStream& stream, uint32_t imageIndex) {
  TFormatGraphic::ReadImageProperties(stream, imageIndex);
  uint8_t header[kFileHeaderSize];
  stream.ReadBuffer(header, kFileHeaderSize);
  if (!SignatureFits(header)) return false;
  majorVersion_ = LittleEndian16(header + 32);
  BlockHeader block;
  // The general attributes come first.
  if (!ReadBlockHeader(stream, block) || block.Identifier[0] != '~' || block.Id != kImageBlock) return false;
  const int64_t blockEnd = stream.Position() + block.Length;
  if (majorVersion_ > 3) ReadU32(stream);  // the chunk's size
  const Attributes a = ReadAttributes(stream);
  stream.Seek(blockEnd, soBeginning);
  if (a.Width <= 0 || a.Height <= 0) return false;

  TImageProperties& p = ImageProperties;
  p.Version = majorVersion_;
  if (a.BitDepth == 24) {
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 3;
    p.ColorScheme = csRGB;
  } else {
    p.BitsPerSample = uint8_t(a.BitDepth);
    p.SamplesPerPixel = 1;
    p.ColorScheme = a.Greyscale ? csG : csIndexed;
  }
  p.BitsPerPixel = uint8_t(p.BitsPerSample * p.SamplesPerPixel);
  p.Width = uint32_t(a.Width);
  p.Height = uint32_t(a.Height);
  static const TCompressionType kCompressions[] = {ctNone, ctRLE, ctLZ77, ctJPEG};
  p.Compression = a.Compression < 4 ? kCompressions[a.Compression] : ctUnknown;
  // A resolution that is no number, or none a float can hold, counts as none.
  const double dpi = a.Metric == 2 ? a.Resolution * 2.54 : a.Resolution;
  p.XResolution = dpi >= 0 && dpi < 1e30 ? float(dpi) : 0.0f;
  p.YResolution = p.XResolution;
  compression_ = a.Compression;
  return true;
}

void TPSPGraphic::LoadFromStream(TStream& stream) {
  // The channel buffers live only while a picture loads.
  struct Release {
    std::vector<uint8_t>* channels;
    ~Release() {
      for (int i = 0; i < 4; ++i) channels[i] = std::vector<uint8_t>();
    }
  } release{channels_};
  LoadInFrame(stream, [&] { LoadPicture(stream); });
}

void TPSPGraphic::LoadPicture(TStream& stream) {
  if (!ReadImageProperties(stream, 0)) FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatPSP)});
  // The stream stands behind the general attributes' block.
  const TImageProperties& p = ImageProperties;
  ProgressRect = TRect(0, 0, int(p.Width), 1);
  StartProgress(gsPreparing);
  for (auto& channel : channels_) channel.clear();

  TColorManager& cm = ColorManager;
  cm.SetSourceOptions({});
  cm.SetTargetOptions({});
  switch (p.BitsPerSample) {
    case 1: rowSize_ = (size_t(p.Width) + 7) / 8; break;
    case 4: rowSize_ = size_t(p.Width) / 2 + 1; break;
    case 8: rowSize_ = p.Width; break;
    default: FormatGraphicError(gsInvalidColorFormat, {GraphicText(gsFormatPSP)});
  }
  cm.SetSourceBitsPerSample(p.BitsPerSample);
  cm.SetTargetBitsPerSample(p.BitsPerSample);
  cm.SetSourceSamplesPerPixel(p.SamplesPerPixel);
  cm.SetTargetSamplesPerPixel(p.SamplesPerPixel);
  cm.SetSourceColorScheme(p.ColorScheme);
  cm.SetTargetColorScheme(p.ColorScheme == csRGB ? csBGR : p.ColorScheme);
  SetPixelFormat(cm.GetPixelFormat(1));
  if (p.ColorScheme == csG) SetPalette(cm.CreateGrayscalePalette(false));
  // Channels in a form no decoder here reads (JPEG and unknown ones) are refused
  // rather than shown empty.
  if (compression_ > kDeflate)
    FormatGraphicError(gsUnsupportedFeature, {GraphicText(gsCompressionScheme), GraphicText(gsFormatPSP)});

  // The rest of the file must be able to give at least one channel of the picture.
  CheckPictureSize(p.Width, p.Height, p.ColorScheme == csRGB ? 32 : BitsPerPixel());
  const uint64_t left = uint64_t(std::max<int64_t>(0, stream.Size() - stream.Position()));
  CheckPictureData(GraphicText(gsFormatPSP), p.Width, p.Height, uint64_t(rowSize_) * p.Height, left,
                   compression_ == kRunLength ? RunLengthData(127, 1)
                   : compression_ == kDeflate ? DeflateData
                                              : UncompressedData);
  SetSize(int(p.Width), int(p.Height));
  EndProgress();

  BlockHeader block;
  // The first layer loaded is the picture; further layer banks are passed over.
  bool loaded = false;
  while (ReadBlockHeader(stream, block)) {
    const int64_t next = stream.Position() + block.Length;
    if (block.Identifier[0] != '~') break;
    if (block.Id == kPaletteBlock)
      ReadPalette(stream, next);
    else if (block.Id == kLayerBankBlock && !loaded)
      loaded = ReadLayerBank(stream, next);
    stream.Seek(next, soBeginning);
  }
}

void TPSPGraphic::ReadPalette(TStream& stream, int64_t blockEnd) {
  if (majorVersion_ > 3) ReadU32(stream);  // the chunk's size
  const uint32_t count = ReadU32(stream);
  // Only 256 entries fit a palette; the rest of the block is passed over.
  const int64_t room = std::max<int64_t>(0, blockEnd - stream.Position()) / 4;
  const uint32_t entries = uint32_t(std::min<int64_t>({int64_t(count), 256, room}));
  std::vector<uint8_t> colours(4 * size_t(entries));
  if (entries) stream.ReadBuffer(colours.data(), int64_t(colours.size()));
  SetPalette(ColorManager.CreateColorPalette({colours.data()}, pdfBytes4, entries, true));
}

bool TPSPGraphic::ReadLayerBank(TStream& stream, int64_t bankEnd) {
  const TImageProperties& p = ImageProperties;
  BlockHeader block;
  while (stream.Position() < bankEnd && ReadBlockHeader(stream, block)) {
    const int64_t nextLayer = stream.Position() + block.Length;
    if (block.Id != kLayerBlock) return false;
    uint8_t info[kLayerInfoSize];
    if (majorVersion_ == 3) {
      stream.Seek(kLayerNameSize, soCurrent);
      stream.ReadBuffer(info, kLayerInfoSize);
      if (info[0] != 0) {  // only normal layers, not floating selections
        stream.Seek(nextLayer, soBeginning);
        continue;
      }
    } else {
      const int64_t chunkStart = stream.Position();
      const uint32_t chunkSize = ReadU32(stream);
      stream.Seek(ReadU16(stream), soCurrent);  // the name
      stream.ReadBuffer(info, kLayerInfoSize);
      stream.Seek(chunkStart + chunkSize, soBeginning);
      if (info[0] >= 2) {  // only raster layers
        stream.Seek(nextLayer, soBeginning);
        continue;
      }
      // Later versions may put blocks of their own between the layer's information and
      // its bitmap chunk; they are passed over.
      for (;;) {
        const int64_t at = stream.Position();
        uint8_t mark[4];
        if (at + 10 > nextLayer || stream.Read(mark, 4) != 4 || std::memcmp(mark, "~BK", 4) != 0) {
          stream.Seek(at, soBeginning);
          break;
        }
        stream.Seek(2, soCurrent);
        stream.Seek(ReadU32(stream), soCurrent);
      }
    }
    StartProgress(gsLoadingData);
    const int64_t bitmapChunk = stream.Position();
    const uint32_t bitmapChunkSize = majorVersion_ > 3 ? ReadU32(stream) : 0;
    ReadU16(stream);  // the bitmap count
    const uint16_t channelCount = ReadU16(stream);
    if (majorVersion_ > 3) stream.Seek(bitmapChunk + bitmapChunkSize, soBeginning);
    // A fourth channel of a true-colour layer (its transparency mask) becomes alpha.
    const bool alpha = channelCount > 3 && p.ColorScheme == csRGB;
    if (alpha) {
      ColorManager.SetSourceColorScheme(csRGBA);
      ColorManager.SetSourceSamplesPerPixel(4);
      ColorManager.SetTargetColorScheme(csBGRA);
      ColorManager.SetTargetSamplesPerPixel(4);
      SetPixelFormat(pf32bit);
    }
    for (uint32_t i = 0; i < channelCount && stream.Position() < nextLayer; ++i) ReadChannel(stream);
    EndProgress();
    TransferRows(alpha);
    return true;
  }
  return false;
}

void TPSPGraphic::ReadChannel(TStream& stream) {
  BlockHeader block;
  if (!ReadBlockHeader(stream, block)) return;
  const int64_t blockEnd = stream.Position() + block.Length;
  int64_t dataStart = 0;
  if (majorVersion_ > 3) {
    const int64_t chunkStart = stream.Position();
    dataStart = chunkStart + ReadU32(stream);
  }
  uint8_t info[kChannelInfoSize];
  stream.ReadBuffer(info, kChannelInfoSize);
  if (dataStart < stream.Position()) dataStart = stream.Position();
  const uint32_t compressedSize = LittleEndian32(info);
  const uint16_t channelType = LittleEndian16(info + 10);
  // Channels of other types are passed over by their block's length, and so is a
  // second channel of a type already read (such as a mask behind a grey picture's
  // composite), so that each buffer is filled once however many channels a layer claims.
  if (channelType <= kBlue && channels_[channelType].empty()) {
    // The buffer holds what the rows take, whatever the file says the channel expands
    // to; the stored bytes are read only as far as the channel's block goes.
    std::vector<uint8_t>& channel = channels_[channelType];
    channel.assign(rowSize_ * ImageProperties.Height, 0);
    stream.Seek(dataStart, soBeginning);
    const int64_t stored = std::min<int64_t>({int64_t(compressedSize), blockEnd - dataStart, int64_t(INT32_MAX)});
    // Data the file does not hold is not allocated for.
    if (stored > stream.Size() - dataStart) throw EReadError(_("Stream read error"));
    if (stored > 0) {
      std::vector<uint8_t> data(static_cast<size_t>(stored));
      stream.ReadBuffer(data.data(), stored);
      const void* source = data.data();
      void* dest = channel.data();
      const int32_t room = int32_t(std::min<size_t>(channel.size(), INT32_MAX));
      if (compression_ == kNone) {
        std::memcpy(channel.data(), data.data(), std::min(data.size(), channel.size()));
      } else if (compression_ == kRunLength) {
        TPSPRLEDecoder().Decode(source, dest, int32_t(stored), room);
      } else {
        TLZ77Decoder inflater(Z_FINISH, false);
        inflater.DecodeInit();
        inflater.Decode(source, dest, int32_t(stored), room);
        inflater.DecodeEnd();
      }
    }
  }
  stream.Seek(blockEnd, soBeginning);
}

void TPSPGraphic::TransferRows(bool alpha) {
  const TImageProperties& p = ImageProperties;
  StartProgress(gsTransfering);
  // A channel the layer did not have shows as zeros.
  const bool rgb = p.ColorScheme == csRGB;
  for (uint16_t type : {kComposite, kRed, kGreen, kBlue})
    if (channels_[type].empty() && (rgb ? type != kComposite || alpha : type == kComposite))
      channels_[type].assign(rowSize_ * p.Height, 0);
  for (uint32_t y = 0; y < p.Height; ++y) {
    const size_t at = size_t(y) * rowSize_;
    if (rgb)
      ColorManager.ConvertRow({channels_[kRed].data() + at, channels_[kGreen].data() + at, channels_[kBlue].data() + at,
                               alpha ? channels_[kComposite].data() + at : nullptr},
                              ScanLine(int(y)), p.Width, 0xFF);
    else
      ColorManager.ConvertRow({channels_[kComposite].data() + at}, ScanLine(int(y)), p.Width, 0xFF);
    RowProgress(y, p.Height);
  }
  EndProgress();
}
