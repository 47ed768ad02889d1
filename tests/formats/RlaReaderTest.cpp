// The Wavefront RLA reader. No tool here writes RLA files; GraphicsMagick reads them
// (ImageMagick's reader refuses these files). The files are assembled in the test from
// the format's layout, with every channel, row and pixel of its own value, and packets
// of both kinds, so that a wrong channel order, row direction or offset shows.

#include <cmath>

#include "ReaderTestUtil.h"
#include "formats/GraphicFormats_RLA.h"

using namespace hostiletest;
using namespace pixeltest;

namespace {

// Run-length packets of a channel: a run (count - 1, value) for each stretch of equal
// samples, copies (-count, samples) for the rest.
Bytes Packets(const Bytes& samples) {
  Bytes out;
  size_t i = 0;
  while (i < samples.size()) {
    size_t run = 1;
    while (i + run < samples.size() && run < 128 && samples[i + run] == samples[i]) ++run;
    if (run >= 3) {
      out.push_back(uint8_t(run - 1));
      out.push_back(samples[i]);
      i += run;
      continue;
    }
    size_t n = 0;
    while (i + n < samples.size() && n < 128 &&
           !(i + n + 2 < samples.size() && samples[i + n] == samples[i + n + 1] && samples[i + n] == samples[i + n + 2]))
      ++n;
    out.push_back(uint8_t(-int(n)));
    out.insert(out.end(), samples.begin() + std::ptrdiff_t(i), samples.begin() + std::ptrdiff_t(i + n));
    i += n;
  }
  return out;
}

struct RlaFile {
  int width = 0, height = 0;
  int colours = 3, mattes = 0;
  bool bottomUp = true;  // active bottom 0 and top height - 1
  std::string space = "rgb";
  std::string gamma = "1.0";
  int bits = 8;
  // rows[file row][channel]: the samples; or packets given as they are.
  std::vector<std::vector<Bytes>> rows;
  std::vector<std::vector<Bytes>> rawPackets;  // used where not empty
};

Bytes Build(const RlaFile& f) {
  Bytes b(740, 0);
  auto put16 = [&](size_t at, int v) { b[at] = uint8_t(v >> 8), b[at + 1] = uint8_t(v); };
  put16(0, 0), put16(2, f.width - 1), put16(4, 0), put16(6, f.height - 1);
  put16(8, 0), put16(10, f.width - 1);
  put16(12, f.bottomUp ? 0 : f.height - 1), put16(14, f.bottomUp ? f.height - 1 : 0);
  put16(16, 1);
  put16(20, f.colours), put16(22, f.mattes);
  put16(26, 0xFFFE);
  std::copy(f.gamma.begin(), f.gamma.end(), b.begin() + 28);
  std::copy(f.space.begin(), f.space.end(), b.begin() + 580);
  put16(658, f.bits), put16(662, f.mattes ? 8 : 0);
  Bytes body;
  std::vector<uint32_t> offsets;
  const size_t tableEnd = 740 + 4 * size_t(f.height);
  for (size_t y = 0; y < f.rows.size(); ++y) {
    offsets.push_back(uint32_t(tableEnd + body.size()));
    for (size_t c = 0; c < f.rows[y].size(); ++c) {
      const Bytes packed = y < f.rawPackets.size() && c < f.rawPackets[y].size() ? f.rawPackets[y][c] : Packets(f.rows[y][c]);
      body.push_back(uint8_t(packed.size() >> 8));
      body.push_back(uint8_t(packed.size()));
      body.insert(body.end(), packed.begin(), packed.end());
    }
  }
  for (uint32_t o : offsets)
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(o >> s));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// A picture of w x h with channels red (row and column), green (column ramp with
// runs), blue (row) and as many mattes as asked (column ramps of their own).
RlaFile Sample(int w, int h, int mattes) {
  RlaFile f;
  f.width = w, f.height = h, f.mattes = mattes;
  for (int y = 0; y < h; ++y) {
    std::vector<Bytes> channels(size_t(3 + mattes), Bytes(size_t(w)));
    for (int x = 0; x < w; ++x) {
      channels[0][size_t(x)] = uint8_t(10 + 40 * y + x);
      channels[1][size_t(x)] = uint8_t(100 + 30 * (x / 4));
      channels[2][size_t(x)] = uint8_t(250 - 35 * y);
      for (int m = 0; m < mattes; ++m) channels[size_t(3 + m)][size_t(x)] = uint8_t(60 * x + 90 * m);
    }
    f.rows.push_back(channels);
  }
  return f;
}

std::unique_ptr<TRLAGraphic> LoadRla(const Bytes& data) {
  auto g = std::make_unique<TRLAGraphic>();
  TReadOnlyMemoryStream stream(data.data(), int64_t(data.size()));
  g->LoadFromStream(stream);
  return g;
}

// GraphicsMagick's reading (with alpha as a fourth channel where the file has a matte).
Rgba GraphicsMagick(const std::string& file) {
  const testsupport::CommandResult r = testsupport::Run({"gm", "convert", "RLA:" + file, "-depth", "8", "pam:-"});
  if (r.exitCode != 0) throw std::runtime_error("gm: " + r.err);
  return FromRaster(testsupport::ParsePnm(r.out));
}

}  // namespace

TEST(RlaReader, HandAssembledFilesAgainstGraphicsMagick) {
  KIVO2_REQUIRE_TOOL("gm");
  // A file stored for gamma 2.2, the display's, shows as stored, as without a gamma.
  for (const auto& [mattes, gamma] : std::vector<std::pair<int, std::string>>{{0, ""}, {1, ""}, {0, "2.2"}, {1, "2.2"}}) {
    SCOPED_TRACE(std::to_string(mattes) + " mattes, gamma " + gamma);
    RlaFile sample = Sample(13, 5, mattes);
    sample.gamma = gamma;
    const std::string file = testsupport::TempFile("sample.rla", Build(sample));
    const Rgba ours = LoadRgba(file);
    EXPECT_EQ(Compare(ours, GraphicsMagick(file), 0, mattes == 1), "");
    // The file's first row is the picture's bottom row.
    EXPECT_EQ(ours.at(3, 4)[0], 13);
    EXPECT_EQ(ours.at(0, 0)[2], 250 - 35 * 4);
    if (mattes) {
      EXPECT_EQ(ours.at(2, 1)[3], 120);
    }
  }
  // The other extension, a wide picture whose runs and copies reach 128 samples.
  const std::string wide = testsupport::TempFile("wide.rpf", Build(Sample(300, 3, 1)));
  EXPECT_EQ(Compare(LoadRgba(wide), GraphicsMagick(wide), 0, true), "");
}

TEST(RlaReader, RowOrderChannelSpaceMattesAndGamma) {
  // Active bottom above active top: the rows are stored from the top.
  RlaFile top = Sample(4, 3, 0);
  top.bottomUp = false;
  const auto t = LoadRla(Build(top));
  EXPECT_EQ(t->PixelColor(1, 0), RGB(11, 100, 250));
  EXPECT_FALSE(t->ImageProperties.BottomUp);
  EXPECT_EQ(t->PixelFormat(), pf24bit);
  // The space in capitals counts; of two mattes the first is the alpha.
  RlaFile two = Sample(4, 3, 2);
  two.space = "RGB";
  const auto m = LoadRla(Build(two));
  EXPECT_EQ(m->PixelFormat(), pf32bit);
  EXPECT_EQ(m->ScanLine(2)[4 * 3 + 3], 180);
  EXPECT_EQ(m->ImageProperties.SamplesPerPixel, 4);
  EXPECT_EQ(m->ImageProperties.ColorScheme, csRGBA);
  // Samples stored for gamma 1.8 are carried over to the display's 2.2: the colours (not
  // the alpha) with the exponent 1.8 / 2.2.
  RlaFile gamma = Sample(4, 3, 1);
  gamma.gamma = "1.8";
  const auto g = LoadRla(Build(gamma));
  EXPECT_FLOAT_EQ(g->ImageProperties.FileGamma, 1.8f);
  EXPECT_TRUE(g->ImageProperties.Options.Contains(ioUseGamma));
  const uint8_t* row = g->ScanLine(0);  // the file's last row
  auto corrected = [](int v) { return int(std::nearbyint(std::pow(v / 255.0, 1.8 / 2.2) * 255)); };
  EXPECT_EQ(row[0], corrected(250 - 35 * 2));
  EXPECT_EQ(row[2], corrected(10 + 40 * 2));
  EXPECT_EQ(row[3], 0);
  for (const char* text : {"1.0", "", "abc", "-3"}) {
    RlaFile plain = Sample(4, 3, 0);
    plain.gamma = text;
    const auto p = LoadRla(Build(plain));
    EXPECT_EQ(p->ImageProperties.FileGamma, 1.0f) << text;
    EXPECT_EQ(p->ScanLine(0)[2], 10 + 40 * 2) << text;
  }
}

// What the reader cannot show is refused with a message, not shown as something else.
TEST(RlaReader, SpacesChannelsAndDepthsItCannotShowAreRefused) {
  struct Case {
    const char* name;
    RlaFile file;
    const char* message;
  };
  std::vector<Case> cases;
  RlaFile xyz = Sample(4, 3, 0);
  xyz.space = "xyz";
  cases.push_back({"xyz", xyz, "Cannot load image. Invalid or unexpected RLA image format."});
  RlaFile sampler = Sample(4, 3, 0);
  sampler.space = "sampler";
  cases.push_back({"sampler", sampler, "Invalid color format in RLA file."});
  RlaFile one = Sample(4, 3, 0);
  one.colours = 1;
  cases.push_back({"one channel", one, "Invalid color format in RLA file."});
  RlaFile sixteen = Sample(4, 3, 0);
  sixteen.bits = 16;
  cases.push_back({"16 bits", sixteen, "Invalid color format in RLA file."});
  for (const Case& c : cases) {
    EXPECT_EQ(hostiletest::Load<TRLAGraphic>(Build(c.file)).error, c.message) << c.name;
  }
  // The signature test takes "rgb" and "xyz" in any case, with the revision 0xFFFE.
  TRLAGraphic g;
  const Bytes good = Build(Sample(4, 3, 0));
  TReadOnlyMemoryStream stream(good.data(), int64_t(good.size()));
  EXPECT_TRUE(g.CanLoad(stream));
  EXPECT_EQ(stream.Position(), 0);
  const Bytes xyzFile = Build(xyz);
  TReadOnlyMemoryStream xyzStream(xyzFile.data(), int64_t(xyzFile.size()));
  EXPECT_TRUE(g.CanLoad(xyzStream));
  Bytes oldRevision = good;
  oldRevision[27] = 0xFD;
  TReadOnlyMemoryStream oldStream(oldRevision.data(), int64_t(oldRevision.size()));
  EXPECT_FALSE(g.CanLoad(oldStream));
  // More than the 740 header bytes must remain.
  TReadOnlyMemoryStream headerOnly(good.data(), 740), oneMore(good.data(), 741);
  EXPECT_FALSE(g.CanLoad(headerOnly));
  EXPECT_TRUE(g.CanLoad(oneMore));
}

// Channels whose packets describe more samples than a row holds, or that are longer
// than any sound channel, stay inside their buffers; the next channel is found behind
// the whole channel all the same.
TEST(RlaReader, ChannelDataBeyondTheRowStaysInItsBuffer) {
  RlaFile f = Sample(4, 2, 0);
  Bytes overlong = {0x7F, 9, 0x80};  // a run of 128, then a copy of 128 with too few bytes
  overlong.insert(overlong.end(), 100, 7);
  Bytes padded = Packets(f.rows[0][1]);
  padded.insert(padded.end(), 5000, 0x80);  // far more than four samples need
  f.rawPackets = {{overlong, padded}};
  const auto g = LoadRla(Build(f));
  EXPECT_EQ(g->PixelColor(3, 1), RGB(9, 100 + 0, 250));
  EXPECT_EQ(g->PixelColor(0, 0), RGB(50, 100, 215));
}

INSTANTIATE_TEST_SUITE_P(Rla, RefusedBeforeAllocating, testing::Values(Refusal{"LittleData", [] {
                                                                            RlaFile huge = Sample(2, 2, 0);
                                                                            huge.width = 15000, huge.height = 15000;
                                                                            huge.rows.resize(2);
                                                                            LoadRla(Build(huge));
                                                                          }, TooLittle("RLA", 15000, 15000)},
                                                                          Refusal{"TooLarge", [] {
                                                                            RlaFile wide = Sample(2, 1, 0);
                                                                            wide.width = 32767, wide.height = 32767;
                                                                            wide.rows.clear();
                                                                            LoadRla(Build(wide));
                                                                          }, TooLarge(32767, 32767)}),
                         RowName<Refusal>);

// An active window without columns is no picture.
TEST(RlaReader, AWindowWithoutColumnsIsRefused) {
  RlaFile none = Sample(2, 2, 0);
  none.width = 0;
  EXPECT_EQ(Load<TRLAGraphic>(Build(none)).error, "Cannot load image. Invalid or unexpected RLA image format.");
}

// Cut in the header, in the row offsets, and at and inside every channel of every row.
INSTANTIATE_TEST_SUITE_P(Rla, DamagedFiles, testing::Values(DamagedFile{"Rla", &Load<TRLAGraphic>, [] {
                           const RlaFile f = Sample(20, 6, 1);
                           Damage d{.file = Build(f), .refused = {0, 26, 600, 739, 740, 741, 740 + 4 * 6 - 1}, .header = 740 + 4 * 6};
                           size_t at = 740 + 4 * 6;
                           for (const auto& row : f.rows)
                             for (const Bytes& channel : row) {
                               d.refused.insert(d.refused.end(), {at, at + 1, at + 2, at + 3});
                               at += 2 + Packets(channel).size();
                             }
                           return d;
                         }}),
                         RowName<DamagedFile>);
