// Writing GIF files: frames coded by the LZW and the run-length coders read back by
// ImageMagick to the pixels that were written, the blocks as giftext sees them, and
// the byte layouts of the edge cases.

#include <random>

#include "GifTestSupport.h"

using namespace giftest;

namespace {

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> indices;
};

// An image of one frame holding the given indices, with a global table of `colors`
// distinct colours.
std::unique_ptr<TGIFImage> ImageOf(const Picture& p, int colors, TGIFCompression compression,
                                   bool interlaced = false) {
  auto gif = std::make_unique<TGIFImage>();
  gif->Compression = compression;
  for (int i = 0; i < colors; ++i)
    gif->Header().ColorMap().Add(RGB(uint8_t(i * 37 + 11), uint8_t(255 - i * 23), uint8_t(i * 91 + 5)));
  auto* frame = new TGIFSubImage(gif.get());
  frame->SetBounds(0, 0, p.width, p.height);
  frame->SetInterlaced(interlaced);
  std::copy(p.indices.begin(), p.indices.end(), frame->Data());
  gif->Add(frame);
  return gif;
}

Bytes Saved(TGIFImage& gif) {
  TMemoryStream stream;
  gif.SaveToStream(stream);
  return stream.Bytes();
}

// ImageMagick's reading of a written file must show the colour of every index written.
void ExpectImageMagickReads(const std::string& file, TGIFImage& gif, const Picture& p) {
  const std::vector<Frame> frames = CoalescedFrames(file);
  ASSERT_EQ(frames.size(), 1u);
  ASSERT_EQ(frames[0].width, p.width);
  ASSERT_EQ(frames[0].height, p.height);
  int wrong = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const TColor c = gif.Header().ColorMap().Colors(p.indices[size_t(y) * p.width + x]);
      const uint8_t* q = frames[0].at(x, y);
      if ((q[0] != GetRValue(c) || q[1] != GetGValue(c) || q[2] != GetBValue(c)) && wrong++ < 3)
        ADD_FAILURE() << "pixel " << x << "," << y;
    }
  EXPECT_EQ(wrong, 0);
}

Picture Runs(int width, int height, const std::vector<int>& lengths, int colors) {
  Picture p{width, height, std::vector<uint8_t>(size_t(width) * height)};
  size_t at = 0;
  int color = 0;
  for (size_t i = 0; at < p.indices.size(); ++i, color = (color + 1) % colors) {
    const int n = lengths[i % lengths.size()];
    for (int k = 0; k < n && at < p.indices.size(); ++k) p.indices[at++] = uint8_t(color);
  }
  return p;
}

Picture Noise(int width, int height, int colors, unsigned seed) {
  Picture p{width, height, std::vector<uint8_t>(size_t(width) * height)};
  std::mt19937 rng(seed);
  for (uint8_t& v : p.indices) v = uint8_t(rng() % unsigned(colors));
  return p;
}

// The codes of one frame's image data (the code size byte at data[at]), with the widths
// a decoder reads them at.
std::vector<int> Codes(const Bytes& data, size_t at) {
  const int codeSize = data[at++];
  Bytes packed;
  for (uint8_t n = data[at++]; n != 0; n = data[at++]) {
    packed.insert(packed.end(), data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + n));
    at += n;
  }
  std::vector<int> codes;
  const int clear = 1 << codeSize;
  int width = codeSize + 1, next = clear + 2;
  bool first = true;
  size_t bit = 0;
  while (bit + size_t(width) <= packed.size() * 8) {
    int code = 0;
    for (int k = 0; k < width; ++k, ++bit) code |= ((packed[bit / 8] >> (bit % 8)) & 1) << k;
    codes.push_back(code);
    if (code == clear) {
      width = codeSize + 1;
      next = clear + 2;
      first = true;
      continue;
    }
    if (code == clear + 1) break;
    if (!first && next < 4096 && ++next >= (1 << width) && width < 12) ++width;
    first = false;
  }
  return codes;
}

// Where the first frame's image data starts (after the descriptor and any local table).
size_t ImageDataOffset(const Bytes& data) {
  size_t at = 13 + ((data[10] & 0x80) ? 3u * (2u << (data[10] & 7)) : 0u);
  while (data[at] == '!') {
    at += 2;
    for (uint8_t n = data[at++]; n != 0; n = data[at++]) at += n;
  }
  const uint8_t packed = data[at + 9];
  return at + 10 + ((packed & 0x80) ? 3u * (2u << (packed & 7)) : 0u);
}

}  // namespace

TEST(GifEncode, BothCodersWriteWhatImageMagickReadsBack) {
  KIVO2_REQUIRE_TOOL("convert");
  const std::vector<std::pair<std::string, Picture>> pictures = {
      {"noise", Noise(97, 61, 256, 1)},
      {"fewcolours", Noise(50, 40, 3, 2)},
      {"runs", Runs(300, 41, {1, 2, 3, 5, 8, 13, 255, 256, 1000, 4095, 4096, 4097, 9000}, 5)},
      {"alternating", Runs(64, 64, {1}, 2)},
      {"flat", Runs(640, 20, {1 << 20}, 1)}};
  for (TGIFCompression compression : {gcLZW, gcRLE})
    for (const auto& [name, p] : pictures)
      for (int colors : {2, 16, 256}) {
        int top = 0;
        for (uint8_t v : p.indices) top = std::max(top, int(v));
        if (top >= colors) continue;
        SCOPED_TRACE(name + " colours " + std::to_string(colors) + (compression == gcRLE ? " run-length" : " LZW"));
        std::unique_ptr<TGIFImage> gif = ImageOf(p, colors, compression);
        const std::string file = testsupport::TempFile(name + ".gif", Saved(*gif));
        ExpectImageMagickReads(file, *gif, p);
      }
}

TEST(GifEncode, InterlacedFramesWriteEveryRowOnce) {
  KIVO2_REQUIRE_TOOL("convert");
  for (TGIFCompression compression : {gcLZW, gcRLE})
    for (int height : {1, 2, 3, 4, 5, 9, 17}) {
      SCOPED_TRACE(height);
      Picture p{7, height, std::vector<uint8_t>(size_t(7) * height)};
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < 7; ++x) p.indices[size_t(y) * 7 + x] = uint8_t((y * 3 + x) % 16);
      std::unique_ptr<TGIFImage> gif = ImageOf(p, 16, compression, true);
      const Bytes data = Saved(*gif);
      EXPECT_TRUE(data[ImageDataOffset(data) - 1] & 0x40);
      ExpectImageMagickReads(testsupport::TempFile("interlaced.gif", data), *gif, p);
    }
}

TEST(GifEncode, TheSmallestFramesAndTheCodeSizeOfOneColour) {
  // 1 x 1: code size 2, one sub-block with clear (4), the pixel and the end code (5) at
  // 3 bits each, the terminator.
  Picture one{1, 1, {1}};
  std::unique_ptr<TGIFImage> gif = ImageOf(one, 2, gcLZW);
  const Bytes data = Saved(*gif);
  const size_t at = ImageDataOffset(data);
  const Bytes expected{2, 2, uint8_t(4 | (1 << 3) | (5 << 6)), uint8_t(5 >> 2), 0, ';'};
  EXPECT_EQ(Bytes(data.begin() + std::ptrdiff_t(at), data.end()), expected);
  // A table of 1 colour is written as 2 entries, the second black; the code size is 2.
  std::unique_ptr<TGIFImage> single = ImageOf(one, 1, gcRLE);
  single->Images()[0]->Data()[0] = 0;
  const Bytes s = Saved(*single);
  EXPECT_EQ(s[10] & 7, 0);
  EXPECT_EQ(Bytes(s.begin() + 16, s.begin() + 19), (Bytes{0, 0, 0}));
  EXPECT_EQ(s[ImageDataOffset(s)], 2);
}

TEST(GifEncode, TheStringTableIsClearedBeforeCode4095) {
  Picture noise = Noise(400, 300, 256, 3);
  std::unique_ptr<TGIFImage> gif = ImageOf(noise, 256, gcLZW);
  const Bytes data = Saved(*gif);
  const std::vector<int> codes = Codes(data, ImageDataOffset(data));
  int sinceClear = 0, clears = 0, largest = 0;
  for (int code : codes) {
    largest = std::max(largest, code);
    if (code == 256) {
      ++clears;
      EXPECT_LE(sinceClear, 4094 - 256);
      sinceClear = 0;
    } else {
      ++sinceClear;
    }
  }
  EXPECT_GT(clears, 5);
  EXPECT_LT(largest, 4095);
}

TEST(GifEncode, SubBlocksHoldAtMost255BytesAndNoEmptyBlockBeforeTheEnd) {
  for (int count : {254, 255, 256, 510, 511}) {
    SCOPED_TRACE(count);
    TMemoryStream stream;
    {
      TGIFWriter writer(stream);
      for (int i = 0; i < count; ++i) writer.WriteByte(uint8_t(i));
    }
    const Bytes& out = stream.Bytes();
    size_t at = 0, data = 0;
    while (at < out.size()) {
      EXPECT_GT(out[at], 0);
      EXPECT_LE(out[at], 255);
      data += out[at];
      at += size_t(out[at]) + 1;
    }
    EXPECT_EQ(at, out.size());
    EXPECT_EQ(data, size_t(count));
  }
  TMemoryStream target;
  TGIFStream plain(target);
  EXPECT_THROW(plain.Write("x", 1), Exception);
  TGIFWriter writer(target);
  uint8_t b;
  EXPECT_THROW(writer.Read(&b, 1), Exception);
  EXPECT_THROW(writer.Seek(0, soBeginning), Exception);
}

TEST(GifEncode, PixelsBeyondTheColourTableAreRefused) {
  Picture p{3, 1, {0, 1, 5}};
  for (TGIFCompression compression : {gcLZW, gcRLE}) {
    auto gif = std::make_unique<TGIFImage>();
    gif->Compression = compression;
    auto* frame = new TGIFSubImage(gif.get());
    frame->SetBounds(0, 0, 3, 1);
    for (int i = 0; i < 5; ++i) frame->ColorMap().Add(RGB(uint8_t(i), 0, 0));
    std::copy(p.indices.begin(), p.indices.end(), frame->Data());
    gif->Add(frame);
    TMemoryStream stream;
    try {
      gif->SaveToStream(stream);
      ADD_FAILURE() << "saved";
    } catch (const GIFException& e) {
      EXPECT_EQ(e.Message(), "Color not in color table");
    }
  }
}

TEST(GifEncode, HeaderFrameAndExtensionBlocksAsGiftextSeesThem) {
  KIVO2_REQUIRE_TOOL("giftext");
  KIVO2_REQUIRE_TOOL("gifbuild");
  auto gif = std::make_unique<TGIFImage>();
  for (int i = 0; i < 16; ++i) gif->Header().ColorMap().Add(RGB(uint8_t(i * 16), uint8_t(i), 7));
  auto* frame = new TGIFSubImage(gif.get());
  auto* loop = new TGIFAppExtNSLoop(frame);
  loop->Loops = 3;
  frame->Extensions().Add(loop);
  auto* comment = new TGIFCommentExtension(frame);
  comment->Comment().Add("made by a test");
  frame->Extensions().Add(comment);
  auto* gce = new TGIFGraphicControlExtension(frame);
  frame->Extensions().Add(gce);
  gce->SetDelay(25);
  gce->SetDisposal(dmPrevious);
  gce->SetTransparentColorIndex(7);
  gce->SetTransparent(true);
  frame->SetBounds(2, 3, 20, 10);
  // A frame with a local table of 256 entries and the interlace bit.
  for (int i = 0; i < 256; ++i) frame->ColorMap().Add(RGB(uint8_t(i), uint8_t(255 - i), 0));
  frame->SetInterlaced(true);
  for (int i = 0; i < 200; ++i) frame->Data()[i] = uint8_t(i);
  gif->Add(frame);
  gif->Header().SetWidth(30);
  gif->Header().SetHeight(20);
  const Bytes data = Saved(*gif);
  // The global table keeps its own size bits although a frame has 256 colours.
  EXPECT_EQ(data[10] & 7, 3);
  // The loop extension carries its count and no buffer-size sub-block.
  const std::string text(data.begin(), data.end());
  const size_t netscape = text.find("NETSCAPE2.0");
  ASSERT_NE(netscape, std::string::npos);
  EXPECT_EQ(Bytes(data.begin() + std::ptrdiff_t(netscape + 11), data.begin() + std::ptrdiff_t(netscape + 16)),
            (Bytes{3, 1, 3, 0, 0}));
  const std::string file = testsupport::TempFile("blocks.gif", data);
  const testsupport::CommandResult r = testsupport::Run({"giftext", file});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Screen Size - Width = 30, Height = 20"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Image Size - Left = 2, Top = 3, Width = 20, Height = 10"), std::string::npos);
  // A frame with a local table is written without interlace.
  EXPECT_NE(r.out.find("Image is Non Interlaced, BitsPerPixel = 8"), std::string::npos);
  EXPECT_NE(r.out.find("Disposal Mode: 3"), std::string::npos);
  EXPECT_NE(r.out.find("DelayTime: 25"), std::string::npos);
  EXPECT_NE(r.out.find("Transparent Index: 7"), std::string::npos);
  EXPECT_NE(r.out.find("GIF89 comment"), std::string::npos);
  EXPECT_NE(r.out.find("GIF89 application block"), std::string::npos);
  EXPECT_NE(r.out.find("GIF file terminated normally"), std::string::npos);
  const testsupport::CommandResult dump = testsupport::Run({"gifbuild", "-d", file});
  EXPECT_NE(dump.out.find("comment\nmade by a test\nend"), std::string::npos) << dump.out;
  EXPECT_NE(dump.out.find("netscape loop 3"), std::string::npos);
}

TEST(GifEncode, AFileReadAndWrittenAgainKeepsItsPixelsAndBlocks) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("gifbuild");
  const std::string source = testsupport::TempPath("source.gif");
  ASSERT_EQ(testsupport::Run({"convert", "-seed", "3", "-size", "30x20", "plasma:fractal", "-colors", "40", "-dispose",
                              "previous", "-delay", "7", "(", "-clone", "0", "-roll", "+5+3", ")", "-loop", "2", source})
                .exitCode,
            0);
  std::unique_ptr<TGIFImage> gif = LoadGifFile(source);
  for (TGIFCompression compression : {gcLZW, gcRLE}) {
    gif->Compression = compression;
    const std::string copy = testsupport::TempFile(compression == gcLZW ? "lzw.gif" : "rle.gif", Saved(*gif));
    ExpectSameFrames(CoalescedFrames(copy), CoalescedFrames(source));
    // gifbuild's dump of the blocks: the same extensions and frames, whatever the coder.
    // ("screen colors" is the colour resolution, which is written from the tables' size.)
    const testsupport::CommandResult a = testsupport::Run({"gifbuild", "-d", source});
    const testsupport::CommandResult b = testsupport::Run({"gifbuild", "-d", copy});
    auto body = [](const std::string& dump) {
      std::string s = dump.substr(dump.find("screen width"));
      const size_t colors = s.find("screen colors");
      return s.erase(colors, s.find('\n', colors) - colors);
    };
    EXPECT_EQ(body(b.out).substr(0, body(b.out).find("# The following")),
              body(a.out).substr(0, body(a.out).find("# The following")));
  }
}
