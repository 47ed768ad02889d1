// TIFF decoding speed: a 4000 x 3000 RGB picture stored with LZW and the horizontal
// predictor (written by tiffcp -c lzw:2), loaded through TPicture, against libtiff's
// tiff2rgba on the same file in the same run. Each figure is the best of several
// runs; tiff2rgba's time includes its start and the writing of its uncompressed
// output to a memory-backed folder, which is what it takes to get its pixels.
// Goal: Kivo2 at most as long as tiff2rgba.
//
//   bench_tiff [RUNS]            wall times, best of RUNS (5)
//   bench_tiff --instructions    also the instructions both sides execute, counted by
//                                valgrind's callgrind (steady on a busy machine)
//   bench_tiff --load FILE       one load of FILE and nothing else, for a profiler
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "formats/GraphicFormats.h"
#include "platform/graphics/Graphics.h"

namespace {

// The instructions a program executes, counted by callgrind; 0 when it cannot run.
double Instructions(std::vector<std::string> argv, const std::string& folder) {
  const std::string out = folder + "/callgrind.out";
  argv.insert(argv.begin(), {"valgrind", "--tool=callgrind", "--log-file=/dev/null", "--callgrind-out-file=" + out});
  if (bench::RunProgram(argv, true) != 0) return 0;
  std::ifstream in(out);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("totals:", 0) == 0 || line.rfind("summary:", 0) == 0) return std::atof(line.c_str() + line.find(':') + 1);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--load") {
    InitializeGraphicFormats();
    TPicture picture;
    picture.LoadFromFile(argv[2]);
    return picture.Width() > 0 ? 0 : 1;
  }
  const bool instructions = argc > 1 && std::string(argv[1]) == "--instructions";
  const int runs = argc > 1 && !instructions ? std::max(1, std::atoi(argv[1])) : 5;
  const int w = 4000, h = 3000;
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string folderTemplate = std::string(base) + "/kivo2-bench-tiff-XXXXXX";
  const char* folder = mkdtemp(folderTemplate.data());
  if (folder == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string plain = std::string(folder) + "/plain.tif";
  const std::string lzw = std::string(folder) + "/picture.tif";
  const std::string rgba = std::string(folder) + "/rgba.tif";
  if (!bench::MakePhotoLikePicture(plain, w, h, {"-compress", "none"}) || bench::RunProgram({"tiffcp", "-c", "lzw:2", plain, lzw}) != 0) {
    bench::ReportError("TIFF LZW decode", "ImageMagick's convert and libtiff's tiffcp are needed to make the picture");
    return 1;
  }
  InitializeGraphicFormats();
  TPicture picture;
  picture.LoadFromFile(lzw);
  if (picture.Width() != w || picture.Height() != h) {
    bench::ReportError("TIFF LZW decode", "the picture did not load at its size");
    return 1;
  }

  std::printf("TIFF %dx%d RGB, LZW with predictor (%.1f MB), best of %d runs\n", w, h,
              double(std::filesystem::file_size(lzw)) / 1e6, runs);
  const double ours = bench::BestSeconds(
      [&] {
        TPicture p;
        p.LoadFromFile(lzw);
      },
      runs);
  const double theirs = bench::BestSeconds([&] { bench::RunProgram({"tiff2rgba", "-c", "none", lzw, rgba}); }, runs);
  const double ratio = ours / theirs;
  std::printf("%-22s %8.3f s\n%-22s %8.3f s\nratio %.2f\n", "Kivo2 (TPicture)", ours, "tiff2rgba", theirs, ratio);
  bench::Report("TIFF LZW+predictor decode 4000x3000", ours, "tiff2rgba", theirs, "ratio<=1.0");
  std::fflush(stdout);
  if (instructions) {
    const double ourCount = Instructions({std::filesystem::read_symlink("/proc/self/exe").string(), "--load", lzw}, folder);
    const double theirCount = Instructions({"tiff2rgba", "-c", "none", lzw, rgba}, folder);
    if (ourCount > 0 && theirCount > 0)
      std::printf("instructions (callgrind, whole process): Kivo2 %.0f, tiff2rgba %.0f, ratio %.2f\n", ourCount,
                  theirCount, ourCount / theirCount);
    else
      std::printf("instructions: valgrind is needed\n");
  }
  std::filesystem::remove_all(folder);
  return 0;
}
