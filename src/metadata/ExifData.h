#pragma once
// The metadata record of one picture file: the JPEG marker segments that carry
// metadata, the Exif tag container with its directory walk and tag tables, the
// value texts of the tags, the 35 mm equivalent focal length and the summary.
//
// Positions in a buffer are 1-based: position p names the p-th byte. Every read
// of a buffer is bounded: bytes outside it read as zero.
#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/SysUtils.h"

class TStream;
class TJPEGImage;
class TimgData;
struct TSegment;
class TImageInfo;
class TIPTCdata;
class TFilePages;

// What the 1-based positions of a reader address: a buffer in memory, or the
// bytes of a TIFF file read where they lie in it (TFilePages).
struct TByteSource {
  std::string_view Buffer;
  TFilePages* Pages = nullptr;

  int64_t Size() const;
  // The byte at p; 0 outside the data.
  uint32_t Byte(int64_t p) const;
  // Up to count bytes from p: fewer where the data ends, none outside it.
  std::string Read(int64_t p, int64_t count) const;
};


// ---------------------------------------------------------------------------
// Byte order and the bounded 16- and 32-bit reads, shared by the record and the
// tag container; also the numeric value and the value text of an entry, which
// depend on the byte order.
// ---------------------------------------------------------------------------
class tEndInd {
 public:
  // True when multi-byte values are big-endian ("MM").
  bool MotorolaOrder = false;

  void SetDataBuffer(std::string_view buffer) { Source = TByteSource{buffer, nullptr}; }
  void SetSource(const TByteSource& source) { Source = source; }
  const TByteSource& GetSource() const { return Source; }

  // The byte at p; 0 outside the buffer.
  uint32_t ByteAt(int64_t p) const;
  // The unsigned 16-bit value of the bytes at p and p+1.
  uint32_t Get16(int64_t p) const;
  // The 32-bit value of the bytes p..p+3.
  int32_t Get32(int64_t p) const;

  // Write a value into a segment's data at a 1-based position in this object's
  // byte order; bytes outside the data are not written.
  void Put32(TSegment& Segment, uint32_t Value, int32_t Position) const;
  void Put16(TSegment& Segment, uint16_t Value, int32_t Position) const;

  // All bytes form one unsigned number (no sign extension); its low 32 bits.
  uint32_t IntegerOfBytes(std::string_view bytes) const;
  // The number an entry stands for: its first value, signed types with their
  // sign, a rational as a quotient (x/0 gives 0), a one-byte UNDEFINED value as
  // its byte; 0 for texts.
  double NumericValue(std::string_view raw, int type) const;
  // The value text of an entry: its elements (at most 128) joined by ", ",
  // coded through Code (the found texts translated unless translateCodes is
  // false), then shaped by FormatS.
  std::string FormatValue(std::string_view raw, int type, const std::string& code, const std::string& formatS,
                          bool translateCodes = true) const;

 protected:
  // The bytes the reads address (owned by a segment record or the record's file pages).
  TByteSource Source;
};

// Element size of a TIFF value type (1 to 12, and 13: IFD); 0 for any other type.
int TypeElementSize(int type);

// The text of ValueText in a value-code list ("1:Normal,3:Rotated 180°"); empty
// when the list does not hold it. Found texts pass through the translation.
std::string CodeText(const std::string& code, const std::string& valueText);
// The same, the found text as the list holds it (the maker-note tables).
std::string CodeTextAsIs(const std::string& code, const std::string& valueText);
// "W n/d" or "n/d" as a number; 0 when it does not convert or d is 0.
double FractionValue(const std::string& text);
// The first 50 characters of a text, each control character replaced by ".".
std::string PrintableText(const std::string& text);
// The text of a value that begins with an 8-byte character-code prefix
// (UserComment, GPSProcessingMethod): the bytes after the prefix, UCS-2 in the
// given byte order decoded to UTF-8 when the prefix is "UNICODE".
std::string CharacterCodedText(std::string_view raw, bool motorola);

// A formatting routine of a tag: the value text in, the shown text out.
using TTagCallback = std::string (*)(const std::string& valueText);

// ---------------------------------------------------------------------------
// The tag record: a row of the tag tables and an element of the tag lists.
// ---------------------------------------------------------------------------
struct TTagEntry {
  int32_t Key = 0;        // 0 for directory entries, 1 for maker-note entries
  uint16_t Type = 0;      // TIFF value type of the entry
  uint16_t Record = 0;    // IPTC record number
  uint16_t Tag = 0;       // 0 marks the absence of a tag
  std::string Name;
  std::string Desc;
  std::string Code;       // value-code list
  std::string Data;       // the value text
  std::string Raw;        // the value's raw bytes
  int32_t Position = 0;   // 1-based position of the value in the segment data
  std::string FormatS;
  int32_t Size = 0;       // number of raw bytes
  TTagCallback Callback = nullptr;
};

// The tables, with their descriptions filled in once.
// The EXIF/TIFF table: rows 0..249 are tags, row 250 the "Unknown" terminator.
const std::vector<TTagEntry>& ExifTagTable();
// The GPS table: rows 0..30, tags 0x00..0x1E.
const std::vector<TTagEntry>& GpsTagTable();
// The JPEG marker table (Tag = marker byte, Desc = its name), ending with "Unknown".
const std::vector<TTagEntry>& JpegMarkerTable();
// The description made from a tag name: a blank before each capital that follows
// a character that is not a capital ("ExifImageWidth" gives "Exif Image Width").
std::string DescriptionFromName(const std::string& name);

// Kinds of directory for the walk and the table lookup.
constexpr int kMainDirectory = 1;
constexpr int kGpsDirectory = 2;

// ---------------------------------------------------------------------------
// What one read of a file may walk and keep. Directories that overlap and point
// into one another, or entries that all copy one large value, are valid in form
// yet would make one segment cost minutes and gigabytes. Every walker of a read
// (the Exif directories, maker notes, IPTC datasets) draws on the one budget of
// the file's record; the first limit reached stops the read, and the status text
// names it. The limits lie far above what any camera writes.
// ---------------------------------------------------------------------------
class TReadBudget {
 public:
  static constexpr int64_t kMaxEntries = 8192;                 // directory entries or datasets walked
  static constexpr int64_t kMaxRecords = 4096;                 // tag records kept
  static constexpr int64_t kMaxValueBytes = int64_t(4) << 20;  // bytes of values copied out of the data

  // Each takes its share and returns True while it fits. Once a limit is
  // reached the budget stays spent and every further take fails.
  bool TakeEntry();
  bool TakeRecord();
  bool TakeValueBytes(int64_t bytes);

  bool Spent() const { return StopText_ != nullptr; }
  // The status text of the limit that stopped the read; nullptr while none did.
  const char* StopText() const { return StopText_; }
  void Reset() { *this = TReadBudget(); }

 private:
  bool take(int64_t& used, int64_t amount, int64_t limit, const char* text);

  int64_t Entries_ = 0, Records_ = 0, ValueBytes_ = 0;
  const char* StopText_ = nullptr;
};

// ---------------------------------------------------------------------------
// The Exif tag container of one read.
// ---------------------------------------------------------------------------
class TImageInfo : public tEndInd {
 public:
  TImageInfo(TimgData* parent, int32_t readMode);
  virtual ~TImageInfo() = default;
  TImageInfo(const TImageInfo&) = delete;
  TImageInfo& operator=(const TImageInfo&) = delete;

  std::vector<TTagEntry> Tags;
  int32_t TagCount() const { return int32_t(Tags.size()); }

  TimgData* Parent = nullptr;
  std::string ExifVersion;   // at most 5 characters
  std::string CameraMake;    // at most 32
  std::string CameraModel;   // at most 40
  std::string DateTime;      // at most 20: the photo date text (see PhotoDateTime)
  int32_t Height = 0, Width = 0;
  int32_t HeightPos = 0, WidthPos = 0;
  uint16_t HeightType = 0, WidthType = 0;  // value types of the size entries
  int32_t FlashUsed = 0;
  int32_t ReadMode = 255;
  std::string MakerNote;
  bool ReadingTiff = false;
  std::string Comments;
  int32_t CommentPos = 0, CommentSize = 0;
  int32_t DateTimePos = 0, DateTimeOriginalPos = 0, DateTimeDigitizedPos = 0;
  int32_t ThumbStart = 0, ThumbLength = 0;
  std::string TagText;
  std::string MakerNoteText;
  bool MakerNoteDecoded = false;
  int32_t MakerNotePos = 0;
  int32_t IterPos = 0;

  // Index of the first stored tag whose name equals Name without case, a directory
  // entry before any maker-note record; -1 when none.
  virtual int FindTagIndex(const std::string& name) const;
  // The value text of that tag; empty when none.
  virtual void GetTagValue(const std::string& name, std::string& value) const;
  std::string GetTagValue(const std::string& name) const;
  // A copy of that tag; a zeroed record when none.
  void GetTagRecord(const std::string& name, TTagEntry& record) const;
  // The numeric value of that tag's raw bytes; 0 when none.
  double GetTagNumber(const std::string& name) const;
  int64_t GetTagInteger(const std::string& name) const;

  void ResetIteration() { IterPos = 0; }
  bool NextTagWithKey(int32_t key, TTagEntry& record);

  // Appends a copy unless it has no name (the empty record) or the read's
  // budget keeps no more records; returns TagCount - 1.
  int AddTag(const TTagEntry& record);
  int AddTag(TTagEntry&& record);
  // A maker-note record made by a decoder (ReadMode 4 or 255 only; within the budget).
  void AddSyntheticTag(const std::string& name, const std::string& value, uint16_t type);

  // The budget of the read: the parent record's, or one of this object's own
  // when it has no parent. A walker takes an entry before each entry it reads
  // and the value bytes it copies; when a take fails it calls BudgetSpent and stops.
  TReadBudget& Budget();
  // Records the stop in the parent's status text.
  void BudgetSpent();

  // The table row of a tag: the last matching row of the kind's table, or "Unknown".
  static const TTagEntry& LookupTagDef(uint16_t tag, int kind);
  // The first EXIF row whose name equals Name without case; -1 when none.
  static int FindExifRowByName(const std::string& name);

  // "YYYY:MM:DD HH:MM:SS" at fixed places; 0 when it is not a valid date.
  static TDateTime ParseExifDate(const std::string& text);
  TDateTime DateAt(int32_t position) const;
  // The photo date: DateTimeOriginal, else DateTimeDigitized, else DateTime, the
  // first that holds a valid date (the first present when none does); 0 without
  // any. The DateTime text is taken from the same tag.
  TDateTime PhotoDateTime() const;

  // Walks one directory at Start (a file offset O lies at position O + Base).
  void WalkDirectory(int64_t start, int64_t base, int kind, int64_t size);

  // The picture's size: its frame header's, else the Exif pixel dimensions (Width
  // and Height, which a resized or cropped copy may still carry from its original).
  void PictureSize(int32_t& width, int32_t& height) const;

  // Writes a new picture size into the Exif data at the fields that gave Height
  // and Width; nothing when the size is unknown or unchanged.
  void AdjustSize(int32_t NewHeight, int32_t NewWidth);

  // Adds the computed 35 mm equivalent focal length when the file has none.
  void Compute35mmEquivalent();
  // The short summary of the read (lines separated by CR LF).
  std::string ExifSummary() const;

 private:
  void walk(int64_t start, int64_t base, int kind, int64_t size, int depth);
  std::string raw(int64_t pos, int64_t count) const { return Source.Read(pos, count); }
  void errorText(const std::string& text);

  // Which of DateTimeOriginal, DateTimeDigitized and DateTime (0, 1, 2) gives the
  // photo date; -1 when none is present.
  int photoDateSource() const;
  // Their value texts, in that order.
  std::array<std::string, 3> DateTexts;

  // Directories walked in this read, as (base, start) pairs.
  std::set<std::pair<int64_t, int64_t>> Visited;
  TReadBudget OwnBudget;
};

// ---------------------------------------------------------------------------
// The metadata record of one file.
// ---------------------------------------------------------------------------
struct TSegment {
  std::string Data;   // the segment's bytes from its two length bytes on
  int32_t Marker = 0;
  int32_t Size = 0;   // the value of the length field
};

// After a lossless turn or flip of a JPEG picture's pixels, which now stand as they are to
// be shown: the Orientation of the picture (first directory) and of its thumbnail (second
// directory) becomes 1 ("normal"). When the turn changed the picture's size (a quarter
// turn, trimmed edges), Width and Height give the new one, and the Exif pixel dimensions
// (ExifImageWidth, ExifImageHeight) become it, as jpegtran itself does when the Exif
// segment comes first in the file. A quarter turn that kept the size (a square picture)
// swaps them where SwapSides says so, as they may describe the picture the camera took
// before it was made smaller. Each entry is changed where it lies, in its own type and
// the data's byte order; no other byte changes. Entries that are missing or not of their
// usual form stay as they are, and so does a segment that is no readable Exif. Segment is
// an Exif APP1 segment as the reads keep it.
void ResetTurnedOrientation(TSegment& Segment, uint32_t Width = 0, uint32_t Height = 0, bool SwapSides = false);
// After a lossless crop, whose pixels keep their orientation: only the Exif pixel
// dimensions become Width x Height, as ResetTurnedOrientation writes them.
void SetExifPixelSize(TSegment& Segment, uint32_t Width, uint32_t Height);
// The same for an XMP packet (the text of an XMP APP1 segment): each tiff:Orientation
// value of 2 to 8, as an attribute (tiff:Orientation="6") or as an element
// (<tiff:Orientation>6</tiff:Orientation>), becomes 1. Only those digits change; the
// packet keeps its length.
void ResetTurnedXmpOrientation(std::string& Packet);

// The JPEG thumbnail of an Exif APP1 segment (named by JPEGInterchangeFormat and
// JPEGInterchangeFormatLength in the second directory); empty when it has none, or when
// its bytes do not lie whole in the segment, do not begin as a JPEG picture or share a
// byte with the header, a directory or a directory's value.
std::string ExifThumbnail(const TSegment& Segment);
// Puts Thumbnail in the place of that thumbnail: where it ended the segment (but for zero
// padding), there; else in its place when it fits, or at the segment's end. Its length,
// its offset when it moved and the segment's length follow; every other byte stays. False,
// and the segment as it was, when the segment has no such thumbnail or would grow past
// MaxLength bytes (65,535: what one segment holds; more for Exif joined from several).
bool ReplaceExifThumbnail(TSegment& Segment, std::string_view Thumbnail, int64_t MaxLength = 65535);
// Takes the thumbnail (as ExifThumbnail finds it) out of the Exif: the first directory no
// longer names the second one, which held it and its tags. The segment keeps its length;
// the bytes left behind are named by nothing; with DropBytes a thumbnail that ends the
// data (but for zero padding) goes with its bytes, and the data ends where it began. False,
// and the segment as it was, when it has no such thumbnail.
bool RemoveExifThumbnail(TSegment& Segment, bool DropBytes = false);

// Exif that its writer spread over several APP1 segments, as some do with data larger than
// one segment holds (a large thumbnail): the first segment holds "Exif\0\0" and the start of
// the TIFF data, each segment that follows it directly holds "Exif\0\0" again and the next
// part (exiftool writes them so, and joins them when it reads). A writer fills each segment
// before it begins the next, so a segment goes on with the data of the one before it only
// when that one is as long as a segment can be and it begins no TIFF header of its own: two
// whole Exif segments back to back (as some editing programs leave a file) are two, and
// only the first is the picture's.
//
// Whether the APP1 segment whose bytes after its length bytes begin with Next goes on with
// the Exif data of the one before it, whose length bytes said LengthBefore.
bool ExifSegmentGoesOn(size_t LengthBefore, std::string_view Next);
// Joins such a run into one segment as the reads keep it: its length bytes (65,535 for data
// longer than one segment holds), "Exif\0\0" and the whole TIFF data, on which the functions
// above work as on one segment. Run holds the bytes from the first segment's length bytes to
// the end of the last segment, each further one from its marker (0xFF 0xE1) on; a lone
// segment is a run of one. Parts receives the length of each segment's part of the TIFF
// data. False, and Joined and Parts as they were, when Run is not such segments, whole (a
// segment in it that does not go on with the data before it ends the run too soon).
bool JoinExifSegments(std::string_view Run, TSegment& Joined, std::vector<size_t>& Parts);
// The run of segments (in Run's form) that holds the TIFF data of Joined laid out as Parts
// was: each part but the last as long as it was, the rest in parts as long as the longest of
// those (as long as one segment holds after a lone one), the last holding what is left.
std::string SplitExifSegment(const TSegment& Joined, const std::vector<size_t>& Parts);

// The read status texts kept in ErrStr (callers compare with them; shown translated).
extern const char* const kStatusNone;            // "<none>"
extern const char* const kStatusNotExif;         // "Not an EXIF file"
extern const char* const kStatusIllegal;         // "Illegal Exif construction"
extern const char* const kStatusBadHeader;       // "Incorrect Exif header"
extern const char* const kStatusBadAlignment;    // "Invalid Exif alignment marker"
extern const char* const kStatusBadDirectory;    // "Illegally sized directory"
extern const char* const kStatusEntryLimit;      // "Too many Exif entries; the rest was not read"
extern const char* const kStatusRecordLimit;     // "Too many Exif tags; the rest was not read"
extern const char* const kStatusValueLimit;      // "Exif values too large; the rest was not read"

class TimgData : public tEndInd {
 public:
  static constexpr int kMaxSegments = 20;

  explicit TimgData(int32_t readMode = 255);
  ~TimgData();
  TimgData(const TimgData&) = delete;
  TimgData& operator=(const TimgData&) = delete;

  // Segment records numbered 1..20 live at Segments[0..19].
  std::array<TSegment, kMaxSegments> Segments;
  bool ReadingTiff = false;
  int32_t ReadMode = 255;
  int SegmentCount = 0;
  TSegment* ExifSegment = nullptr;
  TSegment* IptcSegment = nullptr;
  TSegment* CommentSegment = nullptr;
  TSegment* JfifSegment = nullptr;
  std::string FileName;
  TDateTime FileDate = 0;
  int64_t FileSize = 0;
  std::string ErrStr;
  std::unique_ptr<TImageInfo> ImageInfo;
  std::unique_ptr<TIPTCdata> IptcData;
  // What this read may still walk and keep; renewed by every read.
  TReadBudget Budget;
  // The bytes of the TIFF file read last, as its walk asked for them.
  std::unique_ptr<TFilePages> TiffPages;
  // The picture's size as its frame header gives it (a JPEG's start of frame, a
  // TIFF's first directory); 0 when the read did not find it.
  int32_t PictureWidth = 0, PictureHeight = 0;
  // What a copy carries besides the metadata, as the source holds it: the colour
  // profile (APP2 "ICC_PROFILE" chunks) and the XMP packet (APP1, with its
  // extension), in file order. Gathered only by the reads of the write-back.
  std::vector<TSegment> CarriedSegments;

  // Reads the file's metadata; True when it was recognised and metadata was found.
  bool ReadFileMetadata(const std::string& fileName);
  bool FileHasMetadata(const std::string& fileName);
  bool HasMetadata() const;
  bool HasExif() const { return ExifSegment != nullptr; }
  bool HasThumbnail() const;
  // The comment segment's text (its bytes after the two length bytes).
  void CommentText(std::string& text) const;

  // The segment scan of a JPEG stream.
  bool ScanJpegSegments(TStream& stream);

  // Writes Jpeg to FileName with the metadata segments of SourceFile (FileName
  // itself when empty) in front of the encoder's stream, and with its colour
  // profile and XMP; with AdjustSize the Exif picture size becomes Jpeg's. A source
  // without metadata keeps the encoder's header, followed by its colour profile and
  // XMP when it has them. The file is written whole under a temporary name and
  // then renamed over FileName; failures raise and leave an existing FileName as
  // it was.
  void WriteMetadataJpeg(TJPEGImage& Jpeg, const std::string& FileName, bool AdjustSize,
                         const std::string& SourceFile);
  // Writes Jpeg to FileName with only the colour profile of SourceFile: a copy made
  // without the source's metadata still shows its colours as the source does.
  void WriteColourProfileJpeg(TJPEGImage& Jpeg, const std::string& FileName, const std::string& SourceFile);
  // Start of image, the Exif segment (else the JFIF segment, else a fixed JFIF
  // APP0), the carried segments, the IPTC and the comment segment; returns the
  // bytes written.
  int64_t WriteHeaderSegments(TStream& Stream);

  static std::string IntText(int32_t value);
  static std::string RatioText(int32_t numerator, int32_t denominator);

 private:
  void reset();
  bool readJpeg(const std::string& fileName);
  bool readTiff(const std::string& fileName);
  void processExifHeader(TSegment& segment);
  // Takes a frame header's picture size, or keeps a segment a copy carries.
  void takeFrameOrCarried(const TSegment& segment);
  // Reads a copy's source, gathering the segments a copy carries.
  void readForCopy(const std::string& source);
  // Jpeg as the encoder writes it, with the carried segments after its APP0.
  void writeCarried(TJPEGImage& Jpeg, const std::string& FileName);
  // After a TIFF read: the directories become a well-formed Exif APP1 segment, or
  // the Exif is dropped when they do not fit in one.
  void tiffExifToApp1();

  uint32_t TiffFirstIfd = 0;  // the first directory's offset in the TIFF read last
  bool collectCarried_ = false;  // this read gathers CarriedSegments
  int64_t carriedBytes_ = 0;
};
