// The GIF image class against the reference tools in one run:
// - decoding every frame of a 100-frame 640x480 animation made by ImageMagick to
//   full-screen frames (transparency and disposal applied), through TGIFImage and its
//   painter, against ImageMagick's "-coalesce" on one thread and against giflib (the
//   file read with DGifSlurp and each frame laid on the screen the same way); every
//   frame we play must equal giflib's pixel for pixel;
// - encoding a 1920x1080 photo to a 256-colour GIF (octree palette, Floyd-Steinberg),
//   against ImageMagick's "-colors 256" with the same dither on one thread.
// Each side reads its input file; the two sides take turns, and the best of each
// side's runs counts. Prints one BENCH line per figure (bench/BenchRun.h).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "BenchRun.h"
#include "formats/GIFImage.h"
#include "platform/graphics/Graphics.h"

#if KIVO2_HAVE_GIFLIB
#include <gif_lib.h>
#endif

namespace {

using bench::BestSeconds;
using bench::RunProgram;

// The real ImageMagick, not a stand-in that may sit earlier on PATH.
const char* const kConvert = "/usr/bin/convert";

// A running hash of frames, each as rows of red, green and blue bytes.
struct FrameHash {
  uint64_t value = 1469598103934665603ull;
  void Add(uint8_t byte) { value = (value ^ byte) * 1099511628211ull; }
};

// Plays every frame into a screen-sized 24-bit bitmap; sums one byte per row of each
// frame so that the work cannot be left out. With frames given, each frame's hash.
uint64_t DecodeOurs(const std::string& file, int& frames, std::vector<uint64_t>* hashes = nullptr) {
  TGIFImage gif;
  gif.LoadFromFile(file);
  TBitmap screen;
  screen.SetPixelFormat(pf24bit);
  screen.SetSize(gif.Width(), gif.Height());
  uint64_t sum = 0;
  frames = 0;
  gif.AnimationSpeed = -1;  // no waits
  gif.OnAfterPaint = [&](TObject*) {
    ++frames;
    for (int y = 0; y < screen.Height(); ++y) sum += screen.ScanLine(y)[y % (screen.Width() * 3)];
    if (!hashes) return;
    FrameHash h;
    for (int y = 0; y < screen.Height(); ++y) {
      const uint8_t* row = screen.ScanLine(y);
      for (int x = 0; x < screen.Width(); ++x) h.Add(row[3 * x + 2]), h.Add(row[3 * x + 1]), h.Add(row[3 * x]);
    }
    hashes->push_back(h.value);
  };
  gif.Paint(screen.Canvas(), Rect(0, 0, gif.Width(), gif.Height()), doTransparent | doAnimate);
  return sum;
}

#if KIVO2_HAVE_GIFLIB
// The same with giflib: every frame laid on an RGB screen with its transparency, and
// disposed to the background or to the previous picture.
uint64_t DecodeGiflib(const std::string& file, int& frames, std::vector<uint64_t>* hashes = nullptr) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(file.c_str(), &error);
  if (!gif || DGifSlurp(gif) != GIF_OK) {
    bench::ReportError("GIF decode 100x640x480 frames", "giflib cannot read the animation");
    std::exit(1);
  }
  const int w = gif->SWidth, h = gif->SHeight;
  std::vector<uint8_t> screen(size_t(w) * h * 3, 0), previous;
  uint64_t sum = 0;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif, i, &gcb);
    const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    if (gcb.DisposalMode == DISPOSE_PREVIOUS) previous = screen;
    const GifImageDesc& d = image.ImageDesc;
    for (int y = 0; y < d.Height && d.Top + y < h; ++y) {
      const GifByteType* src = image.RasterBits + size_t(y) * d.Width;
      uint8_t* dst = &screen[(size_t(d.Top + y) * w + d.Left) * 3];
      for (int x = 0; x < d.Width && d.Left + x < w; ++x, dst += 3) {
        const int index = src[x];
        if (index == gcb.TransparentColor || !map || index >= map->ColorCount) continue;
        const GifColorType& c = map->Colors[index];
        dst[0] = c.Red, dst[1] = c.Green, dst[2] = c.Blue;
      }
    }
    for (int y = 0; y < h; ++y) sum += screen[size_t(y) * w * 3 + size_t(y % (w * 3))];
    if (hashes) {
      FrameHash hash;
      for (uint8_t byte : screen) hash.Add(byte);
      hashes->push_back(hash.value);
    }
    if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
      for (int y = 0; y < d.Height && d.Top + y < h; ++y)
        std::memset(&screen[(size_t(d.Top + y) * w + d.Left) * 3], 0, size_t(std::min(d.Width, w - d.Left)) * 3);
    } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
      screen = previous;
    }
  }
  frames = gif->ImageCount;
  DGifCloseFile(gif, &error);
  return sum;
}
#endif

void EncodeOurs(const std::string& bmp, const std::string& out) {
  TBitmap photo;
  photo.LoadFromFile(bmp);
  TGIFImage gif;
  gif.ColorReduction = rmQuantize;
  gif.DitherMode = dmFloydSteinberg;
  gif.Add(&photo);
  gif.SaveToFile(out);
}

// The best time of each of two jobs run in turns, runs times each.
template <class Ours, class Theirs>
std::pair<double, double> TakingTurns(Ours ours, Theirs theirs, int runs = 3) {
  double best[2] = {1e30, 1e30};
  for (int i = 0; i < runs; ++i) {
    best[0] = std::min(best[0], BestSeconds(ours, 1));
    best[1] = std::min(best[1], BestSeconds(theirs, 1));
  }
  return {best[0], best[1]};
}

}  // namespace

int main(int argc, char** argv) {
  // The painting needs the toolkit, which shows nothing here.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const std::string decodeJob = "GIF decode 100x640x480 frames", encodeJob = "GIF encode 1920x1080 to 256 colours";
  char dirTemplate[] = "/tmp/kivo2-bench-gif-XXXXXX";
  if (!mkdtemp(dirTemplate)) {
    bench::ReportError(decodeJob, "cannot make a temporary folder");
    return 1;
  }
  const std::string dir = dirTemplate;
  const std::string anim = dir + "/anim.gif", bmp = dir + "/photo.bmp", ours = dir + "/ours.gif",
                    theirs = dir + "/theirs.gif";
  auto cleanUp = [&] {
    for (const std::string& f : {anim, bmp, ours, theirs}) std::remove(f.c_str());
    rmdir(dir.c_str());
  };
  std::printf("Making a 100-frame 640x480 animated GIF with ImageMagick...\n");
  if (RunProgram({kConvert, "-seed", "7", "-size", "640x480", "plasma:fractal", "-duplicate", "99", "-distort", "SRT",
                  "%[fx:t*3.6]", "-colors", "256", "-delay", "4", "-loop", "0", anim}) != 0) {
    bench::ReportError(decodeJob, "ImageMagick cannot make the animation");
    cleanUp();
    return 1;
  }
  // The photo: a file given on the command line, else a photo-like picture.
  const std::string source = argc > 1 ? argv[1] : std::string();
  const bool made = source.empty()
                        ? bench::MakePhotoLikePicture(bmp, 1920, 1080)
                        : RunProgram({kConvert, source, "-resize", "1920x1080!", "-type", "truecolor", "bmp3:" + bmp}) == 0;
  if (!made) {
    bench::ReportError(encodeJob, "ImageMagick cannot make the photo");
    cleanUp();
    return 1;
  }
  int failures = 0;

  int frames = 0;
  auto decodeOurs = [&] { DecodeOurs(anim, frames); };
  const auto [decode, magick] = TakingTurns(decodeOurs, [&] {
    if (RunProgram({kConvert, "-limit", "thread", "1", anim, "-coalesce", "ppm:-"}, true) != 0) {
      bench::ReportError(decodeJob, "ImageMagick -coalesce failed");
      std::exit(1);
    }
  });
  std::printf("decode  kivo2 TGIFImage   %8.1f ms (%d frames)\n", decode * 1000, frames);
  std::printf("decode  ImageMagick       %8.1f ms  ratio %.3f (goal: at most 0.5)\n", magick * 1000, decode / magick);
  bench::Report(decodeJob, decode, "ImageMagick -coalesce, 1 thread", magick, "ratio<=0.5");
#if KIVO2_HAVE_GIFLIB
  // Every frame we play equals giflib's.
  std::vector<uint64_t> ourFrames, giflibFrames;
  int count = 0;
  DecodeOurs(anim, count, &ourFrames);
  DecodeGiflib(anim, count, &giflibFrames);
  if (ourFrames.size() != 100 || ourFrames != giflibFrames) {
    bench::ReportError(decodeJob, "the played frames differ from giflib's");
    ++failures;
  } else {
    int giflibCount = 0;
    const auto [ourTime, giflib] = TakingTurns(decodeOurs, [&] { DecodeGiflib(anim, giflibCount); });
    std::printf("decode  kivo2 TGIFImage   %8.1f ms, giflib %.1f ms (%d frames, equal)  ratio %.3f (goal: at most 1.0)\n",
                ourTime * 1000, giflib * 1000, giflibCount, ourTime / giflib);
    bench::Report(decodeJob, ourTime, "giflib DGifSlurp + frames laid on the screen", giflib, "ratio<=1.0");
  }
#else
  bench::ReportError(decodeJob, "giflib not built (libgif-dev missing)");
  ++failures;
#endif

  const auto [encode, magickEncode] = TakingTurns([&] { EncodeOurs(bmp, ours); }, [&] {
    if (RunProgram({kConvert, "-limit", "thread", "1", bmp, "-dither", "FloydSteinberg", "-colors", "256", theirs},
                   true) != 0) {
      bench::ReportError(encodeJob, "ImageMagick -colors 256 failed");
      std::exit(1);
    }
  });
  std::printf("encode  kivo2 TGIFImage   %8.1f ms, ImageMagick %.1f ms  ratio %.3f (goal: below 1)\n", encode * 1000,
              magickEncode * 1000, encode / magickEncode);
  bench::Report(encodeJob, encode, "ImageMagick -colors 256 FloydSteinberg, 1 thread", magickEncode, "ratio<1");
  cleanUp();
  return failures ? 1 : 0;
}
