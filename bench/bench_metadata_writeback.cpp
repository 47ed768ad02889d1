// The cost of carrying a source's metadata into a newly encoded 24-megapixel JPEG,
// as the save window does: the time the write-back takes beyond the encode itself,
// as a share of the encode, and beyond an ordinary save of the same encode.
//
// The source is a 6000 x 4000 JPEG made by ImageMagick and tagged by exiftool with
// camera Exif, GPS, a thumbnail, IPTC datasets and a comment (exiftool and
// ImageMagick are needed to make it).
#include <algorithm>
#include <cstdio>
#include <vector>
#include <filesystem>
#include <string>

#include "BenchRun.h"
#include "metadata/ExifData.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Jpeg.h"
#include "platform/rtl/Streams.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  char tmpl[] = "/tmp/kivo2-bench-writeback-XXXXXX";
  if (!mkdtemp(tmpl)) {
    std::perror("mkdtemp");
    return 2;
  }
  const fs::path dir = tmpl;
  const std::string source = (dir / "source.jpg").string(), thumb = (dir / "thumb.jpg").string();
  const std::string target = (dir / "target.jpg").string(), plain = (dir / "plain.jpg").string();
  if (bench::RunProgram({"convert", "-size", "6000x4000", "plasma:", "-quality", "90", source}, true) != 0 ||
      bench::RunProgram({"convert", "-size", "160x120", "plasma:", thumb}, true) != 0 ||
      bench::RunProgram({"exiftool", "-q", "-overwrite_original", "-Make=Nikon", "-Model=D7000",
                         "-DateTimeOriginal=2020:01:02 03:04:05", "-ExposureTime=1/250", "-FNumber=5.6",
                         "-ISO=200", "-FocalLength=135", "-ExifImageWidth=6000", "-ExifImageHeight=4000",
                         "-GPSLatitude=52.01", "-GPSLatitudeRef=N", "-ThumbnailImage<=" + thumb,
                         "-IPTC:Keywords=harbour", "-IPTC:Caption-Abstract=A long caption of a harbour",
                         "-Comment=bench", source},
                        true) != 0) {
    bench::ReportError("metadata write-back", "ImageMagick and exiftool are needed");
    fs::remove_all(dir);
    return 2;
  }

  // The new picture the save window would encode: the source's pixels.
  TJPEGImage decoded;
  decoded.LoadFromFile(source);
  TBitmap bitmap;
  bitmap.Assign(&decoded.Bitmap());

  // The encode itself, into memory.
  TJPEGImage jpeg;
  const double encode = bench::BestSeconds(
      [&] {
        jpeg.Assign(&bitmap);
        jpeg.Compress();
      },
      3);
  // With the encode done, the rest: an ordinary save, and the write-back, taken in
  // turns to new files (the disk's own ups and downs hit both alike); the medians.
  TimgData data(255);
  std::vector<double> ordinaryTimes, writeBackTimes;
  for (int round = 0; round < 15; ++round) {
    fs::remove(plain);
    fs::remove(target);
    ordinaryTimes.push_back(bench::BestSeconds([&] { jpeg.SaveToFile(plain); }, 1));
    writeBackTimes.push_back(bench::BestSeconds([&] { data.WriteMetadataJpeg(jpeg, target, true, source); }, 1));
  }
  const double ordinary = Median(ordinaryTimes), writeBack = Median(writeBackTimes);
  const double assign = bench::BestSeconds([&] { TJPEGImage copy; copy.Assign(&bitmap); }, 3);

  std::printf("picture: %d x %d, encoded %zu bytes, metadata carried: %lld bytes\n", kWidth, kHeight,
              size_t(fs::file_size(plain)), (long long)(fs::file_size(target)) - (long long)(fs::file_size(plain)));
  std::printf("encode:                          %.1f ms\n", (encode - assign) * 1e3);
  std::printf("ordinary save of the encode:     %.2f ms (median)\n", ordinary * 1e3);
  std::printf("write-back of the encode:        %.2f ms (median)\n", writeBack * 1e3);
  std::printf("write-back beyond the encode:    %.2f %% of the encode\n", 100 * writeBack / (encode - assign));
  std::printf("write-back beyond ordinary save: %.2f %% of the encode\n", 100 * (writeBack - ordinary) / (encode - assign));
  // The write-back after the encode, as a share of the encode: under 2 %.
  bench::Report("metadata write-back of a 24 MP encode", writeBack, "the encode itself", encode - assign, "ratio<0.02");
  fs::remove_all(dir);
  return 0;
}
