// Saving resampled copies in the compression center: 20 JPEGs of 24 megapixels (6000 x
// 4000, with camera metadata written by exiftool) saved at 1600 pixels on the longest side
// and quality 85 with their metadata, through the window's own save run (the dialog and
// questions answered by the script), against ImageMagick's
// "convert -limit thread 1 FILE -resize 1600x -quality 85 OUT" (which keeps metadata too)
// on the same files in the same run.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "ViewerBench.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/ProgramForms.h"
#include "core/ProgramGlobals.h"
#include "core/Unit1.h"
#include "formats/GraphicFormats.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/ModalResponder.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitSaveImage.h"
#include "tools/UnitSaveToFolder.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 20;
constexpr int kTarget = 1600, kQuality = 85;

double Seconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Name(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "p%02d.jpg", i + 1);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  char dirTemplate[] = "/tmp/kivo2-bench-save-XXXXXX";
  if (!mkdtemp(dirTemplate)) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = dirTemplate;
  const std::string sources = dir + "/sources/", ours = dir + "/kivo2/", theirs = dir + "/imagemagick/";
  for (const std::string& d : {sources, ours, theirs}) fs::create_directories(d);
  // The viewer runs without a screen and keeps its settings, files and answers to itself.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("KIVO2_UNDER_TEST", "1", 1);
  setenv("KIVO2_REGISTRY_DIR", dir.c_str(), 1);
  setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
  setenv("XDG_CACHE_HOME", (dir + "/cache").c_str(), 1);

  std::printf("Making a 6000x4000 JPEG (quality 90) with camera metadata, %d copies...\n", kFiles);
  const std::string photo = dir + "/photo.jpg";
  if (!bench::MakePhotoLikePicture(photo, 6000, 4000, {"-quality", "90"})) {
    bench::ReportError("save resampled", "convert failed");
    return 1;
  }
  bench::RunProgram({"exiftool", "-q", "-overwrite_original", "-Make=KivoCam", "-Model=Bench 24",
                     "-DateTimeOriginal=2022:03:04 05:06:07", "-ExposureTime=1/250", "-FNumber=8", "-ISO=100",
                     "-FocalLength=50", "-GPSLatitude=52.0", "-GPSLatitudeRef=N", "-ExifImageWidth=6000",
                     "-ExifImageHeight=4000", "-IPTC:Keywords=bench", photo},
                    true);
  for (int i = 0; i < kFiles; ++i) fs::copy_file(photo, sources + Name(i));

  bench::StartViewer(argc, argv);
  Form1->FLastPath = sources;
  Form1->FWebFolder = ours;
  Form1->InitExtensions();
  Form1->ListBox1->SetMultiSelect(true);
  for (int i = 0; i < kFiles; ++i) Form1->ListBox1->Items()->Add(Name(i));
  for (int i = 0; i < kFiles; ++i) Form1->ListBox1->SetSelected(i, true);

  // As the main window's command opens the window: custom size 1600, the filter on.
  Form1->FCustomWebSize = kTarget;
  if (!FormSaveImage->FillChecklist(false)) {
    bench::ReportError("save resampled", "no pictures listed");
    return 1;
  }
  FormSaveImage->FQuietShow = true;
  FormSaveImage->FJpegOut = new TJPEGImage;
  FormSaveImage->FSourceImage = new TImage(nullptr);
  FormSaveImage->ComboBox1->SetItemIndex(14);
  FormSaveImage->Ch_Filter->SetChecked(true);
  double oursSeconds = 0;
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest&) {
    GuiTesting::WaitUntil([] { return FormSaveImage->FPainted; }, 10000);
    FormSaveImage->UpDown1->SetValue(kQuality);
    ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest&) {
      SaveToFolderForm->Edit1->SetText(ours);
      SaveToFolderForm->ZqButton2->Click();
      return mrNone;
    });
    ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
    ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
    const auto start = std::chrono::steady_clock::now();
    FormSaveImage->Zq_Save->Click();
    oursSeconds = Seconds(start);
    FormSaveImage->Zq_Close->Click();
    return mrNone;
  });
  FormSaveImage->ShowModal();

  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kFiles; ++i)
    bench::RunProgram({"convert", "-limit", "thread", "1", sources + Name(i), "-resize", std::to_string(kTarget) + "x",
                       "-quality", std::to_string(kQuality), theirs + Name(i)},
                      true);
  const double theirSeconds = Seconds(start);

  int written = 0;
  for (int i = 0; i < kFiles; ++i) written += fs::exists(ours + Name(i)) && fs::exists(theirs + Name(i));
  std::printf("copies written: %d of %d by each\n", written, kFiles);
  std::printf("Kivo2 save run:               %7.2f s  (%.3f s a picture)\n", oursSeconds, oursSeconds / kFiles);
  std::printf("convert -limit thread 1:      %7.2f s  (%.3f s a picture)\n", theirSeconds, theirSeconds / kFiles);
  bench::Report("save " + std::to_string(kFiles) + " 24 MP JPEGs resized with metadata", oursSeconds,
                "convert -limit thread 1 -resize", theirSeconds, "ratio<=0.5");
  const bool ok = written == kFiles;
  bench::EndViewer();
  fs::remove_all(dir);
  return ok ? 0 : 1;
}
