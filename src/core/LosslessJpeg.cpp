// A JPEG file's own bytes around a lossless step of jpegtran: layouts, work files, the Exif
// and its thumbnail after a turn, flip or crop, and the trailer.
#include "core/LosslessJpeg.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string_view>

#include "core/Diversen.h"
#include "formats/Resample.h"
#include "metadata/ExifData.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Jpeg.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {

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
  size_t exifLast = 0;  // the length of the last Exif segment found
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
    const uint8_t* head = b.Bytes(pos + 4, std::min<size_t>(length - 2, 10));
    if (!head) return false;
    const std::string_view data(reinterpret_cast<const char*>(head), std::min<size_t>(length - 2, 10));
    const std::string_view text = data.substr(0, 8);
    if (IsFrameHeader(marker) && layout.width == 0 && length >= 8) {
      layout.height = head[1] << 8 | head[2];
      layout.width = head[3] << 8 | head[4];
    } else if (marker == 0xE2 && length >= 16 && layout.mpfHeader == 0 &&
               text.substr(0, 4) == std::string_view("MPF\0", 4)) {
      layout.mpfHeader = pos + 8;
    } else if (marker == 0xE1 && text.substr(0, 6) == std::string_view("Exif\0\0", 6) &&
               (layout.exif == 0 || (pos == layout.exifEnd && ExifSegmentGoesOn(exifLast, data)))) {
      // The Exif segment, or one that goes on with its data.
      if (layout.exif == 0) layout.exif = pos + 2, layout.exifLength = length;
      layout.exifEnd = pos + 2 + length;
      exifLast = length;
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

// Carries the trailer of the original (everything after its first picture) into the changed
// file out, whose MPF index then points at the further pictures where they now lie. The
// number of further pictures the index names (they are carried, not changed).
int TrailerCarried(const std::string& original, const TJpegLayout& from, std::string& out) {
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

// The work file with run in the place of its Exif segments (from the first one's length
// bytes to runEnd), written whole into a new work file (the bytes before them, then run,
// then the rest of the old file copied in the kernel where it can be), which takes the old
// one's place in fileName; the old one is removed. False (errno set) when it could not be
// written: nothing changed then.
bool WriteWithExif(int fd, std::string& fileName, const TJpegLayout& layout, size_t runEnd, const std::string& run,
                   const std::function<int(std::string&)>& newWorkFile) {
  std::string name;
  const int out = newWorkFile(name);
  if (out < 0) return false;
  std::string head(layout.exif, '\0');
  const off_t rest = off_t(runEnd);
  struct stat st {};
  errno = EIO;  // a short read says nothing itself
  bool ok = ::fstat(fd, &st) == 0 && ::pread(fd, head.data(), head.size(), 0) == ssize_t(head.size());
  head += run;
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

// An Exif thumbnail is a small picture; one that claims more pixels is left as it is.
constexpr int64_t kMaxThumbnailPixels = int64_t(1) << 22;

// Exif spread over more bytes than this is no Exif of a photo: only its first segment is
// worked on (read whole into memory, then joined and split again).
constexpr size_t kMaxSpreadExif = size_t(64) << 20;

bool IsCrop(const std::vector<std::string>& transform) { return transform[0] == "-crop"; }

bool IsQuarterTurn(const std::vector<std::string>& transform) {
  return transform[0] == "-rotate" && (transform[1] == "90" || transform[1] == "270");
}

// A whole JPEG picture of width x height.
bool IsJpegOfSize(const std::string& bytes, int width, int height) {
  TByteWindow window(bytes);
  TJpegLayout layout;
  return ReadJpegLayout(window, layout, false) && layout.width == width && layout.height == height;
}

// The pixels of a 24-bit bitmap turned or flipped as jpegtran's transform ("-rotate 90",
// "-flip vertical", ...) turns a picture.
void TurnPixels(const TBitmap& from, TBitmap& to, const std::vector<std::string>& transform) {
  const bool rotate = transform[0] == "-rotate";
  const std::string& how = transform[1];
  // A target pixel (x, y) comes from (y, x) when the sides swap, then mirrored.
  const bool transpose = IsQuarterTurn(transform);
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

// The part of a thumbnail of width x height that shows what a crop kept of the picture.
// The picture stands in its thumbnail fitted and centred (a camera's thumbnail of another
// shape than the picture holds it between bars), and is cut there in its own proportions.
// jpegtran moves a crop's corner up and left to its block grid and keeps the far corner,
// so the output's corner lies its size back from the far corner asked for. Empty when the
// crop cannot be read.
TRect ThumbnailCrop(const TLosslessRun& run, int width, int height) {
  int cropWidth = 0, cropHeight = 0, x = 0, y = 0;
  const TJpegLayout& before = run.Before;
  const TJpegLayout& after = run.After;
  if (std::sscanf(run.Transform[1].c_str(), "%dx%d+%d+%d", &cropWidth, &cropHeight, &x, &y) != 4) return TRect();
  x = std::clamp(x + cropWidth - after.width, 0, std::max(0, before.width - after.width));
  y = std::clamp(y + cropHeight - after.height, 0, std::max(0, before.height - after.height));
  const double scale = std::min(double(width) / before.width, double(height) / before.height);
  const double left = (width - before.width * scale) / 2, top = (height - before.height * scale) / 2;
  auto at = [scale](double origin, int pixels, int side) {
    return std::clamp(int(std::lround(origin + pixels * scale)), 0, side);
  };
  TRect r(at(left, x, width), at(top, y, height), at(left, x + after.width, width),
          at(top, y + after.height, height));
  // At least one pixel each way.
  if (r.Right <= r.Left) r.Left = std::max(0, (r.Right = std::min(width, r.Left + 1)) - 1);
  if (r.Bottom <= r.Top) r.Top = std::max(0, (r.Bottom = std::min(height, r.Top + 1)) - 1);
  return r;
}

// The pixels of a 24-bit bitmap inside rect.
void CropPixels(const TBitmap& from, TBitmap& to, const TRect& rect) {
  to.SetPixelFormat(pf24bit);
  to.SetSize(rect.Width(), rect.Height());
  for (int y = 0; y < rect.Height(); ++y)
    std::memcpy(to.ScanLine(y), from.ScanLine(rect.Top + y) + 3 * rect.Left, size_t(3) * size_t(rect.Width()));
}

// The thumbnail turned or flipped by jpegtran, without loss and whole (-perfect), its coding
// as short as it can be (-optimize, also lossless); empty when its sides are no whole blocks
// for that or it could not be turned. jpegtran reads it from a work file (stdin stays empty).
std::string JpegtranThumbnail(const TLosslessRun& run, const std::string& thumbnail, const TJpegLayout& layout) {
  std::string input = WorkFileTemplate(run.Picture, ".kivo2lossless-"), output, messages;
  const int fd = fileio::MakeTemp(input, O_CLOEXEC);
  if (fd < 0) return std::string();
  const bool written = fileio::WriteAll(fd, thumbnail.data(), layout.end);
  ::close(fd);
  std::vector<std::string> argv{run.Program, "-perfect", "-optimize", "-copy", "all"};
  argv.insert(argv.end(), run.Transform.begin(), run.Transform.end());
  argv.push_back(input);
  const TProcessResult result =
      written ? RunProcessAndWait(argv, JpegtranTimeOut(int64_t(layout.end)), true, run.Pump, &output, &messages)
              : TProcessResult{};
  fileio::Unlink(input);
  return result.Outcome == TWaitOutcome::Finished && result.ExitCode == 0 ? output : std::string();
}

// The pixels as a JPEG picture of the quality.
std::string Encoded(TBitmap& pixels, int quality) {
  TJPEGImage encoded;
  encoded.SetCompressionQuality(quality);
  encoded.Assign(&pixels);
  TMemoryStream stream;
  encoded.SaveToStream(stream);
  return std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()));
}

// The segment's thumbnail changed as the picture was, in the first form that fits the
// segment: jpegtran's lossless turn, else the turned or cropped pixels encoded anew - at
// its size at a high quality (a thumbnail is a small preview: a second encoding shows
// little, while trimmed edges would change what it shows), then at lower qualities, then
// at the sizes thumbnails usually have. None fits: the thumbnail is taken out (for Exif
// joined from several segments with its bytes, where they end the data). One that is no
// whole JPEG picture of a thumbnail's size stays as it was.
void FitThumbnail(TSegment& segment, const TLosslessRun& run, bool spread) {
  const int64_t maxLength = spread ? int64_t(kMaxSpreadExif) : 65535;
  const std::string thumbnail = ExifThumbnail(segment);
  TByteWindow window(thumbnail);
  TJpegLayout layout;
  if (thumbnail.empty() || !ReadJpegLayout(window, layout, false) ||
      int64_t(layout.width) * layout.height > kMaxThumbnailPixels)
    return;
  const bool crop = IsCrop(run.Transform), quarter = IsQuarterTurn(run.Transform);
  if (!crop) {
    const std::string turned = JpegtranThumbnail(run, thumbnail, layout);
    if (IsJpegOfSize(turned, quarter ? layout.height : layout.width, quarter ? layout.width : layout.height) &&
        ReplaceExifThumbnail(segment, turned, maxLength))
      return;
  }
  TBitmap pixels;
  try {
    TMemoryStream stream;
    stream.WriteBuffer(thumbnail.data(), int64_t(layout.end));
    stream.Seek(0, soBeginning);
    TJPEGImage jpeg;
    jpeg.LoadFromStream(stream);
    TBitmap decoded;
    decoded.Assign(&jpeg.Bitmap());
    decoded.SetPixelFormat(pf24bit);
    const TRect cut = crop ? ThumbnailCrop(run, decoded.Width(), decoded.Height()) : TRect();
    if (crop && cut.Width() <= 0) return;
    if (crop)
      CropPixels(decoded, pixels, cut);
    else
      TurnPixels(decoded, pixels, run.Transform);
    const int longSide = std::max(pixels.Width(), pixels.Height());
    const int sides[] = {longSide, 160, 80};
    for (size_t i = 0; i < std::size(sides); ++i) {
      const int side = sides[i];
      if (i > 0 && side >= longSide) continue;
      TBitmap sized;
      TBitmap* source = &pixels;
      if (side < longSide) {
        const double scale = double(side) / longSide;
        Stretch(uint32_t(std::max(1L, std::lround(pixels.Width() * scale))),
                uint32_t(std::max(1L, std::lround(pixels.Height() * scale))), sfTriangle, 0, pixels, sized);
        source = &sized;
      }
      for (const int quality : {95, 90, 80, 70, 60}) {
        const std::string encoded = Encoded(*source, quality);
        if (IsJpegOfSize(encoded, source->Width(), source->Height()) &&
            ReplaceExifThumbnail(segment, encoded, maxLength))
          return;
      }
    }
  } catch (const Exception&) {
  }
  RemoveExifThumbnail(segment, spread);
}

}  // namespace

int ReadJpegFileLayout(const std::string& fileName, TJpegLayout& layout, bool headerOnly) {
  const int fd = fileio::Open(fileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st;
  TByteWindow window(fd, ::fstat(fd, &st) == 0 ? size_t(st.st_size) : 0);
  const bool whole = ReadJpegLayout(window, layout, headerOnly);
  ::close(fd);
  return whole ? 0 : -1;
}

int JpegtranTimeOut(int64_t fileSize) {
  const int64_t seconds = 120 + fileSize / (int64_t(1) << 20) * 4;
  return int(std::min<int64_t>(seconds, 3600));
}

std::string JpegtranReason(const std::string& messages) {
  // Its last known word counts. A line reads "program: text" or just "text".
  std::string reason;
  for (size_t at = 0; at < messages.size();) {
    const size_t end = std::min(messages.find('\n', at), messages.size());
    const std::string_view text(messages.data() + at, end - at);
    at = end + 1;
    auto says = [&text](std::string_view words) { return text.find(words) != std::string_view::npos; };
    if (says("transformation is not perfect"))
      reason = _("The picture's size does not allow this change without loss.");
    else if (says("Not a JPEG file") || says("Premature end of JPEG file") || says("Empty input file") ||
             says("Corrupt JPEG data") || says("Bogus marker length") || says("Invalid JPEG file structure"))
      reason = _("The file is not a whole JPEG picture.");
  }
  return reason;
}

bool FitExifToPicture(const TLosslessRun& run, std::string& output) {
  const TJpegLayout& layout = run.After;
  const bool crop = IsCrop(run.Transform);
  if (layout.exif == 0 && (layout.xmp == 0 || crop)) return true;
  const int fd = fileio::Open(output, O_RDWR | O_CLOEXEC);
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
  if (layout.xmp != 0 && !crop) {
    // The XMP packet first, in place: a new Exif segment takes it along.
    std::string packet(layout.xmpLength, '\0');
    ok = ::pread(fd, packet.data(), packet.size(), off_t(layout.xmp)) == ssize_t(packet.size());
    const std::string before = packet;
    if (ok) ResetTurnedXmpOrientation(packet);
    ok = ok && writeChanged(packet, before, layout.xmp);
  }
  // Exif that its writer spread over several segments (a thumbnail larger than one segment
  // holds) is read as a reader that joins them reads it, changed joined, and written back
  // spread as the writer spread it: each segment as long as it was, and what is longer or
  // shorter at the end in segments of the writer's own length. So such a thumbnail is turned
  // without loss at its size, or taken out together with the segments that held only it;
  // it is not made small enough for one segment, which would give the user a lesser
  // thumbnail than the writer chose and change the Exif's layout more than the turn needs.
  // A reader that does not join finds in the first segment what it found before, but for
  // the entries that change.
  const bool whole = layout.exifEnd - layout.exif <= kMaxSpreadExif;
  const size_t runEnd = whole ? layout.exifEnd : layout.exif + layout.exifLength;
  std::string before(runEnd - layout.exif, '\0');
  ok = ok && ::pread(fd, before.data(), before.size(), off_t(layout.exif)) == ssize_t(before.size());
  std::string data = before;
  TSegment segment;
  std::vector<size_t> parts;
  if (ok && layout.exif != 0 && !JoinExifSegments(before, segment, parts)) {
    errno = EIO;  // the segments are no longer what the walk found
    ok = false;
  }
  if (ok && layout.exif != 0) {
    const bool resized = layout.width != run.Before.width || layout.height != run.Before.height;
    if (crop)
      SetExifPixelSize(segment, uint32_t(layout.width), uint32_t(layout.height));
    else
      ResetTurnedOrientation(segment, resized ? uint32_t(layout.width) : 0, resized ? uint32_t(layout.height) : 0,
                             IsQuarterTurn(run.Transform));
    FitThumbnail(segment, run, parts.size() > 1);
    data = SplitExifSegment(segment, parts);
  }
  if (ok && data.size() != before.size()) {
    ok = WriteWithExif(fd, output, layout, runEnd, data, [&run](std::string& name) {
      return NewWorkFile(run.Picture, run.Original, name);
    });
  } else {
    ok = ok && writeChanged(data, before, layout.exif);
  }
  int err = errno;
  if (::close(fd) != 0 && ok) ok = false, err = errno;
  errno = err;
  return ok;
}

bool CarryTrailer(const TLosslessRun& run, const std::string& output, int& further) {
  if (run.Before.end >= size_t(run.Original.st_size)) return true;
  // Both files are read whole, and the original walked again as it is read.
  std::string bytes, changed;
  try {
    bytes = ReadFileBytes(run.Picture);
    changed = ReadFileBytes(output);
  } catch (const Exception&) {
    errno = EIO;
    return false;
  }
  TByteWindow window(bytes);
  TJpegLayout read;
  if (changed.empty() || !ReadJpegLayout(window, read, false)) {
    errno = EIO;
    return false;
  }
  further += TrailerCarried(bytes, read, changed);
  return RewriteWorkFile(output, changed);
}

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

int DiskReason(const std::string& folder, int64_t needed) {
  struct statvfs vfs;
  if (::statvfs(folder.c_str(), &vfs) != 0) return 0;
  if (vfs.f_flag & ST_RDONLY) return EROFS;
  return int64_t(vfs.f_bavail) * int64_t(vfs.f_frsize) < needed ? ENOSPC : 0;
}

bool SyncFile(const std::string& fileName) {
  const int fd = fileio::Open(fileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fileio::Sync(fd) == 0;
  ::close(fd);
  return ok;
}

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

