// The thumbnail panel of a folder of 50 24-megapixel JPEGs (6000 x 4000, photo-like,
// made with ImageMagick): built from a cold cache (every picture decoded, its cache file written
// and its thumbnail shown) against vipsthumbnail making the same 175-pixel thumbnails of
// the same files with one thread (VIPS_CONCURRENCY=1); then the same panel shown again
// from the warm cache, against the cold build. Then one step of a full-screen slide show
// of 24-megapixel JPEGs on a 1920 x 1080 screen (decode at the chosen DCT scale, fit and a
// fade step) against djpeg at the same scale followed by ImageMagick's resize to the same
// size. The best of several runs counts for each.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "ViewerBench.h"
#include "controls/EventScrollbox.h"
#include "controls/ZephFade.h"
#include "controls/ZqSpeedButton.h"
#include "core/ProgramForms.h"
#include "core/ProgramGlobals.h"
#include "core/Unit1.h"
#include "core/UnitFadestyles.h"
#include "formats/GraphicFormats.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/SysUtils.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPictures = 50, kDistinct = 5;
constexpr int kRuns = 5;

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = bench::MakeViewerBenchFolder("thumbs");
  if (dir.empty()) return 1;
  const std::string photos = dir + "/photos/", vipsOut = dir + "/vips/";
  fs::create_directories(vipsOut);
  const std::vector<std::string> files = bench::MakeBenchPhotos(photos, kPictures, kDistinct);
  if (files.empty()) return 1;

  // vipsthumbnail, one thread, the same size and quality, all files in one run.
  setenv("VIPS_CONCURRENCY", "1", 1);
  std::vector<std::string> vips{"vipsthumbnail", "-s", "175", "-o", vipsOut + "%s.jpg[Q=70]"};
  vips.insert(vips.end(), files.begin(), files.end());
  auto runVips = [&] {
    if (bench::RunProgram(vips) != 0) {
      bench::ReportError("thumbnail cache", "vipsthumbnail failed (install libvips-tools)");
      std::exit(1);
    }
  };

  bench::StartViewer(argc, argv);
  Form1->FThumbCacheFolder = dir + "/cache/Kivo2/Thumbcache";
  Form1->InitExtensions();
  Form1->M_UseTumbCache->SetChecked(true);
  Form1->M_CacheonlyFixedDiskfiles->SetChecked(false);
  Form1->FThumbSize = 1;
  Form1->FThumbsPos = 1;
  for (const std::string& file : files) Form1->ListBox1->Items()->Add(fs::path(file).filename().string());
  Form1->FLastPath = photos;
  Form1->ListBox1->SetItemIndex(0);

  auto build = [] {
    Form1->FillTheTumbsNow();
    if (!Form1->FThumbScrollBox || Form1->FThumbScrollBox->ControlCount() != kPictures) {
      bench::ReportError("thumbnail cache", "the panel does not hold every picture");
      std::exit(1);
    }
  };
  // The two take turns, round by round, so that a change in the machine's load falls
  // on both alike; the best round of each counts.
  double cold = 1e30, vipsSeconds = 1e30;
  for (int round = 0; round < kRuns; ++round) {
    vipsSeconds = std::min(vipsSeconds, bench::BestSeconds(runVips, 1));
    cold = std::min(cold, bench::BestSeconds(
                              [&] {
                                fs::remove_all(Form1->FThumbCacheFolder);
                                build();
                              },
                              1));
  }
  int cached = 0;
  for (const std::string& file : files) cached += Form1->ValidThumbFileExists(file) ? 1 : 0;
  const double warm = bench::BestSeconds(build, kRuns);

  std::printf("thumbnail cache, %d pictures of 24 MP, 175 pixels:\n", kPictures);
  std::printf("  kivo2 cold panel (decode, cache file, thumbnail)  %8.1f ms (%d cached)\n", cold * 1000, cached);
  std::printf("  vipsthumbnail, one thread                         %8.1f ms\n", vipsSeconds * 1000);
  std::printf("  kivo2 warm panel (from the cache)                 %8.1f ms\n", warm * 1000);
  std::printf("  ratio cold / vipsthumbnail                        %8.3f (goal at most 1.0)\n", cold / vipsSeconds);
  std::printf("  ratio warm / cold                                 %8.3f (goal under 0.05)\n", warm / cold);
  bench::Report("thumbnail panel of 50 24 MP JPEGs, cold", cold, "vipsthumbnail, 1 thread", vipsSeconds, "ratio<=1.0");
  bench::Report("thumbnail panel of 50 24 MP JPEGs, warm", warm, "the cold panel", cold, "ratio<0.05");

  // --- one step of a full-screen slide show on a 1920 x 1080 screen ---
  Form1->ZqTumblist->SetDown(false);
  Form1->ZqTumblistClick(Form1);
  FormFadestyles->ChB_Fading->SetChecked(true);
  FormFadestyles->ChB_Soft->SetChecked(true);
  Form1->ZephFade1->SetMsecPerFrame(0);
  Form1->ZephFade1->SetBlendRate(1);
  Form1->M_Recursive->SetChecked(false);
  Form1->FSlideDelay = 100;
  Form1->M_Start1Click(Form1);
  Form1->ShowNextPicture();
  const std::string scale = Form1->FScaleText.empty() ? "1/1" : Form1->FScaleText.substr(1);
  const int width = Form1->FFitWidth, height = Form1->FFitHeight;
  std::printf("slide show at %dx%d: decode scale %s, fitted to %dx%d\n", Form1->ClientWidth(), Form1->ClientHeight(),
              scale.c_str(), width, height);
  if (width <= 0 || height <= 0 || !Form1->FSlideShowMode) {
    bench::ReportError("slide show next picture", "the show showed no picture");
    return 1;
  }
  const double step = bench::BestSeconds([] { Form1->ShowNextPicture(); }, 7);
  // A whole blend of the designed 32 steps, frame by frame without waiting.
  Form1->ZephFade1->SetBlendRate(32);
  const double blend = bench::BestSeconds([] { Form1->ZephFade1->RunBlend(); }, 3);
  Form1->M_Start1Click(Form1);

  const std::string decoded = dir + "/decoded.ppm";
  const std::string size = std::to_string(width) + "x" + std::to_string(height) + "!";
  auto pipeline = [&](bool oneThread) {
    std::vector<std::string> resize{"convert"};
    if (oneThread) resize.insert(resize.end(), {"-limit", "thread", "1"});
    resize.insert(resize.end(), {decoded, "-resize", size, "ppm:/dev/null"});
    return bench::BestSeconds(
        [&] {
          if (bench::RunProgram({"djpeg", "-scale", scale, "-outfile", decoded, files[1]}) != 0 ||
              bench::RunProgram(resize) != 0) {
            bench::ReportError("slide show next picture", "djpeg or convert failed");
            std::exit(1);
          }
        },
        7);
  };
  const double reference = pipeline(false), referenceOneThread = pipeline(true);
  std::printf("  kivo2 next picture (decode, fit, fade)            %8.1f ms\n", step * 1000);
  std::printf("  kivo2 whole 33-frame blend at full screen         %8.1f ms (%.1f ms a frame)\n", blend * 1000,
              blend * 1000 / 33);
  std::printf("  djpeg -scale %s + convert -resize                %8.1f ms\n", scale.c_str(), reference * 1000);
  std::printf("  djpeg + convert, one thread                       %8.1f ms\n", referenceOneThread * 1000);
  std::printf("  ratio next picture / pipeline                     %8.3f\n", step / reference);
  std::printf("  ratio next picture / one-thread pipeline          %8.3f\n", step / referenceOneThread);
  // Shown beside its references; the show has no goal of its own.
  const std::string pipe = "djpeg -scale " + scale + " + convert";
  bench::Report("slide show next picture (decode, fit, fade)", step, pipe, reference, "-");
  bench::Report("slide show next picture (decode, fit, fade)", step, pipe + ", 1 thread", referenceOneThread, "-");

  bench::EndViewer();
  fs::remove_all(dir);
  return 0;
}
