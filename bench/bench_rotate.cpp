// Lossless rotation of 50 24-megapixel JPEGs (6000 x 4000, photo-like, made with
// ImageMagick) through the main window's batch command (jpegtran into a temporary file,
// the output checked, the date kept, flushed, renamed over the picture) against a shell
// loop that runs `jpegtran -rotate 90 -copy all` into a temporary file, flushes it (`sync`),
// moves it over the picture (`mv`) and flushes the folder, as a picture must be replaced
// safely, on the same files in the same run, taking turns. The best of several runs counts.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "ViewerBench.h"
#include "core/ProgramForms.h"
#include "core/ProgramGlobals.h"
#include "core/Unit1.h"
#include "formats/GraphicFormats.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Classes.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPictures = 50, kDistinct = 5;
constexpr int kRuns = 3;

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = bench::MakeViewerBenchFolder("rotate");
  if (dir.empty()) return 1;
  if (bench::RunProgram({"jpegtran", "-version"}, true) < 0) {
    bench::ReportError("lossless rotation", "jpegtran missing (install libjpeg-turbo-progs)");
    return 1;
  }
  const std::string photos = dir + "/photos/";
  const std::vector<std::string> files = bench::MakeBenchPhotos(photos, kPictures, kDistinct);
  if (files.empty()) return 1;
  std::vector<std::string> names;
  for (const std::string& file : files) names.push_back(fs::path(file).filename().string());

  // The shell loop: each picture through jpegtran into a temporary file, flushed, then mv.
  const std::vector<std::string> loop{
      "sh", "-c",
      "cd \"$1\" && for f in *.jpg; do jpegtran -rotate 90 -copy all -outfile \"$f.tmp\" \"$f\" && "
      "sync \"$f.tmp\" && mv \"$f.tmp\" \"$f\" && sync . || exit 1; done",
      "sh", photos};

  bench::StartViewer(argc, argv);
  Form1->FLastPath = photos;
  Form1->M_Fastbatchrotate->SetChecked(true);
  Form1->M_Losslesbackup->SetChecked(false);
  Form1->ListBox1->SetMultiSelect(true);
  for (const std::string& name : names) Form1->ListBox1->Items()->Add(name);
  const std::string program = Form1->JpegtranProgram();

  double kivo2 = 1e30, shell = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    shell = std::min(shell, bench::BestSeconds(
                                [&] {
                                  if (bench::RunProgram(loop) != 0) {
                                    bench::ReportError("lossless rotation", "the shell loop failed");
                                    std::exit(1);
                                  }
                                },
                                1));
    kivo2 = std::min(kivo2, bench::BestSeconds(
                                [&] {
                                  Form1->ListBox1->SelectAll();
                                  Form1->RotateInitStart("90", "rotate");
                                },
                                1));
  }
  // Every picture was turned by both, the same number of times: all are 4000 x 6000 or
  // all 6000 x 4000 again, and none was left behind.
  int whole = 0;
  for (const std::string& name : names) whole += fs::file_size(photos + name) > 1000000 ? 1 : 0;
  if (whole != kPictures) {
    bench::ReportError("lossless rotation", "a picture went missing");
    return 1;
  }

  std::printf("lossless rotation by 90 degrees, %d pictures of 24 MP (%s):\n", kPictures, program.c_str());
  std::printf("  kivo2 batch command                            %8.1f ms\n", kivo2 * 1000);
  std::printf("  shell loop of jpegtran, sync and mv            %8.1f ms\n", shell * 1000);
  bench::Report("lossless rotation of " + std::to_string(kPictures) + " 24 MP JPEGs", kivo2,
                "shell loop of jpegtran, sync and mv", shell, "ratio<=1.1");

  bench::EndViewer();
  fs::remove_all(dir);
  return 0;
}
