// The graphic base class of the format readers: the properties record, assignment,
// CanLoad on files, the load frame with its base position and progress events, and
// the byte-order helpers.

#include <dirent.h>

#include <cstring>

#include "TestSupport.h"
#include "formats/GraphicFormats.h"
#include "formats/GraphicStrings.h"

namespace {

int OpenDescriptors() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d) != nullptr) ++n;
    closedir(d);
  }
  return n;
}

// A small reader of a made-up format: "KV" + width + height bytes, then grey rows.
// It goes through the load frame the way the real readers do.
class TMiniGraphic : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TMiniGraphic, TFormatGraphic)

 public:
  bool CanLoad(TStream& stream) override {
    const int64_t at = stream.Position();
    char sig[2] = {};
    const bool ok = stream.Read(sig, 2) == 2 && sig[0] == 'K' && sig[1] == 'V';
    stream.SetPosition(at);
    return ok;
  }
  using TFormatGraphic::CanLoad;

  bool ReadImageProperties(TStream& stream, uint32_t index) override {
    TFormatGraphic::ReadImageProperties(stream, index);
    uint8_t header[4];
    if (stream.Read(header, 4) != 4 || header[0] != 'K' || header[1] != 'V' || header[2] == 0 || header[3] == 0)
      return false;
    ImageProperties.Width = header[2];
    ImageProperties.Height = header[3];
    ImageProperties.ColorScheme = csG;
    ImageProperties.BitsPerSample = 8;
    ImageProperties.SamplesPerPixel = 1;
    return true;
  }

  void LoadFromStream(TStream& stream) override {
    BeginLoad(stream);
    if (!ReadImageProperties(stream, 0)) {
      EndLoad();
      FormatGraphicError(gsInvalidImage, {"KV"});
    }
    stream.SetPosition(BasePosition() + 4);
    ColorManager.SetSourceColorScheme(csG);
    ColorManager.SetSourceSamplesPerPixel(1);
    ColorManager.SetTargetColorScheme(csG);
    ColorManager.SetTargetSamplesPerPixel(1);
    SetPixelFormat(ColorManager.GetPixelFormat(1));
    SetSize(int(ImageProperties.Width), int(ImageProperties.Height));
    SetPalette(ColorManager.CreateGrayscalePalette(false));
    ProgressRect = TRect(0, 0, Width(), 1);
    StartProgress(gsTransfering);
    std::vector<uint8_t> row(ImageProperties.Width);
    for (uint32_t y = 0; y < ImageProperties.Height; ++y) {
      stream.ReadBuffer(row.data(), int64_t(row.size()));
      ColorManager.ConvertRow({row.data()}, ScanLine(int(y)), ImageProperties.Width, 0xFF);
      RowProgress(y + 1, ImageProperties.Height);
    }
    EndProgress();
    EndLoad();
  }
};

struct ProgressEvent {
  TProgressStage stage;
  int percent;
  bool redraw;
  TRect rect;
  std::string message;
};

}  // namespace

TEST(FormatGraphic, PropertiesRecordResetAndAssignment) {
  TFormatGraphic graphic;
  EXPECT_EQ(graphic.ImageProperties.FileGamma, 0.0f);  // nothing read yet
  graphic.ImageProperties.Width = 99;
  graphic.ImageProperties.RowsPerStrip = {1, 2};
  TMemoryStream empty;
  EXPECT_FALSE(graphic.ReadImageProperties(empty, 0));
  EXPECT_EQ(graphic.ImageProperties.Width, 0u);
  EXPECT_TRUE(graphic.ImageProperties.RowsPerStrip.empty());
  EXPECT_EQ(graphic.ImageProperties.FileGamma, 1.0f);
  EXPECT_FALSE(graphic.CanLoad(empty));

  // Assigning one format graphic to another copies the record with its own arrays.
  TFormatGraphic source, target;
  source.ImageProperties.RowsPerStrip = {16, 16, 8};
  source.ImageProperties.YCbCrSubSampling = {2, 1};
  source.ImageProperties.Compression = ctLZW;
  source.SetPixelFormat(pf24bit);
  source.SetSize(2, 2);
  source.ScanLine(1)[3] = 77;
  target.Assign(&source);
  source.ImageProperties.RowsPerStrip[0] = 1;
  source.ImageProperties.YCbCrSubSampling.clear();
  EXPECT_EQ(target.ImageProperties.RowsPerStrip, (std::vector<uint32_t>{16, 16, 8}));
  EXPECT_EQ(target.ImageProperties.YCbCrSubSampling, (std::vector<uint8_t>{2, 1}));
  EXPECT_EQ(target.ImageProperties.Compression, ctLZW);
  ASSERT_EQ(target.Width(), 2);
  EXPECT_EQ(target.ScanLine(1)[3], 77);

  // A plain bitmap brings pixels but leaves the record alone.
  TBitmap plain;
  plain.SetPixelFormat(pf24bit);
  plain.SetSize(5, 1);
  target.Assign(&plain);
  EXPECT_EQ(target.Width(), 5);
  EXPECT_EQ(target.ImageProperties.Compression, ctLZW);

  EXPECT_STREQ(ColorSchemeName(csPhotoYCC), "PhotoYCC");
  EXPECT_STREQ(CompressionTypeName(ctPCDHuffmann), "PCDHuffmann");
  EXPECT_STREQ(ColorSchemeName(TColorScheme(200)), "Unknown");
}

TEST(FormatGraphic, CanLoadAFileClosesIt) {
  KIVO2_REQUIRE_TOOL("convert");
  const std::string png = testsupport::TempPath("other.png");
  ASSERT_EQ(testsupport::Run({"convert", "-size", "3x3", "xc:blue", png}).exitCode, 0);
  const std::string mine = testsupport::TempFile("mine.kv", std::string("KV\x01\x01\x80", 5));
  TMiniGraphic graphic;
  const int before = OpenDescriptors();
  EXPECT_FALSE(graphic.CanLoad(png));
  EXPECT_TRUE(graphic.CanLoad(mine));
  EXPECT_FALSE(TFormatGraphic().CanLoad(mine));
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_THROW(graphic.CanLoad(testsupport::TempPath("missing.kv")), EFOpenError);
}

TEST(FormatGraphic, LoadFrameBasePositionAndProgress) {
  // The picture starts 7 bytes into the stream; the reader finds it from there.
  std::string bytes = "garbage";
  bytes += std::string("KV\x03\x02", 4);
  bytes += std::string("\x00\x80\xFF\x10\x20\x30", 6);
  TStringStream stream(bytes);
  stream.SetPosition(7);
  TMiniGraphic graphic;
  std::vector<ProgressEvent> events;
  graphic.OnProgress = [&](TObject*, TProgressStage stage, uint8_t percent, bool redraw, const TRect& r,
                           const std::string& msg) { events.push_back({stage, percent, redraw, r, msg}); };
  graphic.LoadFromStream(stream);
  ASSERT_EQ(graphic.Width(), 3);
  ASSERT_EQ(graphic.Height(), 2);
  EXPECT_EQ(graphic.ScanLine(0)[1], 0x80);
  EXPECT_EQ(graphic.ScanLine(1)[2], 0x30);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].stage, psStarting);
  EXPECT_EQ(events[0].percent, 0);
  EXPECT_FALSE(events[0].redraw);
  EXPECT_EQ(events[0].message, "Transfering...");
  EXPECT_EQ(events[1].stage, psRunning);
  EXPECT_EQ(events[1].percent, 50);
  EXPECT_TRUE(events[1].redraw);
  EXPECT_EQ(events[1].rect, TRect(0, 0, 3, 1));
  EXPECT_EQ(events[2].percent, 100);
  EXPECT_EQ(events[2].rect, TRect(0, 1, 3, 2));  // moved down one row
  EXPECT_EQ(events[3].stage, psEnding);

  // A bad header: the invalid-image message and an empty picture.
  TStringStream bad(std::string("KV\x00\x00", 4));
  try {
    graphic.LoadFromStream(bad);
    ADD_FAILURE() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Cannot load image. Invalid or unexpected KV image format.");
  }
  EXPECT_TRUE(graphic.Empty());
  // Running out of data passes the stream's error through.
  TStringStream shortData(std::string("KV\x04\x04\x01\x02", 6));
  EXPECT_THROW(graphic.LoadFromStream(shortData), EReadError);
}

TEST(FormatGraphic, ErrorsAndByteOrder) {
  try {
    FormatGraphicError("plain text");
    ADD_FAILURE();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "plain text");
  }
  try {
    FormatGraphicError(gsUnsupportedFeature, {GraphicText(gsCompressionScheme), gsFormatTIFF});
    ADD_FAILURE();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Cannot load image. The compression scheme is not supported for TIF/TIFF files.");
  }
  uint8_t words[6] = {1, 2, 3, 4, 5, 6};
  ByteSwapWords(words, 2);
  EXPECT_EQ(std::vector<uint8_t>(words, words + 6), (std::vector<uint8_t>{2, 1, 4, 3, 5, 6}));
  uint8_t longs[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ByteSwapLongs(longs, 2);
  EXPECT_EQ(std::vector<uint8_t>(longs, longs + 8), (std::vector<uint8_t>{4, 3, 2, 1, 8, 7, 6, 5}));
  EXPECT_EQ(ByteSwapLong(0x11223344u), 0x44332211u);
}
