// Decoding speed of the PNG and Targa readers through the picture object against
// netpbm's pngtopam (libpng) and tgatoppm, on a 4000x3000 RGB picture written by
// ImageMagick as a PNG (zlib level 6) and as a run-length Targa, in the same run.
// Each side reads the file and decodes it; the best of several runs counts.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchRun.h"
#include "formats/GraphicFormats.h"
#include "platform/graphics/Graphics.h"

namespace {

using bench::BestSeconds;
using bench::RunProgram;

double Compare(const char* label, const std::string& file, const std::string& tool, const std::string& goal) {
  int width = 0;
  const double ours = BestSeconds([&] {
    TPicture picture;
    picture.LoadFromFile(file);
    width = picture.Width();
  });
  const double theirs = BestSeconds([&] {
    if (RunProgram({tool, file}, true) != 0) {
      bench::ReportError(std::string(label) + " decode", tool + " failed");
      std::exit(1);
    }
  });
  const double ratio = ours / theirs;
  std::printf("%-6s width %d  kivo2 %8.1f ms  %-9s %8.1f ms  ratio %.3f\n", label, width, ours * 1000, tool.c_str(),
              theirs * 1000, ratio);
  bench::Report(std::string(label) + " decode 4000x3000", ours, tool, theirs, goal);
  return ratio;
}

}  // namespace

int main() {
  char dirTemplate[] = "/tmp/kivo2-bench-png-XXXXXX";
  if (!mkdtemp(dirTemplate)) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = dirTemplate;
  const std::string png = dir + "/big.png", tga = dir + "/big.tga";
  std::printf("Making a 4000x3000 RGB PNG (zlib level 6) and a run-length Targa with ImageMagick...\n");
  if (RunProgram({"convert", "-size", "4000x3000", "-seed", "7", "plasma:fractal", "-depth", "8", "-define",
                  "png:compression-level=6", "PNG24:" + png},
                 false) != 0 ||
      RunProgram({"convert", png, "-compress", "RLE", tga}, false) != 0) {
    bench::ReportError("PNG and Targa decode", "convert failed");
    return 1;
  }
  InitializeGraphicFormats();
  // At most 1.3 times libpng's time; faster than tgatoppm.
  Compare("PNG", png, "pngtopam", "ratio<=1.3");
  Compare("Targa", tga, "tgatoppm", "ratio<1.0");
  std::remove(png.c_str());
  std::remove(tga.c_str());
  rmdir(dir.c_str());
  return 0;
}
