// Decoding speed of TJPEGImage against djpeg on one 6000x4000 picture, at the four DCT
// scales. Each side reads the file and decodes it, taking turns; the best run counts.
// With a file and a denominator as arguments it only decodes that file once at that
// scale (for a profiler).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchRun.h"
#include "platform/graphics/Jpeg.h"

namespace {

constexpr int kRuns = 15;
const TJPEGScale kScales[] = {jsFullSize, jsHalf, jsQuarter, jsEighth};

int Decode(const std::string& file, TJPEGScale scale) {
  TJPEGImage jpeg;
  jpeg.SetScale(scale);
  jpeg.LoadFromFile(file);
  return jpeg.Bitmap().Width();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3) {
    const int n = std::atoi(argv[2]);
    for (int i = 0; i < 4; ++i)
      if (n == 1 << i) return Decode(argv[1], kScales[i]) > 0 ? 0 : 1;
    return 1;
  }
  char dirTemplate[] = "/tmp/kivo2-bench-jpeg-XXXXXX";
  if (!mkdtemp(dirTemplate)) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = dirTemplate;
  const std::string file = dir + "/big.jpg";
  std::printf("Making a 6000x4000 JPEG (quality 90) with ImageMagick...\n");
  if (bench::RunProgram({"convert", "-size", "6000x4000", "-seed", "7", "plasma:fractal", "-quality", "90", file}) !=
      0) {
    bench::ReportError("JPEG decode", "convert failed");
    return 1;
  }
  int failed = 0;
  for (int i = 0; i < 4; ++i) {
    const std::string scale = "1/" + std::to_string(1 << i);
    double ours = 1e30, theirs = 1e30;
    for (int run = 0; run < kRuns && !failed; ++run) {
      ours = std::min(ours, bench::BestSeconds([&] { Decode(file, kScales[i]); }, 1));
      theirs = std::min(theirs, bench::BestSeconds(
                                    [&] {
                                      failed = bench::RunProgram({"djpeg", "-scale", scale, "-outfile", "/dev/null",
                                                                  file}) != 0;
                                    },
                                    1));
    }
    if (failed) {
      bench::ReportError("JPEG decode " + scale, "djpeg failed");
      break;
    }
    bench::Report("JPEG decode 6000x4000 at " + scale, ours, "djpeg -scale " + scale, theirs, "ratio<=1.0");
  }
  std::remove(file.c_str());
  rmdir(dir.c_str());
  return failed;
}
