// The thumbnail cache and panel: cache names against a CRC-32 worked out by Python's
// zlib, cached thumbnails against ImageMagick's -thumbnail of the same pictures, a second
// visit that opens no picture, pictures changed since, unreadable files, paths that share
// their first 255 characters or their checksum, the decode scale, the panel's geometry in
// every position and size, a build that handles events and stops, and the colours.
#include <fcntl.h>
#include <sys/stat.h>

#include <cmath>

#include "ViewerFixture.h"
#include "controls/Resmeter.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit_Crc32.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Spin.h"
#include "platform/gui/ComCtrls.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/SysUtils.h"

namespace fs = std::filesystem;
using testsupport::Raster;

namespace {

// The CRC-32 of the cache name as Python's zlib computes it: the length byte and the bytes.
std::string PythonCrcName(const std::string& text) {
  auto r = testsupport::Run({"python3", "-c",
                             "import sys,zlib; b=sys.argv[1].encode('utf-8','surrogateescape'); "
                             "print('%08X' % (zlib.crc32(bytes([len(b) & 255]) + b) ^ 0xFFFFFFFF))",
                             text});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out.substr(0, 8);
}

struct Difference {
  double mean = 0;
  int maximum = 0;
};

Difference Compare(const Raster& a, const Raster& b) {
  Difference d;
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  if (a.width != b.width || a.height != b.height) {
    d.mean = 256;
    return d;
  }
  double total = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      for (int c = 0; c < 3; ++c) {
        const int diff = std::abs(int(a.at(x, y, std::min(c, a.channels - 1))) - int(b.at(x, y, std::min(c, b.channels - 1))));
        d.maximum = std::max(d.maximum, diff);
        total += diff;
      }
  d.mean = total / (double(a.width) * a.height * 3);
  return d;
}

// The size a picture's thumbnail gets: the long side becomes side, the other one shrinks
// by the whole percentage side * 100 div long; smaller pictures keep their size.
std::pair<int, int> FitSize(int width, int height, int side) {
  if (width < side && height < side) return {width, height};
  if (width > height) return {side, height * side / width};
  return {width * side / height, side};
}

// A JPEG is decoded at 1/2, 1/4 or 1/8 when that still covers side pixels; the fit
// works on the decoded size (libjpeg rounds scaled sizes up).
std::pair<int, int> DecodedSize(int width, int height, int side) {
  int divisor = 1;
  if (!(side > width / 2 && side > height / 2)) {
    divisor = 2;
    if (!(width <= 4 * side && height <= 4 * side)) divisor = (width <= 8 * side && height <= 8 * side) ? 4 : 8;
  }
  return {(width + divisor - 1) / divisor, (height + divisor - 1) / divisor};
}

std::string Identify(const std::string& format, const std::string& file) {
  auto r = testsupport::Run({"identify", "-format", format, file});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out;
}

TPanel* Panel(int index) { return dynamic_cast<TPanel*>(Form1->FThumbScrollBox->Controls(index)); }
TImage* PanelImage(int index) { return dynamic_cast<TImage*>(Panel(index)->Controls(0)); }
bool Filled(int index) {
  TGraphic* g = PanelImage(index)->Picture()->Graphic();
  return g && !g->Empty();
}

}  // namespace

class ThumbnailTest : public ViewerTest {
 protected:
  void Build() {
    Form1->ZqTumblist->SetDown(true);
    Form1->ZqTumblistClick(Form1);
    ASSERT_NE(Form1->FThumbScrollBox, nullptr);
    ASSERT_EQ(Form1->FThumbScrollBox->ControlCount(), Form1->ListBox1->Count());
  }
  std::string CacheOf(const std::string& name) { return Form1->ThumbNailName(folder_ + name); }
};

// ---------------------------------------------------------------------------
// Names
// ---------------------------------------------------------------------------
TEST_F(ThumbnailTest, CacheNamesAreTheChecksumOfThePathInTheCacheFolder) {
  KIVO2_REQUIRE_TOOL("python3");
  EXPECT_EQ(StringCrc32Hex("abc"), "066B17DD");
  EXPECT_EQ(StringCrc32Hex("abc"), PythonCrcName("abc"));
  StartIn();
  const std::string cache = std::string(getenv("XDG_CACHE_HOME")) + "/Kivo2/Thumbcache";
  EXPECT_EQ(Form1->FThumbCacheFolder, cache);
  for (const std::string& path : {folder_ + "a.jpg", folder_ + "Été 2004/ß.jpg", std::string("/x")})
    EXPECT_EQ(Form1->ThumbNailName(path), cache + "/" + PythonCrcName(path) + ".jpg") << path;

  // Stand-alone: the path on the program's drive without the drive, in the Windows form,
  // so that a stick keeps its thumbnails wherever it is mounted.
  Form1->FUsbMode = true;
  Form1->FAppDir = ProgramFolder();
  auto mount = testsupport::Run({"stat", "-c", "%m", folder_});
  ASSERT_EQ(mount.exitCode, 0);
  std::string root = mount.out.substr(0, mount.out.find('\n'));
  if (root.back() != '/') root += '/';
  std::string relative = (folder_ + "a.jpg").substr(root.size());
  for (char& c : relative)
    if (c == '/') c = '\\';
  EXPECT_EQ(Form1->ThumbNailName(folder_ + "a.jpg"), cache + "/" + PythonCrcName(":\\" + relative) + ".jpg");
}

// ---------------------------------------------------------------------------
// Cached pictures
// ---------------------------------------------------------------------------
TEST_F(ThumbnailTest, EveryPictureGetsACacheFileLikeImageMagicksThumbnail) {
  KIVO2_REQUIRE_TOOL("convert");
  Make("a.jpg", {"-size", "800x600", "gradient:navy-orange", "-swirl", "120", "-fill", "white", "-draw",
                 "circle 400,300 400,420", "-quality", "95"});
  Make("b.png", {"-size", "300x200", "gradient:red-blue"});
  Make("c.tif", {"-size", "200x300", "xc:green", "-fill", "yellow", "-draw", "circle 100,150 100,60"});
  Make("d.bmp", {"-size", "350x250", "radial-gradient:white-purple"});
  Make("e.png", {"-size", "100x80", "gradient:yellow-black"});
  Make("f.png", {"-size", "20000x2000", "xc:teal"});  // a panorama, 175 x 17 as a thumbnail
  StartIn();
  Build();
  std::map<std::string, std::pair<int, int>> sizes{{"a.jpg", {800, 600}}, {"b.png", {300, 200}},
                                                   {"c.tif", {200, 300}}, {"d.bmp", {350, 250}},
                                                   {"e.png", {100, 80}},  {"f.png", {20000, 2000}}};
  for (const auto& [name, size] : sizes) {
    SCOPED_TRACE(name);
    const std::string cache = CacheOf(name);
    ASSERT_TRUE(FileExists(cache));
    auto decoded = size;
    if (name.ends_with(".jpg")) decoded = DecodedSize(size.first, size.second, 175);
    const auto [w, h] = FitSize(decoded.first, decoded.second, 175);
    EXPECT_EQ(Identify("%w %h %Q", cache), std::to_string(w) + " " + std::to_string(h) + " 70");
    // The cache file names its picture, and has the picture's modification time.
    EXPECT_NE(Identify("%c", cache).find(folder_ + name), std::string::npos);
    struct stat picture, cached;
    ASSERT_EQ(stat((folder_ + name).c_str(), &picture), 0);
    ASSERT_EQ(stat(cache.c_str(), &cached), 0);
    EXPECT_EQ(picture.st_mtim.tv_sec, cached.st_mtim.tv_sec);
    const std::string geometry = std::to_string(w) + "x" + std::to_string(h) + "!";
    const Raster theirs = testsupport::ImageMagickRaster(folder_ + name, {"-thumbnail", geometry, "-depth", "8"});
    const Raster ours = testsupport::ImageMagickRaster(cache, {"-depth", "8"});
    const Difference d = Compare(ours, theirs);
    EXPECT_LT(d.mean, 4.0);
    EXPECT_LT(d.maximum, 80);
    EXPECT_TRUE(Form1->ValidThumbFileExists(folder_ + name));
    EXPECT_TRUE(Filled(Form1->ListBox1->Items()->IndexOf(name)));
  }
}

TEST_F(ThumbnailTest, ASecondVisitOpensNoPictureAndAChangedPictureIsMadeAgain) {
  KIVO2_REQUIRE_TOOL("convert");
  Make("a.jpg", {"-size", "640x480", "gradient:blue-white", "-quality", "90"});
  MakeColor("b.bmp", 240, 160, "red");
  StartIn();
  Build();
  {
    // Every picture file the build opens fails and is counted.
    TFileFaultScope opens(TFileFaultOp::Open, EIO, folder_, 0, -1);
    Form1->FillTheTumbsNow();
    EXPECT_EQ(opens.Hits(), 0);
    EXPECT_TRUE(Filled(0));
    EXPECT_TRUE(Filled(1));
  }

  // The same size, the same second, other pixels: the time to the nanosecond tells.
  struct stat before;
  ASSERT_EQ(stat((folder_ + "b.bmp").c_str(), &before), 0);
  MakeColor("b.bmp", 240, 160, "lime");
  struct timespec times[2] = {{0, UTIME_OMIT}, {before.st_mtim.tv_sec, (before.st_mtim.tv_nsec + 1) % 1000000000}};
  ASSERT_EQ(utimensat(AT_FDCWD, (folder_ + "b.bmp").c_str(), times, 0), 0);
  ASSERT_EQ(FileSizeByName(folder_ + "b.bmp"), int64_t(before.st_size));
  EXPECT_FALSE(Form1->ValidThumbFileExists(folder_ + "b.bmp"));
  // Another size: made again too.
  Make("a.jpg", {"-size", "640x480", "gradient:blue-white", "-quality", "60"});
  EXPECT_FALSE(Form1->ValidThumbFileExists(folder_ + "a.jpg"));
  Form1->FillTheTumbsNow();
  EXPECT_TRUE(Form1->ValidThumbFileExists(folder_ + "b.bmp"));
  EXPECT_TRUE(Form1->ValidThumbFileExists(folder_ + "a.jpg"));
  const Raster cached = testsupport::ImageMagickRaster(CacheOf("b.bmp"), {"-depth", "8"});
  EXPECT_NEAR(cached.at(10, 10, 0), 0, 8);
  EXPECT_NEAR(cached.at(10, 10, 1), 255, 8);

  // A cache file cut to half its size, its time the picture's, is made again whole.
  KIVO2_REQUIRE_TOOL("jpeginfo");
  const std::string cut = CacheOf("a.jpg");
  ASSERT_EQ(truncate(cut.c_str(), off_t(fs::file_size(cut) / 2)), 0);
  ASSERT_EQ(testsupport::Run({"touch", "-r", folder_ + "a.jpg", cut}).exitCode, 0);
  Form1->FillTheTumbsNow();
  EXPECT_EQ(testsupport::Run({"jpeginfo", "-c", cut}).exitCode, 0);
}

TEST_F(ThumbnailTest, NoCacheFilesWithTheCacheOffOrForPicturesInTheCacheFolder) {
  KIVO2_REQUIRE_TOOL("convert");
  MakeColor("a.png", 300, 200, "red");
  MakeColor("b.jpg", 200, 300, "blue");
  StartIn();
  auto cacheFiles = [&] {
    int count = 0;
    if (fs::exists(Form1->FThumbCacheFolder))
      for (const auto& entry : fs::directory_iterator(Form1->FThumbCacheFolder)) count += entry.is_regular_file();
    return count;
  };
  // The cache switched off: the thumbnails show, nothing is written.
  Form1->M_UseTumbCache->SetChecked(false);
  Build();
  EXPECT_EQ(cacheFiles(), 0);
  for (int i = 0; i < 2; ++i) {
    TGraphic* g = PanelImage(i)->Picture()->Graphic();
    ASSERT_NE(g, nullptr) << i;
    EXPECT_EQ(std::max(g->Width(), g->Height()), Form1->FThumbImageSize) << i;
  }
  // Switched on: one file per picture; a picture inside the cache folder gets none.
  Form1->M_UseTumbCache->SetChecked(true);
  Build();
  EXPECT_EQ(cacheFiles(), 2);
  const std::string inside = Form1->FThumbCacheFolder + "/picture.png";
  ASSERT_EQ(testsupport::Run({"convert", "-size", "300x200", "xc:green", inside}).exitCode, 0);
  TImage made(nullptr);
  EXPECT_FALSE(Form1->SaveAsJpgThumb(inside, &made, true));
  EXPECT_EQ(cacheFiles(), 3);
  // A folder whose name differs from the cache's only in case is a folder of pictures.
  const std::string sibling = Form1->FThumbCacheFolder.substr(0, Form1->FThumbCacheFolder.size() - 10) + "THUMBCACHE";
  fs::create_directories(sibling);
  ASSERT_EQ(testsupport::Run({"convert", "-size", "300x200", "xc:green", sibling + "/picture.png"}).exitCode, 0);
  EXPECT_TRUE(Form1->SaveAsJpgThumb(sibling + "/picture.png", &made, true));
  EXPECT_EQ(cacheFiles(), 4);
}

TEST_F(ThumbnailTest, UnreadablePicturesShowThePlaceholderAndAreNotCached) {
  KIVO2_REQUIRE_TOOL("convert");
  testsupport::WriteFile(folder_ + "a_text.jpg", "this is no picture");
  Make("b_whole.jpg", {"-size", "400x300", "gradient:red-blue"});
  const std::string whole = testsupport::ReadFile(folder_ + "b_whole.jpg");
  testsupport::WriteFile(folder_ + "c_cut.jpg", whole.substr(0, 20));
  testsupport::WriteFile(folder_ + "d_cut.png", "\x89PNG\r\n\x1a\n");
  StartIn();
  Build();
  for (const char* name : {"a_text.jpg", "c_cut.jpg", "d_cut.png"}) {
    SCOPED_TRACE(name);
    const int index = Form1->ListBox1->Items()->IndexOf(name);
    ASSERT_GE(index, 0);
    ASSERT_TRUE(Filled(index));
    // The placeholder's grey card, its long side the thumbnail's.
    TBitmap shown;
    shown.Assign(PanelImage(index)->Picture()->Graphic());
    EXPECT_EQ(std::max(shown.Width(), shown.Height()), Form1->FThumbImageSize);
    EXPECT_EQ(shown.PixelColor(shown.Width() / 4, 3) & 0xFFFFFF, TColor(0xC0C0C0));
    EXPECT_NE(PanelImage(index)->Hint().find("Not supported!"), std::string::npos);
    EXPECT_FALSE(FileExists(CacheOf(name)));
  }
  EXPECT_TRUE(Form1->ValidThumbFileExists(folder_ + "b_whole.jpg"));
}

TEST_F(ThumbnailTest, PathsWithOneShortenedNameOrOneChecksumKeepTheirOwnThumbnails) {
  KIVO2_REQUIRE_TOOL("convert");
  // Two paths alike in their first 255 characters.
  const std::string deep = folder_ + std::string(200, 'd') + "/";
  fs::create_directories(deep);
  const std::string stem = std::string(150, 'x');
  const std::string red = deep + stem + "_red.bmp", blue = deep + stem + "_blue.bmp";
  ASSERT_EQ(red.substr(0, 255), blue.substr(0, 255));
  // Two paths of one checksum, found by trying names of twelve letters.
  std::map<uint32_t, std::string> seen;
  std::string first, second;
  uint64_t state = 12345;
  for (int n = 0; n < 2000000 && second.empty(); ++n) {
    std::string name(12, 'a');
    for (char& c : name) {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      c = char('a' + (state >> 33) % 26);
    }
    const std::string path = folder_ + name + ".bmp";
    auto [it, fresh] = seen.emplace(StringCrc32(path), path);
    if (!fresh && it->second != path) {
      first = it->second;
      second = path;
    }
  }
  ASSERT_FALSE(second.empty());
  auto make = [](const std::string& path, const std::string& color) {
    auto r = testsupport::Run({"convert", "-size", "64x48", "xc:" + color, path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  };
  make(red, "red");
  make(blue, "blue");
  make(first, "lime");
  make(second, "yellow");
  StartIn();
  std::map<std::string, std::array<int, 3>> expected{
      {red, {255, 0, 0}}, {blue, {0, 0, 255}}, {first, {0, 255, 0}}, {second, {255, 255, 0}}};
  for (const auto& [path, color] : expected) ASSERT_TRUE(Form1->SaveAsJpgThumb(path, nullptr, true)) << path;
  EXPECT_NE(Form1->ThumbNailName(red), Form1->ThumbNailName(blue));
  EXPECT_NE(Form1->ThumbNailName(first), Form1->ThumbNailName(second));
  EXPECT_EQ(fs::path(Form1->ThumbNailName(second)).filename().string(), StringCrc32Hex(second) + "_1.jpg");
  for (const auto& [path, color] : expected) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(Form1->ValidThumbFileExists(path));
    const Raster cached = testsupport::ImageMagickRaster(Form1->ThumbNailName(path), {"-depth", "8"});
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(cached.at(5, 5, c), color[c], 10);
  }
}

TEST_F(ThumbnailTest, JpegsDecodeAtTheScaleThatStillCoversTheThumbnail) {
  KIVO2_REQUIRE_TOOL("convert");
  EXPECT_EQ(TForm1::ChooseJpegScale(175, 300, 340), 0);
  EXPECT_EQ(TForm1::ChooseJpegScale(175, 480, 640), 1);
  EXPECT_EQ(TForm1::ChooseJpegScale(175, 1200, 1400), 2);
  EXPECT_EQ(TForm1::ChooseJpegScale(175, 3000, 4000), 3);
  // At each limit the smaller decode still covers the side: 2, 4 and 8 times it.
  EXPECT_EQ(TForm1::ChooseJpegScale(175, 349, 349), 0);
  EXPECT_EQ(TForm1::ChooseJpegScale(175, 350, 350), 1);
  EXPECT_EQ(TForm1::ChooseJpegScale(175, 700, 700), 1);
  EXPECT_EQ(TForm1::ChooseJpegScale(175, 700, 701), 2);
  EXPECT_EQ(TForm1::ChooseJpegScale(175, 1400, 1400), 2);
  EXPECT_EQ(TForm1::ChooseJpegScale(175, 1401, 1400), 3);
  Make("big.jpg", {"-size", "4000x3000", "gradient:red-blue", "-quality", "80"});
  Make("small.png", {"-size", "100x80", "xc:white"});
  StartIn();
  ASSERT_TRUE(Form1->SaveAsJpgThumb(folder_ + "big.jpg", nullptr, true));
  ASSERT_TRUE(Form1->SaveAsJpgThumb(folder_ + "small.png", nullptr, true));
  // Decoded at 1/8 (500 x 375): 375 * 175 div 500 = 131.
  EXPECT_EQ(Identify("%w %h", CacheOf("big.jpg")), "175 131");
  EXPECT_EQ(Identify("%w %h", CacheOf("small.png")), "100 80");
  // A smaller cache size from the debug panel.
  Form1->SpinEdit1->SetValue(1);
  ASSERT_TRUE(Form1->SaveAsJpgThumb(folder_ + "big.jpg", nullptr, true));
  EXPECT_EQ(Identify("%w", CacheOf("big.jpg")), "75");
  // The cache's own pictures get no thumbnail of their own; without the cache option
  // nothing is made unless asked for always.
  EXPECT_FALSE(Form1->SaveAsJpgThumb(CacheOf("big.jpg"), nullptr, true));
  Form1->M_UseTumbCache->SetChecked(false);
  EXPECT_FALSE(Form1->SaveAsJpgThumb(folder_ + "small.png", nullptr, false));
}

// ---------------------------------------------------------------------------
// The panel
// ---------------------------------------------------------------------------
TEST_F(ThumbnailTest, PanelsLieInARowOrInColumnsForEveryPositionAndSize) {
  KIVO2_REQUIRE_TOOL("convert");
  for (int i = 0; i < 5; ++i) MakeColor("p" + std::to_string(i) + ".png", 90, 60, "gray");
  StartIn();
  const int panelSides[] = {55, 105, 150, 185}, imageSides[] = {45, 95, 140, 175}, gaps[] = {3, 5, 5, 5};
  for (int position : {1, 2, 0}) {
    for (int size = 0; size < 4; ++size) {
      SCOPED_TRACE("position " + std::to_string(position) + " size " + std::to_string(size));
      Form1->FThumbsPos = position;
      Form1->FThumbSize = size;
      Form1->FThumbColumns = 2;
      Form1->ZqTumblist->SetDown(true);
      Form1->ZqTumblistClick(Form1);
      const int side = panelSides[size], gap = gaps[size];
      TPanel* holder = Form1->PanelThumbHolder;
      ASSERT_TRUE(holder->Visible());
      if (position == 2) {
        EXPECT_EQ(holder->Align(), alRight);
        EXPECT_EQ(holder->Width(), (side + gap) * 2 + 30);
        // Two columns, then the next row.
        EXPECT_EQ(Panel(1)->Left(), gap + side + gap);
        EXPECT_EQ(Panel(2)->Left(), gap);
        EXPECT_EQ(Panel(2)->Top(), gap + side + gap);
      } else {
        EXPECT_EQ(holder->Align(), position == 1 ? alTop : alBottom);
        EXPECT_EQ(holder->Height(), side + 30);
        // Between the button bar and the status bar.
        if (position == 1)
          EXPECT_EQ(holder->Top(), Form1->PanelTopButtons->Top() + Form1->PanelTopButtons->Height());
        else
          EXPECT_EQ(holder->Top() + holder->Height(), Form1->StatusBar1->Top());
        for (int i = 0; i < 5; ++i) {
          EXPECT_EQ(Panel(i)->Left() + Form1->FThumbScrollBox->HorzScrollBar()->Position(), gap + i * (side + gap));
          EXPECT_EQ(Panel(i)->Top(), gap);
        }
      }
      EXPECT_EQ(Panel(0)->Width(), side);
      // The 90 x 60 picture fitted to the thumbnail's long side, centred.
      TImage* image = PanelImage(0);
      const auto [w, h] = FitSize(90, 60, imageSides[size]);
      EXPECT_EQ(image->Width(), w);
      EXPECT_EQ(image->Height(), h);
      EXPECT_EQ(image->Left(), (side - w) / 2);
      EXPECT_EQ(image->Top(), (side - h) / 2);
    }
  }
  // Switched off: the panel goes and its box is freed.
  Form1->ZqTumblist->SetDown(false);
  Form1->ZqTumblistClick(Form1);
  EXPECT_FALSE(Form1->PanelThumbHolder->Visible());
  EXPECT_EQ(Form1->FThumbScrollBox, nullptr);
}

TEST_F(ThumbnailTest, TheBuildHandlesEventsBetweenThumbnailsAndStopsWhenAsked) {
  KIVO2_REQUIRE_TOOL("convert");
  for (int i = 0; i < 12; ++i) Make("p" + std::to_string(10 + i) + ".jpg", {"-size", "600x400", "plasma:", "-seed", "1"});
  StartIn();
  Form1->M_UseTumbCache->SetChecked(false);
  // A click on the stop panel, handled between two thumbnails.
  int ticks = 0;
  TTimer clicker(nullptr);
  clicker.SetInterval(1);
  clicker.OnTimer = [&](TObject*) {
    if (++ticks == 3) Form1->PanelGauge->Click();
  };
  clicker.SetEnabled(true);
  Form1->ZqTumblist->SetDown(true);
  Form1->ZqTumblistClick(Form1);
  clicker.SetEnabled(false);
  EXPECT_GE(ticks, 3);
  int filled = 0;
  for (int i = 0; i < 12; ++i) filled += Filled(i) ? 1 : 0;
  EXPECT_GT(filled, 0);
  EXPECT_LT(filled, 12);
  EXPECT_FALSE(Form1->FBuildingThumbs);
  EXPECT_FALSE(Form1->PanelGauge->Visible());

  // A second build started from an event of the first one replaces it; hiding the panel
  // during a build stops it before the panel goes.
  ticks = 0;
  clicker.OnTimer = [&](TObject*) {
    if (++ticks == 2) Form1->FillTheTumbsNow();
  };
  clicker.SetEnabled(true);
  Form1->FillTheTumbsNow();
  clicker.SetEnabled(false);
  for (int i = 0; i < 12; ++i) EXPECT_TRUE(Filled(i)) << i;
  ticks = 0;
  clicker.OnTimer = [&](TObject*) {
    if (++ticks == 2) Form1->Onoff1->Click();
  };
  clicker.SetEnabled(true);
  Form1->FillTheTumbsNow();
  clicker.SetEnabled(false);
  EXPECT_FALSE(Form1->PanelThumbHolder->Visible());
  EXPECT_FALSE(Form1->ZqTumblist->Down());
  EXPECT_EQ(Form1->FThumbScrollBox, nullptr);
}

TEST_F(ThumbnailTest, TheCurrentEntryIsBlueSelectedOnesNavyAndTheOneUnderTheMouseSilver) {
  KIVO2_REQUIRE_TOOL("convert");
  for (int i = 0; i < 4; ++i) MakeColor("p" + std::to_string(i) + ".png", 40, 30, "gray");
  StartIn();
  Build();
  const TColor area = Form1->ScrollBox1->Color();
  EXPECT_EQ(Panel(0)->Color(), TColor(0xFF0000));
  EXPECT_EQ(Panel(1)->Color(), area);
  // A click on a thumbnail opens its picture and makes it the blue one.
  GuiTesting::Click(PanelImage(2), 2, 2);
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "p2.png");
  EXPECT_EQ(Panel(2)->Color(), TColor(0xFF0000));
  EXPECT_EQ(Panel(0)->Color(), area);
  // Shift-click: a range, the others navy.
  GuiTesting::Click(PanelImage(0), 2, 2, mbLeft, TShiftState{ssShift});
  EXPECT_EQ(Panel(0)->Color(), TColor(0xFF0000));
  EXPECT_EQ(Panel(1)->Color(), TColor(0x800000));
  EXPECT_EQ(Panel(2)->Color(), TColor(0x800000));
  EXPECT_EQ(Panel(3)->Color(), area);
  // Ctrl-click on a selected thumbnail deselects its entry and still opens it.
  GuiTesting::Click(PanelImage(1), 2, 2, mbLeft, TShiftState{ssCtrl});
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "p1.png");
  EXPECT_FALSE(Form1->ListBox1->Selected(1));
  EXPECT_TRUE(Form1->ListBox1->Selected(0));
  EXPECT_TRUE(Form1->ListBox1->Selected(2));
  EXPECT_EQ(Panel(0)->Color(), TColor(0x800000));
  // A Ctrl-click on an entry not selected adds it.
  GuiTesting::Click(PanelImage(3), 2, 2, mbLeft, TShiftState{ssCtrl});
  EXPECT_TRUE(Form1->ListBox1->Selected(3));
  EXPECT_TRUE(Form1->ListBox1->Selected(2));
  EXPECT_EQ(Panel(3)->Color(), TColor(0xFF0000));
  // A plain click selects one entry again.
  GuiTesting::Click(PanelImage(2), 2, 2);
  EXPECT_FALSE(Form1->ListBox1->MultiSelect());
  EXPECT_EQ(Panel(0)->Color(), area);
  EXPECT_EQ(Panel(3)->Color(), area);
  EXPECT_EQ(Panel(2)->Color(), TColor(0xFF0000));
  // The mouse over another thumbnail.
  GuiTesting::MouseMove(PanelImage(3), 3, 3);
  EXPECT_EQ(Panel(3)->Color(), TColor(0xC0C0C0));
  GuiTesting::MouseMove(PanelImage(2), 3, 3);
  EXPECT_EQ(Panel(2)->Color(), TColor(0xFF0000));
  EXPECT_EQ(Panel(3)->Color(), area);
}

TEST_F(ThumbnailTest, LowMemoryStopsTheBuildWithAMessage) {
  KIVO2_REQUIRE_TOOL("convert");
  MakeColor("a.png", 40, 30, "gray");
  StartIn();
  const std::string meminfo = testsupport::TempPath("meminfo");
  testsupport::WriteFile(meminfo, "MemTotal: 1000000 kB\nMemFree: 1000 kB\nMemAvailable: 20000 kB\n");
  SetMemInfoFile(meminfo);
  ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
  Form1->ZqTumblist->SetDown(true);
  Form1->ZqTumblistClick(Form1);
  SetMemInfoFile(std::string());
  EXPECT_FALSE(Form1->PanelThumbHolder->Visible());
  const auto history = ModalResponder::History();
  ASSERT_FALSE(history.empty());
  EXPECT_EQ(history.back().text, "Low system resources!, cannot create thumbnails.\nClose other programs, or get more memory");
}

TEST_F(ThumbnailTest, HintsNameThePictureAndARenewedPictureShowsAtOnce) {
  KIVO2_REQUIRE_TOOL("convert");
  MakeColor("a.bmp", 300, 200, "red");
  testsupport::WriteFile(folder_ + "b.avi", "video");
  StartIn();
  Form1->M_UseTumbCache->SetChecked(false);
  Build();
  const std::string kbytes = std::to_string(FileSizeByName(folder_ + "a.bmp") / 1024) + " Kbytes";
  // Not cached: the picture's own size; an associated file says so.
  EXPECT_EQ(PanelImage(0)->Hint(), folder_ + "a.bmp\n300 x 200 pixels\n" + kbytes);
  EXPECT_EQ(PanelImage(1)->Hint(), folder_ + "b.avi\n0 Kbytes\nAssociated file.");
  Form1->M_UseTumbCache->SetChecked(true);
  Form1->FillTheTumbsNow();
  EXPECT_EQ(PanelImage(0)->Hint(), folder_ + "a.bmp\n" + kbytes);
  // The picture changes (as a lossless rotation changes it): its panel and cache follow.
  MakeColor("a.bmp", 200, 300, "blue");
  Form1->UpdateThumbnail(0, folder_ + "a.bmp");
  EXPECT_TRUE(Form1->ValidThumbFileExists(folder_ + "a.bmp"));
  TBitmap shown;
  shown.Assign(PanelImage(0)->Picture()->Graphic());
  EXPECT_LT(shown.Width(), shown.Height());
  EXPECT_EQ(shown.PixelColor(shown.Width() / 2, shown.Height() / 2) & 0xFFFFFF, TColor(0xFF0000));
}
