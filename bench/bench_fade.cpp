// Fade transition speed: one step of each fade style of the fade control on two
// 1920 x 1080 24-bit pictures, against memcpy of one such picture in the same run (the
// physical floor: a blend reads two pictures and writes one).
//
// A blend step mixes the whole picture at one weight; a dissolve step copies one frame's
// slice of the pixel order (Width x Height div DisolvRate pixels, DisolvRate 125), timed
// as the mean of all the frames of a run. Building a dissolve's pixel order happens once
// per run; it is reported apart, and spread over the run's frames in the last column.
// Each figure is the best of several runs. Goal: every style within 4 x memcpy.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchRun.h"
#include "controls/ZephFade.h"
#include "platform/gui/Forms.h"

namespace {

// A picture with smooth gradients and some detail, the same on every run.
void FillPicture(TBitmap& bmp, int w, int h, unsigned seed) {
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(w, h);
  uint32_t state = seed;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      state = state * 1664525u + 1013904223u;
      row[3 * x] = uint8_t(x * 255 / w);
      row[3 * x + 1] = uint8_t(y * 255 / h);
      row[3 * x + 2] = uint8_t((x ^ y) + (state >> 28));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  Application->Initialize();
  const int w = 1920, h = 1080;

  TPicture from, to;
  FillPicture(*from.Bitmap(), w, h, 1);
  FillPicture(*to.Bitmap(), w, h, 2);
  TZephFade fade(nullptr);
  fade.SetBounds(0, 0, w, h);
  fade.SetPicFrom(&from);
  fade.SetPicTo(&to);
  fade.PrepareFadeBitmaps();

  const size_t bytes = size_t(fade.ShownBitmap().RowStride()) * h;
  std::vector<uint8_t> src(bytes, 1), dst(bytes, 2);
  const double copy = bench::BestSeconds([&] { std::memcpy(dst.data(), src.data(), bytes); }, runs * 4);

  std::printf("Fade steps on %dx%d 24-bit pictures, best of %d runs\n", w, h, runs);
  std::printf("memcpy of one picture (%zu bytes): %.3f ms\n\n", bytes, copy * 1e3);
  std::printf("%-22s %10s %8s %14s %12s\n", "style", "step ms", "ratio", "order ms/run", "ratio+order");

  // Blend: one step mixes the whole picture.
  fade.StartBlend();
  int weight = 0;
  const double blend = bench::BestSeconds([&] { fade.BlendScanlines(1 + (weight++ % 31)); }, runs * 4);
  std::printf("%-22s %10.3f %8.2f %14s %12s\n", "blend", blend * 1e3, blend / copy, "-", "-");
  bench::Report("fade step 1920x1080: blend", blend, "memcpy of one picture", copy, "ratio<=4");

  // Dissolves in the seven pixel orders.
  const char* const names[7] = {"dissolve 0 random",   "dissolve 1 left",      "dissolve 2 right",
                                "dissolve 3 top",      "dissolve 4 bottom",    "dissolve 5 columns in",
                                "dissolve 6 rows in"};
  for (int side = 0; side <= 6; ++side) {
    fade.SetFromSide(side);
    const double build = bench::BestSeconds([&] { fade.BuildPixelOrder(); }, runs);
    const size_t n = fade.PixelOrder().size();
    const size_t k = n / 125, frames = n / k;
    const double all = bench::BestSeconds(
        [&] {
          for (size_t f = 0; f < frames; ++f) fade.CopyPixels(f * k, k);
        },
        runs);
    const double step = all / double(frames);
    const double withOrder = step + build / double(frames);
    std::printf("%-22s %10.3f %8.2f %14.2f %12.2f\n", names[side], step * 1e3, step / copy, build * 1e3,
                withOrder / copy);
    bench::Report(std::string("fade step 1920x1080: ") + names[side], step, "memcpy of one picture", copy, "ratio<=4");
  }
  return 0;
}
