// Lossless JPEG rotation and flipping through the jpegtran of libjpeg-turbo, and the one
// file step that they share with the lossless crop.
//
// jpegtran never writes into the picture: it writes a temporary file beside it, and that
// file takes the picture's name (with the picture's mode, date and trailer) only when
// jpegtran ended with status 0 and the file holds a whole JPEG picture of the expected
// size. A failed, refused, killed or timed-out run, or a crash at any moment, leaves a
// whole picture under the picture's name.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <set>
#include <string_view>
#include <vector>

#include "controls/QzFileExplorer28.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "metadata/ExifData.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {

// jpegtran reads and writes at disk speed; a huge picture on a slow share still gets
// there in this time. Past it the run is stopped, which harms nothing.
uint16_t JpegtranTimeOut(int64_t fileSize) {
  const int64_t seconds = 120 + fileSize / (int64_t(1) << 20) * 4;
  return uint16_t(std::min<int64_t>(seconds, 3600));
}

// A side after -trim: the edge blocks that do not fill a whole MCU (at most 31 pixels)
// may be gone.
bool Trimmed(int got, int want) { return got <= want && got + 32 > want; }

// A file, or bytes in memory, looked at through a window of 256 KiB: a picture of any size
// is walked in bounded memory, each byte read once.
class TByteWindow {
 public:
  explicit TByteWindow(std::string_view bytes) : memory_(bytes), size_(bytes.size()) {}
  TByteWindow(int fd, size_t size) : fd_(fd), size_(size) {}
  size_t Size() const { return size_; }

  // The count bytes from at on (for a file at most the window); nullptr when they are not
  // all there.
  const uint8_t* Bytes(size_t at, size_t count) {
    if (at > size_ || count > size_ - at || (fd_ >= 0 && count > kWindow)) return nullptr;
    size_t held = 0;
    const uint8_t* bytes = From(at, held);
    if (bytes && held < count) bytes = refill(at) ? buffer_.data() : nullptr;
    return bytes;
  }

  // The bytes from at on that the window holds (read from at on when it holds none), and
  // their number in count; nullptr at the end and on a read error.
  const uint8_t* From(size_t at, size_t& count) {
    if (at >= size_) return nullptr;
    if (fd_ < 0) {
      count = size_ - at;
      return reinterpret_cast<const uint8_t*>(memory_.data()) + at;
    }
    if ((at < start_ || at >= start_ + buffer_.size()) && !refill(at)) return nullptr;
    count = start_ + buffer_.size() - at;
    return buffer_.data() + (at - start_);
  }

  // Where the next 0xFF byte from at on lies; Size() when there is none.
  size_t NextFF(size_t at) {
    size_t count = 0;
    while (const uint8_t* bytes = From(at, count)) {
      if (const void* ff = std::memchr(bytes, 0xFF, count)) return at + size_t(static_cast<const uint8_t*>(ff) - bytes);
      at += count;
    }
    return size_;
  }

 private:
  // The window's bytes from at on; false on a read error or a file that became shorter.
  bool refill(size_t at) {
    buffer_.resize(std::min(kWindow, size_ - at));
    start_ = at;
    for (size_t got = 0; got < buffer_.size();) {
      const ssize_t n = ::pread(fd_, buffer_.data() + got, buffer_.size() - got, off_t(at + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        buffer_.clear();
        return false;
      }
      got += size_t(n);
    }
    return true;
  }

  static constexpr size_t kWindow = size_t(256) << 10;
  std::string_view memory_;
  int fd_ = -1;
  size_t size_ = 0;
  std::vector<uint8_t> buffer_;  // the file's bytes from start_ on
  size_t start_ = 0;
};

// The layout of a JPEG file as far as the lossless step needs it: the size of its first
// frame, where its first picture ends (after the end-of-image marker: what follows is a
// trailer such as the further pictures of an MPF file or a motion photo's video), where the
// byte-order mark of its MPF index lies and where its Exif segment (its length bytes) lies
// and how long it is (0 for those it has not).
struct TJpegLayout {
  int width = 0, height = 0;
  size_t end = 0;
  size_t mpfHeader = 0;
  size_t exif = 0, exifLength = 0;
  size_t xmp = 0, xmpLength = 0;  // the XMP packet (after its name), as exif its segment
};

uint32_t Get(std::string_view b, size_t at, int size, bool little) {
  uint32_t v = 0;
  for (int i = 0; i < size; ++i) {
    const uint32_t byte = uint8_t(b[at + size_t(little ? size - 1 - i : i)]);
    v = (v << 8) | byte;
  }
  return v;
}

void Put(std::string& b, size_t at, int size, bool little, uint32_t v) {
  for (int i = 0; i < size; ++i) b[at + size_t(little ? i : size - 1 - i)] = char((v >> (8 * i)) & 0xFF);
}

bool IsFrameHeader(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the markers, and unless headerOnly the compressed data, to the end of the first
// picture; false for anything that is no whole JPEG picture with a frame size. headerOnly
// stops at the first scan, and then asks for the end-of-image marker as the file's last
// bytes (jpegtran's output holds one picture).
bool ReadJpegLayout(TByteWindow& b, TJpegLayout& layout, bool headerOnly) {
  const size_t n = b.Size();
  const uint8_t* start = b.Bytes(0, 2);
  if (!start || start[0] != 0xFF || start[1] != 0xD8) return false;
  size_t pos = 2;
  for (;;) {
    const uint8_t* m = b.Bytes(pos, 2);
    if (!m || m[0] != 0xFF) return false;
    const uint8_t marker = m[1];
    if (marker == 0xFF) {  // a fill byte
      ++pos;
      continue;
    }
    if (marker == 0xD9) {
      layout.end = pos + 2;
      return layout.width > 0 && layout.height > 0;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      pos += 2;
      continue;
    }
    const uint8_t* lengthBytes = b.Bytes(pos + 2, 2);
    if (!lengthBytes) return false;
    const size_t length = size_t(lengthBytes[0]) << 8 | lengthBytes[1];
    if (length < 2 || length > n - pos - 2) return false;
    const uint8_t* head = b.Bytes(pos + 4, std::min<size_t>(length - 2, 8));
    if (!head) return false;
    const std::string_view text(reinterpret_cast<const char*>(head), std::min<size_t>(length - 2, 8));
    if (IsFrameHeader(marker) && layout.width == 0 && length >= 8) {
      layout.height = head[1] << 8 | head[2];
      layout.width = head[3] << 8 | head[4];
    } else if (marker == 0xE2 && length >= 16 && layout.mpfHeader == 0 &&
               text.substr(0, 4) == std::string_view("MPF\0", 4)) {
      layout.mpfHeader = pos + 8;
    } else if (marker == 0xE1 && layout.exif == 0 && text.substr(0, 6) == std::string_view("Exif\0\0", 6)) {
      layout.exif = pos + 2;
      layout.exifLength = length;
    } else if (marker == 0xE1 && layout.xmp == 0 && length > 31 && text == "http://n") {
      static constexpr std::string_view kXmp("http://ns.adobe.com/xap/1.0/\0", 29);
      const uint8_t* name = b.Bytes(pos + 4, kXmp.size());
      if (name && std::string_view(reinterpret_cast<const char*>(name), kXmp.size()) == kXmp) {
        layout.xmp = pos + 4 + kXmp.size();
        layout.xmpLength = length - 2 - kXmp.size();
      }
    }
    pos += 2 + length;
    if (marker != 0xDA) continue;
    if (headerOnly) {
      const uint8_t* last = b.Bytes(n - 2, 2);
      return last && last[0] == 0xFF && last[1] == 0xD9 && layout.width > 0 && layout.height > 0;
    }
    // Compressed data: up to the next marker that is no stuffed byte or restart marker.
    for (;;) {
      pos = b.NextFF(pos);
      const uint8_t* next = b.Bytes(pos, 2);
      if (!next) return false;
      if (next[1] == 0x00 || (next[1] >= 0xD0 && next[1] <= 0xD7)) {
        pos += 2;
      } else if (next[1] == 0xFF) {
        ++pos;
      } else {
        break;
      }
    }
  }
}

// ReadJpegLayout on a file. 0 when it is a whole picture, -1 when it is none, else the
// errno value of the failed open.
int ReadJpegFileLayout(const std::string& fileName, TJpegLayout& layout, bool headerOnly) {
  const int fd = fileio::Open(fileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st;
  TByteWindow window(fd, ::fstat(fd, &st) == 0 ? size_t(st.st_size) : 0);
  const bool whole = ReadJpegLayout(window, layout, headerOnly);
  ::close(fd);
  return whole ? 0 : -1;
}

// The entries of the MPF index (attribute, size, offset, two dependants: 16 bytes each)
// at the byte-order mark header; false when it is not a readable index.
bool MpfEntries(const std::string& b, size_t header, size_t& entries, uint32_t& count, bool& little) {
  if (header == 0 || header + 8 > b.size()) return false;
  little = b.compare(header, 4, std::string("II*\0", 4)) == 0;
  if (!little && b.compare(header, 4, std::string("MM\0*", 4)) != 0) return false;
  const size_t ifd = header + Get(b, header + 4, 4, little);
  if (ifd + 2 > b.size() || ifd < header) return false;
  const uint32_t tags = Get(b, ifd, 2, little);
  for (uint32_t t = 0; t < tags && ifd + 2 + 12 * (t + 1) <= b.size(); ++t) {
    const size_t tag = ifd + 2 + 12 * t;
    if (Get(b, tag, 2, little) != 0xB002) continue;
    const uint32_t bytes = Get(b, tag + 4, 4, little);
    entries = header + Get(b, tag + 8, 4, little);
    count = bytes / 16;
    return count > 0 && entries >= header && entries + size_t(count) * 16 <= b.size();
  }
  return false;
}

// Carries the trailer of the original (everything after its first picture) into the turned
// file out, whose MPF index then points at the further pictures where they now lie. The
// number of further pictures the index names (they are carried, not turned).
int CarryTrailer(const std::string& original, const TJpegLayout& from, std::string& out) {
  TJpegLayout to;
  TByteWindow window(out);
  if (!ReadJpegLayout(window, to, false)) return 0;
  out.resize(to.end);
  size_t oldEntries = 0, newEntries = 0;
  uint32_t oldCount = 0, newCount = 0;
  bool oldLittle = false, newLittle = false;
  int further = 0;
  if (MpfEntries(original, from.mpfHeader, oldEntries, oldCount, oldLittle) &&
      MpfEntries(out, to.mpfHeader, newEntries, newCount, newLittle) && newCount == oldCount) {
    for (uint32_t i = 0; i < newCount; ++i) {
      const size_t entry = newEntries + 16 * i;
      const uint32_t offset = Get(original, oldEntries + 16 * i + 8, 4, oldLittle);
      if (offset == 0) {
        // The first picture itself: its size changed.
        Put(out, entry + 4, 4, newLittle, uint32_t(to.end));
        continue;
      }
      ++further;
      const size_t at = from.mpfHeader + offset;
      if (at < from.end || at > original.size()) continue;  // not in the trailer: left alone
      Put(out, entry + 8, 4, newLittle, uint32_t(at - from.end + to.end - to.mpfHeader));
    }
  }
  out.append(original, from.end, std::string::npos);
  return further;
}

// Writes bytes over the file (jpegtran's output, not yet in use) and flushes it.
bool RewriteWorkFile(const std::string& fileName, const std::string& bytes) {
  const int fd = fileio::Open(fileName, O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fileio::WriteAll(fd, bytes.data(), bytes.size()) && fileio::Sync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

// A new work file beside picture for a lossless step, with the picture's permissions and,
// where allowed, its owner; its descriptor (-1, errno set, when none could be made), and
// its name in name.
int NewWorkFile(const std::string& picture, const struct stat& original, std::string& name) {
  name = WorkFileTemplate(picture, ".kivo2lossless-");
  const int fd = fileio::MakeTemp(name, O_CLOEXEC);
  if (fd < 0) return fd;
  if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
    // An ordinary user cannot give a file away; it stays the user's own.
  }
  ::fchmod(fd, (original.st_mode & 07777) | S_IWUSR);
  return fd;
}

// The pixels of a 24-bit bitmap turned or flipped as jpegtran's transform ("-rotate 90",
// "-flip vertical", ...) turns a picture.
void TurnPixels(const TBitmap& from, TBitmap& to, const std::vector<std::string>& transform) {
  const bool rotate = transform[0] == "-rotate";
  const std::string& how = transform[1];
  // A target pixel (x, y) comes from (y, x) when the sides swap, then mirrored.
  const bool transpose = rotate && (how == "90" || how == "270");
  const bool mirrorX = rotate ? how != "90" : how == "horizontal";
  const bool mirrorY = rotate ? how != "270" : how == "vertical";
  const int w = from.Width(), h = from.Height();
  to.SetPixelFormat(pf24bit);
  to.SetSize(transpose ? h : w, transpose ? w : h);
  for (int y = 0; y < to.Height(); ++y) {
    uint8_t* row = to.ScanLine(y);
    for (int x = 0; x < to.Width(); ++x) {
      const int u = transpose ? y : x, v = transpose ? x : y;
      std::memcpy(row + 3 * x, from.ScanLine(mirrorY ? h - 1 - v : v) + 3 * (mirrorX ? w - 1 - u : u), 3);
    }
  }
}

// An Exif thumbnail is a small picture; one that claims more pixels is left as it is.
constexpr int64_t kMaxThumbnailPixels = int64_t(1) << 22;

// The Exif thumbnail of picture turned or flipped as the picture was: by jpegtran, without
// loss and whole (-perfect), its coding as short as it can be (-optimize, also lossless: the
// Exif segment holds at most 64 KiB); where its sides are no whole blocks for that, decoded,
// turned and encoded anew (a thumbnail is a small preview: a second encoding at a high
// quality shows little, while trimmed edges would change what it shows). Empty when it is
// no whole JPEG picture of a thumbnail's size or could not be turned.
std::string TurnedThumbnail(const std::string& program, const std::vector<std::string>& transform,
                            const std::string& thumbnail, const std::string& picture) {
  TByteWindow window(thumbnail);
  TJpegLayout layout;
  if (!ReadJpegLayout(window, layout, false) || int64_t(layout.width) * layout.height > kMaxThumbnailPixels)
    return std::string();
  const bool quarter = transform[1] == "90" || transform[1] == "270";
  // A whole JPEG picture of the turned size.
  auto turned = [&](const std::string& bytes) {
    TByteWindow result(bytes);
    TJpegLayout got;
    return ReadJpegLayout(result, got, false) && got.width == (quarter ? layout.height : layout.width) &&
           got.height == (quarter ? layout.width : layout.height);
  };
  // jpegtran reads it from a work file (stdin stays empty) and writes to its output.
  std::string input = WorkFileTemplate(picture, ".kivo2lossless-"), output, messages;
  if (const int fd = fileio::MakeTemp(input, O_CLOEXEC); fd >= 0) {
    const bool written = fileio::WriteAll(fd, thumbnail.data(), layout.end);
    ::close(fd);
    std::vector<std::string> argv{program, "-perfect", "-optimize", "-copy", "all"};
    argv.insert(argv.end(), transform.begin(), transform.end());
    argv.push_back(input);
    const TProcessResult run =
        written ? RunProcessAndWait(argv, JpegtranTimeOut(int64_t(layout.end)), true,
                                    [] { Application->ProcessMessages(); }, &output, &messages)
                : TProcessResult{};
    fileio::Unlink(input);
    if (run.Outcome == TWaitOutcome::Finished && run.ExitCode == 0 && turned(output)) return output;
  }
  try {
    TMemoryStream stream;
    stream.WriteBuffer(thumbnail.data(), int64_t(layout.end));
    stream.Seek(0, soBeginning);
    TJPEGImage jpeg;
    jpeg.LoadFromStream(stream);
    TBitmap pixels;
    TurnPixels(jpeg.Bitmap(), pixels, transform);
    TJPEGImage encoded;
    encoded.SetCompressionQuality(95);
    encoded.Assign(&pixels);
    stream.Clear();
    encoded.SaveToStream(stream);
    output.assign(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()));
    return turned(output) ? output : std::string();
  } catch (const Exception&) {
    return std::string();
  }
}

// The work file with segment in the place of its Exif segment, written whole into a new
// work file (the bytes before the segment, then the segment, then the rest of the old file
// copied in the kernel where it can be), which takes the old one's place in fileName; the
// old one is removed. False (errno set) when it could not be written: nothing changed then.
bool WriteWithExif(int fd, std::string& fileName, const TJpegLayout& layout, const std::string& segment,
                   const std::function<int(std::string&)>& newWorkFile) {
  std::string name;
  const int out = newWorkFile(name);
  if (out < 0) return false;
  std::string head(layout.exif, '\0');
  const off_t rest = off_t(layout.exif + layout.exifLength);
  struct stat st {};
  errno = EIO;  // a short read says nothing itself
  bool ok = ::fstat(fd, &st) == 0 && ::pread(fd, head.data(), head.size(), 0) == ssize_t(head.size());
  head += segment;
  ok = ok && fileio::WriteAll(out, head.data(), head.size()) && ::lseek(fd, rest, SEEK_SET) >= 0 &&
       CopyBytes(fd, out, int64_t(st.st_size) - rest);
  int err = errno;
  if (::close(out) != 0 && ok) ok = false, err = errno;  // a write the disk refused at the end
  if (!ok) {
    fileio::Unlink(name);
    errno = err;
    return false;
  }
  fileio::Unlink(fileName);
  fileName = name;
  return true;
}

// After a turn or flip, the work file's Exif (and its XMP packet's tiff:Orientation, see
// ResetTurnedXmpOrientation) says that its pixels stand as they are to be shown, gives their size when it is no longer the size before or swaps the sizes it holds
// after a quarter turn of a square picture (see
// ResetTurnedOrientation), and holds its thumbnail turned as they were (by turnThumbnail;
// empty when it could not be, and the thumbnail stays as it was). The bytes that change are
// written where they lie; an Exif segment whose length changed goes into a new work file
// (see WriteWithExif). False (errno set) when the file could not be written.
bool UprightExifInFile(std::string& fileName, const TJpegLayout& layout, const TJpegLayout& original, bool quarter,
                       const std::function<std::string(const std::string&)>& turnThumbnail,
                       const std::function<int(std::string&)>& newWorkFile) {
  if (layout.exif == 0 && layout.xmp == 0) return true;
  const int fd = fileio::Open(fileName, O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  // The bytes of data that differ from before, written where they lie from offset on.
  auto writeChanged = [fd](const std::string& data, const std::string& before, size_t offset) {
    size_t first = 0, last = data.size();
    while (first < last && data[first] == before[first]) ++first;
    while (last > first && data[last - 1] == before[last - 1]) --last;
    return first == last || (::lseek(fd, off_t(offset + first), SEEK_SET) >= 0 &&
                             fileio::WriteAll(fd, data.data() + first, last - first));
  };
  errno = EIO;  // a short read says nothing itself
  bool ok = true;
  if (layout.xmp != 0) {
    // The XMP packet first, in place: a new Exif segment takes it along.
    std::string packet(layout.xmpLength, '\0');
    ok = ::pread(fd, packet.data(), packet.size(), off_t(layout.xmp)) == ssize_t(packet.size());
    const std::string before = packet;
    if (ok) ResetTurnedXmpOrientation(packet);
    ok = ok && writeChanged(packet, before, layout.xmp);
  }
  TSegment segment{std::string(layout.exifLength, '\0'), 0xE1, int32_t(layout.exifLength)};
  const std::string& data = segment.Data;
  ok = ok && (layout.exif == 0 || ::pread(fd, segment.Data.data(), data.size(), off_t(layout.exif)) == ssize_t(data.size()));
  const std::string before = data;
  const bool resized = layout.width != original.width || layout.height != original.height;
  if (ok && layout.exif != 0) {
    ResetTurnedOrientation(segment, resized ? uint32_t(layout.width) : 0, resized ? uint32_t(layout.height) : 0,
                           quarter);
    const std::string thumbnail = ExifThumbnail(segment);
    const std::string turned = thumbnail.empty() ? thumbnail : turnThumbnail(thumbnail);
    if (!turned.empty()) ReplaceExifThumbnail(segment, turned);
  }
  if (ok && data.size() != before.size()) {
    ok = WriteWithExif(fd, fileName, layout, data, newWorkFile);
  } else {
    ok = ok && writeChanged(data, before, layout.exif);
  }
  int err = errno;
  if (::close(fd) != 0 && ok) ok = false, err = errno;
  errno = err;
  return ok;
}

bool SyncFile(const std::string& fileName) {
  const int fd = fileio::Open(fileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fileio::Sync(fd) == 0;
  ::close(fd);
  return ok;
}

// Why jpegtran could not write its output into the folder, as far as the disk tells:
// EROFS on a read-only file system, ENOSPC when less room is left than the picture needs;
// 0 when the disk is not the reason.
int DiskReason(const std::string& folder, int64_t needed) {
  struct statvfs vfs;
  if (::statvfs(folder.c_str(), &vfs) != 0) return 0;
  if (vfs.f_flag & ST_RDONLY) return EROFS;
  return int64_t(vfs.f_bavail) * int64_t(vfs.f_frsize) < needed ? ENOSPC : 0;
}

// Gives the untouched picture the backup's name beside it: a second name of the file, or
// where the file system has none a flushed copy; an old backup is replaced only when
// replace says so, and only once the new one is whole.
bool MakeBackup(const std::string& fileName, const std::string& backup, bool replace) {
  std::string temp = WorkFileTemplate(backup, ".kivo2copy-");
  temp.resize(temp.size() - 6);
  temp += "backup";
  fileio::Unlink(temp);
  if (fileio::Link(fileName, temp) != 0) {
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK && errno != ENOSYS) return false;
    temp = WorkFileTemplate(backup, ".kivo2copy-");
    if (!CopyFileToNew(fileName, temp, true, true, true)) return false;
  }
  if ((replace ? fileio::Rename(temp, backup) : fileio::RenameNoReplace(temp, backup)) == 0) return true;
  fileio::Unlink(temp);
  return false;
}

}  // namespace

// ===========================================================================
// One file
// ===========================================================================
std::string TForm1::JpegtranProgram() const {
  const std::string folder = FindNameNoCase(FProgramDir, "jpegtran");
  if (!folder.empty()) {
    const std::string program = FindNameNoCase(folder, "jpegtran");
    if (!program.empty() && !FindProgramFile(program).empty()) return program;
  }
  return FindProgramFile("jpegtran");
}

void TForm1::DeleteCachedThumb(const std::string& FileName) {
  if (FThumbCacheFolder.empty()) return;
  const std::string thumb = ThumbNailName(FileName);
  if (FileExists(thumb)) fileio::Unlink(thumb);
}

bool TForm1::LosslessTransform(const TLosslessStep& Step, const std::string& FileName) {
  const std::string program = JpegtranProgram();
  if (program.empty()) {
    ShowMessage(_("The file jpegtran.exe is needed for this action") + "\r" + _("But not found in the folder: ") + FProgramDir +
                "jpegtran");
    return false;
  }
  // A listed link stays a link: the picture it points to is turned, in its own folder and
  // with its own backup beside it.
  std::string picture = FileName;
  if (char* real = ::realpath(FileName.c_str(), nullptr)) {
    picture = real;
    std::free(real);
  }
  ClearReadOnly(picture);
  struct stat original {};
  if (::stat(picture.c_str(), &original) != 0 || !S_ISREG(original.st_mode)) {
    const int err = S_ISDIR(original.st_mode) ? EISDIR : original.st_mode != 0 ? EINVAL : errno;
    ShowMessage(Step.FailureText + "\r" + FileName + "\r" + SysErrorMessage(err));
    return false;
  }
  const std::string folder = ExtractFilePath(picture);
  const std::string backup = folder + "backup_" + ExtractFileName(picture);
  bool makeBackup = Step.Backup, replaceBackup = false;
  if (makeBackup && FileExists(backup)) {
    switch (TranslatedMessageDialog(_("Backup file found, overwrite backup file?"), mtConfirmation,
                                    TMsgDlgButtons{mbYes, mbNo, mbCancel}, 0)) {
      case mrCancel:
        return false;
      case mrYes:
        replaceBackup = true;
        break;
      default:
        makeBackup = false;  // the file is transformed without a backup
        break;
    }
  }

  HourGlassCursor();
  DeleteCachedThumb(FileName);
  if (picture != FileName) DeleteCachedThumb(picture);
  if (makeBackup) DeleteCachedThumb(backup);

  // The picture keeps its name and bytes until the end: jpegtran writes the turned picture
  // into a work file beside it, which is checked, given an upright Exif with a turned
  // thumbnail (in a second work file when the Exif's length changes), the picture's trailer
  // (the further pictures of an MPF file, a motion photo's video) and date, and flushed; the
  // backup then gets its name by a second name of the picture (or a copy), and the work file
  // takes the picture's name in one step. The first step that fails gives the reason.
  std::string reason;
  int diskError = 0;  // ENOSPC, EROFS or EDQUOT when the disk is the reason
  auto failed = [&reason](const std::string& why) {
    if (reason.empty()) reason = why;
    return false;
  };
  auto failedErrno = [&](bool ok) {
    if (ok || !reason.empty()) return ok;
    const int err = errno;
    if (err == ENOSPC || err == EROFS || err == EDQUOT) diskError = err;
    return failed(SysErrorMessage(err));
  };
  std::string output;
  const int fd = NewWorkFile(picture, original, output);
  bool done = failedErrno(fd >= 0);
  bool backupMade = false;
  if (fd >= 0) {
    ::close(fd);
    // The picture is walked to the end of its first picture by a thread of its own while
    // jpegtran runs (where no thread can be had, when its verdict is asked); its verdict
    // counts before jpegtran's.
    TJpegLayout layout;
    std::future<int> walk = std::async(std::launch::async | std::launch::deferred, [&picture, &layout] {
      return ReadJpegFileLayout(picture, layout, false);
    });
    std::vector<std::string> argv{program};
    if (Step.Perfect) argv.push_back("-perfect");
    for (const char* word : {"-copy", "all", "-trim"}) argv.push_back(word);
    argv.insert(argv.end(), Step.Transform.begin(), Step.Transform.end());
    argv.insert(argv.end(), {"-outfile", output, picture});
    std::string messages;
    const TProcessResult run = RunProcessAndWait(
        argv, JpegtranTimeOut(original.st_size), true, [] { Application->ProcessMessages(); }, nullptr, &messages);
    const int walked = walk.get();
    if (walked != 0) failed(walked > 0 ? SysErrorMessage(walked) : _("The file is not a whole JPEG picture."));
    TJpegLayout turnedLayout;
    done = walked == 0 && run.Outcome == TWaitOutcome::Finished && run.ExitCode == 0 &&
           ReadJpegFileLayout(output, turnedLayout, true) == 0 &&
           Step.WholeResult(layout.width, layout.height, turnedLayout.width, turnedLayout.height);
    if (!done && walked == 0) {
      // The disk that took no more says so before the work file gives its room back;
      // otherwise jpegtran's own last word is the reason.
      diskError = DiskReason(folder, original.st_size);
      messages = Trim(messages);
      if (diskError != 0)
        failed(SysErrorMessage(diskError));
      else if (!messages.empty())
        failed(messages.substr(messages.rfind('\n') + 1));
    }
    if (done && Step.ResetsOrientation) {
      // The Exif thumbnail is turned as the picture was.
      auto turnThumbnail = [&](const std::string& thumbnail) {
        return TurnedThumbnail(program, Step.Transform, thumbnail, picture);
      };
      auto newWorkFile = [&](std::string& name) { return NewWorkFile(picture, original, name); };
      const bool quarter = Step.Transform[1] == "90" || Step.Transform[1] == "270";
      done = failedErrno(UprightExifInFile(output, turnedLayout, layout, quarter, turnThumbnail, newWorkFile));
    }
    if (done && layout.end < size_t(original.st_size)) {
      // A trailer: both files are read whole, and the original walked again as it is read.
      std::string bytes, turned;
      try {
        bytes = ReadFileBytes(picture);
        turned = ReadFileBytes(output);
      } catch (const Exception&) {
        turned.clear();
      }
      TByteWindow window(bytes);
      TJpegLayout read;
      done = !turned.empty() && ReadJpegLayout(window, read, false);
      if (done) FLosslessFurtherImages += CarryTrailer(bytes, read, turned);
      done = done && failedErrno(RewriteWorkFile(output, turned));
    }
    done = done && failedErrno(CopyFileDate(picture, output) == 0 && SyncFile(output));
    if (done && makeBackup) done = backupMade = failedErrno(MakeBackup(picture, backup, replaceBackup));
    done = done && failedErrno(fileio::Rename(output, picture) == 0);
    if (done) {
      fileio::SyncFolder(ExtractFileDir(picture));
    } else {
      fileio::Unlink(output);
      // A backup made for a turn that did not happen is only a second copy of the picture.
      if (backupMade && !replaceBackup) fileio::Unlink(backup);
      backupMade = false;
    }
  }

  if (!done) {
    // A run that ended without a whole picture and without a word of its own.
    if (reason.empty()) reason = _("jpegtran made no whole picture.");
    const std::string text = Step.FailureText + "\r" + FileName + "\r" + reason;
    // A full or read-only disk ends the batch: it says so once, for all its files.
    if (diskError != 0 && ActionRunning)
      FLosslessStopText = text;
    else
      ShowMessage(text);
  } else {
    // The backup shows in the list of its folder.
    if (backupMade && !TreeView1->Visible() && !PanelCustomLists->Visible() && SameFolderPath(folder, FLastPath) &&
        ListBox1->Items()->IndexOf(ExtractFileName(backup)) < 0)
      ListBox1->Items()->Add(ExtractFileName(backup));
    if (Step.ShowResult) OpenThePicture(FileName);
  }
  RestoreCursor();
  return done;
}

bool TForm1::RotateJPG(const std::string& Value, const std::string& Option, const std::string& FileName) {
  TLosslessStep step;
  step.Transform = {"-" + Option, Value};
  step.Backup = M_Losslesbackup->Checked();
  step.Perfect = M_JPGTRANPerfect->Checked();
  step.ShowResult = !M_Fastbatchrotate->Checked();
  step.FailureText = _("Jpegtran message: Couldn't crop or rotate the file");
  // A quarter turn swaps the sides, and -trim may drop the edge blocks that do not fill
  // a whole MCU (at most 31 pixels).
  const bool quarter = Value == "90" || Value == "270";
  step.ResetsOrientation = true;
  step.WholeResult = [quarter](int width, int height, int outWidth, int outHeight) {
    if (quarter) std::swap(width, height);
    return Trimmed(outWidth, width) && Trimmed(outHeight, height);
  };
  return LosslessTransform(step, FileName);
}

// ===========================================================================
// The batch
// ===========================================================================
void TForm1::LosslessBatch(const std::function<void(const std::string&)>& OneFile, bool OpenLast, bool ReportEmpty) {
  if (ActionRunning) return;
  FFileAction = 50;
  FillWorkFileList(false);
  if (ReportEmpty && FWorkFiles->Count() == 0) ShowMessage(_("No jpg files found!"));
  StopRequested = false;
  ActionRunning = true;
  // The entry of a file: found by its full path, whatever the list shows (bare names of
  // a folder, full paths of the paperclip, a show or a search); -1 when it is gone.
  auto entryOf = [this](const std::string& file) {
    for (int i = 0; i < ListBox1->Count(); ++i)
      if (ListEntryPath(i) == file) return i;
    return -1;
  };
  // The files are taken as they are now: the steps handle messages.
  const std::vector<std::string> files = FWorkFiles->ToVector();
  const int count = int(files.size());
  FLosslessFurtherImages = 0;
  FLosslessStopText.clear();
  std::set<std::string> folders;
  for (int n = 0; n < count; ++n) {
    const std::string& file = files[size_t(n)];
    // What a crashed run left in the folder goes first (a picture it took away comes back).
    if (folders.insert(ExtractFileDir(file)).second) ClearLeftovers(ExtractFileDir(file));
    int index = entryOf(file);
    if (index >= 0) {
      ListBox1->SetItemIndex(index);
      ListBox1->SetSelected(index, true);
    }
    Application->ProcessMessages();
    if (StopRequested || Application->Terminated()) break;
    OneFile(file);
    if (!FLosslessStopText.empty()) {
      // The disk is full or read-only: the files after this one are left as they are.
      const int left = count - n - 1;
      if (left > 0)
        FLosslessStopText += "\r" + Format(_n("%d more file was left as it was.", "%d more files were left as they were.",
                                               static_cast<unsigned long>(left)),
                                            {left});
      break;
    }
    // Messages ran meanwhile: the list may have changed.
    index = entryOf(file);
    if (n == count - 1) {
      if (OpenLast && ListBox1->ItemIndex() >= 0) OpenThePicture(ListEntryPath(ListBox1->ItemIndex()));
    } else if (index >= 0) {
      ListBox1->SetSelected(index, false);
    }
    if (index >= 0) UpdateThumbnail(index, file);
  }
  FWorkFiles->Clear();
  FFileAction = 10;
  const bool stopped = StopRequested;
  StopRequested = false;
  ActionRunning = false;
  if (Application->Terminated()) return;
  if (FLosslessFurtherImages > 0)
    ShowMessage(Format(_n("%d further picture in the files (MPF) was kept as it was, not changed with the main "
                          "picture.",
                          "%d further pictures in the files (MPF) were kept as they were, not changed with the main "
                          "picture.",
                          FLosslessFurtherImages),
                       {FLosslessFurtherImages}));
  if (!FLosslessStopText.empty()) ShowMessage(FLosslessStopText);
  if (stopped) ShowMessage(_("Action aborted by user"));
}

void TForm1::RotateInitStart(const std::string& Value, const std::string& Option) {
  LosslessBatch([this, &Value, &Option](const std::string& file) { RotateJPG(Value, Option, file); },
                M_Fastbatchrotate->Checked(), false);
}

void TForm1::rotateSelected(const char* Value, const char* Option) {
  RotateInitStart(Value, Option);
  if (PanelThumbHolder->Visible()) FillTheTumbsNow();
}

void TForm1::RotateRight2Click(TObject* /*Sender*/) { rotateSelected("90", "rotate"); }

void TForm1::RotateLeft2Click(TObject* /*Sender*/) { rotateSelected("270", "rotate"); }

void TForm1::UpsideDown2Click(TObject* /*Sender*/) { rotateSelected("180", "rotate"); }

void TForm1::FlipHorizontally2Click(TObject* /*Sender*/) { rotateSelected("horizontal", "flip"); }

void TForm1::FlipVertically2Click(TObject* /*Sender*/) { rotateSelected("vertical", "flip"); }
