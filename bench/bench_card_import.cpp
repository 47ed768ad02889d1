// Importing from a memory card: 200 camera files of about 5 MB (1 GB in all, laid out as
// DCIM/100CANON) copied by the card import window into a new folder, against cp -p of the
// same files in the same run. Every run starts from a synced disk and an empty target,
// and the copies are checked with cmp once. The best of several runs counts for each.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "ViewerBench.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "core/ProgramForms.h"
#include "core/ProgramGlobals.h"
#include "core/Unit1.h"
#include "formats/GraphicFormats.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ModalResponder.h"
#include "platform/gui/StdCtrls.h"
#include "tools/UnitGetMemorycard.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 200, kRuns = 5;

void EmptyFolder(const std::string& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  bench::RunProgram({"sync"});
}

}  // namespace

int main(int argc, char** argv) {
  // On the disk (not in memory, as /tmp may be), like the pictures of a user.
  const std::string dir = bench::MakeViewerBenchFolder("card", "/var/tmp");
  if (dir.empty()) return 1;

  // One camera-sized JPEG of about 5 MB, its bytes varied per file so that no two files
  // are alike (a byte in the comment segment).
  const std::string card = dir + "/card/DCIM/100CANON/", target = dir + "/photos/", cpTarget = dir + "/cp/";
  fs::create_directories(card);
  const std::string sample = dir + "/sample.jpg";
  std::printf("Making %d camera files of about 5 MB...\n", kFiles);
  if (bench::RunProgram({"convert", "-size", "3000x2000", "-seed", "5", "plasma:", "+noise", "Gaussian", "-set",
                         "comment", "card0000", "-quality", "90", sample},
                        true) != 0) {
    bench::ReportError("card import", "convert failed");
    return 1;
  }
  std::string bytes;
  {
    FILE* f = std::fopen(sample.c_str(), "rb");
    char buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    std::fclose(f);
  }
  const size_t mark = bytes.find("card0000");
  if (mark == std::string::npos) {
    bench::ReportError("card import", "the sample has no comment to vary");
    return 1;
  }
  std::vector<std::string> files;
  uintmax_t total = 0;
  for (int i = 0; i < kFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04d.JPG", i + 1);
    char tag[16];
    std::snprintf(tag, sizeof tag, "card%04d", i);
    bytes.replace(mark, 8, tag, 8);
    FILE* f = std::fopen((card + name).c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    files.push_back(card + name);
    total += bytes.size();
  }
  std::printf("%d files, %.0f MB\n", kFiles, double(total) / 1e6);

  bench::StartViewer(argc, argv);
  Form1->FAppDir = dir + "/";
  Form1->FThumbCacheFolder = dir + "/Thumbcache";
  fs::create_directories(Form1->FThumbCacheFolder);
  Form1->InitExtensions();
  ModalResponder::SetScripted(true);

  auto import = [&] {
    EmptyFolder(target);
    Form1->QzDirTree211->OpenPath(target);
    Form1->FLastPath = target;
    Form1->FCardFolder = card;
    Form1->Importfrommemorycardorfolder1Click(nullptr);
    ModalResponder::Expect(ModalKind::MessageDlg, mrYes);
    return bench::BestSeconds([&] { FormGetcard->ZqButton1->Click(); }, 1);
  };
  auto copy = [&] {
    EmptyFolder(cpTarget);
    std::vector<std::string> args{"cp", "-p"};
    args.insert(args.end(), files.begin(), files.end());
    args.push_back(cpTarget);
    return bench::BestSeconds([&] { bench::RunProgram(args); }, 1);
  };
  double ours = 1e30, cp = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    ours = std::min(ours, import());
    cp = std::min(cp, copy());
  }
  int wrong = 0;
  for (const auto& f : files)
    if (bench::RunProgram({"cmp", "-s", f, target + fs::path(f).filename().string()}) != 0) ++wrong;
  if (ModalResponder::Unanswered() != 0 || wrong != 0) {
    bench::ReportError("card import", "the import did not copy every file whole (" + std::to_string(wrong) + " wrong)");
    return 1;
  }

  std::printf("%d files, %.0f MB: Kivo2 %.0f MB/s, cp -p %.0f MB/s\n", kFiles, double(total) / 1e6,
              double(total) / 1e6 / ours, double(total) / 1e6 / cp);
  bench::Report("card import of " + std::to_string(kFiles) + " camera files", ours, "cp -p", cp, "ratio<=1.1");

  bench::EndViewer();
  fs::remove_all(dir);
  return 0;
}
