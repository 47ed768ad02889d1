// The format registry: the 41 registrations and what the picture object makes of
// them, and the register/unregister rules on a list of its own with test classes.

#include <algorithm>

#include "TargaPngPixels.h"
#include "TestSupport.h"
#include "formats/GraphicFormats.h"
#include "formats/GraphicReaders.h"
#include "formats/GraphicStrings.h"
#include "platform/graphics/Jpeg.h"
#include "platform/graphics/PictureBounds.h"
#include "platform/i18n/GnuGetText.h"

namespace {

class TTestGraphicA : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TTestGraphicA, TFormatGraphic)
};
class TTestGraphicB : public TFormatGraphic {
  KIVO2_GRAPHIC_CLASS(TTestGraphicB, TFormatGraphic)
};

// Platform entries for a class.
int PlatformEntries(TGraphicClass c, const std::string& extension = std::string()) {
  int n = 0;
  for (const TFileFormatEntry& e : TPicture::FileFormats())
    if (e.GraphicClass == c && (extension.empty() || e.Extension == extension)) ++n;
  return n;
}

std::vector<std::string> Extensions(const TFileFormatList& list) {
  TStringList strings;
  list.GetExtensionList(strings);
  std::vector<std::string> out;
  for (int i = 0; i < strings.Count(); ++i) out.push_back(strings[i]);
  return out;
}

}  // namespace

TEST(FormatRegistry, TheFortyOneExtensionsInOrderWithTheirClasses) {
  InitializeGraphicFormats();
  InitializeGraphicFormats();  // a second call registers nothing more
  ASSERT_NE(FileFormatList, nullptr);
  std::string extensions;
  for (const std::string& e : Extensions(*FileFormatList)) extensions += e + " ";
  EXPECT_EQ(extensions,
            "bmp ico wmf emf jfif jpg jpe jpeg thm rle dib win vst vda tga icb tiff tif fax eps pcx pcc scr rpf rla "
            "sgi rgba rgb bw psd pdd ppm pgm pbm pnm cel pic pcd gif cut psp png ");
  // The text shown for an extension is its own description, else its class's.
  auto shown = [](const std::string& extension) {
    const int index = FileFormatList->FindExtension(extension);
    for (const TFileFormatEntry& e : TPicture::FileFormats())
      if (e.Extension == extension && e.GraphicClass == FileFormatList->ExtensionClass(index)) return e.Description;
    return std::string("(none)");
  };
  EXPECT_EQ(shown("tiff"), "Macintosh TIFF images");
  EXPECT_EQ(shown("thm"), "JPEG images");
  EXPECT_EQ(shown("win"), "Truevision images");
  EXPECT_EQ(shown("rgba"), "SGI true color images with alpha");

  const int tif = FileFormatList->FindExtension("tif");
  EXPECT_GE(tif, 0);
  EXPECT_EQ(FileFormatList->FindExtension("TIF"), tif);
  EXPECT_EQ(FileFormatList->FindExtension("Tif"), tif);
  EXPECT_EQ(FileFormatList->FindExtension(""), -1);
  EXPECT_EQ(FileFormatList->FindExtension("xyz"), -1);
  EXPECT_EQ(FileFormatList->ExtensionFlags(tif), (TFormatTypes{ftRaster, ftMultiImage}));
  EXPECT_EQ(FileFormatList->ExtensionFlags(FileFormatList->FindExtension("gif")),
            (TFormatTypes{ftRaster, ftMultiImage, ftAnimation}));
  EXPECT_EQ(FileFormatList->ExtensionFlags(FileFormatList->FindExtension("psp")), (TFormatTypes{ftRaster, ftVector}));

  // Class descriptions are the common texts; EPS has an entry of its own although it
  // derives from the TIFF class.
  EXPECT_EQ(FileFormatList->GetDescription(TTIFFGraphic::ClassRef()), "Tagged image file format images");
  EXPECT_EQ(FileFormatList->GetDescription(TEPSGraphic::ClassRef()), "Encapsulated Postscript images");
  EXPECT_EQ(FileFormatList->GetDescription(TSGIGraphic::ClassRef()), "SGI images");
  EXPECT_EQ(FileFormatList->ClassCount(), 18);
  EXPECT_EQ(FileFormatList->GetDescription(TTestGraphicA::ClassRef()), "");

  // The picture object picks our classes: the latest registration of an extension wins.
  EXPECT_EQ(TPicture::FindGraphicClass("gif"), TGIFGraphic::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass("TIF"), TTIFFGraphic::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass("eps"), TEPSGraphic::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass("jpg"), TJPEGImage::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass("rle"), TBitmap::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass("png"), TPNGGraphic::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass("PNM"), TPPMGraphic::ClassRef());
  EXPECT_TRUE(TEPSGraphic::ClassRef()->InheritsFrom(TTIFFGraphic::ClassRef()));
}

TEST(FormatRegistry, ThePictureObjectOpensFilesThroughTheRegisteredClass) {
  KIVO2_REQUIRE_TOOL("convert");
  InitializeGraphicFormats();
  const std::string tif = testsupport::TempPath("picture.TIF");
  ASSERT_EQ(testsupport::Run({"convert", "-size", "4x3", "xc:red", tif}).exitCode, 0);
  TPicture picture;
  picture.LoadFromFile(tif);
  auto* tiff = dynamic_cast<TTIFFGraphic*>(picture.Graphic());
  ASSERT_NE(tiff, nullptr);
  EXPECT_EQ(picture.Width(), 4);
  EXPECT_EQ(picture.Height(), 3);
  const testsupport::Raster expected = testsupport::ImageMagickRaster(tif);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(tiff->PixelColor(x, y), RGB(uint8_t(expected.at(x, y, 0)), uint8_t(expected.at(x, y, 1)),
                                            uint8_t(expected.at(x, y, 2))));
}

// Every extension of the formats ImageMagick writes opens through its reader.
TEST(FormatRegistry, ThePictureObjectOpensEveryReadersFiles) {
  KIVO2_REQUIRE_TOOL("convert");
  InitializeGraphicFormats();
  const std::string source = testsupport::TempPath("source.ppm");
  ASSERT_EQ(testsupport::Run({"convert", "-size", "12x8", "gradient:red-blue", source}).exitCode, 0);
  const std::pair<std::string, std::string> cases[] = {
      {"x.pcx", ""},     {"x.pcc", "PCX:"}, {"x.psd", ""},     {"x.pdd", "PSD:"}, {"x.sgi", ""},
      {"x.rgb", "SGI:"}, {"x.rgba", "SGI:"}, {"x.bw", "SGI:"}, {"x.ppm", ""},     {"x.pnm", "PPM:"},
      {"x.pgm", ""},     {"x.pbm", ""},     {"x.gif", ""},     {"x.eps", "EPT2:"}};
  for (const auto& [name, coder] : cases) {
    SCOPED_TRACE(name);
    const std::string file = testsupport::TempPath(name);
    ASSERT_EQ(testsupport::Run({"convert", source, coder + file}).exitCode, 0);
    TPicture picture;
    picture.LoadFromFile(file);
    EXPECT_EQ(picture.Width(), 12);
    EXPECT_EQ(picture.Height(), 8);
  }
  // Pictures wider than 32,768 pixels, as far as their formats go: ImageMagick's files of
  // 40000 x 50 pixels of noise load with the pixels they were made from (a Targa file from
  // the top: ImageMagick writes one of a PPM upside down), a GIF with those it reads.
  const std::string wide = testsupport::TempPath("wide.pgm");
  ASSERT_EQ(testsupport::Run({"convert", "-size", "40000x50", "xc:gray", "+noise", "Random", "-depth", "8", wide})
                .exitCode, 0);
  const pixeltest::Rgba made = pixeltest::FromRaster(testsupport::ParsePnm(testsupport::ReadFile(wide)));
  for (const std::string extension : {"png", "tif", "tga", "pcx", "sgi", "bmp", "ppm", "gif"}) {
    const std::string file = testsupport::TempPath("wide." + extension);
    const bool gif = extension == "gif";
    ASSERT_EQ(testsupport::Run({"convert", wide, "-orient", "TopLeft", gif ? "+dither" : "+repage", file}).exitCode, 0);
    EXPECT_EQ(pixeltest::Compare(pixeltest::LoadRgba(file),
                                 gif ? pixeltest::FromRaster(testsupport::ImageMagickRaster(file)) : made),
              "") << extension;
  }
}

TEST(FormatRegistry, FinalizationUnregistersAndInitializationRestores) {
  InitializeGraphicFormats();
  // Unregistering "rle" keeps bmp and dib, and TBitmap in the platform's list.
  FileFormatList->UnregisterFileFormat("rle", TBitmap::ClassRef());
  EXPECT_EQ(FileFormatList->FindExtension("rle"), -1);
  EXPECT_GE(FileFormatList->FindExtension("bmp"), 0);
  EXPECT_GE(FileFormatList->FindExtension("dib"), 0);
  EXPECT_GT(PlatformEntries(TBitmap::ClassRef()), 0);

  FinalizeGraphicFormats();
  EXPECT_EQ(FileFormatList, nullptr);
  EXPECT_EQ(PlatformEntries(TGIFGraphic::ClassRef()), 0);
  EXPECT_EQ(PlatformEntries(TTIFFGraphic::ClassRef()), 0);
  EXPECT_EQ(PlatformEntries(TEPSGraphic::ClassRef()), 0);
  EXPECT_EQ(PlatformEntries(TPNGGraphic::ClassRef()), 0);
  // The platform's own classes stay: a JPEG or bitmap still loads after finalization.
  EXPECT_EQ(TPicture::FindGraphicClass("jpg"), TJPEGImage::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass("BMP"), TBitmap::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass("ico"), TIcon::ClassRef());
  FinalizeGraphicFormats();  // nothing left to do

  InitializeGraphicFormats();
  EXPECT_EQ(FileFormatList->ExtensionCount(), 42);
  EXPECT_EQ(TPicture::FindGraphicClass("bmp"), TBitmap::ClassRef());
  EXPECT_EQ(TPicture::FindGraphicClass("gif"), TGIFGraphic::ClassRef());
}

TEST(FormatRegistry, RegisterReplaceAndUnregisterRules) {
  {
    TFileFormatList list;
    list.RegisterFileFormat("", "nothing", "", TFormatTypes{ftRaster}, false, TTestGraphicA::ClassRef());
    EXPECT_EQ(list.ExtensionCount(), 0);

    list.RegisterFileFormat("aaa", "Class A", "", TFormatTypes{ftRaster}, false, TTestGraphicA::ClassRef());
    list.RegisterFileFormat("AAB", "", "Own text", TFormatTypes{ftVector}, false, TTestGraphicA::ClassRef());
    EXPECT_EQ(Extensions(list), (std::vector<std::string>{"aaa", "aab"}));
    EXPECT_EQ(list.GetDescription(TTestGraphicA::ClassRef()), "Class A");
    EXPECT_EQ(PlatformEntries(TTestGraphicA::ClassRef()), 2);

    // A second registration without Replace raises and changes nothing.
    try {
      list.RegisterFileFormat("Aaa", "Other", "", TFormatTypes{ftRaster}, false, TTestGraphicB::ClassRef());
      ADD_FAILURE() << "no error";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), "Attempt to register Aaa twice.");
    }
    EXPECT_EQ(list.ExtensionCount(), 2);
    EXPECT_EQ(list.FindGraphicClass(TTestGraphicB::ClassRef()), -1);
    EXPECT_EQ(PlatformEntries(TTestGraphicB::ClassRef()), 0);

    // Replace with the same class: no entry changes, one more platform entry.
    list.RegisterFileFormat("aaa", "", "", TFormatTypes{ftRaster}, true, TTestGraphicA::ClassRef());
    EXPECT_EQ(list.ExtensionCount(), 2);
    EXPECT_EQ(PlatformEntries(TTestGraphicA::ClassRef(), "aaa"), 2);

    // Replace with another class: the entry moves and keeps its own text and flags;
    // a non-empty common text becomes the new class's description.
    list.RegisterFileFormat("aab", "Class B", "", TFormatTypes{ftRaster}, true, TTestGraphicB::ClassRef());
    const int aab = list.FindExtension("aab");
    EXPECT_EQ(list.ExtensionClass(aab), TTestGraphicB::ClassRef());
    EXPECT_EQ(list.ExtensionDescription(aab), "Own text");
    EXPECT_EQ(list.ExtensionFlags(aab), TFormatTypes{ftVector});
    EXPECT_EQ(TPicture::FindGraphicClass("aab"), TTestGraphicB::ClassRef());
    // The last extension of A moves too: A leaves the class list.
    list.RegisterFileFormat("aaa", "", "", TFormatTypes{ftRaster}, true, TTestGraphicB::ClassRef());
    EXPECT_EQ(list.FindGraphicClass(TTestGraphicA::ClassRef()), -1);
    EXPECT_EQ(list.GetDescription(TTestGraphicA::ClassRef()), "");
    EXPECT_EQ(list.ClassCount(), 1);

    // Unregistering one extension keeps the class while it has others.
    list.UnregisterFileFormat("AAA", nullptr);
    EXPECT_EQ(list.ExtensionCount(), 1);
    EXPECT_GT(PlatformEntries(TTestGraphicB::ClassRef()), 0);
    // Unknown extensions and classes are ignored.
    list.UnregisterFileFormat("zzz", nullptr);
    list.UnregisterFileFormat("", TTestGraphicA::ClassRef());
    EXPECT_EQ(list.ExtensionCount(), 1);
    // The last extension gone: the class leaves both lists.
    list.UnregisterFileFormat("aab", nullptr);
    EXPECT_EQ(list.ClassCount(), 0);
    EXPECT_EQ(PlatformEntries(TTestGraphicB::ClassRef()), 0);
    TPicture::UnregisterGraphicClass(TTestGraphicA::ClassRef());
  }
  {
    // Unregistering by class removes all its extensions; destruction clears the rest.
    auto list = std::make_unique<TFileFormatList>();
    list->RegisterFileFormat("c1", "C", "", TFormatTypes{ftRaster}, false, TTestGraphicA::ClassRef());
    list->RegisterFileFormat("d1", "D", "", TFormatTypes{ftRaster}, false, TTestGraphicB::ClassRef());
    list->RegisterFileFormat("c2", "", "", TFormatTypes{ftRaster}, false, TTestGraphicA::ClassRef());
    list->UnregisterFileFormat("", TTestGraphicA::ClassRef());
    EXPECT_EQ(Extensions(*list), (std::vector<std::string>{"d1"}));
    EXPECT_EQ(PlatformEntries(TTestGraphicA::ClassRef()), 0);
    EXPECT_EQ(PlatformEntries(TTestGraphicB::ClassRef()), 1);
    list.reset();
    EXPECT_EQ(PlatformEntries(TTestGraphicB::ClassRef()), 0);
  }
}

TEST(FormatRegistry, TextsFollowTheInterfaceLanguage) {
  const std::string locale = testsupport::ProgramDir() + "/locale";
  if (access((locale + "/nl/LC_MESSAGES/default.mo").c_str(), R_OK) != 0) GTEST_SKIP() << "catalogue not built";
  InitializeGraphicFormats();
  InitTranslation(locale);
  UseLanguage("nl");
  const std::string description = FileFormatList->GetDescription(TTIFFGraphic::ClassRef());
  std::string message;
  try {
    FormatGraphicError(gsInvalidImage, {GraphicText(gsFormatPNM)});
  } catch (const EInvalidGraphic& e) {
    message = e.Message();
  }
  std::string unsupported;
  try {
    std::string overview(6200, '\0');
    overview.replace(0, 7, "PCD_OPA");
    TReadOnlyMemoryStream stream(overview.data(), int64_t(overview.size()));
    TPCDGraphic().LoadFromStream(stream);
  } catch (const EInvalidGraphic& e) {
    unsupported = e.Message();
  }
  const std::string targa = FileFormatList->GetDescription(TTargaGraphic::ClassRef());
  std::string tooLarge, tooLittle;
  try {
    CheckPictureSize(40000, 9000, 24);
  } catch (const EInvalidGraphic& e) {
    tooLarge = e.Message();
  }
  try {
    CheckPictureData(GraphicText(gsFormatPNM), 300, 200, 60000, 50, UncompressedData);
  } catch (const EInvalidGraphic& e) {
    tooLittle = e.Message();
  }
  UseLanguage("en");
  EXPECT_EQ(description, "Afbeeldingen in Tagged Image File Format");
  EXPECT_EQ(message, "Kan afbeelding niet laden. Ongeldig of onverwacht PBM, PGM of PPM-afbeeldingsformaat.");
  EXPECT_EQ(unsupported, "Kan afbeelding niet laden. Overzichtspakketten zijn niet ondersteund voor PCD-bestanden.");
  EXPECT_EQ(targa, "Truevision-afbeeldingen");
  EXPECT_EQ(tooLarge, "Kan afbeelding niet laden. De afbeelding is te groot: 40000 x 9000 pixels.");
  EXPECT_EQ(tooLittle,
            "Kan afbeelding niet laden. Het PBM, PGM of PPM-bestand bevat te weinig gegevens voor een afbeelding van "
            "300 x 200 pixels.");
  EXPECT_EQ(FileFormatList->GetDescription(TTIFFGraphic::ClassRef()), "Tagged image file format images");
}
