#pragma once
// The main window on a folder of photos for the tests of the lossless commands (rotation,
// flipping, the aspect-ratio crop): photos with EXIF data and a date of their own, what
// jpegtran itself makes of a file, and jpegtran stand-ins first on PATH.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "OrganiseFixture.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ModalResponder.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"

namespace fs = std::filesystem;

namespace lossless {

inline struct timespec ModTime(const std::string& file) {
  struct stat st {};
  stat(file.c_str(), &st);
  return st.st_mtim;
}

inline bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace lossless

using lossless::ModTime;
using lossless::SameTime;

class LosslessTest : public OrganiseTest {
 protected:
  void SetUp() override {
    OrganiseTest::SetUp();
    KIVO2_REQUIRE_TOOL("jpegtran");
    KIVO2_REQUIRE_TOOL("exiftool");
    jpegtran_ = testsupport::ToolPath("jpegtran");
    savedPath_ = getenv("PATH") ? getenv("PATH") : "";
  }
  void TearDown() override {
    setenv("PATH", savedPath_.c_str(), 1);
    OrganiseTest::TearDown();
  }

  // A photo with EXIF data whose sides are whole MCUs (so -perfect and -trim change
  // nothing) and a date of its own.
  void MakePhoto(const std::string& name, int width = 64, int height = 48) {
    Make(name, {"-size", std::to_string(width) + "x" + std::to_string(height), "plasma:red-blue", "-quality", "85"});
    auto r = testsupport::Run({"exiftool", "-q", "-overwrite_original", "-Make=TestCam", "-Artist=Nobody",
                               folder_ + name});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = testsupport::Run({"touch", "-d", "2011-05-06 07:08:09.123456789", folder_ + name});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }

  // The photo as a camera held on its side tags it: Orientation 6 ("Rotate 90 CW") for the
  // picture (in Exif and XMP) and its thumbnail (by default one whose height is no whole
  // blocks), and its pixel sizes in the Exif directory.
  void TagSideways(const std::string& file, std::string thumb = "") {
    if (thumb.empty()) {
      thumb = testsupport::TempPath("thumb.jpg");
      testsupport::Run({"convert", "-size", "16x12", "gradient:red-blue", "(", "-size", "12x16",
                        "gradient:white-gray20", "-rotate", "90", ")", "-compose", "multiply", "-composite", thumb});
    }
    auto r = testsupport::Run({"exiftool", "-q", "-overwrite_original", "-n", "-IFD0:Orientation=6",
                               "-IFD1:Orientation=6", "-XMP-tiff:Orientation=6", "-ExifImageWidth=64",
                               "-ExifImageHeight=48", "-ThumbnailImage<=" + thumb, file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }

  // A grey thumbnail of width x height with a red top-left corner, made so noisy (noise
  // 1 for ImageMagick's usual amount) that it takes much of an Exif segment's 64 KiB at
  // quality 95, in the coding that jpegtran's option gives it ("-progressive" or
  // "-arithmetic": shorter than the baseline Huffman coding of an encoder's defaults); in a
  // file of the test's own named after its size. On a colour (not a grey) ground the noise
  // is coloured, and takes more.
  static std::string NoisyThumbnail(int width, int height, const std::string& noise, const std::string& coding,
                                    const std::string& ground = "gray") {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string thumb = testsupport::TempPath("noisy" + size + ".jpg");
    testsupport::Run({"convert", "-seed", "7", "-size", size, "xc:" + ground, "-attenuate", noise, "+noise", "Gaussian",
                      "-fill", "red", "-draw",
                      "rectangle 0,0 " + std::to_string(width / 4) + "," + std::to_string(height / 4),
                      "-type", "TrueColor", "-quality", "95", "jpg:" + thumb + ".in"});
    testsupport::Run({"jpegtran", coding, "-outfile", thumb, thumb + ".in"});
    return thumb;
  }

  // Where the file's Exif segment lies in bytes: from its marker to its end.
  static std::pair<size_t, size_t> ExifSegmentOf(const std::string& bytes) {
    size_t at = 2, end = 0;
    for (; at + 10 <= bytes.size() && bytes[at + 1] != '\xDA'; at = end) {
      end = at + 2 + (size_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]));
      if (bytes.compare(at, 10, std::string("\xFF\xE1", 2) + bytes.substr(at + 2, 2) + std::string("Exif\0\0", 6)) == 0)
        break;
    }
    return {at, end};
  }

  // The file's Exif spread anew over APP1 segments as a writer that splits its Exif does: each
  // as long as a segment can be but the last, every one beginning "Exif\0\0" (exiftool joins
  // them); its TIFF data first made longer than one segment holds by zero bytes at its end.
  static void SpreadExif(const std::string& file) {
    const std::string bytes = testsupport::ReadFile(file);
    const auto [first, end] = ExifSegmentOf(bytes);
    std::string tiff = bytes.substr(first + 10, end - first - 10), run;
    tiff.resize(std::max<size_t>(tiff.size(), 70000), '\0');
    for (size_t at = 0; at < tiff.size(); at += 65527) {
      const std::string part = tiff.substr(at, 65527);
      run += "\xFF\xE1" + std::string{char((part.size() + 8) >> 8), char((part.size() + 8) & 0xFF)} +
             std::string("Exif\0\0", 6) + part;
    }
    testsupport::WriteFile(file, bytes.substr(0, first) + run + bytes.substr(end));
  }

  // The file's Exif segment twice, back to back: two whole segments, each with its own TIFF
  // header and thumbnail, as some editing programs leave a file. The segment's bytes.
  static std::string TwoExif(const std::string& file) {
    std::string bytes = testsupport::ReadFile(file);
    const auto [first, end] = ExifSegmentOf(bytes);
    const std::string segment = bytes.substr(first, end - first);
    testsupport::WriteFile(file, bytes.insert(end, segment));
    return segment;
  }

  // The Exif thumbnail of a file as exiftool extracts it, in a file of the test's own; ""
  // when it has none.
  static std::string ThumbnailOf(const std::string& file, const std::string& name = "before.jpg") {
    const std::string thumb = testsupport::TempPath(name);
    testsupport::WriteFile(thumb, testsupport::Run({"exiftool", "-b", "-ThumbnailImage", file}).out);
    return fs::file_size(thumb) > 0 ? thumb : "";
  }

  // Two pictures show the same at a glance: ImageMagick scales each to 8 x 8 (a mean over
  // each block, so that noise and a second encoding do not count) and finds their colours
  // within 5 %.
  static bool LookAlike(const std::string& a, const std::string& b) {
    const auto r = testsupport::Run({"convert", a, "-scale", "8x8!", b, "-scale", "8x8!", "-metric", "RMSE",
                                     "-compare", "-format", "%[distortion]", "info:"});
    return r.exitCode == 0 && !r.out.empty() && std::stod(r.out) < 0.05;
  }

  // A turned or flipped photo is jpegtran's own output but for what the turn made stale: both
  // Orientations say 1 and the Exif pixel sizes are the picture's (exiftool compares every
  // other tag and finds no fault of its own); a reader that turns by the tag (convert
  // -auto-orient) shows what Kivo2 shows. Its thumbnail is thumbnail (as exiftool extracted
  // it before) turned by ImageMagick as jpegtran's transform says; where jpegtran turns that
  // without loss, no more than the decode rounds apart. Without thumbnail, the file is as long
  // as jpegtran's (its thumbnail stayed).
  void ExpectUpright(const std::string& file, const std::string& jpegtranOutput, const std::string& thumbnail = "",
                     const std::vector<std::string>& transform = {}) {
    auto tags = [](const std::string& f) {
      std::map<std::string, std::string> t;
      const auto r = testsupport::Run({"exiftool", "-args", "-a", "-G1", "-n", f});
      for (const std::string& line : testsupport::Lines(r.out))
        if (line.rfind("-System:", 0) != 0) t[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
      return t;
    };
    auto want = tags(jpegtranOutput);
    want["-ExifIFD:ExifImageWidth"] = want["-File:ImageWidth"];
    want["-ExifIFD:ExifImageHeight"] = want["-File:ImageHeight"];
    want["-IFD0:Orientation"] = want["-IFD1:Orientation"] = "1";
    if (want.count("-XMP-tiff:Orientation")) want["-XMP-tiff:Orientation"] = "1";
    auto got = tags(file);
    for (const char* key : {"-IFD1:ThumbnailOffset", "-IFD1:ThumbnailLength", "-IFD1:ThumbnailImage"})
      if (!thumbnail.empty()) want.erase(key), got.erase(key);
    EXPECT_EQ(got, want) << file;
    auto faults = [](const std::string& f) {
      return testsupport::Run({"exiftool", "-validate", "-warning", "-a", f}).out;
    };
    EXPECT_EQ(faults(file), faults(jpegtranOutput)) << file;
    EXPECT_EQ(testsupport::Run({"compare", "-metric", "AE", file, jpegtranOutput, "null:"}).err, "0") << file;
    if (thumbnail.empty()) {
      EXPECT_EQ(fs::file_size(file), fs::file_size(jpegtranOutput)) << file;
    } else {
      const std::string turned = testsupport::TempPath("turned.png"), now = testsupport::TempPath("now.jpg");
      const std::string& how = transform[1];
      const bool lossless =
          testsupport::Run({jpegtran_, "-perfect", transform[0], how, "-outfile", now, thumbnail}).exitCode == 0;
      std::vector<std::string> argv{"convert", thumbnail, "-rotate", how};
      if (transform[0] == "-flip") argv = {"convert", thumbnail, how == "vertical" ? "-flip" : "-flop"};
      argv.push_back(turned);
      testsupport::Run(argv);
      testsupport::WriteFile(now, testsupport::Run({"exiftool", "-b", "-ThumbnailImage", file}).out);
      const char* fuzz = lossless ? "2%" : "8%";
      EXPECT_EQ(testsupport::Run({"compare", "-metric", "AE", "-fuzz", fuzz, now, turned, "null:"}).err, "0") << file;
    }
    TBitmap shown;
    shown.Assign(Form1->Image1->Picture()->Graphic());
    const std::string view = testsupport::TempPath("view.bmp"), upright = testsupport::TempPath("upright.png");
    shown.SaveToFile(view);
    testsupport::Run({"convert", file, "-auto-orient", upright});
    // A large picture shows fitted to the window: the same at a glance.
    if (testsupport::Run({"identify", "-format", "%wx%h", upright}).out !=
        std::to_string(shown.Width()) + "x" + std::to_string(shown.Height()))
      EXPECT_TRUE(LookAlike(upright, view)) << file;
    else
      EXPECT_EQ(testsupport::Run({"compare", "-metric", "AE", "-fuzz", "3%", upright, view, "null:"}).err, "0") << file;
  }

  // What jpegtran itself makes of the file (into a file of the test's own).
  std::string Expected(const std::string& file, const std::vector<std::string>& transform) {
    const std::string out = testsupport::TempPath("expected.jpg");
    std::vector<std::string> argv{jpegtran_};
    argv.insert(argv.end(), transform.begin(), transform.end());
    argv.insert(argv.end(), {"-copy", "all", "-outfile", out, file});
    auto r = testsupport::Run(argv);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return testsupport::ReadFile(out);
  }

  // A jpegtran stand-in: a shell script that runs body (with $REAL the real jpegtran).
  std::string StandIn(const std::string& folder, const std::string& body) {
    fs::create_directories(folder);
    const std::string script = folder + "/jpegtran";
    testsupport::WriteFile(script, "#!/bin/sh\nREAL=" + jpegtran_ + "\n" + body + "\n");
    chmod(script.c_str(), 0755);
    return script;
  }

  // Bodies of jpegtran stand-ins that fail: one writes half of its output and is killed,
  // one writes half and ends with status 0, one writes everything and is then killed.
  static std::vector<std::string> FailingBodies() {
    const std::string outfile = "for a; do if [ \"$prev\" = -outfile ]; then out=$a; fi; prev=$a; done\n";
    const std::string half = "\"$REAL\" \"$@\" && head -c 3000 \"$out\" > \"$out.part\" && mv \"$out.part\" \"$out\"; ";
    return {outfile + half + "kill -9 $$", outfile + half + "exit 0", "\"$REAL\" \"$@\"; kill -9 $$"};
  }

  // The stand-ins of this folder come first on PATH (the shell tools they use after it).
  void PathFirst(const std::string& folder) { setenv("PATH", (folder + ":/usr/bin:/bin").c_str(), 1); }

  std::string jpegtran_, savedPath_;
};

