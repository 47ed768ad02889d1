// Reads the metadata of 1,000 JPEG files with Kivo2's reader (Exif, GPS, maker
// notes and IPTC datasets decoded) and with "exiv2 -pt" (which decodes maker notes
// too) in the same run and prints the files per second of both and their ratio.
//
// The files are the JPEGs of the sample corpus (a folder given as the first
// argument, else ../shared/corpus beside the project) copied into a temporary
// folder as often as needed to reach 1,000. exiv2 gets all files in one call, so
// its process start is paid once.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "metadata/ExifData.h"
#include "metadata/IptcData.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 1000;
constexpr int kRounds = 3;

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

}  // namespace

int main(int argc, char** argv) {
  const char* corpusDir = std::getenv("KIVO2_CORPUS_DIR");
  fs::path corpus = argc > 1       ? fs::path(argv[1])
                    : corpusDir    ? fs::path(corpusDir)
                                   : fs::path(__FILE__).parent_path() / ".." / ".." / "shared" / "corpus";
  std::vector<fs::path> sources = CorpusJpegs(corpus);
  if (sources.empty()) {
    bench::ReportError("metadata of 1000 JPEGs", "no JPEG files under " + corpus.string());
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

  // Kivo2: the full read with value texts, tag list and maker notes, then the IPTC
  // datasets, as the EXIF window does it.
  size_t tags = 0, makerNoteRecords = 0, datasets = 0, decoded = 0;
  const double kivoBest = bench::BestSeconds(
      [&] {
        TimgData data(255);
        tags = makerNoteRecords = datasets = decoded = 0;
        for (const auto& f : files) {
          data.ReadFileMetadata(f);
          if (data.ImageInfo) {
            tags += size_t(data.ImageInfo->TagCount());
            decoded += data.ImageInfo->MakerNoteDecoded ? 1 : 0;
            for (const TTagEntry& t : data.ImageInfo->Tags) makerNoteRecords += t.Key == 1 ? 1 : 0;
          }
          if (data.IptcSegment && data.IptcData) {
            data.IptcData->ParseIptc(data.IptcSegment->Data);
            datasets += size_t(data.IptcData->Count());
          }
        }
      },
      kRounds);

  std::vector<std::string> cmd = {"exiv2", "-q", "-pt"};
  cmd.insert(cmd.end(), files.begin(), files.end());
  bool exivRan = true;
  const double exivBest = bench::BestSeconds([&] { exivRan = exivRan && bench::RunProgram(cmd, true) >= 0; }, kRounds);

  std::error_code ec;
  fs::remove_all(dir, ec);

  const double kivoRate = kFiles / kivoBest;
  std::printf("files: %d (copies of %zu corpus JPEGs); per round Kivo2 read %zu tags, %zu maker-note records "
              "(%zu maker notes decoded) and %zu IPTC datasets\n",
              kFiles, sources.size(), tags, makerNoteRecords, decoded, datasets);
  std::printf("Kivo2 reader: %.3f s, %.0f files/s\n", kivoBest, kivoRate);
  if (!exivRan) {
    bench::ReportError("metadata of 1000 JPEGs", "exiv2 is not available");
    return 1;
  }
  const double exivRate = kFiles / exivBest;
  std::printf("exiv2 -pt:    %.3f s, %.0f files/s\n", exivBest, exivRate);
  std::printf("ratio (Kivo2 / exiv2 files per second): %.2f\n", kivoRate / exivRate);
  // At least three times exiv2's files per second: at most a third of its time.
  bench::Report("metadata of " + std::to_string(kFiles) + " JPEGs", kivoBest, "exiv2 -pt", exivBest, "ratio<=0.333");
  return 0;
}
