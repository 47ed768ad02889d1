// Reads the metadata of 1,000 JPEG files with Kivo2's reader and with "exiv2 -pt"
// in the same run and prints the files per second of both and their ratio.
//
// The files are the JPEGs of the sample corpus (a folder given as the first
// argument, else ../shared/corpus beside the project) copied into a temporary
// folder as often as needed to reach 1,000. exiv2 gets all files in one call, so
// its process start is paid once.
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "metadata/ExifData.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 1000;
constexpr int kRounds = 3;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::vector<fs::path> CorpusJpegs(const fs::path& corpus) {
  std::vector<fs::path> files;
  for (const char* sub : {"metadata-samples", "exif-orientation"}) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(corpus / sub, ec)) {
      std::string ext = e.path().extension().string();
      std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
      if (e.is_regular_file() && (ext == ".jpg" || ext == ".jpeg")) files.push_back(e.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Runs the command with its output thrown away; false when it could not run.
bool RunQuiet(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status);
}

}  // namespace

int main(int argc, char** argv) {
  fs::path corpus = argc > 1 ? fs::path(argv[1]) : fs::path(__FILE__).parent_path() / ".." / ".." / "shared" / "corpus";
  std::vector<fs::path> sources = CorpusJpegs(corpus);
  if (sources.empty()) {
    std::fprintf(stderr, "bench_metadata: no JPEG files under %s\n", corpus.string().c_str());
    return 2;
  }

  char tmpl[] = "/tmp/kivo2-bench-metadata-XXXXXX";
  if (!mkdtemp(tmpl)) {
    std::perror("mkdtemp");
    return 2;
  }
  const fs::path dir = tmpl;
  std::vector<std::string> files;
  for (int i = 0; i < kFiles; ++i) {
    const fs::path& src = sources[size_t(i) % sources.size()];
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%04d_", i);
    fs::path dst = dir / (prefix + src.filename().string());
    fs::copy_file(src, dst, fs::copy_options::overwrite_existing);
    files.push_back(dst.string());
  }

  // Kivo2: the full read with value texts and tag list, as the viewer does it.
  double kivoBest = 1e30;
  size_t tags = 0;
  for (int round = 0; round < kRounds; ++round) {
    TimgData data(255);
    tags = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (const auto& f : files) {
      data.ReadFileMetadata(f);
      if (data.ImageInfo) tags += size_t(data.ImageInfo->TagCount());
    }
    kivoBest = std::min(kivoBest, Seconds(std::chrono::steady_clock::now() - t0));
  }

  std::vector<std::string> cmd = {"exiv2", "-q", "-pt"};
  cmd.insert(cmd.end(), files.begin(), files.end());
  double exivBest = 1e30;
  bool exivRan = true;
  for (int round = 0; round < kRounds && exivRan; ++round) {
    auto t0 = std::chrono::steady_clock::now();
    exivRan = RunQuiet(cmd);
    exivBest = std::min(exivBest, Seconds(std::chrono::steady_clock::now() - t0));
  }

  std::error_code ec;
  fs::remove_all(dir, ec);

  const double kivoRate = kFiles / kivoBest;
  std::printf("files: %d (copies of %zu corpus JPEGs), tags read by Kivo2 per round: %zu\n", kFiles,
              sources.size(), tags);
  std::printf("Kivo2 reader: %.3f s, %.0f files/s\n", kivoBest, kivoRate);
  if (!exivRan) {
    std::printf("exiv2 -pt: not available\n");
    return 0;
  }
  const double exivRate = kFiles / exivBest;
  std::printf("exiv2 -pt:    %.3f s, %.0f files/s\n", exivBest, exivRate);
  std::printf("ratio (Kivo2 / exiv2 files per second): %.2f\n", kivoRate / exivRate);
  return 0;
}
