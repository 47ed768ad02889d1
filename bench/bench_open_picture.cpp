// Opening a picture in the viewer: the time from OpenThePicture to the fitted picture for a
// 24-megapixel JPEG (6000 x 4000, made with ImageMagick) in a 1280 x 800 picture area,
// against the same work done by the reference tools: djpeg at the same DCT scale, then
// ImageMagick's resize to the same size. ImageMagick runs once with its default threads
// and once limited to one thread; the viewer runs with its default plain fit and with the
// resample filter switched on. The best of several runs counts for each.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchRun.h"
#include "ViewerBench.h"
#include "controls/EventScrollbox.h"
#include "core/ProgramForms.h"
#include "core/ProgramGlobals.h"
#include "core/Unit1.h"
#include "core/UnitFilterselect.h"
#include "formats/GraphicFormats.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int kAreaWidth = 1280, kAreaHeight = 800;
constexpr int kRuns = 7;

double ViewerSeconds(const std::string& file, bool filtered) {
  Form1->Smoothstrech->SetChecked(filtered);
  return bench::BestSeconds([&] { Form1->OpenThePicture(file); }, kRuns);
}

}  // namespace

int main(int argc, char** argv) {
  char dirTemplate[] = "/tmp/kivo2-bench-open-XXXXXX";
  if (!mkdtemp(dirTemplate)) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = dirTemplate;
  // The viewer runs without a screen and keeps its settings and answers to itself.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("KIVO2_UNDER_TEST", "1", 1);
  setenv("KIVO2_REGISTRY_DIR", dir.c_str(), 1);

  const std::string file = dir + "/photo.jpg";
  std::printf("Making a 6000x4000 JPEG (quality 90) with ImageMagick...\n");
  if (bench::RunProgram({"convert", "-size", "6000x4000", "-seed", "11", "plasma:fractal", "-quality", "90", file},
                        true) != 0) {
    bench::ReportError("open a 24 MP JPEG", "convert failed");
    return 1;
  }

  bench::StartViewer(argc, argv);
  Form1->ScrollBox1->SetAlign(alNone);
  Form1->ScrollBox1->SetBounds(0, 0, kAreaWidth, kAreaHeight);
  Form1->FLastPath = dir + "/";
  Form1->InitExtensions();

  // One opening to learn the scale and the fitted size the viewer chooses.
  Form1->Smoothstrech->SetChecked(false);
  Form1->OpenThePicture(file);
  const std::string scale = Form1->FScaleText.empty() ? "1/1" : Form1->FScaleText.substr(1);
  const int width = Form1->FFitWidth, height = Form1->FFitHeight;
  std::printf("picture area %dx%d: decode scale %s, fitted to %dx%d\n", kAreaWidth, kAreaHeight, scale.c_str(), width,
              height);
  if (width <= 0 || height <= 0 || Form1->FPlaceholderShown) {
    bench::ReportError("open a 24 MP JPEG", "the viewer showed no picture");
    return 1;
  }

  const double plain = ViewerSeconds(file, false);
  const std::string filterName[] = {"Box", "Triangle", "Hermite", "Quadratic", "Spline", "Mitchell", "Lanczos"};
  const int choice = FormFilterSelect->RG_Resample->ItemIndex();
  const double filtered = ViewerSeconds(file, true);

  const std::string decoded = dir + "/decoded.ppm";
  const std::string size = std::to_string(width) + "x" + std::to_string(height) + "!";
  auto pipeline = [&](const std::vector<std::string>& options) {
    std::vector<std::string> resize{"convert"};
    resize.insert(resize.end(), options.begin(), options.end());
    resize.insert(resize.end(), {decoded, "-resize", size, "ppm:/dev/null"});
    return bench::BestSeconds(
        [&] {
          if (bench::RunProgram({"djpeg", "-scale", scale, "-outfile", decoded, file}) != 0 ||
              bench::RunProgram(resize) != 0) {
            bench::ReportError("open a 24 MP JPEG", "djpeg or convert failed");
            std::exit(1);
          }
        },
        kRuns);
  };
  const double reference = pipeline({});
  const double referenceOneThread = pipeline({"-limit", "thread", "1"});
  const double referenceFilter = pipeline({"-limit", "thread", "1", "-filter", filterName[choice]});

  std::printf("kivo2 plain fit (default)          %8.1f ms\n", plain * 1000);
  std::printf("kivo2 with the %-8s filter       %8.1f ms\n", filterName[choice].c_str(), filtered * 1000);
  std::printf("djpeg + convert -resize            %8.1f ms\n", reference * 1000);
  std::printf("djpeg + convert, one thread        %8.1f ms\n", referenceOneThread * 1000);
  std::printf("djpeg + convert, one thread, %-8s%6.1f ms\n", filterName[choice].c_str(), referenceFilter * 1000);
  std::printf("ratio plain fit / pipeline                  %.3f\n", plain / reference);
  std::printf("ratio plain fit / one-thread pipeline       %.3f\n", plain / referenceOneThread);
  std::printf("ratio filtered / pipeline                   %.3f\n", filtered / reference);
  std::printf("ratio filtered / one-thread pipeline        %.3f\n", filtered / referenceOneThread);
  std::printf("ratio filtered / one-thread same filter     %.3f\n", filtered / referenceFilter);
  const std::string pipe = "djpeg -scale " + scale + " + convert";
  bench::Report("open 24 MP JPEG fitted, plain", plain, pipe, reference, "ratio<1.0");
  bench::Report("open 24 MP JPEG fitted, plain", plain, pipe + ", 1 thread", referenceOneThread, "ratio<1.0");
  bench::Report("open 24 MP JPEG fitted, " + filterName[choice], filtered, pipe, reference, "ratio<1.0");
  bench::Report("open 24 MP JPEG fitted, " + filterName[choice], filtered, pipe + ", 1 thread", referenceOneThread,
                "ratio<1.0");
  bench::Report("open 24 MP JPEG fitted, " + filterName[choice], filtered, pipe + " -filter, 1 thread",
                referenceFilter, "-");

  bench::EndViewer();
  std::remove(file.c_str());
  std::remove(decoded.c_str());
  rmdir(dir.c_str());
  return 0;
}
