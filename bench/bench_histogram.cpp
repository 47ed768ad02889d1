// Histogram speed: the histogram of a 24-megapixel picture (6000 x 4000, 24-bit) for each
// colour plane, against ImageMagick's histogram of the same picture
// ("-format %c histogram:info:", single-threaded) in the same run.
//
// Reading the picture is left out on both sides: ours starts from a bitmap in memory;
// ImageMagick reads its memory-mapped pixel cache (.mpc), and the time of the same command
// without the histogram (start-up and reading) is subtracted. Our figures are the best of
// several runs, ImageMagick's histogram is timed once. Goal: a ratio of at most 0.2 (plane 0, the one the main window draws).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "platform/graphics/Graphics.h"
#include "tools/HistogramTools.h"

namespace {

const char* const kPlanes[16] = {"intensity", "red", "green", "blue", "HSV hue", "HSV saturation",
                                 "HSV value", "HLS hue", "lightness", "HLS saturation", "cyan", "magenta",
                                 "yellow", "black", "intensity", "luminance"};

bool Run(const std::vector<std::string>& args) { return bench::RunProgram(args, true) == 0; }

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const int w = 6000, h = 4000;
  char folderTemplate[] = "/tmp/kivo2-bench-histogram-XXXXXX";
  const char* folder = mkdtemp(folderTemplate);
  if (folder == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string bmp = std::string(folder) + "/picture.bmp";
  const std::string mpc = std::string(folder) + "/picture.mpc";
  // Photo-like, with as many colours as a camera picture has.
  if (!bench::MakePhotoLikePicture("BMP3:" + bmp, w, h) || !Run({"convert", bmp, mpc})) {
    bench::ReportError("histogram", "ImageMagick's convert is needed to make the picture");
    return 1;
  }
  TBitmap picture;
  picture.LoadFromFile(bmp);
  picture.SetPixelFormat(pf24bit);

  std::printf("Histogram of %dx%d, 24-bit, best of %d runs; ImageMagick with -limit thread 1\n", w, h, runs);
  const double startUp =
      bench::BestSeconds([&] { Run({"convert", "-limit", "thread", "1", mpc, "-format", "%w", "info:"}); }, runs);
  // ImageMagick counts every distinct colour: many seconds on a photo, so one run is enough.
  const double total = bench::BestSeconds(
      [&] { Run({"convert", "-limit", "thread", "1", mpc, "-format", "%c", "histogram:info:"}); }, 1);
  const double theirs = std::max(total - startUp, 1e-6);
  std::printf("ImageMagick start-up and read: %.3f s (subtracted); its histogram: %.3f s\n\n", startUp, theirs);
  std::printf("%-6s %-15s %10s %8s\n", "plane", "counts", "Kivo2 s", "ratio");
  for (int plane = 0; plane < 16; ++plane) {
    THistogram histogram;
    const double ours = bench::BestSeconds([&] { GetHistogram(picture, plane, histogram); }, runs);
    std::printf("%-6d %-15s %10.3f %8.3f\n", plane, kPlanes[plane], ours, ours / theirs);
    // The goal is for the colour counts (plane 0); the other planes are shown beside it.
    bench::Report("histogram 24 MP, plane " + std::to_string(plane) + " (" + kPlanes[plane] + ")", ours,
                  "ImageMagick histogram:info", theirs, plane == 0 ? "ratio<=0.2" : "-");
  }
  std::filesystem::remove_all(folder);
  return 0;
}
