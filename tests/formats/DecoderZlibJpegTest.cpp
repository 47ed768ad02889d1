// The deflate decoder on strips written by ImageMagick (one stream per strip, and one
// stream fed in pieces as PNG feeds it), and the JPEG-in-TIFF decoder on strips that
// tiffcp wrote in YCbCr, RGB and grey, checked against ImageMagick's reading of the
// same files; broken strips raise instead of ending the program.
#include <zlib.h>

#include <random>

#include "DecoderTestUtil.h"
#include "DecoderTiffStrips.h"
#include "formats/GraphicFormats.h"

using namespace decodertest;

namespace {

// A picture with smooth areas and noise, as PPM (3 samples) or PGM (1 sample).
Bytes Picture(int w, int h, int samples) {
  std::mt19937 rng(77);
  Bytes p;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < samples; ++c) p.push_back(x < w / 2 ? uint8_t(x * 2 + c * 60 + y) : uint8_t(rng() % 40 + c * 70));
  return p;
}

std::string Pnm(int w, int h, int samples, const Bytes& p) {
  std::string s = std::string(samples == 3 ? "P6" : "P5") + "\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  return s.append(p.begin(), p.end());
}

// Writes the picture with ImageMagick using the given options and reads the strips back.
TiffStrips WriteTiff(int w, int h, int samples, const Bytes& p, const std::vector<std::string>& options,
                     const std::string& name) {
  const std::string in = testsupport::TempPath(name + ".pnm"), out = testsupport::TempPath(name + ".tif");
  testsupport::WriteFile(in, Pnm(w, h, samples, p));
  std::vector<std::string> argv = {"convert", in};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(out);
  EXPECT_EQ(testsupport::Run(argv).exitCode, 0);
  return ReadTiffStrips(testsupport::ReadFile(out));
}

}  // namespace

TEST(DecoderDeflate, EveryStripIsItsOwnStreamWithAutomaticReset) {
  KIVO2_REQUIRE_TOOL("convert");
  const int w = 123, h = 64;
  const Bytes pixels = Picture(w, h, 1);
  TiffStrips tiff = WriteTiff(w, h, 1, pixels, {"-compress", "Zip", "-define", "tiff:rows-per-strip=16"}, "zip");
  ASSERT_EQ(tiff.strips.size(), 4u);
  TLZ77Decoder d(Z_PARTIAL_FLUSH, true);
  d.DecodeInit();
  Bytes decoded;
  for (const std::string& strip : tiff.strips) {
    Bytes rows = RunBytes(d, ToBytes(strip), 16 * w);
    decoded.insert(decoded.end(), rows.begin(), rows.end());
  }
  d.DecodeEnd();
  if (tiff.Tag(317) == 2) UndoPredictor(decoded, w, 1);
  EXPECT_EQ(decoded, pixels);
}

TEST(DecoderDeflate, OneStreamFedInPiecesAndNothingAfterItsEnd) {
  KIVO2_REQUIRE_TOOL("convert");
  const int w = 200, h = 50;
  const Bytes pixels = Picture(w, h, 1);
  TiffStrips tiff = WriteTiff(w, h, 1, pixels, {"-compress", "Zip", "-define", "tiff:rows-per-strip=50"}, "zip1");
  ASSERT_EQ(tiff.strips.size(), 1u);
  const Bytes packed = ToBytes(tiff.strips[0]);
  // Input in pieces of 37 bytes, output row by row, as the PNG reader feeds it.
  TLZ77Decoder d(Z_PARTIAL_FLUSH, false);
  d.DecodeInit();
  Bytes decoded(pixels.size() + 1);
  const void* src = packed.data();
  void* dst = decoded.data();
  size_t fed = 0;
  uint32_t available = 0;
  for (int row = 0; row < h; ++row) {
    uint32_t missing = w;
    while (missing > 0 && d.ZLibResult() == Z_OK) {
      if (available == 0 && fed < packed.size()) {
        src = packed.data() + fed;
        available = uint32_t(std::min<size_t>(37, packed.size() - fed));
        fed += available;
      }
      d.Decode(src, dst, int32_t(available), int32_t(missing));
      available = d.AvailableInput();
      missing = d.AvailableOutput();
    }
  }
  EXPECT_EQ(d.ZLibResult(), Z_STREAM_END);
  Bytes rows(decoded.begin(), decoded.end() - 1);
  if (tiff.Tag(317) == 2) UndoPredictor(rows, w, 1);
  EXPECT_EQ(rows, pixels);
  // After the stream's end a call does nothing.
  void* after = decoded.data();
  src = packed.data();
  d.Decode(src, after, int32_t(packed.size()), 10);
  EXPECT_EQ(after, decoded.data());
  d.DecodeEnd();

  // Broken data stops the stream with an error result and decodes nothing more.
  TLZ77Decoder bad(Z_PARTIAL_FLUSH, false);
  bad.DecodeInit();
  Bytes out = RunBytes(bad, {0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF, 0x12}, 100);
  EXPECT_LT(bad.ZLibResult(), 0);
  bad.DecodeEnd();
}

namespace {

struct JpegTiff {
  TiffStrips tiff;
  testsupport::Raster reference;  // ImageMagick's reading of the same file
};

JpegTiff MakeJpegTiff(int w, int h, int samples, const std::string& compression, const std::string& name) {
  const Bytes pixels = Picture(w, h, samples);
  const std::string pnm = testsupport::TempPath(name + ".pnm"), raw = testsupport::TempPath(name + "-raw.tif"),
                    out = testsupport::TempPath(name + ".tif");
  testsupport::WriteFile(pnm, Pnm(w, h, samples, pixels));
  EXPECT_EQ(testsupport::Run({"convert", pnm, "-compress", "None", raw}).exitCode, 0);
  EXPECT_EQ(testsupport::Run({"tiffcp", "-c", compression, "-r", "16", raw, out}).exitCode, 0);
  JpegTiff r;
  r.tiff = ReadTiffStrips(testsupport::ReadFile(out));
  r.reference = testsupport::ImageMagickRaster(out);
  return r;
}

TImageProperties PropertiesOf(const TiffStrips& t, TColorScheme scheme) {
  TImageProperties p;
  p.Width = t.Tag(256);
  p.Height = t.Tag(257);
  p.SamplesPerPixel = uint8_t(t.Tag(277, 1));
  p.BitsPerSample = uint8_t(t.Tag(258, 1));
  p.ColorScheme = scheme;
  p.PlanarConfig = t.Tag(284);
  p.RowsPerStrip = {t.Tag(278)};
  p.BytesPerLine = p.Width * p.SamplesPerPixel;
  p.JPEGTables.assign(t.jpegTables.begin(), t.jpegTables.end());
  auto it = t.tags.find(530);
  if (it != t.tags.end())
    for (uint32_t v : it->second) p.YCbCrSubSampling.push_back(uint8_t(v));
  else if (scheme == csYCbCr)
    p.YCbCrSubSampling = {2, 2};
  p.StripCount = uint32_t(t.strips.size());
  return p;
}

// Decodes every strip; the rows come out B, G, R (or grey).
Bytes DecodeStrips(const TiffStrips& t, TImageProperties& p, TTIFFJPEGDecoder& d) {
  Bytes all;
  d.DecodeInit();
  for (size_t i = 0; i < t.strips.size(); ++i) {
    p.CurrentStrip = uint32_t(i);
    p.CurrentRow = uint32_t(i * p.RowsPerStrip[0]);
    const size_t rows = std::min<size_t>(p.RowsPerStrip[0], p.Height - p.CurrentRow);
    Bytes strip = RunBytes(d, ToBytes(t.strips[i]), rows * p.BytesPerLine);
    all.insert(all.end(), strip.begin(), strip.end());
  }
  d.DecodeEnd();
  return all;
}

// Largest difference between our B, G, R (or grey) rows and ImageMagick's R, G, B.
int MaxDifference(const Bytes& ours, const testsupport::Raster& ref, int samples) {
  int worst = 0;
  for (int y = 0; y < ref.height; ++y)
    for (int x = 0; x < ref.width; ++x)
      for (int c = 0; c < samples; ++c) {
        const int mine = ours[(size_t(y) * ref.width + x) * samples + (samples == 3 ? 2 - c : 0)];
        worst = std::max(worst, std::abs(mine - int(ref.at(x, y, c))));
      }
  return worst;
}

}  // namespace

TEST(DecoderTiffJpeg, YCbCrRgbAndGreyStripsMatchImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("tiffcp");
  struct Case {
    int samples;
    std::string compression;
    TColorScheme scheme;
  } cases[] = {{3, "jpeg", csYCbCr}, {3, "jpeg:r", csRGB}, {1, "jpeg", csG}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.compression + " samples " + std::to_string(c.samples));
    JpegTiff jt = MakeJpegTiff(75, 40, c.samples, c.compression, "j" + std::to_string(c.samples));
    ASSERT_EQ(jt.tiff.Tag(259), 7u);
    TImageProperties p = PropertiesOf(jt.tiff, c.scheme);
    TTIFFJPEGDecoder d(&p);
    Bytes ours = DecodeStrips(jt.tiff, p, d);
    ASSERT_EQ(ours.size(), size_t(75) * 40 * c.samples);
    EXPECT_LE(MaxDifference(ours, jt.reference, c.samples), 2);
  }
}

TEST(DecoderTiffJpeg, BrokenStripsRaiseAndTheDecoderGoesOn) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("tiffcp");
  JpegTiff jt = MakeJpegTiff(48, 32, 3, "jpeg", "broken");
  TImageProperties p = PropertiesOf(jt.tiff, csYCbCr);
  TTIFFJPEGDecoder d(&p);
  std::vector<std::string> warnings;
  d.OnWarning = [&](const std::string& m) { warnings.push_back(m); };
  d.DecodeInit();
  p.CurrentStrip = 0;
  p.CurrentRow = 0;
  // Not JPEG data at all: libjpeg's error comes back as an exception.
  EXPECT_THROW(RunBytes(d, {0x00, 0x01, 0x02, 0x03}, 16 * 48 * 3), EGraphicCompression);
  // A strip cut in half decodes with a warning.
  const Bytes strip = ToBytes(jt.tiff.strips[0]);
  EXPECT_NO_THROW(RunBytes(d, Bytes(strip.begin(), strip.begin() + long(strip.size() / 2)), 16 * 48 * 3));
  EXPECT_FALSE(warnings.empty());
  // A target that is not a whole number of rows.
  try {
    RunBytes(d, strip, 16 * 48 * 3 + 5);
    ADD_FAILURE() << "no exception";
  } catch (const EGraphicCompression& e) {
    EXPECT_EQ(e.Message(), "Fractional JPEG scanline unsupported.");
  }
  // A strip whose size differs from what the properties say.
  p.Width = 50;
  p.BytesPerLine = 150;
  EXPECT_THROW(RunBytes(d, strip, 16 * 150), EGraphicCompression);
  p.Width = 48;
  p.BytesPerLine = 144;
  // The decoder still works after those failures.
  EXPECT_NO_THROW(RunBytes(d, strip, 16 * 144));
  d.DecodeEnd();
  // Tables that are not a tables-only stream.
  p.JPEGTables = strip;
  TTIFFJPEGDecoder tables(&p);
  EXPECT_THROW(tables.DecodeInit(), EGraphicCompression);
}
