// Batch renaming of 10,000 files through the main window's batch command (the rename
// window's rule, no name ever replaced, dates kept, the list entries renamed, the shows
// and the paperclip brought up to date) against a shell loop of `mv -n` on the same files
// in the same run, taking turns: the batch renames f*.jpg to g*.jpg, the loop renames
// them back. The best of several runs counts.
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
#include "platform/gui/ModalResponder.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Classes.h"
#include "tools/UnitBatchRename2.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 10000;
constexpr int kRuns = 3;

// The names of the files, starting with letter.
std::vector<std::string> Names(char letter) {
  std::vector<std::string> names;
  for (int i = 0; i < kFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%c%05d.jpg", letter, i);
    names.push_back(name);
  }
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = bench::MakeViewerBenchFolder("rename");
  if (dir.empty()) return 1;
  const std::string photos = dir + "/photos/";
  fs::create_directories(photos);
  const std::vector<std::string> before = Names('f'), after = Names('g');
  for (const std::string& name : before) {
    FILE* f = std::fopen((photos + name).c_str(), "wb");
    if (!f) return 1;
    std::fputs(name.c_str(), f);
    std::fclose(f);
  }

  // The shell loop: each file back to its old name by mv, never over another file.
  const std::vector<std::string> loop{
      "sh", "-c", "cd \"$1\" && for f in g*.jpg; do mv -n -- \"$f\" \"f${f#g}\" || exit 1; done", "sh", photos};

  bench::StartViewer(argc, argv);
  Form1->FLastPath = photos;
  Form1->ListBox1->SetMultiSelect(true);

  double kivo2 = 1e30, shell = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    Form1->ListBox1->Items()->Clear();
    for (const std::string& name : before) Form1->ListBox1->Items()->Add(name);
    Form1->ListBox1->SelectAll();
    kivo2 = std::min(kivo2, bench::BestSeconds(
                                [&] {
                                  ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest&) {
                                    BatchRenameForm->FRenameMode = 1;
                                    BatchRenameForm->FFindText = "f";
                                    BatchRenameForm->FNewText = "g";
                                    return int(mrOk);
                                  });
                                  Form1->BatchReplace->Click();
                                },
                                1));
    for (const std::string& name : after)
      if (!fs::exists(photos + name)) {
        std::fprintf(stderr, "the batch left %s\n", name.c_str());
        return 1;
      }
    shell = std::min(shell, bench::BestSeconds(
                                [&] {
                                  if (bench::RunProgram(loop) != 0) {
                                    std::fprintf(stderr, "the shell loop failed\n");
                                    std::exit(1);
                                  }
                                },
                                1));
  }
  // Every file is back under its first name with its own bytes.
  for (const std::string& name : before)
    if (fs::file_size(photos + name) != name.size()) {
      std::fprintf(stderr, "%s went missing\n", name.c_str());
      return 1;
    }

  std::printf("batch rename of %d files (f*.jpg to g*.jpg and back):\n", kFiles);
  std::printf("  kivo2 batch command                            %8.1f ms\n", kivo2 * 1000);
  std::printf("  shell loop of mv -n                            %8.1f ms\n", shell * 1000);
  std::printf("  ratio kivo2 / shell loop                       %8.3f (goal at most 1.1)\n", kivo2 / shell);

  bench::EndViewer();
  fs::remove_all(dir);
  return 0;
}
