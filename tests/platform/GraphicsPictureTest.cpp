// TPicture and the picture format list; icons and metafiles as the list opens them.

#include <sys/stat.h>

#include "GraphicsTestHelpers.h"
#include "platform/graphics/Jpeg.h"

using namespace graphicstest;
using testsupport::TempPath;

namespace {

// A bitmap class that records how it was loaded.
class TRecordingBitmap : public TBitmap {
  KIVO2_GRAPHIC_CLASS(TRecordingBitmap, TBitmap)

 public:
  static inline std::string lastFile;
  void LoadFromFile(const std::string& fileName) override {
    lastFile = fileName;
    TBitmap::LoadFromFile(fileName);
  }
  void LoadFromStream(TStream& stream) override {
    Progress(this, psStarting, 0, false, TRect(), "Loading data...");
    TBitmap::LoadFromStream(stream);
    Progress(this, psEnding, 100, false, TRect(), "Loading data...");
  }
};

class TDerivedRecordingBitmap : public TRecordingBitmap {
  KIVO2_GRAPHIC_CLASS(TDerivedRecordingBitmap, TRecordingBitmap)
};

std::string SaveTestBitmap(const std::string& name, int w, int h) {
  TBitmap b;
  FillPattern(b, pf24bit, w, h);
  std::string path = TempPath(name);
  b.SaveToFile(path);
  return path;
}

}  // namespace

TEST(GraphicsPicture, PlatformClassesAreRegisteredFirst) {
  auto formats = TPicture::FileFormats();
  ASSERT_GE(formats.size(), 6u);
  const char* expected[] = {"bmp", "ico", "wmf", "emf", "jpg", "jpeg"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(formats[size_t(i)].Extension, expected[i]);
  EXPECT_EQ(TPicture::FindGraphicClass("BMP"), TBitmap::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass(".Ico"), TIcon::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass("emf"), TMetafile::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass("JpEg"), TJPEGImage::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass("xyz"), nullptr);
  EXPECT_EQ(TPicture::FindGraphicClass(""), nullptr);
  EXPECT_EQ(GraphicExtension(TJPEGImage::ClassRef()), "jpg");
  EXPECT_EQ(GraphicFileMask(TMetafile::ClassRef()), "*.wmf;*.emf");
  std::string filter = GraphicFilter(TGraphic::ClassRef());
  EXPECT_EQ(filter.rfind("All (*.bmp;*.ico;*.wmf;*.emf;*.jpg;*.jpeg", 0), 0u) << filter;
  EXPECT_NE(filter.find("|Bitmaps (*.bmp)|*.bmp"), std::string::npos);
}

TEST(GraphicsPicture, ClassReferencesKnowTheirAncestry) {
  EXPECT_TRUE(TDerivedRecordingBitmap::ClassRef()->InheritsFrom(TBitmap::ClassRef()));
  EXPECT_TRUE(TBitmap::ClassRef()->InheritsFrom(TGraphic::ClassRef()));
  EXPECT_FALSE(TBitmap::ClassRef()->InheritsFrom(TRecordingBitmap::ClassRef()));
  EXPECT_STREQ(TRecordingBitmap::ClassRef()->ClassName(), "TRecordingBitmap");
  auto made = TDerivedRecordingBitmap::ClassRef()->Create();
  EXPECT_EQ(made->ClassType(), TDerivedRecordingBitmap::ClassRef());
  EXPECT_THROW(TGraphic::ClassRef()->Create(), EAbstractError);
}

TEST(GraphicsPicture, TheLatestRegistrationWinsAndUnregisteringTakesDerivedClasses) {
  std::string file = SaveTestBitmap("pic.BMP", 5, 4);
  TPicture::RegisterFileFormat("bmp", "Recording bitmaps", TRecordingBitmap::ClassRef());
  TPicture::RegisterFileFormat("rec", "Derived", TDerivedRecordingBitmap::ClassRef());
  TPicture picture;
  std::vector<TProgressStage> stages;
  picture.OnProgress = [&](TObject*, TProgressStage stage, uint8_t, bool, const TRect&, const std::string&) {
    stages.push_back(stage);
  };
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  picture.LoadFromFile(file);
  EXPECT_EQ(picture.Graphic()->ClassType(), TRecordingBitmap::ClassRef());
  EXPECT_EQ(TRecordingBitmap::lastFile, file) << "the graphic's own LoadFromFile is used";
  EXPECT_EQ(stages, (std::vector<TProgressStage>{psStarting, psEnding}));
  EXPECT_GE(changes, 1);
  EXPECT_EQ(picture.Width(), 5);

  TPicture::UnregisterGraphicClass(TRecordingBitmap::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass("rec"), nullptr) << "derived classes go too";
  EXPECT_EQ(TPicture::FindGraphicClass("bmp"), TBitmap::ClassRef());
  picture.LoadFromFile(file);
  EXPECT_EQ(picture.Graphic()->ClassType(), TBitmap::ClassRef());
}

TEST(GraphicsPicture, UnknownExtensionsAndFailedLoadsLeaveThePictureAlone) {
  std::string good = SaveTestBitmap("good.bmp", 7, 3);
  TPicture picture;
  picture.LoadFromFile(good);
  TGraphic* before = picture.Graphic();
  std::string bad = TempPath("bad.bmp");
  testsupport::WriteFile(bad, "BM this is not a bitmap at all");
  EXPECT_THROW(picture.LoadFromFile(bad), EInvalidGraphic);
  EXPECT_EQ(picture.Graphic(), before);
  EXPECT_EQ(picture.Width(), 7);
  try {
    picture.LoadFromFile(TempPath("notes.xyz"));
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unknown picture file extension (.xyz)");
  }
  EXPECT_THROW(picture.LoadFromFile(TempPath("missing.bmp")), EFOpenError);
  EXPECT_EQ(picture.Graphic(), before);
  // Metafiles have no reader here.
  std::string wmf = TempPath("drawing.wmf");
  testsupport::WriteFile(wmf, std::string("\xD7\xCD\xC6\x9A", 4) + std::string(40, '\0'));
  try {
    picture.LoadFromFile(wmf);
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Metafiles are not supported");
  }
}

TEST(GraphicsPicture, AssignBitmapAndSaving) {
  std::string file = SaveTestBitmap("a.bmp", 6, 5);
  TPicture a;
  a.LoadFromFile(file);
  TPicture b;
  b.Assign(&a);
  ASSERT_NE(b.Graphic(), a.Graphic());
  EXPECT_TRUE(b.Graphic()->Equals(*a.Graphic()));
  // Bitmap() replaces a graphic of another kind by an empty bitmap.
  TPicture c;
  TMetafile meta;
  c.SetGraphic(&meta);
  ASSERT_NE(dynamic_cast<TMetafile*>(c.Graphic()), nullptr);
  TBitmap* bitmap = c.Bitmap();
  EXPECT_TRUE(bitmap->Empty());
  EXPECT_EQ(c.Graphic(), bitmap);
  // Saving replaces an existing file whole and keeps its permissions.
  std::string out = TempPath("out.bmp");
  testsupport::WriteFile(out, "old contents");
  chmod(out.c_str(), 0640);
  a.SaveToFile(out);
  EXPECT_EQ(testsupport::ReadFile(out), testsupport::ReadFile(file));
  struct stat st {};
  stat(out.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_THROW(a.SaveToFile(TempPath("no/such/folder/x.bmp")), EFCreateError);
}

TEST(GraphicsPicture, IconsReadLikeImageMagick) {
  KIVO2_REQUIRE_TOOL("convert");
  std::string ico = TempPath("icon.ico");
  auto r = testsupport::Run({"convert", "-size", "24x24", "-seed", "2", "plasma:", "-alpha", "set", "-channel", "A",
                             "-fx", "i<12?1:0", "+channel", ico});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  TPicture picture;
  picture.LoadFromFile(ico);
  auto* icon = dynamic_cast<TIcon*>(picture.Graphic());
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->Width(), 24);
  auto raster = testsupport::ImageMagickRaster(ico);
  ASSERT_EQ(raster.channels, 4);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) {
      EXPECT_EQ(icon->Image().ScanLine(y)[4 * x + 3], raster.at(x, y, 3)) << x << "," << y;
      if (raster.at(x, y, 3) == 255) {
        EXPECT_EQ(icon->Image().PixelColor(x, y), RasterColor(raster, x, y));
      }
    }
  // Drawn on a bitmap, the transparent half keeps the background.
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(30, 30);
  target.Canvas().Brush().SetColor(clAqua);
  target.Canvas().FillRect(Rect(0, 0, 30, 30));
  target.Canvas().Draw(3, 3, *icon);
  EXPECT_EQ(target.PixelColor(3 + 20, 3 + 5), clAqua);
  EXPECT_EQ(target.PixelColor(3 + 2, 3 + 5), RasterColor(raster, 2, 5));
  auto mask = icon->CreateMask();
  EXPECT_EQ(mask->PixelColor(20, 5), clWhite);
  EXPECT_EQ(mask->PixelColor(2, 5), clBlack);
  // Not an icon.
  std::string bad = TempPath("bad.ico");
  testsupport::WriteFile(bad, std::string("\0\0\1\0\1\0garbage", 13));
  EXPECT_THROW(picture.LoadFromFile(bad), EInvalidGraphic);
}
