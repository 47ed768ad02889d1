// The picture lists following one command that renames or deletes files, against what
// any tool must do for it at least: find the lists that name the command's files (grep -F
// -l of their old full paths over every list) and write each of those lists anew (cp of
// it to a scratch copy), both run as programs in the same run. Four cases, each with its
// own row: a paperclip of 60,000 lines and 20 shows of 5,000 in which one rename touches
// one list, one touches all 21 lists, and one deletion (the file moved to a trash folder)
// touches all 21; and ten shows of 30 MB that all name two pictures a batch renames. The
// lines are full paths of pictures in a few hundred folders, a named file's line in the
// middle of its list. The files are renamed back and forth so that each run does the
// work; the best run counts. Kivo2's processor time is reported beside grep's and cp's,
// and the peak memory of the last case is read from a child process that runs it once.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "core/PictureLists.h"
#include "platform/rtl/FileFaults.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 300;
constexpr int kRuns = 7;      // cases 1 to 3
constexpr int kBigRuns = 4;   // case 4
constexpr int kPaperclipLines = 60000, kShows = 20, kShowLines = 5000;
constexpr int kBigShows = 10;
constexpr size_t kBigShowBytes = size_t(30) << 20;
constexpr char kFloor[] = "grep -F -l + cp", kFloorTime[] = "grep + cp processor time";

std::string top;  // the benchmark's folder, with a trailing '/'

int Fail(const std::string& job, const std::string& message) {
  bench::ReportError(job, message);
  if (!top.empty()) fs::remove_all(top);
  return 1;
}

// The folder f of the photo collection, as a full path with a trailing '/'.
std::string Folder(int f) {
  static const char* const events[] = {
      "Summer holiday in Tuscany", "Birthday party Anna", "Christmas at home", "Weekend Ardennes", "Zoo",
      "School musical",           "Beach Zandvoort",     "Wedding Tom and Sara", "Autumn walk", "Garden",
      "Skiing Austria",           "New Year's Eve",      "Football tournament", "Visit grandparents"};
  const int year = 2008 + f / 25, month = 1 + f % 12, day = 1 + (f * 7) % 28;
  char name[160];
  std::snprintf(name, sizeof name, "Pictures/%d/%d-%02d-%02d %s/", year, year, month, day, events[f % 14]);
  return top + name;
}

// Picture j of folder f: camera counters that repeat across folders, phone dates, and
// another camera's numbers, by folder.
std::string Picture(int f, int j) {
  char name[64];
  if (f % 3 == 0)
    std::snprintf(name, sizeof name, "IMG_%04d.JPG", (f * 137 + j) % 10000);
  else if (f % 3 == 1)
    std::snprintf(name, sizeof name, "IMG_%d%02d%02d_%02d%02d%02d.jpg", 2008 + f / 25, 1 + f % 12, 1 + (f * 7) % 28,
                  8 + j / 240 % 14, j / 4 % 60, (j * 13) % 60);
  else
    std::snprintf(name, sizeof name, "DSC%05d.JPG", (f * 211 + j) % 100000);
  return Folder(f) + name;
}

// A list of random pictures of the collection, CR LF, of lines lines or else (lines 0) of
// at least bytes bytes; named are the lines in its middle.
bool WriteList(const std::string& path, unsigned seed, int lines, size_t bytes, const std::vector<std::string>& named) {
  std::mt19937 random(seed);
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  std::string text;
  size_t written = 0;
  bool middle = false;
  for (int i = 0; lines > 0 ? i < lines : written + text.size() < bytes; ++i) {
    if (!middle && (lines > 0 ? i >= lines / 2 : written + text.size() >= bytes / 2)) {
      for (const std::string& name : named) text += name + "\r\n";
      middle = true;
    }
    text += Picture(int(random() % kFolders), int(random() % 1000)) + "\r\n";
    if (text.size() >= (1 << 20)) {
      written += std::fwrite(text.data(), 1, text.size(), out);
      text.clear();
    }
  }
  written += std::fwrite(text.data(), 1, text.size(), out);
  return std::fclose(out) == 0;
}

bool Contains(const std::string& path, const std::string& line) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str().find(line + "\r\n") != std::string::npos;
}

// Runs a program (no shell) with its standard output into the file out; its exit code.
int RunProgramInto(const std::vector<std::string>& args, const std::string& out) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (rc != 0 || waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The floor: the lists that name any of paths found by grep, and each of them copied by cp
// into scratch. The number of lists found; -1 when a tool failed.
int Floor(const std::vector<std::string>& paths, const std::vector<std::string>& lists, const std::string& scratch) {
  std::vector<std::string> grep{"grep", "-F", "-l"};
  for (const std::string& path : paths) grep.insert(grep.end(), {"-e", path});
  grep.push_back("--");
  grep.insert(grep.end(), lists.begin(), lists.end());
  const std::string found = scratch + "found";
  if (RunProgramInto(grep, found) != 0) return -1;
  std::vector<std::string> cp{"cp", "--"};
  std::ifstream in(found);
  for (std::string line; std::getline(in, line);) cp.push_back(line);
  const int count = int(cp.size()) - 2;
  cp.push_back(scratch);
  return bench::RunProgram(cp) == 0 ? count : -1;
}

// Kivo2's command: the lists begin to follow the plan, each file is renamed (or moved to
// trash for a deletion) and the lists are finished. "" when it went as planned with lists
// lists following, else what went wrong.
std::string Command(const TListPlace& place, const std::vector<TFileRename>& plan, const std::string& trash, int lists) {
  TListRenames renames(place);
  if (!renames.Begin(plan)) return "Begin: " + renames.Why();
  if (renames.ListCount() != lists)
    return std::to_string(renames.ListCount()) + " lists follow, not " + std::to_string(lists);
  for (const TFileRename& r : plan) {
    const std::string to = r.To.empty() ? trash + fs::path(r.From).filename().string() : r.To;
    if (fileio::RenameNoReplace(r.From, to) != 0) return "cannot rename " + r.From + ": " + std::strerror(errno);
    renames.Done(r.From);
  }
  if (!renames.Finish()) return "Finish: " + renames.Why();
  return "";
}

double ProcessorSeconds(int who) {
  struct rusage ru;
  getrusage(who, &ru);
  return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// The best wall and processor times of a side over the runs.
struct TBest {
  double wall = 1e30, cpu = 1e30;
  // Times fn once; who is RUSAGE_SELF for Kivo2, RUSAGE_CHILDREN for the tools.
  template <class Fn>
  void Time(int who, Fn fn) {
    const double before = ProcessorSeconds(who);
    wall = std::min(wall, bench::BestSeconds(fn, 1));
    cpu = std::min(cpu, ProcessorSeconds(who) - before);
  }
};

// The files written so far on the benchmark's file system flushed, so that neither side's
// flushes pay for what the other side or the setup wrote.
void Flush() {
  const int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
  ::syncfs(fd);
  ::close(fd);
}

// The rows of a case: its wall times, and its processor times under its number.
void ReportCase(const std::string& job, const TBest& kivo2, const TBest& floor) {
  bench::Report(job, kivo2.wall, kFloor, floor.wall, "ratio<=2");
  bench::Report(job.substr(0, job.find(':')) + ": processor time", kivo2.cpu, kFloorTime, floor.cpu, "-");
}

// A file of the command as a path to rename back and forth.
struct TNamed {
  std::string a, b;
  bool atB = false;
  const std::string& Now() const { return atB ? b : a; }
  const std::string& Other() const { return atB ? a : b; }
};

bool MakeFile(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << path;
  return bool(out);
}

// Renames the files back and forth runs times, each run after the floor for their
// present names. following: how many of lists name them; check: a list they all are in.
std::string RenameRuns(const TListPlace& place, std::vector<TNamed>& named, const std::vector<std::string>& lists,
                       int following, const std::string& check, const std::string& scratch, int runs, TBest& kivo2,
                       TBest& floor) {
  for (int run = 0; run < runs; ++run) {
    std::vector<std::string> now;
    std::vector<TFileRename> plan;
    for (const TNamed& n : named) {
      now.push_back(n.Now());
      plan.push_back({n.Now(), n.Other()});
    }
    Flush();
    int found = 0;
    floor.Time(RUSAGE_CHILDREN, [&] { found = Floor(now, lists, scratch); });
    if (found != following) return "the floor found " + std::to_string(found) + " lists";
    Flush();
    std::string why;
    kivo2.Time(RUSAGE_SELF, [&] { why = Command(place, plan, "", following); });
    if (!why.empty()) return why;
    for (TNamed& n : named) n.atB = !n.atB;
    for (size_t k = 0; k < named.size(); ++k)
      if (!Contains(check, named[k].Now()) || Contains(check, plan[k].From))
        return check + " does not name " + named[k].Now() + " in place of " + plan[k].From;
  }
  return "";
}

}  // namespace

int main(int, char**) {
  // The data beside the benchmark program, in the build folder on the disk.
  std::error_code error;
  const fs::path here = fs::read_symlink("/proc/self/exe", error).parent_path();
  std::string made = (here.empty() ? fs::path("/tmp") : here).string() + "/kivo2-bench-lists-XXXXXX";
  if (!mkdtemp(made.data())) return Fail("lists", "cannot make the bench folder");
  top = made + "/";
  struct statfs fsInfo;
  if (statfs(top.c_str(), &fsInfo) == 0 && fsInfo.f_type == 0x01021994 /* TMPFS_MAGIC */)
    return Fail("lists", top + " is on tmpfs; the lists are measured on a disk");
  const std::string data = top + "data/", trash = top + "trash/", scratch = top + "scratch/",
                    pristine = top + "pristine/";
  for (const std::string& dir : {data + "Shows", top + "big/Shows", trash, scratch, pristine})
    fs::create_directories(dir);
  std::printf("Data in %s\n", top.c_str());

  // Case 4's shows first, and its peak memory measured before the other lists are made,
  // while this process is small.
  const std::string job4 = "lists 4: batch of 2, ten 30 MB shows";
  std::vector<TNamed> pair{{Picture(88, 2004), Folder(88) + "Tuscany " + fs::path(Picture(88, 2004)).filename().string()},
                           {Picture(88, 2005), Folder(88) + "Tuscany " + fs::path(Picture(88, 2005)).filename().string()}};
  std::vector<std::string> bigShows;
  for (int s = 0; s < kBigShows; ++s) {
    bigShows.push_back(top + "big/Shows/trip" + std::to_string(s) + ".shw");
    if (!WriteList(bigShows.back(), 400u + unsigned(s), 0, kBigShowBytes, {pair[0].a, pair[1].a}))
      return Fail(job4, "cannot write " + bigShows.back());
  }
  for (const TNamed& n : pair)
    if (!MakeFile(n.a)) return Fail(job4, "cannot make " + n.a);
  TListPlace big;
  big.DataFolder = top + "big/";
  big.Lists = [&bigShows] { return bigShows; };
  big.LineToPath = big.PathToLine = [](const std::string& s) { return s; };
  std::printf("Ten shows of about %llu bytes\n", (unsigned long long)fs::file_size(bigShows[0]));
  Flush();
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    // The peak from here on: the resident pages this process shares with its parent are
    // its start.
    std::ofstream("/proc/self/clear_refs") << "5";
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmRSS:", 0) == 0) std::printf("The child's resident memory at its start: %s\n", line.c_str() + 6);
    const std::string why = Command(big, {{pair[0].a, pair[0].b}, {pair[1].a, pair[1].b}}, "", kBigShows);
    if (!why.empty()) std::printf("The child's command: %s\n", why.c_str());
    std::fflush(stdout);
    _exit(why.empty() ? 0 : 1);
  }
  int status = 0;
  struct rusage childUsage;
  if (child < 0 || wait4(child, &status, 0, &childUsage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return Fail(job4, "the command in a child process failed");
  for (TNamed& n : pair) n.atB = true;
  const double peakMB = double(childUsage.ru_maxrss) / 1024;
  std::printf("The child's peak resident memory: %.1f MB\n", peakMB);

  TBest kivo2, floor;
  std::string why = RenameRuns(big, pair, bigShows, kBigShows, bigShows[3], scratch, kBigRuns, kivo2, floor);
  if (!why.empty()) return Fail(job4, why);
  for (const std::string& show : bigShows) fs::remove(show);
  fs::remove_all(scratch);
  fs::create_directories(scratch);

  // The paperclip and 20 shows; the file of case 1 in the middle of one show, those of
  // cases 2 and 3 in the middle of every list.
  const std::string job1 = "lists 1: rename, 1 of 21 lists names it", job2 = "lists 2: rename, all 21 lists name it",
                    job3 = "lists 3: delete, all 21 lists name it";
  std::vector<TNamed> one{{Picture(123, 2001), Folder(123) + "Anna " + fs::path(Picture(123, 2001)).filename().string()}},
      all{{Picture(57, 2002), Folder(57) + "Zoo " + fs::path(Picture(57, 2002)).filename().string()}};
  const std::string gone = Picture(211, 2003);
  std::vector<std::string> lists{data + "paperclip.lst"};
  for (int s = 0; s < kShows; ++s) lists.push_back(data + "Shows/show" + std::to_string(s) + ".shw");
  for (size_t l = 0; l < lists.size(); ++l) {
    std::vector<std::string> named{all[0].a, gone};
    if (l == 8) named.push_back(one[0].a);
    if (!WriteList(lists[l], unsigned(l) + 1, l == 0 ? kPaperclipLines : kShowLines, 0, named) ||
        !fs::copy_file(lists[l], pristine + fs::path(lists[l]).filename().string(), error))
      return Fail(job1, "cannot write " + lists[l]);
  }
  for (const std::string& file : {one[0].a, all[0].a, gone})
    if (!MakeFile(file)) return Fail(job1, "cannot make " + file);
  TListPlace place;
  place.DataFolder = data;
  place.Lists = [&lists] { return lists; };
  place.LineToPath = place.PathToLine = [](const std::string& s) { return s; };

  TBest kivo2One, floorOne, kivo2All, floorAll, kivo2Gone, floorGone;
  if (!(why = RenameRuns(place, one, lists, 1, lists[8], scratch, kRuns, kivo2One, floorOne)).empty())
    return Fail(job1, why);
  if (!(why = RenameRuns(place, all, lists, 21, lists[0], scratch, kRuns, kivo2All, floorAll)).empty())
    return Fail(job2, why);
  // The deletion: the file and the lists put back before each run.
  for (int run = 0; run < kRuns; ++run) {
    if (run > 0) {
      if (fileio::RenameNoReplace(trash + fs::path(gone).filename().string(), gone) != 0)
        return Fail(job3, "cannot put back " + gone);
      for (const std::string& list : lists) {
        const std::string copy = list + ".put-back";
        if (!fs::copy_file(pristine + fs::path(list).filename().string(), copy, error)) return Fail(job3, copy);
        fs::rename(copy, list);
      }
    }
    Flush();
    int found = 0;
    floorGone.Time(RUSAGE_CHILDREN, [&] { found = Floor({gone}, lists, scratch); });
    if (found != 21) return Fail(job3, "the floor found " + std::to_string(found) + " lists");
    Flush();
    kivo2Gone.Time(RUSAGE_SELF, [&] { why = Command(place, {{gone, ""}}, trash, 21); });
    if (!why.empty()) return Fail(job3, why);
    if (Contains(lists[5], gone)) return Fail(job3, lists[5] + " names the deleted file still");
  }

  ReportCase(job1, kivo2One, floorOne);
  ReportCase(job2, kivo2All, floorAll);
  ReportCase(job3, kivo2Gone, floorGone);
  ReportCase(job4, kivo2, floor);
  // Peak memory in MB, as scripts/bench.sh reads a figure whose goal is in MB.
  std::printf("BENCH\t%s\t%.1f\t-\t-\tMB<=200\n", "lists 4: peak memory of the command", peakMB);
  fs::remove_all(top);
  return 0;
}
