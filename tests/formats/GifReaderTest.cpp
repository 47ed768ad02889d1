// The format library's GIF reader against ImageMagick: files written by ImageMagick in
// every LZW code size, plain and interlaced, files assembled by giflib's gifbuild with
// local and global colour tables, and hand-assembled LZW streams and extension blocks
// for what no tool writes. Damaged and hostile files end with a message.

#include "DecoderTestUtil.h"
#include "ReaderTestUtil.h"
#include "formats/GraphicFormats_GIF.h"

using namespace hostiletest;
using namespace pixeltest;

namespace {

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::unique_ptr<TGIFGraphic> LoadGif(const std::string& data) { return Read<TGIFGraphic>(Bytes(data.begin(), data.end())); }

// Where the first image's LZW code size lies: behind the header, the global table, the
// extensions, the image descriptor and its local table. 0 when there is no image.
size_t CodeSizeOffset(const std::string& gif) {
  auto byte = [&](size_t at) { return at < gif.size() ? uint8_t(gif[at]) : uint8_t(0x3B); };
  size_t at = 13 + ((byte(10) & 0x80) ? 3 * (size_t(2) << (byte(10) & 7)) : 0);
  while (byte(at) == 0x21) {
    at += 2;
    while (byte(at) != 0) at += 1 + byte(at);
    ++at;
  }
  if (byte(at) != 0x2C) return 0;
  const uint8_t packed = byte(at + 9);
  return at + 10 + ((packed & 0x80) ? 3 * (size_t(2) << (packed & 7)) : 0);
}

// gifbuild's text of a picture: a screen of w x h, an optional global table of
// `global` entries, and images each with its own local table (`local` entries, 0 for
// none), interlaced or not, whose index of pixel (x, y) is (x + 3y + image) mod the
// table's size.
struct GifbuildImage {
  int local = 0;
  bool interlaced = false;
};
std::string GifbuildText(int w, int h, int global, const std::vector<GifbuildImage>& images) {
  std::ostringstream t;
  int globalBits = 1;
  while ((1 << globalBits) < std::max(global, 2)) ++globalBits;
  t << "screen width " << w << "\nscreen height " << h << "\nscreen colors " << (global ? 1 << globalBits : 2)
    << "\nscreen background 0\npixel aspect byte 0\n\n";
  auto table = [&](const char* name, int entries, int salt) {
    t << name << "\n\tsort flag off\n";
    for (int i = 0; i < entries; ++i)
      t << "\trgb " << (i * 37 + salt) % 256 << " " << (255 - i * 11 % 256) << " " << (i * 5 + salt * 3) % 256
        << " is " << i << "\n";
    t << "end\n";
  };
  if (global) table("screen map", global, 0);
  for (size_t n = 0; n < images.size(); ++n) {
    const GifbuildImage& image = images[n];
    t << "\nimage # " << n + 1 << "\nimage left 0\nimage top 0\n";
    if (image.interlaced) t << "image interlaced\n";
    if (image.local) table("image map", image.local, int(n) * 50 + 7);
    const int entries = image.local ? image.local : global;
    t << "image bits " << w << " by " << h << " hex\n";
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", (x + 3 * y + int(n)) % entries);
        t << hex;
      }
      t << "\n";
    }
  }
  return t.str();
}

std::string Gifbuild(const std::string& name, const std::string& text) {
  const std::string source = testsupport::TempFile(name + ".txt", text);
  const testsupport::CommandResult r = testsupport::Run({"gifbuild", source});
  if (r.exitCode != 0) throw std::runtime_error("gifbuild: " + r.err);
  return testsupport::TempFile(name + ".gif", r.out);
}

}  // namespace

TEST(GifReader, FilesWrittenByImageMagickInEveryCodeSize) {
  KIVO2_REQUIRE_TOOL("convert");
  const std::string ppm = testsupport::TempFile("source.ppm", hostiletest::TestPpm(61, 37, 1696));
  std::set<int> codeSizes;
  for (int colours : {2, 4, 8, 16, 32, 64, 128, 256})
    for (bool interlaced : {false, true}) {
      SCOPED_TRACE(std::to_string(colours) + (interlaced ? " colours, interlaced" : " colours"));
      const std::string out = testsupport::TempPath("im" + std::to_string(colours) + (interlaced ? "i" : "") + ".gif");
      std::vector<std::string> argv = {"convert", ppm, "-colors", std::to_string(colours)};
      if (interlaced) argv.insert(argv.end(), {"-interlace", "GIF"});
      argv.push_back(out);
      ASSERT_EQ(testsupport::Run(argv).exitCode, 0);
      const std::string data = testsupport::ReadFile(out);
      const size_t at = CodeSizeOffset(data);
      ASSERT_GT(at, 0u);
      codeSizes.insert(uint8_t(data[at]));
      EXPECT_EQ(Compare(LoadRgba(out), FromRaster(testsupport::ImageMagickRaster(out))), "");
      const auto g = LoadGif(data);
      EXPECT_EQ(g->ImageProperties.Interlaced, interlaced);
      EXPECT_EQ(g->ImageProperties.Version, 89u);
      EXPECT_EQ(g->ImageProperties.Compression, ctLZW);
      EXPECT_EQ(g->PixelFormat(), pf8bit);
    }
  EXPECT_EQ(codeSizes, (std::set<int>{2, 3, 4, 5, 6, 7, 8}));
  // The older version.
  const std::string old = testsupport::TempPath("old.gif");
  ASSERT_EQ(testsupport::Run({"convert", ppm, "-colors", "20", "GIF87:" + old}).exitCode, 0);
  EXPECT_EQ(LoadGif(testsupport::ReadFile(old))->ImageProperties.Version, 87u);
  EXPECT_EQ(Compare(LoadRgba(old), FromRaster(testsupport::ImageMagickRaster(old))), "");
}

TEST(GifReader, GiflibFilesWithLocalAndGlobalTables) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("gifbuild");
  // A local table of 4 entries after a global one of 16: the palette holds the 4.
  {
    const std::string file = Gifbuild("local", GifbuildText(7, 10, 16, {{4, true}}));
    const auto g = LoadGif(testsupport::ReadFile(file));
    EXPECT_EQ(g->Palette().Count(), 4);
    EXPECT_TRUE(g->ImageProperties.LocalColorTable);
    EXPECT_TRUE(g->ImageProperties.Interlaced);
    EXPECT_EQ(g->ImageProperties.BitsPerSample, 2);
    EXPECT_EQ(Compare(FromBitmap(*g), FromRaster(testsupport::ImageMagickRaster(file))), "");
  }
  // The global table alone, 10 interlaced rows (passes of rows 0 8, 4, 2 6, 1 3 5 7 9).
  {
    const std::string file = Gifbuild("global", GifbuildText(5, 10, 16, {{0, true}}));
    const auto g = LoadGif(testsupport::ReadFile(file));
    EXPECT_EQ(g->Palette().Count(), 16);
    EXPECT_EQ(g->ImageProperties.BitsPerSample, 4);
    for (int y = 0; y < 10; ++y) EXPECT_EQ(g->ScanLine(y)[0], 3 * y % 16) << "row " << y;
    EXPECT_EQ(Compare(FromBitmap(*g), FromRaster(testsupport::ImageMagickRaster(file))), "");
  }
  // Local tables of every size without a global one: code sizes 2 to 8.
  for (int bits = 1; bits <= 8; ++bits) {
    SCOPED_TRACE(std::to_string(bits) + " bits");
    const std::string file = Gifbuild("sizes" + std::to_string(bits), GifbuildText(33, 9, 0, {{1 << bits, bits % 2 == 0}}));
    const std::string data = testsupport::ReadFile(file);
    EXPECT_EQ(uint8_t(data[CodeSizeOffset(data)]), std::max(bits, 2));
    EXPECT_EQ(Compare(LoadRgba(file), FromRaster(testsupport::ImageMagickRaster(file))), "");
  }
  // Of two images only the first is shown.
  {
    const std::string file = Gifbuild("two", GifbuildText(6, 4, 8, {{0, false}, {4, false}}));
    EXPECT_EQ(Compare(LoadRgba(file), FromRaster(testsupport::ImageMagickRaster(file + "[0]"))), "");
  }
}

// Streams no encoder writes: the table full with the clear code deferred, the last
// entry used three times in a row, more codes than the picture holds. ImageMagick reads
// each the same way; a code size beyond the table is refused.
TEST(GifReader, HandAssembledLzwStreams) {
  KIVO2_REQUIRE_TOOL("convert");
  using decodertest::GifLiteralWriter;
  {
    GifLiteralWriter gif(8);
    unsigned k = 0;
    while (gif.Free() < 4095) gif.Code(k++ % 253);
    for (int i = 0; i < 3; ++i) gif.Code(4095);
    for (int i = 0; i < 700; ++i) gif.Code(255 - i % 200);  // the table is full: no entries
    gif.Clear();
    for (int i = 0; i < 250; ++i) gif.Code(i % 7);
    const Bytes lzw = gif.End();
    const int w = 97, h = int(k + 3 * 2 + 700 + 250) / 97;
    const std::string data = decodertest::GifFile(w, h, 8, lzw);
    const std::string file = testsupport::TempFile("deferred.gif", data);
    EXPECT_EQ(Compare(LoadRgba(file), FromRaster(testsupport::ImageMagickRaster(file))), "");
  }
  {
    GifLiteralWriter gif(2);
    for (int i = 0; i < 50; ++i) gif.Code(unsigned(i % 4));
    const std::string data = decodertest::GifFile(4, 2, 2, gif.End());
    const std::string file = testsupport::TempFile("long.gif", data);
    const auto g = LoadGif(data);
    EXPECT_EQ(g->ScanLine(1)[3], 3);
    EXPECT_EQ(Compare(FromBitmap(*g), FromRaster(testsupport::ImageMagickRaster(file))), "");
  }
  for (uint8_t codeSize : {12, 200}) {
    const std::string data = decodertest::GifFile(4, 2, codeSize, {0, 0x10, 0, 0x20});
    try {
      LoadGif(data);
      ADD_FAILURE() << "loaded";
    } catch (const EGraphicCompression& e) {
      EXPECT_EQ(e.Message(), "Invalid LZW code size.");
    }
  }
}

// Extension blocks of every kind before the image, among them one of a label no
// standard defines whose data holds the bytes of an image separator and a trailer.
TEST(GifReader, ExtensionBlocksAreSkippedWhole) {
  KIVO2_REQUIRE_TOOL("convert");
  decodertest::GifLiteralWriter lzw(8);
  for (int i = 0; i < 12; ++i) lzw.Code(unsigned(i * 20));
  std::string data = decodertest::GifFile(4, 3, 8, lzw.End());
  const std::string extensions = std::string("\x21\xF9\x04\x01\x0A\x00\x05\x00", 8) +     // graphic control
                                 std::string("\x21\xFE\x03,;,\x02;;\x00", 10) +            // comment
                                 std::string("\x21\x99\x05,,;;,\x01;\x00", 11) +           // unknown label
                                 std::string("\x21\x01\x0C", 3) + std::string(12, '\0') +  // plain text
                                 std::string("\x02,;\x00", 4) +
                                 std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);  // application
  data.insert(13 + 768, extensions);
  const std::string file = testsupport::TempFile("extensions.gif", data);
  const auto g = LoadGif(data);
  EXPECT_EQ(g->Width(), 4);
  EXPECT_EQ(g->ScanLine(2)[3], 220);
  EXPECT_EQ(Compare(FromBitmap(*g), FromRaster(testsupport::ImageMagickRaster(file))), "");
}

TEST(GifReader, SignatureVersionAndSizes) {
  decodertest::GifLiteralWriter lzw(2);
  for (int i = 0; i < 6; ++i) lzw.Code(unsigned(i % 4));
  const std::string data = decodertest::GifFile(3, 2, 2, lzw.End());
  TGIFGraphic g;
  // The signature test ignores case and wants more than 22 bytes.
  std::string lower = data;
  lower.replace(0, 3, "gif");
  TReadOnlyMemoryStream lowerStream(lower.data(), int64_t(lower.size()));
  EXPECT_TRUE(g.CanLoad(lowerStream));
  EXPECT_EQ(LoadGif(lower)->ScanLine(1)[2], 1);
  const std::string head = data.substr(0, 22);
  TReadOnlyMemoryStream headStream(head.data(), int64_t(head.size()));
  EXPECT_FALSE(g.CanLoad(headStream));
  // An image descriptor with width and height 0 takes the logical screen's.
  std::string zero = data;
  zero.replace(13 + 768 + 5, 4, std::string(4, '\0'));
  const auto z = LoadGif(zero);
  EXPECT_EQ(z->Width(), 3);
  EXPECT_EQ(z->Height(), 2);
  // A file with only the trailer after its screen is an empty picture.
  const std::string empty = data.substr(0, 13 + 768) + ";";
  EXPECT_TRUE(LoadGif(empty)->Empty());
  // Versions that are not two digits, and other signatures, are no GIF file.
  for (const char* header : {"GIF8xa", "GIF-9a", "GIT89a"}) {
    std::string bad = data;
    bad.replace(0, 6, header);
    EXPECT_EQ(hostiletest::Load<TGIFGraphic>(ToBytes(bad)).error,
              "Cannot load image. Invalid or unexpected GIF image format.")
        << header;
  }
}

// Forty literal codes of 8 bits.
Bytes FortyCodes() {
  decodertest::GifLiteralWriter lzw(8);
  for (int i = 0; i < 40; ++i) lzw.Code(unsigned(i));
  return lzw.End();
}

INSTANTIATE_TEST_SUITE_P(
    Gif, RefusedBeforeAllocating,
    testing::Values(Refusal{"LittleData", [] { LoadGif(decodertest::GifFile(30000, 30000, 8, FortyCodes())); },
                            TooLittle("GIF", 30000, 30000)},
                    Refusal{"TooLarge", [] { LoadGif(decodertest::GifFile(65535, 20000, 8, FortyCodes())); },
                            TooLarge(65535, 20000)}),
    RowName<Refusal>);

// Cut in the header, the screen, the colour table, the extensions and the image
// descriptor: read errors. Cut in the image data: what the data holds, the rest index 0.
INSTANTIATE_TEST_SUITE_P(Gif, DamagedFiles, testing::Values(DamagedFile{"Interlaced", &Load<TGIFGraphic>, [] {
                           const std::string ppm = testsupport::TempPath("cut.ppm"), out = testsupport::TempPath("cut.gif");
                           testsupport::WriteFile(ppm, TestPpm(40, 30, 1696));
                           if (testsupport::Run({"convert", ppm, "-colors", "64", "-interlace", "GIF", out}).exitCode)
                             return Damage{};
                           const Bytes data = ToBytes(testsupport::ReadFile(out));
                           const size_t codeSize = CodeSizeOffset(testsupport::ReadFile(out));
                           Damage d{.file = data,
                                    .refused = {0, 3, 6, 9, 13, 14, 100, 13 + 384, codeSize - 10, codeSize - 1, codeSize},
                                    .header = codeSize + 2};
                           for (size_t at = codeSize + 1; at < data.size(); at += 97) d.tried.push_back(at);
                           return d;
                         }}),
                         RowName<DamagedFile>);
