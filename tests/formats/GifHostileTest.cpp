// Hand-assembled GIF streams: damaged LZW tables, code sizes the table cannot hold,
// strings longer than their frame, truncated and mutated files, frames of no size or
// outside the screen, missing colour tables. Each ends with a clear error or shows what
// the data holds, without touching memory outside its buffers (run under the sanitizers).

#include <chrono>
#include <random>

#include "GifTestSupport.h"

using namespace giftest;

namespace {

// A frame (4 x 4 by default) of the given codes, with a code size of 2 (clear 4, end 5)
// unless another is given.
Bytes FrameWithCodes(const std::vector<std::pair<uint32_t, unsigned>>& codes, int width = 4, int height = 4,
                     int codeSize = 2) {
  GifWriter w(width, height);
  w.Descriptor(0, 0, width, height);
  BitPacker p;
  for (auto [code, bits] : codes) p.Put(code, bits);
  w.Data(codeSize, p.Finish());
  w.Trailer();
  return w.bytes();
}

std::string MessageOf(const Bytes& data) {
  try {
    LoadGif(data);
  } catch (const GIFException& e) {
    return e.Message();
  }
  return std::string();
}

}  // namespace

TEST(GifHostile, ASelfReferencingTableEntryEndsWithACircularTableError) {
  // clear, 0, then 7 (beyond the next code 6): entry 6 = 0+0 and the old code becomes 7;
  // 7 then defines entry 7 with itself as its prefix; reading 7 again walks in a circle.
  const Bytes data = FrameWithCodes({{4, 3}, {0, 3}, {7, 3}, {7, 3}, {7, 4}, {7, 4}});
  EXPECT_EQ(MessageOf(data), "Circular decoder table entry");
}

TEST(GifHostile, ALoopThroughSeveralEntriesStopsAtTheStack) {
  // 7 first after the clear code; then 6 defines entry 6 with prefix 7, and 7 defines
  // entry 7 with prefix 6: reading 6 walks 6, 7, 6, ... until the stack's bound.
  const Bytes data = FrameWithCodes({{4, 3}, {7, 3}, {6, 3}, {7, 3}, {6, 4}, {6, 4}}, 64, 64);
  EXPECT_EQ(MessageOf(data), "Circular decoder table entry");
}

TEST(GifHostile, CodeSizesTheTableCannotHoldAreRefused) {
  for (int size : {12, 13, 31, 255}) {
    SCOPED_TRACE(size);
    GifWriter w(4, 4);
    w.Descriptor(0, 0, 4, 4);
    w.Data(size, Bytes(40, 0xFF));
    w.Trailer();
    EXPECT_EQ(MessageOf(w.bytes()), "Invalid LZW code size.");
  }
  // 11 is the largest size the table holds: no failure, the values keep their low byte.
  std::unique_ptr<TGIFImage> gif = LoadGif(FrameWithCodes({{2048, 12}, {300, 12}, {7, 12}, {2049, 12}}, 2, 1, 11));
  EXPECT_EQ(gif->Images()[0]->Pixels(0, 0), 300 & 0xFF);
  EXPECT_EQ(gif->Images()[0]->Pixels(1, 0), 7);
}

TEST(GifHostile, StringsLongerThanTheFrameStopAtItsLastPixel) {
  // A 1 x 1 frame whose codes expand to long runs, then a second frame that must still be read.
  GifWriter w(3, 1);
  w.Descriptor(0, 0, 1, 1);
  BitPacker p;
  p.Put(4, 3);
  p.Put(2, 3);
  p.Put(6, 3);
  p.Put(7, 3);
  p.Put(8, 4);
  p.Put(5, 4);
  w.Data(2, p.Finish());
  w.Descriptor(2, 0, 1, 1);
  w.Pixels(2, Bytes{3});
  w.Trailer();
  std::unique_ptr<TGIFImage> gif = LoadGif(w.bytes());
  ASSERT_EQ(gif->Images().GetCount(), 2);
  EXPECT_EQ(gif->Images()[0]->Pixels(0, 0), 2);
  EXPECT_EQ(gif->Images()[1]->Pixels(0, 0), 3);
}

TEST(GifHostile, AFullTableWithoutAClearCodeDecodesLikeImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  // Noise fills the table; then the codes go on at 12 bits without a clear code, among
  // them three times the last entry, 4095, and codes that define nothing more.
  const int width = 64, height = 96;
  BitPacker p;
  std::mt19937 rng(5);
  p.Put(4, 3);
  int next = 6, bits = 3;
  int previous = -1, produced = 0;
  // Roots only: every code after the first adds one entry.
  while (next < 4096) {
    const int v = int(rng() % 4);
    p.Put(uint32_t(v), unsigned(bits));
    ++produced;
    if (previous >= 0) {
      ++next;
      if (next >= (1 << bits) && bits < 12) ++bits;
    }
    previous = v;
  }
  // Entry 4095 is a root followed by one more value: two pixels each time.
  for (int i = 0; i < 3; ++i) p.Put(4095, 12);
  produced += 6;
  while (produced < width * height) {
    p.Put(uint32_t(rng() % 4), 12);
    ++produced;
  }
  p.Put(5, 12);
  GifWriter w(width, height);
  w.Descriptor(0, 0, width, height);
  w.Data(2, p.Finish());
  w.Trailer();
  const std::string file = testsupport::TempFile("fulltable.gif", w.bytes());
  std::vector<std::string> warnings;
  std::unique_ptr<TGIFImage> gif = LoadGif(w.bytes(), &warnings);
  ExpectSameFrames(PlayedFrames(*gif), CoalescedFrames(file));
}

TEST(GifHostile, DataWithoutALeadingClearCodeRepeatedClearsAndTheStringBeingDefined) {
  KIVO2_REQUIRE_TOOL("convert");
  // No clear code first; then clear, clear, clear; then 1, 6 (the string being defined: 1 1).
  const Bytes data = FrameWithCodes({{2, 3}, {3, 3}, {4, 3}, {4, 3}, {4, 3}, {1, 3}, {6, 3}, {0, 3}, {5, 4}}, 6, 1);
  std::unique_ptr<TGIFImage> gif = LoadGif(data);
  const Bytes expected{2, 3, 1, 1, 1, 0};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(gif->Images()[0]->Pixels(x, 0), expected[size_t(x)]) << x;
  ExpectSameFrames(PlayedFrames(*gif), CoalescedFrames(testsupport::TempFile("noclear.gif", data)));
}

TEST(GifHostile, EveryTruncationOfAFileLoadsAsFarAsItGoesOrFailsClearly) {
  GifWriter w(8, 6);
  w.Loop(0);
  w.GraphicControl(2, 5, 1);
  w.Descriptor(1, 1, 5, 4, 0x40);
  w.Pixels(2, Bytes{0, 1, 2, 3, 1, 1, 2, 2, 3, 3, 0, 0, 1, 2, 3, 0, 1, 2, 3, 0});
  w.GraphicControl(3, 7);
  w.Descriptor(0, 0, 8, 6, 0x81);
  for (int i = 0; i < 4; ++i) w.Rgb(uint8_t(i * 70), 0, uint8_t(255 - i * 70));
  std::vector<uint8_t> pixels(48);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i % 4);
  w.Pixels(2, pixels);
  w.Trailer();
  const Bytes& full = w.bytes();
  for (size_t n = 0; n < full.size(); ++n) {
    SCOPED_TRACE(n);
    const Bytes cut(full.begin(), full.begin() + std::ptrdiff_t(n));
    std::unique_ptr<TGIFImage> gif;
    try {
      gif = LoadGif(cut);
    } catch (const EInvalidGraphic&) {
      continue;  // a clear error (GIFException derives from it)
    }
    // What was read plays without trouble.
    if (gif->Width() > 0 && gif->Height() > 0) PlayedFrames(*gif);
  }
  // A frame whose pixel data ends early keeps the fill value (the transparent index)
  // in the rest and the image is told.
  const size_t secondFrameData = full.size() - 20;
  std::vector<std::string> warnings;
  std::unique_ptr<TGIFImage> gif = LoadGif(Bytes(full.begin(), full.begin() + std::ptrdiff_t(secondFrameData)), &warnings);
  ASSERT_EQ(gif->Images().GetCount(), 2);
  EXPECT_FALSE(warnings.empty());
}

TEST(GifHostile, MutatedFilesNeverCrash) {
  GifWriter w(12, 9);
  w.Loop(0);
  w.GraphicControl(2, 5, 1);
  w.Descriptor(0, 0, 12, 9, 0x40);
  std::vector<uint8_t> pixels(108);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i * 7 / 5) % 4);
  w.Pixels(2, pixels);
  w.GraphicControl(3, 5, 0);
  w.Descriptor(3, 2, 5, 5);
  w.Pixels(2, Bytes(25, 2));
  w.Trailer();
  std::mt19937 rng(11);
  for (int round = 0; round < 400; ++round) {
    Bytes data = w.bytes();
    const int changes = 1 + int(rng() % 4);
    for (int c = 0; c < changes; ++c) data[rng() % data.size()] = uint8_t(rng());
    try {
      std::unique_ptr<TGIFImage> gif = LoadGif(data);
      if (gif->Width() > 0 && gif->Height() > 0 && int64_t(gif->Width()) * gif->Height() < 4000000) PlayedFrames(*gif);
    } catch (const EInvalidGraphic&) {
    } catch (const EOutOfMemory&) {
    }
  }
}

TEST(GifHostile, FramesWithoutASizeTakeTheScreensAndThoseOutsideItShowNothing) {
  KIVO2_REQUIRE_TOOL("convert");
  // Width 0: the frame takes the screen's size, with a warning.
  std::vector<std::string> warnings;
  std::unique_ptr<TGIFImage> sizeless =
      LoadGif(OneFrameGif(4, 3, 0, 0, 0, 3, Bytes{0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2}), &warnings);
  EXPECT_EQ(sizeless->Images()[0]->Width(), 4);
  EXPECT_EQ(sizeless->Images()[0]->Height(), 3);
  EXPECT_EQ(sizeless->Images()[0]->Pixels(3, 2), 2);
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), "Image exceeds Logical Screen size"), warnings.end());

  GifWriter w(4, 3);
  w.Descriptor(0, 0, 4, 3);
  w.Pixels(2, Bytes{0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2});
  // Far outside the screen.
  w.Descriptor(30000, 30000, 2, 2);
  w.Pixels(2, Bytes{3, 3, 3, 3});
  // Reaching over the right and bottom edges.
  w.Descriptor(3, 2, 3, 3);
  w.Pixels(2, Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3});
  w.Trailer();
  std::unique_ptr<TGIFImage> gif = LoadGif(w.bytes());
  ASSERT_EQ(gif->Images().GetCount(), 3);
  EXPECT_EQ(gif->Width(), 4);
  ExpectSameFrames(PlayedFrames(*gif), CoalescedFrames(testsupport::TempFile("outside.gif", w.bytes())));

  // A screen of no size takes the first frame's, as ImageMagick does.
  const Bytes screenless = OneFrameGif(0, 0, 0, 0, 5, 2, Bytes{0, 1, 2, 3, 0, 1, 2, 3, 0, 1});
  std::unique_ptr<TGIFImage> sized = LoadGif(screenless);
  EXPECT_EQ(sized->Width(), 5);
  EXPECT_EQ(sized->Height(), 2);
  ExpectSameFrames(PlayedFrames(*sized), CoalescedFrames(testsupport::TempFile("zeroscreen.gif", screenless)));
}

TEST(GifHostile, FramesWithoutAnyColourTableShowBlackLikeImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  GifWriter w(4, 2, 0);
  w.Descriptor(0, 0, 4, 2);
  w.Pixels(2, Bytes{0, 1, 2, 3, 3, 2, 1, 0});
  w.Descriptor(1, 0, 2, 2);
  w.Pixels(2, Bytes{1, 1, 1, 1});
  w.Trailer();
  std::unique_ptr<TGIFImage> gif = LoadGif(w.bytes());
  const std::vector<Frame> frames = PlayedFrames(*gif);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].at(2, 1)[0], 0);
  ExpectSameFrames(frames, CoalescedFrames(testsupport::TempFile("nomap.gif", w.bytes()), true));
  // Drawing the still picture and asking for its palette give no error either.
  EXPECT_TRUE(gif->Palette().IsEmpty());
  EXPECT_NE(gif->GetBitmap(), nullptr);
}

TEST(GifHostile, FramesTooLargeForTheirDataAreRefusedBeforeAllocating) {
  EXPECT_EQ(MessageOf(OneFrameGif(65535, 65535, 0, 0, 65535, 65535, Bytes{1, 2, 3})), "Image is too large");
}

TEST(GifHostile, ScreensTooLargeForTheFileAreRefused) {
  // A screen 14784 wide and of no height takes the height of its 7 x 16133 frame: a file
  // of some 60 bytes would make a still picture of 700 MB and stretch the frame onto it.
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(MessageOf(OneFrameGif(14784, 0, 0, 0, 7, 16133, Bytes(20, 1))), "Image is too large");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  // A screen of 30000 x 30000 around a frame of two pixels.
  EXPECT_EQ(MessageOf(OneFrameGif(30000, 30000, 0, 0, 2, 1, Bytes{1, 2})), "Image is too large");
  // A screen larger than its frame but within what the file could fill still loads.
  std::unique_ptr<TGIFImage> gif = LoadGif(OneFrameGif(300, 200, 10, 20, 2, 1, Bytes{1, 2}));
  ASSERT_NE(gif->GetBitmap(), nullptr);
  EXPECT_EQ(gif->GetBitmap()->Width(), 300);
  EXPECT_EQ(gif->GetBitmap()->Height(), 200);
}

TEST(GifHostile, UnknownBlocksAndExtensionsAreSkippedWithAWarning) {
  GifWriter w(2, 1);
  w.Descriptor(0, 0, 2, 1);
  w.Pixels(2, Bytes{1, 2});
  // An extension label nobody knows, with data sub-blocks, before the second frame.
  w.Put(Bytes{0x21, 0x77, 3, ',', ';', 0, 2, '!', '!', 0});
  w.Descriptor(0, 0, 2, 1);
  w.Pixels(2, Bytes{3, 3});
  // Then a byte that starts no block: reading ends there, the frames stay.
  w.Byte('x');
  w.Descriptor(0, 0, 2, 1);
  w.Pixels(2, Bytes{0, 0});
  w.Trailer();
  std::vector<std::string> warnings;
  std::unique_ptr<TGIFImage> gif = LoadGif(w.bytes(), &warnings);
  EXPECT_EQ(gif->Images().GetCount(), 2);
  EXPECT_EQ(gif->Images()[1]->Pixels(1, 0), 3);
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), "Unknown extension type"), warnings.end());
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), "Unknown GIF block type"), warnings.end());
}
