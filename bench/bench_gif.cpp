// The GIF image class against the reference tools in one run:
// - decoding every frame of a 100-frame 640x480 animation made by ImageMagick to
//   full-screen frames (transparency and disposal applied), through TGIFImage and its
//   painter, against ImageMagick's "-coalesce" on one thread and against giflib (the
//   file read with DGifSlurp and each frame laid on the screen the same way);
// - encoding a 1920x1080 photo to a 256-colour GIF (octree palette, Floyd-Steinberg),
//   against ImageMagick's "-colors 256" with the same dither on one thread.
// Each side reads its input file; the best of several runs counts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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

// Plays every frame into a screen-sized 24-bit bitmap; sums one byte per row of each
// frame so that the work cannot be left out.
uint64_t DecodeOurs(const std::string& file, int& frames) {
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
  };
  gif.Paint(screen.Canvas(), Rect(0, 0, gif.Width(), gif.Height()), doTransparent | doAnimate);
  return sum;
}

#if KIVO2_HAVE_GIFLIB
// The same with giflib: every frame laid on an RGB screen with its transparency, and
// disposed to the background or to the previous picture.
uint64_t DecodeGiflib(const std::string& file, int& frames) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(file.c_str(), &error);
  if (!gif || DGifSlurp(gif) != GIF_OK) std::exit(1);
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

}  // namespace

int main(int argc, char** argv) {
  char dirTemplate[] = "/tmp/kivo2-bench-gif-XXXXXX";
  if (!mkdtemp(dirTemplate)) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = dirTemplate;
  const std::string anim = dir + "/anim.gif", bmp = dir + "/photo.bmp", ours = dir + "/ours.gif",
                    theirs = dir + "/theirs.gif";
  std::printf("Making a 100-frame 640x480 animated GIF with ImageMagick...\n");
  if (RunProgram({kConvert, "-seed", "7", "-size", "640x480", "plasma:fractal", "-duplicate", "99", "-distort", "SRT",
                  "%[fx:t*3.6]", "-colors", "256", "-delay", "4", "-loop", "0", anim}) != 0) {
    std::fprintf(stderr, "convert failed\n");
    return 1;
  }
  // The photo: a file given on the command line, else a photo-like picture.
  const std::string source = argc > 1 ? argv[1] : std::string();
  const bool made = source.empty()
                        ? bench::MakePhotoLikePicture(bmp, 1920, 1080)
                        : RunProgram({kConvert, source, "-resize", "1920x1080!", "-type", "truecolor", "bmp3:" + bmp}) == 0;
  if (!made) return 1;

  int frames = 0;
  const double decode = BestSeconds([&] { DecodeOurs(anim, frames); }, 3);
  std::printf("decode  kivo2 TGIFImage   %8.1f ms (%d frames)\n", decode * 1000, frames);
  const double magick = BestSeconds(
      [&] {
        if (RunProgram({kConvert, "-limit", "thread", "1", anim, "-coalesce", "ppm:-"}, true) != 0) std::exit(1);
      },
      3);
  std::printf("decode  ImageMagick       %8.1f ms  ratio %.3f (goal: at most 0.5)\n", magick * 1000, decode / magick);
#if KIVO2_HAVE_GIFLIB
  int giflibFrames = 0;
  const double giflib = BestSeconds([&] { DecodeGiflib(anim, giflibFrames); }, 3);
  std::printf("decode  giflib            %8.1f ms (%d frames)  ratio %.3f (goal: at most 1.5)\n", giflib * 1000,
              giflibFrames, decode / giflib);
#else
  std::printf("decode  giflib            not built (libgif-dev missing)\n");
#endif

  const double encode = BestSeconds([&] { EncodeOurs(bmp, ours); }, 3);
  std::printf("encode  kivo2 TGIFImage   %8.1f ms\n", encode * 1000);
  const double magickEncode = BestSeconds(
      [&] {
        if (RunProgram({kConvert, "-limit", "thread", "1", bmp, "-dither", "FloydSteinberg", "-colors", "256", theirs},
                       true) != 0)
          std::exit(1);
      },
      3);
  std::printf("encode  ImageMagick       %8.1f ms  ratio %.3f (goal: below 1)\n", magickEncode * 1000,
              encode / magickEncode);
  for (const std::string& f : {anim, bmp, ours, theirs}) std::remove(f.c_str());
  rmdir(dir.c_str());
  return 0;
}
