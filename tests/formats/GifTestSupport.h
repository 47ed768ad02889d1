#pragma once
// Shared by the GIF tests: loading GIF bytes, playing every frame of an image into
// full-screen frames through the painter, ImageMagick's coalesced frames of the same
// file, and a small writer of hand-assembled GIF streams.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "DecoderTestUtil.h"
#include "TestSupport.h"
#include "formats/GIFImage.h"

namespace giftest {

using Bytes = std::vector<uint8_t>;

// Red, green, blue and alpha per pixel.
struct Frame {
  int width = 0, height = 0;
  std::vector<uint8_t> px;
  const uint8_t* at(int x, int y) const { return &px[(size_t(y) * width + x) * 4]; }
};

inline std::unique_ptr<TGIFImage> LoadGif(const Bytes& data, std::vector<std::string>* warnings = nullptr) {
  auto gif = std::make_unique<TGIFImage>();
  if (warnings)
    gif->OnWarning = [warnings](TObject*, int, const std::string& message) { warnings->push_back(message); };
  TReadOnlyMemoryStream stream(data.data(), int64_t(data.size()));
  gif->LoadFromStream(stream);
  return gif;
}

inline std::unique_ptr<TGIFImage> LoadGifFile(const std::string& file) {
  const std::string bytes = testsupport::ReadFile(file);
  return LoadGif(Bytes(bytes.begin(), bytes.end()));
}

inline Frame FromBitmap(const TBitmap& b, TColor transparentKey) {
  Frame f;
  f.width = b.Width();
  f.height = b.Height();
  f.px.resize(size_t(f.width) * f.height * 4);
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) {
      const TColor c = b.PixelColor(x, y);
      uint8_t* p = &f.px[(size_t(y) * f.width + x) * 4];
      p[0] = GetRValue(c), p[1] = GetGValue(c), p[2] = GetBValue(c);
      p[3] = c == transparentKey ? 0 : 255;
    }
  return f;
}

// The colour that stands for "nothing drawn here" in the played frames.
constexpr TColor kKey = RGB(1, 254, 3);

// Every frame as the painter shows it, played into a 24-bit bitmap of the logical
// screen that starts as kKey, honouring transparency and disposal, without waits.
inline std::vector<Frame> PlayedFrames(TGIFImage& gif) {
  std::vector<Frame> frames;
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(gif.Width(), gif.Height());
  target.Canvas().Brush().SetColor(kKey);
  target.Canvas().FillRect(Rect(0, 0, gif.Width(), gif.Height()));
  gif.AnimationSpeed = -1;
  gif.OnAfterPaint = [&](TObject*) { frames.push_back(FromBitmap(target, kKey)); };
  gif.Paint(target.Canvas(), Rect(0, 0, gif.Width(), gif.Height()), doTransparent | doAnimate);
  gif.OnAfterPaint = nullptr;
  return frames;
}

// Splits concatenated PAM images.
inline std::vector<Frame> ParsePams(const std::string& data) {
  std::vector<Frame> frames;
  size_t at = 0;
  while (at < data.size()) {
    const size_t end = data.find("ENDHDR\n", at);
    if (end == std::string::npos) break;
    std::istringstream header(data.substr(at, end - at));
    std::string key;
    int width = 0, height = 0, depth = 0, maxval = 0;
    while (header >> key) {
      if (key == "WIDTH") header >> width;
      if (key == "HEIGHT") header >> height;
      if (key == "DEPTH") header >> depth;
      if (key == "MAXVAL") header >> maxval;
    }
    at = end + 7;
    Frame f;
    f.width = width;
    f.height = height;
    f.px.resize(size_t(width) * height * 4);
    for (size_t i = 0; i < size_t(width) * height; ++i) {
      const uint8_t* s = reinterpret_cast<const uint8_t*>(data.data()) + at + i * size_t(depth);
      uint8_t* p = &f.px[i * 4];
      p[0] = s[0];
      p[1] = depth >= 3 ? s[1] : s[0];
      p[2] = depth >= 3 ? s[2] : s[0];
      p[3] = depth == 4 || depth == 2 ? s[depth - 1] : 255;
    }
    at += size_t(width) * height * size_t(depth);
    frames.push_back(std::move(f));
  }
  return frames;
}

// ImageMagick's coalesced frames of a file, with alpha. With warningsAllowed, frames
// that ImageMagick gives together with a warning (such as an index beyond every colour
// table) count too.
inline std::vector<Frame> CoalescedFrames(const std::string& file, bool warningsAllowed = false) {
  testsupport::CommandResult r = testsupport::Run({"convert", file, "-coalesce", "-alpha", "set", "-depth", "8", "pam:-"});
  if (r.exitCode != 0 && !(warningsAllowed && !r.out.empty())) throw std::runtime_error("convert failed: " + r.err);
  return ParsePams(r.out);
}

// Compares played frames with ImageMagick's pixel for pixel: equal colours, or
// transparent in both.
inline void ExpectSameFrames(const std::vector<Frame>& ours, const std::vector<Frame>& theirs) {
  ASSERT_EQ(ours.size(), theirs.size());
  for (size_t i = 0; i < ours.size(); ++i) {
    SCOPED_TRACE("frame " + std::to_string(i));
    ASSERT_EQ(ours[i].width, theirs[i].width);
    ASSERT_EQ(ours[i].height, theirs[i].height);
    int differences = 0;
    for (int y = 0; y < ours[i].height; ++y)
      for (int x = 0; x < ours[i].width; ++x) {
        const uint8_t* a = ours[i].at(x, y);
        const uint8_t* b = theirs[i].at(x, y);
        const bool same = (a[3] == 0 && b[3] == 0) ||
                          (a[3] != 0 && b[3] != 0 && a[0] == b[0] && a[1] == b[1] && a[2] == b[2]);
        if (!same && differences++ < 3)
          ADD_FAILURE() << "pixel " << x << "," << y << ": ours " << int(a[0]) << "," << int(a[1]) << "," << int(a[2])
                        << " a" << int(a[3]) << " theirs " << int(b[0]) << "," << int(b[1]) << "," << int(b[2]) << " a"
                        << int(b[3]);
      }
    EXPECT_EQ(differences, 0);
  }
}

// Loads a file through TGIFImage and compares its played frames with ImageMagick's.
inline void ExpectDecodesLikeImageMagick(const std::string& file) {
  SCOPED_TRACE(file);
  std::unique_ptr<TGIFImage> gif = LoadGifFile(file);
  ExpectSameFrames(PlayedFrames(*gif), CoalescedFrames(file));
}

// Codes of varying width packed least significant bit first.
class BitPacker : public decodertest::BitWriter {
 public:
  BitPacker() : decodertest::BitWriter(false) {}
};

// A GIF assembled by hand: header, optional global table, then blocks.
class GifWriter {
 public:
  GifWriter(int width, int height, int globalColors = 4, uint8_t background = 0) {
    Put("GIF89a");
    Word(width);
    Word(height);
    int n = 0;
    while ((2 << n) < globalColors) ++n;
    bytes_.push_back(uint8_t(globalColors > 0 ? 0x80 | 0x70 | n : 0x70));
    bytes_.push_back(background);
    bytes_.push_back(0);
    if (globalColors > 0)
      for (int i = 0; i < (2 << n); ++i) Rgb(uint8_t(i * 60), uint8_t(255 - i * 50), uint8_t(i * 30));
  }
  void Put(const std::string& s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
  void Put(const Bytes& b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
  void Byte(int b) { bytes_.push_back(uint8_t(b)); }
  void Word(int w) {
    bytes_.push_back(uint8_t(w));
    bytes_.push_back(uint8_t(w >> 8));
  }
  void Rgb(uint8_t r, uint8_t g, uint8_t b) { Put(Bytes{r, g, b}); }
  void GraphicControl(int disposal, int delay, int transparent = -1) {
    Put(Bytes{0x21, 0xF9, 4, uint8_t((disposal << 2) | (transparent >= 0 ? 1 : 0))});
    Word(delay);
    Byte(transparent >= 0 ? transparent : 0);
    Byte(0);
  }
  void Loop(int count) {
    Put(Bytes{0x21, 0xFF, 11});
    Put("NETSCAPE2.0");
    Put(Bytes{3, 1});
    Word(count);
    Byte(0);
  }
  void Descriptor(int left, int top, int width, int height, uint8_t packed = 0) {
    Byte(',');
    Word(left);
    Word(top);
    Word(width);
    Word(height);
    Byte(packed);
  }
  // Image data: the code size byte and the codes in sub-blocks.
  void Data(int codeSize, const Bytes& codes) {
    Byte(codeSize);
    for (size_t at = 0; at < codes.size(); at += 255) {
      const size_t n = std::min<size_t>(255, codes.size() - at);
      Byte(int(n));
      bytes_.insert(bytes_.end(), codes.begin() + std::ptrdiff_t(at), codes.begin() + std::ptrdiff_t(at + n));
    }
    Byte(0);
  }
  // Pixels coded with a clear code before every pixel (no strings).
  void Pixels(int codeSize, const Bytes& pixels) {
    BitPacker p;
    const unsigned clear = 1u << codeSize, width = unsigned(codeSize) + 1;
    for (uint8_t v : pixels) {
      p.Put(clear, width);
      p.Put(v, width);
    }
    p.Put(clear + 1, width);
    Data(codeSize, p.Finish());
  }
  void Trailer() { Byte(';'); }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

// A GIF of one frame of frameW x frameH at (left, top) on a screen of screenW x screenH, its
// pixels coded with a code size of 2.
inline Bytes OneFrameGif(int screenW, int screenH, int left, int top, int frameW, int frameH, const Bytes& pixels) {
  GifWriter w(screenW, screenH);
  w.Descriptor(left, top, frameW, frameH);
  w.Pixels(2, pixels);
  w.Trailer();
  return w.bytes();
}

}  // namespace giftest
