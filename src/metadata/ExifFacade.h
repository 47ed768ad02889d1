#pragma once
// The EXIF query operations through which every window asks about a picture
// file: camera, photo date, exposure values as texts and numbers, the 35 mm
// equivalent focal length and a short summary. Each operation that takes a file
// name reads the file afresh into the one shared metadata record and answers from
// it, so the record holds the file asked about last; none raises to its caller.
// The EXIF information window carries these operations.
#include <memory>
#include <string>

#include "metadata/ExifData.h"

class TStrings;

class TExifFacade {
 public:
  TExifFacade();
  virtual ~TExifFacade();
  TExifFacade(const TExifFacade&) = delete;
  TExifFacade& operator=(const TExifFacade&) = delete;

  // The shared metadata record (read mode 255).
  std::unique_ptr<TimgData> ExifData;
  // The file that GetExifInfStr and the window's report were given last.
  std::string FCurrentFile;

  // The lines of the lens-equivalence list ("[MAKE]...[MODEL]...[REAL_LENS]...
  // [35MM_EQUIVALENT]..."); none unless the owner gives one.
  virtual const TStrings* EquivalentList() const { return nullptr; }

  // " - " + Make (+ " : " + Model); empty when both are empty or without Exif.
  void GetMakeAndModel(const std::string& FileName, std::string& Text);
  // The Make holds MakeText and the Model holds ModelText (letter case ignored);
  // an empty text is not tested; False when both are empty.
  bool IsMakeAndModel(const std::string& FileName, const std::string& MakeText, const std::string& ModelText);
  // A decoded maker-note entry whose description holds TagText and whose value holds ValueText.
  bool GetMakerNote(const std::string& TagText, const std::string& ValueText, const std::string& FileName);
  // The 35 mm value, else "(real length)" and the focal length; " mm" added when missing.
  void Debuginfo(const std::string& FileName, std::string& Text);
  // ISOSpeedRatings, else the maker-note ISO; 0 when there is none.
  int Get_ISO_NR(const std::string& FileName);
  // The FNumber text ("F2.8"); "n/a" when there is none.
  void Get_Aperture(const std::string& FileName, std::string& Text);
  // The ExposureTime text, else the ShutterSpeedValue text; "n/a" when there is none.
  void Get_RawShutterSpeed(const std::string& FileName, std::string& Text);
  // The exposure time in its short form ("1/250", "1.3"); "n/a" when there is none.
  void Get_ShutterSpeed(const std::string& FileName, std::string& Text);
  // "yyyy:mm:dd hh:nn:ss" of the photo; empty without Exif.
  void GetPhotoDate(const std::string& FileName, std::string& Text);
  // The photo date as a date-time; 0 without Exif.
  TDateTime GetImageTimeDate(const std::string& FileName);
  // The ISO digits of the maker notes of the file read last; "0" when none.
  void GetIsoFromSpecific(std::string& Text);
  // The 35 mm equivalent focal length: the file's own (unless IgnoreExif), else the
  // lens list's for the camera, else the focal length scaled by Equivalent35 / RealLens.
  void Get35mmLens(const std::string& FileName, const std::string& RealLens, std::string& Text, bool IgnoreExif,
                   const std::string& Equivalent35);
  // The lens list's 35 mm equivalent of FocalText for the make and model; empty when no line matches.
  void EquivalentfromDataBase(const std::string& FocalText, const std::string& Make, std::string& Text,
                              const std::string& Model);
  // The decimal number of a text, else numerator / denominator of a fraction; -1 when neither.
  double ExtractFloatFromstr(const std::string& Text);
  // The summary lines (each ended by a carriage return): camera, shutter, aperture,
  // focal length, 35 mm equivalent, ISO; empty without Exif.
  void GetExifInfStr(const std::string& FileName, std::string& Text);

  // The exposure time text in its long form ("1/60 sec.", "1.3 sec.") and its short form.
  static std::string LongShutterForm(const std::string& T);
  static std::string ShortShutterForm(const std::string& T);

  // Held while a caller asks several questions about one file in a row (a scan asks four
  // to six): only the first question looks at the file (reading it when it changed); the
  // others are answered from the record it left. A hold inside a hold is the same hold.
  class TOneFile {
   public:
    explicit TOneFile(TExifFacade& facade) : facade_(facade) {
      if (facade_.holdDepth_++ == 0) facade_.holdChecked_ = false;
    }
    ~TOneFile() { --facade_.holdDepth_; }
    TOneFile(const TOneFile&) = delete;
    TOneFile& operator=(const TOneFile&) = delete;

   private:
    TExifFacade& facade_;
  };

 protected:
  // The common first step: reads the file; True when it holds Exif data.
  bool ReadExif(const std::string& FileName);
  // The value text of a tag of the file read last; empty when none.
  std::string Value(const std::string& Name) const;

 private:
  // The file the record was read from by ReadExif, as it was then (device, inode, size,
  // change time): asked again about that unchanged file, ReadExif answers from the record.
  struct FileStamp {
    std::string name;
    int64_t device = 0, inode = 0, size = -1, changed = 0;
    bool operator==(const FileStamp&) const = default;
  };
  static bool StampOf(const std::string& FileName, FileStamp& stamp);
  FileStamp readStamp_;
  bool readResult_ = false;
  int holdDepth_ = 0;
  bool holdChecked_ = false;  // the held file was looked at since the hold began
};

// Helpers of the number texts the facade and the window share.
// Every character of a text that is a digit or the interface's decimal separator.
std::string NumberCharacters(const std::string& text);
// The text as a number, its "." or "," taken as the interface's decimal separator.
bool LocaleNumber(const std::string& text, double& value);
// A number in fixed-point notation with 2 decimals and at most 4 significant digits.
std::string FixedNumberText(double value);
