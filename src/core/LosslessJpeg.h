#pragma once
// A JPEG file's own bytes around a lossless step of jpegtran (a turn, a flip or a crop):
// the layout of the picture and of jpegtran's output, the work files beside the picture,
// the Exif that has to say what the changed pixels show (orientation, pixel size, the
// thumbnail changed with the picture), the trailer (further MPF pictures, a motion
// photo's video) carried along, and jpegtran's own words turned into the user's.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The layout of a JPEG file as far as the lossless step needs it: the size of its first
// frame, where its first picture ends (after the end-of-image marker: what follows is a
// trailer such as the further pictures of an MPF file or a motion photo's video), where the
// byte-order mark of its MPF index lies and where its Exif segment (its length bytes) lies
// and how long it is (0 for those it has not), and where the Exif segments that follow it
// directly and go on with its data (ExifSegmentGoesOn) end; its own end when none do.
struct TJpegLayout {
  int width = 0, height = 0;
  size_t end = 0;
  size_t mpfHeader = 0;
  size_t exif = 0, exifLength = 0, exifEnd = 0;
  size_t xmp = 0, xmpLength = 0;  // the XMP packet (after its name), as exif its segment
};

// Walks a file's markers, and unless headerOnly its compressed data, to the end of the
// first picture, in bounded memory. 0 when it is a whole picture with a frame size, -1
// when it is none, else the errno value of the failed open. headerOnly stops at the first
// scan, and then asks for the end-of-image marker as the file's last bytes (jpegtran's
// output holds one picture).
int ReadJpegFileLayout(const std::string& fileName, TJpegLayout& layout, bool headerOnly);

// The time jpegtran is given for a file of this size: it reads and writes at disk speed,
// and a huge picture on a slow share still gets there in this time.
int JpegtranTimeOut(int64_t fileSize);

// The reason for the user in jpegtran's messages (its standard error), in the user's
// language: its known refusals (a change it cannot make without loss, input that is no
// whole JPEG picture) by their meaning; "" when it names none of them. Its other lines are
// English and name the program's and the files' paths: they are not passed on.
std::string JpegtranReason(const std::string& messages);

// A new work file beside picture for a lossless step, with the picture's permissions and,
// where allowed, its owner; its descriptor (-1, errno set, when none could be made), and
// its name in name.
int NewWorkFile(const std::string& picture, const struct stat& original, std::string& name);

// Why jpegtran could not write its output into the folder, as far as the disk tells:
// EROFS on a read-only file system, ENOSPC when less room is left than the picture needs;
// 0 when the disk is not the reason.
int DiskReason(const std::string& folder, int64_t needed);

// Flushes a file to its disk; false when it could not be opened or flushed.
bool SyncFile(const std::string& fileName);

// Gives the untouched picture the backup's name beside it: a second name of the file, or
// where the file system has none a flushed copy; an old backup is replaced only when
// replace says so, and only once the new one is whole.
bool MakeBackup(const std::string& fileName, const std::string& backup, bool replace);

// One run of jpegtran on a picture, for the steps that mend its output.
struct TLosslessRun {
  std::string Program;                 // the jpegtran that ran
  std::string Picture;                 // the picture it read; work files go beside it
  struct stat Original {};             // the picture's status before
  std::vector<std::string> Transform;  // "-rotate" "90", "-flip" "vertical", "-crop" "WxH+X+Y"
  TJpegLayout Before;                  // the picture's layout
  TJpegLayout After;                   // the layout of jpegtran's output (its header)
  std::function<void()> Pump;          // runs while a further jpegtran runs
};

// After the run, the work file's Exif (and, after a turn or flip, its XMP packet's
// tiff:Orientation) says what its pixels show: a turn or flip makes both Orientations
// normal and swaps or sets the pixel sizes; a crop sets the pixel sizes and keeps the
// Orientations. The Exif thumbnail is changed as the picture was - turned without loss by
// jpegtran where it can be, else decoded, turned or cropped and encoded anew - in a form
// that fits the Exif segment (a lower quality, else a smaller size); one that can be
// changed in no form that fits is taken out, so that no reader shows the old one beside
// the new picture; one that is no whole JPEG picture stays as it was. Exif that its writer
// spread over several segments is changed joined, and stays spread as it was. The bytes
// that change are written where they lie; Exif whose length changed goes with the rest of
// the file into a new work file, which takes the old one's place in output. False (errno
// set) when the file could not be written.
bool FitExifToPicture(const TLosslessRun& run, std::string& output);

// Carries the picture's trailer (everything after its first picture) into the work file
// output, whose MPF index then points at the further pictures where they now lie; adds
// the number of further pictures the index names (carried, not changed) to further.
// False (errno set) when the files could not be read or the work file written.
bool CarryTrailer(const TLosslessRun& run, const std::string& output, int& further);
