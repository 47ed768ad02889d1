// The Shotgraph scan of a folder of 1,000 JPEG files (focal length, aperture, shutter
// time and ISO of each, counted and charted by the window) against exiftool reading the
// same four values as CSV and exiv2 printing every tag ("exiv2 -pt"), in the same run.
// Prints the files per second of each and the ratios.
//
// The files are 25 pictures made by ImageMagick and tagged by exiftool with camera
// values of their own, each copied 40 times. Each tool gets the whole folder in one
// call, so its process start is paid once.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "ViewerBench.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "core/ProgramForms.h"
#include "core/Unit1.h"
#include "formats/GraphicFormats.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitAnalize.h"

namespace fs = std::filesystem;

namespace {

constexpr int kVariants = 25, kCopies = 40, kRuns = 30;

bool MakeFiles(const std::string& dir, std::vector<std::string>& files) {
  const std::string base = dir + "/base.jpg";
  if (bench::RunProgram({"convert", "-size", "640x480", "-seed", "5", "plasma:", "-quality", "85", base}, true) != 0)
    return false;
  const char* makes[] = {"Canon", "NIKON CORPORATION", "SONY", "FUJIFILM", "OLYMPUS IMAGING CORP."};
  const char* times[] = {"1/250", "1/60", "1/8", "2", "1/1000"};
  std::string args;
  for (int v = 0; v < kVariants; ++v) {
    const std::string variant = dir + "/variant" + std::to_string(v) + ".jpg";
    fs::copy_file(base, variant);
    args += "-overwrite_original\n-Make=" + std::string(makes[v % 5]) + "\n-Model=Model " + std::to_string(v) +
            "\n-FocalLength=" + std::to_string(18 + v * 7) + "\n-FocalLengthIn35mmFormat=" +
            std::to_string(27 + v * 10) + "\n-FNumber=" + std::to_string(2 + v % 9) + ".8\n-ExposureTime=" +
            times[v % 5] + "\n-ISO=" + std::to_string(100 << (v % 6)) +
            "\n-DateTimeOriginal=2024:05:0" + std::to_string(1 + v % 9) + " 10:00:00\n" + variant + "\n-execute\n";
  }
  const std::string argFile = dir + "/args.txt";
  FILE* f = std::fopen(argFile.c_str(), "w");
  if (!f) return false;
  std::fputs(args.c_str(), f);
  std::fclose(f);
  if (bench::RunProgram({"exiftool", "-q", "-q", "-@", argFile}, true) != 0) return false;
  const std::string photos = dir + "/photos";
  fs::create_directory(photos);
  for (int v = 0; v < kVariants; ++v)
    for (int c = 0; c < kCopies; ++c) {
      char name[32];
      std::snprintf(name, sizeof name, "/IMG_%02d%02d.jpg", v, c);
      fs::copy_file(dir + "/variant" + std::to_string(v) + ".jpg", photos + name);
      files.push_back(photos + name);
    }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = bench::MakeViewerBenchFolder("shotgraph");
  if (dir.empty()) return 1;
  std::vector<std::string> files;
  std::printf("Making %d JPEG files tagged by exiftool...\n", kVariants * kCopies);
  if (!MakeFiles(dir, files)) {
    bench::ReportError("Shotgraph scan", "convert or exiftool failed");
    return 1;
  }
  const std::string photos = dir + "/photos";

  bench::StartViewer(argc, argv);
  Form1->FAppDir = dir + "/";
  Form1->FLastPath = photos + "/";
  Form1->QzDirTree211->SetSelectedPath(photos + "/");
  FormAnalize->Show();
  const double kivo = bench::BestSeconds([] { FormAnalize->StartAnalizing->Click(); }, kRuns);
  if (FormAnalize->FAnalysedFiles != int(files.size())) {
    bench::ReportError("Shotgraph scan", "the scan analysed " + std::to_string(FormAnalize->FAnalysedFiles) + " of " +
                                             std::to_string(files.size()) + " files");
    return 1;
  }

  const double exiftool = bench::BestSeconds(
      [&] { bench::RunProgram({"exiftool", "-FocalLength", "-FNumber", "-ExposureTime", "-ISO", "-csv", photos}, true); },
      kRuns);
  std::vector<std::string> exiv2 = {"exiv2", "-pt"};
  exiv2.insert(exiv2.end(), files.begin(), files.end());
  const double exiv2Seconds = bench::BestSeconds([&] { bench::RunProgram(exiv2, true); }, kRuns);

  const double n = double(files.size());
  std::printf("Shotgraph scan of %zu JPEG files (best of %d):\n", files.size(), kRuns);
  std::printf("  Kivo2 Shotgraph        %8.3f s  %9.0f files/s\n", kivo, n / kivo);
  std::printf("  exiftool -csv (4 tags) %8.3f s  %9.0f files/s\n", exiftool, n / exiftool);
  std::printf("  exiv2 -pt              %8.3f s  %9.0f files/s\n", exiv2Seconds, n / exiv2Seconds);
  std::printf("  Kivo2 time / exiv2 time:    %.2f\n", kivo / exiv2Seconds);
  std::printf("  Kivo2 time / exiftool time: %.2f\n", kivo / exiftool);
  const std::string job = "Shotgraph scan of " + std::to_string(files.size()) + " JPEGs";
  bench::Report(job, kivo, "exiv2 -pt", exiv2Seconds, "ratio<=1.0");
  bench::Report(job, kivo, "exiftool -csv (4 tags)", exiftool, "-");
  FormAnalize->Close();
  bench::EndViewer();
  fs::remove_all(dir);
  return 0;
}
