#pragma once
// Shared by the benchmark programs: running a reference tool without a shell and
// taking the best time of several runs.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

// Runs a program with its arguments (looked up on PATH, no shell); with quiet its
// standard output goes to /dev/null. Returns its exit code, -1 when it cannot run.
inline int RunProgram(const std::vector<std::string>& args, bool quiet = false) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (quiet) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Writes a photo-like w x h RGB picture with ImageMagick in the format of path's
// extension, with the given output options: plasma at a quarter of the size, enlarged,
// with fine noise. False when convert fails.
inline bool MakePhotoLikePicture(const std::string& path, int w, int h, const std::vector<std::string>& options = {}) {
  std::vector<std::string> argv = {
      "convert",        "-seed",   "7",          "-size",   std::to_string(w / 4) + "x" + std::to_string(h / 4),
      "plasma:fractal", "-filter", "Triangle",   "-resize", std::to_string(w) + "x" + std::to_string(h) + "!",
      "-seed",          "7",       "-attenuate", "0.4",     "+noise",
      "Gaussian",       "-depth",  "8",          "-type",   "TrueColor"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(path);
  return RunProgram(argv) == 0;
}

// The shortest of runs timings of fn, in seconds.
template <class Fn>
double BestSeconds(Fn fn, int runs = 5) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (s < best) best = s;
  }
  return best;
}

// One measured figure as the line scripts/bench.sh reads (fields split by tabs): the
// job, Kivo2's time, the reference and its time (reference "-" when there is none), and
// the goal as conditions such as "ratio<=1.0", "ratio<0.5", "ms<=1500" or "-" for none.
inline void Report(const std::string& job, double seconds, const std::string& reference, double referenceSeconds,
                   const std::string& goal) {
  if (reference == "-")
    std::printf("BENCH\t%s\t%.3f\t-\t-\t%s\n", job.c_str(), seconds * 1000, goal.c_str());
  else
    std::printf("BENCH\t%s\t%.3f\t%s\t%.3f\t%s\n", job.c_str(), seconds * 1000, reference.c_str(),
                referenceSeconds * 1000, goal.c_str());
  std::fflush(stdout);
}

// A figure that could not be measured; the benchmark then exits non-zero.
inline void ReportError(const std::string& job, const std::string& message) {
  std::printf("BENCH-ERROR\t%s\t%s\n", job.c_str(), message.c_str());
  std::fflush(stdout);
}

// A fresh folder PARENT/kivo2-bench-NAME-XXXXXX for a benchmark that runs the viewer
// itself (offscreen, scripted, with its registry, data and cache inside); "" when it
// cannot be made.
inline std::string MakeViewerBenchFolder(const std::string& name, const std::string& parent = "/tmp") {
  std::string path = parent + "/kivo2-bench-" + name + "-XXXXXX";
  if (!mkdtemp(path.data())) {
    std::perror("mkdtemp");
    return std::string();
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("KIVO2_UNDER_TEST", "1", 1);
  setenv("KIVO2_REGISTRY_DIR", path.c_str(), 1);
  setenv("XDG_DATA_HOME", (path + "/data").c_str(), 1);
  setenv("XDG_CACHE_HOME", (path + "/cache").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
  return path;
}

// count 6000 x 4000 photo-like JPEGs (quality 90) "photo00.jpg" ... in folder (ending in
// '/'): distinct ones, each the shared picture rolled sideways, then copies of them. The
// full paths, or none when ImageMagick fails.
inline std::vector<std::string> MakeBenchPhotos(const std::string& folder, int count, int distinct) {
  std::printf("Making %d 6000x4000 JPEGs (%d distinct, quality 90) with ImageMagick...\n", count, distinct);
  std::filesystem::create_directories(folder);
  std::vector<std::string> files;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "photo%02d.jpg", i);
    files.push_back(folder + name);
    if (i >= distinct) {
      std::filesystem::copy_file(files[size_t(i % distinct)], files.back());
    } else if (!MakePhotoLikePicture(files.back(), 6000, 4000,
                                     {"-roll", "+" + std::to_string(i * 1201) + "+0", "-quality", "90"})) {
      std::fprintf(stderr, "convert failed\n");
      return {};
    }
  }
  return files;
}

}  // namespace bench
