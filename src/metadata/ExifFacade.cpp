// The EXIF query operations: each reads the file into the shared record and
// answers from its tags; texts that come from the file are made displayable in
// the one conversion of raw metadata bytes.
#include "metadata/ExifFacade.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "metadata/ExifData_Internal.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Math.h"
#include "platform/rtl/SysUtils.h"

namespace {

const char* const kNotAvailable = "n/a";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The text with every "." and "," as the interface's decimal separator.
std::string UseSeparatorOf(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '.' || c == ','; }, DecimalSeparator());
  return text;
}

// Not empty, and only digits and the interface's decimal separator.
bool IsNumericText(const std::string& text) { return !text.empty() && NumberCharacters(text) == text; }

// The digits of a text read as an integer; -1 when there are none or too many.
int64_t DigitsValue(const std::string& text) {
  std::string digits;
  std::copy_if(text.begin(), text.end(), std::back_inserter(digits), IsDigit);
  int64_t value;
  return !digits.empty() && digits.size() <= 15 && TryStrToInt64(digits, value) ? value : -1;
}

// The numerator and denominator of an exposure time text "N/D sec": the digits
// before the "/" and those after it up to the first decimal separator. False
// unless both give a number above 0, so that no quotient below is undefined.
bool ShutterFraction(const std::string& T, int64_t& N, int64_t& D) {
  const size_t slash = T.find('/');
  const std::string after = T.substr(slash + 1);
  N = DigitsValue(T.substr(0, slash));
  D = DigitsValue(after.substr(0, after.find(DecimalSeparator())));
  return N > 0 && D > 0;
}

// Whether a value text of the 35 mm equivalent stands for zero (what a camera
// writes when it does not know, and what the formats write as " 0,00" or " 0.00").
bool IsZeroEquivalent(const std::string& V) {
  double v;
  return LocaleNumber(Trim(NumberCharacters(UseSeparatorOf(V))), v) && v == 0;
}

// Runs a query; whatever it raises gives the fallback instead, as no query raises to its caller.
template <class T, class Query>
T Guarded(T fallback, Query query) {
  try {
    return query();
  } catch (const std::exception&) {
    return fallback;
  }
}

}  // namespace

std::string NumberCharacters(const std::string& text) {
  const char separator = DecimalSeparator();
  std::string out;
  std::copy_if(text.begin(), text.end(), std::back_inserter(out),
               [separator](char c) { return IsDigit(c) || c == separator; });
  return out;
}

bool LocaleNumber(const std::string& text, double& value) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return IsDigit(c) || c == '.' || c == ','; }))
    return false;
  return TryStrToFloat(UseSeparatorOf(text), value) && std::isfinite(value);
}

std::string FixedNumberText(double value) { return FloatToStrF(value, ffFixed, 4, 2); }

TExifFacade::TExifFacade() : ExifData(std::make_unique<TimgData>(255)) {}

TExifFacade::~TExifFacade() = default;

bool TExifFacade::StampOf(const std::string& FileName, FileStamp& stamp) {
  struct stat st;
  if (stat(FileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  stamp = {FileName, int64_t(st.st_dev), int64_t(st.st_ino), int64_t(st.st_size),
           int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
  return true;
}

bool TExifFacade::ReadExif(const std::string& FileName) {
  // Several questions about one file in a row (a scan asks four to six) read it once,
  // as long as the record still holds that file and the file did not change since.
  // Under a hold, the file is looked at once.
  const bool recordHolds = ExifData->FileName == FileName && ExifData->ReadMode == 255;
  if (holdDepth_ > 0 && holdChecked_ && recordHolds && readStamp_.name == FileName) return readResult_;
  holdChecked_ = holdDepth_ > 0;
  FileStamp stamp;
  const bool known = StampOf(FileName, stamp);
  if (known && stamp == readStamp_ && recordHolds) return readResult_;
  ExifData->ReadMode = 255;
  ExifData->ReadFileMetadata(FileName);
  readResult_ = ExifData->HasMetadata() && ExifData->HasExif() && ExifData->ImageInfo;
  readStamp_ = known ? stamp : FileStamp();
  return readResult_;
}

std::string TExifFacade::Value(const std::string& Name) const {
  return ExifData->ImageInfo ? ExifData->ImageInfo->GetTagValue(Name) : std::string();
}

void TExifFacade::GetMakeAndModel(const std::string& FileName, std::string& Text) {
  Text = Guarded<std::string>("", [&]() -> std::string {
    if (!ReadExif(FileName)) return "";
    std::string s = Value("Make");
    const std::string model = Value("Model");
    if (!model.empty()) s += " : " + model;
    return s.empty() ? s : " - " + TextFromBytes(s);
  });
}

bool TExifFacade::IsMakeAndModel(const std::string& FileName, const std::string& MakeText,
                                 const std::string& ModelText) {
  return Guarded(false, [&] {
    if (!ReadExif(FileName)) return false;
    const bool makeFits = Contains(AnsiUpperCase(TextFromBytes(Value("Make"))), AnsiUpperCase(MakeText));
    const bool modelFits = Contains(AnsiUpperCase(TextFromBytes(Value("Model"))), AnsiUpperCase(ModelText));
    if (!MakeText.empty() && !ModelText.empty()) return makeFits && modelFits;
    if (!MakeText.empty()) return makeFits;
    return !ModelText.empty() && modelFits;
  });
}

bool TExifFacade::GetMakerNote(const std::string& TagText, const std::string& ValueText,
                               const std::string& FileName) {
  return Guarded(false, [&] {
    if (!ReadExif(FileName) || !ExifData->ImageInfo->MakerNoteDecoded) return false;
    TImageInfo& info = *ExifData->ImageInfo;
    const std::string tag = AnsiUpperCase(TagText), value = AnsiUpperCase(ValueText);
    TTagEntry record;
    info.ResetIteration();
    while (info.NextTagWithKey(1, record)) {
      if (Contains(AnsiUpperCase(TextFromBytes(record.Desc)), tag) &&
          Contains(AnsiUpperCase(TextFromBytes(record.Data)), value))
        return true;
    }
    return false;
  });
}

void TExifFacade::Debuginfo(const std::string& FileName, std::string& Text) {
  Text = Guarded<std::string>("", [&]() -> std::string {
    if (!ReadExif(FileName)) return "";
    std::string v = Value("FocalLengthin35mmFilm");
    if (v.empty()) v = _("(real length)") + Value("FocalLength");
    if (!v.empty() && !Contains(v, "mm")) v += " mm";
    return TextFromBytes(v);
  });
}

int TExifFacade::Get_ISO_NR(const std::string& FileName) {
  return Guarded(0, [&] {
    if (!ReadExif(FileName)) return 0;
    std::string v = Value("ISOSpeedRatings");
    if (v.empty()) GetIsoFromSpecific(v);
    int iso;
    return TryStrToInt(v, iso) ? iso : 0;
  });
}

void TExifFacade::Get_Aperture(const std::string& FileName, std::string& Text) {
  Text = Guarded<std::string>(kNotAvailable, [&]() -> std::string {
    const std::string v = ReadExif(FileName) ? Value("FNumber") : "";
    return v.empty() ? kNotAvailable : v;
  });
}

void TExifFacade::Get_RawShutterSpeed(const std::string& FileName, std::string& Text) {
  Text = Guarded<std::string>(kNotAvailable, [&]() -> std::string {
    if (!ReadExif(FileName)) return kNotAvailable;
    std::string v = Value("ExposureTime");
    if (v.empty()) v = Value("ShutterSpeedValue");
    return v.empty() ? kNotAvailable : v;
  });
}

void TExifFacade::Get_ShutterSpeed(const std::string& FileName, std::string& Text) {
  Text = Guarded<std::string>(kNotAvailable, [&]() -> std::string {
    if (!ReadExif(FileName)) return kNotAvailable;
    const std::string exposure = Value("ExposureTime");
    if (!exposure.empty()) return ShortShutterForm(exposure);
    const std::string v = Value("ShutterSpeedValue");
    return v.empty() ? kNotAvailable : v;
  });
}

void TExifFacade::GetPhotoDate(const std::string& FileName, std::string& Text) {
  Text = Guarded<std::string>("0000:00:00 00:00:00", [&]() -> std::string {
    return ReadExif(FileName) ? ExifData->ImageInfo->DateTime : "";
  });
}

TDateTime TExifFacade::GetImageTimeDate(const std::string& FileName) {
  return Guarded<TDateTime>(0, [&]() -> TDateTime { return ReadExif(FileName) ? ExifData->ImageInfo->PhotoDateTime() : 0; });
}

void TExifFacade::GetIsoFromSpecific(std::string& Text) {
  Text = "0";
  // No read: the maker notes of the file read last, when it had any.
  if (!ExifData->ImageInfo) return;
  TImageInfo& info = *ExifData->ImageInfo;
  TTagEntry record;
  info.ResetIteration();
  while (info.NextTagWithKey(1, record)) {
    const std::string line = record.Desc + " = " + record.Data;
    const std::string upper = UpperCase(line);
    if (!Contains(upper, "ISO SPEED") && !Contains(upper, "CCD SENSITIVITY") && !Contains(upper, "CCD ISO")) continue;
    // The digits from the first comma on (the second of two values), else all of them.
    const size_t comma = line.find(',');
    Text.clear();
    std::copy_if(line.begin() + std::ptrdiff_t(comma == std::string::npos ? 0 : comma), line.end(),
                 std::back_inserter(Text), IsDigit);
    if (Text.empty()) Text = "0";
    return;
  }
}

void TExifFacade::Get35mmLens(const std::string& FileName, const std::string& RealLens, std::string& Text,
                              bool IgnoreExif, const std::string& Equivalent35) {
  Text = Guarded<std::string>("", [&]() -> std::string {
    if (!ReadExif(FileName)) return "";
    std::string v;
    if (!IgnoreExif) v = Value("FocalLengthin35mmFilm");
    if (!v.empty() && !IsZeroEquivalent(v)) return TextFromBytes(v);
    v.clear();
    if (!IgnoreExif) EquivalentfromDataBase(Value("FocalLength"), Value("Make"), v, Value("Model"));
    if (!v.empty()) return v;
    const std::string digits = NumberCharacters(Value("FocalLength"));
    if (!IsNumericText(digits)) return "";
    // A lens length of 0 gives no factor: the focal length stays as it is.
    double focal, equivalent, real;
    if (LocaleNumber(digits, focal) && LocaleNumber(Trim(Equivalent35), equivalent) &&
        LocaleNumber(Trim(RealLens), real) && real != 0)
      return FixedNumberText(focal * equivalent / real);
    return digits;
  });
}

void TExifFacade::EquivalentfromDataBase(const std::string& FocalText, const std::string& Make, std::string& Text,
                                         const std::string& Model) {
  Text.clear();
  const TStrings* list = EquivalentList();
  const std::string digits = NumberCharacters(FocalText);
  if (!list || !IsNumericText(digits)) return;
  // Models compare without their blanks, on both sides: the list may write a model
  // as the camera reports it ("PENTAX K10D") or run together, as older lists did.
  auto withoutBlanks = [](std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
  };
  const std::string modelKey = UpperCase(withoutBlanks(Model));
  const std::string make = UpperCase(Make);
  for (int i = 0; i < list->Count(); ++i) {
    const std::string u = UpperCase(list->Strings(i));
    const size_t modelAt = u.find("[MODEL]"), realAt = u.find("[REAL_LENS]"), eqAt = u.find("[35MM_EQUIVALENT]");
    if (modelAt == std::string::npos || realAt == std::string::npos || eqAt == std::string::npos ||
        realAt < modelAt || eqAt < realAt)
      continue;
    std::string makeText = u.substr(0, modelAt);
    for (size_t at; (at = makeText.find("[MAKE]")) != std::string::npos;) makeText.erase(at, 6);
    const std::string modelText = withoutBlanks(u.substr(modelAt + 7, realAt - modelAt - 7));
    const std::string realText = u.substr(realAt + 11, eqAt - realAt - 11);
    const std::string eqText = u.substr(eqAt + 17);
    // A line without a make text names no camera.
    if (makeText.empty() || !Contains(make, makeText) || modelKey != modelText) continue;
    double focal, real, equivalent;
    if (LocaleNumber(digits, focal) && LocaleNumber(Trim(realText), real) && LocaleNumber(Trim(eqText), equivalent) &&
        real != 0)
      Text = FixedNumberText(focal * equivalent / real);
  }
}

double TExifFacade::ExtractFloatFromstr(const std::string& Text) {
  const char separator = DecimalSeparator();
  double value;
  if (Contains(Text, std::string(1, separator))) {
    std::string number;
    bool separatorSeen = false;
    for (char c : Text) {
      if (c == ' ' && separatorSeen) break;
      if (IsDigit(c) || c == separator) number += c;
      if (c == separator) separatorSeen = true;
    }
    return TryStrToFloat(number, value) && std::isfinite(value) ? value : -1;
  }
  const size_t slash = Text.find('/');
  if (slash == std::string::npos) return -1;
  const std::string after = Text.substr(slash + 1);
  const int64_t numerator = DigitsValue(Text.substr(0, slash));
  const int64_t denominator = DigitsValue(after.substr(0, after.find(separator)));
  if (numerator < 0 || denominator <= 0) return -1;
  return double(numerator) / double(denominator);
}

std::string TExifFacade::LongShutterForm(const std::string& T) {
  int64_t n, d;
  if (!Contains(T, "/") || !ShutterFraction(T, n, d) || n == 1) return T;
  const double q = double(n) / double(d);
  const std::string qText = FloatToStr(1 / q);
  if (!Contains(qText, std::string(1, DecimalSeparator()))) return "1/" + qText + " " + _("sec.");
  const std::string r = FloatToStr(RoundTo(q, -4));
  const std::string nearest = IntToStr(Round(1 / q));
  if (nearest == "0" || nearest == "1") return r + " " + _("sec.");
  return r + " " + _("sec.") + " ~(1/" + nearest + ")";
}

std::string TExifFacade::ShortShutterForm(const std::string& T) {
  int64_t n, d;
  if (!Contains(T, "/") || !ShutterFraction(T, n, d)) return T;
  if (n == 1) return IntToStr(n) + "/" + IntToStr(d);
  const double q = double(n) / double(d);
  const std::string qText = FloatToStr(1 / q);
  if (!Contains(qText, std::string(1, DecimalSeparator()))) return "1/" + qText;
  const std::string nearest = IntToStr(Round(1 / q));
  if (nearest == "0" || nearest == "1") return FloatToStr(RoundTo(q, -4));
  return "1/" + nearest;
}

void TExifFacade::GetExifInfStr(const std::string& FileName, std::string& Text) {
  FCurrentFile = FileName;
  Text = Guarded<std::string>("", [&]() -> std::string {
    if (!ReadExif(FileName)) return "";
    const std::string make = Value("Make"), model = Value("Model");
    std::string s = _("Camera:") + " " + make + " - " + model + "\r";
    const std::string exposure = Value("ExposureTime");
    if (!exposure.empty())
      s += _("Shutter:") + " " + LongShutterForm(exposure) + "\r";
    else if (!Value("ShutterSpeedValue").empty())
      s += _("Shutter:") + " " + Value("ShutterSpeedValue") + "\r";
    if (!Value("FNumber").empty()) s += _("Aperture:") + " " + Value("FNumber") + "\r";
    const std::string focal = Value("FocalLength");
    if (!focal.empty()) s += _("Focal Length:") + " " + focal + "\r";
    std::string v = Value("FocalLengthin35mmFilm");
    if (!v.empty() && !IsZeroEquivalent(v)) {
      s += _("(35mm equivalent =") + " " + v + ")\r";
    } else if (!make.empty() && !model.empty()) {
      EquivalentfromDataBase(focal, make, v, model);
      if (!v.empty()) s += _("35mm equivalent:") + " " + v + " mm\r";
    }
    std::string iso = Value("ISOSpeedRatings");
    // A maker-note ISO of "0" means the maker notes hold none.
    if (iso.empty()) GetIsoFromSpecific(iso);
    if (!iso.empty() && iso != "0") s += _("ISO:") + " " + iso;
    return TextFromBytes(s);
  });
}
