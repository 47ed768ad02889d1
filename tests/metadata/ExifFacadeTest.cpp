// The EXIF query operations against exiftool's values, on the sample corpus and on
// files tagged by exiftool, with the English and the Dutch number format; the
// shutter forms, the lens-equivalence list and the 35 mm answers; and the cases
// that must not fail: no Exif, zero denominators, a lens length of 0, no ISO, a
// 35 mm value of zero whatever the decimal separator.
#include <filesystem>

#include "MetadataTestUtil.h"
#include "metadata/ExifFacade.h"
#include "platform/rtl/Classes.h"

namespace {

using Values = std::map<std::string, std::string>;

const auto Number = mdtest::ToolNumber;
const auto Text = mdtest::ToolText;

// The facade with a lens-equivalence list of its own.
class Facade : public TExifFacade {
 public:
  TStringList List;
  const TStrings* EquivalentList() const override { return &List; }
};

using Language = mdtest::Language;

// A text with each run of blanks as one blank.
std::string Collapsed(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != ' ' || out.empty() || out.back() != ' ') out += c;
  return out;
}

}  // namespace

// Every sample with Exif, in both number formats: the operations answer what exiftool reads.
TEST(ExifFacade, CorpusAnswersAgreeWithExifTool) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_CORPUS("metadata-samples");
  for (const std::string language : {"en", "nl"}) {
    Language lang(language);
    SCOPED_TRACE(language);
    Facade facade;
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(testsupport::CorpusDir() + "/metadata-samples")) {
      const std::string file = entry.path().string();
      if (LowerCase(entry.path().extension().string()) != ".jpg") continue;
      const Values tool = mdtest::ExifToolValues(file);
      if (Text(tool, "IFD0:Make").empty()) continue;
      SCOPED_TRACE(file);
      ++compared;
      std::string text;
      facade.GetMakeAndModel(file, text);
      const std::string make = Text(tool, "IFD0:Make"), model = Text(tool, "IFD0:Model");
      // The camera's texts as they stand (some pad them with blanks, which exiftool leaves out).
      EXPECT_EQ(Trim(Collapsed(text)), Trim(Collapsed(" - " + make + (model.empty() ? "" : " : " + model))));
      EXPECT_TRUE(facade.IsMakeAndModel(file, LowerCase(make.substr(0, 3)), ""));
      EXPECT_EQ(facade.IsMakeAndModel(file, make.substr(0, 3), "no such model"), false);
      EXPECT_FALSE(facade.IsMakeAndModel(file, "", ""));

      facade.GetPhotoDate(file, text);
      const std::string original = Text(tool, "ExifIFD:DateTimeOriginal");
      EXPECT_EQ(text, original.empty() ? Text(tool, "IFD0:ModifyDate") : original);

      facade.Get_Aperture(file, text);
      const double f = Number(tool, "ExifIFD:FNumber");
      EXPECT_EQ(text, std::isnan(f) ? "n/a" : Format("F%0.1f", {f}));

      facade.Get_RawShutterSpeed(file, text);
      const double t = Number(tool, "ExifIFD:ExposureTime");
      if (!std::isnan(t)) {
        EXPECT_NEAR(facade.ExtractFloatFromstr(text), t, t * 1e-6);
        facade.Get_ShutterSpeed(file, text);
        double shortForm = -1;
        if (text.rfind("1/", 0) == 0)
          shortForm = 1.0 / std::strtod(text.c_str() + 2, nullptr);
        else
          EXPECT_TRUE(LocaleNumber(text, shortForm)) << text;
        EXPECT_NEAR(shortForm, t, t * 0.02) << text;
      }

      // ISO: the Exif value, else the maker notes' (Nikon's second value, Casio's "CCD Sensitivity").
      const int iso = facade.Get_ISO_NR(file);
      const std::string exifIso = Text(tool, "ExifIFD:ISO");
      if (!exifIso.empty() && exifIso.find(' ') == std::string::npos) {
        EXPECT_EQ(iso, std::atoi(exifIso.c_str()));
      } else if (!Text(tool, "Nikon:ISO").empty()) {
        EXPECT_EQ(std::to_string(iso), Text(tool, "Nikon:ISO").substr(Text(tool, "Nikon:ISO").find(' ') + 1));
      } else if (make.rfind("CASIO COMPUTER", 0) == 0) {
        EXPECT_EQ(std::to_string(iso), Text(tool, "Casio:ISO"));
      }

      // The real focal length: the focal length with 2 decimals.
      const double focal = Number(tool, "ExifIFD:FocalLength");
      facade.Get35mmLens(file, "1", text, true, "1");
      if (!std::isnan(focal) && focal > 0) {
        double ours = -1;
        ASSERT_TRUE(LocaleNumber(text, ours)) << text;
        EXPECT_NEAR(ours, focal, 0.01);
        EXPECT_NE(text.find(DecimalSeparator()), std::string::npos);
      }
      facade.Debuginfo(file, text);
      const double equivalent = Number(tool, "ExifIFD:FocalLengthIn35mmFormat");
      const std::string computed = facade.ExifData->ImageInfo->GetTagValue("FocalLengthIn35mmFilm");
      if (!std::isnan(equivalent) && equivalent > 0) {
        EXPECT_EQ(text, Format("%5.2f mm", {equivalent}));
      } else if (!computed.empty()) {
        EXPECT_EQ(text, computed + " mm");
      } else if (!std::isnan(focal)) {
        EXPECT_EQ(text.rfind(_("(real length)"), 0), 0u) << text;
      }

      // The summary: the camera line first, an ISO line only with an ISO.
      facade.GetExifInfStr(file, text);
      EXPECT_EQ(text.substr(0, text.find('\r')), _("Camera:") + " " + TextFromBytes(facade.ExifData->ImageInfo->CameraMake) +
                                                   " - " + TextFromBytes(facade.ExifData->ImageInfo->CameraModel));
      EXPECT_EQ(facade.FCurrentFile, file);
      EXPECT_EQ(text.find(_("ISO:") + " 0") == std::string::npos, true) << text;
      if (iso > 0) {
        EXPECT_NE(text.find(_("ISO:") + " " + std::to_string(iso)), std::string::npos) << text;
      }
      if (!std::isnan(f)) {
        EXPECT_NE(text.find("\r" + _("Aperture:") + " " + Format("F%0.1f", {f}) + "\r"), std::string::npos);
      }
    }
    EXPECT_GT(compared, 25);
  }
}

TEST(ExifFacade, ShutterForms) {
  for (const std::string language : {"en", "nl"}) {
    Language lang(language);
    const std::string sep(1, DecimalSeparator());
    const std::string sec = _("sec.");
    EXPECT_EQ(TExifFacade::LongShutterForm("1/60 sec"), "1/60 sec");
    EXPECT_EQ(TExifFacade::LongShutterForm("10/600 sec"), "1/60 " + sec);
    EXPECT_EQ(TExifFacade::LongShutterForm("13/10 sec"), "1" + sep + "3 " + sec);
    EXPECT_EQ(TExifFacade::LongShutterForm("10/30 sec"), "1/3 " + sec);
    EXPECT_EQ(TExifFacade::LongShutterForm("10/45 sec"), "0" + sep + "2222 " + sec + " ~(1/4)");
    EXPECT_EQ(TExifFacade::LongShutterForm("2 sec"), "2 sec");
    EXPECT_EQ(TExifFacade::ShortShutterForm("1/250 sec"), "1/250");
    EXPECT_EQ(TExifFacade::ShortShutterForm("10/600 sec"), "1/60");
    EXPECT_EQ(TExifFacade::ShortShutterForm("13/10 sec"), "1" + sep + "3");
    EXPECT_EQ(TExifFacade::ShortShutterForm("10/30 sec"), "1/3");
    EXPECT_EQ(TExifFacade::ShortShutterForm("10/45 sec"), "1/4");
    EXPECT_EQ(TExifFacade::ShortShutterForm("30/10 sec"), "3");
    // Zero and missing denominators keep the text as it is.
    for (const char* bad : {"5/0 sec", "0/0 sec", "0/10 sec", "/ sec", "x/y sec"}) {
      EXPECT_EQ(TExifFacade::LongShutterForm(bad), bad);
      EXPECT_EQ(TExifFacade::ShortShutterForm(bad), bad);
    }
  }
}

TEST(ExifFacade, NumberExtract) {
  Facade facade;
  EXPECT_DOUBLE_EQ(facade.ExtractFloatFromstr(" 5.80 mm"), 5.8);
  EXPECT_DOUBLE_EQ(facade.ExtractFloatFromstr("F2.8"), 2.8);
  EXPECT_DOUBLE_EQ(facade.ExtractFloatFromstr("1/250 sec"), 0.004);
  EXPECT_DOUBLE_EQ(facade.ExtractFloatFromstr("0.0156 sec (1/64)"), 0.0156);
  EXPECT_EQ(facade.ExtractFloatFromstr("abc"), -1);
  EXPECT_EQ(facade.ExtractFloatFromstr("5/0 sec"), -1);
  EXPECT_EQ(facade.ExtractFloatFromstr("/250"), -1);
  Language dutch("nl");
  EXPECT_DOUBLE_EQ(facade.ExtractFloatFromstr(" 5,80 mm"), 5.8);
  EXPECT_DOUBLE_EQ(facade.ExtractFloatFromstr("1/250 sec"), 0.004);
}

// The lens-equivalence list: make without case, model without blanks, later lines
// win; lines without a make text, with a lens length of 0 or unreadable numbers give nothing.
TEST(ExifFacade, LensListAndThe35mmAnswers) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  for (const std::string language : {"en", "nl"}) {
    Language lang(language);
    SCOPED_TRACE(language);
    const std::string sep(1, DecimalSeparator());
    Facade facade;
    facade.List.Add("[MAKE]acme[MODEL]Z1[REAL_LENS]7,2[35MM_EQUIVALENT]36");
    facade.List.Add("[MODEL]Z1[REAL_LENS]1[35MM_EQUIVALENT]99");
    facade.List.Add("[MAKE]Other[MODEL]Z1[REAL_LENS]1[35MM_EQUIVALENT]2");
    std::string text = "old";
    facade.EquivalentfromDataBase(Format("%5.2f mm", {5.8}), "ACME corp", text, "Z 1");
    EXPECT_EQ(text, "29" + sep + "00");
    facade.List.Add("[MAKE]ACME[MODEL]z1[REAL_LENS]0[35MM_EQUIVALENT]38");
    facade.List.Add("[make]Acme[model]Z1[real_lens]abc[35mm_equivalent]38");
    facade.EquivalentfromDataBase(Format("%5.2f mm", {5.8}), "Acme", text, "Z1");
    EXPECT_EQ(text, "29" + sep + "00");  // the later lines do not convert
    facade.List.Add("[MAKE]ACME[MODEL]Z1[REAL_LENS]5.8[35MM_EQUIVALENT]40");
    facade.EquivalentfromDataBase(Format("%5.2f mm", {5.8}), "Acme", text, "Z1");
    EXPECT_EQ(text, "40" + sep + "00");
    facade.EquivalentfromDataBase(Format("%5.2f mm", {5.8}), "Nobody", text, "Z1");
    EXPECT_EQ(text, "");
    facade.List.Add("[MAKE]pentax[MODEL]PENTAX K10D[REAL_LENS]18[35MM_EQUIVALENT]27");  // as the camera writes it
    facade.EquivalentfromDataBase(Format("%5.2f mm", {18.0}), "PENTAX Corporation", text, "PENTAX K10D");
    EXPECT_EQ(text, "27" + sep + "00");

    // A file with a 35 mm value of 0: neither " 0,00" nor " 0.00" is taken for a value.
    const std::string zero = mdtest::MakeTaggedJpeg(
        "zero.jpg", {"-Make=Acme", "-Model=Z1", "-FocalLength=5.8", "-FocalLengthIn35mmFormat=0", "-ISO=80"});
    facade.GetExifInfStr(zero, text);
    EXPECT_EQ(text, _("Camera:") + " Acme - Z1\r" + _("Focal Length:") + " " + Format("%5.2f mm", {5.8}) + "\r" +
                        _("35mm equivalent:") + " 40" + sep + "00 mm\r" + _("ISO:") + " 80");
    facade.Get35mmLens(zero, "7.2", text, false, "36");
    EXPECT_EQ(text, "40" + sep + "00");
    facade.List.Clear();
    facade.Get35mmLens(zero, "7,2", text, false, "36");
    EXPECT_EQ(text, "29" + sep + "00");
    // A lens length of 0 gives no factor: the focal length as it is.
    facade.Get35mmLens(zero, "0", text, false, "36");
    EXPECT_EQ(text, "5" + sep + "80");
    // The file's own value.
    const std::string own = mdtest::MakeTaggedJpeg("own.jpg", {"-Make=Acme", "-FocalLength=5.8", "-FocalLengthIn35mmFormat=38"});
    facade.Get35mmLens(own, "1", text, false, "1");
    EXPECT_EQ(text, "38" + sep + "00 mm");
    facade.GetExifInfStr(own, text);
    EXPECT_NE(text.find("\r" + _("(35mm equivalent =") + " 38" + sep + "00 mm)\r"), std::string::npos) << text;
  }
}

// Files without Exif, unreadable files and the maker-note ISO of a file without
// maker notes: the fallbacks, never a failure.
TEST(ExifFacade, FilesWithoutExifGiveTheFallbacks) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  Facade facade;
  const std::string comment = mdtest::MakeTaggedJpeg("comment.jpg", {"-Comment=only a comment"});
  const std::string png = testsupport::TempPath("picture.png");
  ASSERT_EQ(testsupport::Run({"/usr/bin/convert", "-size", "8x8", "xc:red", png}).exitCode, 0);
  for (const std::string& file : {comment, png, testsupport::TempPath("missing.jpg")}) {
    SCOPED_TRACE(file);
    std::string text = "x";
    facade.GetMakeAndModel(file, text);
    EXPECT_EQ(text, "");
    EXPECT_FALSE(facade.IsMakeAndModel(file, "a", "b"));
    EXPECT_FALSE(facade.GetMakerNote("ISO", "", file));
    facade.Debuginfo(file, text);
    EXPECT_EQ(text, "");
    EXPECT_EQ(facade.Get_ISO_NR(file), 0);
    facade.Get_Aperture(file, text);
    EXPECT_EQ(text, "n/a");
    facade.Get_RawShutterSpeed(file, text);
    EXPECT_EQ(text, "n/a");
    facade.Get_ShutterSpeed(file, text);
    EXPECT_EQ(text, "n/a");
    facade.GetPhotoDate(file, text);
    EXPECT_EQ(text, "");
    EXPECT_EQ(facade.GetImageTimeDate(file), 0);
    // The record holds the last file, which has no tag container.
    facade.GetIsoFromSpecific(text);
    EXPECT_EQ(text, "0");
    facade.Get35mmLens(file, "1", text, true, "1");
    EXPECT_EQ(text, "");
    facade.GetExifInfStr(file, text);
    EXPECT_EQ(text, "");
  }
  // A file with Exif but no ISO anywhere: no ISO line.
  const std::string noIso = mdtest::MakeTaggedJpeg("noiso.jpg", {"-Make=Acme", "-Model=Z", "-FNumber=4"});
  std::string text;
  facade.GetExifInfStr(noIso, text);
  EXPECT_EQ(text, "Camera: Acme - Z\rAperture: F4.0\r");
  EXPECT_EQ(facade.Get_ISO_NR(noIso), 0);
  // An exposure time of 5/0 seconds.
  mdtest::TiffWriter w(false);
  w.Put16(1);
  w.Entry(0x8769, 4, 1, 26);
  w.Put32(0);
  w.Put16(1);
  w.Entry(0x829A, 5, 1, 44);
  w.Put32(0);
  w.Put32(5);
  w.Put32(0);
  const std::string zeroTime = mdtest::WriteTemp("zerotime.jpg", mdtest::JpegWithExif(w.Bytes()));
  facade.GetExifInfStr(zeroTime, text);
  EXPECT_EQ(text, "Camera:  - \rShutter: 5/0 sec\r");
  facade.Get_ShutterSpeed(zeroTime, text);
  EXPECT_EQ(text, "5/0 sec");
  facade.Get_RawShutterSpeed(zeroTime, text);
  EXPECT_EQ(text, "5/0 sec");
}

// GetMakerNote and the maker-note ISO on samples with maker notes.
TEST(ExifFacade, MakerNoteQueries) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_CORPUS("metadata-samples");
  Facade facade;
  const std::string nikon = testsupport::CorpusDir() + "/metadata-samples/NikonD70.jpg";
  const Values tool = mdtest::ExifToolValues(nikon);
  EXPECT_TRUE(facade.GetMakerNote("lens type", "d series", nikon));
  EXPECT_TRUE(facade.GetMakerNote("ISO SPEED", tool.at("Nikon:ISO").substr(tool.at("Nikon:ISO").find(' ') + 1), nikon));
  EXPECT_FALSE(facade.GetMakerNote("Lens Type", "G series", nikon));
  std::string iso;
  facade.GetIsoFromSpecific(iso);
  EXPECT_EQ(iso, tool.at("Nikon:ISO").substr(tool.at("Nikon:ISO").find(' ') + 1));
  // Olympus maker notes are not decoded: no maker-note answer.
  EXPECT_FALSE(facade.GetMakerNote("", "", testsupport::CorpusDir() + "/metadata-samples/Olympus.jpg"));
  facade.GetIsoFromSpecific(iso);
  EXPECT_EQ(iso, "0");
}

// A file changed by another program between two questions is read again, whether it
// was replaced (a new inode) or written in place; under a hold (a scan's questions about
// one file) the file is looked at by the first question only, and a hold that moves on to
// another file, or back, answers about the file asked.
TEST(ExifFacade, ChangedFilesAreReadAgainAndAHoldLooksOnce) {
  KIVO2_REQUIRE_TOOL("exiftool");
  KIVO2_REQUIRE_TOOL("convert");
  Facade facade;
  const std::string a = mdtest::MakeTaggedJpeg("hold-a.jpg", {"-ISO=100", "-FNumber=2.8"});
  const std::string b = mdtest::MakeTaggedJpeg("hold-b.jpg", {"-ISO=800", "-FNumber=5.6"});
  auto setIso = [](const std::string& file, const char* option, int iso) {
    const auto r = testsupport::Run({"exiftool", "-q", option, "-ISO=" + std::to_string(iso), file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  };
  EXPECT_EQ(facade.Get_ISO_NR(a), 100);
  setIso(a, "-overwrite_original", 200);
  EXPECT_EQ(facade.Get_ISO_NR(a), 200);
  setIso(a, "-overwrite_original_in_place", 400);
  EXPECT_EQ(facade.Get_ISO_NR(a), 400);

  {
    const TExifFacade::TOneFile hold(facade);
    EXPECT_EQ(facade.Get_ISO_NR(a), 400);
    setIso(a, "-overwrite_original", 1600);
    // Asked again within the hold, the record read by its first question answers.
    EXPECT_EQ(facade.Get_ISO_NR(a), 400);
    std::string aperture;
    facade.Get_Aperture(a, aperture);
    EXPECT_EQ(aperture, "F2.8");
    // Another file in the hold is read, and so is the first one again.
    EXPECT_EQ(facade.Get_ISO_NR(b), 800);
    facade.Get_Aperture(b, aperture);
    EXPECT_EQ(aperture, "F5.6");
    EXPECT_EQ(facade.Get_ISO_NR(a), 1600);
  }
  setIso(a, "-overwrite_original_in_place", 3200);
  {
    // A new hold looks at the file again.
    const TExifFacade::TOneFile hold(facade);
    EXPECT_EQ(facade.Get_ISO_NR(a), 3200);
  }
  // A file removed is no longer answered about.
  ASSERT_EQ(std::remove(a.c_str()), 0);
  EXPECT_EQ(facade.Get_ISO_NR(a), 0);
}
