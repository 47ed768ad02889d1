// The TIFF reader on hand-made files: header test and properties record in both byte
// orders, Modified Huffman strips (no tool writes them), repaired strip and colour-map
// tags, refusals, and damaged files that must load or raise a clear error. Pixels are
// checked against tiff2rgba or against the values the test wrote.

#include "ReaderTestUtil.h"
#include "TiffTestSupport.h"
#include "platform/i18n/GnuGetText.h"

namespace {

using testsupport::TempFile;
using testsupport::TempPath;
using tifftest::TiffWriter;

enum : uint16_t { kWidth = 256, kLength, kBits, kCompression, kPhotometric = 262, kSamples = 277, kRowsPerStrip };

// An uncompressed 8-bit grey picture with the given strips.
TiffWriter Grey(uint32_t width, uint32_t height, uint32_t rowsPerStrip, const std::vector<std::string>& strips,
                bool bigEndian = false) {
  TiffWriter w(bigEndian);
  w.Tag(kWidth, 4, {width});
  w.Tag(kLength, 4, {height});
  w.Tag(kBits, 3, {8});
  w.Tag(kCompression, 3, {1});
  w.Tag(kPhotometric, 3, {1});
  w.Tag(kRowsPerStrip, 4, {rowsPerStrip});
  for (const std::string& s : strips) w.Strip(s);
  return w;
}

std::string GreyLevels(const TBitmap& bitmap) {
  std::string s;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) s += char(bitmap.PixelColor(x, y) & 0xFF);
  return s;
}

TEST(TiffReader, HeaderAndPropertiesInBothByteOrders) {
  for (bool be : {false, true}) {
    TiffWriter w = Grey(300, 200, 0xFFFFFFFF, {std::string(16, '\0')}, be);
    w.Tag(kBits, 3, {8, 8, 8});
    w.Tag(kSamples, 3, {3});
    w.Tag(kPhotometric, 3, {6});
    w.Tag(kCompression, 3, {32773});
    w.Tag(530, 3, {2, 1});    // YCbCr subsampling: two SHORTs in the value word
    w.Tag(282, 5, {300, 1});  // 300 per centimetre
    w.Tag(283, 5, {150, 0});  // a zero denominator
    w.Tag(296, 3, {3});
    w.Tag(266, 3, {2});  // fill order
    TStringStream s(std::string(5, 'z') + w.Build());
    s.SetPosition(5);
    TTIFFGraphic graphic;
    EXPECT_TRUE(graphic.CanLoad(s));
    ASSERT_TRUE(graphic.ReadImageProperties(s, 0));
    EXPECT_EQ(s.Position(), 5);
    const TImageProperties& p = graphic.ImageProperties;
    EXPECT_EQ(p.Options.Contains(ioBigEndian), be);
    EXPECT_TRUE(p.Options.Contains(ioReversed));
    EXPECT_EQ(p.Width, 300u);
    EXPECT_EQ(p.Height, 200u);
    EXPECT_EQ(p.BitsPerPixel, 24);
    EXPECT_EQ(p.Compression, ctPackedBits);
    EXPECT_EQ(p.ColorScheme, csYCbCr);
    EXPECT_EQ(p.YCbCrSubSampling, (std::vector<uint8_t>{2, 1}));
    EXPECT_FLOAT_EQ(p.XResolution, 762.0f);
    EXPECT_EQ(p.YResolution, 0.0f);
    EXPECT_EQ(p.RowsPerStrip, std::vector<uint32_t>{200});
    EXPECT_FALSE(graphic.ReadImageProperties(s, 1));
  }
  TTIFFGraphic graphic;
  const std::string file = Grey(4, 2, 2, {std::string(8, 'x')}).Build();
  for (const std::string& bad : {file.substr(0, 8), "II+" + file.substr(3), "IM" + file.substr(2)}) {
    TStringStream s(bad);
    EXPECT_FALSE(graphic.CanLoad(s));
  }
}

// Modified Huffman rows of random runs 0..7 and 64..71 long, from a few T.4 codes.
struct MHPicture {
  std::vector<std::string> rows;  // '1' black
  std::string data;
};

MHPicture MakeMH(uint32_t width, uint32_t height, bool wordAligned, unsigned seed) {
  static const char* const white[8] = {"00110101", "000111", "0111", "1000", "1011", "1100", "1110", "1111"};
  static const char* const black[8] = {"0000110111", "010", "11", "10", "011", "0011", "0010", "00011"};
  std::mt19937 random(seed);
  MHPicture picture;
  std::string bits;
  for (uint32_t y = 0; y < height; ++y) {
    std::string row;
    for (bool isWhite = true; row.size() < width; isWhite = !isWhite) {
      const uint32_t left = width - uint32_t(row.size());
      uint32_t run = random() % 8 + (left > 71 && random() % 3 == 0 ? 64 : 0);
      run = std::min(random() % 9 == 0 && left <= 7 ? left : run, left);
      // (Through a pointer: g++ 12 with -fsanitize=undefined indexes "(c ? a : b)[i]" wrongly.)
      const char* const* codes = isWhite ? white : black;
      bits += std::string(run >= 64 ? (isWhite ? "11011" : "0000001111") : "") + codes[run % 64];
      row += std::string(run, isWhite ? '0' : '1');
    }
    picture.rows.push_back(row);
    bits.resize((bits.size() + (wordAligned ? 15 : 7)) / (wordAligned ? 16 : 8) * (wordAligned ? 16 : 8), '0');
  }
  for (size_t i = 0; i < bits.size(); i += 8) picture.data += char(std::stoi(bits.substr(i, 8), nullptr, 2));
  return picture;
}

TEST(TiffReader, ModifiedHuffmanWithAndWithoutWordAlignment) {
  KIVO2_REQUIRE_TOOL("tiff2rgba");
  for (uint32_t compression : {2u, 32771u}) {
    const MHPicture picture = MakeMH(150, 40, compression == 32771, compression);
    TiffWriter w = Grey(150, 40, 40, {picture.data});
    w.Tag(kBits, 3, {1});
    w.Tag(kCompression, 3, {compression});
    w.Tag(kPhotometric, 3, {0});
    const std::string path = TempFile("mh.tif", w.Build());
    auto graphic = tifftest::Load(path);
    ASSERT_TRUE(graphic);
    // libtiff aligns word-aligned rows by what its bit reader loaded ahead rather than
    // by their offset in the strip; it is the oracle for plain Modified Huffman only.
    if (compression == 2) {
      EXPECT_TRUE(tifftest::SamePixels(*graphic, tifftest::LibTiffRaster(path)));
    }
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 150; ++x)
        ASSERT_EQ(graphic->PixelColor(x, y), picture.rows[y][x] == '1' ? clBlack : clWhite) << x << "," << y;
  }
}

// Renames a tag in the first directory, so that the reader no longer sees it.
std::string RenameTag(std::string file, uint16_t from, uint16_t to) {
  const bool be = file[0] == 'M';
  auto u16 = [&](size_t at) { return uint16_t(uint8_t(file[at + !be]) << 8 | uint8_t(file[at + be])); };
  const size_t ifd = size_t(be ? u16(4) << 16 | u16(6) : u16(6) << 16 | u16(4));
  for (size_t at = ifd + 2; at < ifd + 2 + 12 * size_t(u16(ifd)); at += 12)
    if (u16(at) == from) file[at + !be] = char(to >> 8), file[at + be] = char(to);
  return file;
}

TEST(TiffReader, MissingByteCountsLongRowsPerStripShortStripsAndColorMaps) {
  KIVO2_REQUIRE_TOOL("tiffcp");
  KIVO2_REQUIRE_TOOL("tiff2rgba");
  std::string rows;
  for (int i = 0; i < 33 * 20; ++i) rows += char(i * 7 + i / 13);
  const std::string base = TempFile("base.tif", Grey(33, 20, 20, {rows}).Build());
  // Without StripByteCounts a strip runs up to the next one, or to the end of the file.
  for (const char* compression : {"none", "lzw", "packbits", "zip:2"}) {
    const std::string counted = TempPath(std::string("counted-") + compression + ".tif");
    ASSERT_TRUE(tifftest::Tool({"tiffcp", "-c", compression, "-r", "6", base, counted}));
    auto graphic = tifftest::Load(TempFile("uncounted.tif", RenameTag(testsupport::ReadFile(counted), 279, 65000)));
    ASSERT_TRUE(graphic);
    EXPECT_TRUE(tifftest::SamePixels(*graphic, tifftest::LibTiffRaster(counted))) << compression;
  }
  // RowsPerStrip far above the height; a short last strip of fewer rows. Uncompressed
  // strips that lack bytes, or lie past the end of the file, load what the file holds.
  auto huge = tifftest::Load(TempFile("huge.tif", Grey(33, 20, 65535, {rows}).Build()));
  ASSERT_TRUE(huge);
  EXPECT_EQ(GreyLevels(*huge), rows);
  TiffWriter w = Grey(33, 20, 8, {rows.substr(0, 264), rows.substr(264, 264), rows.substr(528)});
  auto lastStrip = tifftest::Load(TempFile("last.tif", w.Build()));
  ASSERT_TRUE(lastStrip);
  EXPECT_EQ(GreyLevels(*lastStrip), rows);
  const std::string tooLittle = "The TIF/TIFF file holds too little data for a picture of 33 x 20 pixels";
  std::string error;
  w.Tag(279, 4, {264, 264, 131});  // one byte short
  auto shortStrip = tifftest::Load(TempFile("short.tif", w.Build()));
  ASSERT_TRUE(shortStrip);
  EXPECT_EQ(GreyLevels(*shortStrip), rows.substr(0, 659) + '\0');
  w.Tag(273, 4, {8, 272, 1u << 30});
  w.Tag(279, 4, {264, 264, 132});
  auto outside = tifftest::Load(TempFile("outside.tif", w.Build()));
  ASSERT_TRUE(outside);
  EXPECT_EQ(GreyLevels(*outside), rows.substr(0, 528) + std::string(132, '\0'));
  // Only a header that promises more than 16 times its data is refused: 660 pixels
  // load from 42 bytes, not from 41.
  EXPECT_FALSE(tifftest::Load(TempFile("tiny.tif", Grey(33, 20, 20, {rows.substr(0, 41)}).Build()), &error));
  EXPECT_NE(error.find(tooLittle), std::string::npos) << error;
  EXPECT_TRUE(tifftest::Load(TempFile("least.tif", Grey(33, 20, 20, {rows.substr(0, 42)}).Build())));
  // A colour map claiming 65536 entries per plane for an 8-bit picture: the first 256
  // of each plane are used; a short one leaves the other indices black; none is refused.
  std::vector<uint32_t> map(3 * 65536, 0xFFFF);
  std::string indices;
  for (uint32_t i = 0; i < 256; ++i) map[i] = i * 257, map[65536 + i] = 0, map[131072 + i] = 0x8080, indices += char(i);
  TiffWriter palette = Grey(16, 16, 16, {indices}, true);
  palette.Tag(kPhotometric, 3, {3});
  palette.Tag(320, 3, map);
  auto big = tifftest::Load(TempFile("bigmap.tif", palette.Build()));
  ASSERT_TRUE(big);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(big->PixelColor(i % 16, i / 16), TColor(i | 128 << 16)) << i;
  palette.Tag(320, 3, {65535, 0, 0, 65535, 0, 0});
  auto small = tifftest::Load(TempFile("smallmap.tif", palette.Build()));
  ASSERT_TRUE(small);
  EXPECT_EQ(small->PixelColor(0, 0), clRed);
  EXPECT_EQ(small->PixelColor(1, 0), clLime);
  EXPECT_EQ(small->PixelColor(2, 0), clBlack);
  palette.Remove(320);
  EXPECT_FALSE(tifftest::Load(TempFile("nomap.tif", palette.Build()), &error));
  EXPECT_NE(error.find("Palette in TIF/TIFF file is invalid"), std::string::npos) << error;
}

TEST(TiffReader, PaletteWithAnAlphaSampleShowsItsColours) {
  // Index and alpha per pixel; the colour map holds red, green and blue.
  std::vector<uint32_t> map(3 * 256, 0);
  map[0] = 65535, map[256 + 1] = 65535, map[512 + 2] = 65535;
  for (bool planar : {false, true}) {
    TiffWriter w = Grey(4, 1, 1, {planar ? std::string("\0\1\2\1", 4) : std::string("\0\xFF\1\0\2\x80\1\xFF", 8)});
    if (planar) w.Strip(std::string("\xFF\0\x80\xFF", 4));
    w.Tag(kPhotometric, 3, {3});
    w.Tag(kSamples, 3, {2});
    w.Tag(kBits, 3, {8, 8});
    w.Tag(338, 3, {2});  // unassociated alpha
    w.Tag(320, 3, map);
    if (planar) w.Tag(284, 3, {2});
    auto graphic = tifftest::Load(TempFile("palette-alpha.tif", w.Build()));
    ASSERT_TRUE(graphic);
    EXPECT_EQ(graphic->PixelColor(0, 0), clRed) << planar;
    EXPECT_EQ(graphic->PixelColor(1, 0), clLime) << planar;
    EXPECT_EQ(graphic->PixelColor(2, 0), clBlue) << planar;
    EXPECT_EQ(graphic->PixelColor(3, 0), clLime) << planar;
  }
}

// A file of one small strip whose header asks for a large picture: the data is refused
// before the bitmap or a strip buffer is allocated, whatever the compression, also
// when the strip lies past the end of the file.
TEST(TiffReader, HeaderOnlyFilesAreRefusedBeforeAnythingLargeIsAllocated) {
  struct Case {
    uint32_t compression, bits, samples, photometric, width, height;
  };
  const std::vector<Case> cases = {
      {1, 8, 3, 2, 16000, 16000},     {1, 16, 4, 2, 10000, 10000},   {5, 8, 1, 1, 30000, 30000},
      {32773, 8, 3, 2, 12000, 12000}, {8, 8, 1, 1, 30000, 30000},    {32946, 8, 1, 1, 30000, 30000},
      {2, 1, 1, 0, 32000, 32000},     {32771, 1, 1, 0, 32000, 32000}, {3, 1, 1, 0, 32000, 32000},
      {7, 8, 1, 1, 20000, 20000},     {32809, 4, 1, 1, 30000, 30000}};
  std::string data;
  for (int i = 0; i < 100; ++i) data += char(i * 37);
  for (const Case& c : cases) {
    for (bool pastTheEnd : {false, true}) {
      TiffWriter w = Grey(c.width, c.height, c.height, {data});
      w.Tag(kCompression, 3, {c.compression});
      w.Tag(kBits, 3, std::vector<uint32_t>(c.samples, c.bits));
      w.Tag(kSamples, 3, {c.samples});
      w.Tag(kPhotometric, 3, {c.photometric});
      if (pastTheEnd) w.Tag(273, 4, {100000});
      const std::string file = w.Build();
      const std::string expected = "Cannot load image. The TIF/TIFF file holds too little data for a picture of " +
                                   std::to_string(c.width) + " x " + std::to_string(c.height) + " pixels.";
      EXPECT_EQ(tifftest::LoadWithinMemory(file, 64 << 20), expected)
          << "compression " << c.compression << ", " << file.size() << " bytes";
    }
  }
  const std::string locale = testsupport::ProgramDir() + "/locale";
  if (access((locale + "/nl/LC_MESSAGES/default.mo").c_str(), R_OK) == 0) {
    InitTranslation(locale);
    UseLanguage("nl");
    std::string error;
    tifftest::Load(TempFile("dutch.tif", Grey(5000, 4000, 4000, {data}).Build()), &error);
    UseLanguage("en");
    EXPECT_EQ(error,
              "Kan afbeelding niet laden. Het TIF/TIFF-bestand bevat te weinig gegevens voor een afbeelding van 5000 x "
              "4000 pixels.");
  }
}

// Pictures that hold nearly nothing but one colour, stored with the strongest
// compression the tools manage in large strips, come close to each scheme's largest
// expansion and must still load.
TEST(TiffReader, FlatPicturesAtTheLargestExpansionStillLoad) {
  KIVO2_REQUIRE_TOOL("tiffcp");
  KIVO2_REQUIRE_TOOL("tiff2rgba");
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("pnmtotiff");
  const std::string flat = TempPath("flat.tif"), white = TempPath("white.tif");
  ASSERT_TRUE(tifftest::Tool({"convert", "-size", "4000x1200", "xc:black", "-fill", "gray50", "-draw",
                              "rectangle 3990,1190 3999,1199", "-depth", "8", "-type", "Grayscale", "-compress",
                              "none", flat}));
  const std::string page = TempPath("white.pbm");
  ASSERT_TRUE(tifftest::Tool({"convert", "-size", "1728x2000", "xc:white", "-fill", "black", "-draw", "point 5,5", page}));
  const testsupport::CommandResult bilevel = testsupport::Run({"pnmtotiff", "-miniswhite", page});
  ASSERT_EQ(bilevel.exitCode, 0) << bilevel.err;
  testsupport::WriteFile(white, bilevel.out);
  for (const std::vector<std::string>& options :
       std::vector<std::vector<std::string>>{{"-c", "zip:p9", "-r", "1200"},
                                             {"-c", "lzw", "-r", "1200"},
                                             {"-c", "packbits", "-r", "1200"},
                                             {"-c", "jpeg", "-r", "1200"},
                                             {"-c", "g3:1d", "-r", "2000"},
                                             {"-c", "g3:1d:fill", "-r", "2000"}}) {
    const std::string out = TempPath("expanded.tif");
    std::vector<std::string> argv = {"tiffcp"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), {options[1].substr(0, 2) == "g3" ? white : flat, out});
    ASSERT_TRUE(tifftest::Tool(argv));
    auto graphic = tifftest::Load(out);
    ASSERT_TRUE(graphic) << options[1];
    EXPECT_TRUE(tifftest::SamePixels(*graphic, tifftest::LibTiffRaster(out), options[1] == "jpeg" ? 2 : 0))
        << options[1];
  }
}

TEST(TiffReader, WhatIsNotDecodedIsRefusedByName) {
  const std::vector<std::pair<const char*, std::vector<std::pair<uint16_t, std::vector<uint32_t>>>>> cases = {
      {"Tiled storage", {{322, {16}}, {323, {16}}}},
      {"compression scheme", {{kCompression, {6}}}},  // old-style JPEG
      {"compression scheme", {{kCompression, {4}}}},  // Group 4 fax
      {"bit depth", {{kBits, {12}}}},
      {"bit depth", {{kBits, {1}}, {kCompression, {3}}, {kSamples, {3}}}},
      {"sample format", {{339, {3}}}},
      {"color format", {{kPhotometric, {4}}}},
      {"predictor", {{317, {2}}, {kBits, {4}}, {kCompression, {5}}}},
      {"Two-dimensional fax coding", {{kBits, {1}}, {kCompression, {3}}, {292, {1}}}},
      {"YCbCr subsampling", {{kPhotometric, {6}}, {kSamples, {3}}, {530, {1, 2}}}},
  };
  for (const auto& [what, tags] : cases) {
    TiffWriter w = Grey(16, 16, 16, {std::string(256, '@')});
    for (const auto& [tag, values] : tags) w.Tag(tag, 3, values);
    std::string error;
    EXPECT_FALSE(tifftest::Load(TempFile("refused.tif", w.Build()), &error));
    EXPECT_NE(error.find(std::string(what) + " is not supported for TIF/TIFF files"), std::string::npos) << error;
  }
  // The refusal in Dutch, and saving, which writes nothing.
  const std::string locale = testsupport::ProgramDir() + "/locale";
  if (access((locale + "/nl/LC_MESSAGES/default.mo").c_str(), R_OK) == 0) {
    InitTranslation(locale);
    UseLanguage("nl");
    std::string error;
    TiffWriter w = Grey(16, 16, 16, {std::string(256, '@')});
    w.Tag(kBits, 3, {12});
    tifftest::Load(TempFile("dutch.tif", w.Build()), &error);
    UseLanguage("en");
    EXPECT_EQ(error, "Kan afbeelding niet laden. Deze bitdiepte is niet ondersteund voor TIF/TIFF-bestanden.");
  }
  TTIFFGraphic graphic;
  TMemoryStream out;
  EXPECT_THROW(graphic.SaveToStream(out), EInvalidGraphic);
  EXPECT_EQ(out.Size(), 0);
}

// An uncompressed RGB file with its directory first, cut in its strip, against libtiff's
// reading of the whole file.
using hostiletest::CutFiles;
INSTANTIATE_TEST_SUITE_P(Tiff, CutFiles,
                         testing::Values(hostiletest::CutFile{"Uncompressed", &hostiletest::ReadRgba<TTIFFGraphic>, [] {
                           const std::string ppm = hostiletest::TestPpm(21, 13, 5);
                           const std::string pixels = ppm.substr(ppm.size() - 21 * 13 * 3);
                           TiffWriter w;
                           w.Tag(kWidth, 4, {21});
                           w.Tag(kLength, 4, {13});
                           w.Tag(kBits, 3, {8, 8, 8});
                           w.Tag(kCompression, 3, {1});
                           w.Tag(kPhotometric, 3, {2});
                           w.Tag(kSamples, 3, {3});
                           w.Tag(kRowsPerStrip, 4, {13});
                           w.Strip(pixels);
                           w.DirectoryFirst();
                           const std::string file = w.Build();
                           return hostiletest::CutLayout{
                               .file = hostiletest::Bytes(file.begin(), file.end()),
                               .whole = pixeltest::FromRaster(tifftest::LibTiffRaster(TempFile("cut.tif", file))),
                               .dataStart = file.find(pixels),
                               .rowBytes = 21 * 3};
                         }}),
                         hostiletest::RowName<hostiletest::CutFile>);

TEST(TiffReader, DamagedFilesLoadOrRaiseAClearError) {
  KIVO2_REQUIRE_TOOL("tiffcp");
  KIVO2_REQUIRE_TOOL("convert");
  const std::string base = TempPath("base.tif"), bilevel = TempPath("bilevel.tif");
  ASSERT_TRUE(tifftest::Tool({"convert", "-size", "40x32", "-seed", "9", "plasma:fractal", "-depth", "8", base}));
  ASSERT_TRUE(tifftest::Tool({"convert", base, "-threshold", "50%", "-depth", "1", bilevel}));
  std::vector<std::string> files;
  for (const char* c : {"lzw:2", "zip", "packbits", "jpeg", "g3"}) {
    const std::string out = TempPath(std::string("c-") + c + ".tif");
    ASSERT_TRUE(tifftest::Tool({"tiffcp", "-c", c, "-r", "16", c[0] == 'g' ? bilevel : base, out}));
    files.push_back(testsupport::ReadFile(out));
  }
  std::mt19937 random(20261207);
  int warnings = 0;  // libjpeg's warning boxes on damaged JPEG strips, each answered
  std::function<int(ModalRequest&)> answer = [&](ModalRequest&) {
    return ModalResponder::Expect(ModalKind::MessageDlg, answer), ++warnings, int(mrOk);
  };
  ModalResponder::Expect(ModalKind::MessageDlg, answer);
  int loaded = 0, refused = 0;
  auto attempt = [&](const std::string& bytes) {
    TTIFFGraphic graphic;
    TStringStream s(bytes);
    try {
      graphic.LoadFromStream(s);
      ++loaded;
    } catch (const Exception&) {
      ++refused;
    }
  };
  for (const std::string& file : files) {
    for (size_t n = 0; n < file.size(); n += 1 + file.size() / 97) attempt(file.substr(0, n));
    for (int i = 0; i < 150; ++i) {
      std::string damaged = file;
      for (int k = 0; k < 1 + int(random() % 4); ++k) damaged[random() % damaged.size()] = char(random());
      attempt(damaged);
    }
  }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
  EXPECT_GT(warnings, 0);
  // Sizes and counts far beyond the file.
  for (auto [tag, value] : std::vector<std::pair<uint16_t, uint32_t>>{
           {kWidth, 0x7FFFFFFF}, {kLength, 0xFFFFFFFF}, {kSamples, 200}, {kBits, 255}, {kRowsPerStrip, 0}}) {
    TiffWriter w = Grey(16, 16, 16, {std::string(256, 'x')});
    w.Tag(tag, 4, {value});
    attempt(w.Build());
  }
  TiffWriter counts = Grey(16, 16, 16, {std::string(256, 'x')});
  counts.Tag(273, 4, {8});
  counts.SetCount(273, 0x3FFFFFFF);  // a billion strip offsets from offset 8 on
  counts.Tag(kPhotometric, 3, {3});
  counts.Tag(320, 3, {8});
  counts.SetCount(320, 0xFFFFFFFF);
  attempt(counts.Build());
  std::string loop = Grey(16, 16, 16, {std::string(256, 'x')}).Build();
  loop.replace(loop.size() - 4, 4, loop.substr(4, 4));  // the next directory is the first again
  TStringStream s(loop);
  TTIFFGraphic graphic;
  EXPECT_TRUE(graphic.ReadImageProperties(s, 0));
  EXPECT_FALSE(graphic.ReadImageProperties(s, 0xFFFFFFFF));  // ends at the first repeat
}

TEST(TiffReader, OpensThroughThePictureObjectWithProgress) {
  InitializeGraphicFormats();
  const std::string rows = std::string(30, '\x10') + std::string(30, '\xF0');
  for (const char* name : {"p.tif", "p.TIFF", "p.fax"}) {
    TPicture picture;
    picture.LoadFromFile(TempFile(name, Grey(12, 5, 3, {rows.substr(0, 36), rows.substr(36)}).Build()));
    auto* graphic = dynamic_cast<TTIFFGraphic*>(picture.Graphic());
    ASSERT_NE(graphic, nullptr) << name;
    EXPECT_EQ(GreyLevels(*graphic), rows);
  }
  TTIFFGraphic graphic;
  std::vector<std::string> phases;
  graphic.OnProgress = [&](TObject*, TProgressStage stage, uint8_t, bool, const TRect&, const std::string& msg) {
    if (stage == psStarting) phases.push_back(msg);
  };
  graphic.LoadFromFile(TempFile("q.tif", Grey(12, 5, 5, {rows}).Build()));
  EXPECT_EQ(phases, (std::vector<std::string>{"Preparing...", "Transfering..."}));
}

}  // namespace
