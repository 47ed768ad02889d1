// Batch renaming of 10,000 files through the main window's batch command (the rename
// window's rule, no name ever replaced, dates kept, the list entries renamed, the shows
// and the paperclip brought up to date) against the file system's own cost: a plain C
// loop that renames each file with renameat2(RENAME_NOREPLACE) and copies its dates
// back (stat before, utimensat after), on the same files in the same run, taking turns:
// the batch renames f*.jpg to g*.jpg, the loop renames them back. A paperclip of 1,000 of
// the files and a show of 500 are kept up to date by the batch. The best run counts.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "ViewerBench.h"
#include "core/Unit1.h"
#include "platform/gui/Menus.h"
#include "platform/gui/ModalResponder.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Classes.h"
#include "tools/UnitBatchRename2.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 10000;
constexpr int kRuns = 3;
const char* const kJob = "batch rename 10000 files";

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

// The modification time file i was given.
struct timespec FileTime(int i) { return {1500000000 + i * 61, (i * 7919L) % 1000000000L}; }

// Every (step)th of the names as the lines of a list: full paths, CR LF.
std::string ListText(const std::string& folder, const std::vector<std::string>& names, int step) {
  std::string text;
  for (size_t i = 0; i < names.size(); i += size_t(step)) text += folder + names[i] + "\r\n";
  return text;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return bool(out);
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int Fail(const std::string& message) {
  bench::ReportError(kJob, message);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = bench::MakeViewerBenchFolder("rename");
  if (dir.empty()) return Fail("cannot make the bench folder");
  const std::string photos = dir + "/photos/";
  fs::create_directories(photos);
  const std::vector<std::string> before = Names('f'), after = Names('g');
  for (int i = 0; i < kFiles; ++i) {
    const std::string path = photos + before[size_t(i)];
    if (!WriteText(path, before[size_t(i)])) return Fail("cannot write " + path);
    const struct timespec times[2] = {FileTime(i), FileTime(i)};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
  }

  bench::StartViewer(argc, argv);
  Form1->FLastPath = photos;
  Form1->FAppDir = dir + "/data/";
  Form1->ListBox1->SetMultiSelect(true);
  const std::string paperclip = Form1->PaperclipFile();
  const std::string show = Form1->ShowsFolder() + "/holiday.shw";
  fs::create_directories(Form1->ShowsFolder());

  // The reference: what the file system must do for each file.
  const int folder = open(photos.c_str(), O_RDONLY | O_DIRECTORY);
  auto loop = [&] {
    for (int i = 0; i < kFiles; ++i) {
      const char* from = after[size_t(i)].c_str();
      struct stat st;
      if (fstatat(folder, from, &st, 0) != 0 ||
          renameat2(folder, from, folder, before[size_t(i)].c_str(), RENAME_NOREPLACE) != 0)
        return false;
      const struct timespec times[2] = {st.st_atim, st.st_mtim};
      if (utimensat(folder, before[size_t(i)].c_str(), times, 0) != 0) return false;
    }
    return true;
  };

  double kivo2 = 1e30, reference = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    if (!WriteText(paperclip, ListText(photos, before, 10)) || !WriteText(show, ListText(photos, before, 20)))
      return Fail("cannot write the paperclip or the show");
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
    // Each file under its new name with its own date; the lists name the new files.
    for (int i = 0; i < kFiles; ++i) {
      struct stat st;
      if (stat((photos + after[size_t(i)]).c_str(), &st) != 0) return Fail("the batch left " + before[size_t(i)]);
      if (st.st_mtim.tv_sec != FileTime(i).tv_sec || st.st_mtim.tv_nsec != FileTime(i).tv_nsec)
        return Fail("the batch changed the date of " + after[size_t(i)]);
    }
    if (ReadText(paperclip) != ListText(photos, after, 10) || ReadText(show) != ListText(photos, after, 20))
      return Fail("the paperclip or the show does not name the renamed files");
    reference = std::min(reference, bench::BestSeconds(
                                        [&] {
                                          if (!loop()) {
                                            Fail(std::string("the C loop failed: ") + std::strerror(errno));
                                            std::exit(1);
                                          }
                                        },
                                        1));
  }
  close(folder);
  // Every file is back under its first name with its own bytes.
  for (const std::string& name : before)
    if (fs::file_size(photos + name) != name.size()) return Fail(name + " went missing");

  bench::Report(kJob, kivo2, "C loop renameat2 + dates", reference, "ratio<=10 ms<=1500");
  bench::EndViewer();
  fs::remove_all(dir);
  return 0;
}
