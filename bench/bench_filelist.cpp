// The report-style file list on a folder of 10,000 files: filling it and sorting it by
// name, by size and by date, against GNU ls -l listing the same folder sorted the same
// way (ls -l, ls -lS, ls -lt) in the same run, taking turns. The files have different
// sizes and dates; the best of several runs counts for each.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchRun.h"
#include "controls/QzFileExplorer28.h"
#include "platform/gui/Forms.h"
#include "platform/i18n/GnuGetText.h"

namespace {
constexpr int kFiles = 10000;
constexpr int kRuns = 21;
}  // namespace

int main() {
  const std::string dir = bench::MakeViewerBenchFolder("filelist");
  if (dir.empty()) return 1;

  std::printf("Making %d files of different sizes and dates...\n", kFiles);
  std::string bytes(4096, 'x');
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = dir + "/photo " + std::to_string((i * 7919) % kFiles) + (i % 3 ? ".jpg" : ".png");
    FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) return 1;
    std::fwrite(bytes.data(), 1, size_t(i % 4096), f);
    std::fclose(f);
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000 + (i * 104729) % 50000000, 0}};
    utimensat(AT_FDCWD, name.c_str(), times, 0);
  }

  Application->Initialize();
  TForm form(nullptr);
  form.SetBounds(0, 0, 800, 600);
  auto* list = new TQzFilelistView28(&form);
  list->SetParent(&form);
  list->SetAlign(alClient);
  form.Show();
  Application->ProcessMessages();
  list->SetDirectory(dir);
  if (list->Items()->Count() != kFiles + 1) {
    bench::ReportError("file list", "the list holds " + std::to_string(list->Items()->Count()) + " rows");
    return 1;
  }

  struct Case {
    const char* what;
    int column;  // -1: by name, as the fill leaves it
    const char* lsFlags;
  };
  const Case cases[] = {{"name", -1, "-l"}, {"size", 1, "-lS"}, {"date", 3, "-lt"}};
  for (const Case& c : cases) {
    // Taking turns, so that the machine's ups and downs meet both alike.
    double ours = 1e30, ls = 1e30;
    for (int run = 0; run < kRuns; ++run) {
      ours = std::min(ours, bench::BestSeconds(
                                [&] {
                                  list->UpdateFileList();
                                  if (c.column >= 0) list->ColumnClick(c.column);
                                },
                                1));
      ls = std::min(ls, bench::BestSeconds([&] { bench::RunProgram({"ls", c.lsFlags, dir}, true); }, 1));
    }
    bench::Report(std::string("file list of 10000 files sorted by ") + c.what, ours, std::string("ls ") + c.lsFlags,
                  ls, "ratio<=1.0");
  }
  delete list;
  std::string rm = "rm -rf '" + dir + "'";
  return std::system(rm.c_str()) == 0 ? 0 : 1;
}
