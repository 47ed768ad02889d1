// The Photo-CD reader: the base picture of an image pack.
#include "formats/GraphicFormats_PCD.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/GraphicCompression.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/PictureBounds.h"

namespace {

constexpr int64_t kSector = 2048;
constexpr int64_t kHeaderBytes = 3 * kSector;
// Where the 768 x 512 picture of an image pack starts.
constexpr int64_t kBaseImageSector = 96;
constexpr uint32_t kBaseIndex = 2;
constexpr uint32_t kColumns = 768, kRows = 512;
constexpr size_t kRotationAt = 0x0E02;

bool IsOverview(const uint8_t* header) { return std::memcmp(header, "PCD_OPA", 7) == 0; }
bool IsImagePack(const uint8_t* header) { return std::memcmp(header + kSector, "PCD", 3) == 0; }

}  // namespace

bool TPCDGraphic::CanLoad(TStream& stream) {
  const int64_t start = stream.Position();
  bool ok = false;
  uint8_t header[kSector + 3];
  if (stream.Size() - start > kHeaderBytes && stream.Read(header, sizeof header) == int64_t(sizeof header))
    ok = IsOverview(header) || IsImagePack(header);
  stream.SetPosition(start);
  return ok;
}

bool TPCDGraphic::ReadImageProperties(TStream& stream, uint32_t imageIndex) {
  TFormatGraphic::ReadImageProperties(stream, imageIndex);
  std::vector<uint8_t> header(kHeaderBytes);
  if (stream.Read(header.data(), kHeaderBytes) != kHeaderBytes) return false;
  TImageProperties& p = ImageProperties;
  p.Overview = IsOverview(header.data());
  if (!p.Overview && !IsImagePack(header.data())) return false;
  p.Rotate = header[kRotationAt] & 3;
  const uint32_t index = p.Overview ? 0 : std::min<uint32_t>(imageIndex, 5);
  p.Width = 192u << index;
  p.Height = 128u << index;
  // Codes 1 and 3: the picture was scanned turned by a quarter.
  if (p.Rotate == 1 || p.Rotate == 3) std::swap(p.Width, p.Height);
  p.ColorScheme = csPhotoYCC;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 3;
  p.BitsPerPixel = 24;
  p.Compression = index < 3 ? ctNone : ctPCDHuffmann;
  p.ImageCount = uint16_t(header[10] << 8 | header[11]);
  return true;
}

void TPCDGraphic::LoadFromStream(TStream& stream) {
  BeginLoad(stream);
  try {
    if (!ReadImageProperties(stream, kBaseIndex)) FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatPCD)});
    TImageProperties& p = ImageProperties;
    // An overview pack holds small pictures in a layout of its own, not a base picture.
    if (p.Overview) FormatGraphicError(gsUnsupportedFeature, {GraphicText(gsPCDOverview), GraphicText(gsFormatPCD)});
    const int64_t dataStart = BasePosition() + kBaseImageSector * kSector;
    const uint64_t planeBytes = uint64_t(kColumns) * kRows;
    CheckPictureData(GraphicText(gsFormatPCD), kColumns, kRows, planeBytes * 3 / 2,
                     uint64_t(std::max<int64_t>(stream.Size() - dataStart, 0)), UncompressedData);
    ProgressRect = TRect(0, 0, int(p.Width), 1);
    StartProgress(gsPreparing);
    p.Width = kColumns;
    p.Height = kRows;
    std::vector<uint8_t> luma(planeBytes), chroma1(planeBytes), chroma2(planeBytes);
    stream.Seek(dataStart, soBeginning);

    ColorManager.SetSourceColorScheme(csPhotoYCC);
    ColorManager.SetSourceBitsPerSample(8);
    ColorManager.SetSourceSamplesPerPixel(3);
    ColorManager.SetTargetColorScheme(csBGR);
    ColorManager.SetTargetBitsPerSample(8);
    ColorManager.SetTargetSamplesPerPixel(3);
    SetPixelFormat(ColorManager.GetPixelFormat(1));
    ColorManager.SetYCbCrParameters({0.2125f, 0.7154f, 0.0721f}, 2, 2);
    EndProgress();

    // Each pair of rows: two luminance rows, then one row of each half-size colour
    // plane. The colour rows are laid kColumns apart, ready to be doubled in place.
    StartProgress(gsLoadingData);
    std::vector<uint8_t> group(3 * kColumns);
    for (uint32_t y = 0; y < kRows; y += 2) {
      Progress(this, psRunning, uint8_t(y * 100 / kRows), false, ProgressRect, std::string());
      stream.ReadBuffer(group.data(), int64_t(group.size()));
      std::memcpy(&luma[size_t(y) * kColumns], group.data(), 2 * kColumns);
      std::memcpy(&chroma1[size_t(y / 2) * kColumns], group.data() + 2 * kColumns, kColumns / 2);
      std::memcpy(&chroma2[size_t(y / 2) * kColumns], group.data() + 2 * kColumns + kColumns / 2, kColumns / 2);
    }
    EndProgress();

    StartProgress(gsUpsampling);
    Upsample(kColumns / 2, kRows / 2, kColumns, chroma1.data());
    Progress(this, psRunning, 50, false, ProgressRect, std::string());
    Upsample(kColumns / 2, kRows / 2, kColumns, chroma2.data());
    EndProgress();

    StartProgress(gsTransfering);
    const uint8_t rotate = p.Rotate;
    const bool quarter = rotate == 1 || rotate == 3;
    SetSize(int(quarter ? kRows : kColumns), int(quarter ? kColumns : kRows));
    // Code 2 is not turned: the picture shows as stored.
    std::vector<uint8_t> line(quarter ? 3 * kColumns : 0);
    for (uint32_t y = 0; y < kRows; ++y) {
      const size_t at = size_t(y) * kColumns;
      if (!quarter) {
        ColorManager.ConvertRow({&luma[at], &chroma1[at], &chroma2[at]}, ScanLine(int(y)), kColumns, 0xFF);
      } else {
        ColorManager.ConvertRow({&luma[at], &chroma1[at], &chroma2[at]}, line.data(), kColumns, 0xFF);
        for (uint32_t x = 0; x < kColumns; ++x) {
          uint8_t* target;
          if (rotate == 1)  // a quarter turn to the left: the right edge becomes the top
            target = ScanLine(int(kColumns - 1 - x)) + 3 * y;
          else  // a quarter turn to the right: the left edge becomes the top
            target = ScanLine(int(x)) + 3 * (kRows - 1 - y);
          std::memcpy(target, &line[3 * size_t(x)], 3);
        }
      }
      RowProgress(y, kRows);
    }
    EndProgress();
  } catch (...) {
    EndLoad();
    throw;
  }
  EndLoad();
}
