// The portable any-map reader: every kind, raw and plain, at maximum values 1, 15, 255
// and 65535, written by netpbm and ImageMagick and checked against netpbm's own reading
// (pamdepth 255); comments wherever netpbm allows them; the header on the magic's line;
// and damaged or hostile files.

#include "ReaderTestUtil.h"
#include "formats/GraphicFormats_PNM.h"
#include "formats/GraphicStrings.h"

using namespace pixeltest;
using namespace hostiletest;

namespace {

// netpbm's reading of a file, scaled to 8 bits by pamdepth.
Rgba Netpbm(const std::string& file) {
  const testsupport::CommandResult r = testsupport::Run({"pamdepth", "-quiet", "255", file});
  if (r.exitCode != 0) throw std::runtime_error("pamdepth failed on " + file + ": " + r.err);
  return FromRaster(testsupport::ParsePnm(r.out));
}

// Writes the output of a netpbm command to path.
void Netpbm(const std::vector<std::string>& argv, const std::string& path) {
  const testsupport::CommandResult r = testsupport::Run(argv);
  ASSERT_EQ(r.exitCode, 0) << argv[0] << ": " << r.err;
  testsupport::WriteFile(path, r.out);
}

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string LoadError(const std::string& bytes) { return Load<TPPMGraphic>(ToBytes(bytes)).error; }

}  // namespace

TEST(PnmReader, EveryKindAndMaximumAgainstNetpbm) {
  KIVO2_REQUIRE_TOOL("pamdepth");
  KIVO2_REQUIRE_TOOL("pnmtoplainpnm");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string colour = testsupport::TempPath("colour.ppm"), grey = testsupport::TempPath("grey.pgm"),
                    bits = testsupport::TempPath("bits.pbm");
  testsupport::WriteFile(colour, TestPpm(37, 23, 5));
  Netpbm({"ppmtopgm", colour}, grey);
  Netpbm({"pamditherbw", "-quiet", grey}, bits);
  std::vector<std::string> files;
  auto add = [&](const std::string& name, const std::vector<std::string>& argv) {
    files.push_back(testsupport::TempPath(name));
    Netpbm(argv, files.back());
    // The same picture written as text, which for bitmaps has no separators at all.
    files.push_back(testsupport::TempPath("plain-" + name));
    Netpbm({"pnmtoplainpnm", files[files.size() - 2]}, files.back());
  };
  add("bits.pbm", {"pnmtopnm", bits});
  for (const char* maximum : {"1", "15", "255", "65535"}) {
    add(std::string("grey") + maximum + ".pgm", {"pamdepth", "-quiet", maximum, grey});
    add(std::string("colour") + maximum + ".ppm", {"pamdepth", "-quiet", maximum, colour});
  }
  // 16-bit samples that are no widened bytes, from ImageMagick.
  files.push_back(testsupport::TempPath("deep.ppm"));
  ASSERT_EQ(
      testsupport::Run({"convert", "-size", "37x23", "gradient:red-blue", "-swirl", "90", "-depth", "16", files.back()})
          .exitCode,
      0);
  const std::string plain = testsupport::ReadFile(files[1]);
  ASSERT_EQ(plain.substr(0, 9), "P1\n37 23\n");
  EXPECT_EQ(plain.substr(9, 37).find_first_not_of("01"), std::string::npos) << "rows without separators";
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    EXPECT_EQ(Compare(LoadRgba(file), Netpbm(file)), "");
  }
}

TEST(PnmReader, CommentsAnywhereAndTheHeaderOnTheMagicLine) {
  KIVO2_REQUIRE_TOOL("pamdepth");
  const std::string source = TestPpm(37, 23, 8);
  const std::string raster = source.substr(source.size() - 37 * 23 * 3);
  const std::string plain = testsupport::Run({"pnmtoplainpnm"}, source).out;
  ASSERT_EQ(plain.substr(0, 13), "P3\n37 23\n255\n");
  const std::string plainSamples = plain.substr(13);
  const std::string variants[] = {
      "P6# right behind the magic\n#alone on a line\n 37# after the width\n\n# between\n23 #\n255\n" + raster,
      "P6 37 23 255\n" + raster,
      "P6\r\n37\t23\r\n255\n" + raster,
      // Text samples with comments between them.
      "P3\n37 23\n# maximum next\n255\n" + plainSamples.substr(0, 40) + "# a comment inside the samples\n" +
          plainSamples.substr(40),
  };
  int n = 0;
  for (const std::string& bytes : variants) {
    SCOPED_TRACE(n);
    const std::string file = testsupport::TempFile("variant" + std::to_string(n++) + ".ppm", bytes);
    EXPECT_EQ(Compare(LoadRgba(file), Netpbm(file)), "");
  }
}

TEST(PnmReader, SmallPicturesAndWhatTheHeaderRecords) {
  // A text bitmap row 0 1 0: a set bit is black.
  TPPMGraphic bitmap;
  TStringStream p1("P1\n3 1\n0 1 0\n");
  bitmap.LoadFromStream(p1);
  EXPECT_EQ(bitmap.PixelFormat(), pf1bit);
  EXPECT_EQ(bitmap.ScanLine(0)[0] & 0xE0, 0x40);
  EXPECT_EQ(bitmap.PixelColor(0, 0), clWhite);
  EXPECT_EQ(bitmap.PixelColor(1, 0), clBlack);
  // A raw pixel map of a red and a blue pixel.
  TPPMGraphic pixels;
  TStringStream p6(std::string("P6\n2 1\n255\n\xFF\0\0\0\0\xFF", 17));
  pixels.LoadFromStream(p6);
  EXPECT_EQ(pixels.PixelColor(0, 0), clRed);
  EXPECT_EQ(pixels.PixelColor(1, 0), clBlue);
  // A 16-bit grey map: samples scaled, not cut to their first byte.
  TPPMGraphic grey;
  TStringStream p5(std::string("P5 2 1 65535\n\x80\x00\x00\xFF", 17));
  ASSERT_TRUE(grey.ReadImageProperties(p5, 0));
  EXPECT_EQ(grey.ImageProperties.BitsPerSample, 16);
  p5.SetPosition(0);
  grey.LoadFromStream(p5);
  EXPECT_EQ(grey.PixelColor(0, 0), RGB(128, 128, 128));
  EXPECT_EQ(grey.PixelColor(1, 0), RGB(1, 1, 1));
  // A maximum of 15 scales 15 to white.
  TStringStream p2("P2 2 1 15\n15 7\n");
  grey.LoadFromStream(p2);
  EXPECT_EQ(grey.PixelColor(0, 0), clWhite);
  EXPECT_EQ(grey.PixelColor(1, 0), RGB(119, 119, 119));

  // More than 10 bytes must remain.
  TStringStream ok("P4\n8 8\nxxxxxxxx"), other("P7\n8 8\nxxxxxxxx"), tooShort("P6\n1 1 25\n");
  EXPECT_TRUE(TPPMGraphic().CanLoad(ok));
  EXPECT_FALSE(TPPMGraphic().CanLoad(other));
  EXPECT_FALSE(TPPMGraphic().CanLoad(tooShort));
  EXPECT_EQ(ok.Position(), 0);
}

TEST(PnmReader, BadHeadersAndShortDataAreRefused) {
  const std::string invalid = "Cannot load image. Invalid or unexpected PBM, PGM or PPM image format.";
  EXPECT_EQ(LoadError("GIF89a"), invalid);
  EXPECT_EQ(LoadError("P7\n1 1\n255\n"), invalid);
  EXPECT_EQ(LoadError("P5\n0 4\n255\n"), invalid);
  EXPECT_EQ(LoadError("P5\n4 4\n0\n"), invalid);
  EXPECT_EQ(LoadError("P5\n4 4\n65536\n"), invalid);
  EXPECT_EQ(LoadError("P5\n99999999999 4\n255\n"),
            "Cannot load image. The picture is too large: 4294967295 x 4 pixels.");
  // "P" and no digit: the digit's conversion fails.
  try {
    TStringStream s("PX\n1 1\n");
    TPPMGraphic().LoadFromStream(s);
    ADD_FAILURE() << "loaded";
  } catch (const EConvertError&) {
  }
  EXPECT_EQ(LoadError("P6\n4"), "Stream read error in PPM file.");
  // A file cut in its samples loads what it holds: the last number may end at the end.
  const auto plain = Read<TPPMGraphic>(ToBytes("P3\n2 2\n255\n1 2 3 4 5 6 7 8 9 10 11"));
  EXPECT_EQ(plain->PixelColor(0, 1), RGB(7, 8, 9));
  EXPECT_EQ(plain->PixelColor(1, 1), RGB(10, 11, 0));
  // A header that promises more than 16 times the data left is refused; at 16 times it loads.
  auto little = [](int w, int h) { return TooLittle("PPM", w, h); };
  EXPECT_EQ(LoadError("P5\n16 16\n255\n" + std::string(15, 'x')), little(16, 16));
  EXPECT_EQ(LoadError("P5\n16 16\n255\n" + std::string(16, 'x')), "");
  EXPECT_EQ(LoadError("P6\n4 4\n255\n" + std::string(2, 'x')), little(4, 4));
  EXPECT_EQ(LoadError("P5\n4 4\n65535\n" + std::string(1, 'x')), little(4, 4));
  EXPECT_EQ(LoadError("P4\n64 4\n\xF0"), little(64, 4));
  EXPECT_EQ(LoadError("P2\n40 40\n255\n1 2 3"), little(40, 40));
}

// A header that asks for a huge picture is refused before the bitmap is made.
INSTANTIATE_TEST_SUITE_P(Pnm, RefusedBeforeAllocating,
                         testing::Values(Refusal{"Huge", [] {
                           Read<TPPMGraphic>(ToBytes("P6\n16000 16000\n255\n" + std::string(3000, 'x')));
                         }, TooLittle("PPM", 16000, 16000)}),
                         RowName<Refusal>);

// A raw and a plain file cut inside and after each header field, and inside the first rows.
Damage PnmDamage(bool plain) {
  std::string file = TestPpm(19, 11, 3);
  if (plain) file = testsupport::Run({"pnmtoplainpnm"}, file).out;
  if (file.empty()) return {};
  const size_t header = file.find("255\n") + 4;
  return {.file = ToBytes(file),
          .refused = {0, 1, 2, 3, 5, 8, header - 1, header, header + 10},
          .tried = {header + 57},
          .header = header};
}
INSTANTIATE_TEST_SUITE_P(
    Pnm, DamagedFiles,
    testing::Values(DamagedFile{"Raw", &Load<TPPMGraphic>, [] { return PnmDamage(false); }},
                    DamagedFile{"Plain", &Load<TPPMGraphic>, [] { return PnmDamage(true); }}),
    RowName<DamagedFile>);

// Raw files cut in their rows, against netpbm's reading of the whole file.
CutLayout PnmCut(bool grey) {
  std::string file = TestPpm(19, 11, 3);
  if (grey) file = testsupport::Run({"ppmtopgm"}, file).out;
  if (file.empty()) return {};
  const std::string path = testsupport::TempFile(grey ? "cut.pgm" : "cut.ppm", file);
  return {.file = ToBytes(file), .whole = Netpbm(path), .dataStart = file.find("255\n") + 4, .rowBytes = grey ? 19u : 57u};
}
INSTANTIATE_TEST_SUITE_P(Pnm, CutFiles,
                         testing::Values(CutFile{"Raw", &ReadRgba<TPPMGraphic>, [] { return PnmCut(false); }},
                                         CutFile{"RawGrey", &ReadRgba<TPPMGraphic>, [] { return PnmCut(true); }}),
                         RowName<CutFile>);
