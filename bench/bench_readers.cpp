// Decoding speed of the Photoshop (run-length), PCX (24-bit), SGI (run-length) and
// portable pixel map (P6) readers through the picture object, against ImageMagick
// (`convert FILE ppm:-` on one thread) and, where netpbm has a reader, against it, on
// the same 4000 x 3000 files in the same run. Each figure is the best of several runs;
// the tools' times include their start and the writing of their PPM output to
// /dev/null, which is what it takes to get their pixels.
// Goal: every reader at most 0.5 times ImageMagick's time and faster than netpbm.
//
//   bench_readers [RUNS]          wall times, best of RUNS (5)
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "formats/GraphicFormats.h"
#include "platform/graphics/Graphics.h"

namespace {

struct Reader {
  const char* label;
  std::string file;
  std::vector<std::string> netpbm;  // the netpbm reader's command, empty when it has none
};

double Ours(const std::string& file, int runs) {
  return bench::BestSeconds(
      [&] {
        TPicture picture;
        picture.LoadFromFile(file);
        if (picture.Width() != 4000) {
          bench::ReportError(file, "decoded to the wrong width");
          std::exit(1);
        }
      },
      runs);
}

double Tool(const std::vector<std::string>& argv, int runs) {
  return bench::BestSeconds(
      [&] {
        if (bench::RunProgram(argv, true) != 0) {
          bench::ReportError(argv.back(), argv[0] + " failed");
          std::exit(1);
        }
      },
      runs);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string folderTemplate = std::string(base) + "/kivo2-bench-readers-XXXXXX";
  const char* folder = mkdtemp(folderTemplate.data());
  if (folder == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = folder;
  const std::string ppm = dir + "/picture.ppm";
  std::printf("Making a 4000x3000 picture with ImageMagick, then its PSD, PCX and SGI files...\n");
  std::fflush(stdout);
  const std::vector<Reader> readers = {
      {"PSD", dir + "/picture.psd", {}},
      {"PCX", dir + "/picture.pcx", {"pcxtoppm", "-quiet"}},
      {"SGI", dir + "/picture.sgi", {"sgitopnm", "-quiet"}},
      {"PNM", ppm, {"pamtopnm", "-quiet"}},
  };
  if (!bench::MakePhotoLikePicture(ppm, 4000, 3000) ||
      bench::RunProgram({"convert", ppm, "-compress", "RLE", readers[0].file}) != 0 ||
      bench::RunProgram({"convert", ppm, readers[1].file}) != 0 ||
      bench::RunProgram({"convert", ppm, "-compress", "RLE", readers[2].file}) != 0) {
    bench::ReportError("PSD, PCX, SGI and PNM decode", "ImageMagick's convert is needed to make the pictures");
    return 1;
  }
  InitializeGraphicFormats();
  std::printf("best of %d runs, seconds\n%-4s %8s %10s %8s %9s %8s\n", runs, "", "Kivo2", "ImageMagick", "ratio",
              "netpbm", "ratio");
  for (const Reader& r : readers) {
    const double ours = Ours(r.file, runs);
    const double magick = Tool(
        {"convert", "-limit", "thread", "1", r.file + (r.label == std::string("PSD") ? "[0]" : ""), "ppm:-"}, runs);
    std::vector<std::string> netpbm = r.netpbm;
    if (!netpbm.empty()) netpbm.push_back(r.file);
    const double theirs = netpbm.empty() ? 0 : Tool(netpbm, runs);
    std::printf("%-4s %8.3f %10.3f %8.2f", r.label, ours, magick, ours / magick);
    if (theirs > 0)
      std::printf(" %9.3f %8.2f  (%s)\n", theirs, ours / theirs, r.netpbm[0].c_str());
    else
      std::printf(" %9s %8s\n", "-", "-");
    // At most half of ImageMagick's time, and faster than netpbm's reader where there is one.
    const std::string job = std::string(r.label) + " decode 4000x3000";
    bench::Report(job, ours, "convert -limit thread 1", magick, "ratio<=0.5");
    if (theirs > 0) bench::Report(job, ours, r.netpbm[0], theirs, "ratio<1.0");
  }
  std::filesystem::remove_all(dir);
  return 0;
}
