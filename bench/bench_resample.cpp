// Resampling speed: Stretch with each of the seven filters, 6000 x 4000 to
// 1600 x 1067 (24-bit), against ImageMagick's single-threaded resize with the filter
// of the same definition on the same picture, in the same run.
//
// Reading the picture is left out on both sides: ours starts from a bitmap in
// memory; ImageMagick reads its memory-mapped pixel cache (.mpc), and the time of the
// same command without the resize (start-up and reading) is subtracted. Each figure
// is the best of several runs. Goal: a ratio of at most 0.5 for every filter.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "formats/Resample.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kOurs[ResamplingFilterCount] = {"Box", "Triangle", "Hermite", "Bell", "Spline", "Lanczos3", "Mitchell"};
const char* const kImageMagick[ResamplingFilterCount] = {"Box",    "Triangle", "Hermite", "Quadratic",
                                                         "Spline", "Lanczos",  "Mitchell"};

// Runs a program with its arguments (no shell); true when it exits with 0.
bool RunTool(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <class F>
double BestSeconds(int runs, F&& f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    f();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
  }
  return best;
}

// Makes a photo-like picture with ImageMagick: plasma at a quarter of the size,
// enlarged, with fine noise and a few hard-edged shapes; the same on every run.
bool MakePicture(int w, int h, const std::string& path) {
  const std::string draw = "rectangle " + std::to_string(w / 15) + "," + std::to_string(h / 13) + " " +
                           std::to_string(w * 3 / 20) + "," + std::to_string(h * 7 / 40) + " circle " +
                           std::to_string(w * 5 / 6) + "," + std::to_string(h / 4) + " " +
                           std::to_string(w * 53 / 60) + "," + std::to_string(h * 3 / 10);
  return RunTool({"convert", "-seed", "7", "-size", std::to_string(w / 4) + "x" + std::to_string(h / 4),
                  "plasma:fractal", "-filter", "Triangle", "-resize", std::to_string(w) + "x" + std::to_string(h) + "!",
                  "-seed", "7", "-attenuate", "0.4", "+noise", "Gaussian", "-fill", "#10f020", "-draw", draw,
                  "-depth", "8", "-type", "TrueColor", path});
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const int sw = 6000, sh = 4000, tw = 1600, th = 1067;

  char folderTemplate[] = "/tmp/kivo2-bench-resample-XXXXXX";
  const char* folder = mkdtemp(folderTemplate);
  if (folder == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string bmp = std::string(folder) + "/picture.bmp";
  const std::string mpc = std::string(folder) + "/picture.mpc";
  if (!MakePicture(sw, sh, "BMP3:" + bmp) || !RunTool({"convert", bmp, mpc})) {
    bench::ReportError("resample", "ImageMagick's convert is needed to make the picture");
    return 1;
  }
  TBitmap source;
  source.LoadFromFile(bmp);
  source.SetPixelFormat(pf24bit);

  std::printf("Stretch %dx%d -> %dx%d, 24-bit, best of %d runs; ImageMagick with -limit thread 1\n", sw, sh, tw, th,
              runs);
  const double startUp = BestSeconds(runs, [&] { RunTool({"convert", "-limit", "thread", "1", mpc, "null:"}); });
  std::printf("ImageMagick start-up and read: %.3f s (subtracted)\n\n", startUp);
  std::printf("%-9s %-10s %10s %14s %8s\n", "filter", "IM filter", "Kivo2 s", "ImageMagick s", "ratio");
  for (int f = 0; f < ResamplingFilterCount; ++f) {
    TBitmap target;
    const double ours = BestSeconds(runs, [&] { Stretch(tw, th, TResamplingFilter(f), 0, source, target); });
    const std::string size = std::to_string(tw) + "x" + std::to_string(th) + "!";
    const double total = BestSeconds(runs, [&] {
      RunTool({"convert", "-limit", "thread", "1", mpc, "-filter", kImageMagick[f], "-resize", size, "null:"});
    });
    const double theirs = std::max(total - startUp, 1e-6);
    const double ratio = ours / theirs;
    std::printf("%-9s %-10s %10.3f %14.3f %8.2f\n", kOurs[f], kImageMagick[f], ours, theirs, ratio);
    bench::Report(std::string("Stretch 6000x4000 to 1600x1067, ") + kOurs[f], ours,
                  std::string("convert -resize -filter ") + kImageMagick[f], theirs, "ratio<=0.5");
  }
  std::filesystem::remove_all(folder);
  return 0;
}
