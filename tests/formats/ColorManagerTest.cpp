// The colour manager: its settings and their checks, the choice of converter, the
// gamma and YCbCr tables, palettes, and every converter family on rows whose
// expected results were worked out by hand from the conversion formulas.

#include <cstring>

#include "formats/GraphicColor.h"
#include "TestSupport.h"
#include "formats/GraphicStrings.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Converts one row; the target starts filled with `fill` so that untouched bytes show.
Bytes Convert(TColorManager& cm, const Bytes& source, size_t targetBytes, uint32_t count, uint8_t mask = 0xFF,
              uint8_t fill = 0xEE) {
  Bytes target(targetBytes, fill);
  cm.ConvertRow({source.data()}, target.data(), count, mask);
  return target;
}

TColorManager Manager(TColorScheme from, uint8_t fromBits, TColorScheme to, uint8_t toBits) {
  TColorManager cm;
  cm.SetSourceColorScheme(from);
  cm.SetSourceBitsPerSample(fromBits);
  cm.SetTargetColorScheme(to);
  cm.SetTargetBitsPerSample(toBits);
  return cm;
}

template <class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const EColorConversionError& e) {
    return e.Message();
  }
  return "(no error)";
}

Bytes Words(std::initializer_list<uint16_t> words) {
  Bytes b(words.size() * 2);
  std::memcpy(b.data(), words.begin(), b.size());
  return b;
}

}  // namespace

TEST(ColorManagerSettings, DefaultsCheckedSettersAndTheChoiceOfConverter) {
  TColorManager cm;
  EXPECT_EQ(cm.GetPixelFormat(0), pf24bit);
  // A new manager turns 8-bit RGB into BGR without gamma.
  EXPECT_EQ(Convert(cm, {128, 20, 30}, 3, 1), (Bytes{30, 20, 128}));

  EXPECT_EQ(MessageOf([&] { cm.SetSourceBitsPerSample(0); }), gsInvalidBitsPerSample);
  EXPECT_EQ(MessageOf([&] { cm.SetTargetBitsPerSample(17); }), gsInvalidBitsPerSample);
  EXPECT_EQ(cm.SourceBitsPerSample(), 8);  // a rejected value stores nothing
  cm.SetSourceBitsPerSample(5);
  EXPECT_EQ(cm.SourceBitsPerSample(), 5);
  EXPECT_EQ(MessageOf([&] { cm.SetSourceSamplesPerPixel(0); }), gsInvalidSampleCount);
  EXPECT_EQ(MessageOf([&] { cm.SetTargetSamplesPerPixel(5); }), gsInvalidSampleCount);
  cm.SetSourceSamplesPerPixel(2);  // not compared with the scheme
  EXPECT_EQ(cm.SourceSamplesPerPixel(), 2);

  // Indexed and non-indexed mixed: every call raises until a scheme changes.
  TColorManager mixed = Manager(csG, 8, csBGR, 8);
  uint8_t px[3] = {};
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(MessageOf([&] { mixed.ConvertRow({px}, px, 1, 0xFF); }), gsIndexedNotSupported);
  mixed.SetTargetColorScheme(csG);
  EXPECT_EQ(MessageOf([&] { mixed.ConvertRow({px}, px, 1, 0xFF); }), "(no error)");

  TColorManager greyAlpha = Manager(csGA, 4, csG, 4);
  EXPECT_EQ(MessageOf([&] { greyAlpha.ConvertRow({px}, px, 1, 0xFF); }), gsConversionUnsupported);
  TColorManager cmy = Manager(csCMY, 8, csBGR, 8);
  EXPECT_EQ(MessageOf([&] { cmy.ConvertRow({px}, px, 1, 0xFF); }), gsConversionUnsupported);
  TColorManager greyMixedDepth = Manager(csG, 16, csG, 4);
  EXPECT_EQ(MessageOf([&] { greyMixedDepth.ConvertRow({px}, px, 1, 0xFF); }), gsConversionUnsupported);

  // A converter exists but not for 4-bit RGB: the target stays untouched.
  TColorManager rgb4 = Manager(csRGB, 4, csBGR, 8);
  EXPECT_EQ(Convert(rgb4, {1, 2, 3}, 3, 1), (Bytes{0xEE, 0xEE, 0xEE}));
}

TEST(ColorManagerSettings, PixelFormatsAndSubsampling) {
  TColorManager cm;
  auto format = [&](uint8_t samples, uint8_t bits) {
    cm.SetTargetSamplesPerPixel(samples);
    cm.SetTargetBitsPerSample(bits);
    return cm.GetPixelFormat(1);
  };
  EXPECT_EQ(format(1, 1), pf1bit);
  EXPECT_EQ(format(1, 2), pf4bit);
  EXPECT_EQ(format(1, 4), pf4bit);
  EXPECT_EQ(format(1, 6), pfCustom);
  EXPECT_EQ(format(1, 16), pf8bit);
  EXPECT_EQ(format(3, 5), pf15bit);
  EXPECT_EQ(format(3, 16), pf24bit);
  EXPECT_EQ(format(4, 8), pf32bit);
  EXPECT_EQ(format(4, 7), pfCustom);
  EXPECT_EQ(format(2, 8), pfCustom);

  EXPECT_EQ(MessageOf([&] { cm.SetYCbCrParameters({0.2f, 0.7f, 0.1f}, 2, 4); }), gsVerticalSubSamplingError);
  EXPECT_FLOAT_EQ(cm.YCbCrCoefficients()[1], 0.7f);  // stored before the check
  EXPECT_EQ(cm.HorizontalSubsampling(), 1);          // the factors were not
  EXPECT_EQ(MessageOf([&] { cm.SetYCbCrParameters({0.299f}, 3, 1); }), gsInvalidSubSampling);
  cm.SetYCbCrParameters({0.299f, 0.587f, 0.114f}, 4, 2);
  EXPECT_EQ(cm.HorizontalSubsampling(), 4);
  EXPECT_EQ(cm.VerticalSubsampling(), 2);
}

TEST(ColorManagerTables, GammaAndYCbCrLookups) {
  TColorManager cm;
  // 255 * (i/255)^(1/2.2), to the nearest integer.
  EXPECT_EQ(cm.GammaTable()[0], 0);
  EXPECT_EQ(cm.GammaTable()[1], 21);
  EXPECT_EQ(cm.GammaTable()[2], 28);
  EXPECT_EQ(cm.GammaTable()[128], 186);
  EXPECT_EQ(cm.GammaTable()[255], 255);
  Bytes defaultTable(cm.GammaTable(), cm.GammaTable() + 256);
  cm.SetGamma(0.0f, -1.0f);  // invalid values fall back to 1.0 and 2.2
  EXPECT_EQ(Bytes(cm.GammaTable(), cm.GammaTable() + 256), defaultTable);
  EXPECT_FLOAT_EQ(cm.FileGamma(), 1.0f);
  EXPECT_FLOAT_EQ(cm.DisplayGamma(), 2.2f);
  cm.SetGamma(1.0f / 2.2f, 2.2f);  // the two cancel: identity
  for (int i = 0; i < 256; ++i) EXPECT_EQ(cm.GammaTable()[i], i);

  // Below 8 bits the table spans the target's range: 4-bit values 0..15.
  TColorManager low = Manager(csIndexed, 4, csIndexed, 4);
  low.SetGamma(1.0f, 2.0f);
  EXPECT_EQ(low.GammaTable()[4], 8);    // 15 * sqrt(4/15) = 7.75
  EXPECT_EQ(low.GammaTable()[15], 15);
  // A source below 8 bits with a 16-bit target keeps to the 256 entries of the table.
  TColorManager wide = Manager(csIndexed, 4, csIndexed, 16);
  wide.SetGamma(1.0f, 1.0f);
  EXPECT_EQ(wide.GammaTable()[255], 255);

  // YCbCr: 1.402, 1.772, 0.71414 and 0.34414 times the distance from 128.
  TColorManager ycc = Manager(csYCbCr, 8, csBGR, 8);
  uint8_t px[3] = {128, 128, 128};
  ycc.ConvertRow({px}, px, 1, 0xFF);
  EXPECT_EQ(ycc.CrToRedTable()[0], -179);
  EXPECT_EQ(ycc.CbToBlueTable()[0], -227);
  EXPECT_EQ(ycc.CrToGreenTable()[0], 91);
  EXPECT_EQ(ycc.CbToGreenTable()[0], 44);
  EXPECT_EQ(ycc.CrToRedTable()[128], 0);
  EXPECT_EQ(ycc.CbToGreenTable()[128], 0);
  // Photo YCC centres C1 on 156 and C2 on 137.
  TColorManager photo = Manager(csPhotoYCC, 8, csBGR, 8);
  photo.ConvertRow({px}, px, 1, 0xFF);
  EXPECT_EQ(photo.CrToRedTable()[137], 0);
  EXPECT_EQ(photo.CbToBlueTable()[156], 0);
  EXPECT_EQ(photo.CrToRedTable()[0], -192);  // -137 * 1.402 = -192.07
}

TEST(ColorManagerPalettes, GreyRampsColourPalettesAndReindexing) {
  TColorManager cm;
  cm.SetTargetSamplesPerPixel(1);
  cm.SetTargetBitsPerSample(1);
  TPalette ramp = cm.CreateGrayscalePalette(false);
  ASSERT_EQ(ramp.Count(), 2);
  EXPECT_EQ(ramp.Entry(0), PaletteEntry(0, 0, 0));
  EXPECT_EQ(ramp.Entry(1), PaletteEntry(255, 255, 255));
  TPalette whiteFirst = cm.CreateGrayscalePalette(true);
  EXPECT_EQ(whiteFirst.Entry(0), PaletteEntry(255, 255, 255));
  EXPECT_EQ(whiteFirst.Entry(1), PaletteEntry(0, 0, 0));
  cm.SetTargetBitsPerSample(2);  // levels 0, 85, 170, 255
  EXPECT_EQ(cm.CreateGrayscalePalette(false).Entry(2), PaletteEntry(170, 170, 170));
  TColorManager fresh;  // 3 samples of 8 bits: capped at 8 bits, 256 levels
  EXPECT_EQ(fresh.CreateGrayscalePalette(false).Count(), 256);
  fresh.SetTargetOptions({coApplyGamma});
  EXPECT_EQ(fresh.CreateGrayscalePalette(false).Entry(128), PaletteEntry(186, 186, 186));

  // Interleaved bytes, red first or blue first; at most 256 entries.
  Bytes entries(300 * 3);
  for (size_t i = 0; i < entries.size(); ++i) entries[i] = uint8_t(i * 7);
  TColorManager same;
  TPalette rgb = same.CreateColorPalette({entries.data()}, pdfBytes3, 300, false);
  ASSERT_EQ(rgb.Count(), 256);
  EXPECT_EQ(rgb.Entry(2), PaletteEntry(42, 49, 56));
  TPalette bgr = same.CreateColorPalette({entries.data()}, pdfBytes4, 2, true);
  ASSERT_EQ(bgr.Count(), 2);
  EXPECT_EQ(bgr.Entry(1), PaletteEntry(42, 35, 28));  // bytes 28 35 42 (49 skipped)
  // Planes of 16-bit values, byte-swapped, scaled by 255/65535.
  Bytes r = Words({0x00FF, 0x0080}), g = Words({0x0000, 0x0040}), b = Words({0xFFFF, 0x0000});
  same.SetSourceOptions({coNeedByteSwap});
  TPalette planes = same.CreateColorPalette({r.data(), g.data(), b.data()}, pdfPlanes16, 2, false);
  EXPECT_EQ(planes.Entry(0), PaletteEntry(254, 0, 255));   // 0xFF00 * 255 / 65535 = 254
  EXPECT_EQ(planes.Entry(1), PaletteEntry(127, 63, 0));    // 0x8000 -> 127, 0x4000 -> 63
  // A planar layout with too few planes fills nothing.
  EXPECT_EQ(same.CreateColorPalette({r.data()}, pdfPlanes16, 2, false).Entry(0), PaletteEntry(0, 0, 0));

  // A 4-bit palette for an 8-bit target: entry i takes source entry i div 17.
  TColorManager up = Manager(csIndexed, 4, csIndexed, 8);
  Bytes sixteen(16 * 3);
  for (int i = 0; i < 16; ++i) sixteen[size_t(i) * 3] = uint8_t(i * 10);
  TPalette widened = up.CreateColorPalette({sixteen.data()}, pdfBytes3, 16, false);
  ASSERT_EQ(widened.Count(), 256);
  EXPECT_EQ(widened.Entry(16).peRed, 0);
  EXPECT_EQ(widened.Entry(17).peRed, 10);
  EXPECT_EQ(widened.Entry(255).peRed, 150);
  // 8-bit palette for a 2-bit target: entry i takes source entry i * 255 div 3.
  TColorManager down = Manager(csIndexed, 8, csIndexed, 2);
  Bytes many(256 * 3);
  for (int i = 0; i < 256; ++i) many[size_t(i) * 3 + 1] = uint8_t(i);
  TPalette narrowed = down.CreateColorPalette({many.data()}, pdfBytes3, 256, false);
  ASSERT_EQ(narrowed.Count(), 4);
  EXPECT_EQ(narrowed.Entry(1).peGreen, 85);
  EXPECT_EQ(narrowed.Entry(3).peGreen, 255);
  // A 16-bit source for an 8-bit target would index far beyond the 256 entries held:
  // those entries keep what was filled.
  TColorManager deep = Manager(csIndexed, 16, csIndexed, 8);
  TPalette bounded = deep.CreateColorPalette({many.data()}, pdfBytes3, 256, false);
  ASSERT_EQ(bounded.Count(), 256);
  EXPECT_EQ(bounded.Entry(0).peGreen, 0);
  EXPECT_EQ(bounded.Entry(200).peGreen, 200);
}

TEST(ColorManagerRows, IndexedFamilyPacksFieldsAndScalesValues) {
  TColorManager oneToEight = Manager(csIndexed, 1, csIndexed, 8);
  EXPECT_EQ(Convert(oneToEight, {0xA0}, 3, 3), (Bytes{255, 0, 255}));

  TColorManager fourToEight = Manager(csIndexed, 4, csIndexed, 8);
  EXPECT_EQ(Convert(fourToEight, {0x5F}, 2, 2), (Bytes{85, 255}));

  // 8 to 4 bits: three values into the high and low nibble of byte 0 and the high
  // nibble of byte 1; the low nibble of byte 1 keeps its old bits.
  TColorManager eightToFour = Manager(csIndexed, 8, csIndexed, 4);
  EXPECT_EQ(Convert(eightToFour, {200, 17, 255}, 2, 3, 0xFF, 0x0A), (Bytes{0xB1, 0xFA}));

  // 16 to 4 bits: value * 15 div 65535; the third pixel lands in byte 1's high nibble.
  TColorManager sixteenToFour = Manager(csIndexed, 16, csIndexed, 4);
  EXPECT_EQ(Convert(sixteenToFour, Words({65535, 0, 32768}), 2, 3, 0xFF, 0x00), (Bytes{0xF0, 0x70}));

  // 16 to 16: words copied, or swapped with coNeedByteSwap.
  TColorManager copy16 = Manager(csIndexed, 16, csIndexed, 16);
  EXPECT_EQ(Convert(copy16, Words({0x1234, 0xABCD}), 4, 2), Words({0x1234, 0xABCD}));
  copy16.SetSourceOptions({coNeedByteSwap});
  EXPECT_EQ(Convert(copy16, Words({0x1234, 0xABCD}), 4, 2), Words({0x3412, 0xCDAB}));

  // 2 bits to 16: value * 65535 div 3.
  TColorManager twoTo16 = Manager(csIndexed, 2, csIndexed, 16);
  EXPECT_EQ(Convert(twoTo16, {0x1B}, 8, 4), Words({0, 21845, 43690, 65535}));

  // Grey 8 bits to 2 bits: value * 3 div 255.
  TColorManager grey = Manager(csG, 8, csG, 2);
  EXPECT_EQ(Convert(grey, {84, 85, 170, 255}, 1, 4, 0xFF, 0), (Bytes{0x1B}));

  // Depths that do not divide 8 are packed without gaps: 3-bit 7, 0, 5 give 111 000 10|1.
  // With mask $AA pixel 1 keeps its bits and pixel 2 (0) straddles the two bytes.
  TColorManager three = Manager(csIndexed, 3, csIndexed, 3);
  EXPECT_EQ(Convert(three, {0xE2, 0x80}, 2, 3, 0xAA, 0xFF), (Bytes{0xFC, 0x7F}));
  TColorManager threeTo8 = Manager(csIndexed, 3, csIndexed, 8);
  EXPECT_EQ(Convert(threeTo8, {0xE2, 0x80}, 3, 3), (Bytes{255, 0, 182}));
}

TEST(ColorManagerRows, InterlacePassesFillOneRow) {
  // Mask $AA takes pixels 0, 2, 4 and 6 from four consecutive source pixels.
  TColorManager rgb;
  const Bytes source{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  Bytes row = Convert(rgb, source, 8 * 3, 8, 0xAA, 0);
  const Bytes expected{3, 2, 1, 0, 0, 0, 6, 5, 4, 0, 0, 0, 9, 8, 7, 0, 0, 0, 12, 11, 10, 0, 0, 0};
  EXPECT_EQ(row, expected);

  // The seven passes of an 8-pixel 1-bit row: pixel 0 (pass 1), 4 (pass 2), 2 and 6
  // (pass 4), odd pixels (pass 6), written into one target row in place.
  TColorManager bits = Manager(csIndexed, 1, csIndexed, 1);
  Bytes target{0x00};
  uint8_t pass1 = 0x80, pass2 = 0x80, pass4 = 0x40, pass6 = 0xF0;  // source bits per pass
  bits.ConvertRow({&pass1}, target.data(), 8, 0x80);
  bits.ConvertRow({&pass2}, target.data(), 8, 0x08);
  bits.ConvertRow({&pass4}, target.data(), 8, 0x22);
  bits.ConvertRow({&pass6}, target.data(), 8, 0x55);
  // pixels: 0=1, 4=1, 2=0, 6=1, 1,3,5,7=1 -> 1101 1111
  EXPECT_EQ(target[0], 0xDF);

  // An 8-bit palette row in two passes of 8 pixels each.
  TColorManager indexed = Manager(csIndexed, 8, csIndexed, 8);
  Bytes wide(16, 0);
  const Bytes evens{10, 12, 14, 16, 18, 20, 22, 24}, odds{11, 13, 15, 17, 19, 21, 23, 25};
  indexed.ConvertRow({evens.data()}, wide.data(), 16, 0xAA);
  indexed.ConvertRow({odds.data()}, wide.data(), 16, 0x55);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(wide[size_t(i)], 10 + i);
}

TEST(ColorManagerRows, GreyFamily) {
  // $12 $34 stored most significant byte first: $1234 div 257 = 18.
  TColorManager swapped = Manager(csG, 16, csG, 8);
  swapped.SetSourceOptions({coNeedByteSwap});
  EXPECT_EQ(Convert(swapped, {0x12, 0x34}, 1, 1), (Bytes{18}));
  TColorManager machine = Manager(csG, 16, csG, 8);
  EXPECT_EQ(Convert(machine, {0x12, 0x34}, 1, 1), (Bytes{0x3412 / 257}));
  // Grey with alpha: the alpha sample is skipped; 8 to 16 widens (v * 257).
  TColorManager withAlpha = Manager(csGA, 8, csG, 16);
  EXPECT_EQ(Convert(withAlpha, {10, 99, 255, 99}, 4, 2), Words({2570, 65535}));
  TColorManager alphaTo8 = Manager(csGA, 16, csIndexed, 8);
  EXPECT_EQ(Convert(alphaTo8, Words({65535, 1, 257, 1}), 2, 2), (Bytes{255, 1}));
}

TEST(ColorManagerRows, RGBFamilyOrderDepthAlphaAndGamma) {
  TColorManager cm;  // RGB 8 to BGR 8
  EXPECT_EQ(Convert(cm, {10, 20, 30}, 3, 1), (Bytes{30, 20, 10}));
  // Rows of every length up to 40 pixels, into a target one byte longer: every pixel's
  // red and blue change places and nothing past the row is written.
  for (uint32_t count = 1; count <= 40; ++count) {
    Bytes row(size_t(count) * 3), swapped(row.size() + 1, 0xEE);
    for (size_t i = 0; i < row.size(); ++i) row[i] = uint8_t(i * 7 + count);
    for (size_t i = 0; i < row.size(); ++i) swapped[i] = row[i / 3 * 3 + 2 - i % 3];
    EXPECT_EQ(Convert(cm, row, row.size() + 1, count), swapped) << count;
  }
  cm.SetTargetOptions({coApplyGamma});
  EXPECT_EQ(Convert(cm, {128, 0, 255}, 3, 1), (Bytes{255, 0, 186}));

  // RGBA source, BGR target: 4 bytes consumed, 3 written per pixel.
  TColorManager dropAlpha = Manager(csRGBA, 8, csBGR, 8);
  EXPECT_EQ(Convert(dropAlpha, {1, 2, 3, 4, 5, 6, 7, 8}, 6, 2), (Bytes{3, 2, 1, 7, 6, 5}));
  // RGB source, BGRA target: 3 of every 4 target bytes written.
  TColorManager keepAlpha = Manager(csRGB, 8, csBGRA, 8);
  EXPECT_EQ(Convert(keepAlpha, {1, 2, 3, 4, 5, 6}, 8, 2), (Bytes{3, 2, 1, 0xEE, 6, 5, 4, 0xEE}));
  // RGBA to BGRA carries the alpha over, never through gamma.
  TColorManager carry = Manager(csRGBA, 8, csBGRA, 8);
  carry.SetTargetOptions({coApplyGamma});
  EXPECT_EQ(Convert(carry, {0, 0, 128, 128}, 4, 1), (Bytes{186, 0, 0, 128}));

  // 16 to 16: words in order, or blue first.
  TColorManager same16 = Manager(csRGB, 16, csRGB, 16);
  EXPECT_EQ(Convert(same16, Words({1, 2, 3}), 6, 1), Words({1, 2, 3}));
  TColorManager swap16 = Manager(csRGB, 16, csBGR, 16);
  EXPECT_EQ(Convert(swap16, Words({1, 2, 3}), 6, 1), Words({3, 2, 1}));
  // 16 to 8 with byte swap: big-endian 0xFFFF, 0x8000, 0x0101 -> 255, 127, 1.
  TColorManager narrow = Manager(csBGR, 16, csBGR, 8);
  narrow.SetSourceOptions({coNeedByteSwap});
  EXPECT_EQ(Convert(narrow, {0xFF, 0xFF, 0x80, 0x00, 0x01, 0x01}, 3, 1), (Bytes{255, 127, 1}));
  // 8 to 16 widens; with coNeedByteSwap the result is most significant byte first.
  TColorManager widen = Manager(csBGR, 8, csRGB, 16);
  EXPECT_EQ(Convert(widen, {1, 2, 3}, 6, 1), Words({771, 514, 257}));

  // Planes: red, green, blue and alpha planes of an RGBA picture.
  TColorManager planar = Manager(csRGBA, 8, csBGRA, 8);
  const Bytes r{1, 2}, g{3, 4}, b{5, 6}, a{7, 8};
  Bytes out(8, 0);
  planar.ConvertRow({r.data(), g.data(), b.data(), a.data()}, out.data(), 2, 0xFF);
  EXPECT_EQ(out, (Bytes{5, 3, 1, 7, 6, 4, 2, 8}));
}

TEST(ColorManagerRows, CMYKFamily) {
  TColorManager cm = Manager(csCMYK, 8, csBGR, 8);
  EXPECT_EQ(Convert(cm, {0, 0, 0, 0}, 3, 1), (Bytes{255, 255, 255}));
  EXPECT_EQ(Convert(cm, {0, 255, 255, 0}, 3, 1), (Bytes{0, 0, 255}));  // red, blue first
  EXPECT_EQ(Convert(cm, {10, 200, 30, 255}, 3, 1), (Bytes{0, 0, 0}));
  // 255 - (X - X*K div 255 + K): X 100, K 50: 255 - (100 - 19 + 50) = 124.
  EXPECT_EQ(Convert(cm, {100, 0, 0, 50}, 3, 1), (Bytes{205, 205, 124}));
  // Planar with four planes, RGB order with an alpha byte left alone.
  TColorManager planar = Manager(csCMYK, 8, csRGBA, 8);
  const uint8_t c = 0, m = 255, y = 0, k = 0;
  Bytes out(4, 0x77);
  planar.ConvertRow({&c, &m, &y, &k}, out.data(), 1, 0xFF);
  EXPECT_EQ(out, (Bytes{255, 0, 255, 0x77}));
  // 16-bit samples stored most significant byte first are swapped before use:
  // cyan 0x8000, black 0 -> 65535 - 32768 = 32767, byte 127.
  TColorManager deep = Manager(csCMYK, 16, csBGR, 16);
  deep.SetSourceOptions({coNeedByteSwap});
  EXPECT_EQ(Convert(deep, {0x80, 0x00, 0, 0, 0, 0, 0, 0}, 6, 1), Words({65535, 65535, 32767}));
  TColorManager deepTo8 = Manager(csCMYK, 16, csBGR, 8);
  EXPECT_EQ(Convert(deepTo8, Words({65535, 0, 0, 0}), 3, 1), (Bytes{255, 255, 0}));
}

TEST(ColorManagerRows, LabFamily) {
  TColorManager cm = Manager(csCIELab, 8, csBGR, 8);
  // The neutral axis in sRGB: L* 100 white, L* 0 black, L* 50 the sRGB grey 119 (a linear
  // value would give 47).
  EXPECT_EQ(Convert(cm, {100, 0, 0}, 3, 1), (Bytes{255, 255, 255}));
  EXPECT_EQ(Convert(cm, {0, 0, 0}, 3, 1), (Bytes{0, 0, 0}));
  EXPECT_EQ(Convert(cm, {50, 0, 0}, 3, 1), (Bytes{119, 119, 119}));
  // Byte range (L* 255 = 100) with chroma offset (128 = 0).
  TColorManager stored = Manager(csCIELab, 8, csRGB, 8);
  stored.SetSourceOptions({coLabByteRange, coLabChromaOffset});
  EXPECT_EQ(Convert(stored, {255, 128, 128}, 3, 1), (Bytes{255, 255, 255}));
  EXPECT_EQ(Convert(stored, {128, 128, 128}, 3, 1), (Bytes{119, 119, 119}));
  // 16-bit samples are the 8-bit ones scaled: L* 50 * 257, a* 60 * 256.
  TColorManager deep = Manager(csCIELab, 16, csBGR, 8);
  EXPECT_EQ(Convert(deep, Words({50 * 257, 60 * 256, 0}), 3, 1), Convert(cm, {50, 60, 0}, 3, 1));
}

TEST(ColorManagerRows, YCCFamily) {
  TColorManager cm = Manager(csYCbCr, 8, csBGR, 8);
  EXPECT_EQ(Convert(cm, {128, 128, 128}, 3, 1), (Bytes{128, 128, 128}));
  // Y 0, Cr 255: red 178, green -91 clamped to 0, blue 0.
  EXPECT_EQ(Convert(cm, {0, 128, 255}, 3, 1), (Bytes{0, 0, 178}));
  // Y 100, Cb 200: blue 100 + round(72 * 1.772) = 228, green 100 - round(72 * 0.34414) = 75.
  EXPECT_EQ(Convert(cm, {100, 200, 128}, 3, 1), (Bytes{228, 75, 100}));
  // RGBA target: the 4th byte of each pixel stays.
  TColorManager alpha = Manager(csYCbCr, 8, csRGBA, 8);
  EXPECT_EQ(Convert(alpha, {128, 128, 128, 0, 128, 255}, 8, 2), (Bytes{128, 128, 128, 0xEE, 178, 0, 0, 0xEE}));
  // 16-bit samples reduced to bytes (v div 257), swapped first when stored big-endian.
  TColorManager deep = Manager(csYCbCr, 16, csBGR, 8);
  deep.SetSourceOptions({coNeedByteSwap});
  EXPECT_EQ(Convert(deep, {0, 0, 0x80, 0x80, 0xFF, 0xFF}, 3, 1), (Bytes{0, 0, 178}));
  // Photo YCC at 16 bits: Y' = Y * 1.3584 with C1, C2 at their centres gives grey.
  TColorManager photo = Manager(csPhotoYCC, 16, csRGB, 16);
  EXPECT_EQ(Convert(photo, Words({10000, 40092, 35209}), 6, 1), Words({13584, 13584, 13584}));
  // 8-bit samples to a 16-bit target are widened.
  TColorManager wide = Manager(csYCbCr, 8, csBGR, 16);
  EXPECT_EQ(Convert(wide, {128, 128, 128}, 6, 1), Words({32896, 32896, 32896}));
}

// ImageMagick converts YCbCr (Rec. 601 weights, full range) and CMYK to RGB with the
// same formulas in floating point. Over a sweep of inputs our integer divisions stay
// within one level of it; green from YCbCr adds two rounded table values, and
// ImageMagick centres the colour differences on 127.5, so there two levels.
TEST(ColorManagerRows, YCbCrAndCMYKSweepsAgreeWithImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  Bytes ycc, cmyk;
  for (int a = 0; a < 256; a += 15)
    for (int b = 0; b < 256; b += 15)
      for (int c = 0; c < 256; c += 15) {
        ycc.insert(ycc.end(), {uint8_t(a), uint8_t(b), uint8_t(c)});
        cmyk.insert(cmyk.end(), {uint8_t(a), uint8_t(b), uint8_t(c), uint8_t((a + b) / 2)});
      }
  const uint32_t n = uint32_t(ycc.size() / 3);
  auto imageMagick = [&](const Bytes& data, const std::string& layout, std::vector<std::string> colorspace) {
    const std::string in = testsupport::TempFile(layout + ".raw", data);
    std::vector<std::string> args{"convert", "-size", std::to_string(n) + "x1", "-depth", "8", layout + ":" + in};
    args.insert(args.end(), colorspace.begin(), colorspace.end());
    args.insert(args.end(), {"-colorspace", "sRGB", "-depth", "8", "rgb:-"});
    const auto res = testsupport::Run(args);
    EXPECT_EQ(res.exitCode, 0) << res.err;
    return res.out;
  };
  auto compare = [&](const Bytes& ours, const std::string& theirs, const char* what, int tolerance) {
    ASSERT_EQ(theirs.size(), ours.size()) << what;
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i) worst = std::max(worst, std::abs(int(ours[i]) - int(uint8_t(theirs[i]))));
    EXPECT_LE(worst, tolerance) << what;
  };
  TColorManager fromYCC = Manager(csYCbCr, 8, csRGB, 8);
  compare(Convert(fromYCC, ycc, ycc.size(), n), imageMagick(ycc, "rgb", {"-set", "colorspace", "YCbCr"}), "YCbCr", 2);
  TColorManager fromCMYK = Manager(csCMYK, 8, csRGB, 8);
  compare(Convert(fromCMYK, cmyk, ycc.size(), n), imageMagick(cmyk, "cmyk", {}), "CMYK", 1);
}
