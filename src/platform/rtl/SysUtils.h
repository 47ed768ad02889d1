#pragma once
// The run-time library's exceptions and routines (strings, numbers, dates, files).
#include <sys/types.h>

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/rtl/Math.h"

// ---------------------------------------------------------------------------
// Exceptions: the class library's hierarchy. Subsystems catch by these classes,
// so the derivations matter (EInvalidGraphic apart from other failures, ...).
// ---------------------------------------------------------------------------
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  void SetMessage(std::string m) { message_ = std::move(m); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

#define KIVO2_EXCEPTION(Name, Base) \
  class Name : public Base {        \
   public:                          \
    using Base::Base;               \
  };

KIVO2_EXCEPTION(EAbort, Exception)
KIVO2_EXCEPTION(EHeapException, Exception)
KIVO2_EXCEPTION(EOutOfMemory, EHeapException)
KIVO2_EXCEPTION(EOutOfResources, EOutOfMemory)
KIVO2_EXCEPTION(EInOutError, Exception)
KIVO2_EXCEPTION(EOSError, Exception)
KIVO2_EXCEPTION(EExternal, Exception)
KIVO2_EXCEPTION(EIntError, EExternal)
KIVO2_EXCEPTION(EDivByZero, EIntError)
KIVO2_EXCEPTION(ERangeError, EIntError)
KIVO2_EXCEPTION(EIntOverflow, EIntError)
KIVO2_EXCEPTION(EMathError, EExternal)
KIVO2_EXCEPTION(EInvalidOp, EMathError)
KIVO2_EXCEPTION(EZeroDivide, EMathError)
KIVO2_EXCEPTION(EOverflow, EMathError)
KIVO2_EXCEPTION(EUnderflow, EMathError)
KIVO2_EXCEPTION(EConvertError, Exception)
KIVO2_EXCEPTION(EInvalidCast, Exception)
KIVO2_EXCEPTION(EAbstractError, Exception)
KIVO2_EXCEPTION(EInvalidPointer, Exception)
KIVO2_EXCEPTION(EInvalidOperation, Exception)
KIVO2_EXCEPTION(EListError, Exception)
KIVO2_EXCEPTION(EStringListError, Exception)
KIVO2_EXCEPTION(EComponentError, Exception)
KIVO2_EXCEPTION(EThread, Exception)
KIVO2_EXCEPTION(EStreamError, Exception)
KIVO2_EXCEPTION(EFCreateError, EStreamError)
KIVO2_EXCEPTION(EFOpenError, EStreamError)
KIVO2_EXCEPTION(EFilerError, EStreamError)
KIVO2_EXCEPTION(EReadError, EFilerError)
KIVO2_EXCEPTION(EWriteError, EFilerError)
KIVO2_EXCEPTION(EIniFileException, Exception)
KIVO2_EXCEPTION(ERegistryException, Exception)
KIVO2_EXCEPTION(EInvalidGraphic, Exception)
KIVO2_EXCEPTION(EInvalidGraphicOperation, Exception)
KIVO2_EXCEPTION(EPrinter, Exception)
KIVO2_EXCEPTION(EClipboardException, Exception)

// Raises EAbort, the silent exception that ends an operation without a message.
[[noreturn]] void Abort();

// ===========================================================================
// Format settings: separators and date/time patterns of the interface language.
// The C library's LC_NUMERIC stays "C"; every shown number goes through these.
// ===========================================================================
struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  char ListSeparator = ',';
  std::string ShortDateFormat = "M/d/yyyy";
  std::string LongDateFormat = "dddd, mmmm d, yyyy";
  std::string ShortTimeFormat = "h:nn AMPM";
  std::string LongTimeFormat = "h:nn:ss AMPM";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                             "July",    "August",   "September", "October", "November", "December"};
  std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames{"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  std::string CurrencyString = "$";
  uint8_t CurrencyFormat = 0;   // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  uint8_t NegCurrFormat = 0;    // the class library's 0..15 patterns ("($1)", "-$1", ...)
  uint8_t CurrencyDecimals = 2;
  int TwoDigitYearCenturyWindow = 50;
};

// The settings every routine without an explicit settings argument uses (English by default).
extern TFormatSettings FormatSettings;
inline char DecimalSeparator() { return FormatSettings.DecimalSeparator; }
inline char ThousandSeparator() { return FormatSettings.ThousandSeparator; }
// The settings for an interface language: "nl" gives ',' and '.', "d-M-yyyy", Dutch names;
// anything else gives the English settings.
TFormatSettings FormatSettingsForLanguage(const std::string& languageCode);
// Makes FormatSettings those of the language.
void SetFormatSettingsForLanguage(const std::string& languageCode);

// ===========================================================================
// Strings: std::string holds UTF-8. Positions are 1-based where the routine is
// the class library's (Pos, Copy, Delete, Insert).
// ===========================================================================
std::string UpperCase(const std::string& s);      // ASCII letters only
std::string LowerCase(const std::string& s);      // ASCII letters only
std::string AnsiUpperCase(const std::string& s);  // every letter (UTF-8 aware)
std::string AnsiLowerCase(const std::string& s);  // every letter (UTF-8 aware)
// <0, 0, >0. CompareText ignores ASCII case; CompareStr compares bytes.
int CompareText(const std::string& a, const std::string& b);
int CompareStr(const std::string& a, const std::string& b);
bool SameText(const std::string& a, const std::string& b);
bool SameStr(const std::string& a, const std::string& b);
// Compare ignoring case of every letter (UTF-8 aware; falls back to bytes).
int AnsiCompareText(const std::string& a, const std::string& b);
// Compare as the interface language sorts words: letters first, their case only breaking
// ties ("Canon" < "casio" < "IMG0001").
int AnsiCompareStr(const std::string& a, const std::string& b);
bool AnsiSameText(const std::string& a, const std::string& b);
bool StartsText(const std::string& subText, const std::string& text);  // ignoring case
bool EndsText(const std::string& subText, const std::string& text);    // ignoring case
bool StartsStr(const std::string& subText, const std::string& text);
bool EndsStr(const std::string& subText, const std::string& text);
// False for an empty subText, like Pos.
bool ContainsText(const std::string& text, const std::string& subText);
bool ContainsStr(const std::string& text, const std::string& subText);

// 1-based position of sub in s; 0 when not found or when sub is empty.
int Pos(const std::string& sub, const std::string& s);
inline int AnsiPos(const std::string& sub, const std::string& s) { return Pos(sub, s); }
// As Pos, starting the search at offset (1-based); 0 when offset is out of range.
int PosEx(const std::string& sub, const std::string& s, int offset = 1);
// 1-based position of the last character of s that is in delimiters; 0 when none.
int LastDelimiter(const std::string& delimiters, const std::string& s);
// count bytes from the 1-based index, clamped to the string (index < 1 counts as 1).
std::string Copy(const std::string& s, int index, int count);
// Removes count bytes from the 1-based index (nothing when out of range).
void Delete(std::string& s, int index, int count);
// Inserts sub before the 1-based index (clamped to 1..length+1).
void Insert(const std::string& sub, std::string& s, int index);
// Remove characters <= ' ' (control characters and blanks) from the ends.
std::string Trim(const std::string& s);
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);

enum TReplaceFlag { rfReplaceAll = 1, rfIgnoreCase = 2 };
using TReplaceFlags = int;
std::string StringReplace(const std::string& s, const std::string& oldPattern, const std::string& newPattern,
                          TReplaceFlags flags);
std::string StringOfChar(char ch, int count);
std::string DupeString(const std::string& s, int count);
// 'abc' with embedded quotes doubled.
std::string QuotedStr(const std::string& s);
std::string AnsiQuotedStr(const std::string& s, char quote);
// Removes the quotes of a quoted text (doubled quotes become one); the text itself when not quoted.
std::string AnsiDequotedStr(const std::string& s, char quote);
enum TTextLineBreakStyle { tlbsLF, tlbsCRLF };
// Turns every CR, LF or CR LF into the given line break (CR LF by default, as the class library).
std::string AdjustLineBreaks(const std::string& s, TTextLineBreakStyle style = tlbsCRLF);

// Text encodings. Outside text is UTF-8 when valid, else Windows-1252.
bool IsValidUtf8(std::string_view bytes);
std::string Windows1252ToUtf8(std::string_view bytes);
// Displayable UTF-8 from raw bytes: the bytes themselves when valid UTF-8, else read as Windows-1252.
std::string TextFromBytes(std::string_view bytes);
// The text a byte string (a name from disk, a line of a list) shows as: its valid UTF-8
// sequences as they are, each other byte as its Windows-1252 letter ("caf\xE9" shows as
// "café"). The string itself keeps its bytes; every text drawn goes through this.
std::string DisplayTextOf(std::string_view bytes);
// A line of a text file (its bytes, without its line end) as TStrings::LoadFromFile reads it:
// a line that is not UTF-8 and is itself an old Windows path as Windows-1252 (made in
// scratch), every other line as its bytes stand.
std::string_view TextLineAsRead(std::string_view line, std::string& scratch);

// ===========================================================================
// Numbers and text.
// ===========================================================================
std::string IntToStr(int64_t value);
// Upper-case hex with at least digits digits; negative values as two's complement
// (32 bits when the value fits an int, else 64 bits).
std::string IntToHex(int64_t value, int digits);
// Decimal, or hex with "$", "0x" or "0X"; leading blanks allowed, trailing ones not.
// Raise EConvertError "'x' is not a valid integer value".
int StrToInt(const std::string& s);
int64_t StrToInt64(const std::string& s);
int StrToIntDef(const std::string& s, int defaultValue);
int64_t StrToInt64Def(const std::string& s, int64_t defaultValue);
bool TryStrToInt(const std::string& s, int& value);
bool TryStrToInt64(const std::string& s, int64_t& value);
std::string BoolToStr(bool b, bool useBoolStrs = false);  // "-1"/"0" or "True"/"False"
bool StrToBool(const std::string& s);                      // raises EConvertError
bool StrToBoolDef(const std::string& s, bool defaultValue);
bool TryStrToBool(const std::string& s, bool& value);

// Floating point text uses the decimal separator of the settings (FormatSettings when not given);
// the thousands separator is not accepted in input. Raise EConvertError "'x' is not a valid floating point value".
double StrToFloat(const std::string& s);
double StrToFloat(const std::string& s, const TFormatSettings& fs);
double StrToFloatDef(const std::string& s, double defaultValue);
double StrToFloatDef(const std::string& s, double defaultValue, const TFormatSettings& fs);
bool TryStrToFloat(const std::string& s, double& value);
bool TryStrToFloat(const std::string& s, double& value, const TFormatSettings& fs);

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
// General format with 15 significant digits ("0.1", "1E20", "1.5E-10", "NAN", "INF", "-INF").
std::string FloatToStr(double value);
std::string FloatToStr(double value, const TFormatSettings& fs);
// precision: significant digits (general, exponent) ; digits: decimals (fixed, number,
// currency) or the minimum exponent digits (general, exponent).
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits, const TFormatSettings& fs);
// The class library's picture format: "0" digit, "#" optional digit, "." decimal separator,
// "," thousands separators, "E+"/"E-"/"e+"/"e-" exponent, "'..'"/"\"..\"" literal text,
// up to three sections "positive;negative;zero".
std::string FormatFloat(const std::string& format, double value);
std::string FormatFloat(const std::string& format, double value, const TFormatSettings& fs);

// One argument of Format: made implicitly from integers, floating point, strings,
// characters, booleans and pointers.
struct TVarRec {
  enum TKind { vtInteger, vtInt64, vtExtended, vtString, vtChar, vtBoolean, vtPointer };
  TKind Kind = vtInteger;
  int64_t I = 0;       // vtInteger, vtInt64, vtChar, vtBoolean
  double F = 0;        // vtExtended
  std::string S;       // vtString
  const void* P = nullptr;  // vtPointer

  TVarRec(int v) : Kind(vtInteger), I(v) {}
  TVarRec(unsigned v) : Kind(vtInt64), I(int64_t(v)) {}
  TVarRec(short v) : Kind(vtInteger), I(v) {}
  TVarRec(unsigned short v) : Kind(vtInteger), I(v) {}
  TVarRec(signed char v) : Kind(vtInteger), I(v) {}
  TVarRec(unsigned char v) : Kind(vtInteger), I(v) {}
  TVarRec(long v) : Kind(vtInt64), I(int64_t(v)) {}
  TVarRec(unsigned long v) : Kind(vtInt64), I(int64_t(v)) {}
  TVarRec(long long v) : Kind(vtInt64), I(int64_t(v)) {}
  TVarRec(unsigned long long v) : Kind(vtInt64), I(int64_t(v)) {}
  TVarRec(double v) : Kind(vtExtended), F(v) {}
  TVarRec(float v) : Kind(vtExtended), F(double(v)) {}
  TVarRec(long double v) : Kind(vtExtended), F(double(v)) {}
  TVarRec(const std::string& v) : Kind(vtString), S(v) {}
  TVarRec(std::string_view v) : Kind(vtString), S(v) {}
  TVarRec(const char* v) : Kind(vtString), S(v ? v : "") {}
  TVarRec(char v) : Kind(vtChar), I(static_cast<unsigned char>(v)) {}
  TVarRec(bool v) : Kind(vtBoolean), I(v ? 1 : 0) {}
  TVarRec(const void* v) : Kind(vtPointer), P(v) {}
  TVarRec(std::nullptr_t) : Kind(vtPointer), P(nullptr) {}
};

// The class library's Format: %[index:][-][width][.precision]type with the types
// d u x X (integers), e f g n m (floating point; n with thousands separators, m currency),
// s (strings and characters), p (pointers) and %%. "*" takes width or precision from the arguments. A type that does not
// fit its argument (e.g. %d of a float), a missing argument or a bad format raise EConvertError.
std::string Format(const std::string& fmt, std::initializer_list<TVarRec> args = {});
std::string Format(const std::string& fmt, const std::vector<TVarRec>& args);
std::string Format(const std::string& fmt, const std::vector<TVarRec>& args, const TFormatSettings& fs);
// A file size as the program shows it: the count in the largest of Bytes, KB, MB and GB
// (steps of 1024) that leaves a whole number, with two decimals and the separators of the
// format settings ("1.50 KB"; "1,50 KB" in Dutch).
std::string ByteSizeText(int64_t byteCount);

// ===========================================================================
// Dates and times: TDateTime counts days since 1899-12-30; the fraction is the time of day.
// ===========================================================================
using TDateTime = double;
constexpr double MSecsPerDay = 86400000.0;
constexpr double SecsPerDay = 86400.0;

TDateTime Now();   // local time
TDateTime Date();  // local date, time 0
TDateTime Time();  // local time of day
// Raise EConvertError "Invalid argument to date encode" / "... time encode".
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time);
bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec, TDateTime& value);
void DecodeDate(TDateTime date, uint16_t& year, uint16_t& month, uint16_t& day);
void DecodeDate(TDateTime date, int& year, int& month, int& day);
void DecodeTime(TDateTime time, uint16_t& hour, uint16_t& min, uint16_t& sec, uint16_t& msec);
void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& min, int& sec, int& msec);
int YearOf(TDateTime value);
int MonthOf(TDateTime value);
int DayOf(TDateTime value);
int HourOf(TDateTime value);
int MinuteOf(TDateTime value);
int SecondOf(TDateTime value);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime date);
bool IsLeapYear(int year);
int DaysInAMonth(int year, int month);
int DaysInMonth(TDateTime date);
TDateTime IncDay(TDateTime value, int numberOfDays = 1);
TDateTime IncMonth(TDateTime value, int numberOfMonths = 1);  // day clamped to the month's length
TDateTime IncSecond(TDateTime value, int64_t numberOfSeconds = 1);

// Pattern letters: c d dd ddd dddd ddddd dddddd m mm mmm mmmm (minutes after h/hh) yy yyyy
// h hh n nn s ss z zzz t tt am/pm a/p ampm / : "quoted" 'quoted'.
std::string FormatDateTime(const std::string& format, TDateTime value);
std::string FormatDateTime(const std::string& format, TDateTime value, const TFormatSettings& fs);
std::string DateTimeToStr(TDateTime value);  // "c": date, and the time when not midnight
std::string DateToStr(TDateTime value);      // ShortDateFormat
std::string TimeToStr(TDateTime value);      // LongTimeFormat
// Parse in the order of ShortDateFormat with DateSeparator; time as h:n[:s] with an optional AM/PM.
// Raise EConvertError "'x' is not a valid date" / "... time" / "... date and time".
TDateTime StrToDate(const std::string& s);
TDateTime StrToTime(const std::string& s);
TDateTime StrToDateTime(const std::string& s);
bool TryStrToDate(const std::string& s, TDateTime& value);
bool TryStrToTime(const std::string& s, TDateTime& value);
bool TryStrToDateTime(const std::string& s, TDateTime& value);
bool TryStrToDateTime(const std::string& s, TDateTime& value, const TFormatSettings& fs);

// Seconds since 1970-01-01 UTC <-> TDateTime in local time (the way file times are shown).
TDateTime UnixToLocalDateTime(int64_t unixSeconds);
int64_t LocalDateTimeToUnix(TDateTime value);
// Seconds since 1970 <-> TDateTime without any time-zone shift.
TDateTime UnixToDateTime(int64_t unixSeconds);
int64_t DateTimeToUnix(TDateTime value);
// DOS date-time packing (2-second resolution): bits 31..25 year-1980, 24..21 month,
// 20..16 day, 15..11 hour, 10..5 minute, 4..0 seconds/2.
int32_t DateTimeToFileDate(TDateTime value);
// Raises EConvertError for a packing that is no valid date.
TDateTime FileDateToDateTime(int32_t fileDate);

// ===========================================================================
// Files and folders (Linux rules: '/' separators, names compare exactly,
// masks and extensions compare without case).
// ===========================================================================
constexpr char PathDelim = '/';

constexpr int faReadOnly = 0x01;   // the owner may not write
constexpr int faHidden = 0x02;     // the name starts with '.'
constexpr int faSysFile = 0x04;    // never set on Linux
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;    // a regular file
constexpr int faAnyFile = 0x3F;
constexpr int faNormal = 0x80;
constexpr int faSymLink = 0x400;   // a symbolic link (the entry itself; walkers skip these)

// Regular files and links to them; false for folders.
bool FileExists(const std::string& fileName);
// Folders and links to them.
bool DirectoryExists(const std::string& dir);
// Creates the folder and every missing parent; true when it exists afterwards.
bool ForceDirectories(const std::string& dir);
bool CreateDir(const std::string& dir);
bool RemoveDir(const std::string& dir);  // empty folders only
bool DeleteFile(const std::string& fileName);
// Renames, never replacing an existing target (false then, the target untouched).
bool RenameFile(const std::string& oldName, const std::string& newName);
// 64-bit size of a file; -1 when it cannot be read.
int64_t FileSizeByName(const std::string& fileName);
// Modification time as DOS date-time (local time); -1 when the file is missing.
int32_t FileAge(const std::string& fileName);
// Modification time as local TDateTime (full resolution); false when missing.
bool FileAge(const std::string& fileName, TDateTime& fileDateTime);
// A regular file's (or a link to one) modification time and 64-bit size in one look at
// the file; false for a folder, anything else that is no file, or a missing file.
bool FileAgeAndSize(const std::string& fileName, TDateTime& fileDateTime, int64_t& size);
// DOS date-time of an open descriptor; -1 on failure.
int32_t FileGetDate(int handle);
// Sets the modification time from DOS date-time (local time); 0 on success, else an errno value.
int FileSetDate(const std::string& fileName, int32_t age);
// Sets the modification time from a local TDateTime; true on success.
bool FileSetDateTime(const std::string& fileName, TDateTime value);
// fa* attributes of the entry (links are followed; faSymLink added for a link); -1 when missing.
int FileGetAttr(const std::string& fileName);
// Only faReadOnly has an effect (clears or sets the write permission); 0 on success, else an errno value.
int FileSetAttr(const std::string& fileName, int attr);
bool FileIsReadOnly(const std::string& fileName);
bool FileSetReadOnly(const std::string& fileName, bool readOnly);

// One entry found by FindFirst/FindNext.
struct TSearchState;
struct TSearchRec {
  int32_t Time = 0;        // modification time, DOS date-time (local)
  TDateTime TimeStamp = 0; // modification time, local TDateTime (full resolution)
  int64_t Size = 0;        // 64-bit size (0 for folders)
  int Attr = 0;            // fa* attributes
  std::string Name;        // the entry's name, no folder
  int ExcludeAttr = 0;
  std::shared_ptr<TSearchState> FindHandle;
};
// Lists the folder of path; the name part of path is a mask with '*' and '?' matched without case
// ("*.*" and "*" match every name). Entries with faHidden, faSysFile, faVolumeID or faDirectory
// are listed only when attr holds that attribute. "." and ".." are listed like Windows lists them.
// Links are not followed for listing (a link to a folder is reported as faSymLink | faDirectory).
// Returns 0 on success, else an errno value (ENOENT when nothing matches).
int FindFirst(const std::string& path, int attr, TSearchRec& f);
int FindNext(TSearchRec& f);
void FindClose(TSearchRec& f);
// '*' and '?' mask match without case; "*.*" matches names without a dot too.
bool MatchesMask(const std::string& fileName, const std::string& mask);

// Folder part with its trailing '/' ("" when none).
std::string ExtractFilePath(const std::string& fileName);
// Folder part without a trailing '/' (except the root "/").
std::string ExtractFileDir(const std::string& fileName);
std::string ExtractFileName(const std::string& fileName);
// Extension with its dot ("" when the name has none).
std::string ExtractFileExt(const std::string& fileName);
// Replaces (or adds, or with "" removes) the extension; extension includes its dot.
std::string ChangeFileExt(const std::string& fileName, const std::string& extension);
// Full path from a relative one against the current folder; "." and ".." removed.
std::string ExpandFileName(const std::string& fileName);
std::string IncludeTrailingPathDelimiter(const std::string& s);
std::string ExcludeTrailingPathDelimiter(const std::string& s);  // keeps "/"
std::string GetCurrentDir();
bool SetCurrentDir(const std::string& dir);
// Free and total bytes of the file system holding path; -1 when unknown.
int64_t DiskFree(const std::string& path);
int64_t DiskSize(const std::string& path);
// TMPDIR (or /tmp) with a trailing '/'.
std::string GetTempDir();

// Reads a whole file; raises EFOpenError when it cannot be opened, EReadError on a read failure.
// maxBytes bounds what a hostile file may make us allocate (EReadError when larger).
std::string ReadFileBytes(const std::string& fileName, int64_t maxBytes = int64_t(1) << 30);
// Writes bytes to a temporary file in the same folder, flushes it to disk and renames it over
// fileName. Raises EFCreateError (cannot create) or EWriteError (cannot write or rename);
// on failure the old file is untouched and no temporary file is left.
// Its work file is made from WorkFileTemplate with kSaveWorkKind.
void SaveTextFileAtomically(const std::string& fileName, std::string_view bytes);
extern const char* const kSaveWorkKind;
// The permission bits for a file written anew at fileName: those of the file there, else the
// usual mode of a new file under the process's umask (0666 less the mask).
int NewFileMode(const std::string& fileName);

// Copies the regular file source into a new file at path, which must not exist; with
// temporary, path is a template ending in "XXXXXX" (see WorkFileTemplate) that receives the
// name made. keepAttributes gives it the source's permission bits and dates; sync flushes it
// to its disk. Pipes and devices are refused, files that report no size (/proc) are read to
// their end. False (errno set) when anything failed; then nothing is left.
bool CopyFileToNew(const std::string& source, std::string& path, bool temporary, bool keepAttributes, bool sync);
// Copies every byte from in's offset to its end into out at its offset: in the kernel up to
// reportedSize bytes (the size the file reports less the offset), then by reading to the end
// (files of pseudo file systems report 0 and are read plainly). False (errno set) on failure.
bool CopyBytes(int in, int out, int64_t reportedSize);
// Copies the bytes [from, to) of in into out at its offset: in the kernel, or read and written
// where the file systems cannot. False (errno set; EIO when in ends before to) on failure.
bool CopySpan(int in, uint64_t from, uint64_t to, int out);
// Both files hold the same bytes, read back from their disks.
bool SameFileBytes(const std::string& a, const std::string& b);
// The template of a hidden work file or folder beside target: "." + the name + kind (such as
// ".kivo2copy-") + the mark of this process + "-XXXXXX". A crash leaves such an entry behind;
// the mark tells later runs whether the process that made it is gone.
std::string WorkFileTemplate(const std::string& target, const std::string& kind);
// For the name of an entry made from WorkFileTemplate with this kind: true when the process
// that made it has ended (no process of that id and start time runs); false for a running
// owner and for names without a readable mark.
bool WorkFileOwnerGone(const std::string& name, const std::string& kind);
// For an entry name of folder: true when it is a work entry of this program (made from
// WorkFileTemplate for a copy, a move, a lossless turn or a save); one whose process has
// ended is removed with all it holds on the way (cleared tells whether it went). Only
// hidden names holding ".kivo2" are looked at closer, so a listing asks it of every name.
// FindFirst and the first WorkFileTemplate of a run in a folder go through it, so what a
// killed run left goes when the program next lists or writes that folder.
bool IsWorkEntry(const std::string& folder, const std::string& name, bool* cleared = nullptr);
// Clears what killed runs left in folder: the work entries whose processes have ended are
// removed, never renamed onto a name. The number of entries cleared.
int ClearLeftovers(const std::string& folder);
// The names in a folder, "." and ".." left out; false when it cannot be read.
bool FolderNames(const std::string& dir, std::vector<std::string>& names);
// Removes an entry with everything below it, not following links; true when it is gone.
bool RemoveTree(const std::string& path);

// A lock of the kernel on the folder of a file while this process changes the file (the
// file itself is replaced by a rename, so it cannot hold the lock): another process that
// asks for the same folder's lock waits until it is let go. The lock belongs to an open
// descriptor, so it ends with its holder, also one that is killed. Where the folder itself
// cannot be locked (NFS locks only files open for writing) a hidden lock file in it
// (kFolderLockFileName, opened for writing and left in place, since a holder that removed
// it would let the next two lock different files) stands in; which of the two is a matter
// of the file system, so every program on it takes the same one. Within one program a
// folder is locked once: a second lock of a folder the program holds already joins the
// first (the program's own changes never wait for each other), and the lock goes with its
// last holder. Raises EFOpenError when another holder keeps it longer than timeoutMs, when
// the user gives the wait up, or when neither can be locked: the change is not made then.
class TFolderLock {
 public:
  // With a TLockWaitScope open, the wait ends no later than the scope's deadline. A negative
  // timeoutMs tries the lock once: it raises at once while another holder keeps it.
  explicit TFolderLock(const std::string& fileName, int timeoutMs = 10000);
  ~TFolderLock();
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

 private:
  std::pair<dev_t, ino_t> key_{};  // the folder's device and inode
  bool holds_ = false;
};

// The name of the lock file that stands in for a folder that cannot be locked.
extern const char* const kFolderLockFileName;

// Locks an open file (fd, at path) against other processes as TFolderLock locks a folder:
// while another holder keeps it, waits as TFolderLock waits (fileName is what the wait
// names for the user). Raises EFOpenError as TFolderLock does; the lock ends when the
// file is closed.
void LockOpenFile(int fd, const std::string& path, const std::string& fileName, int timeoutMs = 10000);

// How a TFolderLock waits while another holder keeps the lock: over() tries the lock once
// and tells whether the wait is over (the lock had, the time up, or an error); the waiter
// asks it until it is, and returns false when the user gave the wait up before. fileName is
// the file to be changed. Without a waiter the lock sleeps between its tries; the GUI
// installs one that keeps the windows drawn meanwhile. Set it before other threads run.
using TLockWaiter = bool (*)(const std::string& fileName, const std::function<bool()>& over);
// Returns the waiter it replaces.
TLockWaiter SetLockWaiter(TLockWaiter waiter);

// The lock waits of one user action are one wait: while a scope is open on this thread
// (the outermost one counts; inner ones join it), the first TFolderLock that has to wait
// starts the action's clock, and every lock of the action waits at most until that wait's
// end (timeoutMs after it began). Once that moment has passed a lock is tried once and
// not waited for. So an action that changes many lists in a folder another program keeps
// locked waits once, not once per list.
class TLockWaitScope {
 public:
  TLockWaitScope();
  ~TLockWaitScope();
  TLockWaitScope(const TLockWaitScope&) = delete;
  TLockWaitScope& operator=(const TLockWaitScope&) = delete;
  // The moment (GetTickCount64) a lock wait of the open action must end, starting the
  // action's clock with this wait of timeoutMs when none ran yet; without an open scope,
  // now + timeoutMs.
  static uint64_t WaitDeadline(int timeoutMs);

 private:
  bool outermost_ = false;
};

// ===========================================================================
// Process and system.
// ===========================================================================
// Keeps the command line for ParamStr/ParamCount (called by main).
void SetCommandLine(int argc, char** argv);
int ParamCount();
// ParamStr(0) is the executable's full path; "" for an index out of range.
std::string ParamStr(int index);
// Folder of the running executable (from /proc/self/exe) with a trailing '/'.
std::string ProgramDir();
// "" when unset.
std::string GetEnvironmentVariable(const std::string& name);
void Sleep(uint32_t milliseconds);
// Milliseconds of a monotonic clock; GetTickCount wraps like the 32-bit original.
uint32_t GetTickCount();
uint64_t GetTickCount64();
// Text of an errno value.
std::string SysErrorMessage(int errorCode);
// Raises EOSError with the text of errno (or of the given code).
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseLastOSError(int errorCode);
