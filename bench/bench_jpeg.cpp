// Decoding speed of TJPEGImage against djpeg on one 6000x4000 picture, at the four
// DCT scales. Each side reads the file and decodes it; the best of several runs counts.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/graphics/Jpeg.h"

extern char** environ;

namespace {

constexpr int kRuns = 5;

// Runs a program with its arguments (no shell); returns its exit code.
int RunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

template <class Fn>
double BestSeconds(Fn fn) {
  double best = 1e30;
  for (int i = 0; i < kRuns; ++i) {
    auto start = std::chrono::steady_clock::now();
    fn();
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (s < best) best = s;
  }
  return best;
}

}  // namespace

int main() {
  char dirTemplate[] = "/tmp/kivo2-bench-jpeg-XXXXXX";
  if (!mkdtemp(dirTemplate)) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = dirTemplate;
  const std::string file = dir + "/big.jpg";
  std::printf("Making a 6000x4000 JPEG (quality 90) with ImageMagick...\n");
  if (RunProgram({"convert", "-size", "6000x4000", "-seed", "7", "plasma:fractal", "-quality", "90", file}) != 0) {
    std::fprintf(stderr, "convert failed\n");
    return 1;
  }
  const TJPEGScale scales[] = {jsFullSize, jsHalf, jsQuarter, jsEighth};
  bool allWithin = true;
  for (int i = 0; i < 4; ++i) {
    const int n = 1 << i;
    int width = 0;
    double ours = BestSeconds([&] {
      TJPEGImage jpeg;
      jpeg.SetScale(scales[i]);
      jpeg.LoadFromFile(file);
      width = jpeg.Bitmap().Width();
    });
    const std::string scale = "1/" + std::to_string(n);
    double theirs = BestSeconds([&] {
      if (RunProgram({"djpeg", "-scale", scale, "-outfile", "/dev/null", file}) != 0) std::exit(1);
    });
    double ratio = ours / theirs;
    allWithin = allWithin && ratio <= 1.10;
    std::printf("scale %-4s width %5d  kivo2 %8.1f ms  djpeg %8.1f ms  ratio %.3f\n", scale.c_str(), width,
                ours * 1000, theirs * 1000, ratio);
  }
  std::printf("%s\n", allWithin ? "every ratio is at most 1.10" : "some ratio is above 1.10");
  std::remove(file.c_str());
  rmdir(dir.c_str());
  return 0;
}
